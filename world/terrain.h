#pragma once
// Terrain from (seed, position): height, biome, and whole-column generation with caves,
// ores, bedrock, sea water, trees and villages. Depends only on the seed and positions.

#include <cstdint>

#include "world/world.h"

namespace zorv {

enum Biome : int { BiomeGrassland = 0, BiomeForest = 1, BiomeDesert = 2, BiomeSnow = 3 };

// Hash finaliser to a float in 0..1 (24 bits of the mixed hash).
float fin24(std::uint32_t h);
float smoothStep(float t);  // (3 − 2t)·t²
// 2D fractal value noise, 0..1.
float fractal2(float a, float b, int octaves, std::int32_t s);
// 3D value noise, 0..1; s enters as s·0x9E3779B9.
float noise3(float x, float y, float z, std::int32_t s);

int terrainHeight(std::int32_t seed, int x, int z);  // 3..56
int terrainBiome(std::int32_t seed, int x, int z);

// Fills column (cx, cz) from the seed, then builds villages and replays recorded edits.
void generateColumn(World& world, int cx, int cz);

// Terrain height with village flattening (spawning, mobs, minimap).
int surfaceHeight(World& world, int x, int z);
// Biome, but grassland wherever a village flattened the ground (minimap).
int surfaceBiome(World& world, int x, int z);

}  // namespace zorv
