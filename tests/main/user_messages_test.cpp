// Another plug-in's user messages to Quorvel: the peer plug-in sends them
// through the substitute host, to the main object inside this program (where
// the rig records are checked directly) and to the built module.
#include "main/user_messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/files/document_file.h"
#include "host/peer/peer_client.h"
#include "host/peer/peer_protocol.h"
#include "io/registry_settings.h"
#include "rig/flz_model.h"
#include "rig/morph_targets.h"
#include "rig/pose_list.h"
#include "rig/records.h"
#include "rig/rig_access.h"
#include "tests/main/main_fixture.h"
#include "tests/rig/rig_fixture.h"

namespace {

using quorvel::VWeight;
using quorvel::VWeightEntry;
using quorvel_test::MainTest;

// What the sender's outputs hold before a command: any write shows.
constexpr unsigned char kPattern = 0xA5;
constexpr int32_t kPatternInt = static_cast<int32_t>(0xA5A5A5A5u);

// The twenty-five commands.
constexpr const char* kCommands[] = {
    "GetMorphTargetMax",
    "HasAnyMorphTarget",
    "HasMorphTarget",
    "SetMorphTarget",
    "GetMorphTarget",
    "SetMorphTargetPosArray",
    "GetMorphTargetPosArray",
    "GetBaseMorphTargetPosArray",
    "GetCurrentMorphTargetIndex",
    "GetVertexWeightMax",
    "HasVertexWeight",
    "SetVertexWeightArray",
    "GetVertexWeightArray",
    "GetRenderingModel",
    "DeleteRenderingModel",
    "ExportGltf",
    "ImportGltf",
    "GetPoseCount",
    "SetCurrentPose",
    "AutoWeights",
    "MirrorWeights",
    "SmoothWeights",
    "LimitWeights",
    "MirrorPose",
    "MirrorBones",
};

// The commands whose record starts with an object.
constexpr const char* kObjectCommands[] = {
    "HasAnyMorphTarget",
    "HasMorphTarget",
    "SetMorphTarget",
    "GetMorphTarget",
    "SetMorphTargetPosArray",
    "GetMorphTargetPosArray",
    "GetBaseMorphTargetPosArray",
    "GetCurrentMorphTargetIndex",
    "HasVertexWeight",
    "SetVertexWeightArray",
    "GetVertexWeightArray",
};

template <typename T>
void Fill(T& value) {
  std::memset(static_cast<void*>(&value), kPattern, sizeof value);
}

template <typename T>
std::vector<unsigned char> BytesOf(const T& value) {
  const auto* p = reinterpret_cast<const unsigned char*>(&value);
  return std::vector<unsigned char>(p, p + sizeof value);
}

// ---------------------------------------------------------------- a weight array

// The sender's weight array: `entries` entries with room for `pairs` pairs
// each, and guard bytes after the last; everything preset to the pattern.
class WeightArray {
 public:
  WeightArray(int32_t object, int32_t pairs, int32_t entries)
      : pairs_(std::max(pairs, 0)),
        bytes_(UmsgWeightEntryBytes(pairs_) * static_cast<std::size_t>(std::max(entries, 0)) + 16,
               kPattern) {
    array_.unused = kPatternInt;
    array_.entries = bytes_.data();
    array_.pairs = pairs;
    array_.count = entries;
    command_.object = object;
    command_.weights = &array_;
  }
  WeightArray(const WeightArray&) = delete;
  WeightArray& operator=(const WeightArray&) = delete;

  // Entry i: `count`, then the pairs given (at most its room).
  void Set(int i, int32_t count, const std::vector<VWeightEntry>& pairs = {}) {
    unsigned char* entry = Entry(i);
    std::memcpy(entry, &count, 4);
    for (std::size_t k = 0; k < pairs.size(); ++k) std::memcpy(entry + 4 + 8 * k, &pairs[k], 8);
  }

  void* message() { return &command_; }
  UMSG_WEIGHT_ARRAY& array() { return array_; }
  UMSG_WEIGHT_COMMAND& command() { return command_; }
  const std::vector<unsigned char>& bytes() const { return bytes_; }

 private:
  unsigned char* Entry(int i) {
    return bytes_.data() + UmsgWeightEntryBytes(pairs_) * static_cast<std::size_t>(i);
  }

  int32_t pairs_;
  std::vector<unsigned char> bytes_;
  UMSG_WEIGHT_ARRAY array_;
  UMSG_WEIGHT_COMMAND command_;
};

// ---------------------------------------------------------------- every command's record

// A well-formed record for every command, naming one object, morph index 0
// (-1 where the base shape is allowed) and arrays for `vertices` vertices;
// all outputs preset to the pattern, so that Bytes() shows any write.
class AllRecords {
 public:
  AllRecords(int32_t object, int vertices)
      : positions_(3 * static_cast<std::size_t>(vertices) + 3, 0.5f),
        out_positions_(3 * static_cast<std::size_t>(vertices) + 3),
        weights_in_(object, 4, vertices),
        weights_out_(object, 4, vertices) {
    Fill(int_out_);
    Fill(object_);
    Fill(has_);
    Fill(set_target_);
    Fill(get_target_);
    Fill(set_positions_);
    Fill(get_positions_);
    Fill(base_positions_);
    std::memset(out_positions_.data(), kPattern, out_positions_.size() * sizeof(float));
    object_.object = object;
    has_.object = object;
    has_.value = -1;
    set_target_.object = object;
    std::strcpy(set_target_.name, "target");
    std::strcpy(set_target_.group, "group");
    get_target_.object = object;
    get_target_.index = 0;
    set_positions_.object = object;
    set_positions_.index = 0;
    set_positions_.positions = positions_.data();
    get_positions_.object = object;
    get_positions_.index = 0;
    get_positions_.positions = out_positions_.data();
    base_positions_.object = object;
    base_positions_.positions = out_positions_.data();
    for (int v = 0; v < vertices; ++v) weights_in_.Set(v, 1, {{object, 1.0f}});
    for (UMSG_GLTF_FILE* file : {&export_, &import_}) {
      Fill(*file);
      std::strcpy(file->path, "user_messages_test_unused.glb");
      file->unit_scale = 0.0f;
    }
    Fill(pose_count_);
    Fill(set_pose_);
    set_pose_.position = 0;
    Fill(rigging_);
    rigging_.object = object;
    rigging_.mode = 0;
  }

  void* For(const std::string& command) {
    const std::map<std::string, void*> records = {
        {"GetMorphTargetMax", &int_out_},
        {"HasAnyMorphTarget", &object_},
        {"HasMorphTarget", &has_},
        {"SetMorphTarget", &set_target_},
        {"GetMorphTarget", &get_target_},
        {"SetMorphTargetPosArray", &set_positions_},
        {"GetMorphTargetPosArray", &get_positions_},
        {"GetBaseMorphTargetPosArray", &base_positions_},
        {"GetCurrentMorphTargetIndex", &object_},
        {"GetVertexWeightMax", &int_out_},
        {"HasVertexWeight", &object_},
        {"SetVertexWeightArray", weights_in_.message()},
        {"GetVertexWeightArray", weights_out_.message()},
        {"GetRenderingModel", nullptr},
        // Something that is no model of the plug-in's.
        {"DeleteRenderingModel", &object_},
        {"ExportGltf", &export_},
        {"ImportGltf", &import_},
        {"GetPoseCount", &pose_count_},
        {"SetCurrentPose", &set_pose_},
        {"AutoWeights", &rigging_},
        {"MirrorWeights", &rigging_},
        {"SmoothWeights", &rigging_},
        {"LimitWeights", &rigging_},
        {"MirrorPose", &rigging_},
        {"MirrorBones", &rigging_},
    };
    return records.at(command);
  }

  // The file commands' records, which say why nothing was done; Bytes()
  // leaves them out.
  std::vector<UMSG_GLTF_FILE*> Files() { return {&export_, &import_}; }

  // Every byte a command could have written.
  std::vector<unsigned char> Bytes() const {
    std::vector<unsigned char> all;
    for (const auto& part : {BytesOf(int_out_), BytesOf(object_), BytesOf(has_),
                             BytesOf(set_target_), BytesOf(get_target_), BytesOf(set_positions_),
                             BytesOf(get_positions_), BytesOf(base_positions_), weights_in_.bytes(),
                             weights_out_.bytes(), BytesOf(pose_count_), BytesOf(set_pose_),
                             BytesOf(rigging_)}) {
      all.insert(all.end(), part.begin(), part.end());
    }
    const auto* p = reinterpret_cast<const unsigned char*>(out_positions_.data());
    all.insert(all.end(), p, p + out_positions_.size() * sizeof(float));
    return all;
  }

