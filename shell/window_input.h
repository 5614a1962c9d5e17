#pragma once
// What the game window's callbacks feed: the session's input rules (typed characters,
// cursor motion, scrolling, rebinding) and the frames' key and button states.

#include "shell/input_trickle.h"

struct GLFWwindow;

namespace zorv {

struct ClientSession;

struct WindowInput {
  explicit WindowInput(ClientSession& forSession) : session(forSession) {}
  ClientSession& session;
  InputTrickle keys;     // GLFW key codes
  InputTrickle buttons;  // GLFW mouse button numbers
};

// Installs the callbacks and the normal cursor. Called before the interface library sets up,
// which chains its own callbacks to these, so both see every event.
void installInputCallbacks(GLFWwindow* window, WindowInput& input);

}  // namespace zorv
