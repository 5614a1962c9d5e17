#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "client/client_session.h"
#include "client/settings.h"
#include "commands_fixture.h"

namespace zorv {
namespace {

Profile profileNamed(const std::string& name) {
  Profile profile;
  testing::setText(profile.playerName, name);
  return profile;
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
  Profile full;
  full.playerName.fill('q');
  EXPECT_EQ(effectivePlayerName(full), std::string(20, 'q'));
}

TEST(PlayerName, TheRulesSeeTheTypedNameThroughTheViewAndTheDefaultWithoutOne) {
  GameSession headless;
  EXPECT_EQ(localPlayerName(headless), "Player");
  ClientSession client;
  EXPECT_EQ(localPlayerName(client), "Player");
  testing::setText(client.profile.playerName, "  Ada  ");
  EXPECT_EQ(localPlayerName(client), "Ada");
  client.view = nullptr;
  EXPECT_EQ(localPlayerName(client), "Player");
}

TEST(Profile, PortTextWritesEveryPortInDecimal) {
  EXPECT_EQ(bufferText(Profile{}.port), "27632");
  for (const std::uint16_t port : std::initializer_list<std::uint16_t>{0, 7, 10, 99, 100, 27632, 65535}) {
    EXPECT_EQ(bufferText(portText(port)), std::to_string(port));
  }
}

}  // namespace
}  // namespace zorv
