#include "rig/weight_mirror.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <utility>

#include "rig/run_in_halves.h"
#include "rig/weight_record.h"

namespace quorvel {

namespace {

// Smaller loops are not worth a thread.
constexpr std::size_t kMinParallel = 1 << 15;

// ---------------------------------------------------------------------------
// Side markers of names

enum class Encoding { kShiftJis, kUtf8 };

// True for well-formed UTF-8 (no overlong forms, surrogates or code points
// past U+10FFFF) that has at least one byte outside ASCII. Shift-JIS names
// almost never pass: their lead bytes 0x81..0x9F are UTF-8 continuation bytes.
bool IsMultiByteUtf8(std::string_view s) {
  bool multibyte = false;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    multibyte = true;
    int length = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (i + static_cast<std::size_t>(length) > s.size()) return false;
    for (int k = 1; k < length; ++k) {
      const unsigned char c = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if (k == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF)) return false;
    }
    i += static_cast<std::size_t>(length);
  }
  return multibyte;
}

Encoding EncodingOf(std::string_view name) {
  return IsMultiByteUtf8(name) ? Encoding::kUtf8 : Encoding::kShiftJis;
}

std::size_t CharacterWidth(std::string_view name, std::size_t at, Encoding encoding) {
  const unsigned char b = static_cast<unsigned char>(name[at]);
  std::size_t width = 1;
  if (encoding == Encoding::kUtf8) {
    width = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
  } else if (IsShiftJisLeadByte(name[at])) {
    width = 2;
  }
  // A lead byte cut off at the end stands alone.
  return std::min(width, name.size() - at);
}

// The name split into characters, walked from the start, so that no trail
// byte of a two-byte character is read as a character of its own.
class Characters {
 public:
  Characters(std::string_view name, Encoding encoding) : name_(name) {
    for (std::size_t at = 0; at < name.size(); at += CharacterWidth(name, at, encoding))
      starts_.push_back(at);
    starts_.push_back(name.size());
  }

  int Count() const { return static_cast<int>(starts_.size()) - 1; }
  std::size_t Start(int i) const { return starts_[static_cast<std::size_t>(i)]; }
  std::string_view At(int i) const { return name_.substr(Start(i), Start(i + 1) - Start(i)); }
  // The character's byte when it is a one-byte ASCII character, else 0.
  char Ascii(int i) const {
    if (i < 0 || i >= Count()) return '\0';
    const std::string_view c = At(i);
    return c.size() == 1 && static_cast<unsigned char>(c[0]) < 0x80 ? c[0] : '\0';
  }
  // Index of the character starting at byte `at`, or -1 when `at` is inside one.
  int IndexAt(std::size_t at) const {
    const auto it = std::lower_bound(starts_.begin(), starts_.end(), at);
    return it != starts_.end() && *it == at ? static_cast<int>(it - starts_.begin()) : -1;
  }

 private:
  std::string_view name_;
  std::vector<std::size_t> starts_;
};

bool IsSeparator(char c) { return c == '_' || c == '.' || c == '-' || c == ' '; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }

// The side words in the three spellings names use. A word counts only at a
// word boundary, so that "Leftover", "bright" or "UPRIGHT" carry no marker:
// a capitalised word ends where no lower-case letter follows and may follow
// anything ("armLeft"); a lower-case one needs no letter before it and no
// lower-case letter after it ("leftArm", "arm_left", not "armleft"); an
// upper-case one needs no upper-case letter on the side of the rest.
enum class WordCase { kCapital, kLower, kUpper };
struct SideWords {
  std::string_view left, right;
  WordCase word_case;
};
constexpr SideWords kSideWords[] = {
    {"Left", "Right", WordCase::kCapital},
    {"left", "right", WordCase::kLower},
    {"LEFT", "RIGHT", WordCase::kUpper},
};

