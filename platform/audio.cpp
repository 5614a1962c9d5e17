#include "platform/audio.h"

#include "platform/byte_io.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <cstring>
#include <unordered_map>

namespace zorv::platform {
namespace {

bool hasTag(const std::uint8_t* at, const char (&tag)[5]) { return std::memcmp(at, tag, 4) == 0; }

struct WaveFormat {
  std::uint32_t encoding = 0;
  std::uint32_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint32_t blockAlign = 0;
  std::uint32_t bitsPerSample = 0;
};

bool supported(const WaveFormat& format) {
  constexpr std::uint32_t kPcm = 1;
  return format.encoding == kPcm && (format.channels == 1 || format.channels == 2) &&
         (format.bitsPerSample == 8 || format.bitsPerSample == 16) && format.sampleRate > 0 &&
         format.sampleRate <= INT_MAX && format.blockAlign == format.channels * format.bitsPerSample / 8;
}

std::optional<WavePcm> pcmOf(const WaveFormat& format, const std::uint8_t* samples, std::size_t bytes) {
  if (!supported(format)) return std::nullopt;
  // Playback takes whole frames only; a trailing partial frame is dropped.
  bytes -= bytes % format.blockAlign;
  if (bytes == 0 || bytes > INT_MAX) return std::nullopt;
  return WavePcm{samples, bytes, static_cast<int>(format.channels), static_cast<int>(format.bitsPerSample),
                 static_cast<int>(format.sampleRate)};
}

// The one device, context and source, opened once and closed at exit (before
// the audio library's own clean-up, which runs after the program's static destructors).
struct Player {
  bool opened = false;
  bool available = false;
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  ALuint source = 0;
  std::unordered_map<const std::uint8_t*, ALuint> buffers;

  Player() = default;
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;
  ~Player() {
    if (!available) return;
    alSourceStop(source);
    alDeleteSources(1, &source);
    for (auto& entry : buffers) alDeleteBuffers(1, &entry.second);
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
    alcCloseDevice(device);
  }
};

Player& player() {
  static Player instance;
  return instance;
}

// Runs `open` with standard error pointed at /dev/null: the audio library and the sound
// system under it report a missing device there, and a game without sound stays silent.
template <typename Open>
auto quietly(Open open) {
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
  auto result = open();
  std::fflush(stderr);
  if (saved >= 0 && null >= 0) ::dup2(saved, STDERR_FILENO);
  if (null >= 0) ::close(null);
  if (saved >= 0) ::close(saved);
  return result;
}

bool openDevice(Player& p) {
  p.device = alcOpenDevice(nullptr);
  if (!p.device) return false;
  p.context = alcCreateContext(p.device, nullptr);
  if (p.context && alcMakeContextCurrent(p.context)) {
    alGetError();
    alGenSources(1, &p.source);
    if (alGetError() == AL_NO_ERROR) return true;
    alcMakeContextCurrent(nullptr);
  }
  if (p.context) alcDestroyContext(p.context);
  alcCloseDevice(p.device);
  p.context = nullptr;
  p.device = nullptr;
  return false;
}


ALenum alFormat(const WavePcm& pcm) {
  if (pcm.channels == 1) return pcm.bitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
  return pcm.bitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

// The buffer holding an image, uploaded on its first play; 0 when it cannot be played.
ALuint bufferFor(Player& p, const std::uint8_t* data, std::size_t size) {
  if (auto found = p.buffers.find(data); found != p.buffers.end()) return found->second;
  std::optional<WavePcm> pcm = parseWaveImage(data, size);
  if (!pcm) return 0;
  alGetError();
  ALuint buffer = 0;
  alGenBuffers(1, &buffer);
  if (alGetError() != AL_NO_ERROR) return 0;
  alBufferData(buffer, alFormat(*pcm), pcm->samples, static_cast<ALsizei>(pcm->sampleBytes), pcm->sampleRate);
  if (alGetError() != AL_NO_ERROR) {
    alDeleteBuffers(1, &buffer);
    return 0;
  }
  p.buffers.emplace(data, buffer);
  return buffer;
}

}  // namespace

std::optional<WavePcm> parseWaveImage(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kRiffHeader = 12;
  constexpr std::size_t kChunkHeader = 8;
  constexpr std::size_t kFormatBytes = 16;
  if (!data || size < kRiffHeader || !hasTag(data, "RIFF") || !hasTag(data + 8, "WAVE")) return std::nullopt;
  std::optional<WaveFormat> format;
  std::size_t at = kRiffHeader;
  while (size - at >= kChunkHeader) {
    const std::uint8_t* chunk = data + at;
    std::size_t body = at + kChunkHeader;
    std::size_t chunkBytes = loadLittleU32(chunk + 4);
    if (chunkBytes > size - body) return std::nullopt;
    if (hasTag(chunk, "fmt ")) {
      if (chunkBytes < kFormatBytes) return std::nullopt;
      const std::uint8_t* f = data + body;
      format = WaveFormat{loadLittleU16(f), loadLittleU16(f + 2), loadLittleU32(f + 4), loadLittleU16(f + 12), loadLittleU16(f + 14)};
    } else if (hasTag(chunk, "data")) {
      if (!format) return std::nullopt;
      return pcmOf(*format, data + body, chunkBytes);
    }
    // Chunks are padded to an even length.
    std::size_t next = body + chunkBytes + (chunkBytes & 1u);
    if (next > size) return std::nullopt;
    at = next;
  }
  return std::nullopt;
}

bool openAudioDevice() {
  Player& p = player();
  if (!p.opened) {
    p.opened = true;
    p.available = quietly([&p] { return openDevice(p); });
  }
  return p.available;
}

void playWaveImage(const std::uint8_t* data, std::size_t size) {
  Player& p = player();
  if (!data || !p.available) return;
  ALuint buffer = bufferFor(p, data, size);
  if (buffer == 0) return;
  alSourceStop(p.source);
  alSourcei(p.source, AL_BUFFER, static_cast<ALint>(buffer));
  alSourcePlay(p.source);
}

}  // namespace zorv::platform
