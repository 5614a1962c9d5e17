#pragma once
// Mod packages: zip archives in the mods folder, unpacked into mods/.cache on every
// start and loaded in sorted order; the fingerprint that host and client compare.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mods/sandbox.h"

namespace zorv {

class ModContext;

constexpr std::uint32_t kFingerprintBasis = 2166136261u;
constexpr std::uint32_t kFingerprintPrime = 16777619u;
constexpr std::size_t kMaxArchiveEntries = 4096;
constexpr std::uint64_t kMaxArchiveBytes = 268435456u;  // 256 MiB unpacked

struct ModHost {
  std::vector<std::unique_ptr<ModRecord>> mods;  // load order
  bool enabled = false;                          // set once loading has run
  ModContext* context = nullptr;
  std::uint32_t fingerprint = kFingerprintBasis;
};

// Loads every package of `modsFolder` (see the file comment) with `context`. Once
// `cancel` (when given) is set, possibly from another thread, no further package is
// started: the mods loaded so far stay.
void loadMods(ModHost& host, const std::filesystem::path& modsFolder, ModContext* context,
              const std::atomic<bool>* cancel = nullptr);
std::vector<std::string> modIds(const ModHost& host);

// The mod id of a package file name: "Foo.mod.zorvk" -> "Foo", "Thing.ZIP" -> "Thing";
// empty when the name is not a package (hidden, another extension, too short).
std::string packageModId(std::string_view fileName);

// No leading '/', no ':', and no "." or ".." component (empty components are fine).
bool isSafeRelativePath(std::string_view name);

// Writes the archive's files below `target`. Entries that would land outside it are
// skipped; a refused archive leaves nothing behind. False with `error` set on refusal.
bool unpackArchive(const std::filesystem::path& archive, const std::filesystem::path& target, std::string& error);

// Writes a zip archive of `entries` (name, content) in order; a name ending in '/' is a
// folder. The mod self test builds its packages with it.
using ArchiveEntries = std::vector<std::pair<std::string, std::string>>;
bool writeArchive(const std::filesystem::path& archive, const ArchiveEntries& entries);

// `folder` when it holds main.lua, else its first subfolder (sorted) that does; else empty.
std::filesystem::path findMainScript(const std::filesystem::path& folder);

// FNV-1a of `bytes` continued from `hash`.
std::uint32_t fnv1a(std::uint32_t hash, std::string_view bytes);

}  // namespace zorv
