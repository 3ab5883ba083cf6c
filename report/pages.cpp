#include "report/pages.h"

#include <cmath>
#include <utility>

#include "core/text_format.h"
#include "report/class_registration.h"
#include "report/data_sets.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxPage)
LGOTY_REPORT_CLASS_IMPL(TfrxReportPage)
LGOTY_REPORT_CLASS_IMPL(TfrxDataPage)
LGOTY_REPORT_CLASS_IMPL(TfrxDialogPage)

namespace {

double RoundTo8(double mm) { return std::round(mm * 1e8) / 1e8; }

std::string FloatToStrDot(double value) {
  return core::FloatToStr(value, core::DefaultFormatSettings());
}

}  // namespace

TfrxReportPage::TfrxReportPage() { UpdateDimensions(); }

void TfrxReportPage::UpdateDimensions() {
  TfrxComponent::SetWidth(std::round(paper_width_ * fr01cm));
  TfrxComponent::SetHeight(std::round(paper_height_ * fr01cm));
}

void TfrxReportPage::SetOrientation(TPrinterOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  std::swap(paper_width_, paper_height_);
  double l = left_margin, r = right_margin, t = top_margin, b = bottom_margin;
  if (value == TPrinterOrientation::poLandscape) {
    left_margin = t;
    right_margin = b;
    top_margin = r;
    bottom_margin = l;
  } else {
    left_margin = b;
    right_margin = t;
    top_margin = l;
    bottom_margin = r;
  }
  UpdateDimensions();
}

void TfrxReportPage::SetPaperWidth(double mm) {
  paper_width_ = RoundTo8(mm);
  paper_size_ = kPaperCustom;
  UpdateDimensions();
}

void TfrxReportPage::SetPaperHeight(double mm) {
  paper_height_ = RoundTo8(mm);
  paper_size_ = kPaperCustom;
  UpdateDimensions();
}

void TfrxReportPage::SetPaperSize(int value) {
  paper_size_ = value;
  PaperDimensions dims;
  if (value < kPaperCustom && PaperSizeDimensions(value, dims)) {
    paper_width_ = dims.width_mm;
    paper_height_ = dims.height_mm;
    if (orientation_ == TPrinterOrientation::poLandscape) {
      std::swap(paper_width_, paper_height_);
    }
  }
  UpdateDimensions();
}

double TfrxReportPage::PrintableWidth() const {
  return (paper_width_ - left_margin - right_margin) * fr01cm;
}

void TfrxReportPage::SetColumns(int n) {
  columns_ = n;
  if (n <= 0) return;
  column_width = (paper_width_ - left_margin - right_margin) / n;
  column_positions_.Clear();
  for (int i = 0; i < n; ++i) {
    column_positions_.Add(FloatToStrDot(i * column_width));
  }
}

std::string TfrxReportPage::DataSetName() const {
  if (TfrxDataSet* ds = data_set.Get()) return ds->UserName();
  return data_set_name_;
}

TfrxDataPage::TfrxDataPage() {
  SetWidth(1000);
  SetHeight(1000);
}

TfrxDialogPage::TfrxDialogPage() {
  Font().name = "Tahoma";
  Font().SetSize(8);
}

int TfrxDialogPage::FrameWidth() const {
  switch (border_style) {
    case TFormBorderStyle::bsNone: return 0;
    case TFormBorderStyle::bsSizeable:
    case TFormBorderStyle::bsSizeToolWin: return 16;
    default: return 16;
  }
}

int TfrxDialogPage::FrameHeight() const {
  switch (border_style) {
    case TFormBorderStyle::bsNone: return 0;
    case TFormBorderStyle::bsToolWindow:
    case TFormBorderStyle::bsSizeToolWin: return 34;
    default: return 38;
  }
}

void TfrxDialogPage::SetClientWidth(double value) {
  client_width_ = value;
  TfrxComponent::SetWidth(std::round(value) + FrameWidth());
}

void TfrxDialogPage::SetClientHeight(double value) {
  client_height_ = value;
  TfrxComponent::SetHeight(std::round(value) + FrameHeight());
}

void TfrxDialogPage::SetWidth(double value) {
  if (IsLoading() && client_width_ != 0) return;
  TfrxComponent::SetWidth(std::round(value));
  client_width_ = std::max(0.0, Width() - FrameWidth());
}

void TfrxDialogPage::SetHeight(double value) {
  if (IsLoading() && client_height_ != 0) return;
  TfrxComponent::SetHeight(std::round(value));
  client_height_ = std::max(0.0, Height() - FrameHeight());
}

