// Reading and writing the options file's `key=value` lines.

#include "client/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <span>

#include "persist/save_file.h"

namespace zorv {
namespace {

constexpr int kWindowPositionLimit = 100000;
constexpr long kMaxPort = 65535;
constexpr std::string_view kKeyPrefix = "key_";
constexpr std::string_view kRecentPrefix = "recent_address_";

using Parse = bool (*)(std::string_view, Options&);
using Format = std::optional<std::string> (*)(const Options&);

// One option: its key, the comment written above it (null for none), how its value is
// read (false: malformed or out of range) and written (nothing: the line is left out).
struct Field {
  const char* key;
  const char* comment;
  Parse parse;
  Format format;
};

bool parseFloat(std::string_view text, float low, float high, float& out) {
  float value = 0.0f;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return false;
  if (value < low || value > high) return false;
  out = value;
  return true;
}

bool parseInt(std::string_view text, int low, int high, int& out) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return false;
  out = value;
  return true;
}

bool parseOptionalInt(std::string_view text, int low, int high, std::optional<int>& out) {
  int value = 0;
  if (!parseInt(text, low, high, value)) return false;
  out = value;
  return true;
}

bool parseBool(std::string_view text, bool& out) {
  if (text == "true" || text == "1") {
    out = true;
  } else if (text == "false" || text == "0") {
    out = false;
  } else {
    return false;
  }
  return true;
}

bool parseText(std::string_view text, std::size_t maxBytes, std::string& out) {
  if (text.size() > maxBytes) return false;
  if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 32; })) return false;
  out = std::string(text);
  return true;
}

bool parsePort(std::string_view text, std::string& out) {
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  return parseText(text, kMaxPortBytes, out);
}

bool parseLanguage(std::string_view text, std::optional<int>& out) {
  if (text == "en") {
    out = 0;
  } else if (text == "zh") {
    out = 1;
  } else {
    return false;
  }
  return true;
}

std::optional<std::string> floatText(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}
std::optional<std::string> intText(int value) { return std::to_string(value); }
std::optional<std::string> optionalIntText(const std::optional<int>& value) {
  return value ? intText(*value) : std::nullopt;
}
std::optional<std::string> boolText(bool value) { return std::string(value ? "true" : "false"); }

