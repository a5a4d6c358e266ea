// Captions of the eight message menu items. The environment file sets them
// while it is read, before the packet window exists; the window applies them
// when it opens and follows later changes through the listener.
#pragma once

#include <array>
#include <functional>

#include "app/text.h"

namespace orvex {

class MessageMenuCaptions {
 public:
  // "&n: " and the message trimmed, cut to 20 characters plus "...".
  // Numbers outside 1 to 8 are ignored.
  void SetMessageMenuCaption(int n, const Text& message);
  // Empty until set.
  const Text& Caption(int n) const;
  void SetListener(std::function<void(int n, const Text& caption)> listener) {
    listener_ = std::move(listener);
  }

 private:
  std::array<Text, 8> captions_;
  std::function<void(int, const Text&)> listener_;
};

}  // namespace orvex
