#include "deform/skinning.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "rig/host_records.h"
#include "rig/rig_access.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace {

constexpr int kK = SkinCache::kInfluences;

template <typename Record>
bool ReadAllVertexRecords(MQObject obj, int32_t slot, int count, std::vector<Record>& out) {
  out.resize(static_cast<size_t>(std::max(count, 0)));
  return host_records::ReadVertices(obj, slot, count, out.data());
}

void SetPair(SkinCache& cache, int v, int j, int32_t index, float weight) {
  cache.index[static_cast<size_t>(v) * kK + static_cast<size_t>(j)] = index;
  cache.weight[static_cast<size_t>(v) * kK + static_cast<size_t>(j)] = weight;
}

}  // namespace

void SkinCache::Compact() {
  if (index.empty()) return;
  if (identity_index <= 0xFF) {
    index8.assign(index.begin(), index.end());
  } else if (identity_index <= 0xFFFF) {
    index16.assign(index.begin(), index.end());
  } else {
    return;
  }
  std::vector<int32_t>().swap(index);
}

namespace {

void PrepareSkinInto(const DeformInputs& in, MQObject source, SkinCache& cache) {
  const MQHostApi& api = HostApi();
  cache = SkinCache();
  cache.prepared = true;
  if (source == nullptr || in.slots == nullptr) return;
  const RigSlotTable& slots = *in.slots;
  const int n = std::max(api.MQObj_GetVertexCount(source), 0);
  const int object_count = in.matrices != nullptr ? static_cast<int>(in.matrices->size()) : 0;
  cache.vertex_count = n;
  cache.identity_index = object_count;
  cache.written.assign(static_cast<size_t>(n), 0);
  cache.index.assign(static_cast<size_t>(n) * kK, object_count);
  cache.weight.assign(static_cast<size_t>(n) * kK, 0.0f);

  cache.vertices.resize(static_cast<size_t>(n));
  for (int v = 0; v < n; ++v) {
    MQPoint p{0.0f, 0.0f, 0.0f};
    api.MQObj_GetVertex(source, v, &p);
    cache.vertices[static_cast<size_t>(v)] = FVECTOR3{p.x, p.y, p.z};
  }
  for (int k = 0; k < kMaxMorphTargets && !cache.has_morph_target; ++k) {
    cache.has_morph_target = HasMorphTargetRecord(source, slots, k);
  }
  if (cache.has_morph_target) {
    // Morphing starts from the base shape: the vertices, unless a morph
    // target is shown in them; then the stored base where it is valid.
    std::vector<VMorphTarget> stored;
    if (GetCurrentMorphIndex(source, slots) != -1 &&
        ReadAllVertexRecords(source, slots.MorphShape(-1), n, stored)) {
      cache.stored_base = cache.vertices;
      for (int v = 0; v < n; ++v) {
        if (stored[static_cast<size_t>(v)].valid != 0) {
          cache.stored_base[static_cast<size_t>(v)] = stored[static_cast<size_t>(v)].position;
        }
      }
    }
    const std::vector<FVECTOR3>& base = cache.base();
    for (int k = 0; k < kMaxMorphTargets; ++k) {
      if (!ReadAllVertexRecords(source, slots.MorphShape(k), n, stored)) continue;
      SkinCache::MorphSlot slot;
      slot.k = k;
      slot.delta.assign(static_cast<size_t>(n), FVECTOR3{0.0f, 0.0f, 0.0f});
      for (int v = 0; v < n; ++v) {
        const VMorphTarget& m = stored[static_cast<size_t>(v)];
        if (m.valid != 0) slot.delta[static_cast<size_t>(v)] = m.position - base[static_cast<size_t>(v)];
      }
      cache.morphs.push_back(std::move(slot));
    }
  }

  std::vector<VWeight> weights;
  if (!ReadAllVertexRecords(source, slots.VWeight(), n, weights)) {
    char name[kNameBytes] = {};
    api.MQObj_GetName(source, name, static_cast<int>(sizeof name));
    if (!IsColourCodedName(name)) {
      // Rigid: the object follows its own bone (the identity when its index
      // is not a document index).
      int own = in.document != nullptr ? api.MQDoc_GetObjectIndex(in.document, source) : -1;
      if (own < 0 || own >= object_count) own = object_count;
      for (int v = 0; v < n; ++v) {
        cache.written[static_cast<size_t>(v)] = 1;
        SetPair(cache, v, 0, own, 1.0f);
      }
      return;
    }
    // Colour-coded: bone A in the red byte, bone B in green, A's share in
    // alpha; a vertex takes the colour of its last face corner.
    std::vector<uint32_t> colours(static_cast<size_t>(n), 0u);
    std::vector<int> points;
    const int faces = api.MQObj_GetFaceCount(source);
    for (int f = 0; f < faces; ++f) {
      const int count = api.MQObj_GetFacePointCount(source, f);
      if (count <= 0) continue;
      points.assign(static_cast<size_t>(count), 0);
      api.MQObj_GetFacePointArray(source, f, points.data());
      for (int corner = 0; corner < count; ++corner) {
        const int v = points[static_cast<size_t>(corner)];
        if (v >= 0 && v < n) colours[static_cast<size_t>(v)] = api.MQObj_GetFaceVertexColor(source, f, corner);
      }
    }
    const int last = std::max(object_count - 1, 0);
    for (int v = 0; v < n; ++v) {
      const uint32_t c = colours[static_cast<size_t>(v)];
      const int a = std::min(static_cast<int>(c & 0xFFu), last);
      const int b = std::min(static_cast<int>((c >> 8) & 0xFFu), last);
      const float e = static_cast<float>((c >> 24) & 0xFFu) / 255.0f;
      // Without any matrix there is nothing to follow but the identity.
      cache.written[static_cast<size_t>(v)] = 1;
      SetPair(cache, v, 0, object_count > 0 ? a : object_count, e);
      SetPair(cache, v, 1, object_count > 0 ? b : object_count, 1.0f - e);
    }
    return;
  }

  // Weighted.
  for (int v = 0; v < n; ++v) {
    const VWeight& rec = weights[static_cast<size_t>(v)];
    const int count = Count(rec);
    if (count <= 0) continue;
    cache.written[static_cast<size_t>(v)] = 1;
    auto lookup = [&](int32_t bone) {
      const int index = in.ids != nullptr ? LookupIndex(*in.ids, bone) : -1;
      return index >= 0 && index < object_count ? index : -1;
    };
    if (count == 1) {
      // One bone is followed fully, whatever its stored weight; a bone that
      // is gone leaves the vertex as it is.
      const int index = lookup(rec.entries[0].bone);
      SetPair(cache, v, 0, index >= 0 ? index : object_count, 1.0f);
      continue;
    }
    float w[kMaxWeightEntries];
    float sum = 0.0f;
    for (int j = 0; j < count; ++j) {
      w[j] = rec.entries[j].weight;
      sum += w[j];
    }
    if (sum >= 0.0002f) {
      for (int j = 0; j < count; ++j) w[j] /= sum;
    }
    for (int j = 0; j < count; ++j) {
      const int index = lookup(rec.entries[j].bone);
      // A missing bone adds nothing; the others are not re-normalised.
      if (index >= 0) SetPair(cache, v, j, index, w[j]);
    }
  }
}

}  // namespace

