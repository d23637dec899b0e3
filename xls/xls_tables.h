#pragma once
// The process-wide font and number-format tables. Entries are declared before
// a sheet is created and go into its header; every TFileXLS created afterwards
// sees them until they are emptied.
#include <string>
#include <vector>

namespace zol {

struct XlsFont {
  std::string face;
  double points = 10;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeout = false;
  friend bool operator==(const XlsFont&, const XlsFont&) = default;
};

// Returns the 1-based number of the format text, appending it when the table
// lacks it (exact match). Cells address formats 1..63; later ones cannot be used.
int XLSFORMAT(const std::string& format = "0");

// Same for fonts, matching all six values. Only fonts 1..3 reach a file.
int XLSFONT(const std::string& face = "Arial", double points = 10, bool bold = false,
            bool italic = false, bool underline = false, bool strikeout = false);

void XLSCLSFONT();
void XLSCLSFORMAT();

const std::vector<XlsFont>& xlsFonts();
const std::vector<std::string>& xlsFormats();

}  // namespace zol
