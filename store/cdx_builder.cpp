#include "store/cdx_builder.h"

#include <algorithm>
#include <cstring>

#include "core/error_event.h"

namespace zol {

using namespace cdxpage;

namespace {

void raiseTempError(int gen, int sub, const char* desc, const std::string& path, int os) {
  ErrorEvent e;
  e.genCode = gen;
  e.subsystem = "DBFCDX";
  e.subCode = sub;
  e.description = desc;
  e.fileName = path;
  e.operation = "INDEX";
  e.osCode = os;
  e.canDefault = true;
  raiseError(e);
}

inline uint64_t load64BE(const uint8_t* key, int from, int kl) {
  uint64_t v = 0;
  for (int b = 0; b < 8; ++b) v = (v << 8) | (from + b < kl ? key[from + b] : 0u);
  return v;
}

}  // namespace

// ---------------------------------------------------------------- sorting

class CdxTagBuilder::Sorter {
 public:
  Sorter(FileSystem& fs, std::string tempPath, int kl, size_t budget)
      : fs_(fs), path_(std::move(tempPath)), kl_(kl), tailLen_(kl > 16 ? kl - 16 : 0), budget_(budget) {}
  ~Sorter() {
    if (tmp_) {
      tmp_.reset();
      fs_.remove(path_);
    }
  }

  void reserve(size_t n) {
    size_t fit = budget_ / (sizeof(Item) + static_cast<size_t>(tailLen_));
    items_.reserve(std::min(n, fit + 1));
    if (tailLen_) arena_.reserve(std::min(n, fit + 1) * static_cast<size_t>(tailLen_));
  }

  bool add(const uint8_t* key, uint32_t rec) {
    Item it{load64BE(key, 0, kl_), load64BE(key, 8, kl_), rec, static_cast<uint32_t>(items_.size())};
    items_.push_back(it);
    if (tailLen_) arena_.insert(arena_.end(), key + 16, key + kl_);
    if (items_.size() * sizeof(Item) + arena_.size() >= budget_) return spill();
    return true;
  }

  // Hands every key over in (key, record number) order.
  bool drain(const std::function<bool(const uint8_t*, uint32_t)>& out) {
    std::vector<uint8_t> key(static_cast<size_t>(kl_));
    if (runs_.empty()) {
      sortItems();
      for (const Item& it : items_) {
        keyOf(it, key.data());
        if (!out(key.data(), it.rec)) return false;
      }
      return true;
    }
    if (!items_.empty() && !spill()) return false;
    return merge(out);
  }

  uint32_t runs() const { return static_cast<uint32_t>(runs_.size()); }

 private:
  struct Item {
    uint64_t k0, k1;  // first 16 key bytes, big-endian, so integer order is byte order
    uint32_t rec, idx;
  };
  struct Run {
    uint64_t off, count;
  };

  void sortItems() {
    const uint8_t* arena = arena_.data();
    const size_t tl = static_cast<size_t>(tailLen_);
    std::sort(items_.begin(), items_.end(), [arena, tl](const Item& a, const Item& b) {
      if (a.k0 != b.k0) return a.k0 < b.k0;
      if (a.k1 != b.k1) return a.k1 < b.k1;
      if (tl) {
        int c = std::memcmp(arena + a.idx * tl, arena + b.idx * tl, tl);
        if (c) return c < 0;
      }
      return a.rec < b.rec;
    });
  }

  void keyOf(const Item& it, uint8_t* out) const {
    uint8_t head[16];
    for (int b = 0; b < 8; ++b) {
      head[b] = static_cast<uint8_t>(it.k0 >> (56 - 8 * b));
      head[8 + b] = static_cast<uint8_t>(it.k1 >> (56 - 8 * b));
    }
    std::memcpy(out, head, static_cast<size_t>(std::min(kl_, 16)));
    if (tailLen_) std::memcpy(out + 16, arena_.data() + static_cast<size_t>(it.idx) * tailLen_, static_cast<size_t>(tailLen_));
  }

  bool spill() {
    if (!tmp_) {
      int os = 0;
      tmp_ = fs_.open(path_, OpenMode::CreateTruncate, true, os);
      if (!tmp_) {
        raiseTempError(ErrGen::Create, 1006, "Create error", path_, os);
        return false;
      }
    }
    sortItems();
    const size_t rs = static_cast<size_t>(kl_) + 4;
    std::vector<uint8_t> buf;
    buf.reserve(std::min<size_t>(items_.size() * rs, 1 << 20));
    Run run{tmpSize_, items_.size()};
    auto put = [&]() {
      if (tmp_->writeAt(tmpSize_, buf.data(), buf.size()) != buf.size()) {
        raiseTempError(ErrGen::Write, 1011, "Write error", path_, tmp_->osError());
        return false;
      }
      tmpSize_ += buf.size();
      buf.clear();
      return true;
    };
    for (const Item& it : items_) {
      size_t at = buf.size();
      buf.resize(at + rs);
      keyOf(it, buf.data() + at);
      put32(buf.data() + at + kl_, it.rec);
      if (buf.size() + rs > (1 << 20) && !put()) return false;
    }
    if (!buf.empty() && !put()) return false;
    runs_.push_back(run);
    items_.clear();
    arena_.clear();
    return true;
  }

