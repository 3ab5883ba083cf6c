#include "report/views.h"

#include "core/xml_document.h"
#include "report/class_registration.h"
#include "report/data_sets.h"
#include "report/pages.h"
#include "report/serializer.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxView)
LGOTY_REPORT_CLASS_IMPL(TfrxStretcheable)
LGOTY_REPORT_CLASS_IMPL(TfrxCustomMemoView)
LGOTY_REPORT_CLASS_IMPL(TfrxMemoView)
LGOTY_REPORT_CLASS_IMPL(TfrxSysMemoView)
LGOTY_REPORT_CLASS_IMPL(TfrxCustomLineView)
LGOTY_REPORT_CLASS_IMPL(TfrxLineView)
LGOTY_REPORT_CLASS_IMPL(TfrxPictureView)
LGOTY_REPORT_CLASS_IMPL(TfrxShapeView)
LGOTY_REPORT_CLASS_IMPL(TfrxSubreport)

TfrxView::TfrxView() : fill_(std::make_unique<TfrxBrushFill>()) {}

void TfrxView::SetFillType(TfrxFillType type) {
  if (fill_->FillType() != type) fill_ = CreateFill(type);
}

TBrushStyle TfrxView::BrushStyle() const {
  auto* brush = dynamic_cast<const TfrxBrushFill*>(fill_.get());
  return brush ? brush->style : TBrushStyle::bsSolid;
}

void TfrxView::SetBrushStyle(TBrushStyle style) {
  if (auto* brush = dynamic_cast<TfrxBrushFill*>(fill_.get())) brush->style = style;
}

TColor TfrxView::FillColor() const {
  auto* brush = dynamic_cast<const TfrxBrushFill*>(fill_.get());
  return brush ? brush->back_color : clTransparent;
}

void TfrxView::SetFillColor(TColor color) {
  if (auto* brush = dynamic_cast<TfrxBrushFill*>(fill_.get())) brush->back_color = color;
}

std::string TfrxView::DataSetName() const {
  if (TfrxDataSet* ds = data_set.Get()) return ds->UserName();
  return data_set_name_;
}

TfrxCustomMemoView::TfrxCustomMemoView() {
  formats_.push_back(std::make_unique<TfrxFormat>());
  highlights_.push_back(std::make_unique<TfrxHighlight>());
}

std::string TfrxCustomMemoView::Text() const {
  std::string text;
  lines_.JoinedTo(text);
  return text;
}

void TfrxCustomMemoView::SetText(std::string_view text) { lines_.SetText(text); }

void TfrxCustomMemoView::WriteNestedItems(core::TfrxXMLItem* item,
                                          TfrxXMLSerializer& serializer) const {
  if (formats_.size() > 1) {
    core::TfrxXMLItem* list = item->Add();
    list->SetName("Formats");
    for (const auto& format : formats_) {
      core::TfrxXMLItem* entry = list->Add();
      entry->SetName("item");
      entry->SetText(serializer.WriteAttributes(*format, ""));
    }
  }
  if (highlights_.size() > 1) {
    core::TfrxXMLItem* list = item->Add();
    list->SetName("Highlights");
    for (const auto& highlight : highlights_) {
      core::TfrxXMLItem* entry = list->Add();
      entry->SetName("item");
      entry->SetText(serializer.WriteAttributes(*highlight, ""));
    }
  }
}

bool TfrxCustomMemoView::ReadNestedItem(core::TfrxXMLItem* item, TfrxXMLSerializer& serializer) {
  if (SameName(item->Name(), "Formats")) {
    formats_.clear();
    for (int i = 0; i < item->Count(); ++i) {
      auto format = std::make_unique<TfrxFormat>();
      serializer.ApplyItemAttributes(item->Items(i)->Text(), *format);
      formats_.push_back(std::move(format));
    }
    if (formats_.empty()) formats_.push_back(std::make_unique<TfrxFormat>());
    return true;
  }
  if (SameName(item->Name(), "Highlights")) {
    highlights_.clear();
    for (int i = 0; i < item->Count(); ++i) {
      auto highlight = std::make_unique<TfrxHighlight>();
      serializer.ApplyItemAttributes(item->Items(i)->Text(), *highlight);
      highlights_.push_back(std::move(highlight));
    }
    if (highlights_.empty()) highlights_.push_back(std::make_unique<TfrxHighlight>());
    return true;
  }
  return false;
}

