#pragma once
// Numbers as fixed-width decimal text, the way tables and listings show them.
#include <string>
#include <string_view>

namespace zol {

// Rounds half away from zero to `decimals` places, on the value's shortest
// decimal form (so 1.005 rounds to 1.01 as a shop owner expects).
double roundHalfAway(double value, int decimals);

// The value with exactly `decimals` decimals, "." as point, "-" before the
// first digit of a negative value, no padding. Negative zero prints as zero.
std::string plainDecimal(double value, int decimals);

// Right-aligned in `width`, rounded to `decimals`; `width` asterisks when the
// text does not fit. Width 0 or less gives an empty text.
std::string str(double value, int width, int decimals = 0);

// Reads a stored numeric field: blanks read 0; leading/trailing blanks are
// ignored. Returns false (value 0) when the text holds anything else than an
// optional sign, digits and one decimal point.
bool parseNumber(std::string_view text, double& value);

}  // namespace zol
