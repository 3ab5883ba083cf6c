// The object layer of a PDF file: numbered objects written one after another to the file,
// streams compressed with Flate, and the cross-reference table and trailer at the end.
// Objects may be written in any order; an object number is reserved first (Reserve) when
// another object must refer to it before it is written (a page to its parent, the pages
// to a resource dictionary written last).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lgoty::render {

class PdfFile {
 public:
  PdfFile();
  ~PdfFile();
  PdfFile(const PdfFile&) = delete;
  PdfFile& operator=(const PdfFile&) = delete;

  // Creates (truncates) the file and writes the header; false when it cannot be created.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  // True once a write has failed (a full disk); the file is then worthless.
  bool Failed() const { return failed_; }

  // A new object number, to be written later with WriteObject or WriteStream.
  int Reserve();
  // Writes "N 0 obj <body> endobj".
  void WriteObject(int id, std::string_view body);
  // Writes a stream object: dictionary entries (without the << >>, without /Length and
  // /Filter) and the data, compressed unless compress is false.
  void WriteStream(int id, std::string_view dictionary, std::string_view data,
                   bool compress = true);
  // Writes the cross-reference table and the trailer (root and info objects) and closes
  // the file; false when any write failed or an object was reserved and never written.
  bool Close(int root_id, int info_id);

 private:
  void Write(std::string_view bytes);
  // Compresses data into compressed_; false when the compressor fails.
  bool Deflate(std::string_view data);

  struct Deflater;
  std::unique_ptr<Deflater> deflater_;

  FILE* file_ = nullptr;
  std::vector<char> buffer_;
  uint64_t offset_ = 0;
  std::vector<uint64_t> offsets_;  // by object number - 1; 0 while not written
  std::string compressed_;
  bool failed_ = false;
};

// A number as PDF writes it: at most `decimals` places, trailing zeros dropped.
void AppendNumber(std::string& out, double value, int decimals = 2);

}  // namespace lgoty::render
