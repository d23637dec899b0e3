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
  return e;
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
