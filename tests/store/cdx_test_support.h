#pragma once
// Helpers shared by the index tests: an in-memory table that feeds tag builds
// and expressions, and small readers for what a tag holds.
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include "core/error_event.h"
#include "store/cdx.h"
#include "store/cdx_builder.h"
#include "store/expr.h"
#include "test_support.h"

namespace zol::test {

struct MemField {
  std::string name;
  char type;  // C N D L
  int width = 0;
  int dec = 0;
};

// Rows of values; record 0 is the Phantom record and reads as blanks.
class MemTable : public RecordScan, public FieldSource {
 public:
  explicit MemTable(std::vector<MemField> f) : fields_(std::move(f)) {}

  void add(std::vector<Value> row) {
    for (size_t i = 0; i < row.size() && i < fields_.size(); ++i)
      if (fields_[i].type == 'C' && row[i].isText()) {
        std::string s = row[i].text();
        s.resize(static_cast<size_t>(fields_[i].width), ' ');
        row[i] = Value(s);
      }
    rows.push_back(std::move(row));
  }

  int fieldIndex(std::string_view name) const override {
    for (size_t i = 0; i < fields_.size(); ++i) {
      const std::string& n = fields_[i].name;
      if (n.size() != name.size()) continue;
      bool same = true;
      for (size_t k = 0; k < n.size() && same; ++k)
        same = std::tolower(static_cast<unsigned char>(n[k])) == std::tolower(static_cast<unsigned char>(name[k]));
      if (same) return static_cast<int>(i);
    }
    return -1;
  }
  Value fieldValue(int i) const override {
    const MemField& f = fields_[static_cast<size_t>(i)];
    if (cur_ == 0 || cur_ > rows.size()) {
      switch (f.type) {
        case 'C': return Value(std::string(static_cast<size_t>(f.width), ' '));
        case 'N': return Value(0.0);
        case 'D': return Value(Date());
        default: return Value(false);
      }
    }
    return rows[cur_ - 1][static_cast<size_t>(i)];
  }
  const FieldSource& fields() const override { return *this; }
  uint32_t recordCount() const override { return static_cast<uint32_t>(rows.size()); }
  bool load(uint32_t recno) override {
    cur_ = recno;
    ++loads;
    return true;
  }
  void goTo(uint32_t recno) { cur_ = recno; }

  std::vector<std::vector<Value>> rows;
  uint32_t loads = 0;

 private:
  std::vector<MemField> fields_;
  uint32_t cur_ = 0;
};

// The movement tables' fields the tags read.
inline MemTable movementTable() {
  return MemTable({{"FECHA", 'D', 8}, {"ARTICULO", 'N', 6}, {"CANTIDAD", 'N', 10, 2}, {"TEXTO", 'C', 40}});
}

using Entry = std::pair<std::string, uint32_t>;

inline std::vector<Entry> entries(CdxTag& t) {
  std::vector<Entry> v;
  t.forEach([&](std::string_view k, uint32_t r) {
    v.emplace_back(std::string(k), r);
    return true;
  });
  return v;
}

inline std::vector<uint32_t> recnos(CdxTag& t) {
  std::vector<uint32_t> v;
  t.forEach([&](std::string_view, uint32_t r) {
    v.push_back(r);
    return true;
  });
  return v;
}

// "32/1012 33/1026" for the events recorded.
inline std::string codes(const ErrorRecorder& r) {
  std::string s;
  for (const ErrorEvent& e : r.events()) {
    if (!s.empty()) s += ' ';
    s += std::to_string(e.genCode) + "/" + std::to_string(e.subCode);
  }
  return s;
}

inline std::string hex(std::string_view b) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : b) {
    s += d[c >> 4];
    s += d[c & 15];
  }
  return s;
}

inline std::string numKey(double v) {
  uint8_t b[8];
  encodeNumberKey(v, b);
  return std::string(reinterpret_cast<const char*>(b), 8);
}

}  // namespace zol::test
