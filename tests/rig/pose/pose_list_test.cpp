// The pose list: names and ids, the current pose after deletes, copies,
// renames, lookups and putting bones and morph weights back to rest.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "deform/pose_evaluation.h"
#include "rig/document_model.h"
#include "rig/id_table.h"
#include "rig/pose_list.h"
#include "rig/rig_access.h"
#include "rig/rig_document.h"
#include "tests/rig/rig_fixture.h"
#include "tests/support/float_checks.h"

using namespace quorvel;

namespace {

using PoseListTest = RigTest;

// "id:name id:name ..." in list order.
std::string Describe(const RigEditState& state) {
  std::ostringstream out;
  for (int i = 0; i < PoseCount(state); ++i) {
    const QuorvelPose* pose = PoseAt(state, i);
    out << (i ? " " : "") << pose->id << ":" << NameOf(pose->name);
  }
  return out.str();
}

// Runs list edits written as "+" (create unnamed), "+name" (create named),
// "-name" (delete by name) and "@name" (make current).
void Edit(RigEditState& state, MQDocument doc, const RigSlotTable& slots,
         const std::vector<std::string>& script) {
  for (const std::string& step : script) {
    const std::string arg = step.substr(1);
    switch (step[0]) {
      case '+':
        if (arg.empty()) {
          ASSERT_NE(CreatePose(state), nullptr) << step;
        } else {
          ASSERT_NE(CreatePose(state, -1, arg), nullptr) << step;
        }
        break;
      case '-':
        ASSERT_TRUE(DeletePose(state, doc, slots, FindPoseByName(state, arg))) << step;
        break;
      case '@':
        ASSERT_TRUE(SetCurrentPose(state, FindPoseByName(state, arg))) << step;
        break;
      default:
        FAIL() << "bad step " << step;
    }
  }
}

OPoseTSQ Posed(float x) {
  OPoseTSQ tsq;
  tsq.trs = FVECTOR3(x, 2 * x, 3 * x);
  tsq.scl = FVECTOR3(2, 2, 2);
  tsq.rot = FQUAT(0, 0, 1, 0);
  return tsq;
}

OPoseMorph Weights(float w) {
  OPoseMorph morph;
  morph.weight[0] = w;
  morph.weight[19] = w / 2;
  return morph;
}

bool SameTSQ(const OPoseTSQ& a, const OPoseTSQ& b) {
  return a.trs == b.trs && a.scl == b.scl && a.rot == b.rot;
}

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

// ---------------------------------------------------------------- name maker

// A maker over a fixed set of taken names.
class SetMakeName : public UMAKENAME {
 public:
  SetMakeName(std::string stem, std::set<std::string> taken)
      : stem_(std::move(stem)), taken_(std::move(taken)) {}
  const char* BaseName() const override { return stem_.c_str(); }
  bool Exists(std::string_view name) const override {
    return taken_.count(std::string(name)) != 0;
  }

