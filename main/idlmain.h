#pragma once
// The main object's service object: what panels, command processors and the
// document model may ask of the plug-in. It holds only a pointer to the main
// object and forwards every operation to the operation of the same name.
#include <cstdint>
#include <string>

#include "io/gltf_export.h"
#include "io/gltf_import.h"
#include "io/registry_settings.h"
#include "main/rigging_commands.h"
#include "main/user_interface.h"
#include "rig/document_model.h"
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"
#include "tools/picking.h"
#include "tools/tool_service.h"
#include "tools/viewport_drawing.h"

class DLMAIN;

class IDLMAIN : public MED_DOCMODEL_SERVICE, public MED_TOOL_SERVICE {
 public:
  explicit IDLMAIN(DLMAIN* main) : main_(main) {}
  virtual ~IDLMAIN() = default;
  IDLMAIN(const IDLMAIN&) = delete;
  IDLMAIN& operator=(const IDLMAIN&) = delete;

  // ---------------------------------------------------------------- state
  bool IsDocClosed() const;
  bool IsSettingsReady() const;
  int GetEnable() const;
  int GetEnableNext() const;
  int GetMode() const override;
  void GetViewSize(int& width, int& height) const override;
  void* GetInstance() const;
  void* GetMainWindow() const;
  int GetDialogCallCount() const;

  // ---------------------------------------------------------------- options
  int GetShowHandle() const override;
  void SetShowHandle(int on);
  int GetShowLocal() const;
  void SetShowLocal(int on);
  int GetShowBone() const;
  void SetShowBone(int on);
  int GetShowCurObjBone() const;
  void SetShowCurObjBone(int on);
  bool GetShowCurObjWeight() const override;
  void SetShowCurObjWeight(int on);
  int GetDrawBoneRoll() const;
  void SetDrawBoneRoll(int on);
  int GetIkType() const override;
  void SetIkType(int type);
  // n = 1..5; 0 for any other n.
  int GetToolOption(int n) const override;
  void SetToolOption(int n, int value);
  bool GetModelOption(MQEXPDOC::Option bit) const;
  void SetModelOption(MQEXPDOC::Option bit, bool on);

  // ---------------------------------------------------------------- mode and commands
  void SetMode(int mode);
  void BoneAlign(void* owner);
  void EnableSwitch(void* owner);
  void ExportGltfDialog(void* owner);
  void ImportGltfDialog(void* owner);
  // Local rotation and scale of the selected objects (or all) reset; redraws,
  // refreshes and asks for undo when something changed.
  bool ResetLocalRotScale(bool selected_only);
  // The pose list (each recomputes the pose, re-skins and redraws; the
  // resets also ask for undo).
  bool NewPose();
  bool DeleteCurrentPose();
  bool CopyCurrentPose();
  bool SelectPose(int position);
  bool ResetCurrentBonePose();
  bool ResetAllBonesPose();
  bool ResetCurrentMorphPose();
  bool ResetCurrentObjectMorphPose();
  bool ResetAllMorphPose();
  bool UpdatePose();
  // glTF files: the export reads the document, the import adds to it as one
  // undo step (see DLMAIN).
  bool ExportGltf(const std::string& path, float unit_scale, quorvel::gltf::ExportReport* report,
                  std::string* error);
  bool ImportGltf(const std::string& path, float unit_scale, quorvel::gltf::ImportReport* report,
                  std::string* error);
  // The weight and bone tools (see DLMAIN).
  void RiggingDialog(void* owner, RIGGING_DIALOG kind, bool selected_only);
  void MirrorPoseCommand(void* owner, MIRROR_POSE_MODE mode);
  void MirrorBonesCommand(void* owner);
  // The blur pen: the weight brush smooths the weights under it instead of
  // painting the palette.
  bool GetBlurPen() const;
  void SetBlurPen(bool on);
  // The move command's keys (each redraws, refreshes and asks for undo).
  void DeleteSelectedBones() override;
  void SelectAllBones() override;
  void ClearBoneSelection() override;

  // ---------------------------------------------------------------- refresh
  void Redraw() override;
  void RedrawAndRefreshPanels();
  void RefreshPanels() override;
  // The same, with the dialog depth raised around the call.
  void DialogRedraw();
  void DialogRedrawAndRefreshPanels();
  void DialogRefreshPanels();
  void UpdateUndo() override;

  // ---------------------------------------------------------------- model access
  MQEXPDOC* GetModel() const override;
  quorvel::RigEditState* GetEditState() const override;
  MQDocument GetDocument() const override;
  MQObject GetCurrentObject() const;
  MQMaterial GetCurrentMaterial() const;
  MED_SCREENCONVBASE* GetScreenConverter() const override;
  const quorvel::RigSlotTable& GetSlots() const override;
  BONEALIGN_PARAM& GetAlignParam() const;
  MED_USELECT& GetSelection() const;
  // The viewport drawing object.
  UDRAW_MQ& GetDrawer() const override;

  // ---------------------------------------------------------------- viewport tools
  bool IsPoseMode() const override;
  float GetPickDepth() const override;
  void SetPickDepth(float depth) override;
  HANDLE_STATE& GetHandleState() override;
  // The handle type: tool option 4, which the move panel sets.
  int GetHandleType() const override;

  // ---------------------------------------------------------------- drawing objects
  MQObject CreateDrawingObject(int flags, BOOL instant = TRUE) override;
  MQMaterial CreateDrawingMaterial(int& index, BOOL instant = TRUE) override;
  void DeleteDrawingObject(MQObject object);
  void MarkRenderingDeform() override;
  void MarkRenderingRecolour() override;
  void DeleteDrawingMaterial(MQMaterial material);

  // ---------------------------------------------------------------- undo
  void ResetUndo();
  void PushUndo(int state, int size);

  // ---------------------------------------------------------------- winpos
  // Null for an id out of range.
  DLGWINPOS* GetWinpos(int id) const;

 private:
  DLMAIN* main_;
};
