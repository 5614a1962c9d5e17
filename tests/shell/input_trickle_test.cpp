#include "shell/input_trickle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace zorv {
namespace {

constexpr int kW = 87, kSpace = 32, kLeft = 0;

// What the frames see of `code`, one letter a frame: D down, u up.
std::string frames(InputTrickle& input, int code, int count) {
  std::string seen;
  for (int frame = 0; frame < count; ++frame) {
    input.nextFrame();
    seen += input.down(code) ? 'D' : 'u';
  }
  return seen;
}

TEST(InputTrickle, TapsBetweenFramesAreDownForOneFrameEach) {
  InputTrickle input;
  EXPECT_FALSE(input.down(kW));
  // Pressed and released before the next frame: down in that frame, up in the next.
  input.record(kW, true);
  input.record(kW, false);
  EXPECT_FALSE(input.down(kW));  // nothing changes until a frame begins
  EXPECT_EQ(frames(input, kW, 3), "Duu");

  // Two taps between two frames are two presses, each with an up frame between.
  input.record(kSpace, true);
  input.record(kSpace, false);
  input.record(kSpace, true);
  input.record(kSpace, false);
  EXPECT_EQ(frames(input, kSpace, 5), "DuDuu");

  // A tap in each gap between frames: each press is seen as a new press.
  std::string seen;
  for (int tap = 0; tap < 3; ++tap) {
    input.record(kSpace, true);
    input.record(kSpace, false);
    seen += frames(input, kSpace, 1);
  }
  EXPECT_EQ(seen + frames(input, kSpace, 3), "DuDuDu");
}

TEST(InputTrickle, HeldKeysFollowTheirEventsAndCodesAreIndependent) {
  InputTrickle input;
  input.record(kW, true);
  EXPECT_EQ(frames(input, kW, 3), "DDD");
  // Another key's tap does not hold W's release back, nor does W's release delay it.
  input.record(kSpace, true);
  input.record(kW, false);
  input.record(kSpace, false);
  input.nextFrame();
  EXPECT_FALSE(input.down(kW));
  EXPECT_TRUE(input.down(kSpace));
  input.nextFrame();
  EXPECT_FALSE(input.down(kSpace));

  // A repeated press while held changes nothing and leaves no phantom release behind.
  input.record(kW, true);
  input.record(kW, true);
  EXPECT_EQ(frames(input, kW, 2), "DD");
  input.record(kW, false);
  EXPECT_EQ(frames(input, kW, 2), "uu");

  // Codes outside the table are ignored; the mouse's button 0 is a code like any other.
  input.record(-1, true);
  input.record(InputTrickle::kCodes, true);
  input.record(kLeft, true);
  input.nextFrame();
  EXPECT_FALSE(input.down(-1));
  EXPECT_FALSE(input.down(InputTrickle::kCodes));
  EXPECT_TRUE(input.down(kLeft));
}

TEST(InputTrickle, AFloodOfEventsKeepsOnlyTheNewest) {
  InputTrickle input;
  // A stuck frame with a key hammered hundreds of times replays only the last few taps.
  for (int tap = 0; tap < 500; ++tap) {
    input.record(kSpace, true);
    input.record(kSpace, false);
  }
  const std::string seen = frames(input, kSpace, 200);
  EXPECT_LE(std::count(seen.begin(), seen.end(), 'D'), 32);
  EXPECT_GE(std::count(seen.begin(), seen.end(), 'D'), 1);
  EXPECT_EQ(seen.back(), 'u');
}

}  // namespace
}  // namespace zorv
