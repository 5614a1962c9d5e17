// Frame capture: one ordinary frame whose swapchain image is copied into a host buffer
// and written as a PNG file with metadata.

#include <cstring>

#include "render/vulkan_renderer.h"

namespace zorv {

bool VulkanRenderer::captureFrame(const std::array<float, 16>& viewProjection, Vec3 cameraPosition,
                                  const std::vector<EntityInstance>& entities, const std::vector<ParticleInstance>& particles,
                                  const std::filesystem::path& path, const ScreenshotMetadata& metadata) {
  if (!initialised_ || !device_ || !swapchain_) return false;
  const VkExtent2D extent = extent_;
  VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  bufferInfo.size = static_cast<VkDeviceSize>(extent.width) * extent.height * 4;
  bufferInfo.usage = VK_BUFFER_USAGE_TRANSFER_DST_BIT;
  VmaAllocationCreateInfo allocationInfo{};
  allocationInfo.usage = VMA_MEMORY_USAGE_AUTO;
  allocationInfo.flags = VMA_ALLOCATION_CREATE_HOST_ACCESS_RANDOM_BIT | VMA_ALLOCATION_CREATE_MAPPED_BIT;
  VmaAllocationInfo info{};
  if (vmaCreateBuffer(allocator_, &bufferInfo, &allocationInfo, &readbackBuffer_, &readbackAllocation_, &info) != VK_SUCCESS) {
    readbackBuffer_ = VK_NULL_HANDLE;
    readbackAllocation_ = nullptr;
    return false;
  }
  readbackMemory_ = info.pMappedData;
  std::memset(readbackMemory_, 0, bufferInfo.size);
  auto release = [this] {
    vmaDestroyBuffer(allocator_, readbackBuffer_, readbackAllocation_);
    readbackBuffer_ = VK_NULL_HANDLE;
    readbackAllocation_ = nullptr;
    readbackMemory_ = nullptr;
  };
  readbackCopied_ = false;
  try {
    drawFrame(viewProjection, cameraPosition, entities, particles);
  } catch (...) {
    release();
    throw;
  }
  // A frame skipped for a recreated swapchain copied nothing: no picture rather than a black one.
  bool written = false;
  if (readbackCopied_) {
    vmaInvalidateAllocation(allocator_, readbackAllocation_, 0, VK_WHOLE_SIZE);
    const bool swap = swapchainFormat_ == VK_FORMAT_B8G8R8A8_SRGB || swapchainFormat_ == VK_FORMAT_B8G8R8A8_UNORM;
    std::error_code error;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);
    written = writePng(path, extent.width, extent.height, static_cast<const std::uint8_t*>(readbackMemory_), swap, metadata);
  }
  vkDeviceWaitIdle(device_);
  release();
  return written;
}

}  // namespace zorv
