#include "shell/gradient.h"

#include <algorithm>

namespace zol {

std::vector<GradientBand> gradientBands(int height, int64_t colourValue, int bandHeight) {
  std::vector<GradientBand> bands;
  if (height <= 0 || bandHeight <= 0) return bands;
  // Only the low 32 bits count, as a colour: red low, then green, then blue.
  const auto low = static_cast<uint32_t>(static_cast<uint64_t>(colourValue) & 0xFFFFFFFFu);
  int r = low & 0xFF, g = (low >> 8) & 0xFF, b = (low >> 16) & 0xFF;
  const int count = height / bandHeight;
  bands.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    bands.push_back({i * bandHeight, RGB(r, g, b)});
    r = std::max(r - 1, 0);
    g = std::max(g - 1, 0);
    b = std::max(b - 1, 0);
  }
  return bands;
}

}  // namespace zol
