#include "content/resource_packs.h"

#include <stb_image.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "content/procedural_textures.h"
#include "platform/text.h"

namespace zorv {

namespace {

namespace fs = std::filesystem;

// No tile image or shader comes near this; it keeps a hostile archive entry from
// exhausting memory.
constexpr zip_uint64_t kMaxEntryBytes = 64ull << 20;

// Far beyond any 256 × 256 layer or animation strip.
constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 26;

constexpr std::string_view kPackSuffix = ".rp.zorvk";
constexpr std::string_view kZipSuffix = ".zip";
constexpr int kMinLayerSize = 16;
constexpr int kMaxLayerSize = 256;

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Folder-relative paths of the "assets/zorvander/textures" layout, per tile.
struct PackMetaEntry {
  std::string_view tile;
  std::string_view first;
  std::string_view second;  // empty when the tile has one path
};

constexpr std::string_view kPackMetaRoot = "assets/zorvander/textures/";

constexpr PackMetaEntry kPackMetaTable[] = {
    {"grass_top", "block/grass_block_top.png", "block/grass_top.png"},
    {"grass_side", "block/grass_block_side.png", "block/grass_side.png"},
    {"dirt", "block/dirt.png", ""},
    {"stone", "block/stone.png", ""},
    {"sand", "block/sand.png", ""},
    {"wood_side", "block/oak_log.png", "block/log_oak.png"},
    {"wood_top", "block/oak_log_top.png", "block/log_oak_top.png"},
    {"leaves", "block/oak_leaves.png", "block/leaves_oak.png"},
    {"snow", "block/snow.png", ""},
    {"water", "block/water_still.png", ""},
    {"lava", "block/lava_still.png", ""},
    {"planks", "block/oak_planks.png", "block/planks_oak.png"},
    {"cobblestone", "block/cobblestone.png", ""},
    {"bricks", "block/bricks.png", ""},
    {"bookshelf", "block/bookshelf.png", ""},
    {"gravel", "block/gravel.png", ""},
    {"coal_ore", "block/coal_ore.png", ""},
    {"iron_ore", "block/iron_ore.png", ""},
    {"diamond_ore", "block/diamond_ore.png", ""},
    {"table_top", "block/crafting_table_top.png", ""},
    {"table_side", "block/crafting_table_side.png", "block/crafting_table_front.png"},
    {"stick", "item/stick.png", ""},
    {"coal", "item/coal.png", ""},
    {"iron_ingot", "item/iron_ingot.png", ""},
    {"diamond", "item/diamond.png", ""},
    {"pick_wood", "item/wooden_pickaxe.png", ""},
    {"pick_stone", "item/stone_pickaxe.png", ""},
    {"pick_iron", "item/iron_pickaxe.png", ""},
    {"pick_diamond", "item/diamond_pickaxe.png", ""},
    {"axe_wood", "item/wooden_axe.png", ""},
    {"axe_stone", "item/stone_axe.png", ""},
    {"axe_iron", "item/iron_axe.png", ""},
    {"axe_diamond", "item/diamond_axe.png", ""},
    {"shovel_wood", "item/wooden_shovel.png", "item/wood_shovel.png"},
    {"shovel_stone", "item/stone_shovel.png", ""},
    {"shovel_iron", "item/iron_shovel.png", ""},
    {"shovel_diamond", "item/diamond_shovel.png", ""},
    {"sword_wood", "item/wooden_sword.png", ""},
    {"sword_stone", "item/stone_sword.png", ""},
    {"sword_iron", "item/iron_sword.png", ""},
    {"sword_diamond", "item/diamond_sword.png", ""},
    {"heart_full", "gui/sprites/hud/heart/full.png", ""},
    {"heart_empty", "gui/sprites/hud/heart/container.png", ""},
};

std::vector<std::uint8_t> readWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return {};
  return bytes;
}

bool isPackFileName(const std::string& fileName) {
  const std::string lower = lowerAscii(fileName);
  return (endsWith(lower, kPackSuffix) && lower.size() > kPackSuffix.size()) ||
         (endsWith(lower, kZipSuffix) && lower.size() > kZipSuffix.size());
}

// Images of every named tile that `source` provides through the candidate
// search; returns how many were stored.
int storeTileImages(const PackSource& source, bool packMetaLayout, LayerImages& images, const TileTable& tiles) {
  int stored = 0;
  for (std::size_t i = 0; i < tiles.names.size(); ++i) {
    const std::string& name = tiles.names[i];
    if (name.empty()) continue;
    std::optional<DecodedImage> image;
    if (packMetaLayout) image = tryCandidates(source, packMetaCandidates(name));
    if (!image) image = tryCandidates(source, genericCandidates(name));
    if (!image) continue;
    images[static_cast<int>(i)] = std::move(*image);
    ++stored;
  }
  return stored;
}

}  // namespace

