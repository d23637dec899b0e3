#include "store/key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "cdx_test_support.h"

namespace zol {
namespace {

using test::hex;
using test::numKey;

TEST(NumberKey, EncodingsOfKnownValues) {
  struct Case {
    double v;
    const char* bytes;
  } cases[] = {
      {0.0, "8000000000000000"},
      {-0.0, "8000000000000000"},  // -0 is +0
      {1.0, "BFF0000000000000"},
      {12.0, "C028000000000000"},
      {-1.0, "400FFFFFFFFFFFFF"},
      {0.5, "BFE0000000000000"},
  };
  for (const Case& c : cases) EXPECT_EQ(hex(numKey(c.v)), c.bytes) << c.v;
}

TEST(NumberKey, ByteOrderIsNumericOrder) {
  std::vector<double> values{-1e300, -123456.78, -12, -1, -0.5, -1e-300, 0, 1e-300, 0.5, 1, 12, 999999, 1e300};
  for (size_t i = 0; i + 1 < values.size(); ++i)
    EXPECT_LT(compareKeys(numKey(values[i]), numKey(values[i + 1])), 0) << values[i] << " vs " << values[i + 1];
  // The order the article tag relies on.
  EXPECT_LT(compareKeys(numKey(-1), numKey(0)), 0);
  EXPECT_LT(compareKeys(numKey(0), numKey(0.5)), 0);
  EXPECT_LT(compareKeys(numKey(0.5), numKey(12)), 0);
}

TEST(NumberKey, DecodesWhatItEncodes) {
  for (double v : {0.0, 1.0, -1.0, 0.5, 12.0, -123456.78, 1e300, -1e-300, 999999.0}) {
    std::string k = numKey(v);
    EXPECT_EQ(decodeNumberKey(reinterpret_cast<const uint8_t*>(k.data())), v);
  }
}

TEST(DateKey, EmptyDateSortsFirstAndDaysInOrder) {
  auto dk = [](Date d) {
    uint8_t b[8];
    encodeDateKey(d, b);
    return std::string(reinterpret_cast<const char*>(b), 8);
  };
  std::string empty = dk(Date());
  EXPECT_EQ(empty, numKey(0));
  Date a = Date::fromYmd(1970, 1, 1), b = Date::fromYmd(2024, 3, 5), c = Date::fromYmd(2024, 3, 6);
  EXPECT_LT(compareKeys(empty, dk(a)), 0);
  EXPECT_LT(compareKeys(dk(a), dk(b)), 0);
  EXPECT_LT(compareKeys(dk(b), dk(c)), 0);
  EXPECT_EQ(dk(b), numKey(b.dayNumber()));
  EXPECT_EQ(decodeDateKey(reinterpret_cast<const uint8_t*>(dk(b).data())), b);
  EXPECT_TRUE(decodeDateKey(reinterpret_cast<const uint8_t*>(empty.data())).isEmpty());
}

TEST(CharacterKey, UnsignedBytesAndTrailingBlanks) {
  // Bytes above 0x7F sort after ASCII: no collation, no sign.
  EXPECT_LT(compareKeys("Z", "\xE1"), 0);
  EXPECT_LT(compareKeys("PERA      ", "PERAL     "), 0);
  EXPECT_LT(compareKeys("PER", "PERA"), 0);  // a prefix sorts first
  EXPECT_EQ(compareKeys("AB  ", "AB  "), 0);
  // A control byte below the blank sorts before a padded shorter value.
  EXPECT_LT(compareKeys("AB\x01 ", "AB  "), 0);
}

TEST(BuildKey, PadsCutsAndRefusesOtherKinds) {
  std::string k;
  ASSERT_TRUE(buildKey(Value("PERA"), KeyType::Character, 6, k));
  EXPECT_EQ(k, "PERA  ");
  ASSERT_TRUE(buildKey(Value("MANZANAS"), KeyType::Character, 6, k));
  EXPECT_EQ(k, "MANZAN");
  ASSERT_TRUE(buildKey(Value(12.0), KeyType::Numeric, 8, k));
  EXPECT_EQ(k, numKey(12));
  ASSERT_TRUE(buildKey(Value(true), KeyType::Logical, 1, k));
  EXPECT_EQ(k, "T");
  ASSERT_TRUE(buildKey(Value(Date()), KeyType::Date, 8, k));
  EXPECT_EQ(k, numKey(0));
  EXPECT_FALSE(buildKey(Value(12.0), KeyType::Character, 6, k));
  EXPECT_FALSE(buildKey(Value("12"), KeyType::Numeric, 8, k));
  EXPECT_FALSE(buildKey(Value(), KeyType::Date, 8, k));
}

TEST(SeekKey, TextStaysUnpaddedOthersEncode) {
  EXPECT_EQ(seekKey(Value("PER")), "PER");
  EXPECT_EQ(seekKey(Value(12)), numKey(12));
  EXPECT_EQ(seekKey(Value(Date::fromYmd(2024, 3, 5))), numKey(Date::fromYmd(2024, 3, 5).dayNumber()));
  EXPECT_EQ(seekKey(Value(false)), "F");
  EXPECT_EQ(seekKey(Value()), "");
}

TEST(DescribeKey, ReadableForms) {
  EXPECT_EQ(describeKey(numKey(12.5), KeyType::Numeric), "12.5");
  EXPECT_EQ(describeKey(numKey(-3), KeyType::Numeric), "-3");
  EXPECT_EQ(describeKey(numKey(Date::fromYmd(2024, 3, 5).dayNumber()), KeyType::Date), "20240305");
  EXPECT_EQ(describeKey("PERA  ", KeyType::Character), "PERA  ");
}

}  // namespace
}  // namespace zol
