#include "game/host_rules.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "game/sky.h"
#include "game/world_life_cycle.h"
#include "lang/localisation.h"
#include "mods/events.h"
#include "world/fluids.h"
#include "world/light.h"

namespace zorv {
namespace {

constexpr int kPlayerColumnRadius = 1;
// Columns stay loaded within the game's default view distance plus the margin a game's
// own streaming keeps, around every player and the spawn; farther ones are saved and freed.
constexpr int kKeepColumnRadius = 12;

ColumnKey columnAt(float x, float z) { return {chunkCoord(floorToInt(x)), chunkCoord(floorToInt(z))}; }

constexpr float kDayLength = 180.0f;
constexpr double kModTickInterval = 0.05;
constexpr double kAutosaveInterval = 5.0;
constexpr int kChunkJobsPerStep = 6;
float wrapAngle(float angle) {
  constexpr float pi = std::numbers::pi_v<float>;
  angle = std::fmod(angle + pi, 2.0f * pi);
  if (angle < 0.0f) angle += 2.0f * pi;
  return angle - pi;
}

void simulateEntities(GameSession& session, float dt, const std::vector<PlayerTarget>& players) {
  updateMobs(*session.world, session.mobs, dt, players);
  // Without a local player drops gather at the spawn and nobody here picks them up.
  const bool local = session.hasLocalPlayer;
  updateDrops(*session.world, session.drops, local ? playerEye(session) : session.spawnPoint, session.inventory,
              local && gameMode(session) != ModeSpectator, dt);
}

void keepColumnsAroundPlayers(GameSession& session, const std::vector<PlayerTarget>& players) {
  World& world = *session.world;
  loadColumnsAroundPlayers(world, players);
  std::vector<ColumnKey> centres{columnAt(session.spawnPoint.x, session.spawnPoint.z)};
  for (const PlayerTarget& player : players) centres.push_back(columnAt(player.x, player.z));
  unloadFarFromAll(world, centres, kKeepColumnRadius);
}

}  // namespace

bool loadColumnsAroundPlayers(World& world, const std::vector<PlayerTarget>& players) {
  int budget = kColumnLoadsPerStep;
  const auto load = [&](int cx, int cz) {
    if (!isColumnInWorld(cx, cz) || isColumnLoaded(world, cx, cz)) return true;
    if (budget == 0) return false;
    --budget;
    ensureColumn(world, cx, cz);
    return true;
  };
  for (const PlayerTarget& player : players) {
    const ColumnKey own = columnAt(player.x, player.z);
    if (!load(own.cx, own.cz)) return false;
  }
  for (const PlayerTarget& player : players) {
    const ColumnKey own = columnAt(player.x, player.z);
    for (int dz = -kPlayerColumnRadius; dz <= kPlayerColumnRadius; ++dz) {
      for (int dx = -kPlayerColumnRadius; dx <= kPlayerColumnRadius; ++dx) {
        if (!load(own.cx + dx, own.cz + dz)) return false;
      }
    }
  }
  return true;
}

void changeWeather(GameSession& session, float dt) {
  session.weatherTimer -= dt;
  if (session.weatherTimer > 0.0f) return;
  const std::uint32_t seed = clockSeed();
  session.weatherTimer = static_cast<float>(seed % 120 + 70);
  const std::uint32_t draw = seed % 100;
  const Weather next = draw < 55 ? WeatherClear : draw < 85 ? WeatherRain : WeatherSnow;
  if (next == session.weather) return;
  session.weather = next;
  addMessage(session, tr(weatherChangeText(next)));
}

std::vector<PlayerTarget> mobTargets(const GameSession& session) {
  std::vector<PlayerTarget> players;
  const PlayerBody& player = session.player;
  if (session.hasLocalPlayer) players.push_back({player.x, player.y, player.z, player.mode});
  for (const RemotePlayer& remote : session.remotePlayers) {
    if (remote.known) players.push_back({remote.x, remote.y, remote.z, remote.mode});
  }
  return players;
}

// A client shows what the host simulates: drops only age and spin, mobs turn smoothly.
void animateReceivedEntities(GameSession& session, float dt) {
  for (Drop& drop : session.drops) {
    drop.age += dt;
    drop.bobPhase += 2.2f * dt;
  }
  const float blend = std::min(12.0f * dt, 1.0f);
  for (Mob& mob : session.mobs) mob.displayedYaw += wrapAngle(mob.targetYaw - mob.displayedYaw) * blend;
}

void stepHostRules(GameSession& session, float dt) {
  if (session.world == nullptr) return;
  // A game's own streamer keeps its player's columns; a session without one keeps them here.
  const std::vector<PlayerTarget> players = mobTargets(session);
  if (!session.hasLocalPlayer) keepColumnsAroundPlayers(session, players);
  advanceClock(session, dt);
  runHostWorldRules(session, dt);
  autosaveAndRunChunkJobs(session, dt);
  simulateEntities(session, dt, players);
  burnAndSpawnZombies(session, dt);
}

void moveParticles(GameSession& session, float dt) {
  for (Particle& particle : session.particles) {
    particle.vy -= 20.0f * dt;
    particle.x += particle.vx * dt;
    particle.y += particle.vy * dt;
    particle.z += particle.vz * dt;
    particle.life -= dt;
  }
  std::erase_if(session.particles, [](const Particle& particle) { return particle.life <= 0.0f; });
}

void burnAndSpawnZombies(GameSession& session, float dt) {
  World& world = *session.world;
  const float daylight = daylightFactor(session.timeOfDay);
  session.burnTimer = std::max(0.0f, session.burnTimer - dt);
  if (daylight > 0.7f && session.burnTimer == 0.0f) {
    bool burned = false;
    for (Mob& mob : session.mobs) {
      if (mob.kind != MobZombie || skyLight(world, floorToInt(mob.x), floorToInt(mob.y), floorToInt(mob.z)) <= 13) continue;
      mob.health -= 1;
      mob.hurtTimer = 0.25f;
      burned = true;
    }
    std::erase_if(session.mobs, [](const Mob& mob) { return mob.kind == MobZombie && mob.health <= 0; });
    if (burned) session.burnTimer = 1.0f;
  }
  session.spawnTimer -= dt;
  if (daylight < 0.35f && session.spawnTimer <= 0.0f) {
    session.spawnTimer = 7.0f;
    // Around the local player; a dedicated server has none and spawns around each client.
    for (const PlayerTarget& target : mobTargets(session)) {
      const auto zombies =
          std::count_if(session.mobs.begin(), session.mobs.end(), [](const Mob& mob) { return mob.kind == MobZombie; });
      if (zombies > 5) break;
      const std::vector<Mob> spawned = spawnZombies(world, clockSeed(), 2, {target.x, target.y, target.z});
      session.mobs.insert(session.mobs.end(), spawned.begin(), spawned.end());
      assignEntityIds(session);
      if (session.hasLocalPlayer) break;
    }
  }
}

void smoothRemotePlayers(GameSession& session, float dt) {
  const float blend = std::min(14.0f * dt, 1.0f);
  for (RemotePlayer& remote : session.remotePlayers) {
    remote.shownX += (remote.x - remote.shownX) * blend;
    remote.shownY += (remote.y - remote.shownY) * blend;
    remote.shownZ += (remote.z - remote.shownZ) * blend;
  }
}

void advanceClock(GameSession& session, float dt) {
  session.timeOfDay += dt / kDayLength;
  if (session.timeOfDay >= 1.0f) session.timeOfDay -= 1.0f;
}

void runHostWorldRules(GameSession& session, float dt) {
  if (!session.world) return;
  changeWeather(session, dt);
  fluidStep(*session.world, dt);
  session.modTickTimer += dt;
  if (session.modTickTimer >= kModTickInterval) {
    tick(session.mods, session.modTickTimer);
    session.modTickTimer = 0.0f;
  }
}

void autosaveAndRunChunkJobs(GameSession& session, float dt) {
  if (!session.world) return;
  session.autosaveTimer += dt;
  if (const auto autosaved = finishBackgroundFlush(*session.world, false)) {
    // Said once when saving starts to fail, not at every autosave after it.
    const bool failed = !autosaved->regionsWritten || !autosaved->levelWritten;
    if (failed && !session.saveFailing) addMessage(session, formatTranslated("Could not save %s", session.worldName.c_str()));
    session.saveFailing = failed;
  }
  // A slow disk may still be writing the previous autosave: the step never waits for it,
  // the next step tries again.
  if (session.autosaveTimer >= kAutosaveInterval && !backgroundFlushRunning(*session.world)) {
    session.autosaveTimer = 0.0;
    saveWorldInBackground(session);
  }
  processRelightQueue(*session.world, kChunkJobsPerStep);
  remeshChanged(session);
}

}  // namespace zorv
