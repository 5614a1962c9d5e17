#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "scratch_folder.h"

// The test executable is linked with --wrap for these calls, so a case can make the file
// system fail on demand; otherwise they pass straight through.
namespace {
int fsyncsBeforeFailure = -1;  // -1: never fail; n: pass n more calls, then fail one
const char* failingUnlinkPath = nullptr;
}  // namespace

extern "C" {
int __real_fsync(int fd);
int __real_unlink(const char* path);

int __wrap_fsync(int fd) {
  if (fsyncsBeforeFailure >= 0 && fsyncsBeforeFailure-- == 0) {
    errno = EIO;
    return -1;
  }
  return __real_fsync(fd);
}

int __wrap_unlink(const char* path) {
  if (failingUnlinkPath != nullptr && std::string_view(path) == failingUnlinkPath) {
    errno = EROFS;
    return -1;
  }
  return __real_unlink(path);
}
}

namespace zorv::platform {
namespace {

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class ScopedEnvironment {
 public:
  ScopedEnvironment() {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_.emplace_back(value ? std::optional<std::string>(value) : std::nullopt);
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    for (std::size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i]) ::setenv(kNames[i], saved_[i]->c_str(), 1); else ::unsetenv(kNames[i]);
    }
  }

 private:
  static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::vector<std::optional<std::string>> saved_;
};

TEST(Platform, ChineseInterfaceFollowsTheFirstNonEmptyLocaleVariable) {
  ScopedEnvironment environment;
  EXPECT_FALSE(userInterfaceIsChinese());
  ::setenv("LANG", "zh_CN.UTF-8", 1);
  EXPECT_TRUE(userInterfaceIsChinese());
  ::setenv("LC_MESSAGES", "en_GB.UTF-8", 1);
  EXPECT_FALSE(userInterfaceIsChinese());
  ::setenv("LC_ALL", "", 1);  // empty values are skipped
  EXPECT_FALSE(userInterfaceIsChinese());
  ::setenv("LC_ALL", "zh_TW", 1);
  EXPECT_TRUE(userInterfaceIsChinese());
}

TEST(Platform, ModulePathNamesThisExecutableAndTheClockFollowsRealTime) {
  auto path = modulePath();
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(std::filesystem::path(*path).filename(), "test_platform");

  // The clock counts nanoseconds of the system's monotonic clock: close to the standard
  // library's steady clock, and advancing by at least the time slept.
  const auto steady = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch()).count();
  const std::uint64_t first = monotonicNanos();
  EXPECT_LT(std::llabs(static_cast<long long>(first) - static_cast<long long>(steady)), 1000000000LL);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const std::uint64_t second = monotonicNanos();
  EXPECT_GE(second - first, 5000000u);
  EXPECT_LT(second - first, 60000000000u);
}

