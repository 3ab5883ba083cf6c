// The stream compressor checked against an independent inflater (zlib's, which also checks
// the header and the Adler-32 checksum): inputs of every kind and size a PDF writer hands
// it, one compressor reused across them as the writer does.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
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

// Compresses input with a compressor of its own on a thread whose stack is [stack, stack +
// size); a failure text when no thread could be started there.
std::string CompressOnStack(std::string_view input, char* stack, size_t size) {
  struct Job {
    std::string_view input;
    std::string bytes;
  } job{input, "<no thread>"};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstack(&attributes, stack, size);
  pthread_t thread;
  auto run = [](void* argument) -> void* {
    auto* job = static_cast<Job*>(argument);
    FlateCompressor compressor;
    job->bytes = compressor.Compress(job->input) ? std::string(compressor.Result()) : "<failed>";
    return nullptr;
  };
  if (pthread_create(&thread, &attributes, run, &job) == 0) pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
  return job.bytes;
}

// Two files written by two threads hold the same bytes for the same content: the library
// makes other bytes of some inputs when its state lies in some stretches of memory (about one
// 64 KiB stretch in a hundred for this input), which a state on the writing thread's stack
// met now and then. Threads with their stacks in every 64 KiB stretch of a large area.
TEST(FlateCompressor, TheBytesDoNotDependOnTheThreadOrWhereItsStackLies) {
  const std::string input = "0.75 0 0 -0.75 0 842 cm\n0.75 0 0 -0.75 0 842 cm\n";
  FlateCompressor compressor;
  ASSERT_TRUE(compressor.Compress(input));
  const std::string expected(compressor.Result());
  ASSERT_EQ(Inflate(expected, input.size()), input);
  constexpr size_t kArea = size_t{256} << 20, kStack = size_t{256} << 10, kStep = size_t{64} << 10;
  void* area = mmap(nullptr, kArea, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(area, MAP_FAILED);
  char* base = static_cast<char*>(area);
  int differing = 0, threads = 0;
  for (size_t at = 0; at + kStack <= kArea; at += kStep) {
    const std::string bytes = CompressOnStack(input, base + at, kStack);
    ++threads;
    if (bytes != expected) ++differing;
    madvise(base + at, kStack, MADV_DONTNEED);  // the area is touched a stack at a time
  }
  munmap(area, kArea);
  EXPECT_EQ(differing, 0) << "of " << threads << " threads";
}

}  // namespace
}  // namespace lgoty::render
