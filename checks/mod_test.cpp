#include "checks/mod_test.h"

#include <cstdio>
#include <string>
#include <system_error>

#include "mods/events.h"
#include "mods/loader.h"
#include "mods/mod_context.h"
#include "world/registry.h"
#include "world/types.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;

constexpr const char* kGoodScript = R"lua(
assert(os == nil and io == nil and debug == nil and package == nil, 'unsafe library reachable')
assert(load == nil and loadfile == nil and dofile == nil and require == nil, 'loader reachable')
assert(string.format('%d', math.floor(2.5)) == '2' and utf8.char(65) == 'A', 'safe libraries missing')
local t = {}
table.insert(t, 1)
assert(coroutine.wrap(function() coroutine.yield(#t) end)() == 1, 'coroutines missing')
assert(zorv.api_version == 1 and zorv.mod == 'aaa_good', 'api table missing')

local gem = zorv.register_block({ id = 'test:gem', name = 'Gem', texture = 'stone', hardness = 0.3 })
assert(zorv.set_block(0, 0, 0, gem), 'set_block of the new block failed')
assert(zorv.data_write('state.json', '{"ok":true}'), 'data_write failed')

on_block_break(function(e)
  if e.block == 'zorvander:grass' then e.cancelled = true end
end)
on_player_join(function(e) zorv.message('joined ' .. e.player) end)
zorv.register_command('gem', function(arg, player)
  zorv.give(gem, 1)
  return 'gave gem to ' .. player
end)
)lua";

constexpr const char* kBudgetScript = "on_tick(function(dt) while true do end end)\n";
constexpr const char* kZipScript = "zorv.register_block({ id = 'test:zip_gem', texture = 'diamond' })\n";

bool writePackages(const fs::path& folder) {
  return writeArchive(folder / "aaa_good.mod.zorvk", {{"main.lua", kGoodScript}}) &&
         writeArchive(folder / "zzz_budget.mod.zorvk", {{"main.lua", kBudgetScript}}) &&
         writeArchive(folder / "bbb_zip.mod.zorvk", {{"zip_mod/", ""}, {"zip_mod/main.lua", kZipScript}});
}

std::string readSmallFile(const fs::path& path) {
  std::string bytes;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[256];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && bytes.size() < 4096) bytes.append(buffer, got);
    std::fclose(file);
  }
  return bytes;
}

}  // namespace

int runModTest(const fs::path& base) {
  const fs::path folder = base / "modtest";
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directories(folder, error);
  const bool written = writePackages(folder);

  TestModContext context;
  ModHost host;
  loadMods(host, folder, &context);

  const BlockRegistry& registry = blockRegistry();
  const bool mods = written && host.mods.size() == 3;
  const bool block = registry.find("test:gem") != kNoBlock;
  const bool data = readSmallFile(folder / "aaa_good" / "state.json") == "{\"ok\":true}";
  std::string reply;
  const bool command = runModCommand(host, "gem", "", "tester", reply) && reply == "gave gem to tester";
  const bool cancel = !blockBreak(host, 1, 2, 3, "zorvander:grass", "tester", 1) &&
                      blockPlace(host, 1, 2, 3, "zorvander:stone", "tester", 1);
  playerJoined(host, 2, "Tester");
  const bool joined = context.lastMessage == "joined Tester";
  const bool archive = registry.find("test:zip_gem") != kNoBlock;
  tick(host, 0.05);  // returns only because the budget stops the endless handler

  const bool passed = mods && block && data && command && cancel && joined && archive;
  std::printf("modtest: mods=%d block=%d archive=%d command=%d cancel=%d budget=ok failures=%d\n",
              static_cast<int>(host.mods.size()), block ? 1 : 0, archive ? 1 : 0, command ? 1 : 0, cancel ? 1 : 0,
              passed ? 0 : 1);
  host.mods.clear();
  fs::remove_all(folder, error);
  return passed ? 0 : 1;
}

}  // namespace zorv
