#version 450
#extension GL_GOOGLE_include_directive : require
// The composite and the edge smoothing in one pass, for frames drawn at the window's size
// with the built-in programs. The five taps are lit in scene light and the edge is found
// from their tone-mapped lumas; only the smoothed colour is tone-mapped whole, so no
// composite image is written and read back in between.
#include "post_composite.glsl"
#include "edge_smoothing.glsl"
layout(location = 0) out vec4 outColour;

// push as the composite's; p1.w = edge smoothing strength.
CompositeLight light;
ivec2 lastTexel;

vec3 litTap(ivec2 offset, out float displayedLuma) {
  vec3 lit = sceneLight(texelFetch(scene, clamp(ivec2(gl_FragCoord.xy) + offset, ivec2(0), lastTexel), 0), light);
  displayedLuma = toneMap(vec3(luma(lit) * light.exposure * 1.4)).r;
  return lit;
}

void main() {
  light = compositeLight();
  lastTexel = textureSize(scene, 0) - 1;
  EdgeTaps taps;
  taps.centre = litTap(ivec2(0), taps.lumaM);
  taps.nw = litTap(ivec2(-1, -1), taps.lumaNW);
  taps.ne = litTap(ivec2(1, -1), taps.lumaNE);
  taps.sw = litTap(ivec2(-1, 1), taps.lumaSW);
  taps.se = litTap(ivec2(1, 1), taps.lumaSE);
  outColour = vec4(displayColour(smoothEdges(taps, push.p1.w), light.exposure, push.p0.w), 1.0);
}
