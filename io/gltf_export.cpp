#include "io/gltf_export.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <string_view>
#include <utility>

#include "platform/codepage.h"

namespace quorvel::gltf {

namespace {

using Json = nlohmann::json;

constexpr int kUnsignedByte = 5121;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kFloat = 5126;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kNoTarget = 0;

constexpr uint32_t kGlbMagic = 0x46546C67;     // "glTF"
constexpr uint32_t kChunkJson = 0x4E4F534A;    // "JSON"
constexpr uint32_t kChunkBin = 0x004E4942;     // "BIN\0"
constexpr uint64_t kGlbLimit = 0xFFFFFFFFull;  // the header's length is 32 bits

// Below this a vertex's weights say nothing (the plug-in does not normalise
// them either).
constexpr double kWeightSumMin = 0.0002;

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------- text

// Well-formed UTF-8: every byte that does not start a valid sequence (a stray
// continuation byte, an overlong form, a surrogate, a value past U+10FFFF, a
// cut-off sequence) becomes U+FFFD. Shift-JIS bytes that slipped through come
// out as replacement characters instead of an unreadable file.
std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    size_t length = 0;
    uint32_t code = 0, least = 0;
    if ((c & 0xE0) == 0xC0) {
      length = 2, code = c & 0x1Fu, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3, code = c & 0x0Fu, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4, code = c & 0x07u, least = 0x10000;
    }
    bool ok = length != 0 && i + length <= text.size();
    for (size_t k = 1; ok && k < length; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      ok = (d & 0xC0) == 0x80;
      code = (code << 6) | (d & 0x3Fu);
    }
    ok = ok && code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    if (ok) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

// A relative URI reference: path separators as '/', every byte but the
// unreserved ones percent-encoded (spaces and non-ASCII names included).
std::string UriOf(std::string_view utf8_path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : utf8_path) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isalnum(c) != 0 && c < 0x80) {
      out += ch;
    } else if (c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += ch;
    } else if (c == '\\') {
      out += '/';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAbsolutePath(std::string_view path) {
  return (!path.empty() && IsSeparator(path[0])) || (path.size() >= 2 && path[1] == ':');
}

std::string_view FileNameOf(std::string_view path) {
  size_t start = path.size();
  while (start > 0 && !IsSeparator(path[start - 1])) --start;
  return path.substr(start);
}

std::string LowerExtension(std::string_view path) {
  const std::string_view name = FileNameOf(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

// ---------------------------------------------------------------- numbers

float Finite(float value, float fallback) { return std::isfinite(value) ? value : fallback; }

FVECTOR3 Finite(const FVECTOR3& v) { return {Finite(v.x, 0.0f), Finite(v.y, 0.0f), Finite(v.z, 0.0f)}; }

// A float for the JSON text as its shortest decimal form (0.1, not
// 0.10000000149011612); it reads back as the same float.
Json Number(float value) {
  value = Finite(value, 0.0f);
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value);
  double decimal = 0.0;
  std::from_chars(text, written.ptr, decimal);
  return decimal;
}

Json Numbers(std::initializer_list<float> values) {
  Json array = Json::array();
  for (const float v : values) array.push_back(Number(v));
  return array;
}

// Unit length as glTF requires (checkers refuse others), worked out in double
// so that huge components cannot overflow; the identity when there is no
// direction to keep.
FQUAT UnitRotation(const FQUAT& q) {
  const double c[4] = {Finite(q.x, 0.0f), Finite(q.y, 0.0f), Finite(q.z, 0.0f), Finite(q.w, 1.0f)};
  const double norm = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2] + c[3] * c[3]);
  if (!(norm >= 1e-6)) return FQUAT{};
  return {static_cast<float>(c[0] / norm), static_cast<float>(c[1] / norm), static_cast<float>(c[2] / norm),
          static_cast<float>(c[3] / norm)};
}

FVECTOR3 FiniteScale(const FVECTOR3& s) { return {Finite(s.x, 1.0f), Finite(s.y, 1.0f), Finite(s.z, 1.0f)}; }

// ---------------------------------------------------------------- skin weights

struct Influence {
  int joint = 0;
  float weight = 0.0f;
};

// A vertex's weight list as glTF influences: positive weights summing to 1,
// no joint twice, the largest first (a loader that reads only the first set
// of four then keeps the ones that matter). The plug-in's rules where they
// can be written down: a single entry is followed fully whatever its
// weight; several are normalised. Where the plug-in's own result is no
// weighted blend (the bone of the single entry is gone, every bone is gone,
// or the weights add up to less than 0.0002), the vertex holds to joint 0,
// the rig's root, and so stays where it is. Entries whose bone is gone or
// whose weight is not positive are left out and the others normalised (the
// plug-in drops a missing bone's share, which pulls the vertex towards the
// origin, something glTF cannot say); the same bone twice counts once with
// both weights.
void InfluencesOf(Span<const BoneWeight> entries, const std::vector<int>& joint_of_object,
                  std::vector<std::pair<int, double>>& scratch, std::vector<Influence>* out) {
  out->clear();
  const auto joint_of = [&](int bone) {
    return bone >= 0 && bone < static_cast<int>(joint_of_object.size())
               ? joint_of_object[static_cast<size_t>(bone)]
               : -1;
  };
  if (entries.size() == 1) {
    const int joint = joint_of(entries[0].bone);
    out->push_back({joint > 0 ? joint : 0, 1.0f});
    return;
  }
  scratch.clear();
  double sum = 0.0;
  for (const BoneWeight& entry : entries) {
    const int joint = joint_of(entry.bone);
    const double weight = entry.weight;
    if (joint <= 0 || !(weight > 0.0) || !std::isfinite(weight)) continue;
    auto same =
        std::find_if(scratch.begin(), scratch.end(), [joint](const auto& e) { return e.first == joint; });
    if (same != scratch.end()) {
      same->second += weight;
    } else {
      scratch.emplace_back(joint, weight);
    }
    sum += weight;
  }
  if (scratch.empty() || sum < kWeightSumMin) {
    out->push_back({0, 1.0f});
    return;
  }
  std::sort(scratch.begin(), scratch.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second > b.second : a.first < b.first;
  });
  double rest = 0.0;
  for (size_t j = 0; j < scratch.size(); ++j) {
    Influence influence{scratch[j].first, static_cast<float>(scratch[j].second / sum)};
    if (j > 0) rest += influence.weight;
    out->push_back(influence);
  }
  // The largest takes what rounding left over: the sum checkers see is 1 to
  // within half a float step.
  (*out)[0].weight = static_cast<float>(1.0 - rest);
}

// ---------------------------------------------------------------- geometry