 private:
  std::string stem_;
  std::set<std::string> taken_;
};

TEST(PoseNameMakerTest, FirstNumberNotTaken) {
  struct Case {
    std::vector<std::string> listed;
    const char* want;
  };
  const Case cases[] = {
      {{}, "pose1"},
      {{"pose1", "pose2"}, "pose3"},
      {{"pose2"}, "pose1"},
      {{"pose1", "pose3"}, "pose2"},
      {{"walk", "pose1"}, "pose2"},
      {{"pose1 ", "Pose1", "pose01"}, "pose1"},  // only exact names are taken
  };
  for (const Case& c : cases) {
    RigEditState state;
    for (const std::string& name : c.listed) ASSERT_NE(CreatePose(state, -1, name), nullptr);
    const QuorvelPoseMakeName maker(&state);
    EXPECT_STREQ(maker.BaseName(), "pose");
    char field[kNameBytes];
    std::memset(field, 'x', sizeof field);
    EXPECT_TRUE(maker.MakeName(field));
    EXPECT_STREQ(field, c.want) << testing::PrintToString(c.listed);
    EXPECT_EQ(maker.MakeName(), c.want);
  }
}

TEST(PoseNameMakerTest, LongStemKeepsTheNumber) {
  const std::string stem = Repeat('s', 300);
  const std::string first = Repeat('s', kMaxNameLength - 1) + "1";
  const std::string second = Repeat('s', kMaxNameLength - 1) + "2";
  const std::string tenth = Repeat('s', kMaxNameLength - 2) + "10";
  std::set<std::string> taken = {first};
  for (int n = 2; n <= 9; ++n) taken.insert(Repeat('s', kMaxNameLength - 1) + std::to_string(n));

  EXPECT_EQ(SetMakeName(stem, {}).MakeName(), first);
  EXPECT_EQ(SetMakeName(stem, {first}).MakeName(), second);
  EXPECT_EQ(SetMakeName(stem, taken).MakeName(), tenth);
  char field[kNameBytes];
  EXPECT_TRUE(SetMakeName(stem, taken).MakeName(field));
  EXPECT_EQ(std::string(field), tenth);
}

TEST(PoseNameMakerTest, UnterminatedListedNamesAreReadWithinTheField) {
  RigEditState state;
  QuorvelPose* pose = CreatePose(state, -1, "x");
  ASSERT_NE(pose, nullptr);
  std::memset(pose->name, 'p', sizeof pose->name);  // no terminator
  const std::string full = Repeat('p', kMaxNameLength);
  EXPECT_TRUE(QuorvelPoseMakeName(&state).Exists(full));
  EXPECT_FALSE(QuorvelPoseMakeName(&state).Exists(full + "p"));
  EXPECT_FALSE(QuorvelPoseMakeName(nullptr).Exists("pose1"));
}

// ---------------------------------------------------------------- create and delete

TEST_F(PoseListTest, IdsNamesAndCurrentPoseAfterEdits) {
  struct Case {
    const char* what;
    std::vector<std::string> script;
    const char* list;
    int32_t current;
  };
  const Case cases[] = {
      {"three unnamed", {"+", "+", "+"}, "0:pose1 1:pose2 2:pose3", 2},
      {"gap reused by id and name", {"+", "+", "+", "-pose2", "+"}, "0:pose1 2:pose3 1:pose2", 1},
      {"lowest id after deleting the first", {"+", "+", "-pose1", "+"}, "1:pose2 0:pose1", 0},
      {"named pose takes a name, not a number", {"+walk", "+"}, "0:walk 1:pose1", 1},
      {"maker skips a given name", {"+pose1", "+"}, "0:pose1 1:pose2", 1},
      {"current at the end: the one before", {"+", "+", "+", "-pose3"}, "0:pose1 1:pose2", 1},
      {"current in the middle: the one moved in",
       {"+", "+", "+", "@pose2", "-pose2"}, "0:pose1 2:pose3", 2},
      {"current first: the next", {"+", "+", "+", "@pose1", "-pose1"}, "1:pose2 2:pose3", 1},
      {"not current: current stays", {"+", "+", "+", "@pose1", "-pose3"}, "0:pose1 1:pose2", 0},
      {"only pose: none current", {"+", "-pose1"}, "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RigEditState state;
    Edit(state, doc_, slots_, c.script);
    EXPECT_EQ(Describe(state), c.list);
    EXPECT_EQ(CurrentPoseId(state), c.current);
    if (c.current >= 0) {
      ASSERT_NE(CurrentPose(state), nullptr);
      EXPECT_EQ(CurrentPose(state)->id, c.current);
      EXPECT_EQ(PoseAt(state, CurrentPosition(state)), CurrentPose(state));
    } else {
      EXPECT_EQ(CurrentPose(state), nullptr);
    }
  }
}

TEST_F(PoseListTest, GivenIdsMustBeFreeAndInRange) {
  struct Case {
    int32_t id;
    bool made;
    int32_t want_id;
  };
  // Applied in order to one list that starts with pose ids 0 and 5.
  const Case cases[] = {
      {-2, false, 0}, {20, false, 0},  {100, false, 0}, {5, false, 0}, {0, false, 0},
      {19, true, 19}, {-1, true, 1},   {3, true, 3},    {-1, true, 2},
  };
  RigEditState state;
  ASSERT_NE(CreatePose(state, 0, "a"), nullptr);
  ASSERT_NE(CreatePose(state, 5, "b"), nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "id " << c.id);
    const std::string before = Describe(state);
    const int32_t current = CurrentPoseId(state);
    QuorvelPose* made = CreatePose(state, c.id, "p");
    ASSERT_EQ(made != nullptr, c.made);
    if (c.made) {
      EXPECT_EQ(made->id, c.want_id);
      EXPECT_EQ(CurrentPoseId(state), c.want_id);
      EXPECT_EQ(PoseAt(state, PoseCount(state) - 1), made);
    } else {
      EXPECT_EQ(Describe(state), before);
      EXPECT_EQ(CurrentPoseId(state), current);
    }
  }
}

TEST_F(PoseListTest, TwentyFirstPoseFailsCleanly) {
  MQObject obj = AddObject("bone");
  RigEditState state;
  std::set<int32_t> ids;
  for (int i = 0; i < kMaxPoses; ++i) {
    QuorvelPose* pose = CreatePose(state);
    ASSERT_NE(pose, nullptr) << i;
    ids.insert(pose->id);
    ASSERT_TRUE(SetPoseTSQ(obj, slots_, pose->id, Posed(float(i + 1))));
  }
  ASSERT_EQ(ids.size(), std::size_t(kMaxPoses));
  EXPECT_EQ(*ids.begin(), 0);
  EXPECT_EQ(*ids.rbegin(), kMaxPoses - 1);
  EXPECT_EQ(FindPoseByName(state, "pose20"), PoseAt(state, kMaxPoses - 1));

  ASSERT_TRUE(SetCurrentPosition(state, 4));
  const std::string full = Describe(state);
  EXPECT_EQ(CreatePose(state), nullptr);
  EXPECT_EQ(CreatePose(state, -1, "extra"), nullptr);
  EXPECT_EQ(CopyCurrentPose(state, doc_, slots_), nullptr);
  EXPECT_EQ(PoseCount(state), kMaxPoses);
  EXPECT_EQ(Describe(state), full);
  EXPECT_EQ(CurrentPosition(state), 4);

  // A freed id is taken again by the next pose.
  ASSERT_TRUE(DeletePose(state, doc_, slots_, FindPoseById(state, 7)));
  QuorvelPose* again = CreatePose(state);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->id, 7);
  EXPECT_EQ(NameOf(again->name), "pose8");
}

