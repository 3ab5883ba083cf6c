#include "report/bands.h"

#include <algorithm>

#include "report/class_registration.h"
#include "report/data_sets.h"
#include "report/views.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxBand)
LGOTY_REPORT_CLASS_IMPL(TfrxReportTitle)
LGOTY_REPORT_CLASS_IMPL(TfrxReportSummary)
LGOTY_REPORT_CLASS_IMPL(TfrxPageHeader)
LGOTY_REPORT_CLASS_IMPL(TfrxPageFooter)
LGOTY_REPORT_CLASS_IMPL(TfrxColumnHeader)
LGOTY_REPORT_CLASS_IMPL(TfrxColumnFooter)
LGOTY_REPORT_CLASS_IMPL(TfrxHeader)
LGOTY_REPORT_CLASS_IMPL(TfrxFooter)
LGOTY_REPORT_CLASS_IMPL(TfrxGroupHeader)
LGOTY_REPORT_CLASS_IMPL(TfrxGroupFooter)
LGOTY_REPORT_CLASS_IMPL(TfrxChild)
LGOTY_REPORT_CLASS_IMPL(TfrxOverlay)
LGOTY_REPORT_CLASS_IMPL(TfrxNullBand)
LGOTY_REPORT_CLASS_IMPL(TfrxDataBand)
LGOTY_REPORT_CLASS_IMPL(TfrxMasterData)
LGOTY_REPORT_CLASS_IMPL(TfrxDetailData)
LGOTY_REPORT_CLASS_IMPL(TfrxSubdetailData)
LGOTY_REPORT_CLASS_IMPL(TfrxDataBand4)
LGOTY_REPORT_CLASS_IMPL(TfrxDataBand5)
LGOTY_REPORT_CLASS_IMPL(TfrxDataBand6)

TfrxBand::TfrxBand() : fill_(std::make_unique<TfrxBrushFill>()) {}

void TfrxBand::SetFillType(TfrxFillType type) {
  if (fill_->FillType() != type) fill_ = CreateFill(type);
  UpdateFillMemo();
}

TfrxMemoView* TfrxBand::FillMemo() const {
  if (ObjectCount() == 0 || !Object(0)->IsHidden()) return nullptr;
  return dynamic_cast<TfrxMemoView*>(Object(0));
}

void TfrxBand::UpdateFillMemo() {
  TfrxMemoView* memo = FillMemo();
  auto* brush = dynamic_cast<const TfrxBrushFill*>(fill_.get());
  if (brush && brush->IsEmpty()) {
    if (memo) Release(memo);
    return;
  }
  if (!memo) {
    auto created = std::make_unique<TfrxMemoView>();
    created->SetHidden(true);
    memo = static_cast<TfrxMemoView*>(Adopt(std::move(created), 0));
  }
  memo->SetFill(*fill_);
  double left = fill_gap_.left;
  double top = fill_gap_.top;
  memo->SetBounds(left, top, std::max(0.0, Width() - left - fill_gap_.right),
                  std::max(0.0, Height() - top - fill_gap_.bottom));
}

void TfrxBand::SetWidth(double v) {
  TfrxReportComponent::SetWidth(v);
  if (FillMemo()) UpdateFillMemo();
}

void TfrxBand::SetHeight(double v) {
  TfrxReportComponent::SetHeight(v);
  if (FillMemo()) UpdateFillMemo();
}

void TfrxBand::Loaded() {
  TfrxReportComponent::Loaded();
  UpdateFillMemo();
}

std::vector<std::unique_ptr<TfrxComponent>> TfrxBand::TakeObjects() {
  auto taken = TfrxReportComponent::TakeObjects();
  UpdateFillMemo();
  return taken;
}

std::string TfrxDataBand::DataSetName() const {
  if (TfrxDataSet* ds = data_set.Get()) return ds->UserName();
  return data_set_name_;
}

TfrxUserDataSet& TfrxDataBand::VirtualDataSet() {
  if (!virtual_data_set_) {
    virtual_data_set_ = std::make_unique<TfrxUserDataSet>();
    virtual_data_set_->range_end = TfrxRangeEnd::reCount;
  }
  virtual_data_set_->range_end_count = row_count;
  return *virtual_data_set_;
}

