#include "shell/display_connection.h"

#include <sys/socket.h>

#include <X11/Xlib.h>

// GLFW's native access; its header would also need the RandR headers. Weak, so that a
// GLFW built for Wayland alone, which lacks it, still links.
extern "C" Display* glfwGetX11Display(void) __attribute__((weak));

namespace zorv {

int widenSendBuffer(int socket, int bytes) {
  if (setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) != 0) return 0;
  int size = 0;
  socklen_t length = sizeof size;
  if (getsockopt(socket, SOL_SOCKET, SO_SNDBUF, &size, &length) != 0) return 0;
  return size;
}

void widenDisplaySendBuffer() {
  if (glfwGetX11Display == nullptr) return;
  if (Display* display = glfwGetX11Display()) widenSendBuffer(ConnectionNumber(display), kDisplaySendBufferBytes);
}

}  // namespace zorv
