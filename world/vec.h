#pragma once

namespace zorv {

struct Vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
};

}  // namespace zorv
