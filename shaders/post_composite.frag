#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_common.glsl"
layout(set = 0, binding = 0) uniform sampler2D scene;
layout(set = 0, binding = 2) uniform sampler2D occlusion;
layout(set = 0, binding = 3) uniform sampler2D bloom0;
layout(set = 0, binding = 6) uniform sampler2D exposureImage;
layout(location = 0) out vec4 outColour;

// A fully occluded point keeps this much of its ambient and sky light.
const float kOcclusionFloor = 0.5;

#include "display_colour.glsl"

// push: exposure, bloom weight, occlusion strength, saturation;
// p1.xyz = 1 where the exposure, bloom and occlusion passes ran this frame.

void main() {
  // The scene has the output's size: one whole texel, no filtering.
  vec4 sceneTexel = texelFetch(scene, ivec2(gl_FragCoord.xy), 0);
  vec3 colour = sceneTexel.rgb;
  if (push.p1.z > 0.5) {
    // Occlusion darkens only the share of the light that is ambient and sky (the scene's
    // alpha), never torch or lava light, and never below the floor.
    float visible = max(textureLod(occlusion, uv, 0.0).r, kOcclusionFloor);
    colour *= 1.0 - clamp(sceneTexel.a, 0.0, 1.0) * (1.0 - visible);
  }
  if (push.p1.y > 0.5) colour += textureLod(bloom0, uv, 0.0).rgb * push.p0.y;
  float exposure = push.p0.x;
  if (push.p1.x > 0.5) exposure *= textureLod(exposureImage, vec2(0.5), 0.0).r;
  outColour = vec4(displayColour(colour, exposure, push.p0.w), 1.0);
}
