// Recording of the shadow and main passes: per-frame uniforms, which shadow cascades to
// redraw, which chunks can be seen and in what order they are drawn.

#include <algorithm>
#include <cstring>
#include <unordered_set>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include "render/chunk_visibility.h"
#include "render/vulkan_renderer.h"
#include "render/vulkan_support.h"
#include "world/chunk_links.h"

namespace zorv {

namespace {

constexpr VkShaderStageFlags kDrawStages = VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT;
// Sun strength at or below which no shadow is cast (the block shader's own test).
constexpr float kNoSunShadow = 0.001f;
// The far cascade waits this many frames between redraws.
constexpr std::uint32_t kFarCascadeInterval = 8;
// Frames between redraws of a cascade's terrain for chunk meshes that changed inside its
// box: an edit near the player casts its shadow at once, while chunks streaming in at a
// distance land in the wider cascades a few at a time instead of redrawing them each frame.
constexpr std::array<std::uint32_t, kCascadeCount> kChunkChangeInterval{1, 4, kFarCascadeInterval};

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

std::array<float, 3> chunkMin(const ChunkKey& key) {
  return {16.0f * static_cast<float>(key.cx), 16.0f * static_cast<float>(key.cy), 16.0f * static_cast<float>(key.cz)};
}

// The entities that can cast into a cascade's box: FNV-1a over their bytes, which tells
// whether any moved since its map was drawn, and the boxes their shadows come from.
struct NearEntities {
  std::uint64_t hash = 1469598103934665603ull;
  std::vector<std::array<Vec3, 2>> boxes;
};

NearEntities nearEntities(const std::vector<EntityInstance>& entities, const FrustumPlanes& planes) {
  NearEntities near;
  for (const EntityInstance& entity : entities) {
    const float reach = 2.0f * std::max(entity.scale, 1.0f);
    const Vec3 lo{entity.x - reach, entity.y - reach, entity.z - reach}, hi{entity.x + reach, entity.y + reach, entity.z + reach};
    if (boxOutside(planes, {lo.x, lo.y, lo.z}, {hi.x, hi.y, hi.z})) continue;
    near.boxes.push_back({lo, hi});
    const auto* bytes = reinterpret_cast<const unsigned char*>(&entity);
    for (std::size_t i = 0; i < sizeof entity; ++i) near.hash = (near.hash ^ bytes[i]) * 1099511628211ull;
  }
  return near;
}

float squaredDistanceToCentre(const GpuMesh& mesh, Vec3 camera) {
  const float dx = (mesh.boundsMin[0] + mesh.boundsMax[0]) * 0.5f - camera.x;
  const float dy = (mesh.boundsMin[1] + mesh.boundsMax[1]) * 0.5f - camera.y;
  const float dz = (mesh.boundsMin[2] + mesh.boundsMax[2]) * 0.5f - camera.z;
  return dx * dx + dy * dy + dz * dz;
}

}  // namespace

void VulkanRenderer::writeUniforms(const VisualUniforms& visual, const FrameUniforms& frame) {
  const UniformSlice& slice = uniformSlice();
  std::memcpy(uniformMemory_ + slice.visual, &visual, sizeof visual);
  std::memcpy(uniformMemory_ + slice.frame, &frame, sizeof frame);
  // A no-op on coherent memory; the submission makes the host's writes visible.
  ZORV_VK_CHECK(vmaFlushAllocation(allocator_, uniformAllocation_, slice.visual, slice.frame + sizeof frame - slice.visual));
}

void VulkanRenderer::setChunkFaceLinks(const ChunkKey& key, std::uint16_t links) { faceLinks_[key] = links; }

void VulkanRenderer::chunkChanged(const ChunkKey& key, bool onlyAdds) {
  const std::array<float, 3> lo = chunkMin(key);
  const std::array<float, 3> hi{lo[0] + 16.0f, lo[1] + 16.0f, lo[2] + 16.0f};
  for (CascadeCache& cache : cascadeCache_) {
    if (!cache.valid || cache.dirty || boxOutside(cache.planes, lo, hi)) continue;
    if (onlyAdds) {
      cache.added.push_back(key);
    } else {
      cache.dirty = true;  // a whole redraw is due; it covers the added chunks too
      cache.added.clear();
    }
  }
}

void VulkanRenderer::drawChunks(VkCommandBuffer cmd, const std::vector<ChunkKey>& keys) {
  for (const ChunkKey& key : keys)
    if (const auto found = opaqueMeshes_.find(key); found != opaqueMeshes_.end()) drawMesh(cmd, found->second);
}

void VulkanRenderer::drawEntities(VkCommandBuffer cmd, const DrawPushConstants& base, VkPipelineLayout layout,
                                  VkShaderStageFlags stages, const std::vector<EntityInstance>& entities) {
  if (modelTable_.empty()) return;
  for (const EntityInstance& entity : entities) {
    const GpuMesh& mesh = modelTable_[modelTableIndex(entity.modelSlot, modelTable_.size())];
    if (mesh.indexCount == 0) continue;
    const DrawPushConstants push = instanceConstants(base, &entity);
    vkCmdPushConstants(cmd, layout, stages, 0, sizeof push, &push);
    drawMesh(cmd, mesh);
  }
}

VulkanRenderer::CascadeRedraw VulkanRenderer::planCascades(FrameUniforms& uniforms, const std::vector<EntityInstance>& entities) {
  CascadeRedraw redraw;
  if (uniforms.sunStrength[3] <= kNoSunShadow) return redraw;
  for (int j = 0; j < kCascadeCount; ++j) {
    const auto i = static_cast<std::size_t>(j);
    CascadeCache& cache = cascadeCache_[i];
    ++cache.age;
    ++cache.terrainAge;
    // The far cascade covers the most terrain and the least of the picture: it waits.
    const bool due = !cache.valid || j < kCascadeCount - 1 || cache.age >= kFarCascadeInterval;
    const bool moved = !cache.valid || cache.matrix != uniforms.cascadeMatrices[j];
    const bool changed = cache.dirty && cache.terrainAge >= kChunkChangeInterval[i];
    if (due && (moved || changed)) {
      cache = {uniforms.cascadeMatrices[j], frustumPlanes(uniforms.cascadeMatrices[j]), uniforms.cascadeTexel[j], 0, 0, true, false};
      redraw.terrain[i] = true;
    } else if (due && !cache.added.empty()) {
      std::vector<std::array<Vec3, 2>> boxes;
      for (const ChunkKey& key : cache.added) {
        const std::array<float, 3> lo = chunkMin(key);
        boxes.push_back({Vec3{lo[0], lo[1], lo[2]}, Vec3{lo[0] + 16.0f, lo[1] + 16.0f, lo[2] + 16.0f}});
      }
      redraw.addedArea[i] = shadowAreaOf(cache.matrix, boxes);
      redraw.added[i] = std::move(cache.added);
      cache.added.clear();
      redraw.terrain[i] = redraw.incremental[i] = !redraw.addedArea[i].empty();
    }
    const NearEntities near = nearEntities(entities, cache.planes);
    if (due && (redraw.terrain[i] || near.hash != cache.entities)) {
      // Only where entity shadows were or now are, and where chunks were added, does the
      // terrain need copying back.
      const ShadowArea drawn = shadowAreaOf(cache.matrix, near.boxes);
      const ShadowArea entityAreas = unite(cache.entityArea, drawn);
      redraw.copied[i] = !redraw.terrain[i]     ? entityAreas
                         : redraw.incremental[i] ? unite(entityAreas, redraw.addedArea[i])
                                                 : wholeShadowMap();
      cache.entities = near.hash;
      cache.entityArea = drawn;
      cache.age = 0;
      redraw.entities[i] = true;
    }
    uniforms.cascadeMatrices[j] = cache.matrix;
    uniforms.cascadeTexel[j] = cache.texel;
  }
  return redraw;
}

void VulkanRenderer::renderShadowLayer(VkCommandBuffer cmd, VkImageView view, bool clear, const DrawPushConstants& push,
                                       const ShadowArea& area) {
  VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
  depth.imageView = view;
  depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL;
  depth.loadOp = clear ? VK_ATTACHMENT_LOAD_OP_CLEAR : VK_ATTACHMENT_LOAD_OP_LOAD;
  depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
  depth.clearValue.depthStencil = {1.0f, 0};
  VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
  const VkRect2D limit{{area.x0, area.y0}, {static_cast<std::uint32_t>(area.x1 - area.x0), static_cast<std::uint32_t>(area.y1 - area.y0)}};
  rendering.renderArea = limit;
  rendering.layerCount = 1;
  rendering.pDepthAttachment = &depth;
  beginRendering_(cmd, &rendering);
  const VkViewport viewport{0, 0, static_cast<float>(kShadowMapSize), static_cast<float>(kShadowMapSize), 0, 1};
  vkCmdSetViewport(cmd, 0, 1, &viewport);
  vkCmdSetScissor(cmd, 0, 1, &limit);
  vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineShadow_);
  vkCmdPushConstants(cmd, shadowPipelineLayout_, VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof push, &push);
}

