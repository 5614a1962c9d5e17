#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 9) uniform sampler2D occlusion;
layout(location = 0) out float outOcclusion;

// 4 × 4 box of the raw occlusion from four bilinear taps, each averaging a 2 × 2 block.
void main() {
  vec2 t = push.p0.xy;
  float sum = textureLod(occlusion, uv + vec2(-0.5, -0.5) * t, 0.0).r + textureLod(occlusion, uv + vec2(1.5, -0.5) * t, 0.0).r +
              textureLod(occlusion, uv + vec2(-0.5, 1.5) * t, 0.0).r + textureLod(occlusion, uv + vec2(1.5, 1.5) * t, 0.0).r;
  outOcclusion = sum * 0.25;
}
