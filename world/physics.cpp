#include "world/physics.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "world/registry.h"

namespace zorv {
namespace {

constexpr float kMaxSubStep = 0.02f;
constexpr float kMinMove = 0.00001f;

constexpr float kSpectatorSpeed = 22.0f, kSpectatorSprintSpeed = 45.0f;
constexpr float kFlySpeed = 16.0f, kFlySprintSpeed = 40.0f;
constexpr float kSwimSpeed = 3.0f, kSwimSprintSpeed = 4.5f;
constexpr float kWalkSpeed = 5.5f, kWalkSprintSpeed = 8.5f;
constexpr float kGravity = 28.0f, kWaterSinking = 8.0f, kMaxSinkSpeed = 4.0f;
constexpr float kSwimUpSpeed = 10.0f, kJumpSpeed = 8.5f;
constexpr float kSafeFall = 3.5f, kFallDamageOffset = 3.0f;

enum class Axis { X, Y, Z };

bool isSolid(const World& world, int x, int y, int z) { return blockRegistry().get(getBlock(world, x, y, z)).solid; }

// The cell holding a coordinate; far-off and not-a-number values land outside the world.
int cellOf(float coordinate) {
  constexpr float kFar = 1.0e9f;
  const float cell = std::floor(coordinate);
  if (!(cell > -kFar)) return -static_cast<int>(kFar);
  return cell < kFar ? static_cast<int>(cell) : static_cast<int>(kFar);
}

bool isWaterAt(const World& world, float x, float y, float z) {
  return getBlock(world, cellOf(x), cellOf(y), cellOf(z)) == blocks::Water;
}

// Scales (x, y, z) to length `speed`; zero stays zero.
Vec3 scaledTo(float x, float y, float z, float speed) {
  const float length = std::sqrt(x * x + y * y + z * z);
  if (length <= 0.0f) return {};
  const float scale = speed / length;
  return {x * scale, y * scale, z * scale};
}

void setVelocity(PlayerBody& body, const Vec3& velocity) {
  body.vx = velocity.x;
  body.vy = velocity.y;
  body.vz = velocity.z;
}

float& coordinate(PlayerBody& body, Axis axis) {
  switch (axis) {
    case Axis::X: return body.x;
    case Axis::Y: return body.y;
    default: return body.z;
  }
}

// Moves the body along one axis in steps of at most 0.02 blocks; the first step that
// would overlap a solid block is undone and ends the move.
void moveAxis(PlayerBody& body, const World& world, Axis axis, float displacement) {
  float& position = coordinate(body, axis);
  while (std::fabs(displacement) > kMinMove) {
    const float stepSize = std::clamp(displacement, -kMaxSubStep, kMaxSubStep);
    position += stepSize;
    if (collidesAt(world, {body.x, body.y, body.z})) {
      position -= stepSize;
      if (axis == Axis::Y) {
        body.vy = 0.0f;
        if (stepSize < 0.0f) body.onGround = true;
      }
      return;
    }
    displacement -= stepSize;
  }
}

void walkVelocity(PlayerBody& body, const World& world, float dt, const MoveInput& input, bool wasOnGround) {
  const bool inWater = isWaterAt(world, body.x, body.y + 0.15f, body.z) || isWaterAt(world, body.x, body.y - 0.2f, body.z) ||
                       isWaterAt(world, body.x, body.y - 1.0f, body.z);
  const float speed = inWater ? (input.sprint ? kSwimSprintSpeed : kSwimSpeed)
                              : (input.sprint ? kWalkSprintSpeed : kWalkSpeed);
  const Vec3 horizontal = scaledTo(input.dx, 0.0f, input.dz, speed);
  body.vx = horizontal.x;
  body.vz = horizontal.z;
  if (inWater) {
    body.vy = std::max(body.vy - kWaterSinking * dt, -kMaxSinkSpeed);
    if (input.jump) body.vy = std::max(body.vy, kSwimUpSpeed);
  } else {
    body.vy -= kGravity * dt;
    if (input.jump && wasOnGround) body.vy = kJumpSpeed;
  }
}

int fallDamage(PlayerBody& body, float dt, bool wasOnGround, bool bodyInWater) {
  if (body.mode != 1 || bodyInWater) {
    body.fallDistance = 0.0f;
    return 0;
  }
  if (!body.onGround) {
    if (body.vy < 0.0f) body.fallDistance += -body.vy * dt;
    return 0;
  }
  int damage = 0;
  if (!wasOnGround && body.fallDistance > kSafeFall) damage = static_cast<int>(body.fallDistance - kFallDamageOffset);
  body.fallDistance = 0.0f;
  return damage;
}

// Distance along the ray to the first boundary and between boundaries on one axis.
struct AxisWalk {
  int step = 0;
  float next = std::numeric_limits<float>::infinity();
  float delta = std::numeric_limits<float>::infinity();
};

AxisWalk axisWalk(float origin, float direction, int cell) {
  AxisWalk walk;
  if (direction > 0.0f) {
    walk.step = 1;
    walk.next = (static_cast<float>(cell) + 1.0f - origin) / direction;
    walk.delta = 1.0f / direction;
  } else if (direction < 0.0f) {
    walk.step = -1;
    walk.next = (origin - static_cast<float>(cell)) / -direction;
    walk.delta = -1.0f / direction;
  }
  return walk;
}

}  // namespace

int step(PlayerBody& body, const World& world, float dt, const MoveInput& input) {
  body.hurtTimer = std::max(body.hurtTimer - dt, 0.0f);
  if (body.mode == 2) {
    setVelocity(body, scaledTo(input.dx, input.dy, input.dz, input.sprint ? kSpectatorSprintSpeed : kSpectatorSpeed));
    body.onGround = false;
    body.x += body.vx * dt;
    body.y += body.vy * dt;
    body.z += body.vz * dt;
    body.fallDistance = 0.0f;
    return 0;
  }

  const bool wasOnGround = body.onGround;
  if (body.mode == 0 && body.flying) {
    setVelocity(body, scaledTo(input.dx, input.dy, input.dz, input.sprint ? kFlySprintSpeed : kFlySpeed));
  } else {
    walkVelocity(body, world, dt, input, wasOnGround);
  }

  const bool bodyInWater = isWaterAt(world, body.x, body.y - 0.9f, body.z);
  body.onGround = false;
  moveAxis(body, world, Axis::X, body.vx * dt);
  moveAxis(body, world, Axis::Z, body.vz * dt);
  moveAxis(body, world, Axis::Y, body.vy * dt);
  return fallDamage(body, dt, wasOnGround, bodyInWater);
}

bool boxCollides(const World& world, const Vec3& lower, const Vec3& upper) {
  const int x0 = cellOf(lower.x), x1 = cellOf(upper.x);
  const int y0 = cellOf(lower.y), y1 = cellOf(upper.y);
  const int z0 = cellOf(lower.z), z1 = cellOf(upper.z);
  for (int y = y0; y <= y1; ++y) {
    for (int z = z0; z <= z1; ++z) {
      for (int x = x0; x <= x1; ++x) {
        if (isSolid(world, x, y, z)) return true;
      }
    }
  }
  return false;
}

bool collidesAt(const World& world, const Vec3& eye) {
  return boxCollides(world, {eye.x - kPlayerHalfWidth, eye.y - kEyeHeight, eye.z - kPlayerHalfWidth},
                     {eye.x + kPlayerHalfWidth, eye.y + kHeadAboveEye, eye.z + kPlayerHalfWidth});
}

bool overlapsCell(const Vec3& eye, int x, int y, int z) {
  const auto fx = static_cast<float>(x), fy = static_cast<float>(y), fz = static_cast<float>(z);
  return fx + 1.0f > eye.x - kPlayerHalfWidth && eye.x + kPlayerHalfWidth > fx && fz + 1.0f > eye.z - kPlayerHalfWidth &&
         eye.z + kPlayerHalfWidth > fz && fy + 1.0f > eye.y - kEyeHeight && eye.y + kHeadAboveEye > fy;
}

PickResult pick(const World& world, const Vec3& origin, const Vec3& direction, float maxDistance) {
  const float length = std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
  // A degenerate ray or an unbounded reach would never end the walk.
  if (!(length > 0.0f) || !std::isfinite(length) || !std::isfinite(maxDistance) || !std::isfinite(origin.x) ||
      !std::isfinite(origin.y) || !std::isfinite(origin.z)) {
    return {};
  }
  const Vec3 d{direction.x / length, direction.y / length, direction.z / length};
  int cell[3] = {cellOf(origin.x), cellOf(origin.y), cellOf(origin.z)};
  AxisWalk walks[3] = {axisWalk(origin.x, d.x, cell[0]), axisWalk(origin.y, d.y, cell[1]), axisWalk(origin.z, d.z, cell[2])};
  int previous[3] = {cell[0], cell[1], cell[2]};
  // A ray crosses at most reach + 1 cell boundaries on each axis. The count holds where
  // the float distances stop adding up (far outside the world), so the walk always ends.
  const int maxSteps = 3 * (static_cast<int>(std::clamp(maxDistance, 0.0f, 1.0e6f)) + 2);
  for (int steps = 0; steps <= maxSteps; ++steps) {
    if (isSolid(world, cell[0], cell[1], cell[2])) {
      return {true, cell[0], cell[1], cell[2], previous[0], previous[1], previous[2]};
    }
    int axis = 2;
    if (walks[0].next < walks[1].next && walks[0].next < walks[2].next) {
      axis = 0;
    } else if (walks[1].next < walks[2].next) {
      axis = 1;
    }
    AxisWalk& walk = walks[axis];
    if (walk.next > maxDistance) return {};
    std::copy(cell, cell + 3, previous);
    cell[axis] += walk.step;
    walk.next += walk.delta;
  }
  return {};
}

void look(PlayerBody& body, float mouseDx, float mouseDy) {
  body.yaw += mouseDx * body.lookSensitivity;
  body.pitch = std::clamp(body.pitch - mouseDy * body.lookSensitivity, -89.0f, 89.0f);
}

Vec3 lookDirection(float yawDegrees, float pitchDegrees) {
  const float yaw = yawDegrees * kDegreesToRadians, pitch = pitchDegrees * kDegreesToRadians;
  return {std::cos(yaw) * std::cos(pitch), std::sin(pitch), std::sin(yaw) * std::cos(pitch)};
}

Vec3 forward(float yawDegrees) {
  const float yaw = yawDegrees * kDegreesToRadians;
  return {std::cos(yaw), 0.0f, std::sin(yaw)};
}

Vec3 right(float yawDegrees) {
  const float yaw = yawDegrees * kDegreesToRadians;
  return {-std::sin(yaw), 0.0f, std::cos(yaw)};
}

}  // namespace zorv
