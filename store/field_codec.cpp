#include "field_codec.h"

#include <algorithm>
#include <cstring>

#include "core/numtext.h"
#include "store/memo.h"

namespace zol {

bool memoBlock(const FieldDesc& f, const char* record, uint32_t& block) {
  block = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(record + f.offset);
  if (f.width == 4) {  // binary block numbers from other writers
    block = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    return true;
  }
  uint64_t v = 0;
  bool digitsSeen = false, trailing = false;
  for (int i = 0; i < f.width; ++i) {
    unsigned char c = p[i];
    if (c >= '0' && c <= '9') {
      if (trailing) return false;
      digitsSeen = true;
      v = v * 10 + (c - '0');
      if (v > UINT32_MAX) return false;
    } else if (c == ' ' || c == 0) {
      // Blanks lead; some writers also pad after the digits.
      if (digitsSeen) trailing = true;
    } else {
      return false;
    }
  }
  block = static_cast<uint32_t>(v);
  return true;
}

Value decodeField(const FieldDesc& f, const char* record, MemoFile* memo, const std::string& tablePath) {
  const char* p = record + f.offset;
  switch (f.type) {
    case FieldType::Character:
      return Value(std::string(p, static_cast<size_t>(f.width)));
    case FieldType::Numeric:
    case FieldType::Float: {
      double v = 0;
      parseNumber(std::string_view(p, static_cast<size_t>(f.width)), v);
      return Value(v);
    }
    case FieldType::Date:
      return Value(Date::fromDtos(std::string_view(p, 8)));
    case FieldType::Logical:
      return Value(*p == 'T' || *p == 't' || *p == 'Y' || *p == 'y');
    case FieldType::Memo: {
      uint32_t block = 0;
      if (!memoBlock(f, record, block)) {
        raiseDb(ErrGen::Corruption, DbErr::Corrupt, tablePath);
        return Value(std::string());
      }
      std::string text;
      if (memo && block) memo->read(block, text);
      return Value(std::move(text));
    }
  }
  return Value();
}

bool encodeField(const FieldDesc& f, char* record, const Value& v, MemoFile* memo, const std::string& tablePath) {
  char* p = record + f.offset;
  const size_t w = static_cast<size_t>(f.width);
  auto typeError = [&] {
    raiseDb(ErrGen::DataType, DbErr::DataType, tablePath);
    return false;
  };
  switch (f.type) {
    case FieldType::Character: {
      if (!v.isText()) return typeError();
      const std::string& s = v.text();
      size_t n = std::min(s.size(), w);
      std::memcpy(p, s.data(), n);
      std::memset(p + n, ' ', w - n);
      return true;
    }
    case FieldType::Numeric:
    case FieldType::Float: {
      if (!v.isNumber()) return typeError();
      std::string s = str(v.number(), f.width, f.decimals);
      std::memcpy(p, s.data(), w);
      if (s[0] == '*') {
        raiseDb(ErrGen::DataWidth, DbErr::DataWidth, tablePath);
        return false;
      }
      return true;
    }
    case FieldType::Date: {
      if (!v.isDate()) return typeError();
      std::memcpy(p, v.date().dtos().data(), 8);
      return true;
    }
    case FieldType::Logical: {
      if (!v.isLogical()) return typeError();
      *p = v.logical() ? 'T' : 'F';
      return true;
    }
    case FieldType::Memo: {
      if (!v.isText()) return typeError();
      if (!memo) return typeError();
      uint32_t old = 0;
      memoBlock(f, record, old);  // a damaged pointer frees nothing
      uint32_t block = 0;
      if (!memo->write(old, v.text(), block)) return false;
      if (f.width == 4) {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(block >> (8 * i));
      } else if (block == 0) {
        std::memset(p, ' ', w);
      } else {
        std::string s = std::to_string(block);
        std::memset(p, ' ', w - s.size());
        std::memcpy(p + w - s.size(), s.data(), s.size());
      }
      return true;
    }
  }
  return typeError();
}

}  // namespace zol
