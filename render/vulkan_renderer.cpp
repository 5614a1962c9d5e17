#include "render/vulkan_renderer.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <fontconfig/fontconfig.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>
#include <imgui_impl_vulkan.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "content/resource_packs.h"
#include "platform/platform.h"
#include "platform/version.h"
#include "render/vulkan_support.h"
#include "lang/localisation.h"
#include "world/registry.h"
#include "world/villages.h"

namespace zorv {

namespace {

constexpr std::uint32_t kAppVersion = VK_MAKE_VERSION(kProjectVersionMajor, kProjectVersionMinor, kProjectVersionPatch);
constexpr VkDeviceSize kVisualUniformSize = sizeof(VisualUniforms);
constexpr VkDeviceSize kFrameUniformSize = sizeof(FrameUniforms);

VKAPI_ATTR VkBool32 VKAPI_CALL reportValidation(VkDebugUtilsMessageSeverityFlagBitsEXT severity,
                                                VkDebugUtilsMessageTypeFlagsEXT, const VkDebugUtilsMessengerCallbackDataEXT* data,
                                                void*) {
  if (severity >= VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT) std::fprintf(stderr, "[validation] %s\n", data->pMessage);
  return VK_FALSE;
}

bool hasLayer(const char* name) {
  std::uint32_t count = 0;
  vkEnumerateInstanceLayerProperties(&count, nullptr);
  std::vector<VkLayerProperties> layers(count);
  vkEnumerateInstanceLayerProperties(&count, layers.data());
  return std::any_of(layers.begin(), layers.end(), [&](const VkLayerProperties& l) { return std::strcmp(l.layerName, name) == 0; });
}

bool hasInstanceExtension(const char* name) {
  std::uint32_t count = 0;
  vkEnumerateInstanceExtensionProperties(nullptr, &count, nullptr);
  std::vector<VkExtensionProperties> extensions(count);
  vkEnumerateInstanceExtensionProperties(nullptr, &count, extensions.data());
  return std::any_of(extensions.begin(), extensions.end(),
                     [&](const VkExtensionProperties& e) { return std::strcmp(e.extensionName, name) == 0; });
}

std::vector<VkExtensionProperties> deviceExtensions(VkPhysicalDevice device) {
  std::uint32_t count = 0;
  vkEnumerateDeviceExtensionProperties(device, nullptr, &count, nullptr);
  std::vector<VkExtensionProperties> extensions(count);
  vkEnumerateDeviceExtensionProperties(device, nullptr, &count, extensions.data());
  return extensions;
}

bool offers(const std::vector<VkExtensionProperties>& extensions, const char* name) {
  return std::any_of(extensions.begin(), extensions.end(),
                     [&](const VkExtensionProperties& e) { return std::strcmp(e.extensionName, name) == 0; });
}

std::uint32_t capVersion(std::uint32_t version) { return std::min(version, static_cast<std::uint32_t>(VK_API_VERSION_1_3)); }

// Glyphs of the Chinese face: Dear ImGui's common simplified set plus every character of
// the translated texts and the village names, a few of which the common set lacks. Built
// once and kept: the atlas reads the ranges when it is built, after the font is added.
const ImWchar* chineseGlyphRanges() {
  static const ImVector<ImWchar> ranges = [] {
    ImFontGlyphRangesBuilder builder;
    builder.AddRanges(ImGui::GetIO().Fonts->GetGlyphRangesChineseSimplifiedCommon());
    for (const Translation& row : translationTable()) {
      if (row.chinese) builder.AddText(row.chinese);
    }
    builder.AddText(chineseVillageNameText().c_str());
    ImVector<ImWchar> built;
    builder.BuildRanges(&built);
    return built;
  }();
  return ranges.Data;
}

// Font files that cover simplified Chinese: fontconfig's best match first, then the
// usual locations of WenQuanYi Micro Hei and Noto Sans CJK.
std::vector<std::string> chineseFontCandidates() {
  std::vector<std::string> candidates;
  if (FcInit()) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=zh-cn"));
    if (pattern) {
      FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
      FcDefaultSubstitute(pattern);
      FcResult result = FcResultNoMatch;
      FcPattern* match = FcFontMatch(nullptr, pattern, &result);
      FcChar8* file = nullptr;
      FcLangSet* languages = nullptr;
      if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
          FcPatternGetLangSet(match, FC_LANG, 0, &languages) == FcResultMatch &&
          FcLangSetHasLang(languages, reinterpret_cast<const FcChar8*>("zh-cn")) != FcLangDifferentLang) {
        candidates.emplace_back(reinterpret_cast<const char*>(file));
      }
      if (match) FcPatternDestroy(match);
      FcPatternDestroy(pattern);
    }
  }
  candidates.emplace_back("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc");
  candidates.emplace_back("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc");
  return candidates;
}

}  // namespace

VulkanRenderer::VulkanRenderer() : VulkanRenderer(platform::baseFolder()) {}
VulkanRenderer::VulkanRenderer(std::filesystem::path baseFolder) : baseFolder_(std::move(baseFolder)) {}

VulkanRenderer::~VulkanRenderer() { shutdown(); }

bool VulkanRenderer::init(GLFWwindow* window, bool vsync) {
  window_ = window;
  vsync_ = vsync;
  if (volkInitialize() != VK_SUCCESS) {
    std::fprintf(stderr, "vulkan: loader not available\n");
    return false;
  }
  loaderReady_ = true;
  try {
    createInstance();
    ZORV_VK_CHECK(glfwCreateWindowSurface(instance_, window_, nullptr, &surface_));
    chooseDevice();
    createDevice();
    createAllocator();
    const std::filesystem::path packs = baseFolder_ / "resourcepacks";
    visual_ = loadVisualSettings(packs);
    overrides_ = loadShaderOverrides(packs);
    createUniformBuffers();
    createSwapchain();
    createTextureArray();
    createShadowMap();
    modelTable_.assign(blockRegistry().count() + 4, GpuMesh{});
    createWorldDescriptors();
    createBlockPipelines();
    createShadowPipeline();
    createPostProcessing();
    createFrames();
    gpuTimer_.create(device_, physicalDevice_, graphicsFamily_, static_cast<std::uint32_t>(frames_.size()));
    createImGui();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vulkan: init failed: %s\n", error.what());
    return false;
  }
  initialised_ = true;
  return true;
}

