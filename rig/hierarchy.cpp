#include "rig/hierarchy.h"

#include "rig/host_records.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

namespace {

int ChildCount(MQDocument doc, MQObject obj) {
  return doc != nullptr && obj != nullptr ? HostApi().MQDoc_GetChildObjectCount(doc, obj) : 0;
}

// A host object made by MQ_CreateObject that no document has taken yet: it is
// ours to delete until the document takes it.
class FreeHostObject {
 public:
  explicit FreeHostObject(MQObject obj) : obj_(obj) {}
  ~FreeHostObject() {
    if (obj_ != nullptr) HostApi().MQObj_Delete(obj_);
  }
  FreeHostObject(const FreeHostObject&) = delete;
  FreeHostObject& operator=(const FreeHostObject&) = delete;

  bool valid() const { return obj_ != nullptr; }

  // Hands the object to the document, after `after` or at the end of the list
  // when `after` is null, and gives it its depth. Null when the host refused
  // it (the object is then still ours and dies with this holder).
  MQObject PlaceInto(MQDocument doc, MQObject after, int depth) {
    if (obj_ == nullptr) return nullptr;
    const int index = after != nullptr ? HostApi().MQDoc_InsertObject(doc, obj_, after)
                                       : HostApi().MQDoc_AddObject(doc, obj_);
    if (index < 0) return nullptr;
    MQObject placed = obj_;
    obj_ = nullptr;
    HostApi().MQObj_SetIntValue(placed, MQOBJ_ID_DEPTH, depth);
    return placed;
  }

 private:
  MQObject obj_;
};

}  // namespace

MQObject FirstChild(MQDocument doc, MQObject obj) { return hr::FirstChild(doc, obj); }

int FirstChildIndex(MQDocument doc, MQObject obj) {
  MQObject child = FirstChild(doc, obj);
  return child != nullptr ? HostApi().MQDoc_GetObjectIndex(doc, child) : -1;
}

bool IsFirstChild(MQDocument doc, MQObject obj) {
  if (doc == nullptr || obj == nullptr) return false;
  MQObject parent = HostApi().MQDoc_GetParentObject(doc, obj);
  return parent != nullptr && ChildCount(doc, parent) > 0 &&
         HostApi().MQDoc_GetChildObject(doc, parent, 0) == obj;
}

bool IsChainEnd(MQDocument doc, MQObject obj) {
  return ChildCount(doc, obj) == 0 && IsFirstChild(doc, obj);
}

MQObject LastDescendant(MQDocument doc, MQObject obj) {
  if (doc == nullptr || obj == nullptr) return obj;
  // Each step goes one level down; a hierarchy cannot be deeper than the
  // object list is long, which bounds the walk should a host ever loop.
  const int limit = HostApi().MQDoc_GetObjectCount(doc);
  MQObject last = obj;
  for (int step = 0; step < limit; ++step) {
    const int count = ChildCount(doc, last);
    if (count <= 0) break;
    MQObject child = HostApi().MQDoc_GetChildObject(doc, last, count - 1);
    if (child == nullptr) break;
    last = child;
  }
  return last;
}

FVECTOR3 ObjectPivot(MQDocument doc, MQObject obj) { return hr::Pivot(doc, obj); }

void SetObjectGlobalMatrix(MQDocument doc, MQObject obj, const FMATRIX& global) {
  if (doc == nullptr || obj == nullptr) return;
  FMATRIX parent_inverse;
  if (MQObject parent = HostApi().MQDoc_GetParentObject(doc, obj)) {
    HostApi().MQDoc_GetGlobalInverseMatrix(doc, parent, parent_inverse.m);
  }
  FMATRIX local = global * parent_inverse;
  float rotation[3] = {0.0f, 0.0f, 0.0f};
  float translation[3] = {0.0f, 0.0f, 0.0f};
  float scale[3] = {1.0f, 1.0f, 1.0f};
  HostApi().MQMatrix_FloatValue(local.m, MQMATRIX_GET_ROTATION, rotation);
  HostApi().MQMatrix_FloatValue(local.m, MQMATRIX_GET_TRANSLATION, translation);
  HostApi().MQMatrix_FloatValue(local.m, MQMATRIX_GET_SCALING, scale);
  HostApi().MQObj_SetFloatArray(obj, MQOBJ_ID_ROTATION, rotation);
  HostApi().MQObj_SetFloatArray(obj, MQOBJ_ID_TRANSLATION, translation);
  HostApi().MQObj_SetFloatArray(obj, MQOBJ_ID_SCALING, scale);
}

void SetObjectPosition(MQDocument doc, MQObject obj, const FVECTOR3& position) {
  SetObjectGlobalMatrix(doc, obj, FMATRIX::Translation(position));
}

void HideAllObjects(MQDocument doc) {
  hr::ForEachObject(doc, [](MQObject obj, int) { HostApi().MQObj_SetVisible(obj, 0); });
}

MQObject MakeBone(MQDocument doc, MQObject base, int mode, const FVECTOR3& head,
                  const FVECTOR3& tail) {
  if (doc == nullptr) return nullptr;
  if (base != nullptr && HostApi().MQDoc_GetObjectIndex(doc, base) < 0) return nullptr;

  // A childless base becomes the head itself and needs only a tail object.
  // Every object is made before the document changes, so a refused object
  // leaves the document as it was.
  const bool base_is_head = base != nullptr && ChildCount(doc, base) == 0;
  FreeHostObject first(HostApi().MQ_CreateObject());
  // The tail object when a new head object is made.
  FreeHostObject second(base_is_head ? nullptr : HostApi().MQ_CreateObject());
  if (!first.valid() || (!base_is_head && !second.valid())) return nullptr;

  MQObject head_obj = nullptr;
  int depth = 0;
  if (base_is_head) {
    head_obj = base;
    depth = hr::Depth(base);
  } else {
    MQObject after = nullptr;
    if (base != nullptr) {
      after = LastDescendant(doc, base);
      depth = hr::Depth(base);
    } else if (MQObject current = hr::CurrentObject(doc)) {
      after = LastDescendant(doc, current);
      depth = hr::Depth(current) + (mode == kMakeChild ? 1 : 0);
    }
    head_obj = first.PlaceInto(doc, after, depth);
    if (head_obj == nullptr) return nullptr;
    SetObjectPosition(doc, head_obj, head);
  }

  FreeHostObject& tail_holder = base_is_head ? first : second;
  MQObject tail_obj = tail_holder.PlaceInto(doc, head_obj, depth + 1);
  if (tail_obj == nullptr) {
    // A head without its tail is no bone: take back what was added.
    if (!base_is_head) {
      HostApi().MQDoc_DeleteObject(doc, HostApi().MQDoc_GetObjectIndex(doc, head_obj));
    }
    return nullptr;
  }
  SetObjectPosition(doc, tail_obj, tail);
  return head_obj;
}

}  // namespace quorvel
