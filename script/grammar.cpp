#include "script/grammar.h"

#include <algorithm>

#include "core/stream.h"
#include "core/xml_document.h"

namespace lgoty::script {

namespace {

using core::TfrxXMLItem;

constexpr const char* kInvalidDefinition = "Invalid language definition";

struct KindName {
  const char* name;
  GrammarKind kind;
};
constexpr KindName kKinds[] = {
    {"CHAR", GrammarKind::Char},
    {"KEYWORD", GrammarKind::Keyword},
    {"IDENT", GrammarKind::Ident},
    {"NUMBER", GrammarKind::Number},
    {"STRING", GrammarKind::String},
    {"FRSTRING", GrammarKind::FrString},
    {"EOL", GrammarKind::Eol},
    {"SEQUENCE", GrammarKind::Sequence},
    {"SWITCH", GrammarKind::Switch},
    {"OPTIONALSWITCH", GrammarKind::OptionalSwitch},
    {"OPTIONAL", GrammarKind::Optional},
    {"LOOP", GrammarKind::Loop},
    {"OPTIONALLOOP", GrammarKind::OptionalLoop},
};

GrammarKind KindOf(const std::string& upper_name) {
  for (const auto& k : kKinds) {
    if (upper_name == k.name) return k.kind;
  }
  return GrammarKind::RuleRef;
}

int ErrorNumber(const std::string& text) {
  std::string u = core::AsciiUpper(text);
  if (u.rfind("ERR", 0) != 0 || u.size() == 3 || u.size() > 6) return 0;
  int n = 0;
  for (size_t i = 3; i < u.size(); ++i) {
    if (u[i] < '0' || u[i] > '9') return 0;
    n = n * 10 + (u[i] - '0');
  }
  return n;
}

void Decode(const TfrxXMLItem& item, GrammarElement& out, int depth) {
  if (depth > 200) throw EGrammarError(kInvalidDefinition);
  std::string upper = core::AsciiUpper(item.Name());
  out.kind = KindOf(upper);
  if (out.kind == GrammarKind::RuleRef) out.rule_name = upper;
  out.text = item.Attribute("text");
  out.node = item.Attribute("node");
  out.add = item.Attribute("add");
  out.has_addtext = item.HasAttribute("addtext");
  out.addtext = item.Attribute("addtext");
  out.err = ErrorNumber(item.Attribute("err"));
  out.term = item.Attribute("term") == "1";
  if (out.kind == GrammarKind::Char) out.skip = item.Attribute("skip") != "0";
  out.loop_skip = item.Attribute("skip") == "1";
  out.children.resize(static_cast<size_t>(item.Count()));
  for (int i = 0; i < item.Count(); ++i) Decode(*item[i], out.children[static_cast<size_t>(i)], depth + 1);
}

void CopyTypes(const TfrxXMLItem& item, IlNode& out) {
  for (int i = 0; i < item.Count(); ++i) {
    IlNode* child = out.Add(item[i]->Name());
    child->text = item[i]->Attribute("text");
    CopyTypes(*item[i], *child);
  }
}

void Resolve(GrammarElement& e, const std::map<std::string, GrammarElement, std::less<>>& rules) {
  if (e.kind == GrammarKind::RuleRef) {
    auto it = rules.find(e.rule_name);
    if (it == rules.end()) throw EGrammarError(kInvalidDefinition);
    e.rule = &it->second;
  }
  for (auto& c : e.children) Resolve(c, rules);
}

bool Truthy(const std::string& v) { return v == "1" || core::AsciiUpper(v) == "TRUE"; }

void ApplySetting(ParserSettings& s, bool& declare_vars, const std::string& name,
                  const std::string& value) {
  auto split = [](const std::string& v, std::string& a, std::string& b) {
    size_t comma = v.find(',');
    a = comma == std::string::npos ? v : v.substr(0, comma);
    b = comma == std::string::npos ? "" : v.substr(comma + 1);
  };
  if (name == "COMMENTLINE1") {
    s.line_comment1 = value;
  } else if (name == "COMMENTLINE2") {
    s.line_comment2 = value;
  } else if (name == "COMMENTBLOCK1") {
    split(value, s.block_comment1_open, s.block_comment1_close);
  } else if (name == "COMMENTBLOCK2") {
    split(value, s.block_comment2_open, s.block_comment2_close);
  } else if (name == "STRINGQUOTES") {
    s.string_quote = value.empty() ? '\'' : value[0];
  } else if (name == "HEXSEQUENCE") {
    s.hex_prefix = value;
  } else if (name == "SPECSTRCHAR") {
    s.escapes = Truthy(value);
  } else if (name == "IDENTCHARS") {
    s.ident_chars = value;
  } else if (name == "DECLAREVARS") {
    declare_vars = Truthy(value);
  } else if (name == "SKIPEOL") {
    s.skip_eol = Truthy(value);
  } else if (name == "SKIPCHAR") {
    s.line_continuation = value.empty() ? 0 : value[0];
  } else if (name == "CASESENSITIVE") {
    s.case_sensitive = Truthy(value);
  }
}

}  // namespace

std::shared_ptr<const Grammar> Grammar::Load(std::string_view xml_text) {
  core::TfrxXMLDocument doc;
  try {
    core::TMemoryStream stream{std::string(xml_text)};
    doc.LoadFromStream(stream);
  } catch (const core::Exception&) {
    throw EGrammarError(kInvalidDefinition);
  }
  auto g = std::make_shared<Grammar>();
  TfrxXMLItem* root = doc.Root();
  g->name_ = root->Attribute("text");
  // Some documents carry the declarations after their start in the root, others put them
  // first; read every child by name.
  for (int i = 0; i < root->Count(); ++i) {
    const TfrxXMLItem& item = *(*root)[i];
    std::string upper = core::AsciiUpper(item.Name());
    if (upper == "PARSER") {
      for (int j = 0; j < item.Count(); ++j) {
        ApplySetting(g->settings_, g->declare_vars_, core::AsciiUpper(item[j]->Name()),
                     item[j]->Attribute("text"));
      }
    } else if (upper == "KEYWORDS") {
      for (int j = 0; j < item.Count(); ++j) g->keywords_.push_back(item[j]->Name());
    } else if (upper == "ERRORS") {
      for (int j = 0; j < item.Count(); ++j) {
        int n = ErrorNumber(item[j]->Name());
        if (n > 0) g->errors_[n] = item[j]->Attribute("text");
      }
    } else if (upper == "TYPES") {
      g->types_.name = "types";
      CopyTypes(item, g->types_);
    } else {
      GrammarElement rule;
      Decode(item, rule, 0);
      rule.kind = GrammarKind::Sequence;  // a rule's body matches like a sequence
      g->rules_[upper] = std::move(rule);
    }
  }
  if (g->rules_.find("PROGRAM") == g->rules_.end()) throw EGrammarError(kInvalidDefinition);
  for (auto& [name, rule] : g->rules_) Resolve(rule, g->rules_);
  if (g->types_.name.empty()) g->types_.name = "types";
  return g;
}

std::string Grammar::ErrorText(int n) const {
  auto it = errors_.find(n);
  return it == errors_.end() ? std::string() : it->second;
}

const GrammarElement* Grammar::Rule(std::string_view name) const {
  auto it = rules_.find(core::AsciiUpper(name));
  return it == rules_.end() ? nullptr : &it->second;
}

}  // namespace lgoty::script
