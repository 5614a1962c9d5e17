#include "content/resource_packs.h"

#include <gtest/gtest.h>

#include "content/procedural_textures.h"
#include "pack_fixture.h"

namespace zorv {
namespace {

using namespace zorv::testing;

constexpr std::uint32_t kRed = 0xFF0000FFu, kBlue = 0x0000FFFFu, kGreen = 0x00FF00FFu;

int tileIndex(const char* name) { return blockRegistry().findTile(name); }

std::uint32_t firstPixel(const DecodedImage& image) {
  return std::uint32_t{image.pixels[0]} << 24 | std::uint32_t{image.pixels[1]} << 16 |
         std::uint32_t{image.pixels[2]} << 8 | image.pixels[3];
}

std::vector<std::string> fileNames(const std::vector<fs::path>& paths) {
  std::vector<std::string> names;
  for (const fs::path& path : paths) names.push_back(path.filename().string());
  return names;
}

// Layer images of the packs in `packs`, with no built-in assets folder.
LayerImageSet buildFromPacks(const fs::path& packs, const TileTable& tiles = blockRegistry().tiles()) {
  return buildLayerImages(packs, packs / "no_such_assets", tiles);
}

TEST(ResourcePacks, ListPacksKeepsFoldersAndPackFilesSorted) {
  TempFolder temp;
  const fs::path dir = temp.path() / "resourcepacks";
  fs::create_directories(dir / "b_pack");
  fs::create_directories(dir / "a_pack");
  fs::create_directories(dir / "plain folder.txt");
  for (const char* name : {"Cool.RP.ZORVK", "x.zip", "Upper.ZIP", "notes.txt", ".zip", ".rp.zorvk", "zip", "a.rp.zorvk.bak"})
    writeBytes(dir / name, textBytes("data"));
  EXPECT_EQ(fileNames(listPacks(dir)), (std::vector<std::string>{"Cool.RP.ZORVK", "Upper.ZIP", "a_pack",
                                                                  "b_pack", "plain folder.txt", "x.zip"}));
  EXPECT_TRUE(listPacks(temp.path() / "missing").empty());
  EXPECT_TRUE(listPacks(dir / "x.zip").empty());
}

TEST(ResourcePacks, LabelsDropThePackSuffix) {
  EXPECT_EQ(packLabel("/r/Cool.RP.ZORVK"), "Cool");
  EXPECT_EQ(packLabel("/r/faithful.rp.zorvk"), "faithful");
  EXPECT_EQ(packLabel("/r/pack.zip"), "pack");
  EXPECT_EQ(packLabel("/r/Pack.v2.ZIP"), "Pack.v2");
  EXPECT_EQ(packLabel("/r/my.folder"), "my.folder");
  EXPECT_EQ(packLabel("/r/plain/"), "plain");
}

TEST(ResourcePacks, CandidatePathsAndThePackMetaTable) {
  EXPECT_EQ(genericCandidates("stone"), (std::vector<std::string>{"textures/stone.png", "textures/stone.jpg",
                                                                  "textures/block/stone.png", "stone.png"}));
  EXPECT_EQ(packMetaCandidates("wood_side"),
            (std::vector<std::string>{"assets/zorvander/textures/block/oak_log.png",
                                      "assets/zorvander/textures/block/log_oak.png"}));
  EXPECT_EQ(packMetaCandidates("shovel_wood"),
            (std::vector<std::string>{"assets/zorvander/textures/item/wooden_shovel.png",
                                      "assets/zorvander/textures/item/wood_shovel.png"}));
  EXPECT_EQ(packMetaCandidates("heart_empty"),
            (std::vector<std::string>{"assets/zorvander/textures/gui/sprites/hud/heart/container.png"}));
  EXPECT_TRUE(packMetaCandidates("bedrock").empty());
  EXPECT_TRUE(packMetaCandidates("slime_face").empty());
  int inTable = 0;
  for (const std::string& name : blockRegistry().tiles().names) inTable += packMetaCandidates(name).empty() ? 0 : 1;
  EXPECT_EQ(inTable, 43);
}

TEST(ResourcePacks, LaterFolderPacksWinTileByTile) {
  TempFolder temp;
  const fs::path dir = temp.path();
  writeBytes(dir / "a_pack/textures/block/stone.png", pngImage(16, 16, kRed));
  writeBytes(dir / "a_pack/textures/dirt.png", pngImage(16, 16, kGreen));
  writeBytes(dir / "b_pack/stone.png", pngImage(16, 16, kBlue));
  ::testing::internal::CaptureStdout();
  const LayerImageSet set = buildFromPacks(dir);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "resourcepack: a_pack -> 2 layers\nresourcepack: b_pack -> 1 layers\n");
  ASSERT_EQ(set.images.size(), 2u);
  EXPECT_EQ(firstPixel(set.images.at(tileIndex("stone"))), kBlue);
  EXPECT_EQ(firstPixel(set.images.at(tileIndex("dirt"))), kGreen);
  EXPECT_EQ(set.layerSize, 16);
}

TEST(ResourcePacks, GenericCandidatesAreTriedInOrderAndBadImagesSkipped) {
  TempFolder temp;
  const fs::path pack = temp.path() / "p";
  writeBytes(pack / "textures/stone.png", textBytes("not an image"));
  writeBytes(pack / "textures/stone.jpg", jpegImage(8, 8, 250, 10, 10));
  writeBytes(pack / "textures/block/stone.png", pngImage(16, 16, kBlue));
  writeBytes(pack / "textures/sand.png", textBytes(""));  // empty counts as absent
  writeBytes(pack / "sand.png", pngImage(16, 16, kGreen));
  const FolderSource source(pack);
  ::testing::internal::CaptureStderr();
  const std::optional<DecodedImage> stone = tryCandidates(source, genericCandidates("stone"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "resourcepack: failed to decode textures/stone.png\n");
  ASSERT_TRUE(stone.has_value());
  EXPECT_EQ(stone->width, 8);  // the JPEG, second in line
  EXPECT_GT(stone->pixels[0], 200);
  EXPECT_LT(stone->pixels[1], 50);
  EXPECT_EQ(stone->pixels[3], 255);
  const std::optional<DecodedImage> sand = tryCandidates(source, genericCandidates("sand"));
  ASSERT_TRUE(sand.has_value());
  EXPECT_EQ(firstPixel(*sand), kGreen);
  EXPECT_FALSE(tryCandidates(source, genericCandidates("dirt")).has_value());
}

TEST(ResourcePacks, PackMetaLayoutUsesItsTableFirstThenGenericPaths) {
  TempFolder temp;
  const fs::path pack = temp.path() / "meta";
  writeBytes(pack / "pack.zorvmeta", textBytes("{}"));
  writeBytes(pack / "assets/zorvander/textures/block/oak_log.png", pngImage(16, 16, kRed));
  writeBytes(pack / "assets/zorvander/textures/block/log_oak.png", pngImage(16, 16, kBlue));
  writeBytes(pack / "assets/zorvander/textures/block/planks_oak.png", pngImage(16, 16, kGreen));
  writeBytes(pack / "textures/block/planks.png", pngImage(16, 16, kRed));
  writeBytes(pack / "textures/block/stone.png", pngImage(16, 16, kBlue));  // not in the table's paths
  writeBytes(pack / "textures/block/bedrock.png", pngImage(16, 16, kGreen));  // not in the table at all
  writeBytes(temp.path() / "plain/assets/zorvander/textures/block/oak_log.png", pngImage(16, 16, kRed));

  LayerImages images;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(applyPack(FolderSource(pack), "meta", images), 4);
  EXPECT_EQ(applyPack(FolderSource(temp.path() / "plain"), "plain", images), 0);  // no pack.zorvmeta
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "resourcepack: meta -> 4 layers\nresourcepack: plain -> 0 layers\n");
  EXPECT_EQ(firstPixel(images.at(tileIndex("wood_side"))), kRed);
  EXPECT_EQ(firstPixel(images.at(tileIndex("planks"))), kGreen);
  EXPECT_EQ(firstPixel(images.at(tileIndex("stone"))), kBlue);
  EXPECT_EQ(firstPixel(images.at(tileIndex("bedrock"))), kGreen);
}

TEST(ResourcePacks, ZipPacksMatchNamesWithoutRegardToCase) {
  TempFolder temp;
  const fs::path dir = temp.path();
  const Bytes stone = pngImage(32, 32, kRed);
  writeZip(dir / "Shiny.RP.ZORVK", {{"TEXTURES/BLOCK/STONE.PNG", stone}, {"Textures/Dirt.png", pngImage(16, 16, kBlue)}});
  writeBytes(dir / "broken.zip", textBytes("PK but not really a zip archive"));

  const ZipSource zip(dir / "Shiny.RP.ZORVK");
  ASSERT_TRUE(zip.isOpen());
  EXPECT_TRUE(zip.exists("textures/block/stone.png"));
  EXPECT_FALSE(zip.exists("textures/block/sand.png"));
  EXPECT_EQ(zip.read("textures/block/stone.png"), stone);
  EXPECT_TRUE(zip.read("missing.png").empty());

  const ZipSource broken(dir / "broken.zip");
  EXPECT_FALSE(broken.isOpen());
  EXPECT_FALSE(broken.exists("textures/stone.png"));
  EXPECT_TRUE(broken.read("textures/stone.png").empty());

  ::testing::internal::CaptureStdout();
  const LayerImageSet set = buildFromPacks(dir);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "resourcepack: Shiny -> 2 layers\nresourcepack: broken -> 0 layers\n");
  EXPECT_EQ(firstPixel(set.images.at(tileIndex("stone"))), kRed);
  EXPECT_EQ(firstPixel(set.images.at(tileIndex("dirt"))), kBlue);
  EXPECT_EQ(set.layerSize, 32);
}

