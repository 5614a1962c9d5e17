#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 0) uniform sampler2D scene;
layout(set = 0, binding = 3) uniform sampler2D bloom0;
layout(set = 0, binding = 4) uniform sampler2D bloom1;
layout(location = 0) out vec4 outColour;

// push: 1/source size, threshold, level written (0 reads the scene, 1 bloom 0, 2 bloom 1).
vec3 fetch(vec2 coord) {
  if (push.p0.w < 0.5) return textureLod(scene, coord, 0.0).rgb;
  if (push.p0.w < 1.5) return textureLod(bloom0, coord, 0.0).rgb;
  return textureLod(bloom1, coord, 0.0).rgb;
}

void main() {
  vec2 t = push.p0.xy;
  vec3 colour = fetch(uv) * 0.25;
  colour += (fetch(uv + vec2(-t.x, -t.y)) + fetch(uv + vec2(t.x, -t.y)) + fetch(uv + vec2(-t.x, t.y)) + fetch(uv + t)) * 0.125;
  colour += (fetch(uv + vec2(-2.0 * t.x, 0.0)) + fetch(uv + vec2(2.0 * t.x, 0.0)) + fetch(uv + vec2(0.0, -2.0 * t.y)) + fetch(uv + vec2(0.0, 2.0 * t.y))) * 0.0625;
  if (push.p0.w < 0.5) {
    float brightness = max(colour.r, max(colour.g, colour.b));
    float soft = max(brightness - push.p0.z, 0.0);
    colour *= soft / max(brightness, 0.0001);
  }
  outColour = vec4(min(colour, vec3(64.0)), 1.0);
}
