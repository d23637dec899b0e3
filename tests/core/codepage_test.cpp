#include "core/codepage.h"

#include <gtest/gtest.h>

namespace zol {
namespace {

TEST(CodePage, Cp1252RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(CodePage, SpanishLettersAndEuro) {
  EXPECT_EQ(cp1252ToUtf8("\xD1" "and\xFA"), "Ñandú");
  EXPECT_EQ(utf8ToCp1252("Ñandú €"), "\xD1" "and\xFA \x80");
  EXPECT_EQ(utf8ToCp1252("日本"), "??");
  // Broken UTF-8 must not read past the end or swallow the next character.
  EXPECT_EQ(utf8ToCp1252(std::string("a\xC3", 2)), "a?");
  EXPECT_EQ(utf8ToCp1252("\xC3" "b"), "?b");
}

TEST(CodePage, Dos850ToWindows) {
  // 850: 0xA4 = ñ, 0xA5 = Ñ, 0x82 = é, 0xA0 = á; box drawing has no 1252 sign.
  EXPECT_EQ(cp850ToCp1252("\xA5" "ANDU \xA4" "\x82\xA0"), "\xD1" "ANDU \xF1\xE9\xE1");
  EXPECT_EQ(cp850ToCp1252("\xC9"), "?");
  EXPECT_EQ(cp850ToCp1252("plain"), "plain");
}

}  // namespace
}  // namespace zol
