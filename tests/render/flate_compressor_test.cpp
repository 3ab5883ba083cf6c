// The stream compressor checked against an independent inflater (zlib's, which also checks
// the header and the Adler-32 checksum): inputs of every kind and size a PDF writer hands
// it, one compressor reused across them as the writer does.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "render/flate_compressor.h"

namespace lgoty::render {
namespace {

// Inflates a zlib stream whose inflated size is known; a failure text otherwise.
std::string Inflate(std::string_view data, size_t expected_size) {
  std::string out(expected_size + 16, '\0');
  uLongf size = static_cast<uLongf>(out.size());
  const int result =
      uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()));
  if (result != Z_OK) return "<inflate failed: " + std::to_string(result) + ">";
  out.resize(size);
  return out;
}

std::string PageLikeContent(size_t rows) {
  std::string out = "0.75 0 0 -0.75 0 842 cm\n0 0 0 rg\n";
  for (size_t i = 0; i < rows; ++i) {
    const std::string y = std::to_string(37.8 + static_cast<double>(i % 40) * 18.9);
    out += "BT\n1 0 0 -1 " + std::to_string(45 + i % 7) + " " + y + " Tm <03F0" +
           std::to_string(1000 + i * 37 % 9000) + "> Tj\nET\n";
    out += "75.6 " + y + " m 75.6 " + y + " l\nS\n";
  }
  return out;
}

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

TEST(FlateCompressor, EveryKindAndSizeOfInputInflatesBackToItself) {
  std::vector<std::pair<std::string, std::string>> inputs = {
      {"empty", ""},
      {"one byte", "x"},
      {"zero bytes", std::string(100000, '\0')},
      {"a page", PageLikeContent(400)},
      {"many pages", PageLikeContent(60000)},  // several megabytes, many deflate blocks
      {"random, small", RandomBytes(1000, 1)},
      // Does not compress: stored blocks, at and around their 64 KiB limit.
      {"random, one block", RandomBytes(65535, 2)},
      {"random, one block and a byte", RandomBytes(65536, 3)},
      {"random, large", RandomBytes(3 << 20, 4)},
  };
  // Text and noise by turns: blocks that compress and blocks that do not, in one stream.
  std::string mixed;
  for (uint32_t i = 0; i < 20; ++i) {
    mixed += PageLikeContent(50 + i * 10);
    mixed += RandomBytes(5000 + i * 3001, 100 + i);
  }
  inputs.emplace_back("mixed", mixed);
  FlateCompressor compressor;
  // Each input twice, and large before small, as a file's streams come.
  for (int round = 0; round < 2; ++round) {
    for (const auto& [name, input] : inputs) {
      ASSERT_TRUE(compressor.Compress(input)) << name;
      const std::string_view result = compressor.Result();
      EXPECT_LE(result.size(), FlateCompressor::Bound(input.size())) << name;
      EXPECT_EQ(Inflate(result, input.size()), input) << name;
    }
  }
  // Text shrinks a great deal; noise grows by no more than the stored blocks' headers.
  ASSERT_TRUE(compressor.Compress(inputs[3].second));
  EXPECT_LT(compressor.Result().size(), inputs[3].second.size() / 4);
  ASSERT_TRUE(compressor.Compress(inputs.back().second));
  EXPECT_LT(compressor.Result().size(), inputs.back().second.size());
}

// Leaves value in every 16-bit word of a stretch of the stack below the caller, where the
// next call from the same place has its locals.
__attribute__((noinline)) void FillStack(uint16_t value) {
  volatile uint16_t words[128 * 1024];
  for (size_t i = 0; i < sizeof words / sizeof words[0]; ++i) words[i] = value;
}

__attribute__((noinline)) std::string CompressAfterStackHeld(FlateCompressor& compressor,
                                                             std::string_view input,
                                                             uint16_t value) {
  FillStack(value);
  if (!compressor.Compress(input)) return "<failed>";
  return std::string(compressor.Result());
}

// The compressor's settings are all its own: the bytes do not depend on what the stack held
// before (a history window left to chance is narrower for some values and changes the
// matches, though the stream still inflates back).
TEST(FlateCompressor, TheBytesDoNotDependOnWhatTheStackHeld) {
  const std::string input = PageLikeContent(300);
  FlateCompressor compressor;
  const std::string clean = CompressAfterStackHeld(compressor, input, 0);
  ASSERT_EQ(Inflate(clean, input.size()), input);
  for (uint16_t value : {1, 5, 8, 9, 15, 0xFFFF}) {
    const std::string bytes = CompressAfterStackHeld(compressor, input, value);
    EXPECT_TRUE(bytes == clean) << value << ": " << bytes.size() << " bytes, not " << clean.size();
  }
}

}  // namespace
}  // namespace lgoty::render
