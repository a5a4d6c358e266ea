// Captions of the eight message menu items. The environment file sets them
// while it is read, before the packet window exists; the window applies them
// when it opens and follows later changes through the listener.
#pragma once

#include <array>

#include "base/text.h"

namespace orvex {

class CaptionListener {
 public:
  virtual ~CaptionListener() = default;
  virtual void CaptionChanged(int n, const Text& caption) = 0;
};

class MessageMenuCaptions {
 public:
  // "&n: " and the message trimmed, cut to 20 characters plus "...".
  // Numbers outside 1 to 8 are ignored.
  void SetMessageMenuCaption(int n, const Text& message);
  // Empty until set.
  const Text& Caption(int n) const;
  // The window that shows the captions, once it exists.
  void SetListener(CaptionListener* listener) { listener_ = listener; }

 private:
  std::array<Text, 8> captions_;
  CaptionListener* listener_ = nullptr;
};

}  // namespace orvex
