#include "xls_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace zol {

namespace {
mode_t currentUmask() {
  mode_t m = ::umask(022);
  ::umask(m);
  return m;
}
}  // namespace

DiskSink::DiskSink(const std::string& path) : target_(path) {
  if (path.empty()) {
    err_ = ENOENT;
    return;
  }
  // Follow a symbolic link so the rename replaces the file it points to.
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved)) target_ = resolved;

  struct stat st;
  if (::stat(target_.c_str(), &st) == 0) {
    // Replacing by rename would bypass these checks, so make them here.
    if (S_ISDIR(st.st_mode)) {
      err_ = EISDIR;
      return;
    }
    if (::access(target_.c_str(), W_OK) != 0) {
      err_ = errno;
      return;
    }
  }
  size_t slash = target_.rfind('/');
  std::string dir = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  temp_ = dir + "." + base + ".XXXXXX";
  fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    err_ = errno;
    temp_.clear();
    return;
  }
  // mkostemp makes the file private; a sheet gets the usual permissions.
  ::fchmod(fd_, 0666 & ~currentUmask());
}

DiskSink::~DiskSink() { discard(); }

void DiskSink::fail(int err) {
  if (err_ == 0) err_ = err ? err : EIO;
}

bool DiskSink::write(const char* data, size_t n) {
  if (!good()) return false;
  while (n > 0) {
    ssize_t w = ::write(fd_, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      fail(errno);
      return false;
    }
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool DiskSink::commit() {
  if (!good()) {
    discard();
    return false;
  }
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    fail(errno);
    discard();
    return false;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    fail(errno);
    discard();
    return false;
  }
  temp_.clear();
  return true;
}

void DiskSink::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

}  // namespace zol
