#include "report/report.h"

#include "core/code_page.h"
#include "core/xml_document.h"
#include "platform/file.h"
#include "platform/system.h"
#include "report/aggregates.h"
#include "report/class_registration.h"
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/report_script.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/report_evaluator.h"
#include "report/resources.h"
#include "report/serializer.h"
#include "report/text_layout.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxReport)

namespace {

// The stored password is scrambled: every character code of its ANSI form lowered by 10.
std::string ShiftPassword(const std::string& utf8, int delta) {
  int cp = core::AnsiCodePage();
  std::string bytes = core::FromUtf8(cp, utf8);
  for (char& c : bytes) c = static_cast<char>(static_cast<unsigned char>(c) + delta);
  return core::ToUtf8(cp, bytes);
}

}  // namespace

TfrxReport::TfrxReport() {
  errors_.SetSorted(true);
  errors_.SetDuplicates(core::Duplicates::dupIgnore);
  ResetState();
}

TfrxDrawText& TfrxReport::DrawText() {
  if (!draw_text_) draw_text_ = std::make_unique<TfrxDrawText>();
  return *draw_text_;
}

TfrxReport::~TfrxReport() {
  // The engine borrows the prepared pages and the tree, the prepared pages watch objects
  // of the tree and the script refers to them: they go first, in that order.
  engine_.reset();
  preview_pages_.reset();
  default_evaluator_.reset();
  expressions_.reset();
  taken_by_script_.clear();
  // Free the tree while the name index is still alive.
  while (ObjectCount() > 0) Release(Object(ObjectCount() - 1));
  data_sets_.clear();
}

TfrxPreviewPages& TfrxReport::PreviewPages() {
  if (!preview_pages_) preview_pages_ = std::make_unique<TfrxPreviewPages>(this);
  return *preview_pages_;
}

void TfrxReport::ResetState() {
  data_sets_.clear();
  variables_.clear();
  styles_.clear();
  engine_options = TfrxEngineOptions();
  preview_options = TfrxPreviewOptions();
  print_options = TfrxPrintOptions();
  report_options.Reset();
  version_ = kVersion;
  parent_report.clear();
  data_set.Set(nullptr);
  data_set_name_.clear();
  dot_matrix_report = false;
  ini_file = kDefaultIniFile;
  old_style_progress = false;
  script_language = "PascalScript";
  script_text.Clear();
  script_text.Add("begin");
  script_text.Add("");
  script_text.Add("end.");
  show_progress = true;
  store_in_dfm = true;
  on_run_dialogs.clear();
  on_start_report.clear();
  on_stop_report.clear();
  on_report_print.clear();
}

bool TfrxReport::CallScriptProcedure(const std::string& name, std::vector<core::Variant>& args) {
  size_t first = name.find_first_not_of(" \t\r\n");
  if (first == std::string::npos || !script_call_) return false;
  size_t last = name.find_last_not_of(" \t\r\n");
  return script_call_(name.substr(first, last - first + 1), args);
}

void TfrxReport::Clear() {
  // The script's registrations and compiled expressions refer to the objects going away.
  if (expressions_) expressions_->Script().Unprepare();
  // The aggregate items of the last run point into the bands going away; a run after a
  // template loaded again must not meet them.
  if (expressions_) expressions_->Aggregates().Clear();
  TfrxComponent::Clear();
  taken_by_script_.clear();
  ResetState();
}

void TfrxReport::KeepTakenObjects(std::vector<std::unique_ptr<TfrxComponent>> objects) {
  for (auto& object : objects) taken_by_script_.push_back(std::move(object));
}

void TfrxReport::IndexName(TfrxComponent* component) {
  if (component == this || component->Name().empty()) return;
  names_[AsciiUpperName(component->Name())] = component;
}

void TfrxReport::UnindexName(TfrxComponent* component) {
  if (component->Name().empty()) return;
  auto it = names_.find(AsciiUpperName(component->Name()));
  if (it != names_.end() && it->second == component) names_.erase(it);
}

TfrxComponent* TfrxReport::FindByName(std::string_view name) const {
  if (name.empty()) return nullptr;
  auto it = names_.find(AsciiUpperName(name));
  return it == names_.end() ? nullptr : it->second;
}

std::string TfrxReport::DataSetName() const {
  if (TfrxDataSet* ds = data_set.Get()) return ds->UserName();
  return data_set_name_;
}

TfrxDataSetItem& TfrxReport::AddDataSet(TfrxDataSet* ds, std::string name) {
  auto item = std::make_unique<TfrxDataSetItem>();
  item->data_set.Set(ds);
  item->data_set_name = std::move(name);
  data_sets_.push_back(std::move(item));
  return *data_sets_.back();
}

