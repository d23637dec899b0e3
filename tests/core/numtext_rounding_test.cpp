// Rounding and reading of stored numbers checked against integer arithmetic
// over whole ranges, so every path inside str()/parseNumber() is held to the
// same answer: half away from zero on the decimal form the user typed.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>

#include "core/numtext.h"

namespace zol {
namespace {

// "-12.34" for -1234 hundredths; zero never gets a sign.
std::string cents(int64_t c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%" PRId64 ".%02" PRId64, c < 0 ? "-" : "", (c < 0 ? -c : c) / 100,
                (c < 0 ? -c : c) % 100);
  return buf;
}

TEST(NumTextRounding, ThousandthsRoundHalfAwayToCents) {
  // k/1000 typed by a user: ties (k ending in 5) round away from zero even
  // though the binary value may sit just below the half.
  for (int64_t k = -1'000'000; k <= 1'000'000; ++k) {
    int64_t a = k < 0 ? -k : k;
    int64_t c = (a + 5) / 10;
    std::string want = cents(k < 0 ? -c : c);
    ASSERT_EQ(plainDecimal(static_cast<double>(k) / 1000.0, 2), want) << k;
  }
}

TEST(NumTextRounding, LargeAmountsKeepEveryCent) {
  for (int64_t c = 99'999'000'000; c <= 100'001'000'000; c += 37) {
    ASSERT_EQ(plainDecimal(static_cast<double>(c) / 100.0, 2), cents(c));
    ASSERT_EQ(plainDecimal(-static_cast<double>(c) / 100.0, 2), cents(-c));
  }
}

TEST(NumTextRounding, StoredTextReadsBackToTheSameDouble) {
  // What a field of width 12 holds, read back: the double nearest the text.
  for (int64_t c = -20'000'000; c <= 20'000'000; c += 97) {
    std::string field = str(static_cast<double>(c) / 100.0, 12, 2);
    double v = -1;
    ASSERT_TRUE(parseNumber(field, v)) << field;
    ASSERT_EQ(v, std::strtod(field.c_str(), nullptr)) << field;
  }
}

TEST(NumTextRounding, OddShapesOfStoredNumbers) {
  struct Case { std::string in; bool ok; double v; };
  const Case cases[] = {
      {"+1", true, 1},      {"+", false, 0},        {"-", false, 0},        {".", false, 0},
      {"-.", false, 0},     {"5.", true, 5},        {" 1 2", false, 0},     {"12-", false, 0},
      {"- ", false, 0},     {"-- 1", false, 0},     {"\t1", false, 0},      {"99999999.999", true, 99999999.999},
      {std::string("  12\0\0", 6), true, 12},       {std::string("\0\0-7.5", 6), true, -7.5},
      {"0000000000000000001.5", true, 1.5},         {"1234567890123456789", true, 1234567890123456789.0},
  };
  for (const Case& c : cases) {
    double v = -1;
    EXPECT_EQ(parseNumber(c.in, v), c.ok) << c.in;
    EXPECT_EQ(v, c.v) << c.in;
  }
}

}  // namespace
}  // namespace zol
