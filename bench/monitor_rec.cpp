// monitor_rec SOURCE OUT: records SOURCE (a sink's monitor) into OUT as
// 48 kHz 16-bit mono raw until SIGTERM, and prints the CLOCK_MONOTONIC
// time, in microseconds, at which OUT's first sample was played.
//
// parec cannot say when its first sample was heard; this can, from the
// record stream's latency, so the sidetone benchmark measures the delay
// from a key change to its sound, not only the delay the program reports.
#include <pulse/simple.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/clock.h"

namespace {
volatile std::sig_atomic_t stop = 0;
void Stop(int) {
  stop = 1;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: monitor_rec SOURCE OUT\n", stderr);
    return 2;
  }
  std::signal(SIGTERM, Stop);
  std::signal(SIGINT, Stop);
  const pa_sample_spec format{PA_SAMPLE_S16LE, 48000, 1};
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.fragsize = 2 * 96;  // 2 ms pieces: the latency reading is fresh
  int error = 0;
  pa_simple* in = pa_simple_new(nullptr, "orvex-bench", PA_STREAM_RECORD, argv[1], "monitor",
                                &format, nullptr, &attr, &error);
  if (!in) {
    std::fprintf(stderr, "monitor_rec: %s\n", argv[1]);
    return 1;
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (!out) return 1;
  std::vector<int16_t> piece(96);
  int64_t samples = 0;
  std::vector<double> starts;
  while (!stop) {
    if (pa_simple_read(in, piece.data(), piece.size() * 2, &error) < 0) break;
    samples += static_cast<int64_t>(piece.size());
    std::fwrite(piece.data(), 2, piece.size(), out);
    // The next sample to read was played `latency` ago: the recording's
    // first sample that long and all samples read before it. The median
    // of readings after the first second, when the sink has settled
    // into small blocks.
    if (samples > 48000 && starts.size() < 2000) {
      const pa_usec_t latency = pa_simple_get_latency(in, &error);
      starts.push_back(orvex::MonotonicNs() / 1000 - static_cast<double>(latency) -
                       samples * 1e6 / 48000);
    }
  }
  std::sort(starts.begin(), starts.end());
  const double firstUs = starts.empty() ? 0 : starts[starts.size() / 2];
  if (std::getenv("MONITOR_REC_DEBUG"))
    for (size_t i = 0; i < starts.size(); i += starts.size() / 10 + 1)
      std::fprintf(stderr, "%.0f\n", starts[i] - firstUs);
  std::fclose(out);
  pa_simple_free(in);
  std::printf("%.0f\n", firstUs);
}
