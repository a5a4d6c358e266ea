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

#include "support/files.h"

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
    daemon.sin_port = htons(static_cast<uint16_t>(test::FreePort(SOCK_DGRAM)));
    port = std::to_string(ntohs(daemon.sin_port));
    args = " --ini " + ini + " --listen 127.0.0.1:" + port;
  }
  void TearDown() override {
    if (pid > 0) kill(pid, SIGTERM);
    EXPECT_TRUE(Ended());
    close(client);
    if (master >= 0) close(master), close(slave);
  }
  // Starts the daemon in the background keying port, env before it.
  void Start(const std::string& keyed = "None", const std::string& env = "") {
    std::system(("ORVEX_AUDIO=none ORVEX_KEYER_LOG=" + log + " " + env + " " ORVEX_KEYD_BINARY +
                 args + " --port " + keyed + " >/dev/null 2>" + dir.File("err") + " & echo $! >" +
                 dir.File("pid"))
                    .c_str());
    pid = std::stoi(test::ReadFile(dir.File("pid")));
    for (int i = 0; i < 100 && !test::Contains(Err(), "for loggers on UDP"); ++i)
      std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(test::Contains(Err(), "for loggers on UDP ")) << Err();
  }
  // Keys COM1: a pseudo-terminal whose modem lines the shim plays, their
  // changes in lines, their state now in state.
  void StartOnLines(const std::string& more = "") {
    char name[64];
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    tty = name;
    Start("COM1", "ORVEX_COM1=" + tty + " LD_PRELOAD=" ORVEX_MODEM_SHIM " ORVEX_SHIM_LOG=" + lines +
                      " ORVEX_SHIM_STATE=" + state + " " + more);
  }
  bool Ended() {  // within 5 s; killed otherwise
    for (int i = 0; pid > 0 && i < 500; ++i, std::this_thread::sleep_for(10ms))
      if (kill(pid, 0) != 0) pid = -1;
    if (pid > 0) kill(pid, SIGKILL);
    return pid <= 0;
  }
  void Send(const std::string& bytes) {
    sendto(client, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&daemon),
           sizeof daemon);
  }
  std::string Reply() {  // the next reply; who sent it in from
    pollfd in{client, POLLIN, 0};
    char buf[512];
    socklen_t len = sizeof from;
    const ssize_t n = poll(&in, 1, 10'000) == 1 ? recvfrom(client, buf, sizeof buf, 0,
                                                           reinterpret_cast<sockaddr*>(&from), &len)
                                                : 0;
    return std::string(buf, static_cast<size_t>(std::max<ssize_t>(n, 0)));
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
  // Another Orvex keying through this one, its settings the file far.ini.
  test::ToolResult Far(const std::string& what) {
    return test::RunTool("ORVEX_AUDIO=none " ORVEX_SEND_BINARY " --ini " + dir.File("far.ini") +
                             " --port None " + what,
                         dir);
  }
  std::string Changes() {  // "RTS 1,DTR 1,..." on the port's lines
    std::string what;
    for (const Change& c : Keyed(lines)) what += c.what + ",";
    return what;
  }

  test::TempDir dir;
  std::string ini = dir.File("orvex.ini"), log = dir.File("key.log"), args, port;
  std::string lines = dir.File("lines.log"), state = dir.File("state"), tty;
  int client = -1, master = -1, slave = -1;
  sockaddr_in daemon{}, from{};
  pid_t pid = -1;
};

// PTT held by command and with its lead, and tune, on the port's lines; a
// hold with nothing keyed ends at its limit, counted from the first hold
// however often a logger repeats it, and the log says so. A logger may
// lengthen this station's PTT lead, never shorten it.
TEST_F(Keyd, PttHoldLeadLimitAndTuneOnThePort) {
  test::WriteFile(ini, "CWSpeed=30\r\nCWPttLead=100\r\n");
  args += " --ptt-limit 1";
  StartOnLines();
  Send(Esc("a1"));
  std::this_thread::sleep_for(200ms);
  Send(Esc("a0"));
  Send(Esc("d0"));  // the station's own 100 ms stay
  Send("e");
  Keyed(lines);
  Send(Esc("c1"));
  std::this_thread::sleep_for(1500ms);
  for (int i = 0; i < 5; ++i, std::this_thread::sleep_for(400ms)) Send(Esc("a1"));
  const auto changes = Keyed(lines);
  ASSERT_EQ(Changes(), "RTS 1,RTS 0,RTS 1,DTR 1,DTR 0,RTS 0,RTS 1,DTR 1,DTR 0,RTS 0,RTS 1,RTS 0,");
  EXPECT_NEAR((changes[1].us - changes[0].us) / 1000.0, 200, 50);     // held until released
  EXPECT_NEAR((changes[3].us - changes[2].us) / 1000.0, 100, 3);      // the lead
  EXPECT_NEAR((changes[8].us - changes[7].us) / 1000.0, 1000, 20);    // tune
  EXPECT_NEAR((changes[11].us - changes[10].us) / 1000.0, 1000, 50);  // the limit
  EXPECT_TRUE(test::Contains(Err(), "A logger held PTT on for 1 s without keying anything"));
}

