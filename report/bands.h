// Bands: horizontal strips of a report page that the engine prints by kind (titles,
// headers, data rows, footers, summaries). A band owns the views placed on it. Its Top is
// its place in the page designer only; the engine positions bands itself.
#pragma once

#include <string>

#include <memory>

#include "report/component.h"
#include "report/data_sets.h"

namespace lgoty::report {

class TfrxChild;
class TfrxMemoView;

class TfrxBand : public TfrxReportComponent {
  LGOTY_REPORT_CLASS(TfrxBand)
 public:
  TfrxBand();
  TfrxCustomFill& Fill() const { return *fill_; }
  TfrxFillType FillType() const { return fill_->FillType(); }
  void SetFillType(TfrxFillType type);
  TfrxFillGaps& FillGap() { return fill_gap_; }

  // A fill other than the empty brush is drawn by a hidden memo held as the band's first
  // child: it carries a copy of the fill and covers the band inset by FillGap. FillMemo is
  // that memo, or nullptr when the band has none.
  TfrxMemoView* FillMemo() const;
  // Brings the fill memo in line with Fill, FillGap and the band's size, creating or
  // removing it. Runs on a fill type or size change, after a template load and after
  // Clear; code that edits Fill() or FillGap() in place calls it afterwards.
  void UpdateFillMemo();
  void SetWidth(double v) override;
  void SetHeight(double v) override;
  void Loaded() override;
  std::vector<std::unique_ptr<TfrxComponent>> TakeObjects() override;

  uint32_t restrictions = 0;
  bool vertical = false;
  std::string on_after_calc_height, on_after_print, on_before_print;

  // Properties that several band kinds publish (each kind publishes its own subset).
  bool allow_split = false;
  Link<TfrxChild> child;
  bool keep_child = false, print_child_if_invisible = false, start_new_page = false,
       stretched = false, reprint_on_new_page = false, keep_together = false;
  std::string condition, outline_text, drill_name;
  bool drill_down = false, expand_drill_down = false, reset_page_numbers = false,
       show_footer_if_drill_down = false, show_child_if_drill_down = false,
       hide_if_single_data_record = false;
  bool print_on_first_page = true, print_on_last_page = true, print_on_top = false;

 private:
  std::unique_ptr<TfrxCustomFill> fill_;
  TfrxFillGaps fill_gap_;
};

#define LGOTY_REPORT_BAND(Name, Base)   \
  class Name : public Base {         \
    LGOTY_REPORT_CLASS(Name)            \
  };

LGOTY_REPORT_BAND(TfrxReportTitle, TfrxBand)
LGOTY_REPORT_BAND(TfrxReportSummary, TfrxBand)
LGOTY_REPORT_BAND(TfrxPageHeader, TfrxBand)
LGOTY_REPORT_BAND(TfrxPageFooter, TfrxBand)
LGOTY_REPORT_BAND(TfrxColumnHeader, TfrxBand)
LGOTY_REPORT_BAND(TfrxColumnFooter, TfrxBand)
LGOTY_REPORT_BAND(TfrxHeader, TfrxBand)
LGOTY_REPORT_BAND(TfrxFooter, TfrxBand)
LGOTY_REPORT_BAND(TfrxGroupHeader, TfrxBand)
LGOTY_REPORT_BAND(TfrxGroupFooter, TfrxBand)
LGOTY_REPORT_BAND(TfrxChild, TfrxBand)
LGOTY_REPORT_BAND(TfrxOverlay, TfrxBand)
LGOTY_REPORT_BAND(TfrxNullBand, TfrxBand)

// A band printed once per record of its data set (or RowCount times without one).
class TfrxDataBand : public TfrxBand {
  LGOTY_REPORT_CLASS(TfrxDataBand)
 public:
  // The data set's user name when one is linked, else the name set.
  std::string DataSetName() const;
  void SetDataSetName(std::string name) { data_set_name_ = std::move(name); }

  int columns = 0;
  double column_width = 0, column_gap = 0;
  Link<TfrxDataSet> data_set;
  bool footer_after_each = false, keep_footer = false, keep_header = false,
       print_if_detail_empty = false;
  std::string filter;
  int row_count = 0;
  std::string on_master_detail;

  // The band's own row counter: a user data set whose range ends after RowCount rows. The
  // engine iterates it when DataSet is empty and RowCount is positive. It is not part of
  // the report's tree.
  TfrxUserDataSet& VirtualDataSet();

 private:
  std::string data_set_name_;
  std::unique_ptr<TfrxUserDataSet> virtual_data_set_;
};

LGOTY_REPORT_BAND(TfrxMasterData, TfrxDataBand)
LGOTY_REPORT_BAND(TfrxDetailData, TfrxDataBand)
LGOTY_REPORT_BAND(TfrxSubdetailData, TfrxDataBand)
LGOTY_REPORT_BAND(TfrxDataBand4, TfrxDataBand)
LGOTY_REPORT_BAND(TfrxDataBand5, TfrxDataBand)
LGOTY_REPORT_BAND(TfrxDataBand6, TfrxDataBand)

#undef LGOTY_REPORT_BAND

void RegisterBandClasses();

}  // namespace lgoty::report
