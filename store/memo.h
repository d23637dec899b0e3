#pragma once
// The memo file (.fpt) of a table: texts in runs of 64-byte blocks, freed runs
// kept in a free-block list that later writes reuse.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/file_io.h"

namespace zol {

class MemoFile {
 public:
  static constexpr uint32_t kHeaderSize = 1024;
  static constexpr uint32_t kBlockSize = 64;

  struct Run {
    uint32_t start = 0;  // block number
    uint32_t length = 0;  // in blocks
    friend bool operator==(const Run&, const Run&) = default;
  };

  // Writes a new memo file holding the header alone. Raises the create error
  // (driver code 1005) on failure and returns false.
  static bool create(FileSystem& fs, const std::string& path);
  // Opens an existing memo file. Raises the open error (1002) or the
  // corruption error for a bad header; returns null then.
  static std::unique_ptr<MemoFile> open(FileSystem& fs, const std::string& path, bool readOnly);

  // Reads the text at `block`; block 0 is the empty text. A run past the end
  // of the file raises the read error and gives the empty text (returns false).
  bool read(uint32_t block, std::string& text);
  // Frees the run at `oldBlock` (0 = none) and stores `text`; `newBlock` gets
  // the run's first block, 0 for the empty text. Raises the write error on failure.
  bool write(uint32_t oldBlock, std::string_view text, uint32_t& newBlock);
  // Writes the header (cutting the file after the last run when it shrank).
  bool flush();

  uint32_t blockSize() const { return blockSize_; }
  uint32_t nextFree() const { return nextFree_; }
  // Free runs, sorted by length then start. Only tracked in files that carry
  // our free-list extension; other memo files just leave freed runs unused.
  const std::vector<Run>& freeRuns() const { return free_; }
  bool hasFreeListExtension() const { return extension_; }
  // Runs holding the stored free list and its copy (length 0 when not stored).
  Run listRun() const { return listRun_; }
  Run listCopyRun() const { return copyRun_; }
  const std::string& path() const { return path_; }
  File& file() { return *file_; }

  // Length in blocks of a run holding `bytes` bytes of data.
  uint32_t blocksFor(uint64_t bytes) const {
    return static_cast<uint32_t>((bytes + 8 + blockSize_ - 1) / blockSize_);
  }

 private:
  MemoFile() = default;
  bool readFreeList();
  void freeRun(uint32_t start, uint32_t length);
  bool takeRun(uint32_t need, uint32_t& start);
  bool storeFreeList();
  bool writeFreeMarker(const Run& r);
  bool writeAt(uint64_t offset, const void* buf, size_t n);
  bool writeHeader();
  void insertSorted(Run r);

  std::unique_ptr<File> file_;
  std::string path_;
  bool readOnly_ = false;
  uint32_t blockSize_ = kBlockSize;
  uint32_t nextFree_ = kHeaderSize / kBlockSize;
  bool extension_ = false;
  std::vector<Run> free_;
  Run listRun_{}, copyRun_{};
  uint32_t counter_ = 0;
  bool listDirty_ = false;
  bool headerDirty_ = false;
  uint64_t cutAt_ = 0;  // file length to cut to at the next header write, 0 = none
};

}  // namespace zol
