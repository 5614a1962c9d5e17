#include "mods/finalizers.h"
#include "mods/sandbox.h"

#include <gtest/gtest.h>

#include <chrono>

#include "mods/events.h"
#include "mod_fixture.h"
#include "world/registry.h"
#include "tile_table.h"

namespace zorv {
namespace {

namespace fs = std::filesystem;
using testing::makeMod;
using testing::readFile;
using testing::RecordingContext;
using testing::ScratchFolder;
using testing::tileSource;

// Runs `script` as main.lua and returns what it logged; stderr goes to `errors`.
struct ScriptRun {
  std::unique_ptr<ModRecord> mod;
  std::vector<std::string> logs;
  std::string errors;
};

ScriptRun runScript(const ScratchFolder& scratch, const std::string& id, const std::string& script,
                    RecordingContext& context) {
  ScriptRun run;
  context.logs.clear();
  ::testing::internal::CaptureStderr();
  run.mod = makeMod(scratch, id, script, &context);
  run.errors = ::testing::internal::GetCapturedStderr();
  run.logs = context.logs;
  return run;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ModSandbox, OnlyTheSafeLibrariesAreReachable) {
  ScratchFolder scratch;
  RecordingContext context;
  const ScriptRun run = runScript(scratch, "globals", R"(
    for _, name in ipairs({'os', 'io', 'debug', 'package', 'require', 'load', 'loadfile', 'dofile'}) do
      assert(_G[name] == nil, name .. ' is reachable')
    end
    local t = {}
    table.insert(t, string.format('%d', math.floor(2.7)))
    table.insert(t, utf8.char(72, 105))
    local co = coroutine.wrap(function(a) local b = coroutine.yield(a + 1) return b * 2 end)
    table.insert(t, tostring(co(1)))
    table.insert(t, tostring(co(5)))
    print(table.concat(t, ','), zorv.api_version, zorv.mod)
    print('a', 1, nil)
    print()
    local protected = setmetatable({}, {__metatable = 'locked'})
    assert(not pcall(setmetatable, protected, {__gc = true}), 'a protected metatable stays')
    assert(not pcall(setmetatable, 1, {}) and not pcall(setmetatable, {}, 1), 'argument checks')
    local plain = setmetatable({}, {__index = function() return 7 end})
    assert(plain.anything == 7)
  )", context);
  ASSERT_TRUE(run.mod) << run.errors;
  EXPECT_EQ(run.logs, (std::vector<std::string>{"[globals] 2,Hi,2,10\t1\tglobals", "[globals] a\t1\tnil",
                                                "[globals] "}));
}

TEST(ModSandbox, BinaryChunksAndEmptyScriptsAreRefused) {
  ScratchFolder scratch;
  RecordingContext context;
  ScriptRun run = runScript(scratch, "binary", std::string("\x1bLua\x54\x00", 6), context);
  EXPECT_FALSE(run.mod);
  EXPECT_TRUE(contains(run.errors, "[mod:binary] load failed: ")) << run.errors;
  EXPECT_TRUE(contains(run.errors, "binary")) << run.errors;

  run = runScript(scratch, "empty", "", context);
  EXPECT_FALSE(run.mod);
  EXPECT_EQ(run.errors, "[mod:empty] main.lua is empty\n");

  run = runScript(scratch, "syntax", "this is not lua", context);
  EXPECT_FALSE(run.mod);
  EXPECT_TRUE(contains(run.errors, "[mod:syntax] load failed: ")) << run.errors;
  EXPECT_TRUE(contains(run.errors, "main.lua:1:")) << run.errors;

  run = runScript(scratch, "thrown", "error({})", context);
  EXPECT_TRUE(contains(run.errors, "[mod:thrown] load failed: unknown error")) << run.errors;
}

TEST(ModSandbox, DataFilesStayInsideTheModsFolder) {
  ScratchFolder scratch;
  RecordingContext context;
  const ScriptRun run = runScript(scratch, "data", R"(
    local function check(v, name) if not v then error(name, 2) end end
    check(zorv.data_write('state.json', '{"a":1}'), 'plain write')
    check(zorv.data_read('state.json') == '{"a":1}', 'roundtrip')
    check(zorv.data_write('state.json', 'second'), 'replace')
    check(zorv.data_read('state.json') == 'second', 'replaced')
    check(zorv.data_read('missing.txt') == nil, 'missing is nil')
    check(zorv.data_write('sub\\dir/x.bin', 'a\0b'), 'nested backslash write')
    check(zorv.data_read('sub/dir/x.bin') == 'a\0b', 'binary roundtrip')
    check(zorv.data_read('sub') == nil, 'a folder is not a file')
    for _, bad in ipairs({'', '../escape', '..\\escape', '/abs', 'C:x', 'a/../../b', './a', 'dir/', 'dir\\',
                          'a/.', 'nul\0byte'}) do
      check(zorv.data_write(bad, 'x') == false, 'write ' .. bad)
      check(zorv.data_read(bad) == nil, 'read ' .. bad)
    end
    check(zorv.data_dir():find('data', 1, true), 'data_dir contains the id')
  )", context);
  ASSERT_TRUE(run.mod) << run.errors;
  const fs::path data = scratch.path() / "data" / "data";
  EXPECT_EQ(readFile(data / "state.json"), "second");
  EXPECT_FALSE(fs::exists(data / "state.json.tmp"));
  EXPECT_FALSE(fs::exists(scratch.path() / "data" / "escape"));
  EXPECT_FALSE(fs::exists(scratch.path() / "escape"));
  EXPECT_EQ(readFile(data / "sub" / "dir" / "x.bin"), std::string("a\0b", 3));
}

TEST(ModSandbox, DataFolderSizeIsBounded) {
  ScratchFolder scratch;
  RecordingContext context;
  const ScriptRun run = runScript(scratch, "hoard", R"(
    local chunk = string.rep('x', 20 * 1024 * 1024)
    for i = 1, 3 do assert(zorv.data_write('f' .. i, chunk), 'write ' .. i) end
    assert(zorv.data_write('f4', chunk) == false, 'fourth chunk passes 64 MiB')
    assert(zorv.data_write('f1', chunk), 'replacing a file counts it once')
  )", context);
  ASSERT_TRUE(run.mod) << run.errors;
  EXPECT_TRUE(contains(run.errors, "[mod:hoard] data_write refused")) << run.errors;
  EXPECT_FALSE(fs::exists(scratch.path() / "data" / "hoard" / "f4"));
}

TEST(ModSandbox, ApiFunctionsReachTheContextAndCheckTheirArguments) {
  ScratchFolder scratch;
  RecordingContext context;
  const ScriptRun run = runScript(scratch, "api", R"(
    local function same(a, b, what) if a ~= b then error(what .. ': ' .. tostring(a), 2) end end
    same(zorv.get_block(1, 2, 3), 'zorvander:stone', 'get_block')
    same(zorv.get_block(2^40, 0, 0), nil, 'get_block outside 32 bits')
    same(zorv.set_block(0, 0, 0, 'zorvander:dirt'), true, 'set_block')
    same(zorv.set_block(0, 2^40, 0, 'x'), false, 'set_block outside 32 bits')
    zorv.message('hello')
    same(zorv.give('stone'), true, 'give default count')
    same(zorv.give('stone', 2^40), false, 'give absurd count')
    local x, y, z = zorv.player_position()
    same(x + y + z, 6, 'player_position')
    same(zorv.teleport(4.5, 5, 6), true, 'teleport inside')
    same(zorv.teleport(2e9, 100, -2e9), false, 'teleport beyond the edge')
    same(zorv.teleport(1048575, 100, 0), true, 'teleport onto the edge, height brought down')
    same(zorv.teleport(0, -1e6, 0), true, 'teleport below the bottom, height brought up')
    same(pcall(zorv.teleport, 0/0, 0, 0), false, 'teleport NaN')
    same(pcall(zorv.teleport, 1, math.huge, 0), false, 'teleport infinity')
    same(pcall(zorv.teleport, 1, 1e300, 0), false, 'teleport beyond float')
    same(zorv.spawn_drop(1, 2, 3, 'dirt', 4), true, 'spawn_drop')
    same(zorv.is_host(), true, 'is_host')
    local ok, err = pcall(zorv.get_block, 1.5, 0, 0)
    same(ok, false, 'fractional coordinate')
    assert(err:find('bad argument #1'), err)
    ok, err = pcall(zorv.set_block, 0, 0, 0)
    assert(not ok and err:find('bad argument #4'), err)
    ok, err = pcall(on_tick, 'not a function')
    assert(not ok and err:find('bad argument #1'), err)
    ok, err = pcall(zorv.register_command, 'x', 5)
    assert(not ok and err:find('bad argument #2'), err)
  )", context);
  ASSERT_TRUE(run.mod) << run.errors;
  EXPECT_EQ(context.lastSetBlock, "zorvander:dirt");
  EXPECT_EQ(context.lastMessage, "hello");
  ASSERT_EQ(context.teleports.size(), 3u);
  EXPECT_EQ(context.teleports[0], (std::vector<float>{4.5f, 5.0f, 6.0f}));
  EXPECT_EQ(context.teleports[1], (std::vector<float>{1048575.0f, 64.0f, 0.0f}));
  EXPECT_EQ(context.teleports[2], (std::vector<float>{0.0f, -48.0f, 0.0f}));
}

TEST(ModSandbox, WithoutAContextTheApiAnswersEmptyAndRegistrationsRaise) {
  ScratchFolder scratch;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  auto mod = makeMod(scratch, "lonely", R"(
    assert(zorv.get_block(0, 0, 0) == nil)
    assert(zorv.set_block(0, 0, 0, 'stone') == false)
    assert(zorv.give('stone') == false)
    assert(zorv.spawn_drop(0, 0, 0, 'stone') == false)
    assert(zorv.is_host() == false)
    local x, y, z = zorv.player_position()
    assert(x == 0 and y == 0 and z == 0)
    zorv.message('nobody hears')
    zorv.log('to stdout')
    for _, f in ipairs({on_tick, on_block_break, function(g) zorv.register_command('c', g) end,
                        function() zorv.register_block({id = 'x', texture = 'stone'}) end}) do
      local ok, err = pcall(f, function() end)
      assert(not ok and err:find('no mod context'), tostring(err))
    end
  )", nullptr);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  const std::string out = ::testing::internal::GetCapturedStdout();
  ASSERT_TRUE(mod) << errors;
  EXPECT_TRUE(contains(out, "[lonely] to stdout\n")) << out;
  EXPECT_TRUE(contains(out, "mod: lonely loaded\n")) << out;
}

TEST(ModSandbox, RegisterBlockAppliesDefaultsTexturesAndDrops) {
  ScratchFolder scratch;
  RecordingContext context;
  testing::writeFile(scratch.path() / "packages" / "blocks" / "tex" / "Ruby Face!.PNG", "png");
  const ScriptRun run = runScript(scratch, "blocks", R"(
    assert(zorv.register_block({id = 'sb_gem', name = 'Gem', texture = 'stone', hardness = 0.3}) == 'blocks:sb_gem')
    assert(zorv.register_block({id = 'sbtest:plain', top = 'grass_top', bottom = 'dirt', drop = 'sbtest:nothing'})
           == 'sbtest:plain')
    assert(zorv.register_block({id = 'sb_ruby', side = 'tex\\Ruby Face!.PNG', solid = false, opaque = false,
                                cutout = true, drop = 'dirt'}) == 'blocks:sb_ruby')
    assert(zorv.register_block({id = 'sb_missing', texture = 'no_such_builtin'}) == 'blocks:sb_missing')
    assert(zorv.register_block({id = 'sb_gem', texture = 'dirt'}) == 'blocks:sb_gem')
    local ok, err = pcall(zorv.register_block, {name = 'x', texture = 'stone'})
    assert(not ok and err:find("register_block: 'id' is required", 1, true), err)
    ok, err = pcall(zorv.register_block, {id = 'sb_untextured'})
    assert(not ok and err:find("register_block: 'texture' is required", 1, true), err)
    for _, bad in ipairs({'../../etc/passwd', '/etc/passwd', 'C:/x.png', 'a/../../b.png', 'dir/'}) do
      ok, err = pcall(zorv.register_block, {id = 'sb_bad', texture = bad})
      assert(not ok and err:find('leaves the package', 1, true), bad .. ': ' .. tostring(err))
    end
    ok, err = pcall(zorv.register_block, 'not a table')
    assert(not ok and err:find('bad argument #1'), err)
  )", context);
  ASSERT_TRUE(run.mod) << run.errors;
  EXPECT_TRUE(contains(run.errors, "[mod:blocks] block blocks:sb_gem already registered\n")) << run.errors;
  EXPECT_TRUE(contains(run.errors, "[mod:blocks] unknown drop sbtest:nothing\n")) << run.errors;

  BlockRegistry& registry = blockRegistry();
  const BlockDef& gem = registry.get(registry.find("blocks:sb_gem"));
  EXPECT_EQ(gem.name, "Gem");
  EXPECT_EQ(gem.texTop, 3);  // the built-in stone tile
  EXPECT_EQ(gem.texSide, 3);
  EXPECT_EQ(gem.texBottom, 3);
  EXPECT_FLOAT_EQ(gem.hardness, 0.3f);
  EXPECT_TRUE(gem.solid && gem.opaque && !gem.cutout);
  EXPECT_EQ(gem.drop, registry.find("blocks:sb_gem"));

  const BlockId plainId = registry.find("sbtest:plain");
  const BlockDef& plain = registry.get(plainId);
  EXPECT_EQ(plain.name, "plain");
  EXPECT_EQ(plain.texTop, registry.findTile("grass_top"));
  EXPECT_EQ(plain.texSide, registry.findTile("grass_top"));  // first given face
  EXPECT_EQ(plain.texBottom, registry.findTile("dirt"));
  EXPECT_FLOAT_EQ(plain.hardness, 1.0f);
  EXPECT_EQ(plain.drop, plainId);

  const BlockDef& ruby = registry.get(registry.find("blocks:sb_ruby"));
  const int rubyLayer = registry.findTile("blocks_rubyface");
  ASSERT_GE(rubyLayer, kBuiltinTileCount);
  EXPECT_EQ(ruby.texTop, rubyLayer);
  EXPECT_EQ(ruby.texBottom, rubyLayer);
  EXPECT_EQ(tileSource(registry, rubyLayer), (scratch.path() / "packages" / "blocks" / "tex/Ruby Face!.PNG").string());
  EXPECT_TRUE(!ruby.solid && !ruby.opaque && ruby.cutout);
  EXPECT_EQ(ruby.drop, blocks::Dirt);

  const int missingLayer = registry.findTile("blocks_no_such_builtin");
  ASSERT_GE(missingLayer, kBuiltinTileCount);
  EXPECT_EQ(registry.get(registry.find("blocks:sb_missing")).texTop, missingLayer);
}

TEST(ModSandbox, TextureLayersPerModAreBounded) {
  ScratchFolder scratch;
  RecordingContext context;
  const ScriptRun run = runScript(scratch, "layers", R"(
    for i = 1, 256 do zorv.register_block({id = 'lay' .. i, texture = 'img' .. i .. '.png'}) end
    local ok, err = pcall(zorv.register_block, {id = 'lay_over', texture = 'over.png'})
    assert(not ok and err:find('too many texture layers'), tostring(err))
    assert(zorv.register_block({id = 'lay_reuse', texture = 'img3.png'}) == 'layers:lay_reuse')
  )", context);
  ASSERT_TRUE(run.mod) << run.errors;
  EXPECT_TRUE(contains(run.errors, "[mod:layers] texture layer limit reached")) << run.errors;
  EXPECT_EQ(run.mod->textureLayersAdded, 256);
}

TEST(ModSandbox, EventsCancelCommandsReplyAndFailuresAreReported) {
  ScratchFolder scratch;
  RecordingContext context;
  ModHost host;
  host.enabled = true;
  host.context = &context;
  ScriptRun first = runScript(scratch, "first", R"(
    on_block_break(function(e)
      zorv.log(e.x .. ',' .. e.y .. ',' .. e.z .. ' ' .. e.block .. ' ' .. e.player .. ' ' .. e.player_id ..
               ' ' .. tostring(e.cancelled))
      if e.block == 'zorvander:grass' then e.cancelled = true end
    end)
    on_block_place(function(e) error('place handler broke') end)
    on_player_join(function(e) zorv.message('joined ' .. e.player .. ' #' .. e.id) end)
    on_player_leave(function(e) zorv.message('left ' .. e.player) end)
    on_tick(function(dt) zorv.log('tick ' .. dt) end)
    zorv.register_command('/GEM', function(arg, player) return 'old' end)
    zorv.register_command('gem', function(arg, player) return 'gave gem to ' .. player .. arg end)
    zorv.register_command('num', function() return 42 end)
    zorv.register_command('nothing', function() end)
    zorv.register_command('fails', function() error('command broke') end)
  )", context);
  ASSERT_TRUE(first.mod) << first.errors;
  ScriptRun second = runScript(scratch, "second", R"(
    on_block_break(function(e) zorv.log('second saw ' .. e.block) end)
    on_block_place(function(e) zorv.log('second place ' .. e.block) end)
    zorv.register_command('gem', function() return 'shadowed' end)
    zorv.register_command('other', function(arg) return 'other ' .. arg end)
  )", context);
  ASSERT_TRUE(second.mod) << second.errors;
  host.mods.push_back(std::move(first.mod));
  host.mods.push_back(std::move(second.mod));

  context.logs.clear();
  EXPECT_FALSE(blockBreak(host, 1, -2, 3, "zorvander:grass", "tester", 9));
  EXPECT_EQ(context.logs, std::vector<std::string>{"[first] 1,-2,3 zorvander:grass tester 9 false"});
  context.logs.clear();
  EXPECT_TRUE(blockBreak(host, 0, 0, 0, "zorvander:stone", "tester", 9));
  EXPECT_EQ(context.logs.size(), 2u);
  EXPECT_EQ(context.logs.back(), "[second] second saw zorvander:stone");

  context.logs.clear();
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(blockPlace(host, 0, 0, 0, "zorvander:stone", "tester", 9));
  std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(contains(errors, "[mod:first] block event failed: ")) << errors;
  EXPECT_TRUE(contains(errors, "place handler broke")) << errors;
  EXPECT_TRUE(contains(errors, "stack traceback:")) << errors;
  EXPECT_EQ(context.logs, std::vector<std::string>{"[second] second place zorvander:stone"});

  playerJoined(host, 4, "Tester");
  EXPECT_EQ(context.lastMessage, "joined Tester #4");
  playerLeft(host, 4, "Tester");
  EXPECT_EQ(context.lastMessage, "left Tester");
  context.logs.clear();
  tick(host, 0.0625);
  EXPECT_EQ(context.logs, std::vector<std::string>{"[first] tick 0.0625"});

  std::string reply;
  EXPECT_TRUE(runModCommand(host, "gem", " now", "tester", reply));
  EXPECT_EQ(reply, "gave gem to tester now");
  reply.clear();
  EXPECT_TRUE(runModCommand(host, "NUM", "", "tester", reply));
  EXPECT_EQ(reply, "42");
  reply.clear();
  EXPECT_TRUE(runModCommand(host, "nothing", "", "tester", reply));
  EXPECT_EQ(reply, "");
  EXPECT_TRUE(runModCommand(host, "other", "x", "tester", reply));
  EXPECT_EQ(reply, "other x");
  reply.clear();
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(runModCommand(host, "fails", "", "tester", reply));
  errors = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(contains(errors, "[mod:first] command failed: ")) << errors;
  EXPECT_EQ(reply, "");
  EXPECT_FALSE(runModCommand(host, "unknown", "", "tester", reply));

  host.enabled = false;
  EXPECT_TRUE(blockBreak(host, 0, 0, 0, "zorvander:grass", "tester", 9));
  EXPECT_FALSE(runModCommand(host, "gem", "", "tester", reply));
}

class ClientContext : public RecordingContext {
 public:
  bool isHost() override { return false; }
};

TEST(ModSandbox, ClientsRunNoWorldEventsAndNewHandlersWaitForTheNextDispatch) {
  ScratchFolder scratch;
  ClientContext context;
  ModHost host;
  host.enabled = true;
  host.context = &context;
  ScriptRun run = runScript(scratch, "grow", R"(
    count = 0
    on_block_break(function(e) count = count + 1; on_block_break(function() count = count + 100 end) end)
    zorv.register_command('count', function() return count end)
  )", context);
  ASSERT_TRUE(run.mod) << run.errors;
  host.mods.push_back(std::move(run.mod));
  EXPECT_TRUE(blockBreak(host, 0, 0, 0, "zorvander:grass", "p", 1));
  std::string reply;
  runModCommand(host, "count", "", "p", reply);
  EXPECT_EQ(reply, "0");

  RecordingContext hostContext;
  host.context = &hostContext;
  host.mods.front()->context = &hostContext;
  blockBreak(host, 0, 0, 0, "zorvander:grass", "p", 1);
  runModCommand(host, "count", "", "p", reply);
  EXPECT_EQ(reply, "1");
  blockBreak(host, 0, 0, 0, "zorvander:grass", "p", 1);
  runModCommand(host, "count", "", "p", reply);
  EXPECT_EQ(reply, "102");
}

TEST(ModSandbox, HandlerAndCommandCountsAreBounded) {
  ScratchFolder scratch;
  RecordingContext context;
  const ScriptRun run = runScript(scratch, "many", R"(
    for i = 1, 256 do on_tick(function() end) end
    local ok, err = pcall(on_tick, function() end)
    assert(not ok and err:find('too many handlers'), tostring(err))
    for i = 1, 256 do zorv.register_command('c' .. i, function() end) end
    zorv.register_command('c1', function() return 'replaced' end)
    ok, err = pcall(zorv.register_command, 'c257', function() end)
    assert(not ok and err:find('too many commands'), tostring(err))
    local edits = 0
    for i = 1, 17000 do if zorv.set_block(i, 0, 0, 'stone') then edits = edits + 1 end end
    assert(edits == 16384, edits)
    local drops = 0
    for i = 1, 300 do if zorv.spawn_drop(i, 0, 0, 'stone') then drops = drops + 1 end end
    assert(drops == 256, drops)
  )", context);
  ASSERT_TRUE(run.mod) << run.errors;
  EXPECT_EQ(run.mod->handlers[static_cast<std::size_t>(ModEvent::Tick)].size(), 256u);
  EXPECT_EQ(run.mod->commands.size(), 256u);
  EXPECT_TRUE(contains(run.errors, "[mod:many] set_block refused")) << run.errors;
  EXPECT_TRUE(contains(run.errors, "[mod:many] spawn_drop refused")) << run.errors;
  std::string reply;
  EXPECT_TRUE(dispatchCommand(*run.mod, "c1", "", "p", reply));
  EXPECT_EQ(reply, "replaced");
}

}  // namespace
}  // namespace zorv