// Faces the viewport draws as surfaces: three points or more, every point a
// vertex of the object.
std::vector<int> SurfaceFaces(const Object& object) {
  std::vector<int> faces;
  const int count = static_cast<int>(object.vertices.size());
  for (size_t f = 0; f < object.FaceCount(); ++f) {
    const Span<const int> points = object.PointsOf(f);
    if (points.size() < 3) continue;
    if (std::all_of(points.begin(), points.end(), [count](int i) { return i >= 0 && i < count; })) {
      faces.push_back(static_cast<int>(f));
    }
  }
  return faces;
}

FVECTOR3 UnitOrZeroVector(const FVECTOR3& v) {
  const float length = v.Length();
  return length > 0.0f ? v / length : FVECTOR3{};
}

// The corner normals as the viewport lights them. Newell's normal follows
// the right-hand rule over the modeller's clockwise order, so it points into
// the surface; the outward normal is its opposite. On a smooth object a
// corner takes the mean of the face normals at its vertex that lie within
// the smoothing angle of its own face.
class CornerNormals {
 public:
  CornerNormals(const Object& object, const std::vector<int>& surfaces,
                const std::vector<FVECTOR3>& vertices) {
    normals_.reserve(surfaces.size());
    for (const int f : surfaces) {
      const Span<const int> points = object.PointsOf(static_cast<size_t>(f));
      FVECTOR3 normal;
      const size_t n = points.size();
      for (size_t i = 0; i < n; ++i) {
        const FVECTOR3& a = vertices[static_cast<size_t>(points[i])];
        const FVECTOR3& b = vertices[static_cast<size_t>(points[(i + 1) % n])];
        normal += FVECTOR3((a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y));
      }
      normals_.push_back(UnitOrZeroVector(normal));
    }
    smooth_ = object.shading != 0 && object.smooth_angle > 0.0f;
    if (!smooth_) return;
    smooth_cos_ = static_cast<float>(std::cos(std::min(object.smooth_angle, 180.0f) * kPi / 180.0));
    offsets_.assign(vertices.size() + 1, 0);
    for (const int f : surfaces) {
      for (const int v : object.PointsOf(static_cast<size_t>(f))) ++offsets_[static_cast<size_t>(v) + 1];
    }
    for (size_t v = 1; v < offsets_.size(); ++v) offsets_[v] += offsets_[v - 1];
    faces_at_.assign(static_cast<size_t>(offsets_.back()), 0);
    std::vector<int> fill(offsets_.begin(), offsets_.end() - 1);
    for (size_t k = 0; k < surfaces.size(); ++k) {
      for (const int v : object.PointsOf(static_cast<size_t>(surfaces[k]))) {
        faces_at_[static_cast<size_t>(fill[static_cast<size_t>(v)]++)] = static_cast<int>(k);
      }
    }
  }

  // The outward unit normal at vertex `v` of surface `k` (a position in the
  // surface list). A face without area has no normal: its corners take the
  // smoothed one where there is one, else +Z, so that every normal is unit.
  FVECTOR3 At(size_t k, int v) const {
    FVECTOR3 normal = normals_[k];
    if (smooth_) {
      FVECTOR3 sum;
      for (int j = offsets_[static_cast<size_t>(v)]; j < offsets_[static_cast<size_t>(v) + 1]; ++j) {
        const FVECTOR3& other = normals_[static_cast<size_t>(faces_at_[static_cast<size_t>(j)])];
        if (Dot(other, normals_[k]) >= smooth_cos_) sum += other;
      }
      normal = UnitOrZeroVector(sum);
    }
    // Coordinates near the float limit can overflow the sums.
    const float length2 = normal.LengthSq();
    if (length2 == 0.0f || !std::isfinite(length2)) return {0.0f, 0.0f, 1.0f};
    return -normal;
  }

 private:
  std::vector<FVECTOR3> normals_;  // per surface, into the surface
  bool smooth_ = false;
  float smooth_cos_ = 1.0f;
  std::vector<int> offsets_;   // per vertex into faces_at_
  std::vector<int> faces_at_;  // surfaces (positions in surfaces_) at each vertex
};

// What tells two corners of one vertex apart.
struct CornerKey {
  FVECTOR3 normal;
  FVECTOR2 uv;
  uint32_t color = 0;

  bool operator==(const CornerKey& o) const { return normal == o.normal && uv == o.uv && color == o.color; }
};

template <typename T>
void Append(std::vector<uint8_t>& bytes, const T* data, size_t count) {
  const size_t size = sizeof(T) * count;
  const size_t at = bytes.size();
  bytes.resize(at + size);
  if (size != 0) std::memcpy(bytes.data() + at, data, size);
}

void AppendU32(std::vector<uint8_t>& bytes, uint32_t value) {
  const uint8_t le[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                         static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  Append(bytes, le, 4);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size <= 0) return false;
  in.seekg(0, std::ios::beg);
  bytes->resize(static_cast<size_t>(size));
  in.read(reinterpret_cast<char*>(bytes->data()), size);
  return static_cast<bool>(in);
}

// The image's MIME type from its first bytes, when it is one glTF takes.
const char* ImageMimeType(const std::vector<uint8_t>& bytes) {
  static const uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (bytes.size() >= sizeof kPng && std::memcmp(bytes.data(), kPng, sizeof kPng) == 0) return "image/png";
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return "image/jpeg";
  return nullptr;
}

// ---------------------------------------------------------------- the file's
// content

size_t Aligned4(size_t n) { return (n + 3) & ~size_t{3}; }

// The binary buffer as the data of its buffer views, each block kept as it
// was made (moved in, never copied or regrown) at a 4-aligned offset; the
// file is written block by block, zeros between them.
class BinaryBuffer {
 public:
  // The block's offset in the buffer.
  template <typename T>
  size_t Add(std::vector<T> data) {
    auto owner = std::make_shared<const std::vector<T>>(std::move(data));
    Block block{Aligned4(end_), owner, reinterpret_cast<const uint8_t*>(owner->data()),
                owner->size() * sizeof(T)};
    end_ = block.offset + block.size;
    blocks_.push_back(std::move(block));
    return blocks_.back().offset;
  }
  // Padded to 4 bytes, as a GLB chunk must be.
  size_t size() const { return Aligned4(end_); }
  bool empty() const { return end_ == 0; }

  // Hands the bytes in order to `sink(data, size)`, which answers whether it
  // took them. With `release` each block is let go once handed over.
  template <typename Sink>
  bool Emit(Sink&& sink, bool release) {
    static const uint8_t kZeros[4] = {};
    size_t at = 0;
    for (Block& block : blocks_) {
      if (block.offset > at && !sink(kZeros, block.offset - at)) return false;
      if (block.size != 0 && !sink(block.data, block.size)) return false;
      at = block.offset + block.size;
      if (release) block = Block{};
    }
    return size() == at || sink(kZeros, size() - at);
  }

