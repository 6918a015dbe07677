#pragma once
// A rigged model as it travels between a document and a glTF 2.0 file: what
// the exporter writes and what the importer reads, free of the host. The
// document side (main/gltf_exchange.h) fills it from the open document and
// applies it back; io/gltf_export.h and io/gltf_import.h turn it into a file
// and back.
//
// Everything is in the modeller's frame and units (right-handed, Y up, one
// modeller unit per unit); the exporter and importer apply the unit scale.
// Text is UTF-8.
//
// The file this becomes (written by the exporter, recognised by the importer):
// - one node per object, in the document's hierarchy. An object's rest
//   transform is a translation only: its pivot minus its parent's pivot (its
//   pivot for a root), so a joint's rest global matrix is the translation to
//   its pivot and its inverse bind matrix the translation back.
// - a posed object's node takes translation (rest + pose t), rotation q and
//   scale s: exactly the pose evaluation's "about the pivot, in document
//   axes" matrix, composed by the hierarchy.
// - an object with faces and no weights carries its mesh on its own node,
//   with positions relative to its pivot (it rides rigidly with that node).
// - an object with weights keeps its node in the hierarchy (it may be a bone
//   or have children) and its skinned mesh sits on a separate root node of
//   the same name, without a transform, positions in document coordinates;
//   that node's extras {"quorvel": {"object": <index of the object's node>}}
//   tie the two together again on import.
// - when there is a skin, every object node hangs below one added root node
//   named "rig" with extras {"quorvel": {"role": "root"}}; it is the skin's
//   skeleton and its first joint (vertices with no usable weight hold to it,
//   so they stay where they are, as the plug-in leaves them).
// - one animation per pose, named after the pose, keyframe at time 0; then
//   one animation "poses" with extras {"quorvel": {"role": "sequence"}} that
//   plays them a second apart. The importer makes poses of the others only.
// - asset.extras {"quorvel": {"unitScale": s}}: metres per modeller unit.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "math/fmath.h"

namespace quorvel::gltf {

constexpr int kNoMaterial = -1;
constexpr int kNoParent = -1;

// A run of elements held elsewhere (a face's corners, a vertex's weights):
// valid while what holds them is not resized.
template <typename T>
class Span {
 public:
  Span() = default;
  Span(T* data, size_t size) : data_(data), size_(size) {}
  template <typename U, typename = std::enable_if_t<std::is_same_v<std::remove_const_t<T>, U>>>
  Span(const std::vector<U>& v) : data_(v.data()), size_(v.size()) {}
  template <typename U, typename = std::enable_if_t<std::is_same_v<T, U>>>
  Span(std::vector<U>& v) : data_(v.data()), size_(v.size()) {}

  T* begin() const { return data_; }
  T* end() const { return data_ + size_; }
  T* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](size_t i) const { return data_[i]; }

 private:
  T* data_ = nullptr;
  size_t size_ = 0;
};

struct Material {
  std::string name;
  float color[3] = {1.0f, 1.0f, 1.0f};
  float diffuse = 0.8f;
  float alpha = 1.0f;
  bool vertex_colors = false;
  // The texture file's name as the document holds it (often relative to the
  // document's folder); empty for none.
  std::string texture;
};

struct BoneWeight {
  int bone = -1;  // index into Scene::objects
  float weight = 0.0f;
};

struct MorphTarget {
  std::string name;
  int slot = -1;                    // the plug-in's morph index 0..19
  std::vector<FVECTOR3> positions;  // one per vertex: the target's shape, not a delta
};

// Faces and weights are held flat, a few arrays per object rather than small
// arrays per face and per vertex: a dense mesh would spend more on their
// bookkeeping than on the data.
struct Object {
  std::string name;
  int parent = kNoParent;  // index into Scene::objects, always below this one's
  FVECTOR3 pivot;          // the translation of the object's global matrix
  bool visible = true;
  int shading = 1;             // 0 flat, 1 smooth
  float smooth_angle = 59.5f;  // degrees
  // Base positions (with a morph target current, the stored base shape).
  std::vector<FVECTOR3> vertices;
  // The polygons of the modeller. Face f's corners are face_start[f] up to
  // face_start[f + 1], in the modeller's order (clockwise seen from the
  // front); each corner has its point (a vertex index), and, unless no face
  // has them (the array is then empty), a texture coordinate and a vertex
  // colour (0xAABBGGRR). face_materials holds one index per face.
  std::vector<uint32_t> face_start{0};
  std::vector<int> corner_points;
  std::vector<FVECTOR2> corner_uv;
  std::vector<uint32_t> corner_colors;
  std::vector<int> face_materials;
  // Empty for an object without weights; otherwise vertex v's list is
  // weight_entries[weight_start[v]] up to weight_entries[weight_start[v + 1]]
  // (a list may be empty: that vertex is not deformed). The plug-in keeps up
  // to four entries; a file may bring more.
  std::vector<uint32_t> weight_start;
  std::vector<BoneWeight> weight_entries;
  std::vector<MorphTarget> morphs;

