#include "main/user_messages.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "deform/rendering_model.h"
#include "main/dlmain.h"
#include "math/log.h"
#include "platform/codepage.h"
#include "rig/document_model.h"
#include "rig/flz_model.h"
#include "rig/id_table.h"
#include "rig/morph_targets.h"
#include "rig/pose_list.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

using quorvel::LogAddress;
using quorvel::LogPrintf;

namespace {

constexpr char kRenderingModelReply[] = "SendRenderingModel";

// ---------------------------------------------------------------- the sender's record

// Single fields of a record in the sender's memory, which need not be aligned.
template <typename T>
T ReadField(const void* record, std::size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
  return value;
}

template <typename T>
void WriteField(void* record, std::size_t offset, const T& value) {
  std::memcpy(static_cast<unsigned char*>(record) + offset, &value, sizeof value);
}

// A name field of the record: another plug-in may fill all 256 bytes without
// a terminator, so the field is copied whole and read up to its end.
std::string_view ReadName(const void* record, std::size_t offset,
                          char (&field)[quorvel::kNameBytes]) {
  std::memcpy(field, static_cast<const unsigned char*>(record) + offset, sizeof field);
  return quorvel::NameOf(field);
}

// The name cut to 255 bytes and its terminator; the rest of the field is the
// sender's.
void WriteName(void* record, std::size_t offset, std::string_view name) {
  const std::string_view bounded = quorvel::BoundedName(name);
  auto* field = static_cast<unsigned char*>(record) + offset;
  if (!bounded.empty()) std::memcpy(field, bounded.data(), bounded.size());
  field[bounded.size()] = '\0';
}

// Command names compare without case; only ASCII letters fold (the names are
// ASCII, so a multi-byte description can never match one).
bool SameCommand(const char* description, const char* command) {
  const auto fold = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (;; ++description, ++command) {
    if (fold(*description) != fold(*command)) return false;
    if (*command == '\0') return true;
  }
}

// ---------------------------------------------------------------- the rig

// What a command acts on: the model's document, its slots and edit state.
struct RIG_CONTEXT {
  MQDocument doc;
  const quorvel::RigSlotTable& slots;
  const quorvel::RigEditState& state;
};

MQObject RecordObject(const RIG_CONTEXT& rig, const void* record) {
  return quorvel::FindObjectByUniqueId(rig.doc, ReadField<int32_t>(record, 0));
}

int VertexCount(MQObject obj) { return HostApi().MQObj_GetVertexCount(obj); }

// Weight colours of bones by unique id, looked up once per bone so that
// colouring a whole object costs a few walks of the object list, not one per
// vertex.
class BONE_COLOURS {
 public:
  explicit BONE_COLOURS(const RIG_CONTEXT& rig) : rig_(rig) {}

  quorvel::BoneColourLookup Lookup() {
    return [this](int32_t bone, UCOLOR* colour) {
      auto found = known_.find(bone);
      if (found == known_.end()) found = known_.emplace(bone, Find(bone)).first;
      if (!found->second.shown) return false;
      *colour = found->second.colour;
      return true;
    };
  }

 private:
  struct BONE {
    bool shown = false;
    UCOLOR colour;
  };
  BONE Find(int32_t bone) const {
    BONE found;
    quorvel::OBase rec;
    MQObject obj = quorvel::FindObjectByUniqueId(rig_.doc, bone);
    found.shown = obj != nullptr && quorvel::GetBoneRecord(obj, rig_.slots, rec) &&
                  (rec.flags & quorvel::OBase::OB_WEIGHTSHOW) != 0;
    found.colour = rec.weight_colour;
    return found;
  }

