// monitor_rec SOURCE OUT [STAMPS]: records SOURCE (a sink's monitor) into
// OUT as 48 kHz 16-bit mono raw until SIGTERM, and prints the
// CLOCK_MONOTONIC time, in microseconds, at which OUT's first sample was
// played. STAMPS gets a line "SAMPLE US" every 10 ms: when that sample of
// OUT was played, by the same reckoning; a line through them is the
// recording's own clock against the monotonic one, which a sink need not
// keep to the ppm.
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
  if (argc != 3 && argc != 4) {
    std::fputs("usage: monitor_rec SOURCE OUT [STAMPS]\n", stderr);
    return 2;
  }
  std::signal(SIGTERM, Stop);
  std::signal(SIGINT, Stop);
  const pa_sample_spec format{PA_SAMPLE_S16LE, 48000, 1};
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(-1);
  // 10 ms pieces: smaller ones lose samples on PipeWire now and then.
  attr.fragsize = 2 * 480;
  int error = 0;
  pa_simple* in = pa_simple_new(nullptr, "orvex-bench", PA_STREAM_RECORD, argv[1], "monitor",
                                &format, nullptr, &attr, &error);
  if (!in) {
    std::fprintf(stderr, "monitor_rec: %s\n", argv[1]);
    return 1;
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  std::FILE* stamps = argc == 4 ? std::fopen(argv[3], "w") : nullptr;
  if (!out || (argc == 4 && !stamps)) return 1;
  std::vector<int16_t> piece(480);
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
    if (samples > 48000) {
      const double played =
          orvex::MonotonicNs() / 1000 - static_cast<double>(pa_simple_get_latency(in, &error));
      if (starts.size() < 2000) starts.push_back(played - samples * 1e6 / 48000);
      if (stamps) std::fprintf(stamps, "%lld %.0f\n", static_cast<long long>(samples), played);
    }
  }
  std::sort(starts.begin(), starts.end());
  const double firstUs = starts.empty() ? 0 : starts[starts.size() / 2];
  if (std::getenv("MONITOR_REC_DEBUG"))
    for (size_t i = 0; i < starts.size(); i += starts.size() / 10 + 1)
      std::fprintf(stderr, "%.0f\n", starts[i] - firstUs);
  std::fclose(out);
  if (stamps) std::fclose(stamps);
  pa_simple_free(in);
  std::printf("%.0f\n", firstUs);
}
