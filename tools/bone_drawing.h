#pragma once
// What the plug-in draws into the viewport: the bones of the rig, the local
// axes of objects, the transform handle and the tools' screen overlays.
#include <cstdint>

#include "math/fmath.h"
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"
#include "tools/viewport_drawing.h"

// Bone colours: the base colour of the mode and the six derived classes.
constexpr UCOLOR kBoneColourEdit{0, 255, 0};      // outside pose mode
constexpr UCOLOR kBoneColourPose{255, 0, 255};    // in pose mode
enum BONE_COLOUR_CLASS : int {
  BONE_CLASS_BASE = 0,
  BONE_CLASS_SELECTED = 1,  // white
  BONE_CLASS_CURRENT = 2,   // cyan
  BONE_CLASS_MARKED = 3,    // light green: a chain stop while posing
  BONE_CLASS_HOVER = 4,     // yellow: the hovered part
  BONE_CLASS_HOVER_REST = 5,  // base + (128, 128, 128): the rest of a hovered bone
  BONE_CLASS_INACTIVE = 6,  // base × 0.35 + (32, 32, 32)
  BONE_CLASS_COUNT = 7,
};
UCOLOR BoneClassColour(const UCOLOR& base, int colour_class);

// How one bone is drawn: which parts, and each part's colour class.
struct BONE_LOOK {
  bool cross = false;
  bool roll = false;  // roll line and roll point
  bool pivot = true;
  bool tail = false;
  bool body = false;
  int body_class = BONE_CLASS_BASE;
  int pivot_class = BONE_CLASS_BASE;
  int tail_class = BONE_CLASS_BASE;
  int roll_class = BONE_CLASS_BASE;
  int roll_line_class = BONE_CLASS_BASE;
  int cross_class = BONE_CLASS_BASE;
};

// The look of the bone of `obj` by the display rules: parts first, then the
// colour classes (inactive, current bone, hover, selection, chain stop).
BONE_LOOK LookOfBone(MQDocument doc, MQObject obj, uint32_t flags, const quorvel::RigEditState& state,
                     bool pose_mode);

// Every rig member's bone: double pyramid outlines (back faces culled on the
// screen), roll lines, crosses at freely movable pivots, and points. At most
// fourteen drawing objects, a line and a point object per colour class.
// Nothing without a document or edit state.
void DrawBones(MEDUDRAW_BASE& drawer, MQDocument doc, const quorvel::RigSlotTable& slots,
               const quorvel::RigEditState* state, bool pose_mode);

// One bone from `head` to `tail` that is not (yet) in the document, all in
// one colour: body, roll line and point, head and tail points.
void DrawPreviewBone(MEDUDRAW_BASE& drawer, const FVECTOR3& head, const FVECTOR3& tail,
                     const UCOLOR& colour);

// Red, green and blue lines five local units long along each visible
// object's axes (only the host's current object when `current_only`).
void DrawLocalAxes(MEDUDRAW_BASE& drawer, MQDocument doc, bool current_only);

// The transform handle of a type (HANDLE_MOVE, HANDLE_ROTATE, HANDLE_SCALE) at
// the handle matrix, scaled for the view (ScaleHandleMatrix). Boxes and
// cones are pushed to the near plane so they stay in front of the model;
// rings and the axis lines are drawn at their true depth.
void DrawHandle(MEDUDRAW_BASE& drawer, int handle_type, const FMATRIX& handle);

// Screen overlays at screen depth 0.01: a circle (the weight brush) and a
// rectangle (the rubber band).
void DrawBrushCircle(MEDUDRAW_BASE& drawer, const FVECTOR2& centre, float radius, const UCOLOR& colour);
void DrawScreenRect(MEDUDRAW_BASE& drawer, const FVECTOR2& a, const FVECTOR2& b, const UCOLOR& colour);
