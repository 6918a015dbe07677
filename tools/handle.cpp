#include "tools/handle.h"

#include <cmath>

FMATRIX ScaleHandleMatrix(const FMATRIX& handle, int width, int height, const FMATRIX& view,
                          const FMATRIX& proj) {
  const float k = 6000.0f / static_cast<float>(width > 0 ? width : 1);
  // Element 11, P(2,3), is 0 only for an orthographic projection.
  const float s = proj.m[11] == 0.0f ? k / (view(3, 2) * proj(0, 0)) : k / proj(0, 0);
  FMATRIX out = handle;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) out(r, c) *= s;
  }
  return out;
}

int HandleDragToMatrix(HANDLE_DRAG& drag, const FVECTOR3& screen, const FVECTOR3& world,
                       const FMATRIX& proj, const FMATRIX& view, int width, int height,
                       const HANDLE_STATE& state, int handle_type, FMATRIX& out) {
  out = FMATRIX();
  if (handle_type != HANDLE_MOVE && handle_type != HANDLE_ROTATE && handle_type != HANDLE_SCALE) {
    return 0;
  }
  const FVECTOR3 screen_delta = screen - drag.screen;
  FVECTOR3 world_delta = world - drag.world;
  drag.screen = screen;
  drag.world = world;
  const FVECTOR3 centre = state.matrix.GetTranslation();

  if (handle_type == HANDLE_MOVE) {
    switch (state.axis) {
      case 1: world_delta = FVECTOR3(world_delta.x, 0.0f, 0.0f); break;
      case 2: world_delta = FVECTOR3(0.0f, world_delta.y, 0.0f); break;
      case 3: world_delta = FVECTOR3(0.0f, 0.0f, world_delta.z); break;
      default: break;
    }
    out = FMATRIX::Translation(world_delta);
    return 1;
  }

  // Pixels to world units at the view's distance.
  const float k = 2.0f * std::fabs(view(3, 2));
  const float ex = k / (static_cast<float>(width > 0 ? width : 1) * proj(0, 0));
  const float ey = k / (static_cast<float>(height > 0 ? height : 1) * proj(1, 1));
  const float dx = screen_delta.x * ex;
  const float dy = -(screen_delta.y * ey);

  if (handle_type == HANDLE_SCALE) {
    FVECTOR3 factors = view.GetColumn(0) * dx + view.GetColumn(1) * dy + FVECTOR3(1.0f, 1.0f, 1.0f);
    switch (state.axis) {
      case 1: factors = FVECTOR3(factors.x, 1.0f, 1.0f); break;
      case 2: factors = FVECTOR3(1.0f, factors.y, 1.0f); break;
      case 3: factors = FVECTOR3(1.0f, 1.0f, factors.z); break;
      default: break;
    }
    out = FMATRIX::AboutPivot(FMATRIX::Scaling(factors), centre);
    return 1;
  }

  const FVECTOR3 axis = state.axis >= 1 && state.axis <= 3
                            ? state.matrix.GetRow(state.axis - 1).Xyz().Normalized()
                            : view.GetColumn(1).Normalized();
  out = FMATRIX::AboutPivot(FMATRIX::FromQuat(FQUAT::FromAxisAngle(axis, dx / 50.0f)), centre);
  return 1;
}
