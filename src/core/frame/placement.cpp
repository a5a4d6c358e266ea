#include "core/frame/placement.h"

#include <algorithm>

#include "base/numbers.h"

namespace orvex {

Point CentredPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
  auto centre = [](int screen, int window) {
    const auto v = RoundHalfEven((screen - window) / 2.0, INT32_MIN, INT32_MAX).value_or(0);
    return v < 0 ? 0 : static_cast<int>(v);
  };
  return {centre(screenWidth, windowWidth), centre(screenHeight, windowHeight)};
}

Rect KeptOnScreen(const Rect& window, const Rect& area) {
  Rect kept = window;
  kept.width = std::min(window.width, area.width);
  kept.height = std::min(window.height, area.height);
  kept.x = std::clamp(window.x, area.x, area.x + area.width - kept.width);
  kept.y = std::clamp(window.y, area.y, area.y + area.height - kept.height);
  return kept;
}

PlacementResult UpdatePlacement(EnvSettings& s, WindowState state, const TwipsRect& rect) {
  bool changed = false;
  switch (state) {
    case WindowState::Minimized:
      s.PacketState = 0;
      return PlacementResult::Changed;
    case WindowState::Maximized:
      if (s.PacketState == 2) return PlacementResult::Unchanged;
      s.PacketState = 2;
      return PlacementResult::Changed;
    case WindowState::Normal:
      break;
  }
  if (s.PacketState != 0) changed = true;
  s.PacketState = 0;
  // Compare whole twips: at a dpi other than 96 a pixel is a fraction of a
  // twip count, and an unmoved window must not count as moved.
  const auto top = RoundHalfEven(rect.top, INT32_MIN, INT32_MAX);
  const auto left = RoundHalfEven(rect.left, INT32_MIN, INT32_MAX);
  const auto width = RoundHalfEven(rect.width, INT32_MIN, INT32_MAX);
  const auto height = RoundHalfEven(rect.height, INT32_MIN, INT32_MAX);
  if (!top || !left || !width || !height) return PlacementResult::OutOfRange;
  if (*top != s.PacketTop || *left != s.PacketLeft || *width != s.PacketWidth ||
      *height != s.PacketHeight) {
    s.PacketTop = static_cast<int32_t>(*top);
    s.PacketLeft = static_cast<int32_t>(*left);
    s.PacketWidth = static_cast<int32_t>(*width);
    s.PacketHeight = static_cast<int32_t>(*height);
    changed = true;
  }
  return changed ? PlacementResult::Changed : PlacementResult::Unchanged;
}

double TwipsPerPixel(double dpi) {
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

}  // namespace orvex
