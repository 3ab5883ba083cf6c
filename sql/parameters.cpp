#include "sql/parameters.h"

#include <charconv>
#include <cmath>

#include "core/locale.h"
#include "sql/iso_date.h"
#include "sql/sql_engine.h"

namespace lgoty::sql {

using data::TFieldType;

namespace {

bool IsQuote(char c) { return c == '\'' || c == '"' || c == '`'; }
bool EndsName(char c) {
  return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n' || c == '\t';
}

std::string DateText(TFieldType type, core::TDateTime value) {
  switch (type) {
    case TFieldType::ftDate: return IsoDate(value);
    case TFieldType::ftTime: return IsoTime(value);
    default: return IsoDateTime(value);
  }
}

// Numbers given as text read with "." whatever the locale's separator; other text goes
// through the variant's own conversion (and its error).
int64_t IntegerOf(const core::Variant& value) {
  if (value.IsString()) {
    const std::string& text = value.text();
    int64_t out = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    if (error == std::errc() && end == text.data() + text.size()) return out;
  }
  return value.AsInt64();
}

double RealOf(const core::Variant& value) {
  if (value.IsString()) {
    const std::string& text = value.text();
    double out = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    if (error == std::errc() && end == text.data() + text.size()) return out;
  }
  return value.AsDouble();
}

}  // namespace

TParsedSql ParseSqlMarkers(std::string_view sql) {
  TParsedSql parsed;
  parsed.text.reserve(sql.size());
  char quote = 0;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (quote) {
      if (c == quote) quote = 0;
      parsed.text += c;
      ++i;
      continue;
    }
    if (IsQuote(c)) {
      quote = c;
      parsed.text += c;
      ++i;
      continue;
    }
    if (c != ':') {
      parsed.text += c;
      ++i;
      continue;
    }
    if (i + 1 < sql.size() && sql[i + 1] == ':') {
      parsed.text += ':';
      i += 2;
      continue;
    }
    // A name: up to a terminator outside quotes; the quotes themselves are dropped.
    std::string name;
    size_t j = i + 1;
    char name_quote = 0;
    while (j < sql.size()) {
      const char d = sql[j];
      if (name_quote) {
        if (d == name_quote) name_quote = 0;
        else name += d;
      } else if (IsQuote(d)) {
        name_quote = d;
      } else if (EndsName(d)) {
        break;
      } else {
        name += d;
      }
      ++j;
    }
    if (name.empty()) {
      parsed.text += ':';
      ++i;
      continue;
    }
    size_t number = 0;
    while (number < parsed.names.size() && !core::SameText(parsed.names[number], name)) ++number;
    if (number == parsed.names.size()) parsed.names.push_back(name);
    parsed.text += '?';
    parsed.text += std::to_string(number + 1);
    i = j;
  }
  return parsed;
}

void TParameter::Bind(TSqlStatement& statement, int index) const {
  if (value_.IsEmpty()) throw ESqlError("Parameter \"" + name_ + "\" has no value");
  if (value_.IsNull()) {
    if (!attributes_.paNullable) {
      throw ESqlError("Parameter \"" + name_ + "\" may not be null");
    }
    statement.BindNull(index);
    return;
  }
  try {
    TFieldType type = data_type_;
    if (type == TFieldType::ftUnknown) {
      switch (value_.kind()) {
        case core::Variant::Kind::Smallint: case core::Variant::Kind::Integer:
        case core::Variant::Kind::Int64: case core::Variant::Kind::Boolean:
          type = TFieldType::ftLargeint;
          break;
        case core::Variant::Kind::Double: case core::Variant::Kind::Currency:
          type = TFieldType::ftFloat;
          break;
        case core::Variant::Kind::Date: {
          const double whole = std::floor(value_.real());
          type = whole == value_.real() ? TFieldType::ftDate : TFieldType::ftDateTime;
          break;
        }
        default:
          type = TFieldType::ftString;
          break;
      }
    }
    switch (type) {
      case TFieldType::ftSmallint: case TFieldType::ftInteger: case TFieldType::ftWord:
      case TFieldType::ftAutoInc: case TFieldType::ftLargeint:
        statement.BindInt64(index, IntegerOf(value_));
        break;
      case TFieldType::ftBoolean:
        statement.BindInt64(index, value_.AsBoolean() ? 1 : 0);
        break;
      case TFieldType::ftFloat: case TFieldType::ftCurrency: case TFieldType::ftBCD:
      case TFieldType::ftFMTBcd:
        statement.BindDouble(index, RealOf(value_));
        break;
      case TFieldType::ftDate: case TFieldType::ftTime: case TFieldType::ftDateTime:
      case TFieldType::ftTimeStamp:
        statement.BindText(index, DateText(type, value_.AsDate()));
        break;
      case TFieldType::ftBlob: case TFieldType::ftBytes: case TFieldType::ftVarBytes:
      case TFieldType::ftGraphic: case TFieldType::ftTypedBinary:
        statement.BindBlob(index, value_.AsString());
        break;
      default:
        statement.BindText(index, value_.AsString());
        break;
    }
  } catch (const ESqlError&) {
    throw;
  } catch (const core::Exception& e) {
    throw ESqlError("Parameter \"" + name_ + "\": " + e.Message());
  }
}

TParameter& TParameters::Items(int index) {
  if (index < 0 || index >= Count()) {
    throw core::EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return *items_[static_cast<size_t>(index)];
}

const TParameter& TParameters::Items(int index) const {
  return const_cast<TParameters*>(this)->Items(index);
}

TParameter& TParameters::AddParameter(std::string name) {
  items_.push_back(std::make_unique<TParameter>(std::move(name)));
  return *items_.back();
}

TParameter* TParameters::FindParam(std::string_view name) {
  for (auto& item : items_) {
    if (core::SameText(item->Name(), name)) return item.get();
  }
  return nullptr;
}

const TParameter* TParameters::FindParam(std::string_view name) const {
  return const_cast<TParameters*>(this)->FindParam(name);
}

TParameter& TParameters::ParamByName(std::string_view name) {
  TParameter* found = FindParam(name);
  if (!found) throw ESqlError("Parameter \"" + std::string(name) + "\" not found");
  return *found;
}

void TParameters::ParseSQL(std::string_view sql) {
  const TParsedSql parsed = ParseSqlMarkers(sql);
  std::vector<std::unique_ptr<TParameter>> fresh;
  for (const std::string& name : parsed.names) {
    std::unique_ptr<TParameter> kept;
    for (auto& item : items_) {
      if (item && core::SameText(item->Name(), name)) {
        kept = std::move(item);
        break;
      }
    }
    fresh.push_back(kept ? std::move(kept) : std::make_unique<TParameter>(name));
  }
  items_ = std::move(fresh);
}

}  // namespace lgoty::sql
