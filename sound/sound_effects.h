#pragma once
// Four short effects synthesised in memory as complete WAVE images and played one at a
// time; a new effect cuts off the one still playing.

#include <cstdint>
#include <vector>

namespace zorv {

enum SoundEffect : int { SoundBreak = 0, SoundPlace = 1, SoundStep = 2, SoundHurt = 3 };
constexpr int kSoundEffectCount = 4;

// Synthesises the four effects and opens the audio device, once per process; later
// calls change nothing.
void buildSoundBank();
// The WAVE image of an effect (empty before the bank is built or for an unknown effect).
const std::vector<std::uint8_t>& soundImage(int effect);
// Starts an effect asynchronously; unknown effects and a missing audio device are silent.
void playSound(int effect);

}  // namespace zorv
