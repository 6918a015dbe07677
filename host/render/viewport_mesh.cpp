#include "host/render/viewport_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/geometry/camera.h"

namespace mqhost {

void ViewportMesh::Clear() {
  triangles.Clear();
  translucent_triangles.Clear();
  lines.clear();
  points.clear();
  overlay_lines.clear();
  overlay_points.clear();
}

float LightFactor(const Material& material, float facing) {
  const float light =
      material.emission + material.ambient * kAmbientLight + material.diffuse * std::max(0.0f, facing);
  return std::clamp(light, 0.0f, 1.0f);
}

namespace {

constexpr double kPi = 3.14159265358979323846;

// Rounded to the nearest byte (lround would cost a call per channel here).
uint8_t ToByte(float value) { return static_cast<uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f); }

// Unit length, or zero for a zero vector (a face without area has no side).
FVECTOR3 Unit(const FVECTOR3& v) {
  const float length = v.Length();
  return length > 0.0f ? v / length : FVECTOR3{};
}

FVECTOR3 At(const Object& object, int index) {
  const MQPoint& p = object.vertices[static_cast<size_t>(index)].position;
  return {p.x, p.y, p.z};
}

MeshVertex Vertex(const FVECTOR3& p, const uint8_t color[4]) {
  return MeshVertex{{color[0], color[1], color[2], color[3]}, {p.x, p.y, p.z}};
}

// A surface corner: its vertex and the colour it shows there.
struct Corner {
  int vertex;
  uint8_t color[4];
};

// Fills a scene's lists, one object at a time, reusing its scratch arrays.
class MeshBuilder {
 public:
  MeshBuilder(const Document& document, ViewportMesh* mesh) : mesh_(*mesh) {
    materials_.assign(static_cast<size_t>(document.MaterialCount()), nullptr);
    for (int i = 0; i < document.MaterialCount(); ++i) materials_[static_cast<size_t>(i)] = document.MaterialAt(i);
    // Drawing materials are numbered apart from the document's own; a frame
    // holds a few.
    for (const DrawingMaterial& m : document.drawing_materials()) {
      drawing_materials_.emplace_back(m.index, m.material.get());
    }
    // The camera looks along the view matrix's third column; the light with it.
    const FMATRIX view = ViewMatrix(document.camera);
    forward_ = Unit(FVECTOR3(view(0, 2), view(1, 2), view(2, 2)));
    orthographic_ = document.camera.orthographic;
    eye_ = document.camera.position;
  }

  void AddDocumentObject(const Object& object) {
    if (object.visible == 0) return;
    AddSurfaces(object, nullptr);
    AddLinesAndPoints(object, nullptr, &mesh_.lines, &mesh_.points, false);
  }

  void AddDrawingObject(const Object& object) {
    const uint32_t shows = object.visible;
    Material object_material;
    object_material.color = MQColor{object.color[0], object.color[1], object.color[2]};
    const Material* object_colour = object.color_valid ? &object_material : nullptr;
    if ((shows & kVisibleFaces) != 0) AddSurfaces(object, object_colour);
    const bool lines = (shows & kVisibleLines) != 0;
    AddLinesAndPoints(object, object_colour, lines ? &mesh_.overlay_lines : nullptr,
                      (shows & kVisiblePoints) != 0 ? &mesh_.overlay_points : nullptr, lines);
  }

 private:
  const Material* MaterialOf(int index) const {
    if (index >= kFirstDrawingMaterialIndex) {
      for (const auto& [number, material] : drawing_materials_) {
        if (number == index) return material;
      }
      return nullptr;
    }
    return index >= 0 && index < static_cast<int>(materials_.size()) ? materials_[static_cast<size_t>(index)]
                                                                      : nullptr;
  }

  // A shown face whose point indices all name vertices of the object.
  static bool Valid(const Object& object, size_t index) {
    const Face& face = object.faces[index];
    const int count = static_cast<int>(object.vertices.size());
    return object.FaceVisible(static_cast<int>(index)) && std::all_of(face.points.begin(), face.points.end(),
                                       [count](int i) { return i >= 0 && i < count; });
  }

