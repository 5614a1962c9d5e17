#pragma once
// The player's choices the rules read: the view's width, how far the mouse turns the view
// and how many chunks around the player are kept. A player's program keeps them in its
// options file; without one (a dedicated server, tests) the defaults hold.

namespace zorv {

// The name of a player who typed none (and of the local player where no view names one).
inline constexpr const char* kDefaultPlayerName = "Player";

struct PlayerPreferences {
  float mouseSensitivity = 0.12f;  // degrees per pixel of cursor motion
  float fieldOfView = 70.0f;       // vertical degrees
  int renderDistance = 8;          // chunks
};

}  // namespace zorv
