// sidetone_check: holds a recording of the sidetone against the key log.
//
//   sidetone_check KEYLOG RAW RATE PITCH [--edges] [--start US] [--stop US]
//                  [--unplanned FILE] [--clock STAMPS]
//
// --start gives the monotonic time (us) at which RAW's first sample was
// played: the delay from the first key-down to its tone is then printed.
// --stop gives the monotonic time (us) of an Esc: the key-up it made is
// left out of the fit, and the time from the Esc to the tone's half level
// is printed (held against the other edges, which reach half level half a
// ramp after their key change) and must stay within 5 ms. KEYLOG "-" (a
// program that keeps no key log) with --start and --stop: the time from
// the stop to the last tone's half level on the recording's own clock.
// --unplanned: FILE's lines "unplanned US" are moments a hand keyed down
// with no plan; the first key-down at or after each is left out of the fit
// and its tone's delay behind where a planned edge sounds is printed
// (p50, p95, max), and its p95 must stay within 5 ms.
// --clock: STAMPS's lines "SAMPLE US" (monitor_rec's) say when samples of
// RAW were played: through them each edge gets its monotonic time, and how
// far the tone moved from its key between the first 20 edges and the last
// 20 is printed, and must stay within 1 ms (the tone keeps to the key's
// clock, whatever the sound card's).
// RAW is 16-bit mono samples at RATE. The tones are found by their RMS over
// one period of PITCH crossing half the tones' level; each tone's start and
// end (edge) is then set against the key log's changes.
//
// The recording's own clock is fitted from the edges (a straight line
// through edge time against key time): a sound server's null sink runs up to
// 500 ppm fast when it is fed in 2 ms requests (it counts each block's
// length in whole microseconds, rounded down), and a sound card's crystal is
// off by its own ppm, so the recording's sample rate is not quite RATE. The
// edge error is each edge's distance from that line.
//
// Prints the counts, the edge error (median, p99, max, ms), the fitted clock
// error and the steepest step between samples against the sine's own (a
// click is steeper), and exits 0 when there is one tone per key-down (none
// lost, none split), every edge lies within 1 ms, the clock is within
// 0.1 % and nothing clicks.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<double> Changes(const char* log) {  // key changes, ms, down first
  std::ifstream in(log);
  std::vector<double> out;
  long long us;
  std::string a, b;
  while (in >> us >> a >> b)
    if (a == "KEY") out.push_back(us / 1000.0);
  return out;
}

double Pct(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

}  // namespace

