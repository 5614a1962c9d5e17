#include "persist/level_save.h"

#include <algorithm>
#include <array>
#include <optional>

#include "platform/byte_io.h"
#include "persist/save_file.h"
#include "platform/platform.h"

namespace zorv {
namespace {

constexpr std::string_view kLevelMagic = "ZORVLVL ";
constexpr std::string_view kLegacyWorldMagic = "ZORVWRLD";
constexpr std::string_view kLegacyPlayerMagic = "ZORVPLYR";
constexpr std::uint32_t kLevelVersion = 1;
constexpr std::uint32_t kLegacyWriteVersion = 3;
constexpr std::size_t kMaxNameBytes = 48;
constexpr std::size_t kSanitizedNameBytes = 40;

// Record sizes of the current format.
constexpr std::size_t kMobBytes = 37;
constexpr std::size_t kEditBytes = 15;

std::filesystem::path& savesRootOverride() {
  static std::filesystem::path root;
  return root;
}

// The field layouts that differ between format versions.
enum class Layout { Version1, Version2, Current };

Layout layoutOf(std::uint32_t version) {
  return version == 1 ? Layout::Version1 : version == 2 ? Layout::Version2 : Layout::Current;
}

std::size_t slotBytes(Layout layout) { return layout == Layout::Version1 ? 3 : layout == Layout::Version2 ? 4 : 6; }
std::size_t dropBytes(Layout layout) { return layout == Layout::Version1 ? 19 : layout == Layout::Version2 ? 20 : 22; }
std::size_t editBytes(Layout layout) { return layout == Layout::Version1 ? 14 : kEditBytes; }

// Reads a count, checks it against its limit and against the bytes left for its
// records; only then is room reserved.
template <class Record>
bool readCount(ByteReader& reader, std::uint32_t limit, std::size_t recordSize, std::vector<Record>& records) {
  const std::uint32_t count = reader.u32();
  if (!reader.ok || count > limit || !reader.canHold(count, recordSize)) return false;
  records.resize(count);
  return true;
}

bool readPlayer(ByteReader& reader, Layout slotLayout, PlayerSave& player) {
  player.x = reader.f32();
  player.y = reader.f32();
  player.z = reader.f32();
  player.yaw = reader.f32();
  player.pitch = reader.f32();
  player.flying = reader.u8() != 0;
  player.health = reader.i32();
  player.gameMode = reader.u8();
  player.selectedSlot = reader.u8();
  if (!readCount(reader, kMaxSavedSlots, slotBytes(slotLayout), player.slots)) return false;
  for (SavedSlot& slot : player.slots) {
    slot.item = slotLayout == Layout::Version1 ? static_cast<std::int16_t>(reader.u8()) : reader.i16();
    slot.count = reader.u16();
    if (slotLayout == Layout::Current) slot.durability = reader.u16();
  }
  return reader.ok;
}

bool readMobs(ByteReader& reader, std::vector<SavedMob>& mobs) {
  if (!readCount(reader, kMaxSavedMobs, kMobBytes, mobs)) return false;
  for (SavedMob& mob : mobs) {
    mob.x = reader.f32();
    mob.y = reader.f32();
    mob.z = reader.f32();
    mob.homeX = reader.f32();
    mob.homeY = reader.f32();
    mob.homeZ = reader.f32();
    mob.heading = reader.f32();
    mob.wanderTimer = reader.f32();
    mob.type = reader.u8();
    mob.health = reader.i32();
  }
  return reader.ok;
}

bool readDrops(ByteReader& reader, Layout layout, std::vector<SavedDrop>& drops) {
  if (!readCount(reader, kMaxSavedDrops, dropBytes(layout), drops)) return false;
  for (SavedDrop& drop : drops) {
    drop.x = reader.f32();
    drop.y = reader.f32();
    drop.z = reader.f32();
    drop.item = layout == Layout::Version1 ? static_cast<std::int16_t>(reader.u8()) : reader.i16();
    if (layout == Layout::Current) drop.durability = reader.u16();
    drop.count = reader.u16();
    drop.age = reader.f32();
  }
  return reader.ok;
}

bool readEdits(ByteReader& reader, Layout layout, std::vector<SavedEdit>& edits) {
  if (!readCount(reader, kMaxSavedEdits, editBytes(layout), edits)) return false;
  for (SavedEdit& edit : edits) {
    edit.x = reader.i32();
    edit.y = reader.i32();
    edit.z = reader.i32();
    edit.block = layout == Layout::Version1 ? reader.u8() : reader.u16();
    edit.fluidLevel = reader.u8();
  }
  return reader.ok;
}

// Seed, time of day and weather: the header fields of both world formats.
void readWorldHeader(ByteReader& reader, LevelSave& save) {
  save.seed = reader.u32();
  save.timeOfDay = reader.f32();
  save.weather = reader.u8();
}

// Magic and version; the version must lie in first..last.
std::optional<std::uint32_t> readHeader(ByteReader& reader, std::string_view magic, std::uint32_t first,
                                        std::uint32_t last) {
  if (!reader.matches(magic)) return std::nullopt;
  const std::uint32_t version = reader.u32();
  if (!reader.ok || version < first || version > last) return std::nullopt;
  return version;
}

void writePlayer(ByteWriter& writer, const PlayerSave& player) {
  writer.f32(player.x);
  writer.f32(player.y);
  writer.f32(player.z);
  writer.f32(player.yaw);
  writer.f32(player.pitch);
  writer.u8(player.flying ? 1 : 0);
  writer.i32(player.health);
  writer.u8(player.gameMode);
  writer.u8(player.selectedSlot);
  writer.u32(static_cast<std::uint32_t>(player.slots.size()));
  for (const SavedSlot& slot : player.slots) {
    writer.i16(slot.item);
    writer.u16(slot.count);
    writer.u16(slot.durability);
  }
}

// Everything after the world header that both world formats share (version 3 layout).
void writeEntities(ByteWriter& writer, const LevelSave& save) {
  writer.u32(static_cast<std::uint32_t>(save.mobs.size()));
  for (const SavedMob& mob : save.mobs) {
    for (float value : {mob.x, mob.y, mob.z, mob.homeX, mob.homeY, mob.homeZ, mob.heading, mob.wanderTimer}) {
      writer.f32(value);
    }
    writer.u8(mob.type);
    writer.i32(mob.health);
  }
  writer.u32(static_cast<std::uint32_t>(save.drops.size()));
  for (const SavedDrop& drop : save.drops) {
    writer.f32(drop.x);
    writer.f32(drop.y);
    writer.f32(drop.z);
    writer.i16(drop.item);
    writer.u16(drop.durability);
    writer.u16(drop.count);
    writer.f32(drop.age);
  }
  writer.u32(static_cast<std::uint32_t>(save.edits.size()));
  for (const SavedEdit& edit : save.edits) {
    writer.i32(edit.x);
    writer.i32(edit.y);
    writer.i32(edit.z);
    writer.u16(edit.block);
    writer.u8(edit.fluidLevel);
  }
}

void writeWorldHeader(ByteWriter& writer, const LevelSave& save) {
  writer.u32(save.seed);
  writer.f32(save.timeOfDay);
  writer.u8(save.weather);
}

void writeLevelBody(ByteWriter& writer, const LevelSave& save) {
  writeWorldHeader(writer, save);
  writer.u8(save.hasPlayer ? 1 : 0);
  if (save.hasPlayer) writePlayer(writer, save.player);
  writeEntities(writer, save);
}

void writeLegacyWorldBody(ByteWriter& writer, const LevelSave& save) {
  writeWorldHeader(writer, save);
  writeEntities(writer, save);
}

// A file the readers would refuse is never written in place of a good one.
bool withinReadLimits(const LevelSave& save) {
  return (!save.hasPlayer || save.player.slots.size() <= kMaxSavedSlots) && save.mobs.size() <= kMaxSavedMobs &&
         save.drops.size() <= kMaxSavedDrops && save.edits.size() <= kMaxSavedEdits;
}

std::vector<std::uint8_t> encode(std::string_view magic, std::uint32_t version, const LevelSave& save,
                                 void (*writeBody)(ByteWriter&, const LevelSave&)) {
  std::vector<std::uint8_t> bytes;
  ByteWriter writer{bytes};
  writer.text(magic);
  writer.u32(version);
  writeBody(writer, save);
  return bytes;
}

std::optional<std::vector<std::uint8_t>> readWorldFile(std::string_view name, const char* file) {
  if (!isValidWorldName(name)) return std::nullopt;
  return readFileBytes(worldFolder(name) / file);
}

bool isRegularFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

bool holdsWorldSave(const std::filesystem::path& folder) {
  return isRegularFile(folder / "world.dat") || isRegularFile(folder / "level.dat");
}

bool isReservedDeviceName(const std::string& upper) {
  static const std::array<std::string_view, 4> plain = {"CON", "PRN", "AUX", "NUL"};
  if (std::find(plain.begin(), plain.end(), upper) != plain.end()) return true;
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' &&
         upper[3] <= '9';
}

}  // namespace

std::filesystem::path savesRoot() {
  if (!savesRootOverride().empty()) return savesRootOverride();
  return platform::programFolder("saves");
}

void setSavesRoot(const std::filesystem::path& root) { savesRootOverride() = root; }

bool isValidWorldName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameBytes || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 32 || std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos;
  });
}

