#include "memo.h"

#include <algorithm>
#include <cstring>

#include "store/dbf_types.h"

namespace zol {

namespace {

constexpr uint32_t kTypeText = 1;
constexpr uint32_t kTypeFreeList = 1000;
constexpr uint32_t kTypeFreeRun = 1001;
constexpr uint32_t kListDataLength = 1010;  // 2-byte word count + 126 pairs of 8 bytes
constexpr size_t kMaxStoredRuns = 126;
constexpr char kExtensionTag[] = "FlexFile3\x03";  // followed by a zero byte
constexpr uint32_t kExtensionOffset = 512;
constexpr uint32_t kCopyOffsetField = 524;

uint32_t be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
void putBe32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}
uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void putLe32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

}  // namespace

bool MemoFile::create(FileSystem& fs, const std::string& path) {
  for (;;) {
    int os = 0;
    auto f = fs.open(path, OpenMode::CreateTruncate, true, os);
    if (f) {
      unsigned char h[kHeaderSize] = {};
      putBe32(h, kHeaderSize / kBlockSize);
      putBe32(h + 4, kBlockSize);
      std::memcpy(h + 8, "Quorvex", 8);
      std::memcpy(h + kExtensionOffset, kExtensionTag, 11);
      if (f->writeAt(0, h, sizeof h) == sizeof h && f->truncate(kHeaderSize)) return true;
      os = f->osError();
    }
    if (!raiseDb(ErrGen::Create, DbErr::CreateMemo, path, os, true, false)) return false;
  }
}

std::unique_ptr<MemoFile> MemoFile::open(FileSystem& fs, const std::string& path, bool readOnly) {
  std::unique_ptr<File> f;
  for (;;) {
    int os = 0;
    f = fs.open(path, readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite, false, os);
    if (f) break;
    if (!raiseDb(ErrGen::Open, DbErr::OpenMemo, path, os, true, true)) return nullptr;
  }
  std::unique_ptr<MemoFile> m(new MemoFile);
  m->path_ = path;
  m->readOnly_ = readOnly;
  uint64_t size = f->size();
  unsigned char h[kHeaderSize] = {};
  size_t got = f->readAt(0, h, size >= kHeaderSize ? kHeaderSize : 512);
  if (size < 512 || got < 512) {
    raiseDb(ErrGen::Corruption, DbErr::Corrupt, path);
    return nullptr;
  }
  uint32_t bs = be32(h + 4);
  // Some writers keep the block size in two bytes at offset 6 and leave 4-5 alone.
  if (bs > 0xFFFF) bs = uint32_t(h[6]) << 8 | h[7];
  if (bs == 0) {
    raiseDb(ErrGen::Corruption, DbErr::Corrupt, path);
    return nullptr;
  }
  m->blockSize_ = bs;
  m->file_ = std::move(f);
  m->extension_ = size >= kHeaderSize && std::memcmp(h + kExtensionOffset, kExtensionTag, 11) == 0;
  uint32_t headerBlocks = ((m->extension_ ? kHeaderSize : 512) + bs - 1) / bs;
  // Never hand out a block that holds the header or lies inside the file's
  // current length, whatever the next-free field claims.
  uint64_t sizeBlocks = (size + bs - 1) / bs;
  m->nextFree_ = static_cast<uint32_t>(
      std::min<uint64_t>(std::max<uint64_t>({be32(h), headerBlocks, sizeBlocks}), UINT32_MAX));
  if (m->extension_) {
    m->counter_ = le32(h + 532);
    m->readFreeList();  // a damaged list is ignored: its runs just stay unused
  }
  return m;
}

bool MemoFile::readFreeList() {
  unsigned char h[12];
  if (file_->readAt(kCopyOffsetField, h, 12) != 12) return false;
  uint32_t copyOff = le32(h), listOff = le32(h + 4);
  uint32_t listBlocks = blocksFor(kListDataLength);
  auto validRun = [&](uint32_t off) {
    return off != 0 && off % blockSize_ == 0 && off / blockSize_ >= kHeaderSize / blockSize_ &&
           uint64_t(off / blockSize_) + listBlocks <= nextFree_;
  };
  if (!validRun(listOff)) return false;
  std::vector<unsigned char> buf(8 + kListDataLength);
  if (file_->readAt(listOff, buf.data(), buf.size()) != buf.size()) return false;
  if (be32(buf.data()) != kTypeFreeList || be32(buf.data() + 4) < 2) return false;
  uint32_t words = uint32_t(buf[8]) | uint32_t(buf[9]) << 8;
  if (words < 3 || (words - 3) % 4 != 0) return false;
  size_t count = (words - 3) / 4;
  if (count > kMaxStoredRuns) return false;
  listRun_ = {listOff / blockSize_, listBlocks};
  if (validRun(copyOff)) copyRun_ = {copyOff / blockSize_, listBlocks};
  uint32_t firstData = kHeaderSize / blockSize_;
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* p = buf.data() + 10 + i * 8;
    uint32_t start = le32(p), len = le32(p + 4);
    if (start % blockSize_ || len % blockSize_ || len == 0) continue;
    Run r{start / blockSize_, len / blockSize_};
    if (r.start < firstData || uint64_t(r.start) + r.length > nextFree_) continue;
    auto overlaps = [&](const Run& o) { return o.length && r.start < o.start + o.length && o.start < r.start + r.length; };
    if (overlaps(listRun_) || overlaps(copyRun_)) continue;
    bool clash = false;
    for (const Run& o : free_) clash = clash || overlaps(o);
    if (!clash) insertSorted(r);
  }
  return true;
}

