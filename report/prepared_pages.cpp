// Building prepared pages: source pages and aliases, pages, objects as differences,
// anchors, logical page numbers, cutting and pasting, and the passes of a run.
#include "core/ascii_text.h"
#include "report/prepared_pages.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/format_settings.h"
#include "core/locale.h"
#include "core/text_format.h"
#include "platform/file_stream.h"
#include "report/bands.h"
#include "report/difference_writer.h"
#include "report/pages.h"
#include "report/prepared_pages_detail.h"
#include "report/prepared_pages_listener.h"
#include "report/reference_properties.h"
#include "report/report.h"
#include "report/serializer.h"
#include "report/type_cast.h"
#include "report/views.h"

namespace lgoty::report {

using core::TfrxXMLItem;
using namespace prepared_detail;

// A template (or run-time) object's link to its source copy. The watch is cleared when the
// object is freed, so an entry left behind for a freed object never serves another object
// that happens to get the same address.
struct TfrxPreviewPages::SourceLink {
  ComponentLink watch;
  TfrxComponent* copy = nullptr;
  // The copy's entry in source_info_ (map nodes stay where they are); both maps are
  // cleared together.
  const SourceInfo* info = nullptr;
};

TfrxPreviewPages::TfrxPreviewPages(TfrxReport* report)
    : report_(report),
      document_(std::make_unique<core::TfrxXMLDocument>()),
      serializer_(std::make_unique<TfrxXMLSerializer>()) {
  // The swap file of the page items goes through the platform layer, in TempDir when that
  // is an existing folder, and is deleted when the document closes it.
  document_->SetTempStreamFactory([](const std::string& dir) -> std::unique_ptr<core::TStream> {
    return platform::FileStream::CreateTemporary(dir);
  });
  Clear();
}

TfrxPreviewPages::~TfrxPreviewPages() {
  ClearPageCache();
  links_.clear();
}

TfrxXMLItem* TfrxPreviewPages::Root() {
  TfrxXMLItem* root = document_->Root();
  if (root->Name().empty()) root->SetName(std::string(kRootName));
  return root;
}

TfrxXMLItem* TfrxPreviewPages::Section(std::string_view name) { return Root()->FindItem(name); }

TfrxXMLItem* TfrxPreviewPages::PagesItem() {
  TfrxXMLItem* root = Root();
  int found;
  {
    std::lock_guard lock(pages_found_mutex_);
    found = root->FindRemembered(kPreviewPages, pages_found_);
  }
  return found >= 0 ? root->Items(found) : root->FindItem(kPreviewPages);
}

void TfrxPreviewPages::ResetCounters() {
  cur_page_ = -1;
  first_page_ = -1;
  first_object_count_ = 0;
  first_outline_count_ = 0;
  logical_page_no_ = 0;
  added_bytes_ = 0;
  last_y_ = 0;
  add_page_action = TfrxAddPageAction::apWriteOver;
}

void TfrxPreviewPages::Clear() {
  if (listener_) listener_->PagesChanging(0);
  ClearPageCache();
  document_->Clear();
  Root()->SetText("");
  links_.clear();
  {
    std::lock_guard lock(sources_mutex_);
    source_info_.clear();
    source_pages_.clear();
    dictionary_.Clear();
    picture_cache_.Clear();
  }
  outline_.Bind(Section(kOutline));
  ResetCounters();
}

void TfrxPreviewPages::Initialize() {
  const std::string& temp_dir = report_->engine_options.temp_dir;
  document_->SetTempDir(temp_dir);
  picture_cache_.SetInFile(report_->preview_options.picture_cache_in_file, temp_dir);
}

bool TfrxPreviewPages::DoublePassFirstPass() const {
  return report_->engine_options.double_pass && engine_ && !engine_->FinalPass();
}

bool TfrxPreviewPages::DoublePassFinalPass() const {
  return report_->engine_options.double_pass && (!engine_ || engine_->FinalPass());
}

TfrxReportPage* TfrxPreviewPages::SourcePage(int index) const {
  return source_pages_[static_cast<size_t>(index)].page.get();
}

// ---------------------------------------------------------------------------------------
// Source pages

TfrxComponent* TfrxPreviewPages::SourceOf(const TfrxComponent* object) const {
  if (!object) return nullptr;
  if (source_info_.count(object)) return const_cast<TfrxComponent*>(object);
  auto it = links_.find(object);
  if (it == links_.end() || it->second->watch.Get() != object) return nullptr;
  return it->second->copy;
}

const TfrxPreviewPages::SourceInfo* TfrxPreviewPages::InfoOf(const TfrxComponent* copy) const {
  auto it = source_info_.find(copy);
  return it == source_info_.end() ? nullptr : &it->second;
}

TfrxPreviewPages::ItemSource TfrxPreviewPages::FindItemSource(std::string_view alias) const {
  std::lock_guard lock(sources_mutex_);
  ItemSource found;
  const TfrxDictionary::Entry* entry = dictionary_.Find(alias);
  if (!entry) return found;
  found.object = entry->object;
  found.info = InfoOf(entry->object);
  if (found.info) found.compiled = found.info->compiled.get();
  return found;
}

const ReferenceProperties& TfrxPreviewPages::CompiledReference(const SourceInfo& info,
                                                               const core::ClassInfo* cls,
                                                               TfrxXMLSerializer& serializer) const {
  std::lock_guard lock(sources_mutex_);
  if (!info.compiled) {
    // The reference text starts with the class name.
    const std::string_view reference = info.reference_text;
    const size_t blank = std::min(reference.find(' '), reference.size());
    info.compiled = std::make_shared<ReferenceProperties>(cls, reference.substr(blank), serializer);
  }
  return *info.compiled;
}

std::string TfrxPreviewPages::CachedPicture(int index) const {
  std::lock_guard lock(sources_mutex_);
  return picture_cache_.Get(index);
}

std::string TfrxPreviewPages::AliasOf(const TfrxComponent* object) const {
  const SourceInfo* info = InfoOf(SourceOf(object));
  return info ? info->alias : std::string();
}

void TfrxPreviewPages::LinkSource(TfrxComponent* template_object, TfrxComponent* copy,
                                  int source_page_index) {
  std::string prefix;
  if (dynamic_cast<TfrxBand*>(copy)) {
    prefix = "b";
  } else {
    std::string base = copy->BaseName();
    prefix = base.empty() ? "o" : std::string(1, core::AsciiLower(base[0]));
  }
  std::string alias = dictionary_.CreateUniqueName(prefix);
  SourceInfo info;
  info.alias = alias;
  info.reference_text = ReferenceText(*serializer_, *copy);
  info.source_page = source_page_index;
  std::unique_lock lock(sources_mutex_);
  dictionary_.Add(alias, "Page" + std::to_string(source_page_index) + "." + copy->Name(), copy);
  SourceInfo& placed = source_info_[copy];
  placed = std::move(info);
  lock.unlock();
  if (template_object) {
    auto link = std::make_unique<SourceLink>();
    link->watch.Set(template_object);
    link->copy = copy;
    link->info = &placed;
    links_[template_object] = std::move(link);
  }
}

namespace {

// A new object of the same class with the same published properties and name; nullptr
// for a class that cannot be created.
std::unique_ptr<TfrxComponent> CopyObject(TfrxXMLSerializer& serializer,
                                          const TfrxComponent& source) {
  const core::ClassInfo* info = source.ClassType();
  if (!info || !info->CanCreate()) return nullptr;
  std::unique_ptr<core::TObject> object = info->Create();
  auto* component = dynamic_cast<TfrxComponent*>(object.get());
  if (!component) return nullptr;
  object.release();
  std::unique_ptr<TfrxComponent> copy(component);
  serializer.ApplyItemAttributes(serializer.WriteAttributes(source, ""), *copy);
  SetNameQuietly(*copy, source.Name());
  return copy;
}

}  // namespace

void TfrxPreviewPages::AddSourcePage(TfrxReportPage* page) {
  std::unique_ptr<TfrxComponent> copied = CopyObject(*serializer_, *page);
  std::unique_ptr<TfrxReportPage> copy(dynamic_cast<TfrxReportPage*>(copied.get()));
  if (!copy) return;
  copied.release();
  const int index = static_cast<int>(source_pages_.size());
  std::vector<std::pair<TfrxComponent*, TfrxComponent*>> pairs;
  // Depth first, children in order, so that aliases follow the template's object order.
  auto copy_children = [&](auto& self, TfrxComponent* from, TfrxComponent* to) -> void {
    for (int i = 0; i < from->ObjectCount(); ++i) {
      TfrxComponent* child = from->Object(i);
      if (child->IsHidden() || !PrintableInPreview(*child)) continue;
      std::unique_ptr<TfrxComponent> child_copy = CopyObject(*serializer_, *child);
      if (!child_copy) continue;
      TfrxComponent* placed = to->Adopt(std::move(child_copy));
      pairs.emplace_back(child, placed);
      self(self, child, placed);
    }
  };
  copy_children(copy_children, page, copy.get());
  for (TfrxComponent* object : copy->AllObjects()) object->Loaded();
  for (auto& [template_object, object_copy] : pairs) {
    if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(object_copy)) {
      memo->data_set.Set(nullptr);
      memo->SetDataSetName("");
      memo->data_field.clear();
    }
    LinkSource(template_object, object_copy, index);
  }
  std::lock_guard lock(sources_mutex_);
  source_pages_.push_back(SourceEntry{std::move(copy), page});
}

