// Storing placed objects into prepared pages: the list template's data band (MasterData1
// and its seven memos) added to pages for every one of N rows, as the second pass of the
// list report stores it, against the same differences written by the serializer's general
// path (every published property written against the source copy, then filtered).
//
//   bench_prepared_store [--rows N] [--runs R] [--no-reference]
//
// Each row gives the memos new texts and the band a new top and height, so every stored
// item carries a position, a size and a text, as the list report's rows do. The texts of
// both paths are compared for every row once before timing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/format_settings.h"
#include "report/bands.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/prepared_pages_detail.h"
#include "report/report.h"
#include "report/serializer.h"
#include "report/views.h"

namespace {

using namespace lgoty;
using Clock = std::chrono::steady_clock;

const char* const kMemoNames[] = {"Memo9", "Memo10", "Memo3", "Memo1", "Memo15", "Memo16", "Memo17"};
constexpr int kRowsPerPage = 40;

struct Row {
  report::TfrxBand* band;
  std::vector<report::TfrxMemoView*> memos;

  // What the band engine leaves in the objects before storing row n.
  void Fill(size_t n) const {
    const double height = n % 5 == 0 ? 33 : 18.9;
    band->SetTop(83.15 + static_cast<double>(n % kRowsPerPage) * height);
    band->SetHeight(height);
    for (size_t i = 0; i < memos.size(); ++i) {
      memos[i]->SetHeight(height);
      memos[i]->SetText("Текст " + std::to_string(n * 7 + i) + (i == 2 ? " Алексеева Ирина" : ""));
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  size_t rows = 100'000;
  int runs = 3;
  bool reference = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--no-reference") reference = false;
    else if (arg == "--rows" && i + 1 < argc) rows = std::strtoul(argv[++i], nullptr, 10);
    else if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
  }
  core::SetDefaultFormatSettings(core::FormatSettings::Russian());
  report::TfrxReport report;
  if (!report.LoadFromFile(LGOTY_LIST_TEMPLATE)) {
    std::fprintf(stderr, "bench_prepared_store: %s not found\n", LGOTY_LIST_TEMPLATE);
    return 2;
  }
  Row row{dynamic_cast<report::TfrxBand*>(report.FindObject("MasterData1")), {}};
  for (const char* name : kMemoNames) {
    row.memos.push_back(dynamic_cast<report::TfrxMemoView*>(report.FindObject(name)));
  }
  auto* page = row.band ? dynamic_cast<report::TfrxReportPage*>(row.band->Page()) : nullptr;
  if (!page || std::count(row.memos.begin(), row.memos.end(), nullptr) > 0) {
    std::fprintf(stderr, "bench_prepared_store: the template lacks MasterData1 or a memo\n");
    return 2;
  }

  report::TfrxPreviewPages pages(&report);
  pages.Initialize();
  pages.AddSourcePage(page);
  pages.BeginPass();

  // Once, untimed: the store's item texts are those of the general path.
  report::TfrxXMLSerializer serializer;
  size_t mismatches = 0;
  const size_t checked = std::min<size_t>(rows, 2000);
  for (size_t n = 0; n < checked; ++n) {
    if (n % kRowsPerPage == 0) pages.AddPage(page);
    row.Fill(n);
    pages.AddObject(row.band);
    const core::TfrxXMLItem* page_item = pages.PageItem(pages.Count() - 1);
    const core::TfrxXMLItem* band_item = page_item->Items(page_item->Count() - 1);
    std::vector<const report::TfrxComponent*> objects{row.band};
    for (auto* memo : row.memos) objects.push_back(memo);
    for (size_t i = 0; i < objects.size(); ++i) {
      const core::TfrxXMLItem* item = i == 0 ? band_item : band_item->Items(static_cast<int>(i - 1));
      const std::string general = report::prepared_detail::FullDiff(
          serializer, *objects[i], pages.SourceCopy(objects[i]));
      if (item->Text() != general && ++mismatches <= 3) {
        std::printf("  row %zu object %zu: \"%s\" vs \"%s\"\n", n, i, item->Text().c_str(),
                    general.c_str());
      }
    }
  }
  std::printf("rows checked: %zu, items that differ from the general path: %zu\n", checked,
              mismatches);

  double best_store = 1e9, best_general = 1e9;
  size_t bytes_store = 0, bytes_general = 0;
  for (int run = 0; run < runs; ++run) {
    pages.Clear();
    pages.AddSourcePage(page);
    pages.BeginPass();
    bytes_store = 0;
    const auto t0 = Clock::now();
    for (size_t n = 0; n < rows; ++n) {
      if (n % kRowsPerPage == 0) pages.AddPage(page);
      row.Fill(n);
      pages.AddObject(row.band);
    }
    best_store = std::min(best_store, std::chrono::duration<double>(Clock::now() - t0).count());
    for (int p = 0; p < pages.Count(); ++p) {
      const core::TfrxXMLItem* item = pages.PageItem(p);
      for (int i = 0; i < item->Count(); ++i) {
        const core::TfrxXMLItem* band_item = item->Items(i);
        bytes_store += band_item->Text().size();
        for (int j = 0; j < band_item->Count(); ++j) bytes_store += band_item->Items(j)->Text().size();
      }
    }

    if (!reference) continue;
    bytes_general = 0;
    const auto t1 = Clock::now();
    for (size_t n = 0; n < rows; ++n) {
      row.Fill(n);
      bytes_general += report::prepared_detail::FullDiff(
          serializer, *row.band, pages.SourceCopy(row.band)).size();
      for (auto* memo : row.memos) {
        bytes_general += report::prepared_detail::FullDiff(
            serializer, *memo, pages.SourceCopy(memo)).size();
      }
    }
    best_general = std::min(best_general, std::chrono::duration<double>(Clock::now() - t1).count());
  }
  rows = std::max<size_t>(rows, 1);
  std::printf("store (AddPage, AddObject: band + 7 memos): %.3f s, %.2f us/row\n", best_store,
              best_store * 1e6 / rows);
  if (reference) {
    std::printf("general differences only (no items):       %.3f s, %.2f us/row\n",
                best_general, best_general * 1e6 / rows);
    std::printf("ratio general / store: %.2f   stored text bytes: %zu, general bytes: %zu\n",
                best_general / best_store, bytes_store, bytes_general);
  }
  return mismatches == 0 ? 0 : 1;
}
