#include "rig/auto_weights.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "rig/weight_record.h"

// Geodesic voxel binding in five steps:
//  1. every triangle marks the voxels it touches (a conservative overlap
//     test, so a closed surface leaves no 6-connected tunnel);
//  2. the surface grows by one voxel, the outside is flooded from the grid's
//     border through what is left, and the growth is taken back wherever the
//     outside reaches it without touching an enclosed cavity: a hole about
//     three voxels wide stays closed, while the gap between two legs opens
//     again down to a voxel or two;
//  3. each bone seeds the solid voxels it passes through (or, for a connected
//     piece of solid it misses, that piece's voxels nearest to it, at the
//     straight-line gap);
//  4. one multi-source Dijkstra (26 neighbours, steps of 1, sqrt 2, sqrt 3
//     voxels) gives every voxel its nearest bone's distance d_min; then each
//     bone's Dijkstra runs only where its distance stays within the voxel's
//     cutoff (1 + falloff) * d_min + kMarginVoxels, since past the cutoff its
//     weight is zero anyway. The work stays near a few passes over the solid
//     instead of one per bone. The pruning is slightly conservative: a voxel
//     reachable within its cutoff only by way of voxels past theirs gets no
//     weight from that bone;
//  5. a voxel's weight for a bone is the inverse square of its distance times
//     a smooth window that is exactly zero at the cutoff, normalised per
//     voxel; a vertex blends the weights of the eight voxel centres around it
//     trilinearly, so that weights do not step from voxel to voxel.
// All voxel geometry is in voxel units (voxel (i, j, k) spans [i, i + 1] on
// each axis) and in double, so the mesh's scale never meets a float threshold.
// Everything runs on the calling thread, in an order fixed by the input.

