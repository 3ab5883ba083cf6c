// TRegisterState: the open register and the commands of the main and person windows,
// without widgets. It owns the register table (Table1, a TDbf) and its data source
// (DataSource1, automatic edit off); the windows bind their grid and field controls to that
// source and call the commands from their menus, keys and buttons. Everything that needs the
// window system goes through a TUiPort.
//
// State (see the window captions and bindings below):
//   file name / folder / base name   of the last register opened; kept after Close
//   path                             the register path; empty when none is open
//   kind                             0 none, 1 medicines (8th field "RECEPT"), 2 dental
// Bindings that depend on the kind are published as field names and label texts; a window
// reapplies them when OnBindingsChanged fires. Caption() is the main window's caption.
//
// Every command catches failures at its boundary and shows them as the general error
// report: the failure's message, with "." added when its last character is greater than
// ".", in an error box captioned with the program's title. The command ends where it
// failed; state reached so far stays.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/ui_port.h"
#include "core/exception.h"
#include "core/format_settings.h"
#include "data/data_source.h"
#include "dbf/table_dataset.h"
#include "report/query_data_sets.h"
#include "report/report.h"
#include "sql/ado_connection.h"

namespace lgoty::app {

enum class TRegisterKind { kNone = 0, kMedicines = 1, kDental = 2 };

inline constexpr const char* kStartCaption = "Льготные лекарства и зубопротезирование";
inline constexpr const char* kMedicinesCaption = "Льготное обеспечение лекарственными препаратами";
inline constexpr const char* kDentalCaption = "Изготовление и ремонт зубных протезов";
inline constexpr const char* kStampErrorCaption = "Ошибка";
inline constexpr const char* kDeleteCaption = "Удалить запись";
inline constexpr const char* kDeleteQuestion = "Вы уверены?\r\n";
inline constexpr const char* kNotOpenMessage = "Файл должен быть открыт!";
inline constexpr const char* kListTemplateName = "spisok1.fr3";
// Offset of the language driver byte in a table header, and the driver stamped on registers
// (MS-DOS Russian, code page 866).
inline constexpr uint64_t kLanguageDriverOffset = 29;
inline constexpr uint8_t kRussianDosDriver = 0x65;

// The kind told by the field names in file order: "RECEPT" (exactly, letter case included)
// as the eighth name gives medicines, anything else dental. A register with fewer than
// eight fields has no prescription number, so it is taken as dental.
TRegisterKind KindOfFields(const std::vector<std::string>& names);

// The general error report's text: message, plus "." when its last character sorts after ".".
std::string ErrorReportText(const std::string& message);

class TRegisterState {
 public:
  // port and settings are borrowed for the life of the state. title: the program's title.
  TRegisterState(TUiPort& port, std::string title, core::FormatSettings settings);
  ~TRegisterState();
  TRegisterState(const TRegisterState&) = delete;
  TRegisterState& operator=(const TRegisterState&) = delete;

  dbf::TDbf& Table1() { return table_; }
  data::TDataSource& DataSource1() { return source_; }
  const std::string& Title() const { return title_; }

  // ---- start --------------------------------------------------------------------------------
  // The folded first argument; "/f" switches on the full edit mode.
  void SetStartArgument(std::string folded);
  bool FullEditMode() const { return start_argument_ == "/f"; }

  // ---- state ----------------------------------------------------------------------------------
  TRegisterKind Kind() const { return kind_; }
  const std::string& RegisterPath() const { return path_; }
  const std::string& RegisterFileName() const { return file_name_; }
  const std::string& RegisterFolder() const { return folder_; }
  const std::string& RegisterBaseName() const { return base_name_; }
  const std::string& Caption() const { return caption_; }
  // Kind-dependent bindings ("" when unbound) and person-window label texts.
  const std::string& NumberField() const { return number_field_; }
  const std::string& DateField() const { return date_field_; }
  const std::string& NumberLabel() const { return number_label_; }
  const std::string& DateLabel() const { return date_label_; }
  std::function<void()> OnBindingsChanged;
  // Stored width and decimals of SUMPAY (0 and -1 while no register with one is open).
  int AmountWidth();
  int AmountDecimals();

  // ---- commands -------------------------------------------------------------------------------
  // Open command: closes, asks for a file, stamps, opens, builds the surname index, decides
  // the kind. With a path the dialog is skipped (the register named at start).
  void N2Click();
  void OpenRegister(const std::string& path);
  // Close command.
  void N3Click();
  // Writes byte 29 = 0x65; on failure shows the error under "Ошибка" and returns false.
  bool StampLanguageDriver(const std::string& path);
  // Incremental search on the surname index.
  void Edit1Change(const std::string& text);
  // Edit, Add, Copy and Delete commands.
  void N8Click();
  void N5Click();
  void N6Click();
  void N7Click();
  // Totals command.
  void N9Click();
  // List report command: the list of beneficiaries from the template beside the program,
  // read through an SQL query over the register's folder while the register is shared.
  void fr31Click();
  // Where the list report's template is looked for; the program's folder by default.
  const std::string& TemplateFolder() const { return template_folder_; }
  void SetTemplateFolder(std::string folder);
  sql::TAdoConnection& ADOCon() { return ado_con_; }
  report::TfrxReport& frxReport1() { return report_; }
  // The person window's close button: posts unposted changes; true when the window may close.
  bool PersonCloseClick();
  // Runs a command with the general error report at its boundary; false when it failed.
  bool Run(const std::function<void()>& command);
  // Shows the general error report for a failure caught elsewhere (the grid, font size).
  void ReportError(const std::exception& error);

 private:
  void CloseCommand();
  void ListReport();
  // Reopens the register table with the given sharing; the row stays where it was.
  void ReopenTable(bool exclusive);
  // The register's path and the names taken from it (file, folder, name without extension).
  void SetPaths(const std::string& path);
  void OpenChosen(const std::string& path);
  void SetBindings(TRegisterKind kind);
  void NotifyBindings() {
    if (OnBindingsChanged) OnBindingsChanged();
  }

  TUiPort& port_;
  std::string title_;
  core::FormatSettings settings_;
  dbf::TDbf table_;
  data::TDataSource source_;
  std::string start_argument_;
  TRegisterKind kind_ = TRegisterKind::kNone;
  std::string file_name_, folder_, base_name_, path_;
  std::string caption_ = kStartCaption;
  std::string number_field_, date_field_;
  std::string number_label_ = "Рецепт", date_label_ = "Дата рецепта";
  std::string template_folder_;
  // The list report's connection, report and the component that makes the connection the
  // default of the template's ADO queries. Declared in this order so the report and its
  // queries go before the connection.
  sql::TAdoConnection ado_con_;
  report::TfrxADOComponents ado_components_;
  report::TfrxReport report_;
};

}  // namespace lgoty::app
