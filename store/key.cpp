#include "store/key.h"

#include <bit>
#include <charconv>
#include <cmath>

namespace zol {

char keyTypeLetter(KeyType t) {
  switch (t) {
    case KeyType::Character: return 'C';
    case KeyType::Numeric: return 'N';
    case KeyType::Date: return 'D';
    case KeyType::Logical: return 'L';
  }
  return '?';
}

bool keyTypeOf(ValueKind kind, KeyType& type) {
  switch (kind) {
    case ValueKind::Text: type = KeyType::Character; return true;
    case ValueKind::Number: type = KeyType::Numeric; return true;
    case ValueKind::Date: type = KeyType::Date; return true;
    case ValueKind::Logical: type = KeyType::Logical; return true;
    case ValueKind::Nil: break;
  }
  return false;
}

void encodeNumberKey(double value, uint8_t out[8]) {
  if (value == 0 || std::isnan(value)) value = 0.0;  // folds -0 into +0
  uint64_t bits = std::bit_cast<uint64_t>(value);
  if (bits >> 63)
    bits = ~bits;
  else
    bits |= uint64_t{1} << 63;
  for (int i = 7; i >= 0; --i) {
    out[i] = static_cast<uint8_t>(bits);
    bits >>= 8;
  }
}

double decodeNumberKey(const uint8_t in[8]) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits = (bits << 8) | in[i];
  if (bits >> 63)
    bits &= ~(uint64_t{1} << 63);
  else
    bits = ~bits;
  return std::bit_cast<double>(bits);
}

void encodeDateKey(Date d, uint8_t out[8]) { encodeNumberKey(static_cast<double>(d.dayNumber()), out); }

Date decodeDateKey(const uint8_t in[8]) {
  double v = decodeNumberKey(in);
  if (!(v > 0) || v > 2147483647.0) return Date();
  return Date::fromDayNumber(static_cast<int32_t>(v));
}

bool buildKey(const Value& value, KeyType type, int length, std::string& out) {
  out.clear();
  switch (type) {
    case KeyType::Character: {
      if (!value.isText() || length <= 0) return false;
      const std::string& t = value.text();
      size_t n = t.size() < static_cast<size_t>(length) ? t.size() : static_cast<size_t>(length);
      out.assign(t, 0, n);
      out.resize(static_cast<size_t>(length), ' ');
      return true;
    }
    case KeyType::Numeric:
    case KeyType::Date: {
      uint8_t b[8];
      if (type == KeyType::Numeric) {
        if (!value.isNumber()) return false;
        encodeNumberKey(value.number(), b);
      } else {
        if (!value.isDate()) return false;
        encodeDateKey(value.date(), b);
      }
      out.assign(reinterpret_cast<const char*>(b), 8);
      return true;
    }
    case KeyType::Logical:
      if (!value.isLogical()) return false;
      out.assign(1, value.logical() ? 'T' : 'F');
      return true;
  }
  return false;
}

std::string seekKey(const Value& value) {
  uint8_t b[8];
  switch (value.kind()) {
    case ValueKind::Text: return value.text();
    case ValueKind::Number:
      encodeNumberKey(value.number(), b);
      return std::string(reinterpret_cast<const char*>(b), 8);
    case ValueKind::Date:
      encodeDateKey(value.date(), b);
      return std::string(reinterpret_cast<const char*>(b), 8);
    case ValueKind::Logical: return value.logical() ? "T" : "F";
    case ValueKind::Nil: break;
  }
  return std::string();
}

std::string describeKey(std::string_view key, KeyType type) {
  if ((type == KeyType::Numeric || type == KeyType::Date) && key.size() == 8) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(key.data());
    if (type == KeyType::Date) return decodeDateKey(p).dtos();
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, decodeNumberKey(p));
    return std::string(buf, r.ptr);
  }
  return std::string(key);
}

}  // namespace zol
