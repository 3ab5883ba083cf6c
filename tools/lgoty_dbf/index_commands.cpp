#include "tools/lgoty_dbf/index_commands.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <vector>

#include "core/exception.h"
#include "core/json.h"
#include "core/byte_codec.h"
#include "dbf/dbf_file.h"
#include "dbf/dbf_header.h"
#include "dbf/dbf_parser.h"
#include "dbf/index_check.h"
#include "dbf/index_file.h"
#include "dbf/index_keys.h"
#include "dbf/mdx_format.h"
#include "platform/file.h"
#include "platform/system.h"
#include "tools/lgoty_dbf/field_json.h"

namespace lgoty::tools {

using core::JsonValue;
using dbf::TFileAccessMode;

namespace {

constexpr std::byte kDeletedFlag{'*'};
// How long check waits for writers of a shared table to let go: 200 x 10 ms.
constexpr int kCheckLockAttempts = 200;
constexpr auto kCheckLockPause = std::chrono::milliseconds(10);

bool IsNdxName(const std::string& name) { return !platform::ExtractFileExt(name).empty(); }

// An .ndx named without a folder lies next to the table.
std::string NdxPath(const std::string& table_path, const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  return platform::ExtractFilePath(table_path) + name;
}

std::unique_ptr<dbf::TDbfFile> OpenTableFor(const std::string& path, TFileAccessMode mode) {
  auto file = std::make_unique<dbf::TDbfFile>();
  file->SetFileName(path);
  file->SetMode(mode);
  file->SetOnLocaleError([](dbf::TLocaleError, dbf::TLocaleSolution& solution) {
    // The tools read what is there: keys in the order the file holds them.
    solution = dbf::TLocaleSolution::lsNoEdit;
  });
  file->Open();
  if (file->OpenAbandoned())
    throw core::Exception("Table \"" + path + "\" holds no records (zero header or record length).");
  return file;
}

void PrintLine(std::ostream& out, const JsonValue& value) {
  std::string line = value.Serialize();
  line.push_back('\n');
  out << line;
}

JsonValue RecordLine(dbf::TDbfFile& file, uint32_t n, std::span<const std::byte> record,
                     bool raw) {
  const dbf::TDbfFieldDefs& defs = file.FieldDefs();
  JsonValue line = JsonValue::Object();
  line.Add("_recno", JsonValue::NumberFromInt(n));
  line.Add("_deleted", JsonValue::Boolean(record[0] == kDeletedFlag));
  for (int i = 0; i < defs.Count(); ++i)
    line.Add(TableTextToUtf8(file.EffectiveCodePage(), defs[i].FieldName()),
             FieldToJson(file, defs[i], record, raw));
  return line;
}

// The index of name on table: a tag of its production index (selected) or an opened NDX file
// added to the table's indexes.
dbf::TIndexFile& IndexFor(dbf::TDbfFile& table, const std::string& table_path,
                          const std::string& name) {
  if (IsNdxName(name)) {
    auto ndx = std::make_unique<dbf::TIndexFile>(table);
    ndx->SetFileName(NdxPath(table_path, name));
    ndx->SetMode(dbf::IndexOpenMode(table.Mode()));
    ndx->Open();
    dbf::TIndexFile& result = *ndx;
    table.AddIndex(std::move(ndx));
    return result;
  }
  dbf::TIndexFile* mdx = dbf::ProductionIndexOf(table, false);
  if (!mdx || !mdx->SelectTag(name))
    throw core::Exception("Table \"" + table_path + "\" has no index tag \"" + name + "\".");
  return *mdx;
}

// The key text of the command line in the tag's encoding; character keys are not padded.
std::vector<std::byte> KeyFromText(dbf::TIndexFile& index, const std::string& text) {
  dbf::TIndexTag& tag = *index.SelectedTag();
  std::vector<std::byte> key;
  if (tag.NumericKeys()) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno == ERANGE)
      throw core::Exception("\"" + text + "\" is not a number.");
    key.resize(tag.KeyLength());
    if (index.IsMdx()) dbf::EncodeMdxNumericKey(value, key);
    else dbf::EncodeNdxNumericKey(value, key);
    return key;
  }
  const std::string bytes = Utf8ToTableText(index.Table().EffectiveCodePage(), text);
  const size_t n = std::min(bytes.size(), tag.KeyLength());
  key.resize(n);
  std::memcpy(key.data(), bytes.data(), n);
  return key;
}

}  // namespace

