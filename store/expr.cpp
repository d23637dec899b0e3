#include "store/expr.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

#include "core/error_event.h"
#include "core/numtext.h"

namespace zol {

struct KeyExpr::Node {
  enum Op : uint8_t { Field, Const, Add, Sub, Neg, Dtos, Str, Descend, Upper };
  explicit Node(Op o) : op(o) {}
  Op op;
  int a = -1, b = -1, c = -1;  // operand nodes
  int field = -1;  // field position, or constant index for Const
};

namespace {

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

class Parser {
 public:
  Parser(std::string_view s, const FieldSource& f, std::vector<KeyExpr::Node>& nodes, std::vector<Value>& consts)
      : s_(s), fields_(f), nodes_(nodes), consts_(consts) {}

  int parseAll() {
    int n = expr();
    if (n < 0) return -1;
    skipBlanks();
    if (pos_ != s_.size()) return fail("unexpected text at position " + std::to_string(pos_ + 1));
    return n;
  }
  std::string error;

 private:
  using Node = KeyExpr::Node;

  int fail(std::string why) {
    if (error.empty()) error = std::move(why);
    return -1;
  }
  void skipBlanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }
  bool eat(char c) {
    skipBlanks();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  int add(const Node& n) {
    nodes_.push_back(n);
    return static_cast<int>(nodes_.size()) - 1;
  }
  template <class T>
  int addConst(T v) {
    Node n(Node::Const);
    n.field = static_cast<int>(consts_.size());
    consts_.emplace_back(std::move(v));
    return add(n);
  }
  int expr() {
    int left = term();
    while (left >= 0) {
      Node::Op op;
      if (eat('+'))
        op = Node::Add;
      else if (eat('-'))
        op = Node::Sub;
      else
        break;
      int right = term();
      if (right < 0) return -1;
      Node n(op);
      n.a = left;
      n.b = right;
      left = add(n);
    }
    return left;
  }
  int term() {
    if (eat('-')) {
      int x = term();
      if (x < 0) return -1;
      Node n(Node::Neg);
      n.a = x;
      return add(n);
    }
    return primary();
  }
  int primary() {
    skipBlanks();
    if (pos_ >= s_.size()) return fail("expression ends too soon");
    char c = s_[pos_];
    if (c == '(') {
      ++pos_;
      int x = expr();
      if (x < 0) return -1;
      if (!eat(')')) return fail("missing )");
      return x;
    }
    if (c == '"' || c == '\'') {
      size_t end = s_.find(c, pos_ + 1);
      if (end == std::string_view::npos) return fail("unterminated text");
      std::string text(s_.substr(pos_ + 1, end - pos_ - 1));
      pos_ = end + 1;
      return addConst(std::move(text));
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
      size_t start = pos_;
      while (pos_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '.')) ++pos_;
      double v = 0;
      if (!parseNumber(s_.substr(start, pos_ - start), v)) return fail("bad number");
      return addConst(v);
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t start = pos_;
      while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_')) ++pos_;
      std::string_view name = s_.substr(start, pos_ - start);
      if (eat('(')) return call(name);
      int idx = fields_.fieldIndex(name);
      if (idx < 0) return fail("unknown field " + std::string(name));
      Node n(Node::Field);
      n.field = idx;
      return add(n);
    }
    return fail(std::string("unexpected character '") + c + "'");
  }
  int call(std::string_view name) {
    std::vector<int> args;
    if (!eat(')')) {
      for (;;) {
        int x = expr();
        if (x < 0) return -1;
        args.push_back(x);
        if (eat(')')) break;
        if (!eat(',')) return fail("missing , or ) in " + std::string(name) + "()");
      }
    }
    Node n(Node::Const);
    size_t lo = 1, hi = 1;
    if (sameName(name, "dtos")) {
      n.op = Node::Dtos;
    } else if (sameName(name, "str")) {
      n.op = Node::Str;
      hi = 3;
    } else if (sameName(name, "descend")) {
      n.op = Node::Descend;
    } else if (sameName(name, "upper")) {
      n.op = Node::Upper;
    } else {
      return fail("unknown function " + std::string(name) + "()");
    }
    if (args.size() < lo || args.size() > hi) return fail("wrong argument count for " + std::string(name) + "()");
    n.a = args[0];
    if (args.size() > 1) n.b = args[1];
    if (args.size() > 2) n.c = args[2];
    return add(n);
  }

