#pragma once
// Start-up: the run mode picked from the first command-line argument, the folder every
// program folder is relative to (the executable's own), and the console banner.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "client/key_bindings.h"

namespace zorv {


enum class RunMode { Game, SelfTest, NetTest, ModTest, HostTest, Benchmark, Screenshot, Help, Version };

// The usage line of "--help".
inline constexpr const char* kGameUsage =
    "usage: zorvander [--selftest | --nettest | --modtest | --hosttest | --benchmark | --screenshot FILE [SCENE] | "
    "--server WORLD [PORT] [--seed TEXT] [--max-players N] | --help | --version]";

struct CommandLine {
  RunMode mode = RunMode::Game;
  std::filesystem::path screenshotPath;  // resolved output of "--screenshot"
  std::string sceneName;
};

// Only argv[1] selects a mode; "--screenshot" needs an output path after it, and a bare
// file name is placed inside <base>/screenshots. "--help" and "--version" print and end.
CommandLine classifyCommandLine(int argc, const char* const* argv, const std::filesystem::path& base);


// The help lines printed on the console when the game starts; a line names the bound keys
// where one of its actions was rebound.
void printBanner(std::FILE* out, const std::filesystem::path& savesFolder, const KeyBindings& keys = KeyBindings());

}  // namespace zorv
