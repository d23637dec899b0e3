#pragma once
// Divisions of computed values: a zero divisor yields 0, silently, the way the
// product has always answered a division by zero (no report, no dialog).

namespace zol {

inline double safeDiv(double dividend, double divisor) {
  return divisor == 0 ? 0.0 : dividend / divisor;
}

}  // namespace zol
