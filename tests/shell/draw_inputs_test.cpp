#include "app/draw_inputs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace zorv {
namespace {

// Clip-space position of a world point.
std::array<float, 4> clip(const ViewProjection& m, float x, float y, float z) {
  std::array<float, 4> r{};
  for (int row = 0; row < 4; ++row) r[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
  return r;
}

TEST(ModelSlots, CreaturesThenBlocksThenItems) {
  EXPECT_EQ(modelSlotFor(1, 21), 5);
  EXPECT_EQ(modelSlotFor(20, 21), 24);
  EXPECT_EQ(modelSlotFor(0x8000, 21), 25);
  EXPECT_EQ(modelSlotFor(0x8003, 23), 30);  // two mod blocks push the items along
  EXPECT_EQ(mobModelSlot(MobSlime), 0);
  EXPECT_EQ(mobModelSlot(MobPig), 1);
  EXPECT_EQ(mobModelSlot(MobVillager), 2);
  EXPECT_EQ(mobModelSlot(MobZombie), 4);
  EXPECT_EQ(mobModelSlot(9), 0);
}

TEST(Camera, ProjectionFlipsYAndMapsDepthFromMinusOneToOne) {
  const ViewProjection p = perspectiveProjection(std::numbers::pi_v<float> / 2.0f, 2.0f);
  EXPECT_FLOAT_EQ(p[0], 0.5f);   // 1/tan(45°) ÷ aspect
  EXPECT_FLOAT_EQ(p[5], -1.0f);  // y flipped
  EXPECT_FLOAT_EQ(p[11], -1.0f);
  EXPECT_FLOAT_EQ(p[15], 0.0f);
  // In view space the camera looks down −z.
  const auto nearPoint = clip(p, 0.0f, 0.0f, -0.05f);
  EXPECT_NEAR(nearPoint[2] / nearPoint[3], -1.0f, 1e-4f);
  const auto farPoint = clip(p, 0.0f, 0.0f, -600.0f);
  EXPECT_NEAR(farPoint[2] / farPoint[3], 1.0f, 1e-4f);
  // Nearer than about 0.1 falls below Vulkan's depth 0 and is clipped.
  const auto tooNear = clip(p, 0.0f, 0.0f, -0.09f);
  EXPECT_LT(tooNear[2] / tooNear[3], 0.0f);
  const auto visible = clip(p, 0.0f, 0.0f, -0.11f);
  EXPECT_GT(visible[2] / visible[3], 0.0f);
}

TEST(Camera, LooksAlongYawAndPitch) {
  const float fov = std::numbers::pi_v<float> / 2.0f;
  // Yaw 0, pitch 0 looks along +x; +z is to the right and +y is up (negative clip y).
  const ViewProjection m = cameraViewProjection({0.0f, 0.0f, 0.0f}, 0.0f, 0.0f, fov, 1.0f);
  const auto ahead = clip(m, 10.0f, 0.0f, 0.0f);
  EXPECT_NEAR(ahead[0], 0.0f, 1e-4f);
  EXPECT_NEAR(ahead[1], 0.0f, 1e-4f);
  EXPECT_NEAR(ahead[3], 10.0f, 1e-4f);
  EXPECT_GT(clip(m, 10.0f, 0.0f, 1.0f)[0], 0.0f);
  EXPECT_LT(clip(m, 10.0f, 1.0f, 0.0f)[1], 0.0f);
  EXPECT_LT(clip(m, -10.0f, 0.0f, 0.0f)[3], 0.0f);  // behind the eye
  // Yaw 90 looks along +z; pitch 90 would be straight up: pitch 45 sees (0, 5, 5) centred.
  const ViewProjection turned = cameraViewProjection({1.0f, 2.0f, 3.0f}, 90.0f, 45.0f, fov, 1.0f);
  const auto up = clip(turned, 1.0f, 7.0f, 8.0f);
  EXPECT_NEAR(up[0] / up[3], 0.0f, 1e-4f);
  EXPECT_NEAR(up[1] / up[3], 0.0f, 1e-4f);
  EXPECT_NEAR(up[3], std::sqrt(50.0f), 1e-3f);
}

TEST(DrawLists, EntitiesInOrderWithBobbingSlotsAndFlash) {
  Drop block;
  block.x = 1.0f, block.y = 2.0f, block.z = 3.0f;
  block.item = 3;
  block.age = std::numbers::pi_v<float> / 6.0f;  // sin(3 × age) = 1
  block.bobPhase = 0.7f;
  Drop item;
  item.item = 0x8002;
  item.y = 5.0f;  // age 0: no bob
  Mob slime;
  slime.kind = MobSlime;
  slime.y = 10.0f;
  slime.animationTime = std::numbers::pi_v<float> / 10.0f;  // sin(5 × phase) = 1
  slime.displayedYaw = 1.25f;
  Mob villager;
  villager.kind = MobVillager;
  villager.walking = true;
  villager.y = 20.0f;
  villager.animationTime = -std::numbers::pi_v<float> / 14.0f;  // |sin(7 × phase)| = 1
  Mob standing = villager;
  standing.walking = false;
  Mob zombie;
  zombie.kind = MobZombie;
  zombie.hurtTimer = 0.2f;
  RemotePlayer seen;
  seen.known = true;
  seen.x = 4.0f, seen.y = 11.62f, seen.z = -6.0f, seen.yaw = 0.5f;
  RemotePlayer unseen;
  const std::vector<Drop> drops{block, item};
  const std::vector<Mob> mobs{slime, villager, standing, zombie};
  const std::vector<RemotePlayer> players{unseen, seen};

  const std::vector<EntityInstance> list = buildEntityList(drops, mobs, players, 21);
  ASSERT_EQ(list.size(), 7u);
  EXPECT_FLOAT_EQ(list[0].y, 2.12f);
  EXPECT_FLOAT_EQ(list[0].yaw, 0.7f);
  EXPECT_FLOAT_EQ(list[0].scale, 0.3f);
  EXPECT_EQ(list[0].modelSlot, 7);
  EXPECT_FLOAT_EQ(list[1].y, 5.08f);
  EXPECT_EQ(list[1].modelSlot, 27);
  EXPECT_FLOAT_EQ(list[2].y, 10.035f);
  EXPECT_FLOAT_EQ(list[2].yaw, 1.25f);
  EXPECT_FLOAT_EQ(list[2].scale, 1.0f);
  EXPECT_EQ(list[2].modelSlot, 0);
  EXPECT_FLOAT_EQ(list[2].flash, 0.0f);
  EXPECT_FLOAT_EQ(list[3].y, 20.02f);
  EXPECT_EQ(list[3].modelSlot, 2);
  EXPECT_FLOAT_EQ(list[4].y, 20.0f);
  EXPECT_EQ(list[5].modelSlot, 4);
  EXPECT_FLOAT_EQ(list[5].flash, 1.0f);
  EXPECT_FLOAT_EQ(list[6].x, 4.0f);
  EXPECT_NEAR(list[6].y, 10.0f, 1e-5f);
  EXPECT_FLOAT_EQ(list[6].yaw, 0.5f);
  EXPECT_EQ(list[6].modelSlot, 3);
  for (const EntityInstance& e : list) EXPECT_EQ(e.unused, 0.0f);
}

TEST(DrawLists, ParticlesShrinkWithTheirLife) {
  Particle fresh;
  fresh.life = fresh.totalLife = 0.8f;
  fresh.baseSize = 0.2f;
  fresh.tile = 12;
  fresh.x = 1.0f, fresh.y = 2.0f, fresh.z = 3.0f;
  Particle half = fresh;
  half.life = 0.4f;
  Particle gone = fresh;
  gone.life = 0.0f;
  const std::vector<Particle> particles{fresh, gone, half};
  const std::vector<ParticleInstance> list = buildParticleList(particles);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_FLOAT_EQ(list[0].size, 0.2f);
  EXPECT_EQ(list[0].tile, 12);
  EXPECT_FLOAT_EQ(list[0].z, 3.0f);
  EXPECT_FLOAT_EQ(list[0].zero, 0.0f);
  EXPECT_FLOAT_EQ(list[1].size, 0.135f);  // (0.5 × 0.65 + 0.35) × 0.2
}

TEST(FrameCounter, RenewsOnlyAfterHalfASecond) {
  FpsCounter counter;
  for (int i = 0; i < 3; ++i) counter.addFrame(0.125f);
  EXPECT_EQ(counter.fps, 0.0f);
  counter.addFrame(0.125f);
  EXPECT_FLOAT_EQ(counter.fps, 8.0f);
  counter.addFrame(0.05f);
  counter.addFrame(0.05f);
  EXPECT_FLOAT_EQ(counter.fps, 8.0f);
  counter.addFrame(0.4f);  // 3 frames in 0.5 s
  EXPECT_FLOAT_EQ(counter.fps, 6.0f);
}

TEST(Screenshot, FileNameFromLocalTime) {
  std::tm time{};
  time.tm_year = 126;
  time.tm_mon = 11;
  time.tm_mday = 9;
  time.tm_hour = 7;
  time.tm_min = 5;
  time.tm_sec = 3;
  EXPECT_EQ(screenshotFileName(time), "2026-12-09T07-05-03_ZorvK.png");
}

}  // namespace
}  // namespace zorv

