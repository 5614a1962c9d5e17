#include "render/world_pass.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zorv {

namespace {

Vec3 sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 scale(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float length(Vec3 a) { return std::sqrt(dot(a, a)); }
Vec3 normalise(Vec3 a) {
  const float l = length(a);
  return l > 0.0f ? scale(a, 1.0f / l) : a;
}

// Point from clip space after the perspective divide.
Vec3 unproject(const Mat4& inverseViewProjection, float x, float y, float z) {
  const Vec4 p = transform(inverseViewProjection, {x, y, z, 1.0f});
  return {p[0] / p[3], p[1] / p[3], p[2] / p[3]};
}

// Light view and projection of one cascade around `centre` (texel-snapped).
Mat4 cascadeMatrix(Vec3 centre, float radius, Vec3 sun, Vec3 up) {
  const Mat4 view = lookAt(add(centre, scale(sun, radius + 16.0f)), centre, up);
  const float texel = 2.0f * radius / static_cast<float>(kShadowMapSize);
  const Vec3 right{view[0], view[4], view[8]};
  const Vec3 viewUp{view[1], view[5], view[9]};
  const float alongRight = dot(centre, right);
  const float alongUp = dot(centre, viewUp);
  const float snappedRight = std::floor(alongRight / texel) * texel;
  const float snappedUp = std::floor(alongUp / texel) * texel;
  const Vec3 snapped = add(centre, add(scale(right, snappedRight - alongRight), scale(viewUp, snappedUp - alongUp)));
  const Mat4 snappedView = lookAt(add(snapped, scale(sun, radius + 16.0f)), snapped, up);
  return multiply(orthographic(radius, radius, 1.0f, 2.0f * radius + 32.0f), snappedView);
}

}  // namespace

Mat4 identityMatrix() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Mat4 multiply(const Mat4& a, const Mat4& b) {
  Mat4 r{};
  for (int c = 0; c < 4; ++c)
    for (int row = 0; row < 4; ++row) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[c * 4 + k];
      r[c * 4 + row] = sum;
    }
  return r;
}

Vec4 transform(const Mat4& m, const Vec4& v) {
  Vec4 r{};
  for (int row = 0; row < 4; ++row) r[row] = m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + m[12 + row] * v[3];
  return r;
}

ShadowArea unite(const ShadowArea& a, const ShadowArea& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

ShadowArea wholeShadowMap() {
  constexpr auto size = static_cast<std::int32_t>(kShadowMapSize);
  return {0, 0, size, size};
}

ShadowArea shadowAreaOf(const Mat4& lightMatrix, const std::vector<std::array<Vec3, 2>>& boxes) {
  // Beyond the texels a box covers: the block shader's filter taps and its normal offset.
  constexpr float kMargin = 4.0f;
  constexpr auto size = static_cast<float>(kShadowMapSize);
  ShadowArea area;
  for (const auto& [lo, hi] : boxes) {
    constexpr float kFar = std::numeric_limits<float>::max();
    float x0 = kFar, y0 = kFar, x1 = -kFar, y1 = -kFar;
    for (int corner = 0; corner < 8; ++corner) {
      const Vec4 p = transform(lightMatrix, {(corner & 1) ? hi.x : lo.x, (corner & 2) ? hi.y : lo.y, (corner & 4) ? hi.z : lo.z, 1.0f});
      const float x = (p[0] * 0.5f + 0.5f) * size, y = (p[1] * 0.5f + 0.5f) * size;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
    auto texel = [size](float v) { return static_cast<std::int32_t>(std::clamp(v, 0.0f, size)); };
    const ShadowArea box{texel(std::floor(x0 - kMargin)), texel(std::floor(y0 - kMargin)), texel(std::ceil(x1 + kMargin)),
                         texel(std::ceil(y1 + kMargin))};
    if (!box.empty()) area = unite(area, box);
  }
  return area;
}

Mat4 inverse(const Mat4& m) {
  // Gauss-Jordan elimination with partial pivoting, in double precision.
  double a[4][8];
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      a[r][c] = m[c * 4 + r];
      a[r][c + 4] = r == c ? 1.0 : 0.0;
    }
  for (int col = 0; col < 4; ++col) {
    int pivot = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(a[r][col]) > std::fabs(a[pivot][col])) pivot = r;
    if (std::fabs(a[pivot][col]) < 1e-12) return identityMatrix();
    if (pivot != col)
      for (int c = 0; c < 8; ++c) std::swap(a[pivot][c], a[col][c]);
    const double divisor = a[col][col];
    for (int c = 0; c < 8; ++c) a[col][c] /= divisor;
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      const double factor = a[r][col];
      for (int c = 0; c < 8; ++c) a[r][c] -= factor * a[col][c];
    }
  }
  Mat4 result{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) result[c * 4 + r] = static_cast<float>(a[r][c + 4]);
  return result;
}

