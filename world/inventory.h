#pragma once
// The player's 36-slot inventory, the crafting recipe table, the 3 × 3 grid matcher and
// the rule for taking a crafted result onto the cursor.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "world/types.h"

namespace zorv {

constexpr int kInventorySlots = 36;
constexpr int kHotbarSlots = 9;
constexpr std::int32_t kMaxStack = 64;

struct ItemStack {
  std::uint16_t id = 0;  // block or item number; 0 empty
  std::int32_t count = 0;
  std::int32_t durability = 0;  // remaining uses of a tool; 0 for everything else

  bool empty() const { return id == 0 || count < 1; }
};

struct Inventory {
  std::array<ItemStack, kInventorySlots> slots{};
  std::int32_t selected = 0;  // hotbar slot 0..8

  void clear();
  bool isEmpty() const;
  std::int32_t countOf(std::uint16_t id) const;
  // Places n items: tops up stacks of the same id (when durability is 0), then fills
  // empty slots. False when it ran out of slots; what was placed stays placed.
  bool add(std::uint16_t id, std::int32_t n, std::int32_t durability);
  // Items of `id` (without durability) that still fit.
  std::int32_t roomFor(std::uint16_t id) const;
  // Whether all n items of (id, durability) fit, so that `add` will succeed.
  bool canAdd(std::uint16_t id, std::int32_t n, std::int32_t durability) const;
  bool consumeSelected(std::int32_t n);
  bool remove(std::uint16_t id, std::int32_t n);
  void select(std::int32_t slot);
  const ItemStack& selectedStack() const { return slots[static_cast<std::size_t>(selected)]; }
};

struct Recipe {
  std::int32_t width = 1;
  std::int32_t height = 1;
  bool shapeless = false;
  std::array<std::uint16_t, 9> cells{};  // row-major, width × height used; 0 must be empty
  std::uint16_t result = 0;
  std::int32_t count = 1;
};

using CraftingGrid = std::array<ItemStack, 9>;  // row-major 3 × 3

// The 20 recipes in match order, built on first use.
const std::vector<Recipe>& recipes();
// The first recipe the grid's ids match; a pattern may sit anywhere in the grid.
std::optional<Recipe> matchRecipe(const std::array<std::uint16_t, 9>& grid);
std::optional<Recipe> matchRecipe(const CraftingGrid& grid);
// A click on the crafting result: puts the result on the cursor when it fits there and
// uses up one item of every filled cell. False when nothing happened.
bool takeResult(CraftingGrid& grid, ItemStack& cursor);

}  // namespace zorv
