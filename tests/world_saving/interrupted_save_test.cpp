// Saves that stop half-way: the edit record wins over region snapshots it disagrees with,
// a save cut off between its region and level writes is detected when the world is next
// opened, and a process killed in exactly that window leaves a world on which the host
// and a client built from its edit list agree cell for cell.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "persist/level_save.h"
#include "persist/region_file.h"
#include "persist/save_file.h"
#include "persist/save_progress.h"
#include "world/registry.h"
#include "world/world.h"
#include "scratch_folder.h"

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 1;

std::size_t cellIndex(int x, int y, int z) {
  return static_cast<std::size_t>((y + 48) * 256 + (z & 15) * 16 + (x & 15));
}

class InterruptedSaveTest : public ::testing::Test {
 public:
  // The world as a host opens it: the folder, then every edit of the level file.
  std::unique_ptr<World> openHost() {
    auto world = std::make_unique<World>(kSeed);
    setSaveFolder(*world, folder);
    LevelSave save;
    if (readLevel(save)) applyEdits(*world, save.edits);
    return world;
  }
  bool readLevel(LevelSave& save) {
    const auto bytes = readFileBytes(folder / "level.dat");
    return bytes && parseLevel(*bytes, save);
  }
  static void applyEdits(World& world, const std::vector<SavedEdit>& edits) {
    for (const SavedEdit& edit : edits) {
      applySavedEdit(world, edit.x, edit.y, edit.z, edit.block, edit.fluidLevel == kNoFluidLevel ? -1 : edit.fluidLevel);
    }
  }
  bool save(World& world) {
    return flush(world, [&] {
      LevelSave level;
      level.seed = static_cast<std::uint32_t>(kSeed);
      level.edits = savedEdits(world);
      return writeLevelTo(folder, level);
    });
  }
  const testing::ScratchFolder scratch{"interrupted"};
  const std::filesystem::path folder = scratch.path();
};

TEST_F(InterruptedSaveTest, RecordedEditsWinOverTheRegionFileAndTheColumnIsWrittenAgain) {
  // A region file whose column (0, 0) holds air where the edit list says 12.
  {
    World generated(kSeed);
    ensureColumn(generated, 0, 0);
    ColumnSnapshot column = snapshotColumn(generated, 0, 0);
    column.blocks[cellIndex(8, 50, 8)] = kAir;
    ASSERT_TRUE(flushColumnsTo(folder, {column}));
  }
  World world(kSeed);
  setSaveFolder(world, folder);
  applySavedEdit(world, 8, 50, 8, 12, -1);
  ensureColumn(world, 0, 0);
  EXPECT_EQ(getBlock(world, 8, 50, 8), 12);
  EXPECT_TRUE(world.dirtyColumns.count({0, 0}));  // corrected, so written at the next save
  ASSERT_TRUE(flush(world));
  ColumnSnapshot stored;
  ASSERT_TRUE(loadColumnFrom(folder, 0, 0, stored));
  EXPECT_EQ(stored.blocks[cellIndex(8, 50, 8)], 12);

  // A column that agrees with the edit list is not marked for writing.
  World agreeing(kSeed);
  setSaveFolder(agreeing, folder);
  applySavedEdit(agreeing, 8, 50, 8, 12, -1);
  ensureColumn(agreeing, 0, 0);
  EXPECT_FALSE(agreeing.dirtyColumns.count({0, 0}));
}

