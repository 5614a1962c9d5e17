#include "render/chunk_visibility.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "game_camera.h"
#include "render/gpu_timer.h"
#include "world/chunk_links.h"

namespace zorv {
namespace {

bool contains(const std::vector<ChunkKey>& keys, const ChunkKey& key) { return std::find(keys.begin(), keys.end(), key) != keys.end(); }

// Open air above chunk layer 0 and solid rock from layer 0 down, with one cave in the rock.
struct Landscape {
  std::unordered_map<ChunkKey, std::uint16_t, ChunkKeyHash> links;
  std::uint16_t operator()(const ChunkKey& key) const {
    if (const auto found = links.find(key); found != links.end()) return found->second;
    return key.cy > 0 ? kAllFaceLinks : std::uint16_t{0};
  }
};

TEST(ChunkVisibility, SolidGroundHidesTheCaveBelowUntilTheCameraIsInside) {
  Landscape land;
  // The ground layer's top surface is open to the sky above it but the chunk does not
  // link its top with any other face: what lies below cannot be seen through it.
  const ChunkKey cave{2, -2, 0};
  land.links[cave] = kAllFaceLinks;
  const Vec3 surface{8.0f, 24.0f, 8.0f};
  const VisibilityQuery above{surface, frustumPlanes(gameViewProjection(surface, {40.0f, 0.0f, 8.0f})), 8};
  const std::vector<ChunkKey> fromAbove = visibleChunks(above, std::cref(land));
  ASSERT_FALSE(fromAbove.empty());
  EXPECT_EQ(fromAbove.front(), (ChunkKey{0, 1, 0}));  // the camera's own chunk first
  EXPECT_TRUE(contains(fromAbove, {2, 1, 0}));
  EXPECT_TRUE(contains(fromAbove, {2, 0, 0})) << "the ground chunk is seen from above";
  EXPECT_FALSE(contains(fromAbove, cave));
  for (const ChunkKey& key : fromAbove) EXPECT_GE(key.cy, 0);

  // From inside the cave the cave is seen, and so is its rock next door (it is drawn
  // through the cave's faces), but not the sky two layers up.
  const Vec3 inside{40.0f, -24.0f, 8.0f};
  const VisibilityQuery below{inside, frustumPlanes(gameViewProjection(inside, {60.0f, -24.0f, 8.0f})), 8};
  const std::vector<ChunkKey> fromCave = visibleChunks(below, std::cref(land));
  EXPECT_TRUE(contains(fromCave, cave));
  EXPECT_TRUE(contains(fromCave, {3, -2, 0}));
  EXPECT_FALSE(contains(fromCave, {5, -2, 0}));
  EXPECT_FALSE(contains(fromCave, {4, 1, 0}));

  // Chunks behind the camera and beyond the distance are never reached.
  for (const ChunkKey& key : fromAbove) {
    EXPECT_GE(key.cx, -1);
    EXPECT_LE(key.cx, 8);
  }
  // Above the world's chunk range the walk gives up and the caller draws by frustum.
  const Vec3 high{8.0f, 200.0f, 8.0f};
  EXPECT_TRUE(visibleChunks({high, frustumPlanes(gameViewProjection(high, {40.0f, 0.0f, 8.0f})), 8}, std::cref(land)).empty());
}

TEST(ChunkVisibility, ALineOfSightBendingThroughLinkedFacesIsFollowed) {
  // A corridor of chunks: along +x, then up, then along +x again; everything else solid.
  std::unordered_map<ChunkKey, std::uint16_t, ChunkKeyHash> links;
  links[{0, 0, 0}] = kAllFaceLinks;
  links[{1, 0, 0}] = 1u << linkBit(1, 2);  // −X with +Y
  links[{1, 1, 0}] = 1u << linkBit(3, 0);  // −Y with +X
  links[{2, 1, 0}] = kAllFaceLinks;
  auto lookup = [&links](const ChunkKey& key) {
    const auto found = links.find(key);
    return found == links.end() ? std::uint16_t{0} : found->second;
  };
  const Vec3 eye{8.0f, 8.0f, 8.0f};
  const VisibilityQuery query{eye, frustumPlanes(gameViewProjection(eye, {40.0f, 20.0f, 8.0f})), 8};
  const std::vector<ChunkKey> seen = visibleChunks(query, lookup);
  EXPECT_TRUE(contains(seen, {1, 0, 0}));
  EXPECT_TRUE(contains(seen, {1, 1, 0}));
  EXPECT_TRUE(contains(seen, {2, 1, 0}));
  EXPECT_FALSE(contains(seen, {2, 0, 0})) << "entered through −X, the corridor chunk leads only up";
}

TEST(GpuTimer, PassTimesAreTheSpansBetweenTimestamps) {
  const std::vector<GpuPass> passes{GpuPass::Shadows, GpuPass::World, GpuPass::Bloom, GpuPass::Bloom, GpuPass::Final};
  const std::vector<std::uint64_t> ticks{1000, 3000, 7000, 7500, 8000, 9000};
  const PassTimes times = passTimesFrom(passes, ticks, 1000.0, 64);  // 1 µs per tick
  EXPECT_DOUBLE_EQ(times[static_cast<std::size_t>(GpuPass::Shadows)], 2.0);
  EXPECT_DOUBLE_EQ(times[static_cast<std::size_t>(GpuPass::World)], 4.0);
  EXPECT_DOUBLE_EQ(times[static_cast<std::size_t>(GpuPass::Bloom)], 1.0);
  EXPECT_DOUBLE_EQ(times[static_cast<std::size_t>(GpuPass::Final)], 1.0);
  EXPECT_DOUBLE_EQ(times[static_cast<std::size_t>(GpuPass::Occlusion)], 0.0);
  // A counter with 32 valid bits that wrapped between two timestamps.
  const PassTimes wrapped = passTimesFrom({GpuPass::World}, {0xFFFFFF00ull, 0x100ull}, 1.0, 32);
  EXPECT_DOUBLE_EQ(wrapped[static_cast<std::size_t>(GpuPass::World)], 512.0 * 1e-6);
  EXPECT_EQ(formatPassTimes(times).substr(0, 26), "shadows=2.00 world=4.00 wa");
}

}  // namespace
}  // namespace zorv
