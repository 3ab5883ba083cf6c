// Value objects that report objects publish as nested properties: fonts, frames and their
// lines, fills, pictures, hyperlinks, fill gaps, display formats and highlights. Each is
// owned by its holder and written to templates with the holder's property name as a prefix
// ("Font.Name", "Frame.LeftLine.Color", "DisplayFormat.FormatStr").
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "report/enums.h"
#include "report/persistent.h"
#include "report/units.h"

namespace lgoty::report {

class TfrxFont final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxFont)
 public:
  // Arial, 10 points, black, the default character set, 96 pixels per inch.
  TfrxFont();
  void Assign(const TfrxFont& other);
  bool operator==(const TfrxFont& other) const;

  int Size() const;
  // Points; the height becomes -round(size * 96 / 72).
  void SetSize(int points);

  int charset = kDefaultCharset;
  TColor color = clBlack;
  int height = -13;  // pixels; negative: character height without internal leading
  std::string name = "Arial";
  TFontPitch pitch = TFontPitch::fpDefault;
  uint32_t style = 0;  // font_style bits
};

class TfrxFrame;

class TfrxFrameLine final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxFrameLine)
 public:
  explicit TfrxFrameLine(const TfrxFrame* frame = nullptr) : frame_(frame) {}
  void Assign(const TfrxFrameLine& other);
  bool operator==(const TfrxFrameLine& other) const;

  TColor color = clBlack;
  TfrxFrameStyle style = TfrxFrameStyle::fsSolid;
  double width = 1;
  const TfrxFrame* frame_;
};

class TfrxFrame final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxFrame)
 public:
  TfrxFrame();
  TfrxFrame(const TfrxFrame&) = delete;
  void Assign(const TfrxFrame& other);
  bool operator==(const TfrxFrame& other) const;

  // The frame's own colour, style and width also become those of its four lines.
  void SetColor(TColor value);
  void SetStyle(TfrxFrameStyle value);
  void SetWidth(double value);

  TColor color = clBlack;
  bool drop_shadow = false;
  TColor shadow_color = clBlack;
  double shadow_width = 4;
  TfrxFrameStyle style = TfrxFrameStyle::fsSolid;
  uint32_t typ = 0;  // frame_typ bits
  double width = 1;
  TfrxFrameLine left_line{this}, top_line{this}, right_line{this}, bottom_line{this};
};

class TfrxCustomFill : public TfrxPersistent {
 public:
  virtual TfrxFillType FillType() const = 0;
  virtual std::unique_ptr<TfrxCustomFill> Clone() const = 0;
  virtual bool Equals(const TfrxCustomFill& other) const = 0;
};

class TfrxBrushFill final : public TfrxCustomFill {
  LGOTY_REPORT_CLASS(TfrxBrushFill)
 public:
  TfrxFillType FillType() const override { return TfrxFillType::ftBrush; }
  std::unique_ptr<TfrxCustomFill> Clone() const override;
  bool Equals(const TfrxCustomFill& other) const override;
  // The default brush draws nothing.
  bool IsEmpty() const {
    return back_color == clTransparent && style == TBrushStyle::bsSolid;
  }

  TColor back_color = clTransparent;
  TColor fore_color = clBlack;
  TBrushStyle style = TBrushStyle::bsSolid;
};

class TfrxGradientFill final : public TfrxCustomFill {
  LGOTY_REPORT_CLASS(TfrxGradientFill)
 public:
  TfrxFillType FillType() const override { return TfrxFillType::ftGradient; }
  std::unique_ptr<TfrxCustomFill> Clone() const override;
  bool Equals(const TfrxCustomFill& other) const override;

  TColor start_color = clWhite;
  TColor end_color = clBlack;
  TfrxGradientStyle gradient_style = TfrxGradientStyle::gsHorizontal;
};

class TfrxGlassFill final : public TfrxCustomFill {
  LGOTY_REPORT_CLASS(TfrxGlassFill)
 public:
  TfrxFillType FillType() const override { return TfrxFillType::ftGlass; }
  std::unique_ptr<TfrxCustomFill> Clone() const override;
  bool Equals(const TfrxCustomFill& other) const override;

  TColor color = clWhite;
  double blend = 0.5;
  bool hatch = false;
  TfrxFillOrientation orientation = TfrxFillOrientation::foHorizontal;
};

std::unique_ptr<TfrxCustomFill> CreateFill(TfrxFillType type);

// A picture held as the bytes it was stored with: a graphic class name and the graphic's
// own data, as the "Data" defined property carries them. Drawing decodes them elsewhere.
class TfrxPicture final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxPicture)
 public:
  bool Empty() const { return data.empty(); }
  void WriteDefinedProperties(PropValue::Properties& out) const override;
  bool ReadDefinedProperty(const std::string& name, const PropValue& value) override;

  std::string data;
};

class TfrxHyperlink final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxHyperlink)
 public:
  TfrxHyperlinkKind kind = TfrxHyperlinkKind::hkURL;
  std::string detail_report, detail_page, expression, report_variable, tab_caption, value,
      values_separator;
};

class TfrxFillGaps final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxFillGaps)
 public:
  int top = 0, left = 0, bottom = 0, right = 0;
};

class TfrxFormat final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxFormat)
 public:
  std::string decimal_separator, thousand_separator, format_str;
  TfrxFormatKind kind = TfrxFormatKind::fkText;
};

class TfrxHighlight final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxHighlight)
 public:
  TfrxHighlight();
  TfrxFillType FillTypeValue() const { return fill->FillType(); }
  // Replaces the fill with a new one of that type (keeps it when the type is the same).
  void SetFillType(TfrxFillType type);

  bool active = false;
  bool apply_font = true, apply_fill = true, apply_frame = false;
  TfrxFont font;
  TColor color = clTransparent;
  std::string condition;
  std::unique_ptr<TfrxCustomFill> fill;
  TfrxFrame frame;
  bool visible = true;
};

void RegisterGraphicsClasses();

}  // namespace lgoty::report
