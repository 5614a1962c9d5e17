#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 9) uniform sampler2D occlusion;
layout(location = 0) out float outOcclusion;

// 4 × 4 box over bilinear taps of the raw occlusion.
void main() {
  float sum = 0.0;
  for (int y = -1; y <= 2; ++y)
    for (int x = -1; x <= 2; ++x)
      sum += textureLod(occlusion, uv + (vec2(x, y) - 0.5) * push.p0.xy, 0.0).r;
  outOcclusion = sum / 16.0;
}
