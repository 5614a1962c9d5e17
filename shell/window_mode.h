#pragma once
// The window's size, position and full-screen state as the settings hold them: a window
// opened where the player left it, borderless full screen on the monitor it is on, and
// back to the remembered size and place.

#include "client/settings.h"

struct GLFWwindow;

namespace zorv {

// Moves a new window to the remembered position and goes full screen when the settings
// say so.
void placeNewWindow(GLFWwindow* window, Settings& settings);

// Once a frame: a changed `settings.fullScreen` is carried over to the window; while
// windowed, the window's size and position are remembered in the settings.
void syncWindowMode(GLFWwindow* window, Settings& settings);

}  // namespace zorv
