#pragma once
// Helpers for reading back the sheets the tests write.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "xls/TFileXLS.h"

namespace zol::xlstest {

struct Record {
  uint16_t type;
  std::string data;
};

// Splits a sheet into records; a record running past the end is a test failure.
inline std::vector<Record> records(const std::string& bytes, bool* ok = nullptr) {
  std::vector<Record> out;
  size_t at = 0;
  if (ok) *ok = true;
  while (at + 4 <= bytes.size()) {
    auto b = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    uint16_t type = static_cast<uint16_t>(b(at) | b(at + 1) << 8);
    size_t len = b(at + 2) | b(at + 3) << 8;
    if (at + 4 + len > bytes.size()) break;
    out.push_back({type, bytes.substr(at + 4, len)});
    at += 4 + len;
  }
  if (ok && at != bytes.size()) *ok = false;
  return out;
}

// "04 00 0B" style hex of bytes.
inline std::string hex(const std::string& bytes) {
  std::string s;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    s += buf;
  }
  if (!s.empty()) s.pop_back();
  return s;
}

// Bytes of a sheet written into memory by `body`.
template <class F>
std::string sheetBytes(F body, XlsOptions opt = {}) {
  auto sink = std::make_unique<MemorySink>();
  MemorySink* mem = sink.get();
  TFileXLS x(std::move(sink), opt);
  body(x);
  x.end();
  return mem->bytes();
}

// The bytes between the header and the four closing records.
inline std::string cellBytes(const std::string& sheet) {
  std::string header = sheetBytes([](TFileXLS&) {});
  const size_t closing = 6 + 6 + 6 + 4;  // two empty break lists, PROTECT, EOF
  if (sheet.size() < header.size()) return "<short>";
  return sheet.substr(header.size() - closing, sheet.size() - header.size());
}

}  // namespace zol::xlstest
