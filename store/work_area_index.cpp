// The index side of a Work area: automatic open of the table's own index file,
// Controlling order navigation, seeks, key maintenance and tag builds.
#include <algorithm>
#include <cstring>

#include "store/field_codec.h"
#include "store/work_area.h"

namespace zol {

namespace {
std::string ownIndexPath(const std::string& tablePath) {
  std::string dir, file;
  splitPath(tablePath, dir, file);
  return resolveInDir(dir, pathStem(tablePath) + ".cdx");
}
}  // namespace

// Fields of one raw record, for key expressions.
class WorkArea::RecordFields : public FieldSource {
 public:
  RecordFields(DbfFile& t, const char* rec) : t_(t), rec_(rec) {}
  int fieldIndex(std::string_view name) const override { return t_.fieldIndex(name); }
  Value fieldValue(int index) const override {
    if (index < 0 || index >= static_cast<int>(t_.fields().size())) return Value();
    return decodeField(t_.fields()[static_cast<size_t>(index)], rec_, t_.memo(), t_.path());
  }
  bool rawField(int index, std::string_view& bytes, char& type, int& decimals) const override {
    if (index < 0 || index >= static_cast<int>(t_.fields().size())) return false;
    const FieldDesc& f = t_.fields()[static_cast<size_t>(index)];
    if (f.type == FieldType::Memo) return false;
    bytes = std::string_view(rec_ + f.offset, static_cast<size_t>(f.width));
    type = f.type;
    decimals = f.decimals;
    return true;
  }
  void point(const char* rec) { rec_ = rec; }

 private:
  DbfFile& t_;
  const char* rec_;
};

// Feeds a tag build with the table's records 1..N through the read cache.
class WorkArea::TableScan : public RecordScan {
 public:
  explicit TableScan(DbfFile& t) : t_(t), buf_(static_cast<size_t>(t.recordLength()), ' '), fields_(t, buf_.data()) {}
  const FieldSource& fields() const override { return fields_; }
  uint32_t recordCount() const override { return t_.recCount(); }
  bool load(uint32_t recno) override { return t_.readRecord(recno, buf_.data()); }

