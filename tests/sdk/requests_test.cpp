// The frame's requests to the host, seen from a host whose MQ_SendMessage and
// MQ_StationCallback are the test's own.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "sdk/host_api.h"
#include "sdk/plugin.h"

namespace {

MQDocument const kDoc = reinterpret_cast<MQDocument>(0x1000);

// What the host saw of one request, read while the request was in progress.
struct SeenRequest {
  int code = 0;
  uint32_t product = 0, plugin_id = 0;
  int32_t index = -1;
  std::vector<std::string> names;
  std::map<std::string, int> ints;          // values that point at integers
  std::map<std::string, const void*> ptrs;  // values that are pointers
};

std::vector<SeenRequest> g_requests;
MQObject g_created_object = nullptr;
MQMaterial g_created_material = nullptr;
int g_material_index = -1;  // what the host writes through "index"; -1: nothing
int g_user_message_result = 0;

bool IsIntArgument(const std::string& name) {
  return name == "target_product" || name == "target_id" || name == "visibility" ||
         name == "instant" || name == "index" || name == "result_preset";
}

BOOL MQAPICALL FakeSendMessage(int code, HOST_REQUEST_INFO* info) {
  SeenRequest seen;
  seen.code = code;
  seen.product = info->product;
  seen.plugin_id = info->plugin_id;
  seen.index = info->index;
  for (NAMED_ARG* arg = info->option; arg != nullptr && arg->name != nullptr; ++arg) {
    const std::string name = arg->name;
    seen.names.push_back(name);
    seen.ptrs[name] = arg->value;
    if (IsIntArgument(name)) seen.ints[name] = *static_cast<int*>(arg->value);
    if (name == "result") {
      // The message's result is an int preset to 0, written through; the
      // new drawing object or material replaces the value pointer itself,
      // which arrives null, as the modeller does it.
      if (code == MQREQUEST_USER_MESSAGE) {
        seen.ints["result"] = *static_cast<int*>(arg->value);
        *static_cast<int*>(arg->value) = g_user_message_result;
      } else if (code == MQREQUEST_NEW_DRAW_OBJECT) {
        seen.ptrs["result_preset"] = arg->value;
        arg->value = g_created_object;
      } else if (code == MQREQUEST_NEW_DRAW_MATERIAL) {
        seen.ptrs["result_preset"] = arg->value;
        arg->value = g_created_material;
      }
    }
    if (name == "index" && g_material_index >= 0) *static_cast<int*>(arg->value) = g_material_index;
  }
  g_requests.push_back(seen);
  return TRUE;
}

struct PendingCallback {
  MQStationCallbackProc proc;
  void* option;
};
std::vector<PendingCallback> g_pending;
enum class CallbackMode { kDefer, kNever, kRunAtOnce } g_mode = CallbackMode::kDefer;

// The modeller's function answers nothing: whether and when the callback
// runs is the host's business.
void MQAPICALL FakeStationCallback(MQStationCallbackProc proc, void* option) {
  switch (g_mode) {
    case CallbackMode::kDefer: g_pending.push_back({proc, option}); break;
    case CallbackMode::kNever: break;
    case CallbackMode::kRunAtOnce: proc(kDoc, option); break;
  }
}

class RequestingPlugin : public MQCommandPlugin {
 public:
  std::vector<std::pair<MQDocument, void*>> executed;
  bool execute_answer = true;
  void GetPlugInID(uint32_t* product, uint32_t* id) override {
    *product = 0x5A3C9E17;
    *id = 0xC4172B86;
  }
  const char* GetPlugInName() override { return "requesting"; }
  const char* EnumString() override { return "requesting"; }
  BOOL Initialize() override { return TRUE; }
  void Exit() override {}
  BOOL Activate(MQDocument, BOOL flag) override { return flag; }
  bool ExecuteCallback(MQDocument doc, void* option) override {
    executed.emplace_back(doc, option);
    return execute_answer;
  }
};

class Requests : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = HostApi();
    HostApi().MQ_SendMessage = &FakeSendMessage;
    HostApi().MQ_StationCallback = &FakeStationCallback;
    g_requests.clear();
    g_pending.clear();
    g_mode = CallbackMode::kDefer;
    g_created_object = nullptr;
    g_created_material = nullptr;
    g_material_index = -1;
    g_user_message_result = 0;
  }
  void TearDown() override { HostApi() = saved_; }

  const SeenRequest& OnlyRequest() {
    EXPECT_EQ(g_requests.size(), 1u);
    return g_requests.back();
  }

  RequestingPlugin plugin_;
  MQHostApi saved_;
};

void ExpectIdentity(const SeenRequest& r) {
  EXPECT_EQ(r.product, 0x5A3C9E17u);
  EXPECT_EQ(r.plugin_id, 0xC4172B86u);
  EXPECT_EQ(r.index, 0);
}

TEST_F(Requests, SendUserMessage) {
  char description[] = "GetRenderingModel";
  int message = 0;
  g_user_message_result = 7;
  EXPECT_EQ(plugin_.SendUserMessage(kDoc, 0x11111111u, 0x22222222u, description, &message), 7);
  const SeenRequest& r = OnlyRequest();
  EXPECT_EQ(r.code, 101);
  ExpectIdentity(r);
  EXPECT_EQ(r.names, (std::vector<std::string>{"document", "target_product", "target_id",
                                               "description", "message", "result"}));
  EXPECT_EQ(r.ptrs.at("document"), kDoc);
  EXPECT_EQ(static_cast<uint32_t>(r.ints.at("target_product")), 0x11111111u);
  EXPECT_EQ(static_cast<uint32_t>(r.ints.at("target_id")), 0x22222222u);
  EXPECT_EQ(r.ptrs.at("description"), description);
  EXPECT_EQ(r.ptrs.at("message"), &message);
  EXPECT_EQ(r.ints.at("result"), 0) << "result is preset to 0";
}