TEST_F(PoseListTest, DeleteReleasesThePoseRecordsOfEveryObject) {
  MQObject a = AddObject("a");
  MQObject b = AddObject("b", 1);
  AddObject("plain");
  RigEditState state;
  QuorvelPose* keep = CreatePose(state);
  QuorvelPose* gone = CreatePose(state);
  ASSERT_TRUE(keep && gone);
  const int32_t keep_id = keep->id, gone_id = gone->id;
  for (MQObject obj : {a, b}) {
    for (int32_t id : {keep_id, gone_id}) {
      ASSERT_TRUE(SetPoseTSQ(obj, slots_, id, Posed(1)));
      ASSERT_TRUE(SetPoseMorph(obj, slots_, id, Weights(0.5f)));
    }
  }
  // A record that is not in the list, even with a listed id, deletes nothing.
  QuorvelPose stranger;
  stranger.id = gone_id;
  EXPECT_FALSE(DeletePose(state, doc_, slots_, &stranger));
  EXPECT_FALSE(DeletePose(state, doc_, slots_, nullptr));
  EXPECT_EQ(PoseCount(state), 2);
  OPoseTSQ tsq;
  EXPECT_TRUE(GetPoseTSQ(a, slots_, gone_id, tsq));

  ASSERT_TRUE(DeletePose(state, doc_, slots_, gone));
  OPoseMorph morph;
  for (MQObject obj : {a, b}) {
    EXPECT_FALSE(GetPoseTSQ(obj, slots_, gone_id, tsq));
    EXPECT_FALSE(GetPoseMorph(obj, slots_, gone_id, morph));
    EXPECT_TRUE(GetPoseTSQ(obj, slots_, keep_id, tsq));
    EXPECT_TRUE(GetPoseMorph(obj, slots_, keep_id, morph));
  }
  // The id comes back at rest for every object.
  QuorvelPose* reused = CreatePose(state);
  ASSERT_NE(reused, nullptr);
  EXPECT_EQ(reused->id, gone_id);
  for (MQObject obj : {a, b}) {
    EXPECT_FALSE(GetPoseTSQ(obj, slots_, gone_id, tsq));
    EXPECT_EQ(GetPoseBaseWeight(obj, slots_, gone_id), 1.0f);
  }
}

TEST_F(PoseListTest, DeleteAndCopyCurrentNeedACurrentPose) {
  RigEditState state;
  EXPECT_FALSE(DeleteCurrentPose(state, doc_, slots_));
  EXPECT_EQ(CopyCurrentPose(state, doc_, slots_), nullptr);
  ASSERT_NE(CreatePose(state, -1, "walk"), nullptr);
  state.current_pose_id = 9;  // names no listed pose
  EXPECT_FALSE(DeleteCurrentPose(state, doc_, slots_));
  EXPECT_EQ(CopyCurrentPose(state, doc_, slots_), nullptr);
  EXPECT_EQ(Describe(state), "0:walk");

  state.current_pose_id = 0;
  QuorvelPose* copy = CopyCurrentPose(state, doc_, slots_);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(NameOf(copy->name), "walk_copy");
  EXPECT_TRUE(DeleteCurrentPose(state, doc_, slots_));
  EXPECT_EQ(Describe(state), "0:walk");
  EXPECT_EQ(CurrentPoseId(state), 0);
}

// ---------------------------------------------------------------- copy

