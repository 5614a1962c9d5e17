// Pictures whose brightness a player would judge: a hole's floor at noon, midnight, torch
// light in a cave, a wall in a shadow; and pictures that must not change when the
// renderer draws less (merged quads, chunks hidden behind terrain).

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "frame_fixture.h"
#include "world/chunk_links.h"
#include "world/light.h"
#include "world/mesh_merge.h"
#include "world/mesher.h"
#include "world/registry.h"
#include "world/terrain.h"
#include "world/world.h"

namespace zorv::frames {
namespace {


// Meshes every loaded chunk of columns cx0..cx1 × cz0..cz1 and uploads it, with its face
// links, merged as the streamer does or as the mesher built it.
void uploadChunks(VulkanRenderer& renderer, World& world, int cx0, int cx1, int cz0, int cz1, bool merge) {
  auto snapshot = std::make_unique<ChunkSnapshot>();
  for (int cx = cx0; cx <= cx1; ++cx)
    for (int cz = cz0; cz <= cz1; ++cz)
      for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
        takeChunkSnapshot(world, {cx, cy, cz}, *snapshot);
        ChunkMesh mesh = buildChunkMesh(*snapshot);
        if (merge) mergeCoplanarQuads(mesh);
        renderer.setChunkFaceLinks({cx, cy, cz}, chunkFaceLinks(*snapshot));
        renderer.uploadChunkMesh({cx, cy, cz}, mesh.main);
        renderer.uploadTranslucentMesh({cx, cy, cz}, mesh.water);
      }
}

// Empty columns −1..2 on both axes, filled by `build`, then lit.
std::unique_ptr<World> builtWorld(const std::function<void(World&)>& build) {
  auto world = std::make_unique<World>(kSeed);
  for (int cx = -1; cx <= 2; ++cx)
    for (int cz = -1; cz <= 2; ++cz) createEmptyColumn(*world, cx, cz);
  build(*world);
  for (int cx = -1; cx <= 2; ++cx)
    for (int cz = -1; cz <= 2; ++cz) queueRelight(*world, cx, cz);
  processRelightQueue(*world, 4096);
  return world;
}

void fill(World& world, int x0, int y0, int z0, int x1, int y1, int z1, BlockId id) {
  for (int y = y0; y <= y1; ++y)
    for (int z = z0; z <= z1; ++z)
      for (int x = x0; x <= x1; ++x) setBlockRaw(world, x, y, z, id);
}

Camera lookingAt(Vec3 eye, Vec3 target) {
  const float dx = target.x - eye.x, dy = target.y - eye.y, dz = target.z - eye.z;
  const float yaw = std::atan2(dz, dx) * 180.0f / 3.14159265f;
  const float pitch = std::atan2(dy, std::sqrt(dx * dx + dz * dz)) * 180.0f / 3.14159265f;
  return {eye, yaw, pitch};
}

class LightingFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<Window>(kWidth, kHeight);
    renderer_ = std::make_unique<VulkanRenderer>(makeProgramFolder("lighting"));
    ASSERT_TRUE(renderer_->init(window_->get(), false));
  }
  void TearDown() override {
    renderer_.reset();
    window_.reset();
  }

  Picture capture(const Camera& camera, const std::string& name, float daylight, Vec3 sun) {
    renderer_->setEnvironment(daylight, 128.0f, sun);
    renderer_->setEffects(true, true);
    const Mat4 matrix = viewProjection(camera, static_cast<float>(kWidth) / kHeight);
    // Two frames first: both frames in flight used, the exposure measured.
    for (int i = 0; i < 2; ++i) {
      renderer_->beginUiFrame();
      renderer_->drawFrame(matrix, camera.eye, {}, {});
    }
    renderer_->beginUiFrame();
    const std::filesystem::path path = outputFolder() / (name + ".png");
    EXPECT_TRUE(renderer_->captureFrame(matrix, camera.eye, {}, {}, path, {"Zorvander test", "lighting test " + name}));
    return readPicture(path);
  }

  // Mean luma of a 5 × 5 patch around the pixel a world point projects to.
  double lumaAt(const Picture& picture, const Camera& camera, Vec3 point) const {
    const Vec4 clip = transform(viewProjection(camera, static_cast<float>(kWidth) / kHeight), {point.x, point.y, point.z, 1.0f});
    const int x = static_cast<int>((clip[0] / clip[3] * 0.5f + 0.5f) * kWidth);
    const int y = static_cast<int>((clip[1] / clip[3] * 0.5f + 0.5f) * kHeight);
    EXPECT_TRUE(x >= 2 && y >= 2 && x < kWidth - 3 && y < kHeight - 3) << "point off the picture";
    return picture.meanLuma(std::max(x - 2, 0), std::max(y - 2, 0), std::min(x + 3, kWidth), std::min(y + 3, kHeight));
  }

  std::unique_ptr<Window> window_;
  std::unique_ptr<VulkanRenderer> renderer_;
};

