#pragma once
// Little-endian encoding of the fields of save files and datagrams, and a bounded reader
// that never reads or allocates past the bytes it was given.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zorv {

// Little-endian values at a byte address (the caller has checked the bounds).
inline std::uint16_t loadLittleU16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
inline std::uint32_t loadLittleU32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(loadLittleU16(at)) | static_cast<std::uint32_t>(loadLittleU16(at + 2)) << 16;
}

// Appends fields to a byte buffer.
struct ByteWriter {
  std::vector<std::uint8_t>& out;

  void u8(std::uint8_t value) { out.push_back(value); }
  void u16(std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
  }
  void u32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  void i16(std::int16_t value) { u16(static_cast<std::uint16_t>(value)); }
  void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
  void f32(float value) { u32(std::bit_cast<std::uint32_t>(value)); }
  void text(std::string_view bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
};

// Reads fields from a byte range. A read past the end yields 0 and clears `ok`, so a
// parser can read a whole record and check once.
struct ByteReader {
  std::span<const std::uint8_t> data;
  std::size_t position = 0;
  bool ok = true;

  std::size_t remaining() const { return data.size() - position; }
  // True when `count` records of `recordSize` bytes can still follow; checked before
  // anything is allocated for them.
  bool canHold(std::uint64_t count, std::size_t recordSize) const { return count <= remaining() / recordSize; }

  bool take(std::size_t size) {
    if (!ok || size > remaining()) {
      ok = false;
      return false;
    }
    position += size;
    return true;
  }
  std::uint8_t u8() { return take(1) ? data[position - 1] : 0; }
  std::uint16_t u16() {
    return take(2) ? loadLittleU16(&data[position - 2]) : 0;
  }
  std::uint32_t u32() {
    return take(4) ? loadLittleU32(&data[position - 4]) : 0;
  }
  std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  float f32() { return std::bit_cast<float>(u32()); }
  // True when the next bytes equal `expected` (which are consumed either way when present).
  bool matches(std::string_view expected) {
    if (!take(expected.size())) return false;
    return std::string_view(reinterpret_cast<const char*>(&data[position - expected.size()]), expected.size()) ==
           expected;
  }
};

}  // namespace zorv
