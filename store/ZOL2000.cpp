#include "ZOL2000.h"

namespace zol {

namespace {
const char* const kTitle = "Espere un Momento";
}

void buildTagWithMeter(WorkArea& area, TaskProgress& meter, const std::string& keyExpr, const std::string& tag) {
  meter.setTotal(area.recCount());
  area.setOrder(0);
  area.setOrderCondition(
      [&meter](uint32_t scanned) {
        meter.setPosition(scanned);
        return !meter.cancelled();
      },
      0);
  area.createTag(tag, keyExpr);
}

bool indexFileMissing(WorkAreas& wa, const std::string& dataPath) {
  for (const char* f : {"maeart.cdx", "entradas.cdx", "salidas.cdx"})
    if (!wa.fs().exists(resolveInDir(dataPath, f))) return true;
  return false;
}

void ZOL2000(WorkAreas& wa, const std::string& path, TaskRunner& runner) {
  wa.closeAll();
  for (const char* f : {"MAEART.CDX", "ENTRADAS.CDX", "SALIDAS.CDX"}) {
    std::string p = resolveInDir(path, f);
    if (wa.fs().exists(p)) wa.fs().remove(p);
  }
  struct Tag { const char* text; const char* name; const char* key; };
  struct Table { const char* name; Tag tags[2]; };
  // The blanks before the hyphens line the meter texts up.
  const Table tables[] = {
      {"entradas",
       {{"ENTRADAS.CDX - (ENT01)", "ent01", "dtos(fecha)+str(articulo,6)"},
        {"ENTRADAS.CDX - (ENT02)", "ent02", "str(articulo,6)+dtos(fecha)"}}},
      {"salidas",
       {{"SALIDAS.CDX  - (SAL01)", "sal01", "dtos(fecha)+str(articulo,6)"},
        {"SALIDAS.CDX  - (SAL02)", "sal02", "str(articulo,6)+dtos(fecha)"}}},
      {"maeart",
       {{"MAEART.CDX   - (ART01)", "art01", "articulo"}, {"MAEART.CDX   - (ART02)", "art02", "nombre"}}},
  };
  for (const Table& t : tables) {
    if (!wa.use(path + t.name)) continue;  // reported by the error handler
    WorkArea& area = wa.cur();
    area.pack();
    for (const Tag& g : t.tags)
      runner.run(g.text, kTitle, [&](TaskProgress& meter) { buildTagWithMeter(area, meter, g.key, g.name); });
    area.close();
  }
  wa.closeAll();
}

}  // namespace zol
