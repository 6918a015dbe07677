#include "rig/flz_model.h"

#include <algorithm>

#include "sdk/host_api.h"

namespace {

void MQTHISCALL DestroyModel(FLZMODEL* self, unsigned int flags) {
  if ((flags & 1u) != 0) {
    delete self;
  } else {
    self->~FLZMODEL();
  }
}

}  // namespace

const FLZMODEL::VTABLE FLZMODEL::kVTable = {&DestroyModel};

FLZMODEL::~FLZMODEL() {
  for (int32_t i = 0; i < object_count_; ++i) {
    if (objects_[i] != nullptr) HostApi().MQObj_Delete(objects_[i]);
  }
  for (int32_t i = 0; i < material_count_; ++i) {
    if (materials_[i] != nullptr) HostApi().MQMat_Delete(materials_[i]);
  }
  delete[] objects_;
  delete[] materials_;
}

MQObject FLZMODEL::AddModelObject() {
  // The larger array exists before the host object does, so a failed
  // allocation cannot leave a host object that nobody owns.
  MQObject* grown = new MQObject[static_cast<std::size_t>(object_count_) + 1];
  MQObject obj = HostApi().MQ_CreateObject();
  if (obj == nullptr) {
    delete[] grown;
    return nullptr;
  }
  std::copy(objects_, objects_ + object_count_, grown);
  grown[object_count_] = obj;
  delete[] objects_;
  objects_ = grown;
  ++object_count_;
  return obj;
}

MQObject FLZMODEL::ObjectAt(int index) const {
  return index >= 0 && index < object_count_ ? objects_[index] : nullptr;
}

MQMaterial FLZMODEL::MaterialAt(int index) const {
  return index >= 0 && index < material_count_ ? materials_[index] : nullptr;
}
