#pragma once
// The rig's records as they are stored in host user data, byte for byte.
//
// Every record here is copied by value between the host and the plug-in, and
// the same bytes are read back by older and newer builds of the plug-in, by
// both editions of it (32-bit and 64-bit: a document saved by one opens in
// the other) and by other plug-ins, so sizes and offsets are pinned by
// static_asserts below. No record holds a pointer, a `long` or a `size_t`:
// the layouts are the same in both editions, and the asserts hold in each.
// Default member values are the values a fresh record gets.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "math/fmath.h"

namespace quorvel {

// Fixed limits of the data model.
constexpr int kMaxPoses = 20;          // pose ids 0..19
constexpr int kMaxMorphTargets = 20;   // morph indices 0..19
constexpr int kMaxMorphGroups = 20;    // group indices 0..19
constexpr int kMaxWeightEntries = 4;   // bones per vertex
constexpr int kPaletteCount = 8;
constexpr int kPenCount = 4;

// Name fields hold up to 255 bytes and a terminator.
constexpr int kNameBytes = 256;
constexpr int kMaxNameLength = kNameBytes - 1;

// The float the rotation limits default to.
constexpr float kLimitPi = 3.1415927f;

// ---------------------------------------------------------------------------
// Name fields. Host data and other plug-ins may leave a name field without a
// terminator, so reads stop at the field's end; writes truncate to 255 bytes
// and clear the rest of the field.

inline std::string_view NameOf(const char (&field)[kNameBytes]) {
  const void* nul = std::memchr(field, '\0', kNameBytes);
  const std::size_t length =
      nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - field)
                     : static_cast<std::size_t>(kMaxNameLength);
  return std::string_view(field, length);
}