namespace {

using core::ObjectRole;
using core::TObject;

template <class T>
void FrameAndFill(core::ClassBuilder<T>& b) {
  const ReportEnums& e = Enums();
  b.MemberObject("Frame", "TfrxFrame", [](const T& o) -> TObject* {
    return const_cast<TfrxFrame*>(&o.Frame());
  });
  b.EnumProp("FillType", &TfrxView::FillType, &TfrxView::SetFillType, e.fill_type).Default(0);
  b.Object("Fill", ObjectRole::Nested, "TfrxCustomFill",
           [](const T& o) -> TObject* { return &o.Fill(); });
}

template <class T>
void DataBinding(core::ClassBuilder<T>& b, bool with_data_set) {
  b.Field("DataField", &TfrxView::data_field);
  if (with_data_set) {
    b.Reference(
        "DataSet", "TfrxDataSet", [](const T& o) -> TObject* { return o.data_set.Get(); },
        [](T& o, TObject* v) { o.data_set.Set(dynamic_cast<TfrxDataSet*>(v)); });
  }
  b.Prop("DataSetName", &TfrxView::DataSetName, &TfrxView::SetDataSetName);
}

bool ParentFontOff(const TObject& o) {
  return !static_cast<const TfrxComponent&>(o).ParentFont();
}

template <class T>
void FontProps(core::ClassBuilder<T>& b) {
  b.MemberObject("Font", "TfrxFont", [](const T& o) -> TObject* {
     return const_cast<TfrxFont*>(&o.Font());
   }).StoredIf(ParentFontOff);
}

template <class T>
void ParentFontProp(core::ClassBuilder<T>& b) {
  b.Field("ParentFont", TfrxComponent::ParentFontMember(), &TfrxComponent::SetParentFont)
      .Default(1);
}

// The published properties of a memo; the system memo leaves some out.
template <class T>
void MemoProps(core::ClassBuilder<T>& b, bool system) {
  const ReportEnums& e = Enums();
  using M = TfrxCustomMemoView;
  b.Field("FirstParaBreak", &M::first_para_break).Default(0);
  b.Field("LastParaBreak", &M::last_para_break).Default(0);
  b.Field("Cursor", &TfrxView::cursor).TypeName("TCursor").Default(0);
  b.Field("TagStr", &TfrxView::tag_str);
  b.Field("URL", &TfrxView::url).Stored(false);
  b.Field("AutoWidth", &M::auto_width).Default(0);
  if (!system) b.Field("AllowExpressions", &M::allow_expressions).Default(1);
  b.Field("AllowHTMLTags", &M::allow_html_tags).Default(0);
  b.EnumProp("BrushStyle", &TfrxView::BrushStyle, &TfrxView::SetBrushStyle, e.brush_style)
      .Stored(false);
  b.Prop("Color", &TfrxView::FillColor, &TfrxView::SetFillColor).TypeName("TColor").Stored(false);
  b.Field("CharSpacing", &M::char_spacing).StoredIf([](const TObject& o) {
    return static_cast<const M&>(o).char_spacing != 0;
  });
  b.Field("Clipped", &M::clipped).Default(1);
  if (!system) {
    DataBinding(b, true);
  } else {
    b.Prop("DataSetName", &TfrxView::DataSetName, &TfrxView::SetDataSetName);
  }
  b.Object("DisplayFormat", ObjectRole::Nested, "TfrxFormat", [](const T& o) -> TObject* {
     return &o.DisplayFormat();
   }).StoredIf([](const TObject& o) { return static_cast<const M&>(o).Formats().size() == 1; });
  if (!system) {
    b.Field("ExpressionDelimiters", &M::expression_delimiters).StoredIf([](const TObject& o) {
      return static_cast<const M&>(o).expression_delimiters != "[,]";
    });
    b.Reference(
        "FlowTo", "TfrxCustomMemoView", [](const T& o) -> TObject* { return o.flow_to.Get(); },
        [](T& o, TObject* v) { o.flow_to.Set(dynamic_cast<M*>(v)); });
  }
  FontProps(b);
  FrameAndFill(b);
  b.Field("GapX", &M::gap_x).StoredIf([](const TObject& o) {
    return static_cast<const M&>(o).gap_x != 2;
  });
  b.Field("GapY", &M::gap_y).StoredIf([](const TObject& o) {
    return static_cast<const M&>(o).gap_y != 1;
  });
  b.Enum("HAlign", &M::halign, e.halign).Default(0);
  b.Field("HideZeros", &M::hide_zeros).Default(0);
  b.Object("Highlight", ObjectRole::Nested, "TfrxHighlight", [](const T& o) -> TObject* {
     return &o.Highlight();
   }).StoredIf([](const TObject& o) {
    auto& memo = static_cast<const M&>(o);
    if (memo.Highlights().size() != 1) return false;
    const std::string& condition = memo.Highlight().condition;
    return condition.find_first_not_of(" \t\r\n") != std::string::npos;
  });
  if (!system) {
    b.Field("LineSpacing", &M::line_spacing).StoredIf([](const TObject& o) {
      return static_cast<const M&>(o).line_spacing != 2;
    });
  }
  b.Object("Memo", ObjectRole::WideStringList, "TWideStrings", [](const T& o) -> TObject* {
    return const_cast<core::TStringList*>(&o.Lines());
  });
  if (!system) {
    b.Field("ParagraphGap", &M::paragraph_gap).StoredIf([](const TObject& o) {
      return static_cast<const M&>(o).paragraph_gap != 0;
    });
  }
  ParentFontProp(b);
  b.Field("Rotation", &M::rotation).Default(0);
  b.Field("RTLReading", &M::rtl_reading).Default(0);
  b.Field("SuppressRepeated", &M::suppress_repeated).Default(0);
  if (!system) b.Field("Underlines", &M::underlines).Default(0);
  b.Field("UseDefaultCharset", &M::use_default_charset).Default(0);
  if (!system) b.Field("WordBreak", &M::word_break).Default(0);
  b.Field("Style", &M::style);
  b.Field("WordWrap", &M::word_wrap).Default(1);
  if (!system) b.Field("Wysiwyg", &M::wysiwyg).Default(1);
  b.Enum("VAlign", &M::valign, e.valign).Default(0);
}

}  // namespace