// May `before` (0: none or not ASCII) precede a side word at the name's end?
bool EndsWord(WordCase word_case, char before) {
  switch (word_case) {
    case WordCase::kCapital:
      return true;
    case WordCase::kLower:
      return !IsLower(before) && !IsUpper(before);
    case WordCase::kUpper:
      return !IsUpper(before);
  }
  return false;
}
// May `after` follow a side word at the name's start?
bool StartsWord(WordCase word_case, char after) {
  return word_case == WordCase::kUpper ? !IsUpper(after) : !IsLower(after);
}

std::string_view KanjiLeft(Encoding e) { return e == Encoding::kUtf8 ? "\xE5\xB7\xA6" : "\x8D\xB6"; }
std::string_view KanjiRight(Encoding e) { return e == Encoding::kUtf8 ? "\xE5\x8F\xB3" : "\x89\x45"; }

// A marker found in a name: bytes [at, at + length) become `swapped`.
struct Marker {
  std::size_t at = 0;
  std::size_t length = 0;
  std::string_view swapped;
};

std::optional<Marker> Swap(std::size_t at, std::string_view found, std::string_view a, std::string_view b) {
  if (found == a) return Marker{at, a.size(), b};
  if (found == b) return Marker{at, b.size(), a};
  return std::nullopt;
}

// The letters of "arm_L" and "L_arm"; lower-case ones too ("arm_l").
std::optional<Marker> SwapLetter(const Characters& chars, int i) {
  switch (chars.Ascii(i)) {
    case 'L':
      return Marker{chars.Start(i), 1, "R"};
    case 'R':
      return Marker{chars.Start(i), 1, "L"};
    case 'l':
      return Marker{chars.Start(i), 1, "r"};
    case 'r':
      return Marker{chars.Start(i), 1, "l"};
    default:
      return std::nullopt;
  }
}

std::optional<Marker> FindSuffix(std::string_view name, const Characters& chars, Encoding encoding) {
  const int last = chars.Count() - 1;
  if (auto m = Swap(chars.Start(last), chars.At(last), KanjiLeft(encoding), KanjiRight(encoding))) return m;
  for (const SideWords& words : kSideWords) {
    for (std::string_view word : {words.left, words.right}) {
      if (name.size() < word.size() || name.substr(name.size() - word.size()) != word) continue;
      const int index = chars.IndexAt(name.size() - word.size());
      if (index < 0 || !EndsWord(words.word_case, chars.Ascii(index - 1))) continue;
      return Swap(chars.Start(index), word, words.left, words.right);
    }
  }
  if (last >= 1 && IsSeparator(chars.Ascii(last - 1))) return SwapLetter(chars, last);
  return std::nullopt;
}

