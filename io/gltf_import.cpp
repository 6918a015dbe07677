#include "io/gltf_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// tinygltf parses the JSON and the buffers. Images stay undecoded (a
// material needs only the texture's name), and every file it opens goes
// through the callbacks below, which keep it inside the file's folder.
#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#include <tiny_gltf.h>

#include "platform/codepage.h"

namespace quorvel::gltf {

namespace {

// Beyond these a file is taken as broken rather than big.
constexpr size_t kMaxVertices = 50'000'000;
constexpr size_t kMaxFaces = 100'000'000;
constexpr size_t kMaxAccessorComponents = 400'000'000;
constexpr size_t kMaxFileBytes = 0xFFFFFFFFu;  // tinygltf takes 32-bit lengths
constexpr int kMaxMorphSlots = 20;
constexpr int kMaxBones = 4;
constexpr int kMaxWeightSets = 8;  // JOINTS_n / WEIGHTS_n pairs read

// Thrown while the scene is built; the message says what is wrong, the
// caller adds the file's name.
class BadFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& what) { throw BadFile(what); }

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// ---------------------------------------------------------------- affine maps

// An affine map in the plug-in's row-vector convention, p' = p·l + t, in
// double precision so that composing and inverting a long chain of nodes
// keeps float accuracy at the end.
struct Affine {
  double l[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double t[3] = {0, 0, 0};

  // This map first, then `b`.
  Affine Then(const Affine& b) const {
    Affine r;
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        r.l[i][j] = l[i][0] * b.l[0][j] + l[i][1] * b.l[1][j] + l[i][2] * b.l[2][j];
      }
    }
    for (int j = 0; j < 3; ++j) r.t[j] = t[0] * b.l[0][j] + t[1] * b.l[1][j] + t[2] * b.l[2][j] + b.t[j];
    return r;
  }
  std::array<double, 3> Apply(const double p[3]) const {
    std::array<double, 3> r;
    for (int j = 0; j < 3; ++j) r[j] = p[0] * l[0][j] + p[1] * l[1][j] + p[2] * l[2][j] + t[j];
    return r;
  }
  double Determinant() const {
    return l[0][0] * (l[1][1] * l[2][2] - l[1][2] * l[2][1]) -
           l[0][1] * (l[1][0] * l[2][2] - l[1][2] * l[2][0]) +
           l[0][2] * (l[1][0] * l[2][1] - l[1][1] * l[2][0]);
  }
  // False when the linear part is singular (or nearly so for its size).
  bool Inverse(Affine* out) const {
    const double det = Determinant();
    double size = 0.0;
    for (const auto& row : l)
      for (double v : row) size = std::max(size, std::fabs(v));
    if (!std::isfinite(det) || size == 0.0 || std::fabs(det) <= 1e-12 * size * size * size) return false;
    const double inv = 1.0 / det;
    Affine r;
    r.l[0][0] = (l[1][1] * l[2][2] - l[1][2] * l[2][1]) * inv;
    r.l[0][1] = (l[0][2] * l[2][1] - l[0][1] * l[2][2]) * inv;
    r.l[0][2] = (l[0][1] * l[1][2] - l[0][2] * l[1][1]) * inv;
    r.l[1][0] = (l[1][2] * l[2][0] - l[1][0] * l[2][2]) * inv;
    r.l[1][1] = (l[0][0] * l[2][2] - l[0][2] * l[2][0]) * inv;
    r.l[1][2] = (l[0][2] * l[1][0] - l[0][0] * l[1][2]) * inv;
    r.l[2][0] = (l[1][0] * l[2][1] - l[1][1] * l[2][0]) * inv;
    r.l[2][1] = (l[0][1] * l[2][0] - l[0][0] * l[2][1]) * inv;
    r.l[2][2] = (l[0][0] * l[1][1] - l[0][1] * l[1][0]) * inv;
    for (int j = 0; j < 3; ++j) r.t[j] = -(t[0] * r.l[0][j] + t[1] * r.l[1][j] + t[2] * r.l[2][j]);
    *out = r;
    return true;
  }
};

Affine Translation(const double t[3]) {
  Affine a;
  for (int j = 0; j < 3; ++j) a.t[j] = t[j];
  return a;
}

// The row-vector rotation of a unit quaternion (x, y, z, w): FMATRIX::FromQuat
// in double.
void RotationRows(const double q[4], double r[3][3]) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  r[0][0] = 1 - 2 * (y * y + z * z);
  r[0][1] = 2 * (x * y + z * w);
  r[0][2] = 2 * (x * z - y * w);
  r[1][0] = 2 * (x * y - z * w);
  r[1][1] = 1 - 2 * (x * x + z * z);
  r[1][2] = 2 * (y * z + x * w);
  r[2][0] = 2 * (x * z + y * w);
  r[2][1] = 2 * (y * z - x * w);
  r[2][2] = 1 - 2 * (x * x + y * y);
}

// glTF's T·R·S as a row-vector map: scale, then rotate, then translate.
Affine FromTrs(const double t[3], const double q[4], const double s[3]) {
  Affine a;
  RotationRows(q, a.l);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) a.l[i][j] *= s[i];
  for (int j = 0; j < 3; ++j) a.t[j] = t[j];
  return a;
}

// The unit quaternion of a row-vector rotation (the inverse of RotationRows),
// with w >= 0.
std::array<double, 4> QuaternionOf(const double r[3][3]) {
  // c(i, j) is the column-vector form, where the textbook formulas apply.
  auto c = [&](int i, int j) { return r[j][i]; };
  double x, y, z, w;
  const double trace = c(0, 0) + c(1, 1) + c(2, 2);
  if (trace > 0.0) {
    const double s = std::sqrt(trace + 1.0) * 2.0;
    w = 0.25 * s;
    x = (c(2, 1) - c(1, 2)) / s;
    y = (c(0, 2) - c(2, 0)) / s;
    z = (c(1, 0) - c(0, 1)) / s;
  } else if (c(0, 0) > c(1, 1) && c(0, 0) > c(2, 2)) {
    const double s = std::sqrt(1.0 + c(0, 0) - c(1, 1) - c(2, 2)) * 2.0;
    w = (c(2, 1) - c(1, 2)) / s;
    x = 0.25 * s;
    y = (c(0, 1) + c(1, 0)) / s;
    z = (c(0, 2) + c(2, 0)) / s;
  } else if (c(1, 1) > c(2, 2)) {
    const double s = std::sqrt(1.0 + c(1, 1) - c(0, 0) - c(2, 2)) * 2.0;
    w = (c(0, 2) - c(2, 0)) / s;
    x = (c(0, 1) + c(1, 0)) / s;
    y = 0.25 * s;
    z = (c(1, 2) + c(2, 1)) / s;
  } else {
    const double s = std::sqrt(1.0 + c(2, 2) - c(0, 0) - c(1, 1)) * 2.0;
    w = (c(1, 0) - c(0, 1)) / s;
    x = (c(0, 2) + c(2, 0)) / s;
    y = (c(1, 2) + c(2, 1)) / s;
    z = 0.25 * s;
  }
  double n = std::sqrt(x * x + y * y + z * z + w * w);
  if (w < 0.0) n = -n;
  return {x / n, y / n, z / n, w / n};
}

// Rows of `r` made orthonormal, longest first, a missing one completed by a
// cross product: the rotation of a linear part with a zero scale.
void OrthonormalRows(double r[3][3]) {
  auto length = [](const double* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); };
  auto cross = [](const double* a, const double* b, double* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
  };
  int order[3] = {0, 1, 2};
  std::sort(order, order + 3, [&](int a, int b) { return length(r[a]) > length(r[b]); });
  double* a = r[order[0]];
  double* b = r[order[1]];
  double la = length(a);
  if (la < 1e-300) {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) r[i][j] = i == j ? 1.0 : 0.0;
    return;
  }
  for (int j = 0; j < 3; ++j) a[j] /= la;
  const double d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  for (int j = 0; j < 3; ++j) b[j] -= d * a[j];
  double lb = length(b);
  if (lb < 1e-9) {
    // Any direction across `a`.
    const double axis[3] = {std::fabs(a[0]) < 0.9 ? 1.0 : 0.0, std::fabs(a[0]) < 0.9 ? 0.0 : 1.0, 0.0};
    cross(a, axis, b);
    lb = length(b);
  }
  for (int j = 0; j < 3; ++j) b[j] /= lb;
  // The third row keeps the rows' cyclic order so the result is a rotation.
  const int k = 3 - order[0] - order[1];
  cross(r[(k + 1) % 3], r[(k + 2) % 3], r[k]);
}

// The pose record's parts of a linear map L = S·R (row i of L is s_i times
// row i of the rotation R). R is L's orthogonal polar factor, which is exact
// when L is a rotation after a scale along the object's axes; otherwise (a
// shear from non-uniform scales in the file) it is the nearest rotation and
// S the scale that fits it best along its axes.
void SplitScaleRotation(const double lin[3][3], double scale[3], double rot[3][3]) {
  double x[3][3];
  std::memcpy(x, lin, sizeof(x));
  Affine a;
  std::memcpy(a.l, lin, sizeof(a.l));
  const bool mirrored = a.Determinant() < 0.0;
  // A mirror shows as a negative scale along the first axis.
  if (mirrored)
    for (int j = 0; j < 3; ++j) x[0][j] = -x[0][j];
  Affine probe;
  std::memcpy(probe.l, x, sizeof(x));
  Affine inverse;
  if (probe.Inverse(&inverse)) {
    // Newton's iteration X <- (X + X^-T) / 2 converges to the polar factor.
    for (int iteration = 0; iteration < 100; ++iteration) {
      double change = 0.0;
      for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
          const double next = 0.5 * (probe.l[i][j] + inverse.l[j][i]);
          change = std::max(change, std::fabs(next - probe.l[i][j]));
          x[i][j] = next;
        }
      }
      std::memcpy(probe.l, x, sizeof(x));
      if (change < 1e-15 || !probe.Inverse(&inverse)) break;
    }
  } else {
    OrthonormalRows(x);
  }
  std::memcpy(rot, x, sizeof(x));
  for (int i = 0; i < 3; ++i)
    scale[i] = lin[i][0] * rot[i][0] + lin[i][1] * rot[i][1] + lin[i][2] * rot[i][2];
}

// ---------------------------------------------------------------- file access

// The folder external buffers may come from; tinygltf joins it with the URI.
struct Folder {
  std::string path;
};

