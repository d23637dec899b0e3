// The structure check and the settings upgrade on real folders.
#include <gtest/gtest.h>

#include <filesystem>

#include "store/data_tables.h"
#include "store/verify.h"
#include "test_support.h"

namespace zol {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

class DataTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(wa.create(dir / "numeros", settingsStructure()));
    wa.closeAll();
  }
  bool runCheck() {
    bool ok = ZOL_ARC(wa, dir.path(), [&](const std::string& t) { notices.push_back(t); });
    wa.closeAll();
    return ok;
  }
  TempDir dir;
  WorkAreas wa;
  ErrorRecorder errors;
  std::vector<std::string> notices;
};

TEST_F(DataTablesTest, FirstStartCreatesTheTables) {
  ASSERT_TRUE(runCheck());
  for (const char* f : {"maeart.dbf", "maeart.fpt", "entradas.dbf", "salidas.dbf"})
    EXPECT_TRUE(fs::exists(dir / f)) << f;
  EXPECT_FALSE(fs::exists(dir / "maeart.cdx"));
  EXPECT_TRUE(notices.empty());
  EXPECT_TRUE(errors.empty());
  ASSERT_TRUE(wa.use(dir / "ENTRADAS"));
  EXPECT_EQ(wa.cur().fieldDesc(wa.cur().fieldPos("texto"))->width, 40);
  EXPECT_EQ(wa.cur().fieldCount(), 7);
  // A second run changes nothing.
  wa.closeAll();
  std::string before = test::readFile(dir / "maeart.dbf");
  ASSERT_TRUE(runCheck());
  EXPECT_EQ(test::readFile(dir / "maeart.dbf"), before);
}

TEST_F(DataTablesTest, ArticleMasterWithoutNotesIsUpgraded) {
  Structure old = articleStructure();
  old.pop_back();
  ASSERT_TRUE(wa.create(dir / "MAEART", old));
  ASSERT_TRUE(wa.use(dir / "MAEART"));
  for (int i = 1; i <= 3; ++i) {
    wa.cur().appendBlank();
    wa.cur().put("articulo", i);
    wa.cur().put("nombre", Value("ARANDELA \xD1" + std::to_string(i)));
    wa.cur().put("precio", i * 1.25);
    wa.cur().put("stock", -i);
  }
  ASSERT_TRUE(wa.cur().createTag("art01", "articulo"));  // an index from before
  wa.closeAll();
  ASSERT_TRUE(runCheck());
  EXPECT_EQ(notices, std::vector<std::string>{"maeart.dbf"});
  EXPECT_FALSE(fs::exists(dir / "mae2.dbf"));
  EXPECT_FALSE(fs::exists(dir / "mae2.fpt"));
  EXPECT_FALSE(fs::exists(dir / "maeart.cdx"));  // stale: start-up rebuilds it
  ASSERT_TRUE(wa.use(dir / "maeart"));
  EXPECT_EQ(wa.cur().fieldCount(), 7);
  int i = 1;
  for (wa.cur().goTop(); !wa.cur().eof(); wa.cur().skip(), ++i) {
    EXPECT_EQ(wa.cur().get("articulo").number(), i);
    EXPECT_EQ(wa.cur().get("nombre").text().substr(0, 11), "ARANDELA \xD1" + std::to_string(i));
    EXPECT_EQ(wa.cur().get("precio").number(), i * 1.25);
    EXPECT_EQ(wa.cur().get("stock").number(), -i);
    EXPECT_EQ(wa.cur().get("notas").text(), "");
  }
  EXPECT_EQ(i, 4);
  wa.closeAll();
  EXPECT_TRUE(verifyTable(wa.fs(), dir / "maeart.dbf").empty());
  EXPECT_TRUE(errors.empty());
}