Mat4 lookAt(Vec3 eye, Vec3 target, Vec3 up) {
  const Vec3 f = normalise(sub(target, eye));
  const Vec3 s = normalise(cross(f, up));
  const Vec3 u = cross(s, f);
  return {s.x, u.x, -f.x, 0, s.y, u.y, -f.y, 0, s.z, u.z, -f.z, 0, -dot(s, eye), -dot(u, eye), dot(f, eye), 1};
}

Mat4 orthographic(float halfWidth, float halfHeight, float nearPlane, float farPlane) {
  const float depth = farPlane - nearPlane;
  return {1.0f / halfWidth, 0, 0, 0, 0, 1.0f / halfHeight, 0, 0, 0, 0, -1.0f / depth, 0, 0, 0, -nearPlane / depth, 1};
}

Vec3 skyColour(float daylight) {
  const float d = daylight;
  auto channel = [d](float day, float night) { return std::pow(day * d + night * (1.0f - d), 2.2f); };
  return {channel(0.38f, 0.015f), channel(0.57f, 0.02f), channel(0.79f, 0.05f)};
}

Vec3 displayColour(Vec3 colour, float exposure, float saturation) {
  auto toneMap = [exposure](float x) {
    x *= exposure * 1.4f;
    return std::clamp((x * (2.51f * x + 0.03f)) / (x * (2.43f * x + 0.59f) + 0.14f), 0.0f, 1.0f);
  };
  const Vec3 mapped{toneMap(colour.x), toneMap(colour.y), toneMap(colour.z)};
  const float grey = 0.2126f * mapped.x + 0.7152f * mapped.y + 0.0722f * mapped.z;
  auto saturate = [&](float c) { return std::clamp(grey + (c - grey) * saturation, 0.0f, 1.0f); };
  return {saturate(mapped.x), saturate(mapped.y), saturate(mapped.z)};
}

float fogStartFor(float fogDistance, const VisualSettings& settings) {
  return settings.fogStart >= 0.0f ? std::min(fogDistance - 1.0f, settings.fogStart) : fogDistance - 50.0f;
}

float shadowDistanceFor(float fogDistance, const VisualSettings& settings) {
  const float distance = settings.shadowDistance > 0.0f ? settings.shadowDistance : std::clamp(fogDistance + 16.0f, 64.0f, 192.0f);
  return std::min(distance, 600.0f);
}

std::array<float, 4> cascadeSplits(float shadowDistance) {
  std::array<float, 4> splits{0.1f, 0.0f, 0.0f, shadowDistance};
  for (int j = 1; j <= 2; ++j) {
    const float fraction = static_cast<float>(j) / 3.0f;
    const float logarithmic = 0.1f * std::pow(shadowDistance / 0.1f, fraction);
    const float uniform = 0.1f + (shadowDistance - 0.1f) * fraction;
    splits[j] = 0.7f * logarithmic + 0.3f * uniform;
  }
  return splits;
}

float shadowMultiplier(bool shadowsEnabled, float daylight, float strength) {
  return shadowsEnabled ? std::clamp(1.2f * daylight, 0.0f, 1.0f) * strength : 0.0f;
}

