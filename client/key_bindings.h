#pragma once
// Which keyboard key triggers each player action. Keys are GLFW key codes held as plain
// integers, so this library needs no window headers; the tables here know the codes'
// names for the options file and for display. Mouse buttons are not rebindable.

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorv {

enum class Action : int {
  MoveForward,
  MoveBack,
  MoveLeft,
  MoveRight,
  Jump,
  Descend,  // sneak, or fly down
  Sprint,
  ToggleFlying,
  Inventory,
  Chat,
  Command,
  Screenshot,
  Debug,
  Spectator,
  Minimap,
  Pause,
  Hotbar1,
  Hotbar2,
  Hotbar3,
  Hotbar4,
  Hotbar5,
  Hotbar6,
  Hotbar7,
  Hotbar8,
  Hotbar9,
  FullScreen,
};
inline constexpr std::size_t kActionCount = static_cast<std::size_t>(Action::FullScreen) + 1;

// GLFW's key codes of the keys the game treats specially.
inline constexpr int kKeyEscape = 256;
inline constexpr int kKeyUnbound = -1;

struct ActionInfo {
  Action action;
  const char* fileKey;  // the options-file key: "key_" followed by this
  const char* label;    // English text, shown through the translation lookup
  int defaultKey;
};

// Every action in display order.
const std::array<ActionInfo, kActionCount>& actionTable();
const ActionInfo& actionInfo(Action action);
// The hotbar action of slot 0 to 8.
Action hotbarAction(int slot);

struct KeyBindings {
  std::array<int, kActionCount> keys;

  KeyBindings();  // the default keys
  int key(Action action) const { return keys[static_cast<std::size_t>(action)]; }
  void bind(Action action, int keyCode) { keys[static_cast<std::size_t>(action)] = keyCode; }
  bool isDefault(Action action) const { return key(action) == actionInfo(action).defaultKey; }
  bool operator==(const KeyBindings&) const = default;
};

// The other actions bound to the same key as `action` (none when it is unbound).
std::vector<Action> conflictsOf(const KeyBindings& bindings, Action action);

// The key's name in the options file ("W", "SPACE", "LEFT_SHIFT", "F11"); empty for a
// code the table does not know.
std::string_view keyFileName(int keyCode);
// The code of a name written by keyFileName (case-insensitive); nothing when unknown.
std::optional<int> keyFromFileName(std::string_view name);
// The key as shown to the player ("W", "Space", "Left Shift", "/"); "?" when unknown.
std::string_view keyLabel(int keyCode);
// Whether a key may be bound at all (a known code).
bool isBindableKey(int keyCode);

// The character a printable key types without modifiers (its code is that character,
// upper case for letters); 0 for keys that type none.
char keyCharacter(int keyCode);
// Whether a typed character came from the key: letters match in either case.
bool characterFromKey(char32_t codepoint, int keyCode);

// How a group of actions' keys reads in a help text: one character each runs together
// ("WASD"), the digits 1 to 9 in order read "1-9", anything else is joined by "/".
std::string keysLabel(const KeyBindings& bindings, std::initializer_list<Action> actions);
// Whether every one of the actions keeps its default key (help texts then read as always).
bool allDefault(const KeyBindings& bindings, std::initializer_list<Action> actions);

// Rebinding from the menu: after a click the next key pressed is bound to the action.
struct KeyCapture {
  std::optional<Action> waiting;
  bool justEnded = false;  // set when a key ended the wait, so that key does nothing else
};

// Offers a pressed key to a waiting capture: Esc cancels it, a bindable key is bound, any
// other key is ignored. True when the capture took the key.
bool offerCapturedKey(KeyCapture& capture, KeyBindings& bindings, int keyCode);

}  // namespace zorv
