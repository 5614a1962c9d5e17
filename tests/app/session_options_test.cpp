#include "app/session_options.h"

#include <gtest/gtest.h>

#include "app/game_session.h"
#include "ui/localisation.h"

namespace zorv {
namespace {

TEST(SessionOptions, StoredOptionsComeBackFromTheSessionUnchanged) {
  const int previousLanguage = language();
  Options stored;
  stored.mouseSensitivity = 0.2f;
  stored.fieldOfView = 90.0f;
  stored.renderDistance = 14;
  stored.renderScale = 75;
  stored.shadows = false;
  stored.postProcessing = false;
  stored.verticalSync = true;
  stored.language = 1;
  stored.minimap = false;
  stored.debugOverlay = true;
  stored.invertMouse = true;
  stored.interfaceScale = 150;
  stored.playerName = "Grace";
  stored.port = "30000";
  stored.serverAddress = "example.org";
  stored.recentAddresses = {"example.org", "10.1.1.1"};
  stored.windowWidth = 1024;
  stored.windowHeight = 600;
  stored.windowX = 12;
  stored.windowY = 34;
  stored.fullScreen = true;
  stored.keys.bind(Action::Inventory, 'I');

  GameSession session;
  applySessionOptions(session, stored);
  EXPECT_TRUE(sessionOptions(session) == stored);
  EXPECT_EQ(language(), LanguageChinese);
  EXPECT_EQ(session.fovCurrent, 90.0f);
  EXPECT_EQ(session.player.lookSensitivity, 0.2f);
  EXPECT_STREQ(session.profile.playerName.data(), "Grace");

  // Options without a language leave the platform's choice alone; a name too long for the
  // menu's buffer is cut to fit.
  setLanguage(LanguageEnglish);
  Options plain;
  plain.playerName = std::string(40, 'x');
  applySessionOptions(session, plain);
  EXPECT_EQ(language(), LanguageEnglish);
  EXPECT_EQ(sessionOptions(session).playerName, std::string(31, 'x'));
  setLanguage(previousLanguage);
}

}  // namespace
}  // namespace zorv
