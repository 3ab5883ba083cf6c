#include "report/prepared_outline.h"

#include "core/text_format.h"
#include "core/xml_document.h"

namespace lgoty::report {
namespace {

int IntAttribute(const core::TfrxXMLItem* item, std::string_view name) {
  int64_t value = 0;
  if (!core::TryStrToInt64(item->Attribute(name), value)) return 0;
  if (value > INT32_MAX || value < INT32_MIN) return 0;
  return static_cast<int>(value);
}

void Shift(core::TfrxXMLItem* item, int delta) {
  item->SetAttribute("page", std::to_string(IntAttribute(item, "page") + 1));
  item->SetAttribute("top", std::to_string(IntAttribute(item, "top") + delta));
  for (int i = 0; i < item->Count(); ++i) Shift(item->Items(i), delta);
}

void MoveTo(core::TfrxXMLItem* item, int page, int delta) {
  item->SetAttribute("page", std::to_string(page));
  item->SetAttribute("top", std::to_string(IntAttribute(item, "top") + delta));
  for (int i = 0; i < item->Count(); ++i) MoveTo(item->Items(i), page, delta);
}

}  // namespace

void TfrxOutline::AddItem(std::string_view text, int top) {
  if (!current_) return;
  core::TfrxXMLItem* item = current_->Add();
  item->SetName("item");
  item->SetAttribute("text", text);
  item->SetAttribute("page", std::to_string(current_page_));
  item->SetAttribute("top", std::to_string(top));
  current_ = item;
}

void TfrxOutline::LevelDown(int index) {
  if (current_ && index >= 0 && index < current_->Count()) current_ = current_->Items(index);
}

void TfrxOutline::LevelUp() {
  if (current_ && current_ != root_ && current_->Parent()) current_ = current_->Parent();
}

void TfrxOutline::LevelRoot() { current_ = root_; }

int TfrxOutline::Count() const { return current_ ? current_->Count() : 0; }

TfrxOutline::Entry TfrxOutline::GetItem(int index) const {
  if (!current_ || index < 0 || index >= current_->Count()) return Entry{};
  const core::TfrxXMLItem* item = current_->Items(index);
  return Entry{item->Attribute("text"), IntAttribute(item, "page"), IntAttribute(item, "top")};
}

core::TfrxXMLItem* TfrxOutline::CurPosition() const {
  if (!current_ || current_->Count() == 0) return nullptr;
  return current_->Items(current_->Count() - 1);
}

void TfrxOutline::MoveSince(const Mark& mark, int new_top) {
  if (!mark.parent || mark.count < 0 || mark.count >= mark.parent->Count()) return;
  const int delta = new_top - IntAttribute(mark.parent->Items(mark.count), "top");
  for (int i = mark.count; i < mark.parent->Count(); ++i)
    MoveTo(mark.parent->Items(i), current_page_, delta);
}

void TfrxOutline::ShiftItems(core::TfrxXMLItem* from, int new_top) {
  if (!from || !from->Parent()) return;
  core::TfrxXMLItem* parent = from->Parent();
  int index = parent->IndexOf(from) + 1;
  if (index <= 0 || index >= parent->Count()) return;
  core::TfrxXMLItem* next = parent->Items(index);
  Shift(next, new_top - IntAttribute(next, "top"));
}

}  // namespace lgoty::report
