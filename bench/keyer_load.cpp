// keyer_timing --loaded: what a listener gets when the machine is busy.
//
// Keys "PARIS PARIS PARIS PARIS CQ TEST 5NN" at 40 WPM with two busy
// processes beside it, through orvex-send on a pseudo-terminal whose modem
// lines the test shim plays and records, and the same through Debian's
// cwdaemon when it is installed (driven over UDP, keying the same kind of
// line). Each run is decoded with the nominal unit; it counts wrong
// characters, shortened and skipped elements, and each element's length
// error (every key change against the previous change plus the nominal
// length of the element between them).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_process.h"

namespace {

constexpr const char* kText = "PARIS PARIS PARIS PARIS CQ TEST 5NN";
constexpr int kWpm = 40;
constexpr double kUnitMs = 1200.0 / kWpm;

using bench::BusyProcesses;
using bench::Pct;
using bench::Pty;
using bench::Stop;

// Key-down and key-up lengths in ms, from the shim's DTR changes.
std::vector<double> Elements(const std::string& log) {
  std::ifstream in(log);
  std::vector<long long> times;
  long long us;
  std::string line, value;
  while (in >> us >> line >> value)
    if (line == "DTR") times.push_back(us);
  std::vector<double> out;
  for (size_t i = 1; i < times.size(); ++i) out.push_back((times[i] - times[i - 1]) / 1000.0);
  return out;  // down, up, down, up...
}

std::string Decode(const std::vector<double>& e) {
  static const std::map<std::string, char> codes = {
      {".-", 'A'},   {"-...", 'B'}, {"-.-.", 'C'}, {"-..", 'D'},  {".", 'E'},    {"..-.", 'F'},
      {"--.", 'G'},  {"....", 'H'}, {"..", 'I'},   {".---", 'J'}, {"-.-", 'K'},  {".-..", 'L'},
      {"--", 'M'},   {"-.", 'N'},   {"---", 'O'},  {".--.", 'P'}, {"--.-", 'Q'}, {".-.", 'R'},
      {"...", 'S'},  {"-", 'T'},    {"..-", 'U'},  {"...-", 'V'}, {".--", 'W'},  {"-..-", 'X'},
      {"-.--", 'Y'}, {"--..", 'Z'}, {".....", '5'}};
  std::string text, code;
  auto flush = [&] {
    if (code.empty()) return;
    const auto it = codes.find(code);
    text += it == codes.end() ? '*' : it->second;
    code.clear();
  };
  for (size_t i = 0; i < e.size(); ++i) {
    const double units = e[i] / kUnitMs;
    if (i % 2 == 0) {
      code += units < 2 ? '.' : '-';
    } else {
      if (units >= 2) flush();
      if (units >= 5) text += ' ';
    }
  }
  flush();
  return text;
}

size_t Distance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diag = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diag + (a[i - 1] != b[j - 1])});
      diag = up;
    }
  }
  return row[b.size()];
}

struct Result {
  std::string decoded;
  size_t wrong = 0, shortened = 0, skipped = 0;
  std::vector<double> errors;
};

// Word gaps differ by design (Orvex 6 units, cwdaemon 10): they are read,
// not measured.
Result Analyse(const std::vector<double>& e) {
  Result r;
  r.decoded = Decode(e);
  r.wrong = Distance(r.decoded, kText);
  size_t downs = 0;
  for (size_t i = 0; i < e.size(); ++i) {
    const double units = e[i] / kUnitMs;
    // The nominal length this element stands for, by the decoder's reading.
    if (i % 2 == 1 && units >= 5) continue;
    const double nominal = units < 2 ? 1 : 3;
    r.errors.push_back(std::fabs(e[i] - nominal * kUnitMs));
    if (e[i] < nominal * kUnitMs - 1.0) ++r.shortened;
    if (i % 2 == 0) ++downs;
  }
  size_t planned = 0;
  const std::map<char, int> elements = {{'P', 4}, {'A', 2}, {'R', 3}, {'I', 2}, {'S', 3}, {'C', 4},
                                        {'Q', 4}, {'T', 1}, {'E', 1}, {'5', 5}, {'N', 2}};
  for (char c : std::string(kText))
    if (c != ' ') planned += elements.at(c);
  r.skipped = planned > downs ? planned - downs : 0;
  return r;
}