Cascades computeCascades(const Mat4& inverseViewProjection, Vec3 sunDirection, float shadowDistance) {
  Cascades cascades;
  cascades.splits = cascadeSplits(shadowDistance);
  Vec3 sun = length(sunDirection) < 0.0001f ? Vec3{0.0f, 1.0f, 0.0f} : normalise(sunDirection);
  const Vec3 up = std::fabs(sun.y) > 0.95f ? Vec3{0.0f, 0.0f, 1.0f} : Vec3{0.0f, 1.0f, 0.0f};

  std::array<Vec3, 4> nearCorners, farCorners;
  for (int i = 0; i < 4; ++i) {
    const float x = (i & 1) ? 1.0f : -1.0f;
    const float y = (i & 2) ? 1.0f : -1.0f;
    nearCorners[i] = unproject(inverseViewProjection, x, y, -1.0f);
    farCorners[i] = unproject(inverseViewProjection, x, y, 1.0f);
  }
  for (int j = 0; j < kCascadeCount; ++j) {
    const float from = (cascades.splits[j] - 0.1f) / 599.9f;
    const float to = (cascades.splits[j + 1] - 0.1f) / 599.9f;
    std::array<Vec3, 8> corners;
    Vec3 centre{};
    for (int i = 0; i < 4; ++i) {
      const Vec3 ray = sub(farCorners[i], nearCorners[i]);
      corners[i] = add(nearCorners[i], scale(ray, from));
      corners[i + 4] = add(nearCorners[i], scale(ray, to));
    }
    for (const Vec3& corner : corners) centre = add(centre, scale(corner, 1.0f / 8.0f));
    float radius = 1.0f;
    for (const Vec3& corner : corners) radius = std::max(radius, length(sub(corner, centre)));
    cascades.matrices[j] = cascadeMatrix(centre, radius, sun, up);
    cascades.texelSizes[j] = 2.0f * radius / static_cast<float>(kShadowMapSize);
  }
  return cascades;
}

FrustumPlanes frustumPlanes(const Mat4& m) {
  auto row = [&m](int i) { return Vec4{m[i], m[4 + i], m[8 + i], m[12 + i]}; };
  auto combine = [](const Vec4& a, const Vec4& b, float sign) {
    return Vec4{a[0] + sign * b[0], a[1] + sign * b[1], a[2] + sign * b[2], a[3] + sign * b[3]};
  };
  const Vec4 r0 = row(0), r1 = row(1), r2 = row(2), r3 = row(3);
  return {combine(r3, r0, 1.0f), combine(r3, r0, -1.0f), combine(r3, r1, 1.0f),
          combine(r3, r1, -1.0f), r2, combine(r3, r2, -1.0f)};
}

bool boxOutside(const FrustumPlanes& planes, const std::array<float, 3>& boxMin, const std::array<float, 3>& boxMax) {
  for (const Vec4& plane : planes) {
    float distance = plane[3];
    for (int axis = 0; axis < 3; ++axis) distance += plane[axis] * (plane[axis] >= 0.0f ? boxMax[axis] : boxMin[axis]);
    if (distance < 0.0f) return true;
  }
  return false;
}

FrameUniforms buildFrameUniforms(const FrameInputs& inputs, const VisualSettings& settings) {
  FrameUniforms u{};
  const Mat4 inverseViewProjection = inverse(inputs.viewProjection);
  const float distance = shadowDistanceFor(inputs.fogDistance, settings);
  const Cascades cascades = computeCascades(inverseViewProjection, inputs.sunDirection, distance);
  for (int j = 0; j < kCascadeCount; ++j) {
    u.cascadeMatrices[j] = cascades.matrices[j];
    u.splits[j] = cascades.splits[j + 1];
    u.cascadeTexel[j] = cascades.texelSizes[j];
  }
  u.splits[3] = distance;
  const Vec3 sun = inputs.sunDirection;
  const float strength = shadowMultiplier(inputs.shadowsEnabled, inputs.daylight, settings.shadowStrength);
  std::copy_n(std::array<float, 4>{sun.x, sun.y, sun.z, strength}.data(), 4, u.sunStrength);
  std::copy_n(std::array<float, 4>{inputs.camera.x, inputs.camera.y, inputs.camera.z, inputs.seconds}.data(), 4, u.cameraTime);
  const Vec3 forward = normalise(sub(unproject(inverseViewProjection, 0.0f, 0.0f, 1.0f), inputs.camera));
  std::copy_n(std::array<float, 4>{forward.x, forward.y, forward.z, 0.0f}.data(), 4, u.forward);
  std::copy_n(std::array<float, 4>{inputs.width, inputs.height, 1.0f / inputs.width, 1.0f / inputs.height}.data(), 4, u.viewport);
  std::copy_n(std::array<float, 4>{0.0008f, 0.46f, 3.0f, 1.0f / 2048.0f}.data(), 4, u.shadowParams);
  u.inverseViewProjection = inverseViewProjection;
  u.viewProjection = inputs.viewProjection;
  return u;
}

