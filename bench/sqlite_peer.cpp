// SQLite doing the same work as zol-bench, at its best: prepared statements,
// one transaction for the whole load, lookups by rowid.
//   zol-bench-sqlite insert DB [nosync]   the 1,000,000 movements; nosync
//                                          skips the fsync at commit, which
//                                          our engine never does either
//   zol-bench-sqlite sum DB                SELECT sum(importe)
//   zol-bench-sqlite goto DB               the random reads of zol-bench goto
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_data.h"

using namespace zol::bench;

namespace {

sqlite3* db = nullptr;

void check(int rc, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
  std::fprintf(stderr, "zol-bench-sqlite: %s: %s\n", what, sqlite3_errmsg(db));
  std::exit(1);
}

void exec(const char* sql) { check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql); }

sqlite3_stmt* prepare(const char* sql) {
  sqlite3_stmt* s = nullptr;
  check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), sql);
  return s;
}

int insert(bool nosync) {
  if (nosync) exec("PRAGMA synchronous=OFF");
  exec("CREATE TABLE entradas (fecha TEXT, articulo INTEGER, cantidad REAL, pre_uni REAL, importe REAL,"
       " texto TEXT, marca INTEGER)");
  exec("BEGIN");
  sqlite3_stmt* ins = prepare("INSERT INTO entradas VALUES (?, ?, ?, ?, ?, ?, ?)");
  MovementSource src;
  Movement m;
  double sum = 0;
  uint32_t n = 0;
  while (src.next(m)) {
    std::string fecha = m.fecha.dtos();
    sqlite3_bind_text(ins, 1, fecha.data(), static_cast<int>(fecha.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(ins, 2, m.articulo);
    sqlite3_bind_double(ins, 3, m.cantidad);
    sqlite3_bind_double(ins, 4, m.preUni);
    sqlite3_bind_double(ins, 5, m.importe);
    sqlite3_bind_text(ins, 6, m.texto.data(), static_cast<int>(m.texto.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(ins, 7, m.marca);
    check(sqlite3_step(ins), "insert");
    sqlite3_reset(ins);
    sum += m.importe;
    ++n;
  }
  sqlite3_finalize(ins);
  exec("COMMIT");
  std::printf("appended %u sum %.2f\n", n, sum);
  return 0;
}

int sum() {
  sqlite3_stmt* s = prepare("SELECT count(*), sum(importe) FROM entradas");
  check(sqlite3_step(s), "sum");
  std::printf("records %lld sum %.2f\n", sqlite3_column_int64(s, 0), sqlite3_column_double(s, 1));
  sqlite3_finalize(s);
  return 0;
}

int randomReads() {
  sqlite3_stmt* c = prepare("SELECT count(*) FROM entradas");
  check(sqlite3_step(c), "count");
  uint32_t records = static_cast<uint32_t>(sqlite3_column_int64(c, 0));
  sqlite3_finalize(c);
  sqlite3_stmt* s = prepare("SELECT fecha, articulo, importe, texto FROM entradas WHERE rowid = ?");
  double total = 0;
  long long art = 0, day = 0, len = 0;
  for (uint32_t r : lookupOrder(records)) {
    sqlite3_bind_int64(s, 1, r);
    check(sqlite3_step(s), "lookup");
    const char* fecha = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    day += std::atoi(fecha + 6);
    art += sqlite3_column_int(s, 1);
    total += sqlite3_column_double(s, 2);
    len += sqlite3_column_bytes(s, 3);
    sqlite3_reset(s);
  }
  sqlite3_finalize(s);
  std::printf("lookups %u sum %.2f art %lld day %lld len %lld\n", kLookups, total, art, day, len);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: zol-bench-sqlite insert|sum|goto DB [nosync]\n");
    return 2;
  }
  std::string cmd = argv[1];
  check(sqlite3_open(argv[2], &db), "open");
  int rc = 2;
  if (cmd == "insert") rc = insert(argc > 3 && std::strcmp(argv[3], "nosync") == 0);
  if (cmd == "sum") rc = sum();
  if (cmd == "goto") rc = randomReads();
  sqlite3_close(db);
  return rc;
}
