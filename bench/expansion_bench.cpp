// Memo expansion of the list report's data band on a register read through TAdoQuery,
// against the same seven texts built directly in C++ from the query's fields.
//
// The register (bench-data/register_N.dbf, medicines) is queried as the list template's OK
// handler asks for it (rows with SUMPAY > 0 in surname order) by the template's own
// ADOQuery1 over a connection on the register's folder. For every row the seven memos of
// the template's data band (MasterData1, with their display formats) are filled as the
// band engine fills them (MemoBeforePrint, MemoFillData, MemoAfterPrint) through the
// report's data set; the reference builds the same texts from the platform query's TField
// values. Both walk the same open query in the same run; the figures are time per row and
// the ratio. The texts of both paths are compared row by row once before timing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_register.h"
#include "core/format_settings.h"
#include "core/text_format.h"
#include "core/variant.h"
#include "data/field.h"
#include "report/bands.h"
#include "report/expressions.h"
#include "report/memo_fill.h"
#include "report/query_data_sets.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/views.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"

namespace {

using namespace lgoty;
using Clock = std::chrono::steady_clock;

const char* const kMemoNames[] = {"Memo9", "Memo10", "Memo3", "Memo1", "Memo15", "Memo16", "Memo17"};

// The seven texts of the current row built from the fields, as the memos would print them.
struct DirectRow {
  data::TField *pynkar, *famil, *imja, *otch, *ser, *num, *recept, *date, *sumpay;
  const core::FormatSettings* fs;

  explicit DirectRow(sql::TAdoQuery& q, const core::FormatSettings& settings)
      : pynkar(&q.FieldByName("PYNKAR")), famil(&q.FieldByName("FAMIL")), imja(&q.FieldByName("IMJA")),
        otch(&q.FieldByName("OTCH")), ser(&q.FieldByName("DOC_SER")), num(&q.FieldByName("DOC_NUM")),
        recept(&q.FieldByName("RECEPT")), date(&q.FieldByName("DATERCPT")), sumpay(&q.FieldByName("SUMPAY")),
        fs(&settings) {}

