#pragma once
// Reindex and pack: rebuilds the three index files from nothing and removes
// every record marked as deleted from the three data tables.
#include <string>

#include "store/task_progress.h"
#include "store/work_area.h"

namespace zol {

// Runs the whole reindex on the tables in `dataPath`, one meter per tag. A
// cancelled meter ends only the tag it shows. Leaves all areas closed.
void ZOL2000(WorkAreas& wa, const std::string& dataPath, TaskRunner& runner);

// The tag build routine: builds `tag` with `keyExpr` on the current area's
// table in record order, moving the meter for every record.
void buildTagWithMeter(WorkArea& area, TaskProgress& meter, const std::string& keyExpr, const std::string& tag);

// True when one of maeart.cdx, entradas.cdx, salidas.cdx is missing.
bool indexFileMissing(WorkAreas& wa, const std::string& dataPath);

}  // namespace zol
