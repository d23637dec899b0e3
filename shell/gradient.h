#pragma once
// The main window's background: 3-pixel bands from a start colour, each band
// one step darker per channel (never below 0). Rows below the last whole band
// keep the client area's background colour.
#include <cstdint>
#include <vector>

#include "core/colour.h"

namespace zol {

// The colour value the main window paints with: red 129, green 154, blue 185
// in its low 32 bits.
constexpr int64_t kMainGradientColour = 73647364737LL;
constexpr int kGradientBand = 3;

struct GradientBand {
  int top;  // first row of the band
  Colour colour;
};

// The whole bands of a client area `height` pixels high.
std::vector<GradientBand> gradientBands(int height, int64_t colourValue, int bandHeight = kGradientBand);

}  // namespace zol
