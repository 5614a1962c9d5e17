#pragma once
// The player's choices that outlive the process, kept in `options.txt` beside the
// executable: one commented `key=value` a line. Reading never fails as a whole: a value
// that does not parse or lies outside its range is skipped with one warning line and the
// rest applies; keys this version does not know are carried through a rewrite unchanged.
// Writes go through the atomic save protocol, so the file is always old or new, never torn.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/key_bindings.h"
#include "net/address.h"

namespace zorv {

inline constexpr const char* kOptionsFileName = "options.txt";
inline constexpr std::size_t kRecentAddressCount = 5;

// Ranges a stored value must lie in; they match the menus' sliders and the commands.
inline constexpr float kMinMouseSensitivity = 0.03f, kMaxMouseSensitivity = 0.3f;
inline constexpr float kMinFieldOfView = 55.0f, kMaxFieldOfView = 100.0f;
inline constexpr int kLeastRenderDistance = 4, kMostRenderDistance = 16;
inline constexpr int kMinRenderScale = 50, kMaxRenderScale = 100;
inline constexpr int kMinInterfaceScale = 75, kMaxInterfaceScale = 200;
inline constexpr int kMinWindowSide = 320, kMaxWindowSide = 16384;
// Longest texts the menus' fixed buffers hold (their capacities less the terminating zero).
inline constexpr std::size_t kMaxPlayerNameBytes = 31, kMaxPortBytes = 15, kMaxAddressBytes = 127;

struct Options {
  float mouseSensitivity = 0.12f;
  float fieldOfView = 70.0f;
  int renderDistance = 8;
  int renderScale = 100;  // percent of the window's pixels the world is drawn at
  bool shadows = true;
  bool postProcessing = true;
  bool verticalSync = false;
  std::optional<int> language;  // 0 English, 1 Chinese; nothing: the platform's
  bool minimap = true;
  bool debugOverlay = false;
  bool invertMouse = false;
  int interfaceScale = 100;  // percent

  std::string playerName = "Player";
  std::string port = std::to_string(kDefaultGamePort);
  std::string serverAddress;
  std::vector<std::string> recentAddresses;  // most recent first, at most five

  int windowWidth = 1280, windowHeight = 720;
  std::optional<int> windowX, windowY;  // nothing: where the desktop puts it
  bool fullScreen = false;

  KeyBindings keys;

  bool operator==(const Options&) const = default;
};

// What a read found besides the values: lines to carry through a rewrite, and one
// warning per line that was skipped.
struct OptionsFile {
  Options options;
  std::vector<std::string> unknownLines;  // "key=value" lines of keys this version lacks
  std::vector<std::string> warnings;      // "options: ..." lines for the console
};

OptionsFile parseOptions(std::string_view text);
// The file's text: a header comment, every option with a comment above each group, and
// the unknown lines at the end.
std::string formatOptions(const Options& options, const std::vector<std::string>& unknownLines);

// <folder>/options.txt; a missing file gives the defaults without warnings.
OptionsFile readOptionsFile(const std::filesystem::path& path);
bool writeOptionsFile(const std::filesystem::path& path, const Options& options,
                      const std::vector<std::string>& unknownLines);

// Puts `address` first among the recent addresses, dropping an older copy and anything
// past the fifth. Empty addresses are not remembered.
void rememberAddress(std::vector<std::string>& recent, std::string_view address);

}  // namespace zorv
