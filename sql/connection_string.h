// A connection string: "Key=Value;Key=Value;..." as connections are configured, for example
//
//   Provider=Microsoft.Jet.OLEDB.4.0;Data Source="/data/reg/";Extended Properties=dBASE IV;
//
// Grammar (what Parse accepts):
//   - pairs are separated by ";"; empty pairs (";;", a trailing ";") are skipped;
//   - a key runs to the first "="; blanks around it are dropped; keys compare without regard
//     to ASCII letter case; a pair without "=" is a key with an empty value;
//   - a value starting with " or ' (after blanks) is quoted: it runs to the matching quote,
//     a doubled quote inside stands for one, and ";" inside is part of the value; text
//     between the closing quote and the next ";" is refused;
//   - an unquoted value runs to the next ";" and loses its surrounding blanks.
// Unknown keys are kept in their order, so Text() gives back every setting.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/exception.h"

namespace lgoty::sql {

// The connection string cannot be read, or asks for something this layer does not do.
class EAdoError : public core::Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EOleException"; }
};

inline constexpr std::string_view kProviderKey = "Provider";
inline constexpr std::string_view kDataSourceKey = "Data Source";
inline constexpr std::string_view kExtendedPropertiesKey = "Extended Properties";
inline constexpr std::string_view kUserIdKey = "User ID";
inline constexpr std::string_view kPasswordKey = "Password";

class TConnectionString {
 public:
  TConnectionString() = default;
  // Throws EAdoError for an unterminated quote or text after a closing quote.
  static TConnectionString Parse(std::string_view text);

  // The value of key (first pair of that name), or nullopt.
  std::optional<std::string> Get(std::string_view key) const;
  std::string GetOr(std::string_view key, std::string_view fallback = {}) const;
  // Replaces the value of the first pair named key, or appends a pair.
  void Set(std::string_view key, std::string value);
  void Remove(std::string_view key);

  const std::vector<std::pair<std::string, std::string>>& Pairs() const { return pairs_; }
  // "Key=Value;" for every pair; values that need it are quoted with ".
  std::string Text() const;

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

}  // namespace lgoty::sql
