#pragma once
// What the main loop hands the in-game screens each frame besides the session: the view,
// the look ray's target, frame figures and the renderer's numbers. The screens never see
// the renderer itself; block textures arrive through a lookup of texture-array layers.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include <imgui.h>

#include "world/physics.h"

namespace zorv {

// The Dear ImGui texture of one layer of the block texture array; may be empty (headless
// runs), and then no icons are drawn.
using TextureLookup = std::function<ImTextureID(int layer)>;

struct UiFrameInfo {
  std::array<float, 16> viewProjection{};  // column-major
  PickResult pick;
  float fps = 0.0f;
  int viewportWidth = 0;
  int viewportHeight = 0;
  bool forceDebug = false;  // show the debug overlay whatever the session says
  std::string deviceName;
  std::uint32_t apiVersion = 0;  // Vulkan's packed version number
  int drawnChunks = 0;
  int chunkMeshes = 0;
  std::size_t triangles = 0;
  std::size_t streamerResident = 0;
  int rttMs = 0;
  std::string passTimes;  // GPU milliseconds per pass of a recent frame; empty when unmeasured
  TextureLookup texture;
};

}  // namespace zorv
