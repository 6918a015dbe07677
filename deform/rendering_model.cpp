#include "deform/rendering_model.h"

#include <vector>

#include "deform/deformation.h"
#include "deform/pose_evaluation.h"
#include "math/log.h"
#include "rig/id_table.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"

namespace quorvel {

bool FreezeRenderingModel(FLZMODEL& model, MQDocument doc, const RigSlotTable& slots,
                          const RigEditState& state) {
  if (doc == nullptr) return false;
  model.SetBuilt(true);
  std::vector<FMATRIX> matrices;
  ReadSkinningMatrices(doc, slots, matrices);
  IdTable ids;
  BuildIdTable(doc, ids);
  const int pose_id = state.current_pose_id;

  LogPrintf("pose_id(%d)", pose_id);
  if (matrices.size() > 0) LogMatrix(matrices[0], "mt0");
  if (matrices.size() > 1) LogMatrix(matrices[1], "mt1");

  DeformInputs inputs;
  inputs.document = doc;
  inputs.slots = &slots;
  inputs.matrices = &matrices;
  inputs.ids = &ids;
  inputs.pose_id = pose_id;
  const int count = HostApi().MQDoc_GetObjectCount(doc);
  for (int i = 0; i < count; ++i) {
    MQObject source = HostApi().MQDoc_GetObject(doc, i);
    if (source == nullptr) continue;
    const int32_t shown = GetSavedVisibility(source, slots);
    if (shown == 0) continue;
    LogPrintf("MakeObj[%d]:show(%d)", i, shown);
    MQObject copy = model.AddModelObject();
    if (copy == nullptr) continue;
    BuildCopy(copy, source, shown);
    DeformCopy(inputs, copy, source);
  }
  return true;
}

}  // namespace quorvel
