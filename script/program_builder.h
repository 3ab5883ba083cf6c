// The program builder: turns an IL tree into the script's variables, procedures, statements
// and expressions, resolving every name once (execution does no name lookup except for
// late-bound members) and checking types. Errors raise EBuildError with the message and the
// position of the IL element being processed.
#pragma once

#include <string>
#include <vector>

#include "core/exception.h"
#include "script/il_tree.h"
#include "script/interpreter.h"
#include "script/statements.h"

namespace lgoty::script {

class EBuildError : public core::Exception {
 public:
  EBuildError(std::string message, int line, int column, std::string unit)
      : core::Exception(std::move(message)), line(line), column(column), unit(std::move(unit)) {}
  int line, column;
  std::string unit;
};

// Expressions of one IL "expr" may hold this many operators at most (deeper trees would
// exhaust the stack when evaluated).
inline constexpr int kMaxOperatorsPerExpression = 2000;

class TfsProgramBuilder {
 public:
  TfsProgramBuilder(TfsScript& script, const std::string& source, bool declare_vars)
      : script_(script), source_(source), declare_vars_(declare_vars) {}
  void Build(const IlNode& root);

 private:
  struct WithEntry {
    TfsCustomVariable* variable;
  };
  struct Step {
    const IlNode* at;
    std::string name;  // "[" for an index
    std::vector<const IlNode*> args;
    bool has_args = false;
  };

  void BuildBlock(TfsScript& scope, const IlNode& node, TfsStatementList& body);
  void DeclareConst(TfsScript& scope, const IlNode& n);
  void DeclareVar(TfsScript& scope, const IlNode& n, TfsScript* param_scope, bool is_var_param,
                  std::vector<TfsParamItem*>* params);
  void DeclareProc(TfsScript& scope, const IlNode& n);
  void CheckNew(TfsScript& scope, const IlNode& at, const std::string& name);

  TfsStatementPtr BuildStatement(TfsScript& scope, const IlNode& n);
  std::unique_ptr<TfsStatementList> BuildList(TfsScript& scope, const IlNode& n, size_t from, size_t to);
  TfsStatementPtr BuildAssign(TfsScript& scope, const IlNode& n);
  TfsStatementPtr BuildFor(TfsScript& scope, const IlNode& n);
  TfsStatementPtr BuildWith(TfsScript& scope, const IlNode& n);
  TfsStatementPtr BuildCase(TfsScript& scope, const IlNode& n);
  TfsStatementPtr BuildTry(TfsScript& scope, const IlNode& n);
  template <class T>
  std::unique_ptr<T> Make(TfsScript& scope, const IlNode& at);

  TfsExprPtr BuildExpr(TfsScript& scope, const IlNode& expr);
  TfsExprPtr BuildOperand(TfsScript& scope, const IlNode& n);
  TfsExprPtr BuildDesignator(TfsScript& scope, const IlNode& dsgn);
  std::unique_ptr<TfsSetExpr> BuildSet(TfsScript& scope, const IlNode& set);
  void BuildArgs(TfsScript& scope, const Step& step, TfsCustomVariable& callee, TfsDesignatorPart& part);
  std::unique_ptr<TfsDesignatorPart> MemberPart(TfsScript& scope, const Step& step, TfsClassVariable* cls,
                                                TfsCustomVariable* member);
  TfsType CheckBinary(const IlNode& at, TfsOp op, const TfsType& l, const TfsType& r);
  void CheckAssignable(const IlNode& at, const TfsType& target, const TfsType& value);
  // A whole array read through a designator where one value is needed: "Index required".
  void RequireIndex(const TfsExpr& value);
  // The same for a value stored into (or passed as) something that holds no array.
  void RequireIndexFor(const TfsType& target, const TfsExpr& value);
  Variant EvalConst(TfsScript& scope, const IlNode& expr);
  TfsType DeclaredType(TfsScript& scope, const IlNode& at, const std::string& name);

  TfsClassVariable* FindClassOrNull(const std::string& name) const;
  [[noreturn]] void Error(const IlNode& at, const std::string& message);
  bool Inherits(const std::string& derived, const std::string& base) const {
    return script_.ClassInherits(derived, base);
  }

  TfsScript& script_;
  const std::string& source_;
  bool declare_vars_;
  std::vector<WithEntry> withs_;
  const std::string* unit_ = nullptr;
  // The text the offsets of the nodes being built index: the script's, or the text of the
  // unit they were written in.
  const std::string* text_ = &source_;
  // The source text between two offsets of the current text ("" when they lie outside it).
  std::string SourceSpan(int offset, int end_offset) const;
  // The function whose body is being built (its name assigns its result).
  std::vector<TfsProcVariable*> functions_;
};

}  // namespace lgoty::script