 private:
  std::vector<float> positions_;
  std::vector<float> out_positions_;
  WeightArray weights_in_;
  WeightArray weights_out_;
  int32_t int_out_[2];
  UMSG_OBJECT_INT object_;
  UMSG_OBJECT_INT has_;
  UMSG_SET_MORPH_TARGET set_target_;
  UMSG_GET_MORPH_TARGET get_target_;
  UMSG_MORPH_POSITIONS set_positions_;
  UMSG_MORPH_POSITIONS get_positions_;
  UMSG_BASE_POSITIONS base_positions_;
  UMSG_GLTF_FILE export_;
  UMSG_GLTF_FILE import_;
  UMSG_POSE pose_count_;
  UMSG_POSE set_pose_;
  UMSG_RIGGING rigging_;
};

// What the host holds for an object: its object and vertex user data.
struct HostData {
  std::map<int, std::vector<uint8_t>> object_data;
  std::map<int, std::vector<uint8_t>> vertex_data;
  bool operator==(const HostData& o) const {
    return object_data == o.object_data && vertex_data == o.vertex_data;
  }
};

HostData DataOf(MQObject obj) {
  const mqhost::Object* o = mqhost::ToObject(obj);
  return HostData{o->object_data, o->vertex_data};
}

int32_t Uid(MQObject obj) { return static_cast<int32_t>(mqhost::ToObject(obj)->uid); }

// A triangle fan over the points, so that the object has faces to render.
void AddGeometry(MQObject obj, const std::vector<FVECTOR3>& points) {
  mqhost::Object* o = mqhost::ToObject(obj);
  for (const FVECTOR3& p : points) o->AddVertex(MQPoint{p.x, p.y, p.z});
  for (int i = 2; i < static_cast<int>(points.size()); ++i) o->AddFace({0, i - 1, i});
}

std::vector<float> Flat(const std::vector<FVECTOR3>& points) {
  std::vector<float> flat;
  for (const FVECTOR3& p : points) flat.insert(flat.end(), {p.x, p.y, p.z});
  return flat;
}

const std::vector<FVECTOR3> kTriangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
const std::vector<FVECTOR3> kMoved = {{0, 0, 1}, {1, 0, 2}, {0, 1, 3}};

// ---------------------------------------------------------------- the in-process fixture

class MessageTest : public MainTest {
 protected:
  void SetUp() override {
    MainTest::SetUp();
    LoadPeer();
  }
  void TearDown() override {
    // Models the peer still holds go back while their lender has its model.
    if (peer_module_ != nullptr && main_ != nullptr) Peer().ReturnModels(document_);
    MainTest::TearDown();
  }

  void LoadPeer() {
    std::string error;
    peer_module_ = host_.LoadPlugin(QUORVEL_PEER_PATH, &error);
    ASSERT_NE(peer_module_, nullptr) << error;
  }
  mqhost::PeerClient Peer() { return mqhost::PeerClient(host_, peer_module_); }

  void Open() {
    ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
    ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "test.mqd", plugin_), TRUE);
  }

  // The peer sends the command to the plug-in; the plug-in's answer.
  int Send(const char* command, void* message) {
    int result = -1;
    EXPECT_TRUE(
        Peer().Send(document_, QUORVEL_PRODUCT_ID, QUORVEL_PLUGIN_ID, command, message, &result))
        << command;
    return result;
  }

  MQObject AddMesh(const char* name, const std::vector<FVECTOR3>& points = kTriangle) {
    MQObject obj = AddObject(name);
    AddGeometry(obj, points);
    return obj;
  }

  void WriteSetting(const char* name, int32_t value) {
    UREGKEY key;
    ASSERT_TRUE(key.OpenWrite(settings_key_.c_str()));
    ASSERT_TRUE(key.WriteDword(name, value));
  }

  const quorvel::RigSlotTable& Slots() const { return main_->GetSlots(); }

  std::vector<VWeightEntry> WeightsOf(MQObject obj, int v) {
    VWeight rec;
    EXPECT_TRUE(quorvel::GetVertexWeights(obj, Slots(), v, rec)) << v;
    return EntriesOf(rec);
  }
  VWeight RecordOf(MQObject obj, int v) {
    VWeight rec;
    EXPECT_TRUE(quorvel::GetVertexWeights(obj, Slots(), v, rec)) << v;
    return rec;
  }
  std::vector<float> ShapeOf(MQObject obj, int k) {
    std::vector<float> flat;
    const int32_t slot = Slots().MorphShape(k);
    for (int v = 0; v < HostApi().MQObj_GetVertexCount(obj); ++v) {
      quorvel::VMorphTarget rec;
      EXPECT_TRUE(HostApi().MQObj_GetVertexUserData(obj, slot, v, 1, 0, sizeof rec, &rec));
      EXPECT_EQ(rec.valid, 1) << v;
      flat.insert(flat.end(), {rec.position.x, rec.position.y, rec.position.z});
    }
    return flat;
  }
  std::string GroupOf(MQObject obj, int k) {
    quorvel::OMorphTarget rec;
    std::string group;
    EXPECT_TRUE(quorvel::GetMorphTargetRecord(obj, Slots(), k, rec));
    EXPECT_TRUE(quorvel::GetMorphGroupName(obj, Slots(), rec.group, group));
    return group;
  }

  // The model the peer received last.
  FLZMODEL* ReceivedModel() {
    quorvel_peer::PeerReceivedRecord record;
    EXPECT_TRUE(Peer().LastReceived(document_, &record));
    return static_cast<FLZMODEL*>(record.message);
  }
  static std::vector<MQObject> ObjectsOf(const FLZMODEL& model) {
    std::vector<MQObject> objects;
    for (int i = 0; i < model.ObjectCount(); ++i) objects.push_back(model.ObjectAt(i));
    return objects;
  }
  bool AllFree(const std::vector<MQObject>& objects) const {
    return std::all_of(objects.begin(), objects.end(),
                       [this](MQObject o) { return host_.IsFreeObject(mqhost::ToObject(o)); });
  }
  bool NoneFree(const std::vector<MQObject>& objects) const {
    return std::none_of(objects.begin(), objects.end(),
                        [this](MQObject o) { return host_.IsFreeObject(mqhost::ToObject(o)); });
  }

  mqhost::PluginModule* peer_module_ = nullptr;
};

// ---------------------------------------------------------------- no working model

enum class NoModel {
  kDisabled,
  kDisabledWithModel,
  kNoDocumentYet,
  kDocumentEnded,
  kModelWithoutDocument
};

class NoModelTest : public MessageTest, public testing::WithParamInterface<NoModel> {};

TEST_P(NoModelTest, EveryCommandAnswersZeroAndWritesNothing) {
  MQObject mesh = AddMesh("mesh");
  switch (GetParam()) {
    case NoModel::kDisabled:
      WriteSetting("enable_flg", 0);
      Open();
      break;
    case NoModel::kDisabledWithModel:
      // A document that arrived before the preferences were read has a model.
      ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "test.mqd", plugin_), TRUE);
      WriteSetting("enable_flg", 0);
      ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
      ASSERT_NE(main_->GetModel(), nullptr);
      ASSERT_EQ(main_->GetEnable(), 0);
      break;
    case NoModel::kNoDocumentYet:
      ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
      break;
    case NoModel::kDocumentEnded:
      Open();
      ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
      break;
    case NoModel::kModelWithoutDocument:
      Open();
      main_->GetModel()->SetDocument(nullptr);
      break;
  }
  AllRecords records(Uid(mesh), 3);
  const std::vector<unsigned char> before = records.Bytes();
  std::vector<UMSG_GLTF_FILE> files_before;
  for (const UMSG_GLTF_FILE* file : records.Files()) files_before.push_back(*file);
  const HostData data = DataOf(mesh);

  for (const char* command : kCommands)
    EXPECT_EQ(Send(command, records.For(command)), 0) << command;
  EXPECT_EQ(records.Bytes(), before);
  EXPECT_TRUE(DataOf(mesh) == data) << "the object's user data changed";
  EXPECT_EQ(Peer().ReceivedCount(document_), 0) << "no model was sent";
  // A working plug-in says why it exchanged no file; a disabled one is silent.
  const bool disabled =
      GetParam() == NoModel::kDisabled || GetParam() == NoModel::kDisabledWithModel;
  for (size_t i = 0; i < files_before.size(); ++i) {
    const UMSG_GLTF_FILE& file = *records.Files()[i];
    if (disabled) {
      EXPECT_EQ(BytesOf(file), BytesOf(files_before[i])) << i;
      continue;
    }
    EXPECT_STREQ(file.message, "no document is open") << i;
    EXPECT_EQ(file.objects + file.joints + file.vertices + file.targets + file.animations, 0) << i;
    EXPECT_STREQ(file.path, files_before[i].path) << i;
  }
  EXPECT_EQ(std::fopen("user_messages_test_unused.glb", "rb"), nullptr) << "no file was written";
}

INSTANTIATE_TEST_SUITE_P(States, NoModelTest,
                         testing::Values(NoModel::kDisabled, NoModel::kDisabledWithModel,
                                         NoModel::kNoDocumentYet, NoModel::kDocumentEnded,
                                         NoModel::kModelWithoutDocument),
                         [](const testing::TestParamInfo<NoModel>& info) -> std::string {
                           switch (info.param) {
                             case NoModel::kDisabled:
                               return "Disabled";
                             case NoModel::kDisabledWithModel:
                               return "DisabledWithModel";
                             case NoModel::kNoDocumentYet:
                               return "NoDocumentYet";
                             case NoModel::kDocumentEnded:
                               return "DocumentEnded";
                             case NoModel::kModelWithoutDocument:
                               return "ModelWithoutDocument";
                           }
                           return "Unknown";
                         });

