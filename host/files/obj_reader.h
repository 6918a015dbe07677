#pragma once
// Wavefront OBJ import and export of polygon meshes.
//
// Reading keeps polygons as they are (no triangulation), makes one mesh per
// object or group, and keeps texture coordinates exactly as the file has them
// (OBJ's v axis points up; flipping is the caller's business). Normals, lines,
// points and vertex colours are not imported.
#include <string>
#include <utility>
#include <vector>

#include "sdk/mq_types.h"

namespace mqhost {

struct ImportedMesh {
  struct Face {
    std::vector<int> points;                   // indices into `positions`
    std::vector<std::pair<float, float>> uvs;  // one per point, or empty
    int material = -1;                         // index into the materials, or -1
  };
  std::string name;                // UTF-8, as the file has it (may be empty)
  std::vector<MQPoint> positions;  // only the vertices the faces use, in first-use order
  std::vector<Face> faces;
};

struct ImportedMaterial {
  std::string name;
  float diffuse_rgb[3] = {0.8f, 0.8f, 0.8f};
  float alpha = 1.0f;
};

// Reads OBJ text, with `mtl_text` standing in for the file any `mtllib` line
// names (empty: no materials). On failure answers false with a message that
// names the line where that can be told, and leaves the outputs untouched.
// Malformed: a non-numeric or missing coordinate, a face with fewer than 3 or
// more than 255 points (tinyobjloader's limit), an index that is zero, out of
// range or not an integer, a face whose corners do not all have (or all
// lack) texture coordinates, or a material colour or opacity that is not a
// finite number. Colours and opacities beyond 0..1 are clamped into it; `vw`
// (vertex weight) lines are ignored.
bool ReadObj(const std::string& obj_text, const std::string& mtl_text,
             std::vector<ImportedMesh>* meshes, std::vector<ImportedMaterial>* materials,
             std::string* error);
inline bool ReadObj(const std::string& obj_text, std::vector<ImportedMesh>* meshes,
                    std::vector<ImportedMaterial>* materials, std::string* error) {
  return ReadObj(obj_text, std::string(), meshes, materials, error);
}

// Reads an OBJ file (path in UTF-8); material libraries are looked up beside
// it, and one that is missing is not an error (its faces get material -1).
bool ReadObjFile(const std::string& path, std::vector<ImportedMesh>* meshes,
                 std::vector<ImportedMaterial>* materials, std::string* error);

// One `o` block per mesh with `v`, `vt` (one per corner of the faces that
// have texture coordinates) and `f` lines, indices counted across the file.
// When `mtllib` is given it is named in the file, and faces whose material is
// an index into `materials` get `usemtl` lines. OBJ names are single words, so
// material names are written with blanks replaced by '_'; an unnamed mesh is
// written as "mesh<N>" (1-based) so that it stays a block of its own.
// Reading the text back gives the same meshes when every mesh has faces, no
// face has more than 255 points, and positions are in first-use order.
std::string WriteObj(const std::vector<ImportedMesh>& meshes,
                     const std::vector<ImportedMaterial>& materials = {},
                     const std::string& mtllib = {});
// The material library for WriteObj: `newmtl`, `Kd` and `d` per material.
std::string WriteMtl(const std::vector<ImportedMaterial>& materials);

}  // namespace mqhost