  const RIG_CONTEXT& rig_;
  std::unordered_map<int32_t, BONE> known_;
};

// The display colour a written weight record carries: the rig's colour rule
// for a vertex, so the record reads as if the user had painted it (only the
// host's current object colours it while the edit state says so).
void ColourWeights(quorvel::VWeight& rec, const RIG_CONTEXT& rig,
                   const quorvel::BoneColourLookup& lookup) {
  if (rig.state.WeightCurrentObjectOnly()) {
    quorvel::UpdateColourCurrentObject(rec, quorvel::CurrentObjectUniqueId(rig.doc), lookup);
  } else {
    quorvel::UpdateColourAllBones(rec, lookup);
  }
}

// ---------------------------------------------------------------- the commands

int GetMorphTargetMax(const RIG_CONTEXT&, void* message) {
  WriteField<int32_t>(message, 0, quorvel::kMaxMorphTargets);
  return 1;
}

int GetVertexWeightMax(const RIG_CONTEXT&, void* message) {
  WriteField<int32_t>(message, 0, quorvel::kMaxWeightEntries);
  return 1;
}

// Presence tests look at vertex 0 only.
int HasAnyMorphTarget(const RIG_CONTEXT& rig, void* message) {
  MQObject obj = RecordObject(rig, message);
  return obj != nullptr && quorvel::AnyMorphShape(obj, rig.slots) ? 1 : 0;
}

int HasMorphTarget(const RIG_CONTEXT& rig, void* message) {
  MQObject obj = RecordObject(rig, message);
  const int32_t k = ReadField<int32_t>(message, offsetof(UMSG_OBJECT_INT, value));
  if (obj == nullptr || k < -1 || k >= quorvel::kMaxMorphTargets) return 0;
  return quorvel::HasMorphShape(obj, rig.slots, k) ? 1 : 0;
}

int HasVertexWeight(const RIG_CONTEXT& rig, void* message) {
  MQObject obj = RecordObject(rig, message);
  return obj != nullptr && quorvel::HasWeights(obj, rig.slots) ? 1 : 0;
}

int SetMorphTarget(const RIG_CONTEXT& rig, void* message) {
  MQObject obj = RecordObject(rig, message);
  if (obj == nullptr) return 0;
  const int k = quorvel::FirstFreeMorphTarget(obj, rig.slots);
  if (k < 0) return 0;
  char name[quorvel::kNameBytes];
  char group[quorvel::kNameBytes];
  if (!quorvel::CreateMorphTarget(
          obj, rig.slots, k, ReadName(message, offsetof(UMSG_SET_MORPH_TARGET, name), name),
          ReadName(message, offsetof(UMSG_SET_MORPH_TARGET, group), group))) {
    return 0;
  }
  WriteField<int32_t>(message, offsetof(UMSG_SET_MORPH_TARGET, index), k);
  return 1;
}

int GetMorphTarget(const RIG_CONTEXT& rig, void* message) {
  MQObject obj = RecordObject(rig, message);
  const int32_t k = ReadField<int32_t>(message, offsetof(UMSG_GET_MORPH_TARGET, index));
  quorvel::OMorphTarget rec;
  if (obj == nullptr || k < 0 || k >= quorvel::kMaxMorphTargets ||
      !quorvel::GetMorphTargetRecord(obj, rig.slots, k, rec)) {
    return 0;
  }
  std::string group;
  if (!quorvel::GetMorphGroupName(obj, rig.slots, rec.group, group)) group.clear();
  WriteName(message, offsetof(UMSG_GET_MORPH_TARGET, group), group);
  return 1;
}

// The position arrays carry no length: the sender promises three floats per
// vertex. Only the twenty targets are reachable here (the base shape is read
// by its own command and never written from outside).
int SetMorphTargetPosArray(const RIG_CONTEXT& rig, void* message) {
  MQObject obj = RecordObject(rig, message);
  const int32_t k = ReadField<int32_t>(message, offsetof(UMSG_MORPH_POSITIONS, index));
  const auto* positions =
      ReadField<const float*>(message, offsetof(UMSG_MORPH_POSITIONS, positions));
  if (obj == nullptr || k < 0 || k >= quorvel::kMaxMorphTargets || positions == nullptr) return 0;
  const int32_t slot = rig.slots.MorphShape(k);
  if (!HostApi().MQObj_AllocVertexUserData(obj, slot)) return 0;
  const int count = VertexCount(obj);
  for (int v = 0; v < count; ++v) {
    float xyz[3];
    std::memcpy(xyz, positions + 3 * static_cast<std::size_t>(v), sizeof xyz);
    quorvel::VMorphTarget rec;
    rec.position = FVECTOR3(xyz[0], xyz[1], xyz[2]);
    rec.valid = 1;
    if (!HostApi().MQObj_SetVertexUserData(obj, slot, v, 1, 0, static_cast<int>(sizeof rec), &rec))
      return 0;
  }
  return 1;
}

int CopyShape(const RIG_CONTEXT& rig, MQObject obj, int k, float* positions) {
  if (obj == nullptr || positions == nullptr) return 0;
  const int32_t slot = rig.slots.MorphShape(k);
  const int count = VertexCount(obj);
  for (int v = 0; v < count; ++v) {
    quorvel::VMorphTarget rec;
    if (slot <= 0 ||
        !HostApi().MQObj_GetVertexUserData(obj, slot, v, 1, 0, static_cast<int>(sizeof rec), &rec))
      return 0;
    const float xyz[3] = {rec.position.x, rec.position.y, rec.position.z};
    std::memcpy(positions + 3 * static_cast<std::size_t>(v), xyz, sizeof xyz);
  }
  return 1;
}

int GetMorphTargetPosArray(const RIG_CONTEXT& rig, void* message) {
  const int32_t k = ReadField<int32_t>(message, offsetof(UMSG_MORPH_POSITIONS, index));
  if (k < 0 || k >= quorvel::kMaxMorphTargets) return 0;
  return CopyShape(rig, RecordObject(rig, message), k,
                   ReadField<float*>(message, offsetof(UMSG_MORPH_POSITIONS, positions)));
}

int GetBaseMorphTargetPosArray(const RIG_CONTEXT& rig, void* message) {
  return CopyShape(rig, RecordObject(rig, message), -1,
                   ReadField<float*>(message, offsetof(UMSG_BASE_POSITIONS, positions)));
}

int GetCurrentMorphTargetIndex(const RIG_CONTEXT& rig, void* message) {
  MQObject obj = RecordObject(rig, message);
  quorvel::OBase rec;
  if (obj == nullptr || !quorvel::GetBoneRecord(obj, rig.slots, rec)) return 0;
  WriteField<int32_t>(message, offsetof(UMSG_OBJECT_INT, value), rec.current_morph);
  return 1;
}

// ---------------------------------------------------------------- weight arrays
//
// The weight array is the one record whose extent the sender states, and the
// handler keeps inside it:
// - room per entry below 0 or a number of entries below 0 refuses the whole
//   array (0) before anything is touched; so does a null array or entry pointer;
// - entries go to vertices 0, 1, ... as far as both reach: an array shorter
//   than the object serves its first vertices and leaves the rest as they
//   were, a longer one has its surplus ignored; either answers 1;
// - an entry's pair count is taken as at most its room and at most the 4
//   bones a vertex holds (a writer stores the pairs it took, a reader writes
//   the count of the pairs it wrote); a count below 0 makes that vertex fail
//   (0, the vertices before it are done).
class WEIGHT_ENTRIES {
 public:
  // False for an array that cannot be walked.
  bool Open(const void* message) {
    const auto* array =
        ReadField<const UMSG_WEIGHT_ARRAY*>(message, offsetof(UMSG_WEIGHT_COMMAND, weights));
    if (array == nullptr) return false;
    first_ = ReadField<unsigned char*>(array, offsetof(UMSG_WEIGHT_ARRAY, entries));
    pairs_ = ReadField<int32_t>(array, offsetof(UMSG_WEIGHT_ARRAY, pairs));
    count_ = ReadField<int32_t>(array, offsetof(UMSG_WEIGHT_ARRAY, count));
    return first_ != nullptr && pairs_ >= 0 && count_ >= 0;
  }

