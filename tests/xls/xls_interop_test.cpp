// Reads our sheets back with independent tools: python3-xlrd and LibreOffice.
// Each test skips when its tool is missing; CI installs both.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/codepage.h"
#include "core/date.h"
#include "xls/TFileXLS.h"
#include "xls/xls_tables.h"

namespace zol {
namespace {

namespace fs = std::filesystem;

// What a cell should read back as. Texts are UTF-8 here.
struct Expect {
  bool isText;
  std::string text;
  double number = 0;
  bool amount = false;
};
using Model = std::map<std::pair<int, int>, Expect>;  // 1-based row, column

std::string run(const std::string& cmd, int* status = nullptr) {
  std::string out;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int rc = ::pclose(p);
  if (status) *status = rc;
  return out;
}

bool haveXlrd() {
  int rc = -1;
  run("/usr/bin/python3 -c 'import xlrd' 2>/dev/null", &rc);
  return rc == 0;
}

bool haveSoffice() {
  int rc = -1;
  run("command -v soffice >/dev/null 2>&1", &rc);
  return rc == 0;
}

std::string hexOf(const std::string& s) {
  std::string h;
  char b[3];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02x", c);
    h += b;
  }
  return h;
}

class XlsInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    XLSCLSFONT(), XLSCLSFORMAT();
    char tmpl[] = "/tmp/zol-xls-interop-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    XLSCLSFONT(), XLSCLSFORMAT();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // A sheet shaped like the movement listings: title rows, centred headings,
  // `rows` movements with 40-character accented names, dates as text, amounts.
  Model writeListing(const fs::path& file, int rows) {
    Model m;
    int amount = XLSFORMAT("#,##0.00");
    TFileXLS x(file.string());
    const double widths[] = {7, 45, 10, 12, 12, 12};
    for (int c = 1; c <= 6; ++c) x.col(c, c, widths[c - 1]);
    auto text = [&](int r, int c, const std::string& cp1252, int align = 0) {
      x.say(r, c, cp1252, {.align = align});
      m[{r, c}] = {true, cp1252ToUtf8(cp1252)};
    };
    auto number = [&](int r, int c, double v, bool isAmount) {
      x.say(r, c, v, {.format = isAmount ? amount : 0});
      m[{r, c}] = {false, {}, v, isAmount};
    };
    text(1, 1, "");
    text(1, 6, "31/12/2024");
    text(2, 1, "DETALLE MERCADERIA INGRESADA AL STOCK");
    text(3, 1, "PERIODO: 01/01/2024 AL 31/12/2024");
    const char* heads[] = {"NRO.", "ARTICULO", "FECHA", "CANTIDAD", "PRECIO", "TOTAL"};
    for (int c = 1; c <= 6; ++c) text(5, c, heads[c - 1], 2);
    text(6, 5, "UNIDAD", 2);

    const char* words[] = {"Ca\xF1" "o", "Pi\xF1" "\xF3n", "Cami\xF3n", "A\xF1" "ejo", "G\xFC" "ira",
                           "\xC1" "guila", "M\xE9" "xico", "\xD1" "and\xFA", "Caf\xE9", "Ni\xF1" "o"};
    double total = 0;
    Date day = Date::fromYmd(2024, 1, 1);
    for (int i = 0; i < rows; ++i) {
      int r = 8 + i;
      std::string name = std::string(words[i % 10]) + " " + words[(i / 10) % 10] + " " + std::to_string(i);
      name.resize(40, ' ');  // names keep their trailing blanks
      double qty = (i % 7) + 1 + (i % 3 == 0 ? 0.5 : 0);
      double price = (i * 37 % 100000) / 100.0;
      double importe = std::round(qty * price * 100) / 100;
      total += importe;
      number(r, 1, 1000 + i * 97, false);  // codes pass 65535 near the end
      text(r, 2, name);
      text(r, 3, day.addDays(i % 366).toText());
      number(r, 4, qty, true);
      number(r, 5, price, true);
      number(r, 6, importe, true);
    }
    text(9 + rows, 2, "***  TOTAL  ***");
    number(9 + rows, 6, std::round(total * 100) / 100, true);
    XlsResult res = x.end();
    EXPECT_TRUE(res.ok());
    return m;
  }

  fs::path dir_;
};

TEST_F(XlsInterop, XlrdReadsEveryCellTypeValueAndAmountFormat) {
  if (!haveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed";
  fs::path file = dir_ / "ING_ZOL.XLS";
  Model m = writeListing(file, 1000);

  fs::path script = dir_ / "dump.py";
  std::ofstream(script) << R"(import sys, xlrd
bk = xlrd.open_workbook(sys.argv[1], formatting_info=True)
sh = bk.sheet_by_index(0)
print("nsheets", bk.nsheets)
for r in range(sh.nrows):
    for c in range(sh.ncols):
        cell = sh.cell(r, c)
        if cell.ctype == xlrd.XL_CELL_EMPTY:
            continue
        fmt = bk.format_map[bk.xf_list[cell.xf_index].format_key].format_str
        if cell.ctype == xlrd.XL_CELL_TEXT:
            print(r + 1, c + 1, "T", cell.value.encode("utf-8").hex() or "-", fmt)
        else:
            print(r + 1, c + 1, "N" if cell.ctype == xlrd.XL_CELL_NUMBER else "?%d" % cell.ctype, repr(cell.value), fmt)
)";
  int rc = -1;
  std::string out = run("/usr/bin/python3 " + script.string() + " " + file.string() + " 2>&1", &rc);
  ASSERT_EQ(rc, 0) << out;

  std::istringstream in(out);
  std::string word;
  int nsheets = 0;
  in >> word >> nsheets;
  EXPECT_EQ(nsheets, 1);
  size_t seen = 0;
  int r, c;
  std::string kind, value, fmt;
  while (in >> r >> c >> kind >> value >> fmt) {
    SCOPED_TRACE("cell " + std::to_string(r) + "," + std::to_string(c));
    auto it = m.find({r, c});
    ASSERT_NE(it, m.end()) << "unexpected cell";
    const Expect& e = it->second;
    ++seen;
    if (e.isText) {
      EXPECT_EQ(kind, "T");
      EXPECT_EQ(value == "-" ? "" : value, hexOf(e.text)) << e.text;
      EXPECT_EQ(fmt, "General");
    } else {
      EXPECT_EQ(kind, "N");
      EXPECT_EQ(std::stod(value), e.number);
      EXPECT_EQ(fmt, e.amount ? "#,##0.00" : "General");
    }
  }
  EXPECT_EQ(seen, m.size());
}

