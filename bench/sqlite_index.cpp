// SQLite doing the index work of zol-bench-index on the same rows: CREATE
// INDEX on the columns that give each tag's order, indexed point lookups, and
// inserts into a table with two indexes in one transaction.
//   zol-bench-sqlite-index load DB                     entradas and maeart, no indexes
//   zol-bench-sqlite-index build DB TAG [nosync] [check]
//   zol-bench-sqlite-index seek DB KEYS
//   zol-bench-sqlite-index append DB [nosync] [check]  100,000 movements, ent01 and ent02 present
// nosync skips the fsync at commit, which our engine never does either.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_data.h"
#include "index_data.h"

using namespace zol::bench;

namespace {

sqlite3* db = nullptr;

void check(int rc, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
  std::fprintf(stderr, "zol-bench-sqlite-index: %s: %s\n", what, sqlite3_errmsg(db));
  std::exit(1);
}

void exec(const std::string& sql) { check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), sql.c_str()); }

sqlite3_stmt* prepare(const std::string& sql) {
  sqlite3_stmt* s = nullptr;
  check(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), sql.c_str());
  return s;
}

void bindText(sqlite3_stmt* s, int i, const std::string& t) {
  sqlite3_bind_text(s, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}

// The rowids in the order of `columns`, ties by rowid, as our tags order them.
void walk(const IndexTag& t) {
  sqlite3_stmt* s = prepare(std::string("SELECT rowid FROM ") + t.table + " ORDER BY " + t.columns + ", rowid");
  OrderHash h;
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) h.add(static_cast<uint32_t>(sqlite3_column_int64(s, 0)));
  check(rc, "walk");
  sqlite3_finalize(s);
  h.print(t.name);
}

void insertMovements(MovementSource& src, double& sum, uint32_t& n) {
  sqlite3_stmt* ins = prepare("INSERT INTO entradas VALUES (?, ?, ?, ?, ?, ?, ?)");
  Movement m;
  while (src.next(m)) {
    bindText(ins, 1, m.fecha.dtos());
    sqlite3_bind_int(ins, 2, m.articulo);
    sqlite3_bind_double(ins, 3, m.cantidad);
    sqlite3_bind_double(ins, 4, m.preUni);
    sqlite3_bind_double(ins, 5, m.importe);
    bindText(ins, 6, m.texto);
    sqlite3_bind_int(ins, 7, m.marca);
    check(sqlite3_step(ins), "insert");
    sqlite3_reset(ins);
    sum += m.importe;
    ++n;
  }
  sqlite3_finalize(ins);
}

int load() {
  exec("PRAGMA synchronous=OFF");
  exec("CREATE TABLE entradas (fecha TEXT, articulo INTEGER, cantidad REAL, pre_uni REAL, importe REAL,"
       " texto TEXT, marca INTEGER)");
  exec("CREATE TABLE maeart (articulo INTEGER, nombre TEXT, precio REAL, preciov REAL, stock REAL,"
       " marca INTEGER, notas TEXT)");
  exec("BEGIN");
  MovementSource src;
  double sum = 0;
  uint32_t n = 0;
  insertMovements(src, sum, n);
  sqlite3_stmt* ins = prepare("INSERT INTO maeart VALUES (?, ?, ?, ?, ?, ?, ?)");
  for (uint32_t i = 1; i <= kArticles; ++i) {
    Article a = article(static_cast<int>(i));
    sqlite3_bind_int(ins, 1, a.articulo);
    bindText(ins, 2, a.nombre);
    sqlite3_bind_double(ins, 3, a.precio);
    sqlite3_bind_double(ins, 4, a.preciov);
    sqlite3_bind_double(ins, 5, a.stock);
    sqlite3_bind_int(ins, 6, a.marca);
    bindText(ins, 7, a.notas);
    check(sqlite3_step(ins), "insert article");
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  exec("COMMIT");
  std::printf("loaded %u movements, %u articles\n", n, kArticles);
  return 0;
}

int build(const std::string& tagName, bool check) {
  const IndexTag* t = findIndexTag(tagName);
  if (!t) return 2;
  exec(std::string("CREATE INDEX ") + t->name + " ON " + t->table + " (" + t->columns + ")");
  if (check)
    walk(*t);
  else
    std::printf("built %s\n", t->name);
  return 0;
}

int seek(const char* keysPath) {
  std::vector<std::string> keys = readSeekKeys(keysPath);
  if (keys.size() != kSeeks) return 1;
  // Without statistics the planner would take ent02 just as well; the seeks
  // compared are on ent01.
  sqlite3_stmt* s = prepare(
      "SELECT rowid FROM entradas INDEXED BY ent01 WHERE fecha = ?1 AND articulo = ?2 ORDER BY rowid LIMIT 1");
  uint32_t found = 0;
  unsigned long long recnos = 0;
  for (const std::string& k : keys) {
    sqlite3_bind_text(s, 1, k.data(), 8, SQLITE_STATIC);
    sqlite3_bind_int(s, 2, std::atoi(k.c_str() + 8));
    int rc = sqlite3_step(s);
    check(rc, "seek");
    if (rc == SQLITE_ROW) {
      ++found;
      recnos += static_cast<unsigned long long>(sqlite3_column_int64(s, 0));
    }
    sqlite3_reset(s);
  }
  sqlite3_finalize(s);
  std::printf("seeks %zu found %u recnos %llu\n", keys.size(), found, recnos);
  return 0;
}

int append(bool check) {
  exec("BEGIN");
  MovementSource src(kIndexedAppends);
  double sum = 0;
  uint32_t n = 0;
  insertMovements(src, sum, n);
  exec("COMMIT");
  sqlite3_stmt* c = prepare("SELECT count(*) FROM entradas");
  ::check(sqlite3_step(c), "count");
  std::printf("appended %u records %lld sum %.2f\n", n, sqlite3_column_int64(c, 0), sum);
  sqlite3_finalize(c);
  if (check) {
    walk(*findIndexTag("ent01"));
    walk(*findIndexTag("ent02"));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: zol-bench-sqlite-index load|build|seek|append DB [TAG|KEYS] [nosync] [check]\n");
    return 2;
  }
  std::string cmd = argv[1];
  bool nosync = false, checkOrder = false;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "nosync") == 0) nosync = true;
    if (std::strcmp(argv[i], "check") == 0) checkOrder = true;
  }
  check(sqlite3_open(argv[2], &db), "open");
  if (nosync) exec("PRAGMA synchronous=OFF");
  int rc = 2;
  if (cmd == "load") rc = load();
  if (cmd == "build" && argc > 3) rc = build(argv[3], checkOrder);
  if (cmd == "seek" && argc > 3) rc = seek(argv[3]);
  if (cmd == "append") rc = append(checkOrder);
  sqlite3_close(db);
  return rc;
}
