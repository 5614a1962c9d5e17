#pragma once
// Keeps the renderer supplied with chunk meshes around the player and memory bounded:
// generates missing terrain within a per-frame budget, hands chunk snapshots to worker
// threads that build the meshes, uploads the finished meshes on the game thread and drops
// meshes and columns that fall out of range.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

#include "world/mesh_sink.h"
#include "world/mesher.h"
#include "world/vec.h"
#include "world/world.h"

namespace zorv {

constexpr int kMinRenderDistance = 4;
constexpr int kMaxRenderDistance = 16;
constexpr int kGenerationsPerFrame = 3;
constexpr int kSubmissionsPerFrame = 8;
constexpr int kUploadsPerFrame = 8;
constexpr int kMaxPendingJobs = 64;
// How far past the cursor a frame with generations to spare prepares columns.
constexpr std::size_t kLookAheadCandidates = 64;

// The number of mesh workers for a hardware thread count (0 = unknown): 1 to 4.
int meshWorkerCount(unsigned hardwareThreads);

class ChunkStreamer {
 public:
  using MeshBuilder = std::function<ChunkMesh(const ChunkSnapshot&)>;

  // Starts meshWorkerCount(hardware threads) workers that run buildChunkMesh.
  ChunkStreamer();
  // Starts `workers` workers (0 leaves every job queued) that run `builder`.
  ChunkStreamer(int workers, MeshBuilder builder);
  ~ChunkStreamer();
  ChunkStreamer(const ChunkStreamer&) = delete;
  ChunkStreamer& operator=(const ChunkStreamer&) = delete;

  // Clamps to 4..16; the next update rebuilds the candidate list.
  void setRenderDistance(int chunks);
  int renderDistance() const { return radius_; }

  // Forgets every chunk, job and result (the world was left or replaced). Jobs being
  // meshed finish; their results are recognised as stale and dropped.
  void reset();
  // Meshes every chunk within `radius` columns of the player on this thread.
  void preload(World& world, MeshSink& sink, Vec3 player, int radius);
  // One frame of streaming around the player.
  void update(World& world, MeshSink& sink, Vec3 player);
  // Meshes the chunks of the world's remesh set that are still loaded, on this thread,
  // so an edit shows up in the same frame. Empties the set.
  void remeshChanged(World& world, MeshSink& sink);
  // Stops the workers once they have emptied the job queue and joins them.
  void shutdown();

  std::size_t residentCount() const { return resident_.size(); }
  bool isResident(const ChunkKey& key) const { return resident_.count(key) != 0; }
  std::size_t inFlightCount() const { return inFlight_.size(); }
  int pendingJobs() const { return pending_.load(); }
  const std::vector<ChunkKey>& candidates() const { return candidates_; }
  std::size_t cursor() const { return cursor_; }

 private:
  struct Job {
    std::unique_ptr<ChunkSnapshot> snapshot;
    std::uint64_t generation = 0;
  };
  struct Result {
    ChunkKey key;
    ChunkMesh mesh;
    std::uint64_t generation = 0;
    std::uint16_t links = 0;
  };

  void startWorkers(int workers);
  void workerLoop();
  void recentre(World& world, MeshSink& sink, ColumnKey column);
  void rebuildCandidates();
  // Generates what the candidate's 3 × 3 columns lack; false when the frame's budget ran out.
  bool prepareNeighbourhood(World& world, const ChunkKey& key, int& generated);
  // Uses what is left of the frame's generations on the columns of the candidates after
  // the cursor.
  void generateAhead(World& world, int& generated);
  void submit(World& world);
  void receive(MeshSink& sink);
  // The builder's mesh with its coplanar quads merged, and the chunk's face links.
  Result buildResult(const ChunkSnapshot& snapshot, std::uint64_t generation) const;
  // Builds the chunk on this thread and uploads it.
  void meshAndUpload(World& world, MeshSink& sink, const ChunkKey& key);
  void upload(MeshSink& sink, const Result& result);
  bool withinMeshRange(const ChunkKey& key) const;

  MeshBuilder builder_;
  int radius_ = 8;
  ColumnKey centre_;
  bool initialised_ = false;
  std::unordered_set<ChunkKey, ChunkKeyHash> resident_;
  std::unordered_set<ChunkKey, ChunkKeyHash> inFlight_;
  std::vector<ChunkKey> candidates_;
  std::size_t cursor_ = 0;

  // Shared with the workers. The generation only changes under the job mutex.
  std::mutex jobMutex_;
  std::condition_variable jobReady_;
  std::deque<Job> jobs_;
  std::uint64_t generation_ = 0;
  bool stop_ = false;
  std::atomic<int> pending_{0};
  std::mutex resultMutex_;
  std::vector<Result> results_;
  std::vector<std::thread> workers_;
};

}  // namespace zorv
