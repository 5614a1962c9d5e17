#include "mods/bounded_patterns.h"

#include <gtest/gtest.h>
// The C++ build of Lua: its functions have C++ linkage, so no extern "C" wrapper.
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <memory>
#include <string>

namespace zorv {
namespace {

int charges = 0;
void countCharge(lua_State*) { ++charges; }

struct StateCloser {
  void operator()(lua_State* L) const { lua_close(L); }
};
using State = std::unique_ptr<lua_State, StateCloser>;

State openState(bool bounded) {
  State state(luaL_newstate());
  luaL_openlibs(state.get());
  if (bounded) {
    lua_getglobal(state.get(), "string");
    installBoundedPatterns(state.get(), countCharge);
    lua_pop(state.get(), 1);
  }
  return state;
}

std::string run(lua_State* L, const char* script) {
  if (luaL_dostring(L, script) != LUA_OK) return std::string("error: ") + lua_tostring(L, -1);
  return lua_tostring(L, -1);
}

// Every result and every error message of the four functions over a grid of subjects,
// patterns, start positions and replacements, one line per call.
constexpr const char* kGrid = R"lua(
local subjects = {'', 'hello world', '  trim me  ', 'a,b,,c', 'THE (quick) [brown] fox', 'key = value', 'aaa',
  'x=1, y=22, z=333', '\0a\0b', 'f(a(b)c)d', 'hello hello', 'a.b%c', 'THE END', '[x]'}
local patterns = {'', 'o', 'l+', 'l*', 'l-', 'l?', '^h', 'd$', '^$', '$', '.', '%a+', '%A+', '%d+', '%s*(.-)%s*$',
  '^%s*(.-)%s*$', '(%w+)=(%w+)', '(%w+)%s*=%s*(%w+)', '()ll()', '%b()', '%b[]', '%f[%a]%a+', '%f[%A]',
  '[%a_][%w_]*', '[^,]*', '[a-c]+', '[]]', '[^%s]+', '(a)(b)?', '(h)(e)(l)%3', '%.', '%%', 'x=(%d+)', '(%d)(%d)',
  '%z', '\0', 'a-b', '[a-]', '[-a]', '%w-o', '.-o', '(.)%1', '^(h)', 'hello', 'o w', '(', '%', '[a', '(()',
  '%1', '%0', '%b', '%f', '%fa', '%g+', '%p+', '%c', '%x+', '%u%l+', '(l)(l)', '((l)(l))', 'e$x', '^', '[%]]',
  '[^]]+', '%]', 'l)', '(()())'}
local out = {}
local function rec(...)
  local t = table.pack(...)
  for i = 1, t.n do t[i] = tostring(t[i]) end
  out[#out + 1] = table.concat(t, '|', 1, t.n)
end
local function collect(s, p, init)
  local r = {}
  for a, b in string.gmatch(s, p, init) do r[#r + 1] = tostring(a) .. ':' .. tostring(b) end
  return table.concat(r, ';')
end
for _, s in ipairs(subjects) do
  for _, p in ipairs(patterns) do
    for _, init in ipairs({1, 2, -3, 0, 100}) do
      rec(pcall(string.find, s, p, init))
      rec(pcall(string.find, s, p, init, true))
      rec(pcall(string.match, s, p, init))
      rec(pcall(collect, s, p, init))
    end
    rec(pcall(string.gsub, s, p, '<%0>'))
    rec(pcall(string.gsub, s, p, '%1-%1', 2))
    rec(pcall(string.gsub, s, p, {hello = 'HI', o = 0, l = false, a = {}}))
    rec(pcall(string.gsub, s, p, function(a, b) if a == 'l' then return nil end return '[' .. tostring(a) .. tostring(b) .. ']' end))
    rec(pcall(string.gsub, s, p, '%2'))
    rec(pcall(string.gsub, s, p, '%x'))
    rec(pcall(string.gsub, s, p, '%%', 0))
    rec(pcall(string.gsub, s, p, 7))
    rec(pcall(string.gsub, s, p, true))
  end
end
rec(pcall(string.find))
rec(pcall(string.find, 'a', {}))
rec(('hello'):find('l'))
rec(('x'):rep(40):find(('x'):rep(39) .. 'y', 1, true))
rec(pcall(string.find, ('a'):rep(300), ('(a)'):rep(33)))
rec(pcall(string.match, ('a'):rep(300), ('a?'):rep(250) .. ('a'):rep(250)))
return table.concat(out, '\n')
)lua";

TEST(BoundedPatterns, GiveTheStandardLibrarysResultsAndErrors) {
  const State standard = openState(false);
  const State bounded = openState(true);
  const std::string expected = run(standard.get(), kGrid);
  const std::string actual = run(bounded.get(), kGrid);
  ASSERT_GT(expected.size(), 10000u);
  if (expected == actual) return;
  // Point at the first line that differs.
  std::size_t line = 0, at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
    if (expected[at++] == '\n') ++line;
  FAIL() << "first difference on line " << line + 1 << ":\n  standard: "
         << expected.substr(expected.rfind('\n', at) + 1, 120) << "\n  bounded:  "
         << actual.substr(actual.rfind('\n', at) + 1, 120);
}

TEST(BoundedPatterns, BacktrackingIsChargedInProportionToTheWork) {
  const State bounded = openState(true);
  charges = 0;
  EXPECT_EQ(run(bounded.get(), "return tostring(string.find(string.rep('a', 200), '.-.-b'))"), "nil");
  // Every start times every split of the two lazy items: about 200^3 / 6 = 1.33 million
  // match steps, so some 27 charges of 50,000.
  EXPECT_GE(charges, 20);
  EXPECT_LE(charges, 45);
  charges = 0;
  EXPECT_EQ(run(bounded.get(), "return (string.rep('ab', 1000):gsub('b', 'c')):sub(1, 4)"), "acac");
  EXPECT_LE(charges, 2);
}

}  // namespace
}  // namespace zorv
