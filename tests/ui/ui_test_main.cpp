// Test main for the GUI tests: an offscreen Qt application with the product's
// resource modules loaded the way start-up loads them.
#include <QApplication>
#include <cstdlib>

#include <gtest/gtest.h>

#include "ui/resources.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  zol::Resources::loadCustomControls("BWCC32.DLL");
  zol::Resources::use("PREV32SP.DLL");
  zol::Resources::use("ZOL0000.DLL");
  zol::Resources::registerCustomControls();
  return RUN_ALL_TESTS();
}