 private:
  struct Block {
    size_t offset = 0;
    std::shared_ptr<const void> owner;
    const uint8_t* data = nullptr;
    size_t size = 0;
  };
  std::vector<Block> blocks_;
  size_t end_ = 0;
};

enum class Container { kGlb, kGltf };

// Builds the JSON document and the binary buffer of one file.
class Builder {
 public:
  Builder(const Scene& scene, const ExportOptions& options, Container container)
      : scene_(scene), scale_(options.unit_scale), container_(container) {}

  bool Build(std::string* error);

  Json& json() { return json_; }
  BinaryBuffer& bin() { return bin_; }
  const ExportReport& report() const { return report_; }

 private:
  struct Primitive {
    int material = kNoMaterial;
    std::vector<size_t> surfaces;  // positions in the object's surface list
  };
  struct MeshPart {
    int object = -1;
    int node = -1;  // the node that carries the mesh
    int mesh = -1;
    std::vector<int> target_slots;
  };

  bool CheckScene(std::string* error) const;
  void PlanNodes();
  void AddMaterials();
  int ImageFor(const std::string& texture);
  void AddNodes();
  void AddMesh(MeshPart& part);
  void AddSkin();
  void AddAnimations();

  template <typename T>
  int View(std::vector<T> data, int target);
  int Accessor(int view, int component, size_t count, const char* type, bool normalized = false);
  int FloatAccessor(std::vector<float> values, int components, const char* type, int target, bool min_max);

  const Scene& scene_;
  const float scale_;
  const Container container_;
  Json json_;
  BinaryBuffer bin_;
  ExportReport report_;

  bool skinned_ = false;
  int first_object_node_ = 0;
  std::vector<std::vector<int>> surfaces_;  // per object: its surface faces
  std::vector<uint8_t> has_mesh_;           // per object
  std::vector<uint8_t> skinned_mesh_;       // per object
  std::vector<int> joint_of_object_;        // per object: index in the skin's joints, or -1
  std::vector<int> joints_;                 // objects in joint order after the root
  std::vector<MeshPart> parts_;
  std::map<std::string, int> images_;
};

bool Builder::CheckScene(std::string* error) const {
  if (!(scale_ > 0.0f) || !std::isfinite(scale_)) {
    *error = "the unit scale must be a positive number";
    return false;
  }
  for (size_t i = 0; i < scene_.objects.size(); ++i) {
    const int parent = scene_.objects[i].parent;
    if (parent != kNoParent && (parent < 0 || parent >= static_cast<int>(i))) {
      *error = "object " + std::to_string(i) + " (" + ValidUtf8(scene_.objects[i].name) + ") names parent " +
               std::to_string(parent) + ", which does not come before it";
      return false;
    }
  }
  return true;
}

void Builder::PlanNodes() {
  const size_t n = scene_.objects.size();
  surfaces_.resize(n);
  has_mesh_.assign(n, 0);
  skinned_mesh_.assign(n, 0);
  for (size_t i = 0; i < n; ++i) {
    const Object& object = scene_.objects[i];
    if (!object.visible) continue;
    surfaces_[i] = SurfaceFaces(object);
    has_mesh_[i] = surfaces_[i].empty() ? 0 : 1;
    skinned_mesh_[i] = has_mesh_[i] != 0 && object.HasWeights() ? 1 : 0;
    skinned_ = skinned_ || skinned_mesh_[i] != 0;
  }
  first_object_node_ = skinned_ ? 1 : 0;
  joint_of_object_.assign(n, -1);
  if (!skinned_) return;
  // The joints: the bones the skinned meshes name and their ancestors, so
  // that they form one tree below the root.
  std::vector<uint8_t> used(n, 0);
  for (size_t i = 0; i < n; ++i) {
    if (skinned_mesh_[i] == 0) continue;
    for (const BoneWeight& entry : scene_.objects[i].weight_entries) {
      for (int b = entry.bone; b >= 0 && b < static_cast<int>(n) && used[static_cast<size_t>(b)] == 0;
           b = scene_.objects[static_cast<size_t>(b)].parent) {
        used[static_cast<size_t>(b)] = 1;
      }
    }
  }
  for (size_t i = 0; i < n; ++i) {
    if (used[i] == 0) continue;
    joint_of_object_[i] = static_cast<int>(joints_.size()) + 1;
    joints_.push_back(static_cast<int>(i));
  }
}

void Builder::AddMaterials() {
  for (const Material& material : scene_.materials) {
    const float diffuse = std::clamp(Finite(material.diffuse, 0.8f), 0.0f, 1.0f);
    float rgb[3];
    for (int c = 0; c < 3; ++c) rgb[c] = std::clamp(Finite(material.color[c], 1.0f), 0.0f, 1.0f);
    const float alpha = std::clamp(Finite(material.alpha, 1.0f), 0.0f, 1.0f);
    Json pbr;
    pbr["baseColorFactor"] = Numbers({std::min(rgb[0] * diffuse, 1.0f), std::min(rgb[1] * diffuse, 1.0f),
                                      std::min(rgb[2] * diffuse, 1.0f), alpha});
    pbr["metallicFactor"] = 0;
    pbr["roughnessFactor"] = 1;
    if (!material.texture.empty()) {
      Json texture;
      texture["source"] = ImageFor(material.texture);
      json_["textures"].push_back(std::move(texture));
      pbr["baseColorTexture"] = {{"index", json_["textures"].size() - 1}};
    }
    Json out;
    out["name"] = ValidUtf8(material.name);
    out["pbrMetallicRoughness"] = std::move(pbr);
    if (alpha < 1.0f) out["alphaMode"] = "BLEND";
    // The colour and diffuse apart, which the product above cannot give back.
    out["extras"]["quorvel"] = {{"color", Numbers({rgb[0], rgb[1], rgb[2]})}, {"diffuse", Number(diffuse)}};
    json_["materials"].push_back(std::move(out));
  }
}