// Another Orvex keying through this one (CWKeyer=Remote): its text, then
// its tune, on this daemon's lines, with this station's own PTT lead.
TEST_F(Keyd, KeysWhatAnotherOrvexHandsItAndTunesForIt) {
  test::WriteFile(ini, "CWSpeed=30\r\nCWPttLead=300\r\n");
  StartOnLines();
  test::WriteFile(dir.File("far.ini"), "CWKeyer=Remote\r\nRemoteKeyer=127.0.0.1:" + port + "\r\n");
  for (const char* what : {"--text E", "--tune 1"}) EXPECT_EQ(Far(what).status, 0) << what;
  const auto changes = Keyed(lines);
  ASSERT_EQ(Changes(), "RTS 1,DTR 1,DTR 0,RTS 0,RTS 1,DTR 1,DTR 0,RTS 0,");
  EXPECT_NEAR((changes[6].us - changes[5].us) / 1000.0, 1000, 20);  // the tune
  // This station's own PTT lead, though the other asks for none.
  EXPECT_NEAR((changes[1].us - changes[0].us) / 1000.0, 300, 5);
}

// Another Orvex through a network that reorders, repeats and loses
// datagrams each way: its text keyed here exactly once and in order.
TEST_F(Keyd, AnotherOrvexIsKeyedOnceAndInOrderWhateverTheNetworkDoes) {
  Start();
  const std::string relay = std::to_string(test::FreePort(SOCK_DGRAM));
  const pid_t relayPid = fork();
  if (relayPid == 0) {
    execl(ORVEX_UDP_RELAY, ORVEX_UDP_RELAY, relay.c_str(), port.c_str(), nullptr);
    _exit(127);
  }
  test::WriteFile(dir.File("far.ini"),
                  "CWKeyer=Remote\r\nCWSpeed=40\r\nRemoteKeyer=127.0.0.1:" + relay + "\r\n");
  const auto sent = Far("--text 'PARIS CQ TEST'");
  kill(relayPid, SIGKILL);
  waitpid(relayPid, nullptr, 0);
  EXPECT_EQ(sent.status, 0) << sent.err;
  // A lost datagram costs a pause, not a letter: the letters, gaps aside.
  std::string letters;
  for (char c : Pattern(Keyed()))
    if (c != '/' && !(c == ' ' && (letters.empty() || letters.back() == ' '))) letters += c;
  EXPECT_EQ(letters, ".--. .- .-. .. ... -.-. --.- - . ... -");
}

// Another device only when it is a serial port; what is refused is not
// touched and the port keying goes on keying; keying is never switched off.
TEST_F(Keyd, AnotherDeviceMustBeASerialPortAndARefusedOneLeavesThePortKeying) {
  StartOnLines();
  test::WriteFile(dir.File("file"), "untouched");
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  for (const std::string& device :
       {dir.File("file"), dir.File("fifo"), std::string("/dev/tty"), std::string("None")})
    Send(Esc("8" + device));
  Send("e");
  EXPECT_EQ(Changes(), "RTS 1,DTR 1,DTR 0,RTS 0,");
  EXPECT_EQ(test::ReadFile(dir.File("file")), "untouched");
  EXPECT_TRUE(test::Contains(Err(), "not a serial port")) << Err();
  EXPECT_TRUE(test::Contains(Err(), "keying is not switched off by request")) << Err();
}

// The port fails (EIO): what a logger sends meanwhile is answered "break",
// never as sent; once the port is back the daemon keys again by itself.
TEST_F(Keyd, AfterThePortFailsRequestsAreAnsweredBreakUntilItIsBack) {
  const std::string broken = dir.File("broken");
  StartOnLines("ORVEX_SHIM_FAIL=" + broken);
  test::WriteFile(broken, "");
  Send("paris");
  std::this_thread::sleep_for(300ms);
  Send("e^");
  EXPECT_EQ(Reply(), "break\r\n");
  std::remove(broken.c_str());
  std::this_thread::sleep_for(2500ms);  // it tries every 2 s
  Send("e^");
  EXPECT_EQ(Reply(), "e\r\n");
  EXPECT_TRUE(test::Contains(Err(), "is back: keying again")) << Err();
}

// Listening beyond this computer needs a list of who may key; replies
// leave from the address the request came to. (Who is on the list is
// tested in-process: net_keyer_test.)
TEST_F(Keyd, AWildcardListenNeedsAllowAnswersFromTheAddressAskedAndDropsTheRest) {
  const auto refused = test::RunTool(
      "ORVEX_AUDIO=none " ORVEX_KEYD_BINARY " --ini " + ini + " --listen 0.0.0.0:" + port, dir);
  EXPECT_EQ(refused.status, 2);
  EXPECT_TRUE(test::Contains(refused.err, "--allow")) << refused.err;
  args = " --ini " + ini + " --listen 0.0.0.0:" + port + " --allow 127.0.0.0/8";
  Start();
  daemon.sin_addr.s_addr = htonl(0x7F000002);  // 127.0.0.2, another address of this host
  Send("e^");
  EXPECT_EQ(Reply(), "e\r\n");
  EXPECT_EQ(ntohl(from.sin_addr.s_addr), 0x7F000002u);  // answered from the address asked
  EXPECT_TRUE(test::Contains(Err(), "from 127.0.0.0/8 only")) << Err();
}

TEST_F(Keyd, ASecondDaemonIsRefusedAnExitIsNotAllowedAndTheCountsComeOnSigterm) {
  Start();
  const auto second = test::RunTool("ORVEX_AUDIO=none " ORVEX_KEYD_BINARY + args, dir);
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err, "orvex-keyd: can't listen for loggers on UDP 127.0.0.1:" + port +
                            ": another program is using that port\n");
  Send(Esc("q"));
  Send(Esc("5"));  // not allowed: counted and ignored
  Send("e");
  Keyed();
  kill(pid, SIGTERM);
  EXPECT_TRUE(Ended());
  EXPECT_TRUE(test::Contains(Err(), "3 requests; 2 malformed, unknown or not allowed ignored"))
      << Err();
}

}  // namespace
}  // namespace orvex
