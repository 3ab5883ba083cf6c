// Reader and writer of the template XML dialect (rules in core/xml_document.h). Both work
// through 4096-byte buffers; the document classes use them, and so does anything that needs
// to read one element from the middle of a stream (swapped-out items).
#pragma once

#include <cstdint>
#include <string>

#include "core/stream.h"
#include "core/xml_document.h"

namespace lgoty::core {

class TfrxXMLReader {
 public:
  static constexpr size_t kBufferSize = 4096;
  // Elements nested deeper than this are refused as malformed: no template or prepared
  // report comes near it, and it keeps every tree walk's recursion bounded.
  static constexpr int kMaxDepth = 512;

  // Reads from the stream's current position.
  explicit TfrxXMLReader(TStream& stream);
  // Puts the stream's position back to the byte after the last one read.
  ~TfrxXMLReader();
  TfrxXMLReader(const TfrxXMLReader&) = delete;
  TfrxXMLReader& operator=(const TfrxXMLReader&) = delete;

  // Reads the "<?xml ...?>" header tag and returns OldVersion.
  bool ReadHeader();
  // Reads the next element with all its children into item (Name, Text, children). When
  // the stream holds no further tag the item is left untouched. With allow_swapping an
  // element marked ld="0" keeps no children and is left unloaded.
  void ReadItem(TfrxXMLItem* item, bool allow_swapping);
  // Stream offset of the next unread byte.
  int64_t Position() const { return buffer_start_ + static_cast<int64_t>(buffer_pos_); }

 private:
  bool GetChar(char& c);
  bool Fill();
  // Reads the next tag (comments skipped) into tag_; false at the end of the stream outside
  // a tag. tag_start_ is the offset of its '<'.
  bool NextTag();
  void SkipComment();
  void SplitTag(std::string& name, std::string& text);

  TStream& stream_;
  char buffer_[kBufferSize];
  size_t buffer_len_ = 0;
  size_t buffer_pos_ = 0;
  int64_t buffer_start_ = 0;  // stream offset of buffer_[0]
  bool eof_ = false;
  std::string tag_;
  int64_t tag_start_ = 0;
};

class TfrxXMLWriter {
 public:
  static constexpr size_t kBufferSize = 4096;

  // document may be null; it is needed to write items that are swapped out.
  TfrxXMLWriter(TStream& stream, TfrxXMLDocument* document, bool auto_indent);
  ~TfrxXMLWriter();
  TfrxXMLWriter(const TfrxXMLWriter&) = delete;
  TfrxXMLWriter& operator=(const TfrxXMLWriter&) = delete;

  void WriteHeader();
  void WriteItem(TfrxXMLItem* item, int depth = 0);
  void Flush();

 private:
  void Put(std::string_view text);
  void EndLine();

  TStream& stream_;
  TfrxXMLDocument* document_;
  bool auto_indent_;
  std::string buffer_;
};

}  // namespace lgoty::core
