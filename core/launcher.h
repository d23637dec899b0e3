#pragma once
// Hands documents and helper programs to the desktop: spreadsheets and PDFs go
// to the desktop's default application, and the calculator and text editor are
// the first of a few common programs that is installed. Nothing here waits for
// the started program. Tests switch on recording so nothing is started.
#include <string>
#include <vector>

namespace zol {

struct LaunchRequest {
  enum class Kind { Document, Calculator, TextEditor };
  Kind kind;
  std::string path;  // the document or file; empty for the calculator
  friend bool operator==(const LaunchRequest&, const LaunchRequest&) = default;
};

class Launcher {
 public:
  // The process-wide launcher.
  static Launcher& instance();

  // Opens the file with the desktop's default application (xdg-open).
  // Returns false when no opener is installed or it could not be started;
  // true means it was started, not that the document opened.
  bool openDocument(const std::string& path);
  bool startCalculator();
  // Opens the file in the first installed text editor.
  bool startTextEditor(const std::string& path);

  // While recording, requests are kept in requests() and answered true
  // instead of starting anything.
  void setRecording(bool on) { recording_ = on; }
  bool recording() const { return recording_; }
  const std::vector<LaunchRequest>& requests() const { return requests_; }
  void clearRequests() { requests_.clear(); }

 private:
  bool start(const std::vector<std::string>& programs, const std::string& path);
  bool recording_ = false;
  std::vector<LaunchRequest> requests_;
};

}  // namespace zol