TEST(ResourcePacks, DecodingKeepsTheFirstFrameOfAnimationStrips) {
  const std::optional<DecodedImage> strip = decodeImage(pngImage(64, 1024, kBlue, 64, kRed));
  ASSERT_TRUE(strip.has_value());
  EXPECT_EQ(strip->width, 64);
  EXPECT_EQ(strip->height, 64);
  ASSERT_EQ(strip->pixels.size(), 64u * 64u * 4u);
  for (std::size_t i = 0; i < strip->pixels.size(); i += 4) ASSERT_EQ(strip->pixels[i + 2], 255) << i;

  const std::optional<DecodedImage> tall = decodeImage(pngImage(16, 40, kRed));  // not a multiple: kept
  ASSERT_TRUE(tall.has_value());
  EXPECT_EQ(tall->height, 40);
  const std::optional<DecodedImage> wide = decodeImage(pngImage(48, 16, kRed));
  ASSERT_TRUE(wide.has_value());
  EXPECT_EQ(wide->height, 16);

  EXPECT_FALSE(decodeImage({}).has_value());
  Bytes huge = pngImage(1, 1, kRed);  // header claims 40000 × 40000: refused before decoding
  huge[16] = huge[20] = 0;
  huge[17] = huge[21] = 0;
  huge[18] = huge[22] = 0x9C;
  huge[19] = huge[23] = 0x40;
  EXPECT_FALSE(decodeImage(huge).has_value());
  EXPECT_FALSE(decodeImage(textBytes("\x89PNG\r\n\x1a\n truncated")).has_value());
}

