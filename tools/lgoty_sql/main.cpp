// lgoty-sql: runs one SQL statement over a folder of tables, as the list report's query
// does, and prints the rows.
//
//   lgoty-sql [--csv] [--timeout SECONDS] [--param NAME=VALUE]... FOLDER "SQL"
//   lgoty-sql --tables FOLDER
//
// Output: one JSON object per row (field name -> value; dates as "YYYY-MM-DD", date-times
// as "YYYY-MM-DD HH:MM:SS", numbers as numbers, booleans as true/false, NULL as null), or with
// --csv a header line of field names and one line per row (RFC 4180 quoting, "," separated,
// dates as above, NULL as an empty cell). Parameters given with --param bind as text.
// Errors go to standard error with exit status 1; a wrong command line gives status 2.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "core/json.h"
#include "core/string_list.h"
#include "data/field.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"
#include "sql/iso_date.h"

namespace {

using lgoty::data::TFieldType;

// Longest time limit a statement may be given: a day. 0 means no limit.
constexpr long kMaxTimeout = 86'400;

constexpr const char* kUsage =
    "usage: lgoty-sql [--csv] [--timeout SECONDS] [--param NAME=VALUE]... FOLDER \"SQL\"\n"
    "       lgoty-sql --tables FOLDER\n"
    "       lgoty-sql --help | -h\n"
    "  --timeout SECONDS  time limit of the statement, 0 (no limit) to 86400; default 30\n";

int Usage(const std::string& problem = {}) {
  if (!problem.empty()) std::cerr << "lgoty-sql: " << problem << '\n';
  std::cerr << kUsage;
  return 2;
}

// A whole number of seconds from 0 to kMaxTimeout; false for anything else.
bool ParseTimeout(const std::string& text, int& seconds) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const long value = std::stol(text);
  if (value > kMaxTimeout) return false;
  seconds = static_cast<int>(value);
  return true;
}

bool IsDate(TFieldType type) { return type == TFieldType::ftDate; }
bool IsDateTime(TFieldType type) {
  return type == TFieldType::ftDateTime || type == TFieldType::ftTime ||
         type == TFieldType::ftTimeStamp;
}

std::string PlainText(lgoty::data::TField& field) {
  const lgoty::core::Variant value = field.AsVariant();
  if (value.IsEmptyOrNull()) return {};
  if (IsDate(field.DataType())) return lgoty::sql::IsoDate(value.AsDate());
  if (IsDateTime(field.DataType())) return lgoty::sql::IsoDateTime(value.AsDate());
  if (value.kind() == lgoty::core::Variant::Kind::Double) {
    return lgoty::core::JsonValue::NumberFromDouble(value.real()).Text();
  }
  if (value.kind() == lgoty::core::Variant::Kind::Boolean) return value.ordinal() ? "true" : "false";
  return value.AsString();
}

lgoty::core::JsonValue JsonOf(lgoty::data::TField& field) {
  using lgoty::core::JsonValue;
  const lgoty::core::Variant value = field.AsVariant();
  if (value.IsEmptyOrNull()) return JsonValue();
  switch (value.kind()) {
    case lgoty::core::Variant::Kind::Boolean: return JsonValue::Boolean(value.ordinal() != 0);
    case lgoty::core::Variant::Kind::Smallint:
    case lgoty::core::Variant::Kind::Integer:
    case lgoty::core::Variant::Kind::Int64: return JsonValue::NumberFromInt(value.ordinal());
    case lgoty::core::Variant::Kind::Double:
    case lgoty::core::Variant::Kind::Currency: return JsonValue::NumberFromDouble(value.AsDouble());
    default: return JsonValue::String(PlainText(field));
  }
}

std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string ConnectionStringFor(const std::string& folder) {
  std::string quoted;
  for (char c : folder) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + quoted +
         "\";Extended Properties=dBASE IV;";
}

}  // namespace

int main(int argc, char** argv) {
  bool csv = false;
  bool tables = false;
  int timeout = lgoty::sql::kDefaultCommandTimeout;
  std::vector<std::pair<std::string, std::string>> params;
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      std::cout.flush();
      return std::cout ? 0 : 1;
    } else if (a == "--csv") {
      csv = true;
    } else if (a == "--tables") {
      tables = true;
    } else if (a == "--timeout" && i + 1 < argc) {
      if (!ParseTimeout(argv[++i], timeout)) {
        return Usage(std::string("bad time limit \"") + argv[i] +
                     "\": whole seconds from 0 (no limit) to 86400");
      }
    } else if (a == "--param" && i + 1 < argc) {
      const std::string p = argv[++i];
      const size_t eq = p.find('=');
      if (eq == std::string::npos) return Usage();
      params.emplace_back(p.substr(0, eq), p.substr(eq + 1));
    } else if (a.rfind("--", 0) == 0) {
      return Usage();
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != (tables ? 1u : 2u)) return Usage();
  try {
    lgoty::sql::TAdoConnection connection;
    connection.SetLoginPrompt(false);
    connection.SetConnectionString(ConnectionStringFor(positional[0]));
    connection.Open();
    lgoty::sql::TAdoQuery query;
    query.SetConnection(&connection);
    query.SetCommandTimeout(timeout);
    query.SetLockType(lgoty::sql::TADOLockType::ltReadOnly);
    if (tables) {
      connection.OpenSchemaTables(query);
    } else {
      query.SQL().SetText(positional[1]);
      for (const auto& [name, value] : params) {
        query.Parameters().ParamByName(name).SetValue(lgoty::core::Variant(value));
      }
      query.Open();
    }
    std::string line;
    if (csv) {
      for (int f = 0; f < query.FieldCount(); ++f) {
        if (f) line += ',';
        line += CsvCell(query.Fields()[f].FieldName());
      }
      std::cout << line << '\n';
    }
    for (query.First(); !query.Eof(); query.Next()) {
      line.clear();
      if (csv) {
        for (int f = 0; f < query.FieldCount(); ++f) {
          if (f) line += ',';
          line += CsvCell(PlainText(query.Fields()[f]));
        }
      } else {
        lgoty::core::JsonValue object = lgoty::core::JsonValue::Object();
        for (int f = 0; f < query.FieldCount(); ++f) {
          object.Add(query.Fields()[f].FieldName(), JsonOf(query.Fields()[f]));
        }
        line = object.Serialize();
      }
      std::cout << line << '\n';
    }
    std::cout.flush();
  } catch (const std::exception& e) {
    std::cerr << "lgoty-sql: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
