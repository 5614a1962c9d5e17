#pragma once
// The Vulkan implementation of Renderer: bring-up, two frames in flight, mesh storage,
// the world and shadow passes, the post-processing chain, Dear ImGui and frame capture.

#include <volk.h>
#include <vk_mem_alloc.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "content/visual_settings.h"
#include "render/deletion_queue.h"
#include "render/gpu_timer.h"
#include "render/post_chain.h"
#include "render/renderer.h"
#include "render/uniform_slices.h"
#include "render/png_writer.h"
#include "render/world_pass.h"

namespace zorv {

struct RenderTarget {
  VkImage image = VK_NULL_HANDLE;
  VmaAllocation allocation = nullptr;
  VkImageView view = VK_NULL_HANDLE;
  VkImageLayout layout = VK_IMAGE_LAYOUT_UNDEFINED;
  std::uint32_t width = 0, height = 0;
};

struct GpuMesh {
  VkBuffer buffer = VK_NULL_HANDLE;
  VmaAllocation allocation = nullptr;
  std::uint32_t indexCount = 0;
  std::uint32_t solidIndexCount = 0;  // chunk meshes: the leading indices of quads without cut-out texels
  VkDeviceSize indexOffset = 0;
  std::array<float, 3> boundsMin{}, boundsMax{};
};

struct FrameResources {
  VkCommandPool commandPool = VK_NULL_HANDLE;
  VkCommandBuffer commandBuffer = VK_NULL_HANDLE;
  VkSemaphore imageAvailable = VK_NULL_HANDLE;
  VkSemaphore renderFinished = VK_NULL_HANDLE;
  VkFence fence = VK_NULL_HANDLE;
};

class VulkanRenderer final : public Renderer {
 public:
  // `baseFolder` holds "shaders" and "resourcepacks"; by default the executable's folder.
  VulkanRenderer();
  explicit VulkanRenderer(std::filesystem::path baseFolder);
  ~VulkanRenderer() override;
  VulkanRenderer(const VulkanRenderer&) = delete;
  VulkanRenderer& operator=(const VulkanRenderer&) = delete;

  bool init(GLFWwindow* window, bool vsync) override;
  void shutdown() override;
  void uploadChunkMesh(const ChunkKey& key, const Mesh& mesh) override;
  void uploadTranslucentMesh(const ChunkKey& key, const Mesh& mesh) override;
  void removeChunkMeshes(const ChunkKey& key) override;
  void clearChunkMeshes() override;
  void setModelMesh(std::uint32_t index, const Mesh& mesh) override;
  void setParticleMesh(const Mesh& mesh) override;
  void setEnvironment(float daylight, float fogDistance, Vec3 sunDirection) override;
  void setEffects(bool shadows, bool postProcessing) override;
  void setRenderScale(float fraction) override;
  void setVsync(bool on) override;
  void onResize() override;
  void beginUiFrame() override;
  void drawFrame(const std::array<float, 16>& viewProjection, Vec3 cameraPosition, const std::vector<EntityInstance>& entities,
                 const std::vector<ParticleInstance>& particles) override;
  void setChunkFaceLinks(const ChunkKey& key, std::uint16_t links) override;

  // Off: every chunk in the view frustum is drawn, as if nothing hid anything.
  void setVisibilityCulling(bool on) { cullingEnabled_ = on; }
  // Off: frames without post passes still draw the scene target and run the composite.
  void setDirectOutput(bool on) { directOutputEnabled_ = on; }
  // Off: the composite writes its own image and FXAA runs in a pass of its own.
  void setSmoothedComposite(bool on) { smoothedCompositeEnabled_ = on; }
  // Off: the solid chunk quads are drawn with both faces, as the others are; for a camera
  // inside an opaque cell, which sees the backs of the faces around it.
  void setBackFaceCulling(bool on) { backFaceCulling_ = on; }
  // Chunk meshes in the view frustum that the visibility walk did not reach, last frame.
  std::uint32_t culledChunkCount() const { return culledChunks_; }
  // GPU milliseconds per pass: of the last frame read back, and the mean since the reset.
  const PassTimes& lastPassTimes() const { return gpuTimer_.lastFrame(); }
  PassTimes averagePassTimes() const { return gpuTimer_.average(); }
  void resetPassTimes() { gpuTimer_.resetAverage(); }
  bool passTimesAvailable() const { return gpuTimer_.available(); }

