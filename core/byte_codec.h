// Fixed-width integers and doubles in files and byte strings: little-endian (DBF data and
// dBASE memo files, index files, binary property data, bookmarks) and big-endian (FoxPro memo
// headers, level-7 integer fields).
//
// Every multi-byte number the program stores or reads from bytes goes through these
// functions; nothing else reinterprets bytes or copies structs to disk.
//
// Two forms of each function:
//   - over a raw pointer (`const std::byte*` / `std::byte*`): the caller guarantees that the
//     width bytes exist (used on hot record paths after one range check of the record);
//   - over a span and an offset: checks offset + width <= size with an assert. Both sides are
//     our own buffers whose sizes were validated when the file was read, so a failing check
//     is a bug in the engine, never bad input.
#pragma once

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>

namespace lgoty::core {

// ---- raw pointer forms ----------------------------------------------------------------------

inline uint8_t GetU8(const std::byte* p) { return static_cast<uint8_t>(p[0]); }
inline void PutU8(std::byte* p, uint8_t v) { p[0] = static_cast<std::byte>(v); }

inline uint16_t GetU16LE(const std::byte* p) {
  return static_cast<uint16_t>(static_cast<uint16_t>(p[0]) |
                               (static_cast<uint16_t>(p[1]) << 8));
}
inline uint32_t GetU32LE(const std::byte* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t GetU64LE(const std::byte* p) {
  return static_cast<uint64_t>(GetU32LE(p)) | (static_cast<uint64_t>(GetU32LE(p + 4)) << 32);
}
inline int32_t GetI32LE(const std::byte* p) { return static_cast<int32_t>(GetU32LE(p)); }
inline int64_t GetI64LE(const std::byte* p) { return static_cast<int64_t>(GetU64LE(p)); }
inline double GetDoubleLE(const std::byte* p) { return std::bit_cast<double>(GetU64LE(p)); }

inline uint16_t GetU16BE(const std::byte* p) {
  return static_cast<uint16_t>((static_cast<uint16_t>(p[0]) << 8) |
                               static_cast<uint16_t>(p[1]));
}
inline uint32_t GetU32BE(const std::byte* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline uint64_t GetU64BE(const std::byte* p) {
  return (static_cast<uint64_t>(GetU32BE(p)) << 32) | static_cast<uint64_t>(GetU32BE(p + 4));
}
inline int32_t GetI32BE(const std::byte* p) { return static_cast<int32_t>(GetU32BE(p)); }

inline void PutU16LE(std::byte* p, uint16_t v) {
  p[0] = static_cast<std::byte>(v & 0xFF);
  p[1] = static_cast<std::byte>(v >> 8);
}
inline void PutU32LE(std::byte* p, uint32_t v) {
  p[0] = static_cast<std::byte>(v & 0xFF);
  p[1] = static_cast<std::byte>((v >> 8) & 0xFF);
  p[2] = static_cast<std::byte>((v >> 16) & 0xFF);
  p[3] = static_cast<std::byte>(v >> 24);
}
inline void PutU64LE(std::byte* p, uint64_t v) {
  PutU32LE(p, static_cast<uint32_t>(v & 0xFFFF'FFFFu));
  PutU32LE(p + 4, static_cast<uint32_t>(v >> 32));
}
inline void PutI32LE(std::byte* p, int32_t v) { PutU32LE(p, static_cast<uint32_t>(v)); }
inline void PutI64LE(std::byte* p, int64_t v) { PutU64LE(p, static_cast<uint64_t>(v)); }
inline void PutDoubleLE(std::byte* p, double v) { PutU64LE(p, std::bit_cast<uint64_t>(v)); }

inline void PutU16BE(std::byte* p, uint16_t v) {
  p[0] = static_cast<std::byte>(v >> 8);
  p[1] = static_cast<std::byte>(v & 0xFF);
}
inline void PutU32BE(std::byte* p, uint32_t v) {
  p[0] = static_cast<std::byte>(v >> 24);
  p[1] = static_cast<std::byte>((v >> 16) & 0xFF);
  p[2] = static_cast<std::byte>((v >> 8) & 0xFF);
  p[3] = static_cast<std::byte>(v & 0xFF);
}
inline void PutU64BE(std::byte* p, uint64_t v) {
  PutU32BE(p, static_cast<uint32_t>(v >> 32));
  PutU32BE(p + 4, static_cast<uint32_t>(v & 0xFFFF'FFFFu));
}
inline void PutI32BE(std::byte* p, int32_t v) { PutU32BE(p, static_cast<uint32_t>(v)); }

// An unsigned number of `width` bytes (1 to 8), little-endian.
inline uint64_t GetUnsignedLE(const std::byte* p, size_t width) {
  assert(width >= 1 && width <= 8);
  uint64_t v = 0;
  for (size_t i = width; i-- > 0;) v = (v << 8) | static_cast<uint8_t>(p[i]);
  return v;
}
inline void PutUnsignedLE(std::byte* p, size_t width, uint64_t v) {
  assert(width >= 1 && width <= 8);
  for (size_t i = 0; i < width; ++i, v >>= 8) p[i] = static_cast<std::byte>(v & 0xFF);
}

// ---- span + offset forms --------------------------------------------------------------------

namespace codec_detail {
inline const std::byte* At(std::span<const std::byte> s, size_t offset, size_t width) {
  assert(offset <= s.size() && width <= s.size() - offset);
  (void)width;
  return s.data() + offset;
}
inline std::byte* At(std::span<std::byte> s, size_t offset, size_t width) {
  assert(offset <= s.size() && width <= s.size() - offset);
  (void)width;
  return s.data() + offset;
}
}  // namespace codec_detail

inline uint8_t GetU8(std::span<const std::byte> s, size_t o) {
  return GetU8(codec_detail::At(s, o, 1));
}
inline uint16_t GetU16LE(std::span<const std::byte> s, size_t o) {
  return GetU16LE(codec_detail::At(s, o, 2));
}
inline uint32_t GetU32LE(std::span<const std::byte> s, size_t o) {
  return GetU32LE(codec_detail::At(s, o, 4));
}
inline int32_t GetI32LE(std::span<const std::byte> s, size_t o) {
  return GetI32LE(codec_detail::At(s, o, 4));
}
inline int64_t GetI64LE(std::span<const std::byte> s, size_t o) {
  return GetI64LE(codec_detail::At(s, o, 8));
}
inline uint64_t GetU64LE(std::span<const std::byte> s, size_t o) {
  return GetU64LE(codec_detail::At(s, o, 8));
}
inline double GetDoubleLE(std::span<const std::byte> s, size_t o) {
  return GetDoubleLE(codec_detail::At(s, o, 8));
}
inline uint16_t GetU16BE(std::span<const std::byte> s, size_t o) {
  return GetU16BE(codec_detail::At(s, o, 2));
}
inline uint32_t GetU32BE(std::span<const std::byte> s, size_t o) {
  return GetU32BE(codec_detail::At(s, o, 4));
}
inline int32_t GetI32BE(std::span<const std::byte> s, size_t o) {
  return GetI32BE(codec_detail::At(s, o, 4));
}
inline uint64_t GetU64BE(std::span<const std::byte> s, size_t o) {
  return GetU64BE(codec_detail::At(s, o, 8));
}

inline void PutU8(std::span<std::byte> s, size_t o, uint8_t v) {
  PutU8(codec_detail::At(s, o, 1), v);
}
inline void PutU16LE(std::span<std::byte> s, size_t o, uint16_t v) {
  PutU16LE(codec_detail::At(s, o, 2), v);
}
inline void PutU32LE(std::span<std::byte> s, size_t o, uint32_t v) {
  PutU32LE(codec_detail::At(s, o, 4), v);
}
inline void PutI32LE(std::span<std::byte> s, size_t o, int32_t v) {
  PutI32LE(codec_detail::At(s, o, 4), v);
}
inline void PutI64LE(std::span<std::byte> s, size_t o, int64_t v) {
  PutI64LE(codec_detail::At(s, o, 8), v);
}
inline void PutU64LE(std::span<std::byte> s, size_t o, uint64_t v) {
  PutU64LE(codec_detail::At(s, o, 8), v);
}
inline void PutDoubleLE(std::span<std::byte> s, size_t o, double v) {
  PutDoubleLE(codec_detail::At(s, o, 8), v);
}
inline void PutU16BE(std::span<std::byte> s, size_t o, uint16_t v) {
  PutU16BE(codec_detail::At(s, o, 2), v);
}
inline void PutU32BE(std::span<std::byte> s, size_t o, uint32_t v) {
  PutU32BE(codec_detail::At(s, o, 4), v);
}
inline void PutI32BE(std::span<std::byte> s, size_t o, int32_t v) {
  PutI32BE(codec_detail::At(s, o, 4), v);
}
inline void PutU64BE(std::span<std::byte> s, size_t o, uint64_t v) {
  PutU64BE(codec_detail::At(s, o, 8), v);
}

}  // namespace lgoty::core