// The image of a texture file: embedded in a .glb when the file is a PNG or
// JPEG found in the texture folder, else referenced by its name.
int Builder::ImageFor(const std::string& texture) {
  const auto known = images_.find(texture);
  if (known != images_.end()) return known->second;
  Json image;
  const std::string extension = LowerExtension(texture);
  const bool image_kind = extension == ".png" || extension == ".jpg" || extension == ".jpeg";
  if (container_ == Container::kGlb && image_kind && !scene_.texture_folder.empty()) {
    // The scene's text is UTF-8; files open by the system's code page.
    const std::string folder = platform::Utf8ToAnsi(scene_.texture_folder);
    const std::string name = platform::Utf8ToAnsi(texture);
    std::vector<std::string> candidates;
    candidates.push_back(IsAbsolutePath(name) ? name : folder + "/" + name);
    candidates.push_back(folder + "/" + std::string(FileNameOf(name)));
    std::vector<uint8_t> bytes;
    for (const std::string& path : candidates) {
      if (!ReadWholeFile(path, &bytes)) continue;
      if (const char* mime = ImageMimeType(bytes)) {
        image["bufferView"] = View(std::move(bytes), kNoTarget);
        image["mimeType"] = mime;
        break;
      }
    }
  }
  const std::string utf8 = ValidUtf8(texture);
  if (!image.contains("bufferView")) {
    image["uri"] = UriOf(IsAbsolutePath(utf8) ? FileNameOf(utf8) : std::string_view(utf8));
  }
  image["name"] = std::string(FileNameOf(utf8));
  json_["images"].push_back(std::move(image));
  const int index = static_cast<int>(json_["images"].size()) - 1;
  images_.emplace(texture, index);
  return index;
}

template <typename T>
int Builder::View(std::vector<T> data, int target) {
  Json view;
  view["buffer"] = 0;
  view["byteLength"] = data.size() * sizeof(T);
  view["byteOffset"] = bin_.Add(std::move(data));
  if (target != kNoTarget) view["target"] = target;
  json_["bufferViews"].push_back(std::move(view));
  return static_cast<int>(json_["bufferViews"].size()) - 1;
}

int Builder::Accessor(int view, int component, size_t count, const char* type, bool normalized) {
  Json accessor;
  accessor["bufferView"] = view;
  accessor["componentType"] = component;
  accessor["count"] = count;
  accessor["type"] = type;
  if (normalized) accessor["normalized"] = true;
  json_["accessors"].push_back(std::move(accessor));
  return static_cast<int>(json_["accessors"].size()) - 1;
}

int Builder::FloatAccessor(std::vector<float> values, int components, const char* type, int target,
                           bool min_max) {
  const size_t count = values.size() / static_cast<size_t>(components);
  Json lo = Json::array(), hi = Json::array();
  if (min_max) {
    // Exactly the stored floats: checkers compare them with the data.
    for (int c = 0; c < components; ++c) {
      float a = std::numeric_limits<float>::max(), b = std::numeric_limits<float>::lowest();
      for (size_t v = 0; v < count; ++v) {
        const float x = values[v * static_cast<size_t>(components) + static_cast<size_t>(c)];
        a = std::min(a, x);
        b = std::max(b, x);
      }
      lo.push_back(static_cast<double>(a));
      hi.push_back(static_cast<double>(b));
    }
  }
  const int index = Accessor(View(std::move(values), target), kFloat, count, type);
  if (min_max) {
    json_["accessors"][static_cast<size_t>(index)]["min"] = std::move(lo);
    json_["accessors"][static_cast<size_t>(index)]["max"] = std::move(hi);
  }
  return index;
}

void Builder::AddNodes() {
  const size_t n = scene_.objects.size();
  Json nodes = Json::array();
  if (skinned_) {
    Json rig;
    rig["name"] = "rig";
    rig["extras"]["quorvel"]["role"] = "root";
    nodes.push_back(std::move(rig));
  }
  for (size_t i = 0; i < n; ++i) {
    const Object& object = scene_.objects[i];
    Json node;
    node["name"] = ValidUtf8(object.name);
    const FVECTOR3 parent_pivot = object.parent == kNoParent
                                      ? FVECTOR3{}
                                      : Finite(scene_.objects[static_cast<size_t>(object.parent)].pivot);
    const FVECTOR3 rest = (Finite(object.pivot) - parent_pivot) * scale_;
    if (rest != FVECTOR3{}) node["translation"] = Numbers({rest.x, rest.y, rest.z});
    nodes.push_back(std::move(node));
  }
  Json roots = Json::array();
  for (size_t i = 0; i < n; ++i) {
    const int node = first_object_node_ + static_cast<int>(i);
    const int parent = scene_.objects[i].parent;
    if (parent == kNoParent) {
      if (skinned_) {
        nodes[0]["children"].push_back(node);
      } else {
        roots.push_back(node);
      }
    } else {
      nodes[static_cast<size_t>(first_object_node_ + parent)]["children"].push_back(node);
    }
  }
  if (skinned_) roots.push_back(0);
  // Meshes: rigid ones on their object's node, skinned ones on root nodes of
  // their own after the objects'.
  for (size_t i = 0; i < n; ++i) {
    if (has_mesh_[i] == 0) continue;
    MeshPart part;
    part.object = static_cast<int>(i);
    if (skinned_mesh_[i] != 0) {
      Json node;
      node["name"] = ValidUtf8(scene_.objects[i].name);
      node["extras"]["quorvel"]["object"] = first_object_node_ + static_cast<int>(i);
      part.node = static_cast<int>(nodes.size());
      roots.push_back(part.node);
      nodes.push_back(std::move(node));
    } else {
      part.node = first_object_node_ + static_cast<int>(i);
    }
    parts_.push_back(part);
  }
  json_["nodes"] = std::move(nodes);
  Json scene_json = Json::object();
  if (!roots.empty()) scene_json["nodes"] = std::move(roots);
  json_["scenes"] = Json::array({std::move(scene_json)});
  json_["scene"] = 0;
  report_.objects = static_cast<int>(n);
}