  // Faces of three points or more; `fallback` colours those without a material.
  void AddSurfaces(const Object& object, const Material* fallback) {
    surfaces_.clear();
    normals_.clear();
    for (size_t f = 0; f < object.faces.size(); ++f) {
      const Face& face = object.faces[f];
      if (face.points.size() < 3 || !Valid(object, f)) continue;
      surfaces_.push_back(static_cast<int>(f));
      // Newell's normal: the right-hand rule, so it points away from the
      // camera on a face that faces it (clockwise on the monitor).
      FVECTOR3 normal;
      const size_t n = face.points.size();
      for (size_t i = 0; i < n; ++i) {
        const FVECTOR3 a = At(object, face.points[i]);
        const FVECTOR3 b = At(object, face.points[(i + 1) % n]);
        normal += FVECTOR3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
      }
      normals_.push_back(Unit(normal));
    }
    if (surfaces_.empty()) return;
    const bool smooth = object.shading != 0 && object.smooth_angle > 0.0f;
    const float smooth_cos = static_cast<float>(std::cos(std::min(object.smooth_angle, 180.0f) * kPi / 180.0));
    if (smooth) {
      IndexFacesByVertex(object);
      SmoothVertexNormals(smooth_cos);
    }

    static const Material kDefaultMaterial;
    const size_t vertex_count = object.vertices.size();
    opaque_slot_.assign(vertex_count, -1);
    translucent_slot_.assign(vertex_count, -1);
    colour_material_.assign(vertex_count, nullptr);
    colour_.resize(vertex_count);
    for (size_t k = 0; k < surfaces_.size(); ++k) {
      const Face& face = object.faces[static_cast<size_t>(surfaces_[k])];
      if (!MarkFacingTriangles(object, face)) continue;
      const Material* material = MaterialOf(face.material);
      if (material == nullptr) material = fallback != nullptr ? fallback : &kDefaultMaterial;
      const bool vertex_colours = material->vertex_color != 0 && face.colors.size() == face.points.size();
      corners_.clear();
      bool translucent = false;
      for (size_t i = 0; i < face.points.size(); ++i) {
        const int v = face.points[i];
        const size_t vi = static_cast<size_t>(v);
        // A smooth vertex whose corners all share one normal has one colour
        // per material: worked out at its first corner.
        const bool shared = smooth && uniform_[vi] != 0 && !vertex_colours;
        Corner corner{v, {}};
        if (shared && colour_material_[vi] == material) {
          std::memcpy(corner.color, &colour_[vi], 4);
        } else {
          FVECTOR3 normal = normals_[k];
          if (smooth) {
            if (uniform_[vi] != 0) {
              normal = vertex_normals_[vi];
            } else {
              FVECTOR3 sum;
              for (int j = offsets_[vi]; j < offsets_[vi + 1]; ++j) {
                const FVECTOR3& other = normals_[static_cast<size_t>(faces_at_[static_cast<size_t>(j)])];
                if (Dot(other, normals_[k]) >= smooth_cos) sum += other;
              }
              normal = Unit(sum);
            }
          }
          // The normal turned toward the viewer is -normal; the light comes
          // from the camera, against `forward_`.
          const float light = LightFactor(*material, Dot(normal, forward_));
          float rgb[3] = {material->color.r, material->color.g, material->color.b};
          float alpha = material->alpha;
          if (vertex_colours) {
            const uint32_t c = face.colors[i];
            for (int ch = 0; ch < 3; ++ch) rgb[ch] = static_cast<float>((c >> (8 * ch)) & 0xFFu) / 255.0f;
            alpha *= static_cast<float>(c >> 24) / 255.0f;
          }
          corner.color[0] = ToByte(rgb[0] * light);
          corner.color[1] = ToByte(rgb[1] * light);
          corner.color[2] = ToByte(rgb[2] * light);
          corner.color[3] = ToByte(alpha);
          if (shared) {
            colour_material_[vi] = material;
            std::memcpy(&colour_[vi], corner.color, 4);
          }
        }
        translucent = translucent || corner.color[3] < 255;
        corners_.push_back(corner);
      }
      IndexedTriangles& out = translucent ? mesh_.translucent_triangles : mesh_.triangles;
      std::vector<int32_t>& slots = translucent ? translucent_slot_ : opaque_slot_;
      corner_index_.clear();
      for (const Corner& corner : corners_) corner_index_.push_back(Emit(object, corner, &out, &slots));
      // A fan from the first corner: the modeller's faces are convex.
      for (size_t i = 1; i + 1 < corner_index_.size(); ++i) {
        if (!facing_[i - 1]) continue;
        out.indices.push_back(corner_index_[0]);
        out.indices.push_back(corner_index_[i]);
        out.indices.push_back(corner_index_[i + 1]);
      }
    }
  }

