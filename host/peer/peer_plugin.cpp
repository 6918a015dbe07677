// The peer plug-in: another plug-in of the same modeller, reached and steered
// through user messages only (see peer_protocol.h).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/peer/peer_protocol.h"
#include "sdk/plugin_object.h"

namespace {

using namespace quorvel_peer;

class PeerPlugin : public MQStationPlugin {
 public:
  void GetPlugInID(uint32_t* product, uint32_t* id) override {
    if (product != nullptr) *product = kProductId;
    if (id != nullptr) *id = kPluginId;
  }
  const char* GetPlugInName() override { return kDisplayName; }
  const char* EnumString() override { return kDisplayName; }

  BOOL Initialize() override { return TRUE; }
  void Exit() override {
    // No document is left to send a model back with.
    received_.clear();
    held_.clear();
  }
  BOOL Activate(MQDocument doc, BOOL flag) override {
    activated_ = flag != FALSE;
    return flag;
  }
  BOOL IsActivated(MQDocument doc) override { return activated_ ? TRUE : FALSE; }
  bool ExecuteCallback(MQDocument doc, void* option) override { return false; }

  void OnEndDocument(MQDocument doc) override {
    ReturnModels(doc);
    received_.clear();
  }

  int OnReceiveUserMessage(MQDocument doc, uint32_t src_product, uint32_t src_id,
                           const char* description, void* message) override {
    const std::string name = description != nullptr ? description : "";
    if (src_product == 0 && src_id == 0) {
      int answer = 0;
      if (Control(doc, name, message, &answer)) return answer;
    }
    Received record;
    record.src_product = src_product;
    record.src_id = src_id;
    record.description = name;
    if (name == kRenderingModelReply && message != nullptr) {
      record.model = message;
      record.answer = 1;
      held_.push_back({src_product, src_id, message});
    }
    received_.push_back(record);
    return record.answer;
  }

 private:
  struct Received {
    uint32_t src_product = 0;
    uint32_t src_id = 0;
    std::string description;
    void* model = nullptr;  // the model that came with "SendRenderingModel"
    int answer = 0;
  };
  // A model this plug-in owns until it hands it back to its sender.
  struct Held {
    uint32_t src_product = 0;
    uint32_t src_id = 0;
    void* model = nullptr;
  };

  bool Holds(const void* model) const {
    return model != nullptr && std::any_of(held_.begin(), held_.end(),
                                           [model](const Held& h) { return h.model == model; });
  }

  // A command of the host; false when `name` is none, so that it is recorded
  // as an ordinary message.
  bool Control(MQDocument doc, const std::string& name, void* message, int* answer) {
    if (name == kSend) {
      auto* request = static_cast<PeerSendRequest*>(message);
      if (request == nullptr) return true;
      request->result = SendUserMessage(doc, request->target_product, request->target_id,
                                        request->description, request->message);
      *answer = 1;
    } else if (name == kReceivedCount) {
      if (message == nullptr) return true;
      *static_cast<int32_t*>(message) = static_cast<int32_t>(received_.size());
      *answer = 1;
    } else if (name == kGetReceived || name == kLastReceived) {
      auto* out = static_cast<PeerReceivedRecord*>(message);
      if (out == nullptr || received_.empty()) return true;
      const int32_t index = name == kLastReceived ? static_cast<int32_t>(received_.size()) - 1
                                                  : out->index;
      if (index < 0 || index >= static_cast<int32_t>(received_.size())) return true;
      Fill(index, out);
      *answer = 1;
    } else if (name == kClear) {
      received_.clear();
      *answer = 1;
    } else if (name == kReturnModels) {
      const int32_t returned = ReturnModels(doc);
      if (message != nullptr) *static_cast<int32_t*>(message) = returned;
      *answer = 1;
    } else {
      return false;
    }
    return true;
  }

  void Fill(int32_t index, PeerReceivedRecord* out) const {
    const Received& record = received_[static_cast<size_t>(index)];
    out->index = index;
    out->count = static_cast<int32_t>(received_.size());
    out->src_product = record.src_product;
    out->src_id = record.src_id;
    const size_t length = std::min(record.description.size(), sizeof(out->description) - 1);
    std::memcpy(out->description, record.description.data(), length);
    out->description[length] = '\0';
    out->message = Holds(record.model) ? record.model : nullptr;
    out->answer = record.answer;
  }

  // Sends every model still held back to its sender; answers how many.
  int32_t ReturnModels(MQDocument doc) {
    // Taken out first: a sender may hand this plug-in a new model while it
    // takes an old one back.
    std::vector<Held> returning;
    returning.swap(held_);
    for (const Held& held : returning) {
      SendUserMessage(doc, held.src_product, held.src_id, kRenderingModelRelease, held.model);
    }
    return static_cast<int32_t>(returning.size());
  }

  std::vector<Received> received_;
  std::vector<Held> held_;
  bool activated_ = false;
};

}  // namespace

MQBasePlugin* GetPluginObject() {
  static PeerPlugin plugin;
  return &plugin;
}
