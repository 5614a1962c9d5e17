#pragma once
// A private saves folder for tests and benchmarks that create, save or list worlds.

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "persist/level_save.h"

namespace zorv::testing {

// Points the saves root at a fresh temporary folder for the life of the object.
class TemporarySaves {
 public:
  TemporarySaves()
      : root_(std::filesystem::temp_directory_path() /
              ("zorv_saves_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++))) {
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    setSavesRoot(root_);
  }
  ~TemporarySaves() {
    setSavesRoot({});
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  const std::filesystem::path& root() const { return root_; }

 private:
  static int& counter() {
    static int value = 0;
    return value;
  }
  std::filesystem::path root_;
};

}  // namespace zorv::testing