TEST(ResourcePacks, LayerSizeIsAPowerOfTwoFrom16To256) {
  auto sizeWith = [](std::vector<std::pair<int, int>> sizes) {
    LayerImages images;
    int layer = 0;
    for (auto [w, h] : sizes) images[layer++] = DecodedImage{w, h, {}};
    return layerSizeFor(images);
  };
  EXPECT_EQ(sizeWith({}), 16);
  EXPECT_EQ(sizeWith({{8, 8}}), 16);
  EXPECT_EQ(sizeWith({{16, 17}}), 32);
  EXPECT_EQ(sizeWith({{64, 64}, {20, 10}}), 64);
  EXPECT_EQ(sizeWith({{100, 30}}), 128);
  EXPECT_EQ(sizeWith({{256, 256}}), 256);
  EXPECT_EQ(sizeWith({{300, 300}}), 256);
  EXPECT_EQ(sizeWith({{5000, 2}}), 256);
}

TEST(ResourcePacks, LayerTexelsSampleImagesAndPaintingsByNearestTexel) {
  LayerImages images;
  DecodedImage big{300, 300, std::vector<std::uint8_t>(300 * 300 * 4)};
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 300; ++x) {
      std::uint8_t* p = &big.pixels[static_cast<std::size_t>(y * 300 + x) * 4];
      p[0] = static_cast<std::uint8_t>(x);  // low bits of the column
      p[1] = static_cast<std::uint8_t>(y);
      p[2] = static_cast<std::uint8_t>(x >> 8 | (y >> 8) << 1);
      p[3] = 255;
    }
  images[3] = big;
  const std::vector<std::uint8_t> stone = layerTexels(images, 3, 256);
  ASSERT_EQ(stone.size(), 256u * 256u * 4u);
  auto sourceColumn = [&](int x, int y) {
    const std::uint8_t* p = &stone[static_cast<std::size_t>(y * 256 + x) * 4];
    return std::pair<int, int>{p[0] | (p[2] & 1) << 8, p[1] | (p[2] >> 1) << 8};
  };
  EXPECT_EQ(sourceColumn(0, 0), (std::pair<int, int>{0, 0}));
  EXPECT_EQ(sourceColumn(255, 255), (std::pair<int, int>{298, 298}));  // 255 · 300 / 256
  EXPECT_EQ(sourceColumn(100, 7), (std::pair<int, int>{117, 8}));

  // Without an image: the painting, one design texel per 2 × 2 at size 32.
  const std::vector<std::uint8_t> grass = layerTexels(images, 0, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const Texel t = proceduralTexel(0, x / 2, y / 2);
      const std::uint8_t* p = &grass[static_cast<std::size_t>(y * 32 + x) * 4];
      ASSERT_EQ((Texel{p[0], p[1], p[2], p[3]}), t) << x << "," << y;
    }
  const std::vector<std::uint8_t> water = layerTexels(images, 13, 16);
  EXPECT_EQ(water[3], 190);
}

