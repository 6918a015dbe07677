// Edge neighbours of a mesh, smoothing weights over them, and limiting the
// bones a vertex keeps.
#include "rig/weight_smooth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "rig/weight_record.h"

using namespace quorvel;

namespace {

constexpr int32_t A = 11, B = 22, C = 33, D = 44, E = 55;

VWeight Record(std::initializer_list<VWeightEntry> entries) {
  VWeight rec;
  Init(rec);
  for (const VWeightEntry& e : entries) {
    const int n = Count(rec);
    rec.entries[n] = e;
    rec.head = static_cast<uint8_t>(VWeight::kValidBit | ((n + 1) << 1));
  }
  return rec;
}

// Bytes a record keeps where it is unused, so that a test sees them touched.
VWeight Marked(VWeight rec, uint8_t colour) {
  rec.colour[0] = colour;
  rec.colour[1] = static_cast<uint8_t>(colour + 1);
  rec.colour[2] = static_cast<uint8_t>(colour + 2);
  for (int k = Count(rec); k < kMaxWeightEntries; ++k) rec.entries[k] = VWeightEntry{-7, 12.5f};
  return rec;
}

bool SameBytes(const VWeight& a, const VWeight& b) { return std::memcmp(&a, &b, sizeof(VWeight)) == 0; }

float WeightOf(const VWeight& rec, int32_t bone) {
  const int at = FindBone(rec, bone);
  return at >= 0 ? rec.entries[at].weight : 0.0f;
}

float Sum(const VWeight& rec) {
  float sum = 0.0f;
  for (int k = 0; k < Count(rec); ++k) sum += rec.entries[k].weight;
  return sum;
}

std::vector<std::vector<int32_t>> Rows(const MeshAdjacency& adjacency) {
  std::vector<std::vector<int32_t>> rows;
  for (std::size_t v = 0; v + 1 < adjacency.start.size(); ++v) {
    rows.emplace_back(adjacency.neighbours.begin() + adjacency.start[v],
                      adjacency.neighbours.begin() + adjacency.start[v + 1]);
  }
  return rows;
}

RigMesh MeshOf(int vertices, std::initializer_list<std::initializer_list<int32_t>> faces) {
  RigMesh mesh;
  for (int i = 0; i < vertices; ++i) mesh.positions.push_back(FVECTOR3(static_cast<float>(i), 0, 0));
  for (const auto& f : faces) mesh.AddFace(f);
  return mesh;
}

// A path 0 - 1 - ... - (n-1): lines of two vertices.
MeshAdjacency Path(int n) {
  RigMesh mesh = MeshOf(n, {});
  for (int i = 0; i + 1 < n; ++i) mesh.AddFace({i, i + 1});
  return BuildAdjacency(mesh);
}

// ---------------------------------------------------------------------------
// Adjacency

TEST(BuildAdjacency, UniqueEdgeNeighboursOfFacesAndLines) {
  struct Case {
    const char* what;
    RigMesh mesh;
    std::vector<std::vector<int32_t>> rows;
  };
  RigMesh bad_start = MeshOf(3, {{0, 1, 2}});
  bad_start.face_start.push_back(99);  // a second face past the corner list
  RigMesh no_start = MeshOf(2, {});
  no_start.face_start.clear();
  const Case cases[] = {
      {"quad, closing edge included", MeshOf(4, {{0, 1, 2, 3}}), {{1, 3}, {0, 2}, {1, 3}, {0, 2}}},
      {"two triangles share an edge once",
       MeshOf(4, {{0, 1, 2}, {0, 2, 3}}),
       {{1, 2, 3}, {0, 2}, {0, 1, 3}, {0, 2}}},
      {"same edge in both directions", MeshOf(3, {{0, 1, 2}, {2, 1, 0}}), {{1, 2}, {0, 2}, {0, 1}}},
      {"line of two vertices: one edge", MeshOf(3, {{0, 2}}), {{2}, {}, {0}}},
      {"a single point: no edge", MeshOf(2, {{1}}), {{}, {}}},
      {"edges to invalid indices skipped", MeshOf(3, {{0, 1, -1, 2, 7}}), {{1}, {0}, {}}},
      {"self edges skipped", MeshOf(3, {{0, 0, 1, 2, 2}}), {{1, 2}, {0, 2}, {0, 1}}},
      {"face range past the corners", bad_start, {{1, 2}, {0, 2}, {0, 1}}},
      {"no face list", no_start, {{}, {}}},
      {"no vertices", MeshOf(0, {{0, 1, 2}}), {}},
  };
  for (const Case& c : cases) {
    const MeshAdjacency adjacency = BuildAdjacency(c.mesh);
    ASSERT_EQ(adjacency.start.size(), c.mesh.positions.size() + 1) << c.what;
    EXPECT_EQ(Rows(adjacency), c.rows) << c.what;
  }
}

// ---------------------------------------------------------------------------
// Smoothing

SmoothOptions Options(int iterations, float strength, int max_bones = kMaxWeightEntries) {
  SmoothOptions options;
  options.iterations = iterations;
  options.strength = strength;
  options.max_bones = max_bones;
  return options;
}

TEST(SmoothWeights, LeavesVerticesAmongTheirOwnWeightsBitForBit) {
  // Weights that do not sum to exactly 1 in float: renormalising would move
  // them. The neighbours list the same bones in other orders.
  const VWeight own = Marked(Record({{A, 0.1f}, {B, 0.2f}, {C, 0.7000001f}}), 40);
  const std::vector<VWeight> original = {
      own,
      Marked(Record({{C, 0.7000001f}, {A, 0.1f}, {B, 0.2f}}), 50),
      Marked(Record({{B, 0.2f}, {C, 0.7000001f}, {A, 0.1f}}), 60),
      own,
  };
  std::vector<VWeight> weights = original;
  EXPECT_EQ(SmoothWeights(Path(4), {}, Options(5, 1.0f, 2), weights), 0);
  for (std::size_t v = 0; v < weights.size(); ++v) EXPECT_TRUE(SameBytes(weights[v], original[v])) << v;
}

TEST(SmoothWeights, PullsASpikeTowardItsNeighbours) {
  // Path 0 - 1 - 2: the middle vertex alone holds bone B.
  std::vector<VWeight> weights = {Record({{A, 1.0f}}), Record({{B, 1.0f}}), Record({{A, 1.0f}})};
  std::vector<uint8_t> only_middle = {0, 1, 0};
  EXPECT_EQ(SmoothWeights(Path(3), only_middle, Options(1, 0.25f), weights), 1);
  EXPECT_NEAR(WeightOf(weights[1], A), 0.25f, 1e-6f);
  EXPECT_NEAR(WeightOf(weights[1], B), 0.75f, 1e-6f);
  EXPECT_EQ(weights[1].entries[0].bone, B) << "the vertex's own bone keeps its place";
  // More iterations come closer still.
  EXPECT_EQ(SmoothWeights(Path(3), only_middle, Options(3, 0.25f), weights), 1);
  EXPECT_NEAR(WeightOf(weights[1], B), 0.75f * 0.75f * 0.75f * 0.75f, 1e-5f);
}

TEST(SmoothWeights, EveryIterationReadsThePreviousOne) {
  // Path 0 - 1 - 2 with full strength: vertex 0 becomes its neighbour's B,
  // and vertex 1 the mean of the old 0 (A) and 2 (B), not of the new 0.
  std::vector<VWeight> weights = {Record({{A, 1.0f}}), Record({{B, 1.0f}}), Record({{B, 1.0f}})};
  EXPECT_EQ(SmoothWeights(Path(3), {}, Options(1, 1.0f), weights), 2);
  EXPECT_EQ(Count(weights[0]), 1);
  EXPECT_EQ(weights[0].entries[0].bone, B);
  EXPECT_NEAR(WeightOf(weights[1], A), 0.5f, 1e-6f);
  EXPECT_NEAR(WeightOf(weights[1], B), 0.5f, 1e-6f);
  EXPECT_EQ(WeightOf(weights[2], B), 1.0f) << "vertex 2 sees only its own weights";
}

TEST(SmoothWeights, EntryOrderOfTheNeighboursDoesNotMatter) {
  // Path 0 - 1 - 2; vertex 1 is smoothed. Its neighbours name the same bones
  // in its own order or in another one: the same weights must come out.
  const VWeight middle = Record({{A, 0.5f}, {B, 0.5f}});
  const VWeight same_order[] = {Record({{A, 0.9f}, {B, 0.1f}}), Record({{A, 0.3f}, {B, 0.7f}})};
  const VWeight other_order[] = {Record({{B, 0.1f}, {A, 0.9f}}), Record({{A, 0.3f}, {B, 0.7f}})};
  std::vector<VWeight> first = {same_order[0], middle, same_order[1]};
  std::vector<VWeight> second = {other_order[0], middle, other_order[1]};
  const std::vector<uint8_t> only_middle = {0, 1, 0};
  EXPECT_EQ(SmoothWeights(Path(3), only_middle, Options(1, 0.3f), first), 1);
  EXPECT_EQ(SmoothWeights(Path(3), only_middle, Options(1, 0.3f), second), 1);
  EXPECT_TRUE(SameBytes(first[1], second[1]));
  EXPECT_NEAR(WeightOf(first[1], A), 0.7f * 0.5f + 0.3f * 0.6f, 1e-6f);
  EXPECT_NEAR(WeightOf(first[1], B), 0.7f * 0.5f + 0.3f * 0.4f, 1e-6f);
}

TEST(SmoothWeights, RecordsWithoutWeightsNeitherChangeNorCount) {
  VWeight invalid = Record({{C, 1.0f}});
  invalid.head &= static_cast<uint8_t>(~VWeight::kValidBit);
  VWeight not_finite = Record({{D, NAN}, {A, 0.5f}});
  // Star: vertex 0 in the middle of 1..5.
  RigMesh star = MeshOf(6, {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}});
  const std::vector<VWeight> original = {
      Record({{A, 1.0f}}), Record({}), invalid, not_finite, Record({{B, 1.0f}}), VWeight{},
  };
  std::vector<VWeight> weights = original;
  EXPECT_EQ(SmoothWeights(BuildAdjacency(star), {}, Options(1, 0.5f), weights), 2);
  // Only vertex 4 lends its weights to vertex 0, and vertex 0 only to 4.
  EXPECT_NEAR(WeightOf(weights[0], A), 0.5f, 1e-6f);
  EXPECT_NEAR(WeightOf(weights[0], B), 0.5f, 1e-6f);
  EXPECT_NEAR(WeightOf(weights[4], A), 0.5f, 1e-6f);
  for (std::size_t v : {1u, 2u, 3u, 5u}) EXPECT_TRUE(SameBytes(weights[v], original[v])) << v;
}

