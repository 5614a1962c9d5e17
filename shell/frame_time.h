#pragma once
// How a frame's real elapsed time becomes world time, and the test-only fixed frame length.

namespace zorv {

// The world moves in steps of at most this many seconds, so collisions and timers stay fine
// grained on a slow machine.
inline constexpr float kMaxWorldStepSeconds = 0.1f;
// At most this much world time passes in one frame: a stall (a dragged window, a swapped-out
// process) skips time instead of jumping the world far ahead.
inline constexpr float kMaxWorldSecondsPerFrame = 0.25f;

// The world steps of one frame: `count` steps of `seconds` each.
struct WorldStepPieces {
  int count = 1;
  float seconds = 0.0f;
};

// Splits a frame's real elapsed seconds into equal steps of at most kMaxWorldStepSeconds
// covering it, up to kMaxWorldSecondsPerFrame in all. A frame always has one step, of zero
// seconds when no time (or negative time) has passed.
WorldStepPieces worldStepPieces(double elapsed);

// The environment variable that holds every frame at a fixed length, in milliseconds, so
// tests can play the game as it runs on a very slow machine.
inline constexpr const char* kTestFrameVariable = "ZORV_TEST_FRAME_MS";

// The frame length in seconds that the variable's value asks for: a whole number of
// milliseconds from 1 to 10000; 0 (frames not held) when absent or anything else.
double heldFrameSeconds(const char* value);

}  // namespace zorv
