#pragma once
// The in-memory editing state of one document: the pose list, the current
// pose and bone, the weight pens and palettes, and the display and pick
// switches. It lives beside the host document and never in it.
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "rig/records.h"

namespace quorvel {

// One listed pose (260 bytes): its name, then the id that selects its
// OPoseTSQ and OPoseMorph slots.
struct QuorvelPose {
  char name[kNameBytes] = {};
  int32_t id = -1;
};
static_assert(sizeof(QuorvelPose) == 260 && offsetof(QuorvelPose, id) == 256);

// A weight-painting pen (16 bytes). Only size and depth are used.
struct WeightPen {
  float size = 10.0f;
  float depth = 50.0f;
  float reserved_scale = 1.0f;
  int32_t reserved_mode = 1;
};
static_assert(sizeof(WeightPen) == 16);

// The eight weight palettes; each starts initialised with no entries.
struct PaletteSet {
  PaletteSet();

  int32_t current_palette = 0;  // 0..7
  int32_t current_entry = 0;    // position within the current palette
  VWeight palettes[kPaletteCount];
};

struct RigEditState {
  // Word 0: a set bit forbids picking that part.
  static constexpr uint32_t kPickMaskPivot = 1u << 0;
  static constexpr uint32_t kPickMaskRoll = 1u << 1;
  static constexpr uint32_t kPickMaskBody = 1u << 2;
  // Word 1: display switches.
  static constexpr uint32_t kShowBones = 1u << 0;
  static constexpr uint32_t kShowRoll = 1u << 1;  // roll parts shown and pickable
  static constexpr uint32_t kWeightCurrentObjectOnly = 1u << 2;

  RigEditState();

  uint32_t pick_masks = 0;                // word 0
  uint32_t display = kShowBones | kShowRoll;  // word 1
  int32_t current_bone = -1;              // unique id, -1 none
  int32_t current_part_kind = 0;          // item kind of the selection, 0 none
  std::vector<std::unique_ptr<QuorvelPose>> poses;  // creation order
  int32_t current_pose_id = -1;
  std::array<WeightPen, kPenCount> pens;
  int32_t current_pen = 0;
  PaletteSet palettes;
  int32_t clipboard_valid = 0;            // 1 once a palette was copied
  VWeight clipboard;
  // The weight brush smooths instead of painting (the blur pen). Kept for
  // the session only.
  bool blur_pen = false;

  bool BonesShown() const { return (display & kShowBones) != 0; }
  bool RollShown() const { return (display & kShowRoll) != 0; }
  bool WeightCurrentObjectOnly() const { return (display & kWeightCurrentObjectOnly) != 0; }

  // Whether a listed pose carries this id.
  bool IsListedPoseId(int32_t id) const;

  // What closing the document does: every pose deleted, no current pose,
  // pen 0.
  void Reset();
};

}  // namespace quorvel
