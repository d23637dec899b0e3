#pragma once
// Sample data for a small hardware shop, written through the engine the way
// the screens write it.
#include <string>

#include "store/work_area.h"

namespace zol {

struct DemoSummary {
  int articles = 0;
  int entries = 0;
  int exits = 0;
};

// Fills the tables in `dataPath` (which must exist, with an empty article
// master). Deterministic: the same data every time. Returns false on failure.
bool writeDemoData(WorkAreas& wa, const std::string& dataPath, DemoSummary& summary);

}  // namespace zol
