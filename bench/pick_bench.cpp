// Picking and drawing in the viewport through the substitute host, beside
// plain loops that do the same geometric work on arrays: what every hover
// (a pick over all bones), every paint step (the brush over all vertices)
// and every frame (the draw pass) costs.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "bench/bench_document.h"
#include "deform/pose_evaluation.h"
#include "rig/bone_points.h"
#include "rig/edit_state.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "tools/bone_drawing.h"
#include "tools/picking.h"
#include "tools/screen_conversion.h"
#include "tools/selection.h"
#include "tests/support/fake_tool_service.h"
#include "tools/viewport_drawing.h"

namespace {

// The plug-in's services as the tools need them, over one bench document,
// in pose mode with the move handle shown.
class BenchToolService : public FakeToolService {
 public:
  explicit BenchToolService(BenchDocument& bench) : FakeToolService(&bench.document(), bench.slots()) {
    pose_mode = true;
    mode = 2;
    show_handle = 1;
  }
};

// `bones` bones in chains of ten spread over the view: a root every 40
// units on a grid, each chain running 3 units a step to the right.
void BuildSpreadRig(BenchDocument& bench, int bones) {
  const int chains = (bones + 9) / 10;
  const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(chains))));
  for (int i = 0; i < bones; ++i) {
    const int chain = i / 10, link = i % 10;
    const FVECTOR3 offset = link == 0 ? FVECTOR3(static_cast<float>(chain % side) * 40.0f - 180.0f,
                                                 static_cast<float>(chain / side) * 40.0f - 180.0f, 0.0f)
                                      : FVECTOR3(3.0f, 0.3f, 0.0f);
    bench.Append(link, offset);
  }
  quorvel::EnsureRigRecords(bench.doc(), bench.slots());
  quorvel::RigEditState state;
  quorvel::EvaluateCurrentPose(bench.doc(), bench.slots(), state);  // every pose matrix stored
}

// What a pick does per bone, on arrays: its points through its pose matrix,
// pivot and roll point projected and tested, the body's six triangles
// tested against the mouse ray.
struct PlainBone {
  FMATRIX pose;
  FVECTOR3 pivot, roll, body[5];
  bool has_body;
};

FVECTOR3 Project(const FMATRIX& view_proj, const FVECTOR3& p) {
  const FVECTOR4 c = view_proj.Transform(FVECTOR4(p, 1.0f));
  const float w = c.w != 0.0f ? c.w : 1e-12f;
  return FVECTOR3((c.x / w + 1.0f) * 320.0f, (1.0f - c.y / w) * 240.0f, c.z / w);
}

void PickBones(benchmark::State& state) {
  BenchDocument bench;
  if (!HostReady(bench.ok(), state)) return;
  const int bones = static_cast<int>(state.range(0));
  BuildSpreadRig(bench, bones);
  BenchToolService service(bench);
  MQScene scene = HostApi().MQDoc_GetScene(bench.doc(), 0);
  USELECT_PARA para(&service, scene);
  MED_USELECT picker;
  // The mouse on the middle of some bone's body.
  const FVECTOR3 target = para.WorldToScreen(FVECTOR3(-178.5f, -179.85f, 0.0f));
  for (auto _ : state) {
    MED_SELECTITEM item;
    benchmark::DoNotOptimize(picker.Pick(para, bench.doc(), bench.slots(), &service.state, target.x, target.y, item,
                                         PICK_PIVOTS | PICK_ROLLS | PICK_BODIES, true, HANDLE_MOVE));
  }
  state.SetItemsProcessed(state.iterations() * bones);
}

