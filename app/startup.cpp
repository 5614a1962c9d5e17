#include "app/startup.h"

#include <cstring>
#include <system_error>

#include "platform/platform.h"

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

void openFolder(std::string_view name) {
  const std::filesystem::path folder = platform::programFolder(name);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  platform::openInShell(folder);
}

void printBanner(std::FILE* out, const std::filesystem::path& savesFolder) {
  std::fprintf(out, "Zorvander %s\n", kVersion);
  std::fprintf(out, "WASD move, Space jump / swim, Shift fly down, Ctrl sprint\n");
  std::fprintf(out, "Double-tap Space (or F) to fly, F4 spectator, F3 debug overlay, Esc pause menu\n");
  std::fprintf(out, "Left click break/attack, right click place, 1-7 / wheel pick block\n");
  std::fprintf(out, "/ or ^ opens commands, T opens chat (try /help)\n");
  std::fprintf(out, "Saves: %s\n", savesFolder.string().c_str());
  std::fprintf(out, "Multiplayer: UDP %u by default, share IP/domain or SRV _zorvander._udp\n", kDefaultPort);
}

}  // namespace zorv