TEST_F(DataTablesTest, MovementTablesUpgradeOnlyBelowSevenFields) {
  Structure six = movementStructure();
  six.pop_back();
  ASSERT_TRUE(wa.create(dir / "entradas", six));
  ASSERT_TRUE(wa.use(dir / "entradas"));
  wa.cur().appendBlank();
  wa.cur().put("texto", Value("STOCK INICIAL"));
  wa.cur().put("fecha", Date::fromYmd(2024, 3, 5));
  wa.closeAll();
  Structure wide = movementStructure();
  wide[5].width = 60;
  wide.push_back({"extra", FieldType::Character, 3, 0});
  ASSERT_TRUE(wa.create(dir / "salidas", wide));
  wa.closeAll();
  std::string salidas = test::readFile(dir / "salidas.dbf");
  ASSERT_TRUE(runCheck());
  EXPECT_EQ(notices, std::vector<std::string>{"entradas.dbf"});
  EXPECT_EQ(test::readFile(dir / "salidas.dbf"), salidas);
  ASSERT_TRUE(wa.use(dir / "entradas"));
  EXPECT_EQ(wa.cur().fieldCount(), 7);
  EXPECT_EQ(wa.cur().get("texto").text().substr(0, 13), "STOCK INICIAL");
  EXPECT_EQ(wa.cur().get("fecha").date(), Date::fromYmd(2024, 3, 5));
  EXPECT_EQ(wa.cur().get("marca").number(), 0);
  EXPECT_FALSE(fs::exists(dir / "ent2.dbf"));
}

TEST_F(DataTablesTest, SettingsUpgradeKeepsTheRecord) {
  Structure fourteen = settingsStructure();
  fourteen.pop_back();
  ASSERT_TRUE(wa.create(dir / "numeros", fourteen));
  ASSERT_TRUE(wa.use(dir / "numeros"));
  wa.cur().appendBlank();
  wa.cur().put("indexa", Value("S"));
  wa.cur().put("fecindex", Date::fromYmd(2026, 1, 2));
  wa.cur().put("filesxls", Value(" c:\\planillas "));
  wa.closeAll();
  ASSERT_TRUE(NUMER(wa, dir.path()));
  ASSERT_TRUE(wa.use(dir / "numeros"));
  EXPECT_EQ(wa.cur().fieldCount(), 15);
  EXPECT_EQ(wa.cur().recCount(), 1u);
  EXPECT_EQ(wa.cur().get("indexa").text(), "S");
  EXPECT_EQ(wa.cur().get("fecindex").date(), Date::fromYmd(2026, 1, 2));
  EXPECT_EQ(wa.cur().get("filesxls").text(), " c:\\planillas  ");
  EXPECT_FALSE(fs::exists(dir / "nume2.dbf"));
  EXPECT_TRUE(errors.empty());
}

TEST_F(DataTablesTest, FailedCopyBackKeepsTheTemporaryTable) {
  Structure six = movementStructure();
  six.pop_back();
  ASSERT_TRUE(wa.create(dir / "entradas", six));
  ASSERT_TRUE(wa.use(dir / "entradas"));
  for (int i = 0; i < 50; ++i) {
    wa.cur().appendBlank();
    wa.cur().put("articulo", i);
  }
  wa.closeAll();
  ASSERT_TRUE(wa.create(dir / "maeart", articleStructure()));
  ASSERT_TRUE(wa.create(dir / "salidas", movementStructure()));
  wa.closeAll();
  // The disk fills while the records are copied back into the rebuilt table
  // (after ENT2 is written and the old table emptied): they must survive in ENT2.
  FaultFileSystem faulty(realFileSystem());
  WorkAreas w(faulty);
  const int64_t beforeCopyBack = (258 + 1) + 50 * 85 + 32 + (32 + 1) + (258 + 1);
  faulty.failWritesAfter(beforeCopyBack + 85 * 10);
  EXPECT_FALSE(ZOL_ARC(w, dir.path()));
  faulty.reset();
  w.closeAll();
  EXPECT_FALSE(errors.empty());
  ASSERT_TRUE(fs::exists(dir / "ent2.dbf"));
  WorkAreas r;
  ASSERT_TRUE(r.use(dir / "ent2"));
  EXPECT_EQ(r.cur().recCount(), 50u);
}

TEST(DataPath, EnvironmentOverridesWithTrailingSeparator) {
  setenv("ZOLMAR_DATA", "/tmp/x", 1);
  EXPECT_EQ(defaultDataPath(), "/tmp/x/");
  setenv("ZOLMAR_DATA", "/tmp/y/", 1);
  EXPECT_EQ(defaultDataPath(), "/tmp/y/");
  unsetenv("ZOLMAR_DATA");
  EXPECT_EQ(defaultDataPath().back(), '/');
}

}  // namespace
}  // namespace zol
