#include "world/mesher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "world/registry.h"
#include "world/world.h"

namespace zorv {
namespace {

// Quads come out in face-table order: +X, −X, +Y, −Y, +Z, −Z.
constexpr int kPosX = 0, kNegX = 1, kPosY = 2, kNegY = 3, kPosZ = 4, kNegZ = 5;

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

// Four vertices and six indices (b, b+1, b+2, b, b+2, b+3) per quad, finite positions.
void expectWellFormed(const Mesh& mesh) {
  ASSERT_EQ(mesh.indices.size() % 6, 0u);
  ASSERT_EQ(mesh.vertices.size(), mesh.indices.size() / 6 * 4);
  for (std::size_t q = 0; q < mesh.indices.size() / 6; ++q) {
    const auto b = static_cast<std::uint32_t>(4 * q);
    const std::uint32_t* i = &mesh.indices[6 * q];
    EXPECT_EQ(i[0], b);
    EXPECT_EQ(i[1], b + 1);
    EXPECT_EQ(i[2], b + 2);
    EXPECT_EQ(i[3], b);
    EXPECT_EQ(i[4], b + 2);
    EXPECT_EQ(i[5], b + 3);
  }
  for (const MeshVertex& v : mesh.vertices) {
    EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
  }
}

const MeshVertex* quad(const Mesh& mesh, std::size_t index) { return &mesh.vertices.at(4 * index); }

std::size_t quadCount(const Mesh& mesh) { return mesh.indices.size() / 6; }

TEST(MeshCube, SingleBlockInOpenAirShowsSixLitFaces) {
  auto snapshot = openAir({2, -1, -3});  // chunk origin (32, −16, −48)
  put(*snapshot, 5, 6, 7, blocks::Grass);
  const ChunkMesh mesh = buildChunkMesh(*snapshot);
  expectWellFormed(mesh.main);
  EXPECT_EQ(mesh.main.vertices.size(), 24u);
  EXPECT_EQ(mesh.main.indices.size(), 36u);
  EXPECT_TRUE(mesh.water.empty());

  const BlockDef& grass = blockRegistry().get(blocks::Grass);
  const float x = 37.0f, y = -10.0f, z = -41.0f;
  const MeshVertex* top = quad(mesh.main, kPosY);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(top[k].y, y + 1.0f);
    EXPECT_FLOAT_EQ(top[k].shade, 1.0f);
    EXPECT_EQ(top[k].layer, grass.texTop);
    EXPECT_FLOAT_EQ(top[k].sky, 1.0f);
    EXPECT_FLOAT_EQ(top[k].block, 0.0f);
  }
  // Corner 0 of the top lies at −u −v = (−x, +z); uv runs (0,1) (1,1) (1,0) (0,0).
  EXPECT_EQ(top[0].x, x);
  EXPECT_EQ(top[0].z, z + 1.0f);
  EXPECT_EQ(top[2].x, x + 1.0f);
  EXPECT_EQ(top[2].z, z);
  EXPECT_EQ(top[0].u, 0.0f);
  EXPECT_EQ(top[0].v, 1.0f);
  EXPECT_EQ(top[2].u, 1.0f);
  EXPECT_EQ(top[2].v, 0.0f);

  const MeshVertex* bottom = quad(mesh.main, kNegY);
  const MeshVertex* east = quad(mesh.main, kPosX);
  const MeshVertex* north = quad(mesh.main, kNegZ);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(bottom[k].y, y);
    EXPECT_FLOAT_EQ(bottom[k].shade, 0.48f);
    EXPECT_EQ(bottom[k].layer, grass.texBottom);
    EXPECT_EQ(east[k].x, x + 1.0f);
    EXPECT_FLOAT_EQ(east[k].shade, 0.76f);
    EXPECT_EQ(east[k].layer, grass.texSide);
    EXPECT_EQ(north[k].z, z);
    EXPECT_FLOAT_EQ(north[k].shade, 0.88f);
  }
  // Side faces: corners 0 and 1 at the bottom edge, +X face's u axis runs towards −Z.
  EXPECT_EQ(east[0].y, y);
  EXPECT_EQ(east[3].y, y + 1.0f);
  EXPECT_EQ(east[0].z, z + 1.0f);
  EXPECT_EQ(east[1].z, z);
}

