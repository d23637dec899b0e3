// Start-up decisions on a data folder: settings upgrade and reading, the
// Daily reindex and the rebuild of missing index files.
#include <QMessageBox>
#include <filesystem>

#include <gtest/gtest.h>

#include "shell/globals.h"
#include "shell/meter_runner.h"
#include "shell/startup.h"
#include "shell_test_support.h"

namespace zol {
namespace {

using test::RecordingRunner;
using test::TempDir;

const Date kToday = Date::fromYmd(2024, 3, 15);

struct Shown {
  std::vector<std::pair<std::string, std::string>> boxes;
  RecordingRunner meters;
  StartupUi ui() {
    StartupUi u;
    u.info = [this](const std::string& t, const std::string& title) { boxes.push_back({t, title}); };
    u.meters = &meters;
    return u;
  }
};

Date storedFecindex(const std::string& dir) {
  WorkAreas wa;
  EXPECT_TRUE(wa.use(dir + "numeros"));
  return wa.cur().get("fecindex").date();
}

TEST(Startup, DailyReindexAndMissingIndexFilesAsATable) {
  const char* indexas[] = {"S", "N", " ", "s"};
  const Date dates[] = {kToday, kToday.addDays(-3), kToday.addDays(2), Date()};
  for (const char* indexa : indexas) {
    for (Date fecindex : dates) {
      for (bool exitsIndexMissing : {false, true}) {
        SCOPED_TRACE(std::string("indexa '") + indexa + "' fecindex " + fecindex.toText() +
                     (exitsIndexMissing ? " salidas.cdx missing" : ""));
        TempDir dir;
        test::makeDataFolder(dir.path(), indexa, fecindex);
        if (exitsIndexMissing) std::filesystem::remove(dir / "salidas.cdx");
        const bool daily = std::string(indexa) == "S" && fecindex != kToday;
        Shown shown;
        // The stamp is on disk before the first tag is built.
        Date stampAtFirstMeter;
        shown.meters.onFirstRun = [&] { stampAtFirstMeter = storedFecindex(dir.path()); };
        WorkAreas wa;
        ASSERT_TRUE(prepareData(wa, dir.path(), shown.ui(), kToday));

        const size_t runs = daily || exitsIndexMissing ? 1 : 0;
        EXPECT_EQ(shown.meters.texts.size(), 6 * runs);
        EXPECT_EQ(storedFecindex(dir.path()), daily ? kToday : fecindex);
        if (daily) {
          ASSERT_EQ(shown.boxes.size(), 1u);
          EXPECT_EQ(shown.boxes[0].first, "Reordenamiento de Archivos Diario...");
          EXPECT_EQ(shown.boxes[0].second, "!!!");
          EXPECT_EQ(stampAtFirstMeter, kToday);
        } else {
          EXPECT_TRUE(shown.boxes.empty());
        }
        for (const char* f : {"maeart.cdx", "entradas.cdx", "salidas.cdx"})
          EXPECT_TRUE(std::filesystem::exists(dir / f)) << f;
      }
    }
  }
}

TEST(Startup, ReindexRunsTheSixMetersInOrder) {
  TempDir dir;
  test::makeDataFolder(dir.path(), "S", Date());
  Shown shown;
  WorkAreas wa;
  ASSERT_TRUE(prepareData(wa, dir.path(), shown.ui(), kToday));
  const std::vector<std::string> expected = {"ENTRADAS.CDX - (ENT01)", "ENTRADAS.CDX - (ENT02)",
                                             "SALIDAS.CDX  - (SAL01)", "SALIDAS.CDX  - (SAL02)",
                                             "MAEART.CDX   - (ART01)", "MAEART.CDX   - (ART02)"};
  EXPECT_EQ(shown.meters.texts, expected);
}

TEST(Startup, SettingsAreReadIntoTheGlobals) {
  struct Case { const char* filesxls; const char* wfilesxls; } cases[] = {
      {" c:\\datos ", "C:\\DATOS\\"}, {"", "\\"}, {"D:\\Xls", "D:\\XLS\\"}, {"  ", "\\"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filesxls);
    TempDir dir;
    test::makeDataFolder(dir.path(), "N", Date::fromYmd(2020, 1, 2), c.filesxls);
    Shown shown;
    WorkAreas wa;
    ASSERT_TRUE(prepareData(wa, dir.path(), shown.ui(), kToday));
    EXPECT_EQ(XINDEXA, "N");
    EXPECT_EQ(XFECINDEX, Date::fromYmd(2020, 1, 2));
    EXPECT_EQ(WFILESXLS, c.wfilesxls);
    EXPECT_EQ(exportFolderFromSetting(c.filesxls), c.wfilesxls);
  }
}

TEST(Startup, EmptySettingsTableReadsBlankAndSkipsTheDailyReindex) {
  TempDir dir;
  test::makeDataFolder(dir.path(), "S", Date());
  {
    WorkAreas wa;
    ASSERT_TRUE(wa.use(dir / "numeros"));
    ASSERT_TRUE(wa.cur().zap());
  }
  Shown shown;
  WorkAreas wa;
  ASSERT_TRUE(prepareData(wa, dir.path(), shown.ui(), kToday));
  EXPECT_NE(XINDEXA, "S");
  EXPECT_TRUE(XFECINDEX.isEmpty());
  EXPECT_EQ(WFILESXLS, "\\");
  EXPECT_TRUE(shown.boxes.empty());
  EXPECT_TRUE(shown.meters.texts.empty());
}

TEST(Startup, ShortSettingsTableIsUpgradedAndStartUpGoesOn) {
  TempDir dir;
  test::makeDataFolder(dir.path());
  {
    // Rebuild numeros with the first 14 fields only.
    WorkAreas wa;
    wa.dropTable(dir / "numeros");
    Structure shortOne(settingsStructure().begin(), settingsStructure().end() - 1);
    ASSERT_EQ(shortOne.size(), 14u);
    ASSERT_TRUE(wa.create(dir / "numeros", shortOne));
    wa.closeAll();
    ASSERT_TRUE(wa.use(dir / "numeros"));
    wa.cur().appendBlank();
    wa.cur().put("indexa", Value("N"));
    wa.cur().put("filesxls", Value("c:\\x"));
  }
  Shown shown;
  WorkAreas wa;
  ASSERT_TRUE(prepareData(wa, dir.path(), shown.ui(), kToday));
  ASSERT_FALSE(shown.boxes.empty());
  EXPECT_EQ(shown.boxes[0].first, "corre numer()");
  EXPECT_EQ(WFILESXLS, "C:\\X\\");
  WorkAreas check;
  ASSERT_TRUE(check.use(dir / "numeros"));
  EXPECT_EQ(check.cur().fieldCount(), 15);
  EXPECT_EQ(check.cur().recCount(), 1u);
  EXPECT_EQ(check.cur().get("indexa").text(), "N");
}

TEST(Startup, MissingSettingsTableIsAFatalOpenError) {
  TempDir dir;
  test::makeDataFolder(dir.path());
  std::filesystem::remove(dir / "numeros.dbf");
  Shown shown;
  WorkAreas wa;
  ErrorRecorder errors;
  EXPECT_FALSE(prepareData(wa, dir.path(), shown.ui(), kToday));
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.events()[0].genCode, ErrGen::Open);
  EXPECT_NE(errors.events()[0].fileName.find("numeros"), std::string::npos);
  EXPECT_TRUE(shown.meters.texts.empty());
}

TEST(Startup, SettingsTableWithoutAFieldStartUpNeedsIsFatal) {
  TempDir dir;
  test::makeDataFolder(dir.path());
  {
    WorkAreas wa;
    wa.dropTable(dir / "numeros");
    // 15 fields, so no upgrade, but "indexa" is not among them.
    Structure odd = settingsStructure();
    odd[3].name = "otro";
    ASSERT_TRUE(wa.create(dir / "numeros", odd));
  }
  Shown shown;
  WorkAreas wa;
  ErrorRecorder errors;
  EXPECT_FALSE(prepareData(wa, dir.path(), shown.ui(), kToday));
  ASSERT_EQ(errors.events().size(), 1u);
  EXPECT_EQ(errors.last().genCode, ErrGen::Fatal);
  EXPECT_FALSE(errors.last().canDefault);
  EXPECT_FALSE(errors.last().canRetry);
}

TEST(Startup, DailyReindexShowsItsBoxAndRealMetersBeforeTheWindow) {
  TempDir dir;
  test::makeDataFolder(dir.path(), "S", Date(), "", false);
  QString title, text;
  test::onNextModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  MeterRunner meters;
  WorkAreas wa;
  ASSERT_TRUE(prepareData(wa, dir.path(), guiStartupUi(meters), kToday));
  EXPECT_EQ(title, "!!!");
  EXPECT_EQ(text, "Reordenamiento de Archivos Diario...");
  for (const char* f : {"maeart.cdx", "entradas.cdx", "salidas.cdx"}) EXPECT_TRUE(std::filesystem::exists(dir / f));
  EXPECT_EQ(storedFecindex(dir.path()), kToday);
}

}  // namespace
}  // namespace zol
