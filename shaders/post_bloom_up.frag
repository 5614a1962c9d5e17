#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 4) uniform sampler2D bloom1;
layout(set = 0, binding = 5) uniform sampler2D bloom2;
layout(location = 0) out vec4 outColour;

// push: 1/source size, intensity, level read (2 or 1); added onto the level above. The
// source is chosen once per pixel, not per tap.
vec3 upsample(sampler2D source, vec2 t) {
  // A tent over the level below from four filtered taps half a texel out diagonally.
  vec2 h = 0.5 * t;
  return (textureLod(source, uv + vec2(-h.x, -h.y), 0.0).rgb + textureLod(source, uv + vec2(h.x, -h.y), 0.0).rgb +
          textureLod(source, uv + vec2(-h.x, h.y), 0.0).rgb + textureLod(source, uv + h, 0.0).rgb) * 4.0;
}

void main() {
  vec3 colour;
  if (push.p0.w > 1.5) {
    colour = upsample(bloom2, push.p0.xy);
  } else {
    colour = upsample(bloom1, push.p0.xy);
  }
  outColour = vec4(colour / 16.0 * push.p0.z, 0.0);
}
