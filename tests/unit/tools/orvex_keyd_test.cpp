// orvex-keyd run as a real process and spoken to over a real UDP socket, as
// a logger would; what it keyed is read back from the key log, and the
// port's lines, where PTT matters, from a pseudo-terminal through the
// modem-line shim.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <sstream>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "support/heard.h"
#include "support/run_tool.h"

namespace orvex {
namespace {

using namespace std::chrono_literals;

std::string Esc(const std::string& command) {
  return "\x1b" + command;
}

struct Change {
  int64_t us;
  std::string what;  // "KEY DOWN", "DTR 1", ...
};

// What the key log says was keyed, as a listener hears it.
std::string Pattern(const std::vector<Change>& log) {
  std::vector<std::pair<int64_t, int64_t>> downs;
  for (const Change& c : log) {
    if (c.what == "KEY DOWN") downs.push_back({c.us, c.us});
    if (c.what == "KEY UP" && !downs.empty()) downs.back().second = c.us;
  }
  return test::Heard(downs);
}

class Keyd : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(ini, "CWSpeed=30\r\nCWSidetone_Enable=1\r\nCWSidetone_Device=4\r\n");
    client = socket(AF_INET, SOCK_DGRAM, 0);
    daemon.sin_family = AF_INET;
    daemon.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(client, reinterpret_cast<sockaddr*>(&daemon), sizeof daemon);
    // A free port for the daemon: the kernel picks one and we let it go.
    const int probe = socket(AF_INET, SOCK_DGRAM, 0);
    bind(probe, reinterpret_cast<sockaddr*>(&daemon), sizeof daemon);
    socklen_t len = sizeof daemon;
    getsockname(probe, reinterpret_cast<sockaddr*>(&daemon), &len);
    close(probe);
    args = " --ini " + ini + " --listen 127.0.0.1:" + std::to_string(ntohs(daemon.sin_port));
  }
  void TearDown() override {
    if (pid > 0) Send(Esc("5"));
    EXPECT_TRUE(Ended());
    close(client);
  }
  // Starts the daemon in the background keying port, env before it.
  void Start(const std::string& port = "None", const std::string& env = "") {
    std::system(("ORVEX_AUDIO=none ORVEX_KEYER_LOG=" + log + " " + env + " " ORVEX_KEYD_BINARY +
                 args + " --port " + port + " >/dev/null 2>" + dir.File("err") + " & echo $! >" +
                 dir.File("pid"))
                    .c_str());
    pid = std::stoi(test::ReadFile(dir.File("pid")));
    for (int i = 0; i < 100 && !test::Contains(Err(), "for loggers on UDP"); ++i)
      std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(test::Contains(Err(), "for loggers on UDP 127.0.0.1:")) << Err();
  }
  bool Ended() {  // within 5 s; killed otherwise
    for (int i = 0; pid > 0 && i < 500; ++i, std::this_thread::sleep_for(10ms))
      if (kill(pid, 0) != 0) pid = -1;
    if (pid > 0) kill(pid, SIGKILL);
    return pid <= 0;
  }
  int64_t Send(const std::string& bytes) {
    const int64_t at = MonotonicNs() / 1000;
    sendto(client, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&daemon),
           sizeof daemon);
    return at;
  }
  std::pair<std::string, int64_t> Reply() {  // the next reply and when it came
    pollfd in{client, POLLIN, 0};
    char buf[512];
    const ssize_t n = poll(&in, 1, 10'000) == 1 ? recv(client, buf, sizeof buf, 0) : 0;
    return {std::string(buf, static_cast<size_t>(std::max<ssize_t>(n, 0))), MonotonicNs() / 1000};
  }
  // A log's changes once nothing has been added for 400 ms.
  std::vector<Change> Keyed(const std::string& path) {
    for (size_t last = 0, still = 0, i = 0; still < 8 && i < 600; ++i) {
      std::this_thread::sleep_for(50ms);
      const size_t size = test::ReadFile(path).size();
      still = size == last ? still + 1 : 0;
      last = size;
    }
    std::vector<Change> out;
    std::istringstream in(test::ReadFile(path));
    Change c;
    for (std::string a, b; in >> c.us >> a >> b;) out.push_back({c.us, a + " " + b});
    return out;
  }
  std::vector<Change> Keyed() { return Keyed(log); }
  std::string Err() { return test::ReadFile(dir.File("err")); }

  test::TempDir dir;
  std::string ini = dir.File("orvex.ini"), log = dir.File("key.log"), args;
  int client = -1;
  sockaddr_in daemon{};
  pid_t pid = -1;
};

// The daemon's own socket and key line; what the protocol means is tested
// in-process (net_keyer_test).
TEST_F(Keyd, KeysALoggersExchangeAndRepliesOverTheSocket) {
  Start();
  for (const std::string& request : {Esc("0"), Esc("2 30"), std::string("cq^ never keyed")})
    Send(request);
  EXPECT_EQ(Reply().first, "cq\r\n");
  EXPECT_EQ(Pattern(Keyed()), "-.-. --.-");
}

TEST_F(Keyd, ListensWhereTheFilesNetKeyerSaysWhenNotToldOtherwise) {
  test::WriteFile(ini, "CWSpeed=30\r\nNetKeyer=" + std::to_string(ntohs(daemon.sin_port)) + "\r\n");
  args = " --ini " + ini;
  Start();
  Send("e");
  EXPECT_EQ(Pattern(Keyed()), ".");
}

// PTT held by command and with its lead, and tune, on the port's lines.
TEST_F(Keyd, PttHoldLeadAndTuneOnThePort) {
  int master = -1, slave = -1;
  char name[64];
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  const std::string lines = dir.File("lines.log");
  Start("COM1", "ORVEX_COM1=" + std::string(name) +
                    " LD_PRELOAD=" ORVEX_MODEM_SHIM " ORVEX_SHIM_LOG=" + lines);
  Send(Esc("a1"));
  std::this_thread::sleep_for(200ms);
  Send(Esc("a0"));
  Send(Esc("d900"));  // taken as 50 ms
  Send("e");
  Keyed(lines);
  Send(Esc("c1"));
  std::this_thread::sleep_for(1500ms);
  const auto changes = Keyed(lines);
  close(master);
  close(slave);
  std::string what;
  for (const Change& c : changes) what += c.what + ",";
  ASSERT_EQ(what, "RTS 1,RTS 0,RTS 1,DTR 1,DTR 0,RTS 0,RTS 1,DTR 1,DTR 0,RTS 0,");
  EXPECT_NEAR((changes[1].us - changes[0].us) / 1000.0, 200, 50);   // held until released
  EXPECT_NEAR((changes[3].us - changes[2].us) / 1000.0, 50, 3);     // the lead
  EXPECT_NEAR((changes[8].us - changes[7].us) / 1000.0, 1000, 20);  // tune
}

TEST_F(Keyd, ASecondDaemonOnThePortIsRefusedAndTheIgnoredAreCountedAtTheEnd) {
  Start();
  const auto second = test::RunTool("ORVEX_AUDIO=none " ORVEX_KEYD_BINARY + args, dir);
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err, "orvex-keyd: can't listen for loggers on UDP 127.0.0.1:" +
                            std::to_string(ntohs(daemon.sin_port)) +
                            ": another program is using that port\n");
  Send(Esc("q"));
  Send(Esc("2 fast"));
  Send(Esc("5"));
  EXPECT_TRUE(Ended());
  EXPECT_TRUE(test::Contains(Err(), "3 requests; 2 malformed or unknown ignored, 0 refused"))
      << Err();
}

}  // namespace
}  // namespace orvex