const std::vector<Field>& fields() {
  static const std::vector<Field> table = {
      {"mouse_sensitivity", "# View: mouse sensitivity 0.03-0.3 (degrees per pixel), field of view 55-100 (degrees),\n"
                            "# render distance 4-16 (chunks), render scale 50-100 (percent of the window's pixels).",
       [](std::string_view v, Options& o) { return parseFloat(v, kMinMouseSensitivity, kMaxMouseSensitivity, o.mouseSensitivity); },
       [](const Options& o) { return floatText(o.mouseSensitivity); }},
      {"field_of_view", nullptr,
       [](std::string_view v, Options& o) { return parseFloat(v, kMinFieldOfView, kMaxFieldOfView, o.fieldOfView); },
       [](const Options& o) { return floatText(o.fieldOfView); }},
      {"render_distance", nullptr,
       [](std::string_view v, Options& o) { return parseInt(v, kLeastRenderDistance, kMostRenderDistance, o.renderDistance); },
       [](const Options& o) { return intText(o.renderDistance); }},
      {"render_scale", nullptr,
       [](std::string_view v, Options& o) { return parseInt(v, kMinRenderScale, kMaxRenderScale, o.renderScale); },
       [](const Options& o) { return intText(o.renderScale); }},
      {"shadows", "# Effects and overlays: true or false.",
       [](std::string_view v, Options& o) { return parseBool(v, o.shadows); },
       [](const Options& o) { return boolText(o.shadows); }},
      {"post_processing", nullptr, [](std::string_view v, Options& o) { return parseBool(v, o.postProcessing); },
       [](const Options& o) { return boolText(o.postProcessing); }},
      {"vertical_sync", nullptr, [](std::string_view v, Options& o) { return parseBool(v, o.verticalSync); },
       [](const Options& o) { return boolText(o.verticalSync); }},
      {"minimap", nullptr, [](std::string_view v, Options& o) { return parseBool(v, o.minimap); },
       [](const Options& o) { return boolText(o.minimap); }},
      {"debug_overlay", nullptr, [](std::string_view v, Options& o) { return parseBool(v, o.debugOverlay); },
       [](const Options& o) { return boolText(o.debugOverlay); }},
      {"invert_mouse", nullptr, [](std::string_view v, Options& o) { return parseBool(v, o.invertMouse); },
       [](const Options& o) { return boolText(o.invertMouse); }},
      {"language", "# Interface: language en or zh (left out: the system's), interface scale 75-200 (percent).",
       [](std::string_view v, Options& o) { return parseLanguage(v, o.language); },
       [](const Options& o) {
         return o.language ? std::optional<std::string>(*o.language == 1 ? "zh" : "en") : std::nullopt;
       }},
      {"interface_scale", nullptr,
       [](std::string_view v, Options& o) { return parseInt(v, kMinInterfaceScale, kMaxInterfaceScale, o.interfaceScale); },
       [](const Options& o) { return intText(o.interfaceScale); }},
      {"player_name", "# Multiplayer: player name, UDP port for hosting, the last server joined.",
       [](std::string_view v, Options& o) { return parseText(v, kMaxPlayerNameBytes, o.playerName); },
       [](const Options& o) { return std::optional<std::string>(o.playerName); }},
      {"port", nullptr, [](std::string_view v, Options& o) { return parsePort(v, o.port); },
       [](const Options& o) { return std::optional<std::string>(o.port); }},
      {"server_address", nullptr,
       [](std::string_view v, Options& o) { return parseText(v, kMaxAddressBytes, o.serverAddress); },
       [](const Options& o) { return std::optional<std::string>(o.serverAddress); }},
      {"window_width", "# Window: size and position in screen pixels, full screen true or false.",
       [](std::string_view v, Options& o) { return parseInt(v, kMinWindowSide, kMaxWindowSide, o.windowWidth); },
       [](const Options& o) { return intText(o.windowWidth); }},
      {"window_height", nullptr,
       [](std::string_view v, Options& o) { return parseInt(v, kMinWindowSide, kMaxWindowSide, o.windowHeight); },
       [](const Options& o) { return intText(o.windowHeight); }},
      {"window_x", nullptr,
       [](std::string_view v, Options& o) { return parseOptionalInt(v, -kWindowPositionLimit, kWindowPositionLimit, o.windowX); },
       [](const Options& o) { return optionalIntText(o.windowX); }},
      {"window_y", nullptr,
       [](std::string_view v, Options& o) { return parseOptionalInt(v, -kWindowPositionLimit, kWindowPositionLimit, o.windowY); },
       [](const Options& o) { return optionalIntText(o.windowY); }},
      {"full_screen", nullptr, [](std::string_view v, Options& o) { return parseBool(v, o.fullScreen); },
       [](const Options& o) { return boolText(o.fullScreen); }},
  };
  return table;
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Recent addresses are numbered from 1; gaps close up after reading.
bool parseRecentAddress(std::string_view key, std::string_view value, Options& options) {
  int index = 0;
  const std::string_view number = key.substr(kRecentPrefix.size());
  if (!parseInt(number, 1, static_cast<int>(kRecentAddressCount), index)) return false;
  std::string address;
  if (value.empty() || !parseText(value, kMaxAddressBytes, address)) return false;
  auto& recent = options.recentAddresses;
  if (recent.size() < static_cast<std::size_t>(index)) recent.resize(static_cast<std::size_t>(index));
  recent[static_cast<std::size_t>(index - 1)] = address;
  return true;
}

bool parseKeyBinding(std::string_view name, std::string_view value, Options& options) {
  const std::optional<int> key = keyFromFileName(value);
  if (!key) return false;
  for (const ActionInfo& info : actionTable()) {
    if (name == info.fileKey) {
      options.keys.bind(info.action, *key);
      return true;
    }
  }
  return false;
}

bool isRecentKey(std::string_view key) { return key.starts_with(kRecentPrefix); }

bool isKeyBindingKey(std::string_view key) {
  if (!key.starts_with(kKeyPrefix)) return false;
  const std::string_view name = key.substr(kKeyPrefix.size());
  return std::any_of(actionTable().begin(), actionTable().end(),
                     [name](const ActionInfo& info) { return name == info.fileKey; });
}

const Field* findField(std::string_view key) {
  const auto& table = fields();
  const auto found = std::find_if(table.begin(), table.end(), [key](const Field& f) { return key == f.key; });
  return found == table.end() ? nullptr : &*found;
}

// False when the key is known but its value is not acceptable; unknown keys are kept.
bool applyLine(std::string_view key, std::string_view value, const std::string& line, OptionsFile& file) {
  if (const Field* field = findField(key)) return field->parse(value, file.options);
  if (isKeyBindingKey(key)) return parseKeyBinding(key.substr(kKeyPrefix.size()), value, file.options);
  if (isRecentKey(key)) return parseRecentAddress(key, value, file.options);
  file.unknownLines.push_back(line);
  return true;
}

}  // namespace

