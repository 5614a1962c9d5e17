#pragma once
// What a player's program shows of the played world. The session tells it when the world
// is replaced, prepared, edited or walked through; a session without one (a dedicated
// server, most tests) meshes nothing.
#include "world/vec.h"
#include "world/world.h"

namespace zorv {

class WorldView {
 public:
  virtual ~WorldView() = default;
  // The world was left or replaced: every mesh and streaming state is stale.
  virtual void forgetWorld() = 0;
  // Meshes the chunks within `radius` columns of `centre` at once (a new world's first area).
  virtual void showArea(World& world, Vec3 centre, int radius) = 0;
  // Meshes the world's remesh set now, so an edit shows in the same frame; empties it.
  virtual void remeshChanged(World& world) = 0;
  // One frame of streaming around the player's eye.
  virtual void follow(World& world, Vec3 eye) = 0;
  virtual void setRenderDistance(int chunks) = 0;
};

}  // namespace zorv
