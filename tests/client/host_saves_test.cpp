// The host's world against its files and its clients: recorded edits win over region
// files when a world loads, failed saves say so and lose nothing, the send rates hold
// whatever the frame time, and requests for cells far from everything are answered.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

#include "game/commands.h"
#include "client/menu_actions.h"
#include "game/host_rules.h"
#include "game/multiplayer.h"
#include "game/world_life_cycle.h"
#include "persist/region_file.h"
#include "persist/save_file.h"
#include "save_files.h"
#include "session_test_support.h"
#include "world/registry.h"

namespace zorv {
namespace {

using testing::hasMessage;
using testing::flushColumns;
using testing::TemporarySaves;

std::size_t cellIndex(int x, int y, int z) {
  return static_cast<std::size_t>((y + 48) * 256 + (z & 15) * 16 + (x & 15));
}

// A level file of seed 1 with a flying player at (8.5, 60, 8.5) and the edit
// (8, 50, 8) = 12, and, when asked, a region file whose column (0, 0) holds air there.
void writeDisagreeingWorld(const std::string& name, bool withRegion) {
  LevelSave save;
  save.seed = 1;
  save.hasPlayer = true;
  save.player.x = 8.5f;
  save.player.y = 60.0f;
  save.player.z = 8.5f;
  save.player.flying = true;
  save.edits = {{8, 50, 8, 12, kNoFluidLevel}};
  ASSERT_TRUE(writeLevel(name, save));
  if (!withRegion) return;
  World generated(1);
  ensureColumn(generated, 0, 0);
  ColumnSnapshot column = snapshotColumn(generated, 0, 0);
  column.blocks[cellIndex(8, 50, 8)] = kAir;
  ASSERT_TRUE(flushColumns(name, {column}));
}

// Lets the autosave running in the background end, and the step that follows see it.
void finishBackgroundFlushAndReport(ClientSession& session) {
  for (int wait = 0; wait < 5000 && backgroundFlushRunning(*session.world); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    autosaveAndRunChunkJobs(session, 0.0f);
  }
}

EditVerdict placeVerdict(ClientSession& session) {
  const EditRequestMessage place{8, 50, 8, blocks::Planks, 0, 0};
  return checkEditRequest(*session.world, {8.5f, 53.0f, 10.5f}, place);
}

TEST(HostSaves, TheEditListWinsOverARegionFileThatLacksIt) {
  TemporarySaves saves;
  for (const bool withRegion : {false, true}) {
    SCOPED_TRACE(withRegion);
    const std::string name = withRegion ? "WithRegion" : "LevelOnly";
    writeDisagreeingWorld(name, withRegion);
    ClientSession session;
    session.networkRole = RoleHost;
    ASSERT_TRUE(loadWorld(session, name));
    EXPECT_EQ(getBlock(*session.world, 8, 50, 8), 12);
    EXPECT_EQ(placeVerdict(session), EditVerdict::Reject);  // answered with 12
    // The corrected column is written again, so the region file agrees from now on.
    ASSERT_TRUE(saveWorld(session));
    ColumnSnapshot stored;
    ASSERT_TRUE(loadColumn(name, 0, 0, stored));
    EXPECT_EQ(stored.blocks[cellIndex(8, 50, 8)], 12);
  }
}

TEST(HostSaves, AFailedSaveSaysSoKeepsItsColumnsAndLosesNothing) {
  TemporarySaves saves;
  ClientSession session;
  session.clock = [] { return 0.0; };
  createWorld(session, 77, "Blocked");
  ASSERT_TRUE(saveWorld(session));
  const int x = static_cast<int>(session.player.x), z = static_cast<int>(session.player.z);
  setBlock(*session.world, x, 55, z, blocks::Bookshelf);
  // The region file cannot be replaced (its temporary name is taken by a folder).
  const std::filesystem::path blocker =
      regionPath("Blocked", regionCoord(chunkCoord(x)), regionCoord(chunkCoord(z))).string() + ".tmp";
  std::filesystem::create_directories(blocker);
  const auto before = readFileBytes(regionPath("Blocked", regionCoord(chunkCoord(x)), regionCoord(chunkCoord(z))));

  runCommand(session, "/save");
  EXPECT_TRUE(hasMessage(session, "Could not save Blocked"));
  EXPECT_FALSE(hasMessage(session, "Saved Blocked"));
  EXPECT_TRUE(session.world->pendingColumns.count({chunkCoord(x), chunkCoord(z)}));
  EXPECT_EQ(readFileBytes(regionPath("Blocked", regionCoord(chunkCoord(x)), regionCoord(chunkCoord(z)))), before);
  // The level file was still written, so the edit survives a restart even now.
  {
    ClientSession reopened;
    ASSERT_TRUE(loadWorld(reopened, "Blocked"));
    ensureColumn(*reopened.world, chunkCoord(x), chunkCoord(z));
    EXPECT_EQ(getBlock(*reopened.world, x, 55, z), blocks::Bookshelf);
  }
  // An autosave that fails says so once, not at every autosave after it.
  for (int autosave = 0; autosave < 2; ++autosave) {
    autosaveAndRunChunkJobs(session, 5.1f);
    finishBackgroundFlushAndReport(session);
  }
  const std::vector<std::string> said = testing::messageTexts(session);
  EXPECT_EQ(std::count(said.begin(), said.end(), std::string("Could not save Blocked")), 2);  // /save, 1st autosave
  EXPECT_TRUE(session.saveFailing);
  // Once the region can be written the pending column goes out with the next save.
  std::filesystem::remove(blocker);
  runCommand(session, "/save");
  EXPECT_TRUE(hasMessage(session, "Saved Blocked"));
  EXPECT_TRUE(session.world->pendingColumns.empty());
  ColumnSnapshot stored;
  ASSERT_TRUE(loadColumn("Blocked", chunkCoord(x), chunkCoord(z), stored));
  EXPECT_EQ(stored.blocks[cellIndex(x, 55, z)], blocks::Bookshelf);
}

TEST(HostSaves, LeavingOrQuittingWithAFailedSaveSaysSo) {
  TemporarySaves saves;
  for (const PauseAction action : {PauseToMenu, PauseQuit}) {
    ClientSession session;
    createWorld(session, 78, "Stuck");
    std::filesystem::create_directories(worldFolder("Stuck") / "level.dat.tmp");
    handlePauseAction(session, action);
    if (action == PauseToMenu) {
      EXPECT_EQ(session.menuStatus, "Could not save Stuck");
    } else {
      EXPECT_TRUE(hasMessage(session, "Could not save Stuck"));
      EXPECT_TRUE(session.quitRequested);
    }
    std::filesystem::remove(worldFolder("Stuck") / "level.dat.tmp");
  }
}

// A host whose datagrams are counted instead of sent, with one welcomed peer (id 2).
struct CountingHost {
  ClientSession session;
  std::map<MessageType, int> sent;
  std::vector<BlockEdit> editsSent;
  const Endpoint peer{0x0A000002, 4000};

