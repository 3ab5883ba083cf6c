// Cursors of a table dataset: the order in which TDbf walks its records. A cursor is on a
// record or on one of the two cracks (before the first record, after the last one), and
// numbers its records sequentially.
//
//   cursor            order                        sequential number, count
//   TPhysicalCursor   record numbers 1..count      the record number, the file's record count
//                                                  (deleted records included)
//   TIndexCursor      one tag of an index file,    the tag's estimates (dbf/index_file.h)
//                     optionally within a range
//
// Visibility (deleted records, filters) is not the cursor's business: the dataset skips what
// it refuses. Cursors borrow their file and tag; the dataset drops its cursors before it
// closes or changes the files under them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace lgoty::dbf {

class TDbfFile;
class TIndexFile;
class TIndexTag;

class TIndexCursor;

class TDbfCursor {
 public:
  virtual ~TDbfCursor() = default;

  // The cursor as an index cursor, or null: asked once per record fetched, so a virtual call
  // instead of a type query.
  virtual TIndexCursor* AsIndexCursor() { return nullptr; }

  // Onto the crack before the first / after the last record.
  virtual void First() = 0;
  virtual void Last() = 0;
  // One record on; false (cursor on the crack after the last / before the first) when there
  // is none.
  virtual bool Next() = 0;
  virtual bool Prior() = 0;
  // The physical record number under the cursor; 0 on a crack.
  virtual uint32_t PhysicalRecNo() = 0;
  // Onto physical record n (in index order, onto that record's place in the tag, or the next
  // key when the record has none).
  virtual void SetPhysicalRecNo(uint32_t n) = 0;
  virtual int SequentialRecNo() = 0;
  // Onto sequential number n; false when the cursor cannot place itself by number.
  virtual bool SetSequentialRecNo(int n) = 0;
  virtual int SequentialRecordCount() = 0;
};

class TPhysicalCursor final : public TDbfCursor {
 public:
  explicit TPhysicalCursor(TDbfFile& file) : file_(file) {}

  void First() override { position_ = 0; }
  void Last() override;
  bool Next() override;
  bool Prior() override;
  uint32_t PhysicalRecNo() override;
  void SetPhysicalRecNo(uint32_t n) override { position_ = n; }
  int SequentialRecNo() override { return static_cast<int>(PhysicalRecNo()); }
  bool SetSequentialRecNo(int n) override;
  int SequentialRecordCount() override;

 private:
  static constexpr uint64_t kUnknown = UINT64_MAX;
  uint64_t Count(bool refresh);

  TDbfFile& file_;
  // 0: before the first record; count + 1: after the last.
  uint64_t position_ = 0;
  uint64_t count_ = kUnknown;
};

class TIndexCursor final : public TDbfCursor {
 public:
  // tag belongs to file; both are borrowed.
  TIndexCursor(TIndexFile& file, TIndexTag& tag) : file_(file), tag_(tag) {}

  TIndexFile& File() { return file_; }
  TIndexTag& Tag() { return tag_; }
  TIndexCursor* AsIndexCursor() override { return this; }

  void First() override { state_ = State::Bof; }
  void Last() override { state_ = State::Eof; }
  bool Next() override;
  bool Prior() override;
  uint32_t PhysicalRecNo() override;
  void SetPhysicalRecNo(uint32_t n) override;
  int SequentialRecNo() override;
  // Onto the key at that place of the estimated order (see TIndexTag::SeekPosition).
  bool SetSequentialRecNo(int n) override;
  int SequentialRecordCount() override;

  // Onto the first key not less than key (over key's length); exact: the key reached must
  // start with key. False leaves the cursor where it was.
  bool Search(std::span<const std::byte> key, bool exact);
  // Whether the entry under the cursor is one to show (its record read into record,
  // RecordSize() bytes); see TIndexFile::CurrentEntryHolds.
  bool EntryHolds(std::span<std::byte> record);
  // The key under the cursor (valid until the cursor moves).
  std::span<const std::byte> CurrentKey();
  // Restricts the cursor to keys from low to high (each compared over its own length).
  void SetRange(std::span<const std::byte> low, std::span<const std::byte> high);
  void CancelRange();

 private:
  enum class State { Bof, On, Eof };
  // Makes this cursor's tag the one the index file's cursor calls work on.
  void Select();

  TIndexFile& file_;
  TIndexTag& tag_;
  State state_ = State::Bof;
};

}  // namespace lgoty::dbf