  // Entries the object's vertices take.
  int Used(int vertices) const { return std::min(vertices, static_cast<int>(count_)); }
  // Pairs an entry may hold.
  int Room() const { return std::min(static_cast<int>(pairs_), quorvel::kMaxWeightEntries); }

  // Entry i (below Used); null where it would lie past the end of the
  // address space.
  unsigned char* Entry(int i) const {
    const uint64_t stride = UmsgWeightEntryBytes(pairs_);
    const uint64_t base = reinterpret_cast<std::uintptr_t>(first_);
    const uint64_t limit = UINTPTR_MAX;
    const uint64_t need = UmsgWeightEntryBytes(Room());
    if (i > 0 && stride > (limit - base) / static_cast<uint64_t>(i)) return nullptr;
    const uint64_t offset = stride * static_cast<uint64_t>(i);
    if (limit - base - offset < need) return nullptr;
    return first_ + offset;
  }

 private:
  unsigned char* first_ = nullptr;
  int32_t pairs_ = 0;
  int32_t count_ = 0;
};

constexpr std::size_t PairBone(int k) { return 4 + 8 * static_cast<std::size_t>(k); }
constexpr std::size_t PairWeight(int k) { return 8 + 8 * static_cast<std::size_t>(k); }

int SetVertexWeightArray(const RIG_CONTEXT& rig, void* message) {
  MQObject obj = RecordObject(rig, message);
  WEIGHT_ENTRIES entries;
  if (obj == nullptr || !entries.Open(message)) return 0;
  if (!HostApi().MQObj_AllocVertexUserData(obj, rig.slots.VWeight())) return 0;
  BONE_COLOURS colours(rig);
  const quorvel::BoneColourLookup lookup = colours.Lookup();
  const int used = entries.Used(VertexCount(obj));
  for (int v = 0; v < used; ++v) {
    const unsigned char* entry = entries.Entry(v);
    if (entry == nullptr) return 0;
    const int32_t count = ReadField<int32_t>(entry, 0);
    if (count < 0) return 0;
    const int taken = std::min(static_cast<int>(count), entries.Room());
    quorvel::VWeight rec;
    for (int k = 0; k < taken; ++k) {
      rec.entries[k].bone = ReadField<int32_t>(entry, PairBone(k));
      rec.entries[k].weight = ReadField<float>(entry, PairWeight(k));
    }
    rec.head = static_cast<uint8_t>(quorvel::VWeight::kValidBit | taken << 1);
    // A bone named twice becomes one entry with the summed weight: the record
    // names each bone once and still means what the sender sent.
    quorvel::MergeRepeatedBones(rec);
    ColourWeights(rec, rig, lookup);
    if (!quorvel::SetVertexWeights(obj, rig.slots, v, rec)) return 0;
  }
  return 1;
}

int GetVertexWeightArray(const RIG_CONTEXT& rig, void* message) {
  MQObject obj = RecordObject(rig, message);
  WEIGHT_ENTRIES entries;
  if (obj == nullptr || !entries.Open(message)) return 0;
  const int used = entries.Used(VertexCount(obj));
  for (int v = 0; v < used; ++v) {
    unsigned char* entry = entries.Entry(v);
    quorvel::VWeight rec;
    if (entry == nullptr || !quorvel::GetVertexWeights(obj, rig.slots, v, rec)) return 0;
    const int written = std::min(quorvel::Count(rec), entries.Room());
    WriteField<int32_t>(entry, 0, written);
    for (int k = 0; k < written; ++k) {
      WriteField<int32_t>(entry, PairBone(k), rec.entries[k].bone);
      WriteField<float>(entry, PairWeight(k), rec.entries[k].weight);
    }
  }
  return 1;
}

// ---------------------------------------------------------------- glTF files and poses
//
// These act through the main object: a file command refreshes and records
// undo as the menu's does, a pose command moves the view to the pose.

// The path field, up to its terminator; false when its 260 bytes hold none
// (the sender's text may run on into the next field, or past the record).
bool ReadPath(const void* record, std::string* path) {
  char field[UMSG_PATH_BYTES];
  std::memcpy(field, static_cast<const unsigned char*>(record) + offsetof(UMSG_GLTF_FILE, path),
              sizeof field);
  const void* nul = std::memchr(field, '\0', sizeof field);
  if (nul == nullptr) return false;
  path->assign(field, static_cast<std::size_t>(static_cast<const char*>(nul) - field));
  return true;
}

// The counts (what was written or read, in the record's order) and the message.
void WriteFileResult(void* record, const std::array<int32_t, 5>& counts, std::string_view message) {
  constexpr std::size_t kCounts[] = {
      offsetof(UMSG_GLTF_FILE, objects), offsetof(UMSG_GLTF_FILE, joints),
      offsetof(UMSG_GLTF_FILE, vertices), offsetof(UMSG_GLTF_FILE, targets),
      offsetof(UMSG_GLTF_FILE, animations)};
  for (std::size_t i = 0; i < counts.size(); ++i) {
    WriteField<int32_t>(record, kCounts[i], counts[i]);
  }
  WriteName(record, offsetof(UMSG_GLTF_FILE, message), message);
}

// The notes of a read (UTF-8) as one line in the system code page.
std::string NotesText(const std::vector<std::string>& notes) {
  std::string text;
  for (const std::string& note : notes) {
    if (!text.empty()) text += "; ";
    text += note;
  }
  return quorvel::platform::Utf8ToAnsi(text);
}

int GltfFile(DLMAIN& main, void* message, bool exporting) {
  std::array<int32_t, 5> counts{};
  std::string text;
  std::string path;
  bool done = false;
  if (!ReadPath(message, &path)) {
    text = "the path has no terminator within its 260 bytes";
  } else if (path.empty()) {
    text = "no file is named";
  } else {
    const float unit_scale = ReadField<float>(message, offsetof(UMSG_GLTF_FILE, unit_scale));
    if (exporting) {
      quorvel::gltf::ExportReport report;
      done = main.ExportGltf(path, unit_scale, &report, &text);
      if (done) {
        counts = {report.objects, report.joints, report.vertices, report.targets,
                  report.animations};
      }
    } else {
      quorvel::gltf::ImportReport report;
      done = main.ImportGltf(path, unit_scale, &report, &text);
      if (done) {
        counts = {report.objects, report.joints, report.vertices, report.targets, report.poses};
        text = NotesText(report.notes);
      }
    }
  }
  if (done && exporting) text.clear();
  WriteFileResult(message, counts, text);
  return done ? 1 : 0;
}

int ExportGltfFile(DLMAIN& main, void* message) { return GltfFile(main, message, true); }
int ImportGltfFile(DLMAIN& main, void* message) { return GltfFile(main, message, false); }

// The pose list's size and the current pose's position and name.
void WritePoseState(void* record, const quorvel::RigEditState& state) {
  const quorvel::QuorvelPose* current = quorvel::CurrentPose(state);
  WriteField<int32_t>(record, offsetof(UMSG_POSE, position),
                      current != nullptr ? quorvel::PositionOf(state, current) : -1);
  WriteField<int32_t>(record, offsetof(UMSG_POSE, count), quorvel::PoseCount(state));
  WriteName(record, offsetof(UMSG_POSE, name),
            current != nullptr ? quorvel::NameOf(current->name) : std::string_view());
}

int GetPoseCount(DLMAIN& main, void* message) {
  WritePoseState(message, main.GetModel()->EditState());
  return 1;
}

int SetCurrentPose(DLMAIN& main, void* message) {
  const quorvel::RigEditState& state = main.GetModel()->EditState();
  const int32_t position = ReadField<int32_t>(message, offsetof(UMSG_POSE, position));
  if (quorvel::PoseAt(state, position) == nullptr) return 0;
  // Already current is no change, and still the answer asked for.
  main.SelectPose(position);
  main.RefreshPanels();
  WritePoseState(message, state);
  return 1;
}

// ---------------------------------------------------------------- weight and bone tools

template <typename T>
T FieldOr(void* record, std::size_t offset, T fallback) {
  const T value = ReadField<T>(record, offset);
  return value != T(0) ? value : fallback;
}

MQObject RiggingObject(DLMAIN& main, void* message) {
  const int32_t uid = ReadField<int32_t>(message, offsetof(UMSG_RIGGING, object));
  if (uid == 0 || uid == -1) return nullptr;
  return quorvel::FindObjectByUniqueId(main.GetModel()->Document(), uid);
}

// An object named that is not there is refused here: null means "the current one" below.
bool NamesMissingObject(DLMAIN& main, void* message) {
  const int32_t uid = ReadField<int32_t>(message, offsetof(UMSG_RIGGING, object));
  return uid != 0 && uid != -1 && RiggingObject(main, message) == nullptr;
}

int RiggingAnswer(void* message, const quorvel::RiggingOutcome& outcome) {
  WriteField<int32_t>(message, offsetof(UMSG_RIGGING, changed), outcome.changed);
  WriteField<int32_t>(message, offsetof(UMSG_RIGGING, unmatched), outcome.unmatched);
  WriteName(message, offsetof(UMSG_RIGGING, message), quorvel::platform::Utf8ToAnsi(outcome.message));
  return outcome.ok ? 1 : 0;
}

int RiggingNoObject(void* message) {
  quorvel::RiggingOutcome outcome;
  outcome.message = "そのオブジェクトはありません";
  return RiggingAnswer(message, outcome);
}

bool SelectedOnly(void* message) { return ReadField<int32_t>(message, offsetof(UMSG_RIGGING, selected_only)) != 0; }

int AutoWeightsCommand(DLMAIN& main, void* message) {
  if (NamesMissingObject(main, message)) return RiggingNoObject(message);
  quorvel::AutoWeightOptions options;
  options.resolution = FieldOr<int32_t>(message, offsetof(UMSG_RIGGING, resolution), options.resolution);
  options.falloff = FieldOr<float>(message, offsetof(UMSG_RIGGING, falloff), options.falloff);
  options.max_bones = FieldOr<int32_t>(message, offsetof(UMSG_RIGGING, max_bones), options.max_bones);
  return RiggingAnswer(message, main.AutoWeights(RiggingObject(main, message), SelectedOnly(message), options));
}

int MirrorWeightsCommand(DLMAIN& main, void* message) {
  if (NamesMissingObject(main, message)) return RiggingNoObject(message);
  const int32_t mode = ReadField<int32_t>(message, offsetof(UMSG_RIGGING, mode));
  if (mode != 0 && mode != 1) {
    quorvel::RiggingOutcome outcome;
    outcome.message = "mode は 0 (+X→-X) か 1 (-X→+X) です";
    return RiggingAnswer(message, outcome);
  }
  const float tolerance = ReadField<float>(message, offsetof(UMSG_RIGGING, tolerance));
  return RiggingAnswer(message, main.MirrorWeights(RiggingObject(main, message), SelectedOnly(message),
                                                   mode == 1 ? quorvel::MirrorDirection::kMinusToPlus
                                                             : quorvel::MirrorDirection::kPlusToMinus,
                                                   tolerance));
}

int SmoothWeightsCommand(DLMAIN& main, void* message) {
  if (NamesMissingObject(main, message)) return RiggingNoObject(message);
  quorvel::SmoothOptions options;
  options.iterations = FieldOr<int32_t>(message, offsetof(UMSG_RIGGING, iterations), options.iterations);
  options.strength = FieldOr<float>(message, offsetof(UMSG_RIGGING, strength), options.strength);
  options.max_bones = FieldOr<int32_t>(message, offsetof(UMSG_RIGGING, max_bones), options.max_bones);
  return RiggingAnswer(message, main.SmoothWeights(RiggingObject(main, message), SelectedOnly(message), options));
}

int LimitWeightsCommand(DLMAIN& main, void* message) {
  if (NamesMissingObject(main, message)) return RiggingNoObject(message);
  const int32_t max_bones = FieldOr<int32_t>(message, offsetof(UMSG_RIGGING, max_bones), quorvel::kMaxWeightEntries);
  return RiggingAnswer(message, main.LimitWeights(RiggingObject(main, message), SelectedOnly(message), max_bones));
}

int MirrorPoseCommand(DLMAIN& main, void* message) {
  if (NamesMissingObject(main, message)) return RiggingNoObject(message);
  const int32_t mode = ReadField<int32_t>(message, offsetof(UMSG_RIGGING, mode));
  const float tolerance = ReadField<float>(message, offsetof(UMSG_RIGGING, tolerance));
  return RiggingAnswer(message,
                       main.MirrorPose(static_cast<MIRROR_POSE_MODE>(mode), RiggingObject(main, message), tolerance));
}

int MirrorBonesCommand(DLMAIN& main, void* message) {
  if (NamesMissingObject(main, message)) return RiggingNoObject(message);
  const float tolerance = ReadField<float>(message, offsetof(UMSG_RIGGING, tolerance));
  return RiggingAnswer(message, main.MirrorBones(RiggingObject(main, message), tolerance));
}

// ---------------------------------------------------------------- the table

struct MAIN_COMMAND {
  const char* name;
  int (*run)(DLMAIN& main, void* message);
  // Needs the model of an open document; the others say themselves why they
  // cannot act without one.
  bool needs_model = false;
};

// Every command here reads or writes a record; a null message answers 0.
constexpr MAIN_COMMAND kMainCommands[] = {
    {"ExportGltf", &ExportGltfFile},
    {"ImportGltf", &ImportGltfFile},
    {"GetPoseCount", &GetPoseCount, true},
    {"SetCurrentPose", &SetCurrentPose, true},
    {"AutoWeights", &AutoWeightsCommand, true},
    {"MirrorWeights", &MirrorWeightsCommand, true},
    {"SmoothWeights", &SmoothWeightsCommand, true},
    {"LimitWeights", &LimitWeightsCommand, true},
    {"MirrorPose", &MirrorPoseCommand, true},
    {"MirrorBones", &MirrorBonesCommand, true},
};

struct RIG_COMMAND {
  const char* name;
  int (*run)(const RIG_CONTEXT& rig, void* message);
  // Changes weights or morph targets (the viewport's copies must follow,
  // even after a partial write).
  bool writes = false;
};

// Every command here reads or writes a record; a null message answers 0.
constexpr RIG_COMMAND kRigCommands[] = {
    {"GetMorphTargetMax", &GetMorphTargetMax},
    {"HasAnyMorphTarget", &HasAnyMorphTarget},
    {"HasMorphTarget", &HasMorphTarget},
    {"SetMorphTarget", &SetMorphTarget, true},
    {"GetMorphTarget", &GetMorphTarget},
    {"SetMorphTargetPosArray", &SetMorphTargetPosArray, true},
    {"GetMorphTargetPosArray", &GetMorphTargetPosArray},
    {"GetBaseMorphTargetPosArray", &GetBaseMorphTargetPosArray},
    {"GetCurrentMorphTargetIndex", &GetCurrentMorphTargetIndex},
    {"GetVertexWeightMax", &GetVertexWeightMax},
    {"HasVertexWeight", &HasVertexWeight},
    {"SetVertexWeightArray", &SetVertexWeightArray, true},
    {"GetVertexWeightArray", &GetVertexWeightArray},
};

}  // namespace

