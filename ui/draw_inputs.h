#pragma once
// What each frame hands to the renderer, computed without a window: the camera matrices,
// the entity and particle draw lists with their model slots, the frames-per-second window
// and the screenshot file name.

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

#include "client/client_session.h"
#include "render/renderer.h"
#include "world/mobs.h"
#include "world/vec.h"

namespace zorv {

inline constexpr float kNearPlane = 0.05f;
inline constexpr float kFarPlane = 600.0f;
inline constexpr float kReach = 4.5f;

// Model slots the renderer draws entities with: the creatures and the player first, then
// one dropped-block model per block id, then one dropped-item model per item.
inline constexpr std::int32_t kSlimeSlot = 0, kPigSlot = 1, kVillagerSlot = 2, kPlayerSlot = 3, kZombieSlot = 4;
// Slot of the dropped model of a block (4 + id) or an item (blockCount + 4 + index).
std::int32_t modelSlotFor(std::uint16_t blockOrItem, std::size_t blockCount);
// Slot of a creature kind's model; unknown kinds draw as slimes.
std::int32_t mobModelSlot(std::uint8_t kind);
// Hands the renderer the creature and player models, one dropped model per block and
// item in slot order, and last the particle cube.
void registerModels(Renderer& renderer);

// Column-major 4 × 4 matrix, as the renderer takes it.
using ViewProjection = std::array<float, 16>;

// Perspective with the y axis flipped for Vulkan and clip depth running from −1 at the
// near plane to 1 at the far plane.
ViewProjection perspectiveProjection(float fovYRadians, float aspect);
// Projection × look-at from `eye` along the direction of yaw and pitch (degrees), up +Y.
ViewProjection cameraViewProjection(Vec3 eye, float yawDegrees, float pitchDegrees, float fovYRadians, float aspect);

// Drops, then mobs, then every remote player whose position has arrived.
std::vector<EntityInstance> buildEntityList(std::span<const Drop> drops, std::span<const Mob> mobs,
                                            std::span<const RemotePlayer> players, std::size_t blockCount);
// One instance per live particle, shrinking from full to 35 % of its base size.
std::vector<ParticleInstance> buildParticleList(std::span<const Particle> particles);

// The frames-per-second figure, renewed whenever half a second of frames has passed; fed
// with the real time between frames, not the clamped step.
struct FpsCounter {
  int frames = 0;
  float seconds = 0.0f;
  float fps = 0.0f;
  void addFrame(float dt);
};

// "<local time>_ZorvK.png", the local time written as %Y-%m-%dT%H-%M-%S.
std::string screenshotFileName(const std::tm& localTime);

}  // namespace zorv