void MemoFile::insertSorted(Run r) {
  auto less = [](const Run& a, const Run& b) {
    return a.length != b.length ? a.length < b.length : a.start < b.start;
  };
  free_.insert(std::upper_bound(free_.begin(), free_.end(), r, less), r);
}

bool MemoFile::writeAt(uint64_t offset, const void* buf, size_t n) {
  if (file_->writeAt(offset, buf, n) == n) return true;
  raiseDb(ErrGen::Write, DbErr::Write, path_, file_->osError());
  return false;
}

bool MemoFile::writeFreeMarker(const Run& r) {
  unsigned char h[8];
  putBe32(h, kTypeFreeRun);
  putBe32(h + 4, r.length * blockSize_ - 8);
  return writeAt(uint64_t(r.start) * blockSize_, h, 8);
}

void MemoFile::freeRun(uint32_t start, uint32_t length) {
  Run m{start, length};
  if (extension_) {
    // Merge with the free neighbours on both sides.
    for (bool merged = true; merged;) {
      merged = false;
      for (size_t i = 0; i < free_.size(); ++i) {
        const Run& o = free_[i];
        if (o.start + o.length == m.start || m.start + m.length == o.start) {
          m = {std::min(o.start, m.start), o.length + m.length};
          free_.erase(free_.begin() + static_cast<long>(i));
          merged = true;
          break;
        }
      }
    }
    listDirty_ = true;
  }
  if (m.start + m.length == nextFree_) {
    nextFree_ = m.start;  // the file shrinks at the next header write
    headerDirty_ = true;
    return;
  }
  if (!extension_) return;  // foreign memo file: the run just stays unused
  insertSorted(m);
  writeFreeMarker(m);
}

bool MemoFile::takeRun(uint32_t need, uint32_t& start) {
  for (size_t i = 0; i < free_.size(); ++i) {
    if (free_[i].length < need) continue;
    Run r = free_[i];
    free_.erase(free_.begin() + static_cast<long>(i));
    start = r.start;
    if (r.length > need) {
      Run rest{r.start + need, r.length - need};
      insertSorted(rest);
      if (!writeFreeMarker(rest)) return false;
    }
    listDirty_ = true;
    return true;
  }
  if (uint64_t(nextFree_) + need > UINT32_MAX) {
    raiseDb(ErrGen::Write, DbErr::Write, path_, OsErr::DiskFull);
    return false;
  }
  start = nextFree_;
  nextFree_ += need;
  headerDirty_ = true;
  return true;
}

bool MemoFile::storeFreeList() {
  listDirty_ = false;
  if (!extension_) return true;
  uint32_t listBlocks = blocksFor(kListDataLength);
  if (free_.empty() && listRun_.length) {
    // Give the list's own runs back when nothing follows them.
    Run lo = listRun_, hi = copyRun_;
    if (hi.length && hi.start < lo.start) std::swap(lo, hi);
    bool contiguous = !hi.length || lo.start + lo.length == hi.start;
    uint32_t end = hi.length ? hi.start + hi.length : lo.start + lo.length;
    if (contiguous && end == nextFree_) {
      nextFree_ = lo.start;
      listRun_ = copyRun_ = {};
      headerDirty_ = true;
      return true;
    }
  }
  if (free_.empty() && !listRun_.length) return true;
  if (!listRun_.length) {
    if (uint64_t(nextFree_) + 2 * listBlocks > UINT32_MAX) return false;
    listRun_ = {nextFree_, listBlocks};
    copyRun_ = {nextFree_ + listBlocks, listBlocks};
    nextFree_ += 2 * listBlocks;
  }
  // The list is sorted by length; only its longest runs fit.
  size_t first = free_.size() > kMaxStoredRuns ? free_.size() - kMaxStoredRuns : 0;
  size_t count = free_.size() - first;
  std::vector<unsigned char> a(listBlocks * blockSize_, 0), b;
  putBe32(a.data(), kTypeFreeList);
  putBe32(a.data() + 4, kListDataLength);
  uint32_t words = static_cast<uint32_t>(count * 4 + 3);
  a[8] = static_cast<unsigned char>(words);
  a[9] = static_cast<unsigned char>(words >> 8);
  std::memset(a.data() + 10, 0xAD, kListDataLength - 2);
  b = a;
  for (size_t i = 0; i < count; ++i) {
    const Run& r = free_[first + i];
    putLe32(a.data() + 10 + i * 8, r.start * blockSize_);
    putLe32(a.data() + 14 + i * 8, r.length * blockSize_);
    putLe32(b.data() + 10 + i * 8, r.length * blockSize_);
    putLe32(b.data() + 14 + i * 8, r.start * blockSize_);
  }
  if (8 + kListDataLength < a.size()) a.back() = b.back() = 0xAF;
  if (!writeAt(uint64_t(listRun_.start) * blockSize_, a.data(), a.size())) return false;
  if (copyRun_.length && !writeAt(uint64_t(copyRun_.start) * blockSize_, b.data(), b.size())) return false;
  ++counter_;
  headerDirty_ = true;
  return true;
}