void RegisterPageClasses() {
  using core::ObjectRole;
  using core::TObject;
  const ReportEnums& e = Enums();
  {
    auto b = RegisterFrxClass<TfrxPage>("TfrxPage", "TfrxComponent", false);
    b.Object("Font", ObjectRole::Nested, "TfrxFont", [](const TfrxPage& o) -> TObject* {
      return const_cast<TfrxFont*>(&o.Font());
    });
    b.Field("Visible", TfrxComponent::VisibleMember(), &TfrxComponent::SetVisible).Default(1);
  }
  {
    using P = TfrxReportPage;
    auto b = RegisterFrxClass<P>("TfrxReportPage", "TfrxPage");
    b.EnumProp("Orientation", &P::Orientation, &P::SetOrientation, e.orientation).Default(0);
    b.Prop("PaperWidth", &P::PaperWidth, &P::SetPaperWidth);
    b.Prop("PaperHeight", &P::PaperHeight, &P::SetPaperHeight);
    b.Prop("PaperSize", &P::PaperSize, &P::SetPaperSize);
    b.Field("LeftMargin", &P::left_margin);
    b.Field("RightMargin", &P::right_margin);
    b.Field("TopMargin", &P::top_margin);
    b.Field("BottomMargin", &P::bottom_margin);
    b.Field("MirrorMargins", &P::mirror_margins).Default(0);
    b.Prop("Columns", &P::Columns, &P::SetColumns).Default(0);
    b.Field("ColumnWidth", &P::column_width);
    b.Object("ColumnPositions", ObjectRole::StringList, "TStrings", [](const P& o) -> TObject* {
      return &const_cast<P&>(o).ColumnPositions();
    });
    b.Field("Bin", &P::bin).Default(7);
    b.Field("BinOtherPages", &P::bin_other_pages).Default(7);
    b.Object("BackPicture", ObjectRole::Nested, "TfrxPicture", [](const P& o) -> TObject* {
      return &const_cast<P&>(o).BackPicture();
    });
    b.Field("BackPictureVisible", &P::back_picture_visible).Default(1);
    b.Field("BackPicturePrintable", &P::back_picture_printable).Default(1);
    b.Prop("PageCount", &P::PageCount, &P::SetPageCount).Default(1);
    b.Field("Color", &P::color).TypeName("TColor").Default(clTransparent);
    b.Reference(
        "DataSet", "TfrxDataSet", [](const P& o) -> TObject* { return o.data_set.Get(); },
        [](P& o, TObject* v) { o.data_set.Set(dynamic_cast<TfrxDataSet*>(v)); });
    b.Prop("DataSetName", &P::DataSetName, &P::SetDataSetName);
    b.Enum("Duplex", &P::duplex, e.duplex).Default(0);
    b.Object("Frame", ObjectRole::Nested, "TfrxFrame",
             [](const P& o) -> TObject* { return &const_cast<P&>(o).Frame(); });
    b.Field("EndlessHeight", &P::endless_height).Default(0);
    b.Field("EndlessWidth", &P::endless_width).Default(0);
    b.Field("LargeDesignHeight", &P::large_design_height).Default(0);
    b.Field("OutlineText", &P::outline_text);
    b.Field("PrintIfEmpty", &P::print_if_empty).Default(1);
    b.Field("PrintOnPreviousPage", &P::print_on_previous_page).Default(0);
    b.Field("ResetPageNumbers", &P::reset_page_numbers).Default(0);
    b.Field("TitleBeforeHeader", &P::title_before_header).Default(1);
    b.Object("HGuides", ObjectRole::StringList, "TStrings",
             [](const P& o) -> TObject* { return &const_cast<P&>(o).HGuides(); });
    b.Object("VGuides", ObjectRole::StringList, "TStrings",
             [](const P& o) -> TObject* { return &const_cast<P&>(o).VGuides(); });
    b.Event("OnAfterPrint", &P::on_after_print);
    b.Event("OnBeforePrint", &P::on_before_print);
    b.Event("OnManualBuild", &P::on_manual_build);
  }
  {
    auto b = RegisterFrxClass<TfrxDataPage>("TfrxDataPage", "TfrxPage");
    b.Prop("Height", &TfrxComponent::Height, &TfrxComponent::SetHeight);
    b.Prop("Left", &TfrxComponent::Left, &TfrxComponent::SetLeft);
    b.Prop("Top", &TfrxComponent::Top, &TfrxComponent::SetTop);
    b.Prop("Width", &TfrxComponent::Width, &TfrxComponent::SetWidth);
  }
  {
    using D = TfrxDialogPage;
    auto b = RegisterFrxClass<D>("TfrxDialogPage", "TfrxPage");
    b.Enum("BorderStyle", &D::border_style, e.border_style).Default(2);
    b.Field("Caption", &D::caption).TypeName("TCaption");
    b.Field("Color", &D::color).TypeName("TColor").Default(clBtnFace);
    b.Prop("Height", &TfrxComponent::Height, &TfrxComponent::SetHeight);
    b.Prop("ClientHeight", &D::ClientHeight, &D::SetClientHeight);
    b.Prop("ClientWidth", &D::ClientWidth, &D::SetClientWidth);
    b.Prop("Left", &TfrxComponent::Left, &TfrxComponent::SetLeft);
    b.Enum("Position", &D::position, e.position).Default(4);
    b.Prop("Top", &TfrxComponent::Top, &TfrxComponent::SetTop);
    b.Prop("Width", &TfrxComponent::Width, &TfrxComponent::SetWidth);
    b.Enum("WindowState", &D::window_state, e.window_state).Default(0);
    b.Event("OnActivate", &D::on_activate);
    b.Event("OnClick", &D::on_click);
    b.Event("OnDeactivate", &D::on_deactivate);
    b.Event("OnHide", &D::on_hide);
    b.Event("OnKeyDown", &D::on_key_down).TypeName("TfrxKeyEvent");
    b.Event("OnKeyPress", &D::on_key_press).TypeName("TfrxKeyPressEvent");
    b.Event("OnKeyUp", &D::on_key_up).TypeName("TfrxKeyEvent");
    b.Event("OnResize", &D::on_resize);
    b.Event("OnShow", &D::on_show);
    b.Event("OnCloseQuery", &D::on_close_query).TypeName("TfrxCloseQueryEvent");
  }
}

}  // namespace lgoty::report
