#version 450
#extension GL_GOOGLE_include_directive : require
#define BLOCK_SOLID
#include "block_shading.glsl"
