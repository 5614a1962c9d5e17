#pragma once
// The socket to the X server. A software Vulkan driver presents each frame by writing the
// whole picture through it (several megabytes). With the system's default send buffer the
// game then stalls in the present until the server has read the picture; with a buffer
// that holds it, the game goes on to the next frame while the server reads.

namespace zorv {

// Room for a 2560 × 1440 picture of 4 bytes per pixel; the system may allow less.
constexpr int kDisplaySendBufferBytes = 16 << 20;

// Asks for a send buffer of `bytes` on the socket (the system caps it at its maximum) and
// returns the size the socket reports afterwards; 0 when the socket refuses.
int widenSendBuffer(int socket, int bytes);

// Widens the send buffer of GLFW's X connection; nothing without one (Wayland).
void widenDisplaySendBuffer();

}  // namespace zorv