std::string sanitizeWorldName(std::string_view typed) {
  std::string kept;
  for (char c : typed) {
    const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (c == '\t') c = ' ';
    if (letterOrDigit || c == ' ' || c == '-' || c == '_') kept += c;
  }
  const std::size_t first = kept.find_first_not_of(' ');
  kept = first == std::string::npos ? std::string() : kept.substr(first, kept.find_last_not_of(' ') - first + 1);
  if (kept.size() > kSanitizedNameBytes) kept.resize(kSanitizedNameBytes);
  if (kept.empty()) return "World";
  std::string upper = kept;
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  return isReservedDeviceName(upper) ? "World " + kept : kept;
}

std::filesystem::path worldFolder(std::string_view name) {
  if (!isValidWorldName(name)) return {};
  return savesRoot() / std::string(name);
}

std::vector<std::string> listWorlds() {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(savesRoot(), error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    const std::string name = it->path().filename().string();
    if (it->is_directory(typeError) && isValidWorldName(name) && holdsWorldSave(it->path())) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool worldExists(std::string_view name) { return isValidWorldName(name) && holdsWorldSave(worldFolder(name)); }

bool deleteWorld(std::string_view name) {
  if (!isValidWorldName(name)) return false;
  const std::filesystem::path folder = worldFolder(name);
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return false;
  std::filesystem::remove_all(folder, error);
  return !error;
}

std::vector<std::uint8_t> encodeLevel(const LevelSave& save) {
  return encode(kLevelMagic, kLevelVersion, save, writeLevelBody);
}

std::vector<std::uint8_t> encodeLegacyWorld(const LevelSave& save) {
  return encode(kLegacyWorldMagic, kLegacyWriteVersion, save, writeLegacyWorldBody);
}

bool writeLevel(std::string_view name, const LevelSave& save) {
  return isValidWorldName(name) && writeLevelTo(worldFolder(name), save);
}

bool writeLevelTo(const std::filesystem::path& folder, const LevelSave& save) {
  if (folder.empty() || !withinReadLimits(save)) return false;
  return writeBytesAtomically(folder / "level.dat", encodeLevel(save));
}

bool writeLegacyWorld(std::string_view name, const LevelSave& save) {
  if (!isValidWorldName(name) || !withinReadLimits(save)) return false;
  return writeBytesAtomically(worldFolder(name) / "world.dat", encodeLegacyWorld(save));
}

bool parseLevel(std::span<const std::uint8_t> bytes, LevelSave& save) {
  ByteReader reader{bytes};
  if (!readHeader(reader, kLevelMagic, kLevelVersion, kLevelVersion)) return false;
  LevelSave parsed;
  readWorldHeader(reader, parsed);
  parsed.hasPlayer = reader.u8() != 0;
  if (!reader.ok || (parsed.hasPlayer && !readPlayer(reader, Layout::Current, parsed.player))) return false;
  if (!readMobs(reader, parsed.mobs) || !readDrops(reader, Layout::Current, parsed.drops) ||
      !readEdits(reader, Layout::Current, parsed.edits)) {
    return false;
  }
  save = std::move(parsed);
  return true;
}

bool parseLegacyWorld(std::span<const std::uint8_t> bytes, LevelSave& save) {
  ByteReader reader{bytes};
  const std::optional<std::uint32_t> version = readHeader(reader, kLegacyWorldMagic, 1, 3);
  if (!version) return false;
  const Layout layout = layoutOf(*version);
  LevelSave parsed;
  readWorldHeader(reader, parsed);
  if (!reader.ok || !readMobs(reader, parsed.mobs) || !readDrops(reader, layout, parsed.drops) ||
      !readEdits(reader, layout, parsed.edits)) {
    return false;
  }
  save = std::move(parsed);
  return true;
}

bool parseLegacyPlayer(std::span<const std::uint8_t> bytes, PlayerSave& player) {
  ByteReader reader{bytes};
  const std::optional<std::uint32_t> version = readHeader(reader, kLegacyPlayerMagic, 1, 3);
  if (!version) return false;
  PlayerSave parsed;
  if (!readPlayer(reader, layoutOf(*version), parsed)) return false;
  player = std::move(parsed);
  return true;
}

bool readLevel(std::string_view name, LevelSave& save) {
  const auto bytes = readWorldFile(name, "level.dat");
  return bytes && parseLevel(*bytes, save);
}

bool readLegacyWorld(std::string_view name, LevelSave& save) {
  const auto bytes = readWorldFile(name, "world.dat");
  return bytes && parseLegacyWorld(*bytes, save);
}

bool readLegacyPlayer(std::string_view name, PlayerSave& player) {
  const auto bytes = readWorldFile(name, "player.dat");
  return bytes && parseLegacyPlayer(*bytes, player);
}

}  // namespace zorv
