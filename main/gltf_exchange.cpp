#include "main/gltf_exchange.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/codepage.h"
#include "rig/hierarchy.h"
#include "rig/host_records.h"
#include "rig/id_table.h"
#include "rig/morph_targets.h"
#include "rig/pose_list.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

namespace {

bool Fail(std::string* error, const std::string& message) {
  if (error != nullptr) *error = message;
  return false;
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[256];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

bool Finite(float v) { return std::isfinite(v); }
bool Finite(const FVECTOR3& v) { return Finite(v.x) && Finite(v.y) && Finite(v.z); }
bool Finite(const FQUAT& q) { return Finite(q.x) && Finite(q.y) && Finite(q.z) && Finite(q.w); }

// A UTF-8 text of the scene as the document holds it: in the system code page,
// cut to the 255 bytes of a name field (never inside a double-byte character).
std::string DocumentText(std::string_view utf8) {
  return std::string(BoundedName(platform::Utf8ToAnsi(utf8)));
}

std::vector<FVECTOR3> ShownPositions(MQObject obj) {
  const int n = std::max(hr::VertexCount(obj), 0);
  std::vector<MQPoint> points(static_cast<size_t>(n));
  if (n > 0) HostApi().MQObj_GetVertexArray(obj, points.data());
  std::vector<FVECTOR3> positions(static_cast<size_t>(n));
  for (size_t v = 0; v < positions.size(); ++v) {
    positions[v] = FVECTOR3(points[v].x, points[v].y, points[v].z);
  }
  return positions;
}

// The stored shape k (-1: the base) where its records are valid, `fallback`
// elsewhere and without a stored shape; what deformation morphs with.
std::vector<FVECTOR3> StoredShape(MQObject obj, const RigSlotTable& slots, int k,
                                  const std::vector<FVECTOR3>& fallback) {
  std::vector<FVECTOR3> shape = fallback;
  const int n = static_cast<int>(shape.size());
  std::vector<VMorphTarget> stored(shape.size());
  if (n > 0 && hr::ReadVertices(obj, slots.MorphShape(k), n, stored.data())) {
    for (size_t v = 0; v < shape.size(); ++v) {
      if (stored[v].valid != 0) shape[v] = stored[v].position;
    }
  }
  return shape;
}

// Every vertex's weight record; empty for an object without weights.
std::vector<VWeight> WeightRecords(MQObject obj, const RigSlotTable& slots) {
  const int n = hr::VertexCount(obj);
  std::vector<VWeight> records;
  if (n <= 0 || !HasWeights(obj, slots)) return records;
  records.resize(static_cast<size_t>(n));
  if (!hr::ReadVertices(obj, slots.VWeight(), n, records.data())) records.clear();
  return records;
}

// ---------------------------------------------------------------- gather

// What the gathering knows of one document position.
struct DocumentObject {
  MQObject object = nullptr;
  int parent = -1;  // document index
  bool visible = false;
  bool needed = false;
  int scene = -1;  // index into the scene's objects
};

// Faces of three points or more, with their corners' texture coordinates and
// colours; lines and points make no triangle.
void GatherFaces(MQObject obj, int vertex_count, const std::vector<int>& materials, gltf::Object* o) {
  const MQHostApi& api = HostApi();
  const int count = api.MQObj_GetFaceCount(obj);
  // Counted first so that the flat arrays are allocated once.
  size_t faces = 0, corners = 0;
  for (int f = 0; f < count; ++f) {
    const int points = api.MQObj_GetFacePointCount(obj, f);
    if (points < 3) continue;
    ++faces;
    corners += static_cast<size_t>(points);
  }
  o->ReserveFaces(faces, corners);
  o->ReserveCorners(corners, true, true);
  std::vector<int> points;
  std::vector<MQCoordinate> coordinates;
  std::vector<FVECTOR2> uv;
  std::vector<uint32_t> colors;
  for (int f = 0; f < count; ++f) {
    const int n = api.MQObj_GetFacePointCount(obj, f);
    if (n < 3) continue;
    const size_t size = static_cast<size_t>(n);
    points.resize(size);
    api.MQObj_GetFacePointArray(obj, f, points.data());
    if (std::any_of(points.begin(), points.end(),
                    [vertex_count](int v) { return v < 0 || v >= vertex_count; })) {
      continue;
    }
    coordinates.assign(size, MQCoordinate{0.0f, 0.0f});
    api.MQObj_GetFaceCoordinateArray(obj, f, coordinates.data());
    uv.resize(size);
    colors.resize(size);
    for (int c = 0; c < n; ++c) {
      uv[static_cast<size_t>(c)] =
          FVECTOR2(coordinates[static_cast<size_t>(c)].u, coordinates[static_cast<size_t>(c)].v);
      colors[static_cast<size_t>(c)] = api.MQObj_GetFaceVertexColor(obj, f, c);
    }
    const int material = api.MQObj_GetFaceMaterial(obj, f);
    o->AddFace(points, uv, colors,
               material >= 0 && material < static_cast<int>(materials.size())
                   ? materials[static_cast<size_t>(material)]
                   : gltf::kNoMaterial);
  }
}

// The document's materials in index order; `map` takes a document index to
// the scene's (kNoMaterial for an empty position).
void GatherMaterials(MQDocument doc, gltf::Scene* scene, std::vector<int>* map) {
  const MQHostApi& api = HostApi();
  const int count = std::max(api.MQDoc_GetMaterialCount(doc), 0);
  map->assign(static_cast<size_t>(count), gltf::kNoMaterial);
  char text[1024];
  for (int i = 0; i < count; ++i) {
    MQMaterial mat = api.MQDoc_GetMaterial(doc, i);
    if (mat == nullptr) continue;
    gltf::Material material;
    text[0] = '\0';
    api.MQMat_GetName(mat, text, static_cast<int>(sizeof text));
    material.name = platform::AnsiToUtf8(text);
    MQColor color{1.0f, 1.0f, 1.0f};
    api.MQMat_GetColor(mat, &color);
    material.color[0] = color.r;
    material.color[1] = color.g;
    material.color[2] = color.b;
    material.diffuse = api.MQMat_GetDiffuse(mat);
    material.alpha = api.MQMat_GetAlpha(mat);
    material.vertex_colors = api.MQMat_GetIntValue(mat, MQMAT_ID_VERTEXCOLOR) != 0;
    text[0] = '\0';
    api.MQMat_GetTextureName(mat, text, static_cast<int>(sizeof text));
    material.texture = platform::AnsiToUtf8(text);
    (*map)[static_cast<size_t>(i)] = static_cast<int>(scene->materials.size());
    scene->materials.push_back(std::move(material));
  }
}

// Morph targets by their records: the base shape (the stored one while a
// target is shown in the vertices), then each target's shape. The current
// target's newest shape is the one shown; the others' are stored.
void GatherMorphs(MQObject obj, const RigSlotTable& slots, gltf::Object* o) {
  const std::vector<FVECTOR3> shown = ShownPositions(obj);
  const int current = GetCurrentMorphIndex(obj, slots);
  o->vertices = current != -1 ? StoredShape(obj, slots, -1, shown) : shown;
  for (int k = 0; k < kMaxMorphTargets; ++k) {
    OMorphTarget rec;
    if (!GetMorphTargetRecord(obj, slots, k, rec)) continue;
    gltf::MorphTarget target;
    target.name = platform::AnsiToUtf8(NameOf(rec.name));
    target.slot = k;
    target.positions = k == current ? shown : StoredShape(obj, slots, k, o->vertices);
    o->morphs.push_back(std::move(target));
  }
}

}  // namespace

bool GatherGltfScene(MQDocument doc, const RigSlotTable& slots, const RigEditState& state, gltf::Scene* scene,
                     std::string* error, bool pose_display) {
  if (scene == nullptr) return Fail(error, "no scene to gather into");
  if (doc == nullptr) return Fail(error, "no document is open");
  const MQHostApi& api = HostApi();
  *scene = gltf::Scene();

  const int count = std::max(api.MQDoc_GetObjectCount(doc), 0);
  std::vector<DocumentObject> objects(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    DocumentObject& d = objects[static_cast<size_t>(i)];
    d.object = api.MQDoc_GetObject(doc, i);
    if (d.object == nullptr) continue;
    MQObject parent = api.MQDoc_GetParentObject(doc, d.object);
    d.parent = parent != nullptr ? api.MQDoc_GetObjectIndex(doc, parent) : -1;
    d.visible = pose_display ? GetSavedVisibility(d.object, slots) != 0 : api.MQObj_GetVisible(d.object) != 0;
    d.needed = d.visible;
  }

  // The bones a shown object's weights name come along, whether shown or not.
  IdTable ids;
  BuildIdTable(doc, ids);
  for (DocumentObject& d : objects) {
    if (!d.visible) continue;
    for (const VWeight& rec : WeightRecords(d.object, slots)) {
      for (int j = 0; j < Count(rec); ++j) {
        const int32_t bone = LookupIndex(ids, rec.entries[j].bone);
        if (bone >= 0 && bone < count) objects[static_cast<size_t>(bone)].needed = true;
      }
    }
  }
  // So do the ancestors of everything that comes: their poses move it.
  for (int i = 0; i < count; ++i) {
    if (!objects[static_cast<size_t>(i)].needed) continue;
    for (int p = objects[static_cast<size_t>(i)].parent, steps = 0; p >= 0 && p < count && steps < count;
         p = objects[static_cast<size_t>(p)].parent, ++steps) {
      objects[static_cast<size_t>(p)].needed = true;
    }
  }

  // Parents before children: depth first from the roots, in the host's order.
  std::vector<int> order;
  std::vector<std::pair<int, int>> stack;  // document index, its parent's scene index
  for (int i = count - 1; i >= 0; --i) {
    const DocumentObject& d = objects[static_cast<size_t>(i)];
    if (d.object != nullptr && d.parent < 0 && d.needed) stack.emplace_back(i, gltf::kNoParent);
  }
  std::vector<int> parent_scene(static_cast<size_t>(count), gltf::kNoParent);
  while (!stack.empty()) {
    const auto [index, parent] = stack.back();
    stack.pop_back();
    DocumentObject& d = objects[static_cast<size_t>(index)];
    // A host that reports an object twice must not make a loop of it.
    if (d.scene >= 0) continue;
    d.scene = static_cast<int>(order.size());
    order.push_back(index);
    parent_scene[static_cast<size_t>(index)] = parent;
    const int children = api.MQDoc_GetChildObjectCount(doc, d.object);
    for (int c = children - 1; c >= 0; --c) {
      const int child = api.MQDoc_GetObjectIndex(doc, api.MQDoc_GetChildObject(doc, d.object, c));
      if (child >= 0 && child < count && objects[static_cast<size_t>(child)].needed) {
        stack.emplace_back(child, d.scene);
      }
    }
  }

  std::vector<int> material_map;
  GatherMaterials(doc, scene, &material_map);

  scene->objects.resize(order.size());
  char name[1024];
  for (size_t s = 0; s < order.size(); ++s) {
    const DocumentObject& d = objects[static_cast<size_t>(order[s])];
    gltf::Object& o = scene->objects[s];
    name[0] = '\0';
    api.MQObj_GetName(d.object, name, static_cast<int>(sizeof name));
    o.name = platform::AnsiToUtf8(name);
    o.parent = parent_scene[static_cast<size_t>(order[s])];
    o.pivot = ObjectPivot(doc, d.object);
    o.visible = d.visible;
    o.shading = api.MQObj_GetShading(d.object);
    o.smooth_angle = api.MQObj_GetSmoothAngle(d.object);
    if (!d.visible) continue;  // only there for what hangs on it

    GatherMorphs(d.object, slots, &o);
    GatherFaces(d.object, static_cast<int>(o.vertices.size()), material_map, &o);
    const std::vector<VWeight> records = WeightRecords(d.object, slots);
    if (records.empty()) continue;
    size_t entries = 0;
    for (const VWeight& rec : records) entries += static_cast<size_t>(std::max(Count(rec), 0));
    o.ReserveWeights(records.size(), entries);
    std::array<gltf::BoneWeight, kMaxWeightEntries> list;
    for (const VWeight& rec : records) {
      size_t kept = 0;
      for (int j = 0; j < Count(rec) && kept < list.size(); ++j) {
        // An entry whose bone is gone moves nothing; it is left out.
        const int32_t bone = LookupIndex(ids, rec.entries[j].bone);
        if (bone < 0 || bone >= count || objects[static_cast<size_t>(bone)].scene < 0) continue;
        list[kept++] = gltf::BoneWeight{objects[static_cast<size_t>(bone)].scene, rec.entries[j].weight};
      }
      o.AddVertexWeights({list.data(), kept});
    }
  }

  for (const auto& listed : state.poses) {
    if (!listed) continue;
    gltf::Pose pose;
    pose.name = platform::AnsiToUtf8(NameOf(listed->name));
    pose.objects.resize(order.size());
    for (size_t s = 0; s < order.size(); ++s) {
      MQObject obj = objects[static_cast<size_t>(order[s])].object;
      gltf::PoseState& p = pose.objects[s];
      OPoseTSQ tsq;
      if (GetPoseTSQ(obj, slots, listed->id, tsq)) {
        p.translation = tsq.trs;
        p.scale = tsq.scl;
        p.rotation = tsq.rot;
      }
      OPoseMorph morph;
      if (GetPoseMorph(obj, slots, listed->id, morph)) {
        std::copy(std::begin(morph.weight), std::end(morph.weight), p.morph_weights.begin());
      }
    }
    scene->poses.push_back(std::move(pose));
  }
  return true;
}

// ---------------------------------------------------------------- apply

namespace {

// One scene object as it will be added: where it goes, its name and morph
// slots in the document's terms.
struct Placement {
  int depth = 0;
  std::string name;
  // The document's morph index of each of the object's targets, and of each
  // scene slot (-1: no target there).
  std::vector<int> target_slot;
  std::array<int, kMaxMorphTargets> slot_of{};
};

bool Check(const gltf::Scene& scene, const RigEditState& state, std::string* error) {
  const int object_count = static_cast<int>(scene.objects.size());
  const int material_count = static_cast<int>(scene.materials.size());
  for (int i = 0; i < object_count; ++i) {
    const gltf::Object& o = scene.objects[static_cast<size_t>(i)];
    const int vertices = static_cast<int>(o.vertices.size());
    if (o.parent != gltf::kNoParent && (o.parent < 0 || o.parent >= i)) {
      return Fail(error, Format("object %d names parent %d, which is not an object before it", i, o.parent));
    }
    if (!Finite(o.pivot)) return Fail(error, Format("object %d has a pivot that is not a number", i));
    for (const FVECTOR3& p : o.vertices) {
      if (!Finite(p)) return Fail(error, Format("object %d has a vertex that is not a number", i));
    }
    const size_t corners = o.corner_points.size();
    if (o.face_start.empty() || o.face_start.front() != 0 || o.face_start.back() != corners ||
        o.face_materials.size() != o.FaceCount()) {
      return Fail(error, Format("object %d: its faces do not add up to its %d corners", i,
                                static_cast<int>(corners)));
    }
    if ((o.HasUv() && o.corner_uv.size() != corners) ||
        (o.HasColors() && o.corner_colors.size() != corners)) {
      return Fail(error, Format("object %d has %d corners but other counts of texture "
                                "coordinates or colours",
                                i, static_cast<int>(corners)));
    }
    for (size_t f = 0; f < o.FaceCount(); ++f) {
      if (o.face_start[f + 1] <= o.face_start[f])
        return Fail(error, Format("object %d: face %d has no points", i, static_cast<int>(f)));
      for (int v : o.PointsOf(f)) {
        if (v < 0 || v >= vertices) {
          return Fail(error,
                      Format("object %d: face %d uses vertex %d of %d", i, static_cast<int>(f), v, vertices));
        }
      }
      const int material = o.face_materials[f];
      if (material != gltf::kNoMaterial && (material < 0 || material >= material_count)) {
        return Fail(error, Format("object %d: face %d uses material %d of %d", i, static_cast<int>(f),
                                  material, material_count));
      }
    }
    if (o.HasWeights() && static_cast<int>(o.WeightListCount()) != vertices) {
      return Fail(error, Format("object %d has %d vertices but %d weight lists", i, vertices,
                                static_cast<int>(o.WeightListCount())));
    }
    if (o.HasWeights() && (o.weight_start.front() != 0 || o.weight_start.back() != o.weight_entries.size() ||
                           !std::is_sorted(o.weight_start.begin(), o.weight_start.end()))) {
      return Fail(error, Format("object %d: its weight lists do not add up to its %d entries", i,
                                static_cast<int>(o.weight_entries.size())));
    }
    for (const gltf::BoneWeight& w : o.weight_entries) {
      if (w.bone < 0 || w.bone >= object_count) {
        return Fail(error,
                    Format("object %d: a weight names bone %d of %d objects", i, w.bone, object_count));
      }
      if (!Finite(w.weight)) return Fail(error, Format("object %d has a weight that is not a number", i));
    }
    if (static_cast<int>(o.morphs.size()) > kMaxMorphTargets) {
      return Fail(error, Format("object %d has %d morph targets; an object holds at most %d", i,
                                static_cast<int>(o.morphs.size()), kMaxMorphTargets));
    }
    for (const gltf::MorphTarget& target : o.morphs) {
      if (static_cast<int>(target.positions.size()) != vertices) {
        return Fail(error, Format("object %d: a morph target has %d positions for %d vertices", i,
                                  static_cast<int>(target.positions.size()), vertices));
      }
      for (const FVECTOR3& p : target.positions) {
        if (!Finite(p)) return Fail(error, Format("object %d has a morph position that is not a number", i));
      }
    }
  }
  const int listed = PoseCount(state);
  const int brought = static_cast<int>(scene.poses.size());
  if (brought > kMaxPoses - listed) {
    return Fail(error, Format("the pose list holds %d poses and has room for "
                              "%d more; the file brings %d "
                              "(at most %d in all)",
                              listed, kMaxPoses - listed, brought, kMaxPoses));
  }
  for (size_t p = 0; p < scene.poses.size(); ++p) {
    const gltf::Pose& pose = scene.poses[p];
    if (static_cast<int>(pose.objects.size()) != object_count) {
      return Fail(error, Format("pose %d has %d object states for %d objects", static_cast<int>(p),
                                static_cast<int>(pose.objects.size()), object_count));
    }
    for (const gltf::PoseState& s : pose.objects) {
      const bool finite =
          Finite(s.translation) && Finite(s.scale) && Finite(s.rotation) &&
          std::all_of(s.morph_weights.begin(), s.morph_weights.end(), [](float w) { return Finite(w); });
      if (!finite)
        return Fail(error, Format("pose %d has a value that is not a number", static_cast<int>(p)));
    }
  }
  return true;
}

// Depth and morph slots of every object. A target keeps its slot when it is
// one of the twenty and no earlier target of the object took it; the others
// take the lowest slots left.
std::vector<Placement> Place(const gltf::Scene& scene) {
  std::vector<Placement> placed(scene.objects.size());
  for (size_t i = 0; i < scene.objects.size(); ++i) {
    const gltf::Object& o = scene.objects[i];
    Placement& p = placed[i];
    p.depth = o.parent == gltf::kNoParent ? 0 : placed[static_cast<size_t>(o.parent)].depth + 1;
    p.name = DocumentText(o.name);
    p.slot_of.fill(-1);
    std::array<bool, kMaxMorphTargets> used{};
    p.target_slot.assign(o.morphs.size(), -1);
    for (size_t t = 0; t < o.morphs.size(); ++t) {
      const int k = o.morphs[t].slot;
      if (k >= 0 && k < kMaxMorphTargets && !used[static_cast<size_t>(k)]) {
        used[static_cast<size_t>(k)] = true;
        p.target_slot[t] = k;
        p.slot_of[static_cast<size_t>(k)] = k;
      }
    }
    for (size_t t = 0; t < o.morphs.size(); ++t) {
      if (p.target_slot[t] >= 0) continue;
      const auto free = std::find(used.begin(), used.end(), false);
      used[static_cast<size_t>(free - used.begin())] = true;  // at most twenty targets: one is free
      p.target_slot[t] = static_cast<int>(free - used.begin());
    }
  }
  return placed;
}

// Parents before children and each subtree whole, so that objects appended
// in this order take their parents from their depths.
std::vector<int> DepthFirstOrder(const gltf::Scene& scene) {
  const size_t n = scene.objects.size();
  std::vector<std::vector<int>> children(n);
  std::vector<int> stack;
  for (size_t i = n; i-- > 0;) {
    const int parent = scene.objects[i].parent;
    if (parent == gltf::kNoParent) {
      stack.push_back(static_cast<int>(i));
    } else {
      children[static_cast<size_t>(parent)].push_back(static_cast<int>(i));  // last child first
    }
  }
  std::vector<int> order;
  order.reserve(n);
  while (!stack.empty()) {
    const int i = stack.back();
    stack.pop_back();
    order.push_back(i);
    for (int child : children[static_cast<size_t>(i)]) stack.push_back(child);
  }
  return order;
}

// Pose names in the system code page, each unlike the listed ones and the
// ones before it: a taken name gets "_2", "_3", ... (cut to fit the field).
std::vector<std::string> PoseNames(const gltf::Scene& scene, const RigEditState& state,
                                   std::vector<std::string>* notes) {
  std::vector<std::string> names;
  auto taken = [&](std::string_view name) {
    return FindPoseByName(state, name) != nullptr ||
           std::find(names.begin(), names.end(), name) != names.end();
  };
  for (const gltf::Pose& pose : scene.poses) {
    const std::string wanted = DocumentText(pose.name);
    std::string name = wanted;
    for (int n = 2; taken(name); ++n) {
      const std::string suffix = "_" + std::to_string(n);
      const std::string_view stem = BoundedName(
          std::string_view(wanted).substr(0, static_cast<size_t>(kMaxNameLength) - suffix.size()));
      name = std::string(stem) + suffix;
    }
    if (name != wanted && notes != nullptr) {
      notes->push_back("pose \"" + pose.name + "\" was named \"" + platform::AnsiToUtf8(name) +
                       "\": the pose list has that name already");
    }
    names.push_back(name);
  }
  return names;
}

// The first `count` pose ids no listed pose uses, lowest first: the ids the
// pose list gives the poses appended one after another.
std::vector<int32_t> FreePoseIds(const RigEditState& state, int count) {
  std::vector<int32_t> ids;
  for (int32_t id = 0; id < kMaxPoses && static_cast<int>(ids.size()) < count; ++id) {
    if (!state.IsListedPoseId(id)) ids.push_back(id);
  }
  return ids;
}

// What has been added to the document so far; unless kept, it goes again.
class Additions {
 public:
  explicit Additions(MQDocument doc) : doc_(doc) {}
  Additions(const Additions&) = delete;
  Additions& operator=(const Additions&) = delete;
  ~Additions() {
    if (kept_) return;
    const MQHostApi& api = HostApi();
    for (auto it = objects_.rbegin(); it != objects_.rend(); ++it) {
      if (*it == nullptr) continue;
      const int index = api.MQDoc_GetObjectIndex(doc_, *it);
      if (index >= 0) {
        api.MQDoc_DeleteObject(doc_, index);
      } else {
        api.MQObj_Delete(*it);  // never taken by the document
      }
    }
    for (auto it = materials_.rbegin(); it != materials_.rend(); ++it) {
      if (*it != nullptr) api.MQMat_Delete(*it);
    }
  }

