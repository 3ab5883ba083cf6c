// Reading prepared pages: page items rebuilt into page trees, the page cache, page sizes,
// logical page numbers and the editing operations of the preview.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "core/locale.h"
#include "report/pages.h"
#include "report/prepared_object_recycler.h"
#include "report/prepared_pages.h"
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

namespace {

bool IsCompletePageName(std::string_view name) {
  return core::AnsiSameText(name, "TfrxReportPage") || core::AnsiSameText(name, "TfrxDMPPage");
}

// A link between a template object and its copy, with its hash-map node.
constexpr size_t kLinkBytes = 96;

// A built object's rough footprint, for HeldBytes: the object with its font, frame and
// fill, and its text.
size_t ObjectBytes(const TfrxComponent& object) {
  constexpr size_t kObjectEstimate = 1024;
  size_t bytes = kObjectEstimate + object.Name().capacity();
  if (auto* memo = dynamic_cast<const TfrxCustomMemoView*>(&object)) bytes += memo->Text().size();
  return bytes;
}

size_t TreeBytes(const TfrxComponent& root) {
  size_t bytes = ObjectBytes(root);
  for (const TfrxComponent* object : root.AllObjects()) bytes += ObjectBytes(*object);
  return bytes;
}

size_t ItemBytes(const TfrxXMLItem* item) {
  size_t bytes = sizeof(TfrxXMLItem) + item->Name().capacity() + item->Text().capacity() +
                 item->Value().capacity() +
                 static_cast<size_t>(item->Count()) * sizeof(std::unique_ptr<TfrxXMLItem>);
  for (int i = 0; i < item->Count(); ++i) bytes += ItemBytes(item->Items(i));
  return bytes;
}

}  // namespace

int TfrxPreviewPages::Count() { return PagesItem()->Count(); }

TfrxXMLItem* TfrxPreviewPages::PageItem(int index) {
  TfrxXMLItem* item = PagesItem()->Items(index);
  if (!item->Loaded()) document_->SwapIn(item);
  return item;
}

int TfrxPreviewPages::SourcePageIndexOfItem(const TfrxXMLItem* item) const {
  const std::string& name = item->Name();
  if (name.size() <= kPagePrefix.size() || name.compare(0, kPagePrefix.size(), kPagePrefix) != 0) {
    return -1;
  }
  std::string_view digits = std::string_view(name).substr(kPagePrefix.size(), kMaxSourceDigits);
  int n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n < static_cast<int>(source_pages_.size()) ? n : -1;
}

namespace {

// Whether an item of class cls stands for an object a page holds: a component that is
// neither a page nor a report. The answer for the last class asked is kept, as items of a
// page come in runs of the same class.
bool IsPageObjectClass(const core::ClassInfo* cls) {
  thread_local const core::ClassInfo* last = nullptr;
  thread_local bool last_answer = false;
  if (!cls) return false;
  if (cls == last) return last_answer;
  const bool answer = cls->CanCreate() && cls->InheritsFrom(TfrxComponent::StaticClass()) &&
                      !cls->InheritsFrom(TfrxPage::StaticClass()) &&
                      !cls->InheritsFrom(TfrxReport::StaticClass());
  last = cls;
  last_answer = answer;
  return answer;
}

// Counts the pages this thread has begun to build: the alias lookups BuildObjects keeps are
// those of the page with the current count.
thread_local uint64_t page_builds = 0;

size_t AliasSlotOf(std::string_view alias, size_t slots) {
  uint64_t h = 14695981039346656037ull;
  for (char c : alias) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  return static_cast<size_t>((h ^ (h >> 32)) % slots);
}

}  // namespace

