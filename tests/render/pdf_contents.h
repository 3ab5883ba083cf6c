#pragma once

#include <zlib.h>

#include <gtest/gtest.h>

#include <QFile>

#include <string>
#include <vector>

namespace lgoty::testing {

// The bytes of a file; empty when it cannot be read.
inline std::string ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// The inflated page contents of a PDF the canvas wrote, in page order: every compressed
// stream whose first line sets the page's matrix (" cm").
inline std::vector<std::string> InflatedPageContents(const std::string& file) {
  std::vector<std::string> pages;
  size_t at = 0;
  while ((at = file.find("/Length ", at)) != std::string::npos) {
    const size_t length = std::stoul(file.substr(at + 8));
    const size_t head_end = file.find(">>\nstream\n", at);
    const bool compressed = file.find("/FlateDecode", at) < head_end;
    at = head_end + 10;
    if (!compressed) continue;
    std::string out(8 << 20, '\0');
    uLongf size = static_cast<uLongf>(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                   reinterpret_cast<const Bytef*>(file.data() + at), length) != Z_OK) {
      ADD_FAILURE() << "a stream does not inflate";
      return pages;
    }
    out.resize(size);
    if (out.find(" cm\n") < out.find('\n') + 1) pages.push_back(out);
    at += length;
  }
  return pages;
}

}  // namespace lgoty::testing
