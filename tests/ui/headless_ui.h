#pragma once
// A Dear ImGui context without any back-end: 1280 × 720, the default font, 60 frames a
// second. Tests build real frames with it and click items with synthetic mouse events.

#include <imgui.h>
#include <imgui_internal.h>

#include <functional>
#include <optional>

namespace zorv::testing {

class HeadlessUi {
 public:
  HeadlessUi() : context_(ImGui::CreateContext()) {
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(1280.0f, 720.0f);
    io.DeltaTime = 1.0f / 60.0f;
    io.IniFilename = nullptr;
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
  }
  ~HeadlessUi() { ImGui::DestroyContext(context_); }
  HeadlessUi(const HeadlessUi&) = delete;
  HeadlessUi& operator=(const HeadlessUi&) = delete;

  // One frame around `build`; returns what it returns.
  template <typename Build>
  auto frame(Build&& build) {
    ImGui::NewFrame();
    auto result = build();
    ImGui::Render();
    return result;
  }

  // Moves the mouse over the window (every 20 pixels across, every 5 down) until the item
  // labelled `label` directly inside it reports the mouse over it, disabled items
  // included; nothing when it is absent.
  template <typename Build>
  std::optional<ImVec2> locate(Build&& build, const char* window, const char* label) {
    return locateItem(build, window, [label](ImGuiWindow& found) { return found.GetID(label); });
  }

  // The same for the item labelled `label` under PushID(`pushedId`).
  template <typename Build>
  std::optional<ImVec2> locate(Build&& build, const char* window, int pushedId, const char* label) {
    return locateItem(build, window, [pushedId, label](ImGuiWindow& found) {
      return ImHashStr(label, 0, ImHashData(&pushedId, sizeof pushedId, found.ID));
    });
  }

  // Presses and releases the left button at `at`; returns the result of the release frame.
  template <typename Build>
  auto click(Build&& build, ImVec2 at) {
    ImGuiIO& io = ImGui::GetIO();
    io.AddMousePosEvent(at.x, at.y);
    frame(build);
    io.AddMouseButtonEvent(0, true);
    frame(build);
    io.AddMouseButtonEvent(0, false);
    return frame(build);
  }

 private:
  template <typename Build, typename ItemId>
  std::optional<ImVec2> locateItem(Build&& build, const char* window, ItemId&& itemId) {
    for (int settle = 0; settle < 3; ++settle) frame(build);
    ImGuiWindow* found = ImGui::FindWindowByName(window);
    if (found == nullptr) return std::nullopt;
    const ImGuiID id = itemId(*found);
    const ImVec2 pos = found->Pos, size = found->Size;
    for (float y = 2.0f; y < size.y; y += 5.0f) {
      for (float x = 4.0f; x < size.x; x += 20.0f) {
        const ImVec2 at(pos.x + x, pos.y + y);
        ImGui::GetIO().AddMousePosEvent(at.x, at.y);
        frame(build);
        if (GImGui->HoveredId == id) return at;
      }
    }
    return std::nullopt;
  }

  ImGuiContext* context_;
};

}  // namespace zorv::testing
