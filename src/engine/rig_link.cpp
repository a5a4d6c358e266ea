#include "engine/rig_link.h"

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
#include "engine/emergency.h"

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
};

std::string RigModelName(int model) {
  QuietHamlib();
  const rig_caps* caps = rig_get_caps(static_cast<rig_model_t>(model));
  return caps ? caps->model_name : "";
}

namespace {

void Work(std::shared_ptr<RigLink::Shared> s, RigSetup setup, std::string name) {
  RIG* rig = rig_init(static_cast<rig_model_t>(setup.model));
  Result opened;
  if (!rig) {
    opened = Result::Failed(Fault::Open, ENODEV,
                            "Hamlib has no rig model " + std::to_string(setup.model));
  } else {
    auto conf = [rig](const char* key, const std::string& value) {
      rig_set_conf(rig, rig_token_lookup(rig, key), value.c_str());
    };
    conf("rig_pathname", setup.port);
    conf("timeout", "1000");  // each call bounded
    conf("retry", "0");
    if (setup.baud > 0) conf("serial_speed", std::to_string(setup.baud));
    if (const int code = rig_open(rig); code != RIG_OK)
      opened = HamlibFailure(Fault::Open, name, code);
  }
  {
    std::lock_guard lock(s->mu);
    s->openDone = true;
    s->openResult = opened;
  }
  s->changed.notify_all();
  if (!opened.ok()) {
    if (rig) rig_cleanup(rig);
    std::lock_guard lock(s->mu);
    s->finished = true;
    s->changed.notify_all();
    return;
  }
  // A rigctld takes "T 0" from anyone on the connection: the emergency
  // key-up can drop PTT over it even from a signal handler.
  const int socket = setup.model == 2 ? rig->state.rigport.fd : -1;
  if (socket >= 0) emergency::Register(socket, emergency::Kind::Rigctld);
  bool pttIs = false;
  auto fail = [&](int code) {
    std::lock_guard lock(s->mu);
    if (s->failure.ok()) s->failure = HamlibFailure(Fault::Write, name, code);
    s->ops.clear();
  };
  int64_t waitNs = 0;
  // PTT falls at its time here, whether or not anyone looks at the keyer.
  // A change goes before the next text (PTT on leads it); a stop goes
  // before PTT off, which Hamlib follows with a wait of its own.
  auto syncPtt = [&](bool stop, int64_t now) {
    const int64_t until = s->pttUntil.load();
    const bool want = !stop && until != 0 && now < until;
    if (want && until != kForever) waitNs = std::min(waitNs, until - now);
    if (want == pttIs) return;
    errno = 0;
    if (const int code = rig_set_ptt(rig, RIG_VFO_CURR, want ? RIG_PTT_ON : RIG_PTT_OFF);
        code != RIG_OK)
      fail(code);
    pttIs = want;
  };
  for (;;) {
    pollfd p{s->wake, POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(std::clamp<int64_t>((waitNs + 999'999) / 1'000'000, 0, 1000)));
    uint64_t drained = 0;
    if (p.revents & POLLIN) [[maybe_unused]]
      ssize_t n = ::read(s->wake, &drained, sizeof drained);
    waitNs = 1'000'000'000;
    bool stop = false;
    {
      std::lock_guard lock(s->mu);
      stop = s->stop;
    }
    if (stop) {
      syncPtt(true, MonotonicNs());
      break;
    }
    for (;;) {  // what is due, in order; a piece may wait for the PTT lead
      // Text or speed goes after the PTT change it may need, and is taken
      // only then, so that a stop meanwhile still drops the text.
      bool afterPtt = false;
      {
        std::lock_guard lock(s->mu);
        if (s->ops.empty()) break;
        afterPtt = s->ops.front().kind != kStop;
      }
      if (afterPtt) syncPtt(false, MonotonicNs());
      RigLink::Op op;
      {
        const int64_t now = MonotonicNs();
        std::lock_guard lock(s->mu);
        if (s->ops.empty()) break;
        if (s->ops.front().notBeforeNs > now) {
          waitNs = std::min(waitNs, s->ops.front().notBeforeNs - now);
          break;
        }
        op = std::move(s->ops.front());
        s->ops.pop_front();
      }
      // Hamlib 4.5 reads an answer byte by byte and sleeps 5 ms after each
      // one while errno still says EAGAIN from before (a non-blocking read
      // anywhere on this thread leaves it so): a call would take 40 ms, not 0.2.
      errno = 0;
      int code = RIG_OK;
      if (op.kind == kMorse) {
        code = rig_send_morse(rig, RIG_VFO_CURR, op.text.c_str());
      } else if (op.kind == kStop) {
        code = rig_stop_morse(rig, RIG_VFO_CURR);
        if (code == -RIG_ENAVAIL || code == -RIG_ENIMPL) code = RIG_OK;  // it tried
      } else {
        value_t speed{};
        speed.i = std::stoi(op.text);
        code = rig_set_level(rig, RIG_VFO_CURR, RIG_LEVEL_KEYSPD, speed);
      }
      if (code != RIG_OK) {
        fail(code);
        break;
      }
    }
    syncPtt(false, MonotonicNs());
  }
  errno = 0;
  rig_stop_morse(rig, RIG_VFO_CURR);
  if (socket >= 0) emergency::Unregister(socket);
  rig_close(rig);
  rig_cleanup(rig);
  std::lock_guard lock(s->mu);
  s->finished = true;
  s->changed.notify_all();
}

}  // namespace

Result RigLink::Open(const RigSetup& setup, std::unique_ptr<RigLink>* link) {
  QuietHamlib();
  std::string model = RigModelName(setup.model);
  if (model.empty()) model = "rig model " + std::to_string(setup.model);
  const std::string name = model + " (" + setup.port + ")";
  auto shared = std::make_shared<Shared>();
  shared->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (shared->wake < 0) return Result::FromErrno(Fault::Open, errno);
  std::thread(Work, shared, setup, name).detach();
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

Result RigLink::Failure() const {
  std::lock_guard lock(shared_->mu);
  return shared_->failure;
}

}  // namespace orvex::engine
