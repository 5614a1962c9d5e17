// The dedicated server as its own process on a loop-back port, played against by
// headless clients in this process: joining, edits validated by the server, chat,
// leaving, saving, a second player receiving the first one's edits, bad input, and the
// orderly ends by console command and by signal.

#include <cmath>
#include <limits>

#include "persist/level_save.h"
#include "server_process.h"
#include "world/physics.h"
#include "world/registry.h"
#include "game/world_life_cycle.h"

namespace zorv::testing {
namespace {

constexpr double kJoinSeconds = 20.0;
constexpr const char* kWorld = "Shared";
constexpr const char* kSeedText = "two processes";

struct Cell {
  int x = 0, y = 0, z = 0;
};

BlockId blockAt(ClientSession& session, Cell cell) {
  ensureColumn(*session.world, chunkCoord(cell.x), chunkCoord(cell.z));
  return getBlock(*session.world, cell.x, cell.y, cell.z);
}

// The highest solid cell of a column.
Cell surfaceCell(ClientSession& session, int x, int z) {
  ensureColumn(*session.world, chunkCoord(x), chunkCoord(z));
  int y = kMaxY;
  while (y > kMinY && !blockRegistry().get(getBlock(*session.world, x, y, z)).solid) --y;
  return {x, y, z};
}

Vec3 eye(const ClientSession& session) { return {session.player.x, session.player.y, session.player.z}; }

bool savedEditAt(const LevelSave& save, Cell cell, BlockId block) {
  for (const SavedEdit& edit : save.edits) {
    if (edit.x == cell.x && edit.y == cell.y && edit.z == cell.z) return edit.block == block;
  }
  return false;
}

bool hasSavedEditAt(const LevelSave& save, Cell cell) {
  for (const SavedEdit& edit : save.edits) {
    if (edit.x == cell.x && edit.y == cell.y && edit.z == cell.z) return true;
  }
  return false;
}

LevelSave readServerLevel(const ServerFolder& folder) {
  setSavesRoot(folder.saves());
  LevelSave save;
  EXPECT_TRUE(readLevel(kWorld, save));
  setSavesRoot({});
  return save;
}

// Saves through the console and waits for the confirmation after `from`.
void saveNow(ServerProcess& server) {
  const std::size_t from = server.output().size();
  server.type("/save");
  ASSERT_TRUE(server.waitFor("[log] Saved Shared", 10.0, from)) << server.output();
}

// Breaks locally at once and asks the server, as gameplay does.
void breakAndAsk(ClientSession& session, Cell cell) {
  setBlock(*session.world, cell.x, cell.y, cell.z, kAir);
  requestEdit(session.net, {cell.x, cell.y, cell.z, kAir, session.player.mode, 0});
}

void placeAndAsk(ClientSession& session, Cell cell, BlockId block) {
  setBlock(*session.world, cell.x, cell.y, cell.z, block);
  requestEdit(session.net, {cell.x, cell.y, cell.z, block, session.player.mode, 0});
}

TEST(ServerProcess, ClientsPlayTogetherThroughTheServerAndItsSaveKeepsTheirEdits) {
  ServerFolder folder;
  const std::uint16_t port = freeUdpPort();
  ServerProcess server(folder, {kWorld, std::to_string(port), "--seed", kSeedText});
  ASSERT_TRUE(server.waitFor("[log] Hosting \"Shared\" on UDP " + std::to_string(port), kJoinSeconds))
      << server.output();

  // The first player joins and stands on the server's world at its spawn.
  auto alice = std::make_unique<HeadlessClient>(port, "Alice");
  ASSERT_TRUE(alice->runUntil([&] { return alice->playing(); }, kJoinSeconds)) << server.output();
  ClientSession& a = alice->session;
  const std::uint32_t seed = fnv1a(kFingerprintBasis, kSeedText);
  EXPECT_EQ(a.seed, seed);
  World reference(static_cast<std::int32_t>(seed));
  const Vec3 spawn = findSpawnPoint(reference);
  EXPECT_FLOAT_EQ(a.spawnPoint.x, spawn.x);
  EXPECT_FLOAT_EQ(a.spawnPoint.y, spawn.y);
  EXPECT_FLOAT_EQ(a.spawnPoint.z, spawn.z);
  EXPECT_FLOAT_EQ(a.player.x, spawn.x);
  EXPECT_FLOAT_EQ(a.player.z, spawn.z);
  EXPECT_TRUE(alice->hasMessage("Joined Server's world"));
  EXPECT_TRUE(server.waitFor("[log] Alice joined the game", 5.0));
  server.whileWaiting = [&] { alice->frame(); };
  alice->runFor(0.3);  // the server hears where Alice stands

  // The block under her feet, a block placed two cells away, and a block ten cells away.
  const Cell floor = surfaceCell(a, static_cast<int>(std::floor(spawn.x)), static_cast<int>(std::floor(spawn.z)));
  Cell placed = surfaceCell(a, floor.x + 2, floor.z);
  placed.y += 1;
  ASSERT_TRUE(withinReach(eye(a), placed.x, placed.y, placed.z, kEditReach));
  const Cell far = surfaceCell(a, floor.x + 10, floor.z);
  const BlockId farBlock = blockAt(a, far);
  ASSERT_NE(farBlock, kAir);
  breakAndAsk(a, floor);
  placeAndAsk(a, placed, blocks::Planks);
  breakAndAsk(a, far);
  // Requests are handled in order, so the far cell coming back means all three were judged.
  ASSERT_TRUE(alice->runUntil([&] { return blockAt(a, far) == farBlock; }, 10.0));
  EXPECT_EQ(blockAt(a, floor), kAir);
  EXPECT_EQ(blockAt(a, placed), blocks::Planks);

  // A position that is not a number changes nothing the server measures reach from.
  PlayerStateMessage lost = localPlayerState(a);
  lost.x = std::numeric_limits<float>::quiet_NaN();
  sendOwnState(a.net, lost);
  breakAndAsk(a, far);
  ASSERT_TRUE(alice->runUntil([&] { return blockAt(a, far) == farBlock; }, 10.0));

  sendChat(a.net, "hello from Alice");
  EXPECT_TRUE(server.waitFor("[log] Alice: hello from Alice", 5.0)) << server.output();
  alice->runFor(0.2);
  shutdown(a.net);
  server.whileWaiting = nullptr;
  EXPECT_TRUE(server.waitFor("[log] Alice left the game", 5.0)) << server.output();
  alice.reset();

  saveNow(server);
  const LevelSave saved = readServerLevel(folder);
  EXPECT_EQ(saved.seed, seed);
  EXPECT_TRUE(savedEditAt(saved, floor, kAir));
  EXPECT_TRUE(savedEditAt(saved, placed, blocks::Planks));
  EXPECT_FALSE(hasSavedEditAt(saved, far));

  // A second player receives the first one's edits before it starts playing.
  HeadlessClient bob(port, "Bob");
  server.whileWaiting = [&] { bob.frame(); };
  ClientSession& b = bob.session;
  ASSERT_TRUE(bob.runUntil([&] { return bob.playing(); }, kJoinSeconds)) << server.output();
  EXPECT_EQ(blockAt(b, floor), kAir);
  EXPECT_EQ(blockAt(b, placed), blocks::Planks);
  EXPECT_EQ(blockAt(b, far), farBlock);

  // Bad input: cells outside the world or far beyond reach, a chat flood, an attack on
  // nobody, and a 200-byte name. None of it reaches the world or stops the server.
  requestEdit(b.net, {floor.x, 500, floor.z, blocks::Stone, 0, 0});
  requestEdit(b.net, {2000000, 40, 0, blocks::Stone, 0, 0});
  requestEdit(b.net, {floor.x + 5000, 40, floor.z, kAir, 0, 0});
  requestEdit(b.net, {placed.x, placed.y + 1, placed.z, 0x8005, 0, 0});
  attackMob(b.net, {987654, 10});
  for (int line = 0; line < 300; ++line) sendChat(b.net, "flood " + std::to_string(line));
  HeadlessClient longName(port, std::string(200, 'N'));
  server.whileWaiting = [&] {
    bob.frame();
    longName.frame();
  };
  ASSERT_TRUE(longName.runUntil([&] { return longName.playing(); }, kJoinSeconds, [&] { bob.frame(); }))
      << server.output();
  EXPECT_TRUE(server.waitFor("[log] " + std::string(20, 'N') + " joined the game", 5.0));
  EXPECT_TRUE(server.waitFor("[log] Bob: flood 299", 10.0));
  bob.runFor(0.3);
  server.type("/list");
  EXPECT_TRUE(server.waitFor("[log] Players online: 2", 5.0)) << server.output();

  saveNow(server);
  const LevelSave after = readServerLevel(folder);
  EXPECT_TRUE(savedEditAt(after, floor, kAir));
  EXPECT_TRUE(savedEditAt(after, placed, blocks::Planks));
  EXPECT_FALSE(hasSavedEditAt(after, {placed.x, placed.y + 1, placed.z}));
  EXPECT_FALSE(hasSavedEditAt(after, {floor.x + 5000, 40, floor.z}));

  // /stop: saved, every client told goodbye, exit status 0.
  server.whileWaiting = nullptr;
  server.type("/stop");
  ASSERT_EQ(server.waitExit(10.0), std::optional<int>(0)) << server.output();
  EXPECT_TRUE(bob.runUntil([&] { return b.appState == AppMenu; }, 5.0));
  EXPECT_TRUE(bob.hasMessage("Disconnected: Disconnected"));
  EXPECT_EQ(b.menuScreen, MenuMultiplayer);
  EXPECT_EQ(b.menuStatus, "Disconnected");
}

TEST(ServerProcess, SignalsSaveAndEndCleanlyAndBadCommandLinesAreRefused) {
  for (const int number : {SIGTERM, SIGINT}) {
    ServerFolder folder;
    const std::uint16_t port = freeUdpPort();
    ServerProcess server(folder, {kWorld, std::to_string(port)});
    ASSERT_TRUE(server.waitFor("[log] Hosting", kJoinSeconds)) << server.output();
    server.signal(number);
    EXPECT_EQ(server.waitExit(10.0), std::optional<int>(0)) << server.output();
    EXPECT_NE(server.output().find("[log] Saved Shared"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(folder.saves() / kWorld / "level.dat"));
  }
  ServerFolder folder;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {kWorld, "0"}, {kWorld, "65536"}, {kWorld, "12a"}, {kWorld, "--seed"},
        {kWorld, "1", "2"}}) {
    ServerProcess server(folder, args);
    EXPECT_EQ(server.waitExit(10.0), std::optional<int>(2));
  }
  EXPECT_FALSE(std::filesystem::exists(folder.saves()));
}

TEST(ServerProcess, APortInUseIsReportedAndTheConsoleClosingKeepsItRunning) {
  ServerFolder folder;
  UdpSocket holder;
  ASSERT_EQ(holder.open(0), UdpSocket::OpenResult::Ok);
  ServerProcess refused(folder, {kWorld, std::to_string(holder.localPort())});
  EXPECT_EQ(refused.waitExit(10.0), std::optional<int>(1));

  const std::uint16_t port = freeUdpPort();
  ServerProcess server(folder, {kWorld, std::to_string(port)});
  ASSERT_TRUE(server.waitFor("[log] Hosting", kJoinSeconds)) << server.output();
  server.closeConsole();
  EXPECT_FALSE(server.waitExit(0.5).has_value());
  HeadlessClient carol(port, "Carol");
  EXPECT_TRUE(carol.runUntil([&] { return carol.playing(); }, kJoinSeconds)) << server.output();
  server.signal(SIGTERM);
  EXPECT_EQ(server.waitExit(10.0), std::optional<int>(0));
}

}  // namespace
}  // namespace zorv::testing