namespace quorvel {

namespace {

using D3 = std::array<double, 3>;

// Empty voxels around the mesh: the grown surface never reaches the border,
// which seeds the outside.
constexpr int kPad = 3;
// A bulky mesh at a fine resolution would need hundreds of megabytes (the
// 32-bit edition has two gigabytes of address space): the voxel size grows
// until the grid fits.
constexpr int64_t kMaxGridVoxels = int64_t{1} << 25;
// Slightly more than half a voxel: a triangle that only touches a voxel's
// face or corner still marks it, whatever the rounding.
constexpr double kBoxHalf = 0.5 + 1e-6;
// Just over half a voxel diagonal (0.866): every voxel a bone passes through
// has its centre this close to the bone.
constexpr double kSeedRadius = 0.9;
// Voxels past (1 + falloff) * d_min where another bone still takes weight:
// near a bone d_min is almost zero, and neighbouring bones must still blend.
constexpr float kMarginVoxels = 2.0f;
// Voxel weights below this are not kept; vertex weights below kDropShare of
// the vertex's total are dropped.
constexpr float kVoxelWeightFloor = 1e-4f;
constexpr float kDropShare = 0.005f;
// Seed distances are capped (in voxels): bones farther away than this all
// count as this far, and sums of voxel steps stay exact enough in float.
constexpr double kFarDistance = 1 << 20;
constexpr float kInfinity = std::numeric_limits<float>::infinity();

enum Label : uint8_t { kEmpty = 0, kSurface = 1, kGrown = 2, kOutside = 3 };

D3 Sub(const D3& a, const D3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double Dot(const D3& a, const D3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
D3 Cross(const D3& a, const D3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Abs1(const D3& a) { return std::fabs(a[0]) + std::fabs(a[1]) + std::fabs(a[2]); }

bool Finite(const FVECTOR3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

double SegmentDistance(const D3& p, const D3& a, const D3& b) {
  const D3 ab = Sub(b, a);
  const D3 ap = Sub(p, a);
  const double len2 = Dot(ab, ab);
  double t = len2 > 0.0 ? Dot(ap, ab) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const D3 q = {a[0] + ab[0] * t - p[0], a[1] + ab[1] * t - p[1], a[2] + ab[2] * t - p[2]};
  return std::sqrt(Dot(q, q));
}

// Bits set in a 64-bit word (portable: no compiler built-in needed).
int PopCount(uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555ull);
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<int>((x * 0x0101010101010101ull) >> 56);
}

struct Grid {
  std::array<int, 3> n{0, 0, 0};
  D3 origin{0.0, 0.0, 0.0};
  double h = 1.0;

  int32_t Count() const { return n[0] * n[1] * n[2]; }
  int32_t Index(int x, int y, int z) const { return (z * n[1] + y) * n[0] + x; }
  std::array<int, 3> Coords(int32_t g) const {
    const int32_t row = g / n[0];
    return {static_cast<int>(g % n[0]), static_cast<int>(row % n[1]), static_cast<int>(row / n[1])};
  }
  D3 Centre(int32_t g) const {
    const std::array<int, 3> c = Coords(g);
    return {c[0] + 0.5, c[1] + 0.5, c[2] + 0.5};
  }
  D3 ToVoxel(const FVECTOR3& p) const {
    return {(static_cast<double>(p.x) - origin[0]) / h, (static_cast<double>(p.y) - origin[1]) / h,
            (static_cast<double>(p.z) - origin[2]) / h};
  }
  bool OnBorder(int x, int y, int z) const {
    return x == 0 || y == 0 || z == 0 || x == n[0] - 1 || y == n[1] - 1 || z == n[2] - 1;
  }
};

// ---------------------------------------------------------------- the mesh's triangles

// Calls fn(a, b, c) for every triangle of a fan over each face's usable
// vertices (indices in range with a finite position) and answers the number
// of faces that had three or more.
template <typename Fn>
int ForEachTriangle(const RigMesh& mesh, Fn&& fn) {
  const int vertex_count = mesh.VertexCount();
  const auto total = static_cast<int64_t>(mesh.face_vertices.size());
  std::vector<int32_t> corners;
  int usable = 0;
  for (int f = 0; f < mesh.FaceCount(); ++f) {
    const int64_t begin = std::clamp<int64_t>(mesh.face_start[static_cast<size_t>(f)], 0, total);
    const int64_t end = std::clamp<int64_t>(mesh.face_start[static_cast<size_t>(f) + 1], 0, total);
    corners.clear();
    for (int64_t k = begin; k < end; ++k) {
      const int32_t v = mesh.face_vertices[static_cast<size_t>(k)];
      if (v >= 0 && v < vertex_count && Finite(mesh.positions[static_cast<size_t>(v)])) corners.push_back(v);
    }
    if (corners.size() < 3) continue;
    ++usable;
    for (size_t i = 1; i + 1 < corners.size(); ++i) fn(corners[0], corners[i], corners[i + 1]);
  }
  return usable;
}

// The grid over the box [lo, hi]: `resolution` voxels along its longest side,
// kPad empty voxels beyond it on every side. A flat or single-point box gets
// a voxel size from the coordinates' magnitude, so the grid still has
// thickness.
Grid MakeGrid(const D3& lo, const D3& hi, int resolution) {
  Grid grid;
  double longest = 0.0;
  double magnitude = 0.0;
  for (int a = 0; a < 3; ++a) {
    longest = std::max(longest, hi[a] - lo[a]);
    magnitude = std::max({magnitude, std::fabs(lo[a]), std::fabs(hi[a])});
  }
  // The floor only matters for a box without extent: about a float step at
  // the coordinates' magnitude.
  double h = std::max({longest / resolution, magnitude * 0x1p-23, 1e-30});
  for (;;) {
    int64_t count = 1;
    for (int a = 0; a < 3; ++a) {
      grid.n[a] = static_cast<int>(std::ceil((hi[a] - lo[a]) / h)) + 1 + 2 * kPad;
      count *= grid.n[a];
    }
    if (count <= kMaxGridVoxels) break;
    h *= std::max(1.01, std::cbrt(static_cast<double>(count) / static_cast<double>(kMaxGridVoxels)));
  }
  grid.h = h;
  for (int a = 0; a < 3; ++a) grid.origin[a] = lo[a] - kPad * h;
  return grid;
}

// ---------------------------------------------------------------- voxelisation

// Separating-axis test of a triangle against the voxel around `centre`
// (Akenine-Möller). It also holds for a degenerate triangle (a segment or a
// point): the plane test then passes and the edge axes decide.
bool TriangleTouchesVoxel(const D3& a, const D3& b, const D3& c, const D3& centre) {
  const D3 v[3] = {Sub(a, centre), Sub(b, centre), Sub(c, centre)};
  for (int k = 0; k < 3; ++k) {
    if (std::min({v[0][k], v[1][k], v[2][k]}) > kBoxHalf ||
        std::max({v[0][k], v[1][k], v[2][k]}) < -kBoxHalf) {
      return false;
    }
  }
  const D3 edges[3] = {Sub(v[1], v[0]), Sub(v[2], v[1]), Sub(v[0], v[2])};
  for (const D3& e : edges) {
    for (int k = 0; k < 3; ++k) {
      D3 unit{0.0, 0.0, 0.0};
      unit[k] = 1.0;
      const D3 axis = Cross(unit, e);
      const double p0 = Dot(v[0], axis), p1 = Dot(v[1], axis), p2 = Dot(v[2], axis);
      const double r = kBoxHalf * Abs1(axis);
      if (std::min({p0, p1, p2}) > r || std::max({p0, p1, p2}) < -r) return false;
    }
  }
  const D3 normal = Cross(edges[0], edges[1]);
  return std::fabs(Dot(normal, v[0])) <= kBoxHalf * Abs1(normal);
}

class Rasteriser {
 public:
  Rasteriser(const Grid& grid, std::vector<uint8_t>& labels) : grid_(grid), labels_(labels) {}

  void Triangle(const D3& a, const D3& b, const D3& c) {
    std::array<int, 3> lo{}, hi{};
    for (int k = 0; k < 3; ++k) {
      lo[k] = CellFloor(std::min({a[k], b[k], c[k]}) - 1e-5, k);
      hi[k] = CellFloor(std::max({a[k], b[k], c[k]}) + 1e-5, k);
    }
    if (lo == hi) {  // inside one voxel: the common case on a dense mesh
      Mark(lo[0], lo[1], lo[2]);
      return;
    }
    const D3 e1 = Sub(b, a), e2 = Sub(c, a);
    const D3 normal = Cross(e1, e2);
    int k = 0;
    for (int axis = 1; axis < 3; ++axis) {
      if (std::fabs(normal[axis]) > std::fabs(normal[k])) k = axis;
    }
    if (!(std::fabs(normal[k]) > 1e-9 * std::sqrt(Dot(e1, e1) * Dot(e2, e2)))) {
      Degenerate(a, b, c);
      return;
    }
    // Columns along the normal's dominant axis k: over one column the plane
    // spans at most three voxels, so only those are tested.
    const int i = (k + 1) % 3, j = (k + 2) % 3;
    const double d = Dot(normal, a);
    for (int ci = lo[i]; ci <= hi[i]; ++ci) {
      for (int cj = lo[j]; cj <= hi[j]; ++cj) {
        double kmin = std::numeric_limits<double>::infinity(), kmax = -kmin;
        for (int corner = 0; corner < 4; ++corner) {
          const double pi = ci + (corner & 1), pj = cj + (corner >> 1);
          const double pk = (d - normal[i] * pi - normal[j] * pj) / normal[k];
          kmin = std::min(kmin, pk);
          kmax = std::max(kmax, pk);
        }
        const int k0 = std::max(lo[k], CellFloor(kmin - 1e-5, k));
        const int k1 = std::min(hi[k], CellFloor(kmax + 1e-5, k));
        std::array<int, 3> cell{};
        cell[i] = ci;
        cell[j] = cj;
        for (int ck = k0; ck <= k1; ++ck) {
          cell[k] = ck;
          Test(a, b, c, cell);
        }
      }
    }
  }

 private:
  int CellFloor(double u, int axis) const {
    return static_cast<int>(std::clamp(std::floor(u), 0.0, static_cast<double>(grid_.n[axis] - 1)));
  }
  void Mark(int x, int y, int z) { labels_[static_cast<size_t>(grid_.Index(x, y, z))] = kSurface; }
  void Test(const D3& a, const D3& b, const D3& c, const std::array<int, 3>& cell) {
    uint8_t& label = labels_[static_cast<size_t>(grid_.Index(cell[0], cell[1], cell[2]))];
    if (label == kSurface) return;
    if (TriangleTouchesVoxel(a, b, c, {cell[0] + 0.5, cell[1] + 0.5, cell[2] + 0.5})) label = kSurface;
  }
  // A triangle without area is its edges: walk them a quarter voxel at a
  // time and test the voxels around each step.
  void Degenerate(const D3& a, const D3& b, const D3& c) {
    const D3* ends[3][2] = {{&a, &b}, {&b, &c}, {&c, &a}};
    for (const auto& edge : ends) {
      const D3 delta = Sub(*edge[1], *edge[0]);
      const int steps = static_cast<int>(std::ceil(std::sqrt(Dot(delta, delta)) * 4.0)) + 1;
      for (int s = 0; s <= steps; ++s) {
        const double t = static_cast<double>(s) / steps;
        std::array<int, 3> base{};
        for (int k = 0; k < 3; ++k) base[k] = CellFloor((*edge[0])[k] + delta[k] * t, k);
        for (int dz = -1; dz <= 1; ++dz) {
          for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
              const std::array<int, 3> cell = {base[0] + dx, base[1] + dy, base[2] + dz};
              if (cell[0] < 0 || cell[1] < 0 || cell[2] < 0 || cell[0] >= grid_.n[0] ||
                  cell[1] >= grid_.n[1] || cell[2] >= grid_.n[2]) {
                continue;
              }
              Test(a, b, c, cell);
            }
          }
        }
      }
    }
  }

  const Grid& grid_;
  std::vector<uint8_t>& labels_;
};

// The six face neighbours as index offsets.
std::array<int32_t, 6> FaceOffsets(const Grid& grid) {
  const int32_t sx = 1, sy = grid.n[0], sz = grid.n[0] * grid.n[1];
  return {sx, -sx, sy, -sy, sz, -sz};
}

// Surface voxels grow by one voxel (face neighbours). The surface never lies
// on the border, so neighbours need no range check.
void GrowSurface(const Grid& grid, std::vector<uint8_t>& labels) {
  const std::array<int32_t, 6> offsets = FaceOffsets(grid);
  const int32_t count = grid.Count();
  for (int32_t g = 0; g < count; ++g) {
    if (labels[static_cast<size_t>(g)] != kSurface) continue;
    for (int32_t o : offsets) {
      uint8_t& label = labels[static_cast<size_t>(g + o)];
      if (label == kEmpty) label = kGrown;
    }
  }
}

// Floods kOutside from the border through empty voxels (face neighbours),
// one breadth-first layer at a time, so that only the wave front is held.
void FloodOutside(const Grid& grid, std::vector<uint8_t>& labels) {
  std::vector<int32_t> front, next;
  for (int z = 0; z < grid.n[2]; ++z) {
    for (int y = 0; y < grid.n[1]; ++y) {
      for (int x = 0; x < grid.n[0]; ++x) {
        if (!grid.OnBorder(x, y, z)) continue;
        const int32_t g = grid.Index(x, y, z);
        if (labels[static_cast<size_t>(g)] != kEmpty) continue;
        labels[static_cast<size_t>(g)] = kOutside;
        front.push_back(g);
      }
    }
  }
  const std::array<int32_t, 6> offsets = FaceOffsets(grid);
  while (!front.empty()) {
    for (int32_t g : front) {
      const std::array<int, 3> c = grid.Coords(g);
      for (int f = 0; f < 6; ++f) {
        const int axis = f / 2;
        const int to = c[static_cast<size_t>(axis)] + (f % 2 == 0 ? 1 : -1);
        if (to < 0 || to >= grid.n[static_cast<size_t>(axis)]) continue;
        const int32_t u = g + offsets[static_cast<size_t>(f)];
        if (labels[static_cast<size_t>(u)] != kEmpty) continue;
        labels[static_cast<size_t>(u)] = kOutside;
        next.push_back(u);
      }
    }
    front.swap(next);
    next.clear();
  }
}

// Takes back the growth the outside reaches through grown voxels that touch
// no enclosed empty voxel. A plug that closed a hole touches the cavity behind
// it and stays; a sheet that filled the gap between two legs touches only
// surface and outside, and opens again.
void OpenGaps(const Grid& grid, std::vector<uint8_t>& labels) {
  const std::array<int32_t, 6> offsets = FaceOffsets(grid);
  auto openable = [&](int32_t g) {
    if (labels[static_cast<size_t>(g)] != kGrown) return false;
    for (int32_t o : offsets) {
      if (labels[static_cast<size_t>(g + o)] == kEmpty) return false;
    }
    return true;
  };
  std::vector<int32_t> front, next;
  const int32_t count = grid.Count();
  for (int32_t g = 0; g < count; ++g) {
    if (!openable(g)) continue;
    for (int32_t o : offsets) {
      if (labels[static_cast<size_t>(g + o)] == kOutside) {
        front.push_back(g);
        break;
      }
    }
  }
  for (int32_t g : front) labels[static_cast<size_t>(g)] = kOutside;
  while (!front.empty()) {
    for (int32_t g : front) {
      for (int32_t o : offsets) {
        const int32_t u = g + o;
        if (!openable(u)) continue;
        labels[static_cast<size_t>(u)] = kOutside;
        next.push_back(u);
      }
    }
    front.swap(next);
    next.clear();
  }
}

// The labels after closing: kOutside for the outside, anything else solid.
std::vector<uint8_t> Voxelise(const RigMesh& mesh, const Grid& grid) {
  std::vector<uint8_t> labels(static_cast<size_t>(grid.Count()), kEmpty);
  Rasteriser raster(grid, labels);
  ForEachTriangle(mesh, [&](int32_t a, int32_t b, int32_t c) {
    raster.Triangle(grid.ToVoxel(mesh.positions[static_cast<size_t>(a)]),
                    grid.ToVoxel(mesh.positions[static_cast<size_t>(b)]),
                    grid.ToVoxel(mesh.positions[static_cast<size_t>(c)]));
  });
  GrowSurface(grid, labels);
  FloodOutside(grid, labels);
  OpenGaps(grid, labels);
  return labels;
}

// ---------------------------------------------------------------- the solid

// The solid voxels as a bit per grid voxel with a running count per 64-bit
// word: 1.5 bits per voxel instead of a 32-bit index, and a solid voxel's
// number is found with one population count.
class SolidSet {
 public:
  explicit SolidSet(const std::vector<uint8_t>& labels) {
    const size_t words = (labels.size() + 63) / 64;
    bits_.assign(words, 0);
    rank_.assign(words, 0);
    for (size_t g = 0; g < labels.size(); ++g) {
      if (labels[g] != kOutside) bits_[g >> 6] |= uint64_t{1} << (g & 63);
    }
    int32_t running = 0;
    for (size_t w = 0; w < words; ++w) {
      rank_[w] = running;
      running += PopCount(bits_[w]);
    }
    size_ = running;
  }

  int32_t Size() const { return size_; }
  bool Has(int32_t g) const { return (bits_[static_cast<size_t>(g) >> 6] >> (g & 63) & 1u) != 0; }
  // The solid voxel's number (in grid order), or -1.
  int32_t Find(int32_t g) const {
    const size_t w = static_cast<size_t>(g) >> 6;
    const uint64_t bit = uint64_t{1} << (g & 63);
    if ((bits_[w] & bit) == 0) return -1;
    return rank_[w] + PopCount(bits_[w] & (bit - 1));
  }
  // The grid index of every solid voxel, by number.
  std::vector<int32_t> GridIndices() const {
    std::vector<int32_t> out;
    out.reserve(static_cast<size_t>(size_));
    for (size_t w = 0; w < bits_.size(); ++w) {
      for (uint64_t bits = bits_[w]; bits != 0; bits &= bits - 1) {
        out.push_back(static_cast<int32_t>(w * 64 + static_cast<size_t>(PopCount((bits & (~bits + 1)) - 1))));
      }
    }
    return out;
  }

 private:
  std::vector<uint64_t> bits_;
  std::vector<int32_t> rank_;
  int32_t size_ = 0;
};

struct Neighbour {
  int32_t offset;
  float step;  // 1, sqrt 2 or sqrt 3 voxels
};

std::array<Neighbour, 26> AllNeighbours(const Grid& grid) {
  std::array<Neighbour, 26> out{};
  size_t k = 0;
  for (int dz = -1; dz <= 1; ++dz) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const int axes = std::abs(dx) + std::abs(dy) + std::abs(dz);
        if (axes == 0) continue;
        out[k++] = {(dz * grid.n[1] + dy) * grid.n[0] + dx,
                    static_cast<float>(std::sqrt(static_cast<double>(axes)))};
      }
    }
  }
  return out;
}

