// The grammar interpreter: walks a decoded grammar over the tokenizer and emits the IL
// tree. Matching is recursive descent with backtracking: an element that does not match
// restores the position and drops what it emitted. Only the first recorded error counts.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/file.h"
#include "script/grammar.h"
#include "script/language_registry.h"

namespace lgoty::script {

namespace {

// Thrown when the grammar recursion would run too deep for the stack.
struct TooDeep {
  int position;
};

class Interpreter {
 public:
  Interpreter(const Grammar& grammar, TfsParser& parser, IlNode& root)
      : grammar_(grammar), parser_(parser) {
    stack_.push_back(&root);
  }

  bool Match(const GrammarElement& e);
  bool HasError() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }
  int ErrorPosition() const { return error_position_; }

 private:
  bool MatchKind(const GrammarElement& e);
  bool MatchChildren(const std::vector<GrammarElement>& children);
  bool MatchLoop(const GrammarElement& e);
  bool MatchTerminal(const GrammarElement& e, std::string& token);
  void Emit(const GrammarElement& e, const std::string& token);
  void SetStart(IlNode& n) {
    n.offset = parser_.LastPosition() - 1;
    parser_.PosToLineCol(parser_.LastPosition(), n.line, n.column);
  }
  void SetEnd(IlNode& n) {
    n.end_offset = std::max(n.offset, parser_.Position() - 1);
    parser_.PosToLineCol(parser_.Position(), n.end_line, n.end_column);
  }
  IlNode& Current() { return *stack_.back(); }

