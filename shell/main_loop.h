#pragma once
// The frame loop of the windowed game.

#include "client/options_store.h"

struct GLFWwindow;

namespace zorv {

class VulkanRenderer;
struct WindowInput;

// Runs frames until the window is asked to close, saving changed options as it goes. Each
// frame's real time moves the world, in steps (see frame_time.h); with the test variable set
// every frame is held to its fixed length.
void runMainLoop(GLFWwindow* window, VulkanRenderer& renderer, WindowInput& input, OptionsStore& options);

}  // namespace zorv
