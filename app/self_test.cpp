#include "app/self_test.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "app/startup.h"
#include "net/address.h"
#include "ui/localisation.h"
#include "world/light.h"
#include "world/mesher.h"
#include "world/registry.h"
#include "world/terrain.h"
#include "world/villages.h"
#include "world/world.h"

namespace zorv {
namespace {

constexpr int kAreaRadius = 2;  // chunk columns −2..2 around the origin

void checkTranslations(CheckReport& report) {
  const std::vector<std::string> mismatched = mismatchedTranslations();
  for (const std::string& key : mismatched) {
    std::fprintf(report.out, "FAIL: translation format placeholders: %s\n", key.c_str());
  }
  report.check(mismatched.empty(), "translation format specifiers match");

  const int previous = language();
  setLanguage(LanguageChinese);
  const std::string hosting = formatTranslated("Hosting \"%s\" on UDP %u", "Test", kDefaultPort);
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
}

// Columns far from the origin: generation at negative coordinates, unloading and the
// replay of edits when a dropped column is generated again.
void checkDistantColumns(CheckReport& report, std::int32_t seed) {
  World world(seed);
  ensureColumn(world, -40, 25);
  report.check(isColumnLoaded(world, -40, 25), "chunks generate at negative coordinates");
  const int x = -635, z = 405;
  report.check(getBlock(world, x, kMinY, z) == blocks::Bedrock && getBlock(world, x, 2, z) != kAir,
               "distant column has terrain");
  const int y = surfaceHeight(world, x, z) + 1;
  setBlock(world, x, y, z, blocks::Bookshelf);
  unloadFar(world, 0, 0, 2);
  report.check(!isColumnLoaded(world, -40, 25), "distant chunks unload");
  ensureColumn(world, -40, 25);
  report.check(getBlock(world, x, y, z) == blocks::Bookshelf, "edits survive chunk unload");
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
  checkBlockEditsAndMeshes(report, world);
  checkRegistryRules(report);
  checkLighting(report, world);
  checkOres(report, world);
  checkVillages(report, world);
  checkServerAddresses(report);
  checkEditRecords(report, world);
  checkDistantColumns(report, world.seed);
  return finishSelfTest(report, meshing.totals);
}

}  // namespace zorv
