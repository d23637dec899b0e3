#pragma once
// Key expressions: the small language tags are ordered by. A text is compiled
// once against a table's fields and then evaluated for every record.
//
//   expr    := term { ("+" | "-") term }
//   term    := ["-"] primary
//   primary := field | number | 'text' | "text" | "(" expr ")" | func "(" args ")"
//   func    := dtos(date) | str(number [, width [, decimals]]) | descend(x) | upper(text)
//
// "+" joins texts, adds numbers and moves a date by days; "-" subtracts.
// Names are case-insensitive. A value of the wrong kind anywhere gives Nil, which
// the tag builder reports as the data-type error.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/value.h"
#include "store/key.h"

namespace zol {

// Where an expression reads its fields. The Work area implements it over its
// current record.
class FieldSource {
 public:
  virtual ~FieldSource() = default;
  // 0-based position of a field, matched case-insensitively; -1 when absent.
  virtual int fieldIndex(std::string_view name) const = 0;
  // The field's value in the current record; the Phantom record gives blanks
  // (spaces, 0, the empty date, false).
  virtual Value fieldValue(int index) const = 0;
  // The field's stored bytes, type letter and decimals, when the source has a
  // raw record: lets a key be copied instead of decoded and formatted again.
  virtual bool rawField(int index, std::string_view& bytes, char& type, int& decimals) const { return false; }
};

class KeyExpr {
 public:
  // Compiles `text`, resolving its field names through `fields`. Returns null
  // and describes the fault in `error` (when given) on a syntax error, an
  // unknown field or an unknown function. Raises nothing.
  static std::unique_ptr<KeyExpr> compile(std::string_view text, const FieldSource& fields,
                                          std::string* error = nullptr);
  ~KeyExpr();

  // The value for the record `record` currently shows; Nil on a kind mismatch.
  Value evaluate(const FieldSource& record) const;
  // The character key of `length` bytes straight from the stored bytes, for
  // the common shapes (fields, dtos(date field), str(numeric field, its width
  // and decimals), joined by "+"). False when the expression or this record's
  // bytes do not allow it: then evaluate() and buildKey() give the key. Both
  // ways give the same bytes.
  bool fastKey(const FieldSource& record, int length, std::string& out) const;
  const std::string& text() const { return text_; }

  struct Node;

 private:
  KeyExpr() = default;
  struct Piece {
    char kind;  // 'C' field as stored, 'D' dtos(field), 'N' str(field) in its own width
    int field;
  };
  void planFastKey(const FieldSource& fields);
  std::string text_;
  std::vector<Piece> plan_;  // empty: no fast path
  std::vector<Node> nodes_;
  std::vector<Value> consts_;
  int root_ = -1;
};

// Learns the key type and length of a Key expression by evaluating it on the
// Phantom record (`phantom` must show blanks). A character key longer than 240
// raises the data-width error (34/1026) and is cut to 240; a value of another
// kind or of length 0 raises the data-type error (33/1026) and returns false.
// `fileName` goes into the error event.
bool learnKeyLayout(const KeyExpr& expr, const FieldSource& phantom, KeyType& type, int& length,
                    const std::string& fileName);

// Raises the data-type error (33/1026) for a Key or FOR expression that does not
// compile; used by callers that cannot go on without it.
void raiseExpressionError(const std::string& text, const std::string& why, const std::string& fileName);

}  // namespace zol
