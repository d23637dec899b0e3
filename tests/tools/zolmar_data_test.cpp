// The companion tool as installers and support run it.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "store/data_tables.h"
#include "test_support.h"

namespace zol {
namespace {

using test::TempDir;

int tool(const std::string& args, std::string* out = nullptr) {
  return test::run(std::string(ZOLMAR_DATA_BIN) + " " + args + " 2>&1", out);
}

TEST(ZolmarData, InitDemoCheckAndStockBalance) {
  TempDir dir;
  std::string folder = dir / "datos/sub";
  std::string out;
  ASSERT_EQ(tool("init " + folder, &out), 0) << out;
  EXPECT_NE(out.find("numeros.dbf"), std::string::npos);
  {
    WorkAreas wa;
    ASSERT_TRUE(wa.use(folder + "/numeros"));
    EXPECT_EQ(wa.cur().recCount(), 1u);
    EXPECT_EQ(wa.cur().get("indexa").text(), "S");
    EXPECT_TRUE(wa.cur().get("fecindex").date().isEmpty());
    // init never overwrites the settings the shop already has.
    wa.cur().put("indexa", Value("N"));
  }
  ASSERT_EQ(tool("init " + folder, &out), 0) << out;
  ASSERT_EQ(tool("demo " + folder, &out), 0) << out;
  ASSERT_EQ(tool("check " + folder, &out), 0) << out;
  EXPECT_NE(tool("demo " + folder, &out), 0);
  EXPECT_NE(out.find("already"), std::string::npos);

  WorkAreas wa;
  ASSERT_TRUE(wa.use(folder + "/numeros"));
  EXPECT_EQ(wa.cur().get("indexa").text(), "N");
  // Every article's stock equals its entries minus its exits.
  std::map<int, double> moved;
  int initial = 0;
  for (const char* t : {"entradas", "salidas"}) {
    ASSERT_TRUE(wa.use(folder + "/" + t));
    double sign = std::string(t) == "entradas" ? 1 : -1;
    for (wa.cur().goTop(); !wa.cur().eof(); wa.cur().skip()) {
      moved[static_cast<int>(wa.cur().get("articulo").number())] += sign * wa.cur().get("cantidad").number();
      if (wa.cur().get("texto").text().rfind("STOCK INICIAL", 0) == 0) ++initial;
      EXPECT_DOUBLE_EQ(wa.cur().get("importe").number(),
                       std::round(wa.cur().get("cantidad").number() * wa.cur().get("pre_uni").number() * 100) / 100);
    }
  }
  ASSERT_TRUE(wa.use(folder + "/maeart"));
  EXPECT_GE(wa.cur().recCount(), 120u);
  EXPECT_EQ(initial, static_cast<int>(wa.cur().recCount()));
  int withNotes = 0;
  for (wa.cur().goTop(); !wa.cur().eof(); wa.cur().skip()) {
    int code = static_cast<int>(wa.cur().get("articulo").number());
    EXPECT_NEAR(wa.cur().get("stock").number(), moved[code], 1e-9) << code;
    withNotes += !wa.cur().get("notas").text().empty();
    EXPECT_GT(wa.cur().get("preciov").number(), wa.cur().get("precio").number());
  }
  EXPECT_GT(withNotes, 5);
}

TEST(ZolmarData, CheckNamesTableRecordAndField) {
  TempDir dir;
  ASSERT_EQ(tool("init " + dir.path()), 0);
  {
    WorkAreas wa;
    ASSERT_TRUE(wa.use(dir / "entradas"));
    for (int i = 0; i < 3; ++i) wa.cur().appendBlank();
  }
  std::string d = test::readFile(dir / "entradas.dbf");
  d.replace(258 + 85 + 1, 8, "2024AB01");  // record 2's date
  test::writeFile(dir / "entradas.dbf", d);
  std::string out;
  EXPECT_EQ(tool("check " + dir.path(), &out), 1);
  EXPECT_NE(out.find("entradas.dbf record 2 field FECHA: not a date"), std::string::npos) << out;
  EXPECT_NE(out.find("1 problem found"), std::string::npos) << out;
}

TEST(ZolmarData, ReindexThenCheckIndexes) {
  TempDir dir;
  ASSERT_EQ(tool("demo " + dir.path()), 0);
  std::string out;
  ASSERT_EQ(tool("reindex " + dir.path(), &out), 0) << out;
  EXPECT_NE(out.find("SALIDAS.CDX  - (SAL02)"), std::string::npos) << out;
  ASSERT_EQ(tool("check " + dir.path(), &out), 0) << out;
  ASSERT_EQ(tool("dump " + (dir / "maeart") + " --tag art01", &out), 0) << out;
  EXPECT_EQ(out.substr(0, 26), "tag ART01: articulo (N 8)\n");
  EXPECT_NE(out.find("\n1 \"100\"\n"), std::string::npos) << out.substr(0, 200);
  // A record changed behind the index's back: its key is stale.
  {
    std::string d = test::readFile(dir / "maeart.dbf");
    d.replace(258 + 1, 6, "999999");
    test::writeFile(dir / "maeart.dbf", d);
  }
  EXPECT_EQ(tool("check " + dir.path(), &out), 1);
  EXPECT_NE(out.find("maeart.cdx tag ART01 record 1: record has no key or a stale one"), std::string::npos) << out;
  // A damaged index file is reported, not crashed on.
  {
    std::string c = test::readFile(dir / "entradas.cdx");
    for (size_t i = 1024; i < c.size(); i += 7) c[i] = static_cast<char>(c[i] ^ 0x5A);
    test::writeFile(dir / "entradas.cdx", c);
  }
  EXPECT_EQ(tool("check " + dir.path(), &out), 1);
  EXPECT_NE(out.find("entradas.cdx"), std::string::npos) << out;
  // The reindex mends both.
  ASSERT_EQ(tool("reindex " + dir.path(), &out), 0) << out;
  EXPECT_EQ(tool("check " + dir.path(), &out), 0) << out;
  EXPECT_EQ(tool("reindex " + (dir / "empty/"), &out), 1);
}

TEST(ZolmarData, DumpAndBadUsage) {
  TempDir dir;
  ASSERT_EQ(tool("demo " + dir.path()), 0);
  std::string out;
  ASSERT_EQ(tool("dump " + (dir / "MAEART"), &out), 0);
  EXPECT_NE(out.find("NOTAS      M  10 0"), std::string::npos);
  EXPECT_NE(out.find("NOMBRE=\"CINTA MÉTRICA"), std::string::npos);  // shown as UTF-8
  EXPECT_EQ(tool("", &out), 1);
  EXPECT_EQ(tool("frobnicate", &out), 1);
  EXPECT_EQ(tool("dump " + (dir / "nothere"), &out), 1);
  EXPECT_EQ(tool("check " + (dir / "nothere/"), &out), 1);
}

}  // namespace
}  // namespace zol
