// The rigging weight tools on large meshes: mirroring the weights of one
// side onto the other, smoothing them ten iterations over the edges (with
// the edge lists built separately, as the blur pen keeps them), and limiting
// the bones per vertex. The mesh is a gently curved grid symmetric about
// X = 0, with four bones per vertex whose weights vary smoothly across it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "rig/rigging_mesh.h"
#include "rig/weight_mirror.h"
#include "rig/weight_record.h"
#include "rig/weight_smooth.h"

namespace {

using quorvel::VWeight;

// Bones 1, 2 on the +X side mirror 3, 4 on the -X side; 5 and 6 lie on the
// plane.
constexpr int32_t kPlusArm = 1, kPlusLeg = 2, kMinusArm = 3, kMinusLeg = 4, kSpine = 5, kHead = 6;

struct Scene {
  quorvel::RigMesh mesh;
  std::vector<VWeight> weights;
};

// About `vertices` vertices in a square grid of quads. Columns sit at
// (i - (side - 1) / 2) * step, so every vertex's mirror is exactly another
// vertex.
Scene BuildScene(int vertices) {
  const int side = static_cast<int>(std::lround(std::sqrt(static_cast<double>(vertices))));
  const float step = 2.0f / static_cast<float>(side);
  const float middle = 0.5f * static_cast<float>(side - 1);
  Scene scene;
  scene.mesh.positions.reserve(static_cast<size_t>(side) * static_cast<size_t>(side));
  scene.weights.reserve(scene.mesh.positions.capacity());
  for (int j = 0; j < side; ++j) {
    for (int i = 0; i < side; ++i) {
      const float x = (static_cast<float>(i) - middle) * step;
      const float y = (static_cast<float>(j) - middle) * step;
      scene.mesh.positions.push_back(FVECTOR3(x, y, 0.3f * x * x - 0.2f * y * y));
      // Four shares that change smoothly over the grid.
      const float u = 0.5f + 0.5f * std::sin(3.0f * x + 1.0f), v = 0.5f + 0.5f * std::cos(2.0f * y);
      const float shares[4] = {0.1f + u * v, 0.1f + (1.0f - u) * v, 0.1f + u * (1.0f - v),
                               0.1f + (1.0f - u) * (1.0f - v)};
      const bool plus = x > 0.0f;
      const int32_t bones[4] = {plus ? kPlusArm : kMinusArm, plus ? kPlusLeg : kMinusLeg, kSpine, kHead};
      VWeight rec;
      quorvel::Init(rec);
      for (int k = 0; k < 4; ++k) quorvel::SetWeight(rec, bones[k], shares[k]);
      quorvel::Normalize(rec);
      scene.weights.push_back(rec);
    }
  }
  for (int j = 0; j + 1 < side; ++j) {
    for (int i = 0; i + 1 < side; ++i) {
      const int32_t a = j * side + i;
      scene.mesh.AddFace({a, a + 1, a + side + 1, a + side});
    }
  }
  return scene;
}

void MirrorWeights(benchmark::State& state) {
  Scene scene = BuildScene(static_cast<int>(state.range(0)));
  const quorvel::BoneMirrorMap bones = {
      {kPlusArm, kMinusArm}, {kMinusArm, kPlusArm}, {kPlusLeg, kMinusLeg}, {kMinusLeg, kPlusLeg}};
  const float tolerance = 1e-4f;
  for (auto _ : state) {
    // Writes the same records every time: no reset needed.
    const quorvel::MirrorWeightsReport report = quorvel::MirrorWeights(
        scene.mesh.positions, {}, bones, quorvel::MirrorDirection::kPlusToMinus, tolerance, scene.weights);
    benchmark::DoNotOptimize(report.written);
    if (report.unmatched != 0) state.SkipWithError("the symmetric grid left vertices unmatched");
  }
  state.counters["vertices"] = static_cast<double>(scene.mesh.positions.size());
}

void BuildAdjacency(benchmark::State& state) {
  const Scene scene = BuildScene(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    quorvel::MeshAdjacency adjacency = quorvel::BuildAdjacency(scene.mesh);
    benchmark::DoNotOptimize(adjacency.neighbours.data());
  }
}

void SmoothWeights10(benchmark::State& state) {
  const Scene scene = BuildScene(static_cast<int>(state.range(0)));
  const quorvel::MeshAdjacency adjacency = quorvel::BuildAdjacency(scene.mesh);
  quorvel::SmoothOptions options;
  options.iterations = 10;
  options.strength = 0.5f;
  options.max_bones = 4;
  std::vector<VWeight> weights;
  int changed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    weights = scene.weights;
    state.ResumeTiming();
    changed = quorvel::SmoothWeights(adjacency, {}, options, weights);
    benchmark::DoNotOptimize(changed);
  }
  state.counters["changed"] = changed;
}

void LimitWeights(benchmark::State& state) {
  const Scene scene = BuildScene(static_cast<int>(state.range(0)));
  std::vector<VWeight> weights;
  int changed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    weights = scene.weights;
    state.ResumeTiming();
    changed = quorvel::LimitWeights({}, 2, weights);
    benchmark::DoNotOptimize(changed);
  }
  state.counters["changed"] = changed;
}

// Real time: smoothing and mirroring may use a second thread.
void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(100000)
      ->Arg(1000000)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Repetitions(5)
      ->ReportAggregatesOnly(true);
}

BENCHMARK(MirrorWeights)->Apply(Sizes);
BENCHMARK(BuildAdjacency)->Apply(Sizes);
BENCHMARK(SmoothWeights10)->Apply(Sizes);
BENCHMARK(LimitWeights)->Apply(Sizes);

}  // namespace
