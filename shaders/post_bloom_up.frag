#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 4) uniform sampler2D bloom1;
layout(set = 0, binding = 5) uniform sampler2D bloom2;
layout(location = 0) out vec4 outColour;

// push: 1/source size, intensity, level read (2 or 1); added onto the level above.
vec3 fetch(vec2 coord) {
  return push.p0.w > 1.5 ? textureLod(bloom2, coord, 0.0).rgb : textureLod(bloom1, coord, 0.0).rgb;
}

void main() {
  vec2 t = push.p0.xy;
  vec3 colour = fetch(uv) * 4.0;
  colour += (fetch(uv + vec2(t.x, 0.0)) + fetch(uv - vec2(t.x, 0.0)) + fetch(uv + vec2(0.0, t.y)) + fetch(uv - vec2(0.0, t.y))) * 2.0;
  colour += fetch(uv + t) + fetch(uv - t) + fetch(uv + vec2(t.x, -t.y)) + fetch(uv + vec2(-t.x, t.y));
  outColour = vec4(colour / 16.0 * push.p0.z, 0.0);
}