  // Marks which triangles of the face's fan may face the camera; false when
  // none does. Drawing culls back faces anyway, but a mesh turns half its
  // faces away, and leaving them out here spares their colours and their
  // trip through the GL. Only clearly turned-away triangles are left out:
  // ones nearly edge-on are the GL's to decide.
  bool MarkFacingTriangles(const Object& object, const Face& face) {
    // The cosine below which a triangle is turned away, squared.
    constexpr float kEdgeOn2 = 1e-4f * 1e-4f;
    const size_t n = face.points.size();
    facing_.assign(n - 2, 1);
    bool any = false;
    const FVECTOR3 a = At(object, face.points[0]);
    const FVECTOR3 to_face = orthographic_ ? forward_ : a - eye_;
    const float to_face2 = Dot(to_face, to_face);
    for (size_t i = 1; i + 1 < n; ++i) {
      // Its right-hand normal points away from the camera when it faces it.
      const FVECTOR3 normal = Cross(At(object, face.points[i]) - a, At(object, face.points[i + 1]) - a);
      const float d = Dot(normal, to_face);
      const bool away = d < 0.0f && d * d > kEdgeOn2 * Dot(normal, normal) * to_face2;
      facing_[i - 1] = away ? 0 : 1;
      any = any || !away;
    }
    return any;
  }

  // The index of a drawn vertex at the corner's place in its colour: the one
  // last made for that vertex when the colour matches, else a new one.
  static uint32_t Emit(const Object& object, const Corner& corner, IndexedTriangles* out,
                       std::vector<int32_t>* slots) {
    int32_t& slot = (*slots)[static_cast<size_t>(corner.vertex)];
    if (slot >= 0 && std::memcmp(out->vertices[static_cast<size_t>(slot)].color, corner.color, 4) == 0) {
      return static_cast<uint32_t>(slot);
    }
    slot = static_cast<int32_t>(out->vertices.size());
    out->vertices.push_back(Vertex(At(object, corner.vertex), corner.color));
    return static_cast<uint32_t>(slot);
  }

  // Where every pair of a vertex's surfaces lies within the smoothing angle,
  // each of its corners gets the same normal, the mean of them all: worked
  // out once per vertex (uniform_ 1) instead of once per corner.
  void SmoothVertexNormals(float smooth_cos) {
    const size_t vertices = offsets_.size() - 1;
    vertex_normals_.resize(vertices);
    uniform_.assign(vertices, 0);
    for (size_t v = 0; v < vertices; ++v) {
      const int first = offsets_[v], last = offsets_[v + 1];
      bool uniform = true;
      FVECTOR3 sum;
      for (int a = first; a < last && uniform; ++a) {
        const FVECTOR3& n = normals_[static_cast<size_t>(faces_at_[static_cast<size_t>(a)])];
        sum += n;
        for (int b = a + 1; b < last; ++b) {
          if (Dot(n, normals_[static_cast<size_t>(faces_at_[static_cast<size_t>(b)])]) < smooth_cos) {
            uniform = false;
            break;
          }
        }
      }
      if (!uniform) continue;
      uniform_[v] = 1;
      vertex_normals_[v] = Unit(sum);
    }
  }

