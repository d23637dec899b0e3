#include "work_area.h"

#include <cstring>
#include <strings.h>

#include "core/numtext.h"
#include "store/field_codec.h"

namespace zol {

namespace {
std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}
}  // namespace

// ---------------------------------------------------------------- WorkArea

WorkArea::~WorkArea() { close(); }

bool WorkArea::hideDeleted() const { return owner_.hideDeleted; }

bool WorkArea::requireOpen(const char* operation) {
  if (table_) return true;
  ErrorEvent e;
  e.genCode = ErrGen::NotInUse;
  e.subsystem = kDriverName;
  e.subCode = DbErr::NotInUse;
  e.description = dbErrorText(ErrGen::NotInUse);
  e.operation = operation;
  e.canDefault = true;
  raiseError(e);
  return false;
}

bool WorkArea::open(const std::string& path, const std::string& alias, bool shared, bool readOnly) {
  close();
  std::string p = WorkAreas::tablePath(path);
  table_ = DbfFile::open(owner_.fs(), p, shared, readOnly);
  if (!table_) return false;
  alias_ = alias.empty() ? upper(pathStem(p)) : upper(alias);
  rec_.assign(static_cast<size_t>(table_->recordLength()), ' ');
  order_ = 0;
  openOwnIndex();
  goTop();
  return true;
}

void WorkArea::close() {
  if (!table_) return;
  flushRecord();
  cursor_.reset();
  tags_.clear();
  indexFiles_.clear();  // each flushes its pages
  table_->flush(true);
  table_.reset();
  alias_.clear();
  relations_.clear();
  rec_.clear();
  recno_ = 0;
  eof_ = bof_ = true;
  found_ = false;
  order_ = 0;
  pendingParent_ = nullptr;
}

bool WorkArea::commit() {
  if (!table_) return true;
  bool ok = flushRecord();
  for (auto& f : indexFiles_)
    if (!f->flush()) ok = false;
  return table_->flush(false) && ok;
}

bool WorkArea::flushRecord() {
  if (!dirty_ || !table_) return true;
  dirty_ = false;
  if (recno_ == 0 || recno_ > table_->recCount()) return true;
  bool ok = tags_.empty() || updateKeys();
  appended_ = false;
  return table_->writeRecord(recno_, rec_.data()) && ok;
}

void WorkArea::loadPhantom() {
  recno_ = table_->recCount() + 1;
  rec_.assign(static_cast<size_t>(table_->recordLength()), ' ');
  eof_ = true;
}

void WorkArea::load(uint32_t recno) {
  recno_ = recno;
  eof_ = false;
  if (!table_->readRecord(recno, rec_.data())) loadPhantom();
}

void WorkArea::moved() {
  for (const Relation& r : relations_) {
    WorkArea& child = owner_.area(r.child);
    child.pendingParent_ = this;
  }
}

void WorkArea::resolveRelation() {
  if (!pendingParent_) return;
  WorkArea* parent = pendingParent_;
  pendingParent_ = nullptr;
  if (!table_ || !parent->table_) return;
  for (const Relation& r : parent->relations_) {
    if (r.child != number_) continue;
    seek(r.key(*parent), false);
    return;
  }
}

uint32_t WorkArea::firstVisible() {
  uint32_t n = table_->recCount();
  for (uint32_t r = 1; r <= n; ++r) {
    if (!table_->readRecord(r, rec_.data())) return 0;
    if (visible()) return r;
  }
  return 0;
}

uint32_t WorkArea::lastVisible() {
  for (uint32_t r = table_->recCount(); r >= 1; --r) {
    if (!table_->readRecord(r, rec_.data())) return 0;
    if (visible()) return r;
  }
  return 0;
}

uint32_t WorkArea::nextVisible(uint32_t from) {
  uint32_t n = table_->recCount();
  for (uint32_t r = from + 1; r <= n; ++r) {
    if (!table_->readRecord(r, rec_.data())) return 0;
    if (visible()) return r;
  }
  return 0;
}

uint32_t WorkArea::prevVisible(uint32_t from) {
  for (uint32_t r = from - 1; r >= 1 && r < from; --r) {
    if (!table_->readRecord(r, rec_.data())) return 0;
    if (visible()) return r;
  }
  return 0;
}

