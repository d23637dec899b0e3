#include "xls_tables.h"

#include <algorithm>

namespace zol {

namespace {
std::vector<XlsFont>& fonts() {
  static std::vector<XlsFont> t;
  return t;
}
std::vector<std::string>& formats() {
  static std::vector<std::string> t;
  return t;
}
}  // namespace

int XLSFORMAT(const std::string& format) {
  auto& t = formats();
  auto it = std::find(t.begin(), t.end(), format);
  if (it != t.end()) return static_cast<int>(it - t.begin()) + 1;
  t.push_back(format);
  return static_cast<int>(t.size());
}

int XLSFONT(const std::string& face, double points, bool bold, bool italic, bool underline,
            bool strikeout) {
  XlsFont f{face, points, bold, italic, underline, strikeout};
  auto& t = fonts();
  auto it = std::find(t.begin(), t.end(), f);
  if (it != t.end()) return static_cast<int>(it - t.begin()) + 1;
  t.push_back(std::move(f));
  return static_cast<int>(t.size());
}

void XLSCLSFONT() { fonts().clear(); }
void XLSCLSFORMAT() { formats().clear(); }

const std::vector<XlsFont>& xlsFonts() { return fonts(); }
const std::vector<std::string>& xlsFormats() { return formats(); }

}  // namespace zol
