#include "tools/bone_drawing.h"

#include <cmath>

#include "rig/bone_points.h"
#include "rig/hierarchy.h"
#include "rig/host_records.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"
#include "tools/handle.h"

using quorvel::BonePoints;
using quorvel::OBase;
using quorvel::RigEditState;
namespace hr = quorvel::host_records;

UCOLOR BoneClassColour(const UCOLOR& base, int colour_class) {
  switch (colour_class) {
    case BONE_CLASS_SELECTED: return UCOLOR(255, 255, 255);
    case BONE_CLASS_CURRENT: return UCOLOR(0, 255, 255);
    case BONE_CLASS_MARKED: return UCOLOR(128, 255, 128);
    case BONE_CLASS_HOVER: return UCOLOR(255, 255, 0);
    case BONE_CLASS_HOVER_REST:
      return UCOLOR::Clamped(base.r + 128, base.g + 128, base.b + 128);
    case BONE_CLASS_INACTIVE: {
      const UCOLOR dim = base * 0.35f;
      return UCOLOR::Clamped(dim.r + 32, dim.g + 32, dim.b + 32);
    }
    default: return UCOLOR(base.r, base.g, base.b);
  }
}

BONE_LOOK LookOfBone(MQDocument doc, MQObject obj, uint32_t flags, const RigEditState& state,
                     bool pose_mode) {
  BONE_LOOK look;
  const bool has_child = hr::FirstChild(doc, obj) != nullptr;
  look.pivot = true;
  look.tail = false;
  look.body = has_child;
  look.roll = pose_mode && state.RollShown() && has_child;
  look.cross = !quorvel::IsFirstChild(doc, obj) && (flags & OBase::usetrs) != 0;

  auto all = [&look](int c) {
    look.body_class = look.pivot_class = look.tail_class = look.roll_class = look.roll_line_class =
        look.cross_class = c;
  };
  const bool active = pose_mode ? (flags & OBase::OB_POSEACTIVE) != 0 : !hr::IsLocked(obj);
  if (!active) {
    all(BONE_CLASS_INACTIVE);
    return look;
  }
  const bool current = state.current_bone >= 0 && hr::UniqueId(obj) == state.current_bone;
  if (current) all(BONE_CLASS_CURRENT);
  if (flags & OBase::OB_HOVER_BODY) {
    all(BONE_CLASS_HOVER_REST);
    look.body_class = BONE_CLASS_HOVER;
  }
  if (flags & OBase::OB_HOVER_PIVOT) {
    all(BONE_CLASS_HOVER_REST);
    look.pivot_class = BONE_CLASS_HOVER;
  }
  if (flags & OBase::OB_HOVER_ROLL) {
    all(BONE_CLASS_HOVER_REST);
    look.roll_class = look.roll_line_class = BONE_CLASS_HOVER;
  }
  if ((flags & OBase::OB_SEL_BODY) && !current) all(BONE_CLASS_SELECTED);
  if (flags & OBase::OB_SEL_PIVOT) look.pivot_class = look.cross_class = BONE_CLASS_SELECTED;
  if (flags & OBase::OB_SEL_ROLL) look.roll_class = look.roll_line_class = BONE_CLASS_SELECTED;
  if (pose_mode && (flags & OBase::OB_POSEMARK)) look.pivot_class = BONE_CLASS_MARKED;
  return look;
}

namespace {

// The fourteen objects of one pass, made when a class is first used.
class BoneDrawingContext {
 public:
  BoneDrawingContext(MEDUDRAW_BASE& drawer, const UCOLOR& base) : drawer_(drawer), base_(base) {}

  MEDUDRAWHANDLE_BASE* Lines(int c) { return Get(lines_[c], c, true); }
  MEDUDRAWHANDLE_BASE* Points(int c) { return Get(points_[c], c, false); }
  MEDUDRAW_BASE& drawer() { return drawer_; }

