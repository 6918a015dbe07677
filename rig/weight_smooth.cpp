#include "rig/weight_smooth.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "rig/run_in_halves.h"
#include "rig/weight_record.h"

namespace quorvel {

namespace {

// Smaller loops are not worth a thread.
constexpr std::size_t kMinParallel = 1 << 14;

// A record with weights to smooth or to lend: valid, with entries, all of
// them finite. Anything else is neither changed nor read.
bool HasUsableWeights(const VWeight& rec) {
  const int n = Count(rec);
  if (!IsValid(rec) || n == 0) return false;
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(rec.entries[i].weight)) return false;
  }
  return true;
}

bool IsSelected(const std::vector<uint8_t>& selected, std::size_t v) {
  return selected.empty() || (v < selected.size() && selected[v] != 0);
}

// Bone weights summed per bone, in the order the bones first appear. With
// a `position` table (bone -> place in the lists, -1 for none) a bone is
// found at once; without, by a search through the few bones so far.
template <typename Bone>
struct BoneSums {
  Bone* bone;
  double* own;       // the vertex's own weights
  double* borrowed;  // the neighbours' weights, summed
  int32_t* position = nullptr;
  int count = 0;

  int Find(Bone id) {
    if (position != nullptr) {
      int32_t& at = position[static_cast<std::size_t>(id)];
      if (at < 0) at = Append(id);
      return at;
    }
    for (int i = 0; i < count; ++i) {
      if (bone[i] == id) return i;
    }
    return Append(id);
  }
  // Ready for the next vertex.
  void Clear() {
    if (position != nullptr) {
      for (int i = 0; i < count; ++i) position[static_cast<std::size_t>(bone[i])] = -1;
    }
    count = 0;
  }

 private:
  int Append(Bone id) {
    bone[count] = id;
    own[count] = 0.0;
    borrowed[count] = 0.0;
    return count++;
  }
};

// Picks the strongest `max_bones` of `total[0..count)` that reach `minimum`
// into `chosen`, in their order of appearance; ties go to the earlier one.
// Answers how many were picked.
int PickStrongest(const double* total, int count, int max_bones, double minimum, int* chosen) {
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    if (!(total[i] >= minimum)) continue;
    if (kept < max_bones) {
      chosen[kept++] = i;
      continue;
    }
    // Full: replace the weakest kept one (the later of equally weak ones)
    // when this one is stronger.
    int weakest = 0;
    for (int k = 1; k < kept; ++k) {
      if (total[chosen[k]] <= total[chosen[weakest]]) weakest = k;
    }
    if (total[i] > total[chosen[weakest]]) {
      for (int k = weakest; k + 1 < kept; ++k) chosen[k] = chosen[k + 1];
      chosen[kept - 1] = i;
    }
  }
  return kept;
}

// ---------------------------------------------------------------------------
// Smoothing works on compact copies of the records: bone ids replaced by
// indices into a table of the bones in use, unused slots marked by NaN
// (usable weights are finite). Two such copies of a large mesh cost less
// to allocate and to stream than two copies of the 36-byte records.

class BoneTable {
 public:
  // The index of `id`, added when new.
  int Add(int32_t id) {
    const auto it = index_.emplace(id, static_cast<int>(ids_.size()));
    if (it.second) ids_.push_back(id);
    return it.first->second;
  }
  int Find(int32_t id) const { return index_.at(id); }
  int32_t Id(std::size_t index) const { return ids_[index]; }
  std::size_t Size() const { return ids_.size(); }

 private:
  std::unordered_map<int32_t, int> index_;
  std::vector<int32_t> ids_;
};

// A few recent lookups of the table: rigs have few bones, and neighbouring
// vertices name the same ones.
class BoneCache {
 public:
  template <typename Lookup>
  int Get(int32_t id, const Lookup& lookup) {
    Line& line = lines_[static_cast<uint32_t>(id) & (kLines - 1)];
    if (line.index < 0 || line.id != id) line = Line{id, lookup(id)};
    return line.index;
  }

 private:
  static constexpr int kLines = 256;
  struct Line {
    int32_t id = 0;
    int index = -1;
  };
  Line lines_[kLines];
};

