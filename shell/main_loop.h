#pragma once
// The frame loop of the windowed game.

#include "client/client_session.h"
#include "client/options_store.h"

struct GLFWwindow;

namespace zorv {

class VulkanRenderer;

// Runs frames until the window is asked to close, saving changed options as it goes.
void runMainLoop(GLFWwindow* window, VulkanRenderer& renderer, ClientSession& session, OptionsStore& options);

}  // namespace zorv
