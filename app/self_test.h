#pragma once
// The built-in self test: checks of the world, persistence and rules, run without a window.

#include <cstdio>

namespace zorv {

struct World;

// Counts failed checks; each failure prints "FAIL: <name>" on `out`.
struct CheckReport {
  int failures = 0;
  std::FILE* out = stdout;

  void check(bool condition, const char* name);
};

// Runs every self-test check on `world` (created for the check seed) and prints the
// summary line. Returns the exit status: 0 when nothing failed, else 1.
int runSelfTest(World& world);

}  // namespace zorv