TEST(SmoothWeights, UnselectedVerticesStayButLendTheirWeights) {
  std::vector<VWeight> weights = {Record({{A, 1.0f}}), Record({{B, 1.0f}}), Record({{C, 1.0f}})};
  const std::vector<VWeight> original = weights;
  EXPECT_EQ(SmoothWeights(Path(3), {1, 1, 0}, Options(1, 1.0f), weights), 2);
  EXPECT_TRUE(SameBytes(weights[2], original[2]));
  EXPECT_NEAR(WeightOf(weights[1], A), 0.5f, 1e-6f);
  EXPECT_NEAR(WeightOf(weights[1], C), 0.5f, 1e-6f);
  EXPECT_EQ(WeightOf(weights[1], B), 0.0f);
  // A selection shorter than the records selects none past its end.
  weights = original;
  EXPECT_EQ(SmoothWeights(Path(3), {1}, Options(1, 1.0f), weights), 1);
  EXPECT_TRUE(SameBytes(weights[1], original[1]));
}

TEST(SmoothWeights, StrengthZeroChangesNothing) {
  // Not normalised and over the bone limit: still untouched.
  const std::vector<VWeight> original = {Record({{A, 0.3f}, {B, 0.3f}, {C, 0.3f}}), Record({{D, 1.0f}})};
  for (float strength : {0.0f, -1.0f, NAN}) {
    std::vector<VWeight> weights = original;
    EXPECT_EQ(SmoothWeights(Path(2), {}, Options(4, strength, 1), weights), 0) << strength;
    for (std::size_t v = 0; v < weights.size(); ++v) EXPECT_TRUE(SameBytes(weights[v], original[v])) << v;
  }
}

