// The weight and bone tools of the main object: the document's mesh, weights
// and bones copied out, the host-free algorithms run on them, the results
// written back as one undo step; and the menu items that ask for their
// values and report what they did.
#include "main/rigging_commands.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "main/dlmain.h"
#include "math/log.h"
#include "platform/codepage.h"
#include "rig/bone_mirror.h"
#include "rig/host_records.h"
#include "rig/id_table.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "rig/rigging_document.h"
#include "sdk/host_api.h"

namespace {

using quorvel::LogPrintf;
using quorvel::RiggingOutcome;

std::string Ansi(const char* utf8) { return quorvel::platform::Utf8ToAnsi(utf8); }

RiggingOutcome Failed(std::string message) {
  RiggingOutcome outcome;
  outcome.message = std::move(message);
  return outcome;
}

bool AnySelected(const std::vector<uint8_t>& selected) {
  return std::any_of(selected.begin(), selected.end(), [](uint8_t s) { return s != 0; });
}

// Mirror tolerances below this would match nothing but identical floats.
float UsableTolerance(float tolerance) {
  return std::isfinite(tolerance) && tolerance > 0.0f ? tolerance : RIGGING_PARAM().tolerance;
}

// Equal values (a mirrored 0 is -0, the same pose).
bool SamePose(const quorvel::OPoseTSQ& a, const quorvel::OPoseTSQ& b) {
  return a.trs.x == b.trs.x && a.trs.y == b.trs.y && a.trs.z == b.trs.z && a.scl.x == b.scl.x &&
         a.scl.y == b.scl.y && a.scl.z == b.scl.z && a.rot.x == b.rot.x && a.rot.y == b.rot.y &&
         a.rot.z == b.rot.z && a.rot.w == b.rot.w;
}

// Which side of the plane a bone stands on: its middle's x.
float SideOf(const quorvel::RigBone& bone) { return bone.head.x + bone.tail.x; }

}  // namespace

// ---------------------------------------------------------------- weights

RiggingOutcome DLMAIN::RiggingTarget(MQObject object, bool selected_only, MQObject* target,
                                     std::vector<uint8_t>* selected) {
  std::string refusal;
  if (!CanExchangeFiles(&refusal)) return Failed(refusal);
  MQDocument document = model->Document();
  *target = object != nullptr ? object : quorvel::host_records::CurrentObject(document);
  if (*target == nullptr || HostApi().MQDoc_GetObjectIndex(document, *target) < 0) {
    return Failed("カレントオブジェクトがありません");
  }
  if (quorvel::host_records::VertexCount(*target) <= 0) return Failed("オブジェクトに頂点がありません");
  selected->clear();
  if (selected_only) {
    *selected = quorvel::SelectedVertices(document, *target);
    if (!AnySelected(*selected)) return Failed("頂点が選択されていません");
  }
  RiggingOutcome ok;
  ok.ok = true;
  return ok;
}

RiggingOutcome DLMAIN::WeightsEdited(MQObject object, const std::vector<quorvel::VWeight>& weights,
                                     RiggingOutcome outcome) {
  if (!quorvel::WriteObjectWeights(object, slots, weights)) {
    return Failed("ウェイトを書き込めませんでした");
  }
  quorvel::UpdateWeightColours(model->Document(), slots, model->EditState());
  MarkRenderingRecolour();
  MarkRenderingDeform();
  RequestUndoState();
  RefreshPanels();
  Redraw();
  outcome.ok = true;
  return outcome;
}

RiggingOutcome DLMAIN::AutoWeights(MQObject object, bool selected_only,
                                   const quorvel::AutoWeightOptions& options) {
  LogPrintf("DLMAIN::AutoWeights");
  MQObject target = nullptr;
  std::vector<uint8_t> selected;
  if (RiggingOutcome ready = RiggingTarget(object, selected_only, &target, &selected); !ready.ok)
    return ready;
  const std::vector<quorvel::RigBone> bones =
      quorvel::ReadRigBones(model->Document(), slots, quorvel::BoneSet::kSegments, target);
  if (bones.empty()) return Failed("ウェイトを付けるボーンがありません");
  const quorvel::RigMesh mesh = quorvel::ReadRigMesh(target);
  std::vector<quorvel::VWeight> weights = quorvel::ReadObjectWeights(target, slots);
  const quorvel::AutoWeightReport report =
      quorvel::ComputeAutoWeights(mesh, bones, options, selected, weights);
  switch (report.status) {
    case quorvel::AutoWeightStatus::kOk:
      break;
    case quorvel::AutoWeightStatus::kNoBones:
      return Failed("ウェイトを付けるボーンがありません");
    case quorvel::AutoWeightStatus::kNoVertices:
      return Failed("オブジェクトに頂点がありません");
    case quorvel::AutoWeightStatus::kNoFaces:
      return Failed("面のないオブジェクトには自動ウェイトを付けられません");
  }
  RiggingOutcome outcome;
  outcome.changed = report.vertices_written;
  return WeightsEdited(target, weights, outcome);
}

