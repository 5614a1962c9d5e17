#pragma once
// Thin wrappers over the operating system: the few calls the game needs from it,
// behaving the same way whatever the platform underneath.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zorv::platform {

// Full path of the running executable, or nothing when the system cannot tell.
std::optional<std::string> modulePath();

// The module path cut before its last separator ('/' or '\\'), with the run of separators
// at the cut removed. Empty when the path holds no separator.
std::filesystem::path folderOfModulePath(std::string_view modulePath);
// The executable's folder, or the working folder when the system cannot tell. Every
// program folder (saves, mods, resourcepacks, shaders, ...) lives in it.
std::filesystem::path baseFolder();
// <base>/name.
std::filesystem::path programFolder(std::string_view name);

// True when the user's interface language is Chinese (LC_ALL, LC_MESSAGES, LANG:
// the first non-empty one decides; Chinese when it starts with "zh").
bool userInterfaceIsChinese();

// Monotonic clock in nanoseconds since an arbitrary start.
std::uint64_t monotonicNanos();

// Moves `from` onto `to`, replacing it. Across file systems the data is copied to a
// temporary name in the target folder first, so `to` is never half-written. The data
// is flushed to disk before the move and the folder after it. On failure `error`
// receives a one-line reason and `from` is left in place.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string& error);

// Asks the desktop to show a folder (detached; failure is silent).
void openInShell(const std::filesystem::path& folder);

// Keeps freed blocks of up to 32 MiB in the process's heap instead of handing each back to
// the system: every frame frees and allocates image-sized buffers (the software driver's
// presentation among them), and a fresh mapping costs a page fault per page it touches.
// Called once, before the window opens.
void keepLargeAllocations();

}  // namespace zorv::platform
