#pragma once
// The current bone's pose in the current pose: rotation as the host's
// rotation angles (degrees), translation, and scale in percent, each group
// with a reset to rest. A group is editable only where the bone's record
// lets that part be posed.
#include "rig/records.h"
#include "sdk/mq_types.h"
#include "ui/panels/panel.h"
#include "ui/toolkit/controls.h"

class DLP_POSEOBJ : public DLP_PANEL {
 public:
  DLP_POSEOBJ();

 protected:
  void OnInit(HWND hwnd) override;
  void OnRefresh() override;
  void OnCommand(int id, int code) override;

 private:
  // The bone the panel edits: the edit state's current bone, null for none.
  MQObject Bone() const;
  // The edited groups written into the current pose (made first when the rig
  // has none).
  void WriteEdits();
  // One group of the current pose back to rest.
  void Reset(int button);
  // After a write: the pose evaluated and drawn, the panels, an undo state.
  void Written();

  UDLGFVEC3 rotation_, translation_, scale_;
};