void PrepareSkin(const DeformInputs& in, MQObject source, SkinCache& cache) {
  PrepareSkinInto(in, source, cache);
  cache.Compact();
}

const FVECTOR3* MorphedPositions(const DeformInputs& in, MQObject source, const SkinCache& cache,
                                 std::vector<FVECTOR3>& scratch) {
  // Nothing to morph, or morphing would give the vertices back anyway: no
  // record needs reading.
  if (!cache.has_morph_target || in.slots == nullptr) return cache.vertices.data();
  if (cache.morphs.empty() && cache.stored_base.empty()) return cache.vertices.data();
  if (in.pose_id < 0 || in.pose_id >= kMaxPoses) return cache.vertices.data();
  OPoseMorph weights;
  if (!GetPoseMorph(source, *in.slots, in.pose_id, weights)) return cache.vertices.data();
  const std::vector<FVECTOR3>& base = cache.base();
  bool copied = false;
  const size_t n = base.size();
  for (const SkinCache::MorphSlot& slot : cache.morphs) {
    const float w = weights.weight[slot.k];
    if (w == 0.0f) continue;
    if (!copied) {
      scratch.assign(base.begin(), base.end());
      copied = true;
    }
    for (size_t v = 0; v < n; ++v) scratch[v] += slot.delta[v] * w;
  }
  return copied ? scratch.data() : base.data();
}

