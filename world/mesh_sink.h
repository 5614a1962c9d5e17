#pragma once
// Where finished chunk meshes go. The world knows nothing of drawing: whoever shows the
// world (the renderer, a test double) receives meshes through this interface.
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
};

}  // namespace zorv
