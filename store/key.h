#pragma once
// Index keys: fixed-length byte strings whose unsigned byte order is the order
// of the values they encode. Equal keys are told apart by record number.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "core/value.h"

namespace zol {

enum class KeyType : uint8_t { Character, Numeric, Date, Logical };

// Longest character key a tag may have.
constexpr int kMaxKeyLength = 240;
// Length of numeric and date keys.
constexpr int kNumericKeyLength = 8;

// The byte a leaf drops as trailing padding: a blank for character keys, zero
// for the binary ones.
inline uint8_t keyPadByte(KeyType t) { return t == KeyType::Character ? ' ' : 0; }

// 'C', 'N', 'D' or 'L'.
char keyTypeLetter(KeyType t);

// The key type a value of this kind gives; false for Nil.
bool keyTypeOf(ValueKind kind, KeyType& type);

// 8-byte big-endian double whose byte order is the numeric order: for a value
// >= 0 the sign bit is set (-0 counts as +0), for a negative one every bit is
// inverted. NaN encodes as 0.
void encodeNumberKey(double value, uint8_t out[8]);
double decodeNumberKey(const uint8_t in[8]);

// The Julian day number as a double, encoded as a number; the empty date is 0
// and so sorts before every real date.
void encodeDateKey(Date d, uint8_t out[8]);
Date decodeDateKey(const uint8_t in[8]);

// Unsigned byte comparison; a key that is a prefix of the other sorts first.
inline int compareKeys(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
  if (c) return c < 0 ? -1 : 1;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The stored key of `value` in a tag of `type` and `length`: character values
// padded with blanks or cut to the length, the others encoded. Returns false
// (and leaves `out` empty) when the value's kind does not match the type.
bool buildKey(const Value& value, KeyType type, int length, std::string& out);

// The search key of a seek: numbers and dates become their 8-byte encoding,
// logicals "T"/"F", text is used as given (no padding, so a shorter text matches
// every key that starts with it). Nil gives the empty key, which every key matches.
std::string seekKey(const Value& value);

// A readable form of a stored key for dumps: text as is, numbers in their
// shortest decimal form, dates as YYYYMMDD (blank when empty).
std::string describeKey(std::string_view key, KeyType type);

}  // namespace zol
