#include "app/draw_inputs.h"

#include <cmath>

#include "render/world_pass.h"
#include "world/physics.h"
#include "world/registry.h"

namespace zorv {

std::int32_t modelSlotFor(std::uint16_t blockOrItem, std::size_t blockCount) {
  if (blockOrItem & 0x8000u) {
    return static_cast<std::int32_t>(blockCount) + 4 + static_cast<std::int32_t>(blockOrItem - 0x8000u);
  }
  return 4 + static_cast<std::int32_t>(blockOrItem);
}

std::int32_t mobModelSlot(std::uint8_t kind) {
  switch (kind) {
    case MobPig: return kPigSlot;
    case MobVillager: return kVillagerSlot;
    case MobZombie: return kZombieSlot;
    default: return kSlimeSlot;
  }
}

void registerModels(Renderer& renderer) {
  renderer.setModelMesh(kSlimeSlot, mobMesh(MobSlime));
  renderer.setModelMesh(kPigSlot, mobMesh(MobPig));
  renderer.setModelMesh(kVillagerSlot, mobMesh(MobVillager));
  renderer.setModelMesh(kPlayerSlot, playerMesh());
  renderer.setModelMesh(kZombieSlot, mobMesh(MobZombie));
  const std::size_t blockCount = blockRegistry().count();
  for (std::size_t block = 1; block < blockCount; ++block) {
    const auto id = static_cast<BlockId>(block);
    renderer.setModelMesh(static_cast<std::uint32_t>(modelSlotFor(id, blockCount)), buildBlockPreview(id));
  }
  const ItemRegistry& items = itemRegistry();
  for (std::size_t index = 0; index < items.count(); ++index) {
    const auto id = static_cast<ItemId>(kFirstItem + index);
    renderer.setModelMesh(static_cast<std::uint32_t>(modelSlotFor(id, blockCount)),
                          buildItemSprite(items.getItem(id).tex));
  }
  renderer.setParticleMesh(particleMesh());
}

ViewProjection perspectiveProjection(float fovYRadians, float aspect) {
  const float f = 1.0f / std::tan(fovYRadians * 0.5f);
  ViewProjection m{};
  m[0] = f / aspect;
  m[5] = -f;
  m[10] = -(kFarPlane + kNearPlane) / (kFarPlane - kNearPlane);
  m[11] = -1.0f;
  m[14] = -2.0f * kFarPlane * kNearPlane / (kFarPlane - kNearPlane);
  return m;
}

ViewProjection cameraViewProjection(Vec3 eye, float yawDegrees, float pitchDegrees, float fovYRadians, float aspect) {
  const Vec3 look = lookDirection(yawDegrees, pitchDegrees);
  const Vec3 target{eye.x + look.x, eye.y + look.y, eye.z + look.z};
  return multiply(perspectiveProjection(fovYRadians, aspect), lookAt(eye, target, {0.0f, 1.0f, 0.0f}));
}

std::vector<EntityInstance> buildEntityList(std::span<const Drop> drops, std::span<const Mob> mobs,
                                            std::span<const RemotePlayer> players, std::size_t blockCount) {
  std::vector<EntityInstance> list;
  list.reserve(drops.size() + mobs.size() + players.size());
  for (const Drop& drop : drops) {
    EntityInstance e;
    e.x = drop.x;
    e.y = drop.y + 0.08f + 0.04f * std::sin(3.0f * drop.age);
    e.z = drop.z;
    e.yaw = drop.bobPhase;
    e.scale = 0.3f;
    e.modelSlot = modelSlotFor(drop.item, blockCount);
    list.push_back(e);
  }
  for (const Mob& mob : mobs) {
    EntityInstance e;
    e.x = mob.x;
    e.y = mob.y;
    e.z = mob.z;
    if (mob.kind == MobSlime) e.y += 0.035f * std::sin(5.0f * mob.animationTime);
    if (mob.kind == MobVillager && mob.walking) e.y += 0.02f * std::fabs(std::sin(7.0f * mob.animationTime));
    e.yaw = mob.displayedYaw;
    e.modelSlot = mobModelSlot(mob.kind);
    e.flash = mob.hurtTimer > 0.0f ? 1.0f : 0.0f;
    list.push_back(e);
  }
  for (const RemotePlayer& player : players) {
    if (!player.known) continue;
    EntityInstance e;
    e.x = player.x;
    e.y = player.y - kEyeHeight;
    e.z = player.z;
    e.yaw = player.yaw;
    e.modelSlot = kPlayerSlot;
    list.push_back(e);
  }
  return list;
}

std::vector<ParticleInstance> buildParticleList(std::span<const Particle> particles) {
  std::vector<ParticleInstance> list;
  list.reserve(particles.size());
  for (const Particle& particle : particles) {
    if (particle.life <= 0.0f || particle.totalLife <= 0.0f) continue;
    ParticleInstance p;
    p.x = particle.x;
    p.y = particle.y;
    p.z = particle.z;
    p.size = (particle.life / particle.totalLife * 0.65f + 0.35f) * particle.baseSize;
    p.tile = particle.tile;
    list.push_back(p);
  }
  return list;
}

void FpsCounter::addFrame(float dt) {
  ++frames;
  seconds += dt;
  if (seconds >= 0.5f) {
    fps = static_cast<float>(frames) / seconds;
    frames = 0;
    seconds = 0.0f;
  }
}

std::string screenshotFileName(const std::tm& localTime) {
  char stamp[64];
  const std::size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H-%M-%S", &localTime);
  return std::string(stamp, length) + "_ZorvK.png";
}

}  // namespace zorv
