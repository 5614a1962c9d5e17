#include "checks/self_test.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "checks/simulation_checks.h"
#include "lang/localisation.h"
#include "net/address.h"
#include "persist/level_save.h"
#include "persist/region_file.h"
#include "world/fluids.h"
#include "world/light.h"
#include "world/mesher.h"
#include "world/registry.h"
#include "world/terrain.h"
#include "world/villages.h"
#include "world/world.h"

namespace zorv {
namespace {

constexpr int kAreaRadius = 2;  // chunk columns −2..2 around the origin
constexpr const char* kLevelCheckWorld = "__selftest__";
constexpr const char* kRegionCheckWorld = "__selftest_rgn__";

void checkTranslations(CheckReport& report) {
  const std::vector<std::string> mismatched = mismatchedTranslations();
  for (const std::string& key : mismatched) {
    std::fprintf(report.out, "FAIL: translation format placeholders: %s\n", key.c_str());
  }
  report.check(mismatched.empty(), "translation format specifiers match");

  const int previous = language();
  setLanguage(LanguageChinese);
  const std::string hosting = formatTranslated("Hosting \"%s\" on UDP %u", "Test", static_cast<unsigned>(kDefaultGamePort));
  setLanguage(previous);
  report.check(hosting.find("Test") != std::string::npos && hosting.find("27632") != std::string::npos,
               "translated host message is formatted safely");
}

bool allFinite(const Mesh& mesh) {
  return std::all_of(mesh.vertices.begin(), mesh.vertices.end(), [](const MeshVertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
  });
}

struct AreaMeshing {
  MeshTotals totals;
  bool finite = true;
  bool waterMesh = false;
};

AreaMeshing meshArea(World& world) {
  AreaMeshing result;
  for (int cx = -kAreaRadius; cx <= kAreaRadius; ++cx) {
    for (int cz = -kAreaRadius; cz <= kAreaRadius; ++cz) {
      ensureColumn(world, cx, cz);
      for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
        const ChunkMesh mesh = meshChunk(world, {cx, cy, cz});
        if (mesh.main.empty() && mesh.water.empty()) continue;
        result.totals.chunks++;
        result.totals.vertices += mesh.main.vertices.size() + mesh.water.vertices.size();
        result.totals.indices += mesh.main.indices.size() + mesh.water.indices.size();
        result.finite = result.finite && allFinite(mesh.main) && allFinite(mesh.water);
        result.waterMesh = result.waterMesh || !mesh.water.empty();
      }
    }
  }
  return result;
}

// Visits every (x, z) of the generated area's columns.
template <class Visit>
void forEachAreaColumn(Visit visit) {
  const int low = -kAreaRadius * kChunkSize, high = (kAreaRadius + 1) * kChunkSize;
  for (int z = low; z < high; ++z) {
    for (int x = low; x < high; ++x) visit(x, z);
  }
}

// Visits every cell of the generated area, all heights.
template <class Visit>
void forEachAreaCell(const World& world, Visit visit) {
  forEachAreaColumn([&](int x, int z) {
    for (int y = kMinY; y <= kMaxY; ++y) visit(x, y, z, getBlock(world, x, y, z));
  });
}

bool areaContains(const World& world, BlockId id) {
  bool found = false;
  forEachAreaCell(world, [&](int, int, int, BlockId block) { found = found || block == id; });
  return found;
}

void checkTerrain(CheckReport& report, World& world, const AreaMeshing& meshing) {
  report.check(meshing.totals.chunks > 0, "terrain produced chunk meshes");
  report.check(meshing.totals.vertices > 0, "terrain produced vertices");
  report.check(meshing.totals.indices > 0 && meshing.totals.indices % 6 == 0, "indices form quads");
  report.check(meshing.finite, "vertex positions are finite");
  report.check(areaContains(world, blocks::Water), "world contains water");
  report.check(meshing.waterMesh, "water mesh generated");
  report.check(areaContains(world, blocks::Lava), "world contains lava");

  bool sealed = true;
  int carved = 0;
  forEachAreaColumn([&](int x, int z) {
    sealed = sealed && getBlock(world, x, kMinY, z) == blocks::Bedrock;
    const int ceiling = terrainHeight(world.seed, x, z) - 6;
    for (int y = -45; y < ceiling; ++y) {
      const BlockId block = getBlock(world, x, y, z);
      if (block == kAir || block == blocks::Lava) ++carved;
    }
  });
  report.check(sealed, "bedrock floor seals the bottom of the world");
  const BlockDef& bedrock = blockRegistry().get(blocks::Bedrock);
  report.check(breakTime(bedrock, 0) == 0.0f && breakTime(bedrock, itemRegistry().findItem("diamond_pickaxe")) == 0.0f,
               "bedrock cannot be mined in survival mode");
  report.check(carved > 0, "caves carve through the underground");
}

// Fluid checks run on stone floors at y = 50, cleared above, far from the other checks.
constexpr int kFluidFloorY = 50;
constexpr int kFluidZ = 8;

void buildFluidFloor(World& world, int x0, int x1) {
  for (int z = kFluidZ - 10; z <= kFluidZ + 10; ++z) {
    for (int x = x0; x <= x1; ++x) {
      setBlockRaw(world, x, kFluidFloorY, z, blocks::Stone);
      for (int y = kFluidFloorY + 1; y <= kMaxY; ++y) setBlockRaw(world, x, y, z, kAir);
    }
  }
}

void runFluidSteps(World& world, int steps, float dt) {
  for (int i = 0; i < steps; ++i) fluidStep(world, dt);
}

bool holds(const World& world, int x, BlockId id, int level) {
  const int y = kFluidFloorY + 1;
  return getBlock(world, x, y, kFluidZ) == id && fluidLevel(world, x, y, kFluidZ) == level;
}

// The water mesh of the cell's chunk has a top surface over the cell below a full block.
bool flowingSurfaceIsLowered(World& world, int x, int y, int z) {
  const ChunkMesh mesh = meshChunk(world, {chunkCoord(x), chunkCoord(y), chunkCoord(z)});
  const float expectedTop = static_cast<float>(y + 1) - 0.12f * static_cast<float>(fluidLevel(world, x, y, z));
  int corners = 0;
  for (const MeshVertex& v : mesh.water.vertices) {
    const bool overCell = v.x >= static_cast<float>(x) && v.x <= static_cast<float>(x + 1) &&
                          v.z >= static_cast<float>(z) && v.z <= static_cast<float>(z + 1);
    if (overCell && std::fabs(v.y - expectedTop) < 1e-4f) ++corners;
  }
  return fluidLevel(world, x, y, z) > 0 && expectedTop < static_cast<float>(y + 1) && corners >= 4;
}

// Water and lava driven through the edit path and the timed step, as the game drives them.
void checkFluids(CheckReport& report, World& world) {
  const int y = kFluidFloorY + 1;
  buildFluidFloor(world, 290, 312);
  setBlock(world, 300, y, kFluidZ, blocks::Water);
  runFluidSteps(world, 40, 0.2f);
  report.check(holds(world, 300, blocks::Water, 0), "water source stays");
  report.check(holds(world, 301, blocks::Water, 1), "water spreads next to a source");
  report.check(holds(world, 307, blocks::Water, 7), "water reaches seven blocks");
  report.check(getBlock(world, 308, y, kFluidZ) == kAir, "water stops after seven blocks");
  const bool lowered = flowingSurfaceIsLowered(world, 304, y, kFluidZ);
  setBlock(world, 300, y, kFluidZ, kAir);
  runFluidSteps(world, 40, 0.2f);
  report.check(getBlock(world, 301, y, kFluidZ) == kAir, "flowing water recedes without a source");

  buildFluidFloor(world, 350, 372);
  setBlock(world, 360, y, kFluidZ, blocks::Lava);
  runFluidSteps(world, 10, 1.0f);
  report.check(holds(world, 363, blocks::Lava, 3), "lava reaches three blocks");
  report.check(getBlock(world, 364, y, kFluidZ) == kAir, "lava stops after three blocks");

  buildFluidFloor(world, 410, 432);
  setBlock(world, 420, y, kFluidZ, blocks::Lava);
  setBlock(world, 421, y, kFluidZ, blocks::Water);
  runFluidSteps(world, 10, 1.0f);
  report.check(getBlock(world, 420, y, kFluidZ) == blocks::Cobblestone, "water quenches lava");
  report.check(lowered, "flowing water surface is lower than a full block");
}

// A snapshot of an empty chunk with full sky light, for meshing hand-built shapes.
ChunkSnapshot openAirSnapshot() {
  ChunkSnapshot snapshot;
  snapshot.sky.fill(15);
  return snapshot;
}

void checkBlockEditsAndMeshes(CheckReport& report, World& world) {
  setBlock(world, 56, 40, 56, blocks::Grass);
  report.check(getBlock(world, 56, 40, 56) == blocks::Grass, "setBlock/getBlock roundtrip");

  ChunkSnapshot snapshot = openAirSnapshot();
  snapshot.blocks[snapshotIndex(8, 8, 8)] = blocks::Stone;
  const ChunkMesh single = buildChunkMesh(snapshot);
  report.check(single.main.vertices.size() == 24, "isolated block generates 6 faces (24 vertices)");
  report.check(single.main.indices.size() == 36, "isolated block generates 36 indices");
  snapshot.blocks[snapshotIndex(8, 9, 8)] = blocks::Stone;
  const ChunkMesh stacked = buildChunkMesh(snapshot);
  report.check(stacked.main.vertices.size() == 40, "stacked blocks share a hidden face (40 vertices)");
  report.check(stacked.main.indices.size() == 60, "stacked blocks generate 60 indices");
}

void checkRegistryRules(CheckReport& report) {
  const ItemRegistry& items = itemRegistry();
  const BlockRegistry& registry = blockRegistry();
  const ItemId woodenPickaxe = items.findItem("wooden_pickaxe");
  const ItemId stonePickaxe = items.findItem("stone_pickaxe");
  const ItemId ironPickaxe = items.findItem("iron_pickaxe");
  const ItemId woodenAxe = items.findItem("wooden_axe");
  const BlockDef& stone = registry.get(blocks::Stone);
  const BlockDef& wood = registry.get(blocks::Wood);

  report.check(items.findItem("stick") != 0 && items.findItem("coal") != 0 && items.findItem("iron_ingot") != 0 &&
                   items.findItem("diamond") != 0,
               "material items exist");
  report.check(nameOf(items.findItem("coal")) == "coal", "coal item is named");
  report.check(woodenPickaxe != 0 && items.getItem(woodenPickaxe).toolClass == ToolPickaxe, "wooden pickaxe is registered");
  report.check(!canHarvest(stone, 0), "bare hands do not drop stone");
  report.check(canHarvest(stone, woodenPickaxe), "wooden pickaxe drops stone");
  report.check(breakTime(stone, woodenPickaxe) < breakTime(stone, 0), "pickaxe mines stone faster");
  report.check(breakTime(wood, woodenAxe) < breakTime(wood, 0), "axe chops wood faster");
  report.check(canHarvest(registry.get(blocks::CoalOre), woodenPickaxe), "coal ore drops with a wooden pickaxe");
  report.check(!canHarvest(registry.get(blocks::IronOre), woodenPickaxe) &&
                   canHarvest(registry.get(blocks::IronOre), stonePickaxe),
               "iron ore needs a stone pickaxe");
  report.check(!canHarvest(registry.get(blocks::DiamondOre), stonePickaxe) &&
                   canHarvest(registry.get(blocks::DiamondOre), ironPickaxe),
               "diamond ore needs an iron pickaxe");
  report.check(canHarvest(wood, 0), "wood drops without tools");
}

// A cell at the top of the area with no block light around it, for the torch checks:
// the two highest layers stay air because trees and buildings end lower.
bool findDarkTopCell(const World& world, int& x, int& z) {
  const int y = kMaxY - 1;
  for (z = 0; z < kChunkSize; ++z) {
    for (x = 0; x < kChunkSize; ++x) {
      if (getBlock(world, x, y, z) == kAir && blockLight(world, x, y, z) == 0 && blockLight(world, x + 3, y, z) == 0) {
        return true;
      }
    }
  }
  return false;
}

void checkLighting(CheckReport& report, World& world) {
  processRelightQueue(world, 4096);
  report.check(skyLight(world, 0, kMaxY, 0) == 15, "sky light reaches the top");
  const int surface = terrainHeight(world.seed, 0, 0);
  report.check(skyLight(world, 0, surface - 6, 0) < 15, "covered cells lose direct sky light");

  int x = 0, z = 0;
  const bool found = findDarkTopCell(world, x, z);
  const int y = kMaxY - 1;
  setBlock(world, x, y, z, blocks::Torch);
  processRelightQueue(world, 4096);
  report.check(found && blockLight(world, x, y, z) == 14, "torch cell carries its light");
  report.check(found && blockLight(world, x + 3, y, z) == 11, "torch light falls off with distance");
  setBlock(world, x, y, z, kAir);
  processRelightQueue(world, 4096);
  report.check(found && blockLight(world, x + 3, y, z) == 0, "removing a torch clears its light");
}

void checkOres(CheckReport& report, const World& world) {
  bool coal = false, iron = false, diamond = false;
  forEachAreaCell(world, [&](int, int, int, BlockId block) {
    coal = coal || block == blocks::CoalOre;
    iron = iron || block == blocks::IronOre;
    diamond = diamond || block == blocks::DiamondOre;
  });
  report.check(coal && iron && diamond, "underground layers contain coal, iron and diamond ore");
}

bool villageHasBookshelf(const World& world, const VillageSite& site) {
  for (int dz = -18; dz <= 18; ++dz) {
    for (int dx = -18; dx <= 18; ++dx) {
      if (getBlock(world, site.x + dx, site.y + 1, site.z + dz) == blocks::Bookshelf) return true;
    }
  }
  return false;
}

void checkVillages(CheckReport& report, World& world) {
  const std::vector<VillageSite> sites = sitesWithin(world, 0, 0, 600);
  report.check(!sites.empty(), "world contains a village near spawn");
  if (sites.empty()) {
    report.check(false, "village well canopy is built");
    report.check(false, "village houses are furnished");
    return;
  }
  const VillageSite& site = sites.front();
  ensureColumnsAround(world, site.x, site.z, 2);
  report.check(getBlock(world, site.x, site.y + 4, site.z) == blocks::Planks, "village well canopy is built");
  report.check(villageHasBookshelf(world, site), "village houses are furnished");
}

void checkServerAddresses(CheckReport& report) {
  ServerAddress domain, explicitPort, literal;
  std::string error;
  report.check(parseServerAddress("play.example.org", kDefaultGamePort, domain, error) && domain.port == 27632 &&
                   !domain.portGiven,
               "domain defaults to port 27632");
  report.check(parseServerAddress("play.example.org:25000", kDefaultGamePort, explicitPort, error) &&
                   explicitPort.port == 25000 && explicitPort.portGiven,
               "explicit address port is parsed");
  Endpoint resolved;
  report.check(parseServerAddress("1.2.3.4", kDefaultGamePort, literal, error) && literal.host == "1.2.3.4" &&
                   literal.port == 27632 && resolveServer("1.2.3.4", kDefaultGamePort, resolved, error) &&
                   resolved == Endpoint{0x01020304, 27632},
               "ipv4 literal defaults to port 27632");
}

void checkEditRecords(CheckReport& report, World& world) {
  setCaptureEnabled(world, true);
  setBlock(world, 35, 48, 35, blocks::Bricks);
  const std::vector<CapturedBlock> captured = takeCapture(world);
  setCaptureEnabled(world, false);
  report.check(std::any_of(captured.begin(), captured.end(),
                           [](const CapturedBlock& c) {
                             return c.x == 35 && c.y == 48 && c.z == 35 && c.id == blocks::Bricks;
                           }),
               "network capture reports changed blocks");
  auto edit = world.edits.find(packBlockKey(35, 48, 35));
  report.check(edit != world.edits.end() && edit->second == blocks::Bricks, "block edit is recorded for saving");

  // The edit list goes through a level save and is applied to a fresh world.
  setBlock(world, -200, 50, -200, blocks::Wood);
  LevelSave save;
  save.seed = static_cast<std::uint32_t>(world.seed);
  save.edits = savedEdits(world);
  report.check(writeLevel(kLevelCheckWorld, save), "edit level save written");
  LevelSave loaded;
  report.check(readLevel(kLevelCheckWorld, loaded) && loaded.edits.size() == save.edits.size(), "edit level save read");
  World reloaded(static_cast<std::int32_t>(loaded.seed));
  for (const SavedEdit& saved : loaded.edits) {
    applySavedEdit(reloaded, saved.x, saved.y, saved.z, saved.block,
                   saved.fluidLevel == kNoFluidLevel ? -1 : saved.fluidLevel);
  }
  ensureColumn(reloaded, chunkCoord(-200), chunkCoord(-200));
  report.check(getBlock(reloaded, -200, 50, -200) == blocks::Wood, "block edit survives save and load");
  deleteWorld(kLevelCheckWorld);
}

LevelSave levelCheckSave() {
  LevelSave save;
  save.seed = 0x00C0FFEE;
  save.timeOfDay = 0.375f;
  save.weather = 1;
  save.hasPlayer = true;
  save.player = {12.5f, 41.0f, -7.25f, 135.0f, -20.0f, true, 17, 1, 3, {{blocks::Torch, 12, 0}, {-3, 1, 40}}};
  save.mobs = {{1.5f, 30, 2.5f, 1, 30, 2, 0.5f, 3, 2, 4}, {-8, 31, 9, -8, 31, 9, 2.0f, 0, 4, 20}};
  save.drops = {{4.5f, 32, 4.5f, blocks::Cobblestone, 0, 9, 1.5f}};
  save.edits = {{-200, 50, -200, blocks::Wood, kNoFluidLevel}, {3, 20, 3, blocks::Water, 4}};
  return save;
}

void checkLevelSaves(CheckReport& report) {
  deleteWorld(kLevelCheckWorld);
  const LevelSave save = levelCheckSave();
  report.check(writeLevel(kLevelCheckWorld, save), "level save written");
  LevelSave loaded;
  const bool read = readLevel(kLevelCheckWorld, loaded);
  report.check(read, "level save read");
  report.check(read && loaded.seed == save.seed && loaded.timeOfDay == save.timeOfDay &&
                   loaded.weather == save.weather && loaded.mobs == save.mobs && loaded.drops == save.drops &&
                   loaded.edits == save.edits,
               "level save contents roundtrip");
  report.check(read && loaded.hasPlayer && loaded.player == save.player, "player state roundtrips inside the level save");
  std::error_code error;
  report.check(std::filesystem::is_regular_file(worldFolder(kLevelCheckWorld) / "level.dat", error) &&
                   worldExists(kLevelCheckWorld),
               "level data is stored in the world folder");

  // A world saved only in the legacy format: the level reader refuses it, the legacy one reads it.
  deleteWorld(kLevelCheckWorld);
  LevelSave legacy = save;
  legacy.seed = 31337;
  report.check(writeLegacyWorld(kLevelCheckWorld, legacy), "legacy world save written for migration");
  LevelSave ignored;
  report.check(!readLevel(kLevelCheckWorld, ignored), "level reader skips legacy saves");
  LevelSave migrated;
  report.check(readLegacyWorld(kLevelCheckWorld, migrated) && migrated.seed == 31337 && migrated.drops == legacy.drops,
               "legacy world saves still load");
  deleteWorld(kLevelCheckWorld);
}

std::size_t blockIndexInColumn(int x, int y, int z) {
  return static_cast<std::size_t>((y - kMinY) * 256 + localCoord(z) * kChunkSize + localCoord(x));
}

bool columnMatchesLive(const World& world, const ColumnSnapshot& stored) {
  const ColumnSnapshot live = snapshotColumn(world, stored.cx, stored.cz);
  return stored.blocks == live.blocks;
}

// Region files on a real world folder: writing, negative coordinates, pending data and
// reading back in a fresh world, which knows no edits and can only use the files.
void checkRegionFiles(CheckReport& report, std::int32_t seed) {
  deleteWorld(kRegionCheckWorld);
  const std::filesystem::path folder = worldFolder(kRegionCheckWorld);
  World world(seed);
  setSaveFolder(world, folder);
  ensureColumn(world, 0, 0);
  setBlock(world, 5, 20, 7, blocks::Bricks);
  setBlock(world, 19, 10, -524, blocks::Bookshelf);  // column (1, −33), region (0, −2)
  flush(world);
  const std::filesystem::path origin = regionPath(kRegionCheckWorld, 0, 0);
  std::error_code error;
  report.check(std::filesystem::is_regular_file(origin, error), "region file written for chunk columns");
  report.check(std::filesystem::is_regular_file(regionPath(kRegionCheckWorld, 0, -2), error) &&
                   regionPath(kRegionCheckWorld, regionCoord(1), regionCoord(-33)).filename() == "r.0.-2.rgn.zorvk",
               "negative region coordinates are filed correctly");
  std::fprintf(stdout, "selftest: region %s = %zu bytes\n", origin.string().c_str(),
               static_cast<std::size_t>(std::filesystem::file_size(origin, error)));

  ColumnSnapshot stored;
  const bool loaded = loadColumn(kRegionCheckWorld, 0, 0, stored);
  report.check(loaded && stored.blocks[blockIndexInColumn(5, 20, 7)] == blocks::Bricks,
               "block modification survives the region save roundtrip");
  report.check(loaded && columnMatchesLive(world, stored), "persisted column loads back identical to the live one");

  setBlock(world, 50, 30, 50, blocks::Planks);  // column (3, 3)
  unloadFar(world, 10000, 10000, 0);
  const bool pending = world.pendingColumns.count({3, 3}) != 0;
  ensureColumn(world, 3, 3);
  report.check(pending && getBlock(world, 50, 30, 50) == blocks::Planks,
               "unloaded column restores from pending region data before a flush");
  unloadFar(world, 10000, 10000, 0);
  flush(world);
  World fresh(seed);
  setSaveFolder(fresh, folder);
  ensureColumn(fresh, 3, 3);
  report.check(world.pendingColumns.empty() && getBlock(fresh, 50, 30, 50) == blocks::Planks,
               "pending column reaches disk on flush");

  report.check(deleteWorld(kRegionCheckWorld), "world folder deleted");
  const std::vector<std::string> worlds = listWorlds();
  report.check(!std::filesystem::exists(folder, error) &&
                   std::find(worlds.begin(), worlds.end(), kRegionCheckWorld) == worlds.end(),
               "deleted world is gone");
}

// Columns far from the origin: generation at negative coordinates, unloading, and an edit
// that comes back through the region files after its column was dropped.
void checkDistantColumns(CheckReport& report, std::int32_t seed) {
  const std::filesystem::path folder = worldFolder(kRegionCheckWorld);
  World world(seed);
  setSaveFolder(world, folder);
  ensureColumn(world, -40, 25);
  report.check(isColumnLoaded(world, -40, 25), "chunks generate at negative coordinates");
  const int x = -635, z = 405;
  report.check(getBlock(world, x, kMinY, z) == blocks::Bedrock && getBlock(world, x, 2, z) != kAir,
               "distant column has terrain");
  const int y = surfaceHeight(world, x, z) + 1;
  setBlock(world, x, y, z, blocks::Bookshelf);
  unloadFar(world, 0, 0, 2);
  report.check(!isColumnLoaded(world, -40, 25), "distant chunks unload");
  flush(world);
  World reopened(seed);
  setSaveFolder(reopened, folder);
  ensureColumn(reopened, -40, 25);
  report.check(reopened.edits.empty() && getBlock(reopened, x, y, z) == blocks::Bookshelf, "edits survive chunk unload");
  deleteWorld(kRegionCheckWorld);
}

}  // namespace

