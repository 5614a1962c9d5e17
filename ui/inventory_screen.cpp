#include "ui/inventory_screen.h"

#include <algorithm>
#include <string>
#include <utility>

#include "client/client_session.h"
#include "lang/localisation.h"
#include "ui/key_help.h"
#include "world/registry.h"

namespace zorv {
namespace {

constexpr ImGuiWindowFlags kInventoryWindowFlags =
    ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
    ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_AlwaysAutoResize |
    ImGuiWindowFlags_NoSavedSettings;

constexpr float kSlotSize = 44.0f;
constexpr float kResultSize = 52.0f;
constexpr ImU32 kPlainBorder = IM_COL32(92, 96, 108, 200);

void drawIcon(ImDrawList& list, ImVec2 min, ImVec2 max, std::uint16_t id, const TextureLookup& textures) {
  if (!textures) return;
  const ImTextureID texture = textures(textureOf(id));
  if (texture != ImTextureID{}) list.AddImage(texture, min, max);
}

void drawCount(ImDrawList& list, ImVec2 max, std::int32_t count) {
  const std::string text = std::to_string(count);
  const ImVec2 size = ImGui::CalcTextSize(text.c_str());
  const ImVec2 shadow(max.x - size.x - 4.0f, max.y - size.y - 2.0f);
  list.AddText(shadow, IM_COL32(0, 0, 0, 220), text.c_str());
  list.AddText(ImVec2(shadow.x - 1.0f, shadow.y - 1.0f), IM_COL32(255, 255, 255, 240), text.c_str());
}

// The frame shared by storage slots and crafting cells; returns whether it was clicked.
bool slotWidget(const char* label, int id, ItemStack& stack, bool selected, const TextureLookup& textures) {
  ImGui::PushID(id);
  const bool clicked = ImGui::InvisibleButton(label, ImVec2(kSlotSize, kSlotSize));
  ImGui::PopID();
  const ImVec2 min = ImGui::GetItemRectMin();
  const ImVec2 max = ImGui::GetItemRectMax();
  ImDrawList& list = *ImGui::GetWindowDrawList();
  list.AddRectFilled(min, max, IM_COL32(22, 24, 30, 235), 3.0f);
  if (selected) {
    list.AddRect(min, max, IM_COL32(255, 255, 255, 230), 3.0f, 0, 2.0f);
  } else {
    list.AddRect(min, max, kPlainBorder, 3.0f, 0, 1.0f);
  }
  if (!stack.empty()) drawStack(list, min, max, stack, 3.0f, textures);
  if (ImGui::IsItemHovered()) list.AddRect(min, max, IM_COL32(255, 255, 255, 130), 3.0f, 0, 1.0f);
  return clicked;
}

void inventorySlot(ClientSession& session, int slot, const TextureLookup& textures) {
  const bool selected = slot < kHotbarSlots && slot == session.inventory.selected;
  ItemStack& stack = session.inventory.slots[static_cast<std::size_t>(slot)];
  if (slotWidget("##slot", slot, stack, selected, textures)) clickStack(session.cursorStack, stack);
}

void craftingCell(ClientSession& session, int cell, const TextureLookup& textures) {
  ItemStack& stack = session.craftingGrid[static_cast<std::size_t>(cell)];
  if (slotWidget("##craft", cell + 100, stack, false, textures)) clickStack(session.cursorStack, stack);
}

void resultWidget(ClientSession& session, const TextureLookup& textures) {
  const std::optional<Recipe> match = matchRecipe(session.craftingGrid);
  const bool clicked = ImGui::InvisibleButton("##result", ImVec2(kResultSize, kResultSize));
  const bool hovered = ImGui::IsItemHovered();
  const ImVec2 min = ImGui::GetItemRectMin();
  const ImVec2 max = ImGui::GetItemRectMax();
  ImDrawList& list = *ImGui::GetWindowDrawList();
  list.AddRectFilled(min, max, IM_COL32(28, 30, 38, 240), 3.0f);
  list.AddRect(min, max, match ? IM_COL32(230, 210, 120, 220) : kPlainBorder, 3.0f, 0, 1.0f);
  if (match) {
    drawStack(list, min, max, ItemStack{match->result, match->count, 0}, 4.0f, textures);
    if (hovered) list.AddRect(min, max, IM_COL32(255, 255, 255, 150), 3.0f, 0, 1.0f);
  }
  if (hovered) ImGui::SetTooltip("%s", match ? tr(nameOf(match->result).c_str()) : tr("Crafting"));
  if (clicked && match) takeResult(session.craftingGrid, session.cursorStack);
}

void heldStackAtMouse(const ItemStack& held, const TextureLookup& textures) {
  if (held.empty()) return;
  const ImVec2 mouse = ImGui::GetIO().MousePos;
  ImDrawList& list = *ImGui::GetForegroundDrawList();
  drawIcon(list, ImVec2(mouse.x + 6.0f, mouse.y + 6.0f), ImVec2(mouse.x + 40.0f, mouse.y + 40.0f), held.id, textures);
  if (held.count > 1) {
    const std::string text = std::to_string(held.count);
    list.AddText(ImVec2(mouse.x + 24.0f, mouse.y + 26.0f), IM_COL32(0, 0, 0, 220), text.c_str());
    list.AddText(ImVec2(mouse.x + 23.0f, mouse.y + 25.0f), IM_COL32(255, 255, 255, 245), text.c_str());
  }
}

}  // namespace

void clickStack(ItemStack& held, ItemStack& target) {
  if (!held.empty()) {
    if (target.empty()) {
      target = held;
      held = {};
    } else if (target.id != held.id || target.durability != held.durability) {
      std::swap(held, target);
    } else {
      // A slot already over the cap (an old save) takes nothing rather than giving back.
      const std::int32_t moved = std::max(0, std::min(held.count, kClickStackCap - target.count));
      target.count += moved;
      held.count -= moved;
      if (held.count <= 0) held = {};
    }
  } else if (!target.empty()) {
    held = target;
    target = {};
  }
}

int craftingGridSize(int inventoryTab) { return inventoryTab == 3 ? 3 : 2; }

std::optional<DurabilityBar> durabilityBar(const ItemStack& stack) {
  const ItemRegistry& items = itemRegistry();
  if (stack.durability == 0 || !items.isItem(stack.id)) return std::nullopt;
  const std::uint16_t maximum = items.getItem(stack.id).durability;
  if (maximum == 0) return std::nullopt;
  // A worn count beyond the maximum (or below zero) would draw outside the slot.
  const float fraction = std::clamp(static_cast<float>(stack.durability) / static_cast<float>(maximum), 0.0f, 1.0f);
  const int red = static_cast<int>(220.0f * fraction);
  return DurabilityBar{fraction, IM_COL32(red, 220 - red / 2, 40, 230)};
}

void drawStack(ImDrawList& list, ImVec2 min, ImVec2 max, const ItemStack& stack, float inset,
               const TextureLookup& textures) {
  drawIcon(list, ImVec2(min.x + inset, min.y + inset), ImVec2(max.x - inset, max.y - inset), stack.id, textures);
  if (const std::optional<DurabilityBar> bar = durabilityBar(stack)) {
    const float width = max.x - min.x;
    list.AddRectFilled(ImVec2(min.x + 3.0f, max.y - 6.0f),
                       ImVec2(min.x + 3.0f + (width - 6.0f) * bar->fraction, max.y - 3.0f), bar->colour);
  }
  if (stack.count > 1) drawCount(list, max, stack.count);
}

void buildInventoryWindow(ClientSession& session, const TextureLookup& textures) {
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  ImGui::GetBackgroundDrawList()->AddRectFilled(ImVec2(0.0f, 0.0f), display, IM_COL32(0, 0, 0, 130));
  ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y * 0.5f), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
  if (ImGui::Begin("##inventory", nullptr, kInventoryWindowFlags)) {
    ImGui::SetWindowFontScale(1.55f);
    ImGui::TextUnformatted(tr("Inventory"));
    ImGui::SetWindowFontScale(1.0f);
    ImGui::TextDisabled("%s", tr("Click a stack to pick it up, click another slot to place it."));
    ImGui::Spacing();

    const int size = craftingGridSize(session.inventoryTab);
    ImGui::TextUnformatted(size == 3 ? tr("Crafting") : tr("Inventory"));
    ImGui::SameLine();
    ImGui::Dummy(ImVec2(10.0f, 0.0f));
    for (int row = 0; row < size; ++row) {
      if (row > 0) ImGui::Spacing();
      ImGui::SameLine();
      for (int column = 0; column < size; ++column) {
        if (column > 0) ImGui::SameLine(0.0f, 2.0f);
        craftingCell(session, row * 3 + column, textures);
      }
    }
    ImGui::SameLine(0.0f, 14.0f);
    ImGui::TextUnformatted("->");
    ImGui::SameLine(0.0f, 6.0f);
    resultWidget(session, textures);

    ImGui::Spacing();
    ImGui::Separator();
    ImGui::Spacing();
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < kHotbarSlots; ++column) {
        if (column > 0) ImGui::SameLine(0.0f, 2.0f);
        inventorySlot(session, kHotbarSlots + row * kHotbarSlots + column, textures);
      }
    }
    ImGui::Spacing();
    ImGui::Separator();
    ImGui::Spacing();
    for (int slot = 0; slot < kHotbarSlots; ++slot) {
      if (slot > 0) ImGui::SameLine(0.0f, 2.0f);
      inventorySlot(session, slot, textures);
    }
    ImGui::Spacing();
    ImGui::TextDisabled("%s", inventoryHelp(session.settings.keys).c_str());
  }
  ImGui::End();
  heldStackAtMouse(session.cursorStack, textures);
}

}  // namespace zorv
