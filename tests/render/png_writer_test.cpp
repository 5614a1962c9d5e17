#include "render/png_writer.h"

#include <stb_image.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

#include "scratch_folder.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class PngWriter : public ::testing::Test {
 protected:
  const testing::ScratchFolder scratch_{"png"};
  const fs::path folder_ = scratch_.path();
};

std::tm fixedTime() {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 9;  // October
  t.tm_mday = 18;
  t.tm_hour = 7;
  t.tm_min = 5;
  t.tm_sec = 9;
  return t;
}

Bytes readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::uint32_t be32(const Bytes& b, std::size_t at) {
  return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}
std::uint16_t le16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8); }
std::uint32_t le32(const Bytes& b, std::size_t at) { return le16(b, at) | std::uint32_t{le16(b, at + 2)} << 16; }

struct Chunk {
  std::string type;
  Bytes data;
};

// Walks the file independently of the writer: signature, lengths and every CRC.
std::vector<Chunk> walkChunks(const Bytes& file) {
  const Bytes signature{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  EXPECT_TRUE(file.size() >= 8 && std::equal(signature.begin(), signature.end(), file.begin()));
  std::vector<Chunk> chunks;
  std::size_t at = 8;
  while (at + 12 <= file.size()) {
    const std::uint32_t length = be32(file, at);
    EXPECT_LE(at + 12 + length, file.size());
    if (at + 12 + length > file.size()) break;
    Chunk chunk{std::string(file.begin() + static_cast<std::ptrdiff_t>(at + 4), file.begin() + static_cast<std::ptrdiff_t>(at + 8)),
                Bytes(file.begin() + static_cast<std::ptrdiff_t>(at + 8), file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length))};
    const uLong crc = crc32(0, &file[at + 4], 4 + length);
    EXPECT_EQ(be32(file, at + 8 + length), crc) << "CRC of " << chunk.type;
    chunks.push_back(std::move(chunk));
    at += 12 + length;
  }
  EXPECT_EQ(at, file.size());
  return chunks;
}

std::string text(const Bytes& bytes, std::size_t from = 0, std::size_t count = std::string::npos) {
  count = std::min(count, bytes.size() - from);
  return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// A 7 × 5 image whose every pixel differs.
Bytes testPixels(int width, int height, bool bgra) {
  Bytes pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto r = static_cast<std::uint8_t>(x * 30 + 5), g = static_cast<std::uint8_t>(y * 50 + 7),
                 b = static_cast<std::uint8_t>(x * y * 9 + 11);
      if (bgra) {
        pixels.insert(pixels.end(), {b, g, r, 77});
      } else {
        pixels.insert(pixels.end(), {r, g, b, 77});
      }
    }
  return pixels;
}

TEST_F(PngWriter, RgbaAndBgraSourcesDecodeToTheSamePixels) {
  const ScreenshotMetadata meta{"Zorvander 0.1.0", "line one\nline two"};
  for (bool bgra : {false, true}) {
    const fs::path path = folder_ / (bgra ? "bgra.png" : "rgba.png");
    const Bytes source = testPixels(7, 5, bgra);
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(writePng(path, 7, 5, source.data(), bgra, meta, fixedTime()));
    ::testing::internal::GetCapturedStdout();
    int w = 0, h = 0, channels = 0;
    stbi_uc* decoded = stbi_load(path.c_str(), &w, &h, &channels, 3);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 5);
    EXPECT_EQ(channels, 3);  // truecolour, alpha dropped
    const Bytes expected = testPixels(7, 5, false);
    for (int i = 0; i < 35; ++i)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(decoded[i * 3 + c], expected[static_cast<std::size_t>(i * 4 + c)]) << i;
    stbi_image_free(decoded);
  }
}