template <typename Index>
struct Slots {
  Slots() {}  // left unwritten: a large array is touched only where records go
  float weight[kMaxWeightEntries];
  Index bone[kMaxWeightEntries];

  int Count() const {
    int n = 0;
    while (n < kMaxWeightEntries && !std::isnan(weight[n])) ++n;
    return n;
  }
};

template <typename Index>
bool SameWeights(const Slots<Index>& a, const Slots<Index>& b) {
  if (std::memcmp(&a, &b, sizeof a) == 0) return true;
  const int n = a.Count();
  if (b.Count() != n) return false;
  bool used[kMaxWeightEntries] = {};
  for (int i = 0; i < n; ++i) {
    int found = -1;
    for (int j = 0; j < n && found < 0; ++j) {
      if (!used[j] && b.bone[j] == a.bone[i] && b.weight[j] == a.weight[i]) found = j;
    }
    if (found < 0) return false;
    used[found] = true;
  }
  return true;
}

template <typename Index>
struct SmoothJob {
  const MeshAdjacency& adjacency;
  const std::vector<uint8_t>& selected;
  const std::vector<uint8_t>& usable;
  const BoneTable& table;
  int iterations;
  double strength;
  int max_bones;
  std::size_t rows;  // vertices with both a record and an adjacency row

  int Run(std::vector<VWeight>& weights) const {
    const std::size_t records = weights.size();
    std::vector<Slots<Index>> current(records), next(records);
    std::vector<uint8_t> active(rows, 0);
    int64_t widest[2] = {0, 0};
    // Compact copies, and which vertices may change: selected, with
    // weights, with at least one neighbour with weights. Smoothing keeps
    // weights usable, so the set stays.
    RunInHalves(records, kMinParallel, [&](int part, std::size_t first, std::size_t last) {
      BoneCache cache;
      auto find = [this](int32_t id) { return table.Find(id); };
      for (std::size_t v = first; v < last; ++v) {
        if (!usable[v]) continue;
        const VWeight& rec = weights[v];
        Slots<Index> slots;
        const int count = quorvel::Count(rec);
        for (int k = 0; k < kMaxWeightEntries; ++k) {
          slots.weight[k] = k < count ? rec.entries[k].weight : std::numeric_limits<float>::quiet_NaN();
          slots.bone[k] = k < count ? static_cast<Index>(cache.Get(rec.entries[k].bone, find)) : Index{0};
        }
        current[v] = slots;
        next[v] = slots;
        if (v >= rows || !IsSelected(selected, v)) continue;
        int64_t begin, end;
        Row(v, begin, end);
        for (int64_t i = begin; i < end; ++i) {
          if (!Lends(adjacency.neighbours[static_cast<std::size_t>(i)])) continue;
          active[v] = 1;
          widest[part] = std::max(widest[part], end - begin);
          break;
        }
      }
    });
    // Room for the bones of the widest neighbourhood, one set per half,
    // allocated here so that no worker thread allocates.
    struct Scratch {
      std::vector<Index> bone;
      std::vector<double> own, borrowed, total;
      std::vector<int32_t> position;  // small bone indices find their sums at once
    };
    const std::size_t room =
        static_cast<std::size_t>(kMaxWeightEntries * (std::max(widest[0], widest[1]) + 1));
    const std::size_t index_range = sizeof(Index) <= 2 ? std::size_t{1} << (8 * sizeof(Index)) : 0;
    Scratch scratch[2];
    for (Scratch& s : scratch) {
      s.bone.resize(room);
      s.own.resize(room);
      s.borrowed.resize(room);
      s.total.resize(room);
      s.position.assign(index_range, -1);
    }

    // Jacobi iterations: each reads `current` and writes `next`. Records that
    // never change hold the same slots in both.
    for (int iteration = 0; iteration < iterations; ++iteration) {
      bool moved[2] = {false, false};
      RunInHalves(rows, kMinParallel, [&](int part, std::size_t first, std::size_t last) {
        Scratch& s = scratch[part];
        BoneSums<Index> sums{s.bone.data(), s.own.data(), s.borrowed.data(),
                             s.position.empty() ? nullptr : s.position.data()};
        bool any_moved = false;
        for (std::size_t v = first; v < last; ++v) {
          if (!active[v]) continue;
          const Slots<Index>& mine = current[v];
          Slots<Index>& out = next[v];
          out = mine;
          const bool smoothed = Smooth(v, current, mine, sums, s.total.data(), out);
          sums.Clear();  // leaves the position table empty for the next vertex and iteration
          if (smoothed && !any_moved && std::memcmp(&out, &mine, sizeof out) != 0) any_moved = true;
        }
        moved[part] = any_moved;
      });
      current.swap(next);
      // Nothing moved: further iterations would give the same records.
      if (!moved[0] && !moved[1]) break;
    }

    // Back into the records, where they differ from what was there.
    int changed[2] = {0, 0};
    RunInHalves(rows, kMinParallel, [&](int part, std::size_t first, std::size_t last) {
      for (std::size_t v = first; v < last; ++v) {
        if (!active[v]) continue;
        const Slots<Index>& slots = current[v];
        VWeight& rec = weights[v];
        const int count = slots.Count();
        bool same = count == quorvel::Count(rec);
        for (int k = 0; k < count && same; ++k) {
          same = rec.entries[k].bone == table.Id(slots.bone[k]) &&
                 std::memcmp(&rec.entries[k].weight, &slots.weight[k], sizeof(float)) == 0;
        }
        if (same) continue;
        rec.head = static_cast<uint8_t>((rec.head & VWeight::kValidBit) | (count << 1));
        for (int k = 0; k < count; ++k) {
          rec.entries[k] = VWeightEntry{table.Id(slots.bone[k]), slots.weight[k]};
        }
        ++changed[part];
      }
    });
    return changed[0] + changed[1];
  }

