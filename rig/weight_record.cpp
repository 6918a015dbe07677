#include "rig/weight_record.h"

#include <cmath>

namespace quorvel {

namespace {

void StoreCount(VWeight& rec, int n) {
  rec.head = static_cast<uint8_t>((rec.head & VWeight::kValidBit) | (n << 1));
}

// Entry i and the entries after it move down one place.
void RemoveEntry(VWeight& rec, int i, int n) {
  for (int k = i; k + 1 < n; ++k) rec.entries[k] = rec.entries[k + 1];
  StoreCount(rec, n - 1);
}

// Truncation toward zero that cannot overflow: the accumulators only need to
// know whether they left 0..255, so anything far outside is pinned, and a NaN
// contributes nothing.
int TruncatePinned(float v) {
  constexpr float kPin = 65536.0f;
  if (std::isnan(v)) return 0;
  if (v >= kPin) return static_cast<int>(kPin);
  if (v <= -kPin) return -static_cast<int>(kPin);
  return static_cast<int>(v);
}

void StoreColour(VWeight& rec, int r, int g, int b) {
  rec.colour[0] = UCOLOR::ClampChannel(r);
  rec.colour[1] = UCOLOR::ClampChannel(g);
  rec.colour[2] = UCOLOR::ClampChannel(b);
}

}  // namespace

void Init(VWeight& rec) { rec.head = VWeight::kValidBit; }

bool IsValid(const VWeight& rec) { return (rec.head & VWeight::kValidBit) != 0; }

void SetOwn(VWeight& rec, int32_t id) {
  rec.entries[0] = VWeightEntry{id, 1.0f};
  StoreCount(rec, 1);
}

int Count(const VWeight& rec) {
  const int stored = rec.head >> 1;
  return stored < kMaxWeightEntries ? stored : kMaxWeightEntries;
}

int FindBone(const VWeight& rec, int32_t id) {
  const int n = Count(rec);
  for (int i = 0; i < n; ++i) {
    if (rec.entries[i].bone == id) return i;
  }
  return -1;
}

bool SetWeight(VWeight& rec, int32_t id, float w) {
  if (std::fabs(static_cast<double>(w)) < kWeightRemoveThreshold) return RemoveBone(rec, id);
  const int n = Count(rec);
  const int at = FindBone(rec, id);
  if (at >= 0) {
    rec.entries[at].weight = w;
    StoreCount(rec, n);
  } else if (n < kMaxWeightEntries) {
    rec.entries[n] = VWeightEntry{id, w};
    StoreCount(rec, n + 1);
  }
  return true;
}

bool RemoveBone(VWeight& rec, int32_t id) {
  const int at = FindBone(rec, id);
  if (at < 0) return false;
  RemoveEntry(rec, at, Count(rec));
  return true;
}

bool RemoveAt(VWeight& rec, int i) {
  const int n = Count(rec);
  if (i < 0 || i >= n) return false;
  RemoveEntry(rec, i, n);
  return true;
}

void Normalize(VWeight& rec) {
  const int n = Count(rec);
  if (n == 0) return;
  if (n == 1) {
    rec.entries[0].weight = 1.0f;
    StoreCount(rec, n);
    return;
  }
  float sum = 0.0f;
  for (int i = 0; i < n; ++i) sum += rec.entries[i].weight;
  if (static_cast<double>(sum) < kWeightRemoveThreshold) return;
  const float inv = 1.0f / sum;
  for (int i = 0; i < n; ++i) rec.entries[i].weight *= inv;
  StoreCount(rec, n);
}

void CopyEntries(VWeight& dst, const VWeight& src) {
  for (int i = 0; i < kMaxWeightEntries; ++i) dst.entries[i] = src.entries[i];
  StoreCount(dst, Count(src));
}

namespace {

// Removes every entry whose bone an earlier entry names, adding its weight to
// that earlier entry when `sum` is set.
void CollapseRepeats(VWeight& rec, bool sum) {
  int n = Count(rec);
  for (int i = 1; i < n;) {
    int first = -1;
    for (int k = 0; k < i && first < 0; ++k) {
      if (rec.entries[k].bone == rec.entries[i].bone) first = k;
    }
    if (first >= 0) {
      if (sum) rec.entries[first].weight += rec.entries[i].weight;
      RemoveEntry(rec, i, n);
      --n;
    } else {
      ++i;
    }
  }
  StoreCount(rec, n);
}

}  // namespace

void Sanitize(VWeight& rec) { CollapseRepeats(rec, false); }

void MergeRepeatedBones(VWeight& rec) { CollapseRepeats(rec, true); }

uint32_t PackedDisplayColour(const VWeight& rec) {
  return 0xFF000000u | static_cast<uint32_t>(rec.colour[2]) << 16 |
         static_cast<uint32_t>(rec.colour[1]) << 8 | static_cast<uint32_t>(rec.colour[0]);
}

void UpdateColourAllBones(VWeight& rec, const BoneColourLookup& bone_colour) {
  int r = 0, g = 0, b = 0;
  const int n = Count(rec);
  for (int i = 0; i < n; ++i) {
    UCOLOR c;
    if (!bone_colour || !bone_colour(rec.entries[i].bone, &c)) continue;
    const float w = rec.entries[i].weight;
    r = TruncatePinned(static_cast<float>(c.r) * w + static_cast<float>(r));
    g = TruncatePinned(static_cast<float>(c.g) * w + static_cast<float>(g));
    b = TruncatePinned(static_cast<float>(c.b) * w + static_cast<float>(b));
  }
  StoreColour(rec, r, g, b);
}

void UpdateColourCurrentObject(VWeight& rec, int32_t current_object,
                               const BoneColourLookup& bone_colour) {
  int r = 0, g = 0, b = 0;
  const int n = Count(rec);
  for (int i = 0; i < n; ++i) {
    const VWeightEntry& e = rec.entries[i];
    UCOLOR c;
    if (e.bone != current_object || !(e.weight > 0.0f)) continue;
    if (!bone_colour || !bone_colour(e.bone, &c)) continue;
    r = TruncatePinned(static_cast<float>(c.r) * e.weight);
    g = TruncatePinned(static_cast<float>(c.g) * e.weight);
    b = TruncatePinned(static_cast<float>(c.b) * e.weight);
  }
  StoreColour(rec, r, g, b);
}

}  // namespace quorvel
