// Undo snapshots of the edit state: round trips, the restore rules, and
// streams that are cut short or corrupt.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "rig/rig_access.h"
#include "rig/snapshot.h"
#include "tests/rig/rig_fixture.h"

using namespace quorvel;

namespace {

using PoseList = std::vector<std::pair<int32_t, std::string>>;

PoseList PosesOf(const RigEditState& state) {
  PoseList list;
  for (const auto& pose : state.poses) list.emplace_back(pose->id, std::string(NameOf(pose->name)));
  return list;
}

void AddPose(RigEditState& state, int32_t id, const std::string& name) {
  auto pose = std::make_unique<QuorvelPose>();
  pose->id = id;
  SetName(pose->name, name);
  state.poses.push_back(std::move(pose));
}

// Everything the edit state holds, as text, to see whether anything changed.
std::string Describe(const RigEditState& s) {
  std::ostringstream os;
  os << "words " << s.pick_masks << " " << s.display << " bone " << s.current_bone << " part "
     << s.current_part_kind << " pose " << s.current_pose_id << " pen " << s.current_pen
     << " palette " << s.palettes.current_palette << "/" << s.palettes.current_entry << " clip "
     << s.clipboard_valid << "\nposes";
  for (const auto& [id, name] : PosesOf(s)) os << " " << id << ":" << name;
  os << "\nbytes";
  auto hex = [&os](const void* p, std::size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    for (std::size_t i = 0; i < n; ++i) os << " " << int(b[i]);
  };
  for (const VWeight& palette : s.palettes.palettes) hex(&palette, sizeof palette);
  hex(&s.clipboard, sizeof s.clipboard);
  hex(s.pens.data(), sizeof(WeightPen) * s.pens.size());
  return os.str();
}

std::vector<uint8_t> SnapshotOf(const RigEditState& state) {
  ChunkWriter w;
  WriteSnapshot(state, w);
  EXPECT_TRUE(w.IsClosed());
  return w.data();
}

// A state that differs from the start values in everything a snapshot holds.
RigEditState SampleState() {
  RigEditState s;
  s.pick_masks = 5;
  s.display = 7;
  AddPose(s, 4, "walk");
  AddPose(s, 0, "pose1");
  AddPose(s, 19, std::string(255, 'x'));
  s.current_pose_id = 0;
  s.palettes.palettes[2] = Weights({{10, 0.5f}, {20, 0.5f}});
  s.palettes.palettes[2].colour[0] = 99;
  s.palettes.palettes[7] = Weights({{30, 1.0f}});
  s.palettes.current_palette = 3;
  s.palettes.current_entry = 2;
  return s;
}

// A target that has its own poses, bone and palette choice.
RigEditState TargetState() {
  RigEditState s;
  AddPose(s, 1, "old");
  s.current_pose_id = 1;
  s.current_bone = 77;
  s.current_part_kind = 0x181;
  s.current_pen = 2;
  s.palettes.current_palette = 5;
  s.palettes.current_entry = 1;
  return s;
}

using SnapshotTest = RigTest;

TEST_F(SnapshotTest, RoundTripRestoresPosesWordsAndPalettes) {
  const RigEditState sample = SampleState();
  const std::vector<uint8_t> bytes = SnapshotOf(sample);
  RigEditState state = TargetState();
  ASSERT_TRUE(ReadSnapshot(ChunkReader(bytes), doc_, slots_, state));

  EXPECT_EQ(PosesOf(state), PosesOf(sample));
  EXPECT_EQ(state.current_pose_id, 19) << "each read pose became current in turn";
  EXPECT_EQ(state.pick_masks, 5u);
  EXPECT_EQ(state.display, 7u);
  for (int i = 0; i < kPaletteCount; ++i) {
    EXPECT_EQ(std::memcmp(&state.palettes.palettes[i], &sample.palettes.palettes[i], sizeof(VWeight)), 0)
        << "palette " << i;
  }
  EXPECT_EQ(state.current_bone, -1);
  EXPECT_EQ(state.current_part_kind, 0);
  // Not carried by the snapshot, and still valid.
  EXPECT_EQ(state.current_pen, 2);
  EXPECT_EQ(state.palettes.current_palette, 5);
  EXPECT_EQ(state.palettes.current_entry, 1);

  // Written again, the restored state gives the same bytes apart from the
  // palette choice, which stays the target's.
  RigEditState again = SampleState();
  again.palettes.current_palette = 5;
  again.palettes.current_entry = 1;
  EXPECT_EQ(SnapshotOf(state), SnapshotOf(again));
}

TEST_F(SnapshotTest, PoseIdsComeFromTheSnapshotAndTheLastPoseIsCurrent) {
  RigEditState saved;
  AddPose(saved, 0, "pose1");
  AddPose(saved, 3, "walk");
  saved.current_pose_id = 0;
  RigEditState state;
  ASSERT_TRUE(ReadSnapshot(ChunkReader(SnapshotOf(saved)), doc_, slots_, state));
  EXPECT_EQ(PosesOf(state), (PoseList{{0, "pose1"}, {3, "walk"}}));
  EXPECT_EQ(state.current_pose_id, 3);
}

TEST_F(SnapshotTest, ReadingGivesRecordsAndClearsHoverAndSelection) {
  MQObject plain = AddObject("no record");
  MQObject bone = AddObject("bone");
  MQObject other = AddObject("not rig");
  OBase rec;
  rec.flags |= OBase::kSelectionBits | OBase::kHoverBits;
  ASSERT_TRUE(SetBoneRecord(bone, slots_, rec));
  rec.flags &= ~OBase::OB_RIG;
  ASSERT_TRUE(SetBoneRecord(other, slots_, rec));

  RigEditState state;
  ASSERT_TRUE(ReadSnapshot(ChunkReader(SnapshotOf(RigEditState())), doc_, slots_, state));
  EXPECT_TRUE(HasBoneRecord(plain, slots_));
  EXPECT_EQ(GetBoneFlags(bone, slots_), OBase::kDefaultFlags);
  EXPECT_EQ(GetBoneFlags(other, slots_) & OBase::kHoverBits, 0u);
  EXPECT_EQ(GetBoneFlags(other, slots_) & OBase::kSelectionBits, OBase::kSelectionBits)
      << "selection is cleared on rig members only";
}

TEST_F(SnapshotTest, SelectionStaysWhenTheSnapshotHidesBones) {
  MQObject bone = AddObject("bone");
  OBase rec;
  rec.flags |= OBase::OB_SEL_PIVOT;
  ASSERT_TRUE(SetBoneRecord(bone, slots_, rec));
  RigEditState saved;
  saved.display = RigEditState::kShowRoll;
  RigEditState state;
  ASSERT_TRUE(ReadSnapshot(ChunkReader(SnapshotOf(saved)), doc_, slots_, state));
  EXPECT_EQ(state.display, RigEditState::kShowRoll);
  EXPECT_TRUE(GetBoneFlag(bone, slots_, OBase::OB_SEL_PIVOT));
}

// The state and the document must be exactly as before a refused read.
class RefusedSnapshotTest : public RigTest {
 protected:
  void SetUp() override {
    RigTest::SetUp();
    plain_ = AddObject("no record");
    bone_ = AddObject("bone");
    OBase rec;
    rec.flags |= OBase::OB_SEL_PIVOT | OBase::OB_HOVER_BODY;
    ASSERT_TRUE(SetBoneRecord(bone_, slots_, rec));
  }
  void ExpectRefused(const std::vector<uint8_t>& bytes, const std::string& what) {
    RigEditState state = TargetState();
    const std::string before = Describe(state);
    // An exact-size heap block: reading past its end trips the sanitizer.
    auto block = std::make_unique<uint8_t[]>(bytes.size() + (bytes.empty() ? 1 : 0));
    if (!bytes.empty()) std::memcpy(block.get(), bytes.data(), bytes.size());
    EXPECT_FALSE(ReadSnapshot(ChunkReader(block.get(), bytes.size()), doc_, slots_, state)) << what;
    EXPECT_EQ(Describe(state), before) << what;
    EXPECT_FALSE(HasBoneRecord(plain_, slots_)) << what;
    EXPECT_EQ(GetBoneFlags(bone_, slots_), OBase::kDefaultFlags | OBase::OB_SEL_PIVOT |
                                               OBase::OB_HOVER_BODY)
        << what;
  }
  MQObject plain_ = nullptr;
  MQObject bone_ = nullptr;
};

TEST_F(RefusedSnapshotTest, EveryTruncationIsRefused) {
  const std::vector<uint8_t> bytes = SnapshotOf(SampleState());
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    ExpectRefused(std::vector<uint8_t>(bytes.begin(), bytes.begin() + size),
                  "cut to " + std::to_string(size) + " bytes");
  }
}

