#include "core/frame/menu_captions.h"

namespace orvex {

void MessageMenuCaptions::SetMessageMenuCaption(int n, const Text& message) {
  if (n < 1 || n > 8) return;
  Text shown = TrimBlanks(message);
  if (shown.size() > 20) shown = CutText(shown, 20) + "...";
  Text& caption = captions_[static_cast<size_t>(n - 1)];
  caption = Text("&").append(std::to_string(n)).append(": ").append(shown);
  if (listener_) listener_->CaptionChanged(n, caption);
}

const Text& MessageMenuCaptions::Caption(int n) const {
  static const Text kNone;
  return n < 1 || n > 8 ? kNone : captions_[static_cast<size_t>(n - 1)];
}

}  // namespace orvex
