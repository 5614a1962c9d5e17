#include "render/vulkan_support.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace zorv {

namespace {
constexpr std::uint32_t kSpirvMagic = 0x07230203;
}

void vulkanFailure(const char* callText, VkResult result, int line) {
  std::fprintf(stderr, "vulkan: %s failed (%d) at line %d\n", callText, static_cast<int>(result), line);
  throw std::runtime_error("vulkan failure");
}

std::optional<LayoutBarrier> planTransition(VkImage image, VkImageLayout& trackedLayout, const LayoutTransition& request) {
  if (trackedLayout == request.newLayout) return std::nullopt;
  LayoutBarrier result;
  result.sourceStage = request.sourceStage;
  result.destinationStage = request.destinationStage;
  VkImageMemoryBarrier& barrier = result.barrier;
  barrier.sType = VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER;
  barrier.srcAccessMask = request.sourceAccess;
  barrier.dstAccessMask = request.destinationAccess;
  if (trackedLayout == VK_IMAGE_LAYOUT_UNDEFINED) {
    result.sourceStage = VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT;
    barrier.srcAccessMask = 0;
  }
  barrier.oldLayout = trackedLayout;
  barrier.newLayout = request.newLayout;
  barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
  barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
  barrier.image = image;
  barrier.subresourceRange = {request.aspect, 0, 1, 0, request.layerCount};
  trackedLayout = request.newLayout;
  return result;
}

void recordTransition(VkCommandBuffer commandBuffer, VkImage image, VkImageLayout& trackedLayout,
                      const LayoutTransition& request) {
  const std::optional<LayoutBarrier> planned = planTransition(image, trackedLayout, request);
  if (!planned) return;
  vkCmdPipelineBarrier(commandBuffer, planned->sourceStage, planned->destinationStage, 0, 0, nullptr, 0, nullptr, 1,
                       &planned->barrier);
}

int deviceScore(const DeviceTraits& device) {
  if (!device.hasGraphicsQueue || !device.hasPresentQueue || !device.hasSwapchain) return -1;
  if (!device.dynamicRenderingFeature) return -1;
  if (device.apiVersion < VK_API_VERSION_1_3 && !device.hasDynamicRenderingExtension) return -1;
  return static_cast<int>(VK_API_VERSION_MINOR(device.apiVersion)) + (device.discrete ? 1000 : 500);
}

int chooseDevice(const std::vector<DeviceTraits>& devices) {
  int best = -1;
  int bestScore = -1;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const int score = deviceScore(devices[i]);
    if (score > bestScore) {
      best = static_cast<int>(i);
      bestScore = score;
    }
  }
  return best;
}

VkSurfaceFormatKHR chooseSurfaceFormat(const std::vector<VkSurfaceFormatKHR>& formats) {
  for (const VkSurfaceFormatKHR& format : formats) {
    if (format.format == VK_FORMAT_B8G8R8A8_SRGB && format.colorSpace == VK_COLOR_SPACE_SRGB_NONLINEAR_KHR) return format;
  }
  return formats.empty() ? VkSurfaceFormatKHR{VK_FORMAT_B8G8R8A8_SRGB, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR} : formats.front();
}

VkPresentModeKHR choosePresentMode(bool vsync, const std::vector<VkPresentModeKHR>& modes) {
  if (vsync) return VK_PRESENT_MODE_FIFO_KHR;
  auto offered = [&](VkPresentModeKHR mode) {
    for (VkPresentModeKHR m : modes)
      if (m == mode) return true;
    return false;
  };
  if (offered(VK_PRESENT_MODE_IMMEDIATE_KHR)) return VK_PRESENT_MODE_IMMEDIATE_KHR;
  if (offered(VK_PRESENT_MODE_MAILBOX_KHR)) return VK_PRESENT_MODE_MAILBOX_KHR;
  return VK_PRESENT_MODE_FIFO_KHR;
}

std::uint32_t chooseImageCount(const VkSurfaceCapabilitiesKHR& capabilities) {
  std::uint32_t count = capabilities.minImageCount + 1;
  if (capabilities.maxImageCount != 0 && count > capabilities.maxImageCount) count = capabilities.maxImageCount;
  return count;
}

VkCompositeAlphaFlagBitsKHR chooseCompositeAlpha(VkCompositeAlphaFlagsKHR supported) {
  for (VkCompositeAlphaFlagBitsKHR candidate :
       {VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR, VK_COMPOSITE_ALPHA_PRE_MULTIPLIED_BIT_KHR, VK_COMPOSITE_ALPHA_POST_MULTIPLIED_BIT_KHR}) {
    if ((supported & candidate) != 0) return candidate;
  }
  return VK_COMPOSITE_ALPHA_INHERIT_BIT_KHR;
}

std::optional<std::vector<std::uint32_t>> readShaderFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) {
    std::fprintf(stderr, "shader not found: %s\n", path.string().c_str());
    return std::nullopt;
  }
  const std::streamoff size = file.tellg();
  if (size <= 0 || size % 4 != 0) {
    std::fprintf(stderr, "shader has invalid size: %s\n", path.string().c_str());
    return std::nullopt;
  }
  std::vector<std::uint32_t> words(static_cast<std::size_t>(size) / 4);
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(words.data()), size)) {
    std::fprintf(stderr, "shader not found: %s\n", path.string().c_str());
    return std::nullopt;
  }
  if (words[0] != kSpirvMagic) {
    std::fprintf(stderr, "shader is not SPIR-V: %s\n", path.string().c_str());
    return std::nullopt;
  }
  return words;
}

VkImageCreateInfo imageCreateInfo(VkFormat format, std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                  std::uint32_t layers, VkImageUsageFlags usage) {
  VkImageCreateInfo imageInfo{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
  imageInfo.imageType = VK_IMAGE_TYPE_2D;
  imageInfo.format = format;
  imageInfo.extent = {width, height, 1};
  imageInfo.mipLevels = levels;
  imageInfo.arrayLayers = layers;
  imageInfo.samples = VK_SAMPLE_COUNT_1_BIT;
  imageInfo.tiling = VK_IMAGE_TILING_OPTIMAL;
  imageInfo.usage = usage;
  imageInfo.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
  return imageInfo;
}

VkResult createDescriptorPool(VkDevice device, const std::vector<VkDescriptorPoolSize>& sizes, std::uint32_t maxSets,
                              VkDescriptorPoolCreateFlags flags, VkDescriptorPool* pool) {
  VkDescriptorPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO};
  poolInfo.flags = flags;
  poolInfo.maxSets = maxSets;
  poolInfo.poolSizeCount = static_cast<std::uint32_t>(sizes.size());
  poolInfo.pPoolSizes = sizes.data();
  return vkCreateDescriptorPool(device, &poolInfo, nullptr, pool);
}

std::vector<std::uint32_t> spirvWords(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint32_t> words(bytes.size() / 4);
  std::memcpy(words.data(), bytes.data(), words.size() * 4);
  return words;
}

}  // namespace zorv
