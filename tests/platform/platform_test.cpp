#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

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

TEST(Platform, ModulePathNamesThisExecutableAndTheClockIsMonotonic) {
  auto path = modulePath();
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(std::filesystem::path(*path).filename(), "test_platform");
  const std::uint64_t first = monotonicNanos();
  EXPECT_GE(monotonicNanos(), first);
}

TEST(Platform, ReplaceFileSwapsContentsAndReportsFailures) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zorv_platform_test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
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
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace zorv::platform
