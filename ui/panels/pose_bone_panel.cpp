#include "ui/panels/pose_bone_panel.h"

#include <cmath>

#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "rig/host_records.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"
#include "ui/resources/resource.h"

namespace {

namespace hr = quorvel::host_records;
using quorvel::OBase;
using quorvel::OPoseTSQ;

constexpr float kPercent = 100.0f;
constexpr float kScaleDragStep = 0.1f;
constexpr float kAngleNoise = 1e-4f;  // degrees

// The host's rotation angles (degrees) of the rotation `q`.
FVECTOR3 AnglesOf(const FQUAT& q) {
  FMATRIX m = FMATRIX::FromQuat(q);
  float angles[3] = {0.0f, 0.0f, 0.0f};
  HostApi().MQMatrix_FloatValue(m.m, MQMATRIX_GET_ROTATION, angles);
  // Rounding noise of the conversion would show as "-0.00".
  for (float& a : angles) {
    if (std::fabs(a) < kAngleNoise) a = 0.0f;
  }
  return FVECTOR3(angles[0], angles[1], angles[2]);
}

// The rotation of the host's angles, built by the host as a transform with
// unit scale and no translation.
FQUAT RotationOf(const FVECTOR3& angles) {
  float values[9] = {1.0f, 1.0f, 1.0f, angles.x, angles.y, angles.z, 0.0f, 0.0f, 0.0f};
  FMATRIX m;
  HostApi().MQMatrix_FloatValue(m.m, MQMATRIX_SET_TRANSFORM, values);
  FQUAT q = FQUAT::FromMatrix(m);
  q.Normalize();
  return q;
}

}  // namespace

DLP_POSEOBJ::DLP_POSEOBJ() : DLP_PANEL(IDD_POSEOBJ, WINPOS_POSEOBJ) {}

void DLP_POSEOBJ::OnInit(HWND hwnd) {
  rotation_.Bind(hwnd, {IDC_POSEOBJ_ROTX, IDC_POSEOBJ_ROTY, IDC_POSEOBJ_ROTZ});
  translation_.Bind(hwnd, {IDC_POSEOBJ_TRSX, IDC_POSEOBJ_TRSY, IDC_POSEOBJ_TRSZ});
  scale_.Bind(hwnd, {IDC_POSEOBJ_SCLX, IDC_POSEOBJ_SCLY, IDC_POSEOBJ_SCLZ});
  scale_.SetStep(kScaleDragStep);
}

MQObject DLP_POSEOBJ::Bone() const {
  const quorvel::RigEditState* state = service_->GetEditState();
  if (state == nullptr || state->current_bone < 0) return nullptr;
  return hr::FindByUniqueId(service_->GetDocument(), state->current_bone);
}

void DLP_POSEOBJ::OnRefresh() {
  MQObject bone = Bone();
  const quorvel::RigEditState* state = service_->GetEditState();
  OPoseTSQ pose;  // rest, unless the current pose has a record
  if (bone != nullptr && state != nullptr) {
    quorvel::GetPoseTSQ(bone, service_->GetSlots(), quorvel::CurrentPoseId(*state), pose);
  }
  char name[256] = {};
  if (bone != nullptr) HostApi().MQObj_GetName(bone, name, sizeof name);
  name[sizeof name - 1] = '\0';
  UpdateWindowText(GetDlgItem(hwnd_, IDC_POSEOBJ_NAME), name);

  rotation_.SetVector(AnglesOf(pose.rot));
  translation_.SetVector(pose.trs);
  scale_.SetVector(pose.scl * kPercent);
  const uint32_t flags = quorvel::GetBoneFlags(bone, service_->GetSlots());
  const bool has_pose = state != nullptr && quorvel::CurrentPose(*state) != nullptr;
  struct Group {
    UDLGFVEC3& edits;
    int reset;
    OBase::Flag bit;
  };
  for (const Group& g : {Group{rotation_, IDC_POSEOBJ_ROT_RESET, OBase::userot},
                         Group{translation_, IDC_POSEOBJ_TRS_RESET, OBase::usetrs},
                         Group{scale_, IDC_POSEOBJ_SCL_RESET, OBase::usescl}}) {
    const bool usable = bone != nullptr && (flags & g.bit) != 0;
    g.edits.Enable(usable);
    // A reset needs a pose to reset; an edit makes the first one.
    EnableWindow(GetDlgItem(hwnd_, g.reset), usable && has_pose ? TRUE : FALSE);
  }
}

void DLP_POSEOBJ::WriteEdits() {
  // Every flag is read, so none is left over for a later command.
  const bool rotated = rotation_.TakeChanged();
  const bool moved = translation_.TakeChanged();
  const bool scaled = scale_.TakeChanged();
  MQObject bone = Bone();
  quorvel::RigEditState* state = service_->GetEditState();
  if (bone == nullptr || state == nullptr || !(rotated || moved || scaled)) return;
  if (quorvel::CurrentPose(*state) == nullptr) service_->NewPose();
  const int32_t pose_id = quorvel::CurrentPoseId(*state);
  if (quorvel::CurrentPose(*state) == nullptr) return;

  // Only the groups the user changed are written: the others keep their
  // stored values, which the edits show rounded.
  OPoseTSQ pose;
  quorvel::GetPoseTSQ(bone, service_->GetSlots(), pose_id, pose);
  if (rotated) pose.rot = RotationOf(rotation_.GetVector());
  if (moved) pose.trs = translation_.GetVector();
  if (scaled) pose.scl = scale_.GetVector() / kPercent;
  quorvel::SetPoseTSQ(bone, service_->GetSlots(), pose_id, pose);
  Written();
}

void DLP_POSEOBJ::Reset(int button) {
  MQObject bone = Bone();
  const quorvel::RigEditState* state = service_->GetEditState();
  if (bone == nullptr || state == nullptr || quorvel::CurrentPose(*state) == nullptr) return;
  const int32_t pose_id = quorvel::CurrentPoseId(*state);
  OPoseTSQ pose;
  quorvel::GetPoseTSQ(bone, service_->GetSlots(), pose_id, pose);
  const OPoseTSQ rest;
  switch (button) {
    case IDC_POSEOBJ_ROT_RESET: pose.rot = rest.rot; break;
    case IDC_POSEOBJ_TRS_RESET: pose.trs = rest.trs; break;
    case IDC_POSEOBJ_SCL_RESET: pose.scl = rest.scl; break;
    default: return;
  }
  quorvel::SetPoseTSQ(bone, service_->GetSlots(), pose_id, pose);
  Written();
}

void DLP_POSEOBJ::Written() {
  service_->UpdatePose();
  service_->RefreshPanels();
  service_->UpdateUndo();
}

void DLP_POSEOBJ::OnCommand(int id, int code) {
  switch (id) {
    case IDC_POSEOBJ_ROTX:
    case IDC_POSEOBJ_ROTY:
    case IDC_POSEOBJ_ROTZ:
    case IDC_POSEOBJ_TRSX:
    case IDC_POSEOBJ_TRSY:
    case IDC_POSEOBJ_TRSZ:
    case IDC_POSEOBJ_SCLX:
    case IDC_POSEOBJ_SCLY:
    case IDC_POSEOBJ_SCLZ:
      WriteEdits();
      return;
    case IDC_POSEOBJ_ROT_RESET:
    case IDC_POSEOBJ_TRS_RESET:
    case IDC_POSEOBJ_SCL_RESET:
      if (code == BN_CLICKED) Reset(id);
      return;
    default:
      return;
  }
}
