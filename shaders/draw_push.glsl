// Per-draw constants (128 bytes).
layout(push_constant) uniform DrawPush {
  mat4 matrix;           // view-projection, or a cascade's light matrix
  vec4 cameraDaylight;   // camera position, daylight
  vec4 position;         // model position (0 for chunks), w = time
  vec4 model;            // yaw, hurt flash, tile override (raw bits), scale
  vec4 skyFog;           // sky colour, fog distance
} draw;

// Rotates a model-space point about +Y by the yaw, scales and moves it into the world.
vec3 modelToWorld(vec3 p) {
  float c = cos(draw.model.x);
  float s = sin(draw.model.x);
  vec3 scaled = p * draw.model.w;
  return vec3(c * scaled.x - s * scaled.z, scaled.y, s * scaled.x + c * scaled.z) + draw.position.xyz;
}
