#include "store/expr.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "cdx_test_support.h"

namespace zol {
namespace {

using test::MemTable;

std::string keyOf(MemTable& t, const std::string& text, uint32_t recno) {
  std::string err;
  auto e = KeyExpr::compile(text, t, &err);
  EXPECT_TRUE(e) << err;
  if (!e) return "";
  t.goTo(recno);
  Value v = e->evaluate(t);
  EXPECT_TRUE(v.isText());
  return v.text();
}

TEST(KeyExpr, MovementKeysForArticle12On5March2024) {
  MemTable t = test::movementTable();
  t.add({Value(Date::fromYmd(2024, 3, 5)), Value(12), Value(1.0), Value("X")});
  t.add({Value(Date()), Value(12), Value(1.0), Value("X")});
  EXPECT_EQ(keyOf(t, "dtos(fecha)+str(articulo,6)", 1), "20240305    12");
  EXPECT_EQ(keyOf(t, "str(articulo,6)+dtos(fecha)", 1), "    1220240305");
  // An empty date gives eight blanks, which sort before every dated movement.
  std::string undated = keyOf(t, "str(articulo,6)+dtos(fecha)", 2);
  EXPECT_EQ(undated, "    12        ");
  EXPECT_LT(compareKeys(undated, "    1219700101"), 0);
}

TEST(KeyExpr, DescendOfStrRanksTotalsAsTheListingExpects) {
  MemTable t({{"CAN_SAL", 'N', 12, 2}});
  std::vector<double> totals{3.0, 10.0, -5.0, 1000.0, 999.0};
  for (double v : totals) t.add({Value(v)});
  auto e = KeyExpr::compile("descend(str(can_sal,10,2))", t);
  ASSERT_TRUE(e);
  std::vector<std::pair<std::string, double>> keyed;
  for (uint32_t r = 1; r <= totals.size(); ++r) {
    t.goTo(r);
    keyed.emplace_back(e->evaluate(t).text(), totals[r - 1]);
  }
  std::sort(keyed.begin(), keyed.end());
  std::vector<double> order;
  for (auto& k : keyed) order.push_back(k.second);
  // Largest first; a negative total ranks by its text, between 10.00 and 3.00.
  EXPECT_EQ(order, (std::vector<double>{1000.0, 999.0, 10.0, -5.0, 3.0}));
}

TEST(KeyExpr, DescendMapsEachByteTo256Minus) {
  MemTable t({{"X", 'C', 3}});
  t.add({Value(std::string("A \0", 3))});
  EXPECT_EQ(keyOf(t, "descend(x)", 1), std::string("\xBF\xE0\0", 3));
}

TEST(KeyExpr, FieldNamesIgnoreCaseAndFunctionsToo) {
  MemTable t = test::movementTable();
  t.add({Value(Date::fromYmd(2024, 3, 5)), Value(7), Value(1.5), Value("ab")});
  EXPECT_EQ(keyOf(t, "DTOS(Fecha) + STR( ArTiCuLo , 6 )", 1), "20240305     7");
  EXPECT_EQ(keyOf(t, "upper(texto)", 1).substr(0, 3), "AB ");
  EXPECT_EQ(keyOf(t, "str(cantidad)", 1), "         2");  // width 10, no decimals, rounded half away
  EXPECT_EQ(keyOf(t, "str(cantidad,8,3)", 1), "   1.500");
}

TEST(KeyExpr, StrThatDoesNotFitGivesAsterisks) {
  MemTable t({{"N", 'N', 10, 2}});
  t.add({Value(1234567.891)});
  EXPECT_EQ(keyOf(t, "str(n,9,2)", 1), "*********");
}

TEST(KeyExpr, ArithmeticOnNumbersAndDates) {
  MemTable t = test::movementTable();
  t.add({Value(Date::fromYmd(2024, 3, 5)), Value(7), Value(1.5), Value("")});
  t.goTo(1);
  auto e = KeyExpr::compile("articulo + cantidad - 0.5", t);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->evaluate(t), Value(8.0));
  e = KeyExpr::compile("fecha + 1", t);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->evaluate(t), Value(Date::fromYmd(2024, 3, 6)));
  e = KeyExpr::compile("-articulo", t);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->evaluate(t), Value(-7.0));
}

