// TfrxPictureCache: the pictures of a prepared report, kept out of the page XML. Picture
// bytes are appended to segments (memory streams, or temporary files with
// PreviewOptions.PictureCacheInFile); a picture is addressed by its 1-based index through
// (segment, offset, size). A new segment starts once the current one holds more than
// kSegmentLimit bytes. Equal pictures are stored once and share an index.
//
// In a saved prepared report the cache is the element
//   <picturecache><item stream="89504E47..."/>...</picturecache>
// one item per index in order, the bytes as upper-case hexadecimal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/stream.h"

namespace lgoty::core {
class TfrxXMLItem;
}

namespace lgoty::report {

class TfrxPictureCache {
 public:
  static constexpr int64_t kSegmentLimit = 1789569705;

  TfrxPictureCache() = default;
  TfrxPictureCache(const TfrxPictureCache&) = delete;
  TfrxPictureCache& operator=(const TfrxPictureCache&) = delete;

  // Where new segments go: temporary files in temp_dir (the system's temporary folder when
  // it is empty or missing), or memory.
  void SetInFile(bool in_file, std::string temp_dir);
  // The 1-based index of the picture; 0 for empty data.
  int Add(std::string_view bytes);
  // The picture's bytes; empty for an index out of range.
  std::string Get(int index) const;
  int Count() const { return static_cast<int>(pictures_.size()); }
  // Drops every picture and deletes the temporary files.
  void Clear();

  // Appends the picture items to item (which is emptied first).
  void SaveToXML(core::TfrxXMLItem* item) const;
  // Replaces the cache by the items of item. A "stream" value that is not hexadecimal
  // gives an empty picture at that index, so the indexes of the others hold.
  void LoadFromXML(const core::TfrxXMLItem* item);

  // Bytes of picture data held in memory (file segments count nothing).
  size_t HeldBytes() const;

 private:
  struct Location {
    int segment;
    int64_t offset;
    int64_t size;
  };
  core::TStream& CurrentSegment(int64_t incoming);

  bool in_file_ = false;
  std::string temp_dir_;
  std::vector<std::unique_ptr<core::TStream>> segments_;
  std::vector<Location> pictures_;
  std::unordered_multimap<size_t, int> by_hash_;  // hash of the bytes -> 0-based index
};

}  // namespace lgoty::report
