#pragma once
// One mod's Lua state: a reduced standard library, a memory ceiling, an instruction
// budget per call, the `zorv` API table and the event registrations. The state reaches
// the game only through the record's ModContext.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mods/memory_account.h"

struct lua_State;

namespace zorv {

class ModContext;

constexpr std::int32_t kCallBudget = 40;       // hook firings per call
constexpr int kBudgetHookInterval = 5000;      // VM instructions per hook firing

// Ceilings no real mod reaches; beyond them a request is refused and the game goes on.
constexpr int kMaxHandlersPerEvent = 256;
constexpr std::size_t kMaxCommandsPerMod = 256;
constexpr int kMaxBlocksPerMod = 1024;
constexpr int kMaxTextureLayersPerMod = 256;
constexpr int kMaxTextureLayers = 2048;  // the array-layer count every GPU offers
constexpr int kMaxEditsPerCall = 16384;
constexpr int kMaxDropsPerCall = 256;
constexpr std::uintmax_t kMaxDataFolderBytes = 64u * 1024u * 1024u;
constexpr std::size_t kMaxDataFolderFiles = 4096;

enum class ModEvent { BlockBreak = 0, BlockPlace, Tick, PlayerJoin, PlayerLeave };
constexpr std::size_t kModEventCount = 5;

struct ModRecord {
  ModRecord() = default;
  ModRecord(const ModRecord&) = delete;
  ModRecord& operator=(const ModRecord&) = delete;
  ~ModRecord();  // closes the Lua state

  std::string id;
  std::filesystem::path packageDir;  // the folder holding main.lua
  std::filesystem::path dataDir;     // mods/ID
  lua_State* lua = nullptr;
  MemoryAccount memory;

  // Call context, reached from the state's extra space.
  ModContext* context = nullptr;
  std::int32_t budget = 0;
  std::uint64_t workCarry = 0;  // library work below one budget unit, in instructions
  int editsThisCall = 0;
  int dropsThisCall = 0;

  std::array<std::vector<int>, kModEventCount> handlers;  // registry references
  std::map<std::string, int> commands;                     // lower-case name -> registry reference

  // What the data folder holds, counted once and then kept up to date by each write.
  bool dataCounted = false;
  std::uintmax_t dataBytes = 0;
  std::size_t dataFiles = 0;

  int blocksRegistered = 0;
  int textureLayersAdded = 0;
};

// The record of the mod whose state `L` is (or a thread of).
ModRecord& recordOf(lua_State* L);
// A string argument, embedded zeros kept; raises the usual argument error otherwise.
std::string checkText(lua_State* L, int index);

// Creates the state, installs the API and runs main.lua once. Null (with the reason on
// standard error) when the state cannot be created or main.lua is empty or fails. The
// state draws on `pool`, or on the shared pool when none is given.
std::unique_ptr<ModRecord> createMod(const std::string& id, const std::filesystem::path& packageDir,
                                     const std::filesystem::path& dataDir, ModContext* context,
                                     MemoryPool* pool = nullptr);

// What a block event handler receives.
struct BlockEventInfo {
  int x = 0, y = 0, z = 0;
  std::string block;
  std::string player;
  int playerId = 0;
};

// Runs the mod's handlers of a block event in registration order (only those registered
// before the dispatch began). Returns false once a handler set `cancelled`.
bool dispatchBlockEvent(ModRecord& mod, ModEvent event, const BlockEventInfo& info);
// Runs the mod's player join or leave handlers with {id, player}.
void dispatchPlayerEvent(ModRecord& mod, ModEvent event, int playerId, const std::string& player);
// Runs the mod's tick handlers with the elapsed seconds.
void dispatchTick(ModRecord& mod, double seconds);
// Runs the mod's command if it has one: false when it does not. A string or number
// result becomes `reply`; a failure is reported and still counts as handled.
bool dispatchCommand(ModRecord& mod, const std::string& name, const std::string& argument,
                     const std::string& player, std::string& reply);

}  // namespace zorv
