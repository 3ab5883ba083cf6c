// The body of the index_fuzz target, shared with the regression test that replays the inputs
// the fuzzer once found.
//
// Arbitrary bytes as an MDX or NDX index file of a small table in memory: open it, walk every
// tag both ways, search, estimate, verify, and change keys. The engine must answer with its
// own errors (core::Exception and what derives from it), never crash or hang.
//
// Input layout: byte 0 bit 0 picks the format (0 MDX, 1 NDX), bit 1 whether keys are changed;
// the rest is the index file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/exception.h"
#include "dbf/dbf_file.h"
#include "dbf/index_check.h"
#include "dbf/index_file.h"
#include "platform/file.h"

namespace lgoty::fuzz {
namespace index_detail {

namespace dbf = lgoty::dbf;

constexpr size_t kMaxSteps = 5000;

inline std::unique_ptr<dbf::TDbfFile> MakeTable(lgoty::platform::MemoryFile& stream) {
  dbf::TDbfFieldDefs defs(dbf::kTableLevel4);
  struct Field {
    const char* name;
    char letter;
    int length, decimals;
  };
  for (const Field& f : {Field{"FAMIL", 'C', 25, 0}, Field{"IMJA", 'C', 20, 0},
                         Field{"SUMPAY", 'N', 12, 2}, Field{"CODE", 'C', 6, 0}}) {
    dbf::TDbfFieldDef& def = defs.Add();
    def.SetFieldName(f.name);
    def.SetNative(static_cast<uint8_t>(f.letter), f.length, f.decimals);
  }
  auto table = std::make_unique<dbf::TDbfFile>();
  table->SetFileName("fuzz.dbf");
  table->SetMode(dbf::TFileAccessMode::amMemoryNew);
  table->SetMemoryStream(&stream);
  table->Create(defs, 0x65, 512);
  std::vector<std::byte> record(table->RecordSize());
  const char* const names[] = {"AAA", "Bob", "zzz", "Bob", "   "};
  for (const char* name : names) {
    table->InitRecord(record);
    for (size_t i = 0; name[i]; ++i) record[1 + i] = static_cast<std::byte>(name[i]);
    table->Insert(record);
  }
  return table;
}

inline void Walk(dbf::TIndexFile& index, bool change) {
  std::vector<std::byte> key(3, std::byte{'B'});
  for (size_t t = 0; t < index.TagCount(); ++t) {
    try {
      index.SelectTag(t);
      size_t steps = 0;
      for (bool ok = index.First(); ok && steps < kMaxSteps; ok = index.Next()) ++steps;
      steps = 0;
      for (bool ok = index.Last(); ok && steps < kMaxSteps; ok = index.Prior()) ++steps;
      index.Search(key, false);
      index.Search(key, true);
      index.EstimatedPosition();
      index.EstimatedCount();
      index.GotoRecord(2);
      index.SetRange(key, key);
      index.First();
      index.CancelRange();
      dbf::CheckIndexTag(index, index.Tag(t));
    } catch (const lgoty::core::Exception&) {
    }
  }
  if (!change) return;
  std::vector<std::byte> record(index.Table().RecordSize());
  std::vector<std::byte> other(index.Table().RecordSize());
  index.Table().InitRecord(record);
  index.Table().InitRecord(other);
  record[1] = std::byte{'B'};
  for (uint32_t n = 1; n <= 40; ++n) {
    try {
      index.Insert(n, record);
      index.Update(n, record, other);
      if (n % 3 == 0) index.Delete(n, other);
    } catch (const lgoty::core::Exception&) {
    }
  }
}

}  // namespace index_detail

// Never throws: every engine error is the expected answer to bad bytes.
inline void RunIndexInput(const uint8_t* data, size_t size) {
  using namespace index_detail;
  if (size < 1) return;
  const bool ndx = data[0] & 1;
  const bool change = data[0] & 2;
  std::vector<std::byte> bytes(reinterpret_cast<const std::byte*>(data + 1),
                               reinterpret_cast<const std::byte*>(data + size));
  try {
    lgoty::platform::MemoryFile table_stream("fuzz.dbf");
    auto table = MakeTable(table_stream);
    lgoty::platform::MemoryFile index_stream(ndx ? "fuzz.ndx" : "fuzz.mdx", std::move(bytes));
    dbf::TIndexFile index(*table);
    index.SetFileName(ndx ? "fuzz.ndx" : "fuzz.mdx");
    index.SetMode(dbf::TFileAccessMode::amMemoryExisting);
    index.SetMemoryStream(&index_stream);
    index.SetOnLocaleError([](dbf::TLocaleError, dbf::TLocaleSolution& s) {
      s = dbf::TLocaleSolution::lsBinary;
    });
    try {
      index.Open();
    } catch (const lgoty::core::Exception&) {
      return;
    }
    Walk(index, change);
  } catch (const lgoty::core::Exception&) {
  }
}

}  // namespace lgoty::fuzz
