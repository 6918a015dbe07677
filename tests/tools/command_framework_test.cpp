// The command framework's shared helpers: hover with its redraw rule, part
// selection, the handle's axis, position and visibility, and a drag on the
// handle turned into a transform.
#include "tools/command_framework.h"

#include <gtest/gtest.h>

#include "rig/bone_points.h"
#include "tests/support/float_checks.h"
#include "tests/tools/tool_fixture.h"
#include "tools/handle.h"

using quorvel::OBase;
using quorvel::RigEditState;

namespace {

class FrameworkTest : public ToolTest {
 protected:
  int HoverAt(float x, float y, int kinds) {
    USELECT_PARA para(service_.get(), Scene());
    const FVECTOR2 s = Screen(x, y);
    return Hover(para, doc_, slots_, &service_->state, service_->pose_mode, service_->handle_type, s,
                 picker_, hover_, kinds);
  }
  uint32_t HoverBits(MQObject obj) { return quorvel::GetBoneFlags(obj, slots_) & OBase::kHoverBits; }

  MED_USELECT picker_;
  MED_SELECTITEM hover_;
};

// The bone from the origin to (100, 0, 0): pivot at x = 0, body under x = 50.
TEST_F(FrameworkTest, HoverRedrawsOnlyWhenTheHoveredPartChanges) {
  MQObject bone = Bone("bone", 0, {0, 0, 0});
  Bone("tail", 1, {100, 0, 0});
  Records();
  const int kinds = HoverKinds(service_->state);
  EXPECT_EQ(kinds, PICK_PIVOTS | PICK_ROLLS | PICK_BODIES);
  const struct {
    const char* label;
    float x, y;
    int redraw;
    uint32_t bits;
  } steps[] = {
      {"over the pivot", 0, 0, 1, OBase::OB_HOVER_PIVOT},
      {"the same pivot again", -1, 0, 0, OBase::OB_HOVER_PIVOT},
      {"over the body", 50, 0, 1, OBase::OB_HOVER_BODY},
      {"nothing", 50, 100, 1, 0},
      {"nothing again", 60, 100, 0, 0},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.label);
    EXPECT_EQ(HoverAt(s.x, s.y, kinds), s.redraw);
    EXPECT_EQ(HoverBits(bone), s.bits);
  }
  service_->state.display = RigEditState::kShowBones;
  EXPECT_EQ(HoverKinds(service_->state), PICK_PIVOTS | PICK_BODIES) << "roll parts hidden";
}