  void Row(std::size_t v, int64_t& begin, int64_t& end) const {
    const int64_t stored = static_cast<int64_t>(adjacency.neighbours.size());
    begin = std::clamp<int64_t>(adjacency.start[v], 0, stored);
    end = std::clamp<int64_t>(adjacency.start[v + 1], begin, stored);
  }
  bool Lends(int32_t u) const {
    return u >= 0 && static_cast<std::size_t>(u) < usable.size() && usable[static_cast<std::size_t>(u)];
  }

  // One vertex's new weights from `current` into `out`; false when they
  // stay as they are: all its neighbours hold its own weights, or no bone
  // keeps a weight worth storing.
  bool Smooth(std::size_t v, const std::vector<Slots<Index>>& current, const Slots<Index>& mine,
              BoneSums<Index>& sums, double* total, Slots<Index>& out) const {
    int64_t begin, end;
    Row(v, begin, end);
    const int count = mine.Count();
    int lenders = 0;
    bool all_same = true;
    // Whether every neighbour names this vertex's bones in the same slots,
    // as neighbours mostly do: the sums then need no search by bone.
    bool aligned = !HasRepeats(mine, count);
    for (int64_t i = begin; i < end; ++i) {
      const int32_t u = adjacency.neighbours[static_cast<std::size_t>(i)];
      if (!Lends(u)) continue;
      const Slots<Index>& lender = current[static_cast<std::size_t>(u)];
      ++lenders;
      if (all_same) all_same = SameWeights(mine, lender);
      if (aligned) {
        aligned = lender.Count() == count && std::memcmp(lender.bone, mine.bone, sizeof mine.bone) == 0;
      }
    }
    if (all_same || lenders == 0) return false;

    // The same sums in the same order either way: own weight, then the
    // neighbours' in their order.
    Index* bone = sums.bone;
    if (aligned) {
      for (int k = 0; k < count; ++k) {
        bone[k] = mine.bone[k];
        sums.own[k] = mine.weight[k];
        sums.borrowed[k] = 0.0;
      }
      for (int64_t i = begin; i < end; ++i) {
        const int32_t u = adjacency.neighbours[static_cast<std::size_t>(i)];
        if (!Lends(u)) continue;
        const Slots<Index>& lender = current[static_cast<std::size_t>(u)];
        for (int k = 0; k < count; ++k) sums.borrowed[k] += lender.weight[k];
      }
    } else {
      for (int k = 0; k < count; ++k) sums.own[sums.Find(mine.bone[k])] += mine.weight[k];
      for (int64_t i = begin; i < end; ++i) {
        const int32_t u = adjacency.neighbours[static_cast<std::size_t>(i)];
        if (!Lends(u)) continue;
        const Slots<Index>& lender = current[static_cast<std::size_t>(u)];
        for (int k = 0, n = lender.Count(); k < n; ++k) {
          sums.borrowed[sums.Find(lender.bone[k])] += lender.weight[k];
        }
      }
    }
    const int bones = aligned ? count : sums.count;

    const double keep = 1.0 - strength, share = strength / lenders;
    for (int i = 0; i < bones; ++i) total[i] = keep * sums.own[i] + share * sums.borrowed[i];
    int chosen[kMaxWeightEntries];
    const int kept = PickStrongest(total, bones, max_bones, kWeightRemoveThreshold, chosen);
    if (kept == 0) return false;
    // Normalised as the record's own rule does it.
    VWeight rec;
    rec.head = static_cast<uint8_t>(VWeight::kValidBit | (kept << 1));
    for (int k = 0; k < kept; ++k) rec.entries[k] = VWeightEntry{0, static_cast<float>(total[chosen[k]])};
    Normalize(rec);
    for (int k = 0; k < kMaxWeightEntries; ++k) {
      out.weight[k] = k < kept ? rec.entries[k].weight : std::numeric_limits<float>::quiet_NaN();
      out.bone[k] = k < kept ? bone[chosen[k]] : Index{0};
    }
    return true;
  }

