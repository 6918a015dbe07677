// The host's side of the frame's requests, its station-callback queue and
// its undo states, seen without a plug-in module: requests arrive as a
// plug-in sends them, through MQ_SendMessage.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/core/api.h"
#include "host/core/host.h"

namespace {

using mqhost::Host;
using mqhost::ToHandle;

BOOL Send(int code, NAMED_ARG* args) {
  HOST_REQUEST_INFO info{};
  info.product = 1;
  info.plugin_id = 2;
  info.option = args;
  return MQ_SendMessage(code, &info);
}

class HostRequests : public testing::Test {
 protected:
  void SetUp() override {
    document_ = Host::Instance().NewDocument();
    doc_ = ToHandle(document_);
  }
  void TearDown() override { Host::Instance().CloseDocument(document_); }

  // The handle comes back in place of the "result" pair's null value.
  MQObject CreateDrawingObject(int visibility, BOOL instant) {
    NAMED_ARG args[] = {{"document", doc_},        {"visibility", &visibility},
                        {"instant", &instant},     {"result", nullptr},
                        {nullptr, nullptr}};
    EXPECT_EQ(Send(MQREQUEST_NEW_DRAW_OBJECT, args), TRUE);
    return static_cast<MQObject>(args[3].value);
  }
  void Draw() {
    int width = 640, height = 480;
    NAMED_ARG args[] = {{"scene", MQDoc_GetScene(doc_, 0)}, {"width", &width}, {"height", &height},
                        {nullptr, nullptr}};
    Host::Instance().SendEvent(document_, MQEVENT_DRAW, args);
  }

