// The instruction budget and the memory ceiling: every runaway script must be stopped,
// reported with its activity, and leave the mod (and the process) usable.

#include <gtest/gtest.h>

#include "mods/events.h"
#include "mods/sandbox.h"
#include "mod_fixture.h"

namespace zorv {
namespace {

using testing::makeMod;
using testing::RecordingContext;
using testing::ScratchFolder;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Endless loops in every shape a script might hide one.
const char* const kRunaways[] = {
    "while true do end",
    "while true do pcall(function() while true do end end) end",
    "while true do pcall(pcall, function() while true do end end) end",
    "while true do xpcall(function() while true do end end, function(m) while true do end end) end",
    "local co = coroutine.create(function() while true do end end) while true do coroutine.resume(co) end",
    "while true do local co = coroutine.create(function() while true do end end) coroutine.resume(co) end",
    "while true do pcall(coroutine.wrap(function() while true do end end)) end",
    "local co = coroutine.wrap(function() while true do pcall(function() while true do end end) end end) co()",
    "local function f() return f() end while true do pcall(f) end",
    "for _ = 1, math.maxinteger do local t = {} end",
    "while true do pcall(string.gsub, 'aaaa', 'a', function() while true do end end) end",
    "while true do pcall(table.sort, {3, 2, 1}, function() while true do end end) end",
};

std::string wrap(const std::string& where, const std::string& loop) {
  if (where == "load") return loop;
  if (where == "tick") return "on_tick(function(dt) " + loop + " end)";
  if (where == "command") return "zorv.register_command('spin', function() " + loop + " end)";
  if (where == "block event") return "on_block_break(function(e) " + loop + " end)";
  return "on_player_join(function(e) " + loop + " end)";
}

void trigger(ModHost& host, const std::string& where) {
  std::string reply;
  if (where == "tick") tick(host, 0.05);
  if (where == "command") runModCommand(host, "spin", "", "p", reply);
  if (where == "block event") blockBreak(host, 0, 0, 0, "zorvander:stone", "p", 1);
  if (where == "player event") playerJoined(host, 2, "p");
}

TEST(ModLimits, EveryRunawayLoopIsStoppedByTheBudgetInEveryActivity) {
  ScratchFolder scratch;
  RecordingContext context;
  int index = 0;
  for (const std::string where : {"load", "tick", "command", "block event", "player event"}) {
    for (const char* loop : kRunaways) {
      for (const bool inCoroutine : {false, true}) {
        if (inCoroutine && loop != kRunaways[0] && loop != kRunaways[1]) continue;
        const std::string body =
            inCoroutine ? "local ok, e = coroutine.resume(coroutine.create(function() " + std::string(loop) +
                              " end)) error(e, 0)"
                        : std::string(loop);
        const std::string script = wrap(where, body) + "\nzorv.register_command('alive', function() return 'yes' end)";
        const std::string id = "runaway" + std::to_string(index++);
        ::testing::internal::CaptureStderr();
        std::unique_ptr<ModRecord> mod = makeMod(scratch, id, script, &context);
        ModHost host;
        host.enabled = true;
        host.context = &context;
        if (mod) host.mods.push_back(std::move(mod));
        trigger(host, where);
        trigger(host, where);  // a second call gets a fresh budget and is stopped again
        const std::string errors = ::testing::internal::GetCapturedStderr();
        SCOPED_TRACE(where + (inCoroutine ? " in a coroutine: " : ": ") + loop);
        EXPECT_TRUE(contains(errors, "[mod:" + id + "] " + where + " failed: ")) << errors;
        EXPECT_TRUE(contains(errors, "instruction budget exceeded")) << errors;
        if (where == "load") {
          EXPECT_TRUE(host.mods.empty());
          continue;
        }
        ASSERT_EQ(host.mods.size(), 1u);
        std::string reply;
        EXPECT_TRUE(runModCommand(host, "alive", "", "p", reply));
        EXPECT_EQ(reply, "yes");
      }
    }
  }
}

TEST(ModLimits, AnOrdinaryCallStillGetsItsFullBudgetAfterAnExhaustedOne) {
  ScratchFolder scratch;
  RecordingContext context;
  ::testing::internal::CaptureStderr();
  auto mod = makeMod(scratch, "recover", R"(
    zorv.register_command('spin', function() while true do pcall(function() while true do end end) end end)
    zorv.register_command('work', function()
      local n = 0
      for i = 1, 40000 do n = n + 1 end
      return n
    end)
  )", &context);
  ASSERT_TRUE(mod);
  std::string reply;
  dispatchCommand(*mod, "spin", "", "p", reply);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(contains(errors, "instruction budget exceeded")) << errors;
  EXPECT_TRUE(dispatchCommand(*mod, "work", "", "p", reply));
  EXPECT_EQ(reply, "40000");
}

TEST(ModLimits, MemoryCeilingFailsAllocationsAndTheModStaysUsable) {
  ScratchFolder scratch;
  RecordingContext context;
  ::testing::internal::CaptureStderr();
  auto mod = makeMod(scratch, "greedy", R"(
    local ok, err = pcall(string.rep, 'x', 100 * 1024 * 1024)
    assert(not ok and err:find('not enough memory'), tostring(err))
    ok, err = pcall(function()
      local t = {}
      for i = 1, 100 do t[i] = string.rep(tostring(i), 1024 * 1024) end
    end)
    assert(not ok and err:find('not enough memory'), tostring(err))
    collectgarbage()
    zorv.register_command('grow', function()
      local t = {}
      for i = 1, 100 do t[i] = string.rep(tostring(i), 1024 * 1024) end
    end)
    zorv.register_command('small', function() return #string.rep('y', 1024 * 1024) end)
  )", &context);
  std::string errors = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(mod) << errors;
  EXPECT_LE(mod->memory.used, kModMemoryLimit);

  std::string reply;
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(dispatchCommand(*mod, "grow", "", "p", reply));
  errors = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(contains(errors, "[mod:greedy] command failed: not enough memory")) << errors;
  EXPECT_LE(mod->memory.used, kModMemoryLimit);
  EXPECT_TRUE(dispatchCommand(*mod, "small", "", "p", reply));
  EXPECT_EQ(reply, "1048576");
}

TEST(ModLimits, WorkInsideLibraryFunctionsIsBounded) {
  ScratchFolder scratch;
  RecordingContext context;
  ::testing::internal::CaptureStderr();
  auto mod = makeMod(scratch, "clib", R"(
    zorv.register_command('rep', function() return #string.rep('', math.maxinteger) end)
    zorv.register_command('repsep', function() return #string.rep('', math.maxinteger, '') end)
    zorv.register_command('backtrack', function() return tostring(string.rep('a', 2000):find('.-.-.-b')) end)
    zorv.register_command('greedy', function() return tostring(string.rep('a', 100000):find('a*b')) end)
    zorv.register_command('plain', function()
      return tostring(string.rep('a', 1000000):find(string.rep('a', 10000) .. 'b', 1, true))
    end)
    zorv.register_command('loop', function()
      local s = string.rep('a', 300)
      while true do pcall(string.find, s, '.-.-b') end
    end)
    zorv.register_command('short', function() return (' trim me '):match('^%s*(.-)%s*$') end)
  )", &context);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(mod) << errors;
  std::string reply;
  EXPECT_TRUE(dispatchCommand(*mod, "rep", "", "p", reply));
  EXPECT_EQ(reply, "0");
  EXPECT_TRUE(dispatchCommand(*mod, "repsep", "", "p", reply));
  EXPECT_EQ(reply, "0");

  // Pattern matching that would run for hours is stopped by the budget like a loop.
  for (const char* command : {"backtrack", "greedy", "loop"}) {
    reply.clear();
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(dispatchCommand(*mod, command, "", "p", reply));
    const std::string failure = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(contains(failure, "[mod:clib] command failed: ")) << command << ": " << failure;
    EXPECT_TRUE(contains(failure, "instruction budget exceeded")) << command << ": " << failure;
    EXPECT_EQ(reply, "") << command;
  }
  // A plain search is linear in the subject, so a long needle that nearly matches
  // everywhere still answers within the budget.
  EXPECT_TRUE(dispatchCommand(*mod, "plain", "", "p", reply));
  EXPECT_EQ(reply, "nil");
  EXPECT_TRUE(dispatchCommand(*mod, "short", "", "p", reply));
  EXPECT_EQ(reply, "trim me");
}

}  // namespace
}  // namespace zorv

namespace zorv {
namespace {

// Library functions that loop over a count the script chooses are charged for it: the
// old library calls ran such loops inside one C call that no hook could stop.
TEST(ModLimits, LibraryLoopsOverChosenCountsAreCharged) {
  ScratchFolder scratch;
  RecordingContext context;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(makeMod(scratch, "move", "table.move({}, 1, 1 << 62, 1)", &context));
  const std::string refused = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(contains(refused, "[mod:move] load failed: ")) << refused;
  EXPECT_TRUE(contains(refused, "instruction budget exceeded")) << refused;

  ::testing::internal::CaptureStderr();
  auto mod = makeMod(scratch, "counts", R"(
    local long = {}
    for i = 1, 20000 do long[i] = 'x' end
    local huge = function() return setmetatable({}, {__len = function() return 1 << 40 end}) end
    calls = 0
    zorv.register_command('concat', function() while true do table.concat(long); calls = calls + 1 end end)
    zorv.register_command('insert', function() table.insert(huge(), 1, 'x') end)
    zorv.register_command('remove', function() table.remove(huge(), 1) end)
    zorv.register_command('unpack', function() return select('#', table.unpack({}, 1, 900000)) end)
    zorv.register_command('sort', function() table.sort(huge()) end)
    zorv.register_command('rep', function() while true do local s = string.rep('abc', 1000000, ',') end end)
    zorv.register_command('calls', function() return calls end)
    zorv.register_command('small', function()
      local t = {3, 1, 2}
      table.insert(t, 1, 0) table.insert(t, 9) table.remove(t, 2) table.sort(t)
      return table.concat(table.move(t, 1, 4, 2, {'a'}), ',') .. ' ' .. select('#', table.unpack(t)) ..
          ' ' .. string.rep('ab', 3, '-') .. #string.rep('', math.maxinteger)
    end)
  )", &context);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(mod) << errors;
  std::string reply;
  for (const char* command : {"concat", "insert", "remove", "unpack", "sort", "rep"}) {
    reply.clear();
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(dispatchCommand(*mod, command, "", "p", reply));
    const std::string failure = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(contains(failure, "instruction budget exceeded")) << command << ": " << failure;
    EXPECT_EQ(reply, "") << command;
  }
  // Each join of 20,000 elements costs four of the call's forty units.
  EXPECT_TRUE(dispatchCommand(*mod, "calls", "", "p", reply));
  EXPECT_LE(std::stoi(reply), 10);
  EXPECT_TRUE(dispatchCommand(*mod, "small", "", "p", reply));
  EXPECT_EQ(reply, "a,0,1,2,9 4 ab-ab-ab0");
}

}  // namespace
}  // namespace zorv

namespace zorv {
namespace {

// Each mod stays below its own ceiling, yet together they may not exceed the pool.
TEST(ModLimits, AllModsTogetherDrawOnOneMemoryPool) {
  ScratchFolder scratch;
  RecordingContext context;
  MemoryPool pool;
  pool.limit = 80u * 1024u * 1024u;  // building a string takes twice its size for a moment
  const std::string hog = "held = string.rep('x', 25 * 1024 * 1024)";
  ::testing::internal::CaptureStderr();
  auto first = makeMod(scratch, "hog1", hog, &context, &pool);
  auto second = makeMod(scratch, "hog2", hog, &context, &pool);
  auto third = makeMod(scratch, "hog3", hog, &context, &pool);
  const std::string errors = ::testing::internal::GetCapturedStderr();
  ASSERT_TRUE(first && second) << errors;
  EXPECT_FALSE(third);
  EXPECT_TRUE(contains(errors, "[mod:hog3] load failed: not enough memory")) << errors;
  EXPECT_LE(pool.used.load(), pool.limit);
  EXPECT_GE(pool.used.load(), first->memory.used + second->memory.used);

  first.reset();  // its memory returns to the pool
  ::testing::internal::CaptureStderr();
  third = makeMod(scratch, "hog3", hog, &context, &pool);
  const std::string later = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(third) << later;
  second.reset();
  third.reset();
  EXPECT_EQ(pool.used.load(), 0u);
}

}  // namespace
}  // namespace zorv
