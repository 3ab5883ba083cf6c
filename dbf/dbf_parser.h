// TDbfParser: an expression parser whose unknown names are the fields of a table, and
// TDbfIndexParser: the key builder of an index tag.
//
// Field variables read the current record before every evaluation:
//
//   field kind (dataset type)                      variable            value
//   string, fixed char, wide string                TStringFieldVar     text (two modes below)
//   smallint, integer, word, auto-increment         TIntegerFieldVar    32-bit integer
//   large integer                                   TLargeIntFieldVar   64-bit integer
//   float, currency, BCD                            TFloatFieldVar      double
//   date, date-time, time stamp                     TDateTimeFieldVar   TDateTime (blank: NaN)
//   boolean                                         TBooleanFieldVar    0 or 1
//   anything else (memo, blob, ...)                 refused: "Field "%s" is an invalid field
//                                                   type to base index on."
// A blank (null) number reads as 0 and a blank boolean as false.
//
// A string field variable is either raw (the field's bytes as stored: table code page, full
// field length with its padding; index keys) or translated (trailing spaces removed, converted
// from the table's code page to the ANSI code page; filters). All string values of a parser are
// held in the same code page as its field variables, so constants are converted to the table
// code page in raw mode and to the ANSI code page in translated mode, and a key is in the table
// code page whatever the expression does.
//
// The parser borrows the field definitions: they must outlive it and keep their offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dbf/expression_parser.h"
#include "dbf/field_defs.h"

namespace lgoty::dbf {

enum class TStringFieldMode : uint8_t { smRaw, smTranslated };

class TFieldVar : public TVariable {
 public:
  TFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def, TExpressionType type);
  const TDbfFieldDef& FieldDef() const { return def_; }

 protected:
  // The field's bytes in record; throws EDbfError when the record is too short for it.
  std::span<const std::byte> FieldBytes(std::span<const std::byte> record) const;

  const TDbfFieldDefs& defs_;
  const TDbfFieldDef& def_;
};

class TStringFieldVar : public TFieldVar {
 public:
  // table_code_page and ansi_code_page matter in translated mode only.
  TStringFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def, TStringFieldMode mode,
                  int table_code_page, int ansi_code_page);
  void Refresh(std::span<const std::byte> record) override;
  TStringFieldMode Mode() const { return mode_; }

 private:
  TStringFieldMode mode_;
  int table_code_page_;
  int ansi_code_page_;
  // Single-byte table -> ANSI translation, or empty when it goes through UTF-8.
  std::vector<char> translation_;
};

class TIntegerFieldVar : public TFieldVar {
 public:
  TIntegerFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def);
  void Refresh(std::span<const std::byte> record) override;
};
class TLargeIntFieldVar : public TFieldVar {
 public:
  TLargeIntFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def);
  void Refresh(std::span<const std::byte> record) override;
};
class TFloatFieldVar : public TFieldVar {
 public:
  TFloatFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def);
  void Refresh(std::span<const std::byte> record) override;
};
class TDateTimeFieldVar : public TFieldVar {
 public:
  TDateTimeFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def);
  void Refresh(std::span<const std::byte> record) override;
};
class TBooleanFieldVar : public TFieldVar {
 public:
  TBooleanFieldVar(const TDbfFieldDefs& defs, const TDbfFieldDef& def);
  void Refresh(std::span<const std::byte> record) override;
};

std::string UnknownFieldMessage(const std::string& name);
std::string InvalidFieldTypeMessage(const std::string& name);

class TDbfParser : public TCustomExpressionParser {
 public:
  // defs: the table's fields with their offsets (borrowed). table_code_page: the table's
  // effective code page. record_length: 0 takes the end of the last field.
  TDbfParser(const TDbfFieldDefs& defs, int table_code_page, size_t record_length = 0);
  ~TDbfParser() override;

  TStringFieldMode StringFieldMode() const { return string_mode_; }
  // Recompiles the current expression.
  void SetStringFieldMode(TStringFieldMode mode);

  int TableCodePage() const { return table_code_page_; }
  // Another code page for the table's text (one forced on a table whose own is unusable);
  // recompiles the current expression so its constants and fields follow.
  void SetTableCodePage(int code_page);
  // The template record used to measure string results (spaces and zero bytes).
  std::span<const std::byte> BlankRecord() const { return blank_record_; }

 protected:
  TVariable* ResolveName(const std::string& name) override;
  void ClearNames() override { field_vars_.clear(); }
  int TextCodePage() const override;
  // A string field alone: its length; otherwise the result's length on the blank record.
  size_t StringResultLength() override;

 private:
  const TDbfFieldDefs& defs_;
  int table_code_page_;
  TStringFieldMode string_mode_ = TStringFieldMode::smTranslated;
  std::vector<std::byte> blank_record_;
  std::map<std::string, std::unique_ptr<TFieldVar>> field_vars_;
};

enum class TIndexKeyFormat : uint8_t { kfMdx, kfNdx };

inline constexpr size_t kMaxCharacterKeyLength = 100;
inline constexpr size_t kNdxNumericKeyLength = 8;
inline constexpr size_t kMdxNumericKeyLength = 12;

// The key expression of one tag. String fields are read raw. Compile checks the result: text
// gives key type 'C' (length: the result length, at most 100), a number 'N' (8 bytes for NDX,
// 12 for MDX); anything else, or a longer text, raises EDbfError with the message of index
// creation.
class TDbfIndexParser : public TDbfParser {
 public:
  TDbfIndexParser(const TDbfFieldDefs& defs, int table_code_page, TIndexKeyFormat format,
                  size_t record_length = 0);

  TIndexKeyFormat KeyFormat() const { return format_; }
  // REQUIRES: IsCompiled().
  char KeyType() const { return key_type_; }
  size_t KeyLength() const { return key_length_; }

  // The key of record: text padded with spaces (or cut) to the key length, or the numeric
  // encoding of the format. The bytes stay valid until the next call or compile.
  std::span<const std::byte> ExtractKeyFromRecord(std::span<const std::byte> record);

  using TKeyEncoder = void (*)(const TExprValue& value, std::span<std::byte> key);

 protected:
  void CheckCompiled() override;

 private:
  TIndexKeyFormat format_;
  char key_type_ = 'C';
  size_t key_length_ = 0;
  std::vector<std::byte> key_;
  TKeyEncoder encode_ = nullptr;
};

class TDbfFile;

// Parsers over an open table (its field definitions, effective code page and record size);
// the table must stay open while they are used. The filter parser reads translated strings.
std::unique_ptr<TDbfParser> MakeFilterParser(const TDbfFile& file);
std::unique_ptr<TDbfIndexParser> MakeIndexParser(const TDbfFile& file, TIndexKeyFormat format);

}  // namespace lgoty::dbf