void VulkanRenderer::createInstance() {
  std::uint32_t loaderVersion = VK_API_VERSION_1_0;
  if (vkEnumerateInstanceVersion) vkEnumerateInstanceVersion(&loaderVersion);
  VkApplicationInfo app{VK_STRUCTURE_TYPE_APPLICATION_INFO};
  app.pApplicationName = "Zorvander";
  app.applicationVersion = kAppVersion;
  app.pEngineName = "Zorvander";
  app.engineVersion = kAppVersion;
  app.apiVersion = std::clamp(loaderVersion, static_cast<std::uint32_t>(VK_API_VERSION_1_0), static_cast<std::uint32_t>(VK_API_VERSION_1_3));

  std::uint32_t glfwCount = 0;
  const char** glfwExtensions = glfwGetRequiredInstanceExtensions(&glfwCount);
  std::vector<const char*> extensions(glfwExtensions, glfwExtensions + glfwCount);
  std::vector<const char*> layers;
  bool debugUtils = false;
  if (hasLayer("VK_LAYER_KHRONOS_validation")) {
    layers.push_back("VK_LAYER_KHRONOS_validation");
    if (hasInstanceExtension(VK_EXT_DEBUG_UTILS_EXTENSION_NAME)) {
      extensions.push_back(VK_EXT_DEBUG_UTILS_EXTENSION_NAME);
      debugUtils = true;
    }
  }
  VkInstanceCreateInfo createInfo{VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
  createInfo.pApplicationInfo = &app;
  createInfo.enabledExtensionCount = static_cast<std::uint32_t>(extensions.size());
  createInfo.ppEnabledExtensionNames = extensions.data();
  createInfo.enabledLayerCount = static_cast<std::uint32_t>(layers.size());
  createInfo.ppEnabledLayerNames = layers.data();
  ZORV_VK_CHECK(vkCreateInstance(&createInfo, nullptr, &instance_));
  volkLoadInstance(instance_);

  if (debugUtils) {
    VkDebugUtilsMessengerCreateInfoEXT messenger{VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT};
    messenger.messageSeverity = VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT;
    messenger.messageType = VK_DEBUG_UTILS_MESSAGE_TYPE_GENERAL_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT |
                            VK_DEBUG_UTILS_MESSAGE_TYPE_PERFORMANCE_BIT_EXT;
    messenger.pfnUserCallback = reportValidation;
    if (vkCreateDebugUtilsMessengerEXT(instance_, &messenger, nullptr, &debugMessenger_) != VK_SUCCESS)
      debugMessenger_ = VK_NULL_HANDLE;
  }
}

void VulkanRenderer::chooseDevice() {
  std::uint32_t count = 0;
  ZORV_VK_CHECK(vkEnumeratePhysicalDevices(instance_, &count, nullptr));
  if (count == 0) throw std::runtime_error("no Vulkan device");
  std::vector<VkPhysicalDevice> devices(count);
  ZORV_VK_CHECK(vkEnumeratePhysicalDevices(instance_, &count, devices.data()));

  std::uint32_t loaderVersion = VK_API_VERSION_1_0;
  if (vkEnumerateInstanceVersion) vkEnumerateInstanceVersion(&loaderVersion);
  const std::uint32_t cap = capVersion(loaderVersion);

  struct Families {
    std::uint32_t graphics = UINT32_MAX, present = UINT32_MAX;
  };
  std::vector<DeviceTraits> traits;
  std::vector<Families> families;
  for (VkPhysicalDevice device : devices) {
    VkPhysicalDeviceProperties properties;
    vkGetPhysicalDeviceProperties(device, &properties);
    DeviceTraits t;
    t.apiVersion = std::min(cap, properties.apiVersion);
    t.discrete = properties.deviceType == VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU;
    std::uint32_t familyCount = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(device, &familyCount, nullptr);
    std::vector<VkQueueFamilyProperties> queueFamilies(familyCount);
    vkGetPhysicalDeviceQueueFamilyProperties(device, &familyCount, queueFamilies.data());
    Families f;
    for (std::uint32_t i = 0; i < familyCount; ++i) {
      if (f.graphics == UINT32_MAX && (queueFamilies[i].queueFlags & VK_QUEUE_GRAPHICS_BIT)) f.graphics = i;
      VkBool32 present = VK_FALSE;
      vkGetPhysicalDeviceSurfaceSupportKHR(device, i, surface_, &present);
      if (f.present == UINT32_MAX && present) f.present = i;
    }
    t.hasGraphicsQueue = f.graphics != UINT32_MAX;
    t.hasPresentQueue = f.present != UINT32_MAX;
    const std::vector<VkExtensionProperties> extensions = deviceExtensions(device);
    t.hasSwapchain = offers(extensions, VK_KHR_SWAPCHAIN_EXTENSION_NAME);
    t.hasDynamicRenderingExtension = offers(extensions, VK_KHR_DYNAMIC_RENDERING_EXTENSION_NAME);
    VkPhysicalDeviceFeatures2 features{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2};
    VkPhysicalDeviceVulkan13Features features13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
    VkPhysicalDeviceDynamicRenderingFeatures dynamicFeatures{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DYNAMIC_RENDERING_FEATURES};
    const bool core13 = t.apiVersion >= VK_API_VERSION_1_3;
    features.pNext = core13 ? static_cast<void*>(&features13) : static_cast<void*>(&dynamicFeatures);
    if (core13 || t.hasDynamicRenderingExtension) {
      if (vkGetPhysicalDeviceFeatures2) vkGetPhysicalDeviceFeatures2(device, &features);
      else if (vkGetPhysicalDeviceFeatures2KHR) vkGetPhysicalDeviceFeatures2KHR(device, &features);
    }
    t.dynamicRenderingFeature = core13 ? features13.dynamicRendering == VK_TRUE : dynamicFeatures.dynamicRendering == VK_TRUE;
    traits.push_back(t);
    families.push_back(f);
  }
  const int chosen = zorv::chooseDevice(traits);
  if (chosen < 0) throw std::runtime_error("no device with Vulkan dynamic rendering support");
  const auto index = static_cast<std::size_t>(chosen);
  physicalDevice_ = devices[index];
  apiVersion_ = traits[index].apiVersion;
  graphicsFamily_ = families[index].graphics;
  presentFamily_ = families[index].present;
  core13_ = apiVersion_ >= VK_API_VERSION_1_3;
  hasDynamicRenderingExtension_ = traits[index].hasDynamicRenderingExtension;
  VkPhysicalDeviceProperties properties;
  vkGetPhysicalDeviceProperties(physicalDevice_, &properties);
  deviceName_ = std::string(properties.deviceName, strnlen(properties.deviceName, sizeof properties.deviceName));
  std::printf("GPU: %s (Vulkan %u.%u.%u)\n", deviceName_.c_str(), VK_API_VERSION_MAJOR(apiVersion_),
              VK_API_VERSION_MINOR(apiVersion_), VK_API_VERSION_PATCH(apiVersion_));
}

void VulkanRenderer::createDevice() {
  const float priority = 1.0f;
  std::vector<VkDeviceQueueCreateInfo> queues;
  for (std::uint32_t family : {graphicsFamily_, presentFamily_}) {
    if (!queues.empty() && queues.front().queueFamilyIndex == family) continue;
    VkDeviceQueueCreateInfo queue{VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO};
    queue.queueFamilyIndex = family;
    queue.queueCount = 1;
    queue.pQueuePriorities = &priority;
    queues.push_back(queue);
  }
  std::vector<const char*> extensions{VK_KHR_SWAPCHAIN_EXTENSION_NAME};
  if (hasDynamicRenderingExtension_) extensions.push_back(VK_KHR_DYNAMIC_RENDERING_EXTENSION_NAME);
  VkPhysicalDeviceVulkan13Features features13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
  features13.dynamicRendering = VK_TRUE;
  VkPhysicalDeviceDynamicRenderingFeatures dynamicFeatures{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DYNAMIC_RENDERING_FEATURES};
  dynamicFeatures.dynamicRendering = VK_TRUE;
  VkDeviceCreateInfo createInfo{VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO};
  createInfo.pNext = core13_ ? static_cast<void*>(&features13) : static_cast<void*>(&dynamicFeatures);
  createInfo.queueCreateInfoCount = static_cast<std::uint32_t>(queues.size());
  createInfo.pQueueCreateInfos = queues.data();
  createInfo.enabledExtensionCount = static_cast<std::uint32_t>(extensions.size());
  createInfo.ppEnabledExtensionNames = extensions.data();
  ZORV_VK_CHECK(vkCreateDevice(physicalDevice_, &createInfo, nullptr, &device_));
  volkLoadDevice(device_);
  vkGetDeviceQueue(device_, graphicsFamily_, 0, &graphicsQueue_);
  vkGetDeviceQueue(device_, presentFamily_, 0, &presentQueue_);
  auto resolve = [this](const char* core, const char* khr) {
    PFN_vkVoidFunction f = vkGetDeviceProcAddr(device_, core);
    return f ? f : vkGetDeviceProcAddr(device_, khr);
  };
  beginRendering_ = reinterpret_cast<PFN_vkCmdBeginRendering>(resolve("vkCmdBeginRendering", "vkCmdBeginRenderingKHR"));
  endRendering_ = reinterpret_cast<PFN_vkCmdEndRendering>(resolve("vkCmdEndRendering", "vkCmdEndRenderingKHR"));
  if (!beginRendering_ || !endRendering_) throw std::runtime_error("dynamic rendering entry points unavailable");
}

void VulkanRenderer::createAllocator() {
  VmaVulkanFunctions functions{};
  functions.vkGetInstanceProcAddr = vkGetInstanceProcAddr;
  functions.vkGetDeviceProcAddr = vkGetDeviceProcAddr;
  VmaAllocatorCreateInfo info{};
  info.vulkanApiVersion = apiVersion_;
  info.physicalDevice = physicalDevice_;
  info.device = device_;
  info.instance = instance_;
  info.pVulkanFunctions = &functions;
  ZORV_VK_CHECK(vmaCreateAllocator(&info, &allocator_));
}

void VulkanRenderer::createUniformBuffers() {
  VmaAllocationCreateInfo allocationInfo{};
  allocationInfo.usage = VMA_MEMORY_USAGE_AUTO_PREFER_DEVICE;
  VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  bufferInfo.usage = VK_BUFFER_USAGE_TRANSFER_DST_BIT | VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT;
  bufferInfo.size = kVisualUniformSize;
  ZORV_VK_CHECK(vmaCreateBuffer(allocator_, &bufferInfo, &allocationInfo, &visualBuffer_, &visualAllocation_, nullptr));
  bufferInfo.size = kFrameUniformSize;
  ZORV_VK_CHECK(vmaCreateBuffer(allocator_, &bufferInfo, &allocationInfo, &frameBuffer_, &frameAllocation_, nullptr));
}

void VulkanRenderer::oneShot(const std::function<void(VkCommandBuffer)>& record) {
  VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
  poolInfo.flags = VK_COMMAND_POOL_CREATE_TRANSIENT_BIT;
  poolInfo.queueFamilyIndex = graphicsFamily_;
  VkCommandPool pool = VK_NULL_HANDLE;
  ZORV_VK_CHECK(vkCreateCommandPool(device_, &poolInfo, nullptr, &pool));
  VkFence fence = VK_NULL_HANDLE;
  try {
    VkCommandBufferAllocateInfo allocateInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    allocateInfo.commandPool = pool;
    allocateInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    allocateInfo.commandBufferCount = 1;
    VkCommandBuffer cmd = VK_NULL_HANDLE;
    ZORV_VK_CHECK(vkAllocateCommandBuffers(device_, &allocateInfo, &cmd));
    VkCommandBufferBeginInfo beginInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    beginInfo.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
    ZORV_VK_CHECK(vkBeginCommandBuffer(cmd, &beginInfo));
    record(cmd);
    ZORV_VK_CHECK(vkEndCommandBuffer(cmd));
    VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
    ZORV_VK_CHECK(vkCreateFence(device_, &fenceInfo, nullptr, &fence));
    VkSubmitInfo submitInfo{VK_STRUCTURE_TYPE_SUBMIT_INFO};
    submitInfo.commandBufferCount = 1;
    submitInfo.pCommandBuffers = &cmd;
    ZORV_VK_CHECK(vkQueueSubmit(graphicsQueue_, 1, &submitInfo, fence));
    ZORV_VK_CHECK(vkWaitForFences(device_, 1, &fence, VK_TRUE, UINT64_MAX));
  } catch (...) {
    if (fence) vkDestroyFence(device_, fence, nullptr);
    vkDestroyCommandPool(device_, pool, nullptr);
    throw;
  }
  vkDestroyFence(device_, fence, nullptr);
  vkDestroyCommandPool(device_, pool, nullptr);
}

RenderTarget VulkanRenderer::createTarget(VkFormat format, std::uint32_t width, std::uint32_t height, VkImageUsageFlags usage,
                                          VkImageAspectFlags aspect) {
  RenderTarget target;
  target.width = width;
  target.height = height;
  const VkImageCreateInfo imageInfo = imageCreateInfo(format, width, height, 1, 1, usage);
  VmaAllocationCreateInfo allocationInfo{};
  allocationInfo.usage = VMA_MEMORY_USAGE_AUTO_PREFER_DEVICE;
  ZORV_VK_CHECK(vmaCreateImage(allocator_, &imageInfo, &allocationInfo, &target.image, &target.allocation, nullptr));
  VkImageViewCreateInfo viewInfo{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
  viewInfo.image = target.image;
  viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
  viewInfo.format = format;
  viewInfo.subresourceRange = {aspect, 0, 1, 0, 1};
  ZORV_VK_CHECK(vkCreateImageView(device_, &viewInfo, nullptr, &target.view));
  return target;
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

  ZORV_VK_CHECK(vkGetSwapchainImagesKHR(device_, swapchain_, &count, nullptr));
  swapchainImages_.resize(count);
  ZORV_VK_CHECK(vkGetSwapchainImagesKHR(device_, swapchain_, &count, swapchainImages_.data()));
  swapchainLayouts_.assign(count, VK_IMAGE_LAYOUT_UNDEFINED);
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
  depth_ = createTarget(VK_FORMAT_D32_SFLOAT, drawn.width, drawn.height,
                        VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT, VK_IMAGE_ASPECT_DEPTH_BIT);
  scene_ = createTarget(sceneFormat_, drawn.width, drawn.height, colour, VK_IMAGE_ASPECT_COLOR_BIT);
  composite_ = createTarget(swapchainFormat_, drawn.width, drawn.height, colour, VK_IMAGE_ASPECT_COLOR_BIT);
  occlusion_ = createTarget(VK_FORMAT_R8_UNORM, sizes.occlusion.width, sizes.occlusion.height, colour, VK_IMAGE_ASPECT_COLOR_BIT);
  occlusionBlur_ = createTarget(VK_FORMAT_R8_UNORM, sizes.occlusion.width, sizes.occlusion.height, colour, VK_IMAGE_ASPECT_COLOR_BIT);
  for (std::size_t level = 0; level < bloom_.size(); ++level)
    bloom_[level] = createTarget(VK_FORMAT_R16G16B16A16_SFLOAT, sizes.bloom[level].width, sizes.bloom[level].height, colour,
                                 VK_IMAGE_ASPECT_COLOR_BIT);
  exposure_ = createTarget(VK_FORMAT_R16_SFLOAT, 1, 1, colour, VK_IMAGE_ASPECT_COLOR_BIT);
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

void VulkanRenderer::destroyTargets() {
  for (RenderTarget* target :
       {&depth_, &scene_, &composite_, &occlusion_, &occlusionBlur_, &bloom_[0], &bloom_[1], &bloom_[2], &exposure_})
    destroyTarget(*target);
}

void VulkanRenderer::destroySwapchain() {
  destroyTargets();
  for (VkImageView view : swapchainViews_) vkDestroyImageView(device_, view, nullptr);
  swapchainViews_.clear();
  if (swapchain_) vkDestroySwapchainKHR(device_, swapchain_, nullptr);
  swapchain_ = VK_NULL_HANDLE;
  swapchainImages_.clear();
  swapchainLayouts_.clear();
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

void VulkanRenderer::createFrames() {
  for (FrameResources& frame : frames_) {
    VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
    poolInfo.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
    poolInfo.queueFamilyIndex = graphicsFamily_;
    ZORV_VK_CHECK(vkCreateCommandPool(device_, &poolInfo, nullptr, &frame.commandPool));
    VkCommandBufferAllocateInfo allocateInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    allocateInfo.commandPool = frame.commandPool;
    allocateInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    allocateInfo.commandBufferCount = 1;
    ZORV_VK_CHECK(vkAllocateCommandBuffers(device_, &allocateInfo, &frame.commandBuffer));
    VkSemaphoreCreateInfo semaphoreInfo{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
    ZORV_VK_CHECK(vkCreateSemaphore(device_, &semaphoreInfo, nullptr, &frame.imageAvailable));
    ZORV_VK_CHECK(vkCreateSemaphore(device_, &semaphoreInfo, nullptr, &frame.renderFinished));
    VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
    fenceInfo.flags = VK_FENCE_CREATE_SIGNALED_BIT;
    ZORV_VK_CHECK(vkCreateFence(device_, &fenceInfo, nullptr, &frame.fence));
  }
}

void VulkanRenderer::createImGui() {
  const std::uint32_t sets = layerCount_ + 1;
  ZORV_VK_CHECK(createDescriptorPool(device_, {{VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, sets}}, sets,
                                     VK_DESCRIPTOR_POOL_CREATE_FREE_DESCRIPTOR_SET_BIT, &imguiPool_));

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  imguiContext_ = true;
  ImGui::StyleColorsDark();
  ImGuiStyle& style = ImGui::GetStyle();
  style.WindowPadding = ImVec2(12, 12);
  style.WindowRounding = 0.0f;
  style.WindowBorderSize = 1.0f;
  style.FrameRounding = 3.0f;
  ImVec4* colours = style.Colors;
  colours[ImGuiCol_WindowBg] = ImVec4(0.09f, 0.10f, 0.11f, 0.94f);
  colours[ImGuiCol_Border] = ImVec4(0.24f, 0.25f, 0.27f, 0.60f);
  colours[ImGuiCol_TitleBg] = ImVec4(0.13f, 0.14f, 0.15f, 1.0f);
  colours[ImGuiCol_TitleBgActive] = ImVec4(0.16f, 0.17f, 0.19f, 1.0f);
  colours[ImGuiCol_CheckMark] = ImVec4(0.55f, 0.72f, 0.45f, 1.0f);
  colours[ImGuiCol_Button] = ImVec4(0.17f, 0.19f, 0.21f, 1.0f);
  colours[ImGuiCol_ButtonHovered] = ImVec4(0.23f, 0.26f, 0.29f, 1.0f);
  colours[ImGuiCol_ButtonActive] = ImVec4(0.29f, 0.33f, 0.36f, 1.0f);
  colours[ImGuiCol_Header] = ImVec4(0.20f, 0.23f, 0.25f, 1.0f);
  colours[ImGuiCol_HeaderHovered] = ImVec4(0.26f, 0.29f, 0.32f, 1.0f);
  colours[ImGuiCol_Separator] = ImVec4(0.26f, 0.27f, 0.29f, 1.0f);

  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  for (const std::string& candidate : chineseFontCandidates()) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(candidate, error)) continue;
    if (io.Fonts->AddFontFromFileTTF(candidate.c_str(), 16.0f, nullptr, chineseGlyphRanges())) {
      uiFontPath_ = candidate;
      break;
    }
  }
  if (uiFontPath_.empty()) io.Fonts->AddFontDefault();

  if (!ImGui_ImplGlfw_InitForVulkan(window_, true)) throw std::runtime_error("imgui glfw init failed");
  ImGui_ImplVulkan_LoadFunctions([](const char* name, void* instance) {
    return vkGetInstanceProcAddr(*static_cast<VkInstance*>(instance), name);
  }, &instance_);
  ImGui_ImplVulkan_InitInfo info{};
  info.Instance = instance_;
  info.PhysicalDevice = physicalDevice_;
  info.Device = device_;
  info.QueueFamily = graphicsFamily_;
  info.Queue = graphicsQueue_;
  info.DescriptorPool = imguiPool_;
  info.MinImageCount = 2;
  info.ImageCount = static_cast<std::uint32_t>(swapchainImages_.size());
  info.MSAASamples = VK_SAMPLE_COUNT_1_BIT;
  info.UseDynamicRendering = true;
  info.ColorAttachmentFormat = swapchainFormat_;
  // No MinAllocationSize: this back-end version records the allocation size as the buffer's
  // size, so a frame with more vertices than the first would read past the buffer's end.
  if (!ImGui_ImplVulkan_Init(&info, VK_NULL_HANDLE)) throw std::runtime_error("imgui vulkan init failed");
  for (VkImageView view : textureLayerViews_) {
    VkDescriptorSet set = ImGui_ImplVulkan_AddTexture(sampler_, view, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL);
    layerTextures_.push_back(reinterpret_cast<std::uint64_t>(set));
  }
}

void VulkanRenderer::beginUiFrame() {
  if (!imguiContext_) return;
  if (uiFrameOpen_) ImGui::EndFrame();  // the last frame was never drawn (swapchain recreated)
  ImGui_ImplVulkan_NewFrame();
  ImGui_ImplGlfw_NewFrame();
  ImGui::NewFrame();
  uiFrameOpen_ = true;
}

std::uint64_t VulkanRenderer::layerTexture(std::uint32_t layer) const {
  return layer < layerTextures_.size() ? layerTextures_[layer] : 0;
}

std::size_t VulkanRenderer::triangleCount() const {
  std::size_t triangles = 0;
  for (const auto& entry : opaqueMeshes_) triangles += entry.second.indexCount / 3;
  return triangles;
}

void VulkanRenderer::setEnvironment(float daylight, float fogDistance, Vec3 sunDirection) {
  fogDistance_ = fogDistance;
  daylight_ = std::clamp(daylight, 0.0f, 1.0f);
  const float length = std::sqrt(sunDirection.x * sunDirection.x + sunDirection.y * sunDirection.y + sunDirection.z * sunDirection.z);
  if (length > 0.0001f) sunDirection_ = {sunDirection.x / length, sunDirection.y / length, sunDirection.z / length};
}

void VulkanRenderer::setEffects(bool shadows, bool postProcessing) {
  shadowsEnabled_ = shadows;
  postEnabled_ = postProcessing;
}

void VulkanRenderer::setRenderScale(float fraction) {
  const float scale = std::clamp(fraction, kMinRenderFraction, kMaxRenderFraction);
  if (scale == renderScale_) return;
  const PostExtent before = frameSizes().full;
  renderScale_ = scale;
  if (!device_ || !swapchain_ || frameSizes().full == before) return;
  ZORV_VK_CHECK(vkDeviceWaitIdle(device_));
  destroyTargets();
  createTargets();
}

void VulkanRenderer::setVsync(bool on) {
  if (on == vsync_) return;
  vsync_ = on;
  onResize();
}

// ---- Meshes -------------------------------------------------------------------------

void VulkanRenderer::uploadMesh(GpuMesh& mesh, const Mesh& source) {
  const VkDeviceSize vertexBytes = source.vertices.size() * sizeof(MeshVertex);
  const VkDeviceSize indexBytes = source.indices.size() * sizeof(std::uint32_t);
  VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  bufferInfo.size = vertexBytes + indexBytes;
  bufferInfo.usage = VK_BUFFER_USAGE_VERTEX_BUFFER_BIT | VK_BUFFER_USAGE_INDEX_BUFFER_BIT;
  VmaAllocationCreateInfo allocationInfo{};
  allocationInfo.usage = VMA_MEMORY_USAGE_AUTO;
  allocationInfo.flags = VMA_ALLOCATION_CREATE_HOST_ACCESS_SEQUENTIAL_WRITE_BIT | VMA_ALLOCATION_CREATE_MAPPED_BIT;
  VmaAllocationInfo info{};
  if (vmaCreateBuffer(allocator_, &bufferInfo, &allocationInfo, &mesh.buffer, &mesh.allocation, &info) != VK_SUCCESS) {
    mesh = GpuMesh{};
    return;
  }
  auto* bytes = static_cast<std::uint8_t*>(info.pMappedData);
  std::memcpy(bytes, source.vertices.data(), vertexBytes);
  std::memcpy(bytes + vertexBytes, source.indices.data(), indexBytes);
  vmaFlushAllocation(allocator_, mesh.allocation, 0, VK_WHOLE_SIZE);
  mesh.indexCount = static_cast<std::uint32_t>(source.indices.size());
  mesh.indexOffset = vertexBytes;
}

void VulkanRenderer::destroyMesh(GpuMesh& mesh) {
  if (mesh.buffer) vmaDestroyBuffer(allocator_, mesh.buffer, mesh.allocation);
  mesh = GpuMesh{};
}

void VulkanRenderer::destroyPendingDeletions(std::uint32_t frame) {
  for (GpuMesh& mesh : pendingDeletions_[frame]) destroyMesh(mesh);
  pendingDeletions_[frame].clear();
}

void VulkanRenderer::deleteAfterUse(const GpuMesh& mesh) {
  // The last submitted frame may still draw it; the frame before has finished by the time
  // that frame's fence is waited for again.
  pendingDeletions_[1 - currentFrame_].push_back(mesh);
}

void VulkanRenderer::replaceChunkMesh(MeshMap& map, const ChunkKey& key, const Mesh& mesh) {
  if (!device_) return;
  // Only opaque chunk meshes cast sun shadows.
  const bool casts = &map == &opaqueMeshes_;
  bool replaced = false;
  if (auto found = map.find(key); found != map.end()) {
    deleteAfterUse(found->second);
    map.erase(found);
    replaced = true;
  }
  GpuMesh gpu;
  if (!mesh.indices.empty()) {
    if (casts) {
      const SolidFirstMesh ordered = solidQuadsFirst(mesh, cutoutLayers_);
      uploadMesh(gpu, ordered.mesh);
      gpu.solidIndexCount = ordered.solidIndexCount;
    } else {
      uploadMesh(gpu, mesh);
    }
  }
  if (gpu.buffer) {
    gpu.boundsMin = {16.0f * static_cast<float>(key.cx), 16.0f * static_cast<float>(key.cy), 16.0f * static_cast<float>(key.cz)};
    gpu.boundsMax = {gpu.boundsMin[0] + 16.0f, gpu.boundsMin[1] + 16.0f, gpu.boundsMin[2] + 16.0f};
    map.emplace(key, gpu);
  }
  // An empty mesh where there was none changes nothing the shadow maps hold.
  if (casts && (replaced || gpu.buffer)) chunkChanged(key, !replaced);
}

void VulkanRenderer::uploadChunkMesh(const ChunkKey& key, const Mesh& mesh) { replaceChunkMesh(opaqueMeshes_, key, mesh); }
void VulkanRenderer::uploadTranslucentMesh(const ChunkKey& key, const Mesh& mesh) { replaceChunkMesh(translucentMeshes_, key, mesh); }

void VulkanRenderer::removeChunkMeshes(const ChunkKey& key) {
  for (MeshMap* map : {&opaqueMeshes_, &translucentMeshes_}) {
    if (auto found = map->find(key); found != map->end()) {
      deleteAfterUse(found->second);
      map->erase(found);
      if (map == &opaqueMeshes_) chunkChanged(key, false);
    }
  }
  faceLinks_.erase(key);
}

void VulkanRenderer::clearChunkMeshes() {
  if (!device_) return;
  ZORV_VK_CHECK(vkDeviceWaitIdle(device_));
  for (MeshMap* map : {&opaqueMeshes_, &translucentMeshes_}) {
    for (auto& entry : *map) destroyMesh(entry.second);
    map->clear();
  }
  for (std::uint32_t frame = 0; frame < pendingDeletions_.size(); ++frame) destroyPendingDeletions(frame);
  faceLinks_.clear();
  for (CascadeCache& cache : cascadeCache_) {
    cache.dirty = true;
    cache.added.clear();
  }
}

void VulkanRenderer::setModelMesh(std::uint32_t index, const Mesh& mesh) {
  if (!device_) return;
  if (modelTable_.size() < static_cast<std::size_t>(index) + 1) modelTable_.resize(static_cast<std::size_t>(index) + 1);
  ZORV_VK_CHECK(vkDeviceWaitIdle(device_));
  destroyMesh(modelTable_[index]);
  if (!mesh.indices.empty()) uploadMesh(modelTable_[index], mesh);
}

void VulkanRenderer::setParticleMesh(const Mesh& mesh) {
  if (!device_) return;
  ZORV_VK_CHECK(vkDeviceWaitIdle(device_));
  destroyMesh(particleMesh_);
  if (!mesh.indices.empty()) uploadMesh(particleMesh_, mesh);
}

// ---- Frame ----------------------------------------------------------------------------

void VulkanRenderer::drawFrame(const std::array<float, 16>& viewProjection, Vec3 cameraPosition,
                               const std::vector<EntityInstance>& entities, const std::vector<ParticleInstance>& particles) {
  if (!initialised_ || !swapchain_) return;
  // Only this frame's own previous submission is waited for: the other frame may still
  // render while this one is recorded.
  FrameResources& frame = frames_[currentFrame_];
  ZORV_VK_CHECK(vkWaitForFences(device_, 1, &frame.fence, VK_TRUE, UINT64_MAX));
  destroyPendingDeletions(currentFrame_);
  gpuTimer_.collect(device_, currentFrame_);

  std::uint32_t imageIndex = 0;
  const VkResult acquired = vkAcquireNextImageKHR(device_, swapchain_, UINT64_MAX, frame.imageAvailable, VK_NULL_HANDLE, &imageIndex);
  if (acquired == VK_ERROR_OUT_OF_DATE_KHR) {
    recreateSwapchain();
    return;
  }
  if (acquired != VK_SUCCESS && acquired != VK_SUBOPTIMAL_KHR) vulkanFailure("acquire", acquired, __LINE__);

  ZORV_VK_CHECK(vkResetFences(device_, 1, &frame.fence));
  ZORV_VK_CHECK(vkResetCommandBuffer(frame.commandBuffer, 0));
  VkCommandBufferBeginInfo beginInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
  beginInfo.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
  ZORV_VK_CHECK(vkBeginCommandBuffer(frame.commandBuffer, &beginInfo));
  const VkCommandBuffer cmd = frame.commandBuffer;
  gpuTimer_.begin(cmd, currentFrame_);

  recordWorld(cmd, viewProjection, cameraPosition, entities, particles);
  recordPost(cmd, imageIndex);

  VkImage image = swapchainImages_[imageIndex];
  VkImageLayout& layout = swapchainLayouts_[imageIndex];
  if (readbackBuffer_) {
    recordTransition(cmd, image, layout,
                     {VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                      VK_PIPELINE_STAGE_TRANSFER_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_TRANSFER_READ_BIT, 1});
    VkBufferImageCopy region{};
    region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    region.imageExtent = {extent_.width, extent_.height, 1};
    vkCmdCopyImageToBuffer(cmd, image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, readbackBuffer_, 1, &region);
    readbackCopied_ = true;
    recordTransition(cmd, image, layout,
                     {VK_IMAGE_LAYOUT_PRESENT_SRC_KHR, VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT,
                      VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT, VK_ACCESS_TRANSFER_READ_BIT, 0, 1});
    // Make the copied bytes visible to the host once the fence signals.
    VkMemoryBarrier hostRead{VK_STRUCTURE_TYPE_MEMORY_BARRIER};
    hostRead.srcAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
    hostRead.dstAccessMask = VK_ACCESS_HOST_READ_BIT;
    vkCmdPipelineBarrier(cmd, VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_HOST_BIT, 0, 1, &hostRead, 0, nullptr, 0, nullptr);
  } else {
    recordTransition(cmd, image, layout,
                     {VK_IMAGE_LAYOUT_PRESENT_SRC_KHR, VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                      VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, 0, 1});
  }
  ZORV_VK_CHECK(vkEndCommandBuffer(frame.commandBuffer));

  const VkPipelineStageFlags waitStage = VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT;
  VkSubmitInfo submitInfo{VK_STRUCTURE_TYPE_SUBMIT_INFO};
  submitInfo.waitSemaphoreCount = 1;
  submitInfo.pWaitSemaphores = &frame.imageAvailable;
  submitInfo.pWaitDstStageMask = &waitStage;
  submitInfo.commandBufferCount = 1;
  submitInfo.pCommandBuffers = &frame.commandBuffer;
  submitInfo.signalSemaphoreCount = 1;
  submitInfo.pSignalSemaphores = &frame.renderFinished;
  ZORV_VK_CHECK(vkQueueSubmit(graphicsQueue_, 1, &submitInfo, frame.fence));
  gpuTimer_.submitted(currentFrame_);

  VkPresentInfoKHR presentInfo{VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
  presentInfo.waitSemaphoreCount = 1;
  presentInfo.pWaitSemaphores = &frame.renderFinished;
  presentInfo.swapchainCount = 1;
  presentInfo.pSwapchains = &swapchain_;
  presentInfo.pImageIndices = &imageIndex;
  const VkResult presented = vkQueuePresentKHR(presentQueue_, &presentInfo);
  currentFrame_ = 1 - currentFrame_;
  if (presented == VK_ERROR_OUT_OF_DATE_KHR || presented == VK_SUBOPTIMAL_KHR) recreateSwapchain();
  if (readbackBuffer_) ZORV_VK_CHECK(vkDeviceWaitIdle(device_));
}

void VulkanRenderer::recordFrameUnsubmitted(const std::array<float, 16>& viewProjection, Vec3 cameraPosition,
                                            const std::vector<EntityInstance>& entities,
                                            const std::vector<ParticleInstance>& particles) {
  if (!initialised_ || !swapchain_) return;
  FrameResources& frame = frames_[currentFrame_];
  ZORV_VK_CHECK(vkWaitForFences(device_, 1, &frame.fence, VK_TRUE, UINT64_MAX));
  // Nothing recorded here executes, so the tracked layouts are put back afterwards.
  std::vector<VkImageLayout> layouts = swapchainLayouts_;
  RenderTarget* targets[] = {&depth_, &scene_, &composite_, &occlusion_, &occlusionBlur_, &bloom_[0], &bloom_[1], &bloom_[2], &exposure_};
  std::vector<VkImageLayout> targetLayouts;
  for (RenderTarget* target : targets) targetLayouts.push_back(target->layout);
  const VkImageLayout shadowLayout = shadowLayout_, shadowTerrainLayout = shadowTerrainLayout_;
  const auto cascadeCache = cascadeCache_;
  const bool uiFrameOpen = uiFrameOpen_;
  gpuTimer_.collect(device_, currentFrame_);
  uiFrameOpen_ = false;

  ZORV_VK_CHECK(vkResetCommandBuffer(frame.commandBuffer, 0));
  VkCommandBufferBeginInfo beginInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
  beginInfo.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
  ZORV_VK_CHECK(vkBeginCommandBuffer(frame.commandBuffer, &beginInfo));
  gpuTimer_.begin(frame.commandBuffer, currentFrame_);
  recordWorld(frame.commandBuffer, viewProjection, cameraPosition, entities, particles);
  recordPost(frame.commandBuffer, 0);
  ZORV_VK_CHECK(vkEndCommandBuffer(frame.commandBuffer));
  ZORV_VK_CHECK(vkResetCommandBuffer(frame.commandBuffer, 0));

  swapchainLayouts_ = layouts;
  for (std::size_t i = 0; i < targetLayouts.size(); ++i) targets[i]->layout = targetLayouts[i];
  shadowLayout_ = shadowLayout;
  shadowTerrainLayout_ = shadowTerrainLayout;
  cascadeCache_ = cascadeCache;
  uiFrameOpen_ = uiFrameOpen;
}

// ---- Teardown -------------------------------------------------------------------------

void VulkanRenderer::shutdown() {
  if (!initialised_ && !device_) {
    if (instance_ || loaderReady_) {
      if (debugMessenger_) vkDestroyDebugUtilsMessengerEXT(instance_, debugMessenger_, nullptr);
      if (surface_) vkDestroySurfaceKHR(instance_, surface_, nullptr);
      if (instance_) vkDestroyInstance(instance_, nullptr);
      debugMessenger_ = VK_NULL_HANDLE;
      surface_ = VK_NULL_HANDLE;
      instance_ = VK_NULL_HANDLE;
      loaderReady_ = false;
    }
    return;
  }
  initialised_ = false;
  vkDeviceWaitIdle(device_);
  if (imguiContext_) {
    if (ImGui::GetIO().BackendRendererUserData) ImGui_ImplVulkan_Shutdown();
    if (ImGui::GetIO().BackendPlatformUserData) ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
    imguiContext_ = false;
    uiFrameOpen_ = false;
  }
  if (allocator_) {
    for (MeshMap* map : {&opaqueMeshes_, &translucentMeshes_}) {
      for (auto& entry : *map) destroyMesh(entry.second);
      map->clear();
    }
    for (std::uint32_t frame = 0; frame < pendingDeletions_.size(); ++frame) destroyPendingDeletions(frame);
    faceLinks_.clear();
    for (GpuMesh& mesh : modelTable_) destroyMesh(mesh);
    modelTable_.clear();
    destroyMesh(particleMesh_);
  }
  gpuTimer_.destroy(device_);
  for (FrameResources& frame : frames_) {
    if (frame.imageAvailable) vkDestroySemaphore(device_, frame.imageAvailable, nullptr);
    if (frame.renderFinished) vkDestroySemaphore(device_, frame.renderFinished, nullptr);
    if (frame.fence) vkDestroyFence(device_, frame.fence, nullptr);
    if (frame.commandPool) vkDestroyCommandPool(device_, frame.commandPool, nullptr);
    frame = FrameResources{};
  }
  for (BlockPipelines& set : blockPipelines_)
    for (VkPipeline pipeline : {set.opaque, set.solid, set.translucent})
      if (pipeline) vkDestroyPipeline(device_, pipeline, nullptr);
  blockPipelines_ = {};
  if (pipelineShadow_) vkDestroyPipeline(device_, pipelineShadow_, nullptr);
  pipelineShadow_ = VK_NULL_HANDLE;
  for (VkPipeline& pipeline : postPipelines_) {
    if (pipeline) vkDestroyPipeline(device_, pipeline, nullptr);
    pipeline = VK_NULL_HANDLE;
  }
  for (VkPipelineLayout* layout : {&pipelineLayout_, &shadowPipelineLayout_, &postPipelineLayout_}) {
    if (*layout) vkDestroyPipelineLayout(device_, *layout, nullptr);
    *layout = VK_NULL_HANDLE;
  }
  for (VkDescriptorPool* pool : {&descriptorPool_, &postPool_, &imguiPool_}) {
    if (*pool) vkDestroyDescriptorPool(device_, *pool, nullptr);
    *pool = VK_NULL_HANDLE;
  }
  descriptorSet_ = postSet_ = VK_NULL_HANDLE;
  postTargetSets_.fill(VK_NULL_HANDLE);
  for (VkDescriptorSetLayout* layout : {&descriptorSetLayout_, &postSetLayout_}) {
    if (*layout) vkDestroyDescriptorSetLayout(device_, *layout, nullptr);
    *layout = VK_NULL_HANDLE;
  }
  for (VkSampler* sampler : {&postSampler_, &postDepthSampler_, &sampler_, &shadowSampler_, &shadowCompareSampler_}) {
    if (*sampler) vkDestroySampler(device_, *sampler, nullptr);
    *sampler = VK_NULL_HANDLE;
  }
  for (VkImageView view : textureLayerViews_) vkDestroyImageView(device_, view, nullptr);
  textureLayerViews_.clear();
  layerTextures_.clear();
  if (textureView_) vkDestroyImageView(device_, textureView_, nullptr);
  textureView_ = VK_NULL_HANDLE;
  if (textureImage_) vmaDestroyImage(allocator_, textureImage_, textureAllocation_);
  textureImage_ = VK_NULL_HANDLE;
  for (auto* views : {&shadowLayerViews_, &shadowTerrainViews_})
    for (VkImageView& view : *views) {
      if (view) vkDestroyImageView(device_, view, nullptr);
      view = VK_NULL_HANDLE;
    }
  if (shadowTerrainImage_) vmaDestroyImage(allocator_, shadowTerrainImage_, shadowTerrainAllocation_);
  shadowTerrainImage_ = VK_NULL_HANDLE;
  if (shadowView_) vkDestroyImageView(device_, shadowView_, nullptr);
  shadowView_ = VK_NULL_HANDLE;
  if (shadowImage_) vmaDestroyImage(allocator_, shadowImage_, shadowAllocation_);
  shadowImage_ = VK_NULL_HANDLE;
  destroySwapchain();
  if (visualBuffer_) vmaDestroyBuffer(allocator_, visualBuffer_, visualAllocation_);
  if (frameBuffer_) vmaDestroyBuffer(allocator_, frameBuffer_, frameAllocation_);
  visualBuffer_ = frameBuffer_ = VK_NULL_HANDLE;
  if (allocator_) vmaDestroyAllocator(allocator_);
  allocator_ = nullptr;
  vkDestroyDevice(device_, nullptr);
  device_ = VK_NULL_HANDLE;
  shutdown();  // instance-level objects and the loader
}

}  // namespace zorv
