#include "examples/sample_rig/sample_rig.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "deform/pose_evaluation.h"
#include "host/core/api.h"
#include "host/files/document_file.h"
#include "host/files/xml_tree.h"
#include "io/document_format.h"
#include "main/dlmain.h"
#include "rig/document_model.h"
#include "rig/morph_targets.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/slot_table.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

namespace quorvel_sample {

namespace {

using mqhost::ToHandle;
using quorvel::RigSlotTable;

constexpr float kPi = 3.14159265358979f;

MQObject AddBone(mqhost::Document* document, const char* name, int depth, float x) {
  std::unique_ptr<mqhost::Object> object = document->NewObject();
  object->name = name;
  object->depth = depth;
  object->transform.translation = FVECTOR3{x, 0.0f, 0.0f};
  mqhost::Object* raw = object.get();
  document->AddObject(std::move(object));
  return ToHandle(raw);
}

MQObject FindObject(mqhost::Document* document, const std::string& name) {
  for (int i = 0; i < document->ObjectCount(); ++i) {
    mqhost::Object* object = document->ObjectAt(i);
    if (object != nullptr && object->name == name) return ToHandle(object);
  }
  return nullptr;
}

int32_t Uid(MQObject obj) { return static_cast<int32_t>(mqhost::ToObject(obj)->uid); }

FQUAT AboutZ(float degrees) {
  return FQUAT::FromAxisAngle(FVECTOR3{0.0f, 0.0f, 1.0f}, degrees * kPi / 180.0f);
}

void Weigh(MQObject obj, const RigSlotTable& slots, int vertex,
           std::initializer_list<std::pair<MQObject, float>> bones) {
  quorvel::VWeight rec;
  quorvel::Init(rec);
  for (const auto& [bone, weight] : bones) quorvel::SetWeight(rec, Uid(bone), weight);
  quorvel::SetVertexWeights(obj, slots, vertex, rec);
}

}  // namespace

bool BuildSampleRig(mqhost::Host& host, mqhost::Document* document, std::string* error) {
  auto fail = [error](const char* message) {
    if (error != nullptr) *error = message;
    return false;
  };
  MQObject arm = FindObject(document, "arm");
  MQObject hand = FindObject(document, "hand");
  if (arm == nullptr || hand == nullptr) return fail("the meshes \"arm\" and \"hand\" are missing");

  // Pivots at x = 0, 60 and 120: each bone sits 60 along its parent.
  MQObject shoulder = AddBone(document, kBoneNames[0], 0, 0.0f);
  MQObject elbow = AddBone(document, kBoneNames[1], 1, 60.0f);
  MQObject wrist = AddBone(document, kBoneNames[2], 2, 60.0f);

  MQDocument doc = ToHandle(document);
  RigSlotTable slots;
  if (!quorvel::RegisterRigSlots(doc, slots)) return fail("the rig's user data cannot be registered");
  MQEXPDOC model(std::make_unique<quorvel::PoseEvaluator>());
  model.SetSlots(slots);
  model.SetDocument(doc);
  model.Refresh();

  // Fixed weight colours, so the sample is the same on every run.
  const UCOLOR colours[] = {{230, 140, 140, 255}, {140, 230, 140, 255}, {140, 140, 230, 255},
                            {230, 230, 140, 255}, {140, 230, 230, 255}};
  const MQObject objects[] = {arm, hand, shoulder, elbow, wrist};
  for (int i = 0; i < 5; ++i) quorvel::SetWeightColour(objects[i], slots, colours[i]);

  // The arm's rings at x = 0, 40, 80 and 120 follow the chain; the ring at 40
  // is shared 0.29 / 0.71 (the stored form keeps the first weight in whole
  // percent and gives the last the remainder).
  const mqhost::Object* arm_object = mqhost::ToObject(arm);
  for (int v = 0; v < static_cast<int>(arm_object->vertices.size()); ++v) {
    const float x = arm_object->vertices[static_cast<size_t>(v)].position.x;
    if (x < 20.0f) {
      Weigh(arm, slots, v, {{shoulder, 1.0f}});
    } else if (x < 60.0f) {
      Weigh(arm, slots, v, {{elbow, 0.29f}, {shoulder, 0.71f}});
    } else if (x < 100.0f) {
      Weigh(arm, slots, v, {{elbow, 0.5f}, {wrist, 0.5f}});
    } else {
      Weigh(arm, slots, v, {{wrist, 1.0f}});
    }
  }
  const int hand_vertices = static_cast<int>(mqhost::ToObject(hand)->vertices.size());
  for (int v = 0; v < hand_vertices; ++v) Weigh(hand, slots, v, {{wrist, 1.0f}});

  // Morph target 0 of the arm: the middle rings swell by a quarter.
  if (!quorvel::CreateMorphTarget(arm, slots, 0, "bulge", "") ||
      !quorvel::SetCurrentMorphTarget(arm, slots, 0)) {
    return fail("the morph target cannot be made");
  }
  for (int v = 0; v < static_cast<int>(arm_object->vertices.size()); ++v) {
    MQPoint p = arm_object->vertices[static_cast<size_t>(v)].position;
    if (p.x > 20.0f && p.x < 100.0f) {
      p.y *= 1.25f;
      p.z *= 1.25f;
      HostApi().MQObj_SetVertex(arm, v, &p);
    }
  }
  quorvel::SetCurrentMorphTarget(arm, slots, -1);

  // Two poses: the elbow bent, and a wave with the bulge mixed in fully.
  quorvel::QuorvelPose* bend = quorvel::NewPose(model);
  quorvel::QuorvelPose* wave = quorvel::NewPose(model);
  if (bend == nullptr || wave == nullptr) return fail("the poses cannot be made");
  quorvel::RenamePose(bend, "bend");
  quorvel::RenamePose(wave, "wave");
  quorvel::OPoseTSQ tsq;
  tsq.rot = AboutZ(45.0f);
  quorvel::SetPoseTSQ(elbow, slots, bend->id, tsq);
  tsq.rot = AboutZ(20.0f);
  quorvel::SetPoseTSQ(elbow, slots, wave->id, tsq);
  tsq.rot = AboutZ(-30.0f);
  quorvel::SetPoseTSQ(wrist, slots, wave->id, tsq);
  quorvel::SetPoseMorphWeight(arm, slots, wave->id, 0, 1.0f);

  mqhost::XmlElement* element = host.PluginElement(document, QUORVEL_PRODUCT_ID, QUORVEL_PLUGIN_ID);
  if (!quorvel::WriteDocument(mqhost::ToHandle(element), model)) {
    return fail("the rig element cannot be written");
  }
  // The plug-in keeps its rig in its element only.
  document->DropUserData();
  return true;
}

namespace {

// The plug-in's host API table, filled from this program's own host.
bool LoadOwnHostApi(std::string* error) {
  const std::string host_path = mqhost::Host::OwnModulePath();
  if (LoadHostApi(host_path.c_str(), HostApi())) return true;
  if (error != nullptr) *error = "the host API cannot be loaded from " + host_path;
  return false;
}

}  // namespace

bool MakeSampleFile(const std::string& mesh_path, const std::string& out_path, std::string* error) {
  mqhost::Host& host = mqhost::Host::Instance();
  if (!LoadOwnHostApi(error)) return false;
  mqhost::Document* document = host.NewDocument();
  mqhost::PluginElementMap elements;
  bool ok = mqhost::LoadDocumentFile(mesh_path, document, &elements, error);
  if (ok) {
    host.SetPluginElements(document, std::move(elements));
    ok = BuildSampleRig(host, document, error) &&
         mqhost::SaveDocumentFile(out_path, *document, host.PluginElements(document), error);
  }
  host.CloseDocument(document);
  return ok;
}

namespace {

void AddDenseMeshes(mqhost::Document* document, int vertices) {
  // Rings of `segments` points; about as many rings as points per ring
  // times four, so the quads are near square on the 120-long tube.
  const int segments = std::max(8, static_cast<int>(std::sqrt(static_cast<float>(vertices) / 4.0f)));
  const int rings = std::max(2, vertices / segments);
  std::unique_ptr<mqhost::Object> arm = document->NewObject();
  arm->name = "arm";
  for (int i = 0; i < rings; ++i) {
    const float x = 120.0f * static_cast<float>(i) / static_cast<float>(rings - 1);
    for (int j = 0; j < segments; ++j) {
      const float angle = 2.0f * kPi * static_cast<float>(j) / static_cast<float>(segments);
      arm->AddVertex(MQPoint{x, 8.0f * std::cos(angle), 8.0f * std::sin(angle)});
    }
  }
  // Front faces run clockwise seen from outside.
  for (int i = 0; i + 1 < rings; ++i) {
    for (int j = 0; j < segments; ++j) {
      const int k = (j + 1) % segments;
      arm->AddFace({i * segments + j, (i + 1) * segments + j, (i + 1) * segments + k, i * segments + k});
    }
  }
  document->AddObject(std::move(arm));

  std::unique_ptr<mqhost::Object> hand = document->NewObject();
  hand->name = "hand";
  for (int c = 0; c < 8; ++c) {
    hand->AddVertex(MQPoint{c & 1 ? 144.0f : 124.0f, c & 2 ? 10.0f : -10.0f, c & 4 ? 10.0f : -10.0f});
  }
  // Corner c has bit 0 for +x, bit 1 for +y, bit 2 for +z; each face lists
  // its corners clockwise seen from outside.
  const std::vector<std::vector<int>> box = {{1, 3, 2, 0}, {6, 7, 5, 4}, {4, 5, 1, 0},
                                             {3, 7, 6, 2}, {2, 6, 4, 0}, {5, 7, 3, 1}};
  for (const std::vector<int>& corners : box) hand->AddFace(corners);
  document->AddObject(std::move(hand));
}

}  // namespace

bool MakeDenseSampleFile(int vertices, const std::string& out_path, std::string* error) {
  mqhost::Host& host = mqhost::Host::Instance();
  if (!LoadOwnHostApi(error)) return false;
  mqhost::Document* document = host.NewDocument();
  AddDenseMeshes(document, vertices);
  const bool ok = BuildSampleRig(host, document, error) &&
                  mqhost::SaveDocumentFile(out_path, *document, host.PluginElements(document), error);
  host.CloseDocument(document);
  return ok;
}

}  // namespace quorvel_sample