void VulkanRenderer::recordShadows(VkCommandBuffer cmd, const CascadeRedraw& redraw, const FrameUniforms& uniforms,
                                   const DrawPushConstants& base, const std::vector<EntityInstance>& entities) {
  auto any = [](const std::array<bool, kCascadeCount>& flags) { return std::any_of(flags.begin(), flags.end(), [](bool b) { return b; }); };
  if (!any(redraw.entities)) return;
  constexpr VkPipelineStageFlags kDepthStages = VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT;
  constexpr VkAccessFlags kDepthAccess = VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT | VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT;
  auto pushFor = [&](int cascade) {
    DrawPushConstants push = base;
    push.matrix = uniforms.cascadeMatrices[cascade];
    return push;
  };
  // Terrain of the cascades whose box or chunks changed, each into its own layer.
  if (any(redraw.terrain)) {
    recordTransition(cmd, shadowTerrainImage_, shadowTerrainLayout_,
                     {VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, kDepthStages,
                      VK_ACCESS_TRANSFER_READ_BIT, kDepthAccess, kCascadeCount});
    for (int cascade = 0; cascade < kCascadeCount; ++cascade) {
      const auto i = static_cast<std::size_t>(cascade);
      if (!redraw.terrain[i]) continue;
      if (redraw.incremental[i]) {
        // Added casters only deepen the kept map's shadows: drawn over it where they fall.
        renderShadowLayer(cmd, shadowTerrainViews_[i], false, pushFor(cascade), redraw.addedArea[i]);
        drawChunks(cmd, redraw.added[i]);
        endRendering_(cmd);
        continue;
      }
      renderShadowLayer(cmd, shadowTerrainViews_[i], true, pushFor(cascade), wholeShadowMap());
      // The cascade's own box: its light matrix bounds it on all six sides.
      const FrustumPlanes& planes = cascadeCache_[i].planes;
      for (const auto& entry : opaqueMeshes_) {
        const GpuMesh& mesh = entry.second;
        if (mesh.indexCount == 0 || boxOutside(planes, mesh.boundsMin, mesh.boundsMax)) continue;
        drawMesh(cmd, mesh);
      }
      endRendering_(cmd);
    }
  }
  recordTransition(cmd, shadowTerrainImage_, shadowTerrainLayout_,
                   {VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT, kDepthStages, VK_PIPELINE_STAGE_TRANSFER_BIT,
                    VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_ACCESS_TRANSFER_READ_BIT, kCascadeCount});
  // The terrain copied into the sampled map, the entities drawn over it.
  recordTransition(cmd, shadowImage_, shadowLayout_,
                   {VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                    VK_PIPELINE_STAGE_TRANSFER_BIT, VK_ACCESS_SHADER_READ_BIT, VK_ACCESS_TRANSFER_WRITE_BIT, kCascadeCount});
  for (std::uint32_t cascade = 0; cascade < kCascadeCount; ++cascade) {
    if (!redraw.entities[cascade]) continue;
    const ShadowArea& area = redraw.copied[cascade];
    if (area.empty()) continue;
    VkImageCopy region{};
    region.srcSubresource = {VK_IMAGE_ASPECT_DEPTH_BIT, 0, cascade, 1};
    region.dstSubresource = region.srcSubresource;
    region.srcOffset = region.dstOffset = {area.x0, area.y0, 0};
    region.extent = {static_cast<std::uint32_t>(area.x1 - area.x0), static_cast<std::uint32_t>(area.y1 - area.y0), 1};
    vkCmdCopyImage(cmd, shadowTerrainImage_, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, shadowImage_, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1,
                   &region);
  }
  recordTransition(cmd, shadowImage_, shadowLayout_,
                   {VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT, kDepthStages,
                    VK_ACCESS_TRANSFER_WRITE_BIT, kDepthAccess, kCascadeCount});
  if (!entities.empty()) {
    for (int cascade = 0; cascade < kCascadeCount; ++cascade) {
      if (!redraw.entities[static_cast<std::size_t>(cascade)]) continue;
      const DrawPushConstants push = pushFor(cascade);
      // Only the texels just restored can change: the rest keeps last frame's shadows.
      const ShadowArea& area = redraw.copied[static_cast<std::size_t>(cascade)];
      if (area.empty()) continue;
      renderShadowLayer(cmd, shadowLayerViews_[static_cast<std::size_t>(cascade)], false, push, area);
      drawEntities(cmd, push, shadowPipelineLayout_, VK_SHADER_STAGE_VERTEX_BIT, entities);
      endRendering_(cmd);
    }
  }
  recordTransition(cmd, shadowImage_, shadowLayout_,
                   {VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT, kDepthStages, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                    VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT, kCascadeCount});
}

