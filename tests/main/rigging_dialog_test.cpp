// The weight tools' menu items as the main object runs them through the
// headless interface on the sample arm: the dialog asked for with the last
// values, the values it answers kept for the next time (those of its own
// tool alone), and nothing run when it is cancelled.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/files/document_file.h"
#include "rig/rig_access.h"
#include "rig/weight_record.h"
#include "tests/main/main_fixture.h"

namespace {

using quorvel::VWeight;
using quorvel_test::MainTest;

bool SameParam(const RIGGING_PARAM& a, const RIGGING_PARAM& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class RiggingDialogTest : public MainTest {
 protected:
  void SetUp() override {
    MainTest::SetUp();
    LoadDocument(QUORVEL_EXAMPLES_DIR "/arm_rig.mqd");
    OpenActive();
    arm_ = HostApi().MQDoc_GetObject(doc_, 0);
    HostApi().MQDoc_SetCurrentObjectIndex(doc_, 0);
  }
  std::vector<VWeight> Weights() const {
    std::vector<VWeight> weights(static_cast<size_t>(HostApi().MQObj_GetVertexCount(arm_)));
    for (size_t v = 0; v < weights.size(); ++v) {
      quorvel::Init(weights[v]);
      quorvel::GetVertexWeights(arm_, main_->GetSlots(), static_cast<int>(v), weights[v]);
    }
    return weights;
  }
  static bool SameWeights(const std::vector<VWeight>& a, const std::vector<VWeight>& b) {
    if (a.size() != b.size()) return false;
    for (size_t v = 0; v < a.size(); ++v) {
      const int n = quorvel::Count(a[v]);
      if (n != quorvel::Count(b[v]) ||
          std::memcmp(a[v].entries, b[v].entries, sizeof(a[v].entries[0]) * n) != 0) {
        return false;
      }
    }
    return true;
  }
  MQObject arm_ = nullptr;
};

TEST_F(RiggingDialogTest, EachDialogOpensWithTheLastValuesAndKeepsOnlyItsOwn) {
  RIGGING_PARAM answer;
  answer.resolution = 32;
  answer.falloff = 0.5f;
  answer.max_bones = 2;
  answer.iterations = 2;
  answer.strength = 0.25f;
  answer.direction = 1;
  answer.tolerance = 0.5f;
  answer.limit = 3;
  struct Case {
    RIGGING_DIALOG kind;
    std::function<void(RIGGING_PARAM&, const RIGGING_PARAM&)> take;
  };
  const Case cases[] = {
      {RIGGING_AUTO_WEIGHTS,
       [](RIGGING_PARAM& p, const RIGGING_PARAM& a) {
         p.resolution = a.resolution;
         p.falloff = a.falloff;
         p.max_bones = a.max_bones;
       }},
      {RIGGING_MIRROR_WEIGHTS,
       [](RIGGING_PARAM& p, const RIGGING_PARAM& a) {
         p.direction = a.direction;
         p.tolerance = a.tolerance;
       }},
      {RIGGING_SMOOTH_WEIGHTS,
       [](RIGGING_PARAM& p, const RIGGING_PARAM& a) {
         p.iterations = a.iterations;
         p.strength = a.strength;
         p.max_bones = a.max_bones;
       }},
      {RIGGING_LIMIT_WEIGHTS, [](RIGGING_PARAM& p, const RIGGING_PARAM& a) { p.limit = a.limit; }},
  };
  ui_->SetRiggingAnswer(true, answer);
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    const RIGGING_PARAM before = main_->GetRiggingParam();
    main_->RiggingDialog(nullptr, c.kind, /*selected_only=*/false);
    ASSERT_FALSE(ui_->rigging_dialogs().empty());
    const HEADLESS_UI::RiggingDialogCall& call = ui_->rigging_dialogs().back();
    EXPECT_EQ(call.kind, c.kind);
    EXPECT_TRUE(SameParam(call.opened_with, before)) << "the values confirmed last";
    EXPECT_TRUE(call.ok);
    RIGGING_PARAM expected = before;
    c.take(expected, answer);
    EXPECT_TRUE(SameParam(main_->GetRiggingParam(), expected)) << "the tool's own fields, and only those";
  }
  EXPECT_EQ(ui_->rigging_dialogs().size(), 4u);
}

// Cancel runs nothing and keeps the values; OK without new values runs the
// tool with those it opened with.
TEST_F(RiggingDialogTest, OkRunsTheToolAndCancelNothing) {
  const std::vector<VWeight> before = Weights();
  const RIGGING_PARAM param = main_->GetRiggingParam();
  const int states = host_.undo_state_count();
  ui_->SetRiggingAnswer(false);
  main_->RiggingDialog(nullptr, RIGGING_AUTO_WEIGHTS, false);
  ASSERT_EQ(ui_->rigging_dialogs().size(), 1u);
  EXPECT_FALSE(ui_->rigging_dialogs()[0].ok);
  EXPECT_TRUE(SameWeights(Weights(), before));
  EXPECT_EQ(host_.undo_state_count(), states);
  EXPECT_TRUE(SameParam(main_->GetRiggingParam(), param));

  ui_->SetRiggingAnswer(true);
  main_->RiggingDialog(nullptr, RIGGING_AUTO_WEIGHTS, false);
  ASSERT_EQ(ui_->rigging_dialogs().size(), 2u);
  EXPECT_FALSE(SameWeights(Weights(), before)) << "the arm's weights were made anew";
  EXPECT_EQ(host_.undo_state_count(), states + 1);
  EXPECT_TRUE(SameParam(main_->GetRiggingParam(), param));
  EXPECT_TRUE(ui_->message_boxes().empty()) << ui_->message_boxes().front().text;
}

}  // namespace
