#include "core/string_list.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/exception.h"
#include "core/locale.h"

namespace lgoty::core {
namespace {

constexpr char kNameValueSeparator = '=';
constexpr char kQuoteChar = '"';
constexpr char kDelimiter = ',';

[[noreturn]] void ThrowIndexError(int index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

[[noreturn]] void ThrowSortedError() {
  throw EListError("Operation not allowed on sorted list");
}

// Blanks and control characters separate unquoted items of a comma text.
bool IsBlank(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 1 && byte <= ' ';
}

bool NeedsQuotes(std::string_view item) {
  for (char c : item) {
    if (IsBlank(c) || c == kQuoteChar || c == kDelimiter) return true;
  }
  return false;
}

std::string Quoted(std::string_view item) {
  std::string out(1, kQuoteChar);
  for (char c : item) {
    out += c;
    if (c == kQuoteChar) out += kQuoteChar;
  }
  out += kQuoteChar;
  return out;
}

}  // namespace

// ---- Access ------------------------------------------------------------------------------

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) ThrowIndexError(index);
}

const std::string& TStringList::Get(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].text;
}

void TStringList::Put(int index, std::string value) {
  if (sorted_) ThrowSortedError();
  CheckIndex(index);
  items_[static_cast<size_t>(index)].text = std::move(value);
  Changed();
}

TObject* TStringList::GetObject(int index) const {
  CheckIndex(index);
  return items_[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int index, TObject* object) {
  CheckIndex(index);
  items_[static_cast<size_t>(index)].object = object;
  Changed();
}

// ---- Changing the list -----------------------------------------------------------------

int TStringList::Add(std::string value) { return AddObject(std::move(value), nullptr); }

int TStringList::AddObject(std::string value, TObject* object) {
  int index = Count();
  if (sorted_) {
    if (Find(value, index)) {
      if (duplicates_ == Duplicates::dupIgnore) return index;
      if (duplicates_ == Duplicates::dupError) {
        throw EListError("String list does not allow duplicates");
      }
    }
  }
  items_.insert(items_.begin() + index, Item{std::move(value), object});
  Changed();
  return index;
}

void TStringList::Insert(int index, std::string value) {
  if (sorted_) ThrowSortedError();
  if (index < 0 || index > Count()) ThrowIndexError(index);
  items_.insert(items_.begin() + index, Item{std::move(value), nullptr});
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  Changed();
}

void TStringList::Exchange(int a, int b) {
  if (sorted_) ThrowSortedError();
  CheckIndex(a);
  CheckIndex(b);
  std::swap(items_[static_cast<size_t>(a)], items_[static_cast<size_t>(b)]);
  Changed();
}

void TStringList::Move(int from, int to) {
  if (sorted_) ThrowSortedError();
  CheckIndex(from);
  CheckIndex(to);
  if (from == to) return;
  Item item = std::move(items_[static_cast<size_t>(from)]);
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, std::move(item));
  Changed();
}

