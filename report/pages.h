// Pages of a report: printable report pages (paper, margins, columns), the data page that
// holds data components, and dialog pages shown before the report is built.
//
// Paper rules of a report page:
//   - Setting PaperWidth or PaperHeight rounds the value to 8 decimals and makes the paper
//     custom (PaperSize 256).
//   - Setting PaperSize below 256 takes the dimensions from the paper table (swapped for
//     landscape); an unknown number keeps the dimensions.
//   - Changing Orientation swaps the paper dimensions and rotates the margins: to landscape
//     left <- top, right <- bottom, top <- right, bottom <- left; to portrait the reverse.
//   - After each of these, Width and Height become the paper size in pixels, rounded.
// In templates PaperSize is written after PaperWidth and PaperHeight and always (even when
// it is 9), so that a standard size read back ends as that size and not as custom.
#pragma once

#include <string>
#include <vector>

#include "core/string_list.h"
#include "report/component.h"

namespace lgoty::report {

class TfrxDataSet;
class TfrxDialogControl;

class TfrxPage : public TfrxComponent {
  LGOTY_REPORT_CLASS(TfrxPage)
 public:
  // A page keeps its own font (it does not follow the report's).
  TfrxPage() { SetParentFont(false); }
};

class TfrxReportPage final : public TfrxPage {
  LGOTY_REPORT_CLASS(TfrxReportPage)
 public:
  // A4 portrait, no margins.
  TfrxReportPage();
  std::string BaseName() const override { return "Page"; }

  TPrinterOrientation Orientation() const { return orientation_; }
  void SetOrientation(TPrinterOrientation value);
  double PaperWidth() const { return paper_width_; }
  void SetPaperWidth(double mm);
  double PaperHeight() const { return paper_height_; }
  void SetPaperHeight(double mm);
  int PaperSize() const { return paper_size_; }
  void SetPaperSize(int value);
  int Columns() const { return columns_; }
  // n > 0 sets ColumnWidth to the printable width / n and ColumnPositions to 0, w, 2w ...
  void SetColumns(int n);
  // The printable band width in pixels: (paper width - left - right margin) * 3.77953.
  double PrintableWidth() const;

  TfrxFrame& Frame() { return frame_; }
  TfrxPicture& BackPicture() { return back_picture_; }
  core::TStringList& ColumnPositions() { return column_positions_; }
  core::TStringList& HGuides() { return hguides_; }
  core::TStringList& VGuides() { return vguides_; }
  std::string DataSetName() const;
  void SetDataSetName(std::string name) { data_set_name_ = std::move(name); }

  double left_margin = 0, right_margin = 0, top_margin = 0, bottom_margin = 0;
  bool mirror_margins = false;
  double column_width = 0;
  int bin = 7, bin_other_pages = 7;
  bool back_picture_visible = true, back_picture_printable = true;
  int PageCount() const { return page_count_; }
  // Values below 1 are ignored.
  void SetPageCount(int value) {
    if (value >= 1) page_count_ = value;
  }
  TColor color = clTransparent;
  Link<TfrxDataSet> data_set;
  TfrxDuplexMode duplex = TfrxDuplexMode::dmNone;
  bool endless_height = false, endless_width = false, large_design_height = false;
  std::string outline_text;
  bool print_if_empty = true, print_on_previous_page = false, reset_page_numbers = false,
       title_before_header = true;
  std::string on_after_print, on_before_print, on_manual_build;

 private:
  void UpdateDimensions();

  TPrinterOrientation orientation_ = TPrinterOrientation::poPortrait;
  double paper_width_ = 210, paper_height_ = 297;
  int paper_size_ = kPaperA4;
  int columns_ = 0;
  int page_count_ = 1;
  TfrxFrame frame_;
  TfrxPicture back_picture_;
  core::TStringList column_positions_, hguides_, vguides_;
  std::string data_set_name_;
};

class TfrxDataPage final : public TfrxPage {
  LGOTY_REPORT_CLASS(TfrxDataPage)
 public:
  TfrxDataPage();
};

// A dialog shown before the report is built. The window itself belongs to the user
// interface; the page keeps the window's properties.
class TfrxDialogPage final : public TfrxPage {
  LGOTY_REPORT_CLASS(TfrxDialogPage)
 public:
  TfrxDialogPage();

  // The difference between the outer and the client size of the window for the current
  // border style (frame and caption).
  int FrameWidth() const;
  int FrameHeight() const;
  double ClientWidth() const { return client_width_; }
  double ClientHeight() const { return client_height_; }
  void SetClientWidth(double value);
  void SetClientHeight(double value);
  // While loading, a non-zero client size already set wins over the outer size.
  void SetWidth(double value) override;
  void SetHeight(double value) override;

  std::string caption;
  TFormBorderStyle border_style = TFormBorderStyle::bsSizeable;
  TColor color = clBtnFace;
  TPosition position = TPosition::poScreenCenter;
  TWindowState window_state = TWindowState::wsNormal;
  std::string on_activate, on_click, on_deactivate, on_hide, on_show, on_resize,
      on_close_query, on_key_down, on_key_up, on_key_press;

  // The window at run time (not stored). ModalResult is what the window closes with; a
  // value other than 0 set while the window is up (by a button or a script) ends the
  // modal loop once OnCloseQuery agrees.
  int ModalResult() const { return modal_result_; }
  void SetModalResult(int value) { modal_result_ = value; }
  // Shows the page through the report's dialog host and returns the modal result; throws
  // EDialogError when the page is not in a report that has a host.
  int ShowModal();
  // The control that has the focus while the window is up (SetFocus moves it).
  TfrxDialogControl* ActiveControl() const;
  void SetActiveControl(TfrxDialogControl* control);
  // The dialog controls placed directly on the page (the window's own controls).
  std::vector<TfrxDialogControl*> Controls() const;

 private:
  double client_width_ = 0, client_height_ = 0;
  int modal_result_ = 0;
  Link<TfrxDialogControl> active_control_;
};

void RegisterPageClasses();

}  // namespace lgoty::report