TEST(KeyExpr, CompileErrorsAreDescribedNotRaised) {
  MemTable t = test::movementTable();
  ErrorRecorder rec;
  struct Case {
    const char* text;
    const char* why;
  } cases[] = {
      {"nombre", "unknown field nombre"},
      {"lower(texto)", "unknown function lower()"},
      {"dtos(fecha", "missing , or ) in dtos()"},
      {"str()", "wrong argument count for str()"},
      {"texto +", "expression ends too soon"},
      {"texto texto", "unexpected text at position 7"},
      {"'abc", "unterminated text"},
      {"articulo*1", "unexpected text at position 9"},
      {"", "expression ends too soon"},
  };
  for (const Case& c : cases) {
    std::string err;
    EXPECT_FALSE(KeyExpr::compile(c.text, t, &err)) << c.text;
    EXPECT_EQ(err, c.why) << c.text;
  }
  EXPECT_TRUE(rec.empty());
}

TEST(KeyExpr, KindMismatchGivesNil) {
  MemTable t = test::movementTable();
  t.add({Value(Date::fromYmd(2024, 3, 5)), Value(7), Value(1.5), Value("")});
  t.goTo(1);
  for (const char* text : {"dtos(articulo)", "str(texto,6)", "texto+articulo", "upper(fecha)", "descend(fecha)"}) {
    auto e = KeyExpr::compile(text, t);
    ASSERT_TRUE(e) << text;
    EXPECT_TRUE(e->evaluate(t).isNil()) << text;
  }
}

TEST(LearnKeyLayout, TypesAndLengthsFromThePhantomRecord) {
  MemTable t = test::movementTable();
  ErrorRecorder rec;
  struct Case {
    const char* text;
    KeyType type;
    int length;
  } cases[] = {
      {"dtos(fecha)+str(articulo,6)", KeyType::Character, 14},
      {"articulo", KeyType::Numeric, 8},
      {"fecha", KeyType::Date, 8},
      {"texto", KeyType::Character, 40},
      {"descend(str(cantidad,10,2))", KeyType::Character, 10},
  };
  for (const Case& c : cases) {
    auto e = KeyExpr::compile(c.text, t);
    ASSERT_TRUE(e);
    KeyType type;
    int len = 0;
    ASSERT_TRUE(learnKeyLayout(*e, t, type, len, "x.cdx")) << c.text;
    EXPECT_EQ(type, c.type) << c.text;
    EXPECT_EQ(len, c.length) << c.text;
  }
  EXPECT_TRUE(rec.empty());
}

TEST(LearnKeyLayout, BadKeysRaiseTheTypeOrWidthError) {
  MemTable t({{"A", 'C', 200}, {"B", 'C', 100}, {"N", 'N', 6}});
  ErrorRecorder rec;
  KeyType type;
  int len = 0;
  auto wide = KeyExpr::compile("a+b", t);
  ASSERT_TRUE(wide);
  EXPECT_TRUE(learnKeyLayout(*wide, t, type, len, "x.cdx"));
  EXPECT_EQ(len, 240);  // cut after the width error
  EXPECT_EQ(test::codes(rec), "34/1026");
  rec.clear();
  for (const char* text : {"str(n,0)", "dtos(n)"}) {
    auto e = KeyExpr::compile(text, t);
    ASSERT_TRUE(e);
    EXPECT_FALSE(learnKeyLayout(*e, t, type, len, "x.cdx")) << text;
  }
  EXPECT_EQ(test::codes(rec), "33/1026 33/1026");
  EXPECT_EQ(rec.last().subsystem, "DBFCDX");
  EXPECT_EQ(rec.last().fileName, "x.cdx");
}

}  // namespace
}  // namespace zol