  const Grammar& grammar_;
  TfsParser& parser_;
  std::vector<IlNode*> stack_;
  std::string error_;
  int error_position_ = 0;
  int depth_ = 0;
  // Rounds of enclosing loops: true while a round runs whose failure the loop survives.
  std::vector<bool> later_round_;
};

bool Interpreter::Match(const GrammarElement& e) {
  if (++depth_ > kMaxGrammarDepth) throw TooDeep{parser_.Position()};
  const int start = parser_.Position();
  IlNode& parent = Current();
  const size_t mark = parent.children.size();
  const bool had_error = HasError();
  bool ok = MatchKind(e);
  --depth_;
  if (ok) return true;
  parser_.SetPosition(start);
  // Drop what this element emitted (and whatever it left open).
  while (stack_.back() != &parent) stack_.pop_back();
  parent.children.resize(std::min(parent.children.size(), mark));
  if (e.term && !had_error && HasError() && !later_round_.empty() && later_round_.back()) {
    error_.clear();
  }
  if (e.err != 0 && !HasError()) {
    parser_.SkipSpaces();
    error_ = grammar_.ErrorText(e.err);
    if (error_.empty()) error_ = "Syntax error";
    error_position_ = parser_.Position();
    parser_.SetPosition(start);
  }
  return false;
}

bool Interpreter::MatchChildren(const std::vector<GrammarElement>& children) {
  for (const auto& c : children) {
    if (!Match(c)) return false;
  }
  return true;
}

void Interpreter::Emit(const GrammarElement& e, const std::string& token) {
  IlNode* n = Current().Add(e.add);
  n->text = e.has_addtext ? e.addtext : token;
  SetStart(*n);
  SetEnd(*n);
}

bool Interpreter::MatchTerminal(const GrammarElement& e, std::string& token) {
  switch (e.kind) {
    case GrammarKind::Char:
      token = parser_.GetChar(e.skip);
      if (token.empty() || (!e.text.empty() && token != e.text)) return false;
      break;
    case GrammarKind::Keyword:
      token = parser_.GetIdent();
      if (token.empty() || (!e.text.empty() && !parser_.SameText(token, e.text))) return false;
      break;
    case GrammarKind::Ident:
      token = parser_.GetIdent();
      if (token.empty() || parser_.IsKeyword(token)) return false;
      if (!e.text.empty() && !parser_.SameText(token, e.text)) return false;
      break;
    case GrammarKind::Number:
      token = parser_.GetNumber();
      if (token.empty() || (!e.text.empty() && token != e.text)) return false;
      break;
    case GrammarKind::String:
      token = parser_.GetString();
      if (token.empty() || (!e.text.empty() && token != e.text)) return false;
      break;
    case GrammarKind::Eol:
      token = parser_.GetEOL();
      if (token.empty()) return false;
      break;
    case GrammarKind::FrString: {
      token = parser_.GetFRString();
      if (token.empty()) return false;
      // <text> reads the report variable or expression through the host function Get.
      IlNode* dsgn = Current().Add("dsgn");
      SetStart(*dsgn);
      IlNode* node = dsgn->Add("node");
      node->text = "Get";
      SetStart(*node);
      IlNode* expr = dsgn->Add("expr");
      SetStart(*expr);
      IlNode* str = expr->Add("string");
      str->text = "'" + token + "'";
      SetStart(*str);
      SetEnd(*str);
      SetEnd(*expr);
      SetEnd(*node);
      SetEnd(*dsgn);
      break;
    }
    default:
      return false;
  }
  return true;
}

bool Interpreter::MatchLoop(const GrammarElement& e) {
  int rounds = 0;
  for (;;) {
    const int round_start = parser_.Position();
    IlNode& parent = Current();
    const size_t mark = parent.children.size();
    const bool had_error = HasError();
    // A term element may end the loop without an error in any round the loop survives:
    // every round of an optional loop, the rounds after the first of a loop.
    later_round_.push_back(rounds > 0 || e.kind == GrammarKind::OptionalLoop);
    bool ok = MatchChildren(e.children);
    later_round_.pop_back();
    if (!ok) {
      if (rounds == 0) return false;
      parser_.SetPosition(round_start);
      while (stack_.back() != &parent) stack_.pop_back();
      parent.children.resize(std::min(parent.children.size(), mark));
      if (e.loop_skip && !had_error) error_.clear();
      return true;
    }
    ++rounds;
    if (!e.text.empty()) {
      const int before = parser_.Position();
      std::string sep = parser_.GetChar(true);
      if (sep != e.text) {
        parser_.SetPosition(before);
        return true;
      }
    } else if (parser_.Position() == round_start) {
      return true;
    }
  }
}

bool Interpreter::MatchKind(const GrammarElement& e) {
  const bool terminal = e.kind <= GrammarKind::Eol;
  IlNode* opened = nullptr;
  if (terminal) {
    std::string token;
    if (!MatchTerminal(e, token)) return false;
    if (!e.node.empty()) {
      opened = Current().Add(e.node);
      SetStart(*opened);
      stack_.push_back(opened);
    }
    if (!e.add.empty()) {
      Emit(e, token);
    }
    if (!MatchChildren(e.children)) return false;
  } else {
    if (!e.node.empty() || !e.add.empty()) {
      if (!(e.kind == GrammarKind::Char && !e.skip)) parser_.SkipSpaces();
    }
    if (!e.node.empty()) {
      opened = Current().Add(e.node);
      SetStart(*opened);
      stack_.push_back(opened);
    }
    if (!e.add.empty()) {
      IlNode* n = Current().Add(e.add);
      n->text = e.addtext;
      SetStart(*n);
      SetEnd(*n);
    }
    bool ok = true;
    switch (e.kind) {
      case GrammarKind::Sequence:
        ok = MatchChildren(e.children);
        break;
      case GrammarKind::RuleRef:
        ok = Match(*e.rule);
        break;
      case GrammarKind::Switch:
      case GrammarKind::OptionalSwitch: {
        ok = false;
        for (const auto& c : e.children) {
          if (Match(c)) {
            ok = true;
            break;
          }
        }
        if (e.kind == GrammarKind::OptionalSwitch) ok = true;
        break;
      }
      case GrammarKind::Optional: {
        const int start = parser_.Position();
        IlNode& parent = Current();
        const size_t mark = parent.children.size();
        if (!MatchChildren(e.children)) {
          parser_.SetPosition(start);
          while (stack_.back() != &parent) stack_.pop_back();
          parent.children.resize(std::min(parent.children.size(), mark));
        }
        break;
      }
      case GrammarKind::Loop:
        ok = MatchLoop(e);
        break;
      case GrammarKind::OptionalLoop:
        MatchLoop(e);
        break;
      default:
        ok = false;
    }
    if (!ok) return false;
  }
  if (opened != nullptr) {
    // The element ends after its last token, before any blanks that follow.
    SetEnd(*opened);
    stack_.pop_back();
  }
  return true;
}

bool IsPlainUnitName(const std::string& name) {
  if (name.empty() || name.find("..") != std::string::npos) return false;
  return name.find('/') == std::string::npos && name.find('\\') == std::string::npos &&
         name.find(':') == std::string::npos;
}

// Reads a unit file from the include path. Only plain names are looked up, so a script
// cannot reach files outside the folders the host listed.
bool ReadUnitFile(const std::string& name, const std::vector<std::string>& include_path,
                  std::string& text) {
  if (!IsPlainUnitName(name) || include_path.empty()) return false;
  std::string chosen;
  for (size_t i = 0; i < include_path.size(); ++i) {
    std::string dir = include_path[i];
    if (!dir.empty() && dir.back() != '/') dir += '/';
    chosen = dir + name;
    if (platform::FileExists(chosen)) break;
  }
  if (!platform::FileExists(chosen)) return false;
  try {
    const std::vector<std::byte> bytes = platform::ReadWholeFile(chosen);
    text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  } catch (const platform::EFileError&) {
    return false;  // not a regular file, or unreadable: as if it were not there
  }
  return true;
}

IlParseResult Parse(std::string_view text, const std::string& language, const IlParseOptions& options,
                    std::vector<std::string>& loaded_units, int unit_depth);

// Replaces every uses clause's file list by the units' own IL, each unit once.
void IncludeUnits(IlNode& root, const std::string& language, const IlParseOptions& options,
                  std::vector<std::string>& loaded_units, int unit_depth, IlParseResult& result) {
  std::vector<std::unique_ptr<IlNode>> units;
  for (const auto& child : root.children) {
    if (!child->Is(IlKind::kUses) || !child->unit.empty()) continue;
    for (const auto& file : child->children) {
      std::string name = file->text;
      if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') {
        name = name.substr(1, name.size() - 2);
      }
      std::string upper = core::AsciiUpper(name);
      if (std::find(loaded_units.begin(), loaded_units.end(), upper) != loaded_units.end()) continue;
      loaded_units.push_back(upper);
      std::string unit_text;
      bool found = options.unit_request && options.unit_request(name, unit_text);
      if (!found) found = ReadUnitFile(name, options.include_path, unit_text);
      if (!found) {
        result.error = "Cannot open unit: '" + name + "'";
        result.error_pos = file->Pos();
        return;
      }
      if (unit_depth > 16) {
        result.error = "Units nested too deep";
        result.error_pos = file->Pos();
        return;
      }
      IlParseResult sub = Parse(unit_text, language, options, loaded_units, unit_depth + 1);
      if (!sub.error.empty()) {
        result.error = sub.error;
        result.error_pos = sub.error_pos;
        result.error_unit = sub.error_unit.empty() ? name : sub.error_unit;
        return;
      }
      auto unit = std::make_unique<IlNode>("uses");
      unit->unit = name;
      unit->unit_source = std::move(unit_text);
      unit->line = file->line;
      unit->column = file->column;
      for (auto& c : sub.root->children) {
        if (!c->Is(IlKind::kTypes)) unit->children.push_back(std::move(c));
      }
      units.push_back(std::move(unit));
    }
  }
  // Units come first so that their declarations precede the script's.
  for (size_t i = 0; i < units.size(); ++i) {
    root.children.insert(root.children.begin() + static_cast<long>(i), std::move(units[i]));
  }
}

