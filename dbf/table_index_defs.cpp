#include "dbf/table_index_defs.h"

#include <algorithm>

#include "core/ascii_text.h"
#include "platform/system.h"

namespace lgoty::dbf {

std::string NormalizeIndexText(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return core::AsciiUpper(text);
}

namespace {

// Tag names are upper-cased; an .ndx file name keeps its spelling, since file systems may
// tell letter cases apart.
std::string NormalizeIndexName(std::string_view name) {
  std::string upper = NormalizeIndexText(name);
  if (platform::ExtractFileExt(upper).empty()) return upper;
  while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
  return std::string(name);
}

}  // namespace

TDbfIndexDef::TDbfIndexDef(std::string_view index_file, std::string_view sort_field,
                           TIndexOptionSet options, bool from_production)
    : index_file_(NormalizeIndexName(index_file)),
      sort_field_(NormalizeIndexText(sort_field)),
      options_(options),
      from_production_(from_production) {}

void TDbfIndexDef::SetIndexFile(std::string_view name) { index_file_ = NormalizeIndexName(name); }

void TDbfIndexDef::SetSortField(std::string_view expression) {
  sort_field_ = NormalizeIndexText(expression);
}

bool TDbfIndexDef::IsNdx() const { return !platform::ExtractFileExt(index_file_).empty(); }

TDbfIndexDef& TDbfIndexDefs::Add(std::string_view index_file, std::string_view sort_field,
                                 TIndexOptionSet options, bool from_production) {
  items_.push_back(
      std::make_unique<TDbfIndexDef>(index_file, sort_field, options, from_production));
  return *items_.back();
}

void TDbfIndexDefs::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

TDbfIndexDef* TDbfIndexDefs::Find(std::string_view name) {
  const std::string wanted = NormalizeIndexText(name);
  for (auto& item : items_) {
    if (NormalizeIndexText(item->IndexFile()) == wanted) return item.get();
  }
  return nullptr;
}

TDbfIndexDef* TDbfIndexDefs::FindBySortField(std::string_view expression) {
  const std::string wanted = NormalizeIndexText(expression);
  for (auto& item : items_) {
    if (item->SortField() == wanted) return item.get();
  }
  return nullptr;
}

void TDbfIndexDefs::RemoveProductionEntries() {
  std::erase_if(items_, [](const auto& item) { return item->FromProduction() && !item->IsNdx(); });
}

}  // namespace lgoty::dbf
