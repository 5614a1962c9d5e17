#pragma once
// The day clock seen from the sky: daylight, the sun's direction and the clock text.
#include "game/game_session.h"

namespace zorv {

// Daylight of the time of day without the weather factor, and the sun's direction.
float daylightFactor(float timeOfDay);

Vec3 sunDirection(float timeOfDay);

// The in-game clock "%02d:%02d" of a time of day.
std::string inGameClock(float timeOfDay);

}  // namespace zorv
