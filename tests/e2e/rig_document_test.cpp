// The rig inside the document, through the built plug-in module: the sample
// rigged arm is opened in the substitute host, its rig is loaded and its
// first pose applied, it is saved, and opened again after the plug-in was
// unloaded and loaded afresh, with every value intact. The test program
// reads the host's user data with the plug-in's own rig code.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "examples/sample_rig/sample_rig.h"
#include "host/core/api.h"
#include "host/core/host.h"
#include "host/core/plugin_module.h"
#include "host/driver/driver.h"
#include "host/events/events.h"
#include "host/files/document_file.h"
#include "host/files/xml_tree.h"
#include "main/dlmain.h"
#include "rig/morph_targets.h"
#include "rig/rig_access.h"
#include "rig/slot_table.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"
#include "tests/io/scratch_settings.h"

namespace {

using mqhost::ToHandle;
using quorvel::RigSlotTable;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class RigDocument : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string host_path = mqhost::Host::OwnModulePath();
    ASSERT_EQ(LoadHostApi(host_path.c_str(), HostApi()), TRUE);
  }
  void SetUp() override {
    LoadModule();
    document_ = host_.NewDocument();
    std::string error;
    mqhost::PluginElementMap elements;
    ASSERT_TRUE(mqhost::LoadDocumentFile(QUORVEL_EXAMPLES_DIR "/arm_rig.mqd", document_, &elements,
                                         &error))
        << error;
    host_.SetPluginElements(document_, std::move(elements));
  }
  void TearDown() override {
    if (document_ != nullptr) host_.CloseDocument(document_);
    host_.UnloadPlugins();
  }

  void LoadModule() {
    std::string error;
    plugin_ = host_.LoadPlugin(QUORVEL_PLUGIN_PATH, &error);
    ASSERT_NE(plugin_, nullptr) << error;
  }

  // The modeller opens the document: the plug-in starts, gets the document
  // and the command.
  void Open() {
    ASSERT_EQ(mqhost::SendInitialize(host_, plugin_), TRUE);
    ASSERT_EQ(mqhost::SendNewDocument(host_, document_, "arm_rig.mqd", plugin_), TRUE);
    ASSERT_EQ(mqhost::SendActivate(host_, document_, true, plugin_), TRUE);
    // The same kinds again answer the plug-in's slots.
    ASSERT_TRUE(quorvel::RegisterRigSlots(ToHandle(document_), slots_));
  }

  // Save, close, unload; a fresh plug-in opens what was saved.
  void SaveAndReopen() {
    ASSERT_EQ(mqhost::SendSaveDocument(host_, document_, "arm_rig.mqd", plugin_).answer, TRUE);
    const std::string text = mqhost::WriteDocumentXml(*document_, host_.PluginElements(document_));
    ASSERT_EQ(mqhost::SendEndDocument(host_, document_, plugin_), TRUE);
    ASSERT_EQ(mqhost::SendExit(host_, plugin_), TRUE);
    host_.CloseDocument(document_);
    host_.UnloadPlugins();

    LoadModule();
    document_ = host_.NewDocument();
    mqhost::PluginElementMap elements;
    std::string error;
    ASSERT_TRUE(mqhost::ReadDocumentXml(text, document_, &elements, &error)) << error;
    host_.SetPluginElements(document_, std::move(elements));
    // Only the element carries the rig to the next session.
    document_->DropUserData();
    Open();
  }

  MQObject Object(int index) { return ToHandle(document_->ObjectAt(index)); }
  int32_t Uid(int index) { return static_cast<int32_t>(document_->ObjectAt(index)->uid); }
  std::unique_ptr<mqhost::XmlElement> ElementCopy() {
    return host_.PluginElement(document_, QUORVEL_PRODUCT_ID, QUORVEL_PLUGIN_ID)->Clone();
  }

  // Everything the sample rig holds, as the plug-in left it in the host.
  void ExpectSampleRig() {
    MQObject arm = Object(0), hand = Object(1), elbow = Object(3), wrist = Object(4);
    const int shoulder_uid = Uid(2), elbow_uid = Uid(3), wrist_uid = Uid(4);

    // Weights: 0.29 / 0.71 was stored as whole percent and a remainder.
    quorvel::VWeight rec;
    ASSERT_TRUE(quorvel::GetVertexWeights(arm, slots_, 2, rec));
    ASSERT_EQ(quorvel::Count(rec), 2);
    EXPECT_EQ(rec.entries[0].bone, elbow_uid);
    EXPECT_FLOAT_EQ(rec.entries[0].weight, 0.29f);
    EXPECT_EQ(rec.entries[1].bone, shoulder_uid);
    EXPECT_FLOAT_EQ(rec.entries[1].weight, 0.71f);
    ASSERT_TRUE(quorvel::GetVertexWeights(arm, slots_, 0, rec));
    ASSERT_EQ(quorvel::Count(rec), 1);
    EXPECT_EQ(rec.entries[0].bone, shoulder_uid);
    ASSERT_TRUE(quorvel::GetVertexWeights(hand, slots_, 5, rec));
    ASSERT_EQ(quorvel::Count(rec), 1);
    EXPECT_EQ(rec.entries[0].bone, wrist_uid);
    EXPECT_FALSE(quorvel::HasWeights(elbow, slots_));

    // The morph target and its shape; the arm shows its base shape.
    quorvel::OMorphTarget target;
    ASSERT_TRUE(quorvel::GetMorphTargetRecord(arm, slots_, 0, target));
    EXPECT_STREQ(target.name, "bulge");
    EXPECT_EQ(quorvel::GetCurrentMorphIndex(arm, slots_), -1);
    quorvel::VMorphTarget shape;
    ASSERT_TRUE(mqhost::ToObject(arm)->ReadVertexData(slots_.MorphShape(0), 2, 1, 0,
                                                      sizeof shape, &shape));
    EXPECT_FLOAT_EQ(shape.position.y, 10.0f);
    EXPECT_FLOAT_EQ(shape.position.z, -10.0f);
    EXPECT_FLOAT_EQ(document_->ObjectAt(0)->vertices[2].position.y, 8.0f);

    // Both poses; "bend" (id 0) is current and applied: the wrist's pivot
    // (120, 0, 0) turns 45 degrees about the elbow's (60, 0, 0).
    quorvel::OPoseTSQ tsq;
    ASSERT_TRUE(quorvel::GetPoseTSQ(elbow, slots_, 0, tsq));
    EXPECT_NEAR(tsq.rot.z, 0.382683f, 1e-5f);
    ASSERT_TRUE(quorvel::GetPoseTSQ(wrist, slots_, 1, tsq));
    EXPECT_NEAR(tsq.rot.z, -0.258819f, 1e-5f);
    EXPECT_FLOAT_EQ(quorvel::GetPoseMorphWeight(arm, slots_, 1, 0), 1.0f);
    const FVECTOR3 tip = quorvel::GetWorldMatrix(wrist, slots_).TransformPoint(FVECTOR3{120.0f, 0.0f, 0.0f});
    const float half_root2 = std::sqrt(0.5f);
    EXPECT_NEAR(tip.x, 60.0f + 60.0f * half_root2, 1e-3f);
    EXPECT_NEAR(tip.y, 60.0f * half_root2, 1e-3f);
    EXPECT_NEAR(tip.z, 0.0f, 1e-4f);
  }

  mqhost::Host& host_ = mqhost::Host::Instance();
  quorvel_test::ScratchSettings settings_;
  mqhost::PluginModule* plugin_ = nullptr;
  mqhost::Document* document_ = nullptr;
  RigSlotTable slots_;
};

