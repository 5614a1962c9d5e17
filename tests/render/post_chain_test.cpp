#include "render/post_chain.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

std::vector<PostPipeline> pipelinesOf(const std::vector<PostPass>& passes) {
  std::vector<PostPipeline> result;
  for (const PostPass& pass : passes) result.push_back(pass.pipeline);
  return result;
}

TEST(PostChain, TargetSizesHalveDownToOne) {
  const PostSizes sizes = postSizes(1280, 720);
  EXPECT_EQ(sizes.occlusion, (PostExtent{640, 360}));
  EXPECT_EQ(sizes.bloom[0], (PostExtent{320, 180}));
  EXPECT_EQ(sizes.bloom[1], (PostExtent{160, 90}));
  EXPECT_EQ(sizes.bloom[2], (PostExtent{80, 45}));
  const PostSizes tiny = postSizes(3, 3);
  EXPECT_EQ(tiny.occlusion, (PostExtent{1, 1}));
  EXPECT_EQ(tiny.bloom[2], (PostExtent{1, 1}));
  EXPECT_EQ(halfSize(4), 2u);
  EXPECT_EQ(halfSize(0), 1u);
}

TEST(PostChain, AllPassesRunInOrderWithTheirPushData) {
  const VisualSettings s;
  const std::vector<PostPass> passes = planPostPasses(s, true, postSizes(1280, 720));
  using P = PostPipeline;
  ASSERT_EQ(pipelinesOf(passes), (std::vector<P>{P::Occlusion, P::Blur, P::BloomDown, P::BloomDown, P::BloomDown, P::BloomUp,
                                                 P::BloomUp, P::Exposure, P::CompositeSmoothed}));
  EXPECT_FLOAT_EQ(passes[0].push[0], 1.0f / 1280.0f);
  EXPECT_FLOAT_EQ(passes[0].push[2], 1.25f);
  EXPECT_FLOAT_EQ(passes[0].push[3], 0.6f);
  EXPECT_FLOAT_EQ(passes[0].push[4], 0.02f);
  EXPECT_FLOAT_EQ(passes[1].push[0], 1.0f / 640.0f);
  EXPECT_EQ(passes[2].target, PostTarget::Bloom0);
  EXPECT_FLOAT_EQ(passes[2].push[2], 1.0f);  // threshold
  EXPECT_FLOAT_EQ(passes[2].push[4], 1.0f);
  EXPECT_FLOAT_EQ(passes[3].push[0], 1.0f / 320.0f);
  EXPECT_FLOAT_EQ(passes[3].push[3], 1.0f);
  EXPECT_FLOAT_EQ(passes[4].push[1], 1.0f / 90.0f);
  EXPECT_FLOAT_EQ(passes[4].push[3], 2.0f);
  EXPECT_EQ(passes[5].target, PostTarget::Bloom1);
  EXPECT_TRUE(passes[5].blend);
  EXPECT_FLOAT_EQ(passes[5].push[0], 1.0f / 80.0f);
  EXPECT_FLOAT_EQ(passes[5].push[3], 2.0f);
  EXPECT_EQ(passes[6].target, PostTarget::Bloom0);
  EXPECT_FLOAT_EQ(passes[6].push[1], 1.0f / 90.0f);
  EXPECT_FLOAT_EQ(passes[6].push[3], 1.0f);
  for (float value : passes[7].push) EXPECT_FLOAT_EQ(value, 0.0f);
  // The composite smooths edges as it writes the window's image: the last value is FXAA's strength.
  const std::array<float, 8> composite{1.0f, 0.35f, 0.6f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
  for (std::size_t i = 0; i < composite.size(); ++i) EXPECT_FLOAT_EQ(passes[8].push[i], composite[i]);
  EXPECT_EQ(passes[8].target, PostTarget::Swapchain);

  // A pack's composite program writes the composite image, and the final pass smooths it.
  const std::vector<PostPass> separate = planPostPasses(s, true, postSizes(1280, 720), {.separateComposite = true});
  ASSERT_EQ(separate.size(), 10u);
  EXPECT_EQ(separate[8].pipeline, P::Composite);
  EXPECT_EQ(separate[8].target, PostTarget::Composite);
  EXPECT_EQ(separate[9].pipeline, P::Final);
  EXPECT_EQ(separate[9].target, PostTarget::Swapchain);
  EXPECT_FLOAT_EQ(separate[9].push[2], 1.0f);
  EXPECT_FLOAT_EQ(separate[9].push[3], 0.0f);  // the composite has the window's size: whole texels
  // So does a pack's final program.
  EXPECT_EQ(pipelinesOf(planPostPasses(s, true, postSizes(1280, 720), {.finalOverridden = true})).back(), P::Final);
}

TEST(PostChain, SwitchesAndSettingsSkipPasses) {
  VisualSettings s;
  // With FXAA off the final pass would only copy: the composite writes the swapchain image,
  // unless a pack replaced the final shader.
  const std::vector<PostPass> off = planPostPasses(s, false, postSizes(640, 360));
  ASSERT_EQ(pipelinesOf(off), (std::vector<PostPipeline>{PostPipeline::Composite}));
  EXPECT_EQ(off[0].target, PostTarget::Swapchain);
  EXPECT_FLOAT_EQ(off[0].push[4] + off[0].push[5] + off[0].push[6], 0.0f);
  const std::vector<PostPass> overridden = planPostPasses(s, false, postSizes(640, 360), {.finalOverridden = true});
  ASSERT_EQ(pipelinesOf(overridden), (std::vector<PostPipeline>{PostPipeline::Composite, PostPipeline::Final}));
  EXPECT_EQ(overridden[0].target, PostTarget::Composite);
  EXPECT_FLOAT_EQ(overridden[1].push[2], 0.0f);

  s.ssao = 0.0f;
  s.autoExposure = 0.5f;
  s.exposure = 2.0f;
  s.exposureBias = 0.5f;
  const std::vector<PostPass> noOcclusion = planPostPasses(s, true, postSizes(640, 360));
  EXPECT_EQ(noOcclusion.front().pipeline, PostPipeline::BloomDown);
  const PostPass& composite = noOcclusion.back();
  EXPECT_FLOAT_EQ(composite.push[0], 1.0f);
  EXPECT_FLOAT_EQ(composite.push[4], 0.0f);  // exposure did not run at 0.5
  EXPECT_FLOAT_EQ(composite.push[6], 0.0f);
  s.autoExposure = 0.51f;
  s.bloom = 0.0f;
  const std::vector<PostPass> exposureOnly = planPostPasses(s, true, postSizes(640, 360));
  ASSERT_EQ(pipelinesOf(exposureOnly), (std::vector<PostPipeline>{PostPipeline::Exposure, PostPipeline::CompositeSmoothed}));
}

TEST(PostChain, ScaledFramesAreDrawnSmallerAndScaledUpByTheFinalPass) {
  EXPECT_EQ(scaledExtent({1280, 720}, 0.5f), (PostExtent{640, 360}));
  EXPECT_EQ(scaledExtent({1280, 720}, 0.75f), (PostExtent{960, 540}));
  EXPECT_EQ(scaledExtent({1280, 720}, 0.2f), (PostExtent{640, 360}));   // held to the slider's range
  EXPECT_EQ(scaledExtent({1280, 720}, 1.5f), (PostExtent{1280, 720}));
  EXPECT_EQ(scaledExtent({3, 1}, 0.5f), (PostExtent{2, 1}));  // rounded, never 0
  const PostSizes sizes = scaledPostSizes({1280, 720}, 0.5f);
  EXPECT_EQ(sizes.full, (PostExtent{640, 360}));
  EXPECT_EQ(sizes.output, (PostExtent{1280, 720}));
  EXPECT_EQ(sizes.occlusion, (PostExtent{320, 180}));
  EXPECT_EQ(postSizes(640, 360).output, (PostExtent{640, 360}));

  // Even with every effect off, a smaller frame needs the final pass to reach the window.
  const VisualSettings s;
  const std::vector<PostPass> scaled = planPostPasses(s, false, sizes);
  ASSERT_EQ(pipelinesOf(scaled), (std::vector<PostPipeline>{PostPipeline::Composite, PostPipeline::FinalScaled}));
  EXPECT_EQ(scaled[0].target, PostTarget::Composite);
  EXPECT_EQ(scaled[1].target, PostTarget::Swapchain);
  EXPECT_FLOAT_EQ(scaled[1].push[0], 1.0f / 640.0f);  // the final pass steps in composite texels
  EXPECT_FLOAT_EQ(scaled[1].push[2], 0.0f);
  EXPECT_FLOAT_EQ(scaled[1].push[3], 1.0f);  // filtered taps
  EXPECT_EQ(pipelinesOf(planPostPasses(s, false, scaledPostSizes({1280, 720}, 1.0f))),
            (std::vector<PostPipeline>{PostPipeline::Composite}));
}

// The world goes straight to the window only when the composite would be the one pass.
TEST(PostChain, OnlyFramesWithoutAnyPostPassDrawTheWorldIntoTheWindow) {
  const VisualSettings defaults;
  const PostSizes window = postSizes(1280, 720);
  auto direct = [](const VisualSettings& s, bool post, const PostSizes& sizes, bool packPrograms) {
    return worldDrawsToSwapchain(planPostPasses(s, post, sizes), packPrograms);
  };
  EXPECT_FALSE(direct(defaults, true, window, false));
  EXPECT_TRUE(direct(defaults, false, window, false)) << "post-processing off";
  VisualSettings allOff;
  allOff.ssao = allOff.bloom = allOff.autoExposure = allOff.fxaa = 0.0f;
  EXPECT_TRUE(direct(allOff, true, window, false));
  VisualSettings fxaaOnly = allOff;
  fxaaOnly.fxaa = 1.0f;
  EXPECT_FALSE(direct(fxaaOnly, true, window, false));
  EXPECT_FALSE(direct(defaults, false, scaledPostSizes({1280, 720}, 0.75f), false)) << "scaled frames need the final pass";
  EXPECT_FALSE(direct(defaults, false, window, true)) << "a pack's programs must run";
}

TEST(PostChain, OnlyTheCompositeAndFinalShadersCanBeOverridden) {
  const auto& table = postPipelineTable();
  EXPECT_STREQ(table[static_cast<int>(PostPipeline::Composite)].overrideName, "composite_fs");
  EXPECT_STREQ(table[static_cast<int>(PostPipeline::Final)].overrideName, "final_fs");
  EXPECT_STREQ(table[static_cast<int>(PostPipeline::Final)].file, "post_fxaa_fs.spv");
  EXPECT_STREQ(table[static_cast<int>(PostPipeline::BloomUp)].entryPoint, "FSBloomUp");
  EXPECT_TRUE(table[static_cast<int>(PostPipeline::BloomUp)].additive);
  // The final pass has two programs, for a composite of the window's size and a smaller one;
  // a pack's final shader replaces both.
  EXPECT_STREQ(table[static_cast<int>(PostPipeline::FinalScaled)].overrideName, "final_fs");
  int overridable = 0;
  for (const auto& info : table) overridable += info.overrideName != nullptr;
  EXPECT_EQ(overridable, 3);
}

}  // namespace
}  // namespace zorv