  std::string_view s_;
  size_t pos_ = 0;
  const FieldSource& fields_;
  std::vector<Node>& nodes_;
  std::vector<Value>& consts_;
};

Value eval(const std::vector<KeyExpr::Node>& nodes, const std::vector<Value>& consts, int i, const FieldSource& src) {
  using Node = KeyExpr::Node;
  const Node& n = nodes[static_cast<size_t>(i)];
  switch (n.op) {
    case Node::Field: return src.fieldValue(n.field);
    case Node::Const: return consts[static_cast<size_t>(n.field)];
    case Node::Add:
    case Node::Sub: {
      Value a = eval(nodes, consts, n.a, src);
      Value b = eval(nodes, consts, n.b, src);
      bool add = n.op == Node::Add;
      if (a.isText() && b.isText() && add) {
        std::string s = a.text();
        s += b.text();
        return Value(std::move(s));
      }
      if (a.isNumber() && b.isNumber()) return Value(add ? a.number() + b.number() : a.number() - b.number());
      if (a.isDate() && b.isNumber()) {
        int days = static_cast<int>(b.number());
        return Value(a.date().addDays(add ? days : -days));
      }
      if (a.isNumber() && b.isDate() && add) return Value(b.date().addDays(static_cast<int>(a.number())));
      if (a.isDate() && b.isDate() && !add)
        return Value(static_cast<double>(a.date().dayNumber() - b.date().dayNumber()));
      return Value();
    }
    case Node::Neg: {
      Value a = eval(nodes, consts, n.a, src);
      return a.isNumber() ? Value(-a.number()) : Value();
    }
    case Node::Dtos: {
      Value a = eval(nodes, consts, n.a, src);
      return a.isDate() ? Value(a.date().dtos()) : Value();
    }
    case Node::Str: {
      Value a = eval(nodes, consts, n.a, src);
      if (!a.isNumber()) return Value();
      int width = 10, decimals = 0;
      if (n.b >= 0) {
        Value w = eval(nodes, consts, n.b, src);
        if (!w.isNumber()) return Value();
        width = static_cast<int>(w.number());
      }
      if (n.c >= 0) {
        Value d = eval(nodes, consts, n.c, src);
        if (!d.isNumber()) return Value();
        decimals = static_cast<int>(d.number());
      }
      return Value(str(a.number(), width, decimals));
    }
    case Node::Descend: {
      Value a = eval(nodes, consts, n.a, src);
      if (a.isNumber()) return Value(-a.number());
      if (!a.isText()) return Value();
      std::string s = a.text();
      // 256 - b, with 0 staying 0: the two's complement of the byte.
      for (char& ch : s) ch = static_cast<char>(-static_cast<unsigned char>(ch));
      return Value(std::move(s));
    }
    case Node::Upper: {
      Value a = eval(nodes, consts, n.a, src);
      if (!a.isText()) return Value();
      std::string s = a.text();
      for (char& ch : s)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
      return Value(std::move(s));
    }
  }
  return Value();
}

}  // namespace

KeyExpr::~KeyExpr() = default;

std::unique_ptr<KeyExpr> KeyExpr::compile(std::string_view text, const FieldSource& fields, std::string* error) {
  std::unique_ptr<KeyExpr> e(new KeyExpr);
  e->text_ = std::string(text);
  Parser p(text, fields, e->nodes_, e->consts_);
  e->root_ = p.parseAll();
  if (e->root_ < 0) {
    if (error) *error = p.error;
    return nullptr;
  }
  e->planFastKey(fields);
  return e;
}

void KeyExpr::planFastKey(const FieldSource& fields) {
  // Flatten a chain of "+" into its pieces; every piece must be a shape whose
  // text equals the field's stored bytes when those are in canonical form.
  std::vector<int> terms;
  std::vector<int> stack{root_};
  while (!stack.empty()) {
    int i = stack.back();
    stack.pop_back();
    const Node& n = nodes_[static_cast<size_t>(i)];
    if (n.op == Node::Add) {
      stack.push_back(n.b);
      stack.push_back(n.a);
    } else {
      terms.push_back(i);
    }
  }
  std::vector<Piece> plan;
  for (int i : terms) {
    const Node& n = nodes_[static_cast<size_t>(i)];
    std::string_view bytes;
    char type = 0;
    int dec = 0;
    auto fieldOf = [&](int node) {
      const Node& f = nodes_[static_cast<size_t>(node)];
      return f.op == Node::Field && fields.rawField(f.field, bytes, type, dec) ? f.field : -1;
    };
    auto constNumber = [&](int node, double& v) {
      if (node < 0) return false;
      const Node& c = nodes_[static_cast<size_t>(node)];
      if (c.op != Node::Const || !consts_[static_cast<size_t>(c.field)].isNumber()) return false;
      v = consts_[static_cast<size_t>(c.field)].number();
      return true;
    };
    if (n.op == Node::Field) {
      int f = fieldOf(i);
      if (f < 0 || type != 'C') return;
      plan.push_back({'C', f});
    } else if (n.op == Node::Dtos) {
      int f = fieldOf(n.a);
      if (f < 0 || type != 'D' || bytes.size() != 8) return;
      plan.push_back({'D', f});
    } else if (n.op == Node::Str) {
      int f = fieldOf(n.a);
      double w = 10, d = 0;
      if (f < 0 || type != 'N' || !constNumber(n.b, w)) return;
      if (n.c >= 0 && !constNumber(n.c, d)) return;
      if (w != static_cast<double>(bytes.size()) || d != dec) return;
      plan.push_back({'N', f});
    } else {
      return;
    }
  }
  plan_ = std::move(plan);
}