void SkinPositionsScalar(const SkinCache& cache, const std::vector<FMATRIX>& palette,
                         const std::vector<FVECTOR3>& positions, std::vector<FVECTOR3>& out) {
  const size_t n = std::min(positions.size(), static_cast<size_t>(cache.vertex_count));
  out.resize(positions.size());
  for (size_t v = 0; v < n; ++v) {
    if (cache.written[v] == 0) continue;
    FVECTOR3 sum{0.0f, 0.0f, 0.0f};
    for (int j = 0; j < kK; ++j) {
      const float w = cache.weight[v * kK + static_cast<size_t>(j)];
      if (w == 0.0f) continue;
      const FMATRIX& m = palette[static_cast<size_t>(cache.IndexAt(v, j))];
      sum += m.TransformPoint(positions[v]) * w;
    }
    out[v] = sum;
  }
}

namespace {

#if defined(__SSE2__)
// One row of the blended matrix: w0·m0 + w1·m1 + w2·m2 + w3·m3 at `row`.
// Forced inline, and the four rows written out one by one below: left to
// itself the compiler keeps a loop over the rows at -O2 and passes them
// through the stack.
__attribute__((always_inline)) inline __m128 BlendRow(__m128 w0, __m128 w1, __m128 w2, __m128 w3,
                                                     const float* m0, const float* m1,
                                                     const float* m2, const float* m3, int row) {
  const __m128 a = _mm_add_ps(_mm_mul_ps(w0, _mm_loadu_ps(m0 + row)), _mm_mul_ps(w1, _mm_loadu_ps(m1 + row)));
  const __m128 b = _mm_add_ps(_mm_mul_ps(w2, _mm_loadu_ps(m2 + row)), _mm_mul_ps(w3, _mm_loadu_ps(m3 + row)));
  return _mm_add_ps(a, b);
}
#endif

// The kernel: for every written vertex v < n, out[v] = sum_j w_j (p_v · M[i_j]).
// Unwritten vertices of `out` are not touched. Every array is the caller's;
// none overlaps `out`.
template <typename Index>
void SkinKernel(const uint8_t* __restrict written, const float* __restrict weight,
                const Index* __restrict index, const float* __restrict matrices,
                const FVECTOR3* __restrict positions, int n, FVECTOR3* __restrict out) {
#if defined(__SSE2__)
  for (int v = 0; v < n; ++v, index += kK, weight += kK) {
    if (written[v] == 0) continue;
    // Blend the four matrices' rows by weight, then move the point once.
    const float* m0 = matrices + static_cast<size_t>(index[0]) * 16;
    const float* m1 = matrices + static_cast<size_t>(index[1]) * 16;
    const float* m2 = matrices + static_cast<size_t>(index[2]) * 16;
    const float* m3 = matrices + static_cast<size_t>(index[3]) * 16;
    const __m128 w0 = _mm_set1_ps(weight[0]), w1 = _mm_set1_ps(weight[1]);
    const __m128 w2 = _mm_set1_ps(weight[2]), w3 = _mm_set1_ps(weight[3]);
    const __m128 r0 = BlendRow(w0, w1, w2, w3, m0, m1, m2, m3, 0);
    const __m128 r1 = BlendRow(w0, w1, w2, w3, m0, m1, m2, m3, 4);
    const __m128 r2 = BlendRow(w0, w1, w2, w3, m0, m1, m2, m3, 8);
    const __m128 r3 = BlendRow(w0, w1, w2, w3, m0, m1, m2, m3, 12);
    const FVECTOR3& p = positions[v];
    const __m128 s = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(p.x), r0), _mm_mul_ps(_mm_set1_ps(p.y), r1)),
                                _mm_add_ps(_mm_mul_ps(_mm_set1_ps(p.z), r2), r3));
    // x and y in one store, z in another: the fourth lane would spill into
    // the next vertex, which may be one that must stay untouched.
    float* o = &out[v].x;
    _mm_storel_pi(reinterpret_cast<__m64*>(o), s);
    _mm_store_ss(o + 2, _mm_movehl_ps(s, s));
  }
#else
  for (int v = 0; v < n; ++v, index += kK, weight += kK) {
    if (written[v] == 0) continue;
    FVECTOR3 sum{0.0f, 0.0f, 0.0f};
    for (int j = 0; j < kK; ++j) {
      if (weight[j] == 0.0f) continue;
      const float* m = matrices + static_cast<size_t>(index[j]) * 16;
      const FVECTOR3& p = positions[v];
      sum.x += (p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12]) * weight[j];
      sum.y += (p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13]) * weight[j];
      sum.z += (p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]) * weight[j];
    }
    out[v] = sum;
  }
