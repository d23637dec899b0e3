#include "shell/meter_runner.h"

#include "ui/progress.h"

namespace zol {

namespace {
class ProgressBridge : public TaskProgress {
 public:
  explicit ProgressBridge(Progress& p) : p_(p) {}
  void setTotal(uint32_t total) override { p_.setTotal(total); }
  void setPosition(uint32_t position) override { p_.setPosition(position); }
  bool cancelled() const override { return p_.cancelled(); }

 private:
  Progress& p_;
};
}  // namespace

void MeterRunner::run(const std::string& text, const std::string& title,
                      const std::function<void(TaskProgress&)>& task) {
  runWithMeter(
      [&task](Progress& p) {
        ProgressBridge bridge(p);
        if (task) task(bridge);
      },
      QString::fromStdString(text), QString::fromStdString(title));
}

}  // namespace zol
