#include "client/session_options.h"

#include <gtest/gtest.h>

#include "client/client_session.h"
#include "options_sample.h"
#include "lang/localisation.h"

namespace zorv {
namespace {

TEST(SessionOptions, StoredOptionsComeBackFromTheSessionUnchanged) {
  const int previousLanguage = language();
  const Options stored = testing::changedOptions();

  ClientSession session;
  applySessionOptions(session, stored);
  EXPECT_TRUE(sessionOptions(session) == stored);
  EXPECT_EQ(language(), LanguageChinese);
  EXPECT_EQ(session.fovCurrent, stored.fieldOfView);
  EXPECT_EQ(session.player.lookSensitivity, stored.mouseSensitivity);
  EXPECT_STREQ(session.profile.playerName.data(), stored.playerName.c_str());

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
