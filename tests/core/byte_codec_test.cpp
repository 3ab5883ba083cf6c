#include <gtest/gtest.h>

#include <array>
#include <cstddef>

#include "core/byte_codec.h"

namespace lgoty::core {
namespace {

TEST(ByteCodec, NumbersOfAnyWidthKeepTheirByteOrder) {
  std::array<std::byte, 8> bytes{};
  PutUnsignedLE(bytes.data(), 3, 0xA1B2C3u);
  EXPECT_EQ(bytes[0], std::byte{0xC3});
  EXPECT_EQ(bytes[2], std::byte{0xA1});
  EXPECT_EQ(bytes[3], std::byte{0});  // nothing past the width
  EXPECT_EQ(GetUnsignedLE(bytes.data(), 3), 0xA1B2C3u);
  EXPECT_EQ(GetUnsignedLE(bytes.data(), 2), 0xB2C3u);
  PutUnsignedLE(bytes.data(), 8, 0xFFEEDDCCBBAA9988ull);
  EXPECT_EQ(GetU64LE(bytes.data()), 0xFFEEDDCCBBAA9988ull);
  EXPECT_EQ(GetU32BE(bytes.data()), 0x8899AABBu);
  PutI32LE(bytes.data(), -2);
  EXPECT_EQ(GetI32LE(bytes.data()), -2);
  EXPECT_EQ(GetU16LE(bytes.data()), 0xFFFEu);
}

}  // namespace
}  // namespace lgoty::core
