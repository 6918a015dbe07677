// Throughput of the math operations on the skinning and IK paths.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "math/fmath.h"

namespace {

FMATRIX SomeAffine(float seed) {
  FMATRIX m = FMATRIX::FromQuat(FQUAT::FromAxisAngle({1.0f, seed, 0.5f}, seed));
  m.ScaleBy({1.5f, 0.75f, 1.25f});
  m.SetTranslation({seed, -2.0f * seed, 3.0f});
  return m;
}

void BM_MatrixProduct(benchmark::State& state) {
  FMATRIX a = SomeAffine(0.3f);
  FMATRIX b = SomeAffine(1.7f);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    benchmark::DoNotOptimize(b);
    FMATRIX p = a * b;
    benchmark::DoNotOptimize(p);
  }
}
BENCHMARK(BM_MatrixProduct);

void BM_QuatToMatrix(benchmark::State& state) {
  FQUAT q = FQUAT::FromAxisAngle({1.0f, 2.0f, 3.0f}, 0.8f);
  for (auto _ : state) {
    benchmark::DoNotOptimize(q);
    FMATRIX m = FMATRIX::FromQuat(q);
    benchmark::DoNotOptimize(m);
  }
}
BENCHMARK(BM_QuatToMatrix);

void BM_AffineInverse(benchmark::State& state) {
  FMATRIX m = SomeAffine(0.9f);
  for (auto _ : state) {
    benchmark::DoNotOptimize(m);
    FMATRIX inv = m.Inverse();
    benchmark::DoNotOptimize(inv);
  }
}
BENCHMARK(BM_AffineInverse);

void BM_TransformPoints(benchmark::State& state) {
  const std::size_t count = static_cast<std::size_t>(state.range(0));
  std::vector<FVECTOR3> in(count);
  for (std::size_t i = 0; i < count; ++i) {
    const float f = static_cast<float>(i);
    in[i] = FVECTOR3(std::sin(f), std::cos(f), f * 0.001f);
  }
  std::vector<FVECTOR3> out(count);
  FMATRIX m = SomeAffine(0.5f);
  for (auto _ : state) {
    benchmark::DoNotOptimize(m);
    for (std::size_t i = 0; i < count; ++i) out[i] = m.TransformPoint(in[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(count));
}
BENCHMARK(BM_TransformPoints)->Arg(10000);

}  // namespace
