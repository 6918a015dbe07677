#pragma once
// The transform handle: its size in the view and what a drag on it does.
#include "math/fmath.h"
#include "tools/tool_service.h"

// Handle geometry in handle space: arm length and thickness.
constexpr float kHandleSize = 50.0f;
constexpr float kHandleThickness = 5.0f;

// The handle matrix scaled for the view: k = 6000 / width;
// s = k / (view(3, 2) · proj(0, 0)) for an orthographic view (projection
// element 11 is 0), s = k / proj(0, 0) for a perspective one; rows 0 to 2
// scaled by s, the translation kept. Either way the handle spans about
// 150000 / distance pixels (the handle's depth in a perspective view, the
// camera's distance view(3, 2) in an orthographic one): a perspective
// handle keeps its size in world units. A width of 0 or less is taken as 1.
FMATRIX ScaleHandleMatrix(const FMATRIX& handle, int width, int height, const FMATRIX& view,
                          const FMATRIX& proj);

// One drag on the handle: the previous screen and world points.
struct HANDLE_DRAG {
  FVECTOR3 screen;
  FVECTOR3 world;
};

// One step of a drag (screen point and world point of the mouse now) turned
// into the transform it asks for, about the handle's position (the
// translation of the handle state's matrix):
//   move:   the world delta, on the picked axis only (1 X, 2 Y, 3 Z; else all);
//   scale:  the screen delta in world units along the view's right and up
//           axes, plus one, on the picked axis only, about the handle;
//   rotate: by dx / 50 radians about the handle (dx the horizontal screen
//           delta in world units, as for scaling),
//           around the picked ring's axis (the handle matrix's row 0, 1 or 2)
//           when a ring was picked, else around the view's vertical axis
//           (column 1 of the view matrix), so a horizontal drag on the centre
//           turns the selection like a turntable. The axis never depends on
//           the vertical motion, so a purely horizontal drag turns too.
// The drag record takes the new points. Answers 0 (identity, record
// unchanged) for an unknown handle type.
int HandleDragToMatrix(HANDLE_DRAG& drag, const FVECTOR3& screen, const FVECTOR3& world,
                       const FMATRIX& proj, const FMATRIX& view, int width, int height,
                       const HANDLE_STATE& state, int handle_type, FMATRIX& out);
