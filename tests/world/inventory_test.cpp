#include "world/inventory.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "world/registry.h"

namespace zorv {
namespace {

std::uint16_t item(const char* name) { return itemRegistry().findItem(name); }

Inventory filledWith(std::uint16_t id, std::int32_t countPerSlot) {
  Inventory inventory;
  for (ItemStack& slot : inventory.slots) slot = {id, countPerSlot, 0};
  return inventory;
}

TEST(Inventory, AddsCountsConsumesAndRemoves) {
  Inventory inventory;
  inventory.slots[5] = {blocks::Sand, 3, 0};
  inventory.clear();
  EXPECT_TRUE(inventory.isEmpty());

  EXPECT_TRUE(inventory.add(blocks::Dirt, 70, 0));
  EXPECT_EQ(inventory.slots[0].id, blocks::Dirt);
  EXPECT_EQ(inventory.slots[0].count, 64);
  EXPECT_EQ(inventory.slots[1].count, 6);
  EXPECT_EQ(inventory.countOf(blocks::Dirt), 70);
  EXPECT_EQ(inventory.roomFor(blocks::Dirt), 34 * 64 + 58);
  EXPECT_EQ(inventory.roomFor(blocks::Sand), 34 * 64);

  // Topping up fills the partial stack before a new slot is used.
  EXPECT_TRUE(inventory.add(blocks::Dirt, 60, 0));
  EXPECT_EQ(inventory.slots[1].count, 64);
  EXPECT_EQ(inventory.slots[2].count, 2);
  EXPECT_TRUE(inventory.remove(blocks::Dirt, 64));
  EXPECT_EQ(inventory.slots[0].id, kAir);  // emptied slots are cleared
  EXPECT_TRUE(inventory.add(blocks::Dirt, 1, 0));  // tops up slot 2, not the empty slot 0
  EXPECT_TRUE(inventory.slots[0].empty());
  EXPECT_EQ(inventory.slots[2].count, 3);
  EXPECT_TRUE(inventory.add(blocks::Dirt, 64, 0));
  EXPECT_EQ(inventory.slots[2].count, 64);
  EXPECT_EQ(inventory.slots[0].count, 3);

  inventory.clear();
  EXPECT_TRUE(inventory.add(blocks::Dirt, 70, 0));
  inventory.select(0);
  EXPECT_TRUE(inventory.consumeSelected(1));
  EXPECT_EQ(inventory.countOf(blocks::Dirt), 69);
  EXPECT_FALSE(inventory.consumeSelected(100));
  EXPECT_EQ(inventory.countOf(blocks::Dirt), 69);
  EXPECT_TRUE(inventory.consumeSelected(63));
  EXPECT_TRUE(inventory.slots[0].empty());
  EXPECT_FALSE(inventory.consumeSelected(1));  // nothing left in the selected slot

  EXPECT_FALSE(inventory.remove(blocks::Dirt, 7));
  EXPECT_EQ(inventory.countOf(blocks::Dirt), 6);
  EXPECT_TRUE(inventory.remove(blocks::Dirt, 6));
  EXPECT_TRUE(inventory.isEmpty());
  EXPECT_FALSE(inventory.remove(blocks::Dirt, 1));
  EXPECT_TRUE(inventory.remove(blocks::Dirt, 0));
  EXPECT_TRUE(inventory.add(0, 5, 0));
  EXPECT_TRUE(inventory.add(blocks::Dirt, 0, 0));
  EXPECT_TRUE(inventory.isEmpty());
}

TEST(Inventory, ToolsTakeOneSlotEachAndNeverStackWithWear) {
  Inventory inventory;
  const std::uint16_t pickaxe = item("wooden_pickaxe");
  EXPECT_TRUE(inventory.add(pickaxe, 1, 59));
  EXPECT_TRUE(inventory.add(pickaxe, 1, 59));
  EXPECT_EQ(inventory.slots[0].count, 1);
  EXPECT_EQ(inventory.slots[1].count, 1);
  EXPECT_EQ(inventory.slots[1].durability, 59);
  // A stack without wear does not join a worn tool either.
  EXPECT_TRUE(inventory.add(pickaxe, 1, 0));
  EXPECT_EQ(inventory.slots[0].count, 1);
  EXPECT_EQ(inventory.slots[2].count, 1);
  EXPECT_EQ(inventory.slots[2].durability, 0);
  // Three worn tools need three free slots.
  EXPECT_TRUE(inventory.add(pickaxe, 3, 40));
  EXPECT_EQ(inventory.slots[5].durability, 40);
  EXPECT_EQ(inventory.countOf(pickaxe), 6);
}

TEST(Inventory, FullOrNearlyFullInventoriesRefuseWhatDoesNotFit) {
  Inventory full = filledWith(blocks::Stone, 64);
  EXPECT_EQ(full.roomFor(blocks::Dirt), 0);
  EXPECT_FALSE(full.canAdd(blocks::Dirt, 1, 0));
  EXPECT_FALSE(full.add(blocks::Dirt, 1, 0));
  EXPECT_EQ(full.countOf(blocks::Dirt), 0);

  Inventory almost = filledWith(blocks::Stone, 64);
  almost.slots[7] = {blocks::Dirt, 60, 0};
  EXPECT_EQ(almost.roomFor(blocks::Dirt), 4);
  EXPECT_TRUE(almost.canAdd(blocks::Dirt, 4, 0));
  EXPECT_FALSE(almost.canAdd(blocks::Dirt, 5, 0));
  // Adding more than fits places what it can and reports the shortfall.
  EXPECT_FALSE(almost.add(blocks::Dirt, 5, 0));
  EXPECT_EQ(almost.slots[7].count, 64);

  // Room counts 64 per empty slot, but a worn tool takes a whole slot per item.
  Inventory oneFree = filledWith(blocks::Stone, 64);
  oneFree.slots[35] = {};
  const std::uint16_t sword = item("iron_sword");
  EXPECT_EQ(oneFree.roomFor(sword), 64);
  EXPECT_TRUE(oneFree.canAdd(sword, 1, 250));
  EXPECT_FALSE(oneFree.canAdd(sword, 2, 250));
  EXPECT_TRUE(oneFree.canAdd(sword, 2, 0));
}

TEST(Inventory, SelectionStaysOnTheHotbar) {
  Inventory inventory;
  inventory.select(4);
  EXPECT_EQ(inventory.selected, 4);
  inventory.select(12);
  EXPECT_EQ(inventory.selected, 8);
  inventory.select(-3);
  EXPECT_EQ(inventory.selected, 0);
}

// Recipes written out as rows of cell names: "." is empty.
struct Pattern {
  std::vector<std::string> rows;
  std::uint16_t result;
  std::int32_t count;
};

std::vector<Pattern> allRecipePatterns() {
  std::vector<Pattern> patterns = {
      {{"W"}, blocks::Planks, 4},
      {{"P", "P"}, item("stick"), 4},
      {{"C", "S"}, blocks::Torch, 4},
      {{"PP", "PP"}, blocks::CraftingTable, 1},
  };
  for (const char* material : {"wooden", "stone", "iron", "diamond"}) {
    const std::string prefix = std::string(material) + "_";
    const std::string m = material;
    patterns.push_back({{"MMM", ".S.", ".S."}, item((prefix + "pickaxe").c_str()), 1});
    patterns.push_back({{"MM", "MS", ".S"}, item((prefix + "axe").c_str()), 1});
    patterns.push_back({{"M", "S", "S"}, item((prefix + "shovel").c_str()), 1});
    patterns.push_back({{"M", "M", "S"}, item((prefix + "sword").c_str()), 1});
  }
  return patterns;
}

std::uint16_t ingredient(char name, std::size_t materialIndex) {
  static const std::map<char, std::uint16_t> fixed = {
      {'W', blocks::Wood}, {'P', blocks::Planks}, {'C', item("coal")}, {'S', item("stick")}};
  if (name == '.') return 0;
  if (name != 'M') return fixed.at(name);
  const std::uint16_t materials[] = {blocks::Planks, blocks::Cobblestone, item("iron_ingot"), item("diamond")};
  return materials[materialIndex];
}

// The grid with the pattern's top-left corner at (row, column).
std::array<std::uint16_t, 9> placed(const Pattern& pattern, std::size_t materialIndex, int row, int column) {
  std::array<std::uint16_t, 9> grid{};
  for (std::size_t r = 0; r < pattern.rows.size(); ++r) {
    for (std::size_t c = 0; c < pattern.rows[r].size(); ++c) {
      grid[(static_cast<std::size_t>(row) + r) * 3 + static_cast<std::size_t>(column) + c] =
          ingredient(pattern.rows[r][c], materialIndex);
    }
  }
  return grid;
}

TEST(Crafting, EveryRecipeMatchesInEveryPositionOfTheGrid) {
  const std::vector<Pattern> patterns = allRecipePatterns();
  ASSERT_EQ(recipes().size(), 20u);
  ASSERT_EQ(patterns.size(), 20u);
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    const Pattern& pattern = patterns[i];
    ASSERT_NE(pattern.result, 0);
    const std::size_t material = i < 4 ? 0 : (i - 4) / 4;
    const int height = static_cast<int>(pattern.rows.size());
    const int width = static_cast<int>(pattern.rows[0].size());
    int positions = 0;
    for (int row = 0; row + height <= 3; ++row) {
      for (int column = 0; column + width <= 3; ++column) {
        const std::optional<Recipe> match = matchRecipe(placed(pattern, material, row, column));
        ASSERT_TRUE(match.has_value()) << "recipe " << i << " at " << row << "," << column;
        EXPECT_EQ(match->result, pattern.result) << "recipe " << i;
        EXPECT_EQ(match->count, pattern.count) << "recipe " << i;
        ++positions;
      }
    }
    EXPECT_EQ(positions, (4 - height) * (4 - width));
  }
}

TEST(Crafting, WrongOrMisplacedIngredientsMatchNothing) {
  std::array<std::uint16_t, 9> grid{};
  EXPECT_FALSE(matchRecipe(grid).has_value());

  grid[8] = blocks::Wood;  // bottom-right corner alone: planks
  ASSERT_TRUE(matchRecipe(grid).has_value());
  EXPECT_EQ(matchRecipe(grid)->result, blocks::Planks);
  grid[0] = item("stick");
  EXPECT_FALSE(matchRecipe(grid).has_value());

  // Planks side by side are not a stick recipe; planks in a diagonal are nothing.
  grid = {};
  grid[3] = grid[4] = blocks::Planks;
  EXPECT_FALSE(matchRecipe(grid).has_value());
  grid = {};
  grid[0] = grid[4] = blocks::Planks;
  EXPECT_FALSE(matchRecipe(grid).has_value());

  // The mirror image of the axe is not an axe.
  const std::uint16_t s = item("stick"), p = blocks::Planks;
  grid = {p, p, 0, s, p, 0, s, 0, 0};
  EXPECT_FALSE(matchRecipe(grid).has_value());

  // A pickaxe in stone; in mixed materials it is nothing.
  const std::uint16_t c = blocks::Cobblestone;
  grid = {c, c, c, 0, s, 0, 0, s, 0};
  EXPECT_EQ(matchRecipe(grid)->result, item("stone_pickaxe"));
  grid[1] = p;
  EXPECT_FALSE(matchRecipe(grid).has_value());

  // Empty stacks (count 0) count as empty cells.
  CraftingGrid stacks{};
  stacks[4] = {blocks::Wood, 1, 0};
  stacks[0] = {item("stick"), 0, 0};
  EXPECT_EQ(matchRecipe(stacks)->result, blocks::Planks);
}

TEST(Crafting, TakingTheResultHandlesEveryCursorCase) {
  CraftingGrid grid{};
  ItemStack cursor;
  EXPECT_FALSE(takeResult(grid, cursor));  // no recipe
  EXPECT_TRUE(cursor.empty());

  // Empty cursor: it becomes the result; every filled cell loses one item.
  grid[2] = {blocks::Wood, 2, 0};
  EXPECT_TRUE(takeResult(grid, cursor));
  EXPECT_EQ(cursor.id, blocks::Planks);
  EXPECT_EQ(cursor.count, 4);
  EXPECT_EQ(cursor.durability, 0);
  EXPECT_EQ(grid[2].count, 1);

  // Same item without wear: the counts add up; the emptied cell is cleared.
  EXPECT_TRUE(takeResult(grid, cursor));
  EXPECT_EQ(cursor.count, 8);
  EXPECT_EQ(grid[2].id, 0);
  EXPECT_EQ(grid[2].count, 0);

  // Over 64 on the cursor: nothing happens.
  grid[2] = {blocks::Wood, 5, 0};
  cursor = {blocks::Planks, 61, 0};
  EXPECT_FALSE(takeResult(grid, cursor));
  EXPECT_EQ(cursor.count, 61);
  EXPECT_EQ(grid[2].count, 5);
  cursor.count = 60;
  EXPECT_TRUE(takeResult(grid, cursor));
  EXPECT_EQ(cursor.count, 64);

  // A different item on the cursor: nothing happens.
  cursor = {blocks::Dirt, 1, 0};
  EXPECT_FALSE(takeResult(grid, cursor));
  EXPECT_EQ(cursor.id, blocks::Dirt);
  EXPECT_EQ(grid[2].count, 4);

  // A cursor stack with count 0 is empty.
  cursor = {blocks::Dirt, 0, 0};
  EXPECT_TRUE(takeResult(grid, cursor));
  EXPECT_EQ(cursor.id, blocks::Planks);
  EXPECT_EQ(cursor.count, 4);

  // Tools come with their durability and never stack onto a tool of the same kind.
  const std::uint16_t s = item("stick"), p = blocks::Planks;
  const std::array<std::uint16_t, 9> shape = {p, p, p, 0, s, 0, 0, s, 0};
  grid = {};
  for (std::size_t i = 0; i < 9; ++i) {
    if (shape[i] != 0) grid[i] = {shape[i], 2, 0};
  }
  cursor = {};
  EXPECT_TRUE(takeResult(grid, cursor));
  EXPECT_EQ(cursor.id, item("wooden_pickaxe"));
  EXPECT_EQ(cursor.count, 1);
  EXPECT_EQ(cursor.durability, 59);
  EXPECT_FALSE(takeResult(grid, cursor));
  EXPECT_EQ(cursor.count, 1);
  EXPECT_EQ(grid[0].count, 1);
  // Not even onto one whose durability reads 0.
  cursor.durability = 0;
  EXPECT_FALSE(takeResult(grid, cursor));
}

}  // namespace
}  // namespace zorv
