#include "deform/skinning.h"

#include <algorithm>

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
