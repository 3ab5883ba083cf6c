#include "report/aggregates.h"

#include <algorithm>
#include <cmath>

#include "core/locale.h"
#include "core/text_format.h"
#include "report/band_tree.h"
#include "report/bands.h"
#include "report/expressions.h"
#include "report/memo_fill.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/views.h"

namespace lgoty::report {

using core::Variant;

namespace {

std::string_view Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool IsIdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }

// Position after the quote that closes the one at `i` (or the end).
size_t SkipQuoted(std::string_view s, size_t i) {
  char q = s[i];
  size_t j = s.find(q, i + 1);
  return j == std::string_view::npos ? s.size() : j + 1;
}

// Position of the ')' that closes the '(' at `open`; npos when it is missing.
size_t MatchingParen(std::string_view s, size_t open) {
  int depth = 0;
  for (size_t i = open; i < s.size();) {
    char c = s[i];
    if (c == '\'' || c == '"') {
      i = SkipQuoted(s, i);
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) return i;
    ++i;
  }
  return std::string_view::npos;
}

bool ParseFunction(std::string_view upper, TfrxAggregateFunction& f) {
  static const std::pair<std::string_view, TfrxAggregateFunction> kNames[] = {
      {"SUM", TfrxAggregateFunction::agSum}, {"AVG", TfrxAggregateFunction::agAvg},
      {"MIN", TfrxAggregateFunction::agMin}, {"MAX", TfrxAggregateFunction::agMax},
      {"COUNT", TfrxAggregateFunction::agCount}};
  for (const auto& [name, fn] : kNames) {
    if (upper == name) {
      f = fn;
      return true;
    }
  }
  return false;
}

// A Boolean true counts as 1 (and false as 0).
Variant Countable(const Variant& v) {
  if (v.kind() == core::Variant::Kind::Boolean) return Variant(static_cast<int32_t>(v.AsBoolean() ? 1 : 0));
  return v;
}

bool IsFloatingOperand(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Smallint:
    case Variant::Kind::Integer:
    case Variant::Kind::Int64:
    case Variant::Kind::Double:
      return true;
    default:
      return false;
  }
}

// acc += v; when the sum is a double made from two plain numbers, the part of the exact sum
// the double could not hold is added to acc.carry (Neumaier's form, which also holds when
// the new amount is larger than the total so far).
void AddTo(TfrxAggregateTotal& acc, const Variant& v) {
  if (acc.value.kind() == Variant::Kind::Double && v.kind() == Variant::Kind::Double) {
    // Two doubles: VarAdd's plain sum, made in place. An infinite sum (an overflow, or an
    // infinite operand) is left to VarAdd.
    const double a = acc.value.real();
    const double b = v.real();
    const double t = a + b;
    if (std::isfinite(t)) {
      acc.carry += std::fabs(a) >= std::fabs(b) ? (a - t) + b : (b - t) + a;
      acc.value = Variant(t);
      return;
    }
  }
  Variant sum = core::VarAdd(acc.value, v);
  if (sum.kind() == Variant::Kind::Double && IsFloatingOperand(acc.value) && IsFloatingOperand(v)) {
    const double a = acc.value.AsDouble();
    const double b = v.AsDouble();
    const double t = sum.AsDouble();
    if (std::isfinite(t))
      acc.carry += std::fabs(a) >= std::fabs(b) ? (a - t) + b : (b - t) + a;
  }
  acc.value = std::move(sum);
}

void Accumulate(TfrxAggregateFunction f, int64_t& count, TfrxAggregateTotal& acc, const Variant& v) {
  if (f != TfrxAggregateFunction::agAvg || !v.IsEmptyOrNull()) ++count;
  if (v.IsNull() || f == TfrxAggregateFunction::agCount) return;
  if (acc.IsNull()) {
    acc = TfrxAggregateTotal{v, 0};
    return;
  }
  switch (f) {
    case TfrxAggregateFunction::agSum:
    case TfrxAggregateFunction::agAvg:
      AddTo(acc, v);
      break;
    case TfrxAggregateFunction::agMin:
      if (core::VarCompare(v, acc.value) == core::VarCompareResult::Less) acc = TfrxAggregateTotal{v, 0};
      break;
    case TfrxAggregateFunction::agMax:
      if (core::VarCompare(v, acc.value) == core::VarCompareResult::Greater) acc = TfrxAggregateTotal{v, 0};
      break;
    case TfrxAggregateFunction::agCount:
      break;
  }
}

