#include "ui/centre_form.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "core/frame/placement.h"

namespace orvex {

namespace {

// The screen a window is on, else the primary one; null without any.
const QScreen* ScreenOf(const QWidget* window) {
  return window->screen() ? window->screen() : QGuiApplication::primaryScreen();
}

}  // namespace

void CentreForm(QWidget* window) {
  const QScreen* screen = ScreenOf(window);
  if (!screen) return;
  const QRect area = screen->geometry();
  const QSize size = window->frameGeometry().size();
  const Point p = CentredPosition(area.width(), area.height(), size.width(), size.height());
  window->move(area.x() + p.x, area.y() + p.y);
}

void FitAndCentre(QWidget* window) {
  if (const QScreen* screen = ScreenOf(window)) {
    // The frame's own size above the window's: a title bar, borders.
    const QSize frame = window->frameGeometry().size() - window->size();
    const QSize room = screen->availableGeometry().size() - frame;
    window->resize(window->size().boundedTo(room));
  }
  CentreForm(window);
}

void KeepOnScreen(QWidget* window) {
  const QRect placed = window->geometry();
  const QScreen* screen = QGuiApplication::screenAt(placed.center());
  if (!screen) screen = ScreenOf(window);
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const Rect kept = KeptOnScreen({placed.x(), placed.y(), placed.width(), placed.height()},
                                 {area.x(), area.y(), area.width(), area.height()});
  window->move(kept.x, kept.y);
  window->resize(kept.width, kept.height);
}

}  // namespace orvex
