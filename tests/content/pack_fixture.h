#pragma once
// Builds resource packs on disk for the tests: folders, zip archives and images.

#include <stb_image_write.h>
#include <unistd.h>
#include <zip.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "scratch_folder.h"

namespace zorv::testing {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh folder per test, removed afterwards.
using TempFolder = ScratchFolder;

inline void writeBytes(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

inline void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<Bytes*>(context);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

// A PNG of one colour, or of `top` over the first `topRows` rows and `rest` below.
inline Bytes pngImage(int width, int height, std::uint32_t top, int topRows = -1, std::uint32_t rest = 0) {
  std::vector<std::uint8_t> pixels;
  for (int y = 0; y < height; ++y) {
    const std::uint32_t colour = (topRows < 0 || y < topRows) ? top : rest;
    for (int x = 0; x < width; ++x) {
      pixels.insert(pixels.end(), {static_cast<std::uint8_t>(colour >> 24), static_cast<std::uint8_t>(colour >> 16),
                                   static_cast<std::uint8_t>(colour >> 8), static_cast<std::uint8_t>(colour)});
    }
  }
  Bytes out;
  stbi_write_png_to_func(appendBytes, &out, width, height, 4, pixels.data(), width * 4);
  return out;
}

inline Bytes jpegImage(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  std::vector<std::uint8_t> pixels;
  for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {r, g, b});
  Bytes out;
  stbi_write_jpg_to_func(appendBytes, &out, width, height, 3, pixels.data(), 95);
  return out;
}

// A zip archive holding `entries` (name, bytes).
inline void writeZip(const fs::path& path, const std::vector<std::pair<std::string, Bytes>>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, bytes] : entries) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    ASSERT_NE(source, nullptr);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

}  // namespace zorv::testing
