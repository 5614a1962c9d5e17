// The host's checks of client requests and the snapshot rules, without a network.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "game/multiplayer.h"
#include "world/registry.h"

namespace zorv {
namespace {

// Empty columns around the origin with a stone floor at y = 10 and a water cell at (4, 10, 0).
struct FlatWorld {
  World world{7};
  FlatWorld() {
    for (int cx = -1; cx <= 1; ++cx) {
      for (int cz = -1; cz <= 1; ++cz) createEmptyColumn(world, cx, cz);
    }
    for (int x = -16; x < 16; ++x) {
      for (int z = -16; z < 16; ++z) setBlockRaw(world, x, 10, z, blocks::Stone);
    }
    setBlockRaw(world, 4, 10, 0, blocks::Water);
  }
};

EditRequestMessage breakAt(int x, int y, int z) { return {x, y, z, kAir, 0, 0}; }
EditRequestMessage placeAt(int x, int y, int z, BlockId block) { return {x, y, z, block, 0, 0}; }

TEST(MultiplayerRules, EditReachIsSixBlocksFromTheBlockCentreAndNeverFromAnUnknownPlace) {
  FlatWorld flat;
  const World& world = flat.world;
  // The centre of (0, 10, 0) is (0.5, 10.5, 0.5).
  EXPECT_EQ(checkEditRequest(world, {0.5f, 10.5f, 7.5f}, breakAt(0, 10, 0)), EditVerdict::Reject);  // 7 away
  EXPECT_EQ(checkEditRequest(world, {0.5f, 10.5f, 5.5f}, breakAt(0, 10, 0)), EditVerdict::Break);   // 5 away
  EXPECT_EQ(checkEditRequest(world, {6.5f, 10.5f, 0.5f}, breakAt(0, 10, 0)), EditVerdict::Break);   // exactly 6
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(checkEditRequest(world, {nan, 10.5f, 0.5f}, breakAt(0, 10, 0)), EditVerdict::Reject);
  EXPECT_EQ(checkEditRequest(world, {0.5f, inf, 0.5f}, breakAt(0, 10, 0)), EditVerdict::Reject);
  EXPECT_EQ(checkEditRequest(world, {-inf, -inf, -inf}, placeAt(0, 11, 0, blocks::Dirt)), EditVerdict::Reject);
  EXPECT_FALSE(withinReach({nan, nan, nan}, 0, 0, 0, 1e30f));
  // Outside the world's limits the request is dropped without an answer.
  EXPECT_EQ(checkEditRequest(world, {0.5f, 63.5f, 0.5f}, breakAt(0, 64, 0)), EditVerdict::Ignore);
  EXPECT_EQ(checkEditRequest(world, {0.5f, -48.5f, 0.5f}, breakAt(0, -49, 0)), EditVerdict::Ignore);
  EXPECT_EQ(checkEditRequest(world, {1048576.5f, 10.5f, 0.5f}, breakAt(1048576, 10, 0)), EditVerdict::Ignore);
}

TEST(MultiplayerRules, BreakingNeedsSomethingSolidAndPlacingNeedsRoom) {
  FlatWorld flat;
  const World& world = flat.world;
  const Vec3 near{2.5f, 13.0f, 2.5f};
  EXPECT_EQ(checkEditRequest(world, near, breakAt(0, 11, 0)), EditVerdict::Reject);  // air
  EXPECT_EQ(checkEditRequest(world, near, breakAt(4, 10, 0)), EditVerdict::Reject);  // water
  EXPECT_EQ(checkEditRequest(world, near, placeAt(0, 10, 0, blocks::Dirt)), EditVerdict::Reject);  // stone there
  EXPECT_EQ(checkEditRequest(world, near, placeAt(4, 10, 0, blocks::Dirt)), EditVerdict::Place);   // water gives way
  EXPECT_EQ(checkEditRequest(world, near, placeAt(0, 11, 0, blocks::Dirt)), EditVerdict::Place);
  // Unregistered numbers, items included, are no blocks.
  EXPECT_EQ(checkEditRequest(world, near, placeAt(0, 11, 0, 500)), EditVerdict::Reject);
  EXPECT_EQ(checkEditRequest(world, near, placeAt(0, 11, 0, 0x8001)), EditVerdict::Reject);
  // Eye at 12.12: the body spans y 10.5 to 12.3 and x, z 0.2 to 0.8, so it fills (0, 11, 0).
  EXPECT_EQ(checkEditRequest(world, {0.5f, 12.12f, 0.5f}, placeAt(0, 11, 0, blocks::Dirt)), EditVerdict::Reject);
  EXPECT_EQ(checkEditRequest(world, {0.5f, 12.12f, 0.5f}, placeAt(1, 11, 0, blocks::Dirt)), EditVerdict::Place);
}

TEST(MultiplayerRules, TorchesNeedASolidBlockBelow) {
  FlatWorld flat;
  const Vec3 near{2.5f, 13.0f, 2.5f};
  EXPECT_EQ(checkEditRequest(flat.world, near, placeAt(4, 11, 0, blocks::Torch)), EditVerdict::Reject);  // on water
  EXPECT_EQ(checkEditRequest(flat.world, near, placeAt(1, 11, 0, blocks::Torch)), EditVerdict::Place);   // on stone
  EXPECT_EQ(checkEditRequest(flat.world, near, placeAt(1, 12, 0, blocks::Torch)), EditVerdict::Reject);  // on air
  EXPECT_EQ(checkEditRequest(flat.world, {0.5f, -46.0f, 0.5f}, placeAt(0, -48, 0, blocks::Torch)),
            EditVerdict::Reject);  // nothing below the lowest layer
}

TEST(MultiplayerRules, EditEntriesCarryFluidLevelsOnlyForFluids) {
  FlatWorld flat;
  World& world = flat.world;
  EXPECT_EQ(blockEditAt(world, 0, 10, 0), (BlockEdit{0, 10, 0, blocks::Stone, 255}));
  EXPECT_EQ(blockEditAt(world, 4, 10, 0), (BlockEdit{4, 10, 0, blocks::Water, 0}));  // a source
  world.fluidLevels[packBlockKey(4, 10, 0)] = 3;
  EXPECT_EQ(blockEditAt(world, 4, 10, 0), (BlockEdit{4, 10, 0, blocks::Water, 3}));
  EXPECT_EQ(blockEditAt(world, 0, 11, 0), (BlockEdit{0, 11, 0, kAir, 255}));
}

Mob mobAt(std::int32_t id, float x, float y, float z) {
  Mob mob;
  mob.id = id;
  mob.x = x;
  mob.y = y;
  mob.z = z;
  mob.health = 6;
  mob.kind = MobZombie;
  return mob;
}

TEST(MultiplayerRules, SnapshotsHoldTheNearestFortyWithinRange) {
  std::vector<Mob> mobs;
  // Ids 1..45 at distance 2 × id along x, listed farthest first; id 100 just outside 128.
  for (std::int32_t id = 45; id >= 1; --id) mobs.push_back(mobAt(id, 10.0f + 2.0f * static_cast<float>(id), 5, 0));
  mobs.push_back(mobAt(100, 10.0f, 5.0f, 128.5f));
  mobs.push_back(mobAt(101, 10.0f, 5.0f - 128.0f, 0.0f));  // exactly 128 below: inside
  mobs.back().health = 300;
  mobs.back().walking = true;
  mobs.back().hurtTimer = 0.1f;
  mobs.back().targetYaw = 1.25f;
  const std::vector<MobEntry> entries = mobSnapshotAround(mobs, {10.0f, 5.0f, 0.0f});
  ASSERT_EQ(entries.size(), 40u);
  for (std::size_t i = 0; i < 40; ++i) EXPECT_EQ(entries[i].id, static_cast<std::int32_t>(i) + 1);

  const std::vector<MobEntry> far = mobSnapshotAround(mobs, {10.0f, -100.0f, 0.0f});
  ASSERT_FALSE(far.empty());
  EXPECT_EQ(far[0].id, 101);
  EXPECT_EQ(far[0].health, 255);
  EXPECT_EQ(far[0].flags, 3);
  EXPECT_FLOAT_EQ(far[0].heading, 1.25f);
  EXPECT_EQ(far[0].type, MobZombie);

  std::vector<Drop> drops(3);
  drops[0] = {1, 96.0f, 0, 0};
  drops[1] = {2, 96.5f, 0, 0};
  drops[2] = {3, 0, 0, 1.0f};
  drops[2].count = 70000;
  drops[2].item = 0x8003;
  drops[2].age = 2.5f;
  const std::vector<DropEntry> dropEntries = dropSnapshotAround(drops, {0, 0, 0});
  ASSERT_EQ(dropEntries.size(), 2u);
  EXPECT_EQ(dropEntries[0].id, 3);
  EXPECT_EQ(dropEntries[0].count, 65535);
  EXPECT_EQ(dropEntries[0].item, 0x8003);
  EXPECT_FLOAT_EQ(dropEntries[0].age, 2.5f);
  EXPECT_EQ(dropEntries[1].id, 1);
}

TEST(MultiplayerRules, ReceivedSnapshotsReplaceTheListsAndKeepDisplayedHeadings) {
  std::vector<Mob> previous{mobAt(5, 0, 0, 0)};
  previous[0].displayedYaw = 1.0f;
  std::vector<MobEntry> entries(2);
  entries[0] = {5, 1, 2, 3, 2.0f, MobPig, 2, 1};
  entries[1] = {6, 4, 5, 6, 0.5f, MobSlime, 3, 2};
  const std::vector<Mob> mobs = mobsFromSnapshot(previous, entries);
  ASSERT_EQ(mobs.size(), 2u);
  EXPECT_FLOAT_EQ(mobs[0].displayedYaw, 1.0f);
  EXPECT_FLOAT_EQ(mobs[0].targetYaw, 2.0f);
  EXPECT_FLOAT_EQ(mobs[0].homeZ, 3.0f);
  EXPECT_TRUE(mobs[0].walking);
  EXPECT_FLOAT_EQ(mobs[0].hurtTimer, 0.0f);
  EXPECT_EQ(mobs[0].kind, MobPig);
  EXPECT_FLOAT_EQ(mobs[1].displayedYaw, 0.5f);
  EXPECT_FALSE(mobs[1].walking);
  EXPECT_FLOAT_EQ(mobs[1].hurtTimer, 0.25f);
  EXPECT_EQ(mobs[1].health, 3);

  std::vector<DropEntry> dropEntries(1);
  dropEntries[0] = {9, 1, 2, 3, blocks::Dirt, 0, 0, 1.0f};
  const std::vector<Drop> drops = dropsFromSnapshot(dropEntries);
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].entityId, 9);
  EXPECT_EQ(drops[0].count, 1);  // 0 becomes 1
  EXPECT_FLOAT_EQ(drops[0].bobPhase, 2.2f);
  EXPECT_TRUE(drops[0].onGround);
}

