// The basic classes: TObject, TPersistent, TList and TComponent.
//
// Objects a script creates with a constructor belong to the script and are destroyed with
// it. Free empties such an object (a list, string list or stream drops its content) but
// keeps it allocated until then, so a reference used after Free never reaches freed memory.
// Free of an object the host owns does nothing.
#include "script/system_library.h"

#include "core/rtti.h"
#include "core/string_list.h"
#include "core/stream.h"
#include "script/bound_object.h"
#include "script/designator.h"

namespace lgoty::script {

// A list of values (items are variants: numbers, strings or object references).
class TScriptList : public core::TObject {
 public:
  const char* ClassName() const override { return "TList"; }
  std::vector<Variant> items;
};

namespace {

using P = std::vector<Variant>;

TScriptList& List(core::TObject* o) { return Self<TScriptList>(o, "TList"); }

size_t ListIndex(const TScriptList& l, const Variant& v, bool allow_end = false) {
  int64_t i = v.AsInt64();
  const int64_t limit = static_cast<int64_t>(l.items.size()) + (allow_end ? 1 : 0);
  if (i < 0 || i >= limit) throw core::EListError("List index out of bounds (" + std::to_string(i) + ")");
  return static_cast<size_t>(i);
}

}  // namespace

// Releases what a script object holds; the object itself lives until the script ends.
void EmptyScriptObject(core::TObject* o) {
  if (auto* l = dynamic_cast<TScriptList*>(o)) l->items.clear();
  if (auto* sl = dynamic_cast<core::TStringList*>(o)) sl->Clear();
  if (auto* ms = dynamic_cast<core::TMemoryStream*>(o)) ms->Clear();
}

bool ScriptOwns(TfsScript& s, core::TObject* o) {
  for (const auto& c : s.created_objects) {
    if (c.get() == o) return true;
  }
  return false;
}

core::TObject* Adopt(TfsScript& s, std::unique_ptr<core::TObject> object) {
  core::TObject* raw = object.get();
  s.created_objects.push_back(std::move(object));
  return raw;
}

core::TObject* NewScriptList(TfsScript& script, std::vector<Variant> items) {
  auto list = std::make_unique<TScriptList>();
  list->items = std::move(items);
  return Adopt(script, std::move(list));
}

void RegisterBasicClasses(TfsScript& s) {
  TfsScript* script = &s;
  TfsClassVariable* obj = s.AddClass("TObject", "");
  if (obj == nullptr) return;
  obj->AddConstructor("constructor Create",
                      [script](core::TObject*, TfsClassVariable* cls, const std::string&, P&) -> Variant {
                        if (cls != nullptr && cls->UpperName() != "TOBJECT") {
                          // A registered class whose RTTI can make an instance.
                          const core::ClassInfo* info = cls->Rtti();
                          if (info != nullptr && info->CanCreate()) return Variant(Adopt(*script, info->Create()));
                          throw EScriptError("Cannot create an instance of " + cls->Name());
                        }
                        return Variant(Adopt(*script, std::make_unique<core::TObject>()));
                      });
  obj->AddMethod("procedure Free", [script](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
    if (o != nullptr && ScriptOwns(*script, o)) EmptyScriptObject(o);
    return Variant();
  });
  obj->AddMethod("function ClassName: String", [](core::TObject* o, TfsClassVariable* cls, const std::string&, P&) {
    if (o != nullptr) return Variant(o->ClassName());
    return Variant(cls != nullptr ? cls->Name() : std::string("TObject"));
  });

  TfsClassVariable* persistent = s.AddClass("TPersistent", "TObject");
  persistent->AddMethod("procedure Assign(Source: TPersistent)",
                        [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                          auto* to = dynamic_cast<core::TStringList*>(o);
                          auto* from = dynamic_cast<core::TStringList*>(p[0].IsObject() ? p[0].AsObject() : nullptr);
                          if (to == nullptr || from == nullptr) throw EScriptError("Cannot assign these objects");
                          to->Assign(*from);
                          return Variant();
                        });

  TfsClassVariable* list = s.AddClass("TList", "TObject");
  list->AddConstructor("constructor Create", [script](core::TObject*, TfsClassVariable*, const std::string&, P&) {
    return Variant(Adopt(*script, std::make_unique<TScriptList>()));
  });
  list->AddMethod("function Add(Item: Variant): Integer", [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
    TScriptList& l = List(o);
    if (l.items.size() >= static_cast<size_t>(kMaxScriptArray)) throw EScriptError("List too long");
    l.items.push_back(p[0]);
    return Variant(static_cast<int32_t>(l.items.size() - 1));
  });
  list->AddMethod("procedure Clear", [](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
    List(o).items.clear();
    return Variant();
  });
  list->AddMethod("procedure Delete(Index: Integer)", [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
    TScriptList& l = List(o);
    l.items.erase(l.items.begin() + static_cast<long>(ListIndex(l, p[0])));
    return Variant();
  });
  list->AddMethod("procedure Insert(Index: Integer; Item: Variant)",
                  [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                    TScriptList& l = List(o);
                    l.items.insert(l.items.begin() + static_cast<long>(ListIndex(l, p[0], true)), p[1]);
                    return Variant();
                  });
  list->AddMethod("function IndexOf(Item: Variant): Integer", [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
    TScriptList& l = List(o);
    for (size_t i = 0; i < l.items.size(); ++i) {
      if (core::VarSameValue(l.items[i], p[0])) return Variant(static_cast<int32_t>(i));
    }
    return Variant(-1);
  });
  list->AddMethod("function Remove(Item: Variant): Integer", [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
    TScriptList& l = List(o);
    for (size_t i = 0; i < l.items.size(); ++i) {
      if (core::VarSameValue(l.items[i], p[0])) {
        l.items.erase(l.items.begin() + static_cast<long>(i));
        return Variant(static_cast<int32_t>(i));
      }
    }
    return Variant(-1);
  });
  list->AddProperty("Count", "Integer", [](core::TObject* o, TfsClassVariable*, const std::string&) {
    return Variant(static_cast<int32_t>(List(o).items.size()));
  });
  list->AddDefaultProperty("Items", "Integer", "Variant",
                           [](core::TObject* o, TfsClassVariable*, const std::string& name, P& p) {
                             TScriptList& l = List(o);
                             size_t i = ListIndex(l, p[0]);
                             if (name.size() > 4 && name.compare(name.size() - 4, 4, ".SET") == 0) {
                               l.items[i] = p[1];
                               return Variant();
                             }
                             return l.items[i];
                           });

  TfsClassVariable* component = s.AddClass("TComponent", "TPersistent");
  component->AddProperty("Name", "String", [](core::TObject* o, TfsClassVariable*, const std::string&) {
    if (o == nullptr) return Variant("");
    const core::ClassInfo* info = core::ClassRegistry::Instance().Find(o->ClassName());
    const core::PropInfo* p = info != nullptr ? info->FindProperty("Name") : nullptr;
    return p != nullptr ? p->GetValue(*o) : Variant("");
  });
}

}  // namespace lgoty::script
