#include "report/file_helper_script.h"

#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "core/stream.h"
#include "core/string_list.h"
#include "core/xml_document.h"
#include "platform/file.h"
#include "platform/file_stream.h"
#include "report/ini_file.h"
#include "script/bindings.h"
#include "script/bound_object.h"
#include "script/interpreter.h"

namespace lgoty::script {
core::TObject* Adopt(TfsScript& s, std::unique_ptr<core::TObject> object);
}  // namespace lgoty::script

namespace lgoty::report {

namespace {

using core::Variant;
using script::TfsClassVariable;
using script::TfsScript;
using P = std::vector<Variant>;

class ScriptXmlDocument;

// One item of a document as the script sees it.
class ScriptXmlItem final : public core::TObject {
 public:
  ScriptXmlItem(ScriptXmlDocument& document, core::TfrxXMLItem* item) : document(document), item(item) {}
  const char* ClassName() const override { return "TfrxXMLItem"; }
  core::TfrxXMLItem& Item() const {
    if (item == nullptr) throw script::EScriptError("XML item was freed");
    return *item;
  }
  ScriptXmlDocument& document;
  core::TfrxXMLItem* item;  // nullptr once the item left the tree
};

class ScriptXmlDocument final : public core::TObject {
 public:
  const char* ClassName() const override { return "TfrxXMLDocument"; }

  // The object of an item of this document (made on first use).
  ScriptXmlItem* Wrap(core::TfrxXMLItem* item) {
    if (item == nullptr) return nullptr;
    std::unique_ptr<ScriptXmlItem>& slot = items_[item];
    if (!slot) slot = std::make_unique<ScriptXmlItem>(*this, item);
    return slot.get();
  }
  // Before `item`'s children (and `item` itself unless keep_self) leave the tree: their
  // objects stop reaching them.
  void Forget(const core::TfrxXMLItem* item, bool keep_self) {
    for (auto it = items_.begin(); it != items_.end();) {
      bool inside = false;
      for (const core::TfrxXMLItem* p = it->first; p != nullptr; p = p->Parent()) {
        if (p == item) {
          inside = !(keep_self && it->first == item);
          break;
        }
      }
      if (inside) {
        it->second->item = nullptr;
        freed_.push_back(std::move(it->second));
        it = items_.erase(it);
      } else {
        ++it;
      }
    }
  }

  core::TfrxXMLDocument document;