TfrxVariable& TfrxReport::AddVariable(std::string name, core::Variant value) {
  auto item = std::make_unique<TfrxVariable>();
  item->SetName(std::move(name));
  item->value = std::move(value);
  variables_.push_back(std::move(item));
  return *variables_.back();
}

TfrxDataPage* TfrxReport::CheckDataPage() {
  for (int i = 0; i < ObjectCount(); ++i) {
    if (auto* page = dynamic_cast<TfrxDataPage*>(Object(i))) return page;
  }
  auto* page = static_cast<TfrxDataPage*>(Adopt(std::make_unique<TfrxDataPage>(), 0));
  if (!FindByName("Data")) {
    page->SetName("Data");
  } else {
    page->CreateUniqueName();
  }
  std::vector<TfrxDialogComponent*> components;
  for (TfrxComponent* c : AllObjects()) {
    if (auto* dc = dynamic_cast<TfrxDialogComponent*>(c)) {
      if (dc->Parent() != page) components.push_back(dc);
    }
  }
  double left = 60;
  for (TfrxDialogComponent* dc : components) {
    dc->MoveTo(page);
    dc->SetLeft(left);
    dc->SetTop(20);
    left += 64;
  }
  return page;
}

void TfrxReport::WriteNestedItems(core::TfrxXMLItem* item, TfrxXMLSerializer& serializer) const {
  auto write = [&](const char* name, const auto& list) {
    if (list.empty()) return;
    core::TfrxXMLItem* element = item->Add();
    element->SetName(name);
    for (const auto& entry : list) {
      core::TfrxXMLItem* child = element->Add();
      child->SetName("item");
      child->SetText(serializer.WriteAttributes(*entry, ""));
    }
  };
  write("Datasets", data_sets_);
  write("Variables", variables_);
  write("Styles", styles_);
}

bool TfrxReport::ReadNestedItem(core::TfrxXMLItem* item, TfrxXMLSerializer& serializer) {
  if (SameName(item->Name(), "Datasets")) {
    // The data sets are usually read after this list, so their references are resolved
    // with the rest of the tree.
    for (int i = 0; i < item->Count(); ++i) {
      auto entry = std::make_unique<TfrxDataSetItem>();
      TfrxDataSetItem& added = *entry;
      data_sets_.push_back(std::move(entry));
      serializer.ApplyDeferredAttributes(item->Items(i)->Text(), added);
    }
    return true;
  }
  if (SameName(item->Name(), "Variables")) {
    for (int i = 0; i < item->Count(); ++i) {
      auto entry = std::make_unique<TfrxVariable>();
      serializer.ApplyItemAttributes(item->Items(i)->Text(), *entry, this);
      variables_.push_back(std::move(entry));
    }
    return true;
  }
  if (SameName(item->Name(), "Styles")) {
    for (int i = 0; i < item->Count(); ++i) {
      auto entry = std::make_unique<TfrxStyleItem>();
      serializer.ApplyItemAttributes(item->Items(i)->Text(), *entry, this);
      styles_.push_back(std::move(entry));
    }
    return true;
  }
  return false;
}

void TfrxReport::ReportErrors() {
  std::string text = frxGet("clErrors") + "\r\n" + errors_.Text();
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
  switch (engine_options.new_silent_mode) {
    case TfrxSilentMode::simMessageBoxes:
      if (ui_) ui_->ShowErrorMessage(frxGet("mbError"), text);
      break;
    case TfrxSilentMode::simSilent:
      break;
    case TfrxSilentMode::simReThrow:
      throw core::Exception(text);
  }
}

void TfrxReport::LoadFromStream(core::TStream& stream) {
  errors_.Clear();
  TfrxEngineOptions saved_engine = engine_options;
  TfrxPreviewOptions saved_preview = preview_options;
  Clear();
  TfrxXMLSerializer serializer;
  try {
    serializer.ReadTree(*this, stream);
  } catch (const std::exception& e) {
    errors_.Add(e.what());
  }
  for (int i = 0; i < serializer.Errors().Count(); ++i) errors_.Add(serializer.Errors()[i]);

  TfrxEngineOptions loaded_engine = engine_options;
  engine_options = saved_engine;
  engine_options.convert_nulls = loaded_engine.convert_nulls;
  engine_options.ignore_dev_by_zero = loaded_engine.ignore_dev_by_zero;
  engine_options.double_pass = loaded_engine.double_pass;
  TfrxPreviewOptions loaded_preview = preview_options;
  preview_options = saved_preview;
  preview_options.outline_visible = loaded_preview.outline_visible;
  preview_options.outline_width = loaded_preview.outline_width;
  preview_options.outline_expand = loaded_preview.outline_expand;
  preview_options.pages_in_cache = loaded_preview.pages_in_cache;
  preview_options.thumbnail_visible = loaded_preview.thumbnail_visible;

  if (!report_options.password.empty()) {
    report_options.password = ShiftPassword(report_options.password, +10);
  }
  version_ = kVersion;

  const std::string& password = report_options.password;
  if (!password.empty() && password != last_password_) {
    std::string answer;
    bool given = ui_ && ui_->AskPassword(answer);
    if (!given || answer != password) {
      errors_.Add("Invalid password");
      Clear();
      ReportErrors();
      return;
    }
    last_password_ = answer;
  }
  if (errors_.Count() > 0) ReportErrors();
}

