// The peer plug-in as a client of another plug-in's message interface: it
// sends through the host's request 101, keeps a record of what it receives,
// holds rendering models until it hands them back, and takes commands only
// from the host. The recording plug-in plays the other side.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "host/core/api.h"
#include "host/core/host.h"
#include "host/core/plugin_module.h"
#include "host/events/events.h"
#include "host/peer/peer_client.h"
#include "recorder_access.h"

namespace {

using mqhost::Host;
using mqhost::PeerClient;
using mqhost::ToHandle;
using quorvel_peer::PeerReceivedRecord;

class HostPeer : public testing::Test {
 protected:
  void SetUp() override {
    state_ = recorder_.state();
    ASSERT_NE(state_, nullptr) << QUORVEL_RECORDER_PATH;
    recorder_.Reset();
    std::string error;
    ASSERT_NE(host_.LoadPlugin(QUORVEL_RECORDER_PATH, &error), nullptr) << error;
    peer_ = host_.LoadPlugin(QUORVEL_PEER_PATH, &error);
    ASSERT_NE(peer_, nullptr) << error;
    document_ = host_.NewDocument();
    mqhost::SendInitialize(host_);
    mqhost::SendNewDocument(host_, document_, "");
  }
  void TearDown() override {
    host_.CloseDocument(document_);
    host_.UnloadPlugins();
  }

  // The last user message the recorder got.
  const recorder::Event* LastMessageToRecorder() const {
    for (int i = state_->event_count - 1; i >= 0; --i) {
      if (state_->events[i].code == MQEVENT_USER_MESSAGE) return &state_->events[i];
    }
    return nullptr;
  }
  int MessagesToRecorder() const {
    int count = 0;
    for (int i = 0; i < state_->event_count; ++i) count += state_->events[i].code == MQEVENT_USER_MESSAGE;
    return count;
  }

  PeerClient Client() { return PeerClient(host_, peer_); }

  Host& host_ = Host::Instance();
  recorder::Access recorder_;
  recorder::State* state_ = nullptr;
  mqhost::PluginModule* peer_ = nullptr;
  mqhost::Document* document_ = nullptr;
};

TEST_F(HostPeer, IsAStationPluginOfItsOwn) {
  EXPECT_EQ(peer_->product(), quorvel_peer::kProductId);
  EXPECT_EQ(peer_->id(), quorvel_peer::kPluginId);
  EXPECT_EQ(peer_->type(), MQPLUGIN_TYPE_STATION);
  EXPECT_EQ(peer_->name(), "QuorvelPeer");
  EXPECT_EQ(peer_->enum_string(), "QuorvelPeer");
  EXPECT_EQ(PeerClient::FindPeer(host_), peer_);
  // Mouse and key events are for command plug-ins only.
  EXPECT_EQ(mqhost::SendMouse(host_, document_, MQEVENT_LBUTTON_DOWN, {}, peer_), FALSE);
  EXPECT_EQ(mqhost::SendKey(host_, document_, true, 'A', 0, peer_), FALSE);
}

TEST_F(HostPeer, SendsAMessageAndReturnsTheTargetsAnswer) {
  state_->message_answer = 7;
  int block[4] = {};
  int result = -1;
  ASSERT_TRUE(Client().Send(document_, recorder::kProductId, recorder::kPluginId, "Hello", block, &result));
  EXPECT_EQ(result, 7);
  const recorder::Event* event = LastMessageToRecorder();
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->doc, ToHandle(document_));
  EXPECT_EQ(static_cast<uint32_t>(recorder::FindArg(*event, "src_product")->number), quorvel_peer::kProductId);
  EXPECT_EQ(static_cast<uint32_t>(recorder::FindArg(*event, "src_id")->number), quorvel_peer::kPluginId);
  EXPECT_STREQ(recorder::FindArg(*event, "description")->text, "Hello");
  EXPECT_EQ(recorder::FindArg(*event, "message")->value, static_cast<void*>(block));
}

TEST_F(HostPeer, AMessageToNoLoadedPluginReachesNobody) {
  state_->message_answer = 7;
  const int before = MessagesToRecorder();
  int result = -1;
  ASSERT_TRUE(Client().Send(document_, 0x0BADF00D, 1, "Hello", nullptr, &result));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(MessagesToRecorder(), before);

  // At the request level the host tells the two apart.
  for (const auto& [product, id, delivered] :
       {std::tuple<uint32_t, uint32_t, BOOL>{0x0BADF00D, 1, FALSE},
        std::tuple<uint32_t, uint32_t, BOOL>{recorder::kProductId, recorder::kPluginId, TRUE}}) {
    uint32_t target_product = product, target_id = id;
    int answer = 12345;
    NAMED_ARG args[] = {{"document", ToHandle(document_)}, {"target_product", &target_product},
                        {"target_id", &target_id},         {"description", const_cast<char*>("Hi")},
                        {"result", &answer},               {nullptr, nullptr}};
    HOST_REQUEST_INFO info{quorvel_peer::kProductId, quorvel_peer::kPluginId, 0, args};
    EXPECT_EQ(MQ_SendMessage(MQREQUEST_USER_MESSAGE, &info), delivered) << std::hex << product;
    EXPECT_EQ(answer, delivered ? 7 : 12345);
  }
}

