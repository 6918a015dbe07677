#pragma once
// The plug-in's main object: every host event reaches it. It owns the model
// of the open document, the command processor of the current mode, the undo
// buffer, the panels (through the user interface) and the preferences, and
// offers them to panels and processors through its service object IDLMAIN.
#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "deform/rendering_copies.h"
#include "io/gltf_export.h"
#include "io/gltf_import.h"
#include "io/registry_settings.h"
#include "main/idlmain.h"
#include "main/rigging_commands.h"
#include "main/undo.h"
#include "main/undo_handlers.h"
#include "main/user_interface.h"
#include "main/user_messages.h"
#include "rig/auto_weights.h"
#include "rig/document_model.h"
#include "rig/slot_table.h"
#include "rig/weight_mirror.h"
#include "rig/weight_smooth.h"
#include "sdk/plugin.h"
#include "tools/bone_drawing.h"
#include "tools/command_framework.h"
#include "tools/command_processors.h"
#include "tools/viewport_drawing.h"

// The plug-in's identity, the same pair its user-data kinds are registered with.
constexpr uint32_t QUORVEL_PRODUCT_ID = quorvel::kRigProductId;
constexpr uint32_t QUORVEL_PLUGIN_ID = quorvel::kRigPluginId;

// Command modes.
enum : int {
  MODE_MAKE = 0,
  MODE_MOVE = 1,
  MODE_POSE = 2,
  MODE_WEIGHT = 3,
  MODE_MORPH = 4,
};

// The interaction record the selection parameters read and write.
struct DRAG_STATE {
  int32_t state = 0;
  FVECTOR3 point0;
  FVECTOR3 point1;
  float value = 0.0f;
};

class DLMAIN : public MQCommandPlugin, private MED_UNDO_HOOKS, private quorvel::MED_DRAWING_HOST {
 public:
  // Makes the command processor of a mode; null for a mode without one.
  using ProcessorFactory = std::unique_ptr<MED_COMPROC_BASE> (*)(int mode);
  // A call run later through the host (BeginCallback / ExecuteCallback).
  using DeferredFunction = void (*)(MQDocument doc, void* data);

  // `ui` null: the headless interface.
  explicit DLMAIN(std::unique_ptr<MED_PLUGIN_UI> ui = nullptr);
  ~DLMAIN() override;

  // ---------------------------------------------------------------- host events
  void GetPlugInID(uint32_t* product, uint32_t* id) override;
  const char* GetPlugInName() override;
  const char* EnumString() override;
  BOOL Initialize() override;
  void Exit() override;
  BOOL Activate(MQDocument document, BOOL flag) override;
  BOOL IsActivated(MQDocument document) override;
  void OnMinimize(MQDocument document, BOOL flag) override;
  int OnReceiveUserMessage(MQDocument document, uint32_t src_product, uint32_t src_id,
                           const char* description, void* message) override;
  void OnDraw(MQDocument document, MQScene view, int width, int height) override;
  void OnNewDocument(MQDocument document, const char* filename, NEW_DOC_PARAM& param) override;
  void OnEndDocument(MQDocument document) override;
  void OnSaveDocument(MQDocument document, const char* filename, SAVE_DOC_PARAM& param) override;
  BOOL OnUndo(MQDocument document, int undo_state) override;
  BOOL OnRedo(MQDocument document, int redo_state) override;
  void OnUpdateUndo(MQDocument document, int undo_state, int undo_size) override;
  void OnObjectModified(MQDocument document) override;
  void OnUpdateObjectList(MQDocument document) override;
  void OnUpdateMaterialList(MQDocument document) override;
  void OnUpdateScene(MQDocument document, MQScene view) override;
  bool ExecuteCallback(MQDocument document, void* option) override;
  BOOL OnLeftButtonDown(MQDocument document, MQScene view, BUTTON_STATE& state) override;
  BOOL OnLeftButtonMove(MQDocument document, MQScene view, BUTTON_STATE& state) override;
  BOOL OnLeftButtonUp(MQDocument document, MQScene view, BUTTON_STATE& state) override;
  BOOL OnRightButtonDown(MQDocument document, MQScene view, BUTTON_STATE& state) override;
  BOOL OnRightButtonMove(MQDocument document, MQScene view, BUTTON_STATE& state) override;
  BOOL OnRightButtonUp(MQDocument document, MQScene view, BUTTON_STATE& state) override;
  BOOL OnMouseMove(MQDocument document, MQScene view, BUTTON_STATE& state) override;
  BOOL OnMouseWheel(MQDocument document, MQScene view, BUTTON_STATE& state) override;
  BOOL OnKeyDown(MQDocument document, MQScene view, int key, BUTTON_STATE& state) override;
  BOOL OnKeyUp(MQDocument document, MQScene view, int key, BUTTON_STATE& state) override;

