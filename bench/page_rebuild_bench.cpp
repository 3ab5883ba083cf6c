// Rebuilding the pages of a prepared report for export: every page walked once through
// TfrxPageSequence (the next page rebuilt and the last one freed on the sequence's thread)
// against the same pages built one after another by Page, the preview's path.
//
//   bench_page_rebuild PATH.fp3 [--runs R] [--no-reference]
//
// A prepared report saved by bench_list_report --fp3 is the usual input. CPU seconds are the
// process's (both threads); the caller does nothing with a page but count its objects.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/format_settings.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/prepared_pages_sequence.h"
#include "report/report.h"

namespace {

using namespace lgoty;
using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

size_t CountObjects(const report::TfrxComponent& page) { return page.AllObjects().size(); }

struct Timing {
  double wall = 1e9;
  double cpu = 1e9;
  size_t objects = 0;
};

template <typename Walk>
void Measure(Timing& best, Walk walk) {
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  const size_t objects = walk();
  best.wall = std::min(best.wall, std::chrono::duration<double>(Clock::now() - t0).count());
  best.cpu = std::min(best.cpu, CpuSeconds() - cpu0);
  best.objects = objects;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  int runs = 3;
  bool reference = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--no-reference") reference = false;
    else if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else path = arg;
  }
  if (path.empty()) {
    std::fprintf(stderr, "usage: bench_page_rebuild PATH.fp3 [--runs R] [--no-reference]\n");
    return 2;
  }
  core::SetDefaultFormatSettings(core::FormatSettings::Russian());
  report::TfrxReport report;
  report::TfrxPreviewPages& pages = report.PreviewPages();
  try {
    if (!pages.LoadFromFile(path, true)) return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_page_rebuild: %s\n", e.what());
    return 2;
  }
  Timing sequence_time, page_time;
  for (int run = 0; run < runs; ++run) {
    Measure(sequence_time, [&] {
      size_t objects = 0;
      report::TfrxPageSequence sequence(pages);
      while (report::TfrxReportPage* page = sequence.Next()) objects += CountObjects(*page);
      return objects;
    });
    if (!reference) continue;
    Measure(page_time, [&] {
      size_t objects = 0;
      for (int i = 0; i < pages.Count(); ++i) objects += CountObjects(*pages.Page(i));
      return objects;
    });
  }
  std::printf("%d pages, best of %d\n", pages.Count(), runs);
  std::printf("  sequence: %zu objects, wall %.3f s, CPU %.3f s\n", sequence_time.objects,
              sequence_time.wall, sequence_time.cpu);
  if (reference) {
    std::printf("  Page(i):  %zu objects, wall %.3f s, CPU %.3f s\n", page_time.objects,
                page_time.wall, page_time.cpu);
    std::printf("  CPU ratio (Page / sequence): %.2f\n", page_time.cpu / sequence_time.cpu);
  }
  return sequence_time.objects == page_time.objects || !reference ? 0 : 1;
}