  static bool HasRepeats(const Slots<Index>& slots, int count) {
    for (int i = 1; i < count; ++i) {
      for (int j = 0; j < i; ++j) {
        if (slots.bone[i] == slots.bone[j]) return true;
      }
    }
    return false;
  }
};

}  // namespace

MeshAdjacency BuildAdjacency(const RigMesh& mesh) {
  const int n = std::max(mesh.VertexCount(), 0);
  MeshAdjacency adjacency;
  adjacency.start.assign(static_cast<std::size_t>(n) + 1, 0);
  const std::vector<int32_t>& face_start = mesh.face_start;
  const std::vector<int32_t>& corners = mesh.face_vertices;
  const int faces = mesh.FaceCount();

  // Every edge of every face, both ways: polygons are closed, a face of two
  // vertices is a line with one edge. Edges to a vertex that does not exist
  // and edges from a vertex to itself are skipped.
  auto for_each_edge = [&](auto&& visit) {
    auto edge = [&](int32_t a, int32_t b) {
      if (a == b || a < 0 || b < 0 || a >= n || b >= n) return;
      visit(a, b);
      visit(b, a);
    };
    for (int f = 0; f < faces; ++f) {
      const int64_t begin = face_start[static_cast<std::size_t>(f)];
      const int64_t end = std::min<int64_t>(face_start[static_cast<std::size_t>(f) + 1],
                                            static_cast<int64_t>(corners.size()));
      if (begin < 0 || end - begin < 2) continue;
      const int32_t* c = corners.data() + begin;
      const int64_t k = end - begin;
      if (k == 2) {
        edge(c[0], c[1]);
        continue;
      }
      for (int64_t i = 0; i + 1 < k; ++i) edge(c[i], c[i + 1]);
      edge(c[k - 1], c[0]);
    }
  };

  std::vector<int32_t>& start = adjacency.start;
  for_each_edge([&](int32_t a, int32_t) { ++start[static_cast<std::size_t>(a) + 1]; });
  for (int v = 0; v < n; ++v) start[static_cast<std::size_t>(v) + 1] += start[static_cast<std::size_t>(v)];
  std::vector<int32_t> all(static_cast<std::size_t>(start[static_cast<std::size_t>(n)]));
  std::vector<int32_t> cursor(start.begin(), start.end() - 1);
  for_each_edge([&](int32_t a, int32_t b) {
    all[static_cast<std::size_t>(cursor[static_cast<std::size_t>(a)]++)] = b;
  });

  // Each row sorted and without repeats (an inner edge comes once from each
  // of its faces), compacted in place.
  int32_t written = 0;
  for (int v = 0; v < n; ++v) {
    int32_t* row = all.data() + start[static_cast<std::size_t>(v)];
    int32_t* row_end = all.data() + start[static_cast<std::size_t>(v) + 1];
    if (row_end - row <= 16) {
      for (int32_t* i = row + 1; i < row_end; ++i) {
        const int32_t x = *i;
        int32_t* j = i;
        for (; j > row && *(j - 1) > x; --j) *j = *(j - 1);
        *j = x;
      }
    } else {
      std::sort(row, row_end);
    }
    start[static_cast<std::size_t>(v)] = written;
    for (int32_t* i = row; i < row_end; ++i) {
      if (i == row || *i != *(i - 1)) all[static_cast<std::size_t>(written++)] = *i;
    }
  }
  start[static_cast<std::size_t>(n)] = written;
  all.resize(static_cast<std::size_t>(written));
  all.shrink_to_fit();
  adjacency.neighbours = std::move(all);
  return adjacency;
}

