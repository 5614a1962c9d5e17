#version 450
#extension GL_GOOGLE_include_directive : require
#define FRAME_BINDING 2
#include "frame_uniforms.glsl"
#include "draw_push.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec2 inUv;
layout(location = 2) in float inShade;
layout(location = 3) in uint inLayer;
layout(location = 4) in float inSky;
layout(location = 5) in float inBlock;

layout(location = 0) out vec3 worldPosition;
layout(location = 1) out vec2 uv;
layout(location = 2) out float shade;
layout(location = 3) flat out uint layer;
layout(location = 4) out float skyLight;
layout(location = 5) out float blockLight;

void main() {
  worldPosition = modelToWorld(inPosition);
  uv = inUv;
  shade = inShade;
  uint tileOverride = floatBitsToUint(draw.model.z);
  layer = tileOverride != 0u ? tileOverride : inLayer;
  skyLight = inSky;
  blockLight = inBlock;
  gl_Position = draw.matrix * vec4(worldPosition, 1.0);
}
