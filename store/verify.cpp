#include "verify.h"

#include <algorithm>
#include <iterator>
#include <cstring>
#include <map>
#include <set>

#include "core/date.h"
#include "core/numtext.h"
#include "store/cdx.h"
#include "store/dbf.h"
#include "store/expr.h"
#include "store/field_codec.h"
#include "store/dbf_types.h"

namespace zol {

std::string Problem::text() const {
  std::string s = file;
  if (record) s += " record " + std::to_string(record);
  if (!field.empty()) s += " field " + field;
  return s + ": " + message;
}

namespace {

uint32_t le16(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t le32(const unsigned char* p) { return le16(p) | le16(p + 2) << 16; }
uint32_t be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

struct MemoRef {
  uint32_t record;
  std::string field;
  uint32_t block;
};

class Checker {
 public:
  Checker(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  std::vector<Problem> run();

 private:
  void add(uint32_t rec, const std::string& field, const std::string& msg) {
    out_.push_back({path_, rec, field, msg});
  }
  void checkMemo(const std::string& memoPath, const std::vector<MemoRef>& refs);

  FileSystem& fs_;
  std::string path_;
  std::vector<Problem> out_;
};

std::vector<Problem> Checker::run() {
  int os = 0;
  auto f = fs_.open(path_, OpenMode::ReadOnly, false, os);
  if (!f) {
    add(0, "", "cannot be opened (OS error " + std::to_string(os) + ")");
    return out_;
  }
  const uint64_t size = f->size();
  unsigned char h[32];
  if (f->readAt(0, h, 32) != 32) {
    add(0, "", "header shorter than 32 bytes");
    return out_;
  }
  static const unsigned char versions[] = {0x02, 0x03, 0x04, 0x06, 0x30, 0x31, 0x32, 0x7B,
                                           0x83, 0x86, 0x8B, 0xE5, 0xE6, 0xF5, 0xF6};
  if (std::find(std::begin(versions), std::end(versions), h[0]) == std::end(versions))
    add(0, "", "unknown version byte " + std::to_string(h[0]));
  const uint32_t count = le32(h + 4), hdrLen = le16(h + 8), recLen = le16(h + 10);
  if (hdrLen < 65 || hdrLen > size) {
    add(0, "", "header length " + std::to_string(hdrLen) + " impossible for a file of " + std::to_string(size) + " bytes");
    return out_;
  }
  std::vector<unsigned char> d(hdrLen - 32);
  if (f->readAt(32, d.data(), d.size()) != d.size()) {
    add(0, "", "descriptor area cut short");
    return out_;
  }
  std::vector<FieldDesc> fields;
  std::set<std::string> names;
  bool terminated = false, memo = false;
  int offset = 1;
  for (size_t i = 0; i + 1 <= d.size(); i += 32) {
    if (d[i] == 0x0D) {
      terminated = true;
      break;
    }
    if (i + 32 > d.size()) break;
    FieldDesc fd;
    size_t n = 0;
    while (n < 11 && d[i + n]) ++n;
    fd.name.assign(reinterpret_cast<const char*>(&d[i]), n);
    fd.type = static_cast<char>(d[i + 11]);
    fd.width = d[i + 16];
    fd.decimals = d[i + 17];
    if (fd.type == 'C') fd.width += fd.decimals * 256, fd.decimals = 0;
    fd.offset = offset;
    offset += fd.width;
    if (std::string("CNDMLF").find(fd.type) == std::string::npos)
      add(0, fd.name, std::string("unknown field type '") + fd.type + "'");
    if (fd.width == 0) add(0, fd.name, "width 0");
    if (fd.type == 'D' && fd.width != 8) add(0, fd.name, "date field not 8 wide");
    if (fd.type == 'M' && fd.width != 10 && fd.width != 4) add(0, fd.name, "memo field neither 10 nor 4 wide");
    if ((fd.type == 'N' || fd.type == 'F') && fd.decimals && fd.decimals >= fd.width - 1)
      add(0, fd.name, "more decimals than the width holds");
    if (fd.name.empty()) add(0, "", "field without a name");
    if (!names.insert(fd.name).second) add(0, fd.name, "field name repeated");
    memo = memo || fd.type == 'M';
    fields.push_back(fd);
  }
  if (!terminated) add(0, "", "field descriptors without the 0x0D terminator");
  if (fields.empty()) {
    add(0, "", "no fields");
    return out_;
  }
  if (static_cast<uint32_t>(offset) != recLen)
    add(0, "", "record length " + std::to_string(recLen) + " differs from the fields' " + std::to_string(offset));
  if (recLen == 0 || static_cast<uint32_t>(offset) > recLen) return out_;
  const uint64_t end = hdrLen + uint64_t(count) * recLen;
  if (size < end)
    add(0, "", "file holds " + std::to_string((size - hdrLen) / recLen) + " records, header claims " +
                   std::to_string(count));
  else if (size > end + 1)
    add(0, "", std::to_string(size - end) + " stray bytes after the last record");
  else if (size == end + 1) {
    unsigned char c = 0;
    f->readAt(end, &c, 1);
    if (c != 0x1A) add(0, "", "last byte after the records is not the end-of-file mark");
  }

  std::vector<MemoRef> refs;
  const uint32_t whole = static_cast<uint32_t>(std::min<uint64_t>(count, (size - hdrLen) / recLen));
  const uint32_t per = std::max<uint32_t>(1, (1 << 20) / recLen);
  std::vector<char> buf(size_t(per) * recLen);
  for (uint32_t first = 1; first <= whole; first += per) {
    uint32_t n = std::min(per, whole - first + 1);
    if (f->readAt(hdrLen + uint64_t(first - 1) * recLen, buf.data(), size_t(n) * recLen) != size_t(n) * recLen) {
      add(first, "", "read failed");
      break;
    }
    for (uint32_t i = 0; i < n; ++i) {
      const char* r = &buf[size_t(i) * recLen];
      const uint32_t recno = first + i;
      if (r[0] != ' ' && r[0] != '*') add(recno, "", "deletion flag is neither blank nor '*'");
      for (const FieldDesc& fd : fields) {
        std::string_view v(r + fd.offset, static_cast<size_t>(fd.width));
        switch (fd.type) {
          case 'N':
          case 'F': {
            double x;
            if (v.find('*') != std::string_view::npos)
              add(recno, fd.name, "holds asterisks (a value too wide was stored)");
            else if (!parseNumber(v, x))
              add(recno, fd.name, "not a number: '" + std::string(v) + "'");
            break;
          }
          case 'D':
            if (v != "        " && Date::fromDtos(v).isEmpty()) add(recno, fd.name, "not a date: '" + std::string(v) + "'");
            break;
          case 'L':
            if (std::string_view("TtFfYyNn? ").find(v[0]) == std::string_view::npos)
              add(recno, fd.name, "not a logical value");
            break;
          case 'M': {
            uint32_t block = 0;
            bool ok = true;
            if (fd.width == 4) {
              block = le32(reinterpret_cast<const unsigned char*>(v.data()));
            } else {
              bool digits = false;
              uint64_t b = 0;
              for (char c : v) {
                if (c >= '0' && c <= '9') {
                  digits = true;
                  b = b * 10 + uint64_t(c - '0');
                } else if (c != ' ' && c != 0) {
                  ok = false;
                } else if (digits) {
                  ok = false;  // a blank after the digits
                }
              }
              block = static_cast<uint32_t>(std::min<uint64_t>(b, UINT32_MAX));
            }
            if (!ok)
              add(recno, fd.name, "memo block number is not digits with leading blanks: '" + std::string(v) + "'");
            else if (block)
              refs.push_back({recno, fd.name, block});
            break;
          }
          default:
            break;
        }
      }
    }
  }
  if (memo) {
    std::string dir, file;
    splitPath(path_, dir, file);
    checkMemo(resolveInDir(dir, pathStem(path_) + ".fpt"), refs);
  }
  return out_;
}

void Checker::checkMemo(const std::string& memoPath, const std::vector<MemoRef>& refs) {
  std::string saved = path_;
  path_ = memoPath;
  int os = 0;
  auto f = fs_.open(memoPath, OpenMode::ReadOnly, false, os);
  if (!f) {
    add(0, "", "memo file cannot be opened (OS error " + std::to_string(os) + ")");
    path_ = saved;
    return;
  }
  const uint64_t size = f->size();
  unsigned char h[1024] = {};
  if (size < 512 || f->readAt(0, h, std::min<uint64_t>(size, 1024)) < 512) {
    add(0, "", "memo header shorter than 512 bytes");
    path_ = saved;
    return;
  }
  uint32_t bs = be32(h + 4);
  if (bs > 0xFFFF) bs = uint32_t(h[6]) << 8 | h[7];
  if (bs == 0) {
    add(0, "", "block size 0");
    path_ = saved;
    return;
  }
  const bool ext = size >= 1024 && std::memcmp(h + 512, "FlexFile3\x03", 11) == 0;
  const uint32_t nextFree = be32(h);
  const uint32_t firstData = ((ext ? 1024 : 512) + bs - 1) / bs;
  if (uint64_t(nextFree) * bs > size) add(0, "", "next free block lies beyond the end of the file");
  if (ext && uint64_t(nextFree) * bs < size) add(0, "", "file runs past the next free block");
  // Every run in use or free, by first block: length and owner, to find overlaps.
  std::map<uint32_t, std::pair<uint32_t, std::string>> runs;
  auto claim = [&](uint32_t start, uint32_t len, const std::string& who, uint32_t rec, const std::string& field) {
    if (start < firstData || uint64_t(start) + len > nextFree) {
      out_.push_back({path_, rec, field, who + " at block " + std::to_string(start) + " lies outside the memo area"});
      return;
    }
    auto it = runs.upper_bound(start);
    if (it != runs.end() && it->first < start + len) {
      out_.push_back({path_, rec, field, who + " overlaps " + it->second.second});
      return;
    }
    if (it != runs.begin()) {
      auto p = std::prev(it);
      if (p->first + p->second.first > start) {
        out_.push_back({path_, rec, field, who + " overlaps " + p->second.second});
        return;
      }
    }
    runs[start] = {len, who};
  };
  for (const MemoRef& r : refs) {
    unsigned char bh[8];
    if (f->readAt(uint64_t(r.block) * bs, bh, 8) != 8) {
      out_.push_back({path_, r.record, r.field, "memo block " + std::to_string(r.block) + " past the end of the file"});
      continue;
    }
    uint32_t len = be32(bh + 4);
    if (uint64_t(r.block) * bs + 8 + len > size) {
      out_.push_back({path_, r.record, r.field, "memo text runs past the end of the file"});
      continue;
    }
    if (be32(bh) != 1) out_.push_back({path_, r.record, r.field, "memo block is not a text block"});
    claim(r.block, static_cast<uint32_t>((uint64_t(len) + 8 + bs - 1) / bs), "memo of record " + std::to_string(r.record), r.record, r.field);
  }
  if (ext) {
    uint32_t copyOff = le32(h + 524), listOff = le32(h + 528);
    std::vector<std::pair<uint32_t, uint32_t>> lists[2];
    int which = 0;
    for (uint32_t off : {listOff, copyOff}) {
      ++which;
      if (!off) continue;
      std::vector<unsigned char> b(1018);
      if (off % bs || f->readAt(off, b.data(), b.size()) != b.size()) {
        add(0, "", "free-block list offset " + std::to_string(off) + " is not a readable block");
        continue;
      }
      if (be32(b.data()) != 1000) add(0, "", "free-block list block has type " + std::to_string(be32(b.data())));
      claim(off / bs, static_cast<uint32_t>((1018 + bs - 1) / bs), which == 1 ? "free-block list" : "free-block list copy", 0, "");
      uint32_t words = le16(&b[8]);
      if (words < 3 || (words - 3) % 4 || (words - 3) / 4 > 126) {
        add(0, "", "free-block list count is damaged");
        continue;
      }
      for (uint32_t i = 0; i < (words - 3) / 4; ++i) {
        uint32_t a = le32(&b[10 + i * 8]), c = le32(&b[14 + i * 8]);
        lists[which - 1].push_back(which == 1 ? std::make_pair(a, c) : std::make_pair(c, a));
      }
    }
    if (listOff && copyOff && lists[0] != lists[1]) add(0, "", "the two copies of the free-block list differ");
    for (auto [start, len] : lists[0]) {
      if (start % bs || len % bs || !len) {
        add(0, "", "free run not on block boundaries");
        continue;
      }
      claim(start / bs, len / bs, "free run at block " + std::to_string(start / bs), 0, "");
      unsigned char bh[8];
      if (f->readAt(start, bh, 8) == 8 && (be32(bh) != 1001 || be32(bh + 4) != len - 8))
        add(0, "", "free run at block " + std::to_string(start / bs) + " lacks its free marker");
    }
  }
  path_ = saved;
}

}  // namespace

std::vector<Problem> verifyTable(FileSystem& fs, const std::string& tablePath) {
  return Checker(fs, tablePath).run();
}

namespace {

// Fields of one raw record, for evaluating key expressions.
class RawFields : public FieldSource {
 public:
  RawFields(DbfFile& t, const char* rec) : t_(t), rec_(rec) {}
  int fieldIndex(std::string_view name) const override { return t_.fieldIndex(name); }
  Value fieldValue(int i) const override {
    return decodeField(t_.fields()[static_cast<size_t>(i)], rec_, t_.memo(), t_.path());
  }

 private:
  DbfFile& t_;
  const char* rec_;
};

}  // namespace

std::vector<Problem> verifyIndex(FileSystem& fs, const std::string& tablePath) {
  std::vector<Problem> out;
  std::string dir, file;
  splitPath(tablePath, dir, file);
  std::string cdxPath = resolveInDir(dir, pathStem(tablePath) + ".cdx");
  if (!fs.exists(cdxPath)) return out;
  // Engine errors become problems of this report rather than dialogs.
  std::vector<ErrorEvent> raised;
  ErrorHandler previous = setErrorHandler([&](const ErrorEvent& e) {
    raised.push_back(e);
    return false;
  });
  auto flushRaised = [&](const std::string& where) {
    for (const ErrorEvent& e : raised) out.push_back({where, 0, "", e.messageLine()});
    raised.clear();
  };
  auto table = DbfFile::open(fs, tablePath, true, true);
  auto index = CdxFile::open(fs, cdxPath, true, false);
  flushRaised(cdxPath);
  if (table && index) {
    std::string rec(static_cast<size_t>(table->recordLength()), ' ');
    RawFields fields(*table, rec.data());
    // Leaves decode by key type, which only the expressions tell: learn the
    // types before walking the pages.
    for (size_t i = 0; i < index->tagCount(); ++i) {
      CdxTag& tag = index->tag(i);
      auto key = KeyExpr::compile(tag.keyExpr(), fields);
      KeyType type;
      int len = 0;
      if (key && learnKeyLayout(*key, fields, type, len, cdxPath)) tag.setKeyType(type);
    }
    raised.clear();  // reported again below, tag by tag
    CdxCheckReport rep = index->check();
    for (const std::string& p : rep.problems) out.push_back({cdxPath, 0, "", p});
    for (size_t i = 0; i < index->tagCount() && rep.ok(); ++i) {
      CdxTag& tag = index->tag(i);
      const std::string where = cdxPath + " tag " + tag.name();
      std::string why;
      auto key = KeyExpr::compile(tag.keyExpr(), fields, &why);
      std::unique_ptr<KeyExpr> cond;
      if (key && !tag.forExpr().empty()) cond = KeyExpr::compile(tag.forExpr(), fields, &why);
      KeyType type;
      int len = 0;
      std::string blank(rec.size(), ' ');
      RawFields phantom(*table, blank.data());
      if (!key || (!tag.forExpr().empty() && !cond) || !learnKeyLayout(*key, phantom, type, len, cdxPath)) {
        out.push_back({where, 0, "", "key expression cannot be evaluated: " + tag.keyExpr() + " " + why});
        flushRaised(where);
        continue;
      }
      tag.setKeyType(type);
      if (len != tag.keyLength()) {
        out.push_back({where, 0, "", "key length " + std::to_string(tag.keyLength()) + " differs from the expression's " +
                                         std::to_string(len)});
        continue;
      }
      std::vector<std::pair<std::string, uint32_t>> want, have;
      for (uint32_t r = 1; r <= table->recCount(); ++r) {
        if (!table->readRecord(r, rec.data())) break;
        if (cond && !cond->evaluate(fields).logical()) continue;
        std::string k;
        if (buildKey(key->evaluate(fields), type, len, k)) want.push_back({k, r});
      }
      std::sort(want.begin(), want.end());
      if (!tag.forEach([&](std::string_view k, uint32_t r) {
            have.push_back({std::string(k), r});
            return true;
          }))
        out.push_back({where, 0, "", "cannot be walked to its end"});
      // Report the first few differences by record.
      std::vector<std::pair<std::string, uint32_t>> missing, extra;
      std::set_difference(want.begin(), want.end(), have.begin(), have.end(), std::back_inserter(missing));
      std::set_difference(have.begin(), have.end(), want.begin(), want.end(), std::back_inserter(extra));
      for (size_t j = 0; j < missing.size() && j < 20; ++j)
        out.push_back({where, missing[j].second, "", "record has no key or a stale one"});
      for (size_t j = 0; j < extra.size() && j < 20; ++j)
        out.push_back({where, extra[j].second, "", "key \"" + describeKey(extra[j].first, type) + "\" matches no record"});
      if (missing.size() + extra.size() > 40) out.push_back({where, 0, "", "more key differences not listed"});
      flushRaised(where);
    }
  }
  index.reset();
  table.reset();
  flushRaised(cdxPath);
  setErrorHandler(std::move(previous));
  return out;
}

}  // namespace zol
