// The rig's element tree: what the writer stores, what the reader makes of
// it, and how the reader copes with text that anyone could have edited.
#include "io/document_format.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/files/xml_tree.h"
#include "math/log.h"
#include "platform/codepage.h"
#include "rig/document_model.h"
#include "rig/host_records.h"
#include "rig/morph_targets.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "sdk/host_api.h"
#include "tests/rig/rig_fixture.h"
#include "tests/support/float_checks.h"

namespace {

using namespace quorvel;

void Capture(const char* line, void* user) {
  static_cast<std::vector<std::string>*>(user)->push_back(line);
}

// One weight entry named by object position instead of unique id.
struct Entry {
  int position;
  float weight;
};

class DocumentFormatTest : public RigTest {
 protected:
  void SetUp() override {
    RigTest::SetUp();
    LogSetSink(&Capture, &lines_);
    root_ = mqhost::XmlElement::Create("plugin");
  }
  void TearDown() override {
    LogResetSink();
    if (target_ != nullptr) mqhost::Host::Instance().CloseDocument(target_);
    RigTest::TearDown();
  }

  MQXmlElement Root() { return mqhost::ToHandle(root_.get()); }

  // The plug-in element replaced by the parsed text (its children).
  void Parse(const std::string& children) {
    std::string error;
    ASSERT_TRUE(mqhost::ParseXml("<plugin>" + children + "</plugin>", &root_, &error)) << error;
  }
  bool Read() { return ReadDocument(Root(), doc_, &state_, slots_); }
  bool Write() { return WriteDocument(Root(), doc_, &state_, slots_); }

  // The only `model` the writer made.
  const mqhost::XmlElement& Model() {
    const mqhost::XmlElement* model = root_->FirstChild("model");
    EXPECT_NE(model, nullptr);
    EXPECT_EQ(root_->NextChild(model, "model"), nullptr);
    return *model;
  }
  // The `obj` element describing object position i.
  const mqhost::XmlElement* ObjElement(int position) {
    const mqhost::XmlElement& model = Model();
    for (const mqhost::XmlElement* e = model.FirstChild("obj"); e != nullptr;
         e = model.NextChild(e, "obj")) {
      if (*e->GetAttribute("obj") == std::to_string(position)) return e;
    }
    return nullptr;
  }
  static std::string Attr(const mqhost::XmlElement* e, const char* name) {
    const std::string* value = e != nullptr ? e->GetAttribute(name) : nullptr;
    return value != nullptr ? *value : std::string("<absent>");
  }

  // Weight entries of a vertex as (position, weight) in document `doc`.
  static std::vector<std::pair<int, float>> EntriesAt(MQDocument doc, const RigSlotTable& slots,
                                                      MQObject obj, int vertex) {
    VWeight rec;
    std::vector<std::pair<int, float>> out;
    if (!GetVertexWeights(obj, slots, vertex, rec)) return out;
    for (int k = 0; k < Count(rec); ++k) {
      int position = -1;
      const int count = HostApi().MQDoc_GetObjectCount(doc);
      for (int i = 0; i < count; ++i) {
        MQObject o = HostApi().MQDoc_GetObject(doc, i);
        if (o != nullptr && Uid(o) == rec.entries[k].bone) position = i;
      }
      out.emplace_back(position, rec.entries[k].weight);
    }
    return out;
  }
  static std::vector<std::pair<int, float>> Own(int position) { return {{position, 1.0f}}; }

  bool Logged(const std::string& line) const {
    for (const auto& l : lines_) {
      if (l == line) return true;
    }
    return false;
  }

  // A second document with the same object layout to read into.
  MQDocument NewTarget() {
    target_ = mqhost::Host::Instance().NewDocument();
    MQDocument handle = mqhost::ToHandle(target_);
    EXPECT_TRUE(RegisterRigSlots(handle, target_slots_));
    return handle;
  }
  static MQObject AddMeshTo(mqhost::Document* d, const char* name, int n, int depth = 0) {
    auto object = d->NewObject();
    object->name = name;
    object->depth = depth;
    mqhost::Object* raw = object.get();
    d->AddObject(std::move(object));
    for (int i = 0; i < n; ++i) raw->AddVertex(MQPoint{float(i), float(2 * i), float(3 * i)});
    return mqhost::ToHandle(raw);
  }

