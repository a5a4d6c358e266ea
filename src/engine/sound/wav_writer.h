// Rendering keying to audio without waiting in real time: the sidetone
// synthesiser driven by element lengths, written as a WAV file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/result.h"

namespace orvex::engine {

struct KeyElement {
  bool down;
  int units;
};

// Mono samples at rate, each element lasting units x unitMs; element edges
// fall on the sample nearest their exact time, so lengths never drift.
// leadMs of silence come first and tailMs after the last element.
std::vector<int16_t> RenderElements(const std::vector<KeyElement>& elements, double unitMs,
                                    int pitchHz, int rate = 22050, double leadMs = 200,
                                    double tailMs = 300);

// The same, handed to sink a piece at a time (sink returns false to stop).
void RenderElementsTo(const std::vector<KeyElement>& elements, double unitMs, int pitchHz, int rate,
                      double leadMs, double tailMs,
                      const std::function<bool(const int16_t*, size_t)>& sink);

// Writes a 16-bit mono PCM WAV file, replaced as a whole: a failure never
// leaves half a file. Refused (EFBIG) past the format's 4 GiB.
Result WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate);
// Renders elements straight into a WAV file a piece at a time, so memory
// stays small however long the sending.
Result WriteWav(const std::string& path, const std::vector<KeyElement>& elements, double unitMs,
                int pitchHz, int rate = 22050, double leadMs = 200, double tailMs = 300);

}  // namespace orvex::engine