TEST_F(PoseListTest, CopyMirrorsTheSourceRecords) {
  struct ObjectCase {
    const char* name;
    bool tsq;        // has a pose record in the source
    bool morph;      // has morph weights in the source
    bool shape;      // has a morph shape
    bool stale;      // carries leftover records for the copy's id
  };
  const ObjectCase objects[] = {
      {"all", true, true, true, false},
      {"weights without shape", true, true, false, false},
      {"shape without weights", true, false, true, false},
      {"nothing", false, false, false, false},
      {"leftovers only", false, false, true, true},
      {"leftovers and source", true, true, true, true},
  };
  RigEditState state;
  Edit(state, doc_, slots_, {"+", "+walk", "+", "-pose1", "@pose2"});
  const QuorvelPose* walk = FindPoseByName(state, "walk");
  ASSERT_NE(walk, nullptr);
  const int32_t walk_id = walk->id;
  const int32_t free_id = 0;  // pose1's id, freed above
  ASSERT_FALSE(state.IsListedPoseId(free_id));

  std::vector<MQObject> objs;
  for (std::size_t i = 0; i < std::size(objects); ++i) {
    const ObjectCase& c = objects[i];
    MQObject obj = AddMesh(c.name, 2);
    objs.push_back(obj);
    if (c.tsq) {
      ASSERT_TRUE(SetPoseTSQ(obj, slots_, walk_id, Posed(float(i + 1))));
    }
    if (c.morph) {
      ASSERT_TRUE(SetPoseMorph(obj, slots_, walk_id, Weights(0.1f * float(i + 1))));
    }
    if (c.shape) {
      ASSERT_TRUE(StoreShape(obj, slots_, 3));
    }
    if (c.stale) {
      ASSERT_TRUE(SetPoseTSQ(obj, slots_, free_id, Posed(-9)));
      ASSERT_TRUE(SetPoseMorph(obj, slots_, free_id, Weights(0.9f)));
    }
  }

  QuorvelPose* copy = CopyPose(state, doc_, slots_, walk);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->id, free_id);
  EXPECT_EQ(NameOf(copy->name), "walk_copy");
  EXPECT_EQ(CurrentPose(state), copy);
  EXPECT_EQ(PoseAt(state, PoseCount(state) - 1), copy);

  for (std::size_t i = 0; i < objs.size(); ++i) {
    const ObjectCase& c = objects[i];
    SCOPED_TRACE(c.name);
    OPoseTSQ source_tsq, copy_tsq;
    ASSERT_EQ(GetPoseTSQ(objs[i], slots_, walk_id, source_tsq), c.tsq);
    EXPECT_EQ(GetPoseTSQ(objs[i], slots_, copy->id, copy_tsq), c.tsq);
    if (c.tsq) {
      EXPECT_TRUE(SameTSQ(copy_tsq, source_tsq));
    }

    const bool weights_copied = c.morph && c.shape;
    OPoseMorph source_morph, copy_morph;
    ASSERT_EQ(GetPoseMorph(objs[i], slots_, walk_id, source_morph), c.morph);
    EXPECT_EQ(GetPoseMorph(objs[i], slots_, copy->id, copy_morph), weights_copied);
    if (weights_copied) {
      EXPECT_EQ(std::memcmp(&copy_morph, &source_morph, sizeof copy_morph), 0);
    }
  }
}

TEST_F(PoseListTest, CopyAndRenameNamesFitTheField) {
  struct Case {
    std::size_t length;
  };
  const Case cases[] = {{0}, {1}, {249}, {250}, {251}, {255}, {256}, {400}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "length " << c.length);
    const std::string name = Repeat('n', c.length);
    RigEditState state;
    QuorvelPose* source = CreatePose(state, -1, "source");
    ASSERT_NE(source, nullptr);

    ASSERT_TRUE(RenamePose(source, name));
    const std::string stored = name.substr(0, kMaxNameLength);
    EXPECT_EQ(NameOf(source->name), stored);
    EXPECT_EQ(source->name[stored.size()], '\0');
    EXPECT_EQ(FindPoseByName(state, stored), source);

    QuorvelPose* copy = CopyPose(state, doc_, slots_, source);
    ASSERT_NE(copy, nullptr);
    const std::string copy_name = (stored + "_copy").substr(0, kMaxNameLength);
    EXPECT_EQ(NameOf(copy->name), copy_name);
    EXPECT_EQ(copy->name[copy_name.size()], '\0');
  }
  EXPECT_FALSE(RenamePose(nullptr, "x"));
}

