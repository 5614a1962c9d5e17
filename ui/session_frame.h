#pragma once
// Drawing a frame of the session through the Vulkan renderer, and the figures the
// in-game screens show beside it.
#include <filesystem>

#include "client/client_session.h"
#include "ui/frame_view.h"
#include "ui/ui_frame.h"

namespace zorv {

class VulkanRenderer;

// What the in-game screens show beside the session.
UiFrameInfo uiFrameInfo(const VulkanRenderer& renderer, const ClientSession& session, const FrameView& view, float fps,
                        int width, int height);

// Draws the frame with the session's entities and particles, or, with a path, draws it and
// saves it as a PNG file with the screenshot texts.
void drawSessionFrame(VulkanRenderer& renderer, const ClientSession& session, const FrameView& view,
                      const std::filesystem::path* capturePath);

}  // namespace zorv
