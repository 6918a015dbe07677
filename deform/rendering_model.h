#pragma once
// The exported rendering model: a deformed copy of every visible object of
// the document, built into a flattened model that another plug-in takes away.
#include "rig/edit_state.h"
#include "rig/flz_model.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// Marks the model built and appends, for every object whose saved host
// visibility is not 0 (in document order), a copy morphed and skinned for
// the edit state's current pose. False when there is no document.
bool FreezeRenderingModel(FLZMODEL& model, MQDocument doc, const RigSlotTable& slots,
                          const RigEditState& state);

}  // namespace quorvel
