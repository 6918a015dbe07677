#include "main/dlmain.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "deform/pose_evaluation.h"
#include "io/document_format.h"
#include "main/gltf_exchange.h"
#include "main/headless_ui.h"
#include "math/log.h"
#include "platform/codepage.h"
#include "platform/keyboard.h"
#include "platform/module.h"
#include "rig/bone_align.h"
#include "rig/hierarchy.h"
#include "rig/id_table.h"
#include "rig/pose_list.h"
#include "rig/records.h"
#include "rig/rig_document.h"
#include "rig/transform_reset.h"
#include "sdk/host_api.h"
#include "tools/screen_conversion.h"

using quorvel::LogAddress;
using quorvel::LogPrintf;

namespace {

// The panels with a window, in the order they are created after the command
// panel.
constexpr PANEL_ID kModePanels[] = {PANEL_CMDMOVE,  PANEL_CMDMAKE, PANEL_CMDMOT,
                                    PANEL_POSELIST, PANEL_POSEOBJ, PANEL_POSEMORPH,
                                    PANEL_WEITPEN,  PANEL_OBJMORPH};

// The panels RefreshPanels brings up to date when they are shown.
constexpr PANEL_ID kRefreshedPanels[] = {PANEL_COMMAND, PANEL_POSELIST, PANEL_POSEOBJ,
                                         PANEL_POSEMORPH, PANEL_WEITPEN, PANEL_OBJMORPH};

constexpr int kTabKey = 9;

bool IsValidMode(int mode) { return mode >= MODE_MAKE && mode <= MODE_MORPH; }

// The panel entries a mode shows beside the command panel.
void MarkModePanels(int mode, std::array<int, PANEL_COUNT>& visible) {
  auto set = [&visible](std::initializer_list<PANEL_ID> ids) {
    for (PANEL_ID id : ids) visible[id] = 1;
  };
  switch (mode) {
    case MODE_MAKE: set({PANEL_CMDMAKE}); break;
    case MODE_MOVE: set({PANEL_CMDMOVE}); break;
    case MODE_POSE:
      set({PANEL_POSE_RESERVED, PANEL_CMDMOT, PANEL_POSELIST, PANEL_POSEOBJ, PANEL_POSEMORPH});
      break;
    case MODE_WEIGHT: set({PANEL_WEITPEN, PANEL_WEIGHT_RESERVED}); break;
    case MODE_MORPH: set({PANEL_OBJMORPH}); break;
    default: break;
  }
}

int PanelBit(PANEL_ID id) { return 1 << id; }

// Log and message texts are written in UTF-8 here and shown in the system
// code page, as every text of the plug-in is.
std::string Ansi(const char* utf8) { return quorvel::platform::Utf8ToAnsi(utf8); }

bool Refuse(std::string* error, const char* message) {
  if (error != nullptr) *error = message;
  return false;
}

// What a glTF command means by its unit scale.
float UnitScaleOrDefault(float unit_scale) {
  return std::isfinite(unit_scale) && unit_scale > 0.0f ? unit_scale
                                                        : quorvel::gltf::kDefaultUnitScale;
}

// The folder part of a file name ("" when it has none).
std::string FolderOf(const std::string& file) {
  const std::size_t slash = file.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

}  // namespace

DLMAIN::DLMAIN(std::unique_ptr<MED_PLUGIN_UI> user_interface)
    : service(std::make_unique<IDLMAIN>(this)), ui(std::move(user_interface)), mq(service.get()) {
  if (!ui) ui = std::make_unique<HEADLESS_UI>();
  slots.id.fill(-1);
}

DLMAIN::~DLMAIN() {
  // The module is being unloaded: the host may be gone, so the copies' drawing
  // objects are left to their document.
  processor.reset();
  rendering.reset();
  model.reset();
  service.reset();
  ui.reset();
}

// ---------------------------------------------------------------- identification

void DLMAIN::GetPlugInID(uint32_t* product, uint32_t* id) {
  if (product != nullptr) *product = QUORVEL_PRODUCT_ID;
  if (id != nullptr) *id = QUORVEL_PLUGIN_ID;
}

const char* DLMAIN::GetPlugInName() { return "Quorvel        Copyright(C) 2026, Ostrak"; }

const char* DLMAIN::EnumString() { return "Quorvel"; }

// ---------------------------------------------------------------- life

BOOL DLMAIN::Initialize() {
  if (initialized != 0) return TRUE;
  instance = quorvel::platform::PluginModuleInstance();

  UREGPREFS prefs;
  ReadRegistrySettings(prefs, winpos, settings_key.c_str());
  enable = prefs.enable;
  show_handle = prefs.show_handle;
  show_local = prefs.show_local;
  show_bone = prefs.show_bone;
  draw_bone_roll = prefs.draw_bone_roll;
  show_cur_obj_bone = prefs.show_cur_obj_bone;
  show_cur_obj_weight = prefs.show_cur_obj_weight;
  ik_type = prefs.ik_type;
  settings_ready = 1;
  enable_next = enable;

  void* main_window = GetMainWindow();
  if ((panels_created & PanelBit(PANEL_COMMAND)) == 0) {
    ui->CreatePanel(PANEL_COMMAND, service.get(), instance, main_window);
    panels_created |= PanelBit(PANEL_COMMAND);
  }
  if (enable != 0) {
    if (icons_loaded == 0) {
      ui->LoadIcons(instance);
      icons_loaded = 1;
    }
    for (PANEL_ID id : kModePanels) {
      if ((panels_created & PanelBit(id)) != 0) continue;
      ui->CreatePanel(id, service.get(), instance, main_window);
      panels_created |= PanelBit(id);
    }
  }
  initialized = 1;
  return TRUE;
}

void DLMAIN::Exit() {
  if (initialized != 0 && settings_ready != 0) {
    UREGPREFS prefs;
    prefs.enable = enable;
    prefs.enable_next = enable_next;
    prefs.show_handle = show_handle;
    prefs.show_local = show_local;
    prefs.show_bone = show_bone;
    prefs.draw_bone_roll = draw_bone_roll;
    prefs.show_cur_obj_bone = show_cur_obj_bone;
    prefs.show_cur_obj_weight = show_cur_obj_weight;
    prefs.ik_type = ik_type;
    WriteRegistrySettings(prefs, winpos, settings_key.c_str());
  }
  initialized = 0;
}

// ---------------------------------------------------------------- activation

BOOL DLMAIN::Activate(MQDocument document, BOOL flag) {
  LogPrintf("Active:old(%d)->now(%d)-------------------------------------------", active,
            static_cast<int>(flag));
  const int now = flag != 0 ? 1 : 0;
  if (now != active) {
    SetDocument(document);
    active = now;
    ApplyActivation();
  }
  return flag;
}

BOOL DLMAIN::IsActivated(MQDocument /*document*/) { return active != 0 ? TRUE : FALSE; }

void DLMAIN::OnMinimize(MQDocument /*document*/, BOOL flag) {
  minimized = flag != 0;
  if (enable != 0 && active != 0) ShowPanels(true);
}

int DLMAIN::OnReceiveUserMessage(MQDocument document, uint32_t src_product, uint32_t src_id,
                                 const char* description, void* message) {
  return messages.Receive(*this, document, src_product, src_id, description, message);
}

void DLMAIN::ApplyActivation() {
  if (model) {
    model->SetActive(active != 0);
    if (MED_SCREENCONVBASE* converter = model->ScreenConverter()) {
      converter->SetScene(doc != nullptr ? HostApi().MQDoc_GetScene(doc, 0) : nullptr);
    }
  }
  ShowPanels(active != 0);
  Redraw();
  SetActivateModel();
}

void DLMAIN::SetActivateModel() {
  LogPrintf("SetActivateModel::dialogcall_cnt(%d)", dialogcall_cnt);
  if (dialogcall_cnt == 0) {
    DeferredActivateModel(doc, this);
  } else {
    RunDeferred(&DLMAIN::DeferredActivateModel, this);
  }
}

// Runs with the activation in effect when it runs, so that a deferred call
// never undoes a later change.
void DLMAIN::DeferredActivateModel(MQDocument /*doc*/, void* data) {
  DLMAIN* self = static_cast<DLMAIN*>(data);
  if (!self->model) return;
  const bool on = self->active != 0;
  self->model->SetActive(on);
  if (on) {
    self->model->Refresh();
  } else {
    self->DeleteRenderingCopies();
  }
}

// Nothing is shown while the host window is minimised, whatever asks.
void DLMAIN::ShowPanels(bool shown) {
  panel_visible.fill(0);
  if (shown && !minimized) {
    panel_visible[PANEL_COMMAND] = 1;
    if (enable != 0) MarkModePanels(mode, panel_visible);
  }
  for (int id = 0; id < PANEL_COUNT; ++id) {
    const PANEL_ID panel = static_cast<PANEL_ID>(id);
    if (!PanelHasWindow(panel) || (panels_created & PanelBit(panel)) == 0) continue;
    ui->ShowPanel(panel, panel_visible[id] != 0);
  }
}

// ---------------------------------------------------------------- documents

void DLMAIN::OnNewDocument(MQDocument document, const char* filename, NEW_DOC_PARAM& param) {
  LogPrintf("DLMAIN::OnNewDocument(%08x)", LogAddress(document));
  if (enable == 0) return;
  SetDocument(document);
  document_file = filename != nullptr ? filename : "";
  LogPrintf("%s(%d)", Ansi("頂点ウェイトサイズ").c_str(), static_cast<int>(sizeof(quorvel::VWeight)));
  LogPrintf("%s(%d)", Ansi("モーフターゲットサイズ").c_str(),
            static_cast<int>(sizeof(quorvel::VMorphTarget)));
  LogPrintf("%s(%d)", Ansi("QuorvelObjサイズ").c_str(), static_cast<int>(sizeof(quorvel::OBase)));

  quorvel::RegisterRigSlots(document, slots);

  // A document that was never ended: its model goes first.
  processor.reset();
  ReleaseModel();
  model = std::make_unique<MQEXPDOC>(std::make_unique<quorvel::PoseEvaluator>());
  rendering = std::make_unique<quorvel::RENDERING_COPIES>(static_cast<quorvel::MED_DRAWING_HOST&>(*this));
  model->SetService(service.get());
  model->SetSlots(slots);
  model->SetDocument(document);
  model->SetActive(active != 0);
  model->SetShowBone(show_bone != 0);
  model->SetDrawBoneRoll(draw_bone_roll != 0);
  model->Refresh();
  model->CreateScreenConverter<SCREENCONVMQ>();

  quorvel::SaveVisibility(document, slots);
  SetModelRenderState();

  if (quorvel::platform::IsKeyHeld(quorvel::platform::kVirtualKeyShift)) {
    LogPrintf("%s", Ansi("Quorvel情報をロードしません").c_str());
  } else {
    quorvel::ReadDocument(param.elem, *model);
  }
  // What the mouse was over when the file was saved is no part of the rig.
  quorvel::ClearHover(document, slots);

  quorvel::RigEditState& state = model->EditState();
  if (quorvel::PoseCount(state) > 0) {
    quorvel::SetCurrentPosition(state, 0);
    model->UpdatePoseMatrices();
  }

  drag_state.state = 0;
  ResetUndo();
  doc_closed = 0;

  if (active != 0) {
    SetMode(MODE_MOVE);
  } else {
    // The processor went with the last document; the mode's tool must be
    // there when the command is taken again.
    ReplaceProcessor();
  }
  ApplyActivation();
  // Panels that stayed open show this document, not the one before.
  RefreshPanels();
}

void DLMAIN::OnEndDocument(MQDocument document) {
  LogPrintf("DLMAIN::OnEndDocument(%08x)", LogAddress(document));
  doc_closed = 1;
  document_file.clear();
  if (model) model->Reset();
  processor.reset();
  ReleaseModel();
  RefreshPanels();
}

void DLMAIN::OnSaveDocument(MQDocument document, const char* filename, SAVE_DOC_PARAM& param) {
  LogPrintf("DLMAIN::OnSaveDocument(%08x)", LogAddress(document));
  if (enable == 0 || !model) return;
  SetDocument(document);
  if (filename != nullptr) document_file = filename;
  if (quorvel::platform::IsKeyHeld(quorvel::platform::kVirtualKeyShift)) {
    LogPrintf("%s", Ansi("セーブしません").c_str());
    return;
  }
  quorvel::WriteDocument(param.elem, *model);
  if (mode == MODE_POSE) {
    // Pose mode hides every object behind its rendering copy; the file must
    // keep each object's own visibility. The next frame hides them again.
    quorvel::RestoreVisibility(model->Document(), slots);
    pose_hide_pending = true;
  }
}

BOOL DLMAIN::OnUndo(MQDocument document, int undo_state) {
  // The host has put objects and their records back; pivots may differ.
  if (model) model->ForgetPoseCache();
  return UndoOnUndo(*this, undobuff, model.get(), document, undo_state);
}

BOOL DLMAIN::OnRedo(MQDocument document, int redo_state) {
  if (model) model->ForgetPoseCache();
  return UndoOnRedo(*this, undobuff, model.get(), document, redo_state);
}

void DLMAIN::OnUpdateUndo(MQDocument document, int undo_state, int undo_size) {
  UndoOnUpdateUndo(*this, undobuff, model.get(), document, undo_state, undo_size);
}

void DLMAIN::OnObjectModified(MQDocument document) {
  LogPrintf("DLMAIN::OnObjectModified(%08x)", LogAddress(document));
  // A moved or re-parented object moves pivots, whether or not the command is active.
  if (model) model->ForgetPoseCache();
  if (enable != 0 && active != 0) {
    SetDocument(document);
    // The copies keep what skinning a source needs; an edited source needs it anew.
    MarkRenderingRebuild();
  }
}

void DLMAIN::OnUpdateObjectList(MQDocument document) {
  LogPrintf("DLMAIN::OnUpdateObjectList(%08x)", LogAddress(document));
  if (model) model->ForgetPoseCache();
  if (!IsWorking()) return;
  SetDocument(document);
  model->Refresh();
  quorvel::UpdateWeightColours(model->Document(), slots, model->EditState());
  MarkRenderingRebuild();
  RefreshPanels();
  RedrawAllScene();
  HostApi().MQ_RefreshView(nullptr);
}

void DLMAIN::OnUpdateMaterialList(MQDocument /*document*/) {}

void DLMAIN::OnUpdateScene(MQDocument document, MQScene view) {
  if (IsWorking()) SetDocument(document, view);
}

// ---------------------------------------------------------------- deferred calls

void DLMAIN::RunDeferred(DeferredFunction function, void* data) {
  if (function == nullptr) return;
  deferred_calls.push_back(DeferredCall{function, data});
  BeginCallback(&deferred_calls.back());
}

bool DLMAIN::ExecuteCallback(MQDocument document, void* option) {
  // Only a record this object handed out, and only once: the host (or
  // anyone calling the callback) cannot make it run a foreign pointer.
  auto it = std::find_if(deferred_calls.begin(), deferred_calls.end(),
                         [option](const DeferredCall& call) { return &call == option; });
  if (it == deferred_calls.end()) return false;
  const DeferredCall call = *it;
  deferred_calls.erase(it);
  if (call.function == nullptr) return false;
  call.function(document, call.data);
  return true;
}

void DLMAIN::DeferredRedraw(MQDocument /*doc*/, void* data) {
  DLMAIN* self = static_cast<DLMAIN*>(data);
  if (self->model) self->RedrawAllScene();
}

void DLMAIN::DeferredUpdateUndo(MQDocument /*doc*/, void* data) {
  static_cast<DLMAIN*>(data)->UpdateUndo();
}

// ---------------------------------------------------------------- modes

void DLMAIN::SetMode(int new_mode) {
  // A mode outside the five would index past the mode tables.
  if (!IsValidMode(new_mode)) return;
  const int old_mode = mode;
  mode = new_mode;
  if (model && old_mode != new_mode) {
    MQDocument document = model->Document();
    quorvel::RigEditState& state = model->EditState();
    DeleteRenderingCopies();
    if (old_mode == MODE_POSE) {
      quorvel::RestoreVisibility(document, slots);
    } else if (new_mode == MODE_POSE) {
      // The viewport shows the rendering copies instead of the objects.
      quorvel::SaveVisibility(document, slots);
      quorvel::HideAllObjects(document);
    }
    if (new_mode == MODE_WEIGHT) quorvel::UpdateWeightColours(document, slots, state);
    const bool make_move = (old_mode == MODE_MAKE && new_mode == MODE_MOVE) ||
                           (old_mode == MODE_MOVE && new_mode == MODE_MAKE);
    if (!make_move) {
      state.current_bone = -1;
      quorvel::ClearSelection(document, slots, state);
      ClearSelection();
    }
    SetModelRenderState();
  }
  ReplaceProcessor();
  ShowPanels(active != 0);
  Redraw();
  RefreshPanels();
}

void DLMAIN::ReplaceProcessor() {
  processor.reset();
  if (processor_factory != nullptr) processor = processor_factory(mode);
}

void DLMAIN::SetModelRenderState() {
  if (model) model->SetRenderState(mode == MODE_POSE);
}

// ---------------------------------------------------------------- refresh

void DLMAIN::Redraw() {
  if (dialogcall_cnt == 0) {
    if (model) RedrawAllScene();
  } else {
    RunDeferred(&DLMAIN::DeferredRedraw, this);
  }
}

void DLMAIN::RefreshPanels() {
  if (active == 0) return;
  for (PANEL_ID id : kRefreshedPanels) {
    if (panel_visible[id] != 0 && (panels_created & PanelBit(id)) != 0) ui->RefreshPanel(id);
  }
}

void DLMAIN::RedrawAndRefreshPanels() {
  Redraw();
  RefreshPanels();
}

void DLMAIN::DialogRedraw() {
  ++dialogcall_cnt;
  Redraw();
  --dialogcall_cnt;
}

void DLMAIN::DialogRedrawAndRefreshPanels() {
  ++dialogcall_cnt;
  RedrawAndRefreshPanels();
  --dialogcall_cnt;
}

void DLMAIN::DialogRefreshPanels() {
  ++dialogcall_cnt;
  RefreshPanels();
  --dialogcall_cnt;
}

void DLMAIN::RequestUndoState() {
  if (dialogcall_cnt == 0) {
    UpdateUndo();
  } else {
    RunDeferred(&DLMAIN::DeferredUpdateUndo, this);
  }
}

void DLMAIN::MarkRenderingCopies() { MarkRenderingRebuild(); }

void DLMAIN::DeleteRenderingCopies() {
  if (rendering && model) rendering->DeleteAll(model->Document());
}

void DLMAIN::MarkRenderingRebuild() {
  if (rendering) rendering->MarkRebuild();
}

void DLMAIN::MarkRenderingDeform() {
  if (rendering) rendering->MarkDeform();
}

void DLMAIN::MarkRenderingRecolour() {
  if (rendering) rendering->MarkRecolour();
}

void DLMAIN::ReleaseModel() {
  if (rendering && model) rendering->Release(model->Document());
  rendering.reset();
  model.reset();
}

// The selection lives in the objects' records; what the main object keeps of
// it is the handle standing at it.
void DLMAIN::ClearSelection() { handle = HANDLE_STATE(); }

// ---------------------------------------------------------------- drawing and input

void DLMAIN::OnDraw(MQDocument document, MQScene view, int width, int height) {
  if (enable == 0) return;
  view_width = width;
  view_height = height;
  if (active == 0 || !model) return;
  SetDocument(document, view);
  if (pose_hide_pending) {
    pose_hide_pending = false;
    if (mode == MODE_POSE) quorvel::HideAllObjects(model->Document());
  }
  mq.SetScene(view);
  if (MED_SCREENCONVBASE* converter = model->ScreenConverter()) converter->SetScene(view);
  const bool render = model->IsRenderState();
  const bool weight = mode == MODE_WEIGHT;
  const bool not_morph = mode != MODE_MORPH;
  if (render || weight) {
    rendering->Refresh(model->Document(), slots, model->EditState(), weight, render);
  } else {
    DeleteRenderingCopies();
  }
  if (model->IsShowBone() && not_morph) DrawBones(mq, doc, slots, &model->EditState(), render);
  if (!render && show_local != 0 && not_morph) DrawLocalAxes(mq, doc, false);
  if (processor) {
    COMPROC_CALLBACK callback(service.get(), service.get(), doc, scene, BUTTON_STATE{});
    processor->OnDraw(callback);
  }
  if (show_handle != 0 && (mode == MODE_MOVE || mode == MODE_POSE) && handle.active) {
    DrawHandle(mq, GetToolOption(4), handle.matrix);
  }
}

int DLMAIN::CallProcessor(int (MED_COMPROC_BASE::*op)(MED_COMPROC_CALLBACK_BASE&),
                          MQDocument document, MQScene view, const BUTTON_STATE& state, int key) {
  if (!processor) return 0;
  COMPROC_CALLBACK callback(service.get(), service.get(), document, view, state, key);
  return (processor.get()->*op)(callback);
}

BOOL DLMAIN::MouseEvent(int (MED_COMPROC_BASE::*op)(MED_COMPROC_CALLBACK_BASE&),
                        MQDocument document, MQScene view, const BUTTON_STATE& state,
                        BOOL answer) {
  if (!IsWorking()) return FALSE;
  SetDocument(document, view);
  CallProcessor(op, document, view, state);
  return answer;
}

bool DLMAIN::InView(const BUTTON_STATE& state) const {
  return state.x >= 0 && state.y >= 0 && state.x < view_width && state.y < view_height;
}

// A press outside the view starts nothing: no tool may begin a bone, a
// stroke or a drag where the user cannot see it. Moves and releases outside
// it still reach the tool, so a drag may go on past the edge.
BOOL DLMAIN::OnLeftButtonDown(MQDocument document, MQScene view, BUTTON_STATE& state) {
  if (!InView(state)) return IsWorking() ? TRUE : FALSE;
  return MouseEvent(&MED_COMPROC_BASE::OnLeftButtonDown, document, view, state, TRUE);
}
BOOL DLMAIN::OnLeftButtonMove(MQDocument document, MQScene view, BUTTON_STATE& state) {
  return MouseEvent(&MED_COMPROC_BASE::OnLeftButtonMove, document, view, state, TRUE);
}
BOOL DLMAIN::OnLeftButtonUp(MQDocument document, MQScene view, BUTTON_STATE& state) {
  return MouseEvent(&MED_COMPROC_BASE::OnLeftButtonUp, document, view, state, TRUE);
}
BOOL DLMAIN::OnRightButtonDown(MQDocument document, MQScene view, BUTTON_STATE& state) {
  if (!InView(state)) return IsWorking() ? TRUE : FALSE;
  return MouseEvent(&MED_COMPROC_BASE::OnRightButtonDown, document, view, state, TRUE);
}
BOOL DLMAIN::OnRightButtonMove(MQDocument document, MQScene view, BUTTON_STATE& state) {
  return MouseEvent(&MED_COMPROC_BASE::OnRightButtonMove, document, view, state, FALSE);
}
BOOL DLMAIN::OnRightButtonUp(MQDocument document, MQScene view, BUTTON_STATE& state) {
  return MouseEvent(&MED_COMPROC_BASE::OnRightButtonUp, document, view, state, TRUE);
}
BOOL DLMAIN::OnMouseMove(MQDocument document, MQScene view, BUTTON_STATE& state) {
  return MouseEvent(&MED_COMPROC_BASE::OnMouseMove, document, view, state, FALSE);
}
BOOL DLMAIN::OnMouseWheel(MQDocument document, MQScene view, BUTTON_STATE& state) {
  return MouseEvent(&MED_COMPROC_BASE::OnMouseWheel, document, view, state, FALSE);
}

BOOL DLMAIN::OnKeyDown(MQDocument document, MQScene view, int key, BUTTON_STATE& state) {
  if (!IsWorking()) return FALSE;
  SetDocument(document, view);
  if (key == kTabKey) {
    // The focused panel moves its focus; what it asks for meanwhile waits.
    ++dialogcall_cnt;
    ui->ForwardKeyToFocus(key);
    --dialogcall_cnt;
    return TRUE;
  }
  return CallProcessor(&MED_COMPROC_BASE::OnKeyDown, document, view, state, key) != 0 ? TRUE
                                                                                      : FALSE;
}

BOOL DLMAIN::OnKeyUp(MQDocument document, MQScene view, int /*key*/, BUTTON_STATE& /*state*/) {
  if (IsWorking()) SetDocument(document, view);
  return FALSE;
}

// ---------------------------------------------------------------- commands

void DLMAIN::EnableSwitch(void* owner) {
  const bool disabling = enable_next == 1;
  const std::string text = Ansi(
      disabling ? "Quorvelを無効にしますか?\nQuorvelの無効はMetaseuoiaが再立ち上げ後に反映されます。\n"
                  "Quorvelで編集したデータを無効にした状態で保存しないようにしてください!!\n"
                : "Quorvelを有効にしますか?\nQuorvelの有効はMetaseuoiaが再立ち上げ後に反映されます。\n");
  const std::string caption = Ansi(disabling ? "Quorvelの無効" : "Quorvelの有効");
  ++dialogcall_cnt;
  const int answer = ui->ShowMessageBox(owner, text.c_str(), caption.c_str(), kMessageBoxOkCancel);
  --dialogcall_cnt;
  if (answer == kAnswerOk) enable_next = enable_next == 1 ? 0 : 1;
}

void DLMAIN::BoneAlign(void* owner) {
  FVECTOR3 centre;
  const bool selected = model && quorvel::SelectionCentre(model->Document(), slots,
                                                          /*posed=*/false, centre);
  ++dialogcall_cnt;
  bool ok = false;
  if (!selected) {
    ui->ShowMessageBox(owner, Ansi("ボーンを選択してください").c_str(), Ansi("エラー").c_str(),
                   kMessageBoxOk);
  } else {
    align_param.position = centre;
    ok = ui->RunBoneAlignDialog(owner, service.get(), align_param);
  }
  --dialogcall_cnt;
  if (!ok || !model) return;

  MQDocument document = model->Document();
  FMATRIX frame = FMATRIX::Translation(align_param.position);
  if ((align_param.flags & kAlignFromBone) != 0) {
    MQObject bone = quorvel::FindObjectByUniqueId(document, align_param.bone);
    FMATRIX bone_frame;
    // A reference bone that is gone (or has no direction) aligns nothing.
    if (bone == nullptr || !quorvel::BoneFrame(document, bone, bone_frame)) return;
    frame = bone_frame;
  }
  if ((align_param.flags & kAlignPivots) == 0) return;
  if (!quorvel::AlignSelectedPivots(document, slots, model->EditState(), align_param.axis, frame,
                                    GetToolOption(1))) {
    return;
  }
  model->ForgetPoseCache();
  model->UpdatePoseMatrices();
  MarkRenderingRebuild();
  HandleAtSelectionCentre(handle, document, slots, /*posed=*/false);
  Redraw();
  RequestUndoState();
}

bool DLMAIN::ResetLocalRotScale(bool selected_only) {
  if (!CanEditDocument()) return false;
  MQDocument document = model->Document();
  if (!quorvel::ResetLocalRotationScale(document, slots, model->EditState(), selected_only)) {
    return false;
  }
  // The rest matrices changed under the pose: evaluate it afresh.
  model->ForgetPoseCache();
  model->UpdatePoseMatrices();
  MarkRenderingRebuild();
  // The service may be called in pose mode too, where the handle stands at
  // the posed parts.
  HandleAtSelectionCentre(handle, document, slots, /*posed=*/IsPoseMode());
  BonesEdited();
  return true;
}

// ---------------------------------------------------------------- pose list

bool DLMAIN::PoseChanged(bool changed) {
  if (!changed || !model) return false;
  model->UpdatePoseMatrices();
  MarkRenderingDeform();
  Redraw();
  return true;
}

bool DLMAIN::NewPose() { return model && PoseChanged(quorvel::NewPose(*model) != nullptr); }

bool DLMAIN::DeleteCurrentPose() { return model && PoseChanged(quorvel::DeleteCurrentPose(*model)); }

bool DLMAIN::CopyCurrentPose() { return model && PoseChanged(quorvel::CopyCurrentPose(*model) != nullptr); }

bool DLMAIN::SelectPose(int position) {
  if (!model) return false;
  quorvel::RigEditState& state = model->EditState();
  const int32_t before = state.current_pose_id;
  return PoseChanged(quorvel::SetCurrentPosition(state, position) && state.current_pose_id != before);
}

bool DLMAIN::PoseReset(bool changed) {
  if (!PoseChanged(changed)) return false;
  RequestUndoState();
  return true;
}

bool DLMAIN::ResetCurrentBonePose() {
  return CanEditDocument() && PoseReset(quorvel::ResetCurrentBonePose(*model));
}

bool DLMAIN::ResetAllBonesPose() {
  return CanEditDocument() && PoseReset(quorvel::ResetAllBonesPose(*model));
}

bool DLMAIN::ResetCurrentMorphPose() {
  return CanEditDocument() && PoseReset(quorvel::ResetCurrentMorphPose(*model));
}

bool DLMAIN::ResetCurrentObjectMorphPose() {
  return CanEditDocument() && PoseReset(quorvel::ResetCurrentObjectMorphPose(*model));
}

bool DLMAIN::ResetAllMorphPose() {
  return CanEditDocument() && PoseReset(quorvel::ResetAllMorphPose(*model));
}

bool DLMAIN::UpdatePose() { return PoseChanged(true); }

// ---------------------------------------------------------------- glTF files

// The glTF code speaks UTF-8 (file names and the names inside files); what
// the plug-in shows or hands other plug-ins is in the system code page.
static bool AnsiError(std::string* error) {
  if (error != nullptr) *error = quorvel::platform::Utf8ToAnsi(*error);
  return false;
}

bool DLMAIN::CanExchangeFiles(std::string* error) const {
  if (enable == 0) return Refuse(error, "Quorvel is disabled");
  if (!model || model->Document() == nullptr || doc_closed != 0) {
    return Refuse(error, "no document is open");
  }
  return true;
}

bool DLMAIN::ExportGltf(const std::string& path, float unit_scale,
                        quorvel::gltf::ExportReport* report, std::string* error) {
  LogPrintf("DLMAIN::ExportGltf");
  if (!CanExchangeFiles(error)) return false;
  quorvel::gltf::Scene scene;
  if (!quorvel::GatherGltfScene(model->Document(), slots, model->EditState(), &scene, error,
                                IsPoseMode())) {
    return AnsiError(error);
  }
  scene.texture_folder = quorvel::platform::AnsiToUtf8(FolderOf(document_file));
  quorvel::gltf::ExportOptions options;
  options.unit_scale = UnitScaleOrDefault(unit_scale);
  quorvel::gltf::ExportReport written;
  if (!quorvel::gltf::ExportGltf(scene, path, options, &written, error)) return AnsiError(error);
  if (report != nullptr) *report = written;
  return true;
}

bool DLMAIN::ImportGltf(const std::string& path, float unit_scale,
                        quorvel::gltf::ImportReport* report, std::string* error) {
  LogPrintf("DLMAIN::ImportGltf");
  if (!CanExchangeFiles(error)) return false;
  quorvel::gltf::ImportOptions options;
  options.unit_scale = UnitScaleOrDefault(unit_scale);
  quorvel::gltf::Scene scene;
  quorvel::gltf::ImportReport read;
  // The whole file is read and checked before the document is touched.
  if (!quorvel::gltf::ImportGltf(path, options, &scene, &read, error)) return AnsiError(error);
  MQDocument document = model->Document();
  const int first = HostApi().MQDoc_GetObjectCount(document);
  if (!quorvel::ApplyGltfScene(scene, document, slots, model->EditState(), error, &read.notes)) {
    return AnsiError(error);
  }
  if (IsPoseMode()) {
    // The new objects show through their rendering copies, as the others do;
    // their bone records keep their own visibility.
    const int count = HostApi().MQDoc_GetObjectCount(document);
    for (int i = first; i < count; ++i) {
      if (MQObject obj = HostApi().MQDoc_GetObject(document, i)) HostApi().MQObj_SetVisible(obj, 0);
    }
  }
  model->ForgetPoseCache();
  model->UpdatePoseMatrices();
  MarkRenderingRebuild();
  RequestUndoState();
  RefreshPanels();
  Redraw();
  if (report != nullptr) *report = std::move(read);
  return true;
}

// ---------------------------------------------------------------- bone keys

void DLMAIN::BonesEdited() {
  Redraw();
  RefreshPanels();
  RequestUndoState();
}

void DLMAIN::DeleteSelectedBones() {
  if (!model) return;
  if (quorvel::DeleteSelectedBones(model->Document(), slots, model->EditState()) > 0) {
    // The objects are gone: the model and the copies learn the new list.
    model->ForgetPoseCache();
    model->Refresh();
    model->UpdatePoseMatrices();
    MarkRenderingRebuild();
    ClearSelection();
  }
  BonesEdited();
}

void DLMAIN::SelectAllBones() {
  if (!model) return;
  quorvel::SelectAllBones(model->Document(), slots, model->EditState());
  HandleAtSelectionCentre(handle, model->Document(), slots, /*posed=*/false);
  BonesEdited();
}

void DLMAIN::ClearBoneSelection() {
  if (!model) return;
  quorvel::ClearSelection(model->Document(), slots, model->EditState());
  ClearSelection();
  BonesEdited();
}

// ---------------------------------------------------------------- options

void DLMAIN::GetViewSize(int& width, int& height) const {
  width = view_width;
  height = view_height;
}

void* DLMAIN::GetMainWindow() const {
  return HostApi().MQ_GetWindowHandle != nullptr ? HostApi().MQ_GetWindowHandle() : nullptr;
}

void DLMAIN::SetShowBone(int on) {
  show_bone = on != 0;
  if (model) model->SetShowBone(show_bone != 0);
}

void DLMAIN::SetDrawBoneRoll(int on) {
  draw_bone_roll = on != 0;
  if (model) model->SetDrawBoneRoll(draw_bone_roll != 0);
}

void DLMAIN::SetShowCurObjWeight(int on) {
  show_cur_obj_weight = on != 0;
  if (!model) return;
  model->Refresh();  // takes the switch into the edit state
  quorvel::UpdateWeightColours(model->Document(), slots, model->EditState());
}

int DLMAIN::GetToolOption(int n) const {
  return n >= 1 && n <= static_cast<int>(tool_opt.size()) ? tool_opt[n - 1] : 0;
}

void DLMAIN::SetToolOption(int n, int value) {
  if (n >= 1 && n <= static_cast<int>(tool_opt.size())) tool_opt[n - 1] = value;
}

bool DLMAIN::GetModelOption(MQEXPDOC::Option bit) const { return model && model->GetOption(bit); }

void DLMAIN::SetModelOption(MQEXPDOC::Option bit, bool on) {
  if (model) model->SetOption(bit, on);
}

// ---------------------------------------------------------------- model access

quorvel::RigEditState* DLMAIN::GetEditState() const {
  return model ? &model->EditState() : nullptr;
}

MQObject DLMAIN::GetCurrentObject() const {
  // An ended document is asked nothing.
  if (doc == nullptr || doc_closed != 0) return nullptr;
  const int index = HostApi().MQDoc_GetCurrentObjectIndex(doc);
  return index >= 0 ? HostApi().MQDoc_GetObject(doc, index) : nullptr;
}

MQMaterial DLMAIN::GetCurrentMaterial() const {
  if (doc == nullptr || doc_closed != 0) return nullptr;
  const int index = HostApi().MQDoc_GetCurrentMaterialIndex(doc);
  return index >= 0 ? HostApi().MQDoc_GetMaterial(doc, index) : nullptr;
}

MED_SCREENCONVBASE* DLMAIN::GetScreenConverter() const {
  return model ? model->ScreenConverter() : nullptr;
}

void DLMAIN::ResetUndo() { UndoResetBuffer(undobuff, model.get()); }

void DLMAIN::PushUndo(int state, int size) {
  if (model) undobuff.Push(state, size, std::make_unique<UNDOSUB>(model.get()));
}

DLGWINPOS* DLMAIN::GetWinpos(int id) {
  return id >= 0 && id < WINPOS_COUNT ? &winpos[static_cast<std::size_t>(id)] : nullptr;
}
