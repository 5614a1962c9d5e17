#include "render/gpu_timer.h"

#include <cstdio>

#include "render/vulkan_support.h"

namespace zorv {

const char* gpuPassName(GpuPass pass) {
  static constexpr std::array<const char*, kGpuPassCount> kNames{"shadows", "world",     "water", "ssao",     "bloom",
                                                                  "exposure", "composite", "final", "interface"};
  return kNames[static_cast<std::size_t>(pass)];
}

PassTimes passTimesFrom(const std::vector<GpuPass>& passes, const std::vector<std::uint64_t>& ticks, double nanosecondsPerTick,
                        std::uint32_t validBits) {
  PassTimes times{};
  const std::uint64_t mask = validBits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << validBits) - 1;
  for (std::size_t i = 0; i < passes.size() && i + 1 < ticks.size(); ++i) {
    const std::uint64_t span = (ticks[i + 1] - ticks[i]) & mask;  // wraps like the counter
    times[static_cast<std::size_t>(passes[i])] += static_cast<double>(span) * nanosecondsPerTick * 1e-6;
  }
  return times;
}

std::string formatPassTimes(const PassTimes& times) {
  std::string text;
  for (int i = 0; i < kGpuPassCount; ++i) {
    char item[48];
    std::snprintf(item, sizeof item, "%s%s=%.2f", i == 0 ? "" : " ", gpuPassName(static_cast<GpuPass>(i)), times[static_cast<std::size_t>(i)]);
    text += item;
  }
  return text;
}

void GpuTimer::create(VkDevice device, VkPhysicalDevice physicalDevice, std::uint32_t queueFamily, std::uint32_t frames) {
  std::uint32_t familyCount = 0;
  vkGetPhysicalDeviceQueueFamilyProperties(physicalDevice, &familyCount, nullptr);
  std::vector<VkQueueFamilyProperties> families(familyCount);
  vkGetPhysicalDeviceQueueFamilyProperties(physicalDevice, &familyCount, families.data());
  VkPhysicalDeviceProperties properties{};
  vkGetPhysicalDeviceProperties(physicalDevice, &properties);
  if (queueFamily >= familyCount || families[queueFamily].timestampValidBits == 0 || properties.limits.timestampPeriod <= 0.0f) return;
  validBits_ = families[queueFamily].timestampValidBits;
  nanosecondsPerTick_ = properties.limits.timestampPeriod;
  VkQueryPoolCreateInfo info{VK_STRUCTURE_TYPE_QUERY_POOL_CREATE_INFO};
  info.queryType = VK_QUERY_TYPE_TIMESTAMP;
  info.queryCount = kQueriesPerFrame * frames;
  ZORV_VK_CHECK(vkCreateQueryPool(device, &info, nullptr, &pool_));
  frames_.assign(frames, Frame{});
}

void GpuTimer::destroy(VkDevice device) {
  if (pool_) vkDestroyQueryPool(device, pool_, nullptr);
  pool_ = VK_NULL_HANDLE;
  frames_.clear();
}

void GpuTimer::begin(VkCommandBuffer cmd, std::uint32_t frame) {
  if (!pool_) return;
  recording_ = frame;
  frames_[frame].passes.clear();
  frames_[frame].submitted = false;
  vkCmdResetQueryPool(cmd, pool_, frame * kQueriesPerFrame, kQueriesPerFrame);
  vkCmdWriteTimestamp(cmd, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, pool_, frame * kQueriesPerFrame);
}

void GpuTimer::mark(VkCommandBuffer cmd, GpuPass pass) {
  if (!pool_) return;
  Frame& frame = frames_[recording_];
  if (frame.passes.size() + 1 >= kQueriesPerFrame) return;
  frame.passes.push_back(pass);
  vkCmdWriteTimestamp(cmd, VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT, pool_,
                      recording_ * kQueriesPerFrame + static_cast<std::uint32_t>(frame.passes.size()));
}

void GpuTimer::collect(VkDevice device, std::uint32_t frame) {
  if (!pool_ || !frames_[frame].submitted) return;
  Frame& f = frames_[frame];
  f.submitted = false;
  std::vector<std::uint64_t> ticks(f.passes.size() + 1);
  const VkResult result = vkGetQueryPoolResults(device, pool_, frame * kQueriesPerFrame, static_cast<std::uint32_t>(ticks.size()),
                                                ticks.size() * sizeof(std::uint64_t), ticks.data(), sizeof(std::uint64_t),
                                                VK_QUERY_RESULT_64_BIT);
  if (result != VK_SUCCESS) return;  // not ready: this frame's times are skipped
  last_ = passTimesFrom(f.passes, ticks, nanosecondsPerTick_, validBits_);
  for (int i = 0; i < kGpuPassCount; ++i) total_[static_cast<std::size_t>(i)] += last_[static_cast<std::size_t>(i)];
  ++collected_;
}

PassTimes GpuTimer::average() const {
  PassTimes mean{};
  if (collected_ == 0) return mean;
  for (int i = 0; i < kGpuPassCount; ++i) mean[static_cast<std::size_t>(i)] = total_[static_cast<std::size_t>(i)] / collected_;
  return mean;
}

void GpuTimer::resetAverage() {
  total_ = {};
  collected_ = 0;
}

}  // namespace zorv
