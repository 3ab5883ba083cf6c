// The list report (templates/spisok1.fr3) over a generated medicines register to a PDF file,
// as the register program builds it: the query over the register's folder, the double pass
// of the band engine, the PDF export. Prints the time of each step, the time until the
// first page was ready, and the peak memory of the process. In the same run a ReportLab
// script (bench/list_report_reportlab.py) builds the same list from the same printed rows:
// same columns and cell wrapping, the header on every page, the summary and the
// "страница X из Y" footer, its page total found by a first layout pass as ours is; its
// time is the reference and the ratio is printed.
//
//   bench_list_report [--rows N] [--runs R] [--fp3 PATH] [--no-reference] [--sequential]
//     N registered rows (100 000), R runs (1); --fp3 also saves the first run's prepared
//     report (untimed), so that two builds' stored pages can be compared byte for byte;
//     --no-reference skips the ReportLab script (our own steps only).
//
// By default the PDF is drawn while the second pass builds the pages (render/pipelined_pdf.h):
// "second pass" is then the pass with the drawing alongside, "PDF writing" what is left of
// the PDF after the pass ended. --sequential prepares first and exports after, as the
// preview's export does; both write the same file.
//
// The register is bench-data/register_N.dbf (made by gen_register once); the outputs are
// bench-data/list_N.pdf and bench-data/list_N_reportlab.pdf.
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <QGuiApplication>

#include "bench/bench_register.h"
#include "data/dataset.h"
#include "render/pipelined_pdf.h"
#include "render/prepared_pages_export.h"
#include "render/text_measurer.h"
#include "report/bands.h"
#include "report/batch_dialog_host.h"
#include "report/expressions.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/query_data_sets.h"
#include "report/report.h"
#include "report/variables.h"
#include "report/views.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"

namespace {

namespace fs = std::filesystem;
using namespace lgoty;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// CPU seconds of this process: on a machine shared with other builds the wall clock says
// more about the load than about the program.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

// CPU seconds of the calling thread alone.
double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

double ChildCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

// Notes when each pass starts pages: page 2 of a pass means its page 1 is complete.
class PassClock final : public report::ReportUserInterface {
 public:
  void ShowErrorMessage(const std::string&, const std::string& text) override {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  bool AskPassword(std::string&) override { return false; }
  void ReportProgress(bool first_pass, int page_number) override {
    const Clock::time_point now = Clock::now();
    if (first_pass) {
      first_pass_end_cpu = CpuSeconds();
      if (page_number == 2 && first_page_done == Clock::time_point()) first_page_done = now;
      first_pass_pages = page_number;
      first_pass_end = now;
    } else {
      if (second_pass_start == Clock::time_point()) {
        second_pass_start = now;
        second_pass_start_cpu = CpuSeconds();
        second_pass_start_thread_cpu = ThreadCpuSeconds();
      }
      if (page_number == 2 && final_first_page_done == Clock::time_point()) {
        final_first_page_done = now;
      }
    }
  }
  Clock::time_point first_page_done, first_pass_end, second_pass_start, final_first_page_done;
  double first_pass_end_cpu = 0;  // CPU seconds of the process when the first pass ended
  // When the second pass started: CPU seconds of the process and of the engine's thread.
  double second_pass_start_cpu = 0, second_pass_start_thread_cpu = 0;
  int first_pass_pages = 0;
};

struct RunTimes {
  double query = 0, first_pass = 0, second_pass = 0, pdf = 0, total = 0;
  double first_page = 0, final_first_page = 0;
  double peak_mb = 0;  // after the PDF was written
  double cpu_run = 0, cpu_pdf = 0, cpu_total = 0;  // CPU seconds: both passes, PDF, whole
  double cpu_first_pass = 0;  // CPU seconds of the first pass with the query
  // The second pass: CPU seconds of the engine's thread, and of the other threads meanwhile
  // (drawing, page rebuilding, compressing) - on an idle machine the longer of the two
  // bounds the pass.
  double cpu_second_engine = 0, cpu_second_others = 0;
  int query_opens = 0, pages = 0;
};

// The printed rows, one line per row with the cells separated by tabs, then the summary
// and the page count; what the reference lays out.
void WriteRows(report::TfrxReport& report, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  report::TfrxPreviewPages& pages = report.PreviewPages();
  std::string summary;
  for (int p = 0; p < pages.Count(); ++p) {
    report::TfrxReportPage* page = pages.Page(p);
    for (int k = 0; k < page->ObjectCount(); ++k) {
      auto* band = dynamic_cast<report::TfrxBand*>(page->Object(k));
      if (!band) continue;
      if (band->Name() == "ReportSummary1") {
        summary = static_cast<report::TfrxCustomMemoView*>(band->Object(0))->Text();
      }
      if (band->Name() != "MasterData1") continue;
      std::string line;
      for (int m = 0; m < band->ObjectCount(); ++m) {
        auto* memo = dynamic_cast<report::TfrxCustomMemoView*>(band->Object(m));
        if (!memo) continue;
        if (!line.empty()) line += '\t';
        std::string text = memo->Text();
        for (char& c : text) {
          if (c == '\t' || c == '\r' || c == '\n') c = ' ';
        }
        line += text;
      }
      out << line << '\n';
    }
  }
  out << "#summary\t" << summary << '\n';
}

RunTimes RunOnce(const std::string& register_path, const std::string& pdf_path,
                 const std::string& rows_path, const std::string& fp3_path, bool sequential) {
  const std::string folder = fs::absolute(register_path).parent_path().string() + "/";
  const std::string base = fs::path(register_path).stem().string();
  RunTimes times;
  const Clock::time_point start = Clock::now();
  const double cpu_start = CpuSeconds();

  sql::TAdoConnection connection;
  connection.SetLoginPrompt(false);
  connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + folder +
                                 "\";Extended Properties=dBASE IV;");
  connection.Open();
  report::TfrxADOComponents components;
  components.SetDefaultDatabase(&connection);
  report::BatchDialogHost host;
  PassClock clock;
  report::TfrxReport report;
  report.LoadFromFile(std::string(LGOTY_SOURCE_DIR) + "/templates/spisok1.fr3", true);
  report::TfrxVariables& variables = report.Expressions().Variables();
  variables.Set("OFile", core::Variant("'" + fs::absolute(register_path).string() + "'"));
  variables.Set("OFPath", core::Variant("'" + folder + "'"));
  variables.Set("OFName", core::Variant("'" + base + "'"));
  variables.Set("usl", core::Variant(std::string("'лекарства'")));
  variables.Set("vid", core::Variant(static_cast<int32_t>(1)));
  report.engine_options.new_silent_mode = report::TfrxSilentMode::simSilent;
  report.SetDialogHost(&host);
  report.SetUserInterface(&clock);

