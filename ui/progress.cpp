#include "ui/progress.h"

#include "ui/meter.h"
#include "ui/msg.h"

namespace zol {

void MeterProgress::setTotal(double total) { meter_.setTotal(total); }

void MeterProgress::setPosition(double position) {
  meter_.set(position);
  SysRefresh();
}

bool runWithMeter(const std::function<void(Progress&)>& job, const QString& text, const QString& title) {
  return MsgMeter(
      [&job](TMeter& meter, TSay&, TDialog&, bool& end, TButton&) {
        MeterProgress progress(meter, end);
        if (job) job(progress);
      },
      text, title);
}

}  // namespace zol