TEST_F(Requests, CreateDrawingObjectSendsLowThreeBitsOfTheFlags) {
  g_created_object = reinterpret_cast<MQObject>(0x4444);
  EXPECT_EQ(plugin_.CreateDrawingObject(kDoc, 0xFF, FALSE), g_created_object);
  const SeenRequest& r = OnlyRequest();
  EXPECT_EQ(r.code, 200);
  ExpectIdentity(r);
  EXPECT_EQ(r.names, (std::vector<std::string>{"document", "visibility", "instant", "result"}));
  EXPECT_EQ(r.ints.at("visibility"), 7);
  EXPECT_EQ(r.ints.at("instant"), FALSE);
  EXPECT_EQ(r.ptrs.at("result_preset"), nullptr) << "the result pair is sent with a null value";

  g_requests.clear();
  g_created_object = nullptr;
  EXPECT_EQ(plugin_.CreateDrawingObject(kDoc, 0x0A), nullptr) << "a host that creates nothing";
  EXPECT_EQ(OnlyRequest().ints.at("visibility"), 2);
  EXPECT_EQ(OnlyRequest().ints.at("instant"), TRUE);
}

TEST_F(Requests, CreateDrawingMaterialCopiesTheIndexBack) {
  g_created_material = reinterpret_cast<MQMaterial>(0x5555);
  g_material_index = 3;
  int index = 99;
  EXPECT_EQ(plugin_.CreateDrawingMaterial(kDoc, index, TRUE), g_created_material);
  EXPECT_EQ(index, 3);
  const SeenRequest& r = OnlyRequest();
  EXPECT_EQ(r.code, 201);
  ExpectIdentity(r);
  EXPECT_EQ(r.names, (std::vector<std::string>{"document", "index", "instant", "result"}));
  EXPECT_EQ(r.ints.at("index"), -1) << "index is preset to -1";
  EXPECT_EQ(r.ptrs.at("result_preset"), nullptr) << "the result pair is sent with a null value";

  g_material_index = -1;  // the host writes no index
  index = 99;
  plugin_.CreateDrawingMaterial(kDoc, index);
  EXPECT_EQ(index, -1);
}

TEST_F(Requests, DeleteUndoAndRedrawRequests) {
  MQObject object = reinterpret_cast<MQObject>(0x6666);
  MQMaterial material = reinterpret_cast<MQMaterial>(0x7777);
  plugin_.DeleteDrawingObject(kDoc, object);
  plugin_.DeleteDrawingMaterial(kDoc, material);
  plugin_.UpdateUndo();
  plugin_.RedrawAllScene();
  ASSERT_EQ(g_requests.size(), 4u);
  for (const SeenRequest& r : g_requests) ExpectIdentity(r);
  EXPECT_EQ(g_requests[0].code, 210);
  EXPECT_EQ(g_requests[0].names, (std::vector<std::string>{"document", "object"}));
  EXPECT_EQ(g_requests[0].ptrs.at("object"), object);
  EXPECT_EQ(g_requests[1].code, 211);
  EXPECT_EQ(g_requests[1].names, (std::vector<std::string>{"document", "material"}));
  EXPECT_EQ(g_requests[1].ptrs.at("material"), material);
  EXPECT_EQ(g_requests[2].code, 301);
  EXPECT_TRUE(g_requests[2].names.empty());
  EXPECT_EQ(g_requests[3].code, 401);
  EXPECT_TRUE(g_requests[3].names.empty());
}

TEST_F(Requests, DeferredCallbackRunsExecuteCallbackOnce) {
  int first = 1, second = 2;
  plugin_.BeginCallback(&first);
  plugin_.BeginCallback(&second);
  ASSERT_EQ(g_pending.size(), 2u);
  EXPECT_EQ(plugin_.PendingCallbackCount(), 2u);
  EXPECT_TRUE(plugin_.executed.empty()) << "nothing runs before the host calls back";

  // The host may run them in any order; each carries its own option.
  EXPECT_EQ(g_pending[1].proc(kDoc, g_pending[1].option), TRUE);
  plugin_.execute_answer = false;
  EXPECT_EQ(g_pending[0].proc(kDoc, g_pending[0].option), FALSE);
  ASSERT_EQ(plugin_.executed.size(), 2u);
  EXPECT_EQ(plugin_.executed[0], std::make_pair(kDoc, static_cast<void*>(&second)));
  EXPECT_EQ(plugin_.executed[1], std::make_pair(kDoc, static_cast<void*>(&first)));
  EXPECT_EQ(plugin_.PendingCallbackCount(), 0u);
}

TEST_F(Requests, CallbackRunAtOnceKeepsNoRecordAndOneNeverRunIsKept) {
  int option = 0;
  g_mode = CallbackMode::kNever;
  plugin_.BeginCallback(&option);
  EXPECT_EQ(plugin_.PendingCallbackCount(), 1u) << "kept: the host may still call it";
  EXPECT_TRUE(plugin_.executed.empty());

  g_mode = CallbackMode::kRunAtOnce;
  plugin_.BeginCallback(&option);
  EXPECT_EQ(plugin_.PendingCallbackCount(), 1u) << "only the one that never ran";
  ASSERT_EQ(plugin_.executed.size(), 1u);
  EXPECT_EQ(plugin_.executed[0].second, &option);
}

}  // namespace