// True when `joined` is `folder` + "/" + a relative name that stays inside it.
bool InsideFolder(const std::string& joined, const Folder& folder) {
  if (folder.path.empty()) return false;
  std::string prefix = folder.path;
  if (prefix.back() != '/' && prefix.back() != '\\') prefix += '/';
  if (joined.size() <= prefix.size() || joined.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string rest = joined.substr(prefix.size());
  if (rest.find(':') != std::string::npos || rest.find('\0') != std::string::npos) return false;
  if (rest.front() == '/' || rest.front() == '\\') return false;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = rest.find_first_of("/\\", start);
    if (end == std::string::npos) end = rest.size();
    if (rest.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    start = end + 1;
  }
  return true;
}

bool ReadBytes(const std::string& path, std::vector<uint8_t>* out, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *why = "cannot be opened";
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) {
    *why = "cannot be read";
    return false;
  }
  if (static_cast<unsigned long long>(size) > kMaxFileBytes) {
    *why = "is larger than 4 GB";
    return false;
  }
  in.seekg(0, std::ios::beg);
  out->resize(static_cast<size_t>(size));
  if (size > 0 && !in.read(reinterpret_cast<char*>(out->data()), size)) {
    *why = "cannot be read";
    return false;
  }
  return true;
}

bool FolderFileExists(const std::string& path, void* user) {
  if (!InsideFolder(path, *static_cast<const Folder*>(user))) return false;
  std::ifstream in(path, std::ios::binary);
  return static_cast<bool>(in);
}

std::string KeepPath(const std::string& path, void*) { return path; }

bool ReadFolderFile(std::vector<unsigned char>* out, std::string* err, const std::string& path, void* user) {
  if (!InsideFolder(path, *static_cast<const Folder*>(user))) {
    if (err) *err += "outside the file's folder";
    return false;
  }
  std::string why;
  if (!ReadBytes(path, out, &why)) {
    if (err) *err += why;
    return false;
  }
  return true;
}

bool RefuseWrite(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
  if (err) *err += "the importer writes no files";
  return false;
}

// Images are only named, never decoded.
bool KeepNoImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int,
                 void*) {
  return true;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  for (char& c : text)
    if (c == '\n') c = ';';
  return text;
}

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The .glb container's header and chunks, checked before tinygltf sees them
// so that a cut-short file says so.
void CheckGlb(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 20)
    Fail("the binary glTF (.glb) is cut short: " + std::to_string(bytes.size()) + " bytes");
  const uint32_t version = ReadU32(&bytes[4]);
  if (version != 2) Fail("binary glTF version " + std::to_string(version) + " is not 2");
  const uint64_t length = ReadU32(&bytes[8]);
  if (length > bytes.size()) {
    Fail("the binary glTF (.glb) is cut short: its header says " + std::to_string(length) +
         " bytes, the file has " + std::to_string(bytes.size()));
  }
  uint64_t at = 12;
  for (int chunk = 0; at < length; ++chunk) {
    if (length - at < 8) Fail("the binary glTF (.glb) is cut short inside chunk " + std::to_string(chunk));
    const uint64_t chunk_length = ReadU32(&bytes[at]);
    const uint32_t type = ReadU32(&bytes[at + 4]);
    if (chunk == 0 && type != 0x4E4F534A) Fail("the binary glTF (.glb) does not start with its JSON chunk");
    if (chunk_length > length - at - 8) {
      Fail("the binary glTF (.glb) is cut short: chunk " + std::to_string(chunk) + " needs " +
           std::to_string(chunk_length) + " bytes, " + std::to_string(length - at - 8) + " are left");
    }
    at += 8 + chunk_length;
  }
}

bool LooksLikeJson(const std::vector<uint8_t>& bytes) {
  size_t i = 0;
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) i = 3;
  while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
    ++i;
  return i < bytes.size() && bytes[i] == '{';
}

void LoadModel(const std::vector<uint8_t>& bytes, const std::string& base_folder, tinygltf::Model* model,
               std::vector<std::string>* warnings) {
  const bool binary = bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0;
  if (binary) {
    CheckGlb(bytes);
  } else if (!LooksLikeJson(bytes)) {
    Fail("not a glTF file (neither glTF JSON nor a binary .glb)");
  }
  if (bytes.size() > kMaxFileBytes) Fail("larger than 4 GB");

  Folder folder{base_folder};
  tinygltf::FsCallbacks fs{};
  fs.FileExists = &FolderFileExists;
  fs.ExpandFilePath = &KeepPath;
  fs.ReadWholeFile = &ReadFolderFile;
  fs.WriteWholeFile = &RefuseWrite;
  fs.user_data = &folder;

  tinygltf::TinyGLTF loader;
  loader.SetFsCallbacks(fs);
  loader.SetImageLoader(&KeepNoImage, nullptr);
  std::string err;
  std::string warn;
  bool ok = false;
  try {
    if (binary) {
      ok = loader.LoadBinaryFromMemory(model, &err, &warn, bytes.data(),
                                       static_cast<unsigned int>(bytes.size()), base_folder,
                                       tinygltf::REQUIRE_VERSION);
    } else {
      size_t skip = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
      ok = loader.LoadASCIIFromString(model, &err, &warn, reinterpret_cast<const char*>(bytes.data()) + skip,
                                      static_cast<unsigned int>(bytes.size() - skip), base_folder,
                                      tinygltf::REQUIRE_VERSION);
    }
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    err = e.what();
    ok = false;
  }
  if (!ok) Fail("cannot be read as glTF: " + (err.empty() ? std::string("unknown reason") : Trimmed(err)));
  if (!warn.empty()) warnings->push_back(Trimmed(warn));
  if (model->asset.version.empty() || model->asset.version[0] != '2') {
    Fail("glTF version " + Quoted(model->asset.version) + " is not 2.x");
  }
}

// ---------------------------------------------------------------- accessors

int ComponentSize(int type) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
      return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
      return 2;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
      return 4;
    default:
      return 0;
  }
}

int ComponentCount(int type) {
  switch (type) {
    case TINYGLTF_TYPE_SCALAR:
      return 1;
    case TINYGLTF_TYPE_VEC2:
      return 2;
    case TINYGLTF_TYPE_VEC3:
      return 3;
    case TINYGLTF_TYPE_VEC4:
      return 4;
    case TINYGLTF_TYPE_MAT2:
      return 4;
    case TINYGLTF_TYPE_MAT3:
      return 9;
    case TINYGLTF_TYPE_MAT4:
      return 16;
    default:
      return 0;
  }
}

const char* TypeName(int type) {
  switch (type) {
    case TINYGLTF_TYPE_SCALAR:
      return "SCALAR";
    case TINYGLTF_TYPE_VEC2:
      return "VEC2";
    case TINYGLTF_TYPE_VEC3:
      return "VEC3";
    case TINYGLTF_TYPE_VEC4:
      return "VEC4";
    case TINYGLTF_TYPE_MAT2:
      return "MAT2";
    case TINYGLTF_TYPE_MAT3:
      return "MAT3";
    case TINYGLTF_TYPE_MAT4:
      return "MAT4";
    default:
      return "?";
  }
}

