#pragma once
// The built-in self test: checks of the world, persistence and rules, run without a window.

#include <cstddef>
#include <cstdio>

namespace zorv {

struct World;

// The seed of the self test, the benchmark and the scene captures.
inline constexpr int kCheckSeed = 20261018;

// Counts failed checks; each failure prints "FAIL: <name>" on `out`.
struct CheckReport {
  int failures = 0;
  std::FILE* out = stdout;

  void check(bool condition, const char* name);
};

// What meshing the generated area around the origin produced.
struct MeshTotals {
  int chunks = 0;  // chunks with a non-empty mesh
  std::size_t vertices = 0;
  std::size_t indices = 0;
};

// Prints the summary line and returns the exit status: 0 when no check failed, else 1.
int finishSelfTest(const CheckReport& report, const MeshTotals& totals);

// Runs every self-test check on `world` (created for the check seed, without a save
// folder) and finishes with the summary line. Returns the exit status.
int runSelfTest(World& world);

}  // namespace zorv