void Builder::AddMesh(MeshPart& part) {
  const Object& object = scene_.objects[static_cast<size_t>(part.object)];
  const std::vector<int>& surfaces = surfaces_[static_cast<size_t>(part.object)];
  const bool skinned = skinned_mesh_[static_cast<size_t>(part.object)] != 0;
  const size_t vertex_count = object.vertices.size();
  // Coordinates that are not finite become 0; only then is there a copy.
  std::vector<FVECTOR3> finite;
  const bool all_finite = std::all_of(object.vertices.begin(), object.vertices.end(), [](const FVECTOR3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
  });
  if (!all_finite) {
    finite.reserve(vertex_count);
    for (const FVECTOR3& p : object.vertices) finite.push_back(Finite(p));
  }
  const std::vector<FVECTOR3>& vertices = all_finite ? object.vertices : finite;
  const CornerNormals normals(object, surfaces, vertices);
  // Rigid meshes ride on their node, whose rest place is the pivot.
  const FVECTOR3 origin = skinned ? FVECTOR3{} : Finite(object.pivot);

  // One primitive per material, in material order, faces without a usable
  // material last.
  const int material_count = static_cast<int>(scene_.materials.size());
  std::vector<Primitive> primitives;
  {
    std::map<int, size_t> by_material;
    for (size_t k = 0; k < surfaces.size(); ++k) {
      int m = object.face_materials[static_cast<size_t>(surfaces[k])];
      if (m < 0 || m >= material_count) m = material_count;
      by_material[m];
    }
    for (auto& [m, at] : by_material) {
      at = primitives.size();
      primitives.push_back(Primitive{m < material_count ? m : kNoMaterial, {}});
    }
    for (size_t k = 0; k < surfaces.size(); ++k) {
      int m = object.face_materials[static_cast<size_t>(surfaces[k])];
      if (m < 0 || m >= material_count) m = material_count;
      primitives[by_material[m]].surfaces.push_back(k);
    }
  }

  // Skin influences come in as many sets of four as the vertex with the most
  // bones needs. They are worked out again where they are written rather
  // than kept for every vertex: a dense mesh would hold them twice.
  size_t sets = 0;
  const auto weights_of = [&](size_t v) { return object.WeightsOf(v); };
  std::vector<std::pair<int, double>> scratch;
  std::vector<Influence> influences;
  if (skinned) {
    size_t most = 1;
    for (size_t v = 0; v < vertex_count; ++v) {
      InfluencesOf(weights_of(v), joint_of_object_, scratch, &influences);
      most = std::max(most, influences.size());
    }
    sets = (most + 3) / 4;
  }

  for (const MorphTarget& target : object.morphs) part.target_slots.push_back(target.slot);

  // Corners of surface k are numbered from corner_base[k].
  std::vector<uint32_t> corner_base(surfaces.size() + 1, 0);
  for (size_t k = 0; k < surfaces.size(); ++k) {
    corner_base[k + 1] =
        corner_base[k] + static_cast<uint32_t>(object.CornerCount(static_cast<size_t>(surfaces[k])));
  }
  std::vector<uint32_t> corner_vertex(corner_base.back());
  // A corner's surface from its number.
  std::vector<uint32_t> surface_of(corner_base.back());
  for (size_t k = 0; k < surfaces.size(); ++k) {
    for (uint32_t c = corner_base[k]; c < corner_base[k + 1]; ++c) surface_of[c] = static_cast<uint32_t>(k);
  }

  // Either every corner has them or none (the scene keeps it so); a scene
  // put together by hand with other counts is read as having none.
  const size_t corner_total = object.corner_points.size();
  const bool has_uv = object.corner_uv.size() == corner_total;
  const bool has_colors = object.corner_colors.size() == corner_total;

  Json mesh;
  mesh["name"] = ValidUtf8(object.name);
  std::vector<uint32_t> bucket_start(vertex_count + 1);
  std::vector<uint32_t> bucket;
  std::vector<CornerKey> keys;
  for (const Primitive& primitive : primitives) {
    const bool colors = primitive.material != kNoMaterial &&
                        scene_.materials[static_cast<size_t>(primitive.material)].vertex_colors;
    // The corners grouped by vertex, each group in face order: the file's
    // vertices come out in document order.
    std::fill(bucket_start.begin(), bucket_start.end(), 0);
    size_t corners = 0, triangles = 0;
    for (const size_t k : primitive.surfaces) {
      for (const int v : object.PointsOf(static_cast<size_t>(surfaces[k])))
        ++bucket_start[static_cast<size_t>(v) + 1];
      corners += corner_base[k + 1] - corner_base[k];
      triangles += corner_base[k + 1] - corner_base[k] - 2;
    }
    size_t used = 0;  // document vertices in this primitive: the file has at least as many
    for (size_t v = 1; v <= vertex_count; ++v) {
      used += bucket_start[v] != 0 ? 1 : 0;
      bucket_start[v] += bucket_start[v - 1];
    }
    bucket.resize(corners);
    {
      std::vector<uint32_t> fill(bucket_start.begin(), bucket_start.end() - 1);
      for (const size_t k : primitive.surfaces) {
        const Span<const int> points = object.PointsOf(static_cast<size_t>(surfaces[k]));
        for (size_t i = 0; i < points.size(); ++i) {
          bucket[fill[static_cast<size_t>(points[i])]++] = corner_base[k] + static_cast<uint32_t>(i);
        }
      }
    }
    std::vector<float> positions, normal_data, uvs;
    std::vector<uint32_t> color_data;
    std::vector<uint32_t> source;  // the document vertex of each file vertex
    positions.reserve(used * 3);
    normal_data.reserve(used * 3);
    uvs.reserve(used * 2);
    source.reserve(used);
    if (colors) color_data.reserve(used);
    for (size_t v = 0; v < vertex_count; ++v) {
      // The corners of this vertex so far, each with its file vertex.
      keys.clear();
      const uint32_t first = static_cast<uint32_t>(source.size());
      for (size_t b = bucket_start[v]; b < bucket_start[v + 1]; ++b) {
        const uint32_t c = bucket[b];
        const size_t k = surface_of[c];
        // The corner's place in the object's corner arrays.
        const size_t at = object.face_start[static_cast<size_t>(surfaces[k])] + (c - corner_base[k]);
        CornerKey key;
        key.normal = normals.At(k, static_cast<int>(v));
        if (has_uv)
          key.uv = FVECTOR2(Finite(object.corner_uv[at].x, 0.0f), Finite(object.corner_uv[at].y, 0.0f));
        if (colors) key.color = has_colors ? object.corner_colors[at] : 0xFFFFFFFFu;
        size_t found = 0;
        while (found < keys.size() && !(keys[found] == key)) ++found;
        if (found == keys.size()) {
          keys.push_back(key);
          source.push_back(static_cast<uint32_t>(v));
          const FVECTOR3 p = (vertices[v] - origin) * scale_;
          positions.insert(positions.end(), {Finite(p.x, 0.0f), Finite(p.y, 0.0f), Finite(p.z, 0.0f)});
          normal_data.insert(normal_data.end(), {key.normal.x, key.normal.y, key.normal.z});
          uvs.insert(uvs.end(), {key.uv.x, key.uv.y});
          if (colors) color_data.push_back(key.color);
        }
        corner_vertex[c] = first + static_cast<uint32_t>(found);
      }
    }
    // Fans turned counter-clockwise: (P0, P(i+1), P(i)).
    std::vector<uint32_t> indices;
    indices.reserve(triangles * 3);
    for (const size_t k : primitive.surfaces) {
      const size_t base = corner_base[k];
      const size_t n = corner_base[k + 1] - base;
      for (size_t i = 1; i + 1 < n; ++i) {
        indices.insert(indices.end(),
                       {corner_vertex[base], corner_vertex[base + i + 1], corner_vertex[base + i]});
      }
    }
    const size_t count = source.size();
    Json attributes;
    attributes["POSITION"] = FloatAccessor(std::move(positions), 3, "VEC3", kArrayBuffer, true);
    attributes["NORMAL"] = FloatAccessor(std::move(normal_data), 3, "VEC3", kArrayBuffer, false);
    attributes["TEXCOORD_0"] = FloatAccessor(std::move(uvs), 2, "VEC2", kArrayBuffer, false);
    if (colors) {
      // 0xAABBGGRR held little-endian is the bytes R, G, B, A.
      attributes["COLOR_0"] =
          Accessor(View(std::move(color_data), kArrayBuffer), kUnsignedByte, count, "VEC4", true);
    }
    for (size_t set = 0; set < sets; ++set) {
      std::vector<uint16_t> joints(count * 4);
      std::vector<float> weights(count * 4);
      size_t last = vertex_count;  // copies of one vertex come one after another
      for (size_t out = 0; out < count; ++out) {
        if (source[out] != last) {
          last = source[out];
          InfluencesOf(weights_of(last), joint_of_object_, scratch, &influences);
        }
        for (size_t j = 0; j < 4; ++j) {
          const size_t at = set * 4 + j;
          const Influence in = at < influences.size() ? influences[at] : Influence{};
          joints[out * 4 + j] = static_cast<uint16_t>(in.joint);
          weights[out * 4 + j] = in.weight;
        }
      }
      attributes["JOINTS_" + std::to_string(set)] =
          Accessor(View(std::move(joints), kArrayBuffer), kUnsignedShort, count, "VEC4");
      attributes["WEIGHTS_" + std::to_string(set)] =
          FloatAccessor(std::move(weights), 4, "VEC4", kArrayBuffer, false);
    }
    Json out;
    out["attributes"] = std::move(attributes);
    const size_t index_count = indices.size();
    out["indices"] =
        Accessor(View(std::move(indices), kElementArrayBuffer), kUnsignedInt, index_count, "SCALAR");
    if (primitive.material != kNoMaterial) out["material"] = primitive.material;
    // Morph targets: offsets from the base shape.
    for (const MorphTarget& target : object.morphs) {
      std::vector<float> deltas(count * 3, 0.0f);
      for (size_t o = 0; o < count; ++o) {
        const size_t v = source[o];
        if (v >= target.positions.size()) continue;
        const FVECTOR3 d = (Finite(target.positions[v]) - vertices[v]) * scale_;
        deltas[o * 3] = Finite(d.x, 0.0f);
        deltas[o * 3 + 1] = Finite(d.y, 0.0f);
        deltas[o * 3 + 2] = Finite(d.z, 0.0f);
      }
      out["targets"].push_back(
          {{"POSITION", FloatAccessor(std::move(deltas), 3, "VEC3", kArrayBuffer, true)}});
    }
    mesh["primitives"].push_back(std::move(out));
    report_.vertices += static_cast<int>(count);
  }
  if (!object.morphs.empty()) {
    Json names = Json::array();
    for (const MorphTarget& target : object.morphs) names.push_back(ValidUtf8(target.name));
    mesh["weights"] = Json(std::vector<int>(object.morphs.size(), 0));
    mesh["extras"]["targetNames"] = std::move(names);
    report_.targets += static_cast<int>(object.morphs.size());
  }
  json_["meshes"].push_back(std::move(mesh));
  part.mesh = static_cast<int>(json_["meshes"].size()) - 1;
  Json& node = json_["nodes"][static_cast<size_t>(part.node)];
  node["mesh"] = part.mesh;
  if (skinned) node["skin"] = 0;
}

