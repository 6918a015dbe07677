#pragma once
// Skinning of one object, prepared once and applied per frame.
//
// Every rule a copy is skinned by (rigid, colour-coded two-bone, weighted)
// comes down to: each written vertex p becomes sum_j w_j * (p · M[i_j]) over
// at most four (matrix index, weight) pairs. Preparing turns the source's
// weight records, names and colours into those pairs (bone ids looked up,
// weights normalised) and keeps the base shape and the morph offsets, so
// that a frame of a pose drag only blends matrices and moves vertices.
//
// A prepared skin depends on the source's geometry, weights, morph targets,
// name and the document's object list; whoever changes one of them must
// prepare it again (the rendering copies' MarkRebuild).
#include <cstdint>
#include <vector>

#include "deform/deformation.h"
#include "math/fmath.h"

namespace quorvel {

struct SkinCache {
  static constexpr int kInfluences = 4;

  bool prepared = false;
  int vertex_count = 0;
  // Per vertex: whether it is written at all (a weighted vertex without a
  // record or entries keeps its built position).
  std::vector<uint8_t> written;
  // Per vertex, kInfluences pairs; unused pairs have weight 0 and index of
  // the identity entry. Index `identity_index` names the identity matrix the
  // palette gets appended (a single bone that is not found leaves p as it is).
  std::vector<int32_t> index;
  std::vector<float> weight;
  int identity_index = 0;
  // The same indices in 8 or 16 bits, when the palette is small enough: a
  // frame reads less memory per vertex. Made by Compact, which empties
  // `index`; at most one of the three is in use.
  std::vector<uint8_t> index8;
  std::vector<uint16_t> index16;

  void Compact();
  int32_t IndexAt(size_t v, int j) const {
    const size_t at = v * kInfluences + static_cast<size_t>(j);
    if (!index8.empty()) return index8[at];
    return index16.empty() ? index[at] : index16[at];
  }
  // The host's vertex positions: what a copy shows when nothing is morphed.
  std::vector<FVECTOR3> vertices;
  // The shape morphing starts from where it is not the vertices (a morph
  // target is shown in them and the stored base shape is valid); empty when
  // it is the vertices throughout.
  std::vector<FVECTOR3> stored_base;
  const std::vector<FVECTOR3>& base() const { return stored_base.empty() ? vertices : stored_base; }
  // Per morph slot with a stored shape, the offset of each vertex's target
  // from the base (0 where no valid target).
  struct MorphSlot {
    int k = 0;
    std::vector<FVECTOR3> delta;
  };
  std::vector<MorphSlot> morphs;
  bool has_morph_target = false;
};

// Reads what the skin of `source` needs. `in.matrices` gives the document's
// object count (the palette size); `in.ids` the unique id table.
void PrepareSkin(const DeformInputs& in, MQObject source, SkinCache& cache);

// The positions skinning starts from for `in.pose_id`. Without morphing (no
// pose, no morph target, or no pose morph record) the host's vertices; with
// it the base shape plus the weighted offsets, in `scratch` when some weight
// is not 0.
const FVECTOR3* MorphedPositions(const DeformInputs& in, MQObject source, const SkinCache& cache,
                                 std::vector<FVECTOR3>& scratch);

// Skins `positions` with `palette` (object count matrices plus the identity)
// into `out`, unwritten vertices untouched: the kernel every deformation
// runs (SIMD where the target has SSE2), and the plain scalar loop it is
// tested against.
void SkinPositions(const SkinCache& cache, const std::vector<FMATRIX>& palette,
                   const std::vector<FVECTOR3>& positions, std::vector<FVECTOR3>& out);
void SkinPositionsScalar(const SkinCache& cache, const std::vector<FMATRIX>& palette,
                         const std::vector<FVECTOR3>& positions, std::vector<FVECTOR3>& out);

// Dual-quaternion skinning (Kavan et al. 2008): the same per-frame contract
// as SkinPositions, but each vertex blends its bones' rigid motions as unit
// dual quaternions, which keeps volume where linear blending collapses it
// (a twisted forearm).
//
// Only a similarity, p·M = s·p·R + t with s > 0, is one dual quaternion;
// its uniform scale s is blended linearly as a factor of its own and applied
// to p first. A vertex with any other bone (zero, negative or non-uniform
// scale, shear, a non-finite entry) is blended linearly, exactly as
// SkinPositionsScalar does: defined, and never worse than linear. Blending
// normalises the dual quaternion, so a vertex whose weights sum below 1 (a
// missing bone) follows the remaining bones fully; a vertex with no weight at
// all goes to the origin as under linear blending.
struct DualQuaternionPalette {
  // Per palette entry, 8 floats: the rotation quaternion (x, y, z, w;
  // p ↦ q p q*) and the dual part ½·t·q.
  std::vector<float> dq;
  std::vector<float> scale;
  // 0 where the matrix is not a positive similarity.
  std::vector<uint8_t> blendable;
  bool all_blendable = true;
  bool any_scaled = false;
};
// Converts `palette` into `out`, reusing its storage: once per frame.
void ToDualQuaternions(const std::vector<FMATRIX>& palette, DualQuaternionPalette& out);
// `dq` must be the conversion of `palette` (the matrices serve the vertices
// blended linearly). SIMD where the target has SSE2, and the plain loop.
void SkinPositionsDualQuaternion(const SkinCache& cache, const std::vector<FMATRIX>& palette,
                                 const DualQuaternionPalette& dq, const std::vector<FVECTOR3>& positions,
                                 std::vector<FVECTOR3>& out);
void SkinPositionsDualQuaternionScalar(const SkinCache& cache, const std::vector<FMATRIX>& palette,
                                       const DualQuaternionPalette& dq,
                                       const std::vector<FVECTOR3>& positions, std::vector<FVECTOR3>& out);

// Deforms `target` from a prepared skin: morph, skin, write the written
// vertices. The scratch buffers are the caller's and kept between frames, so
// a frame allocates nothing.
struct SkinScratch {
  std::vector<FVECTOR3> positions;
  std::vector<FVECTOR3> skinned;
  std::vector<FMATRIX> palette;
};
// False, writing nothing, when the palette does not fit the prepared skin
// (the object list changed since): prepare again.
bool ApplySkin(const DeformInputs& in, MQObject target, MQObject source, const SkinCache& cache,
               SkinScratch& scratch);

}  // namespace quorvel
