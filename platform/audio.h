#pragma once
// One-shot playback of in-memory WAVE images through the default audio device.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zorv::platform {

// The PCM samples of a WAVE image, pointing into the image itself.
struct WavePcm {
  const std::uint8_t* samples = nullptr;
  std::size_t sampleBytes = 0;
  int channels = 0;       // 1 or 2
  int bitsPerSample = 0;  // 8 or 16
  int sampleRate = 0;
};

// Reads the format and data chunks of a RIFF/WAVE image of uncompressed PCM. Every
// read is bounds-checked; anything malformed or unsupported gives nothing.
std::optional<WavePcm> parseWaveImage(const std::uint8_t* data, std::size_t size);

// Opens the default audio device once, without printing anything when there is none;
// later calls give the first answer. Until it has been opened every sound is silent.
bool openAudioDevice();

// Starts playing a WAVE image without waiting, cutting off the sound still playing.
// Without an open device every call is silent. Each image is
// uploaded once and remembered by its address, so the caller keeps it alive and
// unchanged for the life of the process. Malformed images are ignored.
void playWaveImage(const std::uint8_t* data, std::size_t size);

}  // namespace zorv::platform
