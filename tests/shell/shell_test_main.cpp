// Test main for the shell: an offscreen Qt application with the resource
// modules loaded as start-up loads them.
#include <QApplication>
#include <cstdlib>

#include <gtest/gtest.h>

#include "shell/globals.h"
#include "ui/resources.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  // Death tests run in a fresh copy of this program, which keeps Qt sane.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  zol::initGlobals();
  zol::Resources::loadCustomControls("BWCC32.DLL");
  zol::Resources::use("PREV32SP.DLL");
  zol::Resources::use("ZOL0000.DLL");
  zol::Resources::registerCustomControls();
  return RUN_ALL_TESTS();
}
