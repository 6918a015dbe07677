#pragma once
// The viewport's rendering copies: one host drawing object per document
// object, showing it morphed and skinned by the current pose (pose mode) or
// in its weight colours (weight mode). Each entry carries flags saying what
// the next refresh must redo; whoever changes what a copy shows marks it.
//
// Marks: the object list, the geometry, weights, morph targets or names
// changed -> MarkRebuild; the pose or its morph weights changed ->
// MarkDeform; weight colours changed -> MarkRecolour.
#include <cstdint>
#include <memory>
#include <vector>

#include "math/fmath.h"
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

// What the copies need of the plug-in object: the host's drawing objects and
// materials, which only a plug-in's requests make and delete.
class MED_DRAWING_HOST {
 public:
  virtual MQObject CreateDrawingObject(MQDocument doc, int visibility, BOOL instant) = 0;
  virtual MQMaterial CreateDrawingMaterial(MQDocument doc, int& index, BOOL instant) = 0;
  virtual void DeleteDrawingObject(MQDocument doc, MQObject object) = 0;
  virtual void DeleteDrawingMaterial(MQDocument doc, MQMaterial material) = 0;

 protected:
  MED_DRAWING_HOST() = default;
  MED_DRAWING_HOST(const MED_DRAWING_HOST&) = default;
  MED_DRAWING_HOST& operator=(const MED_DRAWING_HOST&) = default;
  ~MED_DRAWING_HOST() = default;
};

struct SkinCache;
struct SkinScratch;

// One rendering copy.
struct DrawWorkObj {
  static constexpr uint32_t kRebuild = 1u << 0;
  static constexpr uint32_t kDeform = 1u << 1;
  static constexpr uint32_t kRecolour = 1u << 2;
  static constexpr uint32_t kAll = kRebuild | kDeform | kRecolour;

  DrawWorkObj();
  ~DrawWorkObj();
  DrawWorkObj(const DrawWorkObj&) = delete;
  DrawWorkObj& operator=(const DrawWorkObj&) = delete;

  uint32_t flags = kAll;
  MQObject drawing = nullptr;  // the host drawing object, or none
  int32_t source = -1;         // unique id of the source object
  // What deforming this copy again may reuse; dropped by every rebuild.
  std::unique_ptr<SkinCache> cache;
};

// The visibility value the copies are created with (faces).
constexpr int kCopyDrawingVisibility = 4;

class RENDERING_COPIES {
 public:
  explicit RENDERING_COPIES(MED_DRAWING_HOST& host);
  // The host objects are not touched here: they belong to a document, which
  // DeleteAll names.
  ~RENDERING_COPIES();
  RENDERING_COPIES(const RENDERING_COPIES&) = delete;
  RENDERING_COPIES& operator=(const RENDERING_COPIES&) = delete;

  // Brings every copy up to date for the document: entries of deleted
  // objects go, new objects get one, and each marked entry is rebuilt,
  // recoloured (while `weight_colours`) and deformed (skinned by the current
  // pose while `deform`).
  void Refresh(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
               bool weight_colours, bool deform);

  void MarkRebuild() { Mark(DrawWorkObj::kAll); }
  void MarkDeform() { Mark(DrawWorkObj::kDeform); }
  void MarkRecolour() { Mark(DrawWorkObj::kRecolour); }
  // Every entry and its drawing object.
  void DeleteAll(MQDocument doc);
  // DeleteAll, and the weight colour material too (the document ends).
  void Release(MQDocument doc);

  const std::vector<std::unique_ptr<DrawWorkObj>>& Entries() const { return entries_; }
  MQMaterial WeightColourMaterial() const { return material_; }
  int WeightColourMaterialIndex() const { return material_index_; }

 private:
  void Mark(uint32_t bits);
  void EnsureMaterial(MQDocument doc);
  // A new drawing object for the entry, filled from its source.
  void MakeCopy(MQDocument doc, const RigSlotTable& slots, DrawWorkObj& entry, MQObject source);

  MED_DRAWING_HOST& host_;
  std::vector<std::unique_ptr<DrawWorkObj>> entries_;
  MQMaterial material_ = nullptr;
  int material_index_ = -1;
  // Kept between refreshes so that a frame of a drag allocates nothing.
  std::unique_ptr<SkinScratch> scratch_;
  std::vector<FMATRIX> matrices_;
  std::vector<FMATRIX> palette_;
};

}  // namespace quorvel
