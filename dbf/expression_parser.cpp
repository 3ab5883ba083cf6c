#include "dbf/expression_parser.h"

#include <limits>

#include "core/code_page.h"
#include "dbf/expression_tokens.h"

namespace lgoty::dbf {

// Message texts of compile errors.
namespace {
constexpr const char* kMissingClosingBracket = "Missing closing bracket";
constexpr const char* kMissingOperatorBrackets = "Missing operator between )(";
constexpr const char* kMissingOperatorAfterBracket =
    "Missing operator between ) and constant/variable";
constexpr const char* kMissingOperatorBeforeBracket =
    "Missing operator between constant/variable and (";
constexpr const char* kUnequalBrackets = "Unequal brackets";
constexpr const char* kOperatorMissing = "Operator/function missing";
constexpr const char* kTooFewArguments = "Function or operand has too few arguments";
constexpr const char* kTooManyArguments = "Function or operand has too many arguments";
constexpr const char* kArgumentTypeMismatch = "Argument type mismatch";
constexpr const char* kNoFunction = "No function with this name, remove brackets for variable";
constexpr const char* kNestedTooDeeply = "Expression nested too deeply";

std::string UnknownVariableMessage(const std::string& name) {
  return "Unknown variable '" + name + "' found.";
}
std::string MissingOperatorMessage(const std::string& first, const std::string& second) {
  return "Missing operator between '" + first + "' and '" + second + "'";
}
}  // namespace

enum class TItemKind { Operand, Function, Operator, LeftBracket, RightBracket, Comma };

struct TCustomExpressionParser::Item {
  TItemKind kind;
  std::string text;
  TValueWord* operand = nullptr;
  std::vector<const TFunction*> rows;
  bool IsOperator(std::string_view name) const {
    return kind == TItemKind::Operator && text == name;
  }
  int Precedence() const { return rows.empty() ? 0 : rows.front()->Precedence(); }
  bool Prefix() const { return !rows.empty() && rows.front()->IsPrefix(); }
};

struct TCustomExpressionParser::Node {
  const TFunction* function = nullptr;
  TValueWord* leaf = nullptr;
  std::vector<Node*> args;
  TExpressionType type = TExpressionType::etInteger;
};

// Turns the text into items, checks them, builds the tree and flattens it into the parser.
class TCustomExpressionParser::Builder {
 public:
  explicit Builder(TCustomExpressionParser& parser) : parser_(parser) {}

  void Run(std::string_view text) {
    tokens_ = TokenizeExpression(text);
    Resolve();
    CollapseSigns();
    CollapseNots();
    Check();
    if (items_.empty()) throw EParserException(kOperatorMissing);
    MatchBrackets();
    if (items_.size() == 1 && items_[0].kind == TItemKind::Operand) {
      Finish(items_[0].operand->Value(), items_[0].operand->ResultType());
      if (items_[0].operand->Kind() == TWordKind::Variable) {
        parser_.single_variable_ = static_cast<TVariable*>(items_[0].operand);
      }
      return;
    }
    Node* root = Build(0, items_.size(), 0);
    TExprValue* result = Flatten(root);
    Finish(*result, root->type);
  }

 private:
  // ---- words ------------------------------------------------------------------------------

  std::vector<const TFunction*> Rows(const std::vector<const TExprWord*>& words, bool prefix) {
    std::vector<const TFunction*> rows;
    for (const TExprWord* word : words) {
      if (word->Kind() != TWordKind::Function) continue;
      const auto* function = static_cast<const TFunction*>(word);
      if (!function->IsOperator() || function->IsPrefix() == prefix) rows.push_back(function);
    }
    return rows;
  }

  void Resolve() {
    for (size_t i = 0; i < tokens_.size(); ++i) {
      const TToken& token = tokens_[i];
      Item item{TItemKind::Operand, token.text, nullptr, {}};
      switch (token.kind) {
        case TTokenKind::String:
          item.operand = AddConstant(std::make_unique<TStringConstant>(
              token.text, ToTextCodePage(token.text)));
          item.text = token.text;
          break;
        case TTokenKind::Integer:
          if (token.integer_overflow) {
            item.operand = AddConstant(
                std::make_unique<TFloatConstant>(token.text, static_cast<double>(token.integer)));
          } else if (token.integer <= std::numeric_limits<int32_t>::max()) {
            item.operand = AddConstant(std::make_unique<TIntegerConstant>(
                token.text, static_cast<int32_t>(token.integer)));
          } else {
            item.operand =
                AddConstant(std::make_unique<TLargeIntConstant>(token.text, token.integer));
          }
          break;
        case TTokenKind::Float:
          item.operand = AddConstant(std::make_unique<TFloatConstant>(token.text, token.real));
          break;
        case TTokenKind::Name:
        case TTokenKind::Symbol:
          ResolveWord(i, item);
          break;
      }
      items_.push_back(std::move(item));
    }
  }