TEST_F(RefusedSnapshotTest, BrokenFramingIsRefused) {
  using Build = std::function<void(ChunkWriter&)>;
  struct Case {
    const char* what;
    Build build;
  };
  auto raw_header = [](ChunkWriter& w, uint32_t id, uint32_t length) {
    w.PutInt32(static_cast<int32_t>(id));
    w.PutInt32(static_cast<int32_t>(length));
  };
  const Case cases[] = {
      {"child runs past its parent",
       [&](ChunkWriter& w) {
         ChunkWriter::Scope root(w, kChunkSnapshot);
         raw_header(w, kChunkEditWords, 100);
         w.PutInt32(1);
         w.PutInt32(2);
       }},
      {"stray bytes after the last child",
       [](ChunkWriter& w) {
         ChunkWriter::Scope root(w, kChunkSnapshot);
         { ChunkWriter::Scope pose(w, kChunkPose); w.PutInt32(0); w.PutString("a"); }
         w.PutBytes("xyz", 3);
       }},
      {"words too short",
       [](ChunkWriter& w) {
         ChunkWriter::Scope root(w, kChunkSnapshot);
         ChunkWriter::Scope words(w, kChunkEditWords);
         w.PutInt32(1);
       }},
      {"pose name without terminator",
       [](ChunkWriter& w) {
         ChunkWriter::Scope root(w, kChunkSnapshot);
         ChunkWriter::Scope pose(w, kChunkPose);
         w.PutInt32(0);
         w.PutBytes("abc", 3);
       }},
      {"pose without id",
       [](ChunkWriter& w) {
         ChunkWriter::Scope root(w, kChunkSnapshot);
         ChunkWriter::Scope pose(w, kChunkPose);
         w.PutBytes("a", 2);
       }},
      {"palette set without its fields",
       [](ChunkWriter& w) {
         ChunkWriter::Scope root(w, kChunkSnapshot);
         ChunkWriter::Scope palettes(w, kChunkPalettes);
         ChunkWriter::Scope set(w, kChunkPaletteSet);
         w.PutInt32(0);
       }},
      {"palette record cut short",
       [](ChunkWriter& w) {
         ChunkWriter::Scope root(w, kChunkSnapshot);
         ChunkWriter::Scope palettes(w, kChunkPalettes);
         ChunkWriter::Scope set(w, kChunkPaletteSet);
         w.PutInt32(0);
         w.PutInt32(0);
         ChunkWriter::Scope palette(w, kChunkPalette);
         w.PutInt32(1);
         w.PutBytes(std::string(20, '\1').data(), 20);
       }},
      {"no snapshot chunk",
       [](ChunkWriter& w) {
         ChunkWriter::Scope other(w, 0x20000000u);
         w.PutInt32(1);
       }},
      {"huge length on a later chunk",
       [&](ChunkWriter& w) {
         WriteSnapshot(SampleState(), w);
         raw_header(w, 0x20000000u, 0xFFFFFFFFu);
       }},
      {"trailing bytes after the snapshot",
       [](ChunkWriter& w) {
         WriteSnapshot(SampleState(), w);
         w.PutBytes("abc", 3);
       }},
  };
  for (const Case& c : cases) {
    ChunkWriter w;
    c.build(w);
    ExpectRefused(w.data(), c.what);
  }
  ExpectRefused({}, "empty stream");

  std::vector<uint8_t> bytes = SnapshotOf(SampleState());
  const uint32_t too_long = static_cast<uint32_t>(bytes.size() - 8 + 1);
  std::memcpy(bytes.data() + 4, &too_long, 4);
  ExpectRefused(bytes, "snapshot length one past the end");
  const uint32_t huge = 0xFFFFFFF8u;
  std::memcpy(bytes.data() + 4, &huge, 4);
  ExpectRefused(bytes, "snapshot length near 4 GiB");
}

