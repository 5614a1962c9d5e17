#include "ui/key_help.h"

#include "lang/localisation.h"

namespace zorv {
namespace {

using enum Action;

const char* key(const KeyBindings& keys, Action action) { return keyLabel(keys.key(action)).data(); }

std::string moveKeys(const KeyBindings& keys) { return keysLabel(keys, {MoveForward, MoveLeft, MoveBack, MoveRight}); }

}  // namespace

std::vector<std::string> mainMenuHelp(const KeyBindings& keys) {
  std::vector<std::string> lines;
  if (allDefault(keys, {MoveForward, MoveLeft, MoveBack, MoveRight, Jump})) {
    lines.push_back(tr("WASD move / Space jump / double-tap Space to fly"));
  } else {
    lines.push_back(formatTranslated("%s move / %s jump / double-tap %s to fly", moveKeys(keys).c_str(),
                                     key(keys, Jump), key(keys, Jump)));
  }
  if (allDefault(keys, {Chat, Command, Inventory, Debug, Pause})) {
    lines.push_back(tr("T chat / / commands / E inventory / F3 debug / Esc pause"));
  } else {
    lines.push_back(formatTranslated("%s chat / %s commands / %s inventory / %s debug / %s pause", key(keys, Chat),
                                     key(keys, Command), key(keys, Inventory), key(keys, Debug), key(keys, Pause)));
  }
  return lines;
}

std::vector<std::string> pauseMenuHelp(const KeyBindings& keys) {
  std::vector<std::string> lines;
  if (allDefault(keys, {MoveForward, MoveLeft, MoveBack, MoveRight, Jump, Sprint})) {
    lines.push_back(tr("WASD move, Space jump, Ctrl sprint"));
  } else {
    lines.push_back(formatTranslated("%s move, %s jump, %s sprint", moveKeys(keys).c_str(), key(keys, Jump),
                                     key(keys, Sprint)));
  }
  const auto hotbar = {Hotbar1, Hotbar2, Hotbar3, Hotbar4, Hotbar5, Hotbar6, Hotbar7, Hotbar8, Hotbar9};
  if (allDefault(keys, hotbar) && keys.isDefault(Inventory)) {
    lines.push_back(tr("1-9 / wheel block, E inventory"));
  } else {
    lines.push_back(formatTranslated("%s / wheel block, %s inventory", keysLabel(keys, hotbar).c_str(),
                                     key(keys, Inventory)));
  }
  if (allDefault(keys, {Jump, ToggleFlying, Spectator, Debug})) {
    lines.push_back(tr("Double-tap Space (or F) to fly, F4 spectator, F3 debug"));
  } else {
    lines.push_back(formatTranslated("Double-tap %s (or %s) to fly, %s spectator, %s debug", key(keys, Jump),
                                     key(keys, ToggleFlying), key(keys, Spectator), key(keys, Debug)));
  }
  if (allDefault(keys, {Pause, Command})) {
    lines.push_back(tr("Esc resume, / or ^ commands"));
  } else {
    lines.push_back(formatTranslated("%s resume, %s or ^ commands", key(keys, Pause), key(keys, Command)));
  }
  lines.push_back(tr("Right-click a villager to trade"));
  return lines;
}

std::string inventoryHelp(const KeyBindings& keys) {
  if (allDefault(keys, {Inventory, Pause})) return tr("Hotbar is the bottom row. E or Esc closes.");
  return formatTranslated("Hotbar is the bottom row. %s or %s closes.", key(keys, Inventory), key(keys, Pause));
}

std::string debugOverlayHelp(const KeyBindings& keys, int renderDistance) {
  if (allDefault(keys, {Spectator, Command})) {
    return formatTranslated("Render distance %d chunks, F4 spectator, / commands", renderDistance);
  }
  return formatTranslated("Render distance %d chunks, %s spectator, %s commands", renderDistance, key(keys, Spectator),
                          key(keys, Command));
}

}  // namespace zorv