#endif
}

// The first `n` vertices (at most the cache's) into `out`.
void SkinVertices(const SkinCache& cache, int n, const std::vector<FMATRIX>& palette,
                  const FVECTOR3* positions, FVECTOR3* out) {
  n = std::min(n, cache.vertex_count);
  const uint8_t* written = cache.written.data();
  const float* weight = cache.weight.data();
  const float* matrices = palette.data()->m;
  if (!cache.index8.empty()) {
    SkinKernel(written, weight, cache.index8.data(), matrices, positions, n, out);
  } else if (!cache.index16.empty()) {
    SkinKernel(written, weight, cache.index16.data(), matrices, positions, n, out);
  } else {
    SkinKernel(written, weight, cache.index.data(), matrices, positions, n, out);
  }
}

}  // namespace

void SkinPositions(const SkinCache& cache, const std::vector<FMATRIX>& palette,
                   const std::vector<FVECTOR3>& positions, std::vector<FVECTOR3>& out) {
  out.resize(positions.size());
  if (positions.size() < static_cast<size_t>(cache.vertex_count) || palette.empty()) return;
  SkinVertices(cache, cache.vertex_count, palette, positions.data(), out.data());
}

namespace {

constexpr int kDq = 8;  // floats per dual quaternion
// A blended rotation part whose squared norm is below this comes from no
// weight at all: the vertex goes to the origin, as linear blending puts it.
constexpr float kMinBlendNormSq = 1e-30f;
// Relative tolerance on A·Aᵀ = s²·I for a 3×3 block to count as a similarity:
// products of float rotations stay far inside it, a visible shear does not.
constexpr double kSimilarityTolerance = 1e-4;

// The rotation and uniform scale of M = s·R then translation; false when the
// 3×3 block is not s·R with s > 0 or an entry is not finite.
bool SplitSimilarity(const FMATRIX& m, FQUAT& q, float& scale) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 3; ++c) {
      if (!std::isfinite(m(r, c))) return false;
    }
  }
  double row[3][3];
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) row[r][c] = m(r, c);
  }
  auto dot = [&](int a, int b) {
    return row[a][0] * row[b][0] + row[a][1] * row[b][1] + row[a][2] * row[b][2];
  };
  const double g00 = dot(0, 0), g11 = dot(1, 1), g22 = dot(2, 2);
  const double s2 = (g00 + g11 + g22) / 3.0;
  if (!(s2 > 1e-12)) return false;
  const double tol = kSimilarityTolerance * s2;
  if (std::fabs(g00 - s2) > tol || std::fabs(g11 - s2) > tol || std::fabs(g22 - s2) > tol ||
      std::fabs(dot(0, 1)) > tol || std::fabs(dot(0, 2)) > tol || std::fabs(dot(1, 2)) > tol) {
    return false;
  }
  const double det = row[0][0] * (row[1][1] * row[2][2] - row[1][2] * row[2][1]) -
                     row[0][1] * (row[1][0] * row[2][2] - row[1][2] * row[2][0]) +
                     row[0][2] * (row[1][0] * row[2][1] - row[1][1] * row[2][0]);
  if (!(det > 0.0)) return false;
  // Products of float rotations have row lengths a few 1e-7 off 1: that is
  // no scale, and a palette without one skips blending it.
  double s = std::sqrt(s2);
  if (std::fabs(s - 1.0) < 1e-6) s = 1.0;
  FMATRIX rotation;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) rotation(r, c) = static_cast<float>(row[r][c] / s);
  }
  const FQUAT raw = FQUAT::FromMatrix(rotation);
  const double n = std::sqrt(static_cast<double>(raw.x) * raw.x + static_cast<double>(raw.y) * raw.y +
                             static_cast<double>(raw.z) * raw.z + static_cast<double>(raw.w) * raw.w);
  q = FQUAT(static_cast<float>(raw.x / n), static_cast<float>(raw.y / n), static_cast<float>(raw.z / n),
            static_cast<float>(raw.w / n));
  scale = static_cast<float>(s);
  return true;
}

// sum_j w_j (p · M[i_j]), the weights that are 0 skipped: SkinPositionsScalar's body.
template <typename IndexAt>
FVECTOR3 LinearVertex(const float* weight, IndexAt index_at, const std::vector<FMATRIX>& palette,
                      const FVECTOR3& p) {
  FVECTOR3 sum{0.0f, 0.0f, 0.0f};
  for (int j = 0; j < kK; ++j) {
    if (weight[j] == 0.0f) continue;
    sum += palette[static_cast<size_t>(index_at(j))].TransformPoint(p) * weight[j];
  }
  return sum;
}

