#pragma once
// Shared pieces of the rendering tests: a window on the X server, a renderer whose
// program folder is a scratch folder, scenes built from real worlds, and picture reading.

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "render/vulkan_renderer.h"

namespace zorv::frames {

struct Picture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  std::array<int, 3> at(int x, int y) const;
  // Mean of 0.299 R + 0.587 G + 0.114 B over a rectangle.
  double meanLuma(int x0, int y0, int x1, int y1) const;
  std::array<double, 3> meanColour(int x0, int y0, int x1, int y1) const;
};
Picture readPicture(const std::filesystem::path& path);
// Mean absolute difference per channel (0..255) of two pictures of the same size.
double meanDifference(const Picture& a, const Picture& b);

// "frames" in the working folder, where the tests write their pictures.
std::filesystem::path outputFolder();
// The picture size of the rendering tests, and a noon sun.
constexpr int kWidth = 320, kHeight = 180;
const Vec3 kNoonSun{0.45f, 0.8f, 0.35f};

// A scratch program folder with "shaders" linked to the built programs.
std::filesystem::path makeProgramFolder(const std::string& name, bool withShaders = true);

class Window {
 public:
  Window(int width, int height);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  GLFWwindow* get() const { return window_; }

 private:
  GLFWwindow* window_ = nullptr;
};

struct Camera {
  Vec3 eye;
  float yawDegrees = 0.0f, pitchDegrees = 0.0f;
};
// The game's projection: 70° vertical, near 0.05, far 600, y flipped, depth −1..1.
Mat4 viewProjection(const Camera& camera, float aspect);

// Generates, lights and meshes the columns around (x, z) of seed 20261018 and uploads them.
void uploadTerrain(VulkanRenderer& renderer, int x, int z, int radius);
// Model slots of start-up: creatures, dropped blocks and items, and the particle cube.
void registerModels(VulkanRenderer& renderer);

constexpr std::int32_t kSeed = 20261018;

}  // namespace zorv::frames
