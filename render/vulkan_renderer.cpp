// Bring-up order, the frames in flight, mesh storage and teardown.

#include "render/vulkan_renderer.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

#include "content/resource_packs.h"
#include "platform/platform.h"
#include "render/vulkan_support.h"
#include "world/registry.h"

namespace zorv {

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
  try {
    createInstance();
    ZORV_VK_CHECK(glfwCreateWindowSurface(instance_, window_, nullptr, &surface_));
    deletionQueue_.push([this] {
      vkDestroySurfaceKHR(instance_, surface_, nullptr);
      surface_ = VK_NULL_HANDLE;
    });
    chooseDevice();
    createDevice();
    createAllocator();
    const std::filesystem::path packs = baseFolder_ / "resourcepacks";
    visual_ = loadVisualSettings(packs);
    overrides_ = loadShaderOverrides(packs);
    createUniformBuffers();
    // The swapchain's queues are emptied here on shutdown, and on their own when it is recreated.
    deletionQueue_.push([this] { destroySwapchain(); });
    createSwapchain();
    createTextureArray();
    createShadowMap();
    modelTable_.assign(blockRegistry().count() + 4, GpuMesh{});
    createWorldDescriptors();
    createBlockPipelines();
    createShadowPipeline();
    createPostProcessing();
    createFrames();
    deletionQueue_.push([this] { gpuTimer_.destroy(device_); });
    gpuTimer_.create(device_, physicalDevice_, graphicsFamily_, static_cast<std::uint32_t>(frames_.size()));
    createImGui();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vulkan: init failed: %s\n", error.what());
    return false;
  }
  initialised_ = true;
  return true;
}

// One host-written buffer with a slice of visual and frame uniforms for each frame in
// flight: a frame writes its own slice while the other frame's may still be read, so no
// barrier orders the two. Mapped for as long as it lives.
void VulkanRenderer::createUniformBuffers() {
  VkPhysicalDeviceProperties properties;
  vkGetPhysicalDeviceProperties(physicalDevice_, &properties);
  uniformSlices_ = layoutUniformSlices(sizeof(VisualUniforms), sizeof(FrameUniforms), properties.limits.minUniformBufferOffsetAlignment,
                                       static_cast<std::uint32_t>(frames_.size()));
  VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  bufferInfo.size = uniformSlices_.size;
  bufferInfo.usage = VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT;
  VmaAllocationCreateInfo allocationInfo{};
  allocationInfo.usage = VMA_MEMORY_USAGE_AUTO;
  allocationInfo.flags = VMA_ALLOCATION_CREATE_HOST_ACCESS_SEQUENTIAL_WRITE_BIT | VMA_ALLOCATION_CREATE_MAPPED_BIT;
  VmaAllocationInfo info{};
  ZORV_VK_CHECK(vmaCreateBuffer(allocator_, &bufferInfo, &allocationInfo, &uniformBuffer_, &uniformAllocation_, &info));
  deletionQueue_.push([this] {
    vmaDestroyBuffer(allocator_, uniformBuffer_, uniformAllocation_);
    uniformBuffer_ = VK_NULL_HANDLE;
    uniformAllocation_ = nullptr;
    uniformMemory_ = nullptr;
  });
  uniformMemory_ = static_cast<std::uint8_t*>(info.pMappedData);
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

void VulkanRenderer::createFrames() {
  // Recorded first, so that whatever was made before a failure is destroyed as well.
  deletionQueue_.push([this] {
    for (FrameResources& frame : frames_) {
      vkDestroySemaphore(device_, frame.imageAvailable, nullptr);
      vkDestroySemaphore(device_, frame.renderFinished, nullptr);
      vkDestroyFence(device_, frame.fence, nullptr);
      vkDestroyCommandPool(device_, frame.commandPool, nullptr);
      frame = FrameResources{};
    }
  });
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

void VulkanRenderer::destroyChunkMeshes() {
  for (MeshMap* map : {&opaqueMeshes_, &translucentMeshes_}) {
    for (auto& entry : *map) destroyMesh(entry.second);
    map->clear();
  }
  for (std::uint32_t frame = 0; frame < pendingDeletions_.size(); ++frame) destroyPendingDeletions(frame);
  faceLinks_.clear();
}

void VulkanRenderer::clearChunkMeshes() {
  if (!device_) return;
  ZORV_VK_CHECK(vkDeviceWaitIdle(device_));
  destroyChunkMeshes();
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

  const std::vector<PostPass> posts = planPosts();
  const bool onSwapchain = worldOnSwapchain(posts);
  recordWorld(cmd, viewProjection, cameraPosition, entities, particles, worldTarget(onSwapchain, imageIndex));
  recordPost(cmd, imageIndex, posts, onSwapchain);

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
  const std::vector<PostPass> posts = planPosts();
  const bool onSwapchain = worldOnSwapchain(posts);
  recordWorld(frame.commandBuffer, viewProjection, cameraPosition, entities, particles, worldTarget(onSwapchain, 0));
  recordPost(frame.commandBuffer, 0, posts, onSwapchain);
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
  initialised_ = false;
  if (device_) vkDeviceWaitIdle(device_);
  if (allocator_) {
    destroyChunkMeshes();
    for (GpuMesh& mesh : modelTable_) destroyMesh(mesh);
    modelTable_.clear();
    destroyMesh(particleMesh_);
  }
  // Everything else in the reverse order of its creation, the instance last; after a
  // failed init just what was made, and nothing at all the second time.
  deletionQueue_.flush();
}

}  // namespace zorv