namespace zorv {
namespace {

// Remembers the model hand-overs in order.
class ModelRecorder final : public NullRenderer {
 public:
  std::vector<std::pair<std::uint32_t, std::size_t>> models;  // slot, index count
  std::size_t particleIndices = 0;
  int callsAfterParticle = 0;

  void setModelMesh(std::uint32_t index, const Mesh& mesh) override {
    if (particleIndices != 0) ++callsAfterParticle;
    models.emplace_back(index, mesh.indices.size());
  }
  void setParticleMesh(const Mesh& mesh) override { particleIndices = mesh.indices.size(); }
};

TEST(ModelSlots, RegisteredInSlotOrderWithTheParticleCubeLast) {
  ModelRecorder recorder;
  registerModels(recorder);
  // 5 creature and player models, blocks 1..20, 20 items.
  ASSERT_EQ(recorder.models.size(), 5u + 20u + 20u);
  for (std::size_t i = 0; i < recorder.models.size(); ++i) {
    EXPECT_EQ(recorder.models[i].first, i) << "model " << i;
    EXPECT_GT(recorder.models[i].second, 0u) << "slot " << i << " has an empty mesh";
  }
  EXPECT_EQ(recorder.models[5].second, 36u);   // grass: a cube of 6 quads
  EXPECT_EQ(recorder.models[25].second, 12u);  // the first item: two crossed quads
  EXPECT_EQ(recorder.particleIndices, 36u);
  EXPECT_EQ(recorder.callsAfterParticle, 0);
}

}  // namespace
}  // namespace zorv
