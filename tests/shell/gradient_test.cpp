// The main window's background bands.
#include <gtest/gtest.h>

#include "shell/gradient.h"

namespace zol {
namespace {

TEST(Gradient, StartColourComesFromTheLow32BitsOfTheValue) {
  auto bands = gradientBands(3, kMainGradientColour);
  ASSERT_EQ(bands.size(), 1u);
  EXPECT_EQ(bands[0].colour, RGB(129, 154, 185));
  // Bits above the low 32 make no difference.
  EXPECT_EQ(gradientBands(3, kMainGradientColour + (int64_t{7} << 40))[0].colour, RGB(129, 154, 185));
}

TEST(Gradient, SixHundredRowsGiveTwoHundredBandsEndingInBlack) {
  auto bands = gradientBands(600, kMainGradientColour);
  ASSERT_EQ(bands.size(), 200u);
  // Bands counted from 1: each channel reaches 0 at its own band and stays there.
  struct Case { int band; Colour colour; } cases[] = {
      {1, RGB(129, 154, 185)}, {2, RGB(128, 153, 184)}, {129, RGB(1, 26, 57)},
      {130, RGB(0, 25, 56)},   {155, RGB(0, 0, 31)},    {185, RGB(0, 0, 1)},
      {186, RGB(0, 0, 0)},     {200, RGB(0, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.band);
    EXPECT_EQ(bands[static_cast<size_t>(c.band - 1)].colour, c.colour);
    EXPECT_EQ(bands[static_cast<size_t>(c.band - 1)].top, (c.band - 1) * 3);
  }
  int black = 0;
  for (const auto& b : bands) black += b.colour == RGB(0, 0, 0);
  EXPECT_EQ(black, 15);
}

TEST(Gradient, RowsBelowTheLastWholeBandAreLeftAlone) {
  struct Case { int height; size_t bands; } cases[] = {{100, 33}, {99, 33}, {2, 0}, {0, 0}, {-5, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.height);
    auto bands = gradientBands(c.height, kMainGradientColour);
    ASSERT_EQ(bands.size(), c.bands);
    // The last band of 100 rows covers rows 96..98; row 99 keeps the background.
    if (!bands.empty()) EXPECT_LE(bands.back().top + kGradientBand, c.height);
  }
  EXPECT_EQ(gradientBands(100, kMainGradientColour).back().top, 96);
}

}  // namespace
}  // namespace zol