  // ---------------------------------------------------------------- services
  // (What IDLMAIN forwards to; panels and processors use the service object.)
  IDLMAIN* Service() const { return service.get(); }
  bool IsDocClosed() const { return doc_closed != 0; }
  bool IsSettingsReady() const { return settings_ready != 0; }
  int GetEnable() const { return enable; }
  int GetEnableNext() const { return enable_next; }
  int GetMode() const { return mode; }
  void GetViewSize(int& width, int& height) const;
  void* GetInstance() const { return instance; }
  void* GetMainWindow() const;
  int GetDialogCallCount() const { return dialogcall_cnt; }
  bool IsActive() const override { return active != 0; }
  bool IsInitialized() const { return initialized != 0; }

  int GetShowHandle() const { return show_handle; }
  void SetShowHandle(int on) { show_handle = on != 0; }
  int GetShowLocal() const { return show_local; }
  void SetShowLocal(int on) { show_local = on != 0; }
  int GetShowBone() const { return show_bone; }
  void SetShowBone(int on);
  int GetShowCurObjBone() const { return show_cur_obj_bone; }
  void SetShowCurObjBone(int on) { show_cur_obj_bone = on != 0; }
  int GetShowCurObjWeight() const { return show_cur_obj_weight; }
  // Also recomputes the weight colours.
  void SetShowCurObjWeight(int on);
  int GetDrawBoneRoll() const { return draw_bone_roll; }
  void SetDrawBoneRoll(int on);
  int GetIkType() const { return ik_type; }
  void SetIkType(int type) { ik_type = type; }
  int GetToolOption(int n) const;
  void SetToolOption(int n, int value);
  bool GetModelOption(MQEXPDOC::Option bit) const;
  void SetModelOption(MQEXPDOC::Option bit, bool on);

  void SetMode(int new_mode);
  void BoneAlign(void* owner);
  void EnableSwitch(void* owner);
  // The command panel's glTF items: the file and the unit scale asked for,
  // then the export (or the import, which needs the plug-in editing a
  // document) and a box with what it wrote or read, or why it failed.
  void ExportGltfDialog(void* owner);
  void ImportGltfDialog(void* owner);
  // The move panel's reset of the local rotation and scale of the selected
  // objects (or of all); when a matrix changed the pose is evaluated afresh,
  // and it redraws, refreshes the panels and asks for an undo state. False
  // when nothing changed or the plug-in is not editing a document.
  bool ResetLocalRotScale(bool selected_only);

  // The pose list's operations for the pose command and the pose panels;
  // each recomputes the pose, re-skins the viewport's copies and redraws.
  // False when there is no document model or nothing changed.
  bool NewPose();
  bool DeleteCurrentPose();
  bool CopyCurrentPose();
  bool SelectPose(int position);
  // The resets also ask for an undo state, and need the plug-in to be
  // editing a document (enabled, active, a document open).
  bool ResetCurrentBonePose();
  bool ResetAllBonesPose();
  // Morph weights of the current pose: the current object's current morph
  // target, all of the current object's, every object's.
  bool ResetCurrentMorphPose();
  bool ResetCurrentObjectMorphPose();
  bool ResetAllMorphPose();
  // After pose records were written by someone else (a panel).
  bool UpdatePose();

