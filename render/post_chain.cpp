#include "render/post_chain.h"
#include <algorithm>
#include <cmath>

namespace zorv {

const std::array<PostPipelineInfo, kPostPipelineCount>& postPipelineTable() {
  static const std::array<PostPipelineInfo, kPostPipelineCount> table{{
      {"post_ssao_fs.spv", "FSSsao", PostFormat::Occlusion, false, nullptr},
      {"post_blur_fs.spv", "FSBlur", PostFormat::Occlusion, false, nullptr},
      {"post_bloom_down_fs.spv", "FSBloomDown", PostFormat::Bloom, false, nullptr},
      {"post_bloom_up_fs.spv", "FSBloomUp", PostFormat::Bloom, true, nullptr},
      {"post_exposure_fs.spv", "FSExposure", PostFormat::Exposure, false, nullptr},
      {"post_composite_fs.spv", "FSComposite", PostFormat::Swapchain, false, "composite_fs"},
      {"post_fxaa_fs.spv", "FSFxaa", PostFormat::Swapchain, false, "final_fs"},
      {"post_fxaa_scaled_fs.spv", "FSFxaa", PostFormat::Swapchain, false, "final_fs"},
      {"post_composite_smoothed_fs.spv", "FSComposite", PostFormat::Swapchain, false, nullptr},
  }};
  return table;
}

std::uint32_t halfSize(std::uint32_t v) { return v > 3 ? v / 2 : 1; }

PostSizes postSizes(std::uint32_t width, std::uint32_t height) {
  PostSizes sizes;
  sizes.full = {width, height};
  sizes.output = sizes.full;
  sizes.occlusion = {halfSize(width), halfSize(height)};
  // Bloom starts at a quarter of the frame: its first level costs a sixteenth of the frame's
  // pixels, and the glow it feeds is soft anyway.
  sizes.bloom[0] = {halfSize(sizes.occlusion.width), halfSize(sizes.occlusion.height)};
  for (int level = 1; level < 3; ++level)
    sizes.bloom[level] = {halfSize(sizes.bloom[level - 1].width), halfSize(sizes.bloom[level - 1].height)};
  return sizes;
}

PostExtent scaledExtent(PostExtent window, float scale) {
  const float s = std::clamp(scale, kMinRenderFraction, kMaxRenderFraction);
  auto side = [s](std::uint32_t v) {
    return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(static_cast<float>(v) * s)));
  };
  return {side(window.width), side(window.height)};
}

PostSizes scaledPostSizes(PostExtent window, float scale) {
  const PostExtent drawn = scaledExtent(window, scale);
  PostSizes sizes = postSizes(drawn.width, drawn.height);
  sizes.output = window;
  return sizes;
}

namespace {

float inverseOf(std::uint32_t v) { return 1.0f / static_cast<float>(v); }

PostPass pass(PostPipeline pipeline, PostTarget target, std::initializer_list<float> push, bool blend = false) {
  PostPass p{pipeline, target, {}, blend};
  std::copy(push.begin(), push.end(), p.push.begin());
  return p;
}

}  // namespace

std::vector<PostPass> planPostPasses(const VisualSettings& s, bool postProcessing, const PostSizes& sizes, PostPlanOptions options) {
  const bool occlusion = postProcessing && s.ssao > 0.001f;
  const bool bloom = postProcessing && s.bloom > 0.001f;
  const bool exposure = postProcessing && s.autoExposure > 0.5f;
  const PostExtent& full = sizes.full;
  const std::array<PostExtent, 3>& b = sizes.bloom;
  std::vector<PostPass> passes;
  if (occlusion) {
    passes.push_back(pass(PostPipeline::Occlusion, PostTarget::Occlusion,
                          {inverseOf(full.width), inverseOf(full.height), 1.25f, s.ssao, 0.02f}));
    passes.push_back(pass(PostPipeline::Blur, PostTarget::OcclusionBlur,
                          {inverseOf(sizes.occlusion.width), inverseOf(sizes.occlusion.height), 0.0f, 0.0f}));
  }
  if (bloom) {
    passes.push_back(pass(PostPipeline::BloomDown, PostTarget::Bloom0,
                          {inverseOf(full.width), inverseOf(full.height), s.bloomThreshold, 0.0f, 1.0f}));
    passes.push_back(pass(PostPipeline::BloomDown, PostTarget::Bloom1, {inverseOf(b[0].width), inverseOf(b[0].height), 0.0f, 1.0f}));
    passes.push_back(pass(PostPipeline::BloomDown, PostTarget::Bloom2, {inverseOf(b[1].width), inverseOf(b[1].height), 0.0f, 2.0f}));
    passes.push_back(pass(PostPipeline::BloomUp, PostTarget::Bloom1, {inverseOf(b[2].width), inverseOf(b[2].height), 1.0f, 2.0f}, true));
    passes.push_back(pass(PostPipeline::BloomUp, PostTarget::Bloom0, {inverseOf(b[1].width), inverseOf(b[1].height), 1.0f, 1.0f}, true));
  }
  if (exposure) passes.push_back(pass(PostPipeline::Exposure, PostTarget::Exposure, {}));
  const float fxaa = postProcessing ? s.fxaa : 0.0f;
  const bool scaled = full != sizes.output;
  const bool smoothed = fxaa > 0.0f && !scaled && !options.finalOverridden && !options.separateComposite;
  const bool final = !smoothed && (fxaa > 0.0f || options.finalOverridden || scaled);
  passes.push_back(pass(smoothed ? PostPipeline::CompositeSmoothed : PostPipeline::Composite,
                        final ? PostTarget::Composite : PostTarget::Swapchain,
                        {s.exposureBias * s.exposure, s.bloom, s.ssao, s.saturation, exposure ? 1.0f : 0.0f,
                         bloom ? 1.0f : 0.0f, occlusion ? 1.0f : 0.0f, fxaa}));
  if (final) {
    passes.push_back(pass(scaled ? PostPipeline::FinalScaled : PostPipeline::Final, PostTarget::Swapchain,
                          {inverseOf(full.width), inverseOf(full.height), fxaa, scaled ? 1.0f : 0.0f}));
  }
  return passes;
}

bool worldDrawsToSwapchain(const std::vector<PostPass>& plan, bool packPrograms) {
  return !packPrograms && plan.size() == 1 && plan.front().pipeline == PostPipeline::Composite &&
         plan.front().target == PostTarget::Swapchain;
}

}  // namespace zorv