void TfrxPreviewPages::AddToSourcePage(TfrxComponent* object) {
  if (!object || SourceOf(object) || source_pages_.empty()) return;
  std::unique_ptr<TfrxComponent> copy = CopyObject(*serializer_, *object);
  if (!copy) return;
  if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(copy.get())) {
    memo->data_set.Set(nullptr);
    memo->SetDataSetName("");
    memo->data_field.clear();
  }
  const int index = static_cast<int>(source_pages_.size()) - 1;
  TfrxComponent* placed = nullptr;
  {
    std::lock_guard lock(sources_mutex_);
    placed = source_pages_.back().page->Adopt(std::move(copy));
  }
  LinkSource(object, placed, index);
}

// ---------------------------------------------------------------------------------------
// Pages and objects

void TfrxPreviewPages::SetCurPage(int page) {
  cur_page_ = std::clamp(page, -1, Count() - 1);
  outline_.SetCurrentPage(std::max(cur_page_, 0));
}

TfrxXMLItem* TfrxPreviewPages::CurrentPageItem() {
  TfrxXMLItem* pages = PagesItem();
  if (cur_page_ < 0 || cur_page_ >= pages->Count()) return nullptr;
  // As PageItem gives it: swapped in when it was unloaded.
  TfrxXMLItem* item = pages->Items(cur_page_);
  if (!item->Loaded()) document_->SwapIn(item);
  return item;
}