  // Draws one frame and writes the presented image as a PNG file with metadata.
  bool captureFrame(const std::array<float, 16>& viewProjection, Vec3 cameraPosition, const std::vector<EntityInstance>& entities,
                    const std::vector<ParticleInstance>& particles, const std::filesystem::path& path,
                    const ScreenshotMetadata& metadata);

  // Records a whole frame (culling, sorting, constants, every pass) into the current
  // frame's command buffer and throws it away unsubmitted: the CPU cost of recording.
  void recordFrameUnsubmitted(const std::array<float, 16>& viewProjection, Vec3 cameraPosition,
                              const std::vector<EntityInstance>& entities, const std::vector<ParticleInstance>& particles);

  std::uint32_t drawnChunkCount() const { return drawnChunks_; }
  std::size_t chunkMeshCount() const { return opaqueMeshes_.size(); }
  std::size_t triangleCount() const;
  // Dear ImGui texture of one texture-array layer; 0 beyond the layer count.
  std::uint64_t layerTexture(std::uint32_t layer) const;
  const std::string& deviceName() const { return deviceName_; }
  // The validation layer is installed and was enabled: every command goes through it.
  bool validationLayerEnabled() const { return validationLayer_; }
  std::uint32_t apiVersion() const { return apiVersion_; }
  VkExtent2D swapchainExtent() const { return extent_; }
  // The size the world and the post chain are drawn at.
  VkExtent2D renderExtent() const { return {scene_.width, scene_.height}; }
  std::size_t pendingDeletionCount() const { return pendingDeletions_[0].size() + pendingDeletions_[1].size(); }
  // Path of the font Dear ImGui uses for Chinese text; empty when the default font is used.
  const std::string& uiFontPath() const { return uiFontPath_; }

 private:
  using MeshMap = std::unordered_map<ChunkKey, GpuMesh, ChunkKeyHash>;

  void createInstance();
  void chooseDevice();
  void createDevice();
  void createAllocator();
  void createUniformBuffers();
  // Copies the uniforms into the current frame's slice, which its fence wait has freed.
  void writeUniforms(const VisualUniforms& visual, const FrameUniforms& frame);
  // The dynamic offsets of the current frame's visual and frame uniforms.
  const UniformSlice& uniformSlice() const { return uniformSlices_.slices[currentFrame_]; }
  void createSwapchain();
  void destroySwapchain();
  PostSizes frameSizes() const;
  void createTargets();
  void recreateSwapchain();
  // Creates `target` and records its destruction in the targets' queue.
  void createTarget(RenderTarget& target, VkFormat format, std::uint32_t width, std::uint32_t height, VkImageUsageFlags usage,
                    VkImageAspectFlags aspect);
  void destroyTarget(RenderTarget& target);
  void prepareTargetLayouts();
  void createFrames();
  void createImGui();
  // Records with `record` into a one-time command buffer, submits it and waits.
  void oneShot(const std::function<void(VkCommandBuffer)>& record);