TEST_F(PoseListTest, LongNamesAreNeverCutInsideADoubleByteCharacter) {
  // "\x83\x7C" is a Shift-JIS katakana, "\xE0\x40" a kanji of the second lead
  // range, "\xB1" a one-byte half-width katakana.
  const std::string kana = "\x83\x7C", kanji = "\xE0\x40";
  struct Case {
    const char* what;
    std::string name;
    std::string stored;
  };
  const std::string ascii_254 = Repeat('a', 254);
  const Case cases[] = {
      {"a double-byte character across byte 255 goes whole", ascii_254 + kana + "b", ascii_254},
      {"one ending exactly at byte 255 stays", Repeat('a', 253) + kana + "b", Repeat('a', 253) + kana},
      {"second lead range", ascii_254 + kanji, ascii_254},
      {"only double-byte characters", [&] {
         std::string s;
         for (int i = 0; i < 200; ++i) s += kana;
         return s;
       }(),
       [&] {
         std::string s;
         for (int i = 0; i < 127; ++i) s += kana;
         return s;
       }()},
      {"one-byte katakana are single characters", std::string(300, '\xB1'), std::string(255, '\xB1')},
      {"a trail byte that looks like a lead is not one", Repeat('a', 252) + "\x83\x81" + "bb",
       Repeat('a', 252) + "\x83\x81" + "b"},
      {"short names are kept whole", "\x83\x7C\x81\x5B\x83\x59", "\x83\x7C\x81\x5B\x83\x59"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RigEditState state;
    QuorvelPose* pose = CreatePose(state, -1, c.name);
    ASSERT_NE(pose, nullptr);
    EXPECT_EQ(std::string(NameOf(pose->name)), c.stored) << "named at creation";
    ASSERT_TRUE(RenamePose(pose, "x"));
    ASSERT_TRUE(RenamePose(pose, c.name));
    EXPECT_EQ(std::string(NameOf(pose->name)), c.stored) << "renamed";
    EXPECT_EQ(pose->name[c.stored.size()], '\0');
  }
}

TEST_F(PoseListTest, UnterminatedPoseNamesAreReadWithinTheField) {
  RigEditState state;
  QuorvelPose* pose = CreatePose(state);
  ASSERT_NE(pose, nullptr);
  std::memset(pose->name, 'w', sizeof pose->name);  // as a stray write could leave it
  const std::string full = Repeat('w', kMaxNameLength);

  EXPECT_EQ(FindPoseByName(state, full), pose);
  QuorvelPose* copy = CopyPose(state, doc_, slots_, pose);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(NameOf(copy->name), full);
  EXPECT_EQ(copy->name[kMaxNameLength], '\0');
  // The maker reads the broken name safely and still finds a free one.
  QuorvelPose* next = CreatePose(state);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(NameOf(next->name), "pose1");
}

// ---------------------------------------------------------------- lookups

TEST(PoseLookupTest, OutsideTheListThereIsNothing) {
  RigEditState state;
  QuorvelPose* walk = CreatePose(state, 4, "walk");
  QuorvelPose* run = CreatePose(state, 1, "run");
  QuorvelPose* twin = CreatePose(state, 7, "walk");
  ASSERT_TRUE(walk && run && twin);

  struct IdCase {
    int32_t id;
    const QuorvelPose* want;
  };
  for (const IdCase& c : {IdCase{4, walk}, IdCase{1, run}, IdCase{7, twin}, IdCase{0, nullptr},
                          IdCase{-1, nullptr}, IdCase{20, nullptr}}) {
    EXPECT_EQ(FindPoseById(state, c.id), c.want) << c.id;
    EXPECT_EQ(PositionOfId(state, c.id), c.want ? PositionOf(state, c.want) : 0) << c.id;
  }
  struct NameCase {
    const char* name;
    const QuorvelPose* want;
  };
  for (const NameCase& c : {NameCase{"walk", walk}, NameCase{"run", run}, NameCase{"wal", nullptr},
                            NameCase{"walk ", nullptr}, NameCase{"", nullptr}}) {
    EXPECT_EQ(FindPoseByName(state, c.name), c.want) << c.name;
  }
  struct PositionCase {
    int position;
    const QuorvelPose* want;
  };
  for (const PositionCase& c : {PositionCase{0, walk}, PositionCase{1, run}, PositionCase{2, twin},
                                PositionCase{3, nullptr}, PositionCase{-1, nullptr}}) {
    EXPECT_EQ(PoseAt(state, c.position), c.want) << c.position;
    if (c.want) {
      EXPECT_EQ(PositionOf(state, c.want), c.position);
    }
  }
  QuorvelPose stranger;
  stranger.id = 1;
  EXPECT_EQ(PositionOf(state, &stranger), 0);
  EXPECT_EQ(PositionOf(state, nullptr), 0);
}

TEST(PoseLookupTest, CurrentPoseChangesOnlyToListedPoses) {
  RigEditState state;
  QuorvelPose* a = CreatePose(state, 3, "a");
  QuorvelPose* b = CreatePose(state, 8, "b");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(CurrentPoseId(state), 8);

  EXPECT_TRUE(SetCurrentPose(state, a));
  EXPECT_EQ(CurrentPoseId(state), 3);
  EXPECT_EQ(CurrentPosition(state), 0);
  EXPECT_TRUE(SetCurrentPosition(state, 1));
  EXPECT_EQ(CurrentPose(state), b);
  EXPECT_EQ(CurrentPosition(state), 1);

  QuorvelPose stranger;
  stranger.id = 3;
  EXPECT_FALSE(SetCurrentPose(state, &stranger));
  EXPECT_FALSE(SetCurrentPose(state, nullptr));
  EXPECT_FALSE(SetCurrentPosition(state, 2));
  EXPECT_FALSE(SetCurrentPosition(state, -1));
  EXPECT_EQ(CurrentPose(state), b);
}

// ---------------------------------------------------------------- reset

// Root objects at the origin: the stored skinning matrix translates by the
// pose's translation (scale and rotation about the origin leave it in row 3).
FVECTOR3 SkinningTranslation(MQObject obj, const RigSlotTable& slots) {
  const FMATRIX m = GetWorldMatrix(obj, slots);
  return FVECTOR3(m(3, 0), m(3, 1), m(3, 2));
}

// Counts the recomputations a reset asks for.
int recomputes = 0;
void CountRecompute(MQDocument, const RigSlotTable&, const RigEditState&) { ++recomputes; }

class PoseResetTest : public RigTest {
 protected:
  void SetUp() override {
    RigTest::SetUp();
    a_ = AddObject("a");
    b_ = AddObject("b");
    plain_ = AddObject("plain");
    other_ = CreatePose(state_, -1)->id;
    current_ = CreatePose(state_, -1)->id;
    for (MQObject obj : {a_, b_}) {
      ASSERT_TRUE(SetPoseTSQ(obj, slots_, current_, Posed(1)));
      ASSERT_TRUE(SetPoseTSQ(obj, slots_, other_, Posed(5)));
      ASSERT_TRUE(SetPoseMorph(obj, slots_, current_, Weights(0.25f)));
    }
  }

  void ExpectUntouched(MQObject obj) {
    OPoseTSQ tsq;
    ASSERT_TRUE(GetPoseTSQ(obj, slots_, current_, tsq));
    EXPECT_TRUE(SameTSQ(tsq, Posed(1)));
  }
  void ExpectAtRest(MQObject obj) {
    OPoseTSQ tsq;
    ASSERT_TRUE(GetPoseTSQ(obj, slots_, current_, tsq));
    EXPECT_TRUE(SameTSQ(tsq, OPoseTSQ()));
  }
  // The other pose and the morph weights are never touched by a reset.
  void ExpectRestKept(MQObject obj) {
    OPoseTSQ tsq;
    ASSERT_TRUE(GetPoseTSQ(obj, slots_, other_, tsq));
    EXPECT_TRUE(SameTSQ(tsq, Posed(5)));
    EXPECT_EQ(GetPoseMorphWeight(obj, slots_, current_, 0), 0.25f);
  }

  RigEditState state_;
  MQObject a_ = nullptr, b_ = nullptr, plain_ = nullptr;
  int32_t other_ = -1, current_ = -1;
};

TEST_F(PoseResetTest, CurrentBoneOnlyWithABoneAndACurrentPose) {
  struct Case {
    const char* what;
    int32_t bone;  // unique id
    int32_t pose;  // current pose id
  };
  const Case refused[] = {
      {"no current bone", -1, current_},
      {"bone names no object", Uid(plain_) + 100, current_},
      {"no current pose", Uid(a_), -1},
      {"current id not listed", Uid(a_), 17},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.what);
    state_.current_bone = c.bone;
    state_.current_pose_id = c.pose;
    EXPECT_FALSE(ResetCurrentBonePose(state_, doc_, slots_, EvaluateCurrentPose));
    ExpectUntouched(a_);
    EXPECT_FALSE(HasObjectSlot(a_, slots_.OWMT())) << "nothing recomputed";
  }

  state_.current_pose_id = current_;
  state_.current_bone = Uid(a_);
  ASSERT_TRUE(ResetCurrentBonePose(state_, doc_, slots_, EvaluateCurrentPose));
  ExpectAtRest(a_);
  ExpectUntouched(b_);
  ExpectRestKept(a_);
  ExpectRestKept(b_);
  // Recomputed: a at rest, b still moved by its pose.
  ASSERT_TRUE(HasObjectSlot(a_, slots_.OWMT()));
  EXPECT_VEC3_NEAR(SkinningTranslation(a_, slots_), FVECTOR3(0, 0, 0), 1e-6f);
  EXPECT_VEC3_NEAR(SkinningTranslation(b_, slots_), Posed(1).trs, 1e-6f);
}