 private:
  MEDUDRAWHANDLE_BASE* Get(UDRAW_OBJECT& slot, int c, bool lines) {
    if (!slot && !tried_[lines ? c : c + BONE_CLASS_COUNT]) {
      tried_[lines ? c : c + BONE_CLASS_COUNT] = true;
      const UCOLOR colour = BoneClassColour(base_, c);
      slot = lines ? drawer_.CreateLineObject(colour) : drawer_.CreatePointObject(colour);
    }
    return slot.get();
  }

  MEDUDRAW_BASE& drawer_;
  UCOLOR base_;
  UDRAW_OBJECT lines_[BONE_CLASS_COUNT];
  UDRAW_OBJECT points_[BONE_CLASS_COUNT];
  bool tried_[2 * BONE_CLASS_COUNT] = {};
};

void DrawOneBone(BoneDrawingContext& context, const BonePoints& p, const BONE_LOOK& look) {
  MEDUDRAW_BASE& drawer = context.drawer();
  const FVECTOR3 along = p.tail - p.pivot;
  const float length = along.Length();
  if (look.body) {
    if (MEDUDRAWHANDLE_BASE* lines = context.Lines(look.body_class)) {
      const FVECTOR3 c = p.pivot + along * 0.15f;
      const float r = 0.08f * length;
      const FVECTOR3 f = along.Normalized();
      const FVECTOR3 u = (p.roll - p.pivot).Normalized();
      const FVECTOR3 w = Cross(f, u).Normalized();
      const float half_root3 = 0.8660254f;
      const FVECTOR3 a = c + u * r;
      const FVECTOR3 b = c - w * (half_root3 * r) - u * (r / 2.0f);
      const FVECTOR3 cc = c + w * (half_root3 * r) - u * (r / 2.0f);
      // Pivot, tail, roll point, the ring and the six cross points: the
      // twelve vertices of one bone.
      const float half = 0.1f * length;
      const FVECTOR3 verts[12] = {p.pivot, p.tail, p.roll, a, b, cc,
                                  p.pivot - FVECTOR3(half, 0, 0), p.pivot + FVECTOR3(half, 0, 0),
                                  p.pivot - FVECTOR3(0, half, 0), p.pivot + FVECTOR3(0, half, 0),
                                  p.pivot - FVECTOR3(0, 0, half), p.pivot + FVECTOR3(0, 0, half)};
      int index[12];
      for (int i = 0; i < 12; ++i) index[i] = lines->AddVertex(verts[i]);
      // pivot 0, tail 1, A 3, B 4, C 5
      static const int kTriangles[6][3] = {{0, 4, 3}, {0, 5, 4}, {0, 3, 5},
                                           {1, 3, 4}, {1, 4, 5}, {1, 5, 3}};
      for (const auto& t : kTriangles) {
        const FVECTOR3 s0 = drawer.WorldToScreen(verts[t[0]]);
        const FVECTOR3 s1 = drawer.WorldToScreen(verts[t[1]]);
        const FVECTOR3 s2 = drawer.WorldToScreen(verts[t[2]]);
        if (!(TriangleArea2x(s0.x, s0.y, s1.x, s1.y, s2.x, s2.y) > 0.0f)) continue;
        const int outline[4] = {index[t[0]], index[t[1]], index[t[2]], index[t[0]]};
        MEDUDRAW_BASE::AddPolyline(*lines, outline, 4);
      }
    }
  }
  if (look.roll) {
    if (MEDUDRAWHANDLE_BASE* lines = context.Lines(look.roll_line_class)) {
      MEDUDRAW_BASE::AddLine(*lines, p.pivot, p.roll);
    }
  }
  if (look.cross) {
    if (MEDUDRAWHANDLE_BASE* lines = context.Lines(look.cross_class)) {
      const float half = 0.1f * length;
      for (const FVECTOR3& axis : {FVECTOR3(1, 0, 0), FVECTOR3(0, 1, 0), FVECTOR3(0, 0, 1)}) {
        MEDUDRAW_BASE::AddLine(*lines, p.pivot - axis * half, p.pivot + axis * half);
      }
    }
  }
  if (look.roll) {
    if (MEDUDRAWHANDLE_BASE* points = context.Points(look.roll_class)) MEDUDRAW_BASE::AddPoint(*points, p.roll);
  }
  if (look.pivot) {
    if (MEDUDRAWHANDLE_BASE* points = context.Points(look.pivot_class)) MEDUDRAW_BASE::AddPoint(*points, p.pivot);
  }
  if (look.tail) {
    if (MEDUDRAWHANDLE_BASE* points = context.Points(look.tail_class)) MEDUDRAW_BASE::AddPoint(*points, p.tail);
  }
}

}  // namespace

