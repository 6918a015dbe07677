#pragma once
// The edit tools as a person drives them: the plug-in's main object attached
// to the substitute host, the command taken, a mode chosen, and mouse and
// key events sent by the host at pixel positions worked out with the host's
// own conversion. The camera is orthographic with one world unit to a pixel,
// looking down -Z at the origin: world (x, y, 0) shows at (320 + x, 240 - y).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "host/files/document_file.h"
#include "rig/rig_access.h"
#include "rig/slot_table.h"
#include "tests/main/main_fixture.h"
#include "tests/support/float_checks.h"
#include "tools/screen_conversion.h"

namespace quorvel_test {

class CommandTest : public MainTest {
 protected:
  void SetUp() override {
    MainTest::SetUp();
    UseTestCamera();
  }

  void UseTestCamera() {
    mqhost::Camera& camera = document_->camera;
    camera.orthographic = true;
    camera.ortho_height = 480.0f;
    camera.width = 640;
    camera.height = 480;
  }

  // Opens the document, takes the command, enters `mode` and draws once (the
  // plug-in learns the view size and its converter the scene).
  void Start(int mode) {
    OpenActive();
    main_->Service()->SetMode(mode);
    Draw();
    undo_base_ = host_.undo_state_count();
  }
  void Draw() { ASSERT_EQ(mqhost::SendDraw(host_, document_, 640, 480, plugin_), TRUE); }

  // ---------------------------------------------------------------- input
  // Screen point of a document point, by the host's conversion, rounded to
  // the pixel the mouse would be on.
  mqhost::PointerInput At(const FVECTOR3& world, int flags = 0) const {
    const FVECTOR3 s = SCREENCONVMQ(HostApi().MQDoc_GetScene(doc_, 0)).WorldToScreen(world);
    mqhost::PointerInput input;
    input.x = static_cast<int>(std::lround(s.x));
    input.y = static_cast<int>(std::lround(s.y));
    input.flags = flags;
    return input;
  }
  mqhost::PointerInput At(float x, float y, int flags = 0) const { return At(FVECTOR3(x, y, 0.0f), flags); }

  BOOL Send(int code, mqhost::PointerInput input, int button) {
    if (code != MQEVENT_MOUSE_MOVE && code != MQEVENT_MOUSE_WHEEL) input.flags |= button;
    return mqhost::SendMouse(host_, document_, code, input, plugin_);
  }
  void Press(const mqhost::PointerInput& at) { Send(MQEVENT_LBUTTON_DOWN, at, mqhost::kButtonLeft); }
  void DragTo(const mqhost::PointerInput& at) { Send(MQEVENT_LBUTTON_MOVE, at, mqhost::kButtonLeft); }
  void Release(const mqhost::PointerInput& at) { Send(MQEVENT_LBUTTON_UP, at, 0); }
  void Click(const mqhost::PointerInput& at) {
    Press(at);
    Release(at);
  }
  // Press at `from`, `steps` moves along the straight line, release at `to`.
  void Drag(const mqhost::PointerInput& from, const mqhost::PointerInput& to, int steps = 4) {
    Press(from);
    for (int i = 1; i <= steps; ++i) {
      mqhost::PointerInput at = to;
      at.x = from.x + (to.x - from.x) * i / steps;
      at.y = from.y + (to.y - from.y) * i / steps;
      DragTo(at);
    }
    Release(to);
  }
  void RightPress(const mqhost::PointerInput& at) { Send(MQEVENT_RBUTTON_DOWN, at, mqhost::kButtonRight); }
  void RightMove(const mqhost::PointerInput& at) { Send(MQEVENT_RBUTTON_MOVE, at, mqhost::kButtonRight); }
  void RightRelease(const mqhost::PointerInput& at) { Send(MQEVENT_RBUTTON_UP, at, 0); }
  void Hover(const mqhost::PointerInput& at) { Send(MQEVENT_MOUSE_MOVE, at, 0); }
  // The plug-in's answer: TRUE when it took the key.
  BOOL Key(int key, int flags = 0) {
    const BOOL taken = mqhost::SendKey(host_, document_, true, key, flags, plugin_);
    mqhost::SendKey(host_, document_, false, key, flags, plugin_);
    return taken;
  }

  // ---------------------------------------------------------------- the document
  // Positions in the object list, deleted ones (left empty) included.
  int ObjectCount() const { return document_->ObjectCount(); }
  int LiveObjectCount() const {
    int live = 0;
    for (int i = 0; i < ObjectCount(); ++i) live += document_->ObjectAt(i) != nullptr;
    return live;
  }
  MQObject Object(int index) const { return mqhost::ToHandle(document_->ObjectAt(index)); }
  int Depth(int index) const { return document_->ObjectAt(index)->depth; }
  int32_t Uid(MQObject obj) const { return static_cast<int32_t>(mqhost::ToObject(obj)->uid); }
  FVECTOR3 Pivot(MQObject obj) const {
    FMATRIX m;
    HostApi().MQDoc_GetGlobalMatrix(doc_, obj, m.m);
    return m.GetTranslation();
  }
  FVECTOR3 Vertex(MQObject obj, int index) const {
    const MQPoint& p = mqhost::ToObject(obj)->vertices[static_cast<size_t>(index)].position;
    return FVECTOR3(p.x, p.y, p.z);
  }
  const quorvel::RigSlotTable& Slots() const { return main_->GetSlots(); }
  quorvel::RigEditState& State() const { return *main_->GetEditState(); }
  uint32_t Flags(MQObject obj) const { return quorvel::GetBoneFlags(obj, Slots()); }
  void SetFlag(MQObject obj, quorvel::OBase::Flag bit, bool on) {
    ASSERT_TRUE(quorvel::SetBoneFlag(obj, Slots(), bit, on));
  }
  // Undo states the host recorded since Start.
  int UndoRequests() const { return host_.undo_state_count() - undo_base_; }

  // Saves, ends the document and unloads the plug-in; a fresh main object
  // opens what was saved, in the same mode.
  void SaveAndReopen() {
    const int mode = main_->GetMode();
    ASSERT_EQ(mqhost::SendSaveDocument(host_, document_, "tools.mqd", plugin_).answer, TRUE);
    const std::string text = mqhost::WriteDocumentXml(*document_, host_.PluginElements(document_));
    ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
    ASSERT_EQ(mqhost::SendExit(host_, plugin_), TRUE);
    host_.CloseDocument(document_);
    StopPlugin();
    StartPlugin();
    document_ = host_.NewDocument();
    doc_ = mqhost::ToHandle(document_);
    UseTestCamera();
    mqhost::PluginElementMap elements;
    std::string error;
    ASSERT_TRUE(mqhost::ReadDocumentXml(text, document_, &elements, &error)) << error;
    host_.SetPluginElements(document_, std::move(elements));
    // Only what was saved reaches the next session.
    document_->DropUserData();
    Start(mode);
  }

  // The frame's own drawing objects (not the rendering copies) as the host
  // holds them while the frame is painted.
  template <typename Look>
  void DrawAndLook(Look&& look) {
    host_.SetViewportPainter([&](mqhost::Document& drawn) {
      std::vector<const mqhost::Object*> objects;
      for (const mqhost::DrawingObject& d : drawn.drawing_objects()) {
        if (d.instant) objects.push_back(d.object.get());
      }
      look(objects);
    });
    Draw();
    host_.SetViewportPainter(nullptr);
  }

  int undo_base_ = 0;
};

}  // namespace quorvel_test
