#include "report/ini_file.h"

#include <algorithm>

#include "core/format_settings.h"
#include "core/locale.h"
#include "core/text_format.h"
#include "core/text_trim.h"
#include "platform/file.h"

namespace lgoty::report {

namespace {

std::string_view Trim(std::string_view s) { return core::Trim(s, " \t"); }

bool SameName(std::string_view a, std::string_view b) { return core::AnsiSameText(a, b); }

}  // namespace

TIniFile::TIniFile(std::string file_name) : TIniFile(std::move(file_name), true) {}

TIniFile::TIniFile(std::string file_name, bool write_through)
    : file_name_(std::move(file_name)), write_through_(write_through) {
  sections_.push_back({});
  if (file_name_.empty() || !platform::FileExists(file_name_)) return;
  const std::vector<std::byte> bytes = platform::ReadWholeFile(file_name_);
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    const std::string_view trimmed = Trim(line);
    if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
      sections_.push_back({std::string(Trim(trimmed.substr(1, trimmed.size() - 2))), true, {}});
      continue;
    }
    const size_t eq = line.find('=');
    const bool pair = sections_.size() > 1 && eq != std::string_view::npos && !Trim(line.substr(0, eq)).empty() &&
                      trimmed.front() != ';';
    if (pair) {
      sections_.back().lines.push_back({std::string(Trim(line.substr(0, eq))), std::string(Trim(line.substr(eq + 1)))});
    } else {
      sections_.back().lines.push_back({"", std::string(line)});
    }
  }
}

const TIniFile::Section* TIniFile::FindSection(std::string_view name) const {
  for (const Section& s : sections_) {
    if (s.header && SameName(s.name, name)) return &s;
  }
  return nullptr;
}

const TIniFile::Line* TIniFile::FindLine(std::string_view section, std::string_view ident) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return nullptr;
  for (const Line& l : s->lines) {
    if (!l.key.empty() && SameName(l.key, ident)) return &l;
  }
  return nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view ident, std::string_view def) const {
  const Line* l = FindLine(section, ident);
  return l != nullptr ? l->text : std::string(def);
}

void TIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
  const std::string key(Trim(ident));
  if (key.empty() || key.find('=') != std::string::npos) return;  // no pair could hold it
  std::string text(Trim(value));
  std::replace(text.begin(), text.end(), '\r', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  if (Line* l = const_cast<Line*>(FindLine(section, key))) {
    l->text = std::move(text);
  } else {
    Section* s = const_cast<Section*>(FindSection(section));
    if (s == nullptr) {
      sections_.push_back({std::string(Trim(section)), true, {}});
      s = &sections_.back();
    }
    // After the section's last pair, before the blank lines that separate it.
    auto at = s->lines.end();
    while (at != s->lines.begin() && (at - 1)->key.empty() && Trim((at - 1)->text).empty()) --at;
    s->lines.insert(at, {key, std::move(text)});
  }
  Changed();
}

int64_t TIniFile::ReadInteger(std::string_view section, std::string_view ident, int64_t def) const {
  const std::string text(Trim(ReadString(section, ident, "")));
  if (text.empty()) return def;
  int64_t value = 0;
  const bool negative = text[0] == '-';
  std::string_view digits = std::string_view(text).substr(negative ? 1 : 0);
  int base = 10;
  if (!digits.empty() && digits[0] == '$') {
    base = 16;
    digits.remove_prefix(1);
  } else if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty() || digits.size() > 18) return def;
  for (char c : digits) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
    if (d >= base) return def;
    value = value * base + d;
  }
  return negative ? -value : value;
}

void TIniFile::WriteInteger(std::string_view section, std::string_view ident, int64_t value) {
  WriteString(section, ident, std::to_string(value));
}

bool TIniFile::ReadBool(std::string_view section, std::string_view ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

double TIniFile::ReadFloat(std::string_view section, std::string_view ident, double def) const {
  double value = 0;
  const std::string text = ReadString(section, ident, "");
  return core::TryStrToFloat(Trim(text), value, core::DefaultFormatSettings()) ? value : def;
}

void TIniFile::WriteFloat(std::string_view section, std::string_view ident, double value) {
  WriteString(section, ident, core::FloatToStr(value, core::DefaultFormatSettings()));
}

bool TIniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TIniFile::ValueExists(std::string_view section, std::string_view ident) const {
  return FindLine(section, ident) != nullptr;
}

void TIniFile::ReadSection(std::string_view section, core::TStringList& out) const {
  out.Clear();
  if (const Section* s = FindSection(section)) {
    for (const Line& l : s->lines) {
      if (!l.key.empty()) out.Add(l.key);
    }
  }
}

void TIniFile::ReadSections(core::TStringList& out) const {
  out.Clear();
  for (const Section& s : sections_) {
    if (s.header) out.Add(s.name);
  }
}

void TIniFile::ReadSectionValues(std::string_view section, core::TStringList& out) const {
  out.Clear();
  if (const Section* s = FindSection(section)) {
    for (const Line& l : s->lines) {
      if (!l.key.empty()) out.Add(l.key + "=" + l.text);
    }
  }
}

void TIniFile::EraseSection(std::string_view section) {
  const size_t before = sections_.size();
  std::erase_if(sections_, [&](const Section& s) { return s.header && SameName(s.name, section); });
  if (sections_.size() != before) Changed();
}

void TIniFile::DeleteKey(std::string_view section, std::string_view ident) {
  auto* s = const_cast<Section*>(FindSection(section));
  if (s == nullptr) return;
  const size_t before = s->lines.size();
  std::erase_if(s->lines, [&](const Line& l) { return !l.key.empty() && SameName(l.key, ident); });
  if (s->lines.size() != before) Changed();
}

void TIniFile::UpdateFile() {
  std::string text;
  for (const Section& s : sections_) {
    if (s.header) text += "[" + s.name + "]\r\n";
    for (const Line& l : s.lines) text += (l.key.empty() ? l.text : l.key + "=" + l.text) + "\r\n";
  }
  platform::WriteWholeFile(file_name_, std::as_bytes(std::span<const char>(text.data(), text.size())));
}

void TIniFile::Changed() {
  if (write_through_) UpdateFile();
}

}  // namespace lgoty::report
