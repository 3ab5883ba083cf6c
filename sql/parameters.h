// Query parameters: named values that a query's SQL text refers to with ":name" markers.
//
// Markers (ParseSqlMarkers). Outside quotes (the apostrophe, the double quotation mark and
// the backquote open and close quoted text), a ":" followed by a name is a marker; "::" stands
// for a literal colon and is no marker. The name runs until a blank, ",", ";", ")", CR, LF or
// the end of the text; quote characters inside it are dropped, so a quoted name may hold
// blanks (":"my name""). A ":" with no name after it is left as it is. The text handed to
// SQLite has each marker replaced by "?N", N being the number of the marker's name among the
// distinct names (compared without regard to ASCII letter case) in order of first use; so
// one parameter serves every marker of its name.
//
// Binding (TParameter::DataType decides how a value reaches SQL):
//   string types            text
//   integer types           integer (the value converted; "abc" is an error)
//   boolean                 integer 0 / 1
//   float, currency, BCD    real
//   date / date-time / time ISO text as the tables hold dates (sql/iso_date.h)
//   blob and bytes types    blob
//   unknown                 from the value's own kind
// A parameter that was never given a value is an error naming it; Null binds SQL NULL when
// the parameter is nullable (the default) and is an error otherwise.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/variant.h"
#include "data/field_type.h"

namespace lgoty::sql {

class TSqlStatement;

struct TParamAttributes {
  bool paNullable = true;
  bool paSigned = false;
  bool paLong = false;
};

class TParameter {
 public:
  explicit TParameter(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  data::TFieldType DataType() const { return data_type_; }
  void SetDataType(data::TFieldType type) { data_type_ = type; }
  TParamAttributes& Attributes() { return attributes_; }
  const TParamAttributes& Attributes() const { return attributes_; }
  int Size() const { return size_; }
  void SetSize(int size) { size_ = size; }
  // Empty until a value is given.
  const core::Variant& Value() const { return value_; }
  void SetValue(core::Variant value) { value_ = std::move(value); }

  // Binds the value as parameter `index` of statement (rules above). Throws ESqlError.
  void Bind(TSqlStatement& statement, int index) const;

 private:
  std::string name_;
  data::TFieldType data_type_ = data::TFieldType::ftUnknown;
  TParamAttributes attributes_;
  int size_ = 0;
  core::Variant value_;
};

struct TParsedSql {
  std::string text;                 // with "?N" in place of the markers
  std::vector<std::string> names;   // names[N - 1] is the name of "?N"
};

TParsedSql ParseSqlMarkers(std::string_view sql);

class TParameters {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // REQUIRES 0 <= index < Count(), else EListError "List index out of bounds (%d)".
  TParameter& Items(int index);
  const TParameter& Items(int index) const;
  TParameter& operator[](int index) { return Items(index); }
  TParameter& AddParameter(std::string name);
  void Clear() { items_.clear(); }
  // The first parameter of that name (ASCII letter case ignored), or nullptr.
  TParameter* FindParam(std::string_view name);
  const TParameter* FindParam(std::string_view name) const;
  // Throws ESqlError: Parameter "name" not found.
  TParameter& ParamByName(std::string_view name);
  // Makes the list the distinct names of the text's markers, in order, keeping type,
  // attributes and value of a parameter whose name stays.
  void ParseSQL(std::string_view sql);

 private:
  std::vector<std::unique_ptr<TParameter>> items_;
};

}  // namespace lgoty::sql
