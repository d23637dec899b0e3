#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zol {

namespace {

int mapErrno(int e) {
  switch (e) {
    case ENOENT: return OsErr::FileNotFound;
    case ENOTDIR: return OsErr::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return OsErr::AccessDenied;
    case EWOULDBLOCK: return OsErr::SharingViolation;
    case ENOSPC: return OsErr::DiskFull;
    default: return OsErr::Generic;
  }
}

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }  // closing releases the flock

  size_t readAt(uint64_t offset, void* buf, size_t n) override {
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pread(fd_, static_cast<char*>(buf) + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        err_ = mapErrno(errno);
        break;
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    return done;
  }
  size_t writeAt(uint64_t offset, const void* buf, size_t n) override {
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pwrite(fd_, static_cast<const char*>(buf) + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        err_ = mapErrno(errno);
        break;
      }
      if (r == 0) {
        err_ = OsErr::DiskFull;
        break;
      }
      done += static_cast<size_t>(r);
    }
    return done;
  }
  uint64_t size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
      err_ = mapErrno(errno);
      return 0;
    }
    return static_cast<uint64_t>(st.st_size);
  }
  bool truncate(uint64_t size) override {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
      err_ = mapErrno(errno);
      return false;
    }
    return true;
  }
  bool flush() override { return true; }  // the OS cache is the engine's commit point
  int osError() const override { return err_; }

 private:
  int fd_;
  int err_ = 0;
};

class PosixFileSystem : public FileSystem {
 public:
  std::unique_ptr<File> open(const std::string& path, OpenMode mode, bool exclusive, int& osError) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::ReadOnly: flags |= O_RDONLY; break;
      case OpenMode::ReadWrite: flags |= O_RDWR; break;
      case OpenMode::CreateTruncate: flags |= O_RDWR | O_CREAT; break;
    }
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
      osError = mapErrno(errno);
      return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      osError = OsErr::AccessDenied;
      return nullptr;
    }
    if (exclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      osError = errno == EWOULDBLOCK ? OsErr::SharingViolation : mapErrno(errno);
      ::close(fd);
      return nullptr;
    }
    // Truncate only once the lock is ours, never under another process's feet.
    if (mode == OpenMode::CreateTruncate && ::ftruncate(fd, 0) != 0) {
      osError = mapErrno(errno);
      ::close(fd);
      return nullptr;
    }
    osError = 0;
    return std::make_unique<PosixFile>(fd);
  }
  bool exists(const std::string& path) override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }
  bool remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }
  bool rename(const std::string& from, const std::string& to) override {
    return ::rename(from.c_str(), to.c_str()) == 0;
  }
};

class FaultFile : public File {
 public:
  FaultFile(std::unique_ptr<File> inner, FaultFileSystem& fs) : inner_(std::move(inner)), fs_(fs) {}
  size_t readAt(uint64_t offset, void* buf, size_t n) override {
    if (fs_.readLimit_ >= 0) {
      if (static_cast<int64_t>(offset) >= fs_.readLimit_) {
        err_ = OsErr::Generic;
        return 0;
      }
      size_t room = static_cast<size_t>(fs_.readLimit_ - static_cast<int64_t>(offset));
      if (n > room) {
        err_ = OsErr::Generic;
        return inner_->readAt(offset, buf, room);
      }
    }
    return inner_->readAt(offset, buf, n);
  }
  size_t writeAt(uint64_t offset, const void* buf, size_t n) override {
    if (fs_.writeBudget_ >= 0) {
      size_t allowed = static_cast<size_t>(std::min<int64_t>(fs_.writeBudget_, static_cast<int64_t>(n)));
      fs_.writeBudget_ -= static_cast<int64_t>(allowed);
      size_t w = allowed ? inner_->writeAt(offset, buf, allowed) : 0;
      if (w < n) err_ = OsErr::DiskFull;
      return w;
    }
    return inner_->writeAt(offset, buf, n);
  }
  uint64_t size() override { return inner_->size(); }
  bool truncate(uint64_t size) override {
    if (fs_.writeBudget_ == 0) {
      err_ = OsErr::DiskFull;
      return false;
    }
    return inner_->truncate(size);
  }
  bool flush() override { return inner_->flush(); }
  int osError() const override { return err_ ? err_ : inner_->osError(); }

 private:
  std::unique_ptr<File> inner_;
  FaultFileSystem& fs_;
  int err_ = 0;
};

}  // namespace

FileSystem& realFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

std::unique_ptr<File> FaultFileSystem::open(const std::string& path, OpenMode mode, bool exclusive,
                                            int& osError) {
  if (!failOpen_.empty() && path.find(failOpen_) != std::string::npos) {
    osError = failOpenErr_;
    return nullptr;
  }
  auto f = inner_.open(path, mode, exclusive, osError);
  if (!f) return nullptr;
  return std::make_unique<FaultFile>(std::move(f), *this);
}

void splitPath(const std::string& path, std::string& dir, std::string& file) {
  size_t p = path.find_last_of("/\\");
  if (p == std::string::npos) {
    dir.clear();
    file = path;
  } else {
    dir = path.substr(0, p + 1);
    file = path.substr(p + 1);
  }
}

std::string resolveInDir(const std::string& dir, const std::string& name) {
  std::string d = dir.empty() ? "./" : dir;
  std::string exact = d + name;
  struct stat st;
  if (::stat(exact.c_str(), &st) == 0) return dir + name;
  if (DIR* dd = ::opendir(d.c_str())) {
    std::string found;
    while (dirent* e = ::readdir(dd)) {
      if (::strcasecmp(e->d_name, name.c_str()) == 0) {
        found = e->d_name;
        break;
      }
    }
    ::closedir(dd);
    if (!found.empty()) return dir + found;
  }
  std::string lower = name;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return dir + lower;
}

std::string pathStem(const std::string& path) {
  std::string dir, file;
  splitPath(path, dir, file);
  size_t dot = file.find_last_of('.');
  if (dot != std::string::npos) file.resize(dot);
  return file;
}

std::string resolvePath(const std::string& path) {
  std::string dir, file;
  splitPath(path, dir, file);
  return resolveInDir(dir, file);
}

}  // namespace zol
