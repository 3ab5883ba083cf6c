#include "app/list_report_batch.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/register_state.h"
#include "core/format_settings.h"
#include "platform/file.h"
#include "platform/system.h"
#include "render/prepared_pages_export.h"
#include "report/batch_dialog_host.h"
#include "report/prepared_pages.h"

namespace lgoty::app {
namespace {

class TBatchPort final : public TUiPort {
 public:
  TBatchPort(std::string pdf_path, bool all_rows)
      : pdf_path_(std::move(pdf_path)), all_rows_(all_rows) {}

  bool Failed() const { return failed_; }
  bool Written() const { return written_; }

  std::optional<std::string> ChooseRegisterFile() override { return std::nullopt; }
  void ShowMessage(const std::string&, const std::string& text, TMessageIcon) override {
    std::fprintf(stderr, "lgoty: %s\n", text.c_str());
    failed_ = true;
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void ShowPersonWindow() override {}
  void SetGridAttached(bool) override {}
  void BeginBusy(const std::string&, bool) override {}
  void Progress(double) override {}
  void EndBusy() override {}

  void ShowReport(report::TfrxReport& report) override {
    report::BatchDialogHost dialogs;
    dialogs.Set(std::string("CheckBox1.Checked=") + (all_rows_ ? "False" : "True"));
    report.SetDialogHost(&dialogs);
    struct Detach {
      report::TfrxReport& report;
      ~Detach() { report.SetDialogHost(nullptr); }
    } detach{report};
    const bool built = report.Prepare(true);
    for (int i = 0; i < report.Errors().Count(); ++i)
      std::fprintf(stderr, "lgoty: %s\n", report.Errors()[i].c_str());
    if (!built || report.Errors().Count() > 0) {
      failed_ = true;
      return;
    }
    // Written beside the target and renamed, so a failed export leaves no file behind.
    const std::string partial = pdf_path_ + ".partial";
    if (!render::ExportPdf(report, partial)) {
      std::error_code ignored;
      std::filesystem::remove(partial, ignored);
      std::fprintf(stderr, "lgoty: cannot write \"%s\"\n", pdf_path_.c_str());
      failed_ = true;
      return;
    }
    std::filesystem::rename(partial, pdf_path_);
    written_ = true;
  }

 private:
  std::string pdf_path_;
  bool all_rows_;
  bool failed_ = false;
  bool written_ = false;
};

}  // namespace

int RunListReportBatch(const std::string& register_path, const std::string& pdf_path,
                       bool all_rows) {
  if (!platform::FileExists(register_path)) {
    std::fprintf(stderr, "lgoty: file \"%s\" not found\n", register_path.c_str());
    return 1;
  }
  TBatchPort port(pdf_path, all_rows);
  TRegisterState state(port, platform::ProgramName(), core::FormatSettings::FromLocale());
  state.OpenRegister(register_path);
  if (!state.Table1().Active()) return 1;
  state.fr31Click();
  state.N3Click();
  return port.Written() && !port.Failed() ? 0 : 1;
}

}  // namespace lgoty::app
