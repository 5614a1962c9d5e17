// The action table with today's keys, and the names of GLFW's key codes.

#include "client/key_bindings.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace zorv {
namespace {

// GLFW key codes of the default keys.
constexpr int kSpace = 32, kSlash = 47, kLeftShift = 340, kLeftControl = 341, kF2 = 291, kF3 = 292, kF4 = 293,
              kF11 = 300;

constexpr std::array<ActionInfo, kActionCount> kActions = {{
    {Action::MoveForward, "forward", "Move forward", 'W'},
    {Action::MoveBack, "back", "Move back", 'S'},
    {Action::MoveLeft, "left", "Move left", 'A'},
    {Action::MoveRight, "right", "Move right", 'D'},
    {Action::Jump, "jump", "Jump", kSpace},
    {Action::Descend, "descend", "Sneak / fly down", kLeftShift},
    {Action::Sprint, "sprint", "Sprint", kLeftControl},
    {Action::ToggleFlying, "fly", "Toggle flying", 'F'},
    {Action::Inventory, "inventory", "Inventory", 'E'},
    {Action::Chat, "chat", "Chat", 'T'},
    {Action::Command, "command", "Command", kSlash},
    {Action::Screenshot, "screenshot", "Screenshot", kF2},
    {Action::Debug, "debug", "Debug overlay", kF3},
    {Action::Spectator, "spectator", "Spectator", kF4},
    {Action::Minimap, "minimap", "Minimap", 'M'},
    {Action::Pause, "pause", "Pause", kKeyEscape},
    {Action::Hotbar1, "hotbar_1", "Hotbar slot 1", '1'},
    {Action::Hotbar2, "hotbar_2", "Hotbar slot 2", '2'},
    {Action::Hotbar3, "hotbar_3", "Hotbar slot 3", '3'},
    {Action::Hotbar4, "hotbar_4", "Hotbar slot 4", '4'},
    {Action::Hotbar5, "hotbar_5", "Hotbar slot 5", '5'},
    {Action::Hotbar6, "hotbar_6", "Hotbar slot 6", '6'},
    {Action::Hotbar7, "hotbar_7", "Hotbar slot 7", '7'},
    {Action::Hotbar8, "hotbar_8", "Hotbar slot 8", '8'},
    {Action::Hotbar9, "hotbar_9", "Hotbar slot 9", '9'},
    {Action::FullScreen, "full_screen", "Full screen", kF11},
}};

struct KeyName {
  int code;
  std::string fileName;
  std::string label;
};

void addNamed(std::vector<KeyName>& names, int code, const char* fileName, const char* label) {
  names.push_back({code, fileName, label});
}

std::vector<KeyName> buildKeyNames() {
  std::vector<KeyName> names;
  for (char c = 'A'; c <= 'Z'; ++c) names.push_back({c, std::string(1, c), std::string(1, c)});
  for (char c = '0'; c <= '9'; ++c) names.push_back({c, std::string(1, c), std::string(1, c)});
  addNamed(names, 32, "SPACE", "Space");
  addNamed(names, 39, "APOSTROPHE", "'");
  addNamed(names, 44, "COMMA", ",");
  addNamed(names, 45, "MINUS", "-");
  addNamed(names, 46, "PERIOD", ".");
  addNamed(names, 47, "SLASH", "/");
  addNamed(names, 59, "SEMICOLON", ";");
  addNamed(names, 61, "EQUAL", "=");
  addNamed(names, 91, "LEFT_BRACKET", "[");
  addNamed(names, 92, "BACKSLASH", "\\");
  addNamed(names, 93, "RIGHT_BRACKET", "]");
  addNamed(names, 96, "GRAVE_ACCENT", "`");
  addNamed(names, 256, "ESCAPE", "Esc");
  addNamed(names, 257, "ENTER", "Enter");
  addNamed(names, 258, "TAB", "Tab");
  addNamed(names, 259, "BACKSPACE", "Backspace");
  addNamed(names, 260, "INSERT", "Insert");
  addNamed(names, 261, "DELETE", "Delete");
  addNamed(names, 262, "RIGHT", "Right");
  addNamed(names, 263, "LEFT", "Left");
  addNamed(names, 264, "DOWN", "Down");
  addNamed(names, 265, "UP", "Up");
  addNamed(names, 266, "PAGE_UP", "Page Up");
  addNamed(names, 267, "PAGE_DOWN", "Page Down");
  addNamed(names, 268, "HOME", "Home");
  addNamed(names, 269, "END", "End");
  addNamed(names, 280, "CAPS_LOCK", "Caps Lock");
  addNamed(names, 284, "PAUSE", "Pause");
  for (int f = 1; f <= 12; ++f) {
    const std::string name = "F" + std::to_string(f);
    names.push_back({289 + f, name, name});
  }
  for (int digit = 0; digit <= 9; ++digit) {
    names.push_back({320 + digit, "KP_" + std::to_string(digit), "Keypad " + std::to_string(digit)});
  }
  addNamed(names, 330, "KP_DECIMAL", "Keypad .");
  addNamed(names, 331, "KP_DIVIDE", "Keypad /");
  addNamed(names, 332, "KP_MULTIPLY", "Keypad *");
  addNamed(names, 333, "KP_SUBTRACT", "Keypad -");
  addNamed(names, 334, "KP_ADD", "Keypad +");
  addNamed(names, 335, "KP_ENTER", "Keypad Enter");
  addNamed(names, 340, "LEFT_SHIFT", "Left Shift");
  addNamed(names, 341, "LEFT_CONTROL", "Left Ctrl");
  addNamed(names, 342, "LEFT_ALT", "Left Alt");
  addNamed(names, 344, "RIGHT_SHIFT", "Right Shift");
  addNamed(names, 345, "RIGHT_CONTROL", "Right Ctrl");
  addNamed(names, 346, "RIGHT_ALT", "Right Alt");
  addNamed(names, 348, "MENU", "Menu");
  return names;
}

const std::vector<KeyName>& keyNames() {
  static const std::vector<KeyName> names = buildKeyNames();
  return names;
}

const KeyName* findKey(int code) {
  const auto& names = keyNames();
  const auto found = std::find_if(names.begin(), names.end(), [code](const KeyName& n) { return n.code == code; });
  return found == names.end() ? nullptr : &*found;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

const std::array<ActionInfo, kActionCount>& actionTable() { return kActions; }

const ActionInfo& actionInfo(Action action) { return kActions[static_cast<std::size_t>(action)]; }

Action hotbarAction(int slot) { return static_cast<Action>(static_cast<int>(Action::Hotbar1) + slot); }

KeyBindings::KeyBindings() {
  for (const ActionInfo& info : kActions) bind(info.action, info.defaultKey);
}

std::vector<Action> conflictsOf(const KeyBindings& bindings, Action action) {
  std::vector<Action> others;
  const int key = bindings.key(action);
  if (key == kKeyUnbound) return others;
  for (const ActionInfo& info : kActions) {
    if (info.action != action && bindings.key(info.action) == key) others.push_back(info.action);
  }
  return others;
}

std::string_view keyFileName(int keyCode) {
  const KeyName* name = findKey(keyCode);
  return name ? std::string_view(name->fileName) : std::string_view();
}

std::optional<int> keyFromFileName(std::string_view name) {
  for (const KeyName& key : keyNames()) {
    if (key.fileName.size() != name.size()) continue;
    if (std::equal(name.begin(), name.end(), key.fileName.begin(), [](char a, char b) { return upper(a) == b; })) {
      return key.code;
    }
  }
  return std::nullopt;
}

std::string_view keyLabel(int keyCode) {
  const KeyName* name = findKey(keyCode);
  return name ? std::string_view(name->label) : std::string_view("?");
}

bool isBindableKey(int keyCode) { return findKey(keyCode) != nullptr; }

char keyCharacter(int keyCode) {
  // GLFW gives the printable keys of the US layout their ASCII codes.
  if (keyCode < 32 || keyCode > 96 || !findKey(keyCode)) return 0;
  return static_cast<char>(keyCode);
}

bool characterFromKey(char32_t codepoint, int keyCode) {
  const char c = keyCharacter(keyCode);
  if (c == 0 || codepoint > 127) return false;
  return upper(static_cast<char>(codepoint)) == c;
}

std::string keysLabel(const KeyBindings& bindings, std::initializer_list<Action> actions) {
  std::string together, joined;
  bool single = true;
  for (const Action action : actions) {
    const std::string_view label = keyLabel(bindings.key(action));
    single = single && label.size() == 1;
    together += label;
    joined += (joined.empty() ? "" : "/") + std::string(label);
  }
  if (together == "123456789") return "1-9";
  return single ? together : joined;
}

bool allDefault(const KeyBindings& bindings, std::initializer_list<Action> actions) {
  return std::all_of(actions.begin(), actions.end(), [&bindings](Action a) { return bindings.isDefault(a); });
}

bool offerCapturedKey(KeyCapture& capture, KeyBindings& bindings, int keyCode) {
  if (!capture.waiting) return false;
  if (keyCode != kKeyEscape && !isBindableKey(keyCode)) return false;
  if (keyCode != kKeyEscape) bindings.bind(*capture.waiting, keyCode);
  capture.waiting.reset();
  capture.justEnded = true;
  return true;
}

}  // namespace zorv
