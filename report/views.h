// Printable objects on bands: the view base, memos (text objects), pictures, shapes, lines
// and subreports.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/string_list.h"
#include "core/variant.h"
#include "report/component.h"

namespace lgoty::report {

class TfrxDataSet;
class TfrxReportPage;
struct TfrxMemoSavedState;

class TfrxView : public TfrxReportComponent {
  LGOTY_REPORT_CLASS(TfrxView)
 public:
  // Created with a frame (no sides), a brush fill and a hyperlink.
  TfrxView();

  TfrxFrame& Frame() { return frame_; }
  const TfrxFrame& Frame() const { return frame_; }
  TfrxCustomFill& Fill() const { return *fill_; }
  TfrxFillType FillType() const { return fill_->FillType(); }
  // Replaces the fill with a new one of that type (kept when the type is the same).
  void SetFillType(TfrxFillType type);
  // Takes a copy of another fill, of whatever type.
  void SetFill(const TfrxCustomFill& fill) { fill_ = fill.Clone(); }
  TfrxHyperlink& Hyperlink() { return hyperlink_; }
  // Shortcuts to the brush fill (no effect on other fills).
  TBrushStyle BrushStyle() const;
  void SetBrushStyle(TBrushStyle style);
  TColor FillColor() const;
  void SetFillColor(TColor color);

  TfrxAlign align = TfrxAlign::baNone;
  bool printable = true;
  TfrxShiftMode shift_mode = TfrxShiftMode::smAlways;
  int group_index = 0;
  uint32_t restrictions = 0;
  std::string on_after_data, on_after_print, on_before_print, on_mouse_enter, on_mouse_leave,
      on_mouse_down, on_mouse_move, on_mouse_up, on_preview_click, on_preview_dbl_click;
  std::string hint;
  bool show_hint = false;
  uint32_t visibility = visibility::kAll;
  int cursor = 0;
  std::string tag_str, url;
  // Data binding of memos and pictures.
  std::string data_field;
  Link<TfrxDataSet> data_set;
  std::string DataSetName() const;
  void SetDataSetName(std::string name) { data_set_name_ = std::move(name); }

 private:
  TfrxFrame frame_;
  std::unique_ptr<TfrxCustomFill> fill_;
  TfrxHyperlink hyperlink_;
  std::string data_set_name_;
};

class TfrxStretcheable : public TfrxView {
  LGOTY_REPORT_CLASS(TfrxStretcheable)
 public:
  TfrxStretchMode stretch_mode = TfrxStretchMode::smDontStretch;
};

class TfrxCustomMemoView : public TfrxStretcheable {
  LGOTY_REPORT_CLASS(TfrxCustomMemoView)
 public:
  TfrxCustomMemoView();

  // The text; lines joined by CR LF.
  core::TStringList& Lines() { return lines_; }
  const core::TStringList& Lines() const { return lines_; }
  // The text with one trailing CR LF removed (as templates hold it).
  std::string Text() const;
  void SetText(std::string_view text);
  // Into the caller's buffer, whose storage a writer of many objects reuses.
  bool TextAttribute(std::string& text) const override {
    lines_.JoinedTo(text);
    return true;
  }

  // Formats: one per bracketed expression (at least one). DisplayFormat is the first.
  std::vector<std::unique_ptr<TfrxFormat>>& Formats() { return formats_; }
  const std::vector<std::unique_ptr<TfrxFormat>>& Formats() const { return formats_; }
  TfrxFormat& DisplayFormat() const { return *formats_.front(); }
  std::vector<std::unique_ptr<TfrxHighlight>>& Highlights() { return highlights_; }
  const std::vector<std::unique_ptr<TfrxHighlight>>& Highlights() const { return highlights_; }
  TfrxHighlight& Highlight() const { return *highlights_.front(); }

  bool HandlesNestedItems() const override { return true; }
  void WriteNestedItems(core::TfrxXMLItem* item, TfrxXMLSerializer& serializer) const override;
  bool ReadNestedItem(core::TfrxXMLItem* item, TfrxXMLSerializer& serializer) override;

  bool first_para_break = false, last_para_break = false;
  bool auto_width = false;
  bool allow_expressions = true;
  bool allow_html_tags = false;
  double char_spacing = 0;
  bool clipped = true;
  std::string expression_delimiters = "[,]";
  Link<TfrxCustomMemoView> flow_to;
  double gap_x = 2, gap_y = 1;
  TfrxHAlign halign = TfrxHAlign::haLeft;
  bool hide_zeros = false;
  double line_spacing = 2;
  double paragraph_gap = 0;
  int rotation = 0;
  bool rtl_reading = false, suppress_repeated = false, underlines = false,
       use_default_charset = false, word_break = false;
  std::string style;
  bool word_wrap = true, wysiwyg = true;
  TfrxVAlign valign = TfrxVAlign::vaTop;

  // Run state, not published: the value of the last expression evaluated (Value), the
  // text printed last (SuppressRepeated) and what a print saved to restore afterwards
  // (report/memo_fill.h).
  core::Variant value;
  std::string last_printed_text;
  std::shared_ptr<TfrxMemoSavedState> saved;

 private:
  core::TStringList lines_;
  std::vector<std::unique_ptr<TfrxFormat>> formats_;
  std::vector<std::unique_ptr<TfrxHighlight>> highlights_;
};

class TfrxMemoView final : public TfrxCustomMemoView {
  LGOTY_REPORT_CLASS(TfrxMemoView)
};

class TfrxSysMemoView final : public TfrxCustomMemoView {
  LGOTY_REPORT_CLASS(TfrxSysMemoView)
};

class TfrxCustomLineView : public TfrxStretcheable {
  LGOTY_REPORT_CLASS(TfrxCustomLineView)
 public:
  TColor color = clTransparent;
  bool arrow_end = false, arrow_solid = false, arrow_start = false;
  int arrow_length = 20, arrow_width = 5;
  bool diagonal = false;
};

class TfrxLineView final : public TfrxCustomLineView {
  LGOTY_REPORT_CLASS(TfrxLineView)
};

class TfrxPictureView final : public TfrxView {
  LGOTY_REPORT_CLASS(TfrxPictureView)
 public:
  TfrxPicture& Picture() { return picture_; }
  const TfrxPicture& Picture() const { return picture_; }
  bool auto_size = false, center = false;
  std::string file_link;
  int image_index = -1;
  bool keep_aspect_ratio = true, stretched = true, hight_quality = false, transparent = false;
  TColor transparent_color = clWhite;

 private:
  TfrxPicture picture_;
};

class TfrxShapeView final : public TfrxView {
  LGOTY_REPORT_CLASS(TfrxShapeView)
 public:
  TColor color = clTransparent;
  int curve = 0;
  TfrxShapeKind shape = TfrxShapeKind::skRectangle;
};

class TfrxSubreport final : public TfrxView {
  LGOTY_REPORT_CLASS(TfrxSubreport)
 public:
  Link<TfrxReportPage> page;
  bool print_on_parent = false;
};

void RegisterViewClasses();

}  // namespace lgoty::report