TEST(Platform, ReplaceFileSwapsContentsAndReportsFailures) {
  const testing::ScratchFolder scratch("platform");
  const std::filesystem::path& folder = scratch.path();
  writeText(folder / "level.dat", "old");
  writeText(folder / "level.dat.tmp", "new contents");

  std::string error;
  ASSERT_TRUE(replaceFile(folder / "level.dat.tmp", folder / "level.dat", error)) << error;
  EXPECT_EQ(readAll(folder / "level.dat"), "new contents");
  EXPECT_FALSE(std::filesystem::exists(folder / "level.dat.tmp"));

  // A missing source fails with a reason and leaves the target untouched.
  EXPECT_FALSE(replaceFile(folder / "missing.tmp", folder / "level.dat", error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(readAll(folder / "level.dat"), "new contents");

  // A source that cannot be flushed is not moved: the old target stays.
  writeText(folder / "level.dat.tmp", "unflushed");
  fsyncsBeforeFailure = 0;
  EXPECT_FALSE(replaceFile(folder / "level.dat.tmp", folder / "level.dat", error));
  fsyncsBeforeFailure = -1;
  EXPECT_NE(error.find("cannot flush"), std::string::npos) << error;
  EXPECT_EQ(readAll(folder / "level.dat"), "new contents");

  // A target folder that cannot be written to fails and keeps the source.
  error.clear();
  EXPECT_FALSE(replaceFile(folder / "level.dat.tmp", "/proc/zorv_platform_test.dat", error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(readAll(folder / "level.dat.tmp"), "unflushed");
  if (::geteuid() != 0) {  // permissions do not stop the superuser
    std::filesystem::create_directories(folder / "locked");
    std::filesystem::permissions(folder / "locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(replaceFile(folder / "level.dat.tmp", folder / "locked" / "level.dat", error));
    EXPECT_FALSE(std::filesystem::exists(folder / "locked" / "level.dat"));
    std::filesystem::permissions(folder / "locked", std::filesystem::perms::owner_all);
  }
}

// A folder of this test on another file system than the build tree: /dev/shm is a tmpfs.
struct CrossDeviceFolders {
  std::filesystem::path source = "/dev/shm/zorv_platform_move_source";
  std::filesystem::path target = std::filesystem::current_path() / "zorv_platform_move_target";
  CrossDeviceFolders() {
    for (const auto& folder : {source, target}) {
      std::filesystem::remove_all(folder);
      std::filesystem::create_directories(folder);
    }
  }
  ~CrossDeviceFolders() {
    std::filesystem::remove_all(source);
    std::filesystem::remove_all(target);
  }
  bool onDifferentDevices() const {
    struct stat a{}, b{};
    return ::stat(source.c_str(), &a) == 0 && ::stat(target.c_str(), &b) == 0 && a.st_dev != b.st_dev;
  }
};

TEST(Platform, ReplaceFileCopiesAcrossFileSystemsAndReportsEveryFailure) {
  CrossDeviceFolders folders;
  ASSERT_TRUE(folders.onDifferentDevices()) << "the build tree must not live on /dev/shm's tmpfs";
  const std::string payload(200000, 'z');
  writeText(folders.source / "region.tmp", payload);
  writeText(folders.target / "region.rgn", "old");

  std::string error;
  ASSERT_TRUE(replaceFile(folders.source / "region.tmp", folders.target / "region.rgn", error)) << error;
  EXPECT_EQ(readAll(folders.target / "region.rgn"), payload);
  EXPECT_FALSE(std::filesystem::exists(folders.source / "region.tmp"));
  EXPECT_FALSE(std::filesystem::exists(folders.target / "region.rgn.move"));

  // The copy cannot be flushed (the source's flush passes, the copy's fails): the target
  // keeps its old content, the source stays, no temporary is left.
  writeText(folders.source / "region.tmp", "second");
  fsyncsBeforeFailure = 1;
  EXPECT_FALSE(replaceFile(folders.source / "region.tmp", folders.target / "region.rgn", error));
  fsyncsBeforeFailure = -1;
  EXPECT_NE(error.find("cannot flush"), std::string::npos) << error;
  EXPECT_EQ(readAll(folders.target / "region.rgn"), payload);
  EXPECT_EQ(readAll(folders.source / "region.tmp"), "second");
  EXPECT_FALSE(std::filesystem::exists(folders.target / "region.rgn.move"));

  // The source cannot be removed after the copy: the move is reported as failed.
  const std::string source = (folders.source / "region.tmp").string();
  failingUnlinkPath = source.c_str();
  EXPECT_FALSE(replaceFile(folders.source / "region.tmp", folders.target / "region.rgn", error));
  failingUnlinkPath = nullptr;
  EXPECT_NE(error.find("cannot remove"), std::string::npos) << error;
  EXPECT_EQ(readAll(folders.target / "region.rgn"), "second");
}

TEST(Platform, OpenInShellStartsXdgOpenAndLeavesNoChildBehind) {
  const testing::ScratchFolder scratch("platform_shell");
  const std::filesystem::path& folder = scratch.path();
  std::filesystem::create_directories(folder / "bin");
  const std::filesystem::path log = folder / "opened.txt";
  // A stand-in for the desktop's opener that takes its time and records what it opened.
  writeText(folder / "bin" / "xdg-open",
            "#!/bin/sh\nsleep 0.3\nprintf '%s' \"$1\" > \"" + log.string() + ".part\"\n"
            "mv \"" + log.string() + ".part\" \"" + log.string() + "\"\n");
  std::filesystem::permissions(folder / "bin" / "xdg-open", std::filesystem::perms::owner_all);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", ((folder / "bin").string() + ":" + path).c_str(), 1);

  openInShell(folder / "mods");
  ::setenv("PATH", path.c_str(), 1);

  // Nothing started for the opener remains a child of this process, running or a zombie.
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  for (int i = 0; i < 100 && !std::filesystem::exists(log); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(readAll(log), (folder / "mods").string());
}

// Touches every page of a fresh 8 MiB block, frees it, and counts the page faults of doing
// it again: the block must come back from the heap, already mapped.
TEST(Platform, LargeBlocksAreReusedWithoutFreshPageFaults) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer's allocator ignores the thresholds";
#else
  auto minorFaults = [] {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
  };
  keepLargeAllocations();
  constexpr std::size_t kSize = 8 * 1024 * 1024;
  auto touch = [] {
    auto* block = static_cast<volatile char*>(std::malloc(kSize));
    ASSERT_NE(block, nullptr);
    for (std::size_t i = 0; i < kSize; i += 4096) block[i] = 1;
    std::free(const_cast<char*>(block));
  };
  touch();
  const long before = minorFaults();
  touch();
  EXPECT_LT(minorFaults() - before, 64) << "a freed 8 MiB block was handed back to the system";
#endif
}

}  // namespace
}  // namespace zorv::platform
