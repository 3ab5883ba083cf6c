#include "data/filter_expression.h"

#include <cctype>
#include <vector>

#include "core/locale.h"
#include "core/text_format.h"
#include "core/utf8_text.h"
#include "data/database_error.h"

namespace lgoty::data {

namespace filter_detail {

enum class NodeKind { kOr, kAnd, kNot, kCompare };
enum class CompareOp { kEq, kNe, kLt, kGt, kLe, kGe };

struct Operand {
  TField* field = nullptr;  // else a literal
  core::Variant literal;
  bool prefix = false;      // a text literal that ended in '*'
};

}  // namespace filter_detail

using filter_detail::CompareOp;
using filter_detail::NodeKind;
using filter_detail::Operand;

struct TFilterExpression::Node {
  NodeKind kind;
  std::unique_ptr<Node> left, right;
  CompareOp op = CompareOp::kEq;
  Operand a, b;
};

namespace {

using Node = TFilterExpression::Node;

class Parser {
 public:
  Parser(std::string_view text, const TFields& fields, TFilterOptions options)
      : text_(text), fields_(fields), options_(options) {}

  std::unique_ptr<Node> Parse() {
    auto root = Or();
    SkipBlanks();
    if (pos_ < text_.size()) Fail("unexpected text");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw EDatabaseError("Filter expression error at position " + std::to_string(pos_ + 1) +
                         ": " + what);
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }

  static bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
  }

  // The keyword at the current place (whole word, any case).
  bool Keyword(std::string_view word) {
    SkipBlanks();
    if (text_.size() - pos_ < word.size()) return false;
    if (!core::SameText(text_.substr(pos_, word.size()), word)) return false;
    if (pos_ + word.size() < text_.size() && IsWordChar(text_[pos_ + word.size()])) return false;
    pos_ += word.size();
    return true;
  }

  std::unique_ptr<Node> Binary(NodeKind kind, std::unique_ptr<Node> left,
                               std::unique_ptr<Node> right) {
    // A chain of operators makes a tree as deep as it is long; evaluating and freeing it
    // recurse that deep.
    if (++operators_ > kMaxOperators) Fail("expression too long");
    auto node = std::make_unique<Node>();
    node->kind = kind;
    node->left = std::move(left);
    node->right = std::move(right);
    return node;
  }

  std::unique_ptr<Node> Or() {
    auto left = And();
    while (Keyword("OR")) left = Binary(NodeKind::kOr, std::move(left), And());
    return left;
  }

  std::unique_ptr<Node> And() {
    auto left = Unary();
    while (Keyword("AND")) left = Binary(NodeKind::kAnd, std::move(left), Unary());
    return left;
  }

  std::unique_ptr<Node> Unary() {
    if (++depth_ > kMaxDepth) Fail("expression nested too deeply");
    std::unique_ptr<Node> result;
    if (Keyword("NOT")) {
      result = Binary(NodeKind::kNot, Unary(), nullptr);
    } else {
      SkipBlanks();
      if (pos_ < text_.size() && text_[pos_] == '(') {
        ++pos_;
        result = Or();
        SkipBlanks();
        if (pos_ >= text_.size() || text_[pos_] != ')') Fail("')' expected");
        ++pos_;
      } else {
        result = Comparison();
      }
    }
    --depth_;
    return result;
  }

  std::unique_ptr<Node> Comparison() {
    auto node = std::make_unique<Node>();
    node->kind = NodeKind::kCompare;
    node->a = ParseOperand();
    SkipBlanks();
    static constexpr std::pair<std::string_view, CompareOp> kOps[] = {
        {"<>", CompareOp::kNe}, {"<=", CompareOp::kLe}, {">=", CompareOp::kGe},
        {"=", CompareOp::kEq},  {"<", CompareOp::kLt},  {">", CompareOp::kGt}};
    bool found = false;
    for (const auto& [text, op] : kOps) {
      if (text_.substr(pos_, text.size()) == text) {
        node->op = op;
        pos_ += text.size();
        found = true;
        break;
      }
    }
    if (!found) Fail("comparison operator expected");
    node->b = ParseOperand();
    return node;
  }

