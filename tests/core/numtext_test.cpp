#include "core/numtext.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/safe_div.h"

namespace zol {
namespace {

TEST(NumText, StrTable) {
  struct Case { double v; int w, d; const char* out; };
  const Case cases[] = {
      {12.5, 9, 2, "    12.50"},
      {-3, 9, 2, "    -3.00"},
      {0, 9, 2, "     0.00"},
      {-0.0, 9, 2, "     0.00"},
      {1234567.891, 9, 2, "*********"},
      {999999.99, 9, 2, "999999.99"},
      {-99999.99, 9, 2, "-99999.99"},
      {-999999.99, 9, 2, "*********"},
      {0.005, 9, 2, "     0.01"},
      {1.005, 9, 2, "     1.01"},
      {2.675, 9, 2, "     2.68"},
      {-1.005, 9, 2, "    -1.01"},
      {-0.004, 9, 2, "     0.00"},
      {999.995, 9, 2, "  1000.00"},
      {12, 6, 0, "    12"},
      {12.5, 6, 0, "    13"},
      {-12.5, 6, 0, "   -13"},
      {1234567, 6, 0, "******"},
      {0.5, 1, 0, "1"},
      {123.456, 10, 2, "    123.46"},
      {1e300, 10, 2, "**********"},
      {0.1 + 0.2, 5, 1, "  0.3"},
  };
  for (const Case& c : cases) EXPECT_EQ(str(c.v, c.w, c.d), c.out) << c.v << " " << c.w << "," << c.d;
}

TEST(NumText, PlainDecimal) {
  EXPECT_EQ(plainDecimal(12.5, 2), "12.50");
  EXPECT_EQ(plainDecimal(-0.0, 2), "0.00");
  EXPECT_EQ(plainDecimal(7, 0), "7");
  EXPECT_EQ(plainDecimal(1.0 / 3, 4), "0.3333");
  EXPECT_DOUBLE_EQ(roundHalfAway(2.345, 2), 2.35);
  EXPECT_DOUBLE_EQ(roundHalfAway(-2.345, 2), -2.35);
}

TEST(NumText, ParseNumber) {
  struct Case { const char* in; bool ok; double v; };
  const Case cases[] = {
      {"    12.50", true, 12.5}, {"    -3.00", true, -3}, {"         ", true, 0}, {"", true, 0},
      {"0", true, 0},          {"-0.00", true, 0},       {"  1e5", false, 0},  {"*********", false, 0},
      {"12a", false, 0},       {"1.2.3", false, 0},      {"- 5", true, -5},    {".5", true, 0.5},
      {"123456789012.34", true, 123456789012.34},
  };
  for (const Case& c : cases) {
    double v = -1;
    EXPECT_EQ(parseNumber(c.in, v), c.ok) << c.in;
    EXPECT_DOUBLE_EQ(v, c.v) << c.in;
    EXPECT_FALSE(std::signbit(v) && v == 0) << c.in;
  }
  // The fast path must agree with strtod for every two-decimal value.
  for (int i = -100000; i <= 100000; i += 7) {
    std::string t = plainDecimal(i / 100.0, 2);
    double v;
    ASSERT_TRUE(parseNumber(t, v));
    EXPECT_EQ(v, std::strtod(t.c_str(), nullptr)) << t;
  }
}

TEST(NumText, SafeDivYieldsZero) {
  EXPECT_EQ(safeDiv(5, 0), 0.0);
  EXPECT_EQ(safeDiv(5, 2), 2.5);
}

}  // namespace
}  // namespace zol
