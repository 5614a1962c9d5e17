#version 450
#extension GL_GOOGLE_include_directive : require
#define FRAME_BINDING 2
#include "draw_push.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec2 inUv;
layout(location = 2) in float inShade;
layout(location = 3) in uint inLayer;

void main() {
  gl_Position = draw.matrix * vec4(modelToWorld(inPosition), 1.0);
}
