#include "core/xml_document.h"

#include <algorithm>
#include <cassert>

#include "core/ascii_text.h"
#include "core/locale.h"
#include "core/xml_io.h"

namespace lgoty::core {

// ---------------------------------------------------------------------------------------
// TfrxXMLItem

TfrxXMLItem::~TfrxXMLItem() {
  // Children are freed with their owning vector; each child's parent_ points here, which
  // dies with it, so nothing has to be unlinked.
}

TfrxXMLItem* TfrxXMLItem::Add() {
  auto item = std::make_unique<TfrxXMLItem>();
  item->parent_ = this;
  items_.push_back(std::move(item));
  return items_.back().get();
}

std::unique_ptr<TfrxXMLItem> TfrxXMLItem::Release(TfrxXMLItem* child) {
  auto it = std::find_if(items_.begin(), items_.end(),
                         [child](const auto& p) { return p.get() == child; });
  if (it == items_.end()) return nullptr;
  std::unique_ptr<TfrxXMLItem> owned = std::move(*it);
  items_.erase(it);
  owned->parent_ = nullptr;
  return owned;
}

TfrxXMLItem* TfrxXMLItem::AddItem(std::unique_ptr<TfrxXMLItem> item) {
  item->parent_ = this;
  items_.push_back(std::move(item));
  return items_.back().get();
}

TfrxXMLItem* TfrxXMLItem::AddItem(TfrxXMLItem* item) {
  return InsertItem(Count(), item);
}

TfrxXMLItem* TfrxXMLItem::InsertItem(int index, TfrxXMLItem* item) {
  assert(item != this);
  // Only an item that some parent owns can be moved by pointer; a free item must be handed
  // over as a unique_ptr.
  if (!item || !item->parent_) return nullptr;
  for (const TfrxXMLItem* a = this; a; a = a->parent_) {
    if (a == item) return nullptr;  // would make the tree a cycle
  }
  TfrxXMLItem* old_parent = item->parent_;
  int old_index = old_parent->IndexOf(item);
  std::unique_ptr<TfrxXMLItem> owned = old_parent->Release(item);
  if (old_parent == this && old_index < index) --index;
  index = std::clamp(index, 0, Count());
  owned->parent_ = this;
  items_.insert(items_.begin() + index, std::move(owned));
  return item;
}

int TfrxXMLItem::IndexOf(const TfrxXMLItem* item) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == item) return static_cast<int>(i);
  }
  return -1;
}

int TfrxXMLItem::Find(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (AnsiSameText(items_[i]->name_, name)) return static_cast<int>(i);
  }
  return -1;
}

int TfrxXMLItem::FindRemembered(std::string_view name, TfrxFoundChild& memo) const {
  const uint64_t collation = CollationGeneration();
  const size_t known = memo.names.size();
  if (known > 0 && known <= items_.size() && memo.collation == collation && memo.name == name) {
    size_t i = 0;
    while (i < known && items_[i]->name_ == memo.names[i]) ++i;
    if (i == known) return static_cast<int>(known - 1);
  }
  const int found = Find(name);
  memo.names.clear();
  if (found >= 0) {
    for (int i = 0; i <= found; ++i) memo.names.push_back(items_[static_cast<size_t>(i)]->name_);
    memo.name.assign(name);
    memo.collation = collation;
  }
  return found;
}

TfrxXMLItem* TfrxXMLItem::FindItem(std::string_view name) {
  int i = Find(name);
  if (i >= 0) return items_[i].get();
  TfrxXMLItem* item = Add();
  item->name_ = std::string(name);
  return item;
}

void TfrxXMLItem::Clear() { items_.clear(); }

// Attribute names are ASCII, so an ASCII upper-casing keeps byte positions aligned with the
// original text (a locale upper-casing could change the length of UTF-8 values).
size_t TfrxXMLItem::FindAttribute(std::string_view name) const {
  if (name.empty()) return std::string::npos;
  // Search " NAME=\"" in " " + TEXT, compared without regard to ASCII case.
  const size_t pattern_len = name.size() + 3;
  const size_t hay_len = text_.size() + 1;
  if (hay_len < pattern_len) return std::string::npos;
  auto hay = [&](size_t i) { return i == 0 ? ' ' : AsciiUpper(text_[i - 1]); };
  auto pat = [&](size_t i) {
    if (i == 0) return ' ';
    if (i <= name.size()) return AsciiUpper(name[i - 1]);
    return i == name.size() + 1 ? '=' : '"';
  };
  for (size_t start = 0; start + pattern_len <= hay_len; ++start) {
    size_t k = 0;
    while (k < pattern_len && hay(start + k) == pat(k)) ++k;
    if (k == pattern_len) return start;  // index in text_ of the name's first letter
  }
  return std::string::npos;
}

