#pragma once
// World folders under `saves` and the level save: naming rules, the world list, creating
// and deleting worlds, `level.dat`, and the legacy `world.dat` / `player.dat` files.
// Every operation fails (false, or nothing) for an invalid world name without touching
// the disk; readers fail cleanly on any malformed file and never allocate more than the
// file can hold.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorv {

struct SavedSlot {
  std::int16_t item = 0;  // > 0 block id, < 0 non-block item, 0 empty
  std::uint16_t count = 0;
  std::uint16_t durability = 0;
  friend bool operator==(const SavedSlot&, const SavedSlot&) = default;
};

struct PlayerSave {
  float x = 96.5f, y = 50.0f, z = 96.5f;
  float yaw = -90.0f, pitch = -12.0f;  // degrees
  bool flying = false;
  std::int32_t health = 20;
  std::uint8_t gameMode = 0;  // 0 creative, 1 survival, 2 spectator
  std::uint8_t selectedSlot = 0;
  std::vector<SavedSlot> slots;
  friend bool operator==(const PlayerSave&, const PlayerSave&) = default;
};

struct SavedMob {
  float x = 0, y = 0, z = 0;
  float homeX = 0, homeY = 0, homeZ = 0;
  float heading = 0;      // radians
  float wanderTimer = 0;  // seconds
  std::uint8_t type = 0;
  std::int32_t health = 0;
  friend bool operator==(const SavedMob&, const SavedMob&) = default;
};

struct SavedDrop {
  float x = 0, y = 0, z = 0;
  std::int16_t item = 0;
  std::uint16_t durability = 0;
  std::uint16_t count = 0;
  float age = 0;  // seconds since the drop appeared
  friend bool operator==(const SavedDrop&, const SavedDrop&) = default;
};

constexpr std::uint8_t kNoFluidLevel = 255;

struct SavedEdit {
  std::int32_t x = 0, y = 0, z = 0;
  std::uint16_t block = 0;
  std::uint8_t fluidLevel = kNoFluidLevel;
  friend bool operator==(const SavedEdit&, const SavedEdit&) = default;
};

struct LevelSave {
  std::uint32_t seed = 0;
  float timeOfDay = 0;      // fraction of a day
  std::uint8_t weather = 0;  // 0 clear, 1 rain, 2 snow
  bool hasPlayer = false;
  PlayerSave player;
  std::vector<SavedMob> mobs;
  std::vector<SavedDrop> drops;
  std::vector<SavedEdit> edits;
  friend bool operator==(const LevelSave&, const LevelSave&) = default;
};

// Largest counts a reader accepts; a writer refuses to produce a file beyond them.
constexpr std::uint32_t kMaxSavedSlots = 4096;
constexpr std::uint32_t kMaxSavedMobs = 100000;
constexpr std::uint32_t kMaxSavedDrops = 100000;
constexpr std::uint32_t kMaxSavedEdits = 50000000;

// <executable folder>/saves, or the folder set by `setSavesRoot`.
std::filesystem::path savesRoot();
// Points every world operation at another saves folder (tests, tools); empty restores the default.
void setSavesRoot(const std::filesystem::path& root);

bool isValidWorldName(std::string_view name);
// A valid folder name made from free text typed by the user.
std::string sanitizeWorldName(std::string_view typed);
// savesRoot()/name; empty for an invalid name.
std::filesystem::path worldFolder(std::string_view name);
// Saved worlds (valid folder names holding `level.dat` or `world.dat`), sorted byte-wise.
std::vector<std::string> listWorlds();
bool worldExists(std::string_view name);
// Removes the world's folder with everything in it; false when invalid or absent.
bool deleteWorld(std::string_view name);

bool writeLevel(std::string_view name, const LevelSave& save);
// The same into the level file of a world folder found beforehand, for a writer on
// another thread (the saves root is not read there).
bool writeLevelTo(const std::filesystem::path& folder, const LevelSave& save);
bool readLevel(std::string_view name, LevelSave& save);
// Seed, time, weather, mobs, drops and edits from `world.dat` (versions 1 to 3).
bool readLegacyWorld(std::string_view name, LevelSave& save);
// The player from `player.dat` (versions 1 to 3).
bool readLegacyPlayer(std::string_view name, PlayerSave& player);
// Writes `world.dat` version 3 (only used to produce a save that must be migrated).
bool writeLegacyWorld(std::string_view name, const LevelSave& save);

// The byte-level halves of the readers and writers. A parser leaves its output
// untouched when it fails.
std::vector<std::uint8_t> encodeLevel(const LevelSave& save);
std::vector<std::uint8_t> encodeLegacyWorld(const LevelSave& save);
bool parseLevel(std::span<const std::uint8_t> bytes, LevelSave& save);
bool parseLegacyWorld(std::span<const std::uint8_t> bytes, LevelSave& save);
bool parseLegacyPlayer(std::span<const std::uint8_t> bytes, PlayerSave& player);

}  // namespace zorv
