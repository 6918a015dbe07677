#include "io/document_format.h"

#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

#include "math/log.h"
#include "platform/codepage.h"
#include "rig/document_model.h"
#include "rig/host_records.h"
#include "rig/id_table.h"
#include "rig/morph_targets.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"
#include "sdk/xml_element.h"

namespace quorvel {

namespace hr = host_records;

namespace {

// Morph positions closer than this to the reference are not stored.
constexpr float kMorphTolerance = 0.002f;

// ---------------------------------------------------------------- text forms

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Leading decimal digits with an optional sign, as atoi reads them, but
// saturating at the int range instead of overflowing; 0 when there are none.
int ParseInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// One float from `text` at `pos` (blanks skipped); `pos` moves past it. Only
// finite values in float range count, so a file cannot plant NaN or infinity
// in the rig. The decimal point is always a full stop, whatever the locale.
bool ParseFloatAt(std::string_view text, std::size_t& pos, float& out) {
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  std::size_t start = pos;
  if (start < text.size() && text[start] == '+') {
    ++start;
    if (start < text.size() && text[start] == '-') return false;
  }
  float value = 0.0f;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end == first || !std::isfinite(value)) return false;
  pos = static_cast<std::size_t>(end - text.data());
  out = value;
  return true;
}

// A float attribute: 0 when the text holds no number.
float ParseFloat(std::string_view text) {
  std::size_t pos = 0;
  float value = 0.0f;
  return ParseFloatAt(text, pos, value) ? value : 0.0f;
}

// Up to N blank-separated floats; components the text lacks (or spoils) keep
// the value `out` came with, and so does everything after the first bad one.
template <std::size_t N>
void ParseFloats(std::string_view text, std::array<float, N>& out) {
  std::size_t pos = 0;
  for (std::size_t k = 0; k < N; ++k) {
    float value = 0.0f;
    if (!ParseFloatAt(text, pos, value)) return;
    out[k] = value;
  }
}

// Up to three blank-separated integers in the atoi manner; missing ones keep
// their value in `out`.
void ParseInts3(std::string_view text, std::array<int, 3>& out) {
  std::size_t pos = 0;
  for (int& slot : out) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    std::size_t end = pos;
    if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
    const std::size_t digits = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == digits) return;
    slot = ParseInt(text.substr(pos, end - pos));
    pos = end;
  }
}

// "%f" with a full-stop decimal point even where the C locale says otherwise.
std::string FormatFloat(float value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(value));
  std::string text(buffer);
  for (char& c : text) {
    if (c == ',') c = '.';
  }
  return text;
}

template <std::size_t N>
std::string FormatFloats(const std::array<float, N>& values) {
  std::string text;
  for (std::size_t k = 0; k < N; ++k) {
    if (k != 0) text += ' ';
    text += FormatFloat(values[k]);
  }
  return text;
}

std::array<float, 3> Components(const FVECTOR3& v) { return {v.x, v.y, v.z}; }
std::array<float, 4> Components(const FQUAT& q) { return {q.x, q.y, q.z, q.w}; }
FVECTOR3 ToVector(const std::array<float, 3>& a) { return FVECTOR3(a[0], a[1], a[2]); }
FQUAT ToQuat(const std::array<float, 4>& a) {
  FQUAT q;
  q.x = a[0];
  q.y = a[1];
  q.z = a[2];
  q.w = a[3];
  return q;
}