void TfrxPreviewPages::BeginPass() {
  first_page_ = Count() - 1;
  first_object_count_ = first_page_ >= 0 ? PageItem(first_page_)->Count() : 0;
  first_outline_count_ = Section(kOutline)->Count();
  logical_page_no_ = 0;
  if (listener_ && engine_ && engine_->FinalPass()) {
    listener_->FinalPassBegun(first_page_, engine_->TotalPages());
  }
}

void TfrxPreviewPages::UnloadBeforeLast() {
  TfrxXMLItem* pages = PagesItem();
  for (int i = pages->Count() - 2; i >= 0; --i) {
    TfrxXMLItem* item = pages->Items(i);
    if (!item->Unloadable()) continue;
    if (!item->Loaded()) break;
    if (listener_) listener_->PagesUnloading();
    document_->SwapOut(item);
  }
}

void TfrxPreviewPages::AddPage(TfrxReportPage* page) {
  if (report_->engine_options.use_file_cache &&
      added_bytes_ > static_cast<int64_t>(report_->engine_options.max_mem_size) * 1024 * 1024) {
    UnloadBeforeLast();
    added_bytes_ = 0;
  }
  ++cur_page_;
  if (cur_page_ < Count() && add_page_action == TfrxAddPageAction::apWriteOver) {
    if (listener_) listener_->PagesChanging(cur_page_);
    outline_.SetCurrentPage(cur_page_);
    return;
  }
  int source_index = -1;
  for (size_t i = 0; i < source_pages_.size(); ++i) {
    if (source_pages_[i].template_page == page) source_index = static_cast<int>(i);
  }
  if (source_index < 0 && page) {
    AddSourcePage(page);
    source_index = static_cast<int>(source_pages_.size()) - 1;
  }
  auto item = std::make_unique<TfrxXMLItem>();
  item->SetName(kPagePrefix + std::to_string(std::max(source_index, 0)));
  TfrxXMLItem* pages = PagesItem();
  // Insert where the current page is; a new page usually lands at the end.
  int at = std::min(cur_page_, pages->Count());
  const bool inserted = at < pages->Count();
  if (inserted && listener_) listener_->PagesChanging(at);
  TfrxXMLItem* placed = pages->AddItem(std::move(item));
  if (inserted) pages->InsertItem(at, placed);
  if (pages->Count() >= 3) placed->SetUnloadable(true);
  cur_page_ = at;
  add_page_action = TfrxAddPageAction::apWriteOver;
  outline_.SetCurrentPage(cur_page_);
  if (engine_) engine_->PageAdded(cur_page_ + 1);
  IncLogicalPageNumber();
  if (listener_ && !inserted) listener_->PageAppended(cur_page_);
}