// ---------------------------------------------------------------- names and bad records

TEST_F(MessageTest, CommandNamesMatchWithoutCase) {
  Open();
  struct Case {
    const char* description;
    int answer;
    int32_t written;
  };
  const Case cases[] = {
      {"GetMorphTargetMax", 1, 20},
      {"getmorphtargetmax", 1, 20},
      {"GETMORPHTARGETMAX", 1, 20},
      {"gEtMoRpHtArGeTmAx", 1, 20},
      {"getvertexweightmax", 1, 4},
      {"GetMorphTargetMa", 0, kPatternInt},
      {"GetMorphTargetMaxx", 0, kPatternInt},
      {" GetMorphTargetMax", 0, kPatternInt},
      {"", 0, kPatternInt},
      {nullptr, 0, kPatternInt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description != nullptr ? c.description : "(null)");
    int32_t out[2] = {kPatternInt, kPatternInt};
    EXPECT_EQ(Send(c.description, out), c.answer);
    EXPECT_EQ(out[0], c.written);
    EXPECT_EQ(out[1], kPatternInt) << "written past the int32";
  }
  EXPECT_TRUE(
      Logged(Format("Quorvel::DLMAIN::OnReceiveUserMessage(%08x)", quorvel::LogAddress(doc_))));
}

TEST_F(MessageTest, ANullRecordAnswersZeroForEveryCommandThatReadsOne) {
  AddMesh("mesh");
  Open();
  for (const char* command : kCommands) {
    const bool reads_record = std::string(command) != "GetRenderingModel";
    EXPECT_EQ(Send(command, nullptr), reads_record ? 0 : 1) << command;
  }
}

TEST_F(MessageTest, AnObjectIdThatNamesNoObjectAnswersZero) {
  MQObject mesh = AddMesh("mesh");
  Open();
  AllRecords records(Uid(mesh) + 1000, 3);
  const std::vector<unsigned char> before = records.Bytes();
  const HostData data = DataOf(mesh);
  for (const char* command : kObjectCommands)
    EXPECT_EQ(Send(command, records.For(command)), 0) << command;
  EXPECT_EQ(records.Bytes(), before);
  EXPECT_TRUE(DataOf(mesh) == data);
}

// ---------------------------------------------------------------- morph targets

TEST_F(MessageTest, SetMorphTargetMakesTargetsInTheFirstFreeSlot) {
  MQObject mesh = AddMesh("mesh");
  Open();
  const std::string long_name(255, 'n');
  const std::string long_group(255, 'g');
  struct Case {
    const char* label;
    std::string name;  // 256 bytes without a terminator when longer than 255
    std::string group;
    int32_t slot;
    std::string stored_name;
    std::string stored_group;
  };
  const Case cases[] = {
      {"named", "smile", "face", 0, "smile", "face"},
      {"unnamed", "", "", 1, "morph", "Base"},
      {"same group", "frown", "face", 2, "frown", "face"},
      {"unterminated", std::string(256, 'n'), std::string(256, 'g'), 3, long_name, long_group},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    UMSG_SET_MORPH_TARGET record;
    Fill(record);
    record.object = Uid(mesh);
    std::memcpy(record.name, c.name.c_str(), std::min<std::size_t>(c.name.size() + 1, 256));
    std::memcpy(record.group, c.group.c_str(), std::min<std::size_t>(c.group.size() + 1, 256));
    ASSERT_EQ(Send("SetMorphTarget", &record), 1);
    EXPECT_EQ(record.index, c.slot);
    quorvel::OMorphTarget rec;
    ASSERT_TRUE(quorvel::GetMorphTargetRecord(mesh, Slots(), c.slot, rec));
    EXPECT_EQ(std::string(quorvel::NameOf(rec.name)), c.stored_name);
    EXPECT_EQ(rec.index, c.slot);
    EXPECT_EQ(GroupOf(mesh, c.slot), c.stored_group);
  }
  quorvel::OMorphTarget smile, frown;
  ASSERT_TRUE(quorvel::GetMorphTargetRecord(mesh, Slots(), 0, smile));
  ASSERT_TRUE(quorvel::GetMorphTargetRecord(mesh, Slots(), 2, frown));
  EXPECT_EQ(smile.group, frown.group) << "a group name is found, not made twice";

  // A freed slot is the first free one again.
  ASSERT_TRUE(quorvel::DeleteMorphTarget(mesh, Slots(), 1));
  UMSG_SET_MORPH_TARGET again;
  Fill(again);
  again.object = Uid(mesh);
  std::strcpy(again.name, "again");
  std::strcpy(again.group, "");
  ASSERT_EQ(Send("SetMorphTarget", &again), 1);
  EXPECT_EQ(again.index, 1);
}

TEST_F(MessageTest, SetMorphTargetAnswersZeroWhenAllTwentySlotsAreUsed) {
  MQObject mesh = AddMesh("mesh");
  Open();
  for (int k = 0; k < quorvel::kMaxMorphTargets; ++k) {
    UMSG_SET_MORPH_TARGET record;
    Fill(record);
    record.object = Uid(mesh);
    std::snprintf(record.name, sizeof record.name, "t%d", k);
    std::strcpy(record.group, "g");
    ASSERT_EQ(Send("SetMorphTarget", &record), 1) << k;
    ASSERT_EQ(record.index, k);
  }
  UMSG_SET_MORPH_TARGET full;
  Fill(full);
  full.object = Uid(mesh);
  std::strcpy(full.name, "one too many");
  std::strcpy(full.group, "g");
  EXPECT_EQ(Send("SetMorphTarget", &full), 0);
  EXPECT_EQ(full.index, kPatternInt);
  EXPECT_EQ(quorvel::CountMorphTargets(mesh, Slots()), quorvel::kMaxMorphTargets);
}

TEST_F(MessageTest, GetMorphTargetWritesOnlyTheGroupName) {
  MQObject mesh = AddMesh("mesh");
  Open();
  ASSERT_TRUE(quorvel::CreateMorphTarget(mesh, Slots(), 0, "smile", "face"));
  ASSERT_TRUE(quorvel::CreateMorphTarget(mesh, Slots(), 1, "blink", std::string(255, 'g')));
  ASSERT_TRUE(quorvel::CreateMorphTarget(mesh, Slots(), 2, "lost", "gone"));
  quorvel::OMorphTarget lost;
  ASSERT_TRUE(quorvel::GetMorphTargetRecord(mesh, Slots(), 2, lost));
  mqhost::ToObject(mesh)->FreeObjectData(Slots().MorphGroup(lost.group));

  struct Case {
    int32_t index;
    int answer;
    std::string group;  // written at 264 with its terminator
  };
  const Case cases[] = {
      {0, 1, "face"}, {1, 1, std::string(255, 'g')}, {2, 1, ""}, {3, 0, ""}, {-1, 0, ""},
      {20, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    struct {
      UMSG_GET_MORPH_TARGET record;
      unsigned char guard[8];
    } sent;
    Fill(sent);
    sent.record.object = Uid(mesh);
    sent.record.index = c.index;
    auto expected = sent;
    if (c.answer == 1) {
      std::memcpy(expected.record.group, c.group.c_str(), c.group.size() + 1);
    }
    EXPECT_EQ(Send("GetMorphTarget", &sent.record), c.answer);
    EXPECT_EQ(BytesOf(sent), BytesOf(expected));
  }
}

TEST_F(MessageTest, PositionArraysGoThroughTheShapeSlots) {
  MQObject mesh = AddMesh("mesh", kTriangle);
  Open();
  std::vector<float> positions = Flat(kMoved);
  UMSG_MORPH_POSITIONS set{Uid(mesh), 2, positions.data()};
  ASSERT_EQ(Send("SetMorphTargetPosArray", &set), 1);
  EXPECT_EQ(ShapeOf(mesh, 2), Flat(kMoved));
  EXPECT_EQ(ShapeOf(mesh, -1), Flat(kTriangle)) << "the base shape stays";

  std::vector<float> out(9 + 3, -1.0f);
  UMSG_MORPH_POSITIONS get{Uid(mesh), 2, out.data()};
  ASSERT_EQ(Send("GetMorphTargetPosArray", &get), 1);
  EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 9), Flat(kMoved));
  EXPECT_EQ(std::vector<float>(out.begin() + 9, out.end()), std::vector<float>(3, -1.0f));

  std::vector<float> base(9, -1.0f);
  UMSG_BASE_POSITIONS get_base{Uid(mesh), base.data()};
  ASSERT_EQ(Send("GetBaseMorphTargetPosArray", &get_base), 1);
  EXPECT_EQ(base, Flat(kTriangle));

  // A target without a shape, and a null array.
  std::vector<float> untouched(9, -1.0f);
  UMSG_MORPH_POSITIONS none{Uid(mesh), 3, untouched.data()};
  EXPECT_EQ(Send("GetMorphTargetPosArray", &none), 0);
  EXPECT_EQ(untouched, std::vector<float>(9, -1.0f));
  for (const char* command : {"SetMorphTargetPosArray", "GetMorphTargetPosArray"}) {
    UMSG_MORPH_POSITIONS null_array{Uid(mesh), 2, nullptr};
    EXPECT_EQ(Send(command, &null_array), 0) << command;
  }
  UMSG_BASE_POSITIONS null_base{Uid(mesh), nullptr};
  EXPECT_EQ(Send("GetBaseMorphTargetPosArray", &null_base), 0);
}

