#pragma once
// Helpers of the persistence tests: a private saves folder per test, and a byte builder
// that assembles file layouts by hand, independently of the writers under test.

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <memory>

#include "scratch_folder.h"
#include <stdlib.h>

#include "persist/level_save.h"

namespace zorv::test {

class SavesFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch = std::make_unique<zorv::testing::ScratchFolder>("persist");
    root = scratch->path();
    setSavesRoot(root / "saves");
  }
  void TearDown() override {
    setSavesRoot({});
    scratch.reset();
  }
  std::unique_ptr<zorv::testing::ScratchFolder> scratch;
  std::filesystem::path root;
};

// Little-endian fields appended one by one, as a file's table lists them.
struct Bytes {
  std::vector<std::uint8_t> data;

  Bytes& text(std::string_view s) {
    data.insert(data.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& u8(unsigned v) {
    data.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  Bytes& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
  Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Bytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
  Bytes& f32(float v) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
  }
};

}  // namespace zorv::test