TEST(MeshCube, HiddenFacesAreSkipped) {
  auto stacked = openAir();
  put(*stacked, 3, 3, 3, blocks::Stone);
  put(*stacked, 3, 4, 3, blocks::Stone);
  const ChunkMesh pair = buildChunkMesh(*stacked);
  expectWellFormed(pair.main);
  EXPECT_EQ(pair.main.vertices.size(), 40u);
  EXPECT_EQ(pair.main.indices.size(), 60u);

  // Lava is opaque and hides the stone face next to it; water and torches do not.
  auto mixed = openAir();
  put(*mixed, 3, 3, 3, blocks::Stone);
  put(*mixed, 4, 3, 3, blocks::Lava);
  put(*mixed, 2, 3, 3, blocks::Water);
  put(*mixed, 3, 4, 3, blocks::Torch);
  const ChunkMesh beside = buildChunkMesh(*mixed);
  const std::size_t stoneQuads = 5, torchQuads = 5, lavaQuads = 5;  // lava: no side towards the stone
  EXPECT_EQ(quadCount(beside.main), stoneQuads + torchQuads + lavaQuads);

  // Numbers beyond the registry read as its fallback air: they neither hide faces nor mesh.
  auto unknown = openAir();
  put(*unknown, 3, 3, 3, blocks::Stone);
  put(*unknown, 4, 3, 3, 0x7FFF);
  EXPECT_EQ(buildChunkMesh(*unknown).main.vertices.size(), 24u);

  // Cells on the border are read but never meshed.
  auto border = openAir();
  put(*border, -1, 3, 3, blocks::Stone);
  put(*border, 16, 3, 3, blocks::Torch);
  put(*border, 3, 16, 3, blocks::Water);
  EXPECT_TRUE(buildChunkMesh(*border).main.empty());
  EXPECT_TRUE(buildChunkMesh(*border).water.empty());
}

TEST(MeshCube, AmbientOcclusionDarkensCornersNextToOpaqueCells) {
  // The +Y face of (5,5,5): front cell (5,6,5), u = +X, v = −Z. Corners 1 and 2 have su = +1.
  {
    auto snapshot = openAir();
    put(*snapshot, 5, 5, 5, blocks::Stone);
    put(*snapshot, 6, 6, 5, blocks::Stone);  // above the block's +X edge
    const ChunkMesh mesh = buildChunkMesh(*snapshot);
    const MeshVertex* face = quad(mesh.main, kPosY);
    EXPECT_FLOAT_EQ(face[0].shade, 1.0f);
    EXPECT_FLOAT_EQ(face[1].shade, 0.81f);
    EXPECT_FLOAT_EQ(face[2].shade, 0.81f);
    EXPECT_FLOAT_EQ(face[3].shade, 1.0f);
    const MeshVertex* east = quad(mesh.main, kPosX);
    EXPECT_FLOAT_EQ(east[0].shade, 0.76f);  // lower corners of the +X side stay open
    EXPECT_FLOAT_EQ(east[2].shade, 0.81f * 0.76f);
  }
  {
    auto snapshot = openAir();
    put(*snapshot, 5, 5, 5, blocks::Stone);
    put(*snapshot, 6, 6, 6, blocks::Stone);  // only diagonal to corner 1
    const ChunkMesh mesh = buildChunkMesh(*snapshot);
    const MeshVertex* face = quad(mesh.main, kPosY);
    EXPECT_FLOAT_EQ(face[1].shade, 0.81f);
    EXPECT_FLOAT_EQ(face[0].shade, 1.0f);
    EXPECT_FLOAT_EQ(face[2].shade, 1.0f);
  }
  {
    auto snapshot = openAir();
    put(*snapshot, 5, 5, 5, blocks::Stone);
    put(*snapshot, 6, 6, 5, blocks::Stone);  // both sides of corner 1, its diagonal open
    put(*snapshot, 5, 6, 6, blocks::Stone);
    const ChunkMesh mesh = buildChunkMesh(*snapshot);
    const MeshVertex* face = quad(mesh.main, kPosY);
    EXPECT_FLOAT_EQ(face[1].shade, 0.42f);
    EXPECT_FLOAT_EQ(face[0].shade, 0.81f);
    EXPECT_FLOAT_EQ(face[2].shade, 0.81f);
    EXPECT_FLOAT_EQ(face[3].shade, 1.0f);
  }
}

