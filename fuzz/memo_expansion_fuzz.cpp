// Arbitrary memo texts expanded against a small report: brackets, quotes, " #" formats,
// aggregate calls, variables (one of them refers to itself) and the data band's rows.
//
// Input: byte 0 chooses memo switches (bit 0 HideZeros, bit 1 SuppressRepeated, bit 2
// delimiters "<%,%>", bits 3-4 the display format kind, bit 5 IgnoreDevByZero); the rest
// is the memo text. The text is registered for aggregates, three rows are printed and the
// memo is filled twice; expression errors are expected and caught.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/exception.h"
#include "core/format_settings.h"
#include "report/aggregates.h"
#include "report/bands.h"
#include "report/expressions.h"
#include "report/memo_fill.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/views.h"
#include "script/interpreter.h"

namespace {

using namespace lgoty;
using namespace lgoty::report;
using core::Variant;

struct Fixture {
  TfrxReport report;
  TfrxMasterData* data = nullptr;
  TfrxFooter* footer = nullptr;
  TfrxMemoView* memo = nullptr;

  Fixture() {
    core::SetDefaultFormatSettings(core::FormatSettings::Russian());
    auto* page = report.Add(std::make_unique<TfrxReportPage>());
    page->SetName("Page1");
    data = page->Add(std::make_unique<TfrxMasterData>());
    data->SetName("MasterData1");
    data->SetTop(40);
    data->row_count = 3;
    footer = page->Add(std::make_unique<TfrxFooter>());
    footer->SetName("Footer1");
    footer->SetTop(80);
    memo = footer->Add(std::make_unique<TfrxMemoView>());
    memo->SetName("Memo1");
    report.AddVariable("vid", Variant("1"));
    report.AddVariable("usl", Variant("'Лекарства'"));
    report.AddVariable("SUMPAY", Variant(12.5));
    report.AddVariable("note", Variant("a\r\nb"));
    report.AddVariable("loop", Variant("<loop> + 1"));
    report.AddVariable("total", Variant("SUM(<SUMPAY>, MasterData1)"));
    report.Expressions().Script().Prepare();
    script::TfsScript& program = report.Expressions().Script().Program();
    program.SetStepLimit(200000);
    program.SetMaxStringLength(1 << 20);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  static Fixture f;
  if (size == 0) return 0;
  const uint8_t flags = bytes[0];
  std::string text(reinterpret_cast<const char*>(bytes + 1), size - 1);
  TfrxMemoView& memo = *f.memo;
  memo.hide_zeros = (flags & 1) != 0;
  memo.suppress_repeated = (flags & 2) != 0;
  memo.expression_delimiters = (flags & 4) != 0 ? "<%,%>" : "[,]";
  memo.DisplayFormat().kind = static_cast<TfrxFormatKind>((flags >> 3) & 3);
  memo.DisplayFormat().format_str = "%2.2n";
  f.report.engine_options.ignore_dev_by_zero = (flags & 32) != 0;
  memo.SetText(text);
  const std::string template_text = memo.Text();

  TfrxExpressions& ex = f.report.Expressions();
  TfrxAggregateList& aggregates = ex.Aggregates();
  try {
    aggregates.Register();
    aggregates.ResetAll();
    for (int row = 1; row <= 3; ++row) {
      ex.State().line = row;
      ex.State().line_all = row;
      ex.State().current_band = f.data;
      aggregates.AddValue(*f.data);
    }
  } catch (const std::exception&) {
  }
  ex.State().current_band = f.footer;
  for (int pass = 0; pass < 2; ++pass) {
    MemoBeforePrint(memo);
    try {
      MemoFillData(ex, memo);
    } catch (const std::exception&) {
    }
    MemoAfterPrint(memo);
  }
  if (memo.Text() != template_text) __builtin_trap();  // the template text must come back
  aggregates.Reset(*f.footer);
  f.report.Errors().Clear();
  ex.ClearCache();
  return 0;
}
