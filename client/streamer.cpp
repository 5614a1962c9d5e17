#include "client/streamer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "world/chunk_links.h"
#include "world/mesh_merge.h"
#include "world/terrain.h"

namespace zorv {
namespace {

ColumnKey playerColumn(Vec3 player) {
  return {chunkCoord(floorToInt(player.x)), chunkCoord(floorToInt(player.z))};
}

int chebyshev(int cx, int cz, ColumnKey centre) { return std::max(std::abs(cx - centre.cx), std::abs(cz - centre.cz)); }

}  // namespace

int meshWorkerCount(unsigned hardwareThreads) {
  const unsigned threads = hardwareThreads == 0 ? 2 : hardwareThreads;
  return static_cast<int>(std::min(threads, 4u));
}

ChunkStreamer::ChunkStreamer() : ChunkStreamer(meshWorkerCount(std::thread::hardware_concurrency()), buildChunkMesh) {}

ChunkStreamer::ChunkStreamer(int workers, MeshBuilder builder) : builder_(std::move(builder)) {
  startWorkers(workers);
}

ChunkStreamer::~ChunkStreamer() { shutdown(); }

void ChunkStreamer::startWorkers(int workers) {
  workers_.reserve(static_cast<std::size_t>(workers));
  for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { workerLoop(); });
}

void ChunkStreamer::workerLoop() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(jobMutex_);
      jobReady_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
      if (jobs_.empty()) return;  // stopped with nothing left
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    Result result = buildResult(*job.snapshot, job.generation);
    {
      // A reset set the count to 0 for the jobs it dropped; a job that was being meshed
      // then must not take it below zero.
      std::lock_guard lock(jobMutex_);
      if (job.generation == generation_) pending_.fetch_sub(1);
    }
    std::lock_guard lock(resultMutex_);
    results_.push_back(std::move(result));
  }
}

void ChunkStreamer::setRenderDistance(int chunks) {
  radius_ = std::clamp(chunks, kMinRenderDistance, kMaxRenderDistance);
  candidates_.clear();
  cursor_ = 0;
  initialised_ = false;
}

void ChunkStreamer::reset() {
  resident_.clear();
  inFlight_.clear();
  candidates_.clear();
  cursor_ = 0;
  initialised_ = false;
  {
    std::lock_guard lock(jobMutex_);
    ++generation_;
    jobs_.clear();
    pending_.store(0);
  }
  std::lock_guard lock(resultMutex_);
  results_.clear();
}

void ChunkStreamer::shutdown() {
  {
    std::lock_guard lock(jobMutex_);
    stop_ = true;
  }
  jobReady_.notify_all();
  for (std::thread& worker : workers_) worker.join();  // each empties the queue first
  workers_.clear();
  {
    std::lock_guard lock(jobMutex_);
    jobs_.clear();  // left only when there were no workers
    pending_.store(0);
  }
  std::lock_guard lock(resultMutex_);
  results_.clear();
}

ChunkStreamer::Result ChunkStreamer::buildResult(const ChunkSnapshot& snapshot, std::uint64_t generation) const {
  Result result{snapshot.key, builder_(snapshot), generation, chunkFaceLinks(snapshot)};
  mergeCoplanarQuads(result.mesh);
  return result;
}

void ChunkStreamer::meshAndUpload(World& world, MeshSink& sink, const ChunkKey& key) {
  ensureColumn(world, key.cx, key.cz);
  auto snapshot = std::make_unique<ChunkSnapshot>();
  takeChunkSnapshot(world, key, *snapshot);
  upload(sink, buildResult(*snapshot, generation_));
}

void ChunkStreamer::upload(MeshSink& sink, const Result& result) {
  sink.setChunkFaceLinks(result.key, result.links);
  sink.uploadChunkMesh(result.key, result.mesh.main);
  sink.uploadTranslucentMesh(result.key, result.mesh.water);
  resident_.insert(result.key);
}

void ChunkStreamer::preload(World& world, MeshSink& sink, Vec3 player, int radius) {
  centre_ = playerColumn(player);
  initialised_ = true;
  for (int dz = -radius - 1; dz <= radius + 1; ++dz) {
    for (int dx = -radius - 1; dx <= radius + 1; ++dx) ensureColumn(world, centre_.cx + dx, centre_.cz + dz);
  }
  for (int dz = -radius; dz <= radius; ++dz) {
    for (int dx = -radius; dx <= radius; ++dx) {
      for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
        meshAndUpload(world, sink, {centre_.cx + dx, cy, centre_.cz + dz});
      }
    }
  }
  rebuildCandidates();
}

void ChunkStreamer::update(World& world, MeshSink& sink, Vec3 player) {
  const ColumnKey column = playerColumn(player);
  if (!initialised_ || !(column == centre_)) recentre(world, sink, column);
  submit(world);
  receive(sink);
}