  void ResolveWord(size_t i, Item& item) {
    const TToken& token = tokens_[i];
    if (token.kind == TTokenKind::Symbol) {
      if (token.text == "(") { item.kind = TItemKind::LeftBracket; return; }
      if (token.text == ")") { item.kind = TItemKind::RightBracket; return; }
      if (token.text == ",") { item.kind = TItemKind::Comma; return; }
    }
    const std::vector<const TExprWord*> words = parser_.words_.Find(token.text);
    if (!words.empty()) {
      const TExprWord* first = words.front();
      if (first->Kind() == TWordKind::Function) {
        const auto* function = static_cast<const TFunction*>(first);
        item.kind = function->IsOperator() ? TItemKind::Operator : TItemKind::Function;
        item.rows = Rows(words, function->IsPrefix());
        return;
      }
      if (first->Kind() == TWordKind::Constant || first->Kind() == TWordKind::Variable) {
        item.operand = const_cast<TValueWord*>(static_cast<const TValueWord*>(first));
        if (first->Kind() == TWordKind::Variable) AddVariable(static_cast<TVariable*>(item.operand));
        return;
      }
    }
    const bool bracket_follows = i + 1 < tokens_.size() && tokens_[i + 1].text == "(" &&
                                 tokens_[i + 1].kind == TTokenKind::Symbol;
    if (token.kind == TTokenKind::Name) {
      // A name with brackets that is neither a function nor a known variable.
      if (bracket_follows) {
        TVariable* variable = nullptr;
        try {
          variable = parser_.ResolveName(token.text);
        } catch (const core::Exception&) {
        }
        if (variable == nullptr) throw EParserException(kNoFunction);
      }
      if (TVariable* variable = parser_.ResolveName(token.text)) {
        item.operand = variable;
        AddVariable(variable);
        return;
      }
    }
    throw EParserException(UnknownVariableMessage(token.text));
  }

  TValueWord* AddConstant(std::unique_ptr<TConstant> constant) {
    TValueWord* raw = constant.get();
    parser_.constants_.push_back(std::move(constant));
    return raw;
  }

  void AddVariable(TVariable* variable) {
    for (TVariable* known : parser_.variables_) {
      if (known == variable) return;
    }
    parser_.variables_.push_back(variable);
  }

  std::string ToTextCodePage(const std::string& utf8) const {
    const int code_page = parser_.TextCodePage();
    if (code_page == 0 || !core::IsCodePageInstalled(code_page)) return utf8;
    return core::FromUtf8(code_page, utf8);
  }

  // ---- checks -----------------------------------------------------------------------------

  // Runs of + and - where an operand is expected become one sign word.
  void CollapseSigns() {
    std::vector<Item> out;
    for (size_t i = 0; i < items_.size(); ++i) {
      const bool sign = items_[i].IsOperator("+") || items_[i].IsOperator("-");
      const bool operand_expected =
          out.empty() || out.back().kind == TItemKind::Operator ||
          out.back().kind == TItemKind::LeftBracket || out.back().kind == TItemKind::Comma;
      if (!sign || !operand_expected) {
        out.push_back(std::move(items_[i]));
        continue;
      }
      size_t minus = 0;
      size_t j = i;
      for (; j < items_.size() && (items_[j].IsOperator("+") || items_[j].IsOperator("-")); ++j) {
        if (items_[j].text == "-") ++minus;
      }
      const std::string name(minus % 2 == 1 ? kUnaryMinusName : kUnaryPlusName);
      std::vector<const TFunction*> rows = Rows(parser_.words_.Find(name), true);
      if (rows.empty()) {
        out.push_back(std::move(items_[i]));
        continue;
      }
      out.push_back(Item{TItemKind::Operator, name, nullptr, std::move(rows)});
      i = j - 1;
    }
    items_ = std::move(out);
  }

  static bool IsNot(const Item& item) {
    return item.kind == TItemKind::Operator && !item.rows.empty() &&
           item.rows.front()->Name() == "NOT";
  }

  // NOT NOT x is x.
  void CollapseNots() {
    std::vector<Item> out;
    for (Item& item : items_) {
      if (IsNot(item) && !out.empty() && IsNot(out.back())) {
        out.pop_back();
        continue;
      }
      out.push_back(std::move(item));
    }
    items_ = std::move(out);
  }

  // Names of functions count as operands: two names in a row lack an operator.
  bool IsOperand(size_t i) const {
    return items_[i].kind == TItemKind::Operand || items_[i].kind == TItemKind::Function;
  }

