#pragma once
// The substitute host's document: the object list (which may hold empty
// positions), geometry, materials, user data and the hierarchy that the
// object depths imply. The C API in api_*.cpp is a thin layer over this.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/geometry/camera.h"
#include "host/geometry/transform.h"
#include "math/fmath.h"
#include "sdk/mq_types.h"

namespace mqhost {

class Document;

// Visibility bits of an object: what a drawing of it shows. 0 is hidden.
enum : uint32_t {
  kVisiblePoints = 1,
  kVisibleLines = 2,
  kVisibleFaces = 4,
  kVisibleVertexColors = 8,
  kVisibleDefault = kVisiblePoints | kVisibleLines | kVisibleFaces,
};

struct Vertex {
  MQPoint position{0.0f, 0.0f, 0.0f};
  uint32_t uid = 0;
  bool selected = false;
};

// A face of 1 (point), 2 (line) or more points; UVs and colours per corner.
// Whether it is shown is kept by its object (Object::FaceVisible).
struct Face {
  std::vector<int> points;
  int material = -1;  // -1: no material
  std::vector<MQCoordinate> uvs;
  std::vector<uint32_t> colors;
};

// One registered user-data kind; slot ids are index + 1, so 0 means none.
struct UserDataKind {
  uint32_t product_id = 0;
  uint32_t plugin_id = 0;
  std::string name;
  int type = 0;
  int bytes_per_element = 0;
};

class Object {
 public:
  std::string name;
  int depth = 0;
  uint32_t uid = 0;
  uint32_t visible = kVisibleDefault;
  bool locked = false;
  LocalTransform transform;
  int shading = 1;            // 0 flat, 1 smooth
  float smooth_angle = 59.5f; // degrees
  float color[3] = {1.0f, 1.0f, 1.0f};
  bool color_valid = false;
  std::vector<Vertex> vertices;
  std::vector<Face> faces;
  // Records by slot id: one per object, and bytes_per_element × vertex count.
  std::map<int, std::vector<uint8_t>> object_data;
  std::map<int, std::vector<uint8_t>> vertex_data;

  // The document that holds the object; null for a free object.
  Document* document() const { return document_; }

  // The local matrix of `transform`, composed again only when the transform
  // changed since the last call (anyone may write the field directly).
  const FMATRIX& LocalMatrix() const;
  // Whether the kept local matrix is still the transform's.
  bool LocalMatrixCurrent() const;

  // Appends a vertex; every allocated vertex slot grows by one zeroed record.
  // Its unique id comes from the document (a free object's vertices get
  // theirs when the object joins one). Returns its index.
  int AddVertex(const MQPoint& position);
  // Appends a face; indices out of range make it fail with -1.
  int AddFace(const std::vector<int>& points);
  // The faces that use the vertex, in face order (each once). Answered from
  // a vertex-to-face table built on first use and kept while faces are only
  // appended; a copy of the object starts without one.
  std::vector<int> RelatedFaces(int vertex) const;
  // The same without allocating: the number of faces, `out` (when not null)
  // filled with their indices.
  int RelatedFaces(int vertex, int* out) const;

  // Whether the face is shown (false for an index out of range). The flags
  // live beside the face records, a byte each, so that the visibility of
  // every face is read without walking the records; AddFace appends a shown
  // one, and a face appended to `faces` directly counts as shown until set.
  bool FaceVisible(int face) const {
    if (face < 0 || static_cast<size_t>(face) >= faces.size()) return false;
    return static_cast<size_t>(face) >= face_shown_.size() || face_shown_[static_cast<size_t>(face)] != 0;
  }
  void SetFaceVisible(int face, bool visible);
  // Per face, 1 when shown; entries past its end (faces appended directly)
  // are shown.
  const std::vector<uint8_t>& FaceShownFlags() const { return face_shown_; }

  // User data. A slot must be registered with the object's document.
  bool AllocObjectData(int slot);
  void FreeObjectData(int slot) { object_data.erase(slot); }
  bool ReadObjectData(int slot, int offset, int bytes, void* out) const;
  bool WriteObjectData(int slot, int offset, int bytes, const void* in);
  bool AllocVertexData(int slot);
  void FreeVertexData(int slot) { vertex_data.erase(slot); }
  bool ReadVertexData(int slot, int first, int count, int offset, int bytes, void* out) const;
  bool WriteVertexData(int slot, int first, int count, int offset, int bytes, const void* in);

  // A deep copy that belongs to no document (for undo states and drawing).
  std::unique_ptr<Object> Clone() const;

