#pragma once
// Game-side dispatch into every loaded mod: block, player and tick events and chat
// commands. Nothing runs while loading has not happened, without mods, or on a client.

#include <string>

#include "mods/loader.h"

namespace zorv {

// False when a handler cancelled the action.
bool blockBreak(ModHost& host, int x, int y, int z, const std::string& block, const std::string& player,
                int playerId);
bool blockPlace(ModHost& host, int x, int y, int z, const std::string& block, const std::string& player,
                int playerId);
void playerJoined(ModHost& host, int playerId, const std::string& player);
void playerLeft(ModHost& host, int playerId, const std::string& player);
void tick(ModHost& host, double seconds);
// True when a mod has the command (whether or not it succeeded); `reply` receives its answer.
bool runModCommand(ModHost& host, const std::string& name, const std::string& argument, const std::string& player,
                   std::string& reply);

}  // namespace zorv
