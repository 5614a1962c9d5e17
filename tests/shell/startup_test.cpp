#include "shell/startup.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "scratch_folder.h"

namespace zorv {
namespace {

CommandLine classify(std::initializer_list<const char*> arguments) {
  std::vector<const char*> argv(arguments);
  return classifyCommandLine(static_cast<int>(argv.size()), argv.data(), "/opt/zorvander");
}

TEST(Startup, OnlyTheFirstArgumentSelectsAMode) {
  EXPECT_EQ(classify({"zorvander"}).mode, RunMode::Game);
  EXPECT_EQ(classify({"zorvander", "--selftest"}).mode, RunMode::SelfTest);
  EXPECT_EQ(classify({"zorvander", "--nettest"}).mode, RunMode::NetTest);
  EXPECT_EQ(classify({"zorvander", "--modtest"}).mode, RunMode::ModTest);
  EXPECT_EQ(classify({"zorvander", "--hosttest"}).mode, RunMode::HostTest);
  EXPECT_EQ(classify({"zorvander", "--benchmark"}).mode, RunMode::Benchmark);
  EXPECT_EQ(classify({"zorvander", "foo", "--selftest"}).mode, RunMode::Game);
  EXPECT_EQ(classify({"zorvander", "--SELFTEST"}).mode, RunMode::Game);
  EXPECT_EQ(classify({"zorvander", "--selftest "}).mode, RunMode::Game);
  EXPECT_EQ(classify({"zorvander", "--help"}).mode, RunMode::Help);
  EXPECT_EQ(classify({"zorvander", "--version", "x"}).mode, RunMode::Version);
  EXPECT_EQ(classify({"zorvander", "world", "--help"}).mode, RunMode::Game);
}

TEST(Startup, ScreenshotNeedsAnOutputAndPlacesBareNamesInTheScreenshotsFolder) {
  EXPECT_EQ(classify({"zorvander", "--screenshot"}).mode, RunMode::Game);

  const CommandLine bare = classify({"zorvander", "--screenshot", "shot.png"});
  EXPECT_EQ(bare.mode, RunMode::Screenshot);
  EXPECT_EQ(bare.screenshotPath, std::filesystem::path("/opt/zorvander/screenshots/shot.png"));
  EXPECT_EQ(bare.sceneName, "");

  const CommandLine relative = classify({"zorvander", "--screenshot", "out/shot.png", "village"});
  EXPECT_EQ(relative.screenshotPath, std::filesystem::path("out/shot.png"));
  EXPECT_EQ(relative.sceneName, "village");
}

TEST(Startup, BaseFolderIsTheModulePathCutAtItsLastSeparator) {
  EXPECT_EQ(platform::folderOfModulePath("/opt/zorvander/zorvander"), std::filesystem::path("/opt/zorvander"));
  EXPECT_EQ(platform::folderOfModulePath("/opt/zorvander///zorvander"), std::filesystem::path("/opt/zorvander"));
  EXPECT_EQ(platform::folderOfModulePath("C:\\Games\\Zorvander\\zorvander.exe"), std::filesystem::path("C:\\Games\\Zorvander"));
  EXPECT_EQ(platform::folderOfModulePath("/zorvander"), std::filesystem::path("/"));
  EXPECT_TRUE(platform::folderOfModulePath("zorvander").empty());

  // The test executable's own folder, not the working folder: run from another one.
  const std::filesystem::path working = std::filesystem::current_path();
  const testing::ScratchFolder scratch("startup_elsewhere");
  const std::filesystem::path& elsewhere = scratch.path();
  std::filesystem::current_path(elsewhere);
  const std::filesystem::path base = platform::baseFolder();
  const std::filesystem::path saves = platform::programFolder("saves");
  std::filesystem::current_path(working);
  EXPECT_TRUE(std::filesystem::is_regular_file(base / "test_shell"));
  EXPECT_TRUE(base.is_absolute());
  EXPECT_NE(std::filesystem::weakly_canonical(base), std::filesystem::weakly_canonical(elsewhere));
  EXPECT_EQ(saves, base / "saves");
}

}  // namespace
}  // namespace zorv

namespace zorv {
namespace {

TEST(Startup, BannerListsTheHelpLinesExactly) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  printBanner(out, "/opt/zorvander/saves");
  std::rewind(out);
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, out) != nullptr) text += buffer;
  std::fclose(out);
  EXPECT_EQ(text,
            "Zorvander zk-110320\n"
            "WASD move, Space jump / swim, Shift fly down, Ctrl sprint\n"
            "Double-tap Space (or F) to fly, F4 spectator, F3 debug overlay, Esc pause menu\n"
            "Left click break/attack, right click place, 1-7 / wheel pick block\n"
            "/ or ^ opens commands, T opens chat (try /help)\n"
            "Saves: /opt/zorvander/saves\n"
            "Multiplayer: UDP 27632 by default, share IP/domain or SRV _zorvander._udp\n");
}

TEST(Startup, BannerNamesReboundKeys) {
  KeyBindings keys;
  keys.bind(Action::MoveForward, 265);
  keys.bind(Action::Pause, 'P');
  keys.bind(Action::Chat, 'Y');
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  printBanner(out, "/saves", keys);
  std::rewind(out);
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, out) != nullptr) text += buffer;
  std::fclose(out);
  EXPECT_NE(text.find("Up/A/S/D move, Space jump / swim, Left Shift fly down, Left Ctrl sprint\n"), std::string::npos);
  EXPECT_NE(text.find("Double-tap Space (or F) to fly, F4 spectator, F3 debug overlay, P pause menu\n"), std::string::npos);
  EXPECT_NE(text.find("1-7 / wheel pick block\n"), std::string::npos);
  EXPECT_NE(text.find("/ or ^ opens commands, Y opens chat (try /help)\n"), std::string::npos);
}

}  // namespace
}  // namespace zorv
