#include "report/dialog_controls.h"

#include <cmath>

#include "report/class_registration.h"
#include "report/data_sets.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxDialogComponent)
LGOTY_REPORT_CLASS_IMPL(TfrxDialogControl)
LGOTY_REPORT_CLASS_IMPL(TfrxLabelControl)
LGOTY_REPORT_CLASS_IMPL(TfrxEditControl)
LGOTY_REPORT_CLASS_IMPL(TfrxMemoControl)
LGOTY_REPORT_CLASS_IMPL(TfrxButtonControl)
LGOTY_REPORT_CLASS_IMPL(TfrxCheckBoxControl)
LGOTY_REPORT_CLASS_IMPL(TfrxRadioButtonControl)
LGOTY_REPORT_CLASS_IMPL(TfrxListBoxControl)
LGOTY_REPORT_CLASS_IMPL(TfrxComboBoxControl)
LGOTY_REPORT_CLASS_IMPL(TfrxDateEditControl)
LGOTY_REPORT_CLASS_IMPL(TfrxPanelControl)
LGOTY_REPORT_CLASS_IMPL(TfrxGroupBoxControl)
LGOTY_REPORT_CLASS_IMPL(TfrxImageControl)
LGOTY_REPORT_CLASS_IMPL(TfrxBevelControl)
LGOTY_REPORT_CLASS_IMPL(TfrxBitBtnControl)
LGOTY_REPORT_CLASS_IMPL(TfrxSpeedButtonControl)
LGOTY_REPORT_CLASS_IMPL(TfrxMaskEditControl)
LGOTY_REPORT_CLASS_IMPL(TfrxCheckListBoxControl)
LGOTY_REPORT_CLASS_IMPL(TfrxDBLookupComboBox)

void TfrxDialogComponent::WriteDefinedProperties(PropValue::Properties& out) const {
  out.emplace_back("pLeft", PropValue::Int(std::lround(Left())));
  out.emplace_back("pTop", PropValue::Int(std::lround(Top())));
}

bool TfrxDialogComponent::ReadDefinedProperty(const std::string& name, const PropValue& value) {
  if (value.type != PropValue::Type::Integer) return false;
  if (name == "pLeft") {
    SetLeft(static_cast<double>(value.integer));
    return true;
  }
  if (name == "pTop") {
    SetTop(static_cast<double>(value.integer));
    return true;
  }
  return false;
}

TfrxDialogControl::TfrxDialogControl() = default;

std::string TfrxDialogControl::BaseName() const {
  std::string name = ClassName();
  if (name.compare(0, 4, "Tfrx") == 0) name.erase(0, 4);
  size_t control = name.find("Control");
  if (control != std::string::npos) name.erase(control, 7);
  return name;
}

void TfrxDialogControl::NameChanged(const std::string& old_name, const std::string& new_name) {
  if (!IsLoading() && caption == old_name) caption = new_name;
}

void TfrxDialogControl::SetState(TCheckBoxState value) {
  state_ = value;
  checked = value == TCheckBoxState::cbChecked;
}

void TfrxDialogControl::SetChecked(bool value) {
  checked = value;
  state_ = value ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked;
}

std::string TfrxDialogControl::DataSetName() const {
  if (TfrxDataSet* ds = data_set.Get()) return ds->UserName();
  return data_set_name_;
}

TfrxLabelControl::TfrxLabelControl() {
  auto_size = true;
  alignment = static_cast<int>(TAlignment::taLeftJustify);
}
TfrxEditControl::TfrxEditControl() {
  SetBounds(0, 0, 121, 21);
  color = clWindow;
}
TfrxMemoControl::TfrxMemoControl() {
  SetBounds(0, 0, 185, 89);
  color = clWindow;
  word_wrap = true;
}
TfrxButtonControl::TfrxButtonControl() { SetBounds(0, 0, 75, 25); }
TfrxCheckBoxControl::TfrxCheckBoxControl() {
  SetBounds(0, 0, 97, 17);
  alignment = static_cast<int>(TLeftRight::taRightJustify);
}
TfrxRadioButtonControl::TfrxRadioButtonControl() {
  SetBounds(0, 0, 113, 17);
  alignment = static_cast<int>(TLeftRight::taRightJustify);
}
TfrxListBoxControl::TfrxListBoxControl() {
  SetBounds(0, 0, 121, 97);
  color = clWindow;
}
TfrxComboBoxControl::TfrxComboBoxControl() {
  SetBounds(0, 0, 145, 21);
  color = clWindow;
}
TfrxDateEditControl::TfrxDateEditControl() {
  SetBounds(0, 0, 145, 21);
  color = clWindow;
}
TfrxPanelControl::TfrxPanelControl() {
  SetBounds(0, 0, 185, 41);
  alignment = static_cast<int>(TAlignment::taCenter);
}
TfrxGroupBoxControl::TfrxGroupBoxControl() { SetBounds(0, 0, 185, 105); }
TfrxImageControl::TfrxImageControl() { SetBounds(0, 0, 100, 100); }
TfrxBevelControl::TfrxBevelControl() { SetBounds(0, 0, 50, 50); }
TfrxBitBtnControl::TfrxBitBtnControl() { SetBounds(0, 0, 75, 25); }
TfrxSpeedButtonControl::TfrxSpeedButtonControl() { SetBounds(0, 0, 22, 22); }
TfrxMaskEditControl::TfrxMaskEditControl() {
  SetBounds(0, 0, 121, 21);
  color = clWindow;
}
TfrxCheckListBoxControl::TfrxCheckListBoxControl() {
  SetBounds(0, 0, 121, 97);
  color = clWindow;
}
TfrxDBLookupComboBox::TfrxDBLookupComboBox() {
  SetBounds(0, 0, 145, 21);
  color = clWindow;
}