  // The query's time: from before its open to after it (the SQL runs and sorts at open).
  auto* query = dynamic_cast<report::TfrxADOQuery*>(report.FindObject("ADOQuery1"));
  if (!query) throw std::runtime_error("the template has no ADOQuery1");
  Clock::time_point open_start;
  data::TDataSet& dataset = query->Query();
  auto before = dataset.BeforeOpen;
  dataset.BeforeOpen = [&](data::TDataSet& d) {
    open_start = Clock::now();
    if (before) before(d);
  };
  auto after = dataset.AfterOpen;
  dataset.AfterOpen = [&](data::TDataSet& d) {
    if (after) after(d);
    times.query += Seconds(open_start, Clock::now());
    ++times.query_opens;
  };

  const Clock::time_point prepare_start = Clock::now();
  const double cpu_prepare = CpuSeconds();
  std::optional<render::PipelinedPdf> early;
  if (!sequential) early.emplace(report, pdf_path);
  const bool ok = report.Prepare(true);
  const Clock::time_point prepared = Clock::now();
  const double cpu_prepared = CpuSeconds();
  times.cpu_second_engine = ThreadCpuSeconds() - clock.second_pass_start_thread_cpu;
  times.cpu_second_others =
      cpu_prepared - clock.second_pass_start_cpu - times.cpu_second_engine;
  bool written = early && early->Finish(ok);
  if (!ok) throw std::runtime_error("the run failed: " + report.Errors().Text());
  if (early && !written) {
    std::printf("the PDF drawn alongside was not kept (%s): exported after the run\n",
                early->FallbackReason().c_str());
  }
  if (!written && !render::ExportPdf(report, pdf_path)) {
    throw std::runtime_error("cannot write " + pdf_path);
  }
  const Clock::time_point done = Clock::now();
  const double cpu_done = CpuSeconds();
  times.cpu_run = cpu_prepared - cpu_prepare;
  times.cpu_first_pass = clock.first_pass_end_cpu - cpu_prepare;
  times.cpu_pdf = cpu_done - cpu_prepared;
  times.cpu_total = cpu_done - cpu_start;
  times.peak_mb = PeakMegabytes();

