#pragma once
// Picture masks and the edit buffer behind a data entry field. No Qt here:
// the buffer works on Windows-1252 bytes, the way table text is stored, and
// the field widget only feeds it keys and shows its text.
//
// A picture is optional functions ("@!" upper case, "@Z" blank when zero,
// "@K" clear on the first key), a blank, then a template: "9" a digit, "#" a
// digit, blank or sign, "A" a letter, "N" a letter or digit, "X" anything,
// "!" anything in upper case; "." is the decimal point and "," a thousands
// separator in numbers; any other character stays in place ("/" in dates).
#include <string>
#include <string_view>

#include "core/value.h"

namespace zol {

struct Picture {
  bool upper = false;       // @!
  bool blankZero = false;   // @Z
  bool clearFirst = false;  // @K
  std::string mask;         // template part, may be empty

  static Picture parse(std::string_view text);
};

enum class EditKind { Text, Number, Date };

// Windows-1252 helpers shared by the field and its tests.
bool cp1252IsPrintable(unsigned char c);
unsigned char cp1252Upper(unsigned char c);

class EditBuffer {
 public:
  // `length` is the bound text's length; it only matters for text without a
  // template, whose every position takes any character.
  EditBuffer(const Picture& pic, EditKind kind, const Value& value, int length = 0);

  // The text a field shows for a value when it is not being edited.
  static std::string display(const Picture& pic, EditKind kind, const Value& value, int length = 0);

  const std::string& text() const { return buf_; }
  int size() const { return static_cast<int>(buf_.size()); }
  int cursor() const { return cursor_; }
  bool atEnd() const { return cursor_ >= size(); }
  bool changed() const { return changed_; }

  // Types one character at the cursor. False when the picture refuses it
  // (nothing changes then). "." or "," in a number jumps to the decimals.
  bool type(unsigned char c);
  bool backspace();  // true when the buffer changed
  bool del();
  enum class Move { Left, Right, Home, End };
  void move(Move m);
  // Puts the cursor on the first editable position at or after `pos`.
  void setCursor(int pos);
  // Where a mouse click at `pos` puts the cursor: as setCursor, but a click
  // past the last slot lands on the first empty slot (the last slot for
  // numbers), so the next key is taken.
  void clickAt(int pos);

  // The buffer's value; an untouched buffer gives back the value it was
  // built from. For a date, `ok` is false when the text is not a valid date.
  Value value(bool* ok = nullptr) const;

 private:
  bool editable(int pos) const;
  bool accepts(int pos, unsigned char c) const;
  int firstEditable() const;
  int nextEditable(int pos) const;  // first editable > pos, or size()
  int prevEditable(int pos) const;  // last editable < pos, or -1
  int integerEnd() const;           // position of the point, or size()
  void clearAll();
  void refreshSeparators();
  void jumpToDecimals();

  Picture pic_;
  std::string mask_;  // effective template, one char per position ('X' for free text)
  EditKind kind_;
  Value original_;
  std::string buf_;
  int cursor_ = 0;
  bool firstKey_ = true;
  bool changed_ = false;
};

}  // namespace zol