RiggingOutcome DLMAIN::MirrorWeights(MQObject object, bool selected_only, quorvel::MirrorDirection direction,
                                     float tolerance) {
  LogPrintf("DLMAIN::MirrorWeights");
  MQObject target = nullptr;
  std::vector<uint8_t> selected;
  if (RiggingOutcome ready = RiggingTarget(object, selected_only, &target, &selected); !ready.ok)
    return ready;
  if (!quorvel::HasWeights(target, slots)) return Failed("オブジェクトにウェイトがありません");
  tolerance = UsableTolerance(tolerance);
  const std::vector<quorvel::RigBone> bones =
      quorvel::ReadRigBones(model->Document(), slots, quorvel::BoneSet::kAllObjects, nullptr);
  const quorvel::BoneMirrorMap mirror =
      quorvel::MirrorIdMap(bones, quorvel::PairMirrorBones(bones, tolerance));
  const quorvel::RigMesh mesh = quorvel::ReadRigMesh(target);
  std::vector<quorvel::VWeight> weights = quorvel::ReadObjectWeights(target, slots);
  const quorvel::MirrorWeightsReport report =
      quorvel::MirrorWeights(mesh.positions, selected, mirror, direction, tolerance, weights);
  RiggingOutcome outcome;
  outcome.changed = report.written;
  outcome.unmatched = report.unmatched;
  if (report.unmatched > 0) {
    outcome.message =
        "反対側に対応する頂点がない頂点: " + std::to_string(report.unmatched) + " 個 (ウェイトはそのまま)";
  }
  if (report.written == 0) {
    outcome.ok = true;
    if (outcome.message.empty()) outcome.message = "反対側の頂点がありません";
    return outcome;
  }
  return WeightsEdited(target, weights, outcome);
}

RiggingOutcome DLMAIN::ChangeWeights(MQObject object, bool selected_only, const WeightChange& change) {
  MQObject target = nullptr;
  std::vector<uint8_t> selected;
  if (RiggingOutcome ready = RiggingTarget(object, selected_only, &target, &selected); !ready.ok)
    return ready;
  if (!quorvel::HasWeights(target, slots)) return Failed("オブジェクトにウェイトがありません");
  std::vector<quorvel::VWeight> weights = quorvel::ReadObjectWeights(target, slots);
  RiggingOutcome outcome;
  outcome.changed = change(target, selected, weights);
  if (outcome.changed == 0) {
    // Nothing to undo.
    outcome.ok = true;
    return outcome;
  }
  return WeightsEdited(target, weights, outcome);
}

RiggingOutcome DLMAIN::SmoothWeights(MQObject object, bool selected_only,
                                     const quorvel::SmoothOptions& options) {
  LogPrintf("DLMAIN::SmoothWeights");
  return ChangeWeights(
      object, selected_only,
      [&](MQObject target, const std::vector<uint8_t>& selected, std::vector<quorvel::VWeight>& weights) {
        const quorvel::MeshAdjacency adjacency = quorvel::BuildAdjacency(quorvel::ReadRigMesh(target));
        return quorvel::SmoothWeights(adjacency, selected, options, weights);
      });
}

RiggingOutcome DLMAIN::LimitWeights(MQObject object, bool selected_only, int max_bones) {
  LogPrintf("DLMAIN::LimitWeights");
  return ChangeWeights(
      object, selected_only,
      [&](MQObject, const std::vector<uint8_t>& selected, std::vector<quorvel::VWeight>& weights) {
        return quorvel::LimitWeights(selected, max_bones, weights);
      });
}

// ---------------------------------------------------------------- poses and bones