void TfrxPreviewPages::BuildObjects(TfrxXMLItem* item, TfrxComponent* parent, TfrxComponent* root,
                                    TfrxXMLSerializer& serializer,
                                    PreparedObjectRecycler* recycler) {
  auto& registry = core::ClassRegistry::Instance();
  // The attribute texts of an object, applied as parts; used up before the children.
  thread_local std::vector<std::string_view> parts;
  // The aliases of a page, looked up in the dictionary and among the source infos: the
  // same few come back on every row. Neither changes while a page is built, so the answers
  // are kept for the page (page_builds) of this store.
  struct AliasSlot {
    std::string alias;
    uint64_t page = 0;
    const TfrxPreviewPages* pages = nullptr;
    ItemSource source;
  };
  constexpr size_t kAliasSlots = 64;
  thread_local AliasSlot slots[kAliasSlots];
  for (int i = 0; i < item->Count(); ++i) {
    TfrxXMLItem* child = item->Items(i);
    const std::string& alias = child->Name();
    AliasSlot& slot = slots[AliasSlotOf(alias, kAliasSlots)];
    if (slot.page != page_builds || slot.pages != this || slot.alias != alias) {
      slot.alias = alias;
      slot.page = page_builds;
      slot.pages = this;
      // Under the lock the run's thread takes to add aliases: the page may be rebuilt while
      // the run goes on (TfrxPageFeed).
      slot.source = FindItemSource(alias);
    }
    const ItemSource source = slot.source;
    const SourceInfo* info = source.info;
    std::string text;
    const core::ClassInfo* cls = nullptr;
    if (info) {
      cls = source.object->ClassType();
      if (recycler && source.compiled) {
        if (TfrxComponent* object = recycler->Reuse(*source.object, *source.compiled,
                                                    child->Text(), *parent, root, serializer)) {
          if (child->Count() > 0) BuildObjects(child, object, root, serializer, recycler);
          continue;
        }
      }
    } else {
      cls = registry.Find(child->Name());
      text = child->Text();
    }
    if (!IsPageObjectClass(cls)) continue;  // an item of no known object: skipped with its subtree
    std::unique_ptr<core::TObject> created = cls->Create();
    auto* component = CachedCast<TfrxComponent>(created.get());
    if (!component) continue;
    created.release();
    TfrxComponent* object = parent->Adopt(std::unique_ptr<TfrxComponent>(component));
    if (info) {
      const ReferenceProperties& compiled = CompiledReference(*info, cls, serializer);
      slot.source.compiled = &compiled;
      compiled.CopyTo(*object);
      if (compiled.Compiled()) {
        // The remaining attributes and the differences, as if joined by a blank.
        parts.clear();
        compiled.AppendRemainingParts(parts, child->Text());
        parts.push_back(child->Text());
        serializer.ApplyItemAttributes(parts, *object, root);
      } else {
        compiled.AppendRemainingText(text, child->Text());
        text += ' ';
        text += child->Text();
        serializer.ApplyItemAttributes(text, *object, root);
      }
      SetNameQuietly(*object, source.object->Name());
      if (recycler) recycler->Keep(*object, *source.object, compiled, child->Text(), serializer);
    } else {
      serializer.ApplyItemAttributes(text, *object, root);
    }
    if (auto* picture = CachedCast<TfrxPictureView>(object)) {
      if (picture->Picture().Empty() && picture->image_index > 0) {
        picture->Picture().data = CachedPicture(picture->image_index);
      }
    }
    if (child->Count() > 0) BuildObjects(child, object, root, serializer, recycler);
  }
}

std::unique_ptr<TfrxReportPage> TfrxPreviewPages::BuildPage(TfrxXMLItem* item,
                                                            PreparedObjectRecycler* recycler) {
  auto page = std::make_unique<TfrxReportPage>();
  ++page_builds;
  TfrxXMLSerializer serializer;
  if (IsCompletePageName(item->Name())) {
    serializer.ReadTree(*page, item);
  } else {
    std::string attributes;
    std::string name;
    bool from_source = false;
    {
      // The run's thread may be adding source pages or objects to the last one meanwhile.
      std::lock_guard lock(sources_mutex_);
      int source_index = SourcePageIndexOfItem(item);
      if (source_index >= 0) {
        const TfrxReportPage& source = *source_pages_[static_cast<size_t>(source_index)].page;
        attributes = serializer.WriteAttributes(source, "");
        name = source.Name();
        from_source = true;
      }
    }
    if (from_source) {
      serializer.ApplyItemAttributes(attributes, *page);
      SetNameQuietly(*page, name);
    }
    if (recycler) recycler->BeginPage();
    try {
      BuildObjects(item, page.get(), page.get(), serializer, recycler);
    } catch (...) {
      if (recycler) recycler->EndPage(nullptr);
      throw;
    }
    for (TfrxComponent* object : page->AllObjects()) object->Loaded();
    if (recycler) recycler->EndPage(page.get());
  }
  return page;
}

void TfrxPreviewPages::ClearPageCache() { page_cache_.clear(); }

bool TfrxPreviewPages::SwapsPages() const {
  return report_->engine_options.use_file_cache || document_->HasTempStream();
}

void TfrxPreviewPages::EvictPageCache() {
  size_t limit = static_cast<size_t>(std::max(report_->preview_options.pages_in_cache, 1));
  while (page_cache_.size() > limit) {
    int index = page_cache_.back().index;
    page_cache_.pop_back();
    if (SwapsPages() && index >= 0 && index < Count()) {
      TfrxXMLItem* item = PagesItem()->Items(index);
      if (item->Unloadable() && item->Loaded()) {
        if (listener_) listener_->PagesUnloading();
        document_->SwapOut(item);
      }
    }
  }
}

