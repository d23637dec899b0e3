#pragma once
// The maintenance commands of the menu.

namespace zol {

// Reindex and pack of the three data tables, one meter per tag.
void ZOL2000();
// Purge of the entries and exits dated on or before a cut-off date the user gives.
void ZOL2200();

}  // namespace zol
