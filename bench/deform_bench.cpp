// Re-deforming the rendering copy of one weighted object per draw event, as a
// pose drag does (4 bones per vertex out of 64), through the substitute host;
// beside it the plain scalar loop over the same positions and weights held in
// arrays, and the linear and dual-quaternion kernels alone.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "bench/bench_document.h"
#include "deform/pose_evaluation.h"
#include "deform/rendering_copies.h"
#include "deform/skinning.h"
#include "host/core/api.h"
#include "host/core/host.h"
#include "rig/id_table.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "rig/slot_table.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

namespace {

constexpr int kBones = 64;


struct Influences {
  int32_t bone[4];
  float weight[4];
};

// The same skin as plain arrays, for the reference loop.
struct PlainSkin {
  std::vector<FVECTOR3> positions;
  std::vector<Influences> influences;
  std::vector<FMATRIX> matrices;
  std::vector<FVECTOR3> out;
};

// A document with 64 bones and one mesh of `vertices` vertices in triangles,
// each vertex weighted to 4 random bones.
class SkinnedDocument {
 public:
  explicit SkinnedDocument(int vertices) {
    ok_ = LoadHostApi(mqhost::Host::OwnModulePath().c_str(), HostApi()) == TRUE;
    document_ = mqhost::Host::Instance().NewDocument();
    doc_ = mqhost::ToHandle(document_);
    ok_ = ok_ && quorvel::RegisterRigSlots(doc_, slots_);
    if (!ok_) return;
    std::mt19937 random(1);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<int32_t> uids;
    for (int i = 0; i < kBones; ++i) {
      auto bone = document_->NewObject();
      bone->depth = i == 0 ? 0 : 1;
      bone->transform.translation = FVECTOR3(unit(random), unit(random), unit(random));
      mqhost::Object* raw = bone.get();
      document_->AddObject(std::move(bone));
      uids.push_back(static_cast<int32_t>(raw->uid));
      quorvel::OPoseTSQ pose;
      pose.rot = FQUAT::FromAxisAngle({unit(random), 1.0f, unit(random)}, unit(random));
      pose.trs = FVECTOR3(unit(random), unit(random), unit(random));
      quorvel::SetPoseTSQ(mqhost::ToHandle(raw), slots_, 0, pose);
    }
    auto mesh = document_->NewObject();
    mesh_ = mesh.get();
    document_->AddObject(std::move(mesh));
    plain_.positions.resize(static_cast<size_t>(vertices));
    plain_.influences.resize(static_cast<size_t>(vertices));
    std::vector<quorvel::VWeight> records(static_cast<size_t>(vertices));
    for (int v = 0; v < vertices; ++v) {
      const FVECTOR3 p(10 * unit(random), 10 * unit(random), 10 * unit(random));
      mesh_->AddVertex(MQPoint{p.x, p.y, p.z});
      plain_.positions[static_cast<size_t>(v)] = p;
      quorvel::VWeight& rec = records[static_cast<size_t>(v)];
      quorvel::Init(rec);
      Influences& inf = plain_.influences[static_cast<size_t>(v)];
      for (int j = 0; j < 4; ++j) {
        inf.bone[j] = static_cast<int32_t>((static_cast<uint32_t>(v) * 7u + static_cast<uint32_t>(j) * 13u) % kBones);
        inf.weight[j] = 0.25f;
        rec.entries[j] = quorvel::VWeightEntry{uids[static_cast<size_t>(inf.bone[j])], 0.25f};
      }
      rec.head = static_cast<uint8_t>(quorvel::VWeight::kValidBit | 4 << 1);
    }
    for (int v = 0; v + 2 < vertices; v += 3) mesh_->AddFace({v, v + 1, v + 2});
    MQObject mesh_handle = mqhost::ToHandle(mesh_);
    HostApi().MQObj_AllocVertexUserData(mesh_handle, slots_.VWeight());
    HostApi().MQObj_SetVertexUserData(mesh_handle, slots_.VWeight(), 0, vertices, 0,
                                      static_cast<int>(sizeof(quorvel::VWeight)), records.data());
    quorvel::EnsureRigRecords(doc_, slots_);
    quorvel::SaveVisibility(doc_, slots_);
    state_.current_pose_id = 0;
    quorvel::EvaluateCurrentPose(doc_, slots_, state_);
    quorvel::ReadSkinningMatrices(doc_, slots_, plain_.matrices);
    plain_.out.resize(plain_.positions.size());
  }
  ~SkinnedDocument() {
    copies_.reset();
    if (document_ != nullptr) mqhost::Host::Instance().CloseDocument(document_);
  }

  bool ok() const { return ok_; }

