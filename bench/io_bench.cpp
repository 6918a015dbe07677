// Writing and reading the rig's element tree of a 100 000-vertex document
// (every vertex weighted to two bones, two morph targets whose shapes move
// every vertex) through the host's XML element operations.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/bench_document.h"
#include "host/files/xml_tree.h"
#include "io/document_format.h"
#include "rig/morph_targets.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "rig/weight_record.h"

namespace {

constexpr int kVertices = 100000;

struct RiggedDocument {
  BenchDocument bench;
  quorvel::RigEditState state;
  bool ok = false;

  RiggedDocument() {
    if (!bench.ok()) return;
    MQObject root = bench.Append(0, FVECTOR3());
    MQObject arm = bench.Append(1, FVECTOR3(0.0f, 1.0f, 0.0f));
    MQObject mesh = bench.Append(0, FVECTOR3());
    mqhost::Object* raw = mqhost::ToObject(mesh);
    for (int v = 0; v < kVertices; ++v) {
      raw->AddVertex(MQPoint{0.001f * static_cast<float>(v), static_cast<float>(v % 7), 0.0f});
    }
    for (int v = 0; v + 2 < kVertices; v += 3) raw->AddFace({v, v + 1, v + 2});
    quorvel::EnsureRigRecords(bench.doc(), bench.slots());
    const int32_t root_id = HostApi().MQObj_GetIntValue(root, MQOBJ_ID_UNIQUE_ID);
    const int32_t arm_id = HostApi().MQObj_GetIntValue(arm, MQOBJ_ID_UNIQUE_ID);
    std::vector<quorvel::VWeight> records(kVertices);
    for (int v = 0; v < kVertices; ++v) {
      quorvel::VWeight& rec = records[static_cast<size_t>(v)];
      quorvel::Init(rec);
      const float w = 0.01f * static_cast<float>(v % 100);
      quorvel::SetWeight(rec, root_id, w);
      quorvel::SetWeight(rec, arm_id, 1.0f - w);
    }
    HostApi().MQObj_AllocVertexUserData(mesh, bench.slots().VWeight());
    HostApi().MQObj_SetVertexUserData(mesh, bench.slots().VWeight(), 0, kVertices, 0,
                                      static_cast<int>(sizeof(quorvel::VWeight)), records.data());
    // Two morph targets, each moving every vertex.
    for (int k = 0; k < 2; ++k) {
      if (!quorvel::CreateMorphTarget(mesh, bench.slots(), k, k == 0 ? "up" : "out", "")) return;
      quorvel::SetCurrentMorphTarget(mesh, bench.slots(), k);
      for (int v = 0; v < kVertices; ++v) {
        MQPoint p = raw->vertices[static_cast<size_t>(v)].position;
        (k == 0 ? p.y : p.z) += 0.5f;
        HostApi().MQObj_SetVertex(mesh, v, &p);
      }
    }
    quorvel::SetCurrentMorphTarget(mesh, bench.slots(), -1);
    quorvel::CreatePose(state);
    quorvel::OPoseTSQ tsq;
    tsq.trs = FVECTOR3(0.0f, 0.5f, 0.0f);
    quorvel::SetPoseTSQ(arm, bench.slots(), 0, tsq);
    ok = true;
  }
};

void BM_WriteRig(benchmark::State& s) {
  RiggedDocument rigged;
  if (!HostReady(rigged.ok, s)) return;
  for (auto _ : s) {
    auto element = mqhost::XmlElement::Create("Plugin");
    benchmark::DoNotOptimize(quorvel::WriteDocument(mqhost::ToHandle(element.get()), rigged.bench.doc(),
                                                    &rigged.state, rigged.bench.slots()));
  }
  s.SetItemsProcessed(static_cast<int64_t>(s.iterations()) * kVertices);
}
BENCHMARK(BM_WriteRig)->Unit(benchmark::kMillisecond);

void BM_ReadRig(benchmark::State& s) {
  RiggedDocument rigged;
  if (!HostReady(rigged.ok, s)) return;
  auto element = mqhost::XmlElement::Create("Plugin");
  quorvel::WriteDocument(mqhost::ToHandle(element.get()), rigged.bench.doc(), &rigged.state,
                         rigged.bench.slots());
  for (auto _ : s) {
    quorvel::RigEditState state;
    benchmark::DoNotOptimize(quorvel::ReadDocument(mqhost::ToHandle(element.get()), rigged.bench.doc(),
                                                   &state, rigged.bench.slots()));
  }
  s.SetItemsProcessed(static_cast<int64_t>(s.iterations()) * kVertices);
}
BENCHMARK(BM_ReadRig)->Unit(benchmark::kMillisecond);

}  // namespace