TEST(MultiplayerRules, AttacksAreClampedPushTheMobAwayAndNeedReach) {
  std::vector<Mob> mobs{mobAt(1, 3, 0, 4), mobAt(2, 0, 0, 0), mobAt(3, 7.5f, 0, 0)};
  mobs[1].health = 20;
  // Damage 0 counts as 1; the push is along (0.6, 0, 0.8) from the attacker at the origin.
  EXPECT_TRUE(applyMobAttack(mobs, {0, 0, 0}, 1, 0));
  EXPECT_EQ(mobs[0].health, 5);
  EXPECT_FLOAT_EQ(mobs[0].vx, 3.0f);
  EXPECT_FLOAT_EQ(mobs[0].vz, 4.0f);
  EXPECT_FLOAT_EQ(mobs[0].vy, 3.5f);
  EXPECT_FLOAT_EQ(mobs[0].hurtTimer, 0.25f);
  EXPECT_FLOAT_EQ(mobs[0].fleeTimer, 4.0f);
  // Damage 50 counts as 10; an attacker inside the mob pushes it along +x.
  EXPECT_TRUE(applyMobAttack(mobs, {0, 0, 0}, 2, 50));
  EXPECT_EQ(mobs[1].health, 10);
  EXPECT_FLOAT_EQ(mobs[1].vx, 5.0f);
  EXPECT_FLOAT_EQ(mobs[1].vz, 0.0f);
  // Out of reach, unknown ids and unknown positions change nothing.
  EXPECT_FALSE(applyMobAttack(mobs, {0, 0, 0}, 3, 5));
  EXPECT_EQ(mobs[2].health, 6);
  EXPECT_FALSE(applyMobAttack(mobs, {0, 0, 0}, 12345, 5));
  EXPECT_FALSE(applyMobAttack(mobs, {std::nanf(""), 0, 0}, 1, 5));
  EXPECT_EQ(mobs.size(), 3u);
  // Health below 1 removes the mob.
  EXPECT_TRUE(applyMobAttack(mobs, {0, 0, 0}, 1, 5));
  ASSERT_EQ(mobs.size(), 2u);
  EXPECT_EQ(mobs[0].id, 2);
}