TEST_F(HostPeer, HoldsARenderingModelUntilItHandsItBack) {
  int result = 0;
  ASSERT_TRUE(Client().Send(document_, recorder::kProductId, recorder::kPluginId, "GetRenderingModel",
                            nullptr, &result));
  EXPECT_EQ(result, 1) << "the recorder answers 1 once its reply was taken";
  ASSERT_EQ(Client().ReceivedCount(document_), 1);
  PeerReceivedRecord record;
  ASSERT_TRUE(Client().LastReceived(document_, &record));
  EXPECT_EQ(record.index, 0);
  EXPECT_EQ(record.count, 1);
  EXPECT_STREQ(record.description, "SendRenderingModel");
  EXPECT_EQ(record.src_product, recorder::kProductId);
  EXPECT_EQ(record.src_id, recorder::kPluginId);
  EXPECT_EQ(record.message, static_cast<void*>(state_->model));
  EXPECT_EQ(record.answer, 1);

  EXPECT_EQ(Client().ReturnModels(document_), 1);
  const recorder::Event* event = LastMessageToRecorder();
  ASSERT_NE(event, nullptr);
  EXPECT_STREQ(recorder::FindArg(*event, "description")->text, "DeleteRenderingModel");
  EXPECT_EQ(recorder::FindArg(*event, "message")->value, static_cast<void*>(state_->model));
  EXPECT_EQ(static_cast<uint32_t>(recorder::FindArg(*event, "src_product")->number), quorvel_peer::kProductId);

  ASSERT_TRUE(Client().LastReceived(document_, &record));
  EXPECT_EQ(record.message, nullptr) << "no longer held";
  EXPECT_EQ(Client().ReturnModels(document_), 0) << "handed back once";
}

TEST_F(HostPeer, HandsModelsBackWhenTheDocumentEnds) {
  int result = 0;
  ASSERT_TRUE(Client().Send(document_, recorder::kProductId, recorder::kPluginId, "GetRenderingModel",
                            nullptr, &result));
  mqhost::SendEndDocument(host_, document_);
  const recorder::Event* event = LastMessageToRecorder();
  ASSERT_NE(event, nullptr);
  EXPECT_STREQ(recorder::FindArg(*event, "description")->text, "DeleteRenderingModel");
  EXPECT_EQ(recorder::FindArg(*event, "message")->value, static_cast<void*>(state_->model));
  EXPECT_EQ(Client().ReceivedCount(document_), 0) << "the records go with the document";
}

TEST_F(HostPeer, RecordsOtherMessagesButNotTheirPointers) {
  // The recorder replies with the description after "Reply:"; the control
  // words of the host are ordinary messages when a plug-in sends them.
  const std::string replies[] = {"Hello", "PeerClear", "PeerSend", std::string(80, 'x')};
  int count = 0;
  for (const std::string& reply : replies) {
    SCOPED_TRACE(reply.substr(0, 10));
    int result = -1;
    ASSERT_TRUE(Client().Send(document_, recorder::kProductId, recorder::kPluginId,
                              ("Reply:" + reply).c_str(), nullptr, &result));
    EXPECT_EQ(result, 0) << "the peer answers 0 to what it does not know";
    ASSERT_EQ(Client().ReceivedCount(document_), ++count);
    PeerReceivedRecord record;
    ASSERT_TRUE(Client().LastReceived(document_, &record));
    EXPECT_EQ(record.description, reply.substr(0, sizeof(record.description) - 1));
    EXPECT_EQ(record.message, nullptr) << "the sender's memory is not kept";
    EXPECT_EQ(record.src_product, recorder::kProductId);
  }
  PeerReceivedRecord first;
  ASSERT_TRUE(Client().Received(document_, 0, &first));
  EXPECT_STREQ(first.description, "Hello");
  EXPECT_EQ(Client().ReturnModels(document_), 0);
}

TEST_F(HostPeer, ControlCommandsCheckTheirRecords) {
  PeerReceivedRecord record;
  EXPECT_FALSE(Client().LastReceived(document_, &record)) << "nothing received yet";
  EXPECT_FALSE(Client().Received(document_, 0, &record));

  int result = -1;
  ASSERT_TRUE(Client().Send(document_, recorder::kProductId, recorder::kPluginId, "Reply:One", nullptr,
                            &result));
  for (int index : {-1, 1, 100}) EXPECT_FALSE(Client().Received(document_, index, &record)) << index;
  EXPECT_TRUE(Client().Received(document_, 0, &record));

  // A command without its record answers 0 and does nothing.
  int answer = -1;
  for (const char* command : {quorvel_peer::kSend, quorvel_peer::kReceivedCount,
                              quorvel_peer::kGetReceived, quorvel_peer::kLastReceived}) {
    ASSERT_EQ(mqhost::SendUserMessage(host_, document_, peer_, 0, 0, command, nullptr, &answer), TRUE);
    EXPECT_EQ(answer, 0) << command;
  }
  Client().Clear(document_);
  EXPECT_EQ(Client().ReceivedCount(document_), 0);
}

}  // namespace