TEST_F(PngWriter, ChunkSequenceTextsAndImageData) {
  const fs::path path = folder_ / "shot.png";
  const Bytes source = testPixels(7, 5, false);
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(writePng(path, 7, 5, source.data(), false, {"Zorvander 0.1.0", "seed 20261018\nnoon"}, fixedTime()));
  ::testing::internal::GetCapturedStdout();
  const std::vector<Chunk> chunks = walkChunks(readFile(path));
  ASSERT_EQ(chunks.size(), 7u);
  std::vector<std::string> got;
  for (const Chunk& c : chunks) got.push_back(c.type);
  EXPECT_EQ(got, (std::vector<std::string>{"IHDR", "tEXt", "tEXt", "tEXt", "eXIf", "IDAT", "IEND"}));
  EXPECT_EQ(chunks[0].data, (Bytes{0, 0, 0, 7, 0, 0, 0, 5, 8, 2, 0, 0, 0}));
  EXPECT_EQ(text(chunks[1].data), std::string("Description\0seed 20261018\nnoon", 30));
  EXPECT_EQ(text(chunks[2].data), std::string("Software\0Zorvander 0.1.0", 24));
  EXPECT_EQ(text(chunks[3].data), std::string("Creation Time\0" "2026-10-18T07:05:09", 33));
  EXPECT_EQ(chunks[4].data, buildExif({"Zorvander 0.1.0", "seed 20261018\nnoon"}, fixedTime()));
  EXPECT_TRUE(chunks[6].data.empty());

  // The image data: one zlib stream of filter-0 rows of R, G, B.
  uLongf rawSize = 5 * (1 + 7 * 3);
  Bytes raw(rawSize);
  ASSERT_EQ(uncompress(raw.data(), &rawSize, chunks[5].data.data(), chunks[5].data.size()), Z_OK);
  ASSERT_EQ(rawSize, 5u * 22u);
  for (std::size_t y = 0; y < 5; ++y) {
    EXPECT_EQ(raw[y * 22], 0);
    for (std::size_t x = 0; x < 7; ++x)
      for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(raw[y * 22 + 1 + x * 3 + c], source[(y * 7 + x) * 4 + c]);
  }
}

TEST_F(PngWriter, StatisticsLineSamplesEverySeventeenthDiagonal) {
  // Grey (luma 100) everywhere except the three sampled pixels (0,0), (17,0), (16,1) and
  // one white pixel that is not sampled but still counts for luma.
  Bytes pixels;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 18; ++x) pixels.insert(pixels.end(), {100, 100, 100, 255});
  auto set = [&](int x, int y, std::array<std::uint8_t, 3> c) {
    std::copy(c.begin(), c.end(), pixels.begin() + (y * 18 + x) * 4);
  };
  set(0, 0, {255, 0, 0});    // luma 54·255 >> 8 = 53
  set(17, 0, {0, 0, 255});   // luma 19·255 >> 8 = 18
  set(16, 1, {100, 100, 100});
  set(3, 1, {255, 255, 255});  // luma 255
  const fs::path path = folder_ / "stats.png";
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(writePng(path, 18, 2, pixels.data(), false, {"s", "d"}, fixedTime()));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "capture: " + path.string() + " (18x2, colors=3, luma 18..255)\n");
}

TEST_F(PngWriter, OneBlackPixel) {
  const fs::path path = folder_ / "black.png";
  const Bytes pixel{0, 0, 0, 255};
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(writePng(path, 1, 1, pixel.data(), true, {"Zorvander 0.1.0", ""}, fixedTime()));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "capture: " + path.string() + " (1x1, colors=1, luma 0..0)\n");
  const std::vector<Chunk> chunks = walkChunks(readFile(path));
  ASSERT_EQ(chunks.size(), 7u);
  EXPECT_EQ(text(chunks[1].data), std::string("Description\0", 12));  // empty in the text chunk
  EXPECT_EQ(chunks[6].type, "IEND");
  EXPECT_EQ(pngChunkCrc("IEND", {}), 0xAE426082u);  // the well-known CRC of every PNG's last chunk
}

