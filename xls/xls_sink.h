#pragma once
// Where a sheet's bytes go. The disk sink writes a temporary file beside the
// target and renames it over the target only when the sheet is complete, so a
// failed or abandoned sheet never replaces the previous file. The memory sink
// keeps the bytes for tests and benchmarks.
#include <cstddef>
#include <string>

namespace zol {

class XlsSink {
 public:
  virtual ~XlsSink() = default;
  // False once the sink cannot take bytes (not created, or a write failed).
  virtual bool good() const = 0;
  // Appends n bytes; false on failure.
  virtual bool write(const char* data, size_t n) = 0;
  // Makes the written bytes the finished file; false on failure.
  virtual bool commit() = 0;
  // Drops whatever was written.
  virtual void discard() = 0;
  // errno of the first failure, 0 when none.
  virtual int osError() const = 0;
};

class DiskSink : public XlsSink {
 public:
  explicit DiskSink(const std::string& path);
  ~DiskSink() override;
  DiskSink(const DiskSink&) = delete;
  DiskSink& operator=(const DiskSink&) = delete;

  bool good() const override { return fd_ >= 0 && err_ == 0; }
  bool write(const char* data, size_t n) override;
  bool commit() override;
  void discard() override;
  int osError() const override { return err_; }

 private:
  void fail(int err);
  std::string target_;
  std::string temp_;
  int fd_ = -1;
  int err_ = 0;
};

class MemorySink : public XlsSink {
 public:
  bool good() const override { return true; }
  bool write(const char* data, size_t n) override { bytes_.append(data, n); return true; }
  bool commit() override { committed_ = true; return true; }
  void discard() override { bytes_.clear(); }
  int osError() const override { return 0; }
  const std::string& bytes() const { return bytes_; }
  bool committed() const { return committed_; }

 private:
  std::string bytes_;
  bool committed_ = false;
};

}  // namespace zol