  // glTF files (.glb or .gltf by the name; the path as the host's file names
  // are, in the system code page). `unit_scale` is metres per modeller unit;
  // zero, below zero or not a number means the default (one unit is one
  // centimetre). Both refuse, with the reason in `error` (in the system code
  // page), when no document is open or the file cannot be written or read.
  // The export only reads: the document as it is shown (in pose mode the
  // objects' own visibility) with its rig and pose list. The import adds
  // the file's model to the document as one undo step, then evaluates the
  // pose, re-skins the copies, refreshes the panels and redraws; the report's
  // notes (UTF-8) say what was read with a loss.
  bool ExportGltf(const std::string& path, float unit_scale, quorvel::gltf::ExportReport* report,
                  std::string* error);
  bool ImportGltf(const std::string& path, float unit_scale, quorvel::gltf::ImportReport* report,
                  std::string* error);
  // The weight tools on `object` (null: the current object), on its selected
  // vertices alone with `selected_only`. Each needs the plug-in editing a
  // document and is one undo step; it recolours the weights, re-skins the
  // copies, refreshes the panels and redraws.
  quorvel::RiggingOutcome AutoWeights(MQObject object, bool selected_only, const quorvel::AutoWeightOptions& options);
  quorvel::RiggingOutcome MirrorWeights(MQObject object, bool selected_only, quorvel::MirrorDirection direction,
                                        float tolerance);
  quorvel::RiggingOutcome SmoothWeights(MQObject object, bool selected_only, const quorvel::SmoothOptions& options);
  quorvel::RiggingOutcome LimitWeights(MQObject object, bool selected_only, int max_bones);
  // Poses of the current pose mirrored (MIRROR_POSE_BONE: of `bone`, null
  // for the current bone); a pose is made when there is none.
  quorvel::RiggingOutcome MirrorPose(MIRROR_POSE_MODE mode, MQObject bone, float tolerance);
  // The other side's chain made from `bone`'s (null: from the selected
  // joints' objects, else the current object's): mirrored objects with
  // mirrored names, pivots and rotation limits, below the mirror of the
  // parent (or the parent itself when it has none).
  quorvel::RiggingOutcome MirrorBones(MQObject bone, float tolerance);
  // The panels' menu items: the dialog's values asked for (when the tool
  // has any), the tool run, and a box when it did nothing or left
  // something unmatched.
  void RiggingDialog(void* owner, RIGGING_DIALOG kind, bool selected_only);
  void MirrorPoseCommand(void* owner, MIRROR_POSE_MODE mode);
  void MirrorBonesCommand(void* owner);
  RIGGING_PARAM& GetRiggingParam() { return rigging_param; }

  // The move command's key commands; each redraws, refreshes the panels and
  // asks for an undo state.
  void DeleteSelectedBones();
  void SelectAllBones();
  void ClearBoneSelection();

  void Redraw() override;
  void RedrawAndRefreshPanels();
  void RefreshPanels() override;
  void DialogRedraw();
  void DialogRedrawAndRefreshPanels();
  void DialogRefreshPanels();
  // Asks the host for an undo state (through the host's callback while a
  // dialog or forwarded key is in progress).
  void RequestUndoState();

  MQEXPDOC* GetModel() const { return model.get(); }
  quorvel::RigEditState* GetEditState() const;
  MQDocument GetDocument() const { return doc; }
  MQScene GetScene() const { return scene; }
  MQObject GetCurrentObject() const;
  MQMaterial GetCurrentMaterial() const;
  MED_SCREENCONVBASE* GetScreenConverter() const;
  const quorvel::RigSlotTable& GetSlots() const { return slots; }
  BONEALIGN_PARAM& GetAlignParam() { return align_param; }
  // The picker of the main object, for panels that pick.
  MED_USELECT& GetSelection() { return selection; }
  DRAG_STATE& GetDragState() { return drag_state; }
  UDRAW_MQ& GetDrawer() { return mq; }
  // The rendering copies show the posed rig: the model's render state.
  bool IsPoseMode() const { return model != nullptr && model->IsRenderState(); }
  // The depth of the last pick, kept in the drag record for the drag after it.
  float GetPickDepth() const { return drag_state.value; }
  void SetPickDepth(float depth) { drag_state.value = depth; }
  HANDLE_STATE& GetHandleState() { return handle; }

