#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 7) uniform sampler2D composite;
layout(location = 0) out vec4 outColour;

// push: 1 / composite size, strength (0 passes the composite through), 1 where the
// composite is smaller than the output. Then every tap is filtered at uv, which scales it
// up, and the neighbours lie one composite texel away; otherwise they are whole texels.
float luma(vec3 c) { return dot(c, vec3(0.299, 0.587, 0.114)); }

vec3 tap(vec2 offset) { return textureLod(composite, uv + offset * push.p0.xy, 0.0).rgb; }

vec3 neighbour(ivec2 offset) {
  if (push.p0.w > 0.5) return tap(vec2(offset));
  ivec2 last = textureSize(composite, 0) - 1;
  return texelFetch(composite, clamp(ivec2(gl_FragCoord.xy) + offset, ivec2(0), last), 0).rgb;
}

void main() {
  vec3 centre = neighbour(ivec2(0));
  if (push.p0.z <= 0.0) { outColour = vec4(centre, 1.0); return; }
  float lumaNW = luma(neighbour(ivec2(-1, -1)));
  float lumaNE = luma(neighbour(ivec2(1, -1)));
  float lumaSW = luma(neighbour(ivec2(-1, 1)));
  float lumaSE = luma(neighbour(ivec2(1, 1)));
  float lumaM = luma(centre);
  float lumaMin = min(lumaM, min(min(lumaNW, lumaNE), min(lumaSW, lumaSE)));
  float lumaMax = max(lumaM, max(max(lumaNW, lumaNE), max(lumaSW, lumaSE)));
  // Flat neighbourhoods have no edge to smooth: skip the directional taps.
  if (lumaMax - lumaMin < max(0.0312, lumaMax * 0.125)) { outColour = vec4(centre, 1.0); return; }
  vec2 direction = vec2(-((lumaNW + lumaNE) - (lumaSW + lumaSE)), (lumaNW + lumaSW) - (lumaNE + lumaSE));
  float reduce = max((lumaNW + lumaNE + lumaSW + lumaSE) * 0.03125, 1.0 / 128.0);
  float scale = 1.0 / (min(abs(direction.x), abs(direction.y)) + reduce);
  direction = clamp(direction * scale, vec2(-8.0), vec2(8.0));
  // One pair of taps along the edge, a third of its reach either side of the centre; the
  // wider second pair would cost two more filtered reads for little visible smoothing.
  vec3 filtered = 0.5 * (tap(direction * (1.0 / 3.0 - 0.5)) + tap(direction * (2.0 / 3.0 - 0.5)));
  outColour = vec4(mix(centre, filtered, clamp(push.p0.z, 0.0, 1.0)), 1.0);
}
