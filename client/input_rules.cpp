#include "client/input_rules.h"

#include <algorithm>
#include <string>

#include "client/client_session.h"
#include "game/commands.h"
#include "lang/localisation.h"
#include "net/session.h"
#include "world/physics.h"

namespace zorv {

namespace {

// Two clock readings 0.32 s apart may differ from 0.32 by rounding.
constexpr double kTapTolerance = 1e-6;

bool pressed(bool now, bool before) { return now && !before; }

bool playingFreely(const ClientSession& session) {
  return session.appState == AppPlaying && !session.chatOpen && !session.inventoryOpen;
}

void say(ClientSession& session, const char* text) { addMessage(session, tr(text)); }

// Whether the action's key would type into the open chat instead of acting.
bool typesIntoChat(const ClientSession& session, Action action) {
  return session.chatOpen && keyCharacter(session.settings.keys.key(action)) != 0;
}

void closeChat(ClientSession& session) {
  session.chatOpen = false;
  session.chatText.clear();
  session.mouseTracking = false;
  session.cursorCaptured = session.appState == AppPlaying && !session.inventoryOpen;
}

void openChat(ClientSession& session, bool forTalk) {
  session.chatOpen = true;
  session.chatForTalk = forTalk;
  session.chatText = forTalk ? "" : "/";
  session.mouseTracking = false;
  session.historyIndex = -1;
  session.cursorCaptured = false;
}

// The chat and command keys open the chat through the character callback when they type
// a character; these are the others (an F key, say).
void chatKeys(ClientSession& session, const KeyStates& keys, const KeyStates& before) {
  if (session.chatOpen || session.appState != AppPlaying || session.inventoryOpen) return;
  const KeyBindings& bindings = session.settings.keys;
  if (pressed(keys.command, before.command) && keyCharacter(bindings.key(Action::Command)) == 0) {
    openChat(session, false);
  } else if (pressed(keys.chat, before.chat) && keyCharacter(bindings.key(Action::Chat)) == 0) {
    openChat(session, true);
  }
}

void toggleFlight(ClientSession& session) {
  session.player.flying = !session.player.flying;
  session.player.vy = 0.0f;
  say(session, session.player.flying ? "Flying" : "Flight off");
}

void escape(ClientSession& session) {
  if (session.chatOpen) {
    closeChat(session);
  } else if (session.inventoryOpen) {
    closeInventory(session);
  } else if (session.appState == AppPlaying) {
    setAppState(session, AppPaused);
  } else if (session.appState == AppPaused) {
    setAppState(session, AppPlaying);
  }
}

void toggleInventory(ClientSession& session) {
  if (session.inventoryOpen) {
    closeInventory(session);
  } else if (gameMode(session) == ModeSurvival) {
    openInventory(session, 2);
  } else {
    say(session, "Inventory is only used in Survival mode");
  }
}

// With F3 held the modes cycle Creative, Survival, Spectator; otherwise Spectator toggles.
void switchMode(ClientSession& session, bool cycle) {
  if (!cycle) {
    toggleSpectator(session);
    return;
  }
  const GameMode mode = gameMode(session);
  setGameMode(session, mode == ModeCreative ? ModeSurvival : mode == ModeSurvival ? ModeSpectator : ModeCreative);
}

void toggleMinimap(ClientSession& session) {
  session.minimapOn = !session.minimapOn;
  say(session, session.minimapOn ? "Minimap on" : "Minimap off");
}

void submitChat(ClientSession& session) {
  const std::string text = session.chatText;
  closeChat(session);
  if (text.empty()) return;
  if (text.front() == '/') {
    runCommand(session, text);
    return;
  }
  if (session.networkRole == RoleClient) sendChat(session.net, text);
  if (session.networkRole == RoleHost) broadcastChat(session.net, 0, session.networkPlayerName, text);
  addMessage(session, formatTranslated("You: %s", text.c_str()));
}

void deleteLastCharacter(std::string& text) {
  if (!text.empty()) text.pop_back();
}

void backspace(ClientSession& session, KeyMemory& memory, bool down, bool before, float dt) {
  if (!down) {
    memory.backspaceTimer = 0.0f;
    return;
  }
  if (!before) {
    deleteLastCharacter(session.chatText);
    memory.backspaceTimer = kBackspaceFirstRepeat;
    return;
  }
  memory.backspaceTimer += dt;
  if (memory.backspaceTimer >= 0.0f) {
    deleteLastCharacter(session.chatText);
    memory.backspaceTimer = kBackspaceRepeat;  // any overshoot past 0 is dropped
  }
}

void historyUp(ClientSession& session) {
  const int size = static_cast<int>(session.chatHistory.size());
  if (size == 0) return;
  int& index = session.historyIndex;
  index = index < 0 || index >= size ? size - 1 : std::max(index - 1, 0);
  session.chatText = session.chatHistory[static_cast<std::size_t>(index)];
}

void historyDown(ClientSession& session) {
  int& index = session.historyIndex;
  if (index < 0) return;
  ++index;
  if (index < static_cast<int>(session.chatHistory.size())) {
    session.chatText = session.chatHistory[static_cast<std::size_t>(index)];
  } else {
    index = -1;
    session.chatText.clear();
  }
}

void editChat(ClientSession& session, KeyMemory& memory, const KeyboardFrame& frame, float dt) {
  const KeyStates& keys = frame.keys;
  const KeyStates& before = memory.previous;
  if (pressed(keys.enter, before.enter)) {
    submitChat(session);
    return;
  }
  backspace(session, memory, keys.backspace, before.backspace, dt);
  if (pressed(keys.paste, before.paste) && frame.readClipboard) appendPastedText(session.chatText, frame.readClipboard());
  if (pressed(keys.up, before.up)) historyUp(session);
  if (pressed(keys.down, before.down)) historyDown(session);
  if (pressed(keys.tab, before.tab)) session.chatText = completeCommand(session.chatText);
}

void space(ClientSession& session, KeyMemory& memory, double now) {
  if (now - memory.lastSpaceTime <= kDoubleTapSeconds + kTapTolerance) {
    toggleFlight(session);
    memory.lastSpaceTime = kNoSpaceTap;  // a third press starts a new double tap
  } else {
    memory.lastSpaceTime = now;
  }
}

}  // namespace

void appendPastedText(std::string& chatText, const std::string& clipboard) {
  for (const char c : clipboard) {
    if (chatText.size() >= kMaxChatBytes) break;
    if (c == '\t' || c == '\n') {
      chatText.push_back(' ');
    } else if (c >= 32 && c <= 126) {
      chatText.push_back(c);
    }
  }
}

std::string completeCommand(const std::string& chatText) {
  if (!chatText.starts_with('/') || chatText.find(' ') != std::string::npos) return chatText;
  const std::string_view prefix = std::string_view(chatText).substr(1);
  for (const std::string_view name : completableCommandNames()) {
    if (name.starts_with(prefix)) return "/" + std::string(name) + " ";
  }
  return chatText;
}

void applyKeyboard(ClientSession& session, KeyMemory& memory, const KeyboardFrame& frame, float dt, double now) {
  const KeyStates& keys = frame.keys;
  const KeyStates& before = memory.previous;
  if (session.keyCapture.justEnded) {
    session.keyCapture.justEnded = false;
    memory.previous = keys;
    return;
  }
  if (pressed(keys.escape, before.escape) || (pressed(keys.pause, before.pause) && !typesIntoChat(session, Action::Pause))) {
    escape(session);
  }
  if (pressed(keys.inventory, before.inventory) && session.appState == AppPlaying && !session.chatOpen) {
    toggleInventory(session);
  }
  if (pressed(keys.debug, before.debug) && !session.chatOpen) session.debugOverlay = !session.debugOverlay;
  if (pressed(keys.spectator, before.spectator) && playingFreely(session)) switchMode(session, keys.debug);
  if (pressed(keys.minimap, before.minimap) && playingFreely(session)) toggleMinimap(session);
  if (pressed(keys.screenshot, before.screenshot) && session.appState == AppPlaying &&
      !typesIntoChat(session, Action::Screenshot)) {
    session.screenshotRequested = true;
  }
  if (pressed(keys.fullScreen, before.fullScreen) && !typesIntoChat(session, Action::FullScreen)) {
    session.settings.fullScreen = !session.settings.fullScreen;
  }
  chatKeys(session, keys, before);
  if (session.chatOpen) {
    editChat(session, memory, frame, dt);
  } else {
    memory.backspaceTimer = 0.0f;
  }
  const bool creativeFreely = playingFreely(session) && gameMode(session) == ModeCreative;
  if (pressed(keys.fly, before.fly) && creativeFreely) toggleFlight(session);
  if (pressed(keys.space, before.space) && creativeFreely) space(session, memory, now);
  memory.previous = keys;
}

void onCursorMoved(ClientSession& session, double x, double y) {
  if (!playingFreely(session)) {
    session.mouseTracking = false;
    return;
  }
  if (session.mouseTracking) {
    const double dy = y - session.cursorY;
    look(session.player, static_cast<float>(x - session.cursorX), static_cast<float>(session.settings.invertMouse ? -dy : dy));
  }
  session.cursorX = x;
  session.cursorY = y;
  session.mouseTracking = true;
}

void onScrolled(ClientSession& session, double yOffset) {
  if (!playingFreely(session) || yOffset == 0.0) return;
  const int slot = session.inventory.selected;
  session.inventory.select(yOffset > 0.0 ? (slot + 8) % kHotbarSlots : (slot + 10) % kHotbarSlots);
}

void onCharacter(ClientSession& session, std::uint32_t codepoint) {
  if (session.appState != AppPlaying || session.inventoryOpen) return;
  if (session.chatOpen) {
    if (codepoint >= 32 && codepoint <= 126 && session.chatText.size() < kMaxChatBytes) {
      session.chatText.push_back(static_cast<char>(codepoint));
    }
    return;
  }
  const KeyBindings& keys = session.settings.keys;
  if (codepoint == '^' || characterFromKey(codepoint, keys.key(Action::Command))) {
    openChat(session, false);
  } else if (characterFromKey(codepoint, keys.key(Action::Chat))) {
    openChat(session, true);
  }
}

void onKeyPressed(ClientSession& session, int keyCode) {
  // The Controls list waits only inside the pause menu; a wait left behind ends there.
  if (session.appState != AppPaused) session.keyCapture.waiting.reset();
  offerCapturedKey(session.keyCapture, session.settings.keys, keyCode);
}

}  // namespace zorv