double Component(const uint8_t* p, int type) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
      return static_cast<int8_t>(p[0]);
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
      return p[0];
    case TINYGLTF_COMPONENT_TYPE_SHORT: {
      int16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    default: {
      float v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

// An integer component as a normalised value in [-1, 1] or [0, 1].
double Normalised(double v, int type) {
  switch (type) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
      return std::max(v / 127.0, -1.0);
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
      return v / 255.0;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
      return std::max(v / 32767.0, -1.0);
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
      return v / 65535.0;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
      return v / 4294967295.0;
    default:
      return v;
  }
}

// What an accessor may be for one use.
struct AccessorRule {
  std::vector<int> types;           // TINYGLTF_TYPE_*
  std::vector<int> components;      // TINYGLTF_COMPONENT_TYPE_*
  bool normalise_integers = false;  // integer components read as normalised values
};

// Where the bytes of `count` elements lie, checked against their buffer view
// and buffer.
struct Span {
  const uint8_t* data = nullptr;
  size_t stride = 0;
};

class Accessors {
 public:
  explicit Accessors(const tinygltf::Model& model) : model_(model) {}

  const tinygltf::Accessor& Get(int index, const std::string& what) const {
    if (index < 0 || static_cast<size_t>(index) >= model_.accessors.size()) {
      Fail(what + ": accessor " + std::to_string(index) + " does not exist");
    }
    return model_.accessors[static_cast<size_t>(index)];
  }

  // The accessor's values, `components` per element, as floats: integer
  // components normalised when the accessor says so (or the rule wants it),
  // otherwise as their values. Every value is finite.
  std::vector<float> Floats(int index, const std::string& what, const AccessorRule& rule,
                            int* components) const {
    const tinygltf::Accessor& a = Check(index, what, rule);
    const int n = ComponentCount(a.type);
    *components = n;
    const bool normalise = a.normalized || rule.normalise_integers;
    std::vector<float> out(a.count * static_cast<size_t>(n), 0.0f);
    auto convert = [&](const uint8_t* p) {
      double v = Component(p, a.componentType);
      if (a.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT && normalise) v = Normalised(v, a.componentType);
      return static_cast<float>(v);
    };
    Read(a, index, what, n,
         [&](size_t element, int c, const uint8_t* p) { out[element * n + c] = convert(p); });
    if (a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) {
      for (size_t i = 0; i < out.size(); ++i) {
        if (!std::isfinite(out[i])) {
          Fail(what + ": accessor " + std::to_string(index) + " holds a number that is not finite (element " +
               std::to_string(i / n) + ")");
        }
      }
    }
    return out;
  }

  // Integer values (indices, joints), `components` per element.
  std::vector<uint32_t> Integers(int index, const std::string& what, const AccessorRule& rule,
                                 int* components) const {
    const tinygltf::Accessor& a = Check(index, what, rule);
    if (a.normalized)
      Fail(what + ": accessor " + std::to_string(index) + " is normalized but must hold integers");
    const int n = ComponentCount(a.type);
    *components = n;
    std::vector<uint32_t> out(a.count * static_cast<size_t>(n), 0u);
    Read(a, index, what, n, [&](size_t element, int c, const uint8_t* p) {
      out[element * n + c] = static_cast<uint32_t>(Component(p, a.componentType));
    });
    return out;
  }

 private:
  const tinygltf::Accessor& Check(int index, const std::string& what, const AccessorRule& rule) const {
    const tinygltf::Accessor& a = Get(index, what);
    const std::string name = what + ": accessor " + std::to_string(index);
    if (std::find(rule.types.begin(), rule.types.end(), a.type) == rule.types.end()) {
      Fail(name + " has type " + TypeName(a.type) + ", which cannot be read here");
    }
    if (std::find(rule.components.begin(), rule.components.end(), a.componentType) == rule.components.end()) {
      Fail(name + " has component type " + std::to_string(a.componentType) + ", which cannot be read here");
    }
    const size_t n = static_cast<size_t>(ComponentCount(a.type));
    if (a.count > kMaxAccessorComponents / n) {
      Fail(name + " claims " + std::to_string(a.count) + " elements, more than can be right");
    }
    return a;
  }

  // The view's bytes `offset`.. for `count` elements of `element` bytes at
  // `stride`, all inside its buffer.
  Span ViewSpan(int view_index, size_t offset, size_t count, size_t element, size_t stride,
                const std::string& name) const {
    if (view_index < 0 || static_cast<size_t>(view_index) >= model_.bufferViews.size()) {
      Fail(name + " uses buffer view " + std::to_string(view_index) + ", which does not exist");
    }
    const tinygltf::BufferView& view = model_.bufferViews[static_cast<size_t>(view_index)];
    const std::string view_name = "buffer view " + std::to_string(view_index);
    if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= model_.buffers.size()) {
      Fail(view_name + " uses buffer " + std::to_string(view.buffer) + ", which does not exist");
    }
    const tinygltf::Buffer& buffer = model_.buffers[static_cast<size_t>(view.buffer)];
    const size_t size = buffer.data.size();
    if (view.byteOffset > size || view.byteLength > size - view.byteOffset) {
      Fail(view_name + " (bytes " + std::to_string(view.byteOffset) + " + " +
           std::to_string(view.byteLength) + ") reaches past the end of buffer " +
           std::to_string(view.buffer) + " (" + std::to_string(size) + " bytes)");
    }
    if (count > 0) {
      // Bytes needed: offset + (count - 1)·stride + element, without overflow.
      const size_t length = view.byteLength;
      bool fits = offset <= length && element <= length - offset;
      if (fits && count > 1) fits = (count - 1) <= (length - offset - element) / stride;
      if (!fits) {
        Fail(name + " (" + std::to_string(count) + " elements of " + std::to_string(element) +
             " bytes, stride " + std::to_string(stride) + ", from byte " + std::to_string(offset) +
             ") reaches past the end of " + view_name + " (" + std::to_string(length) + " bytes)");
      }
    }
    return {buffer.data.data() + view.byteOffset + offset, stride};
  }

  template <typename Store>
  void Read(const tinygltf::Accessor& a, int index, const std::string& what, int n, Store store) const {
    const std::string name = what + ": accessor " + std::to_string(index);
    const size_t size = static_cast<size_t>(ComponentSize(a.componentType));
    const size_t element = size * static_cast<size_t>(n);
    if (a.bufferView >= 0) {
      const tinygltf::BufferView* view = a.bufferView < static_cast<int>(model_.bufferViews.size())
                                             ? &model_.bufferViews[static_cast<size_t>(a.bufferView)]
                                             : nullptr;
      size_t stride = element;
      if (view != nullptr && view->byteStride != 0) {
        stride = view->byteStride;
        if (stride < element || stride % size != 0) {
          Fail(name + ": byte stride " + std::to_string(stride) + " does not fit its " +
               std::to_string(element) + "-byte elements");
        }
      }
      const Span span = ViewSpan(a.bufferView, a.byteOffset, a.count, element, stride, name);
      for (size_t e = 0; e < a.count; ++e) {
        const uint8_t* p = span.data + e * span.stride;
        for (int c = 0; c < n; ++c) store(e, c, p + c * size);
      }
    }
    // Without a buffer view the values are zeros (as the output starts),
    // possibly replaced by sparse ones.
    if (a.sparse.isSparse) {
      const auto& sparse = a.sparse;
      if (sparse.count < 1 || static_cast<size_t>(sparse.count) > a.count) {
        Fail(name + ": sparse count " + std::to_string(sparse.count) + " is not within 1.." +
             std::to_string(a.count));
      }
      const size_t count = static_cast<size_t>(sparse.count);
      const int index_type = sparse.indices.componentType;
      const size_t index_size = static_cast<size_t>(ComponentSize(index_type));
      if (index_type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
          index_type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
          index_type != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT) {
        Fail(name + ": sparse indices have component type " + std::to_string(index_type) +
             ", which cannot be read");
      }
      if (sparse.indices.byteOffset < 0 || sparse.values.byteOffset < 0)
        Fail(name + ": negative sparse byte offset");
      const Span indices = ViewSpan(sparse.indices.bufferView, static_cast<size_t>(sparse.indices.byteOffset),
                                    count, index_size, index_size, name + " (sparse indices)");
      const Span values = ViewSpan(sparse.values.bufferView, static_cast<size_t>(sparse.values.byteOffset),
                                   count, element, element, name + " (sparse values)");
      size_t previous = 0;
      for (size_t i = 0; i < count; ++i) {
        const size_t target = static_cast<size_t>(Component(indices.data + i * index_size, index_type));
        if (target >= a.count || (i > 0 && target <= previous)) {
          Fail(name + ": sparse index " + std::to_string(target) + " is out of range or out of order");
        }
        previous = target;
        for (int c = 0; c < n; ++c) store(target, c, values.data + i * element + c * size);
      }
    }
  }

  const tinygltf::Model& model_;
};

const std::vector<int> kFloatOnly = {TINYGLTF_COMPONENT_TYPE_FLOAT};
const std::vector<int> kAnyComponent = {
    TINYGLTF_COMPONENT_TYPE_BYTE,         TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
    TINYGLTF_COMPONENT_TYPE_SHORT,        TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
    TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_COMPONENT_TYPE_FLOAT};
const std::vector<int> kUnsigned = {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                                    TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                    TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT};
const std::vector<int> kNormalisedOrFloat = {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                                             TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                             TINYGLTF_COMPONENT_TYPE_FLOAT};

// ---------------------------------------------------------------- extras

// extras.quorvel of an object, or nullptr.
const tinygltf::Value* QuorvelExtras(const tinygltf::Value& extras) {
  if (!extras.IsObject() || !extras.Has("quorvel")) return nullptr;
  const tinygltf::Value& q = extras.Get("quorvel");
  return q.IsObject() ? &q : nullptr;
}

bool HasRole(const tinygltf::Value& extras, const char* role) {
  const tinygltf::Value* q = QuorvelExtras(extras);
  if (q == nullptr || !q->Has("role")) return false;
  const tinygltf::Value& r = q->Get("role");
  return r.IsString() && r.Get<std::string>() == role;
}

// extras.quorvel.object: the node whose object takes a skinned mesh, or -1.
int TiedObjectNode(const tinygltf::Value& extras) {
  const tinygltf::Value* q = QuorvelExtras(extras);
  if (q == nullptr || !q->Has("object")) return -1;
  const tinygltf::Value& v = q->Get("object");
  if (!v.IsNumber()) return -1;
  const double d = v.GetNumberAsDouble();
  if (!(d >= 0.0 && d <= 2147483647.0) || d != std::floor(d)) return -1;
  return static_cast<int>(d);
}

// ---------------------------------------------------------------- the importer

struct NodeInfo {
  int parent = -1;
  int object = -1;  // index into Scene::objects, -1 when the node is none
  bool in_scene = false;
  bool rig_root = false;
  int tie = -1;  // a skinned mesh's node: the node whose object takes it
  bool joint = false;
  bool has_matrix = false;
  double t[3] = {0, 0, 0};
  double r[4] = {0, 0, 0, 1};
  double s[3] = {1, 1, 1};
  Affine rest_local;
  Affine rest_global;
  Affine ibm;         // joints: the first skin's inverse bind matrix
  Affine rest_world;  // where the object rests: the bind global for joints
};

// A vertex's bone list after reading: at most four entries.
struct VertexBones {
  std::array<BoneWeight, kMaxBones> entries{};
  uint8_t count = 0;
  bool lost = false;  // had more than four bones
};

struct PrimitiveData {
  size_t vertex_count = 0;
  std::vector<float> positions;            // 3 per vertex, as stored
  std::vector<float> uv;                   // 2 per vertex, or empty
  std::vector<uint32_t> colors;            // 0xAABBGGRR per vertex, or empty
  std::vector<VertexBones> bones;          // per vertex, or empty
  std::vector<std::vector<float>> deltas;  // per kept target: 3 per vertex, or empty
  std::vector<uint32_t> triangles;         // glTF order, 3 per triangle
  int material = kNoMaterial;
  std::vector<int> document_vertex;  // per vertex, -1 until used
};

uint64_t Mix(uint64_t h, uint32_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h * 0xBF58476D1CE4E5B9ull;
}

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

class Importer {
 public:
  Importer(const tinygltf::Model& model, const ImportOptions& options)
      : model_(model), accessors_(model), options_(options) {}

  void Run(const std::string& base_folder, std::vector<std::string> warnings) {
    if (!(options_.unit_scale > 0.0f) || !std::isfinite(options_.unit_scale)) {
      Fail("the unit scale " + std::to_string(options_.unit_scale) + " is not a positive number");
    }
    to_units_ = 1.0 / static_cast<double>(options_.unit_scale);
    report_.notes = std::move(warnings);
    CheckExtensions();
    ReadFileUnitScale();
    ReadNodes();
    ChooseObjects();
    ReadSkins();
    PlaceObjects();
    ReadMaterials();
    ReadMeshes();
    ReadPoses();
    scene_.texture_folder = base_folder;

    report_.objects = static_cast<int>(scene_.objects.size());
    report_.poses = static_cast<int>(scene_.poses.size());
    report_.vertices = 0;
    report_.targets = 0;
    for (const Object& o : scene_.objects) {
      report_.vertices += static_cast<int>(o.vertices.size());
      report_.targets += static_cast<int>(o.morphs.size());
    }
    report_.joints = 0;
    for (const NodeInfo& n : nodes_)
      if (n.joint && n.object >= 0) ++report_.joints;
  }

  Scene& scene() { return scene_; }
  ImportReport& report() { return report_; }

 private:
  // --- the file as a whole

