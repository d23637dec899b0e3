#include "shell/startup.h"

#include <QApplication>
#include <QScreen>
#include <sys/resource.h>

#include "shell/error_handler.h"
#include "shell/globals.h"
#include "shell/main_window.h"
#include "shell/meter_runner.h"
#include "shell/screen_registry.h"
#include "store/ZOL2000.h"
#include "ui/get.h"
#include "ui/msg.h"
#include "ui/resources.h"

namespace zol {

namespace {

const char* const kCustomControls = "BWCC32.DLL";

// Raises the fatal event for a settings table that lacks a field start-up needs.
void raiseMissingSetting(const std::string& path, const char* field) {
  ErrorEvent e;
  e.genCode = ErrGen::Fatal;
  e.subsystem = "ZOLMAR";
  e.subCode = 1;
  e.description = std::string("Settings field missing: ") + field;
  e.fileName = path + "numeros.dbf";
  raiseError(e);
}

// Steps 2 and 3: upgrade the settings table when it is short of fields, then
// read its first record.
bool readSettings(WorkAreas& wa, const std::string& path, const StartupUi& ui) {
  wa.closeAll();
  if (!wa.use(path + Tables::Settings)) return false;
  if (wa.cur().fieldCount() < static_cast<int>(settingsStructure().size())) {
    if (ui.info) ui.info("corre numer()", "");
    NUMER(wa, path);
  }
  wa.closeAll();
  if (!wa.use(path + Tables::Settings, "xnumeros")) return false;
  WorkArea& a = wa.cur();
  for (const char* f : {"indexa", "fecindex", "filesxls"}) {
    if (a.fieldPos(f) == 0) {
      wa.closeAll();
      raiseMissingSetting(path, f);
      return false;
    }
  }
  // An empty table leaves the phantom record: blank values.
  XINDEXA = a.get("indexa").text();
  XFECINDEX = a.get("fecindex").date();
  XFILESXLS = a.get("filesxls").text();
  WFILESXLS = exportFolderFromSetting(XFILESXLS);
  wa.closeAll();
  return true;
}

void stampReindex(WorkAreas& wa, const std::string& path, Date today) {
  wa.closeAll();
  if (wa.use(path + Tables::Settings)) {
    WorkArea& a = wa.cur();
    // With no record there is nothing to stamp; the Daily reindex cannot be
    // on in an empty table anyway.
    if (!a.eof()) {
      a.lock();
      a.put("fecindex", Value(today));
      a.commit();
      a.unlock();
    }
  }
  wa.closeAll();
}

}  // namespace

bool dailyReindexDue(const std::string& indexa, Date lastReindex, Date today) {
  return indexa == "S" && lastReindex != today;
}

bool loadSettings(WorkAreas& wa, const std::string& path, const StartupUi& ui) {
  if (!readSettings(wa, path, ui)) return false;
  wa.hideDeleted = true;
  setConfirm(true);
  return true;
}

void checkData(WorkAreas& wa, const std::string& path, const StartupUi& ui, Date today) {
  ZOL_ARC(wa, path, ui.notice);
  wa.closeAll();
  TaskRunner* meters = ui.meters;
  if (dailyReindexDue(XINDEXA, XFECINDEX, today)) {
    if (ui.info) ui.info("Reordenamiento de Archivos Diario...", "!!!");
    // Stamped first: a cancelled or failed reindex still counts for the day.
    stampReindex(wa, path, today);
    if (meters) ZOL2000(wa, path, *meters);
    SysRefresh();
  }
  // After the Daily reindex the files exist, so this never runs a second one.
  if (meters && indexFileMissing(wa, path)) ZOL2000(wa, path, *meters);
}

bool prepareData(WorkAreas& wa, const std::string& path, const StartupUi& ui, Date today) {
  if (!loadSettings(wa, path, ui)) return false;
  checkData(wa, path, ui, today);
  return true;
}

StartupUi guiStartupUi(TaskRunner& meters) {
  StartupUi ui;
  ui.info = [](const std::string& text, const std::string& title) {
    if (title.empty())
      MsgInfo(text);
    else
      MsgInfo(text, title);
  };
  ui.meters = &meters;
  ui.notice = [](const std::string& text) { MsgRun(QString::fromStdString(text)); };
  return ui;
}

int loadResourceModules() {
  int handle = Resources::loadCustomControls(kCustomControls);
  Resources::use("PREV32SP.DLL");
  Resources::use("ZOL0000.DLL");
  if (handle > 0) {
    Resources::registerCustomControls();
  } else {
    // Name the file actually looked for: the modules are .rcc files here.
    MsgAlert(QString("Error code: %1 loading %2").arg(handle).arg("BWCC32.rcc"));
  }
  return handle;
}

int runProgram(QApplication& app) {
  initGlobals();
  WorkAreas& wa = workAreas();
  const std::string path = WPATH;
  MeterRunner meters;
  const StartupUi ui = guiStartupUi(meters);

  if (!loadSettings(wa, path, ui)) return 1;
  const int controls = loadResourceModules();
  // Plenty of tables and index files may be open at once.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 90 && files.rlim_max >= 90) {
    files.rlim_cur = 90;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  checkData(wa, path, ui, Date::today());

  registerScreens();
  int code = 0;
  {
    MainWindow window;
    // Without a window manager "maximised" means nothing; fill the screen anyway.
    if (QScreen* screen = QGuiApplication::primaryScreen()) window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    setMainLoopRunning(true);
    code = app.exec();
    setMainLoopRunning(false);
  }
  Resources::unloadCustomControls(controls);
  wa.closeAll();
  Resources::releaseAll();
  return code;
}

}  // namespace zol