void TfrxReport::SaveToStream(core::TStream& stream, bool save_children,
                              bool save_default_values, const TfrxReport* ancestor) {
  std::string password = report_options.password;
  if (!password.empty()) report_options.password = ShiftPassword(password, -10);
  try {
    TfrxXMLSerializer serializer;
    serializer.serialize_default_values = save_default_values;
    serializer.ancestor_tree = ancestor;
    serializer.WriteTree(*this, save_children, stream);
  } catch (...) {
    report_options.password = password;
    throw;
  }
  report_options.password = password;
}

bool TfrxReport::LoadFromFile(const std::string& path, bool raise_if_missing) {
  Clear();
  file_name_.clear();
  bool exists = platform::FileExists(path);
  if (!exists && !raise_if_missing) return false;
  auto file = platform::DiskFile::Open(path, platform::FileAccess::Read,
                                       platform::FileShare::DenyWrite,
                                       platform::FileCreate::OpenExisting);
  std::string bytes(file->Size(), '\0');
  size_t read = file->ReadAt(0, std::as_writable_bytes(std::span(bytes.data(), bytes.size())));
  bytes.resize(read);
  file.reset();
  core::TMemoryStream stream(std::move(bytes));
  LoadFromStream(stream);
  file_name_ = path;
  return exists;
}

void TfrxReport::SaveToFile(const std::string& path) {
  // A parent template named with a drive letter is stored relative to the target folder.
  if (parent_report.size() >= 2 && parent_report[1] == ':') {
    std::string folder = platform::ExtractFilePath(path);
    if (!folder.empty() && parent_report.size() > folder.size() &&
        SameName(parent_report.substr(0, folder.size()), folder)) {
      parent_report = parent_report.substr(folder.size());
    }
  }
  core::TMemoryStream stream;
  SaveToStream(stream, true, false);
  const std::string& bytes = stream.Bytes();
  platform::WriteWholeFile(path, std::as_bytes(std::span(bytes.data(), bytes.size())));
}

void RegisterReportClass() {
  using core::ObjectRole;
  using core::TObject;
  using R = TfrxReport;
  auto b = RegisterFrxClass<R>("TfrxReport", "TfrxComponent");
  b.Prop("Version", &R::Version, &R::SetVersion);
  b.Field("ParentReport", &R::parent_report);
  b.Reference(
      "DataSet", "TfrxDataSet", [](const R& o) -> TObject* { return o.data_set.Get(); },
      [](R& o, TObject* v) { o.data_set.Set(dynamic_cast<TfrxDataSet*>(v)); });
  b.Prop("DataSetName", &R::DataSetName, &R::SetDataSetName);
  b.Field("DotMatrixReport", &R::dot_matrix_report);
  b.Object("EngineOptions", ObjectRole::Nested, "TfrxEngineOptions",
           [](const R& o) -> TObject* { return const_cast<TfrxEngineOptions*>(&o.engine_options); });
  b.Field("IniFile", &R::ini_file);
  b.Field("OldStyleProgress", &R::old_style_progress).Default(0);
  b.Object("PreviewOptions", ObjectRole::Nested, "TfrxPreviewOptions", [](const R& o) -> TObject* {
    return const_cast<TfrxPreviewOptions*>(&o.preview_options);
  });
  b.Object("PrintOptions", ObjectRole::Nested, "TfrxPrintOptions",
           [](const R& o) -> TObject* { return const_cast<TfrxPrintOptions*>(&o.print_options); });
  b.Object("ReportOptions", ObjectRole::Nested, "TfrxReportOptions",
           [](const R& o) -> TObject* { return const_cast<TfrxReportOptions*>(&o.report_options); });
  b.Field("ScriptLanguage", &R::script_language);
  b.Object("ScriptText", ObjectRole::StringList, "TStrings",
           [](const R& o) -> TObject* { return const_cast<core::TStringList*>(&o.script_text); });
  b.Field("ShowProgress", &R::show_progress).Default(1);
  b.Field("StoreInDFM", &R::store_in_dfm).Default(1);
  b.Event("OnRunDialogs", &R::on_run_dialogs).TypeName("TfrxRunDialogsEvent");
  b.Event("OnStartReport", &R::on_start_report);
  b.Event("OnStopReport", &R::on_stop_report);
  b.Event("OnReportPrint", &R::on_report_print);
}

}  // namespace lgoty::report
