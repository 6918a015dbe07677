#include "host/files/document_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "host/files/obj_reader.h"

namespace mqhost {

namespace {

constexpr char kRootName[] = "MQHostDocument";
constexpr int kFormatVersion = 1;

// ------------------------------------------------------------ text forms

// Nine significant digits read back as exactly the same float.
std::string Floats(const float* values, int count) {
  std::string text;
  char buffer[32];
  for (int i = 0; i < count; ++i) {
    std::snprintf(buffer, sizeof(buffer), "%.9g", static_cast<double>(values[i]));
    if (i > 0) text += ' ';
    text += buffer;
  }
  return text;
}

std::string Vector(const FVECTOR3& v) {
  const float values[3] = {v.x, v.y, v.z};
  return Floats(values, 3);
}

std::string Unsigned(uint32_t value) { return std::to_string(value); }

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

// Reads exactly `count` numbers separated by single spaces; nothing else.
bool ParseFloats(const std::string& text, int count, float* out) {
  const char* p = text.c_str();
  for (int i = 0; i < count; ++i) {
    if (i > 0) {
      if (*p != ' ') return false;
      ++p;
    }
    char* end = nullptr;
    errno = 0;
    const float value = std::strtof(p, &end);
    if (end == p || errno == ERANGE) return false;
    out[i] = value;
    p = end;
  }
  return *p == '\0';
}

bool ParseInts(const std::string& text, std::vector<int>* out) {
  out->clear();
  const char* p = text.c_str();
  while (*p != '\0') {
    if (!out->empty()) {
      if (*p != ' ') return false;
      ++p;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return false;
    out->push_back(static_cast<int>(value));
    p = end;
  }
  return true;
}

bool ParseUnsigned(const std::string& text, uint32_t* out) {
  if (text.empty() || text[0] == '-' || text[0] == ' ') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (*end != '\0' || errno == ERANGE || value > UINT32_MAX) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

bool ParseHex(const std::string& text, std::vector<uint8_t>* out) {
  if (text.size() % 2 != 0) return false;
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  out->resize(text.size() / 2);
  for (size_t i = 0; i < out->size(); ++i) {
    const int high = digit(text[2 * i]);
    const int low = digit(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    (*out)[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

// ------------------------------------------------------------ writing

void WriteCamera(const Camera& camera, XmlElement* element) {
  element->SetAttribute("position", Vector(camera.position));
  element->SetAttribute("look_at", Vector(camera.look_at));
  element->SetAttribute("up", Vector(camera.up));
  element->SetIntAttribute("orthographic", camera.orthographic ? 1 : 0);
  element->SetAttribute("fov", Floats(&camera.fov_degrees, 1));
  element->SetAttribute("ortho_height", Floats(&camera.ortho_height, 1));
  element->SetAttribute("near", Floats(&camera.near_plane, 1));
  element->SetAttribute("far", Floats(&camera.far_plane, 1));
  element->SetIntAttribute("width", camera.width);
  element->SetIntAttribute("height", camera.height);
}

void WriteObject(const Object& object, XmlElement* element) {
  element->SetAttribute("name", object.name);
  element->SetAttribute("uid", Unsigned(object.uid));
  element->SetIntAttribute("depth", object.depth);
  element->SetAttribute("visible", Unsigned(object.visible));
  element->SetIntAttribute("locked", object.locked ? 1 : 0);
  element->SetIntAttribute("shading", object.shading);
  element->SetAttribute("smooth_angle", Floats(&object.smooth_angle, 1));
  element->SetAttribute("color", Floats(object.color, 3));
  element->SetIntAttribute("color_valid", object.color_valid ? 1 : 0);
  element->SetAttribute("scale", Vector(object.transform.scale));
  element->SetAttribute("rotation", Vector(object.transform.rotation));
  element->SetAttribute("translation", Vector(object.transform.translation));
  for (const Vertex& vertex : object.vertices) {
    XmlElement* v = element->AddChild("Vertex");
    const float position[3] = {vertex.position.x, vertex.position.y, vertex.position.z};
    v->SetAttribute("p", Floats(position, 3));
    v->SetAttribute("uid", Unsigned(vertex.uid));
    if (vertex.selected) v->SetIntAttribute("selected", 1);
  }
  for (size_t index = 0; index < object.faces.size(); ++index) {
    const Face& face = object.faces[index];
    XmlElement* f = element->AddChild("Face");
    std::string points, uvs, colors;
    for (size_t i = 0; i < face.points.size(); ++i) {
      if (i > 0) points += ' ', colors += ' ';
      points += std::to_string(face.points[i]);
      colors += Unsigned(face.colors[i]);
    }
    for (size_t i = 0; i < face.uvs.size(); ++i) {
      const float uv[2] = {face.uvs[i].u, face.uvs[i].v};
      if (i > 0) uvs += ' ';
      uvs += Floats(uv, 2);
    }
    f->SetAttribute("v", points);
    f->SetAttribute("uv", uvs);
    f->SetAttribute("colors", colors);
    f->SetIntAttribute("material", face.material);
    if (!object.FaceVisible(static_cast<int>(index))) f->SetIntAttribute("visible", 0);
  }
  for (const auto& [slot, bytes] : object.object_data) {
    XmlElement* d = element->AddChild("ObjectData");
    d->SetIntAttribute("slot", slot);
    d->SetAttribute("bytes", Hex(bytes));
  }
  for (const auto& [slot, bytes] : object.vertex_data) {
    XmlElement* d = element->AddChild("VertexData");
    d->SetIntAttribute("slot", slot);
    d->SetAttribute("bytes", Hex(bytes));
  }
}

void WriteMaterial(const Material& material, XmlElement* element) {
  element->SetAttribute("name", material.name);
  element->SetAttribute("uid", Unsigned(material.uid));
  const float color[3] = {material.color.r, material.color.g, material.color.b};
  element->SetAttribute("color", Floats(color, 3));
  element->SetAttribute("diffuse", Floats(&material.diffuse, 1));
  element->SetAttribute("ambient", Floats(&material.ambient, 1));
  element->SetAttribute("emission", Floats(&material.emission, 1));
  element->SetAttribute("specular", Floats(&material.specular, 1));
  element->SetAttribute("power", Floats(&material.power, 1));
  element->SetAttribute("alpha", Floats(&material.alpha, 1));
  element->SetIntAttribute("vertex_color", material.vertex_color);
  // Written only when set: files of materials without a texture stay as
  // they were before materials had one.
  if (!material.texture.empty()) element->SetAttribute("texture", material.texture);
}

// Copies attributes and children of `from` into `to`.
void CopyInto(const XmlElement& from, XmlElement* to) {
  for (const auto& [name, value] : from.Attributes()) to->SetAttribute(name, value);
  for (size_t i = 0; i < from.ChildCount(); ++i) {
    const XmlElement& child = from.Child(i);
    XmlElement* copy = to->AddChild(child.Name());
    if (copy != nullptr) CopyInto(child, copy);
  }
}

// ------------------------------------------------------------ reading

// Collects the first problem found while reading; later ones are ignored.
class Reader {
 public:
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  void Fail(const std::string& where, const std::string& what) {
    if (error_.empty()) error_ = where + ": " + what;
  }

  const std::string* Need(const XmlElement& e, const std::string& where, const char* name) {
    const std::string* value = e.GetAttribute(name);
    if (value == nullptr) Fail(where, std::string("missing attribute '") + name + "'");
    return value;
  }
  void FloatsOf(const XmlElement& e, const std::string& where, const char* name, int count,
                float* out) {
    const std::string* text = Need(e, where, name);
    if (text != nullptr && !ParseFloats(*text, count, out)) {
      Fail(where, std::string("attribute '") + name + "' is not " + std::to_string(count) +
                      " number(s)");
    }
  }
  FVECTOR3 VectorOf(const XmlElement& e, const std::string& where, const char* name) {
    float v[3] = {0, 0, 0};
    FloatsOf(e, where, name, 3, v);
    return FVECTOR3(v[0], v[1], v[2]);
  }
  int IntOf(const XmlElement& e, const std::string& where, const char* name) {
    int value = 0;
    if (Need(e, where, name) != nullptr && !e.GetIntAttribute(name, &value)) {
      Fail(where, std::string("attribute '") + name + "' is not an integer");
    }
    return value;
  }
  uint32_t UnsignedOf(const XmlElement& e, const std::string& where, const char* name) {
    uint32_t value = 0;
    const std::string* text = Need(e, where, name);
    if (text != nullptr && !ParseUnsigned(*text, &value)) {
      Fail(where, std::string("attribute '") + name + "' is not an unsigned number");
    }
    return value;
  }

 private:
  std::string error_;
};

void ReadCamera(Reader& r, const XmlElement& e, Camera* camera) {
  const std::string where = "Camera";
  camera->position = r.VectorOf(e, where, "position");
  camera->look_at = r.VectorOf(e, where, "look_at");
  camera->up = r.VectorOf(e, where, "up");
  camera->orthographic = r.IntOf(e, where, "orthographic") != 0;
  r.FloatsOf(e, where, "fov", 1, &camera->fov_degrees);
  r.FloatsOf(e, where, "ortho_height", 1, &camera->ortho_height);
  r.FloatsOf(e, where, "near", 1, &camera->near_plane);
  r.FloatsOf(e, where, "far", 1, &camera->far_plane);
  camera->width = r.IntOf(e, where, "width");
  camera->height = r.IntOf(e, where, "height");
  if (r.ok() && (camera->width <= 0 || camera->height <= 0 || !(camera->near_plane > 0.0f) ||
                 !(camera->far_plane > camera->near_plane))) {
    r.Fail(where, "viewport size or clipping planes out of range");
  }
}

std::unique_ptr<Object> ReadObject(Reader& r, const XmlElement& e, const std::string& where,
                                   const std::vector<UserDataKind>& kinds) {
  auto object = std::make_unique<Object>();
  const std::string* name = r.Need(e, where, "name");
  if (name != nullptr) object->name = *name;
  object->uid = r.UnsignedOf(e, where, "uid");
  object->depth = r.IntOf(e, where, "depth");
  object->visible = r.UnsignedOf(e, where, "visible");
  object->locked = r.IntOf(e, where, "locked") != 0;
  object->shading = r.IntOf(e, where, "shading");
  r.FloatsOf(e, where, "smooth_angle", 1, &object->smooth_angle);
  r.FloatsOf(e, where, "color", 3, object->color);
  object->color_valid = r.IntOf(e, where, "color_valid") != 0;
  object->transform.scale = r.VectorOf(e, where, "scale");
  object->transform.rotation = r.VectorOf(e, where, "rotation");
  object->transform.translation = r.VectorOf(e, where, "translation");
  if (object->depth < 0) r.Fail(where, "negative depth");

  std::vector<int> ints;
  for (size_t i = 0; i < e.ChildCount() && r.ok(); ++i) {
    const XmlElement& child = e.Child(i);
    const std::string at = where + " " + child.Name() + " " + std::to_string(i);
    if (child.Name() == "Vertex") {
      Vertex vertex;
      float p[3] = {0, 0, 0};
      r.FloatsOf(child, at, "p", 3, p);
      vertex.position = MQPoint{p[0], p[1], p[2]};
      vertex.uid = r.UnsignedOf(child, at, "uid");
      int selected = 0;
      child.GetIntAttribute("selected", &selected);
      vertex.selected = selected != 0;
      object->vertices.push_back(vertex);
    } else if (child.Name() == "Face") {
      Face face;
      const std::string* points = r.Need(child, at, "v");
      if (points == nullptr || !ParseInts(*points, &face.points) || face.points.empty()) {
        r.Fail(at, "attribute 'v' is not a list of vertex indices");
        break;
      }
      for (int point : face.points) {
        if (point < 0 || point >= static_cast<int>(object->vertices.size())) {
          r.Fail(at, "vertex index " + std::to_string(point) + " out of range");
        }
      }
      const int corners = static_cast<int>(face.points.size());
      std::vector<float> uv(static_cast<size_t>(corners) * 2);
      r.FloatsOf(child, at, "uv", corners * 2, uv.data());
      for (int c = 0; c < corners; ++c) {
        face.uvs.push_back(MQCoordinate{uv[static_cast<size_t>(2 * c)], uv[static_cast<size_t>(2 * c + 1)]});
      }
      const std::string* colors = r.Need(child, at, "colors");
      if (colors != nullptr) {
        std::istringstream in(*colors);
        uint32_t value = 0;
        std::string token;
        while (in >> token) {
          if (!ParseUnsigned(token, &value)) break;
          face.colors.push_back(value);
        }
        if (static_cast<int>(face.colors.size()) != corners) r.Fail(at, "one colour per corner expected");
      }
      face.material = r.IntOf(child, at, "material");
      int visible = 1;
      child.GetIntAttribute("visible", &visible);
      object->faces.push_back(std::move(face));
      object->SetFaceVisible(static_cast<int>(object->faces.size()) - 1, visible != 0);
    } else if (child.Name() == "ObjectData" || child.Name() == "VertexData") {
      const bool per_vertex = child.Name() == "VertexData";
      const int slot = r.IntOf(child, at, "slot");
      const std::string* bytes = r.Need(child, at, "bytes");
      std::vector<uint8_t> data;
      if (bytes != nullptr && !ParseHex(*bytes, &data)) r.Fail(at, "attribute 'bytes' is not hexadecimal");
      if (!r.ok()) break;
      if (slot <= 0 || slot > static_cast<int>(kinds.size())) {
        r.Fail(at, "slot " + std::to_string(slot) + " is not registered");
        break;
      }
      const UserDataKind& kind = kinds[static_cast<size_t>(slot) - 1];
      if (kind.type != (per_vertex ? MQUSERDATA_VERTEX : MQUSERDATA_OBJECT)) {
        r.Fail(at, "slot " + std::to_string(slot) + " is not " +
                       (per_vertex ? "vertex" : "object") + " data");
        break;
      }
      const size_t record = static_cast<size_t>(kind.bytes_per_element);
      const size_t expected = per_vertex ? record * object->vertices.size() : record;
      if (data.size() != expected) {
        r.Fail(at, "holds " + std::to_string(data.size()) + " bytes, expected " + std::to_string(expected));
        break;
      }
      (per_vertex ? object->vertex_data : object->object_data)[slot] = std::move(data);
    } else {
      r.Fail(at, "unknown element");
    }
  }
  return object;
}

std::unique_ptr<Material> ReadMaterial(Reader& r, const XmlElement& e, const std::string& where) {
  auto material = std::make_unique<Material>();
  const std::string* name = r.Need(e, where, "name");
  if (name != nullptr) material->name = *name;
  material->uid = r.UnsignedOf(e, where, "uid");
  float color[3] = {1, 1, 1};
  r.FloatsOf(e, where, "color", 3, color);
  material->color = MQColor{color[0], color[1], color[2]};
  r.FloatsOf(e, where, "diffuse", 1, &material->diffuse);
  r.FloatsOf(e, where, "ambient", 1, &material->ambient);
  r.FloatsOf(e, where, "emission", 1, &material->emission);
  r.FloatsOf(e, where, "specular", 1, &material->specular);
  r.FloatsOf(e, where, "power", 1, &material->power);
  r.FloatsOf(e, where, "alpha", 1, &material->alpha);
  material->vertex_color = r.IntOf(e, where, "vertex_color");
  if (const std::string* texture = e.GetAttribute("texture")) material->texture = *texture;
  return material;
}

bool ReadFile(const std::string& path, std::string* text, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error != nullptr) *error = path + ": cannot open";
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      if (error != nullptr) *error = path + ": cannot write";
      std::remove(temporary.c_str());
      return false;
    }
  }
  // Windows cannot rename onto an existing file.
  std::remove(path.c_str());
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (error != nullptr) *error = path + ": cannot write";
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

std::string WriteDocumentXml(const Document& document, const PluginElementMap& elements) {
  std::unique_ptr<XmlElement> root = XmlElement::Create(kRootName);
  root->SetIntAttribute("version", kFormatVersion);
  WriteCamera(document.camera, root->AddChild("Camera"));

  XmlElement* kinds = root->AddChild("UserDataKinds");
  for (size_t i = 0; i < document.kinds().size(); ++i) {
    const UserDataKind& kind = document.kinds()[i];
    XmlElement* k = kinds->AddChild("Kind");
    k->SetIntAttribute("slot", static_cast<int>(i) + 1);
    k->SetAttribute("product", Unsigned(kind.product_id));
    k->SetAttribute("plugin", Unsigned(kind.plugin_id));
    k->SetAttribute("name", kind.name);
    k->SetIntAttribute("type", kind.type);
    k->SetIntAttribute("bytes", kind.bytes_per_element);
  }

  XmlElement* materials = root->AddChild("Materials");
  materials->SetIntAttribute("current", document.current_material);
  for (int i = 0; i < document.MaterialCount(); ++i) {
    WriteMaterial(*document.MaterialAt(i), materials->AddChild("Material"));
  }

  XmlElement* objects = root->AddChild("Objects");
  objects->SetIntAttribute("current", document.current_object);
  for (int i = 0; i < document.ObjectCount(); ++i) {
    const Object* object = document.ObjectAt(i);
    if (object == nullptr) {
      objects->AddChild("Empty");
    } else {
      WriteObject(*object, objects->AddChild("Object"));
    }
  }

  XmlElement* plugins = root->AddChild("Plugins");
  for (const auto& [key, element] : elements) {
    if (!element) continue;
    XmlElement* p = plugins->AddChild("Plugin");
    p->SetAttribute("product", Unsigned(key.first));
    p->SetAttribute("id", Unsigned(key.second));
    XmlElement* content = p->AddChild("Element");
    CopyInto(*element, content);
  }
  return WriteXml(*root);
}

bool ReadDocumentXml(const std::string& text, Document* document, PluginElementMap* elements,
                     std::string* error) {
  auto fail = [error](const std::string& message) {
    if (error != nullptr) *error = message;
    return false;
  };
  std::unique_ptr<XmlElement> root;
  std::string parse_error;
  if (!ParseXml(text, &root, &parse_error)) return fail(parse_error);
  if (root->Name() != kRootName) return fail("not a host document (root element '" + root->Name() + "')");
  int version = 0;
  if (!root->GetIntAttribute("version", &version) || version != kFormatVersion) {
    return fail("unsupported document version");
  }

  Reader r;
  Camera camera;
  std::vector<UserDataKind> kinds;
  Document::State state;
  PluginElementMap plugin_elements;
  bool seen_camera = false, seen_kinds = false, seen_materials = false, seen_objects = false;

  for (size_t i = 0; i < root->ChildCount() && r.ok(); ++i) {
    const XmlElement& section = root->Child(i);
    const std::string& name = section.Name();
    if (name == "Camera" && !seen_camera) {
      seen_camera = true;
      ReadCamera(r, section, &camera);
    } else if (name == "UserDataKinds" && !seen_kinds && !seen_objects) {
      seen_kinds = true;
      for (size_t k = 0; k < section.ChildCount() && r.ok(); ++k) {
        const XmlElement& e = section.Child(k);
        const std::string where = "Kind " + std::to_string(k);
        UserDataKind kind;
        if (e.Name() != "Kind") r.Fail(where, "unknown element '" + e.Name() + "'");
        if (r.IntOf(e, where, "slot") != static_cast<int>(k) + 1) r.Fail(where, "slots out of order");
        kind.product_id = r.UnsignedOf(e, where, "product");
        kind.plugin_id = r.UnsignedOf(e, where, "plugin");
        const std::string* kind_name = r.Need(e, where, "name");
        if (kind_name != nullptr) kind.name = *kind_name;
        kind.type = r.IntOf(e, where, "type");
        kind.bytes_per_element = r.IntOf(e, where, "bytes");
        if (r.ok() && kind.bytes_per_element <= 0) r.Fail(where, "record size must be positive");
        if (r.ok() && (kind.type < MQUSERDATA_OBJECT || kind.type > MQUSERDATA_FACE)) {
          r.Fail(where, "unknown kind " + std::to_string(kind.type));
        }
        kinds.push_back(kind);
      }
    } else if (name == "Materials" && !seen_materials) {
      seen_materials = true;
      state.current_material = r.IntOf(section, "Materials", "current");
      for (size_t m = 0; m < section.ChildCount() && r.ok(); ++m) {
        const XmlElement& e = section.Child(m);
        const std::string where = "Material " + std::to_string(m);
        if (e.Name() != "Material") r.Fail(where, "unknown element '" + e.Name() + "'");
        state.materials.push_back(ReadMaterial(r, e, where));
      }
    } else if (name == "Objects" && !seen_objects) {
      seen_objects = true;
      state.current_object = r.IntOf(section, "Objects", "current");
      for (size_t o = 0; o < section.ChildCount() && r.ok(); ++o) {
        const XmlElement& e = section.Child(o);
        const std::string where = "Object " + std::to_string(o);
        if (e.Name() == "Empty") {
          state.objects.push_back(nullptr);
        } else if (e.Name() == "Object") {
          state.objects.push_back(ReadObject(r, e, where, kinds));
        } else {
          r.Fail(where, "unknown element '" + e.Name() + "'");
        }
      }
    } else if (name == "Plugins") {
      for (size_t p = 0; p < section.ChildCount() && r.ok(); ++p) {
        const XmlElement& e = section.Child(p);
        const std::string where = "Plugin " + std::to_string(p);
        const uint32_t product = r.UnsignedOf(e, where, "product");
        const uint32_t id = r.UnsignedOf(e, where, "id");
        const XmlElement* content = e.FirstChild("Element");
        if (e.Name() != "Plugin" || content == nullptr) {
          r.Fail(where, "a plug-in entry needs one Element");
          break;
        }
        auto element = XmlElement::Create("Plugin");
        CopyInto(*content, element.get());
        if (!plugin_elements.emplace(std::make_pair(product, id), std::move(element)).second) {
          r.Fail(where, "the same plug-in twice");
        }
      }
    } else {
      r.Fail("document", "unexpected element '" + name + "'");
    }
  }
  if (r.ok() && (state.current_object < -1 ||
                 state.current_object >= static_cast<int>(state.objects.size()))) {
    r.Fail("Objects", "current object out of range");
  }
  if (r.ok() && (state.current_material < -1 ||
                 state.current_material >= static_cast<int>(state.materials.size()))) {
    r.Fail("Materials", "current material out of range");
  }
  if (!r.ok()) return fail(r.error());

  document->camera = camera;
  document->Replace(std::move(state), std::move(kinds));
  if (elements != nullptr) *elements = std::move(plugin_elements);
  return true;
}

bool SaveDocumentFile(const std::string& path, const Document& document,
                      const PluginElementMap& elements, std::string* error) {
  return WriteFileAtomically(path, WriteDocumentXml(document, elements), error);
}

bool LoadDocumentFile(const std::string& path, Document* document, PluginElementMap* elements,
                      std::string* error) {
  std::string text;
  if (!ReadFile(path, &text, error)) return false;
  std::string message;
  if (!ReadDocumentXml(text, document, elements, &message)) {
    if (error != nullptr) *error = path + ": " + message;
    return false;
  }
  return true;
}

bool ImportObjFile(const std::string& path, Document* document, std::string* error) {
  std::vector<ImportedMesh> meshes;
  std::vector<ImportedMaterial> materials;
  if (!ReadObjFile(path, &meshes, &materials, error)) return false;
  const int first_material = document->MaterialCount();
  for (const ImportedMaterial& imported : materials) {
    auto material = std::make_unique<Material>();
    material->name = imported.name;
    material->color = MQColor{imported.diffuse_rgb[0], imported.diffuse_rgb[1], imported.diffuse_rgb[2]};
    material->alpha = imported.alpha;
    document->AddMaterial(std::move(material));
  }
  // OBJ faces are counter-clockwise from the front; the modeller stores them
  // clockwise, so every face is reversed on the way in and out.
  for (const ImportedMesh& mesh : meshes) {
    auto object = document->NewObject();
    object->name = mesh.name.empty() ? "obj" + std::to_string(document->ObjectCount() + 1) : mesh.name;
    for (const MQPoint& point : mesh.positions) object->AddVertex(point);
    for (const ImportedMesh::Face& imported : mesh.faces) {
      const int face = object->AddFace(std::vector<int>(imported.points.rbegin(), imported.points.rend()));
      if (face < 0) continue;
      Face& f = object->faces[static_cast<size_t>(face)];
      f.material = imported.material >= 0 ? first_material + imported.material : -1;
      const size_t corners = f.uvs.size();
      for (size_t c = 0; c < imported.uvs.size() && c < corners; ++c) {
        f.uvs[corners - 1 - c] = MQCoordinate{imported.uvs[c].first, imported.uvs[c].second};
      }
    }
    document->AddObject(std::move(object));
  }
  if (document->current_object < 0 && document->ObjectCount() > 0) document->current_object = 0;
  return true;
}

std::string DocumentToObj(const Document& document) {
  std::vector<ImportedMesh> meshes;
  for (int i = 0; i < document.ObjectCount(); ++i) {
    const Object* object = document.ObjectAt(i);
    if (object == nullptr) continue;
    ImportedMesh mesh;
    mesh.name = object->name;
    for (const Vertex& vertex : object->vertices) mesh.positions.push_back(vertex.position);
    for (const Face& face : object->faces) {
      // Points and lines have no place in an OBJ polygon list.
      if (face.points.size() < 3) continue;
      ImportedMesh::Face f;
      f.points.assign(face.points.rbegin(), face.points.rend());
      for (auto uv = face.uvs.rbegin(); uv != face.uvs.rend(); ++uv) f.uvs.emplace_back(uv->u, uv->v);
      mesh.faces.push_back(std::move(f));
    }
    meshes.push_back(std::move(mesh));
  }
  return WriteObj(meshes);
}

bool ExportObjFile(const std::string& path, const Document& document, std::string* error) {
  return WriteFileAtomically(path, DocumentToObj(document), error);
}

}  // namespace mqhost