// The solid with what the distance passes need. Solid voxels never lie on the
// border (it is outside), so all 26 neighbours of one are in the grid.
struct Solid {
  const Grid& grid;
  SolidSet set;
  std::vector<int32_t> cells;  // grid index by solid number
  std::array<Neighbour, 26> neighbours;

  Solid(const Grid& g, const std::vector<uint8_t>& labels)
      : grid(g), set(labels), cells(set.GridIndices()), neighbours(AllNeighbours(g)) {}
  int32_t Size() const { return set.Size(); }
};

// Connected pieces of the solid (26 neighbours, as the distances move) and
// each piece's boundary voxels (those with a face neighbour outside), which
// are the piece's voxels nearest to anything outside it.
struct Pieces {
  int count = 0;
  std::vector<int32_t> of;              // piece by solid number
  std::vector<int32_t> boundary_start;  // boundary voxels of piece p: boundary[start[p] .. start[p + 1])
  std::vector<int32_t> boundary;
};

Pieces FindPieces(const Solid& solid) {
  Pieces pieces;
  const int32_t size = solid.Size();
  pieces.of.assign(static_cast<size_t>(size), -1);
  std::vector<int32_t> stack;
  for (int32_t s = 0; s < size; ++s) {
    if (pieces.of[static_cast<size_t>(s)] >= 0) continue;
    const int32_t piece = pieces.count++;
    pieces.of[static_cast<size_t>(s)] = piece;
    stack.push_back(s);
    while (!stack.empty()) {
      const int32_t v = stack.back();
      stack.pop_back();
      const int32_t g = solid.cells[static_cast<size_t>(v)];
      for (const Neighbour& n : solid.neighbours) {
        const int32_t u = solid.set.Find(g + n.offset);
        if (u < 0 || pieces.of[static_cast<size_t>(u)] >= 0) continue;
        pieces.of[static_cast<size_t>(u)] = piece;
        stack.push_back(u);
      }
    }
  }
  const std::array<int32_t, 6> faces = FaceOffsets(solid.grid);
  std::vector<int32_t> boundary;
  pieces.boundary_start.assign(static_cast<size_t>(pieces.count) + 1, 0);
  for (int32_t s = 0; s < size; ++s) {
    const int32_t g = solid.cells[static_cast<size_t>(s)];
    for (int32_t o : faces) {
      if (!solid.set.Has(g + o)) {
        boundary.push_back(s);
        ++pieces.boundary_start[static_cast<size_t>(pieces.of[static_cast<size_t>(s)]) + 1];
        break;
      }
    }
  }
  for (int p = 0; p < pieces.count; ++p) {
    pieces.boundary_start[static_cast<size_t>(p) + 1] += pieces.boundary_start[static_cast<size_t>(p)];
  }
  pieces.boundary.resize(boundary.size());
  std::vector<int32_t> fill(pieces.boundary_start.begin(), pieces.boundary_start.end() - 1);
  for (int32_t s : boundary) {
    pieces.boundary[static_cast<size_t>(fill[static_cast<size_t>(pieces.of[static_cast<size_t>(s)])]++)] = s;
  }
  return pieces;
}