  // World and shadow passes.
  void createTextureArray();
  void createShadowMap();
  void createWorldDescriptors();
  void createBlockPipelines();
  // Chunk quads of tiles without cut-out texels (solid), the other quads and the models
  // (opaque), water (translucent).
  struct BlockPipelines {
    VkPipeline opaque = VK_NULL_HANDLE, solid = VK_NULL_HANDLE, translucent = VK_NULL_HANDLE;
  };
  void buildBlockPipelines(VkShaderModule vertex, VkShaderModule fragment, VkShaderModule solid, bool displayOutput,
                           BlockPipelines& out);
  void destroyBlockPipelines();
  void createShadowPipeline();
  VkShaderModule loadShader(const char* file, const char* overrideName, bool tryWorkingFolder);
  // Where the world pass draws: the HDR scene target, or the window's image, tone-mapped,
  // in frames without post passes.
  struct WorldTarget {
    VkImage image = VK_NULL_HANDLE;
    VkImageView view = VK_NULL_HANDLE;
    VkImageLayout* layout = nullptr;
    bool display = false;
  };
  // The post passes this frame runs, with the pack's programs and the test switches.
  std::vector<PostPass> planPosts() const;
  // A frame with these post passes draws the world straight into the window's image.
  bool worldOnSwapchain(const std::vector<PostPass>& posts) const;
  WorldTarget worldTarget(bool onSwapchain, std::uint32_t imageIndex);
  void recordWorld(VkCommandBuffer cmd, const Mat4& viewProjection, Vec3 camera, const std::vector<EntityInstance>& entities,
                   const std::vector<ParticleInstance>& particles, const WorldTarget& target);
  // Which cascades to draw this frame; the others keep their map, and `uniforms` gets
  // the matrices those maps were drawn with.
  struct CascadeRedraw {
    std::array<bool, kCascadeCount> terrain{}, entities{};
    // Where the terrain is copied back over last frame's entity shadows.
    std::array<ShadowArea, kCascadeCount> copied{};
    // Cascades whose kept terrain only gains the chunks in `added`, drawn over it within
    // `addedArea`; the others with `terrain` set are cleared and drawn whole.
    std::array<bool, kCascadeCount> incremental{};
    std::array<std::vector<ChunkKey>, kCascadeCount> added;
    std::array<ShadowArea, kCascadeCount> addedArea{};
  };
  CascadeRedraw planCascades(FrameUniforms& uniforms, const std::vector<EntityInstance>& entities);
  void recordShadows(VkCommandBuffer cmd, const CascadeRedraw& redraw, const FrameUniforms& uniforms, const DrawPushConstants& base,
                     const std::vector<EntityInstance>& entities);
  // Begins drawing into one layer, limited to `area` of it.
  void renderShadowLayer(VkCommandBuffer cmd, VkImageView view, bool clear, const DrawPushConstants& push, const ShadowArea& area);
  // The chunk meshes to draw: opaque near to far, translucent far to near.
  void collectChunkDraws(const Mat4& viewProjection, Vec3 camera, std::vector<const GpuMesh*>& opaque,
                         std::vector<const GpuMesh*>& translucent);
  void drawEntities(VkCommandBuffer cmd, const DrawPushConstants& base, VkPipelineLayout layout, VkShaderStageFlags stages,
                    const std::vector<EntityInstance>& entities);
  void drawMesh(VkCommandBuffer cmd, const GpuMesh& mesh);
  // Binds the mesh and draws `count` of its indices from `first`.
  void drawMeshRange(VkCommandBuffer cmd, const GpuMesh& mesh, std::uint32_t first, std::uint32_t count);

  // Post-processing chain.
  void createPostProcessing();
  void destroyPostProcessing();
  void writePostDescriptors();
  VkDescriptorSet postSetFor(PostTarget target) const;
  // Records `passes`; with `worldOnSwapchain` only the interface is drawn, over the world already there.
  void recordPost(VkCommandBuffer cmd, std::uint32_t imageIndex, const std::vector<PostPass>& passes, bool worldOnSwapchain);
  void recordInterface(VkCommandBuffer cmd);
  // Begins drawing into the whole of one colour image, with no depth.
  void beginColourRendering(VkCommandBuffer cmd, VkImageView view, VkExtent2D size, VkAttachmentLoadOp load);
  RenderTarget& postTarget(PostTarget target);

  void uploadMesh(GpuMesh& mesh, const Mesh& source);
  void replaceChunkMesh(MeshMap& map, const ChunkKey& key, const Mesh& mesh);
  void destroyMesh(GpuMesh& mesh);
  void destroyPendingDeletions(std::uint32_t frame);
  // Every chunk mesh, and the meshes waiting for their frame; the device must be idle.
  void destroyChunkMeshes();
  void deleteAfterUse(const GpuMesh& mesh);

  std::filesystem::path baseFolder_;
  GLFWwindow* window_ = nullptr;
  bool vsync_ = true;
  bool initialised_ = false;
  // What init created, destroyed newest first by shutdown; the swapchain with its views,
  // and the offscreen targets, have queues of their own, emptied whenever they are made anew.
  DeletionQueue deletionQueue_;
  DeletionQueue swapchainQueue_;
  DeletionQueue targetQueue_;

