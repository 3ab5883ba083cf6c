#include "app/register_state.h"

#include <cmath>
#include <cstddef>
#include <filesystem>
#include <vector>

#include "app/folding.h"
#include "app/totals.h"
#include "report/expressions.h"
#include "report/variables.h"
#include "core/text_format.h"
#include "core/utf8_text.h"
#include "platform/file.h"
#include "platform/system.h"

namespace lgoty::app {
namespace {

// A register named relative to the working folder ("lgoty reg.dbf") keeps its whole path:
// the list report's connection names the register's folder, which must not be empty.
std::string Absolute(const std::string& path) {
  std::error_code error;
  if (path.empty() || std::filesystem::path(path).is_absolute()) return path;
  const std::filesystem::path full = std::filesystem::absolute(path, error);
  return error ? path : full.lexically_normal().string();
}

// Registers from this size on take longer than half a second to open.
constexpr uintmax_t kLongOpenBytes = 48u << 20;
// Totals over this many records take longer than half a second on a slow disk.
constexpr uint32_t kLongTotalsRecords = 2000000;

// The last character's code point of a UTF-8 text (0 for an empty one).
char32_t LastCodePoint(const std::string& text) {
  if (text.empty()) return 0;
  return core::Utf8ToUtf32(text).back();
}

}  // namespace

TRegisterKind KindOfFields(const std::vector<std::string>& names) {
  return names.size() >= 8 && names[7] == "RECEPT" ? TRegisterKind::kMedicines
                                                   : TRegisterKind::kDental;
}

std::string ErrorReportText(const std::string& message) {
  if (LastCodePoint(message) > U'.') return message + ".";
  return message;
}

TRegisterState::TRegisterState(TUiPort& port, std::string title, core::FormatSettings settings)
    : port_(port), title_(std::move(title)), settings_(std::move(settings)) {
  table_.SetTableLevel(4);
  source_.SetDataSet(&table_);
  source_.SetAutoEdit(false);  // typing in the grid never starts an edit
  ado_con_.SetLoginPrompt(false);
  ado_components_.SetDefaultDatabase(&ado_con_);
}

TRegisterState::~TRegisterState() {
  source_.SetDataSet(nullptr);
}

void TRegisterState::SetStartArgument(std::string folded) { start_argument_ = std::move(folded); }

bool TRegisterState::Run(const std::function<void()>& command) {
  try {
    command();
    return true;
  } catch (const std::exception& error) {
    ReportError(error);
    return false;
  }
}

void TRegisterState::ReportError(const std::exception& error) {
  port_.ShowMessage(title_, ErrorReportText(error.what()), TMessageIcon::Error);
}

// ---- open and close ---------------------------------------------------------------------------

void TRegisterState::N2Click() {
  Run([&] {
    // Any open register goes first, whatever the dialog brings.
    if (!file_name_.empty()) CloseCommand();
    table_.Close();
    file_name_.clear();
    folder_.clear();
    table_.SetIndexName("");
    CloseCommand();
    const std::optional<std::string> chosen = port_.ChooseRegisterFile();
    if (!chosen) return;
    OpenChosen(*chosen);
  });
}

void TRegisterState::OpenRegister(const std::string& path) {
  Run([&] {
    if (!file_name_.empty()) CloseCommand();
    table_.Close();
    file_name_.clear();
    folder_.clear();
    table_.SetIndexName("");
    CloseCommand();
    OpenChosen(Absolute(path));
  });
}

void TRegisterState::SetPaths(const std::string& path) {
  path_ = path;
  file_name_ = platform::ExtractFileName(path);
  folder_ = platform::ExtractFilePath(path);
  const size_t dot = file_name_.rfind('.');
  base_name_ = dot == std::string::npos ? file_name_ : file_name_.substr(0, dot);
}

void TRegisterState::OpenChosen(const std::string& path) {
  StampLanguageDriver(path);  // the open goes on after a stamp error
  SetPaths(path);
  // The folder keeps its trailing separator; one more between folder and name is harmless.
  table_.SetTableName(folder_.empty() ? file_name_ : folder_ + "/" + file_name_);
  table_.SetExclusive(true);

  // Opening reads the whole register to build the surname tag: about half a second per
  // 50 MB, so a larger register shows a progress window from the start.
  std::error_code size_error;
  const uintmax_t bytes = std::filesystem::file_size(path, size_error);
  const bool long_step = !size_error && bytes >= kLongOpenBytes;
  struct Busy {
    TUiPort& port;
    Busy(TUiPort& p, const char* what, bool long_step) : port(p) { port.BeginBusy(what, long_step); }
    ~Busy() { port.EndBusy(); }
  } busy(port_, "Открытие реестра и построение индекса по фамилиям...", long_step);
  table_.Open();
  // The build reports how far it has got; the port decides when a progress window is worth
  // showing and keeps it painted.
  table_.OnProgress = [this](dbf::TDbf&, uint64_t done, uint64_t total) {
    port_.Progress(total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total));
  };
  struct ProgressOff {
    dbf::TDbf& table;
    ~ProgressOff() { table.OnProgress = nullptr; }
  } progress_off{table_};
  table_.BuildIndex("FAMIL", "FAMIL", dbf::TIndexOptionSet{dbf::TIndexOption::ixExpression});
  table_.SetIndexName("FAMIL");

