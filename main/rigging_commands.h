#pragma once
// The weight and bone tools as the plug-in runs them on the open document:
// automatic weights, mirroring of weights, poses and bones, smoothing and
// limiting. The algorithms live in rig/ and know no host; these gather the
// current object's mesh and the rig's bones, run them, write the weights
// back and make one undo step.
#include <string>

namespace quorvel {

// What a tool did. `message` (UTF-8) says why nothing was done when `ok` is
// false, and what was left undone otherwise (empty when nothing was).
struct RiggingOutcome {
  bool ok = false;
  int changed = 0;    // vertices written, bones posed or bones made
  int unmatched = 0;  // mirroring: vertices or bones without a mirror
  std::string message;
};

}  // namespace quorvel

// The pose list's mirror items.
enum MIRROR_POSE_MODE : int {
  MIRROR_POSE_BONE = 0,           // the current bone's pose onto its mirror bone
  MIRROR_POSE_PLUS_TO_MINUS = 1,  // every +X bone's pose onto its mirror
  MIRROR_POSE_MINUS_TO_PLUS = 2,  // every -X bone's pose onto its mirror
  MIRROR_POSE_FLIP = 3,           // the whole pose flipped across X = 0
};
