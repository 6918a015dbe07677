#include "rig/rig_document.h"

#include <unordered_map>

#include "rig/bone_points.h"
#include "rig/host_records.h"
#include "rig/rig_access.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

namespace {

// Applies `change` to the bone record of every object that has one.
template <typename F>
void ForEachBoneRecord(MQDocument doc, const RigSlotTable& slots, F change) {
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    OBase rec;
    if (!GetBoneRecord(obj, slots, rec)) return;
    const OBase before = rec;
    change(obj, rec);
    if (rec.flags != before.flags) hr::WriteExistingObject(obj, slots.OBase(), rec);
  });
}

// Weight colours of the document's shown bones by unique id, gathered once so
// that colouring many vertices costs one walk of the object list.
class BoneColourTable {
 public:
  BoneColourTable(MQDocument doc, const RigSlotTable& slots) {
    hr::ForEachObject(doc, [&](MQObject obj, int) {
      OBase rec;
      Entry entry;
      entry.shown = GetBoneRecord(obj, slots, rec) && (rec.flags & OBase::OB_WEIGHTSHOW) != 0;
      entry.colour = rec.weight_colour;
      // The first object carrying an id wins, as a lookup by id would find it.
      colours_.emplace(hr::UniqueId(obj), entry);
    });
  }
  BoneColourLookup Lookup() const {
    return [this](int32_t bone, UCOLOR* colour) {
      auto it = colours_.find(bone);
      if (it == colours_.end() || !it->second.shown) return false;
      *colour = it->second.colour;
      return true;
    };
  }

 private:
  struct Entry {
    bool shown = false;
    UCOLOR colour;
  };
  std::unordered_map<int32_t, Entry> colours_;
};

void UpdateColourWith(VWeight& rec, const BoneColourLookup& lookup, MQDocument doc,
                      MQObject object, const RigEditState* state) {
  if (object != nullptr && state != nullptr && state->WeightCurrentObjectOnly()) {
    MQObject current = hr::CurrentObject(doc);
    UpdateColourCurrentObject(rec, current != nullptr ? hr::UniqueId(current) : -1, lookup);
  } else {
    UpdateColourAllBones(rec, lookup);
  }
}

}  // namespace

OBase MakeDefaultBoneRecord() {
  OBase rec;
  const int r = RandomInt(128, 255);
  const int g = RandomInt(128, 255);
  const int b = RandomInt(128, 255);
  rec.weight_colour = UCOLOR(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                             static_cast<uint8_t>(b), 255);
  return rec;
}

int EnsureRigRecords(MQDocument doc, const RigSlotTable& slots) {
  int added = 0;
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    if (HasBoneRecord(obj, slots)) return;
    const OBase rec = MakeDefaultBoneRecord();
    if (!SetBoneRecord(obj, slots, rec)) return;
    ++added;
    // No morph target is current yet, so the vertices are the base shape.
    StoreShape(obj, slots, rec.current_morph);
  });
  return added;
}

void SaveVisibility(MQDocument doc, const RigSlotTable& slots) {
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    SetSavedVisibility(obj, slots, static_cast<int32_t>(HostApi().MQObj_GetVisible(obj)));
  });
}

void RestoreVisibility(MQDocument doc, const RigSlotTable& slots) {
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    HostApi().MQObj_SetVisible(obj, static_cast<uint32_t>(GetSavedVisibility(obj, slots)));
  });
}

void ClearHover(MQDocument doc, const RigSlotTable& slots) {
  ForEachBoneRecord(doc, slots, [](MQObject, OBase& rec) { rec.flags &= ~OBase::kHoverBits; });
}

void SelectAllBones(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  if (!state.BonesShown()) return;
  ForEachBoneRecord(doc, slots, [](MQObject obj, OBase& rec) {
    if ((rec.flags & OBase::OB_RIG) == 0 || !hr::IsVisible(obj) || hr::IsLocked(obj)) return;
    rec.flags |= OBase::OB_SEL_BODY | OBase::OB_SEL_PIVOT;
  });
}

void ClearSelection(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  if (!state.BonesShown()) return;
  ForEachBoneRecord(doc, slots, [](MQObject, OBase& rec) {
    if ((rec.flags & OBase::OB_RIG) != 0) rec.flags &= ~OBase::kSelectionBits;
  });
}

int DeleteSelectedBones(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  if (doc == nullptr || !state.BonesShown()) return 0;
  int deleted = 0;
  // From the end backwards, so the walk stays right whether the host leaves
  // a deleted position empty or closes the gap.
  for (int i = HostApi().MQDoc_GetObjectCount(doc) - 1; i >= 0; --i) {
    MQObject obj = HostApi().MQDoc_GetObject(doc, i);
    if (obj == nullptr || !hr::IsVisible(obj) || hr::IsLocked(obj)) continue;
    if (!GetBoneFlag(obj, slots, OBase::OB_SEL_PIVOT)) continue;
    HostApi().MQDoc_DeleteObject(doc, i);
    ++deleted;
  }
  return deleted;
}

bool SelectionCentre(MQDocument doc, const RigSlotTable& slots, bool posed, FVECTOR3& centre) {
  FVECTOR3 sum;
  int count = 0;
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    const uint32_t flags = GetBoneFlags(obj, slots);
    if ((flags & OBase::kSelectionBits) == 0) return;
    const FMATRIX m = posed ? GetWorldMatrix(obj, slots) : FMATRIX();
    const BonePoints points = GetBonePoints(doc, obj);
    const FVECTOR3 pivot = m.TransformPoint(points.pivot);
    if (flags & OBase::OB_SEL_PIVOT) {
      sum += pivot;
      ++count;
    }
    if (!points.has_body) return;
    if (flags & OBase::OB_SEL_ROLL) {
      sum += m.TransformPoint(points.roll);
      ++count;
    }
    if (flags & OBase::OB_SEL_BODY) {
      sum += (pivot + m.TransformPoint(points.tail)) * 0.5f;
      ++count;
    }
  });
  if (count == 0) return false;
  centre = sum / static_cast<float>(count);
  return true;
}

void UpdateColour(VWeight& rec, MQDocument doc, const RigSlotTable& slots, MQObject object,
                  const RigEditState* state) {
  const BoneColourTable table(doc, slots);
  UpdateColourWith(rec, table.Lookup(), doc, object, state);
}

void UpdateWeightColours(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  const BoneColourTable table(doc, slots);
  const BoneColourLookup lookup = table.Lookup();
  hr::ForEachObject(doc, [&](MQObject obj, int) {
    if (!HasWeights(obj, slots)) return;
    const int count = hr::VertexCount(obj);
    for (int v = 0; v < count; ++v) {
      VWeight rec;
      if (!GetVertexWeights(obj, slots, v, rec)) continue;
      UpdateColourWith(rec, lookup, doc, obj, &state);
      SetVertexWeights(obj, slots, v, rec);
    }
  });
}

}  // namespace quorvel
