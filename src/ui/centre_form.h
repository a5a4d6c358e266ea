#pragma once

class QWidget;

namespace orvex {

// Moves a window to the centre of its screen (left and top never negative).
void CentreForm(QWidget* window);

}  // namespace orvex
