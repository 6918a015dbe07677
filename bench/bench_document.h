#pragma once
// A fresh host document for the benchmarks, with the rig's slots registered;
// the plug-in's host API table is filled from the host module as MQInit does.
#include <utility>

#include "host/core/api.h"
#include "host/core/host.h"
#include "rig/slot_table.h"
#include "sdk/host_api.h"

class BenchDocument {
 public:
  BenchDocument() {
    ok_ = LoadHostApi(mqhost::Host::OwnModulePath().c_str(), HostApi()) == TRUE;
    document_ = mqhost::Host::Instance().NewDocument();
    doc_ = mqhost::ToHandle(document_);
    ok_ = ok_ && quorvel::RegisterRigSlots(doc_, slots_);
  }
  ~BenchDocument() { mqhost::Host::Instance().CloseDocument(document_); }
  BenchDocument(const BenchDocument&) = delete;
  BenchDocument& operator=(const BenchDocument&) = delete;

  bool ok() const { return ok_; }
  MQDocument doc() const { return doc_; }
  mqhost::Document& document() { return *document_; }
  const quorvel::RigSlotTable& slots() const { return slots_; }

  // An object at the end of the list, `depth` deep, `offset` from its parent.
  MQObject Append(int depth, const FVECTOR3& offset) {
    auto object = document_->NewObject();
    object->depth = depth;
    object->transform.translation = offset;
    mqhost::Object* raw = object.get();
    document_->AddObject(std::move(object));
    return mqhost::ToHandle(raw);
  }

 private:
  mqhost::Document* document_ = nullptr;
  MQDocument doc_ = nullptr;
  quorvel::RigSlotTable slots_;
  bool ok_ = false;
};
