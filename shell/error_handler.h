#pragma once
// The general error handler: every failure no screen handles ends here. A
// few are settled silently; the others write the report file and let the
// user quit, retry or take the default.
#include <functional>
#include <string>
#include <vector>

#include "core/error_event.h"
#include "shell/error_report.h"

namespace zol {

enum class ErrorChoice { Retry, Quit, Default };

// Installs the handler for the whole process.
void installErrorHandler();
// The handler itself: true retries the failing operation, false takes its
// default; Quit does not return.
bool generalErrorHandler(const ErrorEvent& e);

// Retry is only honoured while the main window's event loop runs; before
// (during start-up) a Retry ends the program like Quit.
void setMainLoopRunning(bool running);
bool mainLoopRunning();

// Set when an open or append failed because another process holds the file.
bool sharedUseFailed();
void clearSharedUseFailed();

// Folder of the report file ("./", the current folder) and its name.
void setReportLocation(const std::string& dir, const std::string& file = "error.log");
std::string reportPath();

// How the program ends after Quit, with exit code 1. The program closes its
// tables, releases the resource modules and leaves; a test may watch instead.
void setProgramEnd(std::function<void(int code)> end);

// The error dialog: the message line, the stack list and the buttons the
// event allows; "See error.log file" opens the report in the text editor.
ErrorChoice showErrorDialog(const ErrorEvent& e, const std::vector<StackFrame>& stack,
                            const std::string& reportFile);

}  // namespace zol
