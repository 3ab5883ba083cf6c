#include "script/bindings.h"

#include <cctype>

#include "core/text_format.h"
#include "script/interpreter.h"
#include "script/parser.h"

namespace lgoty::script {

namespace {

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  int quote = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i < s.size() && s[i] == '\'') quote ^= 1;
    if (i == s.size() || (s[i] == sep && quote == 0)) {
      out.push_back(Trim(s.substr(start, i - start)));
      start = i + 1;
    }
  }
  return out;
}

// The value of a default written in a declaration: a number, a string, "-" and a number, or
// the name of a registered constant or variable (Null when unknown).
Variant DefaultValue(const std::string& text,
                     const std::function<const TfsCustomVariable*(const std::string&)>& lookup) {
  if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
    std::string inner;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
      inner += text[i];
      if (text[i] == '\'' && i + 2 < text.size() && text[i + 1] == '\'') ++i;
    }
    return Variant(inner);
  }
  Variant number;
  std::string t = text;
  if (!t.empty() && t[0] == '$') {
    int64_t v = 0;
    if (core::TryStrToInt64(t, v)) return v >= INT32_MIN && v <= INT32_MAX ? Variant(static_cast<int32_t>(v)) : Variant(v);
  }
  core::FormatSettings dot = core::FormatSettings::English();
  dot.ThousandSeparator = "";
  if (core::TryStrToVarNumber(t, number, dot)) return number;
  if (lookup) {
    if (const TfsCustomVariable* v = lookup(t)) return const_cast<TfsCustomVariable*>(v)->GetValue();
  }
  return Variant::Null();
}

}  // namespace

TfsMethodHelper::TfsMethodHelper(const std::string& decl, TfsCallMethod h,
                                 const std::function<const TfsCustomVariable*(const std::string&)>& lookup)
    : TfsCustomVariable("", {TfsVarType::fvtVariant, ""}), declaration(decl), handler(std::move(h)) {
  read_only = true;
  std::string text = Trim(decl);
  while (!text.empty() && text.back() == ';') text = Trim(text.substr(0, text.size() - 1));
  size_t word_end = 0;
  while (word_end < text.size() && std::isalpha(static_cast<unsigned char>(text[word_end]))) ++word_end;
  std::string kind = core::AsciiUpper(text.substr(0, word_end));
  if (kind.rfind("MACRO", 0) == 0) {
    is_macro = true;
    kind = kind.substr(5);
  }
  bool is_function = kind == "FUNCTION";
  if (!is_function && kind != "PROCEDURE") throw core::Exception("Invalid declaration: " + decl);
  size_t paren = text.find('(');
  size_t close = text.rfind(')');
  std::string head = Trim(text.substr(word_end, (paren == std::string::npos ? text.size() : paren) - word_end));
  size_t colon = head.find(':');
  name_ = Trim(head.substr(0, colon));
  if (name_.empty()) throw core::Exception("Invalid declaration: " + decl);
  upper_name_ = core::AsciiUpper(name_);
  if (is_function) {
    size_t last_colon = text.rfind(':');
    if (last_colon == std::string::npos || (paren != std::string::npos && close != std::string::npos &&
                                            last_colon < close)) {
      throw core::Exception("Invalid declaration: " + decl);
    }
    result_type_name = Trim(text.substr(last_colon + 1));
  }
  if (paren != std::string::npos) {
    if (close == std::string::npos || close < paren) throw core::Exception("Invalid declaration: " + decl);
    for (const std::string& group : Split(text.substr(paren + 1, close - paren - 1), ';')) {
      if (group.empty()) continue;
      std::string g = group;
      bool is_var = false;
      std::string upper = core::AsciiUpper(g);
      if (upper.rfind("VAR ", 0) == 0) {
        is_var = true;
        g = Trim(g.substr(4));
      } else if (upper.rfind("CONST ", 0) == 0) {
        g = Trim(g.substr(6));
      }
      std::string names = g, type_name = "Variant", default_text;
      bool optional = false;
      size_t eq = g.find('=');
      if (eq != std::string::npos) {
        optional = true;
        default_text = Trim(g.substr(eq + 1));
        g = Trim(g.substr(0, eq));
      }
      size_t c = g.find(':');
      if (c != std::string::npos) {
        names = g.substr(0, c);
        type_name = Trim(g.substr(c + 1));
      } else {
        names = g;
      }
      Variant def = optional ? DefaultValue(default_text, lookup) : Variant();
      for (const std::string& n : Split(names, ',')) {
        if (n.empty()) continue;
        TfsVarType code = TfsVarType::fvtVariant;
        TfsType type{code, type_name};
        if (BuiltinTypeCode(type_name, code)) type = {code, ""};
        params.push_back(std::make_unique<TfsParamItem>(n, type, is_var, optional, def));
      }
    }
  }
}

