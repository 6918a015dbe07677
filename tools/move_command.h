#pragma once
// The move tool: edits the rest skeleton. Pivots and bodies are dragged with
// the transform handle (or, in IK mode, bent with the IK solver), changing
// the objects' own transforms, and the meshes follow by the vertex follow
// mode. A click into empty space drags out a selection rectangle.
#include <memory>
#include <string>
#include <vector>

#include "deform/ik_solver.h"
#include "rig/vertex_follow.h"
#include "tools/command_framework.h"
#include "tools/picking.h"

// One document object as the move tool recorded it when the selection was
// made.
struct MoveWorkObj {
  enum Flag : uint32_t {
    kMoves = 1u << 0,          // moves in this step
    kVisible = 1u << 1,        // visible at recording
    kPivotSelected = 1u << 2,  // OB_SEL_PIVOT at recording
    kBodySelected = 1u << 3,   // OB_SEL_BODY at recording
  };

  bool Has(Flag bit) const { return (flags & bit) != 0; }

  MQObject handle = nullptr;
  int32_t object = -1;  // unique id
  uint32_t flags = 0;
  FMATRIX current;   // global matrix as moved so far
  FMATRIX recorded;  // global matrix at recording
  int tail = -1;     // the record of the first child, -1 none
  std::vector<FVECTOR3> vertices;  // positions at recording
  std::string name;
};

class COMPROC_MOVE final : public MED_COMPROC_BASE {
 public:
  int OnDraw(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnLeftButtonDown(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnLeftButtonMove(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnLeftButtonUp(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnMouseMove(MED_COMPROC_CALLBACK_BASE& cb) override;
  int OnKeyDown(MED_COMPROC_CALLBACK_BASE& cb) override;

  const std::vector<MoveWorkObj>& work() const { return work_; }
  const RUBBER_BAND& rectangle() const { return rectangle_; }

  // Records every object of the document: matrices, selection, vertices.
  void Record(MQDocument doc, const quorvel::RigSlotTable& slots);
  // Applies a step transform to the records that move; true when any does.
  bool ApplyStep(const FMATRIX& step);
  // Writes the records' current matrices into the document.
  void ApplyToDocument(MQDocument doc, int follow_mode);

 private:
  // The solved IK model's changes as transforms of the rest skeleton.
  void ApplyIkResult(MQDocument doc, int follow_mode);
  // Each record's node of the IK model (null without a model or node).
  void LinkModel();
  // After a drag: the pose evaluated again about the moved pivots.
  static void PoseOnNewPivots(const TOOL_CONTEXT& tool);
  // The records still describe the document's objects.
  bool RecordValid(MQDocument doc) const;

  RUBBER_BAND rectangle_;
  MED_SELECTITEM hover_;
  MED_USELECT picker_;
  DRAG_RECORD drag_;
  std::vector<MoveWorkObj> work_;
  std::vector<quorvel::GlobalMatrixChange> changes_;  // one per record
  MQDocument recorded_doc_ = nullptr;
  std::unique_ptr<quorvel::UBONEIK_MODEL> model_;
  std::vector<const quorvel::UBONEIK_BONE*> nodes_;  // one per record
  std::vector<FMATRIX> world_;  // kept between steps for its memory
  // The IK model solves the rest skeleton, whatever pose is current.
  quorvel::RigEditState rest_;
  int modified_ = 0;
  bool pressed_ = false;
};
