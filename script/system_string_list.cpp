// TStrings and TStringList over core::TStringList.
#include "core/stream.h"
#include "core/string_list.h"
#include "platform/file_stream.h"
#include "script/system_library.h"

namespace lgoty::script {

core::TObject* Adopt(TfsScript& s, std::unique_ptr<core::TObject> object);

namespace {

using P = std::vector<Variant>;
using core::TStringList;

TStringList& Strings(core::TObject* o) {
  auto* self = dynamic_cast<TStringList*>(o);
  if (self == nullptr) throw EScriptError("Object of class TStrings required");
  return *self;
}

bool IsSet(const std::string& name) { return name.size() > 4 && name.compare(name.size() - 4, 4, ".SET") == 0; }

int Index(const Variant& v) {
  int64_t i = v.AsInt64();
  if (i < INT32_MIN || i > INT32_MAX) throw core::EListError("List index out of bounds (" + std::to_string(i) + ")");
  return static_cast<int>(i);
}

template <class F>
TfsCallMethod On(F f) {
  return [f](core::TObject* o, TfsClassVariable*, const std::string& name, P& p) -> Variant {
    return f(Strings(o), p, name);
  };
}

}  // namespace

void RegisterStringListClasses(TfsScript& s) {
  TfsScript* script = &s;
  TfsClassVariable* strings = s.AddClass("TStrings", "TPersistent");
  if (strings == nullptr) return;
  strings->AddMethod("function Add(const S: string): Integer", On([](TStringList& l, P& p, auto&) {
                       return Variant(l.Add(core::VarToStr(p[0])));
                     }));
  strings->AddMethod("function AddObject(S: String; AObject: TObject): Integer", On([](TStringList& l, P& p, auto&) {
                       return Variant(l.AddObject(core::VarToStr(p[0]), p[1].IsObject() ? p[1].AsObject() : nullptr));
                     }));
  strings->AddMethod("procedure AddStrings(Strings: TStrings)", On([](TStringList& l, P& p, auto&) {
                       l.AddStrings(Strings(p[0].IsObject() ? p[0].AsObject() : nullptr));
                       return Variant();
                     }));
  strings->AddMethod("procedure BeginUpdate", On([](TStringList& l, P&, auto&) {
                       l.BeginUpdate();
                       return Variant();
                     }));
  strings->AddMethod("procedure EndUpdate", On([](TStringList& l, P&, auto&) {
                       l.EndUpdate();
                       return Variant();
                     }));
  strings->AddMethod("procedure Clear", On([](TStringList& l, P&, auto&) {
                       l.Clear();
                       return Variant();
                     }));
  strings->AddMethod("procedure Delete(Index: Integer)", On([](TStringList& l, P& p, auto&) {
                       l.Delete(Index(p[0]));
                       return Variant();
                     }));
  strings->AddMethod("procedure Exchange(Index1, Index2: Integer)", On([](TStringList& l, P& p, auto&) {
                       l.Exchange(Index(p[0]), Index(p[1]));
                       return Variant();
                     }));
  strings->AddMethod("procedure Move(CurIndex, NewIndex: Integer)", On([](TStringList& l, P& p, auto&) {
                       l.Move(Index(p[0]), Index(p[1]));
                       return Variant();
                     }));
  strings->AddMethod("function IndexOf(const S: string): Integer", On([](TStringList& l, P& p, auto&) {
                       return Variant(l.IndexOf(core::VarToStr(p[0])));
                     }));
  strings->AddMethod("function IndexOfName(const Name: string): Integer", On([](TStringList& l, P& p, auto&) {
                       return Variant(l.IndexOfName(core::VarToStr(p[0])));
                     }));
  strings->AddMethod("procedure Insert(Index: Integer; const S: string)", On([](TStringList& l, P& p, auto&) {
                       l.Insert(Index(p[0]), core::VarToStr(p[1]));
                       return Variant();
                     }));
  strings->AddMethod("procedure LoadFromFile(const FileName: string)", On([](TStringList& l, P& p, auto&) {
                       auto f = platform::FileStream::Open(core::VarToStr(p[0]), platform::FileStreamMode::Read);
                       l.SetText(f->ReadRest());
                       return Variant();
                     }));
  strings->AddMethod("procedure SaveToFile(const FileName: string)", On([](TStringList& l, P& p, auto&) {
                       auto f = platform::FileStream::Open(core::VarToStr(p[0]), platform::FileStreamMode::Create);
                       f->Write(l.Text());
                       return Variant();
                     }));
  strings->AddMethod("procedure LoadFromStream(Stream: TStream)", On([](TStringList& l, P& p, auto&) {
                       auto* st = dynamic_cast<core::TStream*>(p[0].IsObject() ? p[0].AsObject() : nullptr);
                       if (st == nullptr) throw EScriptError("Object of class TStream required");
                       l.SetText(st->ReadRest());
                       return Variant();
                     }));
  strings->AddMethod("procedure SaveToStream(Stream: TStream)", On([](TStringList& l, P& p, auto&) {
                       auto* st = dynamic_cast<core::TStream*>(p[0].IsObject() ? p[0].AsObject() : nullptr);
                       if (st == nullptr) throw EScriptError("Object of class TStream required");
                       st->Write(l.Text());
                       return Variant();
                     }));
  strings->AddProperty("Count", "Integer", [](core::TObject* o, TfsClassVariable*, const std::string&) {
    return Variant(Strings(o).Count());
  });
  strings->AddProperty(
      "Text", "String", [](core::TObject* o, TfsClassVariable*, const std::string&) { return Variant(Strings(o).Text()); },
      [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) { Strings(o).SetText(core::VarToStr(v)); });
  strings->AddProperty(
      "CommaText", "String",
      [](core::TObject* o, TfsClassVariable*, const std::string&) { return Variant(Strings(o).CommaText()); },
      [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
        Strings(o).SetCommaText(core::VarToStr(v));
      });
  strings->AddDefaultProperty("Strings", "Integer", "String", On([](TStringList& l, P& p, const std::string& name) {
                                if (IsSet(name)) {
                                  l.Put(Index(p[0]), core::VarToStr(p[1]));
                                  return Variant();
                                }
                                return Variant(l.Get(Index(p[0])));
                              }));
  strings->AddIndexProperty("Objects", "Integer", "TObject", On([](TStringList& l, P& p, const std::string& name) {
                              if (IsSet(name)) {
                                l.PutObject(Index(p[0]), p[1].IsObject() ? p[1].AsObject() : nullptr);
                                return Variant();
                              }
                              return Variant(l.GetObject(Index(p[0])));
                            }));
  strings->AddIndexProperty("Names", "Integer", "String", On([](TStringList& l, P& p, auto&) {
                              return Variant(l.Names(Index(p[0])));
                            }), true);
  strings->AddIndexProperty("Values", "String", "String", On([](TStringList& l, P& p, const std::string& name) {
                              if (IsSet(name)) {
                                l.SetValue(core::VarToStr(p[0]), core::VarToStr(p[1]));
                                return Variant();
                              }
                              return Variant(l.Values(core::VarToStr(p[0])));
                            }));

  TfsClassVariable* list = s.AddClass("TStringList", "TStrings");
  list->AddConstructor("constructor Create", [script](core::TObject*, TfsClassVariable*, const std::string&, P&) {
    return Variant(Adopt(*script, std::make_unique<TStringList>()));
  });
  list->AddMethod("function Find(s: String; var Index: Integer): Boolean", On([](TStringList& l, P& p, auto&) {
                    int index = 0;
                    bool found = l.Find(core::VarToStr(p[0]), index);
                    p[1] = Variant(index);
                    return Variant(found);
                  }));
  list->AddMethod("procedure Sort", On([](TStringList& l, P&, auto&) {
                    l.Sort();
                    return Variant();
                  }));
  list->AddProperty(
      "Sorted", "Boolean", [](core::TObject* o, TfsClassVariable*, const std::string&) { return Variant(Strings(o).Sorted()); },
      [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) { Strings(o).SetSorted(v.AsBoolean()); });
  list->AddProperty(
      "CaseSensitive", "Boolean",
      [](core::TObject* o, TfsClassVariable*, const std::string&) { return Variant(Strings(o).CaseSensitive()); },
      [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
        Strings(o).SetCaseSensitive(v.AsBoolean());
      });
  s.AddEnum("TDuplicates", "dupIgnore, dupAccept, dupError");
  list->AddProperty(
      "Duplicates", "TDuplicates",
      [](core::TObject* o, TfsClassVariable*, const std::string&) {
        return Variant(static_cast<int32_t>(Strings(o).GetDuplicates()));
      },
      [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
        int64_t d = v.AsInt64();
        if (d < 0 || d > 2) throw EScriptError("Invalid Duplicates value");
        Strings(o).SetDuplicates(static_cast<core::Duplicates>(d));
      });
}

}  // namespace lgoty::script
