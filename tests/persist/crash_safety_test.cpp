// A child process saves a world over and over and is killed with SIGKILL at random
// moments; after every kill the world must load and hold one complete save.
#include <algorithm>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include "persist/level_save.h"
#include "persist/region_file.h"
#include "save_test_support.h"
#include "save_files.h"

namespace zorv {
namespace {

using testing::flushColumns;

constexpr const char* kWorld = "Crash";
constexpr int kKills = 50;

// Every field of generation g carries g, so a mixture of two saves is detectable.
LevelSave levelOf(std::uint32_t generation) {
  LevelSave save;
  save.seed = generation;
  save.timeOfDay = static_cast<float>(generation % 1000) / 1000.0f;
  save.hasPlayer = true;
  save.player.health = static_cast<std::int32_t>(generation);
  save.edits.resize(4000 + generation % 7);
  for (std::size_t i = 0; i < save.edits.size(); ++i) {
    save.edits[i] = {static_cast<std::int32_t>(i), 1, -2, static_cast<std::uint16_t>(generation), 3};
  }
  return save;
}

ColumnSnapshot columnOf(std::uint32_t generation) {
  ColumnSnapshot column{-1, 40, std::vector<std::uint16_t>(kSnapshotBlocks), {}};
  for (std::size_t i = 0; i < column.blocks.size(); ++i) column.blocks[i] = static_cast<std::uint16_t>(generation + i % 5);
  return column;
}

bool isLevelOf(const LevelSave& save) { return save == levelOf(save.seed); }
bool isColumnOf(const ColumnSnapshot& column) { return column == columnOf(column.blocks[0]); }

[[noreturn]] void saveForever(std::uint32_t generation) {
  for (;; ++generation) {
    writeLevel(kWorld, levelOf(generation));
    flushColumns(kWorld, {columnOf(generation)});
  }
}

class CrashSafetyTest : public test::SavesFolder {};

TEST_F(CrashSafetyTest, KilledSavesLeaveTheOldOrTheNewWorld) {
  std::mt19937 random(20261018);
  std::uniform_int_distribution<int> delayMicros(500, 25000);
  std::uint32_t level = 0, region = 0;  // last generations seen; 0 = none yet
  // On a slow machine (sanitizers, a loaded disk) one save can outlast the longest delay;
  // until both files have been written once, each kill waits twice as long as the last.
  int slowdown = 1;
  int temporaryLeft = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) saveForever(std::max(level, region) + 1);
    ::usleep(static_cast<useconds_t>(delayMicros(random) * slowdown));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    const std::filesystem::path folder = root / "saves" / kWorld;
    temporaryLeft += std::filesystem::exists(folder / "level.dat.tmp") ? 1 : 0;
    LevelSave save;
    if (readLevel(kWorld, save)) {
      EXPECT_TRUE(isLevelOf(save)) << "level.dat mixes saves after kill " << kill;
      EXPECT_GE(save.seed, level) << "an older level.dat came back after kill " << kill;
      level = save.seed;
    } else {
      EXPECT_EQ(level, 0u) << "level.dat unreadable after kill " << kill;
    }
    ColumnSnapshot column;
    if (loadColumn(kWorld, -1, 40, column)) {
      EXPECT_TRUE(isColumnOf(column)) << "region column mixes saves after kill " << kill;
      EXPECT_GE(column.blocks[0], region);
      region = column.blocks[0];
    } else {
      EXPECT_EQ(region, 0u) << "region file unreadable after kill " << kill;
    }
    if (level == 0 || region == 0) slowdown = std::min(slowdown * 2, 64);
  }
  EXPECT_GT(level, 0u);
  EXPECT_GT(region, 0u);
  RecordProperty("generations", static_cast<int>(level));
  RecordProperty("killedWithTemporaryFile", temporaryLeft);
  std::printf("crash safety: %d kills, %u level saves, %d kills left a temporary file\n", kKills, level, temporaryLeft);
}

}  // namespace
}  // namespace zorv