bool DualQuaternionsFit(const SkinCache& cache, const std::vector<FMATRIX>& palette,
                        const DualQuaternionPalette& dq, const std::vector<FVECTOR3>& positions) {
  return positions.size() >= static_cast<size_t>(cache.vertex_count) && !palette.empty() &&
         dq.scale.size() == palette.size() && dq.blendable.size() == palette.size() &&
         dq.dq.size() == palette.size() * kDq;
}

}  // namespace

void ToDualQuaternions(const std::vector<FMATRIX>& palette, DualQuaternionPalette& out) {
  const size_t n = palette.size();
  out.dq.resize(n * kDq);
  out.scale.resize(n);
  out.blendable.resize(n);
  out.all_blendable = true;
  out.any_scaled = false;
  for (size_t i = 0; i < n; ++i) {
    FQUAT q;
    float s = 1.0f;
    const bool ok = SplitSimilarity(palette[i], q, s);
    float* e = out.dq.data() + i * kDq;
    if (!ok) {
      // Never read for skinning (the vertex is blended linearly); the
      // identity keeps the entry harmless all the same.
      q = FQUAT();
      s = 1.0f;
    }
    // Dual part ½·t·q (Hamilton product, t a pure quaternion).
    const FVECTOR3 t = ok ? palette[i].GetTranslation() : FVECTOR3(0.0f, 0.0f, 0.0f);
    e[0] = q.x;
    e[1] = q.y;
    e[2] = q.z;
    e[3] = q.w;
    e[4] = 0.5f * (t.x * q.w + t.y * q.z - t.z * q.y);
    e[5] = 0.5f * (t.y * q.w + t.z * q.x - t.x * q.z);
    e[6] = 0.5f * (t.z * q.w + t.x * q.y - t.y * q.x);
    e[7] = -0.5f * (t.x * q.x + t.y * q.y + t.z * q.z);
    out.scale[i] = s;
    out.blendable[i] = ok ? 1 : 0;
    out.all_blendable = out.all_blendable && ok;
    out.any_scaled = out.any_scaled || s != 1.0f;
  }
}

void SkinPositionsDualQuaternionScalar(const SkinCache& cache, const std::vector<FMATRIX>& palette,
                                       const DualQuaternionPalette& dq,
                                       const std::vector<FVECTOR3>& positions, std::vector<FVECTOR3>& out) {
  out.resize(positions.size());
  if (!DualQuaternionsFit(cache, palette, dq, positions)) return;
  const size_t n = static_cast<size_t>(cache.vertex_count);
  for (size_t v = 0; v < n; ++v) {
    if (cache.written[v] == 0) continue;
    const float* w = cache.weight.data() + v * kK;
    auto index_at = [&](int j) { return cache.IndexAt(v, j); };
    bool blendable = true;
    for (int j = 0; j < kK; ++j) blendable = blendable && dq.blendable[static_cast<size_t>(index_at(j))] != 0;
    if (!blendable) {
      out[v] = LinearVertex(w, index_at, palette, positions[v]);
      continue;
    }
    // Every quaternion on the side of the strongest influence's (the first
    // of equal ones): q and -q are the same rotation, but blend differently.
    int strongest = 0;
    for (int j = 1; j < kK; ++j) {
      if (w[j] > w[strongest]) strongest = j;
    }
    const float* pivot = dq.dq.data() + static_cast<size_t>(index_at(strongest)) * kDq;
    float b[kDq] = {};
    float weight_sum = 0.0f, scale_sum = 0.0f;
    for (int j = 0; j < kK; ++j) {
      const size_t i = static_cast<size_t>(index_at(j));
      const float* e = dq.dq.data() + i * kDq;
      const float d = e[0] * pivot[0] + e[1] * pivot[1] + e[2] * pivot[2] + e[3] * pivot[3];
      const float sw = d < 0.0f ? -w[j] : w[j];
      for (int k = 0; k < kDq; ++k) b[k] += sw * e[k];
      weight_sum += w[j];
      scale_sum += w[j] * dq.scale[i];
    }
    const float n2 = b[0] * b[0] + b[1] * b[1] + b[2] * b[2] + b[3] * b[3];
    if (!(n2 > kMinBlendNormSq)) {
      out[v] = FVECTOR3(0.0f, 0.0f, 0.0f);
      continue;
    }
    FVECTOR3 p = positions[v];
    if (dq.any_scaled) p *= weight_sum > 0.0f ? scale_sum / weight_sum : 0.0f;
    // The blend normalised by 1/|b0|² folded into one factor: for a unit
    // (c0, cε), p' = p + 2 c0v × (c0v × p + c0w p + cεv) + 2 (c0w cεv − cεw c0v).
    const FVECTOR3 bv(b[0], b[1], b[2]), ev(b[4], b[5], b[6]);
    const float bw = b[3], ew = b[7];
    const FVECTOR3 u = Cross(bv, p) + p * bw + ev;
    out[v] = p + (Cross(bv, u) + ev * bw - bv * ew) * (2.0f / n2);
  }
}

