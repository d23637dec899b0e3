#include "core/date.h"

#include <gtest/gtest.h>

namespace zol {
namespace {

TEST(Date, DtosAndTextRoundTrip) {
  Date d = Date::fromYmd(2024, 3, 5);
  EXPECT_EQ(d.dtos(), "20240305");
  EXPECT_EQ(d.toText(), "05/03/2024");
  EXPECT_EQ(Date::fromDtos("20240305"), d);
  EXPECT_EQ(Date::fromText("05/03/2024"), d);
  EXPECT_EQ(d.year(), 2024);
  EXPECT_EQ(d.month(), 3);
  EXPECT_EQ(d.day(), 5);
}

TEST(Date, EmptyDate) {
  Date e;
  EXPECT_TRUE(e.isEmpty());
  EXPECT_EQ(e.dtos(), "        ");
  EXPECT_EQ(e.dayNumber(), 0);
  EXPECT_TRUE(Date::fromDtos("        ").isEmpty());
  bool ok = false;
  EXPECT_TRUE(Date::fromText("  /  /    ", &ok).isEmpty());
  EXPECT_TRUE(ok);
  EXPECT_LT(e, Date::fromYmd(1900, 1, 1));
}

TEST(Date, TwoDigitYearsUseEpoch1970) {
  struct Case { const char* text; int year; };
  for (Case c : {Case{"01/01/70", 1970}, Case{"01/01/69", 2069}, Case{"31/12/99", 1999},
                 Case{"01/01/00", 2000}, Case{"15/06/24", 2024}}) {
    EXPECT_EQ(Date::fromText(c.text).year(), c.year) << c.text;
  }
}

TEST(Date, InvalidDatesAreRejected) {
  for (const char* t : {"31/02/2024", "29/02/2023", "00/01/2024", "12/13/2024", "ab/01/2024",
                        "1/1", "01/01/202"}) {
    bool ok = true;
    EXPECT_TRUE(Date::fromText(t, &ok).isEmpty()) << t;
    EXPECT_FALSE(ok) << t;
  }
  EXPECT_FALSE(Date::fromText("29/02/2024").isEmpty());
  EXPECT_TRUE(Date::fromDtos("2024023A").isEmpty());
  EXPECT_TRUE(Date::fromDtos("20230229").isEmpty());
}

TEST(Date, DayNumberIsJulianAndOrdered) {
  // 1 January 2000 is Julian day 2451545, a Saturday.
  Date d = Date::fromYmd(2000, 1, 1);
  EXPECT_EQ(d.dayNumber(), 2451545);
  EXPECT_EQ(d.dayOfWeek(), 7);
  EXPECT_EQ(d.addDays(60).toText(), "01/03/2000");
  for (int y : {1600, 1899, 1970, 2024, 2100, 9999}) {
    for (int m = 1; m <= 12; ++m) {
      Date a = Date::fromYmd(y, m, 1);
      EXPECT_EQ(a.year(), y);
      EXPECT_EQ(a.month(), m);
      EXPECT_EQ(a.day(), 1);
      EXPECT_EQ(Date::fromDtos(a.dtos()), a);
    }
  }
}

}  // namespace
}  // namespace zol
