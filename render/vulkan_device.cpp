// Bring-up of the Vulkan instance (with the validation layer's messenger when present),
// the choice of physical device, the logical device and the memory allocator.

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/version.h"
#include "render/vulkan_renderer.h"
#include "render/vulkan_support.h"

namespace zorv {

namespace {

constexpr std::uint32_t kAppVersion = VK_MAKE_VERSION(kProjectVersionMajor, kProjectVersionMinor, kProjectVersionPatch);

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

}  // namespace

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
    validationLayer_ = true;
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
  deletionQueue_.push([this] {
    vkDestroyInstance(instance_, nullptr);
    instance_ = VK_NULL_HANDLE;
  });
  volkLoadInstance(instance_);

  if (debugUtils) {
    VkDebugUtilsMessengerCreateInfoEXT messenger{VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT};
    messenger.messageSeverity = VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT;
    messenger.messageType = VK_DEBUG_UTILS_MESSAGE_TYPE_GENERAL_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT |
                            VK_DEBUG_UTILS_MESSAGE_TYPE_PERFORMANCE_BIT_EXT;
    messenger.pfnUserCallback = reportValidation;
    if (vkCreateDebugUtilsMessengerEXT(instance_, &messenger, nullptr, &debugMessenger_) != VK_SUCCESS) {
      debugMessenger_ = VK_NULL_HANDLE;
      return;
    }
    deletionQueue_.push([this] {
      vkDestroyDebugUtilsMessengerEXT(instance_, debugMessenger_, nullptr);
      debugMessenger_ = VK_NULL_HANDLE;
    });
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
  deletionQueue_.push([this] {
    vkDestroyDevice(device_, nullptr);
    device_ = VK_NULL_HANDLE;
    graphicsQueue_ = presentQueue_ = VK_NULL_HANDLE;
  });
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
  deletionQueue_.push([this] {
    vmaDestroyAllocator(allocator_);
    allocator_ = nullptr;
  });
}

}  // namespace zorv
