#include "shell/globals.h"

#include <algorithm>
#include <cctype>

#include "store/data_tables.h"

namespace zol {

std::string WPATH;
double XART = 0;
std::string XNOM_ART(40, ' ');
TFont OFONTBRW;
TFont OFONTBMP;
TFont OFONTESP;
std::string XINDEXA;
Date XFECINDEX;
std::string XFILESXLS;
std::string WFILESXLS;

WorkAreas& workAreas() {
  static WorkAreas areas;
  return areas;
}

void initGlobals() {
  WPATH = defaultDataPath();
  XART = 0;
  XNOM_ART.assign(40, ' ');
  OFONTBRW = TFont();
  OFONTBMP = TFont();
  OFONTESP = TFont();
  XINDEXA.clear();
  XFECINDEX = Date();
  XFILESXLS.clear();
  WFILESXLS.clear();
}

void createFonts() {
  OFONTBRW = TFont("Arial", 12);
  OFONTBMP = TFont("Arial", 11);
  // TFont maps a face the system lacks to a close one.
  OFONTESP = TFont("Colibri", 14, true);
}

std::string exportFolderFromSetting(const std::string& filesxls) {
  auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  auto b = std::find_if_not(filesxls.begin(), filesxls.end(), blank);
  auto e = std::find_if_not(filesxls.rbegin(), filesxls.rend(), blank).base();
  std::string s = b < e ? std::string(b, e) : std::string();
  // Only ASCII letters change case; the stored bytes are Windows-1252.
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s + "\\";
}

}  // namespace zol