void IndexCommand(const std::string& path, const IndexSpec& desc, std::ostream& out) {
  auto table = OpenTableFor(path, TFileAccessMode::amExclusiveExisting);
  dbf::TIndexOptions options;
  options.kind = desc.kind;
  options.descending = desc.descending;
  options.expression = table->FieldDefs().Find(desc.expression) == nullptr;
  dbf::TIndexFile* index = nullptr;
  if (IsNdxName(desc.name)) {
    if (desc.descending) throw core::Exception("NDX files have no descending order.");
    auto ndx = std::make_unique<dbf::TIndexFile>(*table);
    ndx->SetFileName(NdxPath(path, desc.name));
    ndx->SetMode(TFileAccessMode::amExclusiveNew);
    ndx->Open();
    ndx->CreateTag(desc.expression, desc.name, options);
    index = ndx.get();
    table->AddIndex(std::move(ndx));
  } else {
    index = dbf::ProductionIndexOf(*table, true);
    index->CreateTag(desc.expression, desc.name, options);
  }
  dbf::TIndexTag& tag = *index->SelectedTag();
  JsonValue line = JsonValue::Object();
  line.Add("index", JsonValue::String(index->FileName()));
  line.Add("tag", JsonValue::String(tag.Name()));
  line.Add("key_type", JsonValue::String(std::string(1, tag.Header().key_type)));
  line.Add("key_length", JsonValue::NumberFromInt(static_cast<int64_t>(tag.KeyLength())));
  PrintLine(out, line);
}

void DropIndexCommand(const std::string& path, const std::string& name, std::ostream& out) {
  auto table = OpenTableFor(path, TFileAccessMode::amExclusiveExisting);
  JsonValue line = JsonValue::Object();
  if (IsNdxName(name)) {
    const std::string ndx = NdxPath(path, name);
    if (!platform::DeleteFile(ndx)) throw core::Exception("Cannot delete \"" + ndx + "\".");
    line.Add("deleted", JsonValue::String(ndx));
    PrintLine(out, line);
    return;
  }
  dbf::TIndexFile* mdx = dbf::ProductionIndexOf(*table, false);
  if (!mdx || !mdx->FindTag(name))
    throw core::Exception("Table \"" + path + "\" has no index tag \"" + name + "\".");
  mdx->DeleteTag(name);
  line.Add("dropped", JsonValue::String(name));
  if (mdx->TagCount() == 0) {
    // A production index without tags goes away with the table's flag.
    const std::string file = mdx->FileName();
    table->RemoveIndex(mdx);
    platform::DeleteFile(file);
    core::PutU8(table->Header(), dbf::dbf_layout::kProductionIndexOffset, 0);
    table->WriteHeader();
    line.Add("deleted", JsonValue::String(file));
  }
  PrintLine(out, line);
}

void DumpIndexCommand(const std::string& path, const std::string& name,
                      const std::optional<std::string>& from,
                      const std::optional<std::string>& to, bool raw, std::ostream& out) {
  auto table = OpenTableFor(path, TFileAccessMode::amReadOnly);
  dbf::TIndexFile& index = IndexFor(*table, path, name);
  if (from || to) {
    const std::vector<std::byte> low = from ? KeyFromText(index, *from) : std::vector<std::byte>{};
    const std::vector<std::byte> high = to ? KeyFromText(index, *to) : std::vector<std::byte>{};
    index.SetRange(low, high);
  }
  std::vector<std::byte> record(table->RecordSize());
  for (bool ok = index.First(); ok; ok = index.Next()) {
    // An entry whose row is not (yet) there, or whose row holds another key, is passed
    // over: another program is appending that row, or one died between key and row.
    if (!index.CurrentEntryHolds(record)) continue;
    PrintLine(out, RecordLine(*table, index.RecNo(), record, raw));
  }
}

