// The preview on the list report of a generated register (100 000 rows by default), offscreen,
// as the List report command shows it: the dialog "параметры" answered with ОК, the pages
// shown while the report is built. Printed:
//   - ОК until page 1 has been drawn in the preview, against the whole run (ОК until the
//     last page is made) measured in the same run;
//   - a jump to the last page until it has been drawn, and two jumps (to the middle, then to
//     the full page before the last) until that page has been drawn, against drawing the
//     full page into an image directly (the drawing a jump cannot avoid);
//   - resident memory before the run, after it, and the most while every page is drawn in
//     turn.
//
//   build/bin/bench_preview [--rows N] [--runs R]   (run from any folder; bench-data/ there)
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "bench/bench_register.h"
#include "render/text_measurer.h"
#include "report/expressions.h"
#include "report/prepared_pages.h"
#include "report/query_data_sets.h"
#include "report/report.h"
#include "report/variables.h"
#include "sql/ado_connection.h"
#include "ui/prepared_pages_document.h"
#include "ui/preview.h"
#include "ui/preview_form.h"
#include "ui/preview_report_ui.h"
#include "ui/preview_workspace.h"
#include "ui/qt_dialog_host.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

long RssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// The prepared pages as the preview draws them, noting when each page was first drawn.
class TimedDocument : public lgoty::ui::PreparedPagesDocument {
 public:
  using PreparedPagesDocument::PreparedPagesDocument;
  void DrawPage(int index, QPainter& painter, double zoom, QPointF offset) override {
    PreparedPagesDocument::DrawPage(index, painter, zoom, offset);
    if (index == 0 && !first_drawn) first_drawn = Clock::now();
    if (index == watched) watched_drawn = Clock::now();
  }
  std::optional<Clock::time_point> first_drawn;
  int watched = -1;
  std::optional<Clock::time_point> watched_drawn;
};

struct RunResult {
  double first_page_ms = 0;  // ОК until page 1 drawn
  double first_pass_page_ms = 0;  // ОК until the first pass made its first page
  double whole_run_ms = 0;   // ОК until the run ended
  double jump_ms = 0;        // Last until the last page drawn
  double full_jump_ms = 0;   // from there to the full page before it until drawn
  double direct_draw_ms = 0; // the last page drawn into an image
  int pages = 0;
  long rss_after_kb = 0, rss_peak_kb = 0;
};