void WorkArea::goTop() { goEdge(false); }
void WorkArea::goBottom() { goEdge(true); }

void WorkArea::goEdge(bool last) {
  if (!requireOpen(last ? "GOBOTTOM" : "GOTOP")) return;
  resolveRelation();
  flushRecord();
  found_ = false;
  if (order_) {
    orderedEdge(last);
  } else if (uint32_t r = last ? lastVisible() : firstVisible()) {
    recno_ = r;
    eof_ = bof_ = false;
  } else {
    loadPhantom();
    bof_ = true;
  }
  moved();
}

void WorkArea::goTo(uint32_t recno) {
  if (!requireOpen("GOTO")) return;
  resolveRelation();
  flushRecord();
  found_ = false;
  bof_ = false;
  eof_ = false;
  if (recno == 0 || recno > table_->recCount()) {
    loadPhantom();
    bof_ = table_->recCount() == 0;
  } else {
    load(recno);
  }
  cursorSynced_ = false;
  moved();
}

void WorkArea::skip(int count) {
  if (!requireOpen("SKIP")) return;
  resolveRelation();
  flushRecord();
  if (count == 0) {
    if (!eof_) load(recno_);
    moved();
    return;
  }
  bof_ = false;
  if (order_) {
    for (; count > 0 && !eof_; --count) orderedStep(true, false);
    for (; count < 0 && !bof_; ++count) orderedStep(false, false);
    moved();
    return;
  }
  for (; count > 0; --count) {
    if (eof_) break;
    uint32_t r = nextVisible(recno_);
    if (r == 0) {
      loadPhantom();
      break;
    }
    recno_ = r;
  }
  for (; count < 0; ++count) {
    uint32_t r = eof_ ? lastVisible() : prevVisible(recno_);
    if (r == 0) {
      // Before the first visible record: stay where we were, BOF set.
      bof_ = true;
      if (eof_)
        loadPhantom();
      else
        load(recno_);
      break;
    }
    recno_ = r;
    eof_ = false;
  }
  moved();
}

bool WorkArea::deleted() {
  resolveRelation();
  return table_ && !eof_ && rec_[0] == '*';
}

int WorkArea::fieldPos(std::string_view name) const {
  return table_ ? table_->fieldIndex(name) + 1 : 0;
}

const FieldDesc* WorkArea::fieldDesc(int pos) const {
  if (!table_ || pos < 1 || pos > fieldCount()) return nullptr;
  return &table_->fields()[static_cast<size_t>(pos - 1)];
}

Value WorkArea::get(int pos) {
  if (!requireOpen("FIELDGET")) return Value();
  resolveRelation();
  const FieldDesc* f = fieldDesc(pos);
  if (!f) {
    raiseDbError(ErrGen::NoField, DbErr::NoField, dbErrorText(ErrGen::NoField), table_->path());
    return Value();
  }
  return decodeField(*f, rec_.data(), table_->memo(), table_->path());
}

Value WorkArea::get(std::string_view name) {
  if (!requireOpen("FIELDGET")) return Value();
  int pos = fieldPos(name);
  if (pos == 0) {
    raiseDbError(ErrGen::NoField, DbErr::NoField, dbErrorText(ErrGen::NoField) + std::string(": ") + std::string(name),
                 table_->path());
    return Value();
  }
  return get(pos);
}

double WorkArea::getNumber(int pos) {
  if (!table_) return get(pos).number();
  resolveRelation();
  const FieldDesc* f = fieldDesc(pos);
  if (!f || (f->type != FieldType::Numeric && f->type != FieldType::Float)) return get(pos).number();
  double v = 0;
  parseNumber(std::string_view(rec_.data() + f->offset, static_cast<size_t>(f->width)), v);
  return v;
}

std::string WorkArea::getString(int pos) { return get(pos).text(); }
Date WorkArea::getDate(int pos) { return get(pos).date(); }