  void CheckExtensions() {
    // These change nothing that is read here; any other required extension
    // (compressed geometry, ...) would leave the geometry unreadable.
    static const char* const kHarmless[] = {"KHR_mesh_quantization", "KHR_texture_transform",
                                            "KHR_texture_basisu",    "EXT_texture_webp",
                                            "KHR_lights_punctual",   "KHR_materials_"};
    for (const std::string& name : model_.extensionsRequired) {
      bool harmless = false;
      for (const char* prefix : kHarmless) harmless = harmless || name.rfind(prefix, 0) == 0;
      if (!harmless) Fail("it requires the extension " + name + ", which cannot be read");
    }
  }

  void ReadFileUnitScale() {
    const tinygltf::Value* q = QuorvelExtras(model_.asset.extras);
    if (q != nullptr && q->Has("unitScale") && q->Get("unitScale").IsNumber()) {
      const double s = q->Get("unitScale").GetNumberAsDouble();
      if (std::isfinite(s) && s > 0.0) report_.file_unit_scale = static_cast<float>(s);
    }
  }

  std::string NodeName(size_t n) const {
    const std::string& name = model_.nodes[n].name;
    return "node " + std::to_string(n) + (name.empty() ? std::string() : " " + Quoted(name));
  }

  std::string MeshName(int m) const {
    const std::string& name = model_.meshes[static_cast<size_t>(m)].name;
    return "mesh " + std::to_string(m) + (name.empty() ? std::string() : " " + Quoted(name));
  }

  static bool AllFinite(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
  }
  static void CheckFinite(const std::vector<double>& values, const std::string& owner, const char* part) {
    if (!AllFinite(values)) Fail(owner + part + " holds a number that is not finite");
  }

  // --- nodes: links, rest transforms

  void ReadNodes() {
    const size_t count = model_.nodes.size();
    nodes_.assign(count, NodeInfo());
    for (size_t n = 0; n < count; ++n) {
      const tinygltf::Node& node = model_.nodes[n];
      NodeInfo& info = nodes_[n];
      const std::string name = NodeName(n);
      if (node.mesh >= static_cast<int>(model_.meshes.size()) || node.mesh < -1) {
        Fail(name + " uses mesh " + std::to_string(node.mesh) + ", which does not exist");
      }
      if (node.skin >= static_cast<int>(model_.skins.size()) || node.skin < -1) {
        Fail(name + " uses skin " + std::to_string(node.skin) + ", which does not exist");
      }
      for (int child : node.children) {
        if (child < 0 || static_cast<size_t>(child) >= count) {
          Fail(name + " has child " + std::to_string(child) + ", which does not exist");
        }
        if (static_cast<size_t>(child) == n) Fail(name + " is its own child (a node cycle)");
        NodeInfo& c = nodes_[static_cast<size_t>(child)];
        if (c.parent >= 0) {
          Fail(NodeName(static_cast<size_t>(child)) + " has two parents (nodes " + std::to_string(c.parent) +
               " and " + std::to_string(n) + ")");
        }
        c.parent = static_cast<int>(n);
      }
      CheckFinite(node.matrix, name, "'s matrix");
      CheckFinite(node.translation, name, "'s translation");
      CheckFinite(node.rotation, name, "'s rotation");
      CheckFinite(node.scale, name, "'s scale");
      CheckFinite(node.weights, name, "'s weights");
      if (!node.matrix.empty()) {
        if (node.matrix.size() != 16) Fail(name + "'s matrix does not have 16 numbers");
        info.has_matrix = true;
        info.rest_local = FromGltfMatrix(node.matrix.data(), name + "'s matrix");
      } else {
        if (!node.translation.empty() && node.translation.size() != 3)
          Fail(name + "'s translation is not 3 numbers");
        if (!node.rotation.empty() && node.rotation.size() != 4) Fail(name + "'s rotation is not 4 numbers");
        if (!node.scale.empty() && node.scale.size() != 3) Fail(name + "'s scale is not 3 numbers");
        for (size_t i = 0; i < node.translation.size(); ++i) info.t[i] = node.translation[i];
        for (size_t i = 0; i < node.scale.size(); ++i) info.s[i] = node.scale[i];
        if (!node.rotation.empty()) NormaliseQuaternion(node.rotation.data(), info.r, name + "'s rotation");
        info.rest_local = FromTrs(info.t, info.r, info.s);
      }
      info.rig_root = HasRole(node.extras, "root");
    }
    // With one parent each, a cycle is a chain of parents that never ends:
    // a walk up from a node meets a node of the same walk again.
    std::vector<uint8_t> state(count, 0);  // 0 unknown, 1 on this walk, 2 reaches a root
    std::vector<size_t> walk;
    for (size_t n = 0; n < count; ++n) {
      walk.clear();
      for (size_t at = n; state[at] != 2;) {
        if (state[at] == 1) Fail(NodeName(at) + " is its own ancestor (a node cycle)");
        state[at] = 1;
        walk.push_back(at);
        if (nodes_[at].parent < 0) break;
        at = static_cast<size_t>(nodes_[at].parent);
      }
      for (size_t w : walk) state[w] = 2;
    }
    // Rest globals and tree roots, parents first.
    all_order_ = DepthFirst(RootsOfAll());
    top_.assign(count, 0);
    for (size_t n : all_order_) {
      NodeInfo& info = nodes_[n];
      top_[n] = info.parent < 0 ? n : top_[static_cast<size_t>(info.parent)];
      info.rest_global = info.parent < 0
                             ? info.rest_local
                             : info.rest_local.Then(nodes_[static_cast<size_t>(info.parent)].rest_global);
      if (!AllFinite(info.rest_global)) Fail(NodeName(n) + "'s global transform is not finite");
    }
  }

  static void NormaliseQuaternion(const double* in, double* out, const std::string& what) {
    const double norm = std::sqrt(in[0] * in[0] + in[1] * in[1] + in[2] * in[2] + in[3] * in[3]);
    if (!(norm > 1e-6) || !std::isfinite(norm))
      Fail(what + " is not a rotation (its length is " + std::to_string(norm) + ")");
    for (int i = 0; i < 4; ++i) out[i] = in[i] / norm;
  }

