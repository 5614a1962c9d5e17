#pragma once
// The one interface the game draws through. Meshes are copied on upload; the renderer
// keeps GPU copies keyed by chunk and model slot.

#include <array>
#include <cstdint>
#include <vector>

#include "world/mesher.h"
#include "world/types.h"
#include "world/vec.h"

struct GLFWwindow;

namespace zorv {

// One drawn model: eight 32-bit values.
struct EntityInstance {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  float yaw = 0.0f;    // radians
  float scale = 1.0f;
  float unused = 0.0f;  // always 0 for entities
  std::int32_t modelSlot = 0;
  float flash = 0.0f;   // 1 while the entity's hurt timer runs
};
static_assert(sizeof(EntityInstance) == 32);

// One drawn particle: eight 32-bit values.
struct ParticleInstance {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  float zero = 0.0f;
  float size = 0.0f;
  std::int32_t tile = 0;
  float padding[2] = {0.0f, 0.0f};
};
static_assert(sizeof(ParticleInstance) == 32);

class Renderer {
 public:
  virtual ~Renderer() = default;
  virtual bool init(GLFWwindow* window, bool vsync) = 0;
  virtual void shutdown() = 0;
  virtual void uploadChunkMesh(const ChunkKey& key, const Mesh& mesh) = 0;
  virtual void uploadTranslucentMesh(const ChunkKey& key, const Mesh& mesh) = 0;
  virtual void removeChunkMeshes(const ChunkKey& key) = 0;
  virtual void clearChunkMeshes() = 0;
  virtual void setModelMesh(std::uint32_t index, const Mesh& mesh) = 0;
  virtual void setParticleMesh(const Mesh& mesh) = 0;
  virtual void setEnvironment(float daylight, float fogDistance, Vec3 sunDirection) = 0;
  virtual void setEffects(bool shadows, bool postProcessing) = 0;
  virtual void setVsync(bool on) = 0;
  virtual void onResize() = 0;
  virtual void beginUiFrame() = 0;
  virtual void drawFrame(const std::array<float, 16>& viewProjection, Vec3 cameraPosition,
                         const std::vector<EntityInstance>& entities,
                         const std::vector<ParticleInstance>& particles) = 0;
  // Which faces of a chunk see each other through it (world/chunk_links.h), for culling
  // what terrain hides. A chunk never given links counts as open on every face.
  virtual void setChunkFaceLinks(const ChunkKey& /*key*/, std::uint16_t /*links*/) {}
};

// Draws and keeps nothing: the base of doubles that record only the calls they check.
class NullRenderer : public Renderer {
 public:
  bool init(GLFWwindow*, bool) override { return true; }
  void shutdown() override {}
  void uploadChunkMesh(const ChunkKey&, const Mesh&) override {}
  void uploadTranslucentMesh(const ChunkKey&, const Mesh&) override {}
  void removeChunkMeshes(const ChunkKey&) override {}
  void clearChunkMeshes() override {}
  void setModelMesh(std::uint32_t, const Mesh&) override {}
  void setParticleMesh(const Mesh&) override {}
  void setEnvironment(float, float, Vec3) override {}
  void setEffects(bool, bool) override {}
  void setVsync(bool) override {}
  void onResize() override {}
  void beginUiFrame() override {}
  void drawFrame(const std::array<float, 16>&, Vec3, const std::vector<EntityInstance>&,
                 const std::vector<ParticleInstance>&) override {}
};

}  // namespace zorv
