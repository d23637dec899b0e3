#pragma once
// Calendar date held as a Julian day number; 0 is the empty date.
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace zol {

class Date {
 public:
  constexpr Date() = default;
  // Builds a date from its parts; an impossible date gives the empty date.
  static Date fromYmd(int year, int month, int day);
  static Date fromDayNumber(int32_t jdn) { Date d; d.jdn_ = jdn < 0 ? 0 : jdn; return d; }
  // "YYYYMMDD"; blanks or anything unparsable give the empty date.
  static Date fromDtos(std::string_view s);
  // "dd/mm/yyyy" or "dd/mm/yy" (two-digit years read 1970..2069). Invalid text
  // gives the empty date; `ok` (when given) tells an empty entry from a bad one.
  static Date fromText(std::string_view s, bool* ok = nullptr);
  static Date today();
  static bool validYmd(int year, int month, int day);
  static int yearFromTwoDigits(int yy) { return yy >= 70 ? 1900 + yy : 2000 + yy; }

  bool isEmpty() const { return jdn_ == 0; }
  int32_t dayNumber() const { return jdn_; }
  int year() const;
  int month() const;
  int day() const;
  // 1 = Sunday .. 7 = Saturday.
  int dayOfWeek() const;
  // Eight digits YYYYMMDD, or eight blanks for the empty date.
  std::string dtos() const;
  // "dd/mm/yyyy", or "  /  /    " for the empty date.
  std::string toText() const;

  Date addDays(int n) const { return isEmpty() ? Date() : fromDayNumber(jdn_ + n); }
  friend auto operator<=>(const Date&, const Date&) = default;

 private:
  void split(int& y, int& m, int& d) const;
  int32_t jdn_ = 0;
};

}  // namespace zol
