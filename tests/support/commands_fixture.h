#pragma once
// A session with its own saves folder and clock for the command, chat and menu tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "client/client_session.h"
#include "session_test_support.h"
#include "lang/localisation.h"
#include "world/world.h"
#include "game/world_life_cycle.h"

namespace zorv::testing {

inline constexpr std::uint32_t kTestSeed = 20261018;

// Fills a fixed-capacity menu buffer with `text` (cut to leave the terminating zero).
template <std::size_t N>
void setText(std::array<char, N>& buffer, const std::string& text) {
  buffer.fill('\0');
  std::memcpy(buffer.data(), text.data(), std::min(text.size(), N - 1));
}

// A loopback UDP port nobody uses right now.
inline std::uint16_t freeUdpPort() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}


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
  ClientSession session;
};

}  // namespace zorv::testing
