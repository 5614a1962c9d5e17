#pragma once
// Visual tuning and shader replacements that resource packs may carry: a small
// "visual.json" of numbers and SPIR-V files under "shaders/".

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorv {

// Used as read: nothing is clamped or validated.
struct VisualSettings {
  float fogStart = -1.0f;       // negative: automatic
  float exposure = 1.0f;
  float saturation = 1.0f;
  float ambient = 0.22f;
  float water = 1.0f;
  float shadowStrength = 0.75f;
  float shadowDistance = 0.0f;  // 0 or less: automatic
  float bloom = 0.35f;
  float bloomThreshold = 1.0f;
  float ssao = 0.6f;
  float autoExposure = 1.0f;
  float exposureBias = 1.0f;
  float fxaa = 1.0f;
};

// The number after the first quoted occurrence of `key` and the first ':' behind
// it (strtof rules). A textual search, not a JSON parser.
std::optional<float> readJsonNumber(std::string_view text, std::string_view key);

// Overwrites every setting whose key `text` holds.
void applyVisualJson(std::string_view text, VisualSettings& settings);

// Defaults, then "visual.json" of every pack of `packDirectory` in order; prints
// "visual settings: <label>" for each pack that has a non-empty one.
VisualSettings loadVisualSettings(const std::filesystem::path& packDirectory);

// Override name -> SPIR-V bytes.
using ShaderOverrides = std::map<std::string, std::vector<std::uint8_t>>;

struct ShaderOverrideSlot {
  const char* name;         // override name; the pack file is "shaders/" + name + ".spv"
  const char* replacedFile; // shader file of the "shaders" folder it stands in for
};
inline constexpr std::array<ShaderOverrideSlot, 5> kShaderOverrideSlots{{
    {"block_vs", "block_vs.spv"},
    {"block_fs", "block_fs.spv"},
    {"shadow_vs", "shadow_vs.spv"},
    {"composite_fs", "post_composite_fs.spv"},
    {"final_fs", "post_fxaa_fs.spv"},
}};

// Every pack's override files in pack order, later packs replacing earlier ones;
// prints "shader override: <name> from <label>" for each file found.
ShaderOverrides loadShaderOverrides(const std::filesystem::path& packDirectory);

// Whether `bytes` can be handed to vkCreateShaderModule: at least 20 bytes, a
// multiple of 4, starting with the SPIR-V magic word. Prints "shader override
// <name> has invalid size" or "... is not SPIR-V" when not.
bool validateShaderOverride(const std::string& name, const std::vector<std::uint8_t>& bytes);

// Prints "shader override <name> failed, using built-in".
void reportShaderOverrideFallback(const std::string& name);

}  // namespace zorv