  data::TFieldDefs& defs = table_.FieldDefs();
  std::vector<std::string> names;
  for (int i = 0; i < defs.Count(); ++i) names.push_back(defs[i].Name());
  SetBindings(KindOfFields(names));
}

void TRegisterState::SetBindings(TRegisterKind kind) {
  kind_ = kind;
  if (kind == TRegisterKind::kMedicines) {
    caption_ = kMedicinesCaption;
    number_field_ = "RECEPT";
    date_field_ = "DATERCPT";
    number_label_ = "Рецепт";
    date_label_ = "Дата рецепта";
  } else {
    caption_ = kDentalCaption;
    number_field_ = "NARYD";
    date_field_ = "DATENRD";
    number_label_ = "Наряд";
    date_label_ = "Дата наряда";
  }
  NotifyBindings();
}

void TRegisterState::N3Click() {
  Run([&] { CloseCommand(); });
}

void TRegisterState::CloseCommand() {
  if (table_.Modified()) table_.Post();
  table_.Close();
  // Production tags leave the list on close; what stays is a separate index of our own.
  std::vector<std::string> left;
  for (int i = 0; i < table_.Indexes().Count(); ++i) left.push_back(table_.Indexes()[i].IndexFile());
  for (const std::string& name : left) table_.RemoveIndex(name);
  number_field_.clear();
  date_field_.clear();
  kind_ = TRegisterKind::kNone;
  path_.clear();
  NotifyBindings();
}

bool TRegisterState::StampLanguageDriver(const std::string& path) {
  try {
    auto file = platform::DiskFile::Open(path, platform::FileAccess::ReadWrite,
                                         platform::FileShare::DenyNone,
                                         platform::FileCreate::OpenExisting);
    const std::byte driver{kRussianDosDriver};
    if (file->WriteAt(kLanguageDriverOffset, std::span<const std::byte>(&driver, 1)) != 1)
      throw platform::EFileError("Cannot write to file \"" + path + "\"");
    return true;
  } catch (const std::exception& error) {
    port_.ShowMessage(kStampErrorCaption, error.what(), TMessageIcon::Error);
    return false;
  }
}

// ---- search and editing -----------------------------------------------------------------------

void TRegisterState::Edit1Change(const std::string& text) {
  Run([&] {
    if (text.empty() || !table_.Active() || !table_.Exclusive()) return;
    data::TLocateOptions options;
    options.loPartialKey = true;
    // A key past every surname finds nothing; the current row then stays.
    table_.Locate("FAMIL", core::Variant(UpperFold(text)), options);
  });
}

void TRegisterState::N8Click() {
  Run([&] {
    if (!table_.Active()) return;
    table_.Edit();
    port_.ShowPersonWindow();
  });
}

void TRegisterState::N5Click() {
  Run([&] {
    if (!table_.Active()) return;
    table_.Insert();
    port_.ShowPersonWindow();
  });
}

void TRegisterState::N6Click() {
  Run([&] {
    if (!table_.Active()) return;
    const int count = table_.FieldCount();
    std::vector<core::Variant> values(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) values[static_cast<size_t>(i)] = table_.Fields()[i].Value();
    table_.Append();
    for (int i = 0; i < count; ++i) table_.Fields()[i].SetValue(values[static_cast<size_t>(i)]);
    port_.ShowPersonWindow();
  });
}

void TRegisterState::N7Click() {
  Run([&] {
    if (!port_.AskYesNo(kDeleteCaption, kDeleteQuestion)) return;
    table_.Delete();  // with no register open the table reports that it is closed
  });
}

bool TRegisterState::PersonCloseClick() {
  return Run([&] {
    if (table_.State() == data::TDataSetState::dsEdit ||
        table_.State() == data::TDataSetState::dsInsert)
      table_.UpdateRecord();  // boxes write the input they still hold
    if (table_.Modified()) table_.Post();
  });
}

// ---- totals -----------------------------------------------------------------------------------

int TRegisterState::AmountWidth() {
  const dbf::TDbfFieldDef* def =
      table_.Active() && table_.DbfFile() ? table_.DbfFile()->FieldDefs().Find("SUMPAY") : nullptr;
  return def ? def->Size() : 0;
}

int TRegisterState::AmountDecimals() {
  const dbf::TDbfFieldDef* def =
      table_.Active() && table_.DbfFile() ? table_.DbfFile()->FieldDefs().Find("SUMPAY") : nullptr;
  return def ? def->Precision() : -1;
}

void TRegisterState::SetTemplateFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  template_folder_ = std::move(folder);
}

void TRegisterState::fr31Click() {
  Run([&] { ListReport(); });
}

void TRegisterState::ReopenTable(bool exclusive) {
  const data::TBookmark row = table_.Active() && !table_.IsEmpty() ? table_.GetBookmark()
                                                                     : data::TBookmark();
  table_.Close();
  table_.SetExclusive(exclusive);
  table_.Open();
  table_.SetIndexName("FAMIL");
  if (row.IsEmpty()) return;
  try {
    table_.GotoBookmark(row);
  } catch (const std::exception&) {
    // The row is gone (another program deleted it while the file was shared): stay first.
  }
}

