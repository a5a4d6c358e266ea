#include "ui/start_form.h"

#include <QLabel>
#include <QPixmap>

#include "ui/centre_form.h"
#include "ui/twips.h"

namespace orvex {

StartForm::StartForm(const QString& title, const QString& iconPath)
    : QWidget(nullptr, Qt::Window), picture_(new QLabel(this)), label_(new QLabel(this)) {
  setObjectName("StartForm");
  picture_->setObjectName("Picture1");
  label_->setObjectName("StartLabel");
  auto px = [this](double twips) { return TwipsToPixels(this, twips); };
  setFixedSize(px(2325), px(810));
  picture_->setGeometry(px(240), px(120), px(495), px(495));
  label_->setGeometry(px(840), px(240), px(1335), px(240));
  label_->setText("Starting up...");
  QPixmap icon;
  if (!iconPath.isEmpty() && icon.load(iconPath))
    picture_->setPixmap(
        icon.scaled(picture_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  setWindowTitle(title);
  setCursor(Qt::WaitCursor);
  CentreForm(this);
}

}  // namespace orvex