Drop dropAt(std::int32_t id, float x, float y, float age) {
  Drop drop;
  drop.entityId = id;
  drop.x = x;
  drop.y = y;
  drop.age = age;
  drop.item = blocks::Dirt;
  drop.count = 1;
  return drop;
}

TEST(MultiplayerRules, PickupsAreGrantedOnceWithinTheirLimits) {
  std::vector<Drop> drops{dropAt(7, 1.3f, 11.5f, 0.4f), dropAt(8, 0, 10, 0.3f), dropAt(9, 0, 11.51f, 1.0f),
                          dropAt(10, 0, 8.1f, 1.0f)};
  drops[0].count = 70000;
  const Vec3 player{0, 10, 0};
  const auto grant = takeRequestedDrop(drops, player, 7);  // 1.3 away, 1.5 above: inclusive
  ASSERT_TRUE(grant.has_value());
  EXPECT_EQ(grant->dropId, 7);
  EXPECT_EQ(grant->item, blocks::Dirt);
  EXPECT_EQ(grant->count, 65535);
  EXPECT_FALSE(takeRequestedDrop(drops, player, 7).has_value());  // already taken
  EXPECT_FALSE(takeRequestedDrop(drops, player, 8).has_value());  // too young
  EXPECT_FALSE(takeRequestedDrop(drops, player, 9).has_value());  // 1.51 above
  EXPECT_TRUE(takeRequestedDrop(drops, player, 10).has_value());  // 1.9 below: inclusive
  EXPECT_EQ(drops.size(), 2u);
}

