#include "client/client_session.h"

#include "persist/level_save.h"
#include "sound/sound_effects.h"

namespace zorv {

static_assert(static_cast<int>(CueBreak) == SoundBreak && static_cast<int>(CuePlace) == SoundPlace &&
              static_cast<int>(CueStep) == SoundStep && static_cast<int>(CueHurt) == SoundHurt);

void ClientSession::forgetWorld() {
  if (renderer) renderer->clearChunkMeshes();
  streamer.reset();
  chatOpen = false;
  chatText.clear();
  minimapTimer = kMinimapFirstFrame;
}

void ClientSession::showArea(World& shown, Vec3 centre, int radius) {
  if (renderer) streamer.preload(shown, *renderer, centre, radius);
}

void ClientSession::remeshChanged(World& changed) {
  if (renderer) {
    streamer.remeshChanged(changed, *renderer);
  } else {
    changed.remeshSet.clear();
  }
}

void ClientSession::follow(World& shown, Vec3 eye, float dt) {
  minimapTimer += dt;
  if (minimapTimer > kMinimapInterval) {
    updateMinimap(*this);
    minimapTimer = 0.0f;
  }
  if (renderer) streamer.update(shown, *renderer, eye);
}

void ClientSession::setRenderDistance(int chunks) { streamer.setRenderDistance(chunks); }

void ClientSession::appStateChanged(AppState state) {
  mouseTracking = false;
  cursorCaptured = state == AppPlaying;
}

void ClientSession::inventoryOpened() {
  mouseTracking = false;
  cursorCaptured = false;
}

void ClientSession::inventoryClosed() {
  mouseTracking = false;
  cursorCaptured = appState == AppPlaying && !chatOpen;
}

void ClientSession::showMenu(MenuScreen screen, const std::string& status) {
  menuScreen = screen;
  menuStatus = status;
  deleteConfirmOpen = false;
}

void ClientSession::setMenuStatus(const std::string& status) { menuStatus = status; }

void ClientSession::worldListChanged() { refreshWorldList(*this); }

void ClientSession::lineEntered(const std::string& line) {
  if (!line.empty() && (chatHistory.empty() || chatHistory.back() != line)) chatHistory.push_back(line);
  if (chatHistory.size() > kChatHistoryCapacity) chatHistory.erase(chatHistory.begin());
  historyIndex = -1;
}

bool ClientSession::toggleDebugOverlay() {
  debugOverlay = !debugOverlay;
  return debugOverlay;
}

void refreshWorldList(ClientSession& session) {
  session.worldList = listWorlds();
  const int count = static_cast<int>(session.worldList.size());
  if (count == 0) {
    session.selectedWorld = -1;
  } else if (session.selectedWorld < 0 || session.selectedWorld >= count) {
    session.selectedWorld = 0;
  }
}

void playQueuedSounds(GameSession& session) {
  for (const SoundCue cue : session.soundCues) playSound(cue);
  session.soundCues.clear();
}

}  // namespace zorv
