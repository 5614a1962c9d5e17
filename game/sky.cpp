#include "game/sky.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace zorv {

float daylightFactor(float timeOfDay) {
  const float wave = std::sin(2.0f * std::numbers::pi_v<float> * timeOfDay) * 0.5f + 0.5f;
  return std::clamp(wave * 0.82f + 0.18f, 0.18f, 1.0f);
}

Vec3 sunDirection(float timeOfDay) {
  const float angle = 2.0f * std::numbers::pi_v<float> * timeOfDay;
  float x = std::cos(angle), y = std::sin(angle);
  if (y < 0.08f) {
    x = -x;
    y = -y;
  }
  const float length = std::sqrt(x * x + y * y + 0.35f * 0.35f);
  return {x / length, y / length, 0.35f / length};
}

std::string inGameClock(float timeOfDay) {
  double hoursOfDay = std::fmod(24.0 * static_cast<double>(timeOfDay) + 6.0, 24.0);
  if (hoursOfDay < 0.0) hoursOfDay += 24.0;
  const double whole = std::floor(hoursOfDay);
  const int minutes = std::min(59, static_cast<int>(std::floor((hoursOfDay - whole) * 60.0)));
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(whole), minutes);
  return text;
}

}  // namespace zorv
