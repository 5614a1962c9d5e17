#include "shell/frame_time.h"

#include <gtest/gtest.h>

namespace zorv {
namespace {

float worldSeconds(const WorldStepPieces& pieces) { return static_cast<float>(pieces.count) * pieces.seconds; }

TEST(FrameTime, SlowFramesMoveTheWorldInShortStepsUpToAQuarterSecond) {
  // A fast frame is one step of its own length.
  EXPECT_EQ(worldStepPieces(0.016).count, 1);
  EXPECT_FLOAT_EQ(worldStepPieces(0.016).seconds, 0.016f);
  EXPECT_EQ(worldStepPieces(0.1).count, 1);
  EXPECT_FLOAT_EQ(worldStepPieces(0.1).seconds, 0.1f);
  // Nothing elapsed, or a clock that went back, is still one step, of no time.
  EXPECT_EQ(worldStepPieces(0.0).count, 1);
  EXPECT_EQ(worldStepPieces(0.0).seconds, 0.0f);
  EXPECT_EQ(worldStepPieces(-0.5).count, 1);
  EXPECT_EQ(worldStepPieces(-0.5).seconds, 0.0f);

  // A slow frame keeps all its time, in equal steps no longer than a tenth of a second.
  for (double elapsed : {0.1001, 0.15, 0.2, 0.21, 0.25}) {
    const WorldStepPieces pieces = worldStepPieces(elapsed);
    EXPECT_LE(pieces.seconds, kMaxWorldStepSeconds) << elapsed;
    EXPECT_NEAR(worldSeconds(pieces), elapsed, 1e-6) << elapsed;
    EXPECT_LT(static_cast<float>(pieces.count - 1) * kMaxWorldStepSeconds, elapsed) << elapsed;  // no more steps than needed
  }
  EXPECT_EQ(worldStepPieces(0.15).count, 2);
  EXPECT_EQ(worldStepPieces(0.2).count, 2);
  EXPECT_EQ(worldStepPieces(0.21).count, 3);

  // A longer frame moves the world a quarter second only.
  for (double elapsed : {0.26, 0.5, 3.0, 1e9}) {
    const WorldStepPieces pieces = worldStepPieces(elapsed);
    EXPECT_EQ(pieces.count, 3) << elapsed;
    EXPECT_FLOAT_EQ(worldSeconds(pieces), kMaxWorldSecondsPerFrame) << elapsed;
  }
}

TEST(FrameTime, HeldFrameLengthIsAWholeNumberOfMilliseconds) {
  EXPECT_DOUBLE_EQ(heldFrameSeconds("500"), 0.5);
  EXPECT_DOUBLE_EQ(heldFrameSeconds("1"), 0.001);
  EXPECT_DOUBLE_EQ(heldFrameSeconds("10000"), 10.0);
  for (const char* value : {"", "0", "-5", "10001", "500ms", " 500", "0.5", "abc", "99999999999"}) {
    EXPECT_EQ(heldFrameSeconds(value), 0.0) << '"' << value << '"';
  }
  EXPECT_EQ(heldFrameSeconds(nullptr), 0.0);
}

}  // namespace
}  // namespace zorv