  // Per face, 1 when it has three points or more, faces the camera
  // (FacesCamera) and some part of it lies in the view (ViewVolume), whether
  // or not the object and the face are shown. The modeller works this out
  // for every frame it draws; the host keeps its last answer while the
  // camera and every vertex position stay the same and faces are only
  // appended (a copy of the object starts afresh).
  const std::vector<uint8_t>& FacesSeenBy(const Camera& camera) const;

 private:
  friend class Document;
  // The record size of a slot registered for `type` (MQUSERDATA_OBJECT or
  // MQUSERDATA_VERTEX); 0 for an unregistered slot or one of another kind.
  int RecordSize(int slot, int type) const;

  // The faces of each vertex in one array (compressed rows). Faces are never
  // edited in place, only appended, so the counts tell whether it still
  // describes them; copying an object drops it.
  struct FaceAdjacency {
    FaceAdjacency() = default;
    FaceAdjacency(const FaceAdjacency&) {}
    FaceAdjacency& operator=(const FaceAdjacency&) {
      built = false;
      return *this;
    }
    bool built = false;
    size_t face_count = 0;
    size_t vertex_count = 0;
    std::vector<int> first;  // vertex_count + 1 offsets into `faces`
    std::vector<int> faces;
  };
  const FaceAdjacency& Adjacency() const;
  mutable FaceAdjacency adjacency_;

  // The last answer of FacesSeenBy and what it was worked out from.
  struct FaceViewCache {
    FaceViewCache() = default;
    FaceViewCache(const FaceViewCache&) {}
    FaceViewCache& operator=(const FaceViewCache&) {
      built = false;
      return *this;
    }
    bool built = false;
    Camera camera;
    std::vector<MQPoint> positions;
    size_t face_count = 0;
    std::vector<uint8_t> seen;  // per face: faces the camera and overlaps the view
  };
  mutable FaceViewCache face_view_;

  // FaceVisible by face index; may be shorter than `faces`, never longer
  // once a face is added or set.
  std::vector<uint8_t> face_shown_;

  mutable bool local_valid_ = false;
  mutable LocalTransform local_of_;
  mutable FMATRIX local_;
  mutable uint64_t local_stamp_ = 0;  // changes whenever local_ is composed again
  // The global matrix as last computed, and what it was computed from.
  mutable bool global_valid_ = false;
  mutable FMATRIX global_;
  mutable uint64_t global_stamp_ = 0;
  mutable uint64_t global_local_stamp_ = 0;
  mutable const Object* global_parent_ = nullptr;
  mutable uint64_t global_parent_stamp_ = 0;
  // Whether the slot is allocated, [first, first + count) are vertices of this
  // object and [offset, offset + bytes) lies in a record (bytes 0: to its end).
  bool VertexRangeValid(int slot, int first, int count, int offset, int* bytes) const;
  Document* document_ = nullptr;
};

struct Material {
  std::string name;
  MQColor color{1.0f, 1.0f, 1.0f};
  float diffuse = 0.8f;
  float ambient = 0.6f;
  float emission = 0.0f;
  float specular = 0.0f;
  float power = 5.0f;
  float alpha = 1.0f;
  int shader = 0;        // integer value 0x101; kept, not drawn differently
  int vertex_color = 0;  // integer value 0x102: use vertex colours
  // The texture file's name as the document holds it (often relative to the
  // document's folder); empty for none.
  std::string texture;
  uint32_t uid = 0;
};

// Drawing objects and materials that a plug-in asked for; instant ones live
// for one frame.
struct DrawingObject {
  std::unique_ptr<Object> object;
  bool instant = false;
};
struct DrawingMaterial {
  std::unique_ptr<Material> material;
  int index = -1;
  bool instant = false;
};
// Drawing materials are numbered apart from the document's own, from this
// index up, as the modeller keeps them: a material the document gains later
// never takes a drawing material's number.
constexpr int kFirstDrawingMaterialIndex = 0x10000;

class Document {
 public:
  Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // --- objects; every count includes empty positions
  int ObjectCount() const { return static_cast<int>(objects_.size()); }
  Object* ObjectAt(int index) const {
    return index >= 0 && index < ObjectCount() ? objects_[static_cast<size_t>(index)].get() : nullptr;
  }
  int IndexOf(const Object* object) const;  // -1 when not in the list
  // Takes a free object into the list (at the end, or right after `after`).
  int AddObject(std::unique_ptr<Object> object);
  int InsertObject(std::unique_ptr<Object> object, const Object* after);
  // Leaves the position empty and destroys the object.
  void DeleteObject(int index);
  std::unique_ptr<Object> NewObject() const;  // a free object

  // --- hierarchy by depth in list order (cached; rebuilt after changes)
  Object* Parent(const Object* object) const;
  int ChildCount(const Object* object) const;
  Object* Child(const Object* object, int index) const;
  void SetDepth(Object* object, int depth);
  void HierarchyChanged() { hierarchy_valid_ = false; }

