#pragma once
// What the world and shadow passes compute on the CPU: matrices, the three sun
// cascades, frustum culling, the uniform and push-constant blocks shared with the
// shaders, model-table slots and the mip chain of the block texture array.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "content/resource_packs.h"
#include "content/visual_settings.h"
#include "world/mesher.h"
#include "world/vec.h"

namespace zorv {

// 4 × 4 matrix, column-major: element (row r, column c) is m[c * 4 + r].
using Mat4 = std::array<float, 16>;
using Vec4 = std::array<float, 4>;

Mat4 identityMatrix();
Mat4 multiply(const Mat4& a, const Mat4& b);
Vec4 transform(const Mat4& m, const Vec4& v);

// A rectangle of shadow map texels, x0 ≤ x < x1, y0 ≤ y < y1; empty when x1 ≤ x0.
struct ShadowArea {
  std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x1 <= x0 || y1 <= y0; }
  friend bool operator==(const ShadowArea&, const ShadowArea&) = default;
};
ShadowArea unite(const ShadowArea& a, const ShadowArea& b);
// The whole map.
ShadowArea wholeShadowMap();
// The texels of a light matrix's map that the boxes (min, max corners) can cover, with a
// margin for filtering, clamped to the map.
ShadowArea shadowAreaOf(const Mat4& lightMatrix, const std::vector<std::array<Vec3, 2>>& boxes);
// General inverse; the identity for a singular matrix.
Mat4 inverse(const Mat4& m);
// Right-handed view looking from `eye` towards `target`.
Mat4 lookAt(Vec3 eye, Vec3 target, Vec3 up);
// Orthographic projection of a view-space box, depth mapped to 0..1.
Mat4 orthographic(float halfWidth, float halfHeight, float nearPlane, float farPlane);

constexpr int kCascadeCount = 3;
constexpr std::uint32_t kShadowMapSize = 2048;

// Linear sky colour for a daylight factor 0..1.
Vec3 skyColour(float daylight);
// The colour the window shows for scene light `colour`: what the shaders' displayColour
// computes, for the sky a frame without post passes is cleared to.
Vec3 displayColour(Vec3 colour, float exposure, float saturation);
float fogStartFor(float fogDistance, const VisualSettings& settings);
// Distance the cascades cover: the setting when positive, else fog + 16 in 64..192; at most 600.
float shadowDistanceFor(float fogDistance, const VisualSettings& settings);
// Split distances s0 (0.1) … s3 (the shadow distance).
std::array<float, 4> cascadeSplits(float shadowDistance);
// clamp(1.2 × daylight, 0, 1) × strength when shadows are on, else 0.
float shadowMultiplier(bool shadowsEnabled, float daylight, float strength);

struct Cascades {
  std::array<Mat4, kCascadeCount> matrices{};
  std::array<float, kCascadeCount> texelSizes{};  // world size of one shadow texel
  std::array<float, 4> splits{};
};
Cascades computeCascades(const Mat4& inverseViewProjection, Vec3 sunDirection, float shadowDistance);

// Six unnormalised planes of a depth-0..1 clip space.
using FrustumPlanes = std::array<Vec4, 6>;
FrustumPlanes frustumPlanes(const Mat4& m);
bool boxOutside(const FrustumPlanes& planes, const std::array<float, 3>& boxMin, const std::array<float, 3>& boxMax);

struct VisualUniforms {
  float fogStart, exposure, saturation, ambient, water;
  float displayExposure;  // exposure bias × exposure, as the composite applies it
  float zero[2];
};
static_assert(sizeof(VisualUniforms) == 32);

struct FrameUniforms {
  Mat4 cascadeMatrices[kCascadeCount];
  float splits[4];
  float sunStrength[4];
  float cameraTime[4];
  float forward[4];
  float viewport[4];
  float shadowParams[4];
  Mat4 inverseViewProjection;
  Mat4 viewProjection;
  float cascadeTexel[3];
  float zero;
};
static_assert(sizeof(FrameUniforms) == 432);

struct FrameInputs {
  Mat4 viewProjection{};
  Vec3 camera;
  Vec3 sunDirection;  // unit
  float daylight = 1.0f;
  float fogDistance = 128.0f;
  float seconds = 0.0f;
  float width = 1.0f, height = 1.0f;
  bool shadowsEnabled = true;
};
FrameUniforms buildFrameUniforms(const FrameInputs& inputs, const VisualSettings& settings);
VisualUniforms buildVisualUniforms(float fogDistance, const VisualSettings& settings);

struct DrawPushConstants {
  Mat4 matrix;
  float cameraDaylight[4];
  float position[4];
  float yaw, hurt;
  std::uint32_t value;
  float scale;
  float skyFog[4];
};
static_assert(sizeof(DrawPushConstants) == 128);

// The model-table entry an entity's slot draws (the slot modulo the table size).
std::size_t modelTableIndex(std::int32_t slot, std::size_t tableSize);

// Number of mip levels of a square layer: log2(size) + 1.
std::uint32_t mipLevelCount(int layerSize);
// Every level of the texture array, level by level, each level holding all layers
// (layer-major, rows top to bottom); level k averages 2 × 2 texels of level k − 1.
std::vector<std::uint8_t> buildTextureLevels(const LayerImageSet& images, int layerCount);

// Per layer: whether any texel of level 0 is cut out (alpha below 0.1), so that the block
// shader must discard there. `levels` as buildTextureLevels returns them.
std::vector<bool> cutoutLayers(const std::vector<std::uint8_t>& levels, int layerCount, int layerSize);

// A chunk mesh with the quads of cut-out tiles moved behind all others; the first
// `solidIndexCount` indices then need no discard. A mesh that is not four vertices and
// six indices per quad is kept as it is, all of it counted as cut out.
struct SolidFirstMesh {
  Mesh mesh;
  std::uint32_t solidIndexCount = 0;
};
SolidFirstMesh solidQuadsFirst(const Mesh& mesh, const std::vector<bool>& cutout);

}  // namespace zorv
