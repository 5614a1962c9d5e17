#include "shell/frame_time.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace zorv {

WorldStepPieces worldStepPieces(double elapsed) {
  const double total = std::clamp(elapsed, 0.0, static_cast<double>(kMaxWorldSecondsPerFrame));
  const int count = std::max(1, static_cast<int>(std::ceil(total / kMaxWorldStepSeconds)));
  return {count, static_cast<float>(total / count)};
}

double heldFrameSeconds(const char* value) {
  if (value == nullptr) return 0.0;
  const char* end = value + std::strlen(value);
  int milliseconds = 0;
  const auto [stop, error] = std::from_chars(value, end, milliseconds);
  if (error != std::errc() || stop != end || milliseconds < 1 || milliseconds > 10000) return 0.0;
  return milliseconds / 1000.0;
}

}  // namespace zorv
