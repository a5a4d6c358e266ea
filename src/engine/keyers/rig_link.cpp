#include "engine/keyers/rig_link.h"

#include <hamlib/rig.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "base/clock.h"
#include "engine/system/emergency.h"
#include "engine/system/guard.h"

namespace orvex::engine {
namespace {

enum Kind { kMorse, kStop, kSpeed };
constexpr int64_t kForever = INT64_MAX;

void QuietHamlib() {
  static std::once_flag once;
  std::call_once(once, [] {
    rig_set_debug(RIG_DEBUG_NONE);
    rig_load_all_backends();
  });
}

// Hamlib's own words ("IO error") after the rig's name, with the nearest
// system error for the status number.
Result HamlibFailure(Fault fault, const std::string& name, int code) {
  std::string words = rigerror2(code);
  while (!words.empty() && (words.back() == '\n' || words.back() == ' ')) words.pop_back();
  const int err = -code == RIG_ETIMEOUT ? ETIMEDOUT : -code == RIG_EIO ? EIO : EPROTO;
  return Result::Failed(fault, err, name + ": " + words);
}

}  // namespace

struct RigLink::Op {
  int kind;
  std::string text;
  int64_t notBeforeNs;
};

struct RigLink::Shared {
  ~Shared() {
    if (wake >= 0) ::close(wake);
  }
  void Wake() const {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake, &one, sizeof one);
  }
  std::mutex mu;
  std::condition_variable changed;
  std::deque<Op> ops;
  bool stop = false, openDone = false, finished = false;
  Result openResult, failure;
  int wake = -1;
  // 0: PTT off; otherwise on until this monotonic time (kForever: until told).
  std::atomic<int64_t> pttUntil{0};
  std::atomic<uint32_t> offAsked{0};  // PTT off requests, each sent to the radio
  std::atomic<int> radioPtt{-1};      // as read back: -1 not known, 0 off, 1 on
  std::atomic<uint64_t> stopsRefused{0};
};

std::string RigModelName(int model) {
  QuietHamlib();
  const rig_caps* caps = rig_get_caps(static_cast<rig_model_t>(model));
  return caps ? caps->model_name : "";
}

namespace {

bool ConnectionLost(int code) {
  return -code == RIG_EIO || -code == RIG_ETIMEOUT || -code == RIG_EPROTO;
}

// The link's thread: every Hamlib call of the link, in order.
class Worker {
 public:
  Worker(std::shared_ptr<RigLink::Shared> s, RigSetup setup, std::string name)
      : s_(std::move(s)), setup_(std::move(setup)), name_(std::move(name)) {}
  void Run();

 private:
  int OpenRig();
  void CloseRig();
  void Fail(int code);
  // A call failed because the connection did: open it again and switch PTT
  // off before anyone is told. False while the radio cannot be reached.
  bool Reconnect();
  // PTT as wanted: a change goes before the next text (PTT on leads it), a
  // stop before PTT off. Every off asked for is sent.
  void SyncPtt(bool stop);
  void ReadBack();
  bool Call(int code);  // true when it went through

