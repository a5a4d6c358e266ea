// orvex-keyd run as a real process and spoken to over a real UDP socket, as
// a logger would; what it keyed is read back from the key log, and the
// port's lines, where PTT matters, from a pseudo-terminal through the
// modem-line shim.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "support/files.h"

extern char** environ;

namespace orvex {
namespace {

using namespace std::chrono_literals;

int64_t NowUs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1'000'000LL + t.tv_nsec / 1000;
}

struct Change {
  int64_t us;
  std::string what;  // "KEY DOWN", "DTR 1", ...
};

std::vector<Change> ReadChanges(const std::string& path) {
  std::vector<Change> out;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Change c;
    std::string a, b;
    if (fields >> c.us >> a >> b) out.push_back({c.us, a + " " + b});
  }
  return out;
}

// Key-downs and the gaps between them as a listener hears them: "." and
// "-" by length against the shortest key-down, " " between characters,
// " / " between words.
std::string Pattern(const std::vector<Change>& log) {
  std::vector<std::pair<int64_t, int64_t>> downs;  // start, end
  for (const Change& c : log) {
    if (c.what == "KEY DOWN") downs.push_back({c.us, 0});
    if (c.what == "KEY UP" && !downs.empty()) downs.back().second = c.us;
  }
  if (downs.empty()) return "";
  int64_t dot = INT64_MAX;
  for (auto [s, e] : downs) dot = std::min(dot, e - s);
  std::string out;
  for (size_t i = 0; i < downs.size(); ++i) {
    if (i > 0) {
      const int64_t gap = downs[i].first - downs[i - 1].second;
      out += gap > 5 * dot ? " / " : gap > 2 * dot ? " " : "";
    }
    out += downs[i].second - downs[i].first > 2 * dot ? '-' : '.';
  }
  return out;
}

class Keyd : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(ini, "CWSpeed=30\r\nCWSidetone_Enable=1\r\nCWSidetone_Device=4\r\n");
    client = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    bind(client, reinterpret_cast<sockaddr*>(&any), sizeof any);
    // A free port for the daemon: the kernel picks one, we let it go.
    const int probe = socket(AF_INET, SOCK_DGRAM, 0);
    bind(probe, reinterpret_cast<sockaddr*>(&any), sizeof any);
    socklen_t len = sizeof daemonAddr;
    getsockname(probe, reinterpret_cast<sockaddr*>(&daemonAddr), &len);
    close(probe);
    port = ntohs(daemonAddr.sin_port);
  }
  void TearDown() override {
    if (pid > 0) {
      Send(
          "\x1b"
          "5");
      Exit(5s);
    }
    close(client);
  }

  // Starts the daemon keying port ("None" or COM1 on a pseudo-terminal).
  void Start(const std::string& portName = "None", std::vector<std::string> env = {}) {
    env.push_back("ORVEX_AUDIO=none");
    env.push_back("ORVEX_KEYER_LOG=" + log);
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    pid = Spawn({"--ini", ini, "--port", portName, "--listen", "127.0.0.1:" + std::to_string(port)},
                env, dir.File("stderr"));
    for (int i = 0; i < 100 && !test::Contains(Err(), "for loggers on UDP"); ++i)
      std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(test::Contains(Err(), "for loggers on UDP 127.0.0.1:")) << Err();
  }
  pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
              const std::string& err) {
    std::vector<std::string> all{ORVEX_KEYD_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (auto& a : all) argv.push_back(a.data());
    for (auto& e : const_cast<std::vector<std::string>&>(env)) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = -1;
    posix_spawn(&child, argv[0], &files, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    return child;
  }
  // The exit status, or -1 when it ran on past the limit (then killed).
  int Exit(std::chrono::milliseconds limit) {
    int status = 0;
    for (auto waited = 0ms; waited < limit; waited += 10ms) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    pid = -1;
    return -1;
  }
  int64_t Send(const std::string& bytes) {
    const int64_t at = NowUs();
    sendto(client, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&daemonAddr),
           sizeof daemonAddr);
    return at;
  }
  // The next reply and when it came, waiting at most ms.
  std::optional<std::pair<std::string, int64_t>> Reply(int ms = 10'000) {
    pollfd in{client, POLLIN, 0};
    if (poll(&in, 1, ms) != 1) return std::nullopt;
    char buf[512];
    const ssize_t n = recv(client, buf, sizeof buf, 0);
    return std::make_pair(std::string(buf, static_cast<size_t>(std::max<ssize_t>(n, 0))), NowUs());
  }
  // The key log once nothing has been keyed for 400 ms.
  std::vector<Change> Keyed(const std::string& file = "") {
    const std::string path = file.empty() ? log : file;
    size_t last = 0;
    for (int still = 0, i = 0; still < 8 && i < 600; ++i) {
      std::this_thread::sleep_for(50ms);
      const size_t size = test::ReadFile(path).size();
      still = size == last ? still + 1 : 0;
      last = size;
    }
    return ReadChanges(path);
  }
  std::string Err() { return test::ReadFile(dir.File("stderr")); }

  test::TempDir dir;
  std::string ini = dir.File("orvex.ini"), log = dir.File("key.log");
  int client = -1, port = 0;
  sockaddr_in daemonAddr{};
  pid_t pid = -1;
};

