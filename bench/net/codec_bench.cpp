// Encoding plus decoding of BlockEdits messages: full 64-entry batches (the host's bulk
// transfer) and single edits (play-time changes).

#include <benchmark/benchmark.h>

#include <vector>

#include "net/protocol.h"

namespace {

void BM_BlockEditsRoundTrip(benchmark::State& state) {
  std::vector<zorv::BlockEdit> edits(static_cast<std::size_t>(state.range(0)));
  for (std::size_t i = 0; i < edits.size(); ++i) {
    const auto n = static_cast<std::int32_t>(i);
    edits[i] = {n, 20, 2 * n, 3, 255};
  }
  std::vector<zorv::BlockEdit> decoded;
  for (auto _ : state) {
    const zorv::Bytes payload = zorv::encodeBlockEdits(edits);
    bool ok = zorv::decodeBlockEdits(payload, zorv::kClientMaxEditsPerMessage, decoded);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetItemsProcessed(state.iterations());  // messages
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(2 + 15 * edits.size()));
}
BENCHMARK(BM_BlockEditsRoundTrip)->Arg(64)->Arg(1);

}  // namespace