bool WorkArea::put(int pos, const Value& v) {
  if (!requireOpen("FIELDPUT")) return false;
  resolveRelation();
  const FieldDesc* f = fieldDesc(pos);
  if (!f) {
    raiseDbError(ErrGen::NoField, DbErr::NoField, dbErrorText(ErrGen::NoField), table_->path());
    return false;
  }
  if (table_->readOnly()) {
    raiseDb(ErrGen::Readonly, DbErr::Readonly, table_->path());
    return false;
  }
  if (eof_) return false;  // the Phantom record takes no values
  bool ok = encodeField(*f, rec_.data(), v, table_->memo(), table_->path());
  // A too-wide number still lands (as asterisks); a wrong kind leaves the field alone.
  dirty_ = true;
  return ok;
}

bool WorkArea::put(std::string_view name, const Value& v) {
  if (!requireOpen("FIELDPUT")) return false;
  int pos = fieldPos(name);
  if (pos == 0) {
    raiseDbError(ErrGen::NoField, DbErr::NoField, dbErrorText(ErrGen::NoField) + std::string(": ") + std::string(name),
                 table_->path());
    return false;
  }
  return put(pos, v);
}

bool WorkArea::appendBlank() {
  if (!requireOpen("APPEND")) return false;
  resolveRelation();
  flushRecord();
  std::string blank(static_cast<size_t>(table_->recordLength()), ' ');
  uint32_t r = table_->appendRecord(blank.data());
  if (r == 0) {
    goTo(0);
    return false;
  }
  rec_ = blank;
  recno_ = r;
  eof_ = bof_ = found_ = false;
  dirty_ = true;  // the record's index keys go in when it is written
  appended_ = true;
  cursorSynced_ = false;
  moved();
  return true;
}

void WorkArea::deleteRecord() {
  if (!requireOpen("DELETE")) return;
  resolveRelation();
  if (eof_) return;
  rec_[0] = '*';
  dirty_ = true;
}

void WorkArea::recall() {
  if (!requireOpen("RECALL")) return;
  resolveRelation();
  if (eof_) return;
  rec_[0] = ' ';
  dirty_ = true;
}

bool WorkArea::pack() {
  if (!requireOpen("PACK")) return false;
  flushRecord();
  bool ok = table_->pack();
  // Record numbers moved: open tags are rebuilt rather than left pointing
  // at the wrong records.
  if (!tags_.empty() && !rebuildTags()) ok = false;
  goTo(1);
  return ok;
}

bool WorkArea::zap() {
  if (!requireOpen("ZAP")) return false;
  flushRecord();
  bool ok = table_->zap();
  if (!tags_.empty() && !rebuildTags()) ok = false;
  goTop();
  return ok;
}

bool WorkArea::appendFrom(const std::string& sourcePath) {
  if (!requireOpen("APPEND FROM")) return false;
  resolveRelation();
  flushRecord();
  auto src = DbfFile::open(owner_.fs(), WorkAreas::tablePath(sourcePath), true, true);
  if (!src) return false;
  struct Pair { int target; int source; };
  std::vector<Pair> pairs;
  for (int i = 1; i <= fieldCount(); ++i) {
    int j = src->fieldIndex(fieldDesc(i)->name);
    if (j >= 0) pairs.push_back({i, j});
  }
  std::string buf(static_cast<size_t>(src->recordLength()), ' ');
  bool ok = true;
  for (uint32_t r = 1; r <= src->recCount(); ++r) {
    if (!src->readRecord(r, buf.data())) {
      ok = false;
      break;
    }
    if (buf[0] == '*') continue;
    if (!appendBlank()) {
      ok = false;
      break;
    }
    for (const Pair& p : pairs) {
      const FieldDesc& sf = src->fields()[static_cast<size_t>(p.source)];
      Value v = decodeField(sf, buf.data(), src->memo(), src->path());
      const FieldDesc* tf = fieldDesc(p.target);
      // Fields of a different kind keep their blank value rather than failing the copy.
      bool textual = tf->type == FieldType::Character || tf->type == FieldType::Memo;
      if (textual != v.isText() && !(v.isNumber() && (tf->type == FieldType::Numeric || tf->type == FieldType::Float)) &&
          !(v.isDate() && tf->type == FieldType::Date) && !(v.isLogical() && tf->type == FieldType::Logical))
        continue;
      if (textual && v.text().empty() && tf->type == FieldType::Memo) continue;
      put(p.target, v);
    }
  }
  flushRecord();
  return ok;
}