void ChunkStreamer::recentre(World& world, MeshSink& sink, ColumnKey column) {
  centre_ = column;
  initialised_ = true;
  for (auto it = resident_.begin(); it != resident_.end();) {
    if (chebyshev(it->cx, it->cz, centre_) > radius_ + 2) {
      sink.removeChunkMeshes(*it);
      it = resident_.erase(it);
    } else {
      ++it;
    }
  }
  unloadFar(world, centre_.cx, centre_.cz, radius_ + 4);
  rebuildCandidates();
}

void ChunkStreamer::rebuildCandidates() {
  candidates_.clear();
  cursor_ = 0;
  for (int dz = -radius_; dz <= radius_; ++dz) {
    for (int dx = -radius_; dx <= radius_; ++dx) {
      for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
        const ChunkKey key{centre_.cx + dx, cy, centre_.cz + dz};
        if (resident_.count(key) == 0 && inFlight_.count(key) == 0) candidates_.push_back(key);
      }
    }
  }
  // Nearest columns first (Manhattan distance), and within a column the top chunks first.
  const ColumnKey centre = centre_;
  std::stable_sort(candidates_.begin(), candidates_.end(), [centre](const ChunkKey& a, const ChunkKey& b) {
    const int da = std::abs(a.cx - centre.cx) + std::abs(a.cz - centre.cz);
    const int db = std::abs(b.cx - centre.cx) + std::abs(b.cz - centre.cz);
    return da != db ? da < db : a.cy > b.cy;
  });
}

bool ChunkStreamer::prepareNeighbourhood(World& world, const ChunkKey& key, int& generated) {
  for (int dz = -1; dz <= 1; ++dz) {
    for (int dx = -1; dx <= 1; ++dx) {
      const int cx = key.cx + dx, cz = key.cz + dz;
      // Nothing exists beyond the world's edge: such a neighbour costs no generation.
      if (!isColumnInWorld(cx, cz) || isColumnLoaded(world, cx, cz)) continue;
      if (generated == kGenerationsPerFrame) return false;
      ensureColumn(world, cx, cz);  // stored data first, else generated
      ++generated;
    }
  }
  return true;
}

void ChunkStreamer::generateAhead(World& world, int& generated) {
  const std::size_t end = std::min(candidates_.size(), cursor_ + kLookAheadCandidates);
  for (std::size_t i = cursor_; i < end && generated < kGenerationsPerFrame; ++i) {
    prepareNeighbourhood(world, candidates_[i], generated);
  }
}

void ChunkStreamer::submit(World& world) {
  int submitted = 0, generated = 0;
  while (submitted < kSubmissionsPerFrame && cursor_ < candidates_.size() && pending_.load() < kMaxPendingJobs) {
    const ChunkKey key = candidates_[cursor_];
    if (resident_.count(key) != 0 || inFlight_.count(key) != 0) {
      ++cursor_;
      continue;
    }
    if (!prepareNeighbourhood(world, key, generated)) return;  // this candidate waits for the next frame
    ++cursor_;
    Job job{std::make_unique<ChunkSnapshot>(), generation_};
    takeChunkSnapshot(world, key, *job.snapshot);
    inFlight_.insert(key);
    {
      std::lock_guard lock(jobMutex_);
      jobs_.push_back(std::move(job));
      pending_.fetch_add(1);
    }
    jobReady_.notify_one();
    ++submitted;
  }
  // The frame's submissions are spent but not its generations: preparing the next
  // candidates' columns now keeps the start of a new ring of columns from stalling.
  if (submitted == kSubmissionsPerFrame) generateAhead(world, generated);
}

bool ChunkStreamer::withinMeshRange(const ChunkKey& key) const { return chebyshev(key.cx, key.cz, centre_) <= radius_ + 2; }

void ChunkStreamer::receive(MeshSink& sink) {
  for (int uploaded = 0; uploaded < kUploadsPerFrame;) {
    Result result;
    {
      std::lock_guard lock(resultMutex_);
      if (results_.empty()) return;
      result = std::move(results_.back());
      results_.pop_back();
    }
    // A stale result says nothing about the key: it may be in flight again since the reset.
    if (result.generation != generation_) continue;
    inFlight_.erase(result.key);
    if (!withinMeshRange(result.key)) continue;
    upload(sink, result);
    ++uploaded;
  }
}

void ChunkStreamer::remeshChanged(World& world, MeshSink& sink) {
  const std::unordered_set<ChunkKey, ChunkKeyHash> changed = std::move(world.remeshSet);
  world.remeshSet.clear();
  for (const ChunkKey& key : changed) {
    if (findChunk(world, key) == nullptr) continue;
    meshAndUpload(world, sink, key);
  }
}

}  // namespace zorv
