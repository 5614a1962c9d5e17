#pragma once
// The one interface the game draws through. Meshes are copied on upload; the renderer
// keeps GPU copies keyed by chunk and model slot.

#include <array>
#include <cstdint>
#include <vector>

#include "world/mesh_sink.h"
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

class Renderer : public MeshSink {
 public:
  virtual bool init(GLFWwindow* window, bool vsync) = 0;
  virtual void shutdown() = 0;
  virtual void setModelMesh(std::uint32_t index, const Mesh& mesh) = 0;
  virtual void setParticleMesh(const Mesh& mesh) = 0;
  virtual void setEnvironment(float daylight, float fogDistance, Vec3 sunDirection) = 0;
  virtual void setEffects(bool shadows, bool postProcessing) = 0;
  // The fraction of the window (0.5 to 1) the world and its effects are drawn at; the
  // picture is scaled up to the window, the interface is drawn at the window's size.
  virtual void setRenderScale(float fraction) = 0;
  virtual void setVsync(bool on) = 0;
  virtual void onResize() = 0;
  virtual void beginUiFrame() = 0;
  virtual void drawFrame(const std::array<float, 16>& viewProjection, Vec3 cameraPosition,
                         const std::vector<EntityInstance>& entities,
                         const std::vector<ParticleInstance>& particles) = 0;
};

}  // namespace zorv