namespace {

using core::ObjectRole;
using core::TObject;
using C = TfrxDialogControl;

enum Events : unsigned {
  kClick = 1, kDblClick = 2, kEnter = 4, kExit = 8, kKeys = 16, kMouse = 32, kChange = 64
};
constexpr unsigned kEditEvents = kChange | kClick | kDblClick | kEnter | kExit | kKeys | kMouse;

template <class T>
void EventProps(core::ClassBuilder<T>& b, unsigned events) {
  if (events & kChange) b.Event("OnChange", &C::on_change);
  if (events & kClick) b.Event("OnClick", &C::on_click);
  if (events & kDblClick) b.Event("OnDblClick", &C::on_dbl_click);
  if (events & kEnter) b.Event("OnEnter", &C::on_enter);
  if (events & kExit) b.Event("OnExit", &C::on_exit);
  if (events & kKeys) {
    b.Event("OnKeyDown", &C::on_key_down).TypeName("TfrxKeyEvent");
    b.Event("OnKeyPress", &C::on_key_press).TypeName("TfrxKeyPressEvent");
    b.Event("OnKeyUp", &C::on_key_up).TypeName("TfrxKeyEvent");
  }
  if (events & kMouse) {
    b.Event("OnMouseDown", &C::on_mouse_down).TypeName("TfrxMouseEvent");
    b.Event("OnMouseMove", &C::on_mouse_move).TypeName("TfrxMouseMoveEvent");
    b.Event("OnMouseUp", &C::on_mouse_up).TypeName("TfrxMouseEvent");
  }
}

template <class T>
core::ClassBuilder<T> Control(const char* name) {
  return RegisterFrxClass<T>(name, "TfrxDialogControl");
}

template <class T>
void ColorProp(core::ClassBuilder<T>& b, TColor default_color) {
  b.Field("Color", &C::color).TypeName("TColor").Default(default_color);
}
template <class T>
void CaptionProp(core::ClassBuilder<T>& b) {
  b.Field("Caption", &C::caption).TypeName("TCaption");
}
template <class T>
void TabStopProp(core::ClassBuilder<T>& b) {
  b.Field("TabStop", &C::tab_stop).Default(1);
}
template <class T>
void ListProp(core::ClassBuilder<T>& b, const char* name) {
  b.Object(name, ObjectRole::StringList, "TStrings",
           [](const T& o) -> TObject* { return const_cast<core::TStringList*>(&o.lines); });
}
template <class T>
void PictureProp(core::ClassBuilder<T>& b, const char* name) {
  b.Object(name, ObjectRole::Nested, "TfrxPicture",
           [](const T& o) -> TObject* { return const_cast<TfrxPicture*>(&o.picture); });
}

}  // namespace

