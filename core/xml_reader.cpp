#include <cstring>
#include <vector>

#include "core/ascii_text.h"
#include "core/xml_io.h"

namespace lgoty::core {
namespace {

// Removes the trailing '/' of an empty element from name or text; true when there was one.
bool TakeEmptyMark(std::string& name, std::string& text) {
  if (!name.empty() && name.back() == '/') {
    name.pop_back();
    return true;
  }
  if (!text.empty() && text.back() == '/') {
    text.pop_back();
    return true;
  }
  return false;
}

// Removes the swap mark ` ld="0"` from the text; true when it was there.
bool TakeSwapMark(std::string& text) {
  static constexpr std::string_view kMark = " ld=\"0\"";
  const std::string probe = AsciiLower(" " + text);  // an item whose only attribute is the mark
  size_t at = probe.find(kMark);
  if (at == std::string::npos) return false;
  if (at == 0) {
    text.erase(0, std::min(text.size(), kMark.size() - 1));
  } else {
    text.erase(at - 1, kMark.size());
  }
  return true;
}

}  // namespace

TfrxXMLReader::TfrxXMLReader(TStream& stream) : stream_(stream) {
  buffer_start_ = stream_.Position();
}

TfrxXMLReader::~TfrxXMLReader() {
  try {
    stream_.SetPosition(Position());
  } catch (...) {
    // A stream that cannot seek back keeps its position; nothing else depends on it.
  }
}

bool TfrxXMLReader::Fill() {
  if (eof_) return false;
  buffer_start_ += static_cast<int64_t>(buffer_len_);
  buffer_len_ = stream_.Read(buffer_, kBufferSize);
  buffer_pos_ = 0;
  if (buffer_len_ == 0) {
    eof_ = true;
    return false;
  }
  return true;
}

inline bool TfrxXMLReader::GetChar(char& c) {
  if (buffer_pos_ >= buffer_len_ && !Fill()) return false;
  c = buffer_[buffer_pos_++];
  return true;
}

// A comment ends at the first '>' preceded by exactly two dashes since the last other
// character; a third dash starts the count again. Counting starts after the opening "!--",
// so "<!---->" is an empty comment.
void TfrxXMLReader::SkipComment() {
  int dashes = 0;
  char c;
  for (;;) {
    if (!GetChar(c)) throw TfrxInvalidXMLException();
    if (c == '-') {
      dashes = dashes == 2 ? 0 : dashes + 1;
    } else if (c == '>' && dashes == 2) {
      return;
    } else {
      dashes = 0;
    }
  }
}

bool TfrxXMLReader::NextTag() {
  for (;;) {
    // Skip character data up to the next '<'.
    for (;;) {
      if (buffer_pos_ >= buffer_len_ && !Fill()) return false;
      const void* lt = std::memchr(buffer_ + buffer_pos_, '<', buffer_len_ - buffer_pos_);
      if (!lt) {
        buffer_pos_ = buffer_len_;
        continue;
      }
      buffer_pos_ = static_cast<size_t>(static_cast<const char*>(lt) - buffer_) + 1;
      break;
    }
    tag_start_ = Position() - 1;
    tag_.clear();
    // The first three characters one by one, to see a comment opening.
    char c;
    bool closed = false;
    while (tag_.size() < 3) {
      if (!GetChar(c)) throw TfrxInvalidXMLException();
      if (c == '<') throw TfrxInvalidXMLException();
      if (c == '>') {
        closed = true;
        break;
      }
      tag_ += c;
    }
    if (closed) return true;
    if (tag_ == "!--") {
      SkipComment();
      continue;
    }
    // The rest of the tag in runs up to '>' (or a stray '<').
    for (;;) {
      if (buffer_pos_ >= buffer_len_ && !Fill()) throw TfrxInvalidXMLException();
      const char* start = buffer_ + buffer_pos_;
      size_t n = buffer_len_ - buffer_pos_;
      size_t i = 0;
      while (i < n && start[i] != '>' && start[i] != '<') ++i;
      tag_.append(start, i);
      buffer_pos_ += i;
      if (i < n) {
        ++buffer_pos_;
        if (start[i] == '<') throw TfrxInvalidXMLException();
        return true;
      }
    }
  }
}

void TfrxXMLReader::SplitTag(std::string& name, std::string& text) {
  if (!tag_.empty() && tag_.back() == ' ') tag_.pop_back();
  size_t blank = tag_.find(' ');
  if (blank == std::string::npos) {
    name = tag_;
    text.clear();
  } else {
    name = tag_.substr(0, blank);
    text = tag_.substr(blank + 1);
  }
}

bool TfrxXMLReader::ReadHeader() {
  if (!NextTag() || tag_.compare(0, 4, "?xml") != 0) throw TfrxInvalidXMLException();
  std::string version;
  size_t at = tag_.find("version=\"");
  if (at != std::string::npos) version = tag_.substr(at + 9, 3);
  return version == "1.0" && tag_.find("standalone=") == std::string::npos;
}

void TfrxXMLReader::ReadItem(TfrxXMLItem* item, bool allow_swapping) {
  if (!NextTag()) return;
  std::string name, text;
  SplitTag(name, text);
  if (!name.empty() && name[0] == '/') throw TfrxInvalidXMLException();
  item->name_ = std::move(name);
  item->text_ = std::move(text);
  if (TakeEmptyMark(item->name_, item->text_)) return;

  struct Open {
    TfrxXMLItem* item;
    int64_t start;
  };
  std::vector<Open> open;
  open.push_back({item, tag_start_});
  while (!open.empty()) {
    if (!NextTag()) throw TfrxInvalidXMLException();
    SplitTag(name, text);
    if (!name.empty() && name[0] == '/') {
      Open top = open.back();
      if (!AsciiSameText(std::string_view(name).substr(1), top.item->name_)) {
        throw TfrxInvalidXMLException();
      }
      open.pop_back();
      if (TakeSwapMark(top.item->text_) && allow_swapping) {
        top.item->Clear();
        top.item->offset_ = top.start;
        top.item->unloadable_ = true;
        top.item->loaded_ = false;
      }
      continue;
    }
    TfrxXMLItem* child = open.back().item->Add();
    child->name_ = std::move(name);
    child->text_ = std::move(text);
    if (TakeEmptyMark(child->name_, child->text_)) continue;
    if (static_cast<int>(open.size()) >= kMaxDepth) throw TfrxInvalidXMLException();
    open.push_back({child, tag_start_});
  }
}

}  // namespace lgoty::core
