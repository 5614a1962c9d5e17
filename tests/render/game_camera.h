#pragma once
// The game's camera for the renderer's unit tests: 70° vertical, aspect 16:9, near 0.05,
// far 600, y flipped, depth −1..1.

#include <cmath>

#include "render/world_pass.h"

namespace zorv {

inline Mat4 gameViewProjection(Vec3 eye, Vec3 target) {
  const float f = 1.0f / std::tan(1.2217305f / 2.0f);
  Mat4 projection{};
  projection[0] = f / (16.0f / 9.0f);
  projection[5] = -f;
  projection[10] = -(600.0f + 0.05f) / (600.0f - 0.05f);
  projection[11] = -1.0f;
  projection[14] = -2.0f * 600.0f * 0.05f / (600.0f - 0.05f);
  return multiply(projection, lookAt(eye, target, {0.0f, 1.0f, 0.0f}));
}

}  // namespace zorv