namespace {

#if defined(__SSE2__)
__attribute__((always_inline)) inline __m128 CrossPs(__m128 a, __m128 b) {
  // (a · b.yzx − a.yzx · b).yzx; lane 3 is of no use.
  const __m128 a_yzx = _mm_shuffle_ps(a, a, _MM_SHUFFLE(3, 0, 2, 1));
  const __m128 b_yzx = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 0, 2, 1));
  const __m128 c = _mm_sub_ps(_mm_mul_ps(a, b_yzx), _mm_mul_ps(a_yzx, b));
  return _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 0, 2, 1));
}

// The first of `a` and `b` when `pick_b` is false, without a branch: the
// strongest influence changes from vertex to vertex.
__attribute__((always_inline)) inline const float* Select(bool pick_b, const float* a, const float* b) {
  const uintptr_t mask = static_cast<uintptr_t>(0) - static_cast<uintptr_t>(pick_b);
  return reinterpret_cast<const float*>((reinterpret_cast<uintptr_t>(a) & ~mask) |
                                        (reinterpret_cast<uintptr_t>(b) & mask));
}

// Vertices per pass: blending and moving the point are two loops over a
// block whose intermediate results stay in the cache. Each loop's chain of
// dependent steps is then short enough for consecutive vertices to overlap;
// in one loop the sign test and the normalisation made the vertices wait on
// each other.
constexpr int kDualQuaternionBlock = 64;