bool SameVector(const FVECTOR3& a, const FVECTOR3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
bool SameQuat(const FQUAT& a, const FQUAT& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

// w × 100 formed in double and rounded to the nearest integer, held inside
// the int range. Rounding (not truncating) makes writing what was read give
// the same text again: the reader's per / 100 in float lies just below the
// decimal for half of the values, and truncation would lose one percent at
// every save.
int PercentOf(float weight) {
  const double product = std::round(static_cast<double>(weight) * 100.0);
  if (!(product == product)) return 0;
  if (product >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (product <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(product);
}

int ClampChannel(int value) { return value < 0 ? 0 : (value > 255 ? 255 : value); }

// ---------------------------------------------------------------- element access

void SetInt(MQXmlElement element, const char* name, int value) {
  mqxml::SetAttribute(element, name, std::to_string(value).c_str());
}
void SetText(MQXmlElement element, const char* name, const std::string& value) {
  mqxml::SetAttribute(element, name, value.c_str());
}

// An integer attribute, or `fallback` when absent.
int GetInt(MQXmlElement element, const char* name, int fallback) {
  std::string text;
  return mqxml::GetAttribute(element, name, &text) ? ParseInt(text) : fallback;
}

bool GetText(MQXmlElement element, const char* name, std::string* text) {
  return mqxml::GetAttribute(element, name, text);
}

// Calls f(child) for every child element named `name`, in document order.
template <typename F>
void ForEachChild(MQXmlElement parent, const char* name, F&& f) {
  for (MQXmlElement child = mqxml::FirstChild(parent, name); child != nullptr;
       child = mqxml::NextChild(parent, child, name)) {
    f(child);
  }
}

// ---------------------------------------------------------------- host queries

MQObject ObjectAt(MQDocument doc, int index) {
  if (index < 0 || index >= HostApi().MQDoc_GetObjectCount(doc)) return nullptr;
  return HostApi().MQDoc_GetObject(doc, index);
}

std::string ObjectName(MQObject obj) {
  char buffer[kLogMaxLine + 1] = {};
  HostApi().MQObj_GetName(obj, buffer, static_cast<int>(sizeof buffer));
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
}

FVECTOR3 VertexPosition(MQObject obj, int vertex) {
  MQPoint p{};
  HostApi().MQObj_GetVertex(obj, vertex, &p);
  return FVECTOR3(p.x, p.y, p.z);
}

bool ReadShape(MQObject obj, const RigSlotTable& slots, int k, int vertex, VMorphTarget& out) {
  return hr::ReadVertex(obj, slots.MorphShape(k), vertex, out);
}

bool WriteShape(MQObject obj, const RigSlotTable& slots, int k, int vertex, const FVECTOR3& pos) {
  VMorphTarget rec;
  rec.position = pos;
  rec.valid = 1;
  return hr::WriteVertex(obj, slots.MorphShape(k), vertex, rec);
}

// ---------------------------------------------------------------- writer

void WriteWeights(MQXmlElement parent, MQObject obj, const RigSlotTable& slots,
                  const IdTable& ids) {
  MQXmlElement list = mqxml::AddChild(parent, "VertexWeight");
  const int count = hr::VertexCount(obj);
  for (int j = 0; j < count; ++j) {
    VWeight rec;
    if (!GetVertexWeights(obj, slots, j, rec)) continue;
    MQXmlElement vertex = mqxml::AddChild(list, "vertex");
    SetInt(vertex, "index", j);
    const int n = Count(rec);
    for (int k = 0; k < n; ++k) {
      char name[16];
      std::snprintf(name, sizeof name, "obj%d", k);
      SetInt(vertex, name, LookupIndex(ids, rec.entries[k].bone));
      // The reader gives the last entry whatever remains, so its weight is not stored.
      if (k < n - 1) {
        std::snprintf(name, sizeof name, "per%d", k);
        SetInt(vertex, name, PercentOf(rec.entries[k].weight));
      }
    }
  }
}

void WriteBaseShape(MQXmlElement parent, MQObject obj, const RigSlotTable& slots) {
  MQXmlElement list = mqxml::AddChild(parent, "BaseMorphTarget");
  const int count = hr::VertexCount(obj);
  for (int v = 0; v < count; ++v) {
    VMorphTarget base;
    if (!ReadShape(obj, slots, -1, v, base)) continue;
    MQXmlElement vertex = mqxml::AddChild(list, "vertex");
    SetInt(vertex, "index", v);
    SetText(vertex, "pos", FormatFloats(Components(base.position)));
  }
}

void WriteMorphTargets(MQXmlElement parent, MQObject obj, const RigSlotTable& slots,
                       int current) {
  const int count = hr::VertexCount(obj);
  for (int m = 0; m < kMaxMorphTargets; ++m) {
    OMorphTarget rec;
    if (!HasMorphShape(obj, slots, m) || !GetMorphTargetRecord(obj, slots, m, rec)) continue;
    MQXmlElement target = mqxml::AddChild(parent, "MorphTarget");
    SetInt(target, "index", m);
    SetText(target, "name", std::string(NameOf(rec.name)));
    std::string group;
    if (GetMorphGroupName(obj, slots, rec.group, group)) SetText(target, "group", group);
    for (int v = 0; v < count; ++v) {
      FVECTOR3 reference;
      if (current != -1) {
        VMorphTarget base;
        if (!ReadShape(obj, slots, -1, v, base)) continue;
        reference = base.position;
      } else {
        reference = VertexPosition(obj, v);
      }
      VMorphTarget shape;
      if (!ReadShape(obj, slots, m, v, shape)) continue;
      const FVECTOR3& p = shape.position;
      // Only moved vertices are stored; the reader fills the rest from the reference.
      if (std::fabs(p.x - reference.x) > kMorphTolerance ||
          std::fabs(p.y - reference.y) > kMorphTolerance ||
          std::fabs(p.z - reference.z) > kMorphTolerance) {
        MQXmlElement vertex = mqxml::AddChild(target, "vertex");
        SetInt(vertex, "index", v);
        SetText(vertex, "pos", FormatFloats(Components(p)));
      }
    }
  }
}

void WriteObject(MQXmlElement model, MQObject obj, int position, const RigSlotTable& slots,
                 const IdTable& ids) {
  MQXmlElement element = mqxml::AddChild(model, "obj");
  SetInt(element, "obj", position);

  OBase bone;
  const bool has_bone = GetBoneRecord(obj, slots, bone);
  const auto bit = [&](OBase::Flag flag) { return has_bone && (bone.flags & flag) != 0 ? 1 : 0; };
  SetInt(element, "usetrs", bit(OBase::usetrs));
  SetInt(element, "usescl", bit(OBase::usescl));
  SetInt(element, "userot", bit(OBase::userot));
  SetInt(element, "connect", bit(OBase::connect));

  const UCOLOR colour = GetWeightColour(obj, slots);
  char text[48];
  std::snprintf(text, sizeof text, "%d %d %d", colour.r, colour.g, colour.b);
  SetText(element, "vwcol", text);

  const OBase defaults;
  FVECTOR3 limit_min = defaults.limit_min;
  FVECTOR3 limit_max = defaults.limit_max;
  GetRotationLimits(obj, slots, limit_min, limit_max);
  if (!SameVector(limit_min, defaults.limit_min) || !SameVector(limit_max, defaults.limit_max)) {
    SetText(element, "rot_limit0", FormatFloats(Components(limit_min)));
    SetText(element, "rot_limit1", FormatFloats(Components(limit_max)));
  }

  const bool has_weights = HasWeights(obj, slots);
  const bool has_shapes = AnyMorphShape(obj, slots);
  const bool mesh = hr::VertexCount(obj) > 0 && (has_weights || has_shapes);
  const bool write_weights = mesh && has_weights;
  const bool write_shapes = mesh && has_shapes;
  const int current = mesh ? GetCurrentMorphIndex(obj, slots) : -1;

  if (write_shapes && current != -1) SetInt(element, "current_morphtarget_index", current);
  if (write_weights) WriteWeights(element, obj, slots, ids);
  if (write_shapes && current != -1 && HasMorphShape(obj, slots, -1)) {
    WriteBaseShape(element, obj, slots);
  }
  if (write_shapes) WriteMorphTargets(element, obj, slots, current);
}

void WritePose(MQXmlElement model, MQDocument doc, const QuorvelPose& pose,
               const RigSlotTable& slots) {
  MQXmlElement element = mqxml::AddChild(model, "pose");
  SetText(element, "name", std::string(NameOf(pose.name)));
  const OPoseTSQ rest;
  hr::ForEachObject(doc, [&](MQObject obj, int position) {
    OPoseTSQ tsq;
    GetPoseTSQ(obj, slots, pose.id, tsq);
    const bool moved = !SameVector(tsq.trs, rest.trs);
    const bool scaled = !SameVector(tsq.scl, rest.scl);
    const bool turned = !SameQuat(tsq.rot, rest.rot);

    OPoseMorph morph;
    if (!AnyMorphShape(obj, slots) || !GetPoseMorph(obj, slots, pose.id, morph)) morph = OPoseMorph();
    bool morphed = false;
    for (int k = 0; k < kMaxMorphTargets && !morphed; ++k) {
      morphed = morph.weight[k] != 0.0f && HasMorphShape(obj, slots, k);
    }
    if (!moved && !scaled && !turned && !morphed) return;

    MQXmlElement entry = mqxml::AddChild(element, "poseobj");
    SetInt(entry, "obj", position);
    if (moved) SetText(entry, "trs", FormatFloats(Components(tsq.trs)));
    if (scaled) SetText(entry, "scl", FormatFloats(Components(tsq.scl)));
    if (turned) SetText(entry, "rot", FormatFloats(Components(tsq.rot)));
    if (!morphed) return;
    for (int k = 0; k < kMaxMorphTargets; ++k) {
      if (morph.weight[k] == 0.0f) continue;
      char name[16];
      std::snprintf(name, sizeof name, "morph%d", k);
      SetText(entry, name, FormatFloat(morph.weight[k]));
    }
  });
}

// ---------------------------------------------------------------- reader

// Fills every vertex with its own-object default, then applies the listed
// vertices; a listed vertex naming an empty position keeps the default.
void ReadWeights(MQXmlElement list, MQDocument doc, MQObject obj, const RigSlotTable& slots) {
  const int count = hr::VertexCount(obj);
  const VWeight own = OwnObjectDefault(obj);
  for (int v = 0; v < count; ++v) SetVertexWeights(obj, slots, v, own);

  ForEachChild(list, "vertex", [&](MQXmlElement vertex) {
    const int index = GetInt(vertex, "index", -1);
    if (index < 0 || index >= count) return;
    int positions[kMaxWeightEntries] = {};
    int entries = 0;
    for (; entries < kMaxWeightEntries; ++entries) {
      char name[16];
      std::snprintf(name, sizeof name, "obj%d", entries);
      std::string text;
      if (!GetText(vertex, name, &text)) break;
      positions[entries] = ParseInt(text);
    }
    if (entries == 0) return;

    VWeight rec;
    Init(rec);
    float remainder = 1.0f;
    int n = 0;
    for (int k = 0; k < entries; ++k) {
      MQObject bone = ObjectAt(doc, positions[k]);
      if (bone == nullptr) return;
      float weight = 0.0f;
      if (k < entries - 1) {
        char name[16];
        std::snprintf(name, sizeof name, "per%d", k);
        weight = static_cast<float>(GetInt(vertex, name, 0)) / 100.0f;
        remainder -= weight;
      } else {
        weight = remainder < 0.0f ? 0.0f : remainder;
      }
      // A bone named twice keeps one entry with the summed weight, because a
      // record must name each bone at most once.
      const int32_t uid = hr::UniqueId(bone);
      const int existing = FindBone(rec, uid);
      if (existing >= 0) {
        rec.entries[existing].weight += weight;
        continue;
      }
      rec.entries[n].bone = uid;
      rec.entries[n].weight = weight;
      ++n;
      rec.head = static_cast<uint8_t>(VWeight::kValidBit | (n << 1));
    }
    SetVertexWeights(obj, slots, index, rec);
  });
}

// Overrides the stored position of each listed vertex of shape k that has a
// `pos`; components missing from the text keep the stored value.
void ReadShapeVertices(MQXmlElement list, MQObject obj, const RigSlotTable& slots, int k) {
  const int count = hr::VertexCount(obj);
  ForEachChild(list, "vertex", [&](MQXmlElement vertex) {
    const int index = GetInt(vertex, "index", -1);
    std::string text;
    if (index < 0 || index >= count || !GetText(vertex, "pos", &text)) return;
    VMorphTarget stored;
    std::array<float, 3> pos = Components(ReadShape(obj, slots, k, index, stored)
                                              ? stored.position
                                              : VertexPosition(obj, index));
    ParseFloats(text, pos);
    WriteShape(obj, slots, k, index, ToVector(pos));
  });
}

void ReadBaseShape(MQXmlElement list, MQObject obj, const RigSlotTable& slots) {
  StoreShape(obj, slots, -1);
  ReadShapeVertices(list, obj, slots, -1);
}

void ReadMorphTarget(MQXmlElement element, MQObject obj, const RigSlotTable& slots) {
  const int index = GetInt(element, "index", -1);
  std::string name;
  std::string group;
  GetText(element, "name", &name);
  GetText(element, "group", &group);
  if (!CreateMorphTarget(obj, slots, index, name, group)) return;

  const int32_t slot = slots.MorphShape(index);
  HostApi().MQObj_AllocVertexUserData(obj, slot);
  const int count = hr::VertexCount(obj);
  const bool from_base = GetCurrentMorphIndex(obj, slots) != -1;
  for (int v = 0; v < count; ++v) {
    if (from_base) {
      VMorphTarget base;
      if (!ReadShape(obj, slots, -1, v, base)) continue;
      WriteShape(obj, slots, index, v, base.position);
    } else {
      WriteShape(obj, slots, index, v, VertexPosition(obj, v));
    }
  }
  ReadShapeVertices(element, obj, slots, index);

  OMorphTarget rec;
  GetMorphTargetRecord(obj, slots, index, rec);
  LogPrintf("LoadMorphTarget[%s]:index(%d/%d):name(%s)", ObjectName(obj).c_str(), index,
            static_cast<int>(slot), std::string(NameOf(rec.name)).c_str());
}

void ReadObject(MQXmlElement element, MQDocument doc, const RigSlotTable& slots) {
  const int position = GetInt(element, "obj", -1);
  MQObject obj = ObjectAt(doc, position);
  if (obj == nullptr) return;
  const bool mesh = hr::VertexCount(obj) > 0;

  // The current index comes first: morph shapes below are completed from the
  // base shape while a target is current.
  if (mesh) SetCurrentMorphIndex(obj, slots, GetInt(element, "current_morphtarget_index", -1));

  const struct {
    const char* name;
    OBase::Flag bit;
  } flags[] = {{"usetrs", OBase::usetrs},
               {"usescl", OBase::usescl},
               {"userot", OBase::userot},
               {"connect", OBase::connect}};
  for (const auto& flag : flags) {
    std::string text;
    if (GetText(element, flag.name, &text)) SetBoneFlag(obj, slots, flag.bit, (ParseInt(text) & 1) != 0);
  }

  std::string text;
  if (GetText(element, "vwcol", &text)) {
    const UCOLOR old = GetWeightColour(obj, slots);
    std::array<int, 3> rgb = {old.r, old.g, old.b};
    ParseInts3(text, rgb);
    UCOLOR colour;
    colour.r = static_cast<uint8_t>(ClampChannel(rgb[0]));
    colour.g = static_cast<uint8_t>(ClampChannel(rgb[1]));
    colour.b = static_cast<uint8_t>(ClampChannel(rgb[2]));
    colour.a = 255;
    SetWeightColour(obj, slots, colour);
    LogPrintf("%d:vwcol(%d,%d,%d)", position, colour.r, colour.g, colour.b);
  }

  std::string min_text;
  std::string max_text;
  if (GetText(element, "rot_limit0", &min_text) && GetText(element, "rot_limit1", &max_text)) {
    const OBase defaults;
    FVECTOR3 limit_min = defaults.limit_min;
    FVECTOR3 limit_max = defaults.limit_max;
    GetRotationLimits(obj, slots, limit_min, limit_max);
    std::array<float, 3> lo = Components(limit_min);
    std::array<float, 3> hi = Components(limit_max);
    ParseFloats(min_text, lo);
    ParseFloats(max_text, hi);
    SetRotationLimits(obj, slots, ToVector(lo), ToVector(hi));
  }

  if (!mesh) return;
  if (MQXmlElement base = mqxml::FirstChild(element, "BaseMorphTarget")) {
    ReadBaseShape(base, obj, slots);
  }
  ForEachChild(element, nullptr, [&](MQXmlElement child) {
    const std::string name = mqxml::Name(child);
    if (name == "VertexWeight") {
      ReadWeights(child, doc, obj, slots);
    } else if (name == "MorphTarget") {
      ReadMorphTarget(child, obj, slots);
    }
  });
}

void ReadPose(MQXmlElement element, MQDocument doc, RigEditState& state,
              const RigSlotTable& slots) {
  std::string pose_name;
  GetText(element, "name", &pose_name);
  const QuorvelPose* pose = CreatePose(state, -1, pose_name);
  if (pose == nullptr) return;
  const int32_t id = pose->id;
  const OPoseTSQ rest;

  ForEachChild(element, "poseobj", [&](MQXmlElement entry) {
    std::string text;
    if (!GetText(entry, "obj", &text)) return;
    MQObject obj = ObjectAt(doc, ParseInt(text));
    if (obj == nullptr) return;
    const std::string name = ObjectName(obj);

    std::array<float, 3> trs = Components(rest.trs);
    std::array<float, 3> scl = Components(rest.scl);
    std::array<float, 4> rot = Components(rest.rot);
    if (GetText(entry, "trs", &text)) ParseFloats(text, trs);
    if (GetText(entry, "scl", &text)) ParseFloats(text, scl);
    if (GetText(entry, "rot", &text)) ParseFloats(text, rot);
    OPoseTSQ tsq;
    tsq.trs = ToVector(trs);
    tsq.scl = ToVector(scl);
    tsq.rot = ToQuat(rot);
    const bool moved = !SameVector(tsq.trs, rest.trs);
    const bool scaled = !SameVector(tsq.scl, rest.scl);
    const bool turned = !SameQuat(tsq.rot, rest.rot);
    if (moved || scaled || turned) {
      SetPoseTSQ(obj, slots, id, tsq);
      if (moved) {
        LogPrintf("obj[%s]:trs:(%f,%f,%f)", name.c_str(), static_cast<double>(trs[0]),
                  static_cast<double>(trs[1]), static_cast<double>(trs[2]));
      }
      if (scaled) {
        LogPrintf("obj[%s]:scl:(%f,%f,%f)", name.c_str(), static_cast<double>(scl[0]),
                  static_cast<double>(scl[1]), static_cast<double>(scl[2]));
      }
      if (turned) {
        LogPrintf("obj[%s]:rot:(%f,%f,%f,%f)", name.c_str(), static_cast<double>(rot[0]),
                  static_cast<double>(rot[1]), static_cast<double>(rot[2]),
                  static_cast<double>(rot[3]));
      }
    }

    OPoseMorph morph;
    bool any = false;
    for (int k = 0; k < kMaxMorphTargets; ++k) {
      char attribute[16];
      std::snprintf(attribute, sizeof attribute, "morph%d", k);
      if (GetText(entry, attribute, &text)) morph.weight[k] = ParseFloat(text);
      any = any || morph.weight[k] != 0.0f;
    }
    if (!any) return;
    SetPoseMorph(obj, slots, id, morph);
    for (int k = 0; k < kMaxMorphTargets; ++k) {
      if (morph.weight[k] != 0.0f) {
        LogPrintf("obj[%s]:morph[%d]:%f", name.c_str(), k, static_cast<double>(morph.weight[k]));
      }
    }
  });
}

}  // namespace

bool WriteDocument(MQXmlElement element, MQDocument doc, const RigEditState* state,
                   const RigSlotTable& slots) {
  if (element == nullptr || doc == nullptr || state == nullptr) return false;
  MQXmlElement model = mqxml::AddChild(element, "model");
  if (model == nullptr) return false;
  SetInt(model, "ver", kDocumentFormatVersion);

  IdTable ids;
  BuildIdTable(doc, ids);
  hr::ForEachObject(doc, [&](MQObject obj, int position) {
    WriteObject(model, obj, position, slots, ids);
  });
  for (const auto& pose : state->poses) {
    if (pose != nullptr) WritePose(model, doc, *pose, slots);
  }
  return true;
}

bool WriteDocument(MQXmlElement element, const MQEXPDOC& model) {
  return WriteDocument(element, model.Document(), &model.EditState(), model.Slots());
}

bool ReadDocument(MQXmlElement element, MQDocument doc, RigEditState* state,
                  const RigSlotTable& slots) {
  if (element == nullptr || doc == nullptr || state == nullptr) return false;
  ForEachChild(element, "model", [&](MQXmlElement model) {
    if (GetInt(model, "ver", 0) < kDocumentFormatVersion) {
      LogPrintf("%s", platform::Utf8ToAnsi("対応外の形式です!!").c_str());
      return;
    }
    ForEachChild(model, nullptr, [&](MQXmlElement child) {
      const std::string name = mqxml::Name(child);
      if (name == "obj") {
        ReadObject(child, doc, slots);
      } else if (name == "pose") {
        ReadPose(child, doc, *state, slots);
      }
    });
  });
  return true;
}

bool ReadDocument(MQXmlElement element, MQEXPDOC& model) {
  return ReadDocument(element, model.Document(), &model.EditState(), model.Slots());
}

}  // namespace quorvel
