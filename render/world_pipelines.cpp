// The block texture array, the shadow map, the world descriptor set, the block and
// shadow pipelines, and the recording of the shadow and main passes.

#include <algorithm>
#include <cstring>
#include <stdexcept>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include "render/pipeline_builder.h"
#include "render/vulkan_renderer.h"
#include "render/vulkan_support.h"
#include "world/registry.h"

namespace zorv {

namespace {

constexpr VkPipelineStageFlags kShaderStages = VK_PIPELINE_STAGE_VERTEX_SHADER_BIT | VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT;

VkSampler createSampler(VkDevice device, VkFilter magnify, VkFilter minify, VkSamplerMipmapMode mip, VkSamplerAddressMode uv,
                        VkSamplerAddressMode w, float maxLod) {
  VkSamplerCreateInfo samplerInfo{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
  samplerInfo.magFilter = magnify;
  samplerInfo.minFilter = minify;
  samplerInfo.mipmapMode = mip;
  samplerInfo.addressModeU = uv;
  samplerInfo.addressModeV = uv;
  samplerInfo.addressModeW = w;
  samplerInfo.maxLod = maxLod;
  VkSampler sampler = VK_NULL_HANDLE;
  ZORV_VK_CHECK(vkCreateSampler(device, &samplerInfo, nullptr, &sampler));
  return sampler;
}

DrawPushConstants chunkConstants(const Mat4& matrix, Vec3 camera, float daylight, Vec3 sky, float fogDistance, float w) {
  DrawPushConstants push{};
  push.matrix = matrix;
  push.cameraDaylight[0] = camera.x;
  push.cameraDaylight[1] = camera.y;
  push.cameraDaylight[2] = camera.z;
  push.cameraDaylight[3] = daylight;
  push.position[3] = w;
  push.scale = 1.0f;
  push.skyFog[0] = sky.x;
  push.skyFog[1] = sky.y;
  push.skyFog[2] = sky.z;
  push.skyFog[3] = fogDistance;
  return push;
}

DrawPushConstants instanceConstants(DrawPushConstants push, const void* instance) {
  float values[8];
  std::memcpy(values, instance, sizeof values);
  push.position[0] = values[0];
  push.position[1] = values[1];
  push.position[2] = values[2];
  push.position[3] = 0.0f;
  push.yaw = values[3];
  push.scale = values[4];
  std::memcpy(&push.value, &values[5], sizeof push.value);
  push.hurt = values[7];
  return push;
}

}  // namespace

VkShaderModule VulkanRenderer::loadShader(const char* file, const char* overrideName, bool tryWorkingFolder) {
  auto createModule = [this](const std::vector<std::uint32_t>& words) {
    VkShaderModuleCreateInfo info{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
    info.codeSize = words.size() * 4;
    info.pCode = words.data();
    VkShaderModule module = VK_NULL_HANDLE;
    if (vkCreateShaderModule(device_, &info, nullptr, &module) != VK_SUCCESS) return VkShaderModule{VK_NULL_HANDLE};
    return module;
  };
  if (overrideName) {
    if (auto found = overrides_.find(overrideName); found != overrides_.end()) {
      VkShaderModule module = VK_NULL_HANDLE;
      if (validateShaderOverride(overrideName, found->second)) module = createModule(spirvWords(found->second));
      if (module) return module;
      reportShaderOverrideFallback(overrideName);
    }
  }
  std::vector<std::filesystem::path> places{baseFolder_ / "shaders" / file};
  if (tryWorkingFolder) places.push_back(std::filesystem::path("shaders") / file);
  for (const std::filesystem::path& place : places) {
    if (const auto words = readShaderFile(place)) return createModule(*words);
  }
  return VK_NULL_HANDLE;
}

void VulkanRenderer::createTextureArray() {
  const LayerImageSet images = buildLayerImages(baseFolder_ / "resourcepacks", baseFolder_ / "assets");
  layerCount_ = static_cast<std::uint32_t>(std::max(blockRegistry().tileCount(), 1));
  layerSize_ = static_cast<std::uint32_t>(images.layerSize);
  const std::uint32_t levels = mipLevelCount(images.layerSize);
  const std::vector<std::uint8_t> texels = buildTextureLevels(images, static_cast<int>(layerCount_));

  const VkImageCreateInfo imageInfo = imageCreateInfo(VK_FORMAT_R8G8B8A8_SRGB, layerSize_, layerSize_, levels, layerCount_,
                                                      VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT);
  VmaAllocationCreateInfo allocationInfo{};
  allocationInfo.usage = VMA_MEMORY_USAGE_AUTO_PREFER_DEVICE;
  ZORV_VK_CHECK(vmaCreateImage(allocator_, &imageInfo, &allocationInfo, &textureImage_, &textureAllocation_, nullptr));

  VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  bufferInfo.size = texels.size();
  bufferInfo.usage = VK_BUFFER_USAGE_TRANSFER_SRC_BIT;
  VmaAllocationCreateInfo stagingAllocation{};
  stagingAllocation.usage = VMA_MEMORY_USAGE_AUTO;
  stagingAllocation.flags = VMA_ALLOCATION_CREATE_HOST_ACCESS_SEQUENTIAL_WRITE_BIT | VMA_ALLOCATION_CREATE_MAPPED_BIT;
  VkBuffer stagingBuffer = VK_NULL_HANDLE;
  VmaAllocation stagingMemory = nullptr;
  VmaAllocationInfo stagingInfo{};
  ZORV_VK_CHECK(vmaCreateBuffer(allocator_, &bufferInfo, &stagingAllocation, &stagingBuffer, &stagingMemory, &stagingInfo));
  try {
    std::memcpy(stagingInfo.pMappedData, texels.data(), texels.size());
    ZORV_VK_CHECK(vmaFlushAllocation(allocator_, stagingMemory, 0, VK_WHOLE_SIZE));
    oneShot([&](VkCommandBuffer cmd) {
      VkImageMemoryBarrier barrier{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER};
      barrier.srcAccessMask = 0;
      barrier.dstAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
      barrier.oldLayout = VK_IMAGE_LAYOUT_UNDEFINED;
      barrier.newLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
      barrier.srcQueueFamilyIndex = barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
      barrier.image = textureImage_;
      barrier.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, levels, 0, layerCount_};
      vkCmdPipelineBarrier(cmd, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, 0, 0, nullptr, 0, nullptr, 1, &barrier);
      std::vector<VkBufferImageCopy> regions;
      VkDeviceSize offset = 0;
      for (std::uint32_t level = 0; level < levels; ++level) {
        const std::uint32_t size = layerSize_ >> level;
        VkBufferImageCopy region{};
        region.bufferOffset = offset;
        region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, level, 0, layerCount_};
        region.imageExtent = {size, size, 1};
        regions.push_back(region);
        offset += static_cast<VkDeviceSize>(size) * size * 4 * layerCount_;
      }
      vkCmdCopyBufferToImage(cmd, stagingBuffer, textureImage_, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                             static_cast<std::uint32_t>(regions.size()), regions.data());
      barrier.srcAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
      barrier.dstAccessMask = VK_ACCESS_SHADER_READ_BIT;
      barrier.oldLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
      barrier.newLayout = VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL;
      vkCmdPipelineBarrier(cmd, VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, 0, 0, nullptr, 0, nullptr, 1,
                           &barrier);
    });
  } catch (...) {
    vmaDestroyBuffer(allocator_, stagingBuffer, stagingMemory);
    throw;
  }
  vmaDestroyBuffer(allocator_, stagingBuffer, stagingMemory);