  Operand ParseOperand() {
    SkipBlanks();
    if (pos_ >= text_.size()) Fail("operand expected");
    Operand operand;
    char c = text_[pos_];
    if (c == '\'') {
      std::string value;
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size()) Fail("unterminated text");
        if (text_[pos_] == '\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
            value += '\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        value += text_[pos_++];
      }
      if (!options_.foNoPartialCompare && !value.empty() && value.back() == '*') {
        value.pop_back();
        operand.prefix = true;
      }
      operand.literal = core::Variant(std::move(value));
      return operand;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.') {
      size_t start = pos_++;
      while (pos_ < text_.size() &&
             (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.')) {
        ++pos_;
      }
      std::string number(text_.substr(start, pos_ - start));
      int64_t whole = 0;
      if (core::TryStrToInt64(number, whole)) {
        operand.literal = core::Variant(whole);
      } else {
        core::FormatSettings dot;
        double real = 0;
        if (!core::TryStrToFloat(number, real, dot)) Fail("bad number '" + number + "'");
        operand.literal = core::Variant(real);
      }
      return operand;
    }
    std::string name;
    if (c == '[') {
      size_t close = text_.find(']', pos_);
      if (close == std::string_view::npos) Fail("']' expected");
      name = std::string(text_.substr(pos_ + 1, close - pos_ - 1));
      pos_ = close + 1;
    } else {
      if (Keyword("NULL")) {
        operand.literal = core::Variant::Null();
        return operand;
      }
      if (Keyword("TRUE")) {
        operand.literal = core::Variant(true);
        return operand;
      }
      if (Keyword("FALSE")) {
        operand.literal = core::Variant(false);
        return operand;
      }
      size_t start = pos_;
      while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
      if (pos_ == start) Fail("operand expected");
      name = std::string(text_.substr(start, pos_ - start));
    }
    operand.field = &fields_.FieldByName(name);
    return operand;
  }

  static constexpr int kMaxDepth = 200;
  static constexpr int kMaxOperators = 10000;
  int operators_ = 0;
  std::string_view text_;
  const TFields& fields_;
  TFilterOptions options_;
  size_t pos_ = 0;
  int depth_ = 0;
};

bool IsText(const Operand& operand, const core::Variant& value) {
  if (operand.field) {
    switch (operand.field->DataType()) {
      case TFieldType::ftString:
      case TFieldType::ftFixedChar:
      case TFieldType::ftWideString:
      case TFieldType::ftGuid:
      case TFieldType::ftMemo:
      case TFieldType::ftFmtMemo:
        return true;
      default:
        return false;
    }
  }
  return value.IsString();
}

bool Holds(CompareOp op, int order) {
  switch (op) {
    case CompareOp::kEq: return order == 0;
    case CompareOp::kNe: return order != 0;
    case CompareOp::kLt: return order < 0;
    case CompareOp::kGt: return order > 0;
    case CompareOp::kLe: return order <= 0;
    case CompareOp::kGe: return order >= 0;
  }
  return false;
}

bool Compare(const Node& node, TFilterOptions options) {
  core::Variant a = node.a.field ? node.a.field->AsVariant() : node.a.literal;
  core::Variant b = node.b.field ? node.b.field->AsVariant() : node.b.literal;
  if (a.IsEmptyOrNull() || b.IsEmptyOrNull()) {
    bool both = a.IsEmptyOrNull() && b.IsEmptyOrNull();
    if (node.op == CompareOp::kEq) return both;
    if (node.op == CompareOp::kNe) return !both;
    return false;
  }
  if (IsText(node.a, a) && IsText(node.b, b)) {
    std::string left = a.AsString();
    std::string right = b.AsString();
    bool ci = options.foCaseInsensitive;
    // A prefix pattern on either side cuts the other text to the pattern's length.
    if ((node.a.prefix || node.b.prefix) &&
        (node.op == CompareOp::kEq || node.op == CompareOp::kNe)) {
      std::string& text = node.b.prefix ? left : right;
      const std::string& pattern = node.b.prefix ? right : left;
      text = std::string(core::Utf8Prefix(text, core::Utf8Length(pattern)));
    }
    int order;
    if (node.op == CompareOp::kEq || node.op == CompareOp::kNe) {
      order = ci ? (core::AnsiSameText(left, right) ? 0 : 1) : (left == right ? 0 : 1);
    } else {
      order = ci ? core::AnsiCompareText(left, right) : core::AnsiCompareStr(left, right);
    }
    return Holds(node.op, order);
  }
  try {
    switch (core::VarCompare(a, b)) {
      case core::VarCompareResult::Less: return Holds(node.op, -1);
      case core::VarCompareResult::Equal: return Holds(node.op, 0);
      case core::VarCompareResult::Greater: return Holds(node.op, 1);
      case core::VarCompareResult::NotEqual: return node.op == CompareOp::kNe;
    }
  } catch (const core::Exception&) {
    return node.op == CompareOp::kNe;
  }
  return false;
}

bool Eval(const Node& node, TFilterOptions options) {
  switch (node.kind) {
    case NodeKind::kOr: return Eval(*node.left, options) || Eval(*node.right, options);
    case NodeKind::kAnd: return Eval(*node.left, options) && Eval(*node.right, options);
    case NodeKind::kNot: return !Eval(*node.left, options);
    case NodeKind::kCompare: return Compare(node, options);
  }
  return false;
}

}  // namespace

TFilterExpression::TFilterExpression(std::string_view text, const TFields& fields,
                                     TFilterOptions options)
    : root_(Parser(text, fields, options).Parse()), options_(options) {}

TFilterExpression::~TFilterExpression() = default;

bool TFilterExpression::Evaluate() const { return Eval(*root_, options_); }

}  // namespace lgoty::data
