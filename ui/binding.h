#pragma once
// The get-and-set callback a control is bound through: read the variable or
// field, write it back. Text is Windows-1252 bytes, as tables store it.
#include <functional>
#include <string>

#include "core/value.h"

namespace zol {

struct Binding {
  std::function<Value()> get;
  std::function<void(const Value&)> set;
};

inline Binding bind(double& v) {
  return {[&v] { return Value(v); }, [&v](const Value& x) { v = x.number(); }};
}
inline Binding bind(int& v) {
  return {[&v] { return Value(v); }, [&v](const Value& x) { v = static_cast<int>(x.number()); }};
}
inline Binding bind(long& v) {
  return {[&v] { return Value(v); }, [&v](const Value& x) { v = static_cast<long>(x.number()); }};
}
inline Binding bind(std::string& v) {
  return {[&v] { return Value(v); }, [&v](const Value& x) { v = x.text(); }};
}
inline Binding bind(Date& v) {
  return {[&v] { return Value(v); }, [&v](const Value& x) { v = x.date(); }};
}

}  // namespace zol
