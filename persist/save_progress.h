#pragma once
// What a world folder keeps about saves that did not finish. A save writes the region
// files first and the level file last; a marker file lives in the folder from before
// the first region file is replaced until the level file is in place. A folder that still
// holds the marker was left by a save cut off in between, so its region files may hold
// changes that its level file does not list.

#include <filesystem>

namespace zorv {

// Creates the marker (flushed to disk); false when it cannot be written.
bool markSaveUnfinished(const std::filesystem::path& worldFolder);
// Removes the marker once the level file matches the region files again.
void markSaveFinished(const std::filesystem::path& worldFolder);
bool saveWasUnfinished(const std::filesystem::path& worldFolder);

// Removes the temporary files (NAME.tmp) a killed save left in the world folder and its
// region folder; the number removed.
int removeLeftoverTemporaries(const std::filesystem::path& worldFolder);

}  // namespace zorv
