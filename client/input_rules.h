#pragma once
// The window-free half of the keyboard, cursor, scroll and character input: the main loop
// samples the keys into a `KeyboardFrame` and forwards the window's callbacks here, so the
// rules (pause, inventory, overlays, chat editing, flight) run and are tested without a
// window. The cursor is changed only through `session.cursorCaptured`.

#include <cstdint>
#include <functional>
#include <string>

namespace zorv {

struct ClientSession;

inline constexpr float kBackspaceFirstRepeat = -0.4f;  // seconds until the first repeat
inline constexpr float kBackspaceRepeat = -0.045f;     // seconds between later repeats
inline constexpr double kDoubleTapSeconds = 0.32;
inline constexpr double kNoSpaceTap = -100.0;

// Which keys are down this frame. `escape` is the Esc key itself, which always closes the
// chat and the inventory; the others are the keys bound to their actions (by default Esc
// E F2 F3 F4 M F Space F11 T /). Either Enter key counts as Enter; `paste` is V while
// either Ctrl key is down.
struct KeyStates {
  bool escape = false, pause = false, inventory = false, screenshot = false, debug = false, spectator = false;
  bool minimap = false, fly = false, space = false, fullScreen = false, chat = false, command = false;
  bool enter = false, backspace = false, paste = false, up = false, down = false, tab = false;
};

struct KeyboardFrame {
  KeyStates keys;
  // Reads the clipboard text; called only when a paste is triggered.
  std::function<std::string()> readClipboard;
};

// What the keyboard rules remember between frames.
struct KeyMemory {
  KeyStates previous;
  double lastSpaceTime = kNoSpaceTap;  // the Space press that may start a double tap
  float backspaceTimer = 0.0f;
};

// The keyboard commands of one frame in their fixed order: pause, inventory, debug,
// spectator, minimap, screenshot, full screen, chat keys that type no character, chat
// editing, fly, jump. Every key acts on the frame it goes down; a key bound to an action
// that types a character does not act while the chat is open. The frame a key ended a
// rebinding wait does nothing else. `now` is the clock in seconds, `dt` the frame's delta.
void applyKeyboard(ClientSession& session, KeyMemory& memory, const KeyboardFrame& frame, float dt, double now);

// Window callbacks. The character callback opens the chat with the characters of the
// chat and command keys (and '^' for commands); a pressed key first goes to a waiting
// rebinding.
void onKeyPressed(ClientSession& session, int keyCode);
void onCursorMoved(ClientSession& session, double x, double y);
void onScrolled(ClientSession& session, double yOffset);
void onCharacter(ClientSession& session, std::uint32_t codepoint);

// Appends clipboard text to the chat line: CR dropped, tab and line feed as spaces,
// printable ASCII kept, everything else dropped, up to the chat's 200 bytes.
void appendPastedText(std::string& chatText, const std::string& clipboard);

// Tab completion of a command name: "/ti" becomes "/time "; unchanged without a match or
// once the text holds a space.
std::string completeCommand(const std::string& chatText);

}  // namespace zorv