void Builder::AddSkin() {
  if (!skinned_) return;
  Json joints = Json::array({0});
  std::vector<float> matrices;
  matrices.reserve((joints_.size() + 1) * 16);
  const FMATRIX identity;
  matrices.insert(matrices.end(), identity.m, identity.m + 16);
  for (const int object : joints_) {
    joints.push_back(first_object_node_ + object);
    // The joint's rest global matrix is the translation to its pivot. The
    // row-vector matrix's memory order is glTF's column-major one.
    const FMATRIX inverse =
        FMATRIX::Translation(Finite(-(Finite(scene_.objects[static_cast<size_t>(object)].pivot) * scale_)));
    matrices.insert(matrices.end(), inverse.m, inverse.m + 16);
  }
  Json skin;
  skin["name"] = "rig";
  skin["skeleton"] = 0;
  skin["joints"] = std::move(joints);
  skin["inverseBindMatrices"] = FloatAccessor(std::move(matrices), 16, "MAT4", kNoTarget, false);
  json_["skins"] = Json::array({std::move(skin)});
  report_.joints = static_cast<int>(joints_.size()) + 1;
}

void Builder::AddAnimations() {
  const std::vector<Pose>& poses = scene_.poses;
  const size_t n = scene_.objects.size();
  if (poses.empty() || n == 0) return;
  const auto state = [&](const Pose& pose, size_t i) {
    PoseState s = i < pose.objects.size() ? pose.objects[i] : PoseState{};
    s.translation = Finite(s.translation);
    s.scale = FiniteScale(s.scale);
    s.rotation = UnitRotation(s.rotation);
    return s;
  };
  // The nodes some pose moves. glTF's pose is the rest state plus what its
  // channels set, so every pose sets all three paths of each of them.
  std::vector<int> posed;
  for (size_t i = 0; i < n; ++i) {
    for (const Pose& pose : poses) {
      const PoseState s = state(pose, i);
      if (s.translation != FVECTOR3{} || s.scale != FVECTOR3{1.0f, 1.0f, 1.0f} || s.rotation != FQUAT{}) {
        posed.push_back(static_cast<int>(i));
        break;
      }
    }
  }
  std::vector<const MeshPart*> morphed;
  for (const MeshPart& part : parts_) {
    if (!part.target_slots.empty()) morphed.push_back(&part);
  }
  // An animation needs a channel: with nothing posed or morphed the first
  // object holds its rest place.
  if (posed.empty() && morphed.empty()) posed.push_back(0);

  std::vector<float> sequence_times;
  for (size_t k = 0; k < poses.size(); ++k) sequence_times.push_back(static_cast<float>(k));
  const int time0 = FloatAccessor({0.0f}, 1, "SCALAR", kNoTarget, true);
  const int times = poses.size() == 1 ? time0 : FloatAccessor(sequence_times, 1, "SCALAR", kNoTarget, true);

  // Each animation's values: per posed node translation, rotation, scale;
  // per morphed mesh node its weights, for the poses `first`..`last`.
  const auto animation = [&](size_t first, size_t last, int input, const char* interpolation) {
    Json channels = Json::array(), samplers = Json::array();
    const auto channel = [&](int node, const char* path, const std::vector<float>& values, int components,
                             const char* type) {
      Json sampler;
      sampler["input"] = input;
      sampler["output"] = FloatAccessor(values, components, type, kNoTarget, false);
      sampler["interpolation"] = interpolation;
      samplers.push_back(std::move(sampler));
      channels.push_back({{"sampler", samplers.size() - 1}, {"target", {{"node", node}, {"path", path}}}});
    };
    for (const int i : posed) {
      const Object& object = scene_.objects[static_cast<size_t>(i)];
      const FVECTOR3 parent_pivot = object.parent == kNoParent
                                        ? FVECTOR3{}
                                        : Finite(scene_.objects[static_cast<size_t>(object.parent)].pivot);
      const FVECTOR3 rest = Finite(object.pivot) - parent_pivot;
      std::vector<float> translation, rotation, scale;
      FQUAT previous;
      for (size_t k = first; k <= last; ++k) {
        const PoseState s = state(poses[k], static_cast<size_t>(i));
        const FVECTOR3 t = (rest + s.translation) * scale_;
        translation.insert(translation.end(), {Finite(t.x, 0.0f), Finite(t.y, 0.0f), Finite(t.z, 0.0f)});
        FQUAT q = s.rotation;
        // Neighbouring keys in one hemisphere: the blend between two poses
        // takes the short way.
        if (k > first && q.x * previous.x + q.y * previous.y + q.z * previous.z + q.w * previous.w < 0.0f) {
          q = FQUAT{-q.x, -q.y, -q.z, -q.w};
        }
        previous = q;
        rotation.insert(rotation.end(), {q.x, q.y, q.z, q.w});
        scale.insert(scale.end(), {s.scale.x, s.scale.y, s.scale.z});
      }
      const int node = first_object_node_ + i;
      channel(node, "translation", translation, 3, "VEC3");
      channel(node, "rotation", rotation, 4, "VEC4");
      channel(node, "scale", scale, 3, "VEC3");
    }
    for (const MeshPart* part : morphed) {
      std::vector<float> weights;
      for (size_t k = first; k <= last; ++k) {
        const PoseState s = state(poses[k], static_cast<size_t>(part->object));
        for (const int slot : part->target_slots) {
          const float w = slot >= 0 && slot < static_cast<int>(s.morph_weights.size())
                              ? s.morph_weights[static_cast<size_t>(slot)]
                              : 0.0f;
          weights.push_back(Finite(w, 0.0f));
        }
      }
      channel(part->node, "weights", weights, 1, "SCALAR");
    }
    Json out;
    out["channels"] = std::move(channels);
    out["samplers"] = std::move(samplers);
    return out;
  };
  for (size_t k = 0; k < poses.size(); ++k) {
    Json one = animation(k, k, time0, "STEP");
    one["name"] = ValidUtf8(poses[k].name);
    json_["animations"].push_back(std::move(one));
  }
  // The poses one after another, a second apart.
  Json sequence = animation(0, poses.size() - 1, times, "LINEAR");
  sequence["name"] = "poses";
  sequence["extras"]["quorvel"]["role"] = "sequence";
  json_["animations"].push_back(std::move(sequence));
  report_.animations = static_cast<int>(poses.size()) + 1;
}

