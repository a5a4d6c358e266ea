#include "packet/pkt_form.h"

#include <QCloseEvent>
#include <QMenuBar>

#include "app/centre_form.h"
#include "app/twips.h"

namespace orvex {

PktForm::PktForm() {
  setObjectName("PktForm");
  setWindowTitle(" Orvex");
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("MenuFile");
  QAction* exit = file->addAction("E&xit");
  exit->setObjectName("MenuExit");
  connect(exit, &QAction::triggered, this, [this] { close(); });
}

void PktForm::RestorePlacement(const EnvSettings& s) {
  auto px = [this](double twips) { return TwipsToPixels(this, twips); };
  // Top and left place the frame, width and height size the client area:
  // the pair Qt restores without drifting by the frame's size each run.
  if (s.PacketTop < 0) {
    resize(px(7350), px(1200));
    CentreForm(this);
  } else {
    move(px(s.PacketLeft), px(s.PacketTop));
    resize(px(s.PacketWidth), px(s.PacketHeight));
  }
  maximize_ = s.PacketState == 2;
}

void PktForm::ShowRestored() {
  if (maximize_)
    showMaximized();
  else
    show();
}

WindowState PktForm::State() const {
  if (isMinimized()) return WindowState::Minimized;
  if (isMaximized()) return WindowState::Maximized;
  return WindowState::Normal;
}

TwipsRect PktForm::PlacementTwips() const {
  const double tpp = TwipsPerPixelOf(this);
  return {y() * tpp, x() * tpp, width() * tpp, height() * tpp};
}

void PktForm::closeEvent(QCloseEvent* event) {
  event->accept();
  if (exitHandler_) exitHandler_();
}

}  // namespace orvex
