#pragma once
// The user's choices that outlive a world: view and input settings, the window, the key
// bindings, and the texts typed into the menu screens. The windowed game keeps them in
// the options file between runs (app/session_options.h).

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/key_bindings.h"

namespace zorv {

struct Settings {
  float mouseSensitivity = 0.12f;  // degrees per pixel of cursor motion
  float fieldOfView = 70.0f;       // vertical degrees
  int renderDistance = 8;          // chunks
  bool shadowsEnabled = true;
  bool postProcessingEnabled = true;
  bool verticalSync = false;
  int renderScale = 100;     // percent of the window the world is drawn at
  bool invertMouse = false;  // moving the mouse up looks down
  int interfaceScale = 100;  // percent of the menus' text and widget sizes
  bool fullScreen = false;   // borderless on the window's monitor
  // The window's size and position when not full screen (no position: the desktop's choice).
  int windowWidth = 1280, windowHeight = 720;
  std::optional<int> windowX, windowY;
  KeyBindings keys;
};

// Fixed-capacity text buffers edited in place by the menu screens (capacity includes the
// terminating zero).
struct Profile {
  std::array<char, 64> worldName{"My World"};
  std::array<char, 64> seedText{};
  std::array<char, 32> playerName{"Player"};
  std::array<char, 16> port{"27632"};
  std::array<char, 128> serverAddress{};
  std::vector<std::string> recentAddresses;  // joined servers, most recent first, at most five
};

// The text of a fixed-capacity, zero-terminated menu buffer.
template <std::size_t N>
std::string bufferText(const std::array<char, N>& buffer) {
  return std::string(buffer.data(), strnlen(buffer.data(), N));
}

// Copies `text` into a menu buffer, cut to what fits before the terminating zero.
template <std::size_t N>
void setBufferText(std::array<char, N>& buffer, std::string_view text) {
  const std::size_t length = std::min(text.size(), N - 1);
  std::copy_n(text.data(), length, buffer.data());
  std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(length), buffer.end(), '\0');
}

// Printable ASCII of the player-name buffer, at most 20 bytes, trimmed of spaces;
// "Player" when nothing is left.
std::string effectivePlayerName(const Profile& profile);

}  // namespace zorv