void DrawBones(MEDUDRAW_BASE& drawer, MQDocument doc, const quorvel::RigSlotTable& slots,
               const RigEditState* state, bool pose_mode) {
  if (doc == nullptr || state == nullptr) return;
  BoneDrawingContext context(drawer, pose_mode ? kBoneColourPose : kBoneColourEdit);
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    OBase rec;
    if (!quorvel::GetBoneRecord(obj, slots, rec) || (rec.flags & OBase::OB_RIG) == 0) return;
    if (!pose_mode && !hr::IsVisible(obj)) return;
    if (hr::UniqueId(obj) == -1) return;
    MQObject child = hr::FirstChild(doc, obj);
    if (pose_mode && child == nullptr && !quorvel::IsChainEnd(doc, obj)) return;
    BonePoints points = quorvel::GetBonePoints(doc, obj, child);
    if (pose_mode) points = quorvel::Transformed(points, quorvel::GetWorldMatrix(obj, slots));
    DrawOneBone(context, points, LookOfBone(doc, obj, rec.flags, *state, pose_mode));
  });
}

void DrawPreviewBone(MEDUDRAW_BASE& drawer, const FVECTOR3& head, const FVECTOR3& tail,
                     const UCOLOR& colour) {
  // Every class of the context is the base colour: the bone drawn plain.
  BoneDrawingContext context(drawer, colour);
  BONE_LOOK look;
  look.body = true;
  look.roll = true;
  look.tail = true;
  DrawOneBone(context, quorvel::BonePointsTo(head, tail), look);
}

void DrawLocalAxes(MEDUDRAW_BASE& drawer, MQDocument doc, bool current_only) {
  if (doc == nullptr) return;
  UDRAW_OBJECT red = drawer.CreateLineObject(UCOLOR(255, 0, 0));
  UDRAW_OBJECT green = drawer.CreateLineObject(UCOLOR(0, 255, 0));
  UDRAW_OBJECT blue = drawer.CreateLineObject(UCOLOR(0, 0, 255));
  if (!red || !green || !blue) return;
  const int current = HostApi().MQDoc_GetCurrentObjectIndex(doc);
  hr::ForEachObject(doc, [&](MQObject obj, int index) {
    if (!hr::IsVisible(obj) || (current_only && index != current)) return;
    FMATRIX m;
    HostApi().MQDoc_GetGlobalMatrix(doc, obj, m.m);
    const FVECTOR3 o = m.GetTranslation();
    MEDUDRAW_BASE::AddLine(*red, o, m.TransformPoint(FVECTOR3(5, 0, 0)));
    MEDUDRAW_BASE::AddLine(*green, o, m.TransformPoint(FVECTOR3(0, 5, 0)));
    MEDUDRAW_BASE::AddLine(*blue, o, m.TransformPoint(FVECTOR3(0, 0, 5)));
  });
}

