// Main-thread cost of building one frame of the interface (Dear ImGui without a back-end,
// so drawing itself is not included): the busiest in-game HUD and the world list.
#include <benchmark/benchmark.h>

#include <imgui.h>

#include "headless_ui.h"

#include "ui/hud.h"
#include "lang/localisation.h"
#include "ui/menus.h"

namespace zorv {
namespace {

// Survival with the minimap, rain, 40 wounded mobs in view, a full chat, the debug overlay
// and the inventory open.
void BM_BusiestHudFrame(benchmark::State& state) {
  testing::HeadlessUi ui;
  setLanguage(LanguageEnglish);
  ClientSession session;
  session.clock = [] { return 50.0; };
  session.appState = AppPlaying;
  session.player.mode = ModeSurvival;
  session.player.health = 7;
  session.weather = WeatherRain;
  session.minimap.filled = true;
  session.minimap.colours.fill(IM_COL32(90, 140, 60, 255));
  session.debugOverlay = true;
  session.inventoryOpen = true;
  session.chatOpen = true;
  session.chatText = "/";
  for (int i = 0; i < 40; ++i) {
    Mob mob;
    mob.kind = MobZombie;
    mob.health = 3;
    mob.x = static_cast<float>(i % 8) - 4.0f;
    mob.z = -5.0f - static_cast<float>(i / 8);
    session.mobs.push_back(mob);
  }
  for (int i = 0; i < 40; ++i) session.messages.push_back({"Message " + std::to_string(i), 45.0});
  for (int i = 0; i < kInventorySlots; ++i) session.inventory.slots[static_cast<std::size_t>(i)] = {blocks::Stone, 1 + i, 0};
  UiFrameInfo frame;
  frame.viewProjection = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, -1, 0, 0, 0, 0};
  frame.texture = [](int layer) { return reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(layer + 1)); };
  for (auto _ : state) {
    ImGui::NewFrame();
    benchmark::DoNotOptimize(buildInGameUi(session, frame));
    ImGui::Render();
  }
  state.counters["vertices"] = static_cast<double>(ImGui::GetDrawData()->TotalVtxCount);
}
BENCHMARK(BM_BusiestHudFrame)->Unit(benchmark::kMicrosecond);

void BM_WorldListFrame(benchmark::State& state) {
  testing::HeadlessUi ui;
  setLanguage(LanguageEnglish);
  ClientSession session;
  session.menuScreen = MenuWorlds;
  for (int i = 0; i < 50; ++i) session.worldList.push_back("World " + std::to_string(i));
  session.selectedWorld = 3;
  for (auto _ : state) {
    ImGui::NewFrame();
    benchmark::DoNotOptimize(buildMainMenu(session));
    ImGui::Render();
  }
}
BENCHMARK(BM_WorldListFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zorv