TEST_F(LightingFrames, HoleFloorAtNoonKeepsItsDaylight) {
  // Sand ground with a 1 × 1 hole two blocks deep at (8, 8).
  auto world = builtWorld([](World& w) {
    fill(w, -16, -4, -16, 47, -3, 47, blocks::Stone);
    fill(w, -16, -2, -16, 47, 1, 47, blocks::Sand);
    fill(w, 8, 0, 8, 8, 1, 8, kAir);
  });
  uploadChunks(*renderer_, *world, -1, 2, -1, 2, true);
  const Camera camera = lookingAt({8.5f, 4.5f, 9.0f}, {8.5f, 0.0f, 8.5f});
  const Picture noon = capture(camera, "hole_noon", 1.0f, kNoonSun);
  const double floor = lumaAt(noon, camera, {8.5f, 0.0f, 8.5f});
  const double ground = lumaAt(noon, camera, {10.5f, 2.0f, 8.5f});
  // At least a quarter; occlusion darkening all of the light left it near a third.
  EXPECT_GT(floor, 0.45 * ground) << "floor " << floor << ", ground " << ground;
  EXPECT_LT(floor, ground) << "the hole's floor is not shaded at all";
}

TEST_F(LightingFrames, TorchLightFallsOffInACaveAndMidnightIsDark) {
  // A closed stone room, 24 blocks long, lit by two torches near its west end.
  auto world = builtWorld([](World& w) {
    fill(w, -8, -8, -8, 40, 12, 24, blocks::Stone);
    fill(w, 0, 0, 5, 24, 3, 11, kAir);
    setBlockRaw(w, 3, 0, 6, blocks::Torch);
    setBlockRaw(w, 3, 0, 10, blocks::Torch);
  });
  uploadChunks(*renderer_, *world, -1, 2, -1, 2, true);
  const Camera camera = lookingAt({0.5f, 2.5f, 8.5f}, {12.0f, 0.0f, 8.5f});
  const Picture cave = capture(camera, "cave_torches", 1.0f, kNoonSun);
  const double near = lumaAt(cave, camera, {4.5f, 0.0f, 8.5f});
  const double far = lumaAt(cave, camera, {10.5f, 0.0f, 8.5f});
  EXPECT_GT(near, far * 1.5) << "near the torches " << near << ", 6 blocks on " << far;
  EXPECT_GT(near, 40.0);
}

TEST_F(LightingFrames, ShadowedWallKeepsItsSkyLight) {
  // A wall facing east, a pillar east of it; the sun in the east puts the pillar's shadow
  // on the wall.
  auto world = builtWorld([](World& w) {
    fill(w, -16, -2, -16, 47, 0, 47, blocks::Stone);
    fill(w, 2, 1, 2, 2, 6, 15, blocks::Planks);
    fill(w, 8, 1, 8, 8, 12, 8, blocks::Planks);
  });
  uploadChunks(*renderer_, *world, -1, 2, -1, 2, true);
  const Vec3 sun{0.8f, 0.6f, 0.0f};
  const Camera camera = lookingAt({14.0f, 6.0f, 18.0f}, {3.0f, 3.0f, 9.0f});
  const Vec3 shadowed{3.0f, 3.0f, 8.5f}, lit{3.0f, 3.0f, 13.5f};
  const Picture noon = capture(camera, "wall_noon", 1.0f, sun);
  const Picture night = capture(camera, "wall_night", 0.0f, {-sun.x, -sun.y, -sun.z});
  const double inShadow = lumaAt(noon, camera, shadowed), inSun = lumaAt(noon, camera, lit);
  EXPECT_LT(inShadow, 0.9 * inSun) << "no shadow on the wall";
  EXPECT_GT(inShadow, 0.45 * inSun) << "the shadow took the sky light too";
  EXPECT_GT(inShadow, 2.0 * lumaAt(night, camera, shadowed)) << "shadow at noon as dark as night";
}

