#pragma once
// Snapshots of the edit state (pose list, display and pick words, palettes)
// for undo, in the chunk format of rig/chunk_stream.h.
//
// Chunks, in the order written:
//   0x10000000 snapshot, holding:
//     0x11300000  int32 word 0 (pick masks), int32 word 1 (display switches)
//     0x11200000  per listed pose, in list order: int32 id, NUL-terminated name
//     0x11500000  palettes, holding
//       0x58000000  int32 current palette, int32 current entry, then
//         0x58100000  per palette i = 0..7: int32 i, the 36-byte record
#include <cstdint>

#include "rig/chunk_stream.h"
#include "rig/edit_state.h"
#include "rig/slot_table.h"
#include "sdk/mq_types.h"

namespace quorvel {

enum : uint32_t {
  kChunkSnapshot = 0x10000000,
  kChunkEditWords = 0x11300000,
  kChunkPose = 0x11200000,
  kChunkPalettes = 0x11500000,
  kChunkPaletteSet = 0x58000000,
  kChunkPalette = 0x58100000,
};

void WriteSnapshot(const RigEditState& state, ChunkWriter& stream);

// Restores the pose list, the two words and the palettes from a snapshot.
//
// The stream is checked as a whole before anything changes. A stream whose
// framing is broken (a chunk header cut short, a length running past its
// enclosing chunk or the stream, a known chunk too short for its fields, a
// pose name without terminator) or that holds no snapshot chunk is refused:
// the answer is false and neither the edit state nor the document changes.
//
// In a well-framed stream, items that break the model's rules are skipped
// and the rest is read: poses with an id outside 0..19 or an id already
// listed, palettes with an index outside 0..7. Palette records keep at most
// four entries and one entry per bone. Unknown chunks are skipped.
//
// On success: the pose list holds the snapshot's poses in order, the current
// pose is the last one read (or -1 without poses), the current bone is -1 and
// the part kind 0, every object has a bone record, hover and selection bits
// are cleared, and the current palette, entry and pen are valid indices (the
// current palette and entry are not part of what is restored). The caller
// recomputes the posed world matrices afterwards.
bool ReadSnapshot(ChunkReader stream, MQDocument doc, const RigSlotTable& slots,
                  RigEditState& state);

}  // namespace quorvel
