#include "render/pdf_file.h"

#include <zlib.h>

#include <charconv>
#include <cmath>

namespace lgoty::render {

PdfFile::~PdfFile() {
  if (file_) std::fclose(file_);
}

bool PdfFile::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return false;
  buffer_.resize(1 << 20);
  std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
  // The binary comment tells transfer programs that the file is not plain text.
  Write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
  return true;
}

void PdfFile::Write(std::string_view bytes) {
  if (!file_ || failed_) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
  offset_ += bytes.size();
}

int PdfFile::Reserve() {
  offsets_.push_back(0);
  return static_cast<int>(offsets_.size());
}

void PdfFile::WriteObject(int id, std::string_view body) {
  if (id < 1 || id > static_cast<int>(offsets_.size())) return;
  offsets_[static_cast<size_t>(id - 1)] = offset_;
  Write(std::to_string(id));
  Write(" 0 obj\n");
  Write(body);
  Write("\nendobj\n");
}

void PdfFile::WriteStream(int id, std::string_view dictionary, std::string_view data,
                          bool compress) {
  if (id < 1 || id > static_cast<int>(offsets_.size())) return;
  std::string_view body = data;
  if (compress) {
    // Level 1: page contents are repetitive and compress well even at the fastest level,
    // and a long report spends more time compressing than drawing at higher levels.
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    compressed_.resize(size);
    if (compress2(reinterpret_cast<Bytef*>(compressed_.data()), &size,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  1) != Z_OK) {
      compress = false;
    } else {
      body = std::string_view(compressed_.data(), size);
    }
  }
  offsets_[static_cast<size_t>(id - 1)] = offset_;
  std::string head = std::to_string(id) + " 0 obj\n<<";
  head += dictionary;
  head += " /Length " + std::to_string(body.size());
  if (compress) head += " /Filter /FlateDecode";
  head += ">>\nstream\n";
  Write(head);
  Write(body);
  Write("\nendstream\nendobj\n");
}

bool PdfFile::Close(int root_id, int info_id) {
  if (!file_) return false;
  const uint64_t xref = offset_;
  std::string table = "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n";
  table += "0000000000 65535 f \n";
  char line[24];
  bool missing = false;
  for (uint64_t at : offsets_) {
    if (at == 0) missing = true;
    std::snprintf(line, sizeof line, "%010llu 00000 n \n", static_cast<unsigned long long>(at));
    table += line;
  }
  table += "trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " +
           std::to_string(root_id) + " 0 R /Info " + std::to_string(info_id) +
           " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  Write(table);
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_ && !missing;
}

void AppendNumber(std::string& out, double value, int decimals) {
  if (!std::isfinite(value)) value = 0;
  char text[64];
  auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                                    decimals);
  if (error != std::errc()) {
    out += '0';
    return;
  }
  char* last = end;
  if (decimals > 0) {
    while (last > text && last[-1] == '0') --last;
    if (last > text && last[-1] == '.') --last;
  }
  std::string_view number(text, static_cast<size_t>(last - text));
  if (number == "-0" || number.empty()) number = "0";
  out += number;
}

}  // namespace lgoty::render
