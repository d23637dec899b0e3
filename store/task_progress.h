#pragma once
// How long engine jobs (tag builds) show progress without knowing who shows
// it: the GUI runs them inside its meter box, the command-line tools draw a
// text bar, tests just record.
#include <cstdint>
#include <functional>
#include <string>

namespace zol {

class TaskProgress {
 public:
  virtual ~TaskProgress() = default;
  virtual void setTotal(uint32_t total) = 0;
  // Moves the meter; also lets pending window events run so Cancel works.
  virtual void setPosition(uint32_t position) = 0;
  // The user asked to stop the job.
  virtual bool cancelled() const = 0;
};

class TaskRunner {
 public:
  virtual ~TaskRunner() = default;
  // Shows a meter with `text` and `title` (UTF-8) while `task` runs.
  virtual void run(const std::string& text, const std::string& title,
                   const std::function<void(TaskProgress&)>& task) = 0;
};

}  // namespace zol