// ---------------------------------------------------------------- bones and seeds

struct Seed {
  int32_t voxel;  // solid number
  float distance;
};

// Clips the segment to the box, in place; false when nothing of it is inside.
bool ClipSegment(D3& a, D3& b, const D3& lo, const D3& hi) {
  double t0 = 0.0, t1 = 1.0;
  const D3 d = Sub(b, a);
  for (int k = 0; k < 3; ++k) {
    if (d[k] == 0.0) {
      if (a[k] < lo[k] || a[k] > hi[k]) return false;
      continue;
    }
    double ta = (lo[k] - a[k]) / d[k], tb = (hi[k] - a[k]) / d[k];
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta);
    t1 = std::min(t1, tb);
    if (t0 > t1) return false;
  }
  const D3 start = a;
  for (int k = 0; k < 3; ++k) {
    a[k] = start[k] + d[k] * t0;
    b[k] = start[k] + d[k] * t1;
  }
  return true;
}

// The seeds of one bone (head and tail in voxel units): the solid voxels it
// passes through; for every piece of solid it passes through nowhere, the
// piece's boundary voxels within a voxel of the nearest one, at their
// straight-line distance. `scratch` (solid size, all infinite) is left so.
std::vector<Seed> BoneSeeds(const Solid& solid, const Pieces& pieces, const D3& head, const D3& tail,
                            std::vector<float>& scratch) {
  std::vector<int32_t> touched;
  std::vector<uint8_t> piece_hit(static_cast<size_t>(pieces.count), 0);
  const Grid& grid = solid.grid;
  D3 a = head, b = tail;
  if (ClipSegment(a, b, {-1.0, -1.0, -1.0}, {grid.n[0] + 1.0, grid.n[1] + 1.0, grid.n[2] + 1.0})) {
    const D3 d = Sub(b, a);
    const int steps = static_cast<int>(std::ceil(std::sqrt(Dot(d, d)) * 2.0));
    for (int s = 0; s <= steps; ++s) {
      const double t = steps > 0 ? static_cast<double>(s) / steps : 0.0;
      std::array<int, 3> base{};
      for (int k = 0; k < 3; ++k) base[k] = static_cast<int>(std::floor(a[k] + d[k] * t));
      for (int dz = -1; dz <= 1; ++dz) {
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int x = base[0] + dx, y = base[1] + dy, z = base[2] + dz;
            if (x < 0 || y < 0 || z < 0 || x >= grid.n[0] || y >= grid.n[1] || z >= grid.n[2]) continue;
            const int32_t v = solid.set.Find(grid.Index(x, y, z));
            if (v < 0) continue;
            const double dist = SegmentDistance({x + 0.5, y + 0.5, z + 0.5}, head, tail);
            if (dist > kSeedRadius || !(dist < scratch[static_cast<size_t>(v)])) continue;
            if (scratch[static_cast<size_t>(v)] == kInfinity) touched.push_back(v);
            scratch[static_cast<size_t>(v)] = static_cast<float>(dist);
            piece_hit[static_cast<size_t>(pieces.of[static_cast<size_t>(v)])] = 1;
          }
        }
      }
    }
  }
  std::vector<Seed> seeds;
  seeds.reserve(touched.size());
  for (int32_t v : touched) {
    seeds.push_back({v, scratch[static_cast<size_t>(v)]});
    scratch[static_cast<size_t>(v)] = kInfinity;
  }
  std::vector<double> gaps;
  for (int p = 0; p < pieces.count; ++p) {
    if (piece_hit[static_cast<size_t>(p)] != 0) continue;
    const auto first = static_cast<size_t>(pieces.boundary_start[static_cast<size_t>(p)]);
    const auto last = static_cast<size_t>(pieces.boundary_start[static_cast<size_t>(p) + 1]);
    gaps.clear();
    double nearest = std::numeric_limits<double>::infinity();
    for (size_t i = first; i < last; ++i) {
      const double gap =
          SegmentDistance(grid.Centre(solid.cells[static_cast<size_t>(pieces.boundary[i])]), head, tail);
      gaps.push_back(gap);
      nearest = std::min(nearest, gap);
    }
    for (size_t i = first; i < last; ++i) {
      const double gap = gaps[i - first];
      if (gap <= nearest + 1.0)
        seeds.push_back({pieces.boundary[i], static_cast<float>(std::min(gap, kFarDistance))});
    }
  }
  std::stable_sort(seeds.begin(), seeds.end(),
                   [](const Seed& x, const Seed& y) { return x.distance < y.distance; });
  return seeds;
}

