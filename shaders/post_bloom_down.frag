#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 0) uniform sampler2D scene;
layout(set = 0, binding = 3) uniform sampler2D bloom0;
layout(set = 0, binding = 4) uniform sampler2D bloom1;
layout(location = 0) out vec4 outColour;

// push: 1/source size, threshold, level written (0 reads the scene, 1 bloom 0, 2 bloom 1).
// The source is chosen once per pixel, not per tap, so only one image is ever sampled.
vec3 downsample(sampler2D source, vec2 t) {
  // The centre and four diagonal taps one source texel out: each filtered tap averages
  // 2 × 2 texels, so five taps cover a 4 × 4 footprint with a tent-like weighting.
  vec3 colour = textureLod(source, uv, 0.0).rgb * 0.5;
  colour += (textureLod(source, uv + vec2(-t.x, -t.y), 0.0).rgb + textureLod(source, uv + vec2(t.x, -t.y), 0.0).rgb +
             textureLod(source, uv + vec2(-t.x, t.y), 0.0).rgb + textureLod(source, uv + t, 0.0).rgb) * 0.125;
  return colour;
}

void main() {
  vec2 t = push.p0.xy;
  vec3 colour;
  if (push.p0.w < 0.5) {
    colour = downsample(scene, t);
    float brightness = max(colour.r, max(colour.g, colour.b));
    float soft = max(brightness - push.p0.z, 0.0);
    colour *= soft / max(brightness, 0.0001);
  } else if (push.p0.w < 1.5) {
    colour = downsample(bloom0, t);
  } else {
    colour = downsample(bloom1, t);
  }
  outColour = vec4(min(colour, vec3(64.0)), 1.0);
}