TEST(SmoothWeights, KeepsTheStrongestBonesSummingToOne) {
  // A grid of vertices with four bones in stripes and a few spikes; every
  // smoothed record must hold at most max_bones finite weights summing to 1.
  constexpr int kSide = 12;
  RigMesh mesh;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x)
      mesh.positions.push_back(FVECTOR3(static_cast<float>(x), static_cast<float>(y), 0));
  }
  for (int y = 0; y + 1 < kSide; ++y) {
    for (int x = 0; x + 1 < kSide; ++x) {
      const int v = y * kSide + x;
      mesh.AddFace({v, v + 1, v + kSide + 1, v + kSide});
    }
  }
  std::vector<VWeight> original;
  const int32_t bones[] = {A, B, C, D, E};
  for (int v = 0; v < kSide * kSide; ++v) {
    const int stripe = (v % kSide) / 3;
    if (v % 17 == 0) {
      original.push_back(Record({{E, 1.0f}}));
    } else {
      original.push_back(Record({{bones[stripe], 0.75f}, {bones[stripe + 1], 0.25f}}));
    }
  }
  const MeshAdjacency adjacency = BuildAdjacency(mesh);
  for (int max_bones : {0, 1, 2, 4, 9}) {
    std::vector<VWeight> weights = original;
    const int changed = SmoothWeights(adjacency, {}, Options(6, 0.6f, max_bones), weights);
    EXPECT_GT(changed, 0);
    int differing = 0;
    for (std::size_t v = 0; v < weights.size(); ++v) {
      const VWeight& rec = weights[v];
      if (SameBytes(rec, original[v])) continue;  // among its own weights all along
      ++differing;
      EXPECT_TRUE(IsValid(rec));
      EXPECT_GE(Count(rec), 1);
      EXPECT_LE(Count(rec), std::clamp(max_bones, 1, 4)) << "vertex " << v;
      for (int k = 0; k < Count(rec); ++k) EXPECT_TRUE(std::isfinite(rec.entries[k].weight));
      EXPECT_NEAR(Sum(rec), 1.0f, 1e-5f) << "vertex " << v;
    }
    EXPECT_EQ(changed, differing) << "the answer counts the changed records";
  }
}

