#include "shell/startup.h"

#include <cstring>
#include <system_error>

#include "net/address.h"
#include "platform/platform.h"
#include "platform/version.h"

namespace zorv {
namespace {

RunMode windowlessOrHiddenMode(const char* argument) {
  struct Entry {
    const char* flag;
    RunMode mode;
  };
  static const Entry entries[] = {{"--selftest", RunMode::SelfTest},   {"--nettest", RunMode::NetTest},
                                  {"--modtest", RunMode::ModTest},     {"--hosttest", RunMode::HostTest},
                                  {"--benchmark", RunMode::Benchmark}, {"--help", RunMode::Help},
                                  {"--version", RunMode::Version}};
  for (const Entry& entry : entries) {
    if (std::strcmp(argument, entry.flag) == 0) return entry.mode;
  }
  return RunMode::Game;
}

// One key's label for a help line.
const char* label(const KeyBindings& keys, Action action) { return keyLabel(keys.key(action)).data(); }

}  // namespace

CommandLine classifyCommandLine(int argc, const char* const* argv, const std::filesystem::path& base) {
  CommandLine result;
  if (argc < 2 || argv[1] == nullptr) return result;
  if (std::strcmp(argv[1], "--screenshot") == 0) {
    if (argc < 3) return result;
    std::filesystem::path output(argv[2]);
    result.mode = RunMode::Screenshot;
    result.screenshotPath = output.has_parent_path() ? output : base / "screenshots" / output;
    result.sceneName = argc >= 4 ? argv[3] : "";
    return result;
  }
  result.mode = windowlessOrHiddenMode(argv[1]);
  return result;
}

void printBanner(std::FILE* out, const std::filesystem::path& savesFolder, const KeyBindings& keys) {
  using enum Action;
  const auto move = {MoveForward, MoveLeft, MoveBack, MoveRight, Jump, Descend, Sprint};
  const auto modes = {Jump, ToggleFlying, Spectator, Debug, Pause};
  const auto hotbar = {Hotbar1, Hotbar2, Hotbar3, Hotbar4, Hotbar5, Hotbar6, Hotbar7, Hotbar8, Hotbar9};
  const auto chat = {Command, Chat};
  std::fprintf(out, "Zorvander %s\n", kVersion);
  if (allDefault(keys, move)) {
    std::fprintf(out, "WASD move, Space jump / swim, Shift fly down, Ctrl sprint\n");
  } else {
    std::fprintf(out, "%s move, %s jump / swim, %s fly down, %s sprint\n",
                 keysLabel(keys, {MoveForward, MoveLeft, MoveBack, MoveRight}).c_str(), label(keys, Jump),
                 label(keys, Descend), label(keys, Sprint));
  }
  if (allDefault(keys, modes)) {
    std::fprintf(out, "Double-tap Space (or F) to fly, F4 spectator, F3 debug overlay, Esc pause menu\n");
  } else {
    std::fprintf(out, "Double-tap %s (or %s) to fly, %s spectator, %s debug overlay, %s pause menu\n",
                 label(keys, Jump), label(keys, ToggleFlying), label(keys, Spectator), label(keys, Debug),
                 label(keys, Pause));
  }
  std::fprintf(out, "Left click break/attack, right click place, %s / wheel pick block\n",
               allDefault(keys, hotbar) ? "1-7" : keysLabel(keys, hotbar).c_str());
  if (allDefault(keys, chat)) {
    std::fprintf(out, "/ or ^ opens commands, T opens chat (try /help)\n");
  } else {
    std::fprintf(out, "%s or ^ opens commands, %s opens chat (try /help)\n", label(keys, Command), label(keys, Chat));
  }
  std::fprintf(out, "Saves: %s\n", savesFolder.string().c_str());
  std::fprintf(out, "Multiplayer: UDP %u by default, share IP/domain or SRV _zorvander._udp\n", static_cast<unsigned>(kDefaultGamePort));
}

}  // namespace zorv