namespace zorv {
namespace {

// The folder's count and size are taken once and kept by every write: replacing a file
// counts it once, new files count one each, and files already there count from the start.
TEST(ModSandbox, DataFolderCountsAreKeptAcrossWrites) {
  ScratchFolder scratch;
  RecordingContext context;
  const fs::path folder = scratch.path() / "data" / "keeper";
  for (std::size_t i = 0; i + 3 < kMaxDataFolderFiles; ++i)
    testing::writeFile(folder / "old" / ("f" + std::to_string(i)), "0123456789");
  const ScriptRun run = runScript(scratch, "keeper", R"(
    for round = 1, 50 do
      assert(zorv.data_write('old/f7', string.rep('r', round)), 'replace ' .. round)
    end
    assert(zorv.data_write('a', 'x') and zorv.data_write('b/c', 'x') and zorv.data_write('d', 'x'), 'three new files')
    assert(zorv.data_write('e', 'x') == false, 'the folder is full')
    assert(zorv.data_write('a', string.rep('y', 1000)), 'replacing still works when full')
    assert(zorv.data_read('old/f7') == string.rep('r', 50), 'last replacement kept')
  )", context);
  ASSERT_TRUE(run.mod) << run.errors;
  EXPECT_TRUE(contains(run.errors, "[mod:keeper] data_write refused")) << run.errors;
  EXPECT_EQ(run.mod->dataFiles, kMaxDataFolderFiles);
  EXPECT_EQ(run.mod->dataBytes, (kMaxDataFolderFiles - 4) * 10 + 50 + 1000 + 2);
  EXPECT_FALSE(fs::exists(folder / "e"));
}

}  // namespace
}  // namespace zorv