TEST_F(MessageTest, PositionArraysRefuseIndicesOutsideTheTwentyTargets) {
  MQObject mesh = AddMesh("mesh", kTriangle);
  Open();
  for (int32_t index : {-1, -2, 20, 1000}) {
    SCOPED_TRACE(index);
    std::vector<float> positions = Flat(kMoved);
    UMSG_MORPH_POSITIONS set{Uid(mesh), index, positions.data()};
    const HostData data = DataOf(mesh);
    EXPECT_EQ(Send("SetMorphTargetPosArray", &set), 0);
    EXPECT_TRUE(DataOf(mesh) == data) << "no shape was written";

    std::vector<float> out(9, -1.0f);
    UMSG_MORPH_POSITIONS get{Uid(mesh), index, out.data()};
    EXPECT_EQ(Send("GetMorphTargetPosArray", &get), 0);
    EXPECT_EQ(out, std::vector<float>(9, -1.0f));
  }
  EXPECT_EQ(ShapeOf(mesh, -1), Flat(kTriangle));
}

TEST_F(MessageTest, PresenceTestsLookAtVertexZeroOfEachShape) {
  MQObject mesh = AddMesh("mesh");
  MQObject empty = AddObject("empty");
  Open();
  UMSG_OBJECT_INT any{Uid(mesh), kPatternInt};
  EXPECT_EQ(Send("HasAnyMorphTarget", &any), 0) << "the base shape is not a target";
  std::vector<float> positions = Flat(kMoved);
  UMSG_MORPH_POSITIONS set{Uid(mesh), 2, positions.data()};
  ASSERT_EQ(Send("SetMorphTargetPosArray", &set), 1);
  EXPECT_EQ(Send("HasAnyMorphTarget", &any), 1);

  struct Case {
    MQObject object;
    int32_t index;
    int answer;
  };
  for (const Case& c : {Case{mesh, -1, 1}, Case{mesh, 0, 0}, Case{mesh, 2, 1}, Case{mesh, 19, 0},
                        Case{mesh, 20, 0}, Case{mesh, -2, 0}, Case{empty, -1, 0}}) {
    UMSG_OBJECT_INT has{Uid(c.object), c.index};
    EXPECT_EQ(Send("HasMorphTarget", &has), c.answer)
        << c.index << (c.object == empty ? " (no vertices)" : "");
  }
  UMSG_OBJECT_INT none{Uid(empty), kPatternInt};
  EXPECT_EQ(Send("HasAnyMorphTarget", &none), 0);
  EXPECT_EQ(Send("HasVertexWeight", &none), 0);
}

TEST_F(MessageTest, GetCurrentMorphTargetIndexReadsTheBoneRecord) {
  MQObject fresh = AddMesh("fresh");
  MQObject morphed = AddMesh("morphed");
  MQObject bare = AddMesh("bare");
  Open();
  ASSERT_TRUE(quorvel::SetCurrentMorphIndex(morphed, Slots(), 4));
  mqhost::ToObject(bare)->FreeObjectData(Slots().OBase());
  struct Case {
    MQObject object;
    int answer;
    int32_t written;
  };
  for (const Case& c : {Case{fresh, 1, -1}, Case{morphed, 1, 4}, Case{bare, 0, kPatternInt}}) {
    SCOPED_TRACE(mqhost::ToObject(c.object)->name);
    UMSG_OBJECT_INT record{Uid(c.object), kPatternInt};
    EXPECT_EQ(Send("GetCurrentMorphTargetIndex", &record), c.answer);
    EXPECT_EQ(record.value, c.written);
  }
}

TEST_F(MessageTest, TheLimitsAreTwentyTargetsAndFourBones) {
  Open();
  for (const auto& [command, limit] : {std::pair<const char*, int32_t>{"GetMorphTargetMax", 20},
                                       std::pair<const char*, int32_t>{"GetVertexWeightMax", 4}}) {
    int32_t out[2] = {kPatternInt, kPatternInt};
    EXPECT_EQ(Send(command, out), 1) << command;
    EXPECT_EQ(out[0], limit) << command;
    EXPECT_EQ(out[1], kPatternInt) << command;
  }
}

// ---------------------------------------------------------------- vertex weights

class WeightMessageTest : public MessageTest {
 protected:
  void SetUp() override {
    MessageTest::SetUp();
    bone_a_ = AddObject("boneA");
    bone_b_ = AddObject("boneB");
    mesh_ = AddMesh("mesh");
    Open();
    ASSERT_TRUE(quorvel::SetWeightColour(bone_a_, Slots(), UCOLOR{200, 0, 0, 255}));
    ASSERT_TRUE(quorvel::SetWeightColour(bone_b_, Slots(), UCOLOR{0, 100, 0, 255}));
    a_ = Uid(bone_a_);
    b_ = Uid(bone_b_);
  }
  // Every vertex of the mesh gets the one bone `bone`.
  void Preset(int32_t bone) {
    for (int v = 0; v < 3; ++v)
      ASSERT_TRUE(quorvel::SetVertexWeights(mesh_, Slots(), v, Weights({{bone, 1.0f}})));
  }

  MQObject bone_a_ = nullptr;
  MQObject bone_b_ = nullptr;
  MQObject mesh_ = nullptr;
  int32_t a_ = 0;
  int32_t b_ = 0;
};

TEST_F(WeightMessageTest, SetVertexWeightArrayWritesRecordsInTheRigsColours) {
  UMSG_OBJECT_INT has{Uid(mesh_), kPatternInt};
  EXPECT_EQ(Send("HasVertexWeight", &has), 0);

  WeightArray weights(Uid(mesh_), 4, 3);
  weights.Set(0, 1, {{a_, 1.0f}});
  weights.Set(1, 2, {{a_, 0.25f}, {b_, 0.75f}});
  weights.Set(2, 0);
  ASSERT_EQ(Send("SetVertexWeightArray", weights.message()), 1);
  EXPECT_EQ(Send("HasVertexWeight", &has), 1);

  struct Expect {
    std::vector<VWeightEntry> entries;
    std::array<uint8_t, 3> colour;
  };
  const Expect all_bones[] = {
      {{{a_, 1.0f}}, {200, 0, 0}}, {{{a_, 0.25f}, {b_, 0.75f}}, {50, 75, 0}}, {{}, {0, 0, 0}}};
  for (int v = 0; v < 3; ++v) {
    const VWeight rec = RecordOf(mesh_, v);
    EXPECT_TRUE(quorvel::IsValid(rec)) << v;
    EXPECT_EQ(EntriesOf(rec), all_bones[v].entries) << v;
    EXPECT_EQ((std::array<uint8_t, 3>{rec.colour[0], rec.colour[1], rec.colour[2]}),
              all_bones[v].colour)
        << v;
  }

  // While only the host's current object shows its weights, only it colours.
  main_->SetShowCurObjWeight(1);
  document_->current_object = document_->IndexOf(mqhost::ToObject(bone_b_));
  ASSERT_EQ(Send("SetVertexWeightArray", weights.message()), 1);
  const std::array<uint8_t, 3> current_only[] = {{0, 0, 0}, {0, 75, 0}, {0, 0, 0}};
  for (int v = 0; v < 3; ++v) {
    const VWeight rec = RecordOf(mesh_, v);
    EXPECT_EQ((std::array<uint8_t, 3>{rec.colour[0], rec.colour[1], rec.colour[2]}),
              current_only[v])
        << v;
  }
}

