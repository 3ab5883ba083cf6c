// Shared pieces of the dataset tests: a small register in a memory dataset and a data link
// that writes down every notification it hears.
#pragma once

#include <string>
#include <vector>

#include "core/format_settings.h"
#include "data/data_source.h"
#include "data/memory_dataset.h"

namespace lgoty::data::testing {

// FAMIL, IMJA (strings), SUMPAY (float), KOL (integer), DATERCPT (date); rows in this order:
//   1 ИВАНОВ Петр 100.5  1 2020-01-15
//   2 Иванова Анна  20   2 2020-02-01
//   3 ПЕТРОВ Иван   0    3 null
//   4 СИДОРОВ Олег  7.25 4 2021-12-31
//   5 Abbot Tom     1    5 2019-05-05
inline void FillRegister(TMemoryDataSet& ds) {
  ds.FieldDefs().Add("FAMIL", TFieldType::ftString, 20);
  ds.FieldDefs().Add("IMJA", TFieldType::ftString, 15);
  ds.FieldDefs().Add("SUMPAY", TFieldType::ftFloat);
  ds.FieldDefs().Add("KOL", TFieldType::ftInteger);
  ds.FieldDefs().Add("DATERCPT", TFieldType::ftDate);
  ds.Open();
  auto date = [](int y, int m, int d) { return core::Variant::FromDate(core::EncodeDate(y, m, d)); };
  ds.AppendRecord({"ИВАНОВ", "Петр", 100.5, 1, date(2020, 1, 15)});
  ds.AppendRecord({"Иванова", "Анна", 20.0, 2, date(2020, 2, 1)});
  ds.AppendRecord({"ПЕТРОВ", "Иван", 0.0, 3, core::Variant::Null()});
  ds.AppendRecord({"СИДОРОВ", "Олег", 7.25, 4, date(2021, 12, 31)});
  ds.AppendRecord({"Abbot", "Tom", 1.0, 5, date(2019, 5, 5)});
  ds.First();
}

// Records the link calls in the order they came, as short words:
//   active/inactive, editing/browsing, changed, scrolled(N), record, field(NAME), update,
//   check.
class RecordingLink : public TDataLink {
 public:
  std::vector<std::string> calls;
  // Text of FAMIL in every row of the link's slice, taken at each DataSetChanged/Scrolled.
  std::vector<std::string> rows;

  std::vector<std::string> Take() {
    std::vector<std::string> out = std::move(calls);
    calls.clear();
    return out;
  }

 protected:
  void ActiveChanged() override { calls.push_back(Active() ? "active" : "inactive"); }
  void EditingChanged() override { calls.push_back(Editing() ? "editing" : "browsing"); }
  void DataSetChanged() override {
    calls.push_back("changed");
    Snapshot();
  }
  void DataSetScrolled(int distance) override {
    calls.push_back("scrolled(" + std::to_string(distance) + ")");
    Snapshot();
  }
  void RecordChanged(TField* field) override {
    calls.push_back(field ? "field(" + field->FieldName() + ")" : "record");
  }
  void UpdateData() override { calls.push_back("update"); }
  void CheckBrowseMode() override { calls.push_back("check"); }

 private:
  // Reads every row of the slice the way a grid paints: move the active row, read, put back.
  void Snapshot() {
    rows.clear();
    TField* field = DataSet()->FindField("FAMIL");
    if (!field || DataSet()->State() != TDataSetState::dsBrowse) return;
    int saved = ActiveRecord();
    for (int i = 0; i < RecordCount(); ++i) {
      SetActiveRecord(i);
      rows.push_back((i == saved ? "*" : "") + field->AsString());
    }
    SetActiveRecord(saved);
  }
};

// Sets the English conventions for the test's lifetime (dates M/d/yyyy, "." decimals).
class EnglishSettings {
 public:
  EnglishSettings() : saved_(core::DefaultFormatSettings()) {
    core::SetDefaultFormatSettings(core::FormatSettings::English());
  }
  ~EnglishSettings() { core::SetDefaultFormatSettings(saved_); }

 private:
  core::FormatSettings saved_;
};

}  // namespace lgoty::data::testing
