#pragma once
#include <numbers>

namespace zorv {

struct Vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

inline constexpr float kDegreesToRadians = std::numbers::pi_v<float> / 180.0f;

// The cell a coordinate lies in: rounds towards minus infinity. Written without std::floor,
// a library call on baseline x86-64 that terrain generation would pay millions of times.
inline int floorToInt(float value) {
  const int truncated = static_cast<int>(value);
  return static_cast<float>(truncated) > value ? truncated - 1 : truncated;
}

}  // namespace zorv
