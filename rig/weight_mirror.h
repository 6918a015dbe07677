#pragma once
// Mirroring across the rig's X = 0 plane: which bone is which bone's mirror
// (by the usual side markers of their names, else by position), vertex
// weights taken from the mirror vertex with every bone replaced by its
// mirror, and poses mirrored.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "rig/records.h"
#include "rig/rigging_mesh.h"

namespace quorvel {

// The name with its side marker swapped, or empty when the name carries none.
// Markers are recognised as a prefix or a suffix: "L"/"R" after or before a
// separator ('_', '.', '-', ' ') ("arm_L", "L_arm", "arm.L"), "Left"/"Right"
// and "left"/"right" (also without separator: "LeftArm", "armRight"), and
// "左"/"右" (Shift-JIS, the system code page, and UTF-8). Shift-JIS names are
// walked by characters, so the trail byte of a two-byte character is never
// taken for a marker. Case is kept ("ARM_L" -> "ARM_R", "arm_l" -> "arm_r").
// A word counts only at a word boundary: "Leftover", "bright", "armleft" and
// "UPRIGHT" carry no marker, nor does a letter inside a word ("Lower").
// A suffix is looked for first. A name is read as UTF-8 when it is valid
// UTF-8 with a byte outside ASCII, else as Shift-JIS; a name whose mirror
// would read the other way (and so not swap back) answers empty. Whenever
// the answer is not empty, mirroring it again gives the name back.
std::string MirrorBoneName(std::string_view name);

// For every bone, the index of its mirror bone: first by name (the bone
// whose name is this one's mirror name), then, for bones still without a
// mirror, the bone whose head and tail are this one's mirrored across X = 0
// within `tolerance`. A bone without any (a bone on the plane) is its own
// mirror. The pairing is symmetric: result[result[i]] == i. Of bones sharing
// a name only the first is paired by name; by position the nearest pairs
// (largest of head and tail distance) are taken first, ties by index.
std::vector<int> PairMirrorBones(const std::vector<RigBone>& bones, float tolerance);

// Bone id -> mirror bone id, from a pairing; ids not in the map are their
// own mirror.
using BoneMirrorMap = std::unordered_map<int32_t, int32_t>;
BoneMirrorMap MirrorIdMap(const std::vector<RigBone>& bones, const std::vector<int>& pairing);

// Which side is copied onto which.
enum class MirrorDirection {
  kPlusToMinus,  // vertices with x < -tolerance take the weights of their mirror at +x
  kMinusToPlus,  // vertices with x > tolerance take the weights of their mirror at -x
};

struct MirrorWeightsReport {
  int written = 0;    // target-side vertices that took their mirror's weights
  int unmatched = 0;  // target-side vertices without a mirror vertex within the tolerance (left as they were)
  std::vector<int> unmatched_vertices;  // their indices, ascending
};

// Each selected vertex (every vertex when `selected` is empty) on the target
// side takes the weights of the source-side vertex nearest to its mirror
// position, within `tolerance`, with each bone replaced by its mirror.
// Vertices on the plane (|x| <= tolerance) and source-side ones are left
// alone, so mirroring one way and back gives the original weights exactly
// (when the bone map is its own inverse and no two source vertices share a
// position). Matching uses a spatial grid: no quadratic search; of equally
// near sources the lowest index wins.
// The target record takes the source's valid bit, count and entries (bones
// mapped, entries past the count copied as they are) and keeps its own
// colour bytes, which the caller recomputes: a source without weights (no
// valid record) gives a record without weights. Only the first
// min(positions, weights) vertices take part; a vertex whose position is
// not finite is neither source nor target. A negative or NaN tolerance is 0.
MirrorWeightsReport MirrorWeights(const std::vector<FVECTOR3>& positions,
                                  const std::vector<uint8_t>& selected, const BoneMirrorMap& bone_mirror,
                                  MirrorDirection direction, float tolerance, std::vector<VWeight>& weights);

// A pose record mirrored across X = 0. Records hold translation, scale and
// rotation in document axes about the pivot, so the mirror negates the
// translation's x and the rotation's y and z, and keeps the scale. Twice
// gives the record back exactly.
OPoseTSQ MirrorPose(const OPoseTSQ& pose);

}  // namespace quorvel