namespace {

using core::ObjectRole;
using core::TObject;
using B = TfrxBand;

// The band properties a kind publishes, by name, in the order listed.
enum BandProp : unsigned {
  kAllowSplit = 1u << 0, kChild = 1u << 1, kKeepChild = 1u << 2,
  kPrintChildIfInvisible = 1u << 3, kStartNewPage = 1u << 4, kStretched = 1u << 5,
  kReprintOnNewPage = 1u << 6, kKeepTogether = 1u << 7, kCondition = 1u << 8,
  kDrill = 1u << 9, kOutlineText = 1u << 10, kResetPageNumbers = 1u << 11,
  kHideIfSingle = 1u << 12, kPrintOnFirstPage = 1u << 13, kPrintOnLastPage = 1u << 14,
  kPrintOnTop = 1u << 15
};

template <class T>
void KindProps(core::ClassBuilder<T>& b, unsigned props) {
  if (props & kAllowSplit) b.Field("AllowSplit", &B::allow_split).Default(0);
  if (props & kChild) {
    b.Reference(
        "Child", "TfrxChild", [](const T& o) -> TObject* { return o.child.Get(); },
        [](T& o, TObject* v) { o.child.Set(dynamic_cast<TfrxChild*>(v)); });
  }
  if (props & kCondition) b.Field("Condition", &B::condition);
  if (props & kDrill) {
    b.Field("DrillDown", &B::drill_down).Default(0);
    b.Field("ExpandDrillDown", &B::expand_drill_down).Default(0);
  }
  if (props & kHideIfSingle) {
    b.Field("HideIfSingleDataRecord", &B::hide_if_single_data_record).Default(0);
  }
  if (props & kKeepChild) b.Field("KeepChild", &B::keep_child).Default(0);
  if (props & kKeepTogether) b.Field("KeepTogether", &B::keep_together).Default(0);
  if (props & kReprintOnNewPage) b.Field("ReprintOnNewPage", &B::reprint_on_new_page).Default(0);
  if (props & kOutlineText) b.Field("OutlineText", &B::outline_text);
  if (props & kPrintChildIfInvisible) {
    b.Field("PrintChildIfInvisible", &B::print_child_if_invisible).Default(0);
  }
  if (props & kPrintOnFirstPage) b.Field("PrintOnFirstPage", &B::print_on_first_page).Default(1);
  if (props & kPrintOnLastPage) b.Field("PrintOnLastPage", &B::print_on_last_page).Default(1);
  if (props & kPrintOnTop) b.Field("PrintOnTop", &B::print_on_top).Default(0);
  if (props & kResetPageNumbers) b.Field("ResetPageNumbers", &B::reset_page_numbers).Default(0);
  if (props & kDrill) {
    b.Field("ShowFooterIfDrillDown", &B::show_footer_if_drill_down).Default(0);
    b.Field("ShowChildIfDrillDown", &B::show_child_if_drill_down).Default(0);
  }
  if (props & kStartNewPage) b.Field("StartNewPage", &B::start_new_page).Default(0);
  if (props & kStretched) b.Field("Stretched", &B::stretched).Default(0);
  if (props & kDrill) b.Field("DrillName", &B::drill_name);
}

template <class T>
void RegisterKind(const char* name, const char* parent, unsigned props) {
  auto b = RegisterFrxClass<T>(name, parent);
  KindProps(b, props);
}

}  // namespace

