// The floor of a tag build and of a seek: no engine, no index file. Reads the
// table in large blocks, makes each record's key straight from the field bytes,
// sorts (key, record number) pairs in memory; seeks are binary searches over
// such a sorted array.
//   zol-bench-keysort build FILE.dbf TAG [check|OUT]   TAG: ent01 ent02 art01 art02;
//                                                      OUT keeps the sorted ent01
//                                                      pairs for the seek floor
//   zol-bench-keysort seek SORTED KEYS                 the seeks of zol-bench-index
//   zol-bench-keysort seekkeys FILE.dbf OUT            writes the seek keys
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_data.h"
#include "index_data.h"

using namespace zol::bench;

namespace {

struct Field {
  int offset = 0, width = 0;
};

struct Table {
  int fd = -1;
  uint32_t count = 0, hdrLen = 0, recLen = 0;
  Field fecha, articulo, nombre;
};

bool openTable(const char* path, Table& t) {
  t.fd = ::open(path, O_RDONLY);
  unsigned char h[32];
  if (t.fd < 0 || ::pread(t.fd, h, 32, 0) != 32) return false;
  t.count = h[4] | h[5] << 8 | h[6] << 16 | uint32_t(h[7]) << 24;
  t.hdrLen = h[8] | h[9] << 8;
  t.recLen = h[10] | h[11] << 8;
  std::vector<unsigned char> d(t.hdrLen - 32);
  if (::pread(t.fd, d.data(), d.size(), 32) != static_cast<ssize_t>(d.size())) return false;
  int offset = 1;
  for (size_t i = 0; i + 32 <= d.size() && d[i] != 0x0D; i += 32) {
    std::string name(reinterpret_cast<const char*>(&d[i]), strnlen(reinterpret_cast<const char*>(&d[i]), 11));
    Field f{offset, d[i + 16]};
    if (name == "FECHA") t.fecha = f;
    if (name == "ARTICULO") t.articulo = f;
    if (name == "NOMBRE") t.nombre = f;
    offset += f.width;
  }
  return t.articulo.width > 0;
}

// Key bytes packed big-endian into W words, so comparing words compares bytes.
template <int W>
struct Entry {
  uint64_t k[W];
  uint32_t rec;
};

template <int W>
bool operator<(const Entry<W>& a, const Entry<W>& b) {
  for (int i = 0; i < W; ++i)
    if (a.k[i] != b.k[i]) return a.k[i] < b.k[i];
  return a.rec < b.rec;
}

template <int W>
void pack(const uint8_t* key, int len, Entry<W>& e) {
  uint8_t buf[8 * W] = {};
  std::memcpy(buf, key, static_cast<size_t>(len));
  for (int i = 0; i < W; ++i) {
    uint64_t v;
    std::memcpy(&v, buf + 8 * i, 8);
    e.k[i] = __builtin_bswap64(v);
  }
}

template <int W>
void unpack(const Entry<W>& e, int len, uint8_t* key) {
  uint8_t buf[8 * W];
  for (int i = 0; i < W; ++i) {
    uint64_t v = __builtin_bswap64(e.k[i]);
    std::memcpy(buf + 8 * i, &v, 8);
  }
  std::memcpy(key, buf, static_cast<size_t>(len));
}

// The engine's numeric key: non-negative values get the sign bit set, negative
// ones have every bit inverted, so unsigned order is numeric order.
uint64_t numberKey(double v) {
  if (v == 0) v = 0;  // -0 as +0
  uint64_t b = std::bit_cast<uint64_t>(v);
  return (b >> 63) ? ~b : b | (uint64_t{1} << 63);
}

double parseNumber(const char* p, int width) {
  long long v = 0;
  bool neg = false;
  for (const char* e = p + width; p < e; ++p) {
    if (*p >= '0' && *p <= '9') v = v * 10 + (*p - '0');
    if (*p == '-') neg = true;
  }
  return static_cast<double>(neg ? -v : v);
}

// Calls make(record bytes, recno) for every record, deleted ones included
// (a tag has a key for each).
template <class F>
bool eachRecord(const Table& t, F make) {
  const size_t per = (4u << 20) / t.recLen;
  std::vector<char> buf(per * t.recLen);
  for (uint32_t done = 0; done < t.count;) {
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(per, t.count - done));
    size_t want = size_t(n) * t.recLen;
    if (::pread(t.fd, buf.data(), want, t.hdrLen + off_t(done) * t.recLen) != static_cast<ssize_t>(want)) return false;
    const char* r = buf.data();
    for (uint32_t i = 0; i < n; ++i, r += t.recLen) make(r, done + i + 1);
    done += n;
  }
  return true;
}

