// The events the host sends, seen from inside a plug-in module: the recording
// plug-in writes down each event's named arguments as delivered, and asks
// the host for callbacks, drawing objects and undo states during events.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "host/core/api.h"
#include "host/core/host.h"
#include "host/core/plugin_module.h"
#include "host/events/events.h"
#include "recorder_access.h"

namespace {

using mqhost::Host;
using mqhost::PointerInput;
using mqhost::ToHandle;

class HostEvents : public testing::Test {
 protected:
  void SetUp() override {
    state_ = recorder_.state();
    ASSERT_NE(state_, nullptr) << QUORVEL_RECORDER_PATH;
    recorder_.Reset();
    std::string error;
    plugin_ = host_.LoadPlugin(QUORVEL_RECORDER_PATH, &error);
    ASSERT_NE(plugin_, nullptr) << error;
    document_ = host_.NewDocument();
  }
  void TearDown() override {
    host_.CloseDocument(document_);
    host_.UnloadPlugins();
  }

  mqhost::PluginModule* LoadPeer() {
    std::string error;
    mqhost::PluginModule* peer = host_.LoadPlugin(QUORVEL_PEER_PATH, &error);
    EXPECT_NE(peer, nullptr) << error;
    return peer;
  }

  const recorder::Event& Last() const { return state_->events[state_->event_count - 1]; }

  std::vector<std::string> ArgNames(const recorder::Event& event) const {
    std::vector<std::string> names;
    for (int i = 0; i < event.arg_count; ++i) names.push_back(event.args[i].name);
    return names;
  }

  static int Number(const recorder::Event& event, const char* name) {
    const recorder::Arg* arg = recorder::FindArg(event, name);
    EXPECT_NE(arg, nullptr) << name;
    return arg != nullptr ? arg->number : -1;
  }

  MQScene Scene() const { return ToHandle(&document_->camera); }

