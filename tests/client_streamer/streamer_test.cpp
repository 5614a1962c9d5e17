#include "client/streamer.h"

#include <gtest/gtest.h>

#include "null_renderer.h"
#include "scratch_folder.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <thread>
#include <tuple>

namespace zorv {
namespace {

constexpr std::int32_t kSeed = 20261018;

using KeyTuple = std::tuple<int, int, int>;
KeyTuple tupleOf(const ChunkKey& key) { return {key.cx, key.cy, key.cz}; }

// Keeps what a renderer would hold, and counts the calls.
class RecordingRenderer : public NullRenderer {
 public:
  std::map<KeyTuple, Mesh> opaque, translucent;
  int opaqueUploads = 0, translucentUploads = 0, removals = 0;

  void uploadChunkMesh(const ChunkKey& key, const Mesh& mesh) override {
    ++opaqueUploads;
    opaque[tupleOf(key)] = mesh;
  }
  void uploadTranslucentMesh(const ChunkKey& key, const Mesh& mesh) override {
    ++translucentUploads;
    translucent[tupleOf(key)] = mesh;
  }
  void removeChunkMeshes(const ChunkKey& key) override {
    ++removals;
    opaque.erase(tupleOf(key));
    translucent.erase(tupleOf(key));
  }
  void clearChunkMeshes() override {
    opaque.clear();
    translucent.clear();
  }
};

// A mesh builder whose output names the test phase it was built in, and that can be held
// at its start until the test lets it go.
class GatedBuilder {
 public:
  ChunkStreamer::MeshBuilder builder() {
    return [this](const ChunkSnapshot&) {
      std::unique_lock lock(mutex_);
      ++entered_;
      const int phase = phase_;
      opened_.wait(lock, [this] { return open_; });
      ++built_;
      ChunkMesh mesh;
      mesh.main.vertices.push_back({static_cast<float>(phase), 0, 0, 0, 0, 0, 0, 0, 0});
      return mesh;
    };
  }
  void setOpen(bool open) {
    {
      std::lock_guard lock(mutex_);
      open_ = open;
    }
    opened_.notify_all();
  }
  void setPhase(int phase) {
    std::lock_guard lock(mutex_);
    phase_ = phase;
  }
  int built() {
    std::lock_guard lock(mutex_);
    return built_;
  }
  int entered() {
    std::lock_guard lock(mutex_);
    return entered_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = true;
  int phase_ = 0;
  int entered_ = 0;
  int built_ = 0;
};

template <class Condition>
bool waitFor(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Columns of air around (cx0, cz0): streaming without the cost of terrain.
void addEmptyColumns(World& world, int cx0, int cz0, int radius) {
  for (int cz = cz0 - radius; cz <= cz0 + radius; ++cz) {
    for (int cx = cx0 - radius; cx <= cx0 + radius; ++cx) createEmptyColumn(world, cx, cz);
  }
}

int loadedColumns(const World& world) {
  int count = 0;
  for (const auto& [key, chunk] : world.chunks) count += key.cy == 0;
  return count;
}

TEST(ChunkStreamer, RenderDistanceIsClampedAndCandidatesAreOrderedNearestAndHighestFirst) {
  ChunkStreamer streamer(0, buildChunkMesh);
  streamer.setRenderDistance(2);
  EXPECT_EQ(streamer.renderDistance(), 4);
  streamer.setRenderDistance(30);
  EXPECT_EQ(streamer.renderDistance(), 16);
  streamer.setRenderDistance(5);
  EXPECT_EQ(streamer.renderDistance(), 5);

  World world(kSeed);
  RecordingRenderer renderer;
  streamer.update(world, renderer, {-20.5f, 40.0f, 37.0f});  // column (−2, 2)
  const std::vector<ChunkKey>& candidates = streamer.candidates();
  ASSERT_EQ(candidates.size(), 11u * 11u * 7u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(tupleOf(candidates[i]), KeyTuple(-2, 3 - i, 2));
  // The top chunks of the four columns at distance 1 come next, rows of lower z first.
  EXPECT_EQ(tupleOf(candidates[7]), KeyTuple(-2, 3, 1));
  EXPECT_EQ(tupleOf(candidates[8]), KeyTuple(-3, 3, 2));
  EXPECT_EQ(tupleOf(candidates[9]), KeyTuple(-1, 3, 2));
  EXPECT_EQ(tupleOf(candidates[10]), KeyTuple(-2, 3, 3));
  EXPECT_EQ(tupleOf(candidates[11]), KeyTuple(-2, 2, 1));
  EXPECT_EQ(tupleOf(candidates.back()), KeyTuple(-2 + 5, -3, 2 + 5));
  for (std::size_t i = 1; i < candidates.size(); ++i) {
    const auto distance = [](const ChunkKey& k) { return std::abs(k.cx + 2) + std::abs(k.cz - 2); };
    const int previous = distance(candidates[i - 1]), current = distance(candidates[i]);
    ASSERT_LE(previous, current) << i;
    if (previous == current) {
      ASSERT_GE(candidates[i - 1].cy, candidates[i].cy) << i;
    }
  }
}

TEST(ChunkStreamer, FramesRespectTheGenerationSubmissionAndPendingCaps) {
  ChunkStreamer streamer(0, buildChunkMesh);  // no workers: every job stays pending
  streamer.setRenderDistance(4);
  World world(kSeed);
  RecordingRenderer renderer;
  const Vec3 player{8.0f, 40.0f, 8.0f};

  // The first candidate needs the 3 × 3 columns around the origin: three frames of three.
  streamer.update(world, renderer, player);
  EXPECT_EQ(loadedColumns(world), 3);
  EXPECT_EQ(streamer.pendingJobs(), 0);
  EXPECT_EQ(streamer.cursor(), 0u);
  streamer.update(world, renderer, player);
  EXPECT_EQ(loadedColumns(world), 6);
  EXPECT_EQ(streamer.pendingJobs(), 0);
  streamer.update(world, renderer, player);
  EXPECT_EQ(loadedColumns(world), 9);
  // The origin column's 7 chunks went out; the next candidate (0, 3, −1) needs three new
  // columns and the frame's generations are spent.
  EXPECT_EQ(streamer.pendingJobs(), 7);
  EXPECT_EQ(streamer.inFlightCount(), 7u);
  EXPECT_EQ(streamer.cursor(), 7u);

  int previous = streamer.pendingJobs();
  for (int frame = 0; frame < 40 && streamer.pendingJobs() < kMaxPendingJobs; ++frame) {
    streamer.update(world, renderer, player);
    EXPECT_LE(streamer.pendingJobs() - previous, kSubmissionsPerFrame);
    previous = streamer.pendingJobs();
  }
  ASSERT_EQ(streamer.pendingJobs(), kMaxPendingJobs);
  const std::size_t cursor = streamer.cursor();
  const int columns = loadedColumns(world);
  streamer.update(world, renderer, player);
  EXPECT_EQ(streamer.pendingJobs(), kMaxPendingJobs);
  EXPECT_EQ(streamer.cursor(), cursor);
  EXPECT_EQ(loadedColumns(world), columns);
  EXPECT_EQ(renderer.opaqueUploads, 0);
}

TEST(ChunkStreamer, AFrameUploadsAtMostEightMeshesAndAllChunksWithinRangeBecomeResident) {
  GatedBuilder gate;
  ChunkStreamer streamer(2, gate.builder());
  streamer.setRenderDistance(4);
  World world(kSeed);
  RecordingRenderer renderer;
  const Vec3 player{8.0f, 40.0f, 8.0f};

  gate.setOpen(false);
  for (int frame = 0; frame < 8 && streamer.pendingJobs() < 16; ++frame) streamer.update(world, renderer, player);
  ASSERT_GE(streamer.pendingJobs(), 16);
  const int waiting = streamer.pendingJobs();
  gate.setOpen(true);
  ASSERT_TRUE(waitFor([&] { return streamer.pendingJobs() == 0; }));
  EXPECT_EQ(gate.built(), waiting);
  streamer.update(world, renderer, player);
  EXPECT_EQ(renderer.opaqueUploads, kUploadsPerFrame);
  EXPECT_EQ(renderer.translucentUploads, kUploadsPerFrame);

  const std::size_t all = 9u * 9u * 7u;
  for (int frame = 0; frame < 2000 && streamer.residentCount() < all; ++frame) {
    const int before = renderer.opaqueUploads, columnsBefore = loadedColumns(world);
    streamer.update(world, renderer, player);
    ASSERT_LE(renderer.opaqueUploads - before, kUploadsPerFrame);
    ASSERT_LE(loadedColumns(world) - columnsBefore, kGenerationsPerFrame);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  EXPECT_EQ(streamer.residentCount(), all);
  EXPECT_EQ(renderer.opaque.size(), all);
  EXPECT_EQ(streamer.inFlightCount(), 0u);
  EXPECT_EQ(renderer.opaqueUploads, static_cast<int>(all));  // nothing meshed twice
}

TEST(ChunkStreamer, SnapshotsAreTakenOnlyOnceTheNeighbourColumnsExist) {
  // Bedrock fills the bottom layer of generated terrain: a missing neighbour column would
  // show up as air in the snapshot border of the lowest chunks.
  std::atomic<int> bottomChunks{0}, missingBorder{0};
  ChunkStreamer streamer(2, [&](const ChunkSnapshot& snapshot) {
    if (snapshot.key.cy == kMinChunkY) {
      ++bottomChunks;
      for (int z = -1; z <= kChunkSize; ++z) {
        for (int x = -1; x <= kChunkSize; ++x) {
          if (snapshot.blocks[snapshotIndex(x, 0, z)] != blocks::Bedrock) ++missingBorder;
        }
      }
    }
    return ChunkMesh{};
  });
  streamer.setRenderDistance(4);
  World world(kSeed);
  RecordingRenderer renderer;
  for (int frame = 0; frame < 2000 && streamer.residentCount() < 9u * 9u * 7u; ++frame) {
    streamer.update(world, renderer, {-100.0f, 30.0f, 250.0f});
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  EXPECT_EQ(bottomChunks.load(), 81);
  EXPECT_EQ(missingBorder.load(), 0);
}

TEST(ChunkStreamer, ColumnsStoredInTheSaveFolderAreLoadedNotRegenerated) {
  const testing::ScratchFolder scratch("streamer_saves");
  const std::filesystem::path folder = scratch.path() / "world";
  {
    World world(kSeed);
    setSaveFolder(world, folder);
    ensureColumn(world, 0, 0);
    setBlock(world, 5, 60, 6, blocks::Bookshelf);
    ASSERT_TRUE(flush(world));
  }
  // A world that knows no edits can only get the bookshelf back from the region file.
  World world(kSeed);
  setSaveFolder(world, folder);
  ASSERT_TRUE(world.edits.empty());
  ChunkStreamer streamer(1, [](const ChunkSnapshot&) { return ChunkMesh{}; });
  streamer.setRenderDistance(4);
  RecordingRenderer renderer;
  for (int frame = 0; frame < 200 && !isColumnLoaded(world, 0, 0); ++frame) {
    streamer.update(world, renderer, {8.0f, 70.0f, 8.0f});
  }
  streamer.shutdown();
  EXPECT_EQ(getBlock(world, 5, 60, 6), blocks::Bookshelf);
}

TEST(ChunkStreamer, WalkingEastDropsFarMeshesAndColumnsButNothingWithinRange) {
  ChunkStreamer streamer(0, buildChunkMesh);
  streamer.setRenderDistance(4);
  World world(kSeed);
  addEmptyColumns(world, 0, 0, 8);
  RecordingRenderer renderer;
  streamer.preload(world, renderer, {8.0f, 40.0f, 8.0f}, 7);
  ASSERT_EQ(streamer.residentCount(), 15u * 15u * 7u);
  ASSERT_EQ(loadedColumns(world), 17 * 17);
  ASSERT_EQ(renderer.opaque.size(), 15u * 15u * 7u);

  streamer.update(world, renderer, {16.5f, 40.0f, 8.0f});  // one column east: centre (1, 0)
  // Meshes stay within R + 2 = 6 of the new centre: cx −5..7, cz −6..6.
  EXPECT_EQ(streamer.residentCount(), 13u * 13u * 7u);
  EXPECT_EQ(renderer.opaque.size(), 13u * 13u * 7u);
  EXPECT_EQ(renderer.removals, 15 * 15 * 7 - 13 * 13 * 7);
  EXPECT_TRUE(renderer.opaque.count({-5, 0, 6}));
  EXPECT_FALSE(renderer.opaque.count({-6, 0, 0}));
  EXPECT_FALSE(renderer.opaque.count({0, 0, 7}));
  // Columns stay within R + 4 = 8: cx −7..9, cz −8..8 of what was loaded (−8..8).
  EXPECT_EQ(loadedColumns(world), 16 * 17);
  EXPECT_FALSE(isColumnLoaded(world, -8, 0));
  EXPECT_TRUE(isColumnLoaded(world, -7, 8));
  EXPECT_TRUE(isColumnLoaded(world, 8, -8));
  for (int cz = -4; cz <= 4; ++cz) {
    for (int cx = 1 - 4; cx <= 1 + 4; ++cx) {
      EXPECT_TRUE(isColumnLoaded(world, cx, cz));
      EXPECT_TRUE(streamer.isResident({cx, 0, cz}));
    }
  }
  EXPECT_TRUE(streamer.candidates().empty());  // everything within range is resident
}

TEST(ChunkStreamer, ResultsFromBeforeAResetAreNeverUploaded) {
  GatedBuilder gate;
  ChunkStreamer streamer(1, gate.builder());
  streamer.setRenderDistance(4);
  World world(kSeed);
  RecordingRenderer renderer;
  const Vec3 player{8.0f, 40.0f, 8.0f};

  gate.setPhase(1);
  gate.setOpen(false);
  for (int frame = 0; frame < 3; ++frame) streamer.update(world, renderer, player);
  ASSERT_EQ(streamer.pendingJobs(), 7);
  ASSERT_TRUE(waitFor([&] { return gate.entered() == 1; }));
  streamer.reset();
  EXPECT_EQ(streamer.pendingJobs(), 0);
  EXPECT_EQ(streamer.inFlightCount(), 0u);
  EXPECT_EQ(streamer.residentCount(), 0u);

  // The job the worker holds finishes after the reset; the six still queued never run.
  gate.setPhase(2);
  gate.setOpen(true);
  ASSERT_TRUE(waitFor([&] { return gate.built() == 1; }));
  for (int frame = 0; frame < 2000 && streamer.residentCount() < 9u * 9u * 7u; ++frame) {
    streamer.update(world, renderer, player);
    ASSERT_GE(streamer.pendingJobs(), 0);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  EXPECT_EQ(streamer.residentCount(), 9u * 9u * 7u);
  for (const auto& [key, mesh] : renderer.opaque) {
    ASSERT_EQ(mesh.vertices.size(), 1u);
    EXPECT_EQ(mesh.vertices[0].x, 2.0f);  // built after the reset
  }
  EXPECT_EQ(renderer.opaqueUploads, 9 * 9 * 7);
}

TEST(ChunkStreamer, EditedChunksAreRemeshedAtOnceAndShutdownJoinsTheWorkers) {
  ChunkStreamer streamer;
  World world(kSeed);
  addEmptyColumns(world, 0, 0, 5);
  RecordingRenderer renderer;
  streamer.preload(world, renderer, {8.0f, 40.0f, 8.0f}, 4);
  world.remeshSet.clear();
  const int before = renderer.opaqueUploads;

  setBlock(world, 0, 62, 5, blocks::Stone);  // on the −x face of chunk (0, 3, 0)
  world.remeshSet.insert({40, 0, 40});       // not loaded: skipped
  streamer.remeshChanged(world, renderer);
  EXPECT_TRUE(world.remeshSet.empty());
  EXPECT_EQ(renderer.opaqueUploads - before, 2);
  EXPECT_EQ(renderer.opaque.at({0, 3, 0}).vertices.size(), 24u);  // the lone stone block
  EXPECT_TRUE(renderer.opaque.at({-1, 3, 0}).vertices.empty());
  EXPECT_FALSE(renderer.opaque.count({40, 0, 40}));

  streamer.shutdown();
  streamer.shutdown();  // a second call finds nothing to join

  // The workers mesh what is queued before they end, and shutdown waits for them.
  GatedBuilder gate;
  ChunkStreamer gated(2, gate.builder());
  World other(kSeed);
  gate.setOpen(false);
  for (int frame = 0; frame < 3; ++frame) gated.update(other, renderer, {8.0f, 40.0f, 8.0f});
  ASSERT_EQ(gated.pendingJobs(), 7);
  gate.setOpen(true);
  gated.shutdown();
  EXPECT_EQ(gate.built(), 7);
  EXPECT_EQ(gated.pendingJobs(), 0);
}

TEST(ChunkStreamer, WorkerCountFollowsTheHardwareWithinOneToFour) {
  EXPECT_EQ(meshWorkerCount(0), 2);
  EXPECT_EQ(meshWorkerCount(1), 1);
  EXPECT_EQ(meshWorkerCount(3), 3);
  EXPECT_EQ(meshWorkerCount(64), 4);
}

}  // namespace
}  // namespace zorv
