#pragma once
// What a long job (a tag build of the reindex) reports to whoever shows its
// progress, and the meter box that shows it. The job sets a total, then
// positions, and asks whether the user cancelled.
#include <QString>
#include <functional>

namespace zol {

class TMeter;

class Progress {
 public:
  virtual ~Progress() = default;
  virtual void setTotal(double total) = 0;
  // Also lets pending window events run, so Cancel can be pressed.
  virtual void setPosition(double position) = 0;
  virtual bool cancelled() const = 0;
};

// Progress shown on a meter, cancelled through the meter box's end flag.
class MeterProgress : public Progress {
 public:
  MeterProgress(TMeter& meter, bool& end) : meter_(meter), end_(end) {}
  void setTotal(double total) override;
  void setPosition(double position) override;
  bool cancelled() const override { return end_; }

 private:
  TMeter& meter_;
  bool& end_;
};

// Runs `job` inside MsgMeter with the text and title; true when cancelled.
bool runWithMeter(const std::function<void(Progress&)>& job, const QString& text, const QString& title);

}  // namespace zol
