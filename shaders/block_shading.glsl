// Shading of blocks, models and particles, shared by the block fragment programs. With
// BLOCK_SOLID defined, for chunk quads whose tile has no cut-out texels: no discard, so
// depth is tested and written before shading and hidden fragments cost nothing; and
// neither water (a mesh of its own) nor the hurt flash of models, code the software
// rasteriser would run for every fragment. With NO_SUN_SHADOWS defined, for frames
// without sun shadows: the shadow map is never read, and solid quads need no normal.
#define FRAME_BINDING 2
#include "frame_uniforms.glsl"
#include "draw_push.glsl"
#include "display_colour.glsl"

// On for frames drawn straight into the window's image, when no post pass runs: the
// colour leaves as the composite would have made it.
layout(constant_id = 0) const bool kDisplayOutput = false;

#ifdef BLOCK_SOLID
layout(early_fragment_tests) in;
#endif

layout(set = 0, binding = 0) uniform sampler2DArray blockTextures;
layout(set = 0, binding = 1) uniform VisualUniforms {
  float fogStart;
  float exposure;
  float saturation;
  float ambient;
  float water;
  float displayExposure;  // the composite's exposure, for kDisplayOutput
} visual;
// The sun's shadow map, read through a comparing sampler (binding 3 has the same map
// through a plain one).
layout(set = 0, binding = 4) uniform sampler2DArrayShadow shadowMap;

layout(location = 0) in vec3 worldPosition;
layout(location = 1) in vec2 uv;
layout(location = 2) in float shade;
layout(location = 3) flat in uint layer;
layout(location = 4) in float skyLight;
layout(location = 5) in float blockLight;

layout(location = 0) out vec4 outColour;

const uint kWaterTile = 13u;
const uint kLavaTile = 14u;

// Fraction of sunlight reaching the point: the sampler's comparison, filtered over the
// four texels around it, in the cascade that covers its view depth; 1 beyond the last cascade.
float sunVisibility(vec3 normal) {
  float depth = dot(worldPosition - frame.cameraTime.xyz, frame.forward.xyz);
  int cascade = depth < frame.splits.x ? 0 : (depth < frame.splits.y ? 1 : 2);
  if (depth >= frame.splits.z) return 1.0;
  vec3 offsetPosition = worldPosition + normal * frame.cascadeTexel[cascade] * frame.shadowParams.y * 3.0;
  vec4 light = frame.cascadeMatrix[cascade] * vec4(offsetPosition, 1.0);
  vec2 coord = light.xy * 0.5 + 0.5;
  if (any(lessThan(coord, vec2(0.0))) || any(greaterThan(coord, vec2(1.0))) || light.z > 1.0) return 1.0;
  float reference = light.z - frame.shadowParams.x;
  // The map has one level: zero gradients pick it without derivatives.
  float lit = textureGrad(shadowMap, vec4(coord, float(cascade), reference), vec2(0.0), vec2(0.0));
  // Fade out towards the far end of the shadowed range.
  float fade = smoothstep(frame.splits.z * 0.85, frame.splits.z, depth);
  return mix(lit, 1.0, fade);
}

// Share of the sky term that is direct sun: the part a shadow removes.
const float kDirectSunShare = 0.75;

void main() {
  vec4 texel = texture(blockTextures, vec3(uv, float(layer)));
#ifndef BLOCK_SOLID
  if (texel.a < 0.1) discard;
#endif

  float daylight = draw.cameraDaylight.w;
#if !defined(BLOCK_SOLID) || !defined(NO_SUN_SHADOWS)
  vec3 normal = normalize(cross(dFdx(worldPosition), dFdy(worldPosition)));
  if (dot(normal, draw.cameraDaylight.xyz - worldPosition) < 0.0) normal = -normal;
#endif

#ifdef NO_SUN_SHADOWS
  // Drawn only in frames whose sun casts no shadow: the sun reaches every point.
  float sunLit = 1.0;
#else
  float strength = frame.sunStrength.w;
  float facing = smoothstep(-0.05, 0.2, dot(normal, frame.sunStrength.xyz));
  float visibility = strength > 0.001 ? min(sunVisibility(normal), facing) : 1.0;
  float sunLit = 1.0 - strength * (1.0 - visibility);
#endif
  // Sky light follows daylight squared, so dusk and overcast days read darker than noon.
  float sky = skyLight * skyLight * mix(0.03, 1.0, daylight * daylight) * mix(1.0, sunLit, kDirectSunShare);
  vec3 torch = vec3(1.0, 0.82, 0.6) * blockLight * blockLight;
  vec3 ambient = vec3(visual.ambient * mix(0.12, 1.0, daylight)) * mix(0.4, 1.0, skyLight);
  vec3 light = ambient + max(vec3(sky), torch);
  vec3 colour = texel.rgb * shade * light;
  // The scene's alpha carries the share of the light that ambient occlusion may darken
  // (ambient and sky, never torch light); the composite reads it. Water blends with its
  // own alpha instead.
  float alpha = (ambient.g + (sky >= torch.g ? sky : 0.0)) / max(light.g, 0.0001);

  if (layer == kLavaTile) {
    colour = texel.rgb * 1.6;
    alpha = 0.0;
  }
#ifndef BLOCK_SOLID
  if (layer == kWaterTile) {
    // Deeper blue with a sky glint towards grazing angles, opacity scaled by the water setting.
    vec3 toEye = normalize(draw.cameraDaylight.xyz - worldPosition);
    float fresnel = pow(1.0 - max(dot(normal, toEye), 0.0), 4.0);
    colour = mix(colour, draw.skyFog.rgb, fresnel * 0.6);
    alpha = clamp(texel.a * visual.water + fresnel * 0.2, 0.0, 1.0);
  }

  // Hurt flash: tint towards red.
  colour = mix(colour, vec3(0.9, 0.08, 0.05) * max(light.r, 0.3), draw.model.y * 0.55);
#endif

  float distance = length(worldPosition - draw.cameraDaylight.xyz);
  float fogEnd = draw.skyFog.w;
  float fog = clamp((distance - visual.fogStart) / max(fogEnd - visual.fogStart, 0.001), 0.0, 1.0);
  vec3 fogged = mix(colour, draw.skyFog.rgb, fog);
  outColour = vec4(kDisplayOutput ? displayColour(fogged, visual.displayExposure, visual.saturation) : fogged, alpha);
}
