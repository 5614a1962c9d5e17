#include "world/mesher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "world/registry.h"
#include "world/world.h"

namespace zorv {
namespace {

// Quads of one cell come out in face-table order: +X, −X, +Y, −Y, +Z, −Z.
constexpr std::size_t kPosX = 0, kPosY = 2, kNegY = 3, kPosZ = 4;
using Corners = std::array<float, 4>;

// A chunk in open air: every cell air, full sky light, no block light.
std::unique_ptr<ChunkSnapshot> openAir(ChunkKey key = {}) {
  auto snapshot = std::make_unique<ChunkSnapshot>();
  snapshot->key = key;
  snapshot->sky.fill(15);
  return snapshot;
}

void put(ChunkSnapshot& snapshot, int x, int y, int z, BlockId id, std::uint8_t level = 0) {
  snapshot.blocks[snapshotIndex(x, y, z)] = id;
  snapshot.fluidLevels[snapshotIndex(x, y, z)] = level;
}

// One field of the four corners of quad `q`.
Corners field(const Mesh& mesh, std::size_t q, float MeshVertex::*member) {
  const MeshVertex* v = &mesh.vertices.at(4 * q);
  return {v[0].*member, v[1].*member, v[2].*member, v[3].*member};
}

std::size_t quads(const Mesh& mesh) { return mesh.indices.size() / 6; }

// Four vertices and six indices (b, b+1, b+2, b, b+2, b+3) per quad, finite positions.
void expectWellFormed(const Mesh& mesh) {
  ASSERT_EQ(mesh.indices.size() % 6, 0u);
  ASSERT_EQ(mesh.vertices.size(), quads(mesh) * 4);
  for (std::size_t i = 0; i < mesh.indices.size(); ++i) {
    const std::uint32_t b = static_cast<std::uint32_t>(i / 6 * 4), pattern[6] = {0, 1, 2, 0, 2, 3};
    ASSERT_EQ(mesh.indices[i], b + pattern[i % 6]);
  }
  for (const MeshVertex& v : mesh.vertices) ASSERT_TRUE(std::isfinite(v.x + v.y + v.z));
}

TEST(MeshCube, OpenAirBlockShowsSixFacesAndHiddenFacesAreSkipped) {
  auto snapshot = openAir({2, -1, -3});  // origin (32, −16, −48): cell (5, 6, 7) is (37, −10, −41)
  put(*snapshot, 5, 6, 7, blocks::Grass);
  ChunkMesh mesh = buildChunkMesh(*snapshot);
  expectWellFormed(mesh.main);
  EXPECT_EQ(mesh.main.vertices.size(), 24u);
  EXPECT_EQ(mesh.main.indices.size(), 36u);
  EXPECT_TRUE(mesh.water.empty());
  EXPECT_EQ(field(mesh.main, kPosY, &MeshVertex::y), (Corners{-9, -9, -9, -9}));
  EXPECT_EQ(field(mesh.main, kPosY, &MeshVertex::x), (Corners{37, 38, 38, 37}));  // u = +X
  EXPECT_EQ(field(mesh.main, kPosY, &MeshVertex::z), (Corners{-40, -40, -41, -41}));  // v = −Z
  EXPECT_EQ(field(mesh.main, kPosY, &MeshVertex::v), (Corners{1, 1, 0, 0}));
  EXPECT_EQ(field(mesh.main, kPosY, &MeshVertex::shade), (Corners{1, 1, 1, 1}));
  EXPECT_EQ(field(mesh.main, kPosY, &MeshVertex::sky), (Corners{1, 1, 1, 1}));
  EXPECT_EQ(field(mesh.main, kNegY, &MeshVertex::shade)[0], 0.48f);
  EXPECT_EQ(field(mesh.main, kPosX, &MeshVertex::z), (Corners{-40, -41, -41, -40}));  // u = −Z
  const BlockDef& grass = blockRegistry().get(blocks::Grass);
  EXPECT_EQ(mesh.main.vertices[4 * kPosY].layer, grass.texTop);
  EXPECT_EQ(mesh.main.vertices[4 * kNegY].layer, grass.texBottom);
  EXPECT_EQ(mesh.main.vertices[4 * kPosZ].layer, grass.texSide);

  put(*snapshot, 5, 7, 7, blocks::Stone);
  mesh = buildChunkMesh(*snapshot);
  EXPECT_EQ(mesh.main.vertices.size(), 40u);
  EXPECT_EQ(mesh.main.indices.size(), 60u);

  // Lava is opaque and hides the stone's face; water, torches and unknown ids do not.
  auto mixed = openAir();
  put(*mixed, 3, 3, 3, blocks::Stone);
  put(*mixed, 4, 3, 3, blocks::Lava);
  put(*mixed, 2, 3, 3, blocks::Water);
  put(*mixed, 3, 4, 3, blocks::Torch);
  put(*mixed, 3, 3, 4, 0x7FFF);
  put(*mixed, -1, 3, 3, blocks::Stone);  // border cells are read, never meshed
  put(*mixed, 3, 16, 3, blocks::Torch);
  EXPECT_EQ(quads(buildChunkMesh(*mixed).main), 5u + 5u + 5u);  // stone, torch, lava without its −X side
}

TEST(MeshCube, AmbientOcclusionAndCornerLight) {
  // The +Y face of (5,5,5): front cell (5,6,5), u = +X, v = −Z; corner 1 looks at +X and +Z.
  const auto topShades = [](std::initializer_list<std::array<int, 3>> occluders) {
    auto snapshot = openAir();
    put(*snapshot, 5, 5, 5, blocks::Stone);
    for (const auto& c : occluders) put(*snapshot, c[0], c[1], c[2], blocks::Stone);
    return field(buildChunkMesh(*snapshot).main, kPosY, &MeshVertex::shade);
  };
  EXPECT_EQ(topShades({{6, 6, 5}}), (Corners{1.0f, 0.81f, 0.81f, 1.0f}));           // edge: level 2
  EXPECT_EQ(topShades({{6, 6, 6}}), (Corners{1.0f, 0.81f, 1.0f, 1.0f}));            // diagonal only
  EXPECT_EQ(topShades({{6, 6, 5}, {5, 6, 6}}), (Corners{0.81f, 0.42f, 0.81f, 1.0f}));  // both sides: 0

  auto snapshot = openAir();
  snapshot->sky.fill(0);
  put(*snapshot, 5, 5, 5, blocks::Stone);
  put(*snapshot, 6, 6, 5, blocks::Stone);
  snapshot->sky[snapshotIndex(6, 6, 5)] = 15;  // opaque: left out of the average
  snapshot->sky[snapshotIndex(5, 6, 5)] = 15;
  snapshot->sky[snapshotIndex(5, 6, 6)] = 9;
  snapshot->sky[snapshotIndex(6, 6, 6)] = 3;
  snapshot->blockLight[snapshotIndex(5, 6, 6)] = 12;
  const ChunkMesh mesh = buildChunkMesh(*snapshot);
  EXPECT_EQ(field(mesh.main, kPosY, &MeshVertex::sky), (Corners{24.0f / 60, 27.0f / 45, 15.0f / 45, 15.0f / 60}));
  EXPECT_EQ(field(mesh.main, kPosY, &MeshVertex::block), (Corners{12.0f / 60, 12.0f / 45, 0, 0}));
  EXPECT_EQ(field(mesh.main, kPosX, &MeshVertex::shade)[2], 0.81f * 0.76f);  // the +X side's upper corner
}

TEST(MeshChunk, FullyEnclosedSolidChunkIsSkipped) {
  auto snapshot = openAir();
  snapshot->blocks.fill(blocks::Stone);
  // Lava counts as opaque, so the shortcut hides even the strip that a lava source would
  // show above level-3 lava beside it when meshed cell by cell.
  put(*snapshot, 5, 5, 5, blocks::Lava, 0);
  put(*snapshot, 6, 5, 5, blocks::Lava, 3);
  ChunkMesh mesh = buildChunkMesh(*snapshot);
  EXPECT_TRUE(mesh.main.empty() && mesh.water.empty());
  put(*snapshot, -1, 5, 5, kAir);  // one open border cell beside (0,5,5)
  mesh = buildChunkMesh(*snapshot);
  ASSERT_EQ(quads(mesh.main), 2u);  // the opened face, then the lava strip
  EXPECT_EQ(field(mesh.main, 1, &MeshVertex::y), (Corners{5.25f, 5.25f, 6, 6}));
  put(*snapshot, 5, 5, 5, blocks::Stone);
  put(*snapshot, 6, 5, 5, blocks::Stone);
  mesh = buildChunkMesh(*snapshot);
  ASSERT_EQ(quads(mesh.main), 1u);
  EXPECT_EQ(field(mesh.main, 0, &MeshVertex::x), (Corners{0, 0, 0, 0}));
}

TEST(MeshFluid, SurfaceHeightsAndFaces) {
  auto snapshot = openAir({0, 1, 0});  // cell (2,2,2) has its floor at y = 18
  put(*snapshot, 2, 2, 2, blocks::Water, 4);
  snapshot->sky[snapshotIndex(2, 2, 2)] = 6;
  ChunkMesh mesh = buildChunkMesh(*snapshot);
  expectWellFormed(mesh.water);
  EXPECT_TRUE(mesh.main.empty());
  ASSERT_EQ(quads(mesh.water), 6u);  // air all round and below
  // Level 4 of water lies 1 − 4 × 0.12 = 0.52 above the floor at 18.
  const Corners top = field(mesh.water, kPosY, &MeshVertex::y);
  for (float y : top) EXPECT_NEAR(y, 18.52f, 1e-5f);
  const float surface = top[0];
  EXPECT_EQ(field(mesh.water, kPosY, &MeshVertex::shade)[0], 0.95f);
  EXPECT_EQ(field(mesh.water, kPosY, &MeshVertex::sky)[0], 6.0f / 15);  // top: the cell's own light
  EXPECT_EQ(field(mesh.water, kNegY, &MeshVertex::shade)[0], 0.95f * 0.48f);
  EXPECT_EQ(field(mesh.water, kPosZ, &MeshVertex::y), (Corners{18, 18, surface, surface}));
  EXPECT_EQ(field(mesh.water, kPosZ, &MeshVertex::sky), (Corners{1, 1, 1, 1}));  // sides: open sky
  EXPECT_EQ(mesh.water.vertices[0].layer, 13);

  put(*snapshot, 2, 2, 2, blocks::Water, 0);  // a source is a full block high
  EXPECT_EQ(field(buildChunkMesh(*snapshot).water, kPosY, &MeshVertex::y)[0], 19.0f);

  // Flowing water under water is full height with no top; on stone it has no bottom.
  put(*snapshot, 2, 2, 2, blocks::Water, 4);
  put(*snapshot, 2, 3, 2, blocks::Water, 0);
  put(*snapshot, 2, 1, 2, blocks::Stone);
  mesh = buildChunkMesh(*snapshot);
  ASSERT_EQ(quads(mesh.water), 4u + 5u);
  EXPECT_EQ(field(mesh.water, kPosX, &MeshVertex::y), (Corners{18, 18, 19, 19}));

  // A source beside a level-3 cell, both in a stone trough: the source shows a strip from
  // the lower surface up to its own, the lower cell nothing towards the source.
  auto trough = openAir();
  for (int x = 3; x <= 6; ++x) {
    for (int z = 3; z <= 5; ++z) {
      put(*trough, x, 3, z, blocks::Stone);
      put(*trough, x, 4, z, blocks::Stone);
    }
  }
  put(*trough, 4, 4, 4, blocks::Water, 0);
  put(*trough, 5, 4, 4, blocks::Water, 3);
  mesh = buildChunkMesh(*trough);
  ASSERT_EQ(quads(mesh.water), 3u);  // strip, source top, lower top
  const float lower = 4.0f + (1.0f - 3 * 0.12f);
  EXPECT_EQ(field(mesh.water, 0, &MeshVertex::x), (Corners{5, 5, 5, 5}));
  EXPECT_EQ(field(mesh.water, 0, &MeshVertex::y), (Corners{lower, lower, 5, 5}));
  EXPECT_EQ(field(mesh.water, 0, &MeshVertex::shade)[0], 0.95f * 0.76f);
  EXPECT_EQ(field(mesh.water, 2, &MeshVertex::y)[0], lower);
  put(*trough, 5, 4, 4, blocks::Water, 0);  // level surfaces: nothing between them
  EXPECT_EQ(quads(buildChunkMesh(*trough).water), 2u);
}

TEST(MeshFluid, WaterAndLavaGoToTheirOwnMeshes) {
  auto snapshot = openAir();
  put(*snapshot, 8, 8, 8, blocks::Lava, 2);
  put(*snapshot, 8, 7, 8, blocks::Stone);
  ChunkMesh mesh = buildChunkMesh(*snapshot);
  EXPECT_TRUE(mesh.water.empty());
  ASSERT_EQ(quads(mesh.main), 5u + 5u);  // stone (top hidden by lava), then lava (no bottom)
  EXPECT_EQ(field(mesh.main, 5 + kPosY, &MeshVertex::y), (Corners{8.5f, 8.5f, 8.5f, 8.5f}));
  EXPECT_EQ(field(mesh.main, 5 + kPosY, &MeshVertex::shade)[0], 1.0f);
  EXPECT_EQ(mesh.main.vertices[4 * (5 + kPosY)].layer, 14);

  // Water beside the lava: the lava is opaque, so only the lava shows a side between them.
  put(*snapshot, 9, 8, 8, blocks::Water);
  put(*snapshot, 9, 7, 8, blocks::Stone);
  mesh = buildChunkMesh(*snapshot);
  EXPECT_EQ(quads(mesh.main), 4u + 5u + 5u);  // two stones (one under water shows its top), lava
  EXPECT_EQ(quads(mesh.water), 4u);
  EXPECT_EQ(mesh.water.vertices[0].layer, 13);
}

TEST(MeshTorch, PostOfFiveQuadsWithTheCellsLight) {
  auto snapshot = openAir({-1, 0, 0});  // cell (3,2,1) is at x = −13
  put(*snapshot, 3, 2, 1, blocks::Torch);
  snapshot->sky[snapshotIndex(3, 2, 1)] = 10;
  snapshot->blockLight[snapshotIndex(3, 2, 1)] = 14;
  const ChunkMesh mesh = buildChunkMesh(*snapshot);
  expectWellFormed(mesh.main);
  EXPECT_EQ(mesh.main.vertices.size(), 20u);
  EXPECT_EQ(mesh.main.indices.size(), 30u);
  EXPECT_TRUE(mesh.water.empty());
  const std::int32_t layer = blockRegistry().get(blocks::Torch).texSide;
  for (const MeshVertex& v : mesh.main.vertices) {
    EXPECT_TRUE(v.layer == layer && v.shade == 1.0f && v.sky == 10.0f / 15 && v.block == 14.0f / 15);
  }
  // Order +Z, −Z, +X, −X, top; each side starts at its bottom-left corner seen from outside.
  const float z0 = 1 + 7 / 16.0f, z1 = 1 + 9 / 16.0f, x0 = -13 + 7 / 16.0f, x1 = -13 + 9 / 16.0f;
  EXPECT_EQ(field(mesh.main, 0, &MeshVertex::z), (Corners{z1, z1, z1, z1}));
  EXPECT_EQ(field(mesh.main, 0, &MeshVertex::x), (Corners{x0, x1, x1, x0}));
  EXPECT_EQ(field(mesh.main, 0, &MeshVertex::y), (Corners{2, 2, 2 + 10 / 16.0f, 2 + 10 / 16.0f}));
  EXPECT_EQ(field(mesh.main, 1, &MeshVertex::x), (Corners{x1, x0, x0, x1}));
  EXPECT_EQ(field(mesh.main, 1, &MeshVertex::z)[0], z0);
  EXPECT_EQ(field(mesh.main, 2, &MeshVertex::z), (Corners{z1, z0, z0, z1}));
  EXPECT_EQ(field(mesh.main, 2, &MeshVertex::x)[0], x1);
  EXPECT_EQ(field(mesh.main, 3, &MeshVertex::x)[0], x0);
  EXPECT_EQ(field(mesh.main, 4, &MeshVertex::y)[3], 2 + 10 / 16.0f);
}

TEST(MeshItems, BlockPreviewAndItemSprite) {
  const Mesh table = buildBlockPreview(blocks::CraftingTable);
  expectWellFormed(table);
  EXPECT_EQ(table.vertices.size(), 24u);
  for (const MeshVertex& v : table.vertices) {
    EXPECT_TRUE(std::abs(v.x) == 0.5f && std::abs(v.y) == 0.5f && std::abs(v.z) == 0.5f);
    EXPECT_TRUE(v.sky == 1.0f && v.block == 0.0f);
  }
  EXPECT_EQ(field(table, kNegY, &MeshVertex::shade)[0], 0.48f);
  EXPECT_EQ(field(table, kPosY, &MeshVertex::y)[0], 0.5f);
  EXPECT_EQ(table.vertices[4 * kPosY].layer, 31);
  EXPECT_EQ(table.vertices[4 * kPosX].layer, 32);
  EXPECT_EQ(table.vertices[4 * kNegY].layer, 17);
  EXPECT_TRUE(buildBlockPreview(kAir).vertices.empty());

  const Mesh sprite = buildItemSprite(37);
  expectWellFormed(sprite);
  ASSERT_EQ(quads(sprite), 2u);
  const Corners run{0.05f, 0.95f, 0.95f, 0.05f}, rise{0.05f, 0.05f, 0.95f, 0.95f}, centre{0.5f, 0.5f, 0.5f, 0.5f};
  EXPECT_EQ(field(sprite, 0, &MeshVertex::x), run);
  EXPECT_EQ(field(sprite, 0, &MeshVertex::z), centre);
  EXPECT_EQ(field(sprite, 1, &MeshVertex::z), run);
  EXPECT_EQ(field(sprite, 1, &MeshVertex::x), centre);
  for (std::size_t q = 0; q < 2; ++q) {
    EXPECT_EQ(field(sprite, q, &MeshVertex::y), rise);
    EXPECT_EQ(field(sprite, q, &MeshVertex::u), (Corners{0, 1, 1, 0}));
    EXPECT_EQ(field(sprite, q, &MeshVertex::v), (Corners{1, 1, 0, 0}));
  }
  for (const MeshVertex& v : sprite.vertices) EXPECT_TRUE(v.layer == 37 && v.shade == 1 && v.sky == 1 && v.block == 0);
}

TEST(MeshWorld, SnapshotCopiesTheChunkAndItsBorderFromTheWorld) {
  World world(20261018);
  ensureColumn(world, 0, 0);
  setBlockRaw(world, 5, 40, 5, blocks::Water);
  setBlockRaw(world, 6, 40, 5, blocks::Stone);
  world.fluidLevels[packBlockKey(5, 40, 5)] = 5;
  world.fluidLevels[packBlockKey(6, 40, 5)] = 6;  // a stray level on a solid cell is not copied
  auto snapshot = std::make_unique<ChunkSnapshot>();
  snapshot->fluidLevels.fill(9);
  takeChunkSnapshot(world, {0, 2, 0}, *snapshot);  // y 32..47
  EXPECT_EQ(snapshot->key, (ChunkKey{0, 2, 0}));
  EXPECT_EQ(snapshot->blocks[snapshotIndex(5, 8, 5)], blocks::Water);
  EXPECT_EQ(snapshot->fluidLevels[snapshotIndex(5, 8, 5)], 5);
  EXPECT_EQ(snapshot->fluidLevels[snapshotIndex(6, 8, 5)], 0);
  for (int y = -1; y <= 16; ++y) {
    EXPECT_EQ(snapshot->blocks[snapshotIndex(3, y, -1)], kAir);  // column (0, −1) is not loaded
    EXPECT_EQ(snapshot->sky[snapshotIndex(3, y, -1)], 15);
    EXPECT_EQ(snapshot->blocks[snapshotIndex(3, y, 3)], getBlock(world, 3, 32 + y, 3));
  }
}

TEST(MeshWorld, GeneratedTerrainMeshesCleanlyAndHasWater) {
  World world(20261018);
  std::size_t mainQuads = 0, waterQuads = 0;
  for (int cx = -2; cx <= 2; ++cx) {
    for (int cz = -2; cz <= 2; ++cz) {
      for (int cy = kMinChunkY; cy <= kMaxChunkY; ++cy) {
        const ChunkMesh mesh = meshChunk(world, {cx, cy, cz});
        expectWellFormed(mesh.main);
        expectWellFormed(mesh.water);
        mainQuads += quads(mesh.main);
        waterQuads += quads(mesh.water);
      }
      EXPECT_TRUE(isColumnLoaded(world, cx, cz));
    }
  }
  EXPECT_GT(mainQuads, 0u);
  EXPECT_GT(waterQuads, 0u);
}

}  // namespace
}  // namespace zorv
