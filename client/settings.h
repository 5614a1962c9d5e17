#pragma once
// The user's choices that outlive a world and only a player's program reads: the picture's
// effects, input and window settings, the key bindings, and the texts typed into the menu
// screens. The windowed game keeps them, with the session's PlayerPreferences, in the
// options file between runs (client/session_options.h).

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/key_bindings.h"
#include "game/player_preferences.h"
#include "net/address.h"

namespace zorv {

struct Settings {
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

// A port number as a menu buffer's decimal text.
constexpr std::array<char, 16> portText(std::uint16_t port) {
  std::array<char, 16> text{};
  std::size_t length = 0;
  for (std::uint32_t rest = port; length == 0 || rest != 0; rest /= 10) ++length;
  for (std::size_t i = length; i-- > 0; port = static_cast<std::uint16_t>(port / 10)) {
    text[i] = static_cast<char>('0' + port % 10);
  }
  return text;
}

// Fixed-capacity text buffers edited in place by the menu screens (capacity includes the
// terminating zero).
struct Profile {
  std::array<char, 64> worldName{"My World"};
  std::array<char, 64> seedText{};
  std::array<char, 32> playerName{"Player"};
  std::array<char, 16> port = portText(kDefaultGamePort);
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
// kDefaultPlayerName when nothing is left.
std::string effectivePlayerName(const Profile& profile);

}  // namespace zorv
