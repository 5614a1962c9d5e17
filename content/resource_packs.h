#pragma once
// Resource packs: folders or zip archives that replace tile images. This module
// finds and orders packs, reads files from them, searches a tile's image in a pack
// and combines every source into one image per texture-array layer.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "world/registry.h"

struct zip;

namespace zorv {

// A decoded image: RGBA bytes, rows top to bottom.
struct DecodedImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

// Pack or mod image per texture-array layer (tile index).
using LayerImages = std::map<int, DecodedImage>;

// Files of one pack, addressed by relative paths with "/" separators.
class PackSource {
 public:
  virtual ~PackSource() = default;
  virtual bool exists(const std::string& path) const = 0;
  // The whole file; empty on any failure.
  virtual std::vector<std::uint8_t> read(const std::string& path) const = 0;
};

class FolderSource final : public PackSource {
 public:
  explicit FolderSource(std::filesystem::path root);
  bool exists(const std::string& path) const override;
  std::vector<std::uint8_t> read(const std::string& path) const override;

 private:
  std::filesystem::path root_;
};

// A zip archive opened once at construction; entry names match without regard to
// the case of ASCII letters. An archive that cannot be opened holds no files.
class ZipSource final : public PackSource {
 public:
  explicit ZipSource(const std::filesystem::path& archive);
  ~ZipSource() override;
  ZipSource(const ZipSource&) = delete;
  ZipSource& operator=(const ZipSource&) = delete;

  bool isOpen() const { return archive_ != nullptr; }
  bool exists(const std::string& path) const override;
  std::vector<std::uint8_t> read(const std::string& path) const override;

 private:
  zip* archive_ = nullptr;
};

// Pack paths in `directory`, sorted: every folder, and every file whose lower-cased
// name ends in ".rp.zorvk" or ".zip" (with something before the suffix). Empty when
// `directory` is not a folder.
std::vector<std::filesystem::path> listPacks(const std::filesystem::path& directory);

// A FolderSource for a folder, otherwise a ZipSource.
std::unique_ptr<PackSource> openPack(const std::filesystem::path& path);

// Display name of a pack: the file name without ".rp.zorvk" or ".zip".
std::string packLabel(const std::filesystem::path& path);

// Search paths of a tile in any pack layout, in order.
std::vector<std::string> genericCandidates(std::string_view tileName);

// Search paths of a tile in a pack that holds "pack.zorvmeta" (the
// "assets/zorvander/textures" layout); empty for tiles outside that table.
std::vector<std::string> packMetaCandidates(std::string_view tileName);

// The first candidate that exists, reads non-empty and decodes. Undecodable
// candidates print "resourcepack: failed to decode <path>" and are skipped.
std::optional<DecodedImage> tryCandidates(const PackSource& source, const std::vector<std::string>& candidates);

// PNG, JPEG or any other format stb_image reads, as RGBA. Of an animation strip
// (height a multiple of a smaller width) only the top square is kept.
std::optional<DecodedImage> decodeImage(const std::vector<std::uint8_t>& bytes);

// Stores every tile image `source` provides into `images` (replacing earlier ones),
// prints "resourcepack: <label> -> <n> layers" and returns n.
int applyPack(const PackSource& source, const std::string& label, LayerImages& images,
              const TileTable& tiles = blockRegistry().tiles());

// Smallest power of two covering the largest image side, from 16 up to 256.
int layerSizeFor(const LayerImages& images);

struct LayerImageSet {
  LayerImages images;
  int layerSize = 16;
};

// Built-in asset images (the "textures" folder inside `assetsFolder`, when there is
// one), then mod tile images, then every pack of `packDirectory` in order.
LayerImageSet buildLayerImages(const std::filesystem::path& packDirectory,
                               const std::filesystem::path& assetsFolder,
                               const TileTable& tiles = blockRegistry().tiles());

// Level-0 RGBA texels (layerSize × layerSize) of one texture-array layer: the
// layer's image scaled by nearest sampling, or the built-in painting of the tile.
std::vector<std::uint8_t> layerTexels(const LayerImages& images, int layer, int layerSize);

}  // namespace zorv
