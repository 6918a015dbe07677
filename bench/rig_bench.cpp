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
// a single chain), each bone posed in pose 0 with a turn and a small move.
void BuildRig(BenchDocument& bench, int bones, int chain) {
  for (int i = 0; i < bones; ++i) {
    const int depth = i == 0 ? 0 : (chain > 0 ? 1 + (i - 1) % chain : i);
    MQObject obj = bench.Append(depth, FVECTOR3(0.0f, 1.0f, 0.0f));
    quorvel::OPoseTSQ pose;
    pose.trs = FVECTOR3(0.01f * static_cast<float>(i % 7), 0.0f, 0.0f);
    pose.rot = FQUAT::FromAxisAngle({0.3f, 1.0f, 0.2f}, 0.05f * static_cast<float>(i % 11));
    quorvel::SetPoseTSQ(obj, bench.slots(), 0, pose);
  }
}

void PoseEvaluation(benchmark::State& state, int chain) {
  BenchDocument bench;
  if (!bench.ok()) {
    state.SkipWithError("substitute host not available");
    return;
  }
  const int bones = static_cast<int>(state.range(0));
  BuildRig(bench, bones, chain);
  // Buffers kept across calls, as the pose drag keeps them.
  quorvel::PoseEvaluationBuffers buffers;
  for (auto _ : state) {
    quorvel::EvaluatePose(bench.doc(), bench.slots(), 0, buffers);
    benchmark::DoNotOptimize(buffers.world.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * bones);
}

void BM_EvaluatePose_Chains10(benchmark::State& state) { PoseEvaluation(state, 10); }
BENCHMARK(BM_EvaluatePose_Chains10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_EvaluatePose_SingleChain(benchmark::State& state) { PoseEvaluation(state, 0); }
BENCHMARK(BM_EvaluatePose_SingleChain)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// The reference: the same hierarchy held in arrays (parent index, pivot and
// pose record per bone, parents first) evaluated by a plain loop.
void PlainPoseEvaluation(benchmark::State& state, int chain) {
  BenchDocument bench;
  if (!bench.ok()) {
    state.SkipWithError("substitute host not available");
    return;
  }
  const int bones = static_cast<int>(state.range(0));
  BuildRig(bench, bones, chain);
  std::vector<int> parent(static_cast<size_t>(bones), -1);
  std::vector<FVECTOR3> pivot(static_cast<size_t>(bones));
  std::vector<quorvel::OPoseTSQ> pose(static_cast<size_t>(bones));
  for (int i = 0; i < bones; ++i) {
    MQObject obj = HostApi().MQDoc_GetObject(bench.doc(), i);
    MQObject up = HostApi().MQDoc_GetParentObject(bench.doc(), obj);
    parent[static_cast<size_t>(i)] = up != nullptr ? HostApi().MQDoc_GetObjectIndex(bench.doc(), up) : -1;
    FMATRIX global;
    HostApi().MQDoc_GetGlobalMatrix(bench.doc(), obj, global.m);
    pivot[static_cast<size_t>(i)] = FVECTOR3(global(3, 0), global(3, 1), global(3, 2));
    quorvel::GetPoseTSQ(obj, bench.slots(), 0, pose[static_cast<size_t>(i)]);
  }
  std::vector<FMATRIX> world(static_cast<size_t>(bones));
  for (auto _ : state) {
    for (size_t i = 0; i < static_cast<size_t>(bones); ++i) {
      const FMATRIX local = quorvel::PoseLocalMatrix(pose[i], pivot[i]);
      world[i] = parent[i] < 0 ? local : local * world[static_cast<size_t>(parent[i])];
    }
    benchmark::DoNotOptimize(world.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * bones);
}

void BM_PlainPoseEvaluation_Chains10(benchmark::State& state) { PlainPoseEvaluation(state, 10); }
BENCHMARK(BM_PlainPoseEvaluation_Chains10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// With working memory made for every call, as the document model evaluates.
void BM_EvaluatePose_FreshBuffers(benchmark::State& state) {
  BenchDocument bench;
  if (!bench.ok()) {
    state.SkipWithError("substitute host not available");
    return;
  }
  const int bones = static_cast<int>(state.range(0));
  BuildRig(bench, bones, 10);
  for (auto _ : state) quorvel::EvaluatePose(bench.doc(), bench.slots(), 0);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * bones);
}
BENCHMARK(BM_EvaluatePose_FreshBuffers)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_BuildIdTable(benchmark::State& state) {
  BenchDocument bench;
  if (!bench.ok()) {
    state.SkipWithError("substitute host not available");
    return;
  }
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