  times.pages = report.PreviewPages().Count();
  times.first_pass = Seconds(prepare_start, clock.first_pass_end);
  times.second_pass = Seconds(clock.second_pass_start, prepared);
  times.pdf = Seconds(prepared, done);
  times.total = Seconds(start, done);
  times.first_page = Seconds(start, clock.first_page_done);
  times.final_first_page = Seconds(start, clock.final_first_page_done);
  if (!rows_path.empty()) WriteRows(report, rows_path);
  if (!fp3_path.empty()) report.PreviewPages().SaveToFile(fp3_path);
  return times;
}

// Runs the reference; its own measure of the layout and writing is printed on its last
// line as "seconds S pages P".
bool RunReference(const std::string& rows_path, const std::string& pdf_path, double& seconds,
                  int& pages, double& wall, double& cpu) {
  const double cpu_before = ChildCpuSeconds();
  const std::string script = std::string(LGOTY_SOURCE_DIR) + "/bench/list_report_reportlab.py";
  const std::string command =
      "/usr/bin/python3 '" + script + "' '" + rows_path + "' '" + pdf_path + "'";
  const Clock::time_point start = Clock::now();
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  char line[256];
  bool found = false;
  while (std::fgets(line, sizeof line, pipe)) {
    if (std::sscanf(line, "seconds %lf pages %d", &seconds, &pages) == 2) found = true;
  }
  const int status = pclose(pipe);
  wall = Seconds(start, Clock::now());
  cpu = ChildCpuSeconds() - cpu_before;
  return found && status == 0;
}

}  // namespace

int main(int argc, char** argv) {
  bench::RegisterBenchOptions options;
  options.rows = 100'000;
  options.runs = 1;
  std::string fp3_path;
  bool reference = true;
  bool sequential = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::string(argv[i]) == "--fp3" && i + 1 < argc) {
      fp3_path = argv[++i];
    } else if (std::string(argv[i]) == "--no-reference") {
      reference = false;
    } else if (std::string(argv[i]) == "--sequential") {
      sequential = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  if (!bench::ParseRegisterBenchOptions(static_cast<int>(args.size()), args.data(),
                                        "bench_list_report", options)) {
    std::fprintf(stderr,
                 "       bench_list_report ... [--fp3 PATH] [--no-reference] [--sequential]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QGuiApplication app(qt_argc, argv);
  render::InstallTextMeasurer();
  try {
    const std::string path = bench::EnsureBenchRegister(argv[0], options.rows);
    const std::string stem = "bench-data/list_" + std::to_string(options.rows);
    RunTimes best;
    for (int run = 0; run < options.runs; ++run) {
      RunTimes t = RunOnce(path, stem + ".pdf", run == 0 ? stem + "_rows.tsv" : "",
                           run == 0 ? fp3_path : "", sequential);
      std::printf("run %d: total %.2f s (query %.2f s in %d opens, first pass %.2f s, second "
                  "pass %.2f s, PDF %.2f s), %d pages\n",
                  run + 1, t.total, t.query, t.query_opens, t.first_pass, t.second_pass, t.pdf,
                  t.pages);
      if (run == 0 || t.total < best.total) best = t;
    }
    const double peak = best.peak_mb;
    std::printf("list report, %lu registered rows, %d pages (best of %d), %s:\n", options.rows,
                best.pages, options.runs,
                sequential ? "PDF exported after the run"
                           : "PDF drawn alongside the second pass");
    std::printf("  query (SQL open, all opens)    %8.2f s\n", best.query);
    std::printf("  first pass (incl. query)       %8.2f s\n", best.first_pass);
    std::printf(sequential ? "  second pass                    %8.2f s\n"
                           : "  second pass with PDF drawing   %8.2f s\n",
                best.second_pass);
    std::printf(sequential ? "  PDF writing                    %8.2f s\n"
                           : "  PDF writing after the pass     %8.2f s\n",
                best.pdf);
    std::printf("  whole (load to written PDF)    %8.2f s\n", best.total);
    std::printf("  first page ready (first pass)  %8.2f s\n", best.first_page);
    std::printf("  first page final (second pass) %8.2f s\n", best.final_first_page);
    std::printf("  peak memory (maxrss)           %8.1f MB\n", peak);
    std::printf("  CPU: first pass (incl. query) %.2f s, both passes%s %.2f s, PDF%s %.2f s, "
                "whole %.2f s\n", best.cpu_first_pass, sequential ? "" : " with drawing",
                best.cpu_run, sequential ? "" : " after", best.cpu_pdf, best.cpu_total);
    std::printf("  CPU of the second pass: engine thread %.2f s, other threads %.2f s\n",
                best.cpu_second_engine, best.cpu_second_others);
    if (!reference) return 0;

    double seconds = 0, wall = 0, cpu = 0;
    int pages = 0;
    if (!RunReference(stem + "_rows.tsv", stem + "_reportlab.pdf", seconds, pages, wall, cpu)) {
      std::printf("reference: ReportLab script failed (python3-reportlab installed?)\n");
      return 1;
    }
    std::printf("reference: ReportLab, same rows, %d pages: %.2f s (%.2f s with Python's start "
                "and reading the rows)\n",
                pages, seconds, wall);
    std::printf("reference CPU: %.2f s (the whole Python process)\n", cpu);
    std::printf("ratio: ReportLab / ours = %.2f by the clock, %.2f by CPU (whole Python process "
                "against our whole run) (goal >= 10), peak %.0f MB (goal < 300)\n",
                seconds / best.total, cpu / best.cpu_total, peak);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_list_report: %s\n", e.what());
    return 1;
  }
  return 0;
}
