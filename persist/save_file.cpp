#include "persist/save_file.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

namespace zorv {
namespace {

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// Writes and flushes the temporary file; false (with the file closed) on any error.
bool writeDurably(const std::filesystem::path& temporary, std::span<const std::uint8_t> bytes) {
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  return written && closed;
}

// Creates the folder and its missing ancestors, flushing each new entry into its parent
// so that a new world folder survives a crash together with the files inside it.
bool createFolders(const std::filesystem::path& folder) {
  if (folder.empty()) return true;
  std::error_code error;
  if (std::filesystem::is_directory(folder, error)) return true;
  if (!createFolders(folder.parent_path())) return false;
  if (!std::filesystem::create_directory(folder, error) && !std::filesystem::is_directory(folder, error)) return false;
  const std::filesystem::path parent = folder.parent_path().empty() ? std::filesystem::path(".") : folder.parent_path();
  const int fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  return true;
}

}  // namespace

bool writeBytesAtomically(const std::filesystem::path& destination, std::span<const std::uint8_t> bytes) {
  if (!createFolders(destination.parent_path())) return false;
  std::filesystem::path temporary = destination;
  temporary += ".tmp";
  std::string error;
  if (writeDurably(temporary, bytes) && platform::replaceFile(temporary, destination, error)) return true;
  ::unlink(temporary.c_str());
  return false;
}

std::optional<std::vector<std::uint8_t>> readFileBytes(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::vector<std::uint8_t>> result;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    bool failed = false;
    while (done < bytes.size()) {
      const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        failed = got < 0;
        break;
      }
      done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);  // a file that shrank while being read yields what was there
    if (!failed) result = std::move(bytes);
  }
  ::close(fd);
  return result;
}

}  // namespace zorv