TEST_F(RigDocument, TheSampleRigSurvivesSavingAndReopening) {
  const auto original = ElementCopy();
  Open();
  ExpectSampleRig();

  // What the plug-in writes is what it read.
  ASSERT_EQ(mqhost::SendSaveDocument(host_, document_, "arm_rig.mqd", plugin_).answer, TRUE);
  EXPECT_TRUE(*ElementCopy() == *original);

  SaveAndReopen();
  ExpectSampleRig();
  ASSERT_EQ(mqhost::SendSaveDocument(host_, document_, "arm_rig.mqd", plugin_).answer, TRUE);
  EXPECT_TRUE(*ElementCopy() == *original);
}

// Weight entries as (object position of the bone, weight), so that they can
// be compared across documents.
std::vector<std::pair<int, float>> WeightsOf(mqhost::Document* document, MQObject obj,
                                            const RigSlotTable& slots, int vertex) {
  std::vector<std::pair<int, float>> out;
  quorvel::VWeight rec;
  if (!quorvel::GetVertexWeights(obj, slots, vertex, rec)) return out;
  for (int k = 0; k < quorvel::Count(rec); ++k) {
    int position = -1;
    for (int i = 0; i < document->ObjectCount(); ++i) {
      const mqhost::Object* o = document->ObjectAt(i);
      if (o != nullptr && static_cast<int32_t>(o->uid) == rec.entries[k].bone) position = i;
    }
    out.emplace_back(position, rec.entries[k].weight);
  }
  return out;
}

