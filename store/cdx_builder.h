#pragma once
// Building a tag in one pass: scan the records, sort the keys (spilling sorted
// runs to a temporary file when they pass the memory budget), then write the
// leaves and interior pages bottom up.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "store/cdx.h"
#include "store/expr.h"

namespace zol {

// The records a tag is built from. The Work area implements it over its table,
// reading the file in large runs.
class RecordScan {
 public:
  virtual ~RecordScan() = default;
  // The current record's fields; before the first load() they show the
  // Phantom record (blanks), which tells the key type and length.
  virtual const FieldSource& fields() const = 0;
  virtual uint32_t recordCount() const = 0;
  // Makes record `recno` (1-based) current. False stops the build; the read
  // error has been raised by then.
  virtual bool load(uint32_t recno) = 0;
};

struct CdxTagSpec {
  CdxTagSpec() = default;
  CdxTagSpec(std::string n, std::string key, std::string cond = {})
      : name(std::move(n)), keyExpr(std::move(key)), forExpr(std::move(cond)) {}
  std::string name;     // order name; stored as cdxTagName(name)
  std::string keyExpr;
  std::string forExpr;  // empty: every record gets a key
  bool unique = false;  // only the first record of each key
  bool descending = false;
};

struct CdxBuildOptions {
  // Called before the first record, then whenever `interval` records have been
  // scanned since the last call (interval 0: before every record), and once
  // after the scan when records were scanned since the last call. Gets the
  // number of records scanned so far; false stops the scan and the tag keeps
  // the keys of the records scanned until then. An empty table gets no call.
  std::function<bool(uint32_t scanned)> progress;
  uint32_t interval = 0;
  // Memory for keys being sorted; beyond it sorted runs go to `tempPath`
  // (default: the index file's path + ".srt"), removed afterwards.
  size_t memoryBudget = size_t{96} << 20;
  std::string tempPath;
};

struct CdxBuildResult {
  CdxTag* tag = nullptr;  // null when nothing was created (the error was raised)
  KeyType type = KeyType::Character;
  int keyLength = 0;
  uint32_t scanned = 0;
  uint64_t keys = 0;
  bool cancelled = false;
  uint32_t spilledRuns = 0;
};

// Creates tag tagDef.name in `file` from every record of `scan` (1..count,
// Hidden records included), replacing a tag of the same name, whose pages are
// freed. The new tag comes last in the file's tag list. Errors: key and FOR
// text over 510 characters 34/1054; a key that is not character, numeric, date
// or logical, or of length 0, or an expression that does not compile 33/1026;
// a character key over 240 34/1026 (cut to 240).
CdxBuildResult cdxCreateTag(CdxFile& file, const CdxTagSpec& tagDef, RecordScan& scan,
                            const CdxBuildOptions& options = {});

// Builds a tag from (key, record number) pairs given in any order: the lower
// half of cdxCreateTag, for callers that make their own keys.
class CdxTagBuilder {
 public:
  CdxTagBuilder(CdxFile& file, std::string name, std::string keyExpr, std::string forExpr, KeyType type,
                int keyLength, bool unique = false, bool descending = false, size_t memoryBudget = size_t{96} << 20,
                std::string tempPath = {});
  ~CdxTagBuilder();
  // REQUIRES: key.size() == keyLength. False after a failure (raised).
  bool add(std::string_view key, uint32_t recno);
  void reserve(size_t keys);
  // Writes the tag, replacing one of the same name. Null on failure.
  CdxTag* finish();
  uint32_t spilledRuns() const;
  uint64_t keys() const { return added_; }

 private:
  class Sorter;
  CdxFile& file_;
  std::string name_, keyExpr_, forExpr_;
  KeyType type_;
  int keyLen_;
  bool unique_, descending_;
  std::unique_ptr<Sorter> sorter_;
  uint64_t added_ = 0;
  bool failed_ = false;
};

}  // namespace zol