TEST_F(WeightMessageTest, SetVertexWeightArrayReadsEachEntryWithinItsRoom) {
  const int32_t c = Uid(bone_a_) + Uid(bone_b_) + 100;  // the preset bone, no object
  const int32_t d = c + 1, e = c + 2, f = c + 3;
  struct Case {
    const char* label;
    int32_t pairs;
    int32_t entries;
    // count and pairs per entry (only as many entries as `entries` says)
    std::vector<std::pair<int32_t, std::vector<VWeightEntry>>> sent;
    int answer;
    std::vector<std::vector<VWeightEntry>> stored;  // per vertex afterwards
  };
  const std::vector<VWeightEntry> preset = {{c, 1.0f}};
  const Case cases[] = {
      {"count above 4 takes the first four",
       6,
       3,
       {{6, {{a_, .1f}, {b_, .2f}, {d, .3f}, {e, .4f}, {f, .5f}, {c, .6f}}}, {0, {}}, {0, {}}},
       1,
       {{{a_, .1f}, {b_, .2f}, {d, .3f}, {e, .4f}}, {}, {}}},
      {"count above the room takes the room",
       2,
       3,
       {{3, {{a_, .5f}, {b_, .5f}}}, {1, {{d, 1.0f}}}, {0, {}}},
       1,
       {{{a_, .5f}, {b_, .5f}}, {{d, 1.0f}}, {}}},
      {"room 0 holds no pairs", 0, 3, {{2, {}}, {1, {}}, {0, {}}}, 1, {{}, {}, {}}},
      {"a bone named twice gets one entry with the summed weight",
       4,
       3,
       {{3, {{a_, .3f}, {b_, .4f}, {a_, .3f}}}, {2, {{b_, .25f}, {b_, .5f}}}, {0, {}}},
       1,
       {{{a_, .3f + .3f}, {b_, .4f}}, {{b_, .75f}}, {}}},
      {"a negative count stops at its vertex",
       4,
       3,
       {{1, {{a_, 1.0f}}}, {-1, {{b_, 1.0f}}}, {1, {{b_, 1.0f}}}},
       0,
       {{{a_, 1.0f}}, preset, preset}},
      {"fewer entries than vertices",
       4,
       2,
       {{1, {{a_, 1.0f}}}, {1, {{b_, 1.0f}}}},
       1,
       {{{a_, 1.0f}}, {{b_, 1.0f}}, preset}},
      {"more entries than vertices",
       4,
       5,
       {{1, {{a_, 1.0f}}}, {1, {{b_, 1.0f}}}, {1, {{d, 1.0f}}}, {1, {{e, 1.0f}}}, {1, {{f, 1.0f}}}},
       1,
       {{{a_, 1.0f}}, {{b_, 1.0f}}, {{d, 1.0f}}}},
      {"negative room is refused", -1, 3, {}, 0, {preset, preset, preset}},
      {"a negative number of entries is refused", 4, -1, {}, 0, {preset, preset, preset}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.label);
    Preset(c);
    WeightArray weights(Uid(mesh_), k.pairs, k.entries);
    for (std::size_t i = 0; i < k.sent.size(); ++i)
      weights.Set(static_cast<int>(i), k.sent[i].first, k.sent[i].second);
    EXPECT_EQ(Send("SetVertexWeightArray", weights.message()), k.answer);
    for (int v = 0; v < 3; ++v)
      EXPECT_EQ(WeightsOf(mesh_, v), k.stored[static_cast<std::size_t>(v)]) << v;
  }
}

#if UINTPTR_MAX == 0xFFFFFFFFu
// In a 32-bit address space a large room puts the second entry past the end
// of memory: that vertex fails instead of the address wrapping around.
TEST_F(WeightMessageTest, AnEntryPastTheEndOfTheAddressSpaceFailsItsVertex) {
  Preset(b_);
  std::vector<unsigned char> first(64, 0);
  const int32_t count = 1;
  const VWeightEntry pair{a_, 1.0f};
  std::memcpy(first.data(), &count, 4);
  std::memcpy(first.data() + 4, &pair, 8);
  UMSG_WEIGHT_ARRAY array{0, first.data(), 0x1FFFFFFF, 3};
  UMSG_WEIGHT_COMMAND command{Uid(mesh_), &array};
  EXPECT_EQ(Send("SetVertexWeightArray", &command), 0);
  EXPECT_EQ(WeightsOf(mesh_, 0), (std::vector<VWeightEntry>{{a_, 1.0f}}));
  EXPECT_EQ(WeightsOf(mesh_, 1), (std::vector<VWeightEntry>{{b_, 1.0f}}));
}
#endif

TEST_F(WeightMessageTest, ARefusedWeightArrayMakesNoWeights) {
  struct Case {
    const char* label;
    void (*spoil)(WeightArray&);
  };
  const Case cases[] = {
      {"negative room", [](WeightArray& w) { w.array().pairs = -1; }},
      {"negative number of entries", [](WeightArray& w) { w.array().count = -3; }},
      {"no entries", [](WeightArray& w) { w.array().entries = nullptr; }},
      {"no array", [](WeightArray& w) { w.command().weights = nullptr; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WeightArray weights(Uid(mesh_), 4, 3);
    for (int v = 0; v < 3; ++v) weights.Set(v, 1, {{a_, 1.0f}});
    c.spoil(weights);
    EXPECT_EQ(Send("SetVertexWeightArray", weights.message()), 0);
    EXPECT_FALSE(quorvel::HasWeights(mesh_, Slots()));
  }
}

TEST_F(WeightMessageTest, GetVertexWeightArrayWritesNoMoreThanEachEntryHolds) {
  const int32_t c = Uid(bone_a_) + Uid(bone_b_) + 100, d = c + 1;
  ASSERT_TRUE(
      quorvel::SetVertexWeights(mesh_, Slots(), 0, Weights({{a_, .5f}, {b_, .3f}, {c, .2f}})));
  ASSERT_TRUE(quorvel::SetVertexWeights(mesh_, Slots(), 1, Weights({{d, 1.0f}})));
  ASSERT_TRUE(quorvel::SetVertexWeights(mesh_, Slots(), 2, Weights({})));
  struct Case {
    const char* label;
    int32_t pairs;
    int32_t entries;
    int answer;
    // What the entries hold afterwards: count and pairs, the rest untouched.
    std::vector<std::pair<int32_t, std::vector<VWeightEntry>>> written;
  };
  const Case cases[] = {
      {"room for four",
       4,
       3,
       1,
       {{3, {{a_, .5f}, {b_, .3f}, {c, .2f}}}, {1, {{d, 1.0f}}}, {0, {}}}},
      {"room for more",
       6,
       3,
       1,
       {{3, {{a_, .5f}, {b_, .3f}, {c, .2f}}}, {1, {{d, 1.0f}}}, {0, {}}}},
      {"room for two", 2, 3, 1, {{2, {{a_, .5f}, {b_, .3f}}}, {1, {{d, 1.0f}}}, {0, {}}}},
      {"room for none", 0, 3, 1, {{0, {}}, {0, {}}, {0, {}}}},
      {"fewer entries than vertices",
       4,
       2,
       1,
       {{3, {{a_, .5f}, {b_, .3f}, {c, .2f}}}, {1, {{d, 1.0f}}}}},
      {"more entries than vertices",
       4,
       4,
       1,
       {{3, {{a_, .5f}, {b_, .3f}, {c, .2f}}}, {1, {{d, 1.0f}}}, {0, {}}}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.label);
    WeightArray got(Uid(mesh_), k.pairs, k.entries);
    WeightArray expected(Uid(mesh_), k.pairs, k.entries);
    for (std::size_t i = 0; i < k.written.size(); ++i) {
      expected.Set(static_cast<int>(i), k.written[i].first, k.written[i].second);
    }
    EXPECT_EQ(Send("GetVertexWeightArray", got.message()), k.answer);
    EXPECT_EQ(got.bytes(), expected.bytes());
  }

  // Refused arrays, and an object without weights (which fails at its first
  // vertex): nothing is written.
  MQObject other = AddMesh("other");
  struct Refusal {
    const char* label;
    int32_t object;
    void (*spoil)(WeightArray&);
  };
  const Refusal refusals[] = {
      {"negative room", Uid(mesh_), [](WeightArray& w) { w.array().pairs = -1; }},
      {"negative number of entries", Uid(mesh_), [](WeightArray& w) { w.array().count = -3; }},
      {"no entries", Uid(mesh_), [](WeightArray& w) { w.array().entries = nullptr; }},
      {"no array", Uid(mesh_), [](WeightArray& w) { w.command().weights = nullptr; }},
      {"no weights", Uid(other), [](WeightArray&) {}},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.label);
    WeightArray got(r.object, 4, 3);
    r.spoil(got);
    const std::vector<unsigned char> before = got.bytes();
    EXPECT_EQ(Send("GetVertexWeightArray", got.message()), 0);
    EXPECT_EQ(got.bytes(), before);
  }
}

// ---------------------------------------------------------------- rendering models

TEST_F(MessageTest, GetRenderingModelRepliesToTheSenderBeforeItAnswers) {
  AddMesh("first");
  AddMesh("second");
  Open();
  ASSERT_EQ(Send("GetRenderingModel", nullptr), 1);

  // The answer came back to the peer after the reply had reached it.
  ASSERT_EQ(Peer().ReceivedCount(document_), 1);
  quorvel_peer::PeerReceivedRecord reply;
  ASSERT_TRUE(Peer().Received(document_, 0, &reply));
  EXPECT_STREQ(reply.description, "SendRenderingModel");
  EXPECT_EQ(reply.src_product, QUORVEL_PRODUCT_ID);
  EXPECT_EQ(reply.src_id, QUORVEL_PLUGIN_ID);
  EXPECT_EQ(reply.answer, 1);
  ASSERT_NE(reply.message, nullptr);
  const auto* model = static_cast<const FLZMODEL*>(reply.message);
  EXPECT_TRUE(model->built());
  EXPECT_EQ(model->ObjectCount(), 2);
  EXPECT_TRUE(AllFree(ObjectsOf(*model)));

  const auto at = [this](const char* line) {
    return std::find(log_.begin(), log_.end(), line) - log_.begin();
  };
  EXPECT_LT(at("Quorvel::GetRenderingModel"), at("FreezeQuorvelModel::Freeze"));
  EXPECT_LT(at("FreezeQuorvelModel::Freeze"), static_cast<std::ptrdiff_t>(log_.size()));
}

// The posed model starts from the host's vertices unless the pose morphs the
// object: an object showing its morph target 0 in the vertices, with another
// base shape stored, keeps the vertices without a pose and under a pose that
// has no morph weights for it, and is morphed from the stored base with them.
TEST_F(MessageTest, TheRenderingModelMorphsFromTheBaseOnlyWhenThePoseMorphs) {
  MQObject m = AddMesh("m");
  Open();
  const quorvel::RigSlotTable& slots = Slots();
  ASSERT_TRUE(quorvel::CreateMorphTarget(m, slots, 0, "lift", ""));
  const auto store = [&](int k, const FVECTOR3& first) {
    ASSERT_TRUE(HostApi().MQObj_AllocVertexUserData(m, slots.MorphShape(k)));
    for (int v = 0; v < 3; ++v) {
      quorvel::VMorphTarget rec;
      rec.position = v == 0 ? first : kTriangle[static_cast<size_t>(v)];
      rec.valid = 1;
      ASSERT_TRUE(HostApi().MQObj_SetVertexUserData(m, slots.MorphShape(k), v, 1, 0, 0, &rec));
    }
  };
  store(-1, FVECTOR3(0, 0, 1));
  store(0, FVECTOR3(0, 0, 2));
  ASSERT_TRUE(quorvel::SetCurrentMorphIndex(m, slots, 0));
  quorvel::RigEditState& state = *main_->GetEditState();

  const struct {
    const char* label;
    std::function<void()> setup;
    float z;
  } rows[] = {
      {"no pose", [] {}, 0.0f},
      {"a pose without a morph record for m", [&] { ASSERT_NE(quorvel::CreatePose(state), nullptr); },
       0.0f},
      {"morph weight 0.5", [&] { ASSERT_TRUE(quorvel::SetPoseMorphWeight(m, slots, 0, 0, 0.5f)); },
       1.5f},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    row.setup();
    ASSERT_EQ(Send("GetRenderingModel", nullptr), 1);
    const FLZMODEL* model = ReceivedModel();
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->ObjectCount(), 1);
    MQPoint p{-1, -1, -1};
    HostApi().MQObj_GetVertex(model->ObjectAt(0), 0, &p);
    EXPECT_FLOAT_EQ(p.x, 0.0f);
    EXPECT_FLOAT_EQ(p.y, 0.0f);
    EXPECT_FLOAT_EQ(p.z, row.z);
    EXPECT_EQ(Peer().ReturnModels(document_), 1);
  }
}