  VkImageViewCreateInfo viewInfo{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
  viewInfo.image = textureImage_;
  viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D_ARRAY;
  viewInfo.format = VK_FORMAT_R8G8B8A8_SRGB;
  viewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, levels, 0, layerCount_};
  ZORV_VK_CHECK(vkCreateImageView(device_, &viewInfo, nullptr, &textureView_));
  textureLayerViews_.assign(layerCount_, VK_NULL_HANDLE);
  for (std::uint32_t layer = 0; layer < layerCount_; ++layer) {
    VkImageViewCreateInfo layerViewInfo = viewInfo;
    layerViewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
    layerViewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, levels, layer, 1};
    ZORV_VK_CHECK(vkCreateImageView(device_, &layerViewInfo, nullptr, &textureLayerViews_[layer]));
  }
  sampler_ = createSampler(device_, VK_FILTER_NEAREST, VK_FILTER_LINEAR, VK_SAMPLER_MIPMAP_MODE_LINEAR, VK_SAMPLER_ADDRESS_MODE_REPEAT,
                           VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE, static_cast<float>(levels - 1));
}

void VulkanRenderer::createShadowMap() {
  const VkImageCreateInfo imageInfo =
      imageCreateInfo(VK_FORMAT_D32_SFLOAT, kShadowMapSize, kShadowMapSize, 1, kCascadeCount,
                      VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT);
  VmaAllocationCreateInfo allocationInfo{};
  allocationInfo.usage = VMA_MEMORY_USAGE_AUTO_PREFER_DEVICE;
  ZORV_VK_CHECK(vmaCreateImage(allocator_, &imageInfo, &allocationInfo, &shadowImage_, &shadowAllocation_, nullptr));
  VkImageViewCreateInfo arrayView{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
  arrayView.image = shadowImage_;
  arrayView.viewType = VK_IMAGE_VIEW_TYPE_2D_ARRAY;
  arrayView.format = VK_FORMAT_D32_SFLOAT;
  arrayView.subresourceRange = {VK_IMAGE_ASPECT_DEPTH_BIT, 0, 1, 0, kCascadeCount};
  ZORV_VK_CHECK(vkCreateImageView(device_, &arrayView, nullptr, &shadowView_));
  for (std::uint32_t i = 0; i < kCascadeCount; ++i) {
    VkImageViewCreateInfo layerView = arrayView;
    layerView.viewType = VK_IMAGE_VIEW_TYPE_2D;
    layerView.subresourceRange = {VK_IMAGE_ASPECT_DEPTH_BIT, 0, 1, i, 1};
    ZORV_VK_CHECK(vkCreateImageView(device_, &layerView, nullptr, &shadowLayerViews_[i]));
  }
  shadowSampler_ = createSampler(device_, VK_FILTER_NEAREST, VK_FILTER_NEAREST, VK_SAMPLER_MIPMAP_MODE_NEAREST,
                                 VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE, VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE, 0.0f);
  // Readable from the start, so frames without a shadow pass sample a valid (if stale) map.
  oneShot([this](VkCommandBuffer cmd) {
    recordTransition(cmd, shadowImage_, shadowLayout_,
                     {VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT,
                      VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, 0, VK_ACCESS_SHADER_READ_BIT, kCascadeCount});
  });
}

void VulkanRenderer::createWorldDescriptors() {
  const VkDescriptorSetLayoutBinding bindings[] = {
      {0, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 1, VK_SHADER_STAGE_FRAGMENT_BIT, nullptr},
      {1, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, 1, VK_SHADER_STAGE_FRAGMENT_BIT, nullptr},
      {2, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, 1, VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT, nullptr},
      {3, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 1, VK_SHADER_STAGE_FRAGMENT_BIT, nullptr},
  };
  VkDescriptorSetLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
  layoutInfo.bindingCount = 4;
  layoutInfo.pBindings = bindings;
  ZORV_VK_CHECK(vkCreateDescriptorSetLayout(device_, &layoutInfo, nullptr, &descriptorSetLayout_));
  ZORV_VK_CHECK(createDescriptorPool(
      device_, {{VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 2}, {VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, 2}}, 1, 0, &descriptorPool_));
  VkDescriptorSetAllocateInfo allocateInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
  allocateInfo.descriptorPool = descriptorPool_;
  allocateInfo.descriptorSetCount = 1;
  allocateInfo.pSetLayouts = &descriptorSetLayout_;
  ZORV_VK_CHECK(vkAllocateDescriptorSets(device_, &allocateInfo, &descriptorSet_));

  const VkDescriptorImageInfo texture{sampler_, textureView_, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
  const VkDescriptorImageInfo shadow{shadowSampler_, shadowView_, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
  const VkDescriptorBufferInfo visual{visualBuffer_, 0, sizeof(VisualUniforms)};
  const VkDescriptorBufferInfo frame{frameBuffer_, 0, sizeof(FrameUniforms)};
  VkWriteDescriptorSet writes[4]{};
  for (std::uint32_t i = 0; i < 4; ++i) {
    writes[i] = {VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
    writes[i].dstSet = descriptorSet_;
    writes[i].dstBinding = i;
    writes[i].descriptorCount = 1;
    writes[i].descriptorType = bindings[i].descriptorType;
  }
  writes[0].pImageInfo = &texture;
  writes[1].pBufferInfo = &visual;
  writes[2].pBufferInfo = &frame;
  writes[3].pImageInfo = &shadow;
  vkUpdateDescriptorSets(device_, 4, writes, 0, nullptr);
}

void VulkanRenderer::createBlockPipelines() {
  VkPushConstantRange range{VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT, 0, sizeof(DrawPushConstants)};
  VkPipelineLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
  layoutInfo.setLayoutCount = 1;
  layoutInfo.pSetLayouts = &descriptorSetLayout_;
  layoutInfo.pushConstantRangeCount = 1;
  layoutInfo.pPushConstantRanges = &range;
  ZORV_VK_CHECK(vkCreatePipelineLayout(device_, &layoutInfo, nullptr, &pipelineLayout_));

  VkShaderModule vertex = loadShader("block_vs.spv", "block_vs", true);
  VkShaderModule fragment = loadShader("block_fs.spv", "block_fs", true);
  ShaderModules modules(device_, {vertex, fragment});
  if (!vertex || !fragment) throw std::runtime_error("shader modules missing");

  PipelineDescription description;
  description.layout = pipelineLayout_;
  description.vertexShader = vertex;
  description.fragmentShader = fragment;
  description.vertexEntry = "VSMain";
  description.fragmentEntry = "PSMain";
  description.meshVertices = true;
  description.colourFormat = sceneFormat_;
  description.depthFormat = VK_FORMAT_D32_SFLOAT;
  description.depthTest = true;
  description.depthWrite = true;
  ZORV_VK_CHECK(buildPipeline(device_, description, &pipelineOpaque_));
  description.depthWrite = false;
  description.blend = BlendMode::Alpha;
  ZORV_VK_CHECK(buildPipeline(device_, description, &pipelineTranslucent_));
}

void VulkanRenderer::createShadowPipeline() {
  VkPushConstantRange range{VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof(DrawPushConstants)};
  VkPipelineLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
  layoutInfo.pushConstantRangeCount = 1;
  layoutInfo.pPushConstantRanges = &range;
  ZORV_VK_CHECK(vkCreatePipelineLayout(device_, &layoutInfo, nullptr, &shadowPipelineLayout_));
  VkShaderModule vertex = loadShader("shadow_vs.spv", "shadow_vs", true);
  ShaderModules modules(device_, {vertex});
  if (!vertex) throw std::runtime_error("shadow shader missing");
  PipelineDescription description;
  description.layout = shadowPipelineLayout_;
  description.vertexShader = vertex;
  description.vertexEntry = "VSMain";
  description.meshVertices = true;
  description.shadowVertices = true;
  description.depthFormat = VK_FORMAT_D32_SFLOAT;
  description.depthTest = true;
  description.depthWrite = true;
  description.depthBias = true;
  ZORV_VK_CHECK(buildPipeline(device_, description, &pipelineShadow_));
}

void VulkanRenderer::drawMesh(VkCommandBuffer cmd, const GpuMesh& mesh) {
  const VkDeviceSize zero = 0;
  vkCmdBindVertexBuffers(cmd, 0, 1, &mesh.buffer, &zero);
  vkCmdBindIndexBuffer(cmd, mesh.buffer, mesh.indexOffset, VK_INDEX_TYPE_UINT32);
  vkCmdDrawIndexed(cmd, mesh.indexCount, 1, 0, 0, 0);
}

void VulkanRenderer::recordWorld(VkCommandBuffer cmd, const Mat4& viewProjection, Vec3 camera,
                                 const std::vector<EntityInstance>& entities, const std::vector<ParticleInstance>& particles) {
  const Vec3 sky = skyColour(daylight_);
  FrameInputs inputs;
  inputs.viewProjection = viewProjection;
  inputs.camera = camera;
  inputs.sunDirection = sunDirection_;
  inputs.daylight = daylight_;
  inputs.fogDistance = fogDistance_;
  inputs.seconds = static_cast<float>(glfwGetTime());
  inputs.width = static_cast<float>(extent_.width);
  inputs.height = static_cast<float>(extent_.height);
  inputs.shadowsEnabled = shadowsEnabled_;
  const FrameUniforms frameUniforms = buildFrameUniforms(inputs, visual_);
  const VisualUniforms visualUniforms = buildVisualUniforms(fogDistance_, visual_);
  vkCmdUpdateBuffer(cmd, visualBuffer_, 0, sizeof visualUniforms, &visualUniforms);
  vkCmdUpdateBuffer(cmd, frameBuffer_, 0, sizeof frameUniforms, &frameUniforms);
  VkBufferMemoryBarrier uniformBarriers[2]{};
  for (int i = 0; i < 2; ++i) {
    uniformBarriers[i] = {VK_STRUCTURE_TYPE_BUFFER_MEMORY_BARRIER};
    uniformBarriers[i].srcAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
    uniformBarriers[i].dstAccessMask = VK_ACCESS_SHADER_READ_BIT;
    uniformBarriers[i].srcQueueFamilyIndex = uniformBarriers[i].dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    uniformBarriers[i].buffer = i == 0 ? visualBuffer_ : frameBuffer_;
    uniformBarriers[i].size = VK_WHOLE_SIZE;
  }
  vkCmdPipelineBarrier(cmd, VK_PIPELINE_STAGE_TRANSFER_BIT, kShaderStages, 0, 0, nullptr, 2, uniformBarriers, 0, nullptr);

  auto drawEntities = [&](const DrawPushConstants& base, VkPipelineLayout layout, VkShaderStageFlags stages) {
    if (modelTable_.empty()) return;
    for (const EntityInstance& entity : entities) {
      const GpuMesh& mesh = modelTable_[modelTableIndex(entity.modelSlot, modelTable_.size())];
      if (mesh.indexCount == 0) continue;
      const DrawPushConstants push = instanceConstants(base, &entity);
      vkCmdPushConstants(cmd, layout, stages, 0, sizeof push, &push);
      drawMesh(cmd, mesh);
    }
  };

  // Shadow cascades.
  if (frameUniforms.sunStrength[3] > 0.001f) {
    recordTransition(cmd, shadowImage_, shadowLayout_,
                     {VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                      VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT, VK_ACCESS_SHADER_READ_BIT,
                      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT | VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT, kCascadeCount});
    for (int cascade = 0; cascade < kCascadeCount; ++cascade) {
      VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
      depth.imageView = shadowLayerViews_[static_cast<std::size_t>(cascade)];
      depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL;
      depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
      depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
      depth.clearValue.depthStencil = {1.0f, 0};
      VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
      rendering.renderArea = {{0, 0}, {kShadowMapSize, kShadowMapSize}};
      rendering.layerCount = 1;
      rendering.pDepthAttachment = &depth;
      beginRendering_(cmd, &rendering);
      const VkViewport viewport{0, 0, static_cast<float>(kShadowMapSize), static_cast<float>(kShadowMapSize), 0, 1};
      const VkRect2D scissor{{0, 0}, {kShadowMapSize, kShadowMapSize}};
      vkCmdSetViewport(cmd, 0, 1, &viewport);
      vkCmdSetScissor(cmd, 0, 1, &scissor);
      vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineShadow_);
      const Mat4& light = frameUniforms.cascadeMatrices[cascade];
      const DrawPushConstants push = chunkConstants(light, camera, daylight_, sky, fogDistance_, 1.0f);
      vkCmdPushConstants(cmd, shadowPipelineLayout_, VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof push, &push);
      const FrustumPlanes planes = frustumPlanes(light);
      for (const auto& entry : opaqueMeshes_) {
        const GpuMesh& mesh = entry.second;
        if (mesh.indexCount == 0 || boxOutside(planes, mesh.boundsMin, mesh.boundsMax)) continue;
        drawMesh(cmd, mesh);
      }
      drawEntities(push, shadowPipelineLayout_, VK_SHADER_STAGE_VERTEX_BIT);
      endRendering_(cmd);
    }
    recordTransition(cmd, shadowImage_, shadowLayout_,
                     {VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT,
                      VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT,
                      VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT,
                      kCascadeCount});
  }

  // Main pass.
  recordTransition(cmd, scene_.image, scene_.layout,
                   {VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                    VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_ACCESS_SHADER_READ_BIT,
                    VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT | VK_ACCESS_COLOR_ATTACHMENT_READ_BIT, 1});
  recordTransition(cmd, depth_.image, depth_.layout,
                   {VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                    VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT, VK_ACCESS_SHADER_READ_BIT,
                    VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT | VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT, 1});
  VkRenderingAttachmentInfo colour{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
  colour.imageView = scene_.view;
  colour.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
  colour.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
  colour.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
  colour.clearValue.color = {{sky.x, sky.y, sky.z, 1.0f}};
  VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
  depth.imageView = depth_.view;
  depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL;
  depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
  depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
  depth.clearValue.depthStencil = {1.0f, 0};
  VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
  rendering.renderArea = {{0, 0}, extent_};
  rendering.layerCount = 1;
  rendering.colorAttachmentCount = 1;
  rendering.pColorAttachments = &colour;
  rendering.pDepthAttachment = &depth;
  beginRendering_(cmd, &rendering);
  const VkViewport viewport{0, 0, static_cast<float>(extent_.width), static_cast<float>(extent_.height), 0, 1};
  const VkRect2D scissor{{0, 0}, extent_};
  vkCmdSetViewport(cmd, 0, 1, &viewport);
  vkCmdSetScissor(cmd, 0, 1, &scissor);
  vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineOpaque_);
  vkCmdBindDescriptorSets(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineLayout_, 0, 1, &descriptorSet_, 0, nullptr);
  constexpr VkShaderStageFlags kStages = VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT;
  const DrawPushConstants chunkPush = chunkConstants(viewProjection, camera, daylight_, sky, fogDistance_, inputs.seconds);
  vkCmdPushConstants(cmd, pipelineLayout_, kStages, 0, sizeof chunkPush, &chunkPush);
  const FrustumPlanes planes = frustumPlanes(viewProjection);
  std::uint32_t drawn = 0;
  for (const auto& entry : opaqueMeshes_) {
    const GpuMesh& mesh = entry.second;
    if (mesh.indexCount == 0 || boxOutside(planes, mesh.boundsMin, mesh.boundsMax)) continue;
    drawMesh(cmd, mesh);
    ++drawn;
  }
  DrawPushConstants modelBase = chunkPush;
  modelBase.position[3] = 0.0f;
  drawEntities(modelBase, pipelineLayout_, kStages);
  if (particleMesh_.indexCount > 0 && !particles.empty()) {
    const VkDeviceSize zero = 0;
    vkCmdBindVertexBuffers(cmd, 0, 1, &particleMesh_.buffer, &zero);
    vkCmdBindIndexBuffer(cmd, particleMesh_.buffer, particleMesh_.indexOffset, VK_INDEX_TYPE_UINT32);
    for (const ParticleInstance& particle : particles) {
      const DrawPushConstants push = instanceConstants(modelBase, &particle);
      vkCmdPushConstants(cmd, pipelineLayout_, kStages, 0, sizeof push, &push);
      vkCmdDrawIndexed(cmd, particleMesh_.indexCount, 1, 0, 0, 0);
    }
  }
  std::vector<std::pair<float, const GpuMesh*>> translucent;
  for (const auto& entry : translucentMeshes_) {
    const GpuMesh& mesh = entry.second;
    if (mesh.indexCount == 0 || boxOutside(planes, mesh.boundsMin, mesh.boundsMax)) continue;
    const float dx = (mesh.boundsMin[0] + mesh.boundsMax[0]) * 0.5f - camera.x;
    const float dy = (mesh.boundsMin[1] + mesh.boundsMax[1]) * 0.5f - camera.y;
    const float dz = (mesh.boundsMin[2] + mesh.boundsMax[2]) * 0.5f - camera.z;
    translucent.emplace_back(dx * dx + dy * dy + dz * dz, &mesh);
  }
  std::sort(translucent.begin(), translucent.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  if (!translucent.empty()) {
    vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineTranslucent_);
    vkCmdPushConstants(cmd, pipelineLayout_, kStages, 0, sizeof chunkPush, &chunkPush);
    for (const auto& entry : translucent) {
      drawMesh(cmd, *entry.second);
      ++drawn;
    }
  }
  endRendering_(cmd);
  drawnChunks_ = drawn;
  recordTransition(cmd, scene_.image, scene_.layout,
                   {VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                    VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT, 1});
  recordTransition(cmd, depth_.image, depth_.layout,
                   {VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT,
                    VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT,
                    VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT, 1});
}

}  // namespace zorv
