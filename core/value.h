#pragma once
// A field or expression value. Text is Windows-1252 bytes.
#include <string>
#include <variant>

#include "date.h"

namespace zol {

enum class ValueKind { Nil, Text, Number, Date, Logical };

class Value {
 public:
  Value() = default;
  Value(std::string s) : v_(std::move(s)) {}
  Value(const char* s) : v_(std::string(s)) {}
  Value(double d) : v_(d) {}
  Value(int i) : v_(static_cast<double>(i)) {}
  Value(long i) : v_(static_cast<double>(i)) {}
  Value(long long i) : v_(static_cast<double>(i)) {}
  Value(Date d) : v_(d) {}
  Value(bool b) : v_(b) {}

  ValueKind kind() const { return static_cast<ValueKind>(v_.index()); }
  bool isNil() const { return kind() == ValueKind::Nil; }
  bool isText() const { return kind() == ValueKind::Text; }
  bool isNumber() const { return kind() == ValueKind::Number; }
  bool isDate() const { return kind() == ValueKind::Date; }
  bool isLogical() const { return kind() == ValueKind::Logical; }

  // Accessors answer a neutral value when the kind differs.
  const std::string& text() const {
    static const std::string empty;
    auto* p = std::get_if<std::string>(&v_);
    return p ? *p : empty;
  }
  double number() const { auto* p = std::get_if<double>(&v_); return p ? *p : 0.0; }
  Date date() const { auto* p = std::get_if<Date>(&v_); return p ? *p : Date(); }
  bool logical() const { auto* p = std::get_if<bool>(&v_); return p ? *p : false; }

  friend bool operator==(const Value&, const Value&) = default;

 private:
  std::variant<std::monostate, std::string, double, Date, bool> v_;
};

}  // namespace zol
