#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 0) uniform sampler2D scene;
layout(location = 0) out float outExposure;

// Log-average luminance over an 8 × 8 grid of the scene, turned into an exposure factor.
// The pass writes one texel, so all its taps run on one thread: 64 of them are enough for
// an average that only sets how bright the whole picture is.
// The eye adapts only halfway (square root) and never brightens beyond the set exposure, so
// dusk, night and caves stay darker than day and torch light keeps its fall-off.
void main() {
  float sum = 0.0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      vec3 c = textureLod(scene, (vec2(x, y) + 0.5) / 8.0, 0.0).rgb;
      sum += log(max(dot(c, vec3(0.2126, 0.7152, 0.0722)), 0.0001));
    }
  }
  float average = exp(sum / 64.0);
  outExposure = clamp(sqrt(0.22 / max(average, 0.0001)), 0.35, 1.0);
}
