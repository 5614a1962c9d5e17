#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "client/input_rules.h"
#include "client/menu_actions.h"
#include "commands_fixture.h"
#include "net/session.h"
#include "game/world_life_cycle.h"

namespace zorv::testing {
namespace {

// Types a chat line and submits it with Enter.
void say(ClientSession& session, KeyMemory& memory, const std::string& text) {
  onCharacter(session, 't');
  for (const char c : text) onCharacter(session, static_cast<unsigned char>(c));
  KeyboardFrame frame;
  frame.keys.enter = true;
  applyKeyboard(session, memory, frame, 0.016f, 0.0);
  applyKeyboard(session, memory, KeyboardFrame{}, 0.016f, 0.0);
}

// Pumps both ends until `done` holds (the host admits every joiner) or 3 s pass.
template <class Done>
bool exchange(ClientSession& host, ClientSession& client, std::vector<SessionEvent>& hostEvents,
              std::vector<SessionEvent>& clientEvents, Done done) {
  for (int i = 0; i < 3000 && !done(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pump(host.net);
    for (SessionEvent& event : takeEvents(host.net)) {
      if (event.kind == SessionEventKind::JoinRequested) {
        sendWelcome(host.net, event.playerId, WelcomeMessage{event.playerId, host.seed, 0, 40, 0, 0.25f, 0, "Ada"});
        sendReady(host.net, event.playerId);
      }
      hostEvents.push_back(std::move(event));
    }
    pump(client.net);
    for (SessionEvent& event : takeEvents(client.net)) clientEvents.push_back(std::move(event));
  }
  return done();
}

const SessionEvent* findChat(const std::vector<SessionEvent>& events) {
  for (const SessionEvent& event : events) {
    if (event.kind == SessionEventKind::ChatReceived) return &event;
  }
  return nullptr;
}

class ChatNetworkTest : public CommandSessionTest {};

TEST_F(ChatNetworkTest, ChatLinesTravelBetweenHostAndClient) {
  const std::uint16_t port = freeUdpPort();
  setText(session.profile.port, std::to_string(port));
  setText(session.profile.worldName, "Lobby");
  setText(session.profile.playerName, "Ada");
  handleMenuAction(session, MenuHostNew);
  ASSERT_EQ(session.networkRole, RoleHost);

  ClientSession client;
  client.clock = [this] { return now; };
  setText(client.profile.serverAddress, "127.0.0.1:" + std::to_string(port));
  setText(client.profile.playerName, "Bo");
  handleMenuAction(client, MenuJoinServer);
  ASSERT_EQ(client.networkRole, RoleClient);

  std::vector<SessionEvent> hostEvents, clientEvents;
  const auto ready = [&] {
    for (const SessionEvent& event : clientEvents) {
      if (event.kind == SessionEventKind::WorldReady) return true;
    }
    return false;
  };
  ASSERT_TRUE(exchange(session, client, hostEvents, clientEvents, ready));

  client.world = std::make_unique<World>(static_cast<std::int32_t>(kTestSeed));
  client.appState = AppPlaying;
  KeyMemory clientKeys, hostKeys;
  say(client, clientKeys, "hi host");
  EXPECT_EQ(client.messages.back().text, "You: hi host");
  ASSERT_TRUE(exchange(session, client, hostEvents, clientEvents, [&] { return findChat(hostEvents) != nullptr; }));
  EXPECT_EQ(findChat(hostEvents)->text, "hi host");

  say(session, hostKeys, "welcome, Bo");
  EXPECT_EQ(lastMessage(), "You: welcome, Bo");
  ASSERT_TRUE(exchange(session, client, hostEvents, clientEvents, [&] { return findChat(clientEvents) != nullptr; }));
  EXPECT_EQ(findChat(clientEvents)->text, "welcome, Bo");
  EXPECT_EQ(findChat(clientEvents)->sender, "Ada");
  stopNetworking(client);
}

}  // namespace
}  // namespace zorv::testing
