#pragma once
// The dedicated server: hosts one world without a window, a renderer or a local player.
// It runs the host's in-world rules at 20 steps per second, saves every 5 s, takes the
// host commands that make sense without a player from standard input, and on /stop,
// SIGINT or SIGTERM saves, says goodbye to every client and ends.

#include <atomic>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "game/game_session.h"
#include "net/address.h"

namespace zorv {

inline constexpr double kServerStepSeconds = 0.05;  // 20 steps per second
inline constexpr const char* kServerPlayerName = "Server";

struct ServerOptions {
  std::string worldName;  // a valid world folder name
  std::uint16_t port = kDefaultGamePort;
  std::string seedText;   // for a new world; empty takes the clock seed
  std::size_t maxPlayers = kDefaultMaxPlayers;
  bool showHelp = false, showVersion = false;  // print and end instead of serving
};

inline constexpr const char* kServerUsage = "usage: zorvander-server WORLD [PORT] [--seed TEXT] [--max-players N]";

// "WORLD [PORT] [--seed TEXT] [--max-players N]", or "--help" or "--version" anywhere;
// false with a message on anything else, an unknown "--" option included.
bool parseServerArguments(std::span<const std::string_view> args, ServerOptions& options, std::string& error);

struct DedicatedServer {
  GameSession session;
  std::uint16_t port = 0;
  bool stopRequested = false;
  // Set (from another thread) by a stop that arrives while the server starts: no further
  // mod is loaded and, when the mods were still loading, no world is hosted.
  std::atomic<bool> startCancelled{false};
  // The players the console was last told about, with their addresses.
  struct Present {
    std::string name, address;
  };
  std::map<std::int32_t, Present> present;
};

// Loads the mods and the world, or creates and saves it when it does not exist, and
// starts hosting. False with a message when the port is taken or the world cannot be
// loaded or written; false without one when the start was cancelled while mods loaded.
bool startDedicatedServer(DedicatedServer& server, const ServerOptions& options, std::string& error);
// One step: the host's in-world rules for `dt` seconds, then the network exchange.
void stepDedicatedServer(DedicatedServer& server, float dt);
// One line typed on the console, with or without its leading '/'.
void runServerCommand(DedicatedServer& server, std::string_view line);
// Saves the world and says goodbye to every client; false (said on the console) when
// the save did not write every file.
bool stopDedicatedServer(DedicatedServer& server);

// The whole mode: parse, start, run until stopped; the process's exit status.
int runDedicatedServer(std::span<const std::string_view> args);

}  // namespace zorv
