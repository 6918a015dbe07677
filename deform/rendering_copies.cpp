#include "deform/rendering_copies.h"

#include <algorithm>

#include "deform/deformation.h"
#include "deform/pose_evaluation.h"
#include "deform/skinning.h"
#include "rig/id_table.h"
#include "rig/rig_access.h"
#include "sdk/host_api.h"

namespace quorvel {

DrawWorkObj::DrawWorkObj() = default;
DrawWorkObj::~DrawWorkObj() = default;

RENDERING_COPIES::RENDERING_COPIES(MED_DRAWING_HOST& host)
    : host_(host), scratch_(std::make_unique<SkinScratch>()) {}

RENDERING_COPIES::~RENDERING_COPIES() = default;

void RENDERING_COPIES::Mark(uint32_t bits) {
  for (const auto& entry : entries_) entry->flags |= bits;
}

void RENDERING_COPIES::EnsureMaterial(MQDocument doc) {
  if (material_ != nullptr) return;
  int index = -1;
  material_ = host_.CreateDrawingMaterial(doc, index, FALSE);
  material_index_ = index;
  if (material_ == nullptr) return;
  const MQHostApi& api = HostApi();
  api.MQMat_SetName(material_, kWeightColourMaterialName);
  api.MQMat_SetIntValue(material_, MQMAT_ID_VERTEXCOLOR, 1);
  api.MQMat_SetEmission(material_, 1.0f);
  api.MQMat_SetDiffuse(material_, 0.0f);
  api.MQMat_SetAmbient(material_, 0.0f);
  api.MQMat_SetSpecular(material_, 0.0f);
  api.MQMat_SetPower(material_, 0.0f);
  api.MQMat_SetAlpha(material_, 0.7f);
}

void RENDERING_COPIES::MakeCopy(MQDocument doc, const RigSlotTable& slots, DrawWorkObj& entry,
                                MQObject source) {
  entry.drawing = host_.CreateDrawingObject(doc, kCopyDrawingVisibility, FALSE);
  entry.cache.reset();
  if (entry.drawing != nullptr) BuildCopy(entry.drawing, source, GetSavedVisibility(source, slots));
}

void RENDERING_COPIES::DeleteAll(MQDocument doc) {
  for (const auto& entry : entries_) {
    if (entry->drawing != nullptr) host_.DeleteDrawingObject(doc, entry->drawing);
  }
  entries_.clear();
}

void RENDERING_COPIES::Release(MQDocument doc) {
  DeleteAll(doc);
  if (material_ != nullptr) host_.DeleteDrawingMaterial(doc, material_);
  material_ = nullptr;
  material_index_ = -1;
}

void RENDERING_COPIES::Refresh(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                               bool weight_colours, bool deform) {
  if (doc == nullptr) return;
  const MQHostApi& api = HostApi();
  EnsureMaterial(doc);

  // The document's objects by unique id, to match entries against.
  IdTable ids;
  BuildIdTable(doc, ids);

  // Entries of objects that are gone.
  auto gone = [&](const std::unique_ptr<DrawWorkObj>& entry) {
    if (LookupIndex(ids, entry->source) >= 0) return false;
    if (entry->drawing != nullptr) host_.DeleteDrawingObject(doc, entry->drawing);
    return true;
  };
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(), gone), entries_.end());

  // New objects get an entry, built at once (so the rebuild bit a new entry
  // carries is already done).
  std::vector<int32_t> known;
  known.reserve(entries_.size());
  for (const auto& entry : entries_) known.push_back(entry->source);
  std::sort(known.begin(), known.end());
  const int count = api.MQDoc_GetObjectCount(doc);
  for (int i = 0; i < count; ++i) {
    MQObject source = api.MQDoc_GetObject(doc, i);
    if (source == nullptr) continue;
    const int32_t uid = api.MQObj_GetIntValue(source, MQOBJ_ID_UNIQUE_ID);
    if (std::binary_search(known.begin(), known.end(), uid)) continue;
    auto entry = std::make_unique<DrawWorkObj>();
    entry->source = uid;
    MakeCopy(doc, slots, *entry, source);
    entry->flags = DrawWorkObj::kDeform | DrawWorkObj::kRecolour;
    entries_.push_back(std::move(entry));
  }
  if (std::none_of(entries_.begin(), entries_.end(),
                   [](const auto& entry) { return entry->flags != 0; })) {
    return;
  }

  // Matrices, identifier table and palette once for every entry.
  DeformInputs inputs;
  inputs.document = doc;
  inputs.slots = &slots;
  inputs.ids = &ids;
  if (deform) {
    ReadSkinningMatrices(doc, slots, matrices_);
    palette_.assign(matrices_.begin(), matrices_.end());
    palette_.push_back(FMATRIX::kIdentity);
    inputs.matrices = &matrices_;
    inputs.palette = &palette_;
    inputs.pose_id = state.current_pose_id;
  }
  SkinScratch& scratch = *scratch_;
  for (const auto& entry_ptr : entries_) {
    DrawWorkObj& entry = *entry_ptr;
    if (entry.flags == 0) continue;
    const int index = LookupIndex(ids, entry.source);
    MQObject source = index >= 0 ? api.MQDoc_GetObject(doc, index) : nullptr;
    if (source == nullptr) continue;
    if (entry.flags & DrawWorkObj::kRebuild) {
      if (entry.drawing != nullptr) host_.DeleteDrawingObject(doc, entry.drawing);
      MakeCopy(doc, slots, entry, source);
      entry.flags = (entry.flags & ~DrawWorkObj::kRebuild) | DrawWorkObj::kDeform |
                    DrawWorkObj::kRecolour;
    }
    if ((entry.flags & DrawWorkObj::kRecolour) && weight_colours) {
      // A copy that cannot be coloured (hidden or unweighted source) keeps
      // its marks, deformation included, for a later refresh.
      if (!ColourCopy(slots, entry.drawing, source, material_index_)) continue;
      entry.flags &= ~DrawWorkObj::kRecolour;
    }
    if (entry.flags & DrawWorkObj::kDeform) {
      if (deform && entry.drawing != nullptr &&
          api.MQObj_GetVertexCount(source) > 0 && api.MQObj_GetFaceCount(source) > 0) {
        if (!entry.cache || !ApplySkin(inputs, entry.drawing, source, *entry.cache, scratch)) {
          entry.cache = std::make_unique<SkinCache>();
          PrepareSkin(inputs, source, *entry.cache);
          ApplySkin(inputs, entry.drawing, source, *entry.cache, scratch);
        }
      }
      entry.flags &= ~DrawWorkObj::kDeform;
    }
  }
}

}  // namespace quorvel
