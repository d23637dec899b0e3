#pragma once
// Progress meter: a filled bar with the percentage of position over total.
#include <QProgressBar>

#include "ui/control.h"

namespace zol {

class TMeter : public TControlT<TMeter> {
 public:
  TMeter(TDialog& dialog, int id, QProgressBar* bar, double total = 10);

  void setTotal(double total);  // a total of 0 or less shows 0 %
  double total() const { return total_; }
  // Clamps to 0..total. From one percent on, every setting repaints the bar
  // and lets pending events run, so a long loop stays responsive.
  void set(double position);
  double position() const { return position_; }
  int percent() const;

 private:
  double total_ = 10;
  double position_ = 0;
};

}  // namespace zol