TEST_F(SnapshotTest, ItemsOutsideTheModelsRulesAreSkipped) {
  using Build = std::function<void(ChunkWriter&)>;
  auto poses = [](PoseList list) {
    return [list](ChunkWriter& w) {
      for (const auto& [id, name] : list) {
        ChunkWriter::Scope pose(w, kChunkPose);
        w.PutInt32(id);
        w.PutString(name);
      }
    };
  };
  PoseList many;
  for (int id = 0; id < 25; ++id) many.emplace_back(id, "p" + std::to_string(id));
  PoseList first20(many.begin(), many.begin() + 20);
  struct Case {
    const char* what;
    Build content;
    PoseList poses;
    int32_t current;
  };
  const Case cases[] = {
      {"duplicate ids keep the first", poses({{0, "a"}, {0, "b"}, {1, "c"}}), {{0, "a"}, {1, "c"}}, 1},
      {"duplicate last id", poses({{2, "a"}, {5, "b"}, {2, "c"}}), {{2, "a"}, {5, "b"}}, 5},
      {"ids outside 0..19", poses({{20, "x"}, {-1, "y"}, {2, "z"}, {100, "w"}}), {{2, "z"}}, 2},
      {"at most 20 poses", poses(many), first20, 19},
      {"no poses", poses({}), {}, -1},
      {"long name cut to 255", poses({{3, std::string(300, 'n')}}), {{3, std::string(255, 'n')}}, 3},
      {"unknown chunks skipped",
       [&](ChunkWriter& w) {
         { ChunkWriter::Scope junk(w, 0x12345678u); w.PutInt32(7); }
         poses({{6, "six"}})(w);
         { ChunkWriter::Scope junk(w, kChunkPalette); w.PutInt32(0); }
       },
       {{6, "six"}},
       6},
  };
  for (const Case& c : cases) {
    ChunkWriter w;
    {
      ChunkWriter::Scope other(w, 0x7F000000u);  // a top-level chunk before the snapshot
      w.PutInt32(1);
    }
    {
      ChunkWriter::Scope root(w, kChunkSnapshot);
      c.content(w);
    }
    {
      ChunkWriter::Scope second(w, kChunkSnapshot);  // only the first snapshot counts
      ChunkWriter::Scope pose(w, kChunkPose);
      w.PutInt32(9);
      w.PutString("second");
    }
    RigEditState state = TargetState();
    state.current_pose_id = 1;
    ASSERT_TRUE(ReadSnapshot(ChunkReader(w.data()), doc_, slots_, state)) << c.what;
    EXPECT_EQ(PosesOf(state), c.poses) << c.what;
    EXPECT_EQ(state.current_pose_id, c.current) << c.what;
    EXPECT_EQ(state.display, 3u) << c.what << ": no words chunk, words unchanged";
  }
}

