#pragma once
// Automatic vertex weights by geodesic voxel binding: the mesh is voxelised
// into a solid that closes small gaps and holes, every bone's distance is
// measured through that solid (so a weight never jumps a gap between two legs),
// and distances turn into weights with a smooth falloff. Vertices of parts
// that are not connected to the rest (an eye inside a head) take the weights
// of the solid they sit in.
#include <cstdint>
#include <vector>

#include "rig/records.h"
#include "rig/rigging_mesh.h"

namespace quorvel {

struct AutoWeightOptions {
  // Voxels along the longest side of the mesh's bounding box (16..512;
  // values outside are clamped).
  int resolution = 128;
  // How far past the nearest bone another bone still takes weight, as a
  // multiple of the nearest bone's distance plus a few voxels (0.05..4;
  // clamped). Larger is softer.
  float falloff = 1.0f;
  // Bones a vertex keeps at most, the strongest ones (1..4; clamped).
  int max_bones = kMaxWeightEntries;
};

enum class AutoWeightStatus {
  kOk,
  kNoBones,     // the bone list is empty
  kNoVertices,  // the mesh has no vertices (or none selected)
  kNoFaces,     // the mesh has no face of three or more valid vertices (index in
                // range, finite position)
};

struct AutoWeightReport {
  AutoWeightStatus status = AutoWeightStatus::kOk;
  int vertices_written = 0;
  // Vertices that lay outside every solid voxel and took the nearest one's
  // weights.
  int vertices_snapped = 0;
  // Vertices with a non-finite position: they took the first bone of the
  // list alone.
  int vertices_unplaced = 0;
  int grid_x = 0, grid_y = 0, grid_z = 0;  // the voxel grid used
  int64_t solid_voxels = 0;
};

// Writes a weight record into weights[v] for every vertex v of the mesh that
// is selected (every vertex when `selected` is empty; otherwise selected[v]
// != 0 for v < selected.size()). `weights` is resized to the vertex count
// first (new records valid without entries); unselected records are left as
// they are. Each written record is valid, holds 1..max_bones entries naming
// bones of the list by id, with finite weights in (0, 1] that sum to 1; its
// colour bytes are left for the caller to update. Bones with a non-finite
// end take no weight (when no bone has finite ends, every vertex takes the
// first bone alone). The grid spans the faces' vertices and holds at most
// 2^25 voxels (a bulky mesh at a fine resolution gets larger voxels).
// On a status other than kOk nothing is written.
AutoWeightReport ComputeAutoWeights(const RigMesh& mesh, const std::vector<RigBone>& bones,
                                    const AutoWeightOptions& options, const std::vector<uint8_t>& selected,
                                    std::vector<VWeight>& weights);

}  // namespace quorvel