Variant TfsPropertyHelper::Get(core::TObject* instance, TfsClassVariable* cls) {
  Variant v;
  if (published != nullptr) {
    v = published->GetValue(*instance);
  } else if (getter) {
    v = getter(instance, cls, upper_name_);
  }
  if (type_.code == TfsVarType::fvtBool && !v.IsEmptyOrNull() && v.kind() != Variant::Kind::Boolean) {
    return Variant(v.AsInt64() != 0);
  }
  return v;
}

void TfsPropertyHelper::Set(core::TObject* instance, TfsClassVariable* cls, const Variant& value) {
  if (published != nullptr) {
    published->SetValue(*instance, value);
  } else if (setter) {
    setter(instance, cls, upper_name_, value);
  } else {
    throw EScriptError("Left side cannot be assigned to");
  }
}

TfsClassVariable::TfsClassVariable(std::string name, std::string ancestor, const core::ClassInfo* rtti)
    : TfsCustomVariable(name, {TfsVarType::fvtClass, name}), ancestor_(std::move(ancestor)), rtti_(rtti) {
  read_only = true;
  if (rtti_ == nullptr) return;
  // Published properties of the class's own RTTI table.
  for (const core::PropInfo* p : rtti_->Properties()) {
    if (p->IsEvent()) {
      auto e = std::make_unique<TfsEventHelper>(p->name, nullptr);
      e->published = p;
      members_.push_back(std::move(e));
      continue;
    }
    TfsType type;
    switch (p->kind) {
      case core::TypeKind::Char:
      case core::TypeKind::WChar: type = {TfsVarType::fvtChar, ""}; break;
      case core::TypeKind::Enumeration: {
        std::string u = core::AsciiUpper(p->type_name);
        type = (u == "BOOLEAN" || u == "BOOL") ? TfsType{TfsVarType::fvtBool, ""}
                                               : TfsType{TfsVarType::fvtEnum, p->type_name};
        break;
      }
      case core::TypeKind::Float: type = {TfsVarType::fvtFloat, ""}; break;
      case core::TypeKind::String:
      case core::TypeKind::WString: type = {TfsVarType::fvtString, ""}; break;
      case core::TypeKind::Set: type = {TfsVarType::fvtEnum, p->type_name}; break;
      case core::TypeKind::Class: type = {TfsVarType::fvtClass, p->class_name}; break;
      case core::TypeKind::Variant: type = {TfsVarType::fvtVariant, ""}; break;
      default: type = {TfsVarType::fvtInt, ""}; break;
    }
    auto prop = std::make_unique<TfsPropertyHelper>(p->name, type);
    prop->published = p;
    prop->read_only = !p->HasSetter();
    members_.push_back(std::move(prop));
  }
}

TfsClassVariable::~TfsClassVariable() = default;

TfsMethodHelper* TfsClassVariable::AddMethod(const std::string& declaration, TfsCallMethod handler) {
  auto lookup = [this](const std::string& n) -> const TfsCustomVariable* {
    return script != nullptr ? script->Find(n) : nullptr;
  };
  auto m = std::make_unique<TfsMethodHelper>(declaration, std::move(handler), lookup);
  TfsMethodHelper* raw = m.get();
  members_.push_back(std::move(m));
  return raw;
}