void RegisterBandClasses() {
  const ReportEnums& e = Enums();
  {
    auto b = RegisterFrxClass<TfrxBand>("TfrxBand", "TfrxReportComponent", false);
    b.EnumProp("FillType", &B::FillType, &B::SetFillType, e.fill_type).Default(0);
    b.Object("Fill", ObjectRole::Nested, "TfrxCustomFill",
             [](const B& o) -> TObject* { return &o.Fill(); });
    b.Object("FillGap", ObjectRole::Nested, "TfrxFillGaps",
             [](const B& o) -> TObject* { return &const_cast<B&>(o).FillGap(); });
    b.MemberObject("Font", "TfrxFont",
                   [](const B& o) -> TObject* { return const_cast<TfrxFont*>(&o.Font()); })
        .StoredIf([](const TObject& o) { return !static_cast<const B&>(o).ParentFont(); });
    b.Prop("Height", &TfrxComponent::Height, &TfrxComponent::SetHeight);
    b.Prop("Left", &TfrxComponent::Left, &TfrxComponent::SetLeft);
    b.Field("ParentFont", TfrxComponent::ParentFontMember(), &TfrxComponent::SetParentFont)
        .Default(1);
    b.Set("Restrictions", &B::restrictions, e.restriction, "TfrxRestrictions").Default(0);
    b.Prop("Top", &TfrxComponent::Top, &TfrxComponent::SetTop);
    b.Field("Vertical", &B::vertical).Default(0);
    b.Field("Visible", TfrxComponent::VisibleMember(), &TfrxComponent::SetVisible).Default(1);
    b.Prop("Width", &TfrxComponent::Width, &TfrxComponent::SetWidth);
    b.Event("OnAfterCalcHeight", &B::on_after_calc_height);
    b.Event("OnAfterPrint", &B::on_after_print);
    b.Event("OnBeforePrint", &B::on_before_print);
  }
  const unsigned kTitleLike = kAllowSplit | kChild | kKeepChild | kPrintChildIfInvisible |
                              kStartNewPage | kStretched;
  RegisterKind<TfrxReportTitle>("TfrxReportTitle", "TfrxBand", kTitleLike);
  RegisterKind<TfrxReportSummary>("TfrxReportSummary", "TfrxBand", kTitleLike);
  RegisterKind<TfrxChild>("TfrxChild", "TfrxBand", kTitleLike);
  RegisterKind<TfrxPageHeader>("TfrxPageHeader", "TfrxBand",
                               kChild | kPrintChildIfInvisible | kPrintOnFirstPage | kStretched);
  RegisterKind<TfrxPageFooter>("TfrxPageFooter", "TfrxBand",
                               kPrintOnFirstPage | kPrintOnLastPage);
  RegisterKind<TfrxColumnHeader>("TfrxColumnHeader", "TfrxBand", kChild | kStretched);
  RegisterKind<TfrxColumnFooter>("TfrxColumnFooter", "TfrxBand", 0);
  RegisterKind<TfrxHeader>("TfrxHeader", "TfrxBand",
                           kAllowSplit | kChild | kKeepChild | kPrintChildIfInvisible |
                               kReprintOnNewPage | kStartNewPage | kStretched);
  RegisterKind<TfrxFooter>("TfrxFooter", "TfrxBand",
                           kAllowSplit | kChild | kKeepChild | kPrintChildIfInvisible |
                               kStretched);
  RegisterKind<TfrxGroupHeader>("TfrxGroupHeader", "TfrxBand",
                                kAllowSplit | kChild | kCondition | kDrill | kKeepChild |
                                    kKeepTogether | kReprintOnNewPage | kOutlineText |
                                    kPrintChildIfInvisible | kResetPageNumbers |
                                    kStartNewPage | kStretched);
  RegisterKind<TfrxGroupFooter>("TfrxGroupFooter", "TfrxBand",
                                kAllowSplit | kChild | kHideIfSingle | kKeepChild |
                                    kPrintChildIfInvisible | kStretched);
  RegisterKind<TfrxOverlay>("TfrxOverlay", "TfrxBand", kPrintOnTop);
  RegisterKind<TfrxNullBand>("TfrxNullBand", "TfrxBand", 0);
  {
    using D = TfrxDataBand;
    auto b = RegisterFrxClass<D>("TfrxDataBand", "TfrxBand", false);
    b.Field("AllowSplit", &B::allow_split).Default(0);
    b.Reference(
        "Child", "TfrxChild", [](const D& o) -> TObject* { return o.child.Get(); },
        [](D& o, TObject* v) { o.child.Set(dynamic_cast<TfrxChild*>(v)); });
    b.Field("Columns", &D::columns).Default(0);
    b.Field("ColumnWidth", &D::column_width);
    b.Field("ColumnGap", &D::column_gap);
    b.Reference(
        "DataSet", "TfrxDataSet", [](const D& o) -> TObject* { return o.data_set.Get(); },
        [](D& o, TObject* v) { o.data_set.Set(dynamic_cast<TfrxDataSet*>(v)); });
    b.Prop("DataSetName", &D::DataSetName, &D::SetDataSetName);
    b.Field("FooterAfterEach", &D::footer_after_each).Default(0);
    b.Field("Filter", &D::filter);
    b.Field("KeepChild", &B::keep_child).Default(0);
    b.Field("KeepFooter", &D::keep_footer).Default(0);
    b.Field("KeepHeader", &D::keep_header).Default(0);
    b.Field("KeepTogether", &B::keep_together).Default(0);
    b.Field("OutlineText", &B::outline_text);
    b.Field("PrintChildIfInvisible", &B::print_child_if_invisible).Default(0);
    b.Field("PrintIfDetailEmpty", &D::print_if_detail_empty).Default(0);
    b.Field("RowCount", &D::row_count);
    b.Field("StartNewPage", &B::start_new_page).Default(0);
    b.Field("Stretched", &B::stretched).Default(0);
    b.Event("OnMasterDetail", &D::on_master_detail);
  }
  RegisterKind<TfrxMasterData>("TfrxMasterData", "TfrxDataBand", 0);
  RegisterKind<TfrxDetailData>("TfrxDetailData", "TfrxDataBand", 0);
  RegisterKind<TfrxSubdetailData>("TfrxSubdetailData", "TfrxDataBand", 0);
  RegisterKind<TfrxDataBand4>("TfrxDataBand4", "TfrxDataBand", 0);
  RegisterKind<TfrxDataBand5>("TfrxDataBand5", "TfrxDataBand", 0);
  RegisterKind<TfrxDataBand6>("TfrxDataBand6", "TfrxDataBand", 0);
}

}  // namespace lgoty::report
