// Window placement rules that need no display: centring and the placement
// saved at shut-down.
#pragma once

#include <cstdint>
#include <optional>

#include "core/config/env_settings.h"

namespace orvex {

struct Point {
  int x = 0;
  int y = 0;
};

// Top-left corner that centres a window on the screen, never negative.
Point CentredPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight);

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

// A window placed at window, kept whole on a screen's free area: shrunk to
// fit where it must, then moved in (a placement saved at another scale or
// on a larger screen would put the line and buttons out of sight).
Rect KeptOnScreen(const Rect& window, const Rect& area);

enum class WindowState { Normal = 0, Minimized = 1, Maximized = 2 };

// A window's placement in twips, unrounded.
struct TwipsRect {
  double top = 0, left = 0, width = 0, height = 0;
};

enum class PlacementResult { Unchanged, Changed, OutOfRange };

// Folds the window's state and placement into the settings: a normal window
// stores where it is, a maximized one keeps the last normal placement, a
// minimized one is saved as normal at the last normal placement.
PlacementResult UpdatePlacement(EnvSettings& settings, WindowState state, const TwipsRect& rect);

// Twips per pixel at a screen's logical dots per inch (15 at 96 dpi).
double TwipsPerPixel(double dpi);

}  // namespace orvex
