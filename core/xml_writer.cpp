#include "core/xml_io.h"

namespace lgoty::core {
namespace {

constexpr std::string_view kHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
constexpr std::string_view kSwapMark = " ld=\"0\"";

}  // namespace

TfrxXMLWriter::TfrxXMLWriter(TStream& stream, TfrxXMLDocument* document, bool auto_indent)
    : stream_(stream), document_(document), auto_indent_(auto_indent) {
  buffer_.reserve(2 * kBufferSize);
}

TfrxXMLWriter::~TfrxXMLWriter() = default;

void TfrxXMLWriter::Put(std::string_view text) {
  buffer_.append(text);
  if (buffer_.size() > kBufferSize) Flush();
}

void TfrxXMLWriter::Flush() {
  if (buffer_.empty()) return;
  stream_.Write(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void TfrxXMLWriter::EndLine() {
  if (auto_indent_) Put("\r\n");
}

void TfrxXMLWriter::WriteHeader() {
  Put(kHeader);
  EndLine();
}

void TfrxXMLWriter::WriteItem(TfrxXMLItem* item, int depth) {
  bool swapped = item->Unloadable() && !item->Loaded() && document_ != nullptr;
  if (swapped) document_->SwapIn(item);

  std::string indent = auto_indent_ ? std::string(2 * static_cast<size_t>(depth), ' ') : "";
  std::string head;
  head.reserve(item->Name().size() + item->Text().size() + 16);
  head += '<';
  head += item->Name();
  if (!item->Text().empty()) {
    if (item->Text()[0] != ' ') head += ' ';
    head += item->Text();
  }
  if (item->Unloadable()) head += kSwapMark;

  Put(indent);
  if (item->Count() > 0) {
    head += '>';
    Put(head);
    EndLine();
    for (int i = 0; i < item->Count(); ++i) WriteItem(item->Items(i), depth + 1);
    Put(indent);
    Put("</");
    Put(item->Name());
    Put(">");
  } else if (!item->Value().empty()) {
    head += '>';
    Put(head);
    Put(StrToXML(item->Value()));
    Put("</");
    Put(item->Name());
    Put(">");
  } else {
    head += "/>";
    Put(head);
  }
  EndLine();

  if (swapped) {
    // The item is still in the temporary file at its offset; drop the copy again.
    item->Clear();
    item->loaded_ = false;
  }
}

}  // namespace lgoty::core