TEST_F(PngWriter, CreatesFoldersAndReportsFilesItCannotWrite) {
  const Bytes pixel{1, 2, 3, 4};
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(writePng(folder_ / "a/b/c.png", 1, 1, pixel.data(), false, {}, fixedTime()));
  ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(fs::is_regular_file(folder_ / "a/b/c.png"));

  fs::create_directories(folder_ / "taken.png");  // a folder in the way
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(writePng(folder_ / "taken.png", 1, 1, pixel.data(), false, {}, fixedTime()));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "capture: cannot open " + (folder_ / "taken.png").string() + "\n");
}

TEST_F(PngWriter, ReadOnlyTargetIsReportedAndKept) {
  const Bytes pixel{1, 2, 3, 4};
  const fs::path readOnly = folder_ / "readonly.png";
  std::ofstream(readOnly) << "keep";
  fs::permissions(readOnly, fs::perms::owner_read);
  if (::access(readOnly.c_str(), W_OK) == 0) GTEST_SKIP() << "running with rights that ignore file permissions";
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(writePng(readOnly, 1, 1, pixel.data(), false, {}, fixedTime()));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "capture: cannot open " + readOnly.string() + "\n");
  EXPECT_EQ(readFile(readOnly), (Bytes{'k', 'e', 'e', 'p'}));
}

TEST_F(PngWriter, WriteErrorsAreFailuresNotSuccesses) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const Bytes pixel{1, 2, 3, 4};
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(writePng("/dev/full", 1, 1, pixel.data(), false, {}, fixedTime()));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "capture: cannot write /dev/full\n");
  EXPECT_TRUE(fs::is_character_file("/dev/full"));  // reported, and the device left alone
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(writePng(folder_ / "empty.png", 0, 4, pixel.data(), false, {}, fixedTime()));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("capture: "), std::string::npos);
  EXPECT_FALSE(fs::exists(folder_ / "empty.png"));
}

// Offsets and values of the EXIF table for D = "Hello world" (11), S = "Zorvander 0.1.0" (15).
TEST(Exif, LayoutOfTheTiffStructure) {
  const Bytes exif = buildExif({"Zorvander 0.1.0", "Hello world"}, fixedTime());
  ASSERT_EQ(exif.size(), 134u + 11u + 15u + 11u);
  EXPECT_EQ(text(exif, 0, 2), "II");
  EXPECT_EQ(le16(exif, 2), 42);
  EXPECT_EQ(le32(exif, 4), 8u);
  EXPECT_EQ(le16(exif, 8), 5);
  struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, value;
  };
  auto entry = [&](std::size_t at) { return Entry{le16(exif, at), le16(exif, at + 2), le32(exif, at + 4), le32(exif, at + 8)}; };
  const std::array<Entry, 5> ifd0{{{0x010E, 2, 12, 104}, {0x0131, 2, 16, 116}, {0x0132, 2, 20, 132},
                                   {0x8769, 4, 1, 74}, {0x9286, 7, 19, 152}}};
  for (std::size_t i = 0; i < ifd0.size(); ++i) {
    const Entry e = entry(10 + 12 * i);
    EXPECT_EQ(e.tag, ifd0[i].tag) << i;
    EXPECT_EQ(e.type, ifd0[i].type) << i;
    EXPECT_EQ(e.count, ifd0[i].count) << i;
    EXPECT_EQ(e.value, ifd0[i].value) << i;
  }
  EXPECT_EQ(le32(exif, 70), 0u);
  EXPECT_EQ(le16(exif, 74), 2);
  for (std::size_t i = 0; i < 2; ++i) {
    const Entry e = entry(76 + 12 * i);
    EXPECT_EQ(e.tag, i == 0 ? 0x9003 : 0x9004);
    EXPECT_EQ(e.type, 2);
    EXPECT_EQ(e.count, 20u);
    EXPECT_EQ(e.value, 132u);
  }
  EXPECT_EQ(le32(exif, 100), 0u);
  EXPECT_EQ(text(exif, 104, 12), std::string("Hello world\0", 12));
  EXPECT_EQ(text(exif, 116, 16), std::string("Zorvander 0.1.0\0", 16));
  EXPECT_EQ(text(exif, 132, 20), std::string("2026:10:18 07:05:09\0", 20));
  EXPECT_EQ(text(exif, 152), std::string("ASCII\0\0\0Hello world", 19));
}

