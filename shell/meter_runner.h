#pragma once
// Runs the engine's long jobs (tag builds) inside the GUI's meter box.
#include "store/task_progress.h"

namespace zol {

class MeterRunner : public TaskRunner {
 public:
  void run(const std::string& text, const std::string& title,
           const std::function<void(TaskProgress&)>& task) override;
};

}  // namespace zol
