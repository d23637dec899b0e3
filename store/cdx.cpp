#include "store/cdx.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "core/error_event.h"
#include "store/dbf_types.h"

namespace zol {

using namespace cdxpage;

namespace {

constexpr int kMaxDepth = 32;
constexpr uint32_t kFirstTreePage = 1024;  // offsets 0 and 512 hold the structure tag's header

int compareEntry(const uint8_t* k, uint32_t r, const uint8_t* key, uint32_t rec, int kl) {
  int c = std::memcmp(k, key, static_cast<size_t>(kl));
  if (c) return c;
  return r < rec ? -1 : r > rec ? 1 : 0;
}

// First index in a decoded node whose entry is >= the search (prefix of `len`
// bytes, then the record number when `useRec`).
int lowerBound(const Node& n, int kl, const uint8_t* key, size_t len, uint32_t rec, bool useRec) {
  int lo = 0, hi = n.n;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    const uint8_t* k = n.key(mid, kl);
    int c = len ? std::memcmp(k, key, len) : 0;
    if (c == 0 && useRec) c = n.recs[static_cast<size_t>(mid)] < rec ? -1 : 0;
    if (c < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

std::string hexOffset(uint32_t off) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", off);
  return buf;
}

}  // namespace

std::string cdxTagName(std::string_view orderName) {
  std::string r(orderName);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  while (!r.empty() && r.back() == ' ') r.pop_back();
  if (r.size() > 10) r.resize(10);
  while (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

// ---------------------------------------------------------------- CdxFile

CdxFile::CdxFile(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}

CdxFile::~CdxFile() {
  if (file_ && !readOnly_) flush();
}

std::unique_ptr<CdxFile> CdxFile::open(FileSystem& fs, const std::string& path, bool readOnly, bool exclusive) {
  std::unique_ptr<File> f;
  for (;;) {
    int os = 0;
    f = fs.open(path, readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite, exclusive, os);
    if (f) break;
    if (!raiseDb(ErrGen::Open, DbErr::OpenIndex, path, os, true, true)) return nullptr;
  }
  std::unique_ptr<CdxFile> cf(new CdxFile(fs, path));
  cf->file_ = std::move(f);
  cf->readOnly_ = readOnly;
  cf->size_ = cf->file_->size();
  if (cf->size_ <= 2 * kPage) {
    cf->corrupt("index file of " + std::to_string(cf->size_) + " bytes");
    return nullptr;
  }
  if (!cf->readTags()) return nullptr;
  return cf;
}

std::unique_ptr<CdxFile> CdxFile::create(FileSystem& fs, const std::string& path, bool exclusive) {
  std::unique_ptr<File> f;
  for (;;) {
    int os = 0;
    f = fs.open(path, OpenMode::CreateTruncate, exclusive, os);
    if (f) break;
    if (!raiseDb(ErrGen::Create, DbErr::CreateIndex, path, os, true, false)) return nullptr;
  }
  std::unique_ptr<CdxFile> cf(new CdxFile(fs, path));
  cf->file_ = std::move(f);
  TagHeader h;
  h.root = kFirstTreePage;
  h.keyLen = 10;
  h.options = CdxOption::Structure | CdxOption::Compound | CdxOption::Compact;
  uint8_t hdr[2 * kPage];
  encodeTagHeader(h, hdr);
  for (uint32_t off : {0u, kPage, kFirstTreePage}) {
    CachedPage& cp = *cf->slot(off, true);
    cf->markDirty(cp, off);
    if (off < kFirstTreePage) std::memcpy(cp.b.data(), hdr + off, kPage);
  }
  Node empty;
  encodeLeaf(empty, 0, 0, 10, ' ', kAttrRoot | kAttrLeaf, kNone, kNone, cf->slot(kFirstTreePage, false)->b.data());
  cf->size_ = kFirstTreePage + kPage;
  cf->structure_.reset(new CdxTag(cf.get(), 0, h, ""));
  if (!cf->flush()) {
    cf->file_.reset();  // nothing more to write
    return nullptr;
  }
  return cf;
}

bool CdxFile::corrupt(const std::string& what) {
  ErrorEvent e;
  e.genCode = ErrGen::Corruption;
  e.subsystem = "DBFCDX";
  e.subCode = 1012;
  e.description = "Corruption detected";
  e.fileName = path_;
  e.operation = "INDEX";
  e.args.push_back(what);
  e.canDefault = true;
  raiseError(e);
  return false;
}

bool CdxFile::ioError(bool write, uint64_t offset) {
  ErrorEvent e;
  e.genCode = write ? ErrGen::Write : ErrGen::Read;
  e.subsystem = "DBFCDX";
  e.subCode = write ? 1011 : 1010;
  e.description = write ? "Write error" : "Read error";
  e.fileName = path_;
  e.operation = "INDEX";
  e.osCode = file_ ? file_->osError() : 0;
  e.args.push_back("offset " + std::to_string(offset));
  e.canDefault = true;
  raiseError(e);
  return false;
}

bool CdxFile::validOffset(uint32_t off) const {
  return off % kPage == 0 && static_cast<uint64_t>(off) + kPage <= size_;
}

uint8_t* CdxFile::page(uint32_t off, bool forWrite) {
  if (forWrite && readOnly_) {
    ErrorEvent e;
    e.genCode = ErrGen::Readonly;
    e.subsystem = "DBFCDX";
    e.subCode = 1025;
    e.description = "Write not allowed";
    e.fileName = path_;
    e.operation = "INDEX";
    raiseError(e);
    return nullptr;
  }
  CachedPage* cp = slot(off, false);
  if (!cp) {
    if (!validOffset(off)) {
      corrupt("page offset " + hexOffset(off) + " outside the file");
      return nullptr;
    }
    auto fresh = std::make_unique<CachedPage>();
    if (file_->readAt(off, fresh->b.data(), kPage) != kPage) {
      ioError(false, off);
      return nullptr;
    }
    cp = slot(off, true);
    *cp = *fresh;
  }
  if (forWrite) markDirty(*cp, off);
  return cp->b.data();
}

CdxFile::CachedPage* CdxFile::slot(uint32_t off, bool create) {
  size_t i = off / kPage;
  if (i >= slots_.size()) {
    if (!create) return nullptr;
    slots_.resize(i + 1);
  }
  if (!slots_[i] && create) {
    slots_[i] = std::make_unique<CachedPage>();
    ++cached_;
  }
  return slots_[i].get();
}

void CdxFile::markDirty(CachedPage& cp, uint32_t off) {
  if (cp.dirty) return;
  cp.dirty = true;
  dirty_.push_back(off);
}

bool CdxFile::flush() {
  if (!file_ || readOnly_) return true;
  std::sort(dirty_.begin(), dirty_.end());
  dirty_.erase(std::unique(dirty_.begin(), dirty_.end()), dirty_.end());
  std::vector<uint8_t> buf;
  size_t i = 0;
  bool ok = true;
  while (i < dirty_.size()) {
    // Consecutive pages go out in one write.
    size_t j = i;
    buf.clear();
    while (j < dirty_.size() && (j == i || dirty_[j] == dirty_[j - 1] + kPage) && j - i < 128) {
      const auto& b = slot(dirty_[j], false)->b;
      buf.insert(buf.end(), b.begin(), b.end());
      ++j;
    }
    if (file_->writeAt(dirty_[i], buf.data(), buf.size()) != buf.size()) {
      ok = ioError(true, dirty_[i]);
      break;
    }
    for (size_t k = i; k < j; ++k) slot(dirty_[k], false)->dirty = false;
    i = j;
  }
  // Pages not written stay dirty and listed for the next flush.
  dirty_.erase(dirty_.begin(), dirty_.begin() + static_cast<ptrdiff_t>(i));
  if (ok) file_->flush();
  return ok;
}

void CdxFile::trimCache() {
  if (cached_ <= cacheLimit_) return;
  if (!flush()) return;  // keep dirty pages rather than lose them
  slots_.clear();
  cached_ = 0;
}

uint32_t CdxFile::freeHead() {
  const uint8_t* p = page(0, false);
  return p ? get32(p + 4) : 0;
}

void CdxFile::setFreeHead(uint32_t off) {
  if (uint8_t* p = page(0, true)) put32(p + 4, off);
}

uint32_t CdxFile::allocPage() {
  uint32_t head = freeHead();
  if (head) {
    if (head < kFirstTreePage || !validOffset(head)) {
      corrupt("free page " + hexOffset(head) + " outside the file");
      return 0;
    }
    uint8_t* p = page(head, true);
    if (!p) return 0;
    uint32_t next = get32(p);
    if (next == head) {
      corrupt("free page chain loops at " + hexOffset(head));
      return 0;
    }
    setFreeHead(next);
    std::memset(p, 0, kPage);
    counts_.erase(head);
    return head;
  }
  if (size_ + kPage > 0xFFFFF000u) {
    corrupt("index file would pass 4 GB");
    return 0;
  }
  uint32_t off = static_cast<uint32_t>(size_);
  size_ += kPage;
  CachedPage& cp = *slot(off, true);
  cp.b.fill(0);
  markDirty(cp, off);
  return off;
}

uint32_t CdxFile::allocHeader() {
  // A header needs two adjacent pages; it always comes from the end of the file.
  if (size_ + 2 * kPage > 0xFFFFF000u) {
    corrupt("index file would pass 4 GB");
    return 0;
  }
  uint32_t off = static_cast<uint32_t>(size_);
  size_ += 2 * kPage;
  for (uint32_t o : {off, off + kPage}) {
    CachedPage& cp = *slot(o, true);
    cp.b.fill(0);
    markDirty(cp, o);
  }
  return off;
}

bool CdxFile::freePage(uint32_t off) {
  uint32_t head = freeHead();
  uint8_t* p = page(off, true);
  if (!p) return false;
  std::memset(p, 0, kPage);
  put32(p, head);
  setFreeHead(off);
  counts_.erase(off);
  return true;
}

bool CdxFile::readTags() {
  uint8_t hdr[2 * kPage];
  for (uint32_t off : {0u, kPage}) {
    const uint8_t* p = page(off, false);
    if (!p) return false;
    std::memcpy(hdr + off, p, kPage);
  }
  TagHeader h;
  if (const char* err = decodeTagHeader(hdr, h)) return corrupt(std::string("structure tag: ") + err);
  if (h.root < kFirstTreePage || !validOffset(h.root)) return corrupt("structure tag root outside the file");
  structure_.reset(new CdxTag(this, 0, h, ""));

  // A loop or a page outside the file in the free chain would hand out live pages later.
  {
    std::unordered_set<uint32_t> seen;
    uint32_t f = h.freeHead;
    while (f) {
      if (f < kFirstTreePage || !validOffset(f) || !seen.insert(f).second)
        return corrupt("free page chain broken at " + hexOffset(f));
      const uint8_t* p = page(f, false);
      if (!p) return false;
      f = get32(p);
    }
  }

  CdxCursor c(*structure_);
  for (bool ok = c.first(); ok; ok = c.next()) {
    std::string stored(c.key());
    std::string name = stored;
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
    name = cdxTagName(name);
    uint32_t off = c.recno();
    if (off < kFirstTreePage || !validOffset(off) || !validOffset(off + kPage))
      return corrupt("header of tag " + name + " outside the file");
    for (uint32_t o : {0u, kPage}) {
      const uint8_t* p = page(off + o, false);
      if (!p) return false;
      std::memcpy(hdr + o, p, kPage);
    }
    TagHeader th;
    if (const char* err = decodeTagHeader(hdr, th)) return corrupt("tag " + name + ": " + err);
    if (th.root < kFirstTreePage || !validOffset(th.root)) return corrupt("root of tag " + name + " outside the file");
    registerTag(off, th, name, KeyType::Character)->structKey_ = stored;
  }
  return !c.failed();
}

CdxTag* CdxFile::registerTag(uint32_t header, const TagHeader& h, const std::string& name, KeyType type) {
  tags_.emplace_back(new CdxTag(this, header, h, name));
  tags_.back()->setKeyType(type);
  return tags_.back().get();
}

int CdxFile::tagIndex(std::string_view name) const {
  std::string n = cdxTagName(name);
  for (size_t i = 0; i < tags_.size(); ++i)
    if (tags_[i]->name() == n) return static_cast<int>(i);
  return -1;
}

CdxTag* CdxFile::findTag(std::string_view name) {
  int i = tagIndex(name);
  return i < 0 ? nullptr : tags_[static_cast<size_t>(i)].get();
}

bool CdxFile::removeTag(std::string_view name) {
  trimCache();
  int i = tagIndex(name);
  if (i < 0) return false;
  CdxTag& t = *tags_[static_cast<size_t>(i)];
  CdxTag::Edit e = structure_->remove(t.structKey_, t.headerOffset());
  if (e == CdxTag::Edit::Failed) return false;
  // Freeing pages the structure tag still points to would damage the file.
  if (e == CdxTag::Edit::Unchanged) return corrupt("tag " + t.name() + " missing from the structure tag");
  std::vector<uint32_t> pages;
  // A damaged tree leaks its pages rather than risk freeing live ones twice.
  bool whole = t.collectPages(pages);
  if (whole) {
    for (uint32_t p : pages)
      if (!freePage(p)) return false;
    if (!freePage(t.headerOffset()) || !freePage(t.headerOffset() + kPage)) return false;
  }
  tags_.erase(tags_.begin() + i);
  return true;
}

// ---------------------------------------------------------------- CdxTag

CdxTag::CdxTag(CdxFile* file, uint32_t header, const TagHeader& h, std::string name)
    : file_(file),
      header_(header),
      root_(h.root),
      name_(std::move(name)),
      keyExpr_(h.keyExpr),
      forExpr_(h.forExpr),
      keyLen_(h.keyLen),
      options_(h.options),
      descending_(h.descending),
      caseFolded_(h.caseFolded) {}

void CdxTag::setKeyType(KeyType t) {
  type_ = t;
  pad_ = keyPadByte(t);
  ++version_;
}

bool CdxTag::loadNode(uint32_t off, Node& node) {
  if (off < kFirstTreePage) return file_->corrupt("tree page " + hexOffset(off) + " inside the header");
  const uint8_t* p = file_->page(off, false);
  if (!p) return false;
  if (const char* err = decodeNode(p, keyLen_, pad_, node))
    return file_->corrupt(std::string(err) + " at " + hexOffset(off) + " in tag " + name_);
  node.off = off;
  return true;
}

bool CdxTag::storeNode(const Node& node, int from, int to, uint16_t attr, uint32_t left, uint32_t right,
                       uint32_t off) {
  uint8_t* p = file_->page(off, true);
  if (!p) return false;
  if (attr & kAttrLeaf) {
    if (!encodeLeaf(node, from, to, keyLen_, pad_, attr, left, right, p))
      return file_->corrupt("leaf overflow while writing " + hexOffset(off));
  } else {
    encodeInterior(node, from, to, keyLen_, attr, left, right, p);
  }
  return true;
}

bool CdxTag::setRoot(uint32_t off) {
  uint8_t* p = file_->page(header_, true);
  if (!p) return false;
  put32(p, off);
  root_ = off;
  return true;
}

bool CdxTag::setLeftLink(uint32_t pageOff, uint32_t left) {
  uint8_t* p = file_->page(pageOff, true);
  if (!p) return false;
  put32(p + 4, left);
  return true;
}

const uint8_t* CdxTag::treePage(uint32_t off, bool& leaf, int& keys) {
  if (off < kFirstTreePage) {
    file_->corrupt("tree page " + hexOffset(off) + " inside the header");
    return nullptr;
  }
  const uint8_t* p = file_->page(off, false);
  if (!p) return nullptr;
  uint16_t attr = get16(p);
  if (attr > 3) {
    file_->corrupt("bad page attribute at " + hexOffset(off));
    return nullptr;
  }
  leaf = attr & kAttrLeaf;
  if (leaf) return p;
  keys = get16(p + 2);
  if (keys == 0 || keys > maxInteriorKeys(keyLen_)) {
    file_->corrupt("bad key count in interior page " + hexOffset(off));
    return nullptr;
  }
  return p;
}

bool CdxTag::descend(const uint8_t* key, size_t len, uint32_t rec, bool useRec, std::vector<Step>& path,
                     uint32_t& leaf) {
  path.clear();
  uint32_t off = root_;
  const int esize = keyLen_ + 8;
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    bool isLeaf = false;
    int n = 0;
    const uint8_t* p = treePage(off, isLeaf, n);
    if (!p) return false;
    if (isLeaf) {
      leaf = off;
      return true;
    }
    int lo = 0, hi = n;
    while (lo < hi) {
      int mid = (lo + hi) / 2;
      const uint8_t* e = p + kInteriorHeader + mid * esize;
      int c = len ? std::memcmp(e, key, len) : 0;
      if (c == 0 && useRec) c = getBE32(e + keyLen_) < rec ? -1 : 0;
      if (c < 0)
        lo = mid + 1;
      else
        hi = mid;
    }
    int idx = lo == n ? n - 1 : lo;
    path.push_back({off, idx});
    off = getBE32(p + kInteriorHeader + idx * esize + keyLen_ + 4);
  }
  return file_->corrupt("tree of tag " + name_ + " deeper than " + std::to_string(kMaxDepth) + " levels");
}

bool CdxTag::descendEdge(bool last, uint32_t& leaf) {
  uint32_t off = root_;
  const int esize = keyLen_ + 8;
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    bool isLeaf = false;
    int n = 0;
    const uint8_t* p = treePage(off, isLeaf, n);
    if (!p) return false;
    if (isLeaf) {
      leaf = off;
      return true;
    }
    int idx = last ? n - 1 : 0;
    off = getBE32(p + kInteriorHeader + idx * esize + keyLen_ + 4);
  }
  return file_->corrupt("tree of tag " + name_ + " deeper than " + std::to_string(kMaxDepth) + " levels");
}

bool CdxTag::fixSeparators(const std::vector<Step>& path, size_t level, const uint8_t* key, uint32_t rec) {
  const int esize = keyLen_ + 8;
  for (size_t i = level; i-- > 0;) {
    uint8_t* p = file_->page(path[i].off, true);
    if (!p) return false;
    uint8_t* e = p + kInteriorHeader + path[i].idx * esize;
    std::memcpy(e, key, static_cast<size_t>(keyLen_));
    putBE32(e + keyLen_, rec);
    if (path[i].idx != get16(p + 2) - 1) break;  // the parent's largest key stays
  }
  return true;
}

void CdxTag::adjustCounts(const std::vector<Step>& path, uint32_t leaf, int delta) {
  auto& counts = file_->counts_;
  for (const Step& s : path) {
    auto it = counts.find(s.off);
    if (it != counts.end()) it->second += static_cast<uint64_t>(static_cast<int64_t>(delta));
  }
  auto it = counts.find(leaf);
  if (it != counts.end()) it->second += static_cast<uint64_t>(static_cast<int64_t>(delta));
}

// `node` (at depth `level`: the child of path[level-1], or the root) holds
// more than one page can; write it as several pages and link them in.
bool CdxTag::insertPieces(std::vector<Step>& path, size_t level, Node& node, bool appendSplit) {
  const int kl = keyLen_;
  const int n = node.n;
  std::vector<int> cuts{0};
  if (node.leaf()) {
    // Per-entry sizes when a key follows its neighbour, and when it starts a page.
    std::vector<int> withPrev(static_cast<size_t>(n)), alone(static_cast<size_t>(n));
    std::vector<uint32_t> preMax(static_cast<size_t>(n) + 1, 0), sufMax(static_cast<size_t>(n) + 1, 0);
    int prevTrail = 0;
    for (int i = 0; i < n; ++i) {
      int t = trailCount(node.key(i, kl), kl, pad_);
      int d = i ? dupCount(node.key(i - 1, kl), prevTrail, node.key(i, kl), t, kl) : 0;
      withPrev[static_cast<size_t>(i)] = kl - d - t;
      alone[static_cast<size_t>(i)] = kl - t;
      prevTrail = t;
      preMax[static_cast<size_t>(i) + 1] = std::max(preMax[static_cast<size_t>(i)], node.recs[static_cast<size_t>(i)]);
    }
    for (int i = n - 1; i >= 0; --i)
      sufMax[static_cast<size_t>(i)] = std::max(sufMax[static_cast<size_t>(i) + 1], node.recs[static_cast<size_t>(i)]);
    std::vector<long> sumWithPrev(static_cast<size_t>(n) + 1, 0);
    for (int i = 0; i < n; ++i) sumWithPrev[static_cast<size_t>(i) + 1] = sumWithPrev[static_cast<size_t>(i)] + withPrev[static_cast<size_t>(i)];
    int best = -1;
    long bestDiff = 0;
    for (int s = 1; s < n; ++s) {
      long left = static_cast<long>(s) * leafFormat(kl, preMax[static_cast<size_t>(s)]).bytes + alone[0] +
                  (sumWithPrev[static_cast<size_t>(s)] - sumWithPrev[1]);
      long right = static_cast<long>(n - s) * leafFormat(kl, sufMax[static_cast<size_t>(s)]).bytes +
                   alone[static_cast<size_t>(s)] + (sumWithPrev[static_cast<size_t>(n)] - sumWithPrev[static_cast<size_t>(s) + 1]);
      if (left > kLeafRoom || right > kLeafRoom) continue;
      long diff = std::labs(left - right);
      // Appending at the end of the tag keeps the left page full: keys that
      // arrive in order then fill pages instead of leaving them half empty.
      if (best < 0 || (appendSplit ? s > best : diff < bestDiff)) {
        best = s;
        bestDiff = diff;
      }
    }
    if (best > 0) {
      cuts.push_back(best);
    } else {
      int start = 0;
      while (start < n) {
        int end = start + 1;
        while (end < n && leafBytes(node, start, end + 1, kl, pad_) <= kLeafRoom) ++end;
        if (end < n) cuts.push_back(end);
        start = end;
      }
    }
  } else {
    // Usually one entry too many; a leaf split into three can add two.
    const int maxK = maxInteriorKeys(kl);
    const int pieces = std::max(2, (n + maxK - 1) / maxK);
    for (int j = 1; j < pieces; ++j) cuts.push_back(appendSplit ? j * maxK : static_cast<int>(static_cast<long>(n) * j / pieces));
  }
  const size_t pieces = cuts.size();
  cuts.push_back(n);

  std::vector<uint32_t> offs(pieces);
  offs[0] = node.off;
  for (size_t j = 1; j < pieces; ++j)
    if (!(offs[j] = file_->allocPage())) return false;
  const uint16_t attr = node.attr & ~kAttrRoot;
  const uint32_t oldRight = node.right;
  for (size_t j = 0; j < pieces; ++j) {
    uint32_t left = j == 0 ? node.left : offs[j - 1];
    uint32_t right = j + 1 < pieces ? offs[j + 1] : oldRight;
    if (!storeNode(node, cuts[j], cuts[j + 1], attr, left, right, offs[j])) return false;
    file_->counts_.erase(offs[j]);
  }
  if (oldRight != kNone && !setLeftLink(oldRight, offs.back())) return false;

  if (level == 0) {
    uint32_t r = file_->allocPage();
    if (!r) return false;
    Node root;
    root.attr = kAttrRoot;
    root.off = r;
    for (size_t j = 0; j < pieces; ++j) {
      int last = cuts[j + 1] - 1;
      root.insert(root.n, node.key(last, kl), node.recs[static_cast<size_t>(last)], offs[j], kl);
    }
    // Long keys leave room for only two entries in an interior page.
    if (root.n > maxInteriorKeys(kl)) return insertPieces(path, 0, root, appendSplit);
    if (!storeNode(root, 0, root.n, kAttrRoot, kNone, kNone, r)) return false;
    return setRoot(r);
  }

  Step ps = path[level - 1];
  Node parent;
  if (!loadNode(ps.off, parent)) return false;
  if (parent.leaf() || ps.idx >= parent.n) return file_->corrupt("tree changed under a split in tag " + name_);
  int firstLast = cuts[1] - 1;
  std::memcpy(parent.key(ps.idx, kl), node.key(firstLast, kl), static_cast<size_t>(kl));
  parent.recs[static_cast<size_t>(ps.idx)] = node.recs[static_cast<size_t>(firstLast)];
  for (size_t j = 1; j < pieces; ++j) {
    int last = cuts[j + 1] - 1;
    parent.insert(ps.idx + static_cast<int>(j), node.key(last, kl), node.recs[static_cast<size_t>(last)], offs[j], kl);
  }
  bool atEnd = ps.idx + static_cast<int>(pieces) - 1 == parent.n - 1;
  if (parent.n > maxInteriorKeys(kl)) return insertPieces(path, level - 1, parent, atEnd && parent.right == kNone);
  if (!storeNode(parent, 0, parent.n, parent.attr, parent.left, parent.right, parent.off)) return false;
  if (atEnd) return fixSeparators(path, level - 1, parent.key(parent.n - 1, kl), parent.recs.back());
  return true;
}

CdxTag::Edit CdxTag::insert(std::string_view keyText, uint32_t recno) {
  file_->trimCache();
  if (keyText.size() != static_cast<size_t>(keyLen_)) return Edit::Failed;
  const uint8_t* key = reinterpret_cast<const uint8_t*>(keyText.data());
  if (unique()) {
    CdxCursor c(*this);
    if (c.seek(keyText) && c.key() == keyText) return Edit::Unchanged;
    if (c.failed()) return Edit::Failed;
  }
  uint32_t leafOff = 0;
  if (!descend(key, static_cast<size_t>(keyLen_), recno, true, path_, leafOff)) return Edit::Failed;
  Node& leaf = scratch_;
  if (!loadNode(leafOff, leaf)) return Edit::Failed;
  int pos = lowerBound(leaf, keyLen_, key, static_cast<size_t>(keyLen_), recno, true);
  if (pos < leaf.n && compareEntry(leaf.key(pos, keyLen_), leaf.recs[static_cast<size_t>(pos)], key, recno, keyLen_) == 0)
    return Edit::Unchanged;
  if (!file_->page(leafOff, true)) return Edit::Failed;  // read-only files stop here, untouched
  leaf.insert(pos, key, recno, 0, keyLen_);
  ++version_;
  adjustCounts(path_, leafOff, +1);
  bool last = pos == leaf.n - 1;
  uint8_t buf[kPage];
  if (encodeLeaf(leaf, 0, leaf.n, keyLen_, pad_, leaf.attr, leaf.left, leaf.right, buf)) {
    uint8_t* p = file_->page(leafOff, true);
    if (!p) return Edit::Failed;
    std::memcpy(p, buf, kPage);
    if (last && !fixSeparators(path_, path_.size(), key, recno)) return Edit::Failed;
    return Edit::Done;
  }
  if (!insertPieces(path_, path_.size(), leaf, last && leaf.right == kNone)) return Edit::Failed;
  return Edit::Done;
}

// The interior page path[level] has lost an entry (already gone from `node`,
// its decoded form); `lastGone` when it was the page's largest.
bool CdxTag::removeChild(std::vector<Step>& path, size_t level) {
  Node node;
  if (!loadNode(path[level].off, node)) return false;
  int j = path[level].idx;
  if (node.leaf() || j >= node.n) return file_->corrupt("tree changed under a delete in tag " + name_);
  bool lastGone = j == node.n - 1;
  node.erase(j, keyLen_);
  file_->counts_.erase(node.off);
  if (node.n == 0) {
    if (level == 0) {
      // Every key is gone: the root becomes an empty leaf again.
      Node empty;
      return storeNode(empty, 0, 0, kAttrRoot | kAttrLeaf, kNone, kNone, node.off);
    }
    if (node.left != kNone) {
      uint8_t* p = file_->page(node.left, true);
      if (!p) return false;
      put32(p + 8, node.right);
    }
    if (node.right != kNone && !setLeftLink(node.right, node.left)) return false;
    if (!file_->freePage(node.off)) return false;
    return removeChild(path, level - 1);
  }
  if (!storeNode(node, 0, node.n, node.attr, node.left, node.right, node.off)) return false;
  if (lastGone && !fixSeparators(path, level, node.key(node.n - 1, keyLen_), node.recs.back())) return false;
  if (level == 0) {
    // A root with one child hands the root over to it.
    for (int guard = 0; guard < kMaxDepth; ++guard) {
      const uint8_t* p = file_->page(root_, false);
      if (!p) return false;
      if ((get16(p) & kAttrLeaf) || get16(p + 2) != 1) break;
      uint32_t child = getBE32(p + kInteriorHeader + keyLen_ + 4);
      uint8_t* c = file_->page(child, true);
      if (!c) return false;
      put16(c, get16(c) | kAttrRoot);
      uint32_t old = root_;
      if (!setRoot(child) || !file_->freePage(old)) return false;
    }
    return true;
  }
  return mergeWithRight(path, level, node);
}

// Joins the page at depth `level` with a neighbour under the same parent when
// both fit in one page, so deletes do not leave a trail of near-empty pages.
bool CdxTag::mergeWithRight(std::vector<Step>& path, size_t level, Node& node) {
  if (level == 0) return true;
  Step ps = path[level - 1];
  const uint8_t* pp = file_->page(ps.off, false);
  if (!pp) return false;
  int pn = get16(pp + 2);
  int a, b;
  if (ps.idx + 1 < pn) {
    a = ps.idx;
    b = ps.idx + 1;
  } else if (ps.idx > 0) {
    a = ps.idx - 1;
    b = ps.idx;
  } else {
    return true;
  }
  const int esize = keyLen_ + 8;
  uint32_t offA = getBE32(pp + kInteriorHeader + a * esize + keyLen_ + 4);
  uint32_t offB = getBE32(pp + kInteriorHeader + b * esize + keyLen_ + 4);
  Node& A = scratch2_;
  Node B;
  if (offA == node.off)
    A = node;
  else if (!loadNode(offA, A))
    return false;
  if (offB == node.off)
    B = node;
  else if (!loadNode(offB, B))
    return false;
  if (A.leaf() != B.leaf()) return file_->corrupt("leaf and interior pages side by side in tag " + name_);
  if (A.leaf()) {
    if (A.n + B.n == 0) return true;
    Node both = A;
    both.append(B, 0, B.n, keyLen_);
    if (leafBytes(both, 0, both.n, keyLen_, pad_) > kLeafRoom) return true;
    A = std::move(both);
  } else {
    if (A.n + B.n > maxInteriorKeys(keyLen_)) return true;
    A.append(B, 0, B.n, keyLen_);
  }
  if (!storeNode(A, 0, A.n, A.attr, A.left, B.right, offA)) return false;
  if (B.right != kNone && !setLeftLink(B.right, offA)) return false;
  file_->counts_.erase(offA);
  if (!file_->freePage(offB)) return false;
  // In the parent, A now ends where B ended; B's entry goes.
  uint8_t* p = file_->page(ps.off, true);
  if (!p) return false;
  std::memcpy(p + kInteriorHeader + a * esize, p + kInteriorHeader + b * esize, static_cast<size_t>(keyLen_ + 4));
  path[level - 1].idx = b;
  // removeChild deletes entry b; restore A's child pointer, which the copy above left alone.
  return removeChild(path, level - 1);
}

CdxTag::Edit CdxTag::remove(std::string_view keyText, uint32_t recno) {
  file_->trimCache();
  if (keyText.size() != static_cast<size_t>(keyLen_)) return Edit::Failed;
  const uint8_t* key = reinterpret_cast<const uint8_t*>(keyText.data());
  uint32_t leafOff = 0;
  if (!descend(key, static_cast<size_t>(keyLen_), recno, true, path_, leafOff)) return Edit::Failed;
  Node& leaf = scratch_;
  if (!loadNode(leafOff, leaf)) return Edit::Failed;
  int pos = lowerBound(leaf, keyLen_, key, static_cast<size_t>(keyLen_), recno, true);
  if (pos >= leaf.n || compareEntry(leaf.key(pos, keyLen_), leaf.recs[static_cast<size_t>(pos)], key, recno, keyLen_) != 0)
    return Edit::Unchanged;
  if (!file_->page(leafOff, true)) return Edit::Failed;
  leaf.erase(pos, keyLen_);
  ++version_;
  adjustCounts(path_, leafOff, -1);
  if (leaf.n == 0 && !path_.empty()) {
    if (leaf.left != kNone) {
      uint8_t* p = file_->page(leaf.left, true);
      if (!p) return Edit::Failed;
      put32(p + 8, leaf.right);
    }
    if (leaf.right != kNone && !setLeftLink(leaf.right, leaf.left)) return Edit::Failed;
    if (!file_->freePage(leafOff)) return Edit::Failed;
    return removeChild(path_, path_.size() - 1) ? Edit::Done : Edit::Failed;
  }
  if (!storeNode(leaf, 0, leaf.n, leaf.attr, leaf.left, leaf.right, leafOff)) return Edit::Failed;
  if (pos == leaf.n && leaf.n > 0 &&
      !fixSeparators(path_, path_.size(), leaf.key(leaf.n - 1, keyLen_), leaf.recs.back()))
    return Edit::Failed;
  if (!mergeWithRight(path_, path_.size(), leaf)) return Edit::Failed;
  return Edit::Done;
}

bool CdxTag::countOf(uint32_t off, uint64_t& count, int depth) {
  auto& counts = file_->counts_;
  auto it = counts.find(off);
  if (it != counts.end()) {
    count = it->second;
    return true;
  }
  if (depth > kMaxDepth) return file_->corrupt("tree of tag " + name_ + " too deep");
  if (off < kFirstTreePage) return file_->corrupt("tree page " + hexOffset(off) + " inside the header");
  const uint8_t* p = file_->page(off, false);
  if (!p) return false;
  uint16_t attr = get16(p);
  int n = get16(p + 2);
  uint64_t c = 0;
  if (attr & kAttrLeaf) {
    c = static_cast<uint64_t>(n);
  } else {
    if (n > maxInteriorKeys(keyLen_)) return file_->corrupt("bad key count in interior page " + hexOffset(off));
    uint32_t kids[64];
    for (int i = 0; i < n; ++i) kids[i] = getBE32(p + kInteriorHeader + i * (keyLen_ + 8) + keyLen_ + 4);
    for (int i = 0; i < n; ++i) {
      uint64_t k = 0;
      if (!countOf(kids[i], k, depth + 1)) return false;
      c += k;
    }
  }
  counts[off] = c;
  count = c;
  return true;
}

bool CdxTag::keyCount(uint64_t& count) {
  file_->trimCache();
  return countOf(root_, count, 0);
}

uint64_t CdxTag::position(std::string_view keyText, uint32_t recno) {
  file_->trimCache();
  if (keyText.size() != static_cast<size_t>(keyLen_)) return 0;
  const uint8_t* key = reinterpret_cast<const uint8_t*>(keyText.data());
  uint32_t leafOff = 0;
  if (!descend(key, static_cast<size_t>(keyLen_), recno, true, path_, leafOff)) return 0;
  uint64_t before = 0;
  const int esize = keyLen_ + 8;
  for (const Step& s : path_) {
    for (int i = 0; i < s.idx; ++i) {
      const uint8_t* p = file_->page(s.off, false);  // re-fetched: countOf may read other pages
      if (!p) return 0;
      uint64_t c = 0;
      if (!countOf(getBE32(p + kInteriorHeader + i * esize + keyLen_ + 4), c, 1)) return 0;
      before += c;
    }
  }
  if (!loadNode(leafOff, scratch_)) return 0;
  int pos = lowerBound(scratch_, keyLen_, key, static_cast<size_t>(keyLen_), recno, true);
  if (pos >= scratch_.n ||
      compareEntry(scratch_.key(pos, keyLen_), scratch_.recs[static_cast<size_t>(pos)], key, recno, keyLen_) != 0)
    return 0;
  return before + static_cast<uint64_t>(pos) + 1;
}

bool CdxTag::forEach(const std::function<bool(std::string_view, uint32_t)>& fn) {
  CdxCursor c(*this);
  for (bool ok = c.first(); ok; ok = c.next())
    if (!fn(c.key(), c.recno())) return true;
  return !c.failed();
}

bool CdxTag::collectPages(std::vector<uint32_t>& pages) {
  std::unordered_set<uint32_t> seen;
  std::vector<std::pair<uint32_t, int>> stack{{root_, 0}};
  while (!stack.empty()) {
    auto [off, depth] = stack.back();
    stack.pop_back();
    if (depth > kMaxDepth || off < kFirstTreePage || !seen.insert(off).second) return false;
    const uint8_t* p = file_->page(off, false);
    if (!p) return false;
    pages.push_back(off);
    if (get16(p) & kAttrLeaf) continue;
    int n = get16(p + 2);
    if (n > maxInteriorKeys(keyLen_)) return false;
    for (int i = 0; i < n; ++i)
      stack.push_back({getBE32(p + kInteriorHeader + i * (keyLen_ + 8) + keyLen_ + 4), depth + 1});
  }
  return true;
}

// ---------------------------------------------------------------- CdxCursor

bool CdxCursor::fail() {
  valid_ = false;
  failed_ = true;
  return false;
}

std::string_view CdxCursor::key() const {
  if (!valid_) return {};
  return {reinterpret_cast<const char*>(leaf_.key(idx_, tag_->keyLen_)), static_cast<size_t>(tag_->keyLen_)};
}

bool CdxCursor::loadLeaf(uint32_t off) {
  if (!tag_->loadNode(off, leaf_)) return false;
  if (!leaf_.leaf()) return tag_->file_->corrupt("interior page " + hexOffset(off) + " in the leaf chain");
  return true;
}

bool CdxCursor::stepLeaf(bool fwd) {
  const int kl = tag_->keyLen_;
  bool haveBoundary = leaf_.n > 0;
  uint32_t boundaryRec = 0;
  if (haveBoundary) {
    int i = fwd ? leaf_.n - 1 : 0;
    boundary_.assign(reinterpret_cast<const char*>(leaf_.key(i, kl)), static_cast<size_t>(kl));
    boundaryRec = leaf_.recs[static_cast<size_t>(i)];
  }
  uint32_t from = leaf_.off;
  const uint64_t maxHops = tag_->file_->size_ / kPage + 1;
  for (uint64_t hops = 0;; ++hops) {
    uint32_t off = fwd ? leaf_.right : leaf_.left;
    if (off == kNone) {
      valid_ = false;
      return false;
    }
    if (hops > maxHops) {
      tag_->file_->corrupt("loop in the leaf chain of tag " + tag_->name_);
      return fail();
    }
    if (!loadLeaf(off)) return fail();
    if ((fwd ? leaf_.left : leaf_.right) != from) {
      tag_->file_->corrupt("leaf links disagree at " + hexOffset(off) + " in tag " + tag_->name_);
      return fail();
    }
    from = off;
    if (leaf_.n == 0) continue;
    idx_ = fwd ? 0 : leaf_.n - 1;
    if (haveBoundary) {
      int c = compareEntry(leaf_.key(idx_, kl), leaf_.recs[static_cast<size_t>(idx_)],
                           reinterpret_cast<const uint8_t*>(boundary_.data()), boundaryRec, kl);
      if (fwd ? c <= 0 : c >= 0) {
        tag_->file_->corrupt("leaf chain out of order at " + hexOffset(off) + " in tag " + tag_->name_);
        return fail();
      }
    }
    valid_ = true;
    return true;
  }
}

bool CdxCursor::first() {
  tag_->file_->trimCache();
  valid_ = failed_ = false;
  version_ = tag_->version_;
  uint32_t leaf = 0;
  if (!tag_->descendEdge(false, leaf) || !loadLeaf(leaf)) return fail();
  if (leaf_.n > 0) {
    idx_ = 0;
    valid_ = true;
    return true;
  }
  return stepLeaf(true);
}

bool CdxCursor::last() {
  tag_->file_->trimCache();
  valid_ = failed_ = false;
  version_ = tag_->version_;
  uint32_t leaf = 0;
  if (!tag_->descendEdge(true, leaf) || !loadLeaf(leaf)) return fail();
  if (leaf_.n > 0) {
    idx_ = leaf_.n - 1;
    valid_ = true;
    return true;
  }
  return stepLeaf(false);
}

bool CdxCursor::afterPrefix(const uint8_t* key, size_t len, uint32_t rec, bool useRec) {
  const int kl = tag_->keyLen_;
  int i = lowerBound(leaf_, kl, key, len, rec, useRec);
  // Stale separators in files from elsewhere can leave the entry in a later leaf.
  while (i >= leaf_.n) {
    if (!stepLeaf(true)) return false;
    i = lowerBound(leaf_, kl, key, len, rec, useRec);
  }
  idx_ = i;
  valid_ = true;
  return true;
}

bool CdxCursor::seek(std::string_view searchKey) {
  tag_->file_->trimCache();
  valid_ = failed_ = false;
  version_ = tag_->version_;
  size_t len = std::min(searchKey.size(), static_cast<size_t>(tag_->keyLen_));
  const uint8_t* key = reinterpret_cast<const uint8_t*>(searchKey.data());
  uint32_t leaf = 0;
  if (!tag_->descend(key, len, 0, false, path_, leaf) || !loadLeaf(leaf)) return fail();
  return afterPrefix(key, len, 0, false);
}

bool CdxCursor::seekExact(std::string_view keyText, uint32_t recno) {
  tag_->file_->trimCache();
  valid_ = failed_ = false;
  version_ = tag_->version_;
  if (keyText.size() != static_cast<size_t>(tag_->keyLen_)) return false;
  const uint8_t* key = reinterpret_cast<const uint8_t*>(keyText.data());
  uint32_t leaf = 0;
  if (!tag_->descend(key, keyText.size(), recno, true, path_, leaf) || !loadLeaf(leaf)) return fail();
  return afterPrefix(key, keyText.size(), recno, true);
}

bool CdxCursor::refresh(bool forward, bool& moved) {
  moved = false;
  std::string cur(key());
  uint32_t rec = recno();
  if (!seekExact(cur, rec)) {
    if (failed_) return false;
    // Every entry left is smaller than the one we stood on.
    moved = true;
    if (!forward) return last();
    return true;
  }
  bool same = key() == cur && recno() == rec;
  // Going forward from a vanished entry, the first greater one is the answer;
  // going back, one step back from it is.
  moved = forward && !same;
  return true;
}

bool CdxCursor::next() {
  if (!valid_) return false;
  tag_->file_->trimCache();
  if (version_ != tag_->version_) {
    bool moved = false;
    if (!refresh(true, moved)) return false;
    if (moved) return valid_;
  }
  if (idx_ + 1 < leaf_.n) {
    ++idx_;
    return true;
  }
  return stepLeaf(true);
}

bool CdxCursor::prev() {
  if (!valid_) return false;
  tag_->file_->trimCache();
  if (version_ != tag_->version_) {
    bool moved = false;
    if (!refresh(false, moved)) return false;
    if (moved) return valid_;
  }
  if (idx_ > 0) {
    --idx_;
    return true;
  }
  return stepLeaf(false);
}

uint64_t CdxCursor::position() {
  if (!valid_) return 0;
  std::string cur(key());
  return tag_->position(cur, recno());
}

// ---------------------------------------------------------------- check

bool CdxFile::readRaw(uint32_t off, uint8_t* out) {
  if (const CachedPage* cp = slot(off, false)) {
    std::memcpy(out, cp->b.data(), kPage);
    return true;
  }
  return validOffset(off) && file_->readAt(off, out, kPage) == kPage;
}

CdxCheckReport CdxFile::check() {
  trimCache();
  CdxCheckReport r;
  std::unordered_map<uint32_t, std::string> owner;
  auto claim = [&](uint32_t off, const std::string& who) {
    if (!validOffset(off)) {
      r.problems.push_back(who + ": page " + hexOffset(off) + " outside the file");
      return false;
    }
    auto [it, fresh] = owner.emplace(off, who);
    if (!fresh) {
      r.problems.push_back(who + ": page " + hexOffset(off) + " already used by " + it->second);
      return false;
    }
    return true;
  };

  auto checkTree = [&](CdxTag& t, const std::string& label) {
    const int kl = t.keyLen_;
    std::vector<std::vector<std::array<uint32_t, 3>>> levels;
    std::string prevKey;
    uint32_t prevRec = 0;
    bool havePrev = false;
    int leafDepth = -1;
    auto after = [&](const uint8_t* k, uint32_t rec) {
      return !havePrev || compareEntry(k, rec, reinterpret_cast<const uint8_t*>(prevKey.data()), prevRec, kl) > 0;
    };
    std::function<bool(uint32_t, int)> visit = [&](uint32_t off, int depth) -> bool {
      if (depth > kMaxDepth) {
        r.problems.push_back(label + ": tree deeper than " + std::to_string(kMaxDepth) + " levels");
        return false;
      }
      if (off < kFirstTreePage) {
        r.problems.push_back(label + ": tree page " + hexOffset(off) + " inside the file header");
        return false;
      }
      if (!claim(off, label)) return false;
      uint8_t buf[kPage];
      if (!readRaw(off, buf)) {
        r.problems.push_back(label + ": page " + hexOffset(off) + " unreadable");
        return false;
      }
      Node nd;
      if (const char* err = decodeNode(buf, kl, t.pad_, nd)) {
        r.problems.push_back(label + ": " + err + " at " + hexOffset(off));
        return false;
      }
      if (nd.root() != (depth == 0)) r.problems.push_back(label + ": wrong root flag at " + hexOffset(off));
      if (levels.size() <= static_cast<size_t>(depth)) levels.resize(static_cast<size_t>(depth) + 1);
      levels[static_cast<size_t>(depth)].push_back({off, nd.left, nd.right});
      if (nd.leaf()) {
        if (leafDepth < 0) leafDepth = depth;
        if (leafDepth != depth) r.problems.push_back(label + ": leaves at different depths");
        if (nd.n == 0 && depth > 0) r.warnings.push_back(label + ": empty leaf " + hexOffset(off));
        for (int i = 0; i < nd.n; ++i) {
          if (!after(nd.key(i, kl), nd.recs[static_cast<size_t>(i)])) {
            r.problems.push_back(label + ": keys out of order at " + hexOffset(off));
            return false;
          }
          prevKey.assign(reinterpret_cast<const char*>(nd.key(i, kl)), static_cast<size_t>(kl));
          prevRec = nd.recs[static_cast<size_t>(i)];
          havePrev = true;
        }
        return true;
      }
      if (nd.n == 0) {
        r.problems.push_back(label + ": empty interior page " + hexOffset(off));
        return false;
      }
      for (int i = 0; i < nd.n; ++i) {
        if (!visit(nd.kids[static_cast<size_t>(i)], depth + 1)) return false;
        // Every key of child i is at most its separator, and every later key above it.
        if (havePrev && !after(nd.key(i, kl), nd.recs[static_cast<size_t>(i)]) &&
            compareEntry(nd.key(i, kl), nd.recs[static_cast<size_t>(i)],
                         reinterpret_cast<const uint8_t*>(prevKey.data()), prevRec, kl) != 0) {
          r.problems.push_back(label + ": separator below its child's keys at " + hexOffset(off));
          return false;
        }
        prevKey.assign(reinterpret_cast<const char*>(nd.key(i, kl)), static_cast<size_t>(kl));
        prevRec = nd.recs[static_cast<size_t>(i)];
        havePrev = true;
      }
      return true;
    };
    if (!visit(t.root_, 0)) return;
    for (size_t d = 0; d < levels.size(); ++d) {
      const auto& lv = levels[d];
      for (size_t k = 0; k < lv.size(); ++k) {
        uint32_t wantLeft = k ? lv[k - 1][0] : kNone;
        uint32_t wantRight = k + 1 < lv.size() ? lv[k + 1][0] : kNone;
        if (lv[k][1] != wantLeft || lv[k][2] != wantRight) {
          r.problems.push_back(label + ": sibling links wrong at " + hexOffset(lv[k][0]));
          return;
        }
      }
    }
  };

  claim(0, "structure tag header");
  claim(kPage, "structure tag header");
  checkTree(*structure_, "structure tag");
  for (auto& t : tags_) {
    std::string label = "tag " + t->name();
    if (claim(t->header_, label + " header") && claim(t->header_ + kPage, label + " header")) checkTree(*t, label);
  }
  uint8_t buf[kPage];
  uint32_t f = readRaw(0, buf) ? get32(buf + 4) : 0;
  while (f) {
    if (f < kFirstTreePage || !claim(f, "free chain")) {
      if (f < kFirstTreePage) r.problems.push_back("free chain: page " + hexOffset(f) + " inside the file header");
      break;
    }
    ++r.freePages;
    if (!readRaw(f, buf)) break;
    f = get32(buf);
  }
  r.pages = size_ / kPage;
  for (uint64_t off = 0; off + kPage <= size_; off += kPage)
    if (!owner.count(static_cast<uint32_t>(off)))
      r.warnings.push_back("page " + hexOffset(static_cast<uint32_t>(off)) + " belongs to no tag and is not free");
  if (size_ % kPage) r.warnings.push_back("file size is not a whole number of pages");
  return r;
}

}  // namespace zol
