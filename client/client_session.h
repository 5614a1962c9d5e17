#pragma once
// The session of a player's program: the game session plus what only a player has — the
// settings, the menu pages and their texts, the chat line and its history, the cursor, the screenshot
// and quit requests, the minimap and the debug overlay, and what shows the world: the chunk
// streamer and the renderer that receives its meshes.
#include <string>
#include <vector>

#include "client/minimap.h"
#include "client/settings.h"
#include "client/streamer.h"
#include "game/game_session.h"
#include "render/renderer.h"

namespace zorv {

inline constexpr std::size_t kChatHistoryCapacity = 30;

struct ClientSession : GameSession, SessionView {
  ClientSession() { view = this; }

  Settings settings;
  Profile profile;

  // Menu pages.
  MenuScreen menuScreen = MenuMain;
  std::string menuStatus;
  bool deleteConfirmOpen = false;
  std::vector<std::string> worldList;
  int selectedWorld = -1;

  // The chat line.
  bool chatOpen = false;
  bool chatForTalk = false;
  std::string chatText;
  std::vector<std::string> chatHistory;  // oldest first, at most 30
  int historyIndex = -1;

  // The cursor and the window.
  bool mouseTracking = false;
  bool cursorCaptured = false;  // what the main loop applies to the window's cursor
  // The cursor position of the last motion, meaningful while `mouseTracking` is set.
  double cursorX = 0.0, cursorY = 0.0;
  bool screenshotRequested = false;
  bool quitRequested = false;  // the main loop asks the window to close
  int monitorRefreshRate = 0;

  KeyCapture keyCapture;  // the Controls list waiting for a key

  // Overlays.
  bool minimapOn = true;
  MinimapGrid minimap;
  MinimapColourCache minimapColourCache;
  float minimapTimer = kMinimapFirstFrame;
  bool debugOverlay = false;

  // May be null (headless tests); meshes are then dropped, the streaming state is kept.
  Renderer* renderer = nullptr;
  ChunkStreamer streamer;

  void forgetWorld() override;
  void showArea(World& world, Vec3 centre, int radius) override;
  void remeshChanged(World& world) override;
  void follow(World& world, Vec3 eye, float dt) override;
  void setRenderDistance(int chunks) override;
  // The streamer loads columns only while there is a renderer to mesh them for.
  bool streamsColumns() const override { return renderer != nullptr; }
  void appStateChanged(AppState state) override;
  void inventoryOpened() override;
  void inventoryClosed() override;
  void showMenu(MenuScreen screen, const std::string& status) override;
  void setMenuStatus(const std::string& status) override;
  void worldListChanged() override;
  void lineEntered(const std::string& line) override;
  bool toggleDebugOverlay() override;
  std::string playerName() const override { return effectivePlayerName(profile); }
};

// Reads the saved worlds again and keeps the selection inside the list.
void refreshWorldList(ClientSession& session);

// Plays the queued sound cues, oldest first, and empties the queue.
void playQueuedSounds(GameSession& session);

}  // namespace zorv
