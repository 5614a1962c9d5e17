#version 450
#extension GL_GOOGLE_include_directive : require
#define NO_SUN_SHADOWS
#include "block_shading.glsl"