TEST_F(FrameworkTest, SelectingAPartNeedsItToBePickable) {
  MQObject bone = Bone("bone", 0, {0, 0, 0});
  Records();
  const struct {
    const char* label;
    uint32_t masks, display;
    int32_t kind;
    uint32_t bit;
  } cases[] = {
      {"pivot", 0, RigEditState::kShowBones, SELKIND_PIVOT, OBase::OB_SEL_PIVOT},
      {"body", 0, RigEditState::kShowBones, SELKIND_BODY, OBase::OB_SEL_BODY},
      {"roll with roll shown", 0, RigEditState::kShowBones | RigEditState::kShowRoll, SELKIND_ROLL,
       OBase::OB_SEL_ROLL},
      {"roll hidden", 0, RigEditState::kShowBones, SELKIND_ROLL, 0},
      {"pivots masked", RigEditState::kPickMaskPivot, RigEditState::kShowBones, SELKIND_PIVOT, 0},
      {"bones hidden", 0, 0, SELKIND_BODY, 0},
      {"a handle kind", 0, RigEditState::kShowBones, SELKIND_MOVE_X, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    Flags(bone, 0, OBase::kSelectionBits);
    service_->state.pick_masks = c.masks;
    service_->state.display = c.display;
    SelectPart(bone, slots_, service_->state, c.kind);
    EXPECT_EQ(quorvel::GetBoneFlags(bone, slots_) & OBase::kSelectionBits, c.bit);
    EXPECT_EQ(PartSelected(bone, slots_, c.kind), c.bit != 0);
  }
}

TEST_F(FrameworkTest, HandleAxisPlaceAndVisibility) {
  const struct {
    int32_t kind;
    int axis;
  } axes[] = {{SELKIND_MOVE_CENTER, 0}, {SELKIND_ROTATE_X, 1}, {SELKIND_SCALE_Y, 2},
              {SELKIND_MOVE_Z, 3},      {SELKIND_PIVOT, 0},    {SELKIND_HANDLE, 0}};
  for (const auto& a : axes) EXPECT_EQ(HandleAxisOfKind(a.kind), a.axis) << std::hex << a.kind;

  MQObject root = Bone("root", 0, {0, 0, 0});
  MQObject child = Bone("child", 1, {100, 0, 0});
  MQObject second = Bone("second", 1, {0, 50, 0});
  Records();
  HANDLE_STATE& handle = service_->handle;
  HandleAtSelectionCentre(handle, doc_, slots_, false);
  EXPECT_FALSE(handle.active) << "nothing selected";
  Flags(root, OBase::OB_SEL_PIVOT);
  Flags(child, OBase::OB_SEL_PIVOT);
  HandleAtSelectionCentre(handle, doc_, slots_, false);
  EXPECT_TRUE(handle.active);
  EXPECT_VEC3_NEAR(handle.matrix.GetTranslation(), FVECTOR3(50, 0, 0), 1e-5f);
  // Posed: the parts through their pose matrices.
  quorvel::SetWorldMatrix(root, slots_, FMATRIX::Translation(FVECTOR3(0, 0, 10)));
  quorvel::SetWorldMatrix(child, slots_, FMATRIX::Translation(FVECTOR3(0, 0, 30)));
  HandleAtSelectionCentre(handle, doc_, slots_, true);
  EXPECT_VEC3_NEAR(handle.matrix.GetTranslation(), FVECTOR3(50, 0, 20), 1e-5f);

  HandleAtPart(handle, doc_, root, slots_, SELKIND_BODY, false);
  EXPECT_VEC3_NEAR(handle.matrix.GetTranslation(), FVECTOR3(100, 0, 0), 1e-5f) << "a body: its tail";
  HandleAtPart(handle, doc_, child, slots_, SELKIND_PIVOT, true);
  EXPECT_VEC3_NEAR(handle.matrix.GetTranslation(), FVECTOR3(100, 0, 30), 1e-5f);
  HandleAtPart(handle, doc_, child, slots_, SELKIND_BODY, false);
  EXPECT_VEC3_NEAR(handle.matrix.GetTranslation(), FVECTOR3(), 0.0f) << "no child: the origin";
  HandleAtPart(handle, doc_, root, slots_, SELKIND_ROLL, false);
  EXPECT_VEC3_NEAR(handle.matrix.GetTranslation(), FVECTOR3(), 0.0f) << "a roll point leaves it";
  HandleAtPart(handle, doc_, child, slots_, SELKIND_BODY, true);
  EXPECT_VEC3_NEAR(handle.matrix.GetTranslation(), FVECTOR3(0, 0, 30), 0.0f) << "posed: the origin through the pose";

  EXPECT_TRUE(HandleVisibleForKind(doc_, root, SELKIND_PIVOT)) << "a root";
  EXPECT_FALSE(HandleVisibleForKind(doc_, child, SELKIND_PIVOT)) << "a first child";
  EXPECT_TRUE(HandleVisibleForKind(doc_, second, SELKIND_PIVOT)) << "a second child";
  EXPECT_FALSE(HandleVisibleForKind(doc_, root, SELKIND_BODY));
  EXPECT_FALSE(HandleVisibleForKind(doc_, root, SELKIND_ROLL));
}

// ---------------------------------------------------------------- handle drag

TEST_F(FrameworkTest, HandleDragsMoveScaleAndRotateAboutTheHandle) {
  USELECT_PARA para(service_.get(), Scene());
  const FMATRIX view = para.GetViewMatrix(), proj = para.GetProjMatrix();
  HANDLE_STATE state;
  state.matrix = FMATRIX::Translation(FVECTOR3(10, 0, 0));
  // One pixel in world units at the view's distance, as the drag reckons it.
  const float ex = 2.0f * std::fabs(view(3, 2)) / (640.0f * proj(0, 0));

  struct Case {
    const char* label;
    int type, axis;
    FVECTOR3 screen_delta, world_delta;
    FVECTOR3 probe, probe_to;  // where the out matrix takes a point
  };
  const Case cases[] = {
      {"move freely", HANDLE_MOVE, 0, {}, {1, 2, 3}, {0, 0, 0}, {1, 2, 3}},
      {"move along X", HANDLE_MOVE, 1, {}, {1, 2, 3}, {0, 0, 0}, {1, 0, 0}},
      {"move along Z", HANDLE_MOVE, 3, {}, {1, 2, 3}, {0, 0, 0}, {0, 0, 3}},
      {"scale along X about the handle", HANDLE_SCALE, 1, {4, 0, 0}, {}, {20, 5, 5},
       {10 + 10 * (1 + 4 * ex), 5, 5}},
      {"scale upward on Y only", HANDLE_SCALE, 2, {0, -4, 0}, {}, {20, 5, 5},
       {20, 5 * (1 + 4 * ex * 640.0f / 480.0f * proj(0, 0) / proj(1, 1)), 5}},
      {"rotate the X ring by a horizontal drag", HANDLE_ROTATE, 1, {50, 0, 0}, {}, {10, 1, 0},
       {10, std::cos(50 * ex / 50), std::sin(50 * ex / 50)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    state.axis = c.axis;
    HANDLE_DRAG drag{FVECTOR3(100, 100, 0.5f), FVECTOR3(5, 5, 5)};
    FMATRIX out;
    ASSERT_EQ(HandleDragToMatrix(drag, drag.screen + c.screen_delta, drag.world + c.world_delta, proj,
                                 view, 640, 480, state, c.type, out),
              1);
    EXPECT_VEC3_NEAR(out.TransformPoint(c.probe), c.probe_to, 1e-4f);
    EXPECT_VEC3_NEAR(drag.screen, FVECTOR3(100, 100, 0.5f) + c.screen_delta, 0.0f) << "the record moved on";
  }
  // The centre turns about the view's vertical axis: here world Y.
  state.axis = 0;
  HANDLE_DRAG drag{};
  FMATRIX out;
  ASSERT_EQ(HandleDragToMatrix(drag, FVECTOR3(50, 0, 0), FVECTOR3(), proj, view, 640, 480, state,
                               HANDLE_ROTATE, out),
            1);
  EXPECT_NEAR(out.TransformPoint(FVECTOR3(10, 7, 0)).y, 7.0f, 1e-5f) << "points on the axis stay";
  EXPECT_EQ(HandleDragToMatrix(drag, FVECTOR3(), FVECTOR3(), proj, view, 640, 480, state, 3, out), 0);
  EXPECT_EQ(out, FMATRIX());
}

}  // namespace
