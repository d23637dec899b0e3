#pragma once
// The product's four tables: their structures, the structure check that
// creates missing tables and upgrades old ones, and the settings upgrade.
#include <functional>
#include <string>

#include "store/work_area.h"

namespace zol {

namespace Tables {
constexpr const char* Articles = "maeart";
constexpr const char* Entries = "entradas";
constexpr const char* Exits = "salidas";
constexpr const char* Settings = "numeros";
}  // namespace Tables

const Structure& articleStructure();
const Structure& movementStructure();
const Structure& settingsStructure();

// Shows `text` in a wait window for about a second (the GUI wires its wait
// window in; batch tools print it or ignore it).
using WaitNotice = std::function<void(const std::string& text)>;

// Structure check: creates missing tables in `dataPath` (which ends with a
// separator) and upgrades an article master without `notas` or a movement
// table with fewer than 7 fields. Leaves a table open; callers close all.
// Returns false when a step failed (the error was raised already).
bool ZOL_ARC(WorkAreas& wa, const std::string& dataPath, const WaitNotice& notice = {});

// Settings upgrade: rebuilds `numeros` with the full structure, keeping its records.
bool NUMER(WorkAreas& wa, const std::string& dataPath);

// The data folder: $ZOLMAR_DATA when set, else ~/zolva103/ (c:\zolva103\ on
// Windows), always with a trailing separator.
std::string defaultDataPath();

}  // namespace zol