  VkInstance instance_ = VK_NULL_HANDLE;
  VkDebugUtilsMessengerEXT debugMessenger_ = VK_NULL_HANDLE;
  VkSurfaceKHR surface_ = VK_NULL_HANDLE;
  VkPhysicalDevice physicalDevice_ = VK_NULL_HANDLE;
  std::uint32_t apiVersion_ = 0;
  std::uint32_t graphicsFamily_ = 0, presentFamily_ = 0;
  bool core13_ = false;
  bool validationLayer_ = false;
  bool hasDynamicRenderingExtension_ = false;
  std::string deviceName_;
  VkDevice device_ = VK_NULL_HANDLE;
  VkQueue graphicsQueue_ = VK_NULL_HANDLE, presentQueue_ = VK_NULL_HANDLE;
  PFN_vkCmdBeginRendering beginRendering_ = nullptr;
  PFN_vkCmdEndRendering endRendering_ = nullptr;
  VmaAllocator allocator_ = nullptr;

  VkSwapchainKHR swapchain_ = VK_NULL_HANDLE;
  VkFormat swapchainFormat_ = VK_FORMAT_UNDEFINED;
  VkFormat sceneFormat_ = VK_FORMAT_UNDEFINED;
  VkExtent2D extent_{};
  float renderScale_ = 1.0f;  // fraction of the window the world and post chain are drawn at
  std::vector<VkImage> swapchainImages_;
  std::vector<VkImageView> swapchainViews_;
  std::vector<VkImageLayout> swapchainLayouts_;

  RenderTarget depth_, scene_, composite_, occlusion_, occlusionBlur_, exposure_;
  std::array<RenderTarget, 3> bloom_;

  VkImage shadowImage_ = VK_NULL_HANDLE;
  VmaAllocation shadowAllocation_ = nullptr;
  VkImageView shadowView_ = VK_NULL_HANDLE;
  std::array<VkImageView, kCascadeCount> shadowLayerViews_{};
  VkSampler shadowSampler_ = VK_NULL_HANDLE;         // plain depth reads
  VkSampler shadowCompareSampler_ = VK_NULL_HANDLE;  // depth comparison, filtered where the device can
  VkImageLayout shadowLayout_ = VK_IMAGE_LAYOUT_UNDEFINED;
  // The cascades' terrain alone: copied into the shadow map before the entities are drawn
  // over it, so moving creatures do not make the terrain be drawn again.
  VkImage shadowTerrainImage_ = VK_NULL_HANDLE;
  VmaAllocation shadowTerrainAllocation_ = nullptr;
  std::array<VkImageView, kCascadeCount> shadowTerrainViews_{};
  VkImageLayout shadowTerrainLayout_ = VK_IMAGE_LAYOUT_UNDEFINED;

  VkImage textureImage_ = VK_NULL_HANDLE;
  VmaAllocation textureAllocation_ = nullptr;
  std::uint32_t layerCount_ = 0;
  std::uint32_t layerSize_ = 16;
  VkImageView textureView_ = VK_NULL_HANDLE;
  std::vector<VkImageView> textureLayerViews_;
  VkSampler sampler_ = VK_NULL_HANDLE;

  // The visual and frame uniforms of each frame in flight, bound with dynamic offsets.
  VkBuffer uniformBuffer_ = VK_NULL_HANDLE;
  VmaAllocation uniformAllocation_ = nullptr;
  std::uint8_t* uniformMemory_ = nullptr;
  UniformSlices uniformSlices_;

  VkDescriptorSetLayout descriptorSetLayout_ = VK_NULL_HANDLE;
  VkDescriptorPool descriptorPool_ = VK_NULL_HANDLE;
  VkDescriptorSet descriptorSet_ = VK_NULL_HANDLE;
  VkSampler postSampler_ = VK_NULL_HANDLE;
  VkSampler postDepthSampler_ = VK_NULL_HANDLE;  // nearest: depth formats need not filter
  VkDescriptorSetLayout postSetLayout_ = VK_NULL_HANDLE;
  VkDescriptorPool postPool_ = VK_NULL_HANDLE;
  VkDescriptorSet postSet_ = VK_NULL_HANDLE;
  // One set per pass target, with that target's own binding pointed at the scene image,
  // so that no pass has the image it renders into bound for reading.
  std::array<VkDescriptorSet, 8> postTargetSets_{};
  VkPipelineLayout postPipelineLayout_ = VK_NULL_HANDLE;
  VkDescriptorPool imguiPool_ = VK_NULL_HANDLE;