bool MemoFile::writeHeader() {
  unsigned char n[4];
  putBe32(n, nextFree_);
  if (!writeAt(0, n, 4)) return false;
  if (extension_) {
    unsigned char h[12];
    putLe32(h, copyRun_.length ? copyRun_.start * blockSize_ : 0);
    putLe32(h + 4, listRun_.length ? listRun_.start * blockSize_ : 0);
    putLe32(h + 8, counter_);
    if (!writeAt(kCopyOffsetField, h, 12)) return false;
  }
  uint64_t end = std::max<uint64_t>(uint64_t(nextFree_) * blockSize_, extension_ ? kHeaderSize : 512);
  if (file_->size() > end && !file_->truncate(end)) {
    raiseDb(ErrGen::Write, DbErr::Write, path_, file_->osError());
    return false;
  }
  headerDirty_ = false;
  return true;
}

bool MemoFile::flush() {
  if (readOnly_) return true;
  if (listDirty_ && !storeFreeList()) return false;
  return headerDirty_ ? writeHeader() : true;
}

bool MemoFile::read(uint32_t block, std::string& text) {
  text.clear();
  if (block == 0) return true;
  unsigned char h[8];
  uint64_t off = uint64_t(block) * blockSize_;
  uint64_t size = file_->size();
  if (file_->readAt(off, h, 8) != 8) {
    raiseDb(ErrGen::Read, DbErr::Read, path_, file_->osError());
    return false;
  }
  uint32_t len = be32(h + 4);
  if (off + 8 + len > size) {
    raiseDb(ErrGen::Read, DbErr::Read, path_, file_->osError());
    return false;
  }
  text.resize(len);
  if (len && file_->readAt(off + 8, text.data(), len) != len) {
    text.clear();
    raiseDb(ErrGen::Read, DbErr::Read, path_, file_->osError());
    return false;
  }
  return true;
}

bool MemoFile::write(uint32_t oldBlock, std::string_view text, uint32_t& newBlock) {
  newBlock = 0;
  if (readOnly_) {
    raiseDb(ErrGen::Readonly, DbErr::Readonly, path_);
    return false;
  }
  if (oldBlock) {
    // Free the old run only when it really is a live run of ours: a damaged
    // pointer must never free blocks that belong to another memo.
    unsigned char h[8];
    uint32_t firstData = ((extension_ ? kHeaderSize : 512) + blockSize_ - 1) / blockSize_;
    if (oldBlock >= firstData && oldBlock < nextFree_ && file_->readAt(uint64_t(oldBlock) * blockSize_, h, 8) == 8 &&
        be32(h) != kTypeFreeRun && be32(h) != kTypeFreeList) {
      uint64_t len = blocksFor(be32(h + 4));
      Run r{oldBlock, static_cast<uint32_t>(std::min<uint64_t>(len, UINT32_MAX))};
      auto overlaps = [&](const Run& o) {
        return o.length && r.start < o.start + o.length && o.start < r.start + r.length;
      };
      bool clash = uint64_t(r.start) + r.length > nextFree_ || overlaps(listRun_) || overlaps(copyRun_);
      for (const Run& o : free_) clash = clash || overlaps(o);
      if (!clash) freeRun(r.start, r.length);
    }
  }
  if (!text.empty()) {
    if (text.size() > UINT32_MAX - 8 - blockSize_) {
      raiseDb(ErrGen::DataWidth, DbErr::DataWidth, path_);
      return false;
    }
    uint32_t need = blocksFor(text.size());
    uint32_t start = 0;
    if (!takeRun(need, start)) return false;
    std::vector<unsigned char> run(uint64_t(need) * blockSize_, 0);
    putBe32(run.data(), kTypeText);
    putBe32(run.data() + 4, static_cast<uint32_t>(text.size()));
    std::memcpy(run.data() + 8, text.data(), text.size());
    if (text.size() + 8 < run.size()) run.back() = 0xAF;
    if (!writeAt(uint64_t(start) * blockSize_, run.data(), run.size())) return false;
    newBlock = start;
  }
  if (listDirty_ && !storeFreeList()) return false;
  return writeHeader();
}

}  // namespace zol
