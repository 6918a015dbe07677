#pragma once
// Smoothing vertex weights over the mesh's edges, and limiting the bones a
// vertex keeps. Both keep every record that has entries summing to 1 and
// leave records without entries as they are.
#include <cstdint>
#include <vector>

#include "rig/records.h"
#include "rig/rigging_mesh.h"

namespace quorvel {

// Each vertex's edge neighbours (vertices that share a face edge with it,
// once each), in compressed rows: the neighbours of v are
// neighbours[start[v] .. start[v + 1]). Built once and kept by callers that
// smooth repeatedly (the blur pen).
struct MeshAdjacency {
  std::vector<int32_t> start;
  std::vector<int32_t> neighbours;
};
MeshAdjacency BuildAdjacency(const RigMesh& mesh);

struct SmoothOptions {
  int iterations = 1;     // 1..1000 (clamped)
  float strength = 0.5f;  // 0..1 (clamped): the share the neighbours' average takes each iteration
  int max_bones = kMaxWeightEntries;  // 1..4 (clamped): bones kept per vertex, the strongest ones
};

// Moves the weights of each selected vertex (every vertex when `selected` is
// empty) toward the average of its neighbours' weights, `iterations` times
// (every iteration reads the previous one's weights). Neighbours without
// entries do not count; a vertex without neighbours with entries, or without
// entries itself, is unchanged, and so is one whose neighbours all hold its
// own weights. Results keep the strongest max_bones bones and sum to 1.
// Answers the number of records changed.
// A record counts as having entries when it is valid, has at least one entry
// and all its weights are finite. Bones whose smoothed weight falls below the
// record's removal threshold are dropped; the new entries keep the order in
// which the bones first appear (the vertex's own first). Strength 0 changes
// nothing at all. Large meshes are split between two threads; the result
// does not depend on it.
int SmoothWeights(const MeshAdjacency& adjacency, const std::vector<uint8_t>& selected,
                  const SmoothOptions& options, std::vector<VWeight>& weights);

// Each selected record (every record when `selected` is empty) keeps at
// most `max_bones` (1..4, clamped) entries: the smallest are dropped and the
// rest renormalised (ties keep the earlier entry; kept entries stay in
// order). Records within the limit, invalid ones and ones with a weight
// that is not finite are left as they are. Answers the number of records
// changed.
int LimitWeights(const std::vector<uint8_t>& selected, int max_bones, std::vector<VWeight>& weights);

}  // namespace quorvel
