// The composite's light: occlusion, bloom and exposure applied to scene texels and the
// result tone-mapped. Shared by the composite and by the composite that smooths edges too.
#include "post_common.glsl"
layout(set = 0, binding = 0) uniform sampler2D scene;
layout(set = 0, binding = 2) uniform sampler2D occlusion;
layout(set = 0, binding = 3) uniform sampler2D bloom0;
layout(set = 0, binding = 6) uniform sampler2D exposureImage;

// A fully occluded point keeps this much of its ambient and sky light.
const float kOcclusionFloor = 0.5;

#include "display_colour.glsl"

// push: exposure, bloom weight, occlusion strength, saturation;
// p1.xyz = 1 where the exposure, bloom and occlusion passes ran this frame.

// What varies slowly across the picture, read once per pixel: the share of ambient and
// sky light that occlusion leaves, the bloom to add and the exposure.
struct CompositeLight {
  float visible;
  vec3 bloom;
  float exposure;
};

CompositeLight compositeLight() {
  CompositeLight light;
  light.visible = push.p1.z > 0.5 ? max(textureLod(occlusion, uv, 0.0).r, kOcclusionFloor) : 1.0;
  light.bloom = push.p1.y > 0.5 ? textureLod(bloom0, uv, 0.0).rgb * push.p0.y : vec3(0.0);
  light.exposure = push.p0.x;
  if (push.p1.x > 0.5) light.exposure *= textureLod(exposureImage, vec2(0.5), 0.0).r;
  return light;
}

// One scene texel in scene light with occlusion and bloom. Occlusion darkens only the
// share of the light that is ambient and sky (the scene's alpha), never torch or lava light.
vec3 sceneLight(vec4 sceneTexel, CompositeLight light) {
  return sceneTexel.rgb * (1.0 - clamp(sceneTexel.a, 0.0, 1.0) * (1.0 - light.visible)) + light.bloom;
}

// One scene texel as the window shows it.
vec3 compositeTexel(vec4 sceneTexel, CompositeLight light) {
  return displayColour(sceneLight(sceneTexel, light), light.exposure, push.p0.w);
}
