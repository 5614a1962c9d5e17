#include <gtest/gtest.h>

#include "ui/inventory_screen.h"
#include "world/registry.h"

namespace zorv {
namespace {

std::uint16_t item(const char* name) { return itemRegistry().findItem(name); }

void expectStack(const ItemStack& stack, std::uint16_t id, std::int32_t count, std::int32_t durability) {
  EXPECT_EQ(stack.id, id);
  EXPECT_EQ(stack.count, count);
  EXPECT_EQ(stack.durability, durability);
}

TEST(InventoryClick, PilesSwapsPlacesAndPicksUp) {
  // 40 stone onto 30 stone: the slot fills to 64, the hand keeps the 6 that did not fit.
  ItemStack held{blocks::Stone, 40, 0};
  ItemStack slot{blocks::Stone, 30, 0};
  clickStack(held, slot);
  expectStack(slot, blocks::Stone, 64, 0);
  expectStack(held, blocks::Stone, 6, 0);

  // The rest of the hand goes onto a slot with room and the hand empties.
  ItemStack other{blocks::Stone, 10, 0};
  clickStack(held, other);
  expectStack(other, blocks::Stone, 16, 0);
  expectStack(held, 0, 0, 0);

  // Different blocks swap.
  held = {blocks::Dirt, 5, 0};
  slot = {blocks::Sand, 7, 0};
  clickStack(held, slot);
  expectStack(held, blocks::Sand, 7, 0);
  expectStack(slot, blocks::Dirt, 5, 0);

  // Empty hand picks the slot up; the hand puts it down on an empty slot.
  held = {};
  clickStack(held, slot);
  expectStack(held, blocks::Dirt, 5, 0);
  expectStack(slot, 0, 0, 0);
  clickStack(held, slot);
  expectStack(slot, blocks::Dirt, 5, 0);
  expectStack(held, 0, 0, 0);

  // Empty hand on an empty slot changes nothing; a stack of count 0 counts as nothing.
  ItemStack empty{};
  clickStack(held, empty);
  expectStack(held, 0, 0, 0);
  expectStack(empty, 0, 0, 0);
  ItemStack countless{blocks::Stone, 0, 0};
  ItemStack full{blocks::Bricks, 3, 0};
  clickStack(countless, full);
  expectStack(countless, blocks::Bricks, 3, 0);
  expectStack(full, 0, 0, 0);

  // A slot already beyond the cap takes nothing and gives nothing back.
  held = {blocks::Stone, 5, 0};
  ItemStack overfull{blocks::Stone, 70, 0};
  clickStack(held, overfull);
  expectStack(held, blocks::Stone, 5, 0);
  expectStack(overfull, blocks::Stone, 70, 0);
}

TEST(InventoryClick, ToolsSwapByWearAndMergeWhenEqual) {
  const std::uint16_t pickaxe = item("wooden_pickaxe");
  ItemStack held{pickaxe, 1, 10};
  ItemStack slot{pickaxe, 1, 20};
  clickStack(held, slot);
  expectStack(held, pickaxe, 1, 20);
  expectStack(slot, pickaxe, 1, 10);

  // Unused tools of one kind merge: the click cap of 64 applies, not the tool's limit of 1.
  held = {pickaxe, 1, 59};
  slot = {pickaxe, 1, 59};
  clickStack(held, slot);
  expectStack(slot, pickaxe, 2, 59);
  expectStack(held, 0, 0, 0);
}

TEST(InventoryClick, CraftedResultOnlyJoinsAMatchingHand) {
  const std::uint16_t stick = item("stick");
  ASSERT_EQ(stick, 0x8000);
  CraftingGrid grid{};
  grid[0] = {blocks::Planks, 2, 0};
  grid[3] = {blocks::Planks, 1, 0};

  // 62 sticks + 4 would pass 64: nothing happens, the planks stay.
  ItemStack held{stick, 62, 0};
  EXPECT_FALSE(takeResult(grid, held));
  expectStack(held, stick, 62, 0);
  expectStack(grid[0], blocks::Planks, 2, 0);
  expectStack(grid[3], blocks::Planks, 1, 0);

  // 60 + 4 = 64: taken, one plank used from each filled cell, the emptied cell cleared.
  held = {stick, 60, 0};
  EXPECT_TRUE(takeResult(grid, held));
  expectStack(held, stick, 64, 0);
  expectStack(grid[0], blocks::Planks, 1, 0);
  expectStack(grid[3], 0, 0, 0);

  // A crafted tool never joins a hand that holds anything, even the same fresh tool.
  const std::uint16_t shovel = item("wooden_shovel");
  CraftingGrid tool{};
  tool[1] = {blocks::Planks, 1, 0};
  tool[4] = {stick, 1, 0};
  tool[7] = {stick, 1, 0};
  ItemStack sameTool{shovel, 1, 0};
  EXPECT_FALSE(takeResult(tool, sameTool));
  expectStack(sameTool, shovel, 1, 0);
  ItemStack empty{};
  EXPECT_TRUE(takeResult(tool, empty));
  expectStack(empty, shovel, 1, 59);
}

TEST(InventoryClick, CellsOutsideTheSmallGridStillCount) {
  EXPECT_EQ(craftingGridSize(3), 3);
  EXPECT_EQ(craftingGridSize(2), 2);
  EXPECT_EQ(craftingGridSize(0), 2);

  // Planks left in cells 2 and 5 (hidden by the 2 × 2 grid) still make sticks.
  CraftingGrid grid{};
  grid[2] = {blocks::Planks, 1, 0};
  grid[5] = {blocks::Planks, 1, 0};
  ItemStack held{};
  EXPECT_TRUE(takeResult(grid, held));
  expectStack(held, 0x8000, 4, 0);
  expectStack(grid[2], 0, 0, 0);
  expectStack(grid[5], 0, 0, 0);

  // A coal left in cell 8 spoils the sticks pattern in cells 0 and 3.
  for (int hidden : {6, 7, 8}) {
    CraftingGrid spoiled{};
    spoiled[0] = {blocks::Planks, 1, 0};
    spoiled[3] = {blocks::Planks, 1, 0};
    spoiled[static_cast<std::size_t>(hidden)] = {item("coal"), 1, 0};
    ItemStack hand{};
    EXPECT_FALSE(takeResult(spoiled, hand)) << hidden;
    EXPECT_TRUE(hand.empty());
  }
}

TEST(InventoryDurabilityBar, FractionAndColourOfWornTools) {
  const std::uint16_t pickaxe = item("wooden_pickaxe");  // 59 uses
  // 30 of 59: r = trunc(220 × 30 / 59) = 111, g = 220 − 111 / 2 = 165.
  const auto half = durabilityBar(ItemStack{pickaxe, 1, 30});
  ASSERT_TRUE(half.has_value());
  EXPECT_FLOAT_EQ(half->fraction, 30.0f / 59.0f);
  EXPECT_EQ(half->colour, IM_COL32(111, 165, 40, 230));

  // Durability 0 (a fresh tool), blocks and materials without a maximum show no bar.
  EXPECT_FALSE(durabilityBar(ItemStack{pickaxe, 1, 0}).has_value());
  EXPECT_FALSE(durabilityBar(ItemStack{blocks::Stone, 1, 5}).has_value());
  EXPECT_FALSE(durabilityBar(ItemStack{item("stick"), 1, 5}).has_value());

  // A value beyond the maximum stays inside the slot: full bar, r = 220, g = 110.
  const auto over = durabilityBar(ItemStack{pickaxe, 1, 100});
  ASSERT_TRUE(over.has_value());
  EXPECT_FLOAT_EQ(over->fraction, 1.0f);
  EXPECT_EQ(over->colour, IM_COL32(220, 110, 40, 230));
}

}  // namespace
}  // namespace zorv