FolderSource::FolderSource(std::filesystem::path root) : root_(std::move(root)) {}

bool FolderSource::exists(const std::string& path) const {
  std::error_code error;
  return fs::is_regular_file(root_ / path, error);
}

std::vector<std::uint8_t> FolderSource::read(const std::string& path) const { return readWholeFile(root_ / path); }

ZipSource::ZipSource(const std::filesystem::path& archive) {
  int error = 0;
  archive_ = zip_open(archive.c_str(), ZIP_RDONLY, &error);
}

ZipSource::~ZipSource() {
  if (archive_ != nullptr) zip_discard(archive_);
}

bool ZipSource::exists(const std::string& path) const {
  return archive_ != nullptr && zip_name_locate(archive_, path.c_str(), ZIP_FL_NOCASE) >= 0;
}

std::vector<std::uint8_t> ZipSource::read(const std::string& path) const {
  if (archive_ == nullptr) return {};
  const zip_int64_t index = zip_name_locate(archive_, path.c_str(), ZIP_FL_NOCASE);
  if (index < 0) return {};
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 || (stat.valid & ZIP_STAT_SIZE) == 0 ||
      stat.size > kMaxEntryBytes) {
    return {};
  }
  zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
  if (file == nullptr) return {};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(stat.size));
  const zip_int64_t got = zip_fread(file, bytes.data(), stat.size);
  zip_fclose(file);
  if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size) return {};
  return bytes;
}

std::vector<std::filesystem::path> listPacks(const std::filesystem::path& directory) {
  std::vector<fs::path> packs;
  std::error_code error;
  if (!fs::is_directory(directory, error)) return packs;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (it->is_directory(typeError) ||
        (it->is_regular_file(typeError) && isPackFileName(it->path().filename().string()))) {
      packs.push_back(it->path());
    }
  }
  std::sort(packs.begin(), packs.end());
  return packs;
}

std::unique_ptr<PackSource> openPack(const std::filesystem::path& path) {
  std::error_code error;
  if (fs::is_directory(path, error)) return std::make_unique<FolderSource>(path);
  return std::make_unique<ZipSource>(path);
}

std::string packLabel(const std::filesystem::path& path) {
  const fs::path name = path.has_filename() ? path.filename() : path.parent_path().filename();
  std::string label = name.string();
  const std::string lower = lowerAscii(label);
  if (endsWith(lower, kPackSuffix)) {
    label.resize(label.size() - kPackSuffix.size());
  } else if (endsWith(lower, kZipSuffix)) {
    label.resize(label.size() - kZipSuffix.size());
  }
  return label;
}

std::vector<std::string> genericCandidates(std::string_view tileName) {
  const std::string name(tileName);
  return {"textures/" + name + ".png", "textures/" + name + ".jpg", "textures/block/" + name + ".png", name + ".png"};
}

std::vector<std::string> packMetaCandidates(std::string_view tileName) {
  for (const PackMetaEntry& entry : kPackMetaTable) {
    if (entry.tile != tileName) continue;
    std::vector<std::string> paths{std::string(kPackMetaRoot) + std::string(entry.first)};
    if (!entry.second.empty()) paths.push_back(std::string(kPackMetaRoot) + std::string(entry.second));
    return paths;
  }
  return {};
}

std::optional<DecodedImage> tryCandidates(const PackSource& source, const std::vector<std::string>& candidates) {
  for (const std::string& candidate : candidates) {
    if (!source.exists(candidate)) continue;
    const std::vector<std::uint8_t> bytes = source.read(candidate);
    if (bytes.empty()) continue;
    if (std::optional<DecodedImage> image = decodeImage(bytes)) return image;
    std::fprintf(stderr, "resourcepack: failed to decode %s\n", candidate.c_str());
  }
  return std::nullopt;
}

