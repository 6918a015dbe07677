#pragma once
// The host's side of the peer plug-in's control protocol (peer_protocol.h):
// each call is one user message from the host (source 0, 0) to the peer.
#include <cstdint>
#include <string>

#include "host/peer/peer_protocol.h"

namespace mqhost {

class Document;
class Host;
class PluginModule;

class PeerClient {
 public:
  // `peer` must be the loaded peer module (see FindPeer).
  PeerClient(Host& host, PluginModule* peer) : host_(host), peer_(peer) {}

  // The loaded peer, found by its identifiers; null when it is not loaded.
  static PluginModule* FindPeer(const Host& host);
  // Where the peer module lies by default: beside the module that exports
  // the host API.
  static std::string DefaultPath();

  PluginModule* peer() const { return peer_; }

  // Has the peer send `description` / `message` to the target plug-in (the
  // frame's request 101). False when the peer did not take the command;
  // otherwise the target's answer is in *result.
  bool Send(Document* document, uint32_t target_product, uint32_t target_id,
            const char* description, void* message, int* result);

  // Messages the peer received, in order of arrival.
  int ReceivedCount(Document* document);
  bool Received(Document* document, int index, quorvel_peer::PeerReceivedRecord* record);
  bool LastReceived(Document* document, quorvel_peer::PeerReceivedRecord* record);
  void Clear(Document* document);
  // Hands every model the peer holds back to its sender; answers how many.
  int ReturnModels(Document* document);

 private:
  int Command(Document* document, const char* description, void* message);

  Host& host_;
  PluginModule* peer_;
};

}  // namespace mqhost
