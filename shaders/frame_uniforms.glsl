// Per-frame data written by the renderer (432 bytes, std140). FRAME_BINDING names the binding.
layout(set = 0, binding = FRAME_BINDING) uniform FrameUniforms {
  mat4 cascadeMatrix[3];
  vec4 splits;        // far split of cascades 0, 1, 2, shadow distance
  vec4 sunStrength;   // sun direction, effective shadow strength
  vec4 cameraTime;    // camera position, seconds since start
  vec4 forward;       // camera forward
  vec4 viewport;      // width, height, 1 / width, 1 / height
  vec4 shadowParams;  // depth bias, normal offset in texels, cascade count, shadow texel
  mat4 inverseViewProjection;
  mat4 viewProjection;
  vec4 cascadeTexel;  // world size of one shadow texel per cascade
} frame;
