// Twips (1/1440 inch) to and from pixels of the screen a widget is on.
#pragma once

class QWidget;

namespace orvex {

double TwipsPerPixelOf(const QWidget* widget);
int TwipsToPixels(const QWidget* widget, double twips);

}  // namespace orvex
