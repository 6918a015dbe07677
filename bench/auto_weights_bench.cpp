// Automatic weights (geodesic voxel binding) on a procedural character of
// 10 000, 100 000 and 1 000 000 vertices with 50 bones, at the default
// options (128 voxels along the longest side).
//
// The character stands 1.8 units tall in a T pose: torso, neck and head (with
// two eyes inside it), arms with hands and five fingers each, legs with feet,
// every part a separate closed tube or sphere pushed into its neighbour. The
// bones are a spine chain, neck, head, jaw and eyes, clavicles, arms, hands
// and two bones per finger, legs, feet and toes, with a zero-length root and
// toe ends.
//
// "peak_extra_MB" is the most memory one run held at once beyond what was
// held before it (every allocation of this process is counted below); the
// weight records are sized before the run, so it is the binding's own working
// memory. "grid" is the voxel grid's x*y*z, "solid" its solid voxels.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "rig/auto_weights.h"
#include "rig/rigging_mesh.h"
#include "rig/weight_record.h"

#include "bench/counting_allocator.h"

namespace {

using quorvel::RigBone;
using quorvel::RigMesh;

constexpr float kPi = 3.14159265f;

// One part of the body: a tube from a to b, or a sphere (a == b).
struct Part {
  FVECTOR3 a, b;
  float radius;
  bool sphere() const { return a == b; }
  float Area() const {
    return sphere() ? 4.0f * kPi * radius * radius : 2.0f * kPi * radius * (b - a).Length();
  }
};

// Two unit vectors perpendicular to `axis` and to each other.
void Frame(const FVECTOR3& axis, FVECTOR3* u, FVECTOR3* v) {
  const FVECTOR3 helper = std::fabs(axis.y) < 0.9f ? FVECTOR3(0.0f, 1.0f, 0.0f) : FVECTOR3(1.0f, 0.0f, 0.0f);
  *u = Cross(axis, helper).Normalized();
  *v = Cross(axis, *u);
}

// A closed tube of `rings` x `sides` vertices with fan caps.
void AddTube(RigMesh& mesh, const Part& part, int rings, int sides) {
  const int first = mesh.VertexCount();
  const FVECTOR3 axis = (part.b - part.a).Normalized();
  FVECTOR3 u, v;
  Frame(axis, &u, &v);
  for (int r = 0; r < rings; ++r) {
    const FVECTOR3 centre =
        part.a + (part.b - part.a) * (static_cast<float>(r) / static_cast<float>(rings - 1));
    for (int s = 0; s < sides; ++s) {
      const float angle = 2.0f * kPi * static_cast<float>(s) / static_cast<float>(sides);
      mesh.positions.push_back(centre + (u * std::cos(angle) + v * std::sin(angle)) * part.radius);
    }
  }
  auto at = [&](int r, int s) { return first + r * sides + s % sides; };
  for (int r = 0; r + 1 < rings; ++r) {
    for (int s = 0; s < sides; ++s) mesh.AddFace({at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
  }
  const int start = mesh.VertexCount();
  mesh.positions.push_back(part.a);
  mesh.positions.push_back(part.b);
  for (int s = 0; s < sides; ++s) {
    mesh.AddFace({start, at(0, s + 1), at(0, s)});
    mesh.AddFace({start + 1, at(rings - 1, s), at(rings - 1, s + 1)});
  }
}

void AddSphere(RigMesh& mesh, const Part& part, int rings, int sides) {
  const int top = mesh.VertexCount();
  mesh.positions.push_back(part.a + FVECTOR3(0.0f, part.radius, 0.0f));
  for (int r = 1; r < rings; ++r) {
    const float polar = kPi * static_cast<float>(r) / static_cast<float>(rings);
    for (int s = 0; s < sides; ++s) {
      const float angle = 2.0f * kPi * static_cast<float>(s) / static_cast<float>(sides);
      mesh.positions.push_back(part.a + FVECTOR3(std::sin(polar) * std::cos(angle), std::cos(polar),
                                                 std::sin(polar) * std::sin(angle)) *
                                            part.radius);
    }
  }
  const int bottom = mesh.VertexCount();
  mesh.positions.push_back(part.a - FVECTOR3(0.0f, part.radius, 0.0f));
  auto at = [&](int r, int s) { return top + 1 + (r - 1) * sides + s % sides; };
  for (int s = 0; s < sides; ++s) {
    mesh.AddFace({top, at(1, s + 1), at(1, s)});
    mesh.AddFace({bottom, at(rings - 1, s), at(rings - 1, s + 1)});
    for (int r = 1; r + 1 < rings; ++r)
      mesh.AddFace({at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
  }
}

struct Character {
  RigMesh mesh;
  std::vector<RigBone> bones;
};

Character MakeCharacter(int vertices) {
  Character c;
  std::vector<Part> parts = {
      {{0.0f, 0.86f, 0.0f}, {0.0f, 1.52f, 0.0f}, 0.16f},           // torso
      {{0.0f, 1.46f, 0.0f}, {0.0f, 1.64f, 0.0f}, 0.055f},          // neck
      {{0.0f, 1.71f, 0.01f}, {0.0f, 1.71f, 0.01f}, 0.11f},         // head
      {{-0.035f, 1.72f, 0.08f}, {-0.035f, 1.72f, 0.08f}, 0.016f},  // eyes
      {{0.035f, 1.72f, 0.08f}, {0.035f, 1.72f, 0.08f}, 0.016f},
  };
  for (float side : {-1.0f, 1.0f}) {
    parts.push_back({{side * 0.08f, 1.44f, 0.0f}, {side * 0.72f, 1.44f, 0.0f}, 0.05f});   // arm
    parts.push_back({{side * 0.69f, 1.44f, 0.0f}, {side * 0.80f, 1.44f, 0.0f}, 0.035f});  // hand
    for (int f = 0; f < 4; ++f) {
      const float z = -0.027f + 0.018f * static_cast<float>(f);
      parts.push_back({{side * 0.79f, 1.44f, z}, {side * 0.89f, 1.44f, z}, 0.008f});
    }
    parts.push_back({{side * 0.73f, 1.44f, 0.025f}, {side * 0.78f, 1.44f, 0.085f}, 0.009f});  // thumb
    parts.push_back({{side * 0.1f, 0.98f, 0.0f}, {side * 0.1f, 0.06f, 0.0f}, 0.075f});        // leg
    parts.push_back({{side * 0.1f, 0.05f, -0.04f}, {side * 0.1f, 0.04f, 0.22f}, 0.04f});      // foot
  }
  float area = 0.0f;
  for (const Part& p : parts) area += p.Area();
  // A tube of rings x sides keeps its quads square: sides ~ k * 2 pi r, rings ~ k * L.
  const float k = std::sqrt(static_cast<float>(vertices) / area);
  for (const Part& p : parts) {
    const int sides = std::max(6, static_cast<int>(std::lround(k * 2.0f * kPi * p.radius)));
    if (p.sphere()) {
      AddSphere(c.mesh, p, std::max(4, sides / 2), sides);
    } else {
      AddTube(c.mesh, p, std::max(2, static_cast<int>(std::lround(k * (p.b - p.a).Length())) + 1), sides);
    }
  }

  auto bone = [&](const FVECTOR3& head, const FVECTOR3& tail, int parent) {
    RigBone b;
    b.id = 100 + static_cast<int32_t>(c.bones.size());
    b.name = "b" + std::to_string(b.id);
    b.head = head;
    b.tail = tail;
    b.parent = parent;
    c.bones.push_back(b);
    return static_cast<int>(c.bones.size()) - 1;
  };
  const int root = bone({0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, -1);
  const int hips = bone({0.0f, 0.95f, 0.0f}, {0.0f, 1.05f, 0.0f}, root);
  int spine = hips;
  const float spine_y[] = {1.05f, 1.17f, 1.29f, 1.40f, 1.48f};
  for (int i = 0; i + 1 < 5; ++i) spine = bone({0.0f, spine_y[i], 0.0f}, {0.0f, spine_y[i + 1], 0.0f}, spine);
  const int neck1 = bone({0.0f, 1.48f, 0.0f}, {0.0f, 1.54f, 0.0f}, spine);
  const int neck2 = bone({0.0f, 1.54f, 0.0f}, {0.0f, 1.60f, 0.0f}, neck1);
  const int head = bone({0.0f, 1.60f, 0.0f}, {0.0f, 1.80f, 0.0f}, neck2);
  bone({0.0f, 1.64f, 0.02f}, {0.0f, 1.63f, 0.09f}, head);  // jaw
  for (float side : {-1.0f, 1.0f}) bone({side * 0.035f, 1.72f, 0.07f}, {side * 0.035f, 1.72f, 0.09f}, head);
  for (float side : {-1.0f, 1.0f}) {
    const int clavicle = bone({side * 0.03f, 1.45f, 0.0f}, {side * 0.17f, 1.44f, 0.0f}, spine);
    const int upper = bone({side * 0.17f, 1.44f, 0.0f}, {side * 0.45f, 1.44f, 0.0f}, clavicle);
    const int fore = bone({side * 0.45f, 1.44f, 0.0f}, {side * 0.71f, 1.44f, 0.0f}, upper);
    const int hand = bone({side * 0.71f, 1.44f, 0.0f}, {side * 0.79f, 1.44f, 0.0f}, fore);
    for (int f = 0; f < 4; ++f) {
      const float z = -0.027f + 0.018f * static_cast<float>(f);
      const int first = bone({side * 0.79f, 1.44f, z}, {side * 0.84f, 1.44f, z}, hand);
      bone({side * 0.84f, 1.44f, z}, {side * 0.88f, 1.44f, z}, first);
    }
    const int thumb = bone({side * 0.73f, 1.44f, 0.025f}, {side * 0.755f, 1.44f, 0.055f}, hand);
    bone({side * 0.755f, 1.44f, 0.055f}, {side * 0.775f, 1.44f, 0.08f}, thumb);
  }
  for (float side : {-1.0f, 1.0f}) {
    const int thigh = bone({side * 0.1f, 0.95f, 0.0f}, {side * 0.1f, 0.52f, 0.0f}, hips);
    const int shin = bone({side * 0.1f, 0.52f, 0.0f}, {side * 0.1f, 0.08f, 0.0f}, thigh);
    const int foot = bone({side * 0.1f, 0.08f, 0.0f}, {side * 0.1f, 0.04f, 0.12f}, shin);
    const int toe = bone({side * 0.1f, 0.04f, 0.12f}, {side * 0.1f, 0.04f, 0.2f}, foot);
    bone({side * 0.1f, 0.04f, 0.21f}, {side * 0.1f, 0.04f, 0.21f}, toe);  // toe end
  }
  return c;
}

// The characters, made on first use and kept for the repetitions.
Character& CharacterOf(int vertices) {
  static std::map<int, std::unique_ptr<Character>> characters;
  auto& c = characters[vertices];
  if (!c) c = std::make_unique<Character>(MakeCharacter(vertices));
  return *c;
}

void BM_AutoWeights(benchmark::State& s) {
  Character& c = CharacterOf(static_cast<int>(s.range(0)));
  std::vector<quorvel::VWeight> weights(c.mesh.positions.size());
  quorvel::AutoWeightReport report;
  double peak = 0.0;
  for (auto _ : s) {
    const int64_t base = StartPeak();
    report = quorvel::ComputeAutoWeights(c.mesh, c.bones, quorvel::AutoWeightOptions(), {}, weights);
    peak = std::max(peak, PeakExtraMB(base));
    if (report.status != quorvel::AutoWeightStatus::kOk || report.vertices_written != c.mesh.VertexCount()) {
      s.SkipWithError("the binding did not write every vertex");
      return;
    }
    benchmark::DoNotOptimize(weights.data());
  }
  s.counters["vertices"] = static_cast<double>(c.mesh.VertexCount());
  s.counters["bones"] = static_cast<double>(c.bones.size());
  s.counters["peak_extra_MB"] = peak;
  s.counters["grid"] = static_cast<double>(report.grid_x) * report.grid_y * report.grid_z;
  s.counters["grid_x"] = report.grid_x;
  s.counters["grid_y"] = report.grid_y;
  s.counters["grid_z"] = report.grid_z;
  s.counters["solid"] = static_cast<double>(report.solid_voxels);
}

BENCHMARK(BM_AutoWeights)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
