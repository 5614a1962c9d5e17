#pragma once
// string.find, string.match, string.gmatch and string.gsub for mods. They behave like the
// standard library's, but their matcher counts its steps and charges them to the call's
// instruction budget: the standard matcher runs inside one C call that no count hook can
// interrupt, and a backtracking pattern on a few hundred bytes can run for hours.

struct lua_State;

namespace zorv {

// Matcher steps per budget unit. A step costs a few nanoseconds, so a call's whole budget
// buys about 2 million steps (some 15 ms): trimming a 200 KB string still fits.
constexpr int kPatternStepsPerCharge = 50000;

// Called once per kPatternStepsPerCharge steps; raises when the budget is spent.
using PatternCharge = void (*)(lua_State* L);

// Replaces the four functions in the table at the top of the stack (the string library).
void installBoundedPatterns(lua_State* L, PatternCharge charge);

}  // namespace zorv
