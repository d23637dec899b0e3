#pragma once
// Numbered Work areas, each holding one open table with its memo file, a
// current record, a Controlling order and relations to child areas.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/value.h"
#include "store/cdx_builder.h"
#include "store/dbf.h"

namespace zol {

class WorkAreas;

// Fixed area numbers the screens open their tables in.
namespace Area {
constexpr int Entries = 1;
constexpr int Exits = 2;
constexpr int Articles = 4;
constexpr int WorkTable = 99;
}  // namespace Area

class WorkArea {
 public:
  WorkArea(WorkAreas& owner, int number) : owner_(owner), number_(number) {}
  ~WorkArea();
  WorkArea(const WorkArea&) = delete;
  WorkArea& operator=(const WorkArea&) = delete;

  int number() const { return number_; }
  bool isOpen() const { return table_ != nullptr; }
  const std::string& alias() const { return alias_; }
  DbfFile* table() { return table_.get(); }

  // Closes what the area holds, then opens `path` (".dbf" added when missing,
  // name matched case-insensitively) and goes top. False when the open failed
  // and the handler took the default: the area is then empty.
  bool open(const std::string& path, const std::string& alias = "", bool shared = false,
            bool readOnly = false);
  // Writes pending changes and the header, closes table and memo file.
  void close();
  bool commit();

  // Navigation. Hidden records (deleted ones) are skipped by goTop/goBottom/skip.
  void goTop();
  void goBottom();
  void goTo(uint32_t recno);
  void skip(int count = 1);
  bool eof() { resolveRelation(); return eof_; }
  bool bof() { resolveRelation(); return bof_; }
  bool found() { resolveRelation(); return found_; }
  uint32_t recNo() { resolveRelation(); return recno_; }
  uint32_t recCount() const { return table_ ? table_->recCount() : 0; }
  bool deleted();

  // Fields: positions are 1-based; 0 means absent.
  int fieldCount() const { return table_ ? static_cast<int>(table_->fields().size()) : 0; }
  int fieldPos(std::string_view name) const;
  const FieldDesc* fieldDesc(int pos) const;
  Value get(int pos);
  Value get(std::string_view name);
  // Cheap typed reads for hot loops.
  double getNumber(int pos);
  std::string getString(int pos);
  Date getDate(int pos);
  bool put(int pos, const Value& v);
  bool put(std::string_view name, const Value& v);

  bool appendBlank();
  void deleteRecord();
  void recall();
  void lock() {}
  void unlock() {}

  bool pack();
  bool zap();
  // Appends every visible record of the table at `sourcePath`, fields by name.
  bool appendFrom(const std::string& sourcePath);
  // Writes a new table of this area's structure with every visible record,
  // in the Controlling order.
  bool copyTo(const std::string& targetPath);

  // Relations: when this area's record changes, `child` seeks key(this) in
  // its Controlling order before it is next read.
  void setRelation(int childArea, std::function<Value(WorkArea&)> key, std::string keyText);
  void clearRelations();
  // (child area, key text) of each relation, for reports.
  std::vector<std::pair<int, std::string>> relationList() const {
    std::vector<std::pair<int, std::string>> out;
    for (const Relation& r : relations_) out.push_back({r.child, r.keyText});
    return out;
  }
  // The position as it stands, without following a pending relation: safe to
  // read from an error report while the engine is failing.
  struct Snapshot {
    uint32_t recno;
    bool bof, eof;
  };
  Snapshot snapshot() const { return {recno_, bof_, eof_}; }

  // Index orders. Tags are numbered from 1 across the open index files, in
  // the order the files were opened; 0 is record-number order.
  // Opens an index file unless it is open here already; with no Controlling
  // order yet, its first tag takes control and the area goes top.
  bool addIndex(const std::string& path);
  int order() const { return order_; }
  int orderCount() const { return static_cast<int>(tags_.size()); }
  // Makes tag `n` the Controlling order; the current record stays.
  void setOrder(int n);
  // Tag number of an order name, 0 when none.
  int orderByName(std::string_view name) const;
  std::string orderName(int n) const;
  // Progress callback and interval for the next createTag only.
  void setOrderCondition(std::function<bool(uint32_t scanned)> progress, uint32_t interval = 0);
  // Builds tag `name` in the table's own index file (created when missing),
  // makes it the Controlling order and goes top. False when nothing was built.
  bool createTag(const std::string& name, const std::string& keyExpr, const std::string& forExpr = "");
  // Positions by key in the Controlling order (see WorkAreas::softSeek).
  bool seek(const Value& key);
  bool seek(const Value& key, bool soft);
  // 1-based position of the current record's key in the Controlling order,
  // counting hidden records; 0 at end of file. Record number with no order.
  uint64_t keyPosition();
  // Key expression text of the Controlling order ("" with none).
  std::string keyExpression() const;
  // The index files open here, in the order they were opened.
  const std::vector<std::unique_ptr<CdxFile>>& indexFiles() const { return indexFiles_; }

