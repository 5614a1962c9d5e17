#include "world/registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tile_table.h"

namespace zorv {
namespace {

using testing::tileName;
using testing::tileSource;

constexpr ItemId kStick = 0x8000, kCoal = 0x8001, kIronIngot = 0x8002, kDiamond = 0x8003;
constexpr ItemId kWoodenPickaxe = 0x8004, kWoodenAxe = 0x8005, kStonePickaxe = 0x8008, kIronPickaxe = 0x800C,
                 kDiamondSword = 0x8013;

const BlockDef& block(BlockId id) { return blockRegistry().get(id); }

TEST(BlockRegistry, BuiltinTilesAreInFixedOrder) {
  // Mob skins, hearts and item icons address this table by position, so every index is fixed.
  const char* expected[kBuiltinTileCount] = {
      "grass_top", "grass_side", "dirt", "stone", "sand", "wood_side", "wood_top", "leaves", "snow",
      "slime_body", "slime_face", "pig_body", "pig_face", "water", "lava", "heart_full", "heart_empty",
      "planks", "cobblestone", "bricks", "bookshelf", "gravel", "villager_face", "villager_coat",
      "villager_skin", "player_face", "player_shirt", "player_pants", "coal_ore", "iron_ore",
      "diamond_ore", "table_top", "table_side", "stick", "coal", "iron_ingot", "diamond", "pick_wood",
      "pick_stone", "pick_iron", "pick_diamond", "axe_wood", "axe_stone", "axe_iron", "axe_diamond",
      "shovel_wood", "shovel_stone", "shovel_iron", "shovel_diamond", "sword_wood", "sword_stone",
      "sword_iron", "sword_diamond", "torch", "zombie_skin", "zombie_face", "zombie_shirt", "bedrock"};
  const BlockRegistry& registry = blockRegistry();
  ASSERT_EQ(registry.tileCount(), kBuiltinTileCount);
  for (int i = 0; i < kBuiltinTileCount; ++i) {
    EXPECT_EQ(tileName(registry, i), expected[i]) << "tile " << i;
    EXPECT_EQ(tileSource(registry, i), "") << "tile " << i;
  }
  EXPECT_EQ(registry.findTile("ZOMBIE_FACE"), 55);
  EXPECT_EQ(registry.findTile("no_such_tile"), -1);
  EXPECT_EQ(tileName(registry, -1), "");
  EXPECT_EQ(tileName(registry, registry.tileCount()), "");
  EXPECT_EQ(tileSource(registry, -1), "");
}

struct ExpectedBlock {
  BlockId id;
  const char* name;
  bool solid, opaque, cutout, fluid;
  int top, side, bottom;
  float hardness;
  std::uint8_t toolClass;
  bool requiresTool;
  int minTier, emission, opacity;
  std::uint16_t drop;
};

// Every field of every built-in block: terrain, light and meshing read these flags directly.
TEST(BlockRegistry, BuiltinBlocksMatchTheirTable) {
  const ExpectedBlock expected[kBuiltinBlockCount] = {
      {0, "air", 0, 0, 0, 0, 0, 0, 0, 0.0f, ToolNone, 0, 0, 0, 0, 0},
      {1, "grass", 1, 1, 0, 0, 0, 1, 2, 0.4f, ToolShovel, 0, 0, 0, 15, 2},
      {2, "dirt", 1, 1, 0, 0, 2, 2, 2, 0.4f, ToolShovel, 0, 0, 0, 15, 2},
      {3, "stone", 1, 1, 0, 0, 3, 3, 3, 1.4f, ToolPickaxe, 1, 1, 0, 15, 11},
      {4, "sand", 1, 1, 0, 0, 4, 4, 4, 0.35f, ToolShovel, 0, 0, 0, 15, 4},
      {5, "wood", 1, 1, 0, 0, 6, 5, 6, 1.2f, ToolAxe, 0, 0, 0, 15, 5},
      {6, "leaves", 1, 1, 1, 0, 7, 7, 7, 0.2f, ToolNone, 0, 0, 0, 15, 6},
      {7, "snow", 1, 1, 0, 0, 8, 8, 8, 0.3f, ToolShovel, 0, 0, 0, 15, 7},
      {8, "water", 0, 0, 0, 1, 13, 13, 13, 0.0f, ToolNone, 0, 0, 0, 0, 8},
      {9, "lava", 0, 1, 0, 1, 14, 14, 14, 0.0f, ToolNone, 0, 0, 15, 15, 9},
      {10, "planks", 1, 1, 0, 0, 17, 17, 17, 0.8f, ToolAxe, 0, 0, 0, 15, 10},
      {11, "cobblestone", 1, 1, 0, 0, 18, 18, 18, 1.5f, ToolPickaxe, 1, 1, 0, 15, 11},
      {12, "bricks", 1, 1, 0, 0, 19, 19, 19, 1.6f, ToolPickaxe, 1, 1, 0, 15, 12},
      {13, "bookshelf", 1, 1, 0, 0, 17, 20, 17, 0.9f, ToolAxe, 0, 0, 0, 15, 13},
      {14, "gravel", 1, 1, 0, 0, 21, 21, 21, 0.5f, ToolShovel, 0, 0, 0, 15, 14},
      {15, "coal_ore", 1, 1, 0, 0, 28, 28, 28, 2.2f, ToolPickaxe, 1, 1, 0, 15, 0x8001},
      {16, "iron_ore", 1, 1, 0, 0, 29, 29, 29, 2.4f, ToolPickaxe, 1, 2, 0, 15, 0x8002},
      {17, "diamond_ore", 1, 1, 0, 0, 30, 30, 30, 2.6f, ToolPickaxe, 1, 3, 0, 15, 0x8003},
      {18, "crafting_table", 1, 1, 0, 0, 31, 32, 17, 1.0f, ToolAxe, 0, 0, 0, 15, 18},
      {19, "torch", 0, 0, 1, 0, 53, 53, 53, 0.05f, ToolNone, 0, 0, 14, 0, 19},
      {20, "bedrock", 1, 1, 0, 0, 57, 57, 57, 0.0f, ToolNone, 0, 0, 0, 15, 20},
  };
  ASSERT_EQ(blockRegistry().count(), static_cast<std::size_t>(kBuiltinBlockCount));
  for (const ExpectedBlock& want : expected) {
    const BlockDef& got = block(want.id);
    SCOPED_TRACE(want.name);
    EXPECT_EQ(got.id, std::string("zorvander:") + want.name);
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.solid, want.solid);
    EXPECT_EQ(got.opaque, want.opaque);
    EXPECT_EQ(got.cutout, want.cutout);
    EXPECT_EQ(got.fluid, want.fluid);
    EXPECT_EQ(got.texTop, want.top);
    EXPECT_EQ(got.texSide, want.side);
    EXPECT_EQ(got.texBottom, want.bottom);
    EXPECT_FLOAT_EQ(got.hardness, want.hardness);
    EXPECT_EQ(int{got.toolClass}, int{want.toolClass});
    EXPECT_EQ(got.requiresTool, want.requiresTool);
    EXPECT_EQ(int{got.minTier}, int{want.minTier});
    EXPECT_EQ(int{got.lightEmission}, int{want.emission});
    EXPECT_EQ(int{got.lightOpacity}, int{want.opacity});
    EXPECT_EQ(got.drop, want.drop);
  }
}

TEST(BlockRegistry, UnknownIdsGiveFallbackAir) {
  for (BlockId id : {BlockId{kBuiltinBlockCount}, BlockId{0x7FFF}, kFirstItem, kNoBlock}) {
    const BlockDef& def = block(id);
    EXPECT_EQ(def.id, "zorvander:air");
    EXPECT_EQ(def.name, "air");
    EXPECT_FALSE(def.solid || def.opaque || def.cutout || def.fluid || def.requiresTool);
    EXPECT_EQ(def.texTop, 0);
    EXPECT_EQ(def.texSide, 0);
    EXPECT_EQ(def.texBottom, 0);
    EXPECT_FLOAT_EQ(def.hardness, 0.0f);
    EXPECT_EQ(def.drop, 0);
    EXPECT_EQ(def.toolClass, ToolNone);
    EXPECT_EQ(def.minTier, 0);
    EXPECT_EQ(def.lightEmission, 0);
    EXPECT_EQ(def.lightOpacity, 15);  // unlike registered air, which lets light through
  }
}

TEST(BlockRegistry, FindMatchesIdThenNameThenLocalPart) {
  const BlockRegistry& registry = blockRegistry();
  EXPECT_EQ(registry.find("stone"), blocks::Stone);
  EXPECT_EQ(registry.find("STONE"), blocks::Stone);
  EXPECT_EQ(registry.find("zorvander:stone"), blocks::Stone);
  EXPECT_EQ(registry.find("othermod:stone"), blocks::Stone);
  EXPECT_EQ(registry.find("Crafting_Table"), blocks::CraftingTable);
  EXPECT_EQ(registry.find("obsidian"), kNoBlock);
  EXPECT_EQ(registry.find(""), kNoBlock);
  EXPECT_EQ(registry.find("wooden_pickaxe"), kNoBlock);

  BlockRegistry local;
  BlockDef gem;
  gem.id = "test:gem";
  gem.name = "Shiny Gem";
  BlockId gemId = local.registerBlock(gem);
  BlockDef shadow;  // display name collides with a built-in's local part
  shadow.id = "test:shadow";
  shadow.name = "dirt";
  local.registerBlock(shadow);
  EXPECT_EQ(gemId, kBuiltinBlockCount);
  EXPECT_EQ(local.get(gemId).drop, gemId);
  EXPECT_EQ(local.find("test:gem"), gemId);
  EXPECT_EQ(local.find("gem"), gemId);
  EXPECT_EQ(local.find("any:gem"), gemId);
  EXPECT_EQ(local.find("Shiny Gem"), kNoBlock);  // stored names are compared unchanged
  EXPECT_EQ(local.find("dirt"), blocks::Dirt);
}

TEST(BlockRegistry, FindPrefersIdOverNameOverLocalPart) {
  BlockRegistry local;
  BlockDef def;
  def.id = "early:ruby";  // local part "ruby", registered first
  def.name = "early";
  const BlockId early = local.registerBlock(def);
  def.id = "late:crystal";  // its name equals the local part above
  def.name = "ruby";
  const BlockId late = local.registerBlock(def);
  def.id = "other:z";
  def.name = "x:y";  // a name spelled like the full id registered after it
  local.registerBlock(def);
  def.id = "x:y";
  def.name = "named";
  const BlockId exact = local.registerBlock(def);

  EXPECT_EQ(local.find("ruby"), late);  // a name beats an earlier local-part match
  EXPECT_EQ(local.find("early:ruby"), early);
  EXPECT_EQ(local.find("any:ruby"), early);  // no id or name is "any:ruby", so the local part decides
  EXPECT_EQ(local.find("x:y"), exact);
  EXPECT_EQ(local.find("crystal"), late);
}

TEST(BlockRegistry, RegistrationStopsBelowTheItemRange) {
  BlockRegistry local;
  BlockDef def;
  def.id = "test:filler";
  def.name = "filler";
  BlockId last = kNoBlock;
  while (local.count() < kFirstItem) last = local.registerBlock(def);
  EXPECT_EQ(last, kFirstItem - 1);
  EXPECT_EQ(local.registerBlock(def), kNoBlock);
  EXPECT_EQ(local.count(), static_cast<std::size_t>(kFirstItem));
  EXPECT_EQ(blockRegistry().count(), static_cast<std::size_t>(kBuiltinBlockCount));
}

TEST(BlockRegistry, SetDropIgnoresUnknownIds) {
  BlockRegistry local;
  local.setDrop(blocks::Sand, kDiamond);
  local.setDrop(BlockId{kBuiltinBlockCount}, kDiamond);
  EXPECT_EQ(local.get(blocks::Sand).drop, kDiamond);
  EXPECT_EQ(local.count(), static_cast<std::size_t>(kBuiltinBlockCount));
  EXPECT_EQ(local.get(BlockId{kBuiltinBlockCount}).drop, 0);
}

TEST(BlockRegistry, TilesAreCaseInsensitiveAndCarrySources) {
  BlockRegistry local;
  EXPECT_EQ(local.addTile("Stone"), 3);
  int ruby = local.addTile("Mod_Ruby");
  EXPECT_EQ(ruby, kBuiltinTileCount);
  EXPECT_EQ(local.addTile("MOD_RUBY"), ruby);
  EXPECT_EQ(tileName(local, ruby), "mod_ruby");
  EXPECT_EQ(local.findTile("mod_Ruby"), ruby);
  EXPECT_EQ(local.tileCount(), kBuiltinTileCount + 1);
  EXPECT_EQ(tileSource(local, ruby), "");
  local.setTileSource(ruby, "textures/ruby.png");
  local.setTileSource(ruby + 1, "ignored.png");
  EXPECT_EQ(tileSource(local, ruby), "textures/ruby.png");
  EXPECT_EQ(tileSource(local, ruby + 1), "");
  EXPECT_EQ(local.tiles().sources.size(), local.tiles().names.size());
}

struct ExpectedItem {
  ItemId id;
  const char* name;
  const char* tile;
  int maxStack, toolClass, tier, durability;
  float speed;
  int damage;
};

// Four materials, then the generated tools: wooden, stone, iron, diamond × pickaxe, axe, shovel, sword.
TEST(ItemRegistry, MaterialsAndGeneratedTools) {
  const ExpectedItem expected[kBuiltinItemCount] = {
      {0x8000, "stick", "stick", 64, 0, 0, 0, 1.0f, 1},
      {0x8001, "coal", "coal", 64, 0, 0, 0, 1.0f, 1},
      {0x8002, "iron_ingot", "iron_ingot", 64, 0, 0, 0, 1.0f, 1},
      {0x8003, "diamond", "diamond", 64, 0, 0, 0, 1.0f, 1},
      {0x8004, "wooden_pickaxe", "pick_wood", 1, 1, 1, 59, 2.0f, 2},
      {0x8005, "wooden_axe", "axe_wood", 1, 2, 1, 59, 2.0f, 2},
      {0x8006, "wooden_shovel", "shovel_wood", 1, 3, 1, 59, 2.0f, 2},
      {0x8007, "wooden_sword", "sword_wood", 1, 4, 1, 59, 2.0f, 4},
      {0x8008, "stone_pickaxe", "pick_stone", 1, 1, 2, 131, 4.0f, 3},
      {0x8009, "stone_axe", "axe_stone", 1, 2, 2, 131, 4.0f, 3},
      {0x800A, "stone_shovel", "shovel_stone", 1, 3, 2, 131, 4.0f, 3},
      {0x800B, "stone_sword", "sword_stone", 1, 4, 2, 131, 4.0f, 5},
      {0x800C, "iron_pickaxe", "pick_iron", 1, 1, 3, 250, 6.0f, 4},
      {0x800D, "iron_axe", "axe_iron", 1, 2, 3, 250, 6.0f, 4},
      {0x800E, "iron_shovel", "shovel_iron", 1, 3, 3, 250, 6.0f, 4},
      {0x800F, "iron_sword", "sword_iron", 1, 4, 3, 250, 6.0f, 6},
      {0x8010, "diamond_pickaxe", "pick_diamond", 1, 1, 4, 1561, 8.0f, 5},
      {0x8011, "diamond_axe", "axe_diamond", 1, 2, 4, 1561, 8.0f, 5},
      {0x8012, "diamond_shovel", "shovel_diamond", 1, 3, 4, 1561, 8.0f, 5},
      {0x8013, "diamond_sword", "sword_diamond", 1, 4, 4, 1561, 8.0f, 7},
  };
  const ItemRegistry& items = itemRegistry();
  ASSERT_EQ(items.count(), static_cast<std::size_t>(kBuiltinItemCount));
  for (const ExpectedItem& want : expected) {
    const ItemDef& got = items.getItem(want.id);
    SCOPED_TRACE(want.name);
    EXPECT_EQ(got.id, std::string("zorvander:") + want.name);
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(tileName(blockRegistry(), got.tex), want.tile);
    EXPECT_EQ(got.maxStack, want.maxStack);
    EXPECT_EQ(int{got.toolClass}, want.toolClass);
    EXPECT_EQ(int{got.tier}, want.tier);
    EXPECT_EQ(got.durability, want.durability);
    EXPECT_FLOAT_EQ(got.speed, want.speed);
    EXPECT_EQ(got.damage, want.damage);
  }
}

TEST(ItemRegistry, ToolMaterialTableFeedsRecipes) {
  const auto& materials = toolMaterials();
  ASSERT_EQ(materials.size(), 4u);
  EXPECT_EQ(materials[0].ingredient, blocks::Planks);
  EXPECT_EQ(materials[1].ingredient, blocks::Cobblestone);
  EXPECT_EQ(materials[2].ingredient, kIronIngot);
  EXPECT_EQ(materials[3].ingredient, kDiamond);
  EXPECT_EQ(std::string(materials[0].nameWord), "wooden");
  EXPECT_EQ(std::string(materials[0].textureWord), "wood");
  EXPECT_EQ(materials[3].durability, 1561);
}

TEST(ItemRegistry, MembershipAndFallback) {
  const ItemRegistry& items = itemRegistry();
  EXPECT_TRUE(items.isItem(kStick));
  EXPECT_TRUE(items.isItem(kDiamondSword));
  EXPECT_FALSE(items.isItem(kDiamondSword + 1));
  EXPECT_FALSE(items.isItem(kAir));
  EXPECT_FALSE(items.isItem(blocks::Stone));
  EXPECT_FALSE(items.isItem(kNoBlock));
  for (ItemId number : {ItemId{0}, ItemId{blocks::Stone}, ItemId{0x8014}, ItemId{0xFFFF}}) {
    const ItemDef& fallback = items.getItem(number);
    EXPECT_EQ(fallback.name, "");
    EXPECT_EQ(fallback.tex, 0);
    EXPECT_EQ(fallback.maxStack, 64);
    EXPECT_EQ(fallback.durability, 0);
    EXPECT_FLOAT_EQ(fallback.speed, 1.0f);
    EXPECT_EQ(fallback.damage, 1);
  }
}

TEST(ItemRegistry, FindItemIgnoresCaseAndOwnNamespace) {
  const ItemRegistry& items = itemRegistry();
  EXPECT_EQ(items.findItem("wooden_pickaxe"), kWoodenPickaxe);
  EXPECT_EQ(items.findItem("Wooden_Pickaxe"), kWoodenPickaxe);
  EXPECT_EQ(items.findItem("zorvander:coal"), kCoal);
  EXPECT_EQ(items.findItem("ZORVANDER:DIAMOND_SWORD"), kDiamondSword);
  EXPECT_EQ(items.findItem("stick"), kStick);
  EXPECT_EQ(items.findItem("planks"), 0);
  EXPECT_EQ(items.findItem("other:coal"), 0);
  EXPECT_EQ(items.findItem(""), 0);
}

TEST(Registry, TextureAndNameOfBlocksItemsAndAir) {
  EXPECT_EQ(textureOf(kWoodenPickaxe), 37);
  EXPECT_EQ(textureOf(blocks::Grass), 0);
  EXPECT_EQ(textureOf(blocks::CraftingTable), 31);
  EXPECT_EQ(textureOf(kAir), 0);
  EXPECT_EQ(textureOf(kNoBlock), 0);
  EXPECT_EQ(nameOf(kIronIngot), "iron_ingot");
  EXPECT_EQ(nameOf(blocks::CoalOre), "coal_ore");
  EXPECT_EQ(nameOf(kAir), "");  // air is named through the item side, which has no record for it
  EXPECT_EQ(nameOf(BlockId{kBuiltinBlockCount}), "air");
}

TEST(Registry, HarvestNeedsMatchingToolOfSufficientTier) {
  const BlockDef& stone = block(blocks::Stone);
  const BlockDef& ironOre = block(blocks::IronOre);
  const BlockDef& diamondOre = block(blocks::DiamondOre);
  EXPECT_FALSE(canHarvest(stone, kAir));
  EXPECT_TRUE(canHarvest(stone, kWoodenPickaxe));
  EXPECT_FALSE(canHarvest(stone, kWoodenAxe));
  EXPECT_FALSE(canHarvest(stone, blocks::Cobblestone));
  EXPECT_FALSE(canHarvest(ironOre, kWoodenPickaxe));
  EXPECT_TRUE(canHarvest(ironOre, kStonePickaxe));
  EXPECT_FALSE(canHarvest(diamondOre, kStonePickaxe));
  EXPECT_TRUE(canHarvest(diamondOre, kIronPickaxe));
  EXPECT_TRUE(canHarvest(block(blocks::Wood), kAir));
  EXPECT_TRUE(canHarvest(block(blocks::Dirt), kDiamondSword));
  EXPECT_FALSE(canHarvest(block(kAir), kAir));  // drops nothing
}

TEST(Registry, BreakTimeFollowsToolSpeedAndPenalty) {
  for (ItemId held : {kAir, kWoodenPickaxe, kIronPickaxe, kDiamondSword})
    EXPECT_FLOAT_EQ(breakTime(block(blocks::Bedrock), held), 0.0f);
  EXPECT_FLOAT_EQ(breakTime(block(blocks::Water), kAir), 0.0f);
  EXPECT_FLOAT_EQ(breakTime(block(kAir), kAir), 0.0f);

  const BlockDef& stone = block(blocks::Stone);
  EXPECT_FLOAT_EQ(breakTime(stone, kAir), 4.2f);
  EXPECT_FLOAT_EQ(breakTime(stone, kWoodenPickaxe), 0.7f);
  EXPECT_FLOAT_EQ(breakTime(stone, kDiamondSword), 4.2f);  // swords never match
  EXPECT_FLOAT_EQ(breakTime(block(blocks::IronOre), kWoodenPickaxe), 3.6f);
  EXPECT_FLOAT_EQ(breakTime(block(blocks::IronOre), kStonePickaxe), 0.6f);
  EXPECT_FLOAT_EQ(breakTime(block(blocks::Torch), kAir), 0.05f);
  EXPECT_FLOAT_EQ(breakTime(block(blocks::Leaves), kDiamondSword), 0.2f);

  const BlockDef& wood = block(blocks::Wood);
  EXPECT_FLOAT_EQ(breakTime(wood, kAir), 1.2f);
  EXPECT_FLOAT_EQ(breakTime(wood, kWoodenAxe), 0.6f);
  EXPECT_FLOAT_EQ(breakTime(wood, kWoodenPickaxe), 1.2f);  // wrong class, no penalty without requiresTool
  EXPECT_FLOAT_EQ(breakTime(block(blocks::Gravel), 0x8012), 0.5f / 8.0f);  // diamond shovel
  EXPECT_FLOAT_EQ(breakTime(block(blocks::Leaves), kStick), 0.2f);
  EXPECT_FLOAT_EQ(breakTime(block(blocks::Snow), 0x8012), 0.05f);  // 0.3 / 8 clamps to the minimum
}

}  // namespace
}  // namespace zorv
