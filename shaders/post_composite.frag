#version 450
#extension GL_GOOGLE_include_directive : require
#include "post_composite.glsl"
layout(location = 0) out vec4 outColour;

void main() {
  // The scene has the output's size: one whole texel, no filtering.
  outColour = vec4(compositeTexel(texelFetch(scene, ivec2(gl_FragCoord.xy), 0), compositeLight()), 1.0);
}
