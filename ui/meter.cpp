#include "ui/meter.h"

#include <QCoreApplication>
#include <algorithm>

namespace zol {

TMeter::TMeter(TDialog& dialog, int id, QProgressBar* bar, double total) : TControlT(dialog, id, bar) {
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setTextVisible(true);
  bar->setFormat("%p%");
  setTotal(total);
}

void TMeter::setTotal(double total) {
  total_ = total;
  set(position_);
}

int TMeter::percent() const {
  if (total_ <= 0) return 0;
  return static_cast<int>(position_ * 100.0 / total_);
}

void TMeter::set(double position) {
  position_ = std::clamp(position, 0.0, std::max(0.0, total_));
  auto* bar = static_cast<QProgressBar*>(widget());
  if (!bar) return;
  const int p = percent();
  bar->setValue(p);
  if (p >= 1) {
    bar->repaint();
    QCoreApplication::processEvents();
  }
}

}  // namespace zol
