#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 7) uniform sampler2D composite;
layout(location = 0) out vec4 outColour;

// push: 1/W, 1/H, strength (0 passes the composite through).
float luma(vec3 c) { return dot(c, vec3(0.299, 0.587, 0.114)); }

void main() {
  // The composite has the output's size: the centre and its corners are whole texels.
  ivec2 pixel = ivec2(gl_FragCoord.xy);
  ivec2 last = textureSize(composite, 0) - 1;
  vec3 centre = texelFetch(composite, pixel, 0).rgb;
  if (push.p0.z <= 0.0) { outColour = vec4(centre, 1.0); return; }
  vec2 t = push.p0.xy;
  float lumaNW = luma(texelFetch(composite, clamp(pixel + ivec2(-1, -1), ivec2(0), last), 0).rgb);
  float lumaNE = luma(texelFetch(composite, clamp(pixel + ivec2(1, -1), ivec2(0), last), 0).rgb);
  float lumaSW = luma(texelFetch(composite, clamp(pixel + ivec2(-1, 1), ivec2(0), last), 0).rgb);
  float lumaSE = luma(texelFetch(composite, clamp(pixel + ivec2(1, 1), ivec2(0), last), 0).rgb);
  float lumaM = luma(centre);
  float lumaMin = min(lumaM, min(min(lumaNW, lumaNE), min(lumaSW, lumaSE)));
  float lumaMax = max(lumaM, max(max(lumaNW, lumaNE), max(lumaSW, lumaSE)));
  // Flat neighbourhoods have no edge to smooth: skip the four directional taps.
  if (lumaMax - lumaMin < max(0.0312, lumaMax * 0.125)) { outColour = vec4(centre, 1.0); return; }
  vec2 direction = vec2(-((lumaNW + lumaNE) - (lumaSW + lumaSE)), (lumaNW + lumaSW) - (lumaNE + lumaSE));
  float reduce = max((lumaNW + lumaNE + lumaSW + lumaSE) * 0.03125, 1.0 / 128.0);
  float scale = 1.0 / (min(abs(direction.x), abs(direction.y)) + reduce);
  direction = clamp(direction * scale, vec2(-8.0), vec2(8.0)) * t;
  vec3 a = 0.5 * (textureLod(composite, uv + direction * (1.0 / 3.0 - 0.5), 0.0).rgb +
                  textureLod(composite, uv + direction * (2.0 / 3.0 - 0.5), 0.0).rgb);
  vec3 b = a * 0.5 + 0.25 * (textureLod(composite, uv - direction * 0.5, 0.0).rgb +
                             textureLod(composite, uv + direction * 0.5, 0.0).rgb);
  float lumaB = luma(b);
  vec3 filtered = (lumaB < lumaMin || lumaB > lumaMax) ? a : b;
  outColour = vec4(mix(centre, filtered, clamp(push.p0.z, 0.0, 1.0)), 1.0);
}
