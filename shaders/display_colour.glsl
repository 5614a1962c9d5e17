// Scene light to the colour the window shows: exposure, the filmic curve (ACES fit) and
// saturation. Shared by the composite and by block programs that draw straight into the
// window's image when no post pass runs.
vec3 toneMap(vec3 x) {
  return clamp((x * (2.51 * x + 0.03)) / (x * (2.43 * x + 0.59) + 0.14), 0.0, 1.0);
}

vec3 displayColour(vec3 colour, float exposure, float saturation) {
  vec3 mapped = toneMap(colour * exposure * 1.4);
  float grey = dot(mapped, vec3(0.2126, 0.7152, 0.0722));
  return clamp(mix(vec3(grey), mapped, saturation), 0.0, 1.0);
}
