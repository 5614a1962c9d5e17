#pragma once
// Process-wide tables that give block and item numbers their meaning, plus the
// harvest and break-time rules that combine them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "world/types.h"

namespace zorv {

enum ToolClass : std::uint8_t { ToolNone = 0, ToolPickaxe = 1, ToolAxe = 2, ToolShovel = 3, ToolSword = 4 };

struct BlockDef {
  std::string id;    // namespaced, lower case: "zorvander:stone"
  std::string name;  // short name, also the display name of built-ins
  bool solid = false;
  bool opaque = false;
  bool cutout = false;
  bool fluid = false;
  std::int32_t texTop = 0, texSide = 0, texBottom = 0;
  float hardness = 0.0f;  // base break time in seconds; ≤ 0 cannot be broken
  std::uint16_t drop = 0;
  std::uint8_t toolClass = ToolNone;
  bool requiresTool = false;
  std::uint8_t minTier = 0;
  std::uint8_t lightEmission = 0;
  std::uint8_t lightOpacity = 15;
};

struct ItemDef {
  std::string id;
  std::string name;
  std::int32_t tex = 0;
  std::uint16_t maxStack = 64;
  std::uint8_t toolClass = ToolNone;
  std::uint8_t tier = 0;
  std::uint16_t durability = 0;
  float speed = 1.0f;
  std::int32_t damage = 1;
};

// Ordered tile names; a tile index is also a layer of the renderer's texture array.
struct TileTable {
  std::vector<std::string> names;    // lower case, unique
  std::vector<std::string> sources;  // empty for built-in (painted) tiles, image path for mod tiles
};

constexpr int kBuiltinTileCount = 58;
constexpr int kBuiltinBlockCount = 21;
constexpr int kBuiltinItemCount = 20;

class BlockRegistry {
 public:
  BlockRegistry();  // registers the built-in tiles and blocks

  // The definition of `id`; the fallback air definition at or beyond the count.
  const BlockDef& get(BlockId id) const;
  // Full id, then short name, then the part after ':' of any namespaced id; 0xFFFF if none.
  BlockId find(std::string_view name) const;
  // Appends a definition (its drop becomes its own id); 0xFFFF when the registry is full.
  BlockId registerBlock(BlockDef def);
  void setDrop(BlockId id, std::uint16_t drop);
  std::size_t count() const { return blocks_.size(); }
  // Drops the blocks and tiles added after the first `blockCount` and `tileCount` (the
  // built-in ones always stay): how a mod refused while loading takes back its blocks.
  void truncate(std::size_t blockCount, int tileCount);

  int addTile(std::string_view name);
  int findTile(std::string_view name) const;
  void setTileSource(int index, std::string source);
  int tileCount() const { return static_cast<int>(tiles_.names.size()); }
  const TileTable& tiles() const { return tiles_; }

 private:
  std::vector<BlockDef> blocks_;
  TileTable tiles_;
};

class ItemRegistry {
 public:
  ItemRegistry();  // registers the materials and the generated tools

  bool isItem(std::uint16_t number) const;
  // The definition of `number`; the fallback item when it is not a registered item.
  const ItemDef& getItem(std::uint16_t number) const;
  // Matches the id without "zorvander:" or the name, case-insensitively; 0 if none.
  ItemId findItem(std::string_view name) const;
  std::size_t count() const { return items_.size(); }

 private:
  std::vector<ItemDef> items_;
};

// The process-wide registries, built on first use.
BlockRegistry& blockRegistry();
const ItemRegistry& itemRegistry();

// One row of the tool material table; the ingredient also drives the tool recipes.
struct ToolMaterial {
  std::uint16_t ingredient;
  const char* nameWord;
  const char* textureWord;
  std::uint16_t durability;
  float speed;
  std::uint8_t tier;
  std::int32_t swordDamage;
  std::int32_t toolDamage;
};
const std::vector<ToolMaterial>& toolMaterials();

// Tile of a block or item number: the item's tile for items (and air), the block's top otherwise.
int textureOf(std::uint16_t number);
// Item name for items and air, block name for blocks.
const std::string& nameOf(std::uint16_t number);
// Whether breaking `block` while holding `held` yields its drop.
bool canHarvest(const BlockDef& block, std::uint16_t held);
// Seconds to break `block` while holding `held`; 0 when it cannot be broken.
float breakTime(const BlockDef& block, std::uint16_t held);

}  // namespace zorv
