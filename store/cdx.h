#pragma once
// Compound index files (.cdx): several tags in one file of 512-byte pages. A
// CdxFile owns the file, a page cache and its tags; a CdxTag is one ordered set
// of (key, record number) entries; a CdxCursor walks and seeks one tag.
//
// Failures are raised through the error hook (subsystem "DBFCDX"): open 21/1003,
// create 20/1006, read 23/1010, write 24/1011, corruption 32/1012. Operations
// then answer false / null; nothing crashes or loops on a damaged file.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/cdx_page.h"
#include "store/file_io.h"
#include "store/key.h"

namespace zol {

class CdxFile;
class CdxCursor;

// Option byte bits of a tag header.
namespace CdxOption {
constexpr uint8_t Unique = 0x01;
constexpr uint8_t Temporary = 0x02;
constexpr uint8_t Custom = 0x04;
constexpr uint8_t HasFor = 0x08;
constexpr uint8_t Compact = 0x20;
constexpr uint8_t Compound = 0x40;
constexpr uint8_t Structure = 0x80;
}  // namespace CdxOption

// The tag name an order name gives: upper case, trailing blanks removed, cut to
// its first 10 characters.
std::string cdxTagName(std::string_view orderName);

class CdxTag {
 public:
  enum class Edit { Done, Unchanged, Failed };

  const std::string& name() const { return name_; }
  const std::string& keyExpr() const { return keyExpr_; }
  const std::string& forExpr() const { return forExpr_; }
  int keyLength() const { return keyLen_; }
  uint8_t options() const { return options_; }
  bool unique() const { return options_ & CdxOption::Unique; }
  bool descending() const { return descending_; }
  bool caseFolded() const { return caseFolded_; }
  uint32_t headerOffset() const { return header_; }
  uint32_t rootOffset() const { return root_; }
  CdxFile& file() { return *file_; }

  // The key type decides the pad byte leaves drop. A file does not record it,
  // so a tag opened from disk reads as Character until the owner, having
  // evaluated the Key expression, says otherwise. Call before reading keys.
  KeyType keyType() const { return type_; }
  void setKeyType(KeyType t);

  // Adds an entry. REQUIRES: key.size() == keyLength(). Unchanged when the
  // entry is already there (or, in a unique tag, the key is).
  Edit insert(std::string_view key, uint32_t recno);
  // Removes an entry; Unchanged when it is not there.
  Edit remove(std::string_view key, uint32_t recno);
  // Number of entries; false on a damaged tree.
  bool keyCount(uint64_t& count);
  // 1-based position of the entry (key, recno), counting every entry before it;
  // 0 when absent. Uses cached per-page counts, so repeated calls stay cheap.
  uint64_t position(std::string_view key, uint32_t recno);
  // Calls fn for every entry in order until it returns false. False on damage.
  bool forEach(const std::function<bool(std::string_view key, uint32_t recno)>& fn);

  // Bumped by every change, so cursors know to find their place again.
  uint64_t version() const { return version_; }

 private:
  friend class CdxFile;
  friend class CdxCursor;
  friend class CdxTreeWriter;
  struct Step {
    uint32_t off;
    int idx;
  };

  CdxTag(CdxFile* file, uint32_t header, const cdxpage::TagHeader& h, std::string name);
  // Descends to the leaf that holds the first entry >= (key[0..len), recno);
  // with `useRec` false only the key prefix counts. Fills `path` with the
  // interior steps.
  bool descend(const uint8_t* key, size_t len, uint32_t recno, bool useRec, std::vector<Step>& path,
               uint32_t& leaf);
  bool descendEdge(bool last, uint32_t& leaf);
  // A tree page checked for its place, attribute and key count; null after
  // raising the corruption error. `keys` is set for interior pages.
  const uint8_t* treePage(uint32_t off, bool& leaf, int& keys);
  bool loadNode(uint32_t off, cdxpage::Node& node);
  bool storeNode(const cdxpage::Node& node, int from, int to, uint16_t attr, uint32_t left, uint32_t right,
                 uint32_t off);
  bool setRoot(uint32_t off);
  bool fixSeparators(const std::vector<Step>& path, size_t level, const uint8_t* key, uint32_t rec);
  bool insertPieces(std::vector<Step>& path, size_t level, cdxpage::Node& node, bool appendSplit);
  bool removeChild(std::vector<Step>& path, size_t level);
  bool mergeWithRight(std::vector<Step>& path, size_t level, cdxpage::Node& node);
  bool setLeftLink(uint32_t page, uint32_t left);
  bool countOf(uint32_t off, uint64_t& count, int depth);
  void adjustCounts(const std::vector<Step>& path, uint32_t leaf, int delta);
  bool collectPages(std::vector<uint32_t>& pages);

  CdxFile* file_;
  uint32_t header_;
  uint32_t root_;
  std::string name_, keyExpr_, forExpr_;
  std::string structKey_;  // this tag's key in the structure tag, as stored
  int keyLen_;
  uint8_t options_;
  bool descending_, caseFolded_;
  KeyType type_ = KeyType::Character;
  uint8_t pad_ = ' ';
  uint64_t version_ = 0;
  std::vector<Step> path_;
  cdxpage::Node scratch_, scratch2_;
};

// Position in one tag. Survives changes to the tag: after an insert or remove it
// finds its place again from the entry it stood on.
class CdxCursor {
 public:
  explicit CdxCursor(CdxTag& tag) : tag_(&tag) {}

