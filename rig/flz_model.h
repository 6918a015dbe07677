#pragma once
// The flattened rendering model: a deformed copy of the document as free host
// objects, handed to another plug-in and destroyed when it comes back.
//
// Other plug-ins read this object in place, so its layout is an interface of
// the 32-bit build (24 bytes): the table of virtual operations (slot 0 the
// destructor), int32 built flag, int32 object count, int32 material count,
// the array of object handles and the array of material handles.
#include <cstdint>

#include "sdk/mq_types.h"

class FLZMODEL {
 public:
  FLZMODEL() = default;
  // Deletes every listed host object and material, then both arrays.
  virtual ~FLZMODEL();

  FLZMODEL(const FLZMODEL&) = delete;
  FLZMODEL& operator=(const FLZMODEL&) = delete;

  // A fresh free host object appended to the model (which owns it from now
  // on); the array grows by exactly one entry. Null when the host made no
  // object; the model is then unchanged.
  MQObject AddModelObject();

  bool built() const { return built_ != 0; }
  void SetBuilt(bool built) { built_ = built ? 1 : 0; }

  int ObjectCount() const { return object_count_; }
  // Null outside 0..count-1.
  MQObject ObjectAt(int index) const;
  int MaterialCount() const { return material_count_; }
  MQMaterial MaterialAt(int index) const;

 private:
  // The arrays are plain pointers owned by hand rather than unique_ptr<T[]>:
  // the receiving plug-ins read the two pointers at fixed offsets, and only a
  // raw pointer member has a layout the language pins down.
  int32_t built_ = 0;
  int32_t object_count_ = 0;
  int32_t material_count_ = 0;
  MQObject* objects_ = nullptr;
  MQMaterial* materials_ = nullptr;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(FLZMODEL) == 24, "FLZMODEL is read in place by other plug-ins");
#endif
