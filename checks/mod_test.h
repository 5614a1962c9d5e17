#pragma once
// The mod system test ("--modtest"): builds three packages at run time, loads them with
// the test context and checks loading, blocks, archives, commands, events and the budget.

#include <filesystem>

namespace zorv {

// Works in <base>/modtest (removed again at the end), prints the summary line and
// returns the exit status: 0 when every check passed, else 1.
int runModTest(const std::filesystem::path& base);

}  // namespace zorv
