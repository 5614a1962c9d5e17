#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 4) uniform sampler2D bloom1;
layout(set = 0, binding = 5) uniform sampler2D bloom2;
layout(location = 0) out vec4 outColour;

// push: 1/source size, intensity, level read (2 or 1); added onto the level above. The
// source is chosen once per pixel, not per tap.
vec3 upsample(sampler2D source, vec2 t) {
  vec3 colour = textureLod(source, uv, 0.0).rgb * 4.0;
  colour += (textureLod(source, uv + vec2(t.x, 0.0), 0.0).rgb + textureLod(source, uv - vec2(t.x, 0.0), 0.0).rgb +
             textureLod(source, uv + vec2(0.0, t.y), 0.0).rgb + textureLod(source, uv - vec2(0.0, t.y), 0.0).rgb) * 2.0;
  colour += textureLod(source, uv + t, 0.0).rgb + textureLod(source, uv - t, 0.0).rgb + textureLod(source, uv + vec2(t.x, -t.y), 0.0).rgb +
            textureLod(source, uv + vec2(-t.x, t.y), 0.0).rgb;
  return colour;
}

void main() {
  vec3 colour;
  if (push.p0.w > 1.5) {
    colour = upsample(bloom2, push.p0.xy);
  } else {
    colour = upsample(bloom1, push.p0.xy);
  }
  outColour = vec4(colour / 16.0 * push.p0.z, 0.0);
}