RiggingOutcome DLMAIN::MirrorPose(MIRROR_POSE_MODE mode, MQObject bone, float tolerance) {
  LogPrintf("DLMAIN::MirrorPose");
  std::string refusal;
  if (!CanExchangeFiles(&refusal)) return Failed(refusal);
  MQDocument document = model->Document();
  quorvel::RigEditState& state = model->EditState();
  tolerance = UsableTolerance(tolerance);
  std::vector<MQObject> objects;
  const std::vector<quorvel::RigBone> bones =
      quorvel::ReadRigBones(document, slots, quorvel::BoneSet::kAllObjects, nullptr, &objects);
  const std::vector<int> pairing = quorvel::PairMirrorBones(bones, tolerance);
  int only = -1;
  if (mode == MIRROR_POSE_BONE) {
    if (bone == nullptr) bone = quorvel::FindObjectByUniqueId(document, state.current_bone);
    if (bone == nullptr) bone = quorvel::host_records::CurrentObject(document);
    const auto it = std::find(objects.begin(), objects.end(), bone);
    if (it == objects.end()) return Failed("ボーンを選択してください");
    only = static_cast<int>(it - objects.begin());
    if (pairing[static_cast<size_t>(only)] == only) return Failed("反対側のボーンが見つかりません");
  } else if (mode != MIRROR_POSE_PLUS_TO_MINUS && mode != MIRROR_POSE_MINUS_TO_PLUS &&
             mode != MIRROR_POSE_FLIP) {
    return Failed("ミラーの種類が正しくありません");
  }
  if (quorvel::CurrentPose(state) == nullptr && quorvel::NewPose(*model) == nullptr) {
    return Failed("ポーズを作れません");
  }
  const int32_t pose_id = state.current_pose_id;
  std::vector<quorvel::OPoseTSQ> before(bones.size());
  for (size_t i = 0; i < bones.size(); ++i) quorvel::GetPoseTSQ(objects[i], slots, pose_id, before[i]);
  std::vector<quorvel::OPoseTSQ> after = before;
  RiggingOutcome outcome;
  for (size_t i = 0; i < bones.size(); ++i) {
    const int source = pairing[i];
    bool takes = false;
    switch (mode) {
      case MIRROR_POSE_BONE:
        takes = source == only;
        break;
      case MIRROR_POSE_PLUS_TO_MINUS:
        takes = source != static_cast<int>(i) && SideOf(bones[i]) < 0.0f;
        break;
      case MIRROR_POSE_MINUS_TO_PLUS:
        takes = source != static_cast<int>(i) && SideOf(bones[i]) > 0.0f;
        break;
      case MIRROR_POSE_FLIP:
        takes = true;
        break;
    }
    if (mode != MIRROR_POSE_BONE && mode != MIRROR_POSE_FLIP && source == static_cast<int>(i) &&
        std::fabs(SideOf(bones[i])) > 2.0f * tolerance) {
      ++outcome.unmatched;  // a side bone without a mirror
    }
    if (takes) after[i] = quorvel::MirrorPose(before[static_cast<size_t>(source)]);
  }
  for (size_t i = 0; i < bones.size(); ++i) {
    if (SamePose(after[i], before[i])) continue;
    if (quorvel::SetPoseTSQ(objects[i], slots, pose_id, after[i])) ++outcome.changed;
  }
  if (outcome.unmatched > 0) {
    outcome.message = "反対側のボーンが見つからないボーン: " + std::to_string(outcome.unmatched) + " 本";
  }
  outcome.ok = true;
  PoseReset(true);
  RefreshPanels();
  return outcome;
}

