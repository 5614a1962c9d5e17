#include "shell/window_input.h"

#include <GLFW/glfw3.h>

#include "client/input_rules.h"

namespace zorv {
namespace {

WindowInput& inputOf(GLFWwindow* window) { return *static_cast<WindowInput*>(glfwGetWindowUserPointer(window)); }

void cursorMoved(GLFWwindow* window, double x, double y) { onCursorMoved(inputOf(window).session, x, y); }
void scrolled(GLFWwindow* window, double, double yoffset) { onScrolled(inputOf(window).session, yoffset); }
void characterTyped(GLFWwindow* window, unsigned codepoint) { onCharacter(inputOf(window).session, codepoint); }

void keyChanged(GLFWwindow* window, int key, int, int action, int) {
  WindowInput& input = inputOf(window);
  if (action == GLFW_REPEAT) return;
  input.keys.record(key, action == GLFW_PRESS);
  if (action == GLFW_PRESS) onKeyPressed(input.session, key);
}

void buttonChanged(GLFWwindow* window, int button, int action, int) {
  inputOf(window).buttons.record(button, action == GLFW_PRESS);
}

}  // namespace

void installInputCallbacks(GLFWwindow* window, WindowInput& input) {
  glfwSetWindowUserPointer(window, &input);
  glfwSetCursorPosCallback(window, cursorMoved);
  glfwSetScrollCallback(window, scrolled);
  glfwSetCharCallback(window, characterTyped);
  glfwSetKeyCallback(window, keyChanged);
  glfwSetMouseButtonCallback(window, buttonChanged);
  glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
  if (glfwRawMouseMotionSupported()) glfwSetInputMode(window, GLFW_RAW_MOUSE_MOTION, GLFW_TRUE);
}

}  // namespace zorv
