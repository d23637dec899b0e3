#include "ui/picture.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "core/numtext.h"

namespace zol {

Picture Picture::parse(std::string_view text) {
  Picture p;
  std::string_view rest = text;
  if (!rest.empty() && rest.front() == '@') {
    const size_t blank = rest.find(' ');
    std::string_view funcs = rest.substr(1, blank == std::string_view::npos ? rest.size() - 1 : blank - 1);
    for (char c : funcs) {
      switch (std::toupper(static_cast<unsigned char>(c))) {
        case '!': p.upper = true; break;
        case 'Z': p.blankZero = true; break;
        case 'K': p.clearFirst = true; break;
        default: break;  // functions no screen uses are ignored
      }
    }
    rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
  }
  p.mask = std::string(rest);
  return p;
}

bool cp1252IsPrintable(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return false;
  return c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D;
}

static bool cp1252IsLetter(unsigned char c) {
  if (std::isalpha(c)) return true;
  if (c >= 0xC0 && c != 0xD7 && c != 0xF7) return true;
  return c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9A || c == 0x9C || c == 0x9E || c == 0x9F;
}

unsigned char cp1252Upper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x9A: return 0x8A;  // š
    case 0x9C: return 0x8C;  // œ
    case 0x9E: return 0x8E;  // ž
    case 0xFF: return 0x9F;  // ÿ
    default: return c;
  }
}

namespace {

std::string effectiveMask(const Picture& pic, EditKind kind, const Value& v, int length) {
  if (!pic.mask.empty()) return pic.mask;
  switch (kind) {
    case EditKind::Date: return "99/99/9999";
    case EditKind::Number: {
      const double n = v.number();
      return n == std::floor(n) ? "9999999999" : "9999999.99";
    }
    case EditKind::Text: return std::string(static_cast<size_t>(std::max(0, length)), 'X');
  }
  return {};
}

bool isNumberSlot(char m) { return m == '9' || m == '#'; }

std::string numberDisplay(const Picture& pic, const std::string& mask, double v) {
  const size_t n = mask.size();
  if (pic.blankZero && v == 0) return std::string(n, ' ');
  const size_t dot = mask.find('.');
  const size_t intEnd = dot == std::string::npos ? n : dot;
  int decimals = 0;
  if (dot != std::string::npos)
    for (size_t i = dot + 1; i < n; ++i) decimals += isNumberSlot(mask[i]);
  const bool negative = roundHalfAway(v, decimals) < 0;
  const std::string digits = plainDecimal(std::fabs(v), decimals);
  const size_t pd = digits.find('.');
  std::string intDigits = digits.substr(0, pd);
  const std::string decDigits = pd == std::string::npos ? "" : digits.substr(pd + 1);
  // A zero integer part shows as a single 0 before the point only when there is room.
  std::string out(mask);
  int k = static_cast<int>(intDigits.size()) - 1;
  bool signDone = !negative;
  for (int i = static_cast<int>(intEnd) - 1; i >= 0; --i) {
    const char m = mask[static_cast<size_t>(i)];
    if (isNumberSlot(m)) {
      if (k >= 0) {
        out[static_cast<size_t>(i)] = intDigits[static_cast<size_t>(k--)];
      } else if (!signDone) {
        out[static_cast<size_t>(i)] = '-';
        signDone = true;
      } else {
        out[static_cast<size_t>(i)] = ' ';
      }
    } else if (m == ',') {
      out[static_cast<size_t>(i)] = k >= 0 ? ',' : ' ';
    }
  }
  if (k >= 0 || !signDone) return std::string(n, '*');
  size_t d = 0;
  for (size_t i = intEnd + 1; i < n; ++i)
    if (isNumberSlot(mask[i])) out[i] = d < decDigits.size() ? decDigits[d++] : '0';
  return out;
}

std::string textDisplay(const Picture& pic, const std::string& mask, const std::string& text) {
  std::string out;
  size_t k = 0;
  for (char m : mask) {
    const bool slot = m == '9' || m == '#' || m == 'A' || m == 'N' || m == 'X' || m == '!';
    if (!slot) {
      out += m;
      continue;
    }
    unsigned char c = k < text.size() ? static_cast<unsigned char>(text[k]) : ' ';
    ++k;
    if (pic.upper || m == '!') c = cp1252Upper(c);
    out += static_cast<char>(c);
  }
  return out;
}

}  // namespace

