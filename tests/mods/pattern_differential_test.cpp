// Runs the mods' pattern functions and the standard library's side by side over many
// generated patterns and subjects: every result and every error text must agree.

#include <gtest/gtest.h>
// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "mods/bounded_patterns.h"

namespace zorv {
namespace {

int charges = 0;
int chargeLimit = 0;  // 0: unlimited
void countCharge(lua_State* L) {
  if (++charges >= chargeLimit && chargeLimit > 0) luaL_error(L, "budget spent");
}

struct StateCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};
using State = std::unique_ptr<lua_State, StateCloser>;

// Calls every function with the pattern and records each outcome on one line.
constexpr const char* kDriver = R"lua(
local function rec(out, ...)
  local t = table.pack(...)
  for i = 1, t.n do t[i] = type(t[i]) .. ':' .. tostring(t[i]) end
  out[#out + 1] = table.concat(t, '|', 1, t.n)
end
local function collect(s, p, init)
  local r = {}
  for a, b, c in string.gmatch(s, p, init) do r[#r + 1] = tostring(a) .. ',' .. tostring(b) .. ',' .. tostring(c) end
  return table.concat(r, ';')
end
local lookup = setmetatable({}, {__index = function(_, k) if k == 'a' then return false end return '<' .. tostring(k) .. '>' end})
function check(s, p, init, repl)
  local out = {}
  rec(out, pcall(string.find, s, p, init))
  rec(out, pcall(string.find, s, p, init, true))
  rec(out, pcall(string.match, s, p, init))
  rec(out, pcall(collect, s, p, init))
  rec(out, pcall(string.gsub, s, p, repl))
  rec(out, pcall(string.gsub, s, p, repl, 1))
  rec(out, pcall(string.gsub, s, p, lookup))
  rec(out, pcall(string.gsub, s, p, function(...) return select('#', ...) .. table.concat({...}, '.') end))
  return table.concat(out, '\n')
end
)lua";

State openState(bool bounded) {
  State state(luaL_newstate());
  lua_State* L = state.get();
  luaL_openlibs(L);
  if (bounded) {
    lua_getglobal(L, "string");
    installBoundedPatterns(L, countCharge);
    lua_pop(L, 1);
  }
  if (luaL_dostring(L, kDriver) != LUA_OK) ADD_FAILURE() << lua_tostring(L, -1);
  return state;
}

std::string check(lua_State* L, const std::string& subject, const std::string& pattern, int init,
                  const std::string& replacement) {
  lua_getglobal(L, "check");
  lua_pushlstring(L, subject.data(), subject.size());
  lua_pushlstring(L, pattern.data(), pattern.size());
  lua_pushinteger(L, init);
  lua_pushlstring(L, replacement.data(), replacement.size());
  if (lua_pcall(L, 4, 1, 0) != LUA_OK) return std::string("driver failed: ") + lua_tostring(L, -1);
  std::string result = lua_tostring(L, -1);
  lua_pop(L, 1);
  return result;
}

// Pattern pieces: well-formed items most of the time, and stray special characters
// often enough that every malformed shape appears.
const std::vector<std::string> kItems = {
    "a", "b", "c", ".", "%a", "%d", "%s", "%w", "%p", "%x", "%l", "%u", "%c", "%g", "%z", "%A", "%D", "%S", "%W",
    "%%", "%.", "%]", "[ab]", "[^a]", "[a-c]", "[%d_]", "[]]", "[^]a]", "[a-]", "[-a]", "[%a-z]", "[a-%d]", "[b-a]",
    "(", ")", "()", "%1", "%2", "%3", "%0", "%b()", "%bab", "%baa", "%f[%w]", "%f[ab]", "%f[^a]", "%f[%z]", "$",
    "^", "[", "]", "%", "%b", "%ba", "%f", "%fa", "[%", "[^", "-", "*", "+", "?", "\0", " ", "1", "(a", "(.-)"};
const std::string kSuffixes = "*+-?";
const std::string kSubjectAlphabet = std::string("aabbc.() 1_A-%\0", 15);

std::string makePattern(std::mt19937& random) {
  std::string pattern;
  if (random() % 4 == 0) pattern += '^';
  const int items = static_cast<int>(random() % 7);
  for (int i = 0; i < items; ++i) {
    pattern += kItems[random() % kItems.size()];
    if (random() % 3 == 0) pattern += kSuffixes[random() % kSuffixes.size()];
  }
  if (random() % 5 == 0) pattern += '$';
  return pattern;
}

std::string makeSubject(std::mt19937& random) {
  std::string subject;
  const int length = static_cast<int>(random() % 13);
  for (int i = 0; i < length; ++i) subject += kSubjectAlphabet[random() % kSubjectAlphabet.size()];
  return subject;
}

std::string makeReplacement(std::mt19937& random) {
  static const std::vector<std::string> pieces = {"x", "%0", "%1", "%2", "%%", "%", "%a", "-"};
  std::string replacement;
  const int count = static_cast<int>(random() % 4);
  for (int i = 0; i < count; ++i) replacement += pieces[random() % pieces.size()];
  return replacement;
}

std::string printable(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '\0' ? std::string("\\0") : std::string(1, c);
  return out;
}

TEST(PatternDifferential, AgreesWithTheStandardLibraryOnGeneratedPatterns) {
  const State standard = openState(false);
  const State bounded = openState(true);
  chargeLimit = 0;
  std::mt19937 random(20261210);
  int differences = 0, errors = 0, matches = 0;
  constexpr int kCases = 25000;
  for (int i = 0; i < kCases && differences < 5; ++i) {
    const std::string subject = makeSubject(random);
    const std::string pattern = makePattern(random);
    const int init = static_cast<int>(random() % 7) - 2;
    const std::string replacement = makeReplacement(random);
    const std::string expected = check(standard.get(), subject, pattern, init, replacement);
    const std::string actual = check(bounded.get(), subject, pattern, init, replacement);
    if (expected.find("boolean:false") != std::string::npos) ++errors;
    if (expected.rfind("boolean:true|number:", 0) == 0) ++matches;
    if (expected == actual) continue;
    ++differences;
    ADD_FAILURE() << "subject '" << printable(subject) << "' pattern '" << printable(pattern) << "' init " << init
                  << " replacement '" << replacement << "'\nstandard:\n"
                  << printable(expected) << "\nbounded:\n"
                  << printable(actual);
  }
  // The generator reaches both outcomes often: a test of only errors or only misses
  // would prove little.
  EXPECT_GT(errors, kCases / 10);
  EXPECT_GT(matches, kCases / 10);
}

// Repetitions nest one level per item that leaves a way back; the library refuses a
// path deeper than its limit, and so must the matcher, at exactly the same depth.
TEST(PatternDifferential, NestingLimitsAndCaptureCountsAgree) {
  const State standard = openState(false);
  const State bounded = openState(true);
  chargeLimit = 0;
  std::vector<std::string> patterns;
  for (const int count : {197, 198, 199, 200, 201}) {
    for (const std::string item : {"a?", "a*", "a-", "()", "(a)", "%f[a]a?"}) {
      std::string pattern;
      for (int i = 0; i < count; ++i) pattern += item;
      patterns.push_back(pattern);
    }
    patterns.push_back(std::string(static_cast<std::size_t>(count), '(') + std::string(static_cast<std::size_t>(count), ')'));
  }
  for (const int count : {31, 32, 33}) {
    std::string pattern;
    for (int i = 0; i < count; ++i) pattern += "(a)";
    patterns.push_back(pattern);
  }
  for (const std::size_t length : {150, 400}) {
    const std::string subject(length, 'a');
    for (const std::string& pattern : patterns) {
      EXPECT_EQ(check(standard.get(), subject, pattern, 1, "%1"), check(bounded.get(), subject, pattern, 1, "%1"))
          << "pattern of " << pattern.size() << " bytes starting " << pattern.substr(0, 6) << " on " << length;
    }
  }
}

// Patterns whose backtracking grows with a power of the subject length are stopped by
// the budget, and the matcher does not run on past it.
TEST(PatternDifferential, TheBudgetStopsCatastrophicBacktracking) {
  const State bounded = openState(true);
  lua_State* L = bounded.get();
  const char* cases[] = {
      "return string.find(string.rep('a', 5000), string.rep('.-', 8) .. 'b')",
      "return string.find(string.rep('a', 5000), string.rep('a*', 12) .. 'b')",
      "return string.match(string.rep('a', 5000), string.rep('a-', 6) .. string.rep('a*', 6) .. '$b')",
      "return string.gsub(string.rep('ab', 3000), string.rep('(.-)', 5) .. 'c', '')",
      "for _ in string.gmatch(string.rep('x', 4000), '.-.-.-y') do end",
  };
  for (const char* script : cases) {
    charges = 0;
    chargeLimit = 40;
    const int status = luaL_dostring(L, script);
    ASSERT_NE(status, LUA_OK) << script;
    EXPECT_NE(std::string(lua_tostring(L, -1)).find("budget spent"), std::string::npos) << script;
    EXPECT_EQ(charges, 40) << script;
    lua_settop(L, 0);
  }
  chargeLimit = 0;
}

}  // namespace
}  // namespace zorv
