// The swapchain with its image views, and the offscreen targets the world and the post
// chain draw into at the render scale's fraction of the window.

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <algorithm>

#include "render/vulkan_renderer.h"
#include "render/vulkan_support.h"

namespace zorv {

void VulkanRenderer::createTarget(RenderTarget& target, VkFormat format, std::uint32_t width, std::uint32_t height,
                                  VkImageUsageFlags usage, VkImageAspectFlags aspect) {
  target = RenderTarget{};
  target.width = width;
  target.height = height;
  const VkImageCreateInfo imageInfo = imageCreateInfo(format, width, height, 1, 1, usage);
  VmaAllocationCreateInfo allocationInfo{};
  allocationInfo.usage = VMA_MEMORY_USAGE_AUTO_PREFER_DEVICE;
  ZORV_VK_CHECK(vmaCreateImage(allocator_, &imageInfo, &allocationInfo, &target.image, &target.allocation, nullptr));
  targetQueue_.push([this, &target] { destroyTarget(target); });
  VkImageViewCreateInfo viewInfo{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
  viewInfo.image = target.image;
  viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
  viewInfo.format = format;
  viewInfo.subresourceRange = {aspect, 0, 1, 0, 1};
  ZORV_VK_CHECK(vkCreateImageView(device_, &viewInfo, nullptr, &target.view));
}

void VulkanRenderer::destroyTarget(RenderTarget& target) {
  if (target.view) vkDestroyImageView(device_, target.view, nullptr);
  if (target.image) vmaDestroyImage(allocator_, target.image, target.allocation);
  target = RenderTarget{};
}

void VulkanRenderer::createSwapchain() {
  VkSurfaceCapabilitiesKHR capabilities;
  ZORV_VK_CHECK(vkGetPhysicalDeviceSurfaceCapabilitiesKHR(physicalDevice_, surface_, &capabilities));
  std::uint32_t count = 0;
  ZORV_VK_CHECK(vkGetPhysicalDeviceSurfaceFormatsKHR(physicalDevice_, surface_, &count, nullptr));
  std::vector<VkSurfaceFormatKHR> formats(count);
  ZORV_VK_CHECK(vkGetPhysicalDeviceSurfaceFormatsKHR(physicalDevice_, surface_, &count, formats.data()));
  ZORV_VK_CHECK(vkGetPhysicalDeviceSurfacePresentModesKHR(physicalDevice_, surface_, &count, nullptr));
  std::vector<VkPresentModeKHR> modes(count);
  ZORV_VK_CHECK(vkGetPhysicalDeviceSurfacePresentModesKHR(physicalDevice_, surface_, &count, modes.data()));

  const VkSurfaceFormatKHR format = chooseSurfaceFormat(formats);
  swapchainFormat_ = format.format;
  extent_ = capabilities.currentExtent;
  if (extent_.width == 0xFFFFFFFF) {
    int width = 0, height = 0;
    glfwGetFramebufferSize(window_, &width, &height);
    extent_.width = std::clamp(static_cast<std::uint32_t>(width), capabilities.minImageExtent.width, capabilities.maxImageExtent.width);
    extent_.height = std::clamp(static_cast<std::uint32_t>(height), capabilities.minImageExtent.height, capabilities.maxImageExtent.height);
  }
  VkFormatProperties hdr;
  vkGetPhysicalDeviceFormatProperties(physicalDevice_, VK_FORMAT_R16G16B16A16_SFLOAT, &hdr);
  const VkFormatFeatureFlags needed =
      VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT | VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BIT | VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BLEND_BIT;
  sceneFormat_ = (hdr.optimalTilingFeatures & needed) == needed ? VK_FORMAT_R16G16B16A16_SFLOAT : VK_FORMAT_R8G8B8A8_SRGB;

  const std::uint32_t families[] = {graphicsFamily_, presentFamily_};
  VkSwapchainCreateInfoKHR createInfo{VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR};
  createInfo.surface = surface_;
  createInfo.minImageCount = chooseImageCount(capabilities);
  createInfo.imageFormat = format.format;
  createInfo.imageColorSpace = format.colorSpace;
  createInfo.imageExtent = extent_;
  createInfo.imageArrayLayers = 1;
  createInfo.imageUsage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT;
  if (graphicsFamily_ != presentFamily_) {
    createInfo.imageSharingMode = VK_SHARING_MODE_CONCURRENT;
    createInfo.queueFamilyIndexCount = 2;
    createInfo.pQueueFamilyIndices = families;
  } else {
    createInfo.imageSharingMode = VK_SHARING_MODE_EXCLUSIVE;
  }
  createInfo.preTransform = capabilities.currentTransform;
  createInfo.compositeAlpha = chooseCompositeAlpha(capabilities.supportedCompositeAlpha);
  createInfo.presentMode = choosePresentMode(vsync_, modes);
  createInfo.clipped = VK_TRUE;
  ZORV_VK_CHECK(vkCreateSwapchainKHR(device_, &createInfo, nullptr, &swapchain_));
  swapchainQueue_.push([this] {
    vkDestroySwapchainKHR(device_, swapchain_, nullptr);
    swapchain_ = VK_NULL_HANDLE;
    swapchainImages_.clear();
    swapchainLayouts_.clear();
  });

  ZORV_VK_CHECK(vkGetSwapchainImagesKHR(device_, swapchain_, &count, nullptr));
  swapchainImages_.resize(count);
  ZORV_VK_CHECK(vkGetSwapchainImagesKHR(device_, swapchain_, &count, swapchainImages_.data()));
  swapchainLayouts_.assign(count, VK_IMAGE_LAYOUT_UNDEFINED);
  // Recorded before the views are made, so the ones made before a failure go too.
  swapchainQueue_.push([this] {
    for (VkImageView view : swapchainViews_) vkDestroyImageView(device_, view, nullptr);
    swapchainViews_.clear();
  });
  for (VkImage image : swapchainImages_) {
    VkImageViewCreateInfo viewInfo{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
    viewInfo.image = image;
    viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
    viewInfo.format = swapchainFormat_;
    viewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    VkImageView view = VK_NULL_HANDLE;
    ZORV_VK_CHECK(vkCreateImageView(device_, &viewInfo, nullptr, &view));
    swapchainViews_.push_back(view);
  }

  createTargets();
}

PostSizes VulkanRenderer::frameSizes() const { return scaledPostSizes({extent_.width, extent_.height}, renderScale_); }

// The world's and the post chain's images, at the render scale's fraction of the window.
void VulkanRenderer::createTargets() {
  const PostSizes sizes = frameSizes();
  const PostExtent drawn = sizes.full;
  constexpr VkImageUsageFlags colour = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT;
  createTarget(depth_, VK_FORMAT_D32_SFLOAT, drawn.width, drawn.height,
               VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT, VK_IMAGE_ASPECT_DEPTH_BIT);
  createTarget(scene_, sceneFormat_, drawn.width, drawn.height, colour, VK_IMAGE_ASPECT_COLOR_BIT);
  createTarget(composite_, swapchainFormat_, drawn.width, drawn.height, colour, VK_IMAGE_ASPECT_COLOR_BIT);
  createTarget(occlusion_, VK_FORMAT_R8_UNORM, sizes.occlusion.width, sizes.occlusion.height, colour, VK_IMAGE_ASPECT_COLOR_BIT);
  createTarget(occlusionBlur_, VK_FORMAT_R8_UNORM, sizes.occlusion.width, sizes.occlusion.height, colour, VK_IMAGE_ASPECT_COLOR_BIT);
  for (std::size_t level = 0; level < bloom_.size(); ++level)
    createTarget(bloom_[level], VK_FORMAT_R16G16B16A16_SFLOAT, sizes.bloom[level].width, sizes.bloom[level].height, colour,
                 VK_IMAGE_ASPECT_COLOR_BIT);
  createTarget(exposure_, VK_FORMAT_R16_SFLOAT, 1, 1, colour, VK_IMAGE_ASPECT_COLOR_BIT);
  prepareTargetLayouts();
  if (postSet_) writePostDescriptors();
}

// The depth target starts as a depth attachment; every sampled colour target starts
// readable, so a pass that is skipped never leaves an image in an unusable layout.
void VulkanRenderer::prepareTargetLayouts() {
  oneShot([this](VkCommandBuffer cmd) {
    LayoutTransition toDepth{VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT,
                             VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT, 0,
                             VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, 1};
    recordTransition(cmd, depth_.image, depth_.layout, toDepth);
    LayoutTransition toRead{VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT,
                            VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, 0, VK_ACCESS_SHADER_READ_BIT, 1};
    for (RenderTarget* target : {&scene_, &composite_, &occlusion_, &occlusionBlur_, &bloom_[0], &bloom_[1], &bloom_[2], &exposure_})
      recordTransition(cmd, target->image, target->layout, toRead);
  });
}

// Recreation and shutdown both come here: the targets, then the views and the swapchain.
void VulkanRenderer::destroySwapchain() {
  targetQueue_.flush();
  swapchainQueue_.flush();
}

void VulkanRenderer::recreateSwapchain() {
  int width = 0, height = 0;
  glfwGetFramebufferSize(window_, &width, &height);
  if (width == 0 || height == 0 || !device_) return;
  ZORV_VK_CHECK(vkDeviceWaitIdle(device_));
  destroySwapchain();
  createSwapchain();
}

void VulkanRenderer::onResize() { recreateSwapchain(); }

void VulkanRenderer::setRenderScale(float fraction) {
  const float scale = std::clamp(fraction, kMinRenderFraction, kMaxRenderFraction);
  if (scale == renderScale_) return;
  const PostExtent before = frameSizes().full;
  renderScale_ = scale;
  if (!device_ || !swapchain_ || frameSizes().full == before) return;
  ZORV_VK_CHECK(vkDeviceWaitIdle(device_));
  targetQueue_.flush();
  createTargets();
}

}  // namespace zorv