// The dual-quaternion kernel: SkinPositionsDualQuaternionScalar's rule.
// kScaled: some bone scales (the blended scale is applied to p first);
// kMixed: some bone is not a similarity (its vertices are blended linearly).
template <typename Index, bool kScaled, bool kMixed>
void DualQuaternionKernel(const SkinCache& cache, const Index* __restrict index,
                          const std::vector<FMATRIX>& palette, const DualQuaternionPalette& dqp,
                          const FVECTOR3* __restrict positions, FVECTOR3* __restrict out) {
  const int n = cache.vertex_count;
  const uint8_t* __restrict written = cache.written.data();
  const float* __restrict weights = cache.weight.data();
  const float* __restrict dq = dqp.dq.data();
  const float* __restrict scale = dqp.scale.data();
  const uint8_t* __restrict blendable = dqp.blendable.data();
  const __m128 sign_bit = _mm_set1_ps(-0.0f);
  const __m128 two = _mm_set1_ps(2.0f);
  const __m128 min_norm = _mm_set1_ps(kMinBlendNormSq);
  // Per vertex of the block: the blended real and dual parts and the
  // (scaled) point, or nothing to do.
  alignas(16) float blended[kDualQuaternionBlock * 12];
  uint8_t todo[kDualQuaternionBlock];
  for (int block = 0; block < n; block += kDualQuaternionBlock) {
    const int count = std::min(kDualQuaternionBlock, n - block);
    for (int k = 0; k < count; ++k) {
      const int v = block + k;
      const Index* ix = index + static_cast<size_t>(v) * kK;
      const float* weight = weights + static_cast<size_t>(v) * kK;
      todo[k] = 0;
      if (written[v] == 0) continue;
      if (kMixed && (blendable[ix[0]] & blendable[ix[1]] & blendable[ix[2]] & blendable[ix[3]]) == 0) {
        out[v] = LinearVertex(weight, [&](int j) { return ix[j]; }, palette, positions[v]);
        continue;
      }
      todo[k] = 1;
      const float* e0 = dq + static_cast<size_t>(ix[0]) * kDq;
      const float* e1 = dq + static_cast<size_t>(ix[1]) * kDq;
      const float* e2 = dq + static_cast<size_t>(ix[2]) * kDq;
      const float* e3 = dq + static_cast<size_t>(ix[3]) * kDq;
      const __m128 q0 = _mm_loadu_ps(e0), q1 = _mm_loadu_ps(e1), q2 = _mm_loadu_ps(e2), q3 = _mm_loadu_ps(e3);
      const __m128 w = _mm_loadu_ps(weight);
      // The strongest influence, the lowest of equal ones.
      const bool second = weight[1] > weight[0], fourth = weight[3] > weight[2];
      const float top01 = second ? weight[1] : weight[0], top23 = fourth ? weight[3] : weight[2];
      const __m128 pivot =
          _mm_loadu_ps(Select(top23 > top01, Select(second, e0, e1), Select(fourth, e2, e3)));
      // The four dot products with the pivot in the four lanes; a negative
      // one turns its weight's sign.
      const __m128 d0 = _mm_mul_ps(q0, pivot), d1 = _mm_mul_ps(q1, pivot);
      const __m128 d2 = _mm_mul_ps(q2, pivot), d3 = _mm_mul_ps(q3, pivot);
      const __m128 h01 = _mm_add_ps(_mm_unpacklo_ps(d0, d1), _mm_unpackhi_ps(d0, d1));
      const __m128 h23 = _mm_add_ps(_mm_unpacklo_ps(d2, d3), _mm_unpackhi_ps(d2, d3));
      const __m128 dots = _mm_add_ps(_mm_movelh_ps(h01, h23), _mm_movehl_ps(h23, h01));
      const __m128 sw = _mm_xor_ps(w, _mm_and_ps(dots, sign_bit));
      const __m128 w0 = _mm_shuffle_ps(sw, sw, _MM_SHUFFLE(0, 0, 0, 0));
      const __m128 w1 = _mm_shuffle_ps(sw, sw, _MM_SHUFFLE(1, 1, 1, 1));
      const __m128 w2 = _mm_shuffle_ps(sw, sw, _MM_SHUFFLE(2, 2, 2, 2));
      const __m128 w3 = _mm_shuffle_ps(sw, sw, _MM_SHUFFLE(3, 3, 3, 3));
      float* slot = blended + k * 12;
      _mm_store_ps(slot, _mm_add_ps(_mm_add_ps(_mm_mul_ps(w0, q0), _mm_mul_ps(w1, q1)),
                                    _mm_add_ps(_mm_mul_ps(w2, q2), _mm_mul_ps(w3, q3))));
      const __m128 e01 =
          _mm_add_ps(_mm_mul_ps(w0, _mm_loadu_ps(e0 + 4)), _mm_mul_ps(w1, _mm_loadu_ps(e1 + 4)));
      const __m128 e23 =
          _mm_add_ps(_mm_mul_ps(w2, _mm_loadu_ps(e2 + 4)), _mm_mul_ps(w3, _mm_loadu_ps(e3 + 4)));
      _mm_store_ps(slot + 4, _mm_add_ps(e01, e23));
      // Four floats where a fourth follows (that lane is never used), three at the end.
      const FVECTOR3& src = positions[v];
      __m128 p = v + 1 < n ? _mm_loadu_ps(&src.x) : _mm_setr_ps(src.x, src.y, src.z, 0.0f);
      if (kScaled) {
        const float weight_sum = weight[0] + weight[1] + weight[2] + weight[3];
        const float scale_sum = weight[0] * scale[ix[0]] + weight[1] * scale[ix[1]] +
                                weight[2] * scale[ix[2]] + weight[3] * scale[ix[3]];
        p = _mm_mul_ps(p, _mm_set1_ps(weight_sum > 0.0f ? scale_sum / weight_sum : 0.0f));
      }
      _mm_store_ps(slot + 8, p);
    }
    for (int k = 0; k < count; ++k) {
      if (todo[k] == 0) continue;
      const float* slot = blended + k * 12;
      const __m128 b = _mm_load_ps(slot), e = _mm_load_ps(slot + 4), p = _mm_load_ps(slot + 8);
      // 2/|b|² in every lane; 0 where nothing was blended.
      __m128 n2 = _mm_mul_ps(b, b);
      n2 = _mm_add_ps(n2, _mm_shuffle_ps(n2, n2, _MM_SHUFFLE(2, 3, 0, 1)));
      n2 = _mm_add_ps(n2, _mm_shuffle_ps(n2, n2, _MM_SHUFFLE(1, 0, 3, 2)));
      const __m128 valid = _mm_cmpgt_ps(n2, min_norm);
      const __m128 two_inv = _mm_and_ps(_mm_div_ps(two, n2), valid);
      const __m128 bw = _mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 3, 3, 3));
      const __m128 ew = _mm_shuffle_ps(e, e, _MM_SHUFFLE(3, 3, 3, 3));
      const __m128 u = _mm_add_ps(_mm_add_ps(CrossPs(b, p), _mm_mul_ps(bw, p)), e);
      const __m128 t = _mm_sub_ps(_mm_add_ps(CrossPs(b, u), _mm_mul_ps(bw, e)), _mm_mul_ps(ew, b));
      const __m128 r = _mm_and_ps(_mm_add_ps(p, _mm_mul_ps(t, two_inv)), valid);
      float* o = &out[block + k].x;
      _mm_storel_pi(reinterpret_cast<__m64*>(o), r);
      _mm_store_ss(o + 2, _mm_movehl_ps(r, r));
    }
  }
}