TEST_F(SnapshotTest, PalettesAreCheckedOnTheWayIn) {
  VWeight overfull = Weights({{1, 0.1f}, {2, 0.2f}, {1, 0.3f}, {3, 0.4f}});
  overfull.head = 0xFF;
  overfull.colour[1] = 42;
  ChunkWriter w;
  {
    ChunkWriter::Scope root(w, kChunkSnapshot);
    ChunkWriter::Scope palettes(w, kChunkPalettes);
    ChunkWriter::Scope set(w, kChunkPaletteSet);
    w.PutInt32(6);
    w.PutInt32(3);
    const VWeight marked = Weights({{50, 1.0f}});
    for (int32_t index : {-1, 8, 1000}) {
      ChunkWriter::Scope palette(w, kChunkPalette);
      w.PutInt32(index);
      w.PutBytes(&marked, sizeof marked);
    }
    ChunkWriter::Scope palette(w, kChunkPalette);
    w.PutInt32(4);
    w.PutBytes(&overfull, sizeof overfull);
  }
  RigEditState state;
  state.current_pen = 9;  // out of range before the read
  state.palettes.current_palette = -3;
  state.palettes.current_entry = 10;
  const RigEditState fresh;
  ASSERT_TRUE(ReadSnapshot(ChunkReader(w.data()), doc_, slots_, state));
  for (int i = 0; i < kPaletteCount; ++i) {
    if (i == 4) continue;
    EXPECT_EQ(std::memcmp(&state.palettes.palettes[i], &fresh.palettes.palettes[i], sizeof(VWeight)), 0)
        << "palette " << i << " untouched";
  }
  const VWeight& read = state.palettes.palettes[4];
  EXPECT_EQ(read.head, 1 | (3 << 1)) << "count clamped, repeated bone dropped";
  EXPECT_EQ(EntriesOf(read), (std::vector<VWeightEntry>{{1, 0.1f}, {2, 0.2f}, {3, 0.4f}}));
  EXPECT_EQ(read.colour[1], 42);
  EXPECT_EQ(state.current_pen, 0);
  EXPECT_EQ(state.palettes.current_palette, 0);
  EXPECT_EQ(state.palettes.current_entry, 0);
}

}  // namespace
