#include "rig/bone_align.h"

#include <cmath>
#include <vector>

#include "rig/bone_points.h"
#include "rig/host_records.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "rig/vertex_follow.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

bool BoneFrame(MQDocument doc, MQObject obj, FMATRIX& frame) {
  frame = FMATRIX::kIdentity;
  const BonePoints points = GetBonePoints(doc, obj);
  if (!points.has_body || points.tail == points.pivot) return false;
  const FVECTOR3 z = (points.tail - points.pivot).Normalized();
  FVECTOR3 toward_roll = points.roll - points.pivot;
  // A bone along Y has its roll point on its pivot: take world Z across it.
  if (toward_roll.Length() < 1e-6f) toward_roll = FVECTOR3(0.0f, 0.0f, 1.0f);
  const FVECTOR3 x = Cross(toward_roll, z).Normalized();
  const FVECTOR3 y = Cross(z, x).Normalized();
  frame = {x.x, x.y, x.z, 0.0f, y.x, y.y, y.z, 0.0f, z.x, z.y, z.z, 0.0f,
           points.pivot.x, points.pivot.y, points.pivot.z, 1.0f};
  return true;
}

bool AlignSelectedPivots(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                         int axis, const FMATRIX& frame, int follow_mode) {
  if (doc == nullptr || axis < 0 || axis > 2 || !state.BonesShown()) return false;
  const MQHostApi& api = HostApi();
  const FMATRIX to_frame = frame.Inverse();
  std::vector<GlobalMatrixChange> changes;
  std::vector<std::vector<FVECTOR3>> vertices;
  const int count = api.MQDoc_GetObjectCount(doc);
  changes.reserve(static_cast<size_t>(count));
  vertices.reserve(static_cast<size_t>(count));
  bool moved = false;
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    GlobalMatrixChange change;
    change.object = obj;
    api.MQDoc_GetGlobalMatrix(doc, obj, change.old_global.m);
    change.new_global = change.old_global;
    if (hr::IsVisible(obj) && !hr::IsLocked(obj) && GetBoneFlag(obj, slots, OBase::OB_SEL_PIVOT)) {
      FVECTOR3 local = to_frame.TransformPoint(change.old_global.GetTranslation());
      float* c[3] = {&local.x, &local.y, &local.z};
      *c[axis] = 0.0f;
      const FVECTOR3 aligned = frame.TransformPoint(local);
      if (!(aligned == change.old_global.GetTranslation())) {
        change.new_global.SetTranslation(aligned);
        moved = true;
      }
    }
    std::vector<FVECTOR3>& points = vertices.emplace_back();
    const int n = api.MQObj_GetVertexCount(obj);
    points.resize(static_cast<size_t>(n > 0 ? n : 0));
    for (int j = 0; j < n; ++j) {
      MQPoint p{};
      api.MQObj_GetVertex(obj, j, &p);
      points[static_cast<size_t>(j)] = FVECTOR3(p.x, p.y, p.z);
    }
    changes.push_back(change);
  });
  if (!moved) return false;
  for (size_t i = 0; i < changes.size(); ++i) changes[i].vertices = &vertices[i];
  LinkGlobalMatrixChanges(doc, changes);
  SetGlobalMatricesWithVertexFollow(doc, changes, follow_mode);
  return true;
}

}  // namespace quorvel
