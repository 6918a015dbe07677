// Pose evaluation and the identifier table on the substitute host: what a pose
// drag costs per mouse move, and what each deformation pass pays for its
// unique-id lookups.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "deform/pose_evaluation.h"
#include "host/core/api.h"
#include "host/core/host.h"
#include "rig/id_table.h"
#include "rig/rig_access.h"
#include "bench/bench_document.h"
#include "rig/slot_table.h"
#include "sdk/host_api.h"

namespace {


// `bones` objects: one root and chains of `chain` bones below it (chain 0:
// a single chain). Pose 0 gives each bone a turn and a small move, pose 1 a
// different one, so that switching poses changes every record.
void BuildRig(BenchDocument& bench, int bones, int chain) {
  for (int i = 0; i < bones; ++i) {
    const int depth = i == 0 ? 0 : (chain > 0 ? 1 + (i - 1) % chain : i);
    MQObject obj = bench.Append(depth, FVECTOR3(0.0f, 1.0f, 0.0f));
    for (int pose_id : {0, 1}) {
      quorvel::OPoseTSQ pose;
      pose.trs = FVECTOR3(0.01f * static_cast<float>(i % 7 + pose_id), 0.0f, 0.0f);
      pose.rot = FQUAT::FromAxisAngle({0.3f, 1.0f, 0.2f},
                                      0.05f * static_cast<float>(i % 11) + 0.1f * static_cast<float>(pose_id));
      quorvel::SetPoseTSQ(obj, bench.slots(), pose_id, pose);
    }
  }
}

// How the pose changes between two evaluations.
enum class PoseChange {
  kNone,    // evaluated again as it is (a panel refresh, a redraw)
  kOneBone, // one bone's record turned a little, as a drag step writes it
  kSwitch,  // the current pose alternates between 0 and 1: every record differs
};

// The bone a drag step turns: every bone in turn, so the work below it
// ranges from the whole rig (the root) to nothing (a chain's end).
int DraggedBone(int64_t step, int bones) { return static_cast<int>((step * 7919) % bones); }

quorvel::OPoseTSQ Turned(quorvel::OPoseTSQ pose, int64_t step) {
  pose.rot = pose.rot * FQUAT::FromAxisAngle({0.0f, 0.0f, 1.0f}, (step % 2 == 0 ? 0.01f : -0.01f));
  return pose;
}

void PoseEvaluation(benchmark::State& state, int chain, PoseChange change) {
  BenchDocument bench;
  if (!HostReady(bench.ok(), state)) return;
  const int bones = static_cast<int>(state.range(0));
  BuildRig(bench, bones, chain);
  // Kept across calls, as the document model keeps it.
  quorvel::PoseEvaluator evaluator;
  evaluator.Evaluate(bench.doc(), bench.slots(), 0);
  int64_t step = 0;
  for (auto _ : state) {
    int pose_id = 0;
    if (change == PoseChange::kOneBone) {
      MQObject obj = HostApi().MQDoc_GetObject(bench.doc(), DraggedBone(step, bones));
      quorvel::OPoseTSQ pose;
      quorvel::GetPoseTSQ(obj, bench.slots(), 0, pose);
      quorvel::SetPoseTSQ(obj, bench.slots(), 0, Turned(pose, step));
    } else if (change == PoseChange::kSwitch) {
      pose_id = static_cast<int>(step % 2);
    }
    ++step;
    evaluator.Evaluate(bench.doc(), bench.slots(), pose_id);
    benchmark::DoNotOptimize(evaluator.World().data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * bones);
}

// The local matrix as a plain loop builds it: the four matrices of
// T(-p)·S·R·T(t)·T(p) multiplied out.
FMATRIX TextbookLocal(const quorvel::OPoseTSQ& pose, const FVECTOR3& pivot) {
  FMATRIX m = FMATRIX::Scaling(pose.scl) * FMATRIX::FromQuat(pose.rot);
  m.SetTranslation(pose.trs);
  return FMATRIX::Translation(-pivot) * m * FMATRIX::Translation(pivot);
}

// How the reference loop builds each local matrix.
enum class LocalMath {
  kTextbook,  // four 4×4 products
  kComposed,  // the evaluator's own composition, inlined
};

// The reference: the same hierarchy held in arrays (parent index, pivot and
// the pose records per bone, parents first) evaluated by a plain loop, with
// the same change made to the arrays before each evaluation.
void PlainPoseEvaluation(benchmark::State& state, int chain, PoseChange change,
                         LocalMath math = LocalMath::kTextbook) {
  BenchDocument bench;
  if (!HostReady(bench.ok(), state)) return;
  const int bones = static_cast<int>(state.range(0));
  BuildRig(bench, bones, chain);
  const size_t n = static_cast<size_t>(bones);
  std::vector<int> parent(n, -1);
  std::vector<FVECTOR3> pivot(n);
  std::vector<quorvel::OPoseTSQ> pose[2] = {std::vector<quorvel::OPoseTSQ>(n),
                                            std::vector<quorvel::OPoseTSQ>(n)};
  for (int i = 0; i < bones; ++i) {
    const size_t k = static_cast<size_t>(i);
    MQObject obj = HostApi().MQDoc_GetObject(bench.doc(), i);
    MQObject up = HostApi().MQDoc_GetParentObject(bench.doc(), obj);
    parent[k] = up != nullptr ? HostApi().MQDoc_GetObjectIndex(bench.doc(), up) : -1;
    FMATRIX global;
    HostApi().MQDoc_GetGlobalMatrix(bench.doc(), obj, global.m);
    pivot[k] = FVECTOR3(global(3, 0), global(3, 1), global(3, 2));
    quorvel::GetPoseTSQ(obj, bench.slots(), 0, pose[0][k]);
    quorvel::GetPoseTSQ(obj, bench.slots(), 1, pose[1][k]);
  }
  std::vector<FMATRIX> world(n);
  int64_t step = 0;
  for (auto _ : state) {
    size_t pose_id = 0;
    if (change == PoseChange::kOneBone) {
      quorvel::OPoseTSQ& dragged = pose[0][static_cast<size_t>(DraggedBone(step, bones))];
      dragged = Turned(dragged, step);
    } else if (change == PoseChange::kSwitch) {
      pose_id = static_cast<size_t>(step % 2);
    }
    ++step;
    const std::vector<quorvel::OPoseTSQ>& records = pose[pose_id];
    for (size_t i = 0; i < n; ++i) {
      const FMATRIX local = math == LocalMath::kTextbook ? TextbookLocal(records[i], pivot[i])
                                                         : quorvel::PoseLocalMatrix(records[i], pivot[i]);
      world[i] = parent[i] < 0 ? local : local * world[static_cast<size_t>(parent[i])];
    }
    benchmark::DoNotOptimize(world.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * bones);
}

// Chains of ten bones below one root.
void BM_EvaluatePose_Chains10_Unchanged(benchmark::State& s) { PoseEvaluation(s, 10, PoseChange::kNone); }
void BM_PlainPose_Chains10_Unchanged(benchmark::State& s) { PlainPoseEvaluation(s, 10, PoseChange::kNone); }
void BM_EvaluatePose_Chains10_DragStep(benchmark::State& s) { PoseEvaluation(s, 10, PoseChange::kOneBone); }
void BM_PlainPose_Chains10_DragStep(benchmark::State& s) { PlainPoseEvaluation(s, 10, PoseChange::kOneBone); }
void BM_EvaluatePose_Chains10_PoseSwitch(benchmark::State& s) { PoseEvaluation(s, 10, PoseChange::kSwitch); }
void BM_PlainPose_Chains10_PoseSwitch(benchmark::State& s) { PlainPoseEvaluation(s, 10, PoseChange::kSwitch); }
BENCHMARK(BM_EvaluatePose_Chains10_Unchanged)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainPose_Chains10_Unchanged)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EvaluatePose_Chains10_DragStep)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainPose_Chains10_DragStep)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EvaluatePose_Chains10_PoseSwitch)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainPose_Chains10_PoseSwitch)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The same loops with the local matrix composed as the evaluator composes it.
void BM_ComposedPlainPose_Chains10_Unchanged(benchmark::State& s) {
  PlainPoseEvaluation(s, 10, PoseChange::kNone, LocalMath::kComposed);
}
void BM_ComposedPlainPose_Chains10_PoseSwitch(benchmark::State& s) {
  PlainPoseEvaluation(s, 10, PoseChange::kSwitch, LocalMath::kComposed);
}
BENCHMARK(BM_ComposedPlainPose_Chains10_Unchanged)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposedPlainPose_Chains10_PoseSwitch)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// One chain as deep as the rig.
void BM_EvaluatePose_SingleChain_DragStep(benchmark::State& s) { PoseEvaluation(s, 0, PoseChange::kOneBone); }
void BM_PlainPose_SingleChain_DragStep(benchmark::State& s) { PlainPoseEvaluation(s, 0, PoseChange::kOneBone); }
BENCHMARK(BM_EvaluatePose_SingleChain_DragStep)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainPose_SingleChain_DragStep)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Nothing kept: the hierarchy walked and every matrix written on every call,
// what an evaluation after the document changed behind the model costs.
void BM_EvaluatePose_Chains10_FromScratch(benchmark::State& state) {
  BenchDocument bench;
  if (!HostReady(bench.ok(), state)) return;
  const int bones = static_cast<int>(state.range(0));
  BuildRig(bench, bones, 10);
  for (auto _ : state) quorvel::EvaluatePose(bench.doc(), bench.slots(), 0);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * bones);
}
BENCHMARK(BM_EvaluatePose_Chains10_FromScratch)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_BuildIdTable(benchmark::State& state) {
  BenchDocument bench;
  if (!HostReady(bench.ok(), state)) return;
  const int count = static_cast<int>(state.range(0));
  // Objects inserted at random places, so index order is not id order.
  std::mt19937 random(20240611u);
  std::vector<MQObject> made;
  made.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    auto object = bench.document().NewObject();
    mqhost::Object* raw = object.get();
    const mqhost::Object* after =
        made.empty() ? nullptr
                     : mqhost::ToObject(made[std::uniform_int_distribution<std::size_t>(
                           0, made.size() - 1)(random)]);
    bench.document().InsertObject(std::move(object), after);
    made.push_back(mqhost::ToHandle(raw));
  }
  quorvel::IdTable table;
  for (auto _ : state) {
    quorvel::BuildIdTable(bench.doc(), table);
    benchmark::DoNotOptimize(table.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_BuildIdTable)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
