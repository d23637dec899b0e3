#pragma once
// A table file (.dbf): header, field descriptors and fixed-length records.
// Reads go through a block cache and appends collect in a tail buffer, so a
// full scan or a bulk append costs a handful of system calls, not one per record.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/dbf_types.h"
#include "store/file_io.h"
#include "store/memo.h"

namespace zol {

class DbfFile {
 public:
  static constexpr int kMaxFields = 255;

  // Writes a new empty table (and its memo file when a memo field exists).
  // Raises the create error and returns false on failure.
  static bool create(FileSystem& fs, const std::string& path, const Structure& structure);
  // Opens a table. Raises the open error (retried when the handler asks) or
  // the corruption/read error; returns null on failure.
  static std::unique_ptr<DbfFile> open(FileSystem& fs, const std::string& path, bool shared,
                                       bool readOnly);
  ~DbfFile();

  const std::string& path() const { return path_; }
  const std::vector<FieldDesc>& fields() const { return fields_; }
  uint32_t recCount() const { return recCount_; }
  int recordLength() const { return recLen_; }
  int headerLength() const { return hdrLen_; }
  unsigned char version() const { return header_[0]; }
  bool shared() const { return shared_; }
  bool readOnly() const { return readOnly_; }
  bool hasIndexFlag() const { return header_[28] != 0; }
  void setIndexFlag(bool on);
  MemoFile* memo() { return memo_.get(); }
  // 0-based index of a field by name (case-insensitive), -1 when absent.
  int fieldIndex(std::string_view name) const;

  // Reads record `recno` (1-based) into buf (recordLength bytes). A record
  // missing from the file raises the read error and returns false.
  bool readRecord(uint32_t recno, char* buf);
  // Writes record `recno`, an existing or an appended one.
  bool writeRecord(uint32_t recno, const char* buf);
  // Appends a record; returns its number, 0 on failure.
  uint32_t appendRecord(const char* buf);

  // Writes pending appends and the header when needed (with the end-of-file
  // byte rule): on close after any change, on commit when the count changed.
  bool flush(bool closing);
  // Removes records flagged deleted, keeping the order of the others.
  bool pack();
  // Removes every record and starts a new empty memo file.
  bool zap();

 private:
  DbfFile() = default;
  bool loadHeader();
  bool flushTail();
  bool writeHeader();
  bool checkWritable();
  void dropCache() { cacheCount_ = 0; }

  FileSystem* fs_ = nullptr;
  std::unique_ptr<File> file_;
  std::unique_ptr<MemoFile> memo_;
  std::string path_;
  bool shared_ = false;
  bool readOnly_ = false;
  unsigned char header_[32] = {};
  std::vector<FieldDesc> fields_;
  int hdrLen_ = 0;
  int recLen_ = 0;
  uint32_t recCount_ = 0;   // records including the pending tail
  uint32_t diskCount_ = 0;  // records already in the file
  bool changed_ = false;       // something was written since the last header write
  bool countChanged_ = false;  // the record count or the header bytes moved
  // read cache: records [cacheFirst_, cacheFirst_ + cacheCount_)
  std::vector<char> cache_;
  uint32_t cacheFirst_ = 0;
  uint32_t cacheCount_ = 0;
  // appended records not yet in the file: diskCount_+1 .. recCount_
  std::vector<char> tail_;
};

}  // namespace zol