  size_t FaceCount() const { return face_start.empty() ? 0 : face_start.size() - 1; }
  bool HasFaces() const { return FaceCount() != 0; }
  size_t CornerCount(size_t f) const { return face_start[f + 1] - face_start[f]; }
  Span<const int> PointsOf(size_t f) const { return {corner_points.data() + face_start[f], CornerCount(f)}; }
  Span<int> PointsOf(size_t f) { return {corner_points.data() + face_start[f], CornerCount(f)}; }
  bool HasUv() const { return !corner_uv.empty(); }
  bool HasColors() const { return !corner_colors.empty(); }

  void ReserveFaces(size_t faces, size_t corners) {
    face_start.reserve(faces + 1);
    face_materials.reserve(faces);
    corner_points.reserve(corners);
  }
  void ReserveCorners(size_t corners, bool uv, bool colors) {
    corner_points.reserve(corners);
    if (uv) corner_uv.reserve(corners);
    if (colors) corner_colors.reserve(corners);
  }
  // Adds a face. Texture coordinates or colours of another count than the
  // points are none; a face without them, among faces with them, takes (0, 0)
  // and white.
  void AddFace(Span<const int> points, Span<const FVECTOR2> uv = {}, Span<const uint32_t> colors = {},
               int material = kNoMaterial) {
    if (face_start.empty()) face_start.push_back(0);
    const size_t before = corner_points.size();
    const size_t n = points.size();
    corner_points.insert(corner_points.end(), points.begin(), points.end());
    if (uv.size() == n && n != 0) {
      corner_uv.resize(before, FVECTOR2());
      corner_uv.insert(corner_uv.end(), uv.begin(), uv.end());
    } else if (!corner_uv.empty()) {
      corner_uv.resize(before + n, FVECTOR2());
    }
    if (colors.size() == n && n != 0) {
      corner_colors.resize(before, 0xFFFFFFFFu);
      corner_colors.insert(corner_colors.end(), colors.begin(), colors.end());
    } else if (!corner_colors.empty()) {
      corner_colors.resize(before + n, 0xFFFFFFFFu);
    }
    face_start.push_back(static_cast<uint32_t>(corner_points.size()));
    face_materials.push_back(material);
  }
  void ClearFaces() {
    face_start.assign(1, 0);
    corner_points.clear();
    corner_uv.clear();
    corner_colors.clear();
    face_materials.clear();
  }

  bool HasWeights() const { return !weight_start.empty(); }
  size_t WeightListCount() const { return weight_start.empty() ? 0 : weight_start.size() - 1; }
  // Vertex v's weights; none past the lists.
  Span<const BoneWeight> WeightsOf(size_t v) const {
    if (v + 1 >= weight_start.size()) return {};
    return {weight_entries.data() + weight_start[v], weight_start[v + 1] - weight_start[v]};
  }
  Span<BoneWeight> WeightsOf(size_t v) {
    if (v + 1 >= weight_start.size()) return {};
    return {weight_entries.data() + weight_start[v], weight_start[v + 1] - weight_start[v]};
  }
  void ReserveWeights(size_t vertices, size_t entries) {
    weight_start.reserve(vertices + 1);
    weight_entries.reserve(entries);
  }
  // Appends the next vertex's list.
  void AddVertexWeights(Span<const BoneWeight> list) {
    if (weight_start.empty()) weight_start.push_back(0);
    weight_entries.insert(weight_entries.end(), list.begin(), list.end());
    weight_start.push_back(static_cast<uint32_t>(weight_entries.size()));
  }
};

// One object's part in a pose: the pose record and its morph weights by slot.
struct PoseState {
  FVECTOR3 translation{0.0f, 0.0f, 0.0f};
  FVECTOR3 scale{1.0f, 1.0f, 1.0f};
  FQUAT rotation;
  std::array<float, 20> morph_weights{};
};

struct Pose {
  std::string name;
  std::vector<PoseState> objects;  // one per object of the scene, in order
};

struct Scene {
  std::vector<Object> objects;  // parents before children
  std::vector<Material> materials;
  std::vector<Pose> poses;
  // The folder textures are looked for in (the document's), empty for none.
  std::string texture_folder;
};

}  // namespace quorvel::gltf
