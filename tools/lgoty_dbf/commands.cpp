#include "tools/lgoty_dbf/commands.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <memory>
#include <ostream>
#include <set>

#include "core/exception.h"
#include "core/json.h"
#include "core/byte_codec.h"
#include "dbf/dbf_file.h"
#include "dbf/dbf_header.h"
#include "dbf/decimal_field_scan.h"
#include "dbf/field_codec.h"
#include "dbf/index_file.h"
#include "dbf/memo_file.h"
#include "platform/file.h"
#include "platform/system.h"
#include "tools/lgoty_dbf/field_json.h"

namespace lgoty::tools {

using core::JsonValue;
using dbf::TFileAccessMode;
namespace layout = dbf::dbf_layout;

namespace {

constexpr std::byte kDeletedFlag{'*'};

std::unique_ptr<dbf::TDbfFile> OpenTable(const std::string& path, TFileAccessMode mode) {
  auto file = std::make_unique<dbf::TDbfFile>();
  file->SetFileName(path);
  file->SetMode(mode);
  file->Open();
  if (file->OpenAbandoned())
    throw core::Exception("Table \"" + path + "\" holds no records (zero header or record length).");
  return file;
}

// A production index that the open had to leave out (damaged, or ordered for another
// language) would miss every change written now and answer lookups wrongly ever after:
// such a table is not written at all.
void RefuseUnkeptIndex(dbf::TDbfFile& file, const std::string& path) {
  if (core::GetU8(file.Header().data() + layout::kProductionIndexOffset) == 0) return;
  if (file.IndexCount() > 0) return;
  const std::string mdx = platform::ChangeFileExt(path, ".mdx");
  if (!platform::FileExists(mdx)) return;
  std::string reason;
  try {
    dbf::OpenProductionIndexFile(file, mdx, TFileAccessMode::amReadOnly);
  } catch (const std::exception& e) {
    reason = std::string(" (") + e.what() + ")";
  }
  throw core::Exception("The production index \"" + mdx + "\" cannot be kept up to date" +
                        reason + "; nothing was written.");
}

TFileAccessMode WriteMode(const TableOptions& options) {
  return options.shared ? TFileAccessMode::amSharedExisting
                        : TFileAccessMode::amExclusiveExisting;
}

const dbf::TDbfFieldDef& FindField(const dbf::TDbfFile& file, const std::string& name) {
  const dbf::TDbfFieldDef* def = file.FieldDefs().Find(name);
  if (!def) throw core::Exception("Field '" + name + "' not found");
  return *def;
}

void PrintLine(std::ostream& out, const JsonValue& value) {
  std::string line = value.Serialize();
  line.push_back('\n');
  out << line;
}

JsonValue RecnoLine(uint32_t n) {
  JsonValue line = JsonValue::Object();
  line.Add("_recno", JsonValue::NumberFromInt(n));
  return line;
}

void CheckRecordNumber(dbf::TDbfFile& file, uint32_t n) {
  const uint32_t count = file.RecordCount();
  if (n < 1 || n > count)
    throw core::Exception("Record " + std::to_string(n) + " does not exist (the table has " +
                          std::to_string(count) + " records).");
}

void CheckMemoFileFor(dbf::TDbfFile& file, const std::vector<PendingMemo>& pending) {
  if (pending.empty()) return;
  dbf::TMemoFile* memo = file.MemoFile();
  if (!memo || dynamic_cast<dbf::TNullMemoFile*>(memo))
    throw core::Exception("The memo file of table \"" + file.FileName() +
                          "\" is missing; memo values cannot be stored.");
}

// Applies one JSON object (as dump writes it) to record.
void ApplyObject(dbf::TDbfFile& file, const JsonValue& object, std::span<std::byte> record,
                 const TableOptions& options, std::vector<PendingMemo>& pending) {
  if (object.kind() != JsonValue::Kind::Object)
    throw core::Exception("Each input line must be a JSON object.");
  for (const auto& [name, value] : object.Members()) {
    if (name == "_recno") continue;
    if (name == "_deleted") {
      if (value.kind() != JsonValue::Kind::Boolean)
        throw core::Exception("_deleted must be true or false.");
      record[0] = value.AsBoolean() ? kDeletedFlag : std::byte{' '};
      continue;
    }
    FieldFromJson(file, FindField(file, name), record, value, options.raw, options.truncate,
                  pending);
  }
}

// Writes the pending memo values of record into new blocks, then stores the record with
// store(). When store() refuses, the blocks are given back, so that a refused record leaves
// the memo file as it was. A value is never rewritten in place: until the record that names
// its new blocks is stored, the old value stays whole.
template <typename Store>
void StoreWithMemos(dbf::TDbfFile& file, std::span<std::byte> record,
                    const std::vector<PendingMemo>& pending, Store store) {
  dbf::TMemoFile* memo = pending.empty() ? nullptr : file.MemoFile();
  const dbf::TMemoFile::TMark before = memo ? memo->Mark() : dbf::TMemoFile::TMark{};
  try {
    WritePendingMemos(file, record, pending, false);
    store();
  } catch (...) {
    if (memo) {
      try {
        memo->GiveBack(before, memo->Mark());
      } catch (...) {
        // The refusal is what the user needs to hear; unused blocks do no harm.
      }
    }
    throw;
  }
}

// Bytes read at a time by sum: whole runs of records that stay in the processor's cache
// between the copy out of the kernel and the parse.
constexpr size_t kSumReadBytes = 128 << 10;

struct SumTotals {
  int64_t live = 0;
  int64_t nonzero = 0;
  double sum = 0;
};

// Adds up the live records of a run from record `first` on for as long as the fixed reader
// takes their field, and returns the record it stopped at (`count` when it took them all).
// Nothing here calls out, so the totals stay in registers; a null field reads as 0, and
// adding a zero leaves the sum as it is (the sum is never -0: it starts at +0 and no sum of
// non-zero terms is -0), so blank, zero and other amounts take the same path. Kept out of
// line: inlined into the command, the totals were kept in memory across the loop.
[[gnu::noinline]] size_t AddFixedRecords(const std::byte* run, size_t count, size_t record_size, size_t offset,
                       const dbf::FixedDecimalReader& reader, size_t first, SumTotals& totals) {
  int64_t live = totals.live;
  int64_t nonzero = totals.nonzero;
  double sum = totals.sum;
  size_t i = first;
  for (; i < count; ++i) {
    const std::byte* record = run + i * record_size;
    if (record[0] == kDeletedFlag) continue;
    double real;
    bool null;
    if (!reader.Read(reinterpret_cast<const char*>(record + offset), real, null)) break;
    ++live;
    sum += real;
    nonzero += real != 0;
  }
  totals = {live, nonzero, sum};
  return i;
}

const char* MemoKind(dbf::TDbfFile& file) {
  dbf::TMemoFile* memo = file.MemoFile();
  if (!memo) return nullptr;
  if (dynamic_cast<dbf::TNullMemoFile*>(memo)) return "missing";
  if (dynamic_cast<dbf::TFoxProMemoFile*>(memo)) return "fpt";
  return "dbt";
}

}  // namespace

void InfoCommand(const std::string& path, std::ostream& out) {
  // The header as it is on disk: opening corrects the record count and the memo bit.
  std::vector<std::byte> raw(layout::kBaseHeaderSize);
  {
    auto disk = platform::DiskFile::Open(path, platform::FileAccess::Read,
                                         platform::FileShare::DenyNone,
                                         platform::FileCreate::OpenExisting);
    raw.resize(disk->ReadAt(0, raw));
  }
  auto file = OpenTable(path, TFileAccessMode::amReadOnly);
  JsonValue info = JsonValue::Object();
  info.Add("file", JsonValue::String(path));
  info.Add("level", JsonValue::NumberFromInt(file->TableLevel()));
  if (raw.size() == layout::kBaseHeaderSize) {
    info.Add("version", JsonValue::NumberFromInt(core::GetU8(raw.data() + layout::kVersionOffset)));
    info.Add("header_records",
             JsonValue::NumberFromInt(core::GetU32LE(raw.data() + layout::kRecordCountOffset)));
  }
  info.Add("ldid", JsonValue::NumberFromInt(file->LanguageId()));
  if (file->TableLevel() == dbf::kTableLevel7)
    info.Add("language_driver", JsonValue::String(file->Level7LanguageName()));
  info.Add("code_page", JsonValue::NumberFromInt(file->TableCodePage()));
  info.Add("records", JsonValue::NumberFromInt(file->RecordCount()));
  info.Add("header_length", JsonValue::NumberFromInt(static_cast<int64_t>(file->HeaderSize())));
  info.Add("record_length", JsonValue::NumberFromInt(static_cast<int64_t>(file->RecordSize())));
  info.Add("production_index", JsonValue::Boolean(
      raw.size() == layout::kBaseHeaderSize && core::GetU8(raw.data() + layout::kProductionIndexOffset) != 0));
  if (const char* kind = MemoKind(*file)) {
    JsonValue memo = JsonValue::Object();
    memo.Add("kind", JsonValue::String(kind));
    if (std::string(kind) != "missing")
      memo.Add("block_size", JsonValue::NumberFromInt(static_cast<int64_t>(file->MemoFile()->BlockSize())));
    info.Add("memo", std::move(memo));
  } else {
    info.Add("memo", JsonValue());
  }
  JsonValue fields = JsonValue::Array();
  const dbf::TDbfFieldDefs& defs = file->FieldDefs();
  for (int i = 0; i < defs.Count(); ++i) {
    const dbf::TDbfFieldDef& def = defs[i];
    JsonValue field = JsonValue::Object();
    field.Add("name", JsonValue::String(TableTextToUtf8(file->EffectiveCodePage(), def.FieldName())));
    const char letter = static_cast<char>(def.NativeFieldType());
    field.Add("type", JsonValue::String(std::string(1, letter)));
    field.Add("length", JsonValue::NumberFromInt(def.Size()));
    field.Add("decimals", JsonValue::NumberFromInt(def.Precision()));
    field.Add("null_bit", def.NullPosition() >= 0 ? JsonValue::NumberFromInt(def.NullPosition())
                                                  : JsonValue());
    fields.Add(std::move(field));
  }
  info.Add("fields", std::move(fields));
  PrintLine(out, info);
}

void DumpCommand(const std::string& path, bool with_deleted, const TableOptions& options,
                 std::ostream& out) {
  auto file = OpenTable(path, TFileAccessMode::amReadOnly);
  const dbf::TDbfFieldDefs& defs = file->FieldDefs();
  std::vector<std::string> names;
  for (int i = 0; i < defs.Count(); ++i)
    names.push_back(TableTextToUtf8(file->EffectiveCodePage(), defs[i].FieldName()));
  std::vector<std::byte> record(file->RecordSize());
  const uint32_t count = file->RecordCount();
  for (uint32_t n = 1; n <= count; ++n) {
    if (file->ReadRecord(n, record) < record.size()) break;
    const bool deleted = record[0] == kDeletedFlag;
    if (deleted && !with_deleted) continue;
    JsonValue line = JsonValue::Object();
    line.Add("_recno", JsonValue::NumberFromInt(n));
    line.Add("_deleted", JsonValue::Boolean(deleted));
    for (int i = 0; i < defs.Count(); ++i)
      line.Add(names[static_cast<size_t>(i)], FieldToJson(*file, defs[i], record, options.raw));
    PrintLine(out, line);
  }
}

void SumCommand(const std::string& path, const std::string& field, std::ostream& out) {
  auto file = OpenTable(path, TFileAccessMode::amReadOnly);
  const dbf::TDbfFieldDef& def = FindField(*file, field);
  const dbf::TValueClass value_class = dbf::ValueClassOf(def.FieldType());
  if (def.IsBlob() || (value_class != dbf::TValueClass::Integer &&
                       value_class != dbf::TValueClass::Float &&
                       value_class != dbf::TValueClass::BCD))
    throw core::Exception("Field '" + def.FieldName() + "' is not numeric");
  const dbf::TDbfFieldDefs& defs = file->FieldDefs();
  const size_t size = file->RecordSize();
  const bool decimal_text = def.NativeFieldType() == 'N' || def.NativeFieldType() == 'F';
  const size_t offset = static_cast<size_t>(def.Offset());
  const size_t width = static_cast<size_t>(def.Size());
  // Whole runs of records in one read, the field parsed where it lies. The buffer is not
  // cleared (the reads fill it) and has room before it for the reader's 16-byte window.
  const size_t per_read = std::max<size_t>(1, kSumReadBytes / size);
  constexpr size_t kSlack = 16;
  const std::unique_ptr<std::byte[]> storage(new std::byte[kSlack + per_read * size]);
  std::fill_n(storage.get(), kSlack, std::byte{' '});
  const std::span<std::byte> chunk(storage.get() + kSlack, per_read * size);
  const dbf::FixedDecimalReader fixed(width, def.Precision());
  const bool fast = decimal_text && fixed.Usable();
  dbf::TFieldValue value;
  SumTotals totals;
  const uint32_t count = file->RecordCount();
  for (uint64_t first = 1; first <= count; first += per_read) {
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(per_read, count - first + 1));
    const size_t got =
        file->ReadAt(file->RecordPosition(first), chunk.first(wanted * size)) / size;
    for (size_t i = 0; i < got; ++i) {
      if (fast) {
        i = AddFixedRecords(chunk.data(), got, size, offset, fixed, i, totals);
        if (i == got) break;
      }
      const std::span<const std::byte> record = chunk.subspan(i * size, size);
      if (record[0] == kDeletedFlag) continue;
      ++totals.live;
      const char* text = reinterpret_cast<const char*>(record.data()) + offset;
      double real = 0;
      bool null = false;
      if (!(decimal_text && dbf::ParsePlainDecimal(text, width, real, null))) {
        null = !dbf::GetFieldData(defs, def, data::TFieldType::ftFloat, record, &value);
        real = value.real;
      }
      if (!null && real != 0) {
        ++totals.nonzero;
        totals.sum += real;
      }
    }
    if (got < wanted) break;
  }
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", totals.sum);
  JsonValue result = JsonValue::Object();
  result.Add("records", JsonValue::NumberFromInt(totals.live));
  result.Add("nonzero", JsonValue::NumberFromDouble(static_cast<double>(totals.nonzero)));
  result.Add("sum", JsonValue::NumberText(text));
  PrintLine(out, result);
}

