// Rendering keying to audio without waiting in real time: the sidetone
// synthesiser driven by element lengths, written as a WAV file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/file_result.h"

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

// Writes a 16-bit mono PCM WAV file, replaced as a whole: a failure never
// leaves half a file.
FileResult WriteWav(const std::string& path, const std::vector<int16_t>& samples, int rate);

}  // namespace orvex::engine