  // A column-major glTF matrix, stored as the row-vector matrix's rows.
  static Affine FromGltfMatrix(const double* m, const std::string& what) {
    if (std::fabs(m[3]) > 1e-6 || std::fabs(m[7]) > 1e-6 || std::fabs(m[11]) > 1e-6 ||
        std::fabs(m[15] - 1.0) > 1e-6) {
      Fail(what + " is not an affine transform");
    }
    Affine a;
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) a.l[i][j] = m[4 * i + j];
    for (int j = 0; j < 3; ++j) a.t[j] = m[12 + j];
    return a;
  }

  static bool AllFinite(const Affine& a) {
    for (const auto& row : a.l)
      for (double v : row)
        if (!std::isfinite(v)) return false;
    return std::isfinite(a.t[0]) && std::isfinite(a.t[1]) && std::isfinite(a.t[2]);
  }

  std::vector<size_t> RootsOfAll() const {
    std::vector<size_t> roots;
    for (size_t n = 0; n < nodes_.size(); ++n)
      if (nodes_[n].parent < 0) roots.push_back(n);
    return roots;
  }

  // Nodes below `roots` (included), each before its children, children in
  // their listed order.
  std::vector<size_t> DepthFirst(const std::vector<size_t>& roots) const {
    std::vector<size_t> order;
    std::vector<size_t> stack(roots.rbegin(), roots.rend());
    while (!stack.empty()) {
      const size_t n = stack.back();
      stack.pop_back();
      order.push_back(n);
      const std::vector<int>& children = model_.nodes[n].children;
      for (auto it = children.rbegin(); it != children.rend(); ++it)
        stack.push_back(static_cast<size_t>(*it));
    }
    return order;
  }

  // --- objects: one per node of the scene, but for the added root and the
  // nodes that only carry another object's skinned mesh

  void ChooseObjects() {
    std::vector<size_t> roots;
    if (model_.scenes.empty()) {
      roots = RootsOfAll();
    } else {
      int chosen = model_.defaultScene;
      if (chosen < -1 || chosen >= static_cast<int>(model_.scenes.size())) {
        Fail("the default scene " + std::to_string(chosen) + " does not exist");
      }
      if (chosen < 0) chosen = 0;
      std::vector<bool> listed(nodes_.size(), false);
      for (int n : model_.scenes[static_cast<size_t>(chosen)].nodes) {
        if (n < 0 || static_cast<size_t>(n) >= nodes_.size()) {
          Fail("scene " + std::to_string(chosen) + " lists node " + std::to_string(n) +
               ", which does not exist");
        }
        if (nodes_[static_cast<size_t>(n)].parent >= 0) {
          Fail("scene " + std::to_string(chosen) + " lists " + NodeName(static_cast<size_t>(n)) +
               " as a root, but it is a child of node " +
               std::to_string(nodes_[static_cast<size_t>(n)].parent));
        }
        if (!listed[static_cast<size_t>(n)]) roots.push_back(static_cast<size_t>(n));
        listed[static_cast<size_t>(n)] = true;
      }
    }
    scene_order_ = DepthFirst(roots);
    for (size_t n : scene_order_) nodes_[n].in_scene = true;

    // A skinned mesh of this plug-in's files rides on the object it names,
    // which must be an object node of the scene without a mesh of its own.
    std::vector<bool> taken(nodes_.size(), false);
    for (size_t n : scene_order_) {
      const tinygltf::Node& node = model_.nodes[n];
      const int target = TiedObjectNode(node.extras);
      if (target < 0 || node.mesh < 0 || node.skin < 0) continue;
      const bool usable =
          static_cast<size_t>(target) < nodes_.size() && static_cast<size_t>(target) != n &&
          nodes_[static_cast<size_t>(target)].in_scene && !nodes_[static_cast<size_t>(target)].rig_root &&
          model_.nodes[static_cast<size_t>(target)].mesh < 0 && !taken[static_cast<size_t>(target)] &&
          TiedObjectNode(model_.nodes[static_cast<size_t>(target)].extras) < 0;
      if (!usable) {
        report_.notes.push_back(NodeName(n) + " names node " + std::to_string(target) +
                                " as its object, which cannot take its mesh; "
                                "it is read as an object of its own");
        continue;
      }
      taken[static_cast<size_t>(target)] = true;
      nodes_[n].tie = target;
    }

    for (size_t n : scene_order_) {
      NodeInfo& info = nodes_[n];
      if (info.rig_root || info.tie >= 0) continue;
      Object object;
      object.name = model_.nodes[n].name;
      if (object.name.empty() && model_.nodes[n].mesh >= 0)
        object.name = model_.meshes[model_.nodes[n].mesh].name;
      if (object.name.empty()) object.name = "node " + std::to_string(n);
      // The nearest ancestor that is an object.
      int up = info.parent;
      while (up >= 0 && nodes_[static_cast<size_t>(up)].object < 0)
        up = nodes_[static_cast<size_t>(up)].parent;
      object.parent = up >= 0 ? nodes_[static_cast<size_t>(up)].object : kNoParent;
      info.object = static_cast<int>(scene_.objects.size());
      object_nodes_.push_back(n);
      scene_.objects.push_back(std::move(object));
    }
  }

  // --- skins: joints and their bind matrices

  void ReadSkins() {
    for (size_t s = 0; s < model_.skins.size(); ++s) {
      const tinygltf::Skin& skin = model_.skins[s];
      const std::string name = "skin " + std::to_string(s);
      if (skin.joints.empty()) Fail(name + " has no joints");
      std::vector<bool> seen(nodes_.size(), false);
      for (int j : skin.joints) {
        if (j < 0 || static_cast<size_t>(j) >= nodes_.size()) {
          Fail(name + " has joint node " + std::to_string(j) + ", which does not exist");
        }
        if (seen[static_cast<size_t>(j)])
          Fail(name + " lists node " + std::to_string(j) + " twice as a joint");
        seen[static_cast<size_t>(j)] = true;
      }
      if (skin.skeleton < -1 || skin.skeleton >= static_cast<int>(nodes_.size())) {
        Fail(name + " has skeleton node " + std::to_string(skin.skeleton) + ", which does not exist");
      }
      // One tree: every joint hangs below the same root node.
      const size_t root = top_[static_cast<size_t>(skin.joints[0])];
      for (int j : skin.joints) {
        if (top_[static_cast<size_t>(j)] != root) {
          Fail(name + "'s joints are not one tree: " + NodeName(static_cast<size_t>(skin.joints[0])) +
               " and " + NodeName(static_cast<size_t>(j)) + " have no common root");
        }
      }
      std::vector<float> matrices;
      if (skin.inverseBindMatrices >= 0) {
        int components = 0;
        matrices = accessors_.Floats(skin.inverseBindMatrices, name + "'s inverse bind matrices",
                                     {{TINYGLTF_TYPE_MAT4}, kFloatOnly}, &components);
        if (matrices.size() / 16 < skin.joints.size()) {
          Fail(name + " has " + std::to_string(skin.joints.size()) + " joints but " +
               std::to_string(matrices.size() / 16) + " inverse bind matrices");
        }
      }
      for (size_t i = 0; i < skin.joints.size(); ++i) {
        NodeInfo& joint = nodes_[static_cast<size_t>(skin.joints[i])];
        if (joint.joint) continue;  // the first skin that names a joint decides its bind pose
        const std::string joint_name = name + "'s joint " + NodeName(static_cast<size_t>(skin.joints[i]));
        Affine ibm;
        if (!matrices.empty()) {
          double m[16];
          for (int k = 0; k < 16; ++k) m[k] = matrices[16 * i + k];
          ibm = FromGltfMatrix(m, joint_name + "'s inverse bind matrix");
        }
        Affine bind;
        if (!ibm.Inverse(&bind)) Fail(joint_name + " has an inverse bind matrix that cannot be inverted");
        joint.joint = true;
        joint.ibm = ibm;
        joint.rest_world = bind;
      }
    }
  }

  // --- pivots

  void PlaceObjects() {
    for (size_t i = 0; i < object_nodes_.size(); ++i) {
      NodeInfo& info = nodes_[object_nodes_[i]];
      if (!info.joint) info.rest_world = info.rest_global;
      scene_.objects[i].pivot = ToUnits(info.rest_world.t, NodeName(object_nodes_[i]), "'s pivot");
    }
  }

  // Metres to modeller units, refusing what a float cannot hold. The
  // message is `owner` + `part`, put together only when it is needed.
  FVECTOR3 ToUnits(const double* metres, const std::string& owner, const char* part = "") const {
    float out[3];
    for (int j = 0; j < 3; ++j) {
      const double v = metres[j] * to_units_;
      if (!std::isfinite(v) || std::fabs(v) > std::numeric_limits<float>::max()) {
        Fail(owner + part + " is out of range");
      }
      out[j] = static_cast<float>(v);
    }
    return {out[0], out[1], out[2]};
  }

  // --- materials

  void ReadMaterials() {
    for (size_t m = 0; m < model_.materials.size(); ++m) {
      const tinygltf::Material& in = model_.materials[m];
      const std::string name = "material " + std::to_string(m);
      Material out;
      out.name = in.name.empty() ? name : in.name;
      const std::vector<double>& base = in.pbrMetallicRoughness.baseColorFactor;
      CheckFinite(base, name, "'s base colour");
      if (base.size() != 4) Fail(name + "'s base colour is not 4 numbers");
      for (int c = 0; c < 3; ++c) out.color[c] = static_cast<float>(std::clamp(base[c], 0.0, 1.0));
      out.diffuse = 1.0f;
      // A file this plug-in wrote keeps the colour and diffuse apart, whose
      // product is the base colour; they count only while it still is (a
      // program that changed the colour may have left them behind).
      const tinygltf::Value* own = QuorvelExtras(in.extras);
      if (own != nullptr && own->Has("color") && own->Has("diffuse")) {
        const tinygltf::Value& color = own->Get("color");
        const tinygltf::Value& diffuse = own->Get("diffuse");
        double rgb[3];
        bool sound = color.IsArray() && color.ArrayLen() == 3 && diffuse.IsNumber() &&
                     std::isfinite(diffuse.GetNumberAsDouble()) && diffuse.GetNumberAsDouble() >= 0.0;
        for (int c = 0; c < 3 && sound; ++c) {
          sound = color.Get(c).IsNumber() && std::isfinite(color.Get(c).GetNumberAsDouble());
          if (sound) rgb[c] = std::clamp(color.Get(c).GetNumberAsDouble(), 0.0, 1.0);
          if (sound) sound = std::fabs(rgb[c] * diffuse.GetNumberAsDouble() - base[c]) <= 1e-4;
        }
        if (sound) {
          for (int c = 0; c < 3; ++c) out.color[c] = static_cast<float>(rgb[c]);
          out.diffuse = static_cast<float>(diffuse.GetNumberAsDouble());
        }
      }
      // An opaque material ignores the factor's alpha.
      out.alpha = in.alphaMode == "OPAQUE" ? 1.0f : static_cast<float>(std::clamp(base[3], 0.0, 1.0));
      const int texture = in.pbrMetallicRoughness.baseColorTexture.index;
      if (texture >= 0) out.texture = TextureName(texture, name);
      scene_.materials.push_back(std::move(out));
    }
  }

  std::string TextureName(int texture, const std::string& material) const {
    if (static_cast<size_t>(texture) >= model_.textures.size()) {
      Fail(material + " uses texture " + std::to_string(texture) + ", which does not exist");
    }
    const int source = model_.textures[static_cast<size_t>(texture)].source;
    if (source < 0) return std::string();
    if (static_cast<size_t>(source) >= model_.images.size()) {
      Fail("texture " + std::to_string(texture) + " uses image " + std::to_string(source) +
           ", which does not exist");
    }
    const tinygltf::Image& image = model_.images[static_cast<size_t>(source)];
    // tinygltf keeps the URI as written: percent escapes still in.
    return image.uri.empty() ? image.name : PercentDecoded(image.uri);
  }

  static std::string PercentDecoded(const std::string& uri) {
    auto hex = [](char c) {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    std::string out;
    for (size_t i = 0; i < uri.size(); ++i) {
      if (uri[i] == '%' && i + 2 < uri.size() && hex(uri[i + 1]) >= 0 && hex(uri[i + 2]) >= 0) {
        out += static_cast<char>(hex(uri[i + 1]) * 16 + hex(uri[i + 2]));
        i += 2;
      } else {
        out += uri[i];
      }
    }
    return out;
  }

  // --- meshes

  void ReadMeshes() {
    mesh_node_of_object_.assign(scene_.objects.size(), -1);
    for (size_t n : scene_order_) {
      const NodeInfo& info = nodes_[n];
      const int mesh = model_.nodes[n].mesh;
      if (mesh < 0 || info.rig_root) continue;
      const int object = info.tie >= 0 ? nodes_[static_cast<size_t>(info.tie)].object : info.object;
      if (object < 0) continue;
      mesh_node_of_object_[static_cast<size_t>(object)] = static_cast<int>(n);
      ReadMesh(n, mesh, static_cast<size_t>(object));
    }
  }

  void ReadMesh(size_t node_index, int mesh_index, size_t object_index) {
    const tinygltf::Mesh& mesh = model_.meshes[static_cast<size_t>(mesh_index)];
    const tinygltf::Node& node = model_.nodes[node_index];
    const std::string mesh_name = MeshName(mesh_index);
    CheckFinite(mesh.weights, mesh_name, "'s weights");

    size_t target_count = mesh.primitives.empty() ? 0 : mesh.primitives[0].targets.size();
    for (const tinygltf::Primitive& p : mesh.primitives) {
      if (p.targets.size() != target_count)
        Fail(mesh_name + ": its primitives have different numbers of morph targets");
    }
    const size_t kept_targets = std::min<size_t>(target_count, kMaxMorphSlots);
    if (target_count > kept_targets) {
      report_.notes.push_back(mesh_name + " has " + std::to_string(target_count) +
                              " morph targets; the first " + std::to_string(kept_targets) + " were read");
    }

    // Skinned when its node has a skin and the mesh has joints to use it.
    bool skinned = false;
    if (node.skin >= 0) {
      for (const tinygltf::Primitive& p : mesh.primitives)
        skinned = skinned || (p.attributes.count("JOINTS_0") && p.attributes.count("WEIGHTS_0"));
    }
    const NodeInfo& info = nodes_[node_index];
    const Affine& place = info.joint ? info.rest_world : info.rest_global;

    std::vector<PrimitiveData> primitives;
    size_t skipped_modes = 0;
    for (size_t p = 0; p < mesh.primitives.size(); ++p) {
      PrimitiveData data;
      if (ReadPrimitive(mesh_index, static_cast<int>(p), skinned ? node.skin : -1, kept_targets, &data)) {
        primitives.push_back(std::move(data));
      } else {
        ++skipped_modes;
      }
    }
    if (skipped_modes > 0) {
      report_.notes.push_back(mesh_name + ": " + std::to_string(skipped_modes) +
                              " primitive(s) of points or lines (or without "
                              "positions) were left out");
    }

    Object& object = scene_.objects[object_index];
    const std::string object_what = "object " + Quoted(object.name);
    for (size_t k = 0; k < kept_targets; ++k) {
      MorphTarget target;
      target.name = TargetName(mesh, k);
      target.slot = static_cast<int>(k);
      object.morphs.push_back(std::move(target));
    }

    // Welding: glTF vertices of this mesh with the same position, bones and
    // morph deltas (bit for bit) become one document vertex.
    struct Source {
      uint32_t primitive;
      uint32_t vertex;
    };
    std::vector<Source> sources;
    std::vector<uint64_t> hashes;  // per document vertex
    // Open addressing over document vertices, at most half full.
    std::vector<int> slots;
    size_t mask = 0;
    size_t lost_bones = 0;
    size_t degenerate = 0;

    auto hash_of = [&](const PrimitiveData& d, size_t v) {
      uint64_t h = 0x84222325CBF29CE4ull;
      for (int c = 0; c < 3; ++c) h = Mix(h, Bits(d.positions[3 * v + c]));
      if (!d.bones.empty()) {
        const VertexBones& b = d.bones[v];
        for (int e = 0; e < b.count; ++e) {
          h = Mix(h, static_cast<uint32_t>(b.entries[e].bone));
          h = Mix(h, Bits(b.entries[e].weight));
        }
      }
      for (const std::vector<float>& delta : d.deltas)
        if (!delta.empty())
          for (int c = 0; c < 3; ++c) h = Mix(h, Bits(delta[3 * v + c]));
      return h;
    };
    auto same = [&](const PrimitiveData& a, size_t va, const PrimitiveData& b, size_t vb) {
      for (int c = 0; c < 3; ++c)
        if (Bits(a.positions[3 * va + c]) != Bits(b.positions[3 * vb + c])) return false;
      const uint8_t na = a.bones.empty() ? 0 : a.bones[va].count;
      const uint8_t nb = b.bones.empty() ? 0 : b.bones[vb].count;
      if (na != nb) return false;
      for (int e = 0; e < na; ++e) {
        if (a.bones[va].entries[e].bone != b.bones[vb].entries[e].bone ||
            Bits(a.bones[va].entries[e].weight) != Bits(b.bones[vb].entries[e].weight)) {
          return false;
        }
      }
      for (size_t k = 0; k < kept_targets; ++k) {
        for (int c = 0; c < 3; ++c) {
          const float da = a.deltas[k].empty() ? 0.0f : a.deltas[k][3 * va + c];
          const float db = b.deltas[k].empty() ? 0.0f : b.deltas[k][3 * vb + c];
          if (Bits(da) != Bits(db)) return false;
        }
      }
      return true;
    };
    auto document_vertex = [&](PrimitiveData& d, size_t v) {
      if (d.document_vertex[v] >= 0) return d.document_vertex[v];
      const uint64_t h = hash_of(d, v);
      size_t slot = static_cast<size_t>(h) & mask;
      for (; slots[slot] >= 0; slot = (slot + 1) & mask) {
        const int at = slots[slot];
        const Source& s = sources[static_cast<size_t>(at)];
        if (hashes[static_cast<size_t>(at)] == h && same(primitives[s.primitive], s.vertex, d, v)) {
          return d.document_vertex[v] = at;
        }
      }
      if (total_vertices_ >= kMaxVertices)
        Fail("it has more than " + std::to_string(kMaxVertices) + " vertices");
      ++total_vertices_;
      const int index = static_cast<int>(sources.size());
      sources.push_back({static_cast<uint32_t>(&d - primitives.data()), static_cast<uint32_t>(v)});
      hashes.push_back(h);
      slots[slot] = index;

      double p[3];
      for (int c = 0; c < 3; ++c) p[c] = d.positions[3 * v + c];
      const std::array<double, 3> base = skinned ? std::array<double, 3>{p[0], p[1], p[2]} : place.Apply(p);
      object.vertices.push_back(ToUnits(base.data(), object_what, "'s vertex"));
      for (size_t k = 0; k < kept_targets; ++k) {
        double q[3];
        for (int c = 0; c < 3; ++c) q[c] = p[c] + (d.deltas[k].empty() ? 0.0 : d.deltas[k][3 * v + c]);
        const std::array<double, 3> moved =
            skinned ? std::array<double, 3>{q[0], q[1], q[2]} : place.Apply(q);
        object.morphs[k].positions.push_back(ToUnits(moved.data(), object_what, "'s morph target"));
      }
      if (skinned) {
        if (!d.bones.empty()) {
          const VertexBones& b = d.bones[v];
          object.AddVertexWeights({b.entries.data(), b.count});
          if (b.lost) ++lost_bones;
        } else {
          object.AddVertexWeights({});
        }
      }
      return d.document_vertex[v] = index;
    };

    size_t vertex_total = 0;
    for (const PrimitiveData& d : primitives) vertex_total += d.vertex_count;
    size_t table = 16;
    while (table < 2 * vertex_total) table *= 2;
    slots.assign(table, -1);
    mask = table - 1;
    sources.reserve(vertex_total);
    hashes.reserve(vertex_total);
    object.vertices.reserve(vertex_total);
    if (skinned) {
      size_t entries = 0;
      for (const PrimitiveData& d : primitives)
        for (const VertexBones& b : d.bones) entries += b.count;
      object.ReserveWeights(vertex_total, entries);
    }
    size_t triangle_total = 0;
    for (const PrimitiveData& d : primitives) triangle_total += d.triangles.size() / 3;
    // Every face gets texture coordinates and colours (white where the file
    // has none), as the document's faces have them.
    if (triangle_total <= kMaxFaces - total_faces_)
      object.ReserveFaces(object.FaceCount() + triangle_total,
                          object.corner_points.size() + 3 * triangle_total);
    if (triangle_total <= kMaxFaces - total_faces_)
      object.ReserveCorners(object.corner_points.size() + 3 * triangle_total, true, true);
    for (PrimitiveData& d : primitives) {
      d.document_vertex.assign(d.vertex_count, -1);
      // The vertices the triangles use, numbered in the file's order.
      std::vector<bool> used(d.vertex_count, false);
      for (uint32_t v : d.triangles) used[v] = true;
      for (size_t v = 0; v < d.vertex_count; ++v)
        if (used[v]) document_vertex(d, v);
      const size_t triangles = d.triangles.size() / 3;
      if (object.FaceCount() + triangles > kMaxFaces - total_faces_) {
        Fail("it has more than " + std::to_string(kMaxFaces) + " faces");
      }
      for (size_t t = 0; t < triangles; ++t) {
        // glTF's counter-clockwise (a, b, c) is the modeller's (a, c, b).
        int points[3];
        for (int c = 0; c < 3; ++c) points[c] = document_vertex(d, d.triangles[3 * t + c]);
        std::swap(points[1], points[2]);
        const uint32_t corner[3] = {d.triangles[3 * t], d.triangles[3 * t + 2], d.triangles[3 * t + 1]};
        if (points[0] == points[1] || points[1] == points[2] || points[0] == points[2]) {
          ++degenerate;
          continue;
        }
        FVECTOR2 uv[3];
        uint32_t colors[3] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
        for (int c = 0; c < 3; ++c) {
          if (!d.uv.empty()) uv[c] = FVECTOR2(d.uv[2 * corner[c]], d.uv[2 * corner[c] + 1]);
          if (!d.colors.empty()) colors[c] = d.colors[corner[c]];
        }
        object.AddFace({points, 3}, {uv, 3}, {colors, 3}, d.material);
      }
    }
    total_faces_ += object.FaceCount();
    if (lost_bones > 0) {
      report_.notes.push_back(object_what + ": " + std::to_string(lost_bones) +
                              " vertices had more than four bones; the four "
                              "largest weights were kept");
    }
    if (degenerate > 0) {
      report_.notes.push_back(object_what + ": " + std::to_string(degenerate) +
                              " triangles with a repeated vertex were left out");
    }
  }

  static std::string TargetName(const tinygltf::Mesh& mesh, size_t k) {
    if (mesh.extras.IsObject() && mesh.extras.Has("targetNames")) {
      const tinygltf::Value& names = mesh.extras.Get("targetNames");
      if (names.IsArray() && k < names.ArrayLen() && names.Get(static_cast<int>(k)).IsString()) {
        const std::string& name = names.Get(static_cast<int>(k)).Get<std::string>();
        if (!name.empty()) return name;
      }
    }
    return "target " + std::to_string(k);
  }

  // False for a primitive that has nothing to read (points, lines, no
  // positions).
  bool ReadPrimitive(int mesh_index, int p, int skin, size_t kept_targets, PrimitiveData* out) {
    const tinygltf::Primitive& prim =
        model_.meshes[static_cast<size_t>(mesh_index)].primitives[static_cast<size_t>(p)];
    const std::string what = MeshName(mesh_index) + " primitive " + std::to_string(p);
    const int mode = prim.mode < 0 ? TINYGLTF_MODE_TRIANGLES : prim.mode;
    if (mode > TINYGLTF_MODE_TRIANGLE_FAN) Fail(what + " has the unknown mode " + std::to_string(mode));
    if (mode < TINYGLTF_MODE_TRIANGLES) return false;
    auto attribute = [&](const char* name) {
      auto it = prim.attributes.find(name);
      return it == prim.attributes.end() ? -1 : it->second;
    };
    const int position = attribute("POSITION");
    if (position < 0) return false;
    int components = 0;
    out->positions =
        accessors_.Floats(position, what + " POSITION", {{TINYGLTF_TYPE_VEC3}, kAnyComponent}, &components);
    const size_t count = out->positions.size() / 3;
    out->vertex_count = count;
    if (count > kMaxVertices)
      Fail(what + " has " + std::to_string(count) + " vertices, more than can be right");
    auto check_count = [&](const std::vector<float>& values, int n, const std::string& name) {
      if (values.size() / static_cast<size_t>(n) != count) {
        Fail(what + ": " + name + " has " + std::to_string(values.size() / n) + " elements, POSITION has " +
             std::to_string(count));
      }
    };

    const int texcoord = attribute("TEXCOORD_0");
    if (texcoord >= 0) {
      out->uv = accessors_.Floats(texcoord, what + " TEXCOORD_0", {{TINYGLTF_TYPE_VEC2}, kAnyComponent},
                                  &components);
      check_count(out->uv, 2, "TEXCOORD_0");
    }
    const int color = attribute("COLOR_0");
    if (color >= 0) {
      const std::vector<float> values = accessors_.Floats(
          color, what + " COLOR_0", {{TINYGLTF_TYPE_VEC3, TINYGLTF_TYPE_VEC4}, kNormalisedOrFloat, true},
          &components);
      check_count(values, components, "COLOR_0");
      out->colors.resize(count);
      auto byte = [](float v) {
        return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
      };
      for (size_t v = 0; v < count; ++v) {
        const float* c = &values[v * components];
        const uint32_t alpha = components == 4 ? byte(c[3]) : 255u;
        out->colors[v] = byte(c[0]) | byte(c[1]) << 8 | byte(c[2]) << 16 | alpha << 24;
      }
    }
    if (skin >= 0) ReadBones(prim, skin, what, count, &out->bones);

    out->deltas.resize(kept_targets);
    for (size_t k = 0; k < kept_targets; ++k) {
      auto it = prim.targets[k].find("POSITION");
      if (it == prim.targets[k].end()) continue;
      out->deltas[k] =
          accessors_.Floats(it->second, what + " morph target " + std::to_string(k) + " POSITION",
                            {{TINYGLTF_TYPE_VEC3}, kAnyComponent}, &components);
      check_count(out->deltas[k], 3, "morph target " + std::to_string(k) + " POSITION");
    }

    if (prim.material >= 0 && static_cast<size_t>(prim.material) >= model_.materials.size()) {
      Fail(what + " uses material " + std::to_string(prim.material) + ", which does not exist");
    }
    out->material = prim.material < 0 ? kNoMaterial : prim.material;
    if (out->material != kNoMaterial && !out->colors.empty()) {
      scene_.materials[static_cast<size_t>(out->material)].vertex_colors = true;
    }

    std::vector<uint32_t> indices;
    if (prim.indices >= 0) {
      indices = accessors_.Integers(prim.indices, what + " indices", {{TINYGLTF_TYPE_SCALAR}, kUnsigned},
                                    &components);
      for (size_t i = 0; i < indices.size(); ++i) {
        if (indices[i] >= count) {
          Fail(what + ": index " + std::to_string(indices[i]) + " (at " + std::to_string(i) +
               ") is out of range for " + std::to_string(count) + " vertices");
        }
      }
    } else {
      indices.resize(count);
      for (size_t i = 0; i < count; ++i) indices[i] = static_cast<uint32_t>(i);
    }
    out->triangles = Triangles(indices, mode);
    return true;
  }

  static std::vector<uint32_t> Triangles(std::vector<uint32_t> indices, int mode) {
    if (mode == TINYGLTF_MODE_TRIANGLES) {
      indices.resize(indices.size() / 3 * 3);
      return indices;
    }
    std::vector<uint32_t> out;
    if (indices.size() < 3) return out;
    out.reserve((indices.size() - 2) * 3);
    for (size_t i = 0; i + 2 < indices.size(); ++i) {
      if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
        // Every other triangle of a strip runs the other way round.
        const bool odd = (i & 1) != 0;
        out.insert(out.end(), {indices[i], indices[odd ? i + 2 : i + 1], indices[odd ? i + 1 : i + 2]});
      } else {
        out.insert(out.end(), {indices[i + 1], indices[i + 2], indices[0]});
      }
    }
    return out;
  }

  void ReadBones(const tinygltf::Primitive& prim, int skin_index, const std::string& what, size_t count,
                 std::vector<VertexBones>* out) {
    const tinygltf::Skin& skin = model_.skins[static_cast<size_t>(skin_index)];
    std::vector<std::vector<uint32_t>> joints;
    std::vector<std::vector<float>> weights;
    for (int set = 0; set < kMaxWeightSets; ++set) {
      const std::string j = "JOINTS_" + std::to_string(set);
      const std::string w = "WEIGHTS_" + std::to_string(set);
      auto ji = prim.attributes.find(j);
      auto wi = prim.attributes.find(w);
      if (ji == prim.attributes.end() || wi == prim.attributes.end()) break;
      int components = 0;
      joints.push_back(
          accessors_.Integers(ji->second, what + " " + j, {{TINYGLTF_TYPE_VEC4}, kUnsigned}, &components));
      weights.push_back(accessors_.Floats(wi->second, what + " " + w,
                                          {{TINYGLTF_TYPE_VEC4}, kNormalisedOrFloat, true}, &components));
      if (joints.back().size() != count * 4 || weights.back().size() != count * 4) {
        Fail(what + ": " + j + " or " + w + " does not have one element per vertex");
      }
    }
    out->assign(count, VertexBones());
    if (joints.empty()) return;
    std::vector<BoneWeight> entries;
    for (size_t v = 0; v < count; ++v) {
      entries.clear();
      for (size_t set = 0; set < joints.size(); ++set) {
        for (int c = 0; c < 4; ++c) {
          const float weight = weights[set][4 * v + c];
          if (weight < 0.0f) Fail(what + ": vertex " + std::to_string(v) + " has a negative weight");
          if (weight == 0.0f) continue;
          const uint32_t joint = joints[set][4 * v + c];
          if (joint >= skin.joints.size()) {
            Fail(what + ": vertex " + std::to_string(v) + " uses joint " + std::to_string(joint) +
                 ", but skin " + std::to_string(skin_index) + " has " + std::to_string(skin.joints.size()));
          }
          // The added root holds what no bone moves: no entry.
          const size_t joint_node = static_cast<size_t>(skin.joints[joint]);
          if (nodes_[joint_node].rig_root) continue;
          const int bone = nodes_[joint_node].object;
          if (bone < 0) {
            Fail(what + ": vertex " + std::to_string(v) + " is weighted to " + NodeName(joint_node) +
                 ", which is not an object of the scene");
          }
          auto same = std::find_if(entries.begin(), entries.end(),
                                   [&](const BoneWeight& e) { return e.bone == bone; });
          if (same != entries.end()) {
            same->weight += weight;
          } else {
            entries.push_back({bone, weight});
          }
        }
      }
      std::sort(entries.begin(), entries.end(), [](const BoneWeight& a, const BoneWeight& b) {
        return a.weight != b.weight ? a.weight > b.weight : a.bone < b.bone;
      });
      VertexBones& bones = (*out)[v];
      bones.lost = entries.size() > static_cast<size_t>(kMaxBones);
      bones.count = static_cast<uint8_t>(std::min<size_t>(entries.size(), kMaxBones));
      float sum = 0.0f;
      for (int e = 0; e < bones.count; ++e) sum += entries[e].weight;
      for (int e = 0; e < bones.count; ++e) bones.entries[e] = {entries[e].bone, entries[e].weight / sum};
    }
  }

  // --- poses

  // A channel's value at the animation's earliest time: the first keyframe,
  // since no sampler's keys start before it.
  struct Channel {
    size_t node;
    std::string path;
    std::vector<float> value;
  };

  void ReadPoses() {
    for (size_t a = 0; a < model_.animations.size(); ++a) {
      const tinygltf::Animation& animation = model_.animations[a];
      if (HasRole(animation.extras, "sequence")) continue;
      const std::string name =
          "animation " + std::to_string(a) + (animation.name.empty() ? "" : " " + Quoted(animation.name));
      std::vector<Channel> channels = ReadChannels(animation, name);
      Pose pose;
      pose.name = animation.name.empty() ? "animation " + std::to_string(a) : animation.name;
      pose.objects = PoseOf(channels, name);
      scene_.poses.push_back(std::move(pose));
    }
  }

  std::vector<Channel> ReadChannels(const tinygltf::Animation& animation, const std::string& name) {
    std::vector<Channel> out;
    for (size_t c = 0; c < animation.channels.size(); ++c) {
      const tinygltf::AnimationChannel& channel = animation.channels[c];
      const std::string what = name + " channel " + std::to_string(c);
      if (channel.sampler < 0 || static_cast<size_t>(channel.sampler) >= animation.samplers.size()) {
        Fail(what + " uses sampler " + std::to_string(channel.sampler) + ", which does not exist");
      }
      if (channel.target_node < 0) continue;  // animates something other than a node
      if (static_cast<size_t>(channel.target_node) >= nodes_.size()) {
        Fail(what + " animates node " + std::to_string(channel.target_node) + ", which does not exist");
      }
      const size_t node = static_cast<size_t>(channel.target_node);
      const tinygltf::AnimationSampler& sampler = animation.samplers[static_cast<size_t>(channel.sampler)];
      const std::string& path = channel.target_path;
      size_t width = 0;
      AccessorRule rule;
      if (path == "translation" || path == "scale") {
        width = 3;
        rule = {{TINYGLTF_TYPE_VEC3}, kFloatOnly};
      } else if (path == "rotation") {
        width = 4;
        rule = {{TINYGLTF_TYPE_VEC4}, kAnyComponent, true};
      } else if (path == "weights") {
        const int mesh = model_.nodes[node].mesh;
        width = mesh < 0 || model_.meshes[static_cast<size_t>(mesh)].primitives.empty()
                    ? 0
                    : model_.meshes[static_cast<size_t>(mesh)].primitives[0].targets.size();
        if (width == 0)
          Fail(what + " animates morph weights of " + NodeName(node) + ", which has no morph targets");
        rule = {{TINYGLTF_TYPE_SCALAR}, kAnyComponent, true};
      } else {
        continue;  // a path of an extension
      }
      if (nodes_[node].has_matrix && path != "weights") {
        Fail(what + " animates " + NodeName(node) +
             ", which has a matrix instead of translation, rotation and scale");
      }
      size_t factor = 1;
      if (sampler.interpolation == "CUBICSPLINE") {
        factor = 3;
      } else if (sampler.interpolation != "LINEAR" && sampler.interpolation != "STEP") {
        Fail(what + " has the unknown interpolation " + Quoted(sampler.interpolation));
      }
      int components = 0;
      const std::vector<float> times = accessors_.Floats(sampler.input, what + " input",
                                                         {{TINYGLTF_TYPE_SCALAR}, kFloatOnly}, &components);
      if (times.empty()) Fail(what + " has no keyframes");
      for (size_t i = 1; i < times.size(); ++i)
        if (times[i] < times[i - 1]) Fail(what + ": its keyframe times are not in order");
      const std::vector<float> values =
          accessors_.Floats(sampler.output, what + " output", rule, &components);
      if (values.size() != times.size() * factor * width) {
        Fail(what + " has " + std::to_string(values.size()) + " output values for " +
             std::to_string(times.size()) + " keyframes (" + std::to_string(times.size() * factor * width) +
             " expected)");
      }
      // A cubic spline's keyframe is (in-tangent, value, out-tangent).
      const size_t first = factor == 3 ? width : 0;
      Channel read;
      read.node = node;
      read.path = path;
      read.value.assign(values.begin() + first, values.begin() + first + width);
      out.push_back(std::move(read));
    }
    return out;
  }

  std::vector<PoseState> PoseOf(const std::vector<Channel>& channels, const std::string& name) {
    // Posed local transforms: the rest ones with the animated parts replaced.
    std::vector<std::array<double, 3>> t(nodes_.size()), s(nodes_.size());
    std::vector<std::array<double, 4>> r(nodes_.size());
    std::vector<bool> animated(nodes_.size(), false);
    std::vector<const std::vector<float>*> morph(nodes_.size(), nullptr);
    for (size_t n = 0; n < nodes_.size(); ++n) {
      for (int j = 0; j < 3; ++j) t[n][j] = nodes_[n].t[j], s[n][j] = nodes_[n].s[j];
      for (int j = 0; j < 4; ++j) r[n][j] = nodes_[n].r[j];
    }
    for (const Channel& c : channels) {
      const size_t n = c.node;
      if (c.path == "weights") {
        morph[n] = &c.value;
        continue;
      }
      animated[n] = true;
      if (c.path == "translation") {
        for (int j = 0; j < 3; ++j) t[n][j] = c.value[j];
      } else if (c.path == "scale") {
        for (int j = 0; j < 3; ++j) s[n][j] = c.value[j];
      } else {
        const double q[4] = {c.value[0], c.value[1], c.value[2], c.value[3]};
        NormaliseQuaternion(q, r[n].data(), name + "'s rotation of " + NodeName(n));
      }
    }
    std::vector<Affine> global(nodes_.size());
    for (size_t n : all_order_) {
      const Affine l = animated[n] ? FromTrs(t[n].data(), r[n].data(), s[n].data()) : nodes_[n].rest_local;
      const int parent = nodes_[n].parent;
      global[n] = parent < 0 ? l : l.Then(global[static_cast<size_t>(parent)]);
      if (!AllFinite(global[n])) {
        Fail(name + ": the posed transform of " + NodeName(n) + " is not finite");
      }
    }

    // The plug-in's world matrix of each object, W = (its rest world)^-1 ·
    // posed global, then its pose record relative to the parent's world as
    // the records rebuild it, so that an inexact split does not add up down
    // the hierarchy.
    std::vector<PoseState> states(scene_.objects.size());
    std::vector<Affine> rebuilt(scene_.objects.size());
    for (size_t i = 0; i < scene_.objects.size(); ++i) {
      const size_t n = object_nodes_[i];
      const NodeInfo& info = nodes_[n];
      Affine unrest;
      Affine world;
      if (info.joint) {
        world = info.ibm.Then(global[n]);
      } else if (info.rest_world.Inverse(&unrest)) {
        world = unrest.Then(global[n]);
      } else {
        NoteOnce(NodeName(n) + " rests with a zero scale; its poses keep it at rest");
      }
      const int parent = scene_.objects[i].parent;
      Affine relative = world;
      if (parent >= 0) {
        Affine parent_inverse;
        if (rebuilt[static_cast<size_t>(parent)].Inverse(&parent_inverse)) {
          relative = world.Then(parent_inverse);
        } else {
          NoteOnce(NodeName(n) +
                   "'s parent is posed with a zero scale; its "
                   "own pose is left at rest");
          relative = Affine();
        }
      }
      // The pivot as the plug-in holds it (in floats), back in metres.
      const FVECTOR3& pivot_units = scene_.objects[i].pivot;
      const double unit = options_.unit_scale;
      const double pivot[3] = {pivot_units.x * unit, pivot_units.y * unit, pivot_units.z * unit};
      states[i] = StateOf(relative, pivot, name + ": the pose of " + NodeName(n));
      const Affine record = RecordAffine(states[i], pivot);
      rebuilt[i] = parent >= 0 ? record.Then(rebuilt[static_cast<size_t>(parent)]) : record;
      MorphWeights(i, morph, &states[i]);
    }
    return states;
  }

  void NoteOnce(const std::string& note) {
    if (std::find(report_.notes.begin(), report_.notes.end(), note) == report_.notes.end()) {
      report_.notes.push_back(note);
    }
  }

  // v -> (v - p)·S·R + t + p: t = local(p) - p, S·R the linear part.
  PoseState StateOf(const Affine& local, const double pivot[3], const std::string& what) const {
    double scale[3];
    double rot[3][3];
    SplitScaleRotation(local.l, scale, rot);
    const std::array<double, 4> q = QuaternionOf(rot);
    const std::array<double, 3> moved = local.Apply(pivot);
    double t[3];
    for (int j = 0; j < 3; ++j) t[j] = moved[j] - pivot[j];
    PoseState state;
    // Rounding leaves traces on what did not move; they are not a pose.
    for (int j = 0; j < 3; ++j) {
      if (std::fabs(t[j]) < 1e-9 * (1.0 + std::fabs(pivot[j]))) t[j] = 0.0;
      if (std::fabs(scale[j] - 1.0) < 1e-12) scale[j] = 1.0;
    }
    state.translation = ToUnits(t, what);
    for (int j = 0; j < 3; ++j) {
      if (!std::isfinite(scale[j]) || std::fabs(scale[j]) > std::numeric_limits<float>::max()) {
        Fail(what + " has a scale out of range");
      }
    }
    state.scale =
        FVECTOR3(static_cast<float>(scale[0]), static_cast<float>(scale[1]), static_cast<float>(scale[2]));
    if (std::fabs(q[0]) < 1e-12 && std::fabs(q[1]) < 1e-12 && std::fabs(q[2]) < 1e-12) {
      state.rotation = FQUAT();
    } else {
      state.rotation = FQUAT(static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
                             static_cast<float>(q[3]));
    }
    return state;
  }

  // The record as the plug-in applies it (from its floats), in metres.
  Affine RecordAffine(const PoseState& state, const double p[3]) const {
    const double unit = options_.unit_scale;
    const double q[4] = {state.rotation.x, state.rotation.y, state.rotation.z, state.rotation.w};
    double qn[4];
    const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (int j = 0; j < 4; ++j) qn[j] = q[j] / norm;
    const double s[3] = {state.scale.x, state.scale.y, state.scale.z};
    const double t[3] = {p[0] + state.translation.x * unit, p[1] + state.translation.y * unit,
                         p[2] + state.translation.z * unit};
    const double minus_p[3] = {-p[0], -p[1], -p[2]};
    const double zero[3] = {0, 0, 0};
    return Translation(minus_p).Then(FromTrs(zero, qn, s)).Then(Translation(t));
  }

  void MorphWeights(size_t object, const std::vector<const std::vector<float>*>& animated,
                    PoseState* state) const {
    const Object& o = scene_.objects[object];
    if (o.morphs.empty()) return;
    const int node = mesh_node_of_object_[object];
    if (node < 0) return;
    const std::vector<double>& node_weights = model_.nodes[static_cast<size_t>(node)].weights;
    const std::vector<double>& mesh_weights =
        model_.meshes[model_.nodes[static_cast<size_t>(node)].mesh].weights;
    for (const MorphTarget& target : o.morphs) {
      const size_t k = static_cast<size_t>(target.slot);
      double w = 0.0;
      if (animated[static_cast<size_t>(node)] != nullptr) {
        w = (*animated[static_cast<size_t>(node)])[k];
      } else if (k < node_weights.size()) {
        w = node_weights[k];
      } else if (k < mesh_weights.size()) {
        w = mesh_weights[k];
      }
      state->morph_weights[k] = static_cast<float>(w);
    }
  }

  const tinygltf::Model& model_;
  Accessors accessors_;
  ImportOptions options_;
  double to_units_ = 100.0;
  Scene scene_;
  ImportReport report_;
  std::vector<NodeInfo> nodes_;
  std::vector<size_t> all_order_;         // every node, parents first
  std::vector<size_t> top_;               // per node, the root of its tree
  std::vector<size_t> scene_order_;       // the scene's nodes, depth first
  std::vector<size_t> object_nodes_;      // per object, its node
  std::vector<int> mesh_node_of_object_;  // per object, the node its mesh came from
  size_t total_vertices_ = 0;
  size_t total_faces_ = 0;
};

