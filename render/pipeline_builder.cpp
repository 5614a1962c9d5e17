#include "render/pipeline_builder.h"

#include <cstdint>

#include "world/mesher.h"

namespace zorv {

ShaderModules::~ShaderModules() {
  for (VkShaderModule module : modules_)
    if (module) vkDestroyShaderModule(device_, module, nullptr);
}

VkResult buildPipeline(VkDevice device, const PipelineDescription& d, VkPipeline* pipeline) {
  VkPipelineShaderStageCreateInfo stages[2]{};
  std::uint32_t stageCount = 0;
  stages[stageCount++] = {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO, nullptr, 0, VK_SHADER_STAGE_VERTEX_BIT,
                          d.vertexShader, d.vertexEntry, nullptr};
  const VkBool32 displayOutput = VK_TRUE;
  const VkSpecializationMapEntry displayEntry{0, 0, sizeof displayOutput};
  const VkSpecializationInfo displaySpecialisation{1, &displayEntry, sizeof displayOutput, &displayOutput};
  if (d.fragmentShader)
    stages[stageCount++] = {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO, nullptr, 0, VK_SHADER_STAGE_FRAGMENT_BIT,
                            d.fragmentShader, d.fragmentEntry, d.displayOutput ? &displaySpecialisation : nullptr};

  const VkVertexInputBindingDescription binding{0, sizeof(MeshVertex), VK_VERTEX_INPUT_RATE_VERTEX};
  const VkVertexInputAttributeDescription attributes[] = {
      {0, 0, VK_FORMAT_R32G32B32_SFLOAT, 0}, {1, 0, VK_FORMAT_R32G32_SFLOAT, 12}, {2, 0, VK_FORMAT_R32_SFLOAT, 20},
      {3, 0, VK_FORMAT_R32_UINT, 24},        {4, 0, VK_FORMAT_R32_SFLOAT, 28},    {5, 0, VK_FORMAT_R32_SFLOAT, 32},
  };
  VkPipelineVertexInputStateCreateInfo vertexInput{VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO};
  if (d.meshVertices) {
    vertexInput.vertexBindingDescriptionCount = 1;
    vertexInput.pVertexBindingDescriptions = &binding;
    vertexInput.vertexAttributeDescriptionCount = d.shadowVertices ? 4 : 6;
    vertexInput.pVertexAttributeDescriptions = attributes;
  }
  VkPipelineInputAssemblyStateCreateInfo assembly{VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO};
  assembly.topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
  VkPipelineViewportStateCreateInfo viewport{VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO};
  viewport.viewportCount = 1;
  viewport.scissorCount = 1;
  VkPipelineRasterizationStateCreateInfo raster{VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO};
  raster.polygonMode = VK_POLYGON_MODE_FILL;
  raster.cullMode = d.cullBackFaces ? VK_CULL_MODE_BACK_BIT : VK_CULL_MODE_NONE;
  raster.frontFace = VK_FRONT_FACE_COUNTER_CLOCKWISE;
  raster.lineWidth = 1.0f;
  if (d.depthBias) {
    raster.depthBiasEnable = VK_TRUE;
    raster.depthBiasConstantFactor = 1.5f;
    raster.depthBiasSlopeFactor = 2.0f;
  }
  VkPipelineMultisampleStateCreateInfo multisample{VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO};
  multisample.rasterizationSamples = VK_SAMPLE_COUNT_1_BIT;
  VkPipelineDepthStencilStateCreateInfo depth{VK_STRUCTURE_TYPE_PIPELINE_DEPTH_STENCIL_STATE_CREATE_INFO};
  depth.depthTestEnable = d.depthTest ? VK_TRUE : VK_FALSE;
  depth.depthWriteEnable = d.depthWrite ? VK_TRUE : VK_FALSE;
  depth.depthCompareOp = VK_COMPARE_OP_LESS_OR_EQUAL;
  depth.maxDepthBounds = 1.0f;
  VkPipelineColorBlendAttachmentState blend{};
  blend.colorWriteMask = VK_COLOR_COMPONENT_R_BIT | VK_COLOR_COMPONENT_G_BIT | VK_COLOR_COMPONENT_B_BIT;
  // The window's image keeps the opaque alpha it was cleared to.
  if (!d.displayOutput) blend.colorWriteMask |= VK_COLOR_COMPONENT_A_BIT;
  if (d.blend == BlendMode::Alpha) {
    blend.blendEnable = VK_TRUE;
    blend.srcColorBlendFactor = VK_BLEND_FACTOR_SRC_ALPHA;
    blend.dstColorBlendFactor = VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA;
    blend.colorBlendOp = VK_BLEND_OP_ADD;
    blend.srcAlphaBlendFactor = VK_BLEND_FACTOR_ONE;
    blend.dstAlphaBlendFactor = VK_BLEND_FACTOR_ZERO;
    blend.alphaBlendOp = VK_BLEND_OP_ADD;
  } else if (d.blend == BlendMode::Additive) {
    blend.blendEnable = VK_TRUE;
    blend.srcColorBlendFactor = blend.dstColorBlendFactor = VK_BLEND_FACTOR_ONE;
    blend.srcAlphaBlendFactor = blend.dstAlphaBlendFactor = VK_BLEND_FACTOR_ONE;
    blend.colorBlendOp = blend.alphaBlendOp = VK_BLEND_OP_ADD;
  }
  const bool hasColour = d.colourFormat != VK_FORMAT_UNDEFINED;
  VkPipelineColorBlendStateCreateInfo colourBlend{VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO};
  colourBlend.attachmentCount = hasColour ? 1 : 0;
  colourBlend.pAttachments = &blend;
  const VkDynamicState dynamicStates[] = {VK_DYNAMIC_STATE_VIEWPORT, VK_DYNAMIC_STATE_SCISSOR};
  VkPipelineDynamicStateCreateInfo dynamic{VK_STRUCTURE_TYPE_PIPELINE_DYNAMIC_STATE_CREATE_INFO};
  dynamic.dynamicStateCount = 2;
  dynamic.pDynamicStates = dynamicStates;
  VkPipelineRenderingCreateInfo rendering{VK_STRUCTURE_TYPE_PIPELINE_RENDERING_CREATE_INFO};
  rendering.colorAttachmentCount = hasColour ? 1 : 0;
  rendering.pColorAttachmentFormats = &d.colourFormat;
  rendering.depthAttachmentFormat = d.depthFormat;

  VkGraphicsPipelineCreateInfo pipelineInfo{VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO};
  pipelineInfo.pNext = &rendering;
  pipelineInfo.stageCount = stageCount;
  pipelineInfo.pStages = stages;
  pipelineInfo.pVertexInputState = &vertexInput;
  pipelineInfo.pInputAssemblyState = &assembly;
  pipelineInfo.pViewportState = &viewport;
  pipelineInfo.pRasterizationState = &raster;
  pipelineInfo.pMultisampleState = &multisample;
  pipelineInfo.pDepthStencilState = d.depthFormat != VK_FORMAT_UNDEFINED ? &depth : nullptr;
  pipelineInfo.pColorBlendState = hasColour ? &colourBlend : nullptr;
  pipelineInfo.pDynamicState = &dynamic;
  pipelineInfo.layout = d.layout;
  return vkCreateGraphicsPipelines(device, VK_NULL_HANDLE, 1, &pipelineInfo, nullptr, pipeline);
}

}  // namespace zorv
