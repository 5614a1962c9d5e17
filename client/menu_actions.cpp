#include "client/menu_actions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "client/options.h"
#include "game/multiplayer.h"
#include "game/sky.h"
#include "game/world_life_cycle.h"
#include "lang/localisation.h"
#include "mods/loader.h"
#include "net/address.h"
#include "net/session.h"
#include "persist/level_save.h"
#include "platform/platform.h"
#include "platform/version.h"

namespace zorv {

namespace {

bool hasSelection(const ClientSession& session) {
  return session.selectedWorld >= 0 && session.selectedWorld < static_cast<int>(session.worldList.size());
}

const std::string& selectedName(const ClientSession& session) {
  return session.worldList[static_cast<std::size_t>(session.selectedWorld)];
}

void selectWorld(ClientSession& session, const std::string& name) {
  const auto found = std::find(session.worldList.begin(), session.worldList.end(), name);
  session.selectedWorld =
      found == session.worldList.end() ? -1 : static_cast<int>(found - session.worldList.begin());
}

void stopToOffline(ClientSession& session) {
  stopNetworking(session);
  session.networkRole = RoleOffline;
}

// A free name for a new world, or nothing after telling the user it is taken.
std::optional<std::string> newWorldName(ClientSession& session) {
  const std::string name = sanitizeWorldName(bufferText(session.profile.worldName));
  if (worldExists(name)) {
    session.menuStatus = formatTranslated("A world named \"%s\" already exists", name.c_str());
    return std::nullopt;
  }
  return name;
}

void createAndSelect(ClientSession& session, const std::string& name) {
  createWorld(session, seedFromText(bufferText(session.profile.seedText)), name);
  saveWorld(session);
  refreshWorldList(session);
  selectWorld(session, name);
}

void createAndPlay(ClientSession& session) {
  const std::optional<std::string> name = newWorldName(session);
  if (!name) return;
  stopToOffline(session);
  session.localPlayerId = 0;
  createAndSelect(session, *name);
  setAppState(session, AppPlaying);
}

void playSelected(ClientSession& session) {
  if (!hasSelection(session)) return;
  const std::string name = selectedName(session);
  stopToOffline(session);
  if (!loadWorld(session, name)) {
    session.menuStatus = formatTranslated("Could not load \"%s\"", name.c_str());
    return;
  }
  setAppState(session, AppPlaying);
}

void deleteSelected(ClientSession& session) {
  if (!hasSelection(session)) return;
  const std::string name = selectedName(session);
  // A folder that could not be removed must not be reported as deleted.
  session.menuStatus = deleteWorld(name) ? formatTranslated("Deleted \"%s\"", name.c_str())
                                         : formatTranslated("Could not delete \"%s\"", name.c_str());
  session.deleteConfirmOpen = false;
  refreshWorldList(session);
}

void host(ClientSession& session, bool newWorld) {
  const std::optional<std::uint16_t> port = parsePortText(bufferText(session.profile.port));
  if (!port) {
    session.menuStatus = tr("Invalid UDP port");
    return;
  }
  std::string name;
  if (newWorld) {
    const std::optional<std::string> free = newWorldName(session);
    if (!free) return;
    name = *free;
  } else if (hasSelection(session)) {
    name = selectedName(session);
  } else {
    session.menuStatus = tr("Select a world to host");
    return;
  }

  stopNetworking(session);
  session.net.modFingerprint = session.mods.fingerprint;  // clients must have the same mods
  std::string error;
  if (!startHost(session.net, *port, error)) {
    session.networkRole = RoleOffline;
    session.menuStatus = error;
    return;
  }
  session.networkRole = RoleHost;
  session.localPlayerId = 1;
  session.networkPlayerName = effectivePlayerName(session.profile);
  if (newWorld) {
    createAndSelect(session, name);
  } else if (!loadWorld(session, name)) {
    stopToOffline(session);
    session.menuStatus = formatTranslated("Could not load \"%s\"", name.c_str());
    return;
  }
  session.menuScreen = MenuMultiplayer;
  session.menuStatus.clear();
  beginHostedPlay(session, name, *port);
}

void join(ClientSession& session) {
  const std::string address = bufferText(session.profile.serverAddress);
  if (address.empty()) {
    session.menuStatus = tr("Enter a server address");
    return;
  }
  session.networkPlayerName = effectivePlayerName(session.profile);
  Endpoint endpoint;
  std::string error;
  if (!resolveServer(address, kDefaultGamePort, endpoint, error)) {
    session.menuStatus = error;
    return;
  }
  // A session left over from an earlier attempt would keep its socket.
  stopNetworking(session);
  session.net.modFingerprint = session.mods.fingerprint;  // the host compares it with its own
  if (!connect(session.net, endpoint, session.networkPlayerName, error)) {
    session.menuStatus = error;
    return;
  }
  session.networkRole = RoleClient;
  session.localPlayerId = 0;
  rememberAddress(session.profile.recentAddresses, address);
  dropWorld(session);
  session.menuScreen = MenuConnecting;
  session.menuStatus = formatTranslated("Contacting %s...", formatEndpoint(endpoint).c_str());
}

void cancelConnecting(ClientSession& session) {
  stopToOffline(session);
  session.localPlayerId = 0;
  dropWorld(session);
  session.menuScreen = MenuMultiplayer;
  session.menuStatus = tr("Cancelled");
}

const char* menuScreenName(MenuScreen screen) {
  switch (screen) {
    case MenuWorlds: return "world list";
    case MenuMultiplayer: return "multiplayer menu";
    case MenuConnecting: return "connecting";
    default: return "main menu";
  }
}

}  // namespace

void handleMenuAction(ClientSession& session, MenuAction action) {
  switch (action) {
    case MenuCreateAndPlay: createAndPlay(session); break;
    case MenuPlaySelected: playSelected(session); break;
    case MenuDeleteSelected: deleteSelected(session); break;
    case MenuHostSelected: host(session, false); break;
    case MenuHostNew: host(session, true); break;
    case MenuJoinServer: join(session); break;
    case MenuCancelConnecting: cancelConnecting(session); break;
    case MenuQuit: session.quitRequested = true; break;
    case MenuNone: break;
  }
}

void handlePauseAction(ClientSession& session, PauseAction action) {
  switch (action) {
    case PauseResume: setAppState(session, AppPlaying); break;
    case PauseSave: saveAndReport(session); break;
    case PauseToMenu: {
      const std::string name = session.worldName;
      const bool saved = session.networkRole != RoleOffline || saveWorld(session);
      leaveWorld(session);
      if (!saved) session.menuStatus = formatTranslated("Could not save %s", name.c_str());
      break;
    }
    case PauseQuit:
      if (session.networkRole != RoleClient && !saveWorld(session)) {
        addMessage(session, formatTranslated("Could not save %s", session.worldName.c_str()));
      }
      stopNetworking(session);
      session.quitRequested = true;
      break;
    case PauseNone: break;
  }
}

void handleDeathAction(ClientSession& session, DeathAction action) {
  if (action == DeathRespawn) respawnPlayer(session);
  if (action == DeathQuitToMenu) leaveWorld(session);
}

void openFolder(std::string_view name) {
  const std::filesystem::path folder = platform::programFolder(name);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  platform::openInShell(folder);
}

std::string screenshotTitle() { return std::string("Zorvander ") + kVersion; }

std::string screenshotDescription(const ClientSession& session) {
  const std::string title = screenshotTitle();
  char text[512];
  if (session.appState != AppMenu && session.world) {
    const std::string worldName = session.worldName.empty() ? "(multiplayer)" : session.worldName;
    const PlayerBody& player = session.player;
    std::snprintf(text, sizeof text,
                  "%s\nWorld: %s\nSeed: %u\nPosition: %.2f, %.2f, %.2f\nIn-game time: %s\nWeather: %s\nGame mode: %s",
                  title.c_str(), worldName.c_str(), session.seed, static_cast<double>(player.x),
                  static_cast<double>(player.y), static_cast<double>(player.z), inGameClock(session.timeOfDay).c_str(),
                  weatherName(session.weather), gameModeName(gameMode(session)));
  } else {
    std::snprintf(text, sizeof text, "%s\nScreen: %s", title.c_str(), menuScreenName(session.menuScreen));
  }
  return text;
}

}  // namespace zorv