TEST(MeshCube, CornerLightAveragesTheOpenCellsOnly) {
  auto snapshot = openAir();
  snapshot->sky.fill(0);
  put(*snapshot, 5, 5, 5, blocks::Stone);
  put(*snapshot, 6, 6, 5, blocks::Stone);
  snapshot->sky[snapshotIndex(6, 6, 5)] = 15;  // opaque: must not count
  snapshot->sky[snapshotIndex(5, 6, 5)] = 15;  // front
  snapshot->sky[snapshotIndex(5, 6, 6)] = 9;
  snapshot->sky[snapshotIndex(6, 6, 6)] = 3;
  snapshot->blockLight[snapshotIndex(5, 6, 6)] = 12;
  const ChunkMesh mesh = buildChunkMesh(*snapshot);
  const MeshVertex* face = quad(mesh.main, kPosY);
  // Corner 1 reads front, (6,6,5) opaque, (5,6,6) and (6,6,6).
  EXPECT_FLOAT_EQ(face[1].sky, 27.0f / 45.0f);
  EXPECT_FLOAT_EQ(face[1].block, 12.0f / 45.0f);
  // Corner 3 reads front, (4,6,5), (5,6,4), (4,6,4): only the front is lit.
  EXPECT_FLOAT_EQ(face[3].sky, 15.0f / 60.0f);
  EXPECT_FLOAT_EQ(face[3].block, 0.0f);
}

TEST(MeshChunk, FullyEnclosedSolidChunkIsSkipped) {
  auto snapshot = openAir();
  snapshot->blocks.fill(blocks::Stone);
  ChunkMesh mesh = buildChunkMesh(*snapshot);
  EXPECT_TRUE(mesh.main.empty());
  EXPECT_TRUE(mesh.water.empty());
  EXPECT_TRUE(mesh.main.vertices.empty());

  put(*snapshot, -1, 5, 5, kAir);  // one open border cell beside (0,5,5)
  mesh = buildChunkMesh(*snapshot);
  expectWellFormed(mesh.main);
  ASSERT_EQ(quadCount(mesh.main), 1u);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(quad(mesh.main, 0)[k].x, 0.0f);
}

