#pragma once
// Player movement: input to velocity per game mode, gravity and swimming, collision
// against solid blocks in small sub-steps, fall damage, and the block pick ray.

#include <cstdint>

#include "world/vec.h"
#include "world/world.h"

namespace zorv {

constexpr float kPlayerHalfWidth = 0.3f;
constexpr float kEyeHeight = 1.62f;        // eye above the feet
constexpr float kHeadAboveEye = 0.18f;     // top of the box above the eye
constexpr float kPickDistance = 4.5f;      // reach of the block ray in play

struct PlayerBody {
  float x = 0.0f, y = 0.0f, z = 0.0f;  // eye position
  float vx = 0.0f, vy = 0.0f, vz = 0.0f;
  float yaw = 0.0f, pitch = 0.0f;  // degrees
  float lookSensitivity = 0.1f;
  bool flying = false;
  bool onGround = false;
  std::uint8_t mode = 0;  // 0 creative, 1 survival, 2 spectator
  std::int32_t health = 20;
  float fallDistance = 0.0f;
  float hurtTimer = 0.0f;
};

struct MoveInput {
  float dx = 0.0f, dy = 0.0f, dz = 0.0f;  // desired direction, any length
  bool jump = false;
  bool sprint = false;
};

struct PickResult {
  bool hit = false;
  int x = 0, y = 0, z = 0;              // the solid cell
  int previousX = 0, previousY = 0, previousZ = 0;  // the cell the ray came from
};

// One physics tick; returns the fall damage of a survival landing (0 when none).
int step(PlayerBody& body, const World& world, float dt, const MoveInput& input);

// Whether the player box with its eye at `eye` overlaps a solid block.
bool collidesAt(const World& world, const Vec3& eye);
// Whether any cell from floor(lower) to floor(upper) on every axis holds a solid block.
bool boxCollides(const World& world, const Vec3& lower, const Vec3& upper);
// Whether the player box overlaps the unit cell (strict comparisons: touching is not overlapping).
bool overlapsCell(const Vec3& eye, int x, int y, int z);

// The first solid block along the ray within `maxDistance`, with the cell before it.
PickResult pick(const World& world, const Vec3& origin, const Vec3& direction, float maxDistance);

// Turns the body by a mouse movement; pitch stays within −89..89 degrees.
void look(PlayerBody& body, float mouseDx, float mouseDy);
Vec3 lookDirection(float yawDegrees, float pitchDegrees);
Vec3 forward(float yawDegrees);
Vec3 right(float yawDegrees);

}  // namespace zorv
