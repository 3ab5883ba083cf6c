#include "sql/connection_string.h"

#include "core/locale.h"

namespace lgoty::sql {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool NeedsQuotes(std::string_view value) {
  if (value.empty()) return false;
  if (IsBlank(value.front()) || IsBlank(value.back())) return true;
  for (char c : value) {
    if (c == ';' || c == '"' || c == '\'') return true;
  }
  return false;
}

}  // namespace

TConnectionString TConnectionString::Parse(std::string_view text) {
  TConnectionString result;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t key_end = pos;
    while (key_end < text.size() && text[key_end] != '=' && text[key_end] != ';') ++key_end;
    std::string key(Trim(text.substr(pos, key_end - pos)));
    if (key_end >= text.size() || text[key_end] == ';') {
      if (!key.empty()) result.pairs_.emplace_back(std::move(key), std::string());
      pos = key_end + 1;
      continue;
    }
    pos = key_end + 1;  // after "="
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    std::string value;
    if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'')) {
      const char quote = text[pos++];
      bool closed = false;
      while (pos < text.size()) {
        if (text[pos] == quote) {
          if (pos + 1 < text.size() && text[pos + 1] == quote) {
            value += quote;
            pos += 2;
            continue;
          }
          ++pos;
          closed = true;
          break;
        }
        value += text[pos++];
      }
      if (!closed) {
        throw EAdoError("Connection string: the value of \"" + key + "\" has no closing quote");
      }
      while (pos < text.size() && IsBlank(text[pos])) ++pos;
      if (pos < text.size() && text[pos] != ';') {
        throw EAdoError("Connection string: unexpected text after the quoted value of \"" +
                        key + "\"");
      }
    } else {
      size_t end = text.find(';', pos);
      if (end == std::string_view::npos) end = text.size();
      value = std::string(Trim(text.substr(pos, end - pos)));
      pos = end;
    }
    ++pos;  // the ";" (or past the end)
    if (key.empty()) throw EAdoError("Connection string: a value has no key");
    result.pairs_.emplace_back(std::move(key), std::move(value));
  }
  return result;
}

std::optional<std::string> TConnectionString::Get(std::string_view key) const {
  for (const auto& [name, value] : pairs_) {
    if (core::SameText(name, key)) return value;
  }
  return std::nullopt;
}

std::string TConnectionString::GetOr(std::string_view key, std::string_view fallback) const {
  std::optional<std::string> value = Get(key);
  return value ? *value : std::string(fallback);
}

void TConnectionString::Set(std::string_view key, std::string value) {
  for (auto& [name, old] : pairs_) {
    if (core::SameText(name, key)) {
      old = std::move(value);
      return;
    }
  }
  pairs_.emplace_back(std::string(key), std::move(value));
}

void TConnectionString::Remove(std::string_view key) {
  for (auto it = pairs_.begin(); it != pairs_.end(); ++it) {
    if (core::SameText(it->first, key)) {
      pairs_.erase(it);
      return;
    }
  }
}

std::string TConnectionString::Text() const {
  std::string out;
  for (const auto& [name, value] : pairs_) {
    out += name;
    out += '=';
    if (NeedsQuotes(value)) {
      out += '"';
      for (char c : value) {
        if (c == '"') out += '"';
        out += c;
      }
      out += '"';
    } else {
      out += value;
    }
    out += ';';
  }
  return out;
}

}  // namespace lgoty::sql
