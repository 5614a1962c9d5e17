#pragma once
// Merges neighbouring coplanar unit quads of a chunk mesh that look the same (tile, shade
// and light equal at all four corners of both) into larger quads whose texture
// coordinates run past 1, so the tile repeats across them. Flat open ground then costs a
// few quads per chunk instead of one per block face.

#include "world/mesher.h"

namespace zorv {

// Rewrites `mesh` with merged quads; quads that cannot merge keep their vertices, and
// the index pattern of four vertices and six indices per quad is kept.
void mergeCoplanarQuads(Mesh& mesh);
// Both halves of a chunk mesh.
void mergeCoplanarQuads(ChunkMesh& mesh);

}  // namespace zorv
