// Edge smoothing of the final pass, shared by its two programs. With FILTERED_TAPS defined,
// for a composite smaller than the output: every tap is filtered at uv, which scales the
// picture up, and the neighbours lie one composite texel away. Otherwise they are whole
// texels. Two programs rather than a branch on the push data, which the software
// rasteriser would run both sides of.
#include "post_common.glsl"
#include "edge_smoothing.glsl"
layout(set = 0, binding = 7) uniform sampler2D composite;
layout(location = 0) out vec4 outColour;

// push: 1 / composite size, strength (0 passes the composite through), 1 where the
// composite is smaller than the output.
vec3 neighbour(ivec2 offset) {
#ifdef FILTERED_TAPS
  return textureLod(composite, uv + vec2(offset) * push.p0.xy, 0.0).rgb;
#else
  ivec2 last = textureSize(composite, 0) - 1;
  return texelFetch(composite, clamp(ivec2(gl_FragCoord.xy) + offset, ivec2(0), last), 0).rgb;
#endif
}

void main() {
  vec3 centre = neighbour(ivec2(0));
  if (push.p0.z <= 0.0) { outColour = vec4(centre, 1.0); return; }
  EdgeTaps taps = tapsWithLumas(centre, neighbour(ivec2(-1, -1)), neighbour(ivec2(1, -1)), neighbour(ivec2(-1, 1)), neighbour(ivec2(1, 1)));
  outColour = vec4(smoothEdges(taps, push.p0.z), 1.0);
}
