#include "rig/weight_operations.h"

#include <algorithm>
#include <cstring>

#include "rig/host_records.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "rig/rigging_document.h"
#include "rig/weight_record.h"
#include "sdk/host_api.h"

namespace quorvel {

namespace hr = host_records;

namespace {

bool ValidPen(int pen) { return pen >= 0 && pen < kPenCount; }
bool ValidPalette(int index) { return index >= 0 && index < kPaletteCount; }

WeightPen* PenAt(RigEditState& state, int pen) {
  return ValidPen(pen) ? &state.pens[static_cast<std::size_t>(pen)] : nullptr;
}
const WeightPen* PenAt(const RigEditState& state, int pen) {
  return ValidPen(pen) ? &state.pens[static_cast<std::size_t>(pen)] : nullptr;
}

// The current palette in place; null while the index is out of range (the
// field is public, so a caller may have written anything into it).
VWeight* CurrentPaletteSlot(RigEditState& state) {
  PaletteSet& set = state.palettes;
  return ValidPalette(set.current_palette) ? &set.palettes[set.current_palette] : nullptr;
}

// Brings the current entry back into the current palette's entries, so that
// the highlighted row and the entry "Del" removes stay the same one.
void ClampCurrentEntry(RigEditState& state) {
  const int n = Count(CurrentPalette(state));
  int32_t& entry = state.palettes.current_entry;
  if (n == 0 || entry < 0) {
    entry = 0;
  } else if (entry >= n) {
    entry = n - 1;
  }
}

// Replaces the current palette (when there is one) and keeps the current
// entry in range.
void ReplaceCurrentPalette(RigEditState& state, const VWeight& rec) {
  VWeight* palette = CurrentPaletteSlot(state);
  if (palette == nullptr) return;
  *palette = rec;
  ClampCurrentEntry(state);
}

// The entries of `src` in a fresh record with the valid bit set; its colour
// is the caller's to compute (for a palette or for the target object).
VWeight ValidCopyOf(const VWeight& src) {
  VWeight rec;
  Init(rec);
  CopyEntries(rec, src);
  return rec;
}

VWeight EmptyRecord() {
  VWeight rec;
  Init(rec);
  return rec;
}

// Colours `rec` for `obj` and writes it to every vertex of the object.
void WriteEveryVertex(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                      MQObject obj, VWeight rec) {
  UpdateColour(rec, doc, slots, obj, &state);
  const int n = hr::VertexCount(obj);
  for (int v = 0; v < n; ++v) SetVertexWeights(obj, slots, v, rec);
}

// Applies `change` to the record of every selected vertex of every object
// that has weights, then recolours the document. Writing into an object
// without a weight slot would allocate one, so such objects are left out.
template <typename F>
void ChangeSelectedWeights(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                           F change) {
  hr::ForEachObject(doc, [&](MQObject obj, int index) {
    if (!HasWeights(obj, slots)) return;
    const int n = hr::VertexCount(obj);
    for (int v = 0; v < n; ++v) {
      if (!HostApi().MQDoc_IsSelectVertex(doc, index, v)) continue;
      VWeight rec;
      if (!GetVertexWeights(obj, slots, v, rec)) continue;
      change(rec);
      SetVertexWeights(obj, slots, v, rec);
    }
  });
  UpdateWeightColours(doc, slots, state);
}

}  // namespace

// ---------------------------------------------------------------- pens

WeightPen* CurrentPen(RigEditState& state) { return PenAt(state, state.current_pen); }
const WeightPen* CurrentPen(const RigEditState& state) { return PenAt(state, state.current_pen); }

bool SetCurrentPenIndex(RigEditState& state, int index) {
  if (!ValidPen(index)) return false;
  state.current_pen = index;
  return true;
}

int PenIndex(const RigEditState& state) { return state.current_pen; }

float PenSize(const RigEditState& state, int pen) {
  const WeightPen* p = PenAt(state, pen);
  return p != nullptr ? p->size : 0.0f;
}

bool SetPenSize(RigEditState& state, int pen, float size) {
  WeightPen* p = PenAt(state, pen);
  if (p == nullptr) return false;
  p->size = size;
  return true;
}

float PenDepth(const RigEditState& state, int pen) {
  const WeightPen* p = PenAt(state, pen);
  return p != nullptr ? p->depth : 0.0f;
}

bool SetPenDepth(RigEditState& state, int pen, float depth) {
  WeightPen* p = PenAt(state, pen);
  if (p == nullptr) return false;
  p->depth = depth;
  return true;
}

// ---------------------------------------------------------------- palettes

bool SetCurrentPalette(RigEditState& state, int index) {
  if (!ValidPalette(index)) return false;
  state.palettes.current_palette = index;
  ClampCurrentEntry(state);
  return true;
}

int CurrentPaletteIndex(const RigEditState& state) { return state.palettes.current_palette; }

VWeight CurrentPalette(const RigEditState& state) {
  const PaletteSet& set = state.palettes;
  return ValidPalette(set.current_palette) ? set.palettes[set.current_palette] : EmptyRecord();
}

bool SetPaletteEntry(RigEditState& state, int entry) {
  if (entry < 0 || entry >= Count(CurrentPalette(state))) return false;
  state.palettes.current_entry = entry;
  return true;
}

int PaletteEntry(const RigEditState& state) { return state.palettes.current_entry; }

void StorePalette(RigEditState& state, const VWeight& rec) { ReplaceCurrentPalette(state, rec); }

void PaletteFromCurrentObject(MQDocument doc, const RigSlotTable& slots, RigEditState& state) {
  MQObject current = hr::CurrentObject(doc);
  if (current == nullptr) return;
  VWeight rec = EmptyRecord();
  SetWeight(rec, hr::UniqueId(current), 1.0f);
  UpdateColour(rec, doc, slots);
  ReplaceCurrentPalette(state, rec);
}

void RemovePaletteEntry(MQDocument doc, const RigSlotTable& slots, RigEditState& state) {
  VWeight* palette = CurrentPaletteSlot(state);
  if (palette == nullptr) return;
  RemoveAt(*palette, state.palettes.current_entry);
  UpdateColour(*palette, doc, slots);
  ClampCurrentEntry(state);
}

void NormalizePalette(MQDocument doc, const RigSlotTable& slots, RigEditState& state) {
  if (CurrentPaletteSlot(state) == nullptr) return;
  VWeight rec = ValidCopyOf(CurrentPalette(state));
  Normalize(rec);
  UpdateColour(rec, doc, slots);
  ReplaceCurrentPalette(state, rec);
}

void CopyPalette(RigEditState& state) {
  if (CurrentPaletteSlot(state) == nullptr) return;
  state.clipboard = CurrentPalette(state);
  state.clipboard_valid = 1;
}

void PastePalette(RigEditState& state) {
  if (state.clipboard_valid == 0) return;
  ReplaceCurrentPalette(state, state.clipboard);
}

// Without entries the colour rule gives black, which a fresh record holds.
void ClearPalette(RigEditState& state) { ReplaceCurrentPalette(state, EmptyRecord()); }

// ---------------------------------------------------------------- current object

void AutoApplyWeights(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  MQObject obj = hr::CurrentObject(doc);
  if (obj == nullptr) return;
  WriteEveryVertex(doc, slots, state, obj, OwnObjectDefault(obj));
}

void NormalizeObjectWeights(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  MQObject obj = hr::CurrentObject(doc);
  if (obj == nullptr || !HasWeights(obj, slots)) return;
  const int n = hr::VertexCount(obj);
  for (int v = 0; v < n; ++v) {
    VWeight rec;
    if (!GetVertexWeights(obj, slots, v, rec)) continue;
    Normalize(rec);
    SetVertexWeights(obj, slots, v, rec);
  }
  // One walk recolours every vertex; colouring record by record would look
  // up the bones once per vertex. Other objects only lose stale colours.
  UpdateWeightColours(doc, slots, state);
}

void DeleteObjectWeights(MQDocument doc, const RigSlotTable& slots) {
  MQObject obj = hr::CurrentObject(doc);
  if (obj != nullptr) FreeWeights(obj, slots);
}

void FillObjectWithPalette(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  MQObject obj = hr::CurrentObject(doc);
  if (obj == nullptr || !ValidPalette(state.palettes.current_palette)) return;
  WriteEveryVertex(doc, slots, state, obj, ValidCopyOf(CurrentPalette(state)));
}

// ---------------------------------------------------------------- selected vertices

void NormalizeSelectedWeights(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  ChangeSelectedWeights(doc, slots, state, [](VWeight& rec) { Normalize(rec); });
}

void DeleteSelectedWeights(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  const VWeight empty = EmptyRecord();
  ChangeSelectedWeights(doc, slots, state, [&](VWeight& rec) { rec = empty; });
}

void FillSelectedWithPalette(MQDocument doc, const RigSlotTable& slots, const RigEditState& state) {
  if (!ValidPalette(state.palettes.current_palette)) return;
  const VWeight copy = ValidCopyOf(CurrentPalette(state));
  ChangeSelectedWeights(doc, slots, state, [&](VWeight& rec) { rec = copy; });
}

// ---------------------------------------------------------------- painting

bool PaintVertices(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                   const std::vector<VertexRef>& vertices) {
  if (doc == nullptr || !ValidPalette(state.palettes.current_palette)) return false;
  const VWeight copy = ValidCopyOf(CurrentPalette(state));
  const int object_count = HostApi().MQDoc_GetObjectCount(doc);
  bool painted = false;
  // Brush hits come grouped by object, so the colour is computed once per run
  // of one object rather than once per vertex.
  MQObject coloured_for = nullptr;
  VWeight rec = copy;
  for (const VertexRef& ref : vertices) {
    if (ref.object < 0 || ref.object >= object_count) continue;
    MQObject obj = HostApi().MQDoc_GetObject(doc, ref.object);
    if (obj == nullptr || ref.vertex < 0 || ref.vertex >= hr::VertexCount(obj)) continue;
    if (obj != coloured_for) {
      rec = copy;
      UpdateColour(rec, doc, slots, obj, &state);
      coloured_for = obj;
    }
    if (SetVertexWeights(obj, slots, ref.vertex, rec)) painted = true;
  }
  return painted;
}

// ---------------------------------------------------------------- blur pen

bool BlurVertices(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                  const std::vector<VertexRef>& vertices, float strength, BlurStroke& stroke) {
  if (doc == nullptr) return false;
  SmoothOptions options;
  options.iterations = 1;
  options.strength = strength;
  bool changed = false;
  std::vector<VertexRef> sorted = vertices;
  std::sort(sorted.begin(), sorted.end(),
            [](const VertexRef& a, const VertexRef& b) { return a.object < b.object; });
  for (size_t first = 0; first < sorted.size();) {
    size_t end = first;
    while (end < sorted.size() && sorted[end].object == sorted[first].object) ++end;
    MQObject obj = sorted[first].object >= 0 ? HostApi().MQDoc_GetObject(doc, sorted[first].object) : nullptr;
    const int n = hr::VertexCount(obj);
    if (obj == nullptr || n <= 0 || !HasWeights(obj, slots)) {
      first = end;
      continue;
    }
    auto it = std::find_if(stroke.objects.begin(), stroke.objects.end(),
                           [&](const BlurStroke::Object& o) { return o.object == obj; });
    if (it == stroke.objects.end() || static_cast<int>(it->weights.size()) != n) {
      if (it == stroke.objects.end()) it = stroke.objects.insert(stroke.objects.end(), BlurStroke::Object{});
      it->object = obj;
      it->adjacency = BuildAdjacency(ReadRigMesh(obj));
      it->weights = ReadObjectWeights(obj, slots);
      it->under_brush.assign(static_cast<size_t>(n), 0);
    }
    std::vector<int32_t> touched;
    for (size_t i = first; i < end; ++i) {
      const int v = sorted[i].vertex;
      if (v < 0 || v >= n || it->under_brush[static_cast<size_t>(v)] != 0) continue;
      it->under_brush[static_cast<size_t>(v)] = 1;
      touched.push_back(v);
    }
    std::vector<VWeight> before;
    before.reserve(touched.size());
    for (int32_t v : touched) before.push_back(it->weights[static_cast<size_t>(v)]);
    if (!touched.empty()) SmoothWeights(it->adjacency, it->under_brush, options, it->weights);
    for (size_t i = 0; i < touched.size(); ++i) {
      const size_t v = static_cast<size_t>(touched[i]);
      it->under_brush[v] = 0;
      VWeight& rec = it->weights[v];
      if (std::memcmp(rec.entries, before[i].entries, sizeof rec.entries) == 0 && rec.head == before[i].head) continue;
      UpdateColour(rec, doc, slots, obj, &state);
      if (SetVertexWeights(obj, slots, static_cast<int>(v), rec)) changed = true;
    }
    first = end;
  }
  return changed;
}

}  // namespace quorvel