template <int W, class F>
int buildSorted(const Table& t, const char* tag, int keyLen, F keyOf, const std::string& out) {
  std::vector<Entry<W>> v;
  v.reserve(t.count);
  if (!eachRecord(t, [&](const char* r, uint32_t recno) {
        uint8_t key[8 * W];
        keyOf(r, key);
        Entry<W> e;
        pack<W>(key, keyLen, e);
        e.rec = recno;
        v.push_back(e);
      }))
    return 1;
  std::sort(v.begin(), v.end());
  if (out == "check") {
    OrderHash h;
    for (const auto& e : v) h.add(e.rec);
    h.print(tag);
    return 0;
  }
  if (!out.empty()) {
    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f) return 1;
    for (const auto& e : v) {
      uint8_t key[8 * W];
      unpack<W>(e, keyLen, key);
      std::fwrite(key, 1, static_cast<size_t>(keyLen), f);
      std::fwrite(&e.rec, 4, 1, f);
    }
    std::fclose(f);
  }
  std::printf("built %s\n", tag);
  return 0;
}

int build(const Table& t, const std::string& tag, const std::string& out) {
  const Field fe = t.fecha, ar = t.articulo, no = t.nombre;
  if (tag == "ent01" || tag == "ent02") {
    if (fe.width != 8 || ar.width != 6) return 1;
    bool dateFirst = tag == "ent01";
    return buildSorted<2>(t, tag.c_str(), kMovementKeyLength, [=](const char* r, uint8_t* k) {
      std::memcpy(k + (dateFirst ? 0 : 6), r + fe.offset, 8);
      std::memcpy(k + (dateFirst ? 8 : 0), r + ar.offset, 6);
    }, out);
  }
  if (tag == "art01")
    return buildSorted<1>(t, "art01", 8, [=](const char* r, uint8_t* k) {
      uint64_t v = __builtin_bswap64(numberKey(parseNumber(r + ar.offset, ar.width)));
      std::memcpy(k, &v, 8);
    }, out);
  if (tag == "art02" && no.width == 40)
    return buildSorted<5>(t, "art02", 40, [=](const char* r, uint8_t* k) { std::memcpy(k, r + no.offset, 40); }, out);
  return 2;
}

int seek(const char* sortedPath, const char* keysPath) {
  std::vector<std::string> keys = readSeekKeys(keysPath);
  std::FILE* f = std::fopen(sortedPath, "rb");
  if (keys.size() != kSeeks || !f) return 1;
  constexpr size_t rs = kMovementKeyLength + 4;
  std::vector<uint8_t> raw;
  uint8_t buf[1 << 16];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf - sizeof buf % rs, f)) > 0;) raw.insert(raw.end(), buf, buf + n);
  std::fclose(f);
  std::vector<Entry<2>> v(raw.size() / rs);
  for (size_t i = 0; i < v.size(); ++i) {
    pack<2>(&raw[i * rs], kMovementKeyLength, v[i]);
    std::memcpy(&v[i].rec, &raw[i * rs + kMovementKeyLength], 4);
  }
  uint32_t found = 0;
  unsigned long long recnos = 0;
  for (const std::string& k : keys) {
    Entry<2> e;
    pack<2>(reinterpret_cast<const uint8_t*>(k.data()), kMovementKeyLength, e);
    e.rec = 0;  // the first record of the key
    auto it = std::lower_bound(v.begin(), v.end(), e);
    if (it != v.end() && it->k[0] == e.k[0] && it->k[1] == e.k[1]) {
      ++found;
      recnos += it->rec;
    }
  }
  std::printf("seeks %zu found %u recnos %llu\n", keys.size(), found, recnos);
  return 0;
}

int seekKeys(const Table& t, const char* out) {
  std::FILE* f = std::fopen(out, "wb");
  if (!f) return 1;
  std::vector<char> rec(t.recLen);
  for (uint32_t r : lookupOrder(t.count, kSeeks)) {
    if (::pread(t.fd, rec.data(), t.recLen, t.hdrLen + off_t(r - 1) * t.recLen) != static_cast<ssize_t>(t.recLen)) return 1;
    std::fwrite(&rec[static_cast<size_t>(t.fecha.offset)], 1, 8, f);
    std::fwrite(&rec[static_cast<size_t>(t.articulo.offset)], 1, 6, f);
  }
  std::fclose(f);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: zol-bench-keysort build FILE.dbf TAG [check|OUT] | seek SORTED KEYS | seekkeys FILE.dbf OUT\n");
    return 2;
  }
  std::string cmd = argv[1];
  if (cmd == "seek") return seek(argv[2], argv[3]);
  Table t;
  if (!openTable(argv[2], t)) {
    std::fprintf(stderr, "zol-bench-keysort: cannot read %s\n", argv[2]);
    return 2;
  }
  if (cmd == "build") return build(t, argv[3], argc > 4 ? argv[4] : "");
  if (cmd == "seekkeys") return seekKeys(t, argv[3]);
  return 2;
}