template <typename Index>
void DualQuaternionVertices(const SkinCache& cache, const Index* index, const std::vector<FMATRIX>& palette,
                            const DualQuaternionPalette& dq, const FVECTOR3* positions, FVECTOR3* out) {
  // Chosen once per frame, so that the loop has no test it does not need.
  if (dq.all_blendable) {
    if (dq.any_scaled) {
      DualQuaternionKernel<Index, true, false>(cache, index, palette, dq, positions, out);
    } else {
      DualQuaternionKernel<Index, false, false>(cache, index, palette, dq, positions, out);
    }
  } else if (dq.any_scaled) {
    DualQuaternionKernel<Index, true, true>(cache, index, palette, dq, positions, out);
  } else {
    DualQuaternionKernel<Index, false, true>(cache, index, palette, dq, positions, out);
  }
}
#endif

}  // namespace

void SkinPositionsDualQuaternion(const SkinCache& cache, const std::vector<FMATRIX>& palette,
                                 const DualQuaternionPalette& dq, const std::vector<FVECTOR3>& positions,
                                 std::vector<FVECTOR3>& out) {
#if defined(__SSE2__)
  out.resize(positions.size());
  if (!DualQuaternionsFit(cache, palette, dq, positions)) return;
  if (!cache.index8.empty()) {
    DualQuaternionVertices(cache, cache.index8.data(), palette, dq, positions.data(), out.data());
  } else if (!cache.index16.empty()) {
    DualQuaternionVertices(cache, cache.index16.data(), palette, dq, positions.data(), out.data());
  } else {
    DualQuaternionVertices(cache, cache.index.data(), palette, dq, positions.data(), out.data());
  }
#else
  SkinPositionsDualQuaternionScalar(cache, palette, dq, positions, out);
#endif
}

bool ApplySkin(const DeformInputs& in, MQObject target, MQObject source, const SkinCache& cache,
               SkinScratch& scratch) {
  if (target == nullptr || source == nullptr || in.matrices == nullptr) return true;
  if (static_cast<int>(in.matrices->size()) != cache.identity_index) return false;
  const MQHostApi& api = HostApi();
  const int n = std::min(cache.vertex_count, api.MQObj_GetVertexCount(target));
  if (n <= 0 || api.MQObj_GetFaceCount(source) <= 0) return true;
  const std::vector<FMATRIX>* palette = in.palette;
  if (palette == nullptr || palette->size() != in.matrices->size() + 1) {
    scratch.palette.assign(in.matrices->begin(), in.matrices->end());
    scratch.palette.push_back(FMATRIX::kIdentity);
    palette = &scratch.palette;
  }
  const FVECTOR3* positions = MorphedPositions(in, source, cache, scratch.positions);
  // Skinned into the scratch array first, so that the kernel runs without a
  // host call; then the written vertices go to the host.
  scratch.skinned.resize(static_cast<size_t>(n));
  SkinVertices(cache, n, *palette, positions, scratch.skinned.data());
  const auto set_vertex = api.MQObj_SetVertex;
  const uint8_t* written = cache.written.data();
  for (int v = 0; v < n; ++v) {
    if (written[v] == 0) continue;
    const FVECTOR3& p = scratch.skinned[static_cast<size_t>(v)];
    const MQPoint point{p.x, p.y, p.z};
    set_vertex(target, v, &point);
  }
  return true;
}

}  // namespace quorvel