  VkPipelineLayout pipelineLayout_ = VK_NULL_HANDLE;
  // [0] samples the sun's shadow map; [1] leaves it out, for frames without sun shadows.
  std::array<BlockPipelines, 2> blockPipelines_{};
  // The same, drawing tone-mapped into the window's image, for frames without post passes;
  // not made when a pack has its own block program.
  std::array<BlockPipelines, 2> displayPipelines_{};
  std::vector<bool> cutoutLayers_;
  VkPipelineLayout shadowPipelineLayout_ = VK_NULL_HANDLE;
  VkPipeline pipelineShadow_ = VK_NULL_HANDLE;
  std::array<VkPipeline, kPostPipelineCount> postPipelines_{};

  std::array<FrameResources, 2> frames_{};
  std::uint32_t currentFrame_ = 0;

  MeshMap opaqueMeshes_, translucentMeshes_;
  std::vector<GpuMesh> modelTable_;
  GpuMesh particleMesh_;
  // Per frame in flight: meshes dropped after that frame was submitted, destroyed once its
  // fence has signalled again.
  std::array<std::vector<GpuMesh>, 2> pendingDeletions_;
  std::unordered_map<ChunkKey, std::uint16_t, ChunkKeyHash> faceLinks_;
  bool cullingEnabled_ = true;
  bool directOutputEnabled_ = true;
  bool backFaceCulling_ = true;
  bool smoothedCompositeEnabled_ = true;
  std::uint32_t culledChunks_ = 0;

  // A cascade's map is kept while its matrix, the chunk meshes and (near cascades) the
  // entities are unchanged; the far cascade is redrawn at most every few frames.
  struct CascadeCache {
    Mat4 matrix{};
    FrustumPlanes planes{};
    float texel = 0.0f;
    std::uint64_t entities = 0;  // hash of the entities inside the cascade's box
    std::uint32_t age = 0;
    bool valid = false;
    bool dirty = false;  // a chunk mesh inside the cascade's box changed
    ShadowArea entityArea;  // the map's texels the entities were drawn into
    std::uint32_t terrainAge = 0;  // frames since the terrain was drawn whole
    // Chunks inside the box that gained a mesh where none was: they only add casters, so
    // they are drawn over the kept terrain instead of redrawing it (streaming).
    std::vector<ChunkKey> added;
  };
  std::array<CascadeCache, kCascadeCount> cascadeCache_{};
  // Tells the cascades whose box holds the chunk that its shadow casters changed; with
  // `onlyAdds` the chunk had no mesh before.
  void chunkChanged(const ChunkKey& key, bool onlyAdds);
  // Draws the chunk meshes of `keys` that are still resident.
  void drawChunks(VkCommandBuffer cmd, const std::vector<ChunkKey>& keys);
  GpuTimer gpuTimer_;

  float daylight_ = 1.0f;
  float fogDistance_ = 128.0f;
  Vec3 sunDirection_{0.0f, 1.0f, 0.0f};
  bool shadowsEnabled_ = true;
  bool postEnabled_ = true;
  VisualSettings visual_;
  ShaderOverrides overrides_;
  std::vector<std::uint64_t> layerTextures_;
  bool imguiContext_ = false;
  bool uiFrameOpen_ = false;  // beginUiFrame ran and no frame has rendered its draw data yet
  std::string uiFontPath_;
  std::uint32_t drawnChunks_ = 0;

  // Present only during captureFrame: the swapchain image is copied into it.
  VkBuffer readbackBuffer_ = VK_NULL_HANDLE;
  VmaAllocation readbackAllocation_ = nullptr;
  void* readbackMemory_ = nullptr;
  bool readbackCopied_ = false;  // the last drawFrame recorded the copy into the buffer
};

}  // namespace zorv