void TfrxPreviewPages::AddObject(TfrxComponent* object) {
  TfrxXMLItem* page = CurrentPageItem();
  if (!page || !object) return;
  if (listener_) listener_->PagesChanging(cur_page_);
  // Only a page built from a source page holds objects as differences.
  const bool source_page = SourcePageIndexOfItem(page) >= 0;
  AddObjectItem(object, page, source_page, DoublePassFirstPass(), 0);
}

void TfrxPreviewPages::AddObjectItem(TfrxComponent* object, TfrxXMLItem* parent,
                                     bool source_page, bool first_pass, int depth) {
  if (object->IsHidden() || !object->Visible() || !PrintableInPreview(*object)) return;
  if (auto* picture = CachedCast<TfrxPictureView>(object)) {
    if (!picture->Picture().Empty()) AddPicture(picture);
  }
  TfrxXMLItem* item = parent->Add();
  TfrxComponent* source = nullptr;
  const SourceInfo* info = nullptr;
  // A template object placed by the run: its link knows its copy and the copy's entry.
  auto link = links_.find(object);
  if (link != links_.end() && link->second->watch.Get() == object) {
    source = link->second->copy;
    info = link->second->info;
  } else {
    source = SourceOf(object);
    info = InfoOf(source);
  }
  if (source && info && source_page) {
    item->SetName(info->alias);
    if (!first_pass) {
      if (!info->differences) {
        info->differences = std::make_shared<DifferenceWriter>(*source);
      }
      info->differences->Append(*serializer_, *object, item->MutableText());
    } else {
      // Where the object lies: what the pass asks of its pages (where bands end, which
      // bands a page has, moving a page's last bands on).
      item->SetText(PartialDiff(*serializer_, *object, *source));
    }
  } else {
    item->SetName(object->ClassName());
    std::string text = object->Name().empty()
                           ? std::string()
                           : "Name=\"" + core::StrToXML(ToAnsi(object->Name())) + "\"";
    text += FullDiff(*serializer_, *object, nullptr);
    item->SetText(std::move(text));
  }
  added_bytes_ += static_cast<int64_t>(item->Text().size() + item->Name().size() +
                                       sizeof(TfrxXMLItem) + 16);
  // A first pass keeps only the placed objects themselves: what it asks of its pages reads
  // nothing inside them, and the pages are thrown away before anything draws them.
  if (first_pass && source && info && source_page) return;
  for (int i = 0; i < object->ObjectCount(); ++i) {
    AddObjectItem(object->Object(i), item, source_page, first_pass, depth + 1);
  }
}

void TfrxPreviewPages::AddPicture(TfrxPictureView* picture) {
  if (!picture) return;
  std::lock_guard lock(sources_mutex_);
  picture->image_index = picture_cache_.Add(picture->Picture().data);
}

// ---------------------------------------------------------------------------------------
// Anchors

void TfrxPreviewPages::AddAnchor(std::string_view text) {
  AddAnchor(text, engine_ ? engine_->CurY() : 0);
}

void TfrxPreviewPages::AddAnchor(std::string_view text, double top) {
  TfrxXMLItem* item = Section(kAnchors)->Add();
  item->SetName("item");
  item->SetAttribute("text", text);
  item->SetAttribute("page", std::to_string(std::max(cur_page_, 0)));
  item->SetAttribute("top", std::to_string(RoundToInt(top)));
}