// A byte that starts a two-byte Shift-JIS character (the names are in the
// Japanese system code page).
inline bool IsShiftJisLeadByte(char c) {
  const unsigned char b = static_cast<unsigned char>(c);
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The first 255 bytes of `name` (up to an embedded NUL), one byte fewer when
// the cut would leave half of a two-byte character behind.
inline std::string_view BoundedName(std::string_view name) {
  const std::size_t nul = name.find('\0');
  if (nul != std::string_view::npos) name = name.substr(0, nul);
  const auto limit = static_cast<std::size_t>(kMaxNameLength);
  if (name.size() <= limit) return name;
  // Trail bytes can look like lead bytes: walk the characters from the start.
  std::size_t end = 0;
  while (end < limit) {
    const std::size_t width = IsShiftJisLeadByte(name[end]) ? 2 : 1;
    if (end + width > limit) break;
    end += width;
  }
  return name.substr(0, end);
}

inline void SetName(char (&field)[kNameBytes], std::string_view name) {
  const std::string_view bounded = BoundedName(name);
  std::memset(field, 0, kNameBytes);
  if (!bounded.empty()) std::memcpy(field, bounded.data(), bounded.size());
}

// ---------------------------------------------------------------------------
// VWeight (36 bytes, one per vertex; also the layout of palettes and the
// palette clipboard). Byte 0: bit 0 valid marker, bits 1..7 entry count.
// Bytes 1..3: display colour r, g, b. Then four (bone unique id, weight)
// entries, of which only the first `count` are meaningful.

struct VWeightEntry {
  int32_t bone = 0;     // unique id of the bone object
  float weight = 0.0f;
};

struct VWeight {
  static constexpr uint8_t kValidBit = 0x01;

  uint8_t head = 0;
  uint8_t colour[3] = {0, 0, 0};
  VWeightEntry entries[kMaxWeightEntries];
};

// ---------------------------------------------------------------------------
// VMorphTarget (16 bytes, one per vertex): one stored vertex position.

struct VMorphTarget {
  FVECTOR3 position;
  uint8_t valid = 0;
  uint8_t padding[3] = {0, 0, 0};
};

// ---------------------------------------------------------------------------
// OBase (52 bytes, one per object): the bone record.

struct OBase {
  // Flag bits of `flags`.
  enum Flag : uint32_t {
    OB_VALID = 1u << 0,        // record initialised
    usetrs = 1u << 1,          // translation may be posed
    userot = 1u << 2,          // rotation may be posed
    usescl = 1u << 3,          // scale may be posed
    OB_POSEMARK = 1u << 4,     // toggled by a right click while posing
    connect = 1u << 5,         // connected to the parent
    OB_RIG = 1u << 6,          // takes part in pose-mode picking and drawing
    OB_POSEACTIVE = 1u << 7,   // pose-mode activity
    OB_SEL_PIVOT = 1u << 8,
    OB_SEL_ROLL = 1u << 9,
    OB_SEL_BODY = 1u << 10,
    OB_HOVER_BODY = 1u << 11,
    OB_HOVER_PIVOT = 1u << 12,
    OB_HOVER_ROLL = 1u << 13,
    OB_WEIGHTSHOW = 1u << 14,  // weight colour shows in vertex colours
    OB_DEFAULT15 = 1u << 15,   // set by default, carries no meaning
    OB_LIMITMODE = 1u << 16,   // which rotation-limit evaluation IK uses
    OB_BONE = 1u << 17,        // the object is a bone of the IK model
  };
  static constexpr uint32_t kSelectionBits = OB_SEL_PIVOT | OB_SEL_ROLL | OB_SEL_BODY;
  static constexpr uint32_t kHoverBits = OB_HOVER_BODY | OB_HOVER_PIVOT | OB_HOVER_ROLL;
  static constexpr uint32_t kDefaultFlags = 0x0003C0CFu;

  uint32_t flags = kDefaultFlags;
  int32_t saved_visibility = 0;      // host visibility saved before pose mode
  int32_t current_morph = -1;        // current morph target, -1..19
  int32_t reserved = -1;
  UCOLOR weight_colour{0, 0, 0, 255};
  FVECTOR3 limit_min{-kLimitPi, -kLimitPi, -kLimitPi};  // radians
  FVECTOR3 limit_max{kLimitPi, kLimitPi, kLimitPi};
  int32_t ik_target = -1;
  int32_t ik_type = 0;
};

// ---------------------------------------------------------------------------
// OWMT (64 bytes, one per object): the posed world (skinning) matrix.

struct OWMT {
  FMATRIX matrix;  // identity
};

// ---------------------------------------------------------------------------
// OMorphTarget (268 bytes, one per object and morph index).

struct OMorphTarget {
  static constexpr uint32_t kValidBit = 1u;

  uint32_t flags = kValidBit;
  int32_t index = -1;        // the morph index this record describes
  char name[kNameBytes] = {};
  int32_t group = -1;        // OMorphGroup index, -1 none
};

// ---------------------------------------------------------------------------
// OMorphGroup (264 bytes, one per object and group index).

struct OMorphGroup {
  static constexpr uint32_t kValidBit = 1u;

  uint32_t flags = kValidBit;
  int32_t unused = -1;
  char name[kNameBytes] = {};
};

// ---------------------------------------------------------------------------
// OPoseTSQ (40 bytes, one per object and pose id). Default-constructed it is
// the rest pose that an object without a record has.

struct OPoseTSQ {
  FVECTOR3 trs{0.0f, 0.0f, 0.0f};
  FVECTOR3 scl{1.0f, 1.0f, 1.0f};
  FQUAT rot{0.0f, 0.0f, 0.0f, 1.0f};
};

// ---------------------------------------------------------------------------
// OPoseMorph (80 bytes, one per object and pose id): morph weights 0..19.

struct OPoseMorph {
  float weight[kMaxMorphTargets] = {};
};

// 1 - min(sum of the weights in order, 1).
inline float BaseWeight(const OPoseMorph& morph) {
  float sum = 0.0f;
  for (float w : morph.weight) sum += w;
  return 1.0f - (sum < 1.0f ? sum : 1.0f);
}

// ---------------------------------------------------------------------------
// Stored layout: the same figures in both editions

static_assert(sizeof(VWeightEntry) == 8);
static_assert(sizeof(VWeight) == 36, "VWeight is a stored format");
static_assert(sizeof(VMorphTarget) == 16, "VMorphTarget is a stored format");
static_assert(sizeof(OBase) == 52, "OBase is a stored format");
static_assert(sizeof(OWMT) == 64, "OWMT is a stored format");
static_assert(sizeof(OMorphTarget) == 268, "OMorphTarget is a stored format");
static_assert(sizeof(OMorphGroup) == 264, "OMorphGroup is a stored format");
static_assert(sizeof(OPoseTSQ) == 40, "OPoseTSQ is a stored format");
static_assert(sizeof(OPoseMorph) == 80, "OPoseMorph is a stored format");

static_assert(offsetof(VWeight, head) == 0 && offsetof(VWeight, colour) == 1 &&
              offsetof(VWeight, entries) == 4);
static_assert(offsetof(VWeightEntry, bone) == 0 && offsetof(VWeightEntry, weight) == 4);
static_assert(offsetof(VMorphTarget, position) == 0 && offsetof(VMorphTarget, valid) == 12);
static_assert(offsetof(OBase, flags) == 0 && offsetof(OBase, saved_visibility) == 4 &&
              offsetof(OBase, current_morph) == 8 && offsetof(OBase, reserved) == 12 &&
              offsetof(OBase, weight_colour) == 16 && offsetof(OBase, limit_min) == 20 &&
              offsetof(OBase, limit_max) == 32 && offsetof(OBase, ik_target) == 44 &&
              offsetof(OBase, ik_type) == 48);
static_assert(offsetof(OMorphTarget, flags) == 0 && offsetof(OMorphTarget, index) == 4 &&
              offsetof(OMorphTarget, name) == 8 && offsetof(OMorphTarget, group) == 264);
static_assert(offsetof(OMorphGroup, flags) == 0 && offsetof(OMorphGroup, unused) == 4 &&
              offsetof(OMorphGroup, name) == 8);
static_assert(offsetof(OPoseTSQ, trs) == 0 && offsetof(OPoseTSQ, scl) == 12 &&
              offsetof(OPoseTSQ, rot) == 24);

template <typename T>
constexpr bool kIsStoredRecord = std::is_trivially_copyable_v<T> && std::is_standard_layout_v<T>;
static_assert(kIsStoredRecord<VWeight> && kIsStoredRecord<VMorphTarget> && kIsStoredRecord<OBase> &&
              kIsStoredRecord<OWMT> && kIsStoredRecord<OMorphTarget> &&
              kIsStoredRecord<OMorphGroup> && kIsStoredRecord<OPoseTSQ> &&
              kIsStoredRecord<OPoseMorph>);

}  // namespace quorvel