std::string EditBuffer::display(const Picture& pic, EditKind kind, const Value& value, int length) {
  const std::string mask = effectiveMask(pic, kind, value, length);
  switch (kind) {
    case EditKind::Number: return numberDisplay(pic, mask, value.number());
    case EditKind::Date: {
      const Date d = value.date();
      if (d.isEmpty()) {
        std::string out(mask);
        for (char& c : out)
          if (c == '9') c = ' ';
        return out;
      }
      // Digits of the date laid over the template's digit slots.
      const std::string t = d.toText();  // dd/mm/yyyy
      std::string digits;
      for (char c : t)
        if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
      if (mask == "99/99/99") digits.erase(4, 2);
      std::string out(mask);
      size_t k = 0;
      for (char& c : out)
        if (c == '9') c = k < digits.size() ? digits[k++] : ' ';
      return out;
    }
    case EditKind::Text: return textDisplay(pic, mask, value.text());
  }
  return {};
}

EditBuffer::EditBuffer(const Picture& pic, EditKind kind, const Value& value, int length)
    : pic_(pic), kind_(kind), original_(value) {
  mask_ = effectiveMask(pic, kind, value, length);
  buf_ = display(pic, kind, value, length);
  cursor_ = firstEditable();
}

bool EditBuffer::editable(int pos) const {
  if (pos < 0 || pos >= size()) return false;
  const char m = mask_[static_cast<size_t>(pos)];
  switch (kind_) {
    case EditKind::Number: return isNumberSlot(m);
    case EditKind::Date: return m == '9';
    case EditKind::Text: return m == '9' || m == '#' || m == 'A' || m == 'N' || m == 'X' || m == '!';
  }
  return false;
}

bool EditBuffer::accepts(int pos, unsigned char c) const {
  const char m = mask_[static_cast<size_t>(pos)];
  const bool digit = c >= '0' && c <= '9';
  switch (kind_) {
    case EditKind::Date: return digit;
    case EditKind::Number:
      if (digit) return true;
      if (c == '-') {
        // A sign only in the integer part, left of every digit already there.
        if (pos >= integerEnd()) return false;
        for (int i = 0; i < pos; ++i)
          if (std::isdigit(static_cast<unsigned char>(buf_[static_cast<size_t>(i)]))) return false;
        return true;
      }
      return m == '#' && (c == ' ' || c == '+');
    case EditKind::Text:
      if (!cp1252IsPrintable(c)) return false;
      switch (m) {
        case '9': return digit;
        case '#': return digit || c == ' ' || c == '+' || c == '-';
        case 'A': return cp1252IsLetter(c);
        case 'N': return digit || cp1252IsLetter(c);
        default: return true;
      }
  }
  return false;
}

int EditBuffer::firstEditable() const { return nextEditable(-1); }

int EditBuffer::nextEditable(int pos) const {
  for (int i = pos + 1; i < size(); ++i)
    if (editable(i)) return i;
  return size();
}

int EditBuffer::prevEditable(int pos) const {
  for (int i = std::min(pos, size()) - 1; i >= 0; --i)
    if (editable(i)) return i;
  return -1;
}

int EditBuffer::integerEnd() const {
  if (kind_ != EditKind::Number) return size();
  const size_t dot = mask_.find('.');
  return dot == std::string::npos ? size() : static_cast<int>(dot);
}

void EditBuffer::clearAll() {
  for (int i = 0; i < size(); ++i)
    if (editable(i)) buf_[static_cast<size_t>(i)] = ' ';
  if (kind_ == EditKind::Number) {
    // Separators go with the digits; the point stays.
    for (int i = 0; i < size(); ++i)
      if (mask_[static_cast<size_t>(i)] == ',') buf_[static_cast<size_t>(i)] = ' ';
    const int dot = integerEnd();
    if (dot < size()) buf_[static_cast<size_t>(dot)] = '.';
  }
}

void EditBuffer::refreshSeparators() {
  if (kind_ != EditKind::Number) return;
  bool digitLeft = false;
  for (int i = 0; i < integerEnd(); ++i) {
    const char m = mask_[static_cast<size_t>(i)];
    char& c = buf_[static_cast<size_t>(i)];
    if (m == ',')
      c = digitLeft ? ',' : ' ';
    else if (std::isdigit(static_cast<unsigned char>(c)))
      digitLeft = true;
  }
}

void EditBuffer::jumpToDecimals() {
  const int dot = integerEnd();
  // What was typed of the integer part moves to the right, against the point.
  std::string typed;
  for (int i = 0; i < dot; ++i) {
    const char c = buf_[static_cast<size_t>(i)];
    if (editable(i) && c != ' ') typed += c;
  }
  for (int i = 0; i < dot; ++i)
    if (editable(i)) buf_[static_cast<size_t>(i)] = ' ';
  int k = static_cast<int>(typed.size()) - 1;
  for (int i = dot - 1; i >= 0 && k >= 0; --i)
    if (editable(i)) buf_[static_cast<size_t>(i)] = typed[static_cast<size_t>(k--)];
  refreshSeparators();
  cursor_ = nextEditable(dot);
}

