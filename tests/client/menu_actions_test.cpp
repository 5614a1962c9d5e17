#include "client/menu_actions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "game/commands.h"
#include "client/client_session.h"
#include "commands_fixture.h"
#include "net/session.h"
#include "world/registry.h"
#include "game/world_life_cycle.h"

namespace zorv::testing {
namespace {

using MenuTest = CommandSessionTest;

TEST(PortText, DigitsFromOneTo65535) {
  EXPECT_EQ(parsePortText("65535"), std::optional<std::uint16_t>(65535));
  EXPECT_EQ(parsePortText("27632"), std::optional<std::uint16_t>(27632));
  EXPECT_EQ(parsePortText("1"), std::optional<std::uint16_t>(1));
  EXPECT_EQ(parsePortText("00080"), std::optional<std::uint16_t>(80));
  for (const char* bad : {"0", "65536", "123a", "", "99999", "655350", "-1", " 80", "8 0", "4294967377"}) {
    EXPECT_EQ(parsePortText(bad), std::nullopt) << bad;
  }
}

TEST(SeedText, HashesTheBytesEvenOfNumbers) {
  // FNV-1a by hand: ((0x811C9DC5 ^ '4') * 16777619 ^ '2') * 16777619 mod 2^32.
  EXPECT_EQ(seedFromText("42"), 0x87E38583u);
  std::string chinese;
  for (int i = 0; i < 21; ++i) chinese += "\xE4\xB8\xAD";  // 63 bytes of UTF-8
  EXPECT_EQ(seedFromText(chinese), 2605644176u);
  EXPECT_NE(seedFromText("42"), 42u);
}

TEST_F(MenuTest, CreateAndPlayMakesSavesAndSelectsTheWorld) {
  setText(session.profile.worldName, "Alpha");
  setText(session.profile.seedText, "42");
  session.networkRole = RoleHost;
  session.localPlayerId = 1;
  handleMenuAction(session, MenuCreateAndPlay);
  EXPECT_EQ(session.appState, AppPlaying);
  EXPECT_EQ(session.networkRole, RoleOffline);
  EXPECT_EQ(session.localPlayerId, 0);
  EXPECT_EQ(session.seed, 0x87E38583u);
  EXPECT_EQ(session.worldName, "Alpha");
  EXPECT_TRUE(worldExists("Alpha"));
  ASSERT_GE(session.selectedWorld, 0);
  EXPECT_EQ(session.worldList[static_cast<std::size_t>(session.selectedWorld)], "Alpha");

  handleMenuAction(session, MenuCreateAndPlay);
  EXPECT_EQ(session.menuStatus, "A world named \"Alpha\" already exists");
}

TEST_F(MenuTest, OddWorldNamesStillMakeAWorld) {
  const std::pair<const char*, const char*> names[] = {{"...", "World"}, {"CON", "World CON"}, {"a/../b", "ab"}};
  for (const auto& [typed, folder] : names) {
    setText(session.profile.worldName, typed);
    session.menuStatus.clear();
    handleMenuAction(session, MenuCreateAndPlay);
    EXPECT_TRUE(session.menuStatus.empty()) << typed << ": " << session.menuStatus;
    EXPECT_EQ(session.worldName, folder);
    EXPECT_TRUE(worldExists(folder)) << typed;
    leaveWorld(session);
  }
}

TEST_F(MenuTest, PlayAndDeleteTheSelectedWorld) {
  handleMenuAction(session, MenuPlaySelected);  // nothing selected: nothing happens
  EXPECT_EQ(session.appState, AppMenu);

  setText(session.profile.worldName, "Beta");
  handleMenuAction(session, MenuCreateAndPlay);
  const int x = static_cast<int>(std::floor(session.player.x)) + 2;
  const int z = static_cast<int>(std::floor(session.player.z)) + 2;
  runCommand(session, "/fill " + std::to_string(x) + " 60 " + std::to_string(z) + " " + std::to_string(x) + " 60 " +
                          std::to_string(z) + " bricks");
  handlePauseAction(session, PauseToMenu);
  EXPECT_EQ(session.appState, AppMenu);
  EXPECT_FALSE(session.world);

  refreshWorldList(session);
  ASSERT_EQ(session.worldList, std::vector<std::string>{"Beta"});
  session.selectedWorld = 0;
  handleMenuAction(session, MenuPlaySelected);
  EXPECT_EQ(session.appState, AppPlaying);
  ASSERT_TRUE(session.world);
  EXPECT_EQ(getBlock(*session.world, x, 60, z), blockRegistry().find("bricks"));  // saved on the way out
  handleDeathAction(session, DeathQuitToMenu);
  EXPECT_EQ(session.appState, AppMenu);

  // A world whose level file is garbage cannot be loaded.
  std::filesystem::create_directories(worldFolder("Broken"));
  std::ofstream(worldFolder("Broken") / "level.dat") << "not a level";
  refreshWorldList(session);
  ASSERT_EQ(session.worldList, (std::vector<std::string>{"Beta", "Broken"}));
  session.selectedWorld = 1;
  handleMenuAction(session, MenuPlaySelected);
  EXPECT_EQ(session.appState, AppMenu);
  EXPECT_EQ(session.menuStatus, "Could not load \"Broken\"");

  session.deleteConfirmOpen = true;
  session.selectedWorld = 0;
  handleMenuAction(session, MenuDeleteSelected);
  EXPECT_EQ(session.menuStatus, "Deleted \"Beta\"");
  EXPECT_FALSE(session.deleteConfirmOpen);
  EXPECT_FALSE(worldExists("Beta"));
  EXPECT_EQ(session.worldList, std::vector<std::string>{"Broken"});
}

TEST_F(MenuTest, HostingChecksThePortAndTheWorldFirst) {
  for (const char* port : {"0", "65536", "123a", ""}) {
    setText(session.profile.port, port);
    session.menuStatus.clear();
    handleMenuAction(session, MenuHostNew);
    EXPECT_EQ(session.menuStatus, "Invalid UDP port") << port;
  }
  setText(session.profile.port, "27632");
  handleMenuAction(session, MenuHostSelected);
  EXPECT_EQ(session.menuStatus, "Select a world to host");
  EXPECT_EQ(session.networkRole, RoleOffline);
  EXPECT_FALSE(session.net.active);
}

TEST_F(MenuTest, HostNewWorldThenSelectedWorld) {
  const std::uint16_t port = freeUdpPort();
  setText(session.profile.port, std::to_string(port));
  setText(session.profile.worldName, "Hosted");
  setText(session.profile.playerName, "  Ada  ");
  session.menuStatus = "old";
  session.mods.fingerprint = 0x12345678u;
  handleMenuAction(session, MenuHostNew);
  EXPECT_EQ(session.net.modFingerprint, 0x12345678u);  // what joining clients are compared with
  EXPECT_EQ(session.networkRole, RoleHost);
  EXPECT_TRUE(session.net.active);
  EXPECT_EQ(session.localPlayerId, 1);
  EXPECT_EQ(session.networkPlayerName, "Ada");
  EXPECT_EQ(session.menuScreen, MenuMultiplayer);
  EXPECT_EQ(session.menuStatus, "");
  EXPECT_EQ(session.appState, AppPlaying);
  EXPECT_TRUE(worldExists("Hosted"));
  EXPECT_EQ(lastMessage(), "Hosting \"Hosted\" on UDP " + std::to_string(port));

  // The same port a second time, from another session, is taken.
  ClientSession other;
  setText(other.profile.port, std::to_string(port));
  setText(other.profile.worldName, "Second");
  handleMenuAction(other, MenuHostNew);
  EXPECT_EQ(other.menuStatus, "Port " + std::to_string(port) + " is already in use");
  EXPECT_EQ(other.networkRole, RoleOffline);
  EXPECT_EQ(other.appState, AppMenu);

  handlePauseAction(session, PauseToMenu);
  EXPECT_FALSE(session.net.active);
  EXPECT_EQ(session.networkRole, RoleOffline);

  session.selectedWorld = 0;
  handleMenuAction(session, MenuHostSelected);
  EXPECT_EQ(session.networkRole, RoleHost);
  EXPECT_EQ(session.worldName, "Hosted");
  EXPECT_EQ(lastMessage(), "Hosting \"Hosted\" on UDP " + std::to_string(port));
  handlePauseAction(session, PauseQuit);
  EXPECT_TRUE(session.quitRequested);
  EXPECT_FALSE(session.net.active);
}

TEST_F(MenuTest, JoinAndCancel) {
  handleMenuAction(session, MenuJoinServer);
  EXPECT_EQ(session.menuStatus, "Enter a server address");

  setText(session.profile.serverAddress, "[1.2.3.4");
  handleMenuAction(session, MenuJoinServer);
  EXPECT_FALSE(session.menuStatus.empty());
  EXPECT_EQ(session.networkRole, RoleOffline);
  EXPECT_EQ(session.menuScreen, MenuMain);
  EXPECT_TRUE(session.profile.recentAddresses.empty()) << "a failed join is not remembered";

  RecordingRenderer renderer;
  session.renderer = &renderer;
  session.menuScreen = MenuMultiplayer;
  bareWorld();
  session.appState = AppMenu;
  session.remotePlayers.push_back({});
  const std::uint16_t port = freeUdpPort();
  setText(session.profile.serverAddress, "127.0.0.1:" + std::to_string(port));
  session.mods.fingerprint = 0x9ABCDEFu;
  handleMenuAction(session, MenuJoinServer);
  EXPECT_EQ(session.net.modFingerprint, 0x9ABCDEFu);
  EXPECT_EQ(session.menuStatus, "Contacting 127.0.0.1:" + std::to_string(port) + "...");
  EXPECT_EQ(session.networkRole, RoleClient);
  EXPECT_EQ(session.localPlayerId, 0);
  EXPECT_EQ(session.menuScreen, MenuConnecting);
  EXPECT_FALSE(session.world);
  EXPECT_TRUE(session.remotePlayers.empty());
  EXPECT_EQ(renderer.clears, 1);
  EXPECT_TRUE(session.net.active);
  EXPECT_EQ(session.profile.recentAddresses, std::vector<std::string>{"127.0.0.1:" + std::to_string(port)});

  handleMenuAction(session, MenuCancelConnecting);
  EXPECT_EQ(session.menuStatus, "Cancelled");
  EXPECT_EQ(session.networkRole, RoleOffline);
  EXPECT_EQ(session.menuScreen, MenuMultiplayer);
  EXPECT_FALSE(session.net.active);
  EXPECT_EQ(renderer.clears, 2);
  session.renderer = nullptr;

  handleMenuAction(session, MenuQuit);
  EXPECT_TRUE(session.quitRequested);
}

TEST_F(MenuTest, PauseAndDeathActions) {
  setText(session.profile.worldName, "Gamma");
  handleMenuAction(session, MenuCreateAndPlay);
  setAppState(session, AppPaused);
  handlePauseAction(session, PauseResume);
  EXPECT_EQ(session.appState, AppPlaying);
  handlePauseAction(session, PauseSave);
  EXPECT_EQ(lastMessage(), "Saved Gamma");

  setGameMode(session, ModeSurvival);
  session.player.health = 0;
  session.player.x += 40.0f;
  session.appState = AppDead;
  handleDeathAction(session, DeathRespawn);
  EXPECT_EQ(session.appState, AppPlaying);
  EXPECT_EQ(session.player.health, 20);
  EXPECT_FLOAT_EQ(session.player.x, session.spawnPoint.x);
  EXPECT_EQ(lastMessage(), "Respawned");

  handlePauseAction(session, PauseNone);
  handleDeathAction(session, DeathNone);
  EXPECT_EQ(session.appState, AppPlaying);
  handlePauseAction(session, PauseQuit);
  EXPECT_TRUE(session.quitRequested);
}

TEST_F(MenuTest, ScreenshotDescriptions) {
  EXPECT_EQ(screenshotTitle(), "Zorvander zk-110320");
  const char* screens[] = {"main menu", "world list", "multiplayer menu", "connecting"};
  for (int screen = 0; screen < 4; ++screen) {
    session.menuScreen = static_cast<MenuScreen>(screen);
    EXPECT_EQ(screenshotDescription(session), std::string("Zorvander zk-110320\nScreen: ") + screens[screen]);
  }

  bareWorld();
  session.worldName = "Delta";
  session.seed = 123;
  session.player.x = 1.5f;
  session.player.y = 2.25f;
  session.player.z = -3.0f;
  session.timeOfDay = 0.25f;  // noon
  session.weather = WeatherRain;
  setGameMode(session, ModeSurvival);
  EXPECT_EQ(screenshotDescription(session),
            "Zorvander zk-110320\nWorld: Delta\nSeed: 123\nPosition: 1.50, 2.25, -3.00\nIn-game time: 12:00\n"
            "Weather: Rain\nGame mode: Survival");
  session.worldName.clear();
  session.weather = WeatherSnow;
  setGameMode(session, ModeSpectator);
  EXPECT_EQ(screenshotDescription(session),
            "Zorvander zk-110320\nWorld: (multiplayer)\nSeed: 123\nPosition: 1.50, 2.25, -3.00\nIn-game time: 12:00\n"
            "Weather: Snow\nGame mode: Spectator");
  session.worldName = std::string(600, 'w');
  EXPECT_EQ(screenshotDescription(session).size(), 511u);
}

}  // namespace
}  // namespace zorv::testing
