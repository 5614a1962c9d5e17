#include "world/mesh_merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>

#include "world/chunk_links.h"
#include "world/registry.h"
#include "world/world.h"

namespace zorv {
namespace {

std::unique_ptr<ChunkSnapshot> openAir() {
  auto snapshot = std::make_unique<ChunkSnapshot>();
  snapshot->sky.fill(15);
  return snapshot;
}

void put(ChunkSnapshot& snapshot, int x, int y, int z, BlockId id) { snapshot.blocks[snapshotIndex(x, y, z)] = id; }

using Vertex = std::tuple<float, float, float, float, float, float, std::int32_t, float, float>;
using Quad = std::array<Vertex, 4>;

Vertex tupleOf(const MeshVertex& v) { return {v.x, v.y, v.z, v.u, v.v, v.shade, v.layer, v.sky, v.block}; }

// Every quad cut back into tile-sized quads (a merged quad of w × h tiles gives w × h), so
// a merged and an unmerged mesh can be compared quad for quad.
std::vector<Quad> tiles(const Mesh& mesh) {
  std::vector<Quad> out;
  for (std::size_t q = 0; q < mesh.vertices.size() / 4; ++q) {
    const MeshVertex* c = &mesh.vertices[q * 4];
    const int w = static_cast<int>(c[1].u - c[0].u), h = static_cast<int>(c[0].v - c[3].v);
    const auto wf = static_cast<float>(w), hf = static_cast<float>(h);
    const float du[3] = {(c[1].x - c[0].x) / wf, (c[1].y - c[0].y) / wf, (c[1].z - c[0].z) / wf};
    const float dv[3] = {(c[3].x - c[0].x) / hf, (c[3].y - c[0].y) / hf, (c[3].z - c[0].z) / hf};
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) {
        Quad quad;
        const float steps[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        const float uvs[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
        for (int k = 0; k < 4; ++k) {
          MeshVertex v = c[0];
          const float a = static_cast<float>(i) + steps[k][0], b = static_cast<float>(j) + steps[k][1];
          v.x = c[0].x + du[0] * a + dv[0] * b;
          v.y = c[0].y + du[1] * a + dv[1] * b;
          v.z = c[0].z + du[2] * a + dv[2] * b;
          v.u = w == 1 && h == 1 ? c[k].u : uvs[k][0];
          v.v = w == 1 && h == 1 ? c[k].v : uvs[k][1];
          v.shade = c[k].shade;
          v.sky = c[k].sky;
          v.block = c[k].block;
          quad[static_cast<std::size_t>(k)] = tupleOf(v);
        }
        out.push_back(quad);
      }
  }
  std::sort(out.begin(), out.end());
  return out;
}

void expectWellFormed(const Mesh& mesh) {
  ASSERT_EQ(mesh.vertices.size() % 4, 0u);
  ASSERT_EQ(mesh.indices.size(), mesh.vertices.size() / 4 * 6);
  const std::uint32_t pattern[6] = {0, 1, 2, 0, 2, 3};
  for (std::size_t i = 0; i < mesh.indices.size(); ++i) ASSERT_EQ(mesh.indices[i], i / 6 * 4 + pattern[i % 6]);
}

TEST(MeshMerge, FlatFloorBecomesOneQuadWithRepeatingTexture) {
  auto snapshot = openAir();
  for (int x = 0; x < 4; ++x)
    for (int z = 0; z < 3; ++z) put(*snapshot, x, 0, z, blocks::Stone);
  // Sky light 15 everywhere and no neighbours above: the 12 top faces look alike.
  Mesh top;
  const ChunkMesh mesh = buildChunkMesh(*snapshot);
  for (std::size_t q = 0; q < mesh.main.vertices.size() / 4; ++q) {
    const MeshVertex* c = &mesh.main.vertices[q * 4];
    if (c[0].y != 1.0f || c[2].y != 1.0f) continue;
    const auto base = static_cast<std::uint32_t>(top.vertices.size());
    top.vertices.insert(top.vertices.end(), c, c + 4);
    for (std::uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u}) top.indices.push_back(base + i);
  }
  ASSERT_EQ(top.vertices.size(), 48u);
  Mesh merged = top;
  mergeCoplanarQuads(merged);
  expectWellFormed(merged);
  ASSERT_EQ(merged.vertices.size(), 4u);
  // Corner order and winding as the mesher's: u runs along +x, v along −z.
  const MeshVertex* c = merged.vertices.data();
  EXPECT_EQ(std::make_tuple(c[0].x, c[0].z, c[0].u, c[0].v), std::make_tuple(0.0f, 3.0f, 0.0f, 3.0f));
  EXPECT_EQ(std::make_tuple(c[1].x, c[1].z, c[1].u, c[1].v), std::make_tuple(4.0f, 3.0f, 4.0f, 3.0f));
  EXPECT_EQ(std::make_tuple(c[2].x, c[2].z, c[2].u, c[2].v), std::make_tuple(4.0f, 0.0f, 4.0f, 0.0f));
  EXPECT_EQ(std::make_tuple(c[3].x, c[3].z, c[3].u, c[3].v), std::make_tuple(0.0f, 0.0f, 0.0f, 0.0f));
  EXPECT_EQ(tiles(merged), tiles(top));
}

TEST(MeshMerge, QuadsThatDifferStayApartAndNothingIsLost) {
  auto snapshot = openAir();
  for (int x = 0; x < 6; ++x) put(*snapshot, x, 0, 0, x < 3 ? blocks::Stone : blocks::Planks);
  put(*snapshot, 8, 0, 0, blocks::Torch);
  snapshot->blockLight[snapshotIndex(8, 0, 0)] = 14;
  const ChunkMesh original = buildChunkMesh(*snapshot);
  ChunkMesh merged = original;
  mergeCoplanarQuads(merged);
  expectWellFormed(merged.main);
  EXPECT_EQ(tiles(merged.main), tiles(original.main));
  // Stone and planks tops stay two quads; the torch's five small quads are untouched.
  EXPECT_LT(merged.main.vertices.size(), original.main.vertices.size());
  std::size_t topQuads = 0, torchQuads = 0;
  for (std::size_t q = 0; q < merged.main.vertices.size() / 4; ++q) {
    const MeshVertex* c = &merged.main.vertices[q * 4];
    if (c[0].layer == blockRegistry().get(blocks::Torch).texSide) ++torchQuads;
    else if (c[0].y == 1.0f && c[2].y == 1.0f) ++topQuads;
  }
  EXPECT_EQ(torchQuads, 5u);
  EXPECT_EQ(topQuads, 2u);
}

TEST(MeshMerge, GeneratedTerrainKeepsEverySurfaceWithFarFewerQuads) {
  World world(20261018);
  std::size_t before = 0, after = 0;
  for (int cx = -1; cx <= 1; ++cx)
    for (int cy = 0; cy <= 2; ++cy) {
      const ChunkMesh original = meshChunk(world, {cx, cy, 0});
      ChunkMesh merged = original;
      mergeCoplanarQuads(merged);
      expectWellFormed(merged.main);
      expectWellFormed(merged.water);
      EXPECT_EQ(tiles(merged.main), tiles(original.main));
      EXPECT_EQ(tiles(merged.water), tiles(original.water));
      before += original.main.vertices.size() + original.water.vertices.size();
      after += merged.main.vertices.size() + merged.water.vertices.size();
    }
  EXPECT_LT(after * 2, before) << before << " -> " << after;
}

TEST(ChunkLinks, FacesSeeEachOtherOnlyThroughOpenCells) {
  auto snapshot = openAir();
  EXPECT_EQ(chunkFaceLinks(*snapshot), kAllFaceLinks);
  snapshot->blocks.fill(blocks::Stone);
  EXPECT_EQ(chunkFaceLinks(*snapshot), 0);
  // A tunnel along x through solid stone links +X and −X and nothing else.
  for (int x = 0; x < 16; ++x) put(*snapshot, x, 5, 7, kAir);
  std::uint16_t links = chunkFaceLinks(*snapshot);
  EXPECT_TRUE(facesLinked(links, 0, 1));
  EXPECT_EQ(links, 1u << linkBit(0, 1));
  // A shaft up from the tunnel to the top links the top with both ends.
  for (int y = 6; y < 16; ++y) put(*snapshot, 3, y, 7, blocks::Water);  // water is not opaque
  links = chunkFaceLinks(*snapshot);
  EXPECT_TRUE(facesLinked(links, 2, 0));
  EXPECT_TRUE(facesLinked(links, 2, 1));
  EXPECT_FALSE(facesLinked(links, 3, 0));
  EXPECT_FALSE(facesLinked(links, 4, 5));
  // A solid wall at x = 8 in open air splits the chunk: −X and +X no longer see each other.
  auto walled = openAir();
  for (int y = 0; y < 16; ++y)
    for (int z = 0; z < 16; ++z) put(*walled, 8, y, z, blocks::Stone);
  links = chunkFaceLinks(*walled);
  EXPECT_FALSE(facesLinked(links, 0, 1));
  EXPECT_TRUE(facesLinked(links, 0, 2));
  EXPECT_TRUE(facesLinked(links, 1, 4));
  EXPECT_TRUE(facesLinked(links, 2, 3));
}

}  // namespace
}  // namespace zorv
