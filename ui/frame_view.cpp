#include "ui/frame_view.h"

#include "game/sky.h"
#include "world/registry.h"
#include "world/vec.h"

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
  const BlockId eyeBlock = getBlock(*session.world, floorToInt(view.eye.x), floorToInt(view.eye.y), floorToInt(view.eye.z));
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