TfsMethodHelper* TfsClassVariable::AddConstructor(const std::string& declaration, TfsCallMethod handler) {
  std::string text = declaration;
  size_t b = text.find_first_not_of(" \t");
  size_t e = text.find_first_of(" \t(;", b);
  std::string rest = e == std::string::npos ? "" : text.substr(e);
  while (!rest.empty() && (rest.back() == ';' || rest.back() == ' ')) rest.pop_back();
  TfsMethodHelper* m = AddMethod("function" + rest + ": Constructor", std::move(handler));
  m->is_constructor = true;
  m->SetType({TfsVarType::fvtClass, Name()});
  return m;
}

TfsPropertyHelper* TfsClassVariable::AddProperty(const std::string& name, const std::string& type_name,
                                                 TfsGetValue getter, TfsSetValue setter) {
  TfsType type = script != nullptr ? script->ResolveType(type_name) : TfsType{};
  auto p = std::make_unique<TfsPropertyHelper>(name, type);
  p->getter = std::move(getter);
  p->setter = std::move(setter);
  p->read_only = !p->setter;
  TfsPropertyHelper* raw = p.get();
  members_.push_back(std::move(p));
  return raw;
}

TfsMethodHelper* TfsClassVariable::AddIndexProperty(const std::string& name, const std::string& param_types,
                                                    const std::string& type_name, TfsCallMethod handler,
                                                    bool read_only) {
  std::string decl = "function " + name + "(";
  std::vector<std::string> types = Split(param_types, ',');
  for (size_t i = 0; i < types.size(); ++i) {
    if (i > 0) decl += "; ";
    decl += "p" + std::to_string(i) + ": " + types[i];
  }
  decl += "): " + type_name;
  TfsMethodHelper* m = AddMethod(decl, std::move(handler));
  m->is_index = true;
  m->read_only = read_only;
  return m;
}

TfsMethodHelper* TfsClassVariable::AddDefaultProperty(const std::string& name, const std::string& param_types,
                                                      const std::string& type_name, TfsCallMethod handler,
                                                      bool read_only) {
  TfsMethodHelper* m = AddIndexProperty(name, param_types, type_name, std::move(handler), read_only);
  default_property_ = m;
  return m;
}

TfsEventHelper* TfsClassVariable::AddEvent(const std::string& name, TfsEventSetter setter) {
  auto e = std::make_unique<TfsEventHelper>(name, std::move(setter));
  TfsEventHelper* raw = e.get();
  members_.push_back(std::move(e));
  return raw;
}

TfsComponentHelper* TfsClassVariable::AddComponent(const std::string& name, core::TObject* component,
                                                   const std::string& class_name) {
  auto c = std::make_unique<TfsComponentHelper>(name, component, class_name);
  TfsComponentHelper* raw = c.get();
  members_.push_back(std::move(c));
  return raw;
}

TfsCustomVariable* TfsClassVariable::Own(const std::string& upper) const {
  for (const auto& m : members_) {
    if (m->UpperName() == upper) return m.get();
  }
  return nullptr;
}

TfsCustomVariable* TfsClassVariable::FindMember(const std::string& name) const {
  const std::string upper = core::AsciiUpper(name);
  const TfsClassVariable* cls = this;
  for (int guard = 0; cls != nullptr && guard < 256; ++guard) {
    if (TfsCustomVariable* m = cls->Own(upper)) return m;
    if (cls->ancestor_.empty() || cls->script == nullptr) break;
    const TfsClassVariable* next = cls->script->FindClass(cls->ancestor_);
    if (next == cls) break;
    cls = next;
  }
  return nullptr;
}

TfsMethodHelper* TfsClassVariable::DefaultProperty() const {
  const TfsClassVariable* cls = this;
  for (int guard = 0; cls != nullptr && guard < 256; ++guard) {
    if (cls->default_property_ != nullptr) return cls->default_property_;
    if (cls->ancestor_.empty() || cls->script == nullptr) break;
    const TfsClassVariable* next = cls->script->FindClass(cls->ancestor_);
    if (next == cls) break;
    cls = next;
  }
  return nullptr;
}

}  // namespace lgoty::script