TEST(Exif, EmptyTextsAndShortTexts) {
  // An empty description takes the software text; empty software becomes "Zorvander".
  const Bytes fromSoftware = buildExif({"Zorvander 0.1.0", ""}, fixedTime());
  EXPECT_EQ(fromSoftware, buildExif({"Zorvander 0.1.0", "Zorvander 0.1.0"}, fixedTime()));
  const Bytes defaults = buildExif({"", ""}, fixedTime());
  EXPECT_EQ(defaults, buildExif({"Zorvander", "Zorvander"}, fixedTime()));

  // Values of four bytes or fewer stand inside the entry, as TIFF readers expect;
  // the data area keeps its layout.
  const Bytes shortText = buildExif({"Zorvander", "ab"}, fixedTime());
  EXPECT_EQ(le32(shortText, 10 + 4), 3u);
  EXPECT_EQ(text(shortText, 10 + 8, 4), std::string("ab\0\0", 4));
  EXPECT_EQ(text(shortText, 104, 3), std::string("ab\0", 3));
  EXPECT_EQ(le32(shortText, 22 + 8), 107u);  // Software still at 105 + len(D)
  EXPECT_EQ(le32(shortText, 58 + 8), 126u + 2u + 9u);
}

std::map<std::string, std::string> exiftoolTags(const fs::path& file) {
  std::map<std::string, std::string> tags;
  const std::string command = "exiftool -S -EXIF:ImageDescription -EXIF:Software -EXIF:ModifyDate "
                              "-EXIF:DateTimeOriginal -EXIF:CreateDate -EXIF:UserComment -PNG:Description '" +
                              file.string() + "' 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return tags;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string l(line);
    if (!l.empty() && l.back() == '\n') l.pop_back();
    const std::size_t colon = l.find(": ");
    if (colon != std::string::npos) tags[l.substr(0, colon)] = l.substr(colon + 2);
  }
  ::pclose(pipe);
  return tags;
}

TEST_F(PngWriter, ExiftoolReadsTheMetadataBack) {
  if (std::system("exiftool -ver > /dev/null 2>&1") != 0) GTEST_SKIP() << "exiftool is not installed";
  const Bytes pixel{9, 9, 9, 255};
  const struct {
    ScreenshotMetadata meta;
    std::string description;
    std::string software;
  } cases[] = {
      {{"Zorvander 0.1.0", "Village at noon, seed 20261018"}, "Village at noon, seed 20261018", "Zorvander 0.1.0"},
      {{"Zorvander 0.1.0", ""}, "Zorvander 0.1.0", "Zorvander 0.1.0"},
      {{"ab", "xyz"}, "xyz", "ab"},
  };
  int index = 0;
  for (const auto& c : cases) {
    const fs::path path = folder_ / ("exif" + std::to_string(index++) + ".png");
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(writePng(path, 1, 1, pixel.data(), false, c.meta, fixedTime()));
    ::testing::internal::GetCapturedStdout();
    std::map<std::string, std::string> tags = exiftoolTags(path);
    EXPECT_EQ(tags["ImageDescription"], c.description) << path;
    EXPECT_EQ(tags["Software"], c.software) << path;
    EXPECT_EQ(tags["ModifyDate"], "2026:10:18 07:05:09") << path;  // DateTime
    EXPECT_EQ(tags["DateTimeOriginal"], "2026:10:18 07:05:09") << path;
    EXPECT_EQ(tags["CreateDate"], "2026:10:18 07:05:09") << path;  // DateTimeDigitized
    EXPECT_EQ(tags["UserComment"], c.description) << path;
    EXPECT_EQ(tags.count("Warning"), 0u) << tags["Warning"];
  }
}

}  // namespace
}  // namespace zorv
