// A small report and a scripted run of the band engine's calls into the prepared pages:
// a page header with a title memo, and a data band with two memos printed once per row.
#pragma once

#include <memory>
#include <string>

#include "core/stream.h"
#include "report/bands.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/report.h"
#include "report/views.h"

namespace lgoty::report::testing {

class FakeEngine final : public PreparedPagesEngine {
 public:
  bool Running() const override { return running; }
  bool FinalPass() const override { return final_pass; }
  double CurY() const override { return cur_y; }
  int TotalPages() const override { return total_pages; }
  void PageAdded(int page_number) override { last_page_added = page_number; }

  bool running = false;
  bool final_pass = true;
  double cur_y = 0;
  int total_pages = 0;
  int last_page_added = 0;
};

struct PreparedRun {
  PreparedRun() {
    page = report.Add(std::make_unique<TfrxReportPage>());
    page->SetName("Page1");
    header = page->Add(std::make_unique<TfrxPageHeader>());
    header->SetName("PageHeader1");
    header->SetBounds(0, 0, 700, 30);
    title = header->Add(std::make_unique<TfrxMemoView>());
    title->SetName("Title");
    title->SetBounds(10, 5, 300, 20);
    title->SetText("List of beneficiaries");
    band = page->Add(std::make_unique<TfrxMasterData>());
    band->SetName("MasterData1");
    band->SetBounds(0, 100, 700, 20);
    name = band->Add(std::make_unique<TfrxMemoView>());
    name->SetName("Memo1");
    name->SetBounds(0, 0, 200, 20);
    sum = band->Add(std::make_unique<TfrxMemoView>());
    sum->SetName("Memo2");
    sum->SetBounds(200, 0, 100, 20);
    sum->halign = TfrxHAlign::haRight;
    pages().SetEngine(&engine);
  }
  ~PreparedRun() { pages().SetEngine(nullptr); }

  TfrxPreviewPages& pages() { return report.PreviewPages(); }

  // Clear, start and add the source page: what the engine does before the first pass.
  void Start() {
    pages().Clear();
    pages().Initialize();
    pages().AddSourcePage(page);
    engine.running = true;
  }

  // One pass of page_count pages with rows_per_page rows each; row texts are numbered
  // through the whole run. Ends the pass's logical numbering.
  void Pass(int page_count, int rows_per_page) {
    pages().BeginPass();
    int row = 0;
    for (int p = 0; p < page_count; ++p) {
      pages().AddPage(page);
      header->SetTop(0);
      pages().AddObject(header);
      for (int r = 0; r < rows_per_page; ++r, ++row) {
        band->SetTop(30 + 20.0 * r);
        name->SetText("Person " + std::to_string(row));
        sum->SetText(std::to_string(row * 10) + ",50");
        pages().AddObject(band);
      }
    }
    pages().ResetLogicalPageNumber();
  }

  void Build(int page_count, int rows_per_page) {
    Start();
    Pass(page_count, rows_per_page);
    engine.running = false;
    pages().Finish();
  }

  FakeEngine engine;
  TfrxReport report;
  TfrxReportPage* page;
  TfrxPageHeader* header;
  TfrxMemoView* title;
  TfrxMasterData* band;
  TfrxMemoView* name;
  TfrxMemoView* sum;
};

// The bytes of the store saved as a prepared report.
inline std::string Saved(TfrxPreviewPages& pages) {
  core::TMemoryStream stream;
  pages.SaveToStream(stream);
  return stream.Bytes();
}

}  // namespace lgoty::report::testing
