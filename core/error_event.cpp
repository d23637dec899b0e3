#include "error_event.h"

#include <cstdio>

namespace zol {

namespace {
ErrorHandler& handlerSlot() {
  static ErrorHandler h;
  return h;
}
}  // namespace

std::string ErrorEvent::messageLine() const {
  std::string s;
  if (osCode == 0)
    s = severity == Severity::Warning ? "Warning " : "Error ";
  else
    s = "(DOS Error " + std::to_string(osCode) + ") ";
  s += subsystem.empty() ? "???" : subsystem;
  s += subCode ? "/" + std::to_string(subCode) : "/???";
  if (!description.empty()) s += "  " + description;
  if (!fileName.empty())
    s += ": " + fileName;
  else if (!operation.empty())
    s += ": " + operation;
  return s;
}

ErrorHandler setErrorHandler(ErrorHandler handler) {
  ErrorHandler old = std::move(handlerSlot());
  handlerSlot() = std::move(handler);
  return old;
}

bool raiseError(const ErrorEvent& e) {
  ErrorHandler& h = handlerSlot();
  if (!h) {
    std::fprintf(stderr, "%s\n", e.messageLine().c_str());
    return false;
  }
  bool retry = h(e);
  return retry && e.canRetry;
}

ErrorRecorder::ErrorRecorder() {
  previous_ = setErrorHandler([this](const ErrorEvent& e) {
    events_.push_back(e);
    return false;
  });
}

ErrorRecorder::~ErrorRecorder() { setErrorHandler(std::move(previous_)); }

}  // namespace zol