TEST_F(PoseResetTest, AllBonesOnlyWithACurrentPose) {
  for (int32_t refused : {-1, 17}) {
    state_.current_pose_id = refused;
    EXPECT_FALSE(ResetAllBonesPose(state_, doc_, slots_, EvaluateCurrentPose)) << refused;
    ExpectUntouched(a_);
    ExpectUntouched(b_);
    EXPECT_FALSE(HasObjectSlot(a_, slots_.OWMT())) << "nothing recomputed";
  }

  state_.current_pose_id = current_;
  ASSERT_TRUE(ResetAllBonesPose(state_, doc_, slots_, EvaluateCurrentPose));
  for (MQObject obj : {a_, b_, plain_}) ExpectAtRest(obj);
  ExpectRestKept(a_);
  ExpectRestKept(b_);
  for (MQObject obj : {a_, b_, plain_}) {
    ASSERT_TRUE(HasObjectSlot(obj, slots_.OWMT()));
    EXPECT_VEC3_NEAR(SkinningTranslation(obj, slots_), FVECTOR3(0, 0, 0), 1e-6f);
  }
}

TEST_F(PoseResetTest, BonesAlreadyAtRestAreNoChange) {
  struct Case {
    const char* what;
    bool (*reset)(const RigEditState&, MQDocument, const RigSlotTable&, PoseRecompute);
  };
  const Case cases[] = {
      {"current bone", ResetCurrentBonePose},
      {"all bones", ResetAllBonesPose},
  };
  state_.current_pose_id = current_;
  state_.current_bone = Uid(a_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (MQObject obj : {a_, b_}) ASSERT_TRUE(SetPoseTSQ(obj, slots_, current_, OPoseTSQ()));
    recomputes = 0;
    EXPECT_FALSE(c.reset(state_, doc_, slots_, CountRecompute));
    EXPECT_EQ(recomputes, 0);
    // One bone out of rest is enough.
    OPoseTSQ turned;
    turned.rot = FQUAT(0, 0, 1, 0);
    ASSERT_TRUE(SetPoseTSQ(a_, slots_, current_, turned));
    EXPECT_TRUE(c.reset(state_, doc_, slots_, CountRecompute));
    EXPECT_EQ(recomputes, 1);
    ExpectAtRest(a_);
  }
  // Objects without a record are at rest, and get one written.
  HostApi().MQObj_FreeUserData(plain_, slots_.PoseTSQ(current_));
  ASSERT_FALSE(HasObjectSlot(plain_, slots_.PoseTSQ(current_)));
  EXPECT_FALSE(ResetAllBonesPose(state_, doc_, slots_, CountRecompute));
  ExpectAtRest(plain_);
}

