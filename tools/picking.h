#pragma once
// Picking in the viewport: the one item under the mouse (a handle part, a
// bone's pivot, roll point or body), rectangle selection of bone parts, and
// the brush hit of mesh vertices.
#include <cstdint>
#include <utility>
#include <vector>

#include "math/fmath.h"
#include "rig/edit_state.h"
#include "rig/screen_conv_base.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"
#include "tools/screen_projector.h"
#include "tools/selection.h"

// A pick takes the nearest candidate within this many pixels of the mouse.
constexpr float kPickRadius = 10.0f;

// One brush hit: the object's document index and the vertex index.
struct HITVERT {
  int32_t object = -1;
  int32_t vertex = -1;
};

// A screen rectangle given by two corners in any order.
struct SCREEN_RECT {
  FVECTOR2 a;
  FVECTOR2 b;
};

class MED_USELECT {
 public:
  MED_USELECT() = default;
  virtual ~MED_USELECT() = default;

  // The item under the mouse. The handle is tried first (when shown); then
  // every object in index order, its pivot, roll point and body as `kinds`
  // (PICK_PIVOTS | PICK_ROLLS | PICK_BODIES) and the edit state allow. A
  // point wins when it is strictly nearer on the screen than the best so far
  // (10 pixels to start, so ties keep the lower index); a body or a handle
  // part wins when its hit is strictly nearer in depth than the pick depth,
  // and then no point can win after it. Sets the pick depth through `para`.
  // 1 with `item` set when something was picked; 0 (item untouched) when
  // nothing was, or without a document, scene or edit state.
  int Pick(MED_USELECT_PARA_BASE& para, MQDocument doc, const quorvel::RigSlotTable& slots,
           const quorvel::RigEditState* state, float x, float y, MED_SELECTITEM& item, int kinds,
           bool pose_mode, int handle_type);

  // Sets the selection bits (OB_SEL_PIVOT, OB_SEL_ROLL, OB_SEL_BODY) of the
  // bone parts inside the rectangle, edges included; a body only together
  // with its pivot. Never clears a bit. 1 when a pivot or roll point was
  // selected.
  static int SelectInRect(MQDocument doc, const quorvel::RigSlotTable& slots,
                          const quorvel::RigEditState* state, const MED_SCREENCONVBASE& converter,
                          const SCREEN_RECT& rect, int kinds, bool pose_mode);

  // The vertices within `radius` pixels of the brush centre (the radius
  // included) that lie on at least one face the scene shows and the object
  // does not hide, in scene 0 of the document. Each hit once, in object and
  // vertex order; `nearest` the strictly nearest (the first on a tie), or
  // (-1, -1). 1 when something was hit.
  int PickVertices(MQDocument doc, const FVECTOR2& centre, float radius, std::vector<HITVERT>& hits,
                   HITVERT& nearest);
  // The same for the one object with this unique id; vertex indices only.
  int PickObjectVertices(MQDocument doc, int32_t object_uid, const FVECTOR2& centre, float radius,
                         std::vector<int32_t>& hits, int32_t& nearest);

 private:
  // `obj` is the bone the point belongs to, null for a handle part.
  void PointTest(MED_USELECT_PARA_BASE& para, const FVECTOR3& point, int32_t kind,
                 MQObject obj, MED_SELECTITEM& item, bool& picked);
  // Takes the item when the world point lies strictly nearer in depth than
  // the pick depth.
  void DepthTest(MED_USELECT_PARA_BASE& para, const FVECTOR3& hit, int32_t kind, MQObject obj,
                 MED_SELECTITEM& item, bool& picked);
  bool HandleTest(MED_USELECT_PARA_BASE& para, const MOUSE_RAY& ray, int handle_type,
                  MED_SELECTITEM& item);
  // What the brush knows of one object: its positions and where the
  // projector put them, kept while both the positions and the view stay the
  // same, so that a stroke projects each vertex once.
  struct BrushView {
    MQObject object = nullptr;
    std::vector<MQPoint> positions;
    std::vector<FVECTOR3> samples;  // the projector's calibration points for these positions
    SCREEN_PROJECTOR projector;
    // Screen x, y by vertex; x NaN where the projector cannot place it.
    std::vector<FVECTOR2> screen;
    bool used = false;  // brushed in the current pick
  };
  // The object's view, brought up to date with its positions as read now.
  BrushView& ViewOf(MQScene scene, MQObject obj, int vertices);
  // The brush test of one object, calling hit(vertex, d²) for every hit.
  template <typename Hit>
  void BrushObject(MQScene scene, MQObject obj, const FVECTOR2& centre, float radius, Hit&& hit);

  FVECTOR3 mouse_;
  float best_ = kPickRadius * kPickRadius;
  // Kept from pick to pick only to reuse their memory: every pick reads
  // everything afresh.
  SCREEN_PROJECTOR projector_;
  std::vector<FVECTOR3> pivots_;
  std::vector<uint8_t> pivot_read_;
  struct BrushScratch {
    std::vector<MQPoint> read;  // positions as read, before comparing them with the kept ones
    std::vector<std::pair<int, float>> candidates;
    std::vector<BOOL> visible;
    std::vector<int> related;
  };
  BrushScratch brush_;
  // One per object brushed by the last PickVertices (and any picked alone
  // since): an object no longer in the document is dropped at the next one.
  std::vector<BrushView> views_;
};

// Ray tests in the handle's space and for bone bodies. Each answers the ray
// parameter t of the hit (t >= 0), or a negative value for a miss.
namespace pick_geometry {

// Slab test against the axis-aligned box [lo, hi].
float RayBox(const FVECTOR3& origin, const FVECTOR3& direction, const FVECTOR3& lo,
             const FVECTOR3& hi);
// The finite cone from `base` (radius `radius`) to `apex`, its base disc
// included: the nearer of the mantle hit strictly between the end planes and
// the disc hit.
float RayCone(const FVECTOR3& origin, const FVECTOR3& direction, const FVECTOR3& base,
              float radius, const FVECTOR3& apex);
// The flat ring around `centre` with normal `normal`, rmin² <= d² <= rmax²
// (no inner bound when rmin is 0).
float RayRing(const FVECTOR3& origin, const FVECTOR3& direction, const FVECTOR3& centre,
              const FVECTOR3& normal, float rmin, float rmax);
// Möller–Trumbore with back faces culled (determinant below 0.00001).
float RayTriangle(const FVECTOR3& origin, const FVECTOR3& direction, const FVECTOR3& v0,
                  const FVECTOR3& v1, const FVECTOR3& v2);

// The five points of a bone body for picking: pivot, tail, and the ring
// A, B, C at 0.15 of the bone with radius 0.08 of its length.
struct BodyPoints {
  FVECTOR3 p[5];
};
BodyPoints BodyForPicking(const FVECTOR3& pivot, const FVECTOR3& tail, const FVECTOR3& roll);
// The six triangles of the body, front faces outward.
extern const int kBodyTriangles[6][3];

}  // namespace pick_geometry
