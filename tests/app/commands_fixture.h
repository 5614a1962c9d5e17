#pragma once
// A session with its own saves folder and clock for the command, chat and menu tests.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/game_session.h"
#include "session_test_support.h"
#include "ui/localisation.h"
#include "world/world.h"

namespace zorv::testing {

inline constexpr std::uint32_t kTestSeed = 20261018;

class CommandSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setLanguage(LanguageEnglish);
    session.clock = [this] { return now; };
  }

  void TearDown() override { stopNetworking(session); }

  // A world without a save folder or loaded columns: enough for commands that only touch
  // session fields.
  void bareWorld() {
    session.world = std::make_unique<World>(static_cast<std::int32_t>(kTestSeed));
    session.seed = kTestSeed;
    session.appState = AppPlaying;
  }

  // A generated world around its spawn point, the state Playing.
  void playWorld(const std::string& name = "testworld") {
    createWorld(session, kTestSeed, name);
    session.appState = AppPlaying;
    session.messages.clear();
  }

  std::vector<std::string> messages() const { return messageTexts(session); }
  std::string lastMessage() const { return session.messages.empty() ? "" : session.messages.back().text; }
  const std::filesystem::path& folder() const { return saves.root(); }

  TemporarySaves saves;
  double now = 0.0;
  GameSession session;
};

}  // namespace zorv::testing
