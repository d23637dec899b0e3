#include "dbf.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <strings.h>

#include "core/date.h"

namespace zol {

namespace {

constexpr size_t kCacheBytes = 256 * 1024;
constexpr size_t kTailBytes = 1024 * 1024;

bool versionAccepted(unsigned char v) {
  static const unsigned char ok[] = {0x02, 0x03, 0x04, 0x06, 0x30, 0x31, 0x32, 0x7B,
                                     0x83, 0x86, 0x8B, 0xE5, 0xE6, 0xF5, 0xF6};
  return std::find(std::begin(ok), std::end(ok), v) != std::end(ok);
}

bool typeKnown(char t) {
  return t == FieldType::Character || t == FieldType::Numeric || t == FieldType::Date ||
         t == FieldType::Memo || t == FieldType::Logical || t == FieldType::Float;
}

void putLe16(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void putLe32(unsigned char* p, uint32_t v) {
  putLe16(p, v);
  putLe16(p + 2, v >> 16);
}
uint32_t le16(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const unsigned char* p) { return le16(p) | le16(p + 2) << 16; }

void stampDate(unsigned char* h) {
  Date t = Date::today();
  h[1] = static_cast<unsigned char>(t.year() - 1900);
  h[2] = static_cast<unsigned char>(t.month());
  h[3] = static_cast<unsigned char>(t.day());
}

std::string memoPathFor(const std::string& tablePath) {
  std::string dir, file;
  splitPath(tablePath, dir, file);
  return resolveInDir(dir, pathStem(tablePath) + ".fpt");
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

}  // namespace

bool DbfFile::create(FileSystem& fs, const std::string& path, const Structure& structure) {
  // Build the header and descriptors first: a structure we cannot store is a
  // create error before any file is touched.
  std::vector<FieldDesc> fields;
  bool memo = false;
  int recLen = 1;
  for (const FieldSpec& s : structure) {
    FieldDesc d;
    d.name = upper(s.name.substr(0, 10));
    d.type = static_cast<char>(std::toupper(static_cast<unsigned char>(s.type)));
    d.width = s.width;
    d.decimals = s.decimals;
    if (d.type == FieldType::Date) d.width = 8, d.decimals = 0;
    if (d.type == FieldType::Memo) d.width = 10, d.decimals = 0;
    if (d.type == FieldType::Logical) d.width = 1, d.decimals = 0;
    bool ok = typeKnown(d.type) && !d.name.empty() && d.width > 0 &&
              (d.type == FieldType::Character ? d.width <= 65535 : d.width <= 255) &&
              d.decimals >= 0 && (d.decimals == 0 || d.decimals < d.width - 1);
    if (!ok || fields.size() >= kMaxFields) {
      raiseDbError(ErrGen::Create, DbErr::CreateTable, "Create error: bad field " + s.name, path);
      return false;
    }
    memo = memo || d.type == FieldType::Memo;
    d.offset = recLen;
    recLen += d.width;
    fields.push_back(d);
  }
  if (fields.empty() || recLen > 65535) {
    raiseDbError(ErrGen::Create, DbErr::CreateTable, "Create error: bad structure", path);
    return false;
  }
  const uint32_t hdrLen = 32 + 32 * static_cast<uint32_t>(fields.size()) + 2;
  std::vector<unsigned char> h(hdrLen + 1, 0);
  h[0] = memo ? 0xF5 : 0x03;
  stampDate(h.data());
  putLe16(&h[8], hdrLen);
  putLe16(&h[10], static_cast<uint32_t>(recLen));
  for (size_t i = 0; i < fields.size(); ++i) {
    unsigned char* d = &h[32 + 32 * i];
    std::memcpy(d, fields[i].name.data(), fields[i].name.size());
    d[11] = static_cast<unsigned char>(fields[i].type);
    int w = fields[i].width;
    if (fields[i].type == FieldType::Character) {
      d[16] = static_cast<unsigned char>(w & 0xFF);
      d[17] = static_cast<unsigned char>(w >> 8);
    } else {
      d[16] = static_cast<unsigned char>(w);
      d[17] = static_cast<unsigned char>(fields[i].decimals);
    }
  }
  h[hdrLen - 2] = 0x0D;
  h[hdrLen - 1] = 0x00;
  h[hdrLen] = 0x1A;
  for (;;) {
    int os = 0;
    auto f = fs.open(path, OpenMode::CreateTruncate, true, os);
    if (f) {
      if (f->writeAt(0, h.data(), h.size()) == h.size()) break;
      os = f->osError();
    }
    if (!raiseDb(ErrGen::Create, DbErr::CreateTable, path, os, true, false)) return false;
  }
  if (memo && !MemoFile::create(fs, memoPathFor(path))) return false;
  return true;
}

std::unique_ptr<DbfFile> DbfFile::open(FileSystem& fs, const std::string& path, bool shared,
                                       bool readOnly) {
  std::unique_ptr<DbfFile> t(new DbfFile);
  t->fs_ = &fs;
  t->path_ = path;
  t->shared_ = shared;
  t->readOnly_ = readOnly;
  for (;;) {
    int os = 0;
    t->file_ = fs.open(path, readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite, !shared, os);
    if (t->file_) break;
    if (!raiseDb(ErrGen::Open, DbErr::OpenTable, path, os, true, true)) return nullptr;
  }
  if (!t->loadHeader()) return nullptr;
  bool hasMemo = std::any_of(t->fields_.begin(), t->fields_.end(),
                             [](const FieldDesc& f) { return f.type == FieldType::Memo; });
  if (hasMemo) {
    t->memo_ = MemoFile::open(fs, memoPathFor(path), readOnly);
    if (!t->memo_) return nullptr;
  }
  size_t per = std::max<size_t>(1, kCacheBytes / static_cast<size_t>(t->recLen_));
  t->cache_.resize(per * static_cast<size_t>(t->recLen_));
  return t;
}

DbfFile::~DbfFile() { flush(true); }

bool DbfFile::loadHeader() {
  if (file_->readAt(0, header_, 32) != 32) {
    raiseDb(ErrGen::Read, DbErr::Read, path_, file_->osError());
    return false;
  }
  if (!versionAccepted(header_[0])) {
    raiseDb(ErrGen::Corruption, DbErr::Corrupt, path_);
    return false;
  }
  recCount_ = diskCount_ = le32(header_ + 4);
  hdrLen_ = static_cast<int>(le16(header_ + 8));
  recLen_ = static_cast<int>(le16(header_ + 10));
  if (hdrLen_ < 32 + 32 + 1 || recLen_ < 2) {
    raiseDb(ErrGen::Corruption, DbErr::Corrupt, path_);
    return false;
  }
  std::vector<unsigned char> d(static_cast<size_t>(hdrLen_ - 32));
  if (file_->readAt(32, d.data(), d.size()) != d.size()) {
    raiseDb(ErrGen::Read, DbErr::Read, path_, file_->osError());
    return false;
  }
  int offset = 1;
  bool terminated = false;
  for (size_t i = 0; i < d.size(); i += 32) {
    if (d[i] == 0x0D) {
      terminated = true;
      break;
    }
    if (i + 32 > d.size()) break;
    const unsigned char* p = &d[i];
    FieldDesc f;
    size_t n = 0;
    while (n < 11 && p[n]) ++n;
    f.name = upper(std::string(reinterpret_cast<const char*>(p), n));
    while (!f.name.empty() && f.name.back() == ' ') f.name.pop_back();
    f.type = static_cast<char>(p[11]);
    f.width = p[16];
    f.decimals = p[17];
    if (f.type == FieldType::Character) {
      f.width += f.decimals * 256;
      f.decimals = 0;
    }
    if (!typeKnown(f.type) || f.width == 0 || f.name.empty() ||
        (f.type == FieldType::Memo && f.width != 10 && f.width != 4)) {
      raiseDb(ErrGen::Corruption, DbErr::Corrupt, path_);
      return false;
    }
    f.offset = offset;
    offset += f.width;
    fields_.push_back(f);
  }
  if (!terminated || fields_.empty() || offset > recLen_) {
    raiseDb(ErrGen::Corruption, DbErr::Corrupt, path_);
    return false;
  }
  return true;
}

int DbfFile::fieldIndex(std::string_view name) const {
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  for (size_t i = 0; i < fields_.size(); ++i) {
    const std::string& n = fields_[i].name;
    if (n.size() == name.size() && strncasecmp(n.data(), name.data(), n.size()) == 0)
      return static_cast<int>(i);
  }
  return -1;
}

void DbfFile::setIndexFlag(bool on) {
  unsigned char v = on ? 1 : 0;
  if (header_[28] != v) {
    header_[28] = v;
    changed_ = countChanged_ = true;
  }
}

bool DbfFile::readRecord(uint32_t recno, char* buf) {
  const size_t rl = static_cast<size_t>(recLen_);
  if (recno == 0 || recno > recCount_) return false;
  if (recno > diskCount_) {
    std::memcpy(buf, &tail_[(recno - diskCount_ - 1) * rl], rl);
    return true;
  }
  if (recno < cacheFirst_ || recno >= cacheFirst_ + cacheCount_) {
    uint32_t per = static_cast<uint32_t>(cache_.size() / rl);
    // Going backwards, fill the cache with the records before this one.
    uint32_t first = recno;
    bool backwards = cacheCount_ && recno + 1 == cacheFirst_;
    bool forwards = cacheCount_ && recno == cacheFirst_ + cacheCount_;
    if (backwards) first = recno >= per ? recno - per + 1 : 1;
    // A jump anywhere else (goto, seek) reads about a page: random access must
    // not pay for a whole block per record. Walking on from there fills blocks.
    uint32_t want = backwards || forwards ? per : std::max<uint32_t>(1, 4096 / static_cast<uint32_t>(rl));
    uint32_t count = std::min(want, diskCount_ - first + 1);
    uint64_t off = static_cast<uint64_t>(hdrLen_) + uint64_t(first - 1) * rl;
    size_t got = file_->readAt(off, cache_.data(), count * rl);
    cacheFirst_ = first;
    cacheCount_ = static_cast<uint32_t>(got / rl);
    if (recno >= cacheFirst_ + cacheCount_) {
      raiseDb(ErrGen::Read, DbErr::Read, path_, file_->osError());
      return false;
    }
  }
  std::memcpy(buf, &cache_[(recno - cacheFirst_) * rl], rl);
  return true;
}

bool DbfFile::checkWritable() {
  if (readOnly_) {
    raiseDb(ErrGen::Readonly, DbErr::Readonly, path_);
    return false;
  }
  return true;
}

bool DbfFile::writeRecord(uint32_t recno, const char* buf) {
  const size_t rl = static_cast<size_t>(recLen_);
  if (recno == 0 || recno > recCount_ || !checkWritable()) return false;
  changed_ = true;
  if (recno > diskCount_) {
    std::memcpy(&tail_[(recno - diskCount_ - 1) * rl], buf, rl);
    return true;
  }
  uint64_t off = static_cast<uint64_t>(hdrLen_) + uint64_t(recno - 1) * rl;
  if (file_->writeAt(off, buf, rl) != rl) {
    dropCache();
    raiseDb(ErrGen::Write, DbErr::Write, path_, file_->osError());
    return false;
  }
  if (recno >= cacheFirst_ && recno < cacheFirst_ + cacheCount_)
    std::memcpy(&cache_[(recno - cacheFirst_) * rl], buf, rl);
  return true;
}

uint32_t DbfFile::appendRecord(const char* buf) {
  if (!checkWritable()) return 0;
  if (recCount_ == UINT32_MAX) {
    raiseDb(ErrGen::Write, DbErr::Write, path_);
    return 0;
  }
  tail_.insert(tail_.end(), buf, buf + recLen_);
  ++recCount_;
  changed_ = countChanged_ = true;
  if (tail_.size() >= kTailBytes && !flushTail()) return 0;
  return recCount_;
}

bool DbfFile::flushTail() {
  if (tail_.empty()) return true;
  const size_t rl = static_cast<size_t>(recLen_);
  uint64_t off = static_cast<uint64_t>(hdrLen_) + uint64_t(diskCount_) * rl;
  size_t w = file_->writeAt(off, tail_.data(), tail_.size());
  bool ok = w == tail_.size();
  // Only whole records that reached the file count; the header never claims more.
  diskCount_ += static_cast<uint32_t>(w / rl);
  recCount_ = diskCount_;
  tail_.clear();
  if (!ok) {
    raiseDb(ErrGen::Write, DbErr::Write, path_, file_->osError());
    writeHeader();
    return false;
  }
  return true;
}

bool DbfFile::writeHeader() {
  if (readOnly_) return true;
  stampDate(header_);
  putLe32(header_ + 4, diskCount_);
  if (file_->writeAt(0, header_, 32) != 32) {
    raiseDb(ErrGen::Write, DbErr::Write, path_, file_->osError());
    return false;
  }
  // End-of-file byte only when the file runs past the records (after a pack,
  // a zap or a failed append); a table that just grew ends with its last record.
  uint64_t end = static_cast<uint64_t>(hdrLen_) + uint64_t(diskCount_) * static_cast<uint64_t>(recLen_);
  if (file_->size() > end) {
    const char eof = 0x1A;
    if (file_->writeAt(end, &eof, 1) != 1 || !file_->truncate(end + 1)) {
      raiseDb(ErrGen::Write, DbErr::Write, path_, file_->osError());
      return false;
    }
  }
  changed_ = countChanged_ = false;
  return true;
}

bool DbfFile::flush(bool closing) {
  if (!file_) return false;
  bool ok = true;
  if (!readOnly_) {
    if (!flushTail()) ok = false;
    // A commit stamps the header only when the record count moved; closing
    // after any change.
    if ((closing ? changed_ : countChanged_) && !writeHeader()) ok = false;
  }
  if (memo_ && !memo_->flush()) ok = false;
  return ok;
}

bool DbfFile::pack() {
  if (shared_) {
    raiseDb(ErrGen::ExclusiveRequired, DbErr::Exclusive, path_);
    return false;
  }
  if (!checkWritable() || !flushTail()) return false;
  const size_t rl = static_cast<size_t>(recLen_);
  const uint32_t per = static_cast<uint32_t>(std::max<size_t>(1, kTailBytes / rl));
  std::vector<char> buf(per * rl);
  uint32_t kept = 0;
  for (uint32_t first = 1; first <= diskCount_; first += per) {
    uint32_t count = std::min(per, diskCount_ - first + 1);
    uint64_t off = static_cast<uint64_t>(hdrLen_) + uint64_t(first - 1) * rl;
    if (file_->readAt(off, buf.data(), count * rl) != count * rl) {
      raiseDb(ErrGen::Read, DbErr::Read, path_, file_->osError());
      dropCache();
      return false;
    }
    // Compact this chunk in memory, then write it where the kept records go.
    uint32_t n = 0;
    for (uint32_t i = 0; i < count; ++i) {
      if (buf[i * rl] == '*') continue;
      if (n != i) std::memmove(&buf[n * rl], &buf[i * rl], rl);
      ++n;
    }
    uint64_t dst = static_cast<uint64_t>(hdrLen_) + uint64_t(kept) * rl;
    if (n && (kept + 1 != first || n != count) && file_->writeAt(dst, buf.data(), n * rl) != n * rl) {
      // Records before `kept` are in place; later ones may be duplicated but
      // the old count still covers them all, so nothing is lost.
      raiseDb(ErrGen::Write, DbErr::Write, path_, file_->osError());
      dropCache();
      return false;
    }
    kept += n;
  }
  dropCache();
  diskCount_ = recCount_ = kept;
  changed_ = true;
  return writeHeader();
}

bool DbfFile::zap() {
  if (shared_) {
    raiseDb(ErrGen::ExclusiveRequired, DbErr::Exclusive, path_);
    return false;
  }
  if (!checkWritable()) return false;
  tail_.clear();
  dropCache();
  diskCount_ = recCount_ = 0;
  changed_ = true;
  if (!writeHeader()) return false;
  if (memo_) {
    std::string mp = memo_->path();
    memo_.reset();
    if (!MemoFile::create(*fs_, mp)) return false;
    memo_ = MemoFile::open(*fs_, mp, false);
    if (!memo_) return false;
  }
  return true;
}

}  // namespace zol