// Every weight in whole percent, two and three bones to a vertex: what the
// first reopening reads is kept to the bit through nine more.
TEST_F(RigDocument, WeightsStayTheSameThroughTenSavesAndReopenings) {
  constexpr int kVertices = 100;
  {
    std::unique_ptr<mqhost::Object> grid = document_->NewObject();
    grid->name = "grid";
    for (int v = 0; v < kVertices; ++v) grid->AddVertex(MQPoint{static_cast<float>(v), 0.0f, 0.0f});
    document_->AddObject(std::move(grid));
  }
  const int grid_index = document_->ObjectCount() - 1;
  Open();
  const int32_t shoulder = Uid(2), elbow = Uid(3), wrist = Uid(4);
  for (int v = 0; v < kVertices; ++v) {
    quorvel::VWeight rec;
    quorvel::Init(rec);
    const float w = static_cast<float>(v + 1) / 100.0f;
    rec.entries[0] = {elbow, w};
    rec.entries[1] = {shoulder, 1.0f - w};
    int n = 2;
    if (v % 3 == 0 && v < 90) {
      // A third bone: 0.07, with the first two sharing the rest.
      rec.entries[1].weight = 0.93f - w;
      rec.entries[2] = {wrist, 0.07f};
      n = 3;
    }
    rec.head = static_cast<uint8_t>(quorvel::VWeight::kValidBit | n << 1);
    ASSERT_TRUE(quorvel::SetVertexWeights(Object(grid_index), slots_, v, rec));
  }

  SaveAndReopen();
  std::vector<std::vector<std::pair<int, float>>> first(kVertices);
  for (int v = 0; v < kVertices; ++v) {
    first[static_cast<size_t>(v)] = WeightsOf(document_, Object(grid_index), slots_, v);
    ASSERT_FALSE(first[static_cast<size_t>(v)].empty()) << "vertex " << v;
    EXPECT_EQ(first[static_cast<size_t>(v)][0].second, static_cast<float>(v + 1) / 100.0f)
        << "vertex " << v << ": the first weight is kept to the percent";
  }
  for (int cycle = 2; cycle <= 10; ++cycle) {
    SaveAndReopen();
    for (int v = 0; v < kVertices; ++v) {
      ASSERT_EQ(WeightsOf(document_, Object(grid_index), slots_, v), first[static_cast<size_t>(v)])
          << "vertex " << v << " after reopening " << cycle << " times";
    }
  }
}