  void Check() {
    for (size_t i = 0; i + 1 < items_.size(); ++i) {
      const Item& a = items_[i];
      const Item& b = items_[i + 1];
      const bool b_operand = IsOperand(i + 1);
      if (IsOperand(i) && b_operand) {
        throw EParserException(MissingOperatorMessage(a.text, b.text));
      }
      if (a.kind == TItemKind::RightBracket && b.kind == TItemKind::LeftBracket) {
        throw EParserException(kMissingOperatorBrackets);
      }
      if (a.kind == TItemKind::RightBracket && b_operand) {
        throw EParserException(kMissingOperatorAfterBracket);
      }
      if (a.kind == TItemKind::Operand && b.kind == TItemKind::LeftBracket) {
        throw EParserException(kMissingOperatorBeforeBracket);
      }
    }
    if (!items_.empty() && items_.back().kind == TItemKind::LeftBracket) {
      throw EParserException(kMissingClosingBracket);
    }
    long depth = 0;
    for (const Item& item : items_) {
      if (item.kind == TItemKind::LeftBracket) ++depth;
      if (item.kind == TItemKind::RightBracket && --depth < 0) break;
    }
    if (depth != 0) throw EParserException(kUnequalBrackets);
  }

  void MatchBrackets() {
    match_.assign(items_.size(), 0);
    std::vector<size_t> open;
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].kind == TItemKind::LeftBracket) open.push_back(i);
      if (items_[i].kind == TItemKind::RightBracket) {
        match_[open.back()] = i;
        match_[i] = open.back();
        open.pop_back();
      }
    }
  }

  // ---- tree -------------------------------------------------------------------------------

  Node* NewNode() {
    nodes_.push_back(std::make_unique<Node>());
    return nodes_.back().get();
  }

  Node* Build(size_t lo, size_t hi, size_t depth) {
    if (depth > kMaxExpressionDepth) throw EParserException(kNestedTooDeeply);
    while (hi - lo >= 2 && items_[lo].kind == TItemKind::LeftBracket && match_[lo] == hi - 1) {
      ++lo;
      --hi;
    }
    if (lo >= hi) throw EParserException(kOperatorMissing);

    size_t root = hi;
    for (size_t i = lo; i < hi; ++i) {
      if (items_[i].kind == TItemKind::LeftBracket) {
        i = match_[i];
        continue;
      }
      if (items_[i].kind == TItemKind::Operator &&
          (root == hi || items_[i].Precedence() > items_[root].Precedence())) {
        root = i;
      }
    }
    if (root != hi) return BuildOperator(lo, root, hi, depth);

    const Item& first = items_[lo];
    if (hi - lo == 1 && first.kind == TItemKind::Operand) {
      Node* node = NewNode();
      node->leaf = first.operand;
      node->type = first.operand->ResultType();
      return node;
    }
    if (first.kind == TItemKind::Function) {
      std::vector<Node*> args;
      if (hi - lo == 1) return Resolve(first, args);
      if (items_[lo + 1].kind == TItemKind::LeftBracket && match_[lo + 1] == hi - 1) {
        size_t start = lo + 2;
        for (size_t i = lo + 2; i < hi - 1; ++i) {
          if (items_[i].kind == TItemKind::LeftBracket) {
            i = match_[i];
          } else if (items_[i].kind == TItemKind::Comma) {
            args.push_back(Build(start, i, depth + 1));
            start = i + 1;
          }
        }
        if (start < hi - 1 || !args.empty()) args.push_back(Build(start, hi - 1, depth + 1));
        return Resolve(first, args);
      }
    }
    throw EParserException(kOperatorMissing);
  }

  Node* BuildOperator(size_t lo, size_t root, size_t hi, size_t depth) {
    const Item& op = items_[root];
    std::vector<Node*> args;
    if (op.Prefix()) {
      if (root > lo) throw EParserException(kTooManyArguments);
      if (root + 1 >= hi) throw EParserException(kTooFewArguments);
      args.push_back(Build(root + 1, hi, depth + 1));
    } else {
      if (root == lo || root + 1 >= hi) throw EParserException(kTooFewArguments);
      args.push_back(Build(lo, root, depth + 1));
      args.push_back(Build(root + 1, hi, depth + 1));
    }
    return Resolve(op, args);
  }

  // Picks the row whose signature matches the argument types.
  Node* Resolve(const Item& item, std::vector<Node*>& args) {
    const size_t count = args.size();
    bool all_fewer = true;
    bool all_more = true;
    for (const TFunction* row : item.rows) {
      if (count >= row->MinArgs()) all_fewer = false;
      if (count <= row->Signature().size()) all_more = false;
      if (count < row->MinArgs() || count > row->Signature().size()) continue;
      bool match = true;
      for (size_t k = 0; k < count && match; ++k) {
        match = row->Signature()[k] == SignatureLetter(args[k]->type);
      }
      if (!match) continue;
      Node* node = NewNode();
      node->function = row;
      node->args = std::move(args);
      node->type = row->ResultType();
      return node;
    }
    if (all_fewer) throw EParserException(kTooFewArguments);
    if (all_more) throw EParserException(kTooManyArguments);
    throw EParserException(kArgumentTypeMismatch);
  }

  // ---- steps ------------------------------------------------------------------------------

  TExprValue* Flatten(Node* node) {
    if (node->leaf != nullptr) return &node->leaf->Value();
    TExprStep step;
    step.func = node->function->Func();
    step.arg_count = node->args.size();
    for (size_t k = 0; k < node->args.size(); ++k) step.args[k] = Flatten(node->args[k]);
    parser_.slots_.push_back(std::make_unique<TExprValue>());
    TExprValue* slot = parser_.slots_.back().get();
    slot->type = node->type;
    slot->buffer.reserve(kInitialTextBuffer);
    step.result = slot;
    parser_.steps_.push_back(step);
    return slot;
  }

  void Finish(TExprValue& result, TExpressionType type) {
    parser_.result_ = &result;
    parser_.result_type_ = type;
  }

  TCustomExpressionParser& parser_;
  std::vector<TToken> tokens_;
  std::vector<Item> items_;
  std::vector<size_t> match_;
  std::vector<std::unique_ptr<Node>> nodes_;
};

