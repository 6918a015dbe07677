#pragma once
// The host's object hierarchy and object transforms as the rig uses them.
//
// A bone is an object whose pivot (the translation of its global matrix) is
// the bone's start and whose first child's pivot is its end. The hierarchy is
// the host's: depth, parent and children in order. Every function takes the
// document and answers null, -1, false or the origin when it cannot act.
#include "math/fmath.h"
#include "sdk/mq_types.h"

namespace quorvel {

// ---------------------------------------------------------------- structure

// Child 0, or null when the object has no children.
MQObject FirstChild(MQDocument doc, MQObject obj);
// Its document index, or -1.
int FirstChildIndex(MQDocument doc, MQObject obj);
// The object has a parent and is that parent's child 0.
bool IsFirstChild(MQDocument doc, MQObject obj);
// The object has no children and IsFirstChild.
bool IsChainEnd(MQDocument doc, MQObject obj);
// The object itself without children, otherwise LastDescendant of its last
// child: inserting after it appends to the object's subtree.
MQObject LastDescendant(MQDocument doc, MQObject obj);

// ---------------------------------------------------------------- transforms

// Translation of the object's global matrix, in document space; the origin
// without document or object.
FVECTOR3 ObjectPivot(MQDocument doc, MQObject obj);

// Sets the object's local scale, rotation and translation so that its global
// matrix becomes `global` (local = global · inverse parent global). Shear,
// which the host's local transform cannot hold, is dropped.
void SetObjectGlobalMatrix(MQDocument doc, MQObject obj, const FMATRIX& global);

// Global matrix = translation by `position`: the object's pivot moves there and
// its world rotation and scale become the identity.
void SetObjectPosition(MQDocument doc, MQObject obj, const FVECTOR3& position);

// Hides every object of the document.
void HideAllObjects(MQDocument doc);

// ---------------------------------------------------------------- bone making

// How MakeBone places a bone made in empty space below the host's current
// object: as its last child (the make-child mode) or as its next sibling.
enum MakeBoneMode : int {
  kMakeChild = 0,
  kMakeSibling = 1,
};

// Makes a bone from `head` to `tail` (document space) and answers its head
// object, or null when the host refused a new object (nothing is left
// behind then).
//  - base with children: a new head object after the base's subtree at the
//    base's depth (a sibling), placed at `head`;
//  - base without children: the base itself is the head (not moved);
//  - no base: a new head object after the subtree of the host's current
//    object, at its depth (plus one in kMakeChild mode), or appended at depth
//    0 without a current object; placed at `head`.
// In every case a new tail object follows the head at the head's depth + 1,
// placed at `tail`. The new objects get no rig records; the caller refreshes
// the document model for that.
MQObject MakeBone(MQDocument doc, MQObject base, int mode, const FVECTOR3& head,
                  const FVECTOR3& tail);

}  // namespace quorvel