// A target made current before it has a shape, then edited: after saving and
// reopening the target is there with its edited shape and the base shape is
// the one from before.
TEST_F(RigDocument, ANewCurrentMorphTargetSurvivesSavingWithTheBaseUntouched) {
  Open();
  MQObject arm = Object(0);
  const std::vector<mqhost::Vertex> base = document_->ObjectAt(0)->vertices;
  ASSERT_TRUE(quorvel::CreateMorphTarget(arm, slots_, 1, "lift", "arm"));
  ASSERT_TRUE(quorvel::SetCurrentMorphTarget(arm, slots_, 1));
  for (int v = 0; v < static_cast<int>(base.size()); ++v) {
    MQPoint p = base[static_cast<size_t>(v)].position;
    p.z += 5.0f;
    HostApi().MQObj_SetVertex(arm, v, &p);
  }

  SaveAndReopen();
  arm = Object(0);
  quorvel::OMorphTarget target;
  ASSERT_TRUE(quorvel::GetMorphTargetRecord(arm, slots_, 1, target)) << "the new target was kept";
  EXPECT_STREQ(target.name, "lift");
  EXPECT_EQ(quorvel::GetCurrentMorphIndex(arm, slots_), 1);
  const mqhost::Object* shown = document_->ObjectAt(0);
  for (size_t v = 0; v < base.size(); ++v) {
    EXPECT_FLOAT_EQ(shown->vertices[v].position.z, base[v].position.z + 5.0f) << "vertex " << v;
  }

  // Back to the base shape: the positions from before the target existed.
  ASSERT_TRUE(quorvel::SetCurrentMorphTarget(arm, slots_, -1));
  for (size_t v = 0; v < base.size(); ++v) {
    EXPECT_FLOAT_EQ(shown->vertices[v].position.x, base[v].position.x) << "vertex " << v;
    EXPECT_FLOAT_EQ(shown->vertices[v].position.y, base[v].position.y) << "vertex " << v;
    EXPECT_FLOAT_EQ(shown->vertices[v].position.z, base[v].position.z) << "vertex " << v;
  }
  // And the edited shape is the target's.
  ASSERT_TRUE(quorvel::SetCurrentMorphTarget(arm, slots_, 1));
  for (size_t v = 0; v < base.size(); ++v) {
    EXPECT_FLOAT_EQ(shown->vertices[v].position.z, base[v].position.z + 5.0f) << "vertex " << v;
  }
}

// A deleted target leaves nothing in the saved document: no record, no
// shape, no weight in any pose; the target beside it keeps its own.
TEST_F(RigDocument, ADeletedMorphTargetLeavesNothingInTheSavedDocument) {
  Open();
  MQObject arm = Object(0);
  ASSERT_TRUE(quorvel::CreateMorphTarget(arm, slots_, 1, "lift", "arm"));
  ASSERT_TRUE(quorvel::SetCurrentMorphTarget(arm, slots_, 1));
  MQPoint p = document_->ObjectAt(0)->vertices[3].position;
  p.z += 5.0f;
  HostApi().MQObj_SetVertex(arm, 3, &p);
  ASSERT_TRUE(quorvel::SetCurrentMorphTarget(arm, slots_, -1));
  ASSERT_TRUE(quorvel::SetPoseMorphWeight(arm, slots_, 1, 1, 0.25f));
  ASSERT_FLOAT_EQ(quorvel::GetPoseMorphWeight(arm, slots_, 1, 0), 1.0f) << "the bulge in \"wave\"";

  ASSERT_TRUE(quorvel::DeleteMorphTarget(arm, slots_, 0));
  SaveAndReopen();
  arm = Object(0);
  EXPECT_FALSE(quorvel::HasMorphTargetRecord(arm, slots_, 0));
  EXPECT_FALSE(quorvel::HasMorphShape(arm, slots_, 0));
  for (int pose = 0; pose < quorvel::kMaxPoses; ++pose) {
    EXPECT_EQ(quorvel::GetPoseMorphWeight(arm, slots_, pose, 0), 0.0f) << "pose " << pose;
  }
  EXPECT_EQ(mqhost::WriteDocumentXml(*document_, host_.PluginElements(document_)).find("bulge"),
            std::string::npos);

  quorvel::OMorphTarget lift;
  ASSERT_TRUE(quorvel::GetMorphTargetRecord(arm, slots_, 1, lift));
  EXPECT_STREQ(lift.name, "lift");
  EXPECT_FLOAT_EQ(quorvel::GetPoseMorphWeight(arm, slots_, 1, 1), 0.25f);
  quorvel::VMorphTarget shape;
  ASSERT_TRUE(mqhost::ToObject(arm)->ReadVertexData(slots_.MorphShape(1), 3, 1, 0, sizeof shape, &shape));
  EXPECT_FLOAT_EQ(shape.position.z, p.z);
}