 private:
  DbfFile& t_;
  std::string buf_;
  RecordFields fields_;
};

bool WorkArea::keyOf(const OrderTag& t, const char* rec, std::string& key) const {
  RecordFields f(*table_, rec);
  if (t.cond && !t.cond->evaluate(f).logical()) return false;
  if (t.type == KeyType::Character && t.key->fastKey(f, t.length, key)) return true;
  return buildKey(t.key->evaluate(f), t.type, t.length, key);
}

void WorkArea::openOwnIndex() {
  std::string p = ownIndexPath(table_->path());
  if (owner_.fs().exists(p)) openIndexFile(p, true);
}

bool WorkArea::openIndexFile(const std::string& path, bool mustExist) {
  for (const auto& f : indexFiles_)
    if (f->path() == path) return true;
  std::unique_ptr<CdxFile> f;
  if (mustExist || owner_.fs().exists(path))
    f = CdxFile::open(owner_.fs(), path, table_->readOnly(), !table_->shared());
  if (!f) return false;
  indexFiles_.push_back(std::move(f));
  rebuildTagList();
  return true;
}

void WorkArea::rebuildTagList() {
  CdxTag* current = order_ > 0 ? tags_[static_cast<size_t>(order_ - 1)].tag : nullptr;
  std::string currentName = current ? current->name() : "";
  tags_.clear();
  cursor_.reset();
  cursorSynced_ = false;
  std::string phantom(static_cast<size_t>(table_->recordLength()), ' ');
  RecordFields blank(*table_, phantom.data());
  int newOrder = 0;
  for (auto& f : indexFiles_) {
    for (size_t i = 0; i < f->tagCount(); ++i) {
      OrderTag t;
      t.tag = &f->tag(i);
      std::string why;
      t.key = KeyExpr::compile(t.tag->keyExpr(), blank, &why);
      if (!t.key) {
        raiseExpressionError(t.tag->keyExpr(), why, f->path());
        continue;  // a tag we cannot keep up to date is not offered
      }
      if (!t.tag->forExpr().empty()) {
        t.cond = KeyExpr::compile(t.tag->forExpr(), blank, &why);
        if (!t.cond) {
          raiseExpressionError(t.tag->forExpr(), why, f->path());
          continue;
        }
      }
      if (!learnKeyLayout(*t.key, blank, t.type, t.length, f->path())) continue;
      t.tag->setKeyType(t.type);
      tags_.push_back(std::move(t));
      if (!currentName.empty() && tags_.back().tag->name() == currentName && &f->tag(i) == current)
        newOrder = static_cast<int>(tags_.size());
    }
  }
  order_ = newOrder;
  if (order_) cursor_ = std::make_unique<CdxCursor>(*tags_[static_cast<size_t>(order_ - 1)].tag);
}

bool WorkArea::addIndex(const std::string& path) {
  if (!requireOpen("ORDLISTADD")) return false;
  std::string p = path;
  std::string dir, file;
  splitPath(p, dir, file);
  if (file.find('.') == std::string::npos) file += ".cdx";
  p = resolveInDir(dir, file);
  flushRecord();
  size_t before = indexFiles_.size();
  CdxFile* target = nullptr;
  for (const auto& f : indexFiles_)
    if (f->path() == p) target = f.get();
  if (!target) {
    if (!openIndexFile(p, true)) return false;
    target = indexFiles_.back().get();
  }
  (void)before;
  if (order_ == 0 && target->tagCount()) {
    for (size_t i = 0; i < tags_.size(); ++i)
      if (&tags_[i].tag->file() == target) {
        setOrder(static_cast<int>(i + 1));
        break;
      }
    goTop();
  }
  return true;
}

void WorkArea::setOrder(int n) {
  if (!requireOpen("ORDSETFOCUS")) return;
  resolveRelation();
  flushRecord();
  if (n < 0 || n > static_cast<int>(tags_.size())) return;
  order_ = n;
  cursor_.reset();
  if (order_) cursor_ = std::make_unique<CdxCursor>(*tags_[static_cast<size_t>(order_ - 1)].tag);
  cursorSynced_ = false;
}

int WorkArea::orderByName(std::string_view name) const {
  std::string n = cdxTagName(name);
  for (size_t i = 0; i < tags_.size(); ++i)
    if (tags_[i].tag->name() == n) return static_cast<int>(i + 1);
  return 0;
}

std::string WorkArea::orderName(int n) const {
  return n > 0 && n <= static_cast<int>(tags_.size()) ? tags_[static_cast<size_t>(n - 1)].tag->name() : "";
}

std::string WorkArea::keyExpression() const {
  return order_ ? tags_[static_cast<size_t>(order_ - 1)].tag->keyExpr() : "";
}

void WorkArea::setOrderCondition(std::function<bool(uint32_t)> progress, uint32_t interval) {
  condProgress_ = std::move(progress);
  condInterval_ = interval;
}

bool WorkArea::createTag(const std::string& name, const std::string& keyExpr, const std::string& forExpr) {
  if (!requireOpen("ORDCREATE")) return false;
  resolveRelation();
  flushRecord();
  CdxBuildOptions opt;
  opt.progress = std::move(condProgress_);
  opt.interval = condInterval_;
  condProgress_ = nullptr;
  condInterval_ = 0;
  // Check the expression before touching any file: a failed build leaves
  // the area where it stood.
  {
    std::string phantom(static_cast<size_t>(table_->recordLength()), ' ');
    RecordFields blank(*table_, phantom.data());
    std::string why;
    auto k = KeyExpr::compile(keyExpr, blank, &why);
    if (!k) {
      raiseExpressionError(keyExpr, why, table_->path());
      return false;
    }
    KeyType type;
    int len;
    if (!learnKeyLayout(*k, blank, type, len, table_->path())) return false;
  }
  const std::string path = ownIndexPath(table_->path());
  CdxFile* file = nullptr;
  for (const auto& f : indexFiles_)
    if (f->path() == path) file = f.get();
  if (!file) {
    auto f = owner_.fs().exists(path) ? CdxFile::open(owner_.fs(), path, false, !table_->shared())
                                      : CdxFile::create(owner_.fs(), path, !table_->shared());
    if (!f) return false;
    indexFiles_.push_back(std::move(f));
    file = indexFiles_.back().get();
  }
  // The tag list holds pointers into the file; forget them while it changes.
  tags_.clear();
  cursor_.reset();
  order_ = 0;
  TableScan scan(*table_);
  CdxBuildResult r = cdxCreateTag(*file, CdxTagSpec(name, keyExpr, forExpr), scan, opt);
  rebuildTagList();
  if (!r.tag) {
    goTo(recno_);
    return false;
  }
  table_->setIndexFlag(true);
  setOrder(orderByName(name));
  // A tag of another file with the same name could shadow ours: pick ours.
  for (size_t i = 0; i < tags_.size(); ++i)
    if (tags_[i].tag == r.tag) setOrder(static_cast<int>(i + 1));
  goTop();
  return true;
}

bool WorkArea::rebuildTags() {
  struct Def { std::string name, key, cond; CdxFile* file; };
  std::vector<Def> defs;
  for (const OrderTag& t : tags_)
    defs.push_back({t.tag->name(), t.tag->keyExpr(), t.tag->forExpr(), &t.tag->file()});
  int keep = order_;
  tags_.clear();
  cursor_.reset();
  order_ = 0;
  bool ok = true;
  for (const Def& d : defs) {
    TableScan scan(*table_);
    if (!cdxCreateTag(*d.file, CdxTagSpec(d.name, d.key, d.cond), scan).tag) ok = false;
  }
  rebuildTagList();
  if (keep <= static_cast<int>(tags_.size())) setOrder(keep);
  return ok;
}

bool WorkArea::updateKeys() {
  std::string old(static_cast<size_t>(table_->recordLength()), ' ');
  bool haveOld = !appended_ && table_->readRecord(recno_, old.data());
  bool ok = true;
  std::string oldKey, newKey;
  for (size_t i = 0; i < tags_.size(); ++i) {
    OrderTag& t = tags_[i];
    bool hadKey = haveOld && keyOf(t, old.data(), oldKey);
    bool hasKey = keyOf(t, rec_.data(), newKey);
    if (hadKey && hasKey && oldKey == newKey) continue;
    if (hadKey && t.tag->remove(oldKey, recno_) == CdxTag::Edit::Failed) ok = false;
    if (hasKey && t.tag->insert(newKey, recno_) == CdxTag::Edit::Failed) ok = false;
    if (static_cast<int>(i + 1) == order_) cursorSynced_ = false;
  }
  return ok;
}

bool WorkArea::syncCursor() {
  if (cursorSynced_ && cursor_->valid() && cursor_->recno() == recno_) return true;
  std::string key;
  OrderTag* t = controlling();
  if (!keyOf(*t, rec_.data(), key)) key.assign(static_cast<size_t>(t->length), static_cast<char>(keyPadByte(t->type)));
  cursor_->seekExact(key, recno_);
  cursorSynced_ = true;
  return cursor_->valid();
}

void WorkArea::orderedEdge(bool last) {
  bool ok = last ? cursor_->last() : cursor_->first();
  while (ok) {
    load(cursor_->recno());
    if (eof_) break;  // the key points past the table: a damaged index
    if (visible()) {
      eof_ = bof_ = false;
      cursorSynced_ = true;
      return;
    }
    ok = last ? cursor_->prev() : cursor_->next();
  }
  loadPhantom();
  bof_ = true;
  cursorSynced_ = false;
}

// One step in the Controlling order over visible records. Forward past the
// end gives the Phantom record; backward before the first stays, BOF set.
bool WorkArea::orderedStep(bool forward, bool) {
  if (eof_) {
    if (forward) return false;
    orderedEdge(true);
    return !eof_;
  }
  uint32_t here = recno_;
  syncCursor();
  // When the cursor landed past our entry (the record has no key), the entry
  // under it is already the next one.
  bool onUs = cursor_->valid() && cursor_->recno() == here;
  bool ok = forward ? (onUs ? cursor_->next() : cursor_->valid()) : cursor_->prev();
  while (ok) {
    load(cursor_->recno());
    if (eof_) break;
    if (visible()) {
      eof_ = bof_ = false;
      cursorSynced_ = true;
      return true;
    }
    ok = forward ? cursor_->next() : cursor_->prev();
  }
  if (forward) {
    loadPhantom();
  } else {
    bof_ = true;
    load(here);
    eof_ = false;
  }
  cursorSynced_ = false;
  return false;
}

bool WorkArea::seek(const Value& key) { return seek(key, owner_.softSeek); }

bool WorkArea::seek(const Value& key, bool soft) {
  if (!requireOpen("DBSEEK")) return false;
  resolveRelation();
  flushRecord();
  found_ = false;
  bof_ = false;
  if (!order_) {
    raiseDb(ErrGen::NoOrder, 1201, table_->path());
    loadPhantom();
    moved();
    return false;
  }
  std::string k = seekKey(key);
  OrderTag* t = controlling();
  if (static_cast<int>(k.size()) > t->length) k.resize(static_cast<size_t>(t->length));
  bool ok = cursor_->seek(k);
  while (ok) {
    load(cursor_->recno());
    if (eof_) break;
    if (visible()) break;
    ok = cursor_->next();
  }
  if (ok && !eof_) {
    found_ = cursor_->key().substr(0, k.size()) == k;
    cursorSynced_ = true;
    if (found_ || soft) {
      eof_ = false;
      moved();
      return found_;
    }
  }
  loadPhantom();
  cursorSynced_ = false;
  moved();
  return false;
}

uint64_t WorkArea::keyPosition() {
  if (!table_) return 0;
  resolveRelation();
  if (eof_) return 0;
  if (!order_) return recno_;
  flushRecord();
  std::string key;
  OrderTag* t = controlling();
  if (!keyOf(*t, rec_.data(), key)) return 0;
  return t->tag->position(key, recno_);
}

}  // namespace zol