  std::unique_ptr<mqhost::XmlElement> root_;
  std::vector<std::string> lines_;
  RigEditState state_;
  mqhost::Document* target_ = nullptr;
  RigSlotTable target_slots_;
  RigEditState target_state_;
};

// ---------------------------------------------------------------- missing arguments

TEST_F(DocumentFormatTest, MissingElementDocumentOrStateIsRefusedWithoutWriting) {
  EXPECT_FALSE(WriteDocument(nullptr, doc_, &state_, slots_));
  EXPECT_FALSE(WriteDocument(Root(), nullptr, &state_, slots_));
  EXPECT_FALSE(WriteDocument(Root(), doc_, nullptr, slots_));
  EXPECT_EQ(root_->ChildCount(), 0u);
  EXPECT_FALSE(ReadDocument(nullptr, doc_, &state_, slots_));
  EXPECT_FALSE(ReadDocument(Root(), nullptr, &state_, slots_));
  EXPECT_FALSE(ReadDocument(Root(), doc_, nullptr, slots_));
}

TEST_F(DocumentFormatTest, ModelOverloadsUseTheModelsDocumentSlotsAndEditState) {
  AddMesh("a", 1);
  EnsureRigRecords(doc_, slots_);
  MQEXPDOC model(nullptr);
  EXPECT_FALSE(WriteDocument(Root(), model));  // no document yet
  EXPECT_FALSE(ReadDocument(Root(), model));
  model.SetDocument(doc_);
  model.SetSlots(slots_);
  ASSERT_NE(CreatePose(model.EditState(), -1, "kept"), nullptr);
  ASSERT_TRUE(WriteDocument(Root(), model));
  model.EditState().Reset();
  ASSERT_TRUE(ReadDocument(Root(), model));
  ASSERT_EQ(PoseCount(model.EditState()), 1);
  EXPECT_EQ(std::string(NameOf(PoseAt(model.EditState(), 0)->name)), "kept");
}

// ---------------------------------------------------------------- round trip

TEST_F(DocumentFormatTest, RigSurvivesWriteThenReadIntoAnotherDocument) {
  // Layout: 0 body (4 vertices), 1 arm (3), 2 bone (none), 3 empty, 4 tail (2).
  MQObject body = AddMesh("body", 4);
  MQObject arm = AddMesh("arm", 3, 1);
  MQObject bone = AddObject("bone", 2);
  MQObject gone = AddObject("gone");
  MQObject tail = AddMesh("tail", 2);
  document_->DeleteObject(3);
  (void)gone;
  EnsureRigRecords(doc_, slots_);

  SetBoneFlag(arm, slots_, OBase::usetrs, false);
  SetBoneFlag(arm, slots_, OBase::connect, true);
  SetBoneFlag(bone, slots_, OBase::userot, false);
  SetBoneFlag(bone, slots_, OBase::usescl, false);
  SetWeightColour(arm, slots_, UCOLOR{10, 20, 30, 255});
  SetRotationLimits(arm, slots_, FVECTOR3(-1.0f, -2.0f, -3.0f), FVECTOR3(1.0f, 2.0f, 3.5f));

  SetVertexWeights(body, slots_, 0, Weights({{Uid(body), 0.5f}, {Uid(arm), 0.5f}}));
  SetVertexWeights(body, slots_, 1, Weights({{Uid(arm), 0.29f}, {Uid(bone), 0.71f}}));
  SetVertexWeights(body, slots_, 2, Weights({{Uid(bone), 0.3f}}));
  SetVertexWeights(body, slots_, 3, Weights({}));
  SetVertexWeights(arm, slots_, 0,
                   Weights({{Uid(body), 0.25f}, {Uid(arm), 0.25f}, {Uid(bone), 0.25f},
                            {Uid(tail), 0.25f}}));

  // body: morph 2, not current, vertex 1 moved, vertex 2 moved within tolerance.
  const std::string smile = platform::Utf8ToAnsi("笑顔");
  ASSERT_TRUE(CreateMorphTarget(body, slots_, 2, smile, "face"));
  ASSERT_TRUE(StoreShape(body, slots_, 2));
  VMorphTarget moved;
  moved.valid = 1;
  moved.position = FVECTOR3(1.5f, 2.0f, 3.0f);
  PokeVertex(body, slots_.MorphShape(2), 1, &moved, sizeof moved);
  moved.position = FVECTOR3(2.001f, 4.0f, 6.0f);
  PokeVertex(body, slots_.MorphShape(2), 2, &moved, sizeof moved);
  // tail: morph 0 current, so its shape is stored against the base shape.
  ASSERT_TRUE(CreateMorphTarget(tail, slots_, 0, "wave", ""));
  ASSERT_TRUE(StoreShape(tail, slots_, 0));
  moved.position = FVECTOR3(0.0f, 0.25f, 0.0f);
  PokeVertex(tail, slots_.MorphShape(0), 0, &moved, sizeof moved);
  // Vertex 1 equals the base (not the shown vertex), so only the base stores it.
  moved.position = FVECTOR3(-4.0f, 2.0f, 3.0f);
  PokeVertex(tail, slots_.MorphShape(-1), 1, &moved, sizeof moved);
  PokeVertex(tail, slots_.MorphShape(0), 1, &moved, sizeof moved);
  ASSERT_TRUE(SetCurrentMorphIndex(tail, slots_, 0));

  // Pose ids 0 and 2 (1 deleted); the reader renumbers them 0 and 1.
  const QuorvelPose* walk = CreatePose(state_, -1, "walk");
  ASSERT_NE(CreatePose(state_, -1, "gap"), nullptr);
  const QuorvelPose* idle = CreatePose(state_, -1, "idle");
  ASSERT_TRUE(DeletePose(state_, doc_, slots_, PoseAt(state_, 1)));
  ASSERT_EQ(idle->id, 2);
  OPoseTSQ tsq;
  tsq.trs = FVECTOR3(1.0f, 2.0f, 3.0f);
  tsq.rot = FQUAT(0.0f, 0.0f, 0.6f, 0.8f);
  SetPoseTSQ(arm, slots_, walk->id, tsq);
  SetPoseMorphWeight(body, slots_, walk->id, 2, 0.25f);
  SetPoseMorphWeight(body, slots_, walk->id, 5, 0.5f);  // no shape, still stored
  OPoseTSQ scaled;
  scaled.scl = FVECTOR3(2.0f, 2.0f, 2.5f);
  SetPoseTSQ(bone, slots_, idle->id, scaled);

  ASSERT_TRUE(Write());
  // Through the file form, as a saved document goes.
  std::unique_ptr<mqhost::XmlElement> reloaded;
  std::string error;
  ASSERT_TRUE(mqhost::ParseXml(mqhost::WriteXml(*root_), &reloaded, &error)) << error;
  root_ = std::move(reloaded);

  // The target has the same layout but other unique ids and fresh records.
  MQDocument t = NewTarget();
  target_->ReserveUids(1000, 1000, 1000);
  MQObject t_body = AddMeshTo(target_, "body", 4);
  MQObject t_arm = AddMeshTo(target_, "arm", 3, 1);
  MQObject t_bone = AddMeshTo(target_, "bone", 0, 2);
  AddMeshTo(target_, "gone", 0);
  MQObject t_tail = AddMeshTo(target_, "tail", 2);
  target_->DeleteObject(3);
  ASSERT_NE(Uid(t_arm), Uid(arm));
  EnsureRigRecords(t, target_slots_);
  ASSERT_TRUE(ReadDocument(Root(), t, &target_state_, target_slots_));

  // Bone records.
  const struct {
    MQObject source;
    MQObject target;
  } pairs[] = {{body, t_body}, {arm, t_arm}, {bone, t_bone}, {tail, t_tail}};
  const uint32_t stored_bits = OBase::usetrs | OBase::usescl | OBase::userot | OBase::connect;
  for (const auto& p : pairs) {
    SCOPED_TRACE(mqhost::ToObject(p.source)->name);
    EXPECT_EQ(GetBoneFlags(p.target, target_slots_) & stored_bits,
              GetBoneFlags(p.source, slots_) & stored_bits);
    const UCOLOR a = GetWeightColour(p.source, slots_);
    const UCOLOR b = GetWeightColour(p.target, target_slots_);
    EXPECT_EQ((std::vector<int>{a.r, a.g, a.b, 255}), (std::vector<int>{b.r, b.g, b.b, b.a}));
    FVECTOR3 smin, smax, tmin, tmax;
    GetRotationLimits(p.source, slots_, smin, smax);
    GetRotationLimits(p.target, target_slots_, tmin, tmax);
    EXPECT_VEC3_NEAR(tmin, smin, 1e-6f);
    EXPECT_VEC3_NEAR(tmax, smax, 1e-6f);
    EXPECT_EQ(GetCurrentMorphIndex(p.target, target_slots_), GetCurrentMorphIndex(p.source, slots_));
  }
  EXPECT_TRUE(Logged("1:vwcol(10,20,30)"));

  // Weights, by position; 0.29 is stored as 29 and read back as 0.29.
  const struct {
    MQObject obj;
    int vertex;
    std::vector<std::pair<int, float>> expected;
  } weights[] = {
      {t_body, 0, {{0, 0.5f}, {1, 0.5f}}},
      {t_body, 1, {{1, 0.29f}, {2, 1.0f - 0.29f}}},
      {t_body, 2, {{2, 1.0f}}},
      {t_body, 3, Own(0)},
      {t_arm, 0, {{0, 0.25f}, {1, 0.25f}, {2, 0.25f}, {4, 0.25f}}},
      {t_arm, 1, {{1, 0.0f}}},  // painted slot, empty record: written as index only
      {t_tail, 0, {}},          // the tail never had weights
  };
  for (const auto& w : weights) {
    SCOPED_TRACE(mqhost::ToObject(w.obj)->name + " vertex " + std::to_string(w.vertex));
    auto got = EntriesAt(t, target_slots_, w.obj, w.vertex);
    if (w.obj == t_arm && w.vertex == 1) {
      EXPECT_EQ(got, Own(1));
      continue;
    }
    EXPECT_EQ(got, w.expected);
  }
  EXPECT_FALSE(HasWeights(t_tail, target_slots_));

  // Morph targets: names in the code page, groups, shapes.
  OMorphTarget rec;
  ASSERT_TRUE(GetMorphTargetRecord(t_body, target_slots_, 2, rec));
  EXPECT_EQ(std::string(NameOf(rec.name)), smile);
  std::string group;
  ASSERT_TRUE(GetMorphGroupName(t_body, target_slots_, rec.group, group));
  EXPECT_EQ(group, "face");
  ASSERT_TRUE(GetMorphTargetRecord(t_tail, target_slots_, 0, rec));
  EXPECT_EQ(std::string(NameOf(rec.name)), "wave");
  ASSERT_TRUE(GetMorphGroupName(t_tail, target_slots_, rec.group, group));
  EXPECT_EQ(group, kBaseMorphGroupName);
  EXPECT_EQ(CountMorphTargets(t_body, target_slots_), 1);
  const struct {
    MQObject obj;
    int k;
    int vertex;
    FVECTOR3 expected;
  } shapes[] = {
      {t_body, 2, 0, FVECTOR3(0.0f, 0.0f, 0.0f)},
      {t_body, 2, 1, FVECTOR3(1.5f, 2.0f, 3.0f)},
      {t_body, 2, 2, FVECTOR3(2.0f, 4.0f, 6.0f)},  // within tolerance: not stored
      {t_tail, -1, 0, FVECTOR3(0.0f, 0.0f, 0.0f)},
      {t_tail, -1, 1, FVECTOR3(-4.0f, 2.0f, 3.0f)},
      {t_tail, 0, 0, FVECTOR3(0.0f, 0.25f, 0.0f)},
      {t_tail, 0, 1, FVECTOR3(-4.0f, 2.0f, 3.0f)},  // completed from the base shape
  };
  for (const auto& s : shapes) {
    SCOPED_TRACE(mqhost::ToObject(s.obj)->name + " shape " + std::to_string(s.k) + " vertex " +
                 std::to_string(s.vertex));
    VMorphTarget got;
    ASSERT_TRUE(host_records::ReadVertex(s.obj, target_slots_.MorphShape(s.k), s.vertex, got));
    EXPECT_EQ(got.valid, 1);
    EXPECT_VEC3_NEAR(got.position, s.expected, 1e-6f);
  }
  EXPECT_TRUE(Logged("LoadMorphTarget[body]:index(2/" +
                     std::to_string(target_slots_.MorphShape(2)) + "):name(" + smile + ")"));

  // Poses: list order kept, ids first-free, values and weights.
  ASSERT_EQ(PoseCount(target_state_), 2);
  EXPECT_EQ(std::string(NameOf(PoseAt(target_state_, 0)->name)), "walk");
  EXPECT_EQ(PoseAt(target_state_, 0)->id, 0);
  EXPECT_EQ(std::string(NameOf(PoseAt(target_state_, 1)->name)), "idle");
  EXPECT_EQ(PoseAt(target_state_, 1)->id, 1);
  EXPECT_EQ(CurrentPoseId(target_state_), 1);
  OPoseTSQ got;
  ASSERT_TRUE(GetPoseTSQ(t_arm, target_slots_, 0, got));
  EXPECT_VEC3_NEAR(got.trs, tsq.trs, 1e-6f);
  EXPECT_QUAT_NEAR(got.rot, tsq.rot, 1e-6f);
  EXPECT_FALSE(GetPoseTSQ(t_body, target_slots_, 0, got));
  ASSERT_TRUE(GetPoseTSQ(t_bone, target_slots_, 1, got));
  EXPECT_VEC3_NEAR(got.scl, scaled.scl, 1e-6f);
  OPoseMorph morph;
  ASSERT_TRUE(GetPoseMorph(t_body, target_slots_, 0, morph));
  for (int k = 0; k < kMaxMorphTargets; ++k) {
    EXPECT_EQ(morph.weight[k], k == 2 ? 0.25f : (k == 5 ? 0.5f : 0.0f)) << k;
  }
  EXPECT_TRUE(Logged("obj[arm]:trs:(1.000000,2.000000,3.000000)"));
  EXPECT_TRUE(Logged("obj[arm]:rot:(0.000000,0.000000,0.600000,0.800000)"));
  EXPECT_TRUE(Logged("obj[bone]:scl:(2.000000,2.000000,2.500000)"));
  EXPECT_TRUE(Logged("obj[body]:morph[5]:0.500000"));
}

// ---------------------------------------------------------------- writer

TEST_F(DocumentFormatTest, WriterLeavesOutWhatTheReaderRebuilds) {
  MQObject body = AddMesh("body", 3);
  MQObject limited = AddMesh("limited", 0);
  MQObject bone = AddObject("bone");
  MQObject deleted = AddObject("deleted");
  AddObject("bare");  // never receives a bone record
  EnsureRigRecords(doc_, slots_);
  HostApi().MQObj_FreeUserData(mqhost::ToHandle(document_->ObjectAt(4)), slots_.OBase());
  SetRotationLimits(limited, slots_, FVECTOR3(-kLimitPi, -1.0f, -kLimitPi),
                    FVECTOR3(kLimitPi, kLimitPi, kLimitPi));
  SetWeightColour(bone, slots_, UCOLOR{1, 2, 3, 4});
  SetVertexWeights(body, slots_, 0, Weights({{Uid(body), 0.29f}, {Uid(bone), 0.71f}}));
  SetVertexWeights(body, slots_, 1, Weights({{Uid(deleted), 0.999f}, {Uid(body), 0.001f}}));
  SetVertexWeights(body, slots_, 2, Weights({{Uid(bone), -0.015f}, {Uid(body), 1.0f}}));
  document_->DeleteObject(3);
  ASSERT_TRUE(CreateMorphTarget(body, slots_, 4, "flat", "g"));
  ASSERT_TRUE(StoreShape(body, slots_, 4));
  VMorphTarget near;
  near.valid = 1;
  near.position = FVECTOR3(1.0019f, 2.0f, 2.9985f);  // vertex 1 is (1, 2, 3)
  PokeVertex(body, slots_.MorphShape(4), 1, &near, sizeof near);
  const QuorvelPose* rest = CreatePose(state_, -1, "rest");
  SetPoseMorphWeight(bone, slots_, rest->id, 0, 0.5f);  // bone has no morph shape

  ASSERT_TRUE(Write());
  EXPECT_EQ(Attr(&Model(), "ver"), "10000");
  EXPECT_EQ(ObjElement(3), nullptr);  // empty position

  // Attributes of the obj elements: flags, colour, limits, current morph target.
  const struct {
    int position;
    const char* attribute;
    const char* expected;
  } attributes[] = {
      {0, "usetrs", "1"},       {0, "usescl", "1"},
      {0, "userot", "1"},       {0, "connect", "0"},
      {2, "vwcol", "1 2 3"},    {0, "rot_limit0", "<absent>"},
      {0, "rot_limit1", "<absent>"},
      {1, "rot_limit0", "-3.141593 -1.000000 -3.141593"},
      {1, "rot_limit1", "3.141593 3.141593 3.141593"},
      {4, "usetrs", "0"},       {4, "connect", "0"},
      {4, "vwcol", "0 0 0"},    {0, "current_morphtarget_index", "<absent>"},
  };
  for (const auto& a : attributes) {
    EXPECT_EQ(Attr(ObjElement(a.position), a.attribute), a.expected)
        << "obj " << a.position << " " << a.attribute;
  }

  // Weights: per rounded to the nearest percent, no last weight, a deleted
  // bone as -1.
  const mqhost::XmlElement* list = ObjElement(0)->FirstChild("VertexWeight");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->ChildCount(), 3u);
  const struct {
    int vertex;
    const char* attribute;
    const char* expected;
  } entries[] = {
      {0, "obj0", "0"}, {0, "per0", "29"}, {0, "obj1", "2"}, {0, "per1", "<absent>"},
      {1, "obj0", "-1"}, {1, "per0", "100"}, {1, "obj1", "0"},
      {2, "per0", "-1"},  // -1.4999..., to the nearest
  };
  for (const auto& e : entries) {
    EXPECT_EQ(Attr(&list->Child(static_cast<std::size_t>(e.vertex)), e.attribute), e.expected)
        << "vertex " << e.vertex << " " << e.attribute;
  }
  EXPECT_EQ(ObjElement(2)->FirstChild("VertexWeight"), nullptr);
  EXPECT_EQ(ObjElement(0)->FirstChild("BaseMorphTarget"), nullptr);  // no current target

