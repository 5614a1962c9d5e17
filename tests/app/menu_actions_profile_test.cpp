#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/settings.h"

namespace zorv {
namespace {

Profile profileNamed(const std::string& name) {
  Profile profile;
  profile.playerName.fill('\0');
  std::memcpy(profile.playerName.data(), name.data(), std::min(name.size(), profile.playerName.size()));
  return profile;
}

std::string bufferText(const char* buffer) { return buffer; }

TEST(Settings, EveryRunStartsFromTheDefaults) {
  const Settings settings;
  EXPECT_FLOAT_EQ(settings.mouseSensitivity, 0.12f);
  EXPECT_FLOAT_EQ(settings.fieldOfView, 70.0f);
  EXPECT_EQ(settings.renderDistance, 8);
  EXPECT_TRUE(settings.shadowsEnabled);
  EXPECT_TRUE(settings.postProcessingEnabled);
  EXPECT_FALSE(settings.verticalSync);

  const Profile profile;
  EXPECT_EQ(bufferText(profile.worldName.data()), "My World");
  EXPECT_EQ(bufferText(profile.seedText.data()), "");
  EXPECT_EQ(bufferText(profile.playerName.data()), "Player");
  EXPECT_EQ(bufferText(profile.port.data()), "27632");
  EXPECT_EQ(bufferText(profile.serverAddress.data()), "");
  EXPECT_EQ(profile.worldName.size(), 64u);
  EXPECT_EQ(profile.seedText.size(), 64u);
  EXPECT_EQ(profile.playerName.size(), 32u);
  EXPECT_EQ(profile.port.size(), 16u);
  EXPECT_EQ(profile.serverAddress.size(), 128u);
}

TEST(PlayerName, PrintableAsciiCutToTwentyThenTrimmed) {
  EXPECT_EQ(effectivePlayerName(Profile{}), "Player");
  EXPECT_EQ(effectivePlayerName(profileNamed("  Ada Lovelace  ")), "Ada Lovelace");
  EXPECT_EQ(effectivePlayerName(profileNamed("     ")), "Player");
  EXPECT_EQ(effectivePlayerName(profileNamed("\xE4\xB8\xAD\xE6\x96\x87")), "Player");
  EXPECT_EQ(effectivePlayerName(profileNamed("")), "Player");
  EXPECT_EQ(effectivePlayerName(profileNamed("Ann\xC3\xA9" "e\t!")), "Anne!");
  // 25 characters: the first 20 are kept, then the spaces around them go.
  EXPECT_EQ(effectivePlayerName(profileNamed("   abcdefghijklmnopqrstuv")), "abcdefghijklmnopq");
  EXPECT_EQ(effectivePlayerName(profileNamed("abcdefghijklmnopqrs vwxyz")), "abcdefghijklmnopqrs");
  // A full buffer without a terminating zero is read only to its end.
  EXPECT_EQ(effectivePlayerName(profileNamed(std::string(32, 'q'))), std::string(20, 'q'));
}

}  // namespace
}  // namespace zorv