TEST_F(MessageTest, DeleteRenderingModelTakesBackOnlyItsOwnModelsAndEachOnce) {
  AddMesh("mesh");
  Open();
  ASSERT_EQ(Send("GetRenderingModel", nullptr), 1);
  FLZMODEL* first = ReceivedModel();
  ASSERT_EQ(Send("GetRenderingModel", nullptr), 1);
  FLZMODEL* second = ReceivedModel();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_NE(first, second);
  const std::vector<MQObject> first_objects = ObjectsOf(*first);
  const std::vector<MQObject> second_objects = ObjectsOf(*second);
  ASSERT_FALSE(first_objects.empty());

  // A model of the sender's own making, never handed out.
  FLZMODEL foreign;
  ASSERT_NE(foreign.AddModelObject(), nullptr);
  const std::vector<MQObject> foreign_objects = ObjectsOf(foreign);
  int32_t not_a_model[8] = {};

  struct Step {
    const char* label;
    void* message;
    int answer;
  };
  const Step steps[] = {
      {"the second model", second, 1},
      {"the second model again", second, 0},
      {"null", nullptr, 0},
      {"a foreign model", &foreign, 0},
      {"something else", not_a_model, 0},
      {"the first model", first, 1},
  };
  for (const Step& s : steps)
    EXPECT_EQ(Send("DeleteRenderingModel", s.message), s.answer) << s.label;
  EXPECT_TRUE(NoneFree(first_objects));
  EXPECT_TRUE(NoneFree(second_objects));
  EXPECT_TRUE(AllFree(foreign_objects)) << "the foreign model is untouched";
  EXPECT_EQ(not_a_model[0], 0);
}

// A receiver may destroy the model itself through slot 0 of its table, as
// its compiler's delete does: the objects go once, and the loan ends, so the
// model cannot come back a second time.
TEST_F(MessageTest, ALentModelDestroyedThroughItsTableEndsTheLoan) {
  AddMesh("mesh");
  Open();
  ASSERT_EQ(Send("GetRenderingModel", nullptr), 1);
  FLZMODEL* lent = ReceivedModel();
  ASSERT_NE(lent, nullptr);
  const std::vector<MQObject> objects = ObjectsOf(*lent);
  ASSERT_FALSE(objects.empty());
  const FLZMODEL::VTABLE* table = *reinterpret_cast<const FLZMODEL::VTABLE* const*>(lent);
  ASSERT_NE(table, nullptr);
  table->destroy(lent, 1);
  EXPECT_TRUE(NoneFree(objects));
  EXPECT_EQ(Send("DeleteRenderingModel", lent), 0) << "no longer lent";
}

TEST_F(MessageTest, ThePeerHandsItsModelsBack) {
  AddMesh("mesh");
  Open();
  ASSERT_EQ(Send("GetRenderingModel", nullptr), 1);
  const std::vector<MQObject> objects = ObjectsOf(*ReceivedModel());
  ASSERT_FALSE(objects.empty());
  EXPECT_EQ(Peer().ReturnModels(document_), 1);
  EXPECT_TRUE(NoneFree(objects));
}

TEST_F(MessageTest, ALentModelComesBackAfterTheDocumentEnded) {
  AddMesh("mesh");
  Open();
  ASSERT_EQ(Send("GetRenderingModel", nullptr), 1);
  FLZMODEL* lent = ReceivedModel();
  ASSERT_NE(lent, nullptr);
  const std::vector<MQObject> objects = ObjectsOf(*lent);
  ASSERT_FALSE(objects.empty());
  ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
  // Every other command answers 0 now; the return of a lent model does not,
  // or the model would belong to nobody.
  int32_t out = -1;
  EXPECT_EQ(Send("GetVertexWeightMax", &out), 0);
  EXPECT_EQ(out, -1);
  EXPECT_EQ(Send("DeleteRenderingModel", lent), 1);
  EXPECT_TRUE(NoneFree(objects));
  EXPECT_EQ(Send("DeleteRenderingModel", lent), 0) << "returned twice";
}

TEST_F(MessageTest, ModelsStillOutBelongToTheirReceiversWhenThePluginGoes) {
  AddMesh("mesh");
  Open();
  ASSERT_EQ(Send("GetRenderingModel", nullptr), 1);
  FLZMODEL* kept = ReceivedModel();
  ASSERT_NE(kept, nullptr);
  const std::vector<MQObject> objects = ObjectsOf(*kept);
  ASSERT_FALSE(objects.empty());

  StopPlugin();
  peer_module_ = nullptr;
  EXPECT_TRUE(AllFree(objects)) << "the handler destroyed a model it had lent";
  // The receiver owns it, and disposes of it as any owner would.
  delete kept;
  EXPECT_TRUE(NoneFree(objects));
}

// ---------------------------------------------------------------- poses

// A pose record as the sender leaves it: the position asked for, the rest
// the pattern, and guard bytes after it.
struct PoseMessage {
  explicit PoseMessage(int32_t position) {
    Fill(*this);
    record.position = position;
  }
  UMSG_POSE record;
  unsigned char guard[8];
};

TEST_F(MessageTest, GetPoseCountTellsTheListAndTheCurrentPose) {
  Open();
  PoseMessage none(kPatternInt);
  ASSERT_EQ(Send("GetPoseCount", &none.record), 1);
  EXPECT_EQ(none.record.count, 0);
  EXPECT_EQ(none.record.position, -1);
  EXPECT_STREQ(none.record.name, "");
  EXPECT_EQ(static_cast<unsigned char>(none.record.name[1]), kPattern)
      << "the rest of the field is the sender's";

  quorvel::QuorvelPose* first = quorvel::NewPose(*main_->GetModel());
  ASSERT_NE(quorvel::NewPose(*main_->GetModel()), nullptr);
  ASSERT_TRUE(quorvel::RenamePose(first, std::string(300, 'p')));
  ASSERT_TRUE(quorvel::SetCurrentPose(*main_->GetEditState(), first));
  PoseMessage two(kPatternInt);
  ASSERT_EQ(Send("GetPoseCount", &two.record), 1);
  EXPECT_EQ(two.record.count, 2);
  EXPECT_EQ(two.record.position, 0);
  EXPECT_EQ(std::string(two.record.name), std::string(255, 'p')) << "cut to the field";
  EXPECT_EQ(std::vector<unsigned char>(two.guard, two.guard + 8),
            std::vector<unsigned char>(8, kPattern));
}