  void Build(size_t line, std::string (&texts)[7]) const {
    texts[0] = core::IntToStr(static_cast<int64_t>(line));
    texts[1] = pynkar->AsString();
    texts[2] = famil->AsString() + " " + imja->AsString() + " " + otch->AsString();
    texts[3] = ser->AsString() + " " + num->AsString() + " ";
    texts[4] = recept->AsString();
    texts[5] = date->IsNull() ? std::string() : core::DateToStr(date->AsDateTime(), *fs);
    if (sumpay->IsNull()) {
      texts[6].clear();
    } else {
      const core::Variant v(sumpay->AsFloat());
      texts[6] = core::Format("%2.2n", std::span<const core::Variant>(&v, 1), *fs);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  bench::RegisterBenchOptions options;
  options.rows = 100'000;
  if (!bench::ParseRegisterBenchOptions(argc, argv, "bench_expansion", options)) return 2;
  const std::string path = bench::EnsureBenchRegister(argv[0], options.rows);
  core::SetDefaultFormatSettings(core::FormatSettings::Russian());
  const core::FormatSettings& fs = core::DefaultFormatSettings();

  const std::filesystem::path file = std::filesystem::absolute(path);
  const std::filesystem::path template_path = LGOTY_LIST_TEMPLATE;
  sql::TAdoConnection connection;
  connection.SetLoginPrompt(false);
  connection.SetConnectionString(sql::FolderConnectionString(file.parent_path().string()));
  connection.Open();
  report::TfrxADOComponents components;
  components.SetDefaultDatabase(&connection);

  report::TfrxReport report;
  if (!report.LoadFromFile(template_path.string())) {
    std::fprintf(stderr, "bench_expansion: %s not found\n",
                 template_path.string().c_str());
    return 2;
  }
  report.Expressions().Variables().Set("vid", core::Variant("1"));
  report.Expressions().Variables().Set("usl", core::Variant("'Лекарства'"));
  auto* query = dynamic_cast<report::TfrxADOQuery*>(report.FindObject("ADOQuery1"));
  auto* band = dynamic_cast<report::TfrxBand*>(report.FindObject("MasterData1"));
  std::vector<report::TfrxMemoView*> memos;
  for (const char* name : kMemoNames) {
    memos.push_back(dynamic_cast<report::TfrxMemoView*>(report.FindObject(name)));
  }
  if (query == nullptr || band == nullptr || std::count(memos.begin(), memos.end(), nullptr) > 0) {
    std::fprintf(stderr, "bench_expansion: the template lacks ADOQuery1, MasterData1 or a memo\n");
    return 2;
  }
  for (report::TfrxComponent* c : report.AllObjects()) c->BeforeStartReport();
  report.Expressions().Script().Prepare();
  query->SQL().Add("select * from '" + file.stem().string() + "' WHERE SUMPAY>0 ORDER BY FAMIL, IMJA, OTCH ");
  query->SetReportRef(&report);
  query->StartRun();
  report::TfrxExpressions& expressions = report.Expressions();
  expressions.State().current_band = band;

  std::printf("register: %s (%lu rows), template: %s\n", path.c_str(), options.rows,
              template_path.string().c_str());
  // Fills the memos of the current row; returns their texts' total size.
  std::string last[7];
  auto fill_row = [&](size_t line) {
    expressions.State().line = static_cast<int>(line);
    expressions.State().line_all = static_cast<int>(line);
    size_t bytes = 0;
    for (size_t i = 0; i < memos.size(); ++i) {
      report::TfrxMemoView& memo = *memos[i];
      report::MemoBeforePrint(memo);
      report::MemoFillData(expressions, memo);
      bytes += memo.Text().size();
      last[i] = memo.Text();
      report::MemoAfterPrint(memo);
    }
    return bytes;
  };
  query->First();  // opens the query: its fields exist from here on
  DirectRow direct(query->Query(), fs);

  // Once, untimed: both paths give the same texts on every row.
  size_t rows = 0, mismatches = 0;
  std::string texts[7];
  for (query->First(); !query->Eof(); query->Next()) {
    ++rows;
    fill_row(rows);
    direct.Build(rows, texts);
    for (int i = 0; i < 7; ++i) {
      if (texts[i] != last[i] && ++mismatches <= 3) {
        std::printf("  row %zu memo %s: \"%s\" vs \"%s\"\n", rows, kMemoNames[i], last[i].c_str(), texts[i].c_str());
      }
    }
  }
  std::printf("query rows: %zu, rows whose texts differ: %zu\n", rows, mismatches);

  double best_report = 1e9, best_direct = 1e9;
  size_t check_report = 0, check_direct = 0;
  for (int run = 0; run < options.runs; ++run) {
    check_report = 0;
    size_t line = 0;
    const auto t0 = Clock::now();
    for (query->First(); !query->Eof(); query->Next()) check_report += fill_row(++line);
    const double report_s = std::chrono::duration<double>(Clock::now() - t0).count();

    check_direct = 0;
    line = 0;
    sql::TAdoQuery& q = query->Query();
    const auto t1 = Clock::now();
    for (q.First(); !q.Eof(); q.Next()) {
      direct.Build(++line, texts);
      for (const std::string& t : texts) check_direct += t.size();
    }
    const double direct_s = std::chrono::duration<double>(Clock::now() - t1).count();
    best_report = std::min(best_report, report_s);
    best_direct = std::min(best_direct, direct_s);
  }
  rows = std::max<size_t>(rows, 1);
  std::printf("memo expansion (7 memos): %.3f s, %.2f us/row\n", best_report, best_report * 1e6 / rows);
  std::printf("direct C++ texts:         %.3f s, %.2f us/row\n", best_direct, best_direct * 1e6 / rows);
  std::printf("ratio: %.2fx (goal: under 5 us/row and at most 5x)   text bytes: %zu vs %zu   errors: %d\n",
              best_report / best_direct, check_report, check_direct, report.Errors().Count());
  for (int i = 0; i < report.Errors().Count() && i < 5; ++i) std::printf("  %s\n", report.Errors()[i].c_str());
  query->FinishRun();
  return 0;
}
