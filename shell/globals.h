#pragma once
// The program's global settings, read by every screen. They live in their own
// small target so screens can read them without depending on the shell.
#include <string>

#include "core/date.h"
#include "store/work_area.h"
#include "ui/font.h"

namespace zol {

// Data path with its trailing separator; every table name goes after it.
extern std::string WPATH;
// Article code most recently chosen or entered, and that article's name.
extern double XART;
extern std::string XNOM_ART;  // 40 characters, Windows-1252
// Fonts of dialogs and grids, of image-button captions and of wait windows.
// Empty until the main window is built.
extern TFont OFONTBRW;
extern TFont OFONTBMP;
extern TFont OFONTESP;
// As read from the settings table at start-up.
extern std::string XINDEXA;
extern Date XFECINDEX;
extern std::string XFILESXLS;
// XFILESXLS trimmed, upper case, with one trailing backslash.
extern std::string WFILESXLS;

// The program's work areas.
WorkAreas& workAreas();

// Gives every setting its initial value (fonts empty, WPATH the data folder).
void initGlobals();
// Creates the three fonts; done while the main window is built.
void createFonts();

// "  c:\datos " -> "C:\DATOS\"; blank -> "\".
std::string exportFolderFromSetting(const std::string& filesxls);

}  // namespace zol