RunResult RunOnce(const std::string& folder, const std::string& table) {
  using namespace lgoty;
  sql::TAdoConnection connection;
  connection.SetLoginPrompt(false);
  connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + folder +
                                 "\";Extended Properties=dBASE IV;");
  connection.Open();
  report::TfrxADOComponents ado;
  ado.SetDefaultDatabase(&connection);
  report::TfrxReport report;
  report.LoadFromFile(std::string(LGOTY_SOURCE_DIR) + "/templates/spisok1.fr3", true);
  auto& vars = report.Expressions().Variables();
  vars.Set("OFName", core::Variant("'" + table + "'"));
  vars.Set("OFile", core::Variant("'" + folder + table + ".dbf'"));
  vars.Set("OFPath", core::Variant("'" + folder + "'"));
  vars.Set("usl", core::Variant("'Льготное обеспечение лекарственными препаратами'"));
  vars.Set("vid", core::Variant(1));

  ui::QtDialogHost host(nullptr);
  report.SetDialogHost(&host);
  TimedDocument document(report);
  ui::TfrxPreviewForm form;
  report.preview_options.maximized = false;
  form.resize(1000, 720);
  form.Init(&report, &document);

  RunResult result;
  Clock::time_point ok_pressed{};
  // The operator: ОК in the dialog as soon as it is up.
  QTimer operator_timer;
  operator_timer.setInterval(2);
  QObject::connect(&operator_timer, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (!w->isVisible() || w->windowTitle() != QString::fromUtf8("параметры")) continue;
      for (QPushButton* b : w->findChildren<QPushButton*>()) {
        if (b->text() != QString::fromUtf8("ОК")) continue;
        operator_timer.stop();
        ok_pressed = Clock::now();
        b->click();
        return;
      }
    }
  });
  operator_timer.start();

  // The status bar counts the first pass's pages ("Первый проход: страница N").
  std::optional<Clock::time_point> first_pass_page;
  QObject::connect(form.Preview(), &ui::TfrxPreview::statusChanged,
                   [&](const QString& first, const QString&) {
                     if (!first_pass_page && form.Preview()->Working() &&
                         first.startsWith(QString::fromUtf8("Первый проход")))
                       first_pass_page = Clock::now();
                   });
  Clock::time_point run_ended{};
  form.ShowModal([&](ui::TfrxPreview& preview) {
    {
      ui::PreviewReportUserInterface user_interface(report, preview);
      report.Prepare(true);
    }
    run_ended = Clock::now();
    QTimer::singleShot(0, &form, [&] {
      ui::TfrxPreview& p = *form.Preview();
      QApplication::processEvents();
      result.pages = p.PageCount();
      result.rss_after_kb = RssKb();
      ui::PreviewWorkspace& workspace = *p.Workspace();
      // The jump: End as the operator presses it, then the paint it causes.
      document.watched = result.pages - 1;
      document.watched_drawn.reset();
      const auto jump_start = Clock::now();
      p.Last();
      workspace.viewport()->repaint();
      if (document.watched_drawn) result.jump_ms = Ms(jump_start, *document.watched_drawn);
      // The last page holds the summary and a few rows; the one before it is full.
      document.watched = result.pages - 2;
      document.watched_drawn.reset();
      const auto full_start = Clock::now();
      p.SetPageNo(result.pages / 2);
      workspace.viewport()->repaint();
      p.SetPageNo(result.pages - 1);
      workspace.viewport()->repaint();
      if (document.watched_drawn) result.full_jump_ms = Ms(full_start, *document.watched_drawn);
      // Reference: the same page drawn straight into an image of its size.
      {
        QImage image(document.PageSize(result.pages - 2), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        const auto start = Clock::now();
        document.DrawPage(result.pages - 2, painter, 1.0, QPointF(0, 0));
        result.direct_draw_ms = Ms(start, Clock::now());
      }
      // Every page drawn in turn; the most memory held meanwhile.
      long peak = RssKb();
      for (int page = 1; page <= result.pages; ++page) {
        p.SetPageNo(page);
        workspace.viewport()->repaint();
        if (page % 50 == 0) peak = std::max(peak, RssKb());
      }
      result.rss_peak_kb = std::max(peak, RssKb());
      form.reject();
    });
  });
  report.SetDialogHost(nullptr);
  if (document.first_drawn) result.first_page_ms = Ms(ok_pressed, *document.first_drawn);
  result.whole_run_ms = Ms(ok_pressed, run_ended);
  if (first_pass_page) result.first_pass_page_ms = Ms(ok_pressed, *first_pass_page);
  if (report.Errors().Count() > 0)
    std::printf("errors of the run: %s\n", report.Errors()[0].c_str());
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  lgoty::bench::RegisterBenchOptions options;
  options.rows = 100'000;
  options.runs = 1;
  if (!lgoty::bench::ParseRegisterBenchOptions(argc, argv, "bench_preview", options)) return 2;
  const std::string path = std::filesystem::absolute(
      lgoty::bench::EnsureBenchRegister(argv[0], options.rows)).string();
  const std::string folder = std::filesystem::path(path).parent_path().string() + "/";
  const std::string table = std::filesystem::path(path).stem().string();

  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lgoty::render::InstallTextMeasurer();
  const long rss_start = RssKb();

  for (int run = 1; run <= options.runs; ++run) {
    const RunResult r = RunOnce(folder, table);
    std::printf("run %d: %s, %d pages\n", run, path.c_str(), r.pages);
    std::printf("  OK until page 1 is drawn:        %9.1f ms   (goal < 2000 ms)\n",
                r.first_page_ms);
    std::printf("    reference, OK until the run ended: %9.1f ms   ratio %.2f\n", r.whole_run_ms,
                r.whole_run_ms > 0 ? r.first_page_ms / r.whole_run_ms : 0.0);
    std::printf("    (the first pass made its first page after %.1f ms; the template counts\n"
                "     its pages in a first pass, and the pages show from the second)\n",
                r.first_pass_page_ms);
    std::printf("  jump to the last page until drawn: %7.2f ms   (goal < 100 ms)\n", r.jump_ms);
    std::printf("  jump to the middle, then to the full page before the last, until drawn: "
                "%7.2f ms\n", r.full_jump_ms);
    std::printf("    reference, that full page drawn into an image:  %7.2f ms   ratio %.1f\n",
                r.direct_draw_ms, r.direct_draw_ms > 0 ? r.full_jump_ms / r.direct_draw_ms : 0.0);
    std::printf("  resident memory: %ld MB at start, %ld MB after the run, %ld MB most while "
                "paging through every page\n",
                rss_start / 1024, r.rss_after_kb / 1024, r.rss_peak_kb / 1024);
  }
  return 0;
}