TEST(MeshFluid, SurfaceHeightFollowsLevelAndTheCellAbove) {
  auto snapshot = openAir({0, 1, 0});  // origin y = 16
  put(*snapshot, 2, 2, 2, blocks::Water, 4);
  snapshot->sky[snapshotIndex(2, 2, 2)] = 7;
  snapshot->blockLight[snapshotIndex(2, 2, 2)] = 3;
  ChunkMesh mesh = buildChunkMesh(*snapshot);
  expectWellFormed(mesh.water);
  EXPECT_TRUE(mesh.main.empty());
  ASSERT_EQ(quadCount(mesh.water), 6u);  // open air all round, air below
  const float y = 18.0f;
  const MeshVertex* top = quad(mesh.water, kPosY);
  const MeshVertex* bottom = quad(mesh.water, kNegY);
  const MeshVertex* side = quad(mesh.water, kPosZ);
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(top[k].y, y + 0.52f, 1e-5f);
    EXPECT_EQ(top[k].layer, 13);
    EXPECT_FLOAT_EQ(top[k].shade, 0.95f);
    EXPECT_FLOAT_EQ(top[k].sky, 7.0f / 15.0f);
    EXPECT_FLOAT_EQ(top[k].block, 3.0f / 15.0f);
    EXPECT_EQ(bottom[k].y, y);
    EXPECT_FLOAT_EQ(bottom[k].shade, 0.95f * 0.48f);
    EXPECT_FLOAT_EQ(bottom[k].sky, 7.0f / 15.0f);
    EXPECT_FLOAT_EQ(side[k].shade, 0.95f * 0.88f);
    EXPECT_FLOAT_EQ(side[k].sky, 1.0f);
    EXPECT_FLOAT_EQ(side[k].block, 0.0f);
    EXPECT_EQ(side[k].z, 3.0f);
  }
  EXPECT_EQ(side[0].y, y);
  EXPECT_EQ(side[1].y, y);
  EXPECT_NEAR(side[2].y, y + 0.52f, 1e-5f);
  EXPECT_NEAR(side[3].y, y + 0.52f, 1e-5f);

  put(*snapshot, 2, 2, 2, blocks::Water, 0);  // a source is a full block high
  mesh = buildChunkMesh(*snapshot);
  EXPECT_EQ(quad(mesh.water, kPosY)[0].y, y + 1.0f);

  // Flowing water under water is full height and has no top; resting on stone, no bottom.
  put(*snapshot, 2, 2, 2, blocks::Water, 4);
  put(*snapshot, 2, 3, 2, blocks::Water, 0);
  put(*snapshot, 2, 1, 2, blocks::Stone);
  mesh = buildChunkMesh(*snapshot);
  expectWellFormed(mesh.water);
  ASSERT_EQ(quadCount(mesh.water), 4u + 5u);  // lower: four sides; upper: four sides and top
  for (int k = 0; k < 4; ++k) EXPECT_EQ(quad(mesh.water, kPosX)[k].y, k < 2 ? y : y + 1.0f);
}

TEST(MeshFluid, LowerNeighbourGetsAStripBetweenTheTwoSurfaces) {
  auto snapshot = openAir();
  for (int x = 4; x <= 5; ++x) put(*snapshot, x, 4, 4, blocks::Water, x == 4 ? 0 : 3);
  for (int x = 3; x <= 6; ++x) {
    for (int z = 3; z <= 5; ++z) {
      if (!(z == 4 && (x == 4 || x == 5))) put(*snapshot, x, 4, z, blocks::Stone);
      put(*snapshot, x, 3, z, blocks::Stone);
    }
  }
  const ChunkMesh mesh = buildChunkMesh(*snapshot);
  expectWellFormed(mesh.water);
  // Source: its top and the strip towards +X; flowing cell: its top only.
  ASSERT_EQ(quadCount(mesh.water), 3u);
  const MeshVertex* strip = quad(mesh.water, 0);
  const float lower = 4.0f + (1.0f - 3 * 0.12f);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(strip[k].x, 5.0f);
    EXPECT_NEAR(strip[k].y, k < 2 ? lower : 5.0f, 1e-5f);
    EXPECT_FLOAT_EQ(strip[k].shade, 0.95f * 0.76f);
  }
  EXPECT_EQ(quad(mesh.water, 1)[0].y, 5.0f);
  EXPECT_NEAR(quad(mesh.water, 2)[0].y, lower, 1e-5f);
}

