// The option groups of a report (EngineOptions, PreviewOptions, PrintOptions,
// ReportOptions) and the entries of its collections (Datasets, Variables, Styles).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/date_time.h"
#include "core/string_list.h"
#include "core/variant.h"
#include "report/component.h"
#include "report/graphics.h"

namespace lgoty::report {

class TfrxDataSet;

class TfrxEngineOptions final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxEngineOptions)
 public:

  bool convert_nulls = true;
  bool double_pass = false;
  int max_mem_size = 10;
  bool print_if_empty = true;
  bool silent_mode = false;
  TfrxSilentMode new_silent_mode = TfrxSilentMode::simMessageBoxes;
  std::string temp_dir;
  bool use_file_cache = false;
  bool ignore_dev_by_zero = false;
  bool destroy_forms = true;  // not stored
  bool use_global_data_set_list = false;  // the thread-safe switch; not stored
};

// Preview buttons: bit n is element n of TfrxPreviewButton (pbPrint = bit 0).
inline constexpr uint32_t kDefaultPreviewButtons = 0x0FFF;  // pbPrint .. pbExportQuick

class TfrxPreviewOptions final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxPreviewOptions)
 public:

  bool allow_edit = true;
  uint32_t buttons = kDefaultPreviewButtons;
  bool double_buffered = true, maximized = true, mdi_child = false, modal = true,
       outline_expand = true, outline_visible = false;
  int outline_width = 120, pages_in_cache = 50;
  bool thumbnail_visible = false, show_captions = false;
  double zoom = 1;
  TfrxZoomMode zoom_mode = TfrxZoomMode::zmDefault;
  bool picture_cache_in_file = false;
};

class TfrxPrintOptions final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxPrintOptions)
 public:
  TfrxPrintOptions();

  int copies = 1;
  bool collate = true;
  std::string page_numbers;
  std::string printer;
  TfrxPrintMode print_mode = TfrxPrintMode::pmDefault;
  int print_on_sheet = 0;
  TfrxPrintPages print_pages = TfrxPrintPages::ppAll;
  bool reverse = false, show_dialog = true, swap_page_size = false;
};

class TfrxReportOptions final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxReportOptions)
 public:
  // Creation and last change are set to now.
  TfrxReportOptions();
  void Reset();

  std::string author;
  bool compressed = false;
  std::string connection_name;
  core::TDateTime create_date = 0, last_change = 0;
  core::TStringList description;
  std::string init_string, name, password;
  TfrxPicture picture;
  std::string version_build, version_major, version_minor, version_release;
};

// An entry of the report's data-set list: a data set and the name it is known by.
class TfrxDataSetItem final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxDataSetItem)
 public:
  Link<TfrxDataSet> data_set;
  std::string data_set_name;
};

// A report variable: a name and an expression (Value). A name beginning with a blank is a
// category heading.
//
// NamesGeneration() changes whenever a variable of the process is made, destroyed or
// renamed. A list of variables can otherwise change its names only by its length (an entry
// moved in or out), so a caller that found a text to be no name of a list may keep that
// answer while the generation and the list's length stay the same. Code that exchanges
// entries between two lists in place (neither length changing) must call NamesChanged().
class TfrxVariable final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxVariable)
 public:
  TfrxVariable() { NamesChanged(); }
  ~TfrxVariable() override { NamesChanged(); }
  TfrxVariable(const TfrxVariable&) = delete;
  TfrxVariable& operator=(const TfrxVariable&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) {
    name_ = std::move(name);
    NamesChanged();
  }
  // The member behind Name, for the class registry (read directly when written out).
  static constexpr std::string TfrxVariable::*NameMember() { return &TfrxVariable::name_; }

  static uint64_t NamesGeneration() { return names_generation_.load(std::memory_order_acquire); }
  static void NamesChanged() { names_generation_.fetch_add(1, std::memory_order_acq_rel); }

  core::Variant value;

 private:
  std::string name_;
  static inline std::atomic<uint64_t> names_generation_{1};
};

class TfrxStyleItem final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxStyleItem)
 public:
  TfrxStyleItem() : fill(std::make_unique<TfrxBrushFill>()) {}
  TfrxFillType FillType() const { return fill->FillType(); }
  void SetFillType(TfrxFillType type) {
    if (fill->FillType() != type) fill = CreateFill(type);
  }

  std::string name;
  TColor color = clTransparent;
  TfrxFont font;
  TfrxFrame frame;
  bool apply_font = true, apply_fill = true, apply_frame = true;
  std::unique_ptr<TfrxCustomFill> fill;
};

void RegisterReportOptionClasses();

}  // namespace lgoty::report
