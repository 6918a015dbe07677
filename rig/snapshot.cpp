#include "rig/snapshot.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "rig/records.h"
#include "rig/rig_document.h"
#include "rig/weight_record.h"

namespace quorvel {

namespace {

// Everything a snapshot carries, read in full before the edit state changes.
struct SnapshotContent {
  struct Pose {
    int32_t id = -1;
    std::string name;
  };
  std::vector<Pose> poses;
  bool has_words = false;
  uint32_t word0 = 0;
  uint32_t word1 = 0;
  std::array<bool, kPaletteCount> has_palette{};
  std::array<VWeight, kPaletteCount> palettes{};
};

bool ReadPalette(ChunkReader payload, SnapshotContent& content) {
  int32_t index = 0;
  VWeight palette;
  if (!payload.GetInt32(index) || !payload.GetBytes(&palette, sizeof palette)) return false;
  if (index < 0 || index >= kPaletteCount) return true;  // skipped
  content.has_palette[static_cast<std::size_t>(index)] = true;
  content.palettes[static_cast<std::size_t>(index)] = palette;
  return true;
}

bool ReadPaletteSet(ChunkReader payload, SnapshotContent& content) {
  int32_t current_palette = 0;
  int32_t current_entry = 0;
  if (!payload.GetInt32(current_palette) || !payload.GetInt32(current_entry)) return false;
  uint32_t id = 0;
  ChunkReader child;
  while (payload.NextChunk(id, child)) {
    if (id == kChunkPalette && !ReadPalette(child, content)) return false;
  }
  return !payload.Failed();
}

bool ReadPalettes(ChunkReader payload, SnapshotContent& content) {
  uint32_t id = 0;
  ChunkReader child;
  while (payload.NextChunk(id, child)) {
    if (id == kChunkPaletteSet && !ReadPaletteSet(child, content)) return false;
  }
  return !payload.Failed();
}

bool ReadContent(ChunkReader payload, SnapshotContent& content) {
  uint32_t id = 0;
  ChunkReader child;
  while (payload.NextChunk(id, child)) {
    switch (id) {
      case kChunkEditWords: {
        int32_t w0 = 0, w1 = 0;
        if (!child.GetInt32(w0) || !child.GetInt32(w1)) return false;
        content.has_words = true;
        content.word0 = static_cast<uint32_t>(w0);
        content.word1 = static_cast<uint32_t>(w1);
        break;
      }
      case kChunkPose: {
        SnapshotContent::Pose pose;
        if (!child.GetInt32(pose.id) || !child.GetString(pose.name)) return false;
        content.poses.push_back(std::move(pose));
        break;
      }
      case kChunkPalettes:
        if (!ReadPalettes(child, content)) return false;
        break;
      default:
        break;
    }
  }
  return !payload.Failed();
}

// The first snapshot chunk of the stream; every chunk's framing is checked.
bool ReadStream(ChunkReader stream, SnapshotContent& content) {
  bool found = false;
  uint32_t id = 0;
  ChunkReader child;
  while (stream.NextChunk(id, child)) {
    if (id != kChunkSnapshot || found) continue;
    if (!ReadContent(child, content)) return false;
    found = true;
  }
  return found && !stream.Failed();
}

}  // namespace

void WriteSnapshot(const RigEditState& state, ChunkWriter& stream) {
  ChunkWriter::Scope snapshot(stream, kChunkSnapshot);
  {
    ChunkWriter::Scope words(stream, kChunkEditWords);
    stream.PutInt32(static_cast<int32_t>(state.pick_masks));
    stream.PutInt32(static_cast<int32_t>(state.display));
  }
  for (const auto& pose : state.poses) {
    if (!pose) continue;
    ChunkWriter::Scope chunk(stream, kChunkPose);
    stream.PutInt32(pose->id);
    stream.PutString(NameOf(pose->name));
  }
  ChunkWriter::Scope palettes(stream, kChunkPalettes);
  ChunkWriter::Scope set(stream, kChunkPaletteSet);
  stream.PutInt32(state.palettes.current_palette);
  stream.PutInt32(state.palettes.current_entry);
  for (int i = 0; i < kPaletteCount; ++i) {
    ChunkWriter::Scope chunk(stream, kChunkPalette);
    stream.PutInt32(i);
    stream.PutBytes(&state.palettes.palettes[i], sizeof(VWeight));
  }
}

bool ReadSnapshot(ChunkReader stream, MQDocument doc, const RigSlotTable& slots,
                  RigEditState& state) {
  SnapshotContent content;
  if (!ReadStream(stream, content)) return false;

  state.poses.clear();
  state.current_pose_id = -1;
  state.current_bone = -1;
  state.current_part_kind = 0;
  EnsureRigRecords(doc, slots);

  for (const SnapshotContent::Pose& item : content.poses) {
    if (item.id < 0 || item.id >= kMaxPoses || state.IsListedPoseId(item.id)) continue;
    auto pose = std::make_unique<QuorvelPose>();
    pose->id = item.id;
    SetName(pose->name, item.name);
    state.poses.push_back(std::move(pose));
    state.current_pose_id = item.id;
  }
  if (content.has_words) {
    state.pick_masks = content.word0;
    state.display = content.word1;
  }
  for (int i = 0; i < kPaletteCount; ++i) {
    if (!content.has_palette[static_cast<std::size_t>(i)]) continue;
    VWeight palette = content.palettes[static_cast<std::size_t>(i)];
    Sanitize(palette);
    state.palettes.palettes[i] = palette;
  }

  ClearHover(doc, slots);
  ClearSelection(doc, slots, state);

  if (state.palettes.current_palette < 0 || state.palettes.current_palette >= kPaletteCount) {
    state.palettes.current_palette = 0;
  }
  if (state.palettes.current_entry < 0 || state.palettes.current_entry >= kMaxWeightEntries) {
    state.palettes.current_entry = 0;
  }
  if (state.current_pen < 0 || state.current_pen >= kPenCount) state.current_pen = 0;
  return true;
}

}  // namespace quorvel
