#pragma once
// Whole-file reading and the write protocol every save file goes through: the data goes
// to the target name plus ".tmp", is flushed to stable storage, and is then moved over
// the target, whose folder is flushed afterwards. A crash, a full disk or a folder that
// cannot be written therefore leaves either the old file or the complete new one.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/byte_io.h"

namespace zorv {

// Writes `bytes` to `destination` through the temporary-file protocol. Creates missing
// parent folders. False on any failure; the destination is then untouched and the
// temporary file removed.
bool writeBytesAtomically(const std::filesystem::path& destination, std::span<const std::uint8_t> bytes);

// The complete content of a regular file; nothing when it is missing or unreadable.
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::filesystem::path& path);

}  // namespace zorv