void VulkanRenderer::collectChunkDraws(const Mat4& viewProjection, Vec3 camera, std::vector<const GpuMesh*>& opaque,
                                       std::vector<const GpuMesh*>& translucent) {
  const FrustumPlanes planes = frustumPlanes(viewProjection);
  std::unordered_set<ChunkKey, ChunkKeyHash> reached;
  bool walked = false;
  if (cullingEnabled_) {
    const VisibilityQuery query{camera, planes, static_cast<int>(fogDistance_ / 16.0f) + 3};
    const std::vector<ChunkKey> order = visibleChunks(query, [this](const ChunkKey& key) {
      const auto found = faceLinks_.find(key);
      return found == faceLinks_.end() ? kAllFaceLinks : found->second;
    });
    walked = !order.empty();
    reached.insert(order.begin(), order.end());
  }
  culledChunks_ = 0;
  auto collect = [&](const MeshMap& meshes, std::vector<std::pair<float, const GpuMesh*>>& out) {
    for (const auto& [key, mesh] : meshes) {
      if (mesh.indexCount == 0 || boxOutside(planes, mesh.boundsMin, mesh.boundsMax)) continue;
      if (walked && reached.count(key) == 0) {
        ++culledChunks_;
        continue;
      }
      out.emplace_back(squaredDistanceToCentre(mesh, camera), &mesh);
    }
  };
  std::vector<std::pair<float, const GpuMesh*>> near, far;
  collect(opaqueMeshes_, near);
  collect(translucentMeshes_, far);
  // Opaque near to far, so depth rejects hidden fragments early; translucent far to near.
  std::sort(near.begin(), near.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::sort(far.begin(), far.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  opaque.clear();
  translucent.clear();
  for (const auto& entry : near) opaque.push_back(entry.second);
  for (const auto& entry : far) translucent.push_back(entry.second);
}

bool VulkanRenderer::worldOnSwapchain(const std::vector<PostPass>& plan) const {
  const bool packPrograms = overrides_.count("composite_fs") != 0 || overrides_.count("final_fs") != 0;
  return directOutputEnabled_ && displayPipelines_[0].solid && worldDrawsToSwapchain(plan, packPrograms);
}

VulkanRenderer::WorldTarget VulkanRenderer::worldTarget(bool onSwapchain, std::uint32_t imageIndex) {
  if (onSwapchain) return {swapchainImages_[imageIndex], swapchainViews_[imageIndex], &swapchainLayouts_[imageIndex], true};
  return {scene_.image, scene_.view, &scene_.layout, false};
}

void VulkanRenderer::recordWorld(VkCommandBuffer cmd, const Mat4& viewProjection, Vec3 camera,
                                 const std::vector<EntityInstance>& entities, const std::vector<ParticleInstance>& particles,
                                 const WorldTarget& target) {
  const Vec3 sky = skyColour(daylight_);
  FrameInputs inputs;
  inputs.viewProjection = viewProjection;
  inputs.camera = camera;
  inputs.sunDirection = sunDirection_;
  inputs.daylight = daylight_;
  inputs.fogDistance = fogDistance_;
  inputs.seconds = static_cast<float>(glfwGetTime());
  const VkExtent2D drawn = renderExtent();
  inputs.width = static_cast<float>(drawn.width);
  inputs.height = static_cast<float>(drawn.height);
  inputs.shadowsEnabled = shadowsEnabled_;
  FrameUniforms frameUniforms = buildFrameUniforms(inputs, visual_);
  const CascadeRedraw redraw = planCascades(frameUniforms, entities);
  const VisualUniforms visualUniforms = buildVisualUniforms(fogDistance_, visual_);
  writeUniforms(visualUniforms, frameUniforms);

  recordShadows(cmd, redraw, frameUniforms, chunkConstants(viewProjection, camera, daylight_, sky, fogDistance_, 1.0f), entities);
  gpuTimer_.mark(cmd, GpuPass::Shadows);

  // Main pass.
  recordTransition(cmd, target.image, *target.layout,
                   {VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT,
                    VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                    VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, target.display ? VkAccessFlags{0} : VkAccessFlags{VK_ACCESS_SHADER_READ_BIT},
                    VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT | VK_ACCESS_COLOR_ATTACHMENT_READ_BIT, 1});
  recordTransition(cmd, depth_.image, depth_.layout,
                   {VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                    VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT, VK_ACCESS_SHADER_READ_BIT,
                    VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT | VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT, 1});
  VkRenderingAttachmentInfo colour{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
  colour.imageView = target.view;
  colour.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
  colour.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
  colour.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
  const Vec3 clear = target.display ? displayColour(sky, visualUniforms.displayExposure, visualUniforms.saturation) : sky;
  colour.clearValue.color = {{clear.x, clear.y, clear.z, 1.0f}};
  VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
  depth.imageView = depth_.view;
  depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL;
  depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
  depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
  depth.clearValue.depthStencil = {1.0f, 0};
  VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
  rendering.renderArea = {{0, 0}, drawn};
  rendering.layerCount = 1;
  rendering.colorAttachmentCount = 1;
  rendering.pColorAttachments = &colour;
  rendering.pDepthAttachment = &depth;
  beginRendering_(cmd, &rendering);
  const VkViewport viewport{0, 0, static_cast<float>(drawn.width), static_cast<float>(drawn.height), 0, 1};
  const VkRect2D scissor{{0, 0}, drawn};
  vkCmdSetViewport(cmd, 0, 1, &viewport);
  vkCmdSetScissor(cmd, 0, 1, &scissor);
  // Without sun shadows this frame the programs that never read the shadow map draw the
  // same picture for less: the software rasteriser would run the shadow code regardless.
  const auto& sets = target.display ? displayPipelines_ : blockPipelines_;
  const BlockPipelines& pipelines = sets[frameUniforms.sunStrength[3] <= kNoSunShadow ? 1 : 0];
  vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, backFaceCulling_ ? pipelines.solid : pipelines.opaque);
  const UniformSlice& slice = uniformSlice();
  const std::uint32_t uniformOffsets[] = {static_cast<std::uint32_t>(slice.visual), static_cast<std::uint32_t>(slice.frame)};
  vkCmdBindDescriptorSets(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineLayout_, 0, 1, &descriptorSet_, 2, uniformOffsets);
  const DrawPushConstants chunkPush = chunkConstants(viewProjection, camera, daylight_, sky, fogDistance_, inputs.seconds);
  vkCmdPushConstants(cmd, pipelineLayout_, kDrawStages, 0, sizeof chunkPush, &chunkPush);
  std::vector<const GpuMesh*> opaque, translucent;
  collectChunkDraws(viewProjection, camera, opaque, translucent);
  // Near to far: the quads that need no discard first (front faces only), then those of cut-out tiles.
  for (const GpuMesh* mesh : opaque)
    if (mesh->solidIndexCount > 0) drawMeshRange(cmd, *mesh, 0, mesh->solidIndexCount);
  vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelines.opaque);
  for (const GpuMesh* mesh : opaque)
    if (mesh->indexCount > mesh->solidIndexCount) drawMeshRange(cmd, *mesh, mesh->solidIndexCount, mesh->indexCount - mesh->solidIndexCount);
  DrawPushConstants modelBase = chunkPush;
  modelBase.position[3] = 0.0f;
  drawEntities(cmd, modelBase, pipelineLayout_, kDrawStages, entities);
  if (particleMesh_.indexCount > 0 && !particles.empty()) {
    const VkDeviceSize zero = 0;
    vkCmdBindVertexBuffers(cmd, 0, 1, &particleMesh_.buffer, &zero);
    vkCmdBindIndexBuffer(cmd, particleMesh_.buffer, particleMesh_.indexOffset, VK_INDEX_TYPE_UINT32);
    for (const ParticleInstance& particle : particles) {
      const DrawPushConstants push = instanceConstants(modelBase, &particle);
      vkCmdPushConstants(cmd, pipelineLayout_, kDrawStages, 0, sizeof push, &push);
      vkCmdDrawIndexed(cmd, particleMesh_.indexCount, 1, 0, 0, 0);
    }
  }
  gpuTimer_.mark(cmd, GpuPass::World);
  if (!translucent.empty()) {
    vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelines.translucent);
    vkCmdPushConstants(cmd, pipelineLayout_, kDrawStages, 0, sizeof chunkPush, &chunkPush);
    for (const GpuMesh* mesh : translucent) drawMesh(cmd, *mesh);
  }
  endRendering_(cmd);
  gpuTimer_.mark(cmd, GpuPass::Water);
  drawnChunks_ = static_cast<std::uint32_t>(opaque.size() + translucent.size());
  if (!target.display)
    recordTransition(cmd, scene_.image, scene_.layout,
                     {VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                      VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT, 1});
  recordTransition(cmd, depth_.image, depth_.layout,
                   {VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT,
                    VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT,
                    VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT, 1});
}

}  // namespace zorv