RiggingOutcome DLMAIN::MirrorBones(MQObject bone, float tolerance) {
  LogPrintf("DLMAIN::MirrorBones");
  std::string refusal;
  if (!CanExchangeFiles(&refusal)) return Failed(refusal);
  MQDocument document = model->Document();
  tolerance = UsableTolerance(tolerance);
  std::vector<MQObject> roots;
  if (bone != nullptr) {
    roots.push_back(bone);
  } else {
    quorvel::host_records::ForEachObject(document, [&](MQObject obj, int) {
      if ((quorvel::GetBoneFlags(obj, slots) & quorvel::OBase::kSelectionBits) != 0) roots.push_back(obj);
    });
    if (roots.empty()) {
      if (MQObject current = quorvel::host_records::CurrentObject(document)) roots.push_back(current);
    }
  }
  if (roots.empty()) return Failed("ボーンを選択してください");
  const quorvel::BoneMirrorReport report = quorvel::MirrorBoneChains(document, slots, roots, tolerance);
  RiggingOutcome outcome;
  outcome.changed = report.made;
  outcome.unmatched = report.on_plane + report.mirrored;
  if (report.made == 0) {
    if (report.mirrored > 0) return Failed("反対側のボーンはもうあります");
    if (report.on_plane > 0) return Failed("中心にあるボーンはミラーできません");
    return Failed("ボーンを作れませんでした");
  }
  // The new objects get their bone records from the refresh; then they take
  // their sources' settings (not the selection).
  model->Refresh();
  for (const auto& [source, copy] : report.copies) {
    quorvel::OBase rec;
    if (!quorvel::GetBoneRecord(source, slots, rec)) continue;
    rec.flags &= ~(quorvel::OBase::kSelectionBits | quorvel::OBase::kHoverBits);
    if (IsPoseMode()) {
      // Shown through their rendering copies, as their sources are; the
      // record keeps the source's own visibility.
      HostApi().MQObj_SetVisible(copy, 0);
    } else {
      rec.saved_visibility = static_cast<int32_t>(HostApi().MQObj_GetVisible(copy));
    }
    rec.ik_target = -1;
    quorvel::SetBoneRecord(copy, slots, rec);
  }
  if (report.mirrored > 0 || report.on_plane > 0) {
    outcome.message = "ミラーしなかったチェーン: " + std::to_string(report.mirrored + report.on_plane);
  }
  model->ForgetPoseCache();
  model->UpdatePoseMatrices();
  MarkRenderingRebuild();
  BonesEdited();
  outcome.ok = true;
  return outcome;
}

// ---------------------------------------------------------------- menu items

void DLMAIN::ShowRiggingOutcome(void* owner, const char* caption_utf8, const RiggingOutcome& outcome) {
  if (outcome.ok && outcome.message.empty()) return;
  ++dialogcall_cnt;
  ui->ShowMessageBox(owner, Ansi(outcome.message.c_str()).c_str(),
                     Ansi(outcome.ok ? caption_utf8 : "エラー").c_str(), kMessageBoxOk);
  --dialogcall_cnt;
}

void DLMAIN::RiggingDialog(void* owner, RIGGING_DIALOG kind, bool selected_only) {
  if (!CanEditDocument()) return;
  static constexpr const char* kCaptions[] = {"自動ウェイト", "ウェイトのミラー", "ウェイトのスムーズ",
                                              "ボーン数の制限"};
  if (kind < RIGGING_AUTO_WEIGHTS || kind > RIGGING_LIMIT_WEIGHTS) return;
  ++dialogcall_cnt;
  RIGGING_PARAM param = rigging_param;
  const bool ok = ui->RunRiggingDialog(owner, service.get(), kind, param);
  --dialogcall_cnt;
  if (!ok) return;
  rigging_param = param;
  RiggingOutcome outcome;
  switch (kind) {
    case RIGGING_AUTO_WEIGHTS: {
      quorvel::AutoWeightOptions options;
      options.resolution = param.resolution;
      options.falloff = param.falloff;
      options.max_bones = param.max_bones;
      outcome = AutoWeights(nullptr, selected_only, options);
      break;
    }
    case RIGGING_MIRROR_WEIGHTS:
      outcome = MirrorWeights(nullptr, selected_only,
                              param.direction == 1 ? quorvel::MirrorDirection::kMinusToPlus
                                                   : quorvel::MirrorDirection::kPlusToMinus,
                              param.tolerance);
      break;
    case RIGGING_SMOOTH_WEIGHTS: {
      quorvel::SmoothOptions options;
      options.iterations = param.iterations;
      options.strength = param.strength;
      options.max_bones = param.max_bones;
      outcome = SmoothWeights(nullptr, selected_only, options);
      break;
    }
    case RIGGING_LIMIT_WEIGHTS:
      outcome = LimitWeights(nullptr, selected_only, param.limit);
      break;
  }
  ShowRiggingOutcome(owner, kCaptions[kind], outcome);
}

void DLMAIN::MirrorPoseCommand(void* owner, MIRROR_POSE_MODE mode) {
  if (!CanEditDocument()) return;
  ShowRiggingOutcome(owner, "ポーズのミラー", MirrorPose(mode, nullptr, rigging_param.tolerance));
}

void DLMAIN::MirrorBonesCommand(void* owner) {
  if (!CanEditDocument()) return;
  ShowRiggingOutcome(owner, "ボーンのミラー", MirrorBones(nullptr, rigging_param.tolerance));
}