TEST_F(RigDocument, ShiftHeldNeitherLoadsNorSavesTheRig) {
  {
    mqhost::HeldKey shift(0x10);
    Open();
  }
  EXPECT_FALSE(quorvel::HasWeights(Object(0), slots_));
  EXPECT_FALSE(quorvel::HasMorphTargetRecord(Object(0), slots_, 0));
  // No pose was applied: the wrist stays at rest.
  const FVECTOR3 tip = quorvel::GetWorldMatrix(Object(4), slots_).TransformPoint(FVECTOR3{120.0f, 0.0f, 0.0f});
  EXPECT_FLOAT_EQ(tip.x, 120.0f);
  EXPECT_FLOAT_EQ(tip.y, 0.0f);

  mqhost::HeldKey shift(0x10);
  ASSERT_EQ(mqhost::SendSaveDocument(host_, document_, "arm_rig.mqd", plugin_).answer, TRUE);
  EXPECT_EQ(ElementCopy()->ChildCount(), 0u) << "the host emptied the element; nothing was written";
}

TEST_F(RigDocument, AModelOfVersion9999LoadsNothing) {
  mqhost::XmlElement* model =
      host_.PluginElement(document_, QUORVEL_PRODUCT_ID, QUORVEL_PLUGIN_ID)->FirstChild("model");
  ASSERT_NE(model, nullptr);
  model->SetAttribute("ver", "9999");
  Open();
  EXPECT_FALSE(quorvel::HasWeights(Object(0), slots_));
  EXPECT_FALSE(quorvel::HasMorphTargetRecord(Object(0), slots_, 0));
  quorvel::OPoseTSQ tsq;
  EXPECT_FALSE(quorvel::GetPoseTSQ(Object(3), slots_, 0, tsq));
}

