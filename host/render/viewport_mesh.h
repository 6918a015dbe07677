#pragma once
// What the viewport shows of a document, as lists of coloured points, lines
// and triangles in world space, ready to be drawn through the scene's camera
// (host/render/gl_viewport.h). Every colour is worked out here, lighting
// included, so that drawing is plain coloured primitives.
//
// What is shown:
// - the document's objects whose visibility is not 0: faces of three points
//   or more as surfaces in their material (the default material without
//   one), with the per-corner vertex colours in place of the material colour
//   when the material asks for them; two-point faces as lines and one-point
//   faces as points, in the material colour, unlit;
// - then the drawing objects of plug-ins, by their visibility bits: bit 0
//   the one-point faces as points, bit 1 the two-point faces and the edges of
//   larger faces as lines, both in the object colour when the plug-in set one
//   (else the face's material colour, else white); bit 2 the larger faces as
//   surfaces in their material, else in the object colour. The plug-ins'
//   points and lines are an overlay: drawn over everything, so that a rig's
//   bones show inside the mesh they move.
// Hidden faces show nowhere. Vertex positions are document coordinates (an
// object's transform places its pivot, not its vertices). Vertex colours are
// 0xAABBGGRR: red in the low byte, as plug-ins pack them.
//
// Lighting: one light shines from the camera along its viewing direction, so
// a surface seen head-on is lit fully and one seen edge-on only by ambient
// and emitted light (LightFactor). Specular highlights and textures are not
// drawn; the material's alpha (times the vertex colour's) blends.
//
// Smoothing: on an object with smooth shading a corner's normal is the mean
// of the normals of the object's faces at that vertex that differ from the
// corner's own face by at most the object's smoothing angle; flat objects
// and sharper edges show each face's own normal.
//
// Surfaces are indexed: corners at the same vertex of an object with the same
// colour share one drawn vertex, so a smooth mesh sends each of its vertices
// to the GPU once instead of once per corner (about six times on a grid).
// Triangles turned clearly away from the camera are left out: drawing would
// cull them anyway.
#include <cstdint>
#include <vector>

#include "host/core/document.h"

namespace mqhost {

// One vertex as drawing takes it: the GL_C4UB_V3F interleaved layout.
struct MeshVertex {
  uint8_t color[4];  // r, g, b, a
  float position[3];
};
static_assert(sizeof(MeshVertex) == 16, "GL_C4UB_V3F vertex layout");

// Triangles as three indices into `vertices` each, in drawing order.
struct IndexedTriangles {
  std::vector<MeshVertex> vertices;
  std::vector<uint32_t> indices;

  size_t TriangleCount() const { return indices.size() / 3; }
  void Clear() {
    vertices.clear();
    indices.clear();
  }
};

struct ViewportMesh {
  IndexedTriangles triangles;              // opaque surfaces
  IndexedTriangles translucent_triangles;  // surfaces with alpha below 1
  std::vector<MeshVertex> lines;                  // two vertices each
  std::vector<MeshVertex> points;
  std::vector<MeshVertex> overlay_lines;          // plug-ins' lines and points, drawn last
  std::vector<MeshVertex> overlay_points;

  // Empties every list and keeps the storage for the next frame.
  void Clear();
};

// How much of the light reaches the eye from ambient light of this strength.
constexpr float kAmbientLight = 0.25f;

// The brightness a surface of `material` shows its colour with, when its
// normal turned toward the viewer makes cos = `facing` with the direction
// back to the camera: min(1, emission + ambient × kAmbientLight +
// diffuse × max(0, facing)), never below 0.
float LightFactor(const Material& material, float facing);

// Fills `mesh` with what the viewport of `document` shows through its camera.
void BuildViewportMesh(const Document& document, ViewportMesh* mesh);

}  // namespace mqhost
