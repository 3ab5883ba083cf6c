// What the data file needs from an index to keep it in step with the records.
//
// TDbfFile calls these while it writes records; an index computes its keys from whole record
// images (deletion flag at byte 0, fields after it). A key the index refuses (a duplicate in
// a unique index) is reported by throwing the index's own key-violation EDbfError; the data
// file then undoes the changes it made to the other indexes, in reverse order, and lets the
// error through. A write that stored less than asked is reported through WriteError(), which
// stays set until ResetWriteError().
#pragma once

#include <cstdint>
#include <span>

namespace lgoty::dbf {

class TPagedFile;

class TRecordIndex {
 public:
  virtual ~TRecordIndex() = default;

  // Adds the key of record n computed from record. Throws the key-violation EDbfError and
  // leaves the index unchanged when the key is refused.
  virtual void Insert(uint32_t n, std::span<const std::byte> record) = 0;
  // Replaces the key computed from old_record by the one computed from new_record (nothing
  // to do when they are equal). Throws like Insert, leaving the index unchanged.
  virtual void Update(uint32_t n, std::span<const std::byte> old_record,
                      std::span<const std::byte> new_record) = 0;
  // Removes the key of record n computed from record (undoing an Insert). Must not refuse.
  virtual void Delete(uint32_t n, std::span<const std::byte> record) = 0;
  // Record n, whose image is record, is about to be marked deleted.
  virtual void RecordDeleted(uint32_t n, std::span<const std::byte> record) = 0;

  virtual bool WriteError() const = 0;
  virtual void ResetWriteError() = 0;
  // The file behind the index, for the temporary switch to exclusive access; nullptr for an
  // index that has none.
  virtual TPagedFile* File() = 0;
};

}  // namespace lgoty::dbf
