#include "tools/lgoty_dbf/dataset_commands.h"

#include <memory>
#include <ostream>
#include <vector>

#include "core/exception.h"
#include "core/json.h"
#include "core/variant.h"
#include "dbf/table_dataset.h"
#include "tools/lgoty_dbf/field_json.h"

namespace lgoty::tools {

using core::JsonValue;

namespace {

constexpr std::byte kDeletedFlag{'*'};

std::unique_ptr<dbf::TDbf> OpenDataset(const std::string& path, const DatasetView& view) {
  auto table = std::make_unique<dbf::TDbf>();
  table->SetTableName(path);
  table->SetReadOnly(true);
  table->SetShowDeleted(view.show_deleted);
  table->OnLocaleError = [](dbf::TDbf&, dbf::TLocaleError, dbf::TLocaleSolution& solution) {
    // The tools read what is there: keys in the order the file holds them.
    solution = dbf::TLocaleSolution::lsNoEdit;
  };
  if (!view.filter.empty()) {
    table->SetFilterOptions(data::TFilterOptions{view.case_insensitive, view.no_partial_compare});
    table->SetFilter(view.filter);
    table->SetFiltered(true);
  }
  table->Open();
  if (!view.filter.empty() && table->Filter().empty())
    throw core::Exception("The filter \"" + view.filter + "\" does not compile for this table.");
  if (!view.index.empty()) table->SetIndexName(view.index);
  return table;
}

// The current record as dump prints it.
void PrintRecord(dbf::TDbf& table, bool raw, std::ostream& out) {
  dbf::TDbfFile& file = *table.DbfFile();
  const uint32_t n = table.PhysicalRecNo();
  std::vector<std::byte> record(file.RecordSize());
  if (file.ReadRecord(n, record) < record.size())
    throw core::Exception("Record " + std::to_string(n) + " cannot be read.");
  const dbf::TDbfFieldDefs& defs = file.FieldDefs();
  JsonValue line = JsonValue::Object();
  line.Add("_recno", JsonValue::NumberFromInt(n));
  line.Add("_deleted", JsonValue::Boolean(record[0] == kDeletedFlag));
  for (int i = 0; i < defs.Count(); ++i)
    line.Add(TableTextToUtf8(file.EffectiveCodePage(), defs[i].FieldName()),
             FieldToJson(file, defs[i], record, raw));
  std::string text = line.Serialize();
  text.push_back('\n');
  out << text;
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(';', start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

void DumpDatasetCommand(const std::string& path, const DatasetView& view, std::ostream& out) {
  auto table = OpenDataset(path, view);
  for (table->First(); !table->Eof(); table->Next()) PrintRecord(*table, view.raw, out);
}

bool LocateCommand(const std::string& path, const std::string& fields, const std::string& values,
                   bool partial, bool case_insensitive, const DatasetView& view,
                   std::ostream& out) {
  auto table = OpenDataset(path, view);
  const std::vector<std::string> names = Split(fields);
  const std::vector<std::string> texts = Split(values);
  if (names.size() != texts.size())
    throw core::Exception("locate needs one value per field (" + std::to_string(names.size()) +
                          " fields, " + std::to_string(texts.size()) + " values).");
  core::Variant key;
  if (texts.size() == 1) {
    key = core::Variant(texts[0]);
  } else {
    std::vector<core::Variant> items;
    for (const std::string& t : texts) items.emplace_back(t);
    key = core::Variant::Array(std::move(items));
  }
  if (!table->Locate(fields, key, data::TLocateOptions{case_insensitive, partial})) return false;
  PrintRecord(*table, view.raw, out);
  return true;
}

}  // namespace lgoty::tools
