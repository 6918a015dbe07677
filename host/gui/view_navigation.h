#pragma once
// The modeller's camera habits, on the scene's camera: turning the view about
// its target, panning so that the point under the mouse stays under it,
// zooming with the wheel, switching between perspective and orthographic
// without a jump in size, and framing a box. Angles and distances come from
// pixels of the viewport the camera describes.
#include "host/geometry/camera.h"
#include "math/fmath.h"

namespace mqhost {

// Degrees the view turns per pixel of a drag.
constexpr float kOrbitDegreesPerPixel = 0.5f;
// How far the view may look up or down, in degrees from the horizon.
constexpr float kMaxElevationDegrees = 89.0f;
// Each wheel notch (120 units) brings the view this much closer.
constexpr float kZoomPerNotch = 0.85f;

// Turns the camera about its target: a drag to the right turns the scene to
// the right (about the world's Y axis), a drag down tilts its top toward the
// viewer. The distance to the target and the up axis (Y) are kept; looking
// straight up or down is avoided.
void OrbitView(Camera& camera, int dx, int dy);

// Moves camera and target across the view so that the target plane's point
// under the mouse follows the mouse by (dx, dy) pixels (y down).
void PanView(Camera& camera, int dx, int dy);

// `wheel` in the host's units (120 a notch, positive away from the user):
// positive zooms in. A perspective camera moves toward its target, an
// orthographic one narrows its height; neither reaches zero.
void ZoomView(Camera& camera, int wheel);

// Switches the projection; what lies in the target's plane keeps its size on
// the screen.
void ToggleProjection(Camera& camera);

// Aims at the box's centre from the present direction and moves back until a
// sphere around the box fits the viewport in both directions. An empty box
// (lo above hi on some axis) changes nothing.
void FrameBox(Camera& camera, const FVECTOR3& lo, const FVECTOR3& hi);

}  // namespace mqhost