  // For every vertex, the surfaces (positions in surfaces_) that use it.
  void IndexFacesByVertex(const Object& object) {
    offsets_.assign(object.vertices.size() + 1, 0);
    for (int f : surfaces_) {
      for (int v : object.faces[static_cast<size_t>(f)].points) ++offsets_[static_cast<size_t>(v) + 1];
    }
    for (size_t v = 1; v < offsets_.size(); ++v) offsets_[v] += offsets_[v - 1];
    faces_at_.assign(static_cast<size_t>(offsets_.back()), 0);
    fill_.assign(offsets_.begin(), offsets_.end() - 1);
    for (size_t k = 0; k < surfaces_.size(); ++k) {
      for (int v : object.faces[static_cast<size_t>(surfaces_[k])].points) {
        faces_at_[static_cast<size_t>(fill_[static_cast<size_t>(v)]++)] = static_cast<int>(k);
      }
    }
  }

  // One-point faces into `points`, two-point faces into `lines`, and with
  // `edges` the edges of larger faces too (a null list takes nothing);
  // unlit, in `object_colour` when given, else the face's material colour,
  // else white.
  void AddLinesAndPoints(const Object& object, const Material* object_colour, std::vector<MeshVertex>* lines,
                         std::vector<MeshVertex>* points, bool edges) {
    for (size_t f = 0; f < object.faces.size(); ++f) {
      const Face& face = object.faces[f];
      const size_t n = face.points.size();
      std::vector<MeshVertex>* out = n == 1 ? points : n == 2 || edges ? lines : nullptr;
      if (n == 0 || out == nullptr || !Valid(object, f)) continue;
      const Material* material = object_colour != nullptr ? object_colour : MaterialOf(face.material);
      const MQColor c = material != nullptr ? material->color : MQColor{1.0f, 1.0f, 1.0f};
      const uint8_t color[4] = {ToByte(c.r), ToByte(c.g), ToByte(c.b), 255};
      if (n == 1) {
        out->push_back(Vertex(At(object, face.points[0]), color));
        continue;
      }
      // A two-point face is one segment; a larger face's outline closes.
      const size_t segments = n == 2 ? 1 : n;
      for (size_t i = 0; i < segments; ++i) {
        out->push_back(Vertex(At(object, face.points[i]), color));
        out->push_back(Vertex(At(object, face.points[(i + 1) % n]), color));
      }
    }
  }

  ViewportMesh& mesh_;
  std::vector<const Material*> materials_;  // the document's, by material index
  std::vector<std::pair<int, const Material*>> drawing_materials_;  // by their own numbers
  FVECTOR3 forward_;                        // the camera's viewing direction
  bool orthographic_ = false;
  FVECTOR3 eye_;                            // the camera's position
  std::vector<uint8_t> facing_;             // by fan triangle of the face being added
  // Scratch, per object.
  std::vector<int> surfaces_;       // face indices of the faces drawn as surfaces
  std::vector<FVECTOR3> normals_;   // their unit normals
  std::vector<int> offsets_;        // vertex v's surfaces: faces_at_[offsets_[v] .. offsets_[v + 1])
  std::vector<int> faces_at_;
  std::vector<int> fill_;
  std::vector<FVECTOR3> vertex_normals_;  // by vertex, where uniform_ is 1
  std::vector<uint8_t> uniform_;
  std::vector<Corner> corners_;        // the face being added
  std::vector<uint32_t> corner_index_;  // its corners' drawn vertices
  // By vertex: the drawn vertex last made for it in each list, or -1.
  std::vector<int32_t> opaque_slot_;
  std::vector<int32_t> translucent_slot_;
  // By vertex, for smooth vertices of one normal: the colour worked out for
  // the material colour_material_ (null before the first corner).
  std::vector<const Material*> colour_material_;
  std::vector<uint32_t> colour_;
};

}  // namespace

void BuildViewportMesh(const Document& document, ViewportMesh* mesh) {
  mesh->Clear();
  MeshBuilder builder(document, mesh);
  for (int i = 0; i < document.ObjectCount(); ++i) {
    if (const Object* object = document.ObjectAt(i)) builder.AddDocumentObject(*object);
  }
  for (const DrawingObject& drawing : document.drawing_objects()) {
    if (drawing.object && drawing.object->visible != 0) builder.AddDrawingObject(*drawing.object);
  }
}

}  // namespace mqhost
