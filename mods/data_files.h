#pragma once
// zorv.data_dir, zorv.data_read and zorv.data_write: a mod's own files in mods/ID. The
// folder's file count and size are bounded; they are counted once and then kept by each
// write, so a write costs the same however many files the folder holds.

#include <cstdio>
#include <memory>

struct lua_State;

namespace zorv {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

int dataDir(lua_State* L);
int dataRead(lua_State* L);
int dataWrite(lua_State* L);

}  // namespace zorv
