#include "world/inventory.h"

#include <algorithm>
#include <string>

#include "world/registry.h"

namespace zorv {
namespace {

constexpr std::uint16_t kStick = kFirstItem;
constexpr std::uint16_t kCoal = kFirstItem + 1;
constexpr std::uint16_t E = 0;  // an empty recipe cell

bool holds(const ItemStack& slot, std::uint16_t id) { return !slot.empty() && slot.id == id; }

Recipe shaped(std::int32_t width, std::int32_t height, std::array<std::uint16_t, 9> cells, std::uint16_t result,
              std::int32_t count) {
  return {width, height, false, cells, result, count};
}

std::vector<Recipe> buildRecipes() {
  std::vector<Recipe> table;
  table.push_back({1, 1, true, {blocks::Wood}, blocks::Planks, 4});
  table.push_back(shaped(1, 2, {blocks::Planks, blocks::Planks}, kStick, 4));
  table.push_back(shaped(1, 2, {kCoal, kStick}, blocks::Torch, 4));
  table.push_back(shaped(2, 2, {blocks::Planks, blocks::Planks, blocks::Planks, blocks::Planks}, blocks::CraftingTable, 1));
  const std::uint16_t S = kStick;
  for (const ToolMaterial& material : toolMaterials()) {
    const std::uint16_t M = material.ingredient;
    const std::string prefix = std::string(material.nameWord) + "_";
    const auto tool = [&](const char* kind) { return itemRegistry().findItem(prefix + kind); };
    table.push_back(shaped(3, 3, {M, M, M, E, S, E, E, S, E}, tool("pickaxe"), 1));
    table.push_back(shaped(2, 3, {M, M, M, S, E, S}, tool("axe"), 1));
    table.push_back(shaped(1, 3, {M, S, S}, tool("shovel"), 1));
    table.push_back(shaped(1, 3, {M, M, S}, tool("sword"), 1));
  }
  return table;
}

// Bounding box of the non-empty cells of a 3 × 3 grid.
struct GridBounds {
  int left = 3, top = 3, right = -1, bottom = -1;
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};

bool matchesShape(const Recipe& recipe, const std::array<std::uint16_t, 9>& grid, const GridBounds& box) {
  if (recipe.width != box.width() || recipe.height != box.height()) return false;
  for (int r = 0; r < recipe.height; ++r) {
    for (int c = 0; c < recipe.width; ++c) {
      if (grid[static_cast<std::size_t>((box.top + r) * 3 + box.left + c)] !=
          recipe.cells[static_cast<std::size_t>(r * recipe.width + c)]) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

void Inventory::clear() { slots.fill({}); }

bool Inventory::isEmpty() const {
  return std::all_of(slots.begin(), slots.end(), [](const ItemStack& slot) { return slot.empty(); });
}

std::int32_t Inventory::countOf(std::uint16_t id) const {
  std::int32_t total = 0;
  for (const ItemStack& slot : slots) {
    if (holds(slot, id)) total += slot.count;
  }
  return total;
}

bool Inventory::add(std::uint16_t id, std::int32_t n, std::int32_t durability) {
  if (id == 0 || n < 1) return true;
  if (durability == 0) {
    // Only stacks without wear take more items: a worn tool always stands alone.
    for (ItemStack& slot : slots) {
      if (n == 0) break;
      if (!holds(slot, id) || slot.durability != 0 || slot.count >= kMaxStack) continue;
      const std::int32_t moved = std::min(n, kMaxStack - slot.count);
      slot.count += moved;
      n -= moved;
    }
  }
  for (ItemStack& slot : slots) {
    if (n == 0) break;
    if (!slot.empty()) continue;
    const std::int32_t placed = durability != 0 ? 1 : std::min(n, kMaxStack);
    slot = {id, placed, durability};
    n -= placed;
  }
  return n == 0;
}

std::int32_t Inventory::roomFor(std::uint16_t id) const {
  std::int32_t room = 0;
  for (const ItemStack& slot : slots) {
    if (slot.empty()) {
      room += kMaxStack;
    } else if (slot.id == id && slot.durability == 0) {
      room += std::max(kMaxStack - slot.count, 0);
    }
  }
  return room;
}

bool Inventory::canAdd(std::uint16_t id, std::int32_t n, std::int32_t durability) const {
  if (id == 0 || n < 1) return true;
  if (durability == 0) return roomFor(id) >= n;
  // Stacks with wear hold one item each, so they need one empty slot per item.
  return std::count_if(slots.begin(), slots.end(), [](const ItemStack& slot) { return slot.empty(); }) >= n;
}

bool Inventory::consumeSelected(std::int32_t n) {
  ItemStack& slot = slots[static_cast<std::size_t>(selected)];
  if (n < 1 || slot.empty() || slot.count < n) return false;
  slot.count -= n;
  if (slot.count == 0) slot = {};
  return true;
}

bool Inventory::remove(std::uint16_t id, std::int32_t n) {
  if (n <= 0) return true;
  if (countOf(id) < n) return false;
  for (ItemStack& slot : slots) {
    if (n == 0) break;
    if (!holds(slot, id)) continue;
    const std::int32_t taken = std::min(n, slot.count);
    slot.count -= taken;
    n -= taken;
    if (slot.count == 0) slot = {};
  }
  return true;
}

void Inventory::select(std::int32_t slot) { selected = std::clamp(slot, 0, kHotbarSlots - 1); }

const std::vector<Recipe>& recipes() {
  static const std::vector<Recipe> table = buildRecipes();
  return table;
}

std::optional<Recipe> matchRecipe(const std::array<std::uint16_t, 9>& grid) {
  GridBounds box;
  int filled = 0;
  std::uint16_t first = 0;
  for (int i = 0; i < 9; ++i) {
    if (grid[static_cast<std::size_t>(i)] == 0) continue;
    const int row = i / 3, column = i % 3;
    box = {std::min(box.left, column), std::min(box.top, row), std::max(box.right, column), std::max(box.bottom, row)};
    if (filled++ == 0) first = grid[static_cast<std::size_t>(i)];
  }
  if (filled == 0) return std::nullopt;
  for (const Recipe& recipe : recipes()) {
    const bool matched = recipe.shapeless ? filled == 1 && first == recipe.cells[0] : matchesShape(recipe, grid, box);
    if (matched) return recipe;
  }
  return std::nullopt;
}

std::optional<Recipe> matchRecipe(const CraftingGrid& grid) {
  std::array<std::uint16_t, 9> ids{};
  for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = grid[i].empty() ? std::uint16_t{0} : grid[i].id;
  return matchRecipe(ids);
}

bool takeResult(CraftingGrid& grid, ItemStack& cursor) {
  const std::optional<Recipe> recipe = matchRecipe(grid);
  if (!recipe) return false;
  const ItemRegistry& items = itemRegistry();
  const std::int32_t durability = items.isItem(recipe->result) ? items.getItem(recipe->result).durability : 0;
  if (cursor.empty()) {
    cursor = {recipe->result, recipe->count, durability};
  } else {
    if (cursor.id != recipe->result || cursor.durability != 0 || durability != 0 ||
        cursor.count + recipe->count > kMaxStack) {
      return false;
    }
    cursor.count += recipe->count;
  }
  for (ItemStack& cell : grid) {
    if (cell.empty()) continue;
    if (--cell.count == 0) cell = {};
  }
  return true;
}

}  // namespace zorv
