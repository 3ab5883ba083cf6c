#include "report/prepared_dictionary.h"

namespace lgoty::report {

std::string TfrxDictionary::CreateUniqueName(std::string_view prefix) const {
  auto used = [&](int n) { return Contains(std::string(prefix) + std::to_string(n)); };
  int n = 10000;
  while (n > 1 && !used(n)) n /= 2;
  while (used(n)) ++n;
  return std::string(prefix) + std::to_string(n);
}

void TfrxDictionary::Add(const std::string& alias, std::string source_name,
                         TfrxComponent* object) {
  entries_[alias] = Entry{std::move(source_name), object};
}

const TfrxDictionary::Entry* TfrxDictionary::Find(std::string_view alias) const {
  auto it = entries_.find(alias);
  return it == entries_.end() ? nullptr : &it->second;
}

}  // namespace lgoty::report
