#include "ui/prompt.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "base/message.h"
#include "ui/centre_form.h"
#include "ui/qt_text.h"
#include "ui/twips.h"

namespace orvex {

Prompt::Prompt(const Text& title, const Text& label, const Text& text, MessageSink& sink,
               QWidget* parent, PromptCheck check)
    : QDialog(parent),
      sink_(sink),
      check_(std::move(check)),
      label_(new QLabel(ToQString(label), this)),
      text_(new QLineEdit(ToQString(text), this)),
      ok_(new QPushButton("&OK", this)),
      cancel_(new QPushButton("&Cancel", this)) {
  setObjectName("Prompt");
  label_->setObjectName("PromptLabel");
  text_->setObjectName("PromptText");
  ok_->setObjectName("OKButton");
  cancel_->setObjectName("Cancel");
  setWindowTitle(ToQString(" " + title));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  auto px = [this](double twips) { return TwipsToPixels(this, twips); };
  // The design is in twips; buttons and the text box get at least the room
  // their font needs, so nothing is clipped at larger font sizes.
  const int lineHeight = std::max(px(285), text_->sizeHint().height());
  const int buttonHeight = std::max(px(375), ok_->sizeHint().height());
  setFixedSize(px(3390), std::max(px(1485), px(840) + buttonHeight + px(270)));
  label_->setGeometry(px(120), px(285), px(735), px(255));
  text_->setGeometry(px(960), px(240), px(2175), lineHeight);
  ok_->setGeometry(px(420), px(840), px(1095), buttonHeight);
  cancel_->setGeometry(px(1860), px(840), px(1095), buttonHeight);
  text_->setMaxLength(32767);
  text_->setSelection(0, std::min<int>(999, text_->text().size()));
  text_->setFocus();
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &Prompt::Ok);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  CentreForm(this);
}

void Prompt::Ok() {
  const Text typed = FromQString(text_->text());
  if (check_.accepts)
    if (const Result accepted = check_.accepts(typed); !accepted.ok()) {
      ShowMessage(sink_, accepted.text(), {}, check_.title);
      return;  // the dialog stays open with the text as typed
    }
  answer_ = TrimBlanks(typed);
  accept();
}

bool ShowPrompt(const Text& title, const Text& label, Text* text, MessageSink& sink,
                QWidget* parent, const PromptCheck& check) {
  Prompt prompt(title, label, *text, sink, parent, check);
  const bool ok = prompt.exec() == QDialog::Accepted;
  *text = ok ? prompt.Answer() : Text();
  if (parent) parent->update();
  return ok;
}

}  // namespace orvex