TEST(MeshFluid, WaterAndLavaGoToTheirOwnMeshes) {
  auto water = openAir();
  put(*water, 8, 8, 8, blocks::Water);
  const ChunkMesh wet = buildChunkMesh(*water);
  EXPECT_TRUE(wet.main.empty());
  EXPECT_EQ(quadCount(wet.water), 6u);

  auto lava = openAir();
  put(*lava, 8, 8, 8, blocks::Lava, 2);
  put(*lava, 8, 7, 8, blocks::Stone);
  const ChunkMesh hot = buildChunkMesh(*lava);
  expectWellFormed(hot.main);
  EXPECT_TRUE(hot.water.empty());
  ASSERT_EQ(quadCount(hot.main), 5u + 5u);  // stone first (its top hidden by lava), then the lava
  const MeshVertex* lavaTop = quad(hot.main, 5 + kPosY);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(lavaTop[k].layer, 14);
    EXPECT_FLOAT_EQ(lavaTop[k].shade, 1.0f);
    EXPECT_NEAR(lavaTop[k].y, 8.5f, 1e-5f);  // 1 − 2 × 0.25
  }
  EXPECT_FLOAT_EQ(quad(hot.main, 9)[0].shade, 0.88f);  // −Z side: the lava has no bottom

  // Water beside lava: lava is opaque, so only the lava shows a side between them.
  put(*lava, 9, 8, 8, blocks::Water);
  put(*lava, 9, 7, 8, blocks::Stone);
  const ChunkMesh both = buildChunkMesh(*lava);
  // Stone under lava 4, stone under water 5 (its top shows), lava 5 with its side towards the water.
  EXPECT_EQ(quadCount(both.main), 4u + 5u + 5u);
  EXPECT_EQ(quadCount(both.water), 4u);          // top and three sides; none towards the lava
}

TEST(MeshTorch, PostOfFiveQuadsInTheMainMesh) {
  auto snapshot = openAir({-1, 0, 0});  // origin x = −16
  put(*snapshot, 3, 2, 1, blocks::Torch);
  snapshot->sky[snapshotIndex(3, 2, 1)] = 10;
  snapshot->blockLight[snapshotIndex(3, 2, 1)] = 14;
  const ChunkMesh mesh = buildChunkMesh(*snapshot);
  expectWellFormed(mesh.main);
  EXPECT_EQ(mesh.main.vertices.size(), 20u);
  EXPECT_EQ(mesh.main.indices.size(), 30u);
  EXPECT_TRUE(mesh.water.empty());

  const float x = -13.0f, y = 2.0f, z = 1.0f;
  for (const MeshVertex& v : mesh.main.vertices) {
    EXPECT_GE(v.x, x + 7.0f / 16.0f);
    EXPECT_LE(v.x, x + 9.0f / 16.0f);
    EXPECT_GE(v.z, z + 7.0f / 16.0f);
    EXPECT_LE(v.z, z + 9.0f / 16.0f);
    EXPECT_GE(v.y, y);
    EXPECT_LE(v.y, y + 10.0f / 16.0f);
    EXPECT_EQ(v.layer, blockRegistry().get(blocks::Torch).texSide);
    EXPECT_FLOAT_EQ(v.shade, 1.0f);
    EXPECT_FLOAT_EQ(v.sky, 10.0f / 15.0f);
    EXPECT_FLOAT_EQ(v.block, 14.0f / 15.0f);
  }
  // Order +Z, −Z, +X, −X, top; the +Z side's bottom-left corner is at −X.
  const MeshVertex* front = quad(mesh.main, 0);
  EXPECT_EQ(front[0].z, z + 9.0f / 16.0f);
  EXPECT_EQ(front[0].x, x + 7.0f / 16.0f);
  EXPECT_EQ(front[0].y, y);
  EXPECT_EQ(front[0].v, 1.0f);
  EXPECT_EQ(quad(mesh.main, 1)[0].z, z + 7.0f / 16.0f);
  EXPECT_EQ(quad(mesh.main, 2)[0].x, x + 9.0f / 16.0f);
  EXPECT_EQ(quad(mesh.main, 3)[0].x, x + 7.0f / 16.0f);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(quad(mesh.main, 4)[k].y, y + 10.0f / 16.0f);
}