bool SeekCommand(const std::string& path, const std::string& name, const std::string& key,
                 bool partial, bool raw, std::ostream& out) {
  auto table = OpenTableFor(path, TFileAccessMode::amReadOnly);
  dbf::TIndexFile& index = IndexFor(*table, path, name);
  std::vector<std::byte> search = KeyFromText(index, key);
  dbf::TIndexTag& tag = *index.SelectedTag();
  if (!partial && !tag.NumericKeys()) search.resize(tag.KeyLength(), std::byte{' '});
  if (!index.Search(search, true)) return false;
  std::vector<std::byte> record(table->RecordSize());
  // The first entry of the key whose row holds it (see DumpIndexCommand).
  for (bool ok = true; ok; ok = index.Next()) {
    if (tag.Compare(tag.CurrentKey().data(), search.data(), search.size()) != 0) return false;
    if (!index.CurrentEntryHolds(record)) continue;
    PrintLine(out, RecordLine(*table, index.RecNo(), record, raw));
    return true;
  }
  return false;
}

bool CheckCommand(const std::string& path, std::ostream& out) {
  auto table = OpenTableFor(path, TFileAccessMode::amReadOnly);
  // Other programs may be appending or editing: every key change happens while its writer
  // holds the lock of its record, so the lock of every record (shared with other readers)
  // gives one consistent state of table and indexes for as long as the check runs.
  // Writers that keep some record locked the whole time make the check give up.
  bool locked = false;
  for (int attempt = 0; attempt < kCheckLockAttempts && !locked; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kCheckLockPause);
    locked = table->LockAllPages(false);
  }
  if (!locked)
    throw core::Exception("Table \"" + path +
                          "\" is being changed by another program; its indexes cannot be "
                          "checked now.");
  bool sound = true;
  const bool flagged = core::GetU8(table->Header(), dbf::dbf_layout::kProductionIndexOffset) != 0;
  dbf::TIndexFile* mdx = dbf::ProductionIndexOf(*table, false);
  if (flagged && !mdx) {
    JsonValue line = JsonValue::Object();
    line.Add("index", JsonValue::String(platform::ChangeFileExt(path, ".mdx")));
    JsonValue problems = JsonValue::Array();
    problems.Add(JsonValue::String("the production index cannot be opened"));
    line.Add("problems", std::move(problems));
    PrintLine(out, line);
    return false;
  }
  if (!mdx) return true;
  if (mdx->NoEdit()) {
    // Ordered for another language: this engine reads it but never changes it, so every
    // change made since it was written is missing from it.
    char text[160];
    std::snprintf(text, sizeof text,
                  "the index's language driver 0x%02X differs from the table's 0x%02X: it is "
                  "not kept up to date",
                  core::GetU8(mdx->MdxHeader().data() + dbf::mdx::kLanguageDriverOffset),
                  table->LanguageId());
    JsonValue line = JsonValue::Object();
    line.Add("index", JsonValue::String(mdx->FileName()));
    JsonValue problems = JsonValue::Array();
    problems.Add(JsonValue::String(text));
    line.Add("problems", std::move(problems));
    PrintLine(out, line);
    sound = false;
  }
  for (size_t i = 0; i < mdx->TagCount(); ++i) {
    dbf::TIndexTag& tag = mdx->Tag(i);
    mdx->Refresh(tag);  // as it is now, under the locks
    std::vector<std::string> found = dbf::CheckIndexTag(*mdx, tag);
    JsonValue line = JsonValue::Object();
    line.Add("tag", JsonValue::String(tag.Name()));
    line.Add("expression", JsonValue::String(tag.Header().expression));
    JsonValue problems = JsonValue::Array();
    for (const std::string& p : found) problems.Add(JsonValue::String(p));
    line.Add("problems", std::move(problems));
    PrintLine(out, line);
    sound = sound && found.empty();
  }
  return sound;
}

void DumpFilterCommand(const std::string& path, const std::string& expression, bool with_deleted,
                       bool raw, std::ostream& out) {
  auto table = OpenTableFor(path, TFileAccessMode::amReadOnly);
  dbf::TDbfParser parser(table->FieldDefs(), table->EffectiveCodePage(), table->RecordSize());
  parser.CompileExpression(expression);
  if (parser.ResultType() != dbf::TExpressionType::etBoolean)
    throw core::Exception("The filter \"" + expression + "\" is not a condition.");
  std::vector<std::byte> record(table->RecordSize());
  const uint32_t count = table->RecordCount();
  for (uint32_t n = 1; n <= count; ++n) {
    if (table->ReadRecord(n, record) < record.size()) break;
    if (record[0] == kDeletedFlag && !with_deleted) continue;
    if (!parser.Evaluate(record).boolean) continue;
    PrintLine(out, RecordLine(*table, n, record, raw));
  }
}

}  // namespace lgoty::tools
