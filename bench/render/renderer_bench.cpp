// Renderer costs on the machine's Vulkan device (run under Xvfb with lavapipe in CI-like
// setups): recording a frame with 2,000 resident chunk meshes, whole frames at 1280 × 720
// with and without effects, and bring-up including the texture array.

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "render/vulkan_renderer.h"
#include "world/light.h"
#include "world/mesher.h"
#include "world/terrain.h"
#include "world/world.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261018;

struct Window {
  GLFWwindow* handle = nullptr;
  Window() {
    glfwInit();
    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    handle = glfwCreateWindow(1280, 720, "Zorvander benchmark", nullptr, nullptr);
  }
  ~Window() {
    glfwDestroyWindow(handle);
    glfwTerminate();
  }
};

Window& window() {
  static Window instance;
  return instance;
}

Mat4 cameraMatrix(Vec3 eye, Vec3 target) {
  const float f = 1.0f / std::tan(1.2217305f / 2.0f);
  Mat4 projection{};
  projection[0] = f / (16.0f / 9.0f);
  projection[5] = -f;
  projection[10] = -600.05f / 599.95f;
  projection[11] = -1.0f;
  projection[14] = -2.0f * 600.0f * 0.05f / 599.95f;
  return multiply(projection, lookAt(eye, target, {0.0f, 1.0f, 0.0f}));
}

// The spawn area of the check seed, 5 × 5 columns, as the rendering tests show it.
void uploadSpawnArea(VulkanRenderer& renderer) {
  World world(kSeed);
  ensureColumnsAround(world, 96, 96, 3);
  processRelightQueue(world, 4096);
  for (int cx = 4; cx <= 8; ++cx)
    for (int cz = 4; cz <= 8; ++cz)
      for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
        const ChunkMesh mesh = meshChunk(world, {cx, cy, cz});
        renderer.uploadChunkMesh({cx, cy, cz}, mesh.main);
        renderer.uploadTranslucentMesh({cx, cy, cz}, mesh.water);
      }
}

void BM_RecordFrame2000Chunks(benchmark::State& state) {
  VulkanRenderer renderer;
  if (!renderer.init(window().handle, false)) {
    state.SkipWithError("renderer init failed");
    return;
  }
  World world(kSeed);
  const ChunkMesh sample = meshChunk(world, {6, 1, 6});
  // 2,000 resident meshes around the camera: a 25 × 20 × 4 block of chunk slots, every
  // fourth one also holding a translucent mesh.
  int uploaded = 0;
  for (int cx = -12; cx <= 12 && uploaded < 2000; ++cx)
    for (int cz = -10; cz < 10 && uploaded < 2000; ++cz)
      for (int cy = -2; cy < 2 && uploaded < 2000; ++cy, ++uploaded) {
        renderer.uploadChunkMesh({cx, cy, cz}, sample.main);
        if (uploaded % 4 == 0) renderer.uploadTranslucentMesh({cx, cy, cz}, sample.main);
      }
  renderer.setEnvironment(1.0f, 200.0f, {0.4f, 0.8f, 0.3f});
  const Mat4 matrix = cameraMatrix({0.0f, 20.0f, 0.0f}, {40.0f, 10.0f, 25.0f});
  const std::vector<EntityInstance> entities(20);
  for (auto _ : state) renderer.recordFrameUnsubmitted(matrix, {0.0f, 20.0f, 0.0f}, entities, {});
  state.counters["drawnChunks"] = renderer.drawnChunkCount();
  // The layer checks every recorded command and dominates this figure where it is installed;
  // VK_LOADER_LAYERS_DISABLE=VK_LAYER_KHRONOS_validation measures the renderer alone.
  state.counters["validation"] = renderer.validationLayerEnabled() ? 1 : 0;
  state.counters["residentChunks"] = static_cast<double>(renderer.chunkMeshCount());
}
BENCHMARK(BM_RecordFrame2000Chunks)->Unit(benchmark::kMillisecond);

void BM_FrameAt720p(benchmark::State& state) {
  const bool effects = state.range(0) != 0;
  VulkanRenderer renderer;
  if (!renderer.init(window().handle, false)) {
    state.SkipWithError("renderer init failed");
    return;
  }
  uploadSpawnArea(renderer);
  renderer.setEnvironment(1.0f, 128.0f, {0.45f, 0.8f, 0.35f});
  renderer.setEffects(effects, effects);
  const int ground = terrainHeight(kSeed, 96, 96);
  const Vec3 eye{96.5f, static_cast<float>(ground) + 9.0f, 96.5f};
  const Mat4 matrix = cameraMatrix(eye, {106.5f, static_cast<float>(ground) + 6.0f, 106.5f});
  for (auto _ : state) {
    renderer.beginUiFrame();
    renderer.drawFrame(matrix, eye, {}, {});
  }
  state.SetLabel(renderer.deviceName() + (effects ? ", all effects" : ", no post-processing, no shadows"));
}
BENCHMARK(BM_FrameAt720p)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_InitWithTextureArray(benchmark::State& state) {
  for (auto _ : state) {
    VulkanRenderer renderer;
    if (!renderer.init(window().handle, false)) {
      state.SkipWithError("renderer init failed");
      return;
    }
    state.PauseTiming();
    renderer.shutdown();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_InitWithTextureArray)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace zorv