OptionsFile parseOptions(std::string_view text) {
  OptionsFile file;
  int lineNumber = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    const std::string_view line = trimmed(raw);
    if (line.empty() || line.front() == '#') continue;
    const auto equals = line.find('=');
    const std::string lineText(line);
    if (equals == std::string_view::npos) {
      file.warnings.push_back("options: ignoring line " + std::to_string(lineNumber) + ", not key=value: " + lineText);
      continue;
    }
    const std::string_view key = trimmed(line.substr(0, equals));
    if (!applyLine(key, trimmed(line.substr(equals + 1)), lineText, file)) {
      file.warnings.push_back("options: ignoring bad value on line " + std::to_string(lineNumber) + ": " + lineText);
    }
  }
  auto& recent = file.options.recentAddresses;
  recent.erase(std::remove(recent.begin(), recent.end(), std::string()), recent.end());
  return file;
}

std::string formatOptions(const Options& options, const std::vector<std::string>& unknownLines) {
  std::string text =
      "# Zorvander options: one key=value a line, # starts a comment. The game rewrites this file\n"
      "# when a setting changes; a bad value is skipped (the console names it), unknown keys are kept.\n";
  for (const Field& field : fields()) {
    if (field.comment) text += std::string("\n") + field.comment + "\n";
    if (const auto value = field.format(options)) text += std::string(field.key) + "=" + *value + "\n";
  }
  text += "\n# Recent servers, most recent first.\n";
  for (std::size_t i = 0; i < options.recentAddresses.size() && i < kRecentAddressCount; ++i) {
    text += std::string(kRecentPrefix) + std::to_string(i + 1) + "=" + options.recentAddresses[i] + "\n";
  }
  text += "\n# Keys, by name: A-Z, 0-9, SPACE, LEFT_SHIFT, LEFT_CONTROL, ESCAPE, F1-F12, KP_0-KP_9, ...\n";
  for (const ActionInfo& info : actionTable()) {
    text += std::string(kKeyPrefix) + info.fileKey + "=" + std::string(keyFileName(options.keys.key(info.action))) + "\n";
  }
  if (!unknownLines.empty()) text += "\n# Kept from an earlier file.\n";
  for (const std::string& line : unknownLines) text += line + "\n";
  return text;
}

OptionsFile readOptionsFile(const std::filesystem::path& path) {
  const auto bytes = readFileBytes(path);
  if (!bytes) return {};
  return parseOptions(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

bool writeOptionsFile(const std::filesystem::path& path, const Options& options,
                      const std::vector<std::string>& unknownLines) {
  const std::string text = formatOptions(options, unknownLines);
  return writeBytesAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void rememberAddress(std::vector<std::string>& recent, std::string_view address) {
  if (address.empty()) return;
  recent.erase(std::remove(recent.begin(), recent.end(), address), recent.end());
  recent.insert(recent.begin(), std::string(address));
  if (recent.size() > kRecentAddressCount) recent.resize(kRecentAddressCount);
}

}  // namespace zorv