void CheckReport::check(bool condition, const char* name) {
  if (condition) return;
  std::fprintf(out, "FAIL: %s\n", name);
  ++failures;
}

int finishSelfTest(const CheckReport& report, const MeshTotals& totals) {
  std::fprintf(report.out, "selftest: chunks=%d vertices=%zu indices=%zu failures=%d\n", totals.chunks,
               totals.vertices, totals.indices, report.failures);
  std::fflush(report.out);
  return report.failures == 0 ? 0 : 1;
}

int runSelfTest(World& world) {
  CheckReport report;
  checkTranslations(report);
  const AreaMeshing meshing = meshArea(world);
  checkTerrain(report, world, meshing);
  checkFluids(report, world);
  checkMovementAndMobBehaviour(report);
  checkBlockEditsAndMeshes(report, world);
  checkPlayerPhysics(report);
  checkMobSpawning(report, world);
  checkVillages(report, world);
  checkVillagersAndZombies(report, world);
  checkInventoryAndCrafting(report);
  checkRegistryRules(report);
  checkLighting(report, world);
  checkOres(report, world);
  checkDrops(report);
  checkLevelSaves(report);
  checkServerAddresses(report);
  checkEditRecords(report, world);
  checkRegionFiles(report, world.seed);
  checkDistantColumns(report, world.seed);
  return finishSelfTest(report, meshing.totals);
}

}  // namespace zorv
