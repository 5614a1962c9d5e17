#pragma once
// The frame loop of the windowed game, and the frame pieces the benchmark and the scene
// captures share with it: the camera and look target, the sky, the figures the in-game
// screens show, and drawing or capturing a frame.

#include <filesystem>

#include "app/draw_inputs.h"
#include "app/game_session.h"
#include "client/options_store.h"
#include "ui/ui_frame.h"
#include "world/physics.h"

struct GLFWwindow;

namespace zorv {

class VulkanRenderer;

inline constexpr float kFixedFovRadians = 1.2217305f;  // 70° for the benchmark and the scenes

// The camera of one frame: the view-projection, the eye, and what the look ray hits.
struct FrameView {
  ViewProjection viewProjection{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  Vec3 eye{};
  PickResult target;
};

// The player's camera with the reach-limited look ray; the identity without a world or in
// the menus.
FrameView playerView(const GameSession& session, float fovYRadians, float aspect);

// What the renderer's sky call takes.
struct SkyInputs {
  float daylight = 1.0f;
  float fogDistance = 128.0f;
  Vec3 sunDirection{};
};
// The sky the renderer gets: the world's from its clock and weather, the menus' otherwise.
SkyInputs sessionSky(const GameSession& session);

// What the in-game screens show beside the session.
UiFrameInfo uiFrameInfo(const VulkanRenderer& renderer, const GameSession& session, const FrameView& view, float fps,
                        int width, int height);

// Draws the frame with the session's entities and particles, or, with a path, draws it and
// saves it as a PNG file with the screenshot texts.
void drawSessionFrame(VulkanRenderer& renderer, const GameSession& session, const FrameView& view,
                      const std::filesystem::path* capturePath);

// Runs frames until the window is asked to close, saving changed options as it goes.
void runMainLoop(GLFWwindow* window, VulkanRenderer& renderer, GameSession& session, OptionsStore& options);

}  // namespace zorv