int TfrxPreviewPages::AnchorCount() const {
  const TfrxXMLItem* root = const_cast<core::TfrxXMLDocument&>(*document_).Root();
  int i = root->Find(kAnchors);
  return i < 0 ? 0 : root->Items(i)->Count();
}

int TfrxPreviewPages::GetAnchorPage(std::string_view text) const {
  const TfrxXMLItem* root = const_cast<core::TfrxXMLDocument&>(*document_).Root();
  int at = root->Find(kAnchors);
  if (at < 0) return 1;
  const TfrxXMLItem* anchors = root->Items(at);
  for (int i = anchors->Count() - 1; i >= 0; --i) {
    if (core::AnsiSameText(anchors->Items(i)->Attribute("text"), text)) {
      return std::max(IntAttribute(anchors->Items(i), "page") + 1, 1);
    }
  }
  return 1;
}

void TfrxPreviewPages::ShiftAnchors(int from, int new_top) {
  TfrxXMLItem* anchors = Section(kAnchors);
  if (from + 1 < 0 || from + 1 >= anchors->Count()) return;
  int delta = new_top - IntAttribute(anchors->Items(from + 1), "top");
  for (int i = from + 1; i < anchors->Count(); ++i) {
    TfrxXMLItem* item = anchors->Items(i);
    item->SetAttribute("page", std::to_string(IntAttribute(item, "page") + 1));
    item->SetAttribute("top", std::to_string(IntAttribute(item, "top") + delta));
  }
}

// ---------------------------------------------------------------------------------------
// Questions about the current page

const core::ClassInfo* TfrxPreviewPages::ItemClass(const TfrxXMLItem* item) const {
  if (const TfrxDictionary::Entry* entry = dictionary_.Find(item->Name())) {
    return entry->object ? entry->object->ClassType() : nullptr;
  }
  return core::ClassRegistry::Instance().Find(item->Name());
}

double TfrxPreviewPages::ItemCoordinate(const TfrxXMLItem* item, char which) const {
  const char name[2] = {which, '\0'};
  if (item->HasAttribute(name)) return FloatAttribute(item, name);
  const TfrxDictionary::Entry* entry = dictionary_.Find(item->Name());
  const TfrxComponent* source = entry ? entry->object : nullptr;
  if (!source) return 0;
  switch (which) {
    case 'l': return source->Left();
    case 't': return source->Top();
    case 'w': return source->Width();
    default: return source->Height();
  }
}

bool TfrxPreviewPages::BandExists(const TfrxBand* band) {
  TfrxXMLItem* page = CurrentPageItem();
  if (!page || !band) return false;
  const TfrxComponent* source = SourceOf(band);
  const core::ClassInfo* band_class = band->ClassType();
  for (int i = 0; i < page->Count(); ++i) {
    const TfrxXMLItem* item = page->Items(i);
    const TfrxDictionary::Entry* entry = dictionary_.Find(item->Name());
    if (source && entry && entry->object == source) return true;
    const core::ClassInfo* cls = ItemClass(item);
    if (!cls) continue;
    for (const core::ClassInfo* both : {TfrxPageFooter::StaticClass(), TfrxColumnFooter::StaticClass()}) {
      if (cls->InheritsFrom(both) && band_class->InheritsFrom(both)) return true;
    }
  }
  return false;
}

double TfrxPreviewPages::GetLastY(double column_position) {
  double result = 0;
  if (TfrxXMLItem* page = CurrentPageItem()) {
    for (int i = 0; i < page->Count(); ++i) {
      const TfrxXMLItem* item = page->Items(i);
      const core::ClassInfo* cls = ItemClass(item);
      if (!cls || !cls->InheritsFrom(TfrxBand::StaticClass())) continue;
      if (cls->InheritsFrom(TfrxPageFooter::StaticClass()) ||
          cls->InheritsFrom(TfrxOverlay::StaticClass())) {
        continue;
      }
      bool always = cls->InheritsFrom(TfrxPageHeader::StaticClass()) ||
                    cls->InheritsFrom(TfrxReportTitle::StaticClass());
      if (column_position != 0 && !always &&
          std::fabs(ItemCoordinate(item, 'l') - column_position) >= 0.001) {
        continue;
      }
      result = std::max(result, ItemCoordinate(item, 't') + ItemCoordinate(item, 'h'));
    }
  }
  if (result == 0) return last_y_;
  last_y_ = result;
  return result;
}

