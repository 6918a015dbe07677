#include "rig/transform_reset.h"

#include <cmath>
#include <vector>

#include "math/fmath.h"
#include "rig/host_records.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "rig/vertex_follow.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

namespace {

// A local matrix read back through the parent's inverse is off the identity
// by rounding only; within this it counts as having no rotation or scale,
// so that a second reset finds nothing to do.
constexpr float kIdentityTolerance = 1e-5f;

bool HasRotationOrScale(const FMATRIX& local) {
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const float identity = r == c ? 1.0f : 0.0f;
      if (!(std::fabs(local(r, c) - identity) <= kIdentityTolerance)) return true;
    }
  }
  return false;
}

bool IsSelectedTarget(MQObject obj, const RigSlotTable& slots) {
  if (!hr::IsVisible(obj) || hr::IsLocked(obj)) return false;
  return (GetBoneFlags(obj, slots) & (OBase::OB_SEL_PIVOT | OBase::OB_SEL_BODY)) != 0;
}

}  // namespace

bool ResetLocalRotationScale(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                             bool selected_only) {
  if (doc == nullptr || (selected_only && !state.BonesShown())) return false;
  const MQHostApi& api = HostApi();
  std::vector<GlobalMatrixChange> changes;
  std::vector<bool> targets;
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    GlobalMatrixChange change;
    change.object = obj;
    api.MQDoc_GetGlobalMatrix(doc, obj, change.old_global.m);
    change.new_global = change.old_global;
    changes.push_back(change);
    targets.push_back(!selected_only || IsSelectedTarget(obj, slots));
  });
  if (changes.empty()) return false;
  LinkGlobalMatrixChanges(doc, changes);

  // In list order, which puts parents before their children: a target's new
  // matrix stands on its parent's new one.
  std::vector<FVECTOR3> translations(changes.size());
  bool changed = false;
  for (size_t i = 0; i < changes.size(); ++i) {
    GlobalMatrixChange& change = changes[i];
    if (!targets[i]) continue;
    FMATRIX parent_old, parent_new, parent_inverse;
    if (change.parent >= 0) {
      const GlobalMatrixChange& parent = changes[static_cast<size_t>(change.parent)];
      parent_old = parent.old_global;
      parent_new = parent.new_global;
      api.MQDoc_GetGlobalInverseMatrix(doc, parent.object, parent_inverse.m);
    }
    const FMATRIX local = change.old_global * parent_inverse;
    if (!HasRotationOrScale(local) && parent_new == parent_old) continue;
    translations[i] = local.GetTranslation();
    change.new_global = FMATRIX::Translation(translations[i]) * parent_new;
    if (!(change.new_global == change.old_global)) changed = true;
  }
  if (!changed) return false;
  SetGlobalMatricesWithVertexFollow(doc, changes, kFollowNone);

  // The matrices above came back through a decomposition; a reset target is
  // given exactly zero angles and unit scale.
  const float zero[3] = {0.0f, 0.0f, 0.0f};
  const float one[3] = {1.0f, 1.0f, 1.0f};
  for (size_t i = 0; i < changes.size(); ++i) {
    const GlobalMatrixChange& change = changes[i];
    if (!targets[i] || change.new_global == change.old_global) continue;
    const float t[3] = {translations[i].x, translations[i].y, translations[i].z};
    api.MQObj_SetFloatArray(change.object, MQOBJ_ID_ROTATION, zero);
    api.MQObj_SetFloatArray(change.object, MQOBJ_ID_TRANSLATION, t);
    api.MQObj_SetFloatArray(change.object, MQOBJ_ID_SCALING, one);
  }
  return true;
}

}  // namespace quorvel
