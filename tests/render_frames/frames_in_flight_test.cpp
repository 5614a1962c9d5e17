// Two frames in flight each draw with the uniforms they were recorded with: a frame
// recorded straight after one with another sun looks as it does on its own.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "frame_fixture.h"
#include "world/terrain.h"

namespace zorv::frames {
namespace {

const Vec3 kEveningSun{-0.8f, 0.25f, -0.3f};

class FramesInFlight : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<Window>(kWidth, kHeight);
    renderer_ = std::make_unique<VulkanRenderer>(makeProgramFolder("in_flight"));
    ASSERT_TRUE(renderer_->init(window_->get(), false));
    uploadTerrain(*renderer_, 96, 96, 2);
    const int ground = terrainHeight(kSeed, 96, 96);
    camera_ = {{96.5f, static_cast<float>(ground) + 9.0f, 96.5f}, 45.0f, -14.0f};
    matrix_ = viewProjection(camera_, static_cast<float>(kWidth) / kHeight);
  }

  void draw(Vec3 sun) {
    renderer_->setEnvironment(1.0f, 128.0f, sun);
    renderer_->drawFrame(matrix_, camera_.eye, {}, {});
  }

  // Submitted without waiting for the frame before it, which may still be drawing.
  Picture capture(Vec3 sun, const std::string& name) {
    renderer_->setEnvironment(1.0f, 128.0f, sun);
    const std::filesystem::path path = outputFolder() / (name + ".png");
    EXPECT_TRUE(renderer_->captureFrame(matrix_, camera_.eye, {}, {}, path, {"Zorvander test", name}));
    return readPicture(path);
  }

  std::unique_ptr<Window> window_;
  std::unique_ptr<VulkanRenderer> renderer_;
  Camera camera_;
  Mat4 matrix_{};
};

TEST_F(FramesInFlight, EachFrameDrawsWithItsOwnUniforms) {
  // Settled pictures: the same sun for several frames, so every frame slot holds it.
  for (int i = 0; i < 3; ++i) draw(kNoonSun);
  const Picture noon = capture(kNoonSun, "in_flight_noon");
  for (int i = 0; i < 3; ++i) draw(kEveningSun);
  const Picture evening = capture(kEveningSun, "in_flight_evening");
  const double apart = meanDifference(noon, evening);
  ASSERT_GT(apart, 4.0) << "the two suns must tell the frames apart";

  // Alternating suns: each frame's own slice, not the other frame's, must be read.
  for (int round = 0; round < 2; ++round) {
    draw(kEveningSun);
    const Picture alternateNoon = capture(kNoonSun, "in_flight_noon_" + std::to_string(round));
    EXPECT_LT(meanDifference(alternateNoon, noon), apart / 4) << "round " << round;
    draw(kNoonSun);
    const Picture alternateEvening = capture(kEveningSun, "in_flight_evening_" + std::to_string(round));
    EXPECT_LT(meanDifference(alternateEvening, evening), apart / 4) << "round " << round;
  }
}

}  // namespace
}  // namespace zorv::frames
