// A filter text for datasets that have no expression engine of their own (the memory
// dataset; a query dataset filtering rows it has fetched). It is compiled once against the
// dataset's fields and evaluated on the record the fields read (the dataset is in dsFilter
// state on the record under test).
//
// Grammar (keywords in any letter case):
//   expr       := and_expr { OR and_expr }
//   and_expr   := unary { AND unary }
//   unary      := NOT unary | '(' expr ')' | comparison
//   comparison := operand ( '=' | '<>' | '<' | '>' | '<=' | '>=' ) operand
//   operand    := field | 'text' | number | NULL | TRUE | FALSE
//   field      := name of letters, digits and '_' | '[' any name ']'
// Text literals double an apostrophe inside ('O''Neil'); numbers use '.' for decimals.
//
// Meaning:
//   - two texts compare as texts: exactly, or ignoring letter case with foCaseInsensitive
//     (equality as the locale's case-insensitive comparison; order by its collation);
//   - a text literal that ends in '*' compares with '=' / '<>' as a prefix of the field's
//     text, unless foNoPartialCompare is set (then '*' is an ordinary character);
//   - '= NULL' is true for a null field, '<> NULL' for a non-null one; any other comparison
//     with a null side is false;
//   - other values compare as variants (numbers numerically, dates by day count); a text
//     that is no number compared with a number is false.
// Errors: EDatabaseError "Filter expression error at position N: <what>" when compiling, and
// "Field 'X' not found" for an unknown field.
#pragma once

#include <memory>
#include <string_view>

#include "data/dataset.h"

namespace lgoty::data {

class TFilterExpression {
 public:
  TFilterExpression(std::string_view text, const TFields& fields, TFilterOptions options);
  ~TFilterExpression();
  TFilterExpression(const TFilterExpression&) = delete;
  TFilterExpression& operator=(const TFilterExpression&) = delete;

  // Evaluates on the record the fields read now.
  bool Evaluate() const;

  struct Node;

 private:
  std::unique_ptr<Node> root_;
  TFilterOptions options_;
};

}  // namespace lgoty::data