void PlainPickLoop(benchmark::State& state) {
  BenchDocument bench;
  if (!HostReady(bench.ok(), state)) return;
  const int bones = static_cast<int>(state.range(0));
  BuildSpreadRig(bench, bones);
  MQScene scene = HostApi().MQDoc_GetScene(bench.doc(), 0);
  const SCREENCONVMQ host(scene);
  const FMATRIX view_proj = host.ViewMatrix() * host.ProjMatrix();
  std::vector<PlainBone> rig;
  for (int i = 0; i < bones; ++i) {
    MQObject obj = HostApi().MQDoc_GetObject(bench.doc(), i);
    const quorvel::BonePoints p = quorvel::GetBonePoints(bench.doc(), obj);
    const pick_geometry::BodyPoints b = pick_geometry::BodyForPicking(p.pivot, p.tail, p.roll);
    PlainBone bone{quorvel::GetWorldMatrix(obj, bench.slots()), p.pivot, p.roll, {}, p.has_body};
    for (int k = 0; k < 5; ++k) bone.body[k] = b.p[k];
    rig.push_back(bone);
  }
  const FVECTOR3 mouse = host.WorldToScreen(FVECTOR3(-178.5f, -179.85f, 0.0f));
  const FVECTOR3 near_point = host.ScreenToWorld(FVECTOR3(mouse.x, mouse.y, 0.001f));
  const FVECTOR3 far_point = host.ScreenToWorld(FVECTOR3(mouse.x, mouse.y, 0.999f));
  const FVECTOR3 dir = (far_point - near_point).Normalized();
  for (auto _ : state) {
    float best = 100.0f, depth = 3.4e38f;
    int found = -1;
    for (int i = 0; i < bones; ++i) {
      const PlainBone& b = rig[static_cast<size_t>(i)];
      for (const FVECTOR3& point : {b.pivot, b.roll}) {
        const FVECTOR3 s = Project(view_proj, b.pose.TransformPoint(point));
        const float d2 = (s.x - mouse.x) * (s.x - mouse.x) + (s.y - mouse.y) * (s.y - mouse.y);
        if (d2 < best) {
          best = d2;
          depth = s.z;
          found = i;
        }
      }
      if (!b.has_body) continue;
      FVECTOR3 q[5];
      for (int k = 0; k < 5; ++k) q[k] = b.pose.TransformPoint(b.body[k]);
      float nearest = -1.0f;
      for (const auto& t : pick_geometry::kBodyTriangles) {
        const float hit = pick_geometry::RayTriangle(near_point, dir, q[t[0]], q[t[1]], q[t[2]]);
        if (hit >= 0.0f && (nearest < 0.0f || hit < nearest)) nearest = hit;
      }
      if (nearest >= 0.0f) {
        const float z = Project(view_proj, near_point + dir * nearest).z;
        if (z < depth) {
          depth = z;
          best = 0.0f;
          found = i;
        }
      }
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * bones);
}

// One object of `vertices` vertices in a square grid of triangles facing the
// camera, filling the middle of the view.
MQObject BuildGrid(BenchDocument& bench, int vertices) {
  const int side = static_cast<int>(std::sqrt(static_cast<double>(vertices)));
  auto object = bench.document().NewObject();
  mqhost::Object* grid = object.get();
  bench.document().AddObject(std::move(object));
  const float step = 300.0f / static_cast<float>(side);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      grid->AddVertex(MQPoint{static_cast<float>(x) * step - 150.0f, static_cast<float>(y) * step - 150.0f, 0.0f});
  for (int y = 0; y + 1 < side; ++y) {
    for (int x = 0; x + 1 < side; ++x) {
      const int a = y * side + x, b = a + 1, c = a + side, d = c + 1;
      // Clockwise on the screen: the front.
      grid->AddFace({a, c, b});
      grid->AddFace({b, c, d});
    }
  }
  return mqhost::ToHandle(grid);
}

void PickVerticesBrush(benchmark::State& state) {
  BenchDocument bench;
  if (!HostReady(bench.ok(), state)) return;
  BuildGrid(bench, static_cast<int>(state.range(0)));
  MED_USELECT brush;
  std::vector<HITVERT> hits;
  HITVERT nearest;
  // The steady state of a stroke: the host has seen this view before (as a
  // modeller has drawn it), so its face visibility and vertex-to-face table
  // are at hand. The first pick after a change of view pays for them once;
  // PickVerticesFirstInView measures that.
  brush.PickVertices(bench.doc(), FVECTOR2(320.0f, 240.0f), 20.0f, hits, nearest);
  for (auto _ : state) {
    brush.PickVertices(bench.doc(), FVECTOR2(320.0f, 240.0f), 20.0f, hits, nearest);
    benchmark::DoNotOptimize(hits.data());
  }
  state.counters["hits"] = static_cast<double>(hits.size());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The first pick after the camera moved: the host works out every face's
// visibility afresh.
void PickVerticesFirstInView(benchmark::State& state) {
  BenchDocument bench;
  if (!HostReady(bench.ok(), state)) return;
  BuildGrid(bench, static_cast<int>(state.range(0)));
  MED_USELECT brush;
  std::vector<HITVERT> hits;
  HITVERT nearest;
  mqhost::Camera& camera = bench.document().camera;
  brush.PickVertices(bench.doc(), FVECTOR2(320.0f, 240.0f), 20.0f, hits, nearest);
  int64_t step = 0;
  for (auto _ : state) {
    camera.position.x = (step++ % 2 == 0) ? 0.01f : 0.0f;
    brush.PickVertices(bench.doc(), FVECTOR2(320.0f, 240.0f), 20.0f, hits, nearest);
    benchmark::DoNotOptimize(hits.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void PlainBrushLoop(benchmark::State& state) {
  BenchDocument bench;
  if (!HostReady(bench.ok(), state)) return;
  MQObject grid = BuildGrid(bench, static_cast<int>(state.range(0)));
  MQScene scene = HostApi().MQDoc_GetScene(bench.doc(), 0);
  const SCREENCONVMQ host(scene);
  const FMATRIX view_proj = host.ViewMatrix() * host.ProjMatrix();
  std::vector<FVECTOR3> points;
  for (const mqhost::Vertex& v : mqhost::ToObject(grid)->vertices) {
    points.emplace_back(v.position.x, v.position.y, v.position.z);
  }
  std::vector<int> hits;
  for (auto _ : state) {
    hits.clear();
    for (size_t i = 0; i < points.size(); ++i) {
      const FVECTOR3 s = Project(view_proj, points[i]);
      const float dx = s.x - 320.0f, dy = s.y - 240.0f;
      if (dx * dx + dy * dy <= 400.0f) hits.push_back(static_cast<int>(i));
    }
    benchmark::DoNotOptimize(hits.data());
  }
  state.counters["hits"] = static_cast<double>(hits.size());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Bones, local axes and the handle of a rig, as a frame in pose-free move
// mode draws them; the host's instant objects are discarded after each.
void DrawPass(benchmark::State& state) {
  BenchDocument bench;
  if (!HostReady(bench.ok(), state)) return;
  const int bones = static_cast<int>(state.range(0));
  BuildSpreadRig(bench, bones);
  BenchToolService service(bench);
  UDRAW_MQ drawer(&service);
  drawer.SetScene(HostApi().MQDoc_GetScene(bench.doc(), 0));
  for (auto _ : state) {
    DrawBones(drawer, bench.doc(), bench.slots(), &service.state, false);
    DrawLocalAxes(drawer, bench.doc(), false);
    DrawHandle(drawer, HANDLE_MOVE, FMATRIX());
    bench.document().DiscardInstantDrawing();
  }
  state.SetItemsProcessed(state.iterations() * bones);
}

BENCHMARK(PickBones)->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainPickLoop)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PickVerticesBrush)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(PickVerticesFirstInView)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainBrushLoop)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawPass)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
