// Edge smoothing from the centre and its four diagonal neighbours alone: where their
// lumas differ enough to be an edge, the centre is blended with the diagonal pair that
// runs most nearly along the edge. No tap depends on another, and no pixel branches.
float luma(vec3 c) { return dot(c, vec3(0.299, 0.587, 0.114)); }

// The five taps' colours (centre, north-west, north-east, south-west, south-east) and the
// lumas that find the edge.
struct EdgeTaps {
  vec3 centre, nw, ne, sw, se;
  float lumaM, lumaNW, lumaNE, lumaSW, lumaSE;
};

// Taps whose edge is found from their own lumas.
EdgeTaps tapsWithLumas(vec3 centre, vec3 nw, vec3 ne, vec3 sw, vec3 se) {
  return EdgeTaps(centre, nw, ne, sw, se, luma(centre), luma(nw), luma(ne), luma(sw), luma(se));
}

vec3 smoothEdges(EdgeTaps t, float strength) {
  float lumaMin = min(t.lumaM, min(min(t.lumaNW, t.lumaNE), min(t.lumaSW, t.lumaSE)));
  float lumaMax = max(t.lumaM, max(max(t.lumaNW, t.lumaNE), max(t.lumaSW, t.lumaSE)));
  float edge = step(max(0.0312, lumaMax * 0.125), lumaMax - lumaMin);
  // Along the edge: the luma gradient turned a quarter.
  vec2 along = vec2(-((t.lumaNW + t.lumaNE) - (t.lumaSW + t.lumaSE)), (t.lumaNW + t.lumaSW) - (t.lumaNE + t.lumaSE));
  bool falling = abs(along.x + along.y) >= abs(along.x - along.y);  // nearer (1, 1): north-west to south-east
  vec3 pair = falling ? t.nw + t.se : t.ne + t.sw;
  vec3 filtered = 0.5 * t.centre + 0.25 * pair;
  return mix(t.centre, filtered, edge * clamp(strength, 0.0, 1.0));
}
