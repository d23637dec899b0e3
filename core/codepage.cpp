#include "codepage.h"

#include <cstdint>
#include <unordered_map>

namespace zol {

namespace {
#include "codepage_tables.inc"

void putUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

const std::unordered_map<uint32_t, unsigned char>& reverse1252() {
  static const auto* map = [] {
    auto* m = new std::unordered_map<uint32_t, unsigned char>;
    for (int i = 0; i < 128; ++i) (*m)[kCp1252High[i]] = static_cast<unsigned char>(0x80 + i);
    return m;
  }();
  return *map;
}
}  // namespace

std::string cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (unsigned char c : bytes) {
    if (c < 0x80)
      out += static_cast<char>(c);
    else
      putUtf8(out, kCp1252High[c - 0x80]);
  }
  return out;
}

std::string utf8ToCp1252(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  const auto& rev = reverse1252();
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp;
    int n;
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      n = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      n = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      n = 3;
    } else {
      out += '?';
      ++i;
      continue;
    }
    bool ok = i + n < s.size();
    for (int k = 1; ok && k <= n; ++k) {
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80)
        ok = false;
      else
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (!ok) {
      out += '?';
      ++i;
      continue;
    }
    i += n + 1;
    auto it = rev.find(cp);
    if (it != rev.end())
      out += static_cast<char>(it->second);
    else
      out += '?';
  }
  return out;
}

std::string cp850ToCp1252(std::string_view bytes) {
  std::string out(bytes);
  for (char& c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x80) c = static_cast<char>(kCp850To1252[u - 0x80]);
  }
  return out;
}

}  // namespace zol