TEST(SmoothWeights, OneIterationOverAllEqualsEachVertexAlone) {
  // Large enough to be split between threads. The first iteration reads only
  // the original weights, so a vertex smoothed alone gets the same bytes.
  constexpr int kSide = 160;
  RigMesh mesh;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x)
      mesh.positions.push_back(FVECTOR3(static_cast<float>(x), static_cast<float>(y), 0));
  }
  for (int y = 0; y + 1 < kSide; ++y) {
    for (int x = 0; x + 1 < kSide; ++x) {
      const int v = y * kSide + x;
      mesh.AddFace({v, v + 1, v + kSide + 1, v + kSide});
    }
  }
  std::vector<VWeight> original;
  for (int v = 0; v < kSide * kSide; ++v) {
    const float t = static_cast<float>((v * 7919) % 1000) / 1000.0f;
    original.push_back(Record({{A + v % 3, 0.5f + 0.4f * t}, {B, 0.5f - 0.4f * t}}));
  }
  const MeshAdjacency adjacency = BuildAdjacency(mesh);
  std::vector<VWeight> all = original;
  SmoothWeights(adjacency, {}, Options(1, 0.5f, 3), all);
  for (int v : {0, 1, kSide * kSide / 2 - 1, kSide * kSide / 2, kSide * kSide / 2 + 1, kSide * kSide - 1}) {
    std::vector<VWeight> alone = original;
    std::vector<uint8_t> selected(original.size(), 0);
    selected[static_cast<std::size_t>(v)] = 1;
    SmoothWeights(adjacency, selected, Options(1, 0.5f, 3), alone);
    EXPECT_TRUE(SameBytes(all[static_cast<std::size_t>(v)], alone[static_cast<std::size_t>(v)]))
        << "vertex " << v;
  }
}

TEST(SmoothWeights, SameResultWhateverNumberOfBonesTheMeshUses) {
  // Smoothing numbers the bones in use compactly, with narrower numbers for
  // fewer bones. Vertices off the path, each with a bone of its own, only
  // make the count grow: the path's records must come out the same.
  const std::vector<VWeight> path = {
      Record({{-5, 0.7f}, {2000000000, 0.3f}}),
      Record({{7, 1.0f}}),
      Record({{7, 0.2f}, {-5, 0.5f}, {123456, 0.3f}}),
      Record({{2000000000, 1.0f}}),
      Record({{123456, 0.6f}, {99, 0.25f}, {7, 0.1f}, {-5, 0.05f}}),
  };
  std::vector<VWeight> reference;
  for (int others : {0, 300, 70000}) {
    // The other vertices come first, so the path's bones get the highest numbers.
    const int32_t p = others;
    RigMesh mesh = MeshOf(others + 5, {{p, p + 1}, {p + 1, p + 2}, {p + 2, p + 3}, {p + 3, p + 4}});
    std::vector<VWeight> weights;
    for (int i = 0; i < others; ++i) weights.push_back(Record({{1000 + i, 1.0f}}));
    weights.insert(weights.end(), path.begin(), path.end());
    EXPECT_EQ(SmoothWeights(BuildAdjacency(mesh), {}, Options(3, 0.7f, 3), weights), 5) << others;
    const std::vector<VWeight> result(weights.begin() + others, weights.end());
    if (reference.empty()) {
      reference = result;
      continue;
    }
    for (std::size_t v = 0; v < path.size(); ++v) {
      EXPECT_TRUE(SameBytes(result[v], reference[v]))
          << "vertex " << v << " with " << others << " other bones";
    }
  }
}