namespace zorv {
namespace {

// Blocks are known by their full id: two mods may each have a "gem", and a mod's
// "stone" is its own, not the built-in one.
TEST(ModSandbox, BlocksAreIdentifiedByTheirFullId) {
  ScratchFolder scratch;
  RecordingContext context;
  const ScriptRun first = runScript(scratch, "m_a", "assert(zorv.register_block({id = 'gem', texture = 'stone'}) == 'm_a:gem')",
                                    context);
  const ScriptRun second = runScript(scratch, "m_b", R"(
    assert(zorv.register_block({id = 'gem', texture = 'dirt'}) == 'm_b:gem')
    assert(zorv.register_block({id = 'stone', texture = 'dirt', hardness = 7}) == 'm_b:stone')
  )", context);
  ASSERT_TRUE(first.mod && second.mod) << first.errors << second.errors;
  EXPECT_FALSE(contains(second.errors, "already registered")) << second.errors;
  BlockRegistry& registry = blockRegistry();
  const BlockId gemA = registry.find("m_a:gem"), gemB = registry.find("m_b:gem");
  ASSERT_NE(gemA, kNoBlock);
  ASSERT_NE(gemB, kNoBlock);
  EXPECT_NE(gemA, gemB);
  EXPECT_EQ(registry.get(gemB).texTop, registry.findTile("dirt"));
  EXPECT_NE(registry.find("m_b:stone"), registry.find("zorvander:stone"));
  EXPECT_EQ(registry.get(registry.find("m_b:stone")).hardness, 7.0f);
}

// A mod refused while loading leaves no block and no texture layer behind.
TEST(ModSandbox, AModRefusedWhileLoadingLeavesNothingRegistered) {
  ScratchFolder scratch;
  RecordingContext context;
  testing::writeFile(scratch.path() / "packages" / "greedyblocks" / "face.png", "png");
  BlockRegistry& registry = blockRegistry();
  const std::size_t blocks = registry.count();
  const int tiles = registry.tileCount();
  const ScriptRun run = runScript(scratch, "greedyblocks", R"(
    for i = 1, 2000 do zorv.register_block({id = 'b' .. i, texture = 'face.png'}) end
  )", context);
  EXPECT_FALSE(run.mod);
  EXPECT_TRUE(contains(run.errors, "too many blocks")) << run.errors;
  EXPECT_EQ(registry.count(), blocks);
  EXPECT_EQ(registry.tileCount(), tiles);
  EXPECT_EQ(registry.find("greedyblocks:b1"), kNoBlock);
}

}  // namespace
}  // namespace zorv

