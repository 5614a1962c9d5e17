// How each session event changes the game, on hand-made events: the host's handling of
// client requests and the client's handling of what the host sends.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "client/client_session.h"
#include "game/multiplayer.h"
#include "session_test_support.h"
#include "world/registry.h"

namespace zorv {
namespace {

using testing::hasMessage;

// A host session on empty columns around the origin with a stone floor at y = 10, and a
// known client (id 2, "Alice") standing on it at (2.5, 12.62, 2.5).
struct HostTable {
  ClientSession session;
  HostTable() {
    session.networkRole = RoleHost;
    session.localPlayerId = 1;
    session.world = std::make_unique<World>(99);
    for (int cx = -1; cx <= 0; ++cx) {
      for (int cz = -1; cz <= 0; ++cz) createEmptyColumn(*session.world, cx, cz);
    }
    for (int x = -16; x < 16; ++x) {
      for (int z = -16; z < 16; ++z) setBlockRaw(*session.world, x, 10, z, blocks::Stone);
    }
    setCaptureEnabled(*session.world, true);
    SessionEvent moved;
    moved.kind = SessionEventKind::PlayerMoved;
    moved.playerId = 2;
    moved.state = {2, 2.5f, 12.62f, 2.5f, 0, 0, 1, 20, 0};
    applyEvents(session, {moved});
    session.remotePlayers.front().name = "Alice";
  }
  void request(EditRequestMessage edit) {
    SessionEvent event;
    event.kind = SessionEventKind::EditRequested;
    event.playerId = 2;
    event.edit = edit;
    applyEvents(session, {event});
  }
  BlockId at(int x, int y, int z) const { return getBlock(*session.world, x, y, z); }
};

TEST(MultiplayerEvents, HostBreaksForSurvivalClientsWithDropsAndTakesTorchesAlong) {
  const ItemId woodenPickaxe = itemRegistry().findItem("wooden_pickaxe");
  const ItemId coal = itemRegistry().findItem("coal");
  ASSERT_NE(woodenPickaxe, 0);
  ASSERT_NE(coal, 0);
  HostTable survival;
  setBlockRaw(*survival.session.world, 3, 10, 3, blocks::CoalOre);
  setBlockRaw(*survival.session.world, 3, 11, 3, blocks::Torch);
  survival.request({3, 10, 3, kAir, ModeSurvival, woodenPickaxe});
  EXPECT_EQ(survival.at(3, 10, 3), kAir);
  EXPECT_EQ(survival.at(3, 11, 3), kAir);  // the torch lost its support
  ASSERT_EQ(survival.session.drops.size(), 2u);
  EXPECT_EQ(survival.session.drops[0].item, coal);
  EXPECT_FLOAT_EQ(survival.session.drops[0].y, 10.5f);
  EXPECT_EQ(survival.session.drops[1].item, blocks::Torch);
  EXPECT_FLOAT_EQ(survival.session.drops[1].y, 11.5f);
  EXPECT_NE(survival.session.drops[0].entityId, 0);
  EXPECT_EQ(takeCapture(*survival.session.world).size(), 2u);  // both changes reach the clients

  HostTable creative;
  setBlockRaw(*creative.session.world, 3, 10, 3, blocks::CoalOre);
  creative.request({3, 10, 3, kAir, ModeCreative, woodenPickaxe});
  EXPECT_EQ(creative.at(3, 10, 3), kAir);
  EXPECT_TRUE(creative.session.drops.empty());

  // Placing: accepted on stone, refused on water and beyond reach (7 blocks away).
  creative.request({1, 11, 1, blocks::Torch, ModeCreative, 0});
  EXPECT_EQ(creative.at(1, 11, 1), blocks::Torch);
  setBlockRaw(*creative.session.world, 0, 10, 4, blocks::Water);
  creative.request({0, 11, 4, blocks::Torch, ModeCreative, 0});
  EXPECT_EQ(creative.at(0, 11, 4), kAir);
  creative.request({2, 10, 9, kAir, ModeCreative, 0});  // its centre is 7.3 blocks from the eye
  EXPECT_EQ(creative.at(2, 10, 9), blocks::Stone);
}

TEST(MultiplayerEvents, HostGrantsEachDropOnceAndAppliesAttacks) {
  HostTable table;
  ClientSession& host = table.session;
  spawnDrop(host.drops, {2.5f, 11.0f, 2.5f}, blocks::Dirt, 3, 0);
  host.drops[0].age = 1.0f;
  assignEntityIds(host);
  const std::int32_t dropId = host.drops[0].entityId;
  SessionEvent pickup;
  pickup.kind = SessionEventKind::PickupRequested;
  pickup.playerId = 2;
  pickup.dropId = dropId;
  applyEvents(host, {pickup, pickup});
  EXPECT_TRUE(host.drops.empty());

  Mob zombie;
  zombie.id = 50;
  zombie.kind = MobZombie;
  zombie.health = 20;
  zombie.x = 4.5f;
  zombie.y = 11.5f;
  zombie.z = 2.5f;
  host.mobs.push_back(zombie);
  SessionEvent attack;
  attack.kind = SessionEventKind::MobAttacked;
  attack.playerId = 2;
  attack.attack = {50, 0};
  applyEvents(host, {attack});
  EXPECT_EQ(host.mobs[0].health, 19);
  attack.attack = {50, 50};
  applyEvents(host, {attack});
  EXPECT_EQ(host.mobs[0].health, 9);
  attack.attack = {12345, 50};  // nobody
  applyEvents(host, {attack});
  EXPECT_EQ(host.mobs[0].health, 9);

  SessionEvent gone;
  gone.kind = SessionEventKind::PeerGone;
  gone.playerId = 2;
  applyEvents(host, {gone});
  EXPECT_TRUE(host.remotePlayers.empty());
  EXPECT_TRUE(hasMessage(host, "Alice left the game"));
}

SessionEvent welcomeEvent(float x, float y, float z, std::uint8_t weather) {
  SessionEvent event;
  event.kind = SessionEventKind::Welcomed;
  event.welcome = {3, 4242, x, y, z, 1.5f, weather, ""};
  return event;
}

SessionEvent readyEvent() {
  SessionEvent event;
  event.kind = SessionEventKind::WorldReady;
  return event;
}

TEST(MultiplayerEvents, ClientBuildsTheReceivedWorldAndEntersItAtTheSpawn) {
  ClientSession client;
  client.networkRole = RoleClient;
  client.inventory.add(blocks::Dirt, 5, 0);
  applyEvents(client, {welcomeEvent(100.0f, 40.0f, -20.0f, 7)});
  ASSERT_NE(client.world, nullptr);
  EXPECT_EQ(client.localPlayerId, 3);
  EXPECT_EQ(client.seed, 4242u);
  EXPECT_EQ(client.weather, WeatherClear);
  EXPECT_FLOAT_EQ(client.timeOfDay, 1.0f);
  EXPECT_TRUE(client.inventory.isEmpty());
  EXPECT_EQ(client.menuStatus, "Downloading world...");
  EXPECT_FALSE(client.world->fluidsEnabled);
  ASSERT_EQ(client.remotePlayers.size(), 1u);
  EXPECT_EQ(client.remotePlayers[0].id, 1);
  EXPECT_EQ(client.remotePlayers[0].name, "Host");

  SessionEvent edits;
  edits.kind = SessionEventKind::EditsReceived;
  edits.edits = {{100, 20, -20, blocks::Bricks, 255}, {101, 20, -20, blocks::Water, 2}};
  applyEvents(client, {edits, readyEvent()});
  EXPECT_EQ(client.appState, AppPlaying);
  EXPECT_FLOAT_EQ(client.player.x, 100.0f);
  EXPECT_FLOAT_EQ(client.player.z, -20.0f);
  EXPECT_GE(client.player.y, 40.0f);
  EXPECT_FALSE(collidesAt(*client.world, {client.player.x, client.player.y, client.player.z}));
  EXPECT_FLOAT_EQ(client.player.yaw, -90.0f);
  EXPECT_EQ(client.player.mode, ModeCreative);
  EXPECT_EQ(getBlock(*client.world, 100, 20, -20), blocks::Bricks);
  EXPECT_EQ(getBlock(*client.world, 101, 20, -20), blocks::Water);
  EXPECT_EQ(fluidLevel(*client.world, 101, 20, -20), 2);
  EXPECT_TRUE(hasMessage(client, "Joined Host's world"));

  // A second ready changes nothing; the spawn (10, 30, 10) of another welcome puts the
  // player at x 10, z 10.
  applyEvents(client, {readyEvent()});
  setAppState(client, AppMenu);
  applyEvents(client, {welcomeEvent(10.0f, 30.0f, 10.0f, 1), readyEvent()});
  EXPECT_FLOAT_EQ(client.player.x, 10.0f);
  EXPECT_FLOAT_EQ(client.player.z, 10.0f);
  EXPECT_EQ(client.weather, WeatherRain);
}

TEST(MultiplayerEvents, ClientFollowsClockPlayersPickupsAndDisconnects) {
  ClientSession client;
  client.networkRole = RoleClient;
  applyEvents(client, {welcomeEvent(10.0f, 30.0f, 10.0f, 0), readyEvent()});

  SessionEvent clock;
  clock.kind = SessionEventKind::ClockReceived;
  clock.clock = {0.4f, 2};
  applyEvents(client, {clock});
  EXPECT_TRUE(hasMessage(client, "It starts to snow"));
  EXPECT_FLOAT_EQ(client.timeOfDay, 0.4f);
  clock.clock = {-3.0f, 9};
  applyEvents(client, {clock});
  EXPECT_TRUE(hasMessage(client, "The sky clears"));
  EXPECT_FLOAT_EQ(client.timeOfDay, 0.0f);

  SessionEvent moved;
  moved.kind = SessionEventKind::PlayerMoved;
  moved.playerId = 5;
  moved.state = {5, 1, 2, 3, 0.5f, 0.25f, 1, 17, 1};
  SessionEvent own = moved;
  own.playerId = 3;  // this client itself
  SessionEvent named;
  named.kind = SessionEventKind::PlayerNamed;
  named.playerId = 5;
  named.text = "Eve";
  applyEvents(client, {moved, own, named});
  ASSERT_EQ(client.remotePlayers.size(), 2u);
  const RemotePlayer& eve = client.remotePlayers[1];
  EXPECT_EQ(eve.name, "Eve");
  EXPECT_TRUE(eve.known);
  EXPECT_FLOAT_EQ(eve.shownZ, 3.0f);
  EXPECT_EQ(eve.health, 17);
  SessionEvent left;
  left.kind = SessionEventKind::PlayerLeft;
  left.playerId = 5;
  applyEvents(client, {left});
  EXPECT_TRUE(hasMessage(client, "Eve left the game"));
  EXPECT_EQ(client.remotePlayers.size(), 1u);

  SessionEvent drops;
  drops.kind = SessionEventKind::DropsReceived;
  drops.drops = {{77, 10, 30, 10, blocks::Dirt, 0, 3, 1.0f}};
  SessionEvent grant;
  grant.kind = SessionEventKind::PickupGranted;
  grant.pickup = {77, blocks::Dirt, 0, 3};
  SessionEvent unknown = grant;
  unknown.pickup = {78, 0x7000, 0, 3};
  applyEvents(client, {drops, grant, unknown});
  EXPECT_EQ(client.inventory.countOf(blocks::Dirt), 3);
  EXPECT_TRUE(client.drops.empty());
  EXPECT_TRUE(hasMessage(client, "Picked up dirt x3"));

  SessionEvent chat;
  chat.kind = SessionEventKind::ChatReceived;
  chat.sender = "Host";
  chat.text = "hi";
  SessionEvent lost;
  lost.kind = SessionEventKind::Disconnected;
  lost.text = "Connection lost";
  applyEvents(client, {chat, lost});
  EXPECT_TRUE(hasMessage(client, "Host: hi"));
  EXPECT_TRUE(hasMessage(client, "Disconnected: Connection lost"));
  EXPECT_EQ(client.appState, AppMenu);
  EXPECT_EQ(client.menuScreen, MenuMultiplayer);
  EXPECT_EQ(client.menuStatus, "Connection lost");
  EXPECT_EQ(client.networkRole, RoleOffline);
  EXPECT_EQ(client.world, nullptr);

  SessionEvent rejected;
  rejected.kind = SessionEventKind::JoinRejected;
  rejected.text = "Mod lists do not match";
  client.networkRole = RoleClient;
  applyEvents(client, {welcomeEvent(10.0f, 30.0f, 10.0f, 0), rejected});
  EXPECT_TRUE(hasMessage(client, "Join failed: Mod lists do not match"));
  EXPECT_EQ(client.world, nullptr);
  EXPECT_EQ(client.menuStatus, "Mod lists do not match");
  EXPECT_EQ(client.menuScreen, MenuMultiplayer);
}

TEST(MultiplayerEvents, OwnStateTravelsInRadiansWithClampedHealth) {
  ClientSession session;
  session.networkRole = RoleHost;
  session.player.yaw = 180.0f;
  session.player.pitch = -90.0f;
  session.player.health = 300;
  session.player.flying = true;
  const PlayerStateMessage state = localPlayerState(session);
  EXPECT_EQ(state.playerId, 1);
  EXPECT_NEAR(state.yaw, 3.14159265f, 1e-6f);
  EXPECT_NEAR(state.pitch, -1.57079633f, 1e-6f);
  EXPECT_EQ(state.health, 255);
  EXPECT_EQ(state.flying, 1);
  session.player.health = -4;
  EXPECT_EQ(localPlayerState(session).health, 0);
}

}  // namespace
}  // namespace zorv
