#pragma once
// Shared scaffolding of the mod tests: a scratch folder, archives built with libzip, a
// context that records what scripts asked for, and mods created from script text.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mods/loader.h"
#include "mods/mod_context.h"
#include "mods/sandbox.h"

#include "scratch_folder.h"

namespace zorv::testing {


using ArchiveEntries = zorv::ArchiveEntries;
// writeArchive of the loader, with missing folders created and failure thrown.
void writeArchive(const std::filesystem::path& path, const ArchiveEntries& entries);

// Rewrites the uncompressed size that the archive's headers declare for `entry`, the way
// a hostile archive would lie about it (the data stays as it was).
void patchDeclaredSize(const std::filesystem::path& archive, const std::string& entry, std::uint32_t size);

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

class RecordingContext : public TestModContext {
 public:
  void log(const std::string& text) override { logs.push_back(text); }
  bool teleport(float x, float y, float z) override {
    teleports.push_back({x, y, z});
    return true;
  }
  std::vector<std::string> logs;
  std::vector<std::vector<float>> teleports;
};

// A mod whose package folder holds `script` as main.lua; null when loading failed.
std::unique_ptr<ModRecord> makeMod(const ScratchFolder& scratch, const std::string& id, const std::string& script,
                                   ModContext* context, MemoryPool* pool = nullptr);

}  // namespace zorv::testing
