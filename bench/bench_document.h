#pragma once
// A fresh host document for the benchmarks, with the rig's slots registered;
// the plug-in's host API table is filled from the host module as MQInit does.
#include <benchmark/benchmark.h>

#include <utility>

#include "host/core/api.h"
#include "deform/rendering_copies.h"
#include "host/core/host.h"
#include "rig/slot_table.h"
#include "sdk/host_api.h"

// False, with the benchmark skipped, when the substitute host did not load.
inline bool HostReady(bool ok, benchmark::State& state) {
  if (!ok) state.SkipWithError("substitute host not available");
  return ok;
}

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

// The rendering copies' drawing objects straight from the host document.
class DocumentDrawingHost : public quorvel::MED_DRAWING_HOST {
 public:
  explicit DocumentDrawingHost(mqhost::Document& document) : document_(document) {}
  MQObject CreateDrawingObject(MQDocument, int visibility, BOOL instant) override {
    return mqhost::ToHandle(document_.CreateDrawingObject(visibility, instant != FALSE));
  }
  MQMaterial CreateDrawingMaterial(MQDocument, int& index, BOOL instant) override {
    return mqhost::ToHandle(document_.CreateDrawingMaterial(instant != FALSE, &index));
  }
  void DeleteDrawingObject(MQDocument, MQObject object) override {
    document_.DeleteDrawingObject(mqhost::ToObject(object));
  }
  void DeleteDrawingMaterial(MQDocument, MQMaterial material) override {
    document_.DeleteDrawingMaterial(mqhost::ToMaterial(material));
  }

 private:
  mqhost::Document& document_;
};
