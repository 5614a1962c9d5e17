#pragma once
// Key and mouse button states as the frames see them. The window's callbacks record every
// press and release when it happens; each frame then takes at most one change per key, in
// the order they came. A tap that begins and ends between two frames is down in the next
// frame and up in the one after, so every press acts once even when frames take longer
// than the tap, and two quick taps are two presses.

#include <bitset>
#include <vector>

namespace zorv {

class InputTrickle {
 public:
  // Key codes and button numbers from 0 up to this; others are ignored.
  static constexpr int kCodes = 512;

  // From the window's callbacks: the key or button went down or up.
  void record(int code, bool down);
  // At the start of a frame: each code takes its next recorded change.
  void nextFrame();
  // Whether the code is down in this frame.
  bool down(int code) const;

 private:
  struct Change {
    int code;
    bool down;
  };
  std::bitset<kCodes> down_;
  std::vector<Change> pending_;
};

}  // namespace zorv
