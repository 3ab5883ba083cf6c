#include "report/graphics.h"

#include <cmath>

#include "report/class_registration.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxFont)
LGOTY_REPORT_CLASS_IMPL(TfrxFrameLine)
LGOTY_REPORT_CLASS_IMPL(TfrxFrame)
LGOTY_REPORT_CLASS_IMPL(TfrxBrushFill)
LGOTY_REPORT_CLASS_IMPL(TfrxGradientFill)
LGOTY_REPORT_CLASS_IMPL(TfrxGlassFill)
LGOTY_REPORT_CLASS_IMPL(TfrxPicture)
LGOTY_REPORT_CLASS_IMPL(TfrxHyperlink)
LGOTY_REPORT_CLASS_IMPL(TfrxFillGaps)
LGOTY_REPORT_CLASS_IMPL(TfrxFormat)
LGOTY_REPORT_CLASS_IMPL(TfrxHighlight)

TfrxFont::TfrxFont() { SetSize(10); }

void TfrxFont::Assign(const TfrxFont& other) {
  charset = other.charset;
  color = other.color;
  height = other.height;
  name = other.name;
  pitch = other.pitch;
  style = other.style;
}

bool TfrxFont::operator==(const TfrxFont& other) const {
  return charset == other.charset && color == other.color && height == other.height &&
         name == other.name && pitch == other.pitch && style == other.style;
}

int TfrxFont::Size() const {
  return -static_cast<int>(std::lround(height * 72.0 / 96.0));
}

void TfrxFont::SetSize(int points) {
  height = -static_cast<int>(std::lround(points * 96.0 / 72.0));
}

void TfrxFrameLine::Assign(const TfrxFrameLine& other) {
  color = other.color;
  style = other.style;
  width = other.width;
}

bool TfrxFrameLine::operator==(const TfrxFrameLine& other) const {
  return color == other.color && style == other.style && width == other.width;
}

TfrxFrame::TfrxFrame() = default;

void TfrxFrame::Assign(const TfrxFrame& other) {
  color = other.color;
  drop_shadow = other.drop_shadow;
  shadow_color = other.shadow_color;
  shadow_width = other.shadow_width;
  style = other.style;
  typ = other.typ;
  width = other.width;
  left_line.Assign(other.left_line);
  top_line.Assign(other.top_line);
  right_line.Assign(other.right_line);
  bottom_line.Assign(other.bottom_line);
}

bool TfrxFrame::operator==(const TfrxFrame& other) const {
  return color == other.color && drop_shadow == other.drop_shadow &&
         shadow_color == other.shadow_color && shadow_width == other.shadow_width &&
         style == other.style && typ == other.typ && width == other.width &&
         left_line == other.left_line && top_line == other.top_line &&
         right_line == other.right_line && bottom_line == other.bottom_line;
}

void TfrxFrame::SetColor(TColor value) {
  color = value;
  for (TfrxFrameLine* line : {&left_line, &top_line, &right_line, &bottom_line}) {
    line->color = value;
  }
}

void TfrxFrame::SetStyle(TfrxFrameStyle value) {
  style = value;
  for (TfrxFrameLine* line : {&left_line, &top_line, &right_line, &bottom_line}) {
    line->style = value;
  }
}

void TfrxFrame::SetWidth(double value) {
  width = value;
  for (TfrxFrameLine* line : {&left_line, &top_line, &right_line, &bottom_line}) {
    line->width = value;
  }
}

std::unique_ptr<TfrxCustomFill> TfrxBrushFill::Clone() const {
  return std::make_unique<TfrxBrushFill>(*this);
}
bool TfrxBrushFill::Equals(const TfrxCustomFill& other) const {
  auto* o = dynamic_cast<const TfrxBrushFill*>(&other);
  return o && o->back_color == back_color && o->fore_color == fore_color && o->style == style;
}

std::unique_ptr<TfrxCustomFill> TfrxGradientFill::Clone() const {
  return std::make_unique<TfrxGradientFill>(*this);
}
bool TfrxGradientFill::Equals(const TfrxCustomFill& other) const {
  auto* o = dynamic_cast<const TfrxGradientFill*>(&other);
  return o && o->start_color == start_color && o->end_color == end_color &&
         o->gradient_style == gradient_style;
}

std::unique_ptr<TfrxCustomFill> TfrxGlassFill::Clone() const {
  return std::make_unique<TfrxGlassFill>(*this);
}
bool TfrxGlassFill::Equals(const TfrxCustomFill& other) const {
  auto* o = dynamic_cast<const TfrxGlassFill*>(&other);
  return o && o->color == color && o->blend == blend && o->hatch == hatch &&
         o->orientation == orientation;
}

