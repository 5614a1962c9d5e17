#pragma once
// The menus' help lines with the keys the player bound: a line reads as it always has
// while its actions keep their default keys, and names the bound keys otherwise.

#include <string>
#include <vector>

#include "client/key_bindings.h"

namespace zorv {

// The two lines under the main page's buttons, translated.
std::vector<std::string> mainMenuHelp(const KeyBindings& keys);
// The pause menu's help lines, translated.
std::vector<std::string> pauseMenuHelp(const KeyBindings& keys);
// The inventory screen's closing hint, translated.
std::string inventoryHelp(const KeyBindings& keys);
// The debug overlay's last line, translated.
std::string debugOverlayHelp(const KeyBindings& keys, int renderDistance);

}  // namespace zorv
