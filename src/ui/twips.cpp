#include "ui/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

#include "core/frame/placement.h"

namespace orvex {

double TwipsPerPixelOf(const QWidget* widget) {
  const QScreen* screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
  return TwipsPerPixel(screen ? screen->logicalDotsPerInch() : 96.0);
}

int TwipsToPixels(const QWidget* widget, double twips) {
  return static_cast<int>(std::lround(twips / TwipsPerPixelOf(widget)));
}

}  // namespace orvex