std::unique_ptr<TfrxCustomFill> CreateFill(TfrxFillType type) {
  switch (type) {
    case TfrxFillType::ftGradient: return std::make_unique<TfrxGradientFill>();
    case TfrxFillType::ftGlass: return std::make_unique<TfrxGlassFill>();
    case TfrxFillType::ftBrush: break;
  }
  return std::make_unique<TfrxBrushFill>();
}

void TfrxPicture::WriteDefinedProperties(PropValue::Properties& out) const {
  if (!data.empty()) out.emplace_back("Data", PropValue::Bin(data));
}

bool TfrxPicture::ReadDefinedProperty(const std::string& name, const PropValue& value) {
  if (name != "Data" || value.type != PropValue::Type::Binary) return false;
  data = value.text;
  return true;
}

TfrxHighlight::TfrxHighlight() : fill(std::make_unique<TfrxBrushFill>()) {}

void TfrxHighlight::SetFillType(TfrxFillType type) {
  if (fill->FillType() != type) fill = CreateFill(type);
}

void RegisterGraphicsClasses() {
  using core::ObjectRole;
  const ReportEnums& e = Enums();
  {
    auto b = RegisterFrxClass<TfrxFont>("TfrxFont", nullptr);
    b.Field("Charset", &TfrxFont::charset);
    b.Field("Color", &TfrxFont::color).TypeName("TColor");
    b.Field("Height", &TfrxFont::height);
    b.Field("Name", &TfrxFont::name).TypeName("TFontName");
    b.Enum("Pitch", &TfrxFont::pitch, e.font_pitch).Default(0);
    b.Prop("Size", &TfrxFont::Size, &TfrxFont::SetSize).Stored(false);
    b.Set("Style", &TfrxFont::style, e.font_style, "TFontStyles");
  }
  {
    auto b = RegisterFrxClass<TfrxFrameLine>("TfrxFrameLine", nullptr);
    b.Field("Color", &TfrxFrameLine::color).TypeName("TColor").StoredIf([](const core::TObject& o) {
      auto& line = static_cast<const TfrxFrameLine&>(o);
      return !line.frame_ || line.color != line.frame_->color;
    });
    b.Enum("Style", &TfrxFrameLine::style, e.frame_style).StoredIf([](const core::TObject& o) {
      auto& line = static_cast<const TfrxFrameLine&>(o);
      return !line.frame_ || line.style != line.frame_->style;
    });
    b.Field("Width", &TfrxFrameLine::width).StoredIf([](const core::TObject& o) {
      auto& line = static_cast<const TfrxFrameLine&>(o);
      return !line.frame_ || line.width != line.frame_->width;
    });
  }
  {
    auto b = RegisterFrxClass<TfrxFrame>("TfrxFrame", nullptr);
    b.Field("Color", &TfrxFrame::color, &TfrxFrame::SetColor).TypeName("TColor").Default(0);
    b.Field("DropShadow", &TfrxFrame::drop_shadow).Default(0);
    b.Field("ShadowColor", &TfrxFrame::shadow_color).TypeName("TColor").Default(0);
    b.Field("ShadowWidth", &TfrxFrame::shadow_width).StoredIf([](const core::TObject& o) {
      return static_cast<const TfrxFrame&>(o).shadow_width != 4;
    });
    b.Enum("Style", &TfrxFrame::style, e.frame_style, &TfrxFrame::SetStyle).Default(0);
    b.Set("Typ", &TfrxFrame::typ, e.frame_type, "TfrxFrameTypes").Default(0);
    b.Field("Width", &TfrxFrame::width, &TfrxFrame::SetWidth).StoredIf([](const core::TObject& o) {
      return static_cast<const TfrxFrame&>(o).width != 1;
    });
    b.MemberObject("LeftLine", "TfrxFrameLine",
                   NestedMember<TfrxFrame, TfrxFrameLine, &TfrxFrame::left_line>);
    b.MemberObject("TopLine", "TfrxFrameLine",
                   NestedMember<TfrxFrame, TfrxFrameLine, &TfrxFrame::top_line>);
    b.MemberObject("RightLine", "TfrxFrameLine",
                   NestedMember<TfrxFrame, TfrxFrameLine, &TfrxFrame::right_line>);
    b.MemberObject("BottomLine", "TfrxFrameLine",
                   NestedMember<TfrxFrame, TfrxFrameLine, &TfrxFrame::bottom_line>);
  }
  RegisterFrxClass<TfrxCustomFill>("TfrxCustomFill", nullptr, false);
  {
    auto b = RegisterFrxClass<TfrxBrushFill>("TfrxBrushFill", "TfrxCustomFill");
    b.Field("BackColor", &TfrxBrushFill::back_color).TypeName("TColor").Default(clTransparent);
    b.Field("ForeColor", &TfrxBrushFill::fore_color).TypeName("TColor").Default(0);
    b.Enum("Style", &TfrxBrushFill::style, e.brush_style).Default(0);
  }
  {
    auto b = RegisterFrxClass<TfrxGradientFill>("TfrxGradientFill", "TfrxCustomFill");
    b.Field("StartColor", &TfrxGradientFill::start_color).TypeName("TColor").Default(clWhite);
    b.Field("EndColor", &TfrxGradientFill::end_color).TypeName("TColor").Default(0);
    b.Enum("GradientStyle", &TfrxGradientFill::gradient_style, e.gradient_style).Default(0);
  }
  {
    auto b = RegisterFrxClass<TfrxGlassFill>("TfrxGlassFill", "TfrxCustomFill");
    b.Field("Color", &TfrxGlassFill::color).TypeName("TColor").Default(clWhite);
    b.Field("Blend", &TfrxGlassFill::blend);
    b.Field("Hatch", &TfrxGlassFill::hatch).Default(0);
    b.Enum("Orientation", &TfrxGlassFill::orientation, e.fill_orientation).Default(1);
  }
  RegisterFrxClass<TfrxPicture>("TfrxPicture", nullptr);
  {
    auto b = RegisterFrxClass<TfrxHyperlink>("TfrxHyperlink", nullptr);
    b.Enum("Kind", &TfrxHyperlink::kind, e.hyperlink_kind).Default(0);
    b.Field("DetailReport", &TfrxHyperlink::detail_report);
    b.Field("DetailPage", &TfrxHyperlink::detail_page);
    b.Field("Expression", &TfrxHyperlink::expression);
    b.Field("ReportVariable", &TfrxHyperlink::report_variable);
    b.Field("TabCaption", &TfrxHyperlink::tab_caption);
    b.Field("Value", &TfrxHyperlink::value);
    b.Field("ValuesSeparator", &TfrxHyperlink::values_separator);
  }
  {
    auto b = RegisterFrxClass<TfrxFillGaps>("TfrxFillGaps", nullptr);
    b.Field("Top", &TfrxFillGaps::top).Default(0);
    b.Field("Left", &TfrxFillGaps::left).Default(0);
    b.Field("Bottom", &TfrxFillGaps::bottom).Default(0);
    b.Field("Right", &TfrxFillGaps::right).Default(0);
  }
  {
    auto b = RegisterFrxClass<TfrxFormat>("TfrxFormat", nullptr);
    b.Field("DecimalSeparator", &TfrxFormat::decimal_separator);
    b.Field("ThousandSeparator", &TfrxFormat::thousand_separator);
    b.Field("FormatStr", &TfrxFormat::format_str);
    b.Enum("Kind", &TfrxFormat::kind, e.format_kind).Default(0);
  }
  {
    auto b = RegisterFrxClass<TfrxHighlight>("TfrxHighlight", nullptr);
    b.Field("Active", &TfrxHighlight::active).Stored(false);
    b.Field("ApplyFont", &TfrxHighlight::apply_font).Default(1);
    b.Field("ApplyFill", &TfrxHighlight::apply_fill).Default(1);
    b.Field("ApplyFrame", &TfrxHighlight::apply_frame).Default(0);
    b.MemberObject("Font", "TfrxFont",
                   NestedMember<TfrxHighlight, TfrxFont, &TfrxHighlight::font>);
    b.Field("Color", &TfrxHighlight::color).TypeName("TColor").Stored(false);
    b.Field("Condition", &TfrxHighlight::condition);
    b.EnumProp("FillType", &TfrxHighlight::FillTypeValue, &TfrxHighlight::SetFillType, e.fill_type)
        .Default(0);
    b.Object("Fill", ObjectRole::Nested, "TfrxCustomFill",
             [](const TfrxHighlight& h) -> core::TObject* { return h.fill.get(); });
    b.MemberObject("Frame", "TfrxFrame",
                   NestedMember<TfrxHighlight, TfrxFrame, &TfrxHighlight::frame>);
    b.Field("Visible", &TfrxHighlight::visible).Default(1);
  }
}

}  // namespace lgoty::report