std::optional<Marker> FindPrefix(std::string_view name, const Characters& chars, Encoding encoding) {
  if (auto m = Swap(0, chars.At(0), KanjiLeft(encoding), KanjiRight(encoding))) return m;
  for (const SideWords& words : kSideWords) {
    for (std::string_view word : {words.left, words.right}) {
      if (name.substr(0, word.size()) != word) continue;
      const int after = chars.IndexAt(word.size());
      if (after < 0 || !StartsWord(words.word_case, chars.Ascii(after))) continue;
      return Swap(0, word, words.left, words.right);
    }
  }
  if (chars.Count() >= 2 && IsSeparator(chars.Ascii(1))) return SwapLetter(chars, 0);
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Weights

// Bone id -> mirror id as a sorted array: four lookups per vertex over a
// handful of bones are cheaper by binary search than through the hash map.
class BoneIdMirror {
 public:
  explicit BoneIdMirror(const BoneMirrorMap& map) : pairs_(map.begin(), map.end()) {
    std::sort(pairs_.begin(), pairs_.end());
  }
  int32_t operator()(int32_t id) const {
    const auto it = std::lower_bound(pairs_.begin(), pairs_.end(),
                                     std::make_pair(id, std::numeric_limits<int32_t>::min()));
    return it != pairs_.end() && it->first == id ? it->second : id;
  }

 private:
  std::vector<std::pair<int32_t, int32_t>> pairs_;
};

bool IsFinite(const FVECTOR3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The source-side vertices bucketed in a uniform grid (counting sort by cell,
// so each cell lists its vertices in ascending order). The cells are at
// least the tolerance wide, so a query visits at most 3 cells per axis, and
// about as many as there are vertices, so a cell holds one or two.
class SourceGrid {
 public:
  SourceGrid(const std::vector<FVECTOR3>& positions, const std::vector<int32_t>& sources, float tolerance)
      : positions_(positions) {
    if (sources.empty()) return;
    FVECTOR3 lo = positions[static_cast<std::size_t>(sources[0])], hi = lo;
    for (int32_t s : sources) {
      lo = Min(lo, positions[static_cast<std::size_t>(s)]);
      hi = Max(hi, positions[static_cast<std::size_t>(s)]);
    }
    for (int a = 0; a < 3; ++a) {
      lo_[a] = Axis(lo, a);
      extent_[a] = static_cast<double>(Axis(hi, a)) - lo_[a];
    }
    const double longest = std::max({extent_[0], extent_[1], extent_[2]});
    // Halve the cell from the longest extent while the grid stays within
    // twice the source count.
    const double budget = 2.0 * static_cast<double>(sources.size()) + 8.0;
    double cell = longest > 0.0 ? longest : 1.0;
    for (int k = 0; k < 64 && CellCount(cell * 0.5) <= budget; ++k) cell *= 0.5;
    cell_ = std::max(cell, static_cast<double>(tolerance));
    for (int a = 0; a < 3; ++a) dims_[a] = static_cast<int64_t>(std::floor(extent_[a] / cell_)) + 1;

    const std::size_t cells = static_cast<std::size_t>(dims_[0] * dims_[1] * dims_[2]);
    std::vector<uint32_t> cell_of(sources.size());
    start_.assign(cells + 1, 0);
    for (std::size_t i = 0; i < sources.size(); ++i) {
      const FVECTOR3& p = positions[static_cast<std::size_t>(sources[i])];
      int64_t c[3];
      for (int a = 0; a < 3; ++a) c[a] = std::clamp(CellIndex(Axis(p, a), a), int64_t{0}, dims_[a] - 1);
      cell_of[i] = static_cast<uint32_t>((c[2] * dims_[1] + c[1]) * dims_[0] + c[0]);
      ++start_[cell_of[i] + 1];
    }
    for (std::size_t c = 0; c < cells; ++c) start_[c + 1] += start_[c];
    members_.resize(sources.size());
    std::vector<uint32_t> cursor(start_.begin(), start_.end() - 1);
    for (std::size_t i = 0; i < sources.size(); ++i) members_[cursor[cell_of[i]]++] = sources[i];
  }

  // The source vertex nearest to `q` within `tolerance`, the lowest index
  // among equally near ones; -1 when none is that near.
  int32_t Nearest(const FVECTOR3& q, float tolerance) const {
    if (members_.empty()) return -1;
    // The range is widened a little so that rounding in the cell index never
    // hides a vertex the distance test accepts.
    const double reach = static_cast<double>(tolerance) * (1.0 + 1e-6) + cell_ * 1e-9;
    int64_t from[3], to[3];
    for (int a = 0; a < 3; ++a) {
      from[a] = CellIndex(static_cast<double>(Axis(q, a)) - reach, a);
      to[a] = CellIndex(static_cast<double>(Axis(q, a)) + reach, a);
      if (to[a] < 0 || from[a] >= dims_[a]) return -1;
      from[a] = std::max<int64_t>(from[a], 0);
      to[a] = std::min<int64_t>(to[a], dims_[a] - 1);
    }
    const float limit = tolerance * tolerance;
    int32_t best = -1;
    float best_distance = 0.0f;
    for (int64_t z = from[2]; z <= to[2]; ++z) {
      for (int64_t y = from[1]; y <= to[1]; ++y) {
        const int64_t row = (z * dims_[1] + y) * dims_[0];
        for (uint32_t k = start_[static_cast<std::size_t>(row + from[0])];
             k < start_[static_cast<std::size_t>(row + to[0] + 1)]; ++k) {
          const int32_t s = members_[k];
          const FVECTOR3 d = positions_[static_cast<std::size_t>(s)] - q;
          const float distance = d.LengthSq();
          if (distance > limit) continue;
          if (best < 0 || distance < best_distance || (distance == best_distance && s < best)) {
            best = s;
            best_distance = distance;
          }
        }
      }
    }
    return best;
  }

 private:
  static float Axis(const FVECTOR3& p, int a) { return a == 0 ? p.x : a == 1 ? p.y : p.z; }
  int64_t CellIndex(double v, int a) const {
    const double c = std::floor((v - lo_[a]) / cell_);
    // Far outside the grid: any index past the end answers the same.
    return static_cast<int64_t>(std::clamp(c, -2.0, static_cast<double>(dims_[a]) + 1.0));
  }
  double CellCount(double cell) const {
    double count = 1.0;
    for (double e : extent_) count *= std::floor(e / cell) + 1.0;
    return count;
  }

  const std::vector<FVECTOR3>& positions_;
  double lo_[3] = {0, 0, 0};
  double extent_[3] = {0, 0, 0};
  double cell_ = 1.0;
  int64_t dims_[3] = {1, 1, 1};
  std::vector<uint32_t> start_{0};
  std::vector<int32_t> members_;
};

}  // namespace

std::string MirrorBoneName(std::string_view name) {
  if (name.empty()) return {};
  const Encoding encoding = EncodingOf(name);
  const Characters chars(name, encoding);
  std::optional<Marker> marker = FindSuffix(name, chars, encoding);
  if (!marker) marker = FindPrefix(name, chars, encoding);
  if (!marker) return {};
  std::string mirrored(name.substr(0, marker->at));
  mirrored.append(marker->swapped);
  mirrored.append(name.substr(marker->at + marker->length));
  // A Shift-JIS name whose swapped kanji happens to make valid UTF-8 would
  // be read the other way next time and not swap back: no mirror name then.
  if (EncodingOf(mirrored) != encoding) return {};
  return mirrored;
}

std::vector<int> PairMirrorBones(const std::vector<RigBone>& bones, float tolerance) {
  const int n = static_cast<int>(bones.size());
  std::vector<int> mirror(bones.size(), -1);

  // By name. With repeated names only the first bone of a name takes part,
  // which keeps the pairing mutual.
  std::unordered_map<std::string, int> first_of_name;
  for (int i = 0; i < n; ++i) first_of_name.emplace(bones[static_cast<std::size_t>(i)].name, i);
  for (int i = 0; i < n; ++i) {
    const std::string& name = bones[static_cast<std::size_t>(i)].name;
    if (mirror[static_cast<std::size_t>(i)] >= 0 || first_of_name.at(name) != i) continue;
    const std::string other = MirrorBoneName(name);
    if (other.empty()) continue;
    const auto it = first_of_name.find(other);
    if (it == first_of_name.end() || mirror[static_cast<std::size_t>(it->second)] >= 0) continue;
    mirror[static_cast<std::size_t>(i)] = it->second;
    mirror[static_cast<std::size_t>(it->second)] = i;
  }

  // By position: every pair of unpaired bones (a bone with itself included)
  // whose heads and tails mirror within the tolerance, nearest pairs first.
  const float tol = std::isfinite(tolerance) && tolerance > 0.0f ? tolerance : 0.0f;
  struct Candidate {
    float distance;
    int a, b;
  };
  std::vector<Candidate> candidates;
  auto mirrored = [](const FVECTOR3& p) { return FVECTOR3(-p.x, p.y, p.z); };
  for (int a = 0; a < n; ++a) {
    if (mirror[static_cast<std::size_t>(a)] >= 0) continue;
    const RigBone& ba = bones[static_cast<std::size_t>(a)];
    for (int b = a; b < n; ++b) {
      if (mirror[static_cast<std::size_t>(b)] >= 0) continue;
      const RigBone& bb = bones[static_cast<std::size_t>(b)];
      const float distance =
          std::max((mirrored(ba.head) - bb.head).Length(), (mirrored(ba.tail) - bb.tail).Length());
      if (distance <= tol) candidates.push_back({distance, a, b});
    }
  }
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& l, const Candidate& r) {
    return l.distance != r.distance ? l.distance < r.distance : (l.a != r.a ? l.a < r.a : l.b < r.b);
  });
  for (const Candidate& c : candidates) {
    if (mirror[static_cast<std::size_t>(c.a)] >= 0 || mirror[static_cast<std::size_t>(c.b)] >= 0) continue;
    mirror[static_cast<std::size_t>(c.a)] = c.b;
    mirror[static_cast<std::size_t>(c.b)] = c.a;
  }
  for (int i = 0; i < n; ++i) {
    if (mirror[static_cast<std::size_t>(i)] < 0) mirror[static_cast<std::size_t>(i)] = i;
  }
  return mirror;
}

