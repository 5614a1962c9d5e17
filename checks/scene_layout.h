#pragma once
// Where the scripted screenshot scenes put the camera and their props: the view angles
// of an eye-to-target line, points ahead of the camera on the ground, and the searches
// for a landscape lookout and a cave.

#include <optional>

#include "world/mobs.h"
#include "world/vec.h"
#include "world/world.h"

namespace zorv {

struct SceneCamera {
  Vec3 eye{};
  Vec3 target{};
};

// Degrees: yaw = atan2(dz, dx), pitch = asin(dy) of the normalised eye-to-target direction.
struct ViewAngles {
  float yaw = 0.0f;
  float pitch = 0.0f;
};
ViewAngles anglesToward(const SceneCamera& camera);

// Eye at the spawn point looking 2.2 down and 4 towards −z.
SceneCamera defaultSceneCamera(Vec3 spawn);
// High view of the whole village from its south side.
SceneCamera villageOverview(const VillageSite& village);
// Low three-quarter view of the village from the south-west.
SceneCamera villageHero(const VillageSite& village);
// Looking at a creature from 3.4 blocks out along its heading.
SceneCamera creatureCloseUp(const Mob& mob);

// The cell `ahead` blocks along the camera's horizontal direction and `sideways` blocks
// to its right (the perpendicular (−dz, dx)), floored.
struct GroundCell {
  int x = 0;
  int z = 0;
};
GroundCell groundCellAhead(const SceneCamera& camera, float ahead, float sideways);

// A column above height 33 on rings 24 to 104 around the spawn that looks along an axis
// over low ground; nothing when no direction has two low samples out of three.
std::optional<SceneCamera> findLandscapeLookout(World& world, Vec3 spawn);

// The lowest cell between y −40 and −4 of the columns near the spawn where the cell, the
// one above it and the same two cells of the next two columns towards +x are all air.
struct CaveSpot {
  int x = 0, y = 0, z = 0;
};
std::optional<CaveSpot> findCaveSpot(World& world, Vec3 spawn);
SceneCamera caveCamera(const CaveSpot& spot);

}  // namespace zorv