TEST_F(MessageTest, SetCurrentPoseSelectsByListPositionOrChangesNothing) {
  MQObject bone = AddMesh("bone");
  Open();
  quorvel::RigEditState& state = *main_->GetEditState();
  for (const char* name : {"rest", "up", "down"}) {
    quorvel::QuorvelPose* pose = quorvel::NewPose(*main_->GetModel());
    ASSERT_NE(pose, nullptr);
    quorvel::RenamePose(pose, name);
  }
  // "up" moves the bone: its skinning matrix tells which pose was evaluated.
  quorvel::OPoseTSQ up;
  up.trs = FVECTOR3(0, 5, 0);
  ASSERT_TRUE(quorvel::SetPoseTSQ(bone, Slots(), quorvel::PoseAt(state, 1)->id, up));

  struct Case {
    int32_t position;
    int answer;
    int32_t current;  // list position afterwards
    const char* name;
    float bone_y;  // the bone's skinning translation
  };
  const Case cases[] = {
      {1, 1, 1, "up", 5.0f},
      {0, 1, 0, "rest", 0.0f},
      {2, 1, 2, "down", 0.0f},
      {2, 1, 2, "down", 0.0f},
      {3, 0, 2, nullptr, 0.0f},
      {-1, 0, 2, nullptr, 0.0f},
      {INT32_MIN, 0, 2, nullptr, 0.0f},
      {1, 1, 1, "up", 5.0f},
      {20, 0, 1, nullptr, 5.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    PoseMessage sent(c.position);
    const PoseMessage untouched = sent;
    EXPECT_EQ(Send("SetCurrentPose", &sent.record), c.answer);
    if (c.answer == 1) {
      EXPECT_EQ(sent.record.position, c.current);
      EXPECT_EQ(sent.record.count, 3);
      EXPECT_STREQ(sent.record.name, c.name);
    } else {
      EXPECT_EQ(BytesOf(sent), BytesOf(untouched)) << "a refused position writes nothing";
    }
    EXPECT_EQ(BytesOf(sent.guard), BytesOf(untouched.guard));
    EXPECT_EQ(quorvel::CurrentPosition(state), c.current);
    EXPECT_EQ(quorvel::GetWorldMatrix(bone, Slots()).GetTranslation().y, c.bone_y);
  }
}

// ---------------------------------------------------------------- glTF files

// A file record as the sender leaves it, with guard bytes after it.
struct FileMessage {
  explicit FileMessage(const std::string& path, float unit_scale = 0.0f) {
    Fill(*this);
    std::memcpy(record.path, path.data(), std::min(path.size(), sizeof record.path));
    if (path.size() < sizeof record.path) record.path[path.size()] = '\0';
    record.unit_scale = unit_scale;
  }
  std::array<int32_t, 5> Counts() const {
    return {record.objects, record.joints, record.vertices, record.targets, record.animations};
  }
  bool GuardIntact() const {
    return std::all_of(std::begin(guard), std::end(guard),
                       [](unsigned char b) { return b == kPattern; });
  }
  UMSG_GLTF_FILE record;
  unsigned char guard[8];
};

class FileMessageTest : public MessageTest {
 protected:
  void TearDown() override {
    for (const std::string& file : files_) std::remove(file.c_str());
    MessageTest::TearDown();
  }
  // The sample rigged arm, opened.
  void OpenSample() {
    mqhost::PluginElementMap elements;
    std::string error;
    ASSERT_TRUE(
        mqhost::LoadDocumentFile(QUORVEL_EXAMPLES_DIR "/arm_rig.mqd", document_, &elements, &error))
        << error;
    host_.SetPluginElements(document_, std::move(elements));
    Open();
  }
  std::string TempFile(const std::string& name) {
    files_.push_back("user_messages_test_" + name);
    return files_.back();
  }
  std::string SavedText() {
    EXPECT_EQ(mqhost::SendSaveDocument(host_, document_, "arm_rig.mqd", plugin_).answer, TRUE);
    return mqhost::WriteDocumentXml(*document_, host_.PluginElements(document_));
  }

  std::vector<std::string> files_;
};

// Paths the commands cannot take, and files that are not there: nothing is
// written or read, the counts are zero and the message says why.
TEST_F(FileMessageTest, BadPathsAreRefusedWithAMessage) {
  OpenSample();
  const std::string before = SavedText();
  const std::string missing = TempFile("missing.glb");
  struct Case {
    const char* label;
    const char* command;
    std::string path;  // 260 bytes and more: no terminator in the field
    const char* message_part;
  };
  const Case cases[] = {
      {"unterminated export", "ExportGltf", std::string(260, 'a'),
       "no terminator within its 260 bytes"},
      {"unterminated import", "ImportGltf", std::string(300, 'b'),
       "no terminator within its 260 bytes"},
      {"empty export", "ExportGltf", "", "no file is named"},
      {"empty import", "ImportGltf", "", "no file is named"},
      {"no such file", "ImportGltf", missing, missing.c_str()},
      {"no such folder", "ExportGltf", "no_such_folder/out.glb", "no_such_folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FileMessage sent(c.path);
    EXPECT_EQ(Send(c.command, &sent.record), 0);
    EXPECT_NE(std::string(sent.record.message).find(c.message_part), std::string::npos)
        << sent.record.message;
    EXPECT_EQ(sent.Counts(), (std::array<int32_t, 5>{}));
    EXPECT_TRUE(sent.GuardIntact());
    EXPECT_EQ(SavedText(), before);
  }
  EXPECT_EQ(std::fopen("no_such_folder/out.glb", "rb"), nullptr);
}

// A message that does not fit is cut to 255 bytes and its terminator.
TEST_F(FileMessageTest, ALongMessageIsCutToTheField) {
  OpenSample();
  const std::string path = TempFile(std::string(200, 'x') + ".glb");
  FileMessage sent(path);
  EXPECT_EQ(Send("ImportGltf", &sent.record), 0);
  const void* end = std::memchr(sent.record.message, '\0', sizeof sent.record.message);
  ASSERT_NE(end, nullptr);
  EXPECT_GT(static_cast<const char*>(end) - sent.record.message, 200) << sent.record.message;
  EXPECT_TRUE(sent.GuardIntact());
}

TEST_F(FileMessageTest, TheSampleGoesOutAndComesBackThroughTheMessages) {
  OpenSample();
  const std::string path = TempFile("sample.glb");
  FileMessage out(path, -2.0f);  // below zero: the default scale
  ASSERT_EQ(Send("ExportGltf", &out.record), 1) << out.record.message;
  EXPECT_STREQ(out.record.message, "");
  EXPECT_EQ(out.record.objects, 5);
  EXPECT_EQ(out.record.animations, 3) << "two poses and the sequence";
  EXPECT_GT(out.record.vertices, 0);
  EXPECT_EQ(out.record.targets, 1);
  EXPECT_TRUE(out.GuardIntact());

  const int undo_states = host_.undo_state_count();
  FileMessage in(path);
  ASSERT_EQ(Send("importgltf", &in.record), 1) << in.record.message;
  EXPECT_EQ(in.record.objects, 5);
  EXPECT_EQ(in.record.animations, 2) << "the poses read";
  EXPECT_EQ(in.record.targets, 1);
  EXPECT_TRUE(in.GuardIntact());
  EXPECT_EQ(document_->ObjectCount(), 10);
  EXPECT_EQ(host_.undo_state_count(), undo_states + 1) << "one undo step";
  PoseMessage poses(kPatternInt);
  ASSERT_EQ(Send("GetPoseCount", &poses.record), 1);
  EXPECT_EQ(poses.record.count, 4);
}

// ---------------------------------------------------------------- weight and bone tools

// A strip of quads along +x with a two-bone chain beside it and the chain's
// tip; the strip is weighted by the messages.
class RiggingMessageTest : public MessageTest {
 protected:
  void SetUp() override {
    MessageTest::SetUp();
    strip_ = AddObject("strip");
    mqhost::Object* o = mqhost::ToObject(strip_);
    for (int i = 0; i <= 10; ++i) {
      o->AddVertex(MQPoint{10.0f * i, -2.0f, 0.0f});
      o->AddVertex(MQPoint{10.0f * i, 2.0f, 0.0f});
    }
    for (int i = 0; i < 10; ++i) o->AddFace({2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1});
    upper_ = AddObject("upper_L", 0, {5, 0, 0});
    lower_ = AddObject("lower_L", 1, {50, 0, 0});
    AddObject("tip_L", 2, {50, 0, 0});
    LoadPeer();
    Open();
    ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);
  }
  UMSG_RIGGING Record(MQObject object) {
    UMSG_RIGGING record{};
    record.object = object != nullptr ? Uid(object) : -1;
    return record;
  }
  MQObject strip_ = nullptr, upper_ = nullptr, lower_ = nullptr;
};

TEST_F(RiggingMessageTest, ToolsAnswerWithWhatTheyDid) {
  UMSG_RIGGING weights = Record(strip_);
  weights.max_bones = 2;
  ASSERT_EQ(Send("AutoWeights", &weights), 1) << weights.message;
  EXPECT_EQ(weights.changed, 22);
  EXPECT_STREQ(weights.message, "");
  UMSG_RIGGING limit = Record(strip_);
  limit.max_bones = 1;
  ASSERT_EQ(Send("LimitWeights", &limit), 1) << limit.message;
  EXPECT_GT(limit.changed, 0) << "the seam between the bones had two";
  UMSG_RIGGING smooth = Record(strip_);
  smooth.iterations = 2;
  ASSERT_EQ(Send("SmoothWeights", &smooth), 1) << smooth.message;
  EXPECT_GT(smooth.changed, 0);
  // Nothing lies at -x: every +x vertex is a source, no vertex a target.
  UMSG_RIGGING mirror = Record(strip_);
  ASSERT_EQ(Send("MirrorWeights", &mirror), 1) << mirror.message;
  EXPECT_EQ(mirror.changed, 0);
  UMSG_RIGGING bones = Record(upper_);
  ASSERT_EQ(Send("MirrorBones", &bones), 1) << bones.message;
  EXPECT_EQ(bones.changed, 3);
  EXPECT_EQ(document_->ObjectCount(), 7);
  UMSG_RIGGING flip = Record(nullptr);
  flip.mode = 3;
  ASSERT_EQ(Send("MirrorPose", &flip), 1) << flip.message;
}

TEST_F(RiggingMessageTest, RefusalsSayWhy) {
  struct Case {
    const char* command;
    int32_t object;  // 0: the strip's id + 1000, which names nothing
    int32_t mode;
    const char* reason;
  };
  const int32_t strip = Uid(strip_);
  const Case cases[] = {
      {"AutoWeights", 0, 0, "そのオブジェクトはありません"},
      {"MirrorWeights", strip, 2, "mode は 0 (+X→-X) か 1 (-X→+X) です"},
      {"MirrorPose", -1, 7, "ミラーの種類が正しくありません"},
      {"SmoothWeights", strip, 0, "オブジェクトにウェイトがありません"},
      {"MirrorBones", Uid(upper_) + 1000, 0, "そのオブジェクトはありません"},
  };
  for (const Case& c : cases) {
    UMSG_RIGGING record{};
    record.object = c.object != 0 ? c.object : strip + 1000;
    record.mode = c.mode;
    record.changed = kPatternInt;
    EXPECT_EQ(Send(c.command, &record), 0) << c.command;
    EXPECT_EQ(record.message, Ansi(c.reason)) << c.command;
    EXPECT_EQ(record.changed, 0) << c.command;
  }
  EXPECT_FALSE(quorvel::HasWeights(strip_, main_->GetSlots()));
}

// ---------------------------------------------------------------- the built module

class BuiltModuleMessages : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    plugin_ = host_.LoadPlugin(QUORVEL_PLUGIN_PATH, &error);
    ASSERT_NE(plugin_, nullptr) << error;
    peer_module_ = host_.LoadPlugin(QUORVEL_PEER_PATH, &error);
    ASSERT_NE(peer_module_, nullptr) << error;
    document_ = host_.NewDocument();
  }
  void TearDown() override {
    if (opened_) {
      peer().ReturnModels(document_);
      mqhost::SendEndDocument(host_, document_);
    }
    mqhost::SendExit(host_);
    host_.CloseDocument(document_);
    host_.UnloadPlugins();
  }

  void Open() {
    ASSERT_EQ(mqhost::SendInitialize(host_), TRUE);
    ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "test.mqd"), TRUE);
    opened_ = true;
  }
  mqhost::PeerClient peer() { return mqhost::PeerClient(host_, peer_module_); }
  int Send(const char* command, void* message) {
    int result = -1;
    EXPECT_TRUE(
        peer().Send(document_, QUORVEL_PRODUCT_ID, QUORVEL_PLUGIN_ID, command, message, &result))
        << command;
    return result;
  }
  MQObject AddMesh(const char* name) {
    auto object = document_->NewObject();
    object->name = name;
    mqhost::Object* raw = object.get();
    document_->AddObject(std::move(object));
    AddGeometry(mqhost::ToHandle(raw), kTriangle);
    return mqhost::ToHandle(raw);
  }
  // The raw record the host holds for vertex `v` in the kind called `kind`.
  std::vector<uint8_t> VertexBytes(MQObject obj, const std::string& kind, int v) {
    const auto& kinds = document_->kinds();
    const auto found = std::find_if(kinds.begin(), kinds.end(),
                                    [&](const mqhost::UserDataKind& k) { return k.name == kind; });
    if (found == kinds.end()) return {};
    const int slot = static_cast<int>(found - kinds.begin()) + 1;
    const int size = found->bytes_per_element;
    const auto& data = mqhost::ToObject(obj)->vertex_data;
    const auto it = data.find(slot);
    if (it == data.end()) return {};
    return std::vector<uint8_t>(it->second.begin() + v * size, it->second.begin() + (v + 1) * size);
  }

  mqhost::Host& host_ = mqhost::Host::Instance();
  mqhost::PluginModule* plugin_ = nullptr;
  mqhost::PluginModule* peer_module_ = nullptr;
  mqhost::Document* document_ = nullptr;
  bool opened_ = false;
  quorvel_test::ScratchSettings settings_;
};