// ---------------------------------------------------------------- distances

// Dijkstra's queue in buckets one voxel wide: every step is at least a voxel
// long, so when the bucket of distances [i, i + 1) comes up none of its
// voxels can still improve, and the order inside a bucket does not matter.
// Steps are shorter than two voxels, so four buckets in a ring suffice. A
// voxel is queued again only when its distance moves to another bucket; the
// stale entry is skipped because its distance no longer falls in the bucket.
class BucketQueue {
 public:
  static int64_t Bucket(float d) { return static_cast<int64_t>(d); }
  std::vector<int32_t>& Slot(int64_t bucket) { return slots_[static_cast<size_t>(bucket & 3)]; }
  bool Empty() const {
    return std::all_of(slots_.begin(), slots_.end(), [](const std::vector<int32_t>& s) { return s.empty(); });
  }
  // Lowers dist[v] to d, queueing v unless it already waits in d's bucket.
  void Lower(std::vector<float>& dist, int32_t v, float d) {
    float& current = dist[static_cast<size_t>(v)];
    const bool queued = current != kInfinity && Bucket(current) == Bucket(d);
    current = d;
    if (!queued) Slot(Bucket(d)).push_back(v);
  }

 private:
  std::array<std::vector<int32_t>, 4> slots_;
};

// Runs Dijkstra from `seeds` (sorted by distance). `accept(v, d)` says whether
// voxel v may take distance d (the pruning), `lowered(v, from)` hears that v
// took a shorter distance by way of voxel `from` (-1 - i for seed i), and
// `settle(v, d)` hears each voxel's final distance once.
template <typename Accept, typename Lowered, typename Settle>
void Propagate(const Solid& solid, const std::vector<Seed>& seeds, std::vector<float>& dist,
               BucketQueue& queue, Accept&& accept, Lowered&& lowered, Settle&& settle) {
  size_t next = 0;
  int64_t bucket = seeds.empty() ? 0 : BucketQueue::Bucket(seeds.front().distance);
  for (;;) {
    for (; next < seeds.size() && BucketQueue::Bucket(seeds[next].distance) <= bucket; ++next) {
      const Seed& seed = seeds[next];
      if (!(seed.distance < dist[static_cast<size_t>(seed.voxel)]) || !accept(seed.voxel, seed.distance))
        continue;
      queue.Lower(dist, seed.voxel, seed.distance);
      lowered(seed.voxel, -1 - static_cast<int32_t>(next));
    }
    std::vector<int32_t>& slot = queue.Slot(bucket);
    for (size_t i = 0; i < slot.size(); ++i) {  // relaxing fills later buckets only
      const int32_t v = slot[i];
      const float d = dist[static_cast<size_t>(v)];
      if (BucketQueue::Bucket(d) != bucket) continue;
      settle(v, d);
      const int32_t g = solid.cells[static_cast<size_t>(v)];
      for (const Neighbour& n : solid.neighbours) {
        const int32_t u = solid.set.Find(g + n.offset);
        if (u < 0) continue;
        const float nd = d + n.step;
        if (!(nd < dist[static_cast<size_t>(u)]) || !accept(u, nd)) continue;
        queue.Lower(dist, u, nd);
        lowered(u, v);
      }
    }
    slot.clear();
    ++bucket;
    if (queue.Empty()) {
      if (next == seeds.size()) break;
      bucket = std::max(bucket, BucketQueue::Bucket(seeds[next].distance));
    }
  }
}

