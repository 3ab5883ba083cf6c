// Arbitrary expression texts compiled against a small table and evaluated on records.
//
// Input: byte 0 chooses the parser and its settings (bit 0 index parser, bit 1 NDX keys,
// bit 2 case-sensitive, bit 3 partial comparison, bit 4 raw string fields for the filter
// parser); the rest is the expression. Every compiled expression is evaluated on the blank
// record, on a record with ordinary values and on one filled with the input's bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/code_page.h"
#include "core/exception.h"
#include "dbf/dbf_parser.h"
#include "dbf/field_codec.h"

namespace {

using namespace lgoty;
using namespace lgoty::dbf;

struct Table {
  TDbfFieldDefs defs{kTableLevel4};
  size_t record_length = 0;
  std::vector<std::byte> values;

  Table() {
    auto add = [&](const char* name, char letter, int size, int precision) {
      TDbfFieldDef& def = defs.Add();
      def.SetFieldName(name);
      def.SetNative(static_cast<uint8_t>(letter), size, precision);
    };
    add("FAMIL", 'C', 20, 0);
    add("IMJA", 'C', 10, 0);
    add("AGE", 'N', 3, 0);
    add("SUMMA", 'N', 10, 2);
    add("BIG", 'N', 15, 0);
    add("BIRTH", 'D', 8, 0);
    add("FLAG", 'L', 1, 0);
    add("NOTE", 'M', 10, 0);
    record_length = static_cast<size_t>(defs.AssignOffsets());
    values = BuildBlankRecord(defs, record_length);
    auto put = [&](const char* name, data::TFieldType type, const core::Variant& value) {
      SetFieldVariant(defs, *defs.Find(name), type, values, value);
    };
    put("FAMIL", data::TFieldType::ftString, core::Variant(core::FromUtf8(866, "Иванов")));
    put("IMJA", data::TFieldType::ftString, core::Variant("Ab*"));
    put("AGE", data::TFieldType::ftSmallint, core::Variant(-7));
    put("SUMMA", data::TFieldType::ftFloat, core::Variant(1234.5));
    put("BIG", data::TFieldType::ftLargeint, core::Variant(int64_t{-99999999999999}));
    put("FLAG", data::TFieldType::ftBoolean, core::Variant(true));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Table table;
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  std::vector<std::byte> garbage(table.record_length);
  for (size_t i = 0; i < garbage.size(); ++i) {
    garbage[i] = static_cast<std::byte>(size > 1 ? data[1 + i % (size - 1)] : 0);
  }
  try {
    std::unique_ptr<TDbfParser> parser;
    if (flags & 1) {
      parser = std::make_unique<TDbfIndexParser>(
          table.defs, 866, (flags & 2) ? TIndexKeyFormat::kfNdx : TIndexKeyFormat::kfMdx);
    } else {
      parser = std::make_unique<TDbfParser>(table.defs, 866);
      if (flags & 16) parser->SetStringFieldMode(TStringFieldMode::smRaw);
    }
    parser->SetCaseInsensitive((flags & 4) == 0);
    parser->SetPartialMatch((flags & 8) != 0);
    parser->CompileExpression(text);
    for (const auto* record : {&table.values, &garbage}) {
      if (auto* index = dynamic_cast<TDbfIndexParser*>(parser.get())) {
        index->ExtractKeyFromRecord(*record);
      } else {
        parser->Evaluate(*record);
      }
    }
    parser->Evaluate(parser->BlankRecord());
  } catch (const core::Exception&) {
  }
  return 0;
}
