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

  // Moves the mouse over the window (three columns, every 4 pixels down) until the item
  // labelled `label` directly inside it reports the mouse over it, disabled items
  // included; nothing when it is absent.
  template <typename Build>
  std::optional<ImVec2> locate(Build&& build, const char* window, const char* label) {
    for (int settle = 0; settle < 3; ++settle) frame(build);
    ImGuiWindow* found = ImGui::FindWindowByName(window);
    if (found == nullptr) return std::nullopt;
    const ImGuiID id = found->GetID(label);
    const ImVec2 pos = found->Pos, size = found->Size;
    for (float column : {20.0f, 150.0f, size.x * 0.5f}) {
      for (float y = 2.0f; y < size.y; y += 4.0f) {
        const ImVec2 at(pos.x + column, pos.y + y);
        ImGui::GetIO().AddMousePosEvent(at.x, at.y);
        frame(build);
        if (GImGui->HoveredId == id) return at;
      }
    }
    return std::nullopt;
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
  ImGuiContext* context_;
};

}  // namespace zorv::testing
