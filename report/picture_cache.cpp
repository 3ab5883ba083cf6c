#include "report/picture_cache.h"

#include <functional>

#include "core/xml_document.h"
#include "platform/file_stream.h"
#include "report/prop_data.h"

namespace lgoty::report {

void TfrxPictureCache::SetInFile(bool in_file, std::string temp_dir) {
  in_file_ = in_file;
  temp_dir_ = std::move(temp_dir);
}

void TfrxPictureCache::Clear() {
  pictures_.clear();
  by_hash_.clear();
  segments_.clear();  // temporary files delete themselves
}

core::TStream& TfrxPictureCache::CurrentSegment(int64_t incoming) {
  if (segments_.empty() || segments_.back()->Size() > kSegmentLimit ||
      segments_.back()->Size() + incoming < 0) {
    if (in_file_) {
      segments_.push_back(platform::FileStream::CreateTemporary(temp_dir_));
    } else {
      segments_.push_back(std::make_unique<core::TMemoryStream>());
    }
  }
  return *segments_.back();
}

int TfrxPictureCache::Add(std::string_view bytes) {
  if (bytes.empty()) return 0;
  size_t hash = std::hash<std::string_view>()(bytes);
  auto [first, last] = by_hash_.equal_range(hash);
  for (auto it = first; it != last; ++it) {
    if (Get(it->second + 1) == bytes) return it->second + 1;
  }
  core::TStream& segment = CurrentSegment(static_cast<int64_t>(bytes.size()));
  int64_t offset = segment.Seek(0, core::SeekOrigin::End);
  segment.Write(bytes.data(), bytes.size());
  pictures_.push_back(Location{static_cast<int>(segments_.size()) - 1, offset,
                               static_cast<int64_t>(bytes.size())});
  int index = static_cast<int>(pictures_.size()) - 1;
  by_hash_.emplace(hash, index);
  return index + 1;
}

std::string TfrxPictureCache::Get(int index) const {
  if (index < 1 || index > Count()) return std::string();
  const Location& at = pictures_[static_cast<size_t>(index - 1)];
  core::TStream& segment = *segments_[static_cast<size_t>(at.segment)];
  std::string bytes(static_cast<size_t>(at.size), '\0');
  segment.SetPosition(at.offset);
  bytes.resize(segment.Read(bytes.data(), bytes.size()));
  return bytes;
}

void TfrxPictureCache::SaveToXML(core::TfrxXMLItem* item) const {
  item->Clear();
  for (int i = 1; i <= Count(); ++i) {
    core::TfrxXMLItem* child = item->Add();
    child->SetName("item");
    child->SetText("stream=\"" + BytesToHex(Get(i)) + "\"");
  }
}

void TfrxPictureCache::LoadFromXML(const core::TfrxXMLItem* item) {
  Clear();
  for (int i = 0; i < item->Count(); ++i) {
    std::string hex = item->Items(i)->Attribute("stream");
    std::string bytes = HexToBytes(hex);
    if (bytes.size() * 2 != hex.size()) bytes.clear();
    core::TStream& segment = CurrentSegment(static_cast<int64_t>(bytes.size()));
    int64_t offset = segment.Seek(0, core::SeekOrigin::End);
    segment.Write(bytes.data(), bytes.size());
    pictures_.push_back(Location{static_cast<int>(segments_.size()) - 1, offset,
                                 static_cast<int64_t>(bytes.size())});
    if (!bytes.empty()) {
      by_hash_.emplace(std::hash<std::string_view>()(bytes), static_cast<int>(pictures_.size()) - 1);
    }
  }
}

size_t TfrxPictureCache::HeldBytes() const {
  size_t total = 0;
  for (const auto& segment : segments_) {
    if (auto* memory = dynamic_cast<const core::TMemoryStream*>(segment.get())) {
      total += memory->Bytes().capacity();
    }
  }
  return total + pictures_.size() * sizeof(Location);
}

}  // namespace lgoty::report