bool Builder::Build(std::string* error) {
  if (!CheckScene(error)) return false;
  json_["asset"] = {{"version", "2.0"},
                    {"generator", "Quorvel"},
                    {"extras", {{"quorvel", {{"unitScale", Number(scale_)}}}}}};
  PlanNodes();
  if (joints_.size() + 1 > 0xFFFF) {
    *error = "the skin would have " + std::to_string(joints_.size() + 1) + " joints, more than 65535";
    return false;
  }
  AddMaterials();
  AddNodes();
  for (MeshPart& part : parts_) AddMesh(part);
  AddSkin();
  AddAnimations();
  if (!bin_.empty()) {
    Json buffer;
    buffer["byteLength"] = bin_.size();
    json_["buffers"] = Json::array({std::move(buffer)});
  }
  return true;
}

std::string JsonText(const Json& json, int indent) {
  // The strings are valid UTF-8 already; replacing is the last guard.
  return json.dump(indent, ' ', false, Json::error_handler_t::replace);
}

// The GLB framing around the JSON text and the buffer: the header, the JSON
// chunk padded with spaces, the BIN chunk padded with zeros.
std::vector<uint8_t> GlbHead(std::string* json_text, size_t bin_size, uint64_t* total) {
  while (json_text->size() % 4 != 0) *json_text += ' ';
  *total = 12 + 8 + json_text->size() + (bin_size != 0 ? 8 + bin_size : 0);
  std::vector<uint8_t> head;
  AppendU32(head, kGlbMagic);
  AppendU32(head, 2);
  AppendU32(head, static_cast<uint32_t>(*total));
  AppendU32(head, static_cast<uint32_t>(json_text->size()));
  AppendU32(head, kChunkJson);
  return head;
}

std::vector<uint8_t> BinHead(size_t bin_size) {
  std::vector<uint8_t> head;
  AppendU32(head, static_cast<uint32_t>(bin_size));
  AppendU32(head, kChunkBin);
  return head;
}

bool TooBig(uint64_t total, std::string* error) {
  if (total <= kGlbLimit) return false;
  *error = "the file would pass 4 GiB, the most a .glb can hold";
  return true;
}

// ---------------------------------------------------------------- files

bool WriteBytes(std::ofstream& out, const void* data, size_t size) {
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// The cause of the last failed file call, in words.
std::string Cause(int number, const char* fallback) { return number != 0 ? std::strerror(number) : fallback; }

// Writes one file under `temporary`; on failure it is removed and `cause`
// says why.
template <typename Writer>
bool WriteTemporary(const std::string& temporary, Writer&& write, std::string* cause) {
  errno = 0;
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) {
    *cause = "cannot create it (" + Cause(errno, "no reason given") + ")";
    return false;
  }
  errno = 0;
  bool ok = write(out);
  out.flush();
  ok = ok && static_cast<bool>(out);
  const int number = errno;
  out.close();
  ok = ok && !out.fail();
  if (!ok) {
    *cause = "cannot write it (" + Cause(number, "write failed") + ")";
    std::remove(temporary.c_str());
  }
  return ok;
}

