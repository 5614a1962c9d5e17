#include "platform/audio.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include <string>
#include <vector>

namespace zorv::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

void appendU16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFFu));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFFu));
}

void appendU32(Bytes& out, std::uint32_t value) {
  appendU16(out, value & 0xFFFFu);
  appendU16(out, value >> 16);
}

void appendChunk(Bytes& out, const std::string& id, const Bytes& body) {
  out.insert(out.end(), id.begin(), id.end());
  appendU32(out, static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2 == 1) out.push_back(0);
}

struct Format {
  std::uint32_t encoding = 1;
  std::uint32_t channels = 1;
  std::uint32_t rate = 22050;
  std::uint32_t bits = 16;
  std::uint32_t blockAlign = 2;
};

Bytes formatBody(const Format& f) {
  Bytes body;
  appendU16(body, f.encoding);
  appendU16(body, f.channels);
  appendU32(body, f.rate);
  appendU32(body, f.rate * f.blockAlign);
  appendU16(body, f.blockAlign);
  appendU16(body, f.bits);
  return body;
}

Bytes riff(const Bytes& chunks) {
  Bytes image{'R', 'I', 'F', 'F'};
  appendU32(image, static_cast<std::uint32_t>(chunks.size() + 4));
  image.insert(image.end(), {'W', 'A', 'V', 'E'});
  image.insert(image.end(), chunks.begin(), chunks.end());
  return image;
}

Bytes waveImage(const Format& format, const Bytes& samples) {
  Bytes chunks;
  appendChunk(chunks, "fmt ", formatBody(format));
  appendChunk(chunks, "data", samples);
  return riff(chunks);
}

const Bytes kSamples = {1, 2, 3, 4, 5, 6, 7, 8};

TEST(WaveImage, ReadsFormatAndSamplesInPlace) {
  Bytes image = waveImage(Format{}, kSamples);
  ASSERT_EQ(image.size(), 44u + kSamples.size());
  std::optional<WavePcm> pcm = parseWaveImage(image.data(), image.size());
  ASSERT_TRUE(pcm);
  EXPECT_EQ(pcm->samples, image.data() + 44);
  EXPECT_EQ(pcm->sampleBytes, kSamples.size());
  EXPECT_EQ(pcm->channels, 1);
  EXPECT_EQ(pcm->bitsPerSample, 16);
  EXPECT_EQ(pcm->sampleRate, 22050);

  Bytes stereo8 = waveImage(Format{1, 2, 44100, 8, 2}, kSamples);
  pcm = parseWaveImage(stereo8.data(), stereo8.size());
  ASSERT_TRUE(pcm);
  EXPECT_EQ(pcm->channels, 2);
  EXPECT_EQ(pcm->bitsPerSample, 8);
  EXPECT_EQ(pcm->sampleRate, 44100);
}

TEST(WaveImage, SkipsOtherChunksWithTheirPadding) {
  Bytes chunks;
  appendChunk(chunks, "LIST", {'o', 'd', 'd'});  // padded to four bytes
  appendChunk(chunks, "fmt ", formatBody(Format{}));
  appendChunk(chunks, "fact", {0, 0, 0, 0});
  appendChunk(chunks, "data", kSamples);
  Bytes image = riff(chunks);
  std::optional<WavePcm> pcm = parseWaveImage(image.data(), image.size());
  ASSERT_TRUE(pcm);
  EXPECT_EQ(pcm->sampleBytes, kSamples.size());
  EXPECT_EQ(pcm->samples + pcm->sampleBytes, image.data() + image.size());
}

TEST(WaveImage, DropsATrailingPartialFrame) {
  Format stereo16{1, 2, 22050, 16, 4};
  Bytes image = waveImage(stereo16, {1, 2, 3, 4, 5, 6});
  std::optional<WavePcm> pcm = parseWaveImage(image.data(), image.size());
  ASSERT_TRUE(pcm);
  EXPECT_EQ(pcm->sampleBytes, 4u);
  image = waveImage(stereo16, {1, 2});
  EXPECT_FALSE(parseWaveImage(image.data(), image.size()));
}

TEST(WaveImage, RejectsEveryTruncation) {
  Bytes image = waveImage(Format{}, kSamples);
  for (std::size_t size = 0; size < image.size(); ++size) {
    EXPECT_FALSE(parseWaveImage(image.data(), size)) << size;
  }
  EXPECT_FALSE(parseWaveImage(nullptr, image.size()));
}