TEST(MultiplayerRules, ClientsAskForTheFirstDropThatFitsStrictlyWithinReach) {
  Inventory inventory;
  std::vector<Drop> drops{dropAt(0, 0, 10, 1.0f), dropAt(3, 1.3f, 10, 1.0f), dropAt(4, 0, 11.5f, 1.0f),
                          dropAt(5, 0.5f, 10, 0.34f), dropAt(6, 0.5f, 11, 1.0f), dropAt(7, 0, 10, 1.0f)};
  EXPECT_EQ(pickupCandidate(drops, {0, 10, 0}, inventory), 6);
  for (ItemStack& slot : inventory.slots) slot = {blocks::Stone, 64, 0};
  EXPECT_EQ(pickupCandidate(drops, {0, 10, 0}, inventory), 0);  // no room
}

TEST(MultiplayerRules, ReceivedLinesKeepTheirTextButNoControlCharacters) {
  EXPECT_EQ(printableLine("Eve: hi\n[log] Server: fake\x1b[2J"), "Eve: hi [log] Server: fake [2J");
  EXPECT_EQ(printableLine("Eve: \t\r\x7f"), "Eve:    ");  // its own space and three replaced
  EXPECT_EQ(printableLine("\xe4\xbd\xa0\xe5\xa5\xbd"), "\xe4\xbd\xa0\xe5\xa5\xbd");  // UTF-8 stays
}

}  // namespace
}  // namespace zorv
