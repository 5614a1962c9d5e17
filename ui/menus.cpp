#include "ui/menus.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string>

#include <imgui.h>

#include "client/menu_actions.h"
#include "game/world_life_cycle.h"
#include "lang/localisation.h"
#include "platform/version.h"
#include "ui/controls_menu.h"
#include "ui/interface_scale.h"
#include "ui/key_help.h"
#include "world/villages.h"

namespace zorv {
namespace {

constexpr ImGuiWindowFlags kMenuWindowFlags = ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                              ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_AlwaysAutoResize |
                                              ImGuiWindowFlags_NoSavedSettings;

constexpr const char* kDropHint = "Drop .mod.zorvk mods and .rp.zorvk packs into the opened folders, then restart.";
constexpr int kVillageCountRadius = 640;

// Centres the next window and fixes its width.
void centreNextWindow(float width) {
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  ImGui::SetNextWindowPos(ImVec2(display.x * 0.5f, display.y * 0.5f), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
  // A window taller than the display scrolls instead of running off its edges.
  const float scaled = width * interfaceScale();
  ImGui::SetNextWindowSizeConstraints(ImVec2(scaled, 0.0f), ImVec2(scaled, std::max(display.y - 16.0f, 100.0f)));
}

void separatedGap() {
  ImGui::Spacing();
  ImGui::Separator();
  ImGui::Spacing();
}

// Disabled-style text that wraps at the window's fixed width instead of being cut.
void disabledText(const char* text) {
  ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyle().Colors[ImGuiCol_TextDisabled]);
  ImGui::TextWrapped("%s", text);
  ImGui::PopStyleColor();
}

void wrappedText(const std::string& text) { ImGui::TextWrapped("%s", text.c_str()); }

// The language names are shown as they are in every language.
void languageCombo(const char* label) {
  static const char* const kLanguageNames[] = {"English", "中文"};
  int current = language();
  if (ImGui::Combo(label, &current, kLanguageNames, 2)) setLanguage(current);
}

void openFolderButtons(float height) {
  if (ImGui::Button(tr("Open Mods Folder"), ImVec2(-1.0f, height))) openFolder("mods");
  if (ImGui::Button(tr("Open Resource Packs Folder"), ImVec2(-1.0f, height))) openFolder("resourcepacks");
  disabledText(tr(kDropHint));
}

template <std::size_t N>
void textField(const char* label, const char* hint, std::array<char, N>& buffer) {
  ImGui::SetNextItemWidth(-1.0f);
  ImGui::InputTextWithHint(label, hint, buffer.data(), buffer.size());
}

int digitsOnly(ImGuiInputTextCallbackData* data) {
  return data->EventChar >= '0' && data->EventChar <= '9' ? 0 : 1;
}

bool hasSelection(const ClientSession& session) {
  return session.selectedWorld >= 0 && session.selectedWorld < static_cast<int>(session.worldList.size());
}

void showPage(ClientSession& session, MenuScreen page) {
  session.menuScreen = page;
  session.menuStatus.clear();
  session.deleteConfirmOpen = false;
  if (page == MenuWorlds || page == MenuMultiplayer) refreshWorldList(session);
}

// The bordered, selectable list of world folders.
void worldList(ClientSession& session, const char* id, float height, const char* emptyText) {
  ImGui::BeginChild(id, ImVec2(0.0f, height), true);
  if (session.worldList.empty()) ImGui::TextDisabled("%s", emptyText);
  for (std::size_t i = 0; i < session.worldList.size(); ++i) {
    const int index = static_cast<int>(i);
    // The name is drawn apart from the label: a folder name may hold "##", which a label hides.
    ImGui::PushID(index);
    const ImVec2 textAt = ImGui::GetCursorScreenPos();
    if (ImGui::Selectable("##world", session.selectedWorld == index)) {
      session.selectedWorld = index;
      session.deleteConfirmOpen = false;
    }
    ImGui::GetWindowDrawList()->AddText(textAt, ImGui::GetColorU32(ImGuiCol_Text), session.worldList[i].c_str());
    ImGui::PopID();
  }
  ImGui::EndChild();
}

void statusLine(const ClientSession& session) {
  if (session.menuStatus.empty()) return;
  ImGui::Spacing();
  wrappedText(session.menuStatus);
}

MenuAction mainPage(ClientSession& session) {
  MenuAction action = MenuNone;
  if (ImGui::Button(tr("Singleplayer"), ImVec2(-1.0f, 42.0f))) showPage(session, MenuWorlds);
  ImGui::Spacing();
  if (ImGui::Button(tr("Multiplayer"), ImVec2(-1.0f, 42.0f))) showPage(session, MenuMultiplayer);
  ImGui::Spacing();
  openFolderButtons(28.0f);
  ImGui::Spacing();
  if (ImGui::Button(tr("Quit"), ImVec2(-1.0f, 32.0f))) action = MenuQuit;
  separatedGap();
  for (const std::string& help : mainMenuHelp(session.settings.keys)) disabledText(help.c_str());
  separatedGap();
  ImGui::TextUnformatted(tr("Language"));
  ImGui::SetNextItemWidth(-1.0f);
  languageCombo("##language");
  return action;
}

MenuAction worldsPage(ClientSession& session) {
  ImGui::TextUnformatted(tr("Worlds"));
  disabledText(tr("Each world is a folder with world.dat and player.dat."));
  ImGui::Spacing();
  worldList(session, "##worldlist", 170.0f, tr("No worlds yet."));

  ImGui::Spacing();
  const bool selected = hasSelection(session);
  ImGui::BeginDisabled(!selected);
  const bool play = ImGui::Button(tr("Play Selected"), ImVec2(-1.0f, 36.0f));
  ImGui::EndDisabled();
  bool remove = false;
  if (selected) {
    if (session.deleteConfirmOpen) {
      const std::string& name = session.worldList[static_cast<std::size_t>(session.selectedWorld)];
      wrappedText(formatTranslated("Delete \"%s\" forever?", name.c_str()));
      remove = ImGui::Button(tr("Delete"), ImVec2(100.0f, 28.0f));
      ImGui::SameLine();
      if (ImGui::Button(tr("Cancel"), ImVec2(100.0f, 28.0f))) session.deleteConfirmOpen = false;
    } else if (ImGui::Button(tr("Delete Selected"), ImVec2(-1.0f, 28.0f))) {
      session.deleteConfirmOpen = true;
    }
  }

  separatedGap();
  ImGui::TextUnformatted(tr("Create a world"));
  textField("##worldname", tr("world name"), session.profile.worldName);
  textField("##seed", tr("seed (leave empty for random)"), session.profile.seedText);
  ImGui::Spacing();
  const bool create = ImGui::Button(tr("Create and Play"), ImVec2(-1.0f, 36.0f));

  statusLine(session);
  ImGui::Spacing();
  if (ImGui::Button(tr("Back"), ImVec2(-1.0f, 30.0f))) showPage(session, MenuMain);
  return worldsPageAction(create, remove, play);
}

// The servers joined last; picking one fills the address field.
void recentServers(Profile& profile) {
  if (profile.recentAddresses.empty()) return;
  ImGui::TextDisabled("%s", tr("Recent servers"));
  for (std::size_t i = 0; i < profile.recentAddresses.size(); ++i) {
    const std::string& address = profile.recentAddresses[i];
    ImGui::PushID(static_cast<int>(i));
    const ImVec2 textAt = ImGui::GetCursorScreenPos();
    if (ImGui::Selectable("##recent", bufferText(profile.serverAddress) == address)) {
      setBufferText(profile.serverAddress, address);
    }
    ImGui::GetWindowDrawList()->AddText(textAt, ImGui::GetColorU32(ImGuiCol_Text), address.c_str());
    ImGui::PopID();
  }
}

MenuAction multiplayerPage(ClientSession& session) {
  Profile& profile = session.profile;
  ImGui::TextUnformatted(tr("Multiplayer"));
  ImGui::Spacing();
  ImGui::TextUnformatted(tr("Player name"));
  ImGui::SetNextItemWidth(-1.0f);
  ImGui::InputText("##playername", profile.playerName.data(), profile.playerName.size());

  separatedGap();
  ImGui::TextUnformatted(tr("Host a world"));
  worldList(session, "##hostlist", 110.0f, tr("No saved worlds. Create one below."));
  ImGui::SetNextItemWidth(120.0f);
  ImGui::InputText(tr("UDP port"), profile.port.data(), profile.port.size(), ImGuiInputTextFlags_CallbackCharFilter,
                   digitsOnly);
  ImGui::BeginDisabled(!hasSelection(session));
  const bool hostSelected = ImGui::Button(tr("Host Selected World"), ImVec2(-1.0f, 34.0f));
  ImGui::EndDisabled();
  ImGui::Spacing();
  textField("##hostname", tr("new world name"), profile.worldName);
  const bool hostNew = ImGui::Button(tr("Host New World"), ImVec2(-1.0f, 32.0f));
  wrappedText(formatTranslated("Share your IP or domain. Forward UDP port %s on your router.", profile.port.data()));

  separatedGap();
  ImGui::TextUnformatted(tr("Join a server"));
  textField("##address", tr("play.example.com or 1.2.3.4:27632"), profile.serverAddress);
  recentServers(profile);
  const bool join = ImGui::Button(tr("Join Server"), ImVec2(-1.0f, 34.0f));
  wrappedText(tr("No port means 27632. Domains also try the _zorvander._udp SRV record."));

  statusLine(session);
  ImGui::Spacing();
  if (ImGui::Button(tr("Back"), ImVec2(-1.0f, 30.0f))) showPage(session, MenuMain);
  return multiplayerPageAction(join, hostNew, hostSelected);
}

MenuAction connectingPage(ClientSession& session) {
  ImGui::SetWindowFontScale(1.5f);
  ImGui::TextUnformatted(tr("Connecting"));
  ImGui::SetWindowFontScale(1.0f);
  ImGui::Spacing();
  wrappedText(session.menuStatus.empty() ? std::string(tr("Contacting the host...")) : session.menuStatus);
  ImGui::Spacing();
  disabledText(formatTranslated("Address: %s", session.profile.serverAddress.data()).c_str());
  ImGui::Spacing();
  return ImGui::Button(tr("Cancel"), ImVec2(-1.0f, 32.0f)) ? MenuCancelConnecting : MenuNone;
}

void settingsSection(ClientSession& session) {
  Settings& settings = session.settings;
  PlayerPreferences& preferences = session.preferences;
  ImGui::SliderFloat(tr("Mouse sensitivity"), &preferences.mouseSensitivity, 0.03f, 0.3f, "%.2f");
  ImGui::SliderFloat(tr("Field of view"), &preferences.fieldOfView, 55.0f, 100.0f, "%.0f");
  int distance = preferences.renderDistance;
  if (ImGui::SliderInt(tr("Render distance"), &distance, 4, 12, "%d") && distance != preferences.renderDistance) {
    preferences.renderDistance = distance;
    session.streamer.setRenderDistance(distance);
  }
  languageCombo(tr("Language"));
  ImGui::Checkbox(tr("Shadows"), &settings.shadowsEnabled);
  ImGui::Checkbox(tr("Post-processing"), &settings.postProcessingEnabled);
  ImGui::Checkbox(tr("Vertical Sync"), &settings.verticalSync);
  ImGui::SliderInt(tr("Render scale"), &settings.renderScale, 50, 100, "%d%%", ImGuiSliderFlags_AlwaysClamp);
  windowAndInputSettings(session);
  ImGui::Spacing();
  openFolderButtons(26.0f);
}

void villageCount(ClientSession& session) {
  if (!session.world) return;
  const int x = floorToInt(session.player.x);
  const int z = floorToInt(session.player.z);
  const std::size_t count = sitesWithin(*session.world, x, z, kVillageCountRadius).size();
  ImGui::TextDisabled("%s", formatTranslated("Villages within 640 blocks: %d", static_cast<int>(count)).c_str());
}

}  // namespace

MenuAction worldsPageAction(bool createPressed, bool deletePressed, bool playPressed) {
  if (createPressed) return MenuCreateAndPlay;
  if (deletePressed) return MenuDeleteSelected;
  return playPressed ? MenuPlaySelected : MenuNone;
}

MenuAction multiplayerPageAction(bool joinPressed, bool hostNewPressed, bool hostSelectedPressed) {
  if (joinPressed) return MenuJoinServer;
  if (hostNewPressed) return MenuHostNew;
  return hostSelectedPressed ? MenuHostSelected : MenuNone;
}

PauseAction pauseMenuAction(bool resumePressed, bool savePressed, bool toMenuPressed, bool quitPressed) {
  if (quitPressed) return PauseQuit;
  if (toMenuPressed) return PauseToMenu;
  if (savePressed) return PauseSave;
  return resumePressed ? PauseResume : PauseNone;
}

MenuAction buildMainMenu(ClientSession& session) {
  centreNextWindow(session.menuScreen == MenuWorlds ? 540.0f : 480.0f);
  MenuAction action = MenuNone;
  if (ImGui::Begin("##mainmenu", nullptr, kMenuWindowFlags | ImGuiWindowFlags_NoTitleBar)) {
    ImGui::SetWindowFontScale(2.1f);
    ImGui::TextUnformatted("Zorvander");
    ImGui::SetWindowFontScale(1.0f);
    ImGui::TextDisabled("%s", kVersion);
    separatedGap();
    switch (session.menuScreen) {
      case MenuMain: action = mainPage(session); break;
      case MenuWorlds: action = worldsPage(session); break;
      case MenuMultiplayer: action = multiplayerPage(session); break;
      case MenuConnecting: action = connectingPage(session); break;
    }
  }
  ImGui::End();
  return action;
}

PauseAction buildPauseMenu(ClientSession& session, const UiFrameInfo& frame) {
  session.player.lookSensitivity = session.preferences.mouseSensitivity;
  centreNextWindow(400.0f);
  // The title follows the language; the "###" part keeps the window's identity.
  const std::string title = std::string(tr("Paused")) + "###paused";
  bool resume = false, save = false, toMenu = false, quit = false;
  if (ImGui::Begin(title.c_str(), nullptr, kMenuWindowFlags)) {
    ImGui::Text("Zorvander %s", kVersion);
    const std::string place = session.world && !session.worldName.empty()
                                  ? formatTranslated("%s  -  seed %u", session.worldName.c_str(), session.seed)
                                  : formatTranslated("Multiplayer  -  seed %u", session.seed);
    ImGui::TextDisabled("%s", place.c_str());
    if (session.networkRole != RoleOffline) {
      const char* role = session.networkRole == RoleHost ? tr("Hosting") : tr("Connected");
      const int players = static_cast<int>(session.remotePlayers.size()) + 1;
      ImGui::TextDisabled("%s", formatTranslated("%s  -  %d ms  -  %d player(s)", role, frame.rttMs, players).c_str());
    }
    separatedGap();
    const ImVec2 buttonSize(-1.0f, 34.0f);
    resume = ImGui::Button(tr("Resume"), buttonSize);
    ImGui::Spacing();
    if (session.networkRole != RoleClient) {
      save = ImGui::Button(tr("Save"), buttonSize);
      ImGui::Spacing();
    }
    toMenu = ImGui::Button(session.networkRole != RoleOffline ? tr("Disconnect to Menu") : tr("Save and Quit to Menu"),
                           buttonSize);
    ImGui::Spacing();
    quit = ImGui::Button(tr("Quit to Desktop"), buttonSize);
    ImGui::Spacing();
    ImGui::Separator();
    const std::string settingsLabel = std::string(tr("Settings")) + "###settings";
    if (ImGui::CollapsingHeader(settingsLabel.c_str())) settingsSection(session);
    const std::string controlsLabel = std::string(tr("Controls")) + "###controls";
    if (ImGui::CollapsingHeader(controlsLabel.c_str())) {
      controlsSection(session);
    } else {
      session.keyCapture.waiting.reset();
    }
    ImGui::Spacing();
    for (const std::string& help : pauseMenuHelp(session.settings.keys)) ImGui::TextDisabled("%s", help.c_str());
    ImGui::Spacing();
    villageCount(session);
  }
  ImGui::End();
  return pauseMenuAction(resume, save, toMenu, quit);
}

}  // namespace zorv
