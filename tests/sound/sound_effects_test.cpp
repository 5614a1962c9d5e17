#include "sound/sound_effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

namespace zorv {
namespace {

constexpr std::array<std::size_t, kSoundEffectCount> kSampleCounts = {2425, 1764, 1102, 3087};
constexpr double kTwoPi = 6.283185307179586;
constexpr double kRate = 22050.0;

std::uint32_t u16(const std::vector<std::uint8_t>& image, std::size_t at) {
  return static_cast<std::uint32_t>(image[at] | image[at + 1] << 8);
}

std::uint32_t u32(const std::vector<std::uint8_t>& image, std::size_t at) {
  return u16(image, at) | u16(image, at + 2) << 16;
}

std::string tag(const std::vector<std::uint8_t>& image, std::size_t at) {
  return std::string(image.begin() + static_cast<std::ptrdiff_t>(at), image.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

std::vector<int> samplesOf(int effect) {
  const std::vector<std::uint8_t>& image = soundImage(effect);
  std::vector<int> samples;
  for (std::size_t at = 44; at + 1 < image.size(); at += 2) {
    samples.push_back(static_cast<std::int16_t>(u16(image, at)));
  }
  return samples;
}

double envelope(std::size_t i, std::size_t n) {
  double rest = 1.0 - static_cast<double>(i) / static_cast<double>(n);
  return rest * rest;
}

int reference(double value) { return static_cast<int>(value * 12000.0); }

// Reference noise sequence, continued across calls.
struct Noise {
  std::uint32_t state = 0x12345678u;
  float next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<float>(state % 2000u) / 1000.0f - 1.0f;
  }
};

// The single-precision envelope, for the cases whose samples are exact.
float envelopeF(std::size_t i, std::size_t n) {
  float rest = 1.0f - static_cast<float>(i) / static_cast<float>(n);
  return rest * rest;
}

// A sample value scaled and truncated toward zero, as the bank stores it.
int truncated(float valueTimesEnvelope) { return static_cast<int>(valueTimesEnvelope * 12000.0f); }

// Largest difference between the synthesised samples and a reference waveform.
template <typename Wave>
int largestDeviation(const std::vector<int>& samples, Wave wave) {
  int largest = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    largest = std::max(largest, std::abs(samples[i] - reference(wave(i) * envelope(i, samples.size()))));
  }
  return largest;
}

// Lengths of the complete runs of equal sign among the first `count` samples; samples
// truncated to zero join the run they fall in.
std::vector<std::size_t> signRunLengths(const std::vector<int>& samples, std::size_t count) {
  std::vector<std::size_t> runs;
  std::size_t run = 0;
  bool positive = samples.front() > 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (samples[i] != 0 && (samples[i] > 0) != positive) {
      runs.push_back(run);
      run = 0;
      positive = !positive;
    }
    ++run;
  }
  return runs;
}

// Must run before any other case builds the bank; CTest runs each case in its own process.
TEST(SoundBank, IsEmptyUntilBuilt) {
  for (int effect = 0; effect < kSoundEffectCount; ++effect) EXPECT_TRUE(soundImage(effect).empty());
  playSound(SoundHurt);  // an empty bank plays nothing
}

TEST(SoundBank, ImagesAreCompleteMonoPcmWaves) {
  buildSoundBank();
  for (int effect = 0; effect < kSoundEffectCount; ++effect) {
    SCOPED_TRACE(effect);
    const std::vector<std::uint8_t>& image = soundImage(effect);
    std::size_t dataBytes = 2 * kSampleCounts[static_cast<std::size_t>(effect)];
    ASSERT_EQ(image.size(), 44 + dataBytes);
    EXPECT_EQ(tag(image, 0), "RIFF");
    EXPECT_EQ(u32(image, 4), dataBytes + 36);
    EXPECT_EQ(tag(image, 8), "WAVE");
    EXPECT_EQ(tag(image, 12), "fmt ");
    EXPECT_EQ(u32(image, 16), 16u);
    EXPECT_EQ(u16(image, 20), 1u);
    EXPECT_EQ(u16(image, 22), 1u);
    EXPECT_EQ(u32(image, 24), 22050u);
    EXPECT_EQ(u32(image, 28), 44100u);
    EXPECT_EQ(u16(image, 32), 2u);
    EXPECT_EQ(u16(image, 34), 16u);
    EXPECT_EQ(tag(image, 36), "data");
    EXPECT_EQ(u32(image, 40), dataBytes);
  }
}

TEST(SoundBank, SamplesAreAudibleInRangeAndFadeOut) {
  buildSoundBank();
  for (int effect = 0; effect < kSoundEffectCount; ++effect) {
    SCOPED_TRACE(effect);
    std::vector<int> samples = samplesOf(effect);
    ASSERT_FALSE(samples.empty());
    int loudest = 0;
    for (int sample : samples) {
      EXPECT_NE(sample, -32768);
      loudest = std::max(loudest, std::abs(sample));
    }
    EXPECT_GT(loudest, 3000);
    for (std::size_t i = samples.size() - 8; i < samples.size(); ++i) EXPECT_LE(std::abs(samples[i]), 1);
  }
}

TEST(SoundBank, SecondBuildLeavesImagesUntouched) {
  buildSoundBank();
  std::array<std::vector<std::uint8_t>, kSoundEffectCount> copies;
  std::array<const std::uint8_t*, kSoundEffectCount> storage{};
  for (int effect = 0; effect < kSoundEffectCount; ++effect) {
    copies[static_cast<std::size_t>(effect)] = soundImage(effect);
    storage[static_cast<std::size_t>(effect)] = soundImage(effect).data();
  }
  buildSoundBank();
  for (int effect = 0; effect < kSoundEffectCount; ++effect) {
    EXPECT_EQ(soundImage(effect), copies[static_cast<std::size_t>(effect)]);
    EXPECT_EQ(soundImage(effect).data(), storage[static_cast<std::size_t>(effect)]);
  }
}

TEST(SoundBank, PlaceIsAFadingSineAt170Hz) {
  buildSoundBank();
  std::vector<int> samples = samplesOf(SoundPlace);
  // The phase advances before the first sample is taken.
  EXPECT_EQ(samples[0], 581);
  EXPECT_LE(largestDeviation(samples, [](std::size_t i) { return std::sin(static_cast<double>(i + 1) * kTwoPi * 170.0 / kRate); }), 2);
  // Over the first 1600 samples the phase reaches 77.5 rad: 24 zero crossings, each
  // half a period (about 65 samples) after the last.
  std::vector<std::size_t> runs = signRunLengths(samples, 1600);
  EXPECT_EQ(runs.size(), 24u);
  for (std::size_t i = 1; i < runs.size(); ++i) EXPECT_NEAR(static_cast<double>(runs[i]), kRate / 340.0, 1.5);
}

TEST(SoundBank, HurtIsASquareWaveSweepingDown) {
  buildSoundBank();
  std::vector<int> samples = samplesOf(SoundHurt);
  EXPECT_EQ(samples[0], 5400);
  // Both half waves have exactly the faded amplitude: truncation toward zero keeps them
  // symmetric, where rounding or flooring would not.
  for (std::size_t i = 0; i < samples.size(); ++i) {
    int magnitude = truncated(0.45f * envelopeF(i, samples.size()));
    EXPECT_EQ(samples[i], samples[i] > 0 ? magnitude : -magnitude) << i;
  }
  // Half periods lengthen from about 34 samples at 320 Hz to about 72 at 150 Hz.
  std::vector<std::size_t> runs = signRunLengths(samples, samples.size());
  ASSERT_GE(runs.size(), 64u);
  EXPECT_NEAR(static_cast<double>(runs[0]), kRate / 640.0, 1.5);
  EXPECT_NEAR(static_cast<double>(runs.back()), kRate / 300.0, 3.0);
  for (std::size_t i = 1; i < runs.size(); ++i) EXPECT_GE(runs[i] + 1, runs[i - 1]);
}

TEST(SoundBank, BreakAndStepContinueOneNoiseSequence) {
  buildSoundBank();
  Noise noise;
  std::vector<float> breakNoise(kSampleCounts[SoundBreak]);
  for (float& value : breakNoise) value = noise.next();
  // Place and Hurt leave the sequence alone, so Step picks up where Break stopped.
  std::vector<float> stepNoise(kSampleCounts[SoundStep]);
  for (float& value : stepNoise) value = noise.next();

  EXPECT_LE(largestDeviation(samplesOf(SoundBreak),
                             [&](std::size_t i) {
                               return std::sin(static_cast<double>(i) * kTwoPi * 90.0 / kRate) * 0.3 + breakNoise[i] * 0.7;
                             }),
            2);
  // Step has no oscillator, so every sample is exact.
  std::vector<int> step = samplesOf(SoundStep);
  ASSERT_EQ(step.size(), stepNoise.size());
  for (std::size_t i = 0; i < step.size(); ++i) {
    EXPECT_EQ(step[i], truncated(stepNoise[i] * 0.45f * envelopeF(i, step.size()))) << i;
  }
}

TEST(SoundBank, UnknownEffectsHaveNoImageAndPlayNothing) {
  buildSoundBank();
  EXPECT_TRUE(soundImage(-1).empty());
  EXPECT_TRUE(soundImage(kSoundEffectCount).empty());
  playSound(-1);
  playSound(kSoundEffectCount);
  // With or without an audio device, playing never waits and cuts off the last sound.
  for (int round = 0; round < 3; ++round) {
    for (int effect = 0; effect < kSoundEffectCount; ++effect) playSound(effect);
  }
}

}  // namespace
}  // namespace zorv