// ---- the parser -------------------------------------------------------------------------------

TCustomExpressionParser::TCustomExpressionParser() = default;
TCustomExpressionParser::~TCustomExpressionParser() = default;

void TCustomExpressionParser::Reset() {
  constants_.clear();
  slots_.clear();
  variables_.clear();
  steps_.clear();
  result_ = nullptr;
  single_variable_ = nullptr;
  result_length_ = 0;
}

void TCustomExpressionParser::RebuildWordList() {
  words_.Clear();
  const TStringCompareSet active =
      case_insensitive_
          ? (partial_match_ ? TStringCompareSet::InsensitivePartial : TStringCompareSet::Insensitive)
          : (partial_match_ ? TStringCompareSet::SensitivePartial : TStringCompareSet::Sensitive);
  for (const auto& word : defined_words_) words_.Add(word.get());
  for (const auto& word : BuiltinWords()) {
    const auto* function = dynamic_cast<const TFunction*>(word.get());
    if (function != nullptr && function->CompareSet() != TStringCompareSet::Any &&
        function->CompareSet() != active) {
      continue;
    }
    words_.Add(word.get());
  }
  words_dirty_ = false;
}

void TCustomExpressionParser::CompileExpression(std::string_view text) {
  Reset();
  expression_ = std::string(text);
  ClearNames();
  if (words_dirty_) RebuildWordList();
  context_ = std::make_unique<TExpressionContext>(TextCodePage());
  try {
    Builder(*this).Run(expression_);
    for (TExprStep& step : steps_) step.context = context_.get();
    switch (result_type_) {
      case TExpressionType::etInteger: result_length_ = 4; break;
      case TExpressionType::etBoolean: result_length_ = 1; break;
      case TExpressionType::etString: result_length_ = StringResultLength(); break;
      default: result_length_ = 8; break;
    }
    CheckCompiled();
  } catch (...) {
    Reset();
    throw;
  }
}

void TCustomExpressionParser::Recompile() {
  if (!expression_.empty()) CompileExpression(std::string(expression_));
}

const TExprValue& TCustomExpressionParser::Evaluate(std::span<const std::byte> record) {
  for (TVariable* variable : variables_) variable->Refresh(record);
  for (TExprStep& step : steps_) step.func(step);
  return *result_;
}

const void* TCustomExpressionParser::ResultPointer() const {
  switch (result_->type) {
    case TExpressionType::etInteger: return &result_->integer;
    case TExpressionType::etString: return result_->text;
    case TExpressionType::etBoolean: return &result_->boolean;
    case TExpressionType::etLargeInt: return &result_->large;
    default: return &result_->real;
  }
}

void TCustomExpressionParser::SetCaseInsensitive(bool value) {
  if (case_insensitive_ == value) return;
  case_insensitive_ = value;
  words_dirty_ = true;
  Recompile();
}

void TCustomExpressionParser::SetPartialMatch(bool value) {
  if (partial_match_ == value) return;
  partial_match_ = value;
  words_dirty_ = true;
  Recompile();
}

void TCustomExpressionParser::DefineWord(std::unique_ptr<TExprWord> word) {
  defined_words_.push_back(std::move(word));
  words_dirty_ = true;
}

TVariable* TCustomExpressionParser::ResolveName(const std::string&) { return nullptr; }

int TCustomExpressionParser::TextCodePage() const { return core::AnsiCodePage(); }

size_t TCustomExpressionParser::StringResultLength() { return Evaluate({}).length; }

}  // namespace lgoty::dbf