FieldSpec ParseFieldSpec(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  auto number = [&](const std::string& s) {
    if (s.empty() || s.size() > 5 || s.find_first_not_of("0123456789") != std::string::npos)
      throw core::Exception("Bad field definition \"" + text + "\": \"" + s +
                            "\" is not a length.");
    return std::stoi(s);
  };
  if (parts.size() < 3 || parts.size() > 4 || parts[0].empty() || parts[1].size() != 1)
    throw core::Exception("Bad field definition \"" + text + "\" (NAME:LETTER:LEN[:DEC]).");
  FieldSpec desc;
  desc.name = parts[0];
  desc.letter = parts[1][0];
  desc.length = number(parts[2]);
  desc.decimals = parts.size() == 4 ? number(parts[3]) : 0;
  return desc;
}

void CreateCommand(const std::string& path, int level, uint8_t ldid,
                   const std::vector<FieldSpec>& fields, bool overwrite, std::ostream& out) {
  if (level != 3 && level != 4 && level != 7 && level != 25)
    throw core::Exception("Table level must be 3, 4, 7 or 25.");
  if (fields.empty()) throw core::Exception("A table needs at least one field.");
  const size_t max_name = level == dbf::kTableLevel7 ? layout::kLevel7FieldNameMaxChars
                                                     : layout::kNameMaxChars;
  dbf::TDbfFieldDefs defs(level);
  std::set<std::string> seen;
  for (const FieldSpec& desc : fields) {
    dbf::TDbfFieldDef& def = defs.Add();
    def.SetFieldName(desc.name);
    if (desc.name.size() > max_name)
      throw core::Exception("Field name " + desc.name + " is longer than " +
                            std::to_string(max_name) + " characters.");
    if (!seen.insert(def.FieldName()).second)
      throw core::Exception("Field name " + def.FieldName() + " is used twice.");
    def.SetNative(static_cast<uint8_t>(desc.letter), desc.length, desc.decimals);
    if (def.NativeFieldType() == 0)
      throw core::Exception("Field " + def.FieldName() + ": type " + std::string(1, desc.letter) +
                            " is not known at level " + std::to_string(level) + ".");
  }
  if (!overwrite && platform::FileExists(path))
    throw core::Exception("File \"" + path + "\" already exists (--overwrite replaces it).");
  {
    dbf::TDbfFile file;
    file.SetFileName(path);
    file.SetMode(TFileAccessMode::amExclusiveNew);
    file.SetTableLevel(level);
    file.Create(defs, ldid, dbf::kDefaultMemoBlockSize);
    file.Close();
  }
  InfoCommand(path, out);
}

