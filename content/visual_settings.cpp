#include "content/visual_settings.h"

#include <cstdio>
#include <cstdlib>

#include "content/resource_packs.h"
#include "platform/byte_io.h"

namespace zorv {

namespace {

struct VisualKey {
  const char* key;
  float VisualSettings::*field;
};

// Read in this order; each found key overwrites its field.
constexpr VisualKey kVisualKeys[] = {
    {"fog_start", &VisualSettings::fogStart},
    {"exposure", &VisualSettings::exposure},
    {"saturation", &VisualSettings::saturation},
    {"ambient", &VisualSettings::ambient},
    {"water", &VisualSettings::water},
    {"shadow_strength", &VisualSettings::shadowStrength},
    {"shadow_distance", &VisualSettings::shadowDistance},
    {"bloom", &VisualSettings::bloom},
    {"bloom_threshold", &VisualSettings::bloomThreshold},
    {"ssao", &VisualSettings::ssao},
    {"auto_exposure", &VisualSettings::autoExposure},
    {"exposure_bias", &VisualSettings::exposureBias},
    {"fxaa", &VisualSettings::fxaa},
};

constexpr std::uint32_t kSpirvMagic = 0x07230203u;
constexpr std::size_t kMinSpirvBytes = 20;  // the SPIR-V header is five words

std::string overridePath(const char* name) { return std::string("shaders/") + name + ".spv"; }

}  // namespace

std::optional<float> readJsonNumber(std::string_view text, std::string_view key) {
  const std::string quoted = "\"" + std::string(key) + "\"";
  const std::size_t keyAt = text.find(quoted);
  if (keyAt == std::string_view::npos) return std::nullopt;
  const std::size_t colon = text.find(':', keyAt + quoted.size());
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string rest(text.substr(colon + 1));  // strtof needs a terminated string
  char* end = nullptr;
  const float value = std::strtof(rest.c_str(), &end);
  if (end == rest.c_str()) return std::nullopt;
  return value;
}

void applyVisualJson(std::string_view text, VisualSettings& settings) {
  for (const VisualKey& entry : kVisualKeys) {
    if (std::optional<float> value = readJsonNumber(text, entry.key)) settings.*entry.field = *value;
  }
}

VisualSettings loadVisualSettings(const std::filesystem::path& packDirectory) {
  VisualSettings settings;
  for (const std::filesystem::path& pack : listPacks(packDirectory)) {
    const std::unique_ptr<PackSource> source = openPack(pack);
    if (!source->exists("visual.json")) continue;
    const std::vector<std::uint8_t> bytes = source->read("visual.json");
    if (bytes.empty()) continue;
    applyVisualJson(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), settings);
    std::printf("visual settings: %s\n", packLabel(pack).c_str());
  }
  return settings;
}

ShaderOverrides loadShaderOverrides(const std::filesystem::path& packDirectory) {
  ShaderOverrides overrides;
  for (const std::filesystem::path& pack : listPacks(packDirectory)) {
    const std::unique_ptr<PackSource> source = openPack(pack);
    const std::string label = packLabel(pack);
    for (const ShaderOverrideSlot& slot : kShaderOverrideSlots) {
      const std::string path = overridePath(slot.name);
      if (!source->exists(path)) continue;
      std::vector<std::uint8_t> bytes = source->read(path);
      if (bytes.empty()) continue;
      std::printf("shader override: %s from %s\n", slot.name, label.c_str());
      overrides[slot.name] = std::move(bytes);
    }
  }
  return overrides;
}

bool validateShaderOverride(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < kMinSpirvBytes || bytes.size() % 4 != 0) {
    std::fprintf(stderr, "shader override %s has invalid size\n", name.c_str());
    return false;
  }
  const std::uint32_t magic = loadLittleU32(bytes.data());
  if (magic != kSpirvMagic) {
    std::fprintf(stderr, "shader override %s is not SPIR-V\n", name.c_str());
    return false;
  }
  return true;
}

void reportShaderOverrideFallback(const std::string& name) {
  std::fprintf(stderr, "shader override %s failed, using built-in\n", name.c_str());
}

}  // namespace zorv
