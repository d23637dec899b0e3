// The edit buffer behind every entry field: keys typed -> text shown -> value.
#include <gtest/gtest.h>

#include "core/codepage.h"
#include "ui/picture.h"

namespace zol {
namespace {

// Keys: plain characters are typed; '\b' Backspace, '\x7f' Delete,
// '<' Left, '>' Right, '^' Home, '$' End.
void press(EditBuffer& b, const std::string& keys) {
  for (char k : keys) {
    switch (k) {
      case '\b': b.backspace(); break;
      case '\x7f': b.del(); break;
      case '<': b.move(EditBuffer::Move::Left); break;
      case '>': b.move(EditBuffer::Move::Right); break;
      case '^': b.move(EditBuffer::Move::Home); break;
      case '$': b.move(EditBuffer::Move::End); break;
      default: b.type(static_cast<unsigned char>(k));
    }
  }
}

struct NumberCase {
  const char* picture;
  double initial;
  const char* keys;
  const char* shown;  // while editing
  double value;
};

TEST(EditBuffer, NumberEntry) {
  const NumberCase cases[] = {
      // the first key at the first position replaces the old value
      {"999999.99", 125.50, "7", "7     .  ", 7.00},
      {"999999.99", 125.50, "7.5", "     7.5 ", 7.50},
      {"999999.99", 125.50, "7,25", "     7.25", 7.25},
      // a point first keeps the integer part and goes to the decimals
      {"999999.99", 125.50, ".75", "   125.75", 125.75},
      // refused characters change nothing
      {"999999.99", 0, "12a3", "123   .  ", 123.00},
      {"999999.99", 0, "1x.y5", "     1.5 ", 1.50},
      // filling the last position keeps the cursor; more digits are refused
      {"999999", 0, "1234567", "123456", 123456},
      {"9999", 2024, "1999", "1999", 1999},
      {"99.99", 0, "5.5", " 5.5 ", 5.50},
      {"9999999.99", 0, "1234567.891", "1234567.89", 1234567.89},
      // a point in a number without decimals is refused
      {"999999", 0, "12.5", "125   ", 125},
      // backspace and delete blank their position
      {"999999.99", 0, "12\b", "1     .  ", 1.00},
      {"999999.99", 40, "^>>>>\x7f", "     0.00", 0.00},
      // a sign only left of the digits
      {"999999.99", 0, "-3.5", "    -3.5 ", -3.50},
      {"999999.99", 0, "5-", "5     .  ", 5.00},
      // without @K a key after moving overwrites in place
      {"99999", 12, ">5", " 5 12", 512},
      // with @K the first key clears wherever the cursor is
      {"@K 99999", 12, ">5", "5    ", 5},
      // thousands separators follow the digits
      {"@Z 999,999", 0, "1234", "123,4  ", 1234},
      // untouched, the value comes back exactly
      {"999999.99", 125.5, "<>", "   125.50", 125.50},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(std::string(c.picture) + " keys " + c.keys);
    EditBuffer b(Picture::parse(c.picture), EditKind::Number, Value(c.initial));
    press(b, c.keys);
    EXPECT_EQ(b.text(), c.shown);
    EXPECT_DOUBLE_EQ(b.value().number(), c.value);
  }
}

TEST(EditBuffer, NumberDisplay) {
  struct Case {
    const char* picture;
    double value;
    const char* shown;
  } cases[] = {
      {"999999.99", 125.5, "   125.50"}, {"999999.99", 0, "     0.00"}, {"999999.99", -3, "    -3.00"},
      {"99.99", 123, "*****"},          {"999999", 0.5, "     1"},    {"@Z 999,999", 0, "       "},
      {"@Z 999,999", 1234, "  1,234"},  {"999,999", 12, "     12"},   {"@Z 999,999", 1234567, "*******"},
      {"999999.99", 999999.995, "*********"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EditBuffer::display(Picture::parse(c.picture), EditKind::Number, Value(c.value)), c.shown)
        << c.picture << " " << c.value;
}

TEST(EditBuffer, DateEntry) {
  struct Case {
    const char* keys;
    const char* shown;
    bool valid;
    const char* value;  // dd/mm/yyyy, "" for the empty date
  } cases[] = {
      {"28022024", "28/02/2024", true, "28/02/2024"},
      {"31022024", "31/02/2024", false, ""},
      {"29022023", "29/02/2023", false, ""},
      {"010224", "01/02/24  ", true, "01/02/2024"},
      {"010170", "01/01/70  ", true, "01/01/1970"},
      {"311269", "31/12/69  ", true, "31/12/2069"},
      {"1a2", "12/  /    ", false, ""},
      {"", "  /  /    ", true, ""},
      {"0102202", "01/02/202 ", false, ""},
      {"^\x7f\x7f\x7f\x7f\x7f\x7f\x7f\x7f", "  /  /    ", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    EditBuffer b(Picture::parse("99/99/9999"), EditKind::Date, Value(Date()));
    press(b, c.keys);
    EXPECT_EQ(b.text(), c.shown);
    bool ok = false;
    const Date d = b.value(&ok).date();
    EXPECT_EQ(ok, c.valid);
    EXPECT_EQ(d.isEmpty() ? std::string() : d.toText(), c.value);
  }
}

TEST(EditBuffer, DateOverwritesAndKeepsTheSlashes) {
  EditBuffer b(Picture::parse("99/99/9999"), EditKind::Date, Value(Date::fromYmd(2024, 3, 15)));
  EXPECT_EQ(b.text(), "15/03/2024");
  press(b, "2");  // no clearing for dates: overwrite the first digit
  EXPECT_EQ(b.text(), "25/03/2024");
  EXPECT_EQ(b.cursor(), 1);
  press(b, "0");
  EXPECT_EQ(b.cursor(), 3);  // jumps over the slash
  press(b, "$1");            // at the end: refused
  EXPECT_EQ(b.text(), "20/03/2024");
}

TEST(EditBuffer, TextEntry) {
  struct Case {
    const char* picture;
    const char* initial;
    const char* keys;
    const char* shown;
  } cases[] = {
      {"@!", "     ", "abc", "ABC  "},
      {"", "     ", "abc", "abc  "},
      {"", "ABCDE", "^XY", "XYCDE"},
      {"", "ABCDE", "^\x7f", "BCDE "},
      {"", "ABCDE", "$\b\b", "ABC  "},
      {"", "AB   ", "$Z", "ABZ  "},
      {"", "ABCDE", "$Z", "ABCDE"},
      {"@K", "OLD  ", "N", "N    "},
      {"@K", "OLD  ", "^>N", "N    "},
      {"999", "   ", "1a2", "12 "},
      {"!!AA", "    ", "a1b2c", "A1bc"},  // "!" takes anything in capitals, "A" letters only
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.picture) + " keys " + c.keys);
    EditBuffer b(Picture::parse(c.picture), EditKind::Text, Value(std::string(c.initial)),
                 static_cast<int>(std::string(c.initial).size()));
    press(b, c.keys);
    EXPECT_EQ(b.text(), c.shown);
    EXPECT_EQ(b.value().text(), c.shown);
  }
}

TEST(EditBuffer, UpperCaseCoversWindows1252Letters) {
  EditBuffer b(Picture::parse("@!"), EditKind::Text, Value(std::string(6, ' ')), 6);
  for (unsigned char c : utf8ToCp1252("ñandúš")) b.type(c);
  EXPECT_EQ(cp1252ToUtf8(b.text()), "ÑANDÚŠ");
}

TEST(Picture, ParsesFunctionsAndTemplate) {
  const Picture p = Picture::parse("@ZK 999,999");
  EXPECT_TRUE(p.blankZero);
  EXPECT_TRUE(p.clearFirst);
  EXPECT_FALSE(p.upper);
  EXPECT_EQ(p.mask, "999,999");
  const Picture u = Picture::parse("@!");
  EXPECT_TRUE(u.upper);
  EXPECT_EQ(u.mask, "");
  EXPECT_EQ(Picture::parse("99/99/9999").mask, "99/99/9999");
}

}  // namespace
}  // namespace zol
