#pragma once
// The product's colours (red in the low byte) as Qt colours.
#include <QColor>

#include "core/colour.h"

namespace zol {

inline QColor toQColor(Colour c) { return QColor(c.red(), c.green(), c.blue()); }

}  // namespace zol