namespace {

constexpr UCOLOR kRed{255, 0, 0};
constexpr UCOLOR kGreen{0, 255, 0};
constexpr UCOLOR kBlue{0, 0, 255};
constexpr UCOLOR kYellow{255, 255, 0};
constexpr UCOLOR kGrey{128, 128, 128};

// Screen depth just behind the near plane: what is drawn there stays in
// front of the model.
FVECTOR3 PushToFront(const MEDUDRAW_BASE& drawer, const FVECTOR3& p) {
  FVECTOR3 s = drawer.WorldToScreen(p);
  s.z = 0.0001f;
  return drawer.ScreenToWorld(s);
}

// Axes of a frame whose Z axis is d: X = d × aux, Y = X × d.
void FrameAround(const FVECTOR3& d, FVECTOR3& x, FVECTOR3& y) {
  FVECTOR3 aux(0.0f, 1.0f, 0.0f);
  const float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
  if (ay > ax && ay > az) aux = ax > az ? FVECTOR3(1.0f, 0.0f, 0.0f) : FVECTOR3(0.0f, 0.0f, 1.0f);
  x = Cross(d, aux).Normalized();
  y = Cross(x, d).Normalized();
}

void DrawBox(MEDUDRAW_BASE& drawer, const FMATRIX& m, const FVECTOR3& centre, float edge,
             const UCOLOR& colour) {
  int material = -1;
  UDRAW_OBJECT faces = drawer.CreateFaceObject(colour, material);
  if (!faces) return;
  int index[8];
  for (int i = 0; i < 8; ++i) {
    const FVECTOR3 corner((i & 1) ? 1.0f : -1.0f, (i & 2) ? 1.0f : -1.0f, (i & 4) ? 1.0f : -1.0f);
    index[i] = faces->AddVertex(PushToFront(drawer, m.TransformPoint(centre + corner * (edge / 2.0f))));
  }
  static const int kQuads[6][4] = {{6, 7, 5, 4}, {7, 3, 1, 5}, {3, 2, 0, 1},
                                   {2, 6, 4, 0}, {2, 3, 7, 6}, {4, 5, 1, 0}};
  for (const auto& q : kQuads) {
    const int quad[4] = {index[q[0]], index[q[1]], index[q[2]], index[q[3]]};
    faces->SetFaceMaterial(faces->AddFace(4, quad), material);
  }
}

void DrawCone(MEDUDRAW_BASE& drawer, const FMATRIX& m, const FVECTOR3& a, const FVECTOR3& b,
              float radius, const UCOLOR& colour) {
  int material = -1;
  UDRAW_OBJECT faces = drawer.CreateFaceObject(colour, material);
  if (!faces) return;
  faces->SetSmoothAngle(85.0f);
  const FVECTOR3 d = (b - a).Normalized();
  FVECTOR3 x, y;
  FrameAround(d, x, y);
  const int n = drawer.CirclePointCount();
  int ring[MEDUDRAW_BASE::kCirclePoints];
  for (int i = 0; i < n; ++i) {
    const FVECTOR3& c = drawer.Circle()[static_cast<size_t>(i)];
    ring[i] = faces->AddVertex(PushToFront(drawer, m.TransformPoint(a + (x * c.x + y * c.y) * radius)));
  }
  const int apex = faces->AddVertex(PushToFront(drawer, m.TransformPoint(b)));
  for (int i = 1; i + 1 < n; ++i) {
    const int fan[3] = {ring[0], ring[i], ring[i + 1]};
    faces->SetFaceMaterial(faces->AddFace(3, fan), material);
  }
  for (int i = 0; i < n; ++i) {
    const int side[3] = {ring[(i + 1) % n], ring[i], apex};
    faces->SetFaceMaterial(faces->AddFace(3, side), material);
  }
}

void DrawRing(MEDUDRAW_BASE& drawer, const FMATRIX& m, const FVECTOR3& centre, const FVECTOR3& normal,
              float radius, const UCOLOR& colour) {
  UDRAW_OBJECT lines = drawer.CreateLineObject(colour);
  if (!lines) return;
  FVECTOR3 x, y;
  FrameAround(normal.Normalized(), x, y);
  const int n = drawer.CirclePointCount();
  int index[MEDUDRAW_BASE::kCirclePoints + 1];
  for (int i = 0; i < n; ++i) {
    const FVECTOR3& c = drawer.Circle()[static_cast<size_t>(i)];
    index[i] = lines->AddVertex(m.TransformPoint(centre + (x * c.x + y * c.y) * radius));
  }
  index[n] = index[0];
  MEDUDRAW_BASE::AddPolyline(*lines, index, n + 1);
}

// A closed outline through screen points at depth 0.01.
void DrawScreenLoop(MEDUDRAW_BASE& drawer, const FVECTOR2* points, int count, const UCOLOR& colour) {
  UDRAW_OBJECT lines = drawer.CreateLineObject(colour);
  if (!lines || count <= 0) return;
  int index[MEDUDRAW_BASE::kCirclePoints + 1];
  for (int i = 0; i < count; ++i) {
    index[i] = lines->AddVertex(drawer.ScreenToWorld(FVECTOR3(points[i].x, points[i].y, 0.01f)));
  }
  index[count] = index[0];
  MEDUDRAW_BASE::AddPolyline(*lines, index, count + 1);
}

}  // namespace

