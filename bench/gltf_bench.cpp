// glTF export and import of the sample rig on a dense arm (100 000 and
// 1 000 000 vertices, two poses), beside gltfpack reading and writing the
// same exported file.
//
// Export is the whole of the plug-in's work: gathering the scene from the host
// document and writing the .glb. Import is reading the file and adding it to
// an empty document. "peak_extra_MB" is the most memory the call held at once
// beyond what was held before it (every allocation of this process is counted
// below); "file_MB" is the exported file's size. For gltfpack, a separate
// process, "peak_rss_MB" is its peak resident size as the kernel reports it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <string>

#include "bench/bench_document.h"
#include "examples/sample_rig/sample_rig.h"
#include "host/files/document_file.h"
#include "host/files/xml_tree.h"
#include "io/document_format.h"
#include "main/gltf_exchange.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"

#include "bench/counting_allocator.h"

namespace {

namespace fs = std::filesystem;

// The dense sample, opened in a host document with its rig read, and its
// export on disk; made once per size.
struct DenseRig {
  BenchDocument bench;
  quorvel::RigEditState state;
  fs::path folder;
  fs::path glb;
  double file_mb = 0.0;
  bool ok = false;
  std::string error;

  explicit DenseRig(int vertices) {
    folder = fs::temp_directory_path() / ("quorvel-gltf-bench-" + std::to_string(::getpid()) + "-" +
                                          std::to_string(vertices));
    fs::create_directories(folder);
    const fs::path mqd = folder / "dense.mqd";
    glb = folder / "dense.glb";
    if (!bench.ok() || !quorvel_sample::MakeDenseSampleFile(vertices, mqd.string(), &error)) return;
    mqhost::PluginElementMap elements;
    if (!mqhost::LoadDocumentFile(mqd.string(), &bench.document(), &elements, &error)) return;
    const auto plugin = elements.find({quorvel::kRigProductId, quorvel::kRigPluginId});
    if (plugin == elements.end()) {
      error = "the dense sample holds no rig";
      return;
    }
    quorvel::EnsureRigRecords(bench.doc(), bench.slots());
    if (!quorvel::ReadDocument(mqhost::ToHandle(plugin->second.get()), bench.doc(), &state,
                               bench.slots())) {
      error = "the dense sample's rig does not read";
      return;
    }
    ok = Export(nullptr);
    if (ok) file_mb = static_cast<double>(fs::file_size(glb)) / 1e6;
  }
  ~DenseRig() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  bool Export(quorvel::gltf::ExportReport* report) {
    quorvel::gltf::Scene scene;
    quorvel::gltf::ExportReport unused;
    return quorvel::GatherGltfScene(bench.doc(), bench.slots(), state, &scene, &error) &&
           quorvel::gltf::ExportGltf(scene, glb.string(), quorvel::gltf::ExportOptions(),
                                     report != nullptr ? report : &unused, &error);
  }
};

// The dense rigs, made on first use; main() lets them go while the host they
// live in is still there.
std::map<int, std::unique_ptr<DenseRig>>& Rigs() {
  static std::map<int, std::unique_ptr<DenseRig>> rigs;
  return rigs;
}

DenseRig& Rig(int vertices) {
  auto& rig = Rigs()[vertices];
  if (!rig) rig = std::make_unique<DenseRig>(vertices);
  return *rig;
}

bool Ready(DenseRig& rig, benchmark::State& s) {
  if (!rig.ok) s.SkipWithError(("dense sample not made: " + rig.error).c_str());
  return rig.ok;
}

void BM_GltfExport(benchmark::State& s) {
  DenseRig& rig = Rig(static_cast<int>(s.range(0)));
  if (!Ready(rig, s)) return;
  double peak = 0.0;
  for (auto _ : s) {
    const int64_t base = StartPeak();
    if (!rig.Export(nullptr)) {
      s.SkipWithError(rig.error.c_str());
      return;
    }
    peak = std::max(peak, PeakExtraMB(base));
  }
  s.counters["peak_extra_MB"] = peak;
  s.counters["file_MB"] = rig.file_mb;
}

void BM_GltfImport(benchmark::State& s) {
  DenseRig& rig = Rig(static_cast<int>(s.range(0)));
  if (!Ready(rig, s)) return;
  double peak = 0.0;
  for (auto _ : s) {
    s.PauseTiming();
    auto target = std::make_unique<BenchDocument>();
    quorvel::RigEditState state;
    quorvel::EnsureRigRecords(target->doc(), target->slots());
    s.ResumeTiming();
    const int64_t base = StartPeak();
    quorvel::gltf::Scene scene;
    quorvel::gltf::ImportReport report;
    std::string error;
    const bool done =
        quorvel::gltf::ImportGltf(rig.glb.string(), quorvel::gltf::ImportOptions(), &scene, &report,
                                  &error) &&
        quorvel::ApplyGltfScene(scene, target->doc(), target->slots(), state, &error);
    if (!done) {
      s.SkipWithError(error.c_str());
      return;
    }
    peak = std::max(peak, PeakExtraMB(base));
    s.PauseTiming();
    target.reset();
    s.ResumeTiming();
  }
  s.counters["peak_extra_MB"] = peak;
  s.counters["file_MB"] = rig.file_mb;
}

// gltfpack reads the exported file and writes its own (default settings:
// it also quantises and reorders, which is what its users run it for). GNU
// time runs it and reports its peak resident size: a child of this process
// would carry this process's own peak in that figure.
void BM_Gltfpack(benchmark::State& s) {
  DenseRig& rig = Rig(static_cast<int>(s.range(0)));
  if (!Ready(rig, s)) return;
  const std::string in = rig.glb.string();
  const std::string out = (rig.folder / "packed.glb").string();
  const std::string rss = (rig.folder / "gltfpack-rss.txt").string();
  long peak_kb = 0;
  for (auto _ : s) {
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    const char* args[] = {"/usr/bin/time", "-f", "%M", "-o", rss.c_str(), "gltfpack",
                          "-i", in.c_str(), "-o", out.c_str(), nullptr};
    pid_t child = -1;
    const int spawned = posix_spawn(&child, args[0], &quiet, nullptr, const_cast<char* const*>(args), environ);
    posix_spawn_file_actions_destroy(&quiet);
    int status = 0;
    long kb = 0;
    FILE* report = nullptr;
    const bool ran = spawned == 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                     WEXITSTATUS(status) == 0 && (report = std::fopen(rss.c_str(), "r")) != nullptr;
    if (report != nullptr) {
      if (std::fscanf(report, "%ld", &kb) != 1) kb = -1;
      std::fclose(report);
    }
    if (!ran || kb <= 0) {
      s.SkipWithError("gltfpack did not run under /usr/bin/time (Debian packages gltfpack, time)");
      return;
    }
    peak_kb = std::max(peak_kb, kb);
  }
  s.counters["peak_rss_MB"] = static_cast<double>(peak_kb) / 1e3;
  s.counters["file_MB"] = rig.file_mb;
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(5)
      ->ReportAggregatesOnly(true);
}

BENCHMARK(BM_GltfExport)->Apply(Sizes);
BENCHMARK(BM_GltfImport)->Apply(Sizes);
BENCHMARK(BM_Gltfpack)->Apply(Sizes);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Rigs().clear();
  return 0;
}
