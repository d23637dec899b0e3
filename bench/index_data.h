#pragma once
// What the index benchmarks share besides the generated rows: the four tags,
// the seek keys file, and a checksum of an order so every program can show it
// put the records in the same sequence.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zol::bench {

constexpr uint32_t kSeeks = 100'000;
constexpr uint32_t kIndexedAppends = 100'000;
// Length of an ent01/ent02 key: dtos (8) + str(articulo,6).
constexpr int kMovementKeyLength = 14;

struct IndexTag {
  const char* name;
  const char* table;  // file stem in the data folder
  const char* expr;   // our key expression
  const char* columns;  // the SQLite index columns giving the same order
};

inline const IndexTag kIndexTags[] = {
    {"ent01", "entradas", "dtos(fecha)+str(articulo,6)", "fecha, articulo"},
    {"ent02", "entradas", "str(articulo,6)+dtos(fecha)", "articulo, fecha"},
    {"art01", "maeart", "articulo", "articulo"},
    {"art02", "maeart", "nombre", "nombre"},
};

inline const IndexTag* findIndexTag(const std::string& name) {
  for (const IndexTag& t : kIndexTags)
    if (name == t.name) return &t;
  return nullptr;
}

// FNV-1a over the record numbers in key order: equal only when two programs
// ordered every record the same way, ties by record number included.
class OrderHash {
 public:
  void add(uint32_t recno) {
    for (int i = 0; i < 4; ++i) {
      h_ ^= (recno >> (8 * i)) & 0xFF;
      h_ *= 0x100000001B3ull;
    }
    ++n_;
  }
  uint64_t count() const { return n_; }
  uint64_t value() const { return h_; }
  void print(const char* tag) const {
    std::printf("%s keys %llu order %016llx\n", tag, static_cast<unsigned long long>(n_),
                static_cast<unsigned long long>(h_));
  }

 private:
  uint64_t h_ = 0xCBF29CE484222325ull;
  uint64_t n_ = 0;
};

// The seek keys: kSeeks ent01 keys of existing movements, 14 bytes each,
// written once per data set so no timed run pays for making them.
inline std::vector<std::string> readSeekKeys(const char* path) {
  std::vector<std::string> keys;
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return keys;
  char buf[kMovementKeyLength];
  while (std::fread(buf, 1, sizeof buf, f) == sizeof buf) keys.emplace_back(buf, sizeof buf);
  std::fclose(f);
  return keys;
}

}  // namespace zol::bench