// Folds a side total (count, value) into a main one by the function's rule.
void Merge(TfrxAggregateFunction f, int64_t& count, TfrxAggregateTotal& acc, int64_t add_count,
           const TfrxAggregateTotal& add) {
  count += add_count;
  if (add.IsNull() || f == TfrxAggregateFunction::agCount) return;
  if (acc.IsNull()) {
    acc = add;
    return;
  }
  if (f == TfrxAggregateFunction::agSum || f == TfrxAggregateFunction::agAvg) {
    AddTo(acc, add.value);
    acc.carry += add.carry;
    return;
  }
  int64_t ignored = 0;
  Accumulate(f, ignored, acc, add.value);
}

}  // namespace

std::vector<std::string> SplitAggregateArgs(std::string_view args) {
  std::vector<std::string> out;
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < args.size();) {
    char c = args[i];
    if (c == '\'' || c == '"') {
      i = SkipQuoted(args, i);
      continue;
    }
    if (c == '(' || c == '<') ++depth;
    if ((c == ')' || c == '>') && depth > 0) --depth;
    if (c == ',' && depth == 0) {
      out.emplace_back(Trim(args.substr(start, i - start)));
      start = i + 1;
    }
    ++i;
  }
  if (!Trim(args).empty() || !out.empty()) out.emplace_back(Trim(args.substr(start)));
  return out;
}

int ParseAggregateFlags(std::string_view text) {
  int32_t v = 0;
  return core::TryStrToInt(Trim(text), v) ? v : 0;
}

Variant TfrxAggregateTotal::Get() const {
  if (carry == 0 || value.kind() != Variant::Kind::Double) return value;
  return Variant(value.AsDouble() + carry);
}

Variant TfrxAggregateItem::Result(int column) const {
  int64_t n = count;
  Variant v = value.Get();
  if (column >= 1 && static_cast<size_t>(column) < column_values.size()) {
    n = column_counts[static_cast<size_t>(column)];
    v = column_values[static_cast<size_t>(column)].Get();
  }
  if (function == TfrxAggregateFunction::agCount) return Variant(n);
  if (v.IsNull()) return Variant(0);
  if (function == TfrxAggregateFunction::agAvg) {
    if (n == 0) return Variant(0);
    return core::VarDiv(v, Variant(n));
  }
  return v;
}

void TfrxAggregateList::Register() {
  items_.clear();
  TfrxReport& report = expressions_.Report();
  for (int p = 0; p < report.ObjectCount(); ++p) {
    auto* page = dynamic_cast<TfrxReportPage*>(report.Object(p));
    if (page == nullptr) continue;
    BandTree tree;
    BuildBandTree(*page, false, tree);
    RegisterTree(tree);
  }
}

void TfrxAggregateList::RegisterPage(TfrxReportPage& page) {
  std::erase_if(items_, [&page](const std::unique_ptr<TfrxAggregateItem>& item) {
    return item->parent_band == nullptr || item->parent_band->Page() == &page;
  });
  BandTree tree;
  BuildBandTree(page, false, tree);
  RegisterTree(tree);
}

void TfrxAggregateList::RegisterTree(const BandTree& tree) {
  for (const auto& node : tree.nodes) {
    if (node->header != nullptr) RegisterBand(*node->header, node->band);
    if (node->footer != nullptr) RegisterBand(*node->footer, node->band);
    for (const GroupState& g : node->groups) {
      if (g.header != nullptr) RegisterBand(*g.header, node->band);
      if (g.footer != nullptr) RegisterBand(*g.footer, node->band);
    }
  }
  const TfrxDataBand* first = tree.top_level.empty() ? nullptr : tree.top_level.front()->band;
  if (tree.page_footer != nullptr) RegisterBand(*tree.page_footer, first);
  if (tree.column_footer != nullptr) RegisterBand(*tree.column_footer, first);
  if (tree.summary != nullptr) RegisterBand(*tree.summary, first);
}

