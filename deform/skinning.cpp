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

  // The base shape: the vertices, unless a morph target is shown in them; then
  // the stored base where it is valid.
  cache.base.resize(static_cast<size_t>(n));
  for (int v = 0; v < n; ++v) {
    MQPoint p{0.0f, 0.0f, 0.0f};
    api.MQObj_GetVertex(source, v, &p);
    cache.base[static_cast<size_t>(v)] = FVECTOR3{p.x, p.y, p.z};
  }
  for (int k = 0; k < kMaxMorphTargets && !cache.has_morph_target; ++k) {
    cache.has_morph_target = HasMorphTargetRecord(source, slots, k);
  }
  if (cache.has_morph_target) {
    std::vector<VMorphTarget> stored;
    if (GetCurrentMorphIndex(source, slots) != -1 &&
        ReadAllVertexRecords(source, slots.MorphShape(-1), n, stored)) {
      for (int v = 0; v < n; ++v) {
        if (stored[static_cast<size_t>(v)].valid != 0) {
          cache.base[static_cast<size_t>(v)] = stored[static_cast<size_t>(v)].position;
        }
      }
    }
    for (int k = 0; k < kMaxMorphTargets; ++k) {
      if (!ReadAllVertexRecords(source, slots.MorphShape(k), n, stored)) continue;
      SkinCache::MorphSlot slot;
      slot.k = k;
      slot.delta.assign(static_cast<size_t>(n), FVECTOR3{0.0f, 0.0f, 0.0f});
      for (int v = 0; v < n; ++v) {
        const VMorphTarget& m = stored[static_cast<size_t>(v)];
        if (m.valid != 0) slot.delta[static_cast<size_t>(v)] = m.position - cache.base[static_cast<size_t>(v)];
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
  if (!cache.has_morph_target || cache.morphs.empty() || in.slots == nullptr) return cache.base.data();
  if (in.pose_id < 0 || in.pose_id >= kMaxPoses) return cache.base.data();
  OPoseMorph weights;
  if (!GetPoseMorph(source, *in.slots, in.pose_id, weights)) return cache.base.data();
  bool copied = false;
  const size_t n = cache.base.size();
  for (const SkinCache::MorphSlot& slot : cache.morphs) {
    const float w = weights.weight[slot.k];
    if (w == 0.0f) continue;
    if (!copied) {
      scratch.assign(cache.base.begin(), cache.base.end());
      copied = true;
    }
    for (size_t v = 0; v < n; ++v) scratch[v] += slot.delta[v] * w;
  }
  return copied ? scratch.data() : cache.base.data();
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

template <typename Index, typename Emit>
void SkinVerticesWith(const SkinCache& cache, int n, const Index* index,
                      const std::vector<FMATRIX>& palette, const FVECTOR3* positions, Emit&& emit) {
  const uint8_t* written = cache.written.data();
  const float* weight = cache.weight.data();
  const float* matrices = palette.data()->m;
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
    __m128 rows[4];
    for (int r = 0; r < 4; ++r) {
      const __m128 a = _mm_add_ps(_mm_mul_ps(w0, _mm_loadu_ps(m0 + 4 * r)),
                                  _mm_mul_ps(w1, _mm_loadu_ps(m1 + 4 * r)));
      const __m128 b = _mm_add_ps(_mm_mul_ps(w2, _mm_loadu_ps(m2 + 4 * r)),
                                  _mm_mul_ps(w3, _mm_loadu_ps(m3 + 4 * r)));
      rows[r] = _mm_add_ps(a, b);
    }
    const FVECTOR3& p = positions[v];
    const __m128 s = _mm_add_ps(
        _mm_add_ps(_mm_mul_ps(_mm_set1_ps(p.x), rows[0]), _mm_mul_ps(_mm_set1_ps(p.y), rows[1])),
        _mm_add_ps(_mm_mul_ps(_mm_set1_ps(p.z), rows[2]), rows[3]));
    alignas(16) float result[4];
    _mm_store_ps(result, s);
    emit(v, FVECTOR3{result[0], result[1], result[2]});
  }
#else
  for (int v = 0; v < n; ++v, index += kK, weight += kK) {
    if (written[v] == 0) continue;
    FVECTOR3 sum{0.0f, 0.0f, 0.0f};
    for (int j = 0; j < kK; ++j) {
      if (weight[j] == 0.0f) continue;
      sum += palette[static_cast<size_t>(index[j])].TransformPoint(positions[v]) * weight[j];
    }
    emit(v, sum);
  }
#endif
}

// The first `n` vertices (at most the cache's).
template <typename Emit>
void SkinVertices(const SkinCache& cache, int n, const std::vector<FMATRIX>& palette,
                  const FVECTOR3* positions, Emit&& emit) {
  n = std::min(n, cache.vertex_count);
  if (!cache.index8.empty()) {
    SkinVerticesWith(cache, n, cache.index8.data(), palette, positions, emit);
  } else if (!cache.index16.empty()) {
    SkinVerticesWith(cache, n, cache.index16.data(), palette, positions, emit);
  } else {
    SkinVerticesWith(cache, n, cache.index.data(), palette, positions, emit);
  }
}

void SkinPositions(const SkinCache& cache, const std::vector<FMATRIX>& palette,
                   const std::vector<FVECTOR3>& positions, std::vector<FVECTOR3>& out) {
  out.resize(positions.size());
  if (positions.size() < static_cast<size_t>(cache.vertex_count) || palette.empty()) return;
  SkinVertices(cache, cache.vertex_count, palette, positions.data(), [&out](int v, const FVECTOR3& p) {
    out[static_cast<size_t>(v)] = p;
  });
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
  auto set_vertex = api.MQObj_SetVertex;
  SkinVertices(cache, n, *palette, positions, [set_vertex, target](int v, const FVECTOR3& p) {
    const MQPoint point{p.x, p.y, p.z};
    set_vertex(target, v, &point);
  });
  return true;
}

}  // namespace quorvel