void AppendCommand(const std::string& path, std::istream& in, const TableOptions& options,
                   std::ostream& out) {
  std::vector<JsonValue> objects;
  std::string line;
  size_t line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    try {
      objects.push_back(core::ParseJson(line));
    } catch (const core::Exception& e) {
      throw core::Exception("Line " + std::to_string(line_number) + ": " + e.Message());
    }
  }
  auto file = OpenTable(path, WriteMode(options));
  RefuseUnkeptIndex(*file, path);
  // Every record is built (and every value checked) before the first write.
  std::vector<std::vector<std::byte>> records;
  std::vector<std::vector<PendingMemo>> memos;
  for (size_t i = 0; i < objects.size(); ++i) {
    std::vector<std::byte> record(file->BlankRecord().begin(), file->BlankRecord().end());
    std::vector<PendingMemo> pending;
    try {
      ApplyObject(*file, objects[i], record, options, pending);
    } catch (const core::Exception& e) {
      throw core::Exception("Record " + std::to_string(i + 1) + " of the input: " + e.Message());
    }
    CheckMemoFileFor(*file, pending);
    records.push_back(std::move(record));
    memos.push_back(std::move(pending));
  }
  for (size_t i = 0; i < records.size(); ++i) {
    uint32_t n = 0;
    StoreWithMemos(*file, records[i], memos[i], [&] { n = file->Insert(records[i]); });
    PrintLine(out, RecnoLine(n));
  }
  file->Close();
}

