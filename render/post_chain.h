#pragma once
// The post-processing chain as data: target sizes, the pipelines and their shader
// files, and which passes run in which order with which push constants.

#include <array>
#include <cstdint>
#include <vector>

#include "content/visual_settings.h"

namespace zorv {

// FinalScaled: the final pass for a composite smaller than the window. CompositeSmoothed:
// the composite and the final pass's edge smoothing in one pass.
enum class PostPipeline { Occlusion, Blur, BloomDown, BloomUp, Exposure, Composite, Final, FinalScaled, CompositeSmoothed };
constexpr int kPostPipelineCount = 9;

enum class PostTarget { Occlusion, OcclusionBlur, Bloom0, Bloom1, Bloom2, Exposure, Composite, Swapchain };

enum class PostFormat { Occlusion, Bloom, Exposure, Swapchain };

struct PostPipelineInfo {
  const char* file;
  const char* entryPoint;
  PostFormat format;
  bool additive;
  const char* overrideName;  // nullptr: cannot be overridden
};
const std::array<PostPipelineInfo, kPostPipelineCount>& postPipelineTable();
inline constexpr const char* kPostVertexFile = "post_vs.spv";
inline constexpr const char* kPostVertexEntry = "FSQuadVS";

struct PostExtent {
  std::uint32_t width = 1, height = 1;
  friend bool operator==(const PostExtent&, const PostExtent&) = default;
};

// Half of v: v / 2 when v > 3, else 1.
std::uint32_t halfSize(std::uint32_t v);

// `full` is the size the world and the chain are drawn at, `output` the window's.
struct PostSizes {
  PostExtent full, output, occlusion;
  std::array<PostExtent, 3> bloom;
};
PostSizes postSizes(std::uint32_t width, std::uint32_t height);

// The lowest and highest fraction of the window the world may be drawn at.
inline constexpr float kMinRenderFraction = 0.5f, kMaxRenderFraction = 1.0f;
// `scale` (clamped to the range above) of each side, rounded, at least 1.
PostExtent scaledExtent(PostExtent window, float scale);
// The sizes of a frame drawn at `scale` of the window and scaled up to it.
PostSizes scaledPostSizes(PostExtent window, float scale);

struct PostPass {
  PostPipeline pipeline;
  PostTarget target;
  std::array<float, 16> push{};
  bool blend = false;
};

// What keeps the composite and the final pass apart besides the settings.
struct PostPlanOptions {
  bool finalOverridden = false;    // a pack replaces the final program
  bool separateComposite = false;  // the composite writes its own image first (a pack replaces it)
};

// The passes of one frame, in order; the composite always runs. The final pass runs when
// FXAA is on, a pack replaces its shader or the frame is drawn smaller than the window (it
// scales the picture up); otherwise it would only copy the composite, so the composite
// writes the swapchain image itself. FXAA at the window's size with the built-in programs
// is one pass that composites each tap it smooths.
std::vector<PostPass> planPostPasses(const VisualSettings& settings, bool postProcessing, const PostSizes& sizes,
                                     PostPlanOptions options = {});

// True when a frame's plan is the composite alone, straight into the window's image, and
// no pack replaces a program on the way (`packPrograms`): the world is then drawn into
// the window's image already tone-mapped, and no post pass runs at all.
bool worldDrawsToSwapchain(const std::vector<PostPass>& plan, bool packPrograms);

}  // namespace zorv
