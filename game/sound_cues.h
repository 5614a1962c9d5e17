#pragma once
// Sounds the rules ask for. The session queues them; a player's program plays them, a
// dedicated server drops them.
#include <cstddef>
#include <cstdint>

namespace zorv {

enum SoundCue : std::uint8_t { CueBreak = 0, CuePlace = 1, CueStep = 2, CueHurt = 3 };

// At most this many cues wait for the next frame; older ones are dropped first.
inline constexpr std::size_t kMaxQueuedSoundCues = 32;

}  // namespace zorv
