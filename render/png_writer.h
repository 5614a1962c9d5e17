#pragma once
// Screenshot files: a PNG encoder (truecolour, one IDAT) with text chunks and an
// EXIF block, and the little-endian TIFF structure of that block.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorv {

struct ScreenshotMetadata {
  std::string software;
  std::string description;  // may hold several lines
};

// CRC-32 of a PNG chunk, over its four-byte type and its data.
std::uint32_t pngChunkCrc(std::string_view type, std::span<const std::uint8_t> data);

// EXIF block (TIFF, little-endian) with ImageDescription, Software, DateTime and
// UserComment in IFD0 and DateTimeOriginal/DateTimeDigitized in the Exif IFD.
std::vector<std::uint8_t> buildExif(const ScreenshotMetadata& metadata, const std::tm& localTime);
std::vector<std::uint8_t> buildExif(const ScreenshotMetadata& metadata);  // now

// Writes `pixels` (width × height × 4 bytes, RGBA, or BGRA when `swapRedBlue`) as
// an RGB PNG with metadata, then prints the "capture: ..." statistics line.
// Failures print a one-line reason to standard error; a file that could not be
// written completely is removed.
bool writePng(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
              const std::uint8_t* pixels, bool swapRedBlue, const ScreenshotMetadata& metadata,
              const std::tm& localTime);
bool writePng(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
              const std::uint8_t* pixels, bool swapRedBlue, const ScreenshotMetadata& metadata);  // now

}  // namespace zorv