TEST(MeshItems, BlockPreviewAndItemSprite) {
  const Mesh stone = buildBlockPreview(blocks::Stone);
  expectWellFormed(stone);
  EXPECT_EQ(stone.vertices.size(), 24u);
  for (const MeshVertex& v : stone.vertices) {
    EXPECT_EQ(std::abs(v.x), 0.5f);
    EXPECT_EQ(std::abs(v.y), 0.5f);
    EXPECT_EQ(std::abs(v.z), 0.5f);
    EXPECT_EQ(v.layer, 3);
    EXPECT_EQ(v.sky, 1.0f);
    EXPECT_EQ(v.block, 0.0f);
  }
  EXPECT_FLOAT_EQ(quad(stone, kNegY)[0].shade, 0.48f);
  EXPECT_FLOAT_EQ(quad(stone, kPosZ)[0].shade, 0.88f);
  EXPECT_EQ(quad(stone, kPosY)[0].y, 0.5f);
  const Mesh table = buildBlockPreview(blocks::CraftingTable);
  EXPECT_EQ(quad(table, kPosY)[0].layer, 31);
  EXPECT_EQ(quad(table, kPosX)[0].layer, 32);
  EXPECT_EQ(quad(table, kNegY)[0].layer, 17);
  EXPECT_TRUE(buildBlockPreview(kAir).empty());
  EXPECT_TRUE(buildBlockPreview(kAir).vertices.empty());

  const Mesh sprite = buildItemSprite(37);
  expectWellFormed(sprite);
  ASSERT_EQ(sprite.vertices.size(), 8u);
  const MeshVertex* across = quad(sprite, 0);
  const MeshVertex* along = quad(sprite, 1);
  const float lo = 0.05f, hi = 0.95f;
  const float expectedX[4] = {lo, hi, hi, lo}, expectedY[4] = {lo, lo, hi, hi};
  const float expectedU[4] = {0, 1, 1, 0}, expectedV[4] = {1, 1, 0, 0};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(across[k].x, expectedX[k]);
    EXPECT_EQ(across[k].y, expectedY[k]);
    EXPECT_EQ(across[k].z, 0.5f);
    EXPECT_EQ(along[k].x, 0.5f);
    EXPECT_EQ(along[k].y, expectedY[k]);
    EXPECT_EQ(along[k].z, expectedX[k]);
    EXPECT_EQ(across[k].u, expectedU[k]);
    EXPECT_EQ(across[k].v, expectedV[k]);
    EXPECT_EQ(along[k].u, expectedU[k]);
    EXPECT_EQ(along[k].v, expectedV[k]);
  }
  for (const MeshVertex& v : sprite.vertices) {
    EXPECT_EQ(v.layer, 37);
    EXPECT_EQ(v.shade, 1.0f);
    EXPECT_EQ(v.sky, 1.0f);
    EXPECT_EQ(v.block, 0.0f);
  }
}

TEST(MeshWorld, SnapshotCopiesTheChunkAndItsBorderFromTheWorld) {
  World world(20261018);
  ensureColumn(world, 0, 0);
  setBlockRaw(world, 5, 40, 5, blocks::Water);
  setBlockRaw(world, 6, 40, 5, blocks::Stone);
  world.fluidLevels[packBlockKey(5, 40, 5)] = 5;
  world.fluidLevels[packBlockKey(6, 40, 5)] = 6;  // stray level on a solid cell is not copied
  auto snapshot = std::make_unique<ChunkSnapshot>();
  snapshot->fluidLevels.fill(9);
  takeChunkSnapshot(world, {0, 2, 0}, *snapshot);  // y 32..47
  EXPECT_EQ(snapshot->key, (ChunkKey{0, 2, 0}));
  EXPECT_EQ(snapshot->blocks[snapshotIndex(5, 8, 5)], blocks::Water);
  EXPECT_EQ(snapshot->fluidLevels[snapshotIndex(5, 8, 5)], 5);
  EXPECT_EQ(snapshot->blocks[snapshotIndex(6, 8, 5)], blocks::Stone);
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
        mainQuads += quadCount(mesh.main);
        waterQuads += quadCount(mesh.water);
      }
      EXPECT_TRUE(isColumnLoaded(world, cx, cz));
    }
  }
  EXPECT_GT(mainQuads, 0u);
  EXPECT_GT(waterQuads, 0u);
}

}  // namespace
}  // namespace zorv