IlParseResult Parse(std::string_view text, const std::string& language, const IlParseOptions& options,
                    std::vector<std::string>& loaded_units, int unit_depth) {
  IlParseResult result;
  std::string chosen = language;
  // "#language NAME" on the first line selects the language; parsing starts after it. The
  // line is replaced by blanks so positions stay those of the text as written.
  std::string body(text);
  if (body.size() > 9 && body[0] == '#' && core::AsciiUpper(body.substr(1, 8)) == "LANGUAGE") {
    size_t eol = body.find('\n');
    std::string rest = body.substr(9, eol == std::string::npos ? std::string::npos : eol - 9);
    size_t b = rest.find_first_not_of(" \t\r");
    size_t e = rest.find_last_not_of(" \t\r");
    chosen = b == std::string::npos ? std::string() : rest.substr(b, e - b + 1);
    size_t stop = eol == std::string::npos ? body.size() : eol;
    for (size_t i = 0; i < stop; ++i) body[i] = ' ';
  }
  std::shared_ptr<const Grammar> grammar = FindLanguage(chosen);
  result.language = chosen;
  ParserSettings settings = grammar->Settings();
  settings.extended_chars = options.extended_chars;
  TfsParser parser;
  parser.Configure(settings);
  parser.SetKeywords(grammar->Keywords());
  parser.SetText(body);

  auto root = std::make_unique<IlNode>("program");
  root->line = root->column = 1;
  Interpreter interpreter(*grammar, parser, *root);
  bool ok = false;
  try {
    ok = interpreter.Match(*grammar->Rule("program"));
  } catch (const TooDeep& deep) {
    result.error = "Nesting too deep";
    result.error_pos = parser.PosToString(deep.position);
    return result;
  }
  if (interpreter.HasError()) {
    result.error = interpreter.Error();
    result.error_pos = parser.PosToString(interpreter.ErrorPosition());
    return result;
  }
  if (!ok) {
    parser.SetPosition(1);
    parser.SkipSpaces();
    result.error = "Syntax error";
    result.error_pos = parser.PosToString(parser.Position());
    return result;
  }
  IncludeUnits(*root, chosen, options, loaded_units, unit_depth, result);
  if (!result.error.empty()) return result;
  auto types = root->Add("types");
  for (const auto& t : grammar->Types().children) {
    IlNode* c = types->Add(t->name);
    c->text = t->text;
  }
  result.root = std::move(root);
  return result;
}

}  // namespace

IlParseResult TfsILParser::MakeILTree(std::string_view text, const std::string& language,
                                      const IlParseOptions& options) {
  std::vector<std::string> loaded_units;
  return Parse(text, language, options, loaded_units, 0);
}

}  // namespace lgoty::script