void TStringList::Assign(const TStringList& other) {
  if (&other == this) return;
  BeginUpdate();
  try {
    Clear();
    AddStrings(other);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStringList::AddStrings(const TStringList& other) {
  // A copy first, so that adding a list to itself adds each line once.
  std::vector<Item> source = other.items_;
  BeginUpdate();
  try {
    for (Item& item : source) AddObject(std::move(item.text), item.object);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ---- Searching ---------------------------------------------------------------------------

int TStringList::Compare(std::string_view a, std::string_view b) const {
  return case_sensitive_ ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

bool TStringList::Find(std::string_view value, int& index) const {
  if (!sorted_) {
    // Without the order a binary search means nothing: scan, and report the end as the
    // place a new line would go.
    for (int i = 0; i < Count(); ++i) {
      if (Compare(items_[static_cast<size_t>(i)].text, value) == 0) {
        index = i;
        return true;
      }
    }
    index = Count();
    return false;
  }
  // Lower bound: the first line not less than value, so that among equal lines the first
  // one is found.
  int low = 0;
  int high = Count();
  while (low < high) {
    int middle = low + (high - low) / 2;
    if (Compare(items_[static_cast<size_t>(middle)].text, value) < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  index = low;
  return low < Count() && Compare(items_[static_cast<size_t>(low)].text, value) == 0;
}

int TStringList::IndexOf(std::string_view value) const {
  int index = -1;
  return Find(value, index) ? index : -1;
}

// ---- name=value --------------------------------------------------------------------------

int TStringList::IndexOfName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& line = items_[static_cast<size_t>(i)].text;
    size_t separator = line.find(kNameValueSeparator);
    if (separator != std::string::npos &&
        Compare(std::string_view(line).substr(0, separator), name) == 0) {
      return i;
    }
  }
  return -1;
}

std::string TStringList::Names(int index) const {
  const std::string& line = Get(index);
  size_t separator = line.find(kNameValueSeparator);
  return separator == std::string::npos ? std::string() : line.substr(0, separator);
}

std::string TStringList::ValueFromIndex(int index) const {
  const std::string& line = Get(index);
  size_t separator = line.find(kNameValueSeparator);
  return separator == std::string::npos ? std::string() : line.substr(separator + 1);
}

std::string TStringList::Values(std::string_view name) const {
  int index = IndexOfName(name);
  return index < 0 ? std::string() : ValueFromIndex(index);
}

void TStringList::SetValue(std::string_view name, std::string_view value) {
  int index = IndexOfName(name);
  if (value.empty()) {
    if (index >= 0) Delete(index);
    return;
  }
  std::string line = std::string(name) + kNameValueSeparator + std::string(value);
  if (index < 0) {
    Add(std::move(line));
  } else if (sorted_) {
    // A sorted list cannot change a line in place: the new line takes its sorted place.
    BeginUpdate();
    try {
      Delete(index);
      Add(std::move(line));
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
  } else {
    Put(index, std::move(line));
  }
}

// ---- Text forms --------------------------------------------------------------------------

std::string TStringList::Text() const {
  std::string out;
  TextTo(out);
  return out;
}

void TStringList::TextTo(std::string& out) const {
  size_t size = 0;
  for (const Item& item : items_) size += item.text.size() + 2;
  out.clear();
  out.reserve(size);
  for (const Item& item : items_) {
    out += item.text;
    out += "\r\n";
  }
}

bool TStringList::TextEquals(std::string_view text) const {
  size_t pos = 0;
  for (const Item& item : items_) {
    const size_t n = item.text.size();
    if (text.size() - pos < n + 2 || text.compare(pos, n, item.text) != 0 || text[pos + n] != '\r' ||
        text[pos + n + 1] != '\n') {
      return false;
    }
    pos += n + 2;
  }
  return pos == text.size();
}

void TStringList::JoinedTo(std::string& out) const {
  TextTo(out);
  if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) out.resize(out.size() - 2);
}

bool TStringList::JoinedEquals(std::string_view text) const {
  if (items_.empty()) return text.empty();
  size_t pos = 0;
  for (size_t i = 0; i < items_.size(); ++i) {
    const std::string& line = items_[i].text;
    const size_t n = line.size();
    if (text.size() - pos < n || text.compare(pos, n, line) != 0) return false;
    pos += n;
    if (i + 1 == items_.size()) break;
    if (text.size() - pos < 2 || text[pos] != '\r' || text[pos + 1] != '\n') return false;
    pos += 2;
  }
  return pos == text.size();
}

void TStringList::CopyLinesFrom(const TStringList& other) {
  if (&other == this) return;
  if (sorted_ || other.sorted_) ThrowSortedError();
  if (SameLines(other)) return;
  const size_t kept = std::min(items_.size(), other.items_.size());
  for (size_t i = 0; i < kept; ++i) {
    items_[i].text.assign(other.items_[i].text);
    items_[i].object = other.items_[i].object;
  }
  items_.resize(kept);
  items_.insert(items_.end(), other.items_.begin() + static_cast<std::ptrdiff_t>(kept), other.items_.end());
  Changed();
}

bool TStringList::SameLines(const TStringList& other) const {
  if (items_.size() != other.items_.size()) return false;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].object != other.items_[i].object || items_[i].text != other.items_[i].text) return false;
  }
  return true;
}

void TStringList::SwapLines(TStringList& other) {
  if (&other == this) return;
  if (sorted_ || other.sorted_) ThrowSortedError();
  if (SameLines(other)) return;
  items_.swap(other.items_);
  Changed();
  other.Changed();
}

namespace {

// The end of the line that begins at `start`: the first CR or LF, or the end of the text.
// memchr scans many bytes per step: the LF first, then a CR only before it (a memo's text is
// set again on every print, so this runs over every row's texts).
size_t LineEnd(std::string_view text, size_t start) {
  const char* p = text.data() + start;
  const size_t rest = text.size() - start;
  const void* lf = rest == 0 ? nullptr : std::memchr(p, '\n', rest);
  const size_t before_lf = lf == nullptr ? rest : static_cast<size_t>(static_cast<const char*>(lf) - p);
  const void* cr = before_lf == 0 ? nullptr : std::memchr(p, '\r', before_lf);
  const size_t length = cr == nullptr ? before_lf : static_cast<size_t>(static_cast<const char*>(cr) - p);
  return start + length;
}

}  // namespace

void TStringList::SetText(std::string_view text) {
  if (!sorted_) {
    // An unsorted list takes the lines in order: they overwrite the items in place, so a
    // text set again and again (a memo's text on every print) reuses the lines' storage.
    // The same one change notice as Clear followed by Add for every line.
    const bool had_items = !items_.empty();
    size_t count = 0;
    for (size_t start = 0; start < text.size();) {
      const size_t end = LineEnd(text, start);
      const std::string_view line = text.substr(start, end - start);
      if (count < items_.size()) {
        items_[count].text.assign(line);
        items_[count].object = nullptr;
      } else {
        items_.push_back(Item{std::string(line), nullptr});
      }
      ++count;
      if (end == text.size()) break;
      start = end + 1;
      if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    items_.resize(count);
    if (had_items || count > 0) {
      BeginUpdate();
      Changed();
      EndUpdate();
    }
    return;
  }
  BeginUpdate();
  try {
    Clear();
    size_t start = 0;
    while (start < text.size()) {
      size_t end = LineEnd(text, start);
      if (end == text.size()) {
        Add(std::string(text.substr(start)));
        break;
      }
      Add(std::string(text.substr(start, end - start)));
      start = end + 1;
      if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TStringList::CommaText() const {
  // A single empty line must be written as "" so that it reads back as one line.
  if (Count() == 1 && items_[0].text.empty()) return std::string(2, kQuoteChar);
  std::string out;
  for (int i = 0; i < Count(); ++i) {
    if (i > 0) out += kDelimiter;
    const std::string& item = items_[static_cast<size_t>(i)].text;
    out += NeedsQuotes(item) ? Quoted(item) : item;
  }
  return out;
}

// Items are separated by a comma or by blanks; a quoted item keeps blanks and commas, and
// a doubled quote inside it is one quote. A comma at the very end adds an empty last item.
void TStringList::SetCommaText(std::string_view text) {
  BeginUpdate();
  try {
    Clear();
    size_t p = 0;
    size_t n = text.size();
    auto skip_blanks = [&] {
      while (p < n && IsBlank(text[p])) ++p;
    };
    skip_blanks();
    while (p < n) {
      std::string item;
      if (text[p] == kQuoteChar) {
        ++p;
        while (p < n) {
          if (text[p] == kQuoteChar) {
            if (p + 1 < n && text[p + 1] == kQuoteChar) {
              item += kQuoteChar;
              p += 2;
              continue;
            }
            ++p;
            break;
          }
          item += text[p++];
        }
      } else {
        size_t start = p;
        while (p < n && !IsBlank(text[p]) && text[p] != kDelimiter) ++p;
        item.assign(text.substr(start, p - start));
      }
      Add(std::move(item));
      skip_blanks();
      if (p < n && text[p] == kDelimiter) {
        if (p + 1 == n) Add(std::string());
        ++p;
        skip_blanks();
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ---- Order -------------------------------------------------------------------------------

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == case_sensitive_) return;
  case_sensitive_ = value;
  if (sorted_) Sort();
}

void TStringList::Sort() {
  if (items_.size() < 2) return;
  std::stable_sort(items_.begin(), items_.end(), [this](const Item& a, const Item& b) {
    return Compare(a.text, b.text) < 0;
  });
  Changed();
}

// ---- Change notification -----------------------------------------------------------------

void TStringList::Changed() {
  if (update_count_ > 0) {
    changed_while_updating_ = true;
    return;
  }
  if (OnChange) OnChange();
}

void TStringList::BeginUpdate() { ++update_count_; }

void TStringList::EndUpdate() {
  if (update_count_ == 0) return;
  if (--update_count_ == 0 && changed_while_updating_) {
    changed_while_updating_ = false;
    if (OnChange) OnChange();
  }
}

}  // namespace lgoty::core