void TfrxAggregateList::RegisterBand(const TfrxBand& band, const TfrxDataBand* default_band) {
  // The Child chain; a chain that loops back is walked once.
  std::vector<const TfrxBand*> seen;
  for (const TfrxBand* b = &band; b != nullptr; b = b->child.Get()) {
    if (std::find(seen.begin(), seen.end(), b) != seen.end()) break;
    seen.push_back(b);
    for (TfrxComponent* c : b->AllObjects()) {
      if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(c)) RegisterMemo(*memo, *b, default_band);
    }
  }
}

void TfrxAggregateList::RegisterMemo(const TfrxCustomMemoView& memo, const TfrxBand& parent_band,
                                     const TfrxDataBand* default_band) {
  if (!memo.allow_expressions || memo.IsHidden()) return;
  auto [open, close] = SplitExpressionDelimiters(memo.expression_delimiters);
  std::string text = memo.Text();
  size_t pos = 0;
  BracketSpan span;
  while (FindBracketed(text, open, close, pos, span)) {
    Walk(span.expression, memo, parent_band, default_band, 0);
    pos = span.end;
  }
}

void TfrxAggregateList::Walk(std::string_view s, const TfrxCustomMemoView& memo, const TfrxBand& parent_band,
                             const TfrxDataBand* default_band, int depth) {
  if (depth > TfrxExpressions::kMaxNesting) return;  // a variable that refers to itself
  TfrxVariables& variables = expressions_.Variables();
  auto walk_variable = [&](std::string_view name) {
    TfrxVariable* v = variables.Find(Trim(name));
    if (v == nullptr) return false;
    if (v->value.IsString()) Walk(v->value.text(), memo, parent_band, default_band, depth + 1);
    return true;
  };
  for (size_t i = 0; i < s.size();) {
    char c = s[i];
    if (c == '\'' || c == '"') {
      i = SkipQuoted(s, i);
      continue;
    }
    if (c == '<') {
      size_t close = s.find('>', i + 1);
      if (close != std::string_view::npos) {
        std::string_view inner = s.substr(i + 1, close - i - 1);
        if (inner.find(".\"") != std::string_view::npos || walk_variable(inner)) {
          i = close + 1;  // a data field or a variable already walked
          continue;
        }
      }
      ++i;
      continue;
    }
    if (!IsIdentStart(c)) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < s.size() && IsIdentChar(s[end])) ++end;
    std::string_view ident = s.substr(i, end - i);
    TfrxAggregateFunction function;
    if (end < s.size() && s[end] == '(' && ParseFunction(AsciiUpperName(ident), function)) {
      size_t close = MatchingParen(s, end);
      if (close == std::string_view::npos) return;
      std::vector<std::string> args = SplitAggregateArgs(s.substr(end + 1, close - end - 1));
      auto item = std::make_unique<TfrxAggregateItem>();
      item->function = function;
      size_t k = 0;
      if (function != TfrxAggregateFunction::agCount) item->expression = args.size() > k ? args[k++] : "";
      item->band_name = args.size() > k ? args[k++] : "";
      item->flags = args.size() > k ? ParseAggregateFlags(args[k]) : 0;
      item->band = default_band;
      if (!item->band_name.empty()) {
        if (auto* b = dynamic_cast<TfrxDataBand*>(expressions_.Report().FindByName(item->band_name))) item->band = b;
      }
      item->parent_band = &parent_band;
      item->memo_name = memo.Name();
      item->text = std::string(s.substr(i, close + 1 - i));
      item->is_page_footer = dynamic_cast<const TfrxPageFooter*>(&parent_band) != nullptr;
      items_.push_back(std::move(item));
      i = close + 1;
      continue;
    }
    // A data-field reference written without angle brackets: DataSet."FIELD".
    if (end + 1 < s.size() && s[end] == '.' && s[end + 1] == '"') {
      i = SkipQuoted(s, end + 1);
      continue;
    }
    walk_variable(ident);
    i = end;
  }
}

