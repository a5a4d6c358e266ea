#include "base/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace orvex {
namespace {

std::string DirectoryOf(const std::string& path) {
  std::vector<char> buf(path.begin(), path.end());
  buf.push_back('\0');
  return dirname(buf.data());
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Overwrites the file itself with bytes, already whole in memory. Should
// the writing fail half way, the old contents are written back, so the
// file is never left half old and half new when the disk allows otherwise.
Result RewriteInPlace(const std::string& path, std::string_view bytes) {
  std::string old;
  if (const Result read = ReadWholeFile(path, old); !read.ok())
    return Result::Failed(Fault::Open, read.failed() ? read.error() : ENOENT);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return Result::Failed(Fault::Open, errno);
  auto put = [fd](std::string_view what) {
    return ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, what) &&
           ::ftruncate(fd, static_cast<off_t>(what.size())) == 0 && ::fsync(fd) == 0;
  };
  if (put(bytes)) return ::close(fd) == 0 ? Result::Ok() : Result::Failed(Fault::Write, errno);
  const int err = errno;
  put(old);
  ::close(fd);
  return Result::Failed(Fault::Write, err);
}

}  // namespace

Result OpenRegularFile(const std::string& path, int* fd) {
  // Without blocking: opening a pipe would wait for a writer for ever.
  *fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (*fd < 0) return Result::FromErrno(Fault::Open, errno);
  struct stat st;
  if (::fstat(*fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(*fd);
    *fd = -1;
    return Result::FromErrno(Fault::Open, S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile);
  }
  ::fcntl(*fd, F_SETFL, ::fcntl(*fd, F_GETFL) & ~O_NONBLOCK);
  return Result::Ok();
}

Result ReadWholeFile(const std::string& path, std::string& bytes) {
  auto fail = [](Fault fault, int err) { return Result::Failed(fault, err); };
  int fd = -1;
  if (const Result opened = OpenRegularFile(path, &fd); !opened.ok()) {
    struct stat st;
    // "No such file" covers a missing directory too; only a missing file in
    // an existing directory is the harmless first-run case.
    if (opened.error() == ENOENT && ::stat(DirectoryOf(path).c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode))
      return Result::Missing();
    return opened;
  }
  bytes.clear();
  char buf[65536];
  while (true) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      return fail(Fault::Read, err);
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
    if (static_cast<long long>(bytes.size()) > kMaxWholeFile) {
      ::close(fd);
      return fail(Fault::Read, EFBIG);
    }
  }
  ::close(fd);
  return Result::Ok();
}

Result WriteNewFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return Result::Failed(Fault::Open, errno);
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  const int err = errno;
  ::close(fd);
  if (written) return Result::Ok();
  ::unlink(path.c_str());
  return Result::Failed(Fault::Write, err);
}

void RemoveStaleTemporaries(const std::string& path, int olderThanSeconds) {
  const std::string dir = DirectoryOf(path);
  const std::string prefix = path.substr(path.rfind('/') + 1) + ".tmp-";
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  const time_t now = ::time(nullptr);
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    struct stat st;
    const std::string full = dir + "/" + name;
    // Only our own leftovers: regular files, old enough that no writer
    // is still busy with them.
    if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        now - st.st_mtime >= olderThanSeconds)
      ::unlink(full.c_str());
  }
  ::closedir(d);
}

// Where a replacement of path goes: the file a symbolic link points at
// (made there when the link dangles), its permissions, and whether it is a
// pipe or a device to be written straight through instead.
static Result ResolveTarget(const std::string& path, std::string* target, mode_t* mode,
                            bool* through) {
  *target = path;
  *mode = 0644;
  *through = path == "-";
  if (*through) return Result::Ok();
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      *target = real;
      std::free(real);
    } else {
      // A link to nothing yet: the file is made where it points, and the
      // link stays a link.
      char link[4096];
      const ssize_t n = ::readlink(path.c_str(), link, sizeof link - 1);
      if (n > 0) {
        link[n] = '\0';
        *target = link[0] == '/' ? std::string(link) : DirectoryOf(path) + "/" + link;
      }
    }
  }
  if (::stat(target->c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Result::Failed(Fault::Open, EISDIR);
    // A pipe or a device (/dev/null, a FIFO a player reads) is written
    // straight through; renaming a file over it would replace the node.
    *through = !S_ISREG(st.st_mode);
    *mode = st.st_mode & 07777;
  }
  return Result::Ok();
}

Result ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  FileReplacement file;
  Result result = file.Open(path);
  // A directory we may not write to, around a file we may: rewrite the
  // file in place instead.
  if (result.failed() && result.fault() == Fault::Open &&
      (result.error() == EACCES || result.error() == EPERM) &&
      ::access(file.Target().c_str(), W_OK) == 0)
    return RewriteInPlace(file.Target(), bytes);
  if (result.ok()) result = file.Write(bytes);
  return result.ok() ? file.Commit() : result;
}

FileReplacement::~FileReplacement() {
  if (fd_ < 0) return;
  ::close(fd_);
  if (!through_) ::unlink(temp_.c_str());  // never committed: nothing replaced
}

Result FileReplacement::Open(const std::string& path) {
  mode_t mode;
  if (const Result resolved = ResolveTarget(path, &target_, &mode, &through_); !resolved.ok())
    return resolved;
  if (through_) {
    fd_ = target_ == "-" ? ::dup(1) : ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    return fd_ >= 0 ? Result::Ok() : Result::Failed(Fault::Open, errno);
  }
  temp_ = target_ + ".tmp-XXXXXX";
  fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
  if (fd_ < 0) return Result::Failed(Fault::Open, errno);
  if (::fchmod(fd_, mode) != 0) return Result::Failed(Fault::Open, errno);
  return Result::Ok();
}

Result FileReplacement::Write(std::string_view bytes) {
  return fd_ >= 0 && WriteAll(fd_, bytes) ? Result::Ok()
                                          : Result::Failed(Fault::Write, fd_ < 0 ? EBADF : errno);
}

Result FileReplacement::Commit() {
  if (fd_ < 0) return Result::Failed(Fault::Write, EBADF);
  const int fd = fd_;
  fd_ = -1;
  const bool synced = through_ || ::fsync(fd) == 0;
  const int err = errno;
  if (::close(fd) != 0 || !synced) {
    const int closeErr = synced ? errno : err;
    if (!through_) ::unlink(temp_.c_str());
    return Result::Failed(Fault::Write, closeErr);
  }
  if (through_) return Result::Ok();
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    const int renameErr = errno;
    ::unlink(temp_.c_str());
    return Result::Failed(Fault::Write, renameErr);
  }
  // Make the rename itself durable.
  const int dir = ::open(DirectoryOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return Result::Ok();
}

}  // namespace orvex
