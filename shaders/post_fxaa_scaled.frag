#version 450
#extension GL_GOOGLE_include_directive : require
#define FILTERED_TAPS
#include "post_fxaa.glsl"
