// Loading and saving a report template with 5 000 memos (250 data bands of 20 memos on
// one page), against a plain scan of the same bytes: a read into memory and a count of
// the tags, which is the least any template reader has to do.
//
//   bench_template [memos]      prints the median of 15 runs of each step
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/stream.h"
#include "report/bands.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/views.h"

namespace {

using namespace lgoty::report;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 15;
constexpr int kMemosPerBand = 20;

void BuildReport(TfrxReport& report, int memos) {
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  page->SetName("Page1");
  TfrxBand* band = nullptr;
  for (int i = 0; i < memos; ++i) {
    if (i % kMemosPerBand == 0) {
      band = page->Add(std::make_unique<TfrxMasterData>());
      band->SetName("MasterData" + std::to_string(i / kMemosPerBand + 1));
      band->SetBounds(0, 20.0 * (i / kMemosPerBand), 718, 18.9);
    }
    auto* memo = band->Add(std::make_unique<TfrxMemoView>());
    memo->SetName("Memo" + std::to_string(i + 1));
    memo->SetBounds(37.8 * (i % kMemosPerBand), 0, 37.8, 18.9);
    memo->Frame().typ = 15;
    memo->halign = TfrxHAlign::haCenter;
    memo->SetText("[ADOQuery1.\"FIELD" + std::to_string(i % 7) + "\"] текст & <знаки>");
  }
}

template <class F>
double MedianMs(F&& step) {
  std::vector<double> times;
  for (int run = 0; run < kRuns; ++run) {
    auto start = Clock::now();
    step();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  int memos = argc > 1 ? std::atoi(argv[1]) : 5000;
  if (memos <= 0) memos = 5000;
  TfrxReport source;
  BuildReport(source, memos);
  lgoty::core::TMemoryStream saved;
  source.SaveToStream(saved);
  const std::string bytes = saved.Bytes();

  size_t tags = 0;
  double scan_ms = MedianMs([&] {
    std::string copy(bytes);
    tags = static_cast<size_t>(std::count(copy.begin(), copy.end(), '<'));
  });
  size_t objects = 0;
  double load_ms = MedianMs([&] {
    TfrxReport report;
    lgoty::core::TMemoryStream in(bytes);
    report.LoadFromStream(in);
    objects = report.AllObjects().size();
  });
  TfrxReport loaded;
  {
    lgoty::core::TMemoryStream in(bytes);
    loaded.LoadFromStream(in);
  }
  size_t out_size = 0;
  double save_ms = MedianMs([&] {
    lgoty::core::TMemoryStream out;
    loaded.SaveToStream(out);
    out_size = out.Bytes().size();
  });

  std::printf("template: %d memos, %zu objects, %zu bytes, %zu tags\n", memos, objects,
              bytes.size(), tags);
  std::printf("reference (copy + tag count): %8.3f ms\n", scan_ms);
  std::printf("load:                         %8.3f ms  (%.1fx reference)\n", load_ms,
              load_ms / scan_ms);
  std::printf("save:                         %8.3f ms  (%.1fx reference, %zu bytes)\n", save_ms,
              save_ms / scan_ms, out_size);
  std::printf("goal: load and save each under 100 ms\n");
  return 0;
}
