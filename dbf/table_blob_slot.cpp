#include "dbf/table_blob_slot.h"

#include "dbf/memo_file.h"

namespace lgoty::dbf {

void TDbfBlobSlot::Load(TMemoFile* memo, uint32_t block) {
  if (loaded) return;
  data.clear();
  block_count = 0;
  if (memo && block != 0) {
    TMemoValue value = memo->ReadValue(block);
    data.assign(reinterpret_cast<const char*>(value.data.data()), value.data.size());
    block_count = value.block_count;
  }
  loaded = true;
}

uint32_t TDbfBlobSlot::Flush(TMemoFile* memo, uint32_t present_block) {
  if (!dirty || !memo) return present_block;
  const auto bytes = std::span<const std::byte>(reinterpret_cast<const std::byte*>(data.data()),
                                                data.size());
  const uint32_t block = memo->WriteValue(bytes, present_block, block_count);
  block_count = block == 0 ? 0 : memo->BlocksNeeded(data.size());
  dirty = false;
  return block;
}

}  // namespace lgoty::dbf