void DrawHandle(MEDUDRAW_BASE& drawer, int handle_type, const FMATRIX& handle) {
  int width = 0, height = 0;
  drawer.GetViewportSize(width, height);
  const FMATRIX m = ScaleHandleMatrix(handle, width, height, drawer.GetViewMatrix(), drawer.GetProjMatrix());
  const float S = kHandleSize, T = kHandleThickness;
  const FVECTOR3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const UCOLOR colours[3] = {kRed, kGreen, kBlue};

  if (UDRAW_OBJECT lines = drawer.CreateLineObject(kGrey)) {
    lines->AddVertex(m.TransformPoint(FVECTOR3()));
    for (const FVECTOR3& axis : axes) lines->AddVertex(m.TransformPoint(axis * S));
    static const int kPairs[6] = {0, 1, 0, 2, 0, 3};
    MEDUDRAW_BASE::AddSegments(*lines, kPairs, 6);
  }
  switch (handle_type) {
    case HANDLE_MOVE:
      DrawBox(drawer, m, FVECTOR3(), T, kYellow);
      for (int a = 0; a < 3; ++a) DrawCone(drawer, m, axes[a] * (S - T), axes[a] * (S + T), T / 2.0f, colours[a]);
      break;
    case HANDLE_ROTATE:
      for (int a = 0; a < 3; ++a) DrawRing(drawer, m, FVECTOR3(), axes[a], S, colours[a]);
      DrawBox(drawer, m, FVECTOR3(), T, kYellow);
      break;
    case HANDLE_SCALE:
      DrawBox(drawer, m, FVECTOR3(), T, kYellow);
      for (int a = 0; a < 3; ++a) DrawBox(drawer, m, axes[a] * (S + 0.1f * S), T, colours[a]);
      break;
    default:
      break;
  }
}

void DrawBrushCircle(MEDUDRAW_BASE& drawer, const FVECTOR2& centre, float radius, const UCOLOR& colour) {
  FVECTOR2 points[MEDUDRAW_BASE::kCirclePoints];
  for (int i = 0; i < drawer.CirclePointCount(); ++i) {
    const FVECTOR2& c = drawer.Circle2()[static_cast<size_t>(i)];
    points[i] = FVECTOR2(centre.x + radius * c.x, centre.y + radius * c.y);
  }
  DrawScreenLoop(drawer, points, drawer.CirclePointCount(), colour);
}

void DrawScreenRect(MEDUDRAW_BASE& drawer, const FVECTOR2& a, const FVECTOR2& b, const UCOLOR& colour) {
  const FVECTOR2 corners[4] = {{a.x, a.y}, {b.x, a.y}, {b.x, b.y}, {a.x, b.y}};
  DrawScreenLoop(drawer, corners, 4, colour);
}
