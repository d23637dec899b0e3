#pragma once
// The general error report written to "error.log": what happened, where the
// program was, and what the machine and the open tables looked like.
#include <string>
#include <vector>

#include "core/error_event.h"
#include "store/work_area.h"

namespace zol {

// One active routine, innermost first.
struct StackFrame {
  std::string module;   // source file, or the binary when unknown
  std::string routine;  // demangled
  int line = 0;         // 0 when unknown
};

// The current call stack from the caller of the code that asks, up to
// `maxDepth` frames, skipping the `skip` innermost ones.
std::vector<StackFrame> currentStack(int skip = 0, int maxDepth = 73);

// "   Called from: module => routine( line )".
std::string calledFromLine(const StackFrame& f);

// The whole report, lines ended by CR LF, the sections in their fixed order.
std::string errorReport(const ErrorEvent& e, const std::vector<StackFrame>& stack, WorkAreas* areas);

// Writes `text` to `path`, replacing an earlier file; false on failure.
bool writeReport(const std::string& path, const std::string& text);

}  // namespace zol
