#pragma once
// The flattened rendering model: a deformed copy of the document as free host
// objects, handed to another plug-in and destroyed when it comes back.
//
// Other plug-ins read this object in place, so its layout is an interface:
// the table of virtual operations, int32 built flag, int32 object count,
// int32 material count, the array of object handles and the array of
// material handles, each at its natural alignment (24 bytes in the 32-bit
// edition; 40 in the 64-bit one, with 4 bytes of padding before the arrays).
//
// A receiver built with the vendor's compiler may also destroy the model
// itself through slot 0 of the table, the way that compiler lays out a
// virtual destructor: one entry, `this` in ECX (RCX on x64) and an unsigned
// flag (EDX on x64) whose bit 0 asks for the memory to be freed as well. GCC would put two entries
// there, so the table is written out by hand instead of declared virtual.
#include <cstdint>
#include <type_traits>

#include "sdk/mq_types.h"

class FLZMODEL {
 public:
  // Slot 0: destroys the model; bit 0 of `flags` frees its memory too (with
  // this module's allocator, which made it).
  using DestroyProc = void(MQTHISCALL*)(FLZMODEL* self, unsigned int flags);
  struct VTABLE {
    DestroyProc destroy;
  };
  // The table every model starts with.
  static const VTABLE kVTable;

  FLZMODEL() = default;
  // Deletes every listed host object and material, then both arrays.
  ~FLZMODEL();

  FLZMODEL(const FLZMODEL&) = delete;
  FLZMODEL& operator=(const FLZMODEL&) = delete;

  // What a receiver does with slot 0.
  void Destroy(unsigned int flags) { vtable_->destroy(this, flags); }
  // The table in use; an owner that must hear of the model's end may put a
  // table of its own in place (see RENDERING_MODEL_LOANS).
  const VTABLE* VTable() const { return vtable_; }
  void SetVTable(const VTABLE* table) { vtable_ = table != nullptr ? table : &kVTable; }

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
  const VTABLE* vtable_ = &kVTable;
  int32_t built_ = 0;
  int32_t object_count_ = 0;
  int32_t material_count_ = 0;
  MQObject* objects_ = nullptr;
  MQMaterial* materials_ = nullptr;
};

static_assert(std::is_standard_layout_v<FLZMODEL>, "the table pointer is the first word");
static_assert(sizeof(FLZMODEL) == MQEditionSize(24, 40), "FLZMODEL is read in place by other plug-ins");
