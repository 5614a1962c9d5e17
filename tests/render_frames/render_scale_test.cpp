// The render scale: the world drawn at a fraction of the window and scaled up to it, the
// interface drawn at the window's own size over it.

#include <gtest/gtest.h>
#include <imgui.h>

#include <algorithm>
#include <memory>
#include <string>

#include "frame_fixture.h"
#include "world/terrain.h"

namespace zorv::frames {
namespace {

// A stripe of alternating one-pixel white and black columns: blurred if the interface
// were drawn into the smaller picture and scaled up with it.
constexpr int kStripeLeft = 40, kStripeTop = 20, kStripeWidth = 64, kStripeHeight = 24;

void drawStripes() {
  ImDrawList& list = *ImGui::GetForegroundDrawList();
  const auto x0 = static_cast<float>(kStripeLeft), y0 = static_cast<float>(kStripeTop);
  list.AddRectFilled(ImVec2(x0, y0), ImVec2(x0 + kStripeWidth, y0 + kStripeHeight), IM_COL32(0, 0, 0, 255));
  for (int x = 0; x < kStripeWidth; x += 2)
    list.AddRectFilled(ImVec2(x0 + static_cast<float>(x), y0), ImVec2(x0 + static_cast<float>(x) + 1.0f, y0 + kStripeHeight),
                       IM_COL32(255, 255, 255, 255));
}

// Pixels of the stripe whose value is not the column's own (white or black).
int blurredStripePixels(const Picture& picture) {
  int blurred = 0;
  for (int y = kStripeTop; y < kStripeTop + kStripeHeight; ++y)
    for (int x = kStripeLeft; x < kStripeLeft + kStripeWidth; ++x) {
      const auto c = picture.at(x, y);
      const bool white = (x - kStripeLeft) % 2 == 0;
      const int lowest = std::min({c[0], c[1], c[2]}), highest = std::max({c[0], c[1], c[2]});
      blurred += white ? lowest < 245 : highest > 10;
    }
  return blurred;
}

class RenderScale : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<Window>(kWidth, kHeight);
    renderer_ = std::make_unique<VulkanRenderer>(makeProgramFolder("scale"));
    ASSERT_TRUE(renderer_->init(window_->get(), false));
    uploadTerrain(*renderer_, 96, 96, 2);
    renderer_->setEnvironment(1.0f, 128.0f, kNoonSun);
  }

  Picture capture(float scale, const std::string& name) {
    renderer_->setRenderScale(scale);
    const int ground = terrainHeight(kSeed, 96, 96);
    const Camera camera{{96.5f, static_cast<float>(ground) + 9.0f, 96.5f}, 45.0f, -14.0f};
    const Mat4 matrix = viewProjection(camera, static_cast<float>(kWidth) / kHeight);
    renderer_->beginUiFrame();
    drawStripes();
    renderer_->drawFrame(matrix, camera.eye, {}, {});
    renderer_->beginUiFrame();
    drawStripes();
    const std::filesystem::path path = outputFolder() / (name + ".png");
    EXPECT_TRUE(renderer_->captureFrame(matrix, camera.eye, {}, {}, path, {"Zorvander test", "render scale " + name}));
    return readPicture(path);
  }

  std::unique_ptr<Window> window_;
  std::unique_ptr<VulkanRenderer> renderer_;
};

TEST_F(RenderScale, HalfScaleWorldLooksLikeFullScaleAndTheInterfaceStaysSharp) {
  const Picture full = capture(1.0f, "scale_100");
  EXPECT_EQ(renderer_->renderExtent().width, static_cast<std::uint32_t>(kWidth));
  EXPECT_EQ(blurredStripePixels(full), 0);

  const Picture half = capture(0.5f, "scale_50");
  EXPECT_EQ(renderer_->renderExtent().width, static_cast<std::uint32_t>(kWidth / 2));
  EXPECT_EQ(renderer_->renderExtent().height, static_cast<std::uint32_t>(kHeight / 2));
  ASSERT_EQ(half.width, kWidth) << "the screenshot keeps the window's size";
  ASSERT_EQ(half.height, kHeight);
  EXPECT_EQ(blurredStripePixels(half), 0) << "the interface was scaled with the world";
  const double difference = meanDifference(half, full);
  EXPECT_GT(difference, 0.3) << "the half-scale picture is the full one: nothing was drawn smaller";
  EXPECT_LT(difference, 8.0) << "the scaled-up world does not look like the full-scale one";
  // Sky above, ground below, as in the full picture.
  const auto sky = half.meanColour(0, 0, kWidth, 6);
  EXPECT_GT(sky[2], sky[0] + 30.0);
  EXPECT_LT(half.meanLuma(0, kHeight - 30, kWidth, kHeight), half.meanLuma(0, 0, kWidth, 6) - 20.0);

  // Out-of-range values are held to the slider's range; back at 100 % the picture returns.
  const Picture clamped = capture(0.1f, "scale_clamped");
  EXPECT_EQ(renderer_->renderExtent().width, static_cast<std::uint32_t>(kWidth / 2));
  EXPECT_LT(meanDifference(clamped, half), 0.5);
  const Picture again = capture(1.0f, "scale_100_again");
  EXPECT_EQ(renderer_->renderExtent().width, static_cast<std::uint32_t>(kWidth));
  EXPECT_LT(meanDifference(again, full), 0.5);
}

}  // namespace
}  // namespace zorv::frames
