// The dedicated server in this process: start-up on a new and an existing world, the
// console commands, and the host's rules running without a local player.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "server/dedicated_server.h"
#include "game/game_mod_context.h"
#include "game/multiplayer.h"
#include "mods/loader.h"
#include "persist/level_save.h"
#include "world/terrain.h"
#include "server_process.h"
#include "temporary_saves.h"
#include "game/host_rules.h"
#include "game/world_life_cycle.h"

namespace zorv::testing {
namespace {

bool logged(const GameSession& session, const std::string& text) {
  for (const LogEntry& entry : session.messages) {
    if (entry.text == text) return true;
  }
  return false;
}

TEST(DedicatedServer, StartsOnANewWorldAndReopensItWithTheSameSeed) {
  TemporarySaves saves;
  const std::uint16_t port = freeUdpPort();
  std::uint32_t seed = 0;
  {
    DedicatedServer server;
    std::string error;
    ASSERT_TRUE(startDedicatedServer(server, {"Fresh", port, "abc"}, error)) << error;
    const GameSession& session = server.session;
    EXPECT_EQ(session.seed, fnv1a(kFingerprintBasis, "abc"));
    EXPECT_EQ(session.seed, 440920331u);  // FNV-1a of "abc"
    EXPECT_EQ(session.networkRole, RoleHost);
    EXPECT_FALSE(session.hasLocalPlayer);
    EXPECT_TRUE(session.net.active);
    EXPECT_TRUE(std::filesystem::exists(saves.root() / "Fresh" / "level.dat"));
    EXPECT_TRUE(logged(session, "Hosting \"Fresh\" on UDP " + std::to_string(port)));
    seed = session.seed;
    stopDedicatedServer(server);
    EXPECT_FALSE(server.session.net.active);
  }
  DedicatedServer again;
  std::string error;
  ASSERT_TRUE(startDedicatedServer(again, {"Fresh", port, "another seed text"}, error)) << error;
  EXPECT_EQ(again.session.seed, seed);  // an existing world keeps its own seed
  stopDedicatedServer(again);
}

TEST(DedicatedServer, ConsoleTakesTheServerCommandsOnly) {
  TemporarySaves saves;
  DedicatedServer server;
  std::string error;
  ASSERT_TRUE(startDedicatedServer(server, {"Console", freeUdpPort(), "console"}, error)) << error;
  GameSession& session = server.session;
  runServerCommand(server, "   ");
  runServerCommand(server, "/list");
  EXPECT_TRUE(logged(session, "Players online: 0"));
  runServerCommand(server, "time day");  // the '/' may be left out
  EXPECT_FLOAT_EQ(session.timeOfDay, 0.25f);
  runServerCommand(server, "  /TIME night \r");
  EXPECT_FLOAT_EQ(session.timeOfDay, 0.75f);
  runServerCommand(server, "/weather snow");
  EXPECT_EQ(session.weather, WeatherSnow);
  runServerCommand(server, "/fill 0 0 0 1 1 1 stone");  // needs a player's world view: not here
  EXPECT_TRUE(logged(session, "Unknown command: fill (try /help)"));
  runServerCommand(server, "/gamemode survival");
  EXPECT_TRUE(logged(session, "Unknown command: gamemode (try /help)"));
  runServerCommand(server, "/help");
  EXPECT_TRUE(logged(session, "/stop  (save, say goodbye and shut down)"));
  EXPECT_FALSE(server.stopRequested);
  runServerCommand(server, "/Stop");
  EXPECT_TRUE(server.stopRequested);
  stopDedicatedServer(server);
}

TEST(DedicatedServer, NightSpawnsAndMobsFollowTheClientsNotAnAbsentPlayer) {
  TemporarySaves saves;
  DedicatedServer server;
  std::string error;
  ASSERT_TRUE(startDedicatedServer(server, {"Night", freeUdpPort(), "night"}, error)) << error;
  GameSession& session = server.session;
  EXPECT_TRUE(mobTargets(session).empty());
  // The client stands 60 blocks from the spawn, on the highest of four candidate spots;
  // the terrain around it gets solid ground with room above wherever a zombie may appear.
  World& world = *session.world;
  const int sx = static_cast<int>(std::floor(session.spawnPoint.x));
  const int sz = static_cast<int>(std::floor(session.spawnPoint.z));
  int cx = sx + 60, cz = sz;
  for (const auto& [dx, dz] : {std::pair{-60, 0}, std::pair{0, 60}, std::pair{0, -60}}) {
    if (surfaceHeight(world, sx + dx, sz + dz) > surfaceHeight(world, cx, cz)) cx = sx + dx, cz = sz + dz;
  }
  ensureColumnsAround(world, cx, cz, 2);
  for (int x = cx - 21; x <= cx + 21; ++x) {
    for (int z = cz - 21; z <= cz + 21; ++z) {
      const int h = surfaceHeight(world, x, z);
      setBlockRaw(world, x, h, z, blocks::Stone);
      setBlockRaw(world, x, h + 1, z, kAir);
      setBlockRaw(world, x, h + 2, z, kAir);
    }
  }
  RemotePlayer client;
  client.id = 2;
  client.known = true;
  client.x = static_cast<float>(cx) + 0.5f;
  client.y = static_cast<float>(surfaceHeight(world, cx, cz)) + 2.62f;
  client.z = static_cast<float>(cz) + 0.5f;
  session.remotePlayers.push_back(client);
  ASSERT_EQ(mobTargets(session).size(), 1u);
  EXPECT_FLOAT_EQ(mobTargets(session)[0].x, client.x);

  session.mobs.clear();
  session.timeOfDay = 0.75f;  // midnight
  session.spawnTimer = 0.0f;
  const float before = session.timeOfDay;
  stepHostRules(session, 0.05f);
  // Spawned zombies stand 12 to 20 blocks from the client, so away from the empty spawn
  // (checked before they walk off).
  ASSERT_FALSE(session.mobs.empty());
  for (const Mob& mob : session.mobs) {
    EXPECT_EQ(mob.kind, MobZombie);
    EXPECT_LE(std::hypot(mob.x - client.x, mob.z - client.z), 21.0f);
    EXPECT_NE(mob.id, 0);
  }
  for (int i = 1; i < 20; ++i) stepHostRules(session, 0.05f);
  EXPECT_NEAR(session.timeOfDay, before + 1.0f / 180.0f, 1e-5f);  // twenty steps of 0.05 s
  stopDedicatedServer(server);
}


TEST(DedicatedServer, ColumnsFarFromEveryPlayerAreFreedWithTheirEditsKept) {
  TemporarySaves saves;
  DedicatedServer server;
  std::string error;
  ASSERT_TRUE(startDedicatedServer(server, {"Roam", freeUdpPort(), "roam"}, error)) << error;
  GameSession& session = server.session;
  World& world = *session.world;
  RemotePlayer near, roamer;
  near.id = 2;
  roamer.id = 3;
  near.known = roamer.known = true;
  near.x = session.spawnPoint.x;
  near.z = session.spawnPoint.z;
  roamer.x = session.spawnPoint.x + 640.0f;  // 40 columns out
  roamer.z = session.spawnPoint.z;
  near.y = roamer.y = 60.0f;
  session.remotePlayers = {near, roamer};
  const int fx = static_cast<int>(std::floor(roamer.x)), fz = static_cast<int>(std::floor(roamer.z));
  const auto loadedAroundRoamer = [&] {
    int loaded = 0;
    for (int dz = -1; dz <= 1; ++dz) {
      for (int dx = -1; dx <= 1; ++dx) loaded += isColumnLoaded(world, chunkCoord(fx) + dx, chunkCoord(fz) + dz);
    }
    return loaded;
  };
  // The roamer's own column at once, the ones around it spread over the next steps.
  stepHostRules(session, 0.05f);
  ASSERT_TRUE(isColumnLoaded(world, chunkCoord(fx), chunkCoord(fz)));
  EXPECT_LT(loadedAroundRoamer(), 9);
  setBlock(world, fx, 50, fz, blocks::Bookshelf);

  // Both players keep their columns; once the roamer walks back, the far ones go.
  stepHostRules(session, 0.05f);
  stepHostRules(session, 0.05f);
  EXPECT_EQ(loadedAroundRoamer(), 9);
  session.remotePlayers[1].x = near.x + 20.0f;
  stepHostRules(session, 0.05f);
  EXPECT_FALSE(isColumnLoaded(world, chunkCoord(fx), chunkCoord(fz)));
  EXPECT_TRUE(isColumnLoaded(world, chunkCoord(static_cast<int>(std::floor(near.x))),
                             chunkCoord(static_cast<int>(std::floor(near.z)))));
  ASSERT_TRUE(saveWorld(session));
  ColumnSnapshot stored;
  ASSERT_TRUE(loadColumnFrom(saves.root() / "Roam", chunkCoord(fx), chunkCoord(fz), stored));
  EXPECT_EQ(stored.blocks[static_cast<std::size_t>((50 + 48) * 256 + (fz & 15) * 16 + (fx & 15))], blocks::Bookshelf);
  stopDedicatedServer(server);
}

TEST(DedicatedServer, ModsFindNoPlayerOfTheServerToGiveToOrMove) {
  TemporarySaves saves;
  DedicatedServer server;
  std::string error;
  ASSERT_TRUE(startDedicatedServer(server, {"Mods", freeUdpPort(), "mods"}, error)) << error;
  GameSession& session = server.session;
  GameModContext context(session);
  const PlayerBody unused = session.player;
  EXPECT_FALSE(context.give("zorvander:stone", 5));
  EXPECT_TRUE(std::all_of(session.inventory.slots.begin(), session.inventory.slots.end(),
                          [](const ItemStack& slot) { return slot.empty(); }));
  context.teleport(5000.0f, 80.0f, 5000.0f);
  EXPECT_EQ(session.player.x, unused.x);
  EXPECT_FALSE(isColumnLoaded(*session.world, chunkCoord(5000), chunkCoord(5000)));
  float x = 0, y = 0, z = 0;
  context.playerPosition(x, y, z);
  EXPECT_EQ(x, session.spawnPoint.x);
  EXPECT_EQ(z, session.spawnPoint.z);
  // Everything that needs no player still works.
  EXPECT_TRUE(context.setBlock(1, 60, 1, "zorvander:planks"));
  EXPECT_TRUE(context.spawnDrop(1, 61, 1, "zorvander:stone", 2));
  stopDedicatedServer(server);
}

// The console runs mod commands as "server"; a player's "/" line naming one runs it
// under the player's name (its answer goes to that player, not into the host's log),
// and any other chat line is chat.
TEST(DedicatedServer, ModCommandsRunFromTheConsoleAndFromPlayersLines) {
  TemporarySaves saves;
  DedicatedServer server;
  std::string error;
  ASSERT_TRUE(startDedicatedServer(server, {"ModCommands", freeUdpPort(), "mods"}, error)) << error;
  GameSession& session = server.session;
  const std::filesystem::path packages = saves.root() / "packages";
  std::filesystem::create_directories(packages);
  ASSERT_TRUE(writeArchive(packages / "greeter.zip", {{"main.lua", R"(
    local last = 'nobody'
    zorv.register_command('greet', function(arg, player) last = player return 'hello ' .. player .. ' ' .. arg end)
    zorv.register_command('caller', function() return 'last ' .. last end)
  )"}}));
  loadMods(session.mods, packages, session.modContext.get());
  ASSERT_EQ(modIds(session.mods), std::vector<std::string>{"greeter"});

  runServerCommand(server, "/greet everyone");
  EXPECT_TRUE(logged(session, "hello server everyone"));
  runServerCommand(server, "nosuch");
  EXPECT_TRUE(logged(session, "Unknown command: nosuch (try /help)"));

  std::vector<SessionEvent> events(2);
  for (SessionEvent& event : events) {
    event.kind = SessionEventKind::ChatReceived;
    event.playerId = 7;
    event.sender = "Alice";
  }
  events[0].text = "/GREET you";
  events[1].text = "/nosuch thing";
  applyEvents(session, events);
  EXPECT_FALSE(logged(session, "hello Alice you"));
  EXPECT_FALSE(logged(session, "Alice: /GREET you"));
  EXPECT_TRUE(logged(session, "Alice: /nosuch thing"));
  runServerCommand(server, "caller");
  EXPECT_TRUE(logged(session, "last Alice"));
  stopDedicatedServer(server);
}

// A player's mod command runs for that player: the position is theirs as last received,
// items go into their game's inventory, and a teleport (their game owns their position)
// is refused. The server itself has no inventory to fill.
TEST(DedicatedServer, APlayersModCommandActsForThatPlayer) {
  TemporarySaves saves;
  DedicatedServer server;
  std::string error;
  const std::uint16_t port = freeUdpPort();
  ASSERT_TRUE(startDedicatedServer(server, {"ForPlayers", port, "mods"}, error)) << error;
  GameSession& session = server.session;
  const std::filesystem::path packages = saves.root() / "packages";
  std::filesystem::create_directories(packages);
  ASSERT_TRUE(writeArchive(packages / "helper.zip", {{"main.lua", R"(
    zorv.register_command('where', function()
      local x, y, z = zorv.player_position()
      return string.format('at %d %d %d', math.floor(x), math.floor(y), math.floor(z))
    end)
    zorv.register_command('gift', function(count) return 'gift ' .. tostring(zorv.give('zorvander:stone', tonumber(count))) end)
    zorv.register_command('jump', function() return 'jump ' .. tostring(zorv.teleport(10, 40, 10)) end)
  )"}}));
  loadMods(session.mods, packages, session.modContext.get());
  ASSERT_EQ(modIds(session.mods), std::vector<std::string>{"helper"});

  HeadlessClient alice(port, "Alice");
  const auto serve = [&] { stepDedicatedServer(server, 0.005f); };
  ASSERT_TRUE(alice.runUntil([&] { return alice.playing(); }, 20.0, serve));
  PlayerBody& body = alice.session.player;
  body.x = 123.5f;
  body.y = 50.0f;
  body.z = -77.5f;
  const auto hostSeesAlice = [&] {
    return std::any_of(session.remotePlayers.begin(), session.remotePlayers.end(),
                       [](const RemotePlayer& player) { return player.known && player.x == 123.5f; });
  };
  ASSERT_TRUE(alice.runUntil(hostSeesAlice, 10.0, serve));

  const auto ask = [&](const std::string& line, const std::string& answer) {
    sendChat(alice.session.net, line);
    return alice.runUntil([&] { return alice.hasMessage("server: " + answer); }, 10.0, serve);
  };
  EXPECT_TRUE(ask("/where", "at 123 50 -78"));
  EXPECT_TRUE(ask("/gift 3", "gift true"));
  EXPECT_TRUE(alice.runUntil([&] { return alice.session.inventory.countOf(blocks::Stone) == 3; }, 10.0, serve));
  EXPECT_TRUE(ask("/jump", "jump false"));
  EXPECT_EQ(body.x, 123.5f);
  EXPECT_TRUE(std::all_of(session.inventory.slots.begin(), session.inventory.slots.end(),
                          [](const ItemStack& slot) { return slot.empty(); }));

  // The console's own commands still act for nobody in particular: the spawn, no items.
  runServerCommand(server, "/where");
  EXPECT_TRUE(logged(session, "at " + std::to_string(floorToInt(session.spawnPoint.x)) + " " +
                                  std::to_string(floorToInt(session.spawnPoint.y)) + " " +
                                  std::to_string(floorToInt(session.spawnPoint.z))));
  runServerCommand(server, "/gift 2");
  EXPECT_TRUE(logged(session, "gift false"));
  stopNetworking(session);
  stopDedicatedServer(server);
}

}  // namespace
}  // namespace zorv::testing
