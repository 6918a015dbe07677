#pragma once
// The peer plug-in (quorvel_peer) and how the host talks to it.
//
// The peer is a small station plug-in that stands for "another plug-in in the
// same modeller": it sends user messages to a target plug-in through the
// frame's SendUserMessage (request 101), and it keeps a record of every user
// message it receives. The driver and the tests steer it with user messages of
// their own (event 103 delivered straight to the peer, Host::SendEvent with
// `only` = the peer) whose source identifiers are both 0: the host has no
// plug-in identity of its own. A message from any other source is never taken
// as a control command, only recorded.
//
// Control commands (description → message record → answer):
//   "PeerSend"          PeerSendRequest     1 when sent (result filled), 0 for a null record
//   "PeerReceivedCount" int32 (out)         1
//   "PeerGetReceived"   PeerReceivedRecord  1, or 0 when `index` is out of range
//   "PeerLastReceived"  PeerReceivedRecord  1, or 0 when nothing was received
//   "PeerClear"         not read            1; forgets the records (not the kept models)
//   "PeerReturnModels"  int32 (out) or null 1; hands every kept model back (below)
//
// Records: every received message gets one, in order of arrival. The message
// pointer of a received message points into the sender's memory and is only
// valid while the sender waits for the answer, so it is kept only for
// "SendRenderingModel", whose message is a model the receiver owns until it
// sends it back with "DeleteRenderingModel". The peer answers 1 to
// "SendRenderingModel" and 0 to every other message it does not know.
// "PeerReturnModels" sends "DeleteRenderingModel" with each kept model to the
// plug-in that sent it, and writes the number of models handed back. Models
// still held when the document ends are handed back then; the host should ask
// before that, while the sender still has its document.
#include <cstdint>

#include "sdk/mq_types.h"

namespace quorvel_peer {

// Identifiers of the peer: "QPEE" and the first plug-in of that product.
constexpr uint32_t kProductId = 0x51504545;
constexpr uint32_t kPluginId = 0x00000001;
constexpr const char* kDisplayName = "QuorvelPeer";

constexpr const char* kSend = "PeerSend";
constexpr const char* kReceivedCount = "PeerReceivedCount";
constexpr const char* kGetReceived = "PeerGetReceived";
constexpr const char* kLastReceived = "PeerLastReceived";
constexpr const char* kClear = "PeerClear";
constexpr const char* kReturnModels = "PeerReturnModels";

// The message a plug-in sends back with its model, and the one returning it.
constexpr const char* kRenderingModelReply = "SendRenderingModel";
constexpr const char* kRenderingModelRelease = "DeleteRenderingModel";

// A rendering model as other plug-ins read it in place: the table of virtual
// operations, the built flag, the object and material counts, then the arrays
// of object and material handles.
struct RenderingModelView {
  const void* vtable;
  int32_t built;
  int32_t object_count;
  int32_t material_count;
  MQObject* objects;
  MQMaterial* materials;
};

// "PeerSend": the peer sends `description` / `message` to the target and
// writes the target's answer to `result` (0 when no such plug-in is loaded:
// the frame's request cannot tell the two apart).
struct PeerSendRequest {
  uint32_t target_product = 0;
  uint32_t target_id = 0;
  const char* description = nullptr;
  void* message = nullptr;
  int32_t result = 0;  // out
};

// "PeerGetReceived" / "PeerLastReceived": one received message.
struct PeerReceivedRecord {
  int32_t index = 0;          // in for PeerGetReceived (0: the first); out for PeerLastReceived
  int32_t count = 0;          // out: messages received so far
  uint32_t src_product = 0;   // out: the sender
  uint32_t src_id = 0;
  char description[64] = {};  // out: NUL-terminated, cut to fit
  void* message = nullptr;    // out: the model of "SendRenderingModel" while the peer
                              // still holds it, else null
  int32_t answer = 0;         // out: what the peer answered the sender
};

}  // namespace quorvel_peer