namespace zorv {
namespace {

// Finalizers run after the call that dropped their objects, under a budget of their own:
// each runs once, a failing one is reported once, an endless one is stopped, and the mod
// goes on working.
TEST(ModSandbox, FinalizersRunOnceUnderTheBudget) {
  ScratchFolder scratch;
  RecordingContext context;
  ::testing::internal::CaptureStderr();
  auto mod = makeMod(scratch, "gc", R"(
    finalized = {}
    local mt = {__gc = function(o) finalized[#finalized + 1] = o.name end}
    for i = 1, 3 do setmetatable({name = 'o' .. i}, mt) end
    local kept = setmetatable({name = 'kept'}, mt)
    held = kept
    assert(getmetatable(kept).__gc == mt.__gc, 'the metatable is the one given')
    setmetatable({}, {__gc = function() error('boom') end})
    collectgarbage()
    collectgarbage()
    zorv.register_command('finalized', function()
      table.sort(finalized)
      return table.concat(finalized, ',')
    end)
    zorv.register_command('drop', function() held = nil collectgarbage() collectgarbage() end)
    zorv.register_command('endless', function()
      local changed = {__gc = function() end}
      setmetatable({}, changed)
      changed.__gc = function() while true do end end  -- changed later: still under the budget
      collectgarbage()
    end)
    zorv.register_command('storm', function()
      for i = 1, 20000 do setmetatable({}, {__gc = function() for _ = 1, 100 do end end}) end
      collectgarbage()
    end)
  )", &context);
  std::string errors = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(mod) << errors;
  std::string reply;
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(dispatchCommand(*mod, "finalized", "", "p", reply));
  EXPECT_EQ(reply, "o1,o2,o3");
  EXPECT_TRUE(dispatchCommand(*mod, "drop", "", "p", reply));
  EXPECT_TRUE(dispatchCommand(*mod, "finalized", "", "p", reply));
  EXPECT_EQ(reply, "kept,o1,o2,o3");
  EXPECT_TRUE(dispatchCommand(*mod, "endless", "", "p", reply));
  // A storm of finalizers is spread over the calls that follow, one budget each.
  EXPECT_TRUE(dispatchCommand(*mod, "storm", "", "p", reply));
  for (int call = 0; call < 100 && hasPendingFinalizers(mod->lua); ++call)
    EXPECT_TRUE(dispatchCommand(*mod, "finalized", "", "p", reply));
  EXPECT_FALSE(hasPendingFinalizers(mod->lua));
  errors += ::testing::internal::GetCapturedStderr();
  const auto occurrences = [&](const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = errors.find(part); at != std::string::npos; at = errors.find(part, at + 1)) ++count;
    return count;
  };
  EXPECT_EQ(occurrences("boom"), 1u) << errors;
  EXPECT_EQ(occurrences("[mod:gc] finalizer failed: instruction budget exceeded"), 1u) << errors;
  EXPECT_EQ(occurrences("more finalizers failed"), 0u) << errors;
  EXPECT_EQ(reply, "kept,o1,o2,o3");
}

// A write costs the same whatever the folder holds because the folder is looked at once:
// files put there from outside after that count is taken are not seen by later writes.
// A write that scanned the folder again would see the 64 MiB file below and refuse.
TEST(ModSandbox, DataWritesDoNotLookAtTheFolderAgain) {
  ScratchFolder scratch;
  RecordingContext context;
  const fs::path folder = scratch.path() / "data" / "counted";
  const ScriptRun run = runScript(scratch, "counted", R"(
    assert(zorv.data_write('first', 'abc'), 'first write')
    zorv.register_command('more', function(name) return tostring(zorv.data_write(name, 'defg')) end)
  )", context);
  ASSERT_TRUE(run.mod) << run.errors;
  ASSERT_EQ(run.mod->dataBytes, 3u);
  // Sparse: as large as the whole allowance without writing it.
  testing::writeFile(folder / "outside", "");
  fs::resize_file(folder / "outside", kMaxDataFolderBytes);
  std::string reply;
  for (const char* name : {"second", "third", "first"}) {
    ASSERT_TRUE(dispatchCommand(*run.mod, "more", name, "p", reply));
    EXPECT_EQ(reply, "true") << name;
  }
  EXPECT_EQ(run.mod->dataFiles, 3u);
  EXPECT_EQ(run.mod->dataBytes, 12u);
}

}  // namespace
}  // namespace zorv