  // --- transforms: global = local · parent global
  FMATRIX LocalMatrix(const Object* object) const;
  FMATRIX GlobalMatrix(const Object* object) const;

  // --- materials
  int MaterialCount() const { return static_cast<int>(materials_.size()); }
  Material* MaterialAt(int index) const;
  int AddMaterial(std::unique_ptr<Material> material);
  void DeleteMaterial(int index);

  int current_object = -1;
  int current_material = -1;

  // --- vertex selection (kept on the vertices themselves)
  bool IsSelected(int object_index, int vertex_index) const;
  void SetSelected(int object_index, int vertex_index, bool selected);

  // --- user data kinds
  int RegisterUserData(const MQUserDataInfo& info);  // slot id, or 0
  const UserDataKind* Kind(int slot) const;
  const std::vector<UserDataKind>& kinds() const { return kinds_; }
  // Forgets every kind and all user data of every object and vertex, as a
  // modeller that keeps plug-in data only in plug-in elements would on
  // reopening a file.
  void DropUserData();

  // --- unique ids, never reused within the document
  uint32_t NextObjectUid() { return next_object_uid_++; }
  uint32_t NextVertexUid() { return next_vertex_uid_++; }
  uint32_t NextMaterialUid() { return next_material_uid_++; }
  // After loading ids from a file: continue above the largest one seen.
  void ReserveUids(uint32_t object_uid, uint32_t vertex_uid, uint32_t material_uid);

  // --- the scene (one camera)
  Camera camera;

  // --- drawing objects of plug-ins
  Object* CreateDrawingObject(int visibility, bool instant);
  Material* CreateDrawingMaterial(bool instant, int* index);
  bool DeleteDrawingObject(const Object* object);
  bool DeleteDrawingMaterial(const Material* material);
  void DiscardInstantDrawing();
  const std::vector<DrawingObject>& drawing_objects() const { return drawing_objects_; }
  const std::vector<DrawingMaterial>& drawing_materials() const { return drawing_materials_; }

  // --- undo: the document's content as a value
  struct State {
    std::vector<std::unique_ptr<Object>> objects;
    std::vector<std::unique_ptr<Material>> materials;
    int current_object = -1;
    int current_material = -1;
  };
  State Capture() const;
  // Objects that still exist at the same position keep their handles.
  void Restore(const State& state);
  // Replaces the whole content (a document read from a file): objects keep
  // the unique ids they bring, and new ids continue above the largest.
  void Replace(State state, std::vector<UserDataKind> kinds);

 private:
  void Adopt(Object* object);
  void RebuildHierarchy() const;
  // Whether the kept global matrix of the object at `index` still stands.
  bool GlobalMatrixCurrent(int index) const;

  std::vector<std::unique_ptr<Object>> objects_;
  std::vector<std::unique_ptr<Material>> materials_;
  std::vector<UserDataKind> kinds_;
  std::vector<DrawingObject> drawing_objects_;
  std::vector<DrawingMaterial> drawing_materials_;
  uint32_t next_object_uid_ = 1;
  uint32_t next_vertex_uid_ = 1;
  uint32_t next_material_uid_ = 1;

  // Document index by object, asked on every hierarchy query: open
  // addressing over a power-of-two table, the handle's address as the key
  // (never dereferenced, so a stale handle just answers -1).
  class IndexTable {
   public:
    void Rebuild(const std::vector<std::unique_ptr<Object>>& objects);
    int Find(const Object* object) const {
      if (slots_.empty()) return -1;
      for (size_t i = Hash(object) & mask_;; i = (i + 1) & mask_) {
        const Slot& slot = slots_[i];
        if (slot.object == object) return slot.index;
        if (slot.object == nullptr) return -1;
      }
    }

   private:
    struct Slot {
      const Object* object = nullptr;
      int index = -1;
    };
    size_t Hash(const Object* object) const {
      return static_cast<size_t>((reinterpret_cast<uintptr_t>(object) >> 4) * 0x9E3779B97F4A7C15ull >> shift_);
    }
    std::vector<Slot> slots_;  // at most half full, so a search always ends
    size_t mask_ = 0;
    int shift_ = 63;
  };

  mutable bool hierarchy_valid_ = false;
  mutable IndexTable index_of_;
  // Stamps of composed matrices: never reused, so a cached matrix can tell
  // whether what it was made from is still the same.
  mutable uint64_t matrix_stamps_ = 0;
  mutable std::vector<int> ancestry_;
  mutable std::vector<int> parent_;
  mutable std::vector<std::vector<int>> children_;
};

}  // namespace mqhost
