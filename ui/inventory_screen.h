#pragma once
// The survival inventory window: the crafting grid (2 × 2, or 3 × 3 at a crafting table)
// with its result, the 27 storage slots and the hotbar, all handled with the left mouse
// button through one stack held by the mouse. The click rule and the stack drawing are
// shared with the HUD's hotbar.

#include <optional>

#include <imgui.h>

#include "ui/ui_frame.h"
#include "world/inventory.h"

namespace zorv {

struct ClientSession;

// The largest count a click piles onto one slot, whatever the item's own limit.
inline constexpr std::int32_t kClickStackCap = 64;

// One left click on a slot or crafting cell with `held` in the mouse: swap different
// stacks, pile matching ones (up to 64), put the held stack down or pick the slot's up.
void clickStack(ItemStack& held, ItemStack& target);

// 3 at a crafting table (inventory tab 3), otherwise 2.
int craftingGridSize(int inventoryTab);

// The tool wear bar under a stack's icon: present for a stack whose durability field is
// non-zero and whose item is a tool with a maximum durability.
struct DurabilityBar {
  float fraction = 0.0f;  // remaining / maximum, within 0..1
  ImU32 colour = 0;
};
std::optional<DurabilityBar> durabilityBar(const ItemStack& stack);

// Draws a stack into the box [min, max]: its tile's icon inset by `inset` pixels, the
// wear bar and, above 1, the count in the bottom-right corner.
void drawStack(ImDrawList& list, ImVec2 min, ImVec2 max, const ItemStack& stack, float inset,
               const TextureLookup& textures);

// The inventory window with the held stack following the mouse; applies clicks to the
// session's inventory, crafting cells and held stack.
void buildInventoryWindow(ClientSession& session, const TextureLookup& textures);

}  // namespace zorv
