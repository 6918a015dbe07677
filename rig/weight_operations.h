#pragma once
// Editing operations on vertex weights: the four pens, the eight palettes and
// their clipboard, the operations on the host's current object and on the
// host's selected vertices, and painting a list of vertices with the current
// palette. The weight pen panel and the weight paint command call these.
//
// Palette colours are always computed with every shown bone contributing;
// vertex colours follow the edit state's current-object-only switch.
//
// The state keeps the current pen, palette and entry in range: setters ignore
// indices outside it, and every change of the current palette moves the
// current entry back into its entries (0 when it has none).
#include <cstdint>
#include <vector>

#include "rig/edit_state.h"
#include "rig/records.h"
#include "rig/slot_table.h"
#include "rig/weight_smooth.h"
#include "sdk/mq_types.h"

namespace quorvel {

// ---------------------------------------------------------------- pens

// The pen at the current pen index; null when the index is not 0..3.
WeightPen* CurrentPen(RigEditState& state);
const WeightPen* CurrentPen(const RigEditState& state);
// Indices outside 0..3 are ignored. Setters answer whether they changed
// anything they were asked to.
bool SetCurrentPenIndex(RigEditState& state, int index);
int PenIndex(const RigEditState& state);

// Size and depth of pen 0..3; another pen index reads 0 and writes nothing.
float PenSize(const RigEditState& state, int pen);
bool SetPenSize(RigEditState& state, int pen, float size);
float PenDepth(const RigEditState& state, int pen);
bool SetPenDepth(RigEditState& state, int pen, float depth);

// ---------------------------------------------------------------- palettes

// Indices outside 0..7 are ignored.
bool SetCurrentPalette(RigEditState& state, int index);
int CurrentPaletteIndex(const RigEditState& state);
// A copy of the current palette.
VWeight CurrentPalette(const RigEditState& state);
// Entry positions outside the current palette's entries are ignored.
bool SetPaletteEntry(RigEditState& state, int entry);
int PaletteEntry(const RigEditState& state);
// All 36 bytes of `rec` become the current palette.
void StorePalette(RigEditState& state, const VWeight& rec);

// The current palette becomes the host's current object alone at 1.0;
// nothing happens without a current object.
void PaletteFromCurrentObject(MQDocument doc, const RigSlotTable& slots, RigEditState& state);
// Removes the current entry from the current palette and recolours it.
void RemovePaletteEntry(MQDocument doc, const RigSlotTable& slots, RigEditState& state);
// Normalizes the current palette's weights and recolours it.
void NormalizePalette(MQDocument doc, const RigSlotTable& slots, RigEditState& state);
// Clipboard := current palette. Paste copies it back into the current
// palette, and does nothing before the first copy.
void CopyPalette(RigEditState& state);
void PastePalette(RigEditState& state);
// The current palette becomes a valid record without entries (black).
void ClearPalette(RigEditState& state);

// ---------------------------------------------------------------- current object
// Each works on the host's current object and does nothing without one.

// Every vertex gets the object itself at 1.0.
void AutoApplyWeights(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);
// Every vertex record is normalized; nothing happens without weights.
void NormalizeObjectWeights(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);
// Releases the object's weight slot.
void DeleteObjectWeights(MQDocument doc, const RigSlotTable& slots);
// Every vertex gets a copy of the current palette.
void FillObjectWithPalette(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);

// ---------------------------------------------------------------- selected vertices
// Only objects that already have weights take part; the others keep having
// none. Each ends by recolouring the weights of the whole document.
// (Auto-apply on the selected vertices has no operation: it changes nothing.)

void NormalizeSelectedWeights(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);
// The selected vertices keep a valid record without entries.
void DeleteSelectedWeights(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);
void FillSelectedWithPalette(MQDocument doc, const RigSlotTable& slots, const RigEditState& state);

// ---------------------------------------------------------------- painting

// One vertex of the document: the object's index in the object list and the
// vertex's index in the object.
struct VertexRef {
  int32_t object = -1;
  int32_t vertex = -1;
};

// Writes a coloured copy of the current palette into each listed vertex,
// giving its object weights when it had none. Pairs naming no object or a
// vertex outside the object are skipped. True when at least one vertex was
// written.
bool PaintVertices(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                   const std::vector<VertexRef>& vertices);

// What the blur pen keeps during one stroke: each touched object's edge
// neighbours and weights, read on its first touch (the stroke is their only
// writer until it ends).
struct BlurStroke {
  struct Object {
    MQObject object = nullptr;
    MeshAdjacency adjacency;
    std::vector<VWeight> weights;
    std::vector<uint8_t> under_brush;  // scratch: the vertices of this step
  };
  std::vector<Object> objects;
};

// One blur step: the listed vertices' weights move toward their
// neighbours' by `strength` (0..1) of one smoothing iteration, and are
// written recoloured. Objects without weights are left out. True when a
// record changed.
bool BlurVertices(MQDocument doc, const RigSlotTable& slots, const RigEditState& state,
                  const std::vector<VertexRef>& vertices, float strength, BlurStroke& stroke);

}  // namespace quorvel
