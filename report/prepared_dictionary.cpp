#include "report/prepared_dictionary.h"

namespace lgoty::report {

std::string TfrxDictionary::CreateUniqueName(std::string_view prefix) const {
  auto used = [&](int n) { return Contains(std::string(prefix) + std::to_string(n)); };
  int n = 10000;
  while (n > 1 && !used(n)) n /= 2;
  while (used(n)) ++n;
  return std::string(prefix) + std::to_string(n);
}

TfrxDictionary::TfrxDictionary(const TfrxDictionary& other) : entries_(other.entries_) {
  RebuildIndex();
}

TfrxDictionary& TfrxDictionary::operator=(const TfrxDictionary& other) {
  if (this != &other) {
    index_.clear();
    entries_ = other.entries_;
    RebuildIndex();
  }
  return *this;
}

void TfrxDictionary::RebuildIndex() {
  index_.clear();
  index_.reserve(entries_.size());
  for (const auto& [alias, entry] : entries_) index_.emplace(alias, &entry);
}

void TfrxDictionary::Add(const std::string& alias, std::string source_name,
                         TfrxComponent* object) {
  auto [it, inserted] = entries_.try_emplace(alias);
  it->second = Entry{std::move(source_name), object};
  if (inserted) {
    try {
      index_.emplace(std::string_view(it->first), &it->second);
    } catch (...) {
      entries_.erase(it);
      throw;
    }
  }
}

const TfrxDictionary::Entry* TfrxDictionary::Find(std::string_view alias) const {
  auto it = index_.find(alias);
  return it == index_.end() ? nullptr : it->second;
}

}  // namespace lgoty::report
