#pragma once
// Start-up of the program, in its fixed order, and shutdown.
#include <functional>
#include <string>

#include "core/date.h"
#include "store/data_tables.h"
#include "store/task_progress.h"

class QApplication;

namespace zol {

// What start-up shows the user; the program wires the GUI's boxes in, tests
// record.
struct StartupUi {
  // An information box that waits until the user closes it.
  std::function<void(const std::string& text, const std::string& title)> info;
  // Meters of the reindex.
  TaskRunner* meters = nullptr;
  // The table upgrade's one-second notice.
  WaitNotice notice;
};

// The Daily reindex is due when it is switched on ("S", upper case only) and
// the last one is not dated today.
bool dailyReindexDue(const std::string& indexa, Date lastReindex, Date today);

// Settings upgrade and reading, then the engine settings. False when the
// settings table could not be read (the error was raised already).
bool loadSettings(WorkAreas& wa, const std::string& path, const StartupUi& ui);
// The structure check, the Daily reindex (stamp first) and the rebuild of
// missing index files.
void checkData(WorkAreas& wa, const std::string& path, const StartupUi& ui, Date today);

// Both steps on the data folder: the settings upgrade and reading, the structure
// check, the Daily reindex (stamp first) and the rebuild of missing index
// files. Fills the settings globals. False when the settings table could not
// be read (the error was raised already): the program cannot go on.
bool prepareData(WorkAreas& wa, const std::string& path, const StartupUi& ui, Date today = Date::today());

// The whole program: start-up, the main window and its event loop, shutdown.
// Returns the exit code.
int runProgram(QApplication& app);

// The boxes of the GUI for start-up.
StartupUi guiStartupUi(TaskRunner& meters);

// Resource module loading of start-up; returns the custom-control handle
// (0 after the alert for a missing module).
int loadResourceModules();

}  // namespace zol
