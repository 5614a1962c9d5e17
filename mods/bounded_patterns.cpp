#include "mods/bounded_patterns.h"

// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>

#include <cstring>
#include <new>
#include <string_view>

#include "mods/pattern_matcher.h"

namespace zorv {
namespace {

using namespace patterns;

PatternCharge chargeBudget = nullptr;  // the same for every state; set on installation

// A pattern without any of these is a plain substring.
constexpr const char* kSpecials = "^$*+?.([%-";

void chargeState(void* state) {
  if (chargeBudget) chargeBudget(static_cast<lua_State*>(state));
}

StepMeter meterFor(lua_State* L) {
  StepMeter meter;
  meter.charge = chargeState;
  meter.context = L;
  meter.stepsPerCharge = meter.untilCharge = kPatternStepsPerCharge;
  return meter;
}

// A 1-based (or negative, from the end) start position as an offset; past the end
// stays past the end, before the start becomes 0.
std::size_t startOffset(lua_Integer position, std::size_t length) {
  if (position > 0) return static_cast<std::size_t>(position - 1);
  if (position == 0 || position < -static_cast<lua_Integer>(length)) return 0;
  return length - static_cast<std::size_t>(-position);
}

std::string_view checkString(lua_State* L, int index) {
  std::size_t length = 0;
  const char* text = luaL_checklstring(L, index, &length);
  return {text, length};
}

// Compiles into memory the state owns (and its ceiling limits), left on the stack.
Instruction* compileInto(void* memory, std::string_view pattern) {
  auto* program = static_cast<Instruction*>(memory);
  compilePattern(pattern, program);
  return program;
}

const Instruction* pushProgram(lua_State* L, std::string_view pattern) {
  return compileInto(lua_newuserdatauv(L, programCapacity(pattern.size()) * sizeof(Instruction), 0), pattern);
}

int raisePatternError(lua_State* L, const MatchOutcome& outcome) {
  return luaL_error(L, "%s", errorText(outcome.error, outcome.errorIndex).c_str());
}

// Tries `from` and, unless anchored, every later start up to the end of the subject.
// On a match `from` is its start.
bool search(lua_State* L, const Instruction* program, std::string_view subject, std::size_t& from, bool anchored,
            StepMeter& meter, MatchOutcome& outcome) {
  for (;;) {
    matchAt(program, subject, from, meter, outcome);
    if (outcome.error != PatternError::None) return raisePatternError(L, outcome) != 0;
    if (outcome.matched) return true;
    if (anchored || from >= subject.size()) return false;
    ++from;
  }
}

// Capture `index` of a match of subject[start, end); the whole match when the pattern
// has no captures and `index` is 0.
void pushCapture(lua_State* L, const MatchOutcome& outcome, int index, std::string_view subject, std::size_t start,
                 std::size_t end) {
  if (index >= outcome.captureCount) {
    if (index != 0) luaL_error(L, "invalid capture index %%%d", index + 1);
    lua_pushlstring(L, subject.data() + start, end - start);
    return;
  }
  const Capture& capture = outcome.captures[index];
  if (capture.length == kCaptureOpen) luaL_error(L, "unfinished capture");
  if (capture.length == kCapturePosition)
    lua_pushinteger(L, static_cast<lua_Integer>(capture.start) + 1);
  else
    lua_pushlstring(L, subject.data() + capture.start, static_cast<std::size_t>(capture.length));
}

int pushCaptures(lua_State* L, const MatchOutcome& outcome, std::string_view subject, std::size_t start,
                 std::size_t end, bool wholeWhenNone) {
  const int count = outcome.captureCount == 0 && wholeWhenNone ? 1 : outcome.captureCount;
  luaL_checkstack(L, count, "too many captures");
  for (int i = 0; i < count; ++i) pushCapture(L, outcome, i, subject, start, end);
  return count;
}

int plainFind(lua_State* L, std::string_view subject, std::string_view needle, std::size_t from) {
  StepMeter meter = meterFor(L);
  const void* found = memmem(subject.data() + from, subject.size() - from, needle.data(), needle.size());
  if (!found) {
    meter.spend(subject.size() - from);
    luaL_pushfail(L);
    return 1;
  }
  const auto at = static_cast<std::size_t>(static_cast<const char*>(found) - subject.data());
  meter.spend(at - from + needle.size());
  lua_pushinteger(L, static_cast<lua_Integer>(at) + 1);
  lua_pushinteger(L, static_cast<lua_Integer>(at + needle.size()));
  return 2;
}

int findOrMatch(lua_State* L, bool find) {
  const std::string_view subject = checkString(L, 1);
  std::string_view pattern = checkString(L, 2);
  std::size_t from = startOffset(luaL_optinteger(L, 3, 1), subject.size());
  if (from > subject.size()) {
    luaL_pushfail(L);
    return 1;
  }
  if (find && (lua_toboolean(L, 4) || pattern.find_first_of(kSpecials) == std::string_view::npos))
    return plainFind(L, subject, pattern, from);
  const bool anchored = !pattern.empty() && pattern.front() == '^';
  if (anchored) pattern.remove_prefix(1);
  const Instruction* program = pushProgram(L, pattern);
  StepMeter meter = meterFor(L);
  MatchOutcome outcome;
  if (!search(L, program, subject, from, anchored, meter, outcome)) {
    luaL_pushfail(L);
    return 1;
  }
  if (!find) return pushCaptures(L, outcome, subject, from, outcome.end, true);
  lua_pushinteger(L, static_cast<lua_Integer>(from) + 1);
  lua_pushinteger(L, static_cast<lua_Integer>(outcome.end));
  return 2 + pushCaptures(L, outcome, subject, from, outcome.end, false);
}

int find(lua_State* L) { return findOrMatch(L, true); }
int match(lua_State* L) { return findOrMatch(L, false); }

// --- gmatch ------------------------------------------------------------------------

// The iterator's userdata: this header, then the program.
struct Iteration {
  std::size_t from = 0;
  std::size_t lastEnd = 0;
  bool hasLast = false;
};
static_assert(sizeof(Iteration) % alignof(Instruction) == 0);

// A match that ends where the previous one ended is empty and skipped, so that an
// empty match never follows a match at the same place.
bool repeatsLast(bool hasLast, std::size_t lastEnd, const MatchOutcome& outcome) {
  return hasLast && outcome.end == lastEnd;
}

int gmatchNext(lua_State* L) {
  std::size_t length = 0;
  const char* text = lua_tolstring(L, lua_upvalueindex(1), &length);
  const std::string_view subject(text, length);
  auto* iteration = static_cast<Iteration*>(lua_touserdata(L, lua_upvalueindex(3)));
  const auto* program = reinterpret_cast<const Instruction*>(iteration + 1);
  StepMeter meter = meterFor(L);
  MatchOutcome outcome;
  for (std::size_t from = iteration->from; from <= subject.size(); ++from) {
    matchAt(program, subject, from, meter, outcome);
    if (outcome.error != PatternError::None) return raisePatternError(L, outcome);
    if (!outcome.matched || repeatsLast(iteration->hasLast, iteration->lastEnd, outcome)) continue;
    iteration->from = iteration->lastEnd = outcome.end;
    iteration->hasLast = true;
    return pushCaptures(L, outcome, subject, from, outcome.end, true);
  }
  iteration->from = subject.size() + 1;
  return 0;
}

// A leading '^' is an ordinary character here: an anchor would end the iteration.
int gmatch(lua_State* L) {
  const std::string_view subject = checkString(L, 1);
  const std::string_view pattern = checkString(L, 2);
  std::size_t from = startOffset(luaL_optinteger(L, 3, 1), subject.size());
  if (from > subject.size()) from = subject.size() + 1;
  lua_settop(L, 2);
  void* memory = lua_newuserdatauv(L, sizeof(Iteration) + programCapacity(pattern.size()) * sizeof(Instruction), 0);
  auto* iteration = new (memory) Iteration{};
  iteration->from = from;
  compileInto(iteration + 1, pattern);
  lua_pushcclosure(L, gmatchNext, 3);
  return 1;
}

// --- gsub --------------------------------------------------------------------------

// Appends the replacement string (argument 3) with its %0-%9 and %% expanded.
void addReplacement(lua_State* L, luaL_Buffer& buffer, const MatchOutcome& outcome, std::string_view subject,
                    std::size_t start, std::size_t end) {
  std::size_t length = 0;
  const char* text = lua_tolstring(L, 3, &length);
  const std::string_view replacement(text, length);
  std::size_t done = 0;
  for (std::size_t at = replacement.find('%'); at != std::string_view::npos; at = replacement.find('%', done)) {
    luaL_addlstring(&buffer, text + done, at - done);
    const char code = at + 1 < length ? text[at + 1] : '\0';
    if (code == '%') {
      luaL_addchar(&buffer, '%');
    } else if (code == '0') {
      luaL_addlstring(&buffer, subject.data() + start, end - start);
    } else if (code >= '1' && code <= '9') {
      pushCapture(L, outcome, code - '1', subject, start, end);
      luaL_addvalue(&buffer);
    } else {
      luaL_error(L, "invalid use of '%%' in replacement string");
    }
    done = at + 2;
  }
  if (done < length) luaL_addlstring(&buffer, text + done, length - done);
}

// Appends what replaces one match; false when the match is kept as it was.
bool addValue(lua_State* L, luaL_Buffer& buffer, const MatchOutcome& outcome, std::string_view subject,
              std::size_t start, std::size_t end, int kind) {
  if (kind == LUA_TFUNCTION) {
    lua_pushvalue(L, 3);
    lua_call(L, pushCaptures(L, outcome, subject, start, end, true), 1);
  } else if (kind == LUA_TTABLE) {
    pushCapture(L, outcome, 0, subject, start, end);
    lua_gettable(L, 3);
  } else {
    addReplacement(L, buffer, outcome, subject, start, end);
    return true;
  }
  if (!lua_toboolean(L, -1)) {
    lua_pop(L, 1);
    luaL_addlstring(&buffer, subject.data() + start, end - start);
    return false;
  }
  if (!lua_isstring(L, -1)) luaL_error(L, "invalid replacement value (a %s)", luaL_typename(L, -1));
  luaL_addvalue(&buffer);
  return true;
}

int gsub(lua_State* L) {
  const std::string_view subject = checkString(L, 1);
  std::string_view pattern = checkString(L, 2);
  const int kind = lua_type(L, 3);
  const lua_Integer most = luaL_optinteger(L, 4, static_cast<lua_Integer>(subject.size()) + 1);
  luaL_argexpected(L, kind == LUA_TNUMBER || kind == LUA_TSTRING || kind == LUA_TFUNCTION || kind == LUA_TTABLE, 3,
                   "string/function/table");
  const bool anchored = !pattern.empty() && pattern.front() == '^';
  if (anchored) pattern.remove_prefix(1);
  const Instruction* program = pushProgram(L, pattern);
  StepMeter meter = meterFor(L);
  MatchOutcome outcome;
  luaL_Buffer buffer;
  luaL_buffinit(L, &buffer);
  lua_Integer count = 0;
  bool changed = false, hasLast = false;
  std::size_t at = 0, lastEnd = 0;
  while (count < most) {
    matchAt(program, subject, at, meter, outcome);
    if (outcome.error != PatternError::None) return raisePatternError(L, outcome);
    if (outcome.matched && !repeatsLast(hasLast, lastEnd, outcome)) {
      ++count;
      changed = addValue(L, buffer, outcome, subject, at, outcome.end, kind) || changed;
      at = lastEnd = outcome.end;
      hasLast = true;
    } else if (at < subject.size()) {
      luaL_addchar(&buffer, subject[at++]);
    } else {
      break;
    }
    if (anchored) break;
  }
  if (changed) {
    luaL_addlstring(&buffer, subject.data() + at, subject.size() - at);
    luaL_pushresult(&buffer);
  } else {
    lua_pushvalue(L, 1);
  }
  lua_pushinteger(L, count);
  return 2;
}

}  // namespace

void installBoundedPatterns(lua_State* L, PatternCharge charge) {
  chargeBudget = charge;
  static const luaL_Reg functions[] = {
      {"find", find}, {"match", match}, {"gmatch", gmatch}, {"gsub", gsub}, {nullptr, nullptr}};
  luaL_setfuncs(L, functions, 0);
}

}  // namespace zorv
