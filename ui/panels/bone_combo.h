#pragma once
// A combo box of the document's bones: each item the object's name, its data
// the object's unique id.
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"
#include "ui/toolkit/controls.h"

class DLP_BONECBOX : public UDLGCBOX {
 public:
  // Every object in document order; `selected_body_only`: only objects whose
  // body is selected; `with_child_only`: only objects that have a child.
  void Fill(MQDocument doc, const quorvel::RigSlotTable& slots, bool selected_body_only,
            bool with_child_only);
  // The item of object `unique_id`, or no selection.
  void Select(int unique_id);
  // The unique id of the selected item, -1 for none.
  int SelectedId() const;
};