void SetCommand(const std::string& path, uint32_t recno,
                const std::vector<std::pair<std::string, std::string>>& assignments,
                const TableOptions& options, std::ostream& out) {
  auto file = OpenTable(path, WriteMode(options));
  RefuseUnkeptIndex(*file, path);
  CheckRecordNumber(*file, recno);
  for (const auto& [name, value] : assignments) FindField(*file, name);
  std::vector<std::byte> record(file->RecordSize());
  file->LockRecord(recno, record);
  std::vector<PendingMemo> pending;
  try {
    for (const auto& [name, value] : assignments)
      FieldFromJson(*file, FindField(*file, name), record, JsonValue::String(value), options.raw,
                    options.truncate, pending);
    CheckMemoFileFor(*file, pending);
  } catch (...) {
    file->CancelRecordLock(recno);
    throw;
  }
  try {
    StoreWithMemos(*file, record, pending, [&] { file->UnlockRecord(recno, record); });
  } catch (...) {
    if (file->LockedRecord() == recno) file->CancelRecordLock(recno);
    throw;
  }
  file->Close();
  PrintLine(out, RecnoLine(recno));
}

void DeleteCommand(const std::string& path, uint32_t recno, const TableOptions& options,
                   std::ostream& out) {
  auto file = OpenTable(path, WriteMode(options));
  RefuseUnkeptIndex(*file, path);
  CheckRecordNumber(*file, recno);
  std::vector<std::byte> record(file->RecordSize());
  file->LockRecord(recno, record);
  record[0] = kDeletedFlag;
  file->RecordDeleted(recno, record);
  file->UnlockRecord(recno, record);
  file->Close();
  JsonValue line = RecnoLine(recno);
  line.Add("_deleted", JsonValue::Boolean(true));
  PrintLine(out, line);
}

}  // namespace lgoty::tools