// ---------------------------------------------------------------- RENDERING_MODEL_LOANS

RENDERING_MODEL_LOANS::RENDERING_MODEL_LOANS() : vtable{{&DestroyLent}, this} {}

RENDERING_MODEL_LOANS::~RENDERING_MODEL_LOANS() {
  for (FLZMODEL* model : out) model->SetVTable(nullptr);
}

FLZMODEL* RENDERING_MODEL_LOANS::HandOut(std::unique_ptr<FLZMODEL> model) {
  model->SetVTable(&vtable.table);
  out.push_back(model.get());
  return model.release();
}

// The receiver destroys a lent model itself: the loan ends first, so that
// the model is neither returned nor destroyed a second time.
void MQTHISCALL RENDERING_MODEL_LOANS::DestroyLent(FLZMODEL* self, unsigned int flags) {
  static_assert(std::is_standard_layout_v<LOAN_VTABLE>, "the table is the record's first member");
  const auto* table = reinterpret_cast<const LOAN_VTABLE*>(self->VTable());
  table->loans->Forget(self);
  self->SetVTable(nullptr);
  self->Destroy(flags);
}

void RENDERING_MODEL_LOANS::Forget(const FLZMODEL* model) {
  out.erase(std::remove(out.begin(), out.end(), model), out.end());
}