void WaitQuiet(const std::string& log, double seconds) {
  off_t last = -1;
  for (int still = 0, i = 0; i < 600 && still < seconds * 10; ++i) {
    struct stat st {};
    stat(log.c_str(), &st);
    still = st.st_size == last && st.st_size > 0 ? still + 1 : 0;
    last = st.st_size;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

Result OrvexRun(const std::string& dir, const std::string& send, const std::string& shim) {
  pid_t socat;
  const std::string tty = Pty(dir, &socat);
  const std::string log = dir + "/orvex.log";
  unlink(log.c_str());
  std::ofstream(dir + "/orvex.ini") << "CWSidetone_Enable=0\r\n";
  const pid_t pid = bench::Spawn(
      {send, "--ini", dir + "/orvex.ini", "--port", "COM1", "--wpm", std::to_string(kWpm), "--text",
       kText},
      {"ORVEX_COM1=" + tty, "LD_PRELOAD=" + shim, "ORVEX_SHIM_LOG=" + log, "ORVEX_AUDIO=none"},
      true);
  waitpid(pid, nullptr, 0);
  Stop(socat);
  return Analyse(Elements(log));
}

Result CwdaemonRun(const std::string& dir, const std::string& shim) {
  pid_t socat;
  const std::string tty = Pty(dir, &socat);
  const std::string log = dir + "/cwdaemon.log";
  unlink(log.c_str());
  const pid_t pid = bench::Spawn({"cwdaemon", "-n", "-d", tty.substr(5), "-x", "n", "-s",
                                  std::to_string(kWpm), "-p", "6799", "-y", "n"},
                                 {"LD_PRELOAD=" + shim, "ORVEX_SHIM_LOG=" + log}, true);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(6799);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sendto(s, kText, std::string(kText).size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  close(s);
  WaitQuiet(log, 1.5);
  Stop(pid);
  Stop(socat);
  return Analyse(Elements(log));
}

void Print(const char* who, int run, const Result& r) {
  std::printf(
      "%-8s run %2d  wrong %2zu  shortened %3zu  skipped %2zu  error ms p50 %.2f p99 %.2f max %.2f "
      " %s\n",
      who, run, r.wrong, r.shortened, r.skipped, Pct(r.errors, 0.5), Pct(r.errors, 0.99),
      Pct(r.errors, 1.0), r.decoded.c_str());
}

}  // namespace

int LoadedRuns(int runs, const std::string& send, const std::string& shim) {
  char tmpl[] = "/tmp/keyer-load-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  chmod(dir.c_str(), 0777);
  const bool peer = std::system("command -v cwdaemon >/dev/null 2>&1") == 0;
  std::printf("%s at %d WPM, two busy processes beside the keyer, %d runs%s\n", kText, kWpm, runs,
              peer ? "; cwdaemon beside" : "; cwdaemon is not installed");
  Result total[2];
  for (int run = 1; run <= runs; ++run) {
    const auto busy = BusyProcesses();
    const Result orvex = OrvexRun(dir, send, shim);
    Print("orvex", run, orvex);
    std::optional<Result> other;
    if (peer) {
      other = CwdaemonRun(dir, shim);
      Print("cwdaemon", run, *other);
    }
    for (pid_t pid : busy) Stop(pid);
    for (int k = 0; k < (peer ? 2 : 1); ++k) {
      const Result& r = k == 0 ? orvex : *other;
      total[k].wrong += r.wrong;
      total[k].shortened += r.shortened;
      total[k].skipped += r.skipped;
      total[k].errors.insert(total[k].errors.end(), r.errors.begin(), r.errors.end());
    }
  }
  for (int k = 0; k < (peer ? 2 : 1); ++k)
    std::printf(
        "%-8s total   wrong %2zu  shortened %3zu  skipped %2zu  error ms p50 %.2f p99 %.2f max "
        "%.2f\n",
        k == 0 ? "orvex" : "cwdaemon", total[k].wrong, total[k].shortened, total[k].skipped,
        Pct(total[k].errors, 0.5), Pct(total[k].errors, 0.99), Pct(total[k].errors, 1.0));
  std::system(("rm -rf " + dir).c_str());
  return 0;
}
