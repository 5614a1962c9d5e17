#pragma once
// A renderer for tests and benchmarks.
#include "render/renderer.h"

namespace zorv {

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
  void setRenderScale(float) override {}
  void setVsync(bool) override {}
  void onResize() override {}
  void beginUiFrame() override {}
  void drawFrame(const std::array<float, 16>&, Vec3, const std::vector<EntityInstance>&,
                 const std::vector<ParticleInstance>&) override {}
};

}  // namespace zorv
