#include "ZOL2200.h"

#include "store/data_tables.h"

namespace zol {

namespace {

int markPass(WorkArea& a, const std::string& cutoff) {
  int n = 0;
  a.setOrder(1);
  a.goTop();
  const int fecha = a.fieldPos("fecha"), marca = a.fieldPos("marca");
  // The date order lets the pass stop at the first later movement; without
  // the index (it should always be there) every movement is looked at.
  const bool byDate = a.order() == 1;
  for (; !a.eof(); a.skip(1)) {
    if (a.get(fecha).date().dtos() > cutoff) {
      if (byDate) break;
      continue;
    }
    a.lock();
    a.put(marca, 1);
    a.unlock();
    ++n;
  }
  return n;
}

int deletePass(WorkArea& a) {
  int n = 0;
  const int marca = a.fieldPos("marca");
  for (a.goTop(); !a.eof(); a.skip(1)) {
    if (a.get(marca).number() != 1) continue;
    a.lock();
    a.deleteRecord();
    a.unlock();
    ++n;
  }
  return n;
}

}  // namespace

PurgeCounts purgeMovements(WorkAreas& wa, const std::string& path, Date cutoff) {
  PurgeCounts c;
  const std::string limit = cutoff.dtos();
  wa.select(Area::Entries);
  bool entries = wa.use(path + Tables::Entries);
  if (entries) c.entriesMarked = markPass(wa.cur(), limit);
  wa.select(Area::Exits);
  bool exits = wa.use(path + Tables::Exits);
  if (exits) c.exitsMarked = markPass(wa.cur(), limit);
  if (entries) c.entriesDeleted = deletePass(wa.area(Area::Entries));
  if (exits) c.exitsDeleted = deletePass(wa.area(Area::Exits));
  wa.commitAll();
  return c;
}

}  // namespace zol