// Every voxel's distance to its nearest bone, and that bone's index.
void NearestBoneDistances(const Solid& solid, const std::vector<std::vector<Seed>>& seeds,
                          std::vector<float>& d_min, std::vector<int32_t>& nearest) {
  std::vector<Seed> all;
  std::vector<int32_t> bone_of;
  for (size_t b = 0; b < seeds.size(); ++b) all.insert(all.end(), seeds[b].begin(), seeds[b].end());
  for (size_t b = 0; b < seeds.size(); ++b)
    bone_of.insert(bone_of.end(), seeds[b].size(), static_cast<int32_t>(b));
  std::vector<size_t> order(all.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t x, size_t y) { return all[x].distance < all[y].distance; });
  std::vector<Seed> sorted;
  std::vector<int32_t> sorted_bone;
  for (size_t i : order) {
    sorted.push_back(all[i]);
    sorted_bone.push_back(bone_of[i]);
  }
  d_min.assign(static_cast<size_t>(solid.Size()), kInfinity);
  nearest.assign(static_cast<size_t>(solid.Size()), -1);
  BucketQueue queue;
  Propagate(
      solid, sorted, d_min, queue, [](int32_t, float) { return true; },
      [&](int32_t v, int32_t from) {
        nearest[static_cast<size_t>(v)] =
            from < 0 ? sorted_bone[static_cast<size_t>(-1 - from)] : nearest[static_cast<size_t>(from)];
      },
      [](int32_t, float) {});
}

// Per voxel, a list of (bone id, weight), linked through `next`. Only the
// voxels some vertex reads keep weights: most of the solid lies deeper inside
// and only carries distances.
struct VoxelWeights {
  struct Entry {
    int32_t bone;
    float weight;
    int32_t next;
  };
  std::vector<uint8_t> needed;  // by solid number
  std::vector<int32_t> head;    // first entry by solid number, -1 for none
  std::vector<Entry> entries;

  void Add(int32_t voxel, int32_t bone, float weight) {
    entries.push_back({bone, weight, head[static_cast<size_t>(voxel)]});
    head[static_cast<size_t>(voxel)] = static_cast<int32_t>(entries.size() - 1);
  }
};

float Cutoff(float d_min, float falloff) { return (1.0f + falloff) * d_min + kMarginVoxels; }

// A bone's weight at a voxel: the inverse square of its distance (offset by
// a voxel, so that a voxel on a bone stays finite) relative to the nearest
// bone's, times a window that is 1 at the nearest bone's distance and
// smoothly reaches exactly 0 at the cutoff.
float BoneWeight(float d, float d_min, float falloff) {
  const float cutoff = Cutoff(d_min, falloff);
  const float t = std::clamp((cutoff - d) / (cutoff - d_min), 0.0f, 1.0f);
  const float ratio = (d_min + 1.0f) / (std::max(d, d_min) + 1.0f);
  return t * t * (3.0f - 2.0f * t) * ratio * ratio;
}

// One bone's distances where they stay within each voxel's cutoff; every
// voxel reached gets the bone's weight. `seeds` are sorted by distance;
// `dist` (solid size, all infinite) is left so.
void AddBoneWeights(const Solid& solid, const std::vector<Seed>& seeds, const std::vector<float>& d_min,
                    float falloff, int32_t bone_id, std::vector<float>& dist, BucketQueue& queue,
                    std::vector<int32_t>& touched, VoxelWeights& out) {
  touched.clear();
  Propagate(
      solid, seeds, dist, queue,
      [&](int32_t v, float d) {
        if (d > Cutoff(d_min[static_cast<size_t>(v)], falloff)) return false;
        if (dist[static_cast<size_t>(v)] == kInfinity) touched.push_back(v);
        return true;
      },
      [](int32_t, int32_t) {},
      [&](int32_t v, float d) {
        if (out.needed[static_cast<size_t>(v)] == 0) return;
        const float w = BoneWeight(d, d_min[static_cast<size_t>(v)], falloff);
        if (w > kVoxelWeightFloor) out.Add(v, bone_id, w);
      });
  for (int32_t v : touched) dist[static_cast<size_t>(v)] = kInfinity;
}