TEST_F(BuiltModuleMessages, MorphTargetsAndWeightsRoundTrip) {
  MQObject bone = AddMesh("bone");
  MQObject mesh = AddMesh("mesh");
  Open();

  UMSG_SET_MORPH_TARGET target;
  Fill(target);
  target.object = Uid(mesh);
  std::strcpy(target.name, "smile");
  std::strcpy(target.group, "face");
  ASSERT_EQ(Send("setmorphtarget", &target), 1);
  EXPECT_EQ(target.index, 0);
  UMSG_GET_MORPH_TARGET get_target;
  Fill(get_target);
  get_target.object = Uid(mesh);
  get_target.index = 0;
  ASSERT_EQ(Send("GetMorphTarget", &get_target), 1);
  EXPECT_STREQ(get_target.group, "face");

  std::vector<float> positions = Flat(kMoved);
  UMSG_MORPH_POSITIONS set{Uid(mesh), 0, positions.data()};
  ASSERT_EQ(Send("SetMorphTargetPosArray", &set), 1);
  std::vector<float> out(9, -1.0f);
  UMSG_MORPH_POSITIONS get{Uid(mesh), 0, out.data()};
  ASSERT_EQ(Send("GetMorphTargetPosArray", &get), 1);
  EXPECT_EQ(out, Flat(kMoved));
  UMSG_OBJECT_INT has{Uid(mesh), 0};
  EXPECT_EQ(Send("HASMORPHTARGET", &has), 1);
  has.value = 20;
  EXPECT_EQ(Send("HasMorphTarget", &has), 0);

  WeightArray weights(Uid(mesh), 4, 3);
  for (int v = 0; v < 3; ++v) weights.Set(v, 1, {{Uid(bone), 1.0f}});
  ASSERT_EQ(Send("SetVertexWeightArray", weights.message()), 1);
  // The host holds the record: valid with one entry, the bone at weight 1.
  const std::vector<uint8_t> raw = VertexBytes(mesh, "VWeight", 1);
  ASSERT_EQ(raw.size(), 36u);
  EXPECT_EQ(raw[0], 1 | 1 << 1);
  int32_t stored_bone = 0;
  float stored_weight = 0.0f;
  std::memcpy(&stored_bone, raw.data() + 4, 4);
  std::memcpy(&stored_weight, raw.data() + 8, 4);
  EXPECT_EQ(stored_bone, Uid(bone));
  EXPECT_EQ(stored_weight, 1.0f);

  WeightArray back(Uid(mesh), 2, 3);
  WeightArray expected(Uid(mesh), 2, 3);
  for (int v = 0; v < 3; ++v) expected.Set(v, 1, {{Uid(bone), 1.0f}});
  ASSERT_EQ(Send("GetVertexWeightArray", back.message()), 1);
  EXPECT_EQ(back.bytes(), expected.bytes());
}

TEST_F(BuiltModuleMessages, RenderingModelsAreLentToThePeerAndTakenBackOnce) {
  AddMesh("mesh");
  Open();
  ASSERT_EQ(Send("GetRenderingModel", nullptr), 1);
  quorvel_peer::PeerReceivedRecord reply;
  ASSERT_TRUE(peer().LastReceived(document_, &reply));
  EXPECT_STREQ(reply.description, "SendRenderingModel");
  EXPECT_EQ(reply.src_product, QUORVEL_PRODUCT_ID);
  EXPECT_EQ(reply.src_id, QUORVEL_PLUGIN_ID);
  ASSERT_NE(reply.message, nullptr);
  const auto* model = static_cast<const FLZMODEL*>(reply.message);
  ASSERT_EQ(model->ObjectCount(), 1);
  mqhost::Object* copy = mqhost::ToObject(model->ObjectAt(0));
  EXPECT_TRUE(host_.IsFreeObject(copy));

  EXPECT_EQ(Send("DeleteRenderingModel", reply.message), 1);
  EXPECT_FALSE(host_.IsFreeObject(copy));
  EXPECT_EQ(Send("DeleteRenderingModel", reply.message), 0) << "returned twice";
  EXPECT_EQ(Send("DeleteRenderingModel", nullptr), 0);
}

TEST_F(BuiltModuleMessages, BeforeADocumentTheModuleAnswersZero) {
  ASSERT_EQ(mqhost::SendInitialize(host_), TRUE);
  int32_t out[1] = {kPatternInt};
  EXPECT_EQ(Send("GetMorphTargetMax", out), 0);
  EXPECT_EQ(out[0], kPatternInt);
  EXPECT_EQ(Send("GetRenderingModel", nullptr), 0);
  EXPECT_EQ(peer().ReceivedCount(document_), 0);
}

}  // namespace