// Puts a finished temporary under its final name, replacing an older file.
// Windows' rename does not replace (EEXIST or EACCES): there the old file is
// removed first. Other failures remove nothing; POSIX remove() would take an
// empty folder of that name with it.
bool Publish(const std::string& temporary, const std::string& path, std::string* cause) {
  errno = 0;
  if (std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  int number = errno;
  if (number == EEXIST || number == EACCES) {
    std::remove(path.c_str());
    errno = 0;
    if (std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    number = errno;
  }
  *cause = "cannot put it in place (" + Cause(number, "rename failed") + ")";
  std::remove(temporary.c_str());
  return false;
}

std::string TemporaryName(const std::string& path) { return path + ".tmp"; }

bool WriteGlbFile(Builder& builder, const std::string& path, std::string* error) {
  std::string text = JsonText(builder.json(), -1);
  BinaryBuffer& bin = builder.bin();
  uint64_t total = 0;
  const std::vector<uint8_t> head = GlbHead(&text, bin.size(), &total);
  if (TooBig(total, error)) {
    *error = path + ": " + *error;
    return false;
  }
  const std::string temporary = TemporaryName(path);
  std::string cause;
  const bool ok =
      WriteTemporary(
          temporary,
          [&](std::ofstream& out) {
            bool good =
                WriteBytes(out, head.data(), head.size()) && WriteBytes(out, text.data(), text.size());
            if (good && !bin.empty()) {
              const std::vector<uint8_t> bin_head = BinHead(bin.size());
              good = WriteBytes(out, bin_head.data(), bin_head.size()) &&
                     bin.Emit([&](const uint8_t* data, size_t size) { return WriteBytes(out, data, size); },
                              false);
            }
            return good;
          },
          &cause) &&
      Publish(temporary, path, &cause);
  if (!ok) *error = path + ": " + cause;
  return ok;
}

bool WriteGltfFiles(Builder& builder, const std::string& path, std::string* error) {
  // The buffer goes beside the JSON as <stem>.bin.
  const size_t name_start = path.size() - FileNameOf(path).size();
  const size_t dot = path.rfind('.');
  const std::string bin_path =
      path.substr(0, dot != std::string::npos && dot >= name_start ? dot : path.size()) + ".bin";
  BinaryBuffer& bin = builder.bin();
  if (!bin.empty()) {
    builder.json()["buffers"][0]["uri"] = UriOf(ValidUtf8(platform::AnsiToUtf8(FileNameOf(bin_path))));
  }
  const std::string text = JsonText(builder.json(), 2) + "\n";
  std::string cause;
  const std::string bin_temporary = TemporaryName(bin_path);
  const std::string temporary = TemporaryName(path);
  if (!bin.empty() && !WriteTemporary(
                          bin_temporary,
                          [&](std::ofstream& out) {
                            return bin.Emit(
                                [&](const uint8_t* data, size_t size) { return WriteBytes(out, data, size); },
                                false);
                          },
                          &cause)) {
    *error = path + ": its buffer " + bin_path + ": " + cause;
    return false;
  }
  if (!WriteTemporary(
          temporary, [&](std::ofstream& out) { return WriteBytes(out, text.data(), text.size()); }, &cause)) {
    std::remove(bin_temporary.c_str());
    *error = path + ": " + cause;
    return false;
  }
  if (!bin.empty() && !Publish(bin_temporary, bin_path, &cause)) {
    std::remove(temporary.c_str());
    *error = path + ": its buffer " + bin_path + ": " + cause;
    return false;
  }
  if (!Publish(temporary, path, &cause)) {
    // Without its JSON the new buffer is of no use.
    if (!bin.empty()) std::remove(bin_path.c_str());
    *error = path + ": " + cause;
    return false;
  }
  return true;
}

// Messages are UTF-8, as the names in them; the path, and the names of its
// buffer and temporaries made from it, are in the system code page.
std::string ShownInUtf8(std::string message, const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const std::string stem = path.substr(0, dot);
  const std::string shown = platform::AnsiToUtf8(stem);
  if (stem.empty() || shown == stem) return message;
  for (size_t at = message.find(stem); at != std::string::npos; at = message.find(stem, at + shown.size())) {
    message.replace(at, stem.size(), shown);
  }
  return message;
}

}  // namespace

bool ExportGltf(const Scene& scene, const std::string& path, const ExportOptions& options,
                ExportReport* report, std::string* error) {
  std::string message;
  bool ok = false;
  try {
    const std::string extension = LowerExtension(path);
    if (extension != ".glb" && extension != ".gltf") {
      message = path + ": the name must end in .glb or .gltf";
    } else {
      const Container container = extension == ".glb" ? Container::kGlb : Container::kGltf;
      Builder builder(scene, options, container);
      if (!builder.Build(&message)) {
        message = path + ": " + message;
      } else {
        ok = container == Container::kGlb ? WriteGlbFile(builder, path, &message)
                                          : WriteGltfFiles(builder, path, &message);
        if (ok && report != nullptr) *report = builder.report();
      }
    }
  } catch (const std::bad_alloc&) {
    message = path + ": not enough memory to export";
  } catch (const std::exception& e) {
    message = path + ": " + e.what();
  }
  if (!ok && error != nullptr) *error = ShownInUtf8(std::move(message), path);
  return ok;
}

bool ExportGlb(const Scene& scene, const ExportOptions& options, std::vector<uint8_t>* out,
               ExportReport* report, std::string* error) {
  std::string message;
  try {
    Builder builder(scene, options, Container::kGlb);
    if (builder.Build(&message)) {
      std::string text = JsonText(builder.json(), -1);
      BinaryBuffer& bin = builder.bin();
      uint64_t total = 0;
      std::vector<uint8_t> bytes = GlbHead(&text, bin.size(), &total);
      if (!TooBig(total, &message)) {
        bytes.reserve(static_cast<size_t>(total));
        Append(bytes, reinterpret_cast<const uint8_t*>(text.data()), text.size());
        if (!bin.empty()) {
          const std::vector<uint8_t> bin_head = BinHead(bin.size());
          Append(bytes, bin_head.data(), bin_head.size());
          bin.Emit(
              [&](const uint8_t* data, size_t size) {
                Append(bytes, data, size);
                return true;
              },
              true);
        }
        *out = std::move(bytes);
        if (report != nullptr) *report = builder.report();
        return true;
      }
    }
  } catch (const std::bad_alloc&) {
    message = "not enough memory to export";
  } catch (const std::exception& e) {
    message = e.what();
  }
  if (error != nullptr) *error = message;
  return false;
}

}  // namespace quorvel::gltf