// Pixels whose colour differs by more than `threshold` in some channel.
int differingPixels(const Picture& a, const Picture& b, int threshold) {
  int count = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const auto p = a.at(x, y), q = b.at(x, y);
      count += std::abs(p[0] - q[0]) > threshold || std::abs(p[1] - q[1]) > threshold || std::abs(p[2] - q[2]) > threshold;
    }
  return count;
}

// A creature walks across a stone floor, across the sun's direction: the shadow map keeps its terrain and restores it
// only where the creature's shadow was and is, which must look as if it were redrawn.
TEST_F(LightingFrames, MovingCreatureLeavesNoShadowBehind) {
  auto world = builtWorld([](World& w) { fill(w, -16, -2, -16, 47, 0, 47, blocks::Stone); });
  uploadChunks(*renderer_, *world, -1, 2, -1, 2, true);
  registerModels(*renderer_);
  renderer_->setEnvironment(1.0f, 128.0f, {0.8f, 0.6f, 0.0f});
  renderer_->setEffects(true, true);
  const Camera camera = lookingAt({8.5f, 6.0f, 15.0f}, {8.5f, 0.0f, 8.5f});
  const Mat4 matrix = viewProjection(camera, static_cast<float>(kWidth) / kHeight);
  auto at = [&](float z, const std::string& name) {
    EntityInstance creature;
    creature.x = 8.5f;
    creature.y = 1.0f;
    creature.z = z;
    creature.scale = 2.0f;
    const std::vector<EntityInstance> entities{creature};
    for (int i = 0; i < 2; ++i) {
      renderer_->beginUiFrame();
      renderer_->drawFrame(matrix, camera.eye, entities, {});
    }
    renderer_->beginUiFrame();
    const std::filesystem::path path = outputFolder() / (name + ".png");
    EXPECT_TRUE(renderer_->captureFrame(matrix, camera.eye, entities, {}, path, {"Zorvander test", "shadow test " + name}));
    return readPicture(path);
  };
  const Picture before = at(4.5f, "creature_before");
  const Picture moved = at(12.5f, "creature_moved");
  uploadChunks(*renderer_, *world, -1, 2, -1, 2, true);  // new meshes: every cascade drawn afresh
  const Picture redrawn = at(12.5f, "creature_redrawn");
  EXPECT_GT(differingPixels(before, moved, 24), 40) << "the creature did not move";
  EXPECT_LT(differingPixels(moved, redrawn, 24), 4) << "the moved creature's picture differs from a fresh shadow map's";
}