bool WorkArea::copyTo(const std::string& targetPath) {
  if (!requireOpen("COPY TO")) return false;
  resolveRelation();
  flushRecord();
  Structure st;
  for (const FieldDesc& f : table_->fields()) st.push_back({f.name, f.type, f.width, f.decimals});
  std::string target = WorkAreas::tablePath(targetPath);
  if (!DbfFile::create(owner_.fs(), target, st)) return false;
  auto dst = DbfFile::open(owner_.fs(), target, false, false);
  if (!dst) return false;
  uint32_t saved = recno_;
  bool ok = true;
  std::string out(static_cast<size_t>(dst->recordLength()), ' ');
  for (goTop(); !eof_; skip(1)) {
    out[0] = ' ';
    const auto& sf = table_->fields();
    const auto& df = dst->fields();
    for (size_t i = 0; i < sf.size(); ++i) {
      if (sf[i].type == FieldType::Memo) {
        Value v = decodeField(sf[i], rec_.data(), table_->memo(), table_->path());
        std::memset(&out[static_cast<size_t>(df[i].offset)], ' ', static_cast<size_t>(df[i].width));
        if (!v.text().empty() && !encodeField(df[i], out.data(), v, dst->memo(), dst->path())) ok = false;
      } else {
        std::memcpy(&out[static_cast<size_t>(df[i].offset)], &rec_[static_cast<size_t>(sf[i].offset)],
                    static_cast<size_t>(sf[i].width));
      }
    }
    if (dst->appendRecord(out.data()) == 0) {
      ok = false;
      break;
    }
  }
  if (!dst->flush(true)) ok = false;
  dst.reset();
  goTo(saved);
  return ok;
}

void WorkArea::setRelation(int childArea, std::function<Value(WorkArea&)> key, std::string keyText) {
  relations_.push_back({childArea, std::move(key), std::move(keyText)});
  moved();
}

void WorkArea::clearRelations() {
  // Children still owe the move of the parent's last record change.
  for (const Relation& r : relations_) owner_.area(r.child).resolveRelation();
  relations_.clear();
}

// ---------------------------------------------------------------- WorkAreas

WorkArea& WorkAreas::area(int number) {
  auto& slot = areas_[number];
  if (!slot) slot = std::make_unique<WorkArea>(*this, number);
  return *slot;
}

void WorkAreas::select(int number) {
  current_ = number;
  area(number);
}

int WorkAreas::findAlias(std::string_view alias) const {
  for (const auto& [n, a] : areas_)
    if (a->isOpen() && a->alias().size() == alias.size() &&
        strncasecmp(a->alias().data(), alias.data(), alias.size()) == 0)
      return n;
  return 0;
}

bool WorkAreas::create(const std::string& path, const Structure& structure) {
  return DbfFile::create(fs_, tablePath(path), structure);
}

void WorkAreas::closeAll() {
  for (auto& [n, a] : areas_) {
    a->pendingParent_ = nullptr;
    a->close();
  }
  current_ = 1;
}

bool WorkAreas::commitAll() {
  bool ok = true;
  for (auto& [n, a] : areas_)
    if (!a->commit()) ok = false;
  return ok;
}

bool WorkAreas::exists(const std::string& path) { return fs_.exists(tablePath(path)); }

void WorkAreas::dropTable(const std::string& path) {
  std::string p = tablePath(path);
  std::string dir, file;
  splitPath(p, dir, file);
  std::string base = pathStem(p);
  fs_.remove(p);
  for (const char* ext : {".fpt", ".cdx"}) {
    std::string q = resolveInDir(dir, base + ext);
    if (fs_.exists(q)) fs_.remove(q);
  }
}

std::string WorkAreas::tablePath(const std::string& path) {
  std::string dir, file;
  splitPath(path, dir, file);
  if (file.find('.') == std::string::npos) file += ".dbf";
  return resolveInDir(dir, file);
}

}  // namespace zol
