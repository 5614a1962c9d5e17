#pragma once
// The windowed modes: the interactive game, the host smoke test, the benchmark and the
// scene captures. Each brings up GLFW, the window, the session, the renderer, the mods,
// the models and the sounds in a fixed order and tears them down in reverse.

#include "shell/startup.h"

namespace zorv {

struct ClientSession;

inline constexpr int kWindowWidth = 1280, kWindowHeight = 720;
inline constexpr int kCaptureWidth = 1600, kCaptureHeight = 900;

// When the game's window closes: saves the world (not as a client) and stops networking.
// An open inventory is closed first, so a stack held on the cursor is saved with it.
void finishGame(ClientSession& session);

// Runs a mode that needs a window and returns the process exit status.
int runWindowedMode(const CommandLine& commandLine);

}  // namespace zorv
