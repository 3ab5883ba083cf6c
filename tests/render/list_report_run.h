// The shipped list template run over a register folder as the register program runs it:
// a medicines register written row by row into a scratch folder, the default connection
// over that folder, the five variables as the program sets them, the dialog answered with
// its OK button (only rows with an amount above zero) and the Qt measurer of the render
// tests. The prepared pages are then read back band by band.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "report/bands.h"
#include "report/expressions.h"
#include "report/variables.h"
#include "report/batch_dialog_host.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/query_data_sets.h"
#include "report/report.h"
#include "report/views.h"
#include "sql/ado_connection.h"
#include "tests/sql/sql_fixture.h"

namespace lgoty::testing {

const std::string kListTemplate = std::string(LGOTY_SOURCE_DIR) + "/templates/spisok1.fr3";

// One person of the register; the amount is written as the DBF number text ("150.25").
struct ListPerson {
  std::string famil, imja, otch, pynkar, doc_ser, doc_num, sumpay, recept, date;
};

// A person whose cells all fit on one line of their column.
inline ListPerson ShortPerson(int n) {
  const std::string k = std::to_string(n);
  return {"Иванов" + k, "Пётр", "Сергеевич", "770000" + k, "4501", "12" + k,
          std::to_string(n) + ".25", "5" + k, "20240115"};
}

// One band of a prepared page, with its memos.
struct PlacedBand {
  std::string name;
  double top = 0, height = 0;
  std::vector<const report::TfrxCustomMemoView*> memos;
};

class ListReportRun {
 public:
  explicit ListReportRun(const std::vector<ListPerson>& people) {
    using sql::testing::Cell;
    std::vector<sql::testing::RowSpec> rows;
    for (const ListPerson& p : people) {
      rows.push_back({{Cell(p.famil), Cell(p.imja), Cell(p.otch), Cell(p.pynkar),
                       Cell(p.doc_ser), Cell(p.doc_num), Cell(p.sumpay), Cell(p.recept),
                       Cell(p.date)}});
    }
    sql::testing::MakeTable(RegisterPath(),
                            {{"FAMIL", 'C', 25, 0},
                             {"IMJA", 'C', 20, 0},
                             {"OTCH", 'C', 25, 0},
                             {"PYNKAR", 'C', 12, 0},
                             {"DOC_SER", 'C', 10, 0},
                             {"DOC_NUM", 'C', 10, 0},
                             {"SUMPAY", 'N', 12, 2},
                             {"RECEPT", 'C', 15, 0},
                             {"DATERCPT", 'D', 8, 0}},
                            rows);
  }

  std::string RegisterPath() const { return folder_.File("med2024.dbf"); }
  std::string Folder() const { return folder_.Path(); }

  // Loads the template, sets the variables and builds the pages; false with the report's
  // errors as a test failure when the run fails.
  bool Run() {
    connection_.SetLoginPrompt(false);
    connection_.SetConnectionString(sql::testing::JetConnectionString(folder_.Path()));
    connection_.Open();
    components_.SetDefaultDatabase(&connection_);
    report_.LoadFromFile(kListTemplate, true);
    EXPECT_EQ(report_.Errors().Count(), 0) << report_.Errors().Text();
    report::TfrxVariables& variables = report_.Expressions().Variables();
    variables.Set("OFile", core::Variant("'" + RegisterPath() + "'"));
    variables.Set("OFPath", core::Variant("'" + folder_.Path() + "'"));
    variables.Set("OFName", core::Variant(std::string("'med2024'")));
    variables.Set("usl", core::Variant(std::string("'лекарства'")));
    variables.Set("vid", core::Variant(static_cast<int32_t>(1)));
    report_.engine_options.new_silent_mode = report::TfrxSilentMode::simSilent;
    report_.SetDialogHost(&host_);
    const bool ok = report_.Prepare(true);
    EXPECT_TRUE(ok) << report_.Errors().Text();
    return ok;
  }

  report::TfrxReport& Report() { return report_; }
  int PageCount() { return report_.PreviewPages().Count(); }

  // The bands of prepared page index in page order. The pointers live until the next page
  // is asked for.
  std::vector<PlacedBand> Bands(int index) {
    std::vector<PlacedBand> out;
    report::TfrxReportPage* page = report_.PreviewPages().Page(index);
    for (int k = 0; k < page->ObjectCount(); ++k) {
      auto* band = dynamic_cast<report::TfrxBand*>(page->Object(k));
      if (!band) continue;
      PlacedBand placed{band->Name(), band->Top(), band->Height(), {}};
      for (int m = 0; m < band->ObjectCount(); ++m) {
        if (auto* memo = dynamic_cast<report::TfrxCustomMemoView*>(band->Object(m))) {
          placed.memos.push_back(memo);
        }
      }
      out.push_back(std::move(placed));
    }
    return out;
  }

  static int CountOf(const std::vector<PlacedBand>& bands, const std::string& name) {
    int n = 0;
    for (const PlacedBand& b : bands) n += b.name == name ? 1 : 0;
    return n;
  }

  static const PlacedBand* Find(const std::vector<PlacedBand>& bands, const std::string& name) {
    for (const PlacedBand& b : bands) {
      if (b.name == name) return &b;
    }
    return nullptr;
  }

  // The text of a band's memo by name; empty when the band has no such memo.
  static std::string MemoText(const PlacedBand& band, const std::string& memo_name) {
    for (const report::TfrxCustomMemoView* memo : band.memos) {
      if (memo->Name() == memo_name) return memo->Text();
    }
    return {};
  }

 private:
  sql::testing::ScratchFolder folder_;
  sql::TAdoConnection connection_;
  report::TfrxADOComponents components_;
  report::BatchDialogHost host_;
  report::TfrxReport report_;  // goes first: it uses everything above
};

}  // namespace lgoty::testing
