#pragma once
// The benchmark data: a shop's article master and two years of stock
// movements, generated from a fixed seed so every program of a run (ours and
// the peers) works on exactly the same rows.
#include <cstdint>
#include <string>
#include <vector>

#include "core/date.h"

namespace zol::bench {

constexpr uint32_t kArticles = 100'000;
constexpr uint32_t kMovements = 1'000'000;
constexpr uint32_t kLookups = 100'000;

// splitmix64: small, fast, and the same sequence on every machine.
class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed) {}
  uint64_t next() {
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n).
  uint32_t below(uint32_t n) { return static_cast<uint32_t>((next() >> 32) * n >> 32); }

 private:
  uint64_t s_;
};

struct Article {
  int articulo;
  std::string nombre;  // Windows-1252
  double precio, preciov, stock;
  int marca;
  std::string notas;  // empty for most articles
};

struct Movement {
  Date fecha;
  int articulo;
  double cantidad, preUni, importe;
  std::string texto;  // Windows-1252
  int marca;
};

// Article number n (1-based).
Article article(int n);

// Movements in register order: dates rise over two years, articles and
// quantities vary, importe = cantidad * pre_uni rounded to cents.
class MovementSource {
 public:
  explicit MovementSource(uint32_t count = kMovements) : count_(count) {}
  bool next(Movement& m);

 private:
  uint32_t count_;
  uint32_t done_ = 0;
  Rng rng_{20240131};
};

// Record numbers (1-based, up to `records`) for the random goto + read runs.
std::vector<uint32_t> lookupOrder(uint32_t records, uint32_t count = kLookups);

}  // namespace zol::bench