 private:
  std::map<const core::TfrxXMLItem*, std::unique_ptr<ScriptXmlItem>> items_;
  std::vector<std::unique_ptr<ScriptXmlItem>> freed_;  // kept for references the script holds
};

TIniFile& Ini(core::TObject* o) { return script::Self<TIniFile>(o, "TIniFile"); }
ScriptXmlDocument& Doc(core::TObject* o) { return script::Self<ScriptXmlDocument>(o, "TfrxXMLDocument"); }
ScriptXmlItem& XmlItem(core::TObject* o) { return script::Self<ScriptXmlItem>(o, "TfrxXMLItem"); }
core::TStringList& Strings(const Variant& v) {
  return script::Self<core::TStringList>(v.IsObject() ? v.AsObject() : nullptr, "TStrings");
}

std::string Str(const Variant& v) { return core::VarToStr(v); }

bool IsSetter(const std::string& upper_name) {
  return upper_name.size() > 4 && upper_name.compare(upper_name.size() - 4, 4, ".SET") == 0;
}

template <class F>
script::TfsCallMethod OnIni(F f) {
  return [f](core::TObject* o, TfsClassVariable*, const std::string&, P& p) -> Variant { return f(Ini(o), p); };
}

template <class F>
script::TfsCallMethod OnItem(F f) {
  return [f](core::TObject* o, TfsClassVariable*, const std::string& name, P& p) -> Variant {
    ScriptXmlItem& self = XmlItem(o);
    return f(self, self.Item(), p, name);
  };
}

void IniClasses(TfsScript& s) {
  TfsScript* script = &s;
  TfsClassVariable* ini = s.AddClass("TIniFile", "TObject");
  if (ini == nullptr) return;
  ini->AddConstructor("constructor Create(const FileName: String)",
                      [script](core::TObject*, TfsClassVariable*, const std::string&, P& p) {
                        return Variant(script::Adopt(*script, std::make_unique<TIniFile>(Str(p[0]))));
                      });
  ini->AddMethod("function ReadString(const Section, Ident, Default: String): String", OnIni([](TIniFile& f, P& p) {
                   return Variant(f.ReadString(Str(p[0]), Str(p[1]), Str(p[2])));
                 }));
  ini->AddMethod("procedure WriteString(const Section, Ident, Value: String)", OnIni([](TIniFile& f, P& p) {
                   f.WriteString(Str(p[0]), Str(p[1]), Str(p[2]));
                   return Variant();
                 }));
  ini->AddMethod("function ReadInteger(const Section, Ident: String; Default: Integer): Integer",
                 OnIni([](TIniFile& f, P& p) {
                   const int64_t v = f.ReadInteger(Str(p[0]), Str(p[1]), p[2].AsInt64());
                   return v >= INT32_MIN && v <= INT32_MAX ? Variant(static_cast<int32_t>(v)) : Variant(v);
                 }));
  ini->AddMethod("procedure WriteInteger(const Section, Ident: String; Value: Integer)", OnIni([](TIniFile& f, P& p) {
                   f.WriteInteger(Str(p[0]), Str(p[1]), p[2].AsInt64());
                   return Variant();
                 }));
  ini->AddMethod("function ReadBool(const Section, Ident: String; Default: Boolean): Boolean",
                 OnIni([](TIniFile& f, P& p) { return Variant(f.ReadBool(Str(p[0]), Str(p[1]), p[2].AsBoolean())); }));
  ini->AddMethod("procedure WriteBool(const Section, Ident: String; Value: Boolean)", OnIni([](TIniFile& f, P& p) {
                   f.WriteBool(Str(p[0]), Str(p[1]), p[2].AsBoolean());
                   return Variant();
                 }));
  ini->AddMethod("function ReadFloat(const Section, Ident: String; Default: Double): Double",
                 OnIni([](TIniFile& f, P& p) { return Variant(f.ReadFloat(Str(p[0]), Str(p[1]), p[2].AsDouble())); }));
  ini->AddMethod("procedure WriteFloat(const Section, Ident: String; Value: Double)", OnIni([](TIniFile& f, P& p) {
                   f.WriteFloat(Str(p[0]), Str(p[1]), p[2].AsDouble());
                   return Variant();
                 }));
  ini->AddMethod("function SectionExists(const Section: String): Boolean",
                 OnIni([](TIniFile& f, P& p) { return Variant(f.SectionExists(Str(p[0]))); }));
  ini->AddMethod("function ValueExists(const Section, Ident: String): Boolean",
                 OnIni([](TIniFile& f, P& p) { return Variant(f.ValueExists(Str(p[0]), Str(p[1]))); }));
  ini->AddMethod("procedure ReadSection(const Section: String; Strings: TStrings)", OnIni([](TIniFile& f, P& p) {
                   f.ReadSection(Str(p[0]), Strings(p[1]));
                   return Variant();
                 }));
  ini->AddMethod("procedure ReadSections(Strings: TStrings)", OnIni([](TIniFile& f, P& p) {
                   f.ReadSections(Strings(p[0]));
                   return Variant();
                 }));
  ini->AddMethod("procedure ReadSectionValues(const Section: String; Strings: TStrings)",
                 OnIni([](TIniFile& f, P& p) {
                   f.ReadSectionValues(Str(p[0]), Strings(p[1]));
                   return Variant();
                 }));
  ini->AddMethod("procedure EraseSection(const Section: String)", OnIni([](TIniFile& f, P& p) {
                   f.EraseSection(Str(p[0]));
                   return Variant();
                 }));
  ini->AddMethod("procedure DeleteKey(const Section, Ident: String)", OnIni([](TIniFile& f, P& p) {
                   f.DeleteKey(Str(p[0]), Str(p[1]));
                   return Variant();
                 }));
  ini->AddMethod("procedure UpdateFile", OnIni([](TIniFile& f, P&) {
                   f.UpdateFile();
                   return Variant();
                 }));
  ini->AddProperty("FileName", "String", [](core::TObject* o, TfsClassVariable*, const std::string&) {
    return Variant(Ini(o).FileName());
  });
  TfsClassVariable* mem = s.AddClass("TMemIniFile", "TIniFile");
  mem->AddConstructor("constructor Create(const FileName: String)",
                      [script](core::TObject*, TfsClassVariable*, const std::string&, P& p) {
                        return Variant(script::Adopt(*script, std::make_unique<TMemIniFile>(Str(p[0]))));
                      });
}

void XmlClasses(TfsScript& s) {
  TfsScript* script = &s;
  // Items first: the document's Root is typed by it.
  TfsClassVariable* item = s.AddClass("TfrxXMLItem", "TObject");
  if (item == nullptr) return;
  auto text_property = [item](const char* name, std::string (*get)(const core::TfrxXMLItem&),
                              void (*set)(core::TfrxXMLItem&, std::string)) {
    item->AddProperty(
        name, "String",
        [get](core::TObject* o, TfsClassVariable*, const std::string&) { return Variant(get(XmlItem(o).Item())); },
        [set](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
          set(XmlItem(o).Item(), Str(v));
        });
  };
  text_property(
      "Name", [](const core::TfrxXMLItem& i) { return i.Name(); },
      [](core::TfrxXMLItem& i, std::string v) { i.SetName(std::move(v)); });
  text_property(
      "Text", [](const core::TfrxXMLItem& i) { return i.Text(); },
      [](core::TfrxXMLItem& i, std::string v) { i.SetText(std::move(v)); });
  text_property(
      "Value", [](const core::TfrxXMLItem& i) { return i.Value(); },
      [](core::TfrxXMLItem& i, std::string v) { i.SetValue(std::move(v)); });
  item->AddProperty("Count", "Integer", [](core::TObject* o, TfsClassVariable*, const std::string&) {
    return Variant(static_cast<int32_t>(XmlItem(o).Item().Count()));
  });
  item->AddProperty("Parent", "TfrxXMLItem", [](core::TObject* o, TfsClassVariable*, const std::string&) {
    ScriptXmlItem& self = XmlItem(o);
    return Variant(static_cast<core::TObject*>(self.document.Wrap(self.Item().Parent())));
  });
  item->AddDefaultProperty("Items", "Integer", "TfrxXMLItem",
                           OnItem([](ScriptXmlItem& self, core::TfrxXMLItem& i, P& p, const std::string&) {
                             const int64_t index = p[0].AsInt64();
                             if (index < 0 || index >= i.Count()) {
                               throw core::EListError("List index out of bounds (" + std::to_string(index) + ")");
                             }
                             return Variant(static_cast<core::TObject*>(
                                 self.document.Wrap(i.Items(static_cast<int>(index)))));
                           }),
                           true);
  item->AddIndexProperty("Prop", "String", "String",
                         OnItem([](ScriptXmlItem&, core::TfrxXMLItem& i, P& p, const std::string& name) {
                           if (IsSetter(name)) {
                             i.SetAttribute(Str(p[0]), Str(p[1]));
                             return Variant();
                           }
                           return Variant(i.Attribute(Str(p[0])));
                         }));
  item->AddMethod("function Add: TfrxXMLItem", OnItem([](ScriptXmlItem& self, core::TfrxXMLItem& i, P&, auto&) {
                    return Variant(static_cast<core::TObject*>(self.document.Wrap(i.Add())));
                  }));
  item->AddMethod("procedure Clear", OnItem([](ScriptXmlItem& self, core::TfrxXMLItem& i, P&, auto&) {
                    self.document.Forget(&i, true);
                    i.Clear();
                    return Variant();
                  }));
  item->AddMethod("function Find(const Name: String): Integer",
                  OnItem([](ScriptXmlItem&, core::TfrxXMLItem& i, P& p, auto&) {
                    return Variant(static_cast<int32_t>(i.Find(Str(p[0]))));
                  }));
  item->AddMethod("function FindItem(const Name: String): TfrxXMLItem",
                  OnItem([](ScriptXmlItem& self, core::TfrxXMLItem& i, P& p, auto&) {
                    return Variant(static_cast<core::TObject*>(self.document.Wrap(i.FindItem(Str(p[0])))));
                  }));
  item->AddMethod("function IndexOf(Item: TfrxXMLItem): Integer",
                  OnItem([](ScriptXmlItem&, core::TfrxXMLItem& i, P& p, auto&) {
                    auto* other = dynamic_cast<ScriptXmlItem*>(p[0].IsObject() ? p[0].AsObject() : nullptr);
                    return Variant(static_cast<int32_t>(other != nullptr && other->item != nullptr ? i.IndexOf(other->item)
                                                                                                  : -1));
                  }));
  item->AddMethod("procedure Delete(Index: Integer)",
                  OnItem([](ScriptXmlItem& self, core::TfrxXMLItem& i, P& p, auto&) {
                    const int64_t index = p[0].AsInt64();
                    if (index < 0 || index >= i.Count()) {
                      throw core::EListError("List index out of bounds (" + std::to_string(index) + ")");
                    }
                    core::TfrxXMLItem* child = i.Items(static_cast<int>(index));
                    self.document.Forget(child, false);
                    i.Delete(child);
                    return Variant();
                  }));

  TfsClassVariable* doc = s.AddClass("TfrxXMLDocument", "TObject");
  doc->AddConstructor("constructor Create", [script](core::TObject*, TfsClassVariable*, const std::string&, P&) {
    return Variant(script::Adopt(*script, std::make_unique<ScriptXmlDocument>()));
  });
  doc->AddProperty("Root", "TfrxXMLItem", [](core::TObject* o, TfsClassVariable*, const std::string&) {
    ScriptXmlDocument& d = Doc(o);
    return Variant(static_cast<core::TObject*>(d.Wrap(d.document.Root())));
  });
  doc->AddProperty(
      "AutoIndent", "Boolean",
      [](core::TObject* o, TfsClassVariable*, const std::string&) { return Variant(Doc(o).document.AutoIndent()); },
      [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
        Doc(o).document.SetAutoIndent(v.AsBoolean());
      });
  doc->AddMethod("procedure Clear", [](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
    ScriptXmlDocument& d = Doc(o);
    d.Forget(d.document.Root(), true);
    d.document.Clear();
    return Variant();
  });
  doc->AddMethod("procedure LoadFromFile(const FileName: String)",
                 [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                   ScriptXmlDocument& d = Doc(o);
                   d.Forget(d.document.Root(), true);  // the root item stays, refilled
                   auto file = platform::FileStream::Open(Str(p[0]), platform::FileStreamMode::Read);
                   d.document.LoadFromStream(*file, false);
                   return Variant();
                 });
  doc->AddMethod("procedure SaveToFile(const FileName: String)",
                 [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                   // Written whole once the document is: a failure leaves no half file.
                   core::TMemoryStream bytes;
                   Doc(o).document.SaveToStream(bytes);
                   const std::string& data = bytes.Bytes();
                   platform::WriteWholeFile(Str(p[0]), std::as_bytes(std::span(data.data(), data.size())));
                   return Variant();
                 });
}

void Module(TfsScript& s) {
  IniClasses(s);
  XmlClasses(s);
}

}  // namespace

void RegisterFileHelperScriptClasses() {
  static std::once_flag once;
  std::call_once(once, [] { script::RegisterRttiModule(&Module); });
}

}  // namespace lgoty::report