bool EditBuffer::type(unsigned char c) {
  if (kind_ == EditKind::Number && (c == '.' || c == ',')) {
    if (integerEnd() >= size()) return false;  // no decimals to jump to
    if (firstKey_ && pic_.clearFirst) clearAll();
    jumpToDecimals();
    firstKey_ = false;
    changed_ = true;
    return true;
  }
  if (atEnd()) return false;
  int pos = cursor_;
  const bool clearNow =
      firstKey_ && (pic_.clearFirst || (kind_ == EditKind::Number && pos == firstEditable()));
  if (clearNow) {
    // Check against the cleared buffer: a sign is fine once the old digits are gone.
    const std::string saved = buf_;
    clearAll();
    if (pic_.clearFirst) pos = firstEditable();
    if (!accepts(pos, c)) {
      buf_ = saved;
      return false;
    }
  } else if (!accepts(pos, c)) {
    return false;
  }
  if (kind_ == EditKind::Text && (pic_.upper || mask_[static_cast<size_t>(pos)] == '!')) c = cp1252Upper(c);
  buf_[static_cast<size_t>(pos)] = static_cast<char>(c);
  cursor_ = nextEditable(pos);
  firstKey_ = false;
  changed_ = true;
  refreshSeparators();
  return true;
}

bool EditBuffer::backspace() {
  const int q = prevEditable(cursor_);
  if (q < 0) return false;
  cursor_ = q;
  return del();
}

bool EditBuffer::del() {
  if (atEnd() || !editable(cursor_)) return false;
  if (pic_.mask.empty() && kind_ == EditKind::Text) {
    // Free text closes up behind the cursor.
    buf_.erase(static_cast<size_t>(cursor_), 1);
    buf_ += ' ';
  } else {
    buf_[static_cast<size_t>(cursor_)] = ' ';
  }
  firstKey_ = false;
  changed_ = true;
  refreshSeparators();
  return true;
}

void EditBuffer::move(Move m) {
  switch (m) {
    case Move::Left: {
      const int q = prevEditable(cursor_);
      if (q >= 0) cursor_ = q;
      break;
    }
    case Move::Right:
      if (!atEnd()) cursor_ = nextEditable(cursor_);
      break;
    case Move::Home: cursor_ = firstEditable(); break;
    case Move::End:
      if (kind_ == EditKind::Text) {
        int last = size();
        while (last > 0 && buf_[static_cast<size_t>(last - 1)] == ' ') --last;
        setCursor(last);
      } else {
        cursor_ = size();
      }
      break;
  }
}

void EditBuffer::setCursor(int pos) {
  pos = std::clamp(pos, 0, size());
  cursor_ = editable(pos) ? pos : nextEditable(pos);
}

void EditBuffer::clickAt(int pos) {
  setCursor(pos);
  if (cursor_ < size()) return;
  // A click past the last slot (easy in a wide field) would leave the caret
  // where no key is taken: go to the first empty slot, or the last slot.
  if (kind_ != EditKind::Number) {
    for (int i = 0; i < size(); ++i)
      if (editable(i) && buf_[static_cast<size_t>(i)] == ' ') {
        cursor_ = i;
        return;
      }
  }
  const int last = prevEditable(size());
  if (last >= 0) cursor_ = last;
}

Value EditBuffer::value(bool* ok) const {
  if (ok) *ok = true;
  if (!changed_) return original_;
  switch (kind_) {
    case EditKind::Text: return Value(buf_);
    case EditKind::Date: {
      bool good = false;
      const Date d = Date::fromText(buf_, &good);
      if (ok) *ok = good;
      return Value(d);
    }
    case EditKind::Number: {
      const int dot = integerEnd();
      std::string intPart, decPart;
      bool negative = false;
      for (int i = 0; i < size(); ++i) {
        const char c = buf_[static_cast<size_t>(i)];
        if (c == '-') negative = true;
        if (!editable(i)) continue;
        if (i < dot) {
          if (std::isdigit(static_cast<unsigned char>(c))) intPart += c;
        } else {
          decPart += std::isdigit(static_cast<unsigned char>(c)) ? c : '0';
        }
      }
      double v = 0;
      const std::string text = (intPart.empty() ? "0" : intPart) + (decPart.empty() ? "" : "." + decPart);
      parseNumber(text, v);
      if (negative) v = -v;
      return Value(roundHalfAway(v, static_cast<int>(decPart.size())));
    }
  }
  return original_;
}

}  // namespace zol
