#include "render/world_pass.h"

#include <gtest/gtest.h>

#include <cmath>

#include "content/procedural_textures.h"
#include "game_camera.h"

namespace zorv {
namespace {

TEST(WorldPass, SettingsDrivenDistancesFollowTheirRules) {
  VisualSettings settings;
  EXPECT_FLOAT_EQ(shadowDistanceFor(40.0f, settings), 64.0f);  // 56 raised to the minimum
  EXPECT_FLOAT_EQ(shadowDistanceFor(128.0f, settings), 144.0f);
  EXPECT_FLOAT_EQ(shadowDistanceFor(300.0f, settings), 192.0f);
  settings.shadowDistance = 1000.0f;
  EXPECT_FLOAT_EQ(shadowDistanceFor(40.0f, settings), 600.0f);

  settings.fogStart = -1.0f;
  EXPECT_FLOAT_EQ(fogStartFor(128.0f, settings), 78.0f);
  settings.fogStart = 30.0f;
  EXPECT_FLOAT_EQ(fogStartFor(128.0f, settings), 30.0f);
  settings.fogStart = 200.0f;
  EXPECT_FLOAT_EQ(fogStartFor(128.0f, settings), 127.0f);

  EXPECT_FLOAT_EQ(shadowMultiplier(true, 0.0f, 0.75f), 0.0f);
  EXPECT_FLOAT_EQ(shadowMultiplier(false, 1.0f, 0.75f), 0.0f);
  EXPECT_FLOAT_EQ(shadowMultiplier(true, 0.5f, 0.75f), 0.45f);
  EXPECT_FLOAT_EQ(shadowMultiplier(true, 1.0f, 0.75f), 0.75f);

  const Vec3 noon = skyColour(1.0f), night = skyColour(0.0f);
  EXPECT_NEAR(noon.x, 0.118994, 1e-5);  // 0.38^2.2
  EXPECT_NEAR(noon.z, 0.595360, 1e-5);  // 0.79^2.2
  EXPECT_NEAR(night.y, 0.000183, 1e-6);  // 0.02^2.2
}

TEST(WorldPass, CascadeSplitsBlendLogarithmicAndUniformSteps) {
  // By hand for D = 64: 640^(1/3) = 8.61774, 640^(2/3) = 74.2654.
  const auto splits = cascadeSplits(64.0f);
  EXPECT_FLOAT_EQ(splits[0], 0.1f);
  EXPECT_NEAR(splits[1], 0.7 * 0.861774 + 0.3 * (0.1 + 63.9 / 3.0), 1e-3);
  EXPECT_NEAR(splits[2], 0.7 * 7.42654 + 0.3 * (0.1 + 2.0 * 63.9 / 3.0), 1e-3);
  EXPECT_FLOAT_EQ(splits[3], 64.0f);
}

TEST(WorldPass, EachCascadeEnclosesItsSliceOfTheViewFrustum) {
  const Vec3 eye{10.0f, 40.0f, -5.0f};
  const Mat4 viewProjection = gameViewProjection(eye, {30.0f, 35.0f, 12.0f});
  const Mat4 inverseViewProjection = inverse(viewProjection);
  const Vec3 sun{0.3f, 0.9f, 0.2f};
  const Cascades cascades = computeCascades(inverseViewProjection, sun, 144.0f);
  for (int j = 0; j < kCascadeCount; ++j) {
    const float from = (cascades.splits[j] - 0.1f) / 599.9f, to = (cascades.splits[j + 1] - 0.1f) / 599.9f;
    for (float x : {-1.0f, 1.0f})
      for (float y : {-1.0f, 1.0f})
        for (float t : {from, to}) {
          const Vec4 nearPoint = transform(inverseViewProjection, {x, y, -1.0f, 1.0f});
          const Vec4 farPoint = transform(inverseViewProjection, {x, y, 1.0f, 1.0f});
          Vec4 corner{};
          for (int k = 0; k < 3; ++k) {
            const float n = nearPoint[k] / nearPoint[3], f = farPoint[k] / farPoint[3];
            corner[k] = n + (f - n) * t;
          }
          corner[3] = 1.0f;
          const Vec4 light = transform(cascades.matrices[j], corner);
          EXPECT_LE(std::fabs(light[0]), 1.0f + 1e-3f) << "cascade " << j;
          EXPECT_LE(std::fabs(light[1]), 1.0f + 1e-3f) << "cascade " << j;
          EXPECT_GE(light[2], 0.0f);
          EXPECT_LE(light[2], 1.0f);
        }
    EXPECT_GT(cascades.texelSizes[j], 0.0f);
    if (j > 0) {
      EXPECT_GT(cascades.texelSizes[j], cascades.texelSizes[j - 1]);
    }
  }
  // A sun straight overhead needs the other up vector; no NaN may come out.
  const Cascades overhead = computeCascades(inverseViewProjection, {0.0f, 1.0f, 0.0f}, 64.0f);
  const Cascades zero = computeCascades(inverseViewProjection, {0.0f, 0.0f, 0.0f}, 64.0f);
  for (int i = 0; i < 16; ++i) {
    EXPECT_TRUE(std::isfinite(overhead.matrices[0][i]));
    EXPECT_FLOAT_EQ(zero.matrices[2][i], overhead.matrices[2][i]);
  }
}

TEST(WorldPass, CascadeCentresSnapToWholeShadowTexels) {
  const Mat4 a = inverse(gameViewProjection({0.0f, 30.0f, 0.0f}, {10.0f, 28.0f, 10.0f}));
  const Cascades cascades = computeCascades(a, {0.4f, 0.8f, 0.3f}, 144.0f);
  for (int j = 0; j < kCascadeCount; ++j) {
    // The world origin lands on the texel grid of the light view: its clip x and y are
    // whole multiples of one texel (2 / 2048) apart from the grid origin.
    const Vec4 origin = transform(cascades.matrices[j], {0.0f, 0.0f, 0.0f, 1.0f});
    const double texels = origin[0] * 1024.0;
    EXPECT_NEAR(texels, std::round(texels), 0.02) << "cascade " << j;
  }
}

TEST(WorldPass, FrustumCullsBoxesOutsideAnyPlane) {
  const Mat4 viewProjection = gameViewProjection({0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, -1.0f});
  const FrustumPlanes planes = frustumPlanes(viewProjection);
  EXPECT_FALSE(boxOutside(planes, {-1.0f, -1.0f, -20.0f}, {1.0f, 1.0f, -10.0f}));  // straight ahead
  EXPECT_TRUE(boxOutside(planes, {-1.0f, -1.0f, 10.0f}, {1.0f, 1.0f, 20.0f}));     // behind
  EXPECT_TRUE(boxOutside(planes, {-200.0f, -1.0f, -20.0f}, {-100.0f, 1.0f, -10.0f}));  // far left
  EXPECT_TRUE(boxOutside(planes, {-1.0f, -1.0f, -900.0f}, {1.0f, 1.0f, -700.0f}));     // beyond far
  EXPECT_FALSE(boxOutside(planes, {-50.0f, -1.0f, -20.0f}, {0.0f, 1.0f, -10.0f}));     // straddles an edge
  EXPECT_FALSE(boxOutside(planes, {-8.0f, -8.0f, -8.0f}, {8.0f, 8.0f, 8.0f}));         // around the camera
}

TEST(WorldPass, MatricesInvertAndFrameUniformsCarryTheCamera) {
  const Vec3 eye{5.0f, 20.0f, 5.0f};
  const Mat4 viewProjection = gameViewProjection(eye, {15.0f, 20.0f, 5.0f});
  const Mat4 product = multiply(viewProjection, inverse(viewProjection));
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(product[i], identityMatrix()[i], 1e-4);

  FrameInputs inputs;
  inputs.viewProjection = viewProjection;
  inputs.camera = eye;
  inputs.sunDirection = {0.0f, 1.0f, 0.0f};
  inputs.width = 640.0f;
  inputs.height = 360.0f;
  inputs.shadowsEnabled = false;
  const FrameUniforms u = buildFrameUniforms(inputs, VisualSettings{});
  EXPECT_NEAR(u.forward[0], 1.0f, 1e-3);  // looking along +x
  EXPECT_NEAR(u.forward[1], 0.0f, 1e-3);
  EXPECT_FLOAT_EQ(u.sunStrength[3], 0.0f);
  EXPECT_FLOAT_EQ(u.viewport[2], 1.0f / 640.0f);
  EXPECT_FLOAT_EQ(u.shadowParams[0], 0.0008f);
  EXPECT_FLOAT_EQ(u.shadowParams[1], 0.46f);
  EXPECT_FLOAT_EQ(u.shadowParams[2], 3.0f);
  EXPECT_FLOAT_EQ(u.shadowParams[3], 1.0f / 2048.0f);
  EXPECT_FLOAT_EQ(u.splits[2], 144.0f);
  EXPECT_FLOAT_EQ(u.splits[3], 144.0f);
  EXPECT_EQ(offsetof(FrameUniforms, inverseViewProjection), 288u);
  EXPECT_EQ(offsetof(FrameUniforms, cascadeTexel), 416u);
  EXPECT_EQ(offsetof(DrawPushConstants, value), 104u);
  EXPECT_EQ(offsetof(DrawPushConstants, skyFog), 112u);
}

TEST(WorldPass, ModelSlotsWrapAroundTheTable) {
  EXPECT_EQ(modelTableIndex(5, 100), 5u);
  EXPECT_EQ(modelTableIndex(105, 100), 5u);
  EXPECT_EQ(modelTableIndex(-1, 100), 99u);
}

// Moving entities only need the terrain restored where their shadows were or now are.
TEST(WorldPass, EntityShadowAreasCoverTheirBoxesWithAMarginInsideTheMap) {
  using Box = std::array<Vec3, 2>;
  const Mat4 light = orthographic(64.0f, 64.0f, 0.0f, 100.0f);  // 16 texels a block, centre at 1024
  const Box near{Vec3{0.0f, 0.0f, -1.0f}, Vec3{2.0f, 2.0f, -0.5f}};
  const Box edge{Vec3{60.0f, -70.0f, -1.0f}, Vec3{70.0f, -60.0f, -0.5f}};
  const Box outside{Vec3{100.0f, 0.0f, -1.0f}, Vec3{110.0f, 2.0f, -0.5f}};
  const ShadowArea one = shadowAreaOf(light, {near});
  EXPECT_EQ(one, (ShadowArea{1020, 1020, 1060, 1060}));
  const ShadowArea clamped = shadowAreaOf(light, {edge});
  EXPECT_EQ(clamped, (ShadowArea{1980, 0, 2048, 68}));
  EXPECT_TRUE(shadowAreaOf(light, {outside}).empty());
  EXPECT_TRUE(shadowAreaOf(light, {}).empty());
  const ShadowArea all = shadowAreaOf(light, {near, edge, outside});
  EXPECT_EQ(all, (ShadowArea{1020, 0, 2048, 1060}));
  EXPECT_EQ(unite(one, clamped), all);
  EXPECT_EQ(unite(ShadowArea{}, one), one);
  EXPECT_EQ(unite(one, ShadowArea{}), one);
  EXPECT_EQ(wholeShadowMap(), (ShadowArea{0, 0, 2048, 2048}));
}

TEST(WorldPass, TextureLevelsScalePackImagesAndAverageMips) {
  LayerImageSet set;
  set.layerSize = 16;
  DecodedImage image;
  image.width = 2;
  image.height = 1;
  image.pixels = {200, 0, 0, 255, 0, 0, 101, 255};  // red, blue
  set.images[0] = image;
  ASSERT_EQ(mipLevelCount(16), 5u);
  ASSERT_EQ(mipLevelCount(256), 9u);
  const std::vector<std::uint8_t> levels = buildTextureLevels(set, 2);
  ASSERT_EQ(levels.size(), (256u + 64u + 16u + 4u + 1u) * 2u * 4u);
  auto texel = [&](std::size_t offset, std::size_t size, int layer, int x, int y) {
    return levels.data() + offset + (static_cast<std::size_t>(layer) * size * size + static_cast<std::size_t>(y) * size + x) * 4;
  };
  EXPECT_EQ(texel(0, 16, 0, 7, 3)[0], 200);  // left half: x·2/16 = 0
  EXPECT_EQ(texel(0, 16, 0, 8, 3)[2], 101);  // right half
  const Texel painted = proceduralTexel(1, 5, 9);
  EXPECT_EQ(texel(0, 16, 1, 5, 9)[1], painted.g);
  // Level 1 of layer 0 at (3, 0) averages the 2 × 2 red texels; at (4, 0) the blue ones.
  const std::size_t level1 = 16 * 16 * 4 * 2;
  EXPECT_EQ(texel(level1, 8, 0, 3, 0)[0], 200);
  EXPECT_EQ(texel(level1, 8, 0, 4, 0)[2], 101);
  // Level 4 (1 × 1) of layer 0: half red, half blue, truncated at every step.
  const std::size_t level4 = (256 + 64 + 16 + 4) * 4 * 2;
  EXPECT_EQ(texel(level4, 1, 0, 0, 0)[0], 100);
  EXPECT_EQ(texel(level4, 1, 0, 0, 0)[2], 50);
}

TEST(WorldPass, QuadsOfCutOutTilesAreDrawnAfterTheOthers) {
  // Two 2 × 2 layers: layer 0 fully opaque, layer 1 with one texel cut out.
  std::vector<std::uint8_t> levels(2 * 4 * 4, 255);
  levels[(4 + 2) * 4 + 3] = 10;
  const std::vector<bool> cutout = cutoutLayers(levels, 2, 2);
  EXPECT_EQ(cutout, (std::vector<bool>{false, true}));

  Mesh mesh;
  for (std::int32_t layer : {1, 0, 1, 0, 7}) {  // layer 7 is beyond the table: treated as cut out
    const auto base = static_cast<std::uint32_t>(mesh.vertices.size());
    for (int k = 0; k < 4; ++k) mesh.vertices.push_back({static_cast<float>(base), 0, 0, 0, 0, 1, layer, 1, 0});
    for (std::uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u}) mesh.indices.push_back(base + i);
  }
  const SolidFirstMesh ordered = solidQuadsFirst(mesh, cutout);
  EXPECT_EQ(ordered.solidIndexCount, 12u);
  ASSERT_EQ(ordered.mesh.vertices.size(), 20u);
  const std::vector<float> order{4, 12, 0, 8, 16};  // each quad's x tells where it came from
  for (std::size_t q = 0; q < order.size(); ++q) EXPECT_FLOAT_EQ(ordered.mesh.vertices[q * 4].x, order[q]);
  for (std::size_t i = 0; i < ordered.mesh.indices.size(); ++i) {
    const std::uint32_t pattern[6] = {0, 1, 2, 0, 2, 3};
    EXPECT_EQ(ordered.mesh.indices[i], i / 6 * 4 + pattern[i % 6]);
  }
  Mesh odd = mesh;
  odd.indices.pop_back();
  EXPECT_EQ(solidQuadsFirst(odd, cutout).solidIndexCount, 0u);
}

}  // namespace
}  // namespace zorv