  bool merge(const std::function<bool(const uint8_t*, uint32_t)>& out) {
    const size_t rs = static_cast<size_t>(kl_) + 4;
    size_t perRun = std::max<size_t>(1, std::min<size_t>(1 << 20, budget_ / runs_.size()) / rs);
    struct Reader {
      uint64_t off, left;
      std::vector<uint8_t> buf;
      size_t pos = 0, len = 0;
    };
    std::vector<Reader> rd(runs_.size());
    auto fill = [&](Reader& r) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(r.left, perRun));
      r.buf.resize(n * rs);
      if (tmp_->readAt(r.off, r.buf.data(), n * rs) != n * rs) {
        raiseTempError(ErrGen::Read, 1010, "Read error", path_, tmp_->osError());
        return false;
      }
      r.off += n * rs;
      r.left -= n;
      r.pos = 0;
      r.len = n;
      return true;
    };
    auto cur = [&](int i) { return rd[static_cast<size_t>(i)].buf.data() + rd[static_cast<size_t>(i)].pos * rs; };
    auto greater = [&](int a, int b) {
      const uint8_t* x = cur(a);
      const uint8_t* y = cur(b);
      int c = std::memcmp(x, y, static_cast<size_t>(kl_));
      if (c) return c > 0;
      return get32(x + kl_) > get32(y + kl_);
    };
    std::vector<int> heap;
    for (size_t i = 0; i < runs_.size(); ++i) {
      rd[i].off = runs_[i].off;
      rd[i].left = runs_[i].count;
      if (rd[i].left == 0) continue;
      if (!fill(rd[i])) return false;
      heap.push_back(static_cast<int>(i));
    }
    std::make_heap(heap.begin(), heap.end(), greater);
    while (!heap.empty()) {
      std::pop_heap(heap.begin(), heap.end(), greater);
      int i = heap.back();
      Reader& r = rd[static_cast<size_t>(i)];
      const uint8_t* rec = cur(i);
      if (!out(rec, get32(rec + kl_))) return false;
      if (++r.pos == r.len) {
        if (r.left == 0) {
          heap.pop_back();
          continue;
        }
        if (!fill(r)) return false;
      }
      std::push_heap(heap.begin(), heap.end(), greater);
    }
    return true;
  }

  FileSystem& fs_;
  std::string path_;
  int kl_;
  int tailLen_;
  size_t budget_;
  std::vector<Item> items_;
  std::vector<uint8_t> arena_;
  std::unique_ptr<File> tmp_;
  uint64_t tmpSize_ = 0;
  std::vector<Run> runs_;
};

// ---------------------------------------------------------------- writing

// Writes sorted entries as full leaves, then each interior level from the
// separators of the level below, then the header.
class CdxTreeWriter {
 public:
  CdxTreeWriter(CdxFile& f, int kl, KeyType type) : f_(f), kl_(kl), type_(type), pad_(keyPadByte(type)) {
    leaf_.attr = kAttrLeaf;
  }

  bool begin() {
    header_ = f_.allocHeader();
    return header_ != 0;
  }

  // REQUIRES: entries come in ascending (key, record number) order.
  bool add(const uint8_t* key, uint32_t rec) {
    int t = trailCount(key, kl_, pad_);
    if (leaf_.n > 0) {
      int d = dupCount(leaf_.key(leaf_.n - 1, kl_), lastTrail_, key, t, kl_);
      int tl = kl_ - d - t;
      uint32_t mr = std::max(maxRec_, rec);
      if ((leaf_.n + 1) * leafFormat(kl_, mr).bytes + tails_ + tl <= kLeafRoom) {
        leaf_.insert(leaf_.n, key, rec, 0, kl_);
        tails_ += tl;
        maxRec_ = mr;
        lastTrail_ = t;
        return true;
      }
      uint32_t next = f_.allocPage();
      if (!next || !writeLeaf(next, kAttrLeaf)) return false;
      prevLeaf_ = leafOff_;
      leafOff_ = next;
      leaf_.resize(0, kl_, false);
    } else if (leafOff_ == kNone) {
      if (!(leafOff_ = f_.allocPage())) return false;
    }
    leaf_.insert(0, key, rec, 0, kl_);
    tails_ = kl_ - t;
    maxRec_ = rec;
    lastTrail_ = t;
    return true;
  }