struct Exchange {
  const char* name;
  std::vector<std::string> requests;
  std::string heard;
};

class KeydText : public Keyd, public ::testing::WithParamInterface<Exchange> {};

TEST_P(KeydText, KeysWhatTheLoggerSent) {
  Start();
  for (const std::string& request : GetParam().requests) {
    Send(request);
    std::this_thread::sleep_for(5ms);  // datagrams from a logger come one by one
  }
  EXPECT_EQ(Pattern(Keyed()), GetParam().heard);
}

std::string Dots(int n) {  // "." n times, as separate characters
  std::string out;
  for (int i = 0; i < n; ++i) out += i ? " ." : ".";
  return out;
}

INSTANTIATE_TEST_SUITE_P(Loggers, KeydText,
                         ::testing::Values(
                             // Tlf's start-up, then an exchange with speed changes inside it.
                             Exchange{"Tlf",
                                      {"\x1b"
                                       "0",
                                       "\x1b"
                                       "3600",
                                       "\x1bg70",
                                       "\x1b"
                                       "2 28",
                                       "\x1b"
                                       "70",
                                       "\x1b"
                                       "d0",
                                       "++5NN--\r\n"},
                                      "..... -. -."},
                             // CQRLOG: one character a datagram, speed commands between.
                             Exchange{"Cqrlog",
                                      {"\x1b"
                                       "230",
                                       "c", "q",
                                       "\x1b"
                                       "232",
                                       " ", "d", "e"},
                                      "-.-. --.- / -.. ."},
                             Exchange{"SignsCaseAndSkipped",
                                      {"*<>&=(!", "a\xC3\x84#b"},
                                      ".-.-. ...-.- -...-.- .-... -...- -.--. ...-. .- .-.- -..."},
                             Exchange{
                                 "BackspaceCaretAndLimit",
                                 // Only 256 bytes of a datagram count: six e after 250 unkeyable.
                                 {"ab\x08"
                                  "c",
                                  "e^ t", std::string(250, '#') + "eeeeee" + std::string(44, 't')},
                                 ".- -.-. . " + Dots(6)},
                             Exchange{"BadArgumentsIgnored",
                                      {"\x1b"
                                       "2 abc",
                                       "\x1b"
                                       "299",
                                       "\x1b"
                                       "760",
                                       "\x1b"
                                       "2+",
                                       "\x1bz",
                                       "\x1b"
                                       "c11",
                                       "\x1b"
                                       "fq",
                                       "et"},
                                      ". -"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Dot lengths on the line: the speed commands and "+" and "-" inside text
// (which persist), bad speeds ignored, weighting moving time from the gap
// to the element before it.
TEST_F(Keyd, SpeedAndWeightingAreMeasuredOnTheLine) {
  Start();
  Send(
      "\x1b"
      "230");
  Send("e");
  Send("+e");
  Send("e");
  Send(
      "\x1b"
      "299");
  Send("--e");
  Keyed();  // a command acts when it comes, not in the text's turn
  Send(
      "\x1b"
      "750");
  Send("ii");
  const auto log = Keyed();
  std::vector<double> down, gap;
  for (size_t i = 0; i + 1 < log.size(); ++i) {
    const double ms = (log[i + 1].us - log[i].us) / 1000.0;
    (log[i].what == "KEY DOWN" ? down : gap).push_back(ms);
  }
  ASSERT_EQ(down.size(), 8u);
  const double expected[] = {40, 37.5, 37.5, 42.86};  // 30, 32, 32 (99 ignored), 28 WPM
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(down[i], expected[i], 1.5) << i;
  // Weighted 50 at 28 WPM: dots 1.6 units, the gap inside "i" 0.4 units.
  EXPECT_NEAR(down[4], 42.86 * 1.6, 1.5);
  EXPECT_NEAR(gap[4], 42.86 * 0.4, 1.5);
}

TEST_F(Keyd, RepliesComeAsTheTextEndsAndAnAbortAnswersBreak) {
  Start();
  Send(
      "\x1b"
      "240");
  Send("cq^ never keyed");
  const auto caret = Reply();
  ASSERT_TRUE(caret);
  EXPECT_EQ(caret->first, "cq\r\n");
  Send("\x1bhTU");
  Send("ee");
  const auto h = Reply();
  ASSERT_TRUE(h);
  EXPECT_EQ(h->first, "hTU\r\n");
  const auto log = Keyed();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(Pattern(log), "-.-. --.- . .");
  // Sent as the last key-up comes, not after the gap that follows it.
  EXPECT_GE(h->second, log.back().us);
  EXPECT_LT(h->second - log.back().us, 30'000);

  Send("paris paris paris^");
  std::this_thread::sleep_for(400ms);
  const int64_t abort = Send(
      "\x1b"
      "4");
  const auto broken = Reply();
  ASSERT_TRUE(broken);
  EXPECT_EQ(broken->first, "break\r\n");
  const auto after = Keyed();
  EXPECT_EQ(after.back().what, "KEY UP");
  EXPECT_LT(after.back().us - abort, 20'000);  // at once, not after the character
}

TEST_F(Keyd, WordModeIgnoresAbortUntilReset) {
  Start();
  Send(
      "\x1b"
      "6");
  Send(
      "\x1b"
      "260");
  Send("test");
  std::this_thread::sleep_for(100ms);
  Send(
      "\x1b"
      "4");
  EXPECT_EQ(Pattern(Keyed()), "- . ... -");
  Send(
      "\x1b"
      "0");
  Send(
      "\x1b"
      "260");
  Send("test test test");
  std::this_thread::sleep_for(100ms);
  Send(
      "\x1b"
      "4");
  EXPECT_LT(Pattern(Keyed()).size(), 30u);  // this time cut short
}

// PTT held by command and with its lead, and tune, on the port's lines.
TEST_F(Keyd, PttHoldLeadAndTuneOnThePort) {
  int master = -1, slave = -1;
  char name[64];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  const std::string lines = dir.File("lines.log");
  Start("COM1", {"ORVEX_COM1=" + std::string(name), "LD_PRELOAD=" ORVEX_MODEM_SHIM,
                 "ORVEX_SHIM_LOG=" + lines});
  Send(
      "\x1b"
      "a1");
  std::this_thread::sleep_for(200ms);
  Send(
      "\x1b"
      "a0");
  Send(
      "\x1b"
      "d900");  // taken as 50 ms
  Send("e");
  Keyed(lines);
  Send(
      "\x1b"
      "c1");
  std::this_thread::sleep_for(1500ms);
  const auto changes = Keyed(lines);
  close(master);
  close(slave);
  std::vector<std::string> what;
  for (const Change& c : changes) what.push_back(c.what);
  const std::vector<std::string> expected{"RTS 1", "RTS 0", "RTS 1", "DTR 1", "DTR 0",
                                          "RTS 0", "RTS 1", "DTR 1", "DTR 0", "RTS 0"};
  ASSERT_EQ(what, expected);
  EXPECT_NEAR((changes[1].us - changes[0].us) / 1000.0, 200, 50);   // held until released
  EXPECT_NEAR((changes[3].us - changes[2].us) / 1000.0, 50, 3);     // the lead
  EXPECT_NEAR((changes[8].us - changes[7].us) / 1000.0, 1000, 20);  // tune
}

TEST_F(Keyd, ASecondDaemonOnTheSamePortIsRefusedAndCountsAreTold) {
  Start();
  const pid_t first = pid;
  pid = Spawn({"--ini", ini, "--port", "None", "--listen", "127.0.0.1:" + std::to_string(port)},
              {"ORVEX_AUDIO=none"}, dir.File("second"));
  EXPECT_EQ(Exit(5s), 1);
  EXPECT_EQ(test::ReadFile(dir.File("second")),
            "orvex-keyd: can't listen for loggers on UDP 127.0.0.1:" + std::to_string(port) +
                ": another program is using that port\n");
  pid = first;
  Send("\x1bq");
  Send(
      "\x1b"
      "2 fast");
  // A flood: 131 of these fill the queue; the rest are refused whole.
  for (int i = 0; i < 140; ++i) {
    Send(std::string(250, 'e'));
    if (i % 10 == 0) std::this_thread::sleep_for(10ms);  // within the socket's buffer
  }
  std::this_thread::sleep_for(200ms);
  Send(
      "\x1b"
      "5");
  EXPECT_EQ(Exit(5s), 0);
  const std::string err = Err();
  EXPECT_TRUE(test::Contains(err, "143 requests; 2 malformed or unknown ignored, 9 refused"))
      << err;
}

}  // namespace
}  // namespace orvex
