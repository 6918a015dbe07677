#include "host/core/document.h"

#include <algorithm>
#include <cstring>

namespace mqhost {

// ---------------------------------------------------------------- Object

int Object::AddVertex(const MQPoint& position) {
  Vertex vertex;
  vertex.position = position;
  if (document_ != nullptr) vertex.uid = document_->NextVertexUid();
  vertices.push_back(vertex);
  for (auto& [slot, bytes] : vertex_data) {
    bytes.resize(bytes.size() + static_cast<size_t>(RecordSize(slot, MQUSERDATA_VERTEX)), 0);
  }
  return static_cast<int>(vertices.size()) - 1;
}

int Object::AddFace(const std::vector<int>& points) {
  if (points.empty()) return -1;
  for (int point : points) {
    if (point < 0 || point >= static_cast<int>(vertices.size())) return -1;
  }
  Face face;
  face.points = points;
  face.uvs.assign(points.size(), MQCoordinate{0.0f, 0.0f});
  face.colors.assign(points.size(), 0xFFFFFFFFu);
  // Faces appended directly before this one are shown; flags left over from
  // a face list cleared directly are dropped.
  face_shown_.resize(faces.size(), 1);
  face_shown_.push_back(1);
  faces.push_back(std::move(face));
  return static_cast<int>(faces.size()) - 1;
}

void Object::SetFaceVisible(int face, bool visible) {
  if (face < 0 || static_cast<size_t>(face) >= faces.size()) return;
  face_shown_.resize(faces.size(), 1);
  face_shown_[static_cast<size_t>(face)] = visible ? 1 : 0;
}

const Object::FaceAdjacency& Object::Adjacency() const {
  FaceAdjacency& a = adjacency_;
  if (a.built && a.face_count == faces.size() && a.vertex_count == vertices.size()) return a;
  const size_t n = vertices.size();
  a.first.assign(n + 1, 0);
  // A face naming a vertex twice counts once.
  const auto each_vertex_once = [this](size_t f, auto&& visit) {
    const std::vector<int>& points = faces[f].points;
    for (size_t k = 0; k < points.size(); ++k) {
      if (std::find(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(k), points[k]) ==
          points.begin() + static_cast<std::ptrdiff_t>(k)) {
        visit(points[k]);
      }
    }
  };
  for (size_t f = 0; f < faces.size(); ++f) {
    each_vertex_once(f, [&](int v) {
      if (v >= 0 && static_cast<size_t>(v) < n) ++a.first[static_cast<size_t>(v) + 1];
    });
  }
  for (size_t v = 0; v < n; ++v) a.first[v + 1] += a.first[v];
  a.faces.assign(static_cast<size_t>(a.first[n]), 0);
  std::vector<int> fill(a.first.begin(), a.first.end() - 1);
  for (size_t f = 0; f < faces.size(); ++f) {
    each_vertex_once(f, [&](int v) {
      if (v >= 0 && static_cast<size_t>(v) < n) a.faces[static_cast<size_t>(fill[static_cast<size_t>(v)]++)] = static_cast<int>(f);
    });
  }
  a.face_count = faces.size();
  a.vertex_count = n;
  a.built = true;
  return a;
}

int Object::RelatedFaces(int vertex, int* out) const {
  if (vertex < 0 || static_cast<size_t>(vertex) >= vertices.size()) return 0;
  const FaceAdjacency& a = Adjacency();
  const int begin = a.first[static_cast<size_t>(vertex)], end = a.first[static_cast<size_t>(vertex) + 1];
  if (out != nullptr) std::copy(a.faces.begin() + begin, a.faces.begin() + end, out);
  return end - begin;
}

std::vector<int> Object::RelatedFaces(int vertex) const {
  std::vector<int> related(static_cast<size_t>(RelatedFaces(vertex, nullptr)));
  RelatedFaces(vertex, related.data());
  return related;
}

int Object::RecordSize(int slot, int type) const {
  const UserDataKind* kind = document_ != nullptr ? document_->Kind(slot) : nullptr;
  return kind != nullptr && kind->type == type ? kind->bytes_per_element : 0;
}

bool Object::AllocObjectData(int slot) {
  const int size = RecordSize(slot, MQUSERDATA_OBJECT);
  if (size <= 0) return false;
  // Allocating again keeps what is there.
  object_data.emplace(slot, std::vector<uint8_t>(static_cast<size_t>(size), 0));
  return true;
}

namespace {

// Whether [offset, offset + bytes) lies inside a record of `size` bytes; a
// byte count of 0 means "the rest of the record".
bool RangeInRecord(int size, int offset, int* bytes) {
  if (offset < 0 || *bytes < 0 || offset > size) return false;
  if (*bytes == 0) *bytes = size - offset;
  return *bytes <= size - offset;
}

}  // namespace

bool Object::ReadObjectData(int slot, int offset, int bytes, void* out) const {
  auto it = object_data.find(slot);
  if (it == object_data.end() || out == nullptr) return false;
  if (!RangeInRecord(static_cast<int>(it->second.size()), offset, &bytes)) return false;
  std::memcpy(out, it->second.data() + offset, static_cast<size_t>(bytes));
  return true;
}

bool Object::WriteObjectData(int slot, int offset, int bytes, const void* in) {
  auto it = object_data.find(slot);
  if (it == object_data.end() || in == nullptr) return false;
  if (!RangeInRecord(static_cast<int>(it->second.size()), offset, &bytes)) return false;
  std::memcpy(it->second.data() + offset, in, static_cast<size_t>(bytes));
  return true;
}

bool Object::AllocVertexData(int slot) {
  const int size = RecordSize(slot, MQUSERDATA_VERTEX);
  if (size <= 0) return false;
  // Allocating again keeps the data; checked first so that it costs nothing
  // (plug-ins allocate before every single-vertex write).
  if (vertex_data.count(slot) != 0) return true;
  vertex_data.emplace(slot, std::vector<uint8_t>(vertices.size() * static_cast<size_t>(size), 0));
  return true;
}

bool Object::VertexRangeValid(int slot, int first, int count, int offset, int* bytes) const {
  const int size = RecordSize(slot, MQUSERDATA_VERTEX);
  if (vertex_data.count(slot) == 0 || size <= 0) return false;
  const int vertex_count = static_cast<int>(vertices.size());
  if (first < 0 || count <= 0 || first > vertex_count || count > vertex_count - first) return false;
  return RangeInRecord(size, offset, bytes);
}

bool Object::ReadVertexData(int slot, int first, int count, int offset, int bytes,
                            void* out) const {
  if (out == nullptr || !VertexRangeValid(slot, first, count, offset, &bytes)) return false;
  const std::vector<uint8_t>* data = &vertex_data.at(slot);
  const size_t size = static_cast<size_t>(RecordSize(slot, MQUSERDATA_VERTEX));
  auto* dst = static_cast<uint8_t*>(out);
  for (int i = 0; i < count; ++i) {
    const size_t record = static_cast<size_t>(first + i) * size + static_cast<size_t>(offset);
    std::memcpy(dst + static_cast<size_t>(i) * static_cast<size_t>(bytes), data->data() + record,
                static_cast<size_t>(bytes));
  }
  return true;
}

bool Object::WriteVertexData(int slot, int first, int count, int offset, int bytes,
                             const void* in) {
  if (in == nullptr || !VertexRangeValid(slot, first, count, offset, &bytes)) return false;
  std::vector<uint8_t>* data = &vertex_data.at(slot);
  const size_t size = static_cast<size_t>(RecordSize(slot, MQUSERDATA_VERTEX));
  const auto* src = static_cast<const uint8_t*>(in);
  for (int i = 0; i < count; ++i) {
    const size_t record = static_cast<size_t>(first + i) * size + static_cast<size_t>(offset);
    std::memcpy(data->data() + record, src + static_cast<size_t>(i) * static_cast<size_t>(bytes),
                static_cast<size_t>(bytes));
  }
  return true;
}

const std::vector<uint8_t>& Object::FacesSeenBy(const Camera& camera) const {
  FaceViewCache& c = face_view_;
  const bool same_positions =
      c.positions.size() == vertices.size() &&
      std::equal(vertices.begin(), vertices.end(), c.positions.begin(), [](const Vertex& v, const MQPoint& p) {
        return v.position.x == p.x && v.position.y == p.y && v.position.z == p.z;
      });
  if (c.built && c.camera == camera && c.face_count == faces.size() && same_positions) return c.seen;

  const ViewVolume view(camera);
  // An object wholly inside the view needs no face clipped against it.
  bool all_in_view = false;
  if (!vertices.empty()) {
    FVECTOR3 lo(vertices[0].position.x, vertices[0].position.y, vertices[0].position.z), hi = lo;
    for (const Vertex& v : vertices) {
      lo = FVECTOR3(std::min(lo.x, v.position.x), std::min(lo.y, v.position.y), std::min(lo.z, v.position.z));
      hi = FVECTOR3(std::max(hi.x, v.position.x), std::max(hi.y, v.position.y), std::max(hi.z, v.position.z));
    }
    all_in_view = view.ContainsBox(lo, hi);
  }
  c.seen.assign(faces.size(), 0);
  std::vector<FVECTOR3> points;
  for (size_t f = 0; f < faces.size(); ++f) {
    const Face& face = faces[f];
    if (face.points.size() < 3) continue;
    points.clear();
    for (int index : face.points) {
      const MQPoint& p = vertices[static_cast<size_t>(index)].position;
      points.push_back(FVECTOR3(p.x, p.y, p.z));
    }
    const int count = static_cast<int>(points.size());
    c.seen[f] = view.FacesCamera(points.data(), count) && (all_in_view || view.Overlaps(points.data(), count));
  }
  c.camera = camera;
  c.face_count = faces.size();
  c.positions.resize(vertices.size());
  for (size_t v = 0; v < vertices.size(); ++v) c.positions[v] = vertices[v].position;
  c.built = true;
  return c.seen;
}

std::unique_ptr<Object> Object::Clone() const {
  auto copy = std::make_unique<Object>(*this);
  copy->document_ = nullptr;
  return copy;
}

// ---------------------------------------------------------------- Document

Document::Document() = default;

int Document::IndexOf(const Object* object) const {
  if (object == nullptr) return -1;
  RebuildHierarchy();
  return index_of_.Find(object);
}

void Document::IndexTable::Rebuild(const std::vector<std::unique_ptr<Object>>& objects) {
  size_t size = 16;
  int bits = 4;
  while (size < 2 * objects.size()) {
    size *= 2;
    ++bits;
  }
  slots_.assign(size, Slot{});
  mask_ = size - 1;
  shift_ = 64 - bits;
  for (size_t i = 0; i < objects.size(); ++i) {
    const Object* object = objects[i].get();
    if (object == nullptr) continue;
    size_t k = Hash(object) & mask_;
    while (slots_[k].object != nullptr) k = (k + 1) & mask_;
    slots_[k] = Slot{object, static_cast<int>(i)};
  }
}

std::unique_ptr<Object> Document::NewObject() const { return std::make_unique<Object>(); }

void Document::Adopt(Object* object) {
  object->document_ = this;
  if (object->uid == 0) object->uid = NextObjectUid();
  for (Vertex& vertex : object->vertices) {
    if (vertex.uid == 0) vertex.uid = NextVertexUid();
  }
  // Records of slots this document does not know cannot be kept.
  for (auto it = object->object_data.begin(); it != object->object_data.end();) {
    it = Kind(it->first) != nullptr ? std::next(it) : object->object_data.erase(it);
  }
  for (auto it = object->vertex_data.begin(); it != object->vertex_data.end();) {
    it = Kind(it->first) != nullptr ? std::next(it) : object->vertex_data.erase(it);
  }
}

int Document::AddObject(std::unique_ptr<Object> object) {
  if (!object) return -1;
  Adopt(object.get());
  objects_.push_back(std::move(object));
  hierarchy_valid_ = false;
  return ObjectCount() - 1;
}

int Document::InsertObject(std::unique_ptr<Object> object, const Object* after) {
  if (!object) return -1;
  const int after_index = IndexOf(after);
  if (after_index < 0) return AddObject(std::move(object));
  Adopt(object.get());
  const int index = after_index + 1;
  objects_.insert(objects_.begin() + index, std::move(object));
  hierarchy_valid_ = false;
  if (current_object >= index) ++current_object;
  return index;
}

void Document::DeleteObject(int index) {
  if (index < 0 || index >= ObjectCount()) return;
  objects_[static_cast<size_t>(index)].reset();
  hierarchy_valid_ = false;
}

void Document::RebuildHierarchy() const {
  if (hierarchy_valid_) return;
  const size_t count = objects_.size();
  index_of_.Rebuild(objects_);
  parent_.assign(count, -1);
  children_.assign(count, {});
  // The last object seen at each depth: an object's parent is the nearest
  // earlier object one level up.
  std::vector<int> last_at_depth;
  for (size_t i = 0; i < count; ++i) {
    const Object* object = objects_[i].get();
    if (object == nullptr) continue;
    const int depth = std::max(0, object->depth);
    if (depth > 0 && static_cast<size_t>(depth - 1) < last_at_depth.size()) {
      const int parent = last_at_depth[static_cast<size_t>(depth - 1)];
      if (parent >= 0) {
        parent_[i] = parent;
        children_[static_cast<size_t>(parent)].push_back(static_cast<int>(i));
      }
    }
    if (last_at_depth.size() <= static_cast<size_t>(depth)) {
      last_at_depth.resize(static_cast<size_t>(depth) + 1, -1);
    }
    last_at_depth[static_cast<size_t>(depth)] = static_cast<int>(i);
  }
  hierarchy_valid_ = true;
}

Object* Document::Parent(const Object* object) const {
  const int index = IndexOf(object);
  if (index < 0) return nullptr;
  return ObjectAt(parent_[static_cast<size_t>(index)]);
}

int Document::ChildCount(const Object* object) const {
  const int index = IndexOf(object);
  return index < 0 ? 0 : static_cast<int>(children_[static_cast<size_t>(index)].size());
}

Object* Document::Child(const Object* object, int child) const {
  const int index = IndexOf(object);
  if (index < 0) return nullptr;
  const auto& children = children_[static_cast<size_t>(index)];
  if (child < 0 || child >= static_cast<int>(children.size())) return nullptr;
  return ObjectAt(children[static_cast<size_t>(child)]);
}

void Document::SetDepth(Object* object, int depth) {
  if (object == nullptr) return;
  object->depth = std::max(0, depth);
  hierarchy_valid_ = false;
}

bool Object::LocalMatrixCurrent() const {
  // Asked for every ancestor of every global matrix: the transform is
  // compared as bytes (a changed -0 or NaN only composes once more).
  static_assert(sizeof(LocalTransform) == 9 * sizeof(float), "a transform is nine floats, no padding");
  return local_valid_ && std::memcmp(&transform, &local_of_, sizeof transform) == 0;
}

const FMATRIX& Object::LocalMatrix() const {
  const LocalTransform& t = transform;
  if (!LocalMatrixCurrent()) {
    local_ = ComposeTransform(t);
    local_of_ = t;
    local_valid_ = true;
    ++local_stamp_;
  }
  return local_;
}

FMATRIX Document::LocalMatrix(const Object* object) const {
  return object != nullptr ? object->LocalMatrix() : FMATRIX();
}

FMATRIX Document::GlobalMatrix(const Object* object) const {
  if (object == nullptr) return FMATRIX();
  const int index = IndexOf(object);  // also brings the hierarchy up to date
  if (index < 0) return object->LocalMatrix();  // not in the list: its own transform
  if (GlobalMatrixCurrent(index)) return object->global_;
  // The chain up to the root (bounded by the object count, so a corrupt
  // depth can never loop forever), then down again: each global matrix is
  // kept until its own transform, its parent or the parent's global matrix
  // changes, so siblings and children reuse what their ancestors computed.
  ancestry_.clear();
  for (int i = index; i >= 0 && static_cast<int>(ancestry_.size()) <= ObjectCount();
       i = parent_[static_cast<size_t>(i)]) {
    ancestry_.push_back(i);
  }
  const Object* parent = nullptr;
  for (auto it = ancestry_.rbegin(); it != ancestry_.rend(); ++it) {
    const Object* o = objects_[static_cast<size_t>(*it)].get();
    const FMATRIX& local = o->LocalMatrix();
    const uint64_t parent_stamp = parent != nullptr ? parent->global_stamp_ : 0;
    if (!o->global_valid_ || o->global_local_stamp_ != o->local_stamp_ ||
        o->global_parent_ != parent || o->global_parent_stamp_ != parent_stamp) {
      o->global_ = parent != nullptr ? local * parent->global_ : local;
      o->global_valid_ = true;
      o->global_stamp_ = ++matrix_stamps_;
      o->global_local_stamp_ = o->local_stamp_;
      o->global_parent_ = parent;
      o->global_parent_stamp_ = parent_stamp;
    }
    parent = o;
  }
  return object->global_;
}

bool Document::GlobalMatrixCurrent(int index) const {
  // Upward from the object, each kept matrix checked against what it was
  // made from, composing nothing: most queries find the chain unchanged.
  int steps = 0;
  for (int i = index; i >= 0; i = parent_[static_cast<size_t>(i)]) {
    if (++steps > ObjectCount()) return false;  // a corrupt hierarchy takes the long way
    const Object* o = objects_[static_cast<size_t>(i)].get();
    const int p = parent_[static_cast<size_t>(i)];
    const Object* parent = p >= 0 ? objects_[static_cast<size_t>(p)].get() : nullptr;
    if (!o->global_valid_ || !o->LocalMatrixCurrent() || o->global_local_stamp_ != o->local_stamp_ ||
        o->global_parent_ != parent || o->global_parent_stamp_ != (parent != nullptr ? parent->global_stamp_ : 0)) {
      return false;
    }
  }
  return true;
}

bool Document::IsSelected(int object_index, int vertex_index) const {
  const Object* object = ObjectAt(object_index);
  if (object == nullptr || vertex_index < 0 ||
      vertex_index >= static_cast<int>(object->vertices.size())) {
    return false;
  }
  return object->vertices[static_cast<size_t>(vertex_index)].selected;
}

void Document::SetSelected(int object_index, int vertex_index, bool selected) {
  Object* object = ObjectAt(object_index);
  if (object == nullptr || vertex_index < 0 ||
      vertex_index >= static_cast<int>(object->vertices.size())) {
    return;
  }
  object->vertices[static_cast<size_t>(vertex_index)].selected = selected;
}

Material* Document::MaterialAt(int index) const {
  if (index < 0 || index >= MaterialCount()) return nullptr;
  return materials_[static_cast<size_t>(index)].get();
}

int Document::AddMaterial(std::unique_ptr<Material> material) {
  if (!material) return -1;
  if (material->uid == 0) material->uid = NextMaterialUid();
  materials_.push_back(std::move(material));
  return MaterialCount() - 1;
}

void Document::DeleteMaterial(int index) {
  if (index < 0 || index >= MaterialCount()) return;
  materials_.erase(materials_.begin() + index);
  // Faces keep pointing at the same materials.
  for (auto& object : objects_) {
    if (!object) continue;
    for (Face& face : object->faces) {
      if (face.material == index) {
        face.material = -1;
      } else if (face.material > index) {
        --face.material;
      }
    }
  }
  if (current_material >= MaterialCount()) current_material = MaterialCount() - 1;
}

int Document::RegisterUserData(const MQUserDataInfo& info) {
  if (info.size != sizeof(MQUserDataInfo) || info.bytes_per_element <= 0) return 0;
  if (info.userdata_type < MQUSERDATA_OBJECT || info.userdata_type > MQUSERDATA_FACE) return 0;
  UserDataKind kind;
  kind.product_id = info.product_id;
  kind.plugin_id = info.plugin_id;
  kind.name.assign(info.identifier, strnlen(info.identifier, sizeof(info.identifier)));
  kind.type = info.userdata_type;
  kind.bytes_per_element = info.bytes_per_element;
  // Registering the same kind again answers the slot it already has.
  for (size_t i = 0; i < kinds_.size(); ++i) {
    const UserDataKind& k = kinds_[i];
    if (k.product_id == kind.product_id && k.plugin_id == kind.plugin_id && k.name == kind.name &&
        k.type == kind.type && k.bytes_per_element == kind.bytes_per_element) {
      return static_cast<int>(i) + 1;
    }
  }
  if (!info.create) return 0;
  kinds_.push_back(kind);
  return static_cast<int>(kinds_.size());
}

void Document::DropUserData() {
  kinds_.clear();
  for (const auto& object : objects_) {
    if (!object) continue;
    object->object_data.clear();
    object->vertex_data.clear();
  }
}

const UserDataKind* Document::Kind(int slot) const {
  if (slot <= 0 || slot > static_cast<int>(kinds_.size())) return nullptr;
  return &kinds_[static_cast<size_t>(slot) - 1];
}

void Document::ReserveUids(uint32_t object_uid, uint32_t vertex_uid, uint32_t material_uid) {
  next_object_uid_ = std::max(next_object_uid_, object_uid + 1);
  next_vertex_uid_ = std::max(next_vertex_uid_, vertex_uid + 1);
  next_material_uid_ = std::max(next_material_uid_, material_uid + 1);
}

Object* Document::CreateDrawingObject(int visibility, bool instant) {
  DrawingObject drawing;
  drawing.object = std::make_unique<Object>();
  drawing.object->document_ = this;
  drawing.object->uid = NextObjectUid();
  drawing.object->visible = static_cast<uint32_t>(visibility);
  drawing.instant = instant;
  drawing_objects_.push_back(std::move(drawing));
  return drawing_objects_.back().object.get();
}

Material* Document::CreateDrawingMaterial(bool instant, int* index) {
  int next = kFirstDrawingMaterialIndex;
  for (const DrawingMaterial& m : drawing_materials_) next = std::max(next, m.index + 1);
  DrawingMaterial drawing;
  drawing.material = std::make_unique<Material>();
  drawing.material->uid = NextMaterialUid();
  drawing.index = next;
  drawing.instant = instant;
  drawing_materials_.push_back(std::move(drawing));
  if (index != nullptr) *index = next;
  return drawing_materials_.back().material.get();
}

bool Document::DeleteDrawingObject(const Object* object) {
  auto it = std::find_if(drawing_objects_.begin(), drawing_objects_.end(),
                         [object](const DrawingObject& d) { return d.object.get() == object; });
  if (it == drawing_objects_.end()) return false;
  drawing_objects_.erase(it);
  return true;
}

bool Document::DeleteDrawingMaterial(const Material* material) {
  auto it = std::find_if(drawing_materials_.begin(), drawing_materials_.end(),
                         [material](const DrawingMaterial& d) { return d.material.get() == material; });
  if (it == drawing_materials_.end()) return false;
  drawing_materials_.erase(it);
  return true;
}

void Document::DiscardInstantDrawing() {
  drawing_objects_.erase(std::remove_if(drawing_objects_.begin(), drawing_objects_.end(),
                                        [](const DrawingObject& d) { return d.instant; }),
                         drawing_objects_.end());
  drawing_materials_.erase(std::remove_if(drawing_materials_.begin(), drawing_materials_.end(),
                                          [](const DrawingMaterial& d) { return d.instant; }),
                           drawing_materials_.end());
}

Document::State Document::Capture() const {
  State state;
  state.objects.reserve(objects_.size());
  for (const auto& object : objects_) {
    state.objects.push_back(object ? object->Clone() : nullptr);
  }
  for (const auto& material : materials_) {
    state.materials.push_back(std::make_unique<Material>(*material));
  }
  state.current_object = current_object;
  state.current_material = current_material;
  return state;
}

void Document::Restore(const State& state) {
  std::vector<std::unique_ptr<Object>> restored(state.objects.size());
  for (size_t i = 0; i < state.objects.size(); ++i) {
    if (!state.objects[i]) continue;
    // Reuse the object living at this position so plug-ins' handles stay valid.
    std::unique_ptr<Object> object =
        i < objects_.size() && objects_[i] ? std::move(objects_[i]) : std::make_unique<Object>();
    *object = *state.objects[i];
    object->document_ = this;
    restored[i] = std::move(object);
  }
  objects_ = std::move(restored);
  materials_.clear();
  for (const auto& material : state.materials) {
    materials_.push_back(std::make_unique<Material>(*material));
  }
  current_object = state.current_object;
  current_material = state.current_material;
  hierarchy_valid_ = false;
}

void Document::Replace(State state, std::vector<UserDataKind> kinds) {
  kinds_ = std::move(kinds);
  drawing_objects_.clear();
  drawing_materials_.clear();
  objects_ = std::move(state.objects);
  materials_ = std::move(state.materials);
  current_object = state.current_object;
  current_material = state.current_material;
  uint32_t max_object = 0, max_vertex = 0, max_material = 0;
  for (auto& object : objects_) {
    if (!object) continue;
    max_object = std::max(max_object, object->uid);
    for (const Vertex& vertex : object->vertices) max_vertex = std::max(max_vertex, vertex.uid);
  }
  for (const auto& material : materials_) max_material = std::max(max_material, material->uid);
  ReserveUids(max_object, max_vertex, max_material);
  for (auto& object : objects_) {
    if (object) Adopt(object.get());
  }
  for (auto& material : materials_) {
    if (material->uid == 0) material->uid = NextMaterialUid();
  }
  hierarchy_valid_ = false;
}

}  // namespace mqhost
