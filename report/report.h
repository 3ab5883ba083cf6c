// TfrxReport: the root of a report's object tree, its option groups, its collections
// (data sets, variables, styles), its error list and its template file operations.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/stream.h"
#include "core/string_list.h"
#include "core/variant.h"
#include "report/component.h"
#include "report/report_options.h"

namespace lgoty::report {

class TfrxDataPage;
class TfrxReportPage;
class TfrxEngine;
class DialogHost;
class TfrxDrawText;
class TfrxPreviewPages;
class TfrxCustomDatabase;
class ReportEvaluator;
class TfrxExpressions;

// What a report needs from the user interface. Without one, messages are not shown and a
// password cannot be asked for (the load then fails as if the answer were wrong).
class ReportUserInterface {
 public:
  virtual ~ReportUserInterface() = default;
  virtual void ShowErrorMessage(const std::string& caption, const std::string& text) = 0;
  // False when the user cancelled.
  virtual bool AskPassword(std::string& password) = 0;
  // A run added a page (page_number from 1), in the first of two passes or not. The
  // engine shows nothing itself; a window may show the page and process pending events.
  virtual void ReportProgress(bool first_pass, int page_number) {
    (void)first_pass;
    (void)page_number;
  }
  // Asked as a run goes on: true stops it (the pages built so far stay).
  virtual bool ProgressCancelled() { return false; }
};

class TfrxReport final : public TfrxComponent {
  LGOTY_REPORT_CLASS(TfrxReport)
 public:
  static constexpr const char* kVersion = "5.2.3";
  static constexpr const char* kDefaultIniFile = "\\Software\\Quorvane";

  TfrxReport();
  ~TfrxReport() override;
  TfrxReport* AsReport() override { return this; }

  // Frees every non-inherited object, empties the collections, resets the options, the
  // script language ("PascalScript") and text ("begin", "", "end.").
  void Clear() override;
  // Keeps objects a script took out of the tree (TfrxComponent.Clear): the print under way
  // and the script's own variables may still use them. They go when the next run starts,
  // when the report is cleared and with the report.
  void KeepTakenObjects(std::vector<std::unique_ptr<TfrxComponent>> objects);

  // Template files. LoadFromFile returns whether the file existed; a missing file leaves an
  // empty report and no message unless raise_if_missing.
  bool LoadFromFile(const std::string& path, bool raise_if_missing = false);
  void LoadFromStream(core::TStream& stream);
  void SaveToFile(const std::string& path);
  // With an ancestor report (inherited reports) only what differs from it is written; see
  // TfrxXMLSerializer::ancestor_tree.
  void SaveToStream(core::TStream& stream, bool save_children = true,
                    bool save_default_values = false, const TfrxReport* ancestor = nullptr);
  const std::string& FileName() const { return file_name_; }

  // The load, build and expression errors: sorted, each distinct message once.
  core::TStringList& Errors() { return errors_; }
  void SetUserInterface(ReportUserInterface* ui) { ui_ = ui; }
  ReportUserInterface* UserInterface() const { return ui_; }

  // Builds the prepared pages (report_prepare.cpp): compiles the script, runs its main
  // block, shows the dialog pages and runs the band engine. With EngineOptions.DestroyForms
  // the report is saved first and reloaded afterwards, so whatever the script changed
  // during the run is undone. False when the run had errors (the error list, reported as
  // NewSilentMode says) or the operator cancelled a dialog (no errors).
  bool Prepare(bool clear_last_report = true);
  TfrxEngine& Engine();

  // A script or the host stops a run (StopReport, a cancelled progress).
  bool Terminated() const { return terminated_; }
  void SetTerminated(bool value) { terminated_ = value; }
  // The text layout all memos of this report are measured and drawn with (lock it).
  TfrxDrawText& DrawText();
  // Host-side handlers (not stored): the beginning and end of a document, after the script
  // compiled, and a page built by the host instead of the data-band walk.
  std::function<void()> on_begin_doc, on_end_doc, on_after_script_compile;
  std::function<void(TfrxReportPage&)> on_manual_build_handler;

  // How events reach the report's script: calls the procedure of that name with args and
  // leaves the values of var arguments in args; false when the script has no such
  // procedure. Installed by the script side of the report.
  using ScriptProcedureCall =
      std::function<bool(const std::string& name, std::vector<core::Variant>& args)>;
  void SetScriptProcedureCall(ScriptProcedureCall call) { script_call_ = std::move(call); }
  // False, without calling anything, for a blank name or when no script is installed.
  bool CallScriptProcedure(const std::string& name, std::vector<core::Variant>& args);
  // Shows dialog pages modally (borrowed; must outlive its use). Without one a dialog page
  // cannot be shown.
  void SetDialogHost(DialogHost* host) { dialog_host_ = host; }
  DialogHost* GetDialogHost() const { return dialog_host_; }