int main(int argc, char** argv) {
  bool listEdges = false;
  double startUs = -1, stopUs = -1;
  const char* unplannedFile = nullptr;
  const char* stampsFile = nullptr;
  bool usage = argc < 5;
  for (int i = 5; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--edges")
      listEdges = true;
    else if ((flag == "--start" || flag == "--stop") && i + 1 < argc)
      (flag == "--start" ? startUs : stopUs) = std::atof(argv[++i]);
    else if (flag == "--unplanned" && i + 1 < argc)
      unplannedFile = argv[++i];
    else if (flag == "--clock" && i + 1 < argc)
      stampsFile = argv[++i];
    else
      usage = true;
  }
  if (usage) {
    std::fputs(
        "usage: sidetone_check KEYLOG RAW RATE PITCH [--edges] [--start US] [--stop US] "
        "[--unplanned FILE] [--clock STAMPS]\n",
        stderr);
    return 2;
  }
  const bool started = startUs >= 0, stopped = stopUs >= 0;
  const double rate = std::atof(argv[3]), pitch = std::atof(argv[4]);
  std::ifstream raw(argv[2], std::ios::binary);
  std::vector<double> x;
  for (int16_t s; raw.read(reinterpret_cast<char*>(&s), 2);) x.push_back(s / 32768.0);
  const size_t window = static_cast<size_t>(std::lround(rate / pitch));
  std::vector<double> rms(x.size(), 0);
  double sum = 0, peak = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    sum += x[i] * x[i];
    if (i >= window) sum -= x[i - window] * x[i - window];
    if (i >= window / 2) rms[i - window / 2] = std::sqrt(std::max(sum, 0.0) / window);  // centred
    peak = std::max(peak, rms[i - std::min(i, window / 2)]);
  }
  // A click is a step between samples larger than the sine itself makes.
  double top = 0, step = 0;
  for (size_t i = 1; i < x.size(); ++i) {
    top = std::max(top, std::fabs(x[i]));
    step = std::max(step, std::fabs(x[i] - x[i - 1]));
  }
  const double steepness = top > 0 ? step / (top * 2 * M_PI * pitch / rate) : 0;
  std::vector<double> edges;  // ms, interpolated half-level crossings
  bool on = false;
  for (size_t i = 1; i < rms.size(); ++i) {
    const double level = peak / 2;
    if ((rms[i] >= level) != on) {
      const double f = (level - rms[i - 1]) / (rms[i] - rms[i - 1]);
      edges.push_back((i - 1 + f) * 1000.0 / rate);
      on = !on;
    }
  }
  std::vector<double> keys = Changes(argv[1]);
  const size_t downs = keys.size() / 2, tones = edges.size() / 2;
  // The Esc's key-up, when it cut a tone short.
  double stopKey = -1, stopEdge = -1;
  if (stopped && !keys.empty() && keys.size() % 2 == 0 && keys.size() == edges.size() &&
      std::fabs(keys.back() - stopUs / 1000) < 2) {
    stopKey = keys.back(), stopEdge = edges.back();
    keys.pop_back();
  }
  // Each key change is held against the recorded edge of its kind (a rise
  // for a key-down) nearest to where the line puts it, so a lost or split
  // tone costs only its own edges. The line: edge = offset + slope * key,
  // times from the first of each, fitted by least squares over the pairs
  // within 20 ms and then within 2 ms of the line before: a key that was
  // late while its tone was on time does not tilt it.
  const size_t n = edges.empty() ? 0 : keys.size();
  // The key-downs a hand made with no plan: each the first at or after its
  // moment.
  std::vector<bool> hand(n, false);
  if (unplannedFile) {
    std::ifstream in(unplannedFile);
    double us;
    for (std::string line; std::getline(in, line);)
      for (size_t i = 0; i < n && std::sscanf(line.c_str(), "unplanned %lf", &us) == 1; i += 2)
        if (keys[i] >= us / 1000 - 0.1) {
          hand[i] = true;
          break;
        }
  }
  double slope = 1, offset = 0;
  std::vector<double> signedErrors(n);
  std::vector<size_t> matched(n);
  auto match = [&] {
    for (size_t i = 0; i < n; ++i) {
      const double want = offset + slope * (keys[i] - keys[0]);
      double best = 1e18;
      for (size_t j = i % 2; j < edges.size(); j += 2)
        if (std::fabs(edges[j] - edges[0] - want) < std::fabs(best)) {
          best = edges[j] - edges[0] - want;
          matched[i] = j;
        }
      signedErrors[i] = best;
    }
  };
  for (double within : {20.0, 2.0}) {
    match();
    double sx = 0, sy = 0, sxx = 0, sxy = 0, m = 0;
    for (size_t i = 0; i < n; ++i) {
      if (std::fabs(signedErrors[i]) > within || hand[i]) continue;
      const double k = keys[i] - keys[0];
      const double e = signedErrors[i] + offset + slope * k;
      sx += k, sy += e, sxx += k * k, sxy += k * e, m += 1;
    }
    if (m < 2) break;
    slope = (m * sxy - sx * sy) / (m * sxx - sx * sx);
    offset = (sy - slope * sx) / m;
  }
  match();
  std::vector<double> errors, handDelays;
  for (size_t i = 0; i < n; ++i) {
    if (listEdges)  // key time (ms from the first), up or down, signed error
      std::printf("%10.3f %s %+.3f\n", keys[i] - keys[0], i % 2 ? "up  " : "down", signedErrors[i]);
    (hand[i] ? handDelays : errors)
        .push_back(hand[i] ? signedErrors[i] : std::fabs(signedErrors[i]));
  }
  const double ppm = (slope - 1) * 1e6;
  std::printf(
      "key-downs %zu  tones %zu  dropouts %zu  edge error ms: median %.3f  p99 %.3f  max %.3f  "
      "recording clock %+.0f ppm  edges off by over 1 ms: %zu  steepest step %.2f of the sine's\n",
      downs, tones, tones > downs ? tones - downs : downs - tones, Pct(errors, 0.5),
      Pct(errors, 0.99), Pct(errors, 1.0), ppm,
      static_cast<size_t>(
          std::count_if(errors.begin(), errors.end(), [](double e) { return e > 1; })),
      steepness);
  bool ok = true;
  if (!handDelays.empty()) {
    std::printf("unplanned key-downs %zu, to tone ms: p50 %.2f  p95 %.2f  max %.2f\n",
                handDelays.size(), Pct(handDelays, 0.5), Pct(handDelays, 0.95),
                Pct(handDelays, 1.0));
    ok = ok && Pct(handDelays, 0.95) <= 5;
  }
  if (stampsFile) {
    // The recording's clock: where each stretch of it lies on the monotonic
    // clock, the median over the stamps within a quarter second (each
    // stamp jitters; fifty do not). Local, not one line: a graph that
    // skipped a cycle (a machine frozen) left those samples out.
    std::ifstream in(stampsFile);
    std::vector<std::pair<double, double>> stamps;  // sample, its monotonic us less its own
    for (double s, us; in >> s >> us;) stamps.push_back({s, us - s * 1e6 / rate});
    auto monotonicMs = [&](double sample) {
      std::vector<double> near;
      for (const auto& [s, off] : stamps)
        if (std::fabs(s - sample) <= rate / 4) near.push_back(off);
      return near.empty() ? NAN : (sample * 1e6 / rate + Pct(near, 0.5)) / 1000;
    };
    std::vector<double> planned;  // each planned edge's distance from its key, ms
    for (size_t i = 0; i < n; ++i)
      if (!hand[i] && std::fabs(signedErrors[i]) <= 20)
        if (const double at = monotonicMs(edges[matched[i]] * rate / 1000); !std::isnan(at))
          planned.push_back(at - keys[i]);
    const size_t k = std::min<size_t>(20, planned.size() / 2);
    if (k > 0) {
      const double first = Pct({planned.begin(), planned.begin() + k}, 0.5);
      const double last = Pct({planned.end() - k, planned.end()}, 0.5);
      std::printf("against the key's clock over %.0f s: the tone moved %+.2f ms\n",
                  (keys.back() - keys.front()) / 1000, last - first);
      ok = ok && std::fabs(last - first) <= 1;
    }
  }
  double stopMs = 0;
  if (stopped && stopKey >= 0) {
    stopMs = stopEdge - edges[0] - offset - slope * (stopKey - keys[0]) + 2.5;
    std::printf("from Esc to half level %.2f ms\n", stopMs);
  } else if (stopped && started && keys.empty() && !edges.empty() && edges.size() % 2 == 0) {
    std::printf("from the stop to half level %.2f ms\n",
                startUs / 1000 + edges.back() - stopUs / 1000);
    return 0;
  } else if (stopped) {
    std::printf("Esc fell between tones\n");
  }
  // The tone's half-level point is half the 5 ms ramp after its edge.
  if (started && n >= 1)
    std::printf("delay from key to tone %.1f ms\n", startUs / 1000 + edges[0] - keys[0] - 2.5);
  return ok && tones == downs && n >= 2 && Pct(errors, 1.0) <= 1.0 && std::fabs(ppm) <= 1000 &&
                 stopMs <= 5.0 && steepness < 1.5
             ? 0
             : 1;
}
