#include "persist/save_progress.h"

#include <system_error>

#include "persist/save_file.h"

namespace zorv {
namespace {

constexpr const char* kMarkerName = "save.unfinished";

int removeTemporariesIn(const std::filesystem::path& folder) {
  int removed = 0;
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  if (error) return 0;
  for (const auto& entry : entries) {
    if (entry.path().extension() != ".tmp" || !entry.is_regular_file(error)) continue;
    if (std::filesystem::remove(entry.path(), error)) ++removed;
  }
  return removed;
}

}  // namespace

bool markSaveUnfinished(const std::filesystem::path& worldFolder) {
  if (saveWasUnfinished(worldFolder)) return true;
  return writeBytesAtomically(worldFolder / kMarkerName, {});
}

void markSaveFinished(const std::filesystem::path& worldFolder) {
  std::error_code error;
  std::filesystem::remove(worldFolder / kMarkerName, error);
}

bool saveWasUnfinished(const std::filesystem::path& worldFolder) {
  std::error_code error;
  return std::filesystem::exists(worldFolder / kMarkerName, error);
}

int removeLeftoverTemporaries(const std::filesystem::path& worldFolder) {
  return removeTemporariesIn(worldFolder) + removeTemporariesIn(worldFolder / "region");
}

}  // namespace zorv