void TRegisterState::ListReport() {
  // 1. Without an open register the file is chosen for this report only.
  const bool report_only = path_.empty();
  if (report_only) {
    const std::optional<std::string> chosen = port_.ChooseRegisterFile();
    if (!chosen) return;
    SetPaths(Absolute(*chosen));
  }
  struct ForgetReportOnly {
    TRegisterState& state;
    bool active;
    ~ForgetReportOnly() {
      if (!active) return;
      state.path_.clear();
      state.file_name_.clear();
      state.folder_.clear();
      state.base_name_.clear();
    }
  } forget{*this, report_only};

  // 2. The connection over the register's folder.
  ado_con_.Close();
  ado_con_.SetConnectionString(sql::FolderConnectionString(folder_));
  ado_con_.Open();

  // 3. The template beside the program.
  const std::string folder = template_folder_.empty() ? platform::ProgramFolder() : template_folder_;
  const std::string template_path = folder + kListTemplateName;
  if (!platform::FileExists(template_path)) {
    port_.ShowMessage(title_, "Шаблон \"" + folder + kListTemplateName + "\" не найден ",
                      TMessageIcon::None);
    return;
  }
  // 4., 5. The template and its variables: texts quoted, the kind a bare number.
  report_.LoadFromFile(template_path, true);
  report::TfrxVariables& variables = report_.Expressions().Variables();
  variables.Set("OFile", core::Variant("'" + path_ + "'"));
  variables.Set("OFPath", core::Variant("'" + folder_ + "'"));
  variables.Set("OFName", core::Variant("'" + base_name_ + "'"));
  variables.Set("usl", core::Variant("'" + caption_ + "'"));
  variables.Set("vid", core::Variant(static_cast<int32_t>(kind_)));

  // 6.-8. Shared while the query reads the file, exclusive again afterwards.
  const bool open = table_.Active();
  if (open) {
    if (table_.Modified()) table_.Post();
    ReopenTable(false);
  }
  struct Exclusive {
    TRegisterState& state;
    bool open;
    ~Exclusive() {
      if (!open) return;
      try {
        state.ReopenTable(true);
      } catch (const std::exception& error) {
        state.ReportError(error);
      }
    }
  } exclusive{*this, open};
  port_.ShowReport(report_);
}

void TRegisterState::N9Click() {
  Run([&] {
    if (!table_.Active()) {
      port_.ShowMessage(title_, kNotOpenMessage, TMessageIcon::None);
      return;
    }
    std::string text;
    {
      // The grid and the control updates come back even when the scan fails half-way.
      struct Restore {
        TRegisterState& state;
        data::TBookmark bookmark;
        ~Restore() {
          try {
            if (!bookmark.IsEmpty()) state.table_.GotoBookmark(bookmark);
          } catch (const std::exception&) {
            // The bookmarked row is gone: the grid stays where the scan ended.
          }
          state.table_.FreeBookmark(bookmark);
          state.table_.EnableControls();
          state.port_.SetGridAttached(true);
        }
      } restore{*this, table_.GetBookmark()};
      table_.DisableControls();
      port_.SetGridAttached(false);

      data::TField& amount = table_.FieldByName("SUMPAY");
      const dbf::TDbfFieldDef* amount_def =
          table_.DbfFile() ? table_.DbfFile()->FieldDefs().Find("SUMPAY") : nullptr;
      // The direct scan sees exactly the rows the table shows when nothing but deleted rows
      // is hidden and no edit is pending; otherwise the rows go through the dataset.
      const bool direct = amount_def != nullptr && !table_.Filtered() && !table_.ShowDeleted() &&
                          table_.State() == data::TDataSetState::dsBrowse;
      const uint32_t records = table_.DbfFile() ? table_.DbfFile()->RecordCount() : 0;
      struct Busy {
        TUiPort& port;
        Busy(TUiPort& p, bool long_step) : port(p) { port.BeginBusy("Подсчёт итогов...", long_step); }
        ~Busy() { port.EndBusy(); }
      } busy(port_, records >= kLongTotalsRecords);
      TTotals totals;
      if (direct) {
        totals = SumNonZero(*table_.DbfFile(), *amount_def,
                            [this](double fraction) { port_.Progress(fraction); });
      } else {
        totals.decimals = amount_def ? amount_def->Precision() : 2;
        const double scale = std::pow(10.0, totals.decimals);
        table_.First();
        while (!table_.Eof()) {
          const double value = amount.AsFloat();
          if (value != 0) {
            ++totals.count;
            totals.units += static_cast<__int128>(std::llround(value * scale));
          }
          table_.Next();
        }
      }
      text = "Количество ненулевых записей : " + std::to_string(totals.count) + "\r\n" +
             "Сумма : " + FormatUnits(totals.units, totals.decimals, settings_.DecimalSeparator);
    }
    port_.ShowMessage(title_, text, TMessageIcon::None);
  });
}

}  // namespace lgoty::app