  bool first();
  bool last();
  // Moves one entry on; false at the end (the cursor is then not valid).
  bool next();
  bool prev();
  // First entry whose first searchKey.size() bytes are >= searchKey (a search
  // key longer than the key length is cut to it).
  bool seek(std::string_view searchKey);
  // First entry >= (key, recno). REQUIRES: key.size() == keyLength().
  bool seekExact(std::string_view key, uint32_t recno);

  bool valid() const { return valid_; }
  // True when the last move stopped on a damaged page (the error was raised).
  bool failed() const { return failed_; }
  std::string_view key() const;
  uint32_t recno() const { return valid_ ? leaf_.recs[static_cast<size_t>(idx_)] : 0; }
  // 1-based position of the current entry; 0 when not valid.
  uint64_t position();
  CdxTag& tag() { return *tag_; }

 private:
  bool loadLeaf(uint32_t off);
  bool stepLeaf(bool forward);
  bool afterPrefix(const uint8_t* key, size_t len, uint32_t recno, bool useRec);
  bool refresh(bool forward, bool& moved);
  bool fail();

  CdxTag* tag_;
  cdxpage::Node leaf_;
  int idx_ = 0;
  bool valid_ = false;
  bool failed_ = false;
  uint64_t version_ = 0;
  std::string boundary_;
  std::vector<CdxTag::Step> path_;
};

// Findings of CdxFile::check(); `problems` empty means sound.
struct CdxCheckReport {
  std::vector<std::string> problems;
  std::vector<std::string> warnings;  // e.g. pages no tag and no free chain uses
  uint64_t pages = 0;
  uint64_t freePages = 0;
  bool ok() const { return problems.empty(); }
};

class CdxFile {
 public:
  // Opens an existing index file. Raises the open error (retry loops while the
  // handler asks for it) or the corruption error and returns null. Tags come in
  // the order of their names.
  static std::unique_ptr<CdxFile> open(FileSystem& fs, const std::string& path, bool readOnly = false,
                                       bool exclusive = true);
  // Creates a new file holding only the structure tag (raises 20/1006).
  static std::unique_ptr<CdxFile> create(FileSystem& fs, const std::string& path, bool exclusive = true);
  ~CdxFile();  // flushes
  CdxFile(const CdxFile&) = delete;
  CdxFile& operator=(const CdxFile&) = delete;

  const std::string& path() const { return path_; }
  FileSystem& fileSystem() { return fs_; }
  size_t tagCount() const { return tags_.size(); }
  // Tags of the file: by name when opened from disk; a tag created since comes
  // after those it found.
  CdxTag& tag(size_t i) { return *tags_[i]; }
  CdxTag* findTag(std::string_view name);  // by cdxTagName(name)
  int tagIndex(std::string_view name) const;
  CdxTag& structureTag() { return *structure_; }

  // Removes a tag and frees its pages. Pointers to that tag become invalid.
  bool removeTag(std::string_view name);

  // Writes every changed page; false (error raised) on a write failure.
  bool flush();
  // Walks every page once and checks the structure; raises nothing.
  CdxCheckReport check();

  // Largest number of cached pages before the cache is written out and emptied.
  void setCacheLimit(size_t pages) { cacheLimit_ = pages; }

 private:
  friend class CdxTag;
  friend class CdxCursor;
  friend class CdxTreeWriter;
  CdxFile(FileSystem& fs, std::string path);

  bool readTags();
  // The cached page at `off`, read on first use; null after raising the
  // corruption or read error.
  uint8_t* page(uint32_t off, bool forWrite);
  bool validOffset(uint32_t off) const;
  // A page's bytes without raising anything (for check()).
  bool readRaw(uint32_t off, uint8_t* out);
  uint32_t allocPage();
  uint32_t allocHeader();
  bool freePage(uint32_t off);
  uint32_t freeHead();
  void setFreeHead(uint32_t off);
  CdxTag* registerTag(uint32_t header, const cdxpage::TagHeader& h, const std::string& name, KeyType type);
  void trimCache();
  bool corrupt(const std::string& what);
  bool ioError(bool write, uint64_t offset);

  struct CachedPage {
    std::array<uint8_t, cdxpage::kPage> b;
    bool dirty = false;
  };
  CachedPage* slot(uint32_t off, bool create);
  void markDirty(CachedPage& cp, uint32_t off);

  FileSystem& fs_;
  std::string path_;
  std::unique_ptr<File> file_;
  bool readOnly_ = false;
  uint64_t size_ = 0;  // includes pages allocated but not yet written
  // Cached pages by page number; pages made dirty since the last flush.
  std::vector<std::unique_ptr<CachedPage>> slots_;
  size_t cached_ = 0;
  std::vector<uint32_t> dirty_;
  size_t cacheLimit_ = 65536;
  std::unordered_map<uint32_t, uint64_t> counts_;  // entries under a page
  std::unique_ptr<CdxTag> structure_;
  std::vector<std::unique_ptr<CdxTag>> tags_;
};

}  // namespace zol