VisualUniforms buildVisualUniforms(float fogDistance, const VisualSettings& settings) {
  return {fogStartFor(fogDistance, settings), settings.exposure, settings.saturation, settings.ambient, settings.water,
          settings.exposureBias * settings.exposure, {0, 0}};
}

std::size_t modelTableIndex(std::int32_t slot, std::size_t tableSize) {
  const auto size = static_cast<std::int64_t>(tableSize);
  return static_cast<std::size_t>(((slot % size) + size) % size);
}

std::uint32_t mipLevelCount(int layerSize) {
  std::uint32_t levels = 1;
  while ((layerSize >> levels) > 0) ++levels;
  return levels;
}

std::vector<std::uint8_t> buildTextureLevels(const LayerImageSet& images, int layerCount) {
  const auto size = static_cast<std::size_t>(images.layerSize);
  std::vector<std::uint8_t> levels;
  levels.reserve(size * size * 4 * static_cast<std::size_t>(layerCount) * 4 / 3 + 64);
  for (int layer = 0; layer < layerCount; ++layer) {
    const std::vector<std::uint8_t> texels = layerTexels(images.images, layer, images.layerSize);
    levels.insert(levels.end(), texels.begin(), texels.end());
  }
  std::size_t previousStart = 0;
  for (std::size_t previousSize = size; previousSize > 1; previousSize /= 2) {
    const std::size_t levelSize = previousSize / 2;
    const std::size_t start = levels.size();
    levels.resize(start + levelSize * levelSize * 4 * static_cast<std::size_t>(layerCount));
    for (std::size_t layer = 0; layer < static_cast<std::size_t>(layerCount); ++layer) {
      const std::uint8_t* source = levels.data() + previousStart + layer * previousSize * previousSize * 4;
      std::uint8_t* target = levels.data() + start + layer * levelSize * levelSize * 4;
      for (std::size_t y = 0; y < levelSize; ++y)
        for (std::size_t x = 0; x < levelSize; ++x)
          for (std::size_t c = 0; c < 4; ++c) {
            auto at = [&](std::size_t sx, std::size_t sy) { return static_cast<unsigned>(source[(sy * previousSize + sx) * 4 + c]); };
            const unsigned sum = at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1);
            target[(y * levelSize + x) * 4 + c] = static_cast<std::uint8_t>(sum >> 2);
          }
    }
    previousStart = start;
  }
  return levels;
}

std::vector<bool> cutoutLayers(const std::vector<std::uint8_t>& levels, int layerCount, int layerSize) {
  const auto texels = static_cast<std::size_t>(layerSize) * static_cast<std::size_t>(layerSize);
  std::vector<bool> cutout(static_cast<std::size_t>(std::max(layerCount, 0)), true);
  for (std::size_t layer = 0; layer < cutout.size(); ++layer) {
    if ((layer + 1) * texels * 4 > levels.size()) break;
    bool any = false;
    for (std::size_t t = 0; t < texels && !any; ++t) any = levels[(layer * texels + t) * 4 + 3] < 26;  // 0.1 × 255
    cutout[layer] = any;
  }
  return cutout;
}

SolidFirstMesh solidQuadsFirst(const Mesh& mesh, const std::vector<bool>& cutout) {
  SolidFirstMesh out;
  const std::size_t quads = mesh.vertices.size() / 4;
  if (mesh.vertices.size() % 4 != 0 || mesh.indices.size() != quads * 6) {
    out.mesh = mesh;
    return out;
  }
  auto isCutout = [&cutout](const MeshVertex& v) {
    return v.layer < 0 || static_cast<std::size_t>(v.layer) >= cutout.size() || cutout[static_cast<std::size_t>(v.layer)];
  };
  out.mesh.vertices.reserve(mesh.vertices.size());
  out.mesh.indices.reserve(mesh.indices.size());
  for (bool second : {false, true})
    for (std::size_t q = 0; q < quads; ++q) {
      if (isCutout(mesh.vertices[q * 4]) != second) continue;
      const auto base = static_cast<std::uint32_t>(out.mesh.vertices.size());
      out.mesh.vertices.insert(out.mesh.vertices.end(), mesh.vertices.begin() + static_cast<std::ptrdiff_t>(q * 4),
                               mesh.vertices.begin() + static_cast<std::ptrdiff_t>(q * 4 + 4));
      for (std::uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u}) out.mesh.indices.push_back(base + i);
      if (!second) out.solidIndexCount += 6;
    }
  return out;
}

}  // namespace zorv
