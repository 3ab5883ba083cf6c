// Controls of dialog pages: buttons, check boxes, edit boxes and the like. The native
// controls belong to the user interface; these objects keep the properties that templates
// store and scripts read (the interface layer binds them to its widgets).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/string_list.h"
#include "report/component.h"

namespace lgoty::report {

class TfrxDataSet;

// Non-visual components placed on data or dialog pages (data sets, databases). Their
// position is stored as the binary-defined integers pLeft and pTop.
class TfrxDialogComponent : public TfrxReportComponent {
  LGOTY_REPORT_CLASS(TfrxDialogComponent)
 public:
  void WriteDefinedProperties(PropValue::Properties& out) const override;
  bool ReadDefinedProperty(const std::string& name, const PropValue& value) override;
};

class TfrxDialogControl : public TfrxReportComponent {
  LGOTY_REPORT_CLASS(TfrxDialogControl)
 public:
  TfrxDialogControl();
  // The class name without "Tfrx" and "Control".
  std::string BaseName() const override;
  // A caption that equals the old name follows a rename (not while loading).
  void NameChanged(const std::string& old_name, const std::string& new_name) override;

  // Makes this control the active control of its page's window.
  void SetFocus();
  // Run at every activation of the page's window, after OnActivate (the lookup combo box
  // gets one at the start of a run: it connects its list and may open its data set).
  std::function<void()> activation_hook;

  // Properties shared by the control classes (each publishes the ones it has).
  int group_index = 0;
  bool enabled = true;
  std::string hint;
  bool show_hint = false;
  std::string caption;
  TColor color = clBtnFace;
  bool tab_stop = true;
  std::string on_click, on_dbl_click, on_enter, on_exit, on_change, on_key_down, on_key_up,
      on_key_press, on_mouse_down, on_mouse_up, on_mouse_move;

  int alignment = 0;  // TAlignment or TLeftRight, as the class declares
  bool auto_size = false, word_wrap = false, read_only = false;
  int max_length = 0;
  int password_char = 0;
  std::string text;
  core::TStringList lines;  // Lines or Items
  int scroll_bars = 0;
  bool cancel = false, default_button = false;
  int modal_result = 0;
  bool checked = false, allow_grayed = false;
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState value);
  bool Checked() const { return checked; }
  void SetChecked(bool value);
  int combo_style = 0;
  int item_index = -1;
  double date = 0, time = 0;
  int date_format = 0, date_kind = 0;
  bool week_numbers = false;
  int bevel_inner = 0, bevel_outer = 2, bevel_width = 1;
  bool center = false, stretch = false;
  TfrxPicture picture;  // Picture or Glyph
  int bevel_shape = 0, bevel_style = 0;
  int bitbtn_kind = 0, layout = 0, margin = -1, num_glyphs = 1, spacing = 4;
  bool allow_all_up = false, down = false, flat = false, sorted = false;
  std::string edit_mask;
  // The check marks of a check list box's items at run time (not stored); items beyond
  // the end are unchecked.
  std::vector<TCheckBoxState> item_states;
  bool auto_open_data_set = false;
  Link<TfrxDataSet> data_set;
  std::string DataSetName() const;
  void SetDataSetName(std::string name) { data_set_name_ = std::move(name); }
  std::string list_field, key_field;
  int drop_down_width = 0, drop_down_rows = 7;

 private:
  TCheckBoxState state_ = TCheckBoxState::cbUnchecked;
  std::string data_set_name_;
};

#define LGOTY_REPORT_CONTROL(Name) \
  class Name final : public TfrxDialogControl { \
    LGOTY_REPORT_CLASS(Name)                       \
   public:                                      \
    Name();                                     \
  };

LGOTY_REPORT_CONTROL(TfrxLabelControl)
LGOTY_REPORT_CONTROL(TfrxEditControl)
LGOTY_REPORT_CONTROL(TfrxMemoControl)
LGOTY_REPORT_CONTROL(TfrxButtonControl)
LGOTY_REPORT_CONTROL(TfrxCheckBoxControl)
LGOTY_REPORT_CONTROL(TfrxRadioButtonControl)
LGOTY_REPORT_CONTROL(TfrxListBoxControl)
LGOTY_REPORT_CONTROL(TfrxComboBoxControl)
LGOTY_REPORT_CONTROL(TfrxDateEditControl)
LGOTY_REPORT_CONTROL(TfrxPanelControl)
LGOTY_REPORT_CONTROL(TfrxGroupBoxControl)
LGOTY_REPORT_CONTROL(TfrxImageControl)
LGOTY_REPORT_CONTROL(TfrxBevelControl)
LGOTY_REPORT_CONTROL(TfrxBitBtnControl)
LGOTY_REPORT_CONTROL(TfrxSpeedButtonControl)
LGOTY_REPORT_CONTROL(TfrxMaskEditControl)
LGOTY_REPORT_CONTROL(TfrxCheckListBoxControl)
LGOTY_REPORT_CONTROL(TfrxDBLookupComboBox)

#undef LGOTY_REPORT_CONTROL

void RegisterDialogControlClasses();

}  // namespace lgoty::report
