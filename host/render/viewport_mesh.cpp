#include "host/render/viewport_mesh.h"

#include <algorithm>
#include <cmath>

#include "host/geometry/camera.h"

namespace mqhost {

void ViewportMesh::Clear() {
  triangles.clear();
  translucent_triangles.clear();
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

// Fills a scene's lists, one object at a time, reusing its scratch arrays.
class MeshBuilder {
 public:
  MeshBuilder(const Document& document, ViewportMesh* mesh) : mesh_(*mesh) {
    // Drawing materials are numbered after the document's own.
    int count = document.MaterialCount();
    for (const DrawingMaterial& m : document.drawing_materials()) count = std::max(count, m.index + 1);
    materials_.assign(static_cast<size_t>(count), nullptr);
    for (int i = 0; i < document.MaterialCount(); ++i) materials_[static_cast<size_t>(i)] = document.MaterialAt(i);
    for (const DrawingMaterial& m : document.drawing_materials()) {
      if (m.index >= 0) materials_[static_cast<size_t>(m.index)] = m.material.get();
    }
    // The camera looks along the view matrix's third column; the light with it.
    const FMATRIX view = ViewMatrix(document.camera);
    forward_ = Unit(FVECTOR3(view(0, 2), view(1, 2), view(2, 2)));
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
    return index >= 0 && index < static_cast<int>(materials_.size()) ? materials_[static_cast<size_t>(index)]
                                                                      : nullptr;
  }

  // A face whose point indices all name vertices of the object.
  static bool Valid(const Object& object, const Face& face) {
    const int count = static_cast<int>(object.vertices.size());
    return face.visible && std::all_of(face.points.begin(), face.points.end(),
                                       [count](int i) { return i >= 0 && i < count; });
  }

  // Faces of three points or more; `fallback` colours those without a material.
  void AddSurfaces(const Object& object, const Material* fallback) {
    surfaces_.clear();
    normals_.clear();
    for (size_t f = 0; f < object.faces.size(); ++f) {
      const Face& face = object.faces[f];
      if (face.points.size() < 3 || !Valid(object, face)) continue;
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
    for (size_t k = 0; k < surfaces_.size(); ++k) {
      const Face& face = object.faces[static_cast<size_t>(surfaces_[k])];
      const Material* material = MaterialOf(face.material);
      if (material == nullptr) material = fallback != nullptr ? fallback : &kDefaultMaterial;
      const bool vertex_colours = material->vertex_color != 0 && face.colors.size() == face.points.size();
      corners_.clear();
      bool translucent = false;
      for (size_t i = 0; i < face.points.size(); ++i) {
        const int v = face.points[i];
        FVECTOR3 normal = normals_[k];
        if (smooth) {
          if (uniform_[static_cast<size_t>(v)] != 0) {
            normal = vertex_normals_[static_cast<size_t>(v)];
          } else {
            FVECTOR3 sum;
            for (int j = offsets_[static_cast<size_t>(v)]; j < offsets_[static_cast<size_t>(v) + 1]; ++j) {
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
        const uint8_t color[4] = {ToByte(rgb[0] * light), ToByte(rgb[1] * light), ToByte(rgb[2] * light),
                                  ToByte(alpha)};
        translucent = translucent || color[3] < 255;
        corners_.push_back(Vertex(At(object, v), color));
      }
      // A fan from the first corner: the modeller's faces are convex.
      std::vector<MeshVertex>& out = translucent ? mesh_.translucent_triangles : mesh_.triangles;
      for (size_t i = 1; i + 1 < corners_.size(); ++i) {
        out.push_back(corners_[0]);
        out.push_back(corners_[i]);
        out.push_back(corners_[i + 1]);
      }
    }
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
    for (const Face& face : object.faces) {
      const size_t n = face.points.size();
      std::vector<MeshVertex>* out = n == 1 ? points : n == 2 || edges ? lines : nullptr;
      if (n == 0 || out == nullptr || !Valid(object, face)) continue;
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
  std::vector<const Material*> materials_;  // by material index, drawing materials included
  FVECTOR3 forward_;                        // the camera's viewing direction
  // Scratch, per object.
  std::vector<int> surfaces_;       // face indices of the faces drawn as surfaces
  std::vector<FVECTOR3> normals_;   // their unit normals
  std::vector<int> offsets_;        // vertex v's surfaces: faces_at_[offsets_[v] .. offsets_[v + 1])
  std::vector<int> faces_at_;
  std::vector<int> fill_;
  std::vector<FVECTOR3> vertex_normals_;  // by vertex, where uniform_ is 1
  std::vector<uint8_t> uniform_;
  std::vector<MeshVertex> corners_;
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
