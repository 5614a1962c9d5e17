#include "persist/level_save.h"

#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

#include "persist/save_file.h"
#include "save_test_support.h"
#include "save_files.h"

namespace zorv {
namespace {

using test::Bytes;
using testing::writeFileAtomically;

class LevelSaveTest : public test::SavesFolder {};

LevelSave sampleLevel() {
  LevelSave save;
  save.seed = 0xDEADBEEF;
  save.timeOfDay = 0.625f;
  save.weather = 2;
  save.hasPlayer = true;
  save.player = {-12.5f, 33.25f, 1e6f, 45.5f, -80.0f, true, 7, 1, 8, {{3, 64, 0}, {-4, 1, 59}, {0, 0, 0}}};
  save.mobs = {{1, 2, 3, 4, 5, 6, 3.14f, 2.5f, 3, 6}, {-1, -2, -3, 0, 0, 0, -1.0f, 0.0f, 1, 2}};
  save.drops = {{10.5f, 20, 30.25f, -7, 130, 64, 12.5f}};
  save.edits = {{-200, 50, -200, 5, 255}, {1048575, -48, -1048575, 8, 3}};
  return save;
}

// The same level as `sampleLevel`, laid out by hand from the format's table.
Bytes sampleLevelBytes() {
  Bytes b;
  b.text("ZORVLVL ").u32(1).u32(0xDEADBEEF).f32(0.625f).u8(2).u8(1);
  b.f32(-12.5f).f32(33.25f).f32(1e6f).f32(45.5f).f32(-80.0f).u8(1).i32(7).u8(1).u8(8).u32(3);
  b.u16(3).u16(64).u16(0).u16(0xFFFC).u16(1).u16(59).u16(0).u16(0).u16(0);
  b.u32(2);
  b.f32(1).f32(2).f32(3).f32(4).f32(5).f32(6).f32(3.14f).f32(2.5f).u8(3).i32(6);
  b.f32(-1).f32(-2).f32(-3).f32(0).f32(0).f32(0).f32(-1.0f).f32(0.0f).u8(1).i32(2);
  b.u32(1).f32(10.5f).f32(20).f32(30.25f).u16(0xFFF9).u16(130).u16(64).f32(12.5f);
  b.u32(2).i32(-200).i32(50).i32(-200).u16(5).u8(255).i32(1048575).i32(-48).i32(-1048575).u16(8).u8(3);
  return b;
}

void expectEveryTruncationFails(const std::vector<std::uint8_t>& bytes, bool (*parse)(std::span<const std::uint8_t>)) {
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    EXPECT_FALSE(parse(std::span(bytes.data(), size))) << "truncated to " << size << " bytes";
  }
  EXPECT_TRUE(parse(bytes));
}

TEST_F(LevelSaveTest, LevelFileMatchesTheLayoutAndRoundTripsEveryField) {
  const LevelSave save = sampleLevel();
  EXPECT_EQ(encodeLevel(save), sampleLevelBytes().data);

  ASSERT_TRUE(writeLevel("Round trip", save));
  EXPECT_TRUE(std::filesystem::is_regular_file(root / "saves" / "Round trip" / "level.dat"));
  EXPECT_FALSE(std::filesystem::exists(root / "saves" / "Round trip" / "level.dat.tmp"));
  LevelSave read;
  ASSERT_TRUE(readLevel("Round trip", read));
  EXPECT_EQ(read, save);
  EXPECT_EQ(read.player.slots[1].item, -4);
  EXPECT_EQ(read.edits[1].fluidLevel, 3);

  LevelSave noPlayer;
  noPlayer.seed = 9;
  Bytes expected;
  expected.text("ZORVLVL ").u32(1).u32(9).f32(0).u8(0).u8(0).u32(0).u32(0).u32(0);
  EXPECT_EQ(encodeLevel(noPlayer), expected.data);
  ASSERT_TRUE(parseLevel(expected.data, read));
  EXPECT_FALSE(read.hasPlayer);
  EXPECT_EQ(read.player, PlayerSave{});  // defaults: (96.5, 50, 96.5), yaw −90, pitch −12, health 20
}

TEST_F(LevelSaveTest, MalformedLevelFilesFailWithoutChangingTheResult) {
  Bytes version2 = sampleLevelBytes();
  version2.data[8] = 2;
  LevelSave read;
  read.seed = 77;
  EXPECT_FALSE(parseLevel(version2.data, read));
  Bytes wrongMagic = sampleLevelBytes();
  wrongMagic.data[7] = '_';
  EXPECT_FALSE(parseLevel(wrongMagic.data, read));
  EXPECT_EQ(read.seed, 77u);

  expectEveryTruncationFails(sampleLevelBytes().data, [](std::span<const std::uint8_t> bytes) {
    LevelSave out;
    return parseLevel(bytes, out);
  });

  // Counts are checked against the limit and against the bytes that follow.
  Bytes manyEdits;
  manyEdits.text("ZORVLVL ").u32(1).u32(1).f32(0).u8(0).u8(0).u32(0).u32(0).u32(50000000);
  EXPECT_FALSE(parseLevel(manyEdits.data, read));
  Bytes overLimit;
  overLimit.text("ZORVLVL ").u32(1).u32(1).f32(0).u8(0).u8(0).u32(100001);
  EXPECT_FALSE(parseLevel(overLimit.data, read));
  Bytes manySlots;
  manySlots.text("ZORVLVL ").u32(1).u32(1).f32(0).u8(0).u8(1);
  manySlots.f32(0).f32(0).f32(0).f32(0).f32(0).u8(0).i32(20).u8(0).u8(0).u32(4097);
  EXPECT_FALSE(parseLevel(manySlots.data, read));

  EXPECT_FALSE(readLevel("missing world", read));
  EXPECT_FALSE(readLevel("..", read));
  EXPECT_FALSE(writeLevel("bad|name", sampleLevel()));
  LevelSave tooMany;
  tooMany.mobs.resize(kMaxSavedMobs + 1);
  EXPECT_FALSE(writeLevel("Too many", tooMany));
  EXPECT_FALSE(std::filesystem::exists(root / "saves" / "Too many" / "level.dat"));
}

TEST_F(LevelSaveTest, LegacyWorldVersionsOneToThreeRead) {
  // Version 1: drop item uint8, no durability; edit block uint8.
  Bytes v1;
  v1.text("ZORVWRLD").u32(1).u32(31337).f32(0.5f).u8(1);
  v1.u32(1).f32(1).f32(2).f32(3).f32(4).f32(5).f32(6).f32(0.5f).f32(1.5f).u8(2).i32(4);
  v1.u32(1).f32(7).f32(8).f32(9).u8(200).u16(12).f32(3.5f);
  v1.u32(1).i32(-5).i32(6).i32(-7).u8(9).u8(2);
  LevelSave read;
  ASSERT_TRUE(parseLegacyWorld(v1.data, read));
  EXPECT_EQ(read.seed, 31337u);
  EXPECT_EQ(read.timeOfDay, 0.5f);
  EXPECT_EQ(read.weather, 1);
  EXPECT_EQ(read.mobs, (std::vector<SavedMob>{{1, 2, 3, 4, 5, 6, 0.5f, 1.5f, 2, 4}}));
  EXPECT_EQ(read.drops, (std::vector<SavedDrop>{{7, 8, 9, 200, 0, 12, 3.5f}}));
  EXPECT_EQ(read.edits, (std::vector<SavedEdit>{{-5, 6, -7, 9, 2}}));
  EXPECT_FALSE(read.hasPlayer);

  // Version 2: drop item int16, still no durability; edit block uint16.
  Bytes v2;
  v2.text("ZORVWRLD").u32(2).u32(5).f32(0.25f).u8(0).u32(0);
  v2.u32(1).f32(7).f32(8).f32(9).u16(0xFFFE).u16(3).f32(0.0f);
  v2.u32(1).i32(1).i32(2).i32(3).u16(300).u8(255);
  ASSERT_TRUE(parseLegacyWorld(v2.data, read));
  EXPECT_EQ(read.drops, (std::vector<SavedDrop>{{7, 8, 9, -2, 0, 3, 0.0f}}));
  EXPECT_EQ(read.edits, (std::vector<SavedEdit>{{1, 2, 3, 300, 255}}));

  // Version 3: drop with durability before the count; what writeLegacyWorld produces.
  Bytes v3;
  v3.text("ZORVWRLD").u32(3).u32(31337).f32(0.75f).u8(2).u32(0);
  v3.u32(1).f32(7).f32(8).f32(9).u16(0xFFF0).u16(77).u16(5).f32(1.0f);
  v3.u32(1).i32(-200).i32(50).i32(-200).u16(5).u8(255);
  ASSERT_TRUE(parseLegacyWorld(v3.data, read));
  EXPECT_EQ(read.drops, (std::vector<SavedDrop>{{7, 8, 9, -16, 77, 5, 1.0f}}));
  EXPECT_EQ(encodeLegacyWorld(read), v3.data);

  for (const Bytes* layout : {&v1, &v2, &v3}) {
    expectEveryTruncationFails(layout->data, [](std::span<const std::uint8_t> bytes) {
      LevelSave out;
      return parseLegacyWorld(bytes, out);
    });
  }
  Bytes v4 = v3;
  v4.data[8] = 4;
  EXPECT_FALSE(parseLegacyWorld(v4.data, read));
  Bytes v0 = v3;
  v0.data[8] = 0;
  EXPECT_FALSE(parseLegacyWorld(v0.data, read));

  // A save made only of world.dat loads through the legacy path; readLevel refuses it.
  ASSERT_TRUE(writeLegacyWorld("Old world", read));
  EXPECT_TRUE(worldExists("Old world"));
  LevelSave level, legacy;
  EXPECT_FALSE(readLevel("Old world", level));
  ASSERT_TRUE(readLegacyWorld("Old world", legacy));
  EXPECT_EQ(legacy.seed, 31337u);
  EXPECT_EQ(legacy.drops, read.drops);
}

TEST_F(LevelSaveTest, LegacyPlayerVersionsOneToThreeRead) {
  auto header = [](unsigned version) {
    Bytes b;
    b.text("ZORVPLYR").u32(version).f32(1.5f).f32(40).f32(-2.5f).f32(90).f32(-10).u8(1).i32(13).u8(1).u8(4).u32(2);
    return b;
  };
  Bytes v1 = header(1);
  v1.u8(3).u16(10).u8(255).u16(1);
  Bytes v2 = header(2);
  v2.u16(3).u16(10).u16(0xFFFF).u16(1);
  Bytes v3 = header(3);
  v3.u16(3).u16(10).u16(0).u16(0xFFFF).u16(1).u16(42);

  PlayerSave player;
  ASSERT_TRUE(parseLegacyPlayer(v1.data, player));
  EXPECT_EQ(player.x, 1.5f);
  EXPECT_EQ(player.y, 40.0f);
  EXPECT_EQ(player.z, -2.5f);
  EXPECT_EQ(player.yaw, 90.0f);
  EXPECT_EQ(player.pitch, -10.0f);
  EXPECT_TRUE(player.flying);
  EXPECT_EQ(player.health, 13);
  EXPECT_EQ(player.gameMode, 1);
  EXPECT_EQ(player.selectedSlot, 4);
  EXPECT_EQ(player.slots, (std::vector<SavedSlot>{{3, 10, 0}, {255, 1, 0}}));
  ASSERT_TRUE(parseLegacyPlayer(v2.data, player));
  EXPECT_EQ(player.slots, (std::vector<SavedSlot>{{3, 10, 0}, {-1, 1, 0}}));
  ASSERT_TRUE(parseLegacyPlayer(v3.data, player));
  EXPECT_EQ(player.slots, (std::vector<SavedSlot>{{3, 10, 0}, {-1, 1, 42}}));

  for (const Bytes* layout : {&v1, &v2, &v3}) {
    expectEveryTruncationFails(layout->data, [](std::span<const std::uint8_t> bytes) {
      PlayerSave out;
      return parseLegacyPlayer(bytes, out);
    });
  }
  std::filesystem::create_directories(root / "saves" / "Players");
  std::ofstream(root / "saves" / "Players" / "player.dat", std::ios::binary)
      .write(reinterpret_cast<const char*>(v3.data.data()), static_cast<std::streamsize>(v3.data.size()));
  PlayerSave fromFile;
  ASSERT_TRUE(readLegacyPlayer("Players", fromFile));
  EXPECT_EQ(fromFile, player);
}

TEST(WorldNames, ValidityAndSanitising) {
  EXPECT_TRUE(isValidWorldName("My World"));
  EXPECT_TRUE(isValidWorldName(std::string(48, 'a')));
  EXPECT_TRUE(isValidWorldName("..."));
  EXPECT_FALSE(isValidWorldName(std::string(49, 'a')));
  for (const char* bad : {"", ".", "..", "a/b", "a\\b", "a:b", "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b"}) {
    EXPECT_FALSE(isValidWorldName(bad)) << bad;
  }
  EXPECT_FALSE(isValidWorldName(std::string("tab\there")));
  EXPECT_FALSE(isValidWorldName(std::string("nul\0x", 5)));
  EXPECT_TRUE(worldFolder("..").empty());

  EXPECT_EQ(sanitizeWorldName("con"), "World con");
  EXPECT_EQ(sanitizeWorldName("CON"), "World CON");
  EXPECT_EQ(sanitizeWorldName("Lpt9"), "World Lpt9");
  EXPECT_EQ(sanitizeWorldName("com1"), "World com1");
  EXPECT_EQ(sanitizeWorldName("COM10"), "COM10");
  EXPECT_EQ(sanitizeWorldName("COM0"), "COM0");
  EXPECT_EQ(sanitizeWorldName("  my:world?  "), "myworld");
  EXPECT_EQ(sanitizeWorldName("!!!"), "World");
  EXPECT_EQ(sanitizeWorldName(""), "World");
  EXPECT_EQ(sanitizeWorldName("\ta\tb-c_d\t"), "a b-c_d");
  EXPECT_EQ(sanitizeWorldName("caf\xC3\xA9 ./x"), "caf x");
  EXPECT_EQ(sanitizeWorldName(std::string(60, 'x')), std::string(40, 'x'));
  EXPECT_EQ(sanitizeWorldName(" " + std::string(39, 'y') + "  z"), std::string(39, 'y') + " ");
}

TEST_F(LevelSaveTest, ListingAndDeletingWorlds) {
  EXPECT_TRUE(listWorlds().empty());  // no saves folder yet
  const std::filesystem::path saves = root / "saves";
  auto touch = [](const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "x";
  };
  LevelSave save;
  ASSERT_TRUE(writeLevel("beta", save));
  ASSERT_TRUE(writeLegacyWorld("Alpha", save));
  ASSERT_TRUE(writeLevel("alpha", save));
  touch(saves / "pipe|name" / "level.dat");
  touch(saves / "only region" / "region" / "r.0.0.rgn.zorvk");
  std::filesystem::create_directories(saves / "dir as save" / "level.dat");
  touch(saves / "loose file");
  EXPECT_EQ(listWorlds(), (std::vector<std::string>{"Alpha", "alpha", "beta"}));
  EXPECT_TRUE(worldExists("beta"));
  EXPECT_FALSE(worldExists("only region"));
  EXPECT_FALSE(worldExists("dir as save"));
  EXPECT_FALSE(worldExists("pipe|name"));

  touch(saves / "beta" / "region" / "r.0.0.rgn.zorvk");
  EXPECT_TRUE(deleteWorld("beta"));
  EXPECT_FALSE(worldExists("beta"));
  EXPECT_FALSE(std::filesystem::exists(saves / "beta"));
  EXPECT_EQ(listWorlds(), (std::vector<std::string>{"Alpha", "alpha"}));
  EXPECT_FALSE(deleteWorld("beta"));
  EXPECT_FALSE(deleteWorld(".."));
  EXPECT_TRUE(std::filesystem::exists(saves / "Alpha"));
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) { return readFileBytes(path).value_or(std::vector<std::uint8_t>{}); }

TEST_F(LevelSaveTest, FailedWritesLeaveTheOldFileInPlace) {
  const std::filesystem::path target = root / "saves" / "Kept" / "level.dat";
  ASSERT_TRUE(writeLevel("Kept", sampleLevel()));
  const std::vector<std::uint8_t> before = fileBytes(target);
  ASSERT_FALSE(before.empty());

  // The temporary name is taken by a folder: the write cannot start.
  std::filesystem::create_directories(root / "saves" / "Kept" / "level.dat.tmp");
  EXPECT_FALSE(writeLevel("Kept", LevelSave{}));
  EXPECT_EQ(fileBytes(target), before);
  std::filesystem::remove(root / "saves" / "Kept" / "level.dat.tmp");

  // A parent that is a file: the folder cannot be created.
  std::ofstream(root / "not a folder") << "x";
  EXPECT_FALSE(writeFileAtomically(root / "not a folder" / "f.dat", "ZORVLVL ", 1, [](ByteWriter&) {}));

  // A full disk, imitated by a file-size limit in a child process: the write fails part
  // way through, reports it, and the old file stays whole.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    LevelSave large = sampleLevel();
    large.edits.resize(1000);
    const bool written = writeLevel("Kept", large);
    const bool temporaryLeft = std::filesystem::exists(root / "saves" / "Kept" / "level.dat.tmp");
    ::_exit(!written && !temporaryLeft ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(fileBytes(target), before);
  LevelSave read;
  EXPECT_TRUE(readLevel("Kept", read));
  EXPECT_EQ(read, sampleLevel());
}

}  // namespace
}  // namespace zorv