  std::vector<MQObject>& objects() { return objects_; }
  std::vector<MQMaterial>& materials() { return materials_; }
  void Keep() { kept_ = true; }

 private:
  MQDocument doc_;
  std::vector<MQObject> objects_;  // by scene index
  std::vector<MQMaterial> materials_;
  bool kept_ = false;
};

// The object's geometry on the object not yet in the document.
bool BuildGeometry(MQObject obj, const gltf::Object& o, const std::string& name) {
  const MQHostApi& api = HostApi();
  api.MQObj_SetName(obj, name.c_str());
  for (const FVECTOR3& p : o.vertices) {
    const MQPoint point{p.x, p.y, p.z};
    if (api.MQObj_AddVertex(obj, &point) < 0) return false;
  }
  std::vector<MQCoordinate> uv;
  for (size_t face = 0; face < o.FaceCount(); ++face) {
    const size_t first = o.face_start[face];
    const int count = static_cast<int>(o.CornerCount(face));
    const int f = api.MQObj_AddFace(obj, count, o.corner_points.data() + first);
    if (f < 0) return false;
    if (o.HasUv()) {
      uv.resize(static_cast<size_t>(count));
      for (size_t c = 0; c < uv.size(); ++c)
        uv[c] = MQCoordinate{o.corner_uv[first + c].x, o.corner_uv[first + c].y};
      api.MQObj_SetFaceCoordinateArray(obj, f, uv.data());
    }
    if (o.HasColors()) {
      for (int c = 0; c < count; ++c)
        api.MQObj_SetFaceVertexColor(obj, f, c, o.corner_colors[first + static_cast<size_t>(c)]);
    }
  }
  if (Finite(o.smooth_angle)) api.MQObj_SetSmoothAngle(obj, o.smooth_angle);
  if (!o.visible) api.MQObj_SetVisible(obj, 0);
  return true;
}

void SetFaceMaterials(MQObject obj, const gltf::Object& o, const std::vector<int>& material_index) {
  for (size_t f = 0; f < o.FaceCount(); ++f) {
    const int m = o.face_materials[f];
    HostApi().MQObj_SetFaceMaterial(obj, static_cast<int>(f),
                                    m == gltf::kNoMaterial ? -1 : material_index[static_cast<size_t>(m)]);
  }
}

bool MakeMaterial(MQMaterial mat, const gltf::Material& m) {
  if (mat == nullptr) return false;
  const MQHostApi& api = HostApi();
  api.MQMat_SetName(mat, DocumentText(m.name).c_str());
  const MQColor color{m.color[0], m.color[1], m.color[2]};
  api.MQMat_SetColor(mat, &color);
  api.MQMat_SetDiffuse(mat, m.diffuse);
  api.MQMat_SetAlpha(mat, m.alpha);
  api.MQMat_SetIntValue(mat, MQMAT_ID_VERTEXCOLOR, m.vertex_colors ? 1 : 0);
  if (!m.texture.empty()) api.MQMat_SetTextureName(mat, platform::Utf8ToAnsi(m.texture).c_str());
  return true;
}

// Up to four of the list's entries in a weight record, the heaviest where
// there are more (in their order, so a list that fits comes back as it was).
VWeight MakeWeightRecord(gltf::Span<const gltf::BoneWeight> list, const std::vector<int32_t>& uids,
                         std::vector<size_t>& chosen) {
  chosen.resize(list.size());
  for (size_t j = 0; j < chosen.size(); ++j) chosen[j] = j;
  if (chosen.size() > static_cast<size_t>(kMaxWeightEntries)) {
    std::stable_sort(chosen.begin(), chosen.end(),
                     [&](size_t a, size_t b) { return list[a].weight > list[b].weight; });
    chosen.resize(static_cast<size_t>(kMaxWeightEntries));
    std::sort(chosen.begin(), chosen.end());
  }
  VWeight rec;
  for (size_t j = 0; j < chosen.size(); ++j) {
    rec.entries[j].bone = uids[static_cast<size_t>(list[chosen[j]].bone)];
    rec.entries[j].weight = list[chosen[j]].weight;
  }
  rec.head = static_cast<uint8_t>(VWeight::kValidBit | chosen.size() << 1);
  MergeRepeatedBones(rec);
  return rec;
}

bool WriteRigRecords(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                     const gltf::Scene& scene, const std::vector<Placement>& placed,
                     const std::vector<MQObject>& objects, std::vector<std::string>* notes) {
  const MQHostApi& api = HostApi();
  const size_t n = scene.objects.size();
  std::vector<int32_t> uids(n);
  std::vector<OBase> bones(n);
  for (size_t i = 0; i < n; ++i) {
    uids[i] = hr::UniqueId(objects[i]);
    bones[i] = MakeDefaultBoneRecord();
    // What pose mode hides and shows again; the plug-in's posed model for
    // others shows objects by it too.
    bones[i].saved_visibility = static_cast<int32_t>(api.MQObj_GetVisible(objects[i]));
    if (!SetBoneRecord(objects[i], slots, bones[i])) return false;
  }
  // The new objects' weight colours, as painting would give them.
  std::unordered_map<int32_t, size_t> by_uid;
  for (size_t i = 0; i < n; ++i) by_uid.emplace(uids[i], i);
  const BoneColourLookup lookup = [&](int32_t bone, UCOLOR* colour) {
    const auto it = by_uid.find(bone);
    if (it == by_uid.end()) return false;
    const OBase& rec = bones[it->second];
    if ((rec.flags & OBase::OB_WEIGHTSHOW) == 0) return false;
    *colour = rec.weight_colour;
    return true;
  };
  const int32_t current = CurrentObjectUniqueId(doc);

  int trimmed = 0;
  std::vector<VMorphTarget> shape;
  std::vector<VWeight> weights;
  std::vector<size_t> chosen;  // reused by every vertex
  for (size_t i = 0; i < n; ++i) {
    const gltf::Object& o = scene.objects[i];
    MQObject obj = objects[i];
    const int vertices = static_cast<int>(o.vertices.size());
    if (vertices == 0) continue;
    // The base shape, as every object of the rig has it stored.
    shape.resize(o.vertices.size());
    for (size_t v = 0; v < shape.size(); ++v) {
      shape[v] = VMorphTarget();
      shape[v].position = o.vertices[v];
      shape[v].valid = 1;
    }
    if (!hr::WriteVertices(obj, slots.MorphShape(-1), vertices, shape.data())) return false;

    if (o.HasWeights()) {
      weights.resize(o.WeightListCount());
      for (size_t v = 0; v < weights.size(); ++v) {
        const gltf::Span<const gltf::BoneWeight> list = o.WeightsOf(v);
        if (list.size() > static_cast<size_t>(kMaxWeightEntries)) ++trimmed;
        weights[v] = MakeWeightRecord(list, uids, chosen);
        if (state.WeightCurrentObjectOnly()) {
          UpdateColourCurrentObject(weights[v], current, lookup);
        } else {
          UpdateColourAllBones(weights[v], lookup);
        }
      }
      if (!hr::WriteVertices(obj, slots.VWeight(), vertices, weights.data())) return false;
    }

    // As "SetMorphTarget" and "SetMorphTargetPosArray" make a target: its
    // record in the base group, then its shape with every position valid.
    for (size_t t = 0; t < o.morphs.size(); ++t) {
      const int k = placed[i].target_slot[t];
      if (!CreateMorphTarget(obj, slots, k, DocumentText(o.morphs[t].name), "")) return false;
      for (size_t v = 0; v < shape.size(); ++v) shape[v].position = o.morphs[t].positions[v];
      if (!hr::WriteVertices(obj, slots.MorphShape(k), vertices, shape.data())) return false;
    }
  }
  if (trimmed > 0 && notes != nullptr) {
    notes->push_back(Format("vertices with more than %d bones: %d; each keeps its %d heaviest",
                            kMaxWeightEntries, trimmed, kMaxWeightEntries));
  }
  return true;
}

// Every new object's records for the new poses; the document's other
// objects rest in them (records an id may have left behind go).
bool WritePoseRecords(MQDocument doc, const RigSlotTable& slots, const gltf::Scene& scene,
                      const std::vector<Placement>& placed, const std::vector<MQObject>& objects,
                      const std::vector<int32_t>& ids) {
  std::vector<MQObject> added(objects);
  std::sort(added.begin(), added.end(), std::less<MQObject>());
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    if (std::binary_search(added.begin(), added.end(), obj, std::less<MQObject>())) return;
    for (int32_t id : ids) {
      hr::FreeObject(obj, slots.PoseTSQ(id));
      hr::FreeObject(obj, slots.PoseMorph(id));
    }
  });
  for (size_t p = 0; p < scene.poses.size(); ++p) {
    const int32_t id = ids[p];
    for (size_t i = 0; i < objects.size(); ++i) {
      const gltf::PoseState& s = scene.poses[p].objects[i];
      OPoseTSQ tsq;
      tsq.trs = s.translation;
      tsq.scl = s.scale;
      tsq.rot = s.rotation;
      if (!SetPoseTSQ(objects[i], slots, id, tsq)) return false;
      if (scene.objects[i].morphs.empty()) continue;
      OPoseMorph morph;
      for (int k = 0; k < kMaxMorphTargets; ++k) {
        const int slot = placed[i].slot_of[static_cast<size_t>(k)];
        if (slot >= 0) morph.weight[slot] = s.morph_weights[static_cast<size_t>(k)];
      }
      if (!SetPoseMorph(objects[i], slots, id, morph)) return false;
    }
  }
  return true;
}

}  // namespace