  // A morph target equal to the shape within 0.002 keeps no vertices.
  const mqhost::XmlElement* target = ObjElement(0)->FirstChild("MorphTarget");
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(Attr(target, "index"), "4");
  EXPECT_EQ(Attr(target, "name"), "flat");
  EXPECT_EQ(Attr(target, "group"), "g");
  EXPECT_EQ(target->ChildCount(), 0u);

  // A pose nobody deviates in is stored empty (the bone's weight has no shape).
  const mqhost::XmlElement* pose = Model().FirstChild("pose");
  ASSERT_NE(pose, nullptr);
  EXPECT_EQ(Attr(pose, "name"), "rest");
  EXPECT_EQ(pose->ChildCount(), 0u);
}

TEST_F(DocumentFormatTest, WriterStoresOnlyThePoseValuesThatDeviate) {
  MQObject a = AddMesh("a", 1);
  MQObject b = AddMesh("b", 1);
  EnsureRigRecords(doc_, slots_);
  ASSERT_TRUE(CreateMorphTarget(b, slots_, 1, "m", ""));
  ASSERT_TRUE(StoreShape(b, slots_, 1));
  const QuorvelPose* pose = CreatePose(state_, -1, "p");
  OPoseTSQ tsq;
  tsq.scl = FVECTOR3(1.0f, 1.0f, 0.5f);
  SetPoseTSQ(a, slots_, pose->id, tsq);
  SetPoseMorphWeight(b, slots_, pose->id, 1, 0.75f);
  SetPoseMorphWeight(b, slots_, pose->id, 3, -0.5f);  // no shape, but the pose is morphed
  ASSERT_TRUE(Write());

  const mqhost::XmlElement* p = Model().FirstChild("pose");
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(p->ChildCount(), 2u);
  const struct {
    int child;
    const char* attribute;
    const char* expected;
  } cases[] = {
      {0, "obj", "0"},         {0, "scl", "1.000000 1.000000 0.500000"},
      {0, "trs", "<absent>"},  {0, "rot", "<absent>"},
      {0, "morph0", "<absent>"},
      {1, "obj", "1"},         {1, "scl", "<absent>"},
      {1, "morph1", "0.750000"}, {1, "morph3", "-0.500000"},
      {1, "morph0", "<absent>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Attr(&p->Child(static_cast<std::size_t>(c.child)), c.attribute), c.expected)
        << "poseobj " << c.child << " " << c.attribute;
  }
}

// ---------------------------------------------------------------- reader: version

TEST_F(DocumentFormatTest, ReaderSkipsModelsBelowTheSupportedVersion) {
  AddMesh("a", 1);
  EnsureRigRecords(doc_, slots_);
  const std::string unsupported = platform::Utf8ToAnsi("対応外の形式です!!");
  const struct {
    const char* ver_attribute;
    bool loads;
  } cases[] = {
      {"", false},         {"ver=\"9999\"", false}, {"ver=\"abc\"", false},
      {"ver=\"-10000\"", false}, {"ver=\"10000\"", true}, {"ver=\" 20000x\"", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ver_attribute);
    state_.Reset();
    lines_.clear();
    Parse(std::string("<model ") + c.ver_attribute + "><pose name=\"p\"/></model>");
    ASSERT_TRUE(Read());
    EXPECT_EQ(PoseCount(state_), c.loads ? 1 : 0);
    EXPECT_EQ(Logged(unsupported), !c.loads);
  }
}

TEST_F(DocumentFormatTest, ReaderHandlesEveryModelAndIgnoresUnknownElements) {
  AddMesh("a", 1);
  EnsureRigRecords(doc_, slots_);
  Parse("<model ver=\"10000\"><pose name=\"one\"/><junk/></model><other/>"
        "<model ver=\"1\"><pose name=\"old\"/></model>"
        "<model ver=\"10000\"><pose name=\"two\"/></model>");
  ASSERT_TRUE(Read());
  ASSERT_EQ(PoseCount(state_), 2);
  EXPECT_EQ(std::string(NameOf(PoseAt(state_, 0)->name)), "one");
  EXPECT_EQ(std::string(NameOf(PoseAt(state_, 1)->name)), "two");
}

// ---------------------------------------------------------------- reader: obj

TEST_F(DocumentFormatTest, ReaderAppliesObjectAttributesWithTheirDefaults) {
  MQObject mesh = AddMesh("mesh", 2);
  EnsureRigRecords(doc_, slots_);
  const OBase defaults;
  const struct {
    const char* attributes;
    uint32_t flags;             // of usetrs|usescl|userot|connect
    std::vector<int> colour;    // r g b a; empty: the colour set before (40, 50, 60, 70)
    int current_morph;
    FVECTOR3 limit_min;
  } cases[] = {
      {"", OBase::usetrs | OBase::usescl | OBase::userot, {}, -1, defaults.limit_min},
      {"usetrs=\"0\" usescl=\"2\" userot=\"3\" connect=\"-1\"", OBase::userot | OBase::connect,
       {}, -1, defaults.limit_min},
      {"vwcol=\"300 -5 128\"", OBase::usetrs | OBase::usescl | OBase::userot, {255, 0, 128, 255},
       -1, defaults.limit_min},
      {"vwcol=\"99999999999999 7\"", OBase::usetrs | OBase::usescl | OBase::userot,
       {255, 7, 60, 255}, -1, defaults.limit_min},  // missing blue stays
      {"current_morphtarget_index=\"19\"", OBase::usetrs | OBase::usescl | OBase::userot, {}, 19,
       defaults.limit_min},
      {"current_morphtarget_index=\"20\"", OBase::usetrs | OBase::usescl | OBase::userot, {}, 7,
       defaults.limit_min},
      {"current_morphtarget_index=\"-2\"", OBase::usetrs | OBase::usescl | OBase::userot, {}, 7,
       defaults.limit_min},
      {"rot_limit0=\"-1 -2 -3\"", OBase::usetrs | OBase::usescl | OBase::userot, {}, -1,
       defaults.limit_min},  // alone it is ignored
      {"rot_limit0=\"-1 -2\" rot_limit1=\"1 nan 3\"",
       OBase::usetrs | OBase::usescl | OBase::userot, {}, -1,
       FVECTOR3(-1.0f, -2.0f, defaults.limit_min.z)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.attributes);
    OBase fresh;
    fresh.weight_colour = UCOLOR{40, 50, 60, 70};
    fresh.current_morph = 7;
    ASSERT_TRUE(SetBoneRecord(mesh, slots_, fresh));
    Parse(std::string("<model ver=\"10000\"><obj obj=\"0\" ") + c.attributes + "/></model>");
    ASSERT_TRUE(Read());
    OBase rec;
    ASSERT_TRUE(GetBoneRecord(mesh, slots_, rec));
    EXPECT_EQ(rec.flags & (OBase::usetrs | OBase::usescl | OBase::userot | OBase::connect),
              c.flags);
    const std::vector<int> expected = c.colour.empty() ? std::vector<int>{40, 50, 60, 70} : c.colour;
    EXPECT_EQ((std::vector<int>{rec.weight_colour.r, rec.weight_colour.g, rec.weight_colour.b,
                                rec.weight_colour.a}),
              expected);
    EXPECT_EQ(rec.current_morph, c.current_morph);
    EXPECT_VEC3_NEAR(rec.limit_min, c.limit_min, 0.0f);
  }
  EXPECT_TRUE(Logged("0:vwcol(255,0,128)"));
}

TEST_F(DocumentFormatTest, ReaderSkipsObjElementsNamingNoObject) {
  MQObject first = AddMesh("first", 1);
  AddMesh("hole", 1);
  document_->DeleteObject(1);
  EnsureRigRecords(doc_, slots_);
  const std::vector<std::string> positions = {"", "obj=\"-1\"", "obj=\"1\"", "obj=\"2\"",
                                              "obj=\"4294967296\"", "obj=\"-2147483649\""};
  for (const auto& p : positions) {
    SCOPED_TRACE(p);
    lines_.clear();
    Parse("<model ver=\"10000\"><obj " + p + " vwcol=\"1 2 3\"/></model>");
    ASSERT_TRUE(Read());
    EXPECT_TRUE(lines_.empty());
  }
  // A number without digits is 0, the first object.
  Parse("<model ver=\"10000\"><obj obj=\"x\" vwcol=\"1 2 3\"/></model>");
  ASSERT_TRUE(Read());
  EXPECT_EQ(GetWeightColour(first, slots_).g, 2);
}

// ---------------------------------------------------------------- reader: weights

TEST_F(DocumentFormatTest, ReaderBuildsWeightsByTheRemainderRule) {
  // Vertex v of `mesh` (position 0) is described by case v.
  const struct {
    const char* attributes;
    std::vector<std::pair<int, float>> expected;
  } cases[] = {
      {"obj0=\"1\" per0=\"50\" obj1=\"2\"", {{1, 0.5f}, {2, 0.5f}}},
      {"obj0=\"1\" per0=\"28\" obj1=\"2\"", {{1, 0.28f}, {2, 1.0f - 0.28f}}},
      {"obj0=\"1\" per0=\"70\" obj1=\"2\" per1=\"40\" obj2=\"0\"", {{1, 0.7f}, {2, 0.4f}, {0, 0.0f}}},
      {"obj0=\"2\"", {{2, 1.0f}}},
      {"", Own(0)},
      {"obj0=\"1\" per0=\"10\" obj1=\"3\"", Own(0)},   // empty position
      {"obj0=\"-1\"", Own(0)},                         // deleted bone
      {"obj0=\"99999999999\"", Own(0)},
      {"obj0=\"1\" obj1=\"2\"", {{1, 0.0f}, {2, 1.0f}}},   // per0 missing counts as 0
      {"obj0=\"1\" per0=\"30\" obj1=\"1\"", {{1, 1.0f}}},  // one bone twice: one entry
      {"obj1=\"1\"", Own(0)},                          // obj0 absent: no entries
      {"obj0=\"1\" per0=\"25\" obj1=\"2\" per1=\"25\" obj2=\"0\" per2=\"25\" obj3=\"4\" obj4=\"2\"",
       {{1, 0.25f}, {2, 0.25f}, {0, 0.25f}, {4, 0.25f}}},
      {"obj0=\"1\" per0=\"-2147483648\" obj1=\"2\"", {{1, -21474836.48f}, {2, 1.0f + 21474836.48f}}},
  };
  const int n = static_cast<int>(std::size(cases));
  MQObject mesh = AddMesh("mesh", n + 1);
  AddObject("b1");
  AddObject("b2");
  AddObject("hole");
  AddObject("b4");
  document_->DeleteObject(3);
  EnsureRigRecords(doc_, slots_);
  std::string xml = "<model ver=\"10000\"><obj obj=\"0\"><VertexWeight>";
  for (int v = 0; v < n; ++v) {
    xml += "<vertex index=\"" + std::to_string(v) + "\" " + cases[v].attributes + "/>";
  }
  // Indices that name no vertex change nothing.
  for (const char* bad : {"-1", "99999999999", "-99999999999", "2147483647"}) {
    xml += std::string("<vertex index=\"") + bad + "\" obj0=\"1\"/>";
  }
  xml += "<vertex obj0=\"1\"/></VertexWeight></obj></model>";
  Parse(xml);
  ASSERT_TRUE(Read());
  for (int v = 0; v < n; ++v) {
    SCOPED_TRACE(cases[v].attributes);
    const auto got = EntriesAt(doc_, slots_, mesh, v);
    ASSERT_EQ(got.size(), cases[v].expected.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
      EXPECT_EQ(got[k].first, cases[v].expected[k].first) << k;
      EXPECT_FLOAT_EQ(got[k].second, cases[v].expected[k].second) << k;
    }
  }
  // The unlisted last vertex keeps its own-object default.
  EXPECT_EQ(EntriesAt(doc_, slots_, mesh, n), Own(0));
}

// ---------------------------------------------------------------- reader: shapes

TEST_F(DocumentFormatTest, ReaderCompletesShapesFromTheBaseWhereverItStands) {
  MQObject mesh = AddMesh("mesh", 3);  // vertices (i, 2i, 3i)
  EnsureRigRecords(doc_, slots_);
  // BaseMorphTarget after the MorphTarget, morph target 1 current.
  Parse("<model ver=\"10000\"><obj obj=\"0\" current_morphtarget_index=\"1\">"
        "<MorphTarget index=\"1\" name=\"m\" group=\"g\"><vertex index=\"2\" pos=\"9 9\"/>"
        "<vertex index=\"7\" pos=\"1 1 1\"/><vertex index=\"0\"/></MorphTarget>"
        "<BaseMorphTarget><vertex index=\"1\" pos=\"5 6 7\"/><vertex index=\"-1\" pos=\"1 1 1\"/>"
        "</BaseMorphTarget><BaseMorphTarget><vertex index=\"0\" pos=\"8 8 8\"/></BaseMorphTarget>"
        "</obj></model>");
  ASSERT_TRUE(Read());
  const struct {
    int k;
    int vertex;
    FVECTOR3 expected;
  } cases[] = {
      {-1, 0, FVECTOR3(0, 0, 0)}, {-1, 1, FVECTOR3(5, 6, 7)}, {-1, 2, FVECTOR3(2, 4, 6)},
      {1, 0, FVECTOR3(0, 0, 0)},  {1, 1, FVECTOR3(5, 6, 7)},  {1, 2, FVECTOR3(9, 9, 6)},
  };
  for (const auto& c : cases) {
    VMorphTarget got;
    ASSERT_TRUE(host_records::ReadVertex(mesh, slots_.MorphShape(c.k), c.vertex, got));
    EXPECT_VEC3_NEAR(got.position, c.expected, 0.0f) << "shape " << c.k << " vertex " << c.vertex;
  }
  EXPECT_EQ(GetCurrentMorphIndex(mesh, slots_), 1);
}

TEST_F(DocumentFormatTest, ReaderSkipsMorphTargetsItCannotCreateAndCutsLongNames) {
  MQObject mesh = AddMesh("mesh", 1);
  MQObject empty = AddObject("empty");
  EnsureRigRecords(doc_, slots_);
  const std::string long_name(300, 'n');
  const std::string long_group(400, 'g');
  Parse("<model ver=\"10000\"><obj obj=\"0\">"
        "<MorphTarget index=\"20\"/><MorphTarget index=\"-1\"/><MorphTarget/>"
        "<MorphTarget index=\"99999999999\"/>"
        "<MorphTarget index=\"3\" name=\"" + long_name + "\" group=\"" + long_group + "\"/>"
        "<MorphTarget index=\"3\" name=\"again\"/>"
        "<MorphTarget index=\"x\"/>"
        "</obj><obj obj=\"1\"><MorphTarget index=\"0\"/><VertexWeight/></obj></model>");
  ASSERT_TRUE(Read());
  EXPECT_EQ(CountMorphTargets(mesh, slots_), 2);  // 3, and 0 from "x"
  OMorphTarget rec;
  ASSERT_TRUE(GetMorphTargetRecord(mesh, slots_, 3, rec));
  EXPECT_EQ(std::string(NameOf(rec.name)), long_name.substr(0, kMaxNameLength));
  std::string group;
  ASSERT_TRUE(GetMorphGroupName(mesh, slots_, rec.group, group));
  EXPECT_EQ(group, long_group.substr(0, kMaxNameLength));
  ASSERT_TRUE(GetMorphTargetRecord(mesh, slots_, 0, rec));
  EXPECT_EQ(std::string(NameOf(rec.name)), kDefaultMorphTargetName);
  // An object without vertices takes no morph targets or weights.
  EXPECT_EQ(CountMorphTargets(empty, slots_), 0);
  EXPECT_FALSE(HasWeights(empty, slots_));
}

// ---------------------------------------------------------------- reader: poses

TEST_F(DocumentFormatTest, ReaderTakesPoseValuesWithDefaultsForWhatIsMissingOrMalformed) {
  const struct {
    const char* attributes;
    bool has_tsq;
    OPoseTSQ tsq;
    std::vector<std::pair<int, float>> morphs;
  } cases[] = {
      {"", false, OPoseTSQ(), {}},
      {"trs=\"0 0 0\" scl=\"1 1 1\" rot=\"0 0 0 1\" morph3=\"0\"", false, OPoseTSQ(), {}},
      {"trs=\"1 2\"", true, {FVECTOR3(1, 2, 0), FVECTOR3(1, 1, 1), FQUAT()}, {}},
      {"scl=\"nan 3 1e50\"", false, OPoseTSQ(), {}},
      {"scl=\"2 nan 4\"", true, {FVECTOR3(), FVECTOR3(2, 1, 1), FQUAT()}, {}},
      {"rot=\"0,5 0 0 1\"", false, OPoseTSQ(), {}},
      {"rot=\"0 0 1 0\" trs=\"inf\"", true, {FVECTOR3(), FVECTOR3(1, 1, 1), FQUAT(0, 0, 1, 0)}, {}},
      {"morph0=\"0.5\" morph19=\"-1.25e0x\" morph20=\"7\" morph7=\"abc\"", false, OPoseTSQ(),
       {{0, 0.5f}, {19, -1.25f}}},
  };
  const int n = static_cast<int>(std::size(cases));
  std::vector<MQObject> objects;
  for (int i = 0; i < n; ++i) objects.push_back(AddMesh(("o" + std::to_string(i)).c_str(), 1));
  EnsureRigRecords(doc_, slots_);
  std::string xml = "<model ver=\"10000\"><pose name=\"p\">";
  for (int i = 0; i < n; ++i) {
    xml += "<poseobj obj=\"" + std::to_string(i) + "\" " + cases[i].attributes + "/>";
  }
  xml += "<poseobj trs=\"1 1 1\"/><poseobj obj=\"999\" trs=\"1 1 1\"/></pose></model>";
  Parse(xml);
  ASSERT_TRUE(Read());
  ASSERT_EQ(PoseCount(state_), 1);
  const int id = PoseAt(state_, 0)->id;
  for (int i = 0; i < n; ++i) {
    SCOPED_TRACE(cases[i].attributes);
    OPoseTSQ tsq;
    EXPECT_EQ(GetPoseTSQ(objects[i], slots_, id, tsq), cases[i].has_tsq);
    EXPECT_VEC3_NEAR(tsq.trs, cases[i].tsq.trs, 0.0f);
    EXPECT_VEC3_NEAR(tsq.scl, cases[i].tsq.scl, 0.0f);
    EXPECT_QUAT_NEAR(tsq.rot, cases[i].tsq.rot, 0.0f);
    OPoseMorph morph;
    EXPECT_EQ(GetPoseMorph(objects[i], slots_, id, morph), !cases[i].morphs.empty());
    OPoseMorph expected;
    for (const auto& m : cases[i].morphs) expected.weight[m.first] = m.second;
    for (int k = 0; k < kMaxMorphTargets; ++k) EXPECT_EQ(morph.weight[k], expected.weight[k]) << k;
  }
  EXPECT_TRUE(Logged("obj[o7]:morph[19]:-1.250000"));
  EXPECT_TRUE(Logged("obj[o2]:trs:(1.000000,2.000000,0.000000)"));
}

TEST_F(DocumentFormatTest, ReaderGivesPosesFirstFreeIdsAndStopsAtTwenty) {
  AddMesh("a", 1);
  EnsureRigRecords(doc_, slots_);
  ASSERT_NE(CreatePose(state_, 1, "existing"), nullptr);
  const std::string long_name(1000, 'p');
  std::string xml = "<model ver=\"10000\"><pose name=\"" + long_name + "\"/><pose/>";
  for (int i = 0; i < 3000; ++i) {
    xml += "<pose name=\"x" + std::to_string(i) + "\"><poseobj obj=\"0\" trs=\"1 0 0\"/></pose>";
  }
  xml += "</model>";
  Parse(xml);
  ASSERT_TRUE(Read());
  ASSERT_EQ(PoseCount(state_), kMaxPoses);
  const struct {
    int position;
    int id;
    std::string name;
  } cases[] = {
      {0, 1, "existing"}, {1, 0, long_name.substr(0, kMaxNameLength)}, {2, 2, ""},
      {3, 3, "x0"},       {19, 19, "x16"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PoseAt(state_, c.position)->id, c.id) << c.position;
    EXPECT_EQ(std::string(NameOf(PoseAt(state_, c.position)->name)), c.name) << c.position;
  }
  EXPECT_EQ(CurrentPoseId(state_), 19);
  EXPECT_FALSE(Logged("x17"));
}

}  // namespace