// Splits LibreOffice's CSV export into rows of fields (quotes doubled inside).
std::vector<std::vector<std::string>> parseCsv(const std::string& s) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char ch = s[i];
    if (quoted) {
      if (ch == '"' && i + 1 < s.size() && s[i + 1] == '"') field += '"', ++i;
      else if (ch == '"') quoted = false;
      else field += ch;
    } else if (ch == '"') {
      quoted = true;
    } else if (ch == ',') {
      rows.back().push_back(field), field.clear();
    } else if (ch == '\n') {
      rows.back().push_back(field), field.clear();
      rows.emplace_back();
    } else if (ch != '\r') {
      field += ch;
    }
  }
  if (!field.empty() || !rows.back().empty()) rows.back().push_back(field);
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

// Converts to CSV (UTF-8, raw values) with a private LibreOffice profile.
std::string toCsv(const fs::path& dir, const fs::path& file) {
  std::string cmd = "cd " + dir.string() + " && timeout 300 soffice -env:UserInstallation=file://" +
                    (dir / "lo-profile").string() +
                    " --headless --norestore --convert-to "
                    "'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false' --outdir " +
                    (dir / "csv").string() + " " + file.string() + " >/dev/null 2>&1";
  run(cmd);
  fs::path csv = dir / "csv" / (file.stem().string() + ".csv");
  std::ifstream in(csv, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(XlsInterop, LibreOfficeConvertsToTheSameValues) {
  if (!haveSoffice()) GTEST_SKIP() << "LibreOffice is not installed";
  fs::path file = dir_ / "SAL_ZOL.XLS";
  Model m = writeListing(file, 1000);
  std::string csv = toCsv(dir_, file);
  ASSERT_FALSE(csv.empty()) << "LibreOffice produced nothing";
  auto rows = parseCsv(csv);
  ASSERT_EQ(rows.size(), 1009u);  // 8 head rows, 1000 movements, a gap, the total

  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      SCOPED_TRACE("cell " + std::to_string(r + 1) + "," + std::to_string(c + 1));
      const std::string& got = rows[r][c];
      auto it = m.find({static_cast<int>(r + 1), static_cast<int>(c + 1)});
      if (it == m.end()) {
        EXPECT_EQ(got, "");
      } else if (it->second.isText) {
        EXPECT_EQ(got, it->second.text);
      } else {
        EXPECT_NEAR(std::stod(got), it->second.number, 1e-9 * std::max(1.0, std::fabs(it->second.number)));
      }
    }
  }
  for (auto& [pos, e] : m) {
    ASSERT_LE(static_cast<size_t>(pos.first), rows.size());
    EXPECT_LT(static_cast<size_t>(pos.second - 1), rows[pos.first - 1].size()) << "cell missing";
  }
}

// The sheet's far corner still opens everywhere; the long-sheet option's rows
// reach LibreOffice.
TEST_F(XlsInterop, SheetLimitsAsReadersSeeThem) {
  fs::path corner = dir_ / "corner.xls";
  {
    TFileXLS x(corner.string());
    x.say(1, 1, "first");
    x.say(TFileXLS::kMaxRows, TFileXLS::kMaxCols, "last");
    x.say(TFileXLS::kMaxRows + 1, 1, "beyond");
    XlsResult r = x.end();
    EXPECT_TRUE(r.written);
    EXPECT_EQ(r.dropped, 1);
  }
  fs::path longSheet = dir_ / "long.xls";
  {
    TFileXLS x(longSheet.string(), {.longSheet = true});
    for (int r = 1; r <= 60000; ++r) x.say(r, 1, r);
    EXPECT_TRUE(x.end().ok());
  }
  if (haveXlrd()) {
    int rc = -1;
    std::string out = run("/usr/bin/python3 -c 'import sys, xlrd; s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0); "
                          "print(s.nrows, s.ncols, s.cell_value(16383, 255))' " + corner.string() + " 2>&1", &rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out, "16384 256 last\n");
  }
  if (haveSoffice()) {
    auto rows = parseCsv(toCsv(dir_, corner));
    ASSERT_EQ(rows.size(), 16384u);
    EXPECT_EQ(rows.back().size(), 256u);
    EXPECT_EQ(rows.back().back(), "last");
    rows = parseCsv(toCsv(dir_, longSheet));
    ASSERT_EQ(rows.size(), 60000u);
    EXPECT_EQ(rows.back()[0], "60000");
  }
  if (!haveXlrd() && !haveSoffice()) GTEST_SKIP() << "neither python3-xlrd nor LibreOffice is installed";
}

}  // namespace
}  // namespace zol