// `release`, when given, is `bytes` and may be freed once tinygltf holds
// the buffers, so that the file is not in memory twice while the scene grows.
bool Import(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* release, const std::string& name,
            const std::string& base_folder, const ImportOptions& options, Scene* scene, ImportReport* report,
            std::string* error) {
  try {
    tinygltf::Model model;
    std::vector<std::string> warnings;
    LoadModel(bytes, base_folder, &model, &warnings);
    if (release != nullptr) std::vector<uint8_t>().swap(*release);
    Importer importer(model, options);
    importer.Run(base_folder, std::move(warnings));
    *scene = std::move(importer.scene());
    if (report != nullptr) *report = std::move(importer.report());
    return true;
  } catch (const BadFile& e) {
    if (error != nullptr) *error = name + ": " + e.what();
  } catch (const std::bad_alloc&) {
    if (error != nullptr) *error = name + ": not enough memory to read it";
  } catch (const std::exception& e) {
    if (error != nullptr) *error = name + ": cannot be read: " + e.what();
  }
  return false;
}

}  // namespace

bool ImportGltf(const std::string& path, const ImportOptions& options, Scene* scene, ImportReport* report,
                std::string* error) {
  // Messages are UTF-8, as the names in them; the path is in the system code page.
  const std::string shown = platform::AnsiToUtf8(path);
  std::vector<uint8_t> bytes;
  std::string why;
  try {
    if (!ReadBytes(path, &bytes, &why)) {
      if (error != nullptr) *error = shown + ": " + why;
      return false;
    }
  } catch (const std::bad_alloc&) {
    if (error != nullptr) *error = shown + ": not enough memory to read it";
    return false;
  }
  const size_t slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  return Import(bytes, &bytes, shown, folder.empty() ? std::string("/") : folder, options, scene, report,
                error);
}

bool ImportGltfBytes(const std::vector<uint8_t>& bytes, const std::string& name,
                     const std::string& base_folder, const ImportOptions& options, Scene* scene,
                     ImportReport* report, std::string* error) {
  return Import(bytes, nullptr, name, base_folder, options, scene, report, error);
}

}  // namespace quorvel::gltf
