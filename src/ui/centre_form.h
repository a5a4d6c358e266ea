#pragma once

class QWidget;

namespace orvex {

// Moves a window to the centre of its screen (left and top never negative).
void CentreForm(QWidget* window);
// Keeps a window whole on the screen it is placed on.
void KeepOnScreen(QWidget* window);
// Shrinks a window to what its screen has room for, then centres it.
void FitAndCentre(QWidget* window);

}  // namespace orvex
