#include "ui/frame_view.h"

#include <cmath>

#include "game/sky.h"
#include "world/registry.h"

namespace zorv {
namespace {

constexpr float kBadWeatherDaylight = 0.72f;

}  // namespace

FrameView playerView(const ClientSession& session, float fovYRadians, float aspect) {
  FrameView view;
  if (session.appState == AppMenu || !session.world) return view;
  const PlayerBody& player = session.player;
  view.eye = {player.x, player.y, player.z};
  view.viewProjection = cameraViewProjection(view.eye, player.yaw, player.pitch, fovYRadians, aspect);
  view.target = pick(*session.world, view.eye, lookDirection(player.yaw, player.pitch), kReach);
  const BlockId eyeBlock = getBlock(*session.world, static_cast<int>(std::floor(view.eye.x)), static_cast<int>(std::floor(view.eye.y)),
                                    static_cast<int>(std::floor(view.eye.z)));
  view.eyeInOpaqueBlock = blockRegistry().get(eyeBlock).opaque;
  return view;
}

SkyInputs sessionSky(const ClientSession& session) {
  SkyInputs sky;
  sky.sunDirection = sunDirection(session.timeOfDay);
  if (session.appState == AppMenu || !session.world) return sky;
  sky.daylight = daylightFactor(session.timeOfDay) * (session.weather == WeatherClear ? 1.0f : kBadWeatherDaylight);
  sky.fogDistance = static_cast<float>(session.preferences.renderDistance * 16 - 8);
  return sky;
}

}  // namespace zorv