TEST(ResourcePacks, BuiltInAssetsThenModTilesThenPacks) {
  TempFolder temp;
  const fs::path assets = temp.path() / "assets";
  writeBytes(assets / "textures/dirt.png", pngImage(16, 16, kGreen));
  writeBytes(assets / "textures/sand.png", pngImage(16, 16, kGreen));
  // The folder is the source root, so "textures/block/..." would be assets/textures/textures/block/...
  writeBytes(assets / "textures/block/stone.png", pngImage(16, 16, kGreen));
  writeBytes(temp.path() / "mods/ruby.png", pngImage(64, 64, kRed));
  writeBytes(temp.path() / "mods/broken.png", textBytes("nope"));
  writeBytes(temp.path() / "packs/p/textures/sand.png", pngImage(16, 16, kBlue));

  TileTable tiles = blockRegistry().tiles();
  tiles.names.push_back("ruby");
  tiles.sources.push_back((temp.path() / "mods/ruby.png").string());
  tiles.names.push_back("broken");
  tiles.sources.push_back((temp.path() / "mods/broken.png").string());
  const int ruby = static_cast<int>(tiles.names.size()) - 2;

  ::testing::internal::CaptureStdout();
  const LayerImageSet set = buildLayerImages(temp.path() / "packs", assets, tiles);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "resourcepack: built-in textures -> 2 layers\nresourcepack: p -> 1 layers\n");
  EXPECT_EQ(firstPixel(set.images.at(tileIndex("dirt"))), kGreen);
  EXPECT_EQ(firstPixel(set.images.at(tileIndex("sand"))), kBlue);
  EXPECT_EQ(firstPixel(set.images.at(ruby)), kRed);
  EXPECT_EQ(set.images.count(ruby + 1), 0u);
  EXPECT_EQ(set.images.count(tileIndex("stone")), 0u);
  EXPECT_EQ(set.layerSize, 64);

  ::testing::internal::CaptureStdout();
  const LayerImageSet none = buildLayerImages(temp.path() / "missing", temp.path() / "no_assets");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(none.images.empty());
  EXPECT_EQ(none.layerSize, 16);
}

}  // namespace
}  // namespace zorv
