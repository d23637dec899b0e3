#include "data_tables.h"

#include <cstdlib>

namespace zol {

const Structure& articleStructure() {
  static const Structure s = {
      {"articulo", FieldType::Numeric, 6, 0}, {"nombre", FieldType::Character, 40, 0},
      {"precio", FieldType::Numeric, 9, 2},   {"preciov", FieldType::Numeric, 9, 2},
      {"stock", FieldType::Numeric, 9, 2},    {"marca", FieldType::Numeric, 2, 0},
      {"notas", FieldType::Memo, 10, 0},
  };
  return s;
}

const Structure& movementStructure() {
  static const Structure s = {
      {"fecha", FieldType::Date, 8, 0},      {"articulo", FieldType::Numeric, 6, 0},
      {"cantidad", FieldType::Numeric, 10, 2}, {"pre_uni", FieldType::Numeric, 9, 2},
      {"importe", FieldType::Numeric, 9, 2}, {"texto", FieldType::Character, 40, 0},
      {"marca", FieldType::Numeric, 2, 0},
  };
  return s;
}

const Structure& settingsStructure() {
  static const Structure s = {
      {"camino", FieldType::Character, 40, 0}, {"fecha", FieldType::Date, 8, 0},
      {"ult_mov", FieldType::Date, 8, 0},      {"indexa", FieldType::Character, 1, 0},
      {"fecindex", FieldType::Date, 8, 0},     {"alfa1", FieldType::Character, 40, 0},
      {"alfa2", FieldType::Character, 40, 0},  {"nume1", FieldType::Numeric, 14, 2},
      {"nume2", FieldType::Numeric, 14, 2},    {"fecha1", FieldType::Date, 8, 0},
      {"fecha2", FieldType::Date, 8, 0},       {"filesxls", FieldType::Character, 15, 0},
      {"pass", FieldType::Character, 10, 0},   {"mail", FieldType::Character, 50, 0},
      {"version", FieldType::Character, 10, 0},
  };
  return s;
}

namespace {

// Rebuilds `table` with `structure` through the temporary table `temp`:
// records go to the temporary table, the old table is emptied and the records
// come back into a table of the full structure.
bool rebuild(WorkAreas& wa, const std::string& path, const std::string& table, const std::string& temp,
             const Structure& structure, bool zapFirst) {
  const std::string tablePath = path + table;
  const std::string tempPath = path + temp;
  wa.closeAll();
  // The old index no longer matches the rebuilt table; dropping it makes
  // start-up rebuild every index file.
  std::string cdx = resolveInDir(path, table + ".cdx");
  if (wa.fs().exists(cdx)) wa.fs().remove(cdx);
  if (!wa.create(tempPath, structure)) return false;
  wa.closeAll();
  bool ok = wa.use(tempPath) && wa.cur().appendFrom(tablePath);
  wa.closeAll();
  if (!ok) {
    wa.dropTable(tempPath);
    return false;
  }
  if (zapFirst) {
    ok = wa.use(tablePath) && wa.cur().zap();
    wa.closeAll();
    if (!ok) {
      wa.dropTable(tempPath);
      return false;
    }
  }
  ok = wa.use(tempPath) && wa.cur().copyTo(tablePath);
  wa.closeAll();
  // Keep the temporary copy when the copy back failed: it holds the records.
  if (ok) wa.dropTable(tempPath);
  return ok;
}

}  // namespace

bool ZOL_ARC(WorkAreas& wa, const std::string& path, const WaitNotice& notice) {
  auto exists = [&](const char* name) { return wa.exists(path + name); };
  auto say = [&](const std::string& t) {
    if (notice) notice(t);
  };
  if (!exists("MAEART.DBF") && !wa.create(path + "maeart", articleStructure())) return false;
  wa.closeAll();
  if (!wa.use(path + "MAEART")) return false;
  if (wa.cur().fieldPos("notas") == 0) {
    say("maeart.dbf");
    if (!rebuild(wa, path, "maeart", "mae2", articleStructure(), true)) return false;
  }
  struct Mov { const char* file; const char* name; const char* temp; const char* wait; };
  for (Mov m : {Mov{"ENTRADAS.DBF", "entradas", "ENT2", "entradas.dbf"},
                Mov{"SALIDAS.DBF", "salidas", "SAL2", "salidas.dbf"}}) {
    wa.closeAll();
    if (!exists(m.file) && !wa.create(path + m.name, movementStructure())) return false;
    wa.closeAll();
    if (!wa.use(path + m.name)) return false;
    if (wa.cur().fieldCount() < 7) {
      say(m.wait);
      if (!rebuild(wa, path, m.name, m.temp, movementStructure(), true)) return false;
      // Leave the table open as the check always does.
      wa.use(path + m.name);
    }
  }
  return true;
}

bool NUMER(WorkAreas& wa, const std::string& path) {
  return rebuild(wa, path, "numeros", "nume2", settingsStructure(), false);
}

std::string defaultDataPath() {
#ifdef _WIN32
  return "c:\\zolva103\\";
#else
  if (const char* d = std::getenv("ZOLMAR_DATA"); d && *d) {
    std::string s = d;
    if (s.back() != '/') s += '/';
    return s;
  }
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/zolva103/";
#endif
}

}  // namespace zol
