// The post-processing objects (samplers, descriptor sets, pipelines) and the
// recording of the chain from the HDR scene to the swapchain image, with Dear ImGui.

#include <imgui.h>
#include <imgui_impl_vulkan.h>

#include <stdexcept>

#include "render/pipeline_builder.h"
#include "render/vulkan_renderer.h"
#include "render/vulkan_support.h"

namespace zorv {

namespace {
constexpr std::uint32_t kPostBindings = 10;
constexpr std::uint32_t kFrameBinding = 8;
// Binding of each pass target in the post set (the swapchain image has none).
constexpr std::array<std::uint32_t, 8> kTargetBinding{9, 2, 3, 4, 5, 6, 7, kPostBindings};
}  // namespace

void VulkanRenderer::createPostProcessing() {
  VkSamplerCreateInfo samplerInfo{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
  samplerInfo.magFilter = VK_FILTER_LINEAR;
  samplerInfo.minFilter = VK_FILTER_LINEAR;
  samplerInfo.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
  samplerInfo.addressModeU = samplerInfo.addressModeV = samplerInfo.addressModeW = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  // Recorded first: the samplers, set layout, pool, pipeline layout and pipelines that were made.
  deletionQueue_.push([this] { destroyPostProcessing(); });
  ZORV_VK_CHECK(vkCreateSampler(device_, &samplerInfo, nullptr, &postSampler_));
  samplerInfo.magFilter = samplerInfo.minFilter = VK_FILTER_NEAREST;
  ZORV_VK_CHECK(vkCreateSampler(device_, &samplerInfo, nullptr, &postDepthSampler_));

  std::vector<VkDescriptorSetLayoutBinding> bindings;
  for (std::uint32_t binding = 0; binding < kPostBindings; ++binding) {
    const VkDescriptorType type =
        binding == kFrameBinding ? VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC : VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    bindings.push_back({binding, type, 1, VK_SHADER_STAGE_FRAGMENT_BIT, nullptr});
  }
  VkDescriptorSetLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
  layoutInfo.bindingCount = kPostBindings;
  layoutInfo.pBindings = bindings.data();
  ZORV_VK_CHECK(vkCreateDescriptorSetLayout(device_, &layoutInfo, nullptr, &postSetLayout_));
  constexpr std::uint32_t kSets = 1 + std::tuple_size_v<decltype(postTargetSets_)>;
  ZORV_VK_CHECK(createDescriptorPool(
      device_, {{VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 9 * kSets}, {VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC, kSets}}, kSets, 0, &postPool_));
  VkDescriptorSetAllocateInfo allocateInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
  allocateInfo.descriptorPool = postPool_;
  allocateInfo.descriptorSetCount = 1;
  allocateInfo.pSetLayouts = &postSetLayout_;
  ZORV_VK_CHECK(vkAllocateDescriptorSets(device_, &allocateInfo, &postSet_));
  for (VkDescriptorSet& set : postTargetSets_) ZORV_VK_CHECK(vkAllocateDescriptorSets(device_, &allocateInfo, &set));
  writePostDescriptors();
  // Each frame's slice is chosen by the dynamic offset the set is bound with.
  const VkDescriptorBufferInfo frame{uniformBuffer_, 0, sizeof(FrameUniforms)};
  std::vector<VkWriteDescriptorSet> writes;
  for (std::size_t i = 0; i <= postTargetSets_.size(); ++i) {
    VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
    write.dstSet = i == 0 ? postSet_ : postTargetSets_[i - 1];
    write.dstBinding = kFrameBinding;
    write.descriptorCount = 1;
    write.descriptorType = VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC;
    write.pBufferInfo = &frame;
    writes.push_back(write);
  }
  vkUpdateDescriptorSets(device_, static_cast<std::uint32_t>(writes.size()), writes.data(), 0, nullptr);

  VkPushConstantRange range{VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT, 0, 64};
  VkPipelineLayoutCreateInfo pipelineLayout{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
  pipelineLayout.setLayoutCount = 1;
  pipelineLayout.pSetLayouts = &postSetLayout_;
  pipelineLayout.pushConstantRangeCount = 1;
  pipelineLayout.pPushConstantRanges = &range;
  ZORV_VK_CHECK(vkCreatePipelineLayout(device_, &pipelineLayout, nullptr, &postPipelineLayout_));

  const auto& table = postPipelineTable();
  VkShaderModule vertex = loadShader(kPostVertexFile, nullptr, true);
  std::array<VkShaderModule, kPostPipelineCount> fragments{};
  for (std::size_t i = 0; i < table.size(); ++i) fragments[i] = loadShader(table[i].file, table[i].overrideName, true);
  std::vector<VkShaderModule> loaded(fragments.begin(), fragments.end());
  loaded.push_back(vertex);
  ShaderModules modules(device_, std::move(loaded));
  if (!vertex) throw std::runtime_error("post shader modules missing");
  for (VkShaderModule fragment : fragments)
    if (!fragment) throw std::runtime_error("post shader modules missing");

  for (std::size_t i = 0; i < table.size(); ++i) {
    PipelineDescription description;
    description.layout = postPipelineLayout_;
    description.vertexShader = vertex;
    description.vertexEntry = kPostVertexEntry;
    description.fragmentShader = fragments[i];
    description.fragmentEntry = table[i].entryPoint;
    switch (table[i].format) {
      case PostFormat::Occlusion: description.colourFormat = VK_FORMAT_R8_UNORM; break;
      case PostFormat::Bloom: description.colourFormat = VK_FORMAT_R16G16B16A16_SFLOAT; break;
      case PostFormat::Exposure: description.colourFormat = VK_FORMAT_R16_SFLOAT; break;
      case PostFormat::Swapchain: description.colourFormat = swapchainFormat_; break;
    }
    description.blend = table[i].additive ? BlendMode::Additive : BlendMode::None;
    ZORV_VK_CHECK(buildPipeline(device_, description, &postPipelines_[i]));
  }
}

void VulkanRenderer::destroyPostProcessing() {
  for (VkPipeline& pipeline : postPipelines_) {
    vkDestroyPipeline(device_, pipeline, nullptr);
    pipeline = VK_NULL_HANDLE;
  }
  vkDestroyPipelineLayout(device_, postPipelineLayout_, nullptr);
  postPipelineLayout_ = VK_NULL_HANDLE;
  vkDestroyDescriptorPool(device_, postPool_, nullptr);
  postPool_ = VK_NULL_HANDLE;
  postSet_ = VK_NULL_HANDLE;
  postTargetSets_.fill(VK_NULL_HANDLE);
  vkDestroyDescriptorSetLayout(device_, postSetLayout_, nullptr);
  postSetLayout_ = VK_NULL_HANDLE;
  for (VkSampler* sampler : {&postSampler_, &postDepthSampler_}) {
    vkDestroySampler(device_, *sampler, nullptr);
    *sampler = VK_NULL_HANDLE;
  }
}

void VulkanRenderer::writePostDescriptors() {
  const std::array<const RenderTarget*, kPostBindings> images{&scene_, &depth_, &occlusionBlur_, &bloom_[0], &bloom_[1], &bloom_[2],
                                                             &exposure_, &composite_, nullptr, &occlusion_};
  std::vector<VkDescriptorImageInfo> infos;
  infos.reserve(kPostBindings * (postTargetSets_.size() + 1));
  std::vector<VkWriteDescriptorSet> writes;
  for (std::size_t variant = 0; variant <= postTargetSets_.size(); ++variant) {
    const VkDescriptorSet set = variant == 0 ? postSet_ : postTargetSets_[variant - 1];
    const std::uint32_t replaced = variant == 0 ? kPostBindings : kTargetBinding[variant - 1];
    for (std::uint32_t binding = 0; binding < kPostBindings; ++binding) {
      if (!images[binding]) continue;
      const RenderTarget& image = binding == replaced ? scene_ : *images[binding];
      const VkSampler sampler = &image == &depth_ ? postDepthSampler_ : postSampler_;
      infos.push_back({sampler, image.view, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL});
      VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
      write.dstSet = set;
      write.dstBinding = binding;
      write.descriptorCount = 1;
      write.descriptorType = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
      write.pImageInfo = &infos.back();
      writes.push_back(write);
    }
  }
  vkUpdateDescriptorSets(device_, static_cast<std::uint32_t>(writes.size()), writes.data(), 0, nullptr);
}

VkDescriptorSet VulkanRenderer::postSetFor(PostTarget target) const {
  return target == PostTarget::Swapchain ? postSet_ : postTargetSets_[static_cast<std::size_t>(target)];
}

RenderTarget& VulkanRenderer::postTarget(PostTarget target) {
  switch (target) {
    case PostTarget::Occlusion: return occlusion_;
    case PostTarget::OcclusionBlur: return occlusionBlur_;
    case PostTarget::Bloom0: return bloom_[0];
    case PostTarget::Bloom1: return bloom_[1];
    case PostTarget::Bloom2: return bloom_[2];
    case PostTarget::Exposure: return exposure_;
    case PostTarget::Composite:
    case PostTarget::Swapchain: break;
  }
  return composite_;
}

namespace {

GpuPass timedPass(PostPipeline pipeline) {
  switch (pipeline) {
    case PostPipeline::Occlusion:
    case PostPipeline::Blur: return GpuPass::Occlusion;
    case PostPipeline::BloomDown:
    case PostPipeline::BloomUp: return GpuPass::Bloom;
    case PostPipeline::Exposure: return GpuPass::Exposure;
    case PostPipeline::Composite:
    case PostPipeline::CompositeSmoothed: return GpuPass::Composite;
    case PostPipeline::Final:
    case PostPipeline::FinalScaled: break;
  }
  return GpuPass::Final;
}

}  // namespace

void VulkanRenderer::beginColourRendering(VkCommandBuffer cmd, VkImageView view, VkExtent2D size, VkAttachmentLoadOp load) {
  VkRenderingAttachmentInfo colour{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
  colour.imageView = view;
  colour.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
  colour.loadOp = load;
  colour.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
  VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
  rendering.renderArea = {{0, 0}, size};
  rendering.layerCount = 1;
  rendering.colorAttachmentCount = 1;
  rendering.pColorAttachments = &colour;
  beginRendering_(cmd, &rendering);
}

void VulkanRenderer::recordInterface(VkCommandBuffer cmd) {
  if (!imguiContext_ || !uiFrameOpen_) return;
  ImGui::Render();
  ImGui_ImplVulkan_RenderDrawData(ImGui::GetDrawData(), cmd);
  uiFrameOpen_ = false;
  gpuTimer_.mark(cmd, GpuPass::Interface);
}

std::vector<PostPass> VulkanRenderer::planPosts() const {
  PostPlanOptions options;
  options.finalOverridden = overrides_.count("final_fs") != 0;
  options.separateComposite = overrides_.count("composite_fs") != 0 || !smoothedCompositeEnabled_;
  return planPostPasses(visual_, postEnabled_, frameSizes(), options);
}

void VulkanRenderer::recordPost(VkCommandBuffer cmd, std::uint32_t imageIndex, const std::vector<PostPass>& passes,
                                bool worldOnSwapchain) {
  if (worldOnSwapchain) {
    // The world is in the window's image already: the interface goes over it.
    beginColourRendering(cmd, swapchainViews_[imageIndex], extent_, VK_ATTACHMENT_LOAD_OP_LOAD);
    recordInterface(cmd);
    endRendering_(cmd);
    return;
  }
  for (const PostPass& pass : passes) {
    const bool toSwapchain = pass.target == PostTarget::Swapchain;
    VkImage image = VK_NULL_HANDLE;
    VkImageView view = VK_NULL_HANDLE;
    VkImageLayout* layout = nullptr;
    VkExtent2D size = extent_;
    if (toSwapchain) {
      image = swapchainImages_[imageIndex];
      view = swapchainViews_[imageIndex];
      layout = &swapchainLayouts_[imageIndex];
      recordTransition(cmd, image, *layout,
                       {VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                        VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, 1});
    } else {
      RenderTarget& target = postTarget(pass.target);
      image = target.image;
      view = target.view;
      layout = &target.layout;
      size = {target.width, target.height};
      recordTransition(cmd, image, *layout,
                       {VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                        VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_ACCESS_SHADER_READ_BIT,
                        VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT | VK_ACCESS_COLOR_ATTACHMENT_READ_BIT, 1});
    }
    // Each pass covers its whole target: only the additive ones need what is there.
    beginColourRendering(cmd, view, size, pass.blend ? VK_ATTACHMENT_LOAD_OP_LOAD : VK_ATTACHMENT_LOAD_OP_DONT_CARE);
    const VkViewport viewport{0, 0, static_cast<float>(size.width), static_cast<float>(size.height), 0, 1};
    const VkRect2D scissor{{0, 0}, size};
    vkCmdSetViewport(cmd, 0, 1, &viewport);
    vkCmdSetScissor(cmd, 0, 1, &scissor);
    vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, postPipelines_[static_cast<std::size_t>(pass.pipeline)]);
    const VkDescriptorSet set = postSetFor(pass.target);
    const auto frameOffset = static_cast<std::uint32_t>(uniformSlice().frame);
    vkCmdBindDescriptorSets(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, postPipelineLayout_, 0, 1, &set, 1, &frameOffset);
    vkCmdPushConstants(cmd, postPipelineLayout_, VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT, 0, 64, pass.push.data());
    vkCmdDraw(cmd, 3, 1, 0, 0);
    gpuTimer_.mark(cmd, timedPass(pass.pipeline));
    if (toSwapchain) recordInterface(cmd);
    endRendering_(cmd);
    if (!toSwapchain)
      recordTransition(cmd, image, *layout,
                       {VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                        VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT, 1});
  }
}

}  // namespace zorv
