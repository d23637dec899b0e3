// Our engine's side of the index benchmarks, one measurement per process run:
//   zol-bench-index build DIR TAG [check]   build one tag (ent01, ent02, art01,
//                                           art02) with WorkArea::createTag
//   zol-bench-index seek DIR KEYS           the seeks of KEYS on ent01
//   zol-bench-index append DIR [check]      100,000 movements appended with
//                                           entradas.cdx open, one commit
//   zol-bench-index reindex DIR [check]     the whole reindex and pack
//   zol-bench-index walk DIR TAG            checksum of a tag's order
//   zol-bench-index salidas DIR             an empty exits table for the reindex
//   zol-bench-index rawbuild DIR TAG        ent01/ent02 from the field bytes straight
//                                           into the tag builder: the build without
//                                           the key expression, to see what it costs
// "check" adds a walk of the orders built or maintained, so run.sh can compare
// them with the other programs before timing the runs without it.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_data.h"
#include "core/error_event.h"
#include "index_data.h"
#include "store/ZOL2000.h"
#include "store/data_tables.h"
#include "store/work_area.h"

using namespace zol;
using namespace zol::bench;

namespace {

int fail(const std::string& what) {
  std::fprintf(stderr, "zol-bench-index: %s failed\n", what.c_str());
  return 1;
}

// Walks the order of tag `name` on the current area from the top.
bool walk(WorkArea& a, const char* name) {
  int n = a.orderByName(name);
  if (!n) return false;
  a.setOrder(n);
  OrderHash h;
  for (a.goTop(); !a.eof(); a.skip(1)) h.add(a.recNo());
  // Tag names come back upper case from the file; the other programs print them lower.
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  h.print(lower.c_str());
  return true;
}

int build(const std::string& dir, const std::string& tagName, bool check) {
  const IndexTag* t = findIndexTag(tagName);
  if (!t) return fail("unknown tag " + tagName);
  WorkAreas wa;
  if (!wa.use(dir + t->table)) return fail(std::string("open ") + t->table);
  WorkArea& a = wa.cur();
  if (!a.createTag(t->name, t->expr)) return fail(std::string("build ") + t->name);
  if (check && !walk(a, t->name)) return fail("walk");
  wa.closeAll();
  if (!check) std::printf("built %s\n", t->name);
  return 0;
}

int seek(const std::string& dir, const char* keysPath) {
  std::vector<std::string> keys = readSeekKeys(keysPath);
  if (keys.size() != kSeeks) return fail("read seek keys");
  WorkAreas wa;
  if (!wa.use(dir + "entradas")) return fail("open entradas");
  WorkArea& a = wa.cur();
  int n = a.orderByName("ent01");
  if (!n) return fail("find ent01");
  a.setOrder(n);
  uint32_t found = 0;
  unsigned long long recnos = 0;
  for (const std::string& k : keys) {
    if (a.seek(Value(k))) {
      ++found;
      recnos += a.recNo();
    }
  }
  wa.closeAll();
  std::printf("seeks %zu found %u recnos %llu\n", keys.size(), found, recnos);
  return 0;
}

int append(const std::string& dir, bool check) {
  WorkAreas wa;
  if (!wa.use(dir + "entradas")) return fail("open entradas");
  WorkArea& a = wa.cur();
  if (a.orderCount() != 2) return fail("find the two entradas tags");
  const int fecha = a.fieldPos("fecha"), articulo = a.fieldPos("articulo"), cantidad = a.fieldPos("cantidad"),
            preUni = a.fieldPos("pre_uni"), importe = a.fieldPos("importe"), texto = a.fieldPos("texto"),
            marca = a.fieldPos("marca");
  MovementSource src(kIndexedAppends);
  Movement m;
  double sum = 0;
  uint32_t added = 0;
  while (src.next(m)) {
    if (!a.appendBlank()) return fail("append");
    a.put(fecha, m.fecha);
    a.put(articulo, m.articulo);
    a.put(cantidad, m.cantidad);
    a.put(preUni, m.preUni);
    a.put(importe, m.importe);
    a.put(texto, Value(std::move(m.texto)));
    a.put(marca, m.marca);
    sum += m.importe;
    ++added;
  }
  if (!a.commit()) return fail("commit");
  std::printf("appended %u records %u sum %.2f\n", added, a.recCount(), sum);
  if (check && !(walk(a, "ent01") && walk(a, "ent02"))) return fail("walk");
  wa.closeAll();
  return 0;
}

// The meters of a batch run: every task runs, nothing is shown, nobody cancels.
class SilentProgress : public TaskProgress {
 public:
  void setTotal(uint32_t) override {}
  void setPosition(uint32_t) override {}
  bool cancelled() const override { return false; }
};

class SilentRunner : public TaskRunner {
 public:
  void run(const std::string&, const std::string&, const std::function<void(TaskProgress&)>& task) override {
    SilentProgress p;
    task(p);
  }
};

int reindex(const std::string& dir, bool check) {
  WorkAreas wa;
  SilentRunner runner;
  ZOL2000(wa, dir, runner);
  if (!check) {
    std::printf("reindexed\n");
    return 0;
  }
  for (const char* table : {"entradas", "salidas", "maeart"}) {
    if (!wa.use(dir + table)) return fail(std::string("open ") + table);
    WorkArea& a = wa.cur();
    std::printf("%s records %u tags %d\n", table, a.recCount(), a.orderCount());
    for (int i = 1; i <= a.orderCount(); ++i)
      if (!walk(a, a.orderName(i).c_str())) return fail("walk");
    a.close();
  }
  return 0;
}

int rawBuild(const std::string& dir, const std::string& tagName) {
  if (tagName != "ent01" && tagName != "ent02") return fail("rawbuild of " + tagName);
  const IndexTag* t = findIndexTag(tagName);
  FileSystem& fs = realFileSystem();
  auto dbf = DbfFile::open(fs, WorkAreas::tablePath(dir + "entradas"), false, true);
  if (!dbf) return fail("open entradas");
  int fecha = -1, articulo = -1;
  for (const FieldDesc& f : dbf->fields()) {
    if (f.name == "FECHA") fecha = f.offset;
    if (f.name == "ARTICULO") articulo = f.offset;
  }
  auto cdx = CdxFile::create(fs, dir + "entradas.cdx");
  if (!cdx || fecha < 0 || articulo < 0) return fail("create entradas.cdx");
  CdxTagBuilder b(*cdx, t->name, t->expr, "", KeyType::Character, kMovementKeyLength);
  b.reserve(dbf->recCount());
  std::string rec(static_cast<size_t>(dbf->recordLength()), ' ');
  char key[kMovementKeyLength];
  const bool dateFirst = tagName == "ent01";
  for (uint32_t r = 1; r <= dbf->recCount(); ++r) {
    if (!dbf->readRecord(r, rec.data())) return fail("read");
    std::memcpy(key + (dateFirst ? 0 : 6), rec.data() + fecha, 8);
    std::memcpy(key + (dateFirst ? 8 : 0), rec.data() + articulo, 6);
    if (!b.add(std::string_view(key, sizeof key), r)) return fail("add");
  }
  if (!b.finish()) return fail("finish");
  std::printf("built %s\n", t->name);
  return 0;
}

int walkTag(const std::string& dir, const std::string& tagName) {
  const IndexTag* t = findIndexTag(tagName);
  if (!t) return fail("unknown tag " + tagName);
  WorkAreas wa;
  if (!wa.use(dir + t->table)) return fail(std::string("open ") + t->table);
  if (!walk(wa.cur(), t->name)) return fail("walk");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: zol-bench-index build|seek|append|reindex|walk DIR [TAG|KEYS] [check]\n");
    return 2;
  }
  std::string cmd = argv[1], dir = argv[2];
  if (dir.back() != '/') dir += '/';
  std::string arg = argc > 3 ? argv[3] : "";
  bool check = std::string(argv[argc - 1]) == "check";
  // Any engine error is a failed benchmark, not a number to report.
  setErrorHandler([](const ErrorEvent& e) {
    std::fprintf(stderr, "zol-bench-index: %s\n", e.messageLine().c_str());
    std::exit(1);
    return false;
  });
  if (cmd == "build" && argc > 3) return build(dir, arg, check);
  if (cmd == "seek" && argc > 3) return seek(dir, argv[3]);
  if (cmd == "append") return append(dir, check);
  if (cmd == "reindex") return reindex(dir, check);
  if (cmd == "walk" && argc > 3) return walkTag(dir, arg);
  if (cmd == "rawbuild" && argc > 3) return rawBuild(dir, arg);
  if (cmd == "salidas") {
    WorkAreas wa;
    return wa.create(dir + "salidas", movementStructure()) ? 0 : fail("create salidas");
  }
  std::fprintf(stderr, "zol-bench-index: unknown command %s\n", cmd.c_str());
  return 2;
}
