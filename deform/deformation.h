#pragma once
// Deformation: a copy of a document object (its rendering copy) morphed by
// the current pose's morph weights and skinned by the posed world matrices,
// optionally coloured with the vertices' weight colours. The source objects
// are only read.
#include <cstdint>
#include <vector>

#include "math/fmath.h"
#include "rig/id_table.h"
#include "rig/records.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// The offset of a copy's vertices along their averaged face normal, so that
// the copy shows in front of the source where both are drawn.
constexpr float kCopyNormalOffset = 0.1f;

// Host visibility values of a copy: hidden, and shown in weight colours.
constexpr uint32_t kCopyHidden = 0;
constexpr uint32_t kCopyWeightColoured = 12;

// Name of the drawing material the weight colours are shown with.
inline constexpr char kWeightColourMaterialName[] = "$$vcol_tmp$$";

// Fills the empty `target` with the geometry of `source`: every vertex moved
// 0.1 along the normalised sum of the unit normals of its triangles and
// quads, then every face with its points, material, UVs, corner colours and
// visibility. A saved visibility of 0 hides the target.
void BuildCopy(MQObject target, MQObject source, int32_t saved_visibility);

// Whether the name asks for colour-coded two-bone skinning ("CDEF:" in any case).
bool IsColourCodedName(const char* name);

// Everything one deformation of a source object reads, gathered once.
struct DeformInputs {
  MQDocument document = nullptr;
  const RigSlotTable* slots = nullptr;
  // Skinning matrices by document index; null: no skinning (morphing alone
  // is not written either, the copy keeps its built positions).
  const std::vector<FMATRIX>* matrices = nullptr;
  // The matrices followed by the identity, when the caller made it once for
  // many objects; null: made per object.
  const std::vector<FMATRIX>* palette = nullptr;
  const IdTable* ids = nullptr;  // unique id -> document index
  int pose_id = -1;              // -1 (or outside 0..19): no morphing
};

// Writes the deformed positions of `source` into `target` (same vertex
// order). Nothing happens for a source without vertices or faces.
void DeformCopy(const DeformInputs& in, MQObject target, MQObject source);

// Colours `target` with the weight colours of `source` and shows it in
// weight colours (visibility 12), every face with `material_index`. Fails,
// hiding the target, when the source is hidden or has no weights; fails
// without a change when it has no vertex or face.
bool ColourCopy(const RigSlotTable& slots, MQObject target, MQObject source, int material_index);

}  // namespace quorvel
