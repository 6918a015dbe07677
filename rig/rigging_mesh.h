#pragma once
// The mesh and the bones as the rigging algorithms (automatic weights,
// mirroring, smoothing) see them: plain copies of one host object's vertices
// and faces and of the rig's bones, in document space, so that the
// algorithms run and are tested without a host.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "math/fmath.h"

namespace quorvel {

// One object's mesh. Face f uses face_vertices[face_start[f] .. face_start[f + 1]).
// Faces of fewer than three vertices (lines) and indices outside the
// positions are tolerated: each algorithm skips what it cannot use.
struct RigMesh {
  std::vector<FVECTOR3> positions;
  std::vector<int32_t> face_start{0};
  std::vector<int32_t> face_vertices;

  int VertexCount() const { return static_cast<int>(positions.size()); }
  int FaceCount() const { return face_start.empty() ? 0 : static_cast<int>(face_start.size()) - 1; }
  void AddFace(std::initializer_list<int32_t> vertices) {
    face_vertices.insert(face_vertices.end(), vertices);
    face_start.push_back(static_cast<int32_t>(face_vertices.size()));
  }
};

// One bone of the rig: the object's pivot is its head, its first child's
// pivot its tail (the head again for a joint without children).
struct RigBone {
  int32_t id = 0;    // unique id of the bone object, as weights name it
  std::string name;  // the object's name, in the system code page
  FVECTOR3 head;
  FVECTOR3 tail;
  int parent = -1;  // index of the parent bone in the same list, -1 for none
};

}  // namespace quorvel
