#include "game/player_rules.h"

#include <algorithm>
#include <cmath>

#include "game/host_rules.h"
#include "game/world_life_cycle.h"
#include "lang/localisation.h"

namespace zorv {
namespace {

constexpr float kLavaInterval = 0.6f;
constexpr int kLavaDamage = 2;
constexpr float kRegenDelay = 8.0f;
constexpr float kRegenInterval = 3.0f;
constexpr float kStepLength = 2.4f;
constexpr float kVillageCheckInterval = 0.5f;
constexpr int kVillageCheckRange = 24;
constexpr float kVoidDepth = -64.0f;
constexpr float kMobHitCooldown = 1.2f;
MoveInput movementInput(const GameSession& session, const MovementKeys& keys) {
  const PlayerBody& player = session.player;
  const bool spectator = gameMode(session) == ModeSpectator;
  const Vec3 ahead = player.flying ? lookDirection(player.yaw, player.pitch) : forward(player.yaw);
  const Vec3 side = right(player.yaw);
  MoveInput input;
  const auto add = [&](const Vec3& v, float sign) {
    input.dx += v.x * sign;
    input.dy += v.y * sign;
    input.dz += v.z * sign;
  };
  if (keys.forward) add(ahead, 1.0f);
  if (keys.back) add(ahead, -1.0f);
  if (keys.left) add(side, -1.0f);
  if (keys.right) add(side, 1.0f);
  if (player.flying || spectator) {
    if (keys.jump) input.dy += 1.0f;
    if (keys.descend) input.dy -= 1.0f;
  }
  input.jump = keys.jump && !player.flying && !spectator;
  input.sprint = keys.sprint;
  return input;
}

void applyLava(GameSession& session, float dt) {
  const PlayerBody& player = session.player;
  const BlockId feet =
      getBlock(*session.world, floorToInt(player.x), floorToInt(player.y - 0.9f), floorToInt(player.z));
  if (feet != blocks::Lava || !inSurvival(session)) {
    session.lavaTimer = 0.0f;
    return;
  }
  session.lavaTimer += dt;
  if (session.lavaTimer > kLavaInterval) {
    hurtPlayer(session, kLavaDamage);
    session.lavaTimer = 0.0f;
  }
}

void regenerate(GameSession& session, float dt) {
  session.regenTimer += dt;
  PlayerBody& player = session.player;
  if (!inSurvival(session) || player.health < 1 || player.health > 19 || session.regenTimer <= kRegenDelay) return;
  session.regenStepTimer += dt;
  if (session.regenStepTimer > kRegenInterval) {
    player.health += 1;
    session.regenStepTimer = 0.0f;
  }
}

void easeFieldOfView(GameSession& session, float dt, const MoveInput& input, bool sprint) {
  const float length = std::sqrt(input.dx * input.dx + input.dy * input.dy + input.dz * input.dz);
  const float setting = session.preferences.fieldOfView;
  const float target = sprint && length > 0.001f ? setting + 6.0f : setting;
  session.fovCurrent += (target - session.fovCurrent) * std::min(8.0f * dt, 1.0f);
  session.fovCurrent = std::clamp(session.fovCurrent, 50.0f, 110.0f);
}

void countFootsteps(GameSession& session, float dt) {
  const PlayerBody& player = session.player;
  const float speed = std::sqrt(player.vx * player.vx + player.vz * player.vz);
  if (player.flying || gameMode(session) == ModeSpectator || !player.onGround || speed <= 0.5f) {
    session.stepDistance = 0.0f;
    return;
  }
  session.stepDistance += dt * speed;
  if (session.stepDistance > kStepLength) {
    queueSound(session, CueStep);
    session.stepDistance = 0.0f;
  }
}

bool sameCentre(const VillageSite& a, const VillageSite& b) { return a.x == b.x && a.z == b.z; }

void trackVillages(GameSession& session, float dt) {
  session.villageTimer += dt;
  if (session.villageTimer <= kVillageCheckInterval) return;
  session.villageTimer = 0.0f;
  const float x = session.player.x, z = session.player.z;
  std::optional<VillageSite> inside;
  for (const VillageSite& site : sitesWithin(*session.world, floorToInt(x), floorToInt(z), kVillageCheckRange)) {
    const float dx = static_cast<float>(site.x) + 0.5f - x, dz = static_cast<float>(site.z) + 0.5f - z;
    if (static_cast<float>(site.radius * site.radius) >= dx * dx + dz * dz) {
      inside = site;
      break;
    }
  }
  const bool wasInside = session.currentVillage != -1;
  if (wasInside && (!inside || !sameCentre(*inside, session.currentVillageSite))) {
    addMessage(session, formatTranslated("Leaving %s", villageDisplayName(session, session.currentVillageSite).c_str()));
  }
  if (inside && (!wasInside || !sameCentre(*inside, session.currentVillageSite))) {
    addMessage(session, formatTranslated("Entered %s", villageDisplayName(session, *inside).c_str()));
  }
  if (inside) {
    session.currentVillage = 0;
    session.currentVillageSite = *inside;
  } else {
    session.currentVillage = -1;
  }
}

void mobsHitPlayer(GameSession& session, float dt) {
  if (!inSurvival(session)) {
    session.mobHitCooldown = 0.0f;
    return;
  }
  session.mobHitCooldown = std::max(0.0f, session.mobHitCooldown - dt);
  if (session.mobHitCooldown > 0.0f) return;
  PlayerBody& player = session.player;
  for (const Mob& mob : session.mobs) {
    if (mob.kind != MobSlime && mob.kind != MobZombie) continue;
    if (mob.hurtTimer > 0.0f) continue;
    const float dx = player.x - mob.x, dz = player.z - mob.z;
    if (std::sqrt(dx * dx + dz * dz) >= 1.35f || std::abs(player.y - mob.y) >= 1.9f) continue;
    hurtPlayer(session, mob.kind == MobZombie ? 3 : 1);
    const float ux = dx + 0.001f, uy = player.y - mob.y + 0.001f, uz = dz + 0.001f;
    const float length = std::sqrt(ux * ux + uy * uy + uz * uz);
    player.vx += ux / length * 5.0f;
    player.vz += uz / length * 5.0f;
    player.vy = 3.0f;  // replaces the vertical part of the push
    session.mobHitCooldown = kMobHitCooldown;
    return;
  }
}

bool columnsPresentAround(const World& world, const PlayerBody& player) {
  const int cx = chunkCoord(floorToInt(player.x)), cz = chunkCoord(floorToInt(player.z));
  for (int dz = -1; dz <= 1; ++dz) {
    for (int dx = -1; dx <= 1; ++dx) {
      // Beyond the world's edge there is no column to wait for.
      if (isColumnInWorld(cx + dx, cz + dz) && !isColumnLoaded(world, cx + dx, cz + dz)) return false;
    }
  }
  return true;
}

// True while a teleported player waits for the terrain around them: they neither fall
// nor move. A streaming view brings the columns within its own budget (in the follow at
// the end of the step); without one they are loaded here within the host's per-step
// budget. Once they exist the player is lifted out of any blocks and the hold ends.
bool holdForTerrain(GameSession& session) {
  if (!session.heldForTerrain) return false;
  World& world = *session.world;
  PlayerBody& player = session.player;
  const bool streamed = session.view != nullptr && session.view->streamsColumns();
  if (!streamed) loadColumnsAroundPlayers(world, {{player.x, player.y, player.z, player.mode}});
  if (!columnsPresentAround(world, player)) {
    player.vx = player.vy = player.vz = 0.0f;
    return true;
  }
  raiseOutOfBlocks(world, player);
  session.heldForTerrain = false;
  return false;
}

}  // namespace

void teleportPlayer(GameSession& session, float x, float y, float z) {
  PlayerBody& player = session.player;
  player.x = x;
  player.y = y;
  player.z = z;
  player.vx = 0.0f;
  player.vz = 0.0f;
  // The destination's columns arrive over the next steps (the view's streamer, or the
  // per-step budget without one); loading them here would stall this step.
  session.heldForTerrain = true;
}

void returnToSpawn(GameSession& session) {
  teleportPlayer(session, session.spawnPoint.x, session.spawnPoint.y, session.spawnPoint.z);
}

void stepWorld(GameSession& session, float dt, const MovementKeys& keys) {
  if (!session.world) return;
  World& world = *session.world;
  PlayerBody& player = session.player;
  const bool client = isClient(session);

  if (keys.hotbarKey >= 0 && keys.hotbarKey < kHotbarSlots) session.inventory.select(keys.hotbarKey);

  const MoveInput input = movementInput(session, keys);
  player.lookSensitivity = session.preferences.mouseSensitivity;
  if (!holdForTerrain(session)) {
    ensureColumnsAround(world, floorToInt(player.x), floorToInt(player.z), 1);
    const int fallDamage = step(player, world, dt, input);
    if (fallDamage > 0) hurtPlayer(session, fallDamage);
  }

  if (player.y < kVoidDepth) returnToSpawn(session);

  applyLava(session, dt);
  regenerate(session, dt);
  easeFieldOfView(session, dt, input, keys.sprint);
  countFootsteps(session, dt);

  trackVillages(session, dt);

  if (client) {
    autosaveAndRunChunkJobs(session, dt);
    animateReceivedEntities(session, dt);
  } else {
    stepHostRules(session, dt);
  }

  moveParticles(session, dt);
  mobsHitPlayer(session, dt);

  if (player.health < 1 && session.appState == AppPlaying) {
    setAppState(session, AppDead);
    addMessage(session, tr("You died"));
  }

  smoothRemotePlayers(session, dt);

  if (session.view) session.view->follow(world, playerEye(session), dt);
}

}  // namespace zorv
