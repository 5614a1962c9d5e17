#include "shell/input_trickle.h"

#include <cstddef>
#include <utility>

namespace zorv {
namespace {

// More changes than anyone types between two frames: beyond this a stuck frame drops the
// oldest rather than replaying seconds of input later.
constexpr std::size_t kMaxPending = 64;

bool valid(int code) { return code >= 0 && code < InputTrickle::kCodes; }

}  // namespace

void InputTrickle::record(int code, bool down) {
  if (!valid(code)) return;
  if (pending_.size() >= kMaxPending) pending_.erase(pending_.begin());
  pending_.push_back({code, down});
}

void InputTrickle::nextFrame() {
  std::bitset<kCodes> changed;
  std::vector<Change> later;
  for (const Change& change : pending_) {
    if (changed[change.code]) {
      later.push_back(change);
    } else if (down_[change.code] != change.down) {
      down_[change.code] = change.down;
      changed[change.code] = true;
    }
  }
  pending_ = std::move(later);
}

bool InputTrickle::down(int code) const { return valid(code) && down_[code]; }

}  // namespace zorv
