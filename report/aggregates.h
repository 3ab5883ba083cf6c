// Aggregates: SUM, AVG, MIN, MAX and COUNT in memo expressions, collected while rows print.
//
// Registration (Register / RegisterBand, at the start of a run) walks the bracketed
// expressions of the memos on header, footer, group, page footer, column footer and
// summary bands and makes one TfrxAggregateItem per aggregate call it meets: inside quoted
// strings nothing counts, a report variable met on the way has its value walked too, and a
// data-field reference is passed over. The arguments are split at top-level commas:
// COUNT(band, flags), the others (expression, band, flags). The band is looked up by name
// among the report's objects; without one (or with an unknown name) the default band of
// the memo's band is used. Flags: bit 0 counts rows of invisible bands too, bit 1 keeps
// the value across resets (running total).
//
// The band engine then calls, as it prints:
//   AddValue(band)      after each row printed by a data band: every item of that band
//                       evaluates its expression (COUNT: nothing) and accumulates;
//   DeleteValue(band)   when that row is taken back (it moves to the next page);
//   BeginKeep/EndKeep   around a page break: page-footer items collect into a side total
//                       that is merged into the page total once the break is done;
//   Reset(band)         when a band finished printing: the items it holds start over
//                       (running totals that have counted keep their value);
//   ResetAll()          at the start of a run, running totals included.
// Value() answers an aggregate call of an expression: the item held by the band being
// printed (TfrxRunState::current_band) with the same function, expression text (trimmed,
// letter case ignored), band (when named) and flags. A Null result is 0; no item gives
// Null.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/variant.h"
#include "report/expressions.h"

namespace lgoty::report {

class TfrxBand;
class TfrxReportPage;
struct BandTree;
class TfrxDataBand;
class TfrxCustomMemoView;
class TfrxExpressions;

enum class TfrxAggregateFunction { agSum, agAvg, agMin, agMax, agCount };

namespace aggregate_flags {
inline constexpr int kCountInvisible = 1;
inline constexpr int kDontReset = 2;
}  // namespace aggregate_flags

// Vertical columns are numbered 1 .. kMaxColumns.
inline constexpr int kMaxAggregateColumns = 1000;

// A running SUM, AVG, MIN or MAX value. Floating amounts are added with their rounding error
// carried beside the value (compensated summation): amounts such as 12.34 are not exact in
// binary, and a plain double sum of tens of thousands of them shows noise in the 15th
// significant digit, which the general number form prints ("2089055088,81001"). With the
// carry the total is the one the amounts' own digits give, as an extended-precision
// accumulator would give it.
struct TfrxAggregateTotal {
  core::Variant value = core::Variant::Null();
  double carry = 0;  // the rounding error of a floating value, not yet added to it

  bool IsNull() const { return value.IsNull(); }
  // The value with its carry added.
  core::Variant Get() const;
};

struct TfrxAggregateItem {
  TfrxAggregateFunction function = TfrxAggregateFunction::agSum;
  std::string expression;            // trimmed; empty for COUNT
  TfrxCalcSite site;                 // where expression is evaluated row after row
  const TfrxDataBand* band = nullptr;  // whose rows are accumulated
  std::string band_name;             // as written in the call (empty: the default band)
  const TfrxBand* parent_band = nullptr;  // holds the memo
  std::string memo_name;
  std::string text;                  // the whole call as written
  int flags = 0;
  bool is_page_footer = false;       // keeps page totals

  int64_t count = 0;
  TfrxAggregateTotal value;
  int64_t last_count = 0;
  TfrxAggregateTotal last_value;
  bool keeping = false;
  int64_t keep_count = 0;
  TfrxAggregateTotal keep_value;
  // Per vertical column (index = column number), made on first use.
  std::vector<TfrxAggregateTotal> column_values;
  std::vector<int64_t> column_counts;

  // The aggregate's result from count and value (AVG divides; Null becomes 0).
  core::Variant Result(int column = 0) const;
};

class TfrxAggregateList {
 public:
  // `expressions` evaluates the items' expressions and must outlive the list.
  explicit TfrxAggregateList(TfrxExpressions& expressions) : expressions_(expressions) {}

  // Drops the items and registers the aggregate calls of every report page (RegisterTree
  // of each page's band tree).
  void Register();
  // Registers the bands of one page's tree with their default bands: a data band's
  // header, footer and group bands take that data band; the page footer, column footer
  // and summary take the page's first top-level data band. Child bands take their
  // owner's.
  void RegisterTree(const BandTree& tree);
  // Registers the memos of one band and its Child chain.
  void RegisterBand(const TfrxBand& band, const TfrxDataBand* default_band);
  // Registers the aggregate calls of one memo held by parent_band.
  void RegisterMemo(const TfrxCustomMemoView& memo, const TfrxBand& parent_band,
                    const TfrxDataBand* default_band);
  // Registers one report page's bands (its band tree), replacing the items registered
  // for that page before.
  void RegisterPage(TfrxReportPage& page);
  void Clear() { items_.clear(); }

  void AddValue(const TfrxDataBand& band);
  void DeleteValue(const TfrxDataBand& band);
  void BeginKeep();
  void EndKeep();
  void Reset(const TfrxBand& parent_band);
  void ResetAll();
  // Every item as Reset does (all = false: running totals that counted keep their value)
  // or as ResetAll does.
  void ResetItems(bool all);

  core::Variant Value(TfrxAggregateFunction function, std::string_view expression,
                      std::string_view band_name, std::string_view flags);

  const std::vector<std::unique_ptr<TfrxAggregateItem>>& Items() const { return items_; }

 private:
  void Walk(std::string_view expression, const TfrxCustomMemoView& memo, const TfrxBand& parent_band,
            const TfrxDataBand* default_band, int depth);

  TfrxExpressions& expressions_;
  std::vector<std::unique_ptr<TfrxAggregateItem>> items_;
};

// Splits an argument list at top-level commas (not inside quotes, parentheses or angle
// references) and trims each part.
std::vector<std::string> SplitAggregateArgs(std::string_view args);
// Flags from their text: a decimal integer; anything else is 0.
int ParseAggregateFlags(std::string_view text);

}  // namespace lgoty::report
