#include "render/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <unordered_set>

namespace zorv {

namespace {

constexpr std::uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

// TIFF keeps values of up to four bytes inside the directory entry itself.
constexpr std::uint32_t kInlineValueBytes = 4;

using Bytes = std::vector<std::uint8_t>;

void putBigEndian32(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void putLittleEndian16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void putLittleEndian32(Bytes& out, std::uint32_t v) {
  putLittleEndian16(out, static_cast<std::uint16_t>(v));
  putLittleEndian16(out, static_cast<std::uint16_t>(v >> 16));
}

void putText(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

void appendChunk(Bytes& file, std::string_view type, std::span<const std::uint8_t> data) {
  putBigEndian32(file, static_cast<std::uint32_t>(data.size()));
  putText(file, type);
  file.insert(file.end(), data.begin(), data.end());
  putBigEndian32(file, pngChunkCrc(type, data));
}

Bytes textChunkData(std::string_view keyword, std::string_view text) {
  Bytes data;
  putText(data, keyword);
  data.push_back(0);
  putText(data, text);
  return data;
}

std::string formatTime(const std::tm& time, const char* format) {
  char buffer[64];
  const std::size_t length = std::strftime(buffer, sizeof buffer, format, &time);
  return std::string(buffer, length);
}

std::tm localNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// One 12-byte directory entry. An ASCII value short enough to fit the value field
// is stored there, as TIFF readers expect; longer values are referenced by offset.
void putEntry(Bytes& out, std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t offset,
              std::string_view inlineText = {}) {
  putLittleEndian16(out, tag);
  putLittleEndian16(out, type);
  putLittleEndian32(out, count);
  if (type == 2 && count <= kInlineValueBytes) {
    Bytes value(kInlineValueBytes, 0);
    std::copy(inlineText.begin(), inlineText.end(), value.begin());
    out.insert(out.end(), value.begin(), value.end());
  } else {
    putLittleEndian32(out, offset);
  }
}

struct ColourStatistics {
  std::size_t distinctColours = 0;
  int lumaMin = 255;
  int lumaMax = 0;
};

// Filtered scanlines (filter None, RGB) of the image, gathering the statistics
// on the way: luma of every pixel, colours of every 17th diagonal.
Bytes scanlines(std::uint32_t width, std::uint32_t height, const std::uint8_t* pixels, bool swapRedBlue,
                ColourStatistics& statistics) {
  const std::size_t rowBytes = 1 + std::size_t{width} * 3;
  Bytes rows(rowBytes * height);
  std::unordered_set<std::uint32_t> colours;
  const std::size_t red = swapRedBlue ? 2 : 0, blue = swapRedBlue ? 0 : 2;
  for (std::uint32_t y = 0; y < height; ++y) {
    std::uint8_t* out = &rows[rowBytes * y];
    *out++ = 0;
    const std::uint8_t* in = pixels + std::size_t{y} * width * 4;
    for (std::uint32_t x = 0; x < width; ++x, in += 4) {
      const std::uint8_t r = in[red], g = in[1], b = in[blue];
      *out++ = r;
      *out++ = g;
      *out++ = b;
      const int luma = (54 * r + 183 * g + 19 * b) >> 8;
      statistics.lumaMin = std::min(statistics.lumaMin, luma);
      statistics.lumaMax = std::max(statistics.lumaMax, luma);
      if ((std::uint64_t{x} + y) % 17 == 0) colours.insert(std::uint32_t{r} << 16 | std::uint32_t{g} << 8 | b);
    }
  }
  statistics.distinctColours = colours.size();
  return rows;
}

bool writeFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "capture: cannot open %s\n", path.c_str());
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !written) {
    std::fprintf(stderr, "capture: cannot write %s\n", path.c_str());
    // Drop the partial screenshot, but never a device or other special file.
    std::error_code ignored;
    if (std::filesystem::is_regular_file(path, ignored)) std::filesystem::remove(path, ignored);
    return false;
  }
  return true;
}

}  // namespace

std::uint32_t pngChunkCrc(std::string_view type, std::span<const std::uint8_t> data) {
  uLong crc = crc32_z(0, reinterpret_cast<const Bytef*>(type.data()), type.size());
  // zlib treats a null buffer as a request for the initial value, so skip empty data.
  if (!data.empty()) crc = crc32_z(crc, data.data(), data.size());
  return static_cast<std::uint32_t>(crc);
}