  // Host drawing objects and materials: the frame's requests (also what the
  // rendering copies use).
  MQObject CreateDrawingObject(MQDocument document, int visibility, BOOL instant) override {
    return MQStationPlugin::CreateDrawingObject(document, visibility, instant);
  }
  MQMaterial CreateDrawingMaterial(MQDocument document, int& index, BOOL instant) override {
    return MQStationPlugin::CreateDrawingMaterial(document, index, instant);
  }
  void DeleteDrawingObject(MQDocument document, MQObject object) override {
    MQStationPlugin::DeleteDrawingObject(document, object);
  }
  void DeleteDrawingMaterial(MQDocument document, MQMaterial material) override {
    MQStationPlugin::DeleteDrawingMaterial(document, material);
  }
  // The viewport's rendering copies (none without a document model).
  quorvel::RENDERING_COPIES* GetRenderingCopies() const { return rendering.get(); }
  void MarkRenderingRebuild();
  void MarkRenderingDeform();
  void MarkRenderingRecolour();

  void ResetUndo();
  void PushUndo(int state, int size);
  UNDOBUFF2& GetUndoBuffer() { return undobuff; }

  DLGWINPOS* GetWinpos(int id);

  // Runs `function` with `data` from the host's callback, in a context
  // where the document may be edited. A null function does nothing.
  void RunDeferred(DeferredFunction function, void* data);

  // ---------------------------------------------------------------- inspection
  const std::array<int, PANEL_COUNT>& PanelVisible() const { return panel_visible; }
  MED_COMPROC_BASE* Processor() const { return processor.get(); }
  MED_PLUGIN_UI& UserInterface() const { return *ui; }
  // The key the preferences are read from and written to (tests use a
  // scratch key).
  void SetSettingsKey(std::string key) { settings_key = std::move(key); }
  void SetProcessorFactory(ProcessorFactory factory) { processor_factory = factory; }

 private:
  struct DeferredCall {
    DeferredFunction function;
    void* data;
  };

  // MED_UNDO_HOOKS
  bool IsEnabled() const override { return enable != 0; }
  void StoreDocument(MQDocument document) override { SetDocument(document); }
  void MarkRenderingCopies() override;
  void DeleteRenderingCopies() override;
  // Empties the selection: the handle goes.
  void ClearSelection() override;

  // The model and its rendering copies go together; the copies' host objects
  // are deleted while the document is still there.
  void ReleaseModel();