TEST_F(PoseResetTest, DocumentModelRunsTheListAndRecomputes) {
  MQEXPDOC model(std::make_unique<PoseEvaluator>());
  model.SetDocument(doc_);
  model.SetSlots(slots_);
  RigEditState& state = model.EditState();

  QuorvelPose* made = NewPose(model);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(NameOf(made->name), "pose1");
  const int32_t id = made->id;
  ASSERT_TRUE(SetPoseTSQ(a_, slots_, id, Posed(2)));
  ASSERT_TRUE(SetPoseTSQ(b_, slots_, id, Posed(3)));

  QuorvelPose* copy = CopyCurrentPose(model);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(NameOf(copy->name), "pose1_copy");
  OPoseTSQ tsq;
  ASSERT_TRUE(GetPoseTSQ(a_, slots_, copy->id, tsq));
  EXPECT_TRUE(SameTSQ(tsq, Posed(2)));

  state.current_bone = Uid(a_);
  ASSERT_TRUE(ResetCurrentBonePose(model));
  EXPECT_VEC3_NEAR(SkinningTranslation(a_, slots_), FVECTOR3(0, 0, 0), 1e-6f);
  EXPECT_VEC3_NEAR(SkinningTranslation(b_, slots_), Posed(3).trs, 1e-6f);
  ASSERT_TRUE(ResetAllBonesPose(model));
  EXPECT_VEC3_NEAR(SkinningTranslation(b_, slots_), FVECTOR3(0, 0, 0), 1e-6f);

  const int32_t copy_id = copy->id;
  ASSERT_TRUE(DeleteCurrentPose(model));
  EXPECT_EQ(CurrentPoseId(state), id);
  EXPECT_FALSE(GetPoseTSQ(a_, slots_, copy_id, tsq));
  EXPECT_FALSE(GetPoseTSQ(b_, slots_, copy_id, tsq));
}

// ---------------------------------------------------------------- morph reset

struct IndexWeight {
  int index;
  float weight;
};
OPoseMorph Morph(std::initializer_list<IndexWeight> weights) {
  OPoseMorph morph;
  for (const IndexWeight& w : weights) morph.weight[w.index] = w.weight;
  return morph;
}

using MorphReset = bool (*)(const RigEditState&, MQDocument, const RigSlotTable&, PoseRecompute);

// Two objects with weights in two poses, x current and showing morph target
// 2, y showing 5, and a third object without weight records. x also carries
// weights left behind for an id no listed pose has.
class MorphResetTest : public RigTest {
 protected:
  void SetUp() override {
    RigTest::SetUp();
    x_ = AddObject("x");
    y_ = AddObject("y");
    bare_ = AddObject("no weights");
    ASSERT_EQ(EnsureRigRecords(doc_, slots_), 3);
    other_ = CreatePose(state_, -1)->id;
    current_ = CreatePose(state_, -1)->id;
    Fill();
  }

  const OPoseMorph kX = Morph({{2, 0.5f}, {7, 0.25f}});
  const OPoseMorph kY = Morph({{5, 0.4f}, {1, 0.3f}});

  // Back to the state SetUp made.
  void Fill() {
    for (int32_t pose : {other_, current_}) {
      ASSERT_TRUE(SetPoseMorph(x_, slots_, pose, kX));
      ASSERT_TRUE(SetPoseMorph(y_, slots_, pose, kY));
    }
    ASSERT_TRUE(SetPoseMorph(x_, slots_, kStray, kX));
    ASSERT_TRUE(SetCurrentMorphIndex(x_, slots_, 2));
    ASSERT_TRUE(SetCurrentMorphIndex(y_, slots_, 5));
    SetCurrentObject(doc_, x_);
    state_.current_pose_id = current_;
    recomputes = 0;
  }

