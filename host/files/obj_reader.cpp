#include "host/files/obj_reader.h"

#define TINYOBJLOADER_IMPLEMENTATION
#include <tiny_obj_loader.h>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <new>
#include <sstream>
#include <string_view>
#include <system_error>

namespace mqhost {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// Calls visit(begin, line) for every line of `text`, split where
// tinyobjloader splits them: at LF, CR LF or a lone CR. Stops, answering
// false, when `visit` does.
template <typename Visit>
bool ForEachLine(const std::string& text, Visit&& visit) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    if (!visit(pos, std::string_view(text.data() + pos, end - pos))) return false;
    pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return true;
}

// The text with every `vw` line (tinyobjloader's own vertex-weight extension)
// blanked out, keeping the line count. The library converts their joint ids
// without a range check, and the host has no use for them.
std::string WithoutVertexWeights(const std::string& text) {
  std::string out = text;
  ForEachLine(text, [&out](std::size_t begin, std::string_view line) {
    const std::vector<std::string_view> words = Words(line);
    if (!words.empty() && words[0] == "vw") out.replace(begin, line.size(), line.size(), ' ');
    return true;
  });
  return out;
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The number forms tinyobjloader's reader understands ([sign] digits with an
// optional fraction and exponent); anything else it would read as 0 without
// a word. The value must also fit in a float.
bool IsCoordinate(std::string_view word) {
  std::size_t i = 0;
  auto digits = [&]() {
    const std::size_t start = i;
    while (i < word.size() && word[i] >= '0' && word[i] <= '9') ++i;
    return i - start;
  };
  if (i < word.size() && (word[i] == '+' || word[i] == '-')) ++i;
  std::size_t mantissa = digits();
  if (i < word.size() && word[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
    ++i;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  if (i != word.size()) return false;
  if (word.front() == '+') word.remove_prefix(1);
  double value = 0.0;
  const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
  // Below FLT_MAX + half an ulp the value still rounds to a finite float.
  return result.ec == std::errc() && std::fabs(value) < 0x1.ffffffp+127;
}

bool ParseIndex(std::string_view word, int* value) {
  if (!word.empty() && word.front() == '+') word.remove_prefix(1);
  if (word.empty()) return false;
  const auto result = std::from_chars(word.data(), word.data() + word.size(), *value);
  return result.ec == std::errc() && result.ptr == word.data() + word.size();
}

// tinyobjloader reads some malformed input silently (missing or non-numeric
// coordinates become 0, indices past the end only warn, short faces are
// dropped). This pass walks the lines the way it does and refuses those
// cases, naming the line.
class ObjChecker {
 public:
  // tinyobjloader keeps a face's size in a byte.
  static constexpr std::size_t kMaxFacePoints = 255;

  bool Check(const std::string& text, std::string* error) {
    std::size_t line_number = 0;
    const bool lines_ok = ForEachLine(text, [&](std::size_t, std::string_view line) {
      return CheckLine(line, ++line_number);
    });
    if (!lines_ok) return Report(error);
    // Positive indices may name vertices that come later in the file.
    for (const Pending& pending : pending_) {
      const std::size_t count = Count(pending.kind);
      if (static_cast<std::size_t>(pending.index) > count) {
        line_ = pending.line;
        message_ = OutOfRange(pending.kind, pending.index, count);
        return Report(error);
      }
    }
    return true;
  }

 private:
  enum Kind { kVertex, kTexture, kNormal };
  struct Pending {
    std::size_t line;
    Kind kind;
    int index;
  };

  std::size_t Count(Kind kind) const {
    return kind == kVertex ? vertices_ : kind == kTexture ? textures_ : normals_;
  }

  static std::string OutOfRange(Kind kind, int index, std::size_t count) {
    static const char* const kNames[] = {"vertex", "texture coordinate", "normal"};
    return std::string(kNames[kind]) + " index " + std::to_string(index) + " is out of range (" +
           std::to_string(count) + " defined)";
  }

  bool Fail(std::size_t line, std::string message) {
    line_ = line;
    message_ = std::move(message);
    return false;
  }

  bool Report(std::string* error) const {
    if (error != nullptr) *error = "OBJ error at line " + std::to_string(line_) + ": " + message_;
    return false;
  }

  bool CheckNumbers(const std::vector<std::string_view>& words, std::size_t least, std::size_t most,
                    std::size_t line) {
    std::size_t count = 0;
    for (std::size_t i = 1; i < words.size() && words[i].front() != '#'; ++i, ++count) {
      if (!IsCoordinate(words[i])) {
        return Fail(line, "'" + std::string(words[i]) + "' is not a number");
      }
    }
    if (count < least || count > most) {
      return Fail(line, "'" + std::string(words[0]) + "' needs " + std::to_string(least) +
                            (least == most ? "" : " to " + std::to_string(most)) +
                            " numbers, found " + std::to_string(count));
    }
    return true;
  }

  // One index of a face corner: zero is invalid, negative counts back from
  // the entries defined so far, positive ones are checked at the end.
  bool CheckIndex(std::string_view word, Kind kind, std::size_t line) {
    int index = 0;
    if (!ParseIndex(word, &index) || index == 0) {
      return Fail(line, "'" + std::string(word) + "' is not a valid index");
    }
    const std::size_t count = Count(kind);
    if (index < 0 && static_cast<std::size_t>(-static_cast<long long>(index)) > count) {
      return Fail(line, OutOfRange(kind, index, count));
    }
    if (index > 0 && static_cast<std::size_t>(index) > count) {
      pending_.push_back({line, kind, index});
    }
    return true;
  }

  bool CheckFace(const std::vector<std::string_view>& words, std::size_t line) {
    if (words.size() < 4) {
      return Fail(line,
                  "a face needs at least 3 points, found " + std::to_string(words.size() - 1));
    }
    if (words.size() - 1 > kMaxFacePoints) {
      return Fail(line, "a face has at most " + std::to_string(kMaxFacePoints) + " points, found " +
                            std::to_string(words.size() - 1));
    }
    std::size_t with_texture = 0;
    for (std::size_t i = 1; i < words.size(); ++i) {
      // v, v/vt, v//vn or v/vt/vn
      std::vector<std::string_view> parts;
      std::string_view rest = words[i];
      for (std::size_t slash; (slash = rest.find('/')) != std::string_view::npos;) {
        parts.push_back(rest.substr(0, slash));
        rest.remove_prefix(slash + 1);
      }
      parts.push_back(rest);
      if (parts.size() > 3) {
        return Fail(line, "'" + std::string(words[i]) + "' is not a face corner");
      }
      if (!CheckIndex(parts[0], kVertex, line)) return false;
      if (parts.size() >= 2 && !(parts.size() == 3 && parts[1].empty())) {
        if (!CheckIndex(parts[1], kTexture, line)) return false;
        ++with_texture;
      }
      if (parts.size() == 3 && !CheckIndex(parts[2], kNormal, line)) return false;
    }
    if (with_texture != 0 && with_texture != words.size() - 1) {
      return Fail(line, "some corners of the face have texture coordinates and some do not");
    }
    return true;
  }

  bool CheckLine(std::string_view line, std::size_t number) {
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) return true;
    const std::string_view key = words[0];
    if (key == "v") {
      // x y z, optionally w or an r g b colour (and w).
      if (!CheckNumbers(words, 3, 7, number)) return false;
      ++vertices_;
    } else if (key == "vt") {
      if (!CheckNumbers(words, 1, 3, number)) return false;
      ++textures_;
    } else if (key == "vn") {
      if (!CheckNumbers(words, 3, 3, number)) return false;
      ++normals_;
    } else if (key == "f") {
      return CheckFace(words, number);
    }
    return true;
  }

  std::size_t vertices_ = 0;
  std::size_t textures_ = 0;
  std::size_t normals_ = 0;
  std::vector<Pending> pending_;
  std::size_t line_ = 0;
  std::string message_;
};

// Material libraries named by the file, looked up in its directory.
class MaterialsBeside : public tinyobj::MaterialReader {
 public:
  explicit MaterialsBeside(std::filesystem::path directory) : directory_(std::move(directory)) {}

  bool operator()(const std::string& name, std::vector<tinyobj::material_t>* materials,
                  std::map<std::string, int>* names, std::string* warning,
                  std::string* error) override {
    std::ifstream in(directory_ / std::filesystem::u8path(name), std::ios::binary);
    if (!in) {
      if (warning != nullptr) *warning += "material library " + name + " not found\n";
      return false;
    }
    tinyobj::LoadMtl(names, materials, &in, warning, error);
    return true;
  }

 private:
  std::filesystem::path directory_;
};

// Splits tinyobjloader's shapes into meshes that own only the vertices their
// faces use. Answers false with `error` set when its output is inconsistent,
// which the checker should already have ruled out.
bool ConvertShapes(const tinyobj::attrib_t& attrib, const std::vector<tinyobj::shape_t>& shapes,
                   std::size_t material_count, std::vector<ImportedMesh>* meshes,
                   std::string* error) {
  const std::size_t vertex_count = attrib.vertices.size() / 3;
  const std::size_t texture_count = attrib.texcoords.size() / 2;
  std::vector<int> local(vertex_count, -1);
  for (const tinyobj::shape_t& shape : shapes) {
    const tinyobj::mesh_t& source = shape.mesh;
    if (source.num_face_vertices.empty()) continue;
    ImportedMesh mesh;
    mesh.name = Trimmed(shape.name);
    std::vector<std::size_t> used;
    std::size_t next = 0;
    for (std::size_t f = 0; f < source.num_face_vertices.size(); ++f) {
      const std::size_t size = source.num_face_vertices[f];
      if (next + size > source.indices.size()) {
        *error = "OBJ error: inconsistent face data in '" + mesh.name + "'";
        return false;
      }
      ImportedMesh::Face face;
      const int material = f < source.material_ids.size() ? source.material_ids[f] : -1;
      face.material =
          material >= 0 && static_cast<std::size_t>(material) < material_count ? material : -1;
      for (std::size_t k = 0; k < size; ++k) {
        const tinyobj::index_t& index = source.indices[next + k];
        if (index.vertex_index < 0 ||
            static_cast<std::size_t>(index.vertex_index) >= vertex_count ||
            (index.texcoord_index >= 0 &&
             static_cast<std::size_t>(index.texcoord_index) >= texture_count)) {
          *error = "OBJ error: an index out of range in '" + mesh.name + "'";
          return false;
        }
        const std::size_t v = static_cast<std::size_t>(index.vertex_index);
        if (local[v] < 0) {
          local[v] = static_cast<int>(mesh.positions.size());
          mesh.positions.push_back(
              {attrib.vertices[3 * v], attrib.vertices[3 * v + 1], attrib.vertices[3 * v + 2]});
          used.push_back(v);
        }
        face.points.push_back(local[v]);
        if (index.texcoord_index >= 0) {
          const std::size_t t = static_cast<std::size_t>(index.texcoord_index);
          face.uvs.emplace_back(attrib.texcoords[2 * t], attrib.texcoords[2 * t + 1]);
        }
      }
      if (face.uvs.size() != face.points.size()) face.uvs.clear();
      next += size;
      mesh.faces.push_back(std::move(face));
    }
    if (next != source.indices.size()) {
      *error = "OBJ error: inconsistent face data in '" + mesh.name + "'";
      return false;
    }
    for (std::size_t v : used) local[v] = -1;
    meshes->push_back(std::move(mesh));
  }
  return true;
}

// The library reads material values without limits (`Kd 1e39 0 0` gives an
// infinite colour). A value that is not finite refuses the file; colours and
// the opacity are kept within 0..1.
bool ConvertMaterials(const std::vector<tinyobj::material_t>& loaded,
                      std::vector<ImportedMaterial>* materials, std::string* error) {
  for (const tinyobj::material_t& source : loaded) {
    ImportedMaterial material;
    material.name = Trimmed(source.name);
    for (int c = 0; c < 3; ++c) {
      const float value = static_cast<float>(source.diffuse[c]);
      if (!std::isfinite(value)) {
        *error = "MTL error: material '" + material.name + "': Kd is not a finite number";
        return false;
      }
      material.diffuse_rgb[c] = std::clamp(value, 0.0f, 1.0f);
    }
    const float alpha = static_cast<float>(source.dissolve);
    if (!std::isfinite(alpha)) {
      *error = "MTL error: material '" + material.name + "': its opacity is not a finite number";
      return false;
    }
    material.alpha = std::clamp(alpha, 0.0f, 1.0f);
    materials->push_back(std::move(material));
  }
  return true;
}

bool ReadObjText(const std::string& text, tinyobj::MaterialReader* material_reader,
                 std::vector<ImportedMesh>* meshes, std::vector<ImportedMaterial>* materials,
                 std::string* error) {
  std::string message;
  try {
    ObjChecker checker;
    if (!checker.Check(text, &message)) {
      if (error != nullptr) *error = message;
      return false;
    }
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> loaded_materials;
    std::string warning;
    std::istringstream in(WithoutVertexWeights(text));
    if (!tinyobj::LoadObj(&attrib, &shapes, &loaded_materials, &warning, &message, &in,
                          material_reader, /*triangulate=*/false,
                          /*default_vcols_fallback=*/false)) {
      while (!message.empty() && (message.back() == '\n' || message.back() == '.'))
        message.pop_back();
      if (error != nullptr) *error = "OBJ error: " + message;
      return false;
    }
    std::vector<ImportedMesh> read_meshes;
    if (!ConvertShapes(attrib, shapes, loaded_materials.size(), &read_meshes, &message)) {
      if (error != nullptr) *error = message;
      return false;
    }
    std::vector<ImportedMaterial> read_materials;
    if (!ConvertMaterials(loaded_materials, &read_materials, &message)) {
      if (error != nullptr) *error = message;
      return false;
    }
    if (meshes != nullptr) *meshes = std::move(read_meshes);
    if (materials != nullptr) *materials = std::move(read_materials);
    return true;
  } catch (const std::bad_alloc&) {
    if (error != nullptr) *error = "OBJ error: out of memory";
    return false;
  }
}

// ---------------------------------------------------------------------------
// Writing

// The shortest text that tinyobjloader's own number reader (which does not
// always round correctly) turns back into the same float; nine significant
// digits always do, as they stay far from the float's rounding boundaries.
void AppendNumber(std::string* out, float value) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  double read = 0.0;
  const bool exact = tinyobj::tryParseDouble(buffer, result.ptr, &read) &&
                     std::fabs(read) <= FLT_MAX && std::signbit(read) == std::signbit(value) &&
                     static_cast<float>(read) == value;
  if (!exact) {
    result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
  }
  out->append(buffer, result.ptr);
}

// OBJ material names are single words: blanks become '_', empty names and
// repeats get a number, so that every `usemtl` finds its own material.
std::vector<std::string> MaterialWords(const std::vector<ImportedMaterial>& materials) {
  std::vector<std::string> words;
  for (std::size_t i = 0; i < materials.size(); ++i) {
    std::string word = materials[i].name;
    for (char& c : word) {
      if (static_cast<unsigned char>(c) <= ' ') c = '_';
    }
    if (word.empty()) word = "material" + std::to_string(i + 1);
    while (std::find(words.begin(), words.end(), word) != words.end()) {
      word += "_" + std::to_string(i + 1);
    }
    words.push_back(std::move(word));
  }
  return words;
}

}  // namespace

