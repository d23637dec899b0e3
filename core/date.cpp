#include "date.h"

#include <cstdio>
#include <ctime>

namespace zol {

namespace {
bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int daysIn(int y, int m) {
  static const int k[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : k[m - 1];
}
bool digits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}
int toInt(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}
}  // namespace

bool Date::validYmd(int y, int m, int d) {
  return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= daysIn(y, m);
}

Date Date::fromYmd(int y, int m, int d) {
  if (!validYmd(y, m, d)) return Date();
  // Gregorian calendar to Julian day number.
  int a = (14 - m) / 12;
  int yy = y + 4800 - a;
  int mm = m + 12 * a - 3;
  Date r;
  r.jdn_ = d + (153 * mm + 2) / 5 + 365 * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
  return r;
}

void Date::split(int& y, int& m, int& d) const {
  int a = jdn_ + 32044;
  int b = (4 * a + 3) / 146097;
  int c = a - 146097 * b / 4;
  int dd = (4 * c + 3) / 1461;
  int e = c - 1461 * dd / 4;
  int mm = (5 * e + 2) / 153;
  d = e - (153 * mm + 2) / 5 + 1;
  m = mm + 3 - 12 * (mm / 10);
  y = 100 * b + dd - 4800 + mm / 10;
}

int Date::year() const { if (isEmpty()) return 0; int y, m, d; split(y, m, d); return y; }
int Date::month() const { if (isEmpty()) return 0; int y, m, d; split(y, m, d); return m; }
int Date::day() const { if (isEmpty()) return 0; int y, m, d; split(y, m, d); return d; }
int Date::dayOfWeek() const { return isEmpty() ? 0 : (jdn_ + 1) % 7 + 1; }

Date Date::fromDtos(std::string_view s) {
  if (s.size() != 8 || !digits(s)) return Date();
  return fromYmd(toInt(s.substr(0, 4)), toInt(s.substr(4, 2)), toInt(s.substr(6, 2)));
}

Date Date::fromText(std::string_view s, bool* ok) {
  // Trim blanks; an entry of blanks and slashes only is the empty date.
  auto isBlank = [](char c) { return c == ' ' || c == '/'; };
  bool allBlank = true;
  for (char c : s) allBlank = allBlank && isBlank(c);
  if (allBlank) {
    if (ok) *ok = true;
    return Date();
  }
  if (ok) *ok = false;
  size_t p1 = s.find('/');
  if (p1 == std::string_view::npos) return Date();
  size_t p2 = s.find('/', p1 + 1);
  if (p2 == std::string_view::npos) return Date();
  auto trim = [](std::string_view t) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    return t;
  };
  std::string_view ds = trim(s.substr(0, p1)), ms = trim(s.substr(p1 + 1, p2 - p1 - 1)),
                   ys = trim(s.substr(p2 + 1));
  if (!digits(ds) || !digits(ms) || !digits(ys) || ds.size() > 2 || ms.size() > 2 ||
      ys.size() > 4 || ys.size() == 3)
    return Date();
  int y = toInt(ys);
  if (ys.size() <= 2) y = yearFromTwoDigits(y);
  Date r = fromYmd(y, toInt(ms), toInt(ds));
  if (ok) *ok = !r.isEmpty();
  return r;
}

Date Date::today() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  return fromYmd(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

namespace {
// Writes `v` as `n` digits, zero-padded, ending just before `end`.
void digitsBefore(char* end, int v, int n) {
  for (int i = 0; i < n; ++i, v /= 10) *--end = static_cast<char>('0' + v % 10);
}
}  // namespace

// Called for every key and every date written: no formatting library here.
std::string Date::dtos() const {
  std::string s(8, ' ');
  if (isEmpty()) return s;
  int y, m, d;
  split(y, m, d);
  digitsBefore(s.data() + 4, y, 4);
  digitsBefore(s.data() + 6, m, 2);
  digitsBefore(s.data() + 8, d, 2);
  return s;
}

std::string Date::toText() const {
  if (isEmpty()) return "  /  /    ";
  int y, m, d;
  split(y, m, d);
  char b[16];
  std::snprintf(b, sizeof b, "%02d/%02d/%04d", d, m, y);
  return b;
}

}  // namespace zol