// Scales every voxel's weights to sum 1; a voxel left without any (the
// pruning is conservative) takes its nearest bone alone.
void NormaliseVoxelWeights(const std::vector<int32_t>& nearest, const std::vector<RigBone>& bones,
                           const std::vector<int>& usable, VoxelWeights& weights) {
  for (size_t v = 0; v < weights.head.size(); ++v) {
    if (weights.needed[v] == 0) continue;
    float sum = 0.0f;
    for (int32_t e = weights.head[v]; e >= 0; e = weights.entries[static_cast<size_t>(e)].next) {
      sum += weights.entries[static_cast<size_t>(e)].weight;
    }
    if (sum > 0.0f) {
      const float inv = 1.0f / sum;
      for (int32_t e = weights.head[v]; e >= 0; e = weights.entries[static_cast<size_t>(e)].next) {
        weights.entries[static_cast<size_t>(e)].weight *= inv;
      }
    } else {
      const int bone = usable[static_cast<size_t>(std::max(nearest[v], 0))];
      weights.Add(static_cast<int32_t>(v), bones[static_cast<size_t>(bone)].id, 1.0f);
    }
  }
}

// For each grid voxel, a solid voxel near it (breadth first over 26
// neighbours from the solid, so within about a voxel of the nearest): made
// only when some vertex lies off the solid.
std::vector<int32_t> NearestSolidMap(const Solid& solid) {
  const Grid& grid = solid.grid;
  std::vector<int32_t> map(static_cast<size_t>(grid.Count()), -1);
  std::vector<int32_t> front, next;
  for (int32_t s = 0; s < solid.Size(); ++s) {
    map[static_cast<size_t>(solid.cells[static_cast<size_t>(s)])] = s;
    front.push_back(solid.cells[static_cast<size_t>(s)]);
  }
  while (!front.empty()) {
    for (int32_t g : front) {
      const std::array<int, 3> c = grid.Coords(g);
      for (int dz = -1; dz <= 1; ++dz) {
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int x = c[0] + dx, y = c[1] + dy, z = c[2] + dz;
            if (x < 0 || y < 0 || z < 0 || x >= grid.n[0] || y >= grid.n[1] || z >= grid.n[2]) continue;
            const int32_t u = grid.Index(x, y, z);
            if (map[static_cast<size_t>(u)] >= 0) continue;
            map[static_cast<size_t>(u)] = map[static_cast<size_t>(g)];
            next.push_back(u);
          }
        }
      }
    }
    front.swap(next);
    next.clear();
  }
  return map;
}

// ---------------------------------------------------------------- records

struct BoneShare {
  int32_t bone;
  float weight;
};

void AddShare(std::vector<BoneShare>& shares, int32_t bone, float weight) {
  for (BoneShare& s : shares) {
    if (s.bone == bone) {
      s.weight += weight;
      return;
    }
  }
  shares.push_back({bone, weight});
}

void AddVoxelShares(const VoxelWeights& weights, int32_t voxel, float scale, std::vector<BoneShare>& shares) {
  for (int32_t e = weights.head[static_cast<size_t>(voxel)]; e >= 0;
       e = weights.entries[static_cast<size_t>(e)].next) {
    const VoxelWeights::Entry& entry = weights.entries[static_cast<size_t>(e)];
    AddShare(shares, entry.bone, scale * entry.weight);
  }
}

// The strongest max_bones shares, without those below kDropShare of the
// total, normalised into the record (its colour bytes stay).
void WriteRecord(std::vector<BoneShare>& shares, int max_bones, VWeight& rec) {
  std::stable_sort(shares.begin(), shares.end(),
                   [](const BoneShare& a, const BoneShare& b) { return a.weight > b.weight; });
  float total = 0.0f;
  for (const BoneShare& s : shares) total += s.weight;
  Init(rec);
  int n = 0;
  // Shares are positive by construction; should they all vanish, the first
  // bone alone still gives a sound record.
  const float strongest = shares.front().weight;
  const int limit = strongest > 0.0f ? max_bones : 1;
  for (const BoneShare& s : shares) {
    if (n == limit || (n > 0 && !(s.weight >= kDropShare * total))) break;
    // Relative to the strongest, so that Normalize always sees a sum of at least 1.
    rec.entries[n++] = VWeightEntry{s.bone, limit > 1 ? s.weight / strongest : 1.0f};
  }
  for (int i = n; i < kMaxWeightEntries; ++i) rec.entries[i] = VWeightEntry{};
  rec.head = static_cast<uint8_t>(VWeight::kValidBit | n << 1);
  Normalize(rec);
}

void WriteOwn(int32_t bone, VWeight& rec) {
  std::vector<BoneShare> shares{{bone, 1.0f}};
  WriteRecord(shares, 1, rec);
}

}  // namespace

