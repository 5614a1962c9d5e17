// Inputs shared by the full-screen passes: each pass declares only the images it reads,
// so no pass refers to the image it renders into.
layout(push_constant) uniform PostPush {
  vec4 p0;
  vec4 p1;
  vec4 p2;
  vec4 p3;
} push;

layout(location = 0) in vec2 uv;
