// The object layer of the PDF writer read back byte by byte: every cross-reference entry
// points at its object's "N 0 obj", objects stand in the file in the order they were
// written (the writing thread keeps the order, however far the caller runs ahead), each
// stream's /Length is its stored size and the compressed data inflates to what was given.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "render/pdf_file.h"

namespace lgoty::render {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Inflate(std::string_view data) {
  std::string out(1 << 20, '\0');
  uLongf size = static_cast<uLongf>(out.size());
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size())) !=
      Z_OK) {
    return "<inflate failed>";
  }
  out.resize(size);
  return out;
}

// Object number -> offset, from the cross-reference table at startxref.
std::map<int, size_t> CrossReferences(const std::string& file) {
  std::map<int, size_t> out;
  const size_t start_at = file.rfind("startxref\n");
  if (start_at == std::string::npos) return out;
  const size_t xref = std::stoul(file.substr(start_at + 10));
  if (file.compare(xref, 5, "xref\n") != 0) return out;
  size_t at = file.find('\n', xref + 5) + 1;  // "0 N"
  at = file.find('\n', at) + 1;               // the free entry of object 0
  for (int id = 1; file.compare(at, 7, "trailer") != 0; ++id) {
    out[id] = std::stoul(file.substr(at, 10));
    at += 20;
  }
  return out;
}

TEST(PdfFile, QueuedObjectsLandInOrderWhereTheTableSaysWithTheirData) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("objects.pdf").toStdString();
  std::map<int, std::string> contents;
  {
    PdfFile file;
    ASSERT_TRUE(file.Open(path));
    const int root = file.Reserve(), info = file.Reserve();
    // Far more streams than the queue holds, some empty, some large and repetitive, some
    // given as a view (copied) and some handed over.
    for (int i = 0; i < 40; ++i) {
      const int id = file.Reserve();
      std::string data;
      for (int k = 0; k < (i % 7) * 900; ++k) data += "1 0 0 -1 " + std::to_string(k % 97) + " Tm\n";
      contents[id] = data;
      if (i % 2 == 0) {
        file.WriteStream(id, " /Index " + std::to_string(i), data);
      } else {
        file.WriteStream(id, " /Index " + std::to_string(i), std::move(data));
      }
    }
    const int plain = file.Reserve();
    file.WriteStream(plain, "", std::string_view("not compressed"), false);
    contents[plain] = "not compressed";
    // Written out of number order: the root refers to objects written before it.
    file.WriteObject(info, "<< /Producer (test) >>");
    file.WriteObject(root, "<< /Type /Catalog >>");
    EXPECT_FALSE(file.Failed());
    ASSERT_TRUE(file.Close(root, info));
  }
  const std::string bytes = ReadAll(path);
  const std::map<int, size_t> xref = CrossReferences(bytes);
  ASSERT_EQ(xref.size(), contents.size() + 2);
  size_t previous_stream = 0;
  for (const auto& [id, offset] : xref) {
    const std::string head = std::to_string(id) + " 0 obj\n";
    ASSERT_EQ(bytes.compare(offset, head.size(), head), 0) << "object " << id;
    auto it = contents.find(id);
    if (it == contents.end()) continue;
    // Streams were written in reservation order, so their offsets grow with their numbers.
    EXPECT_GT(offset, previous_stream) << "object " << id;
    previous_stream = offset;
    const size_t length_at = bytes.find("/Length ", offset) + 8;
    const size_t length = std::stoul(bytes.substr(length_at));
    const bool compressed = bytes.find("/FlateDecode", offset) < bytes.find("stream\n", offset);
    const size_t data_at = bytes.find(">>\nstream\n", offset) + 10;
    ASSERT_EQ(bytes.compare(data_at + length, 10, "\nendstream"), 0) << "object " << id;
    const std::string_view stored(bytes.data() + data_at, length);
    EXPECT_EQ(compressed ? Inflate(stored) : std::string(stored), it->second) << "object " << id;
  }
  EXPECT_NE(bytes.find("/Root 1 0 R /Info 2 0 R"), std::string::npos);
}

TEST(PdfFile, AnObjectReservedAndNeverWrittenFailsTheClose) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("missing.pdf").toStdString();
  PdfFile file;
  ASSERT_TRUE(file.Open(path));
  const int root = file.Reserve(), info = file.Reserve();
  file.Reserve();  // never written
  file.WriteObject(root, "<< /Type /Catalog >>");
  file.WriteObject(info, "<< >>");
  file.WriteObject(99, "<< >>");  // never reserved: ignored
  EXPECT_FALSE(file.Close(root, info));
}

}  // namespace
}  // namespace lgoty::render
