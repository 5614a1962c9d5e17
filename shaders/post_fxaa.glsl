// Edge smoothing of the final pass, shared by its two programs. With FILTERED_TAPS defined,
// for a composite smaller than the output: every tap is filtered at uv, which scales the
// picture up, and the neighbours lie one composite texel away. Otherwise they are whole
// texels. Two programs rather than a branch on the push data, which the software
// rasteriser would run both sides of.
#include "post_common.glsl"
layout(set = 0, binding = 7) uniform sampler2D composite;
layout(location = 0) out vec4 outColour;

// push: 1 / composite size, strength (0 passes the composite through), 1 where the
// composite is smaller than the output.
float luma(vec3 c) { return dot(c, vec3(0.299, 0.587, 0.114)); }

vec3 neighbour(ivec2 offset) {
#ifdef FILTERED_TAPS
  return textureLod(composite, uv + vec2(offset) * push.p0.xy, 0.0).rgb;
#else
  ivec2 last = textureSize(composite, 0) - 1;
  return texelFetch(composite, clamp(ivec2(gl_FragCoord.xy) + offset, ivec2(0), last), 0).rgb;
#endif
}

// Edge smoothing from the centre and its four diagonal neighbours alone: where their
// lumas differ enough to be an edge, the centre is blended with the diagonal pair that
// runs most nearly along the edge. No tap depends on another, and no pixel branches.
void main() {
  vec3 centre = neighbour(ivec2(0));
  if (push.p0.z <= 0.0) { outColour = vec4(centre, 1.0); return; }
  vec3 nw = neighbour(ivec2(-1, -1)), ne = neighbour(ivec2(1, -1)), sw = neighbour(ivec2(-1, 1)), se = neighbour(ivec2(1, 1));
  float lumaNW = luma(nw), lumaNE = luma(ne), lumaSW = luma(sw), lumaSE = luma(se), lumaM = luma(centre);
  float lumaMin = min(lumaM, min(min(lumaNW, lumaNE), min(lumaSW, lumaSE)));
  float lumaMax = max(lumaM, max(max(lumaNW, lumaNE), max(lumaSW, lumaSE)));
  float edge = step(max(0.0312, lumaMax * 0.125), lumaMax - lumaMin);
  // Along the edge: the luma gradient turned a quarter.
  vec2 along = vec2(-((lumaNW + lumaNE) - (lumaSW + lumaSE)), (lumaNW + lumaSW) - (lumaNE + lumaSE));
  bool falling = abs(along.x + along.y) >= abs(along.x - along.y);  // nearer (1, 1): north-west to south-east
  vec3 pair = falling ? nw + se : ne + sw;
  vec3 filtered = 0.5 * centre + 0.25 * pair;
  outColour = vec4(mix(centre, filtered, edge * clamp(push.p0.z, 0.0, 1.0)), 1.0);
}
