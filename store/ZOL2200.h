#pragma once
// Movement purge, data side: marks every entry and exit dated on or before a
// cut-off date, then deletes the marked ones. Articles and stock stay as they are.
#include <string>

#include "core/date.h"
#include "store/work_area.h"

namespace zol {

struct PurgeCounts {
  int entriesMarked = 0, exitsMarked = 0;
  int entriesDeleted = 0, exitsDeleted = 0;
};

// The marking pass over ent01/sal01 order and the deleting pass, in areas 1
// and 2 of `wa`. Leaves both tables open; the caller closes all areas.
PurgeCounts purgeMovements(WorkAreas& wa, const std::string& dataPath, Date cutoff);

}  // namespace zol
