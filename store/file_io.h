#pragma once
// The one door through which the engine touches files. The real implementation
// talks to the OS; FaultFileSystem wraps it to fail writes after N bytes or cut
// reads short, so error paths are tested instead of hoped for.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zol {

class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes at offset; returns the count read (short at end of file
  // or on failure). `osError()` tells a failure from the end of the file.
  virtual size_t readAt(uint64_t offset, void* buf, size_t n) = 0;
  // Writes n bytes at offset; returns the count written (short on failure).
  virtual size_t writeAt(uint64_t offset, const void* buf, size_t n) = 0;
  virtual uint64_t size() = 0;
  virtual bool truncate(uint64_t size) = 0;
  virtual bool flush() = 0;
  // OS error code of the last failed call, 0 when none.
  virtual int osError() const = 0;
};

enum class OpenMode {
  ReadOnly,         // existing file, reads only
  ReadWrite,        // existing file
  CreateTruncate,   // new or emptied file, read and write
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens a file. `exclusive` takes an advisory lock that other processes
  // respect; when the file is held elsewhere the open fails with osError 32.
  // On failure returns null and sets `osError` (never 0 on failure).
  virtual std::unique_ptr<File> open(const std::string& path, OpenMode mode, bool exclusive,
                                     int& osError) = 0;
  virtual bool exists(const std::string& path) = 0;
  virtual bool remove(const std::string& path) = 0;
  virtual bool rename(const std::string& from, const std::string& to) = 0;
};

// The process's real file system.
FileSystem& realFileSystem();

// OS error codes the engine reports, in the numbering users and support know.
namespace OsErr {
constexpr int FileNotFound = 2;
constexpr int PathNotFound = 3;
constexpr int AccessDenied = 5;
constexpr int SharingViolation = 32;
constexpr int DiskFull = 112;
constexpr int Generic = 31;
}  // namespace OsErr

// Wraps another file system and injects faults into the files it opens.
class FaultFileSystem : public FileSystem {
 public:
  explicit FaultFileSystem(FileSystem& inner) : inner_(inner) {}
  // After this many more bytes written (over all files), writes fail. -1 = never.
  void failWritesAfter(int64_t bytes) { writeBudget_ = bytes; }
  // Reads at or beyond this file offset return nothing (simulating a short read). -1 = never.
  void shortReadsFrom(int64_t offset) { readLimit_ = offset; }
  // Opens whose path contains this text fail with the given OS error.
  void failOpens(const std::string& pathPart, int osError) { failOpen_ = pathPart; failOpenErr_ = osError; }
  void reset() { writeBudget_ = -1; readLimit_ = -1; failOpen_.clear(); }

  std::unique_ptr<File> open(const std::string& path, OpenMode mode, bool exclusive,
                             int& osError) override;
  bool exists(const std::string& path) override { return inner_.exists(path); }
  bool remove(const std::string& path) override { return inner_.remove(path); }
  bool rename(const std::string& from, const std::string& to) override { return inner_.rename(from, to); }

  int64_t writeBudget_ = -1;
  int64_t readLimit_ = -1;

 private:
  FileSystem& inner_;
  std::string failOpen_;
  int failOpenErr_ = 0;
};

// Finds `name` inside `dir` ignoring case (MAEART.DBF finds maeart.dbf). When no
// such file exists, returns dir + the name in lower case, the name new files get.
// `dir` ends with a separator.
std::string resolveInDir(const std::string& dir, const std::string& name);

// Splits "dir/NAME.ext" into the directory (with separator) and the file name.
void splitPath(const std::string& path, std::string& dir, std::string& file);

// The file name without directory and extension ("/d/MAEART.DBF" -> "MAEART").
std::string pathStem(const std::string& path);

// Resolves a full path case-insensitively in its directory (see resolveInDir).
std::string resolvePath(const std::string& path);

}  // namespace zol
