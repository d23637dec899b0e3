// The floor the engine is measured against: no engine at all, just the table
// file read in large blocks (or one record per random read) and the numbers
// parsed in place.
//   zol-bench-plain scan FILE.dbf   sum importe over the live records
//   zol-bench-plain goto FILE.dbf   the random reads of zol-bench goto
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_data.h"

namespace {

struct Field {
  int offset = 0, width = 0, decimals = 0;
};

struct Table {
  int fd = -1;
  uint32_t count = 0, hdrLen = 0, recLen = 0;
  Field fecha, articulo, importe, texto;
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
    Field f{offset, d[i + 16], d[i + 17]};
    if (name == "FECHA") t.fecha = f;
    if (name == "ARTICULO") t.articulo = f;
    if (name == "IMPORTE") t.importe = f;
    if (name == "TEXTO") t.texto = f;
    offset += f.width;
  }
  return t.importe.width > 0;
}

// Right-aligned decimal text to an integer count of its smallest unit.
int64_t parseFixed(const char* p, int width) {
  int64_t v = 0;
  bool neg = false;
  for (const char* e = p + width; p < e; ++p) {
    char c = *p;
    if (c >= '0' && c <= '9')
      v = v * 10 + (c - '0');
    else if (c == '-')
      neg = true;
  }
  return neg ? -v : v;
}

double scale(int decimals) {
  double s = 1;
  while (decimals-- > 0) s *= 10;
  return s;
}

int scan(const Table& t) {
  const size_t per = (4u << 20) / t.recLen;
  std::vector<char> buf(per * t.recLen);
  int64_t sum = 0;
  uint32_t live = 0;
  for (uint32_t done = 0; done < t.count;) {
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(per, t.count - done));
    size_t want = size_t(n) * t.recLen;
    if (::pread(t.fd, buf.data(), want, t.hdrLen + off_t(done) * t.recLen) != static_cast<ssize_t>(want)) return 1;
    for (const char *r = buf.data(), *e = r + want; r < e; r += t.recLen) {
      if (*r == '*') continue;
      sum += parseFixed(r + t.importe.offset, t.importe.width);
      ++live;
    }
    done += n;
  }
  std::printf("records %u sum %.2f\n", live, sum / scale(t.importe.decimals));
  return 0;
}

int randomReads(const Table& t) {
  std::vector<char> rec(t.recLen);
  int64_t sum = 0, art = 0, day = 0, len = 0;
  for (uint32_t r : zol::bench::lookupOrder(t.count)) {
    if (::pread(t.fd, rec.data(), t.recLen, t.hdrLen + off_t(r - 1) * t.recLen) != static_cast<ssize_t>(t.recLen)) return 1;
    sum += parseFixed(&rec[t.importe.offset], t.importe.width);
    art += parseFixed(&rec[t.articulo.offset], t.articulo.width);
    day += parseFixed(&rec[t.fecha.offset + 6], 2);
    int l = t.texto.width;
    while (l > 0 && rec[t.texto.offset + l - 1] == ' ') --l;
    len += l;
  }
  std::printf("lookups %u sum %.2f art %lld day %lld len %lld\n", zol::bench::kLookups,
              sum / scale(t.importe.decimals), static_cast<long long>(art), static_cast<long long>(day),
              static_cast<long long>(len));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Table t;
  if (argc != 3 || !openTable(argv[2], t)) {
    std::fprintf(stderr, "usage: zol-bench-plain scan|goto TABLE.dbf (a table with an importe field)\n");
    return 2;
  }
  std::string cmd = argv[1];
  if (cmd == "scan") return scan(t);
  if (cmd == "goto") return randomReads(t);
  return 2;
}
