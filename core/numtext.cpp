#include "numtext.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace zol {

namespace {

// Decimal digits of |value| rounded half away from zero to `decimals` places:
// returns the digit string with the decimal point implied `decimals` from the end.
std::string roundedDigits(double value, int decimals) {
  if (!std::isfinite(value)) return "";
  double a = std::fabs(value);
  // Shortest form that reads back as the same double, in scientific notation.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific);
  std::string_view s(buf, res.ptr - buf);
  size_t e = s.find('e');
  std::string mant;
  for (char c : s.substr(0, e))
    if (c != '.') mant += c;
  int exp = std::atoi(std::string(s.substr(e + 1)).c_str());
  // mant = d.ddd ; value = 0.mant * 10^(exp+1). Integer digits count = exp+1.
  int intDigits = exp + 1;
  std::string digits;  // all digits with `decimals` fraction digits, before rounding
  int keep = intDigits + decimals;  // digits to keep from the start of mant
  std::string full = mant;
  if (intDigits <= 0) {
    full = std::string(-intDigits, '0') + mant;
    keep = decimals;
    intDigits = 0;
  }
  bool roundUp = false;
  if (keep < 0) {
    return std::string(decimals + 1, '0');
  }
  if (static_cast<int>(full.size()) > keep) {
    roundUp = full[keep] >= '5';
    full.resize(keep);
  } else {
    full.append(keep - full.size(), '0');
  }
  if (roundUp) {
    int i = static_cast<int>(full.size()) - 1;
    while (i >= 0 && full[i] == '9') full[i--] = '0';
    if (i >= 0)
      ++full[i];
    else
      full.insert(full.begin(), '1');
  }
  if (static_cast<int>(full.size()) <= decimals) full.insert(0, decimals + 1 - full.size(), '0');
  // strip superfluous leading zeros of the integer part
  size_t lead = 0;
  while (lead + decimals + 1 < full.size() && full[lead] == '0') ++lead;
  return full.substr(lead);
}

const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common case without going through decimal text: when |value| * 10^d
// lies clearly away from a half, rounding the scaled binary value gives the
// same digits as rounding the shortest decimal form (the two differ by a few
// units in the last place at most). Ties and near-ties, huge values and many
// decimals return 0 and take the exact way. Otherwise writes the plain form
// into `out` (at least 40 bytes) and returns its length.
size_t fastPlainDecimal(double value, int decimals, char* out) {
  if (decimals > 15) return 0;
  double s = std::fabs(value) * kPow10[decimals];
  if (!(s < 4e15)) return 0;
  double whole = std::floor(s);
  double frac = s - whole;
  if (std::fabs(frac - 0.5) <= (s + 1) * 1e-12) return 0;
  uint64_t n = static_cast<uint64_t>(whole) + (frac > 0.5 ? 1 : 0);
  char digits[24];
  char* end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  int len = static_cast<int>(end - digits);
  char* p = out;
  if (value < 0 && n != 0) *p++ = '-';
  if (len <= decimals) {  // 0.0ddd
    *p++ = '0';
    if (decimals) *p++ = '.';
    for (int i = len; i < decimals; ++i) *p++ = '0';
    for (const char* d = digits; d < end; ++d) *p++ = *d;
  } else {
    for (const char* d = digits; d < end - decimals; ++d) *p++ = *d;
    if (decimals) {
      *p++ = '.';
      for (const char* d = end - decimals; d < end; ++d) *p++ = *d;
    }
  }
  return static_cast<size_t>(p - out);
}

}  // namespace

std::string plainDecimal(double value, int decimals) {
  if (decimals < 0) decimals = 0;
  if (std::isnan(value)) return "0";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char fast[40];
  if (size_t n = fastPlainDecimal(value, decimals, fast)) return std::string(fast, n);
  std::string d = roundedDigits(value, decimals);
  bool zero = d.find_first_not_of('0') == std::string::npos;
  std::string out;
  if (value < 0 && !zero) out = "-";
  if (decimals == 0) return out + d;
  out += d.substr(0, d.size() - decimals);
  out += '.';
  out += d.substr(d.size() - decimals);
  return out;
}

double roundHalfAway(double value, int decimals) {
  if (!std::isfinite(value)) return value;
  return std::strtod(plainDecimal(value, decimals).c_str(), nullptr);
}

std::string str(double value, int width, int decimals) {
  if (width <= 0) return "";
  if (decimals < 0) decimals = 0;
  if (!std::isfinite(value)) return std::string(width, '*');
  char fast[40];
  size_t n = fastPlainDecimal(value, decimals, fast);
  std::string slow;
  if (n == 0) {
    slow = plainDecimal(value, decimals);
    n = slow.size();
  }
  if (static_cast<int>(n) > width) return std::string(width, '*');
  // Built in place: appends of many records format several numbers each.
  std::string out(static_cast<size_t>(width), ' ');
  std::memcpy(out.data() + (width - static_cast<int>(n)), slow.empty() ? fast : slow.data(), n);
  return out;
}

namespace {

// Every shape of stored number parseNumber accepts; the slow, general way.
bool parseNumberGeneral(std::string_view s, double& value) {
  value = 0;
  while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  if (s.empty()) return true;
  bool neg = false;
  if (s.front() == '-' || s.front() == '+') {
    neg = s.front() == '-';
    s.remove_prefix(1);
    // other xBase writers put blanks between the sign and the digits
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  }
  // Fast exact path: up to 15 significant digits as an integer over a power of
  // ten is correctly rounded, the same double strtod gives.
  uint64_t mant = 0;
  int ndig = 0, frac = 0;
  bool point = false, any = false;
  for (char c : s) {
    if (c >= '0' && c <= '9') {
      any = true;
      if (ndig < 19) {
        mant = mant * 10 + (c - '0');
        if (mant) ++ndig;
      } else {
        ndig = 99;
      }
      if (point) ++frac;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (!any) return false;
  double v;
  if (ndig <= 15 && frac <= 22) {
    v = static_cast<double>(mant) / kPow10[frac];
  } else {
    std::string t(s);
    v = std::strtod(t.c_str(), nullptr);
  }
  value = neg ? -v : v;
  if (value == 0) value = 0;  // no negative zero
  return true;
}

}  // namespace

bool parseNumber(std::string_view s, double& value) {
  // One pass over what our own tables hold, [blanks][-]digits[.digits]
  // [blanks] with at most 15 digits: full scans call this once per record.
  // Anything else goes the general way, which gives the same answers.
  const char* p = s.data();
  const char* const e = p + s.size();
  while (p < e && (*p == ' ' || *p == '\0')) ++p;
  bool neg = false;
  if (p < e && *p == '-') {
    neg = true;
    ++p;
  }
  uint64_t mant = 0;
  const char* const digits = p;
  while (p < e && static_cast<unsigned char>(*p - '0') < 10) mant = mant * 10 + static_cast<unsigned>(*p++ - '0');
  int count = static_cast<int>(p - digits);
  int frac = 0;
  if (p < e && *p == '.') {
    const char* f = ++p;
    while (p < e && static_cast<unsigned char>(*p - '0') < 10) mant = mant * 10 + static_cast<unsigned>(*p++ - '0');
    frac = static_cast<int>(p - f);
    count += frac;
  }
  while (p < e && (*p == ' ' || *p == '\0')) ++p;
  if (p != e || count == 0 || count > 15) return parseNumberGeneral(s, value);
  double v = static_cast<double>(mant) / kPow10[frac];
  value = neg ? -v : v;
  if (value == 0) value = 0;  // no negative zero
  return true;
}

}  // namespace zol