AutoWeightReport ComputeAutoWeights(const RigMesh& mesh, const std::vector<RigBone>& bones,
                                    const AutoWeightOptions& options, const std::vector<uint8_t>& selected,
                                    std::vector<VWeight>& weights) {
  AutoWeightReport report;
  const int vertex_count = mesh.VertexCount();
  auto is_selected = [&](int v) {
    return selected.empty() ||
           (static_cast<size_t>(v) < selected.size() && selected[static_cast<size_t>(v)] != 0);
  };
  if (bones.empty()) {
    report.status = AutoWeightStatus::kNoBones;
    return report;
  }
  bool any_selected = false;
  for (int v = 0; v < vertex_count && !any_selected; ++v) any_selected = is_selected(v);
  if (!any_selected) {
    report.status = AutoWeightStatus::kNoVertices;
    return report;
  }
  constexpr double kHuge = std::numeric_limits<double>::max();
  D3 lo{kHuge, kHuge, kHuge}, hi{-kHuge, -kHuge, -kHuge};
  const int usable_faces = ForEachTriangle(mesh, [&](int32_t a, int32_t b, int32_t c) {
    for (int32_t v : {a, b, c}) {
      const FVECTOR3& p = mesh.positions[static_cast<size_t>(v)];
      const D3 q = {p.x, p.y, p.z};
      for (int k = 0; k < 3; ++k) {
        lo[k] = std::min(lo[k], q[k]);
        hi[k] = std::max(hi[k], q[k]);
      }
    }
  });
  if (usable_faces == 0) {
    report.status = AutoWeightStatus::kNoFaces;
    return report;
  }

  const int resolution = std::clamp(options.resolution, 16, 512);
  const float falloff = std::isfinite(options.falloff) ? std::clamp(options.falloff, 0.05f, 4.0f) : 1.0f;
  const int max_bones = std::clamp(options.max_bones, 1, kMaxWeightEntries);

  const size_t old_size = weights.size();
  weights.resize(static_cast<size_t>(vertex_count));
  for (size_t v = old_size; v < weights.size(); ++v) Init(weights[v]);

  // Bones with a non-finite end cannot be placed and take no weight; when no
  // bone can, every vertex goes to the first bone of the list.
  std::vector<int> usable;
  for (size_t b = 0; b < bones.size(); ++b) {
    if (Finite(bones[b].head) && Finite(bones[b].tail)) usable.push_back(static_cast<int>(b));
  }
  auto write_first_bone = [&](int v) {
    WriteOwn(bones.front().id, weights[static_cast<size_t>(v)]);
    ++report.vertices_written;
  };
  if (usable.empty()) {
    for (int v = 0; v < vertex_count; ++v) {
      if (!is_selected(v)) continue;
      write_first_bone(v);
      if (!Finite(mesh.positions[static_cast<size_t>(v)])) ++report.vertices_unplaced;
    }
    return report;
  }

  const Grid grid = MakeGrid(lo, hi, resolution);
  report.grid_x = grid.n[0];
  report.grid_y = grid.n[1];
  report.grid_z = grid.n[2];
  std::vector<uint8_t> labels = Voxelise(mesh, grid);
  const Solid solid(grid, labels);
  std::vector<uint8_t>().swap(labels);
  report.solid_voxels = solid.Size();

  // The solid voxel centres around a finite vertex with their trilinear
  // shares (those with a share, that is).
  auto for_each_corner = [&](const FVECTOR3& p, auto&& fn) {
    const D3 u = grid.ToVoxel(p);
    std::array<int, 3> base{};
    D3 frac{};
    for (int k = 0; k < 3; ++k) {
      const double c = std::clamp(u[k] - 0.5, 0.0, grid.n[k] - 1.0);
      base[k] = std::min(static_cast<int>(std::floor(c)), grid.n[k] - 2);
      frac[k] = c - base[k];
    }
    for (int corner = 0; corner < 8; ++corner) {
      double alpha = 1.0;
      for (int k = 0; k < 3; ++k) alpha *= (corner >> k & 1) != 0 ? frac[k] : 1.0 - frac[k];
      // The corner nearest to the vertex has a share of at least 1/8; tiny
      // shares would vanish in float.
      if (!(alpha > 1e-6)) continue;
      const int32_t s = solid.set.Find(
          grid.Index(base[0] + (corner & 1), base[1] + (corner >> 1 & 1), base[2] + (corner >> 2 & 1)));
      if (s >= 0) fn(s, static_cast<float>(alpha));
    }
  };

  // The voxels the selected vertices read. A vertex with no solid voxel
  // around it (a loose one, in no usable face) takes the weights of a solid
  // voxel nearest to it.
  VoxelWeights voxel_weights;
  voxel_weights.needed.assign(static_cast<size_t>(solid.Size()), 0);
  std::vector<std::pair<int, int32_t>> off_solid;  // (vertex, solid voxel)
  {
    std::vector<int32_t> nearest_solid;
    for (int v = 0; v < vertex_count; ++v) {
      const FVECTOR3& p = mesh.positions[static_cast<size_t>(v)];
      if (!is_selected(v) || !Finite(p)) continue;
      bool inside = false;
      for_each_corner(p, [&](int32_t s, float) {
        voxel_weights.needed[static_cast<size_t>(s)] = 1;
        inside = true;
      });
      if (inside) continue;
      if (nearest_solid.empty()) nearest_solid = NearestSolidMap(solid);
      const D3 u = grid.ToVoxel(p);
      std::array<int, 3> cell{};
      for (int k = 0; k < 3; ++k)
        cell[k] = static_cast<int>(std::clamp(std::floor(u[k]), 0.0, grid.n[k] - 1.0));
      const int32_t s = nearest_solid[static_cast<size_t>(grid.Index(cell[0], cell[1], cell[2]))];
      voxel_weights.needed[static_cast<size_t>(s)] = 1;
      off_solid.emplace_back(v, s);
    }
  }

  {
    std::vector<float> scratch(static_cast<size_t>(solid.Size()), kInfinity);
    std::vector<std::vector<Seed>> seeds(usable.size());
    {
      const Pieces pieces = FindPieces(solid);
      for (size_t i = 0; i < usable.size(); ++i) {
        const RigBone& bone = bones[static_cast<size_t>(usable[i])];
        seeds[i] = BoneSeeds(solid, pieces, grid.ToVoxel(bone.head), grid.ToVoxel(bone.tail), scratch);
      }
    }
    std::vector<float> d_min;
    std::vector<int32_t> nearest;
    NearestBoneDistances(solid, seeds, d_min, nearest);
    voxel_weights.head.assign(static_cast<size_t>(solid.Size()), -1);
    BucketQueue queue;
    std::vector<int32_t> touched;
    for (size_t i = 0; i < usable.size(); ++i) {
      AddBoneWeights(solid, seeds[i], d_min, falloff, bones[static_cast<size_t>(usable[i])].id, scratch,
                     queue, touched, voxel_weights);
    }
    NormaliseVoxelWeights(nearest, bones, usable, voxel_weights);
  }

  std::vector<BoneShare> shares;
  for (int v = 0; v < vertex_count; ++v) {
    if (!is_selected(v)) continue;
    const FVECTOR3& p = mesh.positions[static_cast<size_t>(v)];
    if (!Finite(p)) {
      write_first_bone(v);
      ++report.vertices_unplaced;
      continue;
    }
    shares.clear();
    for_each_corner(p, [&](int32_t s, float alpha) { AddVoxelShares(voxel_weights, s, alpha, shares); });
    if (shares.empty()) continue;  // off the solid: below
    WriteRecord(shares, max_bones, weights[static_cast<size_t>(v)]);
    ++report.vertices_written;
  }
  for (const auto& [v, s] : off_solid) {
    shares.clear();
    AddVoxelShares(voxel_weights, s, 1.0f, shares);
    WriteRecord(shares, max_bones, weights[static_cast<size_t>(v)]);
    ++report.vertices_written;
    ++report.vertices_snapped;
  }
  return report;
}

}  // namespace quorvel