// ---------------------------------------------------------------------------
// Limiting

TEST(LimitWeights, KeepsTheStrongestAndRenormalises) {
  using Entries = std::vector<VWeightEntry>;
  struct Case {
    const char* what;
    VWeight before;
    int max_bones;
    bool changed;
    Entries after;  // when changed
  };
  VWeight invalid = Record({{A, 0.1f}, {B, 0.2f}, {C, 0.3f}, {D, 0.4f}});
  invalid.head &= static_cast<uint8_t>(~VWeight::kValidBit);
  const Case cases[] = {
      {"four to two, order kept",
       Record({{A, 0.1f}, {B, 0.4f}, {C, 0.2f}, {D, 0.3f}}),
       2,
       true,
       {{B, 0.4f / 0.7f}, {D, 0.3f / 0.7f}}},
      {"four to one", Record({{A, 0.1f}, {B, 0.4f}, {C, 0.2f}, {D, 0.3f}}), 1, true, {{B, 1.0f}}},
      {"ties keep the earlier entry",
       Record({{A, 0.25f}, {B, 0.25f}, {C, 0.25f}, {D, 0.25f}}),
       3,
       true,
       {{A, 1.0f / 3}, {B, 1.0f / 3}, {C, 1.0f / 3}}},
      {"limit 0 reads as 1", Record({{A, 0.6f}, {B, 0.4f}}), 0, true, {{A, 1.0f}}},
      {"within the limit: untouched, even unnormalised", Record({{A, 0.3f}, {B, 0.3f}}), 2, false, {}},
      {"limit 9 reads as 4", Record({{A, 0.1f}, {B, 0.2f}, {C, 0.3f}, {D, 0.3f}}), 9, false, {}},
      {"no entries", Record({}), 1, false, {}},
      {"not initialised", invalid, 1, false, {}},
      {"not finite", Record({{A, NAN}, {B, 0.5f}, {C, 0.5f}}), 1, false, {}},
  };
  for (const Case& c : cases) {
    std::vector<VWeight> weights = {Marked(c.before, 90)};
    const VWeight before = weights[0];
    EXPECT_EQ(LimitWeights({}, c.max_bones, weights), c.changed ? 1 : 0) << c.what;
    const VWeight& rec = weights[0];
    if (!c.changed) {
      EXPECT_TRUE(SameBytes(rec, before)) << c.what;
      continue;
    }
    EXPECT_TRUE(IsValid(rec)) << c.what;
    EXPECT_EQ(std::memcmp(rec.colour, before.colour, 3), 0) << c.what;
    ASSERT_EQ(Count(rec), static_cast<int>(c.after.size())) << c.what;
    for (int k = 0; k < Count(rec); ++k) {
      EXPECT_EQ(rec.entries[k].bone, c.after[static_cast<std::size_t>(k)].bone) << c.what;
      EXPECT_NEAR(rec.entries[k].weight, c.after[static_cast<std::size_t>(k)].weight, 1e-6f) << c.what;
    }
    EXPECT_NEAR(Sum(rec), 1.0f, 1e-6f) << c.what;
  }
}

TEST(LimitWeights, OnlySelectedRecords) {
  const VWeight four = Record({{A, 0.1f}, {B, 0.2f}, {C, 0.3f}, {D, 0.4f}});
  std::vector<VWeight> weights = {four, four, four};
  EXPECT_EQ(LimitWeights({1, 0}, 2, weights), 1);
  EXPECT_EQ(Count(weights[0]), 2);
  EXPECT_TRUE(SameBytes(weights[1], four));
  EXPECT_TRUE(SameBytes(weights[2], four)) << "past the end of the selection";
}

}  // namespace
