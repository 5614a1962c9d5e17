#version 450
#extension GL_GOOGLE_include_directive : require
#define BLOCK_SOLID
#define NO_SUN_SHADOWS
#include "block_shading.glsl"
