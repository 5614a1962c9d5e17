#pragma once
// Where finished chunk meshes go. The world knows nothing of drawing: whoever shows the
// world (the renderer, a test double) receives meshes through this interface.
#include <cstdint>

#include "world/mesher.h"
#include "world/types.h"

namespace zorv {

class MeshSink {
 public:
  virtual ~MeshSink() = default;
  virtual void uploadChunkMesh(const ChunkKey& key, const Mesh& mesh) = 0;
  virtual void uploadTranslucentMesh(const ChunkKey& key, const Mesh& mesh) = 0;
  virtual void removeChunkMeshes(const ChunkKey& key) = 0;
  virtual void clearChunkMeshes() = 0;
  // Which faces of a chunk see each other through it (world/chunk_links.h), for culling
  // what terrain hides. A chunk never given links counts as open on every face.
  virtual void setChunkFaceLinks(const ChunkKey& /*key*/, std::uint16_t /*links*/) {}
};

}  // namespace zorv
