// The process-wide list of script languages: each a name and its grammar document. A name
// registered again gets the new grammar. Names beginning with "@" are hidden from the list
// but can be selected. The registry is filled at start-up; reads take a lock, so scripts
// on several threads may select languages at the same time.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lgoty::script {

class Grammar;

void RegisterLanguage(const std::string& name, std::string grammar_text);
// Names without the hidden ones, in registration order.
std::vector<std::string> LanguageNames();
// The decoded grammar (decoded once per registration); throws EGrammarError
// "Language 'X' not found" for an unknown name and "Invalid language definition" for a
// grammar that does not decode.
std::shared_ptr<const Grammar> FindLanguage(std::string_view name);

// The PascalScript grammar document (registered under "PascalScript" on first use of the
// registry).
std::string_view PascalScriptGrammar();

}  // namespace lgoty::script
