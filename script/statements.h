// Statements (TfsStatement and its kinds). Each holds where it began and the script whose
// flags (exit, break, continue, terminated) it obeys; Run() first counts a step.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "script/expression.h"

namespace lgoty::script {

class TfsScript;

class TfsStatement {
 public:
  explicit TfsStatement(TfsScript* script) : script(script) {}
  virtual ~TfsStatement() = default;
  virtual void Run() = 0;
  TfsScript* script;
  const std::string* unit = nullptr;  // the unit the statement is in (null: the script)
  int line = 0, column = 0;

 protected:
  // Counts the step and reports the line; false when the script was terminated.
  bool Enter();
};
using TfsStatementPtr = std::unique_ptr<TfsStatement>;

class TfsStatementList : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
  // Runs the items without counting a step for the list itself.
  void RunItems();
  std::vector<TfsStatementPtr> items;
};

class TfsAssignmentStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
  TfsExprPtr target;  // a designator or variable access
  TfsExprPtr value;
};

// v := v + e and its siblings: reads v once, evaluates only e.
class TfsCompoundAssignStmt : public TfsStatement {
 public:
  TfsCompoundAssignStmt(TfsScript* s, TfsOp op) : TfsStatement(s), op(op) {}
  void Run() override;
  TfsOp op;  // Plus, Minus, Mul, DivFloat
  TfsCustomVariable* variable = nullptr;
  TfsExprPtr value;
  bool value_first = false;  // e + v: the operands in that order
  // An integer variable of the script's own: an integer sum is stored in place.
  bool direct = false;
};

class TfsCallStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
  TfsExprPtr call;
};

class TfsIfStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
  TfsExprPtr condition;
  TfsStatementPtr then_part, else_part;
};

class TfsCaseSelector {
 public:
  std::unique_ptr<TfsSetExpr> set;
  TfsStatementPtr body;
};

class TfsCaseStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
  TfsExprPtr selector;
  std::vector<TfsCaseSelector> selectors;
  TfsStatementPtr else_part;
};

class TfsRepeatStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
  std::unique_ptr<TfsStatementList> body;
  TfsExprPtr condition;
};

class TfsWhileStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
  TfsExprPtr condition;
  TfsStatementPtr body;
};

class TfsForStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
  TfsCustomVariable* variable = nullptr;
  TfsExprPtr start, stop;
  bool down = false;
  TfsStatementPtr body;
};

class TfsTryStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
  std::unique_ptr<TfsStatementList> body;
  std::unique_ptr<TfsStatementList> handler;
  bool is_except = false;
};

class TfsBreakStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
};

class TfsContinueStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
};

class TfsExitStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
};

// Stores the designator's value into the hidden with-variable.
class TfsWithStmt : public TfsStatement {
 public:
  using TfsStatement::TfsStatement;
  void Run() override;
  TfsCustomVariable* variable = nullptr;
  TfsExprPtr designator;
};

}  // namespace lgoty::script
