#version 450
#extension GL_GOOGLE_include_directive : require
#define FRAME_BINDING 8
#include "frame_uniforms.glsl"
#include "post_common.glsl"
layout(set = 0, binding = 1) uniform sampler2D depthImage;
layout(location = 0) out float outOcclusion;

// push: 1/W, 1/H, radius, strength; p1.x = bias.
// Depth formats need not support filtering: read single texels.
float depthAt(vec2 coord) {
  ivec2 size = textureSize(depthImage, 0);
  return texelFetch(depthImage, clamp(ivec2(coord * vec2(size)), ivec2(0), size - 1), 0).r;
}

vec3 worldAt(vec2 coord) {
  float depth = depthAt(coord);
  vec4 world = frame.inverseViewProjection * vec4(coord * 2.0 - 1.0, depth, 1.0);
  return world.xyz / world.w;
}

void main() {
  float depth = depthAt(uv);
  if (depth >= 1.0) { outOcclusion = 1.0; return; }
  vec3 centre = worldAt(uv);
  vec2 pixel = push.p0.xy;
  vec3 normal = normalize(cross(worldAt(uv + vec2(pixel.x, 0.0)) - centre, worldAt(uv + vec2(0.0, pixel.y)) - centre));
  vec3 toEye = frame.cameraTime.xyz - centre;
  if (dot(normal, toEye) < 0.0) normal = -normal;

  float radius = push.p0.z;
  float distance = max(length(toEye), 0.1);
  // Screen-space reach of the world radius at this distance (projection scale ≈ row 1).
  float reach = radius * abs(frame.viewProjection[1][1]) * 0.5 / distance;
  float angle = fract(sin(dot(gl_FragCoord.xy, vec2(12.9898, 78.233))) * 43758.5453) * 6.2831853;
  // A golden-angle spiral, sample i at radius sqrt((i + 0.5) / 6), turned by the pixel's
  // angle: one rotation per pixel instead of a sine and cosine per sample.
  const int kSamples = 6;
  const vec2 kSpiral[kSamples] = vec2[](vec2(0.288675, 0.0), vec2(-0.368684, 0.337745), vec2(0.056433, -0.643026),
                                         vec2(0.464703, 0.606123), vec2(-0.852787, -0.150846), vec2(0.807834, -0.513878));
  mat2 turn = mat2(cos(angle), sin(angle), -sin(angle), cos(angle)) * reach;
  float occlusion = 0.0;
  for (int i = 0; i < kSamples; ++i) {
    vec2 offset = turn * kSpiral[i];
    vec3 sampled = worldAt(uv + offset);
    vec3 delta = sampled - centre;
    float len = length(delta);
    float facing = max(dot(normal, delta) / max(len, 0.0001) - push.p1.x, 0.0);
    occlusion += facing * (1.0 - smoothstep(radius * 0.5, radius, len));
  }
  outOcclusion = clamp(1.0 - push.p0.w * occlusion / float(kSamples) * 1.6, 0.0, 1.0);
}