  std::shared_ptr<RigLink::Shared> s_;
  const RigSetup setup_;
  const std::string name_;
  RIG* rig_ = nullptr;
  emergency::Registration registration_;
  bool pttIs_ = false;
  bool connected_ = false;
  bool readable_ = true;  // the radio answers a PTT query
  uint32_t offSeen_ = 0;
  int64_t waitNs_ = 0, nextReadNs_ = 0, nextRetryNs_ = 0;
};

int Worker::OpenRig() {
  if (const int code = rig_open(rig_); code != RIG_OK) return code;
  connected_ = true;
  // A rigctld takes a stop and "T 0" from anyone on the connection: the
  // emergency key-up can reach it even from a signal handler; the guard
  // reaches any radio after the program has gone.
  const int socket = setup_.model == 2 ? rig_->state.rigport.fd : -1;
  registration_ =
      emergency::Register(socket, emergency::Kind::Rig, setup_.ownsPtt ? 1 : 0,
                          guard::RigDetail(setup_.model, setup_.port, setup_.baud, setup_.ownsPtt));
  // Whatever an earlier run or a dropped connection left, PTT starts off.
  errno = 0;
  if (setup_.ownsPtt) rig_set_ptt(rig_, RIG_VFO_CURR, RIG_PTT_OFF);
  pttIs_ = false;
  return RIG_OK;
}

void Worker::CloseRig() {
  emergency::Unregister(registration_);
  if (connected_) rig_close(rig_);
  connected_ = false;
  s_->radioPtt = -1;
}

void Worker::Fail(int code) {
  std::lock_guard lock(s_->mu);
  if (s_->failure.ok()) {
    Result failure = HamlibFailure(Fault::Write, name_, code);
    if (ConnectionLost(code) && setup_.ownsPtt && connected_)
      failure =
          failure.Told(failure.text() + " (the connection was opened again and PTT switched off)");
    s_->failure = failure;
  }
  s_->ops.clear();
}

bool Worker::Reconnect() {
  CloseRig();
  errno = 0;
  return OpenRig() == RIG_OK;
}

bool Worker::Call(int code) {
  if (code == RIG_OK) return true;
  if (ConnectionLost(code)) {
    // PTT off first, on a connection of its own (Hamlib's network client
    // takes a quarter of a second to open), then opened again, then the
    // operator is told.
    if (setup_.model == 2 && setup_.ownsPtt) guard::RigctldSafe(setup_.port, true);
    Reconnect();
    if (!connected_) nextRetryNs_ = MonotonicNs() + 500'000'000;
  }
  Fail(code);
  return false;
}

void Worker::SyncPtt(bool stop) {
  const int64_t now = MonotonicNs();
  const int64_t until = s_->pttUntil.load();
  bool failed;
  {
    std::lock_guard lock(s_->mu);
    failed = s_->failure.failed();
  }
  const bool want = !stop && !failed && until != 0 && now < until;
  if (want && until != kForever) waitNs_ = std::min(waitNs_, until - now);
  const uint32_t offs = s_->offAsked.load();
  const bool forced = offs != offSeen_ && !want;
  offSeen_ = offs;
  if ((want == pttIs_ && !forced) || !connected_) return;
  errno = 0;
  pttIs_ = want;
  Call(rig_set_ptt(rig_, RIG_VFO_CURR, want ? RIG_PTT_ON : RIG_PTT_OFF));
  nextReadNs_ = 0;  // read the change back at once
}

void Worker::ReadBack() {
  if (!setup_.ownsPtt || !connected_ || !readable_) return;
  const int64_t now = MonotonicNs();
  if (now < nextReadNs_) {
    waitNs_ = std::min(waitNs_, nextReadNs_ - now);
    return;
  }
  ptt_t ptt = RIG_PTT_OFF;
  errno = 0;
  const int code = rig_get_ptt(rig_, RIG_VFO_CURR, &ptt);
  if (code == -RIG_ENAVAIL || code == -RIG_ENIMPL) {
    readable_ = false;  // a radio that cannot say: the lamp shows what was asked
    return;
  }
  if (!Call(code)) return;
  s_->radioPtt = ptt != RIG_PTT_OFF ? 1 : 0;
  // Often while the transmitter is or should be on; seldom while it rests.
  const bool lively = ptt != RIG_PTT_OFF || pttIs_;
  nextReadNs_ = now + (lively ? 100'000'000 : 500'000'000);
  waitNs_ = std::min(waitNs_, nextReadNs_ - now);
}

void Worker::Run() {
  rig_ = rig_init(static_cast<rig_model_t>(setup_.model));
  Result opened;
  if (!rig_) {
    opened = Result::Failed(Fault::Open, ENODEV,
                            "Hamlib has no rig model " + std::to_string(setup_.model));
  } else {
    auto conf = [this](const char* key, const std::string& value) {
      rig_set_conf(rig_, rig_token_lookup(rig_, key), value.c_str());
    };
    conf("rig_pathname", setup_.port);
    conf("timeout", "1000");  // each call bounded
    conf("retry", "0");
    if (setup_.baud > 0) conf("serial_speed", std::to_string(setup_.baud));
    if (const int code = OpenRig(); code != RIG_OK)
      opened = HamlibFailure(Fault::Open, name_, code);
  }
  {
    std::lock_guard lock(s_->mu);
    s_->openDone = true;
    s_->openResult = opened;
  }
  s_->changed.notify_all();
  if (opened.ok()) {
    for (;;) {
      // The connection to rigctld is watched too: a cut is seen as it
      // happens, not at the next call.
      const int socket = connected_ && setup_.model == 2 ? rig_->state.rigport.fd : -1;
      pollfd p[2] = {{s_->wake, POLLIN, 0}, {socket, POLLRDHUP, 0}};
      ::poll(p, 2, static_cast<int>(std::clamp<int64_t>((waitNs_ + 999'999) / 1'000'000, 0, 1000)));
      uint64_t drained = 0;
      if (p[0].revents & POLLIN) [[maybe_unused]]
        ssize_t n = ::read(s_->wake, &drained, sizeof drained);
      if (p[1].revents & (POLLRDHUP | POLLHUP | POLLERR)) Call(-RIG_EIO);
      waitNs_ = 1'000'000'000;
      bool stop = false;
      {
        std::lock_guard lock(s_->mu);
        stop = s_->stop;
      }
      if (!connected_ && MonotonicNs() >= nextRetryNs_ && !Reconnect())
        nextRetryNs_ = MonotonicNs() + 500'000'000;  // PTT off must get through
      if (!connected_) waitNs_ = std::min<int64_t>(waitNs_, 500'000'000);
      if (stop) {
        SyncPtt(true);
        break;
      }
      for (;;) {  // what is due, in order; a piece may wait for the PTT lead
        // Text or speed goes after the PTT change it may need, and is taken
        // only then, so that a stop meanwhile still drops the text.
        bool afterPtt = false;
        {
          std::lock_guard lock(s_->mu);
          if (s_->ops.empty()) break;
          afterPtt = s_->ops.front().kind != kStop;
        }
        if (afterPtt) SyncPtt(false);
        RigLink::Op op;
        {
          const int64_t now = MonotonicNs();
          std::lock_guard lock(s_->mu);
          if (s_->ops.empty()) break;
          if (s_->ops.front().notBeforeNs > now) {
            waitNs_ = std::min(waitNs_, s_->ops.front().notBeforeNs - now);
            break;
          }
          op = std::move(s_->ops.front());
          s_->ops.pop_front();
        }
        if (!connected_) continue;
        // Hamlib 4.5 reads an answer byte by byte and sleeps 5 ms after each
        // one while errno still says EAGAIN from before (a non-blocking read
        // anywhere on this thread leaves it so): a call would take 40 ms, not 0.2.
        errno = 0;
        int code = RIG_OK;
        if (op.kind == kMorse) {
          code = rig_send_morse(rig_, RIG_VFO_CURR, op.text.c_str());
        } else if (op.kind == kStop) {
          code = rig_stop_morse(rig_, RIG_VFO_CURR);
          if (code == -RIG_ENAVAIL || code == -RIG_ENIMPL) {
            s_->stopsRefused.fetch_add(1);  // it sends what it holds
            code = RIG_OK;
          }
        } else {
          value_t speed{};
          speed.i = std::stoi(op.text);
          code = rig_set_level(rig_, RIG_VFO_CURR, RIG_LEVEL_KEYSPD, speed);
        }
        if (!Call(code)) break;
      }
      SyncPtt(false);
      ReadBack();
    }
    errno = 0;
    if (connected_) rig_stop_morse(rig_, RIG_VFO_CURR);
    CloseRig();
  }
  if (rig_) rig_cleanup(rig_);
  std::lock_guard lock(s_->mu);
  s_->finished = true;
  s_->changed.notify_all();
}

}  // namespace

Result RigLink::Open(const RigSetup& setup, std::unique_ptr<RigLink>* link) {
  QuietHamlib();
  std::string model = RigModelName(setup.model);
  // Hamlib ends the process on a model it does not know: asked first.
  if (model.empty())
    return Result::Failed(Fault::Open, ENODEV,
                          "RigModel " + std::to_string(setup.model) +
                              " is no rig model Hamlib knows (rigctl -l lists them)");
  const std::string name = model + " (" + setup.port + ")";
  auto shared = std::make_shared<Shared>();
  shared->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (shared->wake < 0) return Result::FromErrno(Fault::Open, errno);
  std::thread([shared, setup, name] { Worker(shared, setup, name).Run(); }).detach();
  std::unique_lock lock(shared->mu);
  if (!shared->changed.wait_for(lock, std::chrono::milliseconds(setup.answerMs),
                                [&] { return shared->openDone; })) {
    shared->stop = true;  // it ends when Hamlib gives up
    return Result::Failed(
        Fault::Open, ETIMEDOUT,
        name + ": no answer within " + std::to_string((setup.answerMs + 999) / 1000) + " s");
  }
  if (!shared->openResult.ok()) return shared->openResult;
  link->reset(new RigLink(shared, name, model));
  return {};
}

RigLink::RigLink(std::shared_ptr<Shared> shared, std::string name, std::string model)
    : shared_(std::move(shared)), name_(std::move(name)), model_(std::move(model)) {}

RigLink::~RigLink() {
  std::unique_lock lock(shared_->mu);
  shared_->stop = true;
  shared_->Wake();
  shared_->changed.wait_for(lock, std::chrono::milliseconds(2500),
                            [&] { return shared_->finished; });
}

void RigLink::Post(Op op) {
  {
    std::lock_guard lock(shared_->mu);
    if (shared_->failure.failed()) return;
    // A stop overtakes the text still queued here: only what the radio
    // already holds may go out after it.
    if (op.kind == kStop)
      std::erase_if(shared_->ops, [](const Op& queued) { return queued.kind == kMorse; });
    shared_->ops.push_back(std::move(op));
  }
  shared_->Wake();
}

void RigLink::SendMorse(const std::string& text, int64_t notBeforeNs) {
  Post({kMorse, text, notBeforeNs});
}

void RigLink::StopMorse() {
  Post({kStop, {}, 0});
}

void RigLink::SetSpeed(int wpm) {
  Post({kSpeed, std::to_string(wpm), 0});
}

void RigLink::Ptt(bool on) noexcept {
  shared_->pttUntil.store(on ? kForever : 0);
  if (!on) shared_->offAsked.fetch_add(1);
  shared_->Wake();
}

void RigLink::PttUntil(int64_t offAtNs) {
  shared_->pttUntil.store(offAtNs);
  shared_->Wake();
}

bool RigLink::PttOn() const {
  const int64_t until = shared_->pttUntil.load();
  return until != 0 && MonotonicNs() < until;
}

uint64_t RigLink::StopsRefused() const {
  return shared_->stopsRefused.load();
}

std::optional<bool> RigLink::RadioPtt() const {
  const int ptt = shared_->radioPtt.load();
  if (ptt < 0) return std::nullopt;
  return ptt != 0;
}

Result RigLink::Failure() const {
  std::lock_guard lock(shared_->mu);
  return shared_->failure;
}

}  // namespace orvex::engine
