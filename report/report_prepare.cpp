// TfrxReport::Prepare: one run of the report from its template to prepared pages.
//
//   1. empty the prepared pages when asked; clear the error list and the terminated flag;
//   2. with EngineOptions.DestroyForms, save the report (its password left out) so that
//      whatever the script changes during the run can be undone;
//   3. the host's begin-of-document handler; compile the script (a compile error is the
//      line clScrError with its position and message); the after-compile handler; the
//      script's main block;
//   4. unless terminated, run the engine; on success the end-of-document handler;
//   5. any exception of 3 and 4 becomes a line of the error list;
//   6. with DestroyForms, reload the saved report, keeping the error list;
//   7. errors are reported as NewSilentMode says, and the result is false.
#include <memory>

#include "core/stream.h"
#include "report/band_engine.h"
#include "report/engine_links.h"
#include "report/expressions.h"
#include "report/prepared_pages.h"
#include "report/preview_pages_output.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/resources.h"

namespace lgoty::report {

namespace {

// The engine and its output, owned together by the report.
struct EngineHolder {
  explicit EngineHolder(TfrxReport& report)
      : output(report.PreviewPages()), engine(report, output) {
    output.SetEngine(&engine);
  }
  PreviewPagesOutput output;
  TfrxEngine engine;
};

std::string FormatScriptError(const std::string& position, const std::string& message) {
  std::string text = frxGet("clScrError");
  // The resource holds two %s: the position and the message.
  size_t first = text.find("%s");
  if (first == std::string::npos) return text + " " + position + ": " + message;
  text.replace(first, 2, position);
  size_t second = text.find("%s", first + position.size());
  if (second != std::string::npos) text.replace(second, 2, message);
  return text;
}

}  // namespace

TfrxEngine& TfrxReport::Engine() {
  if (!engine_) {
    auto holder = std::make_shared<EngineHolder>(*this);
    engine_ = std::shared_ptr<TfrxEngine>(holder, &holder->engine);
  }
  return *engine_;
}

bool TfrxReport::Prepare(bool clear_last_report) {
  TfrxEngine& engine = Engine();
  if (clear_last_report) PreviewPages().Clear();
  PreviewPages().Initialize();
  errors_.Clear();
  terminated_ = false;
  // Objects the last run's script took out: that script is prepared again before it runs.
  taken_by_script_.clear();

  const bool destroy_forms = engine_options.destroy_forms;
  core::TMemoryStream saved;
  if (destroy_forms) {
    std::string password = report_options.password;
    report_options.password.clear();
    try {
      SaveToStream(saved);
    } catch (...) {
      report_options.password = password;
      throw;
    }
    report_options.password = password;
  }

  bool result = false;
  try {
    if (on_begin_doc) on_begin_doc();
    for (TfrxComponent* c : AllObjects()) c->BeforeStartReport();
    TfrxReportScript& script = Expressions().Script();
    if (!script.Prepare()) {
      errors_.Add(FormatScriptError(script.ErrorPos(), script.ErrorMessage()));
    } else {
      // Dialog pages and their controls reach the script through the report.
      SetScriptProcedureCall([this](const std::string& name, std::vector<core::Variant>& args) {
        return engine_links::CallProcedure(*this, name, args);
      });
      if (on_after_script_compile) on_after_script_compile();
      script.RunMainBlock();
      if (!terminated_ && engine.Run()) {
        if (on_end_doc) on_end_doc();
        result = true;
      }
    }
  } catch (const std::exception& e) {
    errors_.Add(e.what());
  }

  if (destroy_forms) {
    core::TStringList errors;
    errors.Assign(errors_);
    Expressions().Script().Unprepare();
    const std::string file_name = file_name_;
    const std::string password = report_options.password;
    saved.SetPosition(0);
    LoadFromStream(saved);
    file_name_ = file_name;
    report_options.password = password;
    errors_.Assign(errors);
  }
  if (errors_.Count() > 0) {
    ReportErrors();
    return false;
  }
  return result;
}

}  // namespace lgoty::report
