// Prepared report files (.fp3): the store's XML with the source pages, the dictionary,
// the picture cache and a few report options written out, and read back.
#include <exception>

#include "core/text_format.h"
#include "platform/file.h"
#include "platform/file_stream.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/prepared_pages_detail.h"
#include "report/report.h"
#include "report/serializer.h"

namespace lgoty::report {

using core::TfrxXMLItem;
using namespace prepared_detail;

namespace {

// The report options a prepared report carries.
constexpr std::string_view kReportAttributes[] = {
    "DotMatrixReport", "PreviewOptions.OutlineVisible", "PreviewOptions.OutlineWidth",
    "ReportOptions.Name"};

// "Page3.Memo1" -> 3 and "Memo1"; false when the path has another form.
bool SplitSourcePath(const std::string& path, int& page, std::string& name) {
  if (path.size() < 6 || path.compare(0, 4, "Page") != 0) return false;
  size_t dot = path.find('.', 4);
  if (dot == std::string::npos || dot == 4 || dot - 4 > kMaxSourceDigits) return false;
  int n = 0;
  for (size_t i = 4; i < dot; ++i) {
    if (path[i] < '0' || path[i] > '9') return false;
    n = n * 10 + (path[i] - '0');
  }
  page = n;
  name = path.substr(dot + 1);
  return true;
}

}  // namespace

void TfrxPreviewPages::RebuildReportItem() {
  TfrxXMLItem* section = Section(kReport);
  section->Clear();
  TfrxXMLItem* item = section->Add();
  item->SetName(report_->ClassName());
  // The four options, in this order, from the report's own attribute text.
  TfrxXMLSerializer serializer;
  serializer.serialize_default_values = true;
  TfrxXMLItem all;
  all.SetText(serializer.WriteAttributes(*report_, ""));
  for (std::string_view name : kReportAttributes) {
    item->SetAttribute(name, all.Attribute(name));
  }
}

void TfrxPreviewPages::ApplyReportItem() {
  TfrxXMLItem* root = Root();
  int at = root->Find(kReport);
  if (at < 0 || root->Items(at)->Count() == 0) return;
  const TfrxXMLItem* item = root->Items(at)->Items(0);
  TfrxXMLSerializer serializer;
  // Only these options are taken: a file sets nothing else of the report.
  for (std::string_view name : kReportAttributes) {
    if (!item->HasAttribute(name)) continue;
    TfrxXMLItem one;
    one.SetAttribute(name, item->Attribute(name));
    serializer.ApplyAttributes(one.Text(), *report_);
  }
}

void TfrxPreviewPages::SaveToStream(core::TStream& stream) {
  ClearPageCache();
  RebuildReportItem();
  TfrxXMLItem* sources = Section(kSourcePages);
  sources->Clear();
  for (const SourceEntry& source : source_pages_) {
    TfrxXMLItem* item = sources->Add();
    serializer_->WriteTree(*source.page, true, item);
    if (!source.page->Name().empty()) {
      item->SetText("Name=\"" + core::StrToXML(ToAnsi(source.page->Name())) + "\"" +
                    item->Text());
    }
  }
  TfrxXMLItem* dictionary = Section(kDictionary);
  dictionary->Clear();
  for (const auto& [alias, entry] : dictionary_.Entries()) {
    TfrxXMLItem* item = dictionary->Add();
    item->SetName(alias);
    item->SetAttribute("name", entry.source_name);
  }
  picture_cache_.SaveToXML(Section(kPictureCache));
  std::exception_ptr failure;
  try {
    document_->SaveToStream(stream);
  } catch (...) {
    failure = std::current_exception();
  }
  // In memory these live as objects; the items exist only in the file.
  TfrxXMLItem* root = Root();
  for (std::string_view name : {kSourcePages, kDictionary, kPictureCache}) {
    int at = root->Find(name);
    if (at >= 0) root->Delete(root->Items(at));
  }
  if (failure) std::rethrow_exception(failure);
}

void TfrxPreviewPages::SaveToFile(const std::string& path) {
  platform::FileStream stream(platform::DiskFile::Open(path, platform::FileAccess::ReadWrite,
                                                       platform::FileShare::DenyWrite,
                                                       platform::FileCreate::CreateAlways));
  SaveToStream(stream);
}

void TfrxPreviewPages::LoadSourcePages() {
  TfrxXMLItem* root = Root();
  int at = root->Find(kSourcePages);
  if (at < 0) return;
  TfrxXMLItem* sources = root->Items(at);
  for (int i = 0; i < sources->Count(); ++i) {
    auto page = std::make_unique<TfrxReportPage>();
    TfrxXMLSerializer serializer;
    serializer.ReadTree(*page, sources->Items(i));
    source_pages_.push_back(SourceEntry{std::move(page), nullptr});
  }
  root->Delete(sources);
}

void TfrxPreviewPages::LoadDictionary() {
  TfrxXMLItem* root = Root();
  int at = root->Find(kDictionary);
  if (at < 0) return;
  TfrxXMLItem* dictionary = root->Items(at);
  for (int i = 0; i < dictionary->Count(); ++i) {
    const TfrxXMLItem* item = dictionary->Items(i);
    std::string path = item->Attribute("name");
    int page = 0;
    std::string name;
    TfrxComponent* object = nullptr;
    if (SplitSourcePath(path, page, name) && page < static_cast<int>(source_pages_.size())) {
      object = source_pages_[static_cast<size_t>(page)].page->FindObject(name);
    }
    // An alias whose object is missing (a damaged file) stays unresolved: its items are
    // skipped when a page is built.
    if (object && InfoOf(object)) object = nullptr;
    dictionary_.Add(item->Name(), path, object);
    if (object) {
      source_info_[object] =
          SourceInfo{item->Name(), ReferenceText(*serializer_, *object), page, nullptr, nullptr};
    }
  }
  root->Delete(dictionary);
}

void TfrxPreviewPages::LoadFromStream(core::TStream& stream, bool allow_partial) {
  Clear();
  try {
    if (allow_partial) {
      // The page items stay in a temporary copy of the file, which also takes the pages
      // unloaded later; the caller's stream is free once this returns.
      auto copy = platform::FileStream::CreateTemporary(report_->engine_options.temp_dir);
      char buffer[64 * 1024];
      for (size_t n; (n = stream.Read(buffer, sizeof buffer)) > 0;) copy->Write(buffer, n);
      copy->SetPosition(0);
      document_->LoadFromStream(std::move(copy), true);
    } else {
      document_->LoadFromStream(stream, false);
    }
    if (document_->Root()->Name().empty()) document_->Root()->SetName(std::string(kRootName));
    ApplyReportItem();
    LoadSourcePages();
    LoadDictionary();
    TfrxXMLItem* root = Root();
    int at = root->Find(kPictureCache);
    if (at >= 0) {
      picture_cache_.LoadFromXML(root->Items(at));
      root->Delete(root->Items(at));
    }
  } catch (...) {
    Clear();
    throw;
  }
  outline_.Bind(Section(kOutline));
  cur_page_ = Count() - 1;
  outline_.SetCurrentPage(std::max(cur_page_, 0));
}

bool TfrxPreviewPages::LoadFromFile(const std::string& path, bool raise_if_missing,
                                    bool allow_partial) {
  if (!raise_if_missing && !platform::FileExists(path)) {
    Clear();
    return false;
  }
  platform::FileStream stream(platform::DiskFile::Open(
      path, platform::FileAccess::Read, platform::FileShare::DenyWrite,
      platform::FileCreate::OpenExisting));
  LoadFromStream(stream, allow_partial);
  return true;
}

}  // namespace lgoty::report
