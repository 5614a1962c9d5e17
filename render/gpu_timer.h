#pragma once
// GPU time per pass from timestamp queries: each pass writes a timestamp when it ends,
// and its time is the span since the timestamp before it. One query range per frame in
// flight, read back once that frame's fence has signalled.

#include <volk.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zorv {

enum class GpuPass { Shadows, World, Water, Occlusion, Bloom, Exposure, Composite, Final, Interface };
constexpr int kGpuPassCount = 9;
// "shadows", "world", ... in enumeration order.
const char* gpuPassName(GpuPass pass);

using PassTimes = std::array<double, kGpuPassCount>;  // milliseconds

// Per-pass times from the timestamps of one frame, in the order written: `passes[i]` ended
// at `ticks[i + 1]`, the first tick being the frame's start. A pass that wrote several
// timestamps gets the sum of its spans.
PassTimes passTimesFrom(const std::vector<GpuPass>& passes, const std::vector<std::uint64_t>& ticks, double nanosecondsPerTick,
                        std::uint32_t validBits);
// "shadows=1.20 world=3.40 ..." with two decimals.
std::string formatPassTimes(const PassTimes& times);

class GpuTimer {
 public:
  // Does nothing (and stays off) when the queue family cannot write timestamps.
  void create(VkDevice device, VkPhysicalDevice physicalDevice, std::uint32_t queueFamily, std::uint32_t frames);
  void destroy(VkDevice device);
  bool available() const { return pool_ != VK_NULL_HANDLE; }

  // Resets the frame's queries and writes its start timestamp.
  void begin(VkCommandBuffer cmd, std::uint32_t frame);
  void mark(VkCommandBuffer cmd, GpuPass pass);
  // The frame's command buffer was submitted: its results may be read after its fence.
  void submitted(std::uint32_t frame) { frames_[frame].submitted = true; }
  // Reads the frame's results once its fence has signalled; adds them to the totals.
  void collect(VkDevice device, std::uint32_t frame);

  const PassTimes& lastFrame() const { return last_; }
  // Mean per pass over the frames collected since the last reset.
  PassTimes average() const;
  void resetAverage();

 private:
  static constexpr std::uint32_t kQueriesPerFrame = 32;
  struct Frame {
    std::vector<GpuPass> passes;
    bool submitted = false;
  };
  VkQueryPool pool_ = VK_NULL_HANDLE;
  double nanosecondsPerTick_ = 1.0;
  std::uint32_t validBits_ = 64;
  std::vector<Frame> frames_;
  std::uint32_t recording_ = 0;
  PassTimes last_{}, total_{};
  std::uint32_t collected_ = 0;
};

}  // namespace zorv
