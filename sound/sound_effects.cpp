#include "sound/sound_effects.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "platform/audio.h"

namespace zorv {
namespace {

constexpr int kSampleRate = 22050;
constexpr float kSampleRateF = 22050.0f;
constexpr float kTwoPi = 6.2831853f;
constexpr float kAmplitude = 12000.0f;
constexpr std::size_t kWaveHeaderBytes = 44;

constexpr std::array<float, kSoundEffectCount> kDurations = {0.11f, 0.08f, 0.05f, 0.14f};

std::array<std::vector<std::uint8_t>, kSoundEffectCount> gBank;
bool gBankBuilt = false;
// Noise state shared by every effect, so the noisy effects continue one sequence.
std::uint32_t gNoiseState = 0x12345678u;

std::uint32_t xorshift(std::uint32_t x) {
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}

float noiseValue(std::uint32_t x) { return static_cast<float>(x % 2000u) / 1000.0f - 1.0f; }

// One raw sample value in [-1, 1] before the envelope; advances `phase` and, for the
// noisy effects, the shared noise state.
float waveValue(int effect, float t, float& phase) {
  std::uint32_t x = xorshift(gNoiseState);
  float noise = noiseValue(x);
  switch (effect) {
    case SoundBreak: {
      gNoiseState = x;
      float v = std::sin(phase) * 0.3f + noise * 0.7f;
      phase += 0.025645655f;
      return v;
    }
    case SoundPlace:
      phase += 0.04844179f;
      return std::sin(phase);
    case SoundStep:
      gNoiseState = x;
      return noise * 0.45f;
    default:  // SoundHurt: a square wave sweeping down from 320 Hz to 150 Hz
      phase += (320.0f - t * 170.0f) * kTwoPi / kSampleRateF;
      return std::sin(phase) > 0.0f ? 0.45f : -0.45f;
  }
}

std::int16_t toSample(float value) {
  float scaled = std::clamp(value * kAmplitude, -32767.0f, 32767.0f);
  return static_cast<std::int16_t>(scaled);
}

void putU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value & 0xFFu);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  putU16(out, at, static_cast<std::uint16_t>(value & 0xFFFFu));
  putU16(out, at + 2, static_cast<std::uint16_t>(value >> 16));
}

void putTag(std::vector<std::uint8_t>& out, std::size_t at, const char (&tag)[5]) {
  std::copy(tag, tag + 4, out.begin() + static_cast<std::ptrdiff_t>(at));
}

// A mono 16-bit PCM WAVE image with room for `sampleCount` samples after the header.
std::vector<std::uint8_t> waveImage(int sampleCount) {
  auto dataBytes = static_cast<std::uint32_t>(sampleCount) * 2u;
  std::vector<std::uint8_t> image(kWaveHeaderBytes + dataBytes);
  putTag(image, 0, "RIFF");
  putU32(image, 4, dataBytes + 36u);
  putTag(image, 8, "WAVE");
  putTag(image, 12, "fmt ");
  putU32(image, 16, 16u);
  putU16(image, 20, 1u);  // PCM
  putU16(image, 22, 1u);  // mono
  putU32(image, 24, static_cast<std::uint32_t>(kSampleRate));
  putU32(image, 28, static_cast<std::uint32_t>(kSampleRate) * 2u);
  putU16(image, 32, 2u);
  putU16(image, 34, 16u);
  putTag(image, 36, "data");
  putU32(image, 40, dataBytes);
  return image;
}

std::vector<std::uint8_t> synthesise(int effect) {
  int count = static_cast<int>(kDurations[static_cast<std::size_t>(effect)] * kSampleRateF);
  std::vector<std::uint8_t> image = waveImage(count);
  float countF = static_cast<float>(count);
  float phase = 0.0f;
  for (int i = 0; i < count; ++i) {
    float t = static_cast<float>(i) / countF;
    float envelope = (1.0f - t) * (1.0f - t);
    float value = waveValue(effect, t, phase);
    auto sample = static_cast<std::uint16_t>(toSample(value * envelope));
    putU16(image, kWaveHeaderBytes + 2 * static_cast<std::size_t>(i), sample);
  }
  return image;
}

}  // namespace

void buildSoundBank() {
  if (gBankBuilt) return;
  gBankBuilt = true;
  // Opening the device here keeps its start-up cost out of the first frame that plays a sound.
  platform::openAudioDevice();
  // Effect order matters: Break and Step continue one noise sequence.
  for (int effect = 0; effect < kSoundEffectCount; ++effect) {
    gBank[static_cast<std::size_t>(effect)] = synthesise(effect);
  }
}

const std::vector<std::uint8_t>& soundImage(int effect) {
  static const std::vector<std::uint8_t> none;
  if (effect < 0 || effect >= kSoundEffectCount) return none;
  return gBank[static_cast<std::size_t>(effect)];
}

void playSound(int effect) {
  const std::vector<std::uint8_t>& image = soundImage(effect);
  if (image.empty()) return;
  platform::playWaveImage(image.data(), image.size());
}

}  // namespace zorv