  // One draw event of a pose drag: the copies are marked for deformation and
  // refreshed.
  void Redeform() {
    if (!copies_) {
      drawing_host_ = std::make_unique<DocumentDrawingHost>(*document_);
      copies_ = std::make_unique<quorvel::RENDERING_COPIES>(*drawing_host_);
      copies_->Refresh(doc_, slots_, state_, false, true);
    }
    copies_->MarkDeform();
    copies_->Refresh(doc_, slots_, state_, false, true);
  }

  PlainSkin& plain() { return plain_; }

  // The mesh's skin prepared as the rendering copies prepare it, and the
  // palette the kernel takes (every matrix, then the identity).
  void PrepareKernel(quorvel::SkinCache& cache, std::vector<FMATRIX>& palette) {
    quorvel::IdTable ids;
    quorvel::BuildIdTable(doc_, ids);
    quorvel::DeformInputs in;
    in.document = doc_;
    in.slots = &slots_;
    in.matrices = &plain_.matrices;
    in.ids = &ids;
    in.pose_id = 0;
    quorvel::PrepareSkin(in, mqhost::ToHandle(mesh_), cache);
    palette = plain_.matrices;
    palette.push_back(FMATRIX::kIdentity);
  }

 private:
  mqhost::Document* document_ = nullptr;
  MQDocument doc_ = nullptr;
  mqhost::Object* mesh_ = nullptr;
  quorvel::RigSlotTable slots_;
  quorvel::RigEditState state_;
  std::unique_ptr<DocumentDrawingHost> drawing_host_;
  std::unique_ptr<quorvel::RENDERING_COPIES> copies_;
  PlainSkin plain_;
  bool ok_ = false;
};

// Seconds per vertex (shown in ns), to compare kernels across mesh sizes.
void SetTimePerVertex(benchmark::State& state) {
  state.counters["per_vertex"] =
      benchmark::Counter(static_cast<double>(state.range(0)),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void RenderingCopyRedeform(benchmark::State& state) {
  SkinnedDocument skinned(static_cast<int>(state.range(0)));
  if (!HostReady(skinned.ok(), state)) return;
  skinned.Redeform();  // builds the copy and prepares its skin once
  for (auto _ : state) skinned.Redeform();
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The reference: a plain loop over arrays, -O2, no SIMD by hand.
void PlainScalarSkinning(benchmark::State& state) {
  SkinnedDocument skinned(static_cast<int>(state.range(0)));
  if (!HostReady(skinned.ok(), state)) return;
  PlainSkin& s = skinned.plain();
  for (auto _ : state) {
    const size_t n = s.positions.size();
    for (size_t v = 0; v < n; ++v) {
      const FVECTOR3& p = s.positions[v];
      const Influences& inf = s.influences[v];
      FVECTOR3 sum(0.0f, 0.0f, 0.0f);
      for (int j = 0; j < 4; ++j) {
        sum += s.matrices[static_cast<size_t>(inf.bone[j])].TransformPoint(p) * inf.weight[j];
      }
      s.out[v] = sum;
    }
    benchmark::DoNotOptimize(s.out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The kernel alone, on the same skin: what a frame costs without the host.
void SkinningKernel(benchmark::State& state) {
  SkinnedDocument skinned(static_cast<int>(state.range(0)));
  if (!HostReady(skinned.ok(), state)) return;
  quorvel::SkinCache cache;
  std::vector<FMATRIX> palette;
  skinned.PrepareKernel(cache, palette);
  PlainSkin& s = skinned.plain();
  for (auto _ : state) {
    quorvel::SkinPositions(cache, palette, s.positions, s.out);
    benchmark::DoNotOptimize(s.out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  SetTimePerVertex(state);
}

// The dual-quaternion kernel on the same skin and palette, the palette's
// conversion included: what a frame costs beside SkinningKernel.
void DualQuaternionSkinningKernel(benchmark::State& state) {
  SkinnedDocument skinned(static_cast<int>(state.range(0)));
  if (!HostReady(skinned.ok(), state)) return;
  quorvel::SkinCache cache;
  std::vector<FMATRIX> palette;
  skinned.PrepareKernel(cache, palette);
  PlainSkin& s = skinned.plain();
  quorvel::DualQuaternionPalette dq;
  for (auto _ : state) {
    quorvel::ToDualQuaternions(palette, dq);
    quorvel::SkinPositionsDualQuaternion(cache, palette, dq, s.positions, s.out);
    benchmark::DoNotOptimize(s.out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  SetTimePerVertex(state);
}

BENCHMARK(RenderingCopyRedeform)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainScalarSkinning)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
// Medians of five runs each: the two kernels are compared by them.
BENCHMARK(SkinningKernel)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK(DualQuaternionSkinningKernel)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);

}  // namespace