// Chunks that stream in after the shadow maps were drawn are drawn over the kept maps
// (only added casters); the picture must be the one freshly drawn maps give, in every
// cascade: slabs hang near, mid-way and far from the camera.
TEST_F(LightingFrames, StreamedChunksCastTheShadowsOfFreshMaps) {
  auto world = builtWorld([](World& w) {
    fill(w, -16, -2, -16, 47, 0, 47, blocks::Stone);
    // Pillars whose shadows lie where the slabs' chunks will be drawn: the kept map must keep them.
    fill(w, 6, 1, 6, 7, 12, 7, blocks::Stone);
    fill(w, 20, 1, 22, 21, 12, 23, blocks::Stone);
  });
  uploadChunks(*renderer_, *world, -1, 2, -1, 2, true);
  renderer_->setEnvironment(1.0f, 128.0f, {0.35f, 0.9f, -0.35f});
  renderer_->setEffects(true, true);
  const Camera camera = lookingAt({-8.0f, 30.0f, -8.0f}, {30.0f, 0.0f, 30.0f});
  const Mat4 matrix = viewProjection(camera, static_cast<float>(kWidth) / kHeight);
  // Enough frames for the far cascade, which is redrawn every few frames only.
  auto settle = [&](const std::string& name) {
    for (int i = 0; i < 12; ++i) {
      renderer_->beginUiFrame();
      renderer_->drawFrame(matrix, camera.eye, {}, {});
    }
    renderer_->beginUiFrame();
    const std::filesystem::path path = outputFolder() / (name + ".png");
    EXPECT_TRUE(renderer_->captureFrame(matrix, camera.eye, {}, {}, path, {"Zorvander test", "shadow test " + name}));
    return readPicture(path);
  };
  const Picture bare = settle("streamed_bare");
  // Slabs in the chunks above the floor's, which had no mesh: 20, 35 and 55 blocks away.
  for (int centre : {2, 12, 26}) fill(*world, centre - 2, 18, centre - 2, centre + 2, 19, centre + 2, blocks::Stone);
  auto snapshot = std::make_unique<ChunkSnapshot>();
  for (int cx = -1; cx <= 2; ++cx)
    for (int cz = -1; cz <= 2; ++cz) {
      takeChunkSnapshot(*world, {cx, 1, cz}, *snapshot);
      renderer_->uploadChunkMesh({cx, 1, cz}, buildChunkMesh(*snapshot).main);
    }
  const Picture streamed = settle("streamed_added");
  uploadChunks(*renderer_, *world, -1, 2, -1, 2, true);  // every mesh replaced: every cascade drawn afresh
  const Picture fresh = settle("streamed_fresh");
  EXPECT_GT(differingPixels(bare, streamed, 24), 1000) << "the slabs and their shadows are missing";
  EXPECT_LT(differingPixels(streamed, fresh, 24), 8) << "the streamed chunks' shadows differ from freshly drawn maps'";
}

TEST_F(LightingFrames, MergedQuadsDrawTheSamePicture) {
  World world(kSeed);
  ensureColumnsAround(world, 96, 96, 3);
  processRelightQueue(world, 4096);
  const int ground = terrainHeight(kSeed, 96, 96);
  const Camera camera{{96.5f, static_cast<float>(ground) + 9.0f, 96.5f}, 45.0f, -14.0f};
  uploadChunks(*renderer_, world, 4, 8, 4, 8, false);
  const std::size_t unmergedTriangles = renderer_->triangleCount();
  const Picture unmerged = capture(camera, "unmerged", 1.0f, kNoonSun);
  uploadChunks(*renderer_, world, 4, 8, 4, 8, true);
  const Picture merged = capture(camera, "merged", 1.0f, kNoonSun);
  EXPECT_LT(static_cast<double>(renderer_->triangleCount()), 0.8 * static_cast<double>(unmergedTriangles));
  EXPECT_LT(meanDifference(merged, unmerged), 1.0);
}

Vec3 cellPoint(int x, int y, int z, float up) { return {static_cast<float>(x) + 0.5f, static_cast<float>(y) + up, static_cast<float>(z) + 0.5f}; }

// Camera places around the spawn: on the surface, in caves, under water and on chunk
// edges, each looking in a few directions.
std::vector<Camera> cullingCameras(const World& world) {
  std::vector<Camera> cameras;
  const float ground = static_cast<float>(terrainHeight(kSeed, 96, 96));
  for (float yaw : {0.0f, 90.0f, 200.0f, 300.0f}) cameras.push_back({{96.5f, ground + 2.6f, 96.5f}, yaw, -10.0f});
  cameras.push_back({{96.0f, ground + 14.0f, 112.0f}, 45.0f, -50.0f});  // above a chunk corner
  for (float yaw : {30.0f, 150.0f}) cameras.push_back({{112.0f, static_cast<float>(terrainHeight(kSeed, 112, 96)) + 2.6f, 96.0f}, yaw, -5.0f});
  // Caves: dark air cells three high, below the surface.
  int caves = 0;
  for (int x = 72; x < 120 && caves < 6; x += 3)
    for (int z = 72; z < 120 && caves < 6; z += 5)
      for (int y = -40; y < terrainHeight(kSeed, x, z) - 8 && caves < 6; ++y) {
        if (getBlock(world, x, y, z) != kAir || getBlock(world, x, y + 1, z) != kAir || getBlock(world, x, y + 2, z) != kAir ||
            skyLight(world, x, y + 1, z) != 0 || getBlock(world, x, y - 1, z) == kAir)
          continue;
        cameras.push_back({cellPoint(x, y, z, 1.6f), static_cast<float>(caves * 60), -5.0f});
        ++caves;
        break;
      }
  // Under water, in the pool the test digs.
  const float pool = static_cast<float>(terrainHeight(kSeed, 103, 103)) - 2.0f;
  for (float yaw : {0.0f, 135.0f, 250.0f}) cameras.push_back({{103.5f, pool, 103.5f}, yaw, -15.0f});
  while (cameras.size() < 20) {
    const float i = static_cast<float>(cameras.size());
    cameras.push_back({{80.0f + 2.0f * i, ground + 12.0f, 80.0f}, 20.0f * i, -30.0f});  // on the x = 80 chunk edge
  }
  return cameras;
}