int TfrxPreviewPages::GetCurPosition() {
  TfrxXMLItem* page = CurrentPageItem();
  return page ? page->Count() : 0;
}

// ---------------------------------------------------------------------------------------
// Cutting and pasting

void TfrxPreviewPages::CutObjects(int from) {
  TfrxXMLItem* page = CurrentPageItem();
  if (!page) return;
  if (listener_) listener_->PagesChanging(cur_page_);
  TfrxXMLItem* held = Section(kCutted);
  from = std::max(from, 0);
  while (page->Count() > from) held->AddItem(page->Items(from));
}

void TfrxPreviewPages::PasteObjects(double x, double y) {
  TfrxXMLItem* root = Root();
  int at = root->Find(kCutted);
  if (at < 0) return;
  TfrxXMLItem* held = root->Items(at);
  TfrxXMLItem* page = CurrentPageItem();
  if (page && held->Count() > 0) {
    if (listener_) listener_->PagesChanging(cur_page_);
    const core::FormatSettings& fs = core::DefaultFormatSettings();
    double dx = x - ItemCoordinate(held->Items(0), 'l');
    double dy = y - ItemCoordinate(held->Items(0), 't');
    while (held->Count() > 0) {
      TfrxXMLItem* item = held->Items(0);
      item->SetAttribute("l", core::FloatToStr(ItemCoordinate(item, 'l') + dx, fs));
      item->SetAttribute("t", core::FloatToStr(ItemCoordinate(item, 't') + dy, fs));
      page->AddItem(item);
    }
  }
  root->Delete(held);
}

// ---------------------------------------------------------------------------------------
// Logical page numbers

void TfrxPreviewPages::IncLogicalPageNumber() {
  if (DoublePassFinalPass()) return;
  ++logical_page_no_;
  TfrxXMLItem* item = Section(kLogicalPageNumbers)->Add();
  item->SetName("page");
  item->SetAttribute("n", std::to_string(logical_page_no_));
}

void TfrxPreviewPages::ResetLogicalPageNumber() {
  if (DoublePassFinalPass()) return;
  TfrxXMLItem* numbers = Section(kLogicalPageNumbers);
  for (int i = std::min(cur_page_, numbers->Count() - 1); i > first_page_ && i >= 0; --i) {
    TfrxXMLItem* item = numbers->Items(i);
    item->SetAttribute("t", std::to_string(logical_page_no_));
    if (item->Attribute("n") == "1") break;
  }
  logical_page_no_ = 0;
}

// ---------------------------------------------------------------------------------------
// End of a pass and of a run

void TfrxPreviewPages::Finish() {
  last_y_ = 0;
  ClearPageCache();
  links_.clear();
  for (SourceEntry& source : source_pages_) source.template_page = nullptr;
}

void TfrxPreviewPages::ClearFirstPassPages() {
  if (listener_) listener_->PagesChanging(std::max(first_page_, 0));
  ClearPageCache();
  TfrxXMLItem* root = Root();
  if (first_page_ < 0) {
    for (int i = root->Count() - 1; i >= 0; --i) {
      const std::string& name = root->Items(i)->Name();
      if (name != kAnchors && name != kLogicalPageNumbers) root->Delete(root->Items(i));
    }
    outline_.Bind(Section(kOutline));
  } else {
    TfrxXMLItem* pages = PagesItem();
    if (first_page_ < pages->Count()) {
      TfrxXMLItem* page = PageItem(first_page_);
      while (page->Count() > first_object_count_) page->Delete(page->Items(page->Count() - 1));
    }
    while (pages->Count() > first_page_ + 1) pages->Delete(pages->Items(pages->Count() - 1));
    TfrxXMLItem* outline = Section(kOutline);
    while (outline->Count() > first_outline_count_) {
      outline->Delete(outline->Items(outline->Count() - 1));
    }
    outline_.LevelRoot();
  }
  logical_page_no_ = 0;
  cur_page_ = first_page_;
  outline_.SetCurrentPage(std::max(cur_page_, 0));
  added_bytes_ = 0;
  if (listener_) listener_->FinalPassBegun(first_page_, engine_ ? engine_->TotalPages() : 0);
}

}  // namespace lgoty::report