  void SetDocument(MQDocument document) { doc = document; }
  void SetDocument(MQDocument document, MQScene view) {
    doc = document;
    scene = view;
  }
  // Enabled, active and a model: the state in which input and drawing act.
  bool IsWorking() const { return enable != 0 && active != 0 && model != nullptr; }
  void ApplyActivation();
  // Sets the model's active flag and rebuilds the model (active) or drops
  // the rendering copies; deferred while a dialog is in progress.
  void SetActivateModel();
  static void DeferredActivateModel(MQDocument doc, void* data);
  static void DeferredRedraw(MQDocument doc, void* data);
  static void DeferredUpdateUndo(MQDocument doc, void* data);
  void ShowPanels(bool shown);
  void ReplaceProcessor();
  void SetModelRenderState();
  // The end of a pose-list operation that changed something.
  bool PoseChanged(bool changed);
  // The same for a reset, which the user must be able to undo.
  bool PoseReset(bool changed);
  // Enabled, active, a model and an open document: a menu command may edit.
  bool CanEditDocument() const { return IsWorking() && doc_closed == 0; }
  // Enabled with a model of an open document: files may be exchanged with
  // it, whether or not the command is taken. False with the reason otherwise.
  bool CanExchangeFiles(std::string* error) const;
  // The end of a key command on bones.
  void BonesEdited();
  // The glTF items' file and unit scale dialogs; false when either was
  // cancelled (or the scale is no length).
  bool AskGltfFile(void* owner, bool save, std::string& path, float& unit_scale);
  // The weight tools' common start: the plug-in has a document, the target
  // object (the current one when `object` is null) is in it with vertices,
  // and with `selected_only` some of them are selected.
  quorvel::RiggingOutcome RiggingTarget(MQObject object, bool selected_only, MQObject* target,
                                        std::vector<uint8_t>* selected);
  // The end of a weight tool that changed records: written back, recoloured,
  // re-skinned, one undo state, refreshed and redrawn.
  quorvel::RiggingOutcome WeightsEdited(MQObject object, const std::vector<quorvel::VWeight>& weights,
                                        quorvel::RiggingOutcome outcome);
  // A tool that changes weights the object already has: `change` gets the
  // target, the selection (empty: every vertex) and the records, and answers
  // how many it changed.
  using WeightChange = std::function<int(MQObject target, const std::vector<uint8_t>& selected,
                                         std::vector<quorvel::VWeight>& weights)>;
  quorvel::RiggingOutcome ChangeWeights(MQObject object, bool selected_only, const WeightChange& change);
  // A box when a tool did nothing or left something over.
  void ShowRiggingOutcome(void* owner, const char* caption_utf8, const quorvel::RiggingOutcome& outcome);
  // The box after a glTF export or import: the report, or the error.
  void ShowGltfResult(void* owner, bool ok, const char* caption_utf8, const std::string& text);
  // Calls `op` of the processor with a record for this event; 0 without one.
  int CallProcessor(int (MED_COMPROC_BASE::*op)(MED_COMPROC_CALLBACK_BASE&), MQDocument document,
                    MQScene view, const BUTTON_STATE& state, int key = 0);
  // The mouse lies inside the view of the last draw event.
  bool InView(const BUTTON_STATE& state) const;
  BOOL MouseEvent(int (MED_COMPROC_BASE::*op)(MED_COMPROC_CALLBACK_BASE&), MQDocument document,
                  MQScene view, const BUTTON_STATE& state, BOOL answer);

  // ---------------------------------------------------------------- fields
  void* instance = nullptr;
  MQDocument doc = nullptr;
  // The open document's file as the host named it last (opened or saved as);
  // empty for a new document. Exported textures are looked for beside it.
  std::string document_file;
  MQScene scene = nullptr;
  int view_width = 640;
  int view_height = 480;
  std::unique_ptr<MQEXPDOC> model;
  std::unique_ptr<quorvel::RENDERING_COPIES> rendering;
  std::unique_ptr<IDLMAIN> service;
  int enable = 1;
  int enable_next = 1;
  int initialized = 0;
  int active = 0;
  int settings_ready = 0;
  int show_handle = 0;
  int show_local = 1;
  int show_bone = 1;
  int show_cur_obj_bone = 0;
  int show_cur_obj_weight = 0;
  int draw_bone_roll = 1;
  int ik_type = 0;
  int icons_loaded = 0;
  int panels_created = 0;  // bit per PANEL_ID whose window was made
  int doc_closed = 0;
  int mode = MODE_MOVE;
  int dialogcall_cnt = 0;
  std::array<int, 5> tool_opt{0, 0, 0, 0, 1};  // tool_opt1 .. tool_opt5
  quorvel::RigSlotTable slots;
  std::array<int, PANEL_COUNT> panel_visible{};
  std::unique_ptr<MED_COMPROC_BASE> processor;
  UNDOBUFF2 undobuff;
  MED_USELECT selection;
  DRAG_STATE drag_state;
  BONEALIGN_PARAM align_param;
  RIGGING_PARAM rigging_param;
  // Metres per modeller unit, as last confirmed in the glTF scale dialog.
  float gltf_unit_scale = quorvel::gltf::kDefaultUnitScale;
  WINPOS_TABLE winpos;
  std::unique_ptr<MED_PLUGIN_UI> ui;
  UMESSAGE_HANDLER messages;
  UDRAW_MQ mq;
  HANDLE_STATE handle;
  bool minimized = false;
  // The objects were shown for saving in pose mode and wait to be hidden.
  bool pose_hide_pending = false;
  std::string settings_key = kQuorvelSettingsKey;
  ProcessorFactory processor_factory = &MakeCommandProcessor;
  // Records handed to the host through BeginCallback, until they are run.
  std::list<DeferredCall> deferred_calls;
};