std::string TfrxXMLItem::Attribute(std::string_view name) const {
  size_t at = FindAttribute(name);
  if (at == std::string::npos) return std::string();
  size_t value_start = at + name.size() + 2;
  size_t value_end = text_.find('"', value_start);
  if (value_end == std::string::npos) value_end = text_.size();
  return XMLToStr(std::string_view(text_).substr(value_start, value_end - value_start));
}

bool TfrxXMLItem::HasAttribute(std::string_view name) const {
  return FindAttribute(name) != std::string::npos;
}

void TfrxXMLItem::SetAttribute(std::string_view name, std::string_view value) {
  std::string attribute = std::string(name) + "=\"" + StrToXML(value) + "\"";
  size_t at = FindAttribute(name);
  size_t insert_at = text_.size();
  if (at != std::string::npos) {
    size_t value_end = text_.find('"', at + name.size() + 2);
    size_t end = value_end == std::string::npos ? text_.size() : value_end + 1;
    text_.erase(at, end - at);
    insert_at = at;
  }
  if (insert_at > 0 && text_[insert_at - 1] != ' ') attribute.insert(attribute.begin(), ' ');
  text_.insert(insert_at, attribute);
}

// ---------------------------------------------------------------------------------------
// TfrxXMLDocument

TfrxXMLDocument::TfrxXMLDocument() : root_(std::make_unique<TfrxXMLItem>()) {}

TfrxXMLDocument::~TfrxXMLDocument() { CloseTemp(); }

void TfrxXMLDocument::CloseTemp() {
  temp_stream_ = nullptr;
  owned_temp_.reset();  // a temporary file deletes itself on close
}

void TfrxXMLDocument::Clear() {
  root_->Clear();
  CloseTemp();
}

void TfrxXMLDocument::LoadFromStream(TStream& stream, bool allow_swapping) {
  Clear();
  root_->name_.clear();
  root_->text_.clear();
  TfrxXMLReader reader(stream);
  old_version_ = reader.ReadHeader();
  reader.ReadItem(root_.get(), allow_swapping);
  if (allow_swapping) temp_stream_ = &stream;
}

void TfrxXMLDocument::LoadFromStream(std::unique_ptr<TStream> stream, bool allow_swapping) {
  LoadFromStream(*stream, allow_swapping);
  if (allow_swapping) owned_temp_ = std::move(stream);
}

void TfrxXMLDocument::SaveToStream(TStream& stream) {
  TfrxXMLWriter writer(stream, this, auto_indent_);
  writer.WriteHeader();
  writer.WriteItem(root_.get(), 0);
  writer.Flush();
}

TStream& TfrxXMLDocument::TempStream() {
  if (!temp_stream_ && temp_factory_) {
    owned_temp_ = temp_factory_(temp_dir_);
    temp_stream_ = owned_temp_.get();
  }
  if (!temp_stream_) {
    owned_temp_ = std::make_unique<TMemoryStream>();
    temp_stream_ = owned_temp_.get();
  }
  return *temp_stream_;
}

void TfrxXMLDocument::SwapOut(TfrxXMLItem* item) {
  if (!item->unloadable_ || !item->loaded_) return;
  TStream& temp = TempStream();
  item->offset_ = temp.Seek(0, SeekOrigin::End);
  {
    TfrxXMLWriter writer(temp, this, false);
    writer.WriteItem(item, 0);
    writer.Flush();
  }
  item->Clear();
  item->loaded_ = false;
}

void TfrxXMLDocument::SwapIn(TfrxXMLItem* item) {
  if (!item->unloadable_ || item->loaded_ || !temp_stream_) return;
  TStream& temp = *temp_stream_;
  temp.SetPosition(item->offset_);
  TfrxXMLItem copy;
  {
    TfrxXMLReader reader(temp);
    reader.ReadItem(&copy, false);
  }
  item->Clear();
  while (copy.Count() > 0) item->AddItem(copy.Items(0));
  item->loaded_ = true;
}

}  // namespace lgoty::core
