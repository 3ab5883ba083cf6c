// TDataSet: bookmarks, Locate and Lookup, filters.
#include <algorithm>

#include "core/locale.h"
#include "core/utf8_text.h"
#include "data/database_error.h"
#include "data/dataset.h"

namespace lgoty::data {

namespace {

bool IsTextField(const TField& field) {
  switch (field.DataType()) {
    case TFieldType::ftString:
    case TFieldType::ftFixedChar:
    case TFieldType::ftWideString:
    case TFieldType::ftGuid:
    case TFieldType::ftMemo:
    case TFieldType::ftFmtMemo:
      return true;
    default:
      return false;
  }
}

bool SameText(std::string_view a, std::string_view b, bool case_insensitive) {
  return case_insensitive ? core::AnsiSameText(a, b) : a == b;
}

// The key value for field i: a single value serves a single field; otherwise an array with
// one element per field.
const core::Variant& KeyValue(const core::Variant& values, size_t count, size_t i) {
  if (count == 1 && !values.IsArray()) return values;
  return values.At(values.ArrayLow() + static_cast<int32_t>(i));
}

}  // namespace

// ---- bookmarks ------------------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() const {
  if (!Active() || record_count_ == 0) return {};
  const TRecordBuffer& buffer = ActiveBuffer();
  if (buffer.bookmark_flag != TBookmarkFlag::bfCurrent) return {};
  return GetBookmarkData(buffer);
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.IsEmpty()) return;
  CheckBrowseMode();
  Fire(BeforeScroll);
  CursorPosChanged();
  InternalGotoBookmark(bookmark);
  Resync(true, true);
  Fire(AfterScroll);
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
  if (a.IsEmpty()) return b.IsEmpty() ? 0 : 1;
  if (b.IsEmpty()) return -1;
  int result = CompareBookmarkData(a, b);
  return result < 0 ? -1 : result > 0 ? 1 : 0;
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) {
  if (bookmark.IsEmpty() || !Active()) return false;
  CursorPosChanged();
  bool valid = false;
  try {
    InternalGotoBookmark(bookmark);
    valid = GetRecord(*lookup_buffer_, TGetMode::gmCurrent) == TGetResult::grOK;
  } catch (const EDatabaseError&) {
    valid = false;
  }
  CursorPosChanged();
  return valid;
}

// ---- Locate and Lookup ----------------------------------------------------------------------

bool TDataSet::MatchesKey(const std::vector<TField*>& fields, const core::Variant& values,
                          TLocateOptions options) const {
  for (size_t i = 0; i < fields.size(); ++i) {
    const TField& field = *fields[i];
    const core::Variant& value = KeyValue(values, fields.size(), i);
    bool equal;
    if (IsTextField(field)) {
      std::string field_text = field.AsString();
      std::string value_text = core::VarToStr(value);
      equal = SameText(field_text, value_text, options.loCaseInsensitive);
      if (!equal && options.loPartialKey) {
        size_t value_chars = core::Utf8Length(value_text);
        equal = value_text.empty() ||
                (value_chars < core::Utf8Length(field_text) &&
                 SameText(core::Utf8Prefix(field_text, value_chars), value_text,
                          options.loCaseInsensitive));
      }
    } else if (value.IsEmptyOrNull() || field.IsNull()) {
      equal = value.IsEmptyOrNull() && field.IsNull();
    } else {
      try {
        equal = core::VarCompare(field.AsVariant(), value) == core::VarCompareResult::Equal;
      } catch (const core::Exception&) {
        equal = false;  // a value of another kind (text that is no number) matches nothing
      }
    }
    if (!equal) return false;
  }
  return true;
}

bool TDataSet::LocateRecord(std::string_view, const std::vector<TField*>& fields,
                            const core::Variant& values, TLocateOptions options, bool) {
  // The scan moves the cursor; the window keeps its records and the next movement puts the
  // cursor back (or the caller resynchronises on the record found).
  CursorPosChanged();
  InternalFirst();
  TRecordBuffer& buffer = *lookup_buffer_;
  while (GetRecord(buffer, TGetMode::gmNext) == TGetResult::grOK) {
    TempState scope(*this, TDataSetState::dsFilter, &buffer);
    if (MatchesKey(fields, values, options)) return true;
  }
  CursorPosChanged();
  return false;
}

bool TDataSet::Locate(std::string_view key_fields, const core::Variant& values,
                      TLocateOptions options) {
  CheckBrowseMode();
  std::vector<TField*> fields = GetFieldList(key_fields);
  if (fields.empty()) throw EDatabaseError(FieldNotFoundText(key_fields));
  Fire(BeforeScroll);
  bool found = LocateRecord(key_fields, fields, values, options, true);
  if (found) {
    Resync(true, true);
    Fire(AfterScroll);
  }
  return found;
}

core::Variant TDataSet::Lookup(std::string_view key_fields, const core::Variant& values,
                               std::string_view result_fields) {
  CheckBrowseMode();
  std::vector<TField*> fields = GetFieldList(key_fields);
  std::vector<TField*> results = GetFieldList(result_fields);
  if (fields.empty()) throw EDatabaseError(FieldNotFoundText(key_fields));
  if (values.IsNull()) return core::Variant::Null();
  if (!LocateRecord(key_fields, fields, values, TLocateOptions{}, false)) {
    return core::Variant::Null();
  }
  TempState scope(*this, TDataSetState::dsFilter, lookup_buffer_.get());
  if (results.size() == 1) return results[0]->AsVariant();
  std::vector<core::Variant> row;
  for (TField* field : results) row.push_back(field->AsVariant());
  return core::Variant::Array(std::move(row));
}

// ---- filters --------------------------------------------------------------------------------

void TDataSet::FilterChanged() {
  CheckBrowseMode();
  if (record_count_ > 0) {
    UpdateCursorPos();
  } else {
    CursorPosChanged();
    InternalFirst();
  }
  Resync(false, false);
}

void TDataSet::SetFilter(std::string text) {
  std::string old = std::move(filter_text_);
  filter_text_ = std::move(text);
  try {
    FilterTextChanged();
  } catch (...) {
    filter_text_ = std::move(old);
    throw;
  }
  if (Active() && filtered_) FilterChanged();
}

void TDataSet::SetFiltered(bool filtered) {
  if (filtered == filtered_) return;
  filtered_ = filtered;
  if (Active()) FilterChanged();
}

void TDataSet::SetFilterOptions(TFilterOptions options) {
  TFilterOptions old = filter_options_;
  filter_options_ = options;
  try {
    FilterTextChanged();
  } catch (...) {
    filter_options_ = old;
    throw;
  }
  if (Active() && filtered_) FilterChanged();
}

}  // namespace lgoty::data
