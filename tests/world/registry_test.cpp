#include "world/registry.h"

#include <gtest/gtest.h>

#include <string>

namespace zorv {
namespace {

constexpr ItemId kStick = 0x8000, kCoal = 0x8001, kIronIngot = 0x8002, kDiamond = 0x8003;
constexpr ItemId kWoodenPickaxe = 0x8004, kWoodenAxe = 0x8005, kStonePickaxe = 0x8008,
                 kStoneSword = 0x800B, kIronPickaxe = 0x800C, kDiamondSword = 0x8013;

const BlockDef& block(BlockId id) { return blockRegistry().get(id); }

TEST(BlockRegistry, BuiltinTilesAreInFixedOrder) {
  const BlockRegistry& registry = blockRegistry();
  ASSERT_GE(registry.tileCount(), kBuiltinTileCount);
  EXPECT_EQ(registry.tileName(0), "grass_top");
  EXPECT_EQ(registry.tileName(17), "planks");
  EXPECT_EQ(registry.tileName(33), "stick");
  EXPECT_EQ(registry.tileName(37), "pick_wood");
  EXPECT_EQ(registry.tileName(52), "sword_diamond");
  EXPECT_EQ(registry.tileName(53), "torch");
  EXPECT_EQ(registry.tileName(57), "bedrock");
  EXPECT_EQ(registry.findTile("ZOMBIE_FACE"), 55);
  EXPECT_EQ(registry.findTile("no_such_tile"), -1);
  EXPECT_EQ(registry.tileName(-1), "");
  EXPECT_EQ(registry.tileName(registry.tileCount()), "");
  EXPECT_EQ(registry.tileSource(3), "");
}

TEST(BlockRegistry, BuiltinBlocksMatchTheirTable) {
  EXPECT_EQ(blockRegistry().count(), static_cast<std::size_t>(kBuiltinBlockCount));

  const BlockDef& stone = block(blocks::Stone);
  EXPECT_EQ(stone.id, "zorvander:stone");
  EXPECT_EQ(stone.name, "stone");
  EXPECT_TRUE(stone.solid && stone.opaque && stone.requiresTool);
  EXPECT_EQ(stone.toolClass, ToolPickaxe);
  EXPECT_EQ(stone.minTier, 1);
  EXPECT_FLOAT_EQ(stone.hardness, 1.4f);

  const BlockDef& lava = block(blocks::Lava);
  EXPECT_TRUE(lava.fluid && lava.opaque && !lava.solid);
  EXPECT_EQ(lava.lightEmission, 15);
  EXPECT_EQ(lava.lightOpacity, 15);

  const BlockDef& water = block(blocks::Water);
  EXPECT_TRUE(water.fluid && !water.opaque);
  EXPECT_EQ(water.lightOpacity, 0);
  EXPECT_EQ(water.texSide, 13);

  const BlockDef& torch = block(blocks::Torch);
  EXPECT_TRUE(torch.cutout && !torch.solid);
  EXPECT_EQ(torch.lightEmission, 14);
  EXPECT_EQ(torch.lightOpacity, 0);

  const BlockDef& table = block(blocks::CraftingTable);
  EXPECT_EQ(table.texTop, 31);
  EXPECT_EQ(table.texSide, 32);
  EXPECT_EQ(table.texBottom, 17);

  const BlockDef& wood = block(blocks::Wood);
  EXPECT_EQ(wood.texTop, 6);
  EXPECT_EQ(wood.texSide, 5);
  EXPECT_TRUE(block(blocks::Leaves).cutout);
  EXPECT_FLOAT_EQ(block(blocks::Sand).hardness, 0.35f);
  EXPECT_EQ(block(blocks::DiamondOre).minTier, 3);
  EXPECT_EQ(block(kAir).lightOpacity, 0);
  EXPECT_EQ(block(blocks::Bedrock).name, "bedrock");
}

TEST(BlockRegistry, DropsDefaultToSelfExceptListedOnes) {
  EXPECT_EQ(block(kAir).drop, kAir);
  EXPECT_EQ(block(blocks::Grass).drop, blocks::Dirt);
  EXPECT_EQ(block(blocks::Stone).drop, blocks::Cobblestone);
  EXPECT_EQ(block(blocks::CoalOre).drop, kCoal);
  EXPECT_EQ(block(blocks::IronOre).drop, kIronIngot);
  EXPECT_EQ(block(blocks::DiamondOre).drop, kDiamond);
  for (BlockId id : {blocks::Dirt, blocks::Sand, blocks::Water, blocks::Planks, blocks::Cobblestone,
                     blocks::CraftingTable, blocks::Torch, blocks::Bedrock})
    EXPECT_EQ(block(id).drop, id) << block(id).name;
}

TEST(BlockRegistry, UnknownIdsGiveFallbackAir) {
  for (BlockId id : {BlockId{kBuiltinBlockCount}, BlockId{0x7FFF}, kFirstItem, kNoBlock}) {
    const BlockDef& def = block(id);
    EXPECT_EQ(def.id, "zorvander:air");
    EXPECT_EQ(def.name, "air");
    EXPECT_FALSE(def.solid || def.opaque || def.fluid);
    EXPECT_FLOAT_EQ(def.hardness, 0.0f);
    EXPECT_EQ(def.drop, 0);
    EXPECT_EQ(def.lightOpacity, 15);
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
  EXPECT_EQ(local.tileName(ruby), "mod_ruby");
  EXPECT_EQ(local.findTile("mod_Ruby"), ruby);
  EXPECT_EQ(local.tileCount(), kBuiltinTileCount + 1);
  EXPECT_EQ(local.tileSource(ruby), "");
  local.setTileSource(ruby, "textures/ruby.png");
  local.setTileSource(ruby + 1, "ignored.png");
  EXPECT_EQ(local.tileSource(ruby), "textures/ruby.png");
  EXPECT_EQ(local.tileSource(ruby + 1), "");
  EXPECT_EQ(local.tiles().sources.size(), local.tiles().names.size());
}

TEST(ItemRegistry, MaterialsAndGeneratedTools) {
  const ItemRegistry& items = itemRegistry();
  ASSERT_EQ(items.count(), static_cast<std::size_t>(kBuiltinItemCount));

  const ItemDef& stick = items.getItem(kStick);
  EXPECT_EQ(stick.id, "zorvander:stick");
  EXPECT_EQ(stick.maxStack, 64);
  EXPECT_EQ(stick.toolClass, ToolNone);
  EXPECT_EQ(stick.durability, 0);
  EXPECT_FLOAT_EQ(stick.speed, 1.0f);
  EXPECT_EQ(stick.damage, 1);

  const ItemDef& pick = items.getItem(kWoodenPickaxe);
  EXPECT_EQ(pick.id, "zorvander:wooden_pickaxe");
  EXPECT_EQ(pick.maxStack, 1);
  EXPECT_EQ(pick.toolClass, ToolPickaxe);
  EXPECT_EQ(pick.tier, 1);
  EXPECT_EQ(pick.durability, 59);
  EXPECT_FLOAT_EQ(pick.speed, 2.0f);
  EXPECT_EQ(pick.damage, 2);

  const ItemDef& stoneSword = items.getItem(kStoneSword);
  EXPECT_EQ(stoneSword.name, "stone_sword");
  EXPECT_EQ(stoneSword.durability, 131);
  EXPECT_EQ(stoneSword.damage, 5);

  const ItemDef& ironPick = items.getItem(kIronPickaxe);
  EXPECT_EQ(ironPick.tier, 3);
  EXPECT_EQ(ironPick.durability, 250);
  EXPECT_EQ(ironPick.damage, 4);

  const ItemDef& diamondSword = items.getItem(kDiamondSword);
  EXPECT_EQ(diamondSword.name, "diamond_sword");
  EXPECT_EQ(diamondSword.toolClass, ToolSword);
  EXPECT_EQ(diamondSword.tier, 4);
  EXPECT_EQ(diamondSword.durability, 1561);
  EXPECT_FLOAT_EQ(diamondSword.speed, 8.0f);
  EXPECT_EQ(diamondSword.damage, 7);
}

TEST(ItemRegistry, EveryItemUsesItsOwnTile) {
  const char* expectedTiles[kBuiltinItemCount] = {
      "stick",        "coal",        "iron_ingot",     "diamond",
      "pick_wood",    "axe_wood",    "shovel_wood",    "sword_wood",
      "pick_stone",   "axe_stone",   "shovel_stone",   "sword_stone",
      "pick_iron",    "axe_iron",    "shovel_iron",    "sword_iron",
      "pick_diamond", "axe_diamond", "shovel_diamond", "sword_diamond"};
  for (int i = 0; i < kBuiltinItemCount; ++i) {
    const ItemDef& item = itemRegistry().getItem(static_cast<ItemId>(kFirstItem + i));
    EXPECT_EQ(blockRegistry().tileName(item.tex), expectedTiles[i]) << item.name;
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
