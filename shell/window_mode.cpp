#include "shell/window_mode.h"

#include <GLFW/glfw3.h>

#include <cstdio>

namespace zorv {
namespace {

// The monitor that holds the window's centre; the primary one when none does.
GLFWmonitor* monitorOf(GLFWwindow* window) {
  int x = 0, y = 0, width = 0, height = 0;
  glfwGetWindowPos(window, &x, &y);
  glfwGetWindowSize(window, &width, &height);
  const int centreX = x + width / 2, centreY = y + height / 2;
  int count = 0;
  GLFWmonitor** monitors = glfwGetMonitors(&count);
  for (int i = 0; i < count; ++i) {
    int left = 0, top = 0;
    glfwGetMonitorPos(monitors[i], &left, &top);
    const GLFWvidmode* mode = glfwGetVideoMode(monitors[i]);
    if (mode && centreX >= left && centreX < left + mode->width && centreY >= top && centreY < top + mode->height) {
      return monitors[i];
    }
  }
  return glfwGetPrimaryMonitor();
}

void rememberPlacement(GLFWwindow* window, Settings& settings) {
  int x = 0, y = 0, width = 0, height = 0;
  glfwGetWindowSize(window, &width, &height);
  if (width <= 0 || height <= 0) return;  // minimised
  glfwGetWindowPos(window, &x, &y);
  settings.windowWidth = width;
  settings.windowHeight = height;
  settings.windowX = x;
  settings.windowY = y;
}

// Borderless: the monitor keeps its video mode and the window covers it.
bool enterFullScreen(GLFWwindow* window) {
  GLFWmonitor* monitor = monitorOf(window);
  const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
  if (!mode) {
    std::printf("window: no monitor to go full screen on\n");
    return false;
  }
  glfwSetWindowMonitor(window, monitor, 0, 0, mode->width, mode->height, mode->refreshRate);
  return true;
}

void leaveFullScreen(GLFWwindow* window, const Settings& settings) {
  glfwSetWindowMonitor(window, nullptr, settings.windowX.value_or(0), settings.windowY.value_or(0),
                       settings.windowWidth, settings.windowHeight, GLFW_DONT_CARE);
}

}  // namespace

void placeNewWindow(GLFWwindow* window, Settings& settings) {
  if (settings.windowX && settings.windowY) glfwSetWindowPos(window, *settings.windowX, *settings.windowY);
  if (settings.fullScreen && !enterFullScreen(window)) settings.fullScreen = false;
}

void syncWindowMode(GLFWwindow* window, Settings& settings) {
  const bool isFullScreen = glfwGetWindowMonitor(window) != nullptr;
  if (settings.fullScreen == isFullScreen) {
    if (!isFullScreen) rememberPlacement(window, settings);
    return;
  }
  if (!settings.fullScreen) {
    leaveFullScreen(window, settings);
  } else if (!enterFullScreen(window)) {
    settings.fullScreen = false;
  }
}

}  // namespace zorv