TEST(WaveImage, RejectsMalformedAndUnsupportedImages) {
  auto rejected = [](const Bytes& image) { return !parseWaveImage(image.data(), image.size()); };

  Bytes badTag = waveImage(Format{}, kSamples);
  badTag[8] = 'X';
  EXPECT_TRUE(rejected(badTag));
  badTag = waveImage(Format{}, kSamples);
  badTag[0] = 'X';
  EXPECT_TRUE(rejected(badTag));

  EXPECT_TRUE(rejected(waveImage(Format{3, 1, 22050, 32, 4}, kSamples)));  // float samples
  EXPECT_TRUE(rejected(waveImage(Format{1, 1, 22050, 24, 3}, kSamples)));
  EXPECT_TRUE(rejected(waveImage(Format{1, 3, 22050, 16, 6}, kSamples)));
  EXPECT_TRUE(rejected(waveImage(Format{1, 1, 0, 16, 2}, kSamples)));
  EXPECT_TRUE(rejected(waveImage(Format{1, 1, 22050, 16, 4}, kSamples)));  // block align mismatch
  EXPECT_TRUE(rejected(waveImage(Format{}, {})));

  Bytes dataFirst;
  appendChunk(dataFirst, "data", kSamples);
  appendChunk(dataFirst, "fmt ", formatBody(Format{}));
  EXPECT_TRUE(rejected(riff(dataFirst)));

  Bytes shortFormat;
  appendChunk(shortFormat, "fmt ", {1, 0, 1, 0, 0x22, 0x56, 0, 0});
  appendChunk(shortFormat, "data", kSamples);
  EXPECT_TRUE(rejected(riff(shortFormat)));

  Bytes noData;
  appendChunk(noData, "fmt ", formatBody(Format{}));
  EXPECT_TRUE(rejected(riff(noData)));

  // A chunk size near 2^32 must not wrap the bounds check around.
  Bytes huge = waveImage(Format{}, kSamples);
  for (std::size_t at = 40; at < 44; ++at) huge[at] = 0xFF;
  EXPECT_TRUE(rejected(huge));
  huge = waveImage(Format{}, kSamples);
  for (std::size_t at = 16; at < 20; ++at) huge[at] = 0xFF;
  EXPECT_TRUE(rejected(huge));
}

ALuint onlySource() {
  for (ALuint id = 1; id < 64; ++id) {
    if (alIsSource(id)) return id;
  }
  return 0;
}

ALint sourceValue(ALuint source, ALenum what) {
  ALint value = 0;
  alGetSourcei(source, what, &value);
  return value;
}

// The audio device is process-wide and opened once, so each case that opens it must be
// the first in its process to do so (CTest runs every case in a process of its own).
TEST(WavePlayback, EachSoundCutsOffTheLastOnOneSource) {
  setenv("ALSOFT_DRIVERS", "null", 1);
  Bytes first = waveImage(Format{}, Bytes(44100, 0));
  Bytes second = waveImage(Format{}, Bytes(44100, 0));
  playWaveImage(first.data(), first.size());
  EXPECT_EQ(alcGetCurrentContext(), nullptr) << "nothing plays before the device is opened";
  ASSERT_TRUE(openAudioDevice());
  ASSERT_NE(alcGetCurrentContext(), nullptr);
  playWaveImage(first.data(), first.size());
  ALuint source = onlySource();
  ASSERT_NE(source, 0u);
  ALint firstBuffer = sourceValue(source, AL_BUFFER);
  EXPECT_NE(firstBuffer, 0);
  EXPECT_EQ(sourceValue(source, AL_SOURCE_STATE), AL_PLAYING);

  playWaveImage(second.data(), second.size());
  ALint secondBuffer = sourceValue(source, AL_BUFFER);
  EXPECT_NE(secondBuffer, 0);
  EXPECT_NE(secondBuffer, firstBuffer);
  EXPECT_EQ(sourceValue(source, AL_SOURCE_STATE), AL_PLAYING);

  // Replaying reuses the first upload; a malformed image leaves the sound playing.
  playWaveImage(first.data(), first.size());
  EXPECT_EQ(sourceValue(source, AL_BUFFER), firstBuffer);
  Bytes garbage(64, 0xFF);
  playWaveImage(garbage.data(), garbage.size());
  EXPECT_EQ(sourceValue(source, AL_BUFFER), firstBuffer);
  EXPECT_EQ(sourceValue(source, AL_SOURCE_STATE), AL_PLAYING);
  EXPECT_EQ(onlySource(), source);
}

TEST(WavePlayback, AMissingDevicePrintsNothingAndStaysSilent) {
  // CTest makes the audio library log its warnings; a device-less open must still be quiet.
  ASSERT_NE(std::getenv("ALSOFT_LOGLEVEL"), nullptr) << "run through CTest";
  setenv("ALSOFT_DRIVERS", "no-such-backend", 1);
  testing::internal::CaptureStderr();
  const bool opened = openAudioDevice();
  EXPECT_FALSE(openAudioDevice());
  Bytes good = waveImage(Format{}, kSamples);
  playWaveImage(good.data(), good.size());
  const std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(opened);
  EXPECT_EQ(printed, "");
  EXPECT_EQ(alcGetCurrentContext(), nullptr);
}

TEST(WavePlayback, IgnoresBadImagesAndNeverWaits) {
  openAudioDevice();
  Bytes good = waveImage(Format{}, kSamples);
  Bytes truncated(good.begin(), good.begin() + 30);
  Bytes garbage(64, 0xFF);
  playWaveImage(nullptr, 100);
  playWaveImage(truncated.data(), truncated.size());
  playWaveImage(garbage.data(), garbage.size());
  // The same image twice reuses its upload; a device-less machine stays silent.
  playWaveImage(good.data(), good.size());
  playWaveImage(good.data(), good.size());
}

}  // namespace
}  // namespace zorv::platform