  // The raw current record (deletion flag first); for the index layer and tools.
  const std::string& recordBuffer() { resolveRelation(); return rec_; }

 private:
  friend class WorkAreas;
  struct Relation {
    int child;
    std::function<Value(WorkArea&)> key;
    std::string keyText;
  };
  struct OrderTag {
    CdxTag* tag = nullptr;
    std::unique_ptr<KeyExpr> key;
    std::unique_ptr<KeyExpr> cond;  // FOR condition, null when none
    KeyType type = KeyType::Character;
    int length = 0;
  };
  class RecordFields;
  class TableScan;
  // The key `t` gives the raw record `rec`; false when the record has no key
  // in that tag (it fails the FOR condition) or its key cannot be built.
  bool keyOf(const OrderTag& t, const char* rec, std::string& key) const;
  void openOwnIndex();
  bool openIndexFile(const std::string& path, bool mustExist);
  void rebuildTagList();
  bool updateKeys();
  bool syncCursor();
  bool orderedStep(bool forward, bool fromCursor);
  void orderedEdge(bool last);
  bool rebuildTags();
  OrderTag* controlling() { return order_ > 0 ? &tags_[static_cast<size_t>(order_ - 1)] : nullptr; }
  bool requireOpen(const char* operation);
  bool flushRecord();
  void load(uint32_t recno);
  void loadPhantom();
  void goEdge(bool last);
  bool visible() const { return !hideDeleted() || rec_[0] != '*'; }
  bool hideDeleted() const;
  void moved();
  void resolveRelation();
  // Record-number order steps; return 0 when there is no further record.
  uint32_t firstVisible();
  uint32_t lastVisible();
  uint32_t nextVisible(uint32_t from);
  uint32_t prevVisible(uint32_t from);
  Value decode(const FieldDesc& f);

  WorkAreas& owner_;
  int number_;
  std::unique_ptr<DbfFile> table_;
  std::string alias_;
  std::string rec_;
  uint32_t recno_ = 0;
  bool eof_ = true, bof_ = true, found_ = false;
  bool dirty_ = false;
  int order_ = 0;
  std::vector<std::unique_ptr<CdxFile>> indexFiles_;
  std::vector<OrderTag> tags_;
  std::unique_ptr<CdxCursor> cursor_;  // on the Controlling order's tag
  bool cursorSynced_ = false;
  bool appended_ = false;  // the current record has no keys yet
  std::function<bool(uint32_t)> condProgress_;
  uint32_t condInterval_ = 0;
  std::vector<Relation> relations_;
  WorkArea* pendingParent_ = nullptr;  // relation to resolve before the next read
  const Relation* pendingRelation_ = nullptr;
};

class WorkAreas {
 public:
  explicit WorkAreas(FileSystem& fs = realFileSystem()) : fs_(fs) {}
  ~WorkAreas() { closeAll(); }

  FileSystem& fs() { return fs_; }
  // Deleted records hidden (the product always runs with this on).
  bool hideDeleted = true;
  // Seeks that miss stay on the next greater key instead of end of file.
  bool softSeek = false;

  void select(int number);
  int current() const { return current_; }
  WorkArea& cur() { return area(current_); }
  WorkArea& area(int number);
  // Numbers of the areas holding a table, ascending.
  std::vector<int> openAreas() const {
    std::vector<int> out;
    for (const auto& [n, a] : areas_)
      if (a->isOpen()) out.push_back(n);
    return out;
  }
  // Number of the area whose alias matches (case-insensitive), 0 when none.
  int findAlias(std::string_view alias) const;

  bool create(const std::string& path, const Structure& structure);
  bool use(const std::string& path, const std::string& alias = "", bool shared = false,
           bool readOnly = false) {
    return cur().open(path, alias, shared, readOnly);
  }
  void closeAll();
  bool commitAll();
  bool exists(const std::string& path);
  // Removes a table with its memo and index files.
  void dropTable(const std::string& path);

  // "dir/NAME" -> the existing file matched case-insensitively, ".dbf" added
  // when the name has no extension.
  static std::string tablePath(const std::string& path);

 private:
  FileSystem& fs_;
  std::map<int, std::unique_ptr<WorkArea>> areas_;
  int current_ = 1;
};

}  // namespace zol
