#pragma once
// Small Vulkan helpers without GPU state: result checks, the image-layout tracker,
// the device, surface-format and present-mode choices, and SPIR-V file reading.

#include <volk.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace zorv {

// Prints "vulkan: <call> failed (<result>) at line <line>" and throws "vulkan failure".
[[noreturn]] void vulkanFailure(const char* callText, VkResult result, int line);

inline void checkVulkan(VkResult result, const char* callText, int line) {
  if (result != VK_SUCCESS) vulkanFailure(callText, result, line);
}

#define ZORV_VK_CHECK(call) ::zorv::checkVulkan((call), #call, __LINE__)

// One requested layout change of a tracked image.
struct LayoutTransition {
  VkImageLayout newLayout = VK_IMAGE_LAYOUT_UNDEFINED;
  VkImageAspectFlags aspect = VK_IMAGE_ASPECT_COLOR_BIT;
  VkPipelineStageFlags sourceStage = VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT;
  VkPipelineStageFlags destinationStage = VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT;
  VkAccessFlags sourceAccess = 0;
  VkAccessFlags destinationAccess = 0;
  std::uint32_t layerCount = 1;
};

// The barrier that moves an image from its tracked layout to the requested one.
struct LayoutBarrier {
  VkImageMemoryBarrier barrier{};
  VkPipelineStageFlags sourceStage = 0;
  VkPipelineStageFlags destinationStage = 0;
};

// Nothing when the tracked layout already is the requested one; otherwise the barrier
// (from TOP_OF_PIPE with no access when the tracked layout is UNDEFINED), and the
// tracked layout becomes the new one.
std::optional<LayoutBarrier> planTransition(VkImage image, VkImageLayout& trackedLayout, const LayoutTransition& request);

// Records the transition into `commandBuffer` (nothing when the layout already matches).
void recordTransition(VkCommandBuffer commandBuffer, VkImage image, VkImageLayout& trackedLayout,
                      const LayoutTransition& request);

// What device choice needs to know of one physical device.
struct DeviceTraits {
  std::uint32_t apiVersion = 0;  // the device's version capped by the loader's (and 1.3)
  bool discrete = false;
  bool hasGraphicsQueue = false;
  bool hasPresentQueue = false;
  bool hasSwapchain = false;
  bool dynamicRenderingFeature = false;
  bool hasDynamicRenderingExtension = false;
};

// Minor API number + 1000 for a discrete GPU, + 500 otherwise; −1 when the device
// cannot present with dynamic rendering.
int deviceScore(const DeviceTraits& device);
// Index of the best device (the earlier one on a tie), or −1 when none qualifies.
int chooseDevice(const std::vector<DeviceTraits>& devices);

VkSurfaceFormatKHR chooseSurfaceFormat(const std::vector<VkSurfaceFormatKHR>& formats);
VkPresentModeKHR choosePresentMode(bool vsync, const std::vector<VkPresentModeKHR>& modes);
std::uint32_t chooseImageCount(const VkSurfaceCapabilitiesKHR& capabilities);
VkCompositeAlphaFlagBitsKHR chooseCompositeAlpha(VkCompositeAlphaFlagsKHR supported);

// Reads a SPIR-V file. Prints "shader not found", "shader has invalid size" or
// "shader is not SPIR-V" with the path and returns nothing when it cannot be used.
std::optional<std::vector<std::uint32_t>> readShaderFile(const std::filesystem::path& path);

// A 2D image (or array of layers) with optimal tiling and one sample.
VkImageCreateInfo imageCreateInfo(VkFormat format, std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                  std::uint32_t layers, VkImageUsageFlags usage);

// A pool for `maxSets` sets holding `sizes` descriptors in all.
VkResult createDescriptorPool(VkDevice device, const std::vector<VkDescriptorPoolSize>& sizes, std::uint32_t maxSets,
                              VkDescriptorPoolCreateFlags flags, VkDescriptorPool* pool);

// Bytes to 32-bit words (the caller has checked the size).
std::vector<std::uint32_t> spirvWords(const std::vector<std::uint8_t>& bytes);

}  // namespace zorv
