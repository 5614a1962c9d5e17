#pragma once
// A private saves folder for tests and benchmarks that create, save or list worlds.

#include <filesystem>

#include "persist/level_save.h"
#include "scratch_folder.h"

namespace zorv::testing {

// Points the saves root at a fresh temporary folder for the life of the object.
class TemporarySaves {
 public:
  TemporarySaves() : folder_("saves") { setSavesRoot(folder_.path()); }
  ~TemporarySaves() { setSavesRoot({}); }
  const std::filesystem::path& root() const { return folder_.path(); }

 private:
  ScratchFolder folder_;
};

}  // namespace zorv::testing