void TfrxPreviewPages::ReleasePageItem(int index) {
  if (!SwapsPages() || index < 0 || index >= Count()) return;
  for (const CachedPage& cached : page_cache_) {
    if (cached.index == index) return;
  }
  TfrxXMLItem* item = PagesItem()->Items(index);
  if (item->Unloadable() && item->Loaded()) {
    if (listener_) listener_->PagesUnloading();
    document_->SwapOut(item);
  }
}

TfrxReportPage* TfrxPreviewPages::Page(int index) {
  if (!EngineRunning()) {
    for (auto it = page_cache_.begin(); it != page_cache_.end(); ++it) {
      if (it->index == index) {
        page_cache_.splice(page_cache_.begin(), page_cache_, it);
        return page_cache_.front().page.get();
      }
    }
  }
  std::unique_ptr<TfrxReportPage> page = BuildPage(PageItem(index));
  page_cache_.remove_if([index](const CachedPage& c) { return c.index == index; });
  page_cache_.push_front(CachedPage{index, std::move(page)});
  TfrxReportPage* result = page_cache_.front().page.get();
  EvictPageCache();
  return result;
}

TfrxPageSize TfrxPreviewPages::PageSize(int index) {
  if (index < 0 || index >= Count()) return TfrxPageSize{};
  TfrxXMLItem* item = PagesItem()->Items(index);
  int source_index = SourcePageIndexOfItem(item);
  const TfrxReportPage* page = nullptr;
  if (source_index >= 0) {
    page = source_pages_[static_cast<size_t>(source_index)].page.get();
  } else {
    page = Page(index);
  }
  return TfrxPageSize{RoundToInt(page->Width()), RoundToInt(page->Height())};
}

int TfrxPreviewPages::GetLogicalPageNo() {
  TfrxXMLItem* numbers = Section(kLogicalPageNumbers);
  if (cur_page_ >= 0 && cur_page_ < numbers->Count()) {
    TfrxXMLItem* item = numbers->Items(cur_page_);
    if (item->HasAttribute("n")) return IntAttribute(item, "n");
  }
  return cur_page_ - first_page_;
}

int TfrxPreviewPages::GetLogicalTotalPages() {
  TfrxXMLItem* numbers = Section(kLogicalPageNumbers);
  if (cur_page_ >= 0 && cur_page_ < numbers->Count()) {
    TfrxXMLItem* item = numbers->Items(cur_page_);
    if (item->HasAttribute("t")) return IntAttribute(item, "t");
  }
  int total = engine_ ? engine_->TotalPages() : Count();
  return total - (first_page_ + 1);
}

// ---------------------------------------------------------------------------------------
// Editing

void TfrxPreviewPages::AddEmptyPage(int index) {
  if (index < 0 || index >= Count()) return;
  if (listener_) listener_->PagesChanging(index);
  ClearPageCache();
  TfrxXMLItem* pages = PagesItem();
  auto item = std::make_unique<TfrxXMLItem>();
  item->SetName(pages->Items(index)->Name());
  TfrxXMLItem* placed = pages->AddItem(std::move(item));
  pages->InsertItem(index, placed);
}

void TfrxPreviewPages::DeletePage(int index) {
  if (Count() <= 1 || index < 0 || index >= Count()) return;
  if (listener_) listener_->PagesChanging(index);
  ClearPageCache();
  PagesItem()->Delete(PagesItem()->Items(index));
  if (cur_page_ >= Count()) SetCurPage(Count() - 1);
}

void TfrxPreviewPages::ModifyPage(int index, const TfrxReportPage& page) {
  if (index < 0 || index >= Count()) return;
  if (listener_) listener_->PagesChanging(index);
  // The page may be one of the cache's own: it is written before the cache goes.
  auto item = std::make_unique<TfrxXMLItem>();
  serializer_->WriteTree(page, true, item.get());
  if (!page.Name().empty()) {
    item->SetText("Name=\"" + core::StrToXML(ToAnsi(page.Name())) + "\"" + item->Text());
  }
  ClearPageCache();
  TfrxXMLItem* pages = PagesItem();
  TfrxXMLItem* old = pages->Items(index);
  TfrxXMLItem* placed = pages->AddItem(std::move(item));
  pages->InsertItem(index, placed);
  pages->Delete(old);
}

size_t TfrxPreviewPages::HeldBytes() {
  size_t bytes = ItemBytes(document_->Root());
  for (const CachedPage& cached : page_cache_) bytes += TreeBytes(*cached.page);
  for (const SourceEntry& source : source_pages_) bytes += TreeBytes(*source.page);
  for (const auto& [copy, info] : source_info_) {
    bytes += sizeof(info) + info.alias.capacity() + info.reference_text.capacity();
  }
  bytes += links_.size() * kLinkBytes;
  bytes += picture_cache_.HeldBytes();
  return bytes;
}

}  // namespace lgoty::report
