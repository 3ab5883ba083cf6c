#include "script/language_registry.h"

#include <mutex>

#include "script/grammar.h"

namespace lgoty::script {

namespace {

struct Entry {
  std::string name;
  std::string text;
  std::shared_ptr<const Grammar> decoded;  // made on first use
};

struct Registry {
  std::mutex mutex;
  std::vector<Entry> entries;
};

Registry& Instance() {
  static Registry* registry = [] {
    auto* r = new Registry;
    r->entries.push_back({"PascalScript", std::string(PascalScriptGrammar()), nullptr});
    return r;
  }();
  return *registry;
}

bool SameName(std::string_view a, std::string_view b) { return core::AsciiSameText(a, b); }

}  // namespace

void RegisterLanguage(const std::string& name, std::string grammar_text) {
  Registry& r = Instance();
  std::lock_guard lock(r.mutex);
  for (auto& e : r.entries) {
    if (SameName(e.name, name)) {
      e.text = std::move(grammar_text);
      e.decoded.reset();
      return;
    }
  }
  r.entries.push_back({name, std::move(grammar_text), nullptr});
}

std::vector<std::string> LanguageNames() {
  Registry& r = Instance();
  std::lock_guard lock(r.mutex);
  std::vector<std::string> out;
  for (const auto& e : r.entries) {
    if (!e.name.empty() && e.name[0] != '@') out.push_back(e.name);
  }
  return out;
}

std::shared_ptr<const Grammar> FindLanguage(std::string_view name) {
  Registry& r = Instance();
  std::lock_guard lock(r.mutex);
  for (auto& e : r.entries) {
    if (!SameName(e.name, name)) continue;
    if (!e.decoded) e.decoded = Grammar::Load(e.text);
    return e.decoded;
  }
  throw EGrammarError("Language '" + std::string(name) + "' not found");
}

}  // namespace lgoty::script
