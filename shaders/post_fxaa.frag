#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 7) uniform sampler2D composite;
layout(location = 0) out vec4 outColour;

// push: 1 / composite size, strength (0 passes the composite through). The composite may be
// smaller than the output: every tap is filtered at uv, which scales it up, and the
// neighbours lie one composite texel away. At the output's size each tap is a whole texel.
float luma(vec3 c) { return dot(c, vec3(0.299, 0.587, 0.114)); }

vec3 tap(vec2 offset) { return textureLod(composite, uv + offset * push.p0.xy, 0.0).rgb; }

void main() {
  vec3 centre = tap(vec2(0.0));
  if (push.p0.z <= 0.0) { outColour = vec4(centre, 1.0); return; }
  float lumaNW = luma(tap(vec2(-1.0, -1.0)));
  float lumaNE = luma(tap(vec2(1.0, -1.0)));
  float lumaSW = luma(tap(vec2(-1.0, 1.0)));
  float lumaSE = luma(tap(vec2(1.0, 1.0)));
  float lumaM = luma(centre);
  float lumaMin = min(lumaM, min(min(lumaNW, lumaNE), min(lumaSW, lumaSE)));
  float lumaMax = max(lumaM, max(max(lumaNW, lumaNE), max(lumaSW, lumaSE)));
  // Flat neighbourhoods have no edge to smooth: skip the directional taps.
  if (lumaMax - lumaMin < max(0.0312, lumaMax * 0.125)) { outColour = vec4(centre, 1.0); return; }
  vec2 direction = vec2(-((lumaNW + lumaNE) - (lumaSW + lumaSE)), (lumaNW + lumaSW) - (lumaNE + lumaSE));
  float reduce = max((lumaNW + lumaNE + lumaSW + lumaSE) * 0.03125, 1.0 / 128.0);
  float scale = 1.0 / (min(abs(direction.x), abs(direction.y)) + reduce);
  direction = clamp(direction * scale, vec2(-8.0), vec2(8.0));
  vec3 a = 0.5 * (tap(direction * (1.0 / 3.0 - 0.5)) + tap(direction * (2.0 / 3.0 - 0.5)));
  vec3 b = a * 0.5 + 0.25 * (tap(direction * -0.5) + tap(direction * 0.5));
  float lumaB = luma(b);
  vec3 filtered = (lumaB < lumaMin || lumaB > lumaMax) ? a : b;
  outColour = vec4(mix(centre, filtered, clamp(push.p0.z, 0.0, 1.0)), 1.0);
}