  CdxTag* finish(const std::string& name, const std::string& keyExpr, const std::string& forExpr, uint8_t options,
                 bool descending) {
    if (leafOff_ == kNone && !(leafOff_ = f_.allocPage())) return nullptr;
    bool only = leaves_ == 0;
    if (!writeLeaf(kNone, only ? kAttrRoot | kAttrLeaf : kAttrLeaf)) return nullptr;
    Node level = std::move(seps_);
    const int maxK = maxInteriorKeys(kl_);
    while (level.n > 1) {
      int pages = (level.n + maxK - 1) / maxK;
      std::vector<uint32_t> offs(static_cast<size_t>(pages));
      for (auto& o : offs)
        if (!(o = f_.allocPage())) return nullptr;
      // Spread entries evenly so no page of a level is left nearly empty.
      int base = level.n / pages, extra = level.n % pages, from = 0;
      Node up;
      for (int j = 0; j < pages; ++j) {
        int to = from + base + (j < extra ? 1 : 0);
        uint8_t* p = f_.page(offs[static_cast<size_t>(j)], true);
        if (!p) return nullptr;
        encodeInterior(level, from, to, kl_, pages == 1 ? kAttrRoot : 0, j ? offs[static_cast<size_t>(j) - 1] : kNone,
                       j + 1 < pages ? offs[static_cast<size_t>(j) + 1] : kNone, p);
        up.insert(up.n, level.key(to - 1, kl_), level.recs[static_cast<size_t>(to) - 1], offs[static_cast<size_t>(j)], kl_);
        from = to;
      }
      level = std::move(up);
      f_.trimCache();
    }
    TagHeader h;
    h.root = level.kids[0];
    h.keyLen = kl_;
    h.options = options;
    h.descending = descending;
    h.keyExpr = keyExpr;
    h.forExpr = forExpr;
    uint8_t buf[2 * kPage];
    encodeTagHeader(h, buf);
    for (uint32_t o : {0u, kPage}) {
      uint8_t* p = f_.page(header_ + o, true);
      if (!p) return nullptr;
      std::memcpy(p, buf + o, kPage);
    }
    std::string skey = name;
    skey.resize(static_cast<size_t>(f_.structure_->keyLength()), ' ');
    if (f_.structure_->insert(skey, header_) == CdxTag::Edit::Failed) return nullptr;
    CdxTag* t = f_.registerTag(header_, h, name, type_);
    t->structKey_ = skey;
    if (!f_.flush()) return nullptr;
    return t;
  }

 private:
  bool writeLeaf(uint32_t right, uint16_t attr) {
    uint8_t* p = f_.page(leafOff_, true);
    if (!p) return false;
    if (!encodeLeaf(leaf_, 0, leaf_.n, kl_, pad_, attr, prevLeaf_, right, p))
      return f_.corrupt("leaf overflow while building a tag");
    if (leaf_.n > 0 || leaves_ == 0) {
      int last = leaf_.n - 1;
      static const uint8_t zeros[kMaxKeyLength] = {};
      seps_.attr = 0;
      seps_.insert(seps_.n, last >= 0 ? leaf_.key(last, kl_) : zeros, last >= 0 ? leaf_.recs[static_cast<size_t>(last)] : 0,
                   leafOff_, kl_);
    }
    ++leaves_;
    if (leaves_ % 1024 == 0) f_.trimCache();
    return true;
  }

  CdxFile& f_;
  int kl_;
  KeyType type_;
  uint8_t pad_;
  uint32_t header_ = 0;
  Node leaf_;
  Node seps_;
  uint32_t leafOff_ = kNone, prevLeaf_ = kNone;
  int tails_ = 0, lastTrail_ = 0;
  uint32_t maxRec_ = 0;
  uint64_t leaves_ = 0;
};

// ---------------------------------------------------------------- CdxTagBuilder

CdxTagBuilder::CdxTagBuilder(CdxFile& file, std::string name, std::string keyExpr, std::string forExpr, KeyType type,
                             int keyLength, bool unique, bool descending, size_t memoryBudget, std::string tempPath)
    : file_(file),
      name_(cdxTagName(name)),
      keyExpr_(std::move(keyExpr)),
      forExpr_(std::move(forExpr)),
      type_(type),
      keyLen_(keyLength),
      unique_(unique),
      descending_(descending) {
  if (tempPath.empty()) tempPath = file.path() + ".srt";
  sorter_ = std::make_unique<Sorter>(file.fileSystem(), std::move(tempPath), keyLength, std::max<size_t>(memoryBudget, 1));
}

CdxTagBuilder::~CdxTagBuilder() = default;

