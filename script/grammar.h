// Grammar documents and the grammar interpreter (TfsILParser).
//
// A language is an XML document:
//   <language text="Name">
//     <parser> tokenizer settings, each as <setting text="value"/> </parser>
//     <keywords> <and/> <array/> ... </keywords>
//     <errors> <err1 text="Identifier expected"/> ... </errors>
//     <types> ... </types>                      copied into every IL tree
//     <program> ... </program>                  one element per rule; parsing starts here
//   </language>
// Rule bodies are made of the elements of GrammarKind (terminals, sequence, switch, loops,
// references to other rules) with the attributes node, add, addtext, err, term and skip.
// The document is decoded once into a table of GrammarElement records, so the interpreter
// dispatches on a kind instead of on element names.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "script/il_tree.h"
#include "script/parser.h"

namespace lgoty::script {

enum class GrammarKind {
  Char, Keyword, Ident, Number, String, FrString, Eol,   // terminals
  Sequence, Switch, OptionalSwitch, Optional, Loop, OptionalLoop, RuleRef
};

struct GrammarElement {
  GrammarKind kind = GrammarKind::Sequence;
  std::string text;      // terminal text to match; loop separator
  std::string node;      // IL element wrapping what matched
  std::string add;       // IL element emitted for the token
  std::string addtext;   // its text instead of the token
  bool has_addtext = false;
  int err = 0;           // error number reported on no match
  bool term = false;     // a failure in a later loop round ends the loop without an error
  bool skip = true;      // char: skip blanks first; loop: see term (skip="1")
  bool loop_skip = false;
  std::string rule_name;                 // RuleRef
  const GrammarElement* rule = nullptr;  // RuleRef, resolved after loading
  std::vector<GrammarElement> children;
};

// Errors of a language definition itself ("Invalid language definition").
class EGrammarError : public core::Exception {
 public:
  using core::Exception::Exception;
};

class Grammar {
 public:
  // Throws EGrammarError for a document that is not a grammar, or one whose rules name a
  // rule that does not exist ("Invalid language definition").
  static std::shared_ptr<const Grammar> Load(std::string_view xml_text);

  const std::string& Name() const { return name_; }
  const ParserSettings& Settings() const { return settings_; }
  const std::vector<std::string>& Keywords() const { return keywords_; }
  // Message of error number n ("" when the grammar defines none).
  std::string ErrorText(int n) const;
  const GrammarElement* Rule(std::string_view name) const;
  bool DeclareVars() const { return declare_vars_; }
  const IlNode& Types() const { return types_; }

 private:
  std::string name_;
  ParserSettings settings_;
  std::vector<std::string> keywords_;
  std::map<int, std::string> errors_;
  std::map<std::string, GrammarElement, std::less<>> rules_;  // upper-cased names
  bool declare_vars_ = false;
  IlNode types_;
};

// Supplies the text of a unit named in a uses clause; false when the host has none.
using UnitRequest = std::function<bool(const std::string& unit_name, std::string& text)>;

struct IlParseOptions {
  bool extended_chars = false;
  UnitRequest unit_request;
  std::vector<std::string> include_path;
};

struct IlParseResult {
  std::unique_ptr<IlNode> root;   // the "program" element on success
  std::string error;              // first recorded error
  std::string error_pos;          // "line:column"
  std::string error_unit;         // the unit the error is in ("" for the script itself)
  std::string language;           // the language that parsed the main text
};

class TfsILParser {
 public:
  // The language of the text is `language` unless its first line is "#language NAME".
  // Throws EGrammarError for an unknown language ("Language 'X' not found") or a broken
  // grammar; syntax errors are returned in the result.
  static IlParseResult MakeILTree(std::string_view text, const std::string& language,
                                  const IlParseOptions& options);
};

// Limits that keep hostile input from exhausting the stack: grammar recursion depth.
inline constexpr int kMaxGrammarDepth = 1500;

}  // namespace lgoty::script
