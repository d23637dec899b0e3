// The zolmar program: takes no arguments and reads no configuration file; the
// data folder is $ZOLMAR_DATA or ~/zolva103/.
#include <QApplication>

#include "shell/error_handler.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("zolmar");
  zol::installErrorHandler();
  return zol::runProgram(app);
}
