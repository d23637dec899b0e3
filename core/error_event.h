#pragma once
// Failures nobody handles locally travel as ErrorEvents through one
// process-wide hook. The hook answers Retry (true) or Default (false); a
// handler that chooses Quit ends the process and never returns.
#include <functional>
#include <string>
#include <vector>

namespace zol {

// General error codes shared by every layer.
namespace ErrGen {
constexpr int ZeroDiv = 5;
constexpr int Create = 20;
constexpr int Open = 21;
constexpr int Read = 23;
constexpr int Write = 24;
constexpr int Corruption = 32;
constexpr int DataType = 33;
constexpr int DataWidth = 34;
constexpr int NoOrder = 36;
constexpr int ExclusiveRequired = 37;
constexpr int Readonly = 39;
constexpr int AppendLock = 40;
constexpr int Fatal = 99;  // resource and other unrecoverable failures
}  // namespace ErrGen

enum class Severity { Warning = 1, Error = 2 };

struct ErrorEvent {
  int genCode = 0;
  Severity severity = Severity::Error;
  std::string subsystem;  // raising component, e.g. "DBFCDX"
  int subCode = 0;        // component-specific (the table engine's driver code)
  std::string description;
  std::string fileName;
  std::string operation;
  int osCode = 0;  // 0 when the operating system reported nothing
  std::vector<std::string> args;
  bool canRetry = false;
  bool canDefault = false;

  // "Error DBFCDX/1001  Open error: c:\x.dbf" — the one-line form used in reports.
  std::string messageLine() const;
};

using ErrorHandler = std::function<bool(const ErrorEvent&)>;

// Installs the handler and returns the previous one. An empty handler
// restores the built-in one (print to stderr, take the default).
ErrorHandler setErrorHandler(ErrorHandler handler);

// Raises an event; returns true when the raiser should retry. Only events
// marked canRetry may get true back.
bool raiseError(const ErrorEvent& e);

// While alive, records every raised event and answers Default. Restores the
// previous handler on destruction. Handy for tests and batch tools.
class ErrorRecorder {
 public:
  ErrorRecorder();
  ~ErrorRecorder();
  ErrorRecorder(const ErrorRecorder&) = delete;
  ErrorRecorder& operator=(const ErrorRecorder&) = delete;
  const std::vector<ErrorEvent>& events() const { return events_; }
  bool empty() const { return events_.empty(); }
  const ErrorEvent& last() const { return events_.back(); }
  void clear() { events_.clear(); }

 private:
  std::vector<ErrorEvent> events_;
  ErrorHandler previous_;
};

}  // namespace zol
