// Test main for the screens: an offscreen Qt application with the fonts and
// resource modules the main window would have set up.
#include <QApplication>
#include <cstdlib>

#include <gtest/gtest.h>

#include "shell/globals.h"
#include "ui/resources.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  zol::initGlobals();
  zol::createFonts();
  zol::Resources::loadCustomControls("BWCC32.DLL");
  zol::Resources::use("PREV32SP.DLL");
  zol::Resources::use("ZOL0000.DLL");
  zol::Resources::registerCustomControls();
  return RUN_ALL_TESTS();
}
