// Filling a memo with its data for one print (the memo's FillData) and the pieces it is
// made of.
//
// MemoFillData, in this order:
//   1. TagStr and Hyperlink.Value have their bracketed expressions expanded; a
//      Hyperlink.Expression is evaluated (a text result quoted for the script language).
//   2. Data-field memo (DataSet and DataField set): a blob field's text becomes the text;
//      otherwise the field's value becomes Value and the text is the value formatted by
//      DisplayFormat (kind other than fkText) or the field's display text. HideZeros
//      empties a non-string zero.
//   3. Expression memo (AllowExpressions): every complete bracketed span, scanned from the
//      start, is replaced by EvaluateAndFormat of its expression with the memo's next
//      format (the last format serves the rest); inserted text is never scanned again.
//   4. The first highlight whose condition holds is applied (font, fill, frame as its
//      Apply switches say, and always its visibility).
//   5. SuppressRepeated: a text equal to the last one printed becomes empty.
//   6. FlowTo: the text that does not fit (the caller's measuring hook splits it off) is
//      handed to the target memo, whose own expression expansion is switched off.
// MemoBeforePrint saves what FillData changes (text, Value of the view parts, highlight
// targets, the FlowTo target's switch) and MemoAfterPrint puts it back, so the template
// object is the same after every print.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "core/variant.h"

namespace lgoty::report {

class TfrxCustomMemoView;
class TfrxView;
class TfrxFormat;
class TfrxExpressions;

// The opening and closing delimiters of ExpressionDelimiters: the parts around its first
// comma ("[,]" -> "[" and "]"); the closing one is cut to 255 characters. Without a
// comma, or with an empty part, the default brackets.
std::pair<std::string, std::string> SplitExpressionDelimiters(std::string_view delimiters);

// A bracketed span: text[begin, end) including both delimiters, and the expression
// between them.
struct BracketSpan {
  size_t begin = 0;
  size_t end = 0;
  std::string expression;
};

// Finds the first complete span whose opening delimiter is at or after `from`: quoted
// strings ('...' and "...") and nested delimiter pairs belong to the expression. False
// when there is no complete span (an opening delimiter never closed).
bool FindBracketed(std::string_view text, std::string_view open, std::string_view close, size_t from,
                   BracketSpan& span);

// Replaces every complete span of `text` with its evaluated, formatted value, using the
// memo's formats in turn. Without an opening delimiter the text is returned as it is.
std::string ExpandExpressions(TfrxExpressions& expressions, TfrxCustomMemoView& memo, std::string_view text);

// One bracketed expression: an optional " #" format suffix (" #n%2.2n", " #dd.mm.yyyy",
// " #bNo,Yes"), the TotalPages# and CopyName# markers (drawn later), otherwise Calc and
// the format. Sets memo.value.
std::string EvaluateAndFormat(TfrxExpressions& expressions, TfrxCustomMemoView& memo,
                              std::string_view expression, const TfrxFormat& format);

// The marker texts a prepared page's memo holds until it is drawn.
inline constexpr std::string_view kTotalPagesMarker = "[TotalPages#]";
inline constexpr std::string_view kCopyNameMarker = "[CopyName#]";
// Replaces the markers (any letter case) with the total page count and the copy's name.
std::string ReplacePageMarkers(std::string_view text, int total_pages, std::string_view copy_name);

// Splits off the part of the memo's text that does not fit its height: leaves the part
// that fits in the memo and returns the rest ("" when everything fits).
using TfrxOverflowSplitter = std::function<std::string(TfrxCustomMemoView& memo)>;

void ViewFillData(TfrxExpressions& expressions, TfrxView& view);
void MemoBeforePrint(TfrxCustomMemoView& memo);
void MemoFillData(TfrxExpressions& expressions, TfrxCustomMemoView& memo,
                  const TfrxOverflowSplitter& split_overflow = nullptr);
void MemoAfterPrint(TfrxCustomMemoView& memo);
// Gives the target the text and switches off its expression expansion until its
// MemoAfterPrint (MemoBeforePrint of the target must have run).
void HandOverFlow(TfrxCustomMemoView& target, std::string text);

}  // namespace lgoty::report
