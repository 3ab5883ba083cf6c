// A small report built in code for the tests of page drawing and export: three portrait
// pages of five rows with a page footer "Страница N из M", then one landscape page with a
// title. The rows come from a user data set, so no database is needed.
#pragma once

#include <memory>
#include <string>

#include "report/bands.h"
#include "report/data_sets.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/views.h"

namespace lgoty::testing {

class SmallReport {
 public:
  SmallReport() {
    using namespace report;
    auto* data_page = report_.Add(std::make_unique<TfrxDataPage>());
    data_page->SetName("Data");
    rows_ = data_page->Add(std::make_unique<TfrxUserDataSet>());
    rows_->SetName("Rows");
    rows_->range_end = TfrxRangeEnd::reCount;
    rows_->range_end_count = 5;
    report_.AddDataSet(rows_, "Rows");
    report_.engine_options.destroy_forms = false;
    report_.engine_options.new_silent_mode = TfrxSilentMode::simSilent;

    auto* page = report_.Add(std::make_unique<TfrxReportPage>());
    page->SetName("Page1");
    page->left_margin = page->right_margin = page->top_margin = page->bottom_margin = 10;
    auto* footer = page->Add(std::make_unique<TfrxPageFooter>());
    footer->SetName("Footer");
    footer->SetBounds(0, 500, 700, 30);
    AddMemo(footer, "FooterText", "Страница [Page#] из [TotalPages#]");
    auto* master = page->Add(std::make_unique<TfrxMasterData>());
    master->SetName("Master");
    master->SetBounds(0, 100, 700, 400);
    master->data_set.Set(rows_);
    AddMemo(master, "RowText", "Строка льготника");

    auto* wide = report_.Add(std::make_unique<TfrxReportPage>());
    wide->SetName("Page2");
    wide->SetOrientation(TPrinterOrientation::poLandscape);
    wide->left_margin = wide->right_margin = wide->top_margin = wide->bottom_margin = 10;
    auto* title = wide->Add(std::make_unique<TfrxReportTitle>());
    title->SetName("Title");
    title->SetBounds(0, 0, 1000, 40);
    AddMemo(title, "TitleText", "Альбомная страница");
  }

  report::TfrxReport& Report() { return report_; }

 private:
  static void AddMemo(report::TfrxBand* band, const char* name, const std::string& text) {
    auto* memo = band->Add(std::make_unique<report::TfrxMemoView>());
    memo->SetName(name);
    memo->SetBounds(0, 0, 600, band->Height());
    memo->SetText(text);
  }

  report::TfrxReport report_;
  report::TfrxUserDataSet* rows_ = nullptr;
};

}  // namespace lgoty::testing