namespace {

// Whether stored numeric bytes are exactly what str() gives for their value:
// blanks, an optional "-", digits without a superfluous leading zero, and the
// decimals after a point at their place. Anything else takes the slow path.
bool canonicalNumber(std::string_view b, int dec) {
  size_t i = 0;
  while (i < b.size() && b[i] == ' ') ++i;
  bool neg = i < b.size() && b[i] == '-';
  if (neg) ++i;
  const size_t intEnd = dec > 0 ? b.size() - static_cast<size_t>(dec) - 1 : b.size();
  if (dec > 0 && (intEnd >= b.size() || b[intEnd] != '.')) return false;
  if (i >= intEnd) return false;  // no integer digit
  if (b[i] == '0' && i + 1 < intEnd) return false;
  bool nonZero = false;
  int digits = 0;
  for (size_t k = i; k < b.size(); ++k) {
    if (k == intEnd) continue;
    if (b[k] < '0' || b[k] > '9') return false;
    nonZero = nonZero || b[k] != '0';
    ++digits;
  }
  // Beyond 15 digits a double no longer holds every value exactly.
  return digits <= 15 && (!neg || nonZero);  // "-0.00" prints as "0.00"
}

bool canonicalDate(std::string_view b) {
  if (b == "        ") return true;
  for (char c : b)
    if (c < '0' || c > '9') return false;
  auto num = [&](size_t from, size_t len) {
    int v = 0;
    for (size_t k = from; k < from + len; ++k) v = v * 10 + (b[k] - '0');
    return v;
  };
  return Date::validYmd(num(0, 4), num(4, 2), num(6, 2));
}

}  // namespace

bool KeyExpr::fastKey(const FieldSource& record, int length, std::string& out) const {
  if (plan_.empty()) return false;
  out.clear();
  for (const Piece& p : plan_) {
    std::string_view bytes;
    char type = 0;
    int dec = 0;
    if (!record.rawField(p.field, bytes, type, dec)) return false;
    if (p.kind == 'D' && !canonicalDate(bytes)) return false;
    if (p.kind == 'N' && !canonicalNumber(bytes, dec)) return false;
    out.append(bytes.data(), bytes.size());
  }
  out.resize(static_cast<size_t>(length), ' ');
  return true;
}

Value KeyExpr::evaluate(const FieldSource& record) const { return eval(nodes_, consts_, root_, record); }

namespace {

void raiseKeyError(int gen, int sub, const char* desc, const std::string& fileName, const std::string& arg) {
  ErrorEvent e;
  e.genCode = gen;
  e.subsystem = "DBFCDX";
  e.subCode = sub;
  e.description = desc;
  e.fileName = fileName;
  e.operation = "INDEX";
  e.args.push_back(arg);
  e.canDefault = true;
  raiseError(e);
}

}  // namespace

bool learnKeyLayout(const KeyExpr& expr, const FieldSource& phantom, KeyType& type, int& length,
                    const std::string& fileName) {
  Value v = expr.evaluate(phantom);
  if (!keyTypeOf(v.kind(), type)) {
    raiseKeyError(ErrGen::DataType, 1026, "Data type error", fileName, expr.text());
    return false;
  }
  switch (type) {
    case KeyType::Character:
      length = static_cast<int>(v.text().size());
      if (length == 0) {
        raiseKeyError(ErrGen::DataType, 1026, "Data type error", fileName, expr.text());
        return false;
      }
      if (length > kMaxKeyLength) {
        raiseKeyError(ErrGen::DataWidth, 1026, "Data width error", fileName, expr.text());
        length = kMaxKeyLength;
      }
      return true;
    case KeyType::Numeric:
    case KeyType::Date: length = kNumericKeyLength; return true;
    case KeyType::Logical: length = 1; return true;
  }
  return false;
}

void raiseExpressionError(const std::string& text, const std::string& why, const std::string& fileName) {
  raiseKeyError(ErrGen::DataType, 1026, "Data type error", fileName, text + ": " + why);
}

}  // namespace zol
