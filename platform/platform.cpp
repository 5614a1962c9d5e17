#include "platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace zorv::platform {
namespace {

bool syncPath(const std::filesystem::path& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool syncFolderOf(const std::filesystem::path& file) {
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  return syncPath(folder, O_RDONLY | O_DIRECTORY);
}

std::string errnoText(const char* what, const std::filesystem::path& path) {
  return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

// Copies `from` to a temporary file beside `to`, flushed, so that the final rename
// stays within one file system.
bool copyBeside(const std::filesystem::path& from, const std::filesystem::path& to,
                std::filesystem::path& temporary, std::string& error) {
  temporary = to;
  temporary += ".move";
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    error = errnoText("cannot open", from);
    return false;
  }
  int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    error = errnoText("cannot create", temporary);
    ::close(in);
    return false;
  }
  std::vector<char> buffer(1 << 16);
  bool ok = true;
  for (;;) {
    ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      error = errnoText("cannot read", from);
      ok = false;
      break;
    }
    for (ssize_t done = 0; done < got;) {
      ssize_t put = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        error = errnoText("cannot write", temporary);
        ok = false;
        break;
      }
      done += put;
    }
    if (!ok) break;
  }
  if (ok && ::fsync(out) != 0) {
    error = errnoText("cannot flush", temporary);
    ok = false;
  }
  ::close(out);
  ::close(in);
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace

std::optional<std::string> modulePath() {
  std::vector<char> buffer(4096);
  ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size() - 1) return std::nullopt;
  return std::string(buffer.data(), static_cast<size_t>(length));
}

std::filesystem::path folderOfModulePath(std::string_view modulePath) {
  const auto isSeparator = [](char c) { return c == '/' || c == '\\'; };
  std::size_t cut = modulePath.size();
  while (cut > 0 && !isSeparator(modulePath[cut - 1])) --cut;
  if (cut == 0) return {};
  std::size_t end = cut - 1;
  while (end > 0 && isSeparator(modulePath[end - 1])) --end;
  // A module at the root keeps the root itself.
  if (end == 0) return std::filesystem::path(std::string(1, modulePath[0]));
  return std::filesystem::path(std::string(modulePath.substr(0, end)));
}

std::filesystem::path baseFolder() {
  if (auto module = modulePath()) {
    std::filesystem::path folder = folderOfModulePath(*module);
    if (!folder.empty()) return folder;
  }
  std::error_code error;
  std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::filesystem::path(".") : current;
}

std::filesystem::path programFolder(std::string_view name) { return baseFolder() / std::string(name); }

bool userInterfaceIsChinese() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') return std::strncmp(value, "zh", 2) == 0;
  }
  return false;
}

std::uint64_t monotonicNanos() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(now.tv_nsec);
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string& error) {
  if (!syncPath(from, O_RDONLY)) {
    error = errnoText("cannot flush", from);
    return false;
  }
  if (::rename(from.c_str(), to.c_str()) == 0) {
    if (!syncFolderOf(to)) {
      error = errnoText("cannot flush the folder of", to);
      return false;
    }
    return true;
  }
  if (errno != EXDEV) {
    error = errnoText("cannot move onto", to);
    return false;
  }
  std::filesystem::path temporary;
  if (!copyBeside(from, to, temporary, error)) return false;
  if (::rename(temporary.c_str(), to.c_str()) != 0) {
    error = errnoText("cannot move onto", to);
    ::unlink(temporary.c_str());
    return false;
  }
  if (!syncFolderOf(to)) {
    error = errnoText("cannot flush the folder of", to);
    return false;
  }
  // The target is complete, but a source left behind means the move did not happen.
  if (::unlink(from.c_str()) != 0) {
    error = errnoText("cannot remove", from);
    return false;
  }
  return true;
}

void openInShell(const std::filesystem::path& folder) {
  // A short-lived shell starts xdg-open in the background and exits at once; waiting for
  // the shell leaves no zombie behind, and the orphaned xdg-open is reaped by init.
  std::string target = folder.string();
  char shell[] = "/bin/sh";
  char option[] = "-c";
  char script[] = "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &";
  char name[] = "sh";
  char* argv[] = {shell, option, script, name, target.data(), nullptr};
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t child = 0;
  if (posix_spawn(&child, shell, nullptr, &attributes, argv, environ) == 0) {
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  posix_spawnattr_destroy(&attributes);
}

void keepLargeAllocations() {
  // Fixed thresholds also stop the allocator adjusting them from what was freed last,
  // which left frame rates depending on the order the first frames freed their buffers.
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
}

}  // namespace zorv::platform
