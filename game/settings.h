#pragma once
// The user's choices that outlive a world but not the process: view and input settings,
// and the texts typed into the menu screens. Nothing here is stored on disk.

#include <array>
#include <string>

namespace zorv {

struct Settings {
  float mouseSensitivity = 0.12f;  // degrees per pixel of cursor motion
  float fieldOfView = 70.0f;       // vertical degrees
  int renderDistance = 8;          // chunks
  bool shadowsEnabled = true;
  bool postProcessingEnabled = true;
  bool verticalSync = false;
};

// Fixed-capacity text buffers edited in place by the menu screens (capacity includes the
// terminating zero).
struct Profile {
  std::array<char, 64> worldName{"My World"};
  std::array<char, 64> seedText{};
  std::array<char, 32> playerName{"Player"};
  std::array<char, 16> port{"27632"};
  std::array<char, 128> serverAddress{};
};

// Printable ASCII of the player-name buffer, at most 20 bytes, trimmed of spaces;
// "Player" when nothing is left.
std::string effectivePlayerName(const Profile& profile);

}  // namespace zorv
