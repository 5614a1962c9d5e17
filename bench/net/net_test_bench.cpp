// The loop-back net test as a measurement: wall time and loop iterations of one
// 12,000-edit exchange (the test allows 1,500 iterations of about 1 ms).

#include <benchmark/benchmark.h>

#include "checks/net_test.h"

namespace {

void BM_NetTestExchange(benchmark::State& state) {
  zorv::NetTestOutcome outcome;
  for (auto _ : state) {
    outcome = zorv::runNetExchange(zorv::kNetTestPort + 100);
    if (outcome.failures != 0) state.SkipWithError("the exchange failed");
  }
  state.counters["iterations"] = outcome.iterations;
  state.counters["loop_ms"] = outcome.loopSeconds * 1000.0;
  state.counters["edits"] = static_cast<double>(outcome.editsReceived);
}
BENCHMARK(BM_NetTestExchange)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
