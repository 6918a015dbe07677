#include "host/peer/peer_client.h"

#include "host/core/host.h"
#include "host/core/plugin_module.h"
#include "host/events/events.h"

namespace mqhost {

PluginModule* PeerClient::FindPeer(const Host& host) {
  return host.FindPlugin(quorvel_peer::kProductId, quorvel_peer::kPluginId);
}

std::string PeerClient::DefaultPath() {
  const std::string host_path = Host::OwnModulePath();
  const auto slash = host_path.find_last_of("/\\");
  const std::string directory = slash == std::string::npos ? std::string() : host_path.substr(0, slash + 1);
  return directory + QUORVEL_PEER_FILE_NAME;
}

int PeerClient::Command(Document* document, const char* description, void* message) {
  int answer = 0;
  if (!SendUserMessage(host_, document, peer_, 0, 0, description, message, &answer)) return 0;
  return answer;
}

bool PeerClient::Send(Document* document, uint32_t target_product, uint32_t target_id,
                      const char* description, void* message, int* result) {
  quorvel_peer::PeerSendRequest request;
  request.target_product = target_product;
  request.target_id = target_id;
  request.description = description;
  request.message = message;
  if (Command(document, quorvel_peer::kSend, &request) != 1) return false;
  if (result != nullptr) *result = request.result;
  return true;
}

int PeerClient::ReceivedCount(Document* document) {
  int32_t count = 0;
  return Command(document, quorvel_peer::kReceivedCount, &count) == 1 ? count : 0;
}

bool PeerClient::Received(Document* document, int index, quorvel_peer::PeerReceivedRecord* record) {
  if (record == nullptr) return false;
  quorvel_peer::PeerReceivedRecord answer;
  answer.index = index;
  if (Command(document, quorvel_peer::kGetReceived, &answer) != 1) return false;
  *record = answer;
  return true;
}

bool PeerClient::LastReceived(Document* document, quorvel_peer::PeerReceivedRecord* record) {
  if (record == nullptr) return false;
  quorvel_peer::PeerReceivedRecord answer;
  if (Command(document, quorvel_peer::kLastReceived, &answer) != 1) return false;
  *record = answer;
  return true;
}

void PeerClient::Clear(Document* document) { Command(document, quorvel_peer::kClear, nullptr); }

int PeerClient::ReturnModels(Document* document) {
  int32_t returned = 0;
  return Command(document, quorvel_peer::kReturnModels, &returned) == 1 ? returned : 0;
}

}  // namespace mqhost
