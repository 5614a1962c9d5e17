#pragma once
// The rendering benchmark: a fixed camera over a fresh world, 60 warm-up frames and 240
// timed ones, one summary line.

struct GLFWwindow;

namespace zorv {

struct ClientSession;
class VulkanRenderer;

inline constexpr int kBenchmarkWarmUpFrames = 60;
inline constexpr int kBenchmarkFrames = 240;

// Prints "benchmark: ..." and returns 0.
int runBenchmark(ClientSession& session, VulkanRenderer& renderer, GLFWwindow* window);

}  // namespace zorv