TEST_F(InterruptedSaveTest, OpeningRemovesTemporariesAndDistrustsRegionsOfACutOffSave) {
  auto world = openHost();
  setBlock(*world, 3, 40, 3, blocks::Bricks);
  ASSERT_TRUE(save(*world));
  EXPECT_FALSE(saveWasUnfinished(folder));
  world.reset();

  // A save that wrote its region file and was killed before the level file: the region
  // holds a cell the edit list does not have, and a temporary file is left behind.
  ColumnSnapshot ahead;
  ASSERT_TRUE(loadColumnFrom(folder, 0, 0, ahead));
  ahead.blocks[cellIndex(5, 40, 5)] = blocks::Bookshelf;
  ASSERT_TRUE(markSaveUnfinished(folder));
  ASSERT_TRUE(flushColumnsTo(folder, {ahead}));
  ASSERT_TRUE(writeBytesAtomically(folder / "region" / "r.0.0.rgn.zorvk.tmp", std::vector<std::uint8_t>(7)));
  ASSERT_TRUE(writeBytesAtomically(folder / "level.dat.tmp", std::vector<std::uint8_t>(7)));

  world = openHost();
  EXPECT_FALSE(std::filesystem::exists(folder / "level.dat.tmp"));
  EXPECT_FALSE(std::filesystem::exists(folder / "region" / "r.0.0.rgn.zorvk.tmp"));
  ensureColumn(*world, 0, 0);
  EXPECT_EQ(getBlock(*world, 3, 40, 3), blocks::Bricks);   // recorded
  EXPECT_NE(getBlock(*world, 5, 40, 5), blocks::Bookshelf);  // never recorded: the seed's block
  // The next complete save corrects the region file and clears the marker.
  ASSERT_TRUE(save(*world));
  EXPECT_FALSE(saveWasUnfinished(folder));
  ColumnSnapshot corrected;
  ASSERT_TRUE(loadColumnFrom(folder, 0, 0, corrected));
  EXPECT_NE(corrected.blocks[cellIndex(5, 40, 5)], blocks::Bookshelf);
  EXPECT_EQ(corrected.blocks[cellIndex(3, 40, 3)], blocks::Bricks);

  // Columns outside the world are never made, so never written.
  ensureColumn(*world, 70000, 0);
  ensureColumn(*world, 0, -70000);
  EXPECT_FALSE(isColumnLoaded(*world, 70000, 0));
  EXPECT_FALSE(isColumnLoaded(*world, 0, -70000));
  EXPECT_TRUE(isColumnInWorld(65535, -65536));
  EXPECT_FALSE(isColumnInWorld(65536, 0));
}

// Columns the kill test edits, in two regions.
constexpr ColumnKey kEditedColumns[] = {{0, 0}, {1, 0}, {-1, 2}};

int killCount() {
  const char* text = std::getenv("ZORV_SAVE_KILLS");
  return text != nullptr ? std::max(1, std::atoi(text)) : 10;
}

// The child: opens the world, then edits and saves over and over; in save number
// `pauseAt` it reports on `ready` between the region writes and the level write and
// waits there to be killed.
[[noreturn]] void editAndSave(InterruptedSaveTest& test, World& world, int pauseAt, int ready, std::uint32_t salt) {
  int saves = 0;
  betweenSaveWritesHook() = [&] {
    if (++saves < pauseAt) return;
    const char byte = 1;
    if (::write(ready, &byte, 1) != 1) ::_exit(3);
    for (;;) ::pause();
  };
  std::mt19937 random(salt);
  for (int round = 0;; ++round) {
    for (const ColumnKey& column : kEditedColumns) {
      const int x = column.cx * 16 + static_cast<int>(random() % 16), z = column.cz * 16 + static_cast<int>(random() % 16);
      const int y = 20 + static_cast<int>(random() % 30);
      setBlock(world, x, y, z, round % 2 == 0 ? blocks::Bricks : kAir);  // new cells and edited ones alike
    }
    if (!test.save(world)) ::_exit(4);
  }
}

TEST_F(InterruptedSaveTest, KillsBetweenRegionAndLevelWritesLeaveHostAndClientAgreeing) {
  const int kills = killCount();
  std::mt19937 random(20261210);
  for (int kill = 0; kill < kills; ++kill) {
    SCOPED_TRACE(kill);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const int pauseAt = 1 + static_cast<int>(random() % 3);
    const std::uint32_t salt = static_cast<std::uint32_t>(random());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipeEnds[0]);
      auto world = openHost();
      editAndSave(*this, *world, pauseAt, pipeEnds[1], salt);
    }
    ::close(pipeEnds[1]);
    pollfd ready{pipeEnds[0], POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 30000), 1) << "the child never reached the window";
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(pipeEnds[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child ended with " << WEXITSTATUS(status);
    EXPECT_TRUE(saveWasUnfinished(folder));

    // The host opens the world; a client gets its edit list, as a join sends it, and
    // builds the same columns from the seed.
    LevelSave level;
    EXPECT_TRUE(readLevel(level) || kill == 0) << "the world does not load";
    auto host = openHost();
    World client(kSeed);
    applyEdits(client, savedEdits(*host));
    for (const ColumnKey& column : kEditedColumns) {
      ensureColumn(*host, column.cx, column.cz);
      ensureColumn(client, column.cx, column.cz);
      const ColumnSnapshot hostColumn = snapshotColumn(*host, column.cx, column.cz);
      const ColumnSnapshot clientColumn = snapshotColumn(client, column.cx, column.cz);
      std::size_t differing = 0;
      for (std::size_t i = 0; i < hostColumn.blocks.size(); ++i) differing += hostColumn.blocks[i] != clientColumn.blocks[i];
      EXPECT_EQ(differing, 0u) << "host and client disagree in column " << column.cx << ", " << column.cz;
    }
  }
  std::printf("interrupted saves: %d kills between the region and level writes, host and client agreed\n", kills);
}

}  // namespace
}  // namespace zorv
