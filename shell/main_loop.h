#pragma once
// The frame loop of the windowed game.

#include "client/client_session.h"

struct GLFWwindow;

namespace zorv {

class VulkanRenderer;

// Runs frames until the window is asked to close.
void runMainLoop(GLFWwindow* window, VulkanRenderer& renderer, ClientSession& session);

}  // namespace zorv
