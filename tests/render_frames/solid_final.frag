#version 450
// Stand-in for the final pass, shipped by the override pack of the rendering tests:
// paints every pixel magenta so the test can tell that the override took effect.
layout(location = 0) in vec2 uv;
layout(location = 0) out vec4 outColour;

void main() { outColour = vec4(1.0, 0.0, 1.0, 1.0); }
