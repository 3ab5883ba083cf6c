// A memo field's value as a record buffer of TDbf holds it. The record itself holds only the
// number of the value's first block in the memo file (dbf/memo_file.h); the slot keeps the
// value read from there, or written by the program, until the record is posted.
//
//   read      the value is read from the memo file on first use and kept while the buffer
//             holds the same record;
//   written   a new value (field assignment or blob stream) stays in the slot, marked
//             dirty; posting stores it in the memo file first (reusing the blocks of the
//             present value when it fits) and puts the new block number into the record;
//   reset     reading another record, Edit and Cancel forget the slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace lgoty::dbf {

class TMemoFile;

struct TDbfBlobSlot {
  bool loaded = false;
  bool dirty = false;
  std::string data;
  // Blocks the present value occupies in the memo file (what a rewrite may reuse).
  uint32_t block_count = 0;

  void Reset() {
    loaded = false;
    dirty = false;
    data.clear();
    block_count = 0;
  }
  // Reads the value starting at block (0: none) unless it is loaded already.
  void Load(TMemoFile* memo, uint32_t block);
  // Writes a dirty value; returns the block number to store in the record (present_block
  // when nothing was written).
  uint32_t Flush(TMemoFile* memo, uint32_t present_block);
};

}  // namespace lgoty::dbf
