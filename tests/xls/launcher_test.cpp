// The launcher that opens finished sheets. Real starts run stand-in programs
// found on a private PATH, so nothing of the desktop is touched.
#include "core/launcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace zol {
namespace {

namespace fs = std::filesystem;

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zol-launch-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    const char* path = std::getenv("PATH");
    oldPath_ = path ? path : "";
    ::setenv("PATH", dir_.c_str(), 1);
    ::setenv("ZOL_LAUNCH_MARK", (dir_ / "mark").c_str(), 1);
  }
  void TearDown() override {
    ::setenv("PATH", oldPath_.c_str(), 1);
    ::unsetenv("ZOL_LAUNCH_MARK");
    Launcher::instance().setRecording(false);
    Launcher::instance().clearRequests();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // A stand-in program that writes its name and arguments to the mark file.
  void fakeProgram(const std::string& name) {
    fs::path p = dir_ / name;
    std::ofstream(p) << "#!/bin/sh\nprintf '%s|' \"" << name << "\" \"$@\" > \"$ZOL_LAUNCH_MARK.tmp\"\n"
                     << "/bin/mv \"$ZOL_LAUNCH_MARK.tmp\" \"$ZOL_LAUNCH_MARK\"\n";
    fs::permissions(p, fs::perms::owner_all);
  }
  // The mark the started program left, waiting for it a little.
  std::string mark() {
    for (int i = 0; i < 500; ++i) {
      std::ifstream in(dir_ / "mark");
      if (in) return std::string(std::istreambuf_iterator<char>(in), {});
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "<nothing started>";
  }
  fs::path dir_;
  std::string oldPath_;
};

TEST_F(LauncherTest, OpensDocumentsWithTheDesktopOpener) {
  fakeProgram("xdg-open");
  EXPECT_TRUE(Launcher::instance().openDocument("/some/dir/ZOL ALF.XLS"));
  EXPECT_EQ(mark(), "xdg-open|/some/dir/ZOL ALF.XLS|");
}

// The opener here waits for a go-ahead that the test gives only after
// openDocument returned; a launcher that waited would see the mark first.
TEST_F(LauncherTest, NeverWaitsForTheStartedProgram) {
  fs::path p = dir_ / "xdg-open";
  std::ofstream(p) << "#!/bin/sh\ni=0\n"
                   << "while [ ! -e \"$ZOL_LAUNCH_MARK.go\" ] && [ $i -lt 1000 ]; do /bin/sleep 0.01; i=$((i+1)); done\n"
                   << "printf done > \"$ZOL_LAUNCH_MARK.tmp\"; /bin/mv \"$ZOL_LAUNCH_MARK.tmp\" \"$ZOL_LAUNCH_MARK\"\n";
  fs::permissions(p, fs::perms::owner_all);
  EXPECT_TRUE(Launcher::instance().openDocument("a.xls"));
  EXPECT_FALSE(fs::exists(dir_ / "mark")) << "the launcher waited for the program";
  std::ofstream(dir_ / "mark.go") << "go";
  EXPECT_EQ(mark(), "done");
}

TEST_F(LauncherTest, NameStartingWithDashIsNotTakenForAnOption) {
  fakeProgram("xdg-open");
  EXPECT_TRUE(Launcher::instance().openDocument("-x.xls"));
  EXPECT_EQ(mark(), "xdg-open|./-x.xls|");
}

TEST_F(LauncherTest, HelperProgramsAreTheFirstInstalledOne) {
  fakeProgram("xcalc");
  fakeProgram("mousepad");
  fakeProgram("leafpad");
  EXPECT_TRUE(Launcher::instance().startCalculator());
  EXPECT_EQ(mark(), "xcalc|");
  fs::remove(dir_ / "mark");
  EXPECT_TRUE(Launcher::instance().startTextEditor("error.log"));
  EXPECT_EQ(mark(), "mousepad|error.log|");
}

TEST_F(LauncherTest, NothingInstalledIsReported) {
  EXPECT_FALSE(Launcher::instance().openDocument("a.xls"));
  EXPECT_FALSE(Launcher::instance().startCalculator());
  EXPECT_FALSE(Launcher::instance().startTextEditor("a.txt"));
}

TEST_F(LauncherTest, RecordingStartsNothing) {
  fakeProgram("xdg-open");
  fakeProgram("xcalc");
  Launcher& l = Launcher::instance();
  l.setRecording(true);
  EXPECT_TRUE(l.openDocument("a.xls"));
  EXPECT_TRUE(l.startCalculator());
  EXPECT_TRUE(l.startTextEditor("error.log"));
  using K = LaunchRequest::Kind;
  std::vector<LaunchRequest> expected = {{K::Document, "a.xls"}, {K::Calculator, ""}, {K::TextEditor, "error.log"}};
  EXPECT_EQ(l.requests(), expected);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(fs::exists(dir_ / "mark"));
}

}  // namespace
}  // namespace zol