void CdxTagBuilder::reserve(size_t keys) { sorter_->reserve(keys); }

uint32_t CdxTagBuilder::spilledRuns() const { return sorter_->runs(); }

bool CdxTagBuilder::add(std::string_view key, uint32_t recno) {
  if (failed_ || key.size() != static_cast<size_t>(keyLen_)) return false;
  if (!sorter_->add(reinterpret_cast<const uint8_t*>(key.data()), recno)) {
    failed_ = true;
    return false;
  }
  ++added_;
  return true;
}

CdxTag* CdxTagBuilder::finish() {
  if (failed_) return nullptr;
  if (file_.findTag(name_) && !file_.removeTag(name_)) return nullptr;
  CdxTreeWriter w(file_, keyLen_, type_);
  if (!w.begin()) return nullptr;
  std::string prev;
  bool havePrev = false;
  bool ok = sorter_->drain([&](const uint8_t* key, uint32_t rec) {
    if (unique_) {
      std::string_view k(reinterpret_cast<const char*>(key), static_cast<size_t>(keyLen_));
      if (havePrev && k == prev) return true;  // the lowest record number of a key stays
      prev.assign(k);
      havePrev = true;
    }
    return w.add(key, rec);
  });
  if (!ok) return nullptr;
  uint8_t options = CdxOption::Compact | CdxOption::Compound;
  if (unique_) options |= CdxOption::Unique;
  if (!forExpr_.empty()) options |= CdxOption::HasFor;
  return w.finish(name_, keyExpr_, forExpr_, options, descending_);
}

// ---------------------------------------------------------------- cdxCreateTag

CdxBuildResult cdxCreateTag(CdxFile& file, const CdxTagSpec& tagDef, RecordScan& scan, const CdxBuildOptions& opt) {
  CdxBuildResult res;
  std::string name = cdxTagName(tagDef.name);
  if (name.empty()) {
    raiseExpressionError(tagDef.keyExpr, "no tag name", file.path());
    return res;
  }
  if (tagDef.keyExpr.size() + tagDef.forExpr.size() > 510) {
    ErrorEvent e;
    e.genCode = ErrGen::DataWidth;
    e.subsystem = "DBFCDX";
    e.subCode = 1054;
    e.description = "Data width error";
    e.fileName = file.path();
    e.operation = "INDEX";
    e.args.push_back(tagDef.keyExpr);
    e.canDefault = true;
    raiseError(e);
    return res;
  }
  std::string why;
  auto key = KeyExpr::compile(tagDef.keyExpr, scan.fields(), &why);
  if (!key) {
    raiseExpressionError(tagDef.keyExpr, why, file.path());
    return res;
  }
  std::unique_ptr<KeyExpr> cond;
  if (!tagDef.forExpr.empty()) {
    cond = KeyExpr::compile(tagDef.forExpr, scan.fields(), &why);
    if (!cond) {
      raiseExpressionError(tagDef.forExpr, why, file.path());
      return res;
    }
  }
  if (!learnKeyLayout(*key, scan.fields(), res.type, res.keyLength, file.path())) return res;
  if (file.findTag(name) && !file.removeTag(name)) return res;

  CdxTagBuilder b(file, name, tagDef.keyExpr, tagDef.forExpr, res.type, res.keyLength, tagDef.unique, tagDef.descending,
                  opt.memoryBudget, opt.tempPath);
  const uint32_t count = scan.recordCount();
  b.reserve(count);
  std::string keyBuf;
  uint32_t since = 0;
  for (uint32_t recno = 1; recno <= count; ++recno) {
    if (opt.progress && (recno == 1 || opt.interval == 0 || since >= opt.interval)) {
      since = 0;
      if (!opt.progress(res.scanned)) {
        res.cancelled = true;
        break;
      }
    }
    if (!scan.load(recno)) return res;
    ++res.scanned;
    ++since;
    const FieldSource& fields = scan.fields();
    if (cond) {
      Value c = cond->evaluate(fields);
      if (!(c.isLogical() && c.logical())) continue;
    }
    if (!(res.type == KeyType::Character && key->fastKey(fields, res.keyLength, keyBuf)) &&
        !buildKey(key->evaluate(fields), res.type, res.keyLength, keyBuf)) {
      raiseExpressionError(tagDef.keyExpr, "value of another type in record " + std::to_string(recno), file.path());
      return res;
    }
    if (!b.add(keyBuf, recno)) return res;
  }
  if (opt.progress && since > 0 && !res.cancelled) opt.progress(res.scanned);
  res.keys = b.keys();
  res.tag = b.finish();
  res.spilledRuns = b.spilledRuns();
  if (!res.tag) res.keys = 0;
  return res;
}

}  // namespace zol
