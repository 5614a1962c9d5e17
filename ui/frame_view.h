#pragma once
// The camera of a frame and the sky the renderer gets, computed from the session alone.
#include "client/client_session.h"
#include "ui/draw_inputs.h"
#include "world/physics.h"

namespace zorv {

inline constexpr float kFixedFovRadians = 1.2217305f;  // 70° for the benchmark and the scenes

// The camera of one frame: the view-projection, the eye, and what the look ray hits.
struct FrameView {
  ViewProjection viewProjection{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  Vec3 eye{};
  PickResult target;
  // The eye is in lava or inside a block (spectators fly through them): the faces between
  // that cell and its neighbours were never built, so the renderer draws back faces too.
  bool eyeInOpaqueBlock = false;
};

// The player's camera with the reach-limited look ray; the identity without a world or in
// the menus.
FrameView playerView(const ClientSession& session, float fovYRadians, float aspect);

// What the renderer's sky call takes.
struct SkyInputs {
  float daylight = 1.0f;
  float fogDistance = 128.0f;
  Vec3 sunDirection{};
};
// The sky the renderer gets: the world's from its clock and weather, the menus' otherwise.
SkyInputs sessionSky(const ClientSession& session);

}  // namespace zorv
