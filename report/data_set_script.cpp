#include "report/data_set_script.h"

#include <mutex>

#include "data/dataset.h"
#include "data/field.h"
#include "report/data_sets.h"
#include "report/dialog_controls.h"
#include "report/query_data_sets.h"
#include "script/bound_object.h"
#include "script/interpreter.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"

namespace lgoty::report {

namespace {

using script::EScriptError;
using script::TfsCallMethod;
using script::TfsClassVariable;
using script::TfsScript;
using script::Variant;
using P = std::vector<Variant>;

template <class T, class F>
TfsCallMethod On(const char* class_name, F f) {
  return [class_name, f](core::TObject* o, TfsClassVariable*, const std::string& name, P& p) -> Variant {
    return f(script::Self<T>(o, class_name), p, name);
  };
}

template <class T, class F>
script::TfsGetValue Get(const char* class_name, F f) {
  return [class_name, f](core::TObject* o, TfsClassVariable*, const std::string&) -> Variant {
    return f(script::Self<T>(o, class_name));
  };
}

Variant ObjectValue(core::TObject* object) { return Variant(object); }

// Locate options come as a set: a bit mask (loCaseInsensitive = 1, loPartialKey = 2) or an
// array of those elements.
void LocateOptions(const Variant& v, bool& case_insensitive, bool& partial) {
  int64_t mask = 0;
  if (v.IsArray()) {
    for (int32_t i = v.ArrayLow(); i <= v.ArrayHigh(); ++i) mask |= v.At(i).AsInt64();
  } else if (!v.IsEmptyOrNull()) {
    mask = v.AsInt64();
  }
  case_insensitive = (mask & 1) != 0;
  partial = (mask & 2) != 0;
}

std::string Str(const Variant& v) { return core::VarToStr(v); }

void PlatformClasses(TfsScript& s) {
  s.AddEnumSet("TLocateOptions", "loCaseInsensitive, loPartialKey");
  TfsClassVariable* field = s.FindOrAddClass("TField", "TComponent");
  using data::TField;
  field->AddProperty("Value", "Variant", Get<TField>("TField", [](TField& f) { return f.AsVariant(); }),
                     [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
                       script::Self<TField>(o, "TField").SetAsVariant(v);
                     });
  field->AddProperty("AsString", "String", Get<TField>("TField", [](TField& f) { return Variant(f.AsString()); }));
  field->AddProperty("AsInteger", "Integer", Get<TField>("TField", [](TField& f) { return Variant(f.AsInteger()); }));
  field->AddProperty("AsFloat", "Extended", Get<TField>("TField", [](TField& f) { return Variant(f.AsFloat()); }));
  field->AddProperty("AsBoolean", "Boolean", Get<TField>("TField", [](TField& f) { return Variant(f.AsBoolean()); }));
  field->AddProperty("AsDateTime", "TDateTime",
                     Get<TField>("TField", [](TField& f) { return Variant::FromDate(f.AsDateTime()); }));
  field->AddProperty("IsNull", "Boolean", Get<TField>("TField", [](TField& f) { return Variant(f.IsNull()); }));
  field->AddProperty("FieldName", "String", Get<TField>("TField", [](TField& f) { return Variant(f.FieldName()); }));
  field->AddProperty("DisplayText", "String", Get<TField>("TField", [](TField& f) { return Variant(f.DisplayText()); }));
  field->AddProperty("Size", "Integer", Get<TField>("TField", [](TField& f) { return Variant(f.Size()); }));

  using data::TDataSet;
  TfsClassVariable* ds = s.FindOrAddClass("TDataSet", "TComponent");
  auto simple = [&](const char* decl, void (TDataSet::*op)()) {
    ds->AddMethod(decl, On<TDataSet>("TDataSet", [op](TDataSet& d, P&, auto&) {
                    (d.*op)();
                    return Variant();
                  }));
  };
  simple("procedure Open", &TDataSet::Open);
  simple("procedure Close", &TDataSet::Close);
  simple("procedure First", &TDataSet::First);
  simple("procedure Last", &TDataSet::Last);
  simple("procedure Next", &TDataSet::Next);
  simple("procedure Prior", &TDataSet::Prior);
  simple("procedure Refresh", &TDataSet::Refresh);
  ds->AddMethod("function Eof: Boolean", On<TDataSet>("TDataSet", [](TDataSet& d, P&, auto&) { return Variant(d.Eof()); }));
  ds->AddMethod("function Bof: Boolean", On<TDataSet>("TDataSet", [](TDataSet& d, P&, auto&) { return Variant(d.BOF()); }));
  ds->AddMethod("function IsEmpty: Boolean",
                On<TDataSet>("TDataSet", [](TDataSet& d, P&, auto&) { return Variant(d.IsEmpty()); }));
  ds->AddMethod("function FieldByName(const FieldName: string): TField",
                On<TDataSet>("TDataSet", [](TDataSet& d, P& p, auto&) { return ObjectValue(&d.FieldByName(Str(p[0]))); }));
  ds->AddMethod("function Locate(const KeyFields: string; const KeyValues: Variant;Options: TLocateOptions): Boolean",
                On<TDataSet>("TDataSet", [](TDataSet& d, P& p, auto&) {
                  data::TLocateOptions options;
                  LocateOptions(p[2], options.loCaseInsensitive, options.loPartialKey);
                  return Variant(d.Locate(Str(p[0]), p[1], options));
                }));
  ds->AddProperty("Active", "Boolean", Get<TDataSet>("TDataSet", [](TDataSet& d) { return Variant(d.Active()); }),
                  [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
                    script::Self<TDataSet>(o, "TDataSet").SetActive(v.AsBoolean());
                  });
  ds->AddProperty("RecordCount", "Integer",
                  Get<TDataSet>("TDataSet", [](TDataSet& d) { return Variant(d.RecordCount()); }));
  ds->AddProperty("RecNo", "Integer", Get<TDataSet>("TDataSet", [](TDataSet& d) { return Variant(d.RecNo()); }));
  ds->AddProperty("FieldCount", "Integer",
                  Get<TDataSet>("TDataSet", [](TDataSet& d) { return Variant(d.FieldCount()); }));
  ds->AddProperty("Filter", "String", Get<TDataSet>("TDataSet", [](TDataSet& d) { return Variant(d.Filter()); }),
                  [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
                    script::Self<TDataSet>(o, "TDataSet").SetFilter(Str(v));
                  });
  ds->AddProperty("Filtered", "Boolean", Get<TDataSet>("TDataSet", [](TDataSet& d) { return Variant(d.Filtered()); }),
                  [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
                    script::Self<TDataSet>(o, "TDataSet").SetFiltered(v.AsBoolean());
                  });

  using sql::TAdoQuery;
  TfsClassVariable* query = s.FindOrAddClass("TADOQuery", "TDataSet");
  query->AddMethod("procedure ExecSQL", On<TAdoQuery>("TADOQuery", [](TAdoQuery& q, P&, auto&) {
                     q.ExecSQL();
                     return Variant();
                   }));
  query->AddProperty("SQL", "TStrings", Get<TAdoQuery>("TADOQuery", [](TAdoQuery& q) { return ObjectValue(&q.SQL()); }));

  using sql::TAdoConnection;
  TfsClassVariable* connection = s.FindOrAddClass("TADOConnection", "TComponent");
  connection->AddProperty(
      "Connected", "Boolean",
      Get<TAdoConnection>("TADOConnection", [](TAdoConnection& c) { return Variant(c.Connected()); }),
      [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
        script::Self<TAdoConnection>(o, "TADOConnection").SetConnected(v.AsBoolean());
      });
  connection->AddProperty(
      "ConnectionString", "String",
      Get<TAdoConnection>("TADOConnection", [](TAdoConnection& c) { return Variant(c.ConnectionString()); }),
      [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) {
        script::Self<TAdoConnection>(o, "TADOConnection").SetConnectionString(Str(v));
      });
}

void DataSetClasses(TfsScript& s) {
  s.AddEnum("TfrxRangeBegin", "rbFirst, rbCurrent");
  s.AddEnum("TfrxRangeEnd", "reLast, reCurrent, reCount");
  s.AddEnum("TfrxFieldType", "fftNumeric, fftString, fftBoolean, fftDate");
  s.AddEnum("TADOLockType", "ltUnspecified, ltReadOnly, ltPessimistic, ltOptimistic, ltBatchOptimistic");
  s.FindOrAddClass("TfrxDialogComponent", "TfrxReportComponent");

  TfsClassVariable* ds = s.FindOrAddClass("TfrxDataSet", "TfrxDialogComponent");
  const char* kDs = "TfrxDataSet";
  auto simple = [&](const char* decl, void (TfrxDataSet::*op)()) {
    ds->AddMethod(decl, On<TfrxDataSet>(kDs, [op](TfrxDataSet& d, P&, auto&) {
                    (d.*op)();
                    return Variant();
                  }));
  };
  simple("procedure Open", &TfrxDataSet::Open);
  simple("procedure Close", &TfrxDataSet::Close);
  simple("procedure First", &TfrxDataSet::First);
  simple("procedure Next", &TfrxDataSet::Next);
  simple("procedure Prior", &TfrxDataSet::Prior);
  ds->AddMethod("function Eof: Boolean", On<TfrxDataSet>(kDs, [](TfrxDataSet& d, P&, auto&) { return Variant(d.Eof()); }));
  ds->AddMethod("function FieldsCount: Integer",
                On<TfrxDataSet>(kDs, [](TfrxDataSet& d, P&, auto&) { return Variant(d.FieldsCount()); }));
  ds->AddMethod("function HasField(const FieldName: String): Boolean",
                On<TfrxDataSet>(kDs, [](TfrxDataSet& d, P& p, auto&) { return Variant(d.HasField(Str(p[0]))); }));
  ds->AddMethod("function IsBlobField(const FieldName: String): Boolean",
                On<TfrxDataSet>(kDs, [](TfrxDataSet& d, P& p, auto&) { return Variant(d.IsBlobField(Str(p[0]))); }));
  ds->AddMethod("function RecordCount: Integer",
                On<TfrxDataSet>(kDs, [](TfrxDataSet& d, P&, auto&) { return Variant(d.RecordCount()); }));
  ds->AddMethod("procedure GetFieldList(List: TStrings)", On<TfrxDataSet>(kDs, [](TfrxDataSet& d, P& p, auto&) {
                  auto* list = dynamic_cast<core::TStringList*>(p[0].IsObject() ? p[0].AsObject() : nullptr);
                  if (list == nullptr) throw EScriptError("Object of class TStrings required");
                  d.GetFieldList(*list);
                  return Variant();
                }));
  ds->AddProperty("RecNo", "Integer", Get<TfrxDataSet>(kDs, [](TfrxDataSet& d) { return Variant(d.RecNo()); }));
  ds->AddDefaultProperty("Value", "String", "Variant",
                         On<TfrxDataSet>(kDs, [](TfrxDataSet& d, P& p, auto&) { return d.Value(Str(p[0])); }), true);
  ds->AddIndexProperty("DisplayText", "String", "String",
                       On<TfrxDataSet>(kDs, [](TfrxDataSet& d, P& p, auto&) { return Variant(d.DisplayText(Str(p[0]))); }),
                       true);
  ds->AddIndexProperty("DisplayWidth", "String", "Integer",
                       On<TfrxDataSet>(kDs, [](TfrxDataSet& d, P& p, auto&) { return Variant(d.DisplayWidth(Str(p[0]))); }),
                       true);
  ds->AddIndexProperty("FieldType", "String", "TfrxFieldType",
                       On<TfrxDataSet>(kDs, [](TfrxDataSet& d, P& p, auto&) {
                         return Variant(static_cast<int32_t>(d.FieldType(Str(p[0]))));
                       }),
                       true);

  s.FindOrAddClass("TfrxUserDataSet", "TfrxDataSet");
  TfsClassVariable* custom_db = s.FindOrAddClass("TfrxCustomDBDataSet", "TfrxDataSet");
  custom_db->AddMethod(
      "function Locate(const KeyFields: string; const KeyValues: Variant;Options: TLocateOptions): Boolean",
      On<TfrxDBDataset>("TfrxDBDataset", [](TfrxDBDataset& d, P& p, auto&) {
        bool ci = false, partial = false;
        LocateOptions(p[2], ci, partial);
        return Variant(d.Locate(Str(p[0]), p[1], ci, partial));
      }));
  custom_db->AddMethod("function IsEmpty: Boolean", On<TfrxDBDataset>("TfrxDBDataset", [](TfrxDBDataset& d, P&, auto&) {
                         return Variant(d.IsEmpty());
                       }));

  TfsClassVariable* db = s.FindOrAddClass("TfrxDBDataset", "TfrxCustomDBDataSet");
  db->AddMethod("procedure Last", On<TfrxDBDataset>("TfrxDBDataset", [](TfrxDBDataset& d, P&, auto&) {
                  d.Last();
                  return Variant();
                }));
  db->AddMethod("function FieldByName(const FieldName: string): TField",
                On<TfrxDBDataset>("TfrxDBDataset", [](TfrxDBDataset& d, P& p, auto&) {
                  return ObjectValue(&d.FieldByName(Str(p[0])));
                }));
  db->AddProperty("DataSet", "TDataSet",
                  Get<TfrxDBDataset>("TfrxDBDataset", [](TfrxDBDataset& d) { return ObjectValue(d.GetDataSet()); }));

  // Result types are resolved as methods are declared: the classes they name come first.
  s.FindOrAddClass("TfrxParamItem", "TPersistent");
  TfsClassVariable* params = s.FindOrAddClass("TfrxParams", "TPersistent");
  s.FindOrAddClass("TfrxCustomDataset", "TfrxDBDataset");
  s.FindOrAddClass("TfrxCustomTable", "TfrxCustomDataset");
  TfsClassVariable* query = s.FindOrAddClass("TfrxCustomQuery", "TfrxCustomDataset");
  query->AddMethod("function ParamByName(const Value: string): TfrxParamItem",
                   On<TfrxCustomQuery>("TfrxCustomQuery", [](TfrxCustomQuery& q, P& p, auto&) {
                     return ObjectValue(&q.ParamByName(Str(p[0])));
                   }));
  query->AddProperty("Params", "TfrxParams",
                     Get<TfrxCustomQuery>("TfrxCustomQuery", [](TfrxCustomQuery& q) { return ObjectValue(&q.Params()); }));

  params->AddMethod("function IndexOf(const Name: String): Integer",
                    On<TfrxParams>("TfrxParams", [](TfrxParams& l, P& p, auto&) { return Variant(l.IndexOf(Str(p[0]))); }));
  params->AddProperty("Count", "Integer", Get<TfrxParams>("TfrxParams", [](TfrxParams& l) { return Variant(l.Count()); }));
  params->AddDefaultProperty("Items", "Integer", "TfrxParamItem",
                             On<TfrxParams>("TfrxParams", [](TfrxParams& l, P& p, auto&) {
                               return ObjectValue(&l.Items(static_cast<int>(p[0].AsInt64())));
                             }),
                             true);

  TfsClassVariable* ado_query = s.FindOrAddClass("TfrxADOQuery", "TfrxCustomQuery");
  ado_query->AddMethod("procedure ExecSQL", On<TfrxADOQuery>("TfrxADOQuery", [](TfrxADOQuery& q, P&, auto&) {
                         q.ExecSQL();
                         return Variant();
                       }));
  ado_query->AddProperty("Query", "TADOQuery",
                         Get<TfrxADOQuery>("TfrxADOQuery", [](TfrxADOQuery& q) { return ObjectValue(&q.Query()); }));
  TfsClassVariable* ado_table = s.FindOrAddClass("TfrxADOTable", "TfrxCustomTable");
  ado_table->AddProperty("Table", "TADOQuery",
                         Get<TfrxADOTable>("TfrxADOTable", [](TfrxADOTable& t) { return ObjectValue(&t.Table()); }));
  s.FindOrAddClass("TfrxCustomDatabase", "TfrxDialogComponent");
  TfsClassVariable* ado_db = s.FindOrAddClass("TfrxADODatabase", "TfrxCustomDatabase");
  ado_db->AddProperty("Database", "TADOConnection",
                      Get<TfrxADODatabase>("TfrxADODatabase", [](TfrxADODatabase& d) { return ObjectValue(&d.Database()); }));
}

void DialogControlClasses(TfsScript& s) {
  s.AddEnum("TCheckBoxState", "cbUnchecked, cbChecked, cbGrayed");
  TfsClassVariable* control = s.FindOrAddClass("TfrxDialogControl", "TfrxReportComponent");
  control->AddMethod("procedure SetFocus", [](core::TObject*, TfsClassVariable*, const std::string&, P&) {
    return Variant();  // focus belongs to the window that shows the page
  });
  for (const char* name :
       {"TfrxLabelControl", "TfrxEditControl", "TfrxMemoControl", "TfrxButtonControl",
        "TfrxCheckBoxControl", "TfrxRadioButtonControl", "TfrxListBoxControl", "TfrxComboBoxControl",
        "TfrxDateEditControl", "TfrxPanelControl", "TfrxGroupBoxControl", "TfrxImageControl",
        "TfrxBevelControl", "TfrxBitBtnControl", "TfrxSpeedButtonControl", "TfrxMaskEditControl",
        "TfrxCheckListBoxControl", "TfrxDBLookupComboBox"}) {
    s.FindOrAddClass(name, "TfrxDialogControl");
  }
}

void Module(TfsScript& s) {
  PlatformClasses(s);
  DataSetClasses(s);
  DialogControlClasses(s);
}

}  // namespace

void RegisterDataSetScriptClasses() {
  static std::once_flag once;
  std::call_once(once, [] { script::RegisterRttiModule(&Module); });
}

}  // namespace lgoty::report
