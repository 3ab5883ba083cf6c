// Variable lists by name: the report's Variables and the process-wide frxGlobalVariables.
//
// A list is ordered; names compare without regard to letter case and the first match wins.
// Reading a missing name gives Null; writing one appends an entry. An entry whose name
// begins with a blank is a category heading of the variable editor and otherwise an
// ordinary entry. The report stores expressions in its values (see TfrxExpressions); the
// global list's values are taken as they are.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"
#include "core/variant.h"
#include "report/report_options.h"

namespace lgoty::report {

// ASCII names compare fast; others through the locale's case folding.
bool SameVariableName(std::string_view a, std::string_view b);
// Whether the name has no byte past ASCII.
bool IsAsciiName(std::string_view name);

// A view over a list of TfrxVariable entries that it does not own (the report's), or over
// its own entries (the global list).
class TfrxVariables : public core::TObject {
 public:
  using Items = std::vector<std::unique_ptr<TfrxVariable>>;
  // Borrows `items`, which must outlive the view.
  explicit TfrxVariables(Items* items) : items_(items) {}
  TfrxVariables() : items_(&own_) {}
  const char* ClassName() const override { return "TfrxVariables"; }

  int Count() const { return static_cast<int>(items_->size()); }
  TfrxVariable& Item(int index) const { return *(*items_)[static_cast<size_t>(index)]; }
  // -1 when none.
  int IndexOf(std::string_view name) const { return IndexOf(name, IsAsciiName(name)); }
  // IndexOf for a caller that knows whether the name is pure ASCII (IsAsciiName), searching
  // from entry `from` on.
  int IndexOf(std::string_view name, bool ascii, int from = 0) const;
  // The entry of that name, nullptr when none.
  TfrxVariable* Find(std::string_view name) const { return Find(name, IsAsciiName(name)); }
  TfrxVariable* Find(std::string_view name, bool ascii) const;
  // Null for a missing name.
  core::Variant Get(std::string_view name) const;
  void Set(std::string_view name, const core::Variant& value);
  void Clear();
  // How many entries Set and Clear have left; read without any lock. Exact for a list that
  // owns its entries; a borrowed list may be changed behind the view's back.
  size_t SetCount() const { return set_count_.load(std::memory_order_acquire); }

 private:
  Items own_;
  Items* items_;
  std::atomic<size_t> set_count_{0};
};

// The process-wide list (frxGlobalVariables). Reads and writes of its entries from several
// threads go through GlobalVariablesLock.
TfrxVariables& frxGlobalVariables();
std::mutex& GlobalVariablesLock();
// Entries of frxGlobalVariables, read without the lock: 0 means no name can be found there,
// which spares expressions the lock for every name they resolve.
inline size_t GlobalVariableCount() { return frxGlobalVariables().SetCount(); }

}  // namespace lgoty::report