void TfrxAggregateList::AddValue(const TfrxDataBand& band) {
  TfrxRunState& state = expressions_.State();
  const int column = state.current_column;
  for (auto& item_ptr : items_) {
    TfrxAggregateItem& item = *item_ptr;
    if (item.band != &band) continue;
    if (!band.Visible() && (item.flags & aggregate_flags::kCountInvisible) == 0) continue;
    Variant v;
    if (item.function != TfrxAggregateFunction::agCount) {
      // The current object's name is moved aside and back rather than copied.
      std::string saved = std::move(state.current_object);
      state.current_object = item.memo_name;
      try {
        v = Countable(expressions_.Calc(item.expression, item.site));
      } catch (...) {
        state.current_object = std::move(saved);
        throw;
      }
      state.current_object = std::move(saved);
    } else {
      v = Variant::Null();
    }
    int64_t& count = item.keeping ? item.keep_count : item.count;
    TfrxAggregateTotal& value = item.keeping ? item.keep_value : item.value;
    item.last_count = count;
    item.last_value = value;
    Accumulate(item.function, count, value, v);
    if (column >= 1 && column <= kMaxAggregateColumns) {
      if (item.column_values.empty()) {
        item.column_values.assign(kMaxAggregateColumns + 1, TfrxAggregateTotal{});
        item.column_counts.assign(kMaxAggregateColumns + 1, 0);
      }
      Accumulate(item.function, item.column_counts[static_cast<size_t>(column)],
                 item.column_values[static_cast<size_t>(column)], v);
    }
  }
}

void TfrxAggregateList::DeleteValue(const TfrxDataBand& band) {
  for (auto& item : items_) {
    if (item->band != &band) continue;
    if (item->keeping) {
      item->keep_count = item->last_count;
      item->keep_value = item->last_value;
    } else {
      item->count = item->last_count;
      item->value = item->last_value;
    }
  }
}

void TfrxAggregateList::BeginKeep() {
  for (auto& item : items_) {
    if (!item->is_page_footer || item->keeping) continue;
    item->keeping = true;
    item->keep_count = 0;
    item->keep_value = {};
  }
}

void TfrxAggregateList::EndKeep() {
  for (auto& item : items_) {
    if (!item->is_page_footer || !item->keeping) continue;
    item->keeping = false;
    Merge(item->function, item->count, item->value, item->keep_count, item->keep_value);
    item->keep_count = 0;
    item->keep_value = {};
  }
}

void TfrxAggregateList::Reset(const TfrxBand& parent_band) {
  for (auto& item : items_) {
    if (item->parent_band != &parent_band) continue;
    if ((item->flags & aggregate_flags::kDontReset) != 0 && item->count != 0) continue;
    item->count = 0;
    item->value = {};
    item->last_count = 0;
    item->last_value = {};
    std::fill(item->column_values.begin(), item->column_values.end(), TfrxAggregateTotal{});
    std::fill(item->column_counts.begin(), item->column_counts.end(), 0);
  }
}

void TfrxAggregateList::ResetItems(bool all) {
  if (all) {
    ResetAll();
    return;
  }
  for (auto& item : items_) {
    if ((item->flags & aggregate_flags::kDontReset) != 0 && item->count != 0) continue;
    item->count = item->last_count = item->keep_count = 0;
    item->value = item->last_value = item->keep_value = {};
    item->keeping = false;
    item->column_values.clear();
    item->column_counts.clear();
  }
}

void TfrxAggregateList::ResetAll() {
  for (auto& item : items_) {
    item->count = item->last_count = item->keep_count = 0;
    item->value = item->last_value = item->keep_value = {};
    item->keeping = false;
    item->column_values.clear();
    item->column_counts.clear();
  }
}

Variant TfrxAggregateList::Value(TfrxAggregateFunction function, std::string_view expression,
                                 std::string_view band_name, std::string_view flags_text) {
  const TfrxRunState& state = expressions_.State();
  const int flags = ParseAggregateFlags(flags_text);
  expression = Trim(expression);
  band_name = Trim(band_name);
  // A band given as the number 0 (the declared default) means none.
  if (band_name == "0") band_name = {};
  for (const auto& item : items_) {
    if (item->parent_band != state.current_band || item->function != function || item->flags != flags) continue;
    if (!band_name.empty() && !SameName(item->band_name, band_name)) continue;
    if (!SameVariableName(item->expression, expression)) continue;
    return item->Result(state.current_column);
  }
  return Variant::Null();
}

}  // namespace lgoty::report