bool ReadObj(const std::string& obj_text, const std::string& mtl_text,
             std::vector<ImportedMesh>* meshes, std::vector<ImportedMaterial>* materials,
             std::string* error) {
  std::istringstream mtl(mtl_text);
  tinyobj::MaterialStreamReader reader(mtl);
  return ReadObjText(obj_text, mtl_text.empty() ? nullptr : &reader, meshes, materials, error);
}

bool ReadObjFile(const std::string& path, std::vector<ImportedMesh>* meshes,
                 std::vector<ImportedMaterial>* materials, std::string* error) {
  std::string text;
  std::filesystem::path file;
  try {
    file = std::filesystem::u8path(path);
    std::error_code ignored;
    std::ifstream in;
    if (std::filesystem::is_regular_file(file, ignored)) in.open(file, std::ios::binary);
    if (!in.is_open()) {
      if (error != nullptr) *error = "cannot open OBJ file '" + path + "'";
      return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    if (error != nullptr) *error = "cannot open OBJ file '" + path + "'";
    return false;
  }
  MaterialsBeside reader(file.parent_path());
  std::string message;
  if (!ReadObjText(text, &reader, meshes, materials, &message)) {
    if (error != nullptr) *error = path + ": " + message;
    return false;
  }
  return true;
}

std::string WriteObj(const std::vector<ImportedMesh>& meshes,
                     const std::vector<ImportedMaterial>& materials, const std::string& mtllib) {
  const std::vector<std::string> material_words = MaterialWords(materials);
  std::string out;
  if (!mtllib.empty()) out += "mtllib " + mtllib + "\n";
  std::size_t vertex_base = 0;
  std::size_t texture_base = 0;
  int current_material = -1;
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    const ImportedMesh& mesh = meshes[m];
    std::string name = mesh.name.empty() ? "mesh" + std::to_string(m + 1) : mesh.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    out += "o " + name + "\n";
    for (const MQPoint& p : mesh.positions) {
      out += "v ";
      AppendNumber(&out, p.x);
      out += ' ';
      AppendNumber(&out, p.y);
      out += ' ';
      AppendNumber(&out, p.z);
      out += '\n';
    }
    auto has_uvs = [](const ImportedMesh::Face& face) {
      return !face.uvs.empty() && face.uvs.size() == face.points.size();
    };
    for (const ImportedMesh::Face& face : mesh.faces) {
      if (!has_uvs(face)) continue;
      for (const auto& uv : face.uvs) {
        out += "vt ";
        AppendNumber(&out, uv.first);
        out += ' ';
        AppendNumber(&out, uv.second);
        out += '\n';
      }
    }
    std::size_t texture = texture_base;
    for (const ImportedMesh::Face& face : mesh.faces) {
      const int material = face.material >= 0 &&
                                   static_cast<std::size_t>(face.material) < materials.size() &&
                                   !mtllib.empty()
                               ? face.material
                               : -1;
      if (material != current_material) {
        // A bare `usemtl` names no material: back to none.
        out += material >= 0 ? "usemtl " + material_words[static_cast<std::size_t>(material)] + "\n"
                             : std::string("usemtl\n");
        current_material = material;
      }
      out += 'f';
      const bool uvs = has_uvs(face);
      for (int point : face.points) {
        out += ' ' + std::to_string(vertex_base + static_cast<std::size_t>(point) + 1);
        if (uvs) out += '/' + std::to_string(++texture);
      }
      out += '\n';
    }
    vertex_base += mesh.positions.size();
    texture_base = texture;
  }
  return out;
}

std::string WriteMtl(const std::vector<ImportedMaterial>& materials) {
  const std::vector<std::string> words = MaterialWords(materials);
  std::string out;
  for (std::size_t i = 0; i < materials.size(); ++i) {
    out += "newmtl " + words[i] + "\nKd ";
    for (int c = 0; c < 3; ++c) {
      if (c > 0) out += ' ';
      AppendNumber(&out, materials[i].diffuse_rgb[c]);
    }
    out += "\nd ";
    AppendNumber(&out, materials[i].alpha);
    out += "\n";
  }
  return out;
}

}  // namespace mqhost
