// IK on the substitute host: what one mouse move of a pose drag costs, i.e.
// one CCD solve (ten aim steps), writing the result into the current pose
// and evaluating that pose, alone and with a skinned mesh re-deformed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "bench/bench_document.h"
#include "deform/ik_solver.h"
#include "deform/pose_evaluation.h"
#include "deform/rendering_copies.h"
#include "host/core/api.h"
#include "host/core/host.h"
#include "rig/edit_state.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "rig/slot_table.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

namespace {

// A bone object at the end of the list, with the default bone record.
MQObject AppendBone(BenchDocument& bench, int depth, const FVECTOR3& offset) {
  MQObject obj = bench.Append(depth, offset);
  quorvel::SetBoneRecord(obj, bench.slots(), quorvel::OBase());
  return obj;
}

// One mouse move on a single chain of `bones` bone objects (plus the tip that
// gives the last one its tail), dragging the end bone's tail around a circle.
// Every bone is limited on one axis, so each world update pays for the limits.
// Without `write_back` only the solver runs (to tell its share from the host's).
// With `mesh_vertices`, a mesh weighted to 4 of the bones per vertex is
// re-deformed after each step, as the viewport's copies are.
void PoseDragStep(benchmark::State& state, bool write_back, int mesh_vertices = 0) {
  BenchDocument bench;
  if (!HostReady(bench.ok(), state)) return;
  const int bones = static_cast<int>(state.range(0));
  MQObject end = nullptr;
  for (int i = 0; i <= bones; ++i) {
    // A gentle zig-zag so that no aim step is a no-op.
    const FVECTOR3 offset = i == 0 ? FVECTOR3() : FVECTOR3(i % 2 ? 0.2f : -0.2f, 1.0f, 0.0f);
    MQObject obj = AppendBone(bench, i, offset);
    quorvel::SetRotationLimits(obj, bench.slots(), FVECTOR3(-3.2f, -3.2f, -1.0f),
                               FVECTOR3(3.2f, 3.2f, 1.0f));
    if (i == bones - 1) end = obj;
  }
  quorvel::RigEditState edit;
  quorvel::CreatePose(edit);
  quorvel::UBONEIK_MODEL model;
  model.Build(bench.doc(), bench.slots(), edit);
  const int end_id = HostApi().MQObj_GetIntValue(end, MQOBJ_ID_UNIQUE_ID);
  quorvel::UBONEIK_BONE* end_bone = model.FindBone(end_id);
  if (end_bone == nullptr) {
    state.SkipWithError("no end bone");
    return;
  }

  std::unique_ptr<DocumentDrawingHost> drawing;
  std::unique_ptr<quorvel::RENDERING_COPIES> copies;
  if (mesh_vertices > 0) {
    std::vector<int32_t> uids;
    for (int i = 0; i < bones; ++i) {
      uids.push_back(
          HostApi().MQObj_GetIntValue(HostApi().MQDoc_GetObject(bench.doc(), i), MQOBJ_ID_UNIQUE_ID));
    }
    MQObject mesh = bench.Append(0, FVECTOR3());
    mqhost::Object* raw = mqhost::ToObject(mesh);
    std::vector<quorvel::VWeight> records(static_cast<size_t>(mesh_vertices));
    for (int v = 0; v < mesh_vertices; ++v) {
      raw->AddVertex(MQPoint{0.01f * static_cast<float>(v % 100), 0.001f * static_cast<float>(v), 0.0f});
      quorvel::VWeight& rec = records[static_cast<size_t>(v)];
      quorvel::Init(rec);
      for (int j = 0; j < 4; ++j) {
        rec.entries[j] = quorvel::VWeightEntry{uids[static_cast<size_t>((v / 1000 + j) % bones)], 0.25f};
      }
      rec.head = static_cast<uint8_t>(quorvel::VWeight::kValidBit | 4 << 1);
    }
    for (int v = 0; v + 2 < mesh_vertices; v += 3) raw->AddFace({v, v + 1, v + 2});
    HostApi().MQObj_AllocVertexUserData(mesh, bench.slots().VWeight());
    HostApi().MQObj_SetVertexUserData(mesh, bench.slots().VWeight(), 0, mesh_vertices, 0,
                                      static_cast<int>(sizeof(quorvel::VWeight)), records.data());
    quorvel::EnsureRigRecords(bench.doc(), bench.slots());
    quorvel::SaveVisibility(bench.doc(), bench.slots());
    drawing = std::make_unique<DocumentDrawingHost>(bench.document());
    copies = std::make_unique<quorvel::RENDERING_COPIES>(*drawing);
    copies->Refresh(bench.doc(), bench.slots(), edit, false, true);
  }

  // The document model's evaluator, kept for the whole drag.
  quorvel::PoseEvaluator evaluator;
  const float reach = 0.8f * static_cast<float>(bones);
  int move = 0;
  for (auto _ : state) {
    const float angle = 0.05f * static_cast<float>(move++);
    const FVECTOR3 target(reach * 0.3f * std::cos(angle), reach, reach * 0.3f * std::sin(angle));
    benchmark::DoNotOptimize(model.SolveChain(end_bone, target, true));
    if (write_back) {
      benchmark::DoNotOptimize(quorvel::WriteBack(bench.doc(), bench.slots(), edit, model, &evaluator));
    }
    if (copies) {
      copies->MarkDeform();
      copies->Refresh(bench.doc(), bench.slots(), edit, false, true);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

// Solve chain + write back + pose evaluation: the whole mouse move.
void BM_PoseDragStep_Chain(benchmark::State& state) { PoseDragStep(state, true); }
BENCHMARK(BM_PoseDragStep_Chain)->Arg(100)->Unit(benchmark::kMicrosecond);

// The same with a 100 000-vertex skinned mesh re-deformed after each step.
void BM_PoseDragStep_ChainAndMesh(benchmark::State& state) { PoseDragStep(state, true, 100000); }
BENCHMARK(BM_PoseDragStep_ChainAndMesh)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_SolveChainOnly_Chain(benchmark::State& state) { PoseDragStep(state, false); }
BENCHMARK(BM_SolveChainOnly_Chain)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace
