#include "world/mesh_merge.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace zorv {
namespace {

using Point = std::array<float, 3>;

Point positionOf(const MeshVertex& v) { return {v.x, v.y, v.z}; }

// The axis (0, 1, 2) and sign (±1) of a unit step along one coordinate axis; axis −1
// when `d` is anything else.
std::pair<int, int> unitAxis(const Point& d) {
  int axis = -1, sign = 0;
  for (int a = 0; a < 3; ++a) {
    if (d[a] == 0.0f) continue;
    if (axis != -1 || std::fabs(d[a]) != 1.0f) return {-1, 0};
    axis = a;
    sign = d[a] > 0.0f ? 1 : -1;
  }
  return {axis, sign};
}

Point difference(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// What two quads must share to merge: their look, the directions of their u and v edges
// and the plane they lie in.
struct QuadClass {
  std::int32_t layer;
  float shade, sky, block;
  int uAxis, uSign, vAxis, vSign;
  float plane;
  auto tie() const { return std::tie(layer, shade, sky, block, uAxis, uSign, vAxis, vSign, plane); }
  bool operator<(const QuadClass& o) const { return tie() < o.tie(); }
};

struct GridQuad {
  int a, b;  // corner 0 along the u and v edges (whole blocks)
  std::size_t quad;
};

// A quad as the cube and fluid passes emit it: a unit square on whole-block edges with
// the corner-table texture coordinates and the same shade and light at every corner.
bool classify(const MeshVertex* q, QuadClass& cls, GridQuad& cell) {
  static constexpr std::array<std::array<float, 2>, 4> kCornerUv{{{0, 1}, {1, 1}, {1, 0}, {0, 0}}};
  for (int k = 0; k < 4; ++k) {
    if (q[k].u != kCornerUv[k][0] || q[k].v != kCornerUv[k][1]) return false;
    if (q[k].layer != q[0].layer || q[k].shade != q[0].shade || q[k].sky != q[0].sky || q[k].block != q[0].block) return false;
  }
  const Point p0 = positionOf(q[0]);
  const Point du = difference(positionOf(q[1]), p0), dv = difference(positionOf(q[3]), p0);
  const Point across = difference(positionOf(q[2]), positionOf(q[1]));
  const auto [uAxis, uSign] = unitAxis(du);
  const auto [vAxis, vSign] = unitAxis(dv);
  if (uAxis < 0 || vAxis < 0 || uAxis == vAxis || across != dv) return false;
  const int normalAxis = 3 - uAxis - vAxis;
  if (p0[uAxis] != std::floor(p0[uAxis]) || p0[vAxis] != std::floor(p0[vAxis])) return false;
  cls = {q[0].layer, q[0].shade, q[0].sky, q[0].block, uAxis, uSign, vAxis, vSign, p0[normalAxis]};
  cell.a = static_cast<int>(p0[uAxis]) * uSign;
  cell.b = static_cast<int>(p0[vAxis]) * vSign;
  return true;
}

void appendQuad(Mesh& out, const std::array<MeshVertex, 4>& corners) {
  const auto base = static_cast<std::uint32_t>(out.vertices.size());
  out.vertices.insert(out.vertices.end(), corners.begin(), corners.end());
  for (std::uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u}) out.indices.push_back(base + i);
}

// Greedy rectangles over one class's cells: rows along u first, then as many whole rows
// along v as match.
void mergeClass(const Mesh& source, const QuadClass& cls, std::vector<GridQuad>& cells, Mesh& out) {
  std::sort(cells.begin(), cells.end(), [](const GridQuad& x, const GridQuad& y) { return std::tie(x.b, x.a) < std::tie(y.b, y.a); });
  auto cellKey = [](int a, int b) { return static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << 32 | static_cast<std::uint32_t>(b); };
  std::unordered_map<std::uint64_t, std::size_t> at;  // (a, b) → position in `cells`
  at.reserve(cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) at.emplace(cellKey(cells[i].a, cells[i].b), i);
  std::vector<bool> used(cells.size(), false);
  auto free = [&](int a, int b) {
    const auto it = at.find(cellKey(a, b));
    return it != at.end() && !used[it->second];
  };
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (used[i]) continue;
    const int a0 = cells[i].a, b0 = cells[i].b;
    int width = 1;
    while (free(a0 + width, b0)) ++width;
    int height = 1;
    for (;; ++height) {
      bool row = true;
      for (int a = a0; a < a0 + width && row; ++a) row = free(a, b0 + height);
      if (!row) break;
    }
    for (int b = b0; b < b0 + height; ++b)
      for (int a = a0; a < a0 + width; ++a) used[at[cellKey(a, b)]] = true;
    std::array<MeshVertex, 4> corners;
    std::copy_n(&source.vertices[cells[i].quad * 4], 4, corners.begin());
    const auto w = static_cast<float>(width), h = static_cast<float>(height);
    float* positions[4] = {&corners[0].x, &corners[1].x, &corners[2].x, &corners[3].x};
    const std::array<std::array<float, 2>, 4> steps{{{0, 0}, {w, 0}, {w, h}, {0, h}}};
    for (int k = 0; k < 4; ++k) {
      positions[k][cls.uAxis] = positions[0][cls.uAxis] + static_cast<float>(cls.uSign) * steps[k][0];
      positions[k][cls.vAxis] = positions[0][cls.vAxis] + static_cast<float>(cls.vSign) * steps[k][1];
      corners[k].u = steps[k][0];
      corners[k].v = h - steps[k][1];
    }
    appendQuad(out, corners);
  }
}

}  // namespace

void mergeCoplanarQuads(Mesh& mesh) {
  const std::size_t quads = mesh.vertices.size() / 4;
  if (quads < 2 || mesh.indices.size() != quads * 6) return;
  std::map<QuadClass, std::vector<GridQuad>> classes;
  Mesh out;
  out.vertices.reserve(mesh.vertices.size());
  out.indices.reserve(mesh.indices.size());
  for (std::size_t quad = 0; quad < quads; ++quad) {
    const MeshVertex* q = &mesh.vertices[quad * 4];
    QuadClass cls{};
    GridQuad cell{};
    if (classify(q, cls, cell)) {
      cell.quad = quad;
      classes[cls].push_back(cell);
    } else {
      appendQuad(out, {q[0], q[1], q[2], q[3]});
    }
  }
  for (auto& [cls, cells] : classes) mergeClass(mesh, cls, cells, out);
  mesh = std::move(out);
}

void mergeCoplanarQuads(ChunkMesh& mesh) {
  mergeCoplanarQuads(mesh.main);
  mergeCoplanarQuads(mesh.water);
}

}  // namespace zorv
