// Field definitions: what a dataset's cursor offers (name, type, size, precision and the
// read-only, hidden and required attributes). A concrete dataset fills them when it opens
// (or when they are asked for while it is closed); field objects are then created from them
// or bound to them by name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/field_type.h"

namespace lgoty::data {

class TDataSet;

// Field names compare without regard to letter case (ASCII quickly, other letters through
// the locale's case-insensitive comparison).
bool SameFieldName(std::string_view a, std::string_view b);

struct TFieldAttributes {
  bool ReadOnly = false;
  bool Hidden = false;
  bool Required = false;
};

class TFieldDef {
 public:
  TFieldDef(std::string name, TFieldType data_type, int size, int field_no)
      : name_(std::move(name)), data_type_(data_type), size_(size), field_no_(field_no) {}

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  TFieldType DataType() const { return data_type_; }
  void SetDataType(TFieldType type) { data_type_ = type; }
  // Characters of a string, digits of a BCD number, bytes of a bytes field; 0 otherwise.
  int Size() const { return size_; }
  void SetSize(int size) { size_ = size; }
  // Decimals of a float or BCD number (0 when the type has none).
  int Precision() const { return precision_; }
  void SetPrecision(int precision) { precision_ = precision; }
  TFieldAttributes& Attributes() { return attributes_; }
  const TFieldAttributes& Attributes() const { return attributes_; }
  // 1-based position in the cursor's record.
  int FieldNo() const { return field_no_; }

 private:
  std::string name_;
  TFieldType data_type_;
  int size_;
  int precision_ = 0;
  TFieldAttributes attributes_;
  int field_no_;
};

class TFieldDefs {
 public:
  TFieldDefs() = default;
  TFieldDefs(const TFieldDefs&) = delete;
  TFieldDefs& operator=(const TFieldDefs&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  // REQUIRES 0 <= index < Count(), else EListError "List index out of bounds (%d)".
  TFieldDef& Items(int index);
  const TFieldDef& Items(int index) const;
  TFieldDef& operator[](int index) { return Items(index); }

  // Adds a definition at the end; its FieldNo is its new position. A name that is already
  // present raises EDatabaseError "Duplicate field name 'X'".
  TFieldDef& Add(std::string name, TFieldType data_type, int size = 0, bool required = false);
  void Clear() { items_.clear(); }
  // -1 / nullptr when absent.
  int IndexOf(std::string_view name) const;
  TFieldDef* Find(std::string_view name);
  const TFieldDef* Find(std::string_view name) const;

  // Whether the list describes the cursor as it is now. A closed dataset fills the list on
  // demand (TDataSet::FieldDefsUpdate) when it is not up to date.
  bool Updated() const { return updated_; }
  void SetUpdated(bool updated) { updated_ = updated; }

 private:
  std::vector<std::unique_ptr<TFieldDef>> items_;
  bool updated_ = false;
};

}  // namespace lgoty::data
