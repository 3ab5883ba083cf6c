#include "report/report_options.h"

#include "report/class_registration.h"
#include "report/data_sets.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxEngineOptions)
LGOTY_REPORT_CLASS_IMPL(TfrxPreviewOptions)
LGOTY_REPORT_CLASS_IMPL(TfrxPrintOptions)
LGOTY_REPORT_CLASS_IMPL(TfrxReportOptions)
LGOTY_REPORT_CLASS_IMPL(TfrxDataSetItem)
LGOTY_REPORT_CLASS_IMPL(TfrxVariable)
LGOTY_REPORT_CLASS_IMPL(TfrxStyleItem)

TfrxPrintOptions::TfrxPrintOptions() : printer("По умолчанию") {}

TfrxReportOptions::TfrxReportOptions() { Reset(); }

void TfrxReportOptions::Reset() {
  author.clear();
  compressed = false;
  connection_name.clear();
  create_date = last_change = core::Now();
  description.Clear();
  init_string.clear();
  name.clear();
  password.clear();
  picture.data.clear();
  version_build.clear();
  version_major.clear();
  version_minor.clear();
  version_release.clear();
}

void RegisterReportOptionClasses() {
  using core::ObjectRole;
  using core::TObject;
  const ReportEnums& e = Enums();
  {
    using O = TfrxEngineOptions;
    auto b = RegisterFrxClass<O>("TfrxEngineOptions", nullptr);
    b.Field("ConvertNulls", &O::convert_nulls).Default(1);
    b.Field("DestroyForms", &O::destroy_forms).Stored(false).Default(1);
    b.Field("DoublePass", &O::double_pass).Default(0);
    b.Field("MaxMemSize", &O::max_mem_size).Default(10);
    b.Field("PrintIfEmpty", &O::print_if_empty).Default(1);
    b.Field("SilentMode", &O::silent_mode).Default(0);
    b.Enum("NewSilentMode", &O::new_silent_mode, e.silent_mode).Default(0);
    b.Field("TempDir", &O::temp_dir);
    b.Field("UseFileCache", &O::use_file_cache).Default(0);
    b.Field("UseGlobalDataSetList", &O::use_global_data_set_list).Stored(false).Default(0);
    b.Field("IgnoreDevByZero", &O::ignore_dev_by_zero).Default(0);
  }
  {
    using O = TfrxPreviewOptions;
    auto b = RegisterFrxClass<O>("TfrxPreviewOptions", nullptr);
    b.Field("AllowEdit", &O::allow_edit).Default(1);
    b.Set("Buttons", &O::buttons, e.preview_button, "TfrxPreviewButtons");
    b.Field("DoubleBuffered", &O::double_buffered).Default(1);
    b.Field("Maximized", &O::maximized).Default(1);
    b.Field("MDIChild", &O::mdi_child).Default(0);
    b.Field("Modal", &O::modal).Default(1);
    b.Field("OutlineExpand", &O::outline_expand).Default(1);
    b.Field("OutlineVisible", &O::outline_visible).Default(0);
    b.Field("OutlineWidth", &O::outline_width).Default(120);
    b.Field("PagesInCache", &O::pages_in_cache).Default(50);
    b.Field("ThumbnailVisible", &O::thumbnail_visible).Default(0);
    b.Field("ShowCaptions", &O::show_captions).Default(0);
    b.Field("Zoom", &O::zoom);
    b.Enum("ZoomMode", &O::zoom_mode, e.zoom_mode).Default(0);
    b.Field("PictureCacheInFile", &O::picture_cache_in_file).Default(0);
  }
  {
    using O = TfrxPrintOptions;
    auto b = RegisterFrxClass<O>("TfrxPrintOptions", nullptr);
    b.Field("Copies", &O::copies).Default(1);
    b.Field("Collate", &O::collate).Default(1);
    b.Field("PageNumbers", &O::page_numbers);
    b.Field("Printer", &O::printer);
    b.Enum("PrintMode", &O::print_mode, e.print_mode).Default(0);
    b.Field("PrintOnSheet", &O::print_on_sheet).Default(0);
    b.Enum("PrintPages", &O::print_pages, e.print_pages).Default(0);
    b.Field("Reverse", &O::reverse).Default(0);
    b.Field("ShowDialog", &O::show_dialog).Default(1);
    b.Field("SwapPageSize", &O::swap_page_size).Stored(false).Default(0);
  }
  {
    using O = TfrxReportOptions;
    auto b = RegisterFrxClass<O>("TfrxReportOptions", nullptr);
    b.Field("Author", &O::author);
    b.Field("Compressed", &O::compressed).Default(0);
    b.Field("ConnectionName", &O::connection_name);
    b.Field("CreateDate", &O::create_date).TypeName("TDateTime");
    b.Object("Description", ObjectRole::StringList, "TStrings",
             [](const O& o) -> TObject* { return const_cast<core::TStringList*>(&o.description); });
    b.Field("InitString", &O::init_string);
    b.Field("LastChange", &O::last_change).TypeName("TDateTime");
    b.Field("Name", &O::name);
    b.Field("Password", &O::password);
    b.Object("Picture", ObjectRole::Nested, "TfrxPicture",
             [](const O& o) -> TObject* { return const_cast<TfrxPicture*>(&o.picture); });
    b.Field("VersionBuild", &O::version_build);
    b.Field("VersionMajor", &O::version_major);
    b.Field("VersionMinor", &O::version_minor);
    b.Field("VersionRelease", &O::version_release);
  }
  {
    using I = TfrxDataSetItem;
    auto b = RegisterFrxClass<I>("TfrxDataSetItem", nullptr);
    b.Reference(
        "DataSet", "TfrxDataSet", [](const I& o) -> TObject* { return o.data_set.Get(); },
        [](I& o, TObject* v) { o.data_set.Set(dynamic_cast<TfrxDataSet*>(v)); });
    b.Field("DataSetName", &I::data_set_name);
  }
  {
    auto b = RegisterFrxClass<TfrxVariable>("TfrxVariable", nullptr);
    b.Field("Name", TfrxVariable::NameMember(), &TfrxVariable::SetName);
    b.Field("Value", &TfrxVariable::value);
  }
  {
    using S = TfrxStyleItem;
    auto b = RegisterFrxClass<S>("TfrxStyleItem", nullptr);
    b.Field("Name", &S::name);
    b.Field("Color", &S::color).TypeName("TColor");
    b.Object("Font", ObjectRole::Nested, "TfrxFont",
             [](const S& o) -> TObject* { return const_cast<TfrxFont*>(&o.font); });
    b.Object("Frame", ObjectRole::Nested, "TfrxFrame",
             [](const S& o) -> TObject* { return const_cast<TfrxFrame*>(&o.frame); });
    b.Field("ApplyFont", &S::apply_font).Default(1);
    b.Field("ApplyFill", &S::apply_fill).Default(1);
    b.Field("ApplyFrame", &S::apply_frame).Default(1);
    b.EnumProp("FillType", &S::FillType, &S::SetFillType, e.fill_type).Default(0);
    b.Object("Fill", ObjectRole::Nested, "TfrxCustomFill",
             [](const S& o) -> TObject* { return o.fill.get(); });
  }
}

}  // namespace lgoty::report