BoneMirrorMap MirrorIdMap(const std::vector<RigBone>& bones, const std::vector<int>& pairing) {
  BoneMirrorMap map;
  const std::size_t n = std::min(bones.size(), pairing.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int j = pairing[i];
    if (j < 0 || static_cast<std::size_t>(j) >= bones.size() ||
        bones[static_cast<std::size_t>(j)].id == bones[i].id)
      continue;
    map.emplace(bones[i].id, bones[static_cast<std::size_t>(j)].id);
  }
  return map;
}

MirrorWeightsReport MirrorWeights(const std::vector<FVECTOR3>& positions,
                                  const std::vector<uint8_t>& selected, const BoneMirrorMap& bone_mirror,
                                  MirrorDirection direction, float tolerance, std::vector<VWeight>& weights) {
  MirrorWeightsReport report;
  // With an infinite tolerance every vertex lies on the plane.
  if (std::isinf(tolerance)) return report;
  const float tol = tolerance > 0.0f ? tolerance : 0.0f;
  const std::size_t n = std::min(positions.size(), weights.size());
  const float source_sign = direction == MirrorDirection::kPlusToMinus ? 1.0f : -1.0f;

  std::vector<int32_t> sources, targets;
  for (std::size_t v = 0; v < n; ++v) {
    const FVECTOR3& p = positions[v];
    if (!IsFinite(p)) continue;
    const float side = source_sign * p.x;
    if (side > tol) {
      sources.push_back(static_cast<int32_t>(v));
    } else if (side < -tol && (selected.empty() || (v < selected.size() && selected[v] != 0))) {
      targets.push_back(static_cast<int32_t>(v));
    }
  }
  if (targets.empty()) return report;

  const SourceGrid grid(positions, sources, tol);
  const BoneIdMirror mirror_id(bone_mirror);
  // Targets and sources lie on opposite sides, so the halves read records no
  // one writes.
  std::vector<int32_t> match(targets.size());
  RunInHalves(targets.size(), kMinParallel, [&](int, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      const std::size_t t = static_cast<std::size_t>(targets[i]);
      const FVECTOR3& p = positions[t];
      const int32_t s = grid.Nearest(FVECTOR3(-p.x, p.y, p.z), tol);
      match[i] = s;
      if (s < 0) continue;
      const VWeight& from = weights[static_cast<std::size_t>(s)];
      VWeight& to = weights[t];
      const int count = Count(from);
      to.head = static_cast<uint8_t>((from.head & VWeight::kValidBit) | (count << 1));
      for (int k = 0; k < kMaxWeightEntries; ++k) {
        to.entries[k] = from.entries[k];
        if (k < count) to.entries[k].bone = mirror_id(from.entries[k].bone);
      }
    }
  });
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (match[i] >= 0) {
      ++report.written;
    } else {
      report.unmatched_vertices.push_back(targets[i]);
    }
  }
  report.unmatched = static_cast<int>(report.unmatched_vertices.size());
  return report;
}

OPoseTSQ MirrorPose(const OPoseTSQ& pose) {
  OPoseTSQ mirrored = pose;
  mirrored.trs.x = -pose.trs.x;
  mirrored.rot.y = -pose.rot.y;
  mirrored.rot.z = -pose.rot.z;
  return mirrored;
}

}  // namespace quorvel