std::vector<std::uint8_t> buildExif(const ScreenshotMetadata& metadata, const std::tm& localTime) {
  const std::string software = metadata.software.empty() ? "Zorvander" : metadata.software;
  const std::string& description = metadata.description.empty() ? software : metadata.description;
  const std::string time = formatTime(localTime, "%Y:%m:%d %H:%M:%S");
  const auto d = static_cast<std::uint32_t>(description.size());
  const auto s = static_cast<std::uint32_t>(software.size());
  const auto t = static_cast<std::uint32_t>(time.size()) + 1;

  constexpr std::uint32_t kIfd0 = 8, kExifIfd = 74, kDescriptionAt = 104;
  const std::uint32_t softwareAt = kDescriptionAt + d + 1;
  const std::uint32_t timeAt = softwareAt + s + 1;
  const std::uint32_t commentAt = timeAt + t;

  Bytes out;
  putText(out, "II");
  putLittleEndian16(out, 42);
  putLittleEndian32(out, kIfd0);

  putLittleEndian16(out, 5);
  putEntry(out, 0x010E, 2, d + 1, kDescriptionAt, description);
  putEntry(out, 0x0131, 2, s + 1, softwareAt, software);
  putEntry(out, 0x0132, 2, t, timeAt);
  putEntry(out, 0x8769, 4, 1, kExifIfd);
  putEntry(out, 0x9286, 7, d + 8, commentAt);
  putLittleEndian32(out, 0);

  putLittleEndian16(out, 2);
  putEntry(out, 0x9003, 2, t, timeAt);
  putEntry(out, 0x9004, 2, t, timeAt);
  putLittleEndian32(out, 0);

  for (std::string_view text : {std::string_view(description), std::string_view(software), std::string_view(time)}) {
    putText(out, text);
    out.push_back(0);
  }
  putText(out, std::string_view("ASCII\0\0\0", 8));
  putText(out, description);
  return out;
}

std::vector<std::uint8_t> buildExif(const ScreenshotMetadata& metadata) { return buildExif(metadata, localNow()); }

bool writePng(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
              const std::uint8_t* pixels, bool swapRedBlue, const ScreenshotMetadata& metadata,
              const std::tm& localTime) {
  // PNG allows 1 to 2^31 - 1 pixels per side.
  constexpr std::uint32_t kMaxSide = 0x7FFFFFFFu;
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide || pixels == nullptr) {
    std::fprintf(stderr, "capture: invalid image size for %s\n", path.c_str());
    return false;
  }
  ColourStatistics statistics;
  const Bytes rows = scanlines(width, height, pixels, swapRedBlue, statistics);

  uLongf compressedSize = compressBound(rows.size());
  Bytes compressed(compressedSize);
  if (compress2(compressed.data(), &compressedSize, rows.data(), rows.size(), Z_DEFAULT_COMPRESSION) != Z_OK ||
      compressedSize > kMaxSide) {
    std::fprintf(stderr, "capture: PNG compression failed for %s\n", path.c_str());
    return false;
  }
  compressed.resize(compressedSize);

  Bytes header;
  putBigEndian32(header, width);
  putBigEndian32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit truecolour, deflate, no filter set, no interlace

  Bytes file(std::begin(kPngSignature), std::end(kPngSignature));
  appendChunk(file, "IHDR", header);
  appendChunk(file, "tEXt", textChunkData("Description", metadata.description));
  appendChunk(file, "tEXt", textChunkData("Software", metadata.software));
  appendChunk(file, "tEXt", textChunkData("Creation Time", formatTime(localTime, "%Y-%m-%dT%H:%M:%S")));
  appendChunk(file, "eXIf", buildExif(metadata, localTime));
  appendChunk(file, "IDAT", compressed);
  appendChunk(file, "IEND", {});

  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
  if (!writeFile(path, file)) return false;
  std::printf("capture: %s (%ux%u, colors=%zu, luma %d..%d)\n", path.c_str(), width, height,
              statistics.distinctColours, statistics.lumaMin, statistics.lumaMax);
  return true;
}

bool writePng(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
              const std::uint8_t* pixels, bool swapRedBlue, const ScreenshotMetadata& metadata) {
  return writePng(path, width, height, pixels, swapRedBlue, metadata, localNow());
}

}  // namespace zorv