TEST_F(LightingFrames, CullingHiddenChunksChangesNoPicture) {
  World world(kSeed);
  ensureColumnsAround(world, 96, 96, 4);
  const int poolTop = terrainHeight(kSeed, 103, 103);
  fill(world, 100, poolTop - 5, 100, 107, poolTop, 107, blocks::Water);
  queueRelightAround(world, 6, 6);
  processRelightQueue(world, 4096);
  uploadChunks(*renderer_, world, 3, 8, 3, 8, true);
  const std::vector<Camera> cameras = cullingCameras(world);
  ASSERT_EQ(cameras.size(), 20u);
  std::uint32_t culled = 0;
  for (std::size_t i = 0; i < cameras.size(); ++i) {
    renderer_->setVisibilityCulling(false);
    const Picture all = capture(cameras[i], "culling_" + std::to_string(i) + "_all", 1.0f, kNoonSun);
    renderer_->setVisibilityCulling(true);
    const Picture seen = capture(cameras[i], "culling_" + std::to_string(i) + "_seen", 1.0f, kNoonSun);
    culled += renderer_->culledChunkCount();
    EXPECT_LT(meanDifference(all, seen), 0.5) << "camera " << i;
  }
  EXPECT_GT(culled, 20u) << "the walk hid nothing";
}

TEST_F(LightingFrames, DrawingOnlyFrontFacesChangesNoPicture) {
  // Terrain seen from the culling walk's first places, then a floating roof with torches
  // on it and a lava pool. (An eye inside lava or a block draws both faces: see FrameView.)
  World terrain(kSeed);
  ensureColumnsAround(terrain, 96, 96, 3);
  processRelightQueue(terrain, 4096);
  uploadChunks(*renderer_, terrain, 4, 8, 4, 8, true);
  std::vector<Camera> cameras = cullingCameras(terrain);
  cameras.resize(6);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < cameras.size(); ++i) names.push_back("terrain_" + std::to_string(i));
  auto compare = [&](const std::vector<Camera>& views, const std::vector<std::string>& labels) {
    for (std::size_t i = 0; i < views.size(); ++i) {
      renderer_->setBackFaceCulling(false);
      const Picture both = capture(views[i], "faces_" + labels[i] + "_both", 1.0f, kNoonSun);
      renderer_->setBackFaceCulling(true);
      const Picture front = capture(views[i], "faces_" + labels[i] + "_front", 1.0f, kNoonSun);
      EXPECT_LT(meanDifference(both, front), 0.5) << labels[i];
    }
  };
  compare(cameras, names);

  auto built = builtWorld([](World& w) {
    fill(w, -16, -3, -16, 47, 0, 47, blocks::Stone);
    fill(w, 4, 5, 4, 11, 5, 11, blocks::Planks);
    setBlockRaw(w, 5, 6, 5, blocks::Torch);
    setBlockRaw(w, 9, 6, 8, blocks::Torch);
    fill(w, 20, -2, 4, 25, 0, 9, blocks::Lava);
  });
  uploadChunks(*renderer_, *built, -1, 2, -1, 2, true);
  compare({{{8.0f, 2.0f, 8.0f}, 30.0f, 60.0f}, lookingAt({0.0f, 9.0f, 0.0f}, {8.0f, 6.0f, 8.0f}),
           lookingAt({30.0f, 4.0f, 14.0f}, {22.5f, 0.0f, 6.5f})},
          {"under_roof", "over_roof", "over_lava"});
}

}  // namespace
}  // namespace zorv::frames