  Host& host_ = Host::Instance();
  recorder::Access recorder_;
  recorder::State* state_ = nullptr;
  mqhost::PluginModule* plugin_ = nullptr;
  mqhost::Document* document_ = nullptr;
};

TEST_F(HostEvents, EachEventArrivesWithItsCodeAndArgumentNames) {
  int block = 0;
  const std::vector<std::string> mouse = {"scene", "button_state", "mouse_pos_x", "mouse_pos_y",
                                          "mouse_wheel"};
  const std::vector<std::string> key = {"scene", "key", "button_state"};
  struct Case {
    const char* label;
    int code;
    bool has_document;
    std::vector<std::string> names;
    std::function<BOOL()> send;
  };
  const Case cases[] = {
      {"initialize", 1, false, {}, [&] { return SendInitialize(host_); }},
      {"exit", 2, false, {}, [&] { return SendExit(host_); }},
      {"is activated", 101, true, {}, [&] { return SendIsActivated(host_, document_); }},
      {"user message", 103, true, {"src_product", "src_id", "description", "message", "result"},
       [&] { return SendUserMessage(host_, document_, plugin_, 1, 2, "x", &block, nullptr); }},
      {"draw", 110, true, {"scene", "width", "height"}, [&] { return SendDraw(host_, document_, 4, 3); }},
      {"left down", 120, true, mouse, [&] { return SendMouse(host_, document_, 120, {}); }},
      {"wheel", 130, true, mouse, [&] { return SendMouse(host_, document_, 130, {}); }},
      {"key down", 140, true, key, [&] { return SendKey(host_, document_, true, 65, 0); }},
      {"key up", 141, true, key, [&] { return SendKey(host_, document_, false, 65, 0); }},
      {"new document", 200, true, {"xml_elem", "filename"},
       [&] { return SendNewDocument(host_, document_, "a.mqd"); }},
      {"end document", 201, true, {}, [&] { return SendEndDocument(host_, document_); }},
      {"save document", 202, true, {"xml_elem", "filename", "save_uid"},
       [&] { return SendSaveDocument(host_, document_, "a.mqd").answer; }},
      {"object list", 220, true, {}, [&] { return SendObjectListChanged(host_, document_); }},
      {"object modified", 221, true, {}, [&] { return SendObjectModified(host_, document_); }},
      {"object selected", 222, true, {}, [&] { return SendObjectSelected(host_, document_); }},
      {"material list", 230, true, {}, [&] { return SendMaterialListChanged(host_, document_); }},
      {"material modified", 231, true, {}, [&] { return SendMaterialModified(host_, document_); }},
      {"scene", 240, true, {"scene"}, [&] { return SendScene(host_, document_); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const int before = state_->event_count;
    const BOOL answer = c.send();
    ASSERT_EQ(state_->event_count, before + 1);
    const recorder::Event& event = Last();
    EXPECT_EQ(event.code, c.code);
    EXPECT_EQ(event.doc, c.has_document ? ToHandle(document_) : nullptr);
    EXPECT_EQ(event.arg_count, static_cast<int>(c.names.size())) << "a list, even when empty";
    EXPECT_EQ(ArgNames(event), c.names);
    EXPECT_EQ(answer, event.answer) << "the plug-in's answer comes back";
  }
}

TEST_F(HostEvents, ActivateAndMinimizePointAtABool) {
  struct Case {
    int code;
    bool flag;
    BOOL answer;  // Activate answers the flag; the frame answers TRUE to 102
  };
  for (const Case& c : {Case{100, true, TRUE}, Case{100, false, FALSE}, Case{102, true, TRUE},
                        Case{102, false, TRUE}}) {
    SCOPED_TRACE(testing::Message() << c.code << " " << c.flag);
    const BOOL answer = c.code == 100 ? SendActivate(host_, document_, c.flag)
                                      : SendMinimize(host_, document_, c.flag);
    EXPECT_EQ(Last().code, c.code);
    EXPECT_EQ(Last().flag, c.flag ? TRUE : FALSE);
    EXPECT_EQ(answer, c.answer);
  }
}

TEST_F(HostEvents, MouseEventsCarryPositionWheelAndButtonBits) {
  struct Case {
    int code;
    PointerInput input;
    BOOL answer;
  };
  const Case cases[] = {
      {120, {10, 20, 0, mqhost::kButtonLeft}, TRUE},
      {121, {-5, 7, 0, mqhost::kButtonLeft | mqhost::kButtonShift}, TRUE},
      {123, {1, 2, 0, mqhost::kButtonMiddle}, FALSE},
      {126, {3, 4, 0, mqhost::kButtonRight | mqhost::kButtonCtrl | mqhost::kButtonAlt}, TRUE},
      {129, {640, 480, 0, 0}, FALSE},
      {130, {9, 8, -240, 0x3F}, TRUE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    state_->input_answer = c.answer;
    EXPECT_EQ(SendMouse(host_, document_, c.code, c.input), c.answer);
    const recorder::Event& event = Last();
    EXPECT_EQ(event.code, c.code);
    EXPECT_EQ(recorder::FindArg(event, "scene")->value, static_cast<void*>(Scene()));
    EXPECT_EQ(Number(event, "button_state"), c.input.flags);
    EXPECT_EQ(Number(event, "mouse_pos_x"), c.input.x);
    EXPECT_EQ(Number(event, "mouse_pos_y"), c.input.y);
    EXPECT_EQ(Number(event, "mouse_wheel"), c.input.wheel);
  }
  const int before = state_->event_count;
  for (int code : {119, 131, 140}) {
    EXPECT_EQ(SendMouse(host_, document_, code, {}), FALSE) << code;
  }
  EXPECT_EQ(state_->event_count, before) << "codes outside the mouse range are not sent";
}

TEST_F(HostEvents, KeyEventsCarryTheKeyAndTheModifiers) {
  struct Case {
    bool down;
    int key;
    int flags;
  };
  for (const Case& c : {Case{true, 'A', 0}, Case{false, 0x1B, mqhost::kButtonShift},
                        Case{true, 0x09, mqhost::kButtonCtrl | mqhost::kButtonAlt}}) {
    SCOPED_TRACE(c.key);
    SendKey(host_, document_, c.down, c.key, c.flags);
    const recorder::Event& event = Last();
    EXPECT_EQ(event.code, c.down ? 140 : 141);
    EXPECT_EQ(recorder::FindArg(event, "scene")->value, static_cast<void*>(Scene()));
    EXPECT_EQ(Number(event, "key"), c.key);
    EXPECT_EQ(Number(event, "button_state"), c.flags);
  }
}

TEST_F(HostEvents, DrawSetsTheViewportAndPassesTheScene) {
  EXPECT_EQ(SendDraw(host_, document_, 800, 600), TRUE);
  EXPECT_EQ(document_->camera.width, 800);
  EXPECT_EQ(document_->camera.height, 600);
  EXPECT_EQ(recorder::FindArg(Last(), "scene")->value, static_cast<void*>(Scene()));
  EXPECT_EQ(Number(Last(), "width"), 800);
  EXPECT_EQ(Number(Last(), "height"), 600);
}

TEST_F(HostEvents, NewDocumentGivesEachPluginItsOwnElement) {
  mqhost::PluginModule* peer = LoadPeer();
  ASSERT_NE(peer, nullptr);
  mqhost::XmlElement* own = host_.PluginElement(document_, recorder::kProductId, recorder::kPluginId);
  mqhost::XmlElement* peers = host_.PluginElement(document_, peer->product(), peer->id());
  ASSERT_NE(own, peers);

  EXPECT_EQ(SendNewDocument(host_, document_, "arm.mqd"), TRUE);
  const recorder::Event& event = Last();
  EXPECT_EQ(event.code, 200);
  EXPECT_EQ(recorder::FindArg(event, "xml_elem")->value, static_cast<void*>(ToHandle(own)));
  EXPECT_STREQ(recorder::FindArg(event, "filename")->text, "arm.mqd");

  SendNewDocument(host_, document_, "");
  EXPECT_EQ(recorder::FindArg(Last(), "filename")->value, nullptr) << "an unnamed document";
}

TEST_F(HostEvents, SaveCollectsTheUniqueIdRequestOfAnyPlugin) {
  // The peer is loaded last and never asks, so its answer must not hide the
  // recorder's request.
  ASSERT_NE(LoadPeer(), nullptr);
  for (BOOL ask : {FALSE, TRUE}) {
    SCOPED_TRACE(ask);
    state_->set_save_uid = ask;
    const mqhost::SaveOutcome outcome = SendSaveDocument(host_, document_, "out.mqd");
    EXPECT_EQ(outcome.answer, TRUE);
    EXPECT_EQ(outcome.save_unique_ids, ask == TRUE);
    const recorder::Event* save = nullptr;
    for (int i = 0; i < state_->event_count; ++i) {
      if (state_->events[i].code == 202) save = &state_->events[i];
    }
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(Number(*save, "save_uid"), FALSE) << "preset to FALSE for each plug-in";
    EXPECT_STREQ(recorder::FindArg(*save, "filename")->text, "out.mqd");
  }
}

TEST_F(HostEvents, SaveReplacesWhatThePluginWroteBefore) {
  mqhost::XmlElement* own = host_.PluginElement(document_, recorder::kProductId, recorder::kPluginId);
  own->AddChild("Stale");
  own->SetAttribute("old", "1");
  for (int round = 0; round < 2; ++round) {
    SendSaveDocument(host_, document_, "out.mqd");
    EXPECT_EQ(recorder::FindArg(Last(), "xml_elem")->value, static_cast<void*>(ToHandle(own)));
    EXPECT_EQ(own->FirstChild("Stale"), nullptr);
    EXPECT_EQ(own->GetAttribute("old"), nullptr);
    ASSERT_EQ(own->ChildCount(), 1u) << "round " << round;
    EXPECT_EQ(own->Child(0).Name(), "Saved");
  }
}

TEST_F(HostEvents, UserMessageAnswersLandInTheResult) {
  int block = 0;
  state_->message_answer = 42;
  int result = 0;
  EXPECT_EQ(SendUserMessage(host_, document_, plugin_, 0x80000001u, 0x22, "Hello", &block, &result), TRUE);
  EXPECT_EQ(result, 42);
  const recorder::Event& event = Last();
  EXPECT_EQ(static_cast<uint32_t>(Number(event, "src_product")), 0x80000001u);
  EXPECT_EQ(Number(event, "src_id"), 0x22);
  EXPECT_STREQ(recorder::FindArg(event, "description")->text, "Hello");
  EXPECT_EQ(recorder::FindArg(event, "message")->value, static_cast<void*>(&block));

  const int before = state_->event_count;
  result = 7;
  EXPECT_EQ(SendUserMessage(host_, document_, nullptr, 0, 0, "Hello", &block, &result), FALSE);
  EXPECT_EQ(result, 7) << "no target, no answer";
  EXPECT_EQ(state_->event_count, before);
}

TEST_F(HostEvents, StationCallbacksRunRightAfterTheEventThatAskedForThem) {
  struct Case {
    const char* label;
    int code;
    std::function<void()> send;
  };
  const Case cases[] = {
      {"mouse", 120, [&] { SendMouse(host_, document_, 120, {}); }},
      {"draw", 110, [&] { SendDraw(host_, document_, 640, 480); }},
      {"activate", 100, [&] { SendActivate(host_, document_, true); }},
      {"key", 140, [&] { SendKey(host_, document_, true, 'K', 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    recorder_.Reset();
    state_->callback_on = c.code;
    c.send();
    EXPECT_EQ(state_->callbacks_run, 1);
    EXPECT_EQ(state_->callback_depth, 0) << "not inside the event";
    EXPECT_EQ(state_->callback_event_count, state_->event_count) << "before any later event";
    EXPECT_EQ(state_->callback_doc, ToHandle(document_));
    state_->callback_on = 0;
    SendScene(host_, document_);
    EXPECT_EQ(state_->callbacks_run, 1) << "it runs once";
  }
}

TEST_F(HostEvents, CallbacksAskedForInANestedEventWaitForTheOuterOne) {
  // The undo request during the mouse event raises event 212 inside it; a
  // callback asked for there runs only when the mouse event is over.
  state_->undo_on = 120;
  state_->callback_on = 212;
  SendMouse(host_, document_, 120, {});
  ASSERT_EQ(state_->event_count, 2);
  EXPECT_EQ(state_->events[1].code, 212);
  EXPECT_EQ(state_->callbacks_run, 1);
  EXPECT_EQ(state_->callback_depth, 0);
}

TEST_F(HostEvents, InstantDrawingObjectsAreGoneAfterTheDraw) {
  state_->draw_objects = TRUE;
  std::vector<MQObject> kept;
  for (int frame = 0; frame < 2; ++frame) {
    SendDraw(host_, document_, 640, 480);
    ASSERT_NE(state_->instant_object, nullptr);
    ASSERT_NE(state_->kept_object, nullptr);
    kept.push_back(state_->kept_object);
    std::vector<MQObject> present;
    for (const mqhost::DrawingObject& drawing : document_->drawing_objects()) {
      present.push_back(ToHandle(drawing.object.get()));
    }
    EXPECT_EQ(present, kept) << "frame " << frame;
  }
}

TEST_F(HostEvents, TheViewIsPaintedAfterTheCallbacksAndBeforeInstantDrawingGoes) {
  state_->draw_objects = TRUE;
  state_->callback_on = MQEVENT_DRAW;
  struct Seen {
    int paints = 0;
    int callbacks_run = 0;
    size_t drawing_objects = 0;
  } seen;
  host_.SetViewportPainter([&](mqhost::Document& document) {
    ++seen.paints;
    seen.callbacks_run = state_->callbacks_run;
    seen.drawing_objects = document.drawing_objects().size();
  });
  SendDraw(host_, document_, 640, 480);
  SendScene(host_, document_);
  host_.SetViewportPainter(nullptr);
  EXPECT_EQ(seen.paints, 1) << "only a draw event paints";
  EXPECT_EQ(seen.callbacks_run, 1);
  EXPECT_EQ(seen.drawing_objects, 2u) << "the instant object too";
  EXPECT_EQ(document_->drawing_objects().size(), 1u);
}

TEST_F(HostEvents, UndoRequestsAreReportedWithStateNumberAndCount) {
  state_->undo_on = 120;
  SendMouse(host_, document_, 120, {});
  SendMouse(host_, document_, 120, {});
  std::vector<const recorder::Event*> updates;
  for (int i = 0; i < state_->event_count; ++i) {
    if (state_->events[i].code == 212) updates.push_back(&state_->events[i]);
  }
  ASSERT_EQ(updates.size(), 2u);
  EXPECT_EQ(state_->events[1].code, 212) << "during the event that asked";
  const int first = Number(*updates[0], "state");
  const int second = Number(*updates[1], "state");
  EXPECT_EQ(second, first + 1);
  EXPECT_EQ(Number(*updates[1], "size"), Number(*updates[0], "size") + 1);
  EXPECT_EQ(Number(*updates[1], "size"), host_.undo_state_count());

  ASSERT_TRUE(host_.Undo(document_));
  EXPECT_EQ(Last().code, 210);
  EXPECT_EQ(Number(Last(), "state"), first);
  ASSERT_TRUE(host_.Redo(document_));
  EXPECT_EQ(Last().code, 211);
  EXPECT_EQ(Number(Last(), "state"), second);
}

}  // namespace