bool ApplyGltfScene(const gltf::Scene& scene, MQDocument doc, const RigSlotTable& slots, RigEditState& state,
                    std::string* error, std::vector<std::string>* notes) {
  if (doc == nullptr) return Fail(error, "no document is open");
  if (!Check(scene, state, error)) return false;
  const MQHostApi& api = HostApi();
  const std::vector<Placement> placed = Place(scene);
  const std::vector<std::string> pose_names = PoseNames(scene, state, notes);
  const std::vector<int32_t> pose_ids = FreePoseIds(state, static_cast<int>(scene.poses.size()));

  Additions added(doc);
  std::vector<MQObject>& objects = added.objects();
  std::vector<MQMaterial>& materials = added.materials();
  // Everything is made outside the document first: a refusal here leaves it
  // untouched.
  for (size_t i = 0; i < scene.objects.size(); ++i) {
    objects.push_back(api.MQ_CreateObject());
    if (objects.back() == nullptr || !BuildGeometry(objects.back(), scene.objects[i], placed[i].name)) {
      return Fail(error, "the host refused a new object");
    }
  }
  for (const gltf::Material& m : scene.materials) {
    materials.push_back(api.MQ_CreateMaterial());
    if (!MakeMaterial(materials.back(), m)) return Fail(error, "the host refused a new material");
  }

  std::vector<int> material_index;
  for (MQMaterial mat : materials) {
    material_index.push_back(api.MQDoc_AddMaterial(doc, mat));
    if (material_index.back() < 0) return Fail(error, "the host refused a new material");
  }
  for (size_t i = 0; i < objects.size(); ++i) SetFaceMaterials(objects[i], scene.objects[i], material_index);
  for (int i : DepthFirstOrder(scene)) {
    MQObject obj = objects[static_cast<size_t>(i)];
    if (api.MQDoc_AddObject(doc, obj) < 0) return Fail(error, "the host refused a new object");
    api.MQObj_SetIntValue(obj, MQOBJ_ID_DEPTH, placed[static_cast<size_t>(i)].depth);
    // The parent has its pivot already: the translation is the difference.
    SetObjectPosition(doc, obj, scene.objects[static_cast<size_t>(i)].pivot);
  }
  if (!WriteRigRecords(doc, slots, state, scene, placed, objects, notes) ||
      !WritePoseRecords(doc, slots, scene, placed, objects, pose_ids)) {
    return Fail(error, "the host refused the rig's records of a new object");
  }

  // The pose list last: nothing can fail any more.
  const int32_t current = CurrentPose(state) != nullptr ? state.current_pose_id : -1;
  for (size_t p = 0; p < scene.poses.size(); ++p) CreatePose(state, pose_ids[p], pose_names[p]);
  if (current >= 0) {
    state.current_pose_id = current;
  } else if (!pose_ids.empty()) {
    state.current_pose_id = pose_ids.front();
  }
  added.Keep();
  return true;
}

}  // namespace quorvel