std::optional<DecodedImage> decodeImage(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  int width = 0, height = 0, channels = 0;
  // A header can claim any size; refuse to allocate for absurd ones.
  if (stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels) == 0 ||
      std::int64_t{width} * height > kMaxImagePixels) {
    return std::nullopt;
  }
  stbi_uc* pixels =
      stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
  if (pixels == nullptr) return std::nullopt;
  std::optional<DecodedImage> image;
  if (width > 0 && height > 0) {
    // An animation strip stacks square frames vertically; the first frame stands for it.
    if (height > width && height % width == 0) height = width;
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    image = DecodedImage{width, height, std::vector<std::uint8_t>(pixels, pixels + size)};
  }
  stbi_image_free(pixels);
  return image;
}

int applyPack(const PackSource& source, const std::string& label, LayerImages& images, const TileTable& tiles) {
  const int stored = storeTileImages(source, source.exists("pack.zorvmeta"), images, tiles);
  std::printf("resourcepack: %s -> %d layers\n", label.c_str(), stored);
  return stored;
}

int layerSizeFor(const LayerImages& images) {
  int largest = kMinLayerSize;
  for (const auto& [layer, image] : images) largest = std::max({largest, image.width, image.height});
  const int target = std::min(largest, kMaxLayerSize);
  int size = kMinLayerSize;
  while (size < target) size *= 2;
  return size;
}

LayerImageSet buildLayerImages(const std::filesystem::path& packDirectory, const std::filesystem::path& assetsFolder,
                               const TileTable& tiles) {
  LayerImageSet result;
  std::error_code error;
  const fs::path builtin = assetsFolder / "textures";
  if (fs::is_directory(builtin, error)) {
    const int stored = storeTileImages(FolderSource(builtin), false, result.images, tiles);
    std::printf("resourcepack: built-in textures -> %d layers\n", stored);
  }
  for (std::size_t i = 0; i < tiles.sources.size() && i < tiles.names.size(); ++i) {
    if (tiles.sources[i].empty()) continue;
    if (std::optional<DecodedImage> image = decodeImage(readWholeFile(tiles.sources[i]))) {
      result.images[static_cast<int>(i)] = std::move(*image);
    }
  }
  for (const fs::path& pack : listPacks(packDirectory)) {
    applyPack(*openPack(pack), packLabel(pack), result.images, tiles);
  }
  result.layerSize = layerSizeFor(result.images);
  return result;
}

std::vector<std::uint8_t> layerTexels(const LayerImages& images, int layer, int layerSize) {
  const auto size = static_cast<std::size_t>(layerSize);
  std::vector<std::uint8_t> texels(size * size * 4);
  const auto found = images.find(layer);
  // Without an image, each design texel is painted once and then repeated.
  std::array<Texel, kDesignGridSize * kDesignGridSize> design{};
  if (found == images.end()) {
    for (int y = 0; y < kDesignGridSize; ++y)
      for (int x = 0; x < kDesignGridSize; ++x)
        design[static_cast<std::size_t>(y * kDesignGridSize + x)] = proceduralTexel(static_cast<std::uint32_t>(layer), x, y);
  }
  for (int y = 0; y < layerSize; ++y) {
    for (int x = 0; x < layerSize; ++x) {
      std::uint8_t* out = &texels[(static_cast<std::size_t>(y) * size + static_cast<std::size_t>(x)) * 4];
      if (found != images.end()) {
        const DecodedImage& image = found->second;
        const std::int64_t sy = std::int64_t{y} * image.height / layerSize;
        const std::int64_t sx = std::int64_t{x} * image.width / layerSize;
        const std::uint8_t* in = &image.pixels[static_cast<std::size_t>((sy * image.width + sx) * 4)];
        std::copy(in, in + 4, out);
      } else {
        const Texel t = design[static_cast<std::size_t>((y * kDesignGridSize / layerSize) * kDesignGridSize +
                                                        x * kDesignGridSize / layerSize)];
        out[0] = t.r;
        out[1] = t.g;
        out[2] = t.b;
        out[3] = t.a;
      }
    }
  }
  return texels;
}

}  // namespace zorv
