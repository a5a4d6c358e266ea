#include "engine/sound/pcspkr_sidetone.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "engine/system/emergency.h"

namespace orvex::engine {
namespace {

bool OffersTones(int fd) {
  unsigned long sounds = 0;
  if (::ioctl(fd, EVIOCGBIT(EV_SND, sizeof sounds), &sounds) < 0) return false;
  return sounds & (1UL << SND_TONE);
}

}  // namespace

Result PcSpeakerSidetone::Open(std::unique_ptr<PcSpeakerSidetone>* opened) {
  std::string candidates[33] = {"/dev/input/by-path/platform-pcspkr-event-spkr"};
  for (int i = 0; i < 32; ++i) candidates[i + 1] = "/dev/input/event" + std::to_string(i);
  int denied = 0;  // a speaker the user may not open: not in group input
  for (const std::string& path : candidates) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno == EACCES) denied = EACCES;
      continue;
    }
    if (OffersTones(fd)) {
      *opened = Adopt(fd, path);
      return {};
    }
    ::close(fd);
  }
  return denied ? Result::Failed(Fault::Open, EACCES, "the PC speaker: join group input")
                : Result::Failed(Fault::Open, ENODEV, "no PC speaker (the pcspkr input device)");
}

std::unique_ptr<PcSpeakerSidetone> PcSpeakerSidetone::Adopt(int fd, std::string device) {
  return std::unique_ptr<PcSpeakerSidetone>(new PcSpeakerSidetone(fd, std::move(device)));
}

PcSpeakerSidetone::~PcSpeakerSidetone() {
  Tone(0);
  emergency::Unregister(registration_);
  ::close(fd_);
}

void PcSpeakerSidetone::Tone(int hz) noexcept {
  const emergency::LineChange change;
  if (!change.Allowed()) hz = 0;  // the process is ending: silence only
  input_event ev{};
  ev.type = EV_SND;
  ev.code = SND_TONE;
  ev.value = hz;
  [[maybe_unused]] ssize_t n = ::write(fd_, &ev, sizeof ev);
}

void PcSpeakerSidetone::SetKey(bool down, int64_t) {
  down_ = down;
  Tone(down ? pitch_ : 0);
}

void PcSpeakerSidetone::SetPitch(int hz) {
  pitch_ = hz;
  if (down_) Tone(hz);  // a pitch change while the key is down is heard at once
}

}  // namespace orvex::engine
