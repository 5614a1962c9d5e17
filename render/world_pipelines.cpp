// The block texture array, the shadow map, the world descriptor set and the block and
// shadow pipelines.

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "render/pipeline_builder.h"
#include "render/vulkan_renderer.h"
#include "render/vulkan_support.h"
#include "world/registry.h"

namespace zorv {

namespace {

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

// The built-in block programs compare depths in the sampler: one filtered tap weighs the
// four texels around the point, where the plain sampler (which packs' programs read)
// would need four taps. Nearest where the device cannot filter the depth format.
VkSampler createShadowCompareSampler(VkPhysicalDevice physicalDevice, VkDevice device) {
  VkFormatProperties properties;
  vkGetPhysicalDeviceFormatProperties(physicalDevice, VK_FORMAT_D32_SFLOAT, &properties);
  const bool linear = (properties.optimalTilingFeatures & VK_FORMAT_FEATURE_SAMPLED_IMAGE_FILTER_LINEAR_BIT) != 0;
  VkSamplerCreateInfo samplerInfo{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
  samplerInfo.magFilter = samplerInfo.minFilter = linear ? VK_FILTER_LINEAR : VK_FILTER_NEAREST;
  samplerInfo.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
  samplerInfo.addressModeU = samplerInfo.addressModeV = samplerInfo.addressModeW = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  samplerInfo.compareEnable = VK_TRUE;
  samplerInfo.compareOp = VK_COMPARE_OP_LESS_OR_EQUAL;  // lit where the point is no deeper than the map
  VkSampler sampler = VK_NULL_HANDLE;
  ZORV_VK_CHECK(vkCreateSampler(device, &samplerInfo, nullptr, &sampler));
  return sampler;
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
  cutoutLayers_ = cutoutLayers(texels, static_cast<int>(layerCount_), images.layerSize);

  const VkImageCreateInfo imageInfo = imageCreateInfo(VK_FORMAT_R8G8B8A8_SRGB, layerSize_, layerSize_, levels, layerCount_,
                                                      VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT);
  VmaAllocationCreateInfo allocationInfo{};
  allocationInfo.usage = VMA_MEMORY_USAGE_AUTO_PREFER_DEVICE;
  ZORV_VK_CHECK(vmaCreateImage(allocator_, &imageInfo, &allocationInfo, &textureImage_, &textureAllocation_, nullptr));
  deletionQueue_.push([this] {
    vmaDestroyImage(allocator_, textureImage_, textureAllocation_);
    textureImage_ = VK_NULL_HANDLE;
  });

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
  // The array view and the layers' views (those made before a failure among them).
  deletionQueue_.push([this] {
    for (VkImageView view : textureLayerViews_) vkDestroyImageView(device_, view, nullptr);
    textureLayerViews_.clear();
    vkDestroyImageView(device_, textureView_, nullptr);
    textureView_ = VK_NULL_HANDLE;
  });
  for (std::uint32_t layer = 0; layer < layerCount_; ++layer) {
    VkImageViewCreateInfo layerViewInfo = viewInfo;
    layerViewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
    layerViewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, levels, layer, 1};
    ZORV_VK_CHECK(vkCreateImageView(device_, &layerViewInfo, nullptr, &textureLayerViews_[layer]));
  }
  sampler_ = createSampler(device_, VK_FILTER_NEAREST, VK_FILTER_LINEAR, VK_SAMPLER_MIPMAP_MODE_LINEAR, VK_SAMPLER_ADDRESS_MODE_REPEAT,
                           VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE, static_cast<float>(levels - 1));
  deletionQueue_.push([this] {
    vkDestroySampler(device_, sampler_, nullptr);
    sampler_ = VK_NULL_HANDLE;
  });
}

void VulkanRenderer::createShadowMap() {
  const VkImageCreateInfo imageInfo =
      imageCreateInfo(VK_FORMAT_D32_SFLOAT, kShadowMapSize, kShadowMapSize, 1, kCascadeCount,
                      VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_TRANSFER_DST_BIT);
  VmaAllocationCreateInfo allocationInfo{};
  allocationInfo.usage = VMA_MEMORY_USAGE_AUTO_PREFER_DEVICE;
  ZORV_VK_CHECK(vmaCreateImage(allocator_, &imageInfo, &allocationInfo, &shadowImage_, &shadowAllocation_, nullptr));
  deletionQueue_.push([this] {
    vmaDestroyImage(allocator_, shadowImage_, shadowAllocation_);
    shadowImage_ = VK_NULL_HANDLE;
    shadowLayout_ = VK_IMAGE_LAYOUT_UNDEFINED;
  });
  VkImageCreateInfo terrainInfo = imageInfo;
  terrainInfo.usage = VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT;
  ZORV_VK_CHECK(vmaCreateImage(allocator_, &terrainInfo, &allocationInfo, &shadowTerrainImage_, &shadowTerrainAllocation_, nullptr));
  deletionQueue_.push([this] {
    vmaDestroyImage(allocator_, shadowTerrainImage_, shadowTerrainAllocation_);
    shadowTerrainImage_ = VK_NULL_HANDLE;
    shadowTerrainLayout_ = VK_IMAGE_LAYOUT_UNDEFINED;
  });
  // The array view and every layer's view of both images, whichever were made.
  deletionQueue_.push([this] {
    for (auto* views : {&shadowLayerViews_, &shadowTerrainViews_})
      for (VkImageView& view : *views) {
        vkDestroyImageView(device_, view, nullptr);
        view = VK_NULL_HANDLE;
      }
    vkDestroyImageView(device_, shadowView_, nullptr);
    shadowView_ = VK_NULL_HANDLE;
  });
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
    layerView.image = shadowTerrainImage_;
    ZORV_VK_CHECK(vkCreateImageView(device_, &layerView, nullptr, &shadowTerrainViews_[i]));
  }
  shadowSampler_ = createSampler(device_, VK_FILTER_NEAREST, VK_FILTER_NEAREST, VK_SAMPLER_MIPMAP_MODE_NEAREST,
                                 VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE, VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE, 0.0f);
  deletionQueue_.push([this] {
    vkDestroySampler(device_, shadowSampler_, nullptr);
    shadowSampler_ = VK_NULL_HANDLE;
  });
  shadowCompareSampler_ = createShadowCompareSampler(physicalDevice_, device_);
  deletionQueue_.push([this] {
    vkDestroySampler(device_, shadowCompareSampler_, nullptr);
    shadowCompareSampler_ = VK_NULL_HANDLE;
  });
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
      {1, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC, 1, VK_SHADER_STAGE_FRAGMENT_BIT, nullptr},
      {2, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC, 1, VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT, nullptr},
      {3, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 1, VK_SHADER_STAGE_FRAGMENT_BIT, nullptr},
      {4, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 1, VK_SHADER_STAGE_FRAGMENT_BIT, nullptr},
  };
  constexpr std::uint32_t kBindings = std::size(bindings);
  VkDescriptorSetLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
  layoutInfo.bindingCount = kBindings;
  layoutInfo.pBindings = bindings;
  ZORV_VK_CHECK(vkCreateDescriptorSetLayout(device_, &layoutInfo, nullptr, &descriptorSetLayout_));
  deletionQueue_.push([this] {
    vkDestroyDescriptorSetLayout(device_, descriptorSetLayout_, nullptr);
    descriptorSetLayout_ = VK_NULL_HANDLE;
  });
  ZORV_VK_CHECK(createDescriptorPool(
      device_, {{VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 3}, {VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC, 2}}, 1, 0, &descriptorPool_));
  deletionQueue_.push([this] {
    vkDestroyDescriptorPool(device_, descriptorPool_, nullptr);
    descriptorPool_ = VK_NULL_HANDLE;
    descriptorSet_ = VK_NULL_HANDLE;
  });
  VkDescriptorSetAllocateInfo allocateInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
  allocateInfo.descriptorPool = descriptorPool_;
  allocateInfo.descriptorSetCount = 1;
  allocateInfo.pSetLayouts = &descriptorSetLayout_;
  ZORV_VK_CHECK(vkAllocateDescriptorSets(device_, &allocateInfo, &descriptorSet_));

