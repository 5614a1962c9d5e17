#pragma once
// What a server operator does from the console beyond the game's commands: removing
// players (/kick), keeping them out (/ban, /pardon, with the list in the world folder's
// bans.txt, one name a line), talking to everyone (/say), and the console lines that say
// who joined or left from which address.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zorv {

struct DedicatedServer;

inline constexpr const char* kBanListName = "bans.txt";

// The names in a ban list; none when the file is missing.
std::vector<std::string> readBanList(const std::filesystem::path& worldFolder);
// Written through the temporary-file protocol; false when it could not be written.
bool writeBanList(const std::filesystem::path& worldFolder, const std::vector<std::string>& names);

// "/kick NAME [reason]", "/ban NAME", "/pardon NAME", "/say TEXT": `arguments` is the
// rest of the line after the command word.
void kickCommand(DedicatedServer& server, std::string_view arguments);
void banCommand(DedicatedServer& server, std::string_view arguments);
void pardonCommand(DedicatedServer& server, std::string_view arguments);
void sayCommand(DedicatedServer& server, std::string_view arguments);

// Prints "NAME joined from ADDRESS" and "NAME (ADDRESS) left" for the players that came
// or went since the last call.
void reportArrivals(DedicatedServer& server);

}  // namespace zorv