bool RENDERING_MODEL_LOANS::Return(const void* model) {
  if (model == nullptr) return false;
  // Compared as addresses: nothing is read through a pointer until it is
  // known to be one of ours.
  const auto found = std::find_if(out.begin(), out.end(), [model](const FLZMODEL* lent) {
    return static_cast<const void*>(lent) == model;
  });
  if (found == out.end()) return false;
  // Ours again, and destroyed on leaving.
  const std::unique_ptr<FLZMODEL> returned(*found);
  out.erase(found);
  returned->SetVTable(nullptr);
  return true;
}

// ---------------------------------------------------------------- UMESSAGE_HANDLER

int UMESSAGE_HANDLER::Receive(DLMAIN& main, MQDocument doc, uint32_t src_product, uint32_t src_id,
                              const char* description, void* message) {
  LogPrintf("Quorvel::DLMAIN::OnReceiveUserMessage(%08x)", LogAddress(doc));
  if (main.GetEnable() != 1 || description == nullptr) return 0;
  // A model that was lent comes back whatever became of the document since:
  // refusing it would leave it to nobody.
  if (SameCommand(description, "DeleteRenderingModel")) return loans.Return(message) ? 1 : 0;
  MQEXPDOC* model = main.GetModel();
  const bool has_document = model != nullptr && model->Document() != nullptr;
  for (const MAIN_COMMAND& command : kMainCommands) {
    if (!SameCommand(description, command.name)) continue;
    if (message == nullptr || (command.needs_model && !has_document)) return 0;
    return command.run(main, message);
  }
  if (!has_document) return 0;

  if (SameCommand(description, "GetRenderingModel")) {
    return GetRenderingModel(main, doc, src_product, src_id);
  }

  for (const RIG_COMMAND& command : kRigCommands) {
    if (!SameCommand(description, command.name)) continue;
    if (message == nullptr) return 0;
    const RIG_CONTEXT rig{model->Document(), model->Slots(), model->EditState()};
    const int answer = command.run(rig, message);
    if (command.writes) main.MarkRenderingRebuild();
    return answer;
  }
  return 0;
}

// The model is frozen from the document the main object's model holds; the
// reply goes out with the document the request came with, to the sender.
int UMESSAGE_HANDLER::GetRenderingModel(DLMAIN& main, MQDocument doc, uint32_t src_product,
                                        uint32_t src_id) {
  LogPrintf("Quorvel::GetRenderingModel");
  const MQEXPDOC& model = *main.GetModel();
  auto frozen = std::make_unique<FLZMODEL>();
  if (!quorvel::FreezeRenderingModel(*frozen, model.Document(), model.Slots(), model.EditState())) {
    return 0;
  }
  LogPrintf("FreezeQuorvelModel::Freeze");
  // Lent before it is sent: the receiver may hand it back while the reply
  // is still being delivered.
  FLZMODEL* reply = loans.HandOut(std::move(frozen));
  main.SendUserMessage(doc, src_product, src_id, kRenderingModelReply, reply);
  return 1;
}
