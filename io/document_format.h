#pragma once
// The rig's element tree inside the host document: one `model` element per
// save, holding every object's bone settings, weights and morph shapes and
// every pose's deviations from rest. Objects are named by their position in
// the host's object list; unique ids never reach the text.
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

class MQEXPDOC;

namespace quorvel {

// The version the writer stores; the reader skips any `model` below it.
constexpr int kDocumentFormatVersion = 10000;

// Adds one `model` below `element` describing the whole rig. The rig is only
// read. False, with nothing written, when the element, the document or the
// edit state is missing.
bool WriteDocument(MQXmlElement element, MQDocument doc, const RigEditState* state,
                   const RigSlotTable& slots);
bool WriteDocument(MQXmlElement element, const MQEXPDOC& model);

// Reads every `model` child of `element` in order into the document's rig
// records and the edit state's pose list (new poses go after existing ones
// and the last one read becomes current). Text from the file is not trusted:
// malformed numbers, out-of-range indices and long names fall back to
// defaults or skip the element. False when the element, the document or the
// edit state is missing.
bool ReadDocument(MQXmlElement element, MQDocument doc, RigEditState* state,
                  const RigSlotTable& slots);
bool ReadDocument(MQXmlElement element, MQEXPDOC& model);

}  // namespace quorvel
