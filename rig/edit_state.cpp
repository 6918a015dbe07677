#include "rig/edit_state.h"

#include "rig/weight_record.h"

namespace quorvel {

PaletteSet::PaletteSet() {
  for (VWeight& palette : palettes) Init(palette);
}

RigEditState::RigEditState() {
  const float sizes[kPenCount] = {10.0f, 20.0f, 30.0f, 50.0f};
  for (int i = 0; i < kPenCount; ++i) pens[static_cast<std::size_t>(i)].size = sizes[i];
  Init(clipboard);
}

bool RigEditState::IsListedPoseId(int32_t id) const {
  for (const auto& pose : poses) {
    if (pose && pose->id == id) return true;
  }
  return false;
}

void RigEditState::Reset() {
  poses.clear();
  current_pose_id = -1;
  current_pen = 0;
}

}  // namespace quorvel