int SmoothWeights(const MeshAdjacency& adjacency, const std::vector<uint8_t>& selected,
                  const SmoothOptions& options, std::vector<VWeight>& weights) {
  const int iterations = std::clamp(options.iterations, 1, 1000);
  const int max_bones = std::clamp(options.max_bones, 1, kMaxWeightEntries);
  // Strength 0 (or NaN) keeps every record as it is, renormalisation included.
  if (!(options.strength > 0.0f)) return 0;
  const double strength = std::min(options.strength, 1.0f);
  const std::size_t rows = std::min(weights.size(), adjacency.start.empty() ? 0 : adjacency.start.size() - 1);
  if (rows == 0) return 0;

  std::vector<uint8_t> usable(weights.size(), 0);
  BoneTable table;
  BoneCache cache;
  auto add = [&table](int32_t id) { return table.Add(id); };
  for (std::size_t v = 0; v < weights.size(); ++v) {
    const VWeight& rec = weights[v];
    if (!HasUsableWeights(rec)) continue;
    usable[v] = 1;
    for (int k = 0, n = Count(rec); k < n; ++k) cache.Get(rec.entries[k].bone, add);
  }
  // The narrowest index type that numbers the bones in use.
  if (table.Size() <= 256) {
    return SmoothJob<uint8_t>{adjacency, selected, usable, table, iterations, strength, max_bones, rows}.Run(
        weights);
  }
  if (table.Size() <= 65536) {
    return SmoothJob<uint16_t>{adjacency, selected, usable, table, iterations, strength, max_bones, rows}.Run(
        weights);
  }
  return SmoothJob<int32_t>{adjacency, selected, usable, table, iterations, strength, max_bones, rows}.Run(
      weights);
}

int LimitWeights(const std::vector<uint8_t>& selected, int max_bones, std::vector<VWeight>& weights) {
  const int limit = std::clamp(max_bones, 1, kMaxWeightEntries);
  int changed = 0;
  for (std::size_t v = 0; v < weights.size(); ++v) {
    VWeight& rec = weights[v];
    if (!IsSelected(selected, v) || Count(rec) <= limit || !HasUsableWeights(rec)) continue;
    int32_t bone[kMaxWeightEntries];
    double own[kMaxWeightEntries], unused[kMaxWeightEntries];
    BoneSums<int32_t> sums{bone, own, unused};
    for (int k = 0, n = Count(rec); k < n; ++k) {
      sums.own[sums.Find(rec.entries[k].bone)] += rec.entries[k].weight;
    }
    int chosen[kMaxWeightEntries];
    const int kept = PickStrongest(own, sums.count, limit, -std::numeric_limits<double>::infinity(), chosen);
    for (int k = 0; k < kept; ++k) {
      rec.entries[k] = VWeightEntry{bone[chosen[k]], static_cast<float>(own[chosen[k]])};
    }
    rec.head = static_cast<uint8_t>((rec.head & VWeight::kValidBit) | (kept << 1));
    Normalize(rec);
    ++changed;
  }
  return changed;
}

}  // namespace quorvel