// What the demo shows: another plug-in asks for the posed, skinned model of
// the sample, the driver writes it as OBJ, and the model goes back.
TEST(SampleRig, ThePeerTakesAwayThePosedModel) {
  quorvel_test::ScratchSettings settings;
  const std::string script = QUORVEL_TEST_OUTPUT_DIR "/take_model.mqs";
  const std::string obj = QUORVEL_TEST_OUTPUT_DIR "/posed.obj";
  std::ofstream(script, std::ios::binary) << "activate\nmessage 0x5A3C9E17 0xC4172B86 GetRenderingModel\n";
  std::remove(obj.c_str());
  mqhost::DriverOptions options;
  options.plugins.push_back(QUORVEL_PLUGIN_PATH);
  options.input = QUORVEL_EXAMPLES_DIR "/arm_rig.mqd";
  options.script = script;
  options.export_model = obj;
  std::ostringstream out, err;
  ASSERT_EQ(mqhost::RunDriver(options, out, err), mqhost::kDriverOk) << err.str();
  EXPECT_NE(out.str().find("answer 1"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("the peer handed back 1 model"), std::string::npos) << out.str();

  // The arm's tip ring (x = 120, y = ±8 at rest) turned 45 degrees about the
  // elbow at (60, 0, 0) by the first pose.
  std::ifstream in(obj);
  std::string line;
  std::vector<FVECTOR3> tip;
  bool arm = false;
  while (std::getline(in, line)) {
    if (line.rfind("o ", 0) == 0) arm = line == "o model0";
    float x, y, z;
    if (arm && std::sscanf(line.c_str(), "v %f %f %f", &x, &y, &z) == 3 && x > 95.0f) {
      tip.push_back(FVECTOR3(x, y, z));
    }
  }
  ASSERT_EQ(tip.size(), 4u);
  const float c = std::sqrt(0.5f);
  for (const FVECTOR3& p : tip) {
    const bool upper = p.y > 45.0f;
    EXPECT_NEAR(p.x, 60.0f + 60.0f * c + (upper ? -8.0f : 8.0f) * c, 1e-3f);
    EXPECT_NEAR(p.y, 60.0f * c + (upper ? 8.0f : -8.0f) * c, 1e-3f);
  }
}

// The driver keeps the state a document was opened in, as the modeller
// does: the first edit after opening (a drag that moves the rest skeleton)
// is undone, and the saved document is the opened one.
TEST(SampleRig, TheFirstEditAfterOpeningCanBeUndone) {
  quorvel_test::ScratchSettings settings;
  const std::string script = QUORVEL_TEST_OUTPUT_DIR "/first_edit.mqs";
  std::ofstream(script, std::ios::binary)
      << "activate\ndraw 640 480\ncamera ortho 240\ncamera position 60 0 500\ncamera target 60 0 0\ndraw\n"
         "mouse down left 320 240\nmouse move left 330 250\nmouse move left 340 260\n"
         "mouse up left 340 260\nsave " QUORVEL_TEST_OUTPUT_DIR "/first_edit_moved.mqd\nundo\n";
  mqhost::DriverOptions options;
  options.plugins.push_back(QUORVEL_PLUGIN_PATH);
  options.input = QUORVEL_EXAMPLES_DIR "/arm_rig.mqd";
  options.script = script;
  options.save = QUORVEL_TEST_OUTPUT_DIR "/first_edit_undone.mqd";
  std::ostringstream out, err;
  ASSERT_EQ(mqhost::RunDriver(options, out, err), mqhost::kDriverOk) << err.str();
  EXPECT_NE(out.str().find("undo: state 1 of 2"), std::string::npos) << out.str();
  // The objects' attributes as they were saved (names, hierarchy and
  // transforms): the drag moved them, undo put them back.
  const auto objects = [](const std::string& text) {
    std::string lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      if (line.find("<Object ") != std::string::npos) lines += line.substr(0, line.rfind('"') + 1) + "\n";
    }
    return lines;
  };
  const std::string opened = objects(ReadFile(QUORVEL_EXAMPLES_DIR "/arm_rig.mqd"));
  ASSERT_FALSE(opened.empty());
  EXPECT_NE(objects(ReadFile(QUORVEL_TEST_OUTPUT_DIR "/first_edit_moved.mqd")), opened)
      << "the drag moved the skeleton";
  EXPECT_EQ(objects(ReadFile(QUORVEL_TEST_OUTPUT_DIR "/first_edit_undone.mqd")), opened);
}

// The committed sample is exactly what the generator makes.
TEST(SampleRig, TheCommittedSampleIsTheGeneratorsOutput) {
  quorvel_test::ScratchSettings settings;
  const std::string out = QUORVEL_TEST_OUTPUT_DIR "/arm_rig_regenerated.mqd";
  std::string error;
  ASSERT_TRUE(quorvel_sample::MakeSampleFile(QUORVEL_EXAMPLES_DIR "/arm.mqd", out, &error)) << error;
  const std::string committed = ReadFile(QUORVEL_EXAMPLES_DIR "/arm_rig.mqd");
  ASSERT_FALSE(committed.empty());
  EXPECT_EQ(ReadFile(out), committed)
      << "regenerate with: make_sample_rig examples/arm.mqd examples/arm_rig.mqd";
}

}  // namespace
