// One frame of the viewport picture at 1280 × 720, off-screen: a smooth, wavy
// sheet of triangles filling the view, drawn through the renderer (building
// the coloured lists, drawing with Mesa, reading the pixels back), and the
// building of the lists alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "host/core/document.h"
#include "host/render/renderer.h"
#include "host/render/viewport_mesh.h"

namespace {

// A document whose one object is a grid of about `triangles` triangles seen
// head-on by the camera, its height rippling so that shades vary.
std::unique_ptr<mqhost::Document> Sheet(int triangles) {
  auto document = std::make_unique<mqhost::Document>();
  document->camera.width = 1280;
  document->camera.height = 720;
  auto object = document->NewObject();
  const int cells = static_cast<int>(std::lround(std::sqrt(triangles / 2.0)));
  const float size = 600.0f;
  for (int y = 0; y <= cells; ++y) {
    for (int x = 0; x <= cells; ++x) {
      const float u = static_cast<float>(x) / static_cast<float>(cells), v = static_cast<float>(y) / static_cast<float>(cells);
      object->AddVertex(MQPoint{(u - 0.5f) * size, (0.5f - v) * size * 0.6f,
                                20.0f * std::sin(u * 25.0f) * std::cos(v * 17.0f)});
    }
  }
  const auto at = [cells](int x, int y) { return y * (cells + 1) + x; };
  for (int y = 0; y < cells; ++y) {
    for (int x = 0; x < cells; ++x) {
      // Clockwise on the monitor: the front faces the camera.
      object->AddFace({at(x, y), at(x + 1, y), at(x + 1, y + 1)});
      object->AddFace({at(x, y), at(x + 1, y + 1), at(x, y + 1)});
    }
  }
  document->AddObject(std::move(object));
  return document;
}

void RenderFrame(benchmark::State& state) {
  const auto document = Sheet(static_cast<int>(state.range(0)));
  std::string error;
  const std::unique_ptr<mqhost::ViewportRenderer> renderer = mqhost::ViewportRenderer::Create(&error);
  if (!renderer) {
    state.SkipWithError(error.c_str());
    return;
  }
  mqhost::Image picture;
  for (auto _ : state) {
    if (!renderer->Render(*document, &picture, &error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(picture.data());
  }
  state.counters["triangles"] = static_cast<double>(document->ObjectAt(0)->faces.size());
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(document->ObjectAt(0)->faces.size()));
}

void BuildMesh(benchmark::State& state) {
  const auto document = Sheet(static_cast<int>(state.range(0)));
  mqhost::ViewportMesh mesh;
  for (auto _ : state) {
    mqhost::BuildViewportMesh(*document, &mesh);
    benchmark::DoNotOptimize(mesh.triangles.indices.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(document->ObjectAt(0)->faces.size()));
}

BENCHMARK(RenderFrame)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BuildMesh)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