  explicit CountingHost(std::int32_t seed) {
    std::string error;
    EXPECT_TRUE(startHost(session.net, 0, error)) << error;
    session.net.transmitHook = [this](const Endpoint&, ByteView datagram) {
      const auto header = parseHeader(datagram);
      if (!header) return;
      ++sent[header->type];
      std::vector<BlockEdit> edits;
      if (header->type == MessageType::BlockEdits &&
          decodeBlockEdits(datagram.subspan(kHeaderSize), kHostEditsPerMessage, edits)) {
        editsSent.insert(editsSent.end(), edits.begin(), edits.end());
      }
    };
    session.networkRole = RoleHost;
    session.localPlayerId = 1;
    session.world = std::make_unique<World>(seed);
    createEmptyColumn(*session.world, 0, 0);
    const Bytes hello = buildDatagram({MessageType::Hello, true, 1, 0}, encodeHello({4, kInitialModFingerprint, "Peer"}));
    handleDatagram(session.net, peer, hello, sessionNow(session.net));
    updateMultiplayer(session, 0.0f);
    // The peer acknowledges its Welcome (sequence 1), so it is a player and hears everything.
    handleDatagram(session.net, peer, buildDatagram({MessageType::Ping, false, 0, 1}, encodeNonce(1)),
                   sessionNow(session.net));
    updateMultiplayer(session, 0.0f);
    sent.clear();
    editsSent.clear();
  }
  ~CountingHost() { session.net.transmitHook = nullptr; }
  void run(double seconds, float dt) {
    for (double t = 0; t + dt / 2 < seconds; t += dt) updateMultiplayer(session, dt);
  }
};

TEST(HostSaves, SendRatesHoldAtEveryFrameTime) {
  for (const float dt : {0.05f, 0.016f, 0.03f}) {
    SCOPED_TRACE(dt);
    CountingHost host(5);
    host.run(3.0, dt);
    // The host's own state every 0.05 s, snapshots every 1/15 s, the clock every second.
    EXPECT_NEAR(host.sent[MessageType::PlayerState], 60, 1);
    EXPECT_NEAR(host.sent[MessageType::MobSnapshot], 45, 1);
    EXPECT_NEAR(host.sent[MessageType::DropSnapshot], 45, 1);
    EXPECT_NEAR(host.sent[MessageType::WorldClock], 3, 1);
  }
  // After a stall the timers fire once, not in a burst.
  CountingHost stalled(5);
  updateMultiplayer(stalled.session, 0.1f);
  updateMultiplayer(stalled.session, 5.0f);
  updateMultiplayer(stalled.session, 0.001f);
  EXPECT_EQ(stalled.sent[MessageType::PlayerState], 2);
}

TEST(HostSaves, RequestsFarFromEveryLoadedColumnAreAnsweredWithoutLoadingIt) {
  CountingHost host(31);
  World reference(31);
  ensureColumn(reference, 62, 0);
  const int y = 20;
  const auto request = [&](int x) {
    SessionEvent event;
    event.kind = SessionEventKind::EditRequested;
    event.playerId = 2;
    event.edit = {x, y, 5, blocks::Planks, 0, 0};
    applyEvents(host.session, {event});
    updateMultiplayer(host.session, 0.0f);
  };
  request(1000);
  ASSERT_EQ(host.editsSent.size(), 1u);
  EXPECT_EQ(host.editsSent[0], (BlockEdit{1000, y, 5, getBlock(reference, 1000, y, 5), kNoFluidLevel}));
  EXPECT_FALSE(isColumnLoaded(*host.session.world, 62, 0));
  // A recorded edit there is what goes back.
  applySavedEdit(*host.session.world, 1001, y, 5, blocks::Bricks, -1);
  request(1001);
  ASSERT_EQ(host.editsSent.size(), 2u);
  EXPECT_EQ(host.editsSent[1].block, blocks::Bricks);
  EXPECT_FALSE(isColumnLoaded(*host.session.world, 62, 0));
}

}  // namespace
}  // namespace zorv
