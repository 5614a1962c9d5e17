#include "checks/benchmark.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "checks/self_test.h"
#include "client/client_session.h"
#include "game/sky.h"
#include "game/world_life_cycle.h"
#include "render/vulkan_renderer.h"
#include "ui/session_frame.h"

namespace zorv {
namespace {

constexpr float kBenchmarkAspect = 16.0f / 9.0f;
constexpr float kMobStep = 1.0f / 60.0f;

void benchmarkFrame(ClientSession& session, VulkanRenderer& renderer, const FrameView& view) {
  const PlayerTarget player{session.player.x, session.player.y, session.player.z, session.player.mode};
  updateMobs(*session.world, session.mobs, kMobStep, {&player, 1});
  session.streamer.update(*session.world, renderer, view.eye);
  renderer.beginUiFrame();
  drawSessionFrame(renderer, session, view, nullptr);
}

}  // namespace

int runBenchmark(ClientSession& session, VulkanRenderer& renderer, GLFWwindow* /*window*/) {
  createWorld(session, static_cast<std::uint32_t>(kCheckSeed), "Benchmark");
  session.player.yaw = -90.0f;
  session.player.pitch = -18.0f;
  setAppState(session, AppPlaying);
  renderer.setEnvironment(1.0f, 128.0f, sunDirection(session.timeOfDay));
  renderer.setEffects(session.settings.shadowsEnabled, session.settings.postProcessingEnabled);
  const FrameView view = playerView(session, kFixedFovRadians, kBenchmarkAspect);

  for (int frame = 0; frame < kBenchmarkWarmUpFrames; ++frame) {
    glfwPollEvents();
    benchmarkFrame(session, renderer, view);
  }
  renderer.resetPassTimes();
  const auto start = std::chrono::steady_clock::now();
  for (int frame = 0; frame < kBenchmarkFrames; ++frame) {
    glfwPollEvents();
    benchmarkFrame(session, renderer, view);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("benchmark: %d frames in %.2f s = %.1f fps | %d draws, %d chunks cached, %d tracked\n", kBenchmarkFrames,
              seconds, kBenchmarkFrames / seconds, static_cast<int>(renderer.drawnChunkCount()),
              static_cast<int>(session.streamer.residentCount()), static_cast<int>(renderer.chunkMeshCount()));
  const std::string passes = renderer.passTimesAvailable() ? formatPassTimes(renderer.averagePassTimes()) : "unavailable";
  std::printf("benchmark: triangles=%zu drawn=%u culled=%u passes ms: %s\n", renderer.triangleCount(), renderer.drawnChunkCount(),
              renderer.culledChunkCount(), passes.c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace zorv