void RegisterDialogControlClasses() {
  const ReportEnums& e = Enums();
  RegisterFrxClass<TfrxDialogComponent>("TfrxDialogComponent", "TfrxReportComponent", false);
  {
    auto b = RegisterFrxClass<C>("TfrxDialogControl", "TfrxReportComponent", false);
    b.Prop("Left", &TfrxComponent::Left, &TfrxComponent::SetLeft);
    b.Prop("Top", &TfrxComponent::Top, &TfrxComponent::SetTop);
    b.Prop("Width", &TfrxComponent::Width, &TfrxComponent::SetWidth);
    b.Prop("Height", &TfrxComponent::Height, &TfrxComponent::SetHeight);
    b.Object("Font", ObjectRole::Nested, "TfrxFont",
             [](const C& o) -> TObject* { return const_cast<TfrxFont*>(&o.Font()); })
        .StoredIf([](const TObject& o) { return !static_cast<const C&>(o).ParentFont(); });
    b.Field("ParentFont", TfrxComponent::ParentFontMember(), &TfrxComponent::SetParentFont)
        .Default(1);
    b.Field("GroupIndex", &C::group_index).Default(0);
    b.Field("Enabled", &C::enabled).Default(1);
    b.Field("Hint", &C::hint);
    b.Field("ShowHint", &C::show_hint).Default(0);
    b.Field("Visible", TfrxComponent::VisibleMember(), &TfrxComponent::SetVisible).Default(1);
  }
  {
    auto b = Control<TfrxLabelControl>("TfrxLabelControl");
    b.Enum("Alignment", &C::alignment, e.alignment).Default(0);
    b.Field("AutoSize", &C::auto_size).Default(1);
    CaptionProp(b);
    ColorProp(b, clBtnFace);
    b.Field("WordWrap", &C::word_wrap).Default(0);
    EventProps(b, kClick | kDblClick | kMouse);
  }
  auto edit_like = [&](auto& b, bool mask) {
    ColorProp(b, clWindow);
    if (mask) b.Field("EditMask", &C::edit_mask);
    b.Field("MaxLength", &C::max_length).Default(0);
    if (!mask) b.Field("PasswordChar", &C::password_char).TypeName("Char").Default(0);
    b.Field("ReadOnly", &C::read_only).Default(0);
    TabStopProp(b);
    b.Field("Text", &C::text).TypeName("TCaption");
    EventProps(b, kEditEvents);
  };
  {
    auto b = Control<TfrxEditControl>("TfrxEditControl");
    edit_like(b, false);
  }
  {
    auto b = Control<TfrxMaskEditControl>("TfrxMaskEditControl");
    edit_like(b, true);
  }
  {
    auto b = Control<TfrxMemoControl>("TfrxMemoControl");
    ColorProp(b, clWindow);
    ListProp(b, "Lines");
    b.Field("MaxLength", &C::max_length).Default(0);
    b.Field("ReadOnly", &C::read_only).Default(0);
    b.Enum("ScrollBars", &C::scroll_bars, e.scroll_style).Default(0);
    TabStopProp(b);
    b.Field("WordWrap", &C::word_wrap).Default(1);
    EventProps(b, kEditEvents);
  }
  {
    auto b = Control<TfrxButtonControl>("TfrxButtonControl");
    b.Field("Cancel", &C::cancel).Default(0);
    CaptionProp(b);
    b.Field("Default", &C::default_button).Default(0);
    b.Field("ModalResult", &C::modal_result).TypeName("TModalResult").Default(0);
    TabStopProp(b);
    b.Field("WordWrap", &C::word_wrap).Default(0);
    EventProps(b, kClick | kEnter | kExit | kKeys | kMouse);
  }
  {
    auto b = Control<TfrxCheckBoxControl>("TfrxCheckBoxControl");
    b.Enum("Alignment", &C::alignment, e.left_right).Default(1);
    b.Field("AllowGrayed", &C::allow_grayed).Default(0);
    CaptionProp(b);
    b.Prop("Checked", &C::Checked, &C::SetChecked).Default(0);
    ColorProp(b, clBtnFace);
    b.EnumProp("State", &C::State, &C::SetState, e.check_state).Default(0);
    TabStopProp(b);
    b.Field("WordWrap", &C::word_wrap).Default(0);
    EventProps(b, kClick | kEnter | kExit | kKeys | kMouse);
  }
  {
    auto b = Control<TfrxRadioButtonControl>("TfrxRadioButtonControl");
    b.Enum("Alignment", &C::alignment, e.left_right).Default(1);
    CaptionProp(b);
    b.Prop("Checked", &C::Checked, &C::SetChecked).Default(0);
    ColorProp(b, clBtnFace);
    TabStopProp(b);
    b.Field("WordWrap", &C::word_wrap).Default(0);
    EventProps(b, kClick | kDblClick | kEnter | kExit | kKeys | kMouse);
  }
  {
    auto b = Control<TfrxListBoxControl>("TfrxListBoxControl");
    ColorProp(b, clWindow);
    ListProp(b, "Items");
    TabStopProp(b);
    EventProps(b, kClick | kDblClick | kEnter | kExit | kKeys | kMouse);
  }
  {
    auto b = Control<TfrxComboBoxControl>("TfrxComboBoxControl");
    ColorProp(b, clWindow);
    ListProp(b, "Items");
    b.Enum("Style", &C::combo_style, e.combo_style).Default(0);
    TabStopProp(b);
    b.Field("Text", &C::text).TypeName("TCaption");
    b.Field("ItemIndex", &C::item_index).Default(-1);
    EventProps(b, kChange | kClick | kDblClick | kEnter | kExit | kKeys);
  }
  {
    auto b = Control<TfrxDateEditControl>("TfrxDateEditControl");
    ColorProp(b, clWindow);
    b.Field("Date", &C::date).TypeName("TDate");
    b.Enum("DateFormat", &C::date_format, e.date_format).Default(0);
    b.Enum("Kind", &C::date_kind, e.date_kind).Default(0);
    TabStopProp(b);
    b.Field("Time", &C::time).TypeName("TTime");
    b.Field("WeekNumbers", &C::week_numbers).Default(0);
    EventProps(b, kChange | kClick | kDblClick | kEnter | kExit | kKeys);
  }
  {
    auto b = Control<TfrxPanelControl>("TfrxPanelControl");
    b.Enum("Alignment", &C::alignment, e.alignment).Default(2);
    b.Enum("BevelInner", &C::bevel_inner, e.bevel_cut).Default(0);
    b.Enum("BevelOuter", &C::bevel_outer, e.bevel_cut).Default(2);
    b.Field("BevelWidth", &C::bevel_width).Default(1);
    CaptionProp(b);
    ColorProp(b, clBtnFace);
    EventProps(b, kClick | kDblClick | kEnter | kExit | kMouse);
  }
  {
    auto b = Control<TfrxGroupBoxControl>("TfrxGroupBoxControl");
    CaptionProp(b);
    ColorProp(b, clBtnFace);
    EventProps(b, kClick | kDblClick | kEnter | kExit | kMouse);
  }
  {
    auto b = Control<TfrxImageControl>("TfrxImageControl");
    b.Field("AutoSize", &C::auto_size).Default(0);
    b.Field("Center", &C::center).Default(0);
    PictureProp(b, "Picture");
    b.Field("Stretch", &C::stretch).Default(0);
    EventProps(b, kClick | kDblClick | kMouse);
  }
  {
    auto b = Control<TfrxBevelControl>("TfrxBevelControl");
    b.Enum("Shape", &C::bevel_shape, e.bevel_shape).Default(0);
    b.Enum("Style", &C::bevel_style, e.bevel_style).Default(0);
  }
  {
    auto b = Control<TfrxBitBtnControl>("TfrxBitBtnControl");
    PictureProp(b, "Glyph");
    b.Enum("Kind", &C::bitbtn_kind, e.bitbtn_kind).Default(0);
    CaptionProp(b);
    b.Enum("Layout", &C::layout, e.button_layout).Default(0);
    b.Field("Margin", &C::margin).Default(-1);
    b.Field("ModalResult", &C::modal_result).TypeName("TModalResult").Default(0);
    b.Field("NumGlyphs", &C::num_glyphs).Default(1);
    b.Field("Spacing", &C::spacing).Default(4);
    TabStopProp(b);
    b.Field("WordWrap", &C::word_wrap).Default(0);
    EventProps(b, kClick | kEnter | kExit | kKeys | kMouse);
  }
  {
    auto b = Control<TfrxSpeedButtonControl>("TfrxSpeedButtonControl");
    b.Field("AllowAllUp", &C::allow_all_up).Default(0);
    CaptionProp(b);
    b.Field("Down", &C::down).Default(0);
    b.Field("Flat", &C::flat).Default(0);
    PictureProp(b, "Glyph");
    b.Enum("Layout", &C::layout, e.button_layout).Default(0);
    b.Field("Margin", &C::margin).Default(-1);
    b.Field("Spacing", &C::spacing).Default(4);
    EventProps(b, kClick | kDblClick | kMouse);
  }
  {
    auto b = Control<TfrxCheckListBoxControl>("TfrxCheckListBoxControl");
    b.Field("AllowGrayed", &C::allow_grayed).Default(0);
    ColorProp(b, clWindow);
    ListProp(b, "Items");
    b.Field("Sorted", &C::sorted).Default(0);
    TabStopProp(b);
    EventProps(b, kClick | kDblClick | kEnter | kExit | kKeys | kMouse);
  }
  {
    auto b = Control<TfrxDBLookupComboBox>("TfrxDBLookupComboBox");
    b.Field("AutoOpenDataSet", &C::auto_open_data_set).Default(0);
    b.Reference(
        "DataSet", "TfrxDataSet",
        [](const TfrxDBLookupComboBox& o) -> TObject* { return o.data_set.Get(); },
        [](TfrxDBLookupComboBox& o, TObject* v) {
          o.data_set.Set(dynamic_cast<TfrxDataSet*>(v));
        });
    b.Prop("DataSetName", &C::DataSetName, &C::SetDataSetName);
    b.Field("ListField", &C::list_field);
    b.Field("KeyField", &C::key_field);
    b.Field("DropDownWidth", &C::drop_down_width).Default(0);
    b.Field("DropDownRows", &C::drop_down_rows).Default(7);
    EventProps(b, kClick | kDblClick | kEnter | kExit | kKeys | kMouse);
  }
}

}  // namespace lgoty::report
