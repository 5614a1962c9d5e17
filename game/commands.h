#pragma once
// The command interpreter behind the chat box: line handling and history, the built-in
// commands with their argument rules and replies, the host-only rule for clients, and
// the hand-over of every other command word to the mods. Every result is a message.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zorv {

struct GameSession;

inline constexpr int kMaxFillCells = 4096;
inline constexpr int kMaxGiveCount = 2304;  // 36 slots of 64

// The built-in command names in the order Tab completion tries them ("gm" is not here).
std::vector<std::string_view> completableCommandNames();
// Whether the dedicated server's console runs this built-in on its world (it has its own
// /help, /list and /stop besides).
bool runsOnServerConsole(std::string_view word);

// Runs a submitted line that starts with '/': shows it, records it in the history and
// carries it out. Re-meshes through `session.view` when there is one.
void runCommand(GameSession& session, const std::string& line);
// A dedicated server's console line that no built-in takes: a mod command, run as
// "server", or else "Unknown command".
void runServerModCommand(GameSession& session, const std::string& line);
// A player's chat line on the host: when it is "/" and a mod command, runs that command
// under the player's name, the mods' context acting for that remote player, and leaves
// its answer in `reply`; false for anything else.
bool runPlayerModCommand(GameSession& session, std::int32_t playerId, const std::string& player,
                         const std::string& line, std::string& reply);

// From Spectator back to the mode used before it, from any other mode to Spectator
// (the /spectator command and the F4 key).
void toggleSpectator(GameSession& session);

}  // namespace zorv