void RegisterViewClasses() {
  const ReportEnums& e = Enums();
  {
    auto b = RegisterFrxClass<TfrxView>("TfrxView", "TfrxReportComponent", false);
    b.Enum("Align", &TfrxView::align, e.align).Default(0);
    b.Field("Printable", &TfrxView::printable).Stored(false).Default(1);
    b.Enum("ShiftMode", &TfrxView::shift_mode, e.shift_mode).Default(1);
    b.Prop("Left", &TfrxComponent::Left, &TfrxComponent::SetLeft);
    b.Prop("Top", &TfrxComponent::Top, &TfrxComponent::SetTop);
    b.Prop("Width", &TfrxComponent::Width, &TfrxComponent::SetWidth);
    b.Prop("Height", &TfrxComponent::Height, &TfrxComponent::SetHeight);
    b.Field("GroupIndex", &TfrxView::group_index).Default(0);
    b.Set("Restrictions", &TfrxView::restrictions, e.restriction, "TfrxRestrictions").Default(0);
    b.Field("Visible", TfrxComponent::VisibleMember(), &TfrxComponent::SetVisible).Default(1);
    b.Event("OnAfterData", &TfrxView::on_after_data);
    b.Event("OnAfterPrint", &TfrxView::on_after_print);
    b.Event("OnBeforePrint", &TfrxView::on_before_print);
    b.Event("OnMouseEnter", &TfrxView::on_mouse_enter);
    b.Event("OnMouseLeave", &TfrxView::on_mouse_leave);
    b.Event("OnMouseDown", &TfrxView::on_mouse_down);
    b.Event("OnMouseMove", &TfrxView::on_mouse_move);
    b.Event("OnMouseUp", &TfrxView::on_mouse_up);
    b.Event("OnPreviewClick", &TfrxView::on_preview_click);
    b.Event("OnPreviewDblClick", &TfrxView::on_preview_dbl_click);
    b.MemberObject("Hyperlink", "TfrxHyperlink", [](const TfrxView& o) -> core::TObject* {
      return &const_cast<TfrxView&>(o).Hyperlink();
    });
    b.Field("Hint", &TfrxView::hint);
    b.Field("ShowHint", &TfrxView::show_hint).Default(0);
    b.Set("Visibility", &TfrxView::visibility, e.visibility, "TfrxVisibilityTypes")
        .Default(visibility::kAll);
  }
  {
    auto b = RegisterFrxClass<TfrxStretcheable>("TfrxStretcheable", "TfrxView", false);
    b.Enum("StretchMode", &TfrxStretcheable::stretch_mode, e.stretch_mode).Default(0);
  }
  RegisterFrxClass<TfrxCustomMemoView>("TfrxCustomMemoView", "TfrxStretcheable", false);
  {
    auto b = RegisterFrxClass<TfrxMemoView>("TfrxMemoView", "TfrxCustomMemoView");
    MemoProps(b, false);
  }
  {
    auto b = RegisterFrxClass<TfrxSysMemoView>("TfrxSysMemoView", "TfrxCustomMemoView");
    MemoProps(b, true);
  }
  {
    auto b = RegisterFrxClass<TfrxCustomLineView>("TfrxCustomLineView", "TfrxStretcheable");
    using L = TfrxCustomLineView;
    b.Field("Color", &L::color).TypeName("TColor").Default(clTransparent);
    b.Field("TagStr", &TfrxView::tag_str);
    b.Field("ArrowEnd", &L::arrow_end).Default(0);
    b.Field("ArrowLength", &L::arrow_length).Default(20);
    b.Field("ArrowSolid", &L::arrow_solid).Default(0);
    b.Field("ArrowStart", &L::arrow_start).Default(0);
    b.Field("ArrowWidth", &L::arrow_width).Default(5);
    b.MemberObject("Frame", "TfrxFrame", [](const L& o) -> core::TObject* {
      return const_cast<TfrxFrame*>(&o.Frame());
    });
    b.Field("Diagonal", &L::diagonal).Default(0);
  }
  RegisterFrxClass<TfrxLineView>("TfrxLineView", "TfrxCustomLineView");
  {
    auto b = RegisterFrxClass<TfrxPictureView>("TfrxPictureView", "TfrxView");
    using P = TfrxPictureView;
    b.Field("Cursor", &TfrxView::cursor).TypeName("TCursor").Default(0);
    b.Field("AutoSize", &P::auto_size).Default(0);
    b.Field("Center", &P::center).Default(0);
    DataBinding(b, true);
    FrameAndFill(b);
    b.Field("FileLink", &P::file_link);
    b.Field("ImageIndex", &P::image_index).Default(-1);
    b.Field("KeepAspectRatio", &P::keep_aspect_ratio).Default(1);
    b.Object("Picture", core::ObjectRole::Nested, "TfrxPicture",
             [](const P& o) -> core::TObject* { return &const_cast<P&>(o).Picture(); });
    b.Field("Stretched", &P::stretched).Default(1);
    b.Field("TagStr", &TfrxView::tag_str);
    b.Field("URL", &TfrxView::url);
    b.Field("HightQuality", &P::hight_quality).Default(0);
    b.Field("Transparent", &P::transparent).Default(0);
    b.Field("TransparentColor", &P::transparent_color).TypeName("TColor").Default(clWhite);
  }
  {
    auto b = RegisterFrxClass<TfrxShapeView>("TfrxShapeView", "TfrxView");
    using S = TfrxShapeView;
    b.Field("Color", &S::color).TypeName("TColor").Default(clTransparent);
    b.Field("Cursor", &TfrxView::cursor).TypeName("TCursor").Default(0);
    b.Field("Curve", &S::curve).Default(0);
    FrameAndFill(b);
    b.Enum("Shape", &S::shape, e.shape_kind).Default(0);
    b.Field("TagStr", &TfrxView::tag_str);
    b.Field("URL", &TfrxView::url);
  }
  {
    auto b = RegisterFrxClass<TfrxSubreport>("TfrxSubreport", "TfrxView");
    b.Reference(
        "Page", "TfrxReportPage",
        [](const TfrxSubreport& o) -> core::TObject* { return o.page.Get(); },
        [](TfrxSubreport& o, core::TObject* v) { o.page.Set(dynamic_cast<TfrxReportPage*>(v)); });
    b.Field("PrintOnParent", &TfrxSubreport::print_on_parent).Default(0);
  }
}

}  // namespace lgoty::report
