#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "headless_ui.h"
#include "persist/level_save.h"
#include "temporary_saves.h"
#include "lang/localisation.h"
#include "ui/menus.h"

namespace zorv {
namespace {

using testing::HeadlessUi;

class MenusTest : public ::testing::Test {
 protected:
  void SetUp() override { setLanguage(LanguageEnglish); }
  void TearDown() override { setLanguage(LanguageEnglish); }

  auto mainMenu() {
    return [this] { return buildMainMenu(session); };
  }
  std::optional<ImVec2> findMain(const char* label) {
    return ui.locate(mainMenu(), "##mainmenu", label);
  }
  MenuAction clickMain(const char* label) {
    const std::optional<ImVec2> at = findMain(label);
    EXPECT_TRUE(at.has_value()) << label;
    return at ? ui.click(mainMenu(), *at) : MenuNone;
  }

  testing::TemporarySaves saves;  // an empty saves folder for the world-list refreshes
  ClientSession session;
  HeadlessUi ui;
};

TEST_F(MenusTest, ResultPrecedenceWhenSeveralButtonsReport) {
  EXPECT_EQ(worldsPageAction(true, false, true), MenuCreateAndPlay);
  EXPECT_EQ(worldsPageAction(true, true, true), MenuCreateAndPlay);
  EXPECT_EQ(worldsPageAction(false, true, true), MenuDeleteSelected);
  EXPECT_EQ(worldsPageAction(false, false, true), MenuPlaySelected);
  EXPECT_EQ(worldsPageAction(false, false, false), MenuNone);
  EXPECT_EQ(multiplayerPageAction(true, true, true), MenuJoinServer);
  EXPECT_EQ(multiplayerPageAction(false, true, true), MenuHostNew);
  EXPECT_EQ(multiplayerPageAction(false, false, true), MenuHostSelected);
  EXPECT_EQ(pauseMenuAction(true, true, true, true), PauseQuit);
  EXPECT_EQ(pauseMenuAction(true, true, true, false), PauseToMenu);
  EXPECT_EQ(pauseMenuAction(true, true, false, false), PauseSave);
  EXPECT_EQ(pauseMenuAction(true, false, false, false), PauseResume);
  EXPECT_EQ(pauseMenuAction(false, false, false, false), PauseNone);
}

TEST_F(MenusTest, MainPageOpensTheWorldListAndQuits) {
  session.menuStatus = "old status";
  session.deleteConfirmOpen = true;
  session.worldList = {"stale"};
  EXPECT_EQ(clickMain("Singleplayer"), MenuNone);
  EXPECT_EQ(session.menuScreen, MenuWorlds);
  EXPECT_TRUE(session.menuStatus.empty());
  EXPECT_FALSE(session.deleteConfirmOpen);
  EXPECT_TRUE(session.worldList.empty());  // refreshed from the empty saves folder

  EXPECT_EQ(clickMain("Back"), MenuNone);
  EXPECT_EQ(session.menuScreen, MenuMain);
  EXPECT_EQ(clickMain("Quit"), MenuQuit);
}

TEST_F(MenusTest, WithoutWorldsPlayAndHostAreDisabled) {
  session.menuScreen = MenuWorlds;
  // The disabled button is there (the mouse finds it) but a click does nothing.
  EXPECT_EQ(clickMain("Play Selected"), MenuNone);
  EXPECT_FALSE(findMain("Delete Selected").has_value());
  EXPECT_EQ(clickMain("Create and Play"), MenuCreateAndPlay);

  session.menuScreen = MenuMultiplayer;
  EXPECT_EQ(clickMain("Host Selected World"), MenuNone);
  EXPECT_EQ(clickMain("Host New World"), MenuHostNew);
  EXPECT_EQ(clickMain("Join Server"), MenuJoinServer);

  // With a world selected the same buttons act.
  session.worldList = {"Alpha"};
  session.selectedWorld = 0;
  EXPECT_EQ(clickMain("Host Selected World"), MenuHostSelected);
  session.menuScreen = MenuWorlds;
  EXPECT_EQ(clickMain("Play Selected"), MenuPlaySelected);
}

TEST_F(MenusTest, WorldNamesAreShownWhole) {
  session.menuScreen = MenuWorlds;
  // Vertices of the world list's own window: four per visible glyph.
  const auto listVertices = [&](std::vector<std::string> names) {
    session.worldList = std::move(names);
    for (int frame = 0; frame < 3; ++frame) ui.frame(mainMenu());
    for (ImGuiWindow* window : GImGui->Windows) {
      if (std::string(window->Name).find("##worldlist") != std::string::npos) return window->DrawList->VtxBuffer.Size;
    }
    return -1;
  };
  const int plain = listVertices({"zz"});
  ASSERT_GT(plain, 0);
  EXPECT_EQ(listVertices({"a##"}), plain + 4);  // "##" would hide the rest of a label
}

TEST_F(MenusTest, DeleteAsksFirstAndCancelGivesNoAction) {
  session.menuScreen = MenuWorlds;
  session.worldList = {"Alpha", "Beta"};
  session.selectedWorld = 1;
  EXPECT_FALSE(findMain("Delete").has_value());
  EXPECT_EQ(clickMain("Delete Selected"), MenuNone);
  EXPECT_TRUE(session.deleteConfirmOpen);
  EXPECT_FALSE(findMain("Delete Selected").has_value());

  EXPECT_EQ(clickMain("Cancel"), MenuNone);
  EXPECT_FALSE(session.deleteConfirmOpen);
  EXPECT_TRUE(findMain("Delete Selected").has_value());

  EXPECT_EQ(clickMain("Delete Selected"), MenuNone);
  EXPECT_EQ(clickMain("Delete"), MenuDeleteSelected);
  EXPECT_EQ(session.selectedWorld, 1);
}

TEST_F(MenusTest, PortFieldTakesDigitsOnly) {
  session.menuScreen = MenuMultiplayer;
  session.profile.port = {};
  const std::optional<ImVec2> field = findMain("UDP port");
  ASSERT_TRUE(field.has_value());
  ui.click(mainMenu(), *field);
  ImGui::GetIO().AddInputCharactersUTF8("2a7.6-3 2+e");
  ui.frame(mainMenu());
  EXPECT_STREQ(session.profile.port.data(), "27632");
}

TEST_F(MenusTest, ConnectingPageCancels) {
  session.menuScreen = MenuConnecting;
  EXPECT_EQ(clickMain("Cancel"), MenuCancelConnecting);
}

TEST_F(MenusTest, ClientPauseMenuHasNoSaveAndDisconnects) {
  const std::string window = std::string("Paused") + "###paused";
  UiFrameInfo frame;
  const auto pause = [&] { return buildPauseMenu(session, frame); };
  const auto find = [&](const char* label) {
    return ui.locate(pause, window.c_str(), label);
  };

  session.networkRole = RoleClient;
  EXPECT_FALSE(find("Save").has_value());
  EXPECT_FALSE(find("Save and Quit to Menu").has_value());
  const std::optional<ImVec2> disconnect = find("Disconnect to Menu");
  ASSERT_TRUE(disconnect.has_value());
  EXPECT_EQ(ui.click(pause, *disconnect), PauseToMenu);

  // A host keeps Save and also disconnects.
  session.networkRole = RoleHost;
  EXPECT_TRUE(find("Save").has_value());
  EXPECT_TRUE(find("Disconnect to Menu").has_value());

  session.networkRole = RoleOffline;
  EXPECT_FALSE(find("Disconnect to Menu").has_value());
  EXPECT_TRUE(find("Save and Quit to Menu").has_value());
  const std::optional<ImVec2> save = find("Save");
  ASSERT_TRUE(save.has_value());
  EXPECT_EQ(ui.click(pause, *save), PauseSave);
  const std::optional<ImVec2> quit = find("Quit to Desktop");
  ASSERT_TRUE(quit.has_value());
  EXPECT_EQ(ui.click(pause, *quit), PauseQuit);

  // The pause menu hands the sensitivity setting to the player.
  session.preferences.mouseSensitivity = 0.25f;
  ui.frame(pause);
  EXPECT_FLOAT_EQ(session.player.lookSensitivity, 0.25f);
}

TEST_F(MenusTest, LanguageComboSwitchesToChinese) {
  const std::optional<ImVec2> combo = findMain("##language");
  ASSERT_TRUE(combo.has_value());
  ui.click(mainMenu(), *combo);
  // The open list is a popup window of its own; its items carry their index as id.
  const std::optional<ImVec2> chinese = ui.locate(mainMenu(), "##Combo_00", 1, "中文");
  ASSERT_TRUE(chinese.has_value());
  ui.click(mainMenu(), *chinese);
  EXPECT_EQ(language(), LanguageChinese);
  EXPECT_TRUE(findMain(tr("Singleplayer")).has_value());
  EXPECT_STRNE(tr("Singleplayer"), "Singleplayer");
}

TEST_F(MenusTest, ChineseLabelsFromTheNextFrameOn) {
  ui.frame(mainMenu());
  setLanguage(LanguageChinese);
  EXPECT_TRUE(findMain(tr("Quit")).has_value());
  EXPECT_STRNE(tr("Quit"), "Quit");
  EXPECT_FALSE(findMain("Quit").has_value());
}

}  // namespace
}  // namespace zorv
