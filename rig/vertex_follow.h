#pragma once
// Moving objects by their global matrices, with their meshes following.
//
// The host keeps vertices in document space, apart from the object's
// transform: changing an object's matrix alone leaves its mesh where it was.
// The follow modes say how the mesh goes along when a bone's pivots move.
#include <vector>

#include "math/fmath.h"
#include "sdk/mq_types.h"

namespace quorvel {

enum VertexFollowMode : int {
  kFollowNone = 0,    // only the transforms change
  kFollowLocal = 1,   // the mesh keeps its place relative to the object
  kFollowRotate = 2,  // the mesh turns to keep pointing at the first child
  kFollowZScale = 3,  // ... and stretches along the bone by the length ratio
  kFollowScale = 4,   // ... and scales uniformly by the length ratio
};

// A bone whose direction turns by less than this (dot product of the unit
// directions at or above it) and whose length changes by no more than
// kFollowLengthTolerance keeps its mesh's orientation: the mesh translates.
constexpr float kFollowSameDirection = 0.99999f;
constexpr float kFollowLengthTolerance = 0.0001f;

// One object's move from the matrix it had when the move began to the one it
// gets now. The touched flags are kept by SetGlobalMatricesWithVertexFollow
// between the steps of one move, so that an object is only written when it
// differs, or differed, from what was recorded.
struct GlobalMatrixChange {
  MQObject object = nullptr;
  FMATRIX old_global;
  FMATRIX new_global;
  // Positions at the start of the move; vertices are computed from these,
  // never from what an earlier step wrote. Null: the mesh is left alone.
  const std::vector<FVECTOR3>* vertices = nullptr;
  // Positions in the list of the object's parent and first child, -1 when
  // that object is not listed (LinkGlobalMatrixChanges fills them).
  int parent = -1;
  int first_child = -1;
  bool matrix_touched = false;
  bool vertices_touched = false;
  bool set = false;  // written in the current call
};

// Finds each listed object's parent and first child in the list. Once per
// list: the steps of a move then ask the host nothing about the hierarchy.
void LinkGlobalMatrixChanges(MQDocument doc, std::vector<GlobalMatrixChange>& changes);

// The matrix that carries the object's recorded vertices along. `child`
// says whether the object has a first child, whose pivot moved from
// `old_child` to `new_child`. Rotating modes turn the mesh about the old
// pivot so that the bone's old direction becomes its new one, then carry it
// to the new pivot; without a child, or below the thresholds, the mesh only
// translates.
FMATRIX VertexFollowMatrix(int mode, const FMATRIX& old_global, const FMATRIX& new_global,
                           bool child, const FVECTOR3& old_child, const FVECTOR3& new_child);

// Gives each listed object its new global matrix, in list order (list
// parents before their children, as the document does), then moves the
// vertices of every listed object by its follow matrix (mode 0: none). The
// list must be linked. An object's first child counts for the follow matrix
// only when it is listed too. Objects that neither differ nor differed
// before, and whose parent was not set, are not written at all.
void SetGlobalMatricesWithVertexFollow(MQDocument doc, std::vector<GlobalMatrixChange>& changes,
                                       int mode);

}  // namespace quorvel
