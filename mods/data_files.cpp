#include "mods/data_files.h"

// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "mods/loader.h"
#include "mods/sandbox.h"
#include "platform/platform.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;

// The data file `name` inside the mod's folder, or empty when the name may not be used.
fs::path dataFilePath(const ModRecord& mod, std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.empty() || name.back() == '/' || name.find('\0') != std::string::npos || !isSafeRelativePath(name))
    return {};
  return mod.dataDir / name;
}

// Counts the folder's files and bytes the first time a write needs them.
void countDataFolder(ModRecord& mod) {
  if (mod.dataCounted) return;
  mod.dataBytes = 0;
  mod.dataFiles = 0;
  std::error_code error;
  for (fs::recursive_directory_iterator it(mod.dataDir, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    mod.dataBytes += it->file_size(error);
    ++mod.dataFiles;
  }
  mod.dataCounted = true;
}

// The size of the file a write replaces; false when there is none.
bool existingSize(const fs::path& path, std::uintmax_t& size) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return false;
  size = fs::file_size(path, error);
  return !error;
}

bool writeDataFile(ModRecord& mod, const fs::path& path, const char* bytes, std::size_t size) {
  std::error_code error;
  countDataFolder(mod);
  std::uintmax_t replaced = 0;
  const bool exists = existingSize(path, replaced);
  const std::uintmax_t bytesAfter = mod.dataBytes - std::min(replaced, mod.dataBytes) + size;
  const std::size_t filesAfter = mod.dataFiles + (exists ? 0 : 1);
  if (bytesAfter > kMaxDataFolderBytes || filesAfter > kMaxDataFolderFiles) {
    std::fprintf(stderr, "[mod:%s] data_write refused: the data folder may hold at most %ju bytes in %zu files\n",
                 mod.id.c_str(), kMaxDataFolderBytes, kMaxDataFolderFiles);
    return false;
  }
  fs::create_directories(path.parent_path(), error);
  fs::path temporary = path;
  temporary += ".tmp";
  {
    FileHandle file(std::fopen(temporary.c_str(), "wb"));
    if (!file) return false;
    const bool written = std::fwrite(bytes, 1, size, file.get()) == size && std::fflush(file.get()) == 0;
    if (!written || std::fclose(file.release()) != 0) {
      fs::remove(temporary, error);
      return false;
    }
  }
  std::string reason;
  if (!platform::replaceFile(temporary, path, reason)) {
    fs::remove(temporary, error);
    return false;
  }
  mod.dataBytes = bytesAfter;
  mod.dataFiles = filesAfter;
  return true;
}

}  // namespace

int dataDir(lua_State* L) {
  const ModRecord& mod = recordOf(L);
  std::error_code error;
  fs::create_directories(mod.dataDir, error);
  if (!fs::is_directory(mod.dataDir, error)) {
    lua_pushnil(L);
    return 1;
  }
  const std::string path = mod.dataDir.string();
  lua_pushlstring(L, path.data(), path.size());
  return 1;
}

int dataRead(lua_State* L) {
  const fs::path path = dataFilePath(recordOf(L), checkText(L, 1));
  std::error_code error;
  if (path.empty() || !fs::is_regular_file(path, error)) {
    lua_pushnil(L);
    return 1;
  }
  FileHandle file(std::fopen(path.c_str(), "rb"));
  const std::uintmax_t size = fs::file_size(path, error);
  if (!file || error || size > kModMemoryLimit) {
    lua_pushnil(L);
    return 1;
  }
  // Read straight into Lua memory, so the mod's ceiling bounds the read.
  luaL_Buffer buffer;
  char* bytes = luaL_buffinitsize(L, &buffer, static_cast<std::size_t>(size));
  const std::size_t got = std::fread(bytes, 1, static_cast<std::size_t>(size), file.get());
  if (got != size) {
    lua_pushnil(L);
    return 1;
  }
  luaL_pushresultsize(&buffer, got);
  return 1;
}

int dataWrite(lua_State* L) {
  const fs::path path = dataFilePath(recordOf(L), checkText(L, 1));
  std::size_t size = 0;
  const char* bytes = luaL_checklstring(L, 2, &size);
  lua_pushboolean(L, !path.empty() && writeDataFile(recordOf(L), path, bytes, size));
  return 1;
}

}  // namespace zorv
