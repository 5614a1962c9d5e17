#include "world/registry.h"
#include "platform/text.h"

#include <algorithm>
#include <array>

namespace zorv {
namespace {

constexpr std::array<const char*, kBuiltinTileCount> kBuiltinTiles = {
    "grass_top",     "grass_side",   "dirt",          "stone",         "sand",          "wood_side",
    "wood_top",      "leaves",       "snow",          "slime_body",    "slime_face",    "pig_body",
    "pig_face",      "water",        "lava",          "heart_full",    "heart_empty",   "planks",
    "cobblestone",   "bricks",       "bookshelf",     "gravel",        "villager_face", "villager_coat",
    "villager_skin", "player_face",  "player_shirt",  "player_pants",  "coal_ore",      "iron_ore",
    "diamond_ore",   "table_top",    "table_side",    "stick",         "coal",          "iron_ingot",
    "diamond",       "pick_wood",    "pick_stone",    "pick_iron",     "pick_diamond",  "axe_wood",
    "axe_stone",     "axe_iron",     "axe_diamond",   "shovel_wood",   "shovel_stone",  "shovel_iron",
    "shovel_diamond", "sword_wood",  "sword_stone",   "sword_iron",    "sword_diamond", "torch",
    "zombie_skin",   "zombie_face",  "zombie_shirt",  "bedrock",
};

constexpr std::string_view kNamespace = "zorvander:";

// Block numbers from 0x8000 up read as items, so mod blocks stop below that.
constexpr std::size_t kBlockCapacity = kFirstItem;

constexpr ItemId kCoal = kFirstItem + 1;
constexpr ItemId kIronIngot = kFirstItem + 2;
constexpr ItemId kDiamond = kFirstItem + 3;

constexpr std::uint16_t kDropsItself = kNoBlock;

struct BuiltinBlock {
  const char* name;
  bool solid, opaque, cutout, fluid;
  std::int32_t top, side, bottom;
  float hardness;
  std::uint8_t toolClass;
  bool requiresTool;
  std::uint8_t minTier;
  std::uint8_t emission;
  std::uint8_t opacity;
  std::uint16_t drop;
};

// Index order is the block numbering, which saved worlds depend on.
constexpr std::array<BuiltinBlock, kBuiltinBlockCount> kBuiltinBlocks = {{
    {"air", false, false, false, false, 0, 0, 0, 0.0f, ToolNone, false, 0, 0, 0, kAir},
    {"grass", true, true, false, false, 0, 1, 2, 0.4f, ToolShovel, false, 0, 0, 15, blocks::Dirt},
    {"dirt", true, true, false, false, 2, 2, 2, 0.4f, ToolShovel, false, 0, 0, 15, kDropsItself},
    {"stone", true, true, false, false, 3, 3, 3, 1.4f, ToolPickaxe, true, 1, 0, 15, blocks::Cobblestone},
    {"sand", true, true, false, false, 4, 4, 4, 0.35f, ToolShovel, false, 0, 0, 15, kDropsItself},
    {"wood", true, true, false, false, 6, 5, 6, 1.2f, ToolAxe, false, 0, 0, 15, kDropsItself},
    {"leaves", true, true, true, false, 7, 7, 7, 0.2f, ToolNone, false, 0, 0, 15, kDropsItself},
    {"snow", true, true, false, false, 8, 8, 8, 0.3f, ToolShovel, false, 0, 0, 15, kDropsItself},
    {"water", false, false, false, true, 13, 13, 13, 0.0f, ToolNone, false, 0, 0, 0, kDropsItself},
    {"lava", false, true, false, true, 14, 14, 14, 0.0f, ToolNone, false, 0, 15, 15, kDropsItself},
    {"planks", true, true, false, false, 17, 17, 17, 0.8f, ToolAxe, false, 0, 0, 15, kDropsItself},
    {"cobblestone", true, true, false, false, 18, 18, 18, 1.5f, ToolPickaxe, true, 1, 0, 15, kDropsItself},
    {"bricks", true, true, false, false, 19, 19, 19, 1.6f, ToolPickaxe, true, 1, 0, 15, kDropsItself},
    {"bookshelf", true, true, false, false, 17, 20, 17, 0.9f, ToolAxe, false, 0, 0, 15, kDropsItself},
    {"gravel", true, true, false, false, 21, 21, 21, 0.5f, ToolShovel, false, 0, 0, 15, kDropsItself},
    {"coal_ore", true, true, false, false, 28, 28, 28, 2.2f, ToolPickaxe, true, 1, 0, 15, kCoal},
    {"iron_ore", true, true, false, false, 29, 29, 29, 2.4f, ToolPickaxe, true, 2, 0, 15, kIronIngot},
    {"diamond_ore", true, true, false, false, 30, 30, 30, 2.6f, ToolPickaxe, true, 3, 0, 15, kDiamond},
    {"crafting_table", true, true, false, false, 31, 32, 17, 1.0f, ToolAxe, false, 0, 0, 15, kDropsItself},
    {"torch", false, false, true, false, 53, 53, 53, 0.05f, ToolNone, false, 0, 14, 0, kDropsItself},
    {"bedrock", true, true, false, false, 57, 57, 57, 0.0f, ToolNone, false, 0, 0, 15, kDropsItself},
}};

struct ToolKind {
  const char* nameWord;
  const char* textureWord;
  std::uint8_t toolClass;
};

constexpr std::array<ToolKind, 4> kToolKinds = {{
    {"pickaxe", "pick", ToolPickaxe},
    {"axe", "axe", ToolAxe},
    {"shovel", "shovel", ToolShovel},
    {"sword", "sword", ToolSword},
}};

constexpr std::array<const char*, 4> kMaterialItems = {"stick", "coal", "iron_ingot", "diamond"};

std::string_view afterColon(std::string_view text) {
  std::size_t colon = text.find(':');
  return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

int builtinTileIndex(std::string_view name) {
  auto it = std::find(kBuiltinTiles.begin(), kBuiltinTiles.end(), name);
  return it == kBuiltinTiles.end() ? 0 : static_cast<int>(it - kBuiltinTiles.begin());
}

// Air and every item number read as non-positive when taken as a signed 16-bit value.
bool namesAnItemOrAir(std::uint16_t number) { return static_cast<std::int16_t>(number) <= 0; }

const BlockDef& fallbackBlock() {
  static const BlockDef air = [] {
    BlockDef def;
    def.id = "zorvander:air";
    def.name = "air";
    return def;
  }();
  return air;
}

const ItemDef& fallbackItem() {
  static const ItemDef item;
  return item;
}

BlockDef toDefinition(const BuiltinBlock& row) {
  BlockDef def;
  def.id = std::string(kNamespace) + row.name;
  def.name = row.name;
  def.solid = row.solid;
  def.opaque = row.opaque;
  def.cutout = row.cutout;
  def.fluid = row.fluid;
  def.texTop = row.top;
  def.texSide = row.side;
  def.texBottom = row.bottom;
  def.hardness = row.hardness;
  def.toolClass = row.toolClass;
  def.requiresTool = row.requiresTool;
  def.minTier = row.minTier;
  def.lightEmission = row.emission;
  def.lightOpacity = row.opaque ? row.opacity : 0;
  return def;
}

ItemDef materialItem(const char* name) {
  ItemDef item;
  item.id = std::string(kNamespace) + name;
  item.name = name;
  item.tex = builtinTileIndex(name);
  return item;
}

ItemDef toolItem(const ToolMaterial& material, const ToolKind& kind) {
  ItemDef item;
  item.name = std::string(material.nameWord) + "_" + kind.nameWord;
  item.id = std::string(kNamespace) + item.name;
  item.tex = builtinTileIndex(std::string(kind.textureWord) + "_" + material.textureWord);
  item.maxStack = 1;
  item.toolClass = kind.toolClass;
  item.tier = material.tier;
  item.durability = material.durability;
  item.speed = material.speed;
  item.damage = kind.toolClass == ToolSword ? material.swordDamage : material.toolDamage;
  return item;
}

}  // namespace

BlockRegistry::BlockRegistry() {
  for (const char* tile : kBuiltinTiles) addTile(tile);
  for (const BuiltinBlock& row : kBuiltinBlocks) {
    BlockId id = registerBlock(toDefinition(row));
    if (row.drop != kDropsItself) setDrop(id, row.drop);
  }
}

const BlockDef& BlockRegistry::get(BlockId id) const {
  return id < blocks_.size() ? blocks_[id] : fallbackBlock();
}

BlockId BlockRegistry::find(std::string_view name) const {
  const std::string query = lowerAscii(name);
  const std::string_view local = afterColon(query);
  for (std::size_t i = 0; i < blocks_.size(); ++i)
    if (blocks_[i].id == query) return static_cast<BlockId>(i);
  for (std::size_t i = 0; i < blocks_.size(); ++i)
    if (blocks_[i].name == query) return static_cast<BlockId>(i);
  for (std::size_t i = 0; i < blocks_.size(); ++i) {
    const std::string& id = blocks_[i].id;
    if (id.find(':') != std::string::npos && afterColon(id) == local) return static_cast<BlockId>(i);
  }
  return kNoBlock;
}

BlockId BlockRegistry::registerBlock(BlockDef def) {
  if (blocks_.size() >= kBlockCapacity) return kNoBlock;
  const auto id = static_cast<BlockId>(blocks_.size());
  def.drop = id;
  blocks_.push_back(std::move(def));
  return id;
}

void BlockRegistry::truncate(std::size_t blockCount, int tileCount) {
  blocks_.resize(std::min(blocks_.size(), std::max(blockCount, static_cast<std::size_t>(kBuiltinBlockCount))));
  const auto tiles = static_cast<std::size_t>(std::max(tileCount, kBuiltinTileCount));
  tiles_.names.resize(std::min(tiles_.names.size(), tiles));
  tiles_.sources.resize(std::min(tiles_.sources.size(), tiles));
}

void BlockRegistry::setDrop(BlockId id, std::uint16_t drop) {
  if (id < blocks_.size()) blocks_[id].drop = drop;
}

int BlockRegistry::addTile(std::string_view name) {
  std::string lowered = lowerAscii(name);
  int existing = findTile(lowered);
  if (existing >= 0) return existing;
  tiles_.names.push_back(std::move(lowered));
  tiles_.sources.emplace_back();
  return tileCount() - 1;
}

int BlockRegistry::findTile(std::string_view name) const {
  const std::string lowered = lowerAscii(name);
  auto it = std::find(tiles_.names.begin(), tiles_.names.end(), lowered);
  return it == tiles_.names.end() ? -1 : static_cast<int>(it - tiles_.names.begin());
}

void BlockRegistry::setTileSource(int index, std::string source) {
  if (index >= 0 && index < tileCount()) tiles_.sources[static_cast<std::size_t>(index)] = std::move(source);
}

ItemRegistry::ItemRegistry() {
  for (const char* name : kMaterialItems) items_.push_back(materialItem(name));
  for (const ToolMaterial& material : toolMaterials())
    for (const ToolKind& kind : kToolKinds) items_.push_back(toolItem(material, kind));
}

bool ItemRegistry::isItem(std::uint16_t number) const {
  return number >= kFirstItem && static_cast<std::size_t>(number - kFirstItem) < items_.size();
}

const ItemDef& ItemRegistry::getItem(std::uint16_t number) const {
  return isItem(number) ? items_[number - kFirstItem] : fallbackItem();
}

ItemId ItemRegistry::findItem(std::string_view name) const {
  const std::string query = lowerAscii(name);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    // The full id also matches, so "zorvander:coal" finds coal as well as "coal" does.
    const std::string_view id = items_[i].id;
    const std::string_view shortId = id.starts_with(kNamespace) ? id.substr(kNamespace.size()) : id;
    if (id == query || shortId == query || lowerAscii(items_[i].name) == query)
      return static_cast<ItemId>(kFirstItem + i);
  }
  return 0;
}

BlockRegistry& blockRegistry() {
  static BlockRegistry registry;
  return registry;
}

const ItemRegistry& itemRegistry() {
  static const ItemRegistry registry;
  return registry;
}

const std::vector<ToolMaterial>& toolMaterials() {
  static const std::vector<ToolMaterial> materials = {
      {blocks::Planks, "wooden", "wood", 59, 2.0f, 1, 4, 2},
      {blocks::Cobblestone, "stone", "stone", 131, 4.0f, 2, 5, 3},
      {kIronIngot, "iron", "iron", 250, 6.0f, 3, 6, 4},
      {kDiamond, "diamond", "diamond", 1561, 8.0f, 4, 7, 5},
  };
  return materials;
}

int textureOf(std::uint16_t number) {
  return namesAnItemOrAir(number) ? itemRegistry().getItem(number).tex : blockRegistry().get(number).texTop;
}

const std::string& nameOf(std::uint16_t number) {
  return namesAnItemOrAir(number) ? itemRegistry().getItem(number).name : blockRegistry().get(number).name;
}

bool canHarvest(const BlockDef& block, std::uint16_t held) {
  if (!block.requiresTool) return block.drop != 0;
  const ItemRegistry& items = itemRegistry();
  if (!items.isItem(held)) return false;
  const ItemDef& tool = items.getItem(held);
  return tool.toolClass == block.toolClass && tool.tier >= block.minTier;
}

float breakTime(const BlockDef& block, std::uint16_t held) {
  float seconds = block.hardness;
  if (seconds <= 0.0f) return 0.0f;
  const ItemRegistry& items = itemRegistry();
  bool harvestingTool = false;
  if (items.isItem(held)) {
    const ItemDef& tool = items.getItem(held);
    if (tool.toolClass != ToolNone && tool.toolClass == block.toolClass) {
      seconds /= tool.speed;
      harvestingTool = tool.tier >= block.minTier;
    }
  }
  if (block.requiresTool && !harvestingTool) seconds *= 3.0f;
  return std::max(seconds, 0.05f);
}

}  // namespace zorv
