#pragma once
// Library functions whose work grows with a count the caller chooses (table.move,
// table.concat, table.unpack, table.insert, table.remove, table.sort, string.rep) run
// inside one C call, out of reach of the instruction count hook. Their wrappers charge
// that work to the call's budget before the real function runs: a count no budget covers
// is refused at once instead of spinning for years.

#include <cstdint>

struct lua_State;

namespace zorv {

// An element moved, joined or compared costs what one VM instruction costs; so do
// this many bytes of a repeated string.
constexpr std::uint64_t kBytesPerInstruction = 1024;

// Charges `instructions` worth of work to the call's budget; raises once it is spent.
using WorkCharge = void (*)(lua_State* L, std::uint64_t instructions);

// Wraps those functions in the global `table` and `string` tables.
void installLibraryLimits(lua_State* L, WorkCharge charge);

}  // namespace zorv