  const VkDescriptorImageInfo texture{sampler_, textureView_, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
  const VkDescriptorImageInfo shadow{shadowSampler_, shadowView_, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
  const VkDescriptorImageInfo shadowCompare{shadowCompareSampler_, shadowView_, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
  // Offset 0: each frame's slice is chosen by the dynamic offsets it is bound with.
  const VkDescriptorBufferInfo visual{uniformBuffer_, 0, sizeof(VisualUniforms)};
  const VkDescriptorBufferInfo frame{uniformBuffer_, 0, sizeof(FrameUniforms)};
  VkWriteDescriptorSet writes[kBindings]{};
  for (std::uint32_t i = 0; i < kBindings; ++i) {
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
  writes[4].pImageInfo = &shadowCompare;
  vkUpdateDescriptorSets(device_, kBindings, writes, 0, nullptr);
}

void VulkanRenderer::createBlockPipelines() {
  VkPushConstantRange range{VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT, 0, sizeof(DrawPushConstants)};
  VkPipelineLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
  layoutInfo.setLayoutCount = 1;
  layoutInfo.pSetLayouts = &descriptorSetLayout_;
  layoutInfo.pushConstantRangeCount = 1;
  layoutInfo.pPushConstantRanges = &range;
  ZORV_VK_CHECK(vkCreatePipelineLayout(device_, &layoutInfo, nullptr, &pipelineLayout_));
  deletionQueue_.push([this] { destroyBlockPipelines(); });

  VkShaderModule vertex = loadShader("block_vs.spv", "block_vs", true);
  VkShaderModule fragment = loadShader("block_fs.spv", "block_fs", true);
  // Chunk quads without cut-out texels skip the discard and their back faces, and frames
  // without sun shadows skip the shadow map; a pack's own block shader is used for all of them.
  const bool own = overrides_.count("block_fs") != 0;
  auto variant = [&](const char* file) { return own ? VK_NULL_HANDLE : loadShader(file, nullptr, true); };
  VkShaderModule solid = variant("block_solid_fs.spv");
  VkShaderModule unshadowed = variant("block_unshadowed_fs.spv");
  VkShaderModule solidUnshadowed = variant("block_solid_unshadowed_fs.spv");
  ShaderModules modules(device_, {vertex, fragment, solid, unshadowed, solidUnshadowed});
  if (!vertex || !fragment) throw std::runtime_error("shader modules missing");
  buildBlockPipelines(vertex, fragment, solid ? solid : fragment, false, blockPipelines_[0]);
  buildBlockPipelines(vertex, unshadowed ? unshadowed : fragment, solidUnshadowed ? solidUnshadowed : fragment, false,
                      blockPipelines_[1]);
  if (own) return;
  buildBlockPipelines(vertex, fragment, solid, true, displayPipelines_[0]);
  buildBlockPipelines(vertex, unshadowed, solidUnshadowed, true, displayPipelines_[1]);
}

void VulkanRenderer::buildBlockPipelines(VkShaderModule vertex, VkShaderModule fragment, VkShaderModule solid, bool displayOutput,
                                         BlockPipelines& out) {
  PipelineDescription description;
  description.layout = pipelineLayout_;
  description.vertexShader = vertex;
  description.fragmentShader = fragment;
  description.vertexEntry = "VSMain";
  description.fragmentEntry = "PSMain";
  description.meshVertices = true;
  description.colourFormat = displayOutput ? swapchainFormat_ : sceneFormat_;
  description.displayOutput = displayOutput;
  description.depthFormat = VK_FORMAT_D32_SFLOAT;
  description.depthTest = true;
  description.depthWrite = true;
  ZORV_VK_CHECK(buildPipeline(device_, description, &out.opaque));
  description.fragmentShader = solid;
  // The solid quads are faces of closed boxes: seen from behind they are always hidden,
  // and not setting them up saves the rasteriser half of its triangles.
  description.cullBackFaces = true;
  ZORV_VK_CHECK(buildPipeline(device_, description, &out.solid));
  description.cullBackFaces = false;
  description.fragmentShader = fragment;
  description.depthWrite = false;
  description.blend = BlendMode::Alpha;
  ZORV_VK_CHECK(buildPipeline(device_, description, &out.translucent));
}

// The block pipelines that were built and their layout.
void VulkanRenderer::destroyBlockPipelines() {
  for (auto* sets : {&blockPipelines_, &displayPipelines_}) {
    for (BlockPipelines& set : *sets)
      for (VkPipeline pipeline : {set.opaque, set.solid, set.translucent}) vkDestroyPipeline(device_, pipeline, nullptr);
    *sets = {};
  }
  vkDestroyPipelineLayout(device_, pipelineLayout_, nullptr);
  pipelineLayout_ = VK_NULL_HANDLE;
}

void VulkanRenderer::createShadowPipeline() {
  VkPushConstantRange range{VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof(DrawPushConstants)};
  VkPipelineLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
  layoutInfo.pushConstantRangeCount = 1;
  layoutInfo.pPushConstantRanges = &range;
  ZORV_VK_CHECK(vkCreatePipelineLayout(device_, &layoutInfo, nullptr, &shadowPipelineLayout_));
  deletionQueue_.push([this] {
    vkDestroyPipeline(device_, pipelineShadow_, nullptr);
    pipelineShadow_ = VK_NULL_HANDLE;
    vkDestroyPipelineLayout(device_, shadowPipelineLayout_, nullptr);
    shadowPipelineLayout_ = VK_NULL_HANDLE;
  });
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

void VulkanRenderer::drawMesh(VkCommandBuffer cmd, const GpuMesh& mesh) { drawMeshRange(cmd, mesh, 0, mesh.indexCount); }

void VulkanRenderer::drawMeshRange(VkCommandBuffer cmd, const GpuMesh& mesh, std::uint32_t first, std::uint32_t count) {
  const VkDeviceSize zero = 0;
  vkCmdBindVertexBuffers(cmd, 0, 1, &mesh.buffer, &zero);
  vkCmdBindIndexBuffer(cmd, mesh.buffer, mesh.indexOffset, VK_INDEX_TYPE_UINT32);
  vkCmdDrawIndexed(cmd, count, 1, first, 0, 0);
}

}  // namespace zorv
