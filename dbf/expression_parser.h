// TCustomExpressionParser: compiles a key or filter expression into a list of steps and runs
// them once per record.
//
// Pipeline of a compile:
//   1. tokens: quoted strings, numbers ($hex too), names, operator characters;
//   2. words: every token resolved to a constant, a variable, a function or operator (all rows
//      of its name), a bracket or a comma; unknown names go to ResolveName (the table's fields);
//   3. checks: runs of + and - after an operator, '(' or ',' (or at the start) become one sign
//      word, runs of NOT cancel in pairs, neighbours that cannot follow each other are refused;
//   4. tree: in a range, the operator outside brackets with the largest precedence number is
//      the root (the leftmost of equals), its operands are the ranges either side of it; a
//      range without an operator is one operand or a function call. Each node picks the row
//      whose signature matches its argument types;
//   5. steps: the tree flattened in post-order; each step reads its arguments' slots and writes
//      its own. An expression that is a single variable has no steps: its slot is the result.
//
// Evaluation runs the variables' Refresh and then the steps; it allocates only while a string
// slot grows past anything it held before, and it never throws for a value (see the functions'
// notes on division and overflow).
//
// String values are held in one legacy code page, TextCodePage(); string constants are
// converted to it from the UTF-8 expression text when compiled.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/expression_text.h"
#include "dbf/expression_words.h"

namespace lgoty::dbf {

// Deeper bracket or operator nesting than this is refused ("Expression nested too deeply"), so
// that building the tree cannot exhaust the stack.
inline constexpr size_t kMaxExpressionDepth = 256;

class TCustomExpressionParser {
 public:
  TCustomExpressionParser();
  virtual ~TCustomExpressionParser();
  TCustomExpressionParser(const TCustomExpressionParser&) = delete;
  TCustomExpressionParser& operator=(const TCustomExpressionParser&) = delete;

  // Replaces any previous expression. Throws EParserException (syntax and types) or whatever
  // ResolveName throws; the parser is then not compiled.
  void CompileExpression(std::string_view text);
  bool IsCompiled() const { return result_ != nullptr; }
  const std::string& Expression() const { return expression_; }

  // REQUIRES: IsCompiled(). record is what field variables read (it may be empty for a
  // parser without fields). The result stays valid until the next evaluation or compile.
  const TExprValue& Evaluate(std::span<const std::byte> record);
  // The result as the raw pointer callers of the engine expect: the byte 0/1 of a boolean,
  // the NUL-terminated text of a string, the binary value of a number.
  const void* ResultPointer() const;

  // REQUIRES: IsCompiled().
  TExpressionType ResultType() const { return result_type_; }
  // Integer 0, string 1, boolean 2, large integer 3, float 4, date-time 5.
  int ResultTypeCode() const { return static_cast<int>(result_type_); }
  // Integer 4, boolean 1, float and date-time 8, large integer 8; a string: see
  // StringResultLength.
  size_t ResultLength() const { return result_length_; }
  // The variable the whole expression consists of, or nullptr.
  const TVariable* SingleVariable() const { return single_variable_; }

  // Settings; each recompiles the current expression.
  bool CaseInsensitive() const { return case_insensitive_; }
  void SetCaseInsensitive(bool value);
  bool PartialMatch() const { return partial_match_; }
  void SetPartialMatch(bool value);

  // Adds a word (a variable or function row) to this parser's vocabulary; it is found before
  // the built-in rows of the same name. Takes effect at the next compile.
  void DefineWord(std::unique_ptr<TExprWord> word);

 protected:
  // A name that is no word. Returns a variable owned by the derived parser (stable until it
  // is cleared by the next compile), or nullptr for "unknown". May throw its own error.
  virtual TVariable* ResolveName(const std::string& name);
  // Called at the start of every compile, before any name is resolved.
  virtual void ClearNames() {}
  // The code page string values are held in (0: bytes as they are).
  virtual int TextCodePage() const;
  // Length of a string result: by default the length of the result when evaluated on an
  // empty record.
  virtual size_t StringResultLength();
  // Called at the end of a successful compile; may throw to refuse the expression.
  virtual void CheckCompiled() {}
  void Recompile();

 private:
  struct Item;
  struct Node;
  class Builder;

  void Reset();
  void RebuildWordList();

  std::string expression_;
  bool case_insensitive_ = true;
  bool partial_match_ = false;

  std::vector<std::unique_ptr<TExprWord>> defined_words_;
  TExpressList words_;
  bool words_dirty_ = true;

  std::unique_ptr<TExpressionContext> context_;
  std::vector<std::unique_ptr<TExprWord>> constants_;
  std::vector<std::unique_ptr<TExprValue>> slots_;
  std::vector<TVariable*> variables_;
  std::vector<TExprStep> steps_;
  TExprValue* result_ = nullptr;
  const TVariable* single_variable_ = nullptr;
  TExpressionType result_type_ = TExpressionType::etInteger;
  size_t result_length_ = 0;
};

}  // namespace lgoty::dbf