  mqhost::Document* document_ = nullptr;
  MQDocument doc_ = nullptr;
};

TEST_F(HostRequests, InstantDrawingLivesForOneFrame) {
  MQObject instant = CreateDrawingObject(2, TRUE);
  MQObject kept = CreateDrawingObject(4, FALSE);
  ASSERT_NE(instant, nullptr);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(MQObj_GetVisible(instant), 2u);
  MQPoint p{1, 2, 3};
  EXPECT_EQ(MQObj_AddVertex(instant, &p), 0) << "a drawing object takes geometry";
  EXPECT_EQ(MQDoc_GetObjectCount(doc_), 0) << "drawing objects are not document objects";
  EXPECT_EQ(document_->drawing_objects().size(), 2u);
  Draw();
  ASSERT_EQ(document_->drawing_objects().size(), 1u);
  EXPECT_EQ(ToHandle(document_->drawing_objects()[0].object.get()), kept);

  NAMED_ARG remove[] = {{"document", doc_}, {"object", kept}, {nullptr, nullptr}};
  EXPECT_EQ(Send(MQREQUEST_DELETE_DRAW_OBJECT, remove), TRUE);
  EXPECT_TRUE(document_->drawing_objects().empty());
  EXPECT_EQ(Send(MQREQUEST_DELETE_DRAW_OBJECT, remove), FALSE) << "already gone";
}

// Drawing materials are numbered apart from the document's own: a material
// the document gains after a drawing material does not take its number.
TEST_F(HostRequests, DrawingMaterialsAreNumberedApartFromTheDocumentsOwn) {
  document_->AddMaterial(std::make_unique<mqhost::Material>());
  int index = -1;
  BOOL instant = TRUE;
  NAMED_ARG args[] = {{"document", doc_}, {"index", &index}, {"instant", &instant},
                      {"result", nullptr}, {nullptr, nullptr}};
  ASSERT_EQ(Send(MQREQUEST_NEW_DRAW_MATERIAL, args), TRUE);
  MQMaterial result = static_cast<MQMaterial>(args[3].value);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(index, mqhost::kFirstDrawingMaterialIndex);
  const int first = index;
  MQMat_SetEmission(result, 0.3f);

  document_->AddMaterial(std::make_unique<mqhost::Material>());
  ASSERT_EQ(MQDoc_GetMaterialCount(doc_), 2);
  EXPECT_NE(MQDoc_GetMaterial(doc_, 1), result);
  EXPECT_EQ(MQDoc_GetMaterial(doc_, first), nullptr) << "no document material answers a drawing number";

  NAMED_ARG again[] = {{"document", doc_}, {"index", &index}, {"instant", &instant},
                       {"result", nullptr}, {nullptr, nullptr}};
  Send(MQREQUEST_NEW_DRAW_MATERIAL, again);
  MQMaterial second = static_cast<MQMaterial>(again[3].value);
  EXPECT_EQ(index, first + 1);
  NAMED_ARG remove[] = {{"document", doc_}, {"material", second}, {nullptr, nullptr}};
  EXPECT_EQ(Send(MQREQUEST_DELETE_DRAW_MATERIAL, remove), TRUE);
  EXPECT_EQ(MQDoc_GetMaterialCount(doc_), 2) << "the document's own materials are untouched";
}

// The handle replaces the "result" pair's value pointer; the host never
// writes through it (a plug-in that still handed over the address of its own
// variable would find the variable untouched), and without the pair nothing
// is made.
TEST_F(HostRequests, NewDrawingHandlesReplaceTheResultValue) {
  int visibility = 7;
  BOOL instant = TRUE;
  void* sentinel = reinterpret_cast<void*>(0x5EED);
  for (int code : {MQREQUEST_NEW_DRAW_OBJECT, MQREQUEST_NEW_DRAW_MATERIAL}) {
    SCOPED_TRACE(code);
    int index = -1;
    void* variable = sentinel;
    NAMED_ARG args[] = {{"document", doc_},   {"visibility", &visibility}, {"index", &index},
                        {"instant", &instant}, {"result", &variable},        {nullptr, nullptr}};
    ASSERT_EQ(Send(code, args), TRUE);
    EXPECT_EQ(variable, sentinel) << "nothing is written through the value pointer";
    EXPECT_NE(args[4].value, static_cast<void*>(&variable)) << "the value pointer is replaced";
    EXPECT_NE(args[4].value, nullptr);

    const size_t objects = document_->drawing_objects().size();
    const size_t materials = document_->drawing_materials().size();
    NAMED_ARG no_result[] = {{"document", doc_}, {"index", &index}, {"instant", &instant},
                             {nullptr, nullptr}};
    EXPECT_EQ(Send(code, no_result), FALSE);
    EXPECT_EQ(document_->drawing_objects().size(), objects) << "nothing made without a result";
    EXPECT_EQ(document_->drawing_materials().size(), materials);
  }
}

TEST_F(HostRequests, UnknownRequestsAndDocumentsAnswerFalse) {
  NAMED_ARG none[] = {{nullptr, nullptr}};
  EXPECT_EQ(Send(999, none), FALSE);
  int visibility = 2;
  NAMED_ARG no_document[] = {{"visibility", &visibility}, {nullptr, nullptr}};
  EXPECT_EQ(Send(MQREQUEST_NEW_DRAW_OBJECT, no_document), FALSE);
  EXPECT_EQ(MQ_SendMessage(MQREQUEST_REDRAW_ALL_SCENE, nullptr), FALSE);
  const int before = Host::Instance().redraw_requests();
  EXPECT_EQ(Send(MQREQUEST_REDRAW_ALL_SCENE, none), TRUE);
  EXPECT_EQ(Host::Instance().redraw_requests(), before + 1);
  int target_product = 7, target_id = 7;
  NAMED_ARG message[] = {{"document", doc_}, {"target_product", &target_product},
                         {"target_id", &target_id}, {nullptr, nullptr}};
  EXPECT_EQ(Send(MQREQUEST_USER_MESSAGE, message), FALSE) << "no such plug-in";
}

std::vector<int> g_ran;

BOOL MQAPICALL Callback(MQDocument, void* option) {
  const int value = *static_cast<int*>(option);
  g_ran.push_back(value);
  // The first callback asks for one more, as a plug-in deferring twice does.
  if (value == 1) {
    static int next = 3;
    MQ_StationCallback(&Callback, &next);
  }
  return TRUE;
}

TEST_F(HostRequests, StationCallbacksRunRightAfterTheEvent) {
  g_ran.clear();
  int one = 1, two = 2;
  MQ_StationCallback(&Callback, &one);
  MQ_StationCallback(&Callback, &two);
  MQ_StationCallback(nullptr, &two);  // nothing to run: ignored
  EXPECT_TRUE(g_ran.empty()) << "nothing runs while queued";
  Host::Instance().SendEvent(document_, MQEVENT_OBJECT_LIST, nullptr);
  EXPECT_EQ(g_ran, (std::vector<int>{1, 2, 3}));
}

TEST_F(HostRequests, UndoStatesRestoreObjectsAndUserData) {
  MQUserDataInfo info{};
  info.size = sizeof(info);
  std::strcpy(info.identifier, "OBase");
  info.userdata_type = MQUSERDATA_OBJECT;
  info.bytes_per_element = 4;
  info.create = true;
  const int slot = MQDoc_CreateUserData(doc_, &info);
  MQObject obj = MQ_CreateObject();
  MQDoc_AddObject(doc_, obj);
  MQObj_AllocUserData(obj, slot);
  const int before = 0x11111111, after = 0x22222222;
  MQObj_SetUserData(obj, slot, 0, 0, &before);

  Host& host = Host::Instance();
  const int first = host.RecordUndo(document_);
  MQObj_SetUserData(obj, slot, 0, 0, &after);
  MQPoint p{5, 5, 5};
  MQObj_AddVertex(obj, &p);
  const int second = host.RecordUndo(document_);
  EXPECT_GT(second, first);
  EXPECT_EQ(host.undo_state_count(), 2);

  ASSERT_TRUE(host.Undo(document_));
  int value = 0;
  ASSERT_EQ(MQObj_GetUserData(obj, slot, 0, 0, &value), TRUE) << "the handle is still valid";
  EXPECT_EQ(value, before);
  EXPECT_EQ(MQObj_GetVertexCount(obj), 0);
  EXPECT_FALSE(host.Undo(document_)) << "nothing before the first state";

  ASSERT_TRUE(host.Redo(document_));
  MQObj_GetUserData(obj, slot, 0, 0, &value);
  EXPECT_EQ(value, after);
  EXPECT_EQ(MQObj_GetVertexCount(obj), 1);
  EXPECT_FALSE(host.Redo(document_));

  // A new state after an undo drops the redo branch.
  ASSERT_TRUE(host.Undo(document_));
  host.RecordUndo(document_);
  EXPECT_FALSE(host.Redo(document_));
  EXPECT_EQ(host.undo_state_count(), 2);
}

TEST_F(HostRequests, UpdateUndoRequestRecordsAState) {
  Host& host = Host::Instance();
  const int states = host.undo_state_count();
  NAMED_ARG none[] = {{nullptr, nullptr}};
  EXPECT_EQ(Send(MQREQUEST_UPDATE_UNDO, none), TRUE);
  EXPECT_EQ(host.undo_state_count(), states + 1);
}

}  // namespace