  void ExpectWeights(MQObject obj, int32_t pose, const OPoseMorph& want) {
    OPoseMorph morph;
    ASSERT_TRUE(GetPoseMorph(obj, slots_, pose, morph));
    for (int k = 0; k < kMaxMorphTargets; ++k) EXPECT_EQ(morph.weight[k], want.weight[k]) << k;
  }
  // The other poses keep their weights, and no record is made for zeros.
  void ExpectOthersKept() {
    ExpectWeights(x_, other_, kX);
    ExpectWeights(x_, kStray, kX);
    ExpectWeights(y_, other_, kY);
    EXPECT_FALSE(HasObjectSlot(bare_, slots_.PoseMorph(current_)));
  }

  RigEditState state_;
  MQObject x_ = nullptr, y_ = nullptr, bare_ = nullptr;
  int32_t other_ = -1, current_ = -1;
  static constexpr int32_t kStray = 17;
};

TEST_F(MorphResetTest, EachResetZeroesItsWeightsOfTheCurrentPose) {
  struct Case {
    const char* what;
    MorphReset reset;
    OPoseMorph x, y;  // the current pose's weights afterwards
  };
  const Case cases[] = {
      {"current morph target", ResetCurrentMorphPose, Morph({{7, 0.25f}}), kY},
      {"current object", ResetCurrentObjectMorphPose, OPoseMorph(), kY},
      {"every object", ResetAllMorphPose, OPoseMorph(), OPoseMorph()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fill();
    EXPECT_TRUE(c.reset(state_, doc_, slots_, CountRecompute));
    EXPECT_EQ(recomputes, 1);
    ExpectWeights(x_, current_, c.x);
    ExpectWeights(y_, current_, c.y);
    ExpectOthersKept();

    EXPECT_FALSE(c.reset(state_, doc_, slots_, CountRecompute)) << "nothing left to reset";
    EXPECT_EQ(recomputes, 1);
  }
}

TEST_F(MorphResetTest, NothingChangesWithoutSomethingToReset) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    bool refused[3];  // current morph target, current object, every object
  };
  const Case cases[] = {
      {"no current pose", [&] { state_.current_pose_id = -1; }, {true, true, true}},
      {"current id not listed", [&] { state_.current_pose_id = kStray; }, {true, true, true}},
      {"no current morph target", [&] { SetCurrentMorphIndex(x_, slots_, -1); },
       {true, false, false}},
      {"current morph target already at 0", [&] { SetCurrentMorphIndex(x_, slots_, 3); },
       {true, false, false}},
      {"current morph index out of range",
       [&] {
         OBase rec;
         GetBoneRecord(x_, slots_, rec);
         rec.current_morph = -5;  // as a foreign record could hold it
         SetBoneRecord(x_, slots_, rec);
       },
       {true, false, false}},
      {"current object without weights", [&] { SetCurrentObject(doc_, bare_); },
       {true, true, false}},
      {"current object without a bone record",
       [&] { HostApi().MQObj_FreeUserData(x_, slots_.OBase()); }, {true, false, false}},
  };
  const MorphReset resets[] = {ResetCurrentMorphPose, ResetCurrentObjectMorphPose,
                               ResetAllMorphPose};
  for (const Case& c : cases) {
    for (int r = 0; r < 3; ++r) {
      if (!c.refused[r]) continue;
      SCOPED_TRACE(testing::Message() << c.what << ", reset " << r);
      if (!HasBoneRecord(x_, slots_)) {
        ASSERT_TRUE(SetBoneRecord(x_, slots_, OBase()));
      }
      Fill();
      c.arrange();
      EXPECT_FALSE(resets[r](state_, doc_, slots_, CountRecompute));
      EXPECT_EQ(recomputes, 0);
      ExpectWeights(x_, current_, kX);
      ExpectWeights(y_, current_, kY);
      ExpectOthersKept();
    }
  }
}

TEST_F(MorphResetTest, DocumentModelRecomputesOnlyAfterAChange) {
  MQEXPDOC model(std::make_unique<PoseEvaluator>());
  model.SetDocument(doc_);
  model.SetSlots(slots_);
  QuorvelPose* pose = NewPose(model);
  ASSERT_NE(pose, nullptr);
  const int32_t id = pose->id;
  struct Case {
    const char* what;
    bool (*reset)(MQEXPDOC&);
  };
  const Case cases[] = {
      {"current morph target", ResetCurrentMorphPose},
      {"current object", ResetCurrentObjectMorphPose},
      {"every object", ResetAllMorphPose},
  };
  // The evaluator writes only matrices that differ from what it wrote last;
  // forgetting that makes any evaluation show in the record.
  auto clear_skinning = [&] {
    HostApi().MQObj_FreeUserData(x_, slots_.OWMT());
    model.ForgetPoseCache();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(SetPoseMorph(x_, slots_, id, kX));
    clear_skinning();
    ASSERT_TRUE(c.reset(model));
    EXPECT_EQ(GetPoseMorphWeight(x_, slots_, id, 2), 0.0f);
    EXPECT_TRUE(HasObjectSlot(x_, slots_.OWMT())) << "recomputed";

    clear_skinning();
    EXPECT_FALSE(c.reset(model));
    EXPECT_FALSE(HasObjectSlot(x_, slots_.OWMT())) << "nothing to recompute";
  }
}

}  // namespace
