// The real program under xvfb-run, on a folder holding only the settings
// table: it creates the tables and index files, shows the main window, and
// ends through the exit command chosen from the menu.
#include <filesystem>

#include <gtest/gtest.h>

#include "store/data_tables.h"
#include "store/work_area.h"
#include "test_support.h"

namespace zol {
namespace {

using test::TempDir;

bool haveTools() {
  return test::run("command -v xvfb-run >/dev/null && command -v xdotool >/dev/null && command -v xauth >/dev/null") == 0;
}

TEST(Program, StartsOnAFolderWithOnlyTheSettingsTableAndExitsFromTheMenu) {
  if (!haveTools()) GTEST_SKIP() << "xvfb-run, xauth or xdotool missing";
  TempDir data, cwd;
  {
    WorkAreas wa;
    ASSERT_TRUE(wa.create(data / "numeros", settingsStructure()));
    wa.closeAll();
    ASSERT_TRUE(wa.use(data / "numeros"));
    wa.cur().appendBlank();
    wa.cur().put("indexa", Value("N"));
  }
  const std::string script = cwd / "run.sh";
  test::writeFile(script,
                  "set -u\n"
                  "\"$ZOLMAR\" > \"$OUT\" 2>&1 &\n"
                  "pid=$!\n"
                  "win=$(timeout 120 xdotool search --sync --name 'Sistema Zolmar' | head -1)\n"
                  "echo \"title=[$(xdotool getwindowname \"$win\")]\"\n"
                  "xdotool windowfocus --sync \"$win\"\n"
                  "sleep 1\n"
                  "xdotool key --clearmodifiers alt+a\n"
                  "sleep 1\n"
                  "xdotool key s\n"
                  "q=$(timeout 30 xdotool search --sync --name '^Seleccione\\.\\.\\.$' | head -1)\n"
                  "echo \"question=[$(xdotool getwindowname \"$q\")]\"\n"
                  // Without a window manager a key can miss a box that is not yet
                  // focused: press again while the question is still there.
                  "for i in 1 2 3 4 5 6 7 8 9 10; do\n"
                  "  xdotool search --name '^Seleccione\\.\\.\\.$' >/dev/null || break\n"
                  "  xdotool windowfocus --sync \"$q\" key Return\n"
                  "  sleep 1\n"
                  "done\n"
                  "timeout 60 tail --pid=$pid -f /dev/null\n"
                  "wait $pid; echo \"rc=$?\"\n");
  std::string out;
  const std::string cmd = "cd '" + cwd.path() + "' && ZOLMAR_DATA='" + data.path() + "' ZOLMAR='" ZOLMAR_BINARY
                          "' OUT='" + (cwd / "zolmar.out") + "' ASAN_OPTIONS=detect_leaks=0 "
                          // The test runner itself runs offscreen; the program must use the X server.
                          "QT_QPA_PLATFORM=xcb "
                          "timeout 300 xvfb-run -a -s '-screen 0 1024x768x24' bash run.sh 2>&1";
  test::run(cmd, &out);
  EXPECT_NE(out.find("title=[Sistema Zolmar  -  (V.1.07)" + std::string(18, ' ') + "]"), std::string::npos) << out;
  EXPECT_NE(out.find("question=[Seleccione...]"), std::string::npos) << out;
  EXPECT_NE(out.find("rc=0"), std::string::npos) << out << test::readFile(cwd / "zolmar.out");
  for (const char* f : {"maeart.dbf", "maeart.fpt", "entradas.dbf", "salidas.dbf", "maeart.cdx", "entradas.cdx",
                        "salidas.cdx"})
    EXPECT_TRUE(std::filesystem::exists(data / f)) << f;
  EXPECT_FALSE(std::filesystem::exists(cwd / "error.log")) << test::readFile(cwd / "error.log");
}

}  // namespace
}  // namespace zol
