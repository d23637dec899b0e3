#include "screens/screen_support.h"

#include "core/numtext.h"
#include "shell/globals.h"

namespace zol {

bool useTable(int area, const char* name, int tag) {
  WorkAreas& wa = workAreas();
  wa.select(area);
  if (!wa.use(WPATH + name)) return false;
  if (tag) wa.cur().setOrder(tag);
  return true;
}

QString numText(double value, int width, int decimals) {
  return QString::fromStdString(str(value, width, decimals));
}

void gridBasics(TWBrowse& grid) {
  grid.nFreeze = 0;
  grid.lCellStyle = true;
  grid.lAdjLastCol = false;
  grid.nLineStyle = 1;
  grid.nHeaderStyle = 1;
  grid.Set3DStyle();
  grid.nHeaderHeight = 22;
  grid.nLineHeight = 15;
  grid.aHJustify.assign(grid.aColSizes.size(), Justify::Centre);
}

void headerColours(TWBrowse& grid, Colour evenBack, Colour evenText, Colour oddBack, Colour oddText) {
  grid.bBkColor = [evenBack, oddBack](int, int col, int style) -> std::optional<Colour> {
    if (style != 1) return std::nullopt;
    return col % 2 == 0 ? evenBack : oddBack;
  };
  grid.bTextColor = [evenText, oddText](int, int col, int style) -> std::optional<Colour> {
    if (style != 1) return std::nullopt;
    return col % 2 == 0 ? evenText : oddText;
  };
}

ColourOr parityPane(WorkArea& area, Colour even, Colour odd) {
  return ColourOr(std::function<Colour()>([&area, even, odd] { return area.keyPosition() % 2 == 0 ? even : odd; }));
}

bool fitsField(double value, int width, int decimals) {
  return str(value, width, decimals).find('*') == std::string::npos;
}

std::string trimmed(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace zol