  // The prepared pages: what the engine builds and the preview shows (created on first use).
  TfrxPreviewPages& PreviewPages();

  // The object of that name (letter case ignored) anywhere in the tree; nullptr when none.
  TfrxComponent* FindByName(std::string_view name) const;

  // Makes sure a data page exists: creates one ("Data", or an automatic name when that is
  // taken) as the first page, then moves every dialog component found elsewhere onto it
  // at top 20, left 60, 124, 188 ...
  TfrxDataPage* CheckDataPage();

  bool HandlesNestedItems() const override { return true; }
  void WriteNestedItems(core::TfrxXMLItem* item, TfrxXMLSerializer& serializer) const override;
  bool ReadNestedItem(core::TfrxXMLItem* item, TfrxXMLSerializer& serializer) override;

  // Published state.
  std::string Version() const { return version_; }
  void SetVersion(std::string value) { version_ = std::move(value); }
  std::string parent_report;
  Link<TfrxDataSet> data_set;
  std::string DataSetName() const;
  void SetDataSetName(std::string name) { data_set_name_ = std::move(name); }
  bool dot_matrix_report = false;
  TfrxEngineOptions engine_options;
  std::string ini_file = kDefaultIniFile;
  bool old_style_progress = false;
  TfrxPreviewOptions preview_options;
  TfrxPrintOptions print_options;
  TfrxReportOptions report_options;
  std::string script_language = "PascalScript";
  core::TStringList script_text;
  bool show_progress = true;
  bool store_in_dfm = true;
  std::string on_run_dialogs, on_start_report, on_stop_report, on_report_print;

  std::vector<std::unique_ptr<TfrxDataSetItem>>& DataSets() { return data_sets_; }
  const std::vector<std::unique_ptr<TfrxDataSetItem>>& DataSets() const { return data_sets_; }
  std::vector<std::unique_ptr<TfrxVariable>>& Variables() { return variables_; }
  const std::vector<std::unique_ptr<TfrxVariable>>& Variables() const { return variables_; }
  std::vector<std::unique_ptr<TfrxStyleItem>>& Styles() { return styles_; }
  const std::vector<std::unique_ptr<TfrxStyleItem>>& Styles() const { return styles_; }
  TfrxDataSetItem& AddDataSet(TfrxDataSet* data_set, std::string name);
  TfrxVariable& AddVariable(std::string name, core::Variant value);

  // The expression evaluator (report/report_evaluator.h); borrowed, nullptr when none.
  // The one a host set, else the report's own over Expressions().
  ReportEvaluator* Evaluator();
  void SetEvaluator(ReportEvaluator* evaluator) { evaluator_ = evaluator; }
  // Host callbacks of the report's database components: before a connection is opened or
  // closed (the handler may change the requested state) and after it was closed.
  std::function<void(TfrxCustomDatabase& sender, bool& connected)> OnBeforeConnect;
  std::function<void(TfrxCustomDatabase& sender)> OnAfterDisconnect;
  // The script program, expression evaluation with its cache, the aggregates and the run
  // counters (report/expressions.h); made on first use, lives as long as the report.
  // Inline: the engine asks for it several times for every object it prints.
  TfrxExpressions& Expressions() {
    if (!expressions_) [[unlikely]] return MakeExpressions();
    return *expressions_;
  }
  // The value of an expression (TfrxExpressions::Calc).
  core::Variant Calc(std::string_view expression);

 private:
  friend class TfrxComponent;
  void IndexName(TfrxComponent* component);
  void UnindexName(TfrxComponent* component);
  void ResetState();
  void ReportErrors();

  std::string version_ = kVersion;
  std::string data_set_name_;
  std::vector<std::unique_ptr<TfrxDataSetItem>> data_sets_;
  std::vector<std::unique_ptr<TfrxVariable>> variables_;
  std::vector<std::unique_ptr<TfrxStyleItem>> styles_;
  core::TStringList errors_;
  std::string file_name_;
  std::string last_password_;
  ReportUserInterface* ui_ = nullptr;
  std::shared_ptr<TfrxEngine> engine_;
  bool terminated_ = false;
  ScriptProcedureCall script_call_;
  DialogHost* dialog_host_ = nullptr;
  std::unique_ptr<TfrxDrawText> draw_text_;
  ReportEvaluator* evaluator_ = nullptr;
  std::unique_ptr<ReportEvaluator> default_evaluator_;
  std::unordered_map<std::string, TfrxComponent*> names_;
  std::unique_ptr<TfrxPreviewPages> preview_pages_;
  std::unique_ptr<TfrxExpressions> expressions_;
  std::vector<std::unique_ptr<TfrxComponent>> taken_by_script_;
  TfrxExpressions& MakeExpressions();
};

}  // namespace lgoty::report
